#include "chapters/chapter_finder.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "chapters/numerals.h"
#include "text/codepage.h"
#include "text/encoding.h"
#include "text/evidence.h"
#include "files/files.h"
#include "text/text.h"
#include "text/pattern.h"

namespace travik::chapters {

namespace {

// The most bytes a heading line can take: every character of the longest heading at four bytes.
constexpr std::ptrdiff_t kLongestLine = 4 * static_cast<std::ptrdiff_t>(kMaxHeadingChars) + 8;

// The line breaks of [begin, end), in order, found 64 bytes at a time: novels have short lines,
// and a search started afresh for every line costs more than the line itself.
class LineBreaks {
 public:
  LineBreaks(const char* begin, const char* end) : next_(begin), end_(end) {}

  // The next '\n', or null when there is none.
  const char* Next() {
    while (mask_ == 0) {
      if (next_ >= end_) return nullptr;
      Load();
    }
    const int bit = __builtin_ctzll(mask_);
    mask_ &= mask_ - 1;
    return block_ + bit;
  }

 private:
  void Load() {
    block_ = next_;
    const size_t n = std::min<size_t>(64, static_cast<size_t>(end_ - next_));
    mask_ = 0;
#if defined(__SSE2__)
    if (n == 64) {
      const __m128i newline = _mm_set1_epi8('\n');
      for (int i = 0; i < 4; ++i) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block_ + 16 * i));
        const uint64_t bits =
            static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, newline)));
        mask_ |= bits << (16 * i);
      }
      next_ += n;
      return;
    }
#endif
    for (size_t i = 0; i < n; ++i) {
      if (block_[i] == '\n') mask_ |= uint64_t{1} << i;
    }
    next_ += n;
  }

  const char* next_;
  const char* end_;
  const char* block_ = nullptr;
  uint64_t mask_ = 0;
};

// One line that reads as a heading under some preset, before the presets are chosen.
struct Candidate {
  int64_t line;
  size_t start;        // the line's first byte
  size_t title_start;  // after the leading spaces
  size_t title_end;    // before the line break and trailing spaces
  LineHeading heading;
  std::string title;   // the bytes from title_start to title_end
  // Where the line starts as the automatic choice weighs the text: its start in GBK bytes, so
  // that every form of one text weighs its chapters alike (in a GBK text, `start`).
  size_t weight_at = 0;
  int shape = 0;  // the index of heading.shape among the text's shapes
};

// The width a character of `length` bytes takes in the GBK form of its text: UTF-8 three-byte
// characters (the CJK ones among them) take two bytes there; one-, two- and four-byte characters
// (the four-byte ones as in GB18030) take as many as they have.
inline size_t GbkWidth(size_t length) { return length == 3 ? 2 : length; }

// The lines of a text that read as headings under any of `presets`, in one pass. Lines are read
// in the text's own encoding (GBK through its double-byte table, UTF-8 and GB18030 through their
// decoders); the heading forms see code points either way. Most lines are dismissed on their
// first character without being decoded further.
class LineScanner {
 public:
  explicit LineScanner(std::string_view text = {}, Encoding encoding = Encoding::kGbk)
      : text_(text), encoding_(encoding), table_(GbkPairTable()) {
    if (encoding_ == Encoding::kGbk) {
      may_begin_ = GbkMayBegin();
    } else {
      may_begin_ = EncodedMayBegin();
      full_width_space_ = encoding_ == Encoding::kUtf8 ? "\xE3\x80\x80" : "\xA1\xA1";
    }
    const bool utf8 = encoding_ == Encoding::kUtf8;
    // ） and the units a glued heading ends with, in the text's encoding (GB18030 writes them as
    // GBK does).
    bracket_ = utf8 ? "\xEF\xBC\x89" : "\xA3\xA9";
    units_ = utf8 ? std::array<std::string_view, 4>{"\xE7\xAB\xA0", "\xE5\x9B\x9E",
                                                    "\xE8\x8A\x82", "\xE7\xAF\x80"}
                  : std::array<std::string_view, 4>{"\xD5\xC2", "\xBB\xD8", "\xBD\xDA",
                                                    "\xB9\x9D"};
    may_end_[static_cast<unsigned char>(')')] = true;
    may_end_[static_cast<unsigned char>(bracket_.back())] = true;
    for (std::string_view u : units_) may_end_[static_cast<unsigned char>(u.back())] = true;
  }

  // The lines of the whole text from byte `from` (after its byte-order mark) on.
  std::vector<Candidate> Scan(PresetSet presets, size_t from = 0) {
    std::vector<Candidate> found;
    int64_t line = 1;
    ScanRange(text_.data() + from, text_.data() + text_.size(), from, true, presets, &line, &found);
    return found;
  }

  // The lines of [begin, end), a stretch of a text that starts at byte `base` of it and at line
  // *line. Without `last`, a line with no line break after it is left for the next stretch: the
  // return value is where it starts (else `end`).
  const char* ScanRange(const char* begin, const char* end, size_t base, bool last,
                        PresetSet presets, int64_t* line, std::vector<Candidate>* found) {
    return encoding_ == Encoding::kGbk
               ? ScanLines<true>(begin, end, base, last, presets, line, found)
               : ScanLines<false>(begin, end, base, last, presets, line, found);
  }

  // Reads the one line that begins at byte `line_start` (used for a pattern's matches).
  std::optional<LineHeading> ReadLineAt(size_t line_start, size_t* title_start, size_t* title_end) {
    if (encoding_ != Encoding::kGbk) return ReadEncodedLineAt(line_start, title_start, title_end);
    const char* begin = text_.data();
    const char* end = begin + text_.size();
    const char* p = begin + line_start;
    // Only a heading's length of the line is looked at, so that many matches in one long line
    // cost no more than the line.
    const char* limit = end - p > kLongestLine ? p + kLongestLine : end;
    const char* nl = static_cast<const char*>(memchr(p, '\n', static_cast<size_t>(limit - p)));
    const char* line_end = nl ? nl : limit;
    const char* first = SkipLeadingSpaces<true>(p, line_end);
    if (!nl && limit != end) {
      // Too long for a heading: the title is its start, cut between characters.
      const char* cut = first;
      while (cut < line_end && cut + GbkCharLength(cut, end) <= line_end) cut += GbkCharLength(cut, end);
      *title_start = static_cast<size_t>(first - begin);
      *title_end = static_cast<size_t>(cut - begin);
      return std::nullopt;
    }
    const char* last = TrimTrailing(first, line_end);
    *title_start = static_cast<size_t>(first - begin);
    *title_end = static_cast<size_t>(last - begin);
    if (!Decode<true>(first, last)) return std::nullopt;
    return WithNumber(ReadHeading(decoded_, kAllPresets));
  }

 private:
  template <bool kGbkText>
  const char* ScanLines(const char* begin, const char* end, size_t base, bool last,
                        PresetSet presets, int64_t* line, std::vector<Candidate>* found) {
    LineBreaks breaks(begin, end);
    const char* p = begin;
    while (p < end) {
      const char* nl = breaks.Next();
      if (!nl && !last) return p;
      const char* line_end = nl ? nl : end;
      Consider<kGbkText>(p, line_end, *line, begin, base, presets, found);
      if (!nl) break;
      p = nl + 1;
      ++*line;
    }
    return end;
  }

  // ReadLineAt in UTF-8 and GB18030: the same line and title as in the text's GBK form, the
  // heading's length being measured in GBK bytes (GbkWidth).
  std::optional<LineHeading> ReadEncodedLineAt(size_t line_start, size_t* title_start,
                                               size_t* title_end) {
    const char* begin = text_.data();
    const char* end = begin + text_.size();
    const char* p = begin + line_start;
    const char* q = p;
    size_t width = 0;
    bool too_long = false;
    while (q < end && *q != '\n') {
      const size_t n = CharLength(encoding_, q, end);
      if (width + GbkWidth(n) > static_cast<size_t>(kLongestLine)) {
        too_long = true;
        break;
      }
      width += GbkWidth(n);
      q += n;
    }
    // A line break just past a heading's length is not seen, as in GBK.
    if (q < end && *q == '\n' && width == static_cast<size_t>(kLongestLine)) too_long = true;
    const char* first = SkipLeadingSpaces<false>(p, q);
    *title_start = static_cast<size_t>(first - begin);
    if (too_long) {
      *title_end = static_cast<size_t>(q - begin);
      return std::nullopt;
    }
    const char* last = TrimTrailing(first, q);
    *title_end = static_cast<size_t>(last - begin);
    if (!Decode<false>(first, last)) return std::nullopt;
    return WithNumber(ReadHeading(decoded_, kAllPresets));
  }

