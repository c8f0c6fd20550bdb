// Encoding detection in one pass over 64-byte blocks: zero bytes are counted by parity, the
// UTF-8 check runs only while the text is still valid UTF-8 (a GBK text fails it within its
// first characters; a UTF-8 text is checked 64 bytes at a time with AVX2 where the processor has
// it), and GB18030 four-byte sequences are looked for where digits stand two apart, which is
// rare in any text, before stepping confirms one. The text is taken in chunks that stay in the
// cache between the UTF-8 check and the block masks, or as a reader hands its blocks over.
#include "text/big5.h"
#include "text/encoding.h"
#include "text/evidence.h"

#include <algorithm>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace travik {

namespace {

struct BlockMasks {
  uint64_t zero = 0;   // bytes 0x00
  uint64_t digit = 0;  // bytes 0x30 to 0x39
};

// True when the 64 bytes hold a zero byte or a digit: most blocks of a text hold neither, and the
// masks are not needed. A digit d gives d - 0x30 below 10 (unsigned), so two running minimums
// answer for both.
#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) __m256i Load32(const unsigned char* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Nonzero bytes where a zero byte or a digit is among the bytes of the vectors, lane by lane.
__attribute__((target("avx2"))) __m256i ZeroOrDigitAvx2(__m256i least, __m256i least_digit) {
  return _mm256_or_si256(
      _mm256_cmpeq_epi8(least, _mm256_setzero_si256()),
      _mm256_cmpeq_epi8(_mm256_min_epu8(least_digit, _mm256_set1_epi8(9)), least_digit));
}

// The first block, from `at` (whole 64-byte blocks up to `end`), that needs its masks; `end` when
// none does. Two blocks at a time, in one vector function: the call is made once per run of
// quiet blocks, not once per block.
__attribute__((target("avx2"))) size_t NextBlockNeedingMasksAvx2(const unsigned char* p, size_t at,
                                                                size_t end) {
  const __m256i base = _mm256_set1_epi8(0x30);
  for (; at + 128 <= end; at += 128) {
    const __m256i v0 = Load32(p + at), v1 = Load32(p + at + 32), v2 = Load32(p + at + 64),
                  v3 = Load32(p + at + 96);
    const __m256i least01 = _mm256_min_epu8(v0, v1);
    const __m256i digit01 =
        _mm256_min_epu8(_mm256_sub_epi8(v0, base), _mm256_sub_epi8(v1, base));
    const __m256i least = _mm256_min_epu8(least01, _mm256_min_epu8(v2, v3));
    const __m256i digit = _mm256_min_epu8(
        digit01, _mm256_min_epu8(_mm256_sub_epi8(v2, base), _mm256_sub_epi8(v3, base)));
    const __m256i both = ZeroOrDigitAvx2(least, digit);
    if (_mm256_testz_si256(both, both)) continue;
    const __m256i first = ZeroOrDigitAvx2(least01, digit01);
    return _mm256_testz_si256(first, first) ? at + 64 : at;
  }
  if (at < end) {
    const __m256i v0 = Load32(p + at), v1 = Load32(p + at + 32);
    const __m256i flags = ZeroOrDigitAvx2(
        _mm256_min_epu8(v0, v1),
        _mm256_min_epu8(_mm256_sub_epi8(v0, base), _mm256_sub_epi8(v1, base)));
    if (_mm256_testz_si256(flags, flags)) at += 64;
  }
  return at;
}
#endif

bool BlockNeedsMasks(const unsigned char* block) {
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
  return _mm_movemask_epi8(flags) != 0;
#else
  (void)block;
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
    const __m128i digit =
        _mm_and_si128(_mm_cmpgt_epi8(v, below_digits), _mm_cmplt_epi8(v, above_digits));
    m.digit |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(digit))) << shift;
  }
