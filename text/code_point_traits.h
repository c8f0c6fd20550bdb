// Boost.Regex traits for 32-bit code points (char32_t), so that a character outside the Basic
// Multilingual Plane is one character to the engine also where wchar_t has 16 bits (Windows).
// Every question about a character that fits in wchar_t is answered by the keyword traits the
// GBK search uses (core/regex_traits.h), so both searches agree on classes, case and syntax; a
// character beyond (only on Windows) is in no class and has no other case.
#ifndef TRAVIK_TEXT_CODE_POINT_TRAITS_H_
#define TRAVIK_TEXT_CODE_POINT_TRAITS_H_

#include <boost/regex.hpp>
#include <cwchar>
#include <string>

#include "text/regex_traits.h"

// Lines end where they end in a GBK text: at \n, \r and \f only. The library also ends them at
// U+0085, U+2028 and U+2029 (which GBK lacks), and at every code point sharing their low 16 bits
// (U+20085 among them), so that "^" and "$" would match inside a UTF-8 or GB18030 line.
namespace boost::BOOST_REGEX_DETAIL_NS {
template <>
inline bool is_separator<char32_t>(char32_t c) {
  return c == U'\n' || c == U'\r' || c == U'\f';
}
}  // namespace boost::BOOST_REGEX_DETAIL_NS

namespace travik {

class CodePointRegexTraits {
 public:
  using Base = KeywordRegexTraits;
  using char_type = char32_t;
  using size_type = std::size_t;
  using string_type = std::u32string;
  using locale_type = Base::locale_type;
  using char_class_type = Base::char_class_type;
  struct boost_extensions_tag {};

  static size_type length(const char_type* p) { return std::char_traits<char32_t>::length(p); }

  boost::regex_constants::syntax_type syntax_type(char_type c) const {
    return Fits(c) ? base_.syntax_type(Wide(c)) : boost::regex_constants::syntax_char;
  }
  boost::regex_constants::escape_syntax_type escape_syntax_type(char_type c) const {
    return Fits(c) ? base_.escape_syntax_type(Wide(c))
                   : boost::regex_constants::escape_type_identity;
  }
  char_type translate(char_type c) const { return c; }
  char_type translate_nocase(char_type c) const {
    return Fits(c) ? Narrow(base_.translate_nocase(Wide(c))) : c;
  }
  char_type translate(char_type c, bool icase) const {
    return icase ? translate_nocase(c) : translate(c);
  }
  char_type tolower(char_type c) const { return Fits(c) ? Narrow(base_.tolower(Wide(c))) : c; }
  char_type toupper(char_type c) const { return Fits(c) ? Narrow(base_.toupper(Wide(c))) : c; }
  string_type transform(const char_type* p1, const char_type* p2) const {
    std::wstring w;
    return ToWide(p1, p2, &w) ? FromWide(base_.transform(w.data(), w.data() + w.size()))
                              : string_type(p1, p2);
  }
  string_type transform_primary(const char_type* p1, const char_type* p2) const {
    std::wstring w;
    return ToWide(p1, p2, &w) ? FromWide(base_.transform_primary(w.data(), w.data() + w.size()))
                              : string_type(p1, p2);
  }
  char_class_type lookup_classname(const char_type* p1, const char_type* p2) const {
    std::wstring w;
    return ToWide(p1, p2, &w) ? base_.lookup_classname(w.data(), w.data() + w.size())
                              : char_class_type();
  }
  string_type lookup_collatename(const char_type* p1, const char_type* p2) const {
    std::wstring w;
    return ToWide(p1, p2, &w) ? FromWide(base_.lookup_collatename(w.data(), w.data() + w.size()))
                              : string_type();
  }
  bool isctype(char_type c, char_class_type f) const {
    return Fits(c) && base_.isctype(Wide(c), f);
  }
  std::intmax_t toi(const char_type*& p1, const char_type* p2, int radix) const {
    return boost::BOOST_REGEX_DETAIL_NS::global_toi(p1, p2, radix, *this);
  }
  int value(char_type c, int radix) const { return Fits(c) ? base_.value(Wide(c), radix) : -1; }
  locale_type imbue(locale_type l) { return base_.imbue(l); }
  locale_type getloc() const { return base_.getloc(); }
  std::string error_string(boost::regex_constants::error_type e) const {
    return base_.error_string(e);
  }

 private:
  static bool Fits(char_type c) { return c <= static_cast<char32_t>(WCHAR_MAX); }
  static wchar_t Wide(char_type c) { return static_cast<wchar_t>(c); }
  static char_type Narrow(wchar_t c) {
    return static_cast<char_type>(static_cast<std::make_unsigned_t<wchar_t>>(c));
  }
  static bool ToWide(const char_type* p1, const char_type* p2, std::wstring* out) {
    for (; p1 != p2; ++p1) {
      if (!Fits(*p1)) return false;
      *out += Wide(*p1);
    }
    return true;
  }
  static string_type FromWide(const std::wstring& w) {
    string_type out;
    for (wchar_t c : w) out += Narrow(c);
    return out;
  }

  Base base_;
};

}  // namespace travik

#endif  // TRAVIK_TEXT_CODE_POINT_TRAITS_H_
