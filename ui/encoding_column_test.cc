// The lists' column "编码": what each file is recognised as, the menu that sets a row's choice,
// and the choice and typed texts as the jobs get them.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "text/codepage.h"
#include "files/files.h"
#include "text/text.h"
#include "split/split_modes.h"
#include "tests/test_util.h"
#include "ui/chapter_preview.h"
#include "ui/encoding_column.h"
#include "ui/handlers.h"
#include "ui/win_text.h"
#include "ui/window_test_fixture.h"

namespace travik::ui::testing {
namespace {

using travik::testing::CorpusFile;
using travik::testing::Gb18030;
using travik::testing::Gbk;
using travik::testing::NativePath;
using travik::testing::ReadFileBytes;
using travik::testing::ScopedTempDir;
using travik::testing::WriteFileBytes;
using Texts = std::vector<std::string>;

// The four-byte GB18030 forms of U+20000 (𠀀) and U+1F600 (an emoji): characters GBK lacks.
constexpr char kExtensionB[] = "\x95\x32\x82\x36";
constexpr char kEmoji[] = "\x94\x39\xFC\x36";

// About 20 KB of the sample novel, whole lines, GBK.
std::string SampleGbk() {
  std::string novel;
  EXPECT_TRUE(ReadFileBytes(CorpusFile(), &novel)) << CorpusFile();
  const size_t end = novel.find("\r\n", 20000);
  return novel.substr(0, end == std::string::npos ? novel.size() : end + 2);
}

std::string Converted(const std::string& gbk, Encoding to) {
  std::string out;
  EXPECT_TRUE(ConvertText(gbk, Encoding::kGbk, to, &out)) << EncodingName(to);
  return out;
}

// The GB18030 form of the sample with a character GBK lacks after every 50th line break.
std::string Gb18030WithFourByteCharacters(const std::string& gbk) {
  const std::string text = Converted(gbk, Encoding::kGb18030);
  std::string mixed;
  int lines = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    mixed += text[i];
    if (text[i] == '\n' && ++lines % 50 == 0) mixed += lines % 100 == 0 ? kEmoji : kExtensionB;
  }
  return mixed;
}

// The sample in UTF-16 with its byte-order mark.
std::string Utf16(const std::string& gbk, bool big_endian) {
  const std::wstring wide = Utf8ToWide(Converted(gbk, Encoding::kUtf8));
  std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (wchar_t c : wide) {
    const char low = static_cast<char>(c & 0xFF), high = static_cast<char>(c >> 8);
    bytes += big_endian ? high : low;
    bytes += big_endian ? low : high;
  }
  return bytes;
}

class EncodingColumnTest : public WindowTest {
 protected:
  std::string MakeFile(const std::string& name, const std::string& bytes) {
    const std::string path = dir_.Join(name);
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    return path;
  }
  Texts Column(ControlId list, int column) {
    Texts cells;
    for (int row = 0; row < window().RowCount(list); ++row) {
      cells.push_back(window().Cell(list, row, column));
    }
    return cells;
  }
  // Adds the files to a list through its button, the split list one file at a time.
  void AddFiles(int page, const Texts& paths) {
    ClickTab(page);
    if (page == 0) {
      for (const std::string& path : paths) {
        desktop_.file_answers = {{path}};
        Click(按钮1);
      }
      return;
    }
    desktop_.file_answers = {paths};
    Click(page == 1 ? 按钮7 : 按钮8);
  }
  // The list's pop-up menu, answered with `command`.
  void ChooseFromListMenu(ControlId list, int command) {
    desktop_.menu_answers = {command};
    RightClickList(list);
  }
  // The texts of the message boxes shown.
  Texts Messages() const {
    Texts messages;
    for (const std::string& line : desktop_.log) {
      if (line.rfind("message: ", 0) == 0) messages.push_back(line.substr(9));
    }
    return messages;
  }
  // The checked items of the menu last shown.
  Texts CheckedItems() {
    Texts checked;
    for (const ShownMenuItem& item : desktop_.menus.back().items) {
      if (item.checked) checked.push_back(item.caption);
    }
    return checked;
  }