  // A line a person's pattern matched: its form when it has one, else a chapter numbered by the
  // first number in it, so that the checks run on a pattern's headings too.
  std::optional<LineHeading> WithNumber(std::optional<LineHeading> form) const {
    if (form && form->number) return form;
    const std::u32string_view line = decoded_;
    for (size_t i = 0; i < line.size(); ++i) {
      const bool digit = IsDigitChar(line[i]);
      if (!digit && !IsChineseNumeralChar(line[i])) continue;
      size_t j = i;
      while (j < line.size() && (digit ? IsDigitChar(line[j]) : IsChineseNumeralChar(line[j]))) ++j;
      if (std::optional<int64_t> n = ParseNumber(line.substr(i, j - i))) {
        LineHeading heading = form.value_or(LineHeading{kPresetChapter, HeadingKind::kChapter});
        heading.number = n;
        return heading;
      }
      i = j - 1;
    }
    return form;
  }

  template <bool kGbkText>
  const char* SkipLeadingSpaces(const char* p, const char* end) const {
    while (p < end) {
      if (*p == ' ' || *p == '\t') {
        ++p;
      } else if constexpr (kGbkText) {
        if (end - p >= 2 && static_cast<unsigned char>(p[0]) == 0xA1 &&
            static_cast<unsigned char>(p[1]) == 0xA1) {
          p += 2;  // the full-width space
        } else {
          break;
        }
      } else if (static_cast<size_t>(end - p) >= full_width_space_.size() &&
                 std::string_view(p, full_width_space_.size()) == full_width_space_) {
        p += full_width_space_.size();
      } else {
        break;
      }
    }
    return p;
  }

  // The end of the line's text without its CR and trailing ASCII spaces (full-width ones are
  // trimmed after decoding). No byte of these is ever part of a longer character.
  static const char* TrimTrailing(const char* first, const char* end) {
    while (end > first && (end[-1] == '\r' || end[-1] == ' ' || end[-1] == '\t')) --end;
    return end;
  }

  // Decodes [p, end) into decoded_; false when it holds more characters than a heading can.
  template <bool kGbkText>
  bool Decode(const char* p, const char* end) {
    decoded_.clear();
    while (p < end) {
      if (decoded_.size() > kMaxHeadingChars) return false;
      if constexpr (kGbkText) {
        decoded_.push_back(static_cast<char32_t>(GbkCharValue(p, end, table_)));
        p += GbkCharLength(p, end);
      } else {
        decoded_.push_back(DecodeChar(encoding_, p, end));
        p += CharLength(encoding_, p, end);
      }
    }
    return true;
  }

  // Decodes [p, end) whole into decoded_, and where each character begins into starts_.
  template <bool kGbkText>
  void DecodeWithStarts(const char* p, const char* end) {
    decoded_.clear();
    starts_.clear();
    while (p < end) {
      starts_.push_back(p);
      if constexpr (kGbkText) {
        decoded_.push_back(static_cast<char32_t>(GbkCharValue(p, end, table_)));
        p += GbkCharLength(p, end);
      } else {
        decoded_.push_back(DecodeChar(encoding_, p, end));
        p += CharLength(encoding_, p, end);
      }
    }
  }

  // True when the Chinese numeral that begins [p, end) is followed by what follows a heading's
  // number: a unit, a mark, a space, or the line's end.
  template <bool kGbkText>
  bool NumeralLeads(const char* p, const char* end) const {
    for (int n = 0; p < end; ++n) {
      char32_t c;
      if constexpr (kGbkText) {
        c = static_cast<char32_t>(GbkCharValue(p, end, table_));
        p += GbkCharLength(p, end);
      } else {
        c = DecodeChar(encoding_, p, end);
        p += CharLength(encoding_, p, end);
      }
      if (IsChineseNumeralChar(c)) {
        if (n > 8) return false;
        continue;
      }
      switch (c) {
        case U'章': case U'回': case U'节': case U'節': case U'话': case U'話': case U'卷':
        case U'、': case U'.': case U'．': case U'：': case U':': case U'—': case U' ':
        case U'\t': case U'　':
          return true;
        default:
          return false;
      }
    }
    return true;
  }

  bool EndsWith(const char* first, const char* last, std::string_view bytes) const {
    return static_cast<size_t>(last - first) >= bytes.size() &&
           std::string_view(last - bytes.size(), bytes.size()) == bytes;
  }

  // True when [p, end) takes more than a heading's length of bytes in the text's GBK form.
  bool LongerThanAHeading(const char* p, const char* end) const {
    size_t width = 0;
    while (p < end && width <= static_cast<size_t>(kLongestLine)) {
      const size_t n = CharLength(encoding_, p, end);
      width += GbkWidth(n);
      p += n;
    }
    return width > static_cast<size_t>(kLongestLine);
  }

  // Offsets are base + (pointer - block). With kPresetTitles, a short line after a blank one is
  // held until the next line: it is a title when that one is blank too.
  template <bool kGbkText>
  void Consider(const char* line_begin, const char* line_end, int64_t line, const char* block,
                size_t base, PresetSet presets, std::vector<Candidate>* found) {
    if (!(presets & kPresetTitles)) {
      ConsiderForms<kGbkText>(line_begin, line_end, line, block, base, presets, found);
      return;
    }
    const char* first = SkipLeadingSpaces<kGbkText>(line_begin, line_end);
    const char* last = TrimTrailing(first, line_end);
    const bool blank = first == last;
    if (held_) {
      if (blank) found->push_back(std::move(*held_));
      held_.reset();
    }
    const bool after_blank = previous_blank_;
    previous_blank_ = blank;
    if (blank) return;
    const size_t before = found->size();
    ConsiderForms<kGbkText>(line_begin, line_end, line, block, base, presets, found);
    if (found->size() != before || !after_blank ||
        last - first > static_cast<std::ptrdiff_t>(4 * kMaxStandaloneTitleChars)) {
      return;
    }
    if (!Decode<kGbkText>(first, last) || !ReadsAsStandaloneTitle(decoded_)) return;
    auto offset = [block, base](const char* at) { return base + static_cast<size_t>(at - block); };
    LineHeading title{kPresetTitles, HeadingKind::kChapter};
    title.shape = "标题";
    held_ = Candidate{line, offset(line_begin), offset(first), offset(last), title,
                      std::string(first, static_cast<size_t>(last - first)), offset(line_begin)};
  }

