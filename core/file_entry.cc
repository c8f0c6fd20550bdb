#include "core/file_entry.h"

#include <algorithm>

#include "core/files.h"
#include "core/text.h"

namespace travik {

std::string FileNamePart(std::string_view path) {
  int last = FindTextReverse(path, kPathSeparator);
#ifdef _WIN32
  last = std::max(last, FindTextReverse(path, "/"));
#endif
  if (last == -1) return std::string(path);
  return std::string(path.substr(static_cast<size_t>(last)));
}

std::string BaseName(std::string_view path) {
  std::string name = FileNamePart(path);
  int dot = FindTextReverse(name, ".");
  if (dot <= 1) return name;  // no extension: the whole name (".txt" too)
  return LeftText(name, dot - 1);
}

std::string SizeInKilobytesText(int64_t bytes) {
  return NumberToText(RoundTo(static_cast<double>(bytes) / 1024, 2));
}

FileEntry MakeSplitEntry(std::string_view path) {
  return {BaseName(path), std::string(path), SizeInKilobytesText(FileSizeOf(path))};
}

FileEntry MakeMergeEntry(std::string_view path) { return {BaseName(path), std::string(path), ""}; }

FileEntry MakeInsertEntry(std::string_view path) {
  int64_t size = FileSizeOf(path);
  return {BaseName(path), std::string(path), std::to_string(size)};
}

}  // namespace travik
