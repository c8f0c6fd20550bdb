// Decoding UTF-8 and GB18030 to code points for the searches.
#include <memory>
#include <mutex>

#include "core/codepage.h"
#include "core/encoding.h"

namespace travik {

namespace {

// GB18030 four-byte sequences from 81 30 81 30 on count up through the Basic Multilingual Plane
// (39420 of them); from 90 30 81 30 on they count from U+10000.
constexpr size_t kFourByteBmpCount = 39420;

size_t FourByteIndex(const unsigned char* p) {
  return ((static_cast<size_t>(p[0] - 0x81) * 10 + (p[1] - 0x30)) * 126 + (p[2] - 0x81)) * 10 +
         (p[3] - 0x30);
}

struct Gb18030Tables {
  CodePoint pairs[126 * 256] = {};      // (lead - 0x81) * 256 + trail; 0 where none
  char16_t four_byte[kFourByteBmpCount] = {};  // 0 where none
};

bool Usable(char32_t cp) { return cp != 0 && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF); }

// Decodes every sequence of `all` (each `width` bytes long) at once with the system converter;
// one at a time where the whole does not give exactly one code point per sequence.
template <typename Store>
void DecodeEach(const std::string& all, size_t width, Store store) {
  std::u32string cps;
  const size_t count = all.size() / width;
  if (DecodeText(all, Encoding::kGb18030, &cps) && cps.size() == count) {
    for (size_t i = 0; i < count; ++i) store(i, cps[i]);
    return;
  }
  for (size_t i = 0; i < count; ++i) {
    if (DecodeText(all.substr(i * width, width), Encoding::kGb18030, &cps) && cps.size() == 1) {
      store(i, cps[0]);
    }
  }
}

const Gb18030Tables& Gb18030Table() {
  static std::unique_ptr<Gb18030Tables> tables;
  static std::once_flag built;
  std::call_once(built, [] {
    tables = std::make_unique<Gb18030Tables>();
    std::string pairs;
    std::vector<size_t> slots;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        if (trail == 0x7F) continue;
        pairs += static_cast<char>(lead);
        pairs += static_cast<char>(trail);
        slots.push_back(static_cast<size_t>((lead - 0x81) * 256 + trail));
      }
    }
    DecodeEach(pairs, 2, [&](size_t i, char32_t cp) {
      if (Usable(cp)) tables->pairs[slots[i]] = cp;
    });
    std::string fours;
    fours.reserve(kFourByteBmpCount * 4);
    for (size_t i = 0; i < kFourByteBmpCount; ++i) {
      fours += static_cast<char>(0x81 + i / 12600);
      fours += static_cast<char>(0x30 + i / 1260 % 10);
      fours += static_cast<char>(0x81 + i / 10 % 126);
      fours += static_cast<char>(0x30 + i % 10);
    }
    DecodeEach(fours, 4, [&](size_t i, char32_t cp) {
      if (Usable(cp) && cp <= 0xFFFF) tables->four_byte[i] = static_cast<char16_t>(cp);
    });
  });
  return *tables;
}

CodePoint Undecodable(unsigned char byte) { return kUndecodableBase + byte; }

}  // namespace

CodePoint DecodeChar(Encoding encoding, const char* p, const char* end) {
  const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
  if (u[0] < 0x80) return u[0];
  if (encoding == Encoding::kUtf8) {
    switch (Utf8SequenceLength(p, end)) {
      case 2:
        return ((u[0] & 0x1F) << 6) | (u[1] & 0x3F);
      case 3:
        return ((u[0] & 0x0F) << 12) | ((u[1] & 0x3F) << 6) | (u[2] & 0x3F);
      case 4:
        return ((u[0] & 0x07) << 18) | ((u[1] & 0x3F) << 12) | ((u[2] & 0x3F) << 6) | (u[3] & 0x3F);
      default:
        return Undecodable(u[0]);
    }
  }
  if (encoding == Encoding::kGb18030) {
    const Gb18030Tables& t = Gb18030Table();
    switch (Gb18030SequenceLength(p, end)) {
      case 2: {
        const CodePoint cp = t.pairs[(u[0] - 0x81) * 256 + u[1]];
        return cp ? cp : Undecodable(u[0]);
      }
      case 4: {
        const size_t index = FourByteIndex(u);
        if (u[0] <= 0x84 && index < kFourByteBmpCount && t.four_byte[index]) {
          return t.four_byte[index];
        }
        if (u[0] >= 0x90) {
          const size_t cp = 0x10000 + index - FourByteIndex(reinterpret_cast<const unsigned char*>("\x90\x30\x81\x30"));
          if (cp <= 0x10FFFF) return static_cast<CodePoint>(cp);
        }
        return Undecodable(u[0]);
      }
      default:
        return Undecodable(u[0]);
    }
  }
  return static_cast<CodePoint>(static_cast<unsigned short>(GbkCharValue(p, end, GbkPairTable())));
}

DecodedSearchText::DecodedSearchText(std::string_view text, Encoding encoding)
    : begin_(text.data()), end_(text.data() + text.size()), encoding_(encoding) {
  if (encoding_ != Encoding::kGb18030) return;
  starts_.assign(text.size() / 64 + 1, 0);
  for (const char* p = begin_; p < end_; p += Length(p)) {
    const size_t at = static_cast<size_t>(p - begin_);
    starts_[at >> 6] |= uint64_t{1} << (at & 63);
  }
}

bool DecodedSearchText::IsStart(size_t offset) const {
  if (encoding_ == Encoding::kGb18030) return (starts_[offset >> 6] >> (offset & 63)) & 1;
  // UTF-8: a byte that is no continuation byte begins a character; a continuation byte does
  // unless the sequence of the nearest such byte covers it.
  const unsigned char* u = reinterpret_cast<const unsigned char*>(begin_);
  if ((u[offset] & 0xC0) != 0x80) return true;
  for (size_t q = offset; q-- > 0 && offset - q <= 3;) {
    if ((u[q] & 0xC0) == 0x80) continue;
    return q + Utf8SequenceLength(begin_ + q, end_) <= offset;
  }
  return true;
}

const char* DecodedSearchText::Previous(const char* p) const {
  const char* q = p - 1;
  while (q > begin_ && !IsStart(static_cast<size_t>(q - begin_))) --q;
  return q;
}

}  // namespace travik