  ScopedTempDir dir_;
};

constexpr ControlId kLists[] = {超级列表框1, 超级列表框2, 超级列表框3};

TEST(EncodingColumnText, NamesTheRecognisedEncodingOrTheChoiceOrWhyNot) {
  ScopedTempDir dir;
  const std::string gbk = SampleGbk();
  const struct {
    const char* name;
    std::string bytes;
    const char* shown;
  } files[] = {
      {"gbk.txt", gbk, "GBK"},
      {"ascii.txt", "Chapter 1\r\nplain text\r\n", "GBK"},
      {"empty.txt", "", "GBK"},
      {"utf8.txt", Converted(gbk, Encoding::kUtf8), "UTF-8"},
      {"utf8-mark.txt", "\xEF\xBB\xBF" + Converted(gbk, Encoding::kUtf8), "UTF-8"},
      {"mark-only.txt", "\xEF\xBB\xBF", "UTF-8"},
      // Valid UTF-8 up to one stray byte near the end: UTF-8, the stray byte kept as it is.
      {"utf8-one-bad-byte.txt", Converted(gbk, Encoding::kUtf8) + "\xFF\r\n", "UTF-8"},
      {"gb18030.txt", Gb18030WithFourByteCharacters(gbk), "GB18030"},
      {"utf16le.txt", Utf16(gbk, false), "UTF-16LE"},
      {"utf16be.txt", Utf16(gbk, true), "UTF-16BE"},
      // A head piece 目录 in GBK is valid UTF-8 too (Ŀ¼): GBK, on slight evidence.
      {"toc.txt", "\xC4\xBF\xC2\xBC\r\n", "GBK?"},
  };
  for (const auto& file : files) {
    const std::string path = dir.Join(file.name);
    ASSERT_TRUE(WriteFileBytes(path, file.bytes));
    EXPECT_EQ(RecognisedEncodingText(path, nullptr), file.shown) << file.name;
    // The column says what the jobs read the file as.
    const SourceText source = LoadSourceText(path);
    std::string shown = file.shown;
    if (shown.back() == '?') shown.pop_back();
    EXPECT_EQ(EncodingName(source.encoding), shown) << file.name;
  }
  EXPECT_EQ(RecognisedEncodingText(dir.Join("gone.txt"), nullptr), kUnreadableEncoding);
  EXPECT_EQ(RecognisedEncodingText(dir.path(), nullptr), kUnreadableEncoding) << "a folder";
  // A read asked to stop gives no answer at all, rather than a wrong one.
  std::atomic<bool> stop{true};
  EXPECT_EQ(RecognisedEncodingText(dir.Join("utf8.txt"), &stop), "");

  EXPECT_EQ(EncodingCellText(EncodingChoice::kAuto, "UTF-16LE"), "UTF-16LE");
  EXPECT_EQ(EncodingCellText(EncodingChoice::kAuto, ""), "") << "still being read";
  EXPECT_EQ(EncodingCellText(EncodingChoice::kGbk, "UTF-8"), "GBK（指定）");
  EXPECT_EQ(EncodingCellText(EncodingChoice::kGb18030, ""), "GB18030（指定）");
  EXPECT_EQ(EncodingCellText(EncodingChoice::kUtf8, kUnreadableEncoding), "UTF-8（指定）");
}

// Serves nothing: waits until the scanner has taken answers for `count` files, or 30 s.
std::vector<EncodingScanner::Answer> AwaitAnswers(EncodingScanner& scanner, size_t count) {
  std::vector<EncodingScanner::Answer> answers;
  const ULONGLONG deadline = GetTickCount64() + 30000;
  while (answers.size() < count && GetTickCount64() < deadline) {
    for (auto& answer : scanner.TakeAnswers()) answers.push_back(std::move(answer));
    Sleep(5);
  }
  return answers;
}

TEST(EncodingScanner, HoldsNoFileOpenWhilePausedAndReadsItAfterwards) {
  ScopedTempDir dir;
  const std::string gbk = SampleGbk();
  std::string big;
  while (big.size() < (size_t{24} << 20)) big += gbk;
  const std::string path = dir.Join("big.txt"), utf8 = dir.Join("utf8.txt");
  const auto replace_with_utf8 = [&] {
    EXPECT_TRUE(WriteFileBytes(utf8, Converted(gbk, Encoding::kUtf8)));
    return MoveFileExW(NativePath(utf8).c_str(), NativePath(path).c_str(),
                       MOVEFILE_REPLACE_EXISTING) != FALSE;
  };
  ASSERT_TRUE(WriteFileBytes(path, big));

  EncodingScanner scanner;
  // Paused before the file comes: nothing is read until Resume, which reads what is there then.
  scanner.Pause();
  scanner.Add(1, path);
  Sleep(200);
  EXPECT_TRUE(scanner.TakeAnswers().empty());
  EXPECT_TRUE(scanner.busy()) << "the file still waits";
  ASSERT_TRUE(replace_with_utf8());
  scanner.Resume();
  std::vector<EncodingScanner::Answer> answers = AwaitAnswers(scanner, 1);
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].id, 1);
  EXPECT_EQ(answers[0].text, "UTF-8");

  // Paused in the middle of a read (or just after it): the file is let go at once.
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(WriteFileBytes(path, big));
    scanner.Add(2 + round, path);
    Sleep(static_cast<DWORD>(round * 5));
    scanner.Pause();
    EXPECT_TRUE(replace_with_utf8()) << "round " << round << ": the file is still open";
    scanner.Resume();
    answers = AwaitAnswers(scanner, 1);
    ASSERT_EQ(answers.size(), 1u) << round;
    EXPECT_EQ(answers[0].id, 2 + round);
    // What was there when it was read: the old text if the read ended before the pause.
    EXPECT_TRUE(answers[0].text == "UTF-8" || answers[0].text == "GBK") << answers[0].text;
  }
  EXPECT_FALSE(scanner.busy());
}

