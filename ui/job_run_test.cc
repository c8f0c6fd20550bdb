// The window at work: a large job runs on its worker thread while the window answers within
// 100 ms, shows its progress, can be stopped (leaving only complete files) and says at the end
// what it made; lists follow what the job did.
#include <windows.h>
// The common controls need the types of windows.h.
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "files/files.h"
#include "text/text.h"
#include "tests/test_util.h"
#include "ui/window_test_fixture.h"

namespace travik::ui::testing {
namespace {

using travik::testing::operator""_gbk;
using travik::testing::NativePath;
using travik::testing::ReadFileBytes;
using travik::testing::ScopedTempDir;
using travik::testing::WriteFileBytes;

// Chapters of GBK text, `bytes` long or a little more; "章" appears only in the headings.
std::string Chapters(size_t bytes, int first_chapter = 1) {
  const std::string line = "山高水长，云深不知处。风起于青萍之末，浪成于微澜之间。\r\n"_gbk;
  const std::string heading = "第"_gbk, title = "章 风起\r\n"_gbk;
  std::string text;
  text.reserve(bytes + 4096);
  for (int chapter = first_chapter; text.size() < bytes; ++chapter) {
    text += JoinText(heading, NumberToText(chapter), title);
    for (int i = 0; i < 40; ++i) text += line;
  }
  return text;
}

// Samples how long the window takes to answer an empty message, from another thread, until
// stopped; the worst time in ms.
class ResponseSampler {
 public:
  explicit ResponseSampler(HWND window)
      : thread_([this, window] {
          while (!done_) {
            const ULONGLONG start = GetTickCount64();
            DWORD_PTR result = 0;
            SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
            // Sent as the window's thread stopped the sampling: it was not serving messages.
            if (done_) break;
            const int took = static_cast<int>(GetTickCount64() - start);
            worst_ = std::max(worst_.load(), took);
            if (took >= 100) ++late_;
            ++samples_;
            Sleep(5);
          }
          ended_ = true;
        }) {}
  ~ResponseSampler() { Stop(); }
  // Called on the window's thread, which answers a message sent just before while the sampler
  // ends (else that message waits out its timeout).
  void Stop() {
    done_ = true;
    while (thread_.joinable() && !ended_) {
      MSG message;
      PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      Sleep(1);
    }
    if (thread_.joinable()) thread_.join();
  }
  int worst() const { return worst_; }
  int samples() const { return samples_; }
  int late() const { return late_; }

