// Building the main window from the layout tables: fonts, controls, z-order, menus, and the
// page background that labels and frames take.
#include <windows.h>
// The common controls need the types of windows.h.
#include <commctrl.h>
#include <imm.h>

#include "ui/keyword_box.h"
#include "ui/main_window.h"
#include "ui/win_text.h"
#ifdef TRAVIK_HAVE_WIDGETS
#include "ui/widgets.h"
#endif

namespace travik::ui {

namespace {

// The eight icon buttons and their numbers in the widgets' icon set.
constexpr struct {
  ControlId id;
  int number;
} kIconButtons[] = {{按钮1, 1}, {按钮2, 2}, {按钮3, 3}, {按钮4, 4},
                    {按钮5, 5}, {按钮6, 6}, {按钮7, 7}, {按钮8, 8}};

struct ControlClass {
  const wchar_t* name;
  DWORD style;
  DWORD ex_style;
};

ControlClass ClassOf(const ControlLayout& row) {
  switch (row.kind) {
    case ControlKind::kTabControl:
      // The pages' controls are its children; Tab and the arrow keys reach into it.
      return {WC_TABCONTROLW, WS_TABSTOP | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT};
    case ControlKind::kTransparentLabel:
      return {WC_STATICW, SS_LEFTNOWORDWRAP | SS_NOPREFIX, WS_EX_TRANSPARENT};
    case ControlKind::kStatusBar:
      return {STATUSCLASSNAMEW, SBT_TOOLTIPS, 0};
    case ControlKind::kGroupBox:
      // A frame paints only its border and title: the page is painted through it.
      return {WC_BUTTONW, BS_GROUPBOX, WS_EX_TRANSPARENT};
    case ControlKind::kListView:
      return {WC_LISTVIEWW, LVS_REPORT | LVS_SHOWSELALWAYS | WS_TABSTOP,
              WS_EX_CLIENTEDGE};
    case ControlKind::kRadioButton:
      return {WC_BUTTONW, BS_AUTORADIOBUTTON | WS_TABSTOP, 0};
    case ControlKind::kEditBox:
      return {WC_EDITW, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case ControlKind::kComboBox:
      return {WC_COMBOBOXW, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 0};
    case ControlKind::kPushButton:
      return {WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0};
    case ControlKind::kLabel:
      // A caption a little wider than its label is cut, never wrapped onto a hidden line.
      return {WC_STATICW, SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0};
    case ControlKind::kCheckBox:
      return {WC_BUTTONW, BS_AUTOCHECKBOX | WS_TABSTOP, 0};
    case ControlKind::kIconButton:
      return {WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0};
  }
  return {WC_STATICW, 0, 0};
}

// The radio button of the same group that comes before `row` in the table, or kNoControl.
ControlId PreviousInRadioGroup(const ControlLayout& row) {
  ControlId previous = kNoControl;
  for (const ControlLayout& other : Controls()) {
    if (other.id == row.id) break;
    if (row.radio_group != kNoRadioGroup && other.radio_group == row.radio_group) {
      previous = other.id;
    }
  }
  return previous;
}

// The open list of the keyword box: its height and width at 96 dpi.
constexpr int kDropDownListHeight = 150;
constexpr int kDropDownListWidth = 170;

}  // namespace

void MainWindow::SetButtonIcons() {
#ifdef TRAVIK_HAVE_WIDGETS
  for (const auto& button : kIconButtons) {
    ScopedIcon icon(LoadButtonIcon(button.number, Scale(16)));
    if (!icon) continue;
    SendMessageW(Control(button.id), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon.get()));
    icons_.push_back(std::move(icon));  // the button shows it but does not own it
  }
#endif
}

void MainWindow::CreateFonts() {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  LOGFONTW font = metrics.lfMessageFont;
  dialog_font_.reset(CreateFontIndirectW(&font));
  font.lfHeight = -Scale(12);
  status_font_.reset(CreateFontIndirectW(&font));
  font.lfHeight = -Scale(14);
  small_font_.reset(CreateFontIndirectW(&font));
  notice_font_.reset(CreateFontW(-Scale(21), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                 GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                 DEFAULT_QUALITY, DEFAULT_PITCH, Wide("微软雅黑").c_str()));
}

HWND MainWindow::CreateControl(const ControlLayout& row) {
  ControlClass control_class = ClassOf(row);
  // Frames may draw over the edge of a member that reaches their border.
  DWORD style = WS_CHILD | control_class.style;
  if (row.kind != ControlKind::kGroupBox) style |= WS_CLIPSIBLINGS;
  bool visible = PageOf(row.id) <= 0;
  if (row.id == 透明标签1) visible = row.caption[0] != '\0';
  if (visible) style |= WS_VISIBLE;
  if (row.state & kDisabled) style |= WS_DISABLED;
  // Each radio group is one dialog group (its members follow each other, see SetZOrder), so
  // that Tab reaches its checked member and the arrow keys move within it.
  if (PreviousInRadioGroup(row) == kNoControl) style |= WS_GROUP;
  // A page is the tab control's client area, so the pages' controls are its children; a group
  // box only frames its members, which lie beside it on the page.
  HWND parent = PageOf(row.id) >= 0 ? Control(选择夹1) : hwnd_;
  RECT rect = RectInContainer(row.id);
  std::wstring caption = Wide(row.caption != nullptr ? row.caption : "");
  // A drop-down's height at creation is that of its box and its open list together.
  int height = row.height + (row.kind == ControlKind::kComboBox ? kDropDownListHeight : 0);
  return CreateWindowExW(control_class.ex_style, control_class.name, caption.c_str(), style,
                         Scale(rect.left), Scale(rect.top), Scale(row.width), Scale(height),
                         parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), instance_,
                         nullptr);
}

