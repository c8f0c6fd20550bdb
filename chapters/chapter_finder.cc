#include "chapters/chapter_finder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_set>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "chapters/numerals.h"
#include "core/encoding.h"
#include "core/files.h"
#include "core/text.h"
#include "core/pattern.h"

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
};

// The lines of a GBK text that read as headings under any of `presets`, in one pass. Most lines
// are dismissed on their first character without being decoded further.
class LineScanner {
 public:
  explicit LineScanner(std::string_view text = {}) : text_(text), table_(GbkPairTable()) {
    // The bytes that can begin a character that can begin a heading: most lines are dismissed on
    // their first byte after the leading spaces.
    for (int c = 0; c < 0x80; ++c) may_begin_[c] = CanBeginHeading(static_cast<char32_t>(c));
    for (int lead = 0x80; lead < 0x100 && !may_begin_[lead]; ++lead) {
      for (int trail = 0; trail < 0x100; ++trail) {
        if (CanBeginHeading(static_cast<char32_t>(table_[(lead - 0x80) * 256 + trail]))) {
          may_begin_[lead] = true;
          break;
        }
      }
    }
  }

  std::vector<Candidate> Scan(PresetSet presets) {
    std::vector<Candidate> found;
    int64_t line = 1;
    ScanRange(text_.data(), text_.data() + text_.size(), 0, true, presets, &line, &found);
    return found;
  }

  // The lines of [begin, end), a stretch of a text that starts at byte `base` of it and at line
  // *line. Without `last`, a line with no line break after it is left for the next stretch: the
  // return value is where it starts (else `end`).
  const char* ScanRange(const char* begin, const char* end, size_t base, bool last,
                        PresetSet presets, int64_t* line, std::vector<Candidate>* found) {
    LineBreaks breaks(begin, end);
    const char* p = begin;
    while (p < end) {
      const char* nl = breaks.Next();
      if (!nl && !last) return p;
      const char* line_end = nl ? nl : end;
      Consider(p, line_end, *line, begin, base, presets, found);
      if (!nl) break;
      p = nl + 1;
      ++*line;
    }
    return end;
  }

  // Reads the one line that holds byte `offset` (used for a pattern's matches).
  std::optional<LineHeading> ReadLineAt(size_t line_start, size_t* title_start, size_t* title_end) {
    const char* begin = text_.data();
    const char* end = begin + text_.size();
    const char* p = begin + line_start;
    // Only a heading's length of the line is looked at, so that many matches in one long line
    // cost no more than the line.
    const char* limit = end - p > kLongestLine ? p + kLongestLine : end;
    const char* nl = static_cast<const char*>(memchr(p, '\n', static_cast<size_t>(limit - p)));
    const char* line_end = nl ? nl : limit;
    const char* first = SkipLeadingSpaces(p, line_end);
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
    if (!Decode(first, last)) return std::nullopt;
    return ReadHeading(decoded_, kAllPresets);
  }

 private:
  const char* SkipLeadingSpaces(const char* p, const char* end) const {
    while (p < end) {
      if (*p == ' ' || *p == '\t') {
        ++p;
      } else if (end - p >= 2 && static_cast<unsigned char>(p[0]) == 0xA1 &&
                 static_cast<unsigned char>(p[1]) == 0xA1) {
        p += 2;  // the full-width space
      } else {
        break;
      }
    }
    return p;
  }

  // The end of the line's text without its CR and trailing ASCII spaces (full-width ones are
  // trimmed after decoding).
  static const char* TrimTrailing(const char* first, const char* end) {
    while (end > first && (end[-1] == '\r' || end[-1] == ' ' || end[-1] == '\t')) --end;
    return end;
  }

  // Decodes [p, end) into decoded_; false when it holds more characters than a heading can.
  bool Decode(const char* p, const char* end) {
    decoded_.clear();
    while (p < end) {
      if (decoded_.size() > kMaxHeadingChars) return false;
      decoded_.push_back(static_cast<char32_t>(GbkCharValue(p, end, table_)));
      p += GbkCharLength(p, end);
    }
    return true;
  }

