#include "text/big5.h"

#include <mutex>
#include <vector>

namespace travik {

namespace {

// Rows A1-F9 as the converter decodes them, 157 values a row.
constexpr uint16_t kRows[] = {
#include "text/big5_table.inc"
};
constexpr int kTrails = 157;
static_assert(sizeof kRows / sizeof kRows[0] == (0xF9 - 0xA1 + 1) * kTrails, "one row per lead");

// The position of a trail byte within a row; -1 for a byte that is no trail.
int TrailIndex(unsigned char trail) {
  if (trail >= 0x40 && trail <= 0x7E) return trail - 0x40;
  if (trail >= 0xA1 && trail <= 0xFE) return trail - 0xA1 + 63;
  return -1;
}

// The user-defined rows, numbered from U+E000 as Windows numbers them: FA-FE first, then 8E-A0,
// then 81-8D (C6A1-C8FE, numbered after them, are in the table).
char32_t UserDefinedValue(unsigned char lead, int index) {
  if (lead >= 0xFA) return 0xE000 + (lead - 0xFA) * kTrails + index;
  if (lead >= 0x8E) return 0xE311 + (lead - 0x8E) * kTrails + index;
  return 0xEEB8 + (lead - 0x81) * kTrails + index;
}

}  // namespace

char32_t Big5PairValue(unsigned char lead, unsigned char trail) {
  const int index = TrailIndex(trail);
  if (index < 0 || lead < 0x81 || lead > 0xFE) return 0;
  if (lead < 0xA1 || lead > 0xF9) return UserDefinedValue(lead, index);
  return kRows[(lead - 0xA1) * kTrails + index];
}

uint16_t Big5CodeOf(char32_t code_point) {
  static std::vector<uint16_t> codes;
  static std::once_flag built;
  std::call_once(built, [] {
    codes.assign(0x10000, 0);
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        // A2CC and A2CE repeat 十 and 卅 among the numerals: the characters' own pairs write them.
        // Four double-line box drawings of row A2 are repeated in row F9, which Windows writes.
        const uint16_t code = static_cast<uint16_t>(lead << 8 | trail);
        if (code == 0xA2CC || code == 0xA2CE || (code >= 0xA2A4 && code <= 0xA2A7)) continue;
        const char32_t cp = Big5PairValue(static_cast<unsigned char>(lead),
                                          static_cast<unsigned char>(trail));
        if (cp != 0 && cp < 0x10000 && codes[cp] == 0) codes[cp] = code;
      }
    }
  });
  return code_point >= 0x80 && code_point < 0x10000 ? codes[code_point] : 0;
}

size_t FirstInvalidBig5Char(std::string_view text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    if (i + 1 == n || Big5PairValue(p[i], p[i + 1]) == 0) return i;
    i += 2;
  }
  return n;
}

bool DecodeBig5(std::string_view text, std::u32string* out) {
  std::u32string result;
  result.reserve(text.size());
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    if (p[i] < 0x80) {
      result += p[i++];
      continue;
    }
    const char32_t cp = i + 1 < n ? Big5PairValue(p[i], p[i + 1]) : 0;
    if (cp == 0) return false;
    result += cp;
    i += 2;
  }
  *out = std::move(result);
  return true;
}

bool EncodeBig5(std::u32string_view code_points, std::string* out) {
  std::string result;
  result.reserve(code_points.size() * 2);
  for (char32_t cp : code_points) {
    if (cp < 0x80) {
      result += static_cast<char>(cp);
      continue;
    }
    const uint16_t code = Big5CodeOf(cp);
    if (code == 0) return false;
    result += static_cast<char>(code >> 8);
    result += static_cast<char>(code & 0xFF);
  }
  *out = std::move(result);
  return true;
}

bool IsBig5FirstLevel(char32_t code_point) {
  const uint16_t code = Big5CodeOf(code_point);
  return code >= 0xA440 && code <= 0xC67E;
}

}  // namespace travik
