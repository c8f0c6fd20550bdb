#include "chapters/heading_forms.h"

#include <gtest/gtest.h>

#include <string>

namespace travik::chapters {
namespace {

struct Expected {
  std::u32string line;
  Preset preset;
  HeadingKind kind;
  std::optional<int64_t> number;
};

void ExpectHeading(const Expected& e, PresetSet presets = kAllPresets) {
  std::optional<LineHeading> h = ReadHeading(e.line, presets);
  ASSERT_TRUE(h.has_value()) << "not read as a heading: line of " << e.line.size() << " chars, "
                             << (e.number ? *e.number : -1);
  EXPECT_EQ(h->preset, e.preset) << (e.number ? *e.number : -1);
  EXPECT_EQ(h->kind, e.kind) << (e.number ? *e.number : -1);
  EXPECT_EQ(h->number, e.number);
}

TEST(HeadingForms, ReadEveryPreset) {
  const Expected cases[] = {
      {U"第一章", kPresetChapter, HeadingKind::kChapter, 1},
      {U"第一百零三章 风起", kPresetChapter, HeadingKind::kChapter, 103},
      {U"第十章　夜雨", kPresetChapter, HeadingKind::kChapter, 10},
      {U"第十章：夜雨", kPresetChapter, HeadingKind::kChapter, 10},
      {U"第０１２章 回家", kPresetChapter, HeadingKind::kChapter, 12},
      {U"第 12 章 回家", kPresetChapter, HeadingKind::kChapter, 12},
      {U"　　第三回 宝玉", kPresetChapter, HeadingKind::kChapter, 3},
      {U"第四节", kPresetChapter, HeadingKind::kChapter, 4},
      {U"第五話 雨", kPresetChapter, HeadingKind::kChapter, 5},
      {U"第六节 出发！", kPresetChapter, HeadingKind::kChapter, 6},
      {U"第七章 2019年的夏天", kPresetChapter, HeadingKind::kChapter, 7},
      // A mark inside brackets is a note on the title, not a sentence.
      {U"第八章 突破（求月票！）", kPresetChapter, HeadingKind::kChapter, 8},
      {U"第九章 什么？！（上）", kPresetChapter, HeadingKind::kChapter, 9},
      {U"第十章 谁？(下)", kPresetChapter, HeadingKind::kChapter, 10},
      {U"第十一章 【加更！求收藏。】夜雨", kPresetChapter, HeadingKind::kChapter, 11},
      {U"第二卷 江湖", kPresetVolume, HeadingKind::kVolume, 2},
      {U"第一部", kPresetVolume, HeadingKind::kVolume, 1},
      {U"第三集：归来", kPresetVolume, HeadingKind::kVolume, 3},
      {U"第四篇 终", kPresetVolume, HeadingKind::kVolume, 4},
      {U"第二卷 江湖 第十一章 初见", kPresetChapter, HeadingKind::kChapter, 11},
      {U"Chapter 12", kPresetEnglish, HeadingKind::kChapter, 12},
      {U"CHAPTER 3: The Storm", kPresetEnglish, HeadingKind::kChapter, 3},
      {U"Chapter XIV", kPresetEnglish, HeadingKind::kChapter, 14},
      {U"Chapter 4. Home", kPresetEnglish, HeadingKind::kChapter, 4},
      {U"001 标题", kPresetNumbered, HeadingKind::kChapter, 1},
      {U"12、夜雨", kPresetNumbered, HeadingKind::kChapter, 12},
      {U"12. 夜雨", kPresetNumbered, HeadingKind::kChapter, 12},
      {U"１２．夜雨", kPresetNumbered, HeadingKind::kChapter, 12},
      {U"序章", kPresetExtra, HeadingKind::kExtra, std::nullopt},
      {U"楔子 风起", kPresetExtra, HeadingKind::kExtra, std::nullopt},
      {U"尾聲", kPresetExtra, HeadingKind::kExtra, std::nullopt},
      {U"後記", kPresetExtra, HeadingKind::kExtra, std::nullopt},
      {U"完本感言", kPresetExtra, HeadingKind::kExtra, std::nullopt},
      {U"番外", kPresetExtra, HeadingKind::kExtra, std::nullopt},
      {U"番外三 重逢", kPresetExtra, HeadingKind::kExtra, 3},
      {U"番外 2", kPresetExtra, HeadingKind::kExtra, 2},
      {U"番外（一）", kPresetExtra, HeadingKind::kExtra, 1},
      {U"番外(2) 重逢", kPresetExtra, HeadingKind::kExtra, 2},
      {U"番外篇（十二）：归来", kPresetExtra, HeadingKind::kExtra, 12},
      {U"正文 第一章 开始", kPresetChapter, HeadingKind::kChapter, 1},
  };
  for (const Expected& e : cases) ExpectHeading(e);
}

TEST(HeadingForms, ProseIsNoHeading) {
  for (std::u32string line : {
           U"第三天早上，他出门了。",
           U"第三天",
           U"第一封信是寄给母亲的",
           U"第五本书记载了这件事",
           U"他翻到第五章，读了起来。",
           U"第二部分",
           U"第一个",
           U"第十名",
           U"第五次",
           U"第章",
           U"第十十章",
           U"12.5 元",
           U"2023年",
           U"1. 2.",
           U"Chapters 3",
           U"Chapter",
           U"序章里说，他早已离开。",
           U"正文开始",
           U"番外（一",
           U"番外（一）他走了",
           U"后来",
           U"",
           U"　　",
       }) {
    EXPECT_FALSE(ReadHeading(line, kAllPresets).has_value()) << "line of " << line.size();
  }
  // Score lines and times of a sports novel, figures and prose after a bare number.
  for (std::u32string line : {U"98：95", U"98:95", U"3:39", U"1.5", U"一个人走了", U"1、他走了。",
                              U"2019年", U"一二三四五六七八九", U"第三集团军", U"第一篇文章"}) {
    EXPECT_FALSE(ReadHeading(line, kAllPresets).has_value()) << "line of " << line.size();
  }
  // After 第, a sentence, a ， or a glued title leaves it to the numbering: the line is read, but
  // only as doubtful.
  for (std::u32string line : {
           U"第一章讲的是，他如何离开了家乡，又如何回来", U"第五章 我们来讲讲这个问题，他说。",
           U"第五章 他走了。", U"第五章 （笑）他走了。", U"第五章 他说（走！吧", U"第五章 他说）走！吧",
           U"第三回合", U"第十章节选", U"第二节课"}) {
    std::optional<LineHeading> h = ReadHeading(line, kAllPresets);
    ASSERT_TRUE(h.has_value()) << "line of " << line.size();
    EXPECT_TRUE(h->doubtful) << "line of " << line.size();
  }
  // Too long for a heading, though well formed.
  std::u32string long_title = U"第一章 " + std::u32string(kMaxHeadingChars, U'长');
  EXPECT_FALSE(ReadHeading(long_title, kAllPresets).has_value());
  EXPECT_TRUE(ReadHeading(long_title.substr(0, kMaxHeadingChars), kAllPresets).has_value());
}

struct Shaped {
  std::u32string line;
  std::string shape;
  std::optional<int64_t> number;
  bool doubtful;
};

// The forms people's files use, each read with its number and a shape of its own; the shape
// keeps the decorations and the mark and drops the title.
TEST(HeadingForms, ReadEveryNumberedFormWithItsShape) {
  const Shaped cases[] = {
      {U"第1章、黄菊", "第#章", 1, false},
      {U"第二章、风起", "第#章", 2, false},
      {U"第三章.云涌", "第#章", 3, false},
      {U"第四章——落幕", "第#章", 4, false},
      {U"第6章：标题", "第#章", 6, false},
      {U"第一章衰兰送客咸阳道", "第#章", 1, true},
      {U"【第三章】再会故人", "【第#章】", 3, false},
      {U"〖第3章〗", "〖第#章〗", 3, false},
      {U"＃ 第２章 风雨欲来", "#第#章", 2, false},
      {U"# 第2章", "#第#章", 2, false},
      {U"☆、第一章 标题", "☆、第#章", 1, false},
      {U"☆、风起云涌", "☆、", std::nullopt, false},
      {U"chapter.001 标题", "chapter.#", 1, false},
      {U"Chapter.12", "chapter.#", 12, false},
      {U"Chapter 12: The Storm", "chapter #", 12, false},
      {U"186：上映（一）", "#：", 186, false},
      {U"一、标题", "〇、", 1, false},
      {U"12、夜雨", "#、", 12, false},
      {U"01章 亲士", "#章", 1, false},
      {U"二十四", "〇", 24, false},
      {U"01", "#", 1, false},
      {U"100", "#", 100, false},
      {U"无法投递之邮件（12）", "…（#）", 12, false},
      {U"无法投递之邮件(1)", "…(#)", 1, false},
      {U"第一百十回 标题", "第#回", 110, false},
      {U"第一百十九回", "第#回", 119, false},
      {U"第廿一回 标题", "第#回", 21, false},
      {U"第卅回", "第#回", 30, false},
      {U"第　一　回　 望成名", "第#回", 1, false},
      {U"第五章 杀！杀！杀！", "第#章", 5, true},
      {U"第六十二回 憨湘云醉眠芍药裀 呆香菱情解石榴裙?", "第#回", 62, false},
      {U"第四节 3:39", "第#节", 4, false},
      {U"第2节结束 98比95", "第#节", 2, true},
      {U"（一）", "（〇）", 1, false},
      {U"(12)", "(#)", 12, false},
      {U"12.", "#.", 12, false},
      {U"卷一 江湖", "卷#", 1, false},
      {U"CHAPTER ONE", "chapter #", 1, false},
      {U"Chapter Twenty-One: The Storm", "chapter #", 21, false},
      {U"chapter one hundred and five", "chapter #", 105, false},
      {U"Chapter Nineteen", "chapter #", 19, false},
      {U"【001】江湖", "【#】", 1, false},
      {U"〖十二〗江湖", "〖〇〗", 12, false},
      {U"[3] 江湖", "[#] ", 3, false},
      {U"卷十二", "卷#", 12, false},
  };
  for (const Shaped& e : cases) {
    std::optional<LineHeading> h = ReadHeading(e.line, kAllPresets);
    ASSERT_TRUE(h.has_value()) << e.shape << " " << (e.number ? *e.number : -1);
    EXPECT_EQ(h->shape, e.shape) << (e.number ? *e.number : -1);
    EXPECT_EQ(h->number, e.number) << e.shape;
    EXPECT_EQ(h->doubtful, e.doubtful) << e.shape << " " << (e.number ? *e.number : -1);
  }
  // A figure for a title (a time, a score) and a bare number can be told from a heading only by
  // the numbering; a volume and its first chapter on one line start the chapters again.
  for (std::u32string_view line : {U"第四节 3:39", U"第2节 98比95", U"（一）", U"12.", U"第3章 12 : 30"}) {
    EXPECT_TRUE(ReadHeading(line, kAllPresets)->loose);
  }
  EXPECT_FALSE(ReadHeading(U"第四节 3点39分的约定", kAllPresets)->loose);
  EXPECT_EQ(ReadHeading(U"卷一 江湖", kAllPresets)->kind, HeadingKind::kVolume);
  EXPECT_FALSE(ReadHeading(U"卷起袖子", kAllPresets).has_value());
  EXPECT_FALSE(ReadHeading(U"Chapter onetwo", kAllPresets).has_value());
  EXPECT_FALSE(ReadHeading(U"一、二、三个人", kAllPresets).has_value());
  EXPECT_FALSE(ReadHeading(U"1、2、3，走", kAllPresets).has_value());
  EXPECT_TRUE(ReadHeading(U"一、二月春风", kAllPresets).has_value());
  EXPECT_FALSE(ReadHeading(U"（完）", kAllPresets).has_value());
  EXPECT_FALSE(ReadHeading(U"（一）他说", kAllPresets).has_value());
  EXPECT_FALSE(ReadHeading(U"【1】他说：“走吧。”我们就走了。", kAllPresets).has_value());
  EXPECT_TRUE(ReadHeading(U"第二卷 江湖 第一章 出发", kAllPresets)->restarts);
  // Part one of a title may start the numbers again.
  EXPECT_TRUE(ReadHeading(U"无法投递之邮件（1）", kAllPresets)->restarts);
  EXPECT_FALSE(ReadHeading(U"无法投递之邮件（2）", kAllPresets)->restarts);
}

TEST(HeadingForms, FindAHeadingGluedToTheEndOfAParagraph) {
  const std::u32string glued = U"    此章为吾书发凡，均纪实也。 第二章";
  EXPECT_EQ(GluedHeadingStart(glued), glued.size() - 3);
  EXPECT_EQ(GluedHeadingStart(U"他哭了！第十回  "), 4u);
  for (std::u32string line : {U"他翻到了第五章", U"第二章", U"此章为吾书发凡。 第二章 风起",
                              U"均纪实也。 第二天", U"均纪实也。 第二卷"}) {
    EXPECT_FALSE(GluedHeadingStart(line).has_value()) << line.size();
  }
}

TEST(HeadingForms, OnlyThePresetsAsked) {
  EXPECT_FALSE(ReadHeading(U"第二卷 江湖", kPresetChapter).has_value());
  EXPECT_FALSE(ReadHeading(U"第二章 江湖", kPresetVolume).has_value());
  EXPECT_FALSE(ReadHeading(U"12、夜雨", kPresetChapter).has_value());
  EXPECT_FALSE(ReadHeading(U"Chapter 1", kPresetChapter | kPresetNumbered).has_value());
  EXPECT_FALSE(ReadHeading(U"楔子", kPresetChapter).has_value());
  // A volume and a chapter on one line: without chapters asked for, it is the volume.
  std::optional<LineHeading> h = ReadHeading(U"第二卷 江湖 第十一章 初见", kPresetVolume);
  ASSERT_TRUE(h.has_value());
  EXPECT_EQ(h->kind, HeadingKind::kVolume);
  EXPECT_EQ(h->number, 2);
}

TEST(HeadingForms, PresetNamesAndFirstCharacters) {
  for (const PresetInfo& info : Presets()) {
    EXPECT_EQ(PresetByName(info.name), info.preset);
  }
  EXPECT_FALSE(PresetByName("chapters").has_value());
  EXPECT_EQ(PresetSetName(kPresetChapter | kPresetVolume), "chapter+volume");
  EXPECT_EQ(ParsePresetSet("chapter+volume"), kPresetChapter | kPresetVolume);
  EXPECT_EQ(ParsePresetSet("extra"), static_cast<PresetSet>(kPresetExtra));
  EXPECT_FALSE(ParsePresetSet("chapter+").has_value());
  EXPECT_FALSE(ParsePresetSet("").has_value());
  EXPECT_FALSE(ParsePresetSet("Chapter").has_value());
  for (char32_t c : {U'第', U'C', U'c', U'1', U'１', U'序', U'楔', U'尾', U'後', U'番', U'完',
                     U'【', U'〖', U'#', U'＃', U'☆', U'一', U'十', U'廿'}) {
    EXPECT_TRUE(CanBeginHeading(c)) << static_cast<uint32_t>(c);
  }
  for (char32_t c : {U'　', U'他', U'a', U'“'}) {
    EXPECT_FALSE(CanBeginHeading(c)) << static_cast<uint32_t>(c);
  }
}

}  // namespace
}  // namespace travik::chapters
