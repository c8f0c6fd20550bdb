#include "ui/chapter_preview.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "text/codepage.h"
#include "text/encoding.h"
#include "files/file_entry.h"
#include "files/files.h"
#include "text/pattern.h"
#include "text/text.h"
#include "ui/handlers.h"
#include "ui/main_window.h"
#include "ui/win_text.h"

namespace travik::ui {

namespace {

constexpr wchar_t kPreviewClass[] = L"TravikChapterPreview";
ChapterPreview* g_current = nullptr;
bool g_reached_window = false;  // the window being created got as far as WM_NCCREATE

// Column titles and widths at 96 dpi, in PreviewColumn order.
constexpr struct {
  const char* title;
  int width;
  int format;
} kColumns[] = {{"序号", 40, LVCFMT_RIGHT},
                {"章节号", 52, LVCFMT_RIGHT},
                {"标题", 190, LVCFMT_LEFT},
                {"大小", 150, LVCFMT_RIGHT},
                {"提示", 200, LVCFMT_LEFT}};  // 提示 takes the rest of the width
// The size's text lies right of its bar, in this many pixels at 96 dpi.
constexpr int kSizeTextWidth = 58;

// How far the context box reaches from a heading's line, at most.
constexpr size_t kMaxBytesBefore = 4096;
constexpr size_t kMaxBytesAfter = 8192;
constexpr int kLinesBefore = 3;
constexpr int kLinesAfter = 12;

constexpr COLORREF kBar = RGB(150, 190, 240);
constexpr COLORREF kWarningBar = RGB(235, 150, 140);

// A line break before every lone "\n", as the edit control wants.
std::string WithCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

// Esc in any of the preview's controls closes it, as it would a dialog (the preview is a window
// of its own, which no dialog loop serves).
LRESULT CALLBACK EscapeClosesProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                  UINT_PTR id, DWORD_PTR preview) {
  if (message == WM_KEYDOWN && wparam == VK_ESCAPE) {
    PostMessageW(reinterpret_cast<HWND>(preview), WM_CLOSE, 0, 0);
    return 0;
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, EscapeClosesProc, id);
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

std::string HeadingNumberText(const chapters::Heading& heading) {
  std::string number = heading.number ? std::to_string(*heading.number) : "-";
  return heading.kind == chapters::HeadingKind::kVolume ? "卷" + number : number;
}

}  // namespace

std::string PieceSizeText(int64_t bytes) {
  if (bytes < 1024) return JoinText(NumberToText(static_cast<int>(bytes)), " 字节");
  char text[32];
  std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1024.0);
  return text;
}

std::string TextAroundHeading(std::string_view text, size_t offset, int before, int after,
                              size_t* heading_at, Encoding encoding) {
  // "\n" is never the second byte of a double-byte character, so lines can be found backwards.
  offset = std::min(offset, text.size());
  size_t line_start = offset;
  while (line_start > 0 && text[line_start - 1] != '\n') --line_start;

  const size_t floor = line_start > kMaxBytesBefore ? line_start - kMaxBytesBefore : 0;
  size_t start = line_start;
  for (int i = 0; i < before && start > 0; ++i) {
    size_t p = start - 1;  // on the "\n" that ends the line above
    while (p > floor && text[p - 1] != '\n') --p;
    if (p > 0 && text[p - 1] != '\n') break;  // that line reaches past the limit: left out
    start = p;
  }

  size_t end = line_start;
  for (int i = 0; i <= after && end < text.size(); ++i) {
    size_t next = text.find('\n', end);
    end = next == std::string_view::npos ? text.size() : next + 1;
  }
  if (end - line_start > kMaxBytesAfter) {
    // A line start is a character boundary: step characters from there up to the limit.
    size_t p = line_start;
    while (p < line_start + kMaxBytesAfter) {
      if (encoding == Encoding::kGbk) {
        p += static_cast<unsigned char>(text[p]) >= 0x81 && p + 1 < text.size() ? 2 : 1;
      } else {
        p += CharLength(encoding, text.data() + p, text.data() + text.size());
      }
    }
    end = std::min(p, text.size());
  }
  std::string head = WithCrLf(text.substr(start, line_start - start));
  if (heading_at != nullptr) *heading_at = head.size();
  return head + WithCrLf(text.substr(line_start, end - line_start));
}

