#include "core/pattern.h"

#include <boost/regex.hpp>

#include <cstring>

#include "core/encoding.h"
#include "core/text.h"

namespace travik {

struct Pattern::Impl {
  boost::wregex re;
  bool valid = false;
  std::string error;
  // The GBK bytes of a character every match begins with, when the pattern plainly says so;
  // the search then only tries the places where that character stands.
  std::string first_char;
};

namespace {

bool IsSyntax(wchar_t c) { return c < 0x80 && std::strchr("\\^$.[]()*+?{}|", static_cast<char>(c)); }

// The GBK bytes of the character every match of `pattern` must begin with, or empty when that is
// not plain: the pattern (after an optional "^") opens with a literal character that no "?", "*"
// or "{" may leave out, and holds no alternative "|" anywhere.
std::string FirstCharacter(std::string_view pattern, const std::wstring& wide) {
  if (wide.find(L'|') != std::wstring::npos) return {};
  size_t k = 0;
  size_t byte = 0;
  if (k < wide.size() && wide[k] == L'^') {
    ++k;
    ++byte;
  }
  if (k >= wide.size() || IsSyntax(wide[k]) || wide[k] == kUnmatchable) return {};
  if (k + 1 < wide.size() && (wide[k + 1] == L'?' || wide[k + 1] == L'*' || wide[k + 1] == L'{')) {
    return {};
  }
  const char* at = pattern.data() + byte;
  return std::string(at, GbkCharLength(at, pattern.data() + pattern.size()));
}

}  // namespace

Pattern::Pattern() : impl_(std::make_unique<Impl>()) {}
Pattern::~Pattern() = default;
Pattern::Pattern(Pattern&&) noexcept = default;
Pattern& Pattern::operator=(Pattern&&) noexcept = default;

bool Pattern::Compile(std::string_view pattern, bool case_sensitive) {
  impl_->valid = false;
  impl_->error.clear();
  const std::wstring wide = GbkPatternToWide(pattern);
  try {
    boost::wregex::flag_type flags = boost::regex::perl;
    if (!case_sensitive) flags |= boost::regex::icase;
    impl_->re.assign(wide.data(), wide.data() + wide.size(), flags);
    impl_->valid = true;
    impl_->first_char = case_sensitive ? FirstCharacter(pattern, wide) : std::string();
  } catch (const boost::regex_error& e) {
    // The library's own short description (ASCII), and where in the pattern it stopped.
    impl_->error = JoinText(boost::BOOST_REGEX_DETAIL_NS::get_default_error_string(e.code()),
                            "（第 ", NumberToText(static_cast<int>(e.position()) + 1), " 个字符处）");
  } catch (const std::exception& e) {
    impl_->error = e.what();
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

}  // namespace

RegexSearchResult RegexSearchAll(const Pattern& pattern, std::string_view text) {
  RegexSearchResult result;
  if (text.empty() || !pattern.valid()) return result;
  const boost::wregex& re = pattern.impl_->re;
  const GbkSearchText chars(text);
  const GbkCharIterator begin(chars.begin, &chars);
  const GbkCharIterator end(chars.end, &chars);
  const char* bytes = text.data();

  const std::string& first_char = pattern.impl_->first_char;

  // The leftmost match that starts at `from` or later. With a known first character only the
  // places where it begins a character are tried.
  boost::match_results<GbkCharIterator> m;
  auto next_match = [&](GbkCharIterator from) {
    boost::match_flag_type flags = boost::match_default;
    if (first_char.empty()) {
      // base = the whole text's start: "^", \b and look-behind see the characters before `from`.
      if (from != begin) flags |= boost::match_prev_avail;
      return boost::regex_search(from, end, m, re, flags, begin);
    }
    flags |= boost::match_continuous;
    for (size_t at = static_cast<size_t>(from.byte() - bytes);
         (at = text.find(first_char, at)) != std::string_view::npos; ++at) {
      if (!chars.starts.IsStart(at)) continue;
      const GbkCharIterator candidate(bytes + at, &chars);
      boost::match_flag_type here = flags;
      if (at != 0) here |= boost::match_prev_avail;
      if (boost::regex_search(candidate, end, m, re, here, begin)) return true;
    }
    return false;
  };

  GbkCharIterator from = begin;
  try {
    while (true) {
      if (!next_match(from)) break;
      const GbkCharIterator match_end = m[0].second;
      const bool empty = m[0].first == match_end;
      if (empty && match_end == end && EndsInLineBreak(text)) break;
      MatchRecord record;
      record.groups.resize(m.size());
      for (size_t g = 0; g < m.size(); ++g) {
        if (m[g].matched) {
          record.groups[g] = {m[g].first.byte() - bytes, m[g].second.byte() - m[g].first.byte(),
                              true};
        }
      }
      result.matches.push_back(std::move(record));
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
