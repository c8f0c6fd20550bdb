#include "files/mapped_file_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <cstdint>
#include <mutex>

namespace travik::platform {

namespace {

// Touching a mapped page past the end of a file that another program has shortened raises
// SIGBUS, which would end the program in the middle of a job. Every live mapping has a slot here;
// the handler puts a page of zeros where the fault was, marks the slot, and the access goes on.
// The job then finds the mapping Changed() and reports the file instead of its result.
struct MappingSlot {
  std::atomic<bool> used{false};
  std::atomic<int> fd{-1};  // the mapping's own descriptor, set before `begin`
  std::atomic<uintptr_t> begin{0};  // 0 while the slot is free or being filled
  std::atomic<uintptr_t> end{0};
  std::atomic<bool> hit{false};
};

constexpr int kMappingSlots = 64;
MappingSlot g_slots[kMappingSlots];
struct sigaction g_previous_handler;
uintptr_t g_page_size = 4096;

void OnBusError(int signal_number, siginfo_t* info, void* context) {
  const uintptr_t address = reinterpret_cast<uintptr_t>(info->si_addr);
  for (MappingSlot& slot : g_slots) {
    const uintptr_t begin = slot.begin.load(std::memory_order_acquire);
    if (begin == 0 || address < begin || address >= slot.end.load(std::memory_order_acquire)) {
      continue;
    }
    void* page = reinterpret_cast<void*>(address & ~(g_page_size - 1));
    if (mmap(page, g_page_size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
        MAP_FAILED) {
      slot.hit.store(true, std::memory_order_release);
      return;
    }
  }
  // Not a mapping of ours: whoever handled SIGBUS before, or the default action once the access
  // runs again.
  if ((g_previous_handler.sa_flags & SA_SIGINFO) != 0 && g_previous_handler.sa_sigaction) {
    g_previous_handler.sa_sigaction(signal_number, info, context);
    return;
  }
  if (g_previous_handler.sa_handler != SIG_DFL && g_previous_handler.sa_handler != SIG_IGN) {
    g_previous_handler.sa_handler(signal_number);
    return;
  }
  struct sigaction fallback = {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(SIGBUS, &fallback, nullptr);
}

bool InstallHandler() {
  static std::once_flag once;
  static bool installed = false;
  std::call_once(once, [] {
    const long page = sysconf(_SC_PAGESIZE);
    if (page > 0) g_page_size = static_cast<uintptr_t>(page);
    struct sigaction action = {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    installed = sigaction(SIGBUS, &action, &g_previous_handler) == 0;
  });
  return installed;
}

MappingSlot* ClaimSlot(uintptr_t begin, uintptr_t end, int fd) {
  for (MappingSlot& slot : g_slots) {
    if (slot.used.exchange(true, std::memory_order_acq_rel)) continue;
    slot.hit.store(false, std::memory_order_relaxed);
    slot.fd.store(fd, std::memory_order_relaxed);
    slot.end.store(end, std::memory_order_release);
    slot.begin.store(begin, std::memory_order_release);
    return &slot;
  }
  return nullptr;
}

class MappedFile : public ByteStorage {
 public:
  MappedFile(int fd, char* base, size_t size) : fd_(fd), base_(base), size_(size) {}
  ~MappedFile() override {
    if (slot_ != nullptr) slot_->begin.store(0, std::memory_order_release);
    munmap(base_, size_);
    close(fd_);
    if (slot_ != nullptr) slot_->used.store(false, std::memory_order_release);
  }
  void set_slot(MappingSlot* slot) { slot_ = slot; }
  std::string_view Bytes() const override { return {base_, size_}; }

  void Release(const char* begin, const char* end) const override {
    const uintptr_t first = (reinterpret_cast<uintptr_t>(begin) + g_page_size - 1) & ~(g_page_size - 1);
    // The last page may hold the file's end: it goes only with the whole of it.
    uintptr_t last = reinterpret_cast<uintptr_t>(end);
    if (end != base_ + size_) last &= ~(g_page_size - 1);
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
  }

  void CopyOut(size_t offset, char* to, size_t n) const override {
    size_t done = 0;
    while (done < n) {
      const ssize_t r = pread(fd_, to + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) break;  // the file is shorter now: the rest from the mapping (as zeros)
      done += static_cast<size_t>(r);
    }
    if (done < n) memcpy(to + done, base_ + offset + done, n - done);
  }

  bool Fixed() const override { return false; }

  bool Changed() const override {
    if (slot_ != nullptr && slot_->hit.load(std::memory_order_acquire)) return true;
    // Shortened within its last page, the file raises no fault: its length tells.
    struct stat st;
    return fstat(fd_, &st) != 0 || st.st_size < static_cast<off_t>(size_);
  }

 private:
  int fd_;
  char* base_;
  size_t size_;
  MappingSlot* slot_ = nullptr;
};

// The live slot whose mapping holds the n bytes at `data`, or null.
MappingSlot* SlotHolding(const char* data, size_t n) {
  const uintptr_t first = reinterpret_cast<uintptr_t>(data);
  for (MappingSlot& slot : g_slots) {
    const uintptr_t begin = slot.begin.load(std::memory_order_acquire);
    if (begin == 0 || first < begin || first + n > slot.end.load(std::memory_order_acquire)) {
      continue;
    }
    // Another thread may have freed the slot and filled it again meanwhile: `end` would then
    // belong to another mapping. `begin` is set last, so an unchanged one vouches for the rest.
    if (slot.begin.load(std::memory_order_acquire) == begin) return &slot;
  }
  return nullptr;
}

// Reads a byte of every page of the n bytes at `data`: pages a shortened file lost fault and
// read as zeros from then on (OnBusError).
void TouchPages(const char* data, size_t n) {
  const volatile char* bytes = data;
  for (size_t i = 0; i < n; i += g_page_size) (void)bytes[i];
  if (n > 0) (void)bytes[n - 1];
}

// Writes from memory; false on an error.
bool WriteFromMemory(int out, int64_t offset, const char* data, size_t n) {
  size_t done = 0;
  bool touched = false;
  while (done < n) {
    const ssize_t r = offset < 0 ? write(out, data + done, n - done)
                                 : pwrite(out, data + done, n - done,
                                          static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (r < 0) {
      if (errno == EINTR) continue;
      // Bytes a shortened file lost cannot be read by the system for the write, which fails
      // instead of raising SIGBUS. Touched here, they read as zeros and are written as such; the
      // mapping is then Changed() and the job reports the file, not a failed write.
      if (errno == EFAULT && !touched && SlotHolding(data + done, n - done) != nullptr) {
        TouchPages(data + done, n - done);
        touched = true;
        continue;
      }
      return false;
    }
    done += static_cast<size_t>(r);
  }
  return true;
}

// Copies below this size are written from memory: a system call costs more than their bytes.
constexpr size_t kSmallestCopy = size_t{16} << 10;

}  // namespace

bool WriteMaybeMapped(int out, int64_t offset, const char* data, size_t n) {
  int in = -1;
  off_t in_offset = 0;
  // A live slot: its mapping is not unmapped while these bytes, which it holds, are written.
  if (const MappingSlot* slot = n >= kSmallestCopy ? SlotHolding(data, n) : nullptr) {
    in = slot->fd.load(std::memory_order_relaxed);
    in_offset = static_cast<off_t>(reinterpret_cast<uintptr_t>(data) -
                                   slot->begin.load(std::memory_order_acquire));
  }
  size_t done = 0;
  while (in >= 0 && done < n) {
    off_t out_offset = static_cast<off_t>(offset) + static_cast<off_t>(done);
    const ssize_t r = copy_file_range(in, &in_offset, out, offset < 0 ? nullptr : &out_offset,
                                      n - done, 0);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;  // not supported here, or the file is shorter now: the rest from memory
    done += static_cast<size_t>(r);
  }
  return WriteFromMemory(out, offset < 0 ? offset : offset + static_cast<int64_t>(done),
                         data + done, n - done);
}

bool WritePartsMaybeMapped(int out, std::initializer_list<std::string_view> parts) {
  // A piece cut across two of the reader's blocks comes in two parts from memory: one gathering
  // write for both, instead of one each. Parts in a mapping go one by one, copied by the kernel.
  iovec vec[4];
  int count = 0;
  size_t total = 0;
  bool gather = parts.size() <= 4;
  for (std::string_view part : parts) {
    if (part.empty() || !gather) continue;
    if (SlotHolding(part.data(), part.size()) != nullptr) gather = false;
    vec[count].iov_base = const_cast<char*>(part.data());
    vec[count].iov_len = part.size();
    ++count;
    total += part.size();
  }
  if (gather && count > 1) {
    ssize_t r;
    do {
      r = writev(out, vec, count);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return false;
    if (static_cast<size_t>(r) == total) return true;
    // Written in part (a full disk says so on the next write): the rest as it comes.
    size_t skip = static_cast<size_t>(r);
    for (std::string_view part : parts) {
      const size_t here = std::min(skip, part.size());
      skip -= here;
      if (!WriteFromMemory(out, -1, part.data() + here, part.size() - here)) return false;
    }
    return true;
  }
  for (std::string_view part : parts) {
    if (!part.empty() && !WriteMaybeMapped(out, -1, part.data(), part.size())) return false;
  }
  return true;
}

std::shared_ptr<const ByteStorage> MapFileForReading(int fd, size_t n) {
  if (n == 0 || !InstallHandler()) return nullptr;
  const int own = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (own < 0) return nullptr;
  void* base = mmap(nullptr, n, PROT_READ, MAP_PRIVATE, own, 0);
  if (base == MAP_FAILED) {
    close(own);
    return nullptr;
  }
  auto mapped = std::make_shared<MappedFile>(own, static_cast<char*>(base), n);
  const uintptr_t begin = reinterpret_cast<uintptr_t>(base);
  MappingSlot* slot = ClaimSlot(begin, begin + n, own);
  if (slot == nullptr) return nullptr;  // too many at once: read instead (the mapping goes)
  mapped->set_slot(slot);
  return mapped;
}

}  // namespace travik::platform