 private:
  std::atomic<bool> done_{false};
  std::atomic<bool> ended_{false};
  std::atomic<int> late_{0};
  std::atomic<int> worst_{0};
  std::atomic<int> samples_{0};
  std::thread thread_;
};

// Processor time of the calling thread so far, in ms.
int64_t ThreadMilliseconds() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<int64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return (ticks(kernel) + ticks(user)) / 10000;
}

class JobRunTest : public WindowTest {
 protected:
  std::string MakeFile(const std::string& name, const std::string& bytes) {
    std::string path = dir_.Join(name);
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    return path;
  }
  std::string Read(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(path, &bytes)) << path;
    return bytes;
  }
  std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(NativePath(folder))) {
      names.push_back(entry.path().filename().u8string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // Serves the window while the job runs, until `until` holds (then returns true) or the job
  // ends (false). The progress positions seen are collected.
  template <typename Until>
  bool ServeUntil(Until until) {
    const ULONGLONG deadline = GetTickCount64() + 120000;
    while (window().runner().running() && GetTickCount64() < deadline) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
      // The window's own share of an answer: the processor time one message takes on its
      // thread (the wall time would count the other programs that share the processor too).
      for (;;) {
        const int64_t start = ThreadMilliseconds();
        MSG message;
        const bool got = PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE;
        if (got && message.message != WM_QUIT) {
          TranslateMessage(&message);
          DispatchMessageW(&message);
        }
        const int took = static_cast<int>(ThreadMilliseconds() - start);
        if (took > longest_message_) {
          longest_message_ = took;
          longest_id_ = got ? message.message : 0;
          if (got) GetClassNameA(message.hwnd, longest_class_, sizeof(longest_class_));
        }
        if (!got) break;
      }
      const int position =
          static_cast<int>(SendMessageW(window().progress_bar(), PBM_GETPOS, 0, 0));
      if (positions_.empty() || positions_.back() != position) positions_.push_back(position);
      if (until()) return true;
    }
    return false;
  }
  // The file number in "正在处理第 N 个文件（共 M 个）：…", 0 before the first.
  int FileInHand() {
    const std::string pane = window().StatusPane(0);
    const std::string head = "正在处理第 ";
    if (pane.rfind(head, 0) != 0) return 0;
    return TextToInt(pane.substr(head.size()));
  }
  // While a job runs: its page's inputs are disabled, its start button stops it, no other job
  // can start, and the status bar never says the job is done.
  void ExpectBusy(ControlId start, ControlId input, ControlId other_start) {
    EXPECT_EQ(window().Text(start), "停止");
    EXPECT_TRUE(window().Enabled(start));
    EXPECT_FALSE(window().Enabled(input));
    EXPECT_FALSE(window().Enabled(other_start));
    EXPECT_TRUE(IsWindowVisible(window().progress_bar()));
    EXPECT_EQ(window().StatusPane(0).find("完成"), std::string::npos) << window().StatusPane(0);
  }
  // `count` files of chapters on the insert page's list, set to insert ★ after every 章 in place;
  // their texts are kept in `texts`.
  std::vector<std::string> ListForInPlaceInsertion(int count, std::vector<std::string>* texts) {
    std::vector<std::string> sources;
    for (int i = 1; i <= count; ++i) {
      texts->push_back(Chapters(160u << 10));
      sources.push_back(MakeFile(JoinText(NumberToText(i), ".txt"), texts->back()));
    }
    ClickTab(2);
    desktop_.file_answers = {sources};
    Click(按钮8);
    window().SetText(编辑框7, "★");
    window().SetText(编辑框8, "章");
    Click(选择框5);  // 保留原始文件 off: in place
    EXPECT_FALSE(window().Checked(选择框5));
    return sources;
  }
  bool Advanced() const {
    return positions_.size() >= 3 && std::is_sorted(positions_.begin(), positions_.end()) &&
           positions_.back() > positions_.front();
  }

  // The end-to-end answers measured by `sampler` also wait for the processor, which other
  // programs share: every answer within 100 ms but for rare moments when the machine is busy
  // (1 in 100, counted per hundred begun, so that a short job may have one too; none over a
  // second), and no message taking 100 ms of the window's own time.
  void ExpectResponsive(const ResponseSampler& sampler, const char* job) {
    std::cout << "worst answer during the " << job << ": " << sampler.worst() << " ms in "
              << sampler.samples() << " samples (" << sampler.late()
              << " over 100 ms); longest message " << longest_message_ << " ms (0x" << std::hex
              << longest_id_ << std::dec << " " << longest_class_ << ")\n";
    EXPECT_GT(sampler.samples(), 10);
    EXPECT_LE(sampler.late(), (sampler.samples() + 99) / 100);
    EXPECT_LT(sampler.worst(), 1000);
    EXPECT_LT(longest_message_, 100);
  }

  ScopedTempDir dir_;
  std::vector<int> positions_;
  int longest_message_ = 0;
  UINT longest_id_ = 0;  // the message that took longest (0: sent messages only)
  char longest_class_[64] = {};
};

