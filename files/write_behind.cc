#include "files/write_behind.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace travik {

WriteBehind::WriteBehind(Writer write, size_t capacity, size_t batch)
    : write_(std::move(write)), capacity_(capacity), batch_(std::min(batch, capacity)) {}

WriteBehind::~WriteBehind() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool WriteBehind::Queue(int64_t offset, SourceBytes bytes) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (bytes.empty()) return !failed_;
  // Room for the run, or nothing waiting (a run larger than the room goes alone).
  auto room = [&] { return failed_ || runs_.empty() || waiting_ + bytes.size() <= capacity_; };
  if (!room()) {
    ++urgent_;
    changed_.notify_all();
    changed_.wait(lock, room);
    --urgent_;
  }
  if (failed_) return false;
  if (!thread_.joinable() && !alone_) {
    try {
      thread_ = std::thread([this] { Loop(); });
    } catch (const std::system_error&) {
      alone_ = true;  // the system gives no thread: each run is written as it comes
    }
  }
  if (alone_) {
    lock.unlock();
    const bool written = write_(offset, bytes.view());
    lock.lock();
    failed_ = failed_ || !written;
    return written;
  }
  waiting_ += bytes.size();
  runs_.push_back(Run{offset, std::move(bytes)});
  // The thread is woken only when it has work: a wake-up that finds none costs a switch.
  const bool due = Due();
  lock.unlock();
  if (due) changed_.notify_all();
  return true;
}

bool WriteBehind::Drain() {
  std::unique_lock<std::mutex> lock(mutex_);
  ++urgent_;
  changed_.notify_all();
  changed_.wait(lock, [&] { return failed_ || runs_.empty(); });
  --urgent_;
  return !failed_;
}

void WriteBehind::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return closing_ || Due(); });
    // Once woken, it writes until nothing waits.
    while (!closing_ && !runs_.empty()) {
      Run& run = runs_.front();
      lock.unlock();
      const bool written = write_(run.offset, run.bytes.view());
      lock.lock();
      waiting_ -= run.bytes.size();
      if (written) {
        SourceBytes done = std::move(runs_.front().bytes);
        runs_.pop_front();
        lock.unlock();
        done.clear();  // the bytes' memory goes outside the lock
        lock.lock();
      } else {
        failed_ = true;
        runs_.clear();
        waiting_ = 0;
      }
      changed_.notify_all();
    }
    if (closing_) return;
  }
}

class BufferPool::Loan : public ByteStorage {
 public:
  Loan(std::shared_ptr<BufferPool> pool, std::string bytes)
      : pool_(std::move(pool)), bytes_(std::move(bytes)) {}
  ~Loan() override { pool_->Put(std::move(bytes_)); }
  std::string_view Bytes() const override { return bytes_; }

 private:
  std::shared_ptr<BufferPool> pool_;
  std::string bytes_;
};

std::string BufferPool::Get() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (free_.empty()) return std::string();
  std::string bytes = std::move(free_.back());
  free_.pop_back();
  return bytes;
}

SourceBytes BufferPool::Lend(std::string bytes) {
  return SourceBytes(std::make_shared<const Loan>(shared_from_this(), std::move(bytes)));
}

void BufferPool::Put(std::string bytes) {
  bytes.clear();
  std::lock_guard<std::mutex> lock(mutex_);
  if (free_.size() < kept_) free_.push_back(std::move(bytes));
}

}  // namespace travik
