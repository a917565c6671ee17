#include "sample/SampleStats.h"

#include "common/RandomGen.h"
#include "sample/RankPool.h"

#include <cmath>

namespace nirvex {

namespace {

// Records between two progress reports: a few milliseconds of work.
constexpr int32_t kProgressStride = 1 << 18;

} // namespace

double MostFrequentCategory(const TFieldInfo& f) {
    std::vector<int64_t> counts(f.Categories.size());
    for (double v : f.Values)
        if (!IsGap(v) && v >= 0 && v < static_cast<double>(counts.size()))
            ++counts[static_cast<std::size_t>(v)];
    std::size_t best = 0;
    for (std::size_t i = 1; i < counts.size(); ++i)
        if (counts[i] > counts[best])
            best = i;
    return static_cast<double>(best);
}

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
        fi.Alpha = 1.0;
        fi.NormType = fi.IsCategory() ? TNormMethod::Category : TNormMethod::Linear;
        const double* values = fi.Values.data();
        // Statistics are over the values present; the first of them starts every running figure.
        std::size_t firstAt = 0;
        while (firstAt < fi.Values.size() && IsGap(values[firstAt]))
            ++firstAt;
        int32_t gaps = 0;
        for (std::size_t r = firstAt; r < fi.Values.size(); ++r)
            gaps += IsGap(values[r]) ? 1 : 0;
        fi.GapCount = static_cast<int32_t>(firstAt) + gaps;
        const double n = recordCount - fi.GapCount;
        double first = firstAt < fi.Values.size() ? values[firstAt] : 0.0;
        fi.DataMax = fi.Max = fi.DataMin = fi.Min = first;
        // The mean is a running sum of value / N in record order, not a sum divided at the end.
        fi.Mid = n > 0 ? first / n : 0.0;
        double mid = fi.Mid, dataMax = first, dataMin = first;
        slices(static_cast<int32_t>(firstAt) + 1, [&](std::size_t r) {
            double v = values[r];
            if (IsGap(v))
                return;
            mid += v / n;
            dataMax = v > dataMax ? v : dataMax;
            dataMin = v < dataMin ? v : dataMin;
        });
        fi.Mid = mid;
        fi.DataMax = fi.Max = dataMax;
        fi.DataMin = fi.Min = dataMin;
        double sum = 0;
        slices(0, [&](std::size_t r) {
            if (IsGap(values[r]))
                return;
            double d = values[r] - mid;
            sum += d * d;
        });
        fi.Disp = n > 1 ? std::sqrt(sum / (n - 1)) : 0.0;
        fi.GapFill = fi.IsCategory() ? MostFrequentCategory(fi) : fi.Mid;
    }
    if (!fields.empty())
        fields.back().FieldType = TFieldRole::Target;
    if (progress)
        progress(1.0);
}

int32_t GapRecords(const std::vector<TFieldInfo>& fields, int32_t recordCount) {
    std::vector<bool> gap;
    for (const TFieldInfo& f : fields) {
        if (f.GapCount == 0)
            continue;
        gap.resize(static_cast<std::size_t>(recordCount));
        for (std::size_t r = 0; r < gap.size() && r < f.Values.size(); ++r)
            if (IsGap(f.Values[r]))
                gap[r] = true;
    }
    int32_t n = 0;
    for (bool g : gap)
        n += g ? 1 : 0;
    return n;
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
