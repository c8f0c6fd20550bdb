// Internal to the insert library: the anchor tables as lookups, and the character stepping
// that finds anchors and line breaks, shared by the one-shot rule and the incremental scanner.
#ifndef TRAVIK_INSERT_ANCHOR_STEPPING_H_
#define TRAVIK_INSERT_ANCHOR_STEPPING_H_

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "insert/insert_point.h"

namespace travik::anchors {

constexpr int kNone = -1;
constexpr int kBackslashEntry = 11;
constexpr int kDivisionEntry = 28;
constexpr unsigned kDivisionSign = 0xA1C2;

inline unsigned char Byte(std::string_view text, size_t i) {
  return static_cast<unsigned char>(text[i]);
}

// What the stepping needs to know about a byte at a character start, and the table index of
// each anchor. The backslash is a double-byte table entry; "÷ " is found through its first
// character.
constexpr int8_t kPlainPair = 0;  // a lead byte that begins no table entry
constexpr int8_t kAnchorLead = 1;
constexpr int8_t kLowByte = 2;
constexpr size_t kLeadRows = 4;  // A1, A3, A8, A9

struct AnchorTables {
  std::array<int8_t, 256> kind;
  std::array<int8_t, 256> single;                       // one-byte anchor index
  std::array<int8_t, 256> row;                          // row of `pair` for an anchor lead byte
  std::array<std::array<int8_t, 256>, kLeadRows> pair;  // entry index by trail byte

  AnchorTables() {
    single.fill(kNone);
    row.fill(kNone);
    for (auto& r : pair) r.fill(kNone);
    for (int c = 0; c < 256; ++c) kind[c] = c < 0x80 ? kLowByte : kPlainPair;
    for (size_t i = 0; i < kSingleByteAnchors.size(); ++i) {
      single[static_cast<unsigned char>(kSingleByteAnchors[i][0])] = static_cast<int8_t>(i);
    }
    int8_t rows = 0;
    for (size_t i = 0; i < kDoubleByteAnchors.size(); ++i) {
      std::string_view s = kDoubleByteAnchors[i];
      if (s.size() != 2) continue;
      unsigned char lead = Byte(s, 0);
      if (row[lead] == kNone) row[lead] = rows++;
      kind[lead] = kAnchorLead;
      pair[static_cast<size_t>(row[lead])][Byte(s, 1)] = static_cast<int8_t>(i);
    }
  }
};

const AnchorTables& Tables();

// Calls visit(kind, index, start) for every anchor occurrence and CR LF that ends within the
// first `region` bytes, in text order, stepping character by character from byte `at`.
// kind: 0 one-byte anchor, 1 double-byte anchor, 2 CR LF. Returns where stepping stopped.
template <typename Visit>
size_t StepCharacters(std::string_view text, size_t at, size_t region, bool* after_cr,
                      bool* after_division, Visit&& visit) {
  const AnchorTables& tables = Tables();
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  region = std::min(region, text.size());
  bool cr = *after_cr;
  bool division = *after_division;
  while (at < region) {
    unsigned char c = p[at];
    if (tables.kind[c] == kPlainPair) {
      // Most of a Chinese text: characters that begin no anchor.
      size_t from = at;
      while (at + 2 <= region && tables.kind[p[at]] == kPlainPair) at += 2;
      if (at == from) break;  // the character runs past the region
      cr = false;
      division = false;
      continue;
    }
    if (c < 0x80) {
      int single = tables.single[c];
      if (single != kNone) {
        visit(0, single, at);
      } else if (c == '\\') {
        visit(1, kBackslashEntry, at);
      } else if (c == '\n' && cr) {
        visit(2, 0, at - 1);
      } else if (c == ' ' && division) {
        visit(1, kDivisionEntry, at - 2);
      }
      cr = (c == '\r');
      division = false;
      ++at;
    } else {
      if (at + 2 > region) break;  // the character runs past the region
      unsigned char trail = p[at + 1];
      int pair = tables.pair[static_cast<size_t>(tables.row[c])][trail];
      if (pair != kNone) visit(1, pair, at);
      cr = false;
      division = (static_cast<unsigned>(c) << 8 | trail) == kDivisionSign;
      at += 2;
    }
  }
  *after_cr = cr;
  *after_division = division;
  return at;
}

}  // namespace travik::anchors

namespace travik {
// Exact test: does `offset` (<= the window's end) fall on a character boundary? Stepping from
// `from`, a known boundary at or before it and within the window.
bool BoundaryFrom(const TextWindow& text, size_t from, size_t offset);
}  // namespace travik

#endif  // TRAVIK_INSERT_ANCHOR_STEPPING_H_