  template <bool kGbkText>
  void ConsiderForms(const char* line_begin, const char* line_end, int64_t line, const char* block,
                     size_t base, PresetSet presets, std::vector<Candidate>* found) {
    const char* first = SkipLeadingSpaces<kGbkText>(line_begin, line_end);
    if (first == line_end) return;
    const char* last = TrimTrailing(first, line_end);
    if (first == last) return;
    auto offset = [block, base](const char* at) { return base + static_cast<size_t>(at - block); };
    bool begins;
    if constexpr (kGbkText) {
      const unsigned char lead = static_cast<unsigned char>(*first);
      begins = lead < 0x80 ? may_begin_[lead]
                           : last - first >= 2 &&
                                 GbkPairBegins()[lead << 8 | static_cast<unsigned char>(first[1])];
    } else {
      begins = may_begin_[static_cast<unsigned char>(*first)];
    }
    bool too_long = false;
    if (begins) {
      char32_t c;
      if constexpr (kGbkText) {
        c = static_cast<char32_t>(GbkCharValue(first, line_end, table_));
        // A line far longer than a heading can be is prose, whatever it begins with.
        too_long = line_end - first > kLongestLine;
      } else {
        c = DecodeChar(encoding_, first, line_end);
        too_long = line_end - first > kLongestLine && LongerThanAHeading(first, line_end);
      }
      begins = CanBeginHeading(c) && !too_long;
      // Prose often opens with a numeral (一个人, 三年后): a heading has a unit, a mark, a space
      // or nothing after its number.
      if (begins && IsChineseNumeralChar(c)) begins = NumeralLeads<kGbkText>(first, last);
    }
    // Most lines end in neither ） nor a unit: they are dismissed on their last byte.
    bool bracket = false, unit = false;
    if (may_end_[static_cast<unsigned char>(last[-1])]) {
      if (!begins) {
        if constexpr (kGbkText) {
          too_long = line_end - first > kLongestLine;
        } else {
          too_long = line_end - first > kLongestLine && LongerThanAHeading(first, line_end);
        }
      }
      bracket = (last[-1] == ')' || EndsWith(first, last, bracket_)) && !too_long;
      if (presets & kPresetChapter) {
        for (std::string_view u : units_) unit = unit || EndsWith(first, last, u);
      }
    }
    if (begins || bracket) {
      if (Decode<kGbkText>(first, last)) {
        if (std::optional<LineHeading> heading = ReadHeading(decoded_, presets)) {
          found->push_back({line, offset(line_begin), offset(first), offset(last), *heading,
                            std::string(first, static_cast<size_t>(last - first)),
                            offset(line_begin)});
          return;
        }
      }
    }
    if (!unit) return;
    // ……均纪实也。 第二章: a heading whose line break was lost; the cut falls where it begins.
    DecodeWithStarts<kGbkText>(first, last);
    std::optional<size_t> at = GluedHeadingStart(decoded_);
    if (!at) return;
    std::optional<LineHeading> heading = ReadHeading(std::u32string_view(decoded_).substr(*at), presets);
    if (!heading) return;
    heading->doubtful = true;
    const char* glued = starts_[*at];
    found->push_back({line, offset(glued), offset(glued), offset(last), *heading,
                      std::string(glued, static_cast<size_t>(last - glued)), offset(glued)});
  }

  // The bytes that can begin a character that can begin a heading: most lines are dismissed on
  // their first byte after the leading spaces. Made once.
  static const std::array<bool, 256>& GbkMayBegin() {
    static const std::array<bool, 256> may_begin = [] {
      std::array<bool, 256> bytes = AsciiMayBegin();
      const CharValue* table = GbkPairTable();
      for (int lead = 0x80; lead < 0x100; ++lead) {
        for (int trail = 0; trail < 0x100 && !bytes[lead]; ++trail) {
          bytes[lead] = CanBeginHeading(static_cast<char32_t>(table[(lead - 0x80) * 256 + trail]));
        }
      }
      return bytes;
    }();
    return may_begin;
  }
  // The GBK pairs (lead << 8 | trail) that can begin a heading: a line is dismissed on its first
  // character without decoding it. Made once.
  static const std::vector<bool>& GbkPairBegins() {
    static const std::vector<bool> pairs = [] {
      std::vector<bool> begins(1 << 16, false);
      const CharValue* table = GbkPairTable();
      for (int lead = 0x81; lead < 0xFF; ++lead) {
        for (int trail = 0x40; trail < 0xFF; ++trail) {
          begins[static_cast<size_t>(lead << 8 | trail)] =
              CanBeginHeading(static_cast<char32_t>(table[(lead - 0x80) * 256 + trail]));
        }
      }
      return begins;
    }();
    return pairs;
  }
  // In UTF-8 and GB18030 a byte above 0x7F begins characters of too many values to sort out
  // here: the character is decoded.
  static const std::array<bool, 256>& EncodedMayBegin() {
    static const std::array<bool, 256> may_begin = [] {
      std::array<bool, 256> bytes = AsciiMayBegin();
      for (int c = 0x80; c < 0x100; ++c) bytes[c] = true;
      return bytes;
    }();
    return may_begin;
  }
  static std::array<bool, 256> AsciiMayBegin() {
    std::array<bool, 256> bytes = {};
    for (int c = 0; c < 0x80; ++c) bytes[c] = CanBeginHeading(static_cast<char32_t>(c));
    return bytes;
  }

  std::string_view text_;
  Encoding encoding_;
  const CharValue* table_;
  std::array<bool, 256> may_begin_;
  std::string_view full_width_space_;  // UTF-8 and GB18030
  std::string_view bracket_;
  std::array<std::string_view, 4> units_;
  std::array<bool, 256> may_end_ = {};  // the last bytes of ） ) and the units
  std::u32string decoded_;
  std::vector<const char*> starts_;
  bool previous_blank_ = true;     // the text's start counts as a blank line
  std::optional<Candidate> held_;  // a title waiting for the blank line after it
};

// The bytes each chapter heading of a list carries: from it to the next chapter heading, or to the
// end of the text (volume and other headings in between do not shorten it, so that a set with
// volume headings weighs its chapters as the set without them does). Counted as in the text's GBK
// form: `text_size` is its size there, and each line starts at its `weight_at`.
std::vector<int64_t> ChapterBytes(const std::vector<Candidate>& list, size_t text_size) {
  std::vector<int64_t> bytes(list.size(), 0);
  size_t next = text_size;
  for (size_t i = list.size(); i-- > 0;) {
    if (list[i].heading.kind != HeadingKind::kChapter) continue;
    bytes[i] = static_cast<int64_t>(next - list[i].weight_at);
    next = list[i].weight_at;
  }
  return bytes;
}

// The median of the chapters' bytes (0 without chapters).
int64_t MedianChapterBytes(const std::vector<Candidate>& list, const std::vector<int64_t>& bytes) {
  std::vector<int64_t> sizes;
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].heading.kind == HeadingKind::kChapter) sizes.push_back(bytes[i]);
  }
  if (sizes.empty()) return 0;
  std::nth_element(sizes.begin(), sizes.begin() + sizes.size() / 2, sizes.end());
  return sizes[sizes.size() / 2];
}

// How consistently the chapter numbers of a list run: chapters in step (or restarting at one
// after a volume heading) count for it with their weight, gaps, repeats and falls against it with
// twice theirs.
int64_t Consistency(const std::vector<Candidate>& list, const std::vector<int64_t>& weights) {
  int64_t score = 0;
  std::optional<int64_t> previous;
  bool volume_between = false;
  for (size_t i = 0; i < list.size(); ++i) {
    const Candidate& c = list[i];
    if (c.heading.kind == HeadingKind::kVolume) {
      volume_between = true;
      continue;
    }
    if (c.heading.kind != HeadingKind::kChapter || !c.heading.number) continue;
    int64_t n = *c.heading.number;
    if (!previous) {
      score += (n <= 1) ? weights[i] : 0;
    } else if (n == *previous + 1 || ((volume_between || c.heading.restarts) && n == 1)) {
      score += weights[i];
    } else {
      score -= 2 * weights[i];
    }
    previous = n;
    volume_between = false;
  }
  return score;
}

// Keeps a doubtful heading (a sentence, a ， or a title glued to its form) only where the
// numbering runs on through it: after the chapter before (a gap of one allowed, as where a glued
// heading is the one the numbering misses) or as chapter one after a volume heading, and before
// the next chapter. The same number again next (第五章 他走了。 then 第五章 夏天) marks the prose.
std::vector<Candidate> ConfirmDoubtful(std::vector<Candidate> list) {
  std::vector<Candidate> kept;
  kept.reserve(list.size());
  std::optional<int64_t> chapter, volume;
  bool volume_between = false;
  for (size_t i = 0; i < list.size(); ++i) {
    const Candidate& c = list[i];
    const LineHeading& h = c.heading;
    if (h.doubtful) {
      bool confirmed = false;
      if (h.number && h.kind == HeadingKind::kChapter) {
        const int64_t n = *h.number;
        // The chapters after it up to the first that is not doubtful itself, among the few
        // after it (a bound that keeps a text of many doubtful lines linear). In a text whose
        // headings are all doubtful (第一章衰兰送客), prose such as 第十章节选 may come first.
        auto follows = [n](std::optional<int64_t> m) { return m && *m > n && *m <= n + 2; };
        // A heading that skips one (a gap allowed after it) loses to the missing one coming
        // before its own follower: 八, then 第十章节选, then 九 and 十.
        bool refuted = false, followed = false, missing_comes = false;
        std::optional<int64_t> next;
        for (size_t j = i + 1; j < list.size() && j <= i + 64 && !next && !followed; ++j) {
          const LineHeading& o = list[j].heading;
          if (o.kind == HeadingKind::kVolume) break;
          if (o.kind != HeadingKind::kChapter || !o.number) continue;
          followed = follows(o.number);
          // A heading beyond doubt with the same number again, or a later one that does not
          // follow: the numbering runs past this line. A smaller one is prose of its own
          // (第十章节选 after 第二十五章); of two doubtful lines with one number the first is taken.
          refuted = refuted || (!followed && !o.doubtful && *o.number >= n);
          missing_comes = missing_comes || (chapter && *o.number == *chapter + 1);
          if (!o.doubtful) next = o.number;
        }
        const bool restart = (volume_between || h.restarts) && n == 1;
        const bool after = chapter ? restart || (n > *chapter && n <= *chapter + 2) : n == 1;
        const bool skips = chapter && !restart && n != *chapter + 1;
        const bool before = !refuted && !(skips && missing_comes);
        confirmed = after && before && (chapter || restart || next || n == 1);
      } else if (h.number && h.kind == HeadingKind::kVolume) {
        confirmed = volume ? *h.number == *volume + 1 : *h.number == 1;
      }
      if (!confirmed) continue;
    }
    if (h.kind == HeadingKind::kVolume) {
      volume_between = true;
      if (h.number) volume = h.number;
    } else if (h.kind == HeadingKind::kChapter && h.number) {
      chapter = h.number;
      volume_between = false;
    }
    // Only the headings after this one are looked at from here on.
    kept.push_back(std::move(list[i]));
  }
  return kept;
}

