#include "split/piece_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/files.h"
#include "text/codepage.h"
#include "text/text.h"
#include "split/split_test_util.h"
#include "tests/test_util.h"

namespace travik {
namespace {

using testing::Gbk;
using testing::MemoryOutput;
using testing::operator""_gbk;

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
  // Names are UTF-8: characters GBK lacks are as good as any.
  EXPECT_EQ(PieceFileName(PieceNaming::kKeyword, 5, "😀 한국 𠀀 España", false, "X"),
            "😀 한국 𠀀 España.txt");
  EXPECT_EQ(PieceFileName(PieceNaming::kCustom, 2, {}, false, "España😀"), "España😀2.txt");
}

TEST(SafeFileStem, ReplacesWhatFileNamesCannotHold) {
  EXPECT_EQ(SafeFileStem("a\\b/c:d*e?f\"g<h>i|j"), "a_b_c_d_e_f_g_h_i_j");
  EXPECT_EQ(SafeFileStem("第一章\r\n"), "第一章__");
  EXPECT_EQ(SafeFileStem(std::string("a\x01\x1F\x7F", 4)), std::string("a__\x7F", 4));
  EXPECT_EQ(SafeFileStem("東錦|"), "東錦_");
  // Each byte that begins no UTF-8 character becomes "_" on its own: a continuation byte, a
  // lead byte without its continuation bytes (also at the end), the overlong form of "/", a
  // surrogate's form, bytes no character begins with.
  EXPECT_EQ(SafeFileStem("\x96|"), "__");
  EXPECT_EQ(SafeFileStem("\xE4"
                         "0ab\xD5"),
            "_0ab_");
  EXPECT_EQ(SafeFileStem("a\xE4\xB8"), "a__");
  EXPECT_EQ(SafeFileStem("\xC0\xAF"), "__");
  EXPECT_EQ(SafeFileStem("\xED\xA0\x80"), "___");
  EXPECT_EQ(SafeFileStem("\x80\xFF\xFF"), "___");
  // Characters GBK lacks stay whole.
  EXPECT_EQ(SafeFileStem("😀/한국:𠀀*España"), "😀_한국_𠀀_España");
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
  // Fifty Chinese characters, as many as in the GBK names of old: each is as wide as two ASCII
  // ones, and a four-byte character (emoji) as wide as four.
  std::string chinese;
  for (int i = 0; i < 75; ++i) chinese += "章";
  EXPECT_EQ(SafeFileStem(chinese), chinese.substr(0, 50 * 3));
  EXPECT_EQ(SafeFileStem("a" + chinese), "a" + chinese.substr(0, 49 * 3));
  EXPECT_EQ(SafeFileStem("a" + chinese, "123"), "a" + chinese.substr(0, 48 * 3) + "123");
  std::string emoji, korean;
  for (int i = 0; i < 30; ++i) emoji += "😀";
  for (int i = 0; i < 60; ++i) korean += "한";
  EXPECT_EQ(SafeFileStem(emoji), emoji.substr(0, 25 * 4));
  EXPECT_EQ(SafeFileStem("a" + emoji), "a" + emoji.substr(0, 24 * 4));
  EXPECT_EQ(SafeFileStem(korean, "7"), korean.substr(0, 49 * 3) + "7");
  EXPECT_EQ(SafeFileStem("España" + chinese), "España" + chinese.substr(0, 46 * 3));  // ñ: 2
  // The number always survives in full.
  EXPECT_EQ(SafeFileStem(std::string(200, 'x'), "45"), std::string(98, 'x') + "45");
  // Cutting can leave a trailing space, which goes too.
  EXPECT_EQ(SafeFileStem(std::string(99, 'x') + " y"), std::string(99, 'x'));
}

// The lines of a script (CR LF between them), each at most kMaxScriptLineBytes long, in UTF-8.
std::vector<std::string> ScriptLines(const std::string& script, Encoding encoding) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (true) {
    size_t end = script.find("\r\n", start);
    std::string line = script.substr(start, end == std::string::npos ? end : end - start);
    EXPECT_LE(line.size(), kMaxScriptLineBytes);
    std::string utf8;
    EXPECT_TRUE(ConvertText(line, encoding, Encoding::kUtf8, &utf8)) << testing::HexBytes(line);
    lines.push_back(utf8);
    if (end == std::string::npos) break;
    start = end + 2;
  }
  return lines;
}

// The first lines of a script in UTF-8, before its first line that is not ASCII.
const std::vector<std::string> kUtf8ScriptHead = {
    "@echo off", "setlocal",
    "for /f \"tokens=2 delims=:.\" %%c in ('chcp') do set \"travik_cp=%%c\"", "chcp 65001 >nul"};