  // Offsets are base + (pointer - block).
  void Consider(const char* line_begin, const char* line_end, int64_t line, const char* block,
                size_t base, PresetSet presets, std::vector<Candidate>* found) {
    const char* first = SkipLeadingSpaces(line_begin, line_end);
    if (first == line_end || !may_begin_[static_cast<unsigned char>(*first)]) return;
    if (!CanBeginHeading(static_cast<char32_t>(GbkCharValue(first, line_end, table_)))) return;
    // A line far longer than a heading can be is prose, whatever it begins with.
    if (line_end - first > kLongestLine) return;
    const char* last = TrimTrailing(first, line_end);
    if (!Decode(first, last)) return;
    std::optional<LineHeading> heading = ReadHeading(decoded_, presets);
    if (!heading) return;
    auto offset = [block, base](const char* at) { return base + static_cast<size_t>(at - block); };
    found->push_back({line, offset(line_begin), offset(first), offset(last), *heading,
                      std::string(first, static_cast<size_t>(last - first))});
  }

  std::string_view text_;
  const CharValue* table_;
  bool may_begin_[256] = {};
  std::u32string decoded_;
};

// The bytes each chapter heading of a list carries: from it to the next chapter heading, or to the
// end of the text (volume and other headings in between do not shorten it, so that a set with
// volume headings weighs its chapters as the set without them does).
std::vector<int64_t> ChapterBytes(const std::vector<Candidate>& list, size_t text_size) {
  std::vector<int64_t> bytes(list.size(), 0);
  size_t next = text_size;
  for (size_t i = list.size(); i-- > 0;) {
    if (list[i].heading.kind != HeadingKind::kChapter) continue;
    bytes[i] = static_cast<int64_t>(next - list[i].start);
    next = list[i].start;
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
    } else if (n == *previous + 1 || (volume_between && n == 1)) {
      score += weights[i];
    } else {
      score -= 2 * weights[i];
    }
    previous = n;
    volume_between = false;
  }
  return score;
}

std::vector<Candidate> OnlyPresets(const std::vector<Candidate>& all, PresetSet presets) {
  std::vector<Candidate> kept;
  for (const Candidate& c : all) {
    if (presets & c.heading.preset) kept.push_back(c);
  }
  return kept;
}

// Keeps a doubtful heading (a ， inside its title) only where the numbering runs on through it:
// the next chapter (or volume) after the one before, or chapter one after a volume heading.
std::vector<Candidate> ConfirmDoubtful(const std::vector<Candidate>& list) {
  std::vector<Candidate> kept;
  std::optional<int64_t> chapter, volume;
  bool volume_between = false;
  for (const Candidate& c : list) {
    const LineHeading& h = c.heading;
    if (h.doubtful) {
      bool confirmed = false;
      if (h.number && h.kind == HeadingKind::kChapter) {
        int64_t n = *h.number;
        confirmed = chapter ? (n == *chapter + 1 || (volume_between && n == 1)) : n == 1;
      } else if (h.number && h.kind == HeadingKind::kVolume) {
        confirmed = volume ? *h.number == *volume + 1 : *h.number == 1;
      }
      if (!confirmed) continue;
    }
    kept.push_back(c);
    if (h.kind == HeadingKind::kVolume) {
      volume_between = true;
      if (h.number) volume = h.number;
    } else if (h.kind == HeadingKind::kChapter && h.number) {
      chapter = h.number;
      volume_between = false;
    }
  }
  return kept;
}

