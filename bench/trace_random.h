#pragma once

// The generator's random numbers: splitmix64 with integer arithmetic only, so that one seed gives
// the same trace, byte for byte, on every machine and with every standard library.

#include <cstddef>
#include <cstdint>

namespace bench {

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }

  // 0 .. n-1, for n up to 2^32.
  std::uint64_t Below(std::uint64_t n) { return ((Next() >> 32) * n) >> 32; }

  // low .. high, both included.
  std::uint64_t Between(std::uint64_t low, std::uint64_t high) {
    return low + Below(high - low + 1);
  }

  bool PerMille(unsigned chance) { return Below(1000) < chance; }

  template <typename T, std::size_t N>
  const T& Pick(const T (&choices)[N]) {
    return choices[Below(N)];
  }

 private:
  std::uint64_t state_;
};

}  // namespace bench
