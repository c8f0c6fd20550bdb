#include "files/file_entry.h"

#include <algorithm>

#include "files/files.h"
#include "text/codepage.h"
#include "text/encoding.h"
#include "text/text.h"

namespace travik {

std::string FileNamePart(std::string_view path) {
  // Paths are UTF-8: no byte of a multi-byte character is a separator.
#ifdef _WIN32
  const size_t last = path.find_last_of("\\/");
#else
  const size_t last = path.rfind('/');
#endif
  if (last == std::string_view::npos) return std::string(path);
  return std::string(path.substr(last + 1));
}

std::string BaseName(std::string_view path) {
  std::string name = FileNamePart(path);
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return name;  // no extension: the whole name (".txt" too)
  return name.substr(0, dot);
}

namespace {

// The capital of a small letter as Windows compares names (Latin-1 and Latin Extended-A, Greek,
// Cyrillic, full-width Latin, small Roman numerals); other characters unchanged.
char32_t CapitalOf(char32_t c) {
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) ||
      (c >= 0x430 && c <= 0x44F) || (c >= 0xFF41 && c <= 0xFF5A)) {
    return c - 0x20;
  }
  if (c >= 0x100 && c <= 0x17F && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
    // Pairs of capital and small letter; the block shifts its pairing at U+0139 and U+0179.
    const bool odd_small = (c < 0x138 || c > 0x148) && (c < 0x179);
    if (odd_small ? (c & 1) : !(c & 1)) return c - 1;
    return c;
  }
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  if (c >= 0x2170 && c <= 0x217F) return c - 0x10;
  return c;
}

}  // namespace

std::string FileNameKey(std::string_view name) {
  // No byte of a multi-byte UTF-8 character is a dot or a space.
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
  std::string key;
  key.reserve(name.size());
  const char* end = name.data() + name.size();
  for (const char* p = name.data(); p < end;) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x80) {
      key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : static_cast<char>(c);
      ++p;
      continue;
    }
    const size_t n = Utf8SequenceLength(p, end);
    if (n == 0) {
      key += *p++;
      continue;
    }
    const char32_t value = DecodeChar(Encoding::kUtf8, p, end);
    const char32_t capital = CapitalOf(value);
    key += capital == value ? std::string(p, n) : WideToUtf8(std::wstring(1, static_cast<wchar_t>(capital)));
    p += n;
  }
  return key;
}

namespace {

// The length of the part of `name` Windows looks at for a device: up to the first dot, spaces
// before it dropped ("nul .txt" is NUL too).
size_t DevicePartLength(std::string_view name) {
  size_t end = std::min(name.find('.'), name.size());
  while (end > 0 && name[end - 1] == ' ') --end;
  return end;
}

}  // namespace

bool IsDeviceName(std::string_view name) {
  const std::string_view part = name.substr(0, DevicePartLength(name));
  std::string upper;
  for (char c : part) upper.push_back((c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c);
  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") return true;
  if (upper.compare(0, 3, "COM") != 0 && upper.compare(0, 3, "LPT") != 0) return false;
  // The port's digit: 1 to 9, or a superscript ¹ ² ³, which Windows reads as a digit there.
  const std::string_view digit = std::string_view(upper).substr(3);
  return (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') || digit == "\xC2\xB9" ||
         digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

std::string PortableName(std::string_view name) {
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
  std::string portable(name);
  if (portable.empty()) return "_";
  if (IsDeviceName(portable)) portable.insert(DevicePartLength(portable), "_");
  return portable;
}

std::string DeviceNameProblem(std::string_view name) {
  return JoinText("“", name, "”是 Windows 的设备名，不能用作文件名，请换一个名字");
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
