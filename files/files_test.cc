#include "files/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "text/text.h"
#include "files/file_entry.h"
#include "files/write_behind.h"
#include "tests/test_util.h"

namespace travik {
namespace {

using testing::ReadFileBytes;
using testing::ScopedTempDir;
using testing::WriteFileBytes;
using testing::operator""_gbk;

std::string Bytes(std::string_view path) {
  std::string bytes;
  EXPECT_TRUE(ReadFileBytes(path, &bytes)) << path;
  return bytes;
}

TEST(ReadTextFromFile, StopsAtNulAndEofBytesOutsideCharacters) {
  ScopedTempDir dir;
  std::string path = dir.Join("a.txt");
  ASSERT_TRUE(WriteFileBytes(path, std::string("ab\x1A" "cd")));
  FileNumber f = OpenFile(path);
  ASSERT_NE(f, 0);
  ReadInfo info;
  EXPECT_EQ(ReadTextFromFile(f, &info), "ab");
  EXPECT_TRUE(info.cut_short);
  EXPECT_FALSE(info.half_character);
  EXPECT_EQ(FilePosition(f), 2);
  EXPECT_EQ(ReadTextFromFile(f), "");  // left on the terminator
  CloseFile(f);

  // A 0x1A after a lead byte belongs to the character; a 0x00 after one ends the text.
  ASSERT_TRUE(WriteFileBytes(path, std::string("\x81\x1A" "x\xB0\0yz", 6)));
  f = OpenFile(path);
  EXPECT_EQ(ReadTextFromFile(f, &info), "\x81\x1A" "x");
  EXPECT_EQ(FilePosition(f), 4);  // just after the lead byte
  CloseFile(f);

  // A lone lead byte at the end is dropped, the position is the end of the file.
  ASSERT_TRUE(WriteFileBytes(path, "ab\xB0"));
  f = OpenFile(path);
  EXPECT_EQ(ReadTextFromFile(f, &info), "ab");
  EXPECT_EQ(FilePosition(f), 3);
  EXPECT_TRUE(info.cut_short);
  EXPECT_TRUE(info.half_character);
  EXPECT_EQ(ReadTextFromFile(f), "");  // at the end
  ASSERT_TRUE(SeekFile(f, 1));
  EXPECT_EQ(ReadTextFromFile(f, &info), "b");
  CloseFile(f);

  ASSERT_TRUE(WriteFileBytes(path, "中文\r\n"_gbk));
  f = OpenFile(path);
  EXPECT_EQ(ReadTextFromFile(f, &info), "中文\r\n"_gbk);
  EXPECT_FALSE(info.cut_short);
  CloseFile(f);
  EXPECT_EQ(ReadTextFromFile(f), "");  // closed number
  EXPECT_EQ(ReadTextFromFile(0), "");
}

// Reading from `start` by the steps as written: character by character from the position.
struct ModelRead {
  std::string text;
  int64_t position;
  bool cut_short;
};
ModelRead ReadBySteps(const std::string& file, size_t start) {
  size_t i = start;
  while (i < file.size()) {
    unsigned char c = static_cast<unsigned char>(file[i]);
    if (c == 0x00 || c == 0x1A)
      return {file.substr(start, i - start), static_cast<int64_t>(i), true};
    if (c >= 0x80) {
      if (i + 1 >= file.size() || file[i + 1] == '\0') {
        return {file.substr(start, i - start), static_cast<int64_t>(i + 1), true};
      }
      i += 2;
    } else {
      i += 1;
    }
  }
  return {file.substr(start), static_cast<int64_t>(file.size()), false};
}

TEST(ReadTextFromFile, MatchesTheStepsOnRandomBytesFromRandomPositions) {
  ScopedTempDir dir;
  std::string path = dir.Join("r.txt");
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    // Long runs of bytes >= 0x80, some ASCII, rare terminators (rarer in some files).
    std::string file;
    const int rare = 1 + pick(200);
    for (int n = pick(3000); n > 0; --n) {
      int k = pick(100 + rare);
      if (k < 60) {
        file.push_back(static_cast<char>(0x80 + pick(0x80)));
      } else if (k < 100) {
        file.push_back(static_cast<char>(0x20 + pick(0x60)));
      } else {
        file.push_back(pick(3) == 0 ? '\0' : '\x1A');
      }
    }
    ASSERT_TRUE(WriteFileBytes(path, file));
    FileNumber f = OpenFile(path);
    ASSERT_NE(f, 0);
    for (int trial = 0; trial < 40; ++trial) {
      size_t start = file.empty() ? 0 : static_cast<size_t>(pick(static_cast<int>(file.size())));
      if (trial == 0) start = 0;
      SCOPED_TRACE("seed " + std::to_string(seed) + " start " + std::to_string(start));
      ModelRead want = ReadBySteps(file, start);
      ASSERT_TRUE(SeekFile(f, static_cast<int64_t>(start)));
      ReadInfo info;
      EXPECT_EQ(ReadTextFromFile(f, &info), want.text);
      EXPECT_EQ(FilePosition(f), want.position);
      EXPECT_EQ(info.cut_short, want.cut_short);
    }
    CloseFile(f);
  }
}

TEST(InsertTextIntoFile, MovesTheTailAcrossManyBlocks) {
  ScopedTempDir dir;
  std::string path = dir.Join("big.txt");
  std::string original;
  for (int i = 0; i < 10000; ++i) original.push_back(static_cast<char>('a' + i % 26));
  ASSERT_TRUE(WriteFileBytes(path, original));
  FileNumber f = OpenFile(path);
  ASSERT_NE(f, 0);
  ASSERT_TRUE(SeekFile(f, 3));
  ASSERT_TRUE(InsertTextIntoFile(f, "XY"));
  EXPECT_EQ(FilePosition(f), 5);
  ASSERT_TRUE(InsertTextIntoFile(f, "Z"));  // consecutive insertions appear in call order
  std::string expected = original.substr(0, 3) + "XYZ" + original.substr(3);
  CloseFile(f);
  EXPECT_EQ(Bytes(path), expected);

  // At the start, in the middle of a block boundary, at the end, and past the end.
  f = OpenFile(path);
  ASSERT_TRUE(InsertTextIntoFile(f, "S"));
  expected = "S" + expected;
  ASSERT_TRUE(SeekFile(f, 8192));
  ASSERT_TRUE(InsertTextIntoFile(f, "中"_gbk));
  expected.insert(8192, "中"_gbk);
  ASSERT_TRUE(SeekFile(f, static_cast<int64_t>(expected.size())));
  ASSERT_TRUE(InsertTextIntoFile(f, "END"));
  expected += "END";
  EXPECT_TRUE(InsertTextIntoFile(f, ""));
  ASSERT_TRUE(SeekFile(f, static_cast<int64_t>(expected.size()) + 2));
  ASSERT_TRUE(InsertTextIntoFile(f, "G"));
  expected += std::string(2, '\0') + "G";
  CloseFile(f);
  EXPECT_EQ(Bytes(path), expected);
  EXPECT_FALSE(InsertTextIntoFile(f, "x"));
}

TEST(OpenFile, RefusesReadOnlyMissingAndEmptyPaths) {
  ScopedTempDir dir;
  std::string path = dir.Join("ro.txt");
  ASSERT_TRUE(WriteFileBytes(path, "x"));
  ASSERT_TRUE(testing::SetReadOnly(path, true));
  EXPECT_EQ(OpenFile(path), 0);
  EXPECT_FALSE(WriteWholeFile(path, "y"));
  EXPECT_EQ(Bytes(path), "x");
  ASSERT_TRUE(testing::SetReadOnly(path, false));
  EXPECT_EQ(OpenFile(dir.Join("missing.txt")), 0);
  EXPECT_EQ(OpenFile(""), 0);
  EXPECT_EQ(OpenFile(dir.path()), 0);
}

TEST(OpenFile, AnOpenFileCannotBeRemovedOrOverwritten) {
  ScopedTempDir dir;
  std::string path = dir.Join("open.txt");
  ASSERT_TRUE(WriteFileBytes(path, "abc"));
  FileNumber f = OpenFile(path);
  ASSERT_NE(f, 0);
  FileNumber g = OpenFile(path);  // shared opening is allowed
  ASSERT_NE(g, 0);
  EXPECT_NE(f, g);
  EXPECT_FALSE(RemoveFile(path));
  EXPECT_FALSE(WriteWholeFile(path, "new"));
  EXPECT_FALSE(ReplaceWholeFile(path, {"new"}));
  EXPECT_EQ(Bytes(path), "abc");
  CloseFile(f);
  EXPECT_FALSE(RemoveFile(path));  // g still holds it
  EXPECT_EQ(OpenFileCount(), 1);
  CloseAllFiles();
  EXPECT_EQ(OpenFileCount(), 0);
  EXPECT_TRUE(RemoveFile(path));
  EXPECT_EQ(FileSizeOf(path), -1);
}

TEST(WriteWholeFile, WritesPartsInOrderAndReplacesAtomically) {
  ScopedTempDir dir;
  std::string path = dir.Join("w.txt");
  EXPECT_TRUE(WriteWholeFile(path, "", std::string(""), ""));
  EXPECT_EQ(FileSizeOf(path), 0);
  EXPECT_TRUE(WriteWholeFile(path, "ab", "", std::string("c\0d", 3)));
  EXPECT_EQ(Bytes(path), std::string("abc\0d", 5));
  EXPECT_FALSE(WriteWholeFile("", "x"));
  EXPECT_FALSE(WriteWholeFile(dir.Join("no") + kPathSeparator + "x.txt", "x"));
  EXPECT_TRUE(ReplaceWholeFile(path, {"new ", "text"}));
  EXPECT_EQ(Bytes(path), "new text");
  EXPECT_FALSE(ReplaceWholeFile(dir.Join("no") + kPathSeparator + "x.txt", {"x"}));
  // Nothing but the file itself is left in the folder.
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(testing::NativePath(dir.path()))) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

// The blocks come in order and join to the file, whatever the block size (the next block is read
// while one is looked at); a `take` that says stop gets no more; a missing file is an error.
TEST(ReadFileInBlocks, BlocksJoinToTheFileAndStopWhenTold) {
  ScopedTempDir dir;
  std::mt19937 rng(404);
  for (const size_t size : {size_t{0}, size_t{1}, size_t{4096}, size_t{100000}, size_t{262144}}) {
    std::string file(size, '\0');
    for (char& c : file) c = static_cast<char>(rng());
    const std::string path = dir.Join("b" + std::to_string(size) + ".txt");
    ASSERT_TRUE(WriteFileBytes(path, file));
    for (const size_t block : {size_t{1}, size_t{7}, size_t{4096}, size_t{65536}, size_t{1} << 20}) {
      if (block < 100 && size > 5000) continue;  // tens of thousands of calls: slow for nothing
      SCOPED_TRACE(std::to_string(size) + " bytes in blocks of " + std::to_string(block));
      std::string joined, error;
      size_t calls = 0;
      ASSERT_TRUE(ReadFileInBlocks(path, block, [&](std::string_view bytes) {
        ++calls;
        EXPECT_LE(bytes.size(), block);
        EXPECT_FALSE(bytes.empty());
        joined.append(bytes);
        if (block >= 4096) {
          // The next block is read meanwhile, into a buffer of its own: this one stays as it is.
          std::this_thread::sleep_for(std::chrono::milliseconds(2));
          EXPECT_TRUE(bytes == std::string_view(joined).substr(joined.size() - bytes.size()));
        }
        return true;
      }, &error)) << error;
      EXPECT_EQ(joined, file);
      EXPECT_EQ(calls, (size + block - 1) / block);
      // Told to stop after the second block: no third call.
      calls = 0;
      joined.clear();
      ASSERT_TRUE(ReadFileInBlocks(path, block, [&](std::string_view bytes) {
        joined.append(bytes);
        return ++calls < 2;
      }, &error));
      EXPECT_EQ(calls, std::min<size_t>(2, (size + block - 1) / block));
      EXPECT_EQ(joined, file.substr(0, std::min(size, 2 * block)));
    }
  }
  std::string error;
  EXPECT_FALSE(ReadFileInBlocks(dir.Join("missing.txt"), 10, [](std::string_view) { return true; },
                                &error));
  EXPECT_FALSE(error.empty());
}

TEST(ReplacementFile, ReplacesOnlyWhenCommitted) {
  ScopedTempDir dir;
  std::string path = dir.Join("r.txt");
  ASSERT_TRUE(WriteFileBytes(path, "old"));
  {
    ReplacementFile abandoned(path);
    ASSERT_TRUE(abandoned.ok());
    EXPECT_TRUE(abandoned.Append("half"));
  }
  EXPECT_EQ(Bytes(path), "old");
  {
    ReplacementFile file(path);
    ASSERT_TRUE(file.ok());
    EXPECT_TRUE(file.Append("new "));
    EXPECT_TRUE(file.Append(""));
    EXPECT_TRUE(file.Append("中文"_gbk));
    EXPECT_EQ(file.size(), 8);
    EXPECT_EQ(Bytes(path), "old");  // not before the commit
    EXPECT_TRUE(file.Commit());
    EXPECT_FALSE(file.Append("late"));
  }
  EXPECT_EQ(Bytes(path), "new 中文"_gbk);
  // A target open in the table cannot be replaced; the original stays.
  FileNumber f = OpenFile(path);
  {
    ReplacementFile blocked(path);
    ASSERT_TRUE(blocked.ok());
    blocked.Append("x");
    EXPECT_FALSE(blocked.Commit());
  }
  CloseFile(f);
  EXPECT_EQ(Bytes(path), "new 中文"_gbk);
  EXPECT_FALSE(ReplacementFile(dir.Join("no") + kPathSeparator + "x.txt").ok());
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(testing::NativePath(dir.path()))) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1);  // no temporary file left behind
}

