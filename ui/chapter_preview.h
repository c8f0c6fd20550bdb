// The chapter preview that 按钮9 "预览" opens: the headings the chapter finder sees in the split
// list's selected (or first) file, with their numbers, sizes and warnings, before anything is
// cut. It reads the file and writes nothing; its button starts the split with exactly these cuts.
#ifndef TRAVIK_UI_CHAPTER_PREVIEW_H_
#define TRAVIK_UI_CHAPTER_PREVIEW_H_

#include <windows.h>
// The common controls need the types of windows.h.
#include <commctrl.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "files/source_bytes.h"
#include "chapters/chapter_finder.h"
#include "ui/keyword_box.h"

namespace travik::ui {

class MainWindow;

// The preview's controls.
enum PreviewControl : int {
  kPreviewSummary = 1,  // "共 N 个标题 …" and the file
  kPreviewRule,         // the forms or the pattern that found them
  kPreviewList,         // 序号, 章节号, 标题, 大小, 提示
  kPreviewContext,      // read-only: the text around a double-clicked heading
  kPreviewSplit,        // "按此分割"
  kPreviewForms,        // the forms of heading found, the one taken first: a click takes another
};

// The list's columns.
enum PreviewColumn : int { kColumnIndex, kColumnNumber, kColumnTitle, kColumnSize, kColumnNotes };

// Warning rows: dark red on light red.
inline constexpr COLORREF kWarningText = RGB(160, 0, 0);
inline constexpr COLORREF kWarningBack = RGB(255, 226, 222);

class ChapterPreview {
 public:
  // Opens the preview of the selected (or first) file of 超级列表框1, looking for what 编辑框3
  // asks: an entry's forms, the typed pattern, or, while it is empty, the finder's own choice.
  // An open preview is closed first. With no file, an unreadable file or a pattern that does not
  // compile it says so through the window's message box and returns null.
  static ChapterPreview* Open(MainWindow& window);
  // The open preview, or null.
  static ChapterPreview* Current();

  HWND hwnd() const { return hwnd_; }
  HWND Control(PreviewControl id) const { return GetDlgItem(hwnd_, id); }
  const chapters::ChapterList& chapters() const { return list_; }
  const std::string& path() const { return path_; }
  // The forms the list offers, in its order.
  const std::vector<chapters::FoundForm>& forms() const { return forms_; }
  // Takes the form of the list's row `index` instead (as a click on it does): the headings are
  // found again with that form, and the main window's keyword box shows its entry.
  void PickForm(int index);

 private:
  ChapterPreview(MainWindow& window, std::string path, SourceBytes text, Encoding encoding,
                 KeywordChoice choice, chapters::ChapterList list);
  ~ChapterPreview() = default;
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

  bool Create();
  void FillRows();
  void FillForms();
  void Arrange();
  LRESULT OnCustomDraw(NMLVCUSTOMDRAW& draw);
  void DrawSizeCell(NMLVCUSTOMDRAW& draw);
  void ShowContext(int row);
  void StartSplit();
  bool IsWarningRow(int row) const;
  int Scale(int pixels) const;

  MainWindow& window_;
  HWND hwnd_ = nullptr;
  std::string path_;
  SourceBytes text_;  // the file's text as the split reads it
  Encoding encoding_;  // ... and its encoding, in which titles and lines are shown
  KeywordChoice choice_;
  chapters::ChapterList list_;
  std::vector<std::array<std::wstring, 5>> rows_;  // the list's cells (it asks for them)
  std::vector<bool> warning_rows_;
  int64_t largest_ = 0;  // the largest piece, for the size bars
  // The forms of chapter heading the finder saw in the text, in the order first shown.
  std::vector<chapters::FoundForm> forms_;
};

// Offers `forms` in the main window's keyword box, after its own entries and in place of the
// forms offered before, as FormEntryText names them.
void OfferForms(MainWindow& window, const std::vector<chapters::FoundForm>& forms);

// The text shown for a heading: from up to `before` lines above its line to `after` lines below
// it, never more than a few kilobytes either way and never cut inside a character of `encoding`.
// `heading_at` receives where the heading's line starts in the result.
std::string TextAroundHeading(std::string_view text, size_t offset, int before, int after,
                              size_t* heading_at, Encoding encoding = Encoding::kGbk);

// The 大小 cell: the piece's size in bytes under 1 KB ("17 字节"), else in KB to one place
// ("12.3 KB").
std::string PieceSizeText(int64_t bytes);

}  // namespace travik::ui

#endif  // TRAVIK_UI_CHAPTER_PREVIEW_H_
