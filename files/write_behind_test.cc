#include "files/write_behind.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>


namespace travik {
namespace {

using namespace std::chrono_literals;

// A file in memory that a WriteBehind writes, each run in the order it came.
struct Recorder {
  std::mutex mutex;
  std::string bytes;
  std::vector<int64_t> offsets;
  std::atomic<int> fail_at{-1};  // the write with this number fails

  WriteBehind::Writer Writer() {
    return [this](int64_t offset, std::string_view run) {
      std::lock_guard<std::mutex> lock(mutex);
      if (static_cast<int>(offsets.size()) == fail_at) return false;
      offsets.push_back(offset);
      if (bytes.size() < offset + run.size()) bytes.resize(offset + run.size(), '?');
      bytes.replace(static_cast<size_t>(offset), run.size(), run);
      return true;
    };
  }
};

// Queues `count` runs of random lengths below `longest`, one after another, and drains them; the
// bytes queued, in order.
std::string QueueRandomRuns(WriteBehind& behind, unsigned seed, int count, unsigned longest) {
  std::mt19937 rng(seed);
  std::string expected;
  for (int i = 0; i < count; ++i) {
    // Each string goes out of scope here: the WriteBehind keeps the bytes alive.
    std::string run(rng() % longest, static_cast<char>('a' + i % 26));
    const int64_t at = static_cast<int64_t>(expected.size());
    expected += run;
    EXPECT_TRUE(behind.Queue(at, SourceBytes(std::move(run))));
  }
  EXPECT_TRUE(behind.Drain());
  return expected;
}

TEST(WriteBehind, WritesEveryRunInOrderWithItsBytesKeptAlive) {
  Recorder file;
  {
    WriteBehind behind(file.Writer(), 64);
    // Runs of any length, larger than the room included.
    const std::string expected = QueueRandomRuns(behind, 77, 500, 100);
    std::lock_guard<std::mutex> lock(file.mutex);
    EXPECT_EQ(file.bytes, expected);
    EXPECT_TRUE(std::is_sorted(file.offsets.begin(), file.offsets.end()));
  }
}

TEST(WriteBehind, AFailedWriteFailsTheDrainAndEveryLaterRun) {
  Recorder file;
  file.fail_at = 3;
  WriteBehind behind(file.Writer());
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(behind.Queue(i, SourceBytes("x")));
  EXPECT_TRUE(behind.Queue(3, SourceBytes("y")));  // fails on the thread, later
  EXPECT_FALSE(behind.Drain());
  EXPECT_FALSE(behind.Queue(4, SourceBytes("z")));
  EXPECT_FALSE(behind.Drain());
  std::lock_guard<std::mutex> lock(file.mutex);
  EXPECT_EQ(file.bytes, "xxx");
}

// Queue waits while the room is taken: the writer is held until the test lets it go.
TEST(WriteBehind, QueueWaitsForRoomAndDroppedRunsAreNeverWritten) {
  std::promise<void> go;
  std::shared_future<void> released = go.get_future().share();
  std::atomic<int> written{0};
  std::atomic<bool> second_queued{false};
  {
    WriteBehind behind(
        [&](int64_t, std::string_view) {
          released.wait();
          ++written;
          return true;
        },
        4);
    ASSERT_TRUE(behind.Queue(0, SourceBytes("abcd")));  // fills the room
    std::thread producer([&] {
      behind.Queue(4, SourceBytes("e"));
      second_queued = true;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(second_queued);  // no room until the first run is written
    go.set_value();
    producer.join();
    EXPECT_TRUE(second_queued);
    EXPECT_TRUE(behind.Drain());
    EXPECT_EQ(written, 2);
  }
  // Runs still queued when the WriteBehind goes are dropped, not written.
  std::promise<void> hold;
  std::shared_future<void> held = hold.get_future().share();
  std::atomic<int> calls{0};
  std::thread releaser;
  {
    WriteBehind behind(
        [&](int64_t, std::string_view) {
          ++calls;
          held.wait();
          return true;
        });
    ASSERT_TRUE(behind.Queue(0, SourceBytes("a")));
    ASSERT_TRUE(behind.Queue(1, SourceBytes("b")));
    while (calls == 0) std::this_thread::yield();
    releaser = std::thread([&] {
      std::this_thread::sleep_for(20ms);
      hold.set_value();
    });
  }  // waits for the run being written, drops the other
  releaser.join();
  EXPECT_EQ(calls, 1);
}

// With a batch, the thread waits for that many bytes; Drain, and a run that needs the room, call
// it sooner. Neither may wait for a batch that never comes.
TEST(WriteBehind, BatchedRunsGoWhenABatchGathersOrSomeoneWaits) {
  Recorder file;
  auto written = [&file] {
    std::lock_guard<std::mutex> lock(file.mutex);
    return file.bytes.size();
  };
  auto wait_for_bytes = [&](size_t n) {
    for (int i = 0; i < 500 && written() < n; ++i) std::this_thread::sleep_for(10ms);
    return written();
  };
  {
    WriteBehind behind(file.Writer(), 64, 32);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(behind.Queue(i * 10, SourceBytes(std::string(10, 'a'))));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(written(), 0u);  // 30 bytes: less than a batch
    ASSERT_TRUE(behind.Queue(30, SourceBytes(std::string(10, 'b'))));
    EXPECT_EQ(wait_for_bytes(40), 40u);  // a batch: all of it goes
    ASSERT_TRUE(behind.Queue(40, SourceBytes(std::string(5, 'c'))));
    EXPECT_TRUE(behind.Drain());  // less than a batch, written for the drain
    EXPECT_EQ(written(), 45u);
    // 20 bytes wait, less than a batch; a run of 60 finds no room beside them and must get the
    // thread to write them first.
    ASSERT_TRUE(behind.Queue(45, SourceBytes(std::string(20, 'd'))));
    ASSERT_TRUE(behind.Queue(65, SourceBytes(std::string(60, 'e'))));
    EXPECT_TRUE(behind.Drain());
  }
  EXPECT_EQ(file.bytes, std::string(30, 'a') + std::string(10, 'b') + std::string(5, 'c') +
                            std::string(20, 'd') + std::string(60, 'e'));
  // Runs of random lengths with a batch, as a merge of many sources queues them: every byte in
  // order, at its offset.
  Recorder many;
  std::string expected;
  {
    WriteBehind behind(many.Writer(), 256, 100);
    expected = QueueRandomRuns(behind, 5, 2000, 300);
  }
  EXPECT_EQ(many.bytes, expected);
  EXPECT_TRUE(std::is_sorted(many.offsets.begin(), many.offsets.end()));
}

TEST(BufferPool, StringsComeBackWithTheirRoomOnlyWhenTheirLastCopyGoes) {
  std::shared_ptr<BufferPool> pool = BufferPool::Make(1);
  EXPECT_EQ(pool->Get().capacity(), std::string().capacity());
  std::string big(1 << 16, 'x');
  const char* room = big.data();
  SourceBytes lent = pool->Lend(std::move(big));
  EXPECT_EQ(lent.size(), size_t{1} << 16);
  SourceBytes copy = lent;
  lent.clear();
  EXPECT_EQ(pool->Get().capacity(), std::string().capacity());  // a copy still holds it
  copy.clear();
  std::string back = pool->Get();
  EXPECT_TRUE(back.empty());
  EXPECT_EQ(back.data(), room);
  // The pool keeps only as many as it was made for; bytes outlive the pool's user.
  SourceBytes a = pool->Lend(std::string(100, 'a'));
  SourceBytes b = pool->Lend(std::string(100, 'b'));
  pool.reset();
  EXPECT_EQ(a, std::string(100, 'a'));
  a.clear();
  b.clear();
}

}  // namespace
}  // namespace travik