ChapterPreview* ChapterPreview::Current() { return g_current; }

ChapterPreview* ChapterPreview::Open(MainWindow& window) {
  if (g_current != nullptr) DestroyWindow(g_current->hwnd());
  auto say = [&window](const std::string& text) {
    window.desktop().ShowMessageBox(window.hwnd(), text, "提示");
  };
  if (window.RowCount(超级列表框1) == 0) {
    say("请先添加欲分割的文件！");
    return nullptr;
  }
  int row = std::max(window.SelectedRow(超级列表框1), 0);
  std::string path = window.Cell(超级列表框1, row, 1);

  KeywordChoice choice = KeywordChoiceOf(window.Text(编辑框3));
  chapters::FinderOptions options;
  options.presets = choice.presets;
  options.pattern = choice.keyword;
  options.form = choice.form;
  if (!options.pattern.empty()) {
    Pattern pattern;
    if (!RegexCompile(&pattern, options.pattern)) {
      say(JoinText(kInvalidPatternMessage, pattern.error()));
      return nullptr;
    }
  }
  // The text as the split reads it, in the encoding the row's choice gives it, so that the cuts
  // shown are the cuts made.
  options.choice = window.RowEncoding(超级列表框1, row);
  SourceText source = LoadSourceText(path, {}, options.choice);
  if (!source.ok) {
    say(JoinText(path, "：", source.error));
    return nullptr;
  }
  options.encoding = source.encoding;
  chapters::ChapterList list = chapters::FindChapters(source.text, options);
  auto* preview = new ChapterPreview(window, path, std::move(source.text), source.encoding,
                                     std::move(choice), std::move(list));
  // From WM_NCCREATE on the window owns the preview and deletes it with WM_NCDESTROY.
  g_reached_window = false;
  if (!preview->Create() && !g_reached_window) delete preview;
  return g_current;
}

ChapterPreview::ChapterPreview(MainWindow& window, std::string path, SourceBytes text,
                               Encoding encoding, KeywordChoice choice, chapters::ChapterList list)
    : window_(window),
      path_(std::move(path)),
      text_(std::move(text)),
      encoding_(encoding),
      choice_(std::move(choice)),
      list_(std::move(list)) {
  forms_ = list_.forms;
  if (forms_.empty() && (choice_.presets != 0 || !choice_.keyword.empty())) {
    // Named presets and patterns weigh no forms: the forms the automatic choice would offer.
    chapters::FinderOptions automatic;
    automatic.encoding = encoding_;
    forms_ = chapters::FindChapters(text_, automatic).forms;
    for (chapters::FoundForm& form : forms_) form.chosen = false;
  }
  OfferForms(window_, forms_);
}

void OfferForms(MainWindow& window, const std::vector<chapters::FoundForm>& forms) {
  HWND box = window.Control(编辑框3);
  const std::string typed = window.Text(编辑框3);
  for (int i = static_cast<int>(SendMessageW(box, CB_GETCOUNT, 0, 0)) - 1; i >= 0; --i) {
    const int length = static_cast<int>(SendMessageW(box, CB_GETLBTEXTLEN, i, 0));
    if (length <= 0) continue;
    std::wstring entry(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry.data()));
    entry.resize(static_cast<size_t>(length));
    if (IsFormEntry(Utf8(entry))) SendMessageW(box, CB_DELETESTRING, i, 0);
  }
  int at = static_cast<int>(KeywordEntries().size());
  for (const chapters::FoundForm& form : forms) {
    SendMessageW(box, CB_INSERTSTRING, at++,
                 reinterpret_cast<LPARAM>(Wide(FormEntryText(form)).c_str()));
  }
  // Deleting the entry shown may empty the box: what it said stays.
  if (window.Text(编辑框3) != typed) window.SetText(编辑框3, typed);
}

