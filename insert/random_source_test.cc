#include "insert/random_source.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace travik {
namespace {

// Counter readings given in advance.
class ScriptedCounter : public RandomSource {
 public:
  explicit ScriptedCounter(std::vector<uint32_t> values) : values_(std::move(values)) {}
  uint32_t ReadCounter() override { return values_[next_++ % values_.size()]; }

 private:
  std::vector<uint32_t> values_;
  size_t next_ = 0;
};

TEST(RandomInRange, AppliesTheFormulaInUnsigned32BitArithmetic) {
  ScriptedCounter counter({0, 1, 100, 0xFFFFFFFFu, 0xA6F4DE9Cu, 12345u});
  EXPECT_EQ(RandomInRange(counter, 1, 100), 8);   // 7 mod 100 = 7
  EXPECT_EQ(RandomInRange(counter, 1, 100), 31);  // 30
  EXPECT_EQ(RandomInRange(counter, 1, 100), 8);   // 2307 mod 100 = 7
  // 0xFFFFFFFF * 23 wraps to 0xFFFFFFE9; + 7 is 4294967280, which is 80 mod 100.
  EXPECT_EQ(RandomInRange(counter, 1, 100), 81);
  // 0xA6F4DE9C * 23 = 0xF_0000_0004 wraps to 4; + 7 = 11.
  EXPECT_EQ(RandomInRange(counter, 1, 1000), 12);
  EXPECT_EQ(RandomInRange(counter, 5, 5), 5);
}

TEST(RandomInRange, StaysInRange) {
  CycleCounter cycles;
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(RandomInRange(cycles, 1, 1), 1);
  for (int i = 0; i < 1000; ++i) {
    int v = RandomInRange(cycles, 1, 7);
    ASSERT_GE(v, 1);
    ASSERT_LE(v, 7);
  }
  SeededCounter seeded(1);
  std::set<int> seen;
  for (int i = 0; i < 2000; ++i) {
    int v = RandomInRange(seeded, 3, 12);
    ASSERT_GE(v, 3);
    ASSERT_LE(v, 12);
    seen.insert(v);
  }
  EXPECT_EQ(seen.size(), 10u);  // a seeded sequence reaches every value
}

TEST(SeededCounter, RepeatsForTheSameSeedOnly) {
  SeededCounter a(42);
  SeededCounter b(42);
  SeededCounter c(43);
  int differing = 0;
  for (int i = 0; i < 100; ++i) {
    uint32_t va = a.ReadCounter();
    EXPECT_EQ(va, b.ReadCounter());
    differing += va != c.ReadCounter();
  }
  EXPECT_GT(differing, 95);
}

}  // namespace
}  // namespace travik
