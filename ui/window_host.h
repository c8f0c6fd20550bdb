// The job host of the main window: message boxes with the caption "提示", the status bar, the
// completion notice on 透明标签1 and one message box listing the files that failed.
#ifndef TRAVIK_UI_WINDOW_HOST_H_
#define TRAVIK_UI_WINDOW_HOST_H_

#include <string>
#include <vector>

#include "core/job_host.h"

namespace travik::ui {

class MainWindow;

// How long "任务完成！" stays on 透明标签1.
inline constexpr int kNoticeMilliseconds = 500;

class WindowHost : public JobHost {
 public:
  explicit WindowHost(MainWindow& window) : window_(window) {}

  // A task-modal box with the caption "提示" and an OK button.
  void ShowMessage(const std::string& text) override;
  // Sets the pane and repaints the status bar at once (the job blocks the message loop).
  void SetStatusPane(int index, const std::string& text) override;
  std::string StatusPane(int index) const override;
  // "任务完成！" on 透明标签1 for 500 ms while the completion sound plays, then empty again.
  void ShowCompletionNotice() override;
  // One "提示" box naming every failed file with its reason.
  void ReportFailures(const std::vector<FileFailure>& failures) override;
  // One "提示" box with a "path：summary" line per file.
  void ReportResults(const std::vector<FileResult>& results) override;

 private:
  MainWindow& window_;
};

// The text of the failure box: a heading, then one "path：reason" line per file.
std::string FailureReportText(const std::vector<FileFailure>& failures);
// The text of the box of warnings on files that were read whole (a 0x1A kept): a heading, then
// one "path：warning" line each.
std::string WarningReportText(const std::vector<FileFailure>& warnings);
// The text of the results box: a heading, then one "path：summary" line per file, the first
// kMaxResultLines of them and a line saying how many more there are.
inline constexpr size_t kMaxResultLines = 30;
std::string ResultReportText(const std::vector<FileResult>& results);

}  // namespace travik::ui

#endif  // TRAVIK_UI_WINDOW_HOST_H_
