// The keyword box's drop-down and the chapter preview on the real main window: the entries, what
// choosing one makes the split do, and the preview's rows, warnings, context and split button.
#include "ui/chapter_preview.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "text/codepage.h"
#include "files/files.h"
#include "text/pattern.h"
#include "text/text.h"
#include "split/split_job.h"
#include "tests/test_util.h"
#include "ui/handlers.h"
#include "ui/keyword_box.h"
#include "ui/win_text.h"
#include "ui/window_test_fixture.h"

namespace travik::ui::testing {
namespace {

using travik::testing::Gbk;
using travik::testing::NativePath;
using travik::testing::operator""_gbk;
using travik::testing::ReadFileBytes;
using travik::testing::ScopedTempDir;
using travik::testing::WriteFileBytes;
using Texts = std::vector<std::string>;

// Lines of prose, as they read (UTF-8); Gbk() makes them a file's.
std::string Body(int lines) {
  std::string body;
  for (int i = 0; i < lines; ++i) body += "山高水长，云深不知处。\r\n";
  return body;
}

// A small novel in GBK: a title line, two volumes whose chapter numbers restart, a line of prose
// that begins like a heading, and a missing chapter 4.
std::string SmallNovel() {
  return Gbk(JoinText("风雨江湖\r\n", "第一卷 风起\r\n", "第一章 初见\r\n", Body(20),
                      "第二章 离家\r\n", Body(20), "第三天早上，他出了门，再也没有回头。\r\n", Body(2),
                      "第三章 夜雨\r\n", Body(20), "第五章 重逢\r\n", Body(20), "第二卷 江湖\r\n",
                      "第一章 新生\r\n", Body(20), "第二章 归来\r\n", Body(20)));
}

class ChapterPreviewTest : public WindowTest {
 protected:
  void TearDown() override {
    WindowTest::TearDown();
    EXPECT_EQ(ChapterPreview::Current(), nullptr) << "the preview goes with the main window";
  }
  std::string MakeFile(const std::string& name, const std::string& bytes) {
    std::string path = dir_.Join(name);
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    return path;
  }
  void AddSplitFile(const std::string& path) {
    desktop_.file_answers = {{path}};
    Click(按钮1);
  }
  void ChooseSaveFolder() {
    desktop_.folder_answers = {dir_.path()};
    Click(按钮6);
  }
  Texts Messages() const {
    Texts messages;
    for (const std::string& line : desktop_.log) {
      if (line.rfind("message: ", 0) == 0) messages.push_back(line.substr(9));
    }
    return messages;
  }
  // The pieces of a split of `name`: the head piece, if any, then 1.txt, 2.txt, ...
  Texts Pieces(const std::string& name) {
    std::string folder = JoinText(dir_.path(), kPathSeparator, name, kPathSeparator);
    Texts pieces;
    std::string bytes;
    // Numbered naming calls the head piece 0.txt, naming by keyword 头文本.txt.
    if (ReadFileBytes(folder + "0.txt", &bytes) || ReadFileBytes(folder + "头文本.txt", &bytes)) {
      pieces.push_back(bytes);
    }
    for (int i = 1; ReadFileBytes(JoinText(folder, NumberToText(i), ".txt"), &bytes); ++i) {
      pieces.push_back(bytes);
    }
    return pieces;
  }
  // The pieces of `name` begin exactly at `cuts` (the head piece before the first) and together
  // are the source's `size` bytes.
  void ExpectPiecesCutAt(const std::string& name, const std::vector<int64_t>& cuts, size_t size) {
    Texts pieces = Pieces(name);
    ASSERT_EQ(pieces.size(), cuts.size() + 1);
    size_t at = pieces[0].size();
    for (size_t i = 0; i < cuts.size(); ++i) {
      EXPECT_EQ(static_cast<int64_t>(at), cuts[i]) << i;
      at += pieces[i + 1].size();
    }
    EXPECT_EQ(at, size);
  }
  // Every file under the temporary folder.
  std::set<std::filesystem::path> FilesOnDisk() {
    std::set<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(NativePath(dir_.path()))) {
      files.insert(entry.path());
    }
    return files;
  }
  std::string ListCell(HWND list, int row, int column) {
    return Utf8(ListViewText(list, row, column));
  }
  // What the preview's list answers when it asks how to draw a cell.
  NMLVCUSTOMDRAW DrawCell(ChapterPreview& preview, int row, int column, LRESULT* answer) {
    NMLVCUSTOMDRAW draw = {};
    draw.nmcd.hdr.hwndFrom = preview.Control(kPreviewList);
    draw.nmcd.hdr.idFrom = kPreviewList;
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
    draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
    draw.iSubItem = column;
    *answer = SendMessageW(preview.hwnd(), WM_NOTIFY, kPreviewList, reinterpret_cast<LPARAM>(&draw));
    return draw;
  }
  void DoubleClickRow(ChapterPreview& preview, int row) {
    NMITEMACTIVATE click = {};
    click.hdr.hwndFrom = preview.Control(kPreviewList);
    click.hdr.idFrom = kPreviewList;
    click.hdr.code = NM_DBLCLK;
    click.iItem = row;
    SendMessageW(preview.hwnd(), WM_NOTIFY, kPreviewList, reinterpret_cast<LPARAM>(&click));
    Pump();
  }
  // A choice from the open drop-down, as the list reports it.
  void ChooseEntry(int index) {
    HWND box = Hwnd(编辑框3);
    SendMessageW(box, CB_SHOWDROPDOWN, TRUE, 0);
    SendMessageW(box, CB_SETCURSEL, index, 0);
    SendMessageW(window().hwnd(), WM_COMMAND, MAKEWPARAM(编辑框3, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(box));
    SendMessageW(box, CB_SHOWDROPDOWN, FALSE, 0);
    Pump();
  }

  ScopedTempDir dir_;
};

TEST_F(ChapterPreviewTest, KeywordBoxOffersAutomaticThenEachPresetAndStillTakesText) {
  HWND box = Hwnd(编辑框3);
  ASSERT_EQ(SendMessageW(box, CB_GETCOUNT, 0, 0), static_cast<LRESULT>(KeywordEntries().size()));
  Texts shown;
  for (int i = 0; i < static_cast<int>(KeywordEntries().size()); ++i) {
    wchar_t text[64] = {};
    SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    shown.push_back(Utf8(text));
  }
  EXPECT_EQ(shown, (Texts{"自动识别章节", "章节：第X章/回/节/话", "卷：第X卷/部/集/篇",
                          "英文：Chapter N", "编号：001 标题", "番外/序章/尾声…",
                          "标题：空行之间的短行"}));
  // Each preset of the finder once, and the first entry leaves the choice to the finder.
  EXPECT_EQ(KeywordEntries()[0].presets, 0u);
  chapters::PresetSet seen = 0;
  for (size_t i = 1; i < KeywordEntries().size(); ++i) {
    chapters::PresetSet presets = KeywordEntries()[i].presets;
    EXPECT_EQ(presets & (presets - 1), 0u) << "one preset per entry";
    EXPECT_EQ(seen & presets, 0u);
    seen |= presets;
  }
  chapters::PresetSet all = 0;
  for (const chapters::PresetInfo& info : chapters::Presets()) all |= info.preset;
  EXPECT_EQ(seen, all);

  // What the text asks for: an entry's forms, or the keyword as typed.
  for (const KeywordEntry& entry : KeywordEntries()) {
    KeywordChoice choice = KeywordChoiceOf(entry.text);
    EXPECT_TRUE(choice.find_chapters);
    EXPECT_EQ(choice.presets, entry.presets);
    EXPECT_EQ(choice.keyword, "");
  }
  for (const char* typed : {"", "第", "自动识别章节 ", "章节", "^第.+章$"}) {
    KeywordChoice choice = KeywordChoiceOf(typed);
    EXPECT_FALSE(choice.find_chapters) << typed;
    EXPECT_EQ(choice.keyword, typed);
  }
  EXPECT_EQ(PresetSetLabel(chapters::kPresetChapter | chapters::kPresetVolume), "章节＋卷");
  EXPECT_EQ(PresetSetLabel(0), "");

  // The box is as wide as its entries, and the button sits above its right end inside the frame.
  RECT rect, button, frame;
  GetWindowRect(box, &rect);
  GetWindowRect(Hwnd(按钮9), &button);
  GetWindowRect(Hwnd(分组框9), &frame);
  EXPECT_EQ(rect.right - rect.left, window().Scale(144));
  EXPECT_EQ(rect.bottom - rect.top, window().Scale(24));
  EXPECT_LE(button.bottom, rect.top);
  EXPECT_EQ(button.right, rect.right);
  EXPECT_LT(button.right, frame.right);
  EXPECT_EQ(window().Text(按钮9), "预览");

  // Typing reaches the edit part; opening the list chooses keyword mode as a press does.
  MouseDown(编辑框3);
  EXPECT_TRUE(window().Checked(单选框3));
  Type(编辑框3, L"第\x7AE0");
  EXPECT_EQ(window().Text(编辑框3), "第章");
  Click(单选框1);
  ChooseEntry(3);
  EXPECT_EQ(window().Text(编辑框3), "英文：Chapter N");
  EXPECT_TRUE(window().Checked(单选框3));
  EXPECT_FALSE(window().Checked(单选框1));
  EXPECT_TRUE(window().Enabled(单选框5));
}

TEST_F(ChapterPreviewTest, ChoosingAnEntryCutsAtTheHeadingsAndTypingMakesAKeywordAgain) {
  const std::string novel = SmallNovel();
  AddSplitFile(MakeFile("江湖.txt", novel));
  ChooseSaveFolder();
  ChooseEntry(1);  // 章节：第X章/回/节/话
  Click(按钮5);
  EXPECT_EQ(Messages(), Texts{});
  Texts pieces = Pieces("江湖");
  ASSERT_EQ(pieces.size(), 7u) << "the head piece and one per chapter heading";
  EXPECT_EQ(pieces[0], "风雨江湖\r\n第一卷 风起\r\n"_gbk);
  const char* starts[] = {"第一章 初见", "第二章 离家", "第三章 夜雨", "第五章 重逢",
                          "第一章 新生", "第二章 归来"};
  std::string joined = pieces[0];
  for (int i = 1; i < 7; ++i) {
    EXPECT_EQ(pieces[i].rfind(Gbk(starts[i - 1]), 0), 0u) << i;
    joined += pieces[i];
  }
  EXPECT_EQ(joined, novel);
  // The prose line stays inside chapter 2, the second volume's heading inside chapter 5.
  EXPECT_NE(pieces[2].find("第三天早上"_gbk), std::string::npos);
  EXPECT_NE(pieces[4].find("第二卷 江湖"_gbk), std::string::npos);

  // 自动识别章节 cuts at the volumes too; the split reads the same folder again.
  std::filesystem::remove_all(NativePath(dir_.Join("江湖")));
  ChooseEntry(0);
  Click(按钮5);
  pieces = Pieces("江湖");
  ASSERT_EQ(pieces.size(), 9u);
  EXPECT_EQ(pieces[0], "风雨江湖\r\n"_gbk);
  EXPECT_EQ(pieces[1], "第一卷 风起\r\n"_gbk);
  EXPECT_EQ(pieces[6], "第二卷 江湖\r\n"_gbk);

  // Typed text is a keyword again: every "第" cuts, the prose line too.
  std::filesystem::remove_all(NativePath(dir_.Join("江湖")));
  MouseDown(编辑框3);
  window().SetText(编辑框3, "");
  Type(编辑框3, L"第");
  Click(按钮5);
  pieces = Pieces("江湖");
  EXPECT_EQ(pieces.size(), 10u);
  joined.clear();
  for (const std::string& piece : pieces) joined += piece;
  EXPECT_EQ(joined, novel);

  // And the checks on the typed text stay.
  window().SetText(编辑框3, "");
  Click(按钮5);
  window().SetText(编辑框3, "第(");
  Click(按钮5);
  Texts messages = Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], "请输入关键字");
  EXPECT_EQ(messages[1].rfind(kInvalidPatternMessage, 0), 0u);
}

