// The chapter finder: the headings of a novel, found by the built-in heading forms (chosen
// automatically or named) or by a person's own pattern, and the checks on their numbers and
// sizes. It reads a text and writes nothing: the split cuts where it says, the command line prints
// what it found, and the window previews it.
#ifndef TRAVIK_CHAPTERS_CHAPTER_FINDER_H_
#define TRAVIK_CHAPTERS_CHAPTER_FINDER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chapters/heading_forms.h"
#include "text/encoding.h"

namespace travik::chapters {

// One heading, in text order.
struct Heading {
  int64_t line = 0;    // 1-based line number
  // Byte offset of the cut: the heading line's start (a pattern's: its match). A cut at the first
  // character after a byte-order mark is made at 0: the mark stays with the first piece.
  int64_t offset = 0;
  // The heading line without its leading spaces and line break, in UTF-8 whatever the text's
  // encoding (a byte that begins no character of the encoding shows as "?").
  std::string title;
  int64_t title_offset = 0;  // where the title lies in the text (its own bytes)
  std::optional<int64_t> number;  // 第一百零三章 103, 第０１２章 12; none for 序章
  HeadingKind kind = HeadingKind::kChapter;
  bool restarts = false;  // part one of a new title (标题（1）): the numbers start again
  int64_t bytes = 0;  // size of the piece from this heading to the next, or to the end
};

enum class WarningKind { kGap, kRepeat, kBack, kShort, kLong, kNone };

// A check that did not pass: which, the line of the heading concerned (0 for none), and a sentence
// for a person (UTF-8).
struct Warning {
  WarningKind kind = WarningKind::kNone;
  int64_t line = 0;
  std::string text;
};

// What to look for. With a pattern, only the pattern cuts; otherwise the presets named, or, when
// none are named, the combination whose numbers run most consistently.
struct FinderOptions {
  std::string pattern;  // typed text (UTF-8); empty for the heading forms
  PresetSet presets = 0;
  // With neither: the form to use instead of the automatic choice, as ChapterList::forms names
  // it ("第#章", "#、" …).
  std::string form;
  // The text's encoding (FindChapters). The text is passed whole, its byte-order mark included;
  // offsets are its own bytes.
  Encoding encoding = Encoding::kGbk;
  // How FindChaptersInFile decides the file's encoding.
  EncodingChoice choice = EncodingChoice::kAuto;
};

// A form of heading the finder saw in a text: its shape ("第#章", "〇、", "#" …), how many
// chapter headings it gives once its strays are dropped, how many of them follow the one before
// in number, and whether the finder took it.
struct FoundForm {
  std::string shape;
  size_t count = 0;
  size_t in_step = 0;
  bool chosen = false;
};

struct ChapterList {
  std::vector<Heading> headings;
  std::vector<Warning> warnings;
  PresetSet presets = 0;     // the forms that found the headings (0 with a pattern or none)
  // What was used: the pattern as given, or "preset:" and the names; empty when nothing was
  // found.
  std::string pattern;
  std::string form;          // the shapes taken by the automatic choice, joined by "+"
  int64_t mark = 0;          // the length of the text's byte-order mark: where its text begins
  // The automatic choice's forms of chapter heading, the one taken first, then by how well their
  // numbers run.
  std::vector<FoundForm> forms;
  bool pattern_valid = true; // false when the pattern does not compile (pattern_error says why)
  std::string pattern_error;
  bool cut_short = false;    // the pattern engine gave up before the end of the text
};

// Finds the headings of a text in options.encoding. A text and its forms in the other encodings
// give the same headings (lines, titles, numbers, kinds); offsets and sizes are each form's own.
ChapterList FindChapters(std::string_view text, const FinderOptions& options = {});

// A file's headings, and how its reading went.
struct FileChapters {
  bool ok = false;         // the file was read
  bool cut_short = false;  // its text ends early (a lone lead byte, an incomplete character)
  std::string error;       // the cause (UTF-8) when !ok or cut_short
  std::vector<std::string> notes;  // what the reader kept or left out (SourceText::notes)
  // The encoding the file was read in (recognised, or as options.choice gave it). A UTF-16 file,
  // or one not valid in the encoding given, is not read: ok is false and `error` says why.
  Encoding encoding = Encoding::kGbk;
  ChapterList list;
};

// FindChapters on the text of a file as the split reads it, in the encoding options.choice says
// (options.encoding is not used). With the heading forms a GBK file is read in blocks of `block`
// bytes, never held whole; a file in another encoding is read whole. A megabyte a block: the two
// buffers' fresh pages (each faulted in and zeroed) cost more than the reads of larger blocks save.
FileChapters FindChaptersInFile(std::string_view path, const FinderOptions& options = {},
                                size_t block = size_t{1} << 20);

// The checks alone, on headings whose `bytes` are filled in: gap, repeat and back on the numbers
// (a volume heading lets the chapter numbers restart), short and long on the chapters' sizes
// against their median, none for an empty list.
std::vector<Warning> CheckHeadings(const std::vector<Heading>& headings);

// The name of a warning kind as the JSON output gives it ("gap", "repeat", …).
const char* WarningKindName(WarningKind kind);
// The name of a heading kind ("chapter", "volume", "extra").
const char* HeadingKindName(HeadingKind kind);

}  // namespace travik::chapters

#endif  // TRAVIK_CHAPTERS_CHAPTER_FINDER_H_