TEST_F(JobRunTest, LargeSplitKeepsTheWindowAnsweringAndStopsBetweenPieces) {
  // 24 MB, about 9,000 chapters; TRAVIK_RESPONSE_TEST_MB asks for another size (up to 100 MB).
  const char* size_mb = getenv("TRAVIK_RESPONSE_TEST_MB");
  const size_t mb = size_mb != nullptr ? std::clamp(atoi(size_mb), 20, 100) : 24;
  const std::string novel = Chapters(mb << 20);
  const std::string source = MakeFile("大长篇.txt", novel);
  desktop_.file_answers = {{source}};
  Click(按钮1);
  desktop_.folder_answers = {dir_.path()};
  Click(按钮6);
  Click(单选框3);
  window().SetText(编辑框3, "第[0-9]+章");

  ResponseSampler sampler(window().hwnd());
  StartClick(按钮5);
  ASSERT_TRUE(window().runner().running());
  ExpectBusy(按钮5, 编辑框3, 按钮2);
  // The pieces are being written and the bar has moved on a few times: stop.
  // Stopped after about 7 MB of pieces (for 24 MB: 30 %), past the reading and the search.
  const int stop_at = static_cast<int>(300 * 24 / mb);
  ASSERT_TRUE(ServeUntil([&] { return Advanced() && positions_.back() > stop_at; }))
      << "the job ended before it could be stopped";
  ExpectBusy(按钮5, 编辑框3, 按钮2);
  StartClick(按钮5);  // "停止"
  EXPECT_FALSE(ServeUntil([] { return false; }));
  sampler.Stop();
  ExpectResponsive(sampler, "split");
  EXPECT_TRUE(Advanced());

  // Only complete pieces, numbered from 1 without a gap, joining to the start of the text.
  const std::string folder = JoinText(dir_.path(), kPathSeparator, "大长篇");
  const std::vector<std::string> names = FilesIn(folder);
  ASSERT_GT(names.size(), 1u);
  std::string joined;
  for (size_t i = 1; i <= names.size(); ++i) {
    const std::string piece = Read(JoinText(folder, kPathSeparator, NumberToText(int(i)), ".txt"));
    EXPECT_EQ(piece.rfind("第"_gbk, 0), 0u) << "piece " << i << " starts at a chapter";
    joined += piece;
  }
  EXPECT_LT(joined.size(), novel.size());
  EXPECT_EQ(joined, novel.substr(0, joined.size()));
  // The status bar names where it stopped; nothing was announced as done.
  const std::string status = window().StatusPane(0);
  EXPECT_EQ(status.rfind("已停止：", 0), 0u) << status;
  EXPECT_NE(status.find(JoinText("已写入 ", GroupedNumber(static_cast<int64_t>(names.size())))),
            std::string::npos)
      << status;
  EXPECT_NE(status.find(JoinText(folder, kPathSeparator, NumberToText(int(names.size())), ".txt")),
            std::string::npos)
      << status;
  for (const std::string& line : desktop_.log) EXPECT_NE(line, "pause: 500");
  // The page is back as it was.
  EXPECT_EQ(window().Text(按钮5), "开始分割");
  EXPECT_TRUE(window().Enabled(编辑框3));
  EXPECT_TRUE(window().Enabled(按钮2));
  EXPECT_FALSE(IsWindowVisible(window().progress_bar()));
}

TEST_F(JobRunTest, StoppedMergeWritesNothingAndDeletesNothing) {
  std::vector<std::string> sources, texts;
  for (int i = 1; i <= 240; ++i) {
    texts.push_back(Chapters(96u << 10, i));
    sources.push_back(MakeFile(JoinText("第", NumberToText(i), "章.txt"), texts.back()));
  }
  const std::string out = dir_.Join("合并");
  ASSERT_TRUE(MakeDirectory(out));
  ClickTab(1);
  desktop_.file_answers = {sources};
  Click(按钮7);
  window().SetText(编辑框4, out);
  window().SetText(编辑框5, "全集");
  Click(选择框2);  // 删除原文件
  ASSERT_TRUE(window().Checked(选择框2));

  ResponseSampler sampler(window().hwnd());
  StartClick(按钮2);
  ExpectBusy(按钮2, 编辑框5, 按钮5);
  ASSERT_TRUE(ServeUntil([&] { return FileInHand() >= 100; })) << "the job ended too soon";
  SendMessageW(window().hwnd(), WM_COMMAND, IDCANCEL, 0);  // Esc
  EXPECT_FALSE(ServeUntil([] { return false; }));
  sampler.Stop();
  ExpectResponsive(sampler, "merge");

  EXPECT_TRUE(FilesIn(out).empty()) << "no merged file, no temporary file";
  for (size_t i = 0; i < sources.size(); ++i) EXPECT_EQ(Read(sources[i]), texts[i]);
  EXPECT_EQ(window().RowCount(超级列表框2), 240);
  for (const std::string& line : desktop_.log) EXPECT_NE(line.rfind("recycle: ", 0), 0u) << line;
  EXPECT_EQ(window().StatusPane(0), "已停止：没有写入合并后的文件，原文件均未删除");
}

