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

// What follows an extra's word: nothing, or a separator and a title that is not a sentence.
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

// What may stand between a form and its title, beyond the separators: 第1章、黄菊, 第三章.云涌,
// 第四章——落幕, 12、夜雨.
bool IsMark(char32_t c) {
  switch (c) {
    case U'、': case U'.': case U'．': case U'—': case U'-': case U'－': case U'·': case U'_':
      return true;
    default:
      return IsSeparator(c);
  }
}

// How a title follows a form.
enum class Fit { kNone, kClean, kDoubtful };

// What follows a heading's form: nothing, or marks and a title. A title glued to the form without
// a mark is doubtful where `glued_ok`, else none; so is a title that reads as a sentence where
// `sentence_ok`.
Fit TitleFit(std::u32string_view rest, bool glued_ok, bool sentence_ok, bool marked = false) {
  if (rest.empty()) return Fit::kClean;
  while (!rest.empty() && IsMark(rest.front())) {
    rest.remove_prefix(1);
    marked = true;
  }
  Fit fit = Fit::kClean;
  if (!marked) {
    if (!glued_ok) return Fit::kNone;
    fit = Fit::kDoubtful;
  }
  if (ReadsAsSentence(rest)) {
    if (!sentence_ok) return Fit::kNone;
    fit = Fit::kDoubtful;
  }
  return fit;
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

// The number's place in a shape: digits and Chinese numerals share it after 第 (第12章 and
// 第十二章 are one form), but not on their own (1、 and 一、 are two).
const char* NumberMark(std::u32string_view run, bool ordinal) {
  return ordinal || IsDigitChar(run.front()) ? "#" : "〇";
}

void AppendUtf8(std::string* out, char32_t c) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The decorations a line may open with, as the shape names them, and the bracket that closes an
// opening one (0 for none).
struct Decoration {
  std::string shape;
  char32_t close = 0;
};

Decoration StripDecoration(std::u32string_view* line) {
  Decoration d;
  std::u32string_view& s = *line;
  if (s.empty()) return d;
  switch (s.front()) {
    case U'【': d = {"【", U'】'}; break;
    case U'〖': d = {"〖", U'〗'}; break;
    case U'[': d = {"[", U']'}; break;
    case U'［': d = {"［", U'］'}; break;
    case U'#': case U'＃': d = {"#", 0}; break;
    case U'（': d = {"（", U'）'}; break;
    case U'(': d = {"(", U')'}; break;
    case U'☆': d = {"☆", 0}; break;
    case U'★': d = {"★", 0}; break;
    default: return d;
  }
  s.remove_prefix(1);
  // ## and ### as Markdown heads go, ☆、 as one site writes it.
  while (d.shape == "#" && !s.empty() && (s.front() == U'#' || s.front() == U'＃')) s.remove_prefix(1);
  if ((d.shape == "☆" || d.shape == "★") && !s.empty() && s.front() == U'、') {
    d.shape += "、";
    s.remove_prefix(1);
  }
  s = SkipSpaces(s);
  return d;
}

// The closing bracket of a decoration right after a form, when there is one; it joins the shape
// and marks off the title (【第三章】再会故人).
bool TakeClose(std::u32string_view* rest, const Decoration& decoration, std::string* shape) {
  if (decoration.close && !rest->empty() && rest->front() == decoration.close) {
    rest->remove_prefix(1);
    AppendUtf8(shape, decoration.close);
    return true;
  }
  return false;
}

// True when a title is only a figure: a time or a score (3:39, 98比95, 12 : 30), as the quarters
// of a sports novel are headed. Such a line is told from a heading only by its numbering.
bool IsFigure(std::u32string_view title) {
  while (!title.empty() && IsMark(title.front())) title.remove_prefix(1);
  if (title.empty() || !IsDigitChar(title.front())) return false;
  bool joined = false;
  for (char32_t c : title) {
    if (c == U':' || c == U'：' || c == U'比' || c == U'-' || c == U'－') {
      joined = true;
    } else if (!IsDigitChar(c) && !IsSpaceChar(c)) {
      return false;
    }
  }
  return joined;
}

std::optional<LineHeading> WithFit(LineHeading heading, Fit fit) {
  if (fit == Fit::kNone) return std::nullopt;
  heading.doubtful = fit == Fit::kDoubtful;
  return heading;
}

// 第X章 / 第X卷 and their kin.
std::optional<LineHeading> ReadOrdinalForm(std::u32string_view line, PresetSet presets,
                                           const Decoration& decoration = {}) {
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
  // A title glued to 部 集 篇 is a noun of theirs (第二部分, 第三集团, 第一篇文章).
  bool glued_ok = true;
  switch (unit) {
    case U'章': case U'回': case U'节': case U'话':
      break;
    case U'節': unit = U'节'; break;
    case U'話': unit = U'话'; break;
    case U'卷':
      heading = {kPresetVolume, HeadingKind::kVolume, number};
      break;
    case U'部': case U'集': case U'篇':
      heading = {kPresetVolume, HeadingKind::kVolume, number};
      glued_ok = false;
      break;
    default:
      return std::nullopt;
  }
  if (!(presets & heading.preset)) return std::nullopt;
  heading.shape = decoration.shape + "第#";
  AppendUtf8(&heading.shape, unit);
  rest.remove_prefix(1);
  const bool closed = TakeClose(&rest, decoration, &heading.shape);
  heading.loose = IsFigure(rest);
  return WithFit(std::move(heading), TitleFit(rest, glued_ok, true, closed));
}

// 卷一 江湖, 卷十二: a volume numbered without 第. A title must be marked off (卷起 is a verb).
std::optional<LineHeading> ReadVolumeWord(std::u32string_view line, PresetSet presets,
                                          const Decoration& decoration) {
  if (!(presets & kPresetVolume) || line.empty() || line.front() != U'卷') return std::nullopt;
  std::u32string_view rest = SkipSpaces(line.substr(1));
  const size_t run = NumberRunLength(rest);
  if (run == 0) return std::nullopt;
  std::optional<int64_t> number = ParseNumber(rest.substr(0, run));
  if (!number) return std::nullopt;
  rest.remove_prefix(run);
  LineHeading heading{kPresetVolume, HeadingKind::kVolume, number};
  heading.shape = decoration.shape + "卷#";
  const bool closed = TakeClose(&rest, decoration, &heading.shape);
  return WithFit(std::move(heading), TitleFit(rest, false, false, closed));
}

// An English number in words at the start of s (One, TWENTY-ONE, One Hundred and Five), as
// English novels write chapter numbers; `length` is set to the characters it takes.
std::optional<int64_t> ReadEnglishNumber(std::u32string_view s, size_t* length) {
  static constexpr std::u32string_view kUnits[] = {
      U"one", U"two", U"three", U"four", U"five", U"six", U"seven", U"eight", U"nine", U"ten",
      U"eleven", U"twelve", U"thirteen", U"fourteen", U"fifteen", U"sixteen", U"seventeen",
      U"eighteen", U"nineteen"};
  static constexpr std::u32string_view kTens[] = {U"twenty", U"thirty", U"forty", U"fifty",
                                                  U"sixty", U"seventy", U"eighty", U"ninety"};
  // The next word, lower case, and where it ends.
  auto word_at = [&s](size_t at, size_t* end) {
    std::u32string w;
    size_t i = at;
    for (; i < s.size(); ++i) {
      char32_t c = s[i];
      if (c >= U'A' && c <= U'Z') c += U'a' - U'A';
      if (c < U'a' || c > U'z') break;
      w += c;
    }
    *end = i;
    return w;
  };
  auto index_in = [](const std::u32string& w, const auto& words) -> int {
    for (size_t i = 0; i < std::size(words); ++i) {
      if (w == words[i]) return static_cast<int>(i);
    }
    return -1;
  };
  int64_t value = 0;
  size_t at = 0, end = 0;
  bool any = false;
  while (at < s.size()) {
    std::u32string w = word_at(at, &end);
    if (w.empty()) break;
    int64_t part = -1;
    if (const int u = index_in(w, kUnits); u >= 0) {
      part = u + 1;
    } else if (const int t = index_in(w, kTens); t >= 0) {
      part = (t + 2) * 10;
    } else if (w == U"hundred" && any && value % 100 > 0 && value < 10) {
      value *= 100;
      part = 0;
    } else if (w == U"and" && any && value % 100 == 0 && value >= 100) {
      part = 0;
    } else {
      break;
    }
    if (part > 0) {
      // A unit may follow a ten (twenty-one) or a hundred, nothing else.
      const int64_t low = value % 100;
      if (any && !(low == 0 || (low % 10 == 0 && low >= 20 && part < 10))) break;
      value += part;
    }
    any = true;
    *length = end;
    at = end;
    if (at < s.size() && (s[at] == U'-' || s[at] == U' ')) {
      size_t next_end = 0;
      const std::u32string next = word_at(at + 1, &next_end);
      if (next.empty()) break;
      ++at;
    }
  }
  if (!any || value <= 0) return std::nullopt;
  return value;
}

// Chapter 12 / CHAPTER XII / CHAPTER ONE / chapter.001, with an optional title.
std::optional<LineHeading> ReadEnglishForm(std::u32string_view line, const Decoration& decoration) {
  static constexpr std::u32string_view kWord = U"chapter";
  if (line.size() < kWord.size()) return std::nullopt;
  for (size_t i = 0; i < kWord.size(); ++i) {
    char32_t c = line[i];
    if (c >= U'A' && c <= U'Z') c += U'a' - U'A';
    if (c != kWord[i]) return std::nullopt;
  }
  std::u32string_view rest = line.substr(kWord.size());
  std::string shape = decoration.shape + "chapter";
  if (!rest.empty() && (rest.front() == U'.' || rest.front() == U'．')) {
    shape += ".";
    rest.remove_prefix(1);
  } else if (rest.empty() || !IsSpaceChar(rest.front())) {
    return std::nullopt;
  } else {
    shape += " ";
  }
  shape += "#";
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
    if (!number) {
      run = 0;
      number = ReadEnglishNumber(rest, &run);
    }
  }
  if (!number) return std::nullopt;
  rest = rest.substr(run);
  const bool closed = TakeClose(&rest, decoration, &shape);
  LineHeading heading{kPresetEnglish, HeadingKind::kChapter, number};
  heading.shape = std::move(shape);
  return WithFit(std::move(heading), TitleFit(rest, false, false, closed));
}

