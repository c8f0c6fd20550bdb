// Characters of a text: which encoding it is in, where each character begins and ends, and which
// code point it is. Cuts, insertion points and the searches step through text here only.
#ifndef TRAVIK_TEXT_ENCODING_H_
#define TRAVIK_TEXT_ENCODING_H_

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace travik {

// A character's value as the pattern engine sees it. Every code point GBK can hold lies in the
// Basic Multilingual Plane, so a 16-bit wchar_t (Windows) holds it as well as a 32-bit one.
using CharValue = wchar_t;

// Values that no GBK character has. Bytes of the text that code page 936 does not decode (a lead
// byte with a trail it does not know, or a lone lead byte at the end) give kUndecodableBase plus
// the lead byte: a low surrogate, never a character. Undecodable bytes in a pattern give
// kUnmatchable instead, so they match no byte of any text.
inline constexpr CharValue kUndecodableBase = 0xDC00;
inline constexpr CharValue kUnmatchable = 0xFFFF;

// The byte length of the character that begins at p (p < end): 2 for a lead byte with a byte
// after it, else 1. The same rule as double-byte stepping everywhere else.
inline size_t GbkCharLength(const char* p, const char* end) {
  return IsLeadByte(static_cast<unsigned char>(*p)) && p + 1 < end ? 2 : 1;
}

// The encodings a text can be in. GBK is code page 936 with the double-byte rule of text.h;
// Big5 is code page 950 (text/big5.h), stepped by the same rule; UTF-16 is only recognised,
// never worked in.
enum class Encoding { kGbk, kGb18030, kUtf8, kUtf16Le, kUtf16Be, kBig5 };

// The encoding's name as the user reads it: "GBK", "GB18030", "UTF-8", "UTF-16LE", "UTF-16BE",
// "Big5".
const char* EncodingName(Encoding encoding);

// True for the encodings the jobs work in (GBK, GB18030, UTF-8, Big5); false for UTF-16.
inline bool IsWorkingEncoding(Encoding encoding) {
  return encoding == Encoding::kGbk || encoding == Encoding::kGb18030 ||
         encoding == Encoding::kUtf8 || encoding == Encoding::kBig5;
}

// How a file's encoding is decided: recognised from its bytes (DetectEncoding), or as the user
// gave it (--encoding, or the file list's right-click menu).
enum class EncodingChoice { kAuto, kGbk, kGb18030, kUtf8, kBig5 };

// The encoding a choice names; kAuto gives GBK (call DetectEncoding instead).
Encoding ChosenEncoding(EncodingChoice choice);
// The choice as the window's menu shows it: "自动", "GBK", "GB18030", "UTF-8", "Big5".
const char* EncodingChoiceName(EncodingChoice choice);
// The choice named on the command line: auto, gbk, gb18030, utf-8 (or utf8), big5, in any case.
// False, *choice unchanged, for any other text.
bool ParseEncodingChoice(std::string_view text, EncodingChoice* choice);

// What detection found: the encoding, and the length of the byte-order mark the text starts
// with (0 when it has none).
struct DetectedEncoding {
  Encoding encoding = Encoding::kGbk;
  size_t mark_length = 0;
  // The bytes were valid in another encoding too and the evidence for this one is slight (a few
  // characters). Shown where the verdict is GBK ("GBK?"): short UTF-8 is what it looks like.
  bool weak = false;
  // UTF-8 recognised with a few bytes that begin no character (at most
  // InvalidByteAllowance): how many, and where the first stands. Each is a unit of its own.
  size_t invalid = 0;
  size_t first_invalid = 0;
};

// How many bytes that begin no character a text of `size` bytes may hold and still be the
// encoding it mostly is (a stray byte left by an editor): one per 64 KiB, at least one.
inline size_t InvalidByteAllowance(size_t size) { return 1 + size / 65536; }

// The encoding of a whole text, read once. A byte-order mark decides (EF BB BF UTF-8, FF FE
// UTF-16LE, FE FF UTF-16BE). Without one, in this order: valid UTF-8 holding at least one
// multi-byte sequence is UTF-8 unless its GBK reading is the more plausible text
// (WeighUtf8AgainstGbk), and so is UTF-8 with a few bytes that begin no character (up to
// InvalidByteAllowance) when the evidence for UTF-8 is strong; zero bytes (not counting a run of 4 or more 0x00 and 0x1A bytes padding the end) at one parity of position, more than at the other and
// at least 2 and 1% of the byte pairs, are UTF-16 (its byte order by Utf16ByteOrder); a
// four-byte sequence met while stepping as GB18030 makes GB18030; a text that would be GBK is
// Big5 when every character is valid Big5 and its Big5 reading is the more plausible text
// (WeighGbkAgainstBig5); anything else, pure ASCII and the empty text included, is GBK.
DetectedEncoding DetectEncoding(std::string_view text);

// The byte order of a text found to be UTF-16 by its zero bytes: the order in which more of its
// first pairs read as text (ASCII, CJK, their punctuation); where both read alike, little-endian
// when the zeros stand at odd positions (`zeros_odd`).
Encoding Utf16ByteOrder(std::string_view text, bool zeros_odd);

// The offset of the first character of a GBK text that code page 936 does not hold: a lead byte
// 0xFF, a lead with a trail no pair has, or a pair the code page leaves unassigned (user-defined
// pairs and 0x80, the euro sign, count as characters); the size when every character is held.
size_t FirstInvalidGbkChar(std::string_view text);

// The length of the byte-order mark of `encoding` at the start of the text: 3 for EF BB BF in
// UTF-8, 2 for FF FE / FE FF in UTF-16LE / UTF-16BE, else 0 (GBK and GB18030 have none).
size_t ByteOrderMarkLength(std::string_view text, Encoding encoding);

// The byte length of a well-formed UTF-8 character at p (p < end), or 0 when p begins no
// well-formed character (a continuation byte, C0, C1, F5-FF, an overlong or surrogate form, a
// value above U+10FFFF, or a sequence cut short by `end`).
size_t Utf8SequenceLength(const char* p, const char* end);

// The byte length of a GB18030 character at p (p < end): 1 for a byte below 0x80; 2 for a lead
// byte 81-FE with a trail 40-7E or 80-FE; 4 for 81-FE 30-39 81-FE 30-39; 0 when none of these
// begins at p (0x80, 0xFF, a lead with any other byte after it, or a sequence cut short by end).
size_t Gb18030SequenceLength(const char* p, const char* end);

// Where the character that begins at p (p < end) ends, as a byte length of 1 to 4 that never
// reaches past `end`. GBK: 2 for a lead byte with a byte after it, else 1 (GbkCharLength).
// UTF-8 and GB18030: the well-formed sequence's length; a byte that begins none is a character
// of its own. Big5 and UTF-16 step like GBK (UTF-16 is never worked in).
inline size_t CharLength(Encoding encoding, const char* p, const char* end) {
  switch (encoding) {
    case Encoding::kUtf8: {
      if (static_cast<unsigned char>(*p) < 0x80) return 1;
      const size_t n = Utf8SequenceLength(p, end);
      return n ? n : 1;
    }
    case Encoding::kGb18030: {
      if (static_cast<unsigned char>(*p) < 0x80) return 1;
      const size_t n = Gb18030SequenceLength(p, end);
      return n ? n : 1;
    }
    default:
      return GbkCharLength(p, end);
  }
}

// Character boundaries of one text, stepping by CharLength from byte `origin`, asked about
// non-decreasing offsets. Each query costs amortised O(1): a query looks back only to the last
// place it knows for a boundary (for GB18030 also no further than a byte that can only begin a
// character). The text's end is a boundary.
class CharCursor {
 public:
  CharCursor(std::string_view text, Encoding encoding, size_t origin = 0)
      : text_(text), encoding_(encoding), known_(origin), origin_(origin) {}

  // True when byte `offset` (non-decreasing between calls) begins a character or is the end;
  // false for an offset before the origin or past the end.
  bool IsCharStart(size_t offset);
  // The first boundary at or after `offset` (non-decreasing between calls); the text's size when
  // `offset` is at or past the end. Where a character covers `offset`, the end of that character.
  size_t NextBoundary(size_t offset);

 private:
  std::string_view text_;
  Encoding encoding_;
  size_t known_;   // a boundary, <= every later query
  size_t origin_;
};

// DetectEncoding on a text whose bytes arrive in order, so that a reader can look at each block
// while it is still in the cache: Advance(k) once the first k bytes are in place (k non-decreasing),
// Finish() once all are. The view may reach past the bytes in place; no byte at or past the last
// `available` is read before Finish. Finish gives exactly what DetectEncoding gives.
class EncodingDetector {
 public:
  explicit EncodingDetector(std::string_view text);
  void Advance(size_t available);
  // The same, with the bytes [window_begin, window_begin + window.size()) also in `window`, a
  // copy the caller keeps until the next Advance or Finish: the detector reads them there, and
  // goes to `text` only for bytes the window lacks. Lets a reader that copies a mapped file
  // block by block keep the mapping's pages out of memory. The result does not change.
  void Advance(size_t available, std::string_view window, size_t window_begin);
  DetectedEncoding Finish();
  // True when what has been looked at so far rules out a byte-order mark, UTF-8 and GB18030's
  // four-byte characters: the text is GBK unless later bytes say otherwise.
  bool GbkSoFar() const { return mark_checked_ && mark_length_ == 0 && !utf8_ && !four_byte_; }
  // True when what has been looked at so far is well-formed UTF-8 with a multi-byte character
  // and no byte-order mark: the text is UTF-8 unless later bytes say otherwise.
  bool Utf8SoFar() const {
    return mark_checked_ && mark_length_ == 0 && utf8_ && multi_byte_ && invalid_ == 0;
  }

 private:
  bool InWindow(size_t at, size_t length) const;
  const unsigned char* BytesAt(size_t at, size_t length) const;  // from the window or the text
  unsigned char ByteAt(size_t at) const;
  bool Marked();          // the text begins with a byte-order mark (looked at once)
  void Scan(size_t end);  // the UTF-8 check, then the 64-byte blocks, up to `end`

  std::string_view text_;
  std::string_view window_;
  size_t window_begin_ = 0;
  bool mark_checked_ = false;
  size_t mark_length_ = 0;
  Encoding marked_ = Encoding::kGbk;  // the mark's encoding when mark_length_ > 0
  size_t scanned_ = 0;                // blocks before this are counted (a multiple of 64)
  bool utf8_ = true;                  // valid UTF-8 up to utf8_at_
  bool multi_byte_ = false;           // a multi-byte UTF-8 sequence was seen
  size_t utf8_at_ = 0;
  size_t invalid_ = 0;                // bytes that begin no UTF-8 character, tolerated so far
  size_t first_invalid_ = 0;
  size_t zero_even_ = 0, zero_odd_ = 0;
  bool four_byte_ = false;
  CharCursor gb18030_;
  uint64_t previous_digits_ = 0;
};

// A length, on a character boundary, up to which the text is certainly well-formed UTF-8: every
// byte before it belongs to a complete, well-formed character. It may stop short of the longest
// such prefix (callers step on from it); 0 where no vector unit helps.
size_t Utf8WellFormedPrefix(std::string_view text);

// Whether a whole text holds only complete characters of the encoding.
enum class TextCheck {
  kValid,     // every byte belongs to a well-formed character
  kCutShort,  // valid up to a character the end cuts off
  kInvalid,   // a byte begins no character of the encoding
};
struct TextCheckResult {
  TextCheck check = TextCheck::kValid;
  size_t offset = 0;  // where the cut-off or invalid character begins (the size when valid)
};

// Checks the text (without its byte-order mark) in the encoding. GBK is never invalid: it is cut
// short only when it ends on a lead byte, as the reader has always said. Big5 is invalid at a
// pair code page 950 does not decode and at 0x80 or 0xFF. UTF-16 is always invalid (offset 0).
TextCheckResult CheckText(std::string_view text, Encoding encoding);

// The table of double-byte values, indexed by (lead - 0x80) * 256 + trail. Built once, on first
// use, from the program's code-page decoder; safe to call from any thread.
const CharValue* GbkPairTable();

// The two-byte GBK code (lead << 8 | trail) of a character, or 0 when GBK has no double-byte
// form for it (ASCII included). Built once from GbkPairTable; safe from any thread.
uint16_t GbkCodeOf(char32_t code_point);

// The value of the character that begins at p (p < end).
inline CharValue GbkCharValue(const char* p, const char* end, const CharValue* table) {
  const unsigned char c = static_cast<unsigned char>(*p);
  if (!IsLeadByte(c)) return c;
  if (p + 1 == end) return static_cast<CharValue>(kUndecodableBase + c);
  return table[(c - 0x80) * 256 + static_cast<unsigned char>(p[1])];
}

// Which bytes of one text begin a character (one bit per byte, built in one pass), so that
// stepping back one character costs O(1).
class CharStarts {
 public:
  explicit CharStarts(std::string_view text);
  bool IsStart(size_t offset) const { return (bits_[offset >> 6] >> (offset & 63)) & 1; }

 private:
  std::vector<uint64_t> bits_;
};

// The text a search runs over: its bytes, its character starts and the decoding table. It must
// outlive every iterator made on it.
struct GbkSearchText {
  explicit GbkSearchText(std::string_view text)
      : begin(text.data()), end(text.data() + text.size()), starts(text), table(GbkPairTable()) {}
  const char* begin;
  const char* end;
  CharStarts starts;
  const CharValue* table;
};

// A bidirectional iterator over the characters of a GBK text: it stands on a character's first
// byte and yields its value, decoded as it is read.
class GbkCharIterator {
 public:
  using iterator_category = std::bidirectional_iterator_tag;
  using value_type = CharValue;
  using difference_type = std::ptrdiff_t;
  using pointer = const CharValue*;
  using reference = CharValue;

  GbkCharIterator() = default;
  GbkCharIterator(const char* at, const GbkSearchText* text) : at_(at), text_(text) {}

  CharValue operator*() const { return GbkCharValue(at_, text_->end, text_->table); }
  GbkCharIterator& operator++() {
    at_ += GbkCharLength(at_, text_->end);
    return *this;
  }
  GbkCharIterator operator++(int) {
    GbkCharIterator old = *this;
    ++*this;
    return old;
  }
  GbkCharIterator& operator--() {
    at_ -= text_->starts.IsStart(static_cast<size_t>(at_ - 1 - text_->begin)) ? 1 : 2;
    return *this;
  }
  GbkCharIterator operator--(int) {
    GbkCharIterator old = *this;
    --*this;
    return old;
  }
  bool operator==(const GbkCharIterator& other) const { return at_ == other.at_; }
  bool operator!=(const GbkCharIterator& other) const { return at_ != other.at_; }

  // The byte the character begins at.
  const char* byte() const { return at_; }

 private:
  const char* at_ = nullptr;
  const GbkSearchText* text_ = nullptr;
};

// A character's value in UTF-8 and GB18030 texts: its code point, up to U+10FFFF, which a 16-bit
// wchar_t cannot hold. Bytes that begin no character give kUndecodableBase plus the byte (plus
// the lead byte for an unassigned four-byte GB18030 sequence), as in GBK.
using CodePoint = char32_t;

// The code point of the character at p (p < end) of a UTF-8, GB18030 or Big5 text; the character
// is CharLength(encoding, p, end) bytes long. Other encodings decode as GBK.
CodePoint DecodeChar(Encoding encoding, const char* p, const char* end);

// A text a search over code points runs over (UTF-8, GB18030, Big5, or GBK where the pattern holds a
// character beyond U+FFFF and wchar_t has 16 bits): its bytes and how to step through them both
// ways. It must outlive every iterator made on it.
class DecodedSearchText {
 public:
  DecodedSearchText(std::string_view text, Encoding encoding);

  const char* begin() const { return begin_; }
  const char* end() const { return end_; }
  // True when byte `offset` (< size) begins a character, stepping from the start.
  bool IsStart(size_t offset) const;
  size_t Length(const char* p) const { return CharLength(encoding_, p, end_); }
  CodePoint Value(const char* p) const { return DecodeChar(encoding_, p, end_); }
  // The first byte of the character that ends at p (begin < p).
  const char* Previous(const char* p) const;

 private:
  const char* begin_;
  const char* end_;
  Encoding encoding_;
  std::vector<uint64_t> starts_;  // not UTF-8: one bit per character start
};

// A bidirectional iterator over the code points of a UTF-8 or GB18030 text, standing on a
// character's first byte.
class DecodedCharIterator {
 public:
  using iterator_category = std::bidirectional_iterator_tag;
  using value_type = CodePoint;
  using difference_type = std::ptrdiff_t;
  using pointer = const CodePoint*;
  using reference = CodePoint;

  DecodedCharIterator() = default;
  DecodedCharIterator(const char* at, const DecodedSearchText* text) : at_(at), text_(text) {}

  CodePoint operator*() const { return text_->Value(at_); }
  DecodedCharIterator& operator++() {
    at_ += text_->Length(at_);
    return *this;
  }
  DecodedCharIterator operator++(int) {
    DecodedCharIterator old = *this;
    ++*this;
    return old;
  }
  DecodedCharIterator& operator--() {
    at_ = text_->Previous(at_);
    return *this;
  }
  DecodedCharIterator operator--(int) {
    DecodedCharIterator old = *this;
    --*this;
    return old;
  }
  bool operator==(const DecodedCharIterator& other) const { return at_ == other.at_; }
  bool operator!=(const DecodedCharIterator& other) const { return at_ != other.at_; }

  // The byte the character begins at.
  const char* byte() const { return at_; }

 private:
  const char* at_ = nullptr;
  const DecodedSearchText* text_ = nullptr;
};

}  // namespace travik

#endif  // TRAVIK_TEXT_ENCODING_H_
