// Recognition by evidence: short GBK words that happen to be valid UTF-8, and random texts of
// every length in GBK and UTF-8, made of the characters novels are made of.
#include "text/evidence.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "text/codepage.h"

namespace travik {
namespace {

std::string Gbk(std::string_view utf8) {
  std::string out;
  EXPECT_TRUE(Utf8ToGbk(utf8, &out)) << utf8;
  return out;
}

TEST(RecognitionByEvidence, ShortGbkWordsThatAreValidUtf8AreGbk) {
  // Each of these is GBK whose bytes also form two-byte UTF-8 (Ŀ¼ for 目录).
  for (const char* word : {"目录", "十", "时", "说", "头", "全", "目", "录", "十时", "头目"}) {
    const std::string gbk = Gbk(word);
    ASSERT_TRUE(IsValidUtf8(gbk)) << word;
    const DetectedEncoding found = DetectEncoding(gbk);
    EXPECT_EQ(found.encoding, Encoding::kGbk) << word;
    // The same words as UTF-8 stay UTF-8.
    EXPECT_EQ(DetectEncoding(word).encoding, Encoding::kUtf8) << word;
  }
  // One character is slight evidence; a line of them is not.
  EXPECT_TRUE(DetectEncoding(Gbk("十")).weak);
  EXPECT_FALSE(DetectEncoding(Gbk("目录说十时头全目录说十时头全")).weak);
  // A UTF-8 piece that ends inside a character is UTF-8: the cut counts for neither reading.
  EXPECT_EQ(DetectEncoding("\xE5\xA5\xBD\xF0\x9F").encoding, Encoding::kUtf8);
  EXPECT_EQ(DetectEncoding("\xE7\xAC\xAC\xE4\xB8").encoding, Encoding::kUtf8);
  // The head piece of a book split at ^第, with its line break.
  EXPECT_EQ(DetectEncoding(Gbk("目录\r\n")).encoding, Encoding::kGbk);
  // Western and Russian UTF-8 stays UTF-8: their letters stand inside words.
  for (const char* western : {"café", "naïve résumé", "Привет, мир", "Ελληνικά",
                              "señor García", "Zürich über Köln"}) {
    EXPECT_EQ(DetectEncoding(western).encoding, Encoding::kUtf8) << western;
  }
}

TEST(RecognitionByEvidence, ReadingScoresFavourChineseOverMojibake) {
  auto sum = [](std::string_view s, Encoding e) { return ScoreReading(s, e).sum; };
  EXPECT_GT(sum(Gbk("目录"), Encoding::kGbk), sum(Gbk("目录"), Encoding::kUtf8));
  EXPECT_EQ(ScoreReading(Gbk("目录"), Encoding::kGbk).characters, 2u);
  EXPECT_GT(sum("第一章", Encoding::kUtf8), sum("第一章", Encoding::kGbk));
  EXPECT_EQ(sum("plain ascii", Encoding::kUtf8), 0);
  EXPECT_EQ(ScoreReading("plain ascii", Encoding::kGbk).characters, 0u);
  EXPECT_LT(sum("\xC2\x85\xC2\x86", Encoding::kUtf8), 0);  // C1 controls
}

// Characters of novels: mostly the common ones, some of GB2312's second level, punctuation, a
// few ASCII letters and digits, in UTF-8.
std::string RandomNovelText(std::mt19937& rng, size_t characters) {
  static const std::vector<std::string> kPools[] = {
      {"的", "一", "是", "了", "我", "不", "人", "在", "他", "有", "这", "个", "上", "们", "来",
       "到", "时", "大", "地", "为", "子", "中", "你", "说", "生", "国", "年", "着", "就", "那",
       "和", "要", "她", "出", "也", "得", "里", "后", "自", "以", "会", "家", "可", "下", "而",
       "过", "天", "去", "能", "对", "小", "多", "然", "于", "心", "学", "么", "之", "都", "好",
       "看", "起", "发", "当", "没", "成", "只", "如", "事", "把", "还", "用", "第", "样", "道",
       "想", "作", "种", "开", "美", "总", "从", "无", "情", "己", "面", "最", "女", "但", "现",
       "前", "些", "所", "同", "日", "手", "又", "行", "意", "动", "目", "录", "十", "头", "全"},
      {"，", "。", "“", "”", "！", "？", "：", "、", "…", "　"},
      {"a", "Q", "7", " ", "\r\n"},
      {"袅", "淼", "璀", "璨", "魑", "魅", "魍", "魉", "饕", "餮", "耄", "耋", "踌", "躇", "觊",
       "觎"}};
  std::string s;
  for (size_t k = 0; k < characters; ++k) {
    const unsigned r = rng() % 100;
    const auto& pool = kPools[r < 70 ? 0 : r < 85 ? 1 : r < 92 ? 2 : 3];
    s += pool[rng() % pool.size()];
  }
  return s;
}

// Texts of n characters for n from 1 to 200, each as GBK and as UTF-8. Every text of at least
// kAlwaysRight characters is recognised right; shorter ones mostly are.
TEST(RecognitionByEvidence, RandomTextsAreRecognisedFromAFewCharactersOn) {
  constexpr size_t kAlwaysRight = 3;
  std::mt19937 rng(2525);
  int wrong_short = 0, short_total = 0;
  for (int round = 0; round < 20000; ++round) {
    const size_t n = 1 + static_cast<size_t>(round % 200);
    const std::string utf8 = RandomNovelText(rng, n);
    const std::string gbk = Gbk(utf8);
    const Encoding as_utf8 = DetectEncoding(utf8).encoding;
    const Encoding as_gbk = DetectEncoding(gbk).encoding;
    const bool right = (as_utf8 == Encoding::kUtf8 || !IsValidUtf8(utf8) ||
                        utf8.find_first_of("\x80\xFF") == std::string::npos) &&
                       as_gbk == Encoding::kGbk;
    if (n >= kAlwaysRight) {
      ASSERT_EQ(as_gbk, Encoding::kGbk) << "seed 2525 round " << round << ": " << utf8;
      // Pure ASCII is GBK as it always was; anything else in UTF-8 is UTF-8.
      bool ascii = true;
      for (unsigned char c : utf8) ascii &= c < 0x80;
      ASSERT_EQ(as_utf8, ascii ? Encoding::kGbk : Encoding::kUtf8)
          << "seed 2525 round " << round << ": " << utf8;
    } else {
      ++short_total;
      wrong_short += right ? 0 : 1;
    }
  }
  EXPECT_LE(wrong_short * 10, short_total) << "short texts wrong too often";
}

}  // namespace
}  // namespace travik