// A number at the line's start: 001 标题, 12、标题, 12. 标题, 186：标题, 一、标题, 01章 标题, or a
// number alone (一, 01).
std::optional<LineHeading> ReadNumberedForm(std::u32string_view line, PresetSet presets,
                                            const Decoration& decoration) {
  if (line.empty() || !(IsDigitChar(line.front()) || IsChineseNumeralChar(line.front()))) {
    return std::nullopt;
  }
  const bool digits = IsDigitChar(line.front());
  size_t run = NumberRunLength(line);
  if (run > (digits ? 5u : 8u)) return std::nullopt;
  std::optional<int64_t> number = ParseNumber(line.substr(0, run));
  if (!number) return std::nullopt;
  std::u32string_view rest = line.substr(run);
  LineHeading heading{kPresetNumbered, HeadingKind::kChapter, number};
  heading.shape = decoration.shape + NumberMark(line, false);
  if (rest.empty() || (decoration.close && rest.size() == 1 && rest.front() == decoration.close)) {
    // A number alone on its line: only its numbering can tell it from a stray figure.
    TakeClose(&rest, decoration, &heading.shape);
    heading.loose = true;
    if (!(presets & kPresetNumbered)) return std::nullopt;
    return heading;
  }
  const char32_t next = rest.front();
  switch (next) {
    case U'章': case U'回': case U'节': case U'節': case U'话': case U'話':
    case U'卷': {
      // 01章 亲士: a unit without 第.
      if (next == U'卷') heading = {kPresetVolume, HeadingKind::kVolume, number};
      if (!(presets & heading.preset)) return std::nullopt;
      heading.shape = decoration.shape + NumberMark(line, false);
      AppendUtf8(&heading.shape, next == U'節' ? U'节' : next == U'話' ? U'话' : next);
      rest.remove_prefix(1);
      const bool closed = TakeClose(&rest, decoration, &heading.shape);
      // Glued prose (三回来了) never has a mark after the unit; a heading may lack one only when
      // the numbering confirms it.
      return WithFit(std::move(heading), TitleFit(rest, true, false, closed));
    }
    default:
      break;
  }
  if (!(presets & kPresetNumbered)) return std::nullopt;
  const bool closed = TakeClose(&rest, decoration, &heading.shape);
  if (rest.empty()) {
    heading.loose = true;
    return heading;
  }
  const char32_t mark = rest.front();
  // 【001】标题: a bracket marks the title off as a mark does (not a round one: (1)买菜 is a list).
  if (closed && decoration.close != U'）' && decoration.close != U')' && !IsMark(mark)) {
    if (IsDigitChar(mark) || ReadsAsSentence(rest)) return std::nullopt;
    return heading;
  }
  if (mark == U'、' || mark == U'.' || mark == U'．' || mark == U'：' || mark == U':' ||
      mark == U'—') {
    heading.shape += mark == U'．' ? std::string(".") : mark == U':' ? std::string("：") : [&] {
      std::string m;
      AppendUtf8(&m, mark);
      return m;
    }();
    while (!rest.empty() && rest.front() == mark) rest.remove_prefix(1);
    rest = SkipSpaces(rest);
  } else if (IsSpaceChar(mark)) {
    heading.shape += " ";
    rest = SkipSpaces(rest);
  } else {
    return std::nullopt;  // 2023年, 一个人
  }
  // "3.5", the score 98：95 and the time 3:39 are figures, not titles; "12." alone is a number
  // alone, for the numbering to tell from a list's.
  if (rest.empty() && (mark == U'.' || mark == U'．')) {
    heading.loose = true;
    return heading;
  }
  if (!rest.empty() && IsDigitChar(rest.front())) return std::nullopt;
  // 一、二、三个人 and 1、2、3 count: the title is the next number with the same mark.
  const size_t next_run = NumberRunLength(rest);
  if (next_run > 0 && next_run < rest.size() && rest[next_run] == mark) return std::nullopt;
  if (ReadsAsSentence(rest)) return std::nullopt;
  return heading;
}