// Where a run of strays that starts at list[i] ends, or 0 when the chapters do not go on after
// it from `previous`: right after it, or after the one a gap misses. A run is one line (a stray)
// or lines in step among themselves within a few lines of each other (a numbered list inside a
// chapter, 1. 2. 3.): one that stops before the next chapter's number, or one that holds it when
// that number comes again after it. A volume heading ends the search; so does the bound, which
// keeps the search linear.
enum class Run { kLine, kListBeforeNext, kListThroughNext };
constexpr size_t kStrayRun = 16;
size_t StrayRunEnd(const std::vector<Candidate>& list, size_t i, int64_t previous, Run run) {
  const bool list_items = run != Run::kLine;
  // From one item's line to the next: a line or two between them, in the GBK form at most.
  constexpr size_t kListItemBytes = 600;
  constexpr int64_t kListItemLines = 3;
  const int64_t n = *list[i].heading.number;
  size_t end = i + 1;
  int64_t last = n;
  bool holds_next = false;
  for (; list_items && end < list.size() && end <= i + kStrayRun; ++end) {
    const Candidate& o = list[end];
    if (o.heading.kind != HeadingKind::kChapter || o.heading.number != last + 1 ||
        o.weight_at - list[end - 1].weight_at > kListItemBytes ||
        o.line - list[end - 1].line > kListItemLines ||
        (run == Run::kListBeforeNext && *o.heading.number == previous + 1)) {
      break;
    }
    last = *o.heading.number;
    holds_next = holds_next || last == previous + 1;
  }
  if (list_items && end - i < 2) return 0;
  // The numbers run on from list[j]: one of the few numbered chapters after it follows it, or
  // none comes (the book's last chapter). A list's item (3. 做饭) that happens to follow the
  // chapter before is no chapter going on.
  auto runs_on = [&list](size_t j) {
    const int64_t m = *list[j].heading.number;
    size_t count = 0;
    for (size_t k = j + 1; k < list.size() && count < kStrayRun; ++k) {
      const LineHeading& o = list[k].heading;
      if (o.kind == HeadingKind::kVolume) return true;
      if (o.kind != HeadingKind::kChapter || !o.number) continue;
      if (*o.number == m + 1 || *o.number == m + 2) return true;
      ++count;
    }
    return count == 0;
  };
  bool goes_on = false;
  size_t seen = 0;
  for (size_t j = end; j < list.size() && seen < kStrayRun && !goes_on; ++j) {
    const LineHeading& o = list[j].heading;
    if (o.kind == HeadingKind::kVolume) break;
    if (o.kind != HeadingKind::kChapter || !o.number) continue;
    ++seen;
    goes_on = (*o.number == previous + 1 || (!holds_next && *o.number == previous + 2 && *o.number != n)) &&
              runs_on(j);
  }
  // A number alone or a list that falls back after the last chapter is a stray too.
  goes_on = goes_on || (seen == 0 && (list[i].heading.loose || list_items) && n <= previous);
  return goes_on ? end : 0;
}

// Drops chapter headings that break the numbering where their neighbours agree: 4, 5, 3, 6 loses
// the 3, 5, 7, 6 the 7, and 17, 1, 2, 3, 18 (a numbered list inside a chapter) the 1, 2, 3. A
// repeat (5, 5) stays, to be reported, and so does a chapter heading that is the very line of an
// earlier one (a chapter uploaded again after the next).
// `runs` counts the runs of strays dropped: a list of three items inside a chapter is one.
std::vector<Candidate> DropStrays(std::vector<Candidate> list, int64_t* runs) {
  auto line_of = [](const Candidate& c) { return std::string_view(c.title); };
  // The lines kept, as views of the kept headings' titles: `kept` never grows past its first
  // room, so they stay in place.
  std::unordered_set<std::string_view> kept_lines;
  std::vector<Candidate> kept;
  kept.reserve(list.size());
  std::optional<int64_t> previous;
  bool volume_between = false;
  for (size_t i = 0; i < list.size(); ++i) {
    const Candidate& c = list[i];
    if (c.heading.kind == HeadingKind::kVolume) volume_between = true;
    if (c.heading.kind != HeadingKind::kChapter || !c.heading.number) {
      kept.push_back(std::move(list[i]));
      continue;
    }
    int64_t n = *c.heading.number;
    bool in_step = !previous || n == *previous + 1 || (n == *previous && !c.heading.loose) ||
                   ((volume_between || c.heading.restarts) && n == 1);
    // A line that only numbering tells from prose (一 alone) says nothing by being repeated.
    size_t stray_end = 0;
    if (!in_step && (c.heading.loose || !kept_lines.count(line_of(c)))) {
      for (Run run : {Run::kListThroughNext, Run::kListBeforeNext, Run::kLine}) {
        if (!stray_end) stray_end = StrayRunEnd(list, i, *previous, run);
      }
    } else if (previous && n == *previous && !c.heading.loose) {
      // A list that starts with the number of the chapter it stands in (1. then 1. 2. 3.).
      for (Run run : {Run::kListThroughNext, Run::kListBeforeNext}) {
        if (!stray_end) stray_end = StrayRunEnd(list, i, *previous, run);
      }
    }
    if (stray_end) {
      ++*runs;
      i = stray_end - 1;
      continue;
    }
    kept.push_back(std::move(list[i]));
    kept_lines.insert(line_of(kept.back()));
    previous = n;
    volume_between = false;
  }
  return kept;
}

// Drops a table of contents: a run of at least three chapter headings in step at the start, each
// within a line or two of the next, whose numbers run again later with text between them. Its
// lines stay in the text before the first heading.
std::vector<Candidate> DropContents(std::vector<Candidate> list) {
  // The most bytes (in the GBK form) from one entry of a table to the next.
  constexpr size_t kEntryBytes = 400;
  size_t f = 0;
  while (f < list.size() && !(list[f].heading.kind == HeadingKind::kChapter && list[f].heading.number)) {
    ++f;
  }
  if (f == list.size()) return list;
  size_t k = f;
  while (k + 1 < list.size()) {
    const Candidate& next = list[k + 1];
    if (next.heading.kind != HeadingKind::kChapter || !next.heading.number ||
        *next.heading.number != *list[k].heading.number + 1 ||
        next.weight_at - list[k].weight_at > kEntryBytes) {
      break;
    }
    ++k;
  }
  if (k - f + 1 < 3) return list;
  bool again = false;
  for (size_t j = k + 1; j < list.size() && !again; ++j) {
    again = list[j].heading.kind == HeadingKind::kChapter && list[j].heading.number == list[f].heading.number;
  }
  if (!again) return list;
  list.erase(list.begin() + static_cast<std::ptrdiff_t>(f),
             list.begin() + static_cast<std::ptrdiff_t>(k + 1));
  return list;
}