TEST_F(EncodingColumnTest, EveryListShowsWhatEachFileIsRecognisedAs) {
  const std::string gbk = SampleGbk();
  const std::string utf8 = Converted(gbk, Encoding::kUtf8);
  // Numbered names keep the rows in this order.
  const Texts paths = {
      MakeFile("1 gbk.txt", gbk),
      MakeFile("2 utf8.txt", utf8),
      MakeFile("3 utf8 mark.txt", "\xEF\xBB\xBF" + utf8),
      MakeFile("4 gb18030.txt", Gb18030WithFourByteCharacters(gbk)),
      MakeFile("5 utf16le.txt", Utf16(gbk, false)),
      MakeFile("6 utf16be.txt", Utf16(gbk, true)),
      MakeFile("7 ascii.txt", "Chapter 1\r\n"),
      dir_.Join("8 gone.txt"),
  };
  const Texts shown = {"GBK",      "UTF-8",    "UTF-8", "GB18030",
                       "UTF-16LE", "UTF-16BE", "GBK",   kUnreadableEncoding};
  for (int page = 0; page < 3; ++page) AddFiles(page, paths);
  WaitForEncodings();

  EXPECT_EQ(Column(超级列表框1, 3), shown);
  EXPECT_EQ(Column(超级列表框2, 2), shown);
  EXPECT_EQ(Column(超级列表框3, 3), shown);
  // The other columns are where they were.
  for (ControlId list : kLists) {
    EXPECT_EQ(Column(list, 1), paths) << list;
    EXPECT_EQ(window().Cell(list, 0, 0), "1 gbk") << list;
  }
  EXPECT_EQ(window().Cell(超级列表框3, 6, 2), "11");
  EXPECT_EQ(window().Cell(超级列表框1, 6, 2), "0.01");
  for (const FileEntry& row : MergeFormOf(window()).rows) {
    EXPECT_EQ(row.encoding, EncodingChoice::kAuto) << row.path;
  }

  // A row added again is read again; deleting rows leaves the others' column as it is.
  ClickTab(1);
  SelectRow(超级列表框2, 0);
  Menu(kMenuDelete);
  desktop_.file_answers = {{paths[1]}};
  Click(按钮7);
  WaitForEncodings();
  Texts after(shown.begin() + 1, shown.end());
  after.push_back("UTF-8");
  EXPECT_EQ(Column(超级列表框2, 2), after);
}

