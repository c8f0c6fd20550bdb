// The event handlers of the main window, by the layout names of the controls they serve.
// Each reads and writes controls through MainWindow and shows what it must through its host or
// the window's DesktopCalls.
#ifndef TRAVIK_UI_HANDLERS_H_
#define TRAVIK_UI_HANDLERS_H_

#include <string>
#include <string_view>
#include <vector>

#include "insert/insert_job.h"
#include "merge/merge_job.h"
#include "split/split_job.h"
#include "ui/keyword_box.h"
#include "ui/layout.h"

namespace travik::ui {

class MainWindow;

// events.cc: which handler serves which control and menu item.
void OnControlClicked(MainWindow& window, ControlId id);
void OnMenuCommand(MainWindow& window, int command);

// file_lists.cc: the three file lists.
// 按钮1 / 按钮7 / 按钮8 and "添加": every file chosen in the dialog into the list, in natural
// order of their names (added in batches: see MainWindow::QueueRows); the merge list also
// proposes the merged name in 编辑框5.
void AddFiles(MainWindow& window, ControlId list);
// Files and folders dropped on the window: the files, then each folder's ".txt" files (not those
// of its sub-folders), each group in natural order, into `list` as AddFiles adds them.
void AddDroppedPaths(MainWindow& window, ControlId list, std::vector<std::string> files,
                     std::vector<std::string> folders);
// "添加": AddFiles for the list of the page shown.
void AddToCurrentList(MainWindow& window);
// "删除" and the Delete key: the shown page's selected rows, if any.
void DeleteSelectedRow(MainWindow& window);
// Ctrl+A in a list: every row selected.
void SelectAllRows(MainWindow& window, ControlId list);
// "全部删除": every row of the shown page's list.
void DeleteAllRows(MainWindow& window);
// "上移", "下移", "移到最前", "移到最后": the selected row of the shown page's list.
void MoveSelectedRow(MainWindow& window, int command);
// "按文件名排序": the shown page's rows in natural order of their file names (2 before 10,
// 第二章 before 第十章); rows of equal names keep their order.
void SortByName(MainWindow& window);
// "自动", "GBK", "GB18030", "UTF-8": how the encoding of the shown page's selected rows is
// decided (their column "编码" shows it).
void SetEncodingOfSelectedRows(MainWindow& window, int command);
// Enables the items of "菜单" that can act on `list`: none that change it while its page's job
// runs, "删除" with a selected row, "全部删除" with rows, the moves where the row can go.
void EnableListMenu(MainWindow& window, HMENU menu, ControlId list);
// Right-click on a list: "菜单" at the cursor with "删除" and "全部删除" enabled to fit the list,
// then the encoding choices for the selected row, its present one checked.
void ShowListMenu(MainWindow& window, ControlId list);

// "关于 Travik": the program's name, version and licence, and where it keeps its settings.
void ShowAbout(MainWindow& window);

// options.cc: radio rules, value boxes and hints.
// 单选框1/2/3 clicked: 单选框5 is choosable exactly when 单选框3 is checked.
void OnSplitModeClicked(MainWindow& window, ControlId radio);
// 单选框6 clicked: 编辑框6 enabled and focused.
void OnCustomNamingClicked(MainWindow& window);
// 编辑框8 / 编辑框9 entered: its option (标签10 / 标签11) is chosen, the other not, so the box the
// insert job uses is the one the person last went into.
void SelectInsertPlace(MainWindow& window, ControlId edit);
// Keeps exactly one radio of the clicked radio's group checked.
void KeepRadioGroup(MainWindow& window, ControlId radio);
// Mouse pressed in an edit box (after the box's own handling).
void OnEditMouseDown(MainWindow& window, ControlId edit);
// The keyword box's list opened or an entry of it chosen: keyword mode, as a press into the box
// selects it, without the hint over the list.
void OnKeywordListUsed(MainWindow& window);
// True for a typed character a numeric box accepts: control characters, digits and "-".
bool AcceptsNumberChar(wchar_t c);
// A numeric box's text as it reads after focus loss: the leading integer (after blanks, with its
// sign) without leading zeros, every digit of it kept however large; empty for 0 or no digits.
std::string NormalisedNumberText(std::string_view text);
// 编辑框1, 编辑框2, 编辑框9 lost the focus: normalise the text, keeping the caret.
void NormaliseNumberBox(MainWindow& window, ControlId edit);

// save_location.cc: save folders and the status bar.
// 按钮6 / 按钮3: choose a folder into 编辑框10 / 编辑框4 (cancel clears it).
void BrowseSaveFolder(MainWindow& window, ControlId button);
// 选择框3 / 选择框6 clicked: pane 1 shows the program's folder.
void OnProgramFolderBoxClicked(MainWindow& window);
// 选择框7 clicked: the program's "\处理后的文件" folder, or a chosen one when unticked.
void OnInsertProgramFolderBoxClicked(MainWindow& window);
// Both panes from the shown page: its task count and its save folder (not while a job runs).
void RefreshStatusBar(MainWindow& window);
// Mouse pressed on the status bar: opens the folder of pane 1 when it exists.
void OpenSaveFolder(MainWindow& window);
// "打开保存目录": the folder of the last job's files, else that of pane 1, in Explorer.
void OpenLastJobFolder(MainWindow& window);

// After a split by size, told in the status bar after the count of the files whose size on disk
// the piece size is not smaller than: each of them is one piece, the whole file.
inline constexpr char kNotCutNote[] = " 个文件不大于欲分割大小，整个文件为 1 个分割文件";

// job_buttons.cc: the start buttons fill their job's form from the page and run it on a worker
// thread; while it runs, the page's start button stops it.
void RunSplitJob(MainWindow& window);   // 按钮5
// The split job as 按钮5 starts it, but of the list's file `path` alone, in keyword mode with what
// `keyword` asks for instead of 编辑框3's text (the chapter preview's cuts of the file it shows).
void RunSplitJob(MainWindow& window, const KeywordChoice& keyword, std::string_view path);
void RunMergeJob(MainWindow& window);   // 按钮2
void RunInsertJob(MainWindow& window);  // 按钮4
// The forms as the start buttons fill them from their pages (each row with its encoding choice);
// the merge form without its `remove_source`.
SplitForm SplitFormOf(const MainWindow& window, const KeywordChoice& keyword, SplitMode mode);
MergeForm MergeFormOf(const MainWindow& window);
InsertForm InsertFormOf(const MainWindow& window);

}  // namespace travik::ui

#endif  // TRAVIK_UI_HANDLERS_H_
