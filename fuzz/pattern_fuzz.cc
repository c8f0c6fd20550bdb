// The keyword search on any pattern and text: every match lies inside the text, starts and ends
// between characters, moves forward and does not overlap the one before; capture groups lie
// inside the text too.
#include <cstdint>
#include <string>

#include "text/pattern.h"
#include "fuzz/fuzz_util.h"

namespace travik::fuzz {

void FuzzOne(Input& input) {
  const unsigned flags = input.Byte();
  const std::string pattern(input.Bytes(flags % 32));
  const std::string text(input.rest());
  Pattern compiled;
  if (!RegexCompile(&compiled, pattern, (flags & 0x80) == 0)) return;
  const RegexSearchResult result = RegexSearchAll(compiled, text);
  const std::vector<bool> starts = CharacterStarts(text);
  const int64_t length = static_cast<int64_t>(text.size());
  int64_t previous_start = -1;
  int64_t previous_end = 0;
  for (const MatchRecord& match : result.matches) {
    FUZZ_CHECK(!match.groups.empty() && match.groups[0].matched, "a match without its text");
    for (const MatchGroup& g : match.groups) {
      if (!g.matched) continue;
      FUZZ_CHECK(g.start >= 0 && g.length >= 0 && g.start + g.length <= length,
                 "group %lld+%lld outside %lld bytes", static_cast<long long>(g.start),
                 static_cast<long long>(g.length), static_cast<long long>(length));
    }
    const MatchGroup& whole = match.groups[0];
    FUZZ_CHECK(starts[whole.start], "a match starts inside a character at %lld",
               static_cast<long long>(whole.start));
    FUZZ_CHECK(starts[whole.start + whole.length], "a match ends inside a character at %lld",
               static_cast<long long>(whole.start + whole.length));
    FUZZ_CHECK(whole.start > previous_start && whole.start >= previous_end,
               "match at %lld after one at %lld..%lld", static_cast<long long>(whole.start),
               static_cast<long long>(previous_start), static_cast<long long>(previous_end));
    FUZZ_CHECK(MatchPosition(match) == whole.start, "position");
    FUZZ_CHECK(MatchText(match, text) == text.substr(whole.start, whole.length), "match text");
    previous_start = whole.start;
    previous_end = whole.start + whole.length;
  }
}

}  // namespace travik::fuzz
