#include "split/split_job.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>
#include <vector>

#include "files/file_entry.h"
#include "files/files.h"
#include "files/save_folder.h"
#include "text/pattern.h"
#include "text/text.h"
#include "split/piece_writer.h"
#include "split/split_modes.h"

namespace travik {

namespace {

// `base`, a separator unless `base` already ends with one, and `name`. Paths are UTF-8: no byte
// of a multi-byte character is a separator.
std::string JoinPath(const std::string& base, std::string_view name) {
  if (!base.empty() && base.back() == kPathSeparator[0]) return JoinText(base, name);
  return JoinText(base, kPathSeparator, name);
}

// The checks of a numeric field: empty, "0", and anything that does not read as 1 or more.
bool CheckNumberField(const std::string& text, const char* empty_message, const char* zero_message,
                      const char* not_positive_message, JobHost& host) {
  if (text.empty()) {
    host.ShowMessage(empty_message);
  } else if (text == "0") {
    host.ShowMessage(zero_message);
  } else if (TextToInt(text) < 1) {
    host.ShowMessage(not_positive_message);
  } else {
    return true;
  }
  return false;
}

// Every part holds one byte at least: a count larger than the smallest listed file is refused
// before anything is written (a count in the billions would otherwise try to make that many
// files). Files that cannot be looked at fail later, when they are read.
bool CheckPartsFitFiles(const SplitForm& form, JobHost& host) {
  const int parts = TextToInt(form.parts_text);
  int64_t smallest = -1;
  for (const FileEntry& row : form.rows) {
    const int64_t size = FileSizeOf(row.path);
    if (size >= 0 && (smallest < 0 || size < smallest)) smallest = size;
  }
  if (smallest < 0 || parts <= smallest) return true;
  // smallest < parts, so it fits an int.
  host.ShowMessage(JoinText("欲分割份数不能大于文件大小（", NumberToText(static_cast<int>(smallest)),
                            " 字节）"));
  return false;
}

// A size in KB beyond every file the program takes would write each file whole as its one
// piece: refused before anything is read, saying the range.
bool CheckSizeFitsFiles(const SplitForm& form, JobHost& host) {
  const double size_kb = TextToNumber(form.size_text);
  const double max_kb = static_cast<double>(kMaxFileSize / 1024);
  if (size_kb > max_kb) {
    host.ShowMessage(JoinText("欲分割大小须在 1 到 ", NumberToText(static_cast<int>(max_kb)),
                              " KB 之间"));
    return false;
  }
  return true;
}

bool CheckModeField(const SplitForm& form, JobHost& host) {
  switch (form.mode) {
    case SplitMode::kBySize:
      return CheckNumberField(form.size_text, "欲分割大小不能为空", "欲分割大小不能为0",
                              "欲分割大小必须大于0", host) &&
             CheckSizeFitsFiles(form, host);
    case SplitMode::kByCount:
      if (!CheckNumberField(form.parts_text, "欲分割份数不能为空", "欲分割份数不能为0",
                            "欲分割份数必须大于0", host)) {
        return false;
      }
      if (TextToNumber(form.parts_text) > 2147483647.0) {
        host.ShowMessage("欲分割份数须在 1 到 2147483647 之间");
        return false;
      }
      return CheckPartsFitFiles(form, host);
    case SplitMode::kByKeyword: {
      if (form.find_chapters && form.keyword_text.empty()) return true;
      if (form.keyword_text.empty()) {
        host.ShowMessage("请输入关键字");
        return false;
      }
      Pattern pattern;
      if (!RegexCompile(&pattern, form.keyword_text)) {
        host.ShowMessage(JoinText(kInvalidPatternMessage, pattern.error()));
        return false;
      }
      return true;
    }
    case SplitMode::kUnchecked:
      break;
  }
  return true;
}

// The piece folder's name for a row: its name as every system keeps it (PortableName: "x." is
// "x", "nul" is "nul_"), or with "(2)", "(3)" ... when an earlier row of the job used that name as
// Windows compares names, so that no source's pieces replace another's (then *clashed is set).
std::string FolderNameFor(const FileEntry& row, std::unordered_set<std::string>& taken,
                          bool* clashed) {
  const std::string portable = PortableName(row.name);
  std::string name = portable;
  for (int n = 2; !taken.insert(FileNameKey(name)).second; ++n) {
    name = JoinText(portable, "(", NumberToText(n), ")");
  }
  *clashed = name != portable;
  return name;
}

// Files in the piece folder that this split did not write: pieces of an earlier split, say,
// that a merge of *.txt would mix in. They are counted and reported, never deleted.
int FilesNotWritten(const PieceWriter& writer, const std::string& source_path, bool script) {
  std::unordered_set<std::string> ours;
  for (const std::string& name : writer.names()) ours.insert(FileNameKey(name));
  for (const std::string& name : writer.failed_names()) ours.insert(FileNameKey(name));  // reported
  if (script) ours.insert(FileNameKey(kMergeScriptName));
  int count = 0;
  for (const std::string& name : FileNamesIn(writer.folder())) {
    if (ours.count(FileNameKey(name)) == 0 &&
        !SameFile(JoinPath(writer.folder(), name), source_path)) {
      ++count;
    }
  }
  return count;
}

// The report of the pieces that could not be written (a full disk, a folder of the same name in
// the way): each by name, the first kMaxNamed of them, so that the person knows what the folder
// lacks; nothing of them is left in it.
std::string MissingPiecesText(const std::string& folder, const std::vector<std::string>& names) {
  constexpr size_t kMaxNamed = 20;
  std::string list;
  for (size_t i = 0; i < names.size() && i < kMaxNamed; ++i) {
    list += JoinText(i == 0 ? "" : "、", names[i]);
  }
  if (names.size() > kMaxNamed) list += " 等";
  return JoinText("有 ", NumberToText(static_cast<int>(names.size())), " 个分割文件无法写入，",
                  folder, " 中缺少：", list);
}

// Splits the file of one row into the sub-folder `folder_name`. `sources` holds the FileIdentity
// of every source of the job. Everything that went wrong goes to `failures`.
void SplitRow(const SplitForm& form, const FileEntry& row, const std::string& folder_name,
              const std::unordered_set<std::string>& sources, int row_number,
              SplitContext& context, PieceOutput& output, JobHost& host, FailureList& failures) {
  context.source_name = row.name;
  context.source_path = row.path;
  const std::string folder = JoinPath(context.output_folder, folder_name);
  auto make_folder = [&folder]() {
    if (!FolderExists(folder)) MakeDirectory(folder);
  };
  host.SetStatusPane(0, JoinText("当前状态: 正在处理第 ", NumberToText(row_number), " 个任务"));

  context.source_text.clear();
  context.merged_file_name = PortableName(row.name);
  PieceWriter writer(folder, context.naming_mode, form.custom_text, context.merged_file_name,
                     output);
  // A source of the job (this row's or another's) that lies in the piece folder must not be
  // overwritten by a piece of the same name; such a piece gets a "(2)" instead.
  auto reserve_sources = [&]() {
    for (const std::string& name : FileNamesIn(folder)) {
      if (sources.count(FileIdentity(JoinPath(folder, name))) != 0) writer.ReserveName(name);
    }
  };
  reserve_sources();
  // A split by size of a GBK or UTF-8 text starts while the file is still being read: its pieces
  // are written from the blocks the reader has just looked at, while they are in the cache,
  // instead of the whole text being looked at first and then read again to be written.
  const int64_t piece_bytes = static_cast<int64_t>(TextToInt(form.size_text)) * 1024;
  const bool ahead_allowed = form.mode == SplitMode::kBySize && piece_bytes > 0 &&
                             (row.encoding == EncodingChoice::kAuto ||
                              row.encoding == EncodingChoice::kGbk ||
                              row.encoding == EncodingChoice::kUtf8);
  const bool folder_existed = FolderExists(folder);
  writer.SetProgress(&host, std::max<int64_t>(FileSizeOf(row.path), 0));
  // Pieces cut while reading are told as written only once they are known to stay.
  writer.HoldReports();
  // Pieces cut while reading may still be removed (the text is found not to be in the encoding
  // they were cut in, or is refused): they are written only under names no file in the folder has
  // yet, so that removing them takes no file of an earlier split with them.
  std::unordered_set<std::string> present;
  for (const std::string& name : FileNamesIn(folder)) present.insert(FileNameKey(name));
  SizeSplitAhead ahead(piece_bytes, writer, make_folder, [&](int64_t number) {
    return present.count(FileNameKey(
               PieceFileName(context.naming_mode, number, {}, false, form.custom_text))) == 0;
  });
  std::function<bool(const SourceBlock&)> on_block;
  if (ahead_allowed) on_block = [&ahead](const SourceBlock& block) { return ahead.Take(block); };
  SourceText source = LoadSourceText(row.path, {}, row.encoding, Encoding::kGbk, on_block);
  const bool ahead_kept = ahead.wrote() && source.ok && source.encoding == ahead.encoding() &&
                          source.mark_length == 0 && !source.cut_short &&
                          ahead.CutFrom(source.text) && !source.text.Changed();
  if (ahead.wrote() && !ahead_kept) {
    // The text turned out not to be in the encoding it was cut in (or ends early): those pieces go,
    // and the split starts again on the text as it was read.
    for (const std::string& name : writer.names()) RemoveFile(JoinPath(folder, name));
    if (!folder_existed) RemoveEmptyFolder(folder);
    writer.Reset();
    reserve_sources();
  }
  writer.ReportHeld();
  if (!source.ok) {  // unreadable, or refused (UTF-16, invalid in the encoding given): no folder
    failures.Add(row.path, source.error);
    return;
  }
  if (source.cut_short) failures.Add(row.path, source.error);
  for (const std::string& note : source.notes) host.FileWarning(row.path, note);
  context.source_text = std::move(source.text);
  context.encoding = source.encoding;
  context.mark_length = source.mark_length;
  // A keyword split makes the piece folder only once it has a piece to put in it.
  if (form.mode != SplitMode::kByKeyword) make_folder();

  writer.SetSourceEncoding(context.encoding);
  writer.SetProgress(&host, static_cast<int64_t>(context.source_text.size()));

  switch (form.mode) {
    case SplitMode::kBySize:
      context.piece_count = SizeModePieceCount(source.file_size, form.size_text);
      SplitBySize(context, piece_bytes, writer, ahead_kept ? ahead.next_number() : 1,
                  ahead_kept ? ahead.pos() : 0);
      break;
    case SplitMode::kByCount:
      context.requested_parts = TextToInt(form.parts_text);
      SplitByCount(context, writer);
      break;
    case SplitMode::kByKeyword: {
      context.text_length = static_cast<int64_t>(context.source_text.size());
      context.keyword = form.keyword_text;
      context.find_chapters = form.find_chapters;
      context.chapter_presets = form.chapter_presets;
      context.chapter_form = form.chapter_form;
      KeywordSplitOutcome outcome = form.find_chapters
                                        ? SplitByChapters(context, writer, make_folder)
                                        : SplitByKeyword(context, writer, make_folder);
      if (!outcome.pattern_ok) return;  // checked before any file; never reached
      for (const std::string& warning : outcome.warnings) host.CheckWarning(row.path, warning);
      if (outcome.cut_short) {
        failures.Add(row.path,
                     "关键字搜索中途放弃，其后的文本没有再分割（仍在最后一个分割文件中）");
      }
      if (outcome.pieces == 0) {
        if (!outcome.cut_short) {
          failures.Add(row.path, form.find_chapters ? kChaptersNotFound : kKeywordNotFound);
        }
        return;  // nothing written for this file, not even its folder
      }
      break;
    }
    case SplitMode::kUnchecked:
      return;
  }
  // Another program shortened the file while it was split: the pieces hold 0x00 bytes where its
  // text was, so they are not the file. They are reported and get no merge script.
  if (context.source_text.Changed()) {
    failures.Add(row.path, "分割时文件被其他程序改短，分割出的文件不完整，请重新分割");
    return;
  }
  // A stopped split writes no script: it would join a part of the text under the whole's name.
  // Nor does one with a piece missing: the script would join the book with a hole in it.
  bool script_written = false;
  if (form.write_merge_script && !writer.stopped()) {
    if (!writer.failed_names().empty()) {
      // Told with the pieces missing, below.
    } else if (const std::string problem = writer.MergeScriptProblem(); !problem.empty()) {
      failures.Add(row.path, JoinText(problem, "，没有写出合并文件 ", folder, kPathSeparator,
                                      kMergeScriptName));
    } else if (writer.WriteMergeScript()) {
      script_written = true;
    } else {
      failures.Add(row.path,
                   JoinText("无法写入合并文件 ", folder, kPathSeparator, kMergeScriptName));
    }
  }
  if (const int others = FilesNotWritten(writer, row.path, script_written); others > 0) {
    failures.Add(folder, JoinText("文件夹中另有 ", NumberToText(others),
                                  " 个文件不是这次分割写出的（未删除），合并时请勿混入"));
  }
  if (!writer.failed_names().empty()) {
    std::string text = MissingPiecesText(folder, writer.failed_names());
    if (form.write_merge_script && !writer.stopped()) {
      text += JoinText("；没有写出合并文件 ", folder, kPathSeparator, kMergeScriptName);
    }
    failures.Add(row.path, text);
  }
}

}  // namespace

double SizeModePieceCount(int64_t file_bytes, const std::string& size_text) {
  const double kb = static_cast<double>(file_bytes) / 1024;
  const double size = TextToNumber(size_text);
  double count = kb / size;
  const double r = Remainder(kb, size);
  if (std::fabs(r) > 1e-7) {
    const std::string t = NumberToText(r);
    const size_t dot = t.rfind('.');
    if (dot == std::string::npos || t.compare(0, dot, "0") != 0) {
      count += 1;  // a whole remainder, or one of 1 KB or more
    } else if (TextToInt(t.substr(dot + 1, 3)) >= 1) {
      count += 1;  // at least 0.001 KB: two bytes or more
    }
  }
  return TextToInt(count);
}

void SplitJob(const SplitForm& form, SplitContext& context, JobHost& host) {
  context.renamed_folders.clear();  // also when a check stops the job
  context.device_folders.clear();
  if (form.rows.empty()) {
    host.ShowMessage("请先添加欲分割的文件！");
    return;
  }
  if (form.save_in_program_folder) {
    if (form.program_folder.empty()) {  // never the root folder
      host.ShowMessage("无法确定保存目录（软件所在目录未知）");
      return;
    }
    context.output_folder = JoinPath(form.program_folder, kSplitFolderName);
  } else if (form.chosen_folder.empty()) {
    host.ShowMessage("请选择保存的位置！");
    return;
  } else {
    context.output_folder = form.chosen_folder;
  }
  if (const std::string problem = PrepareSaveFolder(context.output_folder); !problem.empty()) {
    host.ShowMessage(problem);
    return;
  }
  if (form.naming != PieceNaming::kUnchecked) context.naming_mode = form.naming;
  if (!CheckModeField(form, host)) return;

  FailureList failures;
  if (form.mode != SplitMode::kUnchecked) {
    DiskOutput output;
    std::unordered_set<std::string> folder_names;
    context.renamed_folders.clear();
    std::unordered_set<std::string> sources;
    // Each file once: a file listed twice (overlapping wildcards, a link to it) would otherwise be
    // split twice, into a second folder "(2)".
    std::vector<const FileEntry*> rows;
    for (const FileEntry& row : form.rows) {
      std::string id = FileIdentity(row.path);
      if (!id.empty() && !sources.insert(std::move(id)).second) {
        host.ShowNote(JoinText("注意: ", row.path, " 与前面列出的文件是同一个文件，只分割一次"));
        continue;
      }
      rows.push_back(&row);
    }
    for (size_t i = 0; i < rows.size() && !host.StopRequested(); ++i) {
      const FileEntry& row = *rows[i];
      host.FileStarted(static_cast<int>(i), static_cast<int>(rows.size()), row.path);
#ifdef _WIN32
      // On Windows such a source is the device itself: reading it gives nothing to split.
      if (const std::string file = FileNamePart(row.path); IsDeviceName(file)) {
        failures.Add(row.path, DeviceNameProblem(file));
        continue;
      }
#endif
      bool clashed = false;
      const std::string folder_name = FolderNameFor(row, folder_names, &clashed);
      if (clashed) context.renamed_folders.push_back(JoinPath(context.output_folder, folder_name));
      if (IsDeviceName(row.name)) {
        context.device_folders.push_back(JoinPath(context.output_folder, folder_name));
      }
      SplitRow(form, row, folder_name, sources, static_cast<int>(i) + 1, context, output,
               host, failures);
      // The pieces hold the text now; the context does not keep it after the job.
      context.source_text.clear();
    
    }
  }
  if (failures.empty()) {
    host.ShowCompletionNotice();
    host.SetStatusPane(0, "当前状态: 任务完成");
  } else {
    host.SetStatusPane(0, failures.FinishedStatus("当前状态: 任务完成"));
    failures.ReportTo(host);
  }
}

void SplitJob(const SplitForm& form, JobHost& host) {
  SplitContext context;
  SplitJob(form, context, host);
}

}  // namespace travik
