// Texts in every working encoding: stepping, checking, recognising, converting and the keyword
// search. Character boundaries come from plain stepping by CharLength from the start; the
// cursor, the check, the search and the conversions must agree with them.
#include <cstdint>
#include <string>
#include <vector>

#include "text/codepage.h"
#include "text/encoding.h"
#include "text/pattern.h"
#include "fuzz/fuzz_util.h"

namespace travik::fuzz {
namespace {

std::vector<bool> StepStarts(std::string_view text, Encoding encoding) {
  std::vector<bool> starts(text.size() + 1, false);
  const char* end = text.data() + text.size();
  for (size_t p = 0; p < text.size(); p += CharLength(encoding, text.data() + p, end)) {
    starts[p] = true;
  }
  starts[text.size()] = true;
  return starts;
}

}  // namespace

void FuzzOne(Input& input) {
  const unsigned flags = input.Byte();
  const Encoding encoding = (flags & 3) == 0   ? Encoding::kUtf8
                            : (flags & 3) == 1 ? Encoding::kGb18030
                                               : Encoding::kGbk;
  const std::string pattern(input.Bytes((flags >> 2) % 16));
  const std::string text(input.rest());
  const std::vector<bool> starts = StepStarts(text, encoding);

  // The cursor answers non-decreasing queries as stepping does.
  CharCursor cursor(text, encoding);
  CharCursor next(text, encoding);
  for (size_t x = 0; x <= text.size(); x += 1 + (x * 7 + flags) % 3) {
    FUZZ_CHECK(cursor.IsCharStart(x) == starts[x], "IsCharStart(%zu)", x);
    size_t want = x;
    while (!starts[want]) ++want;
    FUZZ_CHECK(next.NextBoundary(x) == want, "NextBoundary(%zu)", x);
  }

  // The check stops on a character start. A valid text may still hold a code no character has
  // (an unassigned four-byte GB18030 code): it is refused then, else it comes back unchanged.
  const TextCheckResult check = CheckText(text, encoding);
  FUZZ_CHECK(check.offset <= text.size() && starts[check.offset], "check offset %zu",
             check.offset);
  FUZZ_CHECK((check.check == TextCheck::kValid) == (check.offset == text.size()), "valid offset");
  if (check.check == TextCheck::kValid && encoding != Encoding::kGbk) {
    std::string utf8, back;
    if (ConvertText(text, encoding, Encoding::kUtf8, &utf8) &&
        ConvertText(utf8, Encoding::kUtf8, encoding, &back)) {
      FUZZ_CHECK(back == text, "round trip changed the text");
    }
  }

  // Recognition never reads past the text and names a mark that is there.
  const DetectedEncoding found = DetectEncoding(text);
  FUZZ_CHECK(found.mark_length == ByteOrderMarkLength(text, found.encoding), "mark length");

  // Matches start and end between the encoding's characters, in order. Long texts are left to
  // the pattern target: a pattern such as (a*)* backtracks for seconds on them.
  Pattern compiled;
  if (text.size() > 96 || !RegexCompile(&compiled, pattern, (flags & 0x80) == 0)) return;
  const RegexSearchResult result = RegexSearchAll(compiled, text, encoding);
  int64_t previous_end = 0, previous_start = -1;
  for (const MatchRecord& match : result.matches) {
    const MatchGroup& whole = match.groups[0];
    FUZZ_CHECK(whole.matched && whole.start >= 0 && whole.length >= 0 &&
                   whole.start + whole.length <= static_cast<int64_t>(text.size()),
               "match outside the text");
    FUZZ_CHECK(starts[whole.start] && starts[whole.start + whole.length],
               "a match cuts a character at %lld+%lld", static_cast<long long>(whole.start),
               static_cast<long long>(whole.length));
    FUZZ_CHECK(whole.start > previous_start && whole.start >= previous_end, "matches out of order");
    previous_start = whole.start;
    previous_end = whole.start + whole.length;
  }
}

}  // namespace travik::fuzz
