// Small bit counts shared by the scans that read 64 units at a time from
// bit masks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qn::platform {

// Bits set in x, without a population-count instruction: the baseline x86-64
// has none, and a library call would stand in for one.
inline size_t BitsSet(uint64_t x) noexcept {
  x -= (x >> 1) & 0x5555555555555555ull;
  x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return static_cast<size_t>((x * 0x0101010101010101ull) >> 56);
}

}  // namespace qn::platform
