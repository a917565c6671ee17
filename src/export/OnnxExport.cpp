#include "export/OnnxExport.h"

#include "sample/FieldInfo.h"

#include <onnx/checker.h>
#include <onnx/onnx_pb.h>

#include <set>
#include <string_view>

#ifndef NIRVEX_VERSION
#define NIRVEX_VERSION "unknown"
#endif

namespace nirvex {

namespace {

constexpr int64_t kIrVersion = 8;
constexpr int64_t kOpset = 13;
constexpr const char* kMlDomain = "ai.onnx.ml";
constexpr int64_t kMlOpset = 1;

void SetInt(onnx::NodeProto& node, const char* name, int64_t v) {
    onnx::AttributeProto* a = node.add_attribute();
    a->set_name(name);
    a->set_type(onnx::AttributeProto::INT);
    a->set_i(v);
}

// [N, columns...] of `type`.
void SetType(onnx::ValueInfoProto& v, const std::string& name, int32_t type, std::initializer_list<int64_t> columns) {
    v.set_name(name);
    onnx::TypeProto_Tensor* t = v.mutable_type()->mutable_tensor_type();
    t->set_elem_type(type);
    t->mutable_shape()->add_dim()->set_dim_param("N");
    for (int64_t c : columns)
        t->mutable_shape()->add_dim()->set_dim_value(c);
}

// Builds the graph node by node; every value gets a fresh name from a prefix, never one of the
// graph's input and output names.
class TGraphBuilder {
public:
    TGraphBuilder(onnx::GraphProto& g, std::set<std::string> reserved) : g_(g), reserved_(std::move(reserved)) {}

    std::string Fresh(const std::string& prefix) {
        std::string name;
        do
            name = prefix + "_" + std::to_string(counter_++);
        while (reserved_.count(name) > 0);
        return name;
    }

    std::string Op(const std::string& type, std::initializer_list<std::string> inputs, const std::string& prefix) {
        onnx::NodeProto* node = g_.add_node();
        node->set_op_type(type);
        node->set_name(Fresh(type));
        for (const std::string& in : inputs)
            node->add_input(in);
        std::string out = Fresh(prefix);
        node->add_output(out);
        return out;
    }

    onnx::NodeProto& Last() { return *g_.mutable_node(g_.node_size() - 1); }

    std::string Scalar(double v, const std::string& prefix) { return Tensor({}, {v}, prefix); }

    std::string Tensor(const std::vector<int64_t>& dims, const std::vector<double>& values, const std::string& prefix) {
        onnx::TensorProto* t = g_.add_initializer();
        std::string name = Fresh(prefix);
        t->set_name(name);
        t->set_data_type(onnx::TensorProto::DOUBLE);
        for (int64_t d : dims)
            t->add_dims(d);
        for (double v : values)
            t->add_double_data(v);
        return name;
    }

    // Column `index` of a [N, k] value as [N, 1].
    std::string Column(const std::string& value, int64_t index, const std::string& prefix) {
        return Columns(value, index, 1, prefix);
    }

    // Columns [first, first + count) of a [N, k] value as [N, count].
    std::string Columns(const std::string& value, int64_t first, int64_t count, const std::string& prefix) {
        onnx::TensorProto* t = g_.add_initializer();
        std::string indexName = Fresh("index");
        t->set_name(indexName);
        t->set_data_type(onnx::TensorProto::INT64);
        t->add_dims(count);
        for (int64_t c = 0; c < count; ++c)
            t->add_int64_data(first + c);
        std::string out = Op("Gather", {value, indexName}, prefix);
        SetInt(Last(), "axis", 1);
        return out;
    }

    std::string Strings(const std::vector<std::string>& values, const std::string& prefix) {
        onnx::TensorProto* t = g_.add_initializer();
        std::string name = Fresh(prefix);
        t->set_name(name);
        t->set_data_type(onnx::TensorProto::STRING);
        t->add_dims(static_cast<int64_t>(values.size()));
        for (const std::string& v : values)
            t->add_string_data(v);
        return name;
    }

    // Type and shape of a value whose operator does not infer them: [N, columns...].
    void Describe(const std::string& value, int32_t type, std::initializer_list<int64_t> columns) {
        SetType(*g_.add_value_info(), value, type, columns);
    }

    // The last node's output becomes the graph output `name`.
    void NameLast(const std::string& name) { Last().set_output(0, name); }

