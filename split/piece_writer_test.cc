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

// The lines of a script that sees to its patterns before it joins anything.
const char kCheckedScriptHead[] = "@echo off\r\nsetlocal\r\npushd \"%~dp0\"\r\n";
const char kCheckedScriptTail[] =
    "popd\r\nmshta vbscript:msgbox(\"合并文件完成!\",64,\"提示\")(window.close)\r\n"
    "goto :eof\r\n:travik_stop\r\npopd\r\npause\r\nexit /b 1\r\n";

// The lines that count the files a pattern matches and stop the script unless exactly one.
std::string PatternCheck(const std::string& pattern) {
  return "set travik_n=0\r\nfor /f \"eol=: delims=\" %%f in ('dir /b /a-d \"" + pattern +
         "\" 2^>nul') do set /a travik_n+=1\r\nif not \"%travik_n%\"==\"1\" echo 没有合并：与 \"" +
         pattern + "\" 相配的文件有 %travik_n% 个，应当恰好 1 个（? 代表 GBK 没有的字符） & goto "
         "travik_stop\r\n";
}

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

// Wine's cmd reads a batch file in GBK whatever chcp says, so the script is GBK: a name GBK lacks
// is a pattern, "?" for each UTF-16 unit of each character GBK lacks (two for 😀 and 𠀀), which
// the script first checks to match exactly one file. A merged name GBK lacks is the folder's.
TEST(MergeScriptText, NamesGbkLacksArePatternsThatMustMatchOneFile) {
  const std::string expected =
      std::string(kCheckedScriptHead) + PatternCheck("?? ??.txt") + PatternCheck("Espa?a.txt") +
      PatternCheck("??.txt") +
      "md \"合并后的文件\" 2>nul\r\n"
      "copy /y /b \"1.txt\"+\"?? ??.txt\"+\"Espa?a.txt\"+\"??.txt\"+\"第二章.txt\" "
      "\"合并后的文件\\小说.txt\" >nul\r\n" +
      kCheckedScriptTail;
  EXPECT_EQ(MergeScriptText("小说", {"1.txt", "😀 한국.txt", "España.txt", "𠀀.txt", "第二章.txt"}),
            Gbk(expected));
  // The merged file takes the name of the script's folder when cmd runs it.
  const std::string by_folder =
      std::string(kCheckedScriptHead) +
      "for %%d in (\"%~dp0.\") do set \"travik_name=%%~nxd\"\r\n"
      "md \"合并后的文件\" 2>nul\r\n"
      "copy /y /b \"1.txt\"+\"2.txt\" \"合并后的文件\\%travik_name%.txt\" >nul\r\n" +
      kCheckedScriptTail;
  EXPECT_EQ(MergeScriptText("𠀀 한국", {"1.txt", "2.txt"}), Gbk(by_folder));
  // Characters GBK holds, of any script, stay as they are.
  EXPECT_EQ(MergeScriptText("Ωяé", {"ü東.txt"}).find("?"), std::string::npos);
}

// The script is written only where its patterns cannot take one piece for another, and its merged
// name is the folder's where GBK lacks it.
TEST(MergeScriptProblem, NamesAPatternAnotherPieceMayMatch) {
  EXPECT_EQ(MergeScriptProblem("书", "书", {"1.txt", "第一章 😀.txt", "第二章 한국.txt",
                                           "第三章 𠀀.txt", "España.txt"}),
            "");
  // "??.txt" matches "1.txt" too on Windows: a "?" before the dot may match nothing.
  EXPECT_EQ(MergeScriptProblem("书", "书", {"1.txt", "😀.txt"}),
            "分割文件名“😀.txt”中有 GBK 没有的字符，合并文件（批处理）只能写作“??.txt”，"
            "而“1.txt”也与之相配");
  EXPECT_EQ(MergeScriptProblem("书", "书", {"a😀.txt", "abc.txt"}),
            "分割文件名“a😀.txt”中有 GBK 没有的字符，合并文件（批处理）只能写作“a??.txt”，"
            "而“abc.txt”也与之相配");
  // "?" may match fewer characters, and letters match in either case, as Windows matches them.
  EXPECT_NE(MergeScriptProblem("书", "书", {"a😀.txt", "ab.txt"}), "");
  EXPECT_NE(MergeScriptProblem("书", "书", {"a😀.txt", "A.txt"}), "");
  EXPECT_NE(MergeScriptProblem("书", "书", {"第1章 한.txt", "第1章 卷.txt"}), "");
  EXPECT_NE(MergeScriptProblem("书", "书", {"x.txt", "1😀.txt", "1한국.txt"}), "");
  EXPECT_NE(MergeScriptProblem("书", "书", {"Ñ.txt", "ñ.txt"}), "");
  // Names that differ where GBK holds them are told apart.
  EXPECT_EQ(MergeScriptProblem("书", "书", {"a😀.txt", "b😀.txt", "a😀1.txt", "abcd.txt"}), "");
  EXPECT_EQ(MergeScriptProblem("书", "书", {"卷😀1.txt", "卷😀2.txt", "卷😀10.txt"}), "");
  // A merged name GBK lacks must be the folder's name.
  EXPECT_EQ(MergeScriptProblem("😀 书", "😀 书", {"1.txt"}), "");
  EXPECT_EQ(MergeScriptProblem("😀 书(2)", "😀 书", {"1.txt"}),
            "合并后的文件名“😀 书”中有 GBK 没有的字符，合并文件（批处理）写不出这个名字");
}

