// The one place where text changes encoding. Inside the program every text is GBK (code page
// 936); the system boundary takes UTF-16 on Windows and UTF-8 on Linux.
#ifndef TRAVIK_TEXT_CODEPAGE_H_
#define TRAVIK_TEXT_CODEPAGE_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "text/encoding.h"

namespace travik {

// GBK to UTF-8. False (and *out unchanged) when the bytes are not valid code page 936 text.
bool GbkToUtf8(std::string_view gbk, std::string* out);
// UTF-8 to GBK. False when the text is not valid UTF-8 or holds a character GBK lacks.
bool Utf8ToGbk(std::string_view utf8, std::string* out);

// Lossy forms for display only: invalid bytes become "?".
std::string GbkToUtf8Lossy(std::string_view gbk);

// The text converted from one encoding (GBK, GB18030 or UTF-8) to another. False, with *out
// unchanged, when the text is not valid in `from` or a character has no form in `to` (only GBK
// lacks some); never substitutes. The same encoding on both sides copies the text unchecked.
// UTF-16 on either side is false. A byte-order mark is a character (U+FEFF) here: strip it first.
bool ConvertText(std::string_view text, Encoding from, Encoding to, std::string* out);

// A text the user typed (a keyword, a text to insert, a custom name) in a file's encoding. Typed
// texts are GBK, with the four-byte GB18030 form for a character GBK lacks (the command line
// passes such characters that way). False, *out unchanged, when `to` cannot hold a character.
bool ConvertTypedText(std::string_view typed, Encoding to, std::string* out);
// A typed text as the command line takes it: GBK where GBK holds every character, else GB18030.
// False when the UTF-8 is invalid.
bool Utf8ToTypedText(std::string_view utf8, std::string* out);

// The code points of a text in GBK, GB18030 or UTF-8. False when the text is not valid in it.
bool DecodeText(std::string_view text, Encoding encoding, std::u32string* out);

// The code point of each two-byte sequence (lead, trail) for trail 0x00 ... 0xFF in turn: 0 where
// code page 936 does not decode the pair as exactly one character.
void DecodeGbkPairs(unsigned char lead, uint32_t out[256]);

#ifdef _WIN32
// GBK to UTF-16 with code page 936, whatever the system's code page. False on invalid bytes.
bool GbkToWide(std::string_view gbk, std::wstring* out);
// UTF-16 to GBK. False when a character has no exact code page 936 form.
bool WideToGbk(std::wstring_view wide, std::string* out);
// UTF-16 as a typed text (see ConvertTypedText): GBK where GBK holds every character, else
// GB18030. False when the UTF-16 is invalid (a lone surrogate).
bool WideToTypedText(std::wstring_view wide, std::string* out);
// Lossy forms for display: never fail.
std::wstring GbkToWideLossy(std::string_view gbk);
std::string WideToGbkLossy(std::wstring_view wide);
#endif

}  // namespace travik

#endif  // TRAVIK_TEXT_CODEPAGE_H_
