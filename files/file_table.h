// The process-wide table of open files: opened, read as GBK text, grown in place, written whole.
// Windows semantics are the reference: a file open in the table cannot be deleted, nor
// overwritten by WriteWholeFile, and a read-only file cannot be opened.
#ifndef TRAVIK_FILES_FILE_TABLE_H_
#define TRAVIK_FILES_FILE_TABLE_H_

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace travik {

// Names an open file; 0 means that opening failed.
using FileNumber = int;

// Opens an existing file for reading and writing (others may read and write it too). Returns 0
// when the path is empty, the file is missing or read-only, or it cannot be opened.
FileNumber OpenFile(std::string_view path);
// Closes the file and removes it from the table; unknown numbers are ignored.
void CloseFile(FileNumber number);
// Closes every file in the table.
void CloseAllFiles();
// Number of files in the table.
int OpenFileCount();

// Sets the position; beyond the end is allowed. False for an unknown number or a bad offset.
bool SeekFile(FileNumber number, int64_t offset);
// The current position, or -1 for an unknown number.
int64_t FilePosition(FileNumber number);

// What a read found besides its text.
struct ReadInfo {
  bool ok = false;          // the number was known and the read succeeded
  bool cut_short = false;   // the text ends before the file does (0x00, 0x1A, lone lead byte)
  bool half_character = false;  // it ends because a lead byte had no second byte
  int64_t bytes_read = 0;   // bytes from the position to the end of the file
};

// Reads from the position to the end of the file. A 0x00 or 0x1A byte outside a double-byte
// character ends the text and the position is left on it; a lead byte followed by 0x00 or at the
// very end is dropped and the position is set just after it. Empty on any failure.
std::string ReadTextFromFile(FileNumber number, ReadInfo* info = nullptr);

// Inserts the bytes at the position, moving the tail forward in 4096-byte blocks from the end;
// the position ends just after the inserted bytes. On failure the position returns to where it
// was and false is returned (bytes already moved stay moved).
bool InsertTextIntoFile(FileNumber number, std::string_view text);

// Creates or truncates the file (no sharing) and writes the parts in order. False when the path
// is empty, the file cannot be created (missing folder, read-only, open in the table) or a write
// fails; a failed write can leave a partial file.
bool WriteWholeFile(std::string_view path, std::initializer_list<std::string_view> parts);
template <typename... Parts>
bool WriteWholeFile(std::string_view path, const Parts&... parts) {
  return WriteWholeFile(path, {std::string_view(parts)...});
}

}  // namespace travik

#endif  // TRAVIK_FILES_FILE_TABLE_H_
