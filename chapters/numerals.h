// Chapter numbers as novels write them: Arabic digits, full-width digits and Chinese numerals
// (simplified, traditional and the financial forms). Works on decoded characters, so that the same
// rules hold whatever the file's encoding.
#ifndef TRAVIK_CHAPTERS_NUMERALS_H_
#define TRAVIK_CHAPTERS_NUMERALS_H_

#include <cstdint>
#include <optional>
#include <string_view>

namespace travik::chapters {

// Largest number a heading may carry; longer runs are not chapter numbers.
inline constexpr int64_t kMaxHeadingNumber = 999'999'999;

// True for 0-9 and the full-width digits ０-９.
bool IsDigitChar(char32_t c);
// True for the characters that make up a Chinese numeral: 零〇一二两三四五六七八九十百千万 and
// their traditional and financial forms (壹贰叁肆伍陆柒捌玖拾佰仟, 兩貳參陸萬 …).
bool IsChineseNumeralChar(char32_t c);

// The value of a run of Arabic or full-width digits ("０１２" is 12); nothing when the run is
// empty, holds another character, or exceeds kMaxHeadingNumber.
std::optional<int64_t> ParseDigits(std::u32string_view digits);

// The value of a Chinese numeral: 十 10, 十一 11, 二十 20, 一百零五 105, 一百一十 110, 两百 200,
// 一千零一十 1010, 〇 0, 壹佰零伍 105, 三万零一 30001. A run of bare digits without units reads
// digit by digit (一〇五 105). Nothing when the text is empty, holds another character or is
// malformed (十十, 百五).
std::optional<int64_t> ParseChineseNumeral(std::u32string_view numeral);

// Either form: digits first, then Chinese numerals.
std::optional<int64_t> ParseNumber(std::u32string_view text);

}  // namespace travik::chapters

#endif  // TRAVIK_CHAPTERS_NUMERALS_H_