// A set of shapes, by index.
using ShapeSet = std::vector<char>;

std::vector<Candidate> OnlyShapes(const std::vector<Candidate>& all, const ShapeSet& set) {
  std::vector<Candidate> kept;
  for (const Candidate& c : all) {
    if (set[static_cast<size_t>(c.shape)]) kept.push_back(c);
  }
  return kept;
}

// The headings of a set: doubtful ones settled, a table of contents and strays dropped. `dropped`
// counts the runs of strays.
std::vector<Candidate> Settle(std::vector<Candidate> list, int64_t* dropped = nullptr) {
  std::vector<Candidate> confirmed = DropContents(ConfirmDoubtful(std::move(list)));
  int64_t runs = 0;
  std::vector<Candidate> settled = DropStrays(std::move(confirmed), &runs);
  if (dropped) *dropped = runs;
  return settled;
}

// The fewest bytes (in the GBK form) a chapter of a form without 第 or chapter usually carries.
constexpr int64_t kLeastChapterBytes = 150;

// How well a set of forms reads a text as chapters, once its doubtful headings are settled and its
// strays dropped.
struct SetScore {
  size_t chapters = 0;  // none: the set finds no chapter
  size_t headings = 0;
  size_t in_step = 0;   // chapters whose number follows the one before (or restarts after a volume)
  // The numbers' consistency counted by headings: each heading in step counts one, each break
  // two against, and so does each stray dropped.
  int64_t steps = 0;
  // The same weighed by the text the chapters carry (a stray dropped costs twice the median).
  // A piece counts for at most 20 times the median, so that lines running in step inside one
  // chapter (a numbered list, lines that begin with years) do not outweigh the chapters because
  // the last of them takes in the rest of the text.
  int64_t bytes = 0;
  int64_t median = 0;   // the chapters' median size
  int64_t dropped = 0;  // runs of strays dropped
  size_t tiny = 0;      // chapters of a line or two (less than kLeastChapterBytes)
};

// How many chapters follow the one before in number (or start again at one after a volume).
size_t InStep(const std::vector<Candidate>& list) {
  size_t in_step = 0;
  std::optional<int64_t> previous;
  bool volume_between = false;
  for (const Candidate& c : list) {
    if (c.heading.kind == HeadingKind::kVolume) volume_between = true;
    if (c.heading.kind != HeadingKind::kChapter || !c.heading.number) continue;
    const int64_t n = *c.heading.number;
    if (previous ? n == *previous + 1 || ((volume_between || c.heading.restarts) && n == 1) : n <= 1) {
      ++in_step;
    }
    previous = n;
    volume_between = false;
  }
  return in_step;
}

SetScore ScoreList(std::vector<Candidate> set_list, size_t text_size) {
  SetScore score;
  int64_t dropped = 0;
  std::vector<Candidate> list = Settle(std::move(set_list), &dropped);
  for (const Candidate& c : list) score.chapters += c.heading.kind == HeadingKind::kChapter;
  if (score.chapters == 0) return score;
  score.headings = list.size();
  const std::vector<int64_t> ones(list.size(), 1);
  score.steps = Consistency(list, ones) - 2 * dropped;
  score.dropped = dropped;
  score.in_step = InStep(list);
  std::vector<int64_t> weights = ChapterBytes(list, text_size);
  const int64_t median = MedianChapterBytes(list, weights);
  score.median = median;
  for (size_t i = 0; i < list.size(); ++i) {
    score.tiny += list[i].heading.kind == HeadingKind::kChapter && weights[i] < kLeastChapterBytes;
  }
  for (int64_t& w : weights) w = std::min(w, 20 * median);
  score.bytes = Consistency(list, weights) - 2 * dropped * median;
  return score;
}

// True when `a` beats `b` on `points` (SetScore::steps or ::bytes); ties go to more chapters, then
// to more headings (the set that also takes the volume headings).
bool Beats(const SetScore& a, const SetScore& b, int64_t SetScore::*points) {
  if (a.chapters == 0) return false;
  if (b.chapters == 0) return true;
  if (a.*points != b.*points) return a.*points > b.*points;
  if (a.chapters != b.chapters) return a.chapters > b.chapters;
  return a.headings > b.headings;
}

// The shapes of a text's candidates: their names, and for each whether it names chapters or
// volumes, how many lines it has and whether only numbering can tell it from prose.
struct Shapes {
  std::vector<std::string> names;
  std::vector<HeadingKind> kinds;
  std::vector<size_t> counts;
  std::vector<char> loose;
  int extra = -1;  // the shape of 序章, 楔子 …, when there is one
};

Shapes NumberShapes(std::vector<Candidate>* all) {
  Shapes shapes;
  std::unordered_map<std::string, int> index;
  for (Candidate& c : *all) {
    auto [it, added] = index.emplace(c.heading.shape, static_cast<int>(shapes.names.size()));
    if (added) {
      shapes.names.push_back(c.heading.shape);
      shapes.kinds.push_back(c.heading.kind);
      shapes.counts.push_back(0);
      shapes.loose.push_back(false);
      if (c.heading.kind == HeadingKind::kExtra) shapes.extra = it->second;
    }
    c.shape = it->second;
    ++shapes.counts[static_cast<size_t>(c.shape)];
    // One line of a shape that only numbering can tell from prose makes the whole shape so.
    if (c.heading.loose) shapes.loose[static_cast<size_t>(c.shape)] = 1;
  }
  return shapes;
}

// A shape's chapters are plausible: one that only numbering tells from prose (a number alone, a
// figure for a title) needs three in step and more in step than not; one without 第 or chapter
// needs pieces of some size, not many tiny ones (the items of numbered lists).
bool Plausible(const SetScore& score, const std::string& shape, bool loose) {
  if (score.chapters == 0) return false;
  if (loose && !(score.in_step >= 3 && 2 * static_cast<int64_t>(score.in_step) >
                                            static_cast<int64_t>(score.chapters) + score.dropped)) {
    return false;
  }
  if (shape.find("第") != std::string::npos || shape.find("chapter") != std::string::npos) {
    return true;
  }
  return score.median >= kLeastChapterBytes && 4 * score.tiny <= score.chapters;
}

// The automatic choice, and the forms found. For each shape of chapter heading (第#章, #、,
// chapter.#, # alone …), the volume shape is taken whose headings make the numbers run at least
// as consistently: volume headings that explain a restart beat dropping the chapter that
// restarts. Between the chapter shapes, the one whose chapters carry the most text in step wins.
// 序章, 楔子 and the like go with the winner. A decorated title without numbers (☆、标题) wins
// only where no numbered shape does.
ShapeSet ChooseShapes(const std::vector<Candidate>& all, const Shapes& shapes, size_t text_size,
                      std::string_view named, std::vector<FoundForm>* forms) {
  const size_t n = shapes.names.size();
  ShapeSet best(n, 0);
  SetScore best_score;
  std::vector<size_t> volumes;
  for (size_t v = 0; v < n; ++v) {
    if (shapes.kinds[v] == HeadingKind::kVolume) volumes.push_back(v);
  }
  // The commonest volume shapes are enough.
  std::sort(volumes.begin(), volumes.end(),
            [&](size_t a, size_t b) { return shapes.counts[a] > shapes.counts[b]; });
  if (volumes.size() > 4) volumes.resize(4);
  int unnumbered = -1;
  for (size_t c = 0; c < n; ++c) {
    if (shapes.kinds[c] != HeadingKind::kChapter) continue;
    ShapeSet set(n, 0);
    set[c] = 1;
    std::vector<Candidate> alone = OnlyShapes(all, set);
    if (std::none_of(alone.begin(), alone.end(), [](const Candidate& x) { return x.heading.number.has_value(); })) {
      if (shapes.counts[c] >= 3 && (unnumbered < 0 || shapes.counts[c] > shapes.counts[static_cast<size_t>(unnumbered)])) {
        unnumbered = static_cast<int>(c);
      }
      continue;
    }
    SetScore score = ScoreList(std::move(alone), text_size);
    if (forms && score.chapters > 0) {
      forms->push_back({shapes.names[c], score.chapters, score.in_step, false});
    }
    const bool picked = !named.empty() && shapes.names[c] == named;
    if (!named.empty() ? !picked : !Plausible(score, shapes.names[c], shapes.loose[c])) continue;
    for (size_t v : volumes) {
      ShapeSet with = set;
      with[v] = 1;
      SetScore with_score = ScoreList(OnlyShapes(all, with), text_size);
      if (Beats(with_score, score, &SetScore::steps)) {
        set = with;
        score = with_score;
      }
    }
    if (picked || Beats(score, best_score, &SetScore::bytes)) {
      best = set;
      best_score = score;
    }
  }
  if (best_score.chapters == 0 && named.empty()) {
    if (unnumbered >= 0) {
      ShapeSet set(n, 0);
      set[static_cast<size_t>(unnumbered)] = 1;
      std::vector<Candidate> list = OnlyShapes(all, set);
      std::vector<int64_t> weights = ChapterBytes(list, text_size);
      if (MedianChapterBytes(list, weights) >= kLeastChapterBytes) best = set;
    } else if (!volumes.empty()) {
      // No chapters at all: volume headings alone.
      best[volumes.front()] = 1;
    }
  }
  if (std::find(best.begin(), best.end(), 1) == best.end()) return best;
  if (shapes.extra >= 0) best[static_cast<size_t>(shapes.extra)] = 1;
  if (forms) {
    for (FoundForm& form : *forms) {
      for (size_t i = 0; i < n; ++i) {
        if (best[i] && shapes.names[i] == form.shape && shapes.kinds[i] == HeadingKind::kChapter) form.chosen = true;
      }
    }
    std::stable_sort(forms->begin(), forms->end(), [](const FoundForm& a, const FoundForm& b) {
      if (a.chosen != b.chosen) return a.chosen;
      return a.in_step > b.in_step;
    });
  }
  return best;
}

