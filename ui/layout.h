// The main window's layout as data: every control with its name, kind, caption, rectangle,
// parent and state at start, plus the tab pages, list columns, status panes and menus. The
// window is built from these tables and the window tests check the built window against them.
// All texts are UTF-8.
#ifndef TRAVIK_UI_LAYOUT_H_
#define TRAVIK_UI_LAYOUT_H_

#include <windows.h>

#include <cstddef>

namespace travik::ui {

// Control ids. The first four name containers rather than controls: the main window's client
// area and the three pages of 选择夹1, whose client area is the tab control's own.
enum ControlId : int {
  kNoControl = 0,
  kMainWindow = 1,
  kSplitPage,
  kMergePage,
  kInsertPage,

  选择夹1 = 100,
  透明标签1,
  状态条1,

  分组框3,
  超级列表框1,
  分组框9,
  单选框1,
  编辑框1,
  标签3,
  单选框2,
  编辑框2,
  标签4,
  单选框3,
  编辑框3,
  按钮9,
  分组框2,
  单选框4,
  单选框5,
  单选框6,
  编辑框6,
  分组框1,
  标签13,
  编辑框10,
  按钮6,
  选择框4,
  选择框3,
  按钮1,
  按钮5,

  分组框4,
  超级列表框2,
  分组框5,
  标签7,
  编辑框5,
  透明标签2,
  标签6,
  编辑框4,
  按钮3,
  选择框2,
  选择框6,
  按钮7,
  按钮2,

  分组框6,
  超级列表框3,
  分组框7,
  标签8,
  编辑框7,
  分组框8,
  标签10,
  编辑框8,
  标签11,
  编辑框9,
  选择框1,
  选择框5,
  选择框7,
  按钮8,
  按钮4,
};

enum class ControlKind {
  kTabControl,
  kTransparentLabel,
  kStatusBar,
  kGroupBox,
  kListView,
  kRadioButton,
  kEditBox,
  kComboBox,   // a drop-down list that also takes typed text
  kPushButton,  // a plain push button
  kLabel,
  kCheckBox,
  kIconButton,
};

// State at start, as bit flags.
enum ControlState : unsigned {
  kPlain = 0,
  kChecked = 1u << 0,
  kDisabled = 1u << 1,
  kInt64Entry = 1u << 2,  // numeric box: digits and "-", normalised on focus loss
  kInt32Entry = 1u << 3,  // the same, clamped to the 32-bit range
  kNoLengthLimit = 1u << 4,
};

// Radio buttons that switch together.
// kInsertPlaceGroup: 标签10 / 标签11 say which of 编辑框8 and 编辑框9 places the insert page's text.
enum RadioGroup { kNoRadioGroup = 0, kSplitModeGroup, kNamingGroup, kInsertPlaceGroup };

// Fonts other than the dialog font.
enum class FontRole {
  kDialog,  // the system's dialog font
  kNotice,  // 透明标签1: "微软雅黑", 21 px, weight 400, GB2312, red
  kStatus,  // 状态条1: 12 px
  kSmall,   // 透明标签2: 14 px, default face
};

// A read-only view of one of the tables below.
template <typename T>
class Table {
 public:
  template <size_t N>
  constexpr Table(const T (&rows)[N]) : rows_(rows), size_(N) {}
  const T* begin() const { return rows_; }
  const T* end() const { return rows_ + size_; }
  size_t size() const { return size_; }
  const T& operator[](size_t i) const { return rows_[i]; }

 private:
  const T* rows_;
  size_t size_;
};

struct ControlLayout {
  ControlId id;
  const char* name;  // the layout name
  ControlKind kind;
  const char* caption;
  int left, top, width, height;  // in the parent's client area, at 96 dpi
  ControlId parent;              // kMainWindow, a page, or a group box
  unsigned state;                // ControlState flags
  RadioGroup radio_group;
  FontRole font;
};

struct ListColumnLayout {
  ControlId list;
  const char* title;
  int width;
};

struct StatusPaneLayout {
  const char* text;  // text at start
  int width;
};

// Menu item ids (WM_COMMAND), distinct from the control ids.
enum MenuCommand : int {
  kMenuAdd = 40001,  // "菜单" > "添加"
  kMenuDelete,       // "菜单" > "删除"
  kMenuDeleteAll,    // "菜单" > "全部删除"
  kMenuFeedback,     // "关于" > "问题反馈"
  kMenuAbout,        // "关于" > "关于 Travik": name, version, licence, where settings are
  kMenuShowWindow,   // "托盘菜单" > "显示界面"
  kMenuExit,         // "托盘菜单" > "退出"
  kMenuMoveUp,       // "菜单" > "上移": the selected row one place up
  kMenuMoveDown,     // "菜单" > "下移"
  kMenuMoveToTop,    // "菜单" > "移到最前"
  kMenuMoveToBottom, // "菜单" > "移到最后"
  kMenuSortByName,   // "菜单" > "按文件名排序": natural order of the file names
  kMenuOpenFolder,   // "菜单" > "打开保存目录": the last job's folder in Explorer
  // "编码": how the selected rows' encoding is decided (the lists' pop-up menu only).
  kMenuEncodingAuto,     // "自动": recognised from the file's bytes
  kMenuEncodingGbk,      // "GBK"
  kMenuEncodingGb18030,  // "GB18030"
  kMenuEncodingUtf8,     // "UTF-8"
  kMenuEncodingBig5,     // "Big5"
};

// "编码" is no menu of the bar: the lists' pop-up menu shows its items below those of "菜单".
enum class MenuName { k菜单, k关于, k托盘菜单, k编码 };

struct MenuLayout {
  MenuName menu;
  const char* caption;
  bool in_menu_bar;  // "托盘菜单" and "编码" only pop up
};

struct MenuItemLayout {
  MenuName menu;
  MenuCommand command;
  const char* caption;
};

struct WindowLayout {
  const char* caption;
  int left, top, width, height;  // outer rectangle on screen
};

// The main window itself.
const WindowLayout& MainWindowLayout();
// Every control, parents before their children, in creation (and tab) order.
Table<ControlLayout> Controls();
// The layout row of one control; the id must be a control's.
const ControlLayout& LayoutOf(ControlId id);
// Page captions of 选择夹1 in page order.
Table<const char*> TabPages();
// The columns of the three lists, list by list in column order.
Table<ListColumnLayout> ListColumns();
// The two panes of 状态条1.
Table<StatusPaneLayout> StatusPanes();
Table<MenuLayout> Menus();
Table<MenuItemLayout> MenuItems();

// How a control follows the window when it grows past its size at start: by how much of the
// extra width and height it moves (left, top) and grows (width, height), in halves (0, 1, 2).
struct Anchor {
  int move_x, move_y, grow_x, grow_y;
};
Anchor AnchorOf(ControlId id);
// The lists' name and location columns share the extra width (in thirds: name 1, location 2).

// The page (0, 1, 2) a control lies on, or -1 for a direct child of the main window.
int PageOf(ControlId id);
// Rectangle at 96 dpi of a page's control in its page, which is the tab control's client area,
// or of a direct child of the main window in the main window's client area: its own rectangle
// moved by that of its group box, if it lies in one.
RECT RectInContainer(ControlId id);
// Rectangle of the control in the main window's client area at 96 dpi.
RECT RectInMainWindow(ControlId id);

}  // namespace travik::ui

#endif  // TRAVIK_UI_LAYOUT_H_
