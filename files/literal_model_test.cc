// Slow, step-by-step models of the text and file operations, written apart from the fast code and
// compared with it on random GBK-like inputs (fixed seeds, printed on failure).
#include <gtest/gtest.h>

#include <boost/regex.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "text/codepage.h"
#include "text/encoding.h"
#include "text/regex_traits.h"
#include "files/files.h"
#include "text/pattern.h"
#include "text/text.h"
#include "tests/test_util.h"

namespace travik {
namespace {

bool High(char c) { return static_cast<unsigned char>(c) >= 0x80; }

// The bytes of a literal with embedded '\0's (the snippet separators of RandomGbkText), without
// its terminator: the length comes from the array, so it can never run past the literal.
template <size_t N>
std::string Snippets(const char (&bytes)[N]) {
  return std::string(bytes, N - 1);
}

// The characters of text[from..] by double-byte stepping: (offset, length); a lone lead byte at
// the very end is a character of length 1 flagged `lone`.
struct Char {
  size_t at;
  size_t len;
  bool lone;
};
std::vector<Char> Characters(const std::string& text, size_t from) {
  std::vector<Char> out;
  size_t p = from;
  while (p < text.size()) {
    if (High(text[p])) {
      if (p + 1 >= text.size()) {
        out.push_back({p, 1, true});
        break;
      }
      out.push_back({p, 2, false});
      p += 2;
    } else {
      out.push_back({p, 1, false});
      p += 1;
    }
  }
  return out;
}

bool IsSpaceChar(const std::string& text, const Char& c) {
  if (c.len == 1) return !c.lone && text[c.at] == ' ';
  return text.compare(c.at, 2, "\xA1\xA1") == 0;
}

std::string ModelTrim(const std::string& text) {
  std::vector<Char> chars = Characters(text, 0);
  size_t k = 0;
  while (k < chars.size() && IsSpaceChar(text, chars[k])) ++k;
  if (k == chars.size()) return "";
  size_t first = chars[k].at;
  if (chars.back().lone) return text.substr(first, chars.back().at - first);
  size_t last = chars.size();
  while (last > k && IsSpaceChar(text, chars[last - 1])) --last;
  size_t end = last == chars.size() ? text.size() : chars[last].at;
  return text.substr(first, end - first);
}

std::string ModelFold(const std::string& text) {
  std::string out;
  for (const Char& c : Characters(text, 0)) {
    if (c.len == 1) {
      out += text[c.at];
      continue;
    }
    unsigned char a = text[c.at], b = text[c.at + 1];
    if (a == 0xA3 && b >= 0xA1 && b <= 0xFE) {
      out += static_cast<char>(b - 0x80);
    } else if (a == 0xA1 && b == 0xA1) {
      out += ' ';
    } else if (a == 0xA1 && b == 0xAB) {
      out += '~';
    } else if (a == 0xA1 && (b == 0xEE || b == 0xEF)) {
      out += '*';
    } else {
      out += text.substr(c.at, 2);
    }
  }
  return out;
}

bool CSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool Digit(char c) { return c >= '0' && c <= '9'; }

// atof limited to "sign digits . digits exponent": the longest such prefix after white space.
double ModelNumber(const std::string& text) {
  std::string s = ModelFold(text);
  size_t i = 0;
  while (i < s.size() && CSpace(s[i])) ++i;
  size_t b = i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && Digit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && Digit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && Digit(s[j])) {
      while (j < s.size() && Digit(s[j])) ++j;
      i = j;
    }
  }
  return std::strtod(s.substr(b, i - b).c_str(), nullptr);
}

long long ModelInt(const std::string& text) {
  std::string s = ModelFold(text);
  size_t i = 0;
  while (i < s.size() && CSpace(s[i])) ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
  long long v = 0;
  while (i < s.size() && Digit(s[i])) v = v * 10 + (s[i++] - '0');
  return neg ? -v : v;
}

std::string NumberyText(std::mt19937& rng) {
  static const char* const kPieces[] = {
      " ", "\xA1\xA1", "\t", "+", "-", "\xA3\xAB", "\xA3\xAD", "0", "1", "7", "9", "\xA3\xB0",
      "\xA3\xB1", "\xA3\xB9", ".", "\xA3\xAE", "e", "E", "\xA3\xE5", "\xA3\xC5", "x", "\xB0\xA3",
      "\xA3", "\xA1", "a", "\xA1\xAB", "\xA1\xEE", "\xA3\xA1", "\xA2\xB1"};
  std::string s;
  int n = std::uniform_int_distribution<int>(0, 9)(rng);
  for (int i = 0; i < n; ++i) s += kPieces[rng() % (sizeof kPieces / sizeof kPieces[0])];
  return s;
}

