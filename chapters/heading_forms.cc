#include "chapters/heading_forms.h"

#include <string>

#include "chapters/numerals.h"

namespace travik::chapters {

namespace {

bool IsSpaceChar(char32_t c) { return c == U' ' || c == U'\t' || c == U'\u3000'; }

// What may stand between a heading's form and its title.
bool IsSeparator(char32_t c) { return IsSpaceChar(c) || c == U'：' || c == U':'; }

std::u32string_view SkipSpaces(std::u32string_view s) {
  while (!s.empty() && IsSpaceChar(s.front())) s.remove_prefix(1);
  return s;
}

// True when the rest of the line after position i holds more than closing marks.
bool MoreTextAfter(std::u32string_view line, size_t i) {
  std::u32string_view after = SkipSpaces(line.substr(i + 1));
  // Closing quotes and more of the same marks do not make more text.
  while (!after.empty() && (after.front() == U'！' || after.front() == U'？' ||
                            after.front() == U'!' || after.front() == U'?' ||
                            after.front() == U'”' || after.front() == U'」' ||
                            after.front() == U'』' || after.front() == U'"')) {
    after.remove_prefix(1);
  }
  return !after.empty();
}

// The bracket that closes `open`, or 0 when it opens none.
char32_t ClosingBracket(char32_t open) {
  switch (open) {
    case U'（': return U'）';
    case U'(': return U')';
    case U'【': return U'】';
    case U'[': return U']';
    default: return 0;
  }
}

// The title without its bracketed notes: 突破（求月票！） is 突破. A bracket that is never closed
// stays, with what follows it.
std::u32string WithoutBracketedNotes(std::u32string_view title) {
  std::u32string kept;
  for (size_t i = 0; i < title.size(); ++i) {
    const char32_t close = ClosingBracket(title[i]);
    const size_t end = close ? title.find(close, i + 1) : std::u32string_view::npos;
    if (end == std::u32string_view::npos) {
      kept += title[i];
    } else {
      i = end;
    }
  }
  return kept;
}

// True when the title reads as a sentence: 。 anywhere, or ！ ？ with more text after them. A
// title may end in ！ or ？ ("第五章 出发！"), and the marks inside a bracketed note do not count.
bool ReadsAsSentence(std::u32string_view title_with_notes) {
  const std::u32string title = WithoutBracketedNotes(title_with_notes);
  for (size_t i = 0; i < title.size(); ++i) {
    char32_t c = title[i];
    if (c == U'。') return true;
    if ((c == U'！' || c == U'？' || c == U'!' || c == U'?') && MoreTextAfter(title, i)) return true;
  }
  return false;
}

// True when a ， (or ,) has more text after it: prose, unless the numbering says otherwise.
bool HasInnerComma(std::u32string_view line) {
  for (size_t i = 0; i < line.size(); ++i) {
    if ((line[i] == U'，' || line[i] == U',') && MoreTextAfter(line, i)) return true;
  }
  return false;
}

// What follows a heading's form: nothing, or a separator and a title that is not a sentence.
// Returns false for anything else (a character glued to the form: 第一封信, 第二部分).
bool TakesTitle(std::u32string_view rest, std::u32string_view* title) {
  if (rest.empty()) {
    *title = rest;
    return true;
  }
  if (!IsSeparator(rest.front())) return false;
  while (!rest.empty() && IsSeparator(rest.front())) rest.remove_prefix(1);
  if (ReadsAsSentence(rest)) return false;
  *title = rest;
  return true;
}

// The longest run at the start of s of digits, or else of Chinese numeral characters.
size_t NumberRunLength(std::u32string_view s) {
  size_t n = 0;
  if (!s.empty() && IsDigitChar(s.front())) {
    while (n < s.size() && IsDigitChar(s[n])) ++n;
  } else {
    while (n < s.size() && IsChineseNumeralChar(s[n])) ++n;
  }
  return n;
}

std::optional<LineHeading> ReadNumberedForm(std::u32string_view line, PresetSet presets);

// 第X章 / 第X卷 and their kin.
std::optional<LineHeading> ReadOrdinalForm(std::u32string_view line, PresetSet presets) {
  if (line.empty() || line.front() != U'第') return std::nullopt;
  std::u32string_view rest = SkipSpaces(line.substr(1));
  size_t run = NumberRunLength(rest);
  if (run == 0) return std::nullopt;
  std::optional<int64_t> number = ParseNumber(rest.substr(0, run));
  if (!number) return std::nullopt;
  rest = SkipSpaces(rest.substr(run));
  if (rest.empty()) return std::nullopt;
  char32_t unit = rest.front();
  LineHeading heading{kPresetChapter, HeadingKind::kChapter, number};
  switch (unit) {
    case U'章': case U'回': case U'节': case U'節': case U'话': case U'話':
      break;
    case U'卷': case U'部': case U'集': case U'篇':
      heading = {kPresetVolume, HeadingKind::kVolume, number};
      break;
    default:
      return std::nullopt;
  }
  if (!(presets & heading.preset)) return std::nullopt;
  std::u32string_view title;
  if (!TakesTitle(rest.substr(1), &title)) return std::nullopt;
  return heading;
}

// Chapter 12 / CHAPTER XII, with an optional title.
std::optional<LineHeading> ReadEnglishForm(std::u32string_view line) {
  static constexpr std::u32string_view kWords[] = {U"Chapter", U"CHAPTER"};
  for (std::u32string_view word : kWords) {
    if (line.substr(0, word.size()) != word) continue;
    std::u32string_view rest = line.substr(word.size());
    if (rest.empty() || !IsSpaceChar(rest.front())) return std::nullopt;
    rest = SkipSpaces(rest);
    size_t run = 0;
    std::optional<int64_t> number;
    if (!rest.empty() && IsDigitChar(rest.front())) {
      run = NumberRunLength(rest);
      number = ParseDigits(rest.substr(0, run));
    } else {
      // Roman numerals, as English novels number chapters.
      int64_t value = 0, last = 0;
      while (run < rest.size()) {
        int64_t v = 0;
        switch (rest[run]) {
          case U'I': v = 1; break;
          case U'V': v = 5; break;
          case U'X': v = 10; break;
          case U'L': v = 50; break;
          case U'C': v = 100; break;
          default: break;
        }
        if (v == 0) break;
        value += v;
        if (last > 0 && v > last) value -= 2 * last;
        last = v;
        ++run;
      }
      if (run > 0 && value > 0) number = value;
    }
    if (!number) return std::nullopt;
    rest = rest.substr(run);
    if (!rest.empty() && (rest.front() == U'.' || rest.front() == U'-')) rest.remove_prefix(1);
    std::u32string_view title;
    if (!rest.empty() && !IsSeparator(rest.front())) return std::nullopt;
    if (!TakesTitle(rest, &title)) return std::nullopt;
    return LineHeading{kPresetEnglish, HeadingKind::kChapter, number};
  }
  return std::nullopt;
}

// 001 标题, 12、标题, 12. 标题: a number, a mark or a space, and a title that is not empty.
std::optional<LineHeading> ReadNumberedForm(std::u32string_view line, PresetSet presets) {
  if (!(presets & kPresetNumbered) || line.empty() || !IsDigitChar(line.front())) {
    return std::nullopt;
  }
  size_t run = NumberRunLength(line);
  if (run > 5) return std::nullopt;
  std::optional<int64_t> number = ParseDigits(line.substr(0, run));
  if (!number) return std::nullopt;
  std::u32string_view rest = line.substr(run);
  if (rest.empty()) return std::nullopt;
  if (rest.front() == U'、' || rest.front() == U'.' || rest.front() == U'．') {
    rest = SkipSpaces(rest.substr(1));
  } else if (IsSpaceChar(rest.front())) {
    rest = SkipSpaces(rest);
  } else {
    return std::nullopt;
  }
  if (rest.empty() || ReadsAsSentence(rest)) return std::nullopt;
  // "3.5" and "1. 2." read as numbers, not titles.
  if (IsDigitChar(rest.front())) return std::nullopt;
  return LineHeading{kPresetNumbered, HeadingKind::kChapter, number};
}

// 序章, 楔子, 尾声, 番外三 … on their own or with a title.
std::optional<LineHeading> ReadExtraForm(std::u32string_view line, PresetSet presets) {
  static constexpr std::u32string_view kWords[] = {
      U"完本感言", U"序章", U"序言", U"楔子", U"引子", U"正文", U"尾声", U"尾聲",
      U"后记",     U"後記", U"后記", U"终章", U"終章", U"番外"};
  for (std::u32string_view word : kWords) {
    if (line.substr(0, word.size()) != word) continue;
    std::u32string_view rest = line.substr(word.size());
    std::optional<int64_t> number;
    if (word == U"番外") {
      // 番外, 番外1, 番外 2, 番外三, 番外篇, 番外（一）.
      if (!rest.empty() && rest.front() == U'篇') rest.remove_prefix(1);
      std::u32string_view digits = SkipSpaces(rest);
      const char32_t close = digits.empty() ? 0 : ClosingBracket(digits.front());
      if (close) digits.remove_prefix(1);
      size_t run = NumberRunLength(digits);
      if (run > 0) {
        number = ParseNumber(digits.substr(0, run));
        if (!number) return std::nullopt;
        rest = digits.substr(run);
        if (close) {
          if (rest.empty() || rest.front() != close) return std::nullopt;
          rest.remove_prefix(1);
        }
      }
    }
    std::u32string_view title;
    if (!TakesTitle(rest, &title)) return std::nullopt;
    // 正文 第一章 …: the chapter is what counts.
    if (!title.empty() && (presets & kPresetChapter)) {
      if (auto inner = ReadOrdinalForm(title, presets)) return inner;
    }
    if (!(presets & kPresetExtra)) return std::nullopt;
    return LineHeading{kPresetExtra, HeadingKind::kExtra, number};
  }
  return std::nullopt;
}

}  // namespace

const std::vector<PresetInfo>& Presets() {
  static const std::vector<PresetInfo> presets = {
      {kPresetChapter, "chapter", "第一百零三章 风起"},
      {kPresetVolume, "volume", "第二卷 江湖"},
      {kPresetEnglish, "english", "Chapter 12: The Storm"},
      {kPresetNumbered, "numbered", "012、夜雨"},
      {kPresetExtra, "extra", "楔子 / 尾声 / 番外三"},
  };
  return presets;
}

std::optional<Preset> PresetByName(std::string_view name) {
  for (const PresetInfo& info : Presets()) {
    if (name == info.name) return info.preset;
  }
  return std::nullopt;
}

std::optional<PresetSet> ParsePresetSet(std::string_view names) {
  PresetSet set = 0;
  while (true) {
    const size_t plus = names.find('+');
    std::optional<Preset> preset = PresetByName(names.substr(0, plus));
    if (!preset) return std::nullopt;
    set |= *preset;
    if (plus == std::string_view::npos) return set;
    names.remove_prefix(plus + 1);
  }
}

std::string PresetSetName(PresetSet set) {
  std::string name;
  for (const PresetInfo& info : Presets()) {
    if (!(set & info.preset)) continue;
    if (!name.empty()) name += '+';
    name += info.name;
  }
  return name;
}

bool CanBeginHeading(char32_t c) {
  switch (c) {
    case U'第': case U'C': case U'序': case U'楔': case U'引': case U'正': case U'尾':
    case U'后': case U'後': case U'终': case U'終': case U'番': case U'完':
      return true;
    default:
      return IsDigitChar(c);
  }
}

namespace {

std::optional<LineHeading> ReadAnyForm(std::u32string_view line, PresetSet presets) {
  while (!line.empty() && IsSpaceChar(line.back())) line.remove_suffix(1);
  line = SkipSpaces(line);
  if (line.empty() || line.size() > kMaxHeadingChars) return std::nullopt;
  if (line.front() == U'第') {
    std::optional<LineHeading> heading = ReadOrdinalForm(line, presets);
    if (heading && heading->kind == HeadingKind::kVolume && (presets & kPresetChapter)) {
      // 第一卷 江湖 第三章 标题: a chapter inside its volume's line counts as the chapter.
      for (size_t i = 1; i < line.size(); ++i) {
        if (line[i] != U'第' || !IsSeparator(line[i - 1])) continue;
        if (auto inner = ReadOrdinalForm(line.substr(i), kPresetChapter)) return inner;
      }
    }
    return heading;
  }
  if (presets & kPresetEnglish) {
    if (auto heading = ReadEnglishForm(line)) return heading;
  }
  if (auto heading = ReadNumberedForm(line, presets)) return heading;
  return ReadExtraForm(line, presets);
}

}  // namespace

std::optional<LineHeading> ReadHeading(std::u32string_view line, PresetSet presets) {
  std::optional<LineHeading> heading = ReadAnyForm(line, presets);
  if (heading) heading->doubtful = HasInnerComma(line);
  return heading;
}

}  // namespace travik::chapters
