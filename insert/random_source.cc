#include "insert/random_source.h"

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#else
#include <chrono>
#endif

namespace travik {

uint32_t CycleCounter::ReadCounter() {
#if defined(__x86_64__) || defined(__i386__)
  return static_cast<uint32_t>(__rdtsc());
#else
  return static_cast<uint32_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count());
#endif
}

uint32_t SeededCounter::ReadCounter() {
  // splitmix64: every seed gives a well spread sequence.
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return static_cast<uint32_t>(z ^ (z >> 31));
}

int RandomInRange(RandomSource& source, int low, int high) {
  uint32_t v = source.ReadCounter() * 23u;
  v += 7u;
  uint32_t m = static_cast<uint32_t>(high) - static_cast<uint32_t>(low) + 1u;
  if (m == 0) return static_cast<int>(static_cast<uint32_t>(low) + v);  // the full 32-bit range
  return static_cast<int>(static_cast<uint32_t>(low) + v % m);
}

}  // namespace travik