TEST(LiteralModel, TrimSpacesFollowsTheSteps) {
  std::mt19937 rng(41);
  for (int round = 0; round < 20000; ++round) {
    std::string text = testing::RandomGbkText(rng, 12, false, Snippets(" \0\xA1\xA1\0\xA1\0\t\0"));
    if (round % 5 == 0 && !text.empty()) text.pop_back();
    ASSERT_EQ(TrimSpaces(text), ModelTrim(text)) << "round " << round << " seed 41";
  }
}

TEST(LiteralModel, FoldedNumbersParseLikeTheCLibrary) {
  std::mt19937 rng(42);
  for (int round = 0; round < 20000; ++round) {
    std::string text = NumberyText(rng);
    ASSERT_EQ(FoldFullWidth(text), ModelFold(text)) << "round " << round;
    double want = ModelNumber(text);
    double got = TextToNumber(text);
    ASSERT_TRUE(got == want || (std::isnan(got) && std::isnan(want)))
        << "round " << round << " got " << got << " want " << want;
    ASSERT_EQ(TextToInt(text), ModelInt(text)) << "round " << round;
  }
}

TEST(LiteralModel, FindTextWithNeedlesTakenFromTheText) {
  std::mt19937 rng(43);
  for (int round = 0; round < 20000; ++round) {
    std::string text = testing::RandomGbkText(rng, 30);
    if (round % 3 == 0 && !text.empty()) text.pop_back();
    if (text.empty()) continue;
    size_t a = rng() % text.size();
    std::string needle = text.substr(a, 1 + rng() % 3);
    int start = std::uniform_int_distribution<int>(-2, static_cast<int>(text.size()) + 2)(rng);
    // Forward: first candidate of the stepping scan from max(start-1, 0).
    int want = -1;
    size_t s = start > 1 ? start - 1 : 0;
    if (s < text.size()) {
      for (const Char& c : Characters(text, s)) {
        if (text.compare(c.at, needle.size(), needle) == 0 && c.at + needle.size() <= text.size()) {
          want = static_cast<int>(c.at) + 1;
          break;
        }
      }
    }
    ASSERT_EQ(FindText(text, needle, start), want) << "round " << round << " start " << start;
    // Reverse: last candidate from byte 0 that ends within the first start-1 bytes.
    size_t region = start > 1 ? std::min<size_t>(start - 1, text.size()) : 0;
    want = -1;
    for (const Char& c : Characters(text, 0)) {
      if (c.at + needle.size() <= region && text.compare(c.at, needle.size(), needle) == 0) {
        want = static_cast<int>(c.at) + 1;
      }
    }
    ASSERT_EQ(FindTextReverse(text, needle, start), want) << "round " << round << " start " << start;
  }
}

TEST(LiteralModel, RoundToAndIntegerPart) {
  std::mt19937 rng(44);
  for (int round = 0; round < 20000; ++round) {
    int digits = std::uniform_int_distribution<int>(-3, 4)(rng);
    double x = std::uniform_int_distribution<int>(-200000, 200000)(rng) / 1000.0;
    if (round % 2) x = std::uniform_real_distribution<double>(-1e4, 1e4)(rng);
    double want = 0;
    if (x != 0) {
      double y = std::fabs(x);
      for (int i = 0; i < digits; ++i) y *= 10;
      for (int i = 0; i < -digits; ++i) y /= 10;
      y += 0.000000000001;
      double w = std::floor(y);
      double r = y - w >= 0.5 ? w + 1 : w;
      for (int i = 0; i < digits; ++i) r /= 10;
      for (int i = 0; i < -digits; ++i) r *= 10;
      want = x < 0 ? -r : r;
    }
    ASSERT_DOUBLE_EQ(RoundTo(x, digits), want) << "round " << round << " x " << x << " digits " << digits;
    double ax = std::fabs(x);
    int part = static_cast<int>(std::floor(ax)) + (ax - std::floor(ax) > 0.999999999999 ? 1 : 0);
    ASSERT_EQ(IntegerPart(ax), part) << ax;
  }
  EXPECT_EQ(NumberToText(1e20), "1e+20");
  EXPECT_EQ(NumberToText(0.00001), "1e-05");
  EXPECT_EQ(NumberToText(1234567890123.0), "1234567890123");
  EXPECT_EQ(NumberToText(12345678901234.0), "1.234567890123e+13");
  EXPECT_EQ(NumberToText(-0.5), "-0.5");
}