// Runs written behind and bytes written at once land in the order they were appended, and a
// file abandoned with runs still queued leaves the target as it was.
TEST(ReplacementFile, BytesAppendedLaterKeepTheirPlace) {
  ScopedTempDir dir;
  const std::string path = dir.Join("r.txt");
  ASSERT_TRUE(WriteFileBytes(path, "old"));
  // A source large enough to be mapped: its bytes are written at once, after those queued.
  const std::string big_path = dir.Join("big.txt");
  std::string big_text;
  while (big_text.size() < (size_t{2} << 20)) big_text += "\xD6\xD0\xCE\xC4 text\r\n";
  ASSERT_TRUE(WriteFileBytes(big_path, big_text));
  const SourceText big = LoadSourceText(big_path);
  ASSERT_TRUE(big.ok) << big.error;
#ifdef __linux__
  EXPECT_FALSE(big.text.Fixed());
#endif
  std::mt19937 rng(3);
  std::string expected;
  {
    ReplacementFile file(path);
    ASSERT_TRUE(file.ok());
    for (int i = 0; i < 300; ++i) {
      std::string run(rng() % 5000, static_cast<char>('A' + i % 26));
      expected += run;
      if (i % 100 == 50) {
        SourceBytes part = big.text;
        part.remove_prefix(i);
        expected += part.view();
        ASSERT_TRUE(file.AppendLater(SourceBytes(std::move(run))));
        ASSERT_TRUE(file.AppendLater(part));
      } else if (rng() % 3 == 0) {
        ASSERT_TRUE(file.Append(run));
      } else {
        ASSERT_TRUE(file.AppendLater(SourceBytes(std::move(run))));
      }
    }
    EXPECT_EQ(file.size(), static_cast<int64_t>(expected.size()));
    EXPECT_EQ(Bytes(path), "old");
    ASSERT_TRUE(file.Commit());
    EXPECT_FALSE(file.AppendLater(SourceBytes("late")));
  }
  EXPECT_EQ(Bytes(path), expected);
  {
    ReplacementFile abandoned(path);
    for (int i = 0; i < 50; ++i) abandoned.AppendLater(SourceBytes(std::string(10000, 'z')));
  }
  EXPECT_EQ(Bytes(path), expected);
  EXPECT_EQ(FileNamesIn(dir.path()).size(), 2u);  // no temporary file left behind
}

// A text larger than the room for bytes waiting (a source read whole into memory, as on Windows)
// is written before AppendLater returns: held while the next source is read, two of them would
// be in memory at once. A write that fails behind fails the commit, and the target stays.
TEST(ReplacementFile, LargeRunsAreNotHeldAndFailedWritesFailTheCommit) {
  ScopedTempDir dir;
  const std::string path = dir.Join("r.txt");
  ASSERT_TRUE(WriteFileBytes(path, "old"));
  std::shared_ptr<BufferPool> pool = BufferPool::Make(4);
  std::string expected;
  {
    ReplacementFile file(path);
    ASSERT_TRUE(file.ok());
    for (const size_t length : {size_t{100}, size_t{9} << 20, size_t{5}, size_t{20} << 20}) {
      std::string run(length, static_cast<char>('a' + length % 26));
      expected += run;
      ASSERT_TRUE(file.AppendLater(pool->Lend(std::move(run))));
      if (length > (size_t{8} << 20)) {
        size_t most = 0;  // the string is back in the pool already: not held
        for (int k = 0; k < 4; ++k) most = std::max(most, pool->Get().capacity());
        EXPECT_GE(most, length);
      }
    }
    ASSERT_TRUE(file.Commit());
  }
  EXPECT_EQ(Bytes(path), expected);
#ifdef __linux__
  // Writes past a size limit fail (EFBIG), as on a full disk.
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  void (*saved_handler)(int) = signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = saved;
  limit.rlim_cur = 1 << 20;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  bool appended = true, committed = true;
  {
    ReplacementFile file(path);
    for (int i = 0; i < 40 && appended; ++i) {
      appended = file.AppendLater(SourceBytes(std::string(100000, 'x')));
    }
    committed = file.Commit();
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, saved_handler);
  EXPECT_FALSE(committed);
  EXPECT_EQ(Bytes(path), expected);
  EXPECT_EQ(FileNamesIn(dir.path()).size(), 1u);  // no temporary file left behind
#endif
}

