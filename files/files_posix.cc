// POSIX backend: paths are the bytes the program holds (UTF-8, or a name's own bytes). Windows'
// sharing rules are enforced by hand (the tests run as root, where permission bits alone stop nothing).
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <random>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "files/files_internal.h"
#include "files/files_platform.h"
#include "files/mapped_file_posix.h"

namespace travik::platform {

namespace {

using FileId = std::pair<dev_t, ino_t>;

// Files open through OpenExisting, by identity, with their open counts.
std::map<FileId, int>& OpenIds() {
  static std::map<FileId, int> ids;
  return ids;
}

// A path is its bytes here: the program's UTF-8, or whatever bytes a name on the disk has. Only
// a NUL cannot reach the system.
bool ToNative(std::string_view path, std::string* native) {
  if (path.find('\0') != std::string_view::npos) return false;
  native->assign(path);
  return true;
}

bool IsOpenHere(const struct stat& st) { return OpenIds().count({st.st_dev, st.st_ino}) > 0; }

bool IsReadOnly(const struct stat& st) { return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0; }

class PosixFile : public File {
 public:
  PosixFile(int fd, FileId id) : fd_(fd), id_(id) { ++OpenIds()[id_]; }
  ~PosixFile() override {
    close(fd_);
    auto it = OpenIds().find(id_);
    if (it != OpenIds().end() && --it->second == 0) OpenIds().erase(it);
  }

  bool ReadAt(int64_t offset, char* buffer, size_t n, size_t* got) override {
    *got = 0;
    while (*got < n) {
      ssize_t r = pread(fd_, buffer + *got, n - *got, static_cast<off_t>(offset + *got));
      if (r < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (r == 0) break;
      *got += static_cast<size_t>(r);
    }
    return true;
  }

  bool WriteAt(int64_t offset, const char* data, size_t n) override {
    return WriteMaybeMapped(fd_, offset, data, n);
  }

  int64_t Size() override {
    struct stat st;
    if (fstat(fd_, &st) != 0) return -1;
    return st.st_size;
  }

  bool Flush() override { return fsync(fd_) == 0; }

  std::shared_ptr<const ByteStorage> MapForReading(size_t n) override {
    return MapFileForReading(fd_, n);
  }

 private:
  int fd_;
  FileId id_;
};

OpenProblem ProblemOf(int error);

// A pipe or character device: its bytes come once, as a stream, so they are kept for every later
// open of it (the merge looks ahead at the next file, a size is asked before the text is read).
bool IsStream(const struct stat& st) {
  return S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) || S_ISSOCK(st.st_mode);
}

std::map<FileId, std::shared_ptr<const std::string>>& StreamsRead() {
  static std::map<FileId, std::shared_ptr<const std::string>> streams;
  return streams;
}

// Set once a stop interrupted a wait on a stream, or was asked for (StopStreamReads): the job is
// stopping, so no later look at a stream (its size, asked for the report) waits again.
volatile std::sig_atomic_t g_streams_stopped = 0;
bool StreamsStopped() { return g_streams_stopped != 0; }

// The whole stream behind `fd` (which this takes and closes), read to its end or to a byte past
// the program's range; null with *problem set when the read failed or a stop signal interrupted
// it (the stop handlers are installed without SA_RESTART, so a wait is interrupted).
std::shared_ptr<const std::string> ReadStream(int fd, const struct stat& st,
                                              OpenProblem* problem) {
  const FileId id{st.st_dev, st.st_ino};
  auto found = StreamsRead().find(id);
  if (found != StreamsRead().end()) {
    close(fd);
    return found->second;
  }
  constexpr size_t kBeyondRange = size_t{INT32_MAX} + 1;
  auto bytes = std::make_shared<std::string>();
  std::string block(size_t{64} << 10, '\0');
  while (bytes->size() < kBeyondRange) {
    // A stream that never waits is never interrupted: the stop is looked at between blocks.
    const size_t want = std::min(block.size(), kBeyondRange - bytes->size());
    const ssize_t r = StreamsStopped() ? -1 : read(fd, block.data(), want);
    if (r < 0) {
      const bool stopped = StreamsStopped() || errno == EINTR;
      if (stopped) g_streams_stopped = 1;
      *problem = stopped ? OpenProblem::kStopped : ProblemOf(errno);
      close(fd);
      return nullptr;
    }
    if (r == 0) break;
    bytes->append(block.data(), static_cast<size_t>(r));
  }
  close(fd);
  StreamsRead()[id] = bytes;
  return bytes;
}

// A stream's bytes, read once, as a file.
class StreamFile : public File {
 public:
  explicit StreamFile(std::shared_ptr<const std::string> bytes) : bytes_(std::move(bytes)) {}
  bool ReadAt(int64_t offset, char* buffer, size_t n, size_t* got) override {
    const size_t at = std::min(static_cast<size_t>(offset), bytes_->size());
    *got = std::min(n, bytes_->size() - at);
    std::copy_n(bytes_->data() + at, *got, buffer);
    return true;
  }
  bool WriteAt(int64_t, const char*, size_t) override { return false; }
  int64_t Size() override { return static_cast<int64_t>(bytes_->size()); }
  bool Flush() override { return true; }

