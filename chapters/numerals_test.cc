#include "chapters/numerals.h"

#include <gtest/gtest.h>

#include <string>

namespace travik::chapters {
namespace {

TEST(ChineseNumerals, ReadTheFormsNovelsUse) {
  const struct {
    std::u32string text;
    int64_t value;
  } cases[] = {
      {U"十", 10},           {U"十一", 11},         {U"二十", 20},       {U"一百零五", 105},
      {U"一百一十", 110},     {U"两百", 200},        {U"一千零一十", 1010}, {U"〇", 0},
      {U"壹佰零伍", 105},     {U"零", 0},            {U"一", 1},          {U"九十九", 99},
      {U"一百", 100},         {U"三千五百二十一", 3521}, {U"一万", 10000},  {U"三万零一", 30001},
      {U"十万零三百", 100300}, {U"兩百貳拾", 220},     {U"拾柒", 17},        {U"一〇五", 105},
      {U"二〇二三", 2023},     {U"陸佰陸拾陸", 666},   {U"一亿", 100000000},
      // 110-119 without 一 before 十, as older novels number their 回; 廿 卅 卌.
      {U"一百十", 110},       {U"一百十九", 119},     {U"二百十五", 215},    {U"廿", 20},
      {U"廿一", 21},          {U"卅", 30},           {U"卅五", 35},        {U"卌", 40},
      {U"一百廿", 120},
  };
  for (const auto& c : cases) {
    std::optional<int64_t> value = ParseChineseNumeral(c.text);
    ASSERT_TRUE(value.has_value()) << c.value;
    EXPECT_EQ(*value, c.value);
    EXPECT_EQ(ParseNumber(c.text), c.value);
  }
}

TEST(ChineseNumerals, RefuseWhatIsNoNumber) {
  for (std::u32string text : {U"", U"十十", U"百五", U"零十", U"十百", U"万", U"一二百", U"万万",
                              U"一万万", U"第一", U"一a", U"零零五十",
                              U"一千十", U"廿十", U"十廿", U"一百十十"}) {
    EXPECT_FALSE(ParseChineseNumeral(text).has_value()) << text.size();
  }
}

TEST(Digits, ReadArabicAndFullWidthDigits) {
  EXPECT_EQ(ParseDigits(U"012"), 12);
  EXPECT_EQ(ParseDigits(U"０１２"), 12);
  EXPECT_EQ(ParseDigits(U"1０2"), 102);
  EXPECT_EQ(ParseNumber(U"007"), 7);
  EXPECT_EQ(ParseDigits(U"999999999"), 999999999);
  EXPECT_FALSE(ParseDigits(U"1000000000").has_value());
  EXPECT_FALSE(ParseDigits(U"").has_value());
  EXPECT_FALSE(ParseDigits(U"12a").has_value());
  EXPECT_FALSE(ParseDigits(U"十二").has_value());
  EXPECT_TRUE(IsDigitChar(U'９'));
  EXPECT_FALSE(IsDigitChar(U'九'));
}

// Writes n as a Chinese numeral the way a book does: 一百零五, 十一 (not 一十一), 一千零一十,
// 三万零一. The literal model of the rules, written from the other direction.
std::u32string WriteChinese(int64_t n) {
  static const char32_t kDigits[] = U"零一二三四五六七八九";
  static const char32_t kUnits[] = {0, U'十', U'百', U'千'};
  if (n == 0) return U"零";
  auto section = [&](int64_t s, bool leading) {
    std::u32string out;
    bool zero = false;
    for (int place = 3; place >= 0; --place) {
      int64_t p = 1;
      for (int i = 0; i < place; ++i) p *= 10;
      int d = static_cast<int>(s / p % 10);
      if (d == 0) {
        if (!out.empty() || !leading) zero = true;
        continue;
      }
      if (zero && (!out.empty() || !leading)) out += U'零';
      zero = false;
      if (!(d == 1 && place == 1 && out.empty() && leading)) out += kDigits[d];
      if (place > 0) out += kUnits[place];
    }
    return out;
  };
  std::u32string out;
  int64_t high = n / 10000, low = n % 10000;
  if (high > 0) out = section(high, true) + U"万";
  if (low > 0) {
    if (high > 0 && low < 1000) out += U'零';
    std::u32string rest = section(low, high == 0);
    // A section after 万 that begins with its own 零 has it already.
    if (!out.empty() && out.back() == U'零' && !rest.empty() && rest.front() == U'零') {
      rest.erase(0, 1);
    }
    out += rest;
  }
  return out;
}

TEST(ChineseNumerals, ReadBackEveryNumberUpToAHundredThousand) {
  EXPECT_EQ(WriteChinese(105), U"一百零五");
  EXPECT_EQ(WriteChinese(11), U"十一");
  EXPECT_EQ(WriteChinese(1010), U"一千零一十");
  EXPECT_EQ(WriteChinese(30001), U"三万零一");
  for (int64_t n = 0; n <= 100000; ++n) {
    std::u32string text = WriteChinese(n);
    std::optional<int64_t> value = ParseChineseNumeral(text);
    ASSERT_TRUE(value.has_value()) << n;
    ASSERT_EQ(*value, n);
  }
}

}  // namespace
}  // namespace travik::chapters
