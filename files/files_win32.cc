// Win32 backend: every call goes through the wide-character API, the program's UTF-8 paths
// converted to UTF-16 here and nowhere else, so any name works under any system code page.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>

#include "text/codepage.h"
#include "files/files_internal.h"
#include "files/files_platform.h"
#include "files/mapped_file_win32.h"

namespace travik::platform {

namespace {

bool ToWide(std::string_view path, std::wstring* wide) {
  if (path.find('\0') != std::string_view::npos) return false;
  *wide = Utf8ToWide(path);
  return true;
}

class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE h) : h_(h) {}
  ~ScopedHandle() {
    if (valid()) CloseHandle(h_);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE get() const { return h_; }
  void reset(HANDLE h) {
    if (valid()) CloseHandle(h_);
    h_ = h;
  }

 private:
  HANDLE h_;
};

OVERLAPPED At(int64_t offset) {
  OVERLAPPED o = {};
  o.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
  o.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
  return o;
}

class Win32File : public File {
 public:
  explicit Win32File(HANDLE h) : handle_(h) {}

  bool ReadAt(int64_t offset, char* buffer, size_t n, size_t* got) override {
    *got = 0;
    while (*got < n) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(n - *got, 1u << 30));
      DWORD read = 0;
      OVERLAPPED o = At(offset + static_cast<int64_t>(*got));
      if (!ReadFile(handle_.get(), buffer + *got, chunk, &read, &o)) {
        if (GetLastError() == ERROR_HANDLE_EOF) break;
        return false;
      }
      if (read == 0) break;
      *got += read;
    }
    return true;
  }

  bool WriteAt(int64_t offset, const char* data, size_t n) override {
    size_t done = 0;
    while (done < n) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30));
      DWORD written = 0;
      OVERLAPPED o = At(offset + static_cast<int64_t>(done));
      if (!WriteFile(handle_.get(), data + done, chunk, &written, &o) || written == 0) return false;
      done += written;
    }
    return true;
  }

  int64_t Size() override {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle_.get(), &size)) return -1;
    return size.QuadPart;
  }

  bool Flush() override { return FlushFileBuffers(handle_.get()) != 0; }

  std::shared_ptr<const ByteStorage> MapForReading(size_t n) override {
    return MapFileForReading(handle_.get(), n);
  }

 private:
  ScopedHandle handle_;
};

bool WriteAllTo(HANDLE h, std::string_view data) {
  size_t done = 0;
  while (done < data.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(h, data.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

// A path the system gave, as the program holds it.
std::string FromWidePath(const std::wstring& wide) {
  return WideToUtf8(wide);
}

OpenProblem ProblemOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return OpenProblem::kMissing;
    case ERROR_ACCESS_DENIED:
      return OpenProblem::kDenied;
    case ERROR_WRITE_PROTECT:
      return OpenProblem::kReadOnly;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return OpenProblem::kBusy;
    default:
      return OpenProblem::kOther;
  }
}

constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;

}  // namespace

// Pipes and devices are refused here, never read: nothing to stop.
void StopStreamReads() {}

std::unique_ptr<File> OpenForReading(std::string_view path, OpenProblem* problem,
                                     int64_t* size) {
  std::wstring wide;
  *problem = OpenProblem::kOther;
  if (!ToWide(path, &wide)) return nullptr;
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    *problem = OpenProblem::kFolder;
    return nullptr;
  }
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, kShareReadWrite, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *problem = ProblemOf(GetLastError());
    return nullptr;
  }
  if (GetFileType(h) != FILE_TYPE_DISK) {
    // A device or pipe has no size to read by: it would pass for an empty text.
    CloseHandle(h);
    *problem = OpenProblem::kNotFile;
    return nullptr;
  }
  *problem = OpenProblem::kNone;
  auto file = std::make_unique<Win32File>(h);
  if (size != nullptr) *size = file->Size();
  return file;
}