// Drops chapter headings that break the numbering where their neighbours agree: 4, 5, 3, 6 loses
// the 3, and 5, 7, 6 the 7. A repeat (5, 5) stays, to be reported, and so does a chapter heading
// that is the very line of an earlier one (a chapter uploaded again after the next).
std::vector<Candidate> DropStrays(const std::vector<Candidate>& list) {
  auto line_of = [](const Candidate& c) { return std::string_view(c.title); };
  std::unordered_set<std::string_view> kept_lines;
  std::vector<Candidate> kept;
  std::optional<int64_t> previous;
  bool volume_between = false;
  for (size_t i = 0; i < list.size(); ++i) {
    const Candidate& c = list[i];
    if (c.heading.kind == HeadingKind::kVolume) volume_between = true;
    if (c.heading.kind != HeadingKind::kChapter || !c.heading.number) {
      kept.push_back(c);
      continue;
    }
    int64_t n = *c.heading.number;
    bool in_step = !previous || n == *previous + 1 || n == *previous || (volume_between && n == 1);
    if (!in_step) {
      // The next numbered chapter, unless a volume heading comes first.
      std::optional<int64_t> next;
      for (size_t j = i + 1; j < list.size(); ++j) {
        if (list[j].heading.kind == HeadingKind::kVolume) break;
        if (list[j].heading.kind == HeadingKind::kChapter && list[j].heading.number) {
          next = list[j].heading.number;
          break;
        }
      }
      // A stray between two chapters in a row.
      if (next && *next == *previous + 1 && !kept_lines.count(line_of(c))) continue;
    }
    kept.push_back(c);
    kept_lines.insert(line_of(c));
    previous = n;
    volume_between = false;
  }
  return kept;
}

// How well a set of forms reads a text as chapters, once its doubtful headings are settled and its
// strays dropped.
struct SetScore {
  size_t chapters = 0;  // none: the set finds no chapter
  size_t headings = 0;
  // The numbers' consistency counted by headings: each heading in step counts one, each break
  // two against, and so does each stray dropped.
  int64_t steps = 0;
  // The same weighed by the text the chapters carry (a stray dropped costs twice the median).
  // A piece counts for at most 20 times the median, so that lines running in step inside one
  // chapter (a numbered list, lines that begin with years) do not outweigh the chapters because
  // the last of them takes in the rest of the text.
  int64_t bytes = 0;
};

