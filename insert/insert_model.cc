#include "insert/insert_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "text/pattern.h"
#include "text/text.h"
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

namespace {

// A working file that remembers which of its bytes were inserted.
class MarkedFile {
 public:
  explicit MarkedFile(std::string text) : bytes_(std::move(text)), inserted_(bytes_.size()) {}
  void InsertAt(int offset, const std::string& text) {
    offset = std::clamp(offset, 0, static_cast<int>(bytes_.size()));
    bytes_.insert(static_cast<size_t>(offset), text);
    inserted_.insert(inserted_.begin() + offset, text.size(), true);
  }
  std::string Finish(std::vector<bool>* inserted) {
    if (inserted != nullptr) *inserted = inserted_;
    return bytes_;
  }
  // A point on an inserted byte moves to the end of the inserted run: no insertion ever goes
  // inside an earlier one (before a copy or after it is the same text).
  int PastInserted(int pos) const {
    size_t at = static_cast<size_t>(std::max(pos, 0));
    while (at < inserted_.size() && inserted_[at]) ++at;
    return std::max(pos, static_cast<int>(at));
  }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
  std::vector<bool> inserted_;
};

}  // namespace

bool IsBoundary(const std::string& text, Encoding encoding, size_t offset) {
  size_t at = 0;
  while (at < offset) at += CharLength(encoding, text.data() + at, text.data() + text.size());
  return at == offset;
}

bool StandsApart(const std::string& text, Encoding encoding, size_t offset,
                 const std::string& insert) {
  std::string with = text;
  with.insert(offset, insert);
  return IsBoundary(with, encoding, offset) && IsBoundary(with, encoding, offset + insert.size());
}

int EncodedInsertionOffset(const std::string& text, EncodedText form, const std::string& insert,
                           int pos) {
  size_t offset = std::max<size_t>(static_cast<size_t>(std::max(pos, 0)), form.mark);
  offset = std::min(offset, text.size());
  while (!IsBoundary(text, form.encoding, offset)) ++offset;
  offset = ApartOffset(text, form, insert, offset);
  if (offset >= 1 && offset < text.size() && text[offset - 1] == '\r' && text[offset] == '\n') {
    ++offset;
  }
  return static_cast<int>(offset);
}

size_t ApartOffset(const std::string& text, EncodedText form, const std::string& insert,
                   size_t offset) {
  while (offset < text.size() && !StandsApart(text, form.encoding, offset, insert)) {
    do {
      ++offset;
    } while (!IsBoundary(text, form.encoding, offset));
  }
  if (StandsApart(text, form.encoding, offset, insert)) return offset;
  for (size_t q = offset; q-- > form.mark;) {
    if (IsBoundary(text, form.encoding, q) && StandsApart(text, form.encoding, q, insert)) return q;
  }
  return form.mark;
}

std::string InsertByLengthIn(const std::string& source, EncodedText form,
                             const std::string& insert, int interval, int step_count,
                             std::vector<bool>* inserted) {
  MarkedFile file(source);
  int position = 0;
  for (int k = 1; k <= step_count; ++k) {
    position += interval + (k == 1 ? 0 : static_cast<int>(insert.size()));
    file.InsertAt(
        EncodedInsertionOffset(file.bytes(), form, insert, file.PastInserted(position)), insert);
  }
  return file.Finish(inserted);
}

std::string InsertAtRandomIn(const std::string& source, EncodedText form,
                             const std::string& insert, std::vector<int> draws,
                             std::vector<bool>* inserted) {
  SortIntegers(draws);
  MarkedFile file(source);
  int previous = 0;
  for (size_t k = 1; k <= draws.size(); ++k) {
    int step_length = k == 1 ? 0 : static_cast<int>(insert.size());
    int pos = draws[k - 1] + step_length;
    if (pos - previous < step_length + 2) pos += step_length;
    file.InsertAt(EncodedInsertionOffset(file.bytes(), form, insert, file.PastInserted(pos)),
                  insert);
    previous = pos;
  }
  return file.Finish(inserted);
}

std::string InsertAtKeywordIn(const std::string& source, EncodedText form,
                              const std::string& insert, const std::string& pattern,
                              std::vector<bool>* inserted) {
  MarkedFile file(source);
  Pattern compiled;
  if (!RegexCompile(&compiled, pattern)) return file.Finish(inserted);
  RegexSearchResult matches =
      form.encoding == Encoding::kGbk
          ? RegexSearchAll(compiled, source)
          : RegexSearchAll(compiled, source.substr(form.mark), form.encoding);
  const size_t mark = form.encoding == Encoding::kGbk ? 0 : form.mark;
  int shift = 0;
  size_t last = 0;  // the end of the last insertion
  for (const MatchRecord& match : matches.matches) {
    size_t end = mark + static_cast<size_t>(MatchPosition(match) + match.groups[0].length);
    while (!IsBoundary(source, form.encoding, end)) ++end;
    size_t at = std::max(end + static_cast<size_t>(shift), last);
    if (form.encoding != Encoding::kGbk) at = ApartOffset(file.bytes(), form, insert, at);
    file.InsertAt(static_cast<int>(at), insert);
    last = at + insert.size();
    shift += static_cast<int>(insert.size());
  }
  return file.Finish(inserted);
}

std::string RandomUtf8Text(std::mt19937& rng, size_t max_characters, bool gbk_only) {
  // clang-format off
  static const char32_t kCommon[] = {
      U'a', U'Z', U'0', U'7', U' ', U',', U'.', U'!', U'#', U'\t',
      0x7B2C, 0x7AE0, 0x4E00, 0x4E2D, 0x6587, 0x9F98, 0x3002, 0xFF0C, 0x3010, 0x3011,
      0x2026, 0x00E9, 0x0416, 0x00B7};  // 第 章 一 中 文 龘 。 ， 【 】 … é Ж ·
  static const char32_t kBeyondGbk[] = {0x20000, 0x1F600, 0x2A6D6, 0x10FFFF, 0x00A0, 0x20AC};
  // clang-format on
  std::u32string text;
  const size_t n = rng() % (max_characters + 1);
  for (size_t i = 0; i < n; ++i) {
    const unsigned roll = rng() % 20;
    if (roll == 0) {
      text += U"\r\n";
    } else if (roll == 1) {
      text += rng() % 2 ? U'\r' : U'\n';
    } else if (roll == 2 && !gbk_only) {
      text += kBeyondGbk[rng() % std::size(kBeyondGbk)];
    } else {
      text += kCommon[rng() % std::size(kCommon)];
    }
  }
  std::string utf8;
  for (char32_t c : text) {
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      utf8 += static_cast<char>(0xE0 | (c >> 12));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      utf8 += static_cast<char>(0xF0 | (c >> 18));
      utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
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
