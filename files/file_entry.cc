#include "files/file_entry.h"

#include <algorithm>

#include "files/files.h"
#include "text/text.h"

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

namespace {

// The GBK code of a small letter's capital (the small Roman numerals, full-width Latin, Greek and
// Cyrillic letters); other codes unchanged.
unsigned CapitalCode(unsigned code) {
  if (code >= 0xA2A1 && code <= 0xA2AA) return code + 0x50;  // ⅰ ... ⅹ
  if (code >= 0xA3E1 && code <= 0xA3FA) return code - 0x20;  // ａ ... ｚ
  if (code >= 0xA6C1 && code <= 0xA6D8) return code - 0x20;  // α ... ω
  if (code >= 0xA7D1 && code <= 0xA7F1) return code - 0x30;  // а ... я
  return code;
}

}  // namespace

std::string FileNameKey(std::string_view name) {
  std::string key(name);
  for (size_t i = 0; i < key.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(key[i]);
    if (c >= 0x80) {
      if (i + 1 >= key.size()) break;
      const unsigned code = CapitalCode(c << 8 | static_cast<unsigned char>(key[i + 1]));
      key[i + 1] = static_cast<char>(code & 0xFF);
      ++i;
    } else if (c >= 'A' && c <= 'Z') {
      key[i] = static_cast<char>(c + 32);
    }
  }
  return key;
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
