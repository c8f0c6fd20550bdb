#include "ui/job_runner.h"

#include <commctrl.h>

#include <algorithm>
#include <set>

#include "files/file_entry.h"
#include "files/files.h"
#include "text/text.h"
#include "ui/handlers.h"
#include "ui/main_window.h"
#include "ui/window_host.h"
#ifdef TRAVIK_HAVE_WIDGETS
#include "ui/widgets.h"
#endif

namespace travik::ui {

namespace {

// The start button of each page.
constexpr ControlId kStartButtons[] = {按钮5, 按钮2, 按钮4};

// The folder part of a path ("" for a bare name). A path is UTF-8, where no byte of a longer
// character has the separator's value: every such byte is a separator.
std::string FolderOf(const std::string& path) {
  const size_t last = path.rfind(kPathSeparator);
  return last == std::string::npos || last == 0 ? std::string() : path.substr(0, last);
}

// Changes a control without painting it there and then: it repaints on its own WM_PAINT, so
// that the window answers other messages between the controls' paints. (A hidden control paints
// nothing, and WM_SETREDRAW would show it.)
template <typename Change>
void ChangeQuietly(HWND control, Change change) {
  const bool visible = IsWindowVisible(control) != FALSE;
  if (visible) SendMessageW(control, WM_SETREDRAW, FALSE, 0);
  change();
  if (visible) {
    SendMessageW(control, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(control, nullptr, TRUE);
  }
}

// Radio buttons and check boxes change as they are: they repaint on their own WM_PAINT anyway,
// and under Wine the hiding that WM_SETREDRAW does lays the page's background over the frame
// they stand in (自定义＋编号 cut the naming frame's border after every job).
void EnableQuietly(HWND control, bool enable) {
  wchar_t class_name[16] = {};
  GetClassNameW(control, class_name, 16);
  const LONG_PTR kind = GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK;
  if (lstrcmpiW(class_name, WC_BUTTONW) == 0 &&
      (kind == BS_AUTORADIOBUTTON || kind == BS_RADIOBUTTON || kind == BS_AUTOCHECKBOX ||
       kind == BS_CHECKBOX)) {
    EnableWindow(control, enable);
    return;
  }
  ChangeQuietly(control, [&] { EnableWindow(control, enable); });
}

}  // namespace

std::string GroupedNumber(int64_t n) {
  std::string digits = std::to_string(n < 0 ? -n : n);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return n < 0 ? "-" + grouped : grouped;
}

std::string CommonFolder(const std::vector<std::string>& paths) {
  if (paths.empty()) return {};
  std::set<std::string> folders;
  for (const std::string& path : paths) folders.insert(FolderOf(path));
  std::string common = *folders.begin();
  for (;;) {
    bool holds_all = true;
    for (const std::string& folder : folders) {
      // An equal byte prefix followed by a separator is the same folder there: the prefix ends
      // on a whole character, as the separator begins one.
      const bool inside = folder == common ||
                          (folder.size() > common.size() && folder.compare(0, common.size(), common) == 0 &&
                           folder.compare(common.size(), 1, kPathSeparator) == 0);
      if (!inside) {
        holds_all = false;
        break;
      }
    }
    if (holds_all || common.empty()) return common;
    common = FolderOf(common);
  }
}

std::string JobSummary(JobKind kind, const JobTally& tally, bool in_place) {
  const int made = static_cast<int>(tally.written.size());
  const char* what = kind == JobKind::kSplit    ? " 个分割文件"
                     : kind == JobKind::kMerge  ? " 个合并后的文件"
                     : in_place                 ? " 个文件已插入文字"
                                                : " 个插入文字后的副本";
  const std::string folder = CommonFolder(tally.written);
  std::string text;
  if (tally.stopped) {
    // What was written in full, and the file the stop came in, if it was not finished.
    const char* written = kind == JobKind::kSplit    ? "已写入 %s 个分割文件"
                          : kind == JobKind::kMerge  ? "已写入合并后的文件"
                          : in_place                 ? "已修改 %s 个文件"
                                                     : "已写入 %s 个副本";
    if (made == 0) {
      text = kind == JobKind::kMerge ? "已停止：没有写入合并后的文件，原文件均未删除"
                                     : "已停止：没有写入文件";
    } else {
      std::string done = written;
      const size_t count = done.find("%s");
      if (count != std::string::npos) done.replace(count, 2, GroupedNumber(made));
      text = JoinText("已停止：", done, "，最后一个是 ", tally.written.back());
    }
    if (kind != JobKind::kMerge && !tally.current_done && !tally.current_file.empty()) {
      text += JoinText("；停在 ", FileNamePart(tally.current_file),
                       kind == JobKind::kInsert ? "，它未作修改" : "，其后的文本未分割");
    }
  } else {
    text = JoinText("已完成：", GroupedNumber(tally.files), " 个文件 → ", GroupedNumber(made), what);
    if (!folder.empty()) text += JoinText("，保存在 ", folder);
  }
  // Failures first: what went wrong is what a cut-off text must not hide.
  if (tally.failures > 0) {
    text = JoinText(NumberToText(tally.failures), " 个文件失败；", text);
  }
  return text;
}

// The host of a job on the worker thread: every call that touches the window is made on the
// window's thread and waited for; progress is posted.
class JobRunner::WorkerHost : public JobHost {
 public:
  WorkerHost(JobRunner& runner, MainWindow& window, HWND hwnd)
      : runner_(runner), window_(window), hwnd_(hwnd) {}