#else
  for (int k = 0; k < 64; ++k) {
    const uint64_t bit = uint64_t{1} << k;
    if (block[k] == 0) m.zero |= bit;
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

#if defined(__x86_64__) || defined(__i386__)
// The UTF-8 check of 32 bytes, `input`, after the 32 before them, `previous`: each byte is
// judged with the three bytes before it by three 16-entry tables (the high and low half of the
// byte before, the high half of the byte itself), whose entries are sets of faults; a pair is
// wrong when all three tables name one fault. A continuation byte after a continuation byte is
// right exactly when a lead byte two or three places back asks for it. Returns nonzero bytes
// where the text is wrong. A character the 32 bytes end inside is not judged until its next byte.
constexpr uint8_t kTooShort = 1 << 0;   // a lead byte without its continuation byte
constexpr uint8_t kTooLong = 1 << 1;    // a continuation byte after a single byte
constexpr uint8_t kOverlong3 = 1 << 2;  // E0 80..9F
constexpr uint8_t kTooLarge = 1 << 3;   // above U+10FFFF: F4 90.., F5..FF
constexpr uint8_t kSurrogate = 1 << 4;  // ED A0..BF
constexpr uint8_t kOverlong2 = 1 << 5;  // C0, C1
constexpr uint8_t kTooLarge1000 = 1 << 6;  // F5..FF 80..8F; the same bit marks F0 80..8F
constexpr uint8_t kOverlong4 = 1 << 6;
constexpr uint8_t kTwoConts = 1 << 7;   // a continuation byte after a continuation byte
constexpr uint8_t kCarry = kTooShort | kTooLong | kTwoConts;

template <int N>
__attribute__((target("avx2"))) __m256i BytesBefore(__m256i input, __m256i previous) {
  // Lane-crossing shift by N bytes: [previous high lane, input low lane] supplies the bytes.
  return _mm256_alignr_epi8(input, _mm256_permute2x128_si256(previous, input, 0x21), 16 - N);
}

__attribute__((target("avx2"))) __m256i Table(uint8_t const (&t)[16]) {
  const __m128i half = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t));
  return _mm256_broadcastsi128_si256(half);
}

__attribute__((target("avx2"))) __m256i Utf8Faults(__m256i input, __m256i previous) {
  static constexpr uint8_t kFirstHigh[16] = {
      kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong,
      kTwoConts, kTwoConts, kTwoConts, kTwoConts,
      kTooShort | kOverlong2,                            // C_
      kTooShort,                                         // D_
      kTooShort | kOverlong3 | kSurrogate,               // E_
      kTooShort | kTooLarge | kTooLarge1000 | kOverlong4  // F_
  };
  static constexpr uint8_t kFirstLow[16] = {
      kCarry | kOverlong3 | kOverlong2 | kOverlong4,  // _0
      kCarry | kOverlong2,                            // _1
      kCarry, kCarry,
      kCarry | kTooLarge,                             // _4
      kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
      kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
      kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
      kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
      kCarry | kTooLarge | kTooLarge1000 | kSurrogate,  // _D
      kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000};
  static constexpr uint8_t kSecondHigh[16] = {
      kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
      kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4,  // 8_
      kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge,                   // 9_
      kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,                   // A_
      kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,                   // B_
      kTooShort, kTooShort, kTooShort, kTooShort};
  const __m256i low_half = _mm256_set1_epi8(0x0F);
  const __m256i before1 = BytesBefore<1>(input, previous);
  const __m256i faults = _mm256_and_si256(
      _mm256_and_si256(
          _mm256_shuffle_epi8(Table(kFirstHigh),
                              _mm256_and_si256(_mm256_srli_epi16(before1, 4), low_half)),
          _mm256_shuffle_epi8(Table(kFirstLow), _mm256_and_si256(before1, low_half))),
      _mm256_shuffle_epi8(Table(kSecondHigh),
                          _mm256_and_si256(_mm256_srli_epi16(input, 4), low_half)));
  // Bytes two places after E0..FF and three after F0..FF must be continuation bytes.
  const __m256i third = _mm256_subs_epu8(BytesBefore<2>(input, previous), _mm256_set1_epi8(0x60));
  const __m256i fourth = _mm256_subs_epu8(BytesBefore<3>(input, previous), _mm256_set1_epi8(0x70));
  const __m256i wanted =
      _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(static_cast<char>(0x80)));
  return _mm256_xor_si256(wanted, faults);
}

