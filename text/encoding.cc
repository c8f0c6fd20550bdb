#include "text/encoding.h"

#include <cstring>
#include <mutex>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "text/codepage.h"

namespace travik {

namespace {

// The private-use code point of a pair in one of GBK's three user-defined areas (AAA1-AFFE,
// F8A1-FEFE, A140-A7A0), as Windows decodes them; 0 for any other pair. Some converters (iconv)
// do not decode these, and a keyword must find them on every system.
uint32_t UserDefinedCodePoint(int lead, int trail) {
  if (lead >= 0xAA && lead <= 0xAF && trail >= 0xA1 && trail <= 0xFE) {
    return 0xE000 + (lead - 0xAA) * 94 + (trail - 0xA1);
  }
  if (lead >= 0xF8 && lead <= 0xFE && trail >= 0xA1 && trail <= 0xFE) {
    return 0xE234 + (lead - 0xF8) * 94 + (trail - 0xA1);
  }
  if (lead >= 0xA1 && lead <= 0xA7 && trail >= 0x40 && trail <= 0xA0 && trail != 0x7F) {
    return 0xE4C6 + (lead - 0xA1) * 96 + (trail - 0x40) - (trail > 0x7F ? 1 : 0);
  }
  return 0;
}

}  // namespace

const CharValue* GbkPairTable() {
  static CharValue table[128 * 256];
  static std::once_flag built;
  std::call_once(built, [] {
    // Only values below the surrogates and above them within the BMP are characters here.
    auto usable = [](uint32_t cp) { return cp != 0 && cp <= 0xFFFD && (cp < 0xD800 || cp > 0xDFFF); };
    static uint32_t decoded[128][256];
    std::vector<bool> taken(0x10000, false);
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
      uint32_t* row = decoded[lead - 0x80];
      DecodeGbkPairs(static_cast<unsigned char>(lead), row);
      for (int trail = 0; trail < 256; ++trail) {
        if (row[trail] == 0) row[trail] = UserDefinedCodePoint(lead, trail);
        if (usable(row[trail])) taken[row[trail]] = true;
      }
    }
    // A well-formed pair the converter leaves undecoded (an unassigned cell of a symbol row) is
    // still one character: it gets a private-use value of its own, in byte order. Any other pair
    // is undecodable.
    uint32_t spare = 0xE766;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        uint32_t& cp = decoded[lead - 0x80][trail];
        if (trail == 0x7F || usable(cp)) continue;
        while (spare <= 0xF8FF && taken[spare]) ++spare;
        if (spare > 0xF8FF) break;
        cp = spare;
        taken[spare] = true;
      }
    }
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
      for (int trail = 0; trail < 256; ++trail) {
        const uint32_t cp = decoded[lead - 0x80][trail];
        table[(lead - 0x80) * 256 + trail] =
            usable(cp) ? static_cast<CharValue>(cp) : static_cast<CharValue>(kUndecodableBase + lead);
      }
    }
  });
  return table;
}

size_t FirstInvalidGbkChar(std::string_view text) {
  // Pairs the code page decodes, and the user-defined ones; built once.
  static std::vector<uint8_t> valid;
  static std::once_flag built;
  std::call_once(built, [] {
    valid.assign(128 * 256, 0);
    uint32_t row[256];
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      DecodeGbkPairs(static_cast<unsigned char>(lead), row);
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        valid[(lead - 0x80) * 256 + trail] =
            trail != 0x7F && (row[trail] != 0 || UserDefinedCodePoint(lead, trail) != 0);
      }
    }
    for (int trail = 0; trail < 256; ++trail) valid[trail] = 1;  // 0x80: one byte, the euro
  });
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    if (p[i] < 0x80) {
      // Runs of ASCII (lines, spaces) eight bytes at a time.
      uint64_t word;
      while (i + 8 <= n && (memcpy(&word, p + i, 8), (word & 0x8080808080808080ull) == 0)) i += 8;
      while (i < n && p[i] < 0x80) ++i;
      continue;
    }
    if (i + 1 == n) return i;  // cut short: the reader drops it and says so
    if (p[i] == 0xFF || !valid[(p[i] - 0x80) * 256 + p[i + 1]]) return i;
    i += 2;
  }
  return n;
}

uint16_t GbkCodeOf(char32_t code_point) {
  static uint16_t codes[0x10000];
  static std::once_flag built;
  std::call_once(built, [] {
    const CharValue* table = GbkPairTable();
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        const uint32_t cp = static_cast<uint32_t>(table[(lead - 0x80) * 256 + trail]);
        if (trail == 0x7F || cp >= 0x10000 || (cp >= kUndecodableBase && cp < 0xE000)) continue;
        if (codes[cp] == 0) codes[cp] = static_cast<uint16_t>(lead << 8 | trail);
      }
    }
  });
  return code_point < 0x10000 ? codes[code_point] : 0;
}

namespace {

// Bit i set when byte i of the block has its high bit set.
uint64_t HighBytes(const unsigned char* block) {
#ifdef __SSE2__
  uint64_t mask = 0;
  for (int k = 0; k < 4; ++k) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * k));
    mask |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(v))) << (16 * k);
  }
  return mask;
#else
  uint64_t mask = 0;
  for (int k = 0; k < 64; ++k) mask |= static_cast<uint64_t>(block[k] >> 7) << k;
  return mask;
#endif
}

}  // namespace

// Double-byte stepping, 64 bytes at a time. A byte after a byte below 0x80 always begins a
// character, so every run of high bytes starts on a character (unless it continues a character
// from the block before) and its characters start at even distances from the run's start. The
// bytes after those starts are the trail bytes; every other byte begins a character.
CharStarts::CharStarts(std::string_view text) : bits_(text.size() / 64 + 1, 0) {
  constexpr uint64_t kEven = 0x5555555555555555ull;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  uint64_t carry = 0;  // 1 when the first byte of the block is a trail byte
  for (size_t block = 0; block * 64 < n; ++block) {
    uint64_t high;
    const size_t at = block * 64;
    if (at + 64 <= n) {
      high = HighBytes(bytes + at);
    } else {
      unsigned char tail[64] = {};
      for (size_t k = at; k < n; ++k) tail[k - at] = bytes[k];
      high = HighBytes(tail);
    }
    const uint64_t run_starts = high & ~(high << 1);
    uint64_t even_starts = run_starts & kEven;
    if (carry) even_starts &= ~uint64_t{1};  // a run that begins on a trail byte is out of step
    const uint64_t even_runs = high & ~(high + even_starts);
    const uint64_t odd_runs = high & ~even_runs;
    const uint64_t lead_starts = (even_runs & kEven) | (odd_runs & ~kEven);
    const uint64_t trails = (lead_starts << 1) | carry;
    bits_[block] = ~trails;
    carry = lead_starts >> 63;
  }
}

}  // namespace travik
