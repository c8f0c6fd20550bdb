// File operations over a process-wide table of open files.
//
// Paths are GBK byte strings, as everywhere in the program; the platform backend converts them
// at the system boundary (files_win32.cc, files_posix.cc). Windows semantics are the reference:
// a file open in the table cannot be deleted, nor overwritten by WriteWholeFile, and a read-only
// file cannot be opened. All reads and writes are byte-exact.
#ifndef TRAVIK_CORE_FILES_H_
#define TRAVIK_CORE_FILES_H_

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "core/encoding.h"
#include "core/source_bytes.h"

namespace travik {

// Names an open file; 0 means that opening failed.
using FileNumber = int;

// The platform's path separator ("\" on Windows, "/" elsewhere).
#ifdef _WIN32
inline constexpr char kPathSeparator[] = "\\";
#else
inline constexpr char kPathSeparator[] = "/";
#endif

// Files of this size or more are outside the program's range.
inline constexpr int64_t kMaxFileSize = INT32_MAX;

// Opens an existing file for reading and writing (others may read and write it too). Returns 0
// when the path is empty, the file is missing or read-only, or it cannot be opened.
FileNumber OpenFile(std::string_view path);
// Closes the file and removes it from the table; unknown numbers are ignored.
void CloseFile(FileNumber number);
// Closes every file in the table.
void CloseAllFiles();
// Number of files in the table.
int OpenFileCount();

// Sets the position; beyond the end is allowed. False for an unknown number or a bad offset.
bool SeekFile(FileNumber number, int64_t offset);
// The current position, or -1 for an unknown number.
int64_t FilePosition(FileNumber number);

// What a read found besides its text.
struct ReadInfo {
  bool ok = false;          // the number was known and the read succeeded
  bool cut_short = false;   // the text ends before the file does (0x00, 0x1A, lone lead byte)
  bool half_character = false;  // it ends because a lead byte had no second byte
  int64_t bytes_read = 0;   // bytes from the position to the end of the file
};

// Reads from the position to the end of the file. A 0x00 or 0x1A byte outside a double-byte
// character ends the text and the position is left on it; a lead byte followed by 0x00 or at the
// very end is dropped and the position is set just after it. Empty on any failure.
std::string ReadTextFromFile(FileNumber number, ReadInfo* info = nullptr);

// Inserts the bytes at the position, moving the tail forward in 4096-byte blocks from the end;
// the position ends just after the inserted bytes. On failure the position returns to where it
// was and false is returned (bytes already moved stay moved).
bool InsertTextIntoFile(FileNumber number, std::string_view text);

// Creates or truncates the file (no sharing) and writes the parts in order. False when the path
// is empty, the file cannot be created (missing folder, read-only, open in the table) or a write
// fails; a failed write can leave a partial file.
bool WriteWholeFile(std::string_view path, std::initializer_list<std::string_view> parts);
template <typename... Parts>
bool WriteWholeFile(std::string_view path, const Parts&... parts) {
  return WriteWholeFile(path, {std::string_view(parts)...});
}

// Writes the parts to a temporary file beside `path`, then renames it over `path`. The old file
// is replaced only by a complete new one; on failure it is untouched and nothing is left behind.
// As ReplacementFile: links followed, permissions kept, flushed to disk before the rename.
bool ReplaceWholeFile(std::string_view path, std::initializer_list<std::string_view> parts);

// A new file written piece by piece beside `path` that replaces `path` only when committed.
// Abandoned (destroyed without a successful Commit) it is removed and `path` is untouched.
// When `path` is a symbolic link, the file it points to is replaced and the link stays. The new
// file is created exclusively under an unpredictable name, gets the permission bits (Windows:
// attributes) of the file it replaces, and is flushed to disk before the rename. A hard link to
// the old file keeps the old text: the path names a new file afterwards.
class ReplacementFile {
 public:
  explicit ReplacementFile(std::string_view path);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // False when the temporary file could not be created.
  bool ok() const;
  // Appends the bytes; false (and the file is spoiled) on a write error.
  bool Append(std::string_view bytes);
  // Appends the bytes, which may be written later on a thread of the file's own while the caller
  // goes on (the file keeps them alive meanwhile). Bytes of a mapped file are written at once, so
  // that the caller's Changed() check after this call covers what was written, and so are more
  // than a few megabytes, so that they are not held while the caller reads the next. False when a
  // write failed, this one or an earlier one.
  bool AppendLater(SourceBytes bytes);
  // Bytes appended so far.
  int64_t size() const { return size_; }
  // Flushes and closes the file and renames it over `path`. False when anything failed.
  bool Commit();

