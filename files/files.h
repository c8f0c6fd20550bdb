// Paths and the file operations on them; the open-file table, replacement files and source texts
// have headers of their own, included here.
//
// Paths are UTF-8, as every string of the program is (on POSIX a name's own bytes pass through
// unchanged); the Windows backend converts them to UTF-16 at the system boundary. Windows semantics are the reference:
// a file open in the table cannot be deleted, nor overwritten by WriteWholeFile, and a read-only
// file cannot be opened. All reads and writes are byte-exact.
#ifndef TRAVIK_FILES_FILES_H_
#define TRAVIK_FILES_FILES_H_

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "files/file_table.h"
#include "files/replacement_file.h"
#include "files/source_text.h"
#include "files/source_bytes.h"
#include "text/encoding.h"

namespace travik {

namespace platform {
class Hold;
}

// The platform's path separator ("\" on Windows, "/" elsewhere).
#ifdef _WIN32
inline constexpr char kPathSeparator[] = "\\";
#else
inline constexpr char kPathSeparator[] = "/";
#endif

// Files of this size or more are outside the program's range.
inline constexpr int64_t kMaxFileSize = INT32_MAX;

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
// True when the path can be handed to the system (it holds no NUL).
bool PathIsRepresentable(std::string_view path);

// Called when a job is asked to stop (safe in a signal handler): a pipe or device being read
// stops at its next block, so that a stream that never ends and never waits (yes | travik ...)
// does not keep a stop waiting until the program's range has been read into memory.
void StopStreamReads();

// The running program's folder, without a trailing separator.
std::string ProgramDirectory();
// The system's temporary folder, ending in a separator; empty when there is none.
std::string TempDirectory();

// Reads a whole file, opened for reading only as LoadSourceText opens it, in blocks of at most
// `block` bytes handed to `take` in order: no buffer of the whole file. Stops early when `take`
// returns false (still true). False, with *error the cause, when the file cannot be opened or
// read, or is 2 GiB or more. The bytes are the file's as they are: no text rules apply.
bool ReadFileInBlocks(std::string_view path, size_t block,
                      const std::function<bool(std::string_view)>& take, std::string* error);

// What a file was when a job looked at it: which file, its size and its last change.
struct FileStamp {
  std::string identity;  // FileIdentity; empty when the path named nothing
  int64_t size = -1;
  int64_t modified = 0;
  bool regular = false;  // a file on a disk, not a folder, pipe or device
};
// The stamp of what the path names now.
FileStamp StampOf(std::string_view path);
// True when the path still names the regular file the stamp was taken of, with the same size and
// last change: nobody wrote it since. A job checks this just before it deletes or replaces a
// source, so that what another program added meanwhile is not lost.
bool UnchangedSince(const FileStamp& stamp, std::string_view path);

// While it lives, other programs cannot write the file (Windows: it is held open, shared for
// reading only). POSIX has no such lock; there the check above is what protects the file.
class WriterLock {
 public:
  explicit WriterLock(std::string_view path);
  ~WriterLock();
  WriterLock(const WriterLock&) = delete;
  WriterLock& operator=(const WriterLock&) = delete;
  // Why the file could not be held ("被其他程序占用", ...); empty when it is held.
  const std::string& problem() const { return problem_; }
  // Lets the file go (before the job renames its new text over it).
  void Release();

 private:
  std::unique_ptr<platform::Hold> hold_;
  std::string problem_;
};

// Why the file cannot be changed in place, as a cause ("只读", "没有权限", "被其他程序占用",
// "是文件夹", "不存在"); empty when it can be opened for writing.
std::string WriteAccessProblem(std::string_view path);

}  // namespace travik

#endif  // TRAVIK_FILES_FILES_H_