  void ShowMessage(const std::string& text) override {
    runner_.CallOnWindow([&] {
      window_.desktop().ShowMessageBox(window_.hwnd(), text, "提示");
      if (runner_.message_read_) runner_.message_read_(text);
    });
  }
  // Pane 0 shows the job's progress while it runs; the job's own text is kept for its end.
  void SetStatusPane(int index, const std::string& text) override {
    if (index == 0) {
      job_status_ = text;
      return;
    }
    runner_.CallOnWindow([&] { window_.SetStatusPane(index, text); });
  }
  std::string StatusPane(int index) const override {
    if (index == 0 && !job_status_.empty()) return job_status_;
    std::string text;
    runner_.CallOnWindow([&] { text = window_.StatusPane(index); });
    return text;
  }
  // The status bar says what was made before "任务完成！" is shown; a stopped job shows no notice.
  void ShowCompletionNotice() override {
    ShowWarnings();
    if (StopRequested() && !Finished()) return;
    runner_.CallOnWindow([&] {
      window_.SetStatusPane(0, JobSummary(runner_.kind_, tally_, runner_.in_place_));
      window_.SetNotice("任务完成！");
#ifdef TRAVIK_HAVE_WIDGETS
      PlayCompletionSound();
#endif
    });
    window_.desktop().Pause(kNoticeMilliseconds);
    runner_.CallOnWindow([&] { window_.SetNotice(""); });
  }
  // The counts per file (insertions made), in one box before any failures.
  void ReportResults(const std::vector<FileResult>& results) override {
    if (results.empty()) return;
    const std::string text = ResultReportText(results);
    runner_.CallOnWindow([&] { window_.desktop().ShowMessageBox(window_.hwnd(), text, "提示"); });
  }
  void ReportFailures(const std::vector<FileFailure>& failures) override {
    ShowWarnings();
    if (failures.empty()) return;
    tally_.failures += static_cast<int>(failures.size());
    // The report opens with the job's whole summary, which the status bar may have to shorten.
    JobTally so_far = tally_;
    so_far.stopped = StopRequested() && !Finished();
    const std::string text = JoinText(JobSummary(runner_.kind_, so_far, runner_.in_place_),
                                      "\r\n\r\n", FailureReportText(failures));
    runner_.CallOnWindow([&] { window_.desktop().ShowMessageBox(window_.hwnd(), text, "提示"); });
  }
  void Progress(int64_t done, int64_t total) override {
    if (total <= 0) return;
    // A split's file is done once its pieces hold all of its text.
    if (runner_.kind_ == JobKind::kSplit && done >= total) tally_.current_done = true;
    const int64_t files = std::max(tally_.files_listed, 1);
    const int64_t index = std::max(tally_.files - 1, 0);
    const int position = static_cast<int>(
        (index * kProgressRange + std::min(done, total) * kProgressRange / total) / files);
    // Steps of 0.5 % are enough for the bar; each one repaints it.
    if (position < posted_ + 5 && position >= posted_ && position != kProgressRange) return;
    posted_ = position;
    PostMessageW(hwnd_, kJobProgressMessage, static_cast<WPARAM>(position), 0);
  }
  void FileStarted(int index, int count, const std::string& path) override {
    tally_.files = index + 1;
    tally_.files_listed = count;
    tally_.current_file = path;
    tally_.current_done = false;
    const std::string text = JoinText("正在处理第 ", GroupedNumber(index + 1), " 个文件（共 ",
                                      GroupedNumber(count), " 个）：", FileNamePart(path));
    runner_.CallOnWindow([&] { window_.SetStatusPane(0, text); });
    Progress(0, 1);
  }
  void OutputWritten(const std::string& path) override {
    tally_.written.push_back(path);
    // An insertion writes one file per listed file, a merge one for all of them; a split's file
    // is done when its pieces hold all of its text.
    if (runner_.kind_ != JobKind::kSplit) tally_.current_done = true;
  }
  // Kept for one box at the end of the job: a box for each would stop the job at every file.
  void FileWarning(const std::string& path, const std::string& text) override {
    warnings_.push_back({path, text});
  }
  bool StopRequested() const override { return runner_.stop_; }
  // The job's work is all done: its last file is finished. A stop asked for after that stops
  // nothing.
  bool Finished() const {
    return tally_.files_listed > 0 && tally_.files == tally_.files_listed && tally_.current_done;
  }