std::string Number(int64_t n) { return std::to_string(n); }

void Warn(std::vector<Warning>* warnings, WarningKind kind, int64_t line, std::string text) {
  warnings->push_back({kind, line, std::move(text)});
}

}  // namespace

const char* WarningKindName(WarningKind kind) {
  switch (kind) {
    case WarningKind::kGap: return "gap";
    case WarningKind::kRepeat: return "repeat";
    case WarningKind::kBack: return "back";
    case WarningKind::kShort: return "short";
    case WarningKind::kLong: return "long";
    case WarningKind::kNone: return "none";
  }
  return "none";
}

const char* HeadingKindName(HeadingKind kind) {
  switch (kind) {
    case HeadingKind::kChapter: return "chapter";
    case HeadingKind::kVolume: return "volume";
    case HeadingKind::kExtra: return "extra";
  }
  return "chapter";
}

std::vector<Warning> CheckHeadings(const std::vector<Heading>& headings) {
  std::vector<Warning> warnings;
  if (headings.empty()) {
    Warn(&warnings, WarningKind::kNone, 0, "未找到章节标题，可改为按大小分割");
    return warnings;
  }
  // The numbers: chapters against the chapter before, volumes against the volume before.
  std::optional<int64_t> previous_chapter, previous_volume;
  bool volume_between = false;
  for (const Heading& h : headings) {
    if (!h.number || h.kind == HeadingKind::kExtra) continue;
    int64_t n = *h.number;
    bool volume = h.kind == HeadingKind::kVolume;
    std::optional<int64_t>& previous = volume ? previous_volume : previous_chapter;
    const char* what = volume ? "卷号" : "章节号";
    if (previous) {
      int64_t p = *previous;
      bool restart = !volume && (volume_between || h.restarts) && n == 1;
      if (restart) {
        // A volume heading lets the chapters start again at one.
      } else if (n == p) {
        Warn(&warnings, WarningKind::kRepeat, h.line, std::string(what) + " " + Number(n) + " 重复出现");
      } else if (n > p + 1) {
        int64_t missing = n - p - 1;
        Warn(&warnings, WarningKind::kGap, h.line,
             std::string(what) + "从 " + Number(p) + " 跳到 " + Number(n) + "，中间缺少 " +
                 Number(missing) + " 个");
      } else if (n < p && !((volume_between || h.restarts) && !volume)) {
        Warn(&warnings, WarningKind::kBack, h.line,
             std::string(what) + "从 " + Number(p) + " 退回到 " + Number(n) + "，中间没有卷标题");
      }
    }
    previous = n;
    if (volume) {
      volume_between = true;
    } else {
      volume_between = false;
    }
  }
  // The sizes of the chapters against their median.
  std::vector<int64_t> sizes;
  for (const Heading& h : headings) {
    if (h.kind == HeadingKind::kChapter) sizes.push_back(h.bytes);
  }
  if (sizes.size() >= 3) {
    std::vector<int64_t> sorted = sizes;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    int64_t median = sorted[sorted.size() / 2];
    for (const Heading& h : headings) {
      if (h.kind != HeadingKind::kChapter) continue;
      if (h.bytes * 20 < median) {
        Warn(&warnings, WarningKind::kShort, h.line,
             "本章只有 " + Number(h.bytes) + " 字节，不到中位数（" + Number(median) +
                 " 字节）的二十分之一");
      } else if (h.bytes > median * 20) {
        Warn(&warnings, WarningKind::kLong, h.line,
             "本章有 " + Number(h.bytes) + " 字节，超过中位数（" + Number(median) + " 字节）的 20 倍");
      }
    }
  }
  std::stable_sort(warnings.begin(), warnings.end(),
                   [](const Warning& a, const Warning& b) { return a.line < b.line; });
  return warnings;
}

namespace {

// A title as the program holds text: UTF-8, whatever the text's encoding. A byte that begins no
// character of the encoding (or a GBK pair that is none) shows as "?".
std::string Utf8Title(std::string_view bytes, Encoding encoding) {
  std::string out;
  // ConvertText copies a text unchecked from UTF-8 to UTF-8: that one is checked here.
  if (encoding == Encoding::kUtf8) {
    if (IsValidUtf8(bytes)) return std::string(bytes);
  } else if (ConvertText(bytes, encoding, Encoding::kUtf8, &out)) {
    return out;
  }
  // Character by character: only those that are no character become "?".
  out.clear();
  const char* end = bytes.data() + bytes.size();
  for (const char* p = bytes.data(); p < end;) {
    const size_t n = CharLength(encoding, p, end);
    const std::string_view one(p, n);
    std::string converted;
    if (encoding == Encoding::kUtf8 ? Utf8SequenceLength(p, end) == n
                                    : ConvertText(one, encoding, Encoding::kUtf8, &converted)) {
      out += encoding == Encoding::kUtf8 ? one : std::string_view(converted);
    } else {
      out += '?';
    }
    p += n;
  }
  return out;
}

// Sets where each line of a UTF-8 text starts in its GBK form (Candidate::weight_at), counted
// from after the byte-order mark of `mark` bytes, and returns the text's size there. A
// three-byte character, which begins with a byte E0-EF, is the only one that is shorter in GBK.
size_t WeighAsGbk(std::string_view text, size_t mark, std::vector<Candidate>* all) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  size_t counted = mark, longer = 0;
  auto count_to = [&](size_t at) {
    size_t n = 0;
    for (; counted < at; ++counted) n += (bytes[counted] & 0xF0) == 0xE0;
    longer += n;
  };
  for (Candidate& c : *all) {
    count_to(c.start);
    c.weight_at = c.start - mark - longer;
  }
  count_to(text.size());
  return text.size() - mark - longer;
}