// ReadTextFromFile, step by step: the end of the text and where the position is left.
void ModelRead(const std::string& bytes, size_t start, std::string* text, size_t* position) {
  text->clear();
  size_t p = start;
  while (p < bytes.size()) {
    unsigned char c = bytes[p];
    if (c == 0x00 || c == 0x1A) {
      *position = p;
      return;
    }
    if (c >= 0x80) {
      if (p + 1 >= bytes.size() || bytes[p + 1] == '\0') {
        *position = p + 1;
        return;
      }
      *text += bytes.substr(p, 2);
      p += 2;
    } else {
      *text += bytes[p];
      p += 1;
    }
  }
  *position = bytes.size() > start ? bytes.size() : start;
}

TEST(LiteralModel, ReadTextFromFileStopsWhereTheStepsSay) {
  testing::ScopedTempDir dir;
  std::string path = dir.Join("r.txt");
  std::mt19937 rng(45);
  for (int round = 0; round < 400; ++round) {
    std::string bytes = testing::RandomGbkText(rng, 40, true, Snippets("\0\xB0\0\x1A\0\xB0\x1A\0"));
    if (round % 4 == 0 && !bytes.empty()) bytes.pop_back();
    ASSERT_TRUE(testing::WriteFileBytes(path, bytes));
    FileNumber f = OpenFile(path);
    ASSERT_NE(f, 0);
    size_t start = bytes.empty() ? 0 : rng() % (bytes.size() + 1);
    ASSERT_TRUE(SeekFile(f, static_cast<int64_t>(start)));
    std::string want;
    size_t position = 0;
    ModelRead(bytes, start, &want, &position);
    ASSERT_EQ(ReadTextFromFile(f), want) << "round " << round << " start " << start;
    ASSERT_EQ(FilePosition(f), static_cast<int64_t>(position)) << "round " << round;
    CloseFile(f);
  }
}

TEST(LiteralModel, InsertTextIntoFileShiftsTheTail) {
  testing::ScopedTempDir dir;
  std::string path = dir.Join("i.txt");
  std::mt19937 rng(46);
  for (int round = 0; round < 60; ++round) {
    size_t size = rng() % 14000;
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    ASSERT_TRUE(testing::WriteFileBytes(path, bytes));
    FileNumber f = OpenFile(path);
    ASSERT_NE(f, 0);
    for (int k = 0; k < 3; ++k) {
      size_t at = rng() % (bytes.size() + 30);
      std::string insert(rng() % 9000 / (k + 1), 'x');
      for (char& c : insert) c = static_cast<char>(rng());
      ASSERT_TRUE(SeekFile(f, static_cast<int64_t>(at)));
      ASSERT_TRUE(InsertTextIntoFile(f, insert));
      if (!insert.empty()) {
        if (at > bytes.size()) bytes.resize(at, '\0');
        bytes.insert(at, insert);
      }
      ASSERT_EQ(FilePosition(f), static_cast<int64_t>(at + insert.size())) << round;
    }
    CloseFile(f);
    std::string on_disk;
    ASSERT_TRUE(testing::ReadFileBytes(path, &on_disk));
    ASSERT_EQ(on_disk, bytes) << "round " << round;
  }
}

// The characters of a GBK text as code points, decoded one by one through the code-page
// converter, with the byte offset of each (and the text's length at the end). Bytes that do not
// decode give `undecodable` plus the lead byte, or `unmatchable` when that is not zero.
struct Decoded {
  std::wstring chars;
  std::vector<size_t> offsets;
};
// The one code point of a UTF-8 text, or 0 when it holds anything else.
uint32_t SingleCodePoint(const std::string& utf8) {
  const unsigned char* u = reinterpret_cast<const unsigned char*>(utf8.data());
  if (utf8.size() == 2 && (u[0] & 0xE0) == 0xC0) return ((u[0] & 0x1F) << 6) | (u[1] & 0x3F);
  if (utf8.size() == 3 && (u[0] & 0xF0) == 0xE0) {
    return ((u[0] & 0x0F) << 12) | ((u[1] & 0x3F) << 6) | (u[2] & 0x3F);
  }
  return 0;
}