void MainWindow::SetUpControl(const ControlLayout& row, HWND control) {
  HFONT font = dialog_font_.get();
  if (row.font == FontRole::kNotice) font = notice_font_.get();
  if (row.font == FontRole::kStatus) font = status_font_.get();
  if (row.font == FontRole::kSmall) font = small_font_.get();
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (row.state & kChecked) SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
  if (row.state & kNoLengthLimit) SendMessageW(control, EM_SETLIMITTEXT, 0, 0);

  switch (row.kind) {
    case ControlKind::kTabControl: {
      SetWindowSubclass(control, ControlProc, row.id, reinterpret_cast<DWORD_PTR>(this));
      int index = 0;
      for (const char* page : TabPages()) {
        std::wstring text = Wide(page);
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text.data();
        SendMessageW(control, TCM_INSERTITEMW, index++, reinterpret_cast<LPARAM>(&item));
      }
      break;
    }
    case ControlKind::kListView: {
      SendMessageW(control, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                   LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP);
      int index = 0;
      for (const ListColumnLayout& column : ListColumns()) {
        if (column.list != row.id) continue;
        std::wstring title = Wide(column.title);
        LVCOLUMNW item = {};
        item.mask = LVCF_TEXT | LVCF_WIDTH;
        item.pszText = title.data();
        item.cx = Scale(column.width);
        SendMessageW(control, LVM_INSERTCOLUMNW, index++, reinterpret_cast<LPARAM>(&item));
      }
      break;
    }
    case ControlKind::kStatusBar: {
      int edges[2] = {Scale(StatusPanes()[0].width), -1};
      SendMessageW(control, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges));
      SendMessageW(control, SB_SETMINHEIGHT, Scale(row.height), 0);
      SendMessageW(control, WM_SIZE, 0, 0);
      for (int pane = 0; pane < 2; ++pane) {
        SendMessageW(control, SB_SETTEXTW, pane,
                     reinterpret_cast<LPARAM>(Wide(StatusPanes()[pane].text).c_str()));
      }
      SetWindowSubclass(control, ControlProc, row.id, reinterpret_cast<DWORD_PTR>(this));
      break;
    }
    case ControlKind::kEditBox:
      SetWindowSubclass(control, ControlProc, row.id, reinterpret_cast<DWORD_PTR>(this));
      // A numeric box takes no input method: the edit would insert a composition's result
      // itself, past the filter of typed characters.
      if (row.state & (kInt64Entry | kInt32Entry)) ImmAssociateContext(control, nullptr);
      break;
    case ControlKind::kComboBox:
      SetUpKeywordBox(row, control);
      break;
    default:
      break;
  }
}

