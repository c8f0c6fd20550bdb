// The insertion builders against the slow, literal model of the insert routines: after every N
// bytes, at sorted draws, after every match; and the builder itself at rising candidates, where
// every insertion point must fall between characters.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/encoding.h"
#include "text/pattern.h"
#include "fuzz/fuzz_util.h"
#include "insert/insert_model.h"
#include "insert/insertion_builder.h"

namespace travik::fuzz {
namespace {

// Bytes of 0x80 or more directly before `offset`: an odd count means the offset splits a
// character.
size_t HighBytesBefore(std::string_view text, size_t offset) {
  size_t n = 0;
  while (n < offset && static_cast<unsigned char>(text[offset - 1 - n]) >= 0x80) ++n;
  return n;
}

void CheckSame(const std::string& got, const std::string& want, const char* what) {
  FUZZ_CHECK(got == want, "%s: %s\nwanted %s", what, model::Hex(got).c_str(),
             model::Hex(want).c_str());
}

// Small pieces, so that the hand-over between the window and the sink is exercised too.
constexpr size_t kPiece = 64;

// UTF-8 (any bytes, perhaps after a mark) and GB18030 (any bytes: stray lead bytes must never take
// inserted bytes into a character) against the encoded model, in the three routines.
void FuzzEncoded(Input& input, unsigned how) {
  const bool utf8 = how % 2 == 0;
  const Encoding encoding = utf8 ? Encoding::kUtf8 : Encoding::kGb18030;
  const std::string insert(input.Bytes(1 + input.Byte() % 9));
  if (CheckText(insert, encoding).check != TextCheck::kValid) return;
  const unsigned mode = input.Byte() % 3;
  const unsigned a = input.Byte();
  const unsigned b = input.Byte();
  std::string pattern;
  if (mode == 2) pattern = std::string(input.Bytes(a % 12));
  std::string source(input.rest());
  size_t mark = 0;
  if (utf8 && how % 4 == 0) {
    source.insert(0, "\xEF\xBB\xBF");
    mark = 3;
  }
  const TextLayout layout{encoding, mark};
  const model::EncodedText form{encoding, mark};
  StringSink out;
  if (mode == 0) {
    const int interval = 1 + static_cast<int>(a % 64);
    const int steps = static_cast<int>(b % 64);
    FUZZ_CHECK(InsertEveryInterval(source, insert, interval, steps, out, kPiece, layout), "failed");
    CheckSame(out.text, model::InsertByLengthIn(source, form, insert, interval, steps),
              "encoded every N");
  } else if (mode == 1) {
    std::vector<int> draws(a % 16);
    for (int& d : draws) d = 1 + static_cast<int>((input.Byte() << 8 | b) % (source.size() + 4));
    std::sort(draws.begin(), draws.end());
    FUZZ_CHECK(InsertAtDraws(source, insert, draws, out, kPiece, layout), "failed");
    CheckSame(out.text, model::InsertAtRandomIn(source, form, insert, draws), "encoded draws");
  } else {
    Pattern compiled;
    if (!RegexCompile(&compiled, pattern)) return;
    RegexSearchResult matches =
        RegexSearchAll(compiled, std::string_view(source).substr(mark), encoding);
    for (MatchRecord& m : matches.matches) m.groups[0].start += static_cast<int64_t>(mark);
    FUZZ_CHECK(InsertAfterMatches(source, insert, matches, out, kPiece, layout), "failed");
    CheckSame(out.text, model::InsertAtKeywordIn(source, form, insert, pattern),
              "encoded matches");
  }
}

}  // namespace

void FuzzOne(Input& input) {
  const unsigned first = input.Byte();
  if (first % 8 >= 4) {
    FuzzEncoded(input, first / 8);
    return;
  }
  const unsigned mode = first % 4;
  const std::string insert(input.Bytes(input.Byte() % 9));
  StringSink out;
  if (mode == 0) {
    const int interval = 1 + static_cast<int>(input.Byte() % 64);
    const int steps = static_cast<int>(input.Byte() % 64);
    const std::string source(input.rest());
    FUZZ_CHECK(InsertEveryInterval(source, insert, interval, steps, out, kPiece), "failed");
    CheckSame(out.text, model::InsertByLength(source, insert, interval, steps), "every N");
  } else if (mode == 1) {
    std::vector<unsigned> raw(input.Byte() % 16);
    for (unsigned& r : raw) r = input.Byte() << 8 | input.Byte();
    const std::string source(input.rest());
    if (source.empty()) return;  // draws lie in 1 ... length
    std::vector<int> draws;
    for (unsigned r : raw) draws.push_back(1 + static_cast<int>(r % source.size()));
    std::sort(draws.begin(), draws.end());
    FUZZ_CHECK(InsertAtDraws(source, insert, draws, out, kPiece), "failed");
    CheckSame(out.text, model::InsertAtRandom(source, insert, draws), "at draws");
  } else if (mode == 2) {
    const std::string pattern(input.Bytes(input.Byte() % 16));
    const std::string source(input.rest());
    Pattern compiled;
    if (!RegexCompile(&compiled, pattern)) return;
    const RegexSearchResult matches = RegexSearchAll(compiled, source);
    FUZZ_CHECK(InsertAfterMatches(source, insert, matches, out, kPiece), "failed");
    CheckSame(out.text, model::InsertAtKeyword(source, insert, pattern), "after matches");
  } else {
    std::vector<int64_t> candidates(input.Byte() % 32);
    int64_t pos = 0;
    for (int64_t& c : candidates) c = pos += input.Byte() % 48;
    const std::string source(input.rest());
    std::string current = source;  // the text as the insertions leave it
    InsertionBuilder builder(source, insert, out, kPiece);
    for (int64_t candidate : candidates) {
      const int64_t offset = builder.InsertAtPoint(candidate);
      const int64_t end = static_cast<int64_t>(current.size());
      // The point moves to the end of the character it falls in, then past an LF it would
      // separate from its CR; it never lands between the two.
      auto between_cr_lf = [&](int64_t at) {
        return at > 0 && at < end && current[static_cast<size_t>(at) - 1] == '\r' &&
               current[static_cast<size_t>(at)] == '\n';
      };
      bool expected = false;
      for (int64_t base : {std::min(candidate, end), std::min(candidate + 1, end)}) {
        expected = expected || offset == base || (between_cr_lf(base) && offset == base + 1);
      }
      FUZZ_CHECK(expected, "offset %lld for candidate %lld", static_cast<long long>(offset),
                 static_cast<long long>(candidate));
      FUZZ_CHECK(!between_cr_lf(offset), "insertion at %lld between CR and LF",
                 static_cast<long long>(offset));
      FUZZ_CHECK(offset == end || HighBytesBefore(current, offset) % 2 == 0,
                 "insertion at %lld splits a character", static_cast<long long>(offset));
      current.insert(static_cast<size_t>(offset), insert);
      FUZZ_CHECK(builder.size() == static_cast<int64_t>(current.size()), "size");
    }
    FUZZ_CHECK(builder.Finish(), "failed");
    CheckSame(out.text, current, "builder");
  }
}

}  // namespace travik::fuzz
