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

// Hands the output straight on to the file being written.
class FileSink : public OutputSink {
 public:
  explicit FileSink(ReplacementFile& file) : file_(file) {}
  bool Write(std::string_view bytes) override { return file_.Append(bytes); }

 private:
  ReplacementFile& file_;
};

// Writes the result that `produce` (a function of an OutputSink) makes: the copy named after the
// list's file name in keep mode, the source itself otherwise. Either file is only ever replaced
// by a complete new one, and the source only when it changes.
template <typename Produce>
void WriteResult(const InsertContext& context, bool changed, FailureList& failures,
                 Produce&& produce) {
  std::string target = context.source_path;
  if (context.keep_original) {
    target = JoinText(context.output_folder, kPathSeparator, context.source_name, ".txt");
    if (SameFile(target, context.source_path)) {
      failures.Add(context.source_path, "副本的路径就是源文件本身，为保留原始文件未作修改");
      return;
    }
  } else if (!changed) {
    return;  // nothing to insert: the file stays byte for byte as it is
  }
  ReplacementFile file(target);
  FileSink sink(file);
  if (!file.ok() || !produce(sink) || !file.Commit()) {
    failures.Add(context.source_path, context.keep_original ? JoinText("无法写入副本 ", target)
                                                            : "无法写回文件，文件未作修改");
    return;
  }
  if (context.keep_original && context.source_cut_short) {
    failures.Add(context.source_path, "文件中含有 0x00 或 0x1A 字节，副本不含其后的内容");
  }
}

}  // namespace

void InsertAtKeyword(InsertContext& context, JobHost& /*host*/, FailureList& failures) {
  if (context.keep_original) EnsureOutputFolder(context);
  Pattern pattern;
  if (!RegexCompile(&pattern, context.keyword)) {
    failures.Add(context.source_path, JoinText(kInvalidPatternMessage, pattern.error()));
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
  // A file the keyword is not found in is named in the report; a copy is still written.
  if (matches.empty() && !matches.cut_short) failures.Add(context.source_path, kKeywordNotFound);
  if (!ResultFits(context, static_cast<int64_t>(matches.size()), failures)) return;
  WriteResult(context, !matches.empty(), failures, [&](OutputSink& out) {
    return InsertAfterMatches(context.source_text, context.insert_text, matches, out);
  });
}

void InsertByLength(InsertContext& context, FailureList& failures) {
  EnsureOutputFolder(context);
  int64_t steps = std::max(context.step_count, 0);
  if (!ResultFits(context, steps, failures)) return;
  WriteResult(context, steps > 0, failures, [&](OutputSink& out) {
    return InsertEveryInterval(context.source_text, context.insert_text, context.interval, steps,
                               out);
  });
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
  WriteResult(context, !draws.empty(), failures, [&](OutputSink& out) {
    return InsertAtDraws(context.source_text, context.insert_text, draws, out);
  });
}

}  // namespace travik