// Whole 64-byte blocks from the start while they hold no fault; *high is set when a block before
// the last clean one holds a byte of 0x80 or above. Returns where the clean blocks end.
__attribute__((target("avx2"))) size_t Utf8CleanBlocksAvx2(const unsigned char* p, size_t n,
                                                          bool* high) {
  __m256i previous = _mm256_setzero_si256();
  __m256i highs = _mm256_setzero_si256();  // of the blocks before the last clean one
  __m256i last = _mm256_setzero_si256();
  size_t at = 0;
  for (; at + 64 <= n; at += 64) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + at));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + at + 32));
    const __m256i faults = _mm256_or_si256(Utf8Faults(a, previous), Utf8Faults(b, a));
    if (!_mm256_testz_si256(faults, faults)) break;
    highs = _mm256_or_si256(highs, last);
    last = _mm256_or_si256(a, b);
    previous = b;
  }
  if (_mm256_movemask_epi8(highs) != 0) *high = true;
  return at;
}
#endif

size_t Utf8WellFormedPrefix(const unsigned char* p, size_t n, bool* high) {
#if defined(__x86_64__) || defined(__i386__)
  if (!HasAvx2()) return 0;
  const size_t end = Utf8CleanBlocksAvx2(p, n, high);
  // The blocks are well formed but for a character they may end inside: back up to its start.
  size_t k = end;
  while (k > 0 && end - k < 3 && IsContinuation(p[k - 1])) --k;
  if (k > 0 && p[k - 1] >= 0xC0) --k;
  // High bytes of the last clean block count only before that character.
  for (size_t i = end >= 64 ? end - 64 : 0; i < k && !*high; ++i) *high = p[i] >= 0x80;
  return k;
#else
  (void)p;
  (void)n;
  (void)high;
  return 0;
#endif
}

constexpr size_t kChunk = size_t{64} << 10;  // stays in the cache between the two looks
constexpr size_t kPaddingRun = 4;

}  // namespace

size_t Utf8WellFormedPrefix(std::string_view text) {
  bool high = false;
  return Utf8WellFormedPrefix(reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                              &high);
}

EncodingDetector::EncodingDetector(std::string_view text)
    : text_(text), gb18030_(text, Encoding::kGb18030) {}

bool EncodingDetector::Marked() {
  if (!mark_checked_) {
    mark_checked_ = true;
    for (Encoding e : {Encoding::kUtf8, Encoding::kUtf16Le, Encoding::kUtf16Be}) {
      if (size_t mark = ByteOrderMarkLength(text_, e)) {
        marked_ = e;
        mark_length_ = mark;
        break;
      }
    }
  }
  return mark_length_ > 0;
}

void EncodingDetector::Advance(size_t available) {
  // A UTF-8 character or a four-byte sequence may reach 3 bytes past a block: keep 4 in hand.
  if (available < 4 || available >= text_.size() || Marked()) return;
  Scan((available - 4) & ~size_t{63});
}

void EncodingDetector::Advance(size_t available, std::string_view window, size_t window_begin) {
  window_ = window;
  window_begin_ = window_begin;
  Advance(available);
}

bool EncodingDetector::InWindow(size_t at, size_t length) const {
  return at >= window_begin_ && at - window_begin_ <= window_.size() &&
         length <= window_.size() - (at - window_begin_);
}

const unsigned char* EncodingDetector::BytesAt(size_t at, size_t length) const {
  const char* p = InWindow(at, length) ? window_.data() + (at - window_begin_) : text_.data() + at;
  return reinterpret_cast<const unsigned char*>(p);
}

unsigned char EncodingDetector::ByteAt(size_t at) const { return *BytesAt(at, 1); }

