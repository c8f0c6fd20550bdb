// Big5 as code page 950 reads it, decoded and encoded by a table of our own (text/big5_table.inc)
// so that every system reads a Big5 text alike. A character is one byte below 0x80 or a pair:
// lead 81-FE, trail 40-7E or A1-FE. The user-defined rows (81-A0, FA-FE, and C6A1-C8FE) hold
// private-use values, as Windows decodes them.
#ifndef TRAVIK_TEXT_BIG5_H_
#define TRAVIK_TEXT_BIG5_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace travik {

// The code point of a pair; 0 where the pair is no character.
char32_t Big5PairValue(unsigned char lead, unsigned char trail);

// The pair (lead << 8 | trail) that writes a code point; 0 where Big5 has none (ASCII included).
// Of the few code points two pairs decode to, the one Windows writes.
uint16_t Big5CodeOf(char32_t code_point);

// The offset of the first character of the text that is no Big5 character: a byte 0x80 or 0xFF,
// a lead byte without a trail from the table, or a lead byte at the end. The size when none.
size_t FirstInvalidBig5Char(std::string_view text);

// The code points of a Big5 text. False when a character is not valid.
bool DecodeBig5(std::string_view text, std::u32string* out);
// The Big5 form of code points. False when Big5 lacks one of them.
bool EncodeBig5(std::u32string_view code_points, std::string* out);

// Where Big5 characters of the table's first level (A440-C67E, the frequently used characters)
// lie: true for the code point of one of them.
bool IsBig5FirstLevel(char32_t code_point);

}  // namespace travik

#endif  // TRAVIK_TEXT_BIG5_H_