int ChapterPreview::Scale(int pixels) const { return window_.Scale(pixels); }

bool ChapterPreview::Create() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof(window_class);
  if (!GetClassInfoExW(instance, kPreviewClass, &window_class)) {
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = kPreviewClass;
    if (!RegisterClassExW(&window_class)) return false;
  }
  RECT main;
  GetWindowRect(window_.hwnd(), &main);
  std::wstring caption = Wide(JoinText("章节预览 - ", FileNamePart(path_)));
  // Owned by the main window: it stays above it and goes when it goes.
  HWND hwnd = CreateWindowExW(0, kPreviewClass, caption.c_str(),
                              WS_OVERLAPPEDWINDOW & ~WS_MINIMIZEBOX, main.left + Scale(24),
                              main.top + Scale(24), Scale(720), Scale(600), window_.hwnd(),
                              nullptr, instance, this);
  if (hwnd == nullptr) return false;
  ShowWindow(hwnd, SW_SHOWNORMAL);
  return true;
}

LRESULT CALLBACK ChapterPreview::WindowProc(HWND hwnd, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
  ChapterPreview* self = nullptr;
  if (message == WM_NCCREATE) {
    self = static_cast<ChapterPreview*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->hwnd_ = hwnd;
    g_current = self;
    g_reached_window = true;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<ChapterPreview*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (self == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  LRESULT result = self->HandleMessage(message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    if (g_current == self) g_current = nullptr;
    delete self;
  }
  return result;
}

LRESULT ChapterPreview::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: {
      HFONT font = reinterpret_cast<HFONT>(SendMessageW(window_.Control(编辑框1), WM_GETFONT, 0, 0));
      auto make = [&](const wchar_t* window_class, DWORD style, DWORD ex_style, int id) {
        HWND control = CreateWindowExW(ex_style, window_class, L"", WS_CHILD | WS_VISIBLE | style, 0,
                                       0, 0, 0, hwnd_, reinterpret_cast<HMENU>(INT_PTR{id}),
                                       GetModuleHandleW(nullptr), nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SetWindowSubclass(control, EscapeClosesProc, 0, reinterpret_cast<DWORD_PTR>(hwnd_));
        return control;
      };
      make(WC_STATICW, SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, kPreviewSummary);
      make(WC_STATICW, SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_ENDELLIPSIS, 0, kPreviewRule);
      HWND list = make(WC_LISTVIEWW,
                       LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_OWNERDATA | WS_TABSTOP,
                       WS_EX_CLIENTEDGE, kPreviewList);
      make(WC_EDITW,
           ES_MULTILINE | ES_READONLY | ES_NOHIDESEL | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP,
           WS_EX_CLIENTEDGE, kPreviewContext);
      make(WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0, kPreviewSplit);
      make(WC_LISTBOXW, LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP,
           WS_EX_CLIENTEDGE, kPreviewForms);
      FillForms();
      SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                   LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP);
      int index = 0;
      for (const auto& column : kColumns) {
        std::wstring title = Wide(column.title);
        LVCOLUMNW item = {};
        item.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        item.pszText = title.data();
        item.cx = Scale(column.width);
        item.fmt = column.format;
        SendMessageW(list, LVM_INSERTCOLUMNW, index++, reinterpret_cast<LPARAM>(&item));
      }
      FillRows();
      SendMessageW(list, LVM_SETITEMCOUNT, rows_.size(), 0);
      SetWindowTextOf(Control(kPreviewSplit), "按此分割");
      EnableWindow(Control(kPreviewSplit), !list_.headings.empty());
      SetWindowTextOf(Control(kPreviewContext), "双击一行，在这里查看标题前后的文字。");
      return 0;
    }
    case WM_SIZE:
      Arrange();
      return 0;
    case WM_KEYDOWN:
      if (wparam == VK_ESCAPE) {
        PostMessageW(hwnd_, WM_CLOSE, 0, 0);
        return 0;
      }
      break;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
      info->ptMinTrackSize = {Scale(420), Scale(440)};
      return 0;
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == kPreviewSplit && HIWORD(wparam) == BN_CLICKED) StartSplit();
      if (LOWORD(wparam) == kPreviewForms && HIWORD(wparam) == LBN_SELCHANGE) {
        PickForm(static_cast<int>(SendMessageW(Control(kPreviewForms), LB_GETCURSEL, 0, 0)));
      }
      return 0;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lparam);
      if (header->idFrom != kPreviewList) break;
      if (header->code == NM_CUSTOMDRAW) {
        return OnCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(lparam));
      }
      if (header->code == LVN_GETDISPINFOW) {
        LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(lparam)->item;
        if ((item.mask & LVIF_TEXT) && item.iItem >= 0 &&
            item.iItem < static_cast<int>(rows_.size()) && item.iSubItem >= 0 &&
            item.iSubItem < 5 && item.cchTextMax > 0) {
          const std::wstring& cell = rows_[item.iItem][item.iSubItem];
          size_t length = std::min(cell.size(), static_cast<size_t>(item.cchTextMax - 1));
          cell.copy(item.pszText, length);
          item.pszText[length] = L'\0';
        }
        return 0;
      }
      if (header->code == NM_DBLCLK) {
        ShowContext(reinterpret_cast<NMITEMACTIVATE*>(lparam)->iItem);
        return 0;
      }
      break;
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

