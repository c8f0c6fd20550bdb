#include "files/mapped_file_win32.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace travik::platform {

namespace {

// The size of one view: a multiple of the allocation granularity (64 KiB), and the step in which
// pages leave the working set.
constexpr size_t kViewSize = size_t{4} << 20;

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED o = {};
  o.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
  o.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return o;
}

class MappedFile : public ByteStorage {
 public:
  MappedFile(HANDLE file, HANDLE section, size_t size)
      : file_(file), section_(section), size_(size) {}
  ~MappedFile() override {
    UnmapAll();
    CloseHandle(section_);
    CloseHandle(file_);
  }

  // Maps every view side by side at one address; false when the address space has no room.
  bool MapViews() {
    const size_t count = (size_ + kViewSize - 1) / kViewSize;
    // The address comes from a reservation given back at once: another thread may take part of
    // the room meanwhile, so a failed view starts the whole again elsewhere.
    for (int attempt = 0; attempt < 4; ++attempt) {
      void* room = VirtualAlloc(nullptr, size_, MEM_RESERVE, PAGE_NOACCESS);
      if (room == nullptr) return false;
      VirtualFree(room, 0, MEM_RELEASE);
      base_ = static_cast<char*>(room);
      views_ = 0;
      while (views_ < count && MapView(views_)) ++views_;
      if (views_ == count) return true;
      UnmapAll();
    }
    return false;
  }

  std::string_view Bytes() const override { return {base_, size_}; }

  void Release(const char* begin, const char* end) const override {
    const size_t from = static_cast<size_t>(std::max<const char*>(begin, base_) - base_);
    const size_t to = static_cast<size_t>(std::min<const char*>(end, base_ + size_) - base_);
    // Views wholly inside; the last one, which holds the file's end, only with the whole of it.
    const size_t last = to == size_ ? views_ : to / kViewSize;  // one past
    // The views stay mapped: unmapping one and mapping it again at its address left a moment in
    // which another thread could take the room, and the text could then not be read whole. A
    // range that is not locked leaves the working set when it is unlocked; the pages come back
    // from the file if they are read again.
    for (size_t view = (from + kViewSize - 1) / kViewSize; view < last; ++view) {
      char* at = base_ + view * kViewSize;
      VirtualUnlock(at, std::min(kViewSize, size_ - view * kViewSize));
    }
  }

  void CopyOut(size_t offset, char* to, size_t n) const override {
    size_t done = 0;
    while (done < n) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30));
      DWORD read = 0;
      OVERLAPPED o = At(offset + done);
      if (!ReadFile(file_, to + done, chunk, &read, &o) || read == 0) break;
      done += read;
    }
    if (done < n) memcpy(to + done, base_ + offset + done, n - done);
  }

  bool Fixed() const override { return false; }

  bool Changed() const override {
    LARGE_INTEGER size;
    return !GetFileSizeEx(file_, &size) || size.QuadPart < static_cast<LONGLONG>(size_);
  }

 private:
  bool MapView(size_t view) const {
    const uint64_t offset = uint64_t{view} * kViewSize;
    const size_t length = std::min(kViewSize, size_ - static_cast<size_t>(offset));
    return MapViewOfFileEx(section_, FILE_MAP_READ, static_cast<DWORD>(offset >> 32),
                           static_cast<DWORD>(offset & 0xFFFFFFFF), length,
                           base_ + offset) == base_ + offset;
  }

  void UnmapAll() {
    for (size_t view = 0; view < views_; ++view) UnmapViewOfFile(base_ + view * kViewSize);
    views_ = 0;
  }

  HANDLE file_;
  HANDLE section_;
  size_t size_;
  char* base_ = nullptr;
  size_t views_ = 0;  // mapped, from the first
};

}  // namespace

std::shared_ptr<const ByteStorage> MapFileForReading(HANDLE file, size_t n) {
  if (n == 0) return nullptr;
  HANDLE own = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(), &own, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    return nullptr;
  }
  // The section covers the file as it is now; a file shorter than n by now cannot give n bytes.
  HANDLE section = CreateFileMappingW(own, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (section == nullptr) {
    CloseHandle(own);
    return nullptr;
  }
  auto mapped = std::make_shared<MappedFile>(own, section, n);
  LARGE_INTEGER size;
  if (!GetFileSizeEx(own, &size) || size.QuadPart < static_cast<LONGLONG>(n) ||
      !mapped->MapViews()) {
    return nullptr;
  }
  return mapped;
}

}  // namespace travik::platform
