#pragma once

#include <cstdint>
#include <vector>

namespace nirvex {

// The numbers 0 .. n-1 as a pool from which the r-th smallest remaining number is taken out.
// A bit set under a 64-way tree of running counts: a take reads one node per level (a few
// cache lines; the upper levels stay cached) and one word of bits, where a binary tree of
// counts over the numbers themselves scatters ~log2(n) reads over memory far larger than the
// cache.
class TRankPool {
public:
    explicit TRankPool(int32_t n);
    int32_t Remaining() const { return remaining_; }
    // Removes and returns the rank-th smallest number still in the pool (0 <= rank < Remaining()).
    int32_t Take(int32_t rank);

private:
    // Each node holds the inclusive running counts of its 64 children (children past the
    // end count 0). The lowest level counts words of bits, at most 64 × 64 per node, so 16
    // bits do there and halve the bytes a take reads; the last upper level has one node.
    std::vector<uint16_t> wordCounts_;
    std::vector<std::vector<uint32_t>> upper_;
    std::vector<uint64_t> bits_;
    int32_t remaining_ = 0;
};

} // namespace nirvex