TEST(Folders, MakeOneLevelAndTestExistence) {
  ScopedTempDir dir;
  std::string sub = dir.Join("分割后的文件");
  EXPECT_FALSE(FolderExists(sub));
  EXPECT_TRUE(MakeDirectory(sub));
  EXPECT_FALSE(MakeDirectory(sub));
  EXPECT_TRUE(FolderExists(sub));
  EXPECT_FALSE(MakeDirectory(dir.Join("a") + kPathSeparator + "b"));
  EXPECT_EQ(FileSizeOf(dir.Join("missing")), -1);
  std::string file = sub + kPathSeparator + "第一章.txt";
  EXPECT_TRUE(WriteWholeFile(file, "中文"_gbk));
  EXPECT_EQ(FileSizeOf(file), 4);
  EXPECT_FALSE(FolderExists(file));
  EXPECT_TRUE(SameFile(file, sub + kPathSeparator + "." + kPathSeparator + "第一章.txt"));
  EXPECT_FALSE(SameFile(file, sub));
  std::string other = sub + kPathSeparator + "第二章.txt";
  EXPECT_TRUE(WriteWholeFile(other, "中文"_gbk));
  EXPECT_FALSE(SameFile(file, other));  // same size and bytes, another file
  EXPECT_FALSE(FileIdentity(file).empty());
  EXPECT_EQ(FileIdentity(file), FileIdentity(sub + kPathSeparator + "." + kPathSeparator + "第一章.txt"));
  EXPECT_NE(FileIdentity(file), FileIdentity(other));
  EXPECT_EQ(FileIdentity(dir.Join("missing")), "");
  EXPECT_FALSE(ProgramDirectory().empty());
  std::string temp = TempDirectory();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), kPathSeparator[0]);
}

int EntriesIn(const std::string& folder) {
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(testing::NativePath(folder))) {
    (void)e;
    ++entries;
  }
  return entries;
}

TEST(Paths, OnlyAPathWithANulFailsAndFailsCleanly) {
  ScopedTempDir dir;
  const std::string bad = dir.Join(std::string("bad\0.txt", 8));
  EXPECT_FALSE(PathIsRepresentable(bad));
  EXPECT_FALSE(WriteWholeFile(bad, "x"));
  EXPECT_FALSE(ReplaceWholeFile(bad, {"x"}));
  EXPECT_FALSE(ReplacementFile(bad).ok());
  EXPECT_FALSE(MakeDirectory(dir.Join(std::string("\0", 1))));
  EXPECT_EQ(OpenFile(bad), 0);
  EXPECT_EQ(FileSizeOf(bad), -1);
  EXPECT_FALSE(LoadSourceText(bad).ok);
  EXPECT_EQ(EntriesIn(dir.path()), 0);  // not even "bad", the part before the NUL
  // Every name GBK cannot hold can be handed to the system.
  for (const char* name : {"😀.txt", "한국.txt", "𠀀.txt", "España.txt", "bad\x81\x7F.txt"}) {
    EXPECT_TRUE(PathIsRepresentable(dir.Join(name))) << name;
  }
  // 乗 is 81 5C in GBK: as UTF-8 no byte of it is a separator, and the name is one file.
  const std::string name = dir.Join("乗.txt");
  EXPECT_TRUE(WriteWholeFile(name, "ok"));
  EXPECT_EQ(FileSizeOf(name), 2);
  EXPECT_EQ(FileNamesIn(dir.path()), (std::vector<std::string>{"乗.txt"}));
}

// Names no code page holds are listed and are files like any other: read, written, replaced,
// in folders of such names too, and removed. Nothing is skipped, nothing renamed.
TEST(Paths, NamesGbkCannotHoldAreListedAndWorkedOn) {
  ScopedTempDir dir;
  const std::vector<std::string> names = {"😀.txt", "한국.txt", "𠀀 第一章.txt", "España.txt",
                                          "第二章.txt", "Ελληνικά.txt", "\xE4\xB8\x81\xEF\xBC\x8F.txt"};
  for (const std::string& name : names) {
    ASSERT_TRUE(WriteWholeFile(dir.Join(name), "中文"_gbk, name)) << name;
  }
  ASSERT_TRUE(MakeDirectory(dir.Join("😀 folder")));
  ASSERT_TRUE(WriteFileBytes(dir.Join("😀 folder") + kPathSeparator + "in.txt", "x"));
  std::vector<std::string> listed = FileNamesIn(dir.path());
  std::sort(listed.begin(), listed.end());
  std::vector<std::string> sorted_names = names;
  std::sort(sorted_names.begin(), sorted_names.end());
  EXPECT_EQ(listed, sorted_names);  // the folder is no file
  EXPECT_EQ(FileNamesIn(dir.Join("😀 folder")), (std::vector<std::string>{"in.txt"}));
  EXPECT_TRUE(FolderExists(dir.Join("😀 folder")));

  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::string path = dir.Join(name);
    const std::string text = "中文"_gbk + name;
    EXPECT_EQ(FileSizeOf(path), static_cast<int64_t>(text.size()));
    EXPECT_EQ(Bytes(path), text);  // by the system's own calls, under the same name
    EXPECT_EQ(WriteAccessProblem(path), "");
    const SourceText source = LoadSourceText(path);
    ASSERT_TRUE(source.ok) << source.error;
    EXPECT_TRUE(source.text == text);
    EXPECT_FALSE(FileIdentity(path).empty());
    EXPECT_TRUE(SameFile(path, dir.path() + kPathSeparator + "." + kPathSeparator + name));
    // Read block by block and through the table.
    std::string joined, error;
    EXPECT_TRUE(ReadFileInBlocks(path, 3, [&](std::string_view b) {
      joined.append(b);
      return true;
    }, &error)) << error;
    EXPECT_EQ(joined, text);
    FileNumber f = OpenFile(path);
    ASSERT_NE(f, 0);
    EXPECT_FALSE(RemoveFile(path));  // open
    ASSERT_TRUE(SeekFile(f, 2));
    EXPECT_TRUE(InsertTextIntoFile(f, "+"));
    CloseFile(f);
    EXPECT_EQ(Bytes(path), text.substr(0, 2) + "+" + text.substr(2));
    // Replaced whole, and piece by piece, with nothing left beside it.
    EXPECT_TRUE(ReplaceWholeFile(path, {"new ", name}));
    EXPECT_EQ(Bytes(path), "new " + name);
    {
      ReplacementFile out(path);
      ASSERT_TRUE(out.ok());
      EXPECT_TRUE(out.Append(name));
      EXPECT_TRUE(out.AppendLater(SourceBytes(std::string("!"))));
      EXPECT_TRUE(out.Commit());
    }
    EXPECT_EQ(Bytes(path), name + "!");
    EXPECT_EQ(EntriesIn(dir.path()), static_cast<int>(names.size()) + 1);
    // A file of the same name in the folder of such a name.
    const std::string inner = dir.Join("😀 folder") + kPathSeparator + name;
    EXPECT_TRUE(WriteWholeFile(inner, name));
    EXPECT_EQ(Bytes(inner), name);
    EXPECT_TRUE(RemoveFile(inner));
  }
  for (const std::string& name : names) {
    EXPECT_TRUE(RemoveFile(dir.Join(name))) << name;
    EXPECT_EQ(FileSizeOf(dir.Join(name)), -1) << name;
  }
  EXPECT_TRUE(FileNamesIn(dir.path()).empty());
  EXPECT_TRUE(RemoveFile(dir.Join("😀 folder") + kPathSeparator + "in.txt"));
  EXPECT_TRUE(RemoveEmptyFolder(dir.Join("😀 folder")));
  EXPECT_EQ(EntriesIn(dir.path()), 0);
}

// A file whose name is as long as the system allows (255 bytes on POSIX, 255 UTF-16 units on
// Windows) is replaced like any other: its temporary file's name, longer than its own, would not
// fit, and an insertion in place or a merge onto it failed for that alone.
TEST(Paths, NamesAsLongAsTheSystemAllowsAreReplaced) {
  ScopedTempDir dir;
  std::vector<std::string> names = {std::string(251, 'a') + ".txt", std::string(240, 'b') + ".txt"};
#ifndef _WIN32
  std::string chinese;
  for (int i = 0; i < 83; ++i) chinese += "长";
  names.push_back(chinese + ".txt");  // 253 bytes
  names.push_back(std::string(248, 'c') + "😀");  // a character the cut must not split
#endif
  for (const std::string& name : names) {
    SCOPED_TRACE(name.size());
    const std::string path = dir.Join(name);
    ASSERT_TRUE(WriteWholeFile(path, "old"));
    EXPECT_TRUE(ReplaceWholeFile(path, {"new ", "text"}));
    EXPECT_EQ(Bytes(path), "new text");
    {
      ReplacementFile out(path);
      ASSERT_TRUE(out.ok());
      EXPECT_TRUE(out.Append("again"));
      EXPECT_EQ(EntriesIn(dir.path()), 2);  // the file and its temporary one
    }  // abandoned: the file stays, the temporary file goes
    EXPECT_EQ(Bytes(path), "new text");
    EXPECT_EQ(EntriesIn(dir.path()), 1);
    EXPECT_TRUE(RemoveFile(path));
  }
}

