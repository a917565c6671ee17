#include "sample/Normalize.h"

#include <algorithm>
#include <cmath>

namespace nirvex {

namespace {
// 1 / (1 + e^t) without overflowing e^t: past 700 the result is e^-t to double precision.
double Logistic(double t) {
    return t > 700 ? std::exp(-t) : 1.0 / (1.0 + std::exp(t));
}
} // namespace

// Nothing here is guarded: a zero range or deviation divides by zero and the caller's
// floating-point check turns the raised flag into an error.
double NormalizeValue(const TFieldInfo& f, double v) {
    switch (f.NormType) {
    case TNormMethod::Linear:
        return (v - f.Min) / (f.Max - f.Min);
    case TNormMethod::Sigmoid:
        return Logistic(-f.Alpha * v);
    case TNormMethod::Auto:
        return Logistic(-(v - f.Mid) / f.Disp);
    default:
        return v;
    }
}

double DenormalizeValue(const TFieldInfo& f, double y) {
    switch (f.NormType) {
    case TNormMethod::Linear:
        return f.Min + (f.Max - f.Min) * y;
    case TNormMethod::Sigmoid:
        return -std::log(1.0 / y - 1.0) / f.Alpha;
    case TNormMethod::Auto:
        return -std::log(1.0 / y - 1.0) * f.Disp + f.Mid;
    default:
        return y;
    }
}

double DenormalizeQuiet(const TFieldInfo& f, double y) {
    if (f.NormType == TNormMethod::Sigmoid || f.NormType == TNormMethod::Auto) {
        // 1/y overflows below about 5.6e-309, and 1/y - 1 is 0 for y just under 1.
        if (!(y > 1e-300))
            return -HUGE_VAL;
        if (!(1.0 / y - 1.0 > 0))
            return HUGE_VAL;
    }
    return DenormalizeValue(f, y);
}

std::vector<const TFieldInfo*> NetOrder(const std::vector<TFieldInfo>& fields, TFieldRole role) {
    std::vector<const TFieldInfo*> order;
    for (const TFieldInfo& f : fields)
        if (f.FieldType == role && f.NetIndex >= 0)
            order.push_back(&f);
    std::stable_sort(order.begin(), order.end(),
                     [](const TFieldInfo* a, const TFieldInfo* b) { return a->NetIndex < b->NetIndex; });
    return order;
}

namespace {

// One field's network columns for value v: (scale·N(v) + shift) for a number, 1 and 0 for a category.
void PutValue(const TFieldInfo& f, double v, double* columns, double scale, double shift) {
    if (IsGap(v) && f.FillGaps)
        v = f.GapFill;
    if (!f.IsCategory()) {
        columns[f.NetIndex] = scale * NormalizeValue(f, v) + shift;
        return;
    }
    for (int32_t j = 0; j < f.NetWidth(); ++j)
        columns[f.NetIndex + j] = j == v ? 1.0 : 0.0;
}

} // namespace

void BuildExample(const std::vector<TFieldInfo>& fields, int32_t record, double* inputs, double* targets) {
    for (const TFieldInfo& f : fields) {
        if (f.FieldType == TFieldRole::Input)
            PutValue(f, f.Values[static_cast<std::size_t>(record)], inputs, 2.0, -1.0);
        else if (f.FieldType == TFieldRole::Target)
            PutValue(f, f.Values[static_cast<std::size_t>(record)], targets, 1.0, 0.0);
    }
}

void PrefetchExample(const std::vector<TFieldInfo>& fields, int32_t record) {
    for (const TFieldInfo& f : fields)
        if ((f.FieldType == TFieldRole::Input || f.FieldType == TFieldRole::Target) &&
            static_cast<std::size_t>(record) < f.Values.size())
            __builtin_prefetch(f.Values.data() + record);
}

bool RecordUsable(const std::vector<TFieldInfo>& fields, int32_t record) {
    for (const TFieldInfo& f : fields) {
        const bool input = f.FieldType == TFieldRole::Input;
        if ((input && !f.FillGaps) || f.FieldType == TFieldRole::Target)
            if (f.GapCount > 0 && IsGap(f.Values[static_cast<std::size_t>(record)]))
                return false;
    }
    return true;
}

void NormalizeInputsInto(const std::vector<const TFieldInfo*>& order, const double* raw, double* net,
                         std::size_t inputCount) {
    std::fill(net, net + inputCount, 0.0);
    for (std::size_t s = 0; s < order.size(); ++s)
        if (static_cast<std::size_t>(order[s]->NetIndex + order[s]->NetWidth()) <= inputCount)
            PutValue(*order[s], raw[s], net, 2.0, -1.0);
}

std::vector<double> NormalizeInputs(const std::vector<TFieldInfo>& fields, const std::vector<double>& raw,
                                    std::size_t inputCount) {
    std::vector<double> net(inputCount);
    std::vector<const TFieldInfo*> order = NetOrder(fields, TFieldRole::Input);
    order.resize(std::min(order.size(), raw.size()));
    NormalizeInputsInto(order, raw.data(), net.data(), inputCount);
    return net;
}

void DenormalizeOutputsInto(const std::vector<const TFieldInfo*>& order, const double* outputs, std::size_t outputCount,
                            double* values, double* const* shares) {
    for (std::size_t s = 0; s < order.size(); ++s) {
        const TFieldInfo& f = *order[s];
        const auto at = static_cast<std::size_t>(f.NetIndex);
        const auto width = static_cast<std::size_t>(f.NetWidth());
        values[s] = 0;
        if (at + width > outputCount)
            continue;
        if (!f.IsCategory()) {
            values[s] = DenormalizeValue(f, outputs[at]);
            continue;
        }
        std::size_t best = 0;
        double sum = 0;
        for (std::size_t j = 0; j < width; ++j) {
            sum += outputs[at + j];
            if (outputs[at + j] > outputs[at + best])
                best = j;
        }
        values[s] = static_cast<double>(best);
        if (shares)
            for (std::size_t j = 0; j < width; ++j)
                shares[s][j] = sum > 0 ? outputs[at + j] / sum : 0.0;
    }
}

std::vector<double> DenormalizeOutputs(const std::vector<TFieldInfo>& fields, const std::vector<double>& outputs,
                                       std::vector<std::vector<double>>* shares) {
    const std::vector<const TFieldInfo*> order = NetOrder(fields, TFieldRole::Target);
    std::vector<double> values(order.size());
    std::vector<double*> rows(order.size());
    if (shares) {
        shares->assign(order.size(), {});
        for (std::size_t s = 0; s < order.size(); ++s)
            if (order[s]->IsCategory() &&
                static_cast<std::size_t>(order[s]->NetIndex + order[s]->NetWidth()) <= outputs.size()) {
                (*shares)[s].resize(static_cast<std::size_t>(order[s]->NetWidth()));
                rows[s] = (*shares)[s].data();
            }
    }
    DenormalizeOutputsInto(order, outputs.data(), outputs.size(), values.data(), shares ? rows.data() : nullptr);
    return values;
}

} // namespace nirvex
