// Naming and writing of split pieces, and the merge script "点我合并.bat" that joins them again.
// Piece names are UTF-8, as every path of the program is.
#ifndef TRAVIK_SPLIT_PIECE_WRITER_H_
#define TRAVIK_SPLIT_PIECE_WRITER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "text/encoding.h"
#include "core/job_host.h"
#include "split/split_job.h"

namespace travik {

inline constexpr char kMergeScriptName[] = "点我合并.bat";
inline constexpr char kHeadPieceName[] = "头文本";  // head piece of a keyword split, by keyword
inline constexpr char kMergedFolderInScript[] = "合并后的文件";
// Longest piece name (without ".txt") that a matched or custom text may give, as a width: 1 for
// an ASCII character, 2 for one of two or three UTF-8 bytes, 4 for one of four. That is the size
// of the name in GBK where GBK holds it, so that names of Chinese text are as long as they always
// were; in UTF-16 (Windows) a name never takes more units than its width.
inline constexpr size_t kMaxPieceNameWidth = 100;
// cmd.exe refuses longer lines (8,191 characters); every script line stays below this.
inline constexpr size_t kMaxScriptLineBytes = 8190;

// Where pieces go: the file system, or memory in tests.
class PieceOutput {
 public:
  virtual ~PieceOutput() = default;
  // Creates or truncates the file with exactly these bytes; false when that failed.
  virtual bool WriteFile(const std::string& path, std::string_view bytes) = 0;
  // The same with the bytes in two parts, one after the other.
  virtual bool WriteFileParts(const std::string& path, std::string_view first,
                              std::string_view second) {
    std::string joined(first);
    joined += second;
    return WriteFile(path, joined);
  }
};

// WriteWholeFile; a file that could not be written whole is removed (RemoveFile: never a folder,
// a read-only file or a file open here).
class DiskOutput : public PieceOutput {
 public:
  bool WriteFile(const std::string& path, std::string_view bytes) override;
  bool WriteFileParts(const std::string& path, std::string_view first,
                      std::string_view second) override;
};

// `text` + `suffix` (UTF-8) made into a file name without extension that every system accepts:
// the characters \ / : * ? " < > | and bytes below 0x20 become "_", and so does each byte that
// begins no UTF-8 character; `text` is cut at a character boundary so that the whole stays within
// kMaxPieceNameWidth, trailing spaces and dots are dropped, and a device name (CON, PRN, AUX, NUL,
// COM1-9, LPT1-9, before the first dot) gets a "_". Empty when nothing is left.
std::string SafeFileStem(std::string_view text, std::string_view suffix = {});

// The matched text of a piece of a text in `encoding`, in UTF-8 for the piece's name: each
// character that is no valid character of the encoding becomes "_" (the text itself is never
// changed). In GBK a character is a lead byte with a trail byte (40-7E, 80-FE), or one byte.
// Only the front that a name can hold is converted.
std::string MatchedTextInUtf8(std::string_view matched, Encoding encoding);

// The name of piece `number` before clashes are settled: "<number>.txt", the matched text (or
// "头文本" for the head piece) when naming by keyword, or custom text + number. Naming by keyword
// without a matched text, and an unset naming mode, number the piece; a name that comes out
// empty is the number.
std::string PieceFileName(PieceNaming naming, int64_t number, std::string_view matched, bool head,
                          std::string_view custom_text);

// The bytes of the merge script for the pieces `names` (UTF-8), merging into
// 合并后的文件\<merged_name>.txt. Every path is relative to the script's own folder, so the folder
// can be moved or copied. Paths and names are quoted, "%" doubled, lines end in CR LF and stay
// within kMaxScriptLineBytes. The pieces are joined by "copy /y /b", byte for byte (the type
// command of some cmd versions re-encodes text in blocks and breaks double-byte characters at the
// block edges): the first copy line creates the merged file, later ones append to it, so running
// the script twice gives the same file.
// The script is GBK: cmd reads a batch file in the console's code page, GBK on a Chinese system,
// and Wine's cmd reads it in its ANSI code page whatever chcp says. A piece name GBK cannot hold
// is written as a pattern, each character GBK lacks as one "?" per UTF-16 unit; the script first
// counts the files each pattern matches and stops with a message, joining nothing, unless it is
// exactly one. A merged name GBK cannot hold is taken from the script's folder when it runs (the
// name must then be the folder's: MergeScriptProblem).
std::string MergeScriptText(std::string_view merged_name, const std::vector<std::string>& names);
// Why no merge script can join the pieces `names` in the folder named `folder_name` into
// `merged_name` (a message naming the name), or empty when one can: a merged name GBK cannot hold
// that is not the folder's name, or a piece name GBK cannot hold whose pattern another piece's
// name may match.
std::string MergeScriptProblem(std::string_view folder_name, std::string_view merged_name,
                               const std::vector<std::string>& names);

// Names and writes the pieces of one source file into one folder, remembering the names written
// (the piece name list), and writes the merge script from them.
class PieceWriter {
 public:
  // `folder`: the piece folder; `custom_text`: the typed text of custom names; `merged_name`: the
  // merged file's name in the script. All UTF-8.
  PieceWriter(std::string folder, PieceNaming naming, std::string custom_text,
              std::string merged_name, PieceOutput& output);

