// Characters of a GBK text: where each one begins and ends, and which code point it is. The
// searches decode text through here only, so another encoding needs only another decoder here.
#ifndef TRAVIK_CORE_ENCODING_H_
#define TRAVIK_CORE_ENCODING_H_

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "core/text.h"

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

// The table of double-byte values, indexed by (lead - 0x80) * 256 + trail. Built once, on first
// use, from the program's code-page decoder; safe to call from any thread.
const CharValue* GbkPairTable();

// The value of the character that begins at p (p < end).
inline CharValue GbkCharValue(const char* p, const char* end, const CharValue* table) {
  const unsigned char c = static_cast<unsigned char>(*p);
  if (!IsLeadByte(c)) return c;
  if (p + 1 == end) return static_cast<CharValue>(kUndecodableBase + c);
  return table[(c - 0x80) * 256 + static_cast<unsigned char>(p[1])];
}

// A GBK pattern as characters; undecodable bytes become kUnmatchable.
std::wstring GbkPatternToWide(std::string_view pattern);

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

}  // namespace travik

#endif  // TRAVIK_CORE_ENCODING_H_