 private:
  std::shared_ptr<const std::string> bytes_;
};

// The bytes of a pipe read before, which is not opened again (nobody may be writing to it any
// more); null when the path names no such pipe.
std::shared_ptr<const std::string> KeptStream(const std::string& native) {
  struct stat st;
  if (stat(native.c_str(), &st) != 0 || !IsStream(st)) return nullptr;
  auto found = StreamsRead().find({st.st_dev, st.st_ino});
  return found == StreamsRead().end() ? nullptr : found->second;
}

// Opens the path for reading; -1 with *problem set on failure (EINTR: a stop while a pipe with
// no writer yet was waited on).
int OpenNative(const std::string& native, struct stat* st, OpenProblem* problem) {
  if (StreamsStopped() && stat(native.c_str(), st) == 0 && IsStream(*st) &&
      StreamsRead().count({st->st_dev, st->st_ino}) == 0) {
    *problem = OpenProblem::kStopped;
    return -1;
  }
  int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || fstat(fd, st) != 0) {
    if (errno == EINTR) g_streams_stopped = 1;
    *problem = errno == EINTR ? OpenProblem::kStopped : ProblemOf(errno);
    if (fd >= 0) close(fd);
    return -1;
  }
  return fd;
}

OpenProblem ProblemOf(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return OpenProblem::kMissing;
    case EACCES:
    case EPERM:
      return OpenProblem::kDenied;
    case EROFS:
      return OpenProblem::kReadOnly;
    case ETXTBSY:
    case EBUSY:
      return OpenProblem::kBusy;
    case EISDIR:
      return OpenProblem::kFolder;
    default:
      return OpenProblem::kOther;
  }
}

// The folder part of a native path, "." when it has none.
std::string NativeFolderOf(const std::string& native) {
  size_t slash = native.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : native.substr(0, slash);
}

