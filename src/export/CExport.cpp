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

// Field names and values go into comments: nothing in them may end the comment, open another one
// (a warning) or break the line.
std::string CommentText(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F)
            out += '?';
        else if (s[i] == '*' && i + 1 < s.size() && s[i + 1] == '/')
            out += "* ";
        else if (s[i] == '/' && i + 1 < s.size() && s[i + 1] == '*')
            out += "/ ";
        else
            out += s[i];
    }
    return out;
}

// A C string literal of UTF-8 text: quotes, backslashes and "?" (no trigraph can form) escaped, every
// control and non-ASCII byte as a three-digit octal escape, so the file itself is plain ASCII there.
std::string CString(const std::string& text) {
    std::string s = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\' || c == '?') {
            s += '\\';
            s += c;
        } else if (u < 0x20 || u >= 0x7F) {
            s += '\\';
            for (int shift : {6, 3, 0})
                s += static_cast<char>('0' + ((u >> shift) & 7));
        } else {
            s += c;
        }
    }
    return s + "\"";
}

// A category field's line names where its value or class goes; one line per value follows.
std::string CategoryComment(std::size_t index, const TExportField& f, bool input, std::size_t scores) {
    std::string s = " *   " + std::to_string(index) + "  " + CommentText(f.Name) + ": категория, ";
    s += input ? "номер значения:\n"
               : "номер класса; доли классов в scores[" + std::to_string(scores) + ".." +
                     std::to_string(scores + f.Categories.size() - 1) + "]:\n";
    for (std::size_t c = 0; c < f.Categories.size(); ++c)
        s += " *        " + std::to_string(c) + "  \"" + CommentText(f.Categories[c]) + "\"\n";
    return s;
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

// The tables and helpers of a network with category fields: each field's values by slot, where each
// category target's shares start, the check of a value's number, the refusal and the classes.
std::string CategoryParts(const TExportNet& net, const std::string& name, const std::string& upper, bool inputs) {
    std::string s;
    std::string counts[2], values[2], offsets;
    std::size_t scores = 0;
    for (int side = 0; side < 2; ++side) {
        const std::vector<TExportField>& fields = side == 0 ? net.Inputs : net.Outputs;
        const std::string part = name + (side == 0 ? "_input_values" : "_output_values");
        for (std::size_t k = 0; k < fields.size(); ++k) {
            const TExportField& f = fields[k];
            const std::string sep = k ? ", " : "";
            counts[side] += sep + std::to_string(f.Categories.size());
            values[side] += sep + (f.IsCategory() ? part + "_" + std::to_string(k) : "0");
            if (side == 1) {
                offsets += sep + (f.IsCategory() ? std::to_string(scores) : "-1");
                scores += f.Categories.size();
            }
            if (!f.IsCategory())
                continue;
            s += "static const char *const " + part + "_" + std::to_string(k) + "[" +
                 std::to_string(f.Categories.size()) + "] = {\n";
            for (std::size_t c = 0; c < f.Categories.size(); ++c)
                s += "    " + CString(f.Categories[c]) + (c + 1 < f.Categories.size() ? ",\n" : "\n");
            s += "};\n";
        }
    }
    for (int side = 0; side < 2; ++side) {
        const std::string part = name + (side == 0 ? "_input_value" : "_output_value");
        const std::string count = upper + (side == 0 ? "_INPUT_COUNT" : "_OUTPUT_COUNT");
        s += "const int " + part + "_counts[" + count + "] = {" + counts[side] + "};\n";
        s += "const char *const *const " + part + "s[" + count + "] = {" + values[side] + "};\n";
    }
    s += "const int " + name + "_score_offsets[" + upper + "_OUTPUT_COUNT] = {" + offsets + "};\n\n";

    if (inputs)
        s += "/* номер значения v из count значений, -1 для иного v */\n"
             "static int " +
             name +
             "_value(double v, int count)\n{\n"
             "    return v >= 0.0 && v < count && v == floor(v) ? (int)v : -1;\n}\n\n"
             "/* NAN во всех outputs и scores; возвращает номер входа + 1 */\n"
             "static int " +
             name + "_refuse(double *outputs, double *scores, int input)\n{\n    int i;\n    for (i = 0; i < " + upper +
             "_OUTPUT_COUNT; ++i)\n        outputs[i] = NAN;\n    for (i = 0; i < " + upper +
             "_SCORE_COUNT; ++i)\n        scores[i] = NAN;\n    return input + 1;\n}\n\n";
    if (scores > 0)
        s += "/* номер класса с наибольшим выходом (первого из равных); доля каждого выхода в их сумме */\n"
             "static double " +
             name +
             "_classify(const double *y, int count, double *scores)\n{\n"
             "    double sum = 0.0;\n"
             "    int best = 0, i;\n"
             "    for (i = 0; i < count; ++i) {\n"
             "        sum += y[i];\n"
             "        if (y[i] > y[best])\n"
             "            best = i;\n"
             "    }\n"
             "    for (i = 0; i < count; ++i)\n"
             "        scores[i] = sum > 0.0 ? y[i] / sum : 0.0;\n"
             "    return best;\n}\n\n";
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
    const bool categories = net.HasCategories();
    bool usesLogistic = false, categoryInputs = false;
    for (const TExportField& f : net.Inputs) {
        usesLogistic = usesLogistic ||
                       (!f.IsCategory() && (f.NormType == TNormMethod::Sigmoid || f.NormType == TNormMethod::Auto));
        categoryInputs = categoryInputs || f.IsCategory();
    }

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
        s += net.Inputs[i].IsCategory() ? CategoryComment(i, net.Inputs[i], true, 0) : FieldComment(i, net.Inputs[i]);
    s += " * Выходы (outputs[j], в единицах полей):\n";
    std::size_t scores = 0;
    for (std::size_t j = 0; j < net.Outputs.size(); ++j)
        if (net.Outputs[j].IsCategory()) {
            s += CategoryComment(j, net.Outputs[j], false, scores);
            scores += net.Outputs[j].Categories.size();
        } else {
            s += FieldComment(j, net.Outputs[j]);
        }
    if (categories) {
        s += " *\n";
        if (categoryInputs)
            s += " * Поле категории передаётся в inputs номером своего значения. Если номер не целый или вне\n"
                 " * списка значений поля, " +
                 name +
                 "_predict записывает NAN во все outputs и scores и возвращает номер\n"
                 " * этого входа + 1, иначе возвращает 0.\n";
        else
            s += " * " + name + "_predict возвращает 0.\n";
        if (scores > 0)
            s += " * Цель-категория даёт в outputs номер класса с наибольшим выходом сети (первого из равных),\n"
                 " * а в scores - долю каждого класса в сумме выходов, как страница расчёта программы.\n";
        else
            s += " * Целей-категорий нет: " + upper + "_SCORE_COUNT равно 0, scores может быть NULL.\n";
        s += " * Значения полей (UTF-8): " + name + "_input_values[i], их " + name + "_input_value_counts[i],\n * " +
             name + "_output_values[j], их " + name +
             "_output_value_counts[j] (у числового поля 0);\n * доли цели j - с scores[" + name +
             "_score_offsets[j]].\n";
    }
    s += " */\n\n#include <math.h>\n\n";
    s += "#define " + upper + "_INPUT_COUNT " + std::to_string(net.Inputs.size()) + "\n";
    s += "#define " + upper + "_OUTPUT_COUNT " + std::to_string(net.Outputs.size()) + "\n";
    if (categories) {
        s += "#define " + upper + "_SCORE_COUNT " + std::to_string(scores) + "\n\n";
        s += "int " + name + "_predict(const double *inputs, double *outputs, double *scores);\n";
        s += "extern const int " + name + "_input_value_counts[" + upper + "_INPUT_COUNT];\n";
        s += "extern const char *const *const " + name + "_input_values[" + upper + "_INPUT_COUNT];\n";
        s += "extern const int " + name + "_output_value_counts[" + upper + "_OUTPUT_COUNT];\n";
        s += "extern const char *const *const " + name + "_output_values[" + upper + "_OUTPUT_COUNT];\n";
        s += "extern const int " + name + "_score_offsets[" + upper + "_OUTPUT_COUNT];\n\n";
    } else {
        s += "\nvoid " + name + "_predict(const double *inputs, double *outputs);\n\n";
    }

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
    if (categories)
        s += CategoryParts(net, name, upper, categoryInputs);

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

    s += (categories ? "int " + name + "_predict(const double *inputs, double *outputs, double *scores)\n{\n"
                     : "void " + name + "_predict(const double *inputs, double *outputs)\n{\n");
    const std::string size = std::to_string(net.MaxLayerSize());
    s += "    double a[" + size + "]";
    if (layers > 1)
        s += ", b[" + size + "]";
    s += ";\n";
    if (categoryInputs)
        s += "    int c, k;\n";
    for (std::size_t i = 0; i < net.Inputs.size(); ++i) {
        const TExportField& f = net.Inputs[i];
        const std::string in = "inputs[" + std::to_string(i) + "]";
        if (!f.IsCategory()) {
            s += "    a[" + std::to_string(f.Column) + "] = " + InputExpression(name, f, in) + ";\n";
            continue;
        }
        const std::string count = std::to_string(f.Categories.size());
        s += "    c = " + name + "_value(" + in + ", " + count + ");\n";
        s += "    if (c < 0)\n        return " + name + "_refuse(outputs, scores, " + std::to_string(i) + ");\n";
        s += "    for (k = 0; k < " + count + "; ++k)\n        a[" + std::to_string(f.Column) +
             " + k] = k == c ? 1.0 : 0.0;\n";
    }
    const char* from = "a";
    const char* to = "b";
    for (std::size_t l = 0; l + 1 < layers; ++l) {
        const std::string id = std::to_string(l + 1);
        s += "    " + name + "_layer(" + from + ", " + std::to_string(net.LayerSizes[l]) + ", " + name + "_w" + id +
             ", " + name + "_t" + id + ", " + std::to_string(net.LayerSizes[l + 1]) + ", " + to + ");\n";
        std::swap(from, to);
    }
    scores = 0;
    for (std::size_t j = 0; j < net.Outputs.size(); ++j) {
        const TExportField& f = net.Outputs[j];
        const std::string y = std::string(from) + "[" + std::to_string(f.Column) + "]";
        s += "    outputs[" + std::to_string(j) + "] = ";
        if (!f.IsCategory()) {
            s += OutputExpression(f, y) + ";\n";
            continue;
        }
        s += name + "_classify(&" + y + ", " + std::to_string(f.Categories.size()) + ", scores + " +
             std::to_string(scores) + ");\n";
        scores += f.Categories.size();
    }
    if (categories)
        s += "    return 0;\n";
    s += "}\n";
    return s;
}

} // namespace nirvex