TEST_F(EncodingColumnTest, TheMenuSetsAndResetsTheSelectedRowsChoice) {
  const std::string gbk = SampleGbk();
  const Texts paths = {MakeFile("1.txt", gbk), MakeFile("2.txt", Converted(gbk, Encoding::kUtf8)),
                       MakeFile("3.txt", Utf16(gbk, false))};
  for (int page = 0; page < 3; ++page) AddFiles(page, paths);
  WaitForEncodings();

  for (int page = 0; page < 3; ++page) {
    const ControlId list = kLists[page];
    const int column = EncodingColumnOf(list);
    ClickTab(page);
    SelectRow(list, 1);
    ChooseFromListMenu(list, kMenuEncodingGbk);
    EXPECT_EQ(Column(list, column), (Texts{"GBK", "GBK（指定）", "UTF-16LE"})) << page;
    EXPECT_EQ(window().RowEncoding(list, 1), EncodingChoice::kGbk);

    // The menu shows the row's choice checked, and that one only.
    ChooseFromListMenu(list, 0);
    EXPECT_EQ(CheckedItems(), Texts{"GBK"}) << page;

    ChooseFromListMenu(list, kMenuEncodingUtf8);
    EXPECT_EQ(window().Cell(list, 1, column), "UTF-8（指定）");
    SelectRow(list, 2);
    ChooseFromListMenu(list, kMenuEncodingGb18030);
    ChooseFromListMenu(list, 0);
    EXPECT_EQ(CheckedItems(), Texts{"GB18030"}) << page;
    EXPECT_EQ(Column(list, column), (Texts{"GBK", "UTF-8（指定）", "GB18030（指定）"})) << page;

    // 自动 goes back to what the file was recognised as.
    SelectRow(list, 1);
    ChooseFromListMenu(list, kMenuEncodingAuto);
    ChooseFromListMenu(list, 0);
    EXPECT_EQ(CheckedItems(), Texts{"自动"}) << page;
    EXPECT_EQ(Column(list, column), (Texts{"GBK", "UTF-8", "GB18030（指定）"})) << page;
    EXPECT_EQ(window().RowEncoding(list, 1), EncodingChoice::kAuto);

    // Without a selected row the choices are greyed, and the menu bar's command changes nothing.
    SelectRow(list, -1);
    ChooseFromListMenu(list, 0);
    for (const ShownMenuItem& item : desktop_.menus.back().items) {
      if (item.command >= kMenuEncodingAuto && item.command <= kMenuEncodingBig5) {
        EXPECT_FALSE(item.enabled) << item.caption;
        EXPECT_FALSE(item.checked) << item.caption;
      }
    }
    Menu(kMenuEncodingUtf8);
    EXPECT_EQ(Column(list, column), (Texts{"GBK", "UTF-8", "GB18030（指定）"})) << page;
  }
  // Each list keeps its own rows' choices.
  EXPECT_EQ(SplitFormOf(window(), KeywordChoiceOf(""), SplitMode::kBySize).rows[2].encoding,
            EncodingChoice::kGb18030);
  EXPECT_EQ(MergeFormOf(window()).rows[0].encoding, EncodingChoice::kAuto);
}