// A rename is on the disk only once its folder is: flushed after replacing a file.
void SyncFolder(const std::string& native_folder) {
  int fd = open(native_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

void StopStreamReads() { g_streams_stopped = 1; }

std::unique_ptr<File> OpenForReading(std::string_view path, OpenProblem* problem,
                                     int64_t* size) {
  std::string native;
  *problem = OpenProblem::kOther;
  if (!ToNative(path, &native)) return nullptr;
  if (std::shared_ptr<const std::string> kept = KeptStream(native)) {
    if (size != nullptr) *size = static_cast<int64_t>(kept->size());
    *problem = OpenProblem::kNone;
    return std::make_unique<StreamFile>(std::move(kept));
  }
  struct stat st;
  // A folder opens for reading too: what was opened tells.
  int fd = OpenNative(native, &st, problem);
  if (fd < 0) return nullptr;
  if (S_ISDIR(st.st_mode)) {
    close(fd);
    *problem = OpenProblem::kFolder;
    return nullptr;
  }
  if (IsStream(st)) {
    std::shared_ptr<const std::string> bytes = ReadStream(fd, st, problem);
    if (bytes == nullptr) return nullptr;
    if (size != nullptr) *size = static_cast<int64_t>(bytes->size());
    *problem = OpenProblem::kNone;
    return std::make_unique<StreamFile>(std::move(bytes));
  }
  if (size != nullptr) *size = st.st_size;
  *problem = OpenProblem::kNone;
  return std::make_unique<PosixFile>(fd, FileId{st.st_dev, st.st_ino});
}

OpenProblem WriteProblem(std::string_view path) {
  std::string native;
  if (!ToNative(path, &native)) return OpenProblem::kOther;
  struct stat st;
  if (stat(native.c_str(), &st) != 0) return ProblemOf(errno);
  if (S_ISDIR(st.st_mode)) return OpenProblem::kFolder;
  if (IsReadOnly(st)) return OpenProblem::kReadOnly;
  if (IsOpenHere(st)) return OpenProblem::kBusy;
  if (access(native.c_str(), W_OK) != 0) return ProblemOf(errno);
  return OpenProblem::kNone;
}

std::unique_ptr<File> CreateTemporaryBeside(std::string_view beside, std::string* temp) {
  std::string native;
  if (!ToNative(beside, &native)) return nullptr;
  struct stat original;
  const bool exists = stat(native.c_str(), &original) == 0 && S_ISREG(original.st_mode);
  std::random_device device;
  std::mt19937_64 rng((static_cast<uint64_t>(device()) << 32) ^ device() ^
                      static_cast<uint64_t>(getpid()));
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = detail::TemporaryPathBeside(native, rng());
    // O_EXCL with O_NOFOLLOW: never a file or link someone placed there first.
    int fd = open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
    // The new file gets the original's permissions before it holds any of its text; a new
    // file the permissions the umask leaves.
    mode_t mode = 0;
    if (exists) {
      mode = original.st_mode & 07777;
      if (fchown(fd, original.st_uid, original.st_gid) != 0) mode &= 0777;  // no set-id bits then
    } else {
      mode_t mask = umask(0);
      umask(mask);
      mode = 0666 & ~mask;
    }
    struct stat st;
    if (fchmod(fd, mode) != 0 || fstat(fd, &st) != 0) {
      close(fd);
      unlink(candidate.c_str());
      return nullptr;
    }
    *temp = candidate;
    return std::make_unique<PosixFile>(fd, FileId{st.st_dev, st.st_ino});
  }
  return nullptr;
}

std::vector<std::string> FileNames(std::string_view folder) {
  std::vector<std::string> names;
  std::string native;
  if (!ToNative(folder, &native)) return names;
  DIR* dir = opendir(native.c_str());
  if (dir == nullptr) return names;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    // The entry's type, when the folder tells it, saves a look-up per file; a link is followed.
    if (entry->d_type != DT_REG) {
      struct stat st;
      if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) continue;
      if (stat((native + "/" + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    }
    names.push_back(std::move(name));
  }
  closedir(dir);
  return names;
}

std::string ResolveLink(std::string_view path) {
  std::string native;
  if (!ToNative(path, &native)) return std::string(path);
  struct stat st;
  if (lstat(native.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return std::string(path);
  char* real = realpath(native.c_str(), nullptr);
  if (real == nullptr) return std::string(path);
  std::string resolved(real);
  free(real);
  return resolved;
}

std::unique_ptr<File> OpenExisting(std::string_view path) {
  std::string native;
  if (!ToNative(path, &native)) return nullptr;
  struct stat st;
  if (stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || IsReadOnly(st)) return nullptr;
  int fd = open(native.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return nullptr;
  if (fstat(fd, &st) != 0) {
    close(fd);
    return nullptr;
  }
  return std::make_unique<PosixFile>(fd, FileId{st.st_dev, st.st_ino});
}

std::unique_ptr<File> CreateNew(std::string_view path) {
  std::string native;
  if (!ToNative(path, &native)) return nullptr;
  struct stat st;
  if (stat(native.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode) || IsReadOnly(st) || IsOpenHere(st)) return nullptr;
  }
  int fd = open(native.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  if (fstat(fd, &st) != 0) {
    close(fd);
    return nullptr;
  }
  return std::make_unique<PosixFile>(fd, FileId{st.st_dev, st.st_ino});
}

bool WriteNew(std::string_view path, std::initializer_list<std::string_view> parts) {
  std::string native;
  if (!ToNative(path, &native)) return false;
  // Most outputs are new files: made exclusively, they need no look first. One that exists is
  // looked at as Windows would: a folder, a read-only file or one open here is not overwritten.
  int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    struct stat st;
    if (errno != EEXIST || stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        IsReadOnly(st) || IsOpenHere(st)) {
      return false;
    }
    fd = open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  }
  if (fd < 0) return false;
  bool ok = WritePartsMaybeMapped(fd, parts);
  if (close(fd) != 0) ok = false;
  return ok;
}

bool RenameReplace(std::string_view from, std::string_view to) {
  std::string native_from, native_to;
  if (!ToNative(from, &native_from) || !ToNative(to, &native_to)) return false;
  struct stat st;
  if (stat(native_to.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode) || IsReadOnly(st) || IsOpenHere(st)) return false;
  }
  if (rename(native_from.c_str(), native_to.c_str()) != 0) return false;
  SyncFolder(NativeFolderOf(native_to));
  return true;
}

int64_t EntrySize(std::string_view path) {
  std::string native;
  if (!ToNative(path, &native)) return -1;
  // A directory search (the Windows backend's FindFirstFileW) finds no entry for a name that
  // ends in a separator.
  if (native.empty() || native.back() == '/') return -1;
  struct stat st;
  if (stat(native.c_str(), &st) != 0) return -1;
  if (IsStream(st)) {
    // A pipe's size is what it holds: read now, kept for the job that reads it.
    if (std::shared_ptr<const std::string> kept = KeptStream(native)) {
      return static_cast<int64_t>(kept->size());
    }
    OpenProblem problem = OpenProblem::kOther;
    int fd = OpenNative(native, &st, &problem);
    std::shared_ptr<const std::string> bytes = fd < 0 ? nullptr : ReadStream(fd, st, &problem);
    return bytes == nullptr ? -1 : static_cast<int64_t>(bytes->size());
  }
  return S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size);
}

bool Remove(std::string_view path) {
  std::string native;
  if (!ToNative(path, &native)) return false;
  struct stat st;
  if (stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || IsReadOnly(st) || IsOpenHere(st)) {
    return false;
  }
  return unlink(native.c_str()) == 0;
}

bool MakeDir(std::string_view path) {
  std::string native;
  if (!ToNative(path, &native)) return false;
  return mkdir(native.c_str(), 0755) == 0;
}

bool RemoveDir(std::string_view path) {
  std::string native;
  return ToNative(path, &native) && rmdir(native.c_str()) == 0;
}

bool IsDir(std::string_view path) {
  std::string native;
  if (!ToNative(path, &native)) return false;
  struct stat st;
  return stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Identity(std::string_view path) {
  std::string native;
  if (!ToNative(path, &native)) return {};
  struct stat st;
  if (stat(native.c_str(), &st) != 0) return {};
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

bool Representable(std::string_view path) {
  std::string native;
  return ToNative(path, &native);
}

Stamp StampOf(std::string_view path) {
  Stamp stamp;
  std::string native;
  struct stat st;
  if (!ToNative(path, &native) || stat(native.c_str(), &st) != 0) return stamp;
  stamp.identity = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
  stamp.size = static_cast<int64_t>(st.st_size);
  stamp.modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  stamp.regular = S_ISREG(st.st_mode);
  return stamp;
}

std::unique_ptr<Hold> HoldAgainstWriters(std::string_view path, OpenProblem* problem) {
  std::string native;
  struct stat st;
  if (!ToNative(path, &native) || stat(native.c_str(), &st) != 0) {
    *problem = OpenProblem::kMissing;
    return nullptr;
  }
  *problem = OpenProblem::kNone;
  return std::make_unique<Hold>();
}

std::string ProgramDir() {
  char buffer[PATH_MAX + 1];
  ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
  if (n <= 0) return {};
  std::string native(buffer, static_cast<size_t>(n));
  size_t slash = native.rfind('/');
  return slash == 0 ? std::string() : native.substr(0, slash);
}

std::string TempDir() {
  const char* dir = getenv("TMPDIR");
  std::string native = (dir && *dir) ? dir : "/tmp";
  if (native.back() != '/') native += '/';
  return native;
}

}  // namespace travik::platform
