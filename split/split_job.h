// The split job: cuts the files of the split list into pieces (by size, by part count or at every
// match of a keyword), names and writes the pieces and, when asked, a batch script that joins them.
//
// The window fills a SplitForm from the split page's controls when 按钮5 "开始分割" is clicked,
// keeps one SplitContext for the whole program run, and calls SplitJob(form, context, host). The
// command line does the same with a fresh context.
#ifndef TRAVIK_SPLIT_SPLIT_JOB_H_
#define TRAVIK_SPLIT_SPLIT_JOB_H_

#include <cstdint>
#include <string>
#include <vector>

#include "text/encoding.h"
#include "files/file_entry.h"
#include "core/job_host.h"
#include "files/source_bytes.h"

namespace travik {

// The naming group "分割后的文件名". kUnchecked: no radio of the group is checked.
enum class PieceNaming {
  kUnchecked = 0,
  kNumber = 1,   // 单选框4 "自动编号": 1.txt, 2.txt ...
  kKeyword = 2,  // 单选框5 "按关键字": the matched text (keyword splits; others number)
  kCustom = 3,   // 单选框6 "自定义＋编号": 编辑框6's text, then the number
};

// The split mode radios. kUnchecked: none is checked (the job then only signals completion).
enum class SplitMode {
  kUnchecked = 0,
  kBySize = 1,     // 单选框1 "按大小分割", value in 编辑框1
  kByCount = 2,    // 单选框2 "按分数分割", value in 编辑框2
  kByKeyword = 3,  // 单选框3 "按关键字分割", value in 编辑框3
};

// The split page's controls as the job reads them when it starts. Texts are UTF-8, as typed: the
// checks compare them with the empty text and with "0".
struct SplitForm {
  std::vector<FileEntry> rows;  // 超级列表框1: column 0 name (sub-folder, merged name), 1 path
  bool save_in_program_folder = false;        // 选择框3 "保存到软件所在目录"
  std::string chosen_folder;                  // 编辑框10: the save folder
  PieceNaming naming = PieceNaming::kNumber;  // 单选框4/5/6; kUnchecked keeps the last job's
  SplitMode mode = SplitMode::kBySize;        // 单选框1/2/3; kUnchecked splits nothing
  std::string size_text;                      // 编辑框1: piece size in KB
  std::string parts_text;                     // 编辑框2: number of parts
  std::string keyword_text;                   // 编辑框3: the pattern (Perl syntax)
  // Keyword mode cuts at the chapter finder's headings instead: of the forms in chapter_presets
  // (0: the forms it chooses itself), or of keyword_text when that is not empty.
  bool find_chapters = false;
  unsigned chapter_presets = 0;
  // With neither presets nor keyword: one form of heading the finder saw ("第#章"), as the chapter
  // preview lets a person pick it, instead of the finder's own choice.
  std::string chapter_form;
  std::string custom_text = "自定义内容";  // 编辑框6: text before the number in kCustom naming
  bool write_merge_script = false;         // 选择框4 "生成合并文件"
  std::string program_folder;              // ProgramDirectory() (the current folder for the CLI)
};

// State the job hands to its mode routines. It outlives a job: the naming mode stays when a
// later form has no naming radio checked; everything else is overwritten file by file.
struct SplitContext {
  std::string output_folder;  // the folder that receives one sub-folder per source file
  PieceNaming naming_mode = PieceNaming::kUnchecked;
  std::string source_name;       // column 0 of the current row
  std::string source_path;       // column 1 of the current row
  SourceBytes source_text;       // the current file's text as read (up to a 0x00 / 0x1A byte)
  // The text's encoding, and the length of the byte-order mark it begins with (0 when none):
  // the mark stays at the start of the first piece.
  Encoding encoding = Encoding::kGbk;
  size_t mark_length = 0;
  double piece_count = 0;        // size mode: pieces the file's size on disk asks for
  int requested_parts = 0;       // count mode: 编辑框2 as a number
  int64_t text_length = 0;       // keyword mode: bytes of the source text
  std::string keyword;           // keyword mode: 编辑框3
  bool find_chapters = false;    // keyword mode: cut at the chapter finder's headings
  unsigned chapter_presets = 0;  // the finder's heading forms (0: its own choice)
  std::string chapter_form;      // ... or the one form picked (see SplitForm)
  std::string merged_file_name;  // the merged file's name in the merge script (column 0 again)
  // Piece folders named other than their row ("小说(2)"): an earlier row of the job had the name.
  std::vector<std::string> renamed_folders;
  // Piece folders whose source's name is a device name on Windows ("nul"): named "nul_" instead.
  std::vector<std::string> device_folders;
};

// The failure of a chapter split in a file where the finder saw no heading.
inline constexpr char kChaptersNotFound[] = "未找到章节标题（可以改为按大小分割）";

// The folder under the program's (or the current) folder that receives the pieces.
inline constexpr char kSplitFolderName[] = "分割后的文件";

// Runs the split job. Checks, in order, the list, the save folder and the selected mode's field,
// showing the first failed check through host.ShowMessage and returning before any file is read.
// Then splits every row's file into <output folder>/<column 0>/ (<column 0>(2)/ ... for a later
// row of the same name), writing the merge script when asked. A piece folder that holds files
// the split did not write is reported with their number. Files that cannot be read completely,
// pieces or scripts that cannot be written and keyword searches that were cut short are reported
// once at the end (host.ReportFailures); the completion notice is shown only when nothing failed.
void SplitJob(const SplitForm& form, SplitContext& context, JobHost& host);
// The same with a context of its own (naming mode unset before the job).
void SplitJob(const SplitForm& form, JobHost& host);

// Size mode: the piece count for a file of `file_bytes` on disk and the size field's text: the
// file's KB divided by the size, plus one for a remainder of 0.001 KB or more, truncated.
double SizeModePieceCount(int64_t file_bytes, const std::string& size_text);

}  // namespace travik

#endif  // TRAVIK_SPLIT_SPLIT_JOB_H_
