// The bytes of a source's text as a job works on them: a view of the file mapped into memory,
// or of a string the reader filled. Either way the text is not copied again.
#ifndef TRAVIK_FILES_SOURCE_BYTES_H_
#define TRAVIK_FILES_SOURCE_BYTES_H_

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

namespace travik {

// What holds a text's bytes alive. A mapped file lets pages go from memory and says whether the
// file was shortened under it; a string does neither.
class ByteStorage {
 public:
  virtual ~ByteStorage() = default;
  // All the bytes held.
  virtual std::string_view Bytes() const = 0;
  // The pages wholly inside [begin, end) may leave memory: touched again, they are read again
  // from the file. Only a hint; nothing changes for the reader.
  virtual void Release(const char* begin, const char* end) const {
    (void)begin;
    (void)end;
  }
  // True when another program shortened the file while it was mapped: bytes past its new end
  // read as 0x00, so what was read from them is not the file's.
  virtual bool Changed() const { return false; }
  // True when the bytes are the program's own memory: nothing another program does changes them
  // (a mapped file's bytes may change when the file is shortened).
  virtual bool Fixed() const { return true; }
  // Copies n bytes from `offset` of Bytes() to `to`. A mapped file reads them from the file
  // instead: its pages then need not come into memory.
  virtual void CopyOut(size_t offset, char* to, size_t n) const;
};

// A text's bytes: copies share them. Built from a string, it owns the string (tests and small
// texts); LoadSourceText may give a view of the file mapped into memory instead.
class SourceBytes {
  template <typename T>
  using ViewLike = std::enable_if_t<std::is_convertible_v<const T&, std::string_view> &&
                                    !std::is_same_v<T, SourceBytes>>;

 public:
  SourceBytes() = default;
  SourceBytes(std::string bytes);  // NOLINT(runtime/explicit): a text held in memory
  SourceBytes(const char* bytes) : SourceBytes(std::string(bytes)) {}  // NOLINT
  // All the bytes of `storage` (none for null).
  explicit SourceBytes(std::shared_ptr<const ByteStorage> storage)
      : storage_(std::move(storage)), view_(storage_ ? storage_->Bytes() : std::string_view()) {}

  std::string_view view() const { return view_; }
  operator std::string_view() const { return view_; }  // NOLINT: read as a view everywhere
  const char* data() const { return view_.data(); }
  size_t size() const { return view_.size(); }
  bool empty() const { return view_.empty(); }
  char operator[](size_t i) const { return view_[i]; }
  std::string_view substr(size_t pos, size_t n = std::string_view::npos) const {
    return view_.substr(pos, n);
  }
  // Keeps the first n bytes (n no more than the size).
  void resize(size_t n) { view_ = view_.substr(0, n); }
  // Drops the first n bytes (n no more than the size).
  void remove_prefix(size_t n) {
    view_.remove_prefix(n);
    released_ = released_ > n ? released_ - n : 0;
  }
  // Drops the bytes (and the mapping or string, when no copy shares it).
  void clear() {
    storage_.reset();
    view_ = {};
  }
  // The job is done with the bytes before `offset`: a mapped text lets their pages go from
  // memory, in steps of some megabytes, so that a job passing once through a large file never
  // holds all of it. Reading them again still works.
  void Release(size_t offset) const;
  // Copies bytes [offset, offset + n) of the view to `to` (see ByteStorage::CopyOut).
  void CopyOut(size_t offset, char* to, size_t n) const;
  // True when the file was shortened by another program while it was mapped (see ByteStorage).
  bool Changed() const { return storage_ != nullptr && storage_->Changed(); }
  // True when nothing another program does can change the bytes (see ByteStorage).
  bool Fixed() const { return storage_ == nullptr || storage_->Fixed(); }

  // Compared as bytes, with each other and with anything that is a view of bytes.
  friend bool operator==(const SourceBytes& a, const SourceBytes& b) { return a.view_ == b.view_; }
  friend bool operator!=(const SourceBytes& a, const SourceBytes& b) { return a.view_ != b.view_; }
  template <typename T, typename = ViewLike<T>>
  friend bool operator==(const SourceBytes& a, const T& b) {
    return a.view_ == std::string_view(b);
  }
  template <typename T, typename = ViewLike<T>>
  friend bool operator==(const T& a, const SourceBytes& b) {
    return std::string_view(a) == b.view_;
  }
  template <typename T, typename = ViewLike<T>>
  friend bool operator!=(const SourceBytes& a, const T& b) {
    return a.view_ != std::string_view(b);
  }
  template <typename T, typename = ViewLike<T>>
  friend bool operator!=(const T& a, const SourceBytes& b) {
    return std::string_view(a) != b.view_;
  }

 private:
  std::shared_ptr<const ByteStorage> storage_;
  std::string_view view_;
  // Bytes of the view already let go; mutable: a hint about memory, not about the text.
  mutable size_t released_ = 0;
};

// Tests print the bytes as they print a string.
void PrintTo(const SourceBytes& bytes, std::ostream* out);

}  // namespace travik

#endif  // TRAVIK_FILES_SOURCE_BYTES_H_