// 标题（12）, 标题(3): the parts of one title, numbered in brackets at the line's end.
std::optional<LineHeading> ReadSerialForm(std::u32string_view line, PresetSet presets) {
  if (!(presets & kPresetNumbered) || line.size() < 4) return std::nullopt;
  const char32_t close = line.back();
  const char32_t open = close == U'）' ? U'（' : close == U')' ? U'(' : 0;
  if (!open) return std::nullopt;
  const size_t at = line.rfind(open);
  if (at == std::u32string_view::npos || at == 0 || at + 2 >= line.size()) return std::nullopt;
  std::u32string_view inside = SkipSpaces(line.substr(at + 1, line.size() - at - 2));
  while (!inside.empty() && IsSpaceChar(inside.back())) inside.remove_suffix(1);
  if (inside.empty() || NumberRunLength(inside) != inside.size()) return std::nullopt;
  std::optional<int64_t> number = ParseNumber(inside);
  std::u32string_view title = line.substr(0, at);
  if (!number || title.size() > 40 || ReadsAsSentence(title) || HasInnerComma(title)) {
    return std::nullopt;
  }
  LineHeading heading{kPresetNumbered, HeadingKind::kChapter, number};
  heading.shape = close == U'）' ? "…（#）" : "…(#)";
  heading.loose = true;
  heading.restarts = *number == 1;
  return heading;
}

