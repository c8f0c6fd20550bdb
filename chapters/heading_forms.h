// The heading forms a novel's lines are read against: each is a small named preset that the finder
// can choose on its own or that a person can pick. A form looks at one whole line, already decoded
// and without its leading spaces and line break.
#ifndef TRAVIK_CHAPTERS_HEADING_FORMS_H_
#define TRAVIK_CHAPTERS_HEADING_FORMS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace travik::chapters {

// What a heading starts: a chapter, a volume (which may restart the chapter numbers), or a piece
// outside the numbering (序章, 楔子, 尾声, 番外 …).
enum class HeadingKind { kChapter, kVolume, kExtra };

// The presets, as bits so that the finder can combine them. kAllPresets are those the automatic
// choice weighs; kPresetTitles is only ever named.
enum Preset : unsigned {
  kPresetChapter = 1u << 0,   // 第X章 第X回 第X节 第X话
  kPresetVolume = 1u << 1,    // 第X卷 第X部 第X集 第X篇
  kPresetEnglish = 1u << 2,   // Chapter N, CHAPTER N
  kPresetNumbered = 1u << 3,  // 001 标题, 12、标题, 12. 标题
  kPresetExtra = 1u << 4,     // 序章 序言 楔子 引子 正文 尾声 后记 终章 番外(N) 完本感言
  // A short title alone between blank lines, without a number (a story collection): never
  // guessed, only taken when named.
  kPresetTitles = 1u << 5,
};
using PresetSet = unsigned;
inline constexpr PresetSet kAllPresets =
    kPresetChapter | kPresetVolume | kPresetEnglish | kPresetNumbered | kPresetExtra;

// A preset's name on the command line and in the window, an example line (UTF-8), and its bit.
struct PresetInfo {
  Preset preset;
  const char* name;     // "chapter", "volume", "english", "numbered", "extra", "titles"
  const char* example;  // a line it takes, in UTF-8
};
const std::vector<PresetInfo>& Presets();
// The preset of that name, or nothing.
std::optional<Preset> PresetByName(std::string_view name);
// What --preset takes, for messages.
inline constexpr char kPresetNamesHint[] =
    "--preset 只能是 chapter、volume、english、numbered、extra、titles，或用 + 连接的几种: ";

// The set named by "chapter+volume" (names joined by "+"); nothing when a name is unknown.
std::optional<PresetSet> ParsePresetSet(std::string_view names);
// "chapter+volume": the names of the presets in the set, joined by "+".
std::string PresetSetName(PresetSet set);

// What a line is when it is a heading.
struct LineHeading {
  Preset preset;
  HeadingKind kind;
  std::optional<int64_t> number = std::nullopt;  // none for 序章, 楔子 …
  // The title holds a ， with more text after it, reads as a sentence, or is glued to the form
  // without a separator (第一章衰兰送客): prose, unless the numbers run on through it (第四章 卷四
  // 延英殿玉靈芝詩三章，章八句 between 第三章 and 第五章; 第五章 杀！杀！杀！).
  bool doubtful = false;
  // The line's shape: the form with its number as "#" (Chinese numerals as "〇" outside 第…)
  // and its title dropped, decorations kept: "第#章", "【第#章】", "#、", "〇、", "chapter.#",
  // "#：", "#" alone, "…（#）". The finder weighs each shape's numbering on its own.
  std::string shape = {};
  // A shape that only the numbering can tell from prose (a number alone on its line, a title
  // with a part number, a decorated title without a number): never taken by a named preset.
  bool loose = false;
  // Part one of a new title (标题（1）): the numbers may start again here.
  bool restarts = false;
};

// The longest line, in characters, that can still be a heading.
inline constexpr size_t kMaxHeadingChars = 120;

// Reads one line (decoded, leading spaces and the line break already removed) against the presets
// in `presets`; nothing when it is not a heading of any of them. A heading is the whole line:
// decorations (【 〖 [ # ＃ ☆、), the form, then nothing or a separator (space, full-width space,
// ： : 、 . —) and a title. A line longer than kMaxHeadingChars is prose. After 第…, a title that
// reads as a sentence (。 anywhere; ！ ？ followed by more text), holds a ， or is glued to the
// form makes the heading doubtful; after a bare number it makes the line prose, and so does a
// title that begins with a digit (98：95, 3.5). 第 and a number without a unit (第一封信), and
// 部 集 篇 followed directly by more (第二部分), are prose.
std::optional<LineHeading> ReadHeading(std::u32string_view line, PresetSet presets);

// The longest title, in characters, that kPresetTitles takes.
inline constexpr size_t kMaxStandaloneTitleChars = 30;

// True when a line (decoded, without its leading spaces) can be a title standing alone between
// blank lines: short, not a note in brackets, and without the marks of a sentence (。 ， ！ ？ ：
// “ … and their kin).
bool ReadsAsStandaloneTitle(std::u32string_view line);

// True for the characters that can begin a heading of any preset: a cheap test that lets the
// finder skip most lines without decoding them further. A line that begins otherwise can still
// be a heading when it ends in ） or ) (标题（12）).
bool CanBeginHeading(char32_t c);
bool CanEndHeading(char32_t c);

// 第二章 standing at the end of a line after the end of a sentence (……均纪实也。 第二章): a
// heading glued to the paragraph before it by a lost line break. The index in `line` where it
// begins, or nothing. Always doubtful: only the numbering can confirm it.
std::optional<size_t> GluedHeadingStart(std::u32string_view line);

}  // namespace travik::chapters

#endif  // TRAVIK_CHAPTERS_HEADING_FORMS_H_
