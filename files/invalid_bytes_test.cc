// UTF-8 and GB18030 texts holding a few bytes that begin no character: recognised as what they
// mostly are, the bytes kept as they are and told where, each run once; more than the allowance,
// or an encoding named by the person, and the text is not taken for that encoding.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "files/files.h"
#include "text/codepage.h"
#include "text/encoding.h"
#include "tests/test_util.h"

namespace travik {
namespace {

using testing::ScopedTempDir;
using testing::WriteFileBytes;

constexpr unsigned kSeed = 6464;

// The length of the character at i, or 0 when the byte there begins none: UTF-8 by decoding
// 1 to 4 bytes, GB18030 by its byte ranges.
size_t ModelCharLength(const std::string& s, size_t i, Encoding e) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[i + k]); };
  if (b(0) < 0x80) return 1;
  if (e == Encoding::kUtf8) {
    for (size_t k = 2; k <= 4 && i + k <= s.size(); ++k) {
      std::u32string cps;
      if (DecodeText(s.substr(i, k), Encoding::kUtf8, &cps) && cps.size() == 1) return k;
    }
    return 0;
  }
  const size_t left = s.size() - i;
  if (b(0) < 0x81 || b(0) > 0xFE || left < 2) return 0;
  if ((b(1) >= 0x40 && b(1) <= 0x7E) || (b(1) >= 0x80 && b(1) <= 0xFE)) return 2;
  if (left >= 4 && b(1) >= 0x30 && b(1) <= 0x39 && b(2) >= 0x81 && b(2) <= 0xFE &&
      b(3) >= 0x30 && b(3) <= 0x39) {
    return 4;
  }
  return 0;
}

// The notes the reader gives: one for each run of bytes that begin no character.
std::vector<std::string> ModelNotes(const std::string& s, Encoding e, size_t* count) {
  std::vector<std::pair<size_t, size_t>> runs;
  *count = 0;
  for (size_t i = 0; i < s.size();) {
    const size_t n = ModelCharLength(s, i, e);
    if (n > 0) {
      i += n;
      continue;
    }
    if (!runs.empty() && runs.back().first + runs.back().second == i) {
      ++runs.back().second;
    } else {
      runs.push_back({i, 1});
    }
    ++*count;
    ++i;
  }
  std::vector<std::string> notes;
  for (const auto& run : runs) {
    notes.push_back("第 " + std::to_string(run.first + 1) + " 字节起有 " +
                    std::to_string(run.second) + " 个无效字节，已原样保留");
  }
  return notes;
}

