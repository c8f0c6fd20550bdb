#include "insert/insert_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/pattern.h"
#include "core/text.h"
#include "insert/insert_point.h"
#include "tests/test_util.h"

namespace travik::model {

namespace {

// Counting back from the point to the last byte below 0x80: an odd number of bytes of 0x80 or
// above in between puts the point inside a character.
bool InsideCharacter(const std::string& text, int offset) {
  int high = 0;
  for (int i = offset - 1; i >= 0 && static_cast<unsigned char>(text[i]) >= 0x80; --i) ++high;
  return high % 2 == 1;
}

}  // namespace

std::vector<int> CollectAnchors(const std::string& text, int pos, int line_start) {
  std::vector<int> list;
  for (std::string_view character : kSingleByteAnchors) {
    int p = FindTextReverse(text, character, pos);
    if (p != -1) list.push_back(p);
  }
  if (!list.empty()) {
    SortIntegers(list, false);
    if (list[0] >= line_start) return list;
  }
  for (std::string_view string : kDoubleByteAnchors) {
    int p = FindTextReverse(text, string, pos);
    if (p != -1) list.push_back(p + 1);
  }
  return list;
}

int RuleOffset(const std::string& text, int pos) {
  int code = CharCodeAt(MidText(text, pos, 1), 1);
  if (code > 0) return pos;
  int line_start = FindTextReverse(text, "\r\n", pos);
  if (line_start == -1) line_start = 1;
  std::vector<int> anchors = CollectAnchors(text, pos, line_start);
  SortIntegers(anchors, false);
  int a = anchors.empty() ? 0 : anchors[0];
  int d = pos - a;
  if (std::fabs(Remainder(d, 2)) <= 0.0000001) return pos;
  return pos + 1;
}

int ResolveInsertOffset(const std::string& text, int pos) {
  int offset = RuleOffset(text, pos);
  if (offset <= TextLength(text) && InsideCharacter(text, offset)) {
    offset = offset == pos ? pos + 1 : pos;
  }
  return offset;
}

int InsertionOffset(const std::string& text, int pos) {
  int offset = std::min(ResolveInsertOffset(text, pos), TextLength(text));
  if (offset >= 1 && offset < TextLength(text) && MidText(text, offset, 2) == "\r\n") {
    offset = offset + 1;
  }
  return offset;
}

void WorkingFile::InsertAt(int offset, const std::string& text) {
  if (offset > TextLength(bytes_)) offset = TextLength(bytes_);
  if (offset < 0) offset = 0;
  bytes_.insert(static_cast<size_t>(offset), text);
}

std::string InsertByLength(const std::string& source, const std::string& insert, int interval,
                           int step_count) {
  WorkingFile file(source);
  int position = 0;
  for (int k = 1; k <= step_count; ++k) {
    std::string current = file.ReadText();
    int step_length = k == 1 ? 0 : TextLength(insert);
    position = position + interval;
    position = position + step_length;
    int pos = position;
    int offset = InsertionOffset(current, pos);
    file.InsertAt(offset, insert);
  }
  return file.bytes();
}

std::string InsertAtRandom(const std::string& source, const std::string& insert,
                           std::vector<int> draws) {
  SortIntegers(draws);
  WorkingFile file(source);
  int previous = 0;
  for (size_t k = 1; k <= draws.size(); ++k) {
    std::string current = file.ReadText();
    int step_length = k == 1 ? 0 : TextLength(insert);
    int pos = draws[k - 1] + step_length;
    if (static_cast<double>(pos - previous) - (step_length + 2) < -0.0000001) {
      pos = pos + step_length;
    }
    int offset = InsertionOffset(current, pos);
    file.InsertAt(offset, insert);
    previous = pos;
  }
  return file.bytes();
}

std::string InsertAtKeyword(const std::string& source, const std::string& insert,
                            const std::string& pattern) {
  WorkingFile file(source);
  std::string working = file.ReadText();
  Pattern compiled;
  if (!RegexCompile(&compiled, pattern)) return file.bytes();
  RegexSearchResult matches = RegexSearchAll(compiled, working);
  int shift = 0;
  for (size_t k = 1; k <= matches.size(); ++k) {
    int start = static_cast<int>(MatchPosition(matches[k - 1]));
    int len = TextLength(MatchText(matches[k - 1], working));
    if (k >= 2) shift = shift + TextLength(insert);
    int end = start + len;
    // A match that ends on the first byte of a character gets the text after that character.
    if (end < TextLength(working) && InsideCharacter(working, end)) end = end + 1;
    file.InsertAt(end + shift, insert);
  }
  return file.bytes();
}

std::string SparseText(std::mt19937& rng, size_t length, unsigned spacing,
                       const std::vector<std::string>& rare) {
  std::string text;
  while (text.size() < length) {
    text += rng() % spacing == 0 ? rare[rng() % rare.size()] : "\xD6\xD0";
  }
  return text;
}

std::string RandomText(std::mt19937& rng, size_t max_length, bool loose_end) {
  // clang-format off
  static const char* const kSnippets[] = {
      "\xA3\xAC", "\xA1\xA3", "\xA1\xC2 ", "\xA1\xC2", "\\",     "\xA8M",   "\xA9x",
      "\xA9\x80", "\r\n",     "\r\n",      "\r",       "\x81\r",  "\x82\n", "\x83" "1",
      "\x84|",   "\x85\\",   "\t",        "7",        ",",        "a",      "\xD6\xD0",
      "\xCE\xC4", "\xA1\xA1", "\xA8\x94",  "\xB5\xDA", "\xD5\xC2",
      "\xB5\xDA\xD2\xBB\xD5\xC2"};  // the last: 第一章
  // clang-format on
  std::string extra;
  for (const char* snippet : kSnippets) {
    if (!extra.empty()) extra.push_back('\0');
    extra += snippet;
  }
  std::string text = travik::testing::RandomGbkText(rng, max_length, false, extra);
  if (loose_end && !text.empty() && rng() % 4 == 0) text.push_back('\xB0');
  return text;
}

std::string Hex(std::string_view text) { return testing::HexBytes(text); }

}  // namespace travik::model
