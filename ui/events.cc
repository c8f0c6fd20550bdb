// Which handler serves which click and which menu item: the event table of the layout.
#include "ui/chapter_preview.h"
#include "ui/handlers.h"
#include "ui/main_window.h"
#ifdef TRAVIK_HAVE_WIDGETS
#include "ui/widgets.h"
#endif

namespace travik::ui {

void OnControlClicked(MainWindow& window, ControlId id) {
  window.HideHint();  // a hint is for the box pressed into, gone at the next click
  if (LayoutOf(id).kind == ControlKind::kRadioButton) KeepRadioGroup(window, id);
  switch (id) {
    case 按钮1:
      AddFiles(window, 超级列表框1);
      break;
    case 按钮7:
      AddFiles(window, 超级列表框2);
      break;
    case 按钮8:
      AddFiles(window, 超级列表框3);
      break;
    case 单选框1:
    case 单选框2:
    case 单选框3:
      OnSplitModeClicked(window, id);
      break;
    case 单选框6:
      OnCustomNamingClicked(window);
      break;
    case 按钮3:
    case 按钮6:
      BrowseSaveFolder(window, id);
      break;
    case 选择框3:
    case 选择框6:
      OnProgramFolderBoxClicked(window);
      break;
    case 选择框7:
      OnInsertProgramFolderBoxClicked(window);
      break;
    case 按钮5:
      RunSplitJob(window);
      break;
    case 按钮9:
      ChapterPreview::Open(window);
      break;
    case 按钮2:
      RunMergeJob(window);
      break;
    case 按钮4:
      RunInsertJob(window);
      break;
    default:
      break;  // 选择框1, 2, 4, 5 and 单选框4, 5 only toggle
  }
}

void OnMenuCommand(MainWindow& window, int command) {
  // The list of a running job stays as the job read it.
  const bool list_busy = window.runner().page() == window.CurrentPage();
  const bool changes_list = command == kMenuAdd || command == kMenuDelete ||
                            command == kMenuDeleteAll || command == kMenuSortByName ||
                            (command >= kMenuMoveUp && command <= kMenuMoveToBottom) ||
                            (command >= kMenuEncodingAuto && command <= kMenuEncodingBig5);
  if (list_busy && changes_list) return;
  // A command on the rows acts on the whole list, not on the part added so far.
  if (changes_list && command != kMenuAdd) window.FinishAddingRows();
  switch (command) {
    case kMenuAdd:
      AddToCurrentList(window);
      break;
    case kMenuDelete:
      DeleteSelectedRow(window);
      break;
    case kMenuDeleteAll:
      DeleteAllRows(window);
      break;
    case kMenuMoveUp:
    case kMenuMoveDown:
    case kMenuMoveToTop:
    case kMenuMoveToBottom:
      MoveSelectedRow(window, command);
      break;
    case kMenuSortByName:
      SortByName(window);
      break;
    case kMenuOpenFolder:
      OpenLastJobFolder(window);
      break;
    case kMenuEncodingAuto:
    case kMenuEncodingGbk:
    case kMenuEncodingGb18030:
    case kMenuEncodingUtf8:
    case kMenuEncodingBig5:
      SetEncodingOfSelectedRows(window, command);
      break;
    case kMenuFeedback:
#ifdef TRAVIK_HAVE_WIDGETS
      ShowFeedbackWindow(window.hwnd());
#endif
      break;
    case kMenuAbout:
      ShowAbout(window);
      break;
    case kMenuShowWindow:
      window.Restore();
      break;
    case kMenuExit:
      SendMessageW(window.hwnd(), WM_CLOSE, 0, 0);
      break;
    default:
      break;
  }
}

}  // namespace travik::ui
