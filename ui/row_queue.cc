// Files reaching a list in numbers (a dialog's thousands, a dropped folder): added in short
// batches between the window's other messages, so that it answers while a long list fills.
#include <windows.h>
// After windows.h, whose types it needs.
#include <shellapi.h>
#include <commctrl.h>

#include <chrono>

#include "files/file_entry.h"
#include "files/files.h"
#include "files/natural_order.h"
#include "ui/handlers.h"
#include "ui/main_window.h"
#include "ui/win_text.h"

namespace travik::ui {

namespace {

FileEntry EntryFor(ControlId list, const std::string& path) {
  switch (list) {
    case 超级列表框2:
      return MakeMergeEntry(path);
    case 超级列表框3:
      return MakeInsertEntry(path);
    default:
      return MakeSplitEntry(path);
  }
}

}  // namespace

void MainWindow::QueueRows(ControlId list, std::vector<std::string> paths,
                           std::function<void()> done) {
  if (paths.empty()) return;
  const bool idle = row_queue_.empty();
  row_queue_.push_back({list, std::move(paths), 0, std::move(done)});
  // The first batch at once: a few files are in the list when the call returns.
  if (idle) AddQueuedRows(false);
}

void MainWindow::FinishAddingRows() {
  if (!row_queue_.empty()) AddQueuedRows(true);
}

void MainWindow::AddQueuedRows(bool all) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point until = Clock::now() + std::chrono::milliseconds(kAddRowsBatchMilliseconds);
  while (!row_queue_.empty()) {
    QueuedRows& queued = row_queue_.front();
    HWND view = Control(queued.list);
    // One repaint for the batch, not one per row; room for all the rows at once.
    SendMessageW(view, WM_SETREDRAW, FALSE, 0);
    if (queued.next == 0) {
      SendMessageW(view, LVM_SETITEMCOUNT, RowCount(queued.list) + queued.paths.size(), 0);
    }
    while (queued.next < queued.paths.size() && (all || Clock::now() < until)) {
      AppendRow(queued.list, EntryFor(queued.list, queued.paths[queued.next++]));
    }
    SendMessageW(view, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(view, nullptr, FALSE);
    if (queued.next < queued.paths.size()) break;
    std::function<void()> done = std::move(queued.done);
    row_queue_.erase(row_queue_.begin());
    if (done) done();
  }
  RefreshStatusBar(*this);
  if (!row_queue_.empty()) {
    PostMessageW(hwnd_, kAddRowsMessage, 0, 0);
    return;
  }
  // The list is complete: its files are read for the encoding column now, and the answers that
  // came meanwhile are shown.
  // Held while they are handed over, the worker takes no lock between them (under Wine a
  // contended lock is a call to the server, two thousand of them a tenth of a second). A job's
  // pause already holds it.
  const bool hold = !runner_.running();
  if (hold) scanner_.Pause();
  for (auto& [key, path] : scans_later_) scanner_.Add(key, std::move(path));
  scans_later_.clear();
  if (hold) scanner_.Resume();
  if (!pending_answers_.empty()) PostMessageW(hwnd_, kEncodingsMessage, 0, 0);
}

void MainWindow::OnDropFiles(WPARAM wparam) {
  HDROP drop = reinterpret_cast<HDROP>(wparam);
  std::vector<std::string> files, folders;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    DragQueryFileW(drop, i, path.data(), length + 1);
    path.resize(length);
    std::string utf8 = Utf8(path);
    (FolderExists(utf8) ? folders : files).push_back(std::move(utf8));
  }
  DragFinish(drop);
  const int page = CurrentPage();
  // The list of a running job stays as the job read it.
  if (runner_.page() == page) return;
  AddDroppedPaths(*this, CurrentList(), std::move(files), folders);
}

}  // namespace travik::ui