#ifndef _WIN32
// A name on the disk whose bytes are no UTF-8 (GBK, from a system that wrote names in it) is
// listed as its bytes, and those bytes reach the same file again.
TEST(Paths, NamesThatAreNoUtf8AreTheirOwnBytes) {
  ScopedTempDir dir;
  const std::string gbk_name = "第一章.txt"_gbk;
  const std::string odd_name = "bad\x81\x7F\xFF.txt";
  for (const std::string& name : {gbk_name, odd_name}) {
    std::ofstream(testing::NativePath(dir.Join(name)), std::ios::binary) << "text";
  }
  std::vector<std::string> listed = FileNamesIn(dir.path());
  std::sort(listed.begin(), listed.end());
  std::vector<std::string> want = {gbk_name, odd_name};
  std::sort(want.begin(), want.end());
  EXPECT_EQ(listed, want);
  for (const std::string& name : listed) {
    const std::string path = dir.Join(name);
    EXPECT_EQ(FileSizeOf(path), 4);
    EXPECT_TRUE(ReplaceWholeFile(path, {"new"}));
    EXPECT_EQ(Bytes(path), "new");
    EXPECT_TRUE(RemoveFile(path));
  }
  EXPECT_EQ(EntriesIn(dir.path()), 0);
}
#endif

// A file's name, its name without the extension, and the key under which Windows takes two
// names for one file, on UTF-8 names.
TEST(FileNames, PartsAndKeysOfUtf8Names) {
  const std::string sep = kPathSeparator;
  // No byte after a multi-byte character is taken into it: 中 is E4 B8 AD, 乗 E4 B9 97.
  EXPECT_EQ(FileNamePart("a" + sep + "中" + sep + "x.txt"), "x.txt");
  EXPECT_EQ(FileNamePart("小说" + sep + "乗" + sep + "😀.txt"), "😀.txt");
  EXPECT_EQ(FileNamePart("España.txt"), "España.txt");
  EXPECT_EQ(FileNamePart("中" + sep), "");
  EXPECT_EQ(BaseName("a" + sep + "中" + sep + "第一章.txt"), "第一章");
  EXPECT_EQ(BaseName("한국.tar.gz"), "한국.tar");
  EXPECT_EQ(BaseName("x" + sep + "𠀀"), "𠀀");
  EXPECT_EQ(BaseName("x" + sep + ".txt"), ".txt");
  EXPECT_EQ(BaseName("中.d" + sep + "小说"), "小说");  // a dot in a folder is no extension
#ifdef _WIN32
  EXPECT_EQ(FileNamePart("a/中\\b/x.txt"), "x.txt");
#endif
  // Letters Windows pairs compare equal, in every alphabet; nothing else changes.
  const std::pair<const char*, const char*> same[] = {
      {"ABC.TXT", "abc.txt"}, {"Ａ", "ａ"}, {"Ｚ", "ｚ"}, {"Α", "α"}, {"Ω", "ω"}, {"Я", "я"},
      {"Ё", "ё"}, {"É", "é"}, {"À", "à"}, {"Þ", "þ"}, {"Ā", "ā"}, {"Ž", "ž"}, {"Ĺ", "ĺ"},
      {"Ň", "ň"}, {"Ŋ", "ŋ"}, {"Ⅳ", "ⅳ"}, {"ESPAÑA.TXT", "españa.txt"},
      {"第一章Ａ.TXT", "第一章ａ.txt"}, {"中A", "中a"}};
  for (const auto& [upper, lower] : same) {
    EXPECT_EQ(FileNameKey(upper), FileNameKey(lower)) << upper << " " << lower;
  }
  const std::pair<const char*, const char*> different[] = {
      {"章", "竟"}, {"×", "÷"}, {"ß", "SS"}, {"A", "Ａ"}, {"a", "ａ"}, {"α", "a"},
      {"中", "\xD6\xD0"}, {"😀", "😁"}, {"한", "韩"}};
  for (const auto& [a, b] : different) {
    EXPECT_NE(FileNameKey(a), FileNameKey(b)) << a << " " << b;
  }
  // Characters without case, and bytes that are no UTF-8, are kept as they are.
  for (const char* kept : {"章", "第一章.txt", "😀", "𠀀", "한국", "\x81\x7F", "\xE4\xB8", "\xFF" "A"}) {
    std::string want = kept;
    for (char& c : want) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    EXPECT_EQ(FileNameKey(kept), want) << testing::HexBytes(kept);
  }
}

// Names as Windows resolves them: trailing dots and spaces are no part of a name, and device
// names are no files. Checked on every system, so that the names Travik makes are portable.
TEST(FileNames, WindowsRulesForTrailingDotsAndDevices) {
  for (const auto& [a, b] : std::vector<std::pair<std::string, std::string>>{
           {"x.", "x"}, {"x..", "X"}, {"x . .", "x"}, {"小说.", "小说"}, {"x.txt.", "X.TXT"},
           {"Ω ", "ω"}}) {
    EXPECT_EQ(FileNameKey(a), FileNameKey(b)) << a << "|" << b;
  }
  for (const auto& [a, b] : std::vector<std::pair<std::string, std::string>>{
           {"x..txt", "x.txt"}, {".x", "x"}, {" x", "x"}, {"x.(2)", "x(2)"}}) {
    EXPECT_NE(FileNameKey(a), FileNameKey(b)) << a << "|" << b;
  }
  for (const char* device : {"con", "CON", "Prn", "aux", "nul", "NUL.txt", "nul.tar.gz", "nul .txt",
                             "nul.", "nul ", "com1", "COM9.txt", "lpt1", "Lpt9.bat", "aux.中",
                             // Windows reads the Latin-1 superscripts ¹ ² ³ as digits here
                             "com¹", "COM².txt", "lpt³", "Lpt¹.tar.gz"}) {
    EXPECT_TRUE(IsDeviceName(device)) << device;
  }
  for (const char* name : {"nul_", "nul_.txt", "null", "com0", "com10", "lpt", "con1", "xnul",
                           "中nul", ".nul", "", "comA", "nu l", "小说.txt", "com⁴", "lpt⁰",
                           "com¹¹", "con¹"}) {
    EXPECT_FALSE(IsDeviceName(name)) << name;
  }
  const std::pair<const char*, const char*> portable[] = {
      {"nul", "nul_"},     {"NUL.txt", "NUL_.txt"}, {"com1.tar.gz", "com1_.tar.gz"},
      {"nul .txt", "nul_ .txt"}, {"x.", "x"},      {"x. . ", "x"},
      {"con.", "con_"},    {"...", "_"},            {"小说", "小说"},
      {"x..txt", "x..txt"}, {"España", "España"},   {"😀 ", "😀"},
      {"COM².txt", "COM²_.txt"}};
  for (const auto& [name, want] : portable) {
    EXPECT_EQ(PortableName(name), want) << name;
    EXPECT_FALSE(IsDeviceName(PortableName(name))) << name;
  }
  EXPECT_EQ(DeviceNameProblem("nul.txt"), "“nul.txt”是 Windows 的设备名，不能用作文件名，请换一个名字");
}

TEST(LoadSourceText, ReadsAWholeTextOrNone) {
  ScopedTempDir dir;
  std::string path = dir.Join("s.txt");
  // A 0x00 inside: no text, refused whole, naming the byte (counted from 1).
  ASSERT_TRUE(WriteFileBytes(path, std::string("ab\0cd", 5)));
  SourceText s = LoadSourceText(path);
  EXPECT_FALSE(s.ok);
  EXPECT_TRUE(s.refused);
  EXPECT_TRUE(s.text.empty());
  EXPECT_EQ(s.error, "第 3 字节是 0x00，文件不是文本（二进制文件，或未能识别的 UTF-16 文本），未处理");
  EXPECT_EQ(s.file_size, 5);
  EXPECT_EQ(OpenFileCount(), 0);
  // A 0x1A inside is a byte of the text: read whole, and told.
  ASSERT_TRUE(WriteFileBytes(path, "ab\x1A" "cd\x1A" "e"));
  SourceText eof = LoadSourceText(path);
  EXPECT_TRUE(eof.ok && !eof.cut_short);
  EXPECT_EQ(eof.text, "ab\x1A" "cd\x1A" "e");
  EXPECT_EQ(eof.padding, "");
  EXPECT_EQ(eof.notes, std::vector<std::string>{"第 3 字节有 0x1A 控制字符，已原样保留（共 2 个）"});
  // Padding at the very end is left out and told; a DOS end mark alone is padding too.
  ASSERT_TRUE(WriteFileBytes(path, std::string("ab\x1A" "c\x1A\0\x1A", 7)));
  SourceText padded = LoadSourceText(path);
  EXPECT_TRUE(padded.ok && !padded.cut_short);
  EXPECT_EQ(padded.text, "ab\x1A" "c");
  EXPECT_EQ(padded.padding, std::string("\x1A\0\x1A", 3));
  EXPECT_EQ(padded.notes, (std::vector<std::string>{
                              "第 3 字节有 0x1A 控制字符，已原样保留",
                              "文件末尾的 3 个 0x00/0x1A 填充字节不属于文本，已略去"}));
  ASSERT_TRUE(WriteFileBytes(path, "ab\xB0"));
  SourceText half = LoadSourceText(path);
  EXPECT_TRUE(half.cut_short);
  EXPECT_EQ(half.text, "ab");
  EXPECT_NE(half.error.find("不完整"), std::string::npos) << half.error;
  EXPECT_TRUE(half.ends_in_lead_byte);
  EXPECT_EQ(half.trailing_lead, '\xB0');
  // A lead byte before padding waits for no next file: it is dropped and told.
  ASSERT_TRUE(WriteFileBytes(path, std::string("ab\xB0\0", 4)));
  SourceText lead_padded = LoadSourceText(path);
  EXPECT_TRUE(lead_padded.ok && lead_padded.cut_short);
  EXPECT_EQ(lead_padded.text, "ab");
  EXPECT_FALSE(lead_padded.ends_in_lead_byte);
  // A 0x1A right after a lead byte is that character's second byte, not padding.
  ASSERT_TRUE(WriteFileBytes(path, "ab\xB0\x1A\x1A"));
  SourceText trail = LoadSourceText(path);
  EXPECT_TRUE(trail.ok && !trail.cut_short);
  EXPECT_EQ(trail.text, "ab\xB0\x1A");
  EXPECT_EQ(trail.padding, "\x1A");
  SourceText missing = LoadSourceText(dir.Join("none.txt"));
  EXPECT_FALSE(missing.ok);
  EXPECT_NE(missing.error.find("不存在"), std::string::npos) << missing.error;
  SourceText folder = LoadSourceText(dir.path());
  EXPECT_FALSE(folder.ok);
  EXPECT_NE(folder.error.find("是文件夹"), std::string::npos) << folder.error;
}