OpenProblem WriteProblem(std::string_view path) {
  std::wstring wide;
  if (!ToWide(path, &wide)) return OpenProblem::kOther;
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return ProblemOf(GetLastError());
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return OpenProblem::kFolder;
  if (attributes & FILE_ATTRIBUTE_READONLY) return OpenProblem::kReadOnly;
  // DELETE too: the change replaces the file, which a program holding it open prevents.
  ScopedHandle h(CreateFileW(wide.c_str(), GENERIC_WRITE | DELETE,
                             kShareReadWrite | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  return h.valid() ? OpenProblem::kNone : ProblemOf(GetLastError());
}

std::unique_ptr<File> CreateTemporaryBeside(std::string_view beside, std::string* temp) {
  std::wstring wide;
  if (!ToWide(beside, &wide)) return nullptr;
  // The new file carries the original's attributes (hidden, system, archive ...).
  DWORD attributes = GetFileAttributesW(wide.c_str());
  DWORD keep = FILE_ATTRIBUTE_NORMAL;
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    keep = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                         FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    if (keep == 0) keep = FILE_ATTRIBUTE_NORMAL;
  }
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  std::random_device device;
  std::mt19937_64 rng((static_cast<uint64_t>(device()) << 32) ^ device() ^
                      static_cast<uint64_t>(counter.QuadPart) ^ GetCurrentProcessId());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = detail::TemporaryPathBeside(beside, rng());
    std::wstring wide_candidate;
    if (!ToWide(candidate, &wide_candidate)) return nullptr;
    HANDLE h = CreateFileW(wide_candidate.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           CREATE_NEW, keep, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return nullptr;
    }
    *temp = candidate;
    return std::make_unique<Win32File>(h);
  }
  return nullptr;
}

std::vector<std::string> FileNames(std::string_view folder) {
  std::vector<std::string> names;
  std::wstring wide;
  if (!ToWide(folder, &wide)) return names;
  if (!wide.empty() && wide.back() != L'\\') wide += L'\\';
  wide += L'*';
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(wide.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    names.push_back(WideToUtf8(data.cFileName));
  } while (FindNextFileW(h, &data));
  FindClose(h);
  return names;
}

std::string ResolveLink(std::string_view path) {
  std::wstring wide;
  if (!ToWide(path, &wide)) return std::string(path);
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return std::string(path);
  }
  // A symbolic link: the file it leads to, by the path the system reaches it under.
  ScopedHandle h(CreateFileW(wide.c_str(), 0, kShareReadWrite | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!h.valid()) return std::string(path);
  std::wstring final_path(MAX_PATH, L'\0');
  DWORD n = GetFinalPathNameByHandleW(h.get(), final_path.data(),
                                      static_cast<DWORD>(final_path.size()), FILE_NAME_NORMALIZED);
  if (n >= final_path.size()) {
    final_path.resize(n + 1);
    n = GetFinalPathNameByHandleW(h.get(), final_path.data(),
                                  static_cast<DWORD>(final_path.size()), FILE_NAME_NORMALIZED);
  }
  if (n == 0 || n >= final_path.size()) return std::string(path);
  final_path.resize(n);
  // "\\?\C:\..." for a drive, "\\?\UNC\server\..." for a share.
  if (final_path.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
    final_path = L"\\\\" + final_path.substr(8);
  } else if (final_path.compare(0, 4, L"\\\\?\\") == 0) {
    final_path = final_path.substr(4);
  }
  return WideToUtf8(final_path);
}

std::unique_ptr<File> OpenExisting(std::string_view path) {
  std::wstring wide;
  if (!ToWide(path, &wide)) return nullptr;
  // Wine running as root ignores the read-only attribute; Windows refuses such a file.
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return nullptr;
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32File>(h);
}

std::unique_ptr<File> CreateNew(std::string_view path) {
  std::wstring wide;
  if (!ToWide(path, &wide)) return nullptr;
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return nullptr;
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32File>(h);
}

bool WriteNew(std::string_view path, std::initializer_list<std::string_view> parts) {
  std::wstring wide;
  if (!ToWide(path, &wide)) return false;
  // Most outputs are new files: made with CREATE_NEW, they need no look first. Under Wine every
  // look-up of a name not yet in the folder reads the whole folder (names differ in case only
  // there), so a look before each of thousands of pieces doubled the time of a split. A file that
  // is there is looked at as before: a read-only one is not overwritten.
  ScopedHandle h(CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.valid()) {
    if (GetLastError() != ERROR_FILE_EXISTS) return false;
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY)) {
      return false;
    }
    h.reset(CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  if (!h.valid()) return false;
  for (std::string_view part : parts) {
    if (!part.empty() && !WriteAllTo(h.get(), part)) return false;
  }
  return true;
}

