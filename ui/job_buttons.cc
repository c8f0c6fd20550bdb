// The three start buttons: each fills its job's form from its page and runs the job with the
// window as host.
#include "core/files.h"
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

// The split job with the page's form, in `mode` and with `keyword` for 编辑框3.
void RunSplit(MainWindow& window, const KeywordChoice& keyword, SplitMode mode) {
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
  form.custom_text = window.Text(编辑框6);
  form.write_merge_script = window.Checked(选择框4);
  form.program_folder = ProgramDirectory();
  WindowHost host(window);
  SplitJob(form, window.jobs().split, host);
}

}  // namespace

void RunSplitJob(MainWindow& window) {
  RunSplit(window, KeywordChoiceOf(window.Text(编辑框3)), SplitModeOf(window));
}

void RunSplitJob(MainWindow& window, const KeywordChoice& keyword) {
  RunSplit(window, keyword, SplitMode::kByKeyword);
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
}

}  // namespace travik::ui
