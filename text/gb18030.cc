#include "text/gb18030.h"

#include <memory>
#include <mutex>
#include <vector>

#include "text/codepage.h"

namespace travik {

namespace {

constexpr size_t kFourByteBmpCount = 39420;

size_t FourByteIndex(const unsigned char* p) {
  return ((static_cast<size_t>(p[0] - 0x81) * 10 + (p[1] - 0x30)) * 126 + (p[2] - 0x81)) * 10 +
         (p[3] - 0x30);
}

// Runs of two-byte codes, in code order (trail 7F left out), whose values GB18030 fixes where
// code page 936 has none on some systems and a private-use value on others: first code, first
// value, count.
struct PairRun {
  uint16_t code;
  uint16_t value;
  uint16_t count;
};
constexpr PairRun kPairRuns[] = {
    {0xA140, 0xE4C6, 96}, {0xA240, 0xE526, 96}, {0xA2AB, 0xE766, 6},  {0xA2E3, 0x20AC, 1},
    {0xA2E4, 0xE76D, 1},  {0xA2EF, 0xE76E, 2},  {0xA2FD, 0xE770, 2},  {0xA340, 0xE586, 96},
    {0xA440, 0xE5E6, 96}, {0xA4F4, 0xE772, 11}, {0xA540, 0xE646, 96}, {0xA5F7, 0xE77D, 8},
    {0xA640, 0xE6A6, 96}, {0xA6B9, 0xE785, 8},  {0xA6D9, 0xE78D, 7},  {0xA6EC, 0xE794, 2},
    {0xA6F3, 0xE796, 1},  {0xA6F6, 0xE797, 9},  {0xA740, 0xE706, 96}, {0xA7C2, 0xE7A0, 15},
    {0xA7F2, 0xE7AF, 13}, {0xA896, 0xE7BC, 11}, {0xA8BC, 0xE7C7, 1},  {0xA8BF, 0x01F9, 1},
    {0xA8C1, 0xE7C9, 4},  {0xA8EA, 0xE7CD, 21}, {0xA958, 0xE7E2, 1},  {0xA95B, 0xE7E3, 1},
    {0xA95D, 0xE7E4, 3},  {0xA989, 0x303E, 1},  {0xA98A, 0x2FF0, 12}, {0xA997, 0xE7F4, 13},
    {0xA9F0, 0xE801, 15}, {0xAAA1, 0xE000, 94}, {0xABA1, 0xE05E, 94}, {0xACA1, 0xE0BC, 94},
    {0xADA1, 0xE11A, 94}, {0xAEA1, 0xE178, 94}, {0xAFA1, 0xE1D6, 94}, {0xD7FA, 0xE810, 5},
    {0xF8A1, 0xE234, 94}, {0xF9A1, 0xE292, 94}, {0xFAA1, 0xE2F0, 94}, {0xFBA1, 0xE34E, 94},
    {0xFCA1, 0xE3AC, 94}, {0xFDA1, 0xE40A, 94}, {0xFE50, 0x2E81, 1},  {0xFE51, 0xE816, 3},
    {0xFE54, 0x2E84, 1},  {0xFE55, 0x3473, 1},  {0xFE56, 0x3447, 1},  {0xFE57, 0x2E88, 1},
    {0xFE58, 0x2E8B, 1},  {0xFE59, 0xE81E, 1},  {0xFE5A, 0x359E, 1},  {0xFE5B, 0x361A, 1},
    {0xFE5C, 0x360E, 1},  {0xFE5D, 0x2E8C, 1},  {0xFE5E, 0x2E97, 1},  {0xFE5F, 0x396E, 1},
    {0xFE60, 0x3918, 1},  {0xFE61, 0xE826, 1},  {0xFE62, 0x39CF, 1},  {0xFE63, 0x39DF, 1},
    {0xFE64, 0x3A73, 1},  {0xFE65, 0x39D0, 1},  {0xFE66, 0xE82B, 2},  {0xFE68, 0x3B4E, 1},
    {0xFE69, 0x3C6E, 1},  {0xFE6A, 0x3CE0, 1},  {0xFE6B, 0x2EA7, 1},  {0xFE6C, 0xE831, 2},
    {0xFE6E, 0x2EAA, 1},  {0xFE6F, 0x4056, 1},  {0xFE70, 0x415F, 1},  {0xFE71, 0x2EAE, 1},
    {0xFE72, 0x4337, 1},  {0xFE73, 0x2EB3, 1},  {0xFE74, 0x2EB6, 2},  {0xFE76, 0xE83B, 1},
    {0xFE77, 0x43B1, 1},  {0xFE78, 0x43AC, 1},  {0xFE79, 0x2EBB, 1},  {0xFE7A, 0x43DD, 1},
    {0xFE7B, 0x44D6, 1},  {0xFE7C, 0x4661, 1},  {0xFE7D, 0x464C, 1},  {0xFE7E, 0xE843, 1},
    {0xFE80, 0x4723, 1},  {0xFE81, 0x4729, 1},  {0xFE82, 0x477C, 1},  {0xFE83, 0x478D, 1},
    {0xFE84, 0x2ECA, 1},  {0xFE85, 0x4947, 1},  {0xFE86, 0x497A, 1},  {0xFE87, 0x497D, 1},
    {0xFE88, 0x4982, 2},  {0xFE8A, 0x4985, 2},  {0xFE8C, 0x499F, 1},  {0xFE8D, 0x499B, 1},
    {0xFE8E, 0x49B7, 1},  {0xFE8F, 0x49B6, 1},  {0xFE90, 0xE854, 2},  {0xFE92, 0x4CA3, 1},
    {0xFE93, 0x4C9F, 3},  {0xFE96, 0x4C77, 1},  {0xFE97, 0x4CA2, 1},  {0xFE98, 0x4D13, 7},
    {0xFE9F, 0x4DAE, 1},  {0xFEA0, 0xE864, 1},  {0xFEA1, 0xE468, 94},
};

// Two-byte codes whose value the 2022 edition of GB18030 changed (from a private-use value,
// A8BC from U+E7C7); the four-byte codes of the new values are then unused, and U+E7C7 takes
// the four-byte code of U+1E3F.
struct PairChange {
  uint16_t code;
  char32_t value;
};
constexpr PairChange kPairChanges[] = {
    {0xA6D9, 0xFE10},  {0xA6DA, 0xFE12},  {0xA6DB, 0xFE11},  {0xA6DC, 0xFE13},  {0xA6DD, 0xFE14},
    {0xA6DE, 0xFE15},  {0xA6DF, 0xFE16},  {0xA6EC, 0xFE17},  {0xA6ED, 0xFE18},  {0xA6F3, 0xFE19},
    {0xA8BC, 0x1E3F},  {0xFE51, 0x20087}, {0xFE52, 0x20089}, {0xFE53, 0x200CC}, {0xFE59, 0x9FB4},
    {0xFE61, 0x9FB5},  {0xFE66, 0x9FB6},  {0xFE67, 0x9FB7},  {0xFE6C, 0x215D7}, {0xFE6D, 0x9FB8},
    {0xFE76, 0x2298F}, {0xFE7E, 0x9FB9},  {0xFE90, 0x9FBA},  {0xFE91, 0x241FE}, {0xFEA0, 0x9FBB},
};

struct Tables {
  char32_t pairs[126 * 256] = {};              // (lead - 0x81) * 256 + trail
  char16_t four_byte[kFourByteBmpCount] = {};  // by four-byte index
  uint32_t encode[0x10000] = {};               // BMP value -> code bytes, big-endian; 0 = none
};

const Tables& Table() {
  static std::unique_ptr<Tables> tables;
  static std::once_flag built;
  std::call_once(built, [] {
    auto t = std::make_unique<Tables>();
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      uint32_t row[256];
      DecodeGbkPairs(static_cast<unsigned char>(lead), row);
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        const uint32_t cp = row[trail];
        if (trail == 0x7F || cp == 0 || cp > 0xFFFF || (cp >= 0xE000 && cp <= 0xF8FF)) continue;
        t->pairs[(lead - 0x81) * 256 + trail] = cp;
      }
    }
    for (const PairRun& run : kPairRuns) {
      int lead = run.code >> 8, trail = run.code & 0xFF;
      for (int k = 0; k < run.count; ++k) {
        t->pairs[(lead - 0x81) * 256 + trail] = run.value + k;
        if (++trail == 0x7F) ++trail;
        if (trail > 0xFE) {
          ++lead;
          trail = 0x40;
        }
      }
    }
    // Four-byte codes take, in order, the BMP characters that the two-byte codes before the
    // 2022 changes do not hold.
    std::vector<bool> held(0x10000, false);
    for (char32_t cp : t->pairs) held[cp] = cp != 0;
    size_t index = 0;
    for (char32_t cp = 0x80; cp <= 0xFFFF && index < kFourByteBmpCount; ++cp) {
      if (!held[cp] && (cp < 0xD800 || cp > 0xDFFF))
        t->four_byte[index++] = static_cast<char16_t>(cp);
    }
    for (const PairChange& change : kPairChanges) {
      t->pairs[((change.code >> 8) - 0x81) * 256 + (change.code & 0xFF)] = change.value;
    }
    for (char16_t& cp : t->four_byte) {
      if (cp == 0x1E3F) {
        cp = 0xE7C7;
      } else if ((cp >= 0x9FB4 && cp <= 0x9FBB) || (cp >= 0xFE10 && cp <= 0xFE19)) {
        cp = 0;
      }
    }
    for (size_t i = 0; i < kFourByteBmpCount; ++i) {
      if (!t->four_byte[i]) continue;
      const uint32_t b0 = 0x81 + i / 12600, b1 = 0x30 + i / 1260 % 10;
      const uint32_t b2 = 0x81 + i / 10 % 126, b3 = 0x30 + i % 10;
      t->encode[t->four_byte[i]] = b0 << 24 | b1 << 16 | b2 << 8 | b3;
    }
    for (int lead = 0xFE; lead >= 0x81; --lead) {  // the lowest code wins
      for (int trail = 0xFE; trail >= 0x40; --trail) {
        const char32_t cp = t->pairs[(lead - 0x81) * 256 + trail];
        if (cp && cp <= 0xFFFF) t->encode[cp] = static_cast<uint32_t>(lead << 8 | trail);
      }
    }
    tables = std::move(t);
  });
  return *tables;
}

