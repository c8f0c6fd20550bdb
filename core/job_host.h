// What a job shows to the person who started it. The window implements it with message boxes
// and the status bar, the command line with stderr and exit codes, tests with a recorder.
#ifndef TRAVIK_CORE_JOB_HOST_H_
#define TRAVIK_CORE_JOB_HOST_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace travik {

// A file that the job could not handle completely, and why (both GBK).
struct FileFailure {
  std::string path;
  std::string reason;
};

// What a job made of one file, for the end-of-job account (both GBK).
struct FileResult {
  std::string path;
  std::string summary;  // e.g. "插入 12 处"
};

class JobHost {
 public:
  virtual ~JobHost() = default;
  // A notice with the caption "提示" and an OK button; returns when it is dismissed.
  virtual void ShowMessage(const std::string& text) = 0;
  // Sets the text of status pane 0 (work state) or 1 (save folder).
  virtual void SetStatusPane(int index, const std::string& text) = 0;
  // Current text of a status pane (jobs that leave a pane as it was read it back).
  virtual std::string StatusPane(int index) const = 0;
  // The end-of-job notice ("任务完成！" and the completion sound).
  virtual void ShowCompletionNotice() = 0;
  // Called once at the end of a job in which some files failed.
  virtual void ReportFailures(const std::vector<FileFailure>& failures) = 0;
  // Called once at the end of a job that accounts for each file it wrote, before any failures are
  // reported. Hosts with nowhere to show it may ignore it.
  virtual void ReportResults(const std::vector<FileResult>& results) { (void)results; }
  // Progress of the current file: `done` of `total` units (bytes or pieces).
  virtual void Progress(int64_t done, int64_t total) {
    (void)done;
    (void)total;
  }
  // The job starts on file `index` (0-based) of `count`, the listed path.
  virtual void FileStarted(int index, int count, const std::string& path) {
    (void)index;
    (void)count;
    (void)path;
  }
  // A remark on how the job reads its list that is no failure (a file listed twice is handled
  // once). Hosts with nowhere to show it may ignore it.
  virtual void ShowNote(const std::string& text) { (void)text; }
  // A file the job made or replaced is complete on disk.
  virtual void OutputWritten(const std::string& path) { (void)path; }
  // A check on a file's text that did not pass but stops nothing (a chapter missing from the
  // numbering): the command line prints it; the window shows it in its chapter preview.
  virtual void CheckWarning(const std::string& path, const std::string& text) {
    (void)path;
    (void)text;
  }
  // What the reader of a file kept or left out, though it read the text whole (a 0x1A control
  // byte kept as it is, padding at the end left out): the job goes on. The command line prints it
  // as a warning; the window lists these at the end of the job.
  virtual void FileWarning(const std::string& path, const std::string& text) {
    CheckWarning(path, text);
  }
  // Asked between units of work: true once the person asked the job to stop. A job then stops at
  // its next safe point, leaving only complete files behind.
  virtual bool StopRequested() const { return false; }
};

// Collects a job's failures and hands them to the host once, at the end.
class FailureList {
 public:
  void Add(std::string path, std::string reason) {
    failures_.push_back({std::move(path), std::move(reason)});
  }
  bool empty() const { return failures_.empty(); }
  const std::vector<FileFailure>& items() const { return failures_; }
  // Reports the failures (if any) to the host; returns true when there were none.
  bool ReportTo(JobHost& host) const {
    if (failures_.empty()) return true;
    host.ReportFailures(failures_);
    return false;
  }
  // A job's finished status text, followed by the number of failed files when there are any, so
  // that the status bar never reads as a plain success after a failure.
  std::string FinishedStatus(std::string_view finished) const {
    std::string status(finished);
    if (!failures_.empty()) {
      status += "，" + std::to_string(failures_.size()) + " 个文件失败";
    }
    return status;
  }

 private:
  std::vector<FileFailure> failures_;
};

}  // namespace travik

#endif  // TRAVIK_CORE_JOB_HOST_H_
