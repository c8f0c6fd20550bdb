// A new file written from several parts, as a split writes a piece cut across two of the reader's
// blocks: the parts from memory go together, parts of a mapped source through the system's copy.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "files/files.h"
#include "files/files_platform.h"
#include "tests/test_util.h"

namespace travik {
namespace {

using testing::ReadFileBytes;
using testing::ScopedTempDir;
using testing::WriteFileBytes;

std::string RandomBytes(std::mt19937& rng, size_t n) {
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(rng() & 0xFF);
  return bytes;
}

TEST(WriteNew, PartsFromMemoryAndFromAMappingComeOutInOrder) {
  ScopedTempDir dir;
  std::mt19937 rng(31);
  // Parts from memory: any number up to four, empty ones among them, small and large.
  for (int round = 0; round < 60; ++round) {
    std::vector<std::string> parts(4);
    std::string expected;
    for (std::string& part : parts) {
      const int kind = static_cast<int>(rng() % 4);
      part = RandomBytes(rng, kind == 0 ? 0 : kind == 1 ? rng() % 10 : rng() % 300000);
      expected += part;
    }
    const std::string path = dir.Join("m" + std::to_string(round) + ".txt");
    const size_t count = 1 + rng() % 4;
    std::string want;
    for (size_t i = 0; i < count; ++i) want += parts[i];
    const bool written =
        count == 1   ? platform::WriteNew(path, {parts[0]})
        : count == 2 ? platform::WriteNew(path, {parts[0], parts[1]})
        : count == 3 ? platform::WriteNew(path, {parts[0], parts[1], parts[2]})
                     : platform::WriteNew(path, {parts[0], parts[1], parts[2], parts[3]});
    ASSERT_TRUE(written) << round;
    std::string got;
    ASSERT_TRUE(ReadFileBytes(path, &got));
    EXPECT_EQ(got, want) << "round " << round << ", " << count << " parts";
  }
  // A part from a mapped source (a large file is mapped) with parts from memory around it.
  const std::string text = RandomBytes(rng, size_t{3} << 20);
  std::string gbk;
  for (unsigned char c : text) gbk += static_cast<char>(c < 0x80 ? (c == 0 || c == 0x1A ? 'a' : c) : 'b');
  ASSERT_TRUE(WriteFileBytes(dir.Join("big.txt"), gbk));
  const SourceText big = LoadSourceText(dir.Join("big.txt"));
  ASSERT_TRUE(big.ok);
  ASSERT_EQ(big.text.size(), gbk.size());
  const std::string_view mapped = big.text.substr(100000, 2000000);
  ASSERT_TRUE(platform::WriteNew(dir.Join("mixed.txt"), {"head", mapped, "tail"}));
  std::string got;
  ASSERT_TRUE(ReadFileBytes(dir.Join("mixed.txt"), &got));
  EXPECT_EQ(got, "head" + gbk.substr(100000, 2000000) + "tail");
  // A folder in the way is never written over; nothing is left of the parts.
  ASSERT_TRUE(MakeDirectory(dir.Join("folder.txt")));
  EXPECT_FALSE(platform::WriteNew(dir.Join("folder.txt"), {"a", "b"}));
  EXPECT_TRUE(FolderExists(dir.Join("folder.txt")));
}

}  // namespace
}  // namespace travik