// 序章, 楔子, 尾声, 番外三 … on their own or with a title.
std::optional<LineHeading> ReadExtraForm(std::u32string_view line, PresetSet presets,
                                         const Decoration& decoration) {
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
    std::string shape;
    TakeClose(&rest, decoration, &shape);
    std::u32string_view title;
    if (!TakesTitle(rest, &title)) return std::nullopt;
    // 正文 第一章 …: the chapter is what counts.
    if (!title.empty() && (presets & kPresetChapter)) {
      if (auto inner = ReadOrdinalForm(title, presets)) return inner;
    }
    if (!(presets & kPresetExtra)) return std::nullopt;
    LineHeading heading{kPresetExtra, HeadingKind::kExtra, number};
    heading.shape = "序章/楔子/尾声";
    return heading;
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
      {kPresetTitles, "titles", "（空行）故乡（空行）"},
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
    case U'第': case U'C': case U'c': case U'序': case U'楔': case U'引': case U'正': case U'尾':
    case U'后': case U'後': case U'终': case U'終': case U'番': case U'完':
    case U'【': case U'〖': case U'[': case U'［': case U'#': case U'＃': case U'☆': case U'★':
    case U'（': case U'(': case U'卷':
      return true;
    default:
      return IsDigitChar(c) || IsChineseNumeralChar(c);
  }
}

