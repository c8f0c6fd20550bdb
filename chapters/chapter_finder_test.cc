#include "chapters/chapter_finder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "text/codepage.h"
#include "files/files.h"
#include "tests/test_util.h"

namespace travik::chapters {
namespace {

using testing::Gbk;
using testing::operator""_gbk;

// A GBK text from lines (written as UTF-8 literals), CR LF after each.
std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += Gbk(line) + "\r\n";
  return text;
}

// A chapter's body in GBK: `n` lines of ordinary prose.
std::string Body(int n) {
  const std::string line = "　　他沿着河岸走了很久，直到天色暗下来，才在一座小桥边停住。\r\n"_gbk;
  std::string body;
  for (int i = 0; i < n; ++i) body += line;
  return body;
}

std::vector<std::string> Titles(const ChapterList& list) {
  std::vector<std::string> titles;
  for (const Heading& h : list.headings) titles.push_back(h.title);
  return titles;
}

std::vector<int64_t> Numbers(const ChapterList& list) {
  std::vector<int64_t> numbers;
  for (const Heading& h : list.headings) numbers.push_back(h.number.value_or(-1));
  return numbers;
}

std::vector<WarningKind> Kinds(const ChapterList& list) {
  std::vector<WarningKind> kinds;
  for (const Warning& w : list.warnings) kinds.push_back(w.kind);
  return kinds;
}

TEST(ChapterFinder, FindsTheChaptersAndPassesOverProseThatLooksLikeThem) {
  std::string text = Lines({"书名：河", "作者：某人", ""}) + Lines({"序章 远行"}) + Body(10) +
                     Lines({"第一章 出发"}) + Body(10) +
                     Lines({"　　第三天早上，他出门了。", "第一封信是寄给母亲的"}) + Body(9) +
                     Lines({"　　第二章　小桥"}) + Body(10) +
                     Lines({"　　他翻到第五章，读了起来。", "第五本书记载了这件事"}) + Body(9) +
                     Lines({"第三章：夜雨"}) + Body(10) +
                     Lines({"第四章 淺東億"}) + Body(10) +  // second bytes 0x5C and 0x7C
                     Lines({"第五章 他走了很远很远，一直走到了天边。"}) + Body(10) +
                     Lines({"第五章 2019年的夏天"}) + Body(10) + Lines({"尾声"}) + Body(3);
  ChapterList list = FindChapters(text);
  EXPECT_EQ(Titles(list),
            (std::vector<std::string>{"序章 远行", "第一章 出发", "第二章　小桥", "第三章：夜雨",
                                      "第四章 淺東億", "第五章 2019年的夏天", "尾声"}));
  EXPECT_EQ(Numbers(list), (std::vector<int64_t>{-1, 1, 2, 3, 4, 5, -1}));
  EXPECT_EQ(list.headings[0].kind, HeadingKind::kExtra);
  EXPECT_EQ(list.headings[1].kind, HeadingKind::kChapter);
  EXPECT_EQ(list.headings[0].line, 4);
  // Offsets are the starts of the heading lines, leading spaces and all; sizes run to the next.
  EXPECT_EQ(text.compare(static_cast<size_t>(list.headings[2].offset), 6, "　　第"_gbk), 0);
  int64_t total = 0;
  for (size_t i = 0; i < list.headings.size(); ++i) {
    const Heading& h = list.headings[i];
    EXPECT_EQ(h.offset == 0 || text[static_cast<size_t>(h.offset) - 1] == '\n', true);
    int64_t next = i + 1 < list.headings.size() ? list.headings[i + 1].offset
                                                : static_cast<int64_t>(text.size());
    EXPECT_EQ(h.bytes, next - h.offset);
    total += h.bytes;
  }
  EXPECT_EQ(total, static_cast<int64_t>(text.size()) - list.headings[0].offset);
  EXPECT_EQ(list.presets & kPresetChapter, static_cast<PresetSet>(kPresetChapter));
  EXPECT_EQ(list.pattern.rfind("preset:", 0), 0u);
  EXPECT_TRUE(list.warnings.empty()) << WarningKindName(list.warnings[0].kind) << " "
                                     << list.warnings[0].line;
}

TEST(ChapterFinder, ReportsGapsRepeatsAndFalls) {
  std::string text = Lines({"第一章 甲"}) + Body(5) + Lines({"第二章 乙"}) + Body(5) +
                     Lines({"第四章 丁"}) + Body(5) + Lines({"第四章 丁"}) + Body(5) +
                     Lines({"第五章 戊"}) + Body(5) + Lines({"第六章 己"}) + Body(5) +
                     Lines({"第一章 又一个开头"}) + Body(5) + Lines({"第二章 再一个"}) + Body(5);
  ChapterList list = FindChapters(text);
  EXPECT_EQ(Numbers(list), (std::vector<int64_t>{1, 2, 4, 4, 5, 6, 1, 2}));
  EXPECT_EQ(Kinds(list),
            (std::vector<WarningKind>{WarningKind::kGap, WarningKind::kRepeat, WarningKind::kBack}));
  EXPECT_EQ(list.warnings[0].line, list.headings[2].line);
  EXPECT_EQ(list.warnings[1].line, list.headings[3].line);
  EXPECT_EQ(list.warnings[2].line, list.headings[6].line);
  EXPECT_FALSE(list.warnings[0].text.empty());
}

TEST(ChapterFinder, VolumesRestartOrContinueTheNumbers) {
  std::string restart = Lines({"第一卷 春"}) + Lines({"第一章 甲"}) + Body(5) +
                        Lines({"第二章 乙"}) + Body(5) + Lines({"第二卷 夏"}) +
                        Lines({"第一章 丙"}) + Body(5) + Lines({"第二章 丁"}) + Body(5);
  ChapterList list = FindChapters(restart);
  EXPECT_EQ(Numbers(list), (std::vector<int64_t>{1, 1, 2, 2, 1, 2}));
  EXPECT_EQ(list.headings[3].kind, HeadingKind::kVolume);
  EXPECT_TRUE(list.presets & kPresetVolume);
  EXPECT_TRUE(list.warnings.empty()) << WarningKindName(list.warnings[0].kind);

  std::string carry_on = Lines({"第一卷 春"}) + Lines({"第一章 甲"}) + Body(5) +
                         Lines({"第二章 乙"}) + Body(5) + Lines({"第二卷 夏"}) +
                         Lines({"第三章 丙"}) + Body(5) + Lines({"第四章 丁"}) + Body(5);
  list = FindChapters(carry_on);
  EXPECT_EQ(Numbers(list), (std::vector<int64_t>{1, 1, 2, 2, 3, 4}));
  EXPECT_TRUE(list.warnings.empty()) << WarningKindName(list.warnings[0].kind);

  // A restart followed by a gap: the volume heading explains the restart, and the chapter that
  // restarts is not dropped as a stray between 2 and 3.
  std::string restart_then_gap = Lines({"第一卷 春", "第一章 甲"}) + Body(30) +
                                 Lines({"第二章 乙"}) + Body(30) + Lines({"第二卷 夏"}) +
                                 Lines({"第一章 丙"}) + Body(30) + Lines({"第三章 丁"}) + Body(28);
  list = FindChapters(restart_then_gap);
  EXPECT_EQ(Numbers(list), (std::vector<int64_t>{1, 1, 2, 2, 1, 3}));
  EXPECT_EQ(Kinds(list), (std::vector<WarningKind>{WarningKind::kGap}));

  // The volumes are checked among themselves too.
  std::string volume_gap = Lines({"第一卷 春", "第一章 甲"}) + Body(5) +
                           Lines({"第三卷 秋", "第一章 乙"}) + Body(5);
  list = FindChapters(volume_gap);
  EXPECT_EQ(Kinds(list), (std::vector<WarningKind>{WarningKind::kGap}));
  EXPECT_EQ(list.warnings[0].line, 8);
}

TEST(ChapterFinder, DropsAStrayHeadingWhenChoosingOnItsOwn) {
  std::string text = Lines({"第一章 甲"}) + Body(5) + Lines({"第二章 乙"}) + Body(2) +
                     Lines({"第七章 回忆"}) + Body(2) + Lines({"第三章 丙"}) + Body(5) +
                     Lines({"第四章 丁"}) + Body(5);
  ChapterList list = FindChapters(text);
  EXPECT_EQ(Numbers(list), (std::vector<int64_t>{1, 2, 3, 4}));
  EXPECT_TRUE(list.warnings.empty());
  // A chapter uploaded again after the next one is no stray: it stays, and the checks show it.
  std::string again = Lines({"第一章 甲"}) + Body(5) + Lines({"第二章 乙"}) + Body(5) +
                      Lines({"第三章 丙"}) + Body(5) + Lines({"第二章 乙"}) + Body(5) +
                      Lines({"第四章 丁"}) + Body(5);
  list = FindChapters(again);
  EXPECT_EQ(Numbers(list), (std::vector<int64_t>{1, 2, 3, 2, 4}));
  EXPECT_FALSE(list.warnings.empty());
  // Asked for by name, the preset keeps every heading it reads, and the checks say what is odd.
  FinderOptions named;
  named.presets = kPresetChapter;
  list = FindChapters(text, named);
  EXPECT_EQ(Numbers(list), (std::vector<int64_t>{1, 2, 7, 3, 4}));
  EXPECT_EQ(Kinds(list), (std::vector<WarningKind>{WarningKind::kGap, WarningKind::kBack}));
}

TEST(ChapterFinder, AHeadingWithACommaCountsOnlyWhereTheNumbersRunThroughIt) {
  std::string text = Lines({"第一章 甲"}) + Body(5) + Lines({"第二章 诗三章，章八句"}) + Body(5) +
                     Lines({"第五章 他说，我们走吧"}) + Body(2) + Lines({"第三章 丙"}) + Body(5) +
                     Lines({"第四章 丁"}) + Body(5);
  for (PresetSet presets : {0u, static_cast<unsigned>(kPresetChapter)}) {
    FinderOptions options;
    options.presets = presets;
    ChapterList list = FindChapters(text, options);
    EXPECT_EQ(Numbers(list), (std::vector<int64_t>{1, 2, 3, 4})) << presets;
    EXPECT_TRUE(list.warnings.empty()) << presets;
  }
}

TEST(ChapterFinder, ChoosesTheFormThatNumbersConsistently) {
  std::string english = Lines({"Chapter 1", "It was cold.", "Chapter 2: Rain", "It rained.",
                               "Chapter 3", "It cleared."});
  ChapterList list = FindChapters(english);
  EXPECT_EQ(list.presets & ~kPresetExtra, static_cast<PresetSet>(kPresetEnglish));
  EXPECT_EQ(Numbers(list), (std::vector<int64_t>{1, 2, 3}));

  // Numbered lines win over a lone 第X章 mentioned as a line of its own.
  std::string numbered = Lines({"001 出发"}) + Body(4) + Lines({"002 小桥"}) + Body(4) +
                         Lines({"第九章"}) + Body(1) + Lines({"003 夜雨"}) + Body(4) +
                         Lines({"004 归来"}) + Body(4);
  list = FindChapters(numbered);
  EXPECT_EQ(list.presets & ~kPresetExtra, static_cast<PresetSet>(kPresetNumbered));
  EXPECT_EQ(Numbers(list), (std::vector<int64_t>{1, 2, 3, 4}));

  // A short novel whose chapter holds a longer numbered list, or lines that begin with years:
  // those lines run in step too, but the chapters carry the text.
  std::string rules = Lines({"　　门上贴着一张纸："});
  std::string years;
  for (int i = 1; i <= 10; ++i) {
    rules += Lines({std::to_string(i) + "、不许在院子里大声喧哗"});
    years += Lines({std::to_string(1990 + i) + " 年的夏天"}) + Body(1);
  }
  for (const std::string& inner : {rules, years}) {
    for (bool at_start : {false, true}) {
      std::string novel = Lines({"第一章 开始"}) + (at_start ? inner : "") + Body(20) +
                          Lines({"第二章 规矩"}) + (at_start ? "" : inner) + Body(20) +
                          Lines({"第三章 结束"}) + Body(20) + Lines({"第四章 归来"}) + Body(20);
      list = FindChapters(novel);
      EXPECT_EQ(list.presets & ~kPresetExtra, static_cast<PresetSet>(kPresetChapter)) << at_start;
      EXPECT_EQ(Numbers(list), (std::vector<int64_t>{1, 2, 3, 4})) << at_start;
    }
  }
}

TEST(ChapterFinder, SaysSoWhenThereIsNoHeadingOrAChapterIsOddInSize) {
  ChapterList none = FindChapters(Body(20));
  EXPECT_TRUE(none.headings.empty());
  EXPECT_EQ(Kinds(none), (std::vector<WarningKind>{WarningKind::kNone}));
  EXPECT_TRUE(FindChapters("").headings.empty());

  std::string sizes = Lines({"第一章 甲"}) + Body(40) + Lines({"第二章 乙"}) + Body(40) +
                      Lines({"第三章 丙"}) + Lines({"第四章 丁"}) + Body(40) +
                      Lines({"第五章 戊"}) + Body(1000) + Lines({"第六章 己"}) + Body(40);
  ChapterList list = FindChapters(sizes);
  EXPECT_EQ(Numbers(list), (std::vector<int64_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(Kinds(list), (std::vector<WarningKind>{WarningKind::kShort, WarningKind::kLong}));
  EXPECT_EQ(list.warnings[0].line, list.headings[2].line);
  EXPECT_EQ(list.warnings[1].line, list.headings[4].line);
}

TEST(ChapterFinder, APatternAloneCutsAndTheChecksStillRun) {
  std::string text = Lines({"前言"}) + Lines({"第一章 甲"}) + Body(3) + Lines({"第二章 乙"}) +
                     Body(3) + Lines({"第四章 丁"}) + Body(3);
  FinderOptions options;
  options.pattern = "^第";
  ChapterList list = FindChapters(text, options);
  EXPECT_EQ(list.pattern, "^第");
  EXPECT_EQ(list.presets, 0u);
  EXPECT_EQ(Titles(list), (std::vector<std::string>{"第一章 甲", "第二章 乙", "第四章 丁"}));
  EXPECT_EQ(Numbers(list), (std::vector<int64_t>{1, 2, 4}));
  EXPECT_EQ(list.headings[0].line, 2);
  EXPECT_EQ(Kinds(list), (std::vector<WarningKind>{WarningKind::kGap}));

  // A match inside a line cuts there; its title is the whole line.
  options.pattern = "章";
  list = FindChapters(Lines({"abc", "第一章 甲"}), options);
  ASSERT_EQ(list.headings.size(), 1u);
  EXPECT_EQ(list.headings[0].offset, 9);
  EXPECT_EQ(list.headings[0].title, "第一章 甲");
  EXPECT_EQ(list.headings[0].line, 2);

  options.pattern = "(第";
  list = FindChapters(text, options);
  EXPECT_FALSE(list.pattern_valid);
  EXPECT_TRUE(list.headings.empty());
}

// A chapter number as novels write it, in Chinese numerals below a hundred or in digits.
std::string ChapterNumber(int n, bool chinese) {
  static const char* const kDigits[] = {"零", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
  if (!chinese || n >= 100) return std::to_string(n);
  if (n < 10) return kDigits[n];
  return std::string(n >= 20 ? kDigits[n / 10] : "") + "十" + (n % 10 ? kDigits[n % 10] : "");
}

// Ordinary novels made at random: a preamble, volumes that restart or continue the numbering (or
// none), chapters of varied size in one heading style, now and then a missing chapter, and in the
// chapters' text the lines that look like headings (prose that begins with 第, a mid-line 第五章,
// a numbered list, lines that begin with years). The finder, choosing on its own, lists every
// real heading and nothing else.
TEST(ChapterFinder, FindsEveryRealHeadingOfOrdinaryNovels) {
  const std::string traps[] = {"　　第三天早上，他出门了。", "第一封信是寄给母亲的",
                               "第五本书记载了这件事", "　　他翻到第五章，读了起来。",
                               "第二部分", "第一次见面是在桥上"};
  for (unsigned seed = 1; seed <= 300; ++seed) {
    std::mt19937 rng(seed);
    std::string text = Lines({"书名：河", "作者：某人", ""});
    std::vector<int64_t> offsets;
    const int volumes = static_cast<int>(rng() % 4);
    const bool restart = rng() % 2;
    const bool chinese = rng() % 2;
    const char* const styles[] = {"第%s章 题", "　　第%s章：题", "第%s章"};
    const char* style = styles[rng() % 3];
    int number = 0;
    for (int v = 0; v < std::max(volumes, 1); ++v) {
      if (volumes > 0) {
        offsets.push_back(static_cast<int64_t>(text.size()));
        text += Lines({"第" + ChapterNumber(v + 1, true) + "卷 卷名"});
        if (restart) number = 0;
      }
      const int chapters = 3 + static_cast<int>(rng() % 25);
      for (int c = 0; c < chapters; ++c) {
        number += (rng() % 20 == 0) ? 2 : 1;  // now and then a chapter is missing
        offsets.push_back(static_cast<int64_t>(text.size()));
        std::string heading = style;
        heading.replace(heading.find("%s"), 2, ChapterNumber(number, chinese));
        text += Lines({heading});
        const int lines = 10 + static_cast<int>(rng() % 40);
        for (int l = 0; l < lines; ++l) {
          const unsigned what = rng() % 40;
          if (what == 0) {
            text += Lines({traps[rng() % std::size(traps)]});
          } else if (what == 1) {
            for (int i = 1; i <= 3 + static_cast<int>(rng() % 10); ++i) {
              text += Lines({std::to_string(i) + "、不许在院子里大声喧哗"});
            }
          } else if (what == 2) {
            text += Lines({std::to_string(1990 + rng() % 30) + " 年的夏天"});
          } else {
            text += Body(1);
          }
        }
      }
    }
    ChapterList list = FindChapters(text);
    std::vector<int64_t> found;
    for (const Heading& h : list.headings) found.push_back(h.offset);
    ASSERT_EQ(found, offsets) << "seed " << seed << ", " << volumes << " volumes, restart "
                              << restart << ", style " << style;
  }
}

// On any text the headings are in order, start lines, lie inside the text and their pieces cover
// it from the first heading on.
TEST(ChapterFinder, HeadingsCoverTheTextOnRandomInput) {
  std::mt19937 rng(20261207);
  const std::string snippets[] = {"第一章 甲\r\n", "第二章\r\n", "第十卷 乙\n", "　　第三章 丙\r\n",
                                  "序章\r\n",       "12、题\n",   "Chapter 4\r\n", "第五章 东。\r\n"};
  for (int round = 0; round < 500; ++round) {
    std::string text;
    int parts = static_cast<int>(rng() % 30);
    for (int i = 0; i < parts; ++i) {
      if (rng() % 3 == 0) {
        text += Gbk(snippets[rng() % std::size(snippets)]);
      } else {
        text += testing::RandomGbkText(rng, 40);
      }
    }
    ChapterList list = FindChapters(text);
    int64_t covered = 0;
    for (size_t i = 0; i < list.headings.size(); ++i) {
      const Heading& h = list.headings[i];
      ASSERT_GE(h.offset, 0) << "round " << round;
      ASSERT_LT(h.offset, static_cast<int64_t>(text.size())) << "round " << round;
      ASSERT_TRUE(h.offset == 0 || text[static_cast<size_t>(h.offset) - 1] == '\n') << round;
      if (i > 0) {
        ASSERT_GT(h.offset, list.headings[i - 1].offset) << "round " << round;
      }
      covered += h.bytes;
    }
    if (!list.headings.empty()) {
      ASSERT_EQ(covered, static_cast<int64_t>(text.size()) - list.headings[0].offset) << round;
    } else {
      ASSERT_EQ(Kinds(list), (std::vector<WarningKind>{WarningKind::kNone})) << round;
    }
  }
}

// A file's headings, read in blocks of any size, are those of its text read whole, also when the
// reading rules have a say (a 0x1A kept, padding left out, a lone lead byte at the end), and a
// file with a 0x00 inside is refused either way.
TEST(ChapterFinder, AFileReadInBlocksGivesTheHeadingsOfItsWholeText) {
  std::mt19937 rng(777);
  testing::ScopedTempDir dir;
  const std::string path = dir.Join("novel.txt");
  const std::string snippets[] = {"第一章 甲\r\n", "第二章\r\n", "第二卷 乙\n", "　　第三章 丙\r\n",
                                  "楔子\r\n", "第五章 东，走\r\n", "　　均纪实也。 第四章\r\n",
                                  "一、标题\r\n", "标题（2）\r\n", "【第六章】风\r\n", "01\r\n",
                                  "98：95\r\n", "\x1A", std::string(1, '\0')};
  for (int round = 0; round < 300; ++round) {
    std::string text;
    for (int i = static_cast<int>(rng() % 25); i > 0; --i) {
      text += rng() % 2 ? Gbk(snippets[rng() % (round % 3 == 0 ? 14 : 12)])
                        : testing::RandomGbkText(rng, 30);
    }
    text = testing::ValidGbkText(text);  // read as GBK given, which refuses any other text
    if (round % 5 == 0) text += "\xB5";  // a lone lead byte at the end
    ASSERT_TRUE(testing::WriteFileBytes(path, text));
    // GBK as given: random bytes with zeros among them could look like another encoding.
    const SourceText whole = LoadSourceText(path, {}, EncodingChoice::kGbk);
    if (!whole.ok) {
      ASSERT_NE(text.find('\0'), std::string::npos) << round;
      FinderOptions options;
      options.choice = EncodingChoice::kGbk;
      for (size_t block : {size_t{1}, size_t{64}, size_t{1} << 20}) {
        const FileChapters file = FindChaptersInFile(path, options, block);
        EXPECT_FALSE(file.ok) << round;
        EXPECT_EQ(file.error, whole.error) << round;
      }
      continue;
    }
    for (unsigned presets : {0u, static_cast<unsigned>(kPresetChapter)}) {
      FinderOptions options;
      options.presets = presets;
      options.choice = EncodingChoice::kGbk;
      const ChapterList expected = FindChapters(whole.text, options);
      for (size_t block : {size_t{1}, size_t{7}, size_t{64}, size_t{1} << 20}) {
        const FileChapters file = FindChaptersInFile(path, options, block);
        ASSERT_TRUE(file.ok) << round;
        EXPECT_EQ(file.cut_short, whole.cut_short) << round;
        ASSERT_EQ(file.list.headings.size(), expected.headings.size()) << round << " " << block;
        for (size_t i = 0; i < expected.headings.size(); ++i) {
          const Heading& a = file.list.headings[i];
          const Heading& b = expected.headings[i];
          ASSERT_EQ(std::tie(a.line, a.offset, a.title, a.title_offset, a.number, a.bytes),
                    std::tie(b.line, b.offset, b.title, b.title_offset, b.number, b.bytes))
              << "round " << round << " block " << block << " heading " << i;
        }
        EXPECT_EQ(file.list.warnings.size(), expected.warnings.size()) << round;
        EXPECT_EQ(file.list.pattern, expected.pattern) << round;
        EXPECT_EQ(file.list.form, expected.form) << round;
      }
    }
  }
  EXPECT_FALSE(FindChaptersInFile(dir.Join("missing.txt")).ok);
}

}  // namespace
}  // namespace travik::chapters

namespace travik::chapters {
namespace {

// The text in another encoding (GBK, GB18030 or UTF-8), with a UTF-8 byte-order mark when asked.
std::string InForm(std::string_view gbk, Encoding encoding, bool mark = false) {
  std::string out;
  EXPECT_TRUE(ConvertText(gbk, Encoding::kGbk, encoding, &out));
  return mark ? "\xEF\xBB\xBF" + out : out;
}

// What must be alike in every form of a text: each heading's line, title, number and kind.
using Seen = std::tuple<int64_t, std::string, std::optional<int64_t>, HeadingKind>;
std::vector<Seen> SeenOf(const ChapterList& list) {
  std::vector<Seen> seen;
  for (const Heading& h : list.headings) seen.emplace_back(h.line, h.title, h.number, h.kind);
  return seen;
}

// Offsets that are each form's own: every cut lies on a character start, at the start of its
// line (or, with a pattern, where its match is), at the place of the GBK form's cut; the sizes
// cover the text; each title lies at its title_offset in the form's bytes.
void ExpectOwnOffsets(std::string_view gbk, const ChapterList& in_gbk, std::string_view text,
                      Encoding encoding, const ChapterList& list, const std::string& what) {
  const size_t mark = ByteOrderMarkLength(text, encoding);
  ASSERT_EQ(list.headings.size(), in_gbk.headings.size()) << what;
  CharCursor cursor(text, encoding, mark);
  int64_t covered = 0;
  size_t gbk_at = 0, at = mark;  // the same place in the GBK form and in this one
  for (size_t i = 0; i < list.headings.size(); ++i) {
    const Heading& h = list.headings[i];
    const Heading& g = in_gbk.headings[i];
    // The GBK form's bytes before the cut are the same characters as this form's.
    const size_t gbk_cut = static_cast<size_t>(g.offset);
    at += InForm(gbk.substr(gbk_at, gbk_cut - gbk_at), encoding).size();
    gbk_at = gbk_cut;
    const size_t expected = g.offset == 0 ? 0 : at;
    EXPECT_EQ(h.offset, static_cast<int64_t>(expected)) << what << " heading " << i;
    if (h.offset > 0) {
      EXPECT_TRUE(cursor.IsCharStart(static_cast<size_t>(h.offset))) << what << " heading " << i;
    }
    std::string title;
    ASSERT_TRUE(ConvertTypedText(h.title, encoding, &title)) << what << " heading " << i;
    EXPECT_EQ(text.substr(static_cast<size_t>(h.title_offset), title.size()), title)
        << what << " heading " << i;
    covered += h.bytes;
  }
  if (!list.headings.empty()) {
    EXPECT_EQ(covered, static_cast<int64_t>(text.size()) - list.headings[0].offset) << what;
  }
}

// The repository's sample in GBK, UTF-8 with and without a mark, and GB18030: the same headings,
// found by the forms chosen automatically, by a named form, and by a pattern.
TEST(ChapterFinderEncodings, EveryFormOfTheSampleGivesTheSameHeadings) {
  std::string gbk;
  ASSERT_TRUE(testing::ReadFileBytes(testing::CorpusFile(), &gbk)) << "tests/data/novel_gbk.txt";
  struct Form {
    const char* name;
    Encoding encoding;
    bool mark;
  };
  const Form forms[] = {{"UTF-8", Encoding::kUtf8, false},
                        {"UTF-8 with a mark", Encoding::kUtf8, true},
                        {"GB18030", Encoding::kGb18030, false}};
  for (const char* pattern : {"", "^第.{1,9}章", "章"}) {
    for (PresetSet presets : {0u, static_cast<unsigned>(kPresetChapter)}) {
      if (*pattern && presets) continue;
      FinderOptions options;
      options.pattern = pattern;
      options.presets = presets;
      const ChapterList in_gbk = FindChapters(gbk, options);
      ASSERT_GT(in_gbk.headings.size(), 20u) << pattern;
      for (const Form& form : forms) {
        const std::string text = InForm(gbk, form.encoding, form.mark);
        options.encoding = form.encoding;
        const ChapterList list = FindChapters(text, options);
        const std::string what = std::string(form.name) + " pattern \"" + pattern + "\" presets " +
                                 std::to_string(presets);
        EXPECT_EQ(SeenOf(list), SeenOf(in_gbk)) << what;
        EXPECT_EQ(list.presets, in_gbk.presets) << what;
        EXPECT_EQ(list.pattern, in_gbk.pattern) << what;
        ExpectOwnOffsets(gbk, in_gbk, text, form.encoding, list, what);
      }
    }
  }
}

// A character GBK lacks (U+20000, and an emoji) in a heading: its title holds the character, in
// a UTF-8 and in a GB18030 text alike, and the heading counts as any other. Beside the euro sign
// too, each title is UTF-8 and converts back to the text's own bytes.
TEST(ChapterFinderEncodings, ATitleKeepsACharacterGbkLacks) {
  const std::string rare = "𠀀", emoji = "😀";
  std::string utf8 = "\xEF\xBB\xBF";  // a mark, and the first line a heading
  std::string expected_titles[3];
  const std::string lines[] = {"第一章 ", "第二章 ", "第三章 "};
  for (int i = 0; i < 3; ++i) {
    expected_titles[i] = lines[i] + (i == 1 ? emoji : rare) + (i == 2 ? "€" : "") + "见";
    utf8 += expected_titles[i] + "\r\n" + InForm(Body(3), Encoding::kUtf8) + rare + "\r\n";
  }
  std::string gb18030;
  ASSERT_TRUE(ConvertText(std::string_view(utf8).substr(3), Encoding::kUtf8, Encoding::kGb18030,
                          &gb18030));
  for (const auto& [text, encoding] : {std::pair{utf8, Encoding::kUtf8},
                                       std::pair{gb18030, Encoding::kGb18030}}) {
    for (const char* pattern : {"", "^第"}) {
      FinderOptions options;
      options.encoding = encoding;
      options.pattern = pattern;
      const ChapterList list = FindChapters(text, options);
      ASSERT_EQ(Titles(list), (std::vector<std::string>{expected_titles[0], expected_titles[1],
                                                        expected_titles[2]}))
          << EncodingName(encoding) << " " << pattern;
      EXPECT_EQ(Numbers(list), (std::vector<int64_t>{1, 2, 3})) << EncodingName(encoding);
      for (const Heading& h : list.headings) {
        std::string own;
        ASSERT_TRUE(ConvertTypedText(h.title, encoding, &own)) << EncodingName(encoding);
        EXPECT_EQ(text.substr(static_cast<size_t>(h.title_offset), own.size()), own);
      }
      // The mark stays with the first piece.
      EXPECT_EQ(list.headings[0].offset, 0) << EncodingName(encoding);
      EXPECT_EQ(list.headings[0].title_offset, static_cast<int64_t>(encoding == Encoding::kUtf8 ? 3 : 0));
      EXPECT_EQ(text.compare(static_cast<size_t>(list.headings[1].offset), 2,
                             encoding == Encoding::kUtf8 ? "\xE7\xAC" : "\xB5\xDA"),
                0);
    }
  }
}

// The titles of a GBK text are UTF-8 too, found by the forms and by a pattern alike: GBK's euro
// sign (0x80) is one, and a pair that is no GBK character (81 7F), or a lead byte before the
// line break, shows as "?" while the offsets stay the text's own.
TEST(ChapterFinder, TitlesOfAGbkTextAreUtf8) {
  const std::string text = Lines({"第一章 甲"}) + Body(2) + "第二章 乙"_gbk + "\x81\x7F" +
                           "丙"_gbk + "\r\n" + Body(2) + "第三章 "_gbk + "\x80\r\n" + Body(2) +
                           "第四章 丁"_gbk + "\xB5\r\n" + Body(2);
  for (const char* pattern : {"", "^第"}) {
    FinderOptions options;
    options.pattern = pattern;
    const ChapterList list = FindChapters(text, options);
    EXPECT_EQ(Titles(list), (std::vector<std::string>{"第一章 甲", "第二章 乙?丙", "第三章 €",
                                                      "第四章 丁?"}))
        << pattern;
    EXPECT_EQ(Numbers(list), (std::vector<int64_t>{1, 2, 3, 4})) << pattern;
    ASSERT_EQ(list.headings.size(), 4u) << pattern;
    const std::string second = "第二章 乙"_gbk + "\x81\x7F" + "丙"_gbk;
    EXPECT_EQ(text.compare(static_cast<size_t>(list.headings[1].title_offset), second.size(),
                           second),
              0);
    EXPECT_EQ(list.headings[2].offset, list.headings[1].offset + list.headings[1].bytes);
  }
}

// Lines made at random from pieces that read as headings, look like them, or are prose, in CR LF
// or LF, with spaces and full-width spaces, long lines among them.
std::string RandomNovel(std::mt19937& rng) {
  const std::string pieces[] = {
      "第一章 甲", "第二章", "　　第三章：丙", "第四章 东，走", "第五章 东。", "第三卷 乙",
      "第十二回 风起", "第一百零三章 又", "第０１２章 全角", "序章", "尾声", "番外三 重逢",
      "Chapter 4", "CHAPTER 12: The Storm", "12、不许喧哗", "001 标题", "3. 第三条",
      "第三天早上，他出门了。", "第一封信", "他翻到第五章", "1999 年的夏天", "",
      "　　他沿着河岸走了很久，直到天色暗下来。", "淺東億", "abc def"};
  std::string text;
  const int lines = static_cast<int>(rng() % 60);
  for (int i = 0; i < lines; ++i) {
    const unsigned what = rng() % 20;
    std::string line;
    if (what == 0) {
      if (rng() % 2) line = "第";  // a pattern's match on a line too long for a heading
      for (int k = static_cast<int>(rng() % 300); k > 0; --k) line += "长";  // long lines
    } else if (what == 1) {
      line = "第" + std::to_string(rng() % 30) + "章 题" + std::string(rng() % 3, ' ');
    } else {
      line = pieces[rng() % std::size(pieces)];
    }
    if (rng() % 8 == 0) line = (rng() % 2 ? "  " : "　") + line;
    text += Gbk(line) + (rng() % 3 ? "\r\n" : "\n");
  }
  if (rng() % 4 == 0 && !text.empty()) text.pop_back();  // no line break at the end
  return text;
}

// Thousands of random texts: their UTF-8 (with and without a mark) and GB18030 forms give the
// headings their GBK form gives, each at its own bytes, under every way of finding them.
TEST(ChapterFinderEncodings, RandomTextsGiveTheSameHeadingsInEveryForm) {
  for (unsigned seed = 1; seed <= 2000; ++seed) {
    std::mt19937 rng(seed);
    const std::string gbk = RandomNovel(rng);
    FinderOptions options;
    const unsigned way = seed % 4;
    if (way == 1) options.presets = kPresetChapter | kPresetVolume;
    if (way == 2) options.pattern = "^\\s*第";
    if (way == 3) options.pattern = "章";
    const ChapterList in_gbk = FindChapters(gbk, options);
    for (int form = 0; form < 3; ++form) {
      const Encoding encoding = form == 2 ? Encoding::kGb18030 : Encoding::kUtf8;
      const std::string text = InForm(gbk, encoding, form == 1);
      options.encoding = encoding;
      const ChapterList list = FindChapters(text, options);
      const std::string what = "seed " + std::to_string(seed) + " form " + std::to_string(form);
      ASSERT_EQ(SeenOf(list), SeenOf(in_gbk)) << what;
      ASSERT_EQ(list.presets, in_gbk.presets) << what;
      ExpectOwnOffsets(gbk, in_gbk, text, encoding, list, what);
      if (::testing::Test::HasFailure()) return;
    }
  }
}

// Lines around the longest a heading's line can be (measured in the GBK form's bytes, line
// break included), matched by a pattern or read by the forms: each form gives the GBK form's
// titles, cut where the GBK form cuts them.
TEST(ChapterFinderEncodings, LinesAroundTheLongestHeadingReadAlikeInEveryForm) {
  for (int chars = 256; chars <= 268; ++chars) {
    for (const char* indent : {"", " ", "　"}) {
      for (const char* end : {"\r\n", "\n", ""}) {
        std::string gbk = Lines({"第一章 甲"}) + Body(1) + Gbk(indent) + "第二章"_gbk;
        for (int k = 0; k < chars; ++k) gbk += k % 7 ? "长"_gbk : "a";
        gbk += end;
        for (const char* pattern : {"", "^\\s*第", "长"}) {
          FinderOptions options;
          options.pattern = pattern;
          const ChapterList in_gbk = FindChapters(gbk, options);
          for (const Encoding encoding : {Encoding::kUtf8, Encoding::kGb18030}) {
            const std::string text = InForm(gbk, encoding);
            options.encoding = encoding;
            const ChapterList list = FindChapters(text, options);
            const std::string what = std::to_string(chars) + " chars, indent \"" + indent +
                                     "\", pattern \"" + pattern + "\", " +
                                     EncodingName(encoding);
            ASSERT_EQ(SeenOf(list), SeenOf(in_gbk)) << what;
            ExpectOwnOffsets(gbk, in_gbk, text, encoding, list, what);
          }
        }
      }
    }
  }
}

// On any bytes taken as UTF-8 or GB18030 (broken characters, stray marks, lone lead bytes at the
// end) the headings are in order, start lines on character starts, cover the text from the first
// on, and their titles are typed text that converts to the encoding.
TEST(ChapterFinderEncodings, HeadingsCoverAnyBytesInEveryEncoding) {
  std::mt19937 rng(1207);
  const std::string snippets[] = {"第一章 甲\r\n", "　　第三章 丙\n", "第十卷 乙\n", "序章\r\n",
                                  "Chapter 4\r\n", "12、题\n", "第二章 𠀀\n"};
  for (int round = 0; round < 1000; ++round) {
    const Encoding encoding = round % 2 ? Encoding::kUtf8 : Encoding::kGb18030;
    std::string text = round % 5 == 0 ? "\xEF\xBB\xBF" : "";
    for (int i = static_cast<int>(rng() % 30); i > 0; --i) {
      const unsigned what = rng() % 4;
      if (what == 0) {
        std::string piece;
        ConvertTypedText(snippets[rng() % std::size(snippets)], encoding, &piece);
        text += piece;
      } else if (what == 1) {
        text += testing::RandomGbkText(rng, 20);
      } else if (what == 2) {
        text += std::string(1, static_cast<char>(0x80 + rng() % 0x80));  // broken characters
      } else {
        text += "\n";
      }
    }
    FinderOptions options;
    options.encoding = encoding;
    if (round % 3 == 0) options.pattern = "^";
    const ChapterList list = FindChapters(text, options);
    const std::string what = "round " + std::to_string(round) + " " + testing::HexBytes(text);
    CharCursor cursor(text, encoding, ByteOrderMarkLength(text, encoding));
    int64_t covered = 0;
    for (size_t i = 0; i < list.headings.size(); ++i) {
      const Heading& h = list.headings[i];
      ASSERT_GE(h.offset, 0) << what;
      ASSERT_LT(h.offset, static_cast<int64_t>(text.size())) << what;
      // A line starts after \n (and the pattern's "^" also after a lone \r or \f, as in GBK).
      ASSERT_TRUE(h.offset == 0 || text[static_cast<size_t>(h.offset) - 1] == '\n' ||
                  (!options.pattern.empty() && (text[static_cast<size_t>(h.offset) - 1] == '\r' ||
                                                text[static_cast<size_t>(h.offset) - 1] == '\f')))
          << what;
      ASSERT_TRUE(h.offset == 0 || cursor.IsCharStart(static_cast<size_t>(h.offset))) << what;
      if (i > 0) {
        ASSERT_GT(h.offset, list.headings[i - 1].offset) << what;
      }
      std::string in_text;
      ASSERT_TRUE(ConvertTypedText(h.title, encoding, &in_text)) << what << " title " << i;
      ASSERT_LE(h.title_offset + in_text.size(), text.size()) << what;
      covered += h.bytes;
    }
    if (!list.headings.empty()) {
      ASSERT_EQ(covered, static_cast<int64_t>(text.size()) - list.headings[0].offset) << what;
    }
  }
}

// A file's headings in auto mode are those of its text read as the split reads it, in the
// encoding recognised: the GBK files that pass in blocks of any size as well as those that are
// read whole. The texts are made to lie near the edges of recognition: UTF-8 (a mark or none),
// GB18030 with four-byte characters, GBK whose first bytes are valid UTF-8, UTF-8 with one
// invalid byte, ASCII, and GBK with digits beside its characters.
TEST(ChapterFinderEncodings, AFileInAutoModeIsReadInTheEncodingRecognised) {
  testing::ScopedTempDir dir;
  const std::string path = dir.Join("novel.txt");
  std::mt19937 rng(4242);
  int seen[5] = {};
  for (int round = 0; round < 400; ++round) {
    std::string gbk = RandomNovel(rng);
    std::string bytes;
    switch (round % 8) {
      case 0: bytes = gbk; break;
      case 1: bytes = InForm(gbk, Encoding::kUtf8); break;
      case 2: bytes = InForm(gbk, Encoding::kUtf8, true); break;
      case 3: bytes = InForm(gbk, Encoding::kGb18030) + "\x95\x32\x82\x36"; break;
      case 4: bytes = "\xC3\xA9" + gbk; break;  // é in UTF-8, then GBK
      case 5: {
        bytes = InForm(gbk, Encoding::kUtf8);
        bytes.insert(rng() % (bytes.size() + 1), 1, '\xFF');
        break;
      }
      case 6:  // digits beside characters, and the shape of a four-byte sequence off its step
        bytes = "第1章 "_gbk + std::to_string(rng()) + "\r\n" + gbk + "\xB5\xDA" "1" "\xB5" "2" "\xB5\xDA";
        break;
      default:
        bytes = std::string(rng() % 3 ? "" : "\xEF\xBB\xBF") + "Chapter 1\r\nabc\r\nChapter 2\r\n";
    }
    ASSERT_TRUE(testing::WriteFileBytes(path, bytes));
    const SourceText whole = LoadSourceText(path);
    ASSERT_TRUE(whole.ok) << round;
    ++seen[static_cast<int>(whole.encoding)];
    FinderOptions options;
    options.encoding = whole.encoding;
    const ChapterList expected = FindChapters(whole.text, options);
    for (size_t block : {size_t{1}, size_t{2}, size_t{3}, size_t{5}, size_t{64}, size_t{1} << 20}) {
      if (block < 5 && block != 3 && round % 8 != 0) continue;  // byte by byte is slow
      const FileChapters file = FindChaptersInFile(path, {}, block);
      ASSERT_TRUE(file.ok) << round;
      ASSERT_EQ(file.encoding, whole.encoding) << "round " << round << " block " << block << " "
                                               << testing::HexBytes(bytes.substr(0, 16));
      ASSERT_EQ(SeenOf(file.list), SeenOf(expected)) << round << " " << block;
      for (size_t i = 0; i < expected.headings.size(); ++i) {
        ASSERT_EQ(file.list.headings[i].offset, expected.headings[i].offset) << round;
      }
    }
  }
  EXPECT_GT(seen[static_cast<int>(Encoding::kGbk)], 80);
  EXPECT_GT(seen[static_cast<int>(Encoding::kUtf8)], 80);
  EXPECT_GT(seen[static_cast<int>(Encoding::kGb18030)], 30);
}

// An encoding given is the one read in; a UTF-16 file and a file not valid in the encoding given
// are not read, with the reader's reason.
TEST(ChapterFinderEncodings, AFileIsReadAsGivenOrRefused) {
  testing::ScopedTempDir dir;
  const std::string gbk = Lines({"第一章 甲"}) + Body(3) + Lines({"第二章 乙"}) + Body(3);
  const std::string utf8 = InForm(gbk, Encoding::kUtf8);
  const std::string path = dir.Join("a.txt");

  ASSERT_TRUE(testing::WriteFileBytes(path, utf8));
  FinderOptions options;
  FileChapters file = FindChaptersInFile(path, options);
  ASSERT_TRUE(file.ok);
  EXPECT_EQ(file.encoding, Encoding::kUtf8);
  EXPECT_EQ(Titles(file.list), (std::vector<std::string>{"第一章 甲", "第二章 乙"}));
  options.choice = EncodingChoice::kGbk;  // not valid GBK: refused, naming the byte
  file = FindChaptersInFile(path, options);
  EXPECT_FALSE(file.ok);
  EXPECT_EQ(file.error, LoadSourceText(path, {}, EncodingChoice::kGbk).error);
  EXPECT_NE(file.error.find("按 GBK 编码读取时，第 "), std::string::npos) << file.error;
  for (size_t block : {size_t{1}, size_t{3}, size_t{64}}) {  // read line by line, the same
    EXPECT_EQ(FindChaptersInFile(path, options, block).error, file.error) << block;
  }

  ASSERT_TRUE(testing::WriteFileBytes(path, gbk));
  options.choice = EncodingChoice::kUtf8;
  file = FindChaptersInFile(path, options);
  EXPECT_FALSE(file.ok);
  EXPECT_EQ(file.error, LoadSourceText(path, {}, EncodingChoice::kUtf8).error);
  EXPECT_NE(file.error.find("UTF-8"), std::string::npos) << file.error;
  options.choice = EncodingChoice::kGb18030;  // every GBK character is one of GB18030
  file = FindChaptersInFile(path, options);
  ASSERT_TRUE(file.ok);
  EXPECT_EQ(file.encoding, Encoding::kGb18030);
  EXPECT_EQ(Titles(file.list), (std::vector<std::string>{"第一章 甲", "第二章 乙"}));

  for (Encoding utf16 : {Encoding::kUtf16Le, Encoding::kUtf16Be}) {
    std::string bytes = utf16 == Encoding::kUtf16Le ? "\xFF\xFE" : "\xFE\xFF";
    for (char c : std::string("Chapter 1\r\n")) {
      bytes += utf16 == Encoding::kUtf16Le ? std::string{c, '\0'} : std::string{'\0', c};
    }
    ASSERT_TRUE(testing::WriteFileBytes(path, bytes));
    for (const char* pattern : {"", "Chapter"}) {
      options = {};
      options.pattern = pattern;
      file = FindChaptersInFile(path, options);
      EXPECT_FALSE(file.ok);
      EXPECT_EQ(file.error, Utf16RefusalMessage(utf16));
    }
  }
}

}  // namespace
}  // namespace travik::chapters

namespace travik::chapters {
namespace {

// Random bytes near every edge of recognition (UTF-8 leads and continuation bytes, GBK pairs,
// digits that may make four-byte shapes, marks and their first bytes, stray bytes above 0x7F,
// bytes that end a text early) split into blocks of every size: the encoding FindChaptersInFile
// reports in auto mode is the one DetectEncoding gives the whole file, and the file is read as
// the split reads it: the same refusal or cut, the headings of that text.
TEST(ChapterFinderEncodings, AutoModeAgreesWithRecognitionOnAnyBytes) {
  testing::ScopedTempDir dir;
  const std::string path = dir.Join("bytes.txt");
  const std::string pieces[] = {"\xB5\xDA" "\xD2\xBB" "\xD5\xC2" " ", "\xE7\xAC\xAC" "\xE4\xB8\x80"
                                "\xE7\xAB\xA0", "\xC3\xA9", "\xF0\x9F\x98\x80", "\x95\x32\x82\x36",
                                "\r\n", "\n", "Chapter 7\n", "1", "12", "a", " ",
                                "\xEF\xBB\xBF", "\xEF\xBB", "\xFF\xFE", "\xFE\xFF", "\xE4\xB8",
                                "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF5",
                                std::string(1, '\0'), "\x1A"};
  std::mt19937 rng(20261207);
  for (int round = 0; round < 1200; ++round) {
    std::string bytes;
    for (int i = static_cast<int>(rng() % 24); i > 0; --i) {
      if (rng() % 5 == 0) {
        bytes += static_cast<char>(0x80 + rng() % 0x80);
      } else if (rng() % 7 == 0) {
        bytes += static_cast<char>('0' + rng() % 10);
      } else {
        bytes += pieces[rng() % std::size(pieces)];
      }
    }
    ASSERT_TRUE(testing::WriteFileBytes(path, bytes));
    const Encoding recognised = DetectEncoding(bytes).encoding;
    const std::string what = "round " + std::to_string(round) + " " + testing::HexBytes(bytes);
    const SourceText source = LoadSourceText(path);
    FinderOptions options;
    options.encoding = source.encoding;
    const ChapterList expected = source.ok ? FindChapters(source.text, options) : ChapterList{};
    for (size_t block : {size_t{1}, size_t{2}, size_t{3}, size_t{5}, size_t{64}, size_t{65},
                         size_t{1} << 20}) {
      const FileChapters file = FindChaptersInFile(path, {}, block);
      if (IsWorkingEncoding(recognised)) {
        ASSERT_EQ(file.ok, source.ok) << what << " block " << block;  // refused with a 0x00
      } else {
        ASSERT_FALSE(file.ok) << what << " block " << block;
      }
      ASSERT_EQ(file.encoding, recognised) << what << " block " << block;
      ASSERT_EQ(file.cut_short, source.cut_short) << what << " block " << block;
      ASSERT_EQ(SeenOf(file.list), SeenOf(expected)) << what << " block " << block;
    }
  }
  // One four-byte character (U+20000) at every place near the ends of the 64-byte runs of a GBK
  // text with no other digit, and one stray UTF-8 continuation byte likewise: each found in
  // whichever run or block it lies across.
  const std::string gbk = Lines({"第一章 甲"}) + Body(6);
  for (const std::string& odd : {std::string("\x95\x32\x82\x36"), std::string("\x80")}) {
    for (size_t at = 0; at <= gbk.size(); ++at) {
      if (at < gbk.size() && !CharCursor(gbk, Encoding::kGbk).IsCharStart(at)) continue;
      if ((at + 8) % 64 > 12 && at > 8 && at + 8 < gbk.size()) continue;  // near 64-byte runs
      const std::string bytes = gbk.substr(0, at) + odd + gbk.substr(at);
      ASSERT_TRUE(testing::WriteFileBytes(path, bytes));
      const Encoding recognised = DetectEncoding(bytes).encoding;
      for (size_t block : {size_t{3}, size_t{100}, size_t{1} << 20}) {
        ASSERT_EQ(FindChaptersInFile(path, {}, block).encoding, recognised)
            << "at " << at << " block " << block << " " << testing::HexBytes(bytes);
      }
    }
  }
}

}  // namespace
}  // namespace travik::chapters

namespace travik::chapters {
namespace {

namespace forms {


// A number as a heading form writes it: "%e" English words (up to 59), "%c" Chinese numerals (with 廿 for 21-29 when `twenty`,
// and 一百十X for 110-119 as older novels do), "%d" digits, "%2" and "%3" digits padded with 0.
std::string Written(int n, char how) {
  static const char* const kDigits[] = {"零", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
  if (how == 'd') return std::to_string(n);
  if (how == 'e') {
    static const char* const kWords[] = {"", "ONE", "TWO", "THREE", "FOUR", "FIVE", "SIX", "SEVEN",
                                         "EIGHT", "NINE", "TEN", "ELEVEN", "TWELVE", "THIRTEEN",
                                         "FOURTEEN", "FIFTEEN", "SIXTEEN", "SEVENTEEN", "EIGHTEEN",
                                         "NINETEEN"};
    static const char* const kTens[] = {"", "", "TWENTY", "THIRTY", "FORTY", "FIFTY"};
    if (n < 20) return kWords[n];
    return std::string(kTens[n / 10]) + (n % 10 ? std::string("-") + kWords[n % 10] : "");
  }
  if (how == '2' || how == '3') {
    std::string s = std::to_string(n);
    while (s.size() < static_cast<size_t>(how - '0')) s = "0" + s;
    return s;
  }
  std::string s;
  if (n >= 100) {
    s = std::string(kDigits[n / 100]) + "百";
    n %= 100;
    if (n == 0) return s;
    if (n < 10) return s + "零" + kDigits[n];
    if (n < 20) return s + "十" + (n % 10 ? kDigits[n % 10] : "");  // 一百十九
  }
  if (n < 10) return s + kDigits[n];
  if (how == 'k' && n > 20 && n < 30) return s + "廿" + kDigits[n % 10];
  return s + std::string(n >= 20 ? kDigits[n / 10] : "") + "十" + (n % 10 ? kDigits[n % 10] : "");
}

// The form with its number put in at "%c" / "%k" / "%d" / "%2" / "%3".
std::string Heading(std::string form, int n) {
  const size_t at = form.find('%');
  return form.substr(0, at) + Written(n, form[at + 1]) + form.substr(at + 2);
}

// Prose that looks like headings of some form, and the lines of a sports novel.
const char* const kTraps[] = {
    "　　第二天，他早早出了门。", "第一封信是寄给母亲的", "　　他翻到第五章，读了起来。",
    "第二部分", "第四节 3:39", "第2节结束 98比95", "98：95", "　　一个人站在桥上。",
    "2019年的夏天", "　　（完）", "他们说（笑）", "3.5", "一", "一、二、三个人",
    "1. 买菜\r\n2. 洗衣服\r\n3. 做饭",
};

struct Novel {
  std::string text;  // UTF-8
  std::vector<int64_t> lines;
  std::vector<int64_t> numbers;
};

// A novel in one heading form: a preamble, chapters numbered from `first` of 6-40 lines of prose
// with traps among them, now and then a chapter missing (a gap the checks must report).
Novel MakeNovel(const std::string& form, std::mt19937& rng, int first = 1) {
  Novel novel;
  int64_t line = 1;
  auto add = [&](const std::string& l) {
    novel.text += l + "\r\n";
    line += 1 + static_cast<int64_t>(std::count(l.begin(), l.end(), '\n'));
  };
  add("书名：河");
  add("作者：某人");
  add("");
  const int chapters = 8 + static_cast<int>(rng() % 20);
  int number = first - 1;
  for (int c = 0; c < chapters; ++c) {
    number += (c > 0 && rng() % 15 == 0) ? 2 : 1;
    novel.lines.push_back(line);
    novel.numbers.push_back(number);
    add(Heading(form, number));
    const int lines = 6 + static_cast<int>(rng() % 35);
    for (int l = 0; l < lines; ++l) {
      if (rng() % 12 == 0) {
        add(kTraps[rng() % std::size(kTraps)]);
      } else {
        add("　　他沿着河岸走了很久，直到天色暗下来，才在一座小桥边停住。");
      }
    }
  }
  return novel;
}

}  // namespace forms

// Every numbered form people's files use, each in a novel of its own among prose traps and the
// score lines of a sports novel: the finder, choosing on its own, lists exactly the headings with
// their numbers, in GBK, GB18030 and UTF-8 alike, and reports each missing chapter.
TEST(ChapterFinder, FindsEveryNumberedFormByItsNumbering) {
  const std::string kForms[] = {
      "第%c章、黄菊", "第%d章、风起", "第%c章.云涌", "第%c章——落幕", "第%d章：标题",
      "第%c章衰兰送客咸阳道", "【第%c章】再会故人", "〖第%d章〗", "＃ 第%d章 风雨欲来", "# 第%d章",
      "☆、第%c章 标题", "chapter.%3 标题", "Chapter.%d", "%d：上映（一）", "%c、标题", "%2章 亲士",
      "%c", "%2", "无法投递之邮件（%d）", "第%k回 标题", "第%c章 杀！杀！杀！",
      "第%c回 憨湘云醉眠芍药裀 呆香菱情解石榴裙?", "　　第　%c　回　 望成名",
      "（%c）", "(%d)", "%d.", "第%c话 %d", "第%d章　标题   ", "Chapter %d", "【%3】江湖",
      "CHAPTER %e",
  };
  for (const std::string& form : kForms) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
      std::mt19937 rng(seed);
      // The 回 of older novels run past a hundred, through 一百十 to 一百十九.
      const int first = form.find("回") != std::string::npos && seed % 2 ? 105 : 1;
      const forms::Novel novel = forms::MakeNovel(form, rng, first);
      std::vector<int64_t> gaps;
      for (size_t i = 1; i < novel.numbers.size(); ++i) {
        if (novel.numbers[i] != novel.numbers[i - 1] + 1) gaps.push_back(novel.lines[i]);
      }
      for (Encoding encoding : {Encoding::kGbk, Encoding::kGb18030, Encoding::kUtf8}) {
        const std::string text = encoding == Encoding::kGbk       ? Gbk(novel.text)
                                 : encoding == Encoding::kGb18030 ? testing::Gb18030(novel.text)
                                                                  : novel.text;
        FinderOptions options;
        options.encoding = encoding;
        ChapterList list = FindChapters(text, options);
        std::vector<int64_t> lines;
        for (const Heading& h : list.headings) lines.push_back(h.line);
        ASSERT_EQ(lines, novel.lines) << form << " seed " << seed << " " << EncodingName(encoding);
        EXPECT_EQ(Numbers(list), novel.numbers) << form << " seed " << seed;
        std::vector<int64_t> warned;
        for (const Warning& w : list.warnings) {
          EXPECT_EQ(w.kind, WarningKind::kGap) << form << " seed " << seed << " " << w.text;
          warned.push_back(w.line);
        }
        EXPECT_EQ(warned, gaps) << form << " seed " << seed;
      }
    }
  }
}


// The reverse cases: a table of contents before the text lists the chapters first (padded with
// spaces), headings glued to the end of the paragraph before them, and a sports novel whose
// quarters and scores look like headings between its chapters.
TEST(ChapterFinder, ContentsGluedHeadingsAndScoreLines) {
  std::string contents = Lines({"官场", "目录"});
  for (int i = 1; i <= 12; ++i) contents += Lines({" 第　" + ChapterNumber(i, true) + "　回　 某某"});
  std::string body;
  std::vector<int64_t> numbers;
  for (int i = 1; i <= 12; ++i) {
    body += Lines({"第" + ChapterNumber(i, true) + "回　某某某"}) + Body(20);
    numbers.push_back(i);
  }
  ChapterList list = FindChapters(contents + body);
  EXPECT_EQ(Numbers(list), numbers);
  EXPECT_EQ(list.headings.front().line, 15);
  EXPECT_TRUE(list.warnings.empty()) << list.warnings[0].text;

  // ……均纪实也。 第二章: the cut falls where 第 begins; 第三章 is missing, as the numbering says.
  std::string glued = Lines({"第一章"}) + Body(10);
  const std::string end_of_paragraph = "　　此章为吾书发凡，均纪实也。 "_gbk;
  std::vector<size_t> cuts;
  for (int i : {2, 4, 5, 6}) {
    glued += end_of_paragraph;
    cuts.push_back(glued.size());
    glued += Lines({"第" + ChapterNumber(i, true) + "章"}) + Body(10);
  }
  glued += Lines({"　　他说：“这是第七章。”"}) + Body(3);
  list = FindChapters(glued);
  EXPECT_EQ(Numbers(list), (std::vector<int64_t>{1, 2, 4, 5, 6}));
  for (size_t i = 0; i < cuts.size(); ++i) {
    EXPECT_EQ(list.headings[i + 1].offset, static_cast<int64_t>(cuts[i]));
    EXPECT_EQ(list.headings[i + 1].title, "第" + ChapterNumber(i == 0 ? 2 : static_cast<int>(i) + 3, true) + "章");
  }
  EXPECT_EQ(Kinds(list), (std::vector<WarningKind>{WarningKind::kGap}));

  std::string sports;
  for (int i = 1; i <= 6; ++i) {
    sports += Lines({"第" + ChapterNumber(i, true) + "章 决赛"}) + Body(8);
    for (int q = 1; q <= 4; ++q) {
      sports += Lines({"第" + ChapterNumber(q, true) + "节 3:39", "第" + std::to_string(q) + "节结束 98比95",
                       "98：95"}) + Body(2);
    }
  }
  list = FindChapters(sports);
  EXPECT_EQ(Numbers(list), (std::vector<int64_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_TRUE(list.warnings.empty());
  EXPECT_EQ(list.forms.front().shape, "第#章");
  EXPECT_TRUE(list.forms.front().chosen);
  // The quarters are a form of their own, offered for a person to pick.
  FinderOptions quarters;
  quarters.form = "第#节";
  list = FindChapters(sports, quarters);
  ASSERT_GE(list.headings.size(), 6u);
  for (const Heading& h : list.headings) EXPECT_NE(h.title.find("节"), std::string::npos) << h.title;
  EXPECT_EQ(list.form, "第#节");
}

// A person's pattern gets numbers too: the checks run on them.
TEST(ChapterFinder, APatternsHeadingsAreNumberedFromTheirLines) {
  std::string text;
  for (int i : {1, 2, 3, 4, 5, 6, 7, 10, 11}) text += Lines({ChapterNumber(i, true)}) + Body(4);
  FinderOptions options;
  options.pattern = "^[一二三四五六七八九十]+$";
  ChapterList list = FindChapters(text, options);
  EXPECT_EQ(Numbers(list), (std::vector<int64_t>{1, 2, 3, 4, 5, 6, 7, 10, 11}));
  EXPECT_EQ(Kinds(list), (std::vector<WarningKind>{WarningKind::kGap}));
  options.pattern = "^卷";
  list = FindChapters(Lines({"卷 甲 12 乙"}) + Body(2) + Lines({"卷 丙"}), options);
  EXPECT_EQ(Numbers(list), (std::vector<int64_t>{12, -1}));
  // Nothing found: the list says so, and names no form.
  list = FindChapters(Body(30));
  EXPECT_TRUE(list.headings.empty());
  EXPECT_EQ(list.pattern, "");
  EXPECT_EQ(list.presets, 0u);
  ASSERT_EQ(list.warnings.size(), 1u);
  EXPECT_EQ(list.warnings[0].text, "未找到章节标题，可改为按大小分割");
}

// Unnumbered titles alone between blank lines are never guessed; named, they are found with the
// same checks, in a text read whole or in blocks of any size.
TEST(ChapterFinder, TitlesAloneBetweenBlankLinesOnlyWhenNamed) {
  std::string text = Lines({"作者：某人", ""});
  for (const char* title : {"故乡", "社戏", "风筝"}) {
    text += Lines({"", title, ""}) + Body(6) + Lines({"", "夜", "　　他说了一句话。"}) + Body(2);
  }
  text += Lines({"", "　　（完）", ""});
  EXPECT_TRUE(FindChapters(text).headings.empty());
  FinderOptions named;
  named.presets = kPresetTitles;
  ChapterList list = FindChapters(text, named);
  EXPECT_EQ(Titles(list), (std::vector<std::string>{"故乡", "社戏", "风筝"}));
  EXPECT_EQ(Numbers(list), (std::vector<int64_t>{-1, -1, -1}));
  EXPECT_EQ(list.pattern, "preset:titles");
  testing::ScopedTempDir dir;
  const std::string path = dir.Join("stories.txt");
  ASSERT_TRUE(testing::WriteFileBytes(path, text));
  named.choice = EncodingChoice::kGbk;
  for (size_t block : {size_t{1}, size_t{5}, size_t{64}}) {
    const FileChapters file = FindChaptersInFile(path, named, block);
    ASSERT_TRUE(file.ok);
    EXPECT_EQ(Titles(file.list), Titles(list)) << block;
  }
}

// Volumes written without 第 (卷一 标题), a volume and its first chapter on one line, and a novel
// whose only numbered headings are volumes (第1集) among a sports novel's quarter lines: the
// chapter numbers restart without a false fall, and the quarters are never the book's headings.
TEST(ChapterFinder, VolumeFormsRestartTheChaptersWhereverTheyStand) {
  for (const char* volume_form : {"卷%c 江湖", "第%c卷 江湖 第一章 出发"}) {
    std::string text = Lines({"书名：河", ""});
    std::vector<int64_t> numbers;
    for (int v = 1; v <= 3; ++v) {
      const std::string volume = forms::Heading(volume_form, v);
      const bool joined = volume.find("章") != std::string::npos;
      text += Lines({volume}) + (joined ? Body(12) : "");
      numbers.push_back(joined ? 1 : v);
      for (int c = joined ? 2 : 1; c <= 6; ++c) {
        text += Lines({"第" + ChapterNumber(c, true) + "章 风雨"}) + Body(12);
        numbers.push_back(c);
      }
    }
    ChapterList list = FindChapters(text);
    EXPECT_EQ(Numbers(list), numbers) << volume_form;
    EXPECT_TRUE(list.warnings.empty()) << volume_form << " " << list.warnings[0].text;
  }
  std::string episodes;
  for (int e = 1; e <= 10; ++e) {
    episodes += Lines({"第" + std::to_string(e) + "集 决赛"}) + Body(10);
    const int q = 1 + (e * 7) % 4;
    episodes += Lines({"第" + ChapterNumber(q, true) + "节 3:39", "98：95"}) + Body(3) +
                Lines({"第" + ChapterNumber(q, true) + "节 10:02"}) + Body(3);
  }
  ChapterList list = FindChapters(episodes);
  EXPECT_EQ(Numbers(list), (std::vector<int64_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_TRUE(list.warnings.empty()) << list.warnings[0].text;
}

// Numbered lists inside the chapters of a novel numbered the same way (12. 标题 … 1. 买菜 2. 洗衣服)
// are strays: the chapters' numbers go on after them.
TEST(ChapterFinder, ListsInsideChaptersAreStrays) {
  for (const char* form : {"%d. 标题", "%d.", "%c、标题"}) {
    std::string text = Lines({"书名：河", ""});
    std::vector<int64_t> numbers;
    for (int c = 1; c <= 20; ++c) {
      text += Lines({forms::Heading(form, c)}) + Body(10);
      // Lists that hold the chapters' own numbers, one of them right before the next heading.
      if (c % 3 == 1) text += Lines({"1. 买菜", "2. 洗衣服", "3. 做饭", "一", "一、二、三个人"}) + Body(4);
      if (c == 11) text += Lines({"1. 买菜", "2. 洗衣服", "3. 做饭", "4. 扫地"});
      numbers.push_back(c);
    }
    ChapterList list = FindChapters(text);
    EXPECT_EQ(Numbers(list), numbers) << form;
    EXPECT_TRUE(list.warnings.empty()) << form << " " << list.warnings[0].text;
  }
}

// A novel whose every heading is glued to its title (第十二章衰兰送客) keeps them all where prose of the
// same shape with a smaller number stands between two of them.
TEST(ChapterFinder, GluedTitlesRunOnPastProseOfTheirShape) {
  std::string text = Lines({"书名：河", ""});
  std::vector<int64_t> numbers;
  for (int c = 1; c <= 30; ++c) {
    text += Lines({"第" + ChapterNumber(c, true) + "章衰兰送客"}) + Body(10);
    if (c > 12 && c % 4 == 0) text += Lines({"第十章节选", "第三天一早，他们出发了。"}) + Body(4);
    numbers.push_back(c);
  }
  ChapterList list = FindChapters(text);
  EXPECT_EQ(Numbers(list), numbers);
  EXPECT_TRUE(list.warnings.empty()) << list.warnings[0].text;
}

// A title on its own after a decoration (☆、标题), as one site writes every heading, wins over the
// numbered lists inside its chapters.
TEST(ChapterFinder, DecoratedTitlesWinOverListsInsideTheChapters) {
  std::string text = Lines({"书名：河", ""});
  std::vector<std::string> titles;
  int i = 0;
  for (const char* title : {"出发", "小桥", "夜雨", "归来", "远行", "故人", "江湖", "明月"}) {
    titles.push_back(std::string("☆、") + title);
    text += Lines({titles.back()}) + Body(8);
    // Lists now and then, one of them cut short, an item alone.
    if (i % 3 == 0) text += Lines({"1. 买菜", "2. 洗衣服", "3. 做饭"}) + Body(8);
    if (i % 3 == 1) text += Lines({"2. 洗衣服", "3. 做饭"}) + Body(30);
    if (i++ % 3 == 2) text += Body(20) + Lines({"3. 做饭"}) + Body(4);
  }
  ChapterList list = FindChapters(text);
  EXPECT_EQ(Titles(list), titles);
  EXPECT_TRUE(list.warnings.empty()) << list.warnings[0].text;
}
}  // namespace
}  // namespace travik::chapters
