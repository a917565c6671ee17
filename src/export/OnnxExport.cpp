#include "export/OnnxExport.h"

#include "sample/FieldInfo.h"

#include <onnx/checker.h>
#include <onnx/onnx_pb.h>

#include <string_view>

#ifndef NIRVEX_VERSION
#define NIRVEX_VERSION "unknown"
#endif

namespace nirvex {

namespace {

constexpr int64_t kIrVersion = 8;
constexpr int64_t kOpset = 13;

// Builds the graph node by node; every value gets a fresh name from a prefix.
class TGraphBuilder {
public:
    explicit TGraphBuilder(onnx::GraphProto& g) : g_(g) {}

    std::string Fresh(const std::string& prefix) { return prefix + "_" + std::to_string(counter_++); }

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
        onnx::TensorProto* t = g_.add_initializer();
        std::string indexName = Fresh("index");
        t->set_name(indexName);
        t->set_data_type(onnx::TensorProto::INT64);
        t->add_dims(1);
        t->add_int64_data(index);
        std::string out = Op("Gather", {value, indexName}, prefix);
        SetInt(Last(), "axis", 1);
        return out;
    }

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
    static void SetInt(onnx::NodeProto& node, const char* name, int64_t v) {
        onnx::AttributeProto* a = node.add_attribute();
        a->set_name(name);
        a->set_type(onnx::AttributeProto::INT);
        a->set_i(v);
    }

    onnx::GraphProto& g_;
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

void SetMatrixType(onnx::ValueInfoProto& v, const std::string& name, int64_t columns) {
    v.set_name(name);
    onnx::TypeProto_Tensor* t = v.mutable_type()->mutable_tensor_type();
    t->set_elem_type(onnx::TensorProto::DOUBLE);
    t->mutable_shape()->add_dim()->set_dim_param("N");
    t->mutable_shape()->add_dim()->set_dim_value(columns);
}

std::string JoinNames(const std::vector<TExportField>& fields) {
    std::string s;
    for (const TExportField& f : fields)
        s += (s.empty() ? "" : ",") + f.Name;
    return s;
}

std::string ShapeText(const std::vector<int32_t>& sizes) {
    std::string s;
    for (int32_t n : sizes)
        s += (s.empty() ? "" : "-") + std::to_string(n);
    return s;
}

} // namespace

std::string OnnxModel(const TExportNet& net, const std::string& graphName) {
    onnx::ModelProto model;
    model.set_ir_version(kIrVersion);
    model.set_producer_name("Nirvex");
    model.set_producer_version(NIRVEX_VERSION);
    model.set_model_version(1);
    model.set_doc_string("Нейросеть Nirvex: многослойный персептрон " + ShapeText(net.LayerSizes) +
                         " с нормализацией входных и целевых полей; входы и выходы в единицах полей. "
                         "Создана программой Nirvex " NIRVEX_VERSION ".");
    onnx::OperatorSetIdProto* opset = model.add_opset_import();
    opset->set_domain("");
    opset->set_version(kOpset);
    for (const auto& [key, fields] :
         {std::pair{"input_fields", &net.Inputs}, std::pair{"output_fields", &net.Outputs}}) {
        onnx::StringStringEntryProto* p = model.add_metadata_props();
        p->set_key(key);
        p->set_value(JoinNames(*fields));
    }

    onnx::GraphProto& g = *model.mutable_graph();
    g.set_name(graphName);
    SetMatrixType(*g.add_input(), "inputs", static_cast<int64_t>(net.Inputs.size()));
    SetMatrixType(*g.add_output(), "outputs", static_cast<int64_t>(net.Outputs.size()));
    TGraphBuilder b(g);

    std::vector<std::string> columns;
    for (std::size_t i = 0; i < net.Inputs.size(); ++i)
        columns.push_back(NormalizeInput(b, net.Inputs[i], b.Column("inputs", static_cast<int64_t>(i), "raw")));
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
        columns.push_back(Denormalize(b, net.Outputs[j], b.Column(layer, static_cast<int64_t>(j), "y")));
    b.Concat(columns, "outputs");

    onnx::checker::check_model(model);
    return model.SerializeAsString();
}

} // namespace nirvex
