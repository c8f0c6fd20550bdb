#include "text/pattern.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <random>

#include "text/code_point_traits.h"
#include "text/codepage.h"
#include "text/text.h"
#include "tests/test_util.h"

namespace {

// Heap allocations made while counting is on (this test program's own operator new).
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

}  // namespace

#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ >= 11
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"  // malloc and free are the pair here
#endif
void* operator new(std::size_t size) {
  if (counting) ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
// The library's other forms (a stable sort's buffer comes from the nothrow one) must come from
// the same pair, or a sanitizer rightly reports memory freed by a different allocator.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (counting) ++allocations;
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace travik {
namespace {

using testing::operator""_gbk;

// The keyword is what a person typed (UTF-8); the text searched is a GBK file's. The matches of
// the keyword in the GBK form of a UTF-8 text, turned back into UTF-8 for comparison.
std::vector<std::string> AllMatchTexts(std::string_view pattern, std::string_view utf8_text) {
  const std::string text = testing::Gbk(utf8_text);
  Pattern p;
  EXPECT_TRUE(RegexCompile(&p, pattern)) << pattern;
  RegexSearchResult r = RegexSearchAll(p, text);
  std::vector<std::string> out;
  for (const MatchRecord& m : r.matches) {
    std::string utf8;
    if (!GbkToUtf8(MatchText(m, text), &utf8)) utf8 = "no GBK: " + testing::HexBytes(MatchText(m, text));
    out.push_back(utf8);
  }
  return out;
}

// The GBK byte offsets of the keyword's matches in a GBK text.
std::vector<int64_t> AllMatchPositions(std::string_view pattern, std::string_view gbk_text) {
  Pattern p;
  EXPECT_TRUE(RegexCompile(&p, pattern)) << pattern;
  std::vector<int64_t> out;
  for (const MatchRecord& m : RegexSearchAll(p, gbk_text).matches) out.push_back(MatchPosition(m));
  return out;
}

// A character as the program reads it in a GBK text (its own value for the pairs some converters
// leave undecoded), in UTF-8: what a person sees and types.
std::string TypedFormOf(std::string_view gbk_pair) {
  const CharValue value = GbkCharValue(gbk_pair.data(), gbk_pair.data() + gbk_pair.size(),
                                       GbkPairTable());
  EXPECT_TRUE(value < kUndecodableBase || value >= 0xE000) << testing::HexBytes(gbk_pair);
  return WideToUtf8(std::wstring(1, static_cast<wchar_t>(value)));
}

TEST(RegexSearchAll, SeesCharactersNotBytes) {
  const std::string text = "第一章 甲\r\n正文\r\n第二章 乙\r\n";
  EXPECT_EQ(AllMatchTexts("第.+章", text), (std::vector<std::string>{"第一章 甲\r\n正文\r\n第二章"}));
  EXPECT_EQ(AllMatchTexts("(?-s)第.+章", text), (std::vector<std::string>{"第一章", "第二章"}));
  EXPECT_EQ(AllMatchTexts("第.章", text), (std::vector<std::string>{"第一章", "第二章"}));
  EXPECT_TRUE(AllMatchTexts("第..章", text).empty());
  EXPECT_EQ(AllMatchTexts("第[一二三四五六七八九十百千零]+章", "第十二章"),
            (std::vector<std::string>{"第十二章"}));
  EXPECT_EQ(AllMatchTexts("哈{2}", "哈哈哈哈哈"), (std::vector<std::string>{"哈哈", "哈哈"}));
  // 東 is 96 7C in the text: its second byte is no "|", and it matches only itself.
  ASSERT_EQ("東"_gbk, "\x96\x7C");
  EXPECT_EQ(AllMatchPositions("東", "a東b東"_gbk), (std::vector<int64_t>{1, 4}));
  EXPECT_TRUE(AllMatchPositions("東", "abc").empty());
  // Second bytes "^", "[", "]", "\", "{", "}" in the text, as in 頭 過 遊 錦 乕 乚 乗 亄 亇.
  const std::pair<const char*, const char*> second_bytes[] = {
      {"頭", "\xEE\x5E"}, {"過", "\xDF\x5E"}, {"遊", "\xDF\x5B"}, {"錦", "\xE5\x5C"},
      {"乕", "\x81\x5B"}, {"乚", "\x81\x5D"}, {"乗", "\x81\x5C"}, {"亄", "\x81\x7B"},
      {"亇", "\x81\x7D"}};
  for (const auto& [typed, gbk] : second_bytes) {
    ASSERT_EQ(testing::Gbk(typed), gbk) << typed;
    EXPECT_EQ(AllMatchPositions(typed, std::string("x") + gbk + "\x81\x40" + gbk),
              (std::vector<int64_t>{1, 5}))
        << typed;
  }
  // 日落 is C8 D5 C2 E4: its middle bytes are 章, which is no match.
  EXPECT_TRUE(AllMatchPositions("章", "日落"_gbk).empty());
  EXPECT_TRUE(AllMatchTexts("^第.{2,16}章", "第二日落时分，天色已晚。\n").empty());
  EXPECT_EQ(AllMatchTexts("^第.{2,16}章", "第二日落时分\n第三章 乙"),
            (std::vector<std::string>{"第二日落时分\n第三章"}));
  // A trail byte "\" is no match for "\\\\"; the ASCII one after it is.
  EXPECT_EQ(AllMatchPositions("\\\\", "\x81\x5C\\"), (std::vector<int64_t>{2}));
  // Bytes that do not decode match "." and negated classes, never a literal: not their own bytes
  // in the keyword, not U+FFFD, not the three-byte form of the value they are held as.
  EXPECT_EQ(AllMatchPositions(".", "\x80\x41z"), (std::vector<int64_t>{0, 2}));
  EXPECT_EQ(AllMatchPositions("[^z]", "\x80\x41z\xFF"), (std::vector<int64_t>{0, 3}));
  EXPECT_TRUE(AllMatchPositions("\x80\x41", "\x80\x41").empty());
  EXPECT_TRUE(AllMatchPositions("\x80", "\x80\x41").empty());
  EXPECT_TRUE(AllMatchPositions("\xEF\xBF\xBD", "\x80\x41\xFF").empty());
  EXPECT_TRUE(AllMatchPositions("\xED\xB2\x80|\xED\xB3\xBF", "\x80\x41\xFF").empty());
  EXPECT_TRUE(AllMatchTexts("abc", "ABC").empty());
  Pattern p;
  EXPECT_TRUE(RegexCompile(&p, "abc", false));
  EXPECT_EQ(RegexSearchAll(p, "xABC").size(), 1u);
  // A keyword character GBK lacks finds nothing in a GBK text, and the rest of the keyword
  // still finds what it names.
  EXPECT_TRUE(AllMatchPositions("😀", "a東b"_gbk).empty());
  EXPECT_TRUE(AllMatchPositions("한", "a東b"_gbk).empty());
  EXPECT_EQ(AllMatchPositions("😀|東", "a東b東"_gbk), (std::vector<int64_t>{1, 4}));
  EXPECT_EQ(AllMatchPositions("(?:𠀀)?東", "a東b東"_gbk), (std::vector<int64_t>{1, 4}));
}

TEST(RegexSearchAll, EveryCharacterOfGbkTypedAsUtf8FindsItself) {
  // A keyword of one character runs the quick search for the bytes of its first character: the
  // bytes it takes for that character must be the text's, for every character the search reads.
  const CharValue* table = GbkPairTable();
  int tried = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      const std::string pair = {static_cast<char>(lead), static_cast<char>(trail)};
      const CharValue value = GbkCharValue(pair.data(), pair.data() + 2, table);
      if (trail == 0x7F || (value >= kUndecodableBase && value < kUndecodableBase + 0x100)) continue;
      ++tried;
      const std::string typed = TypedFormOf(pair);
      // Behind a lead byte the pair's bytes are read out of step, and are no match there.
      const char lead_before = lead == 0xB0 ? '\xB1' : '\xB0';
      const std::string text = "a" + pair + lead_before + pair + "b" + pair;
      const std::vector<int64_t> found = AllMatchPositions(typed, text);
      ASSERT_EQ(found, (std::vector<int64_t>{1, 7})) << testing::HexBytes(pair) << " " << typed;
    }
  }
  EXPECT_GT(tried, 23000);
}

TEST(RegexSearchAll, CharacterClassesAreTheSameOnEverySystem) {
  // Chinese characters, kana, Greek, Cyrillic, pinyin and full-width letters are letters; their
  // punctuation is not; the ideographic space is a space; full-width digits are digits.
  for (const char* c : {"中", "文", "〇", "々", "あ", "ア", "α", "Ω", "Я", "ā", "ü", "Ａ", "ｚ", "Ⅳ"}) {
    EXPECT_EQ(AllMatchTexts("\\w", c), (std::vector<std::string>{c})) << c;
    EXPECT_EQ(AllMatchTexts("[[:alpha:]]", c), (std::vector<std::string>{c})) << c;
    EXPECT_TRUE(AllMatchTexts("\\W|\\s|\\d|[[:punct:]]", c).empty()) << c;
  }
  for (const char* c : {"，", "。", "、", "「", "》", "…", "—", "·", "①", "※", "￥", "§", "×"}) {
    EXPECT_TRUE(AllMatchTexts("\\w|\\s|\\d|[[:alpha:]]", c).empty()) << c;
    EXPECT_EQ(AllMatchTexts("[[:punct:]]", c), (std::vector<std::string>{c})) << c;
  }
  EXPECT_EQ(AllMatchTexts("\\s", "　"), (std::vector<std::string>{"　"}));
  EXPECT_EQ(AllMatchTexts("\\h", "　"), (std::vector<std::string>{"　"}));
  EXPECT_TRUE(AllMatchTexts("\\S|\\w", "　").empty());
  EXPECT_EQ(AllMatchTexts("第\\d+章", "第１２章 第12章 第十二章"),
            (std::vector<std::string>{"第１２章", "第12章"}));
  EXPECT_EQ(AllMatchTexts("[[:upper:]]+", "ΑαＡａЯя"), (std::vector<std::string>{"Α", "Ａ", "Я"}));
  // \b between a Chinese character and a letter is no boundary; punctuation and spaces are.
  EXPECT_EQ(AllMatchPositions("\\b", "中文abc 字，词。　天x_1"_gbk),
            (std::vector<int64_t>{0, 7, 8, 10, 12, 14, 18, 23}));
  EXPECT_EQ(AllMatchTexts("\\b\\w+\\b", "他说：“好x，2走。”"),
            (std::vector<std::string>{"他说", "好x", "2走"}));
  // Bytes that do not decode are no word characters and no space.
  EXPECT_EQ(AllMatchPositions("\\W", "\x80\x41" "a"), (std::vector<int64_t>{0}));
  EXPECT_EQ(AllMatchPositions("\\S", "\x80\x41"), (std::vector<int64_t>{0}));
}

TEST(RegexSearchAll, UserDefinedCharactersAreCharactersOnEverySystem) {
  // The three user-defined areas of GBK: a keyword of such a character (the private-use code
  // point Windows gives it, as a person would type it) finds it, on every system.
  const std::string text = "x\xAA\xA1\xAF\xFE\xF8\xA1\xFE\xFE\xA1\x40\xA7\xA0\xA1\x7E\xA1\x80";
  EXPECT_EQ(AllMatchPositions("\uE000", text), (std::vector<int64_t>{1}));
  EXPECT_EQ(AllMatchPositions("\uE4C5", text), (std::vector<int64_t>{7}));
  EXPECT_EQ(AllMatchPositions("\uE765", text), (std::vector<int64_t>{11}));
  EXPECT_EQ(AllMatchPositions("\uE505", text), (std::vector<int64_t>{15}));
  EXPECT_EQ(AllMatchPositions("\\x{E000}|\\x{E233}|\\x{E234}|\\x{E4C5}|\\x{E4C6}|\\x{E765}|\\x{E504}|\\x{E505}", text),
            (std::vector<int64_t>{1, 3, 5, 7, 9, 11, 13, 15}));
  EXPECT_EQ(AllMatchPositions("[[:punct:]]", text).size(), 8u);
  // Cells of the symbol rows that some converters leave undecoded: each is one character that a
  // keyword (typed as the program shows it) finds where it stands, and only there.
  const std::vector<std::string> cells = {"\xA2\xAB", "\xA2\xAC", "\xA6\xD9", "\xA8\xBF",
                                          "\xA9\x97", "\xD7\xFA", "\xFE\x50", "\xFE\x51"};
  std::string row = "x";
  for (const std::string& c : cells) row += c + "x";
  std::vector<std::string> typed;
  for (const std::string& c : cells) typed.push_back(TypedFormOf(c));
  for (size_t i = 0; i < cells.size(); ++i) {
    for (size_t j = 0; j < i; ++j) EXPECT_NE(typed[i], typed[j]) << i << " " << j;
    EXPECT_EQ(AllMatchPositions(typed[i], row), (std::vector<int64_t>{static_cast<int64_t>(1 + 3 * i)}))
        << i;
  }
  EXPECT_EQ(AllMatchPositions("x.x", row).size(), 4u);
}

TEST(RegexSearchAll, AnInvalidPatternSaysWhy) {
  Pattern p;
  EXPECT_FALSE(RegexCompile(&p, "(ab"));
  EXPECT_FALSE(p.valid());
  EXPECT_EQ(p.error().find("圆括号 ( ) 不成对（第 "), 0u) << p.error();
  EXPECT_TRUE(RegexSearchAll(p, "(ab").empty());
  EXPECT_FALSE(RegexCompile(&p, "第[章"));
  EXPECT_FALSE(p.error().empty());
  EXPECT_TRUE(RegexCompile(&p, "東"));  // typed as UTF-8: no byte of it is syntax
  EXPECT_TRUE(p.error().empty());
  EXPECT_TRUE(RegexCompile(&p, "😀{2}|[한국]"));  // characters GBK lacks are characters still
  EXPECT_TRUE(p.error().empty());
  EXPECT_FALSE(RegexCompile(&p, "[😀"));
  EXPECT_FALSE(p.error().empty());
  // The common mistakes are told in Chinese, with no English left in the reason.
  const struct {
    const char* pattern;
    const char* reason;
  } mistakes[] = {
      {"第[章", "方括号 [ ] 不成对"}, {"第(章", "圆括号 ( ) 不成对"},
      {"第)章", "圆括号 ( ) 不成对"}, {"*章", "重复符号"},
      {"[z-a]", "方括号中的字符范围或字符类无效"},
  };
  for (const auto& m : mistakes) {
    EXPECT_FALSE(RegexCompile(&p, m.pattern)) << m.pattern;
    EXPECT_EQ(p.error().find(m.reason), 0u) << m.pattern << ": " << p.error();
    EXPECT_EQ(p.error().find("Unmatched"), std::string::npos) << p.error();
  }
}

TEST(RegexSearchAll, AnchorsAndLookBehindSeeTheWholeText) {
  const std::string text = "第一\r\n第二\n第三"_gbk;
  EXPECT_EQ(AllMatchPositions("^第", text), (std::vector<int64_t>{0, 6, 11}));
  // "^" matches at line starts only, also right after a previous match.
  EXPECT_EQ(AllMatchPositions("^a", "aaa\naa"), (std::vector<int64_t>{0, 4}));
  // "^" after a lone CR matches, but not between CR and LF.
  EXPECT_EQ(AllMatchPositions("^x", "x\rx\r\nx"), (std::vector<int64_t>{0, 2, 5}));
  // "$" before CR LF but not between them.
  EXPECT_EQ(AllMatchPositions("b$", "ab\r\nab"), (std::vector<int64_t>{1, 5}));
  EXPECT_EQ(AllMatchPositions("\\r$", "a\r\nb\r"), (std::vector<int64_t>{4}));
  // Look-behind and \b see the character before the place the search goes on from.
  EXPECT_EQ(AllMatchPositions("(?<=甲)乙", "甲乙乙甲乙"_gbk), (std::vector<int64_t>{2, 8}));
  EXPECT_EQ(AllMatchPositions("(?<=日)落", "日落"_gbk), (std::vector<int64_t>{2}));
  EXPECT_EQ(AllMatchPositions("\\bb", "b bb"), (std::vector<int64_t>{0, 2}));
  EXPECT_EQ(AllMatchPositions("(?<!a)b", "abbab"), (std::vector<int64_t>{2}));
  Pattern p;
  RegexCompile(&p, "x");
  EXPECT_EQ(MatchPosition(RegexSearchAll(p, "xa")[0]), 0);
  EXPECT_TRUE(RegexSearchAll(p, "").empty());
}

TEST(RegexSearchAll, EveryEmptyMatchIsKeptOnce) {
  EXPECT_EQ(AllMatchPositions("^", "甲\r\n乙\n\n丙"_gbk), (std::vector<int64_t>{0, 4, 7, 8}));
  // No line follows a final line break.
  EXPECT_EQ(AllMatchPositions("^", "甲\n乙\n"_gbk), (std::vector<int64_t>{0, 3}));
  EXPECT_EQ(AllMatchPositions("$", "ab\ncd"), (std::vector<int64_t>{2, 5}));
  EXPECT_EQ(AllMatchPositions("^(?=第)", "第一\n正文\n第二"_gbk), (std::vector<int64_t>{0, 10}));
  EXPECT_EQ(AllMatchPositions("x*", "中x"_gbk), (std::vector<int64_t>{0, 2, 3}));
  EXPECT_EQ(AllMatchPositions("(?=b)", "中b中b"_gbk), (std::vector<int64_t>{2, 5}));
  EXPECT_EQ(AllMatchPositions("(?=a)|b", "中ab"_gbk), (std::vector<int64_t>{2, 3}));
}

TEST(RegexSearchAll, ManyMatchesCostNoAllocationEach) {
  // A keyword such as "^" matches on every line of a long text: the records of its matches are
  // kept in one array, not one heap block per match.
  const std::string line = "　甲\r\n"_gbk;
  std::string text;
  for (int i = 0; i < 20000; ++i) text += line;
  for (const char* keyword : {"^", "甲", "(甲)(\r)?", "\r\n"}) {
    Pattern p;
    ASSERT_TRUE(RegexCompile(&p, keyword));
    allocations = 0;
    counting = true;
    RegexSearchResult r = RegexSearchAll(p, text);
    counting = false;
    EXPECT_EQ(r.size(), 20000u) << keyword;
    EXPECT_LT(allocations.load(), 200) << keyword;
  }
}

TEST(RegexSearchAll, ReportsASearchTheLibraryAbandons) {
  Pattern p;
  ASSERT_TRUE(RegexCompile(&p, "(a*)*b"));
  std::string text(5000, 'a');
  RegexSearchResult r = RegexSearchAll(p, "b" + text);
  EXPECT_TRUE(r.cut_short);
  EXPECT_EQ(r.size(), 1u);  // the match before the library gave up is kept
}

TEST(RegexSearchAll, FindsOnlyTheRealCharactersInTheCorpus) {
  std::string path = testing::CorpusFile();
  ASSERT_FALSE(path.empty()) << "tests/data/novel_gbk.txt not found";
  std::string text;
  ASSERT_TRUE(testing::ReadFileBytes(path, &text));
  Pattern p;
  ASSERT_TRUE(RegexCompile(&p, "章"));
  RegexSearchResult r = RegexSearchAll(p, text);
  EXPECT_FALSE(r.cut_short);
  EXPECT_EQ(r.size(), 546u);
  int bytes = 0;
  for (int at = FindText(text, "\xD5\xC2"), from = 1; at != -1; at = FindText(text, "\xD5\xC2", from)) {
    ++bytes;
    from = at + 2;
  }
  EXPECT_EQ(bytes, 546);  // FindText steps over characters as well
  size_t raw = 0;
  for (size_t at = text.find("\xD5\xC2"); at != std::string::npos; at = text.find("\xD5\xC2", at + 1)) {
    ++raw;
  }
  EXPECT_EQ(raw, 568u);
  ASSERT_TRUE(RegexCompile(&p, "^第"));
  EXPECT_EQ(RegexSearchAll(p, text).size(), 28u);
}

}  // namespace
}  // namespace travik