TEST_F(ChapterPreviewTest, PreviewListsHeadingsWithNumbersSizesAndWarningRows) {
  const std::string novel = SmallNovel();
  const std::string path = MakeFile("江湖.txt", novel);
  AddSplitFile(path);
  const std::set<std::filesystem::path> before = FilesOnDisk();
  Click(按钮9);
  ChapterPreview* preview = ChapterPreview::Current();
  ASSERT_NE(preview, nullptr);
  EXPECT_TRUE(IsWindowVisible(preview->hwnd()));
  EXPECT_EQ(GetWindow(preview->hwnd(), GW_OWNER), window().hwnd());
  EXPECT_EQ(preview->path(), path);

  HWND list = preview->Control(kPreviewList);
  ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 8);
  struct Row {
    const char* number;
    const char* title;
    bool warning;
  };
  const Row expected[] = {{"卷1", "第一卷 风起", false}, {"1", "第一章 初见", false},
                          {"2", "第二章 离家", false},   {"3", "第三章 夜雨", false},
                          {"5", "第五章 重逢", true},    {"卷2", "第二卷 江湖", false},
                          {"1", "第一章 新生", false},   {"2", "第二章 归来", false}};
  const chapters::ChapterList& found = preview->chapters();
  ASSERT_EQ(found.headings.size(), 8u);
  int64_t total = static_cast<int64_t>("风雨江湖\r\n"_gbk.size());
  for (int row = 0; row < 8; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(ListCell(list, row, kColumnIndex), NumberToText(row + 1));
    EXPECT_EQ(ListCell(list, row, kColumnNumber), expected[row].number);
    EXPECT_EQ(ListCell(list, row, kColumnTitle), expected[row].title);
    EXPECT_EQ(ListCell(list, row, kColumnSize), PieceSizeText(found.headings[row].bytes));
    total += found.headings[row].bytes;
    // The heading's line starts where the piece starts; the title is the line as it reads.
    const std::string title = Gbk(expected[row].title);
    EXPECT_EQ(novel.compare(static_cast<size_t>(found.headings[row].offset), title.size(), title),
              0);
    EXPECT_EQ(found.headings[row].title, expected[row].title);
    std::string notes = ListCell(list, row, kColumnNotes);
    EXPECT_EQ(!notes.empty(), expected[row].warning) << notes;

    // Warning rows draw dark red on light red, every column but the size, which draws itself.
    LRESULT answer = 0;
    NMLVCUSTOMDRAW draw = DrawCell(*preview, row, kColumnTitle, &answer);
    EXPECT_EQ(draw.clrTextBk == kWarningBack, expected[row].warning);
    EXPECT_EQ(draw.clrText == kWarningText, expected[row].warning);
    EXPECT_TRUE(answer & CDRF_NEWFONT);
    DrawCell(*preview, row, kColumnSize, &answer);
    EXPECT_EQ(answer, CDRF_SKIPDEFAULT);
  }
  EXPECT_EQ(total, static_cast<int64_t>(novel.size())) << "the pieces cover the text";
  // The one warning is the gap, on chapter 5.
  ASSERT_EQ(found.warnings.size(), 1u);
  EXPECT_EQ(found.warnings[0].kind, chapters::WarningKind::kGap);
  EXPECT_EQ(ListCell(list, 4, kColumnNotes), found.warnings[0].text);

  EXPECT_EQ(WindowTextOf(preview->Control(kPreviewSummary)),
            "江湖.txt：共 8 个标题（其中 2 卷），1 个提示");
  std::string rule = WindowTextOf(preview->Control(kPreviewRule));
  EXPECT_EQ(rule.rfind("规则：自动识别，章节＋卷", 0), 0u) << rule;
  EXPECT_NE(rule.find(found.pattern), std::string::npos);
  EXPECT_TRUE(IsWindowEnabled(preview->Control(kPreviewSplit)));
  EXPECT_EQ(FilesOnDisk(), before) << "the preview writes nothing";

  // Opening it again replaces it; a chosen preset or a typed pattern is what it looks for.
  ChooseEntry(1);
  Click(按钮9);
  ASSERT_NE(ChapterPreview::Current(), nullptr);
  EXPECT_EQ(SendMessageW(ChapterPreview::Current()->Control(kPreviewList), LVM_GETITEMCOUNT, 0, 0),
            6);
  EXPECT_EQ(WindowTextOf(ChapterPreview::Current()->Control(kPreviewRule)).rfind("规则：章节（", 0),
            0u);
  window().SetText(编辑框3, "^第.卷");
  Click(按钮9);
  ASSERT_NE(ChapterPreview::Current(), nullptr);
  EXPECT_EQ(SendMessageW(ChapterPreview::Current()->Control(kPreviewList), LVM_GETITEMCOUNT, 0, 0),
            2);
  EXPECT_EQ(WindowTextOf(ChapterPreview::Current()->Control(kPreviewRule)), "规则：关键字 ^第.卷");
  EXPECT_EQ(FilesOnDisk(), before);
}

