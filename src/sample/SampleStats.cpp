#include "sample/SampleStats.h"

#include "common/RandomGen.h"
#include "sample/RankPool.h"

#include <cmath>

namespace nirvex {

namespace {

// Records between two progress reports: a few milliseconds of work.
constexpr int32_t kProgressStride = 1 << 18;

} // namespace

void InitFieldDefaults(std::vector<TFieldInfo>& fields, int32_t recordCount, const TProgressProc& progress) {
    const double n = recordCount;
    const double total = 2.0 * n * static_cast<double>(fields.size());
    double done = 0;
    // Runs body(r) for r in [from, recordCount) in slices, reporting after each.
    auto slices = [&](int32_t from, auto&& body) {
        for (int32_t b = from; b < recordCount;) {
            int32_t e = recordCount - b > kProgressStride ? b + kProgressStride : recordCount;
            for (int32_t r = b; r < e; ++r)
                body(static_cast<std::size_t>(r));
            done += e - b;
            b = e;
            if (progress)
                progress(done / total);
        }
    };
    for (std::size_t f = 0; f < fields.size(); ++f) {
        TFieldInfo& fi = fields[f];
        fi.NetIndex = static_cast<int32_t>(f);
        fi.FieldType = TFieldRole::Input;
        double first = fi.Values.empty() ? 0.0 : fi.Values[0];
        fi.DataMax = fi.Max = fi.DataMin = fi.Min = first;
        fi.Alpha = 1.0;
        fi.NormType = TNormMethod::Linear;
        // The mean is a running sum of value / N in record order, not a sum divided at the end.
        fi.Mid = first / n;
        const double* values = fi.Values.data();
        double mid = fi.Mid, dataMax = first, dataMin = first;
        slices(1, [&](std::size_t r) {
            double v = values[r];
            mid += v / n;
            dataMax = v > dataMax ? v : dataMax;
            dataMin = v < dataMin ? v : dataMin;
        });
        fi.Mid = mid;
        fi.DataMax = fi.Max = dataMax;
        fi.DataMin = fi.Min = dataMin;
        double sum = 0;
        slices(0, [&](std::size_t r) {
            double d = values[r] - mid;
            sum += d * d;
        });
        fi.Disp = recordCount > 1 ? std::sqrt(sum / (n - 1)) : 0.0;
    }
    if (!fields.empty())
        fields.back().FieldType = TFieldRole::Target;
    if (progress)
        progress(1.0);
}

std::vector<int32_t> BuildRecordIndex(int32_t recordCount, const TProgressProc& progress) {
    const int32_t n = recordCount > 0 ? recordCount : 0;
    std::vector<int32_t> index(static_cast<std::size_t>(n));
    TRankPool pool(n);
    for (int32_t p = n - 1; p >= 0; --p) {
        index[static_cast<std::size_t>(p)] = pool.Take(Random(p + 1));
        if (progress && (p & (kProgressStride / 16 - 1)) == 0)
            progress(static_cast<double>(n - p) / n);
    }
    return index;
}

} // namespace nirvex