void MainWindow::SetUpKeywordBox(const ControlLayout& row, HWND control) {
  for (const KeywordEntry& entry : KeywordEntries()) {
    SendMessageW(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entry.text).c_str()));
  }
  // The entries are wider than the box: the open list is not.
  SendMessageW(control, CB_SETDROPPEDWIDTH, Scale(kDropDownListWidth), 0);
  // The box takes the height of its row: its field height follows the font, so the field grows
  // or shrinks by what the whole box lacks.
  // How the field's height maps to the box's differs between systems (and what some report for
  // it is off): step the field by what the box lacks until the box has its height.
  int field = static_cast<int>(SendMessageW(control, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
  for (int attempt = 0; attempt < 4; ++attempt) {
    RECT rect;
    GetWindowRect(control, &rect);
    int missing = Scale(row.height) - (rect.bottom - rect.top);
    if (missing == 0 || field + missing <= 0) break;
    field += missing;
    SendMessageW(control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
  }
  // Presses in the box's edit part reach the edit, not the drop-down: both serve the box.
  SetWindowSubclass(control, ControlProc, row.id, reinterpret_cast<DWORD_PTR>(this));
  COMBOBOXINFO info = {};
  info.cbSize = sizeof(info);
  if (GetComboBoxInfo(control, &info) && info.hwndItem != nullptr) {
    SetWindowSubclass(info.hwndItem, ControlProc, row.id, reinterpret_cast<DWORD_PTR>(this));
  }
}

void MainWindow::SetZOrder() {
  // Frames lie under what they frame and the notice above the pages. The z-order is also the
  // tab order: the members of a radio group follow each other.
  constexpr UINT kFlags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  for (const ControlLayout& row : Controls()) {
    if (row.kind == ControlKind::kGroupBox) {
      SetWindowPos(Control(row.id), HWND_BOTTOM, 0, 0, 0, 0, kFlags);
    }
    ControlId previous = PreviousInRadioGroup(row);
    if (previous != kNoControl) {
      SetWindowPos(Control(row.id), Control(previous), 0, 0, 0, 0, kFlags);
    }
  }
  SetWindowPos(Control(透明标签1), HWND_TOP, 0, 0, 0, 0, kFlags);
}

HMENU MainWindow::BuildMenuBar() const {
  HMENU bar = CreateMenu();
  for (const MenuLayout& menu : Menus()) {
    if (!menu.in_menu_bar) continue;
    AppendMenuW(bar, MF_POPUP | MF_STRING,
                reinterpret_cast<UINT_PTR>(BuildPopupMenu(menu.menu).release()),
                Wide(menu.caption).c_str());
  }
  return bar;
}

ScopedMenu MainWindow::BuildPopupMenu(MenuName menu) const {
  ScopedMenu popup(CreatePopupMenu());
  for (const MenuItemLayout& item : MenuItems()) {
    if (item.menu != menu) continue;
    AppendMenuW(popup.get(), MF_STRING, item.command, Wide(item.caption).c_str());
  }
  return popup;
}

LRESULT MainWindow::OnControlColor(HDC dc, HWND control, UINT message, WPARAM wparam,
                                   LPARAM lparam) {
  ControlId id = IdOf(control);
  if (id == 透明标签1 || id == 透明标签2) {
    SetBkMode(dc, TRANSPARENT);
    if (id == 透明标签1) SetTextColor(dc, RGB(255, 0, 0));
    return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
  }
  if (id == kNoControl || PageOf(id) < 0 || LayoutOf(id).kind == ControlKind::kEditBox) {
    return DefWindowProcW(hwnd_, message, wparam, lparam);
  }
  // Labels, check boxes, radio buttons and frames on a page take the page's own background
  // (white under visual styles), aligned so that a gradient would run on under them.
  RECT tab, rect;
  GetClientRect(Control(选择夹1), &tab);
  MapWindowPoints(Control(选择夹1), nullptr, reinterpret_cast<POINT*>(&tab), 2);
  GetWindowRect(control, &rect);
  SetBrushOrgEx(dc, tab.left - rect.left, tab.top - rect.top, nullptr);
  SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<LRESULT>(PageBrush());
}

HBRUSH MainWindow::PageBrush() {
  if (page_brush_) return page_brush_.get();
  // The tab control paints its body into a bitmap, which becomes the brush.
  HWND tab = Control(选择夹1);
  RECT client;
  GetClientRect(tab, &client);
  HDC tab_dc = GetDC(tab);
  HDC memory = CreateCompatibleDC(tab_dc);
  page_bitmap_.reset(CreateCompatibleBitmap(tab_dc, client.right, client.bottom));
  HGDIOBJ old = SelectObject(memory, page_bitmap_.get());
  FillRect(memory, &client, GetSysColorBrush(COLOR_BTNFACE));
  SendMessageW(tab, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(tab, tab_dc);
  page_brush_.reset(CreatePatternBrush(page_bitmap_.get()));
  return page_brush_.get();
}

}  // namespace travik::ui
