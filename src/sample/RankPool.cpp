#include "sample/RankPool.h"

#include <bit>

namespace nirvex {

namespace {

constexpr std::size_t kFan = 64;
constexpr uint64_t kOnes = 0x0101010101010101u;

// Position of the rank-th set bit of w (rank < number of set bits). Broadword: the bytes'
// running bit counts say which byte holds it, without a loop over bits or a popcount call
// (the portable build has no popcount instruction).
int SelectBit(uint64_t w, uint32_t rank) {
    uint64_t s = w - ((w >> 1) & 0x5555555555555555u);
    s = (s & 0x3333333333333333u) + ((s >> 2) & 0x3333333333333333u);
    s = (s + (s >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    const uint64_t running = s * kOnes; // byte i: set bits in bytes 0..i, at most 64
    // Bytes whose running count is <= rank come before the one that holds the bit.
    const uint64_t le = (((rank * kOnes) | (0x80 * kOnes)) - running) & (0x80 * kOnes);
    const int byte = static_cast<int>(((le >> 7) * kOnes) >> 56);
    uint32_t inByte = rank - (byte > 0 ? static_cast<uint32_t>((running >> (8 * byte - 8)) & 0xFF) : 0);
    uint32_t bits = static_cast<uint32_t>((w >> (8 * byte)) & 0xFF);
    for (; inByte > 0; --inByte)
        bits &= bits - 1;
    return 8 * byte + std::countr_zero(bits);
}

// Finds the child of a node that holds rank r, makes r relative to it and counts the take.
// Running counts grow along the node, so the children at and after the one that holds r are
// exactly those whose running count exceeds r: one pass finds it and decrements them, with a
// fixed length and no branch, so that it vectorizes.
template <typename T> std::size_t Descend(T* counts, uint32_t& r) {
    const T rank = static_cast<T>(r);
    T above = 0;
    for (std::size_t k = 0; k < kFan; ++k) {
        T gt = counts[k] > rank ? 1 : 0;
        counts[k] = static_cast<T>(counts[k] - gt);
        above = static_cast<T>(above + gt);
    }
    std::size_t child = kFan - above;
    r -= child > 0 ? counts[child - 1] : 0;
    return child;
}

// Inclusive running counts of `totals` in nodes of `fan`; returns each node's total.
template <typename T>
std::vector<uint32_t> BuildLevel(const std::vector<uint32_t>& totals, std::size_t fan, std::vector<T>& level) {
    std::size_t nodes = (totals.size() + fan - 1) / fan;
    level.assign(nodes * fan, 0);
    std::vector<uint32_t> next(nodes);
    for (std::size_t node = 0; node < nodes; ++node) {
        uint32_t sum = 0;
        for (std::size_t k = 0; k < fan; ++k) {
            std::size_t child = node * fan + k;
            sum += child < totals.size() ? totals[child] : 0;
            level[child] = static_cast<T>(sum);
        }
        next[node] = sum;
    }
    return next;
}

} // namespace

TRankPool::TRankPool(int32_t n) : remaining_(n > 0 ? n : 0) {
    const std::size_t count = static_cast<std::size_t>(remaining_);
    bits_.assign((count + 63) / 64, ~uint64_t{0});
    if (count % 64 != 0)
        bits_.back() = (uint64_t{1} << (count % 64)) - 1;
    std::vector<uint32_t> totals(bits_.size());
    for (std::size_t i = 0; i < bits_.size(); ++i)
        totals[i] = static_cast<uint32_t>(std::popcount(bits_[i]));
    totals = BuildLevel(totals, kFan, wordCounts_);
    while (totals.size() > 1) {
        upper_.emplace_back();
        totals = BuildLevel(totals, kFan, upper_.back());
    }
}

int32_t TRankPool::Take(int32_t rank) {
    auto r = static_cast<uint32_t>(rank);
    std::size_t node = 0;
    for (std::size_t l = upper_.size(); l-- > 0;)
        node = node * kFan + Descend(&upper_[l][node * kFan], r);
    node = node * kFan + Descend(&wordCounts_[node * kFan], r);
    uint64_t& word = bits_[node];
    int bit = SelectBit(word, r);
    word &= ~(uint64_t{1} << bit);
    --remaining_;
    return static_cast<int32_t>(node * 64 + static_cast<std::size_t>(bit));
}

} // namespace nirvex
