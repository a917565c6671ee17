#pragma once

// The hot loops of the network, built once per instruction set (EngineKernels.cpp is compiled
// for each) and chosen at start by EngineVariant. Every build performs the same IEEE operations
// in the same order on every value, so all of them give the same doubles, bit for bit.

#include <cstdint>

namespace nirvex {

// Every row of weights, every layer of outputs and thresholds and every scratch buffer is padded
// with zeros to a multiple of 8 doubles, the widest vector of any build, so the loops work in whole
// vectors only (no partial loads and stores, whose results the next loads could not forward).
constexpr int32_t PaddedSize(int32_t count) {
    return (count + 7) & ~7;
}

// One connection layer l: from the `n` neurons of layer l into the `m` neurons of layer l+1.
struct TLayerRefs {
    const double* in; // outputs of layer l
    double* out;      // outputs of layer l+1
    double* w;        // n rows of PaddedSize(m); row i holds the weights out of neuron i
    double* wd;       // momentum memory, same layout
    double* t;        // thresholds of layer l+1
    double* td;
    double* delta;  // Teach scratch: local gradients of layer l+1, PaddedSize(m) long
    double* step;   // and the steps they give, -eta · delta
    double* taught; // `in` as Teach saw it, the inputs of the step still to be applied
    int32_t n;
    int32_t m;
};

struct TNetRefs {
    const TLayerRefs* layers; // CountLayers - 1 of them
    int32_t count;
    double* input;        // layer 0
    const double* output; // the last layer
    double alpha;
    double eta;
    double mu; // the momentum of the waiting step, when there is one
    // Teach leaves its step to be applied (`apply`) by the next forward pass, which adds it to
    // each row of weights on its way through them: one pass over the weights instead of two.
    bool pending;
};

// What one example of a training run yields.
struct TExampleResult {
    double Error;      // half the sum of squared differences, before teaching
    double OutputMean; // mean over the outputs, which the panels plot against the targets' mean
};

struct TEngineKernels {
    const char* name;
    // The forward pass, applying the waiting step first if `pending`.
    void (*compute)(const TNetRefs& net);
    // Works out a step for the example of the last forward pass and leaves it waiting. Needs no
    // step waiting already.
    void (*teach)(const TNetRefs& net, const double* targets);
    // Applies the waiting step to the weights and thresholds.
    void (*apply)(const TNetRefs& net);
    // One example of a pass: takes nIn inputs from `inputs`, runs the forward pass (applying the
    // waiting step), measures it against `targets` (nOut of them), and when `teach` is set leaves
    // the step that teaches it waiting.
    TExampleResult (*example)(const TNetRefs& net, const double* inputs, int32_t nIn, const double* targets,
                              int32_t nOut, bool teach);
    double (*sigmoid)(double alpha, double x);
    double (*exp)(double x); // for x <= 709
};

const TEngineKernels& EngineKernelsBaseline();
#if defined(__x86_64__)
const TEngineKernels& EngineKernelsAvx2();
const TEngineKernels& EngineKernelsAvx512();
#endif

} // namespace nirvex
