// Files mapped into memory for reading, on POSIX systems (used by files_posix.cc).
#ifndef TRAVIK_FILES_MAPPED_FILE_POSIX_H_
#define TRAVIK_FILES_MAPPED_FILE_POSIX_H_

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <memory>

#include "files/source_bytes.h"

namespace travik::platform {

// The first n bytes (n > 0) of the open file `fd` mapped read-only and private, or null when
// they cannot be mapped. The mapping keeps its own descriptor: `fd` may be closed at once.
// Another program may shorten the file meanwhile: bytes past its new end then read as 0x00
// instead of ending the program with SIGBUS, and Changed() says so.
std::shared_ptr<const ByteStorage> MapFileForReading(int fd, size_t n);

// Writes the n bytes at `data` to `out` (at `offset`, or at its position when offset < 0). Bytes of
// a live mapping made by MapFileForReading are copied by the kernel from the mapped file, without
// being touched here (their pages need not come into memory); others, and bytes that copying
// cannot reach, are written from memory. False on a write error.
bool WriteMaybeMapped(int out, int64_t offset, const char* data, size_t n);
// Writes the parts one after another at the position of `out`, as WriteMaybeMapped would; parts
// all in memory go in one system call. False on a write error.
bool WritePartsMaybeMapped(int out, std::initializer_list<std::string_view> parts);

}  // namespace travik::platform

#endif  // TRAVIK_FILES_MAPPED_FILE_POSIX_H_