    std::string Concat(const std::vector<std::string>& columns, const std::string& out) {
        onnx::NodeProto* node = g_.add_node();
        node->set_op_type("Concat");
        node->set_name(Fresh("Concat"));
        for (const std::string& c : columns)
            node->add_input(c);
        node->add_output(out);
        SetInt(*node, "axis", 1);
        return out;
    }

    // 1 / (1 + e^t), and e^-t past t = 700 where e^t would overflow: the program's own formula.
    std::string Logistic(const std::string& t) {
        std::string large = Op("Greater", {t, Constant(700, "limit")}, "large");
        std::string tail = Op("Exp", {Op("Neg", {t}, "neg")}, "tail");
        std::string body = Op("Div", {One(), Op("Add", {One(), Op("Exp", {t}, "exp")}, "den")}, "body");
        return Op("Where", {large, tail, body}, "logistic");
    }

    std::string One() { return Constant(1, "one"); }

    // A scalar shared by every node that uses the same value.
    std::string Constant(double v, const std::string& prefix) {
        for (const auto& [value, name] : constants_)
            if (value == v)
                return name;
        constants_.emplace_back(v, Scalar(v, prefix));
        return constants_.back().second;
    }

private:
    onnx::GraphProto& g_;
    std::set<std::string> reserved_;
    int counter_ = 0;
    std::vector<std::pair<double, std::string>> constants_;
};

// 2·N(v) − 1 of the field's method, in the same operations as the program.
std::string NormalizeInput(TGraphBuilder& b, const TExportField& f, const std::string& v) {
    std::string n;
    switch (f.NormType) {
    case TNormMethod::Linear:
        n = b.Op("Div", {b.Op("Sub", {v, b.Scalar(f.Min, "min")}, "shift"), b.Scalar(f.Max - f.Min, "range")},
                 "linear");
        break;
    case TNormMethod::Sigmoid:
        n = b.Logistic(b.Op("Mul", {b.Scalar(-f.Alpha, "neg_alpha"), v}, "t"));
        break;
    case TNormMethod::Auto:
        n = b.Logistic(b.Op(
            "Div", {b.Op("Neg", {b.Op("Sub", {v, b.Scalar(f.Mid, "mid")}, "shift")}, "neg"), b.Scalar(f.Disp, "disp")},
            "t"));
        break;
    default:
        n = v;
        break;
    }
    return b.Op("Sub", {b.Op("Mul", {b.Constant(2, "two"), n}, "twice"), b.One()}, "input");
}

// D(y) of the field's method.
std::string Denormalize(TGraphBuilder& b, const TExportField& f, const std::string& y) {
    auto minusLogit = [&] {
        std::string odds = b.Op("Sub", {b.Op("Div", {b.One(), y}, "inv"), b.One()}, "odds");
        return b.Op("Neg", {b.Op("Log", {odds}, "log")}, "logit");
    };
    switch (f.NormType) {
    case TNormMethod::Linear:
        return b.Op("Add", {b.Scalar(f.Min, "min"), b.Op("Mul", {b.Scalar(f.Max - f.Min, "range"), y}, "scaled")},
                    "output");
    case TNormMethod::Sigmoid:
        return b.Op("Div", {minusLogit(), b.Scalar(f.Alpha, "alpha")}, "output");
    case TNormMethod::Auto:
        return b.Op("Add", {b.Op("Mul", {minusLogit(), b.Scalar(f.Disp, "disp")}, "scaled"), b.Scalar(f.Mid, "mid")},
                    "output");
    default:
        return b.Op("Identity", {y}, "output");
    }
}

// A category input as the network sees it: 1 in the column of its value, 0 in the others. A value
// the field does not have stops the run with ONNX Runtime's error (zeros = 0).
std::string OneHot(TGraphBuilder& b, const TExportField& f, const std::string& value) {
    std::string codes = b.Op("OneHotEncoder", {value}, "onehot"); // float [N, 1, k]
    onnx::NodeProto& node = b.Last();
    node.set_domain(kMlDomain);
    onnx::AttributeProto* cats = node.add_attribute();
    cats->set_name("cats_strings");
    cats->set_type(onnx::AttributeProto::STRINGS);
    for (const std::string& c : f.Categories)
        cats->add_strings(c);
    SetInt(node, "zeros", 0);
    b.Describe(codes, onnx::TensorProto::FLOAT, {1, static_cast<int64_t>(f.Categories.size())});
    std::string flat = b.Op("Flatten", {codes}, "flat");
    SetInt(b.Last(), "axis", 1);
    std::string columns = b.Op("Cast", {flat}, "category");
    SetInt(b.Last(), "to", onnx::TensorProto::DOUBLE);
    return columns;
}

// A category target as the program answers it: the class of the largest output (the first of equal
// ones) and each class's share of the outputs, summed in order (0 when they sum to 0).
void Classify(TGraphBuilder& b, const TExportField& f, const std::string& layer, const std::string& label,
              const std::string& scores) {
    const auto count = static_cast<int64_t>(f.Categories.size());
    const std::string y = b.Columns(layer, f.Column, count, "class_y");
    const std::string best = b.Op("ArgMax", {y}, "best");
    SetInt(b.Last(), "axis", 1);
    SetInt(b.Last(), "keepdims", 0);
    b.Op("Gather", {b.Strings(f.Categories, "classes"), best}, "label");
    b.NameLast(label);
    std::string sum = b.Column(y, 0, "part");
    for (int64_t c = 1; c < count; ++c)
        sum = b.Op("Add", {sum, b.Column(y, c, "part")}, "sum");
    const std::string zero = b.Constant(0, "zero");
    b.Op("Where", {b.Op("Greater", {sum, zero}, "positive"), b.Op("Div", {y, sum}, "share"), zero}, "scores");
    b.NameLast(scores);
}

void SetMatrixType(onnx::ValueInfoProto& v, const std::string& name, int64_t columns) {
    SetType(v, name, onnx::TensorProto::DOUBLE, {columns});
}

std::string JoinNames(const std::vector<TExportField>& fields) {
    std::string s;
    for (const TExportField& f : fields)
        s += (s.empty() ? "" : ",") + f.Name;
    return s;
}

std::string JsonString(const std::string& text) {
    std::string s = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            s += '\\';
            s += c;
        } else if (u < 0x20) {
            const char* hex = "0123456789abcdef";
            s += "\\u00";
            s += hex[u >> 4];
            s += hex[u & 15];
        } else {
            s += c;
        }
    }
    return s + "\"";
}