bool InRange(unsigned char c, int lo, int hi) { return c >= lo && c <= hi; }

}  // namespace

char32_t Gb18030PairValue(unsigned char lead, unsigned char trail) {
  if (!InRange(lead, 0x81, 0xFE) || trail < 0x40 || trail == 0x7F || trail == 0xFF) return 0;
  return Table().pairs[(lead - 0x81) * 256 + trail];
}

char32_t Gb18030FourByteValue(const unsigned char* p) {
  const size_t index = FourByteIndex(p);
  if (p[0] <= 0x84) return index < kFourByteBmpCount ? Table().four_byte[index] : 0;
  if (p[0] < 0x90) return 0;
  const size_t cp = 0x10000 + index - 12600 * 15;  // 90 30 81 30 is index 15 * 12600
  return cp <= 0x10FFFF ? static_cast<char32_t>(cp) : 0;
}

bool DecodeGb18030(std::string_view text, std::u32string* out) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* end = p + text.size();
  std::u32string result;
  result.reserve(text.size());
  while (p < end) {
    char32_t cp = 0;
    if (*p < 0x80) {
      cp = *p++;
      result += cp;
      continue;
    }
    if (end - p >= 2 && (InRange(p[1], 0x40, 0x7E) || InRange(p[1], 0x80, 0xFE))) {
      cp = Gb18030PairValue(p[0], p[1]);
      p += 2;
    } else if (end - p >= 4 && InRange(p[0], 0x81, 0xFE) && InRange(p[1], 0x30, 0x39) &&
               InRange(p[2], 0x81, 0xFE) && InRange(p[3], 0x30, 0x39)) {
      cp = Gb18030FourByteValue(p);
      p += 4;
    }
    if (cp == 0) return false;
    result += cp;
  }
  *out = std::move(result);
  return true;
}