TEST_F(EncodingColumnTest, ChoicesTravelWithTheirRowsWhenRowsMoveOrGo) {
  const std::string gbk = SampleGbk();
  const std::string utf8 = Converted(gbk, Encoding::kUtf8);
  const Texts paths = {MakeFile("第1章.txt", gbk), MakeFile("第2章.txt", utf8),
                       MakeFile("第3章.txt", Gb18030WithFourByteCharacters(gbk)),
                       MakeFile("第10章.txt", utf8)};
  AddFiles(1, paths);
  // The choice may be set before the file has been read: the answer does not undo it.
  SelectRow(超级列表框2, 3);
  ChooseFromListMenu(超级列表框2, kMenuEncodingGbk);
  WaitForEncodings();
  SelectRow(超级列表框2, 0);
  ChooseFromListMenu(超级列表框2, kMenuEncodingUtf8);
  EXPECT_EQ(Column(超级列表框2, 2), (Texts{"UTF-8（指定）", "UTF-8", "GB18030", "GBK（指定）"}));

  // A model of the rows: path -> what the column shows and the choice.
  const auto expect_rows = [&](const Texts& order, const char* step) {
    const std::vector<FileEntry> rows = MergeFormOf(window()).rows;
    ASSERT_EQ(rows.size(), order.size()) << step;
    for (size_t i = 0; i < order.size(); ++i) {
      const int file = static_cast<int>(std::find(paths.begin(), paths.end(), order[i]) -
                                        paths.begin());
      const EncodingChoice choice = file == 0   ? EncodingChoice::kUtf8
                                    : file == 3 ? EncodingChoice::kGbk
                                                : EncodingChoice::kAuto;
      const char* shown[] = {"UTF-8（指定）", "UTF-8", "GB18030", "GBK（指定）"};
      EXPECT_EQ(rows[i].path, order[i]) << step;
      EXPECT_EQ(rows[i].encoding, choice) << step << " " << order[i];
      EXPECT_EQ(window().Cell(超级列表框2, static_cast<int>(i), 2), shown[file]) << step;
    }
  };
  expect_rows(paths, "added");
  Menu(kMenuMoveToTop);  // row 0 is selected: nothing moves
  SelectRow(超级列表框2, 3);
  Menu(kMenuMoveToTop);
  expect_rows({paths[3], paths[0], paths[1], paths[2]}, "to the top");
  Menu(kMenuMoveDown);
  expect_rows({paths[0], paths[3], paths[1], paths[2]}, "down");
  Menu(kMenuSortByName);
  expect_rows(paths, "sorted");
  SelectRow(超级列表框2, 3);
  Menu(kMenuMoveUp);
  Menu(kMenuMoveUp);
  expect_rows({paths[0], paths[3], paths[1], paths[2]}, "up twice");
  SelectRow(超级列表框2, 0);
  Menu(kMenuDelete);
  expect_rows({paths[3], paths[1], paths[2]}, "first deleted");
  Menu(kMenuDeleteAll);
  AddFiles(1, {paths[0]});
  WaitForEncodings();
  EXPECT_EQ(MergeFormOf(window()).rows[0].encoding, EncodingChoice::kAuto) << "a new row";
  EXPECT_EQ(window().Cell(超级列表框2, 0, 2), "GBK");
}

TEST_F(EncodingColumnTest, TheInsertTextKeepsCharactersGbkLacks) {
  ClickTab(2);
  // 注 and 【】 are GBK; U+20000 and U+1F600 (a surrogate pair each) are not.
  SetWindowTextW(Hwnd(编辑框7), L"\x3010\x6CE8\x3011\xD840\xDC00\xD83D\xDE00");
  const std::string typed = InsertFormOf(window()).text_to_insert;
  EXPECT_EQ(typed, "\xE3\x80\x90\xE6\xB3\xA8\xE3\x80\x91\xF0\xA0\x80\x80\xF0\x9F\x98\x80");
  EXPECT_EQ(typed, "【注】𠀀😀");
  EXPECT_EQ(typed, window().Text(编辑框7));
  // Each file's encoding takes it as it can: UTF-8 and GB18030 whole, GBK not at all.
  std::string utf8, gb18030;
  ASSERT_TRUE(ConvertTypedText(typed, Encoding::kUtf8, &utf8));
  EXPECT_EQ(utf8, typed);
  ASSERT_TRUE(ConvertTypedText(typed, Encoding::kGb18030, &gb18030));
  EXPECT_EQ(gb18030, JoinText(Gb18030("【注】"), kExtensionB, kEmoji));
  std::string gbk;
  EXPECT_FALSE(ConvertTypedText(typed, Encoding::kGbk, &gbk)) << "a GBK file cannot take it";

  // A text GBK holds goes into a GBK file as its GBK bytes, the euro sign (0x80 in GBK) included.
  SetWindowTextW(Hwnd(编辑框7), L"\x3010\x6CE8\x3011 \x20AC");
  EXPECT_EQ(InsertFormOf(window()).text_to_insert, "【注】 €");
  ASSERT_TRUE(ConvertTypedText(InsertFormOf(window()).text_to_insert, Encoding::kGbk, &gbk));
  EXPECT_EQ(gbk, JoinText(Gbk("【注】 "), "\x80"));
  // A lone surrogate keeps its own form (never "?", never dropped), which no file's encoding
  // takes: a job refuses it rather than writing something else.
  SetWindowTextW(Hwnd(编辑框7), L"a\xD800" L"b");
  const std::string lone = InsertFormOf(window()).text_to_insert;
  EXPECT_EQ(lone, "a\xED\xA0\x80" "b");
  EXPECT_EQ(Wide(lone), std::wstring(L"a\xD800" L"b"));
  for (Encoding encoding : {Encoding::kGbk, Encoding::kGb18030, Encoding::kUtf8}) {
    std::string out = "unchanged";
    EXPECT_FALSE(ConvertTypedText(lone, encoding, &out)) << EncodingName(encoding);
    EXPECT_EQ(out, "unchanged");
  }
}

