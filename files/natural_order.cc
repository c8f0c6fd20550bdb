// Natural order: names are cut into numbers and single characters, compared piece by piece.
#include "files/natural_order.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "text/encoding.h"
#include "text/text.h"

namespace travik {

namespace {

struct Piece {
  bool number;
  std::string key;  // a number: its decimal digits without leading zeros; else the character
};

// Length of the UTF-8 character at `i`; a byte that begins none is a character of its own.
size_t CharLength(std::string_view s, size_t i) {
  if (static_cast<unsigned char>(s[i]) < 0x80) return 1;
  const size_t n = Utf8SequenceLength(s.data() + i, s.data() + s.size());
  return n ? n : 1;
}

// The digit 0..9 of an ASCII or full-width digit (U+FF10..U+FF19, EF BC 90..99) at `i`, or -1.
int DigitAt(std::string_view s, size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  if (c >= '0' && c <= '9') return c - '0';
  if (c == 0xEF && i + 2 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0xBC) {
    unsigned char t = static_cast<unsigned char>(s[i + 2]);
    if (t >= 0x90 && t <= 0x99) return t - 0x90;
  }
  return -1;
}

// The key a character sorts by: its GBK code where GBK has one, so that names keep the order
// they have always had (GB2312's characters by reading); any other character after all of them,
// by its UTF-8 bytes.
// Two words of place break that order, as parts of a chapter are named: 下 (CF C2) comes right
// after 中 (D6 D0), so that 上 < 中 < 下, and 后 (BA F3) right after 前 (C7 B0). No GBK code is
// three bytes long, so each key still belongs to one character.
std::string CharacterKey(std::string_view c) {
  if (c.size() == 1) return std::string(c);
  if (c == "下") return "\xD6\xD0\x01";
  if (c == "后") return "\xC7\xB0\x01";
  const char32_t value = DecodeChar(Encoding::kUtf8, c.data(), c.data() + c.size());
  if (const uint16_t code = GbkCodeOf(value)) {
    return std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
  }
  return "\xFF" + std::string(c);
}

// A Chinese numeral character: a digit (0..9), a unit (10, 100, 1000, 10^4, 10^8), or none.
struct Numeral {
  int digit = -1;
  uint64_t unit = 0;
};

Numeral NumeralAt(std::string_view s, size_t i) {
  static const struct {
    const char* text;
    int digit;
    uint64_t unit;
  } kNumerals[] = {
      {"零", 0, 0}, {"〇", 0, 0},   {"一", 1, 0},    {"二", 2, 0},         {"两", 2, 0},
      {"三", 3, 0}, {"四", 4, 0},   {"五", 5, 0},    {"六", 6, 0},         {"七", 7, 0},
      {"八", 8, 0}, {"九", 9, 0},   {"十", -1, 10},  {"百", -1, 100},      {"千", -1, 1000},
      {"万", -1, 10000}, {"亿", -1, 100000000},
  };
  for (const auto& n : kNumerals) {
    const size_t k = std::strlen(n.text);
    if (s.size() - i >= k && std::memcmp(s.data() + i, n.text, k) == 0) return {n.digit, n.unit};
  }
  return {};
}

uint64_t SaturatingMulAdd(uint64_t a, uint64_t m, uint64_t b) {
  const uint64_t kMax = UINT64_MAX;
  if (m != 0 && a > (kMax - b) / m) return kMax;
  return a * m + b;
}

// Value of the Chinese numeral run [begin, end): 一百一十一, 十二, 一〇五, 两千零三. Saturates.
uint64_t ChineseNumeralValue(std::string_view s, size_t begin, size_t end) {
  bool has_unit = false;
  for (size_t i = begin; i < end; i += CharLength(s, i)) has_unit |= NumeralAt(s, i).unit != 0;
  uint64_t total = 0, section = 0, number = 0;
  for (size_t i = begin; i < end; i += CharLength(s, i)) {
    Numeral n = NumeralAt(s, i);
    if (!has_unit) {  // digits read one by one: 一〇五 is 105
      total = SaturatingMulAdd(total, 10, static_cast<uint64_t>(n.digit));
    } else if (n.digit >= 0) {
      number = static_cast<uint64_t>(n.digit);
    } else if (n.unit < 10000) {
      // A unit with no digit before it counts once: 十二 is 12.
      section = SaturatingMulAdd(number == 0 ? 1 : number, n.unit, section);
      number = 0;
    } else {
      total = SaturatingMulAdd(SaturatingMulAdd(section, 1, number), n.unit, total);
      section = number = 0;
    }
  }
  return SaturatingMulAdd(SaturatingMulAdd(total, 1, section), 1, number);
}

std::vector<Piece> Pieces(std::string_view s) {
  std::vector<Piece> pieces;
  size_t i = 0;
  bool after_di = false;  // the previous character was 第
  while (i < s.size()) {
    if (DigitAt(s, i) >= 0) {
      std::string key;
      while (i < s.size() && DigitAt(s, i) >= 0) {
        int d = DigitAt(s, i);
        if (!(key.empty() && d == 0)) key.push_back(static_cast<char>('0' + d));
        i += CharLength(s, i);
      }
      pieces.push_back({true, key.empty() ? "0" : key});
      after_di = false;
      continue;
    }
    if (after_di && (NumeralAt(s, i).digit >= 0 || NumeralAt(s, i).unit != 0)) {
      size_t begin = i;
      while (i < s.size() && (NumeralAt(s, i).digit >= 0 || NumeralAt(s, i).unit != 0)) {
        i += CharLength(s, i);
      }
      pieces.push_back({true, std::to_string(ChineseNumeralValue(s, begin, i))});
      after_di = false;
      continue;
    }
    size_t n = CharLength(s, i);
    std::string key = CharacterKey(s.substr(i, n));
    if (n == 1 && key[0] >= 'A' && key[0] <= 'Z') key[0] = static_cast<char>(key[0] + 32);
    after_di = s.substr(i, n) == "第";
    pieces.push_back({false, std::move(key)});
    i += n;
  }
  return pieces;
}

// Negative, 0 or positive. Numbers come before characters; numbers compare by value.
int ComparePieces(const Piece& a, const Piece& b) {
  if (a.number != b.number) return a.number ? -1 : 1;
  if (a.number && a.key.size() != b.key.size()) return a.key.size() < b.key.size() ? -1 : 1;
  return CompareText(a.key, b.key);
}

// True when `name` is `word`, alone or with one extension ("头文本", "头文本.txt").
bool NameIsWord(std::string_view name, std::string_view word) {
  if (name.substr(0, word.size()) != word) return false;
  return name.size() == word.size() ||
         (name[word.size()] == '.' && name.find('.', word.size() + 1) == std::string_view::npos);
}

bool IsHeadPiece(std::string_view name) { return NameIsWord(name, "头文本"); }

// Where a name stands among the parts of a book: a front matter name (the whole name is 序, 序章,
// 楔子, 引子 or 前言) before the chapters, in that order; a name that begins with 尾声, 后记, 番外
// or 完本感言 after them, in that order ("番外1", "番外2" in their own order); 0 for the rest.
int BookPartRank(std::string_view name) {
  static const char* const kFront[] = {"序", "序章", "楔子", "引子", "前言"};
  static const char* const kBack[] = {"尾声", "后记", "番外", "完本感言"};
  for (size_t i = 0; i < std::size(kFront); ++i) {
    if (NameIsWord(name, kFront[i])) return static_cast<int>(i) - static_cast<int>(std::size(kFront));
  }
  for (size_t i = 0; i < std::size(kBack); ++i) {
    if (name.substr(0, std::strlen(kBack[i])) == kBack[i]) return static_cast<int>(i) + 1;
  }
  return 0;
}

}  // namespace

bool NaturalLess(std::string_view a, std::string_view b) {
  bool head_a = IsHeadPiece(a), head_b = IsHeadPiece(b);
  if (head_a != head_b) return head_a;
  const int rank_a = BookPartRank(a), rank_b = BookPartRank(b);
  if (rank_a != rank_b) return rank_a < rank_b;
  std::vector<Piece> pa = Pieces(a), pb = Pieces(b);
  size_t n = std::min(pa.size(), pb.size());
  for (size_t i = 0; i < n; ++i) {
    int c = ComparePieces(pa[i], pb[i]);
    if (c != 0) return c < 0;
  }
  if (pa.size() != pb.size()) return pa.size() < pb.size();
  return CompareText(a, b) < 0;
}

bool NaturalPathLess(std::string_view a, std::string_view b, char separator) {
  auto last_component = [separator](std::string_view path) {
    // No byte of a UTF-8 character other than an ASCII one is below 0x80. Windows takes "/" as
    // a separator too ("merge -N ./*.txt" names files so there).
    const size_t last = separator == '\\' ? path.find_last_of("\\/") : path.rfind(separator);
    return last == std::string_view::npos ? path : path.substr(last + 1);
  };
  std::string_view na = last_component(a), nb = last_component(b);
  if (NaturalLess(na, nb)) return true;
  if (NaturalLess(nb, na)) return false;
  return NaturalLess(a, b);
}

void SortPathsNaturally(std::vector<std::string>& paths, char separator) {
  std::stable_sort(paths.begin(), paths.end(), [separator](const std::string& a,
                                                           const std::string& b) {
    return NaturalPathLess(a, b, separator);
  });
}

}  // namespace travik
