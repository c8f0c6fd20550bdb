// Texts in every working encoding: stepping, checking, recognising, converting and the keyword
// search. Character boundaries come from plain stepping by CharLength from the start; the
// cursor, the check, the search and the conversions must agree with them. The program's own
// strings (UTF-8) and their conversions at the system's edge and into the files' encodings are
// checked on the same bytes.
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

// Well-formed UTF-8 by plain stepping: every byte of 0x80 or more begins a sequence that
// Utf8SequenceLength accepts whole.
bool SteppedUtf8(std::string_view text) {
  const char* end = text.data() + text.size();
  for (const char* p = text.data(); p < end;) {
    if (static_cast<unsigned char>(*p) < 0x80) {
      ++p;
      continue;
    }
    const size_t n = Utf8SequenceLength(p, end);
    if (n == 0) return false;
    p += n;
  }
  return true;
}

// The edge conversions on the program's own strings: validity, the wide system form (UTF-16 units
// on Windows, code points elsewhere) both ways, a typed text into each file encoding, and the
// display form of a file's text.
void CheckProgramStrings(std::string_view text, Encoding encoding, std::string_view typed) {
  const bool valid = IsValidUtf8(text);
  FUZZ_CHECK(valid == SteppedUtf8(text), "IsValidUtf8 says %d", valid);
  if (valid) {
    FUZZ_CHECK(WideToUtf8(Utf8ToWide(text)) == text,
               "a valid UTF-8 text changed through the wide form");
  }
  // Any sequence of 16-bit units, as a Windows name may hold (lone surrogates too), comes back.
  std::wstring wide;
  for (size_t p = 0; p + 1 < text.size() && wide.size() < 64; p += 2) {
    const wchar_t unit = static_cast<wchar_t>(static_cast<unsigned char>(text[p]) << 8 |
                                              static_cast<unsigned char>(text[p + 1]));
    if (sizeof(wchar_t) > 2 && unit >= 0xDC00 && unit < 0xE000 && !wide.empty() &&
        wide.back() >= 0xD800 && wide.back() < 0xDC00) {
      const wchar_t high = wide.back();
      wide.back() = static_cast<wchar_t>(0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
    } else {
      wide += unit;
    }
  }
  FUZZ_CHECK(Utf8ToWide(WideToUtf8(wide)) == wide, "a wide name did not come back");

  // A typed text goes into every encoding that holds it, and never into one that does not.
  const bool typed_valid = IsValidUtf8(typed);
  std::string into;
  FUZZ_CHECK(ConvertTypedText(typed, Encoding::kUtf8, &into) == typed_valid, "typed UTF-8");
  if (typed_valid) FUZZ_CHECK(into == typed, "typed text changed going into UTF-8");
  std::string gb18030, back;
  FUZZ_CHECK(ConvertTypedText(typed, Encoding::kGb18030, &gb18030) == typed_valid, "typed GB18030");
  if (typed_valid) {
    FUZZ_CHECK(ConvertText(gb18030, Encoding::kGb18030, Encoding::kUtf8, &back) && back == typed,
               "typed text through GB18030");
  }
  std::string gbk, direct;
  const bool in_gbk = ConvertTypedText(typed, Encoding::kGbk, &gbk);
  FUZZ_CHECK(in_gbk == Utf8ToGbk(typed, &direct), "typed GBK disagrees with Utf8ToGbk");
  if (in_gbk) FUZZ_CHECK(gbk == direct, "typed GBK bytes");

  // GBK text to UTF-8 and back is stable from the first UTF-8 form on.
  std::string utf8, again, utf8_again;
  if (GbkToUtf8(text, &utf8)) {
    FUZZ_CHECK(IsValidUtf8(utf8), "GbkToUtf8 gave invalid UTF-8");
    FUZZ_CHECK(Utf8ToGbk(utf8, &again) && GbkToUtf8(again, &utf8_again) && utf8_again == utf8,
               "GBK to UTF-8 and back is not stable");
  }

  // The display form is always UTF-8, and is the conversion where there is one (UTF-8 to UTF-8
  // copies unchecked: there only a valid text has one).
  const std::string shown = ToUtf8Lossy(text, encoding);
  FUZZ_CHECK(IsValidUtf8(shown), "ToUtf8Lossy gave invalid UTF-8");
  FUZZ_CHECK(shown.size() >= text.size() || encoding != Encoding::kUtf8,
             "ToUtf8Lossy dropped bytes of a UTF-8 text");
  std::string converted;
  if ((encoding != Encoding::kUtf8 || valid) &&
      ConvertText(text, encoding, Encoding::kUtf8, &converted)) {
    FUZZ_CHECK(shown == converted, "ToUtf8Lossy differs from ConvertText on a valid text");
  }
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
  CheckProgramStrings(text, encoding, pattern);

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
