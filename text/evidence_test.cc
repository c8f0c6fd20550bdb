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

// Characters drawn from four pools: common characters 70 %, punctuation 15 %, ASCII 7 %, rare
// characters 8 %.
std::string PickFrom(std::mt19937& rng, size_t characters, const std::vector<std::string> (&pools)[4]) {
  std::string s;
  for (size_t k = 0; k < characters; ++k) {
    const unsigned r = rng() % 100;
    const auto& pool = pools[r < 70 ? 0 : r < 85 ? 1 : r < 92 ? 2 : 3];
    s += pool[rng() % pool.size()];
  }
  return s;
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
  return PickFrom(rng, characters, kPools);
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

// The same kind of text in traditional characters, as Big5 holds them: common characters, some
// of Big5's second level, Big5's punctuation, a little ASCII.
std::string RandomTraditionalText(std::mt19937& rng, size_t characters) {
  static const std::vector<std::string> kPools[] = {
      {"的", "一", "是", "了", "我", "不", "人", "在", "他", "有", "這", "個", "上", "們", "來",
       "到", "時", "大", "地", "為", "子", "中", "你", "說", "生", "國", "年", "著", "就", "那",
       "和", "要", "她", "出", "也", "得", "裡", "後", "自", "以", "會", "家", "可", "下", "而",
       "過", "天", "去", "能", "對", "小", "多", "然", "於", "心", "學", "麼", "之", "都", "好",
       "看", "起", "發", "當", "沒", "成", "只", "如", "事", "把", "還", "用", "第", "樣", "道",
       "想", "作", "種", "開", "美", "總", "從", "無", "情", "己", "面", "最", "女", "但", "現",
       "前", "些", "所", "同", "日", "手", "又", "行", "意", "動", "目", "錄", "十", "頭", "全"},
      {"，", "。", "「", "」", "！", "？", "：", "、", "…", "　"},
      {"a", "Q", "7", " ", "\r\n"},
      {"嫋", "淼", "璀", "璨", "魑", "魅", "魍", "魎", "饕", "餮", "耄", "耋", "躊", "躇", "覬",
       "覦"}};
  return PickFrom(rng, characters, kPools);
}

std::string Big5(std::string_view utf8) {
  std::string out;
  EXPECT_TRUE(ConvertTypedText(utf8, Encoding::kBig5, &out)) << utf8;
  return out;
}

// Big5 novels are told from GBK ones, traditional or simplified, from a few characters on; the
// GBK texts of the test above stay GBK.
TEST(RecognitionByEvidence, Big5TextsAreToldFromGbkTexts) {
  constexpr size_t kAlwaysRight = 8;
  std::mt19937 rng(950);
  int wrong_short = 0, short_total = 0;
  for (int round = 0; round < 20000; ++round) {
    const size_t n = 1 + static_cast<size_t>(round % 200);
    const std::string traditional = RandomTraditionalText(rng, n);
    const std::string big5 = Big5(traditional);
    const std::string gbk_traditional = Gbk(traditional);
    const std::string gbk = Gbk(RandomNovelText(rng, n));
    bool ascii = true;
    for (unsigned char c : big5) ascii &= c < 0x80;
    const Encoding as_big5 = DetectEncoding(big5).encoding;
    const Encoding as_gbk_traditional = DetectEncoding(gbk_traditional).encoding;
    const Encoding as_gbk = DetectEncoding(gbk).encoding;
    if (n >= kAlwaysRight) {
      ASSERT_EQ(as_big5, ascii ? Encoding::kGbk : Encoding::kBig5)
          << "seed 950 round " << round << ": " << traditional;
      ASSERT_EQ(as_gbk_traditional, Encoding::kGbk) << "seed 950 round " << round << ": " << traditional;
      ASSERT_EQ(as_gbk, Encoding::kGbk) << "seed 950 round " << round;
    } else {
      short_total += 3;
      wrong_short += (as_big5 != Encoding::kBig5 && !ascii) + (as_gbk_traditional != Encoding::kGbk) +
                     (as_gbk != Encoding::kGbk);
    }
  }
  EXPECT_LE(wrong_short * 5, short_total) << "short texts wrong too often";
  // Slight evidence is said: a word or two is not enough to be sure. One character that GBK
  // reads as a common one (說 is BB A1, 弧 in GBK) is GBK.
  const DetectedEncoding word = DetectEncoding(Big5("這個"));
  EXPECT_EQ(word.encoding, Encoding::kBig5);
  EXPECT_TRUE(word.weak);
  EXPECT_EQ(DetectEncoding(Big5("說")).encoding, Encoding::kGbk);
  const DetectedEncoding line = DetectEncoding(Big5("第一回　話說天下大勢，分久必合，合久必分。"));
  EXPECT_EQ(line.encoding, Encoding::kBig5);
  EXPECT_FALSE(line.weak);
  // A lone lead byte at the end (a file cut short) is the reader's to cut off: still Big5.
  EXPECT_EQ(DetectEncoding(Big5("第一回　話說天下大勢，分久必合。") + "\xA4").encoding,
            Encoding::kBig5);
  // A text that reads best as Big5 but holds a pair Big5 lacks further on is GBK.
  std::string mixed = Big5("第一回　話說天下大勢，分久必合，合久必分。");
  mixed += "\x81\x80";  // a GBK character, no Big5 one
  EXPECT_EQ(DetectEncoding(mixed).encoding, Encoding::kGbk);
}

}  // namespace
}  // namespace travik
