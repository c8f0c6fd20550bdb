#include "core/files.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>

#include "core/files_platform.h"
#include "core/text.h"

namespace travik {

namespace {

struct OpenEntry {
  std::unique_ptr<platform::File> file;
  int64_t position = 0;
};

// The process-wide table of open files. All calls come from one thread.
struct FileTable {
  std::map<FileNumber, OpenEntry> entries;
  FileNumber next = 1;
};

FileTable& Table() {
  static FileTable table;
  return table;
}

OpenEntry* Lookup(FileNumber number) {
  auto it = Table().entries.find(number);
  return it == Table().entries.end() ? nullptr : &it->second;
}

constexpr size_t kMoveBlock = 4096;

}  // namespace

FileNumber OpenFile(std::string_view path) {
  if (path.empty()) return 0;
  std::unique_ptr<platform::File> file = platform::OpenExisting(path);
  if (!file) return 0;
  FileTable& table = Table();
  FileNumber number = table.next++;
  if (table.next <= 0) table.next = 1;
  table.entries[number] = OpenEntry{std::move(file), 0};
  return number;
}

void CloseFile(FileNumber number) { Table().entries.erase(number); }

void CloseAllFiles() { Table().entries.clear(); }

int OpenFileCount() { return static_cast<int>(Table().entries.size()); }

bool SeekFile(FileNumber number, int64_t offset) {
  OpenEntry* entry = Lookup(number);
  if (entry == nullptr || offset < 0) return false;
  entry->position = offset;
  return true;
}

int64_t FilePosition(FileNumber number) {
  OpenEntry* entry = Lookup(number);
  return entry == nullptr ? -1 : entry->position;
}

std::string ReadTextFromFile(FileNumber number, ReadInfo* info) {
  ReadInfo local;
  ReadInfo& result = info ? *info : local;
  result = ReadInfo();
  OpenEntry* entry = Lookup(number);
  if (entry == nullptr) return {};
  int64_t size = entry->file->Size();
  if (size < 0) return {};
  int64_t start = entry->position;
  if (start >= size) {
    result.ok = true;
    return {};
  }
  std::string bytes(static_cast<size_t>(size - start), '\0');
  size_t got = 0;
  if (!entry->file->ReadAt(start, bytes.data(), bytes.size(), &got)) return {};
  bytes.resize(got);
  result.ok = true;
  result.bytes_read = static_cast<int64_t>(got);

  // Find the end of the text: a 0x00 or 0x1A outside a double-byte character, or a lead byte
  // that has no trail byte.
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t n = bytes.size();
  size_t i = 0;
  while (i < n) {
    unsigned char c = p[i];
    if (c >= 0x80) {
      if (i + 1 >= n || p[i + 1] == 0) {
        // A lead byte without its trail byte is not part of the text.
        entry->position = start + static_cast<int64_t>(i) + 1;
        result.cut_short = true;  // the dropped byte is not in the text
        bytes.resize(i);
        return bytes;
      }
      i += 2;
      continue;
    }
    if (c == 0x00 || c == 0x1A) {
      entry->position = start + static_cast<int64_t>(i);
      result.cut_short = true;
      bytes.resize(i);
      return bytes;
    }
    ++i;
  }
  entry->position = start + static_cast<int64_t>(n);
  return bytes;
}

bool InsertTextIntoFile(FileNumber number, std::string_view text) {
  OpenEntry* entry = Lookup(number);
  if (entry == nullptr) return false;
  const int64_t p = entry->position;
  const int64_t n = static_cast<int64_t>(text.size());
  if (n == 0) return true;
  int64_t e = entry->file->Size();
  if (e < 0) return false;
  char buffer[kMoveBlock];
  // Move the tail forward block by block, last block first, so nothing is overwritten before it
  // has been moved.
  while (p < e) {
    size_t k = static_cast<size_t>(std::min<int64_t>(e - p, kMoveBlock));
    e -= static_cast<int64_t>(k);
    size_t got = 0;
    if (!entry->file->ReadAt(e, buffer, k, &got) || got != k ||
        !entry->file->WriteAt(e + n, buffer, k)) {
      entry->position = p;
      return false;
    }
  }
  if (!entry->file->WriteAt(p, text.data(), text.size())) {
    entry->position = p;
    return false;
  }
  entry->position = p + n;
  return true;
}

bool WriteWholeFile(std::string_view path, std::initializer_list<std::string_view> parts) {
  if (path.empty()) return false;
  return platform::WriteNew(path, parts);
}

bool ReplaceWholeFile(std::string_view path, std::initializer_list<std::string_view> parts) {
  if (path.empty()) return false;
  // A name of our own beside the target, so the rename stays on one volume.
  static std::atomic<unsigned> counter{0};
  std::string temp = JoinText(path, ".travik-", NumberToText(static_cast<int>(++counter)), ".tmp");
  if (!platform::WriteNew(temp, parts)) {
    platform::Remove(temp);
    return false;
  }
  if (!platform::RenameReplace(temp, path)) {
    platform::Remove(temp);
    return false;
  }
  return true;
}

int64_t FileSizeOf(std::string_view path) {
  if (path.empty()) return -1;
  return platform::EntrySize(path);
}

bool RemoveFile(std::string_view path) { return !path.empty() && platform::Remove(path); }

bool MakeDirectory(std::string_view path) { return !path.empty() && platform::MakeDir(path); }

bool FolderExists(std::string_view path) { return !path.empty() && platform::IsDir(path); }

bool SameFile(std::string_view a, std::string_view b) {
  return !a.empty() && !b.empty() && platform::Same(a, b);
}

bool PathIsRepresentable(std::string_view path) { return platform::Representable(path); }

std::string ProgramDirectory() { return platform::ProgramDir(); }

std::string TempDirectory() { return platform::TempDir(); }

SourceText LoadSourceText(std::string_view path) {
  SourceText source;
  if (!PathIsRepresentable(path)) {
    source.error = "文件名无法转换";
    return source;
  }
  source.file_size = FileSizeOf(path);
  if (source.file_size > kMaxFileSize) {
    source.too_large = true;
    source.error = "文件超过 2 GB，无法处理";
    return source;
  }
  FileNumber number = OpenFile(path);
  if (number == 0) {
    source.error = source.file_size < 0 ? "文件不存在" : "无法打开文件";
    return source;
  }
  ReadInfo info;
  source.text = ReadTextFromFile(number, &info);
  CloseFile(number);
  if (!info.ok) {
    source.text.clear();
    source.error = "读取文件失败";
    return source;
  }
  source.ok = true;
  source.cut_short = info.cut_short;
  if (source.cut_short) source.error = "文件中含有 0x00 或 0x1A 字节，其后的内容未被读取";
  return source;
}

}  // namespace travik
