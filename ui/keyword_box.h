// The split page's keyword box 编辑框3: a drop-down of the chapter finder's heading forms that
// still takes a typed pattern. What its text asks for is read here, for the start button and
// for the chapter preview alike.
#ifndef TRAVIK_UI_KEYWORD_BOX_H_
#define TRAVIK_UI_KEYWORD_BOX_H_

#include <string>
#include <string_view>

#include "chapters/chapter_finder.h"
#include "chapters/heading_forms.h"
#include "ui/layout.h"

namespace travik::ui {

// One entry of the drop-down (UTF-8 texts).
struct KeywordEntry {
  const char* text;        // as the list shows it and the box then reads
  const char* short_name;  // the forms' name in the preview's rule line
  chapters::PresetSet presets;  // 0: the finder chooses the forms itself
};

// The entries in list order: "自动识别章节", then one per preset of chapters::Presets().
Table<KeywordEntry> KeywordEntries();

// What the box's text asks for. An entry's text cuts at the finder's headings of its forms (a
// form entry's: of that one form); any other text is an ordinary keyword (pattern), the empty
// text included.
struct KeywordChoice {
  bool find_chapters = false;
  chapters::PresetSet presets = 0;
  std::string keyword;  // the pattern as typed; empty for an entry
  std::string form;     // a form entry's shape ("第#章"); empty otherwise
};
KeywordChoice KeywordChoiceOf(std::string_view box_text);

// The entry for a form the finder saw, as the chapter preview offers it to the box:
// "格式：第#章（120 个）".
std::string FormEntryText(const chapters::FoundForm& form);
// True for a text FormEntryText makes.
bool IsFormEntry(std::string_view box_text);
// The line of the preview's list of forms: the shape, its headings and how many of them follow
// the one before in number ("第#章　120 个标题，编号连续 118/120").
std::string FormLineText(const chapters::FoundForm& form);

// The forms of a set by their short names joined by "＋" ("章节＋卷"); empty for 0.
std::string PresetSetLabel(chapters::PresetSet presets);

}  // namespace travik::ui

#endif  // TRAVIK_UI_KEYWORD_BOX_H_