TEST(LoadSourceText, CarriedLeadByteCompletesTheFirstCharacter) {
  ScopedTempDir dir;
  std::string path = dir.Join("next.txt");
  // The file starts with the second byte of a character whose first byte ended the last file.
  ASSERT_TRUE(WriteFileBytes(path, "\xA1\x5C\xB0"));
  SourceText joined = LoadSourceText(path, "\xB0");
  EXPECT_TRUE(joined.ok);
  EXPECT_EQ(joined.text, "\xB0\xA1\x5C");  // read alone, A1 5C would be one character
  EXPECT_TRUE(joined.ends_in_lead_byte);
  EXPECT_EQ(joined.trailing_lead, '\xB0');
  ASSERT_TRUE(WriteFileBytes(path, "\xA1z"));
  SourceText whole = LoadSourceText(path, "\xB0");
  EXPECT_FALSE(whole.cut_short);
  EXPECT_EQ(whole.text, "\xB0\xA1z");
  // A NUL after the carried byte is a NUL in the text: the file is no text. Its position is
  // the file's own.
  ASSERT_TRUE(WriteFileBytes(path, std::string("\0z", 2)));
  SourceText nul = LoadSourceText(path, "\xB0");
  EXPECT_TRUE(nul.refused);
  EXPECT_EQ(nul.error.rfind("第 1 字节是 0x00", 0), 0u) << nul.error;
  // Padding right after it: the lead byte is dropped.
  ASSERT_TRUE(WriteFileBytes(path, std::string("\0\0", 2)));
  SourceText padding = LoadSourceText(path, "\xB0");
  EXPECT_TRUE(padding.ok && padding.cut_short);
  EXPECT_EQ(padding.text, "");
}

// Sources in UTF-8, GB18030 and UTF-16: recognised, or taken as given, and read by their own
// characters. "中文" is E4 B8 AD E6 96 87 in UTF-8; U+20000 is 95 32 82 36 in GB18030.
TEST(LoadSourceText, ReadsEachTextInItsOwnEncoding) {
  ScopedTempDir dir;
  const std::string path = dir.Join("e.txt");
  auto load = [&](std::string_view bytes, EncodingChoice choice = EncodingChoice::kAuto) {
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    return LoadSourceText(path, {}, choice);
  };
  // A UTF-8 text ending in a whole character: under GBK's rule its last byte would be a lone lead.
  SourceText utf8 = load("ab\xE4\xB8\xAD\xE6\x96\x87");
  EXPECT_TRUE(utf8.ok && !utf8.cut_short);
  EXPECT_EQ(utf8.encoding, Encoding::kUtf8);
  EXPECT_EQ(utf8.mark_length, 0u);
  EXPECT_EQ(utf8.text, "ab\xE4\xB8\xAD\xE6\x96\x87");
  // The mark stays at the start of the text.
  SourceText marked = load("\xEF\xBB\xBF\xE4\xB8\xAD");
  EXPECT_EQ(marked.encoding, Encoding::kUtf8);
  EXPECT_EQ(marked.mark_length, 3u);
  EXPECT_EQ(marked.text, "\xEF\xBB\xBF\xE4\xB8\xAD");
  SourceText mark_only = load("\xEF\xBB\xBF");
  EXPECT_TRUE(mark_only.ok && !mark_only.cut_short);
  EXPECT_EQ(mark_only.text, "\xEF\xBB\xBF");
  // Cut inside its last character: the whole characters are read, the rest is reported.
  SourceText cut = load("\xE4\xB8\xAD\xE6\x96");
  EXPECT_EQ(cut.encoding, Encoding::kUtf8);
  EXPECT_TRUE(cut.ok && cut.cut_short);
  EXPECT_EQ(cut.text, "\xE4\xB8\xAD");
  EXPECT_EQ(cut.unfinished, "\xE6\x96");
  EXPECT_NE(cut.error.find("不完整"), std::string::npos) << cut.error;
  // A 0x1A inside a UTF-8 text is text; 0x00 refuses it, padding after it is left out.
  SourceText eof = load(std::string("\xE4\xB8\xAD\x1A\xE6\x96\x87\x1A\x1A", 9));
  EXPECT_TRUE(eof.ok && !eof.cut_short);
  EXPECT_EQ(eof.encoding, Encoding::kUtf8);
  EXPECT_EQ(eof.text, "\xE4\xB8\xAD\x1A\xE6\x96\x87");
  EXPECT_EQ(eof.padding, "\x1A\x1A");
  EXPECT_TRUE(eof.unfinished.empty());
  SourceText nul = load(std::string("\xE4\xB8\xAD\0\xE6\x96\x87", 7), EncodingChoice::kUtf8);
  EXPECT_TRUE(nul.refused);
  EXPECT_EQ(nul.error.rfind("第 4 字节是 0x00", 0), 0u) << nul.error;
  // GB18030 with a four-byte character.
  SourceText gb18030 = load("\xB5\xDA\x95\x32\x82\x36\xD5\xC2");
  EXPECT_TRUE(gb18030.ok && !gb18030.cut_short);
  EXPECT_EQ(gb18030.encoding, Encoding::kGb18030);
  EXPECT_EQ(gb18030.text, "\xB5\xDA\x95\x32\x82\x36\xD5\xC2");
  SourceText gb_cut = load("\xB5\xDA\x95\x32\x82", EncodingChoice::kGb18030);
  EXPECT_TRUE(gb_cut.ok && gb_cut.cut_short);
  EXPECT_EQ(gb_cut.text, "\xB5\xDA");
  EXPECT_EQ(gb_cut.unfinished, "\x95\x32\x82");
  // Empty and ASCII texts are GBK, read as always.
  EXPECT_EQ(load("").encoding, Encoding::kGbk);
  EXPECT_EQ(load("plain\r\n").encoding, Encoding::kGbk);
}

// GBK and Big5 given by the person are checked like the other encodings: a text with a byte that
// is no character of the encoding is refused, naming that byte (counted from 1); the GBK reader's
// rules stay (a lone lead byte at the end is cut off and said, not refused). Recognised, such
// texts are read as they always were.
TEST(LoadSourceText, GbkAndBig5GivenAreChecked) {
  ScopedTempDir dir;
  const std::string path = dir.Join("g.txt");
  auto load = [&](std::string_view bytes, EncodingChoice choice) {
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    return LoadSourceText(path, {}, choice);
  };
  struct Case {
    std::string bytes;
    EncodingChoice choice;
    size_t bad;  // 0: valid
  };
  for (const Case& c : {Case{"ab\xD6\xD0\xCE\xC4\r\n", EncodingChoice::kGbk, 0},
                        Case{"a\x80" "b\xFF\xA1", EncodingChoice::kGbk, 4},  // the euro is GBK
                        Case{"ab\xA1\x7F", EncodingChoice::kGbk, 3},
                        Case{"\xD6\xD0\x81\x0A", EncodingChoice::kGbk, 3},
                        Case{"\xB2\xC4\xA4\x40\xA6\x5E\r\n", EncodingChoice::kBig5, 0},
                        Case{"\xB2\xC4\xD6\xD0\xA4\x80", EncodingChoice::kBig5, 5},
                        Case{"ab\x81\x80", EncodingChoice::kBig5, 3},
                        Case{"\x80\xB2\xC4", EncodingChoice::kBig5, 1}}) {
    const SourceText s = load(c.bytes, c.choice);
    const std::string name = EncodingChoiceName(c.choice);
    if (c.bad == 0) {
      EXPECT_TRUE(s.ok) << name << " " << s.error;
      EXPECT_EQ(s.text, c.bytes) << name;
      EXPECT_EQ(s.encoding, ChosenEncoding(c.choice));
      continue;
    }
    EXPECT_FALSE(s.ok) << name;
    EXPECT_TRUE(s.refused) << name;
    EXPECT_TRUE(s.text.empty()) << name;
    EXPECT_EQ(s.error, "按 " + name + " 编码读取时，第 " + std::to_string(c.bad) +
                           " 字节起不是有效的字符，文件未处理");
  }
  // A lone lead byte at the end is still the reader's cut, not a refusal.
  const SourceText lone = load("\xD6\xD0\xB5", EncodingChoice::kGbk);
  EXPECT_TRUE(lone.ok);
  EXPECT_TRUE(lone.ends_in_lead_byte);
  const SourceText lone5 = load("\xB2\xC4\xB2", EncodingChoice::kBig5);
  EXPECT_TRUE(lone5.ok);
  EXPECT_EQ(lone5.text, "\xB2\xC4");
  // Recognised, the same bytes are read as before: GBK keeps an unassigned pair.
  EXPECT_TRUE(load("ab\xA1\x7F", EncodingChoice::kAuto).ok);
}

