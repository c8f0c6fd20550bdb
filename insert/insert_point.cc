#include "insert/insert_point.h"

#include <algorithm>

#include "insert/anchor_stepping.h"

namespace travik {

// The anchors are looked for in GBK file text, so the strings are GBK bytes, spelled out: literals
// are UTF-8, and GBK's forms of a few of these symbols differ between converters anyway.
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

namespace anchors {

const AnchorTables& Tables() {
  static const AnchorTables tables;
  return tables;
}

}  // namespace anchors

namespace {

using anchors::Byte;
using anchors::kNone;

}  // namespace

bool BoundaryFrom(const TextWindow& text, size_t from, size_t offset) {
  size_t p = from;
  while (p < offset) p += Byte(text.bytes, p - text.base) >= 0x80 ? 2 : 1;
  return p == offset;
}

namespace {

// The rule's answer checked exactly; beyond the end of the text nothing is checked.
int64_t CheckedOffset(const TextWindow& text, int64_t pos, int64_t anchor, size_t boundary) {
  int64_t offset = ((pos - anchor) % 2 == 0) ? pos : pos + 1;
  if (offset >= 0 && offset <= static_cast<int64_t>(text.end()) &&
      !BoundaryFrom(text, boundary, static_cast<size_t>(offset))) {
    offset = (offset == pos) ? pos + 1 : pos;
  }
  return offset;
}

size_t RegionBefore(std::string_view text, int64_t pos) {
  if (pos <= 1) return 0;
  return static_cast<size_t>(std::min<int64_t>(pos - 1, static_cast<int64_t>(text.size())));
}

bool OneByteCharacterAt(const TextWindow& text, int64_t pos) {
  if (pos < static_cast<int64_t>(text.base) + 1 || pos > static_cast<int64_t>(text.end())) {
    return false;
  }
  signed char code = static_cast<signed char>(text.bytes[static_cast<size_t>(pos - 1) - text.base]);
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
  anchors::StepCharacters(text, 0, RegionBefore(text, pos), &cr, &division,
                          [&](int kind, int index, size_t start) {
                            if (kind == 0) single[index] = static_cast<int>(start) + 1;
                            if (kind == 1) pair[index] = static_cast<int>(start) + 2;
                          });
  std::vector<int> list;
  int nearest_single = kNone;
  for (int p : single) {
    if (p != kNone) {
      list.push_back(p);
      nearest_single = std::max(nearest_single, p);
    }
  }
  if (nearest_single != kNone && nearest_single >= line_start) return list;
  for (int p : pair) {
    if (p != kNone) list.push_back(p);
  }
  return list;
}

int64_t ResolveInsertOffset(std::string_view text, int64_t pos) {
  const TextWindow window{text, 0};
  AnchorScanner scanner;
  scanner.AdvanceTo(window, RegionBefore(text, pos));
  return ResolveWithScanner(window, pos, scanner);
}

int64_t ResolveWithScanner(const TextWindow& text, int64_t pos, const AnchorScanner& scanner) {
  if (OneByteCharacterAt(text, pos)) return pos;  // a character always ends on such a byte
  return CheckedOffset(text, pos, scanner.NearestAnchor(), scanner.frontier());
}

}  // namespace travik
