#include "text/pattern.h"

#include <boost/regex.hpp>

#include <cstring>

#include "text/code_point_traits.h"
#include "text/codepage.h"
#include "text/encoding.h"
#include "text/regex_traits.h"
#include "text/text.h"

namespace travik {

using CodePointRegex = boost::basic_regex<char32_t, CodePointRegexTraits>;

struct Pattern::Impl {
  KeywordRegex re;
  CodePointRegex code_point_re;  // the same pattern for texts decoded to code points
  bool wide_valid = false;       // false when only code_point_re could take the pattern
  bool valid = false;
  std::string error;
  // The character every match begins with, when the pattern plainly says so (UTF-8, and its GBK
  // bytes when GBK holds it); the search then only tries the places where that character stands.
  std::string first_char;
  std::string first_char_gbk;
};

namespace {

bool IsSyntax(wchar_t c) { return c < 0x80 && std::strchr("\\^$.[]()*+?{}|", static_cast<char>(c)); }

// The character every match of the pattern (its code points) must begin with, as UTF-8, or
// empty when that is not plain: the pattern (after an optional "^") opens with a literal
// character that no "?", "*" or "{" may leave out, and holds no alternative "|" anywhere.
std::string FirstCharacter(const std::u32string& pattern) {
  if (pattern.find(U'|') != std::u32string::npos) return {};
  size_t k = 0;
  if (k < pattern.size() && pattern[k] == U'^') ++k;
  if (k >= pattern.size() || pattern[k] > 0x10FFFF) return {};
  if (pattern[k] < 0x80 && IsSyntax(static_cast<wchar_t>(pattern[k]))) return {};
  if (k + 1 < pattern.size() &&
      (pattern[k + 1] == U'?' || pattern[k + 1] == U'*' || pattern[k + 1] == U'{')) {
    return {};
  }
  const std::wstring wide(1, static_cast<wchar_t>(pattern[k]));
  if (sizeof(wchar_t) == 2 && pattern[k] > 0xFFFF) return {};
  return WideToUtf8(wide);
}

// The pattern's characters. Bytes that are no UTF-8 become a value beyond Unicode, which no
// character of any text has.
std::u32string PatternCodePoints(std::string_view pattern) {
  std::u32string out;
  const char* end = pattern.data() + pattern.size();
  for (const char* p = pattern.data(); p < end;) {
    const size_t n = static_cast<unsigned char>(*p) < 0x80 ? 1 : Utf8SequenceLength(p, end);
    if (n == 0) {
      out += char32_t{0x110000};
      ++p;
    } else {
      out += DecodeChar(Encoding::kUtf8, p, end);
      p += n;
    }
  }
  return out;
}

}  // namespace

Pattern::Pattern() : impl_(std::make_unique<Impl>()) {}
Pattern::~Pattern() = default;
Pattern::Pattern(Pattern&&) noexcept = default;
Pattern& Pattern::operator=(Pattern&&) noexcept = default;

namespace {

// The reason in Chinese for the mistakes people make; the library's own short description
// (ASCII) in parentheses for the rare rest.
std::string ErrorReason(const boost::regex_error& e) {
  namespace rc = boost::regex_constants;
  switch (e.code()) {
    case rc::error_brack:
      return "方括号 [ ] 不成对";
    case rc::error_paren:
      return "圆括号 ( ) 不成对";
    case rc::error_brace:
      return "花括号 { } 不成对";
    case rc::error_badbrace:
      return "花括号 { } 中的次数无效";
    case rc::error_badrepeat:
      return "重复符号（* + ? 或 {n}）前面没有可以重复的内容";
    case rc::error_escape:
      return "反斜杠 \\ 后面的字符无效";
    case rc::error_range:
      return "字符范围无效（如 z-a，起点大于终点）";
    case rc::error_ctype:
      return "方括号中的字符范围或字符类无效（如 z-a、[:abc:]）";
    case rc::error_backref:
      return "反向引用无效（引用了不存在的分组）";
    case rc::error_complexity:
    case rc::error_stack:
    case rc::error_space:
      return "表达式太复杂";
    default:
      return JoinText("表达式无效（",
                      boost::BOOST_REGEX_DETAIL_NS::get_default_error_string(e.code()), "）");
  }
}

// Why, and where in the pattern it stopped.
std::string DescribeError(const boost::regex_error& e) {
  return JoinText(ErrorReason(e), "（第 ", NumberToText(static_cast<int>(e.position()) + 1),
                  " 个字符处）");
}

}  // namespace

bool Pattern::Compile(std::string_view pattern, bool case_sensitive) {
  impl_->valid = false;
  impl_->wide_valid = false;
  impl_->error.clear();
  impl_->first_char.clear();
  impl_->first_char_gbk.clear();
  const std::u32string code_points = PatternCodePoints(pattern);
  // The search over GBK texts runs on wchar_t. Where it has 16 bits, a pattern naming a character
  // beyond U+FFFF (𠀀, \x{20000}) compiles only over code points; it then finds nothing in GBK,
  // which holds no such character.
  std::wstring wide;
  bool fits_wide = true;
  for (char32_t c : code_points) {
    if (c > 0x10FFFF) {
      wide += kUnmatchable;
    } else if (sizeof(wchar_t) == 2 && c > 0xFFFF) {
      fits_wide = false;
      break;
    } else {
      wide += static_cast<wchar_t>(c);
    }
  }
  KeywordRegex::flag_type flags = boost::regex::perl;
  if (!case_sensitive) flags |= boost::regex::icase;
  if (fits_wide) {
    try {
      impl_->re.assign(wide.data(), wide.data() + wide.size(), flags);
      impl_->wide_valid = true;
    } catch (const boost::regex_error& e) {
      impl_->error = DescribeError(e);
    } catch (const std::exception& e) {
      impl_->error = e.what();
    }
  }
  try {
    impl_->code_point_re.assign(code_points.data(), code_points.data() + code_points.size(), flags);
    impl_->valid = true;
    impl_->error.clear();
  } catch (const boost::regex_error& e) {
    if (impl_->error.empty()) impl_->error = DescribeError(e);
  } catch (const std::exception& e) {
    if (impl_->error.empty()) impl_->error = e.what();
  }
  if (impl_->valid && case_sensitive) {
    impl_->first_char = FirstCharacter(code_points);
    if (!Utf8ToGbk(impl_->first_char, &impl_->first_char_gbk)) impl_->first_char_gbk.clear();
  }
  return impl_->valid;
}

bool Pattern::valid() const { return impl_->valid; }
const std::string& Pattern::error() const { return impl_->error; }

bool RegexCompile(Pattern* compiled, std::string_view pattern, bool case_sensitive) {
  return compiled->Compile(pattern, case_sensitive);
}

namespace {

bool EndsInLineBreak(std::string_view text) {
  return !text.empty() && (text.back() == '\n' || text.back() == '\r');
}

// Every match over the characters between `begin` and `end` (iterators over `text` that tell
// the byte they stand on). `at` makes the iterator on byte offset x, `is_start` tells whether
// byte x begins a character; `first_char` holds the bytes of the character every match begins
// with, or is empty.
template <typename Iterator, typename Regex, typename At, typename IsStart>
RegexSearchResult SearchAll(const Regex& re, std::string_view text, const std::string& first_char,
                            At at_byte, IsStart is_start) {
  RegexSearchResult result;
  const Iterator begin = at_byte(0);
  const Iterator end = at_byte(text.size());
  const char* bytes = text.data();

  // The leftmost match that starts at `from` or later. With a known first character only the
  // places where it begins a character are tried.
  boost::match_results<Iterator> m;
  auto next_match = [&](Iterator from) {
    boost::match_flag_type flags = boost::match_default;
    if (first_char.empty()) {
      // base = the whole text's start: "^", \b and look-behind see the characters before `from`.
      if (from != begin) flags |= boost::match_prev_avail;
      return boost::regex_search(from, end, m, re, flags, begin);
    }
    flags |= boost::match_continuous;
    for (size_t at = static_cast<size_t>(from.byte() - bytes);
         (at = text.find(first_char, at)) != std::string_view::npos; ++at) {
      if (!is_start(at)) continue;
      const Iterator candidate = at_byte(at);
      boost::match_flag_type here = flags;
      if (at != 0) here |= boost::match_prev_avail;
      if (boost::regex_search(candidate, end, m, re, here, begin)) return true;
    }
    return false;
  };

  Iterator from = begin;
  try {
    while (true) {
      if (!next_match(from)) break;
      const Iterator match_end = m[0].second;
      const bool empty = m[0].first == match_end;
      if (empty && match_end == end && EndsInLineBreak(text)) break;
      MatchRecord record;
      record.groups[0] = {m[0].first.byte() - bytes, match_end.byte() - m[0].first.byte(), true};
      result.matches.push_back(record);
      if (!empty) {
        from = match_end;
      } else if (match_end == end) {
        break;
      } else {
        from = std::next(match_end);
      }
    }
  } catch (const std::exception&) {
    result.cut_short = true;  // the library gave up (complexity or memory limits)
  }
  return result;
}

}  // namespace

RegexSearchResult RegexSearchAll(const Pattern& pattern, std::string_view text) {
  if (text.empty() || !pattern.valid()) return {};
  if (!pattern.impl_->wide_valid) return RegexSearchAll(pattern, text, Encoding::kGbk);
  const GbkSearchText chars(text);
  return SearchAll<GbkCharIterator>(
      pattern.impl_->re, text, pattern.impl_->first_char_gbk,
      [&](size_t at) { return GbkCharIterator(chars.begin + at, &chars); },
      [&](size_t at) { return chars.starts.IsStart(at); });
}

RegexSearchResult RegexSearchAll(const Pattern& pattern, std::string_view text,
                                 Encoding encoding) {
  if (encoding == Encoding::kGbk && pattern.impl_->wide_valid) return RegexSearchAll(pattern, text);
  if (text.empty() || !pattern.valid() || !IsWorkingEncoding(encoding)) return {};
  // The first character in the text's own bytes; without them every place is tried.
  std::string first_char;
  if (!pattern.impl_->first_char.empty() &&
      !ConvertText(pattern.impl_->first_char, Encoding::kUtf8, encoding, &first_char)) {
    first_char.clear();
  }
  const DecodedSearchText chars(text, encoding);
  return SearchAll<DecodedCharIterator>(
      pattern.impl_->code_point_re, text, first_char,
      [&](size_t at) { return DecodedCharIterator(chars.begin() + at, &chars); },
      [&](size_t at) { return chars.IsStart(at); });
}

std::string MatchText(const MatchRecord& match, std::string_view text) {
  if (match.groups.empty() || !match.groups[0].matched) return {};
  const MatchGroup& g = match.groups[0];
  if (g.start < 0 || static_cast<size_t>(g.start) > text.size()) return {};
  return std::string(text.substr(static_cast<size_t>(g.start), static_cast<size_t>(g.length)));
}

int64_t MatchPosition(const MatchRecord& match) {
  if (match.groups.empty() || !match.groups[0].matched) return -1;
  return match.groups[0].start;
}

}  // namespace travik