TEST(LoadSourceText, RefusesUtf16AndTextsInvalidInTheGivenEncoding) {
  ScopedTempDir dir;
  const std::string path = dir.Join("r.txt");
  auto load = [&](std::string_view bytes, EncodingChoice choice = EncodingChoice::kAuto) {
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    return LoadSourceText(path, {}, choice);
  };
  for (const auto& [bytes, name] :
       {std::pair<std::string, std::string>{std::string("\xFF\xFE\x2D\x4E\x87\x65", 6), "UTF-16LE"},
        {std::string("\xFE\xFF\x4E\x2D\x65\x87", 6), "UTF-16BE"},
        {std::string("a\0b\0c\0d\0", 8), "UTF-16LE"}}) {
    SourceText s = load(bytes);
    EXPECT_FALSE(s.ok) << name;
    EXPECT_TRUE(s.refused) << name;
    EXPECT_TRUE(s.text.empty()) << name;
    EXPECT_NE(s.error.find(name), std::string::npos) << s.error;
    EXPECT_NE(s.error.find("UTF-8"), std::string::npos) << s.error;  // says what to save it as
    // An encoding given does not hide a UTF-16 mark: as GBK the text would be read up to its
    // first zero byte, and as UTF-8 or GB18030 it would be blamed for an invalid byte.
    if (bytes[0] != '\xFF' && bytes[0] != '\xFE') continue;
    for (EncodingChoice choice :
         {EncodingChoice::kGbk, EncodingChoice::kGb18030, EncodingChoice::kUtf8}) {
      SourceText given = load(bytes, choice);
      EXPECT_FALSE(given.ok) << name << " as " << EncodingChoiceName(choice);
      EXPECT_TRUE(given.refused) << name << " as " << EncodingChoiceName(choice);
      EXPECT_TRUE(given.text.empty()) << name << " as " << EncodingChoiceName(choice);
      EXPECT_EQ(given.error, s.error) << name << " as " << EncodingChoiceName(choice);
    }
  }
  // GBK text read as UTF-8 by the user's choice: refused, naming where it goes wrong.
  SourceText forced = load("ab\xD6\xD0\xCE\xC4", EncodingChoice::kUtf8);
  EXPECT_FALSE(forced.ok);
  EXPECT_TRUE(forced.refused);
  EXPECT_NE(forced.error.find("UTF-8"), std::string::npos) << forced.error;
  EXPECT_NE(forced.error.find("3"), std::string::npos) << forced.error;  // the third byte
  SourceText forced_gb = load("ab\xFF", EncodingChoice::kGb18030);
  EXPECT_TRUE(forced_gb.refused);
  // A UTF-8 text taken as GBK is GBK: no mark, GBK's rules (its last byte is a lone lead here).
  SourceText as_gbk = load("\xEF\xBB\xBF\xE4\xB8\xAD", EncodingChoice::kGbk);
  EXPECT_TRUE(as_gbk.ok);
  EXPECT_EQ(as_gbk.encoding, Encoding::kGbk);
  EXPECT_EQ(as_gbk.mark_length, 0u);
  EXPECT_EQ(as_gbk.text, "\xEF\xBB\xBF\xE4\xB8\xAD");
  SourceText lone = load("\xE4\xB8\xAD", EncodingChoice::kGbk);
  EXPECT_TRUE(lone.ends_in_lead_byte);
  EXPECT_EQ(lone.text, "\xE4\xB8");
  // A UTF-8 text given as UTF-8 keeps its mark; recognised, an invalid GBK-looking text stays GBK.
  SourceText as_utf8 = load("\xEF\xBB\xBF\xE4\xB8\xAD", EncodingChoice::kUtf8);
  EXPECT_TRUE(as_utf8.ok);
  EXPECT_EQ(as_utf8.mark_length, 3u);
  EXPECT_EQ(load("\xE4\xB8\xAD\xFF").encoding, Encoding::kGbk);
  // A lead byte carried from a GBK file does not join a UTF-8 text.
  ASSERT_TRUE(WriteFileBytes(path, "\xE4\xB8\xAD"));
  SourceText carried = LoadSourceText(path, "\xB0");
  EXPECT_EQ(carried.encoding, Encoding::kUtf8);
  EXPECT_EQ(carried.text, "\xE4\xB8\xAD");
}

// A source read by the reader's rules, step by step: the run of 0x00 and 0x1A bytes at the very
// end is padding (in GBK, stepping over characters, a 0x1A right after a lead byte is that
// character's second byte); a 0x00 before the padding refuses the file; 0x1A bytes before it are
// text; then a GBK lead byte without its second byte, or an incomplete last UTF-8 or GB18030
// character, is dropped. A text not valid in an encoding `given` is refused.
struct ModelSource {
  bool refused = false;
  std::string text;
  std::string padding;
  size_t eofs = 0;       // 0x1A bytes kept
  size_t first_eof = 0;  // counted from 1; 0 when none
  bool cut_short = false;
  bool lone_lead = false;  // GBK: the file's very last byte is a lead byte
};
ModelSource ReadByRules(const std::string& file, Encoding encoding, size_t mark, bool given) {
  ModelSource m;
  size_t end = file.size();
  while (end > 0 && (file[end - 1] == '\0' || file[end - 1] == '\x1A')) --end;
  size_t whole = 0;
  if (encoding == Encoding::kGbk) {
    while (whole < end) {
      if (static_cast<unsigned char>(file[whole]) < 0x80 || whole + 1 < end) {
        whole += static_cast<unsigned char>(file[whole]) < 0x80 ? 1 : 2;
      } else if (whole + 1 < file.size() && file[whole + 1] == '\x1A') {
        end = whole += 2;
      } else {
        break;
      }
    }
  }
  for (size_t i = 0; i < end; ++i) {
    if (file[i] == '\0') {
      m.refused = true;
      return m;
    }
    if (file[i] == '\x1A' && m.eofs++ == 0) m.first_eof = i + 1;
  }
  m.padding = file.substr(end);
  if (encoding == Encoding::kGbk) {
    m.text = file.substr(0, whole);
    m.lone_lead = whole < end && m.padding.empty();
  } else {
    m.text = file.substr(0, end);
    const TextCheckResult check = CheckText(std::string_view(m.text).substr(mark), encoding);
    if (check.check == TextCheck::kCutShort) m.text.resize(mark + check.offset);
    m.refused = given && check.check == TextCheck::kInvalid;
    if (!given && check.check == TextCheck::kInvalid) {
      // Recognised, bytes that begin no character are kept, one at a time; a character the end
      // cuts short is still left out.
      const std::string t = m.text.substr(mark);
      const char* end = t.data() + t.size();
      for (size_t k = 0; k < t.size(); k += CharLength(encoding, t.data() + k, end)) {
        if (t.size() - k >= 4) continue;
        const TextCheckResult rest = CheckText(std::string_view(t).substr(k), encoding);
        if (rest.check == TextCheck::kCutShort && rest.offset == 0) {
          m.text.resize(mark + k);
          break;
        }
      }
    }
  }
  m.cut_short = m.text.size() < end;
  return m;
}

// The reader against the literal model on random UTF-8-ish and GB18030-ish bytes under each
// choice, 0x00 and 0x1A bytes anywhere: the whole text or none, padding left out, an invalid
// character under a given encoding refused.
TEST(LoadSourceText, FollowsTheModelOnRandomEncodedBytes) {
  ScopedTempDir dir;
  const std::string path = dir.Join("m.txt");
  std::mt19937 rng(1212);  // seed
  const char* pieces[] = {"\xE4\xB8\xAD", "\xF0\x9F\x98\x80", "\x95\x32\x82\x36", "\xB5\xDA",
                          "a", "\r\n", "\xE4", "\x80", "", "\x1A"};  // [8]: a zero byte
  for (int round = 0; round < 300; ++round) {
    std::string bytes;
    for (int i = static_cast<int>(rng() % 12); i > 0; --i) {
      const size_t k = rng() % 10;
      bytes += k == 8 ? std::string(1, '\0') : std::string(pieces[k]);
    }
    for (EncodingChoice choice : {EncodingChoice::kUtf8, EncodingChoice::kGb18030}) {
      const Encoding e = ChosenEncoding(choice);
      ASSERT_TRUE(WriteFileBytes(path, bytes));
      const SourceText s = LoadSourceText(path, {}, choice);
      const ModelSource m = ReadByRules(bytes, e, 0, true);
      const std::string where = testing::HexBytes(bytes) + " as " + EncodingName(e);
      ASSERT_EQ(s.refused, m.refused) << where << s.error;
      if (m.refused) continue;
      ASSERT_TRUE(s.ok) << where;
      ASSERT_EQ(s.text, m.text) << where;
      ASSERT_EQ(s.padding, m.padding) << where;
      ASSERT_EQ(s.cut_short, m.cut_short) << where;
      ASSERT_EQ(!s.unfinished.empty(), m.cut_short) << where;
      ASSERT_EQ(s.notes.size(), (m.eofs > 0 ? 1u : 0u) + (m.padding.empty() ? 0u : 1u)) << where;
      if (m.eofs > 0) {
        ASSERT_EQ(s.notes[0].rfind("第 " + std::to_string(m.first_eof) + " 字节有 0x1A", 0), 0u)
            << where << s.notes[0];
      }
    }
  }
}

