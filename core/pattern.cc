#include "core/pattern.h"

#include <boost/regex.hpp>

#include "core/text.h"

namespace travik {

struct Pattern::Impl {
  boost::regex re;
  bool valid = false;
};

Pattern::Pattern() : impl_(std::make_unique<Impl>()) {}
Pattern::~Pattern() = default;
Pattern::Pattern(Pattern&&) noexcept = default;
Pattern& Pattern::operator=(Pattern&&) noexcept = default;

bool Pattern::Compile(std::string_view pattern, bool case_sensitive) {
  impl_->valid = false;
  try {
    boost::regex::flag_type flags = boost::regex::perl;
    if (!case_sensitive) flags |= boost::regex::icase;
    impl_->re.assign(pattern.data(), pattern.data() + pattern.size(), flags);
    impl_->valid = true;
  } catch (const std::exception&) {
    impl_->valid = false;
  }
  return impl_->valid;
}

bool Pattern::valid() const { return impl_->valid; }

bool RegexCompile(Pattern* compiled, std::string_view pattern, bool case_sensitive) {
  return compiled->Compile(pattern, case_sensitive);
}

RegexSearchResult RegexSearchAll(const Pattern& pattern, std::string_view text) {
  RegexSearchResult result;
  if (text.empty() || !pattern.valid()) return result;
  const boost::regex& re = pattern.impl_->re;
  const char* begin = text.data();
  const char* end = begin + text.size();
  BoundaryCursor boundaries(text);

  const char* range = begin;  // the current range starts here and is a text of its own
  const char* from = begin;   // where the next search starts within the range
  boost::cmatch m;
  try {
    while (from <= end) {
      // base = range: "^", \b and look-behind treat the range start as the start of a text.
      if (!boost::regex_search(from, end, m, re, boost::match_default, range)) break;
      const char* at = m[0].first;
      size_t offset = static_cast<size_t>(at - begin);
      if (offset < text.size() && !boundaries.IsCharStart(offset)) {
        // A hit on the second byte of a character is no match: go on one byte later.
        from = at + 1;
        continue;
      }
      MatchRecord record;
      record.groups.resize(m.size());
      for (size_t g = 0; g < m.size(); ++g) {
        if (m[g].matched) {
          record.groups[g] = {m[g].first - begin, m[g].second - m[g].first, true};
        }
      }
      result.matches.push_back(std::move(record));
      const char* match_end = m[0].second;
      if (match_end == begin) break;  // an empty match at the very start ends the list
      if (match_end != at) {
        range = from = match_end;
        continue;
      }
      // An empty match: the range starts here, the search one character on.
      if (match_end == end) break;
      range = match_end;
      size_t step = (IsLeadByte(static_cast<unsigned char>(*match_end)) && match_end + 1 < end) ? 2 : 1;
      from = match_end + step;
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
