// The three insert routines: each computes the file's new text in one pass and writes it once.
#include <algorithm>
#include <vector>

#include "core/files.h"
#include "core/pattern.h"
#include "core/text.h"
#include "insert/insert_job.h"
#include "insert/insertion_builder.h"

namespace travik {

namespace {

constexpr char kNoMatchMessage[] = "没有找到匹配文本！";

// The program's sub-folder is made on first use; a chosen folder is used as it is.
void EnsureOutputFolder(const InsertContext& context) {
  if (context.use_program_folder && !FolderExists(context.output_folder)) {
    MakeDirectory(context.output_folder);
  }
}

// False (and reported) when the text with `insertions` more copies of the insert text would not
// fit in a file the program can handle.
bool ResultFits(const InsertContext& context, int64_t insertions, FailureList& failures) {
  int64_t total = static_cast<int64_t>(context.source_text.size()) +
                  insertions * static_cast<int64_t>(context.insert_text.size());
  if (total < kMaxFileSize) return true;
  failures.Add(context.source_path, "插入后的文件将超过 2 GB，未作处理");
  return false;
}

// Writes the result: the copy named after the list's file name in keep mode, the source itself
// otherwise. The source is only ever replaced by a complete new file, and only when it changes.
void WriteResult(const InsertContext& context, const std::string& text, bool changed,
                 FailureList& failures) {
  if (!context.keep_original) {
    if (changed && !ReplaceWholeFile(context.source_path, {text})) {
      failures.Add(context.source_path, "无法写回文件，文件未作修改");
    }
    return;
  }
  std::string copy = JoinText(context.output_folder, kPathSeparator, context.source_name, ".txt");
  if (SameFile(copy, context.source_path)) {
    failures.Add(context.source_path, "副本的路径就是源文件本身，为保留原始文件未作修改");
    return;
  }
  if (!ReplaceWholeFile(copy, {text})) {
    failures.Add(context.source_path, JoinText("无法写入副本 ", copy));
    return;
  }
  if (context.source_cut_short) {
    failures.Add(context.source_path, "文件中含有 0x00 或 0x1A 字节，副本不含其后的内容");
  }
}

}  // namespace

void InsertAtKeyword(InsertContext& context, JobHost& host, FailureList& failures) {
  if (context.keep_original) EnsureOutputFolder(context);
  Pattern pattern;
  if (!RegexCompile(&pattern, context.keyword)) {
    host.ShowMessage(kNoMatchMessage);
    if (context.keep_original) WriteResult(context, context.source_text, false, failures);
    return;
  }
  RegexSearchResult matches = RegexSearchAll(pattern, context.source_text);
  if (matches.cut_short) {
    if (!context.keep_original) {
      failures.Add(context.source_path, "关键字搜索未能完成（表达式过于复杂），文件未作修改");
      return;
    }
    failures.Add(context.source_path, "关键字搜索未能完成（表达式过于复杂），副本只在已找到处插入");
  }
  if (!ResultFits(context, static_cast<int64_t>(matches.size()), failures)) return;
  std::string text = InsertAfterMatches(context.source_text, context.insert_text, matches);
  WriteResult(context, text, !matches.empty(), failures);
}

void InsertByLength(InsertContext& context, FailureList& failures) {
  EnsureOutputFolder(context);
  int64_t steps = std::max(context.step_count, 0);
  if (!ResultFits(context, steps, failures)) return;
  std::string text =
      InsertEveryInterval(context.source_text, context.insert_text, context.interval, steps);
  WriteResult(context, text, steps > 0, failures);
}

void InsertAtRandom(InsertContext& context, FailureList& failures) {
  std::vector<int> draws;
  if (context.source_length > 0) {  // an empty range has nothing to draw from
    CycleCounter counter;
    RandomSource& source = context.random != nullptr ? *context.random : counter;
    for (int k = 0; k < context.random_count; ++k) {
      draws.push_back(RandomInRange(source, 1, context.source_length));
    }
  }
  SortIntegers(draws);
  EnsureOutputFolder(context);
  if (!ResultFits(context, static_cast<int64_t>(draws.size()), failures)) return;
  std::string text = InsertAtDraws(context.source_text, context.insert_text, draws);
  WriteResult(context, text, !draws.empty(), failures);
}

}  // namespace travik