Decoded ModelDecode(const std::string& text, wchar_t unmatchable) {
  Decoded d;
  for (const Char& c : Characters(text, 0)) {
    const unsigned char first = static_cast<unsigned char>(text[c.at]);
    std::string utf8;
    uint32_t cp = 0;
    if (c.len == 1 && !c.lone) {
      cp = first;
    } else if (!c.lone && GbkToUtf8(text.substr(c.at, 2), &utf8)) {
      cp = SingleCodePoint(utf8);
    }
    if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) cp = unmatchable ? unmatchable : 0xDC00 + first;
    d.chars += static_cast<wchar_t>(cp);
    d.offsets.push_back(c.at);
  }
  d.offsets.push_back(text.size());
  return d;
}

// RegexSearchAll by its steps over the decoded characters: the whole text is always the base;
// after a match the next search starts at its end, after an empty one a character later; an
// empty match at the end after a final line break is no match. Results in byte offsets.
std::vector<std::pair<size_t, size_t>> ModelSearchAll(const std::string& pattern,
                                                      const std::string& text) {
  std::vector<std::pair<size_t, size_t>> out;
  if (text.empty()) return out;
  const std::wstring wide_pattern = ModelDecode(pattern, 0xFFFF).chars;
  KeywordRegex re(wide_pattern, boost::regex::perl);  // the classes keywords see
  const Decoded d = ModelDecode(text, 0);
  const std::wstring& w = d.chars;
  size_t from = 0;
  while (from <= w.size()) {
    boost::wsmatch m;
    boost::match_flag_type flags = boost::match_default;
    if (from > 0) flags |= boost::match_prev_avail;
    if (!boost::regex_search(w.cbegin() + from, w.cend(), m, re, flags, w.cbegin())) break;
    size_t at = m[0].first - w.cbegin();
    size_t end = m[0].second - w.cbegin();
    bool ends_in_break = text.back() == '\n' || text.back() == '\r';
    if (at == end && end == w.size() && ends_in_break) break;
    out.push_back({d.offsets[at], d.offsets[end] - d.offsets[at]});
    from = at == end ? end + 1 : end;
  }
  return out;
}

// Characters whose second byte is regex syntax or a letter, a few that do not decode, and ASCII.
std::vector<std::string> PatternCharacters() {
  std::vector<std::string> out = {"\x96\x7C", "\xB5\xDA", "\xD5\xC2", "\xB0\xA1", "a", "b", "x"};
  for (unsigned char lead : {0x81, 0x96, 0xE9}) {
    for (char trail : std::string("|^[]\\{}aZ")) out.push_back(std::string(1, lead) + trail);
  }
  return out;
}

// A random pattern of literal characters, ".", classes, quantifiers, anchors and look-ahead.
std::string RandomPattern(std::mt19937& rng, const std::vector<std::string>& chars) {
  auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
  auto literal = [&]() {
    const std::string& c = chars[pick(chars.size())];
    return c.size() == 1 && c != "a" && c != "b" && c != "x" ? "\\" + c : c;
  };
  auto atom = [&]() -> std::string {
    switch (pick(6)) {
      case 0:
        return ".";
      case 1:
        return "[" + std::string(pick(2) ? "^" : "") + literal() + literal() + "]";
      case 2:
        return pick(2) ? "\\r" : "\\n";
      default:
        return literal();
    }
  };
  static const char* const kQuantifiers[] = {"", "", "", "?", "*", "+", "{1,2}", "+?"};
  std::string p = pick(4) == 0 ? "^" : "";
  const size_t atoms = 1 + pick(3);
  for (size_t k = 0; k < atoms; ++k) {
    if (pick(6) == 0) {
      p += "(?=" + atom() + ")";
    } else {
      p += atom() + kQuantifiers[pick(8)];
    }
  }
  if (pick(4) == 0) p += "$";
  return p;
}

TEST(LiteralModel, RegexSearchAllMatchesTheDecodedCharacters) {
  const std::vector<std::string> chars = PatternCharacters();
  std::string snippets;
  for (const std::string& c : chars) snippets += c + std::string(1, '\0');
  snippets += Snippets("\x80\x41\0\xFF\x7C\0\xD5\xC2\xD5\xC2\0\r\n");
  const char* const fixed[] = {"^\xB5\xDA", "\xD5\xC2$", "(?<=\r\n)\xB5\xDA", "\\ba", "x*", "$", "^",
                               ".", "..", "a|$", "\r?\n", "(?=\xD5\xC2)", "(?<!a)b", "^$", "\\Aa",
                               "a\\z", "(a)|(b)", "[^a]", "\\x{7AE0}"};
  std::mt19937 rng(4711);
  for (int round = 0; round < 30000; ++round) {
    const std::string pattern = round % 4 == 0 ? fixed[round / 4 % (sizeof fixed / sizeof fixed[0])]
                                               : RandomPattern(rng, chars);
    std::string text = testing::RandomGbkText(rng, 24, false, snippets);
    if (round % 3 == 0 && !text.empty()) text.pop_back();
    Pattern p;
    ASSERT_TRUE(RegexCompile(&p, pattern)) << testing::HexBytes(pattern) << p.error();
    std::vector<std::pair<size_t, size_t>> got;
    for (const MatchRecord& m : RegexSearchAll(p, text).matches) {
      got.push_back({static_cast<size_t>(MatchPosition(m)), MatchText(m, text).size()});
    }
    ASSERT_EQ(got, ModelSearchAll(pattern, text))
        << "seed 4711 round " << round << " pattern " << testing::HexBytes(pattern) << " text "
        << testing::HexBytes(text);
  }
}

