// The three start buttons: each fills its job's form from its page and runs the job with the
// window as host.
#include "core/files.h"
#include "core/text.h"
#include "merge/merge_job.h"
#include "ui/handlers.h"
#include "ui/main_window.h"
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

// The merge page's host: the notice of a missing save folder ticks 选择框6 as soon as it has
// been read, since the job then writes into the program's folder.
class MergeHost : public WindowHost {
 public:
  explicit MergeHost(MainWindow& window) : WindowHost(window), window_(window) {}
  void ShowMessage(const std::string& text) override {
    WindowHost::ShowMessage(text);
    if (text == kNoFolderNotice) window_.SetChecked(选择框6, true);
  }

 private:
  MainWindow& window_;
};

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

}  // namespace

void RunSplitJob(MainWindow& window) {
  SplitForm form;
  form.rows = window.Rows(超级列表框1);
  form.save_in_program_folder = window.Checked(选择框3);
  form.chosen_folder = window.Text(编辑框10);
  form.naming = NamingOf(window);
  form.mode = SplitModeOf(window);
  form.size_text = window.Text(编辑框1);
  form.parts_text = window.Text(编辑框2);
  form.keyword_text = window.Text(编辑框3);
  form.custom_text = window.Text(编辑框6);
  form.write_merge_script = window.Checked(选择框4);
  form.program_folder = ProgramDirectory();
  WindowHost host(window);
  SplitJob(form, window.jobs().split, host);
  TellRenamedOutputs(host, window.jobs().split.renamed_folders, "分割文件保存在");
}

void RunMergeJob(MainWindow& window) {
  MergeForm form;
  form.rows = window.Rows(超级列表框2);
  form.merged_name = window.Text(编辑框5);
  form.chosen_folder = window.Text(编辑框4);
  form.save_in_program_folder = window.Checked(选择框6);
  form.delete_sources = window.Checked(选择框2);
  form.program_folder = ProgramDirectory();
  MergeHost host(window);
  MergeJob(form, host);
}

void RunInsertJob(MainWindow& window) {
  InsertForm form;
  form.rows = window.Rows(超级列表框3);
  form.text_to_insert = window.Text(编辑框7);
  form.keyword_text = window.Text(编辑框8);
  form.every_text = window.Text(编辑框9);
  form.random = window.Checked(选择框1);
  form.keep_original = window.Checked(选择框5);
  form.use_program_folder = window.Checked(选择框7);
  form.output_folder = window.jobs().insert.output_folder;
  form.program_folder = ProgramDirectory();
  WindowHost host(window);
  InsertJob(form, window.jobs().insert, host);
  TellRenamedOutputs(host, window.jobs().insert.renamed_copies, "副本存为");
}

}  // namespace travik::ui
