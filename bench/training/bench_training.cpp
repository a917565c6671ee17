// Whole training runs through the core against the bare engine loop on the same examples.
// Prints training_<shape>_vs_engine: <ratio> x (examples per second, run / engine).
#include "common/RandomGen.h"
#include "sample/Normalize.h"
#include "sample/SampleStats.h"
#include "training/TrainingRun.h"

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

using namespace nirvex;

namespace {

constexpr int32_t kRecords = 100000;

struct TShape {
    std::vector<int32_t> sizes;
    std::string Name() const {
        std::string s;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            if (i > 0)
                s.push_back('-');
            s.append(std::to_string(sizes[i]));
        }
        return s;
    }
};

void Shape(TNeuralNetwork& net, const TShape& shape) {
    SetRandSeed(42);
    net.SetCountLayers(static_cast<int32_t>(shape.sizes.size()));
    for (std::size_t l = 0; l < shape.sizes.size(); ++l)
        net.SetLayerSize(static_cast<int32_t>(l), shape.sizes[l]);
    net.TeachSpeed = 0.1;
    net.Miu = 0.9;
    net.Alpha = 1;
}

// Processor time of this thread: on a shared machine, time spent waiting for a core is not counted.
double Now() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

} // namespace

int main() {
    const std::vector<TShape> shapes = {{{3, 10, 1}}, {{13, 10, 1}}, {{8, 20, 10, 1}}, {{30, 50, 20, 5}}};
    for (const TShape& shape : shapes) {
        const int32_t nIn = shape.sizes.front(), nOut = shape.sizes.back();
        // A synthetic sample: inputs spread over [0, 10], targets a smooth function of them.
        std::vector<TFieldInfo> fields(static_cast<std::size_t>(nIn + nOut));
        SetRandSeed(1);
        for (int32_t r = 0; r < kRecords; ++r) {
            double sum = 0;
            for (int32_t i = 0; i < nIn; ++i) {
                double v = RandomFloat() * 10;
                sum += v;
                fields[static_cast<std::size_t>(i)].Values.push_back(v);
            }
            for (int32_t j = 0; j < nOut; ++j)
                fields[static_cast<std::size_t>(nIn + j)].Values.push_back(sum / nIn + j);
        }
        InitFieldDefaults(fields, kRecords);
        for (int32_t f = 0; f < nIn + nOut; ++f) {
            fields[static_cast<std::size_t>(f)].FieldType = f < nIn ? TFieldRole::Input : TFieldRole::Target;
            fields[static_cast<std::size_t>(f)].NetIndex = f < nIn ? f : f - nIn;
        }
        std::vector<int32_t> index = BuildRecordIndex(kRecords);

        // The bare engine loop over the same examples, normalized beforehand.
        std::vector<double> in(static_cast<std::size_t>(kRecords) * nIn), tg(static_cast<std::size_t>(kRecords) * nOut);
        for (int32_t r = 0; r < kRecords; ++r)
            BuildExample(fields, index[static_cast<std::size_t>(r)], &in[static_cast<std::size_t>(r) * nIn],
                         &tg[static_cast<std::size_t>(r) * nOut]);
        const int epochs = 10; // a run is many epochs; its one-off set-up is not what is measured
        double engineBest = 0, runBest = 0;
        for (int round = 0; round < 9; ++round) { // the two alternate; the best of each counts
            TNeuralNetwork net;
            Shape(net, shape);
            const double t0 = Now();
            double sink = 0;
            for (int e = 0; e < epochs; ++e)
                for (int32_t r = 0; r < kRecords; ++r) {
                    const double* x = &in[static_cast<std::size_t>(r) * nIn];
                    const double* t = &tg[static_cast<std::size_t>(r) * nOut];
                    for (int32_t i = 0; i < nIn; ++i)
                        net.SetInput(i, x[i]);
                    net.Compute();
                    double err = 0;
                    for (int32_t j = 0; j < nOut; ++j) {
                        double d = net.GetOutput(j) - t[j];
                        err += d * d;
                    }
                    sink += err / 2;
                    net.Teach(t);
                }
            double engineRate = double(epochs) * kRecords / (Now() - t0);
            if (sink < 0)
                std::printf("impossible\n");

            TNeuralNetwork net2;
            Shape(net2, shape);
            ITrainingView nothing;
            int32_t cursor = 0;
            double prev = 0;
            bool stop = false;
            TTrainingContext ctx;
            ctx.Network = &net2;
            ctx.Fields = &fields;
            ctx.RecordIndex = &index;
            ctx.InputCount = nIn;
            ctx.OutputCount = nOut;
            ctx.TeachCount = kRecords;
            ctx.TestCount = 0;
            ctx.ExampleCursor = &cursor;
            ctx.PrevTestErr = &prev;
            ctx.StopRequested = &stop;
            ctx.Rules[TCriterion::Epoch].On = true;
            ctx.Rules[TCriterion::Epoch].Limit = epochs - 1;
            const double t1 = Now();
            RunTrainingLoop(ctx, nothing);
            double runRate = double(epochs) * kRecords / (Now() - t1);
            engineBest = std::max(engineBest, engineRate);
            runBest = std::max(runBest, runRate);
        }
        std::printf("training_%s_vs_engine: %.3f x\n", shape.Name().c_str(), runBest / engineBest);
        std::printf("training_%s_examples_per_s: %.0f ex/s\n", shape.Name().c_str(), runBest);
    }
    return 0;
}
