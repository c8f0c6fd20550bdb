// The incremental anchor scanner: character stepping, and 64-byte blocks read through masks.
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "insert/anchor_stepping.h"
#include "insert/insert_point.h"

namespace travik {

namespace {

using namespace anchors;

// 64 bytes at a time: which bytes begin characters is worked out with bit arithmetic on masks of
// the block's bytes, and only the last candidate of each kind is looked at.
struct Found {
  int64_t single;
  int64_t pair;
  int64_t line_break;
};

#if defined(__SSE2__)
constexpr bool kBlockScan = true;
constexpr size_t kBlock = 64;
constexpr size_t kBlockMargin = 2;  // an anchor begun on the last byte ends within 2 more
constexpr uint64_t kEvenBits = 0x5555555555555555ull;
constexpr uint64_t kOddBits = ~kEvenBits;

struct BlockMasks {
  uint64_t high = 0;         // bytes 0x80 and above
  uint64_t anchor_lead = 0;  // 0xA1..0xA9, the first bytes of the double-byte anchors
  uint64_t single = 0;       // 0x21..0x40, [ ] | ~: a superset of the one-byte anchors
  uint64_t cr = 0;
  uint64_t backslash = 0;
};

// Bytes with (byte - low) < count, as unsigned 8-bit values.
inline __m128i InRange(__m128i v, char low, char count) {
  const __m128i sign = _mm_set1_epi8(static_cast<char>(0x80));
  __m128i t = _mm_xor_si128(_mm_sub_epi8(v, _mm_set1_epi8(low)), sign);
  return _mm_cmplt_epi8(t, _mm_set1_epi8(static_cast<char>(0x80 + count)));
}

inline uint64_t Bits(__m128i v, size_t k) {
  return static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(v))) << (16 * k);
}

BlockMasks ReadBlock(const unsigned char* p) {
  BlockMasks m;
  for (size_t k = 0; k < kBlock / 16; ++k) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    m.high |= Bits(v, k);
    m.anchor_lead |= Bits(InRange(v, static_cast<char>(0xA1), 9), k);
    __m128i single =
        _mm_or_si128(_mm_or_si128(InRange(v, 0x21, 0x20), _mm_cmpeq_epi8(v, _mm_set1_epi8('['))),
                     _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(']')),
                                  _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('|')),
                                               _mm_cmpeq_epi8(v, _mm_set1_epi8('~')))));
    m.single |= Bits(single, k);
    m.cr |= Bits(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')), k);
    m.backslash |= Bits(_mm_cmpeq_epi8(v, _mm_set1_epi8('\\')), k);
  }
  return m;
}

inline int HighestBit(uint64_t mask) { return 63 - __builtin_clzll(mask); }

// Takes in the block at `at` (a character boundary, no character pending before it) and returns
// the boundary after its last character. Needs `at` + kBlock + kBlockMargin bytes of text.
size_t ScanBlock(const unsigned char* p, size_t at, int64_t base, Found* found) {
  const BlockMasks m = ReadBlock(p + at);
  // A run of high bytes begins a character (the byte before it ends one), so its lead bytes are
  // those at an even distance from the run's first byte. Adding a run's first bit clears the run:
  // that marks the runs beginning at odd bit positions.
  uint64_t run_starts = m.high & ~(m.high << 1);
  uint64_t odd_runs = m.high & ~(m.high + (run_starts & kOddBits));
  uint64_t leads = (odd_runs & kOddBits) | (m.high & ~odd_runs & kEvenBits);
  uint64_t low_starts = ~m.high & ~(leads << 1);
  const AnchorTables& tables = Tables();
  // Only the last anchor of each kind in the block matters.
  for (uint64_t e = low_starts & m.single; e != 0; e &= ~(1ull << HighestBit(e))) {
    size_t i = at + static_cast<size_t>(HighestBit(e));
    if (tables.single[p[i]] != kNone) {
      found->single = base + static_cast<int64_t>(i) + 1;
      break;
    }
  }
  for (uint64_t e = low_starts & m.cr; e != 0; e &= ~(1ull << HighestBit(e))) {
    size_t i = at + static_cast<size_t>(HighestBit(e));
    if (p[i + 1] == '\n') {
      found->line_break = base + static_cast<int64_t>(i) + 1;
      break;
    }
  }
  int64_t pair = 0;
  if (uint64_t e = low_starts & m.backslash)
    pair = base + static_cast<int64_t>(at) + HighestBit(e) + 2;
  for (uint64_t e = leads & m.anchor_lead; e != 0; e &= ~(1ull << HighestBit(e))) {
    size_t i = at + static_cast<size_t>(HighestBit(e));
    if (base + static_cast<int64_t>(i) + 2 <= pair) break;
    unsigned char c = p[i];
    unsigned char trail = p[i + 1];
    int row = tables.row[c];  // none for A2, A4..A7
    if ((row != kNone && tables.pair[static_cast<size_t>(row)][trail] != kNone) ||
        ((static_cast<unsigned>(c) << 8 | trail) == kDivisionSign && p[i + 2] == ' ')) {
      pair = base + static_cast<int64_t>(i) + 2;
      break;
    }
  }
  if (pair != 0) found->pair = pair;
  return at + kBlock + static_cast<size_t>(leads >> 63);
}
#else
constexpr bool kBlockScan = false;
constexpr size_t kBlock = 64;
constexpr size_t kBlockMargin = 2;
size_t ScanBlock(const unsigned char*, size_t at, int64_t, Found*) { return at; }
#endif

}  // namespace

void AnchorScanner::AdvanceTo(const TextWindow& text, size_t region) {
  region = std::min(region, text.end());
  if (region <= at_) return;
  bool cr = previous_ == Previous::kCarriageReturn;
  bool division = previous_ == Previous::kDivisionSign;
  Found found{last_single_, last_double_, last_line_break_};
  const int64_t base = static_cast<int64_t>(text.base);
  auto record = [&found, base](int kind, int, size_t start) {
    int64_t position = base + static_cast<int64_t>(start) + 1;
    if (kind == 0) {
      found.single = position;
    } else if (kind == 1) {
      found.pair = position + 1;
    } else {
      found.line_break = position;
    }
  };
  // Offsets within the window from here on.
  const size_t end = region - text.base;
  size_t at = at_ - text.base;
  if (kBlockScan) {
    // The blocks want no character pending before them: step past a CR or a "÷" first.
    while ((cr || division) && at < end) {
      at = StepCharacters(text.bytes, at, std::min(end, at + 2), &cr, &division, record);
      if (at + 1 >= end) break;
    }
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.bytes.data());
    while (!cr && !division && at + kBlock + kBlockMargin <= end) {
      at = ScanBlock(p, at, base, &found);
    }
  }
  at = StepCharacters(text.bytes, at, end, &cr, &division, record);
  at_ = text.base + at;
  last_single_ = found.single;
  last_double_ = found.pair;
  last_line_break_ = found.line_break;
  previous_ =
      cr ? Previous::kCarriageReturn : (division ? Previous::kDivisionSign : Previous::kOther);
}

bool AnchorScanner::IsCharStart(const TextWindow& text, size_t offset) const {
  return BoundaryFrom(text, at_, offset);
}

int64_t AnchorScanner::NearestAnchor() const {
  // Positions only grow as the text is taken in, so the last anchor of each kind is also the
  // greatest of its table.
  int64_t line_start = last_line_break_ != 0 ? last_line_break_ : 1;
  if (last_single_ != 0 && last_single_ >= line_start) return last_single_;
  return std::max(last_single_, last_double_);
}

}  // namespace travik
