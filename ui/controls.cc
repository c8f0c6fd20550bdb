// MainWindow's control properties: texts, check marks, enabled states, pages, status panes,
// the notice label, the list rows and the balloon hint.
#include <windows.h>

#include <algorithm>
#include <chrono>
// The common controls need the types of windows.h.
#include <commctrl.h>

#include "ui/handlers.h"
#include "ui/main_window.h"
#include "ui/win_text.h"

namespace travik::ui {

HWND MainWindow::Control(ControlId id) const {
  auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

ControlId MainWindow::IdOf(HWND control) const {
  for (const auto& [id, window] : controls_) {
    if (window == control) return id;
  }
  return kNoControl;
}

std::string MainWindow::Text(ControlId id) const { return WindowTextOf(Control(id)); }

void MainWindow::SetText(ControlId id, std::string_view text) {
  SetWindowTextOf(Control(id), text);
}

bool MainWindow::Checked(ControlId id) const {
  return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void MainWindow::SetChecked(ControlId id, bool checked) {
  SendMessageW(Control(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool MainWindow::Enabled(ControlId id) const { return IsWindowEnabled(Control(id)) != FALSE; }

void MainWindow::SetEnabled(ControlId id, bool enabled) { EnableWindow(Control(id), enabled); }

int MainWindow::CurrentPage() const {
  return static_cast<int>(SendMessageW(Control(选择夹1), TCM_GETCURSEL, 0, 0));
}

ControlId MainWindow::CurrentList() const {
  switch (CurrentPage()) {
    case 1:
      return 超级列表框2;
    case 2:
      return 超级列表框3;
    default:
      return 超级列表框1;
  }
}

void MainWindow::FitStatusPanes(const std::wstring& pane0) {
  HWND bar = Control(状态条1);
  RECT client = {};
  GetClientRect(bar, &client);
  HDC dc = GetDC(bar);
  HGDIOBJ old = SelectObject(dc, status_font_.get());
  SIZE size = {};
  GetTextExtentPoint32W(dc, pane0.c_str(), static_cast<int>(pane0.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(bar, dc);
  const int least = Scale(StatusPanes()[0].width);
  const int most = std::max<int>(least, client.right - Scale(120));
  int edges[2] = {std::clamp<int>(size.cx + Scale(12), least, most), -1};
  SendMessageW(bar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges));
}

std::string MainWindow::StatusPane(int index) const {
  HWND bar = Control(状态条1);
  int length = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, index, 0));
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  SendMessageW(bar, SB_GETTEXTW, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  return Utf8(text);
}

void MainWindow::SetStatusPane(int index, std::string_view text) {
  HWND bar = Control(状态条1);
  const std::wstring wide = Wide(text);
  // Outside a job (whose progress bar has a pane of its own) the work pane takes the room its
  // text needs, leaving the folder pane at least a little; the whole text is its tooltip.
  if (index == 0 && !runner_.running()) FitStatusPanes(wide);
  SendMessageW(bar, SB_SETTEXTW, index, reinterpret_cast<LPARAM>(wide.c_str()));
  if (index == 0) SendMessageW(bar, SB_SETTIPTEXTW, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  // A job runs inside a click handler, so no WM_PAINT would arrive before it ends.
  UpdateWindow(bar);
}

void MainWindow::SetNotice(std::string_view text) {
  HWND label = Control(透明标签1);
  // The label has no background of its own: hiding it lets the pages repaint what it covered.
  ShowWindow(label, SW_HIDE);
  SetWindowTextOf(label, text);
  if (!text.empty()) ShowWindow(label, SW_SHOWNA);
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

int MainWindow::RowCount(ControlId list) const {
  return static_cast<int>(SendMessageW(Control(list), LVM_GETITEMCOUNT, 0, 0));
}

int MainWindow::SelectedRow(ControlId list) const {
  return static_cast<int>(
      SendMessageW(Control(list), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

std::string MainWindow::Cell(ControlId list, int row, int column) const {
  std::wstring text(1024, L'\0');
  for (;;) {
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    int length = static_cast<int>(
        SendMessageW(Control(list), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)));
    if (length < static_cast<int>(text.size()) - 1) {
      text.resize(static_cast<size_t>(length));
      return Utf8(text);
    }
    text.assign(text.size() * 2, L'\0');  // a long path: ask again with more room
  }
}

int EncodingColumnOf(ControlId list) { return list == 超级列表框2 ? 2 : 3; }

void MainWindow::AppendRow(ControlId list, const FileEntry& entry) {
  HWND view = Control(list);
  std::wstring cells[3] = {Wide(entry.name), Wide(entry.path), Wide(entry.size)};
  const LPARAM key = next_row_key_++;
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = RowCount(list);
  item.pszText = cells[0].data();
  item.lParam = key;
  int row =
      static_cast<int>(SendMessageW(view, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  for (int column = 1; column < EncodingColumnOf(list); ++column) {
    LVITEMW cell = {};
    cell.iSubItem = column;
    cell.pszText = cells[column].data();
    SendMessageW(view, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&cell));
  }
  // The first row of a list starts its index: kept up to date from here, it is never built
  // again over thousands of rows when their encodings are shown.
  RowIndex& index = row_index_[list];
  if (row == 0 && RowCount(list) == 1) {
    index.rows.clear();
    index.valid = true;
  }
  if (index.valid) index.rows[key] = row;
  row_encodings_[key].choice = entry.encoding;
  ShowRowEncoding(list, row);
  if (row_queue_.empty()) {
    scanner_.Add(key, entry.path);
  } else {
    scans_later_.emplace_back(key, entry.path);
  }
}

void MainWindow::DeleteRow(ControlId list, int row) {
  row_encodings_.erase(RowKey(list, row));
  row_index_[list].valid = false;
  SendMessageW(Control(list), LVM_DELETEITEM, row, 0);
}

void MainWindow::DeleteAllRows(ControlId list) {
  for (int row = 0; row < RowCount(list); ++row) row_encodings_.erase(RowKey(list, row));
  SendMessageW(Control(list), LVM_DELETEALLITEMS, 0, 0);
  row_index_[list] = RowIndex();
}

void MainWindow::SetCell(ControlId list, int row, int column, std::string_view text) {
  std::wstring wide = Wide(text);
  LVITEMW cell = {};
  cell.iSubItem = column;
  cell.pszText = wide.data();
  SendMessageW(Control(list), LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&cell));
}

void MainWindow::ReorderRows(ControlId list, const std::vector<int>& order) {
  const int rows = RowCount(list);
  const int columns = EncodingColumnOf(list);
  row_index_[list].valid = false;
  std::vector<std::vector<std::string>> cells(static_cast<size_t>(rows));
  std::vector<LPARAM> keys(static_cast<size_t>(rows));
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) cells[row].push_back(Cell(list, row, column));
    keys[row] = RowKey(list, row);
  }
  for (int place = 0; place < rows && place < static_cast<int>(order.size()); ++place) {
    const int from = order[place];
    if (from < 0 || from >= rows) continue;
    for (int column = 0; column < columns; ++column) SetCell(list, place, column, cells[from][column]);
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = place;
    item.lParam = keys[from];
    SendMessageW(Control(list), LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    ShowRowEncoding(list, place);
  }
}

void MainWindow::MoveRow(ControlId list, int from, int to) {
  const int rows = RowCount(list);
  if (from < 0 || to < 0 || from >= rows || to >= rows) return;
  std::vector<int> order;
  for (int row = 0; row < rows; ++row) {
    if (row != from) order.push_back(row);
  }
  order.insert(order.begin() + to, from);
  ReorderRows(list, order);
  HWND view = Control(list);
  LVITEMW state = {};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(view, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(view, LVM_SETITEMSTATE, to, reinterpret_cast<LPARAM>(&state));
  SendMessageW(view, LVM_ENSUREVISIBLE, to, FALSE);
}

std::vector<FileEntry> MainWindow::Rows(ControlId list) const {
  std::vector<FileEntry> rows;
  int count = RowCount(list);
  bool has_size = list != 超级列表框2;
  for (int row = 0; row < count; ++row) {
    rows.push_back({Cell(list, row, 0), Cell(list, row, 1), has_size ? Cell(list, row, 2) : "",
                    RowEncoding(list, row)});
  }
  return rows;
}

std::vector<int> MainWindow::SelectedRows(ControlId list) const {
  std::vector<int> rows;
  int row = -1;
  while ((row = static_cast<int>(SendMessageW(Control(list), LVM_GETNEXTITEM,
                                              static_cast<WPARAM>(row), LVNI_SELECTED))) >= 0) {
    rows.push_back(row);
  }
  return rows;
}

LPARAM MainWindow::RowKey(ControlId list, int row) const {
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!SendMessageW(Control(list), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return 0;
  return item.lParam;
}

EncodingChoice MainWindow::RowEncoding(ControlId list, int row) const {
  auto found = row_encodings_.find(RowKey(list, row));
  return found == row_encodings_.end() ? EncodingChoice::kAuto : found->second.choice;
}

void MainWindow::SetRowEncoding(ControlId list, int row, EncodingChoice choice) {
  auto found = row_encodings_.find(RowKey(list, row));
  if (found == row_encodings_.end()) return;
  found->second.choice = choice;
  ShowRowEncoding(list, row);
}

void MainWindow::ShowRowEncoding(ControlId list, int row) {
  auto found = row_encodings_.find(RowKey(list, row));
  if (found == row_encodings_.end()) return;
  SetCell(list, row, EncodingColumnOf(list),
          EncodingCellText(found->second.choice, found->second.recognised));
}

int MainWindow::RowOfKey(ControlId list, LPARAM key) {
  RowIndex& index = row_index_[list];
  if (!index.valid) {
    index.rows.clear();
    for (int row = 0; row < RowCount(list); ++row) index.rows[RowKey(list, row)] = row;
    index.valid = true;
  }
  auto found = index.rows.find(key);
  return found == index.rows.end() ? -1 : found->second;
}

void MainWindow::OnEncodingsRecognised() {
  for (EncodingScanner::Answer& answer : scanner_.TakeAnswers()) {
    pending_answers_.push_back(std::move(answer));
  }
  // Thousands of answers at once are shown a slice at a time, one repaint per slice, so that
  // the window keeps answering while a long list's column fills.
  using Clock = std::chrono::steady_clock;
  const Clock::time_point until = Clock::now() + std::chrono::milliseconds(kAddRowsBatchMilliseconds);
  if (!row_queue_.empty()) return;  // shown once the list is complete
  for (ControlId list : {超级列表框1, 超级列表框2, 超级列表框3}) {
    SendMessageW(Control(list), WM_SETREDRAW, FALSE, 0);
  }
  size_t taken = 0;
  for (; taken < pending_answers_.size() && Clock::now() < until; ++taken) {
    EncodingScanner::Answer& answer = pending_answers_[taken];
    auto found = row_encodings_.find(static_cast<LPARAM>(answer.id));
    if (found == row_encodings_.end()) continue;  // its row was deleted meanwhile
    found->second.recognised = std::move(answer.text);
    for (ControlId list : {超级列表框1, 超级列表框2, 超级列表框3}) {
      const int row = RowOfKey(list, found->first);
      if (row >= 0) ShowRowEncoding(list, row);
    }
  }
  pending_answers_.erase(pending_answers_.begin(), pending_answers_.begin() + taken);
  for (ControlId list : {超级列表框1, 超级列表框2, 超级列表框3}) {
    SendMessageW(Control(list), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(Control(list), nullptr, FALSE);
  }
  if (!pending_answers_.empty()) PostMessageW(hwnd_, kEncodingsMessage, 0, 0);
}

void MainWindow::ShowPage(int page) {
  HWND tab = Control(选择夹1);
  if (CurrentPage() != page) SendMessageW(tab, TCM_SETCURSEL, page, 0);
  for (const ControlLayout& row : Controls()) {
    int on = PageOf(row.id);
    if (on >= 0) ShowWindow(Control(row.id), on == page ? SW_SHOWNA : SW_HIDE);
  }
  RefreshStatusBar(*this);
}

void MainWindow::ShowHint(std::string_view text) {
  std::wstring wide = Wide(text);
  TTTOOLINFOW tool = {};
  tool.cbSize = sizeof(tool);
  tool.hwnd = hwnd_;
  tool.uId = kHintToolId;
  tool.lpszText = wide.data();
  SendMessageW(hint_.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  POINT cursor = {};
  GetCursorPos(&cursor);
  SendMessageW(hint_.get(), TTM_TRACKPOSITION, 0, MAKELPARAM(cursor.x, cursor.y));
  SendMessageW(hint_.get(), TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
  SetTimer(hwnd_, kHintTimer, kHintMilliseconds, nullptr);
}

void MainWindow::HideHint() {
  if (!hint_) return;
  TTTOOLINFOW tool = {};
  tool.cbSize = sizeof(tool);
  tool.hwnd = hwnd_;
  tool.uId = kHintToolId;
  SendMessageW(hint_.get(), TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
  KillTimer(hwnd_, kHintTimer);
}

}  // namespace travik::ui