std::string JsonArray(const std::vector<std::string>& items) {
    std::string s;
    for (const std::string& item : items)
        s += (s.empty() ? "" : ",") + JsonString(item);
    return "[" + s + "]";
}

std::string ShapeText(const std::vector<int32_t>& sizes) {
    std::string s;
    for (int32_t n : sizes)
        s += (s.empty() ? "" : "-") + std::to_string(n);
    return s;
}

// The graph's inputs and outputs: "inputs" and "outputs" hold the number fields' columns; a category
// input is a string input named after its field, a category target gives FIELD_label and
// FIELD_scores. A name already taken gets "_2", "_3", ... appended.
struct TGraphNames {
    std::vector<std::string> Inputs, Labels, Scores; // by slot; empty for a number field
    std::set<std::string> Taken{"inputs", "outputs"};

    explicit TGraphNames(const TExportNet& net) {
        for (const TExportField& f : net.Inputs)
            Inputs.push_back(f.IsCategory() ? Take(f.Name) : "");
        for (const TExportField& f : net.Outputs) {
            Labels.push_back(f.IsCategory() ? Take(f.Name + "_label") : "");
            Scores.push_back(f.IsCategory() ? Take(f.Name + "_scores") : "");
        }
    }

    std::string Take(const std::string& wanted) {
        std::string name = wanted;
        for (int n = 2; name.empty() || Taken.count(name) > 0; ++n)
            name = wanted + "_" + std::to_string(n);
        Taken.insert(name);
        return name;
    }
};

std::vector<std::string> NumberNames(const std::vector<TExportField>& fields) {
    std::vector<std::string> names;
    for (const TExportField& f : fields)
        if (!f.IsCategory())
            names.push_back(f.Name);
    return names;
}

// Metadata of a model with category fields: the names of the columns of "inputs" and "outputs" as
// JSON arrays, and "categories", a JSON object of each category field's values by position.
void SetCategoryMetadata(onnx::ModelProto& model, const TExportNet& net) {
    std::string categories;
    for (const auto* fields : {&net.Inputs, &net.Outputs})
        for (const TExportField& f : *fields)
            if (f.IsCategory())
                categories += (categories.empty() ? "" : ",") + JsonString(f.Name) + ":" + JsonArray(f.Categories);
    for (const auto& [key, value] : {std::pair{"input_fields", JsonArray(NumberNames(net.Inputs))},
                                     std::pair{"output_fields", JsonArray(NumberNames(net.Outputs))},
                                     std::pair{"categories", "{" + categories + "}"}}) {
        onnx::StringStringEntryProto* p = model.add_metadata_props();
        p->set_key(key);
        p->set_value(value);
    }
}

} // namespace

