#include "files/file_table.h"

#include <algorithm>
#include <map>
#include <memory>

#include "files/files_internal.h"
#include "files/files_platform.h"

namespace travik {

using detail::EmptyTextBuffer;
using detail::FindTextEnd;
using detail::ProblemText;
using detail::TextBuffer;
using detail::TextEnd;

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
  std::string bytes = TextBuffer(static_cast<size_t>(size - start));
  size_t got = 0;
  if (!entry->file->ReadAt(start, bytes.data(), bytes.size(), &got)) return {};
  bytes.resize(got);
  result.ok = true;
  result.bytes_read = static_cast<int64_t>(got);

  TextEnd end = FindTextEnd(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  bytes.resize(end.length);
  entry->position = start + static_cast<int64_t>(end.position);
  result.cut_short = end.cut_short;
  result.half_character = end.position != end.length;
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

}  // namespace travik
