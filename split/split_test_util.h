// Test helpers of the split tests: pieces kept in memory, and a host that records what a job
// showed.
#ifndef TRAVIK_SPLIT_SPLIT_TEST_UTIL_H_
#define TRAVIK_SPLIT_SPLIT_TEST_UTIL_H_

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/job_host.h"
#include "split/piece_writer.h"

namespace travik::testing {

// Keeps every file written, in order; refuses the paths in `refused`.
class MemoryOutput : public PieceOutput {
 public:
  struct File {
    std::string path;
    std::string bytes;
  };
  bool WriteFile(const std::string& path, std::string_view bytes) override {
    if (refused.count(path) != 0) return false;
    files.push_back({path, std::string(bytes)});
    return true;
  }
  std::vector<File> files;
  std::set<std::string> refused;
};

// Counts pieces and bytes without keeping them (long texts).
class CountingOutput : public PieceOutput {
 public:
  bool WriteFile(const std::string&, std::string_view bytes) override {
    ++files;
    bytes_total += bytes.size();
    last_size = bytes.size();
    return true;
  }
  size_t files = 0;
  size_t bytes_total = 0;
  size_t last_size = 0;
};

// The bytes of the files written, in order.
inline std::vector<std::string> PieceBytes(const MemoryOutput& out) {
  std::vector<std::string> pieces;
  for (const MemoryOutput::File& f : out.files) pieces.push_back(f.bytes);
  return pieces;
}

class RecordingHost : public JobHost {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void SetStatusPane(int index, const std::string& text) override {
    if (index == 0) pane0_history.push_back(text);
    panes[index == 0 ? 0 : 1] = text;
  }
  std::string StatusPane(int index) const override { return panes[index == 0 ? 0 : 1]; }
  void ShowCompletionNotice() override { ++completions; }
  void ReportFailures(const std::vector<FileFailure>& list) override {
    ++failure_reports;
    failures.insert(failures.end(), list.begin(), list.end());
  }
  void ShowNote(const std::string& text) override { notes.push_back(text); }
  void CheckWarning(const std::string& path, const std::string& text) override {
    warnings.push_back(path + ": " + text);
  }

  std::vector<std::string> messages;
  std::vector<std::string> notes;
  std::vector<std::string> warnings;  // "PATH: TEXT"
  std::vector<std::string> pane0_history;
  std::string panes[2];
  int completions = 0;
  int failure_reports = 0;
  std::vector<FileFailure> failures;
};

}  // namespace travik::testing

#endif  // TRAVIK_SPLIT_SPLIT_TEST_UTIL_H_