  // The encoding of the text the pieces come from (GBK unless set): matched texts are converted
  // from it for the pieces' names (MatchedTextInUtf8).
  void SetSourceEncoding(Encoding encoding) { encoding_ = encoding; }
  // Reports host.Progress(bytes written so far, total) after every piece.
  void SetProgress(JobHost* host, int64_t total_bytes);

  // Names piece `number` (0 for the head piece of a keyword split, with head = true; `matched` in
  // the source's encoding), gives a name that is already taken in this folder a "(2)", "(3)" ...
  // and writes the bytes. A failed write is remembered (failed_names) and the name is not listed.
  void WritePiece(std::string_view piece, int64_t number, std::string_view matched = {},
                  bool head = false);
  // The same for a numbered piece whose bytes are `first` then `second`.
  void WritePieceParts(std::string_view first, std::string_view second, int64_t number);
  // Forgets every piece written (the caller has removed them) and every name reserved, as if
  // nothing had been written yet; a stop asked for stays. Pieces held back are never told.
  void Reset();
  // While held, pieces written are not told to the host as written (they may still be removed);
  // ReportHeld tells the ones written meanwhile, in order, and stops holding.
  void HoldReports() { holding_reports_ = true; }
  void ReportHeld();
  // Keeps `name` (a file that must not be overwritten) from being given to a piece.
  void ReserveName(std::string_view name);
  // Writes <folder>\点我合并.bat from the names written; false, writing nothing, when a piece
  // failed or the writer stopped (the script would join part of the text), when
  // MergeScriptProblem is not empty, or when it could not be written.
  bool WriteMergeScript();

  // The free MergeScriptProblem for this writer's folder, merged name and names written.
  std::string MergeScriptProblem() const;
  const std::vector<std::string>& names() const { return names_; }
  const std::vector<std::string>& failed_names() const { return failed_; }
  // True once the host asked to stop: later pieces are not written (the split modes end early).
  bool stopped() const { return stopped_; }
  const std::string& folder() const { return folder_; }

 private:
  void WriteNamed(std::string_view first, std::string_view second, int64_t number,
                  std::string_view matched, bool head);

  std::string folder_;
  PieceNaming naming_;
  std::string custom_text_;
  std::string merged_name_;
  PieceOutput& output_;
  Encoding encoding_ = Encoding::kGbk;
  std::vector<std::string> names_;
  std::vector<std::string> failed_;
  bool stopped_ = false;
  bool holding_reports_ = false;
  std::unordered_set<std::string> taken_;  // names in use, ASCII letters folded to lower case
  std::unordered_map<std::string, int> next_copy_number_;  // stem -> next "(k)" to try
  JobHost* progress_host_ = nullptr;
  int64_t total_bytes_ = 0;
  int64_t written_bytes_ = 0;
};

}  // namespace travik

#endif  // TRAVIK_SPLIT_PIECE_WRITER_H_
