// On-line training speed of the network engine: forward pass, example error and one Teach step
// per example, over 10,000 synthetic examples, for a few typical shapes. With FANN present the
// same data is trained incrementally by FANN (doubles, sigmoid layers, rate 0.1, momentum 0.9),
// the two measured alternately, and the ratio printed. Then every build of the engine's hot loops
// the processor runs is measured on its own (engine_<shape>_<build>_examples_per_s).

#include "engine/EngineVariant.h"
#include "engine/NeuralNetwork.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#ifdef NIRVEX_BENCH_FANN
#include <doublefann.h>
#endif

using namespace nirvex;

namespace {

constexpr int kExamples = 10000;
constexpr int kRounds = 15;

struct TData {
    int inputs = 0, outputs = 0;
    std::vector<double> x, t; // example-major
};

TData MakeData(int inputs, int outputs, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(-1, 1);
    TData d;
    d.inputs = inputs;
    d.outputs = outputs;
    d.x.resize(static_cast<std::size_t>(kExamples) * inputs);
    d.t.resize(static_cast<std::size_t>(kExamples) * outputs);
    for (int e = 0; e < kExamples; ++e) {
        double s = 0;
        for (int i = 0; i < inputs; ++i) {
            double v = u(gen);
            d.x[static_cast<std::size_t>(e) * inputs + i] = v;
            s += v * (i % 3 == 0 ? 1.0 : -0.5);
        }
        for (int j = 0; j < outputs; ++j)
            d.t[static_cast<std::size_t>(e) * outputs + j] = 0.5 + 0.45 * std::sin(s * (j + 1));
    }
    return d;
}

// Processor time of this thread: on a shared machine, time spent waiting for a core is not counted.
double Now() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// One pass over the data; returns the time taken and accumulates the error so nothing is elided.
double TrainEngine(TNeuralNetwork& net, const TData& d, double& errorSum) {
    const double start = Now();
    for (int e = 0; e < kExamples; ++e) {
        const double* x = &d.x[static_cast<std::size_t>(e) * d.inputs];
        const double* t = &d.t[static_cast<std::size_t>(e) * d.outputs];
        for (int i = 0; i < d.inputs; ++i)
            net.SetInput(i, x[i]);
        net.Compute();
        double err = 0;
        for (int j = 0; j < d.outputs; ++j) {
            double diff = net.GetOutput(j) - t[j];
            err += diff * diff;
        }
        errorSum += 0.5 * err;
        net.Teach(t);
    }
    return Now() - start;
}

#ifdef NIRVEX_BENCH_FANN
double TrainFann(fann* ann, const TData& d, double& errorSum) {
    const double start = Now();
    for (int e = 0; e < kExamples; ++e) {
        fann_train(ann, const_cast<fann_type*>(&d.x[static_cast<std::size_t>(e) * d.inputs]),
                   const_cast<fann_type*>(&d.t[static_cast<std::size_t>(e) * d.outputs]));
    }
    errorSum += fann_get_MSE(ann);
    fann_reset_MSE(ann);
    return Now() - start;
}
#endif

std::string ShapeName(const std::vector<int>& shape) {
    std::string name;
    for (std::size_t l = 0; l < shape.size(); ++l)
        name += (l ? "-" : "") + std::to_string(shape[l]);
    return name;
}

void Shape(TNeuralNetwork& net, const std::vector<int>& shape) {
    net.SetCountLayers(static_cast<int32_t>(shape.size()));
    for (std::size_t l = 0; l < shape.size(); ++l)
        net.SetLayerSize(static_cast<int32_t>(l), shape[l]);
    net.TeachSpeed = 0.1;
    net.Miu = 0.9;
    net.Alpha = 1.0; // the same slope as FANN's sigmoid at its default steepness
}

TData DataFor(const std::vector<int>& shape) {
    return MakeData(shape.front(), shape.back(), 12345u + static_cast<unsigned>(shape.size()));
}

void Run(const std::vector<int>& shape) {
    const std::string name = ShapeName(shape);
    TData data = DataFor(shape);
    TNeuralNetwork net;
    Shape(net, shape);

    double engineError = 0, engineBest = 1e300;
#ifdef NIRVEX_BENCH_FANN
    std::vector<unsigned> layers(shape.begin(), shape.end());
    fann* ann = fann_create_standard_array(static_cast<unsigned>(layers.size()), layers.data());
    fann_set_activation_function_hidden(ann, FANN_SIGMOID);
    fann_set_activation_function_output(ann, FANN_SIGMOID);
    fann_set_training_algorithm(ann, FANN_TRAIN_INCREMENTAL);
    fann_set_learning_rate(ann, 0.1f);
    fann_set_learning_momentum(ann, 0.9f);
    fann_randomize_weights(ann, -0.1, 0.1);
    double fannError = 0, fannBest = 1e300;
#endif
    for (int round = 0; round < kRounds; ++round) {
        engineBest = std::min(engineBest, TrainEngine(net, data, engineError));
#ifdef NIRVEX_BENCH_FANN
        fannBest = std::min(fannBest, TrainFann(ann, data, fannError));
#endif
    }
    double engineRate = kExamples / engineBest;
    std::printf("engine_%s_examples_per_s: %.0f ex/s\n", name.c_str(), engineRate);
#ifdef NIRVEX_BENCH_FANN
    double fannRate = kExamples / fannBest;
    std::printf("fann_%s_examples_per_s: %.0f ex/s\n", name.c_str(), fannRate);
    std::printf("engine_%s_vs_fann: %.2f x\n", name.c_str(), engineRate / fannRate);
    fann_destroy(ann);
    if (!std::isfinite(engineError + fannError))
        std::printf("engine_%s_diverged: 1 flag\n", name.c_str());
#else
    if (!std::isfinite(engineError))
        std::printf("engine_%s_diverged: 1 flag\n", name.c_str());
#endif
}

// The same engine loop once per build, the builds measured alternately.
void RunBuilds(const std::vector<int>& shape) {
    const TData data = DataFor(shape);
    const std::string chosen = EngineVariantName();
    const std::vector<std::string> builds = SupportedEngineVariants();
    std::vector<TNeuralNetwork> nets(builds.size());
    std::vector<double> best(builds.size(), 1e300);
    double error = 0;
    for (TNeuralNetwork& net : nets)
        Shape(net, shape);
    for (int round = 0; round < kRounds; ++round)
        for (std::size_t b = 0; b < builds.size(); ++b) {
            UseEngineVariant(builds[b]);
            best[b] = std::min(best[b], TrainEngine(nets[b], data, error));
        }
    UseEngineVariant(chosen);
    for (std::size_t b = 0; b < builds.size(); ++b)
        std::printf("engine_%s_%s_examples_per_s: %.0f ex/s\n", ShapeName(shape).c_str(), builds[b].c_str(),
                    kExamples / best[b]);
}

} // namespace

int main() {
    std::printf("engine_variant: %s\n", EngineVariantName());
    const std::vector<std::vector<int>> shapes{{3, 10, 1}, {13, 10, 1}, {8, 20, 10, 1}, {30, 50, 20, 5}};
    for (const auto& shape : shapes)
        Run(shape);
    for (const auto& shape : shapes)
        RunBuilds(shape);
    return 0;
}
