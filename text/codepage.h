// The one place where text changes encoding. The program's own strings (messages, typed text,
// names, paths) are UTF-8; a file's text stays in its own encoding. The system boundary takes
// UTF-16 on Windows (Utf8ToWide, WideToUtf8) and the bytes as they are on Linux.
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

// The text converted from one encoding (GBK, GB18030, UTF-8 or Big5) to another. False, with
// *out unchanged, when the text is not valid in `from` or a character has no form in `to` (GBK
// and Big5 lack some); never substitutes. The same encoding on both sides copies the text unchecked.
// UTF-16 on either side is false. A byte-order mark is a character (U+FEFF) here: strip it first.
bool ConvertText(std::string_view text, Encoding from, Encoding to, std::string* out);

// A text the user typed (a keyword, a text to insert, a custom name; UTF-8) in a file's encoding.
// False, *out unchanged, when the typed text is not valid UTF-8 or `to` cannot hold a character.
bool ConvertTypedText(std::string_view typed, Encoding to, std::string* out);

// True when the bytes are well-formed UTF-8 (the empty text is).
bool IsValidUtf8(std::string_view text);

// A file's text as UTF-8 for showing to a person: bytes that are no character of the encoding
// become U+FFFD. Never fails; not for writing back into a file.
std::string ToUtf8Lossy(std::string_view text, Encoding encoding);

// UTF-8 to UTF-16 (Windows) or UTF-32 (elsewhere), for the wide system calls. Never fails: a byte
// that begins no character becomes U+FFFD, and the three-byte form of a lone surrogate (which
// WideToUtf8 writes for a name holding one) gives that surrogate back.
std::wstring Utf8ToWide(std::string_view utf8);
// The other way. Never fails: a lone surrogate keeps its three-byte form, so that any name the
// system gives comes back unchanged through Utf8ToWide.
std::string WideToUtf8(std::wstring_view wide);

// The code points of a text in GBK, GB18030, UTF-8 or Big5. False when the text is not valid in it.
bool DecodeText(std::string_view text, Encoding encoding, std::u32string* out);

// The code point of each two-byte sequence (lead, trail) for trail 0x00 ... 0xFF in turn: 0 where
// code page 936 does not decode the pair as exactly one character.
void DecodeGbkPairs(unsigned char lead, uint32_t out[256]);


}  // namespace travik

#endif  // TRAVIK_TEXT_CODEPAGE_H_
