#include "ui/layout.h"

namespace travik::ui {

namespace {

using K = ControlKind;
using F = FontRole;

constexpr WindowLayout kMainWindow_ = {"Travik", 50, 50, 581, 460};

// clang-format off
constexpr ControlLayout kControls[] = {
  // id        name        kind                    caption   left top  width height parent       state
  {选择夹1,   "选择夹1",   K::kTabControl,        nullptr,   5,   8, 564, 384, kMainWindow, kPlain, kNoRadioGroup, F::kDialog},
  {透明标签1, "透明标签1", K::kTransparentLabel,  "",      227, 208, 120,  24, kMainWindow, kPlain, kNoRadioGroup, F::kNotice},
  {状态条1,   "状态条1",   K::kStatusBar,         nullptr,   0, 390, 576,  20, kMainWindow, kPlain, kNoRadioGroup, F::kStatus},

  // Page 0, "分割文本".
  {分组框3,   "分组框3",   K::kGroupBox,    "选择欲分割的文本文件", 10,  32, 544, 304, kSplitPage, kPlain, kNoRadioGroup, F::kDialog},
  {超级列表框1, "超级列表框1", K::kListView,  nullptr,             21,  56, 360, 216, kSplitPage, kPlain, kNoRadioGroup, F::kDialog},
  {分组框9,   "分组框9",   K::kGroupBox,    "分割方式",            387,  41, 160, 160, kSplitPage, kPlain, kNoRadioGroup, F::kDialog},
  {单选框1,   "单选框1",   K::kRadioButton, "按大小分割",          396,  53,  85,  24, kSplitPage, kChecked, kSplitModeGroup, F::kDialog},
  {编辑框1,   "编辑框1",   K::kEditBox,     "",                    400,  74, 112,  24, kSplitPage, kInt64Entry, kNoRadioGroup, F::kDialog},
  {标签3,     "标签3",     K::kLabel,       "KB",                  517,  81,  18,  16, kSplitPage, kPlain, kNoRadioGroup, F::kDialog},
  {单选框2,   "单选框2",   K::kRadioButton, "按分数分割",          396, 100,  85,  24, kSplitPage, kPlain, kSplitModeGroup, F::kDialog},
  {编辑框2,   "编辑框2",   K::kEditBox,     "",                    400, 123, 112,  24, kSplitPage, kInt32Entry, kNoRadioGroup, F::kDialog},
  {标签4,     "标签4",     K::kLabel,       "份数",                515, 123,  25,  24, kSplitPage, kPlain, kNoRadioGroup, F::kDialog},
  {单选框3,   "单选框3",   K::kRadioButton, "按关键字分割",        396, 148,  92,  24, kSplitPage, kPlain, kSplitModeGroup, F::kDialog},
  {编辑框3,   "编辑框3",   K::kComboBox,    "",                    400, 172, 144,  24, kSplitPage, kPlain, kNoRadioGroup, F::kDialog},
  {按钮9,     "按钮9",     K::kPushButton,  "预览",                500, 149,  44,  22, kSplitPage, kPlain, kNoRadioGroup, F::kDialog},
  {分组框2,   "分组框2",   K::kGroupBox,    "分割后的文件名",      435, 205, 112, 123, kSplitPage, kPlain, kNoRadioGroup, F::kDialog},
  {单选框4,   "单选框4",   K::kRadioButton, "自动编号",              9,  17,  80,  20, 分组框2, kChecked, kNamingGroup, F::kDialog},
  {单选框5,   "单选框5",   K::kRadioButton, "按关键字",              9,  42,  69,  20, 分组框2, kDisabled, kNamingGroup, F::kDialog},
  {单选框6,   "单选框6",   K::kRadioButton, "自定义＋编号",          9,  68,  98,  16, 分组框2, kPlain, kNamingGroup, F::kDialog},
  {编辑框6,   "编辑框6",   K::kEditBox,     "自定义内容",           13,  91,  80,  24, 分组框2, kDisabled, kNoRadioGroup, F::kDialog},
  {分组框1,   "分组框1",   K::kGroupBox,    "保存设置",             18, 278, 409,  50, kSplitPage, kPlain, kNoRadioGroup, F::kDialog},
  {标签13,    "标签13",    K::kLabel,       "保存位置：",            8,  17,  56,  20, 分组框1, kPlain, kNoRadioGroup, F::kDialog},
  {编辑框10,  "编辑框10",  K::kEditBox,     "",                     64,  14, 257,  23, 分组框1, kPlain, kNoRadioGroup, F::kDialog},
  {按钮6,     "按钮6",     K::kIconButton,  "浏览",                327,  14,  61,  23, 分组框1, kPlain, kNoRadioGroup, F::kDialog},
  {选择框4,   "选择框4",   K::kCheckBox,    "生成合并文件",        422, 343,  96,  12, kSplitPage, kPlain, kNoRadioGroup, F::kDialog},
  {选择框3,   "选择框3",   K::kCheckBox,    "保存到软件所在目录",  422, 366, 128,  12, kSplitPage, kPlain, kNoRadioGroup, F::kDialog},
  {按钮1,     "按钮1",     K::kIconButton,  "添加文件",             98, 344,  80,  30, kSplitPage, kPlain, kNoRadioGroup, F::kDialog},
  {按钮5,     "按钮5",     K::kIconButton,  "开始分割",            225, 344,  80,  30, kSplitPage, kPlain, kNoRadioGroup, F::kDialog},

  // Page 1, "合并文本".
  {分组框4,   "分组框4",   K::kGroupBox,    "选择欲合并的文件",     11,  32, 544, 304, kMergePage, kPlain, kNoRadioGroup, F::kDialog},
  {超级列表框2, "超级列表框2", K::kListView,  nullptr,             21,  50, 526, 224, kMergePage, kPlain, kNoRadioGroup, F::kDialog},
  {分组框5,   "分组框5",   K::kGroupBox,    "保存设置",             19, 279, 528,  46, kMergePage, kPlain, kNoRadioGroup, F::kDialog},
  {标签7,     "标签7",     K::kLabel,       "合并后的文件名：",     28, 294,  88,  24, kMergePage, kPlain, kNoRadioGroup, F::kDialog},
  {编辑框5,   "编辑框5",   K::kEditBox,     "",                    122, 294, 107,  24, kMergePage, kPlain, kNoRadioGroup, F::kDialog},
  {透明标签2, "透明标签2", K::kTransparentLabel, ".txt",           213,  19,  32,  16, 分组框5, kPlain, kNoRadioGroup, F::kSmall},
  {标签6,     "标签6",     K::kLabel,       "保存到：",            266, 294,  43,  24, kMergePage, kPlain, kNoRadioGroup, F::kDialog},
  {编辑框4,   "编辑框4",   K::kEditBox,     "",                    310, 294, 171,  24, kMergePage, kPlain, kNoRadioGroup, F::kDialog},
  {按钮3,     "按钮3",     K::kIconButton,  "浏览",                484, 294,  56,  24, kMergePage, kPlain, kNoRadioGroup, F::kDialog},
  {选择框2,   "选择框2",   K::kCheckBox,    "删除原文件",          423, 339,  84,  24, kMergePage, kPlain, kNoRadioGroup, F::kDialog},
  {选择框6,   "选择框6",   K::kCheckBox,    "保存到软件所在目录",  423, 366, 128,  12, kMergePage, kPlain, kNoRadioGroup, F::kDialog},
  {按钮7,     "按钮7",     K::kIconButton,  "添加文件",            152, 344,  88,  30, kMergePage, kPlain, kNoRadioGroup, F::kDialog},
  {按钮2,     "按钮2",     K::kIconButton,  "合并文件",            288, 344,  88,  30, kMergePage, kPlain, kNoRadioGroup, F::kDialog},

  // Page 2, "插入文字".
  {分组框6,   "分组框6",   K::kGroupBox,    "选择欲插入文字的文件",  9,  32, 544, 304, kInsertPage, kPlain, kNoRadioGroup, F::kDialog},
  {超级列表框3, "超级列表框3", K::kListView,  nullptr,              7,  17, 528, 192, 分组框6, kPlain, kNoRadioGroup, F::kDialog},
  {分组框7,   "分组框7",   K::kGroupBox,    "文本设置",             16, 245, 531,  40, kInsertPage, kPlain, kNoRadioGroup, F::kDialog},
  {标签8,     "标签8",     K::kLabel,       "欲插入的文字：",       26, 257,  80,  24, kInsertPage, kPlain, kNoRadioGroup, F::kDialog},
  {编辑框7,   "编辑框7",   K::kEditBox,     "",                    115, 255, 424,  25, kInsertPage, kNoLengthLimit, kNoRadioGroup, F::kDialog},
  {分组框8,   "分组框8",   K::kGroupBox,    "欲插入位置",           16, 291, 531,  40, kInsertPage, kPlain, kNoRadioGroup, F::kDialog},
  {标签10,    "标签10",    K::kRadioButton, "按关键字",             22, 303,  68,  23, kInsertPage, kChecked, kInsertPlaceGroup, F::kDialog},
  {编辑框8,   "编辑框8",   K::kEditBox,     "",                     92, 303, 141,  23, kInsertPage, kPlain, kNoRadioGroup, F::kDialog},
  {标签11,    "标签11",    K::kRadioButton, "按文本长度",          239, 303,  80,  23, kInsertPage, kPlain, kInsertPlaceGroup, F::kDialog},
  {编辑框9,   "编辑框9",   K::kEditBox,     "",                    319, 303, 132,  23, kInsertPage, kInt64Entry, kNoRadioGroup, F::kDialog},
  {选择框1,   "选择框1",   K::kCheckBox,    "随机插入",            463, 309,  80,  16, kInsertPage, kPlain, kNoRadioGroup, F::kDialog},
  {选择框5,   "选择框5",   K::kCheckBox,    "保留原始文件",        424, 337, 104,  24, kInsertPage, kChecked, kNoRadioGroup, F::kDialog},
  {选择框7,   "选择框7",   K::kCheckBox,    "保存到软件所在目录",  424, 365, 128,  12, kInsertPage, kChecked, kNoRadioGroup, F::kDialog},
  {按钮8,     "按钮8",     K::kIconButton,  "添加文件",            148, 342,  88,  32, kInsertPage, kPlain, kNoRadioGroup, F::kDialog},
  {按钮4,     "按钮4",     K::kIconButton,  "开始处理",            306, 342,  88,  32, kInsertPage, kPlain, kNoRadioGroup, F::kDialog},
};

constexpr const char* kTabPages[] = {"分割文本", "合并文本", "插入文字"};

constexpr ListColumnLayout kListColumns[] = {
  {超级列表框1, "文件名", 70},  {超级列表框1, "文件位置", 120}, {超级列表框1, "文件大小(KB)", 92},
  {超级列表框1, "编码", 100},
  {超级列表框2, "文件名", 120}, {超级列表框2, "文件位置", 280}, {超级列表框2, "编码", 100},
  {超级列表框3, "文件名", 95}, {超级列表框3, "文件位置", 180}, {超级列表框3, "文件长度（Byte）", 125},
  {超级列表框3, "编码", 100},
};

constexpr StatusPaneLayout kStatusPanes[] = {{"当前状态:", 200}, {"保存目录:", 376}};

constexpr MenuLayout kMenus[] = {
  {MenuName::k菜单, "菜单", true},
  {MenuName::k关于, "关于", true},
  {MenuName::k托盘菜单, "托盘菜单", false},
  {MenuName::k编码, "编码", false},
};

constexpr MenuItemLayout kMenuItems[] = {
  {MenuName::k菜单, kMenuAdd, "添加"},
  {MenuName::k菜单, kMenuDelete, "删除"},
  {MenuName::k菜单, kMenuDeleteAll, "全部删除"},
  {MenuName::k菜单, kMenuMoveUp, "上移"},
  {MenuName::k菜单, kMenuMoveDown, "下移"},
  {MenuName::k菜单, kMenuMoveToTop, "移到最前"},
  {MenuName::k菜单, kMenuMoveToBottom, "移到最后"},
  {MenuName::k菜单, kMenuSortByName, "按文件名排序"},
  {MenuName::k菜单, kMenuOpenFolder, "打开保存目录"},
  {MenuName::k关于, kMenuFeedback, "问题反馈"},
  {MenuName::k关于, kMenuAbout, "关于 Travik"},
  {MenuName::k托盘菜单, kMenuShowWindow, "显示界面"},
  {MenuName::k托盘菜单, kMenuExit, "退出"},
  {MenuName::k编码, kMenuEncodingAuto, "自动"},
  {MenuName::k编码, kMenuEncodingGbk, "GBK"},
  {MenuName::k编码, kMenuEncodingGb18030, "GB18030"},
  {MenuName::k编码, kMenuEncodingUtf8, "UTF-8"},
  {MenuName::k编码, kMenuEncodingBig5, "Big5"},
};
// clang-format on

}  // namespace

const WindowLayout& MainWindowLayout() { return kMainWindow_; }
Table<ControlLayout> Controls() { return kControls; }
Table<const char*> TabPages() { return kTabPages; }
Table<ListColumnLayout> ListColumns() { return kListColumns; }
Table<StatusPaneLayout> StatusPanes() { return kStatusPanes; }
Table<MenuLayout> Menus() { return kMenus; }
Table<MenuItemLayout> MenuItems() { return kMenuItems; }

const ControlLayout& LayoutOf(ControlId id) {
  for (const ControlLayout& row : kControls) {
    if (row.id == id) return row;
  }
  return kControls[0];  // not reached for the ids of the enumeration
}

Anchor AnchorOf(ControlId id) {
  constexpr Anchor kStays = {0, 0, 0, 0}, kGrows = {0, 0, 2, 2}, kRight = {2, 0, 0, 0},
                   kDown = {0, 2, 0, 0}, kCorner = {2, 2, 0, 0}, kDownWide = {0, 2, 2, 0};
  switch (id) {
    case 选择夹1:
    case 分组框3: case 超级列表框1:
    case 分组框4: case 超级列表框2:
    case 分组框6: case 超级列表框3:
      return kGrows;
    case 透明标签1:
      return {1, 1, 0, 0};  // stays in the middle
    case 分组框9: case 单选框1: case 编辑框1: case 标签3: case 单选框2: case 编辑框2: case 标签4:
    case 单选框3: case 编辑框3: case 按钮9: case 分组框2: case 单选框4: case 单选框5: case 单选框6:
    case 编辑框6:
      return kRight;
    case 分组框1: case 编辑框10:
    case 分组框5: case 编辑框4:
    case 分组框7: case 编辑框7: case 分组框8: case 编辑框9:
      return kDownWide;
    case 按钮6: case 选择框4: case 选择框3:
    case 按钮3: case 选择框2: case 选择框6:
    case 选择框1: case 选择框5: case 选择框7:
      return kCorner;
    case 标签13: case 按钮1: case 按钮5:
    case 标签7: case 编辑框5: case 透明标签2: case 标签6: case 按钮7: case 按钮2:
    case 标签8: case 标签10: case 编辑框8: case 标签11: case 按钮8: case 按钮4:
      return kDown;
    default:
      return kStays;
  }
}

int PageOf(ControlId id) {
  while (id >= 选择夹1) id = LayoutOf(id).parent;
  return id == kMainWindow ? -1 : id - kSplitPage;
}

RECT RectInContainer(ControlId id) {
  const ControlLayout& row = LayoutOf(id);
  RECT rect = {row.left, row.top, row.left + row.width, row.top + row.height};
  if (row.parent >= 选择夹1) {
    RECT frame = RectInContainer(row.parent);
    OffsetRect(&rect, frame.left, frame.top);
  }
  return rect;
}

RECT RectInMainWindow(ControlId id) {
  RECT rect = RectInContainer(id);
  if (PageOf(id) >= 0) {
    const ControlLayout& tab = LayoutOf(选择夹1);
    OffsetRect(&rect, tab.left, tab.top);
  }
  return rect;
}

}  // namespace travik::ui
