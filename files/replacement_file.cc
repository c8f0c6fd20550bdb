#include "files/replacement_file.h"

#include <memory>

#include "files/files_platform.h"
#include "files/write_behind.h"

namespace travik {

struct ReplacementFile::Impl {
  std::string path;
  std::string temp;
  std::unique_ptr<platform::File> file;
  std::unique_ptr<WriteBehind> behind;  // made by the first AppendLater
  bool failed = false;
  bool committed = false;

  // Waits for the bytes being written behind; false (and the file is spoiled) when one failed.
  bool Settle() {
    if (behind != nullptr && !behind->Drain()) failed = true;
    return !failed;
  }
};

ReplacementFile::ReplacementFile(std::string_view path) : impl_(new Impl) {
  if (path.empty()) {
    impl_->failed = true;
    return;
  }
  impl_->path = platform::ResolveLink(path);
  if (impl_->path.empty()) {  // a link to a file that cannot be named: the link is not replaced
    impl_->failed = true;
    return;
  }
  impl_->file = platform::CreateTemporaryBeside(impl_->path, &impl_->temp);
  if (!impl_->file) {
    impl_->temp.clear();
    impl_->failed = true;
  }
}

ReplacementFile::~ReplacementFile() {
  impl_->behind.reset();  // bytes not yet written are dropped with the temporary file
  impl_->file.reset();
  if (!impl_->committed && !impl_->temp.empty()) platform::Remove(impl_->temp);
  delete impl_;
}

bool ReplacementFile::ok() const { return !impl_->failed; }

bool ReplacementFile::Append(std::string_view bytes) {
  if (impl_->failed || impl_->committed || !impl_->Settle()) return false;
  if (!bytes.empty() && !impl_->file->WriteAt(size_, bytes.data(), bytes.size())) {
    impl_->failed = true;
    return false;
  }
  size_ += static_cast<int64_t>(bytes.size());
  return true;
}

bool ReplacementFile::AppendLater(SourceBytes bytes) {
  // Bytes waiting are held in memory while the caller reads on: a text larger than the room is
  // written at once, so that a job never holds two such texts.
  if (!bytes.Fixed() || bytes.size() > WriteBehind::kDefaultCapacity) return Append(bytes);
  if (impl_->failed || impl_->committed) return false;
  if (bytes.empty()) return true;
  if (impl_->behind == nullptr) {
    platform::File* file = impl_->file.get();
    impl_->behind = std::make_unique<WriteBehind>(
        [file](int64_t offset, std::string_view run) {
          return file->WriteAt(offset, run.data(), run.size());
        },
        WriteBehind::kDefaultCapacity, WriteBehind::kDefaultBatch);
  }
  const int64_t at = size_;
  size_ += static_cast<int64_t>(bytes.size());
  if (!impl_->behind->Queue(at, std::move(bytes))) {
    impl_->failed = true;
    return false;
  }
  return true;
}

bool ReplacementFile::Commit() {
  if (impl_->failed || impl_->committed || !impl_->Settle()) return false;
  // On the disk before it replaces anything: a crash leaves the old file or the whole new one.
  if (!impl_->file->Flush()) {
    impl_->failed = true;
    return false;
  }
  impl_->file.reset();  // closed before the rename: Windows cannot rename an open file
  if (!platform::RenameReplace(impl_->temp, impl_->path)) {
    impl_->failed = true;
    return false;
  }
  impl_->committed = true;
  return true;
}

bool ReplaceWholeFile(std::string_view path, std::initializer_list<std::string_view> parts) {
  ReplacementFile file(path);
  for (std::string_view part : parts) {
    if (!file.Append(part)) return false;
  }
  return file.Commit();
}

}  // namespace travik
