// The lists' column "编码": what each row's file is recognised as, and what the row's choice
// makes of it. Files are read on a worker thread, one after another, so that adding a large file
// (reading 100 MB takes a while, more from a slow disk) never holds up the window.
#ifndef TRAVIK_UI_ENCODING_COLUMN_H_
#define TRAVIK_UI_ENCODING_COLUMN_H_

#include <windows.h>

#include <atomic>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/encoding.h"

namespace travik::ui {

// The short reason the column gives for a file that cannot be read.
inline constexpr char kUnreadableEncoding[] = "无法读取";

// What the column says of a file: the name of the encoding its bytes are recognised as ("GBK",
// "GB18030", "UTF-8", "UTF-16LE", "UTF-16BE"), followed by "?" where the evidence is slight
// ("GBK?"), or kUnreadableEncoding. The read ends early, with
// an empty answer, once `stop` (may be null) is set.
std::string RecognisedEncodingText(std::string_view path, const std::atomic<bool>* stop);

// A row's cell: a choice other than 自动 is shown as chosen ("UTF-8（指定）"); 自动 shows what
// was recognised (empty while the file is still being read).
std::string EncodingCellText(EncodingChoice choice, std::string_view recognised);

// Recognises files in the order they are added, on a worker thread started with the first file.
// Answers wait to be taken; `message` is posted to `window` when the first of them is ready.
class EncodingScanner {
 public:
  struct Answer {
    int64_t id;
    std::string text;  // RecognisedEncodingText
  };

  EncodingScanner();
  ~EncodingScanner();
  EncodingScanner(const EncodingScanner&) = delete;
  EncodingScanner& operator=(const EncodingScanner&) = delete;

  void SetWindow(HWND window, UINT message);
  void Add(int64_t id, std::string path);
  std::vector<Answer> TakeAnswers();
  // True while a file waits or is being read, or an answer waits to be taken.
  bool busy() const;
  // Ends the worker: a read under way stops at its next block; files still waiting and answers
  // not taken are dropped. Files added later start a new worker.
  void Stop();
  // While a job runs no file is held open here (a file open for reading cannot be replaced or
  // moved to the Recycle Bin): Pause returns once a read under way has given up its file, which
  // is read again after Resume.
  void Pause();
  void Resume();

 private:
  static DWORD WINAPI ThreadMain(void* self);
  void Work();

  mutable CRITICAL_SECTION lock_;
  HANDLE wake_ = nullptr;    // set when a file is added or the worker is to stop
  HANDLE worker_ = nullptr;  // started with the first file
  std::deque<std::pair<int64_t, std::string>> waiting_;
  std::vector<Answer> answers_;
  bool reading_ = false;
  bool paused_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<bool> halt_{false};  // a read under way gives up: stop_ or paused_
  HWND window_ = nullptr;
  UINT message_ = 0;
};

}  // namespace travik::ui

#endif  // TRAVIK_UI_ENCODING_COLUMN_H_
