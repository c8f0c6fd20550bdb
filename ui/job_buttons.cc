// The three start buttons: each fills its job's form from its page (the controls are read once,
// here) and runs the job on a worker thread; the job's state is copied in and out, so the window
// never shares it with the running job.
#include <algorithm>
#include <memory>
#include <string>

#include "files/files.h"
#include "text/text.h"
#include "merge/merge_job.h"
#include "ui/handlers.h"
#include "ui/main_window.h"
#include "ui/job_runner.h"
#include "ui/window_host.h"

namespace travik::ui {

namespace {

PieceNaming NamingOf(const MainWindow& window) {
  if (window.Checked(单选框4)) return PieceNaming::kNumber;
  if (window.Checked(单选框5)) return PieceNaming::kKeyword;
  if (window.Checked(单选框6)) return PieceNaming::kCustom;
  return PieceNaming::kUnchecked;
}

SplitMode SplitModeOf(const MainWindow& window) {
  if (window.Checked(单选框1)) return SplitMode::kBySize;
  if (window.Checked(单选框2)) return SplitMode::kByCount;
  if (window.Checked(单选框3)) return SplitMode::kByKeyword;
  return SplitMode::kUnchecked;
}

// A click on the start button of the page whose job runs stops that job. True when it did.
bool StopsRunningJob(MainWindow& window, int page) {
  if (!window.runner().running()) return false;
  if (window.runner().page() == page) window.runner().RequestStop();
  return true;
}

// Outputs that got a name of their own because an earlier file of the job had theirs ("小说(2)"):
// counted in the status bar and named in a box, so nobody looks for them under the first name.
void TellRenamedOutputs(WindowHost& host, const std::vector<std::string>& renamed,
                        std::string_view what) {
  if (renamed.empty()) return;
  host.SetStatusPane(0, JoinText(host.StatusPane(0), "，", NumberToText(static_cast<int>(
                                     renamed.size())), " 个同名文件另存"));
  std::string text = JoinText("同名文件的", what, "：");
  for (const std::string& path : renamed) text += JoinText("\r\n", path);
  host.ShowMessage(text);
}

// Files of a split by size that the size does not cut (their size on disk is not larger than
// it): each is its one piece, which the summary says rather than leaving it to be found.
int FilesNotCut(const SplitForm& form) {
  if (form.mode != SplitMode::kBySize) return 0;
  const double piece = TextToNumber(form.size_text) * 1024.0;
  int count = 0;
  for (const FileEntry& row : form.rows) {
    const int64_t size = FileSizeOf(row.path);
    if (size > 0 && static_cast<double>(size) <= piece) ++count;
  }
  return count;
}

// The split job with `form`, filled from the page.
void RunSplit(MainWindow& window, const SplitForm& form) {
  auto context = std::make_shared<SplitContext>(window.jobs().split);
  const int not_cut = FilesNotCut(form);
  window.runner().Start(
      0, JobKind::kSplit, false, [form, context](JobHost& host) { SplitJob(form, *context, host); },
      [&window, context, not_cut] {
        window.jobs().split = *context;
        WindowHost host(window);
        if (not_cut > 0 && host.StatusPane(0).find("已完成") != std::string::npos) {
          host.SetStatusPane(0, JoinText(host.StatusPane(0), "，", NumberToText(not_cut),
                                         kNotCutNote));
        }
        TellRenamedOutputs(host, context->renamed_folders, "分割文件保存在");
        if (!context->device_folders.empty()) {
          std::string text = "文件名是 Windows 的设备名，分割文件保存在：";
          for (const std::string& path : context->device_folders) text += JoinText("\r\n", path);
          host.ShowMessage(text);
        }
      });
}

}  // namespace

SplitForm SplitFormOf(const MainWindow& window, const KeywordChoice& keyword, SplitMode mode) {
  SplitForm form;
  form.rows = window.Rows(超级列表框1);
  form.save_in_program_folder = window.Checked(选择框3);
  form.chosen_folder = window.Text(编辑框10);
  form.naming = NamingOf(window);
  form.mode = mode;
  form.size_text = window.Text(编辑框1);
  form.parts_text = window.Text(编辑框2);
  // An entry of the keyword box cuts at the chapter finder's headings; typed text is a keyword.
  form.keyword_text = keyword.keyword;
  form.find_chapters = keyword.find_chapters;
  form.chapter_presets = keyword.presets;
  form.chapter_form = keyword.form;
  form.custom_text = window.Text(编辑框6);
  form.write_merge_script = window.Checked(选择框4);
  form.program_folder = ProgramDirectory();
  return form;
}

MergeForm MergeFormOf(const MainWindow& window) {
  MergeForm form;
  form.rows = window.Rows(超级列表框2);
  form.merged_name = window.Text(编辑框5);
  form.chosen_folder = window.Text(编辑框4);
  form.save_in_program_folder = window.Checked(选择框6);
  form.delete_sources = window.Checked(选择框2);
  form.program_folder = ProgramDirectory();
  return form;
}

InsertForm InsertFormOf(const MainWindow& window) {
  InsertForm form;
  form.rows = window.Rows(超级列表框3);
  // As typed, every character: the job puts it into each file's encoding, and a file whose
  // encoding lacks one of them refuses it rather than taking "?" for it.
  form.text_to_insert = window.Text(编辑框7);
  form.keyword_text = window.Text(编辑框8);
  form.every_text = window.Text(编辑框9);
  // Both boxes filled: the chosen option says which is used. One filled: that one.
  if (!form.keyword_text.empty() && !form.every_text.empty()) {
    form.place = window.Checked(标签11) ? InsertPlace::kLength : InsertPlace::kKeyword;
  }
  form.random = window.Checked(选择框1);
  form.keep_original = window.Checked(选择框5);
  form.use_program_folder = window.Checked(选择框7);
  form.output_folder = window.jobs().insert.output_folder;
  form.program_folder = ProgramDirectory();
  return form;
}

void RunSplitJob(MainWindow& window) {
  if (StopsRunningJob(window, 0)) return;
  window.FinishAddingRows();  // the job reads the whole list
  RunSplit(window, SplitFormOf(window, KeywordChoiceOf(window.Text(编辑框3)), SplitModeOf(window)));
}

void RunSplitJob(MainWindow& window, const KeywordChoice& keyword, std::string_view path) {
  if (window.runner().running()) return;  // the preview starts no second job
  window.FinishAddingRows();
  SplitForm form = SplitFormOf(window, keyword, SplitMode::kByKeyword);
  // That file's row alone (its first, should the list name it twice), with its encoding choice.
  auto row = std::find_if(form.rows.begin(), form.rows.end(),
                          [path](const FileEntry& entry) { return entry.path == path; });
  if (row == form.rows.end()) {
    window.desktop().ShowMessageBox(window.hwnd(), JoinText(path, "：已不在分割列表中"), "提示");
    return;
  }
  form.rows = {*row};
  RunSplit(window, form);
}

void RunMergeJob(MainWindow& window) {
  if (StopsRunningJob(window, 1)) return;
  window.FinishAddingRows();  // the job reads the whole list
  MergeForm form = MergeFormOf(window);
  // Sources go to the Recycle Bin, on the window's thread, after the merged file is complete.
  JobRunner& runner = window.runner();
  form.remove_source = [&window, &runner](const std::string& path) {
    bool gone = false;
    runner.CallOnWindow([&] { gone = window.desktop().RecycleFile(path); });
    return gone;
  };
  // The notice of a missing save folder ticks 选择框6 as soon as it has been read, since the job
  // then writes into the program's folder.
  runner.OnMessageRead([&window](const std::string& text) {
    if (text == kNoFolderNotice) window.SetChecked(选择框6, true);
  });
  auto result = std::make_shared<MergeResult>();
  runner.Start(
      1, JobKind::kMerge, false, [form, result](JobHost& host) { MergeJob(form, host, result.get()); },
      [&window, result, delete_sources = form.delete_sources] {
        // The rows of sources that went to the Recycle Bin go from the list too.
        if (!delete_sources || result->sources_deleted == 0) return;
        for (int row = window.RowCount(超级列表框2) - 1; row >= 0; --row) {
          if (FileSizeOf(window.Cell(超级列表框2, row, 1)) < 0) window.DeleteRow(超级列表框2, row);
        }
      });
}

void RunInsertJob(MainWindow& window) {
  if (StopsRunningJob(window, 2)) return;
  window.FinishAddingRows();  // the job reads the whole list
  InsertForm form = InsertFormOf(window);
  // The option shows the box the job uses.
  if (form.place == InsertPlace::kFilled && !form.random) {
    if (!form.keyword_text.empty()) SelectInsertPlace(window, 编辑框8);
    if (form.keyword_text.empty() && !form.every_text.empty()) SelectInsertPlace(window, 编辑框9);
  }
  auto context = std::make_shared<InsertContext>(window.jobs().insert);
  const bool in_place = !form.keep_original;
  window.runner().Start(
      2, JobKind::kInsert, in_place,
      [form, context](JobHost& host) { InsertJob(form, *context, host); },
      [&window, context, in_place] {
        window.jobs().insert = *context;
        WindowHost host(window);
        TellRenamedOutputs(host, context->renamed_copies, "副本存为");
        if (!in_place) return;
        // Files changed in place: the size column shows their new length.
        for (int row = 0; row < window.RowCount(超级列表框3); ++row) {
          const int64_t size = FileSizeOf(window.Cell(超级列表框3, row, 1));
          if (size >= 0) window.SetCell(超级列表框3, row, 2, std::to_string(size));
        }
      });
}

}  // namespace travik::ui