TEST_F(EncodingColumnTest, JobsAndThePreviewReadTheFileAsTheRowSays) {
  const std::string gbk = SampleGbk();
  const std::string utf16 = MakeFile("utf16.txt", Utf16(gbk, false));
  const std::string novel = MakeFile("novel.txt", gbk);
  AddFiles(0, {utf16});
  desktop_.folder_answers = {dir_.path()};
  Click(按钮6);
  WaitForEncodings();
  EXPECT_EQ(window().Cell(超级列表框1, 0, 3), "UTF-16LE");
  // The split refuses what the column calls UTF-16, and writes nothing for it.
  Click(单选框2);
  window().SetText(编辑框2, "3");
  Click(按钮5);
  bool refused = false;
  for (const std::string& line : desktop_.log) {
    refused = refused || line.find(Utf16RefusalMessage(Encoding::kUtf16Le)) != std::string::npos;
  }
  EXPECT_TRUE(refused) << JoinText(desktop_.log.empty() ? "" : desktop_.log.back());

  // The chapter preview reads the selected row as its choice says: a GBK novel read as UTF-8 is
  // not valid UTF-8, and is refused rather than shown as something else.
  Menu(kMenuDeleteAll);
  AddFiles(0, {novel});
  SelectRow(超级列表框1, 0);
  ChooseFromListMenu(超级列表框1, kMenuEncodingUtf8);
  window().SetText(编辑框3, "");
  desktop_.log.clear();
  EXPECT_EQ(ChapterPreview::Open(window()), nullptr);
  ASSERT_EQ(desktop_.log.size(), 1u);
  EXPECT_EQ(desktop_.log[0].rfind(JoinText("message: ", novel, "："), 0), 0u) << desktop_.log[0];
  ChooseFromListMenu(超级列表框1, kMenuEncodingAuto);
  ChapterPreview* preview = ChapterPreview::Open(window());
  ASSERT_NE(preview, nullptr);
  EXPECT_FALSE(preview->chapters().headings.empty());
  DestroyWindow(preview->hwnd());
}

