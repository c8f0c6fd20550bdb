#include "insert/insert_job.h"

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "text/codepage.h"
#include "files/file_entry.h"
#include "files/files.h"
#include "files/save_folder.h"
#include "text/pattern.h"
#include "text/text.h"

namespace travik {

namespace {

constexpr char kNoTextMessage[] = "请输入欲插入的文字！";
constexpr char kNoPositionMessage[] = "请输入欲插入的文字的位置！";
// Every length a file the program takes can have.
constexpr double kMaxInterval = 2147483647;
constexpr char kIntervalRangeMessage[] = "按文本长度须在 1 到 2147483647 字节之间";
constexpr char kWorkingStatus[] = "当前状态: 正在处理文件...";
constexpr char kFinishedStatus[] = "当前状态: 已完成";
constexpr char kFolderStatus[] = "保存目录: ";
constexpr char kKeptInPlace[] = "，写回会丢失这些字节，未作修改";
constexpr char kInsertTextDoesNotFit[] = "欲插入的文字中有 ";
constexpr char kInsertTextDoesNotFitEnd[] = " 编码无法表示的字符，文件未作处理";

constexpr char kNoProgramFolder[] = "无法确定保存目录（软件所在目录未知），未作处理";

// The name (without ".txt") of the copy of `row` in `folder`: its list name, or for a file named
// ".txt" the empty name that gives ".txt" back; "(2)", "(3)" ... added when an earlier row of the
// job took it or when it is the source of another row (FileIdentity in `sources`), so that no
// copy overwrites another or a file still to be read (then *renamed is set). `taken` holds the
// names used, as FileNameKey compares them (the way Windows does).
std::string CopyName(const FileEntry& row, const std::string& folder,
                     const std::unordered_set<std::string>& sources,
                     std::unordered_set<std::string>& taken, bool* renamed) {
  // A copy named "nul.txt" would vanish into the device on Windows: it is "nul_.txt".
  const bool device = IsDeviceName(row.name);
  std::string name = device ? PortableName(row.name) : row.name;
  const std::string file = FileNamePart(row.path);
  if (name == file && FileNameKey(name) == ".txt") name.clear();
  const std::string own = FileIdentity(row.path);
  auto usable = [&](const std::string& candidate) {
    const std::string id = FileIdentity(JoinText(folder, kPathSeparator, candidate, ".txt"));
    if (!id.empty() && id != own && sources.count(id) != 0) return false;
    return taken.insert(FileNameKey(candidate)).second;
  };
  std::string candidate = name;
  for (int n = 2; !usable(candidate); ++n) {
    candidate = JoinText(name, "(", NumberToText(n), ")");
  }
  *renamed = device || candidate != name;
  return candidate;
}

// Loads one listed file into the context and runs the mode's routine on it.
void HandleRow(const FileEntry& row, InsertMode mode, const std::string& every_text,
               InsertContext& context, JobHost& host, FailureList& failures) {
  context.source_path = row.path;
#ifdef _WIN32
  // Such a source is the device itself, not a file.
  if (const std::string file = FileNamePart(row.path); IsDeviceName(file)) {
    failures.Add(row.path, DeviceNameProblem(file));
    return;
  }
#endif
  context.source_lock = nullptr;
  std::unique_ptr<WriterLock> lock;
  if (!context.keep_original) {
    // Only a change in place needs to write the file; say why it cannot.
    std::string problem = WriteAccessProblem(row.path);
    if (problem.empty()) {
      lock = std::make_unique<WriterLock>(row.path);
      problem = lock->problem();
    }
    if (!problem.empty()) {
      failures.Add(row.path, JoinText("无法修改文件（", problem, "），文件未作修改"));
      return;
    }
    context.source_lock = lock.get();
    // Taken before the file is read: whatever another program writes to it from now on shows.
    context.source_stamp = StampOf(row.path);
    if (!context.source_stamp.regular) {
      failures.Add(row.path, "不是普通文件（是管道或设备），无法修改，文件未作处理");
      return;
    }
  }
  SourceText source = LoadSourceText(row.path, {}, row.encoding);
  if (!source.ok) {
    // Never an empty copy of a file that was not read, nor one of a text refused in its encoding.
    failures.Add(row.path, source.error);
    return;
  }
  // The typed text in the file's own encoding; a character the encoding lacks refuses the file
  // before anything is written for it.
  if (!ConvertTypedText(context.insert_text, source.encoding, &context.file_insert_text)) {
    failures.Add(row.path, JoinText(kInsertTextDoesNotFit, EncodingName(source.encoding),
                                    kInsertTextDoesNotFitEnd));
    return;
  }
  if (source.cut_short && !context.keep_original) {
    failures.Add(row.path, source.error + kKeptInPlace);
    return;
  }
  if (!source.padding.empty() && !context.keep_original) {
    failures.Add(row.path, JoinText("文件末尾有 ", std::to_string(source.padding.size()),
                                    " 个 0x00/0x1A 填充字节", kKeptInPlace));
    return;
  }
  // Recognised in spite of a few invalid bytes: the guess is not the person's word, and a wrong
  // one would write text of another encoding into the file itself. (Named, such a text is
  // refused by the reader: it is not wholly in the encoding named.) A new file is safe.
  if (source.invalid_bytes > 0 && !context.keep_original) {
    failures.Add(row.path, JoinText("文件中有 ", std::to_string(source.invalid_bytes),
                                    " 个无效字节，按 ", EncodingName(source.encoding),
                                    " 编码识别，不原地插入；请保留原文件后再插入，文件未作修改"));
    return;
  }
  for (const std::string& note : source.notes) host.FileWarning(row.path, note);
  context.source_text = std::move(source.text);
  context.source_cut_short = source.cut_short;
  context.source_weak = source.weak_evidence && source.encoding == Encoding::kGbk;
  context.source_unfinished = !source.unfinished.empty();
  context.source_encoding = source.encoding;
  context.source_mark_length = source.mark_length;
  switch (mode) {
    case InsertMode::kByKeyword:
      InsertAtKeyword(context, host, failures);
      break;
    case InsertMode::kByLength:
      context.source_length = TextToInt(row.size);
      context.interval = TextToInt(every_text);
      context.step_count = StepCountFor(context.source_length, context.interval);
      InsertByLength(context, failures);
      break;
    case InsertMode::kAtRandom:
      context.random_count = RandomCountFor(row.size);
      context.source_length = TextToInt(row.size);
      InsertAtRandom(context, failures);
      break;
  }
  context.source_text.clear();  // a large text is not kept past its row
  context.source_lock = nullptr;
}

}  // namespace

int StepCountFor(int source_length, int interval) {
  if (interval <= 0) return 0;
  double quotient = static_cast<double>(source_length) / interval;
  if (quotient < 0) return 0;
  return IntegerPart(ToSingle(quotient));
}

int RandomCountFor(std::string_view listed_length) {
  const int digits = static_cast<int>(listed_length.size());
  int length = TextToInt(listed_length);
  if (digits <= 2) return 2;
  if (digits == 3) return length / 100;
  if (digits == 4) return length / 1000;
  if (digits == 5) return length / 5000;
  return length / 10000;
}

void InsertJob(const InsertForm& form, InsertContext& context, JobHost& host) {
  context.renamed_copies.clear();  // also when a check stops the job
  if (CompareText(form.text_to_insert, "") == 0) {
    host.ShowMessage(kNoTextMessage);
    return;
  }
  InsertMode mode;
  // Only the chosen box counts: a filled box beside an unchosen option is never used instead.
  const bool by_keyword = form.place == InsertPlace::kKeyword ||
                          (form.place == InsertPlace::kFilled && !form.keyword_text.empty());
  if (form.random) {
    mode = InsertMode::kAtRandom;
  } else if (by_keyword && !form.keyword_text.empty()) {
    mode = InsertMode::kByKeyword;
  } else if (!by_keyword && !form.every_text.empty()) {
    mode = InsertMode::kByLength;
  } else {
    host.ShowMessage(kNoPositionMessage);
    return;
  }
  if (mode == InsertMode::kByLength) {
    const double every = TextToNumber(form.every_text);
    if (every < 1 || every > kMaxInterval) {
      host.ShowMessage(kIntervalRangeMessage);
      return;
    }
  }
  if (mode == InsertMode::kByKeyword) {
    Pattern pattern;
    if (!RegexCompile(&pattern, form.keyword_text)) {
      host.ShowMessage(JoinText(kInvalidPatternMessage, pattern.error()));  // no file is touched
      return;
    }
  }
  context.insert_text = form.text_to_insert;
  if (mode == InsertMode::kByKeyword) context.keyword = form.keyword_text;
  context.keep_original = form.keep_original;
  context.use_program_folder = form.use_program_folder;

  if (form.keep_original && form.program_folder.empty() &&
      (form.use_program_folder || form.output_folder.empty())) {
    // An empty folder would put the copies at the root of the drive.
    host.ShowMessage(kNoProgramFolder);
    return;
  }
  host.SetStatusPane(0, kWorkingStatus);
  const std::string processed = JoinText(form.program_folder, kPathSeparator, kProcessedFolderName);
  if (form.use_program_folder) {
    host.SetStatusPane(1, JoinText(kFolderStatus, form.program_folder));
    context.output_folder = processed;
  } else if (form.output_folder.empty()) {
    // No folder was ever chosen: the program's sub-folder, as after a cancelled choice (never
    // the root folder that an empty folder text would make of the copy's path).
    context.output_folder = processed;
    context.use_program_folder = true;
  } else {
    context.output_folder = form.output_folder;
  }
  if (form.program_folder.empty() && context.use_program_folder) {
    // In place with no program folder known: no copies, and no empty sub-folder made at the root.
    context.use_program_folder = false;
  }

  if (context.keep_original) {
    if (const std::string problem = PrepareSaveFolder(context.output_folder); !problem.empty()) {
      host.ShowMessage(problem);
      return;
    }
  }

  FailureList failures;
  std::vector<FileResult> results;
  std::unordered_set<std::string> copy_names;
  context.renamed_copies.clear();
  std::unordered_set<std::string> sources;  // FileIdentity of every row's file
  // Each file once: a file listed twice (overlapping wildcards, a link to it) would otherwise get
  // every insertion twice.
  std::vector<const FileEntry*> unique_rows;
  for (const FileEntry& row : form.rows) {
    std::string id = FileIdentity(row.path);
    if (!id.empty() && !sources.insert(std::move(id)).second) {
      host.ShowNote(JoinText("注意: ", row.path, " 与前面列出的文件是同一个文件，只处理一次"));
      continue;
    }
    unique_rows.push_back(&row);
  }
  context.host = &host;
  const int64_t rows = static_cast<int64_t>(unique_rows.size());
  for (int64_t i = 0; i < rows && !host.StopRequested(); ++i) {
    const FileEntry& row = *unique_rows[static_cast<size_t>(i)];
    host.FileStarted(static_cast<int>(i), static_cast<int>(rows), row.path);
    bool renamed = false;
    context.source_name = context.keep_original
                              ? CopyName(row, context.output_folder, sources, copy_names, &renamed)
                              : row.name;
    if (renamed) {
      context.renamed_copies.push_back(
          JoinText(context.output_folder, kPathSeparator, context.source_name, ".txt"));
    }
    context.insertions = -1;  // stays so unless the routine writes the file's result
    HandleRow(row, mode, form.every_text, context, host, failures);
    if (context.insertions >= 0) {
      // A short text recognised on slight evidence is named so: the person can name its encoding.
      const std::string doubt =
          context.source_weak
              ? JoinText("（按 ", EncodingName(context.source_encoding),
                         "? 读取：编码的依据不足，可用 --encoding 或列表菜单指定）")
              : std::string();
      results.push_back(
          {row.path, JoinText("插入 ", std::to_string(context.insertions), " 处", doubt)});
    }
  }
  context.host = nullptr;

  host.SetStatusPane(0, failures.FinishedStatus(kFinishedStatus));
  // Pane 1 names the folder that holds the results; in place they are where the sources are.
  if (form.keep_original) host.SetStatusPane(1, JoinText(kFolderStatus, context.output_folder));
  if (!results.empty()) host.ReportResults(results);
  if (failures.ReportTo(host)) host.ShowCompletionNotice();
}

}  // namespace travik
