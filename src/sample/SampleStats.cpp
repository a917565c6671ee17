#include "SampleStats.h"

#include "RandomGen.h"

#include <cmath>

namespace nirvex {

void InitFieldDefaults(std::vector<TFieldInfo>& fields, int32_t recordCount) {
    const double n = recordCount;
    for (std::size_t f = 0; f < fields.size(); ++f) {
        TFieldInfo& fi = fields[f];
        fi.NetIndex = static_cast<int32_t>(f);
        fi.FieldType = ftInput;
        double first = fi.Values.empty() ? 0.0 : fi.Values[0];
        fi.DataMax = fi.Max = fi.DataMin = fi.Min = first;
        fi.Alpha = 1.0;
        fi.NormType = ntLinear;
        // The mean is a running sum of value / N in record order, not a sum divided at the end.
        fi.Mid = first / n;
        for (int32_t r = 1; r < recordCount; ++r) {
            double v = fi.Values[static_cast<std::size_t>(r)];
            fi.Mid += v / n;
            if (v > fi.DataMax)
                fi.DataMax = fi.Max = v;
            if (v < fi.DataMin)
                fi.DataMin = fi.Min = v;
        }
        double s = 0;
        for (int32_t r = 0; r < recordCount; ++r) {
            double d = fi.Values[static_cast<std::size_t>(r)] - fi.Mid;
            s += d * d;
        }
        fi.Disp = recordCount > 1 ? std::sqrt(s / (n - 1)) : 0.0;
    }
    if (!fields.empty())
        fields.back().FieldType = ftTarget;
}

std::vector<int32_t> BuildRecordIndex(int32_t recordCount) {
    const int32_t n = recordCount > 0 ? recordCount : 0;
    std::vector<int32_t> index(static_cast<std::size_t>(n));
    if (n == 0)
        return index;
    // Fenwick tree over "still in the pool" marks: the x-th remaining entry is found in
    // O(log N), which gives the pool-removal order without erasing from a list.
    std::vector<int32_t> tree(static_cast<std::size_t>(n) + 1, 0);
    for (int32_t i = 1; i <= n; ++i) {
        tree[static_cast<std::size_t>(i)] += 1;
        int32_t parent = i + (i & -i);
        if (parent <= n)
            tree[static_cast<std::size_t>(parent)] += tree[static_cast<std::size_t>(i)];
    }
    int32_t top = 1;
    while (top * 2 <= n)
        top *= 2;
    for (int32_t p = n - 1; p >= 0; --p) {
        int32_t x = Random(p + 1); // 0-based rank among the remaining entries
        int32_t pos = 0, rest = x;
        for (int32_t step = top; step > 0; step >>= 1) {
            int32_t next = pos + step;
            if (next <= n && tree[static_cast<std::size_t>(next)] <= rest) {
                pos = next;
                rest -= tree[static_cast<std::size_t>(next)];
            }
        }
        index[static_cast<std::size_t>(p)] = pos; // pos+1 is the 1-based slot, pos the record
        for (int32_t i = pos + 1; i <= n; i += i & -i)
            tree[static_cast<std::size_t>(i)] -= 1;
    }
    return index;
}

} // namespace nirvex
