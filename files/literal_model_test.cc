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

// The length of the well-formed UTF-8 character at text[i], by the table of well-formed byte
// sequences (no overlong forms, no surrogates, nothing above U+10FFFF); 0 when none begins there.
size_t WellFormedLength(const std::string& text, size_t i) {
  auto byte = [&](size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0x100u; };
  auto in = [](unsigned b, unsigned lo, unsigned hi) { return b >= lo && b <= hi; };
  const unsigned b0 = byte(i), b1 = byte(i + 1), b2 = byte(i + 2), b3 = byte(i + 3);
  if (b0 < 0x80) return 1;
  if (in(b0, 0xC2, 0xDF)) return in(b1, 0x80, 0xBF) ? 2 : 0;
  unsigned lo = 0x80, hi = 0xBF;
  if (b0 == 0xE0) lo = 0xA0;
  if (b0 == 0xED) hi = 0x9F;
  if (b0 == 0xF0) lo = 0x90;
  if (b0 == 0xF4) hi = 0x8F;
  if (in(b0, 0xE0, 0xEF)) return in(b1, lo, hi) && in(b2, 0x80, 0xBF) ? 3 : 0;
  if (in(b0, 0xF0, 0xF4)) return in(b1, lo, hi) && in(b2, 0x80, 0xBF) && in(b3, 0x80, 0xBF) ? 4 : 0;
  return 0;
}

// The characters of a typed (UTF-8) text: each well-formed sequence, and each byte that begins
// none on its own, with its code point (0 for such a byte).
struct TypedChar {
  std::string bytes;
  char32_t value;
};
std::vector<TypedChar> TypedCharacters(const std::string& text) {
  std::vector<TypedChar> out;
  for (size_t i = 0; i < text.size();) {
    const size_t n = WellFormedLength(text, i);
    if (n == 0) {
      out.push_back({text.substr(i, 1), 0});
      ++i;
      continue;
    }
    const unsigned char b0 = static_cast<unsigned char>(text[i]);
    char32_t value = n == 1 ? b0 : n == 2 ? b0 & 0x1F : n == 3 ? b0 & 0x0F : b0 & 0x07;
    for (size_t k = 1; k < n; ++k) value = value << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    out.push_back({text.substr(i, n), value});
    i += n;
  }
  return out;
}

// Spaces of a typed text: the ASCII space and the ideographic space U+3000.
std::string ModelTrim(const std::string& text) {
  const std::vector<TypedChar> chars = TypedCharacters(text);
  auto space = [](const TypedChar& c) { return c.value == U' ' || c.value == 0x3000; };
  size_t first = 0, last = chars.size();
  while (first < last && space(chars[first])) ++first;
  while (last > first && space(chars[last - 1])) --last;
  std::string out;
  for (size_t k = first; k < last; ++k) out += chars[k].bytes;
  return out;
}