bool CanEndHeading(char32_t c) { return c == U'）' || c == U')'; }

bool ReadsAsStandaloneTitle(std::u32string_view line) {
  while (!line.empty() && IsSpaceChar(line.back())) line.remove_suffix(1);
  if (line.empty() || line.size() > kMaxStandaloneTitleChars) return false;
  // A note in brackets, （完）, is no title.
  if (line.front() == U'（' || line.front() == U'(') return false;
  for (char32_t c : line) {
    switch (c) {
      case U'。': case U'，': case U'！': case U'？': case U'：': case U'；': case U'“': case U'”':
      case U'「': case U'」': case U'…': case U'!': case U'?': case U',': case U';': case U':':
      case U'"': case U'.':
        return false;
      default:
        break;
    }
  }
  return true;
}

namespace {

std::optional<LineHeading> ReadAnyForm(std::u32string_view line, PresetSet presets) {
  while (!line.empty() && IsSpaceChar(line.back())) line.remove_suffix(1);
  line = SkipSpaces(line);
  if (line.empty() || line.size() > kMaxHeadingChars) return std::nullopt;
  const std::u32string_view whole = line;
  const Decoration decoration = StripDecoration(&line);
  if (line.empty()) return std::nullopt;
  if (line.front() == U'第') {
    std::optional<LineHeading> heading = ReadOrdinalForm(line, presets, decoration);
    if (heading && heading->kind == HeadingKind::kVolume && (presets & kPresetChapter)) {
      // 第一卷 江湖 第三章 标题: a chapter inside its volume's line counts as the chapter.
      for (size_t i = 1; i < line.size(); ++i) {
        if (line[i] != U'第' || !IsSeparator(line[i - 1])) continue;
        if (auto inner = ReadOrdinalForm(line.substr(i), kPresetChapter)) {
          // The volume's line lets its chapters start again.
          inner->restarts = true;
          if (!inner->doubtful) return inner;
        }
      }
    }
    if (heading) return heading;
  } else {
    if (presets & kPresetEnglish) {
      if (auto heading = ReadEnglishForm(line, decoration)) return heading;
    }
    if (auto heading = ReadNumberedForm(line, presets, decoration)) return heading;
    if (auto heading = ReadVolumeWord(line, presets, decoration)) return heading;
    if (auto heading = ReadExtraForm(line, presets, decoration)) return heading;
  }
  if (auto heading = ReadSerialForm(whole, presets)) return heading;
  // ☆、标题: a decorated title without a number, as one site writes every heading.
  if ((decoration.shape == "☆、" || decoration.shape == "★、") && (presets & kPresetNumbered) &&
      !ReadsAsSentence(line) && !HasInnerComma(line) && line.size() <= 40) {
    LineHeading heading{kPresetNumbered, HeadingKind::kChapter, std::nullopt};
    heading.shape = decoration.shape;
    heading.loose = true;
    return heading;
  }
  return std::nullopt;
}

}  // namespace

std::optional<LineHeading> ReadHeading(std::u32string_view line, PresetSet presets) {
  std::optional<LineHeading> heading = ReadAnyForm(line, presets);
  if (heading && HasInnerComma(line)) heading->doubtful = true;
  return heading;
}

std::optional<size_t> GluedHeadingStart(std::u32string_view line) {
  while (!line.empty() && IsSpaceChar(line.back())) line.remove_suffix(1);
  const size_t at = line.rfind(U'第');
  if (at == std::u32string_view::npos || at == 0 || line.size() - at > 12) return std::nullopt;
  std::optional<LineHeading> heading = ReadOrdinalForm(line.substr(at), kAllPresets);
  // Only the form itself, no title: 第二章 after a sentence.
  if (!heading || heading->doubtful || heading->kind != HeadingKind::kChapter) return std::nullopt;
  const char32_t unit = line.back();
  if (unit != U'章' && unit != U'回' && unit != U'节' && unit != U'節') return std::nullopt;
  size_t before = at;
  while (before > 0 && IsSpaceChar(line[before - 1])) --before;
  if (before == 0) return std::nullopt;
  switch (line[before - 1]) {
    case U'。': case U'！': case U'？': case U'!': case U'?': case U'”': case U'」': case U'』':
    case U'…': case U'；': case U'"':
      return at;
    default:
      return std::nullopt;
  }
}

}  // namespace travik::chapters
