// Keyword search: Boost.Regex over the characters of a text in GBK, GB18030 or UTF-8, Perl
// grammar. Match offsets are byte offsets into the text.
#ifndef TRAVIK_TEXT_PATTERN_H_
#define TRAVIK_TEXT_PATTERN_H_

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/encoding.h"

namespace travik {

// What the jobs say about a keyword that is no valid pattern (followed by Pattern::error()), and
// about a file in which the keyword matches nothing.
inline constexpr char kInvalidPatternMessage[] = "关键字不是有效的正则表达式：";
inline constexpr char kKeywordNotFound[] = "未找到关键字";

// One group of a match: 0-based start offset in the searched text, length, whether it matched.
struct MatchGroup {
  int64_t start = 0;
  int64_t length = 0;
  bool matched = false;
};

// One match: the whole match, groups[0]. The jobs need nothing else, and a keyword can match on
// every line of a long text, so a record holds no heap block of its own.
struct MatchRecord {
  std::array<MatchGroup, 1> groups;
};

// All matches in ascending order, and whether the library gave up before the end.
struct RegexSearchResult {
  std::vector<MatchRecord> matches;
  bool cut_short = false;
  size_t size() const { return matches.size(); }
  bool empty() const { return matches.empty(); }
  const MatchRecord& operator[](size_t i) const { return matches[i]; }
};

// A compiled pattern.
class Pattern {
 public:
  Pattern();
  ~Pattern();
  Pattern(Pattern&&) noexcept;
  Pattern& operator=(Pattern&&) noexcept;

  // Compiles the pattern (typed text, UTF-8) as a pattern over characters with the Perl grammar
  // (ignoring case when case_sensitive is false). False when the library rejects the pattern; the object then
  // matches nothing and error() gives the library's reason.
  bool Compile(std::string_view pattern, bool case_sensitive = true);
  bool valid() const;
  const std::string& error() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
  friend RegexSearchResult RegexSearchAll(const Pattern& pattern, std::string_view text);
  friend RegexSearchResult RegexSearchAll(const Pattern& pattern, std::string_view text,
                                          Encoding encoding);
};

// Compiles `pattern` into *compiled; false when the library rejects it.
bool RegexCompile(Pattern* compiled, std::string_view pattern, bool case_sensitive = true);

// Every match of the pattern in the text, leftmost first. The pattern sees characters: a match
// starts and ends between two characters, and "^", "$", \b and look-behind see the whole text
// around it. After a match the search goes on from its end; after an empty match, from the next
// character. An empty match at the end of a text that ends in a line break is not reported (no
// line follows that break). If the library gives up, the matches so far are returned with
// cut_short set.
RegexSearchResult RegexSearchAll(const Pattern& pattern, std::string_view text);

// The same search over a text in `encoding` (without its byte-order mark): the pattern means the
// same characters in every encoding, and the offsets are the text's own bytes, between its
// characters. A character beyond U+FFFF (GB18030 four-byte, UTF-8 four-byte) is one character,
// on Windows too; the pattern names one as \x{20000}. GBK runs the search above; UTF-16 finds
// nothing.
RegexSearchResult RegexSearchAll(const Pattern& pattern, std::string_view text, Encoding encoding);

// The bytes of the whole match; empty when it holds no whole match.
std::string MatchText(const MatchRecord& match, std::string_view text);
// The 0-based offset of the whole match, or -1 when it holds no whole match.
int64_t MatchPosition(const MatchRecord& match);

}  // namespace travik

#endif  // TRAVIK_TEXT_PATTERN_H_