// Full-width forms U+FF01..U+FF5E are "!".."~"; the ideographic space is " ", ￥ "$", ￣ "~",
// ☆ and ★ "*" (the forms GBK's full-width row and its neighbours held).
std::string ModelFold(const std::string& text) {
  std::string out;
  for (const TypedChar& c : TypedCharacters(text)) {
    if (c.value >= 0xFF01 && c.value <= 0xFF5E) {
      out += static_cast<char>(c.value - 0xFF01 + '!');
    } else if (c.value == 0x3000) {
      out += ' ';
    } else if (c.value == 0xFFE5) {
      out += '$';
    } else if (c.value == 0xFFE3) {
      out += '~';
    } else if (c.value == 0x2605 || c.value == 0x2606) {
      out += '*';
    } else {
      out += c.bytes;
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

// Typed numbers: ASCII and full-width signs, digits, points and exponents, spaces of both
// kinds, other characters, and bytes of the full-width forms cut apart or out of place.
std::string NumberyText(std::mt19937& rng) {
  static const char* const kPieces[] = {
      " ", "　", "\t", "+", "-", "＋", "－", "0", "1", "7", "9", "０", "１", "９", ".", "．", "e",
      "E", "ｅ", "Ｅ", "x", "ｘ", "啊", "\xEF\xBC", "\xEF", "\xBC\x91", "\x91", "a", "～", "☆",
      "★", "！", "①", "￥", "￣", "｟", "｡", "\xA3\xB1", "\xA1\xA1", "😀", "\xF0\x9F\x98"};
  std::string s;
  int n = std::uniform_int_distribution<int>(0, 9)(rng);
  for (int i = 0; i < n; ++i) s += kPieces[rng() % (sizeof kPieces / sizeof kPieces[0])];
  return s;
}

TEST(LiteralModel, TrimSpacesFollowsTheSteps) {
  static const char* const kPieces[] = {" ", "　", "\t", "x", "中", "、", "〃", "\xE3\x80",
                                        "\xE3", "\x80", "\x80\x80", "\xA1\xA1", "😀", "\xC2\xA0"};
  std::mt19937 rng(41);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (int n = static_cast<int>(rng() % 8); n > 0; --n) {
      text += kPieces[rng() % (sizeof kPieces / sizeof kPieces[0])];
    }
    ASSERT_EQ(TrimSpaces(text), ModelTrim(text))
        << "round " << round << " seed 41 " << testing::HexBytes(text);
  }
}

TEST(LiteralModel, FoldedNumbersParseLikeTheCLibrary) {
  std::mt19937 rng(42);
  for (int round = 0; round < 20000; ++round) {
    std::string text = NumberyText(rng);
    ASSERT_EQ(FoldFullWidth(text), ModelFold(text)) << "round " << round << " " << testing::HexBytes(text);
    double want = ModelNumber(text);
    double got = TextToNumber(text);
    ASSERT_TRUE(got == want || (std::isnan(got) && std::isnan(want)))
        << "round " << round << " got " << got << " want " << want;
    ASSERT_EQ(TextToInt(text), ModelInt(text)) << "round " << round;
  }
}

// Every character GBK holds, typed as UTF-8, folds as its GBK form did: the full-width row
// (A3 A1..A3 FE) to ASCII, the full-width space (A1 A1) to " ", A1 AB to "~", A1 EE and A1 EF
// to "*". One more folds now: ＄ (A1 E7, U+FF04) stands outside that row in GBK, but among the
// full-width forms in Unicode, and folds to "$" with them.
TEST(LiteralModel, FoldFullWidthKeepsWhatGbkFolded) {
  int folded = 0, checked = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      std::string utf8;
      if (trail == 0x7F || !GbkToUtf8(std::string{static_cast<char>(lead), static_cast<char>(trail)}, &utf8)) {
        continue;
      }
      ++checked;
      std::string want = utf8;
      if (lead == 0xA3 && trail >= 0xA1) {
        want = std::string(1, static_cast<char>(trail - 0x80));
      } else if (lead == 0xA1 && trail == 0xA1) {
        want = " ";
      } else if (lead == 0xA1 && trail == 0xAB) {
        want = "~";
      } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
        want = "*";
      } else if (lead == 0xA1 && trail == 0xE7) {
        want = "$";
      }
      folded += want != utf8;
      ASSERT_EQ(FoldFullWidth("x" + utf8 + "y"), "x" + want + "y")
          << std::hex << lead << " " << trail << " " << utf8;
    }
  }
  EXPECT_EQ(folded, 94 + 4 + 1);
  EXPECT_GT(checked, 21000);
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
  // The keyword is typed text (UTF-8); a byte that begins no character matches nothing.
  std::wstring wide_pattern;
  for (const TypedChar& c : TypedCharacters(pattern)) {
    wide_pattern += c.value == 0 ? L'\xFFFF' : static_cast<wchar_t>(c.value);
  }
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

// Characters whose second GBK byte is regex syntax or a letter, and ASCII: their GBK bytes (for
// the texts) and UTF-8 (for the keywords).
struct PatternChar {
  std::string gbk;
  std::string typed;
};
std::vector<PatternChar> PatternCharacters() {
  std::vector<std::string> gbk = {"\x96\x7C", "\xB5\xDA", "\xD5\xC2", "\xB0\xA1", "a", "b", "x"};
  for (unsigned char lead : {0x81, 0x96, 0xE9}) {
    for (char trail : std::string("|^[]\\{}aZ")) gbk.push_back(std::string(1, lead) + trail);
  }
  std::vector<PatternChar> out;
  for (const std::string& g : gbk) {
    std::string typed;
    EXPECT_TRUE(GbkToUtf8(g, &typed)) << testing::HexBytes(g);
    out.push_back({g, typed});
  }
  return out;
}

// A random pattern of literal characters, ".", classes, quantifiers, anchors and look-ahead.
std::string RandomPattern(std::mt19937& rng, const std::vector<PatternChar>& chars) {
  auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
  auto literal = [&]() {
    const std::string& c = chars[pick(chars.size())].typed;
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
  const std::vector<PatternChar> chars = PatternCharacters();
  std::string snippets;
  for (const PatternChar& c : chars) snippets += c.gbk + std::string(1, '\0');
  snippets += Snippets("\x80\x41\0\xFF\x7C\0\xD5\xC2\xD5\xC2\0\r\n");
  // Also characters GBK lacks (한, ñ) and bytes that are no UTF-8, among them the three-byte
  // form of the value an undecodable 80 41 is held as.
  const char* const fixed[] = {"^第", "章$", "(?<=\r\n)第", "\\ba", "x*", "$", "^",
                               ".", "..", "a|$", "\r?\n", "(?=章)", "(?<!a)b", "^$", "\\Aa",
                               "a\\z", "(a)|(b)", "[^a]", "\\x{7AE0}", "한|章", "[한a]+", "ñ?b",
                               "\xED\xB2\x80", ".\xED\xB2\x80?", "\x80\x41|東", "[^\xD5\xC2]"};
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
