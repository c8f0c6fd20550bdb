// Byte-string operations on code page 936 (GBK) text, and the few that read a typed text (UTF-8).
//
// A text is a std::string of GBK bytes: never hand a UTF-8 string to the stepping operations
// (their double-byte rule would read a "\\" after a three-byte character as its second byte). A
// byte with the high bit set is a lead byte and forms one character with the byte after it.
// Positions are 1-based; -1 means "not found". The search operations step over double-byte
// characters; the slicing operations do not.
#ifndef TRAVIK_TEXT_TEXT_H_
#define TRAVIK_TEXT_TEXT_H_

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace travik {

using ByteArray = std::string;

// Marks an omitted `start` argument of FindTextReverse (search the whole text).
inline constexpr int kWholeText = INT32_MIN;

// True for a byte that begins a double-byte character (high bit set).
inline bool IsLeadByte(unsigned char c) { return c >= 0x80; }

// Number of bytes of the text.
int TextLength(std::string_view text);

// Concatenation of all parts in order.
std::string JoinText(std::initializer_list<std::string_view> parts);
template <typename... Parts>
std::string JoinText(const Parts&... parts) {
  return JoinText({std::string_view(parts)...});
}

// Byte-wise comparison of unsigned byte values: negative, 0 or positive, like strcmp.
int CompareText(std::string_view a, std::string_view b);

// The first min(n, length) bytes; empty when n <= 0.
std::string LeftText(std::string_view text, int n);
// The last min(n, length) bytes; empty when n <= 0.
std::string RightText(std::string_view text, int n);
// At most n bytes from 1-based `start`; empty when start < 1, start > length or n <= 0.
std::string MidText(std::string_view text, int start, int n);

// The byte at 1-based `pos` as a signed value (-128..127); 0 when pos is out of range.
int CharCodeAt(std::string_view text, int pos);

// Position of the first occurrence of `sought` at or after `start` (values below 1 count as 1),
// stepping over double-byte characters from byte start-1; -1 when absent. An empty `sought`
// gives 1 when the region is non-empty, else -1.
int FindText(std::string_view text, std::string_view sought, int start = 1);

// Position of the last occurrence lying completely within the first start-1 bytes (the whole
// text when start is kWholeText), found by double-byte stepping from byte 0; -1 when absent.
int FindTextReverse(std::string_view text, std::string_view sought, int start = kWholeText);

// A typed text (UTF-8) without leading and trailing runs of ASCII and ideographic spaces (U+3000).
std::string TrimSpaces(std::string_view text);

// n ASCII spaces; empty when n < 1.
std::string SpaceText(int n);

// A typed text (UTF-8) with full-width forms folded to ASCII: U+FF01..U+FF5E to "!".."~", the
// ideographic space to " ", ￥ to "$", ￣ to "~", ☆ and ★ to "*".
std::string FoldFullWidth(std::string_view text);

// atoi of a typed text after full-width folding; 0 when there are no digits. Saturates at the 32-bit range.
int TextToInt(std::string_view text);
// Truncation toward zero, saturated at the 32-bit range.
int TextToInt(double value);
// atof after full-width folding; 0 when there is no number.
double TextToNumber(std::string_view text);

// Decimal form of an integer.
std::string NumberToText(int value);
// printf "%.13g" form of a number.
std::string NumberToText(double value);

// The text's bytes as a counted array.
ByteArray ToByteArray(std::string_view text);

// The number rounded to single precision.
float ToSingle(double value);

// Whole part of a non-negative x, rounded up when the fraction exceeds 0.999999999999.
int IntegerPart(double x);
// x rounded to `digits` decimal places, half away from zero, with a 1e-12 nudge.
double RoundTo(double x, int digits = 0);
// fmod: the remainder with the sign of x.
double Remainder(double x, double d);

// Sorts in place, ascending or descending.
void SortIntegers(std::vector<int>& values, bool ascending = true);

// Tracks character boundaries of one text while being asked about non-decreasing offsets.
// Boundaries are those of double-byte stepping from byte `origin`. Amortised O(1) per query.
class BoundaryCursor {
 public:
  BoundaryCursor(std::string_view text, size_t origin = 0) : text_(text), known_(origin) {}

  // True when byte `offset` (>= origin, non-decreasing between calls) begins a character.
  bool IsCharStart(size_t offset);

 private:
  std::string_view text_;
  size_t known_;  // a known character start, <= every later query
};

}  // namespace travik

#endif  // TRAVIK_TEXT_TEXT_H_