TEST_F(ChapterPreviewTest, SizeColumnDrawsBarsInProportionToThePieces) {
  AddSplitFile(MakeFile("江湖.txt", SmallNovel()));
  Click(按钮9);
  ChapterPreview* preview = ChapterPreview::Current();
  ASSERT_NE(preview, nullptr);
  HWND list = preview->Control(kPreviewList);
  RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Pump();
  const auto& headings = preview->chapters().headings;
  int largest = 0;
  for (int row = 1; row < static_cast<int>(headings.size()); ++row) {
    if (headings[row].bytes > headings[largest].bytes) largest = row;
  }
  ASSERT_NE(largest, 4) << "the gap's row is a warning row";
  auto cell = [&](int row) {
    RECT rect = {};
    rect.top = kColumnSize;
    rect.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
    return rect;
  };
  HDC dc = GetDC(list);
  auto pixel = [&](int row, double share) {
    RECT rect = cell(row);
    // The bar runs from 3 px in to the size's text, 58 px from the right.
    int left = rect.left + window().Scale(3), right = rect.right - window().Scale(3 + 58);
    return GetPixel(dc, left + static_cast<int>((right - left) * share), (rect.top + rect.bottom) / 2);
  };
  const COLORREF bar = RGB(150, 190, 240), window_colour = GetSysColor(COLOR_WINDOW);
  EXPECT_EQ(pixel(largest, 0.95), bar) << "the largest piece's bar runs nearly the whole way";
  // Every chapter's bar ends where its share of the largest ends.
  for (int row : {1, 2, 3, 6, 7}) {
    SCOPED_TRACE(row);
    double share = static_cast<double>(headings[row].bytes) / headings[largest].bytes;
    EXPECT_EQ(pixel(row, share - 0.05), bar);
    if (share < 0.94) {
      EXPECT_EQ(pixel(row, share + 0.05), window_colour);
    }
  }
  // A volume heading's piece holds only its line: hardly any bar.
  EXPECT_EQ(pixel(0, 0.1), window_colour);
  // The warning row's bar and cell in its own colours.
  EXPECT_EQ(pixel(4, 0.05), RGB(235, 150, 140));
  EXPECT_EQ(pixel(4, 0.999), kWarningBack);
  ReleaseDC(list, dc);
}

