// The platform backend under core/files: one implementation per system, chosen by the build
// (files_win32.cc, files_posix.cc). Paths are UTF-8 (on POSIX, bytes as they are); the Windows
// backend converts them to UTF-16 itself. Errors are
// reported through results only.
#ifndef TRAVIK_FILES_FILES_PLATFORM_H_
#define TRAVIK_FILES_FILES_PLATFORM_H_

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "files/source_bytes.h"

namespace travik::platform {

// An open file, readable and writable, shared for reading and writing but not deletion.
class File {
 public:
  virtual ~File() = default;
  // Reads up to n bytes at `offset`; *got receives the count. False on an error.
  virtual bool ReadAt(int64_t offset, char* buffer, size_t n, size_t* got) = 0;
  // Writes all n bytes at `offset`. False on an error.
  virtual bool WriteAt(int64_t offset, const char* data, size_t n) = 0;
  // The file's current length, or -1 on an error.
  virtual int64_t Size() = 0;
  // Forces what was written onto the disk (fsync, FlushFileBuffers). False on an error.
  virtual bool Flush() = 0;
  // The first n bytes (n > 0, no more than the file's length) mapped into memory for reading,
  // or null when they cannot be (the caller reads them instead). The mapping outlives the File.
  virtual std::shared_ptr<const ByteStorage> MapForReading(size_t n) {
    (void)n;
    return nullptr;
  }
};

// Why a file could not be opened.
// kStopped: a stop signal came while the program waited on a pipe or device; kNotFile: a pipe
// or device that cannot be read here (a Windows device name, say).
enum class OpenProblem {
  kNone, kMissing, kDenied, kReadOnly, kBusy, kFolder, kStopped, kNotFile, kOther
};

// Opens an existing file for reading only, letting others read and write it; null with
// *problem set on failure. Read-only files can be read. *size, when asked, receives its length
// as it was opened (-1 when unknown). A pipe or character device (POSIX) is read to its end when
// first opened, and that is its text from then on, for every open of it by this program (a pipe
// can be read only once); kStopped when a stop signal came while it was waited on.
std::unique_ptr<File> OpenForReading(std::string_view path, OpenProblem* problem,
                                     int64_t* size = nullptr);
// Makes every read of a pipe or device stop at its next block with kStopped, and every later
// open of one that was not read yet: the job is stopping. Safe in a signal handler.
void StopStreamReads();
// Whether an existing file could be opened for writing: kNone when it could.
OpenProblem WriteProblem(std::string_view path);
// Creates a new file, exclusively, under a name nobody can predict in the folder of `beside`,
// with the permission bits (attributes) of `beside` when it exists. *temp receives its path.
std::unique_ptr<File> CreateTemporaryBeside(std::string_view beside, std::string* temp);
// Names of the regular files in the folder, every one of them.
std::vector<std::string> FileNames(std::string_view folder);
// The path with symbolic links resolved when it names a link to an existing file; else itself.
std::string ResolveLink(std::string_view path);

// Opens an existing, writable file; null on failure.
std::unique_ptr<File> OpenExisting(std::string_view path);
// Creates or truncates the file without sharing, for writing; null on failure.
std::unique_ptr<File> CreateNew(std::string_view path);
// Creates or truncates the file without sharing and writes the parts; false on any failure.
bool WriteNew(std::string_view path, std::initializer_list<std::string_view> parts);
// Renames `from` over `to`, replacing it. False when `to` is open or read-only, or on failure.
bool RenameReplace(std::string_view from, std::string_view to);
int64_t EntrySize(std::string_view path);
bool Remove(std::string_view path);
bool MakeDir(std::string_view path);
// Removes an empty folder; false when it is not empty or cannot be removed.
bool RemoveDir(std::string_view path);
bool IsDir(std::string_view path);
// A key naming the file itself (volume and file index, or device and inode); empty when the path
// names nothing.
std::string Identity(std::string_view path);
bool Representable(std::string_view path);

// What the file a path names is now, to tell later whether it changed.
struct Stamp {
  std::string identity;  // as Identity gives it; empty when the path names nothing
  int64_t size = -1;
  int64_t modified = 0;  // the last change to its contents, in the system's own units
  bool regular = false;  // a file on a disk: not a folder, pipe or device
};
Stamp StampOf(std::string_view path);

// Something held open while it lives.
class Hold {
 public:
  virtual ~Hold() = default;
};
// Keeps other programs from writing an existing file (Windows: the file open for reading, shared
// for reading only) until the hold is destroyed; null with *problem set when it cannot be held
// (another program has it open for writing). POSIX has no such lock: a hold that keeps nothing.
std::unique_ptr<Hold> HoldAgainstWriters(std::string_view path, OpenProblem* problem);
std::string ProgramDir();
std::string TempDir();

}  // namespace travik::platform

#endif  // TRAVIK_FILES_FILES_PLATFORM_H_