std::string OnnxModel(const TExportNet& net, const std::string& graphName) {
    const bool categories = net.HasCategories();
    onnx::ModelProto model;
    model.set_ir_version(kIrVersion);
    model.set_producer_name("Nirvex");
    model.set_producer_version(NIRVEX_VERSION);
    model.set_model_version(1);
    model.set_doc_string("Нейросеть Nirvex: многослойный персептрон " + ShapeText(net.LayerSizes) +
                         " с нормализацией входных и целевых полей; входы и выходы в единицах полей. " +
                         (categories
                              ? "Поле категории на входе - строка [N, 1] с именем поля, цель-категория даёт ПОЛЕ_label "
                                "(класс) и ПОЛЕ_scores (доли классов); значения полей - в метаданных categories. "
                              : "") +
                         "Создана программой Nirvex " NIRVEX_VERSION ".");
    onnx::OperatorSetIdProto* opset = model.add_opset_import();
    opset->set_domain("");
    opset->set_version(kOpset);
    if (categories) {
        opset = model.add_opset_import();
        opset->set_domain(kMlDomain);
        opset->set_version(kMlOpset);
        SetCategoryMetadata(model, net);
    } else {
        for (const auto& [key, fields] :
             {std::pair{"input_fields", &net.Inputs}, std::pair{"output_fields", &net.Outputs}}) {
            onnx::StringStringEntryProto* p = model.add_metadata_props();
            p->set_key(key);
            p->set_value(JoinNames(*fields));
        }
    }

    onnx::GraphProto& g = *model.mutable_graph();
    g.set_name(graphName);
    const TGraphNames names(net);
    const std::size_t numberInputs = NumberNames(net.Inputs).size(), numberOutputs = NumberNames(net.Outputs).size();
    if (numberInputs > 0)
        SetMatrixType(*g.add_input(), "inputs", static_cast<int64_t>(numberInputs));
    for (const std::string& name : names.Inputs)
        if (!name.empty())
            SetType(*g.add_input(), name, onnx::TensorProto::STRING, {1});
    if (numberOutputs > 0)
        SetMatrixType(*g.add_output(), "outputs", static_cast<int64_t>(numberOutputs));
    for (std::size_t j = 0; j < net.Outputs.size(); ++j)
        if (net.Outputs[j].IsCategory()) {
            SetType(*g.add_output(), names.Labels[j], onnx::TensorProto::STRING, {});
            SetType(*g.add_output(), names.Scores[j], onnx::TensorProto::DOUBLE,
                    {static_cast<int64_t>(net.Outputs[j].Categories.size())});
        }
    TGraphBuilder b(g, names.Taken);

    std::vector<std::string> columns;
    int64_t number = 0;
    for (std::size_t i = 0; i < net.Inputs.size(); ++i)
        columns.push_back(net.Inputs[i].IsCategory()
                              ? OneHot(b, net.Inputs[i], names.Inputs[i])
                              : NormalizeInput(b, net.Inputs[i], b.Column("inputs", number++, "raw")));
    std::string layer = b.Concat(columns, "layer_0");

    const std::string negAlpha = b.Scalar(-net.Alpha, "neg_slope");
    for (std::size_t l = 0; l + 1 < net.LayerSizes.size(); ++l) {
        const std::string weights =
            b.Tensor({net.LayerSizes[l], net.LayerSizes[l + 1]}, net.Weights[l], "weights_" + std::to_string(l));
        const std::string thresholds =
            b.Tensor({net.LayerSizes[l + 1]}, net.Thresholds[l], "thresholds_" + std::to_string(l));
        std::string sum = b.Op("Add", {b.Op("MatMul", {layer, weights}, "sum"), thresholds}, "net");
        layer = b.Logistic(b.Op("Mul", {negAlpha, sum}, "z"));
    }

    columns.clear();
    for (std::size_t j = 0; j < net.Outputs.size(); ++j)
        if (net.Outputs[j].IsCategory())
            Classify(b, net.Outputs[j], layer, names.Labels[j], names.Scores[j]);
        else
            columns.push_back(Denormalize(b, net.Outputs[j], b.Column(layer, net.Outputs[j].Column, "y")));
    if (!columns.empty())
        b.Concat(columns, "outputs");

    onnx::checker::check_model(model);
    return model.SerializeAsString();
}

} // namespace nirvex
