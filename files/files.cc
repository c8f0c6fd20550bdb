#include "files/files.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <future>
#include <memory>
#include <system_error>

#include "files/file_entry.h"
#include "files/files_internal.h"
#include "files/files_platform.h"
#include "text/encoding.h"
#include "text/text.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace travik {

namespace detail {

// The text ends at the first 0x00 or 0x1A that begins a character, or before a lead byte whose
// second byte is 0x00 or missing. Stepping through every character is slow on large texts;
// instead the terminators are found with memchr and only they are placed: a byte that follows a
// byte below 0x80 always begins a character (a single byte or a second byte ends one), so a byte
// begins a character when the run of bytes >= 0x80 just before it has even length. Runs before
// different terminators never overlap (a terminator is below 0x80): linear overall. The first
// `clean` bytes are known to hold neither terminator.
TextEnd FindTextEnd(const unsigned char* p, size_t n, size_t clean) {
  const void* nul = memchr(p + clean, 0x00, n - clean);
  const size_t first_nul =
      nul ? static_cast<size_t>(static_cast<const unsigned char*>(nul) - p) : n;
  auto begins_character = [p](size_t at) {
    size_t run_start = at;
    while (run_start > 0 && p[run_start - 1] >= 0x80) --run_start;
    return (at - run_start) % 2 == 0;
  };
  size_t from = clean;
  for (;;) {
    const void* eof = memchr(p + from, 0x1A, first_nul - from);
    size_t at = eof ? static_cast<size_t>(static_cast<const unsigned char*>(eof) - p) : first_nul;
    if (at == n) {
      if (begins_character(n)) return {n, n, false};
      return {n - 1, n, true};  // a lone lead byte at the end
    }
    if (begins_character(at)) return {at, at, true};
    // `at` is the second byte of the character that starts at at - 1.
    if (p[at] == 0x00) return {at - 1, at, true};
    from = at + 1;
  }
}

// An empty buffer with room for n bytes of a whole text. On Linux a large one asks for huge pages
// first: reading a 100 MB text then costs a few dozen page faults instead of some 25,000 (twice
// as fast).
std::string EmptyTextBuffer(size_t n) {
  std::string bytes;
  bytes.reserve(n);
#ifdef __linux__
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  if (n >= 4 * kHugePage) {
    uintptr_t begin = (reinterpret_cast<uintptr_t>(bytes.data()) + kHugePage - 1) & ~(kHugePage - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(bytes.data()) + n) & ~(kHugePage - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
  }
#endif
  return bytes;
}

// A buffer of n bytes for a whole text.
std::string TextBuffer(size_t n) {
  std::string bytes = EmptyTextBuffer(n);
  bytes.resize(n);
  return bytes;
}


std::string TemporaryPathBeside(std::string_view beside, uint64_t random) {
  char suffix[40];
  snprintf(suffix, sizeof suffix, ".travik-%016llx.tmp", static_cast<unsigned long long>(random));
  const std::string name = FileNamePart(beside);
  const std::string_view folder = beside.substr(0, beside.size() - name.size());
  constexpr size_t kLongestName = 255;
  const size_t room = kLongestName - strlen(suffix);
  const char* const end = name.data() + name.size();
  size_t units = 0;
  const char* p = name.data();
  while (p < end) {
    const size_t utf8 = static_cast<unsigned char>(*p) < 0x80 ? 1 : Utf8SequenceLength(p, end);
    const size_t n = utf8 == 0 ? 1 : utf8;  // a byte that begins no character: its own
#ifdef _WIN32
    const size_t taken = n == 4 ? 2 : 1;  // UTF-16 units
#else
    const size_t taken = n;  // bytes
#endif
    if (units + taken > room) break;
    units += taken;
    p += n;
  }
  return JoinText(folder, std::string_view(name.data(), static_cast<size_t>(p - name.data())),
                  suffix);
}

std::string ProblemText(platform::OpenProblem problem) {
  switch (problem) {
    case platform::OpenProblem::kMissing:
      return "不存在";
    case platform::OpenProblem::kDenied:
      return "没有权限";
    case platform::OpenProblem::kReadOnly:
      return "只读";
    case platform::OpenProblem::kBusy:
      return "被其他程序占用";
    case platform::OpenProblem::kFolder:
      return "是文件夹";
    case platform::OpenProblem::kStopped:
      return "等待读取时被停止";
    case platform::OpenProblem::kNotFile:
      return "不是普通文件（是设备或管道），无法读取";
    case platform::OpenProblem::kNone:
      return {};
    case platform::OpenProblem::kOther:
      break;
  }
  return "原因不明";
}

}  // namespace detail

int64_t FileSizeOf(std::string_view path) {
  if (path.empty()) return -1;
  return platform::EntrySize(path);
}

bool RemoveFile(std::string_view path) { return !path.empty() && platform::Remove(path); }

bool MakeDirectory(std::string_view path) { return !path.empty() && platform::MakeDir(path); }

bool RemoveEmptyFolder(std::string_view path) { return !path.empty() && platform::RemoveDir(path); }

bool FolderExists(std::string_view path) { return !path.empty() && platform::IsDir(path); }

bool SameFile(std::string_view a, std::string_view b) {
  if (a.empty() || b.empty()) return false;
  std::string ia = platform::Identity(a);
  return !ia.empty() && ia == platform::Identity(b);
}

std::string FileIdentity(std::string_view path) {
  return path.empty() ? std::string() : platform::Identity(path);
}

std::vector<std::string> FileNamesIn(std::string_view folder) {
  return folder.empty() ? std::vector<std::string>() : platform::FileNames(folder);
}

bool PathIsRepresentable(std::string_view path) { return platform::Representable(path); }

void StopStreamReads() { platform::StopStreamReads(); }

std::string ProgramDirectory() { return platform::ProgramDir(); }

std::string TempDirectory() { return platform::TempDir(); }

FileStamp StampOf(std::string_view path) {
  if (path.empty()) return {};
  platform::Stamp stamp = platform::StampOf(path);
  return {std::move(stamp.identity), stamp.size, stamp.modified, stamp.regular};
}

bool UnchangedSince(const FileStamp& stamp, std::string_view path) {
  const FileStamp now = StampOf(path);
  return stamp.regular && now.regular && !now.identity.empty() &&
         now.identity == stamp.identity && now.size == stamp.size &&
         now.modified == stamp.modified;
}

WriterLock::WriterLock(std::string_view path) {
  platform::OpenProblem problem = platform::OpenProblem::kMissing;
  if (!path.empty()) hold_ = platform::HoldAgainstWriters(path, &problem);
  if (hold_ == nullptr) problem_ = detail::ProblemText(problem);
}

WriterLock::~WriterLock() = default;

void WriterLock::Release() { hold_.reset(); }

std::string WriteAccessProblem(std::string_view path) {
  if (path.empty()) return detail::ProblemText(platform::OpenProblem::kMissing);
  return detail::ProblemText(platform::WriteProblem(path));
}

bool ReadFileInBlocks(std::string_view path, size_t block,
                      const std::function<bool(std::string_view)>& take, std::string* error) {
  if (!PathIsRepresentable(path)) {
    *error = "文件名无法转换";
    return false;
  }
  platform::OpenProblem problem = platform::OpenProblem::kOther;
  std::unique_ptr<platform::File> file =
      path.empty() ? nullptr : platform::OpenForReading(path, &problem);
  if (!file) {
    *error = "无法打开文件: " + detail::ProblemText(problem);
    return false;
  }
  const int64_t size = file->Size();
  if (size < 0 || size > kMaxFileSize) {
    *error = size < 0 ? "读取文件失败" : "文件超过 2 GB，无法处理";
    return false;
  }
  constexpr size_t kReadAheadFrom = size_t{64} << 10;
  // Two buffers: while `take` looks at one block, a thread of its own reads the next into the
  // other (where the system gives no thread, the reads are made here).
  struct Read {
    bool ok = false;
    size_t got = 0;
  };
  std::string buffers[2] = {std::string(std::max<size_t>(block, 1), '\0'), std::string()};
  buffers[1].resize(buffers[0].size());
  auto read = [&file](int64_t at, std::string* into) {
    Read r;
    r.ok = file->ReadAt(at, into->data(), into->size(), &r.got);
    return r;
  };
  // A thread per block pays only for blocks of some size (starting a thread costs far more under
  // Wine than reading a few kilobytes).
  const bool ahead = buffers[0].size() >= kReadAheadFrom;
  auto start = [&read, ahead](int64_t at, std::string* into) {
    try {
      if (ahead) return std::async(std::launch::async, read, at, into);
    } catch (const std::system_error&) {
    }
    return std::async(std::launch::deferred, read, at, into);
  };
  std::future<Read> next = start(0, &buffers[0]);
  for (int64_t at = 0, k = 0;; ++k) {
    const Read r = next.get();
    if (!r.ok) {
      *error = "读取文件失败";
      return false;
    }
    if (r.got == 0) return true;
    at += static_cast<int64_t>(r.got);
    if (at > kMaxFileSize) {
      *error = "文件超过 2 GB，无法处理";
      return false;
    }
    // A short read is the file's end: a read after it finds nothing.
    next = start(at, &buffers[(k + 1) % 2]);
    if (!take(std::string_view(buffers[k % 2].data(), r.got))) return true;  // waits for `next`
  }
}

}  // namespace travik
