// GB18030 (2022 edition) decoding and encoding of our own, the same on every system (some
// systems have no GB18030 converter). Two-byte codes are those of code page 936 plus the codes
// GB18030 defines where code page 936 has none or a private-use value; four-byte codes below
// 84 31 A4 39 take, in order, the BMP characters that the two-byte codes do not hold; from
// 90 30 81 30 on they count up from U+10000.
#ifndef TRAVIK_TEXT_GB18030_H_
#define TRAVIK_TEXT_GB18030_H_

#include <string>
#include <string_view>

namespace travik {

// The code point of a two-byte code (lead 81-FE, trail 40-7E or 80-FE); 0 where none.
char32_t Gb18030PairValue(unsigned char lead, unsigned char trail);
// The code point of a four-byte code (each byte in its range); 0 where none.
char32_t Gb18030FourByteValue(const unsigned char* p);

// The code points of a GB18030 text. False on a byte sequence that is no GB18030 character.
bool DecodeGb18030(std::string_view text, std::u32string* out);
// The GB18030 form of code points. False on a surrogate or a value above U+10FFFF: GB18030
// holds every other character.
bool EncodeGb18030(std::u32string_view code_points, std::string* out);

}  // namespace travik

#endif  // TRAVIK_TEXT_GB18030_H_
