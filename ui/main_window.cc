#include "ui/main_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include "files/files.h"
#include "ui/handlers.h"
#include "ui/win_text.h"
#ifdef TRAVIK_HAVE_WIDGETS
#include "ui/widgets.h"
#endif

namespace travik::ui {

namespace {

constexpr wchar_t kWindowClass[] = L"TravikMainWindow";

// The program's icon, owned by the caller.
HICON ProgramIcon(int size) {
#ifdef TRAVIK_HAVE_WIDGETS
  return LoadTravikIcon(size);
#else
  return static_cast<HICON>(LoadImageW(nullptr, IDI_APPLICATION, IMAGE_ICON, size, size, 0));
#endif
}

// True when a press at `point` (client coordinates) on a drop-down falls on its button.
bool OnDropDownButton(HWND combo, LPARAM point) {
  COMBOBOXINFO info = {};
  info.cbSize = sizeof(info);
  if (!GetComboBoxInfo(combo, &info)) return false;
  POINT at = {GET_X_LPARAM(point), GET_Y_LPARAM(point)};
  return PtInRect(&info.rcButton, at) != FALSE;
}

// The balloon hint lets every click through to what lies under it: a click on a button it
// happens to cover reaches the button.
LRESULT CALLBACK HintProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                          DWORD_PTR) {
  if (message == WM_NCHITTEST) return HTTRANSPARENT;
  if (message == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
  if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, HintProc, id);
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

}  // namespace

MainWindow::MainWindow(DesktopCalls& desktop) : desktop_(desktop) {}

MainWindow::~MainWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool MainWindow::Create(HINSTANCE instance, bool quit_on_destroy) {
  instance_ = instance;
  quit_on_destroy_ = quit_on_destroy;
  HDC screen = GetDC(nullptr);
  dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);

  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof(window_class);
  if (!GetClassInfoExW(instance, kWindowClass, &window_class)) {
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = kWindowClass;
    // The class keeps its icons for the rest of the process.
    window_class.hIcon = ProgramIcon(GetSystemMetrics(SM_CXICON));
    window_class.hIconSm = ProgramIcon(GetSystemMetrics(SM_CXSMICON));
    if (!RegisterClassExW(&window_class)) return false;
  }
  taskbar_created_message_ = RegisterWindowMessageW(L"TaskbarCreated");

  const WindowLayout& row = MainWindowLayout();
  const SIZE size = DefaultOuterSize();
  HWND hwnd = CreateWindowExW(0, kWindowClass, Wide(row.caption).c_str(), WindowStyle(),
                              Scale(row.left), Scale(row.top), size.cx, size.cy, nullptr,
                              BuildMenuBar(), instance, this);
  if (hwnd == nullptr) return false;
  RememberLayout();
  return true;
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  MainWindow* self = nullptr;
  if (message == WM_NCCREATE) {
    self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (self == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  LRESULT result = self->HandleMessage(message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->controls_.clear();
    self->hint_.release();  // an owned window: the system destroyed it first
  }
  return result;
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate() ? 0 : -1;
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lparam));
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return OnControlColor(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam), message,
                            wparam, lparam);
    case WM_THEMECHANGED:
    case WM_SYSCOLORCHANGE:
      page_brush_.reset();
      page_bitmap_.reset();
      InvalidateRect(hwnd_, nullptr, TRUE);
      break;
    case WM_INITMENUPOPUP:
      // The menu bar's "菜单" acts on the shown page's list: its items that cannot, greyed.
      if (HIWORD(lparam) == FALSE) {
        EnableListMenu(*this, reinterpret_cast<HMENU>(wparam), CurrentList());
      }
      break;
    case WM_TIMER:
      if (wparam == kHintTimer) HideHint();
      return 0;
    case kTrayMessage:
      OnTrayMessage(LOWORD(lparam));
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case kJobCallMessage:
      runner_.OnCall(lparam);
      return 0;
    case kJobProgressMessage:
      runner_.OnProgress(static_cast<int>(wparam));
      return 0;
    case kJobDoneMessage:
      runner_.OnDone();
      return 0;
    case kEncodingsMessage:
      OnEncodingsRecognised();
      return 0;
    case WM_SIZE:
      if (wparam != SIZE_MINIMIZED) OnSize(LOWORD(lparam), HIWORD(lparam));
      break;
    case WM_GETMINMAXINFO:
      if (hwnd_ != nullptr) OnMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lparam));
      return 0;
    case kAddRowsMessage:
      if (!row_queue_.empty()) AddQueuedRows(false);
      return 0;
    case WM_DROPFILES:
      OnDropFiles(wparam);
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (drag_list_ != kNoControl) {
        POINT at = {static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
        EndDrag(at, message == WM_LBUTTONUP);
        return 0;
      }
      break;
    default:
      break;
  }
  if (message == taskbar_created_message_ && message != 0) {
    tray_.Restore();
    return 0;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

bool MainWindow::OnCreate() {
  scanner_.SetWindow(hwnd_, kEncodingsMessage);
  CreateFonts();
  for (const ControlLayout& row : Controls()) {
    HWND control = CreateControl(row);
    if (control == nullptr) return false;
    controls_[row.id] = control;
    SetUpControl(row, control);
  }
  SetZOrder();

  hint_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                              WS_POPUP | TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                              instance_, nullptr));
  TTTOOLINFOW tool = {};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
  tool.hwnd = hwnd_;
  tool.uId = kHintToolId;
  tool.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(hint_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(hint_.get(), TTM_SETMAXTIPWIDTH, 0, Scale(320));
  SetWindowSubclass(hint_.get(), HintProc, 0, 0);
  // A layered window that is transparent is passed over when the system looks for the window
  // under the mouse (Wine looks no further than the top-level window it finds, whatever
  // WM_NCHITTEST answers): the click goes to the control under the balloon.
  SetWindowLongPtrW(hint_.get(), GWL_EXSTYLE,
                    GetWindowLongPtrW(hint_.get(), GWL_EXSTYLE) | WS_EX_LAYERED | WS_EX_TRANSPARENT);
  SetLayeredWindowAttributes(hint_.get(), 0, 255, LWA_ALPHA);

  OnMainWindowCreated();
  // Files and folders dropped from Explorer anywhere on the window go to the page's list.
  DragAcceptFiles(hwnd_, TRUE);
  return true;
}