 private:
  struct Impl;
  Impl* impl_;
  int64_t size_ = 0;
};

// Size in bytes of the entry the path names, or -1 when there is none (64 bits: never wraps).
int64_t FileSizeOf(std::string_view path);
// Deletes the file; fails while it is open in the table.
bool RemoveFile(std::string_view path);
// Creates one folder level; fails when it exists or its parent does not.
bool MakeDirectory(std::string_view path);
// Removes a folder that is empty; false when it holds anything or cannot be removed.
bool RemoveEmptyFolder(std::string_view path);
// True when the path names an existing folder.
bool FolderExists(std::string_view path);
// True when both paths name the same existing file.
bool SameFile(std::string_view a, std::string_view b);
// A key that is equal for two paths exactly when they name the same existing file (or folder);
// empty when the path names nothing. Lets callers find repeated files in one pass.
std::string FileIdentity(std::string_view path);
// Names of the regular files in a folder, in no particular order; empty when it cannot be read.
std::vector<std::string> FileNamesIn(std::string_view folder);
// True when the path can be handed to the system (GBK that converts both ways).
bool PathIsRepresentable(std::string_view path);

// The running program's folder, without a trailing separator.
std::string ProgramDirectory();
// The system's temporary folder, ending in a separator; empty when there is none.
std::string TempDirectory();

// A whole source file as a job reads it: opened for reading only (read-only files can be read,
// others may go on reading and writing it), read from the start, closed again.
struct SourceText {
  bool ok = false;          // opened and read
  bool cut_short = false;   // a 0x00 or 0x1A byte or an incomplete character ended the text
  bool too_large = false;   // 2 GiB or more
  // The file ends in a lead byte with nothing after it: cut_short, and `trailing_lead` holds it.
  bool ends_in_lead_byte = false;
  char trailing_lead = 0;
  int64_t file_size = -1;   // size on disk, -1 when unknown
  // The text's encoding, recognised or as given, and the length of the byte-order mark that
  // `text` begins with (0 when none). The mark stays in `text`: it is the file's first bytes.
  Encoding encoding = Encoding::kGbk;
  size_t mark_length = 0;
  // Not to be worked on (ok is false, `error` says why): a UTF-16 text, or a text that is not
  // valid in the encoding the caller gave.
  bool refused = false;
  // UTF-8 and GB18030: the bytes of an incomplete last character, dropped from `text` (cut_short).
  std::string unfinished;
  // The `carried` bytes given to LoadSourceText begin `text` (or were dropped with the character
  // they begin when a 0x00 or 0x1A byte follows them): the file continued that character.
  bool carried_taken = false;
  // The text: a view of the file mapped into memory, or of the bytes read. A job that passes
  // through a large text lets its pages go as it goes (SourceBytes::Release), and checks
  // text.Changed() before it trusts what it made: another program may have shortened the file.
  SourceBytes text;
  std::string error;        // GBK reason when !ok or cut_short
};
// Reads a whole source. Its encoding is recognised from the file's bytes (DetectEncoding) or
// taken from `choice`; a text with a UTF-16 mark is refused under any choice. The text ends at
// the first 0x00 or 0x1A byte outside a character; in GBK a lead byte at the very end, in UTF-8
// and GB18030 an incomplete last character, is dropped and the text is cut short. `carried` bytes (the lead byte a previous GBK file ended in) are read as
// if they came before the file's first byte and begin `text` when the character they start is
// whole; they take no part in recognising the encoding.
// `carried_encoding` is the encoding of the file the carried bytes ended. GBK (a lead byte): they
// are taken when this file is GBK, as above, or GB18030 (read as GBK when, recognised, it does
// not complete their character). UTF-8 or GB18030 (the `unfinished` bytes of that file):
// recognising the encoding reads them as this file's first bytes, and they are taken when the
// file has no byte-order mark and the text is in the same encoding with its first bytes
// completing their character, or is GBK after GB18030. Bytes not taken take no part in the text;
// `carried_taken` says which happened.
//
// A large file is mapped (see SourceText::text) and looked at block by block; `on_block`, when
// given, is shown each block once it has been looked at, so that a job can start on a text before
// the reader has seen all of it, while the block is still in the cache. Returning false stops the
// calls. What the job made meanwhile is its own to check against the result: the reader may still
// find that the text is not in the encoding it was so far, or ends early.
struct SourceBlock {
  std::string_view file;    // the whole file as mapped; bytes from `looked` on are not looked at
  size_t looked = 0;        // bytes looked at so far
  std::string_view window;  // a copy of file[window_begin, looked), in memory the cache holds
  size_t window_begin = 0;
  bool clean = false;       // no 0x00 or 0x1A among the bytes looked at
  // The bytes looked at so far are GBK: given as GBK without a UTF-16 mark (such a file is
  // refused), or recognition has ruled out a byte-order mark, UTF-8 and GB18030's four-byte
  // characters in them.
  bool gbk_so_far = false;
  // The bytes looked at so far are UTF-8 without a byte-order mark: given as UTF-8 (a file that
  // is not is refused once read), or recognition has found a multi-byte UTF-8 character and
  // nothing but well-formed UTF-8 so far.
  bool utf8_so_far = false;
};
SourceText LoadSourceText(std::string_view path, std::string_view carried = {},
                          EncodingChoice choice = EncodingChoice::kAuto,
                          Encoding carried_encoding = Encoding::kGbk,
                          const std::function<bool(const SourceBlock&)>& on_block = nullptr);

// The message of a refused UTF-16 file, naming its encoding.
std::string Utf16RefusalMessage(Encoding encoding);

// Reads a whole file, opened for reading only as LoadSourceText opens it, in blocks of at most
// `block` bytes handed to `take` in order: no buffer of the whole file. Stops early when `take`
// returns false (still true). False, with *error a GBK cause, when the file cannot be opened or
// read, or is 2 GiB or more. The bytes are the file's as they are: no text rules apply.
bool ReadFileInBlocks(std::string_view path, size_t block,
                      const std::function<bool(std::string_view)>& take, std::string* error);

// Why the file cannot be changed in place, as a GBK cause ("只读", "没有权限", "被其他程序占用",
// "是文件夹", "不存在"); empty when it can be opened for writing.
std::string WriteAccessProblem(std::string_view path);

}  // namespace travik

#endif  // TRAVIK_CORE_FILES_H_
