#include "ui/window_host.h"

#include "core/text.h"
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

std::string FailureReportText(const std::vector<FileFailure>& failures) {
  std::string text =
      JoinText("以下 ", NumberToText(static_cast<int>(failures.size())), " 个文件未能完整处理：");
  for (const FileFailure& failure : failures) {
    text += JoinText("\r\n", failure.path, "：", failure.reason);
  }
  return text;
}

}  // namespace travik::ui
