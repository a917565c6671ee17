#include "sample/Normalize.h"

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

void BuildExample(const std::vector<TFieldInfo>& fields, int32_t record, double* inputs, double* targets) {
    for (const TFieldInfo& f : fields) {
        if (f.FieldType == TFieldRole::Input)
            inputs[f.NetIndex] = 2.0 * NormalizeValue(f, f.Values[static_cast<std::size_t>(record)]) - 1.0;
        else if (f.FieldType == TFieldRole::Target)
            targets[f.NetIndex] = NormalizeValue(f, f.Values[static_cast<std::size_t>(record)]);
    }
}

void PrefetchExample(const std::vector<TFieldInfo>& fields, int32_t record) {
    for (const TFieldInfo& f : fields)
        if ((f.FieldType == TFieldRole::Input || f.FieldType == TFieldRole::Target) &&
            static_cast<std::size_t>(record) < f.Values.size())
            __builtin_prefetch(f.Values.data() + record);
}

void NormalizeInputs(const std::vector<TFieldInfo>& fields, std::vector<double>& inputs) {
    for (const TFieldInfo& f : fields)
        if (f.FieldType == TFieldRole::Input && f.NetIndex >= 0 && static_cast<std::size_t>(f.NetIndex) < inputs.size())
            inputs[static_cast<std::size_t>(f.NetIndex)] =
                2.0 * NormalizeValue(f, inputs[static_cast<std::size_t>(f.NetIndex)]) - 1.0;
}

void DenormalizeOutputs(const std::vector<TFieldInfo>& fields, std::vector<double>& outputs) {
    for (const TFieldInfo& f : fields)
        if (f.FieldType == TFieldRole::Target && f.NetIndex >= 0 &&
            static_cast<std::size_t>(f.NetIndex) < outputs.size())
            outputs[static_cast<std::size_t>(f.NetIndex)] =
                DenormalizeValue(f, outputs[static_cast<std::size_t>(f.NetIndex)]);
}

} // namespace nirvex
