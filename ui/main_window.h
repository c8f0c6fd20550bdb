// The main window "Travik": built from the layout tables, it owns its controls, fonts, menus,
// balloon hint and tray icon, and dispatches window messages to the named handlers of the
// Parts (file_lists.cc, options.cc, save_location.cc, job_buttons.cc).
#ifndef TRAVIK_UI_MAIN_WINDOW_H_
#define TRAVIK_UI_MAIN_WINDOW_H_

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "files/file_entry.h"
#include "ui/desktop_calls.h"
#include "ui/encoding_column.h"
#include "ui/job_runner.h"
#include "ui/jobs_state.h"
#include "ui/layout.h"
#include "ui/scoped_handle.h"
#include "ui/settings.h"
#include "ui/tray_icon.h"

namespace travik::ui {

// Messages of the main window's own.
inline constexpr UINT kTrayMessage = WM_APP + 1;  // 托盘图标1's mouse events
inline constexpr UINT_PTR kHintTimer = 1;         // closes the balloon hint
inline constexpr UINT_PTR kHintToolId = 1;        // the balloon's one tool
inline constexpr UINT kHintMilliseconds = 4000;
inline constexpr UINT kEncodingsMessage = WM_APP + 5;  // the column "编码" has answers to show
inline constexpr UINT kAddRowsMessage = WM_APP + 6;    // more queued files to add to a list
// Files are added to a list in batches of at most this long, so that the window keeps answering.
inline constexpr int kAddRowsBatchMilliseconds = 20;

// The column "编码" of a list: after the size column, and after the path in the merge list,
// which has no size column.
int EncodingColumnOf(ControlId list);

class MainWindow {
 public:
  // `desktop` answers the calls that wait for a person; it must outlive the window.
  explicit MainWindow(DesktopCalls& desktop);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window from the layout and runs the created handler (icon buttons, status bar,
  // tray icon). With `quit_on_destroy` the message loop's WM_QUIT is posted when it closes.
  // Returns false when the window could not be created.
  bool Create(HINSTANCE instance, bool quit_on_destroy);
  HWND hwnd() const { return hwnd_; }
  // The control's window; null for an id that is not a control.
  HWND Control(ControlId id) const;
  // The control whose window this is, or kNoControl.
  ControlId IdOf(HWND control) const;
  // Layout pixels (96 dpi) to the window's pixels.
  int Scale(int pixels) const { return MulDiv(pixels, dpi_, 96); }
  int dpi() const { return dpi_; }

  // Control properties by layout name; texts are UTF-8 (what a person typed is taken as it is:
  // a job puts it into each file's encoding).
  std::string Text(ControlId id) const;
  void SetText(ControlId id, std::string_view text);
  bool Checked(ControlId id) const;
  void SetChecked(ControlId id, bool checked);
  bool Enabled(ControlId id) const;
  void SetEnabled(ControlId id, bool enabled);
  // Current page of 选择夹1 (0, 1, 2); ShowPage switches it as a click on its tab does.
  int CurrentPage() const;
  void ShowPage(int page);

  // Status bar panes 0 and 1. Setting repaints the bar at once, also inside a running job.
  std::string StatusPane(int index) const;
  void SetStatusPane(int index, std::string_view text);
  // 透明标签1's caption, shown over the pages while it is not empty.
  void SetNotice(std::string_view text);

  // File lists (超级列表框1/2/3): rows are FileEntry; the merge list has no size column. Each row
  // keeps its encoding choice (FileEntry::encoding), which its column "编码" shows with what its
  // file is recognised as; a row's file is read for that on a worker thread once it is added.
  int RowCount(ControlId list) const;
  int SelectedRow(ControlId list) const;  // -1 when none
  std::string Cell(ControlId list, int row, int column) const;
  void AppendRow(ControlId list, const FileEntry& entry);
  void DeleteRow(ControlId list, int row);
  void DeleteAllRows(ControlId list);
  void SetCell(ControlId list, int row, int column, std::string_view text);
  // Moves row `from` to place `to` (both in 0 ... rows - 1), keeping it selected.
  void MoveRow(ControlId list, int from, int to);
  // Puts the rows in this order: order[i] is the row that goes to place i (a permutation of
  // 0 ... rows - 1). Every cell and the encoding choice go with their row.
  void ReorderRows(ControlId list, const std::vector<int>& order);
  std::vector<FileEntry> Rows(ControlId list) const;
  // Every selected row of a list, in order.
  std::vector<int> SelectedRows(ControlId list) const;
  EncodingChoice RowEncoding(ControlId list, int row) const;
  void SetRowEncoding(ControlId list, int row, EncodingChoice choice);
  // True while files of the lists are still being read for their column "编码".
  bool RecognisingEncodings() const {
    return scanner_.busy() || !pending_answers_.empty() || !scans_later_.empty();
  }
  // No list's file is held open for the column from Pause until Resume (while a job runs).
  void PauseRecognising() { scanner_.Pause(); }
  void ResumeRecognising() { scanner_.Resume(); }
  // The list of the page shown.
  ControlId CurrentList() const;
  // Adds the files to the end of `list` in this order, in batches on the window's thread (each
  // row made from its file as a start button's list shows it); `done` runs once all are in.
  void QueueRows(ControlId list, std::vector<std::string> paths, std::function<void()> done);
  // True while files queued for a list are still being added.
  bool AddingRows() const { return !row_queue_.empty(); }
  // Adds every queued file now (before a job reads the lists).
  void FinishAddingRows();

  // Reads the settings file at `path` into the controls and saves them there when the window
  // closes (a window without it remembers nothing). Returns what was read.
  Settings UseSettings(const std::string& path);
  // The settings file in use; empty when none.
  const std::string& settings_path() const { return settings_path_; }

  // Pops the balloon hint 气球提示框1 at the cursor with `text`; HideHint closes it.
  void ShowHint(std::string_view text);
  void HideHint();
  HWND hint_window() const { return hint_.get(); }

  // A fresh pop-up copy of a menu of the layout.
  ScopedMenu BuildPopupMenu(MenuName menu) const;
  // Shows the window normally (also from minimized); nothing while it is not visible.
  void Restore();

  DesktopCalls& desktop() { return desktop_; }
  TrayIcon& tray() { return tray_; }
  JobsState& jobs() { return jobs_; }
  const JobsState& jobs() const { return jobs_; }
  JobRunner& runner() { return runner_; }
  // The job's progress bar on the status bar (hidden while no job runs).
  HWND progress_bar() const { return progress_bar_; }
  // The list a row is being dragged in (kNoControl when none) and the row.
  ControlId drag_list() const { return drag_list_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK ControlProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                      UINT_PTR id, DWORD_PTR self);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleControlMessage(ControlId id, HWND control, UINT message, WPARAM wparam,
                               LPARAM lparam);

  bool OnCreate();
  void OnMainWindowCreated();
  void OnCommand(int id, int code);
  LRESULT OnNotify(const NMHDR& header);
  LRESULT OnControlColor(HDC dc, HWND control, UINT message, WPARAM wparam, LPARAM lparam);
  void OnTrayMessage(UINT event);
  void OnDestroy();
  void OnClose();
  void OnEncodingsRecognised();
  // window_size.cc: the window's style, its size at start, and its controls following a resize.
  static DWORD WindowStyle();
  SIZE DefaultOuterSize() const;
  void RememberLayout();
  void OnMinMaxInfo(MINMAXINFO& info) const;
  void OnSize(int width, int height);
  // Adds queued rows for up to kAddRowsBatchMilliseconds (all of them with `all`).
  void AddQueuedRows(bool all);
  void OnDropFiles(WPARAM drop);  // an HDROP
  // Pane 0 of the status bar as wide as `pane0` needs, within the bar.
  void FitStatusPanes(const std::wstring& pane0);
  // The row's key into row_encodings_ (its item data).
  LPARAM RowKey(ControlId list, int row) const;
  void ShowRowEncoding(ControlId list, int row);
  void EndDrag(POINT at_client, bool drop);
  void PopTrayMenu();
  HBRUSH PageBrush();

  void CreateFonts();
  HWND CreateControl(const ControlLayout& row);
  void SetUpControl(const ControlLayout& row, HWND control);
  void SetUpKeywordBox(const ControlLayout& row, HWND control);
  void SetButtonIcons();
  HMENU BuildMenuBar() const;
  void SetZOrder();

  DesktopCalls& desktop_;
  HWND hwnd_ = nullptr;
  HINSTANCE instance_ = nullptr;
  bool quit_on_destroy_ = false;
  int dpi_ = 96;
  std::map<ControlId, HWND> controls_;
  ScopedFont dialog_font_, notice_font_, status_font_, small_font_;
  ScopedBitmap page_bitmap_;  // the tab control's body, painted once
  ScopedBrush page_brush_;    // a pattern of page_bitmap_
  std::vector<ScopedIcon> icons_;
  ScopedWindow hint_;
  TrayIcon tray_;
  UINT taskbar_created_message_ = 0;
  JobsState jobs_;
  HWND progress_bar_ = nullptr;
  ControlId drag_list_ = kNoControl;
  int drag_row_ = -1;
  // Each row's encoding choice and what its file was recognised as ("" while it is read), by the
  // key the row carries as its item data.
  struct RowEncodingState {
    EncodingChoice choice = EncodingChoice::kAuto;
    std::string recognised;
  };
  std::map<LPARAM, RowEncodingState> row_encodings_;
  // The row of each key, by list: kept up as rows are appended, rebuilt once after rows moved or
  // went. An answer of the column "编码" finds its row here instead of in a search of the list,
  // which for thousands of answers would take seconds.
  struct RowIndex {
    bool valid = true;
    std::unordered_map<LPARAM, int> rows;
  };
  std::map<ControlId, RowIndex> row_index_;
  std::vector<EncodingScanner::Answer> pending_answers_;  // taken, not shown yet
  // The row carrying `key` in `list`, or -1.
  int RowOfKey(ControlId list, LPARAM key);
  LPARAM next_row_key_ = 1;
  EncodingScanner scanner_;
  // Files waiting to be added, by list, in order.
  struct QueuedRows {
    ControlId list;
    std::vector<std::string> paths;
    size_t next = 0;
    std::function<void()> done;
  };
  std::vector<QueuedRows> row_queue_;
  // Files of rows added from the queue, handed to the scanner once the list is complete: while
  // rows are added the window's thread and the processor go to the list first.
  std::vector<std::pair<int64_t, std::string>> scans_later_;
  std::string settings_path_;  // empty: nothing is remembered
  // Client size and control rectangles (in their parents) at start; empty while being created.
  SIZE base_client_ = {0, 0};
  std::map<ControlId, RECT> base_rects_;
  JobRunner runner_{*this};  // last: its job ends before the rest goes
};

}  // namespace travik::ui

#endif  // TRAVIK_UI_MAIN_WINDOW_H_