TEST_F(JobRunTest, StoppedInPlaceInsertionLeavesTheFileInHandUntouched) {
  std::vector<std::string> texts;
  const std::vector<std::string> sources = ListForInPlaceInsertion(120, &texts);

  StartClick(按钮4);
  ExpectBusy(按钮4, 编辑框7, 按钮2);
  // The other pages can be looked at; the status bar stays with the job.
  ASSERT_TRUE(ServeUntil([&] { return FileInHand() >= 1; })) << "the job ended too soon";
  ClickTab(0);
  EXPECT_GE(FileInHand(), 1) << window().StatusPane(0);
  ClickTab(2);
  ASSERT_TRUE(ServeUntil([&] { return FileInHand() >= 3; })) << "the job ended too soon";
  Click(按钮4);  // 停止

  // The files before the stop have the insertions, each in full; the rest are as they were,
  // and their rows show their size on disk.
  int changed = 0;
  for (size_t i = 0; i < sources.size(); ++i) {
    const std::string now = Read(sources[i]);
    std::string inserted = texts[i];
    const std::string chapter = "章"_gbk, star = "★"_gbk;
    for (size_t at = inserted.find(chapter); at != std::string::npos;
         at = inserted.find(chapter, at)) {
      inserted.insert(at + chapter.size(), star);
      at += chapter.size() + star.size();
    }
    if (now == inserted) {
      EXPECT_EQ(changed, static_cast<int>(i)) << "files are changed in list order";
      ++changed;
    } else {
      EXPECT_EQ(now, texts[i]) << sources[i];
    }
    EXPECT_EQ(window().Cell(超级列表框3, static_cast<int>(i), 2), std::to_string(now.size()));
  }
  EXPECT_GE(changed, 1);
  EXPECT_LT(changed, 120);
  EXPECT_EQ(FilesIn(dir_.path()).size(), 120u) << "no temporary file is left";
  const std::string status = window().StatusPane(0);
  EXPECT_EQ(status.rfind(JoinText("已停止：已修改 ", NumberToText(changed), " 个文件，最后一个是 ",
                                  sources[changed - 1]),
                         0),
            0u)
      << status;
}

