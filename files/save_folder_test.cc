#include "files/save_folder.h"

#include <gtest/gtest.h>

#include "files/files.h"
#include "text/text.h"
#include "tests/test_util.h"

namespace travik {
namespace {

using testing::ScopedTempDir;
using testing::WriteFileBytes;

TEST(PrepareSaveFolder, MakesEveryMissingLevelOrNamesTheFolderAndTheCause) {
  ScopedTempDir dir;
  const std::string sep = kPathSeparator;

  // Three missing levels are all made, with or without a trailing separator; nothing is left
  // behind in them by the check.
  const std::string deep = dir.Join(JoinText("甲", sep, "乙", sep, "丙"));
  EXPECT_EQ(PrepareSaveFolder(deep), "");
  EXPECT_TRUE(FolderExists(deep));
  EXPECT_TRUE(FileNamesIn(deep).empty());
  const std::string deeper = JoinText(deep, sep, "丁", sep);
  EXPECT_EQ(PrepareSaveFolder(deeper), "");
  EXPECT_TRUE(FolderExists(JoinText(deep, sep, "丁")));
  // An existing folder is ready as it is.
  EXPECT_EQ(PrepareSaveFolder(dir.path()), "");
  EXPECT_TRUE(FileNamesIn(dir.path()).empty());

  // A file where the folder or one of its levels should be: named, and nothing made below it.
  const std::string file = dir.Join("文件.txt");
  ASSERT_TRUE(WriteFileBytes(file, "x"));
  std::string message = PrepareSaveFolder(file);
  EXPECT_NE(message.find(file), std::string::npos) << message;
  EXPECT_NE(message.find("不是文件夹"), std::string::npos) << message;
  message = PrepareSaveFolder(JoinText(file, sep, "子", sep, "孙"));
  EXPECT_NE(message.find(file), std::string::npos) << message;
  EXPECT_NE(message.find("不是文件夹"), std::string::npos) << message;
  EXPECT_EQ(FileSizeOf(file), 1);

  EXPECT_FALSE(PrepareSaveFolder("").empty());

#ifdef _WIN32
  // A level named after a device is the device on Windows: said so, nothing made.
  for (const char* device : {"nul", "COM1", "aux.txt"}) {
    message = PrepareSaveFolder(JoinText(dir.Join(device), sep, "子"));
    EXPECT_NE(message.find("设备名"), std::string::npos) << message;
  }
  EXPECT_TRUE(FileNamesIn(dir.path()).size() == 1);  // 文件.txt alone
#endif
}

}  // namespace
}  // namespace travik
