// The split of texts in GB18030 and UTF-8 (with and without a byte-order mark): the modes against
// the literal model on thousands of random texts, pieces made of whole characters that join back
// to the source, the same keyword cuts as in the GBK form of a text, piece names in UTF-8 (names GBK
// cannot hold among them), and the job's refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
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

using testing::Gb18030;
using testing::MemoryOutput;
using testing::operator""_gbk;
using testing::RecordingHost;

constexpr unsigned kSeed = 18030;
constexpr char kMark[] = "\xEF\xBB\xBF";
const std::string kSep = kPathSeparator;

// U+20000 (𠀀) and U+1F600 (an emoji) in GB18030: characters GBK lacks, four bytes in GB18030
// and UTF-8.
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
// names and patterns care about, line breaks, and, unless `gbk_only`, four-byte characters and
// letters GBK lacks (names that differ only in the case of one of them among them).
std::string RandomGb18030Text(std::mt19937& rng, size_t max_length, bool gbk_only) {
  static const std::string kUnits[] = {
      Gb18030("第一章 卷一\r\n"), Gb18030("第二十章"), Gb18030("第"), Gb18030("章"),
      Gb18030("，"), Gb18030("。"), "\r\n", "\n", " ", "a", "\\", "|", "CON", Gb18030("東錦"),
      Gb18030("ａ"), "?", ".", "x"};
  static const std::string kNotInGbk[] = {Gb18030("España"), Gb18030("ESPAÑA"), Gb18030("한국"),
                                          Gb18030("ñ"), Gb18030("Ñ")};
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
      const unsigned which = rng() % 4;
      text += which == 0 ? std::string(kExtB)
              : which == 1 ? std::string(kEmoji)
                           : kNotInGbk[rng() % std::size(kNotInGbk)];
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
  static const char* const kCustom[] = {"自定义内容", "", "卷", "a/b:", "😀", "𠀀한국", "España"};
  model::Naming naming;
  naming.mode = static_cast<PieceNaming>(rng() % 4);
  naming.custom_text = kCustom[rng() % std::size(kCustom)];
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
                                          "^",       "[^\\r\\n]{4}", "東", "第(", "(?<=章)",
                                          "𠀀|😀", "[Ee]spa.a|한", "(?i)españa"};
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
      "第三章：合\r\n正文三\r\n第四章 转\r\n正文四"_gbk;
  for (const std::string& head : {std::string(), "第零章 序\r\n"_gbk}) {
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

TEST(MatchedTextInUtf8, ConvertsEveryCharacterAndReplacesWhatIsNone) {
  // Characters GBK lacks are kept, from every encoding that holds them.
  EXPECT_EQ(MatchedTextInUtf8("第𠀀章😀 España 한국", Encoding::kUtf8), "第𠀀章😀 España 한국");
  EXPECT_EQ(MatchedTextInUtf8(Gb18030("第𠀀章😀 España 한국"), Encoding::kGb18030),
            "第𠀀章😀 España 한국");
  EXPECT_EQ(MatchedTextInUtf8(JoinText(Gb18030("第"), kExtB, Gb18030("章"), kEmoji),
                              Encoding::kGb18030),
            "第𠀀章😀");
  // An invalid byte of a recognised GB18030 or UTF-8 text is a character of its own, and no
  // name's.
  EXPECT_EQ(MatchedTextInUtf8("\x80\xB5\xDA", Encoding::kGb18030), "_第");
  EXPECT_EQ(MatchedTextInUtf8("a\xFF\xE7\xAC\xAC\xE7\xAC", Encoding::kUtf8), "a_第__");
  EXPECT_EQ(MatchedTextInUtf8("", Encoding::kUtf8), "");
  // GBK: a lead byte and a trail byte are one character, second bytes 7C and 5C included (東 is
  // 96 7C, 錦 E5 5C); a lead byte without a trail byte, or at the end, is "_" on its own, and so
  // is a pair that GBK does not assign.
  EXPECT_EQ(MatchedTextInUtf8("a\xB5\xDA", Encoding::kGbk), "a第");
  EXPECT_EQ(MatchedTextInUtf8("東錦|"_gbk, Encoding::kGbk), "東錦|");
  EXPECT_EQ(MatchedTextInUtf8("\x96|", Encoding::kGbk), "東");
  EXPECT_EQ(MatchedTextInUtf8("\x81"
                              "0ab\xD5",
                              Encoding::kGbk),
            "_0ab_");
  EXPECT_EQ(MatchedTextInUtf8("\x81\x7F\xFF", Encoding::kGbk), "_\x7F_");
#ifdef _WIN32
  // Code page 936 on Windows gives this unassigned cell a private-use character (U+E585).
  EXPECT_EQ(MatchedTextInUtf8("\xA2\xA0", Encoding::kGbk), "\xEE\x96\x85");
#else
  EXPECT_EQ(MatchedTextInUtf8("\xA2\xA0", Encoding::kGbk), "_");
#endif
  // A long match: the name holds its front, cut where the GBK form's name is cut.
  std::string long_utf8;
  for (int i = 0; i < 400; ++i) long_utf8 += "章";
  const std::string name = SafeFileStem(MatchedTextInUtf8(long_utf8, Encoding::kUtf8));
  EXPECT_EQ(name, long_utf8.substr(0, 50 * 3));
  EXPECT_EQ(SafeFileStem(MatchedTextInUtf8(long_utf8 + kMark, Encoding::kUtf8)), name);
  EXPECT_EQ(SafeFileStem(MatchedTextInUtf8(testing::Gbk(long_utf8), Encoding::kGbk)), name);
  EXPECT_EQ(SafeFileStem(MatchedTextInUtf8(Gb18030(long_utf8), Encoding::kGb18030)), name);
  // Forbidden characters are still made safe after the conversion.
  EXPECT_EQ(PieceFileName(PieceNaming::kKeyword, 3, MatchedTextInUtf8("a/b", Encoding::kUtf8),
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
  const std::string gbk_text = scene.Source("丙.txt", "第一章\r\n"_gbk);
  const std::string utf8 = "第一章\r\n";
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
  EXPECT_EQ(scene.Bytes("丙" + kSep + "1.txt"), "第一章\r\n"_gbk);
}

TEST(SplitJobInEncodings, MarkStaysInTheFirstPieceAndNamesKeepCharactersGbkLacks) {
  Scene scene;
  // Two chapters in UTF-8 with a mark; the second heading holds U+20000, which GBK lacks.
  const std::string body = JoinText("第一章 始\r\n", std::string(1500, 'x'), "\r\n第二章 𠀀\r\n",
                                    std::string(1500, 'y'));
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
  const std::string second = scene.Bytes("书" + kSep + "第二章 𠀀.txt");
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

// Names GBK cannot hold work everywhere: as the names of sources (their piece folders and merged
// files), as custom names, and as names taken from a text's headings. The merge script that
// lists them is GBK, and joins the pieces by patterns that match them.
TEST(SplitJobInEncodings, NamesGbkCannotHoldAreNamesLikeAnyOther) {
  Scene scene;
  const std::vector<std::string> stems = {"😀", "한국", "𠀀", "España"};
  std::vector<std::string> sources;
  for (const std::string& stem : stems) sources.push_back(scene.Source(stem + ".txt", "abcdef"));
  SplitForm form = scene.Form(sources);
  form.mode = SplitMode::kByCount;
  form.parts_text = "2";
  form.naming = PieceNaming::kCustom;
  form.custom_text = "卷😀𠀀";
  form.write_merge_script = true;
  RecordingHost host;
  SplitJob(form, host);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_TRUE(host.failures.empty());
  EXPECT_EQ(host.completions, 1);
  for (const std::string& stem : stems) {
    SCOPED_TRACE(stem);
    EXPECT_EQ(scene.Bytes(stem + kSep + "卷😀𠀀1.txt"), "abc");
    EXPECT_EQ(scene.Bytes(stem + kSep + "卷😀𠀀2.txt"), "def");
    const std::string script = scene.Bytes(stem + kSep + kMergeScriptName);
    EXPECT_EQ(script, MergeScriptText(stem, {"卷😀𠀀1.txt", "卷😀𠀀2.txt"}));
    EXPECT_EQ(script.rfind("@echo off\r\nsetlocal\r\n", 0), 0u);
    // GBK, with the names as patterns and the merged name the folder's (GBK lacks ñ too).
    EXPECT_NE(script.find(testing::Gbk("\"卷????1.txt\"+\"卷????2.txt\" \"合并后的文件\\%travik_name%.txt\"")),
              std::string::npos)
        << script;
  }

  // Numbered pieces of a source GBK cannot name: the script stays GBK when its other names fit,
  // and is UTF-8 for the source's own name otherwise.
  form.naming = PieceNaming::kNumber;
  form.rows = {MakeSplitEntry(sources[1])};
  form.rows[0].name = "小说";
  RecordingHost numbered;
  SplitJob(form, numbered);
  EXPECT_EQ(scene.Bytes(JoinText("小说", kSep, kMergeScriptName)),
            MergeScriptText("小说", {"1.txt", "2.txt"}));
  EXPECT_EQ(scene.Bytes(JoinText("小说", kSep, kMergeScriptName)).rfind("@echo off\r\npushd", 0),
            0u);

  // Headings of a UTF-8 text and of a GB18030 text name the pieces with the characters GBK lacks.
  const std::string novel = "第一章 😀\r\n甲\r\n第二章 한국\r\n乙\r\n第三章 España\r\n丙\r\n";
  const std::string utf8 = scene.Source("u.txt", novel);
  const std::string gb18030 = scene.Source("g.txt", Gb18030(novel) + kExtB);
  SplitForm chapters = scene.Form({utf8, gb18030});
  chapters.rows[1].encoding = EncodingChoice::kGb18030;
  chapters.mode = SplitMode::kByKeyword;
  chapters.find_chapters = true;
  chapters.naming = PieceNaming::kKeyword;
  chapters.write_merge_script = true;
  RecordingHost by_chapters;
  SplitJob(chapters, by_chapters);
  EXPECT_TRUE(by_chapters.failures.empty());
  for (const char* folder : {"u", "g"}) {
    SCOPED_TRACE(folder);
    const std::string base = std::string(folder) + kSep;
    const bool in_gb18030 = folder[0] == 'g';
    const std::string first = in_gb18030 ? Gb18030("第一章 😀\r\n甲\r\n") : "第一章 😀\r\n甲\r\n";
    EXPECT_EQ(scene.Bytes(base + "001 第一章 😀.txt"), first);
    EXPECT_EQ(scene.Bytes(base + "002 第二章 한국.txt"),
              in_gb18030 ? Gb18030("第二章 한국\r\n乙\r\n") : "第二章 한국\r\n乙\r\n");
    EXPECT_EQ(scene.Bytes(base + "003 第三章 España.txt"),
              in_gb18030 ? Gb18030("第三章 España\r\n丙\r\n") + kExtB : "第三章 España\r\n丙\r\n");
    EXPECT_EQ(scene.Bytes(base + kMergeScriptName),
              MergeScriptText(folder, {"001 第一章 😀.txt", "002 第二章 한국.txt", "003 第三章 España.txt"}));
  }
}

}  // namespace
}  // namespace travik
