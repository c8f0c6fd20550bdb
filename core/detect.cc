// Encoding detection in one pass over 64-byte blocks: zero bytes are counted by parity, the
// UTF-8 check runs only while the text is still valid UTF-8 (a GBK text fails it within its
// first characters), and GB18030 four-byte sequences are looked for where digits stand two
// apart, which is rare in any text, before stepping confirms one.
#include "core/encoding.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace travik {

namespace {

struct BlockMasks {
  uint64_t zero = 0;   // bytes 0x00
  uint64_t high = 0;   // bytes 0x80 and above
  uint64_t digit = 0;  // bytes 0x30 to 0x39
};

// True when the 64 bytes hold a zero byte, a digit, or (when `high` asks) a byte of 0x80 or
// above: most blocks of a text hold none of the first two, and the masks are not needed. A digit
// d gives d - 0x30 below 10 (unsigned), so two running minimums answer for the first two.
#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) bool BlockNeedsMasksAvx2(const unsigned char* block, bool high) {
  const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block));
  const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 32));
  const __m256i base = _mm256_set1_epi8(0x30);
  const __m256i least = _mm256_min_epu8(v0, v1);
  const __m256i least_digit = _mm256_min_epu8(_mm256_sub_epi8(v0, base), _mm256_sub_epi8(v1, base));
  __m256i flags = _mm256_or_si256(
      _mm256_cmpeq_epi8(least, _mm256_setzero_si256()),
      _mm256_cmpeq_epi8(_mm256_min_epu8(least_digit, _mm256_set1_epi8(9)), least_digit));
  if (high) flags = _mm256_or_si256(flags, _mm256_or_si256(v0, v1));
  return _mm256_movemask_epi8(flags) != 0;
}
#endif

bool BlockNeedsMasks(const unsigned char* block, bool high) {
#ifdef __SSE2__
  const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
  const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16));
  const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 32));
  const __m128i v3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 48));
  const __m128i base = _mm_set1_epi8(0x30);
  const __m128i least = _mm_min_epu8(_mm_min_epu8(v0, v1), _mm_min_epu8(v2, v3));
  const __m128i least_digit =
      _mm_min_epu8(_mm_min_epu8(_mm_sub_epi8(v0, base), _mm_sub_epi8(v1, base)),
                   _mm_min_epu8(_mm_sub_epi8(v2, base), _mm_sub_epi8(v3, base)));
  __m128i flags =
      _mm_or_si128(_mm_cmpeq_epi8(least, _mm_setzero_si128()),
                   _mm_cmpeq_epi8(_mm_min_epu8(least_digit, _mm_set1_epi8(9)), least_digit));
  if (high) flags = _mm_or_si128(flags, _mm_or_si128(_mm_or_si128(v0, v1), _mm_or_si128(v2, v3)));
  return _mm_movemask_epi8(flags) != 0;
#else
  (void)block;
  (void)high;
  return true;
#endif
}

bool HasAvx2() {
#if defined(__x86_64__) || defined(__i386__)
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
#else
  return false;
#endif
}

BlockMasks Masks(const unsigned char* block) {
  BlockMasks m;
#ifdef __SSE2__
  const __m128i zero = _mm_setzero_si128();
  const __m128i below_digits = _mm_set1_epi8(0x2F);
  const __m128i above_digits = _mm_set1_epi8(0x3A);
  for (int k = 0; k < 4; ++k) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * k));
    const int shift = 16 * k;
    m.zero |=
        static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, zero))))
        << shift;
    m.high |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(v))) << shift;
    const __m128i digit =
        _mm_and_si128(_mm_cmpgt_epi8(v, below_digits), _mm_cmplt_epi8(v, above_digits));
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

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Valid UTF-8 from `at` on, up to at least `stop` (a character may run past it), or to the
// first byte that begins no character; returns where it stopped. The three-byte characters of
// Chinese text and ASCII runs take a short path.
size_t ValidUtf8Until(const unsigned char* bytes, size_t at, size_t stop, size_t n,
                      bool* multi_byte) {
  while (at < stop) {
    const unsigned char c = bytes[at];
    if (c < 0x80) {
      ++at;
      continue;
    }
    if ((c & 0xF0) == 0xE0 && c != 0xE0 && c != 0xED && at + 2 < n &&
        IsContinuation(bytes[at + 1]) && IsContinuation(bytes[at + 2])) {
      at += 3;
      *multi_byte = true;
      continue;
    }
    const size_t len = Utf8SequenceLength(reinterpret_cast<const char*>(bytes + at),
                                          reinterpret_cast<const char*>(bytes + n));
    if (len == 0) return at;
    *multi_byte = true;
    at += len;
  }
  return at;
}

bool IsGb18030Lead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

}  // namespace

DetectedEncoding DetectEncoding(std::string_view text) {
  for (Encoding e : {Encoding::kUtf8, Encoding::kUtf16Le, Encoding::kUtf16Be}) {
    if (size_t mark = ByteOrderMarkLength(text, e)) return {e, mark};
  }
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();

  bool utf8 = true;         // valid UTF-8 up to utf8_at
  bool multi_byte = false;  // a multi-byte UTF-8 sequence was seen
  size_t utf8_at = 0;
  size_t zero_even = 0, zero_odd = 0;
  bool four_byte = false;
  CharCursor gb18030(text, Encoding::kGb18030);
  uint64_t previous_digits = 0;

  const bool avx2 = HasAvx2();
  for (size_t at = 0; at < n; at += 64) {
    BlockMasks m;
    const size_t block_end = at + 64 < n ? at + 64 : n;
    if (at + 64 <= n) {
#if defined(__x86_64__) || defined(__i386__)
      const bool needs =
          avx2 ? BlockNeedsMasksAvx2(bytes + at, utf8) : BlockNeedsMasks(bytes + at, utf8);
#else
      const bool needs = BlockNeedsMasks(bytes + at, utf8);
#endif
      if (!needs) {
        previous_digits = 0;
        if (utf8_at <= at) utf8_at = block_end;  // ASCII only
        continue;
      }
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
        utf8_at = ValidUtf8Until(bytes, utf8_at, block_end, n, &multi_byte);
        if (utf8_at < block_end) {
          // A text cut short inside its last character is still UTF-8 (the reader reports
          // the cut); a sequence that can never be completed is not.
          const TextCheckResult tail = CheckText(text.substr(utf8_at), Encoding::kUtf8);
          utf8 = tail.check == TextCheck::kCutShort && tail.offset == 0;
          utf8_at = n;
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