void ChapterPreview::FillForms() {
  HWND box = Control(kPreviewForms);
  SendMessageW(box, LB_RESETCONTENT, 0, 0);
  int chosen = -1;
  for (size_t i = 0; i < forms_.size(); ++i) {
    SendMessageW(box, LB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(Wide(FormLineText(forms_[i])).c_str()));
    if (forms_[i].chosen && chosen < 0) chosen = static_cast<int>(i);
  }
  SendMessageW(box, LB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
  EnableWindow(box, !forms_.empty());
}

void ChapterPreview::PickForm(int index) {
  if (index < 0 || index >= static_cast<int>(forms_.size())) return;
  const chapters::FoundForm& form = forms_[static_cast<size_t>(index)];
  chapters::FinderOptions options;
  options.form = form.shape;
  options.encoding = encoding_;
  list_ = chapters::FindChapters(text_, options);
  choice_ = {true, 0, {}, form.shape};
  for (size_t i = 0; i < forms_.size(); ++i) forms_[i].chosen = static_cast<int>(i) == index;
  SendMessageW(Control(kPreviewForms), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  rows_.clear();
  warning_rows_.clear();
  largest_ = 0;
  FillRows();
  HWND list = Control(kPreviewList);
  SendMessageW(list, LVM_SETITEMCOUNT, rows_.size(), 0);
  InvalidateRect(list, nullptr, TRUE);
  EnableWindow(Control(kPreviewSplit), !list_.headings.empty());
  SetWindowTextOf(Control(kPreviewContext), "双击一行，在这里查看标题前后的文字。");
  // The page's own start button then cuts as the preview does.
  window_.SetText(编辑框3, FormEntryText(form));
}

void ChapterPreview::FillRows() {
  std::map<int64_t, std::string> notes;  // by heading line
  std::string general;                   // warnings on no heading ("none")
  for (const chapters::Warning& warning : list_.warnings) {
    if (warning.line == 0) {
      general += JoinText(general.empty() ? "" : "；", warning.text);
      continue;
    }
    std::string& note = notes[warning.line];
    note += JoinText(note.empty() ? "" : "；", warning.text);
  }
  int volumes = 0;
  for (size_t i = 0; i < list_.headings.size(); ++i) {
    const chapters::Heading& heading = list_.headings[i];
    auto note = notes.find(heading.line);
    std::string note_text = note == notes.end() ? std::string() : note->second;
    rows_.push_back({Wide(std::to_string(i + 1)), Wide(HeadingNumberText(heading)),
                     Wide(heading.title), Wide(PieceSizeText(heading.bytes)),
                     Wide(note_text)});
    warning_rows_.push_back(!note_text.empty());
    largest_ = std::max(largest_, heading.bytes);
    if (heading.kind == chapters::HeadingKind::kVolume) ++volumes;
  }

  std::string summary = JoinText(FileNamePart(path_), "：共 ", NumberToText(static_cast<int>(
                                                                   list_.headings.size())),
                                 " 个标题");
  if (volumes > 0) summary += JoinText("（其中 ", NumberToText(volumes), " 卷）");
  summary += JoinText("，", NumberToText(static_cast<int>(list_.warnings.size())), " 个提示");
  if (!general.empty()) summary += JoinText("：", general);
  if (list_.cut_short) summary += "；正则表达式过于复杂，只找到了一部分";
  SetWindowTextOf(Control(kPreviewSummary), summary);

  std::string rule;
  if (!choice_.form.empty()) {
    rule = JoinText("规则：格式 ", list_.form.empty() ? choice_.form : list_.form);
  } else if (!choice_.keyword.empty()) {
    rule = JoinText("规则：关键字 ", list_.pattern);
  } else {
    std::string label = PresetSetLabel(list_.presets);
    rule = JoinText(choice_.presets == 0 ? "规则：自动识别，" : "规则：",
                    label.empty() ? std::string("没有合适的格式") : label, "（", list_.pattern,
                    "）");
  }
  SetWindowTextOf(Control(kPreviewRule), rule);
}

void ChapterPreview::Arrange() {
  RECT client;
  GetClientRect(hwnd_, &client);
  const int width = client.right, height = client.bottom;
  const int margin = Scale(8), line = Scale(18);
  const int button_width = Scale(96), button_height = Scale(28), context_height = Scale(120);
  auto place = [this](PreviewControl id, int x, int y, int w, int h) {
    MoveWindow(Control(id), x, y, std::max(w, 0), std::max(h, 0), TRUE);
  };
  place(kPreviewSummary, margin, margin, width - 2 * margin, line);
  place(kPreviewRule, margin, margin + line + Scale(2), width - 2 * margin, line);
  const int forms_top = margin + 2 * line + Scale(6);
  const int forms_height = Scale(64);
  place(kPreviewForms, margin, forms_top, width - 2 * margin, forms_height);
  const int list_top = forms_top + forms_height + Scale(6);
  const int button_top = height - margin - button_height;
  const int context_top = button_top - margin - context_height;
  place(kPreviewList, margin, list_top, width - 2 * margin, context_top - margin - list_top);
  place(kPreviewContext, margin, context_top, width - 2 * margin, context_height);
  place(kPreviewSplit, width - margin - button_width, button_top, button_width, button_height);
  SendMessageW(Control(kPreviewList), LVM_SETCOLUMNWIDTH, kColumnNotes, LVSCW_AUTOSIZE_USEHEADER);
}

bool ChapterPreview::IsWarningRow(int row) const {
  return row >= 0 && row < static_cast<int>(warning_rows_.size()) && warning_rows_[row];
}

LRESULT ChapterPreview::OnCustomDraw(NMLVCUSTOMDRAW& draw) {
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
      const int row = static_cast<int>(draw.nmcd.dwItemSpec);
      if ((draw.nmcd.dwDrawStage & CDDS_SUBITEM) && draw.iSubItem == kColumnSize) {
        DrawSizeCell(draw);
        return CDRF_SKIPDEFAULT;
      }
      const bool warning = IsWarningRow(row);
      draw.clrText = warning ? kWarningText : GetSysColor(COLOR_WINDOWTEXT);
      draw.clrTextBk = warning ? kWarningBack : GetSysColor(COLOR_WINDOW);
      return CDRF_NEWFONT | CDRF_NOTIFYSUBITEMDRAW;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

void ChapterPreview::DrawSizeCell(NMLVCUSTOMDRAW& draw) {
  const int row = static_cast<int>(draw.nmcd.dwItemSpec);
  if (row < 0 || row >= static_cast<int>(rows_.size())) return;
  HWND list = Control(kPreviewList);
  RECT cell = {};
  cell.top = kColumnSize;
  cell.left = LVIR_BOUNDS;
  if (!SendMessageW(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell))) return;
  HDC dc = draw.nmcd.hdc;
  // The selection as the list draws it: highlighted while the list has the focus, grey after.
  const bool marked =
      (SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
  const bool selected = marked && GetFocus() == list;
  const bool warning = IsWarningRow(row);
  COLORREF back = selected ? GetSysColor(COLOR_HIGHLIGHT)
                  : marked ? GetSysColor(COLOR_BTNFACE)
                  : warning ? kWarningBack
                            : GetSysColor(COLOR_WINDOW);
  SetBkColor(dc, back);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &cell, nullptr, 0, nullptr);

  // The bar: the piece's share of the largest piece's width, at least a pixel.
  const int64_t bytes = list_.headings[row].bytes;
  RECT bar = cell;
  InflateRect(&bar, -Scale(3), -Scale(3));
  bar.right -= Scale(kSizeTextWidth);
  if (largest_ > 0 && bytes > 0 && bar.right > bar.left) {
    const int full = bar.right - bar.left;
    bar.right = bar.left + std::max(1, static_cast<int>(static_cast<double>(bytes) * full /
                                                        static_cast<double>(largest_)));
    SetBkColor(dc, warning ? kWarningBar : kBar);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &bar, nullptr, 0, nullptr);
  }
  RECT text = cell;
  text.right -= Scale(6);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, selected  ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                   : warning ? kWarningText
                             : GetSysColor(COLOR_WINDOWTEXT));
  const std::wstring& size = rows_[row][kColumnSize];
  DrawTextW(dc, size.c_str(), static_cast<int>(size.size()), &text,
            DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void ChapterPreview::ShowContext(int row) {
  if (row < 0 || row >= static_cast<int>(list_.headings.size())) return;
  size_t at = 0;
  std::string around = TextAroundHeading(text_, static_cast<size_t>(list_.headings[row].offset),
                                         kLinesBefore, kLinesAfter, &at, encoding_);
  HWND box = Control(kPreviewContext);
  SetWindowTextW(box, WideIn(around, encoding_).c_str());
  // The heading's line selected, and shown near the top.
  size_t line_end = around.find('\r', at);
  if (line_end == std::string::npos) line_end = around.size();
  const int start = static_cast<int>(WideIn(around.substr(0, at), encoding_).size());
  const int end = static_cast<int>(WideIn(around.substr(0, line_end), encoding_).size());
  SendMessageW(box, EM_SETSEL, start, end);
  const int line = static_cast<int>(SendMessageW(box, EM_LINEFROMCHAR, start, 0));
  const int first = static_cast<int>(SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0));
  SendMessageW(box, EM_LINESCROLL, 0, std::max(line - 1, 0) - first);
}

void ChapterPreview::StartSplit() {
  // The page shows keyword mode, and the job cuts where the finder cut here.
  KeywordChoice cuts = choice_;
  cuts.find_chapters = true;
  OnKeywordListUsed(window_);
  RunSplitJob(window_, cuts, path_);
}

}  // namespace travik::ui
