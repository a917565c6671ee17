#include "export/CExport.h"

#include "sample/FieldInfo.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#ifndef NIRVEX_VERSION
#define NIRVEX_VERSION "unknown"
#endif

namespace nirvex {

namespace {

// A double literal that reads back exactly (17 significant digits).
std::string Literal(double v) {
    char buf[40];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 17);
    std::string s(buf, res.ptr);
    // Integers stay floating-point: C would otherwise compute with them as ints.
    if (s.find_first_of(".e") == std::string::npos)
        s += ".0";
    return s;
}

// The literal as an operand that may follow any operator.
std::string Operand(double v) {
    return std::signbit(v) ? "(" + Literal(v) + ")" : Literal(v);
}

// Field names go into comments: nothing in them may end the comment or break the line.
std::string CommentText(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F)
            out += '?';
        else if (s[i] == '*' && i + 1 < s.size() && s[i + 1] == '/')
            out += "* ";
        else
            out += s[i];
    }
    return out;
}

std::string FieldComment(std::size_t index, const TExportField& f) {
    std::string s = " *   " + std::to_string(index) + "  " + CommentText(f.Name) + ": " + NormTypeCaption(f.NormType);
    switch (f.NormType) {
    case TNormMethod::Linear:
        s += ", MIN = " + Literal(f.Min) + ", MAX = " + Literal(f.Max);
        break;
    case TNormMethod::Sigmoid:
        s += ", a = " + Literal(f.Alpha);
        break;
    case TNormMethod::Auto:
        s += ", среднее = " + Literal(f.Mid) + ", отклонение = " + Literal(f.Disp);
        break;
    default:
        break;
    }
    return s + "\n";
}

// 2·N(v) − 1, in the program's order of operations.
std::string InputExpression(const std::string& prefix, const TExportField& f, const std::string& v) {
    std::string n;
    switch (f.NormType) {
    case TNormMethod::Linear:
        n = "(" + v + " - " + Operand(f.Min) + ") / (" + Literal(f.Max) + " - " + Operand(f.Min) + ")";
        break;
    case TNormMethod::Sigmoid:
        n = prefix + "_logistic(" + Operand(-f.Alpha) + " * " + v + ")";
        break;
    case TNormMethod::Auto:
        n = prefix + "_logistic(-(" + v + " - " + Operand(f.Mid) + ") / " + Operand(f.Disp) + ")";
        break;
    default:
        n = v;
        break;
    }
    return "2.0 * (" + n + ") - 1.0";
}

// D(y), in the program's order of operations.
std::string OutputExpression(const TExportField& f, const std::string& y) {
    switch (f.NormType) {
    case TNormMethod::Linear:
        return Literal(f.Min) + " + (" + Literal(f.Max) + " - " + Operand(f.Min) + ") * " + y;
    case TNormMethod::Sigmoid:
        return "-log(1.0 / " + y + " - 1.0) / " + Operand(f.Alpha);
    case TNormMethod::Auto:
        return "-log(1.0 / " + y + " - 1.0) * " + Operand(f.Disp) + " + " + Operand(f.Mid);
    default:
        return y;
    }
}

// The values as lines of `columns`, separated by commas.
std::string ArrayRows(const std::vector<double>& values, std::size_t columns) {
    std::string s;
    for (std::size_t k = 0; k < values.size(); ++k) {
        s += k % columns == 0 ? "    " : " ";
        s += Literal(values[k]);
        if (k + 1 < values.size())
            s += ",";
        if (k % columns + 1 == columns || k + 1 == values.size())
            s += "\n";
    }
    return s;
}

} // namespace

bool IsCIdentifier(const std::string& name) {
    auto word = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    return !name.empty() && !std::isdigit(static_cast<unsigned char>(name[0])) &&
           std::all_of(name.begin(), name.end(), [&](char c) { return c >= 0 && word(c); });
}

