#include "insert/insert_job.h"

#include "core/files.h"
#include "core/pattern.h"
#include "core/text.h"

namespace travik {

namespace {

constexpr char kNoTextMessage[] = "请输入欲插入的文字！";
constexpr char kNoPositionMessage[] = "请输入欲插入的文字的位置！";
constexpr char kWorkingStatus[] = "当前状态: 正在处理文件...";
constexpr char kFinishedStatus[] = "当前状态: 已完成";
constexpr char kFolderStatus[] = "保存目录: ";
constexpr char kKeptInPlace[] = "，写回会丢失其后的内容，未作修改";

// Loads one listed file into the context and runs the mode's routine on it.
void HandleRow(const FileEntry& row, InsertMode mode, const std::string& every_text,
               InsertContext& context, JobHost& host, FailureList& failures) {
  context.source_path = row.path;
  context.source_name = row.name;
  SourceText source = LoadSourceText(row.path);
  if (!source.ok) {
    failures.Add(row.path, source.error);  // never an empty copy of a file that was not read
    return;
  }
  if (source.cut_short && !context.keep_original) {
    failures.Add(row.path, source.error + kKeptInPlace);
    return;
  }
  context.source_text = std::move(source.text);
  context.source_cut_short = source.cut_short;
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
  std::string().swap(context.source_text);  // a large text is not kept past its row
}

}  // namespace

int StepCountFor(int source_length, int interval) {
  if (interval <= 0) return 0;
  double quotient = static_cast<double>(source_length) / interval;
  if (quotient < 0) return 0;
  return IntegerPart(ToSingle(quotient));
}

int RandomCountFor(std::string_view listed_length) {
  int digits = TextLength(listed_length);
  int length = TextToInt(listed_length);
  if (digits <= 2) return 2;
  if (digits == 3) return length / 100;
  if (digits == 4) return length / 1000;
  if (digits == 5) return length / 5000;
  return length / 10000;
}

void InsertJob(const InsertForm& form, InsertContext& context, JobHost& host) {
  if (CompareText(form.text_to_insert, "") == 0) {
    host.ShowMessage(kNoTextMessage);
    return;
  }
  InsertMode mode;
  if (form.random) {
    mode = InsertMode::kAtRandom;
  } else if (!form.keyword_text.empty()) {
    mode = InsertMode::kByKeyword;
  } else if (!form.every_text.empty()) {
    mode = InsertMode::kByLength;
  } else {
    host.ShowMessage(kNoPositionMessage);
    return;
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

  FailureList failures;
  const int64_t rows = static_cast<int64_t>(form.rows.size());
  for (int64_t i = 0; i < rows; ++i) {
    HandleRow(form.rows[static_cast<size_t>(i)], mode, form.every_text, context, host, failures);
    host.Progress(i + 1, rows);
  }

  host.SetStatusPane(0, failures.FinishedStatus(kFinishedStatus));
  // Pane 1 names the folder that holds the results; in place they are where the sources are.
  if (form.keep_original) host.SetStatusPane(1, JoinText(kFolderStatus, context.output_folder));
  if (failures.ReportTo(host)) host.ShowCompletionNotice();
}

}  // namespace travik