// The headings among the lines that read as headings (of a text of `weight_size` bytes in its GBK
// form): those of the presets named, or of the form named, or of the forms the automatic choice
// takes. Their titles become UTF-8.
void TakeCandidates(std::vector<Candidate> all, const FinderOptions& options, size_t weight_size,
                    Encoding encoding, ChapterList* result) {
  std::vector<Candidate> chosen;
  PresetSet presets = 0;
  if (options.presets == 0) {
    const Shapes shapes = NumberShapes(&all);
    const ShapeSet set = ChooseShapes(all, shapes, weight_size, options.form, &result->forms);
    chosen = Settle(OnlyShapes(all, set));
    // Chapters first, then volumes, then the extras.
    for (HeadingKind kind : {HeadingKind::kChapter, HeadingKind::kVolume, HeadingKind::kExtra}) {
      for (size_t i = 0; i < set.size(); ++i) {
        if (!set[i] || shapes.kinds[i] != kind) continue;
        if (!result->form.empty()) result->form += "+";
        result->form += shapes.names[i];
      }
    }
  } else {
    // Named presets take every line of theirs that is more than a number or a title alone.
    presets = options.presets;
    std::vector<Candidate> kept;
    for (Candidate& c : all) {
      if (!c.heading.loose) kept.push_back(std::move(c));
    }
    chosen = ConfirmDoubtful(std::move(kept));
  }
  for (const Candidate& c : chosen) presets |= c.heading.preset;
  if (chosen.empty() && options.presets == 0) presets = 0;
  result->presets = presets;
  result->pattern = presets ? "preset:" + PresetSetName(presets) : std::string();
  for (Candidate& c : chosen) {
    Heading h;
    h.line = c.line;
    h.offset = static_cast<int64_t>(c.start);
    h.title = Utf8Title(c.title, encoding);
    h.title_offset = static_cast<int64_t>(c.title_start);
    h.number = c.heading.number;
    h.kind = c.heading.kind;
    h.restarts = c.heading.restarts;
    result->headings.push_back(std::move(h));
  }
}

// The sizes of the pieces, for a text of `text_size` bytes, and the checks.
void Finish(size_t text_size, ChapterList* result) {
  for (size_t i = 0; i < result->headings.size(); ++i) {
    int64_t next = i + 1 < result->headings.size() ? result->headings[i + 1].offset
                                                   : static_cast<int64_t>(text_size);
    result->headings[i].bytes = next - result->headings[i].offset;
  }
  result->warnings = CheckHeadings(result->headings);
}

// Watches a file's bytes as they pass, block by block, for anything that could make the
// encoding's detection say other than GBK: a byte-order mark, the shape of a GB18030 four-byte
// sequence (81-FE 30-39 81-FE 30-39) anywhere, and bytes above 0x7F none of which rule out
// UTF-8. When it sees none of these the text is GBK; when it does, detection must decide. It
// never says GBK of a text detection takes for another encoding. In the same pass it looks for
// the bytes that end a text early (0x00, 0x1A), which make the text one to read whole.
// Whether a text arriving block by block is valid GBK so far: a character may run from one
// block into the next.
class GbkValidity {
 public:
  bool Take(std::string_view block) {
    if (block.empty()) return true;
    size_t from = 0;
    if (lead_) {
      const char pair[2] = {static_cast<char>(lead_), block[0]};
      if (FirstInvalidGbkChar(std::string_view(pair, 2)) != 2) return false;
      lead_ = 0;
      from = 1;
    }
    const std::string_view rest = block.substr(from);
    const size_t bad = FirstInvalidGbkChar(rest);
    if (bad == rest.size()) return true;
    if (bad + 1 < rest.size()) return false;
    lead_ = static_cast<unsigned char>(rest[bad]);  // its trail byte is in the next block
    return true;
  }

 private:
  unsigned char lead_ = 0;
};

class GbkWatch {
 public:
  // False when the block holds a 0x00 or 0x1A byte (then the rest is not looked at).
  bool Take(std::string_view block) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(block.data());
    const size_t n = block.size();
    seen_ += n;
    for (size_t i = 0; i < n && head_size_ < 3; ++i) head_[head_size_++] = b[i];
    if (evidence_.size() < kEvidenceBytes) {
      evidence_.append(block.substr(0, kEvidenceBytes - evidence_.size()));
    }
    // The pairs and fours that run from the bytes before this block into it.
    unsigned char joined[6];
    size_t size = 0;
    for (size_t i = 0; i < tail_size_; ++i) joined[size++] = tail_[i];
    for (size_t i = 0; i < n && i < 3; ++i) joined[size++] = b[i];
    for (size_t at = 0; at < tail_size_; ++at) {
      if (at + 1 == tail_size_ && at + 1 < size) LookAtPair(joined[at], joined[at + 1]);
      if (at + 3 < size) LookAtFour(joined + at);
    }
    // Those inside it, looked at only around its bytes above 0x7F and its digits: a pair that
    // rules out UTF-8 holds a byte above 0x7F, and a four holds digits. Once a four is seen,
    // nothing more can change the answer.
    for (size_t at = 0; at < n && !four_shape_; at += 64) {
      const size_t chunk_end = std::min(n, at + 64);
      bool high = false, digit = false;
#if defined(__SSE2__)
      if (chunk_end - at == 64) {
        const __m128i* p = reinterpret_cast<const __m128i*>(b + at);
        const __m128i v0 = _mm_loadu_si128(p), v1 = _mm_loadu_si128(p + 1);
        const __m128i v2 = _mm_loadu_si128(p + 2), v3 = _mm_loadu_si128(p + 3);
        // A 0x00 or 0x1A byte makes the least byte, or the least byte xor 0x1A, zero.
        const __m128i eof = _mm_set1_epi8(0x1A);
        const __m128i least_byte = _mm_min_epu8(_mm_min_epu8(v0, v1), _mm_min_epu8(v2, v3));
        const __m128i least_eof =
            _mm_min_epu8(_mm_min_epu8(_mm_xor_si128(v0, eof), _mm_xor_si128(v1, eof)),
                         _mm_min_epu8(_mm_xor_si128(v2, eof), _mm_xor_si128(v3, eof)));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(least_byte, least_eof),
                                             _mm_setzero_si128())) != 0) {
          return false;
        }
        // A digit d gives d - 0x30 below 10, unsigned.
        const __m128i base = _mm_set1_epi8(0x30);
        const __m128i least =
            _mm_min_epu8(_mm_min_epu8(_mm_sub_epi8(v0, base), _mm_sub_epi8(v1, base)),
                         _mm_min_epu8(_mm_sub_epi8(v2, base), _mm_sub_epi8(v3, base)));
        digit = _mm_movemask_epi8(
                    _mm_cmpeq_epi8(_mm_min_epu8(least, _mm_set1_epi8(9)), least)) != 0;
        if (!counted_enough()) {
          high = _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(v0, v1), _mm_or_si128(v2, v3))) != 0;
        }
      } else
#endif
      {
        for (size_t i = at; i < chunk_end; ++i) {
          if (b[i] == 0 || b[i] == 0x1A) return false;
          high |= b[i] >= 0x80;
          digit |= IsDigit(b[i]);
        }
      }
      if (!high && !digit) continue;
      high_ |= high;
      const size_t from = at > 0 ? at - 1 : 0;
      if (high && !counted_enough()) {
        for (size_t i = from; i < chunk_end && i + 1 < n; ++i) LookAtPair(b[i], b[i + 1]);
      }
      if (digit) {
        for (size_t i = from; i < chunk_end && i + 3 < n; ++i) LookAtFour(b + i);
      }
    }
    // The last three bytes so far, for the next block.
    if (n >= 3) {
      tail_size_ = 0;
    } else {
      const size_t keep = std::min(tail_size_, 3 - n);
      for (size_t i = 0; i < keep; ++i) tail_[i] = tail_[tail_size_ - keep + i];
      tail_size_ = keep;
    }
    for (size_t i = n > 3 ? n - 3 : 0; i < n; ++i) tail_[tail_size_++] = b[i];
    return true;
  }

  // True when detection takes the text seen so far, as a whole, for GBK: its first bytes are
  // not the more plausible as Big5 either.
  bool IsGbk() const {
    return !Marked() && !four_shape_ && (NotUtf8() || !high_) &&
           (!high_ || WeighGbkAgainstBig5(evidence_).encoding == Encoding::kGbk);
  }

  // True when the text, `seen` bytes of it so far, will not be called GBK here, or most likely
  // not: a mark, a four, or 64 KiB with bytes above 0x7F and nothing that rules out UTF-8 (a GBK
  // text rules it out within its first characters).
  bool LikelyOther(size_t seen) const {
    return (head_size_ == 3 && Marked()) || four_shape_ ||
           (seen >= (size_t{64} << 10) && high_ && !NotUtf8());
  }

 private:
  bool Marked() const {
    const std::string_view head(reinterpret_cast<const char*>(head_), head_size_);
    for (Encoding e : {Encoding::kUtf8, Encoding::kUtf16Le, Encoding::kUtf16Be}) {
      if (ByteOrderMarkLength(head, e) > 0) return true;
    }
    return false;
  }
  static bool IsLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
  static bool IsDigit(unsigned char c) { return c >= 0x30 && c <= 0x39; }
  static bool IsContinuation(unsigned char c) { return c >= 0x80 && c <= 0xBF; }

  // Two bytes in a row that valid UTF-8 never holds, even cut short at the end: a byte no
  // character begins with, a lead byte without its continuation, a continuation after ASCII.
  void LookAtPair(unsigned char a, unsigned char b) {
    if (a == 0xC0 || a == 0xC1 || a >= 0xF5 || (a >= 0xC2 && !IsContinuation(b)) ||
        (a < 0x80 && IsContinuation(b))) {
      ++not_utf8_pairs_;
    }
  }
  // A UTF-8 text may hold a few bytes that begin no character (InvalidByteAllowance); each
  // makes at most two such pairs, counted twice at most where 64-byte chunks meet.
  bool NotUtf8() const { return not_utf8_pairs_ > 4 * InvalidByteAllowance(seen_); }
  // Past this many pairs no text the reader takes is UTF-8: no more need looking at.
  bool counted_enough() const {
    return not_utf8_pairs_ > 4 * InvalidByteAllowance(static_cast<size_t>(kMaxFileSize));
  }
  void LookAtFour(const unsigned char* p) {
    if (IsLead(p[0]) && IsDigit(p[1]) && IsLead(p[2]) && IsDigit(p[3])) four_shape_ = true;
  }

  unsigned char head_[3] = {};
  size_t head_size_ = 0;
  std::string evidence_;  // the bytes recognition weighs
  unsigned char tail_[3] = {};
  size_t tail_size_ = 0;
  bool high_ = false;
  size_t not_utf8_pairs_ = 0;  // pairs that valid UTF-8 never holds
  size_t seen_ = 0;            // bytes taken
  bool four_shape_ = false;
};

}  // namespace

