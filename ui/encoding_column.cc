#include "ui/encoding_column.h"

#include "files/files.h"
#include "text/text.h"

namespace travik::ui {

namespace {

// Blocks of the reads: a stop is noticed within one of them.
constexpr size_t kReadBlock = size_t{1} << 20;

}  // namespace

std::string RecognisedEncodingText(std::string_view path, const std::atomic<bool>* stop) {
  std::string bytes;
  const int64_t size = FileSizeOf(path);
  if (size > 0 && size < (int64_t{1} << 31)) bytes.reserve(static_cast<size_t>(size));
  std::string error;
  bool stopped = false;
  const bool read = ReadFileInBlocks(
      path, kReadBlock,
      [&](std::string_view block) {
        if (stop != nullptr && *stop) {
          stopped = true;
          return false;
        }
        bytes.append(block);
        return true;
      },
      &error);
  if (stopped) return {};
  if (!read) return kUnreadableEncoding;
  // Bytes that read as more than one encoding, with little to choose between the readings (a
  // word or two), are shown with a question mark: the person may want to name the encoding.
  const DetectedEncoding found = DetectEncoding(bytes);
  const bool doubt =
      found.weak && (found.encoding == Encoding::kGbk || found.encoding == Encoding::kBig5);
  return JoinText(EncodingName(found.encoding), doubt ? "?" : "");
}

std::string EncodingCellText(EncodingChoice choice, std::string_view recognised) {
  if (choice == EncodingChoice::kAuto) return std::string(recognised);
  return JoinText(EncodingChoiceName(choice), "（指定）");
}

EncodingScanner::EncodingScanner() {
  InitializeCriticalSection(&lock_);
  wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

EncodingScanner::~EncodingScanner() {
  Stop();
  if (wake_ != nullptr) CloseHandle(wake_);
  DeleteCriticalSection(&lock_);
}

void EncodingScanner::SetWindow(HWND window, UINT message) {
  EnterCriticalSection(&lock_);
  window_ = window;
  message_ = message;
  LeaveCriticalSection(&lock_);
}

void EncodingScanner::Add(int64_t id, std::string path) {
  EnterCriticalSection(&lock_);
  // The worker reads until the queue is empty before it waits again: only a file that finds the
  // queue empty needs to wake it. (Under Wine each wake is a call to the server; thousands of
  // files added at once cost the window seconds.)
  const bool wake = waiting_.empty();
  waiting_.emplace_back(id, std::move(path));
  LeaveCriticalSection(&lock_);
  if (worker_ == nullptr && !stop_) {
    worker_ = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
    // The window's thread comes first when both want the processor.
    if (worker_ != nullptr) SetThreadPriority(worker_, THREAD_PRIORITY_BELOW_NORMAL);
  }
  if (worker_ == nullptr) {
    Work();  // no thread: read here, as the answer is wanted anyway
  } else if (wake) {
    SetEvent(wake_);
  }
}

std::vector<EncodingScanner::Answer> EncodingScanner::TakeAnswers() {
  EnterCriticalSection(&lock_);
  std::vector<Answer> answers = std::move(answers_);
  answers_.clear();
  LeaveCriticalSection(&lock_);
  return answers;
}

bool EncodingScanner::busy() const {
  EnterCriticalSection(&lock_);
  const bool busy = reading_ || !waiting_.empty() || !answers_.empty();
  LeaveCriticalSection(&lock_);
  return busy;
}

void EncodingScanner::Stop() {
  stop_ = true;
  halt_ = true;
  if (worker_ != nullptr) {
    SetEvent(wake_);
    WaitForSingleObject(worker_, INFINITE);
    CloseHandle(worker_);
    worker_ = nullptr;
  }
  EnterCriticalSection(&lock_);
  waiting_.clear();
  answers_.clear();
  LeaveCriticalSection(&lock_);
  stop_ = false;  // files added later start a new worker
  halt_ = paused_;
}

void EncodingScanner::Pause() {
  EnterCriticalSection(&lock_);
  paused_ = true;
  halt_ = true;
  LeaveCriticalSection(&lock_);
  // The read gives up within one block.
  for (;;) {
    EnterCriticalSection(&lock_);
    const bool reading = reading_;
    LeaveCriticalSection(&lock_);
    if (!reading) return;
    Sleep(1);
  }
}

void EncodingScanner::Resume() {
  EnterCriticalSection(&lock_);
  paused_ = false;
  halt_ = stop_.load();
  LeaveCriticalSection(&lock_);
  if (worker_ != nullptr) {
    SetEvent(wake_);
  } else {
    Work();  // files added while paused, without a thread
  }
}

DWORD WINAPI EncodingScanner::ThreadMain(void* self) {
  auto& scanner = *static_cast<EncodingScanner*>(self);
  while (!scanner.stop_) {
    WaitForSingleObject(scanner.wake_, INFINITE);
    scanner.Work();
  }
  return 0;
}

void EncodingScanner::Work() {
  for (;;) {
    EnterCriticalSection(&lock_);
    if (stop_ || paused_ || waiting_.empty()) {
      LeaveCriticalSection(&lock_);
      return;
    }
    std::pair<int64_t, std::string> file = std::move(waiting_.front());
    waiting_.pop_front();
    reading_ = true;
    LeaveCriticalSection(&lock_);

    std::string text = RecognisedEncodingText(file.second, &halt_);

    EnterCriticalSection(&lock_);
    reading_ = false;
    if (paused_ && !stop_ && text.empty()) {
      waiting_.push_front(std::move(file));  // given up for a job: read again after it
      LeaveCriticalSection(&lock_);
      return;
    }
    const bool first = answers_.empty();
    if (!stop_) answers_.push_back({file.first, std::move(text)});
    if (first && !answers_.empty() && window_ != nullptr) PostMessageW(window_, message_, 0, 0);
    LeaveCriticalSection(&lock_);
  }
}

}  // namespace travik::ui
