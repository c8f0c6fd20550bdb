// The built main window against the layout tables: every control with its name, kind,
// caption, rectangle, parent, font and state at start; the pages, columns, panes and menus.
#include "ui/layout.h"

#include <commctrl.h>
#include <windows.h>

#include <map>
#include <string>

#include "ui/win_text.h"
#include "ui/window_test_fixture.h"

namespace travik::ui::testing {
namespace {

using LayoutTest = WindowTest;

std::wstring ClassName(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

// The class and the style bits that make a control of each kind.
struct KindCheck {
  const wchar_t* class_name;
  DWORD type_mask;
  DWORD type;
};

KindCheck CheckFor(ControlKind kind) {
  switch (kind) {
    case ControlKind::kTabControl:
      return {L"SysTabControl32", 0, 0};
    case ControlKind::kStatusBar:
      return {L"msctls_statusbar32", 0, 0};
    case ControlKind::kListView:
      return {L"SysListView32", LVS_TYPEMASK, LVS_REPORT};
    case ControlKind::kGroupBox:
      return {L"Button", BS_TYPEMASK, BS_GROUPBOX};
    case ControlKind::kRadioButton:
      return {L"Button", BS_TYPEMASK, BS_AUTORADIOBUTTON};
    case ControlKind::kCheckBox:
      return {L"Button", BS_TYPEMASK, BS_AUTOCHECKBOX};
    case ControlKind::kIconButton:
      // The icon buttons may already be owner-drawn by the widgets; both are push buttons.
      return {L"Button", 0, 0};
    case ControlKind::kEditBox:
      return {L"Edit", 0, 0};
    case ControlKind::kComboBox:
      // A drop-down that takes typed text.
      return {L"ComboBox", 3, CBS_DROPDOWN};
    case ControlKind::kPushButton:
      return {L"Button", BS_TYPEMASK, BS_PUSHBUTTON};
    case ControlKind::kLabel:
    case ControlKind::kTransparentLabel:
      return {L"Static", 0, 0};
  }
  return {L"", 0, 0};
}

RECT RectInClient(HWND control, HWND main) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

TEST_F(LayoutTest, MainWindowHasItsCaptionPlaceSizeAndMenuBar) {
  const WindowLayout& row = MainWindowLayout();
  EXPECT_EQ(WindowTextOf(window().hwnd()), "Travik");
  RECT rect;
  GetWindowRect(window().hwnd(), &rect);
  EXPECT_EQ(rect.left, window().Scale(50));
  EXPECT_EQ(rect.top, window().Scale(50));
  EXPECT_EQ(rect.right - rect.left, window().Scale(row.width));
  EXPECT_EQ(rect.bottom - rect.top, window().Scale(row.height));

  HMENU bar = GetMenu(window().hwnd());
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(GetMenuItemCount(bar), 2) << "the bar shows 菜单 and 关于 and nothing else";
  const char* expected[2][10] = {{"菜单", "添加", "删除", "全部删除", "上移", "下移", "移到最前",
                                  "移到最后", "按文件名排序", "打开保存目录"},
                                 {"关于", "问题反馈", "关于 Travik"}};
  const int commands[2][9] = {{kMenuAdd, kMenuDelete, kMenuDeleteAll, kMenuMoveUp, kMenuMoveDown,
                               kMenuMoveToTop, kMenuMoveToBottom, kMenuSortByName, kMenuOpenFolder},
                              {kMenuFeedback, kMenuAbout}};
  for (int m = 0; m < 2; ++m) {
    wchar_t caption[32] = {};
    GetMenuStringW(bar, m, caption, 32, MF_BYPOSITION);
    EXPECT_EQ(Utf8(caption), expected[m][0]);
    HMENU sub = GetSubMenu(bar, m);
    int count = m == 0 ? 9 : 2;
    ASSERT_EQ(GetMenuItemCount(sub), count);
    for (int i = 0; i < count; ++i) {
      GetMenuStringW(sub, i, caption, 32, MF_BYPOSITION);
      EXPECT_EQ(Utf8(caption), expected[m][i + 1]);
      EXPECT_EQ(static_cast<int>(GetMenuItemID(sub, i)), commands[m][i]);
    }
  }
  // "托盘菜单" exists only as a pop-up.
  ScopedMenu tray = window().BuildPopupMenu(MenuName::k托盘菜单);
  ASSERT_EQ(GetMenuItemCount(tray.get()), 2);
  EXPECT_EQ(GetMenuItemID(tray.get(), 0), static_cast<UINT>(kMenuShowWindow));
  EXPECT_EQ(GetMenuItemID(tray.get(), 1), static_cast<UINT>(kMenuExit));
}

TEST_F(LayoutTest, EveryControlMatchesItsRowOfTheTable) {
  HWND main = window().hwnd();
  ASSERT_EQ(Controls().size(), 56u);
  for (const ControlLayout& row : Controls()) {
    SCOPED_TRACE(row.name);
    HWND control = window().Control(row.id);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(GetDlgCtrlID(control), row.id);
    EXPECT_EQ(window().IdOf(control), row.id);
    // A page is the tab control's client area; a group box only frames its members.
    HWND container = PageOf(row.id) >= 0 ? window().Control(选择夹1) : main;
    EXPECT_EQ(GetParent(control), container);

    KindCheck kind = CheckFor(row.kind);
    EXPECT_EQ(ClassName(control), kind.class_name);
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
    if (kind.type_mask != 0) {
      EXPECT_EQ(style & kind.type_mask, kind.type);
    }
    if (row.kind == ControlKind::kIconButton) {
      EXPECT_TRUE((style & BS_TYPEMASK) == BS_PUSHBUTTON || (style & BS_TYPEMASK) == BS_OWNERDRAW);
    }

    // Captions of the kinds that show one.
    if (row.caption != nullptr) {
      EXPECT_EQ(WindowTextOf(control), row.caption);
    }

    // The rectangle: the table's, moved by its parents; a page starts at the tab control.
    RECT rect = RectInClient(control, main);
    RECT expected = RectInMainWindow(row.id);
    if (row.kind != ControlKind::kStatusBar) {
      EXPECT_EQ(rect.left, window().Scale(expected.left));
      EXPECT_EQ(rect.top, window().Scale(expected.top));
      EXPECT_EQ(rect.right - rect.left, window().Scale(row.width));
      EXPECT_EQ(rect.bottom - rect.top, window().Scale(row.height));
    }
    RECT inside = RectInClient(control, container);
    RECT expected_inside = RectInContainer(row.id);
    if (row.kind != ControlKind::kStatusBar) {
      EXPECT_EQ(inside.left, window().Scale(expected_inside.left));
      EXPECT_EQ(inside.top, window().Scale(expected_inside.top));
    }
    if (row.parent >= 选择夹1) {
      RECT parent = RectInClient(window().Control(row.parent), main);
      EXPECT_EQ(rect.left - parent.left, window().Scale(row.left));
      EXPECT_EQ(rect.top - parent.top, window().Scale(row.top));
    }

    // State at start.
    EXPECT_EQ(window().Enabled(row.id), (row.state & kDisabled) == 0);
    if (row.kind == ControlKind::kRadioButton || row.kind == ControlKind::kCheckBox) {
      EXPECT_EQ(window().Checked(row.id), (row.state & kChecked) != 0);
    }
    bool visible = PageOf(row.id) <= 0 && row.id != 透明标签1;
    EXPECT_EQ(IsWindowVisible(control) != FALSE, visible);
    if (row.kind == ControlKind::kListView) {
      EXPECT_EQ(window().RowCount(row.id), 0);
    }
  }
}

TEST_F(LayoutTest, StartStatesReadAsTheLayoutSays) {
  // The split page: size mode and automatic numbering; 按关键字 cannot be chosen yet.
  EXPECT_TRUE(window().Checked(单选框1));
  EXPECT_TRUE(window().Checked(单选框4));
  EXPECT_FALSE(window().Checked(单选框2) || window().Checked(单选框3));
  EXPECT_FALSE(window().Checked(单选框5) || window().Checked(单选框6));
  EXPECT_FALSE(window().Enabled(单选框5));
  EXPECT_FALSE(window().Enabled(编辑框6));
  EXPECT_EQ(window().Text(编辑框6), "自定义内容");
  // Only 选择框5 and 选择框7 are ticked.
  for (ControlId box : {选择框1, 选择框2, 选择框3, 选择框4, 选择框6}) {
    EXPECT_FALSE(window().Checked(box)) << box;
  }
  EXPECT_TRUE(window().Checked(选择框5));
  EXPECT_TRUE(window().Checked(选择框7));
  // 编辑框7 takes texts of any length.
  EXPECT_GE(static_cast<unsigned>(SendMessageW(Hwnd(编辑框7), EM_GETLIMITTEXT, 0, 0)), 0x7FFFFFFEu);
  std::string long_text(100000, 'x');
  window().SetText(编辑框7, long_text);
  EXPECT_EQ(window().Text(编辑框7), long_text);
  // Page 0 is shown; every other page's controls are hidden.
  EXPECT_EQ(window().CurrentPage(), 0);
  EXPECT_TRUE(IsWindowVisible(Hwnd(按钮5)));
  EXPECT_FALSE(IsWindowVisible(Hwnd(按钮2)));
  EXPECT_FALSE(IsWindowVisible(Hwnd(按钮4)));
  // A few rows spelled out, so that the table itself is checked too.
  RECT rect = RectInMainWindow(按钮5);
  EXPECT_EQ(rect.left, 5 + 225);
  EXPECT_EQ(rect.top, 8 + 344);
  rect = RectInMainWindow(单选框6);
  EXPECT_EQ(rect.left, 5 + 435 + 9);
  EXPECT_EQ(rect.top, 8 + 205 + 68);
  rect = RectInMainWindow(超级列表框3);
  EXPECT_EQ(rect.left, 5 + 9 + 7);
  EXPECT_EQ(rect.top, 8 + 32 + 17);
  rect = RectInMainWindow(透明标签2);
  EXPECT_EQ(rect.left, 5 + 19 + 213);
  // The keyword box as wide as its entries need; 预览 above its right end, beside 单选框3, inside
  // the frame of the split modes.
  RECT box = RectInContainer(编辑框3), button = RectInContainer(按钮9);
  RECT modes = RectInContainer(分组框9), radio = RectInContainer(单选框3);
  EXPECT_EQ(box.left, 400);
  EXPECT_EQ(box.right, 400 + 144);
  EXPECT_EQ(button.right, box.right);
  EXPECT_LE(button.bottom, box.top);
  EXPECT_GE(button.left, radio.right);
  EXPECT_LT(button.right, modes.right);
  EXPECT_LT(button.bottom, modes.bottom);
}

TEST_F(LayoutTest, PagesColumnsPanesAndFonts) {
  HWND tab = Hwnd(选择夹1);
  ASSERT_EQ(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0), 3);
  const char* pages[] = {"分割文本", "合并文本", "插入文字"};
  for (int page = 0; page < 3; ++page) {
    wchar_t text[32] = {};
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 32;
    SendMessageW(tab, TCM_GETITEMW, page, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(Utf8(text), pages[page]);
  }

  struct Column {
    ControlId list;
    const char* title;
    int width;
  };
  const Column columns[] = {
      {超级列表框1, "文件名", 70},       {超级列表框1, "文件位置", 120},
      {超级列表框1, "文件大小(KB)", 92}, {超级列表框1, "编码", 100},
      {超级列表框2, "文件名", 120},      {超级列表框2, "文件位置", 280},
      {超级列表框2, "编码", 100},         {超级列表框3, "文件名", 95},
      {超级列表框3, "文件位置", 180},    {超级列表框3, "文件长度（Byte）", 125},
      {超级列表框3, "编码", 100}};
  std::map<ControlId, int> index;
  for (const Column& column : columns) {
    int& i = index[column.list];
    wchar_t text[64] = {};
    LVCOLUMNW item = {};
    item.mask = LVCF_TEXT | LVCF_WIDTH;
    item.pszText = text;
    item.cchTextMax = 64;
    ASSERT_TRUE(
        SendMessageW(Hwnd(column.list), LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ(Utf8(text), column.title);
    EXPECT_EQ(item.cx, window().Scale(column.width));
    ++i;
  }
  // The merge list has three columns (no size), the others four.
  EXPECT_EQ(SendMessageW(ListView_GetHeader(Hwnd(超级列表框2)), HDM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(ListView_GetHeader(Hwnd(超级列表框3)), HDM_GETITEMCOUNT, 0, 0), 4);

  // Two panes, 200 px and the rest; after start they already show the refreshed texts.
  HWND bar = Hwnd(状态条1);
  int edges[4] = {};
  ASSERT_EQ(SendMessageW(bar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 2);
  EXPECT_EQ(edges[0], window().Scale(200));
  EXPECT_EQ(window().StatusPane(0), "当前状态: 无任务");
  EXPECT_EQ(window().StatusPane(1), "保存目录: ");
  // The bar lies along the bottom of the client area, 20 px high.
  RECT client, rect = RectInClient(bar, window().hwnd());
  GetClientRect(window().hwnd(), &client);
  EXPECT_EQ(rect.bottom, client.bottom);
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.right, client.right);
  EXPECT_GE(rect.bottom - rect.top, window().Scale(20));

  // The notice's font: "微软雅黑", 21 px characters, weight 400, GB2312; red on no background.
  LOGFONTW font = {};
  HFONT notice = reinterpret_cast<HFONT>(SendMessageW(Hwnd(透明标签1), WM_GETFONT, 0, 0));
  ASSERT_NE(notice, nullptr);
  GetObjectW(notice, sizeof(font), &font);
  EXPECT_EQ(Utf8(font.lfFaceName), "微软雅黑");
  EXPECT_EQ(font.lfHeight, -window().Scale(21));
  EXPECT_EQ(font.lfWeight, 400);
  EXPECT_EQ(font.lfCharSet, GB2312_CHARSET);
  EXPECT_TRUE(GetWindowLongPtrW(Hwnd(透明标签1), GWL_EXSTYLE) & WS_EX_TRANSPARENT);
  HFONT small = reinterpret_cast<HFONT>(SendMessageW(Hwnd(透明标签2), WM_GETFONT, 0, 0));
  GetObjectW(small, sizeof(font), &font);
  EXPECT_EQ(font.lfHeight, -window().Scale(14));
  HFONT status = reinterpret_cast<HFONT>(SendMessageW(bar, WM_GETFONT, 0, 0));
  GetObjectW(status, sizeof(font), &font);
  EXPECT_EQ(font.lfHeight, -window().Scale(12));
}

TEST_F(LayoutTest, EveryInputControlIsATabStopAndNoFrameOrLabelIs) {
  for (const ControlLayout& row : Controls()) {
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window().Control(row.id), GWL_STYLE));
    bool stop = (style & WS_TABSTOP) != 0;
    switch (row.kind) {
      case ControlKind::kGroupBox:
      case ControlKind::kLabel:
      case ControlKind::kTransparentLabel:
      case ControlKind::kStatusBar:
        EXPECT_FALSE(stop) << row.id;
        break;
      default:
        EXPECT_TRUE(stop) << row.id;
        break;
    }
  }
  // The members of each radio group follow each other, the first one opening the group.
  const ControlId groups[2][3] = {{单选框1, 单选框2, 单选框3}, {单选框4, 单选框5, 单选框6}};
  for (const auto& group : groups) {
    HWND member = Hwnd(group[0]);
    EXPECT_TRUE(GetWindowLongPtrW(member, GWL_STYLE) & WS_GROUP);
    for (int i = 1; i < 3; ++i) {
      member = GetWindow(member, GW_HWNDNEXT);
      EXPECT_EQ(window().IdOf(member), group[i]);
      EXPECT_FALSE(GetWindowLongPtrW(member, GWL_STYLE) & WS_GROUP);
    }
    EXPECT_TRUE(GetWindowLongPtrW(GetWindow(member, GW_HWNDNEXT), GWL_STYLE) & WS_GROUP);
  }
}

TEST_F(LayoutTest, WindowTextsAreUtf8WhateverTheSystemsCodePage) {
  // Wide literals are UTF-16 whatever the narrow execution character set is.
  wchar_t text[64] = {};
  GetWindowTextW(Hwnd(按钮5), text, 64);
  EXPECT_STREQ(text, L"开始分割");
  GetWindowTextW(Hwnd(标签7), text, 64);
  EXPECT_STREQ(text, L"合并后的文件名：");
  SendMessageW(Hwnd(状态条1), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"当前状态: 无任务");
  // Every character reads back as itself, those no code page of the system holds too: é, a Thai
  // letter, an emoji and U+20000 (surrogate pairs), Korean.
  SetWindowTextW(Hwnd(编辑框7),
                 L"a\x00E9\x0E01\xD83D\xDE00\xD840\xDC00\xD55C\xAD6D"
                 L"b");
  EXPECT_EQ(window().Text(编辑框7),
            "a\xC3\xA9\xE0\xB8\x81\xF0\x9F\x98\x80\xF0\xA0\x80\x80\xED\x95\x9C\xEA\xB5\xAD"
            "b");
  EXPECT_EQ(window().Text(编辑框7), "aé\u0E01😀𠀀한국b");
  // And what the program sets shows as those characters.
  window().SetText(编辑框6, "España 😀 한국 𠀀");
  GetWindowTextW(Hwnd(编辑框6), text, 64);
  EXPECT_STREQ(text, L"Espa\x00F1" L"a \xD83D\xDE00 \xD55C\xAD6D \xD840\xDC00");
  window().SetStatusPane(1, "保存目录: D:\\😀");
  EXPECT_EQ(window().StatusPane(1), "保存目录: D:\\😀");
  SendMessageW(Hwnd(状态条1), SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"\x4FDD\x5B58\x76EE\x5F55: D:\\\xD83D\xDE00");
}

}  // namespace
}  // namespace travik::ui::testing
