#include "insert/insert_point.h"

#include <algorithm>

namespace travik {

// The strings are spelled in bytes: the compiler's GBK conversion of a few of these symbols
// differs between iconv versions.
const std::array<std::string_view, 31> kSingleByteAnchors = {
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "~", "|", "(", ")", "[", "]",
    "-", "*", "=", "<", ">", "#", "$", "&", "%", "@", ",", ".", "?", ":", "!"};

const std::array<std::string_view, 37> kDoubleByteAnchors = {
    "\xA3\xAC",  // ，
    "\xA1\xA3",  // 。
    "\xA3\xBF",  // ？
    "\xA3\xA1",  // ！
    "\xA1\xA2",  // 、
    "\xA3\xBA",  // ：
    "\xA1\xAD",  // …
    "\xA1\xAE",  // ‘
    "\xA1\xAF",  // ’
    "\xA8\x94",  // 〝
    "\xA8\x95",  // 〞
    "\x5C",      // the ASCII backslash
    "\xA8"
    "M",         // ∕ (A8 4D)
    "\xA1\xAA",  // —
    "\xA9"
    "x",  // ﹛ (A9 78)
    "\xA9"
    "y",             // ﹜ (A9 79)
    "\xA1\xB4",      // 〈
    "\xA1\xB5",      // 〉
    "\xA1\xB8",      // 「
    "\xA1\xB9",      // 」
    "\xA1\xBC",      // 〖
    "\xA1\xBD",      // 〗
    "\xA1\xB6",      // 《
    "\xA1\xB7",      // 》
    "\xA1\xBE",      // 【
    "\xA1\xBF",      // 】
    "\xA9\x80",      // ﹢
    "\xA1\xC1",      // ×
    "\xA1\xC2\x20",  // ÷ and an ASCII space
    "\xA3\xA3",      // ＃
    "\xA3\xA4",      // ￥
    "\xA3\xA6",      // ＆
    "\xA3\xA5",      // ％
    "\xA3\xC0",      // ＠
    "\xA3\xAA",      // ＊
    "\xA3\xA8",      // （
    "\xA3\xA9",      // ）
};

namespace {

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

const AnchorTables& Tables() {
  static const AnchorTables tables;
  return tables;
}

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

// Exact test: does `offset` (<= text size) fall on a character boundary? Stepping from `from`, a
// known boundary at or before it.
bool BoundaryFrom(std::string_view text, size_t from, size_t offset) {
  size_t p = from;
  while (p < offset) p += Byte(text, p) >= 0x80 ? 2 : 1;
  return p == offset;
}

// The rule's answer checked exactly; beyond the end of the text nothing is checked.
int64_t CheckedOffset(std::string_view text, int64_t pos, int64_t anchor, size_t boundary) {
  int64_t offset = ((pos - anchor) % 2 == 0) ? pos : pos + 1;
  if (offset >= 0 && offset <= static_cast<int64_t>(text.size()) &&
      !BoundaryFrom(text, boundary, static_cast<size_t>(offset))) {
    offset = (offset == pos) ? pos + 1 : pos;
  }
  return offset;
}

size_t RegionBefore(std::string_view text, int64_t pos) {
  if (pos <= 1) return 0;
  return static_cast<size_t>(std::min<int64_t>(pos - 1, static_cast<int64_t>(text.size())));
}

bool OneByteCharacterAt(std::string_view text, int64_t pos) {
  if (pos < 1 || pos > static_cast<int64_t>(text.size())) return false;
  signed char code = static_cast<signed char>(text[static_cast<size_t>(pos - 1)]);
  return code > 0;
}

}  // namespace

std::vector<int> CollectAnchors(std::string_view text, int pos, int line_start) {
  std::array<int, kSingleByteAnchors.size()> single;
  std::array<int, kDoubleByteAnchors.size()> pair;
  single.fill(kNone);
  pair.fill(kNone);
  bool cr = false;
  bool division = false;
  StepCharacters(text, 0, RegionBefore(text, pos), &cr, &division,
                 [&](int kind, int index, size_t start) {
                   if (kind == 0) single[index] = static_cast<int>(start) + 1;
                   if (kind == 1) pair[index] = static_cast<int>(start) + 2;
                 });
  std::vector<int> anchors;
  int nearest_single = kNone;
  for (int p : single) {
    if (p != kNone) {
      anchors.push_back(p);
      nearest_single = std::max(nearest_single, p);
    }
  }
  if (nearest_single != kNone && nearest_single >= line_start) return anchors;
  for (int p : pair) {
    if (p != kNone) anchors.push_back(p);
  }
  return anchors;
}

int64_t ResolveInsertOffset(std::string_view text, int64_t pos) {
  AnchorScanner scanner;
  scanner.AdvanceTo(text, RegionBefore(text, pos));
  return ResolveWithScanner(text, pos, scanner);
}

int64_t ResolveWithScanner(std::string_view text, int64_t pos, const AnchorScanner& scanner) {
  if (OneByteCharacterAt(text, pos)) return pos;  // a character always ends on such a byte
  return CheckedOffset(text, pos, scanner.NearestAnchor(), scanner.frontier());
}

void AnchorScanner::AdvanceTo(std::string_view text, size_t region) {
  if (region <= at_) return;
  bool cr = previous_ == Previous::kCarriageReturn;
  bool division = previous_ == Previous::kDivisionSign;
  int64_t single = last_single_;
  int64_t pair = last_double_;
  int64_t line_break = last_line_break_;
  at_ = StepCharacters(text, at_, region, &cr, &division, [&](int kind, int, size_t start) {
    int64_t position = static_cast<int64_t>(start) + 1;
    if (kind == 0) {
      single = position;
    } else if (kind == 1) {
      pair = position + 1;
    } else {
      line_break = position;
    }
  });
  last_single_ = single;
  last_double_ = pair;
  last_line_break_ = line_break;
  previous_ =
      cr ? Previous::kCarriageReturn : (division ? Previous::kDivisionSign : Previous::kOther);
}

bool AnchorScanner::IsCharStart(std::string_view text, size_t offset) const {
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
