// The three insert routines: each computes the file's new text in one pass and writes it once.
#include <algorithm>
#include <vector>

#include "files/files.h"
#include "text/pattern.h"
#include "text/text.h"
#include "files/write_behind.h"
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
                  insertions * static_cast<int64_t>(context.file_insert_text.size());
  if (total < kMaxFileSize) return true;
  failures.Add(context.source_path, "插入后的文件将超过 2 GB，未作处理");
  return false;
}

// Hands the output straight on to the file being written.
class FileSink : public OutputSink {
 public:
  explicit FileSink(ReplacementFile& file) : file_(file) {}
  bool Write(std::string_view bytes) override { return file_.Append(bytes); }
  // Written while the next bytes are made; the builder fills a new string meanwhile.
  bool Take(std::string* bytes) override {
    const bool written = file_.AppendLater(pool_->Lend(std::move(*bytes)));
    *bytes = pool_->Get();
    return written;
  }

 private:
  ReplacementFile& file_;
  std::shared_ptr<BufferPool> pool_ = BufferPool::Make();
};

// Writes the result that `produce` (a function of an OutputSink) makes: the copy named after the
// list's file name in keep mode, the source itself otherwise. Either file is only ever replaced
// by a complete new one, and the source only when it changes. False when nothing was written
// because of a failure (which is reported).
template <typename Produce>
bool WriteResult(InsertContext& context, bool changed, FailureList& failures,
                 Produce&& produce) {
  std::string target = context.source_path;
  if (context.keep_original) {
    target = JoinText(context.output_folder, kPathSeparator, context.source_name, ".txt");
    if (SameFile(target, context.source_path)) {
      failures.Add(context.source_path, "副本的路径就是源文件本身，为保留原始文件未作修改");
      return false;
    }
  } else if (!changed) {
    return true;  // nothing to insert: the file stays byte for byte as it is
  }
  ReplacementFile file(target);
  FileSink sink(file);
  const bool written = file.ok() && produce(sink);
  // A stop is honoured before the file is replaced: it stays as it was, no copy is made.
  if (written && context.host != nullptr && context.host->StopRequested()) return false;
  // Another program shortened the file while it was read: what was made is not its text.
  if (written && context.source_text.Changed()) {
    failures.Add(context.source_path, context.keep_original
                                          ? "读取时文件被其他程序改短，未写出副本"
                                          : "读取时文件被其他程序改短，文件未作修改");
    return false;
  }
  if (written && !context.keep_original) {
    // Another program wrote to the file while its new text was made (a line appended, say): the
    // new text lacks that, so the file stays as the other program left it.
    if (context.source_lock != nullptr) context.source_lock->Release();
    if (!UnchangedSince(context.source_stamp, context.source_path)) {
      failures.Add(context.source_path, "处理时文件被其他程序修改，文件未作修改（保留了修改）");
      return false;
    }
    // Windows does not replace a file that is mapped: the source's text, all written by now, is let
    // go before its file is replaced.
    context.source_text.clear();
  }
  if (!written || !file.Commit()) {
    failures.Add(context.source_path, context.keep_original ? JoinText("无法写入副本 ", target)
                                                            : "无法写回文件，文件未作修改");
    return false;
  }
  if (context.host != nullptr) context.host->OutputWritten(target);
  if (context.keep_original && context.source_unfinished) {
    failures.Add(context.source_path, "文件末尾有不完整的字符，副本不含这几个字节");
  } else if (context.keep_original && context.source_cut_short) {
    failures.Add(context.source_path, "文件末尾有不完整的双字节字符，副本不含这个字节");
  }
  return true;
}

TextLayout LayoutOf(const InsertContext& context) {
  return {context.source_encoding, context.source_mark_length, &context.source_text};
}

// Every match of the keyword in the file's text, in its own bytes. GBK texts are searched as they
// always were; other texts without their byte-order mark, in their encoding.
RegexSearchResult SearchText(const Pattern& pattern, const InsertContext& context) {
  if (context.source_encoding == Encoding::kGbk) {
    return RegexSearchAll(pattern, context.source_text);
  }
  const size_t mark = context.source_mark_length;
  RegexSearchResult matches = RegexSearchAll(
      pattern, std::string_view(context.source_text).substr(mark), context.source_encoding);
  for (MatchRecord& match : matches.matches) match.groups[0].start += static_cast<int64_t>(mark);
  return matches;
}

}  // namespace

void InsertAtKeyword(InsertContext& context, JobHost& /*host*/, FailureList& failures) {
  if (context.keep_original) EnsureOutputFolder(context);
  Pattern pattern;
  if (!RegexCompile(&pattern, context.keyword)) {
    failures.Add(context.source_path, JoinText(kInvalidPatternMessage, pattern.error()));
    return;
  }
  RegexSearchResult matches = SearchText(pattern, context);
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
  if (WriteResult(context, !matches.empty(), failures, [&](OutputSink& out) {
        return InsertAfterMatches(context.source_text, context.file_insert_text, matches, out,
                                  kOutputPiece, LayoutOf(context));
      })) {
    context.insertions = static_cast<int64_t>(matches.size());
  }
}

void InsertByLength(InsertContext& context, FailureList& failures) {
  EnsureOutputFolder(context);
  int64_t steps = std::max(context.step_count, 0);
  if (!ResultFits(context, steps, failures)) return;
  if (WriteResult(context, steps > 0, failures, [&](OutputSink& out) {
        return InsertEveryInterval(context.source_text, context.file_insert_text,
                                   context.interval, steps, out, kOutputPiece, LayoutOf(context));
      })) {
    context.insertions = steps;
  }
}

void InsertAtRandom(InsertContext& context, FailureList& failures) {
  // Each file draws from a copy of a given generator: its positions depend on the seed and the
  // file only, not on the files listed before it.
  RandomGenerator generator =
      context.random != nullptr ? *context.random : RandomGenerator::FromDevice();
  std::vector<int> draws =
      DrawSortedPositions(generator, context.random_count, context.source_length);
  EnsureOutputFolder(context);
  if (!ResultFits(context, static_cast<int64_t>(draws.size()), failures)) return;
  const int64_t made = static_cast<int64_t>(draws.size());
  if (WriteResult(context, made > 0, failures, [&](OutputSink& out) {
        return InsertAtDraws(context.source_text, context.file_insert_text, draws, out,
                             kOutputPiece, LayoutOf(context));
      })) {
    context.insertions = made;
  }
}

}  // namespace travik
