#pragma once

#include <cstdint>

namespace nirvex {

// The program-wide pseudo-random generator. Its exact sequence is part of the project file
// format: a project stores only the starting value of its record order.
//   seed := seed × 134775813 + 1 (mod 2^32); Random(n) = upper 32 bits of seed × n.
uint32_t RandSeed();
void SetRandSeed(uint32_t seed);
// A whole number in 0 .. n-1 (n >= 1).
int32_t Random(int32_t n);
// A double in [0, 1) from the same sequence.
double RandomFloat();
// Seeds from the UTC time of day in milliseconds and returns the new seed value.
uint32_t RandomizeFromClock();

} // namespace nirvex
