// Files mapped into memory for reading, on Windows (used by files_win32.cc).
#ifndef TRAVIK_FILES_MAPPED_FILE_WIN32_H_
#define TRAVIK_FILES_MAPPED_FILE_WIN32_H_

#include <windows.h>

#include <cstddef>
#include <memory>

#include "files/source_bytes.h"

namespace travik::platform {

// The first n bytes (n > 0) of the open file `file` mapped read-only, or null when they cannot be
// (the file is shorter by now, or no room in the address space). The mapping keeps its own handle:
// `file` may be closed at once. While it lives the system refuses to shorten the file
// (ERROR_USER_MAPPED_FILE), so its bytes cannot go missing; Changed() still compares the length.
// The bytes lie in views of a few megabytes side by side: Release maps the views it covers
// afresh, which takes their pages out of the working set, so that a job passing through a large
// file holds only a few views' worth of it.
std::shared_ptr<const ByteStorage> MapFileForReading(HANDLE file, size_t n);

}  // namespace travik::platform

#endif  // TRAVIK_FILES_MAPPED_FILE_WIN32_H_
