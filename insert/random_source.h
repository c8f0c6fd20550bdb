// The random numbers of the random insert: a small seeded generator (xoshiro256**) and a bounded
// draw without modulo bias, both spelled out so that a seed gives the same positions everywhere.
#ifndef TRAVIK_INSERT_RANDOM_SOURCE_H_
#define TRAVIK_INSERT_RANDOM_SOURCE_H_

#include <array>
#include <cstdint>
#include <vector>

namespace travik {

// xoshiro256**: 256 bits of state, 64-bit outputs, the same sequence on every platform.
class RandomGenerator {
 public:
  // The state filled from `seed` by splitmix64, as the generator's authors advise; any seed,
  // 0 included, gives a usable state.
  explicit RandomGenerator(uint64_t seed);
  // A generator from its raw state (not all zero).
  static RandomGenerator FromState(const std::array<uint64_t, 4>& state);
  // Seeded from std::random_device (the operating system's entropy source).
  static RandomGenerator FromDevice();

  uint64_t Next();

 private:
  RandomGenerator() = default;
  std::array<uint64_t, 4> s_{};
};

// A uniform value in 0 ... range - 1 (range >= 1) from the high 32 bits of the generator's
// outputs, by multiplying and rejecting the few products that would favour some values.
template <typename Generator>
uint32_t DrawBelow(Generator& generator, uint32_t range) {
  uint64_t product = (generator.Next() >> 32) * range;
  uint32_t low = static_cast<uint32_t>(product);
  if (low < range) {
    const uint32_t threshold = static_cast<uint32_t>(-range) % range;  // 2^32 mod range
    while (low < threshold) {
      product = (generator.Next() >> 32) * range;
      low = static_cast<uint32_t>(product);
    }
  }
  return static_cast<uint32_t>(product >> 32);
}

// A uniform integer in low ... high inclusive. Callers pass low <= high.
int RandomInRange(RandomGenerator& generator, int low, int high);

// `count` positions drawn independently in 1 ... `length`, sorted; none when either is 0 or less.
std::vector<int> DrawSortedPositions(RandomGenerator& generator, int count, int length);

}  // namespace travik

#endif  // TRAVIK_INSERT_RANDOM_SOURCE_H_
