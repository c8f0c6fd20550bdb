// Decoding UTF-8, GB18030 and Big5 to code points for the searches.
#include "text/encoding.h"
#include "text/big5.h"
#include "text/gb18030.h"

namespace travik {

namespace {

CodePoint Undecodable(unsigned char byte) { return kUndecodableBase + byte; }

}  // namespace

CodePoint DecodeChar(Encoding encoding, const char* p, const char* end) {
  const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
  if (u[0] < 0x80) return u[0];
  if (encoding == Encoding::kUtf8) {
    switch (Utf8SequenceLength(p, end)) {
      case 2:
        return ((u[0] & 0x1F) << 6) | (u[1] & 0x3F);
      case 3:
        return ((u[0] & 0x0F) << 12) | ((u[1] & 0x3F) << 6) | (u[2] & 0x3F);
      case 4:
        return ((u[0] & 0x07) << 18) | ((u[1] & 0x3F) << 12) | ((u[2] & 0x3F) << 6) | (u[3] & 0x3F);
      default:
        return Undecodable(u[0]);
    }
  }
  if (encoding == Encoding::kGb18030) {
    CodePoint cp = 0;
    switch (Gb18030SequenceLength(p, end)) {
      case 2:
        cp = Gb18030PairValue(u[0], u[1]);
        break;
      case 4:
        cp = Gb18030FourByteValue(u);
        break;
    }
    return cp ? cp : Undecodable(u[0]);
  }
  if (encoding == Encoding::kBig5) {
    const CodePoint cp = end - p >= 2 ? Big5PairValue(u[0], u[1]) : 0;
    return cp ? cp : Undecodable(u[0]);
  }
  return static_cast<CodePoint>(static_cast<unsigned short>(GbkCharValue(p, end, GbkPairTable())));
}

DecodedSearchText::DecodedSearchText(std::string_view text, Encoding encoding)
    : begin_(text.data()), end_(text.data() + text.size()), encoding_(encoding) {
  if (encoding_ == Encoding::kUtf8) return;
  starts_.assign(text.size() / 64 + 1, 0);
  for (const char* p = begin_; p < end_; p += Length(p)) {
    const size_t at = static_cast<size_t>(p - begin_);
    starts_[at >> 6] |= uint64_t{1} << (at & 63);
  }
}

bool DecodedSearchText::IsStart(size_t offset) const {
  if (encoding_ != Encoding::kUtf8) return (starts_[offset >> 6] >> (offset & 63)) & 1;
  // UTF-8: a byte that is no continuation byte begins a character; a continuation byte does
  // unless the sequence of the nearest such byte covers it.
  const unsigned char* u = reinterpret_cast<const unsigned char*>(begin_);
  if ((u[offset] & 0xC0) != 0x80) return true;
  for (size_t q = offset; q-- > 0 && offset - q <= 3;) {
    if ((u[q] & 0xC0) == 0x80) continue;
    return q + Utf8SequenceLength(begin_ + q, end_) <= offset;
  }
  return true;
}

const char* DecodedSearchText::Previous(const char* p) const {
  const char* q = p - 1;
  while (q > begin_ && !IsStart(static_cast<size_t>(q - begin_))) --q;
  return q;
}

}  // namespace travik
