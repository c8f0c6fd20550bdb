// The merge job: joins the files of the merge list, in list order, into one new text file.
#ifndef TRAVIK_MERGE_MERGE_JOB_H_
#define TRAVIK_MERGE_MERGE_JOB_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "files/file_entry.h"
#include "core/job_host.h"

namespace travik {

// The merge page's controls as the job reads them when it starts. Texts and paths are UTF-8, as
// typed; the sources' texts keep their own encodings.
struct MergeForm {
  std::vector<FileEntry> rows;  // 超级列表框2, in list order (column 1, the path, is used)
  std::string merged_name;      // 编辑框5: the merged file's name without ".txt"
  std::string chosen_folder;    // 编辑框4: the save folder
  bool save_in_program_folder = false;  // 选择框6 "保存到软件所在目录"
  bool delete_sources = false;          // 选择框2 "删除原文件"
  // A file listed more than once is merged as often as it is listed (the person asked for it:
  // travik merge --repeat). Otherwise it is merged once, at its first row, with a note.
  bool repeats_allowed = false;
  std::string program_folder;           // ProgramDirectory() (the current folder for the CLI)
  // Takes one source away after the merged file is complete; empty deletes it (RemoveFile). The
  // window moves sources to the Recycle Bin. True when the file is gone.
  std::function<bool(const std::string& path)> remove_source;
};

// What a run of the job leaves behind for its front end.
struct MergeResult {
  bool checks_passed = false;  // false when a check stopped the job before any file work
  bool save_in_program_folder =
      false;                // 选择框6 after the job (the missing-folder notice ticks it)
  std::string merged_path;  // the merged file's path (empty when the checks failed)
  bool written = false;     // the merged file was written completely
  int sources_deleted = 0;
  bool stopped_while_deleting = false;  // a stop came between deletions: the rest were kept
  int failures = 0;  // entries handed to JobHost::ReportFailures
};

// The sub-folder of the program's folder that receives merged files.
inline constexpr char kMergedFolderName[] = "合并后的文件";

// The notice of a job without a save folder; after it the job writes into the program's folder,
// so the window ticks 选择框6 "保存到软件所在目录" once it has been read.
inline constexpr char kNoFolderNotice[] = "未指定保存目录，合并后的文件将保存到软件所在目录！";

// Runs the merge job: the three checks (empty list, empty name, missing save folder), and a fourth
// that refuses a merged file which is one of the sources (by identity: a link or another spelling
// of it counts), before anything is written. Rows naming a file already listed are dropped with
// a note unless repeats are allowed. Then it reads every row's file, writes the merged text once
// (a temporary file renamed into place) and, when asked, deletes the sources that were read
// completely and have not changed since (size, last change and identity as when they were read;
// a changed one is kept and reported). A stop between deletions keeps the rest, and the job
// reports which were deleted. Messages, notes, status panes, failures and the completion notice go
// to `host`; `result`, when given, receives the outcome.
void MergeJob(const MergeForm& form, JobHost& host, MergeResult* result = nullptr);

// The merged name proposed from the first row's file name (UTF-8): its characters outside ASCII
// in order, every ASCII byte dropped ("我的小说2_第一部" gives "我的小说第一部", "abc" gives "").
// Bytes that begin no well-formed UTF-8 character (a name the system gave as it was) are dropped
// too: the proposal is always valid UTF-8.
std::string DefaultMergedName(std::string_view first_row_name);

}  // namespace travik

#endif  // TRAVIK_MERGE_MERGE_JOB_H_
