// Files replaced only by complete new ones: written beside the old one, flushed, renamed over it.
#ifndef TRAVIK_FILES_REPLACEMENT_FILE_H_
#define TRAVIK_FILES_REPLACEMENT_FILE_H_

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "files/source_bytes.h"

namespace travik {

// Writes the parts to a temporary file beside `path`, then renames it over `path`. The old file
// is replaced only by a complete new one; on failure it is untouched and nothing is left behind.
// As ReplacementFile: links followed, permissions kept, flushed to disk before the rename.
bool ReplaceWholeFile(std::string_view path, std::initializer_list<std::string_view> parts);

// A new file written piece by piece beside `path` that replaces `path` only when committed.
// Abandoned (destroyed without a successful Commit) it is removed and `path` is untouched.
// When `path` is a symbolic link, the file it points to is replaced and the link stays. The new
// file is created exclusively under an unpredictable name, gets the permission bits (Windows:
// attributes) of the file it replaces, and is flushed to disk before the rename. A hard link to
// the old file keeps the old text: the path names a new file afterwards.
class ReplacementFile {
 public:
  explicit ReplacementFile(std::string_view path);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // False when the temporary file could not be created.
  bool ok() const;
  // Appends the bytes; false (and the file is spoiled) on a write error.
  bool Append(std::string_view bytes);
  // Appends the bytes, which may be written later on a thread of the file's own while the caller
  // goes on (the file keeps them alive meanwhile). Bytes of a mapped file are written at once, so
  // that the caller's Changed() check after this call covers what was written, and so are more
  // than a few megabytes, so that they are not held while the caller reads the next. False when a
  // write failed, this one or an earlier one.
  bool AppendLater(SourceBytes bytes);
  // Bytes appended so far.
  int64_t size() const { return size_; }
  // Flushes and closes the file and renames it over `path`. False when anything failed.
  bool Commit();

 private:
  struct Impl;
  Impl* impl_;
  int64_t size_ = 0;
};

}  // namespace travik

#endif  // TRAVIK_FILES_REPLACEMENT_FILE_H_
