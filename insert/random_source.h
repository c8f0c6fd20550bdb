// The random numbers of the random insert: a cycle counter read through a replaceable source.
#ifndef TRAVIK_INSERT_RANDOM_SOURCE_H_
#define TRAVIK_INSERT_RANDOM_SOURCE_H_

#include <cstdint>

namespace travik {

// Supplies readings of a cycle counter (their low 32 bits).
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual uint32_t ReadCounter() = 0;
};

// The processor's time-stamp counter (RDTSC); a high-resolution clock where there is none.
class CycleCounter : public RandomSource {
 public:
  uint32_t ReadCounter() override;
};

// A reproducible sequence of counter readings, fixed by the seed.
class SeededCounter : public RandomSource {
 public:
  explicit SeededCounter(uint64_t seed) : state_(seed) {}
  uint32_t ReadCounter() override;

 private:
  uint64_t state_;
};

// low + ((T * 23 + 7) mod 2^32) mod (high - low + 1), all in unsigned 32-bit arithmetic, where T
// is the next counter reading. Callers pass low <= high.
int RandomInRange(RandomSource& source, int low, int high);

}  // namespace travik

#endif  // TRAVIK_INSERT_RANDOM_SOURCE_H_