// Character starts against double-byte stepping, on texts long enough to cross 64-byte blocks.
TEST(LiteralModel, CharStartsFollowDoubleByteStepping) {
  std::mt19937 rng(99);
  for (int round = 0; round < 3000; ++round) {
    std::string text = testing::RandomGbkText(rng, 300);
    if (round % 2) {
      for (char& c : text) c = (rng() % 3) ? static_cast<char>(0x80 | rng()) : c;  // long high runs
    }
    std::vector<bool> starts(text.size(), false);
    for (const Char& c : Characters(text, 0)) starts[c.at] = true;
    CharStarts fast(text);
    for (size_t i = 0; i < text.size(); ++i) {
      ASSERT_EQ(fast.IsStart(i), starts[i]) << "seed 99 round " << round << " byte " << i;
    }
  }
}

}  // namespace
}  // namespace travik

namespace travik {
namespace {

// The observable rules of the file layer, the same on every system.
TEST(FileRules, AreTheSameOnEverySystem) {
  testing::ScopedTempDir dir;
  std::string folder = dir.Join("sub");
  ASSERT_TRUE(MakeDirectory(folder));
  EXPECT_FALSE(MakeDirectory(folder));
  EXPECT_FALSE(MakeDirectory(dir.Join("no") + kPathSeparator + "deeper"));
  EXPECT_TRUE(FolderExists(folder));
  EXPECT_TRUE(FolderExists(folder + kPathSeparator));
  EXPECT_EQ(FileSizeOf(folder), 0);
  EXPECT_EQ(FileSizeOf(folder + kPathSeparator), -1);  // a directory search finds no such entry
  EXPECT_EQ(OpenFile(folder), 0);
  EXPECT_FALSE(RemoveFile(folder));
  EXPECT_FALSE(WriteWholeFile(folder, "x"));

  std::string file = dir.Join("f.txt");
  EXPECT_FALSE(RemoveFile(file));
  EXPECT_EQ(FileSizeOf(file), -1);
  ASSERT_TRUE(WriteWholeFile(file, "abc", "", "de"));
  EXPECT_EQ(FileSizeOf(file), 5);
  EXPECT_FALSE(FolderExists(file));
  EXPECT_TRUE(SameFile(file, dir.path() + kPathSeparator + "." + kPathSeparator + "f.txt"));
  EXPECT_FALSE(SameFile(file, folder));

  FileNumber one = OpenFile(file);
  FileNumber two = OpenFile(file);
  ASSERT_NE(one, 0);
  ASSERT_NE(two, 0);
  EXPECT_NE(one, two);
  EXPECT_FALSE(WriteWholeFile(file, "zz"));
  EXPECT_FALSE(ReplaceWholeFile(file, {"zz"}));
  EXPECT_FALSE(RemoveFile(file));
  CloseFile(one);
  EXPECT_FALSE(RemoveFile(file));
  EXPECT_EQ(ReadTextFromFile(two), "abcde");
  EXPECT_EQ(ReadTextFromFile(one), "");  // closed: unknown number
  EXPECT_FALSE(SeekFile(one, 0));
  EXPECT_FALSE(InsertTextIntoFile(one, "x"));
  CloseAllFiles();
  EXPECT_EQ(OpenFileCount(), 0);
  EXPECT_TRUE(WriteWholeFile(file));
  EXPECT_EQ(FileSizeOf(file), 0);
  EXPECT_TRUE(RemoveFile(file));

  std::string temp = TempDirectory();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), kPathSeparator[0]);
  std::string program = ProgramDirectory();
  ASSERT_FALSE(program.empty());
  EXPECT_NE(program.back(), kPathSeparator[0]);
  EXPECT_TRUE(FolderExists(program));
}

}  // namespace
}  // namespace travik
