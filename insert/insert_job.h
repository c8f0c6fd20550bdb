// The insert job: one text inserted into every listed file, after every keyword match, after every
// N bytes, or at random places; each file changed in place or copied with the insertions.
#ifndef TRAVIK_INSERT_INSERT_JOB_H_
#define TRAVIK_INSERT_INSERT_JOB_H_

#include <string>
#include <string_view>
#include <vector>

#include "text/encoding.h"
#include "files/file_entry.h"
#include "files/files.h"
#include "core/job_host.h"
#include "files/source_bytes.h"
#include "insert/random_source.h"

namespace travik {

// The sub-folder of the program's folder that receives kept copies.
inline constexpr char kProcessedFolderName[] = "处理后的文件";

// Which of the keyword and the length places the text (unless at random). kFilled: the keyword when
// it is given, else the length (the command line takes only one of them).
enum class InsertPlace { kFilled, kKeyword, kLength };

// The values of the insert page's controls when the start button is clicked, as typed: texts and
// paths are UTF-8.
struct InsertForm {
  std::vector<FileEntry> rows;     // 超级列表框3; `size` is the listed length in bytes
  std::string text_to_insert;      // 编辑框7 "欲插入的文字："
  std::string keyword_text;        // 编辑框8 "按关键字："
  std::string every_text;          // 编辑框9 "按文本长度："
  InsertPlace place = InsertPlace::kFilled;  // 标签10 / 标签11: the option chosen beside them
  bool random = false;             // 选择框1 "随机插入"
  bool keep_original = true;       // 选择框5 "保留原始文件"
  bool use_program_folder = true;  // 选择框7 "保存到软件所在目录"
  // The window's `outputFolder` as the save-location controls left it: the folder chosen when
  // 选择框7 was unticked (or the program's sub-folder after a cancelled choice). Read only when
  // 选择框7 is unticked; empty then counts as the program's sub-folder.
  std::string output_folder;
  std::string program_folder;  // ProgramDirectory() in the window, the current folder in cli
};

enum class InsertMode { kByKeyword, kByLength, kAtRandom };

// The state the job fills and its routines read. The per-file fields are overwritten per row.
struct InsertContext {
  std::string output_folder;  // folder of kept copies; after the job, the one that was used
  std::string insert_text;  // as typed (UTF-8)
  std::string keyword;  // kByKeyword only, as typed (UTF-8)
  int interval = 0;     // kByLength only
  bool keep_original = true;
  bool use_program_folder = true;
  SourceBytes source_text;         // the file's whole text (read and closed again by the job)
  bool source_weak = false;        // its encoding recognised on slight evidence ("GBK?")
  bool source_cut_short = false;   // the text stopped at a 0x00 or 0x1A byte
  bool source_unfinished = false;  // UTF-8, GB18030: an incomplete last character was left out
  Encoding source_encoding = Encoding::kGbk;
  size_t source_mark_length = 0;   // the byte-order mark at the start of source_text
  std::string file_insert_text;    // insert_text in the file's encoding (ConvertTypedText)
  std::string source_path;         // list column 1
  // In place: the file as it was before it was read, checked just before it is replaced, and
  // the lock that keeps other programs from writing it meanwhile (Windows), let go before that.
  FileStamp source_stamp;
  WriterLock* source_lock = nullptr;
  std::string source_name;         // the copy's name without ".txt" (list column 0, made unique)
  int source_length = 0;           // TextToInt of list column 2 (kByLength, kAtRandom)
  int step_count = 0;              // insertions of kByLength
  int random_count = 0;            // insertions of kAtRandom
  // kAtRandom: every file draws from a copy of this generator; null: a new one seeded by the OS.
  RandomGenerator* random = nullptr;
  int64_t insertions = 0;             // insertions written into the current file's result
  // Copies that got a name other than their file's ("小说(2).txt"): a file of that name was
  // already written by this job.
  std::vector<std::string> renamed_copies;
  // The job's host while it runs: asked to stop before a file is replaced, told of every file
  // written. Null outside a job.
  JobHost* host = nullptr;
};

// Runs the job: checks the form (a failed check shows its message and changes nothing), then
// handles every row in list order, each file once (a row naming a file listed before, by another
// spelling or a link, is dropped with a note). In place, a file written by another program while
// the job worked on it is kept as it is and reported. At the end the host gets the number of insertions made in each
// file that was written, and then the files that could not be handled; the completion notice is
// shown only when none failed.
void InsertJob(const InsertForm& form, InsertContext& context, JobHost& host);

// The routines, one file each; the context holds the file's text and values.
// After every match of `keyword`; a file it does not match is named in the report (its copy is
// still written).
void InsertAtKeyword(InsertContext& context, JobHost& host, FailureList& failures);
// After every `interval` bytes, `step_count` times.
void InsertByLength(InsertContext& context, FailureList& failures);
// At `random_count` places drawn in 1 ... `source_length`.
void InsertAtRandom(InsertContext& context, FailureList& failures);

// Number of insertions by length: the integer part of listed length / interval rounded to single
// precision; 0 when the interval is 0 or negative.
int StepCountFor(int source_length, int interval);
// Number of random insertions for a listed length as written in the list (by its digit count:
// the list writes the length in ASCII digits).
int RandomCountFor(std::string_view listed_length);

}  // namespace travik

#endif  // TRAVIK_INSERT_INSERT_JOB_H_
