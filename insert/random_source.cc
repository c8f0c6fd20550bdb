#include "insert/random_source.h"

#include <algorithm>
#include <random>

namespace travik {

namespace {

uint64_t SplitMix64(uint64_t* state) {
  uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

inline uint64_t RotateLeft(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

}  // namespace

RandomGenerator::RandomGenerator(uint64_t seed) {
  for (uint64_t& word : s_) word = SplitMix64(&seed);
}

RandomGenerator RandomGenerator::FromState(const std::array<uint64_t, 4>& state) {
  RandomGenerator generator;
  generator.s_ = state;
  return generator;
}

RandomGenerator RandomGenerator::FromDevice() {
  // random_device gives 32 bits a call; two calls make the 64-bit seed.
  std::random_device device;
  uint64_t seed = static_cast<uint64_t>(device()) << 32 | device();
  return RandomGenerator(seed);
}

uint64_t RandomGenerator::Next() {
  const uint64_t result = RotateLeft(s_[1] * 5, 7) * 9;
  const uint64_t t = s_[1] << 17;
  s_[2] ^= s_[0];
  s_[3] ^= s_[1];
  s_[1] ^= s_[2];
  s_[0] ^= s_[3];
  s_[2] ^= t;
  s_[3] = RotateLeft(s_[3], 45);
  return result;
}

int RandomInRange(RandomGenerator& generator, int low, int high) {
  const uint32_t range = static_cast<uint32_t>(high) - static_cast<uint32_t>(low) + 1u;
  if (range == 0) return static_cast<int>(generator.Next() >> 32);  // the full 32-bit range
  return static_cast<int>(static_cast<uint32_t>(low) + DrawBelow(generator, range));
}

std::vector<int> DrawSortedPositions(RandomGenerator& generator, int count, int length) {
  std::vector<int> draws;
  if (length <= 0 || count <= 0) return draws;
  draws.reserve(static_cast<size_t>(count));
  for (int k = 0; k < count; ++k) draws.push_back(RandomInRange(generator, 1, length));
  std::sort(draws.begin(), draws.end());
  return draws;
}

}  // namespace travik