std::string CSource(const TExportNet& net, const std::string& name) {
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    const std::size_t layers = net.LayerSizes.size();
    bool usesLogistic = false;
    for (const TExportField& f : net.Inputs)
        usesLogistic = usesLogistic || f.NormType == TNormMethod::Sigmoid || f.NormType == TNormMethod::Auto;

    std::string shape;
    for (int32_t n : net.LayerSizes)
        shape += (shape.empty() ? "" : "-") + std::to_string(n);
    std::string s = "/* Нейросеть Nirvex, созданная программой Nirvex " NIRVEX_VERSION ".\n"
                    " *\n"
                    " * Слои: " +
                    shape + " нейронов, наклон сигмоиды " + Literal(net.Alpha) +
                    ".\n"
                    " * Входы (inputs[i], в единицах полей):\n";
    for (std::size_t i = 0; i < net.Inputs.size(); ++i)
        s += FieldComment(i, net.Inputs[i]);
    s += " * Выходы (outputs[j], в единицах полей):\n";
    for (std::size_t j = 0; j < net.Outputs.size(); ++j)
        s += FieldComment(j, net.Outputs[j]);
    s += " */\n\n#include <math.h>\n\n";
    s += "#define " + upper + "_INPUT_COUNT " + std::to_string(net.Inputs.size()) + "\n";
    s += "#define " + upper + "_OUTPUT_COUNT " + std::to_string(net.Outputs.size()) + "\n\n";
    s += "void " + name + "_predict(const double *inputs, double *outputs);\n\n";

    for (std::size_t l = 0; l + 1 < layers; ++l) {
        const std::string n = std::to_string(net.LayerSizes[l]), m = std::to_string(net.LayerSizes[l + 1]);
        const std::string id = std::to_string(l + 1);
        s += "/* связи слоя " + std::to_string(l) + " со слоем " + id +
             ": строка i, столбец j - вес от нейрона i к нейрону j */\n";
        s += "static const double " + name + "_w" + id + "[" + n + " * " + m + "] = {\n";
        s += ArrayRows(net.Weights[l], static_cast<std::size_t>(net.LayerSizes[l + 1])) + "};\n";
        s += "/* пороги нейронов слоя " + id + " */\n";
        s += "static const double " + name + "_t" + id + "[" + m + "] = {\n";
        s += ArrayRows(net.Thresholds[l], 4) + "};\n\n";
    }

    if (usesLogistic)
        s += "static double " + name +
             "_logistic(double t)\n{\n"
             "    return t > 700.0 ? exp(-t) : 1.0 / (1.0 + exp(t));\n}\n\n";
    if (layers > 1)
        s += "/* y[j] = сигмоида(s + t[j]), s = x[0] * w[j] + x[1] * w[m + j] + ..., слагаемые по порядку */\n"
             "static void " +
             name +
             "_layer(const double *x, int n, const double *w, const double *t, int m, double *y)\n{\n"
             "    int i, j;\n"
             "    for (j = 0; j < m; ++j) {\n"
             "        double s = 0.0, z;\n"
             "        for (i = 0; i < n; ++i)\n"
             "            s += x[i] * w[i * m + j];\n"
             "        z = " +
             Operand(-net.Alpha) +
             " * (s + t[j]);\n"
             "        y[j] = z > 700.0 ? exp(-z) : 1.0 / (1.0 + exp(z));\n"
             "    }\n}\n\n";

    s += "void " + name + "_predict(const double *inputs, double *outputs)\n{\n";
    const std::string size = std::to_string(net.MaxLayerSize());
    s += "    double a[" + size + "]";
    if (layers > 1)
        s += ", b[" + size + "]";
    s += ";\n";
    for (std::size_t i = 0; i < net.Inputs.size(); ++i)
        s += "    a[" + std::to_string(i) +
             "] = " + InputExpression(name, net.Inputs[i], "inputs[" + std::to_string(i) + "]") + ";\n";
    const char* from = "a";
    const char* to = "b";
    for (std::size_t l = 0; l + 1 < layers; ++l) {
        const std::string id = std::to_string(l + 1);
        s += "    " + name + "_layer(" + from + ", " + std::to_string(net.LayerSizes[l]) + ", " + name + "_w" + id +
             ", " + name + "_t" + id + ", " + std::to_string(net.LayerSizes[l + 1]) + ", " + to + ");\n";
        std::swap(from, to);
    }
    for (std::size_t j = 0; j < net.Outputs.size(); ++j)
        s += "    outputs[" + std::to_string(j) +
             "] = " + OutputExpression(net.Outputs[j], std::string(from) + "[" + std::to_string(j) + "]") + ";\n";
    s += "}\n";
    return s;
}

} // namespace nirvex