TEST_F(JobRunTest, FinishedJobsSayWhatTheyMadeAndListsFollow) {
  // A split: the status names the pieces and the folder that holds them.
  const std::string novel = Chapters(6000);
  const std::string source = MakeFile("短篇.txt", novel);
  desktop_.file_answers = {{source}};
  Click(按钮1);
  desktop_.folder_answers = {dir_.path()};
  Click(按钮6);
  window().SetText(编辑框1, "1");
  std::vector<std::string> seen;
  desktop_.on_pause = [&] { seen.push_back(window().StatusPane(0)); };
  Click(按钮5);
  const std::string pieces = JoinText(dir_.path(), kPathSeparator, "短篇");
  const int count = static_cast<int>(FilesIn(pieces).size());
  const std::string done =
      JoinText("已完成：1 个文件 → ", NumberToText(count), " 个分割文件，保存在 ", pieces);
  EXPECT_EQ(window().StatusPane(0), done);
  EXPECT_EQ(seen, std::vector<std::string>{done}) << "the notice shows with the final status";
  EXPECT_EQ(window().StatusPane(1), JoinText("保存目录: ", pieces));
  Menu(kMenuOpenFolder);
  EXPECT_EQ(desktop_.log.back(), JoinText("explore: ", pieces));

  // A merge that deletes its sources: they go to the Recycle Bin after the merged file is
  // complete, and their rows go from the list.
  std::string a = MakeFile("第1章.txt", "甲\r\n"_gbk), b = MakeFile("第2章.txt", "乙\r\n"_gbk);
  ClickTab(1);
  desktop_.file_answers = {{b, a}};
  Click(按钮7);
  EXPECT_EQ(window().Cell(超级列表框2, 0, 1), a) << "chosen files come in natural order";
  window().SetText(编辑框4, dir_.path());
  window().SetText(编辑框5, "合集");
  Click(选择框2);
  desktop_.log.clear();
  const std::string merged = dir_.Join("合集.txt");
  std::vector<std::string> merged_when_recycled;  // the merged file on disk at each recycle
  desktop_.on_recycle = [&] {
    std::string bytes;
    ReadFileBytes(merged, &bytes);
    merged_when_recycled.push_back(bytes);
  };
  Click(按钮2);
  desktop_.on_recycle = nullptr;
  EXPECT_EQ(merged_when_recycled, (std::vector<std::string>(2, "甲\r\n乙\r\n"_gbk)));
  EXPECT_EQ(Read(merged), "甲\r\n乙\r\n"_gbk);
  EXPECT_EQ(desktop_.log, (std::vector<std::string>{JoinText("recycle: ", a),
                                                    JoinText("recycle: ", b), "pause: 500"}));
  EXPECT_EQ(window().RowCount(超级列表框2), 0);
  EXPECT_EQ(window().StatusPane(0),
            JoinText("已完成：2 个文件 → 1 个合并后的文件，保存在 ", dir_.path()));

  // An in-place insertion: the size column shows the new size.
  std::string c = MakeFile("丙.txt", "第1章\r\n正文\r\n"_gbk);
  ClickTab(2);
  desktop_.file_answers = {{c}};
  Click(按钮8);
  EXPECT_EQ(window().Cell(超级列表框3, 0, 2), "13");
  window().SetText(编辑框7, "★");
  window().SetText(编辑框8, "章");
  Click(选择框5);
  Click(按钮4);
  EXPECT_EQ(Read(c), "第1章★\r\n正文\r\n"_gbk);
  EXPECT_EQ(window().Cell(超级列表框3, 0, 2), "15");
  EXPECT_EQ(window().StatusPane(0),
            JoinText("已完成：1 个文件 → 1 个文件已插入文字，保存在 ", dir_.path()));
}

TEST_F(JobRunTest, ClosingDuringAJobAsksAndClosesOnceTheJobStopped) {
  const std::string novel = Chapters(8u << 20);
  desktop_.file_answers = {{MakeFile("长.txt", novel)}};
  Click(按钮1);
  desktop_.folder_answers = {dir_.path()};
  Click(按钮6);
  window().SetText(编辑框1, "2");

  StartClick(按钮5);
  ASSERT_TRUE(ServeUntil([&] { return Advanced(); }));
  desktop_.yes_no_answers = {false, true};
  SendMessageW(window().hwnd(), WM_CLOSE, 0, 0);  // "no": the job goes on
  ASSERT_NE(window().hwnd(), nullptr);
  EXPECT_FALSE(window().runner().stop_requested());
  EXPECT_EQ(desktop_.log.back().rfind("ask: ", 0), 0u);
  SendMessageW(window().hwnd(), WM_CLOSE, 0, 0);  // "yes": stop, then close
  const ULONGLONG deadline = GetTickCount64() + 60000;
  while (window().hwnd() != nullptr && GetTickCount64() < deadline) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    Pump();
  }
  EXPECT_EQ(window().hwnd(), nullptr) << "the window closed after the job stopped";

  const std::string folder = JoinText(dir_.path(), kPathSeparator, "长");
  std::string joined;
  const size_t pieces = FilesIn(folder).size();
  for (size_t i = 1; i <= pieces; ++i) {
    const std::string piece = Read(JoinText(folder, kPathSeparator, NumberToText(int(i)), ".txt"));
    EXPECT_LE(piece.size(), 2049u);
    joined += piece;
  }
  EXPECT_LT(joined.size(), novel.size());
  EXPECT_EQ(joined, novel.substr(0, joined.size()));
}

