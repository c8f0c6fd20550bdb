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
  uint64_t high = 0;       // bytes 0x80 and above
  uint64_t candidate = 0;  // bytes that may begin an anchor or a CR LF (a superset)
};

// Bytes with (byte - low) < count, as unsigned 8-bit values: shifted so that the range starts at
// -128, one signed comparison tells.
inline __m128i InRange(__m128i v, unsigned char low, unsigned char count) {
  __m128i shifted = _mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(0x80 - low)));
  return _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(0x80 + count)));
}

inline uint64_t Bits(__m128i v, size_t k) {
  return static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(v))) << (16 * k);
}

// One mask for every kind of candidate: 0xA1..0xA9 (the first bytes of the double-byte anchors),
// 0x21..0x40 and [ \ ] | ~ (the one-byte anchors and the backslash), and CR. Which kind a
// candidate is, is looked up only for the last few of a block.
BlockMasks ReadBlock(const unsigned char* p) {
  BlockMasks m;
  const __m128i two = _mm_set1_epi8(2);
  const __m128i tilde = _mm_set1_epi8('~');  // | is ~ without bit 1
  const __m128i cr = _mm_set1_epi8('\r');
  for (size_t k = 0; k < kBlock / 16; ++k) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    m.high |= Bits(v, k);
    __m128i low = _mm_or_si128(InRange(v, 0x21, 0x20), InRange(v, '[', 3));
    __m128i rest = _mm_or_si128(_mm_cmpeq_epi8(_mm_or_si128(v, two), tilde), _mm_cmpeq_epi8(v, cr));
    m.candidate |= Bits(_mm_or_si128(_mm_or_si128(low, rest), InRange(v, 0xA1, 9)), k);
  }
  return m;
}

inline int HighestBit(uint64_t mask) { return 63 - __builtin_clzll(mask); }

// A block's character starts that may begin an anchor or a CR LF.
struct BlockStarts {
  size_t at;
  uint64_t starts;
  uint64_t high;
};

// Masks the block at `at` (a character boundary, no character pending before it) and returns the
// boundary after its last character.
size_t MaskBlock(const unsigned char* p, size_t at, BlockStarts* out) {
  const BlockMasks m = ReadBlock(p + at);
  // A run of high bytes begins a character (the byte before it ends one), so its lead bytes are
  // those at an even distance from the run's first byte. Adding a run's first bit clears the run:
  // that marks the runs beginning at odd bit positions.
  uint64_t run_starts = m.high & ~(m.high << 1);
  uint64_t odd_runs = m.high & ~(m.high + (run_starts & kOddBits));
  uint64_t leads = (odd_runs & kOddBits) | (m.high & ~odd_runs & kEvenBits);
  *out = {at, m.candidate & (leads | (~m.high & ~(leads << 1))), m.high};
  return at + kBlock + static_cast<size_t>(leads >> 63);
}

// Takes in whole blocks from `at` while `end` leaves kBlockMargin bytes after them, and returns
// where it stopped (a character boundary). The blocks are masked in runs; only the last anchor of
// each kind in a run matters, so each run's candidates are looked up from its end.
size_t ScanBlocks(const unsigned char* p, size_t at, size_t end, int64_t base, Found* found) {
  constexpr size_t kRun = 32;
  BlockStarts run[kRun];
  const AnchorTables& tables = Tables();
  while (at + kBlock + kBlockMargin <= end) {
    size_t n = 0;
    while (n < kRun && at + kBlock + kBlockMargin <= end) at = MaskBlock(p, at, &run[n++]);
    bool want_single = true;
    bool want_break = true;
    bool want_pair = true;
    for (size_t k = n; k-- > 0 && (want_single || want_break || want_pair);) {
      const BlockStarts& block = run[k];
      uint64_t e = want_pair ? block.starts : block.starts & ~block.high;
      while (e != 0 && (want_single || want_break || want_pair)) {
        const int bit = HighestBit(e);
        e &= ~(1ull << bit);
        const size_t i = block.at + static_cast<size_t>(bit);
        const int64_t position = base + static_cast<int64_t>(i) + 1;
        const unsigned char c = p[i];
        if (c >= 0x80) {
          unsigned char trail = p[i + 1];
          int row = tables.row[c];  // none for A2, A4..A7
          if ((row != kNone && tables.pair[static_cast<size_t>(row)][trail] != kNone) ||
              ((static_cast<unsigned>(c) << 8 | trail) == kDivisionSign && p[i + 2] == ' ')) {
            found->pair = position + 1;
            want_pair = false;
            e &= ~block.high;  // the rest are one-byte kinds
          }
        } else if (c == '\r') {
          if (want_break && p[i + 1] == '\n') {
            found->line_break = position;
            want_break = false;
          }
        } else if (c == '\\') {
          if (want_pair) {
            found->pair = position + 1;
            want_pair = false;
            e &= ~block.high;
          }
        } else if (want_single && tables.single[c] != kNone) {
          found->single = position;
          want_single = false;
        }
      }
    }
  }
  return at;
}
#else
constexpr bool kBlockScan = false;
constexpr size_t kBlock = 64;
constexpr size_t kBlockMargin = 2;
size_t ScanBlocks(const unsigned char*, size_t at, size_t, int64_t, Found*) { return at; }
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
    if (!cr && !division) at = ScanBlocks(p, at, end, base, &found);
  }
  at = StepCharacters(text.bytes, at, end, &cr, &division, record);
  at_ = text.base + at;
  last_single_ = found.single;
  last_double_ = found.pair;
  last_line_break_ = found.line_break;
  previous_ =
      cr ? Previous::kCarriageReturn : (division ? Previous::kDivisionSign : Previous::kOther);
}

void AnchorScanner::JumpTo(const TextWindow& text, size_t region) {
  constexpr size_t kChunk = 4096;
  region = std::min(region, text.end());
  if (region <= at_) return;
  AnchorScanner latest;  // the chunk that ends at `region`: where the frontier stops, what pends
  bool have_latest = false;
  int64_t single = 0;
  int64_t pair = 0;
  int64_t line_break = 0;
  size_t chunk_end = region;
  while (true) {
    // A line feed ends a character and leaves nothing pending: a fresh walk can start after it.
    size_t start = at_;
    if (chunk_end - at_ > kChunk) {
      std::string_view before = text.bytes.substr(at_ - text.base, chunk_end - kChunk - at_);
      size_t lf = before.rfind('\n');
      if (lf != std::string_view::npos) start = at_ + lf + 1;
    }
    AnchorScanner part;
    if (start == at_) {
      part = *this;  // the frontier's own state covers what lies before it
    } else {
      part.at_ = start;
    }
    part.AdvanceTo(text, chunk_end);
    if (!have_latest) {
      latest = part;
      have_latest = true;
    }
    if (single == 0) single = part.last_single_;
    if (pair == 0) pair = part.last_double_;
    if (line_break == 0) line_break = part.last_line_break_;
    if (start == at_ || (single != 0 && pair != 0 && line_break != 0)) break;
    chunk_end = start;
  }
  at_ = latest.at_;
  previous_ = latest.previous_;
  last_single_ = single;
  last_double_ = pair;
  last_line_break_ = line_break;
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
