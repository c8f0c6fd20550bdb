#include "text/evidence.h"

#include <bitset>
#include <mutex>
#include <string>

#include "text/big5.h"
#include "text/codepage.h"

namespace travik {

namespace {

// The most frequent characters of Chinese novels, simplified and traditional: the strongest
// sign that a reading is the right one.
constexpr std::string_view kCommon =
    "的一是不了人我在有他这中大来上国个到说们为子和你地出道也时年得就那要下以生会自着去之过家学对可她里后小么心多天而能好都然没日于起还发成事只作当想看文无开手十用主行方又如前所本见经头面公同三已老从动两长知民样现分将外但身些与高意进把法此实回二理美点月明其种声全工己话儿者向情部正名定女问力机给等几很业最间新什打便位因重被走电四第门相次东政海口使教西再平真听世气信北少关并内加化由却代军产入先山五太水万市眼体别处总才场师书比住员九笑性通目华报立马命张活难神数件安表原车白应路期叫死常提感金何更反合放做系计或司利受光王果亲界及今京务制解各任至清物台象记边共风战干接它许八特觉望直服毛林题建南度统色字请交爱让认算论百吃义科怎元社术结六功指思非流每青管夫连远资队跟带花快条院变联言权往展该领传近留红治决周保达办运武半候七必城父强步完革深区即求品士转量空甚众技轻程告江语英基派满式李息写呢识极令黄德收脸钱党倒未持取设始版双历越史商千片容研像找友孩站广改议形委早房音火际则首单据导影失拿网香似斯专石若兵弟谁校读志飞观争究包组造落视济喜离虽坏兴器病乎装规温试类章节卷录序個們來說時為會過對學國發後動開關長實點當經種現還問於從與應書見體無頭話裡將麼樣讓車門間氣進東電聽機變處邊總師員號記認樂親飛愛錢黨難題議報義專業戰術標準寫讀覺語壞興雙歷雖離導聯歲舊勢廣滿藝節華帶費萬隊條區斷層網縣驗吗啊吧呀嗯哦哪呵嘿哈";

const std::bitset<0x10000>& CommonCharacters() {
  static std::bitset<0x10000> set;
  static std::once_flag built;
  std::call_once(built, [] {
    std::u32string cps;
    if (DecodeText(kCommon, Encoding::kUtf8, &cps)) {
      for (char32_t cp : cps) set.set(cp);
    }
  });
  return set;
}

enum class Kind { kAscii, kAsciiLetter, kHan, kPunctuation, kLatin, kGreek, kCyrillic, kOdd, kOther };

bool IsHan(CodePoint cp) {
  return (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0x3400 && cp <= 0x4DBF) ||
         (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0x20000 && cp <= 0x3134F);
}

Kind KindOf(CodePoint cp) {
  if (cp < 0x80) {
    const CodePoint lower = cp | 0x20;
    return lower >= 'a' && lower <= 'z' ? Kind::kAsciiLetter : Kind::kAscii;
  }
  if (IsHan(cp)) return Kind::kHan;
  if ((cp >= 0x3000 && cp <= 0x303F) || (cp >= 0xFF01 && cp <= 0xFF5E) ||
      (cp >= 0x2010 && cp <= 0x2027) || (cp >= 0xFE30 && cp <= 0xFE4F)) {
    return Kind::kPunctuation;
  }
  if (cp >= 0xC0 && cp <= 0x24F && cp != 0xD7 && cp != 0xF7) return Kind::kLatin;
  if (cp >= 0x370 && cp <= 0x3FF) return Kind::kGreek;
  if (cp >= 0x400 && cp <= 0x4FF) return Kind::kCyrillic;
  // C1 controls, Latin-1 signs, IPA, modifier letters and combining marks, private use,
  // undecodable bytes (low surrogates here), noncharacters.
  if (cp < 0xC0 || (cp >= 0x250 && cp <= 0x36F) || (cp >= 0xD800 && cp <= 0xF8FF) ||
      (cp >= 0xFFF0 && cp <= 0xFFFF)) {
    return Kind::kOdd;
  }
  return Kind::kOther;
}

// A letter counts for a reading inside a word of its script and against it next to Chinese or
// another script: "café" is French, "Ŀ¼" is what 目录 looks like read wrongly.
bool SameScript(Kind a, Kind b) {
  const bool latin_a = a == Kind::kLatin || a == Kind::kAsciiLetter;
  const bool latin_b = b == Kind::kLatin || b == Kind::kAsciiLetter;
  return (latin_a && latin_b) || a == b;
}

// A wrong reading of Chinese bytes gives Chinese characters too, but rarely common ones: a pair
// of random bytes falls among GB2312's first level one time in six and among the few hundred
// most frequent characters one time in forty. A Big5 reading has Big5's first level (the
// frequently used characters, traditional) where the others have GB2312's.
int HanScore(CodePoint cp, Encoding reading) {
  if (cp < 0x10000 && CommonCharacters().test(cp)) return 4;
  if (reading == Encoding::kBig5) return IsBig5FirstLevel(cp) ? 1 : 0;
  const uint16_t gbk = GbkCodeOf(cp);
  if (gbk >= 0xB0A1 && gbk <= 0xD7F9 && (gbk & 0xFF) >= 0xA1) return 1;  // GB2312's first level
  return 0;
}

}  // namespace

ReadingScore ScoreReading(std::string_view text, Encoding encoding) {
  if (encoding != Encoding::kGbk && encoding != Encoding::kUtf8 && encoding != Encoding::kBig5) {
    return {};
  }
  text = text.substr(0, kEvidenceBytes);
  const char* p = text.data();
  const char* end = p + text.size();
  const CharValue* table = GbkPairTable();
  int64_t score = 0;
  size_t characters = 0;
  Kind previous = Kind::kAscii;
  while (p < end) {
    CodePoint cp;
    size_t length;
    if (encoding == Encoding::kGbk) {
      cp = static_cast<CodePoint>(GbkCharValue(p, end, table));
      length = GbkCharLength(p, end);
    } else if (encoding == Encoding::kBig5) {
      cp = DecodeChar(Encoding::kBig5, p, end);
      length = GbkCharLength(p, end);
    } else {
      length = Utf8SequenceLength(p, end);
      cp = length ? DecodeChar(Encoding::kUtf8, p, end) : 0xDC00 + static_cast<unsigned char>(*p);
      if (length == 0) length = 1;
    }
    p += length;
    const Kind kind = KindOf(cp);
    if (cp >= 0x80) ++characters;
    switch (kind) {
      case Kind::kHan:
        score += HanScore(cp, encoding);
        break;
      case Kind::kPunctuation:
        score += 2;
        break;
      case Kind::kLatin:
      case Kind::kGreek:
      case Kind::kCyrillic:
        // A word may begin after a space or a sign; it does not begin right after a Chinese
        // character or a letter of another script.
        score += SameScript(kind, previous) ? 2 : previous == Kind::kAscii ? 0 : -2;
        break;
      case Kind::kAsciiLetter:
        score += previous == Kind::kLatin ? 2 : 0;  // the rest of a word such as "naïve"
        break;
      case Kind::kOdd:
        score += cp >= 0xA0 && cp < 0xC0 && previous == Kind::kAscii ? -1 : -3;
        break;
      default:
        break;
    }
    previous = kind;
  }
  return {score, characters};
}

Verdict WeighUtf8AgainstGbk(std::string_view text) {
  // Both readings end at the same place, before a character cut by the end of the sample or of
  // the text (a piece may end inside one): the cut would count against them.
  auto continuation = [&](size_t at) { return (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80; };
  size_t length = std::min(text.size(), kEvidenceBytes);
  while (length > 0 && length < text.size() && continuation(length)) --length;
  size_t last = length;
  while (last > 0 && length - last < 3 && continuation(last - 1)) --last;
  if (last > 0 && static_cast<unsigned char>(text[last - 1]) >= 0xC0 &&
      Utf8SequenceLength(text.data() + last - 1, text.data() + length) == 0) {
    length = last - 1;
  }
  text = text.substr(0, length);
  const ReadingScore utf8 = ScoreReading(text, Encoding::kUtf8);
  const ReadingScore gbk = ScoreReading(text, Encoding::kGbk);
  // Per character: the same bytes make half as many characters again in GBK as in UTF-8.
  // gbk.sum / gbk.characters > utf8.sum / utf8.characters, without division.
  const int64_t g = gbk.sum * static_cast<int64_t>(utf8.characters);
  const int64_t u = utf8.sum * static_cast<int64_t>(gbk.characters);
  const Encoding winner = g > u ? Encoding::kGbk : Encoding::kUtf8;
  // The evidence: the difference per character, times the characters of the winning reading.
  const size_t n = winner == Encoding::kGbk ? gbk.characters : utf8.characters;
  const int64_t difference = g > u ? g - u : u - g;
  const int64_t per_character_times = static_cast<int64_t>(utf8.characters * gbk.characters);
  const bool weak = per_character_times == 0 ||
                    difference * static_cast<int64_t>(n) < kWeakMargin * per_character_times;
  return {winner, weak};
}

Verdict WeighGbkAgainstBig5(std::string_view text) {
  // Bytes that are no Big5 text settle it at once (a lead byte the end of the sample cuts off
  // does not count): most GBK texts hold pairs Big5 lacks within their first lines.
  text = text.substr(0, kEvidenceBytes);
  const size_t bad = FirstInvalidBig5Char(text);
  if (bad + 1 < text.size()) return {Encoding::kGbk, false};
  // Both readings step alike: the same characters, weighed one against the other. GBK is by far
  // the more common of the two: Big5 must win by a common character's worth.
  const ReadingScore gbk = ScoreReading(text, Encoding::kGbk);
  const ReadingScore big5 = ScoreReading(text, Encoding::kBig5);
  const Encoding winner = big5.sum > gbk.sum + kBig5Lead ? Encoding::kBig5 : Encoding::kGbk;
  const int64_t difference = big5.sum > gbk.sum ? big5.sum - gbk.sum : gbk.sum - big5.sum;
  return {winner, difference < kWeakMargin};
}

}  // namespace travik
