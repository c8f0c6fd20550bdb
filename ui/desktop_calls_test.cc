// The open dialog's buffer handling: a selection too large for the buffer is asked for again
// with a larger one, and what the dialog wrote is split into full paths, which reach the program
// whole whatever characters their names hold.
#include "ui/desktop_calls.h"

#include <cderr.h>
#include <commdlg.h>
#include <windows.h>

#include <string>
#include <vector>

#include "files/file_entry.h"
#include "files/files.h"
#include "gtest/gtest.h"
#include "tests/test_util.h"
#include "ui/win_text.h"

namespace travik::ui {
namespace {

using Paths = std::vector<std::wstring>;

// What a multiple-selection dialog writes: the folder, then each name, then an empty string.
std::wstring Selection(const std::wstring& folder, const Paths& names) {
  std::wstring written = folder + L'\0';
  for (const std::wstring& name : names) written += name + L'\0';
  return written + L'\0';
}

TEST(SplitDialogSelection, JoinsFolderAndNamesOrTakesOnePath) {
  std::wstring many = Selection(L"C:\\书", {L"第一卷.txt", L"b.txt"});
  EXPECT_EQ(SplitDialogSelection(many.data(), many.size()),
            (Paths{L"C:\\书\\第一卷.txt", L"C:\\书\\b.txt"}));
  std::wstring root = Selection(L"D:\\", {L"a.txt", L"b.txt"});
  EXPECT_EQ(SplitDialogSelection(root.data(), root.size()), (Paths{L"D:\\a.txt", L"D:\\b.txt"}));
  std::wstring one = std::wstring(L"C:\\书\\a.txt") + L'\0' + L'\0';
  EXPECT_EQ(SplitDialogSelection(one.data(), one.size()), (Paths{L"C:\\书\\a.txt"}));
  std::wstring none(4, L'\0');
  EXPECT_TRUE(SplitDialogSelection(none.data(), none.size()).empty());
  // A buffer filled to its end without the closing empty string still ends the last name.
  std::wstring cut = L"C:\\x" + std::wstring(1, L'\0') + L"a.txt";
  EXPECT_EQ(SplitDialogSelection(cut.data(), cut.size()), (Paths{L"C:\\x\\a.txt"}));
}

// A dialog in which the user picks `count` files with long names: it fails as the system does
// when they do not fit, leaving the size it needs (cut to a WORD) at the buffer's start.
struct FakeDialog {
  explicit FakeDialog(std::wstring chosen) : selection(std::move(chosen)) {}

  std::wstring selection;
  int shown = 0;
  bool cancel = false;
  std::vector<DWORD> sizes;

  bool operator()(OPENFILENAMEW& dialog, DWORD* error) {
    ++shown;
    sizes.push_back(dialog.nMaxFile);
    EXPECT_TRUE(dialog.Flags & OFN_ALLOWMULTISELECT);
    if (cancel) {
      *error = 0;
      return false;
    }
    if (selection.size() > dialog.nMaxFile) {
      *reinterpret_cast<WORD*>(dialog.lpstrFile) = static_cast<WORD>(selection.size());
      *error = FNERR_BUFFERTOOSMALL;
      return false;
    }
    selection.copy(dialog.lpstrFile, selection.size());
    return true;
  }
};

TEST(AskForFiles, AsksAgainWithARoomierBufferUntilEveryNameFits) {
  OPENFILENAMEW settings = {};
  settings.lStructSize = sizeof(settings);
  settings.Flags = OFN_ALLOWMULTISELECT;
  for (int count : {1, 100, 600, 5000}) {
    Paths names, expected;
    for (int i = 0; i < count; ++i) {
      names.push_back(L"第" + std::to_wstring(i) + L"章_一个很长很长很长很长很长很长的文件名.txt");
      expected.push_back(L"C:\\小说\\" + names.back());
    }
    FakeDialog fake(Selection(L"C:\\小说", names));
    Paths chosen =
        AskForFiles(settings, [&fake](OPENFILENAMEW& d, DWORD* e) { return fake(d, e); });
    ASSERT_EQ(chosen, expected) << count << " files";
    // 61,440 bytes hold about 900 of these names; more take one or more further askings.
    EXPECT_EQ(fake.sizes.front(), 61440u / sizeof(wchar_t));
    EXPECT_EQ(fake.shown > 1, fake.selection.size() > 61440u / sizeof(wchar_t)) << count;
    for (size_t i = 1; i < fake.sizes.size(); ++i) EXPECT_GE(fake.sizes[i], 2 * fake.sizes[i - 1]);
  }
  FakeDialog cancelled(Selection(L"C:\\", {L"a.txt"}));
  cancelled.cancel = true;
  EXPECT_TRUE(
      AskForFiles(settings, [&](OPENFILENAMEW& d, DWORD* e) { return cancelled(d, e); }).empty());
  EXPECT_EQ(cancelled.shown, 1);
}

// Chosen files whose names GBK cannot hold come through whole: the program's form of each path
// names the very file the dialog chose, and turns back into the dialog's path unchanged.
TEST(AskForFiles, NamesGbkCannotHoldComeThroughWhole) {
  travik::testing::ScopedTempDir dir;
  const Paths names = {L"\xD83D\xDE00.txt", L"\xD55C\xAD6D.txt", L"\xD840\xDC00 \x7B2C\x4E00\x5377.txt",
                       L"Espa\x00F1" L"a.txt"};
  const std::vector<std::string> utf8_names = {"😀.txt", "한국.txt", "𠀀 第一卷.txt", "España.txt"};
  for (size_t i = 0; i < utf8_names.size(); ++i) {
    ASSERT_TRUE(travik::testing::WriteFileBytes(dir.Join(utf8_names[i]), std::string(i + 1, 'x')));
  }
  OPENFILENAMEW settings = {};
  settings.lStructSize = sizeof(settings);
  settings.Flags = OFN_ALLOWMULTISELECT;
  FakeDialog fake(Selection(Wide(dir.path()), names));
  const Paths chosen =
      AskForFiles(settings, [&fake](OPENFILENAMEW& d, DWORD* e) { return fake(d, e); });
  ASSERT_EQ(chosen.size(), names.size());
  for (size_t i = 0; i < chosen.size(); ++i) {
    const std::string path = Utf8(chosen[i]);
    EXPECT_EQ(path, dir.Join(utf8_names[i]));
    EXPECT_EQ(Wide(path), chosen[i]);
    EXPECT_EQ(FileSizeOf(path), static_cast<int64_t>(i + 1)) << path;
    EXPECT_EQ(FileNamePart(path), utf8_names[i]);
  }
  // A lone surrogate (a name no system would give, pasted text that is) keeps its form both ways.
  const std::wstring lone = L"a\xD800" L"b\xDC00";
  EXPECT_EQ(Wide(Utf8(lone)), lone);
}

}  // namespace
}  // namespace travik::ui