// The job may end while the question is up (its loop serves the window): "yes" then closes the
// window at once, and no later job would close it.
TEST_F(JobRunTest, ClosingWhenTheJobEndsDuringTheQuestion) {
  desktop_.file_answers = {{MakeFile("中.txt", Chapters(2u << 20))}};
  Click(按钮1);
  desktop_.folder_answers = {dir_.path()};
  Click(按钮6);
  window().SetText(编辑框1, "64");

  StartClick(按钮5);
  ASSERT_TRUE(window().runner().running());
  desktop_.yes_no_answers = {true};
  desktop_.on_ask = [&] { WaitForJob(); };
  SendMessageW(window().hwnd(), WM_CLOSE, 0, 0);
  EXPECT_EQ(std::count_if(desktop_.log.begin(), desktop_.log.end(),
                          [](const std::string& line) { return line.rfind("ask: ", 0) == 0; }),
            1);
  Pump();
  EXPECT_EQ(window().hwnd(), nullptr) << "the window closed, as asked";
}

// A stop asked for once the job's work is all done (here while the merged file's last source goes
// to the Recycle Bin) stops nothing: the job is reported as finished, with its notice. A stop
// between two deletions stops there: the sources not yet deleted stay, listed as such.
TEST_F(JobRunTest, AStopAfterTheLastUnitOfWorkStopsNothing) {
  for (const int stop_at : {2, 1}) {
    SCOPED_TRACE(stop_at);
    std::string a = MakeFile("第1章.txt", "甲\r\n"_gbk), b = MakeFile("第2章.txt", "乙\r\n"_gbk);
    ClickTab(1);
    desktop_.file_answers = {{a, b}};
    Click(按钮7);
    window().SetText(编辑框4, dir_.path());
    window().SetText(编辑框5, "合集");
    if (!window().Checked(选择框2)) Click(选择框2);
    int recycled = 0;
    desktop_.on_recycle = [&] {
      if (++recycled == stop_at) window().runner().RequestStop();
    };
    Click(按钮2);
    desktop_.on_recycle = nullptr;
    EXPECT_EQ(Read(dir_.Join("合集.txt")), "甲\r\n乙\r\n"_gbk);
    EXPECT_EQ(recycled, stop_at);
    if (stop_at == 2) {
      EXPECT_EQ(window().RowCount(超级列表框2), 0);
      EXPECT_EQ(window().StatusPane(0),
                JoinText("已完成：2 个文件 → 1 个合并后的文件，保存在 ", dir_.path()));
      EXPECT_EQ(desktop_.log.back(), "pause: 500");
    } else {
      EXPECT_EQ(FileSizeOf(a), -1);
      EXPECT_EQ(Read(b), "乙\r\n"_gbk);
      EXPECT_NE(window().StatusPane(0).find("1 个文件失败"), std::string::npos)
          << window().StatusPane(0);
      const std::string& report = desktop_.log.back();
      EXPECT_NE(report.find(JoinText(b, "：已停止，原文件未删除")), std::string::npos) << report;
    }
    RemoveFile(dir_.Join("合集.txt"));  // the next round makes it anew
  }
}

// A double click on the start button is one click: the second half neither stops the job the
// first started nor starts again the job the first stopped (which would, in place, insert twice).
TEST_F(JobRunTest, TheSecondHalfOfADoubleClickOnStartOrStopDoesNothing) {
  const auto second_half = [&](ControlId button) {
    SendMessageW(window().hwnd(), WM_COMMAND, MAKEWPARAM(button, BN_DOUBLECLICKED),
                 reinterpret_cast<LPARAM>(Hwnd(button)));
  };
  std::vector<std::string> texts;
  const std::vector<std::string> sources = ListForInPlaceInsertion(60, &texts);

  StartClick(按钮4);
  second_half(按钮4);
  EXPECT_FALSE(window().runner().stop_requested()) << "a double click on 开始 stopped the job";
  ASSERT_TRUE(ServeUntil([&] { return FileInHand() >= 2; })) << "the job ended too soon";
  StartClick(按钮4);  // 停止
  WaitForJob();
  ASSERT_EQ(window().StatusPane(0).rfind("已停止：", 0), 0u) << window().StatusPane(0);
  second_half(按钮4);
  EXPECT_FALSE(window().runner().running()) << "a double click on 停止 started the job again";
  WaitForJob();
  // No file has the text inserted twice.
  for (size_t i = 0; i < sources.size(); ++i) {
    const std::string now = Read(sources[i]);
    EXPECT_EQ(now.find("★★"_gbk), std::string::npos) << sources[i];
  }
}

}  // namespace
}  // namespace travik::ui::testing