bool EncodeGb18030(std::u32string_view code_points, std::string* out) {
  const Tables& t = Table();
  std::string result;
  result.reserve(code_points.size() * 2);
  for (char32_t cp : code_points) {
    if (cp < 0x80) {
      result += static_cast<char>(cp);
      continue;
    }
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return false;
    uint32_t code;
    if (cp <= 0xFFFF) {
      code = t.encode[cp];
      if (code == 0) return false;
      if (code <= 0xFFFF) {
        result += static_cast<char>(code >> 8);
        result += static_cast<char>(code & 0xFF);
        continue;
      }
    } else {
      code = 0;
      for (const PairChange& change : kPairChanges) {
        if (change.value == cp) code = change.code;
      }
      if (code) {
        result += static_cast<char>(code >> 8);
        result += static_cast<char>(code & 0xFF);
        continue;
      }
      const size_t index = cp - 0x10000 + 12600 * 15;
      code = static_cast<uint32_t>((0x81 + index / 12600) << 24 | (0x30 + index / 1260 % 10) << 16 |
                                   (0x81 + index / 10 % 126) << 8 | (0x30 + index % 10));
    }
    for (int shift = 24; shift >= 0; shift -= 8) result += static_cast<char>(code >> shift);
  }
  *out = std::move(result);
  return true;
}

}  // namespace travik
