// One row of a file list, and the helpers that fill its cells.
#ifndef TRAVIK_FILES_FILE_ENTRY_H_
#define TRAVIK_FILES_FILE_ENTRY_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "text/encoding.h"

namespace travik {

// Column 0: the file name without its extension; column 1: the full path; column 2: the size
// as listed (split list: KB to two places, insert list: bytes, merge list: empty). All UTF-8.
struct FileEntry {
  std::string name;
  std::string path;
  std::string size;
  // How the file's encoding is decided (the window's column "编码", --encoding).
  EncodingChoice encoding = EncodingChoice::kAuto;
};

// The part of the path after its last separator ("\\" or "/" on Windows, "/" elsewhere).
std::string FileNamePart(std::string_view path);
// The file name up to its last "."; the whole name when there is no dot or the only dot is the
// first byte ("小说", ".txt").
std::string BaseName(std::string_view path);
// The name with trailing dots and spaces dropped (Windows drops them: "x." and "x" are one
// folder), ASCII letters folded to lower case and the other letters Windows pairs (Latin, Greek,
// Cyrillic, full-width, Roman numerals) to their capitals: equal for two names when Windows takes
// them for one file.
std::string FileNameKey(std::string_view name);
// True when Windows takes the name for a device, not a file: CON, PRN, AUX, NUL, COM1-COM9 or
// LPT1-LPT9 (the superscripts ¹ ² ³ count as digits) in any case, alone or before a dot ("nul.txt", "Com1.tar.gz"), spaces before the dot
// or trailing dots and spaces aside. Everything written there is lost (NUL) or goes to a port.
bool IsDeviceName(std::string_view name);
// The name as every system keeps it (UTF-8): trailing dots and spaces dropped, and a device
// name's device part given a "_" ("nul.txt" gives "nul_.txt", "x." gives "x"); "_" when nothing
// is left. Names Travik makes from a source's name go through it, so that one folder of pieces
// copied to Windows is not another's, nor the null device.
std::string PortableName(std::string_view name);
// The reason a source or output that the person named is refused when IsDeviceName holds.
std::string DeviceNameProblem(std::string_view name);
// FileSizeOf / 1024 rounded to two places ("1.5" for 1536 bytes).
std::string SizeInKilobytesText(int64_t bytes);

// Rows as the three lists make them, sizes read now.
FileEntry MakeSplitEntry(std::string_view path);
FileEntry MakeMergeEntry(std::string_view path);
FileEntry MakeInsertEntry(std::string_view path);

}  // namespace travik

#endif  // TRAVIK_FILES_FILE_ENTRY_H_