TEST(MergeScriptText, DoublesPercentSignsAndKeepsOtherMarks) {
  // "%" is the one character cmd expands inside quotes; ^ & ! stay as they are, in either form.
  std::string script = MergeScriptText("a%b", {"100%.txt", "東^&!.txt"});
  EXPECT_NE(script.find(Gbk("copy /y /b \"100%%.txt\"+\"東^&!.txt\" \"合并后的文件\\a%%b.txt\"")),
            std::string::npos)
      << script;
  EXPECT_NE(script.find("pushd \"%~dp0\""), std::string::npos);  // the one % cmd expands
  script = MergeScriptText("a%b", {"100%.txt", "東^&!😀.txt"});
  EXPECT_NE(script.find(Gbk("copy /y /b \"100%%.txt\"+\"東^&!??.txt\" \"合并后的文件\\a%%b.txt\"")),
            std::string::npos)
      << script;
  EXPECT_NE(script.find(Gbk(PatternCheck("東^&!??.txt"))), std::string::npos) << script;
  EXPECT_NE(MergeScriptText("a", {"5%😀.txt"}).find(Gbk(PatternCheck("5%%??.txt"))), std::string::npos);
}

TEST(MergeScriptText, LongListsTakeSeveralCopyLines) {
  // The same list with names GBK holds, and with a name GBK lacks at its end (the script then
  // checks its pattern first), and with a merged name taken from the folder (lines leave room for
  // it).
  for (const int form : {0, 1, 2}) {
    SCOPED_TRACE(form);
    std::vector<std::string> names;
    for (int i = 0; i < 3000; ++i)
      names.push_back("第" + NumberToText(i) + "章 卷名稍长的一个标题.txt");
    if (form == 1) names.push_back("😀.txt");
    const std::string merged = form == 2 ? "小说😀" : "小说";
    const std::string script = MergeScriptText(merged, names);
    std::vector<std::string> lines = ScriptLines(script, Encoding::kGbk);
    ASSERT_GT(lines.size(), 5u);
    size_t first = 1;  // after "@echo off"
    EXPECT_EQ(lines.front(), "@echo off");
    if (form != 0) {
      const std::string tail = Gbk(kCheckedScriptTail);
      ASSERT_EQ(script.substr(script.size() - tail.size()), tail);
      lines = ScriptLines(script.substr(0, script.find("\r\ngoto :eof\r\n")), Encoding::kGbk);
      EXPECT_EQ(lines[1], "setlocal");
      first = 2;
      if (form == 1) {
        EXPECT_EQ(script.find(Gbk(PatternCheck("??.txt"))), script.find("set travik_n=0"));
        EXPECT_NE(script.find(Gbk(PatternCheck("??.txt"))), std::string::npos);
        for (int k = 0; k < 3; ++k) lines.erase(lines.begin() + first + 1);
      } else {
        EXPECT_EQ(lines[first + 1], "for %%d in (\"%~dp0.\") do set \"travik_name=%%~nxd\"");
        lines.erase(lines.begin() + first + 1);
        // cmd puts the folder's name, up to 255 characters, in place of %travik_name%: the line
        // stays within cmd's limit (GBK bytes are never fewer than the characters they make).
        for (size_t start = 0, end; (end = script.find("\r\n", start)) != std::string::npos;
             start = end + 2) {
          const size_t length = end - start;
          const size_t names = script.substr(start, length).find("%travik_name%") != std::string::npos;
          EXPECT_LE(length - names * 13 + names * 255, kMaxScriptLineBytes);
        }
      }
    }
    ASSERT_EQ(lines[first], "pushd \"%~dp0\"");
    ASSERT_EQ(lines[first + 1], "md \"合并后的文件\" 2>nul");
    EXPECT_EQ(lines.back(), "mshta vbscript:msgbox(\"合并文件完成!\",64,\"提示\")(window.close)");
    const std::string target =
        form == 2 ? "\"合并后的文件\\%travik_name%.txt\"" : "\"合并后的文件\\小说.txt\"";
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
    for (const std::string& name : names) {
      expected += (expected.empty() ? "\"" : "+\"") + (name == "😀.txt" ? "??.txt" : name) + "\"";
    }
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
  // A script of the pieces written would join the book without piece 2: none is written.
  const size_t written = out.files.size();
  EXPECT_FALSE(writer.WriteMergeScript());
  EXPECT_EQ(out.files.size(), written);
  // With every piece written the script lists them all; a script that cannot be written fails.
  PieceWriter whole("G", PieceNaming::kNumber, "", "源", out);
  whole.ReserveName("1.TXT");
  whole.WritePiece("one", 1);
  whole.WritePiece("two", 2);
  ASSERT_TRUE(whole.WriteMergeScript());
  ASSERT_EQ(out.files.back().path, "G" + sep + "点我合并.bat");
  EXPECT_EQ(out.files.back().bytes, MergeScriptText("源", {"1(2).txt", "2.txt"}));
  out.refused.insert("G" + sep + "点我合并.bat");
  EXPECT_FALSE(whole.WriteMergeScript());
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