ChapterList FindChapters(std::string_view text, const FinderOptions& options) {
  ChapterList result;
  // UTF-16 is never worked in: stepped as GBK, as everywhere else.
  const Encoding encoding = IsWorkingEncoding(options.encoding) ? options.encoding : Encoding::kGbk;
  // The mark belongs to the first line: a cut there is made before it, so that it stays at the
  // start of the first piece.
  const size_t mark = ByteOrderMarkLength(text, encoding);
  result.mark = static_cast<int64_t>(mark);
  LineScanner scanner(text, encoding);
  if (!options.pattern.empty()) {
    result.pattern = options.pattern;
    Pattern pattern;
    if (!RegexCompile(&pattern, options.pattern)) {
      result.pattern_valid = false;
      result.pattern_error = pattern.error();
      return result;
    }
    RegexSearchResult matches = encoding == Encoding::kGbk
                                    ? RegexSearchAll(pattern, text)
                                    : RegexSearchAll(pattern, text.substr(mark), encoding);
    result.cut_short = matches.cut_short;
    int64_t line = 1;
    size_t counted = mark;     // line breaks counted up to here
    size_t line_start = mark;  // where the line holding `counted` begins
    size_t last_at = 0;
    for (const MatchRecord& m : matches.matches) {
      size_t at = static_cast<size_t>(MatchPosition(m)) + mark;
      if (at >= text.size() || (!result.headings.empty() && at == last_at)) {
        continue;  // an empty match at the end cuts nothing; one cut per place
      }
      last_at = at;
      for (; counted < at; ++counted) {
        if (text[counted] == '\n') {
          ++line;
          line_start = counted + 1;
        }
      }
      size_t title_start = 0, title_end = 0;
      std::optional<LineHeading> form = scanner.ReadLineAt(line_start, &title_start, &title_end);
      Heading h;
      h.line = line;
      h.offset = static_cast<int64_t>(at == mark ? 0 : at);
      h.title = Utf8Title(text.substr(title_start, title_end - title_start), encoding);
      h.title_offset = static_cast<int64_t>(title_start);
      if (form) {
        h.number = form->number;
        h.kind = form->kind;
      }
      result.headings.push_back(std::move(h));
    }
  } else {
    std::vector<Candidate> all =
        scanner.Scan(options.presets ? options.presets : kAllPresets, mark);
    const size_t weight_size =
        encoding == Encoding::kUtf8 ? WeighAsGbk(text, mark, &all) : text.size();
    TakeCandidates(std::move(all), options, weight_size, encoding, &result);
    if (mark > 0 && !result.headings.empty() &&
        result.headings.front().offset == static_cast<int64_t>(mark)) {
      result.headings.front().offset = 0;
    }
  }
  Finish(text.size(), &result);
  return result;
}

FileChapters FindChaptersInFile(std::string_view path, const FinderOptions& options,
                                size_t block) {
  FileChapters found;
  if (options.pattern.empty() && (options.choice == EncodingChoice::kAuto ||
                                  options.choice == EncodingChoice::kGbk)) {
    // The heading forms read line by line: the file passes in blocks, never whole, and is read
    // as GBK. A file whose text the reading rules would end early (a 0x00 or 0x1A byte, or a
    // last byte that may be a lone lead byte) is read whole instead, so that the text is exactly
    // the one a split cuts; so is a file whose encoding is to be recognised and may not be GBK.
    const PresetSet presets = options.presets ? options.presets : kAllPresets;
    LineScanner scanner;
    GbkWatch watch;
    const bool watching = options.choice == EncodingChoice::kAuto;
    GbkValidity named;  // GBK given: a text not valid in it is read whole, to be refused
    std::vector<Candidate> all;
    std::string pending;  // the start of a line whose break is still to come
    size_t pending_at = 0, size = 0;
    int64_t line = 1;
    bool plain = true;
    char last_byte = 0;
    const bool read = ReadFileInBlocks(
        path, block,
        [&](std::string_view block) {
          if (watching ? !watch.Take(block)
                       : memchr(block.data(), '\0', block.size()) != nullptr ||
                             memchr(block.data(), 0x1A, block.size()) != nullptr ||
                             !named.Take(block)) {
            plain = false;
            return false;
          }
          if (watching && watch.LikelyOther(size + block.size())) {
            plain = false;  // read whole instead, in the encoding recognised
            return false;
          }
          size += block.size();
          last_byte = block.back();
          const char* p = block.data();
          const char* end = p + block.size();
          if (!pending.empty()) {
            // The line begun in an earlier block: complete it, then read it alone.
            const char* nl = static_cast<const char*>(memchr(p, '\n', block.size()));
            const char* upto = nl ? nl + 1 : end;
            pending.append(p, upto);
            if (!nl) return true;
            scanner.ScanRange(pending.data(), pending.data() + pending.size(), pending_at, false,
                              presets, &line, &all);
            pending_at += pending.size();
            pending.clear();
            p = upto;
          }
          // The block's own whole lines are read where they lie; only a last, unfinished line is
          // kept for the next block.
          const size_t base = pending_at;
          const char* rest = scanner.ScanRange(p, end, base, false, presets, &line, &all);
          pending.assign(rest, end);
          pending_at = base + static_cast<size_t>(rest - p);
          return true;
        },
        &found.error);
    if (!read) return found;
    if (plain && !IsLeadByte(static_cast<unsigned char>(last_byte)) &&
        (!watching || watch.IsGbk())) {
      scanner.ScanRange(pending.data(), pending.data() + pending.size(), pending_at, true, presets,
                        &line, &all);
      found.ok = true;
      found.encoding = Encoding::kGbk;
      TakeCandidates(std::move(all), options, size, Encoding::kGbk, &found.list);
      Finish(size, &found.list);
      return found;
    }
  }
  SourceText source = LoadSourceText(path, {}, options.choice);
  found.ok = source.ok;
  found.cut_short = source.cut_short;
  found.error = source.error;
  found.notes = source.notes;
  found.encoding = source.encoding;
  if (source.ok) {
    FinderOptions own = options;
    own.encoding = source.encoding;
    found.list = FindChapters(source.text, own);
    // Shortened by another program meanwhile: the list would name headings in bytes now gone.
    if (source.text.Changed()) {
      found = FileChapters();
      found.error = "读取时文件被其他程序改短，请重试";
    }
  }
  return found;
}

}  // namespace travik::chapters
