#include "merge/merge_job.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <unordered_set>

#include "core/files.h"
#include "core/text.h"

namespace travik {

namespace {

constexpr char kNoTask[] = "当前没有可执行的任务！";
constexpr char kNoName[] = "请输入合并后的文件名！";
constexpr char kMerging[] = "当前状态: 正在合并文件...";
constexpr char kFinished[] = "当前状态: 已完成";
constexpr char kSaveFolder[] = "保存目录: ";

constexpr char kNoProgramFolder[] = "无法确定保存目录（当前目录的名称无法用 GBK 表示），未合并";
constexpr char kSourcesKept[] = "，原文件均未删除";

std::string CutShortReason(const SourceText& source, size_t carried, bool deleting) {
  // Bytes of this file itself: a byte carried in from the file before is not counted.
  const int64_t kept =
      static_cast<int64_t>(source.text.size() - std::min(carried, source.text.size()));
  std::string reason = JoinText("只读取了前 ", std::to_string(kept),
                                " 字节（遇到 0x00、0x1A 或不完整的双字节字符），其后的 ",
                                std::to_string(source.file_size - kept), " 字节未被合并");
  if (deleting) reason += "，原文件未删除";
  return reason;
}

// Reads every row in order and appends its text to the merged file, one source in memory at a
// time (with no merged file, the rows are still read so that their problems are reported). Rows
// read completely are listed in `complete`; the others are reported. A file that ends in the
// first byte of a character (a byte-wise split cut it) hands that byte to the next file read, so
// the character is whole in the merged text; only a byte that nothing follows is reported.
// *read counts the sources read. False when the merged text would leave the program's range or
// a write failed.
bool CopySources(const MergeForm& form, JobHost& host, ReplacementFile* merged,
                 std::vector<const std::string*>* complete, FailureList* failures,
                 bool* out_of_range, int* read) {
  const int64_t total_rows = static_cast<int64_t>(form.rows.size());
  int64_t done = 0;
  // When sources are deleted, a file goes with its first row: a later row of the same file
  // reads nothing, so the merged text holds it once.
  std::unordered_set<std::string> taken;  // FileIdentity of the sources read so far
  std::string carried;                    // a lead byte waiting for its second byte
  const std::string* carried_from = nullptr;
  SourceText carried_source;  // the file it came from, for its report
  for (const FileEntry& row : form.rows) {
    if (host.StopRequested()) return false;
    host.FileStarted(static_cast<int>(done), static_cast<int>(total_rows), row.path);
    const bool last = ++done == total_rows;
    const std::string identity = form.delete_sources ? FileIdentity(row.path) : std::string();
    if (!identity.empty() && taken.count(identity) != 0) continue;
    SourceText source = LoadSourceText(row.path, carried);
    if (!source.ok) {
      failures->Add(row.path, source.error);
      continue;
    }
    ++*read;
    if (!identity.empty()) taken.insert(identity);
    if (merged != nullptr) {
      if (merged->size() + static_cast<int64_t>(source.text.size()) > kMaxFileSize) {
        *out_of_range = true;
        return false;
      }
      if (!merged->Append(source.text)) return false;
    }
    const size_t carried_in = carried.size();
    if (carried_in > 0 && source.file_size == 0) {
      // An empty file between the halves: the byte passes on to the file after it.
      complete->push_back(&row.path);
      continue;
    }
    if (carried_from != nullptr) {
      if (source.text.empty()) {  // a 0x00 right after it: the byte could not be kept
        failures->Add(*carried_from, CutShortReason(carried_source, 0, form.delete_sources));
      } else {
        complete->push_back(carried_from);
      }
    }
    carried.clear();
    carried_from = nullptr;
    if (source.ends_in_lead_byte && !last) {
      carried.assign(1, source.trailing_lead);
      carried_from = &row.path;
      carried_source = std::move(source);
      carried_source.text.resize(carried_source.text.size() - std::min(carried_source.text.size(),
                                                                      carried_in));
    } else if (source.cut_short) {
      failures->Add(row.path, CutShortReason(source, carried_in, form.delete_sources));
    } else {
      complete->push_back(&row.path);
    }
  }
  if (carried_from != nullptr) {
    failures->Add(*carried_from, CutShortReason(carried_source, 0, form.delete_sources));
  }
  return true;
}

// Creates the program's merged-files folder when it is missing. False when it cannot be made.
bool EnsureFolder(const std::string& folder) {
  return FolderExists(folder) || MakeDirectory(folder) || FolderExists(folder);
}

// Deletes the sources that were read completely, except the merged file itself. A source already
// gone (the same file listed twice) is not a failure.
int DeleteSources(const std::vector<const std::string*>& complete, const std::string& merged_path,
                  const std::function<bool(const std::string&)>& remove, FailureList* failures) {
  int deleted = 0;
  for (const std::string* source : complete) {
    const std::string& path = *source;
    if (SameFile(path, merged_path)) {
      failures->Add(path, "是合并后的文件本身，未删除");
    } else if (remove ? remove(path) : RemoveFile(path)) {
      ++deleted;
    } else if (FileSizeOf(path) >= 0) {
      failures->Add(path, "无法删除原文件");
    }
  }
  return deleted;
}

}  // namespace

void MergeJob(const MergeForm& form, JobHost& host, MergeResult* result_out) {
  MergeResult local;
  MergeResult& result = result_out != nullptr ? *result_out : local;
  result = MergeResult();
  result.save_in_program_folder = form.save_in_program_folder;

  if (form.rows.empty()) {
    host.ShowMessage(kNoTask);
    return;
  }
  if (form.merged_name.empty()) {
    host.ShowMessage(kNoName);
    return;
  }
  if (!form.save_in_program_folder && form.chosen_folder.empty()) {
    host.ShowMessage(kNoFolderNotice);
    result.save_in_program_folder = true;
  }
  if (result.save_in_program_folder && form.program_folder.empty()) {
    // An empty folder would put the merged file at the root of the drive.
    host.ShowMessage(kNoProgramFolder);
    return;
  }
  result.checks_passed = true;
  host.SetStatusPane(0, kMerging);

  const bool in_program_folder = result.save_in_program_folder;
  const std::string folder = in_program_folder
                                 ? JoinText(form.program_folder, kPathSeparator, kMergedFolderName)
                                 : form.chosen_folder;
  result.merged_path = JoinText(folder, kPathSeparator, form.merged_name, ".txt");

  FailureList failures;
  std::vector<const std::string*> complete;  // rows read to their end: may be deleted

  // The merged text goes to a temporary file beside the merged file, renamed into place only
  // when complete; the sources stay untouched unless that happened.
  const char* kept = form.delete_sources ? kSourcesKept : "";
  const char* cannot_write = "无法写入合并后的文件";
  if (in_program_folder && !EnsureFolder(folder)) {
    failures.Add(folder, JoinText("无法创建文件夹，合并后的文件未写入", kept));
  } else {
    ReplacementFile merged(result.merged_path);
    bool out_of_range = false;
    int read = 0;
    if (!merged.ok()) {
      CopySources(form, host, nullptr, &complete, &failures, &out_of_range, &read);
      failures.Add(result.merged_path,
                   JoinText(FolderExists(folder) ? cannot_write
                                                 : "保存目录不存在，合并后的文件未写入",
                            kept));
    } else if (!CopySources(form, host, &merged, &complete, &failures, &out_of_range, &read)) {
      // Stopped: the temporary file goes, nothing is replaced and no source is deleted.
      if (!host.StopRequested()) {
        failures.Add(result.merged_path,
                     JoinText(out_of_range ? "合并后的文件将超过 2 GB，未写入" : cannot_write, kept));
      }
    } else if (host.StopRequested()) {
      // Stopped before the merged file replaced anything: nothing written, nothing deleted.
    } else if (read == 0) {
      // Nothing to merge: an existing file of that name stays as it was.
      failures.Add(result.merged_path, "没有读取到任何文件，合并后的文件未写入");
    } else if (!merged.Commit()) {
      failures.Add(result.merged_path, JoinText(cannot_write, kept));
    } else {
      result.written = true;
      host.OutputWritten(result.merged_path);
      if (form.delete_sources) {
        result.sources_deleted =
            DeleteSources(complete, result.merged_path, form.remove_source, &failures);
      }
    }
  }

  result.failures = static_cast<int>(failures.items().size());
  host.SetStatusPane(0, failures.FinishedStatus(kFinished));
  host.SetStatusPane(
      1, JoinText(kSaveFolder, in_program_folder ? form.program_folder : form.chosen_folder));
  if (failures.ReportTo(host)) host.ShowCompletionNotice();
}

std::string DefaultMergedName(std::string_view first_row_name) {
  std::string name;
  for (size_t i = 0; i < first_row_name.size(); ++i) {
    if (!IsLeadByte(static_cast<unsigned char>(first_row_name[i]))) continue;
    // A lead byte at the very end has no character to complete; a name never ends in half of one.
    if (i + 1 == first_row_name.size()) break;
    name.append(first_row_name.substr(i, 2));
    ++i;
  }
  return name;
}

}  // namespace travik
