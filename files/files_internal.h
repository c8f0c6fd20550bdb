// What the file room's own files share: the GBK reader's end of text, the buffers a whole text is
// read into, and the causes of a failed open as a person reads them. Not for use outside files/.
#ifndef TRAVIK_FILES_FILES_INTERNAL_H_
#define TRAVIK_FILES_FILES_INTERNAL_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "files/files_platform.h"

namespace travik::detail {

// Where a text read from `p` ends: its length, the offset the position moves to, and whether
// bytes were left behind.
struct TextEnd {
  size_t length;
  size_t position;
  bool cut_short;
};

// The text ends at the first 0x00 or 0x1A that begins a character, or before a lead byte whose
// second byte is 0x00 or missing. The first `clean` bytes are known to hold neither terminator.
TextEnd FindTextEnd(const unsigned char* p, size_t n, size_t clean = 0);

// An empty buffer with room for n bytes of a whole text (huge pages on Linux for large ones).
std::string EmptyTextBuffer(size_t n);
// A buffer of n bytes for a whole text.
std::string TextBuffer(size_t n);

// The path of a temporary file beside `beside`: its name followed by ".travik-<16 hex>.tmp", the
// name cut between characters where the whole would pass the longest name the system takes
// (255 bytes on POSIX, 255 UTF-16 units on Windows), so that a file of a name that long can be
// replaced too.
std::string TemporaryPathBeside(std::string_view beside, uint64_t random);

// The cause of a failed open ("不存在", "没有权限", …); empty for kNone.
std::string ProblemText(platform::OpenProblem problem);

}  // namespace travik::detail

#endif  // TRAVIK_FILES_FILES_INTERNAL_H_
