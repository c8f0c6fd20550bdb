// The main window at any size from its size at start up: each control keeps its place at start
// and follows the extra width and height by its anchor, so the default size looks as it always
// did, and the lists, their name and location columns and the status bar take what is added.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>

#include "ui/main_window.h"
#include "ui/win_text.h"

namespace travik::ui {

DWORD MainWindow::WindowStyle() {
  return WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
}

SIZE MainWindow::DefaultOuterSize() const {
  const WindowLayout& row = MainWindowLayout();
  return {Scale(row.width), Scale(row.height)};
}

void MainWindow::RememberLayout() {
  RECT client = {};
  GetClientRect(hwnd_, &client);
  base_client_ = {client.right, client.bottom};
  for (const ControlLayout& row : Controls()) {
    if (row.id == 状态条1) continue;  // it places itself
    HWND control = Control(row.id);
    RECT rect = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    base_rects_[row.id] = rect;
  }
}

void MainWindow::OnMinMaxInfo(MINMAXINFO& info) const {
  const SIZE size = DefaultOuterSize();
  info.ptMinTrackSize = {size.cx, size.cy};
}

void MainWindow::OnSize(int width, int height) {
  if (base_rects_.empty()) return;  // still being created
  const int dx = std::max<int>(0, width - base_client_.cx);
  const int dy = std::max<int>(0, height - base_client_.cy);
  HDWP defer = BeginDeferWindowPos(static_cast<int>(base_rects_.size()));
  for (const auto& [id, base] : base_rects_) {
    const Anchor a = AnchorOf(id);
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    // A drop-down's window rectangle is its box alone: sizing it would shorten its open list.
    if (a.grow_x == 0 && a.grow_y == 0) flags |= SWP_NOSIZE;
    const int left = base.left + a.move_x * dx / 2, top = base.top + a.move_y * dy / 2;
    const int w = base.right - base.left + a.grow_x * dx / 2;
    const int h = base.bottom - base.top + a.grow_y * dy / 2;
    if (defer != nullptr) defer = DeferWindowPos(defer, Control(id), nullptr, left, top, w, h, flags);
  }
  if (defer != nullptr) EndDeferWindowPos(defer);
  for (const ControlId list : {超级列表框1, 超级列表框2, 超级列表框3}) {
    int column = 0;
    for (const ListColumnLayout& layout : ListColumns()) {
      if (layout.list != list) continue;
      int width = Scale(layout.width);
      if (column == 0) width += dx / 3;
      if (column == 1) width += dx - dx / 3;
      if (column <= 1) SendMessageW(Control(list), LVM_SETCOLUMNWIDTH, column, width);
      ++column;
    }
  }
  SendMessageW(Control(状态条1), WM_SIZE, 0, 0);
  if (!runner_.running()) FitStatusPanes(Wide(StatusPane(0)));
  // The page background is a picture of the tab control's body at its size.
  page_brush_.reset();
  page_bitmap_.reset();
  InvalidateRect(hwnd_, nullptr, TRUE);
}

}  // namespace travik::ui