bool RenameReplace(std::string_view from, std::string_view to) {
  std::wstring wide_from, wide_to;
  if (!ToWide(from, &wide_from) || !ToWide(to, &wide_to)) return false;
  DWORD attributes = GetFileAttributesW(wide_to.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
  return MoveFileExW(wide_from.c_str(), wide_to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

int64_t EntrySize(std::string_view path) {
  std::wstring wide;
  if (!ToWide(path, &wide)) return -1;
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(wide.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return -1;
  FindClose(h);
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool Remove(std::string_view path) {
  std::wstring wide;
  if (!ToWide(path, &wide)) return false;
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
  return DeleteFileW(wide.c_str()) != 0;
}

bool MakeDir(std::string_view path) {
  std::wstring wide;
  return ToWide(path, &wide) && CreateDirectoryW(wide.c_str(), nullptr) != 0;
}

bool RemoveDir(std::string_view path) {
  std::wstring wide;
  return ToWide(path, &wide) && RemoveDirectoryW(wide.c_str()) != 0;
}

bool IsDir(std::string_view path) {
  std::wstring wide;
  if (!ToWide(path, &wide)) return false;
  DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string Identity(std::string_view path) {
  std::wstring wide;
  if (!ToWide(path, &wide)) return {};
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  ScopedHandle h(CreateFileW(wide.c_str(), 0, share, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!h.valid()) return {};
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h.get(), &info)) return {};
  return std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) +
         ":" + std::to_string(info.nFileIndexLow);
}

bool Representable(std::string_view path) {
  std::wstring wide;
  return ToWide(path, &wide);
}

std::string ProgramDir() {
  std::wstring buffer(MAX_PATH, L'\0');
  while (true) {
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) {
      buffer.resize(n);
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  size_t slash = buffer.find_last_of(L"\\/");
  if (slash != std::wstring::npos) buffer.resize(slash);
  return FromWidePath(buffer);
}

std::string TempDir() {
  wchar_t buffer[MAX_PATH + 2];
  DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  if (n == 0 || n > MAX_PATH + 1) return {};
  std::wstring wide(buffer, n);
  if (wide.back() != L'\\') wide += L'\\';
  return FromWidePath(wide);
}

Stamp StampOf(std::string_view path) {
  Stamp stamp;
  std::wstring wide;
  if (!ToWide(path, &wide)) return stamp;
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  ScopedHandle h(CreateFileW(wide.c_str(), 0, share, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!h.valid() || !GetFileInformationByHandle(h.get(), &info)) return stamp;
  stamp.identity = std::to_string(info.dwVolumeSerialNumber) + ":" +
                   std::to_string(info.nFileIndexHigh) + ":" + std::to_string(info.nFileIndexLow);
  stamp.size = static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) |
                                    info.nFileSizeLow);
  stamp.modified = static_cast<int64_t>(
      (static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
      info.ftLastWriteTime.dwLowDateTime);
  stamp.regular = GetFileType(h.get()) == FILE_TYPE_DISK &&
                  !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  return stamp;
}

namespace {

class HandleHold : public Hold {
 public:
  explicit HandleHold(HANDLE h) : handle_(h) {}

 private:
  ScopedHandle handle_;
};

}  // namespace

std::unique_ptr<Hold> HoldAgainstWriters(std::string_view path, OpenProblem* problem) {
  std::wstring wide;
  *problem = OpenProblem::kOther;
  if (!ToWide(path, &wide)) return nullptr;
  // Shared for reading only: an open for writing fails while this lives, and one already made
  // makes this fail.
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *problem = ProblemOf(GetLastError());
    return nullptr;
  }
  *problem = OpenProblem::kNone;
  return std::make_unique<HandleHold>(h);
}

}  // namespace travik::platform
