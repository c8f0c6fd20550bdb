#include "files/source_bytes.h"

#include <cstring>
#include <ostream>
#include <utility>

namespace travik {

namespace {

class StringStorage : public ByteStorage {
 public:
  explicit StringStorage(std::string bytes) : bytes_(std::move(bytes)) {}
  std::string_view Bytes() const override { return bytes_; }

 private:
  std::string bytes_;
};

// Pages are let go in steps of this many bytes: a few system calls for a large file, and no more
// than this much of it held at once by a job that passes through it.
constexpr size_t kReleaseStep = size_t{4} << 20;

}  // namespace

SourceBytes::SourceBytes(std::string bytes) {
  storage_ = std::make_shared<const StringStorage>(std::move(bytes));
  view_ = storage_->Bytes();
}

void SourceBytes::Release(size_t offset) const {
  if (storage_ == nullptr) return;
  if (offset > view_.size()) offset = view_.size();
  if (offset < released_ + kReleaseStep && !(offset == view_.size() && offset > released_)) {
    return;
  }
  storage_->Release(view_.data() + released_, view_.data() + offset);
  released_ = offset;
}

void ByteStorage::CopyOut(size_t offset, char* to, size_t n) const {
  if (n > 0) memcpy(to, Bytes().data() + offset, n);
}

void SourceBytes::CopyOut(size_t offset, char* to, size_t n) const {
  if (storage_ == nullptr) {
    if (n > 0) memcpy(to, view_.data() + offset, n);
    return;
  }
  storage_->CopyOut(static_cast<size_t>(view_.data() - storage_->Bytes().data()) + offset, to, n);
}

void PrintTo(const SourceBytes& bytes, std::ostream* out) {
  *out << '"' << bytes.view() << '"';
}

}  // namespace travik
