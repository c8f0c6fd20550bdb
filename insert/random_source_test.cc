#include "insert/random_source.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace travik {
namespace {

// Generator outputs given in advance.
struct ScriptedGenerator {
  std::vector<uint64_t> values;
  size_t next = 0;
  uint64_t Next() { return values.at(next++); }
};

// The expected values come from the generators' reference algorithms, not from this code: the
// published first outputs of xoshiro256** from the state {1, 2, 3, 4}, and the published first
// output of splitmix64 from 0. A compiler or platform that computes differently fails here.
TEST(RandomGenerator, FollowsTheReferenceSequences) {
  RandomGenerator reference = RandomGenerator::FromState({1, 2, 3, 4});
  const uint64_t published[] = {11520u, 0u, 1509978240u, 1215971899390074240u,
                                1216172134540287360u, 607988272756665600u};
  for (uint64_t value : published) EXPECT_EQ(reference.Next(), value);

  // Seed 0: the state is the first four splitmix64 outputs from 0.
  RandomGenerator seeded(0);
  RandomGenerator from_state = RandomGenerator::FromState(
      {0xE220A8397B1DCDAFull, 0x6E789E6AA1B965F4ull, 0x06C45D188009454Full, 0xF88BB8A8724C81ECull});
  for (int i = 0; i < 50; ++i) ASSERT_EQ(seeded.Next(), from_state.Next()) << "output " << i;

  // Positions for seed 7 in a file of the sample's length, as the reference algorithms draw them.
  RandomGenerator seven(7);
  const int positions[] = {5216280, 2075497, 6251611, 7304956, 7377645, 6498410, 452342, 777598};
  for (int p : positions) EXPECT_EQ(RandomInRange(seven, 1, 7445696), p);
  RandomGenerator small(12345);
  const int thirds[] = {3, 1, 3, 1, 2, 1, 1, 1, 2, 3, 3, 2};
  for (int v : thirds) EXPECT_EQ(RandomInRange(small, 1, 3), v);
}

TEST(DrawBelow, RejectsTheProductsThatWouldFavourSomeValues) {
  // 2^32 mod 3 is 1: a product whose low half is 0 is drawn again.
  ScriptedGenerator rejected{{0, 0xFFFFFFFFull << 32}};
  EXPECT_EQ(DrawBelow(rejected, 3), 2u);
  EXPECT_EQ(rejected.next, 2u);
  // Low half 2 is below the range but not below the threshold: taken at once.
  ScriptedGenerator taken{{0x5555555600000000ull}};  // 0x55555556 * 3 = 0x1_0000_0002
  EXPECT_EQ(DrawBelow(taken, 3), 1u);
  EXPECT_EQ(taken.next, 1u);
  // Ranges that divide 2^32 never reject; the high half of the output scales.
  ScriptedGenerator power{{0, 0x8000000000000000ull, ~0ull}};
  EXPECT_EQ(DrawBelow(power, 4), 0u);
  EXPECT_EQ(DrawBelow(power, 4), 2u);
  EXPECT_EQ(DrawBelow(power, 4), 3u);
  ScriptedGenerator one{{~0ull}};
  EXPECT_EQ(DrawBelow(one, 1), 0u);
}

TEST(RandomInRange, StaysInRangeAndReachesEveryValue) {
  RandomGenerator generator(1);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(RandomInRange(generator, 1, 1), 1);
  std::vector<int> counts(10, 0);
  for (int i = 0; i < 20000; ++i) {
    int v = RandomInRange(generator, 3, 12);
    ASSERT_GE(v, 3);
    ASSERT_LE(v, 12);
    ++counts[static_cast<size_t>(v - 3)];
  }
  for (int c : counts) {
    EXPECT_GT(c, 1800);  // 2000 expected; a spread of more than 4.5 standard deviations fails
    EXPECT_LT(c, 2200);
  }
  int high = RandomInRange(generator, 2147483646, 2147483647);
  EXPECT_TRUE(high == 2147483646 || high == 2147483647);
}

TEST(RandomGenerator, SeedsGiveTheirOwnSequences) {
  RandomGenerator a(42);
  RandomGenerator b(42);
  RandomGenerator c(43);
  RandomGenerator d = RandomGenerator::FromDevice();
  RandomGenerator e = RandomGenerator::FromDevice();
  int differing = 0;
  int device_differing = 0;
  for (int i = 0; i < 100; ++i) {
    uint64_t va = a.Next();
    EXPECT_EQ(va, b.Next());
    differing += va != c.Next();
    device_differing += d.Next() != e.Next();
  }
  EXPECT_EQ(differing, 100);
  EXPECT_EQ(device_differing, 100);
}

}  // namespace
}  // namespace travik
