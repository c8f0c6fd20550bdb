// What a job checks before it deletes or replaces a source, and sources that are streams.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>

#include "files/files.h"
#include "tests/test_util.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace travik {
namespace {

using testing::ReadFileBytes;
using testing::ScopedTempDir;
using testing::WriteFileBytes;

TEST(FileStamp, TellsAnyChangeToTheFileAPathNames) {
  ScopedTempDir dir;
  const std::string a = dir.Join("a.txt");
  const std::string b = dir.Join("b.txt");
  ASSERT_TRUE(WriteFileBytes(a, "text"));
  ASSERT_TRUE(WriteFileBytes(b, "more"));
  FileStamp stamp = StampOf(a);
  EXPECT_TRUE(stamp.regular);
  EXPECT_EQ(stamp.size, 4);
  EXPECT_EQ(stamp.identity, FileIdentity(a));
  EXPECT_TRUE(UnchangedSince(stamp, a));
  EXPECT_TRUE(UnchangedSince(stamp, dir.path() + kPathSeparator + "." + kPathSeparator + "a.txt"));
  EXPECT_FALSE(UnchangedSince(stamp, b));  // another file, same size

  ASSERT_TRUE(WriteFileBytes(a, "text, and a line appended"));
  EXPECT_FALSE(UnchangedSince(stamp, a));

  // Replaced by a file of the same size: the path names another file now.
  stamp = StampOf(a);
  ASSERT_TRUE(WriteFileBytes(b, std::string(static_cast<size_t>(stamp.size), 'x')));
  std::filesystem::rename(testing::NativePath(b), testing::NativePath(a));
  EXPECT_FALSE(UnchangedSince(stamp, a));

  // Gone, or never there; a folder is never taken for an unchanged file.
  stamp = StampOf(a);
  ASSERT_TRUE(RemoveFile(a));
  EXPECT_FALSE(UnchangedSince(stamp, a));
  EXPECT_TRUE(StampOf(a).identity.empty());
  EXPECT_FALSE(UnchangedSince(FileStamp(), a));
  EXPECT_FALSE(StampOf(dir.path()).regular);
  EXPECT_FALSE(UnchangedSince(StampOf(dir.path()), dir.path()));
}

TEST(WriterLock, KeepsOthersFromWritingOnlyWhileHeld) {
  ScopedTempDir dir;
  const std::string a = dir.Join("a.txt");
  ASSERT_TRUE(WriteFileBytes(a, "text"));
  {
    WriterLock lock(a);
    EXPECT_EQ(lock.problem(), "");
    // The job itself still reads the file.
    const SourceText source = LoadSourceText(a);
    EXPECT_TRUE(source.ok);
    EXPECT_EQ(source.text, "text");
#ifdef _WIN32
    EXPECT_EQ(WriteAccessProblem(a), "被其他程序占用");
    lock.Release();
#endif
    EXPECT_EQ(WriteAccessProblem(a), "");
  }
  EXPECT_EQ(WriteAccessProblem(a), "");
  EXPECT_NE(WriterLock(dir.Join("missing.txt")).problem(), "");
}

#ifdef _WIN32
TEST(StreamSource, ADeviceIsRefusedNeverReadAsEmpty) {
  const SourceText source = LoadSourceText("NUL");
  EXPECT_FALSE(source.ok);
  EXPECT_NE(source.error.find("不是普通文件"), std::string::npos) << source.error;
}
#else
TEST(StreamSource, APipeIsReadToItsEndOnceAndKeptForEveryLaterLook) {
  ScopedTempDir dir;
  const std::string fifo = dir.Join("pipe.txt");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // More than a block, and more than the size from which files are mapped.
  std::string text;
  for (int i = 0; text.size() < (size_t{3} << 20); ++i) text += "第" + std::to_string(i) + "行\n";
  std::thread writer([&] { EXPECT_TRUE(WriteFileBytes(fifo, text)); });
  EXPECT_EQ(FileSizeOf(fifo), static_cast<int64_t>(text.size()));  // read now, to its end
  writer.join();
  for (int look = 0; look < 2; ++look) {
    const SourceText source = LoadSourceText(fifo);
    ASSERT_TRUE(source.ok) << source.error;
    EXPECT_EQ(source.file_size, static_cast<int64_t>(text.size()));
    EXPECT_TRUE(source.text == text);
    EXPECT_EQ(source.encoding, Encoding::kUtf8);
  }
  const FileStamp stamp = StampOf(fifo);
  EXPECT_FALSE(stamp.regular);
  EXPECT_FALSE(UnchangedSince(stamp, fifo));  // never deleted nor replaced as a file

  // /dev/null is a device that really is empty.
  const SourceText null = LoadSourceText("/dev/null");
  EXPECT_TRUE(null.ok);
  EXPECT_EQ(null.file_size, 0);
}
#endif

}  // namespace
}  // namespace travik
