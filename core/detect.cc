// Encoding detection in one pass over 64-byte blocks: zero bytes are counted by parity, the
// UTF-8 check runs only while the text is still valid UTF-8 (a GBK text fails it within its
// first characters), and GB18030 four-byte sequences are looked for where digits stand two
// apart, which is rare in any text, before stepping confirms one.
#include "core/encoding.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace travik {

namespace {

struct BlockMasks {
  uint64_t zero = 0;   // bytes 0x00
  uint64_t high = 0;   // bytes 0x80 and above
  uint64_t digit = 0;  // bytes 0x30 to 0x39
};

BlockMasks Masks(const unsigned char* block) {
  BlockMasks m;
#ifdef __SSE2__
  const __m128i zero = _mm_setzero_si128();
  const __m128i below_digits = _mm_set1_epi8(0x2F);
  const __m128i above_digits = _mm_set1_epi8(0x3A);
  for (int k = 0; k < 4; ++k) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * k));
    const int shift = 16 * k;
    m.zero |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, zero))))
              << shift;
    m.high |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(v))) << shift;
    const __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(v, below_digits), _mm_cmplt_epi8(v, above_digits));
    m.digit |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(digit))) << shift;
  }
#else
  for (int k = 0; k < 64; ++k) {
    const uint64_t bit = uint64_t{1} << k;
    if (block[k] == 0) m.zero |= bit;
    if (block[k] >= 0x80) m.high |= bit;
    if (block[k] >= 0x30 && block[k] <= 0x39) m.digit |= bit;
  }
#endif
  return m;
}

int CountBits(uint64_t x) { return __builtin_popcountll(x); }

bool IsGb18030Lead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

}  // namespace

DetectedEncoding DetectEncoding(std::string_view text) {
  for (Encoding e : {Encoding::kUtf8, Encoding::kUtf16Le, Encoding::kUtf16Be}) {
    if (size_t mark = ByteOrderMarkLength(text, e)) return {e, mark};
  }
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  const char* end = text.data() + n;

  bool utf8 = true;        // valid UTF-8 up to utf8_at
  bool multi_byte = false;  // a multi-byte UTF-8 sequence was seen
  size_t utf8_at = 0;
  size_t zero_even = 0, zero_odd = 0;
  bool four_byte = false;
  CharCursor gb18030(text, Encoding::kGb18030);
  uint64_t previous_digits = 0;

  for (size_t at = 0; at < n; at += 64) {
    BlockMasks m;
    const size_t block_end = at + 64 < n ? at + 64 : n;
    if (at + 64 <= n) {
      m = Masks(bytes + at);
    } else {
      unsigned char tail[64];
      for (size_t k = 0; k < 64; ++k) tail[k] = at + k < n ? bytes[at + k] : ' ';
      m = Masks(tail);
    }
    if (m.zero) {
      constexpr uint64_t kEven = 0x5555555555555555ull;  // `at` is even: bit parity is byte parity
      zero_even += CountBits(m.zero & kEven);
      zero_odd += CountBits(m.zero & ~kEven);
    }
    if (utf8 && utf8_at < block_end) {
      if (m.high == 0 && utf8_at <= at) {
        utf8_at = block_end;
      } else {
        while (utf8_at < block_end) {
          if (bytes[utf8_at] < 0x80) {
            ++utf8_at;
            continue;
          }
          const size_t len = Utf8SequenceLength(text.data() + utf8_at, end);
          if (len == 0) {
            // A text cut short inside its last character is still UTF-8 (the reader reports
            // the cut); a sequence that can never be completed is not.
            const TextCheckResult tail = CheckText(text.substr(utf8_at), Encoding::kUtf8);
            utf8 = tail.check == TextCheck::kCutShort && tail.offset == 0;
            utf8_at = n;
            break;
          }
          multi_byte = true;
          utf8_at += len;
        }
      }
    }
    if (!four_byte && m.digit) {
      // A four-byte sequence ends on a digit with another digit two bytes before it.
      uint64_t ends = m.digit & ((m.digit << 2) | (previous_digits >> 62));
      while (ends && !four_byte) {
        const size_t last = at + static_cast<size_t>(__builtin_ctzll(ends));
        ends &= ends - 1;
        if (last < 3) continue;
        const size_t start = last - 3;
        if (!IsGb18030Lead(bytes[start]) || !IsGb18030Lead(bytes[start + 2])) continue;
        four_byte = gb18030.IsCharStart(start);
      }
    }
    previous_digits = m.digit;
  }

  if (utf8 && multi_byte) return {Encoding::kUtf8, 0};
  const size_t pairs = n / 2;
  const size_t most = zero_even > zero_odd ? zero_even : zero_odd;
  const size_t least = zero_even > zero_odd ? zero_odd : zero_even;
  if (most > least && most >= 2 && most * 100 >= pairs) {
    return {zero_odd > zero_even ? Encoding::kUtf16Le : Encoding::kUtf16Be, 0};
  }
  return {four_byte ? Encoding::kGb18030 : Encoding::kGbk, 0};
}

}  // namespace travik
