// A job of the window at work: it runs on a worker thread while the window stays responsive.
// The job's host calls come to the window as messages (those that need an answer wait for it);
// the page's inputs are disabled and its start button reads "停止" until the job ends; the status
// bar shows the file being worked on with a progress bar, and at the end what was made.
#ifndef TRAVIK_UI_JOB_RUNNER_H_
#define TRAVIK_UI_JOB_RUNNER_H_

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/job_host.h"

namespace travik::ui {

class MainWindow;

// Messages from the worker to the window.
inline constexpr UINT kJobCallMessage = WM_APP + 2;      // lparam: std::function<void()>*
inline constexpr UINT kJobProgressMessage = WM_APP + 3;  // wparam: position of kProgressRange
inline constexpr UINT kJobDoneMessage = WM_APP + 4;
inline constexpr int kProgressRange = 1000;

// What the job produces, for the status text at its end.
enum class JobKind { kSplit, kMerge, kInsert };

// What a job did, as its host saw it.
struct JobTally {
  int files = 0;          // listed files the job started on
  int files_listed = 0;   // files in the job's list
  int failures = 0;       // files reported as failed
  std::vector<std::string> written;  // complete files made or replaced, in order
  std::string current_file;          // the file being worked on when the job ended
  bool current_done = false;         // ... and it was finished
  bool stopped = false;
};

// The status text at the end of a job (UTF-8): "已完成：3 个文件 → 1,018 个分割文件，保存在 …",
// or "已停止：…" with what was done before the stop; the number of failed files comes first
// ("2 个文件失败；已完成：…").
std::string JobSummary(JobKind kind, const JobTally& tally, bool in_place);
// The folder that holds every written file (their deepest common folder); empty when none.
std::string CommonFolder(const std::vector<std::string>& paths);
// 1018 as "1,018".
std::string GroupedNumber(int64_t n);

class JobRunner {
 public:
  explicit JobRunner(MainWindow& window);
  ~JobRunner();
  JobRunner(const JobRunner&) = delete;
  JobRunner& operator=(const JobRunner&) = delete;

  bool running() const { return worker_ != nullptr; }
  // The page whose job runs, -1 when none.
  int page() const { return running() ? page_ : -1; }

  // Starts `job` on a worker thread for `page`. `after` runs on the window's thread once the job
  // has ended (lists follow the files there). Nothing when a job is running already.
  using Job = std::function<void(JobHost& host)>;
  void Start(int page, JobKind kind, bool in_place, Job job, std::function<void()> after);
  // Asks the job to stop at its next safe point.
  void RequestStop() { stop_ = true; }
  bool stop_requested() const { return stop_; }
  // Runs `call` on the window's thread and waits for it (from the worker).
  void CallOnWindow(const std::function<void()>& call);

  // The window's side of the messages above.
  void OnCall(LPARAM call);
  void OnProgress(int position);
  void OnDone();
  // Stops the job and waits for it, serving its calls without showing anything (the window is
  // closing). Nothing when no job runs.
  void StopAndWait();
  // Folder of the files the last job wrote (empty before the first job or when it wrote none).
  const std::string& last_folder() const { return last_folder_; }
  // The progress bar's position (of kProgressRange) last shown.
  int progress() const { return progress_; }
  // The window is destroyed once the running job has ended.
  void CloseWhenDone() { close_when_done_ = true; }
  // Runs on the window's thread after the job's message `text` has been read.
  void OnMessageRead(std::function<void(const std::string& text)> call) {
    message_read_ = std::move(call);
  }

 private:
  class WorkerHost;
  void SetPageBusy(bool busy);
  void Join();
  static DWORD WINAPI ThreadMain(void* self);

  MainWindow& window_;
  HWND hwnd_ = nullptr;
  HANDLE worker_ = nullptr;
  int page_ = -1;
  JobKind kind_ = JobKind::kSplit;
  bool in_place_ = false;
  Job job_;
  std::function<void()> after_;
  std::function<void(const std::string&)> message_read_;
  std::unique_ptr<WorkerHost> host_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> closing_{false};
  std::vector<HWND> disabled_;  // controls disabled for the job
  HANDLE start_icon_ = nullptr;                  // the start button's own icon
  std::string start_caption_;
  std::string status_before_;  // pane 0 before the job
  int status_edges_[2] = {0, -1};  // the status bar's panes before the job
  bool close_when_done_ = false;
  int progress_ = 0;
  std::string last_folder_;
};

}  // namespace travik::ui

#endif  // TRAVIK_UI_JOB_RUNNER_H_