TEST_F(ChapterPreviewTest, DoubleClickShowsTheTextAroundTheHeading) {
  AddSplitFile(MakeFile("江湖.txt", SmallNovel()));
  Click(按钮9);
  ChapterPreview* preview = ChapterPreview::Current();
  ASSERT_NE(preview, nullptr);
  HWND context = preview->Control(kPreviewContext);
  EXPECT_TRUE(GetWindowLongPtrW(context, GWL_STYLE) & ES_READONLY);
  DoubleClickRow(*preview, 4);  // 第五章 重逢
  std::string shown = WindowTextOf(context);
  EXPECT_EQ(shown, JoinText(Body(3), "第五章 重逢\r\n", Body(12)));
  // The heading's line is selected.
  DWORD start = 0, end = 0;
  SendMessageW(context, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, Wide(Body(3)).size());
  EXPECT_EQ(end - start, Wide("第五章 重逢").size());
  // The first heading has only the title line above it.
  DoubleClickRow(*preview, 0);
  EXPECT_EQ(WindowTextOf(context).rfind("风雨江湖\r\n第一卷 风起\r\n第一章 初见\r\n", 0), 0u);
  // A row past the end changes nothing.
  DoubleClickRow(*preview, -1);
  EXPECT_EQ(WindowTextOf(context).rfind("风雨江湖\r\n", 0), 0u);
}