// The same bytes make different files under different choices: the jobs started from the window
// read each row as its choice says, and a file that is not valid in the chosen encoding is
// reported and left as it was.
TEST_F(EncodingColumnTest, AForcedChoiceChangesWhatTheJobsMakeOfAFile) {
  const std::string gbk = SampleGbk();
  const std::string utf8 = Converted(gbk, Encoding::kUtf8);
  const std::string as_auto = MakeFile("auto.txt", utf8);
  const std::string as_gbk = MakeFile("forced.txt", utf8);
  const std::string novel = MakeFile("novel.txt", gbk);
  const auto read = [](const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(path, &bytes)) << path;
    return bytes;
  };
  const auto valid_utf8 = [](std::string_view bytes) {
    std::string gb18030;
    return ConvertText(bytes, Encoding::kUtf8, Encoding::kGb18030, &gb18030);
  };
  const auto refusal_of = [&](const std::string& path, const char* encoding = "UTF-8") {
    for (const std::string& message : Messages()) {
      if (message.find(JoinText(path, "：按 ", encoding, " 编码读取时，第 ")) != std::string::npos) {
        return message;
      }
    }
    return JoinText("no refusal of ", path, " among ", std::to_string(desktop_.log.size()),
                    " lines");
  };

  // Split by 1 KB: the UTF-8 row as UTF-8; the same bytes forced to GBK, and the GBK novel forced
  // to UTF-8, refused: neither is valid in the encoding chosen.
  AddFiles(0, {as_auto, as_gbk, novel});
  SelectRow(超级列表框1, 1);
  ChooseFromListMenu(超级列表框1, kMenuEncodingGbk);
  SelectRow(超级列表框1, 2);
  ChooseFromListMenu(超级列表框1, kMenuEncodingUtf8);
  const std::string out = dir_.Join("out");
  ASSERT_TRUE(CreateDirectoryW(NativePath(out).c_str(), nullptr));
  desktop_.folder_answers = {out};
  Click(按钮6);
  window().SetText(编辑框1, "1");
  desktop_.log.clear();
  Click(按钮5);
  const auto pieces_of = [&](const char* stem) {
    std::vector<std::string> pieces;
    for (int i = 1;; ++i) {
      const std::string path =
          JoinText(out, kPathSeparator, stem, kPathSeparator, std::to_string(i), ".txt");
      if (!std::filesystem::exists(NativePath(path))) return pieces;
      pieces.push_back(read(path));
    }
  };
  // The model: UTF-8 ends a piece at the first character start at or after 1024 bytes.
  std::vector<std::string> utf8_model;
  for (size_t pos = 0; pos < utf8.size();) {
    size_t end = std::min(pos + 1024, utf8.size());
    while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) ++end;
    utf8_model.push_back(utf8.substr(pos, end - pos));
    pos = end;
  }
  const std::vector<std::string> auto_pieces = pieces_of("auto");
  EXPECT_EQ(auto_pieces, utf8_model);
  EXPECT_TRUE(std::all_of(auto_pieces.begin(), auto_pieces.end(), valid_utf8));
  EXPECT_TRUE(pieces_of("forced").empty()) << "read as GBK, the UTF-8 text would be cut in pieces";
  EXPECT_FALSE(FolderExists(JoinText(out, kPathSeparator, "forced"))) << "nothing written for it";
  EXPECT_EQ(refusal_of(as_gbk, "GBK").find("no refusal"), std::string::npos)
      << refusal_of(as_gbk, "GBK");
  EXPECT_EQ(refusal_of(novel).find("no refusal"), std::string::npos) << refusal_of(novel);
  EXPECT_FALSE(FolderExists(JoinText(out, kPathSeparator, "novel"))) << "nothing written for it";

  // Insert in place, a text GBK lacks in part: the UTF-8 file takes it in UTF-8; the GBK novel
  // forced to UTF-8 is refused and left byte for byte as it was.
  ClickTab(2);
  desktop_.file_answers = {{as_auto, novel}};
  Click(按钮8);
  SelectRow(超级列表框3, 1);
  ChooseFromListMenu(超级列表框3, kMenuEncodingUtf8);
  Click(选择框5);  // in place
  SetWindowTextW(Hwnd(编辑框7), L"\x3010\x6CE8\xD840\xDC00\x3011");
  window().SetText(编辑框9, "1000");
  desktop_.log.clear();
  Click(按钮4);
  const std::string mark = "\xE3\x80\x90\xE6\xB3\xA8\xF0\xA0\x80\x80\xE3\x80\x91";
  const std::string inserted = read(as_auto);
  EXPECT_TRUE(valid_utf8(inserted));
  std::string without;
  size_t count = 0;
  for (size_t pos = 0;;) {
    const size_t at = inserted.find(mark, pos);
    without += inserted.substr(pos, at == std::string::npos ? std::string::npos : at - pos);
    if (at == std::string::npos) break;
    ++count;
    pos = at + mark.size();
  }
  EXPECT_EQ(without, utf8) << "the text around the insertions is the file's own";
  EXPECT_GE(count, utf8.size() / 1000 - 1);
  EXPECT_EQ(read(novel), gbk);
  EXPECT_EQ(refusal_of(novel).find("no refusal"), std::string::npos) << refusal_of(novel);

  // Merge after a GBK file: a UTF-8 file is converted to GBK; the same bytes forced to GBK are
  // refused, and nothing is written.
  ClickTab(1);
  desktop_.file_answers = {{MakeFile("m1.txt", gbk), MakeFile("m2.txt", utf8)}};
  Click(按钮7);
  desktop_.folder_answers = {out};
  Click(按钮3);
  window().SetText(编辑框5, "converted");
  Click(按钮2);
  EXPECT_EQ(read(JoinText(out, kPathSeparator, "converted.txt")), gbk + gbk);
  SelectRow(超级列表框2, 1);
  ChooseFromListMenu(超级列表框2, kMenuEncodingGbk);
  window().SetText(编辑框5, "as-is");
  desktop_.log.clear();
  Click(按钮2);
  EXPECT_FALSE(std::filesystem::exists(NativePath(JoinText(out, kPathSeparator, "as-is.txt"))));
  const std::vector<std::string> told = Messages();
  EXPECT_TRUE(std::any_of(told.begin(), told.end(), [](const std::string& m) {
    return m.find("m2.txt：按 GBK 编码读取时，第 ") != std::string::npos;
  })) << told.size() << " messages";
}