// Large sources are read in blocks, or mapped and looked at through a buffer of blocks, looked
// at as each arrives: wherever a 0x00 or 0x1A or a four-byte sequence stands, before, on or after
// a block's edge, the result is what the rules give on the whole file at once.
TEST(LoadSourceText, LargeFilesReadInBlocksEndWhereTheRulesSay) {
  ScopedTempDir dir;
  const std::string path = dir.Join("big.txt");
  std::mt19937 rng(2626);
  auto gbk_text = [&](size_t n) {
    std::string t;
    while (t.size() < n) {
      if (rng() % 9 == 0) {
        t += "\r\n";
      } else {
        t += static_cast<char>(0xB0 + rng() % 0x40);
        t += static_cast<char>(0xA1 + rng() % 0x5E);
      }
    }
    return t;
  };
  auto utf8_text = [&](size_t n) {
    static const char* const kChars[] = {"\xE7\xAC\xAC", "\xE4\xB8\x80", "a", "\r\n",
                                          "\xF0\x9F\x98\x80", "\xC3\xA9"};
    std::string t;
    while (t.size() < n) t += kChars[rng() % std::size(kChars)];
    return t;
  };
  const size_t kBlock = 256 << 10;
  // Read (below 1 MB), and mapped (from 1 MB on).
  for (const size_t size : {3 * kBlock + 1000, 4 * kBlock + 70000}) {
  SCOPED_TRACE("size " + std::to_string(size));
  std::vector<std::string> texts = {gbk_text(size), utf8_text(size),
                                    "\xEF\xBB\xBF" + utf8_text(size)};
  // GB18030: its only four-byte character far into the text, so the last blocks decide.
  std::string gb18030 = gbk_text(size);
  size_t boundary = 0;  // the first character boundary from 2 * kBlock + 5 on
  while (boundary < 2 * kBlock + 5) boundary += static_cast<unsigned char>(gb18030[boundary]) >= 0x80 ? 2 : 1;
  gb18030.insert(boundary, "\x95\x32\x82\x36");
  texts.push_back(gb18030);
  std::string cut_utf8 = texts[1];
  cut_utf8 += "\xF0\x9F\x98";  // an incomplete last character
  texts.push_back(cut_utf8);
  texts.push_back(texts[0] + "\xB5");  // GBK ending in a lone lead byte
  texts.push_back(gb18030 + "\x95\x32");  // GB18030 cut inside a four-byte character
  int round = 0;
  for (const std::string& text : texts) {
    std::vector<std::string> files = {text};
    // Block edges, the edge of the bytes kept before a block, and the text's end.
    for (size_t at : {kBlock - 1, kBlock, kBlock + 1, 2 * kBlock - 2, 3 * kBlock - 4096,
                      3 * kBlock - 4097, text.size() - 1}) {
      for (char terminator : {'\0', '\x1A'}) {
        std::string f = text;
        f.insert(at, 1, terminator);
        files.push_back(f);
      }
    }
    // Padding: a DOS end mark, a page of zeros and more, a mixed run.
    files.push_back(text + "\x1A");
    files.push_back(text + std::string(4097, '\0'));
    files.push_back(text + std::string("\x1A\0\x1A\0", 4));
    for (const std::string& file : files) {
      SCOPED_TRACE("round " + std::to_string(round++));
      ASSERT_TRUE(WriteFileBytes(path, file));
      const SourceText s = LoadSourceText(path);
      const DetectedEncoding found = DetectEncoding(file);
      const ModelSource m = ReadByRules(file, found.encoding, found.mark_length, false);
      ASSERT_EQ(s.ok, !m.refused) << s.error;
      ASSERT_EQ(s.refused, m.refused);
      if (m.refused) {
        EXPECT_TRUE(s.text.empty());
        continue;
      }
      EXPECT_EQ(s.encoding, found.encoding);
      EXPECT_EQ(s.mark_length, found.mark_length);
      EXPECT_EQ(s.file_size, static_cast<int64_t>(file.size()));
      EXPECT_EQ(s.text.size(), m.text.size());
      EXPECT_TRUE(s.text == m.text);
      EXPECT_EQ(s.cut_short, m.cut_short);
      EXPECT_EQ(s.padding, m.padding);
      // A lone lead byte at the very end, or an unfinished last character, is told as such.
      EXPECT_EQ(s.ends_in_lead_byte, m.lone_lead);
      if (m.lone_lead) {
        EXPECT_EQ(s.trailing_lead, file.back());
      }
      if (found.encoding != Encoding::kGbk && m.cut_short && m.padding.empty()) {
        EXPECT_EQ(s.unfinished, file.substr(m.text.size()));
      }
      EXPECT_FALSE(s.text.Changed());
    }
  }
  // The sample texts make every kind of answer.
  EXPECT_EQ(DetectEncoding(texts[0]).encoding, Encoding::kGbk);
  EXPECT_EQ(DetectEncoding(texts[1]).encoding, Encoding::kUtf8);
  EXPECT_EQ(DetectEncoding(texts[3]).encoding, Encoding::kGb18030);
  EXPECT_EQ(DetectEncoding(texts[4]).encoding, Encoding::kUtf8);
  }
}

TEST(FileAccess, ReadOnlyFilesAreReadButNotChangedInPlace) {
  ScopedTempDir dir;
  std::string path = dir.Join("ro.txt");
  ASSERT_TRUE(WriteFileBytes(path, "text"));
  ASSERT_TRUE(testing::SetReadOnly(path, true));
  SourceText source = LoadSourceText(path);
  EXPECT_TRUE(source.ok) << source.error;
  EXPECT_EQ(source.text, "text");
  EXPECT_EQ(WriteAccessProblem(path), "只读");
  EXPECT_FALSE(ReplaceWholeFile(path, {"new"}));
  EXPECT_EQ(Bytes(path), "text");
  ASSERT_TRUE(testing::SetReadOnly(path, false));
  EXPECT_EQ(WriteAccessProblem(path), "");
  EXPECT_EQ(WriteAccessProblem(dir.path()), "是文件夹");
  EXPECT_EQ(WriteAccessProblem(dir.Join("none.txt")), "不存在");
  // A file open in the table is busy for an in-place change.
  FileNumber open = OpenFile(path);
  ASSERT_NE(open, 0);
  EXPECT_FALSE(WriteAccessProblem(path).empty());
  CloseFile(open);
}

#ifdef _WIN32
TEST(ReplaceWholeFile, KeepsTheAttributesOfTheFileItReplaces) {
  ScopedTempDir dir;
  std::string path = dir.Join("hidden.txt");
  ASSERT_TRUE(WriteFileBytes(path, "old"));
  const std::wstring wide = testing::NativePath(path).wstring();
  ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  if (!(GetFileAttributesW(wide.c_str()) & FILE_ATTRIBUTE_HIDDEN)) {
    GTEST_SKIP() << "the file system keeps no hidden attribute";
  }
  EXPECT_TRUE(ReplaceWholeFile(path, {"new"}));
  EXPECT_EQ(Bytes(path), "new");
  EXPECT_TRUE(GetFileAttributesW(wide.c_str()) & FILE_ATTRIBUTE_HIDDEN);
}
#else
mode_t ModeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(stat(testing::NativePath(path).c_str(), &st), 0);
  return st.st_mode & 07777;
}