void MainWindow::OnMainWindowCreated() {
  SetButtonIcons();
#ifdef TRAVIK_HAVE_WIDGETS
  SetupIconButtons(hwnd_);
#endif
  RefreshStatusBar(*this);
  progress_bar_ = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | PBS_SMOOTH, 0, 0, 0, 0,
                                  Control(状态条1), nullptr, instance_, nullptr);
  ScopedIcon tray_icon(ProgramIcon(GetSystemMetrics(SM_CXSMICON)));
  tray_.Show(hwnd_, kTrayMessage, tray_icon.get(), "Travik");
  icons_.push_back(std::move(tray_icon));
}

LRESULT CALLBACK MainWindow::ControlProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                         UINT_PTR id, DWORD_PTR self) {
  return reinterpret_cast<MainWindow*>(self)->HandleControlMessage(static_cast<ControlId>(id), hwnd,
                                                                   message, wparam, lparam);
}

LRESULT MainWindow::HandleControlMessage(ControlId id, HWND control, UINT message, WPARAM wparam,
                                         LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
      // What the pages' controls tell their parent, the tab control, is for the main window.
      if (id == 选择夹1) {
        HWND from = message == WM_NOTIFY ? reinterpret_cast<const NMHDR*>(lparam)->hwndFrom
                                         : reinterpret_cast<HWND>(lparam);
        if (IdOf(from) != kNoControl) return SendMessageW(hwnd_, message, wparam, lparam);
      }
      break;
    case WM_CHAR:
      if ((LayoutOf(id).state & (kInt64Entry | kInt32Entry)) &&
          !AcceptsNumberChar(static_cast<wchar_t>(wparam))) {
        return 0;
      }
      break;
    case WM_LBUTTONDOWN: {
      LRESULT result = DefSubclassProc(control, message, wparam, lparam);
      if (id == 状态条1) {
        OpenSaveFolder(*this);
      } else if (LayoutOf(id).kind == ControlKind::kEditBox ||
                 (LayoutOf(id).kind == ControlKind::kComboBox && !OnDropDownButton(control, lparam))) {
        OnEditMouseDown(*this, id);
      }
      return result;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(control, ControlProc, id);
      break;
    default:
      break;
  }
  return DefSubclassProc(control, message, wparam, lparam);
}

