// The character classes keywords see (\w, \b, \s, \d, [[:alpha:]] ...), the same on every system.
// The library's own classes come from the C library's locale tables, which know Chinese
// characters as letters on Windows and not at all on Linux. Here every class is a set of the
// kinds below, and each character's kinds come from one table: ASCII as in the classic C locale,
// the rest by what the character is (Chinese characters, kana, Greek, Cyrillic, pinyin and
// full-width letters are letters; full-width digits are digits; the ideographic space is a space;
// everything else GBK holds is punctuation).
#ifndef TRAVIK_TEXT_REGEX_TRAITS_H_
#define TRAVIK_TEXT_REGEX_TRAITS_H_

#include <boost/regex.hpp>

#include <cstdint>
#include <string>

namespace travik {

class KeywordRegexTraits : public boost::cpp_regex_traits<wchar_t> {
 public:
  using char_class_type = std::uint32_t;

  // The kinds a character can have; a class matches a character that has any of its kinds.
  enum Kind : char_class_type {
    kUpper = 1 << 0,
    kLower = 1 << 1,
    kLetter = 1 << 2,  // every letter, with or without case
    kDigit = 1 << 3,
    kHexDigit = 1 << 4,
    kSpace = 1 << 5,
    kBlank = 1 << 6,  // space within a line
    kVertical = 1 << 7,
    kPunct = 1 << 8,
    kControl = 1 << 9,
    kPrint = 1 << 10,
    kUnderscore = 1 << 11,
    kBeyondLatin1 = 1 << 12,
  };

  char_class_type lookup_classname(const wchar_t* p1, const wchar_t* p2) const {
    std::string name;
    for (const wchar_t* p = p1; p != p2; ++p) {
      if (*p >= 0x80) return 0;
      name += static_cast<char>(*p >= 'A' && *p <= 'Z' ? *p + 32 : *p);
    }
    struct Entry {
      const char* name;
      char_class_type kinds;
    };
    static const Entry kClasses[] = {
        {"alnum", kLetter | kDigit},  {"alpha", kLetter},         {"blank", kBlank},
        {"cntrl", kControl},          {"d", kDigit},              {"digit", kDigit},
        {"graph", kLetter | kDigit | kPunct}, {"h", kBlank},      {"l", kLower},
        {"lower", kLower},            {"print", kPrint},          {"punct", kPunct},
        {"s", kSpace},                {"space", kSpace},          {"u", kUpper},
        {"upper", kUpper},            {"unicode", kBeyondLatin1}, {"v", kVertical},
        {"w", kLetter | kDigit | kUnderscore}, {"word", kLetter | kDigit | kUnderscore},
        {"xdigit", kHexDigit},
    };
    for (const Entry& e : kClasses) {
      if (name == e.name) return e.kinds;
    }
    return 0;
  }

  bool isctype(wchar_t c, char_class_type f) const { return (KindsOf(c) & f) != 0; }

  static char_class_type KindsOf(wchar_t c) {
    const unsigned u = static_cast<unsigned>(c);
    auto in = [u](unsigned from, unsigned to) { return u >= from && u <= to; };
    const char_class_type upper = kUpper | kLetter | kPrint;
    const char_class_type lower = kLower | kLetter | kPrint;
    if (u < 0x80) {
      if (in('0', '9')) return kDigit | kHexDigit | kPrint;
      if (in('A', 'Z')) return upper | (u <= 'F' ? kHexDigit : char_class_type{0});
      if (in('a', 'z')) return lower | (u <= 'f' ? kHexDigit : char_class_type{0});
      if (u == ' ') return kSpace | kBlank | kPrint;
      if (u == '\t') return kSpace | kBlank | kControl;
      if (in(0x0A, 0x0D)) return kSpace | kVertical | kControl;
      if (u < 0x20 || u == 0x7F) return kControl;
      return kPunct | kPrint | (u == '_' ? kUnderscore : char_class_type{0});
    }
    const char_class_type wide = u > 0xFF ? kBeyondLatin1 : char_class_type{0};
    if (u < 0xA0) return kControl;
    if (u == 0x3000) return wide | kSpace | kBlank | kPrint;
    if (in(0xD800, 0xDFFF) || u >= 0xFFFE) return wide;  // bytes that do not decode; no character
    if (in(0xC0, 0xDE) && u != 0xD7) return upper;
    if (in(0xDF, 0xFF) && u != 0xF7) return lower;
    if (in(0x100, 0x2AF) || in(0x1E00, 0x1EFF)) return wide | lower;  // GBK holds small ones only
    if (in(0x391, 0x3A9) || in(0x400, 0x42F) || in(0xFF21, 0xFF3A) || in(0x2160, 0x216F)) {
      return wide | upper;
    }
    if (in(0x3B1, 0x3C9) || in(0x430, 0x45F) || in(0xFF41, 0xFF5A) || in(0x2170, 0x217F)) {
      return wide | lower;
    }
    if (in(0xFF10, 0xFF19)) return wide | kDigit | kPrint;
    // Chinese characters, 々 〆 〇, kana, bopomofo, Hangul: letters without case.
    if (in(0x3005, 0x3007) || in(0x3041, 0x3096) || in(0x309D, 0x309F) || in(0x30A1, 0x30FA) ||
        in(0x30FC, 0x30FF) || in(0x3105, 0x312F) || in(0x31A0, 0x31BF) || in(0x3400, 0x4DBF) ||
        in(0x4E00, 0x9FFF) || in(0xAC00, 0xD7A3) || in(0xF900, 0xFAFF)) {
      return wide | kLetter | kPrint;
    }
    return wide | kPunct | kPrint;  // punctuation, symbols, box drawing, numbers in circles ...
  }
};

using KeywordRegex = boost::basic_regex<wchar_t, KeywordRegexTraits>;

}  // namespace travik

#endif  // TRAVIK_TEXT_REGEX_TRAITS_H_