TEST(MergeScriptText, PathsAreRelativeToTheScriptsFolder) {
  // GBK holds every name: the script is GBK, as cmd reads it on a Chinese system.
  const std::string expected =
      "@echo off\r\n"
      "pushd \"%~dp0\"\r\n"
      "md \"合并后的文件\" 2>nul\r\n"
      "copy /y /b \"1.txt\"+\"2.txt\"+\"3.txt\" \"合并后的文件\\小说.txt\" >nul\r\n"
      "popd\r\n"
      "mshta vbscript:msgbox(\"合并文件完成!\",64,\"提示\")(window.close)";
  EXPECT_EQ(MergeScriptText("小说", {"1.txt", "2.txt", "3.txt"}), Gbk(expected));
  // No pieces: the merged file is still made, empty.
  EXPECT_EQ(MergeScriptText("m", {}),
            "@echo off\r\npushd \"%~dp0\"\r\nmd \"合并后的文件\" 2>nul\r\n"
            "type nul >\"合并后的文件\\m.txt\"\r\npopd\r\n"
            "mshta vbscript:msgbox(\"合并文件完成!\",64,\"提示\")(window.close)"_gbk);
}

TEST(MergeScriptText, IsUtf8WithCodePage65001WhenGbkLacksAName) {
  // A piece name, or the merged file's name, that GBK cannot hold: the script is UTF-8 without a
  // byte-order mark, and its lines up to "chcp 65001" are ASCII. The console's code page is set
  // back at the end.
  const std::string expected =
      "@echo off\r\n"
      "setlocal\r\n"
      "for /f \"tokens=2 delims=:.\" %%c in ('chcp') do set \"travik_cp=%%c\"\r\n"
      "chcp 65001 >nul\r\n"
      "pushd \"%~dp0\"\r\n"
      "md \"合并后的文件\" 2>nul\r\n"
      "copy /y /b \"1.txt\"+\"😀 한국.txt\"+\"España.txt\" \"合并后的文件\\小说.txt\" >nul\r\n"
      "popd\r\n"
      "mshta vbscript:msgbox(\"合并文件完成!\",64,\"提示\")(window.close)\r\n"
      "chcp %travik_cp% >nul 2>nul\r\n";
  EXPECT_EQ(MergeScriptText("小说", {"1.txt", "😀 한국.txt", "España.txt"}), expected);
  const std::string by_merged_name = MergeScriptText("𠀀", {"1.txt", "2.txt"});
  EXPECT_NE(by_merged_name.find("copy /y /b \"1.txt\"+\"2.txt\" \"合并后的文件\\𠀀.txt\" >nul\r\n"),
            std::string::npos)
      << by_merged_name;
  for (const std::string& script : {expected, by_merged_name}) {
    const size_t chcp = script.find("chcp 65001 >nul\r\n");
    ASSERT_NE(chcp, std::string::npos);
    for (size_t i = 0; i < chcp; ++i) {
      ASSERT_LT(static_cast<unsigned char>(script[i]), 0x80) << i;
    }
    EXPECT_EQ(script.rfind("@echo off\r\n", 0), 0u);  // no byte-order mark before it
    EXPECT_TRUE(IsValidUtf8(script));
    const std::vector<std::string> lines = ScriptLines(script, Encoding::kUtf8);
    ASSERT_GT(lines.size(), kUtf8ScriptHead.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 4), kUtf8ScriptHead);
  }
}

TEST(MergeScriptText, DoublesPercentSignsAndKeepsOtherMarks) {
  // "%" is the one character cmd expands inside quotes; ^ & ! stay as they are, in either form.
  std::string script = MergeScriptText("a%b", {"100%.txt", "東^&!.txt"});
  EXPECT_NE(script.find(Gbk("copy /y /b \"100%%.txt\"+\"東^&!.txt\" \"合并后的文件\\a%%b.txt\"")),
            std::string::npos)
      << script;
  EXPECT_NE(script.find("pushd \"%~dp0\""), std::string::npos);  // the one % cmd expands
  script = MergeScriptText("a%b😀", {"100%.txt", "東^&!😀.txt"});
  EXPECT_NE(script.find("copy /y /b \"100%%.txt\"+\"東^&!😀.txt\" \"合并后的文件\\a%%b😀.txt\""),
            std::string::npos)
      << script;
  EXPECT_NE(script.find("pushd \"%~dp0\""), std::string::npos);
  EXPECT_NE(script.find("chcp %travik_cp%"), std::string::npos);
}

TEST(MergeScriptText, LongListsTakeSeveralCopyLines) {
  // The same list in GBK, and with one name GBK lacks at its end (the script in UTF-8, whose
  // lines hold fewer names).
  for (const bool utf8 : {false, true}) {
    SCOPED_TRACE(utf8 ? "UTF-8" : "GBK");
    std::vector<std::string> names;
    for (int i = 0; i < 3000; ++i)
      names.push_back("第" + NumberToText(i) + "章 卷名稍长的一个标题.txt");
    if (utf8) names.push_back("😀.txt");
    std::vector<std::string> lines =
        ScriptLines(MergeScriptText("小说", names), utf8 ? Encoding::kUtf8 : Encoding::kGbk);
    ASSERT_GT(lines.size(), 5u);
    size_t first = 1;  // after "@echo off"
    if (utf8) {
      EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 4), kUtf8ScriptHead);
      EXPECT_EQ(lines[lines.size() - 2], "chcp %travik_cp% >nul 2>nul");
      EXPECT_EQ(lines.back(), "");  // the file ends with CR LF
      lines.resize(lines.size() - 2);
      first = 4;
    } else {
      EXPECT_EQ(lines.front(), "@echo off");
    }
    ASSERT_EQ(lines[first], "pushd \"%~dp0\"");
    ASSERT_EQ(lines[first + 1], "md \"合并后的文件\" 2>nul");
    EXPECT_EQ(lines.back(), "mshta vbscript:msgbox(\"合并文件完成!\",64,\"提示\")(window.close)");
    const std::string target = "\"合并后的文件\\小说.txt\"";
    std::string listed;
    EXPECT_EQ(lines[lines.size() - 2], "popd");
    for (size_t i = first + 2; i + 2 < lines.size(); ++i) {
      const std::string& line = lines[i];
      // The first line creates the merged file; the others append to it.
      const std::string head = i == first + 2 ? "copy /y /b " : "copy /y /b " + target + "+";
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
}

