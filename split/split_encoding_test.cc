// The split of texts in GB18030 and UTF-8 (with and without a byte-order mark): the modes against
// the literal model on thousands of random texts, pieces made of whole characters that join back
// to the source, the same keyword cuts as in the GBK form of a text, piece names in GBK, and the
// job's refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "text/codepage.h"
#include "text/encoding.h"
#include "files/file_entry.h"
#include "files/files.h"
#include "text/text.h"
#include "split/piece_writer.h"
#include "split/split_job.h"
#include "split/split_model.h"
#include "split/split_modes.h"
#include "split/split_test_util.h"
#include "tests/test_util.h"

namespace travik {
namespace {

using testing::MemoryOutput;
using testing::RecordingHost;

constexpr unsigned kSeed = 18030;
constexpr char kMark[] = "\xEF\xBB\xBF";
const std::string kSep = kPathSeparator;

// U+20000 (𠀀) and U+1F600 (an emoji): characters GBK lacks, four bytes in GB18030 and UTF-8.
constexpr char kExtB[] = "\x95\x32\x82\x36";
constexpr char kEmoji[] = "\x94\x39\xFC\x36";

// One of the encodings the pieces are checked in.
struct Form {
  Encoding encoding;
  bool mark;
  const char* label;
};
constexpr Form kForms[] = {{Encoding::kGb18030, false, "GB18030"},
                           {Encoding::kUtf8, false, "UTF-8"},
                           {Encoding::kUtf8, true, "UTF-8 with mark"}};

// Random text as GB18030 bytes: headings, CJK characters (all in GBK), ASCII with the bytes that
// names and patterns care about, line breaks, and, unless `gbk_only`, four-byte characters.
std::string RandomGb18030Text(std::mt19937& rng, size_t max_length, bool gbk_only) {
  static const char* const kUnits[] = {"第一章 卷一\r\n", "第二十章", "第", "章", "，", "。",
                                       "\r\n",           "\n",       " ",  "a", "\\", "|",
                                       "CON",            "東錦",     "ａ", "?", ".",  "x"};
  const size_t length = rng() % (max_length + 1);
  std::string text;
  while (text.size() < length) {
    const unsigned kind = rng() % 10;
    if (kind < 4) {  // a CJK character from U+4E00 ... U+9FA5, GBK's whole range of them
      std::string utf8;
      const unsigned cp = 0x4E00 + rng() % (0x9FA6 - 0x4E00);
      utf8 += static_cast<char>(0xE0 | (cp >> 12));
      utf8 += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (cp & 0x3F));
      std::string gb;
      EXPECT_TRUE(ConvertText(utf8, Encoding::kUtf8, Encoding::kGb18030, &gb));
      text += gb;
    } else if (kind == 4 && !gbk_only) {
      text += rng() % 2 ? kExtB : kEmoji;
    } else {
      text += kUnits[rng() % (sizeof(kUnits) / sizeof(kUnits[0]))];
    }
  }
  return text;
}

// The random text in the form's encoding.
std::string InForm(const std::string& gb18030, const Form& form) {
  std::string out;
  EXPECT_TRUE(ConvertText(gb18030, Encoding::kGb18030, form.encoding, &out));
  return form.mark ? kMark + out : out;
}

// Bytes GB18030 texts that were recognised may hold (no check is made unless asked for): a lone
// 0x80 or 0xFF, a lead byte before a byte that is no trail, a four-byte form cut short.
std::string WithStrayBytes(std::mt19937& rng, std::string text) {
  static const char* const kStray[] = {"\x80", "\xFF", "\x81", "\x81\x30", "\x81\x30\x81",
                                       "\x95\x32\x82"};
  for (int k = static_cast<int>(rng() % 4); k > 0 && !text.empty(); --k) {
    text.insert(rng() % text.size(), kStray[rng() % 6]);
  }
  return text;
}

model::Naming RandomNaming(std::mt19937& rng) {
  static const char* const kCustom[] = {"自定义内容", "", "卷", "a/b:"};
  model::Naming naming;
  naming.mode = static_cast<PieceNaming>(rng() % 4);
  naming.custom_text = kCustom[rng() % 4];
  return naming;
}

SplitContext ContextFor(const std::string& text, const Form& form) {
  SplitContext context;
  context.source_text = text;
  context.encoding = form.encoding;
  context.mark_length = form.mark ? 3 : 0;
  return context;
}

void ExpectSamePieces(const std::vector<model::Piece>& expected, const MemoryOutput& out,
                      const std::string& text) {
  ASSERT_EQ(out.files.size(), expected.size()) << testing::HexBytes(text);
  for (size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(out.files[i].path, "D" + kSep + expected[i].name)
        << "piece " << i << " of " << testing::HexBytes(text);
    ASSERT_EQ(out.files[i].bytes, expected[i].bytes)
        << "piece " << i << " of " << testing::HexBytes(text);
  }
}

// Every piece begins and ends between two characters of the whole text, only the first holds the
// mark, and the pieces joined give the text back.
void ExpectWholeCharacters(const MemoryOutput& out, const std::string& text, const Form& form) {
  const std::vector<size_t> starts =
      model::CharacterStarts(text, form.encoding, form.mark ? 3 : 0);
  std::string joined;
  for (size_t i = 0; i < out.files.size(); ++i) {
    const size_t begin = joined.size();
    joined += out.files[i].bytes;
    if (out.files[i].bytes.empty()) continue;
    for (size_t edge : {begin, joined.size()}) {
      const bool between = edge == 0 || std::find(starts.begin(), starts.end(), edge) != starts.end();
      ASSERT_TRUE(between) << form.label << " piece " << i << " edge " << edge << " of "
                           << testing::HexBytes(text);
    }
    if (i > 0) {
      EXPECT_NE(out.files[i].bytes.rfind(kMark, 0), 0u) << form.label << " piece " << i;
    }
  }
  ASSERT_EQ(joined, text) << form.label;
}

TEST(SplitInEncodings, SizeAndCountSplitsMatchTheModel) {
  std::mt19937 rng(kSeed);
  for (int round = 0; round < 3000; ++round) {
    SCOPED_TRACE("seed " + std::to_string(kSeed) + " round " + std::to_string(round));
    const Form& form = kForms[round % 3];
    std::string text = InForm(RandomGb18030Text(rng, 6000, false), form);
    if (form.encoding == Encoding::kGb18030 && rng() % 3 == 0) text = WithStrayBytes(rng, text);
    const model::Naming naming = RandomNaming(rng);
    const int kb = static_cast<int>(rng() % 3) + 1;
    const double count =
        rng() % 2 ? SizeModePieceCount(static_cast<int64_t>(text.size()), NumberToText(kb))
                  : static_cast<double>(rng() % 7);
    SplitContext context = ContextFor(text, form);
    context.piece_count = count;
    MemoryOutput by_size;
    PieceWriter size_writer("D", naming.mode, naming.custom_text, "m", by_size);
    SplitBySize(context, kb * 1024, size_writer);
    ExpectSamePieces(
        model::SplitBySize(text, kb, count, naming, form.encoding, context.mark_length), by_size,
        text);
    ExpectWholeCharacters(by_size, text, form);

    context.requested_parts = static_cast<int>(rng() % 12) + 1;
    MemoryOutput by_count;
    PieceWriter count_writer("D", naming.mode, naming.custom_text, "m", by_count);
    SplitByCount(context, count_writer);
    ExpectSamePieces(model::SplitByCount(text, context.requested_parts, naming, form.encoding,
                                         context.mark_length),
                     by_count, text);
    ASSERT_EQ(by_count.files.size(), static_cast<size_t>(context.requested_parts));
    ExpectWholeCharacters(by_count, text, form);
  }
}

TEST(SplitInEncodings, KeywordSplitMatchesTheModel) {
  static const char* const kKeywords[] = {"^第",     "第.{1,3}章", "章$",  "(?=第)",  "\\r\\n",
                                          "\\x{20000}|\\x{1F600}", ".",     "a|\\|", "$",
                                          "^",       "[^\\r\\n]{4}", "東", "第(", "(?<=章)"};
  constexpr int kCount = sizeof(kKeywords) / sizeof(kKeywords[0]);
  std::mt19937 rng(kSeed + 1);
  for (int round = 0; round < 3000; ++round) {
    SCOPED_TRACE("seed " + std::to_string(kSeed + 1) + " round " + std::to_string(round));
    const Form& form = kForms[round % 3];
    std::string text = InForm(RandomGb18030Text(rng, 900, false), form);
    if (form.encoding == Encoding::kGb18030 && rng() % 3 == 0) text = WithStrayBytes(rng, text);
    const std::string keyword = kKeywords[rng() % kCount];
    model::Naming naming = RandomNaming(rng);
    if (rng() % 2) naming.mode = PieceNaming::kKeyword;
    SplitContext context = ContextFor(text, form);
    context.keyword = keyword;
    MemoryOutput out;
    PieceWriter writer("D", naming.mode, naming.custom_text, "m", out);
    writer.SetSourceEncoding(form.encoding);
    const KeywordSplitOutcome outcome = SplitByKeyword(context, writer);
    bool compiled = false;
    const std::vector<model::Piece> expected = model::SplitByKeyword(
        text, keyword, naming, &compiled, form.encoding, context.mark_length);
    EXPECT_EQ(outcome.pattern_ok, compiled) << keyword;
    EXPECT_EQ(outcome.pieces, static_cast<int64_t>(expected.size())) << keyword;
    ExpectSamePieces(expected, out, text);
    if (!out.files.empty()) ExpectWholeCharacters(out, text, form);
  }
}

// The GBK, GB18030 and UTF-8 forms of one text are cut at the same characters: each piece, in
// GBK, is the GBK split's piece, under the same name.
TEST(SplitInEncodings, KeywordCutsTheSameLinesAsInTheGbkForm) {
  static const char* const kKeywords[] = {"^第", "^第.{1,4}章", "(?<=\\n)第", "章\\r?$", "，"};
  std::mt19937 rng(kSeed + 2);
  for (int round = 0; round < 1500; ++round) {
    SCOPED_TRACE("seed " + std::to_string(kSeed + 2) + " round " + std::to_string(round));
    const std::string gb18030 = RandomGb18030Text(rng, 3000, true);
    std::string gbk;
    ASSERT_TRUE(ConvertText(gb18030, Encoding::kGb18030, Encoding::kGbk, &gbk));
    const std::string keyword = kKeywords[rng() % 5];
    SplitContext gbk_context;
    gbk_context.source_text = gbk;
    gbk_context.keyword = keyword;
    MemoryOutput gbk_out;
    PieceWriter gbk_writer("D", PieceNaming::kKeyword, "", "m", gbk_out);
    SplitByKeyword(gbk_context, gbk_writer);
    for (const Form& form : kForms) {
      const std::string text = InForm(gb18030, form);
      SplitContext context = ContextFor(text, form);
      context.keyword = keyword;
      MemoryOutput out;
      PieceWriter writer("D", PieceNaming::kKeyword, "", "m", out);
      writer.SetSourceEncoding(form.encoding);
      SplitByKeyword(context, writer);
      ASSERT_EQ(out.files.size(), gbk_out.files.size()) << form.label << " " << keyword;
      for (size_t i = 0; i < out.files.size(); ++i) {
        std::string piece = out.files[i].bytes;
        if (i == 0 && form.mark) {
          ASSERT_EQ(piece.rfind(kMark, 0), 0u) << form.label;
          piece.erase(0, 3);
        }
        std::string piece_in_gbk;
        ASSERT_TRUE(ConvertText(piece, form.encoding, Encoding::kGbk, &piece_in_gbk));
        ASSERT_EQ(piece_in_gbk, gbk_out.files[i].bytes) << form.label << " piece " << i;
        ASSERT_EQ(out.files[i].path, gbk_out.files[i].path) << form.label << " piece " << i;
      }
    }
  }
}

// The chapter finder's headings in the UTF-8 and GB18030 forms of a text are those of its GBK
// form: the same pieces (the mark in the first) under the same names.
TEST(SplitInEncodings, ChapterCutsAreThoseOfTheGbkForm) {
  const std::string gbk =
      "书名：河\r\n第一章 起\r\n第三天早上，他走了。\r\n　　第二章 承\r\n正文二\r\n"
      "第三章：合\r\n正文三\r\n第四章 转\r\n正文四";
  for (const std::string& head : {std::string(), std::string("第零章 序\r\n")}) {
    for (unsigned presets : {0u, 1u}) {
      SplitContext gbk_context;
      gbk_context.source_text = head + gbk;
      gbk_context.chapter_presets = presets;
      MemoryOutput gbk_out;
      PieceWriter gbk_writer("D", PieceNaming::kKeyword, "", "m", gbk_out);
      ASSERT_GT(SplitByChapters(gbk_context, gbk_writer).pieces, 3);
      for (const Form& form : kForms) {
        SCOPED_TRACE(std::string(form.label) + " presets " + std::to_string(presets));
        std::string text;
        ASSERT_TRUE(ConvertText(head + gbk, Encoding::kGbk, form.encoding, &text));
        if (form.mark) text = kMark + text;
        SplitContext context = ContextFor(text, form);
        context.chapter_presets = presets;
        MemoryOutput out;
        PieceWriter writer("D", PieceNaming::kKeyword, "", "m", out);
        writer.SetSourceEncoding(form.encoding);
        SplitByChapters(context, writer);
        ASSERT_EQ(out.files.size(), gbk_out.files.size());
        for (size_t i = 0; i < out.files.size(); ++i) {
          std::string piece = out.files[i].bytes;
          if (i == 0 && form.mark) piece.erase(0, piece.rfind(kMark, 0) == 0 ? 3 : 0);
          std::string piece_in_gbk;
          ASSERT_TRUE(ConvertText(piece, form.encoding, Encoding::kGbk, &piece_in_gbk));
          EXPECT_EQ(piece_in_gbk, gbk_out.files[i].bytes) << "piece " << i;
          EXPECT_EQ(out.files[i].path, gbk_out.files[i].path) << "piece " << i;
        }
        if (form.mark) {
          EXPECT_EQ(out.files[0].bytes.rfind(kMark, 0), 0u);
        }
      }
    }
  }
}

TEST(MatchedTextInGbk, ConvertsAndReplacesOnlyWhatGbkLacks) {
  std::string utf8;
  ASSERT_TRUE(ConvertText(JoinText("第", kExtB, "章", kEmoji), Encoding::kGb18030,
                          Encoding::kUtf8, &utf8));
  EXPECT_EQ(MatchedTextInGbk(utf8, Encoding::kUtf8), "第_章_");
  EXPECT_EQ(MatchedTextInGbk(JoinText("第", kExtB, "章"), Encoding::kGb18030), "第_章");
  // An invalid byte of a recognised GB18030 text is a character of its own, and no name's.
  EXPECT_EQ(MatchedTextInGbk("\x80\xB5\xDA", Encoding::kGb18030), "_第");
  EXPECT_EQ(MatchedTextInGbk("a\xB5\xDA", Encoding::kGbk), "a\xB5\xDA");
  EXPECT_EQ(MatchedTextInGbk("", Encoding::kUtf8), "");
  // A long match: the name holds its front, cut where the GBK form's name is cut.
  std::string long_gbk;
  for (int i = 0; i < 400; ++i) long_gbk += "章";
  std::string long_utf8;
  ASSERT_TRUE(ConvertText(long_gbk, Encoding::kGbk, Encoding::kUtf8, &long_utf8));
  EXPECT_EQ(SafeFileStem(MatchedTextInGbk(long_utf8, Encoding::kUtf8)), SafeFileStem(long_gbk));
  EXPECT_EQ(SafeFileStem(MatchedTextInGbk(long_utf8 + kMark, Encoding::kUtf8)),
            SafeFileStem(long_gbk));
  // Forbidden characters are still made safe after the conversion.
  EXPECT_EQ(PieceFileName(PieceNaming::kKeyword, 3, MatchedTextInGbk("a/b", Encoding::kUtf8),
                          false, ""),
            "a_b.txt");
}

// A temporary folder with sources and an output folder "out".
struct Scene {
  Scene() { MakeDirectory(out); }
  std::string Source(const std::string& name, std::string_view bytes) const {
    std::string path = dir.Join(name);
    EXPECT_TRUE(testing::WriteFileBytes(path, bytes));
    return path;
  }
  SplitForm Form(const std::vector<std::string>& paths) const {
    SplitForm form;
    for (const std::string& p : paths) form.rows.push_back(MakeSplitEntry(p));
    form.chosen_folder = out;
    form.size_text = "1";
    return form;
  }
  std::string Bytes(const std::string& relative) const {
    std::string bytes;
    EXPECT_TRUE(testing::ReadFileBytes(out + kSep + relative, &bytes)) << relative;
    return bytes;
  }
  testing::ScopedTempDir dir;
  std::string out = dir.Join("out");
};

TEST(SplitJobInEncodings, RefusedFilesGetNothingAndTheOthersAreSplit) {
  Scene scene;
  const std::string utf16le = scene.Source("甲.txt", std::string("\xFF\xFE" "a\0b\0", 6));
  const std::string utf16be = scene.Source("乙.txt", std::string("\xFE\xFF\0a\0b", 6));
  const std::string gbk_text = scene.Source("丙.txt", "第一章\r\n");
  std::string utf8;
  ASSERT_TRUE(ConvertText("第一章\r\n", Encoding::kGbk, Encoding::kUtf8, &utf8));
  const std::string utf8_text = scene.Source("丁.txt", kMark + utf8);
  SplitForm form = scene.Form({utf16le, utf16be, gbk_text, utf8_text});
  form.write_merge_script = true;
  // Forced UTF-8: the GBK text is not valid in it and is refused; the UTF-8 text is split.
  for (FileEntry& row : form.rows) row.encoding = EncodingChoice::kUtf8;
  RecordingHost host;
  SplitJob(form, host);
  ASSERT_EQ(host.failures.size(), 3u);
  EXPECT_EQ(host.failures[0].path, utf16le);
  EXPECT_EQ(host.failures[1].path, utf16be);
  EXPECT_EQ(host.failures[2].path, gbk_text);
  // The UTF-16 files are refused as UTF-16 even so; the GBK text for where it is not UTF-8.
  EXPECT_EQ(host.failures[0].reason, Utf16RefusalMessage(Encoding::kUtf16Le));
  EXPECT_EQ(host.failures[1].reason, Utf16RefusalMessage(Encoding::kUtf16Be));
  EXPECT_NE(host.failures[2].reason.find("UTF-8"), std::string::npos) << host.failures[2].reason;
  for (const char* name : {"甲", "乙", "丙"}) {
    EXPECT_FALSE(FolderExists(scene.out + kSep + name)) << name;
  }
  EXPECT_EQ(scene.Bytes("丁" + kSep + "1.txt"), kMark + utf8);
  EXPECT_EQ(FileSizeOf(scene.out + kSep + "丁" + kSep + kMergeScriptName) > 0, true);
  EXPECT_EQ(host.completions, 0);

  // Recognised, the GBK text is split as it always was, and the UTF-16 files are still refused.
  for (FileEntry& row : form.rows) row.encoding = EncodingChoice::kAuto;
  RecordingHost again;
  SplitJob(form, again);
  ASSERT_EQ(again.failures.size(), 2u);
  EXPECT_EQ(again.failures[0].reason, Utf16RefusalMessage(Encoding::kUtf16Le));
  EXPECT_EQ(again.failures[1].reason, Utf16RefusalMessage(Encoding::kUtf16Be));
  EXPECT_NE(again.failures[0].reason.find("UTF-16LE"), std::string::npos);
  for (const char* name : {"甲", "乙"}) EXPECT_FALSE(FolderExists(scene.out + kSep + name));
  EXPECT_EQ(scene.Bytes("丙" + kSep + "1.txt"), "第一章\r\n");
}

TEST(SplitJobInEncodings, MarkStaysInTheFirstPieceAndNamesComeOutInGbk) {
  Scene scene;
  // Two chapters in UTF-8 with a mark; the second heading holds U+20000, which GBK lacks.
  std::string body;
  ASSERT_TRUE(ConvertText(JoinText("第一章 始\r\n", std::string(1500, 'x'), "\r\n第二章 ", kExtB,
                                   "\r\n", std::string(1500, 'y')),
                          Encoding::kGb18030, Encoding::kUtf8, &body));
  const std::string text = kMark + body;
  const std::string source = scene.Source("书.txt", text);
  SplitForm form = scene.Form({source});
  form.mode = SplitMode::kByKeyword;
  form.keyword_text = "^第[^\\r\\n]*";
  form.naming = PieceNaming::kKeyword;
  RecordingHost host;
  SplitJob(form, host);
  EXPECT_TRUE(host.failures.empty());
  const std::string first = scene.Bytes("书" + kSep + "第一章 始.txt");
  const std::string second = scene.Bytes("书" + kSep + "第二章 _.txt");
  EXPECT_EQ(first.rfind(kMark, 0), 0u);  // no head piece of the mark alone
  EXPECT_EQ(first + second, text);
  EXPECT_FALSE(FileSizeOf(scene.out + kSep + "书" + kSep + "头文本.txt") >= 0);

  // By size, 1 KB: the mark counts as the file's bytes, the pieces end between characters.
  form.mode = SplitMode::kBySize;
  form.naming = PieceNaming::kNumber;
  form.rows[0].name = "量";
  RecordingHost by_size;
  SplitJob(form, by_size);
  std::string joined;
  for (int i = 1; i <= 3; ++i) joined += scene.Bytes("量" + kSep + std::to_string(i) + ".txt");
  EXPECT_EQ(joined, text);
  EXPECT_LT(FileSizeOf(scene.out + kSep + "量" + kSep + "4.txt"), 0);
  EXPECT_EQ(scene.Bytes("量" + kSep + "1.txt").size(), 1024u);  // 3 + "第一章 始\r\n" + x...
}

TEST(SplitJobInEncodings, CustomNameThatGbkCannotHoldIsRefusedFirst) {
  Scene scene;
  const std::string source = scene.Source("书.txt", "abc");
  SplitForm form = scene.Form({source});
  form.naming = PieceNaming::kCustom;
  form.custom_text = JoinText("卷", kExtB);
  RecordingHost host;
  SplitJob(form, host);
  EXPECT_EQ(host.messages, std::vector<std::string>{kCustomNameNotGbk});
  EXPECT_FALSE(FolderExists(scene.out + kSep + "书"));
  // Not used when the pieces are numbered, and GBK text is as good a name as ever.
  form.naming = PieceNaming::kNumber;
  RecordingHost numbered;
  SplitJob(form, numbered);
  EXPECT_TRUE(numbered.messages.empty());
  form.naming = PieceNaming::kCustom;
  form.custom_text = "卷";
  RecordingHost custom;
  SplitJob(form, custom);
  EXPECT_EQ(scene.Bytes("书" + kSep + "卷1.txt"), "abc");
}

}  // namespace
}  // namespace travik