SetScore ScoreSet(const std::vector<Candidate>& all, PresetSet set, size_t text_size) {
  SetScore score;
  std::vector<Candidate> confirmed = ConfirmDoubtful(OnlyPresets(all, set));
  std::vector<Candidate> list = DropStrays(confirmed);
  for (const Candidate& c : list) score.chapters += c.heading.kind == HeadingKind::kChapter;
  if (score.chapters == 0) return score;
  score.headings = list.size();
  const int64_t dropped = static_cast<int64_t>(confirmed.size() - list.size());
  score.steps = Consistency(list, std::vector<int64_t>(list.size(), 1)) - 2 * dropped;
  std::vector<int64_t> weights = ChapterBytes(list, text_size);
  const int64_t median = MedianChapterBytes(list, weights);
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

// The automatic choice. For each kind of chapter heading (第X章, Chapter N, numbered lines), the
// volume headings are taken when the numbers run at least as consistently with them: volume
// headings that explain a restart beat dropping the chapter that restarts. Between the kinds, the
// one whose chapters carry the most text in step wins. 序章, 尾声 and the like go with the winner.
PresetSet ChoosePresets(const std::vector<Candidate>& all, size_t text_size) {
  PresetSet best = 0;
  SetScore best_score;
  for (PresetSet primary : {kPresetChapter, kPresetEnglish, kPresetNumbered}) {
    PresetSet set = primary;
    SetScore score = ScoreSet(all, primary, text_size);
    SetScore with_volumes = ScoreSet(all, primary | kPresetVolume, text_size);
    if (Beats(with_volumes, score, &SetScore::steps)) {
      set = primary | kPresetVolume;
      score = with_volumes;
    }
    if (Beats(score, best_score, &SetScore::bytes)) {
      best = set;
      best_score = score;
    }
  }
  if (best == 0) {
    // No chapters at all: volume headings alone, or the extras alone.
    if (!OnlyPresets(all, kPresetVolume).empty()) best = kPresetVolume;
  }
  return best | kPresetExtra;
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
    Warn(&warnings, WarningKind::kNone, 0, "没有找到章节标题，可以改为按大小分割");
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
      bool restart = !volume && volume_between && n == 1;
      if (restart) {
        // A volume heading lets the chapters start again at one.
      } else if (n == p) {
        Warn(&warnings, WarningKind::kRepeat, h.line, std::string(what) + " " + Number(n) + " 重复出现");
      } else if (n > p + 1) {
        int64_t missing = n - p - 1;
        Warn(&warnings, WarningKind::kGap, h.line,
             std::string(what) + "从 " + Number(p) + " 跳到 " + Number(n) + "，中间缺少 " +
                 Number(missing) + " 个");
      } else if (n < p && !(volume_between && !volume)) {
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

// The headings among the lines that read as headings (of a text of `text_size` bytes): those of
// `presets`, or of the forms the automatic choice takes when it is 0.
void TakeCandidates(std::vector<Candidate> all, PresetSet presets, size_t text_size,
                    ChapterList* result) {
  std::vector<Candidate> chosen;
  if (presets == 0) {
    presets = ChoosePresets(all, text_size);
    chosen = DropStrays(ConfirmDoubtful(OnlyPresets(all, presets)));
  } else {
    chosen = ConfirmDoubtful(all);
  }
  result->presets = presets;
  result->pattern = "preset:" + PresetSetName(presets);
  for (Candidate& c : chosen) {
    Heading h;
    h.line = c.line;
    h.offset = static_cast<int64_t>(c.start);
    h.title = std::move(c.title);
    h.title_offset = static_cast<int64_t>(c.title_start);
    h.number = c.heading.number;
    h.kind = c.heading.kind;
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

}  // namespace

ChapterList FindChapters(std::string_view text, const FinderOptions& options) {
  ChapterList result;
  LineScanner scanner(text);
  if (!options.pattern.empty()) {
    result.pattern = options.pattern;
    Pattern pattern;
    if (!RegexCompile(&pattern, options.pattern)) {
      result.pattern_valid = false;
      result.pattern_error = pattern.error();
      return result;
    }
    RegexSearchResult matches = RegexSearchAll(pattern, text);
    result.cut_short = matches.cut_short;
    int64_t line = 1;
    size_t counted = 0;     // line breaks counted up to here
    size_t line_start = 0;  // where the line holding `counted` begins
    for (const MatchRecord& m : matches.matches) {
      size_t at = static_cast<size_t>(MatchPosition(m));
      if (at >= text.size() || (!result.headings.empty() &&
                                static_cast<int64_t>(at) == result.headings.back().offset)) {
        continue;  // an empty match at the end cuts nothing; one cut per place
      }
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
      h.offset = static_cast<int64_t>(at);
      h.title = std::string(text.substr(title_start, title_end - title_start));
      h.title_offset = static_cast<int64_t>(title_start);
      if (form) {
        h.number = form->number;
        h.kind = form->kind;
      }
      result.headings.push_back(std::move(h));
    }
  } else {
    TakeCandidates(scanner.Scan(options.presets ? options.presets : kAllPresets), options.presets,
                   text.size(), &result);
  }
  Finish(text.size(), &result);
  return result;
}

FileChapters FindChaptersInFile(std::string_view path, const FinderOptions& options,
                                size_t block) {
  FileChapters found;
  if (options.pattern.empty()) {
    // The heading forms read line by line: the file passes in blocks, never whole. A file whose
    // text the reading rules would end early (a 0x00 or 0x1A byte, or a last byte that may be a
    // lone lead byte) is read whole instead, so that the text is exactly the one a split cuts.
    const PresetSet presets = options.presets ? options.presets : kAllPresets;
    LineScanner scanner;
    std::vector<Candidate> all;
    std::string pending;  // the start of a line whose break is still to come
    size_t pending_at = 0, size = 0;
    int64_t line = 1;
    bool plain = true;
    char last_byte = 0;
    const bool read = ReadFileInBlocks(
        path, block,
        [&](std::string_view block) {
          if (memchr(block.data(), '\0', block.size()) != nullptr ||
              memchr(block.data(), 0x1A, block.size()) != nullptr) {
            plain = false;
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
    if (plain && !IsLeadByte(static_cast<unsigned char>(last_byte))) {
      scanner.ScanRange(pending.data(), pending.data() + pending.size(), pending_at, true, presets,
                        &line, &all);
      found.ok = true;
      TakeCandidates(std::move(all), options.presets, size, &found.list);
      Finish(size, &found.list);
      return found;
    }
  }
  SourceText source = LoadSourceText(path, {}, EncodingChoice::kGbk);
  found.ok = source.ok;
  found.cut_short = source.cut_short;
  found.error = source.error;
  if (source.ok) found.list = FindChapters(source.text, options);
  return found;
}

}  // namespace travik::chapters
