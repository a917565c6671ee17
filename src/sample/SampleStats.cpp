#include "SampleStats.h"

#include "RandomGen.h"
#include "RankPool.h"

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
    TRankPool pool(n);
    for (int32_t p = n - 1; p >= 0; --p)
        index[static_cast<std::size_t>(p)] = pool.Take(Random(p + 1));
    return index;
}

} // namespace nirvex