namespace travik {
namespace {

std::vector<std::pair<int64_t, int64_t>> Spans(std::string_view pattern, std::string_view text,
                                               Encoding encoding) {
  Pattern p;
  EXPECT_TRUE(RegexCompile(&p, pattern)) << pattern;
  std::vector<std::pair<int64_t, int64_t>> out;
  for (const MatchRecord& m : RegexSearchAll(p, text, encoding).matches) {
    out.push_back({m.groups[0].start, m.groups[0].length});
  }
  return out;
}

// The GBK form's matches, moved to the bytes of the same characters in another encoding.
std::vector<std::pair<int64_t, int64_t>> Moved(const std::vector<std::pair<int64_t, int64_t>>& gbk,
                                               const std::string& text, Encoding encoding) {
  std::vector<std::pair<int64_t, int64_t>> out;
  for (auto [start, length] : gbk) {
    std::string before, match;
    EXPECT_TRUE(ConvertText(text.substr(0, start), Encoding::kGbk, encoding, &before));
    EXPECT_TRUE(ConvertText(text.substr(start, length), Encoding::kGbk, encoding, &match));
    out.push_back({static_cast<int64_t>(before.size()), static_cast<int64_t>(match.size())});
  }
  return out;
}

TEST(RegexSearchAllEncodings, FindsTheSameCharactersInEveryForm) {
  // Characters whose second GBK byte is "\" or "|" (東 96 7C, 乗 81 5C, 晐 95 7C, 閈 E9 5C),
  // headings, numbers and line breaks; the text is written in GBK, UTF-8 and GB18030.
  const std::vector<std::string> pieces = {"第", "一", "章", "東", "乗", "晐", "表", "閈", "a", "1",
                                           " ", "\r\n", "\n", "，", "\\", "|"};
  ASSERT_EQ(testing::Gbk("東乗晐閈"), "\x96\x7C\x81\x5C\x95\x7C\xE9\x5C");
  const char* const patterns[] = {"^第.{1,3}章", "東", "乗", "表", "\\\\", "\\|", ".章",
                                  "(?-s)第.+", "[^\r\n]+$", "^", "一|表", "(?<=第)一", "\\w+",
                                  "閈|😀", "😀?晐", "𠀀表"};
  std::mt19937 rng(1208);
  for (int round = 0; round < 1600; ++round) {
    std::string utf8;
    const size_t n = rng() % 40;
    for (size_t k = 0; k < n; ++k) utf8 += pieces[rng() % pieces.size()];
    const std::string gbk = testing::Gbk(utf8);
    const char* pattern = patterns[round % (sizeof patterns / sizeof patterns[0])];
    const auto in_gbk = Spans(pattern, gbk, Encoding::kGbk);
    Pattern compiled;
    ASSERT_TRUE(RegexCompile(&compiled, pattern));
    std::vector<std::pair<int64_t, int64_t>> by_default;
    for (const MatchRecord& m : RegexSearchAll(compiled, gbk).matches) {
      by_default.push_back({m.groups[0].start, m.groups[0].length});
    }
    ASSERT_EQ(in_gbk, by_default) << "the default is GBK; round " << round;
    for (Encoding e : {Encoding::kUtf8, Encoding::kGb18030}) {
      std::string text;
      ASSERT_TRUE(ConvertText(gbk, Encoding::kGbk, e, &text)) << round;
      ASSERT_EQ(Spans(pattern, text, e), Moved(in_gbk, gbk, e))
          << EncodingName(e) << " seed 1208 round " << round << " pattern " << pattern;
    }
  }
}

// The search by its steps over the whole text decoded at once: after a match the next search
// starts at its end, after an empty one a character later; no empty match at the end after a
// final line break. Offsets are mapped back to UTF-8 bytes.
std::vector<std::pair<int64_t, int64_t>> ModelUtf8Spans(const std::string& pattern,
                                                        const std::string& utf8) {
  std::vector<std::pair<int64_t, int64_t>> out;
  std::u32string cps;
  EXPECT_TRUE(DecodeText(utf8, Encoding::kUtf8, &cps));
  std::wstring wide;
  for (unsigned char c : pattern) wide += static_cast<wchar_t>(c);  // ASCII patterns only
  boost::basic_regex<char32_t, CodePointRegexTraits> re(
      std::u32string(wide.begin(), wide.end()), boost::regex::perl);
  std::vector<int64_t> offsets = {0};
  for (char32_t c : cps) {
    offsets.push_back(offsets.back() + (c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4));
  }
  size_t from = 0;
  while (!cps.empty() && from <= cps.size()) {
    boost::match_results<std::u32string::const_iterator> m;
    boost::match_flag_type flags = boost::match_default;
    if (from > 0) flags |= boost::match_prev_avail;
    if (!boost::regex_search(cps.cbegin() + from, cps.cend(), m, re, flags, cps.cbegin())) break;
    const size_t at = m[0].first - cps.cbegin(), end = m[0].second - cps.cbegin();
    if (at == end && end == cps.size() && (utf8.back() == '\n' || utf8.back() == '\r')) break;
    out.push_back({offsets[at], offsets[end] - offsets[at]});
    from = at == end ? end + 1 : end;
  }
  return out;
}

// Texts with characters GBK lacks: the UTF-8 form gives the model's matches, and the GB18030
// form the same characters.
TEST(RegexSearchAllEncodings, BeyondGbkUtf8FollowsTheModelAndGb18030Agrees) {
  const std::vector<std::string> pieces = {
      "\xF0\xA0\x80\x80", "\xF0\x9F\x98\x80", "\xE7\xAC\xAC", "\xE7\xAB\xA0",
      "\xE4\xB8\x80", "\xC3\xA9", "\xE2\x82\xAC", "a", "1", "\r\n", "\n", "\\", "|"};
  const char* const patterns[] = {"^.", ".$", "\\x{20000}.", "[^a\n]+", "(?<=\\x{1F600})..",
                                  "\\x{1F600}|a", "(?-s)^.{2,3}$", "\\W",
                                  "[\\x{10000}-\\x{10FFFF}]+"};
  std::mt19937 rng(1812);
  for (int round = 0; round < 1500; ++round) {
    std::string utf8;
    const size_t n = rng() % 30;
    for (size_t k = 0; k < n; ++k) utf8 += pieces[rng() % pieces.size()];
    std::string gb18030;
    ASSERT_TRUE(ConvertText(utf8, Encoding::kUtf8, Encoding::kGb18030, &gb18030));
    const char* pattern = patterns[round % (sizeof patterns / sizeof patterns[0])];
    ASSERT_EQ(Spans(pattern, utf8, Encoding::kUtf8), ModelUtf8Spans(pattern, utf8))
        << "seed 1812 round " << round << " pattern " << pattern;
    std::vector<std::pair<int64_t, int64_t>> moved;
    for (auto [start, length] : Spans(pattern, utf8, Encoding::kUtf8)) {
      std::string before, match;
      ASSERT_TRUE(ConvertText(utf8.substr(0, start), Encoding::kUtf8, Encoding::kGb18030, &before));
      ASSERT_TRUE(ConvertText(utf8.substr(start, length), Encoding::kUtf8, Encoding::kGb18030,
                              &match));
      moved.push_back({static_cast<int64_t>(before.size()), static_cast<int64_t>(match.size())});
    }
    ASSERT_EQ(Spans(pattern, gb18030, Encoding::kGb18030), moved)
        << "seed 1812 round " << round << " pattern " << pattern;
  }
}

TEST(RegexSearchAllEncodings, CharactersBeyondTheBmpAreOneCharacter) {
  std::string utf8 = "x\xF0\xA0\x80\x80y\xF0\x9F\x98\x80z\n";  // x𠀀y😀z
  std::string gb18030;
  ASSERT_TRUE(ConvertText(utf8, Encoding::kUtf8, Encoding::kGb18030, &gb18030));
  ASSERT_EQ(gb18030, "x\x95\x32\x82\x36y\x94\x39\xFC\x36z\n");
  for (Encoding e : {Encoding::kGb18030, Encoding::kUtf8}) {
    const std::string& t = e == Encoding::kUtf8 ? utf8 : gb18030;
    using Spans_ = std::vector<std::pair<int64_t, int64_t>>;
    EXPECT_EQ(Spans("x.y", t, e), (Spans_{{0, 6}})) << EncodingName(e);
    EXPECT_EQ(Spans("y.z", t, e), (Spans_{{5, 6}})) << EncodingName(e);
    EXPECT_EQ(Spans("\\x{20000}", t, e), (Spans_{{1, 4}})) << EncodingName(e);
    EXPECT_EQ(Spans("\\x{1F600}", t, e), (Spans_{{6, 4}})) << EncodingName(e);
    EXPECT_EQ(Spans("[\\x{20000}-\\x{2A6DF}]", t, e), (Spans_{{1, 4}})) << EncodingName(e);
    EXPECT_EQ(Spans(".", t, e).size(), 6u) << EncodingName(e);  // "." takes line breaks too
    EXPECT_EQ(Spans("[^xyz\n]", t, e), (Spans_{{1, 4}, {6, 4}})) << EncodingName(e);
    EXPECT_TRUE(Spans("x..y", t, e).empty()) << EncodingName(e);
    EXPECT_TRUE(Spans("\\x{D840}", t, e).empty()) << EncodingName(e);  // no half of one
    EXPECT_EQ(Spans("(?<=\\x{1F600})z", t, e), (Spans_{{10, 1}})) << EncodingName(e);
    // Typed as they come from the command line or the window: UTF-8.
    EXPECT_EQ(Spans("𠀀", t, e), (Spans_{{1, 4}})) << EncodingName(e);
    EXPECT_EQ(Spans("y😀", t, e), (Spans_{{5, 5}})) << EncodingName(e);
    EXPECT_EQ(Spans("[😀𠀀]", t, e), (Spans_{{1, 4}, {6, 4}})) << EncodingName(e);
    EXPECT_EQ(Spans("𠀀?y", t, e), (Spans_{{1, 5}})) << EncodingName(e);
    EXPECT_EQ(Spans("😀z\n", t, e), (Spans_{{6, 6}})) << EncodingName(e);
    EXPECT_TRUE(Spans("𠀁", t, e).empty()) << EncodingName(e);  // U+20001, GB18030 95 32 82 37
    // The GB18030 bytes of such a character where UTF-8 is expected are no character at all.
    EXPECT_TRUE(Spans("\x95\x32\x82\x36", t, e).empty()) << EncodingName(e);
    EXPECT_TRUE(Spans("y\x94\x39\xFC\x36", t, e).empty()) << EncodingName(e);
  }
  // GBK holds no such character: the typed form finds nothing, not its bytes' look-alikes.
  EXPECT_TRUE(Spans("𠀀", "\x95\x32\x82\x36", Encoding::kGbk).empty());
  EXPECT_TRUE(Spans("😀", "\x94\x39\xFC\x36", Encoding::kGbk).empty());
  EXPECT_TRUE(Spans("😀", "\xF0\x9F\x98\x80", Encoding::kGbk).empty());
  EXPECT_TRUE(Spans("中", "\xE4\xB8\xAD", Encoding::kGbk).empty());  // 中 in UTF-8 bytes
  EXPECT_EQ(Spans("中", std::string("\xE4\xB8\xAD\xE4") + "中"_gbk, Encoding::kGbk),
            (std::vector<std::pair<int64_t, int64_t>>{{4, 2}}));
  // Such a pattern is valid everywhere, and finds nothing in GBK, which holds no such character.
  EXPECT_TRUE(Spans("\\x{20000}|a", "a\xB5\xDA", Encoding::kGbk).size() == 1u);
  // A pattern byte that does not decode matches nothing, not even U+FFFF.
  EXPECT_TRUE(Spans("\x80\x41", "\xEF\xBF\xBF\x80\x41", Encoding::kUtf8).empty());
  // Bytes that begin no character match "." one by one.
  EXPECT_EQ(Spans(".", "\xE7\xAC" "a", Encoding::kUtf8).size(), 3u);
  Pattern p;
  ASSERT_TRUE(RegexCompile(&p, "ABC", false));
  EXPECT_EQ(RegexSearchAll(p, "x\xF0\x9F\x98\x80" "abc", Encoding::kUtf8)[0].groups[0].start, 5);
  EXPECT_TRUE(RegexSearchAll(p, "abc", Encoding::kUtf16Le).empty());
}

// Lines end where they end in GBK (at \n, \r and \f) in every encoding: U+0085, U+2028 and
// U+2029, which GBK lacks, end none, nor do the characters beyond the BMP that share their low
// 16 bits (U+20085 𠂅, U+22028, U+12029).
TEST(RegexSearchAllEncodings, LinesEndWhereTheyEndInGbk) {
  const std::string nel = "\xC2\x85", ls = "\xE2\x80\xA8", ps = "\xE2\x80\xA9";
  const std::string far[] = {"\xF0\xA0\x82\x85", "\xF0\xA2\x80\xA8", "\xF0\x92\x80\xA9"};
  std::string utf8 = "a";
  for (const std::string& c : {nel, ls, ps, far[0], far[1], far[2]}) utf8 += c + "b";
  utf8 += "\nb\rb\fb";
  std::string gb18030;
  ASSERT_TRUE(ConvertText(utf8, Encoding::kUtf8, Encoding::kGb18030, &gb18030));
  for (Encoding e : {Encoding::kUtf8, Encoding::kGb18030}) {
    const std::string& t = e == Encoding::kUtf8 ? utf8 : gb18030;
    std::vector<int64_t> after_breaks;
    for (size_t i = 1; i < t.size(); ++i) {
      if (t[i - 1] == '\n' || t[i - 1] == '\r' || t[i - 1] == '\f') after_breaks.push_back(i);
    }
    ASSERT_EQ(after_breaks.size(), 3u);
    std::vector<int64_t> starts;
    for (const auto& span : Spans("^b", t, e)) starts.push_back(span.first);
    EXPECT_EQ(starts, after_breaks) << EncodingName(e);
    std::vector<int64_t> ends;
    for (const auto& span : Spans("b$", t, e)) ends.push_back(span.first + 1);
    EXPECT_EQ(ends, (std::vector<int64_t>{after_breaks[0] - 1, after_breaks[1] - 1,
                                          after_breaks[2] - 1, static_cast<int64_t>(t.size())}))
        << EncodingName(e);
  }
}

}  // namespace
}  // namespace travik