TEST(PieceWriter, GivesClashingNamesNumberedCopies) {
  MemoryOutput out;
  PieceWriter writer("D", PieceNaming::kKeyword, "X", "M", out);
  // The matched texts are the source's GBK bytes; the names are UTF-8.
  writer.WritePiece("head", 0, {}, true);
  writer.WritePiece("a", 1, "第一章"_gbk);
  writer.WritePiece("b", 2, "第一章"_gbk);
  writer.WritePiece("c", 3, "第一章(2)"_gbk);
  writer.WritePiece("d", 4, "第一章"_gbk);
  writer.WritePiece("e", 5, "头文本"_gbk);
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
  // A double-byte character whose second byte is a capital letter is not folded: 81 41 is 丄,
  // 81 61 is 乤.
  PieceWriter plain("D", PieceNaming::kKeyword, "", "M", out);
  plain.WritePiece("x", 1, "\x81\x41");
  plain.WritePiece("y", 2, "\x81\x61");
  EXPECT_EQ(plain.names(), (std::vector<std::string>{"丄.txt", "乤.txt"}));
  // A text in UTF-8: names GBK cannot hold, equal ones numbered too.
  PieceWriter utf8("D", PieceNaming::kKeyword, "", "M", out);
  utf8.SetSourceEncoding(Encoding::kUtf8);
  for (const char* m : {"😀", "한국", "𠀀", "España", "😀", "한국", "𠀀", "España"}) {
    utf8.WritePiece("z", 1, m);
  }
  EXPECT_EQ(utf8.names(),
            (std::vector<std::string>{"😀.txt", "한국.txt", "𠀀.txt", "España.txt", "😀(2).txt",
                                      "한국(2).txt", "𠀀(2).txt", "España(2).txt"}));
}

TEST(PieceWriter, FoldsTheCaseOfDoubleByteLettersAsWindowsDoes) {
  // Windows and Wine take full-width Latin, Greek, Cyrillic and Roman-numeral letters without
  // regard to case too: 第ａ章.txt would overwrite 第Ａ章.txt. The texts are GBK.
  MemoryOutput out;
  PieceWriter writer("D", PieceNaming::kKeyword, "", "M", out);
  const char* const matched[] = {"第Ａ章", "第ａ章", "第Ⅹ卷", "第ⅹ卷", "Ω",  "ω",
                                 "Ж",      "ж",      "ё",     "Ё",     "ｚ", "Ｚ"};
  for (int i = 0; i < 12; ++i) writer.WritePiece("x", i + 1, Gbk(matched[i]));
  EXPECT_EQ(writer.names(),
            (std::vector<std::string>{"第Ａ章.txt", "第ａ章(2).txt", "第Ⅹ卷.txt", "第ⅹ卷(2).txt",
                                      "Ω.txt", "ω(2).txt", "Ж.txt", "ж(2).txt", "ё.txt", "Ё(2).txt",
                                      "ｚ.txt", "Ｚ(2).txt"}));
  // Letters of different alphabets, and a capital without a small form, stay apart.
  PieceWriter apart("D", PieceNaming::kKeyword, "", "M", out);
  for (const char* m : {"ａ", "α", "а", "ⅰ", "Ⅺ", "a"}) apart.WritePiece("y", 1, Gbk(m));
  EXPECT_EQ(apart.names(),
            (std::vector<std::string>{"ａ.txt", "α.txt", "а.txt", "ⅰ.txt", "Ⅺ.txt", "a.txt"}));
  // In a UTF-8 text, the letters GBK lacks fold as well: Latin with accents, ⅺ.
  PieceWriter latin("D", PieceNaming::kKeyword, "", "M", out);
  latin.SetSourceEncoding(Encoding::kUtf8);
  for (const char* m : {"España", "ESPAÑA", "Ⅺ", "ⅺ", "Łódź", "łÓDŹ"}) latin.WritePiece("w", 1, m);
  EXPECT_EQ(latin.names(), (std::vector<std::string>{"España.txt", "ESPAÑA(2).txt", "Ⅺ.txt",
                                                     "ⅺ(2).txt", "Łódź.txt", "łÓDŹ(2).txt"}));
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