void EncodingDetector::Scan(size_t end) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text_.data());
  const size_t n = text_.size();
  while (utf8_ && utf8_at_ < end) {
    bool high = false;
    utf8_at_ += Utf8WellFormedPrefix(BytesAt(utf8_at_, end - utf8_at_), end - utf8_at_, &high);
    multi_byte_ |= high;
    // The window serves when it holds every byte the check may read: up to 3 past `end`, or to
    // the text's end.
    const size_t window_end = window_begin_ + window_.size();
    if (utf8_at_ >= window_begin_ && utf8_at_ <= end &&
        (window_end >= end + 4 || window_end == n) && window_end <= n && end <= window_end) {
      const unsigned char* w = reinterpret_cast<const unsigned char*>(window_.data());
      utf8_at_ = window_begin_ + ValidUtf8Until(w, utf8_at_ - window_begin_, end - window_begin_,
                                                window_end - window_begin_, &multi_byte_);
    } else {
      utf8_at_ = ValidUtf8Until(bytes, utf8_at_, end, n, &multi_byte_);
    }
    if (utf8_at_ >= end) break;
    // A text cut short inside its last character is still UTF-8 (the reader reports the cut).
    // No character is 4 bytes short.
    const std::string_view rest = text_.substr(utf8_at_);
    if (rest.size() < 4) {
      const TextCheckResult tail = CheckText(rest, Encoding::kUtf8);
      if (tail.check == TextCheck::kCutShort && tail.offset == 0) {
        utf8_at_ = n;
        break;
      }
    }
    // A byte that begins no character: a few are tolerated, each a unit of its own, kept as it
    // is by the reader (Finish asks for strong evidence then).
    if (invalid_++ == 0) first_invalid_ = utf8_at_;
    if (invalid_ > InvalidByteAllowance(n)) {
      utf8_ = false;
      utf8_at_ = n;
      break;
    }
    ++utf8_at_;
  }

  // A text that is well-formed UTF-8 so far and holds a multi-byte character is UTF-8 unless a
  // later byte breaks it: its blocks are counted only then (they wait, in `scanned_`).
  if (utf8_ && multi_byte_) return;

  const bool avx2 = HasAvx2();
  const size_t whole_end = std::min(end, n & ~size_t{63});  // the blocks before are whole
  for (size_t at = scanned_; at < end; at += 64) {
    BlockMasks m;
    if (at < whole_end) {
#if defined(__x86_64__) || defined(__i386__)
      if (avx2) {
        // Runs of quiet blocks are passed over in the window while it holds them.
        const unsigned char* base = bytes;
        size_t base_at = 0;
        size_t limit = whole_end;
        if (InWindow(at, 64)) {
          base = reinterpret_cast<const unsigned char*>(window_.data());
          base_at = window_begin_;
          limit = std::min(whole_end, at + ((window_begin_ + window_.size() - at) & ~size_t{63}));
        }
        const size_t next = base_at + NextBlockNeedingMasksAvx2(base, at - base_at, limit - base_at);
        if (next != at) {
          previous_digits_ = 0;
          at = next - 64;  // the loop steps on to `next`
          continue;
        }
      } else if (!BlockNeedsMasks(BytesAt(at, 64))) {
        previous_digits_ = 0;
        continue;
      }
#else
      if (!BlockNeedsMasks(BytesAt(at, 64))) {
        previous_digits_ = 0;
        continue;
      }
#endif
      m = Masks(BytesAt(at, 64));
    } else {
      unsigned char tail[64];
      for (size_t k = 0; k < 64; ++k) tail[k] = at + k < n ? ByteAt(at + k) : ' ';
      m = Masks(tail);
    }
    if (m.zero) {
      constexpr uint64_t kEven = 0x5555555555555555ull;  // `at` is even: bit parity is byte parity
      zero_even_ += CountBits(m.zero & kEven);
      zero_odd_ += CountBits(m.zero & ~kEven);
    }
    if (!four_byte_ && m.digit) {
      // A four-byte sequence ends on a digit with another digit two bytes before it.
      uint64_t ends = m.digit & ((m.digit << 2) | (previous_digits_ >> 62));
      while (ends && !four_byte_) {
        const size_t last = at + static_cast<size_t>(__builtin_ctzll(ends));
        ends &= ends - 1;
        if (last < 3) continue;
        const size_t start = last - 3;
        if (!IsGb18030Lead(ByteAt(start)) || !IsGb18030Lead(ByteAt(start + 2))) continue;
        four_byte_ = gb18030_.IsCharStart(start);
      }
    }
    previous_digits_ = m.digit;
  }
  scanned_ = end > scanned_ ? (end + 63) & ~size_t{63} : scanned_;
}