void MainWindow::OnCommand(int id, int code) {
  if (id >= kMenuAdd && code == 0) {
    OnMenuCommand(*this, id);
    return;
  }
  // Esc stops a running job.
  if (id == IDCANCEL && runner_.running()) {
    runner_.RequestStop();
    return;
  }
  ControlId control = static_cast<ControlId>(id);
  if (Control(control) == nullptr) return;  // IDOK and IDCANCEL from the dialog keys
  // An owner-drawn (icon) button reports a quick second click as a double click.
  // A start button's is not: its second half would stop the job the first started, or start
  // again the job the first stopped.
  const bool owner_drawn =
      (GetWindowLongPtrW(Control(control), GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW;
  const bool start_button = control == 按钮5 || control == 按钮2 || control == 按钮4;
  if (code == BN_CLICKED || (code == BN_DOUBLECLICKED && owner_drawn && !start_button)) {
    OnControlClicked(*this, control);
  }
  if (code == EN_SETFOCUS && (control == 编辑框8 || control == 编辑框9)) {
    SelectInsertPlace(*this, control);  // also when reached with Tab
  }
  if (code == EN_KILLFOCUS && (LayoutOf(control).state & (kInt64Entry | kInt32Entry))) {
    NormaliseNumberBox(*this, control);
  }
  if (LayoutOf(control).kind == ControlKind::kComboBox &&
      (code == CBN_DROPDOWN || code == CBN_SELCHANGE)) {
    OnKeywordListUsed(*this);
  }
}

LRESULT MainWindow::OnNotify(const NMHDR& header) {
  ControlId id = static_cast<ControlId>(header.idFrom);
  if (id == 选择夹1 && header.code == TCN_SELCHANGE) {
    ShowPage(CurrentPage());
    return 0;
  }
  if (header.code == NM_RCLICK && LayoutOf(id).kind == ControlKind::kListView) {
    ShowListMenu(*this, id);
    return 0;
  }
  if (header.code == LVN_KEYDOWN && LayoutOf(id).kind == ControlKind::kListView) {
    const WORD key = reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey;
    if (key == VK_DELETE) {
      OnMenuCommand(*this, kMenuDelete);
    } else if (key == 'A' && GetKeyState(VK_CONTROL) < 0) {
      SelectAllRows(*this, id);
    }
    return 0;
  }
  if (header.code == LVN_BEGINDRAG && LayoutOf(id).kind == ControlKind::kListView) {
    // The row follows the mouse until the button is released over its new place.
    drag_list_ = id;
    drag_row_ = reinterpret_cast<const NMLISTVIEW&>(header).iItem;
    SetCapture(hwnd_);
    return 0;
  }
  return DefWindowProcW(hwnd_, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

void MainWindow::OnTrayMessage(UINT event) {
  if (event == WM_LBUTTONDBLCLK) {
    Restore();
  } else if (event == WM_CONTEXTMENU || (event == WM_RBUTTONUP && !tray_.version4())) {
    PopTrayMenu();
  }
}

void MainWindow::PopTrayMenu() {
  // The documented order: the owner must be in the foreground, or the menu does not close when
  // the user clicks elsewhere; the empty message afterwards lets it finish closing.
  SetForegroundWindow(hwnd_);
  POINT cursor = {};
  GetCursorPos(&cursor);
  int command;
  {
    ScopedMenu menu = BuildPopupMenu(MenuName::k托盘菜单);
    command = desktop_.TrackPopupMenu(menu.get(), TPM_RIGHTALIGN | TPM_TOPALIGN, cursor.x - 5,
                                      cursor.y - 5, hwnd_);
    PostMessageW(hwnd_, WM_NULL, 0, 0);
  }
  if (command != 0) OnMenuCommand(*this, command);
}

void MainWindow::Restore() {
  if (!IsWindowVisible(hwnd_)) return;
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  SetForegroundWindow(hwnd_);
}

void MainWindow::EndDrag(POINT at_client, bool drop) {
  const ControlId list = drag_list_;
  drag_list_ = kNoControl;
  if (GetCapture() == hwnd_) ReleaseCapture();
  if (!drop || drag_row_ < 0) return;
  HWND view = Control(list);
  MapWindowPoints(hwnd_, view, &at_client, 1);
  LVHITTESTINFO hit = {};
  hit.pt = at_client;
  int to = static_cast<int>(SendMessageW(view, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  const int rows = RowCount(list);
  if (to < 0) {
    // Above the first row: to the start; anywhere else (below the last row): to the end.
    RECT first = {};
    first.left = LVIR_BOUNDS;
    SendMessageW(view, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
    to = at_client.y < first.top ? 0 : rows - 1;
  }
  if (to != drag_row_ && drag_row_ < rows) MoveRow(list, drag_row_, to);
}

void MainWindow::OnClose() {
  if (!runner_.running()) {
    DestroyWindow(hwnd_);
    return;
  }
  // A job runs: stop it first, at its next safe point, if the person wants that.
  if (desktop_.AskYesNo(hwnd_, "任务还在进行。停止任务并退出吗？\r\n（已完整写入的文件会保留）",
                        "提示")) {
    // The job may have ended while the question was up: then there is nothing to wait for.
    if (!runner_.running()) {
      DestroyWindow(hwnd_);
      return;
    }
    runner_.RequestStop();
    runner_.CloseWhenDone();
  }
}

Settings MainWindow::UseSettings(const std::string& path) {
  settings_path_ = path;
  Settings settings = Settings::Load(path);
  ApplySettings(*this, settings);
  return settings;
}

void MainWindow::OnDestroy() {
  row_queue_.clear();
  // A settings file that cannot be written costs the next start its remembered state, nothing
  // more: closing goes on.
  if (!settings_path_.empty()) CollectSettings(*this).Save(settings_path_);
  runner_.StopAndWait();
  scanner_.Stop();
  row_encodings_.clear();
  HideHint();
  CloseAllFiles();
  tray_.Hide();
  if (quit_on_destroy_) PostQuitMessage(0);
}

}  // namespace travik::ui
