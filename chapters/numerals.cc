#include "chapters/numerals.h"

#include <string>

namespace travik::chapters {

namespace {

// The value of a numeral digit character, or -1.
int DigitValue(char32_t c) {
  switch (c) {
    case U'零': case U'〇': return 0;
    case U'一': case U'壹': case U'弌': return 1;
    case U'二': case U'两': case U'兩': case U'贰': case U'貳': case U'弍': return 2;
    case U'三': case U'叁': case U'參': case U'参': case U'弎': return 3;
    case U'四': case U'肆': return 4;
    case U'五': case U'伍': return 5;
    case U'六': case U'陆': case U'陸': return 6;
    case U'七': case U'柒': return 7;
    case U'八': case U'捌': return 8;
    case U'九': case U'玖': return 9;
    default: return -1;
  }
}

// The value of a unit character, or 0.
int64_t UnitValue(char32_t c) {
  switch (c) {
    case U'十': case U'拾': return 10;
    case U'百': case U'佰': return 100;
    case U'千': case U'仟': return 1000;
    case U'万': case U'萬': return 10'000;
    case U'亿': case U'億': return 100'000'000;
    default: return 0;
  }
}

// 廿 20, 卅 30, 卌 40: a digit and 十 in one character (第廿一回).
int TensValue(char32_t c) {
  switch (c) {
    case U'廿': return 2;
    case U'卅': return 3;
    case U'卌': return 4;
    default: return 0;
  }
}

std::optional<int64_t> Capped(int64_t value) {
  if (value < 0 || value > kMaxHeadingNumber) return std::nullopt;
  return value;
}

}  // namespace

bool IsDigitChar(char32_t c) { return (c >= U'0' && c <= U'9') || (c >= U'０' && c <= U'９'); }

bool IsChineseNumeralChar(char32_t c) {
  return DigitValue(c) >= 0 || UnitValue(c) > 0 || TensValue(c) > 0;
}

std::optional<int64_t> ParseDigits(std::u32string_view digits) {
  if (digits.empty()) return std::nullopt;
  int64_t value = 0;
  for (char32_t c : digits) {
    if (!IsDigitChar(c)) return std::nullopt;
    int d = c <= U'9' ? static_cast<int>(c - U'0') : static_cast<int>(c - U'０');
    value = value * 10 + d;
    if (value > kMaxHeadingNumber) return std::nullopt;
  }
  return value;
}

std::optional<int64_t> ParseChineseNumeral(std::u32string_view written) {
  if (written.empty()) return std::nullopt;
  // 廿一 reads as 二十一.
  std::u32string expanded;
  for (char32_t c : written) {
    if (const int tens = TensValue(c); tens > 0) {
      expanded += U"零一二三四"[tens];
      expanded += U'十';
    } else {
      expanded += c;
    }
  }
  const std::u32string_view numeral = expanded;
  bool has_unit = false;
  for (char32_t c : numeral) {
    if (!IsChineseNumeralChar(c)) return std::nullopt;
    if (UnitValue(c) > 0) has_unit = true;
  }
  if (!has_unit) {
    // 一〇五: read digit by digit, as years and some chapter numbers are written.
    int64_t value = 0;
    for (char32_t c : numeral) {
      value = value * 10 + DigitValue(c);
      if (value > kMaxHeadingNumber) return std::nullopt;
    }
    return value;
  }

  int64_t total = 0;
  int64_t section = 0;            // the part below the current 万 / 亿
  int digit = -1;                 // a digit waiting for its unit
  int previous_digit = -1;        // the digit before it (two in a row only after 零)
  int64_t section_unit = 100000;  // units within a section must fall: 千, then 百, then 十
  int64_t big_unit = INT64_MAX;   // 亿 before 万
  bool section_started = false;
  for (char32_t c : numeral) {
    int d = DigitValue(c);
    if (d >= 0) {
      if (digit > 0 || (digit == 0 && previous_digit == 0)) return std::nullopt;  // 一二, 零零
      previous_digit = digit;
      digit = d;
      section_started = true;
      continue;
    }
    int64_t unit = UnitValue(c);
    if (unit >= 10'000) {
      if (digit > 0) section += digit;
      if (section == 0 || unit >= big_unit) return std::nullopt;  // 万 alone, 万万
      total += section * unit;
      big_unit = unit;
      section = 0;
      section_unit = 100000;
      section_started = false;
    } else {
      if (digit < 0) {
        // 十 and 十一 stand for 一十: only 十, at the start of a section or right after 百
        // (一百十 is 110, as older texts write it).
        if (unit != 10 || (section_started && section_unit != 100)) return std::nullopt;
        digit = 1;
      }
      if (digit == 0 || unit >= section_unit) return std::nullopt;  // 零十, 十十, 十百
      section += digit * unit;
      section_unit = unit;
      section_started = true;
    }
    digit = -1;
    previous_digit = -1;
    if (total + section > kMaxHeadingNumber) return std::nullopt;
  }
  if (digit > 0) section += digit;
  return Capped(total + section);
}

std::optional<int64_t> ParseNumber(std::u32string_view text) {
  if (!text.empty() && IsDigitChar(text.front())) return ParseDigits(text);
  return ParseChineseNumeral(text);
}

}  // namespace travik::chapters