DetectedEncoding EncodingDetector::Finish() {
  if (Marked()) return {marked_, mark_length_};
  Scan(text_.size());
  bool weak = false;
  if (utf8_ && multi_byte_) {
    const Verdict verdict = WeighUtf8AgainstGbk(text_);
    if (verdict.encoding == Encoding::kUtf8 && invalid_ == 0) {
      return {Encoding::kUtf8, 0, verdict.weak};
    }
    if (verdict.encoding == Encoding::kUtf8 && !verdict.weak) {
      return {Encoding::kUtf8, 0, false, invalid_, first_invalid_};
    }
    // Read as GBK after all: the blocks that waited are counted now.
    weak = verdict.weak;
    utf8_ = false;
    Scan(text_.size());
  }
  // Zero bytes padding the end are the end of the text, not half of its characters. A run of
  // fewer than four may be the last character of UTF-16 text (0A 00).
  size_t padding = 0;
  while (padding < text_.size() && (text_[text_.size() - 1 - padding] == '\0' ||
                                    text_[text_.size() - 1 - padding] == '\x1A')) {
    ++padding;
  }
  if (padding < kPaddingRun) padding = 0;
  for (size_t at = text_.size() - padding; at < text_.size(); ++at) {
    if (text_[at] == '\0') --(at % 2 ? zero_odd_ : zero_even_);
  }
  const size_t pairs = (text_.size() - padding) / 2;
  const size_t most = zero_even_ > zero_odd_ ? zero_even_ : zero_odd_;
  const size_t least = zero_even_ > zero_odd_ ? zero_odd_ : zero_even_;
  if (most > least && most >= 2 && most * 100 >= pairs) {
    return {Utf16ByteOrder(text_.substr(0, text_.size() - padding), zero_odd_ > zero_even_), 0};
  }
  if (four_byte_) return {Encoding::kGb18030, 0, false};
  // GBK and Big5 step alike; the Big5 reading is weighed only on the first bytes, and taken only
  // when the whole text is valid in it (a lone lead byte at the end is the reader's to cut off).
  const Verdict big5 = WeighGbkAgainstBig5(text_.substr(0, kEvidenceBytes));
  if (big5.encoding == Encoding::kBig5 && FirstInvalidBig5Char(text_) + 1 >= text_.size()) {
    return {Encoding::kBig5, 0, big5.weak};
  }
  return {Encoding::kGbk, 0, weak};
}

Encoding Utf16ByteOrder(std::string_view text, bool zeros_odd) {
  // Chinese text in UTF-16 has as many zero bytes from ideographic spaces (00 30 in
  // little-endian) as from line breaks (0A 00): the characters each reading gives decide.
  auto plausible = [](unsigned v) {
    return v == 0x0A || v == 0x0D || (v >= 0x20 && v < 0x7F) || (v >= 0x3000 && v <= 0x303F) ||
           (v >= 0x4E00 && v <= 0x9FFF) || (v >= 0xFF00 && v <= 0xFFEF);
  };
  text = text.substr(0, kEvidenceBytes);
  size_t little = 0, big = 0;
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    const unsigned a = static_cast<unsigned char>(text[i]);
    const unsigned b = static_cast<unsigned char>(text[i + 1]);
    little += plausible(a | b << 8);
    big += plausible(a << 8 | b);
  }
  if (little != big) return little > big ? Encoding::kUtf16Le : Encoding::kUtf16Be;
  return zeros_odd ? Encoding::kUtf16Le : Encoding::kUtf16Be;
}

DetectedEncoding DetectEncoding(std::string_view text) {
  EncodingDetector detector(text);
  for (size_t at = kChunk; at < text.size(); at += kChunk) detector.Advance(at);
  return detector.Finish();
}

}  // namespace travik