// A UTF-8 (with a mark) and a GB18030 text, a character GBK lacks in a heading: the list and the
// text around a heading show the characters, not the bytes read as GBK.
TEST_F(ChapterPreviewTest, TextsInOtherEncodingsShowTheirCharacters) {
  const std::string novel = SmallNovel();
  const size_t second = novel.find("第二章 离家"_gbk) + "第二章 离家"_gbk.size();
  std::string utf8;
  ASSERT_TRUE(ConvertText(novel, Encoding::kGbk, Encoding::kUtf8, &utf8));
  std::string heading_utf8;
  ASSERT_TRUE(ConvertText(novel.substr(0, second), Encoding::kGbk, Encoding::kUtf8, &heading_utf8));
  utf8.insert(heading_utf8.size(), "\xF0\xA0\x80\x80");  // 𠀀 (U+20000) after 第二章 离家
  std::string gb18030;
  ASSERT_TRUE(ConvertText(utf8, Encoding::kUtf8, Encoding::kGb18030, &gb18030));
  const std::wstring rare = sizeof(wchar_t) == 2 ? std::wstring(L"\xD840\xDC00")
                                                 : std::wstring(1, static_cast<wchar_t>(0x20000));
  int made = 0;
  for (const std::string& bytes : {"\xEF\xBB\xBF" + utf8, gb18030}) {
    SCOPED_TRACE(made);
    AddSplitFile(MakeFile(JoinText("form", NumberToText(++made), ".txt"), bytes));
    SelectRow(超级列表框1, made - 1);
    Click(按钮9);
    ChapterPreview* preview = ChapterPreview::Current();
    ASSERT_NE(preview, nullptr);
    ASSERT_EQ(preview->chapters().headings.size(), 8u);
    wchar_t text[512] = {};
    LVITEMW item = {};
    item.iSubItem = kColumnTitle;
    item.pszText = text;
    item.cchTextMax = 512;
    HWND list = preview->Control(kPreviewList);
    SendMessageW(list, LVM_GETITEMTEXTW, 2, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(std::wstring(text), Wide("第二章 离家") + rare);
    SendMessageW(list, LVM_GETITEMTEXTW, 4, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(std::wstring(text), Wide("第五章 重逢"));

    HWND context = preview->Control(kPreviewContext);
    DoubleClickRow(*preview, 4);  // 第五章 重逢
    std::wstring shown(static_cast<size_t>(GetWindowTextLengthW(context)) + 1, L'\0');
    shown.resize(static_cast<size_t>(
        GetWindowTextW(context, shown.data(), static_cast<int>(shown.size()))));
    EXPECT_EQ(shown, Wide(JoinText(Body(3), "第五章 重逢\r\n", Body(12))));
    DWORD start = 0, end = 0;
    SendMessageW(context, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, Wide(Body(3)).size());
    EXPECT_EQ(end - start, Wide("第五章 重逢").size());
    DoubleClickRow(*preview, 2);  // 第二章 离家𠀀: the rare character is in the line selected
    SendMessageW(context, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(end - start, (Wide("第二章 离家") + rare).size());
    DestroyWindow(preview->hwnd());
  }
}

TEST_F(ChapterPreviewTest, SplitButtonCutsExactlyWhereThePreviewShows) {
  const std::string novel = SmallNovel();
  const std::string path = MakeFile("江湖.txt", novel);
  AddSplitFile(path);
  ChooseSaveFolder();
  Click(单选框2);  // another mode on the page: the preview's button still cuts at the headings
  window().SetText(编辑框3, "^第.[章卷]");
  Click(按钮9);
  ChapterPreview* preview = ChapterPreview::Current();
  ASSERT_NE(preview, nullptr);
  std::vector<int64_t> cuts;
  for (const chapters::Heading& heading : preview->chapters().headings) cuts.push_back(heading.offset);
  ASSERT_EQ(cuts.size(), 8u);
  SendMessageW(preview->Control(kPreviewSplit), BM_CLICK, 0, 0);
  Pump();
  WaitForJob();  // the split runs on its worker thread
  EXPECT_EQ(Messages(), Texts{});
  EXPECT_TRUE(window().Checked(单选框3));
  EXPECT_FALSE(window().Checked(单选框2));
  EXPECT_EQ(window().Text(编辑框3), "^第.[章卷]") << "the box keeps what the person typed";
  ExpectPiecesCutAt("江湖", cuts, novel.size());
}

// A basketball novel: six chapters, each with its four quarters (第一节 …) and score lines
// between them. The chapters are the finder's guess; the quarters are a form of their own.
std::string SportsNovel() {
  const char* numerals[] = {"一", "二", "三", "四", "五", "六"};
  std::string text = "球场风云\r\n";
  for (int i = 0; i < 6; ++i) {
    text += JoinText("第", numerals[i], "章 决赛\r\n", Body(8));
    for (int q = 0; q < 4; ++q) {
      text += JoinText("第", numerals[q], "节 3:39\r\n第", NumberToText(q + 1),
                       "节结束 98比95\r\n98：95\r\n", Body(2));
    }
  }
  return Gbk(text);
}

// The entries of the keyword box after its own, as the box lists them.
Texts BoxEntriesAfterOwn(HWND box) {
  Texts entries;
  const int count = static_cast<int>(SendMessageW(box, CB_GETCOUNT, 0, 0));
  for (int i = static_cast<int>(KeywordEntries().size()); i < count; ++i) {
    std::wstring text(static_cast<size_t>(SendMessageW(box, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
    SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    entries.push_back(Utf8(text.c_str()));
  }
  return entries;
}

// A click on a row of the preview's list of forms, as the list box reports it.
void ClickForm(ChapterPreview& preview, int index) {
  HWND forms = preview.Control(kPreviewForms);
  SendMessageW(forms, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(preview.hwnd(), WM_COMMAND, MAKEWPARAM(kPreviewForms, LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(forms));
}

std::string ListBoxLine(HWND box, int index) {
  std::wstring text(static_cast<size_t>(SendMessageW(box, LB_GETTEXTLEN, index, 0)) + 1, L'\0');
  SendMessageW(box, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  return Utf8(text.c_str());
}

TEST_F(ChapterPreviewTest, AWrongGuessIsCorrectedWithOneClickOnAnotherForm) {
  const std::string novel = SportsNovel();
  const std::string path = MakeFile("球场.txt", novel);
  AddSplitFile(path);
  ChooseSaveFolder();
  Click(按钮9);
  ChapterPreview* preview = ChapterPreview::Current();
  ASSERT_NE(preview, nullptr);
  // The forms found, the one taken first, each with its count and how well its numbers run.
  const std::vector<chapters::FoundForm> forms = preview->forms();
  ASSERT_GE(forms.size(), 2u);
  EXPECT_EQ(forms[0].shape, "第#章");
  EXPECT_TRUE(forms[0].chosen);
  HWND form_list = preview->Control(kPreviewForms);
  ASSERT_EQ(SendMessageW(form_list, LB_GETCOUNT, 0, 0), static_cast<LRESULT>(forms.size()));
  EXPECT_EQ(ListBoxLine(form_list, 0), "第#章　6 个标题，编号连续 6/6");
  EXPECT_EQ(SendMessageW(form_list, LB_GETCURSEL, 0, 0), 0);
  for (size_t i = 0; i < forms.size(); ++i) {
    EXPECT_EQ(ListBoxLine(form_list, static_cast<int>(i)), FormLineText(forms[i]));
  }
  EXPECT_EQ(SendMessageW(preview->Control(kPreviewList), LVM_GETITEMCOUNT, 0, 0), 6);
  // The keyword box offers the same forms.
  Texts offered;
  for (const chapters::FoundForm& form : forms) offered.push_back(FormEntryText(form));
  EXPECT_EQ(BoxEntriesAfterOwn(Hwnd(编辑框3)), offered);

  // One click on the quarters: the list shows them, and the box says what the split will use.
  const auto quarters = std::find_if(forms.begin(), forms.end(), [](const chapters::FoundForm& f) {
    return f.shape == "第#节";
  });
  ASSERT_NE(quarters, forms.end());
  const int index = static_cast<int>(quarters - forms.begin());
  ClickForm(*preview, index);
  Pump();
  ASSERT_EQ(ChapterPreview::Current(), preview);
  const auto& headings = preview->chapters().headings;
  ASSERT_EQ(headings.size(), quarters->count);
  EXPECT_EQ(SendMessageW(preview->Control(kPreviewList), LVM_GETITEMCOUNT, 0, 0),
            static_cast<LRESULT>(headings.size()));
  for (size_t i = 0; i < headings.size(); ++i) {
    EXPECT_EQ(headings[i].title.rfind("第", 0), 0u) << headings[i].title;
    EXPECT_NE(headings[i].title.find("节 3:39"), std::string::npos) << headings[i].title;
    EXPECT_EQ(ListCell(preview->Control(kPreviewList), static_cast<int>(i), kColumnTitle),
              headings[i].title);
  }
  EXPECT_EQ(SendMessageW(form_list, LB_GETCURSEL, 0, 0), index);
  EXPECT_EQ(preview->forms()[0].shape, "第#章") << "the list keeps its order under the click";
  EXPECT_EQ(window().Text(编辑框3), FormEntryText(*quarters));
  EXPECT_EQ(BoxEntriesAfterOwn(Hwnd(编辑框3)), offered);
  const std::string rule = WindowTextOf(preview->Control(kPreviewRule));
  EXPECT_NE(rule.find("第#节"), std::string::npos) << rule;

  // The split cuts where the preview now shows, and the start button of the page does the same.
  std::vector<int64_t> cuts;
  for (const chapters::Heading& heading : headings) cuts.push_back(heading.offset);
  SendMessageW(preview->Control(kPreviewSplit), BM_CLICK, 0, 0);
  Pump();
  WaitForJob();
  EXPECT_EQ(Messages(), Texts{});
  ExpectPiecesCutAt("球场", cuts, novel.size());
  EXPECT_EQ(SplitFormOf(window(), KeywordChoiceOf(window().Text(编辑框3)), SplitMode::kByKeyword)
                .chapter_form,
            "第#节");

  // Another preview of the same file opens on the form the box names; a text of other forms
  // replaces the offered ones.
  Click(按钮9);
  preview = ChapterPreview::Current();
  ASSERT_NE(preview, nullptr);
  EXPECT_EQ(preview->chapters().headings.size(), quarters->count);
  EXPECT_EQ(preview->forms().front().shape, "第#节");
  SendMessageW(preview->hwnd(), WM_CLOSE, 0, 0);
  Pump();
  const std::string other = MakeFile(
      "另一部.txt", Gbk(JoinText("第一回 甲\r\n", Body(20), "第二回 乙\r\n", Body(20),
                                "第三回 丙\r\n", Body(20), "第四回 丁\r\n", Body(20))));
  AddSplitFile(other);
  SelectRow(超级列表框1, 1);
  window().SetText(编辑框3, "自动识别章节");
  Click(按钮9);
  preview = ChapterPreview::Current();
  ASSERT_NE(preview, nullptr);
  ASSERT_FALSE(preview->forms().empty());
  EXPECT_EQ(preview->forms().front().shape, "第#回");
  offered.clear();
  for (const chapters::FoundForm& form : preview->forms()) offered.push_back(FormEntryText(form));
  EXPECT_EQ(BoxEntriesAfterOwn(Hwnd(编辑框3)), offered);
  EXPECT_EQ(window().Text(编辑框3), "自动识别章节");
}

TEST_F(ChapterPreviewTest, TheSplitButtonSplitsThePreviewedFileAlone) {
  const std::string first = MakeFile("上.txt", SmallNovel());
  const std::string second = MakeFile("中.txt", SmallNovel());
  const std::string third = MakeFile("下.txt", SmallNovel());
  desktop_.file_answers = {{first, second, third}};
  Click(按钮1);
  ChooseSaveFolder();
  SelectRow(超级列表框1, 1);
  Click(按钮9);
  ChapterPreview* preview = ChapterPreview::Current();
  ASSERT_NE(preview, nullptr);
  ASSERT_EQ(preview->path(), second);
  const size_t headings = preview->chapters().headings.size();
  ASSERT_GT(headings, 0u);
  SendMessageW(preview->Control(kPreviewSplit), BM_CLICK, 0, 0);
  Pump();
  WaitForJob();
  EXPECT_EQ(Messages(), Texts{});
  EXPECT_EQ(Pieces("中").size(), headings + 1);
  EXPECT_FALSE(FolderExists(dir_.Join("上")));
  EXPECT_FALSE(FolderExists(dir_.Join("下")));
  EXPECT_EQ(window().RowCount(超级列表框1), 3) << "the list stays as it was";
  EXPECT_NE(window().StatusPane(0).find("1 个文件"), std::string::npos) << window().StatusPane(0);

  // The file gone from the list meanwhile: nothing is split, and the preview says why.
  ASSERT_NE(ChapterPreview::Current(), nullptr);
  SelectRow(超级列表框1, 1);
  Menu(kMenuDelete);
  SendMessageW(ChapterPreview::Current()->Control(kPreviewSplit), BM_CLICK, 0, 0);
  Pump();
  WaitForJob();
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0], JoinText(second, "：已不在分割列表中"));
  EXPECT_FALSE(FolderExists(dir_.Join("上")));
}

TEST_F(ChapterPreviewTest, EscClosesThePreviewWhereverTheFocusIs) {
  AddSplitFile(MakeFile("江湖.txt", SmallNovel()));
  for (PreviewControl focus : {kPreviewList, kPreviewForms, kPreviewContext, kPreviewSplit}) {
    Click(按钮9);
    ChapterPreview* preview = ChapterPreview::Current();
    ASSERT_NE(preview, nullptr);
    SetFocus(preview->Control(focus));
    SendMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);  // other keys leave it open
    Pump();
    ASSERT_EQ(ChapterPreview::Current(), preview) << focus;
    SendMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
    Pump();
    EXPECT_EQ(ChapterPreview::Current(), nullptr) << focus;
  }
  EXPECT_TRUE(IsWindow(window().hwnd()));
  EXPECT_EQ(Messages(), Texts{});
}

// A form's entry in the keyword box names its shape back, whatever the shape holds.
TEST(FormEntry, NamesItsShapeBackAndTypedTextStaysAKeyword) {
  for (const char* shape : {"第#章", "#、", "〇、", "【第#章】", "…（#）", "chapter.#", "#"}) {
    const chapters::FoundForm form{shape, 1234, 1200, false};
    const std::string entry = FormEntryText(form);
    EXPECT_TRUE(IsFormEntry(entry)) << entry;
    const KeywordChoice choice = KeywordChoiceOf(entry);
    EXPECT_TRUE(choice.find_chapters) << entry;
    EXPECT_EQ(choice.form, shape) << entry;
    EXPECT_EQ(choice.keyword, "") << entry;
    EXPECT_EQ(choice.presets, 0u) << entry;
  }
  EXPECT_EQ(FormEntryText({"第#章", 12, 11, true}), "格式：第#章（12 个）");
  for (const char* typed : {"格式：", "格式：第.章", "格式：（12 个）", "格式：第#章（ 个）",
                            "格式：第#章（x 个）", "第#章（12 个）", ""}) {
    EXPECT_FALSE(IsFormEntry(typed)) << typed;
    const KeywordChoice choice = KeywordChoiceOf(typed);
    EXPECT_FALSE(choice.find_chapters) << typed;
    EXPECT_EQ(choice.keyword, typed);
    EXPECT_EQ(choice.form, "");
  }
}

TEST_F(ChapterPreviewTest, WhatThePreviewSaysWhenItCannotShowChapters) {
  Click(按钮9);
  EXPECT_EQ(ChapterPreview::Current(), nullptr);
  AddSplitFile(dir_.Join("不存在.txt"));
  Click(按钮9);
  EXPECT_EQ(ChapterPreview::Current(), nullptr);
  const std::string plain = MakeFile("散文.txt", Gbk(Body(40)));
  AddSplitFile(plain);
  SelectRow(超级列表框1, 1);
  window().SetText(编辑框3, "第(");
  Click(按钮9);
  EXPECT_EQ(ChapterPreview::Current(), nullptr);
  Texts messages = Messages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0], "请先添加欲分割的文件！");
  EXPECT_EQ(messages[1].rfind(dir_.Join("不存在.txt"), 0), 0u);
  EXPECT_EQ(messages[2].rfind(kInvalidPatternMessage, 0), 0u);

  // A text without headings: the preview opens, says so, and offers no split.
  window().SetText(编辑框3, "");
  Click(按钮9);
  ChapterPreview* preview = ChapterPreview::Current();
  ASSERT_NE(preview, nullptr);
  EXPECT_EQ(preview->path(), plain) << "the selected row, not the first";
  EXPECT_EQ(SendMessageW(preview->Control(kPreviewList), LVM_GETITEMCOUNT, 0, 0), 0);
  std::string summary = WindowTextOf(preview->Control(kPreviewSummary));
  EXPECT_EQ(summary.rfind("散文.txt：共 0 个标题，1 个提示：", 0), 0u) << summary;
  EXPECT_FALSE(IsWindowEnabled(preview->Control(kPreviewSplit)));
  SendMessageW(preview->hwnd(), WM_CLOSE, 0, 0);
  Pump();
  EXPECT_EQ(ChapterPreview::Current(), nullptr);
}

// The context around a heading against a literal model: the lines from `before` above to `after`
// below, on random texts of short lines with double-byte characters whose second byte is "\" or
// "|", and with "\n" or "\r\n" breaks.
TEST(TextAroundHeading, MatchesTheLinesAroundOnRandomTexts) {
  const std::vector<std::string> pieces = {"a", "\x95\x5C", "\x81\x7C", "第"_gbk, "\xB0\xA1", " "};
  for (unsigned seed = 1; seed <= 300; ++seed) {
    std::mt19937 random(seed);
    std::vector<std::string> lines;
    std::string text;
    std::vector<size_t> starts;
    const int count = 1 + static_cast<int>(random() % 12);
    for (int i = 0; i < count; ++i) {
      std::string line;
      for (int n = static_cast<int>(random() % 8); n > 0; --n) line += pieces[random() % pieces.size()];
      lines.push_back(line);
      starts.push_back(text.size());
      text += line + (random() % 2 ? "\r\n" : "\n");
    }
    const int heading = static_cast<int>(random() % count);
    const int before = static_cast<int>(random() % 4), after = static_cast<int>(random() % 4);
    std::string model;
    size_t model_at = 0;
    for (int i = std::max(0, heading - before); i <= std::min(count - 1, heading + after); ++i) {
      if (i == heading) model_at = model.size();
      model += lines[i] + "\r\n";
    }
    size_t at = 0;
    // A cut anywhere in the heading's line finds the line's start.
    size_t offset = starts[heading] + random() % (lines[heading].size() + 1);
    EXPECT_EQ(TextAroundHeading(text, offset, before, after, &at), model) << "seed " << seed;
    EXPECT_EQ(at, model_at) << "seed " << seed;
  }
}

TEST(TextAroundHeading, LongLinesAreLeftOutOrCutBetweenCharacters) {
  const std::string long_line(10000, 'x');
  size_t at = 0;
  // A line above that reaches too far is left out, with everything above it.
  std::string text = JoinText("a\r\n", long_line, "\r\nb\r\n第一章\r\nc\r\n"_gbk);
  EXPECT_EQ(TextAroundHeading(text, text.find("第一章"_gbk), 3, 1, &at), "b\r\n第一章\r\nc\r\n"_gbk);
  EXPECT_EQ(at, 3u);
  // A heading line too long is cut, and never inside a character: 0x81 0x7C pairs, one byte off.
  std::string pairs;
  for (int i = 0; i < 6000; ++i) pairs += "\x81\x7C";
  text = JoinText("z", pairs);
  std::string shown = TextAroundHeading(text, 0, 2, 2, &at);
  EXPECT_EQ(at, 0u);
  ASSERT_GT(shown.size(), 4000u);
  ASSERT_LT(shown.size(), text.size());
  EXPECT_EQ(shown[0], 'z');
  EXPECT_EQ(shown.size() % 2, 1u) << "z and whole pairs";
  EXPECT_EQ(text.compare(0, shown.size(), shown), 0);
  // In UTF-8 and GB18030, cut between the characters of the text's own encoding.
  for (const auto& [encoding, character] : {std::pair{Encoding::kUtf8, std::string("\xE9\x95\xBF")},
                                            std::pair{Encoding::kGb18030,
                                                      std::string("\x95\x32\x82\x36")}}) {
    text = "z";
    for (int i = 0; i < 4000; ++i) text += character;
    shown = TextAroundHeading(text, 0, 2, 2, &at, encoding);
    ASSERT_GT(shown.size(), 4000u) << EncodingName(encoding);
    ASSERT_LT(shown.size(), text.size()) << EncodingName(encoding);
    EXPECT_EQ((shown.size() - 1) % character.size(), 0u) << EncodingName(encoding);
    EXPECT_EQ(text.compare(0, shown.size(), shown), 0) << EncodingName(encoding);
  }
  // Offsets past the end and empty texts.
  EXPECT_EQ(TextAroundHeading("", 5, 3, 3, &at), "");
  EXPECT_EQ(TextAroundHeading("a\nb", 99, 1, 1, &at), "a\r\nb");
  EXPECT_EQ(at, 3u);
  EXPECT_EQ(PieceSizeText(0), "0 字节");
  EXPECT_EQ(PieceSizeText(1023), "1023 字节");
  EXPECT_EQ(PieceSizeText(1024), "1.0 KB");
  EXPECT_EQ(PieceSizeText(1536), "1.5 KB");
}

}  // namespace
}  // namespace travik::ui::testing