// The preview shows a text's titles and the lines around a heading as they read, whatever the
// text's encoding: the same sample in GBK, UTF-8 with and without a mark and GB18030 gives the
// same titles, and a character GBK lacks shows as itself.
TEST_F(EncodingColumnTest, ThePreviewShowsTheTitlesOfEveryEncodingAsTheyRead) {
  const std::string gbk = SampleGbk();
  const std::string utf8 = Converted(gbk, Encoding::kUtf8);
  std::string gb18030 = Converted(gbk, Encoding::kGb18030);
  const std::string chapter_one = Gb18030("第一章 ");
  const size_t first = gb18030.find(chapter_one);
  ASSERT_NE(first, std::string::npos);
  gb18030.insert(first + chapter_one.size(), kExtensionB);
  const Texts paths = {MakeFile("1.txt", gbk), MakeFile("2.txt", utf8),
                       MakeFile("3.txt", "\xEF\xBB\xBF" + utf8), MakeFile("4.txt", gb18030)};
  AddFiles(0, paths);
  window().SetText(编辑框3, "");
  std::vector<std::vector<std::wstring>> titles;
  std::vector<std::wstring> contexts;
  for (int row = 0; row < 4; ++row) {
    SelectRow(超级列表框1, row);
    ChapterPreview* preview = ChapterPreview::Open(window());
    ASSERT_NE(preview, nullptr) << paths[row];
    const HWND list = preview->Control(kPreviewList);
    titles.emplace_back();
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) titles.back().push_back(ListViewText(list, i, 2));
    // Double-clicked, the second heading shows the lines around it.
    NMITEMACTIVATE click = {};
    click.hdr.hwndFrom = list;
    click.hdr.idFrom = kPreviewList;
    click.hdr.code = NM_DBLCLK;
    click.iItem = 1;
    SendMessageW(preview->hwnd(), WM_NOTIFY, kPreviewList, reinterpret_cast<LPARAM>(&click));
    Pump();
    const HWND context = preview->Control(kPreviewContext);
    std::wstring around(static_cast<size_t>(GetWindowTextLengthW(context)) + 1, L'\0');
    around.resize(static_cast<size_t>(
        GetWindowTextW(context, around.data(), static_cast<int>(around.size()))));
    contexts.push_back(around);
    DestroyWindow(preview->hwnd());
  }
  ASSERT_GE(titles[0].size(), 2u);
  EXPECT_EQ(titles[0][0], L"\x7B2C\x4E00\x7AE0 \x5377\x4E00 \x5E1D\x4EAC\x7BC7\x5341\x9996");
  EXPECT_EQ(Utf8(titles[0][0]), "第一章 卷一 帝京篇十首");
  EXPECT_EQ(titles[1], titles[0]) << "UTF-8";
  EXPECT_EQ(titles[2], titles[0]) << "UTF-8 with a mark";
  std::vector<std::wstring> expected = titles[0];
  expected[0].insert(4, L"\xD840\xDC00");
  EXPECT_EQ(titles[3], expected) << "GB18030";
  ASSERT_EQ(contexts.size(), 4u);
  EXPECT_NE(contexts[0].find(Wide("第二章 卷二 ")), std::wstring::npos) << Utf8(contexts[0]);
  for (int row = 1; row < 4; ++row) EXPECT_EQ(contexts[row], contexts[0]) << paths[row];
}

}  // namespace
}  // namespace travik::ui::testing