TEST(ReplaceWholeFile, KeepsModeAndLinksAndNeverFollowsAPlantedTemporary) {
  ScopedTempDir dir;
  std::string path = dir.Join("private.txt");
  ASSERT_TRUE(WriteFileBytes(path, "old"));
  ASSERT_EQ(chmod(testing::NativePath(path).c_str(), 0600), 0);
  EXPECT_TRUE(ReplaceWholeFile(path, {"new"}));
  EXPECT_EQ(Bytes(path), "new");
  EXPECT_EQ(ModeOf(path), 0600u);
  ASSERT_EQ(chmod(testing::NativePath(path).c_str(), 0640), 0);
  EXPECT_TRUE(ReplaceWholeFile(path, {"newer"}));
  EXPECT_EQ(ModeOf(path), 0640u);

  // A symbolic link stays a link; the file it points to gets the new text.
  std::string link = dir.Join("link.txt");
  ASSERT_EQ(symlink("private.txt", testing::NativePath(link).c_str()), 0);
  EXPECT_TRUE(ReplaceWholeFile(link, {"via link"}));
  struct stat st;
  ASSERT_EQ(lstat(testing::NativePath(link).c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(Bytes(path), "via link");

  // Links planted under names a counter would give are never written through.
  std::string victim = dir.Join("victim.txt");
  ASSERT_TRUE(WriteFileBytes(victim, "keep"));
  for (int i = 0; i < 64; ++i) {
    std::string planted = path + ".travik-" + std::to_string(i) + ".tmp";
    ASSERT_EQ(symlink("victim.txt", testing::NativePath(planted).c_str()), 0);
  }
  EXPECT_TRUE(ReplaceWholeFile(path, {"again"}));
  EXPECT_EQ(Bytes(victim), "keep");
  EXPECT_EQ(Bytes(path), "again");
  // Nothing of ours is left beside the file: only the file, the link, the victim, the plants.
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(testing::NativePath(dir.path()))) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 3 + 64);

  // A link to a file in a folder whose name GBK cannot hold: the target is named like any
  // other, so the file it points to gets the new text and the link stays a link.
  const std::string far_folder = dir.Join("España 😀");
  ASSERT_TRUE(MakeDirectory(far_folder));
  const std::string far_target = far_folder + kPathSeparator + "한국.txt";
  ASSERT_TRUE(WriteFileBytes(far_target, "far"));
  std::string far_link = dir.Join("far.txt");
  std::filesystem::create_symlink(testing::NativePath(far_target), testing::NativePath(far_link));
  EXPECT_TRUE(ReplaceWholeFile(far_link, {"new"}));
  ASSERT_EQ(lstat(testing::NativePath(far_link).c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(Bytes(far_target), "new");
  EXPECT_EQ(FileNamesIn(far_folder), (std::vector<std::string>{"한국.txt"}));  // nothing left beside it
}
#endif

#ifndef _WIN32
// A large source is a view of the file mapped into memory; outputs are written from it by the
// system's copy where it can, from memory for the rest. Another program then shortens the file:
// touching the lost bytes does not end the program, they read as 0x00, and the text says it
// Changed() even once the file has its length again; a copy of them gets what memory holds.
TEST(MappedSource, AShortenedFileReadsAsZerosIsToldChangedAndCopiesStayWhole) {
  ScopedTempDir dir;
  const std::string path = dir.Join("big.txt");
  std::mt19937 rng(5151);
  std::string text;
  while (text.size() < (size_t{3} << 20)) {
    text += static_cast<char>(0xB0 + rng() % 0x40);
    text += static_cast<char>(0xA1 + rng() % 0x5E);
    if (rng() % 17 == 0) text += "\r\n";
  }
  ASSERT_TRUE(WriteFileBytes(path, text));
  const SourceText s = LoadSourceText(path);
  ASSERT_TRUE(s.ok) << s.error;
  ASSERT_TRUE(s.text == text);
  EXPECT_FALSE(s.text.Changed());

  // Pieces at odd offsets, small ones (from memory) between large ones (copied by the system).
  const std::string copy = dir.Join("copy.txt");
  const std::vector<std::pair<size_t, size_t>> slices = {
      {1000, 500000}, {0, 100}, {7, 16 << 10}, {2 << 20, text.size() - (2 << 20)}, {3, 1}};
  std::string want;
  {
    ReplacementFile out(copy);
    ASSERT_TRUE(out.ok());
    ASSERT_TRUE(out.Append("head"));
    want = "head";
    for (const auto& [at, n] : slices) {
      ASSERT_TRUE(out.Append(s.text.substr(at, n)));
      want += text.substr(at, n);
    }
    ASSERT_TRUE(out.Commit());
  }
  EXPECT_TRUE(Bytes(copy) == want);

  // Shortened within its last page: no fault, its length tells.
  const size_t last_page = text.size() - 10;
  ASSERT_EQ(truncate(testing::NativePath(path).c_str(), static_cast<off_t>(last_page)), 0);
  EXPECT_TRUE(s.text.Changed());
  // Shortened by far, to a length that is not a page's edge: the bytes past it read as zeros.
  const size_t kept = (size_t{3} << 19) + 123;
  ASSERT_EQ(truncate(testing::NativePath(path).c_str(), static_cast<off_t>(kept)), 0);
  size_t nonzero_after = 0;
  for (size_t i = kept; i < s.text.size(); i += 512) nonzero_after += s.text[i] != '\0';
  EXPECT_EQ(nonzero_after, 0u);
  EXPECT_TRUE(s.text.substr(0, kept) == std::string_view(text).substr(0, kept));
  EXPECT_TRUE(s.text.Changed());
  // A copy across the new end: the file's bytes up to it, then what memory holds.
  {
    ReplacementFile out(copy);
    ASSERT_TRUE(out.Append(s.text.substr(1 << 20, 1 << 20)));
    ASSERT_TRUE(out.Commit());
  }
  EXPECT_TRUE(Bytes(copy) == text.substr(1 << 20, kept - (1 << 20)) +
                                 std::string((2 << 20) - kept, '\0'));
  // Its length back, the file still counts as changed: the text read zeros where it was short.
  ASSERT_TRUE(WriteFileBytes(path, text));
  EXPECT_TRUE(s.text.Changed());

  // Lost bytes that nothing touched before they are written, in large and small pieces: the
  // system cannot read them for the write either; they are written as the zeros they read as.
  const SourceText again = LoadSourceText(path);
  ASSERT_TRUE(again.ok) << again.error;
  ASSERT_EQ(truncate(testing::NativePath(path).c_str(), static_cast<off_t>(kept)), 0);
  {
    ReplacementFile out(copy);
    EXPECT_TRUE(out.Append(again.text.substr(kept - 5000, 100000)));
    EXPECT_TRUE(out.Append(again.text.substr(2 << 20, 300000)));
    EXPECT_TRUE(out.Append(again.text.substr((5 << 19) + 3, 5000)));
    EXPECT_TRUE(out.Commit());
  }
  EXPECT_TRUE(Bytes(copy) == text.substr(kept - 5000, 5000) + std::string(95000 + 305000, '\0'));
  EXPECT_TRUE(again.text.Changed());
  const std::string piece = dir.Join("piece.txt");
  EXPECT_TRUE(WriteWholeFile(piece, {again.text.substr((11 << 18) + 1, 70000), "end"}));
  EXPECT_TRUE(Bytes(piece) == std::string(70000, '\0') + "end");

  // A text read whole (smaller than a mapping is worth) never changes under the job.
  const std::string small = dir.Join("small.txt");
  ASSERT_TRUE(WriteFileBytes(small, text.substr(0, 5000)));
  const SourceText read = LoadSourceText(small);
  ASSERT_EQ(truncate(testing::NativePath(small).c_str(), 10), 0);
  EXPECT_TRUE(read.text == text.substr(0, 5000));
  EXPECT_FALSE(read.text.Changed());
}
#endif

}  // namespace
}  // namespace travik

namespace travik {
namespace {

using testing::NativePath;
using testing::ReadFileBytes;
using testing::ScopedTempDir;
using testing::WriteFileBytes;

std::string Letters(size_t n) {
  std::string text(n, 'a');
  for (size_t i = 0; i < n; ++i) text[i] = static_cast<char>('a' + i % 26);
  return text;
}

// A large source's text, mapped or not, written out in parts of every size, at every offset of the
// file being written, is the text byte for byte; so is a string's.
TEST(SourceBytes, LargeTextsAreWrittenOutWhole) {
  ScopedTempDir dir;
  const std::string path = dir.Join("big.txt");
  const std::string text = Letters((3 << 20) + 12345);
  ASSERT_TRUE(WriteFileBytes(path, text));
  const SourceText source = LoadSourceText(path);
  ASSERT_TRUE(source.ok) << source.error;
  ASSERT_TRUE(source.text == text);
  for (const SourceBytes& bytes : {source.text, SourceBytes(text)}) {
    const std::string_view all = bytes;
    ReplacementFile out(dir.Join("out.txt"));
    ASSERT_TRUE(out.Append(all.substr(0, 100)));        // small: from memory
    ASSERT_TRUE(out.Append(all.substr(100, 2 << 20)));  // large, at an odd offset
    ASSERT_TRUE(out.Append(all.substr(100 + (2 << 20))));
    ASSERT_TRUE(out.Commit());
    std::string back;
    ASSERT_TRUE(ReadFileBytes(dir.Join("out.txt"), &back));
    EXPECT_TRUE(back == text);
    ASSERT_TRUE(WriteWholeFile(dir.Join("w.txt"), all.substr(7, 1 << 20), all.substr(0, 7)));
    ASSERT_TRUE(ReadFileBytes(dir.Join("w.txt"), &back));
    EXPECT_TRUE(back == text.substr(7, 1 << 20) + text.substr(0, 7));
  }
  // Copies share the bytes; a shorter view and a cleared one keep the rest alive.
  SourceBytes copy = source.text;
  copy.resize(10);
  copy.remove_prefix(3);
  EXPECT_EQ(copy, text.substr(3, 7));
  EXPECT_TRUE(source.text == text);
  copy.clear();
  EXPECT_TRUE(copy.empty());
}


}  // namespace
}  // namespace travik
