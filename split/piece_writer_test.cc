#include "split/piece_writer.h"

#include <gtest/gtest.h>

#include "files/files.h"
#include "text/text.h"
#include "split/split_test_util.h"

namespace travik {
namespace {

using testing::MemoryOutput;

TEST(PieceFileName, FollowsTheNamingModes) {
  EXPECT_EQ(PieceFileName(PieceNaming::kNumber, 1, {}, false, "X"), "1.txt");
  EXPECT_EQ(PieceFileName(PieceNaming::kNumber, 0, {}, true, "X"), "0.txt");
  EXPECT_EQ(PieceFileName(PieceNaming::kNumber, 12, "第一章", false, "X"), "12.txt");
  EXPECT_EQ(PieceFileName(PieceNaming::kKeyword, 3, "第一章", false, "X"), "第一章.txt");
  EXPECT_EQ(PieceFileName(PieceNaming::kKeyword, 0, {}, true, "X"), "头文本.txt");
  // Size and count splits have no matched text: they number; so does an empty match.
  EXPECT_EQ(PieceFileName(PieceNaming::kKeyword, 4, {}, false, "X"), "4.txt");
  EXPECT_EQ(PieceFileName(PieceNaming::kCustom, 3, "第一章", false, "X"), "X3.txt");
  EXPECT_EQ(PieceFileName(PieceNaming::kCustom, 1, {}, false, "自定义内容"), "自定义内容1.txt");
  EXPECT_EQ(PieceFileName(PieceNaming::kCustom, 0, {}, true, "卷"), "卷0.txt");
  EXPECT_EQ(PieceFileName(PieceNaming::kCustom, 7, {}, false, ""), "7.txt");
  EXPECT_EQ(PieceFileName(PieceNaming::kUnchecked, 2, "第一章", false, "X"), "2.txt");
  EXPECT_EQ(PieceFileName(PieceNaming::kNumber, 1234567, {}, false, ""), "1234567.txt");
}

TEST(SafeFileStem, ReplacesWhatFileNamesCannotHold) {
  EXPECT_EQ(SafeFileStem("a\\b/c:d*e?f\"g<h>i|j"), "a_b_c_d_e_f_g_h_i_j");
  EXPECT_EQ(SafeFileStem("第一章\r\n"), "第一章__");
  EXPECT_EQ(SafeFileStem(std::string("a\x01\x1F\x7F", 4)), std::string("a__\x7F", 4));
  // Second bytes 0x7C and 0x5C stay: 東 is 96 7C, 錦 is E5 5C.
  EXPECT_EQ(SafeFileStem("東錦|"), "東錦_");
  EXPECT_EQ(SafeFileStem("\x96|"), "東");  // 96 7C is one character
  // A lead byte without a GBK second byte, and one at the end, become "_" on their own.
  EXPECT_EQ(SafeFileStem("\x81"
                         "0ab\xD5"),
            "_0ab_");
  EXPECT_EQ(SafeFileStem("\x80\xFF\xFF"), "___");
  // Trailing spaces and dots go; leading ones and inner ones stay.
  EXPECT_EQ(SafeFileStem(" a. b. . "), " a. b");
  EXPECT_EQ(SafeFileStem("..."), "");
  EXPECT_EQ(SafeFileStem(""), "");
  EXPECT_EQ(SafeFileStem("  "), "");
  EXPECT_EQ(SafeFileStem("　"), "　");  // a full-width space is an ordinary character
}

TEST(SafeFileStem, DeviceNamesGetAnUnderscore) {
  EXPECT_EQ(SafeFileStem("CON"), "CON_");
  EXPECT_EQ(SafeFileStem("con"), "con_");
  EXPECT_EQ(SafeFileStem("Nul.x"), "Nul_.x");
  EXPECT_EQ(SafeFileStem("AUX ."), "AUX_");
  EXPECT_EQ(SafeFileStem("prn  .doc"), "prn_  .doc");
  EXPECT_EQ(SafeFileStem("COM1"), "COM1_");
  EXPECT_EQ(SafeFileStem("lpt9"), "lpt9_");
  EXPECT_EQ(SafeFileStem("COM", "3"), "COM3_");
  EXPECT_EQ(SafeFileStem("COM0"), "COM0");
  EXPECT_EQ(SafeFileStem("COM10"), "COM10");
  EXPECT_EQ(SafeFileStem("CONSOLE"), "CONSOLE");
  EXPECT_EQ(SafeFileStem("a.CON"), "a.CON");
}

TEST(SafeFileStem, CutsLongNamesAtCharacterBoundaries) {
  std::string chinese;
  for (int i = 0; i < 75; ++i) chinese += "章";
  EXPECT_EQ(SafeFileStem(chinese).size(), 100u);
  EXPECT_EQ(SafeFileStem("a" + chinese), "a" + chinese.substr(0, 98));
  EXPECT_EQ(SafeFileStem("a" + chinese, "123"), "a" + chinese.substr(0, 96) + "123");
  // The number always survives in full.
  EXPECT_EQ(SafeFileStem(std::string(200, 'x'), "45"), std::string(98, 'x') + "45");
  // Cutting can leave a trailing space, which goes too.
  EXPECT_EQ(SafeFileStem(std::string(99, 'x') + " y"), std::string(99, 'x'));
}

TEST(MergeScriptText, PathsAreRelativeToTheScriptsFolder) {
  const std::string expected =
      "@echo off\r\n"
      "pushd \"%~dp0\"\r\n"
      "md \"合并后的文件\" 2>nul\r\n"
      "copy /y /b \"1.txt\"+\"2.txt\"+\"3.txt\" \"合并后的文件\\小说.txt\" >nul\r\n"
      "popd\r\n"
      "mshta vbscript:msgbox(\"合并文件完成!\",64,\"提示\")(window.close)";
  EXPECT_EQ(MergeScriptText("小说", {"1.txt", "2.txt", "3.txt"}), expected);
  // No pieces: the merged file is still made, empty.
  EXPECT_EQ(MergeScriptText("m", {}),
            "@echo off\r\npushd \"%~dp0\"\r\nmd \"合并后的文件\" 2>nul\r\n"
            "type nul >\"合并后的文件\\m.txt\"\r\npopd\r\n"
            "mshta vbscript:msgbox(\"合并文件完成!\",64,\"提示\")(window.close)");
}

TEST(MergeScriptText, DoublesPercentSignsAndKeepsTrailBytes) {
  std::string script = MergeScriptText("a%b", {"100%.txt", "東.txt"});
  EXPECT_NE(script.find("copy /y /b \"100%%.txt\"+\"東.txt\" \"合并后的文件\\a%%b.txt\""),
            std::string::npos)
      << script;
  EXPECT_NE(script.find("pushd \"%~dp0\""), std::string::npos);  // the one % cmd expands
}

TEST(MergeScriptText, LongListsTakeSeveralCopyLines) {
  std::vector<std::string> names;
  for (int i = 0; i < 3000; ++i)
    names.push_back("第" + NumberToText(i) + "章 卷名稍长的一个标题.txt");
  std::string script = MergeScriptText("小说", names);
  std::vector<std::string> lines;
  size_t start = 0;
  while (true) {
    size_t end = script.find("\r\n", start);
    lines.push_back(script.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  ASSERT_GT(lines.size(), 5u);
  EXPECT_EQ(lines.front(), "@echo off");
  EXPECT_EQ(lines.back(), "mshta vbscript:msgbox(\"合并文件完成!\",64,\"提示\")(window.close)");
  const std::string target = "\"合并后的文件\\小说.txt\"";
  std::string listed;
  EXPECT_EQ(lines[lines.size() - 2], "popd");
  for (size_t i = 3; i + 2 < lines.size(); ++i) {
    const std::string& line = lines[i];
    EXPECT_LE(line.size(), kMaxScriptLineBytes);
    // The first line creates the merged file; the others append to it.
    const std::string head = i == 3 ? "copy /y /b " : "copy /y /b " + target + "+";
    const std::string tail = " " + target + " >nul";
    ASSERT_EQ(line.compare(0, head.size(), head), 0) << line;
    ASSERT_GE(line.size(), head.size() + tail.size());
    ASSERT_EQ(line.substr(line.size() - tail.size()), tail) << i;
    if (!listed.empty()) listed += "+";
    listed += line.substr(head.size(), line.size() - head.size() - tail.size());
  }
  std::string expected;
  for (const std::string& name : names) expected += (expected.empty() ? "\"" : "+\"") + name + "\"";
  EXPECT_EQ(listed, expected);
}

TEST(PieceWriter, GivesClashingNamesNumberedCopies) {
  MemoryOutput out;
  PieceWriter writer("D", PieceNaming::kKeyword, "X", "M", out);
  writer.WritePiece("head", 0, {}, true);
  writer.WritePiece("a", 1, "第一章");
  writer.WritePiece("b", 2, "第一章");
  writer.WritePiece("c", 3, "第一章(2)");
  writer.WritePiece("d", 4, "第一章");
  writer.WritePiece("e", 5, "头文本");
  writer.WritePiece("f", 6, "Chapter");
  writer.WritePiece("g", 7, "CHAPTER");
  writer.WritePiece("h", 8, "");   // an empty match: named by its number
  writer.WritePiece("i", 9, "8");  // a match that reads like that number
  writer.WritePiece("j", 10, "a?b");
  writer.WritePiece("k", 11, "a_b");
  const std::vector<std::string> expected = {"头文本.txt",       "第一章.txt",     "第一章(2).txt",
                                             "第一章(2)(2).txt", "第一章(3).txt",  "头文本(2).txt",
                                             "Chapter.txt",      "CHAPTER(2).txt", "8.txt",
                                             "8(2).txt",         "a_b.txt",        "a_b(2).txt"};
  EXPECT_EQ(writer.names(), expected);
  ASSERT_EQ(out.files.size(), expected.size());
  const std::string sep = kPathSeparator;
  EXPECT_EQ(out.files[2].path, "D" + sep + "第一章(2).txt");
  EXPECT_EQ(out.files[2].bytes, "b");
  // A double-byte character whose second byte is a capital letter is not folded.
  PieceWriter plain("D", PieceNaming::kKeyword, "", "M", out);
  plain.WritePiece("x", 1, "\x81\x41");
  plain.WritePiece("y", 2, "\x81\x61");
  EXPECT_EQ(plain.names(), (std::vector<std::string>{"\x81\x41.txt", "\x81\x61.txt"}));
}

TEST(PieceWriter, FoldsTheCaseOfDoubleByteLettersAsWindowsDoes) {
  // Windows and Wine take full-width Latin, Greek, Cyrillic and Roman-numeral letters without
  // regard to case too: 第ａ章.txt would overwrite 第Ａ章.txt.
  MemoryOutput out;
  PieceWriter writer("D", PieceNaming::kKeyword, "", "M", out);
  const char* const matched[] = {"第Ａ章", "第ａ章", "第Ⅹ卷", "第ⅹ卷", "Ω",  "ω",
                                 "Ж",      "ж",      "ё",     "Ё",     "ｚ", "Ｚ"};
  for (int i = 0; i < 12; ++i) writer.WritePiece("x", i + 1, matched[i]);
  EXPECT_EQ(writer.names(),
            (std::vector<std::string>{"第Ａ章.txt", "第ａ章(2).txt", "第Ⅹ卷.txt", "第ⅹ卷(2).txt",
                                      "Ω.txt", "ω(2).txt", "Ж.txt", "ж(2).txt", "ё.txt", "Ё(2).txt",
                                      "ｚ.txt", "Ｚ(2).txt"}));
  // Letters of different alphabets, and a capital without a small form, stay apart.
  PieceWriter apart("D", PieceNaming::kKeyword, "", "M", out);
  for (const char* m : {"ａ", "α", "а", "ⅰ", "Ⅺ", "a"}) apart.WritePiece("y", 1, m);
  EXPECT_EQ(apart.names(),
            (std::vector<std::string>{"ａ.txt", "α.txt", "а.txt", "ⅰ.txt", "Ⅺ.txt", "a.txt"}));
}

TEST(PieceWriter, ReservedNamesAndFailedWrites) {
  MemoryOutput out;
  const std::string sep = kPathSeparator;
  out.refused.insert("F" + sep + "2.txt");
  PieceWriter writer("F", PieceNaming::kNumber, "", "源", out);
  writer.ReserveName("1.TXT");
  writer.WritePiece("one", 1);
  writer.WritePiece("two", 2);
  writer.WritePiece("three", 3);
  EXPECT_EQ(writer.names(), (std::vector<std::string>{"1(2).txt", "3.txt"}));
  EXPECT_EQ(writer.failed_names(), (std::vector<std::string>{"2.txt"}));
  ASSERT_TRUE(writer.WriteMergeScript());
  ASSERT_EQ(out.files.back().path, "F" + sep + "点我合并.bat");
  EXPECT_EQ(out.files.back().bytes, MergeScriptText("源", {"1(2).txt", "3.txt"}));
  out.refused.insert("F" + sep + "点我合并.bat");
  EXPECT_FALSE(writer.WriteMergeScript());
}

TEST(PieceWriter, ReportsProgressInBytes) {
  MemoryOutput out;
  struct ProgressHost : testing::RecordingHost {
    void Progress(int64_t done, int64_t total) override { seen.push_back({done, total}); }
    std::vector<std::pair<int64_t, int64_t>> seen;
  } host;
  PieceWriter writer("F", PieceNaming::kNumber, "", "m", out);
  writer.SetProgress(&host, 10);
  writer.WritePiece("abcd", 1);
  writer.WritePiece("efghij", 2);
  EXPECT_EQ(host.seen, (std::vector<std::pair<int64_t, int64_t>>{{4, 10}, {10, 10}}));
}

}  // namespace
}  // namespace travik