// Random Chinese text with ASCII and line breaks, as UTF-8; GB18030 texts get a character of
// four bytes (what makes them GB18030) somewhere.
std::string RandomText(std::mt19937& rng, size_t length, Encoding e) {
  std::string utf8;
  while (utf8.size() < length) {
    const unsigned kind = rng() % 8;
    if (kind < 5) {
      const unsigned cp = 0x4E00 + rng() % (0x9FA6 - 0x4E00);
      utf8 += static_cast<char>(0xE0 | (cp >> 12));
      utf8 += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (kind == 5) {
      utf8 += "\r\n";
    } else if (kind == 6) {
      utf8 += "，。";
    } else {
      utf8 += static_cast<char>('a' + rng() % 26);
    }
  }
  if (e == Encoding::kUtf8) return utf8;
  utf8.insert(0, "\xF0\xA0\x80\x80");  // U+20000
  std::string out;
  EXPECT_TRUE(ConvertText(utf8, Encoding::kUtf8, Encoding::kGb18030, &out));
  return out;
}

// `count` stray bytes, each put where a character begins (after the first ten bytes). In
// GB18030 only 0x80 and 0xFF: a lead byte could make a character with the byte after it.
std::string Sprinkle(std::mt19937& rng, std::string text, Encoding e, size_t count) {
  static const unsigned char kUtf8Stray[] = {0x80, 0xBF, 0xC0, 0xC1, 0xC3, 0xE4, 0xF0, 0xF5, 0xFF};
  for (size_t k = 0; k < count; ++k) {
    size_t at = 10 + rng() % (text.size() - 10);
    if (e == Encoding::kUtf8) {
      while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
    } else {
      size_t p = 0;
      while (p < at) p += std::max<size_t>(1, ModelCharLength(text, p, e));
      at = p;
    }
    const unsigned char stray = e == Encoding::kUtf8 ? kUtf8Stray[rng() % std::size(kUtf8Stray)]
                                                     : (rng() % 2 ? 0x80 : 0xFF);
    text.insert(at, 1, static_cast<char>(stray));
  }
  return text;
}

TEST(InvalidBytes, AFewAreKeptAndToldWhereTheyStand) {
  ScopedTempDir dir;
  const std::string path = dir.Join("t.txt");
  std::mt19937 rng(kSeed);
  for (int round = 0; round < 80; ++round) {
    SCOPED_TRACE("seed " + std::to_string(kSeed) + " round " + std::to_string(round));
    const Encoding e = round % 2 ? Encoding::kGb18030 : Encoding::kUtf8;
    // A few large enough to be mapped, and read block by block.
    const size_t length = round % 20 == 3 ? (size_t{1} << 20) + rng() % 300000
                                          : 200 + rng() % 200000;
    const std::string clean = RandomText(rng, length, e);
    const size_t allowance = InvalidByteAllowance(clean.size() + 4);
    const std::string text =
        Sprinkle(rng, clean, e, 1 + rng() % std::min<size_t>(allowance, 4));
    size_t count = 0;
    const std::vector<std::string> notes = ModelNotes(text, e, &count);
    ASSERT_GT(count, 0u);
    ASSERT_TRUE(WriteFileBytes(path, text));
    const SourceText s = LoadSourceText(path);
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_EQ(s.encoding, e);
    EXPECT_FALSE(s.cut_short);
    EXPECT_TRUE(s.text == text) << "bytes changed";
    EXPECT_EQ(s.invalid_bytes, count);
    EXPECT_EQ(s.notes, notes);
    // Named, the text is checked and refused at its first invalid byte.
    const SourceText named = LoadSourceText(
        path, {}, e == Encoding::kUtf8 ? EncodingChoice::kUtf8 : EncodingChoice::kGb18030);
    EXPECT_FALSE(named.ok);
    EXPECT_TRUE(named.refused);
    const size_t first = std::stoul(notes[0].substr(notes[0].find(' ') + 1));
    EXPECT_EQ(named.error, std::string("按 ") + EncodingName(e) + " 编码读取时，第 " +
                               std::to_string(first) + " 字节起不是有效的字符，文件未处理");
  }
}

TEST(InvalidBytes, TheAllowanceAndTheEdgesAroundIt) {
  ScopedTempDir dir;
  const std::string path = dir.Join("t.txt");
  auto load = [&](const std::string& bytes) {
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    return LoadSourceText(path);
  };
  std::mt19937 rng(kSeed + 1);
  const std::string novel = RandomText(rng, 3000, Encoding::kUtf8);
  // One stray byte: UTF-8, told; two (the allowance of a short text is one): not UTF-8.
  size_t at = 300;  // where a character begins
  while ((static_cast<unsigned char>(novel[at]) & 0xC0) == 0x80) ++at;
  const std::string one = novel.substr(0, at) + "\xFF" + novel.substr(at);
  const std::string told = "第 " + std::to_string(at + 1) + " 字节起有 1 个无效字节，已原样保留";
  SourceText s = load(one);
  EXPECT_EQ(s.encoding, Encoding::kUtf8);
  EXPECT_EQ(s.notes, std::vector<std::string>{told});
  const std::string two = one + "a\x80";
  EXPECT_NE(load(two).encoding, Encoding::kUtf8);
  EXPECT_EQ(DetectEncoding(one).invalid, 1u);
  EXPECT_EQ(DetectEncoding(one).first_invalid, at);
  EXPECT_EQ(InvalidByteAllowance(65535), 1u);
  EXPECT_EQ(InvalidByteAllowance(65536), 2u);
  // A character cut short at the end is no invalid byte: it is left out as before, and the stray
  // byte is still told.
  s = load(one + "\xE4\xB8");
  EXPECT_EQ(s.encoding, Encoding::kUtf8);
  EXPECT_TRUE(s.cut_short);
  EXPECT_EQ(s.text, one);
  EXPECT_EQ(s.unfinished, "\xE4\xB8");
  EXPECT_EQ(s.invalid_bytes, 1u);
  // Padding stays out of the text and its note stays the last one.
  s = load(one + std::string(5, '\0'));
  ASSERT_TRUE(s.ok) << s.error;
  EXPECT_EQ(s.text, one);
  ASSERT_EQ(s.notes.size(), 2u);
  EXPECT_EQ(s.notes[0], told);
  EXPECT_EQ(s.notes[1].rfind("文件末尾的 5 个", 0), 0u) << s.notes[1];
  // With a mark the position counts the mark's bytes, as every position in the file does.
  s = load("\xEF\xBB\xBF" + one);
  EXPECT_EQ(s.notes, std::vector<std::string>{"第 " + std::to_string(at + 4) +
                                              " 字节起有 1 个无效字节，已原样保留"});
  // A short text with a stray byte whose UTF-8 reading is slight evidence is not UTF-8.
  EXPECT_NE(load("\xE4\xB8\xAD\xFF").encoding, Encoding::kUtf8);
  // Valid texts say nothing of invalid bytes.
  s = load(novel);
  EXPECT_EQ(s.invalid_bytes, 0u);
  EXPECT_TRUE(s.notes.empty());
  // Many runs are told one by one up to ten, the rest together.
  std::string many = RandomText(rng, 800000, Encoding::kUtf8);  // 13 allowed
  auto put = [&](size_t at, const char* bytes) {
    while ((static_cast<unsigned char>(many[at]) & 0xC0) == 0x80) ++at;
    many.insert(at, bytes);
  };
  for (size_t k = 0; k < 10; ++k) put(1000 + 50000 * k, "\xFF");
  put(600000, "\xFF\xFF");
  s = load(many);
  ASSERT_EQ(s.encoding, Encoding::kUtf8);
  EXPECT_EQ(s.invalid_bytes, 12u);
  ASSERT_EQ(s.notes.size(), 11u);
  EXPECT_EQ(s.notes[10], "另有 2 个无效字节，已原样保留");
}

}  // namespace
}  // namespace travik
