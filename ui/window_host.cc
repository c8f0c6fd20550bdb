#include "ui/window_host.h"

#include <string>

#include "text/text.h"
#include "ui/main_window.h"
#ifdef TRAVIK_HAVE_WIDGETS
#include "ui/widgets.h"
#endif

namespace travik::ui {

void WindowHost::ShowMessage(const std::string& text) {
  window_.desktop().ShowMessageBox(window_.hwnd(), text, "提示");
}

void WindowHost::SetStatusPane(int index, const std::string& text) {
  window_.SetStatusPane(index, text);
}

std::string WindowHost::StatusPane(int index) const { return window_.StatusPane(index); }

void WindowHost::ShowCompletionNotice() {
  window_.SetNotice("任务完成！");
#ifdef TRAVIK_HAVE_WIDGETS
  PlayCompletionSound();
#endif
  window_.desktop().Pause(kNoticeMilliseconds);
  window_.SetNotice("");
}

void WindowHost::ReportFailures(const std::vector<FileFailure>& failures) {
  if (failures.empty()) return;
  ShowMessage(FailureReportText(failures));
}

void WindowHost::ReportResults(const std::vector<FileResult>& results) {
  if (results.empty()) return;
  ShowMessage(ResultReportText(results));
}

std::string ResultReportText(const std::vector<FileResult>& results) {
  std::string text = JoinText("已处理 ", std::to_string(results.size()), " 个文件：");
  for (size_t i = 0; i < results.size() && i < kMaxResultLines; ++i) {
    text += JoinText("\r\n", results[i].path, "：", results[i].summary);
  }
  if (results.size() > kMaxResultLines) {
    text += JoinText("\r\n……另有 ", std::to_string(results.size() - kMaxResultLines), " 个文件");
  }
  return text;
}

std::string FailureReportText(const std::vector<FileFailure>& failures) {
  std::string text =
      JoinText("以下 ", NumberToText(static_cast<int>(failures.size())), " 个文件未能完整处理：");
  for (const FileFailure& failure : failures) {
    text += JoinText("\r\n", failure.path, "：", failure.reason);
  }
  return text;
}

std::string WarningReportText(const std::vector<FileFailure>& warnings) {
  std::string text = "以下文件已处理，请留意：";
  for (const FileFailure& warning : warnings) {
    text += JoinText("\r\n", warning.path, "：", warning.reason);
  }
  return text;
}

}  // namespace travik::ui