  JobTally tally_;
  std::string job_status_;

 private:
  JobRunner& runner_;
  MainWindow& window_;
  HWND hwnd_;
  int posted_ = -1;
  std::vector<FileFailure> warnings_;

  void ShowWarnings() {
    if (warnings_.empty()) return;
    const std::string text = WarningReportText(warnings_);
    warnings_.clear();
    runner_.CallOnWindow([&] { window_.desktop().ShowMessageBox(window_.hwnd(), text, "提示"); });
  }
};

JobRunner::JobRunner(MainWindow& window) : window_(window) {}

JobRunner::~JobRunner() { StopAndWait(); }

void JobRunner::Start(int page, JobKind kind, bool in_place, Job job,
                      std::function<void()> after) {
  if (running()) return;
  page_ = page;
  kind_ = kind;
  in_place_ = in_place;
  job_ = std::move(job);
  after_ = std::move(after);
  stop_ = false;
  progress_ = 0;
  hwnd_ = window_.hwnd();
  host_ = std::make_unique<WorkerHost>(*this, window_, hwnd_);
  status_before_ = window_.StatusPane(0);
  // The job may replace or recycle a listed file: none is held open for the column meanwhile.
  window_.PauseRecognising();
  SetPageBusy(true);
  window_.SetStatusPane(0, "当前状态: 正在开始…");
  worker_ = CreateThread(nullptr, 0, ThreadMain, this, CREATE_SUSPENDED, nullptr);
  if (worker_ != nullptr) {
    // The window's thread comes first when both want the processor.
    SetThreadPriority(worker_, THREAD_PRIORITY_BELOW_NORMAL);
    ResumeThread(worker_);
  } else {  // no thread: the job runs here, as the window waits anyway
    job_(*host_);
    PostMessageW(hwnd_, kJobDoneMessage, 0, 0);
    worker_ = INVALID_HANDLE_VALUE;
  }
}

DWORD WINAPI JobRunner::ThreadMain(void* self) {
  JobRunner& runner = *static_cast<JobRunner*>(self);
  runner.job_(*runner.host_);
  PostMessageW(runner.hwnd_, kJobDoneMessage, 0, 0);
  return 0;
}

void JobRunner::CallOnWindow(const std::function<void()>& call) {
  if (closing_) return;
  if (GetCurrentThreadId() == GetWindowThreadProcessId(hwnd_, nullptr)) {
    call();
    return;
  }
  SendMessageW(hwnd_, kJobCallMessage, 0, reinterpret_cast<LPARAM>(&call));
}

void JobRunner::OnCall(LPARAM call) {
  if (closing_) return;
  (*reinterpret_cast<const std::function<void()>*>(call))();
}

void JobRunner::OnProgress(int position) {
  if (!running()) return;
  progress_ = position;
  SendMessageW(window_.progress_bar(), PBM_SETPOS, position, 0);
}

void JobRunner::Join() {
  if (worker_ == nullptr) return;
  if (worker_ != INVALID_HANDLE_VALUE) {
    // The worker may wait for one last call: serve the calls sent to this thread until it ends.
    for (;;) {
      DWORD woke = MsgWaitForMultipleObjects(1, &worker_, FALSE, INFINITE, QS_SENDMESSAGE);
      if (woke != WAIT_OBJECT_0 + 1) break;
      MSG message;
      PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(worker_);
  }
  worker_ = nullptr;
}

void JobRunner::OnDone() {
  if (!running()) return;
  Join();
  SetPageBusy(false);
  window_.ResumeRecognising();
  const bool finished = host_->Finished();
  JobTally tally = std::move(host_->tally_);
  tally.stopped = stop_ && !finished;
  const std::string job_status = host_->job_status_;
  host_.reset();
  if (tally.files > 0 || !tally.written.empty()) {
    // The page keeps its summary until its list changes, also while other pages are shown.
    window_.jobs().summary[page_] = JobSummary(kind_, tally, in_place_);
    window_.SetStatusPane(0, window_.jobs().summary[page_]);
    last_folder_ = CommonFolder(tally.written);
    if (!last_folder_.empty()) window_.SetStatusPane(1, JoinText("保存目录: ", last_folder_));
  } else {
    // The job's checks stopped it before any file: its own text, or the one before it.
    window_.SetStatusPane(0, job_status.empty() ? status_before_ : job_status);
  }
  std::function<void()> after = std::move(after_);
  job_ = nullptr;
  message_read_ = nullptr;
  if (after) after();
  if (close_when_done_) {
    close_when_done_ = false;
    DestroyWindow(window_.hwnd());
  }
}

void JobRunner::StopAndWait() {
  if (!running()) return;
  closing_ = true;
  stop_ = true;
  Join();
  window_.ResumeRecognising();
  host_.reset();
  job_ = nullptr;
  after_ = nullptr;
  message_read_ = nullptr;
  closing_ = false;
}

void JobRunner::SetPageBusy(bool busy) {
  const ControlId start = kStartButtons[page_];
  HWND button = window_.Control(start);
  if (busy) {
    disabled_.clear();
    for (const ControlLayout& row : Controls()) {
      // The page's inputs; its list stays enabled so that it can be scrolled and read (the
      // commands that change it wait for the job's end).
      const bool input = row.kind == ControlKind::kRadioButton ||
                         row.kind == ControlKind::kEditBox || row.kind == ControlKind::kComboBox ||
                         row.kind == ControlKind::kCheckBox || row.kind == ControlKind::kIconButton ||
                         row.kind == ControlKind::kPushButton;
      const bool on_page = PageOf(row.id) == page_ && input;
      const bool other_start =
          row.id != start && (row.id == 按钮5 || row.id == 按钮2 || row.id == 按钮4);
      if ((on_page && row.id != start) || other_start) {
        HWND control = window_.Control(row.id);
        if (IsWindowEnabled(control)) {
          EnableQuietly(control, false);
          disabled_.push_back(control);
        }
      }
    }
    start_caption_ = window_.Text(start);
    start_icon_ = reinterpret_cast<HANDLE>(SendMessageW(button, BM_GETIMAGE, IMAGE_ICON, 0));
    HICON stop_icon = static_cast<HICON>(
        LoadImageW(nullptr, IDI_HAND, IMAGE_ICON, window_.Scale(16), window_.Scale(16), LR_SHARED));
    ChangeQuietly(button, [&] {
      window_.SetText(start, "停止");
      if (start_icon_ != nullptr && stop_icon != nullptr) {
        SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(stop_icon));
      }
    });
    // While the job runs the progress bar takes the save-folder pane, narrowed so that the
    // work pane has room for the file's name.
    HWND status = window_.Control(状态条1);
    SendMessageW(status, SB_GETPARTS, 2, reinterpret_cast<LPARAM>(status_edges_));
    RECT client = {};
    GetClientRect(status, &client);
    int edges[2] = {std::max<int>(status_edges_[0], client.right - window_.Scale(170)), -1};
    SendMessageW(status, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges));
    HWND bar = window_.progress_bar();
    RECT pane = {};
    SendMessageW(status, SB_GETRECT, 1, reinterpret_cast<LPARAM>(&pane));
    InflateRect(&pane, -2, -2);
    SetWindowPos(bar, HWND_TOP, pane.left, pane.top, pane.right - pane.left,
                 pane.bottom - pane.top, SWP_SHOWWINDOW);
    SendMessageW(bar, PBM_SETRANGE32, 0, kProgressRange);
    SendMessageW(bar, PBM_SETPOS, 0, 0);
  } else {
    for (HWND control : disabled_) EnableQuietly(control, true);
    disabled_.clear();
    ChangeQuietly(button, [&] {
      window_.SetText(start, start_caption_);
      if (start_icon_ != nullptr) {
        SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(start_icon_));
      }
    });
    ShowWindow(window_.progress_bar(), SW_HIDE);
    SendMessageW(window_.Control(状态条1), SB_SETPARTS, 2, reinterpret_cast<LPARAM>(status_edges_));
  }
}

}  // namespace travik::ui
