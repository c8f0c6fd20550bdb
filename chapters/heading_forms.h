// The heading forms a novel's lines are read against: each is a small named preset that the finder
// can choose on its own or that a person can pick. A form looks at one whole line, already decoded
// and without its leading spaces and line break.
#ifndef TRAVIK_CHAPTERS_HEADING_FORMS_H_
#define TRAVIK_CHAPTERS_HEADING_FORMS_H_

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace travik::chapters {

// What a heading starts: a chapter, a volume (which may restart the chapter numbers), or a piece
// outside the numbering (序章, 楔子, 尾声, 番外 …).
enum class HeadingKind { kChapter, kVolume, kExtra };

// The presets, as bits so that the finder can combine them.
enum Preset : unsigned {
  kPresetChapter = 1u << 0,   // 第X章 第X回 第X节 第X话
  kPresetVolume = 1u << 1,    // 第X卷 第X部 第X集 第X篇
  kPresetEnglish = 1u << 2,   // Chapter N, CHAPTER N
  kPresetNumbered = 1u << 3,  // 001 标题, 12、标题, 12. 标题
  kPresetExtra = 1u << 4,     // 序章 序言 楔子 引子 正文 尾声 后记 终章 番外(N) 完本感言
};
using PresetSet = unsigned;
inline constexpr PresetSet kAllPresets =
    kPresetChapter | kPresetVolume | kPresetEnglish | kPresetNumbered | kPresetExtra;

// A preset's name on the command line and in the window, an example line (UTF-8), and its bit.
struct PresetInfo {
  Preset preset;
  const char* name;     // "chapter", "volume", "english", "numbered", "extra"
  const char* example;  // a line it takes, in UTF-8
};
const std::vector<PresetInfo>& Presets();
// The preset of that name, or nothing.
std::optional<Preset> PresetByName(std::string_view name);
// What --preset takes, for messages.
inline constexpr char kPresetNamesHint[] =
    "--preset 只能是 chapter、volume、english、numbered、extra，或用 + 连接的几种: ";

// The set named by "chapter+volume" (names joined by "+"); nothing when a name is unknown.
std::optional<PresetSet> ParsePresetSet(std::string_view names);
// "chapter+volume": the names of the presets in the set, joined by "+".
std::string PresetSetName(PresetSet set);

// What a line is when it is a heading.
struct LineHeading {
  Preset preset;
  HeadingKind kind;
  std::optional<int64_t> number;  // none for 序章, 楔子 …
  // The title holds a ， with more text after it: a sentence, unless the chapter numbers run on
  // through it (第四章 卷四 延英殿玉靈芝詩三章，章八句 between 第三章 and 第五章).
  bool doubtful = false;
};

// The longest line, in characters, that can still be a heading.
inline constexpr size_t kMaxHeadingChars = 120;

// Reads one line (decoded, leading spaces and the line break already removed) against the presets
// in `presets`; nothing when it is not a heading of any of them. A heading is the whole line: the
// form, then nothing or a separator (space, full-width space, ：, :) and a title. A line longer
// than kMaxHeadingChars, or whose title reads as a sentence (。 anywhere; ！ ？ followed by more
// text), is prose; a ， followed by more text makes the heading doubtful. Measure words followed
// directly by a noun (第一封信, 第二部分) are prose.
std::optional<LineHeading> ReadHeading(std::u32string_view line, PresetSet presets);

// True for the characters that can begin a heading of any preset: a cheap test that lets the
// finder skip most lines without decoding them further.
bool CanBeginHeading(char32_t c);

}  // namespace travik::chapters

#endif  // TRAVIK_CHAPTERS_HEADING_FORMS_H_
