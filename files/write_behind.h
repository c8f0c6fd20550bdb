// Writing on a thread of its own: a job reads and checks its next source while the bytes of the
// last one go to the disk, so that the two cores share the work instead of taking turns.
#ifndef TRAVIK_FILES_WRITE_BEHIND_H_
#define TRAVIK_FILES_WRITE_BEHIND_H_

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "files/source_bytes.h"

namespace travik {

// Writes queued runs of bytes, in the order queued, with `write` called on a thread of its own
// (started with the first run). At most `capacity` bytes wait at a time, besides a single larger
// run; Queue waits for room. With a `batch`, the thread sleeps until that many bytes wait (or
// Drain or a full room calls it): many small runs then cost it one wake-up, not one each.
class WriteBehind {
 public:
  // Writes `bytes` at `offset`; false on a write error.
  using Writer = std::function<bool(int64_t offset, std::string_view bytes)>;

  // Enough to keep the writing thread busy while a job reads on, and small beside the 0.1 of a
  // large input that a job passing through it may hold.
  static constexpr size_t kDefaultCapacity = size_t{2} << 20;
  // What a file written behind gathers before its thread wakes: the runs of a merge of many short
  // sources are written some at a time.
  static constexpr size_t kDefaultBatch = size_t{512} << 10;

  explicit WriteBehind(Writer write, size_t capacity = kDefaultCapacity, size_t batch = 0);
  // Runs not yet written are dropped; the thread is joined.
  ~WriteBehind();
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;

  // Queues `bytes` (kept alive until written) to be written at `offset`. False once a write has
  // failed: nothing more is then written.
  bool Queue(int64_t offset, SourceBytes bytes);
  // Waits until every queued run is written. False when a write failed.
  bool Drain();

 private:
  struct Run {
    int64_t offset;
    SourceBytes bytes;
  };
  void Loop();
  // True when the thread has runs to write now.
  bool Due() const { return !runs_.empty() && (waiting_ >= batch_ || urgent_ > 0); }

  Writer write_;
  size_t capacity_;
  size_t batch_;
  int urgent_ = 0;  // callers waiting for the runs to go (Drain, or Queue for room)
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Run> runs_;  // the front one is being written
  size_t waiting_ = 0;    // bytes in runs_
  bool failed_ = false;
  bool closing_ = false;
  bool alone_ = false;  // no thread could be started: runs are written by Queue itself
  std::thread thread_;
};

// Strings handed to a WriteBehind come back for the next bytes: a fresh string of a megabyte
// would cost the system a page fault for every page of it.
class BufferPool : public std::enable_shared_from_this<BufferPool> {
 public:
  // Makes a pool of at most `kept` strings; shared, so that bytes still queued can outlive the
  // pool's user.
  static std::shared_ptr<BufferPool> Make(size_t kept = 8) {
    return std::shared_ptr<BufferPool>(new BufferPool(kept));
  }
  // An empty string, with the room of one given back when there is one.
  std::string Get();
  // The bytes of `bytes` as SourceBytes; the string comes back to the pool when the last copy of
  // them goes.
  SourceBytes Lend(std::string bytes);

 private:
  explicit BufferPool(size_t kept) : kept_(kept) {}
  void Put(std::string bytes);
  class Loan;

  size_t kept_;
  std::mutex mutex_;
  std::vector<std::string> free_;
};

}  // namespace travik

#endif  // TRAVIK_FILES_WRITE_BEHIND_H_
