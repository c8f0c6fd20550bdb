// Detection and stepping against literal models on random bytes, and the traps of detection.
#include "text/encoding.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "text/codepage.h"
#include "text/evidence.h"
#include "tests/test_util.h"

namespace travik {
namespace {

bool In(unsigned char c, int lo, int hi) { return c >= lo && c <= hi; }

// UTF-8 by the system's converter: the smallest run of 1 to 4 bytes it decodes as exactly one
// character; a byte that begins none is a character of its own.
size_t ModelUtf8Length(const std::string& s, size_t i) {
  for (size_t k = 1; k <= 4 && i + k <= s.size(); ++k) {
    std::u32string cps;
    if (DecodeText(s.substr(i, k), Encoding::kUtf8, &cps) && cps.size() == 1) return k;
  }
  return 1;
}

// GB18030 by its byte ranges.
size_t ModelGb18030Length(const std::string& s, size_t i) {
  auto b = [&](size_t k) { return static_cast<unsigned char>(s[i + k]); };
  const size_t left = s.size() - i;
  if (b(0) < 0x80 || !In(b(0), 0x81, 0xFE) || left < 2) return 1;
  if (In(b(1), 0x40, 0x7E) || In(b(1), 0x80, 0xFE)) return 2;
  if (left >= 4 && In(b(1), 0x30, 0x39) && In(b(2), 0x81, 0xFE) && In(b(3), 0x30, 0x39)) return 4;
  return 1;
}

size_t ModelLength(Encoding e, const std::string& s, size_t i) {
  if (e == Encoding::kUtf8) return ModelUtf8Length(s, i);
  if (e == Encoding::kGb18030) return ModelGb18030Length(s, i);
  return static_cast<unsigned char>(s[i]) >= 0x80 && i + 1 < s.size() ? 2 : 1;
}

// Character starts of stepping from `origin`, and the end.
std::set<size_t> ModelBoundaries(Encoding e, const std::string& s, size_t origin) {
  std::set<size_t> out;
  size_t i = origin;
  for (; i < s.size(); i += ModelLength(e, s, i)) out.insert(i);
  out.insert(i);
  return out;
}

DetectedEncoding ModelDetect(const std::string& s) {
  if (s.rfind("\xEF\xBB\xBF", 0) == 0) return {Encoding::kUtf8, 3};
  if (s.rfind("\xFF\xFE", 0) == 0) return {Encoding::kUtf16Le, 2};
  if (s.rfind("\xFE\xFF", 0) == 0) return {Encoding::kUtf16Be, 2};
  bool high = false;
  for (unsigned char c : s) high |= c >= 0x80;
  std::u32string cps;
  // UTF-8 stepped character by character: a byte that begins no character is invalid, a few
  // are tolerated (one per 64 KiB, at least one); bytes at the end that some ending completes
  // are a character cut short, not invalid.
  auto decodes_one = [&](const std::string& bytes) {
    return DecodeText(bytes, Encoding::kUtf8, &cps) && cps.size() == 1;
  };
  auto cut_short = [&](const std::string& rest) {
    if (rest.size() >= 4) return false;
    for (const char* ending : {"\x80\x80\x80", "\x90\x80\x80", "\xA0\x80\x80", "\xBF\x80\x80"}) {
      const std::string whole = rest + std::string(ending, 4 - rest.size());
      for (size_t cut = rest.size() + 1; cut <= whole.size(); ++cut) {
        if (decodes_one(whole.substr(0, cut))) return true;
      }
    }
    return false;
  };
  size_t invalid = 0, first_invalid = 0;
  bool multi = false;
  for (size_t i = 0; i < s.size();) {
    size_t k = 1;
    while (k <= 4 && i + k <= s.size() && !decodes_one(s.substr(i, k))) ++k;
    if (k <= 4 && i + k <= s.size()) {
      multi |= k > 1;
      i += k;
      continue;
    }
    if (cut_short(s.substr(i))) break;
    if (invalid++ == 0) first_invalid = i;
    ++i;
  }
  const bool utf8 = invalid <= 1 + s.size() / 65536;
  if (utf8 && multi) {
    const Verdict verdict = WeighUtf8AgainstGbk(s);
    if (verdict.encoding == Encoding::kUtf8 && (invalid == 0 || !verdict.weak)) {
      return {Encoding::kUtf8, 0, verdict.weak, invalid, invalid ? first_invalid : 0};
    }
  }
  size_t zeros[2] = {0, 0};
  size_t text_end = s.size();  // before the 0x00 and 0x1A bytes that pad the end
  while (text_end > 0 && (s[text_end - 1] == '\0' || s[text_end - 1] == '\x1A')) --text_end;
  if (s.size() - text_end < 4) text_end = s.size();  // too short a run to be padding
  for (size_t i = 0; i < text_end; ++i) zeros[i % 2] += s[i] == 0;
  const size_t most = std::max(zeros[0], zeros[1]), least = std::min(zeros[0], zeros[1]);
  if (most > least && most >= 2 && most * 100 >= text_end / 2) {
    auto plausible = [](unsigned v) {
      return v == 0x0A || v == 0x0D || (v >= 0x20 && v < 0x7F) || (v >= 0x3000 && v <= 0x303F) ||
             (v >= 0x4E00 && v <= 0x9FFF) || (v >= 0xFF00 && v <= 0xFFEF);
    };
    size_t little = 0, big = 0;
    for (size_t i = 0; i + 1 < std::min<size_t>(text_end, kEvidenceBytes); i += 2) {
      const unsigned a = static_cast<unsigned char>(s[i]), b = static_cast<unsigned char>(s[i + 1]);
      little += plausible(a | b << 8);
      big += plausible(a << 8 | b);
    }
    if (little != big) return {little > big ? Encoding::kUtf16Le : Encoding::kUtf16Be, 0};
    return {zeros[1] > zeros[0] ? Encoding::kUtf16Le : Encoding::kUtf16Be, 0};
  }
  for (size_t i = 0; i < s.size(); i += ModelGb18030Length(s, i)) {
    if (ModelGb18030Length(s, i) == 4) return {Encoding::kGb18030, 0};
  }
  // Big5 when its reading of the weighed bytes is the more plausible and every byte decodes.
  const bool lone_lead = !s.empty() && static_cast<unsigned char>(s.back()) >= 0x80 &&
                         ModelBoundaries(Encoding::kGbk, s, 0).count(s.size() - 1) > 0;
  if (WeighGbkAgainstBig5(s.substr(0, kEvidenceBytes)).encoding == Encoding::kBig5 &&
      DecodeText(s.substr(0, s.size() - (lone_lead ? 1 : 0)), Encoding::kBig5, &cps)) {
    return {Encoding::kBig5, 0};
  }
  return {Encoding::kGbk, 0};
}

// Random bytes built from pieces of every encoding: ASCII, digits, zero bytes, UTF-8 characters
// (some cut), GBK pairs, GB18030 four-byte sequences and stray high bytes.
std::string RandomBytes(std::mt19937& rng, size_t max_length) {
  auto pick = [&](int n) { return static_cast<int>(rng() % n); };
  const int flavour = pick(4);  // mostly one kind, so that each outcome occurs often
  std::string s;
  const size_t length = rng() % (max_length + 1);
  while (s.size() < length) {
    int kind = pick(10);
    if (flavour == 1 && kind > 3) kind = 3;
    if (flavour == 2 && kind < 3) kind = 8;
    switch (kind) {
      case 0:
        s += static_cast<char>(0x20 + pick(0x5F));
        break;
      case 1:
        s += static_cast<char>('0' + pick(10));
        break;
      case 2:
        s += flavour == 3 ? std::string(1, '\0') + static_cast<char>('a' + pick(26)) : "\r\n";
        break;
      case 3: {
        static const char* const kUtf8[] = {"\xC3\xA9",         "\xE4\xB8\x80",     "\xE7\xAC\xAC",
                                            "\xF0\xA0\x80\x80", "\xF0\x9F\x98\x80", "\xED\x9F\xBF"};
        std::string c = kUtf8[pick(6)];
        if (pick(40) == 0) c.pop_back();
        s += c;
        break;
      }
      case 4:
      case 5:
        s += static_cast<char>(0x81 + pick(0x7E));
        s += static_cast<char>(pick(3) ? 0x40 + pick(0xBF) : 0x30 + pick(10));
        break;
      case 6:
        s += static_cast<char>(0x81 + pick(0x7E));
        s += static_cast<char>(0x30 + pick(10));
        s += static_cast<char>(0x81 + pick(0x7E));
        s += static_cast<char>(0x30 + pick(10));
        break;
      default:
        s += static_cast<char>(pick(256));
        break;
    }
  }
  return s;
}

TEST(DetectEncoding, FollowsTheModelOnRandomBytes) {
  std::mt19937 rng(1212);
  int seen[6] = {};
  for (int round = 0; round < 6000; ++round) {
    // Long texts cross the 64-byte blocks; a few start with a mark.
    std::string s = RandomBytes(rng, round % 10 == 0 ? 400 : 90);
    if (round % 50 == 0) s.insert(0, round % 100 ? "\xEF\xBB\xBF" : "\xFF\xFE");
    const DetectedEncoding want = ModelDetect(s);
    const DetectedEncoding got = DetectEncoding(s);
    ASSERT_EQ(got.encoding, want.encoding)
        << "seed 1212 round " << round << ": " << testing::HexBytes(s);
    ASSERT_EQ(got.mark_length, want.mark_length) << "seed 1212 round " << round;
    ASSERT_EQ(got.invalid, want.invalid) << "seed 1212 round " << round;
    ASSERT_EQ(got.first_invalid, want.first_invalid) << "seed 1212 round " << round;
    ++seen[static_cast<int>(want.encoding)];
  }
  // Random bytes seldom read as Big5 by a common character's worth: not counted.
  for (int e = 0; e < 5; ++e) EXPECT_GT(seen[e], 50) << "too few texts detected as " << e;
}

TEST(DetectEncoding, Traps) {
  auto detect = [](std::string_view s) { return DetectEncoding(s).encoding; };
  EXPECT_EQ(detect(""), Encoding::kGbk);
  EXPECT_EQ(detect("chapter 1\r\n"), Encoding::kGbk);
  // Marks alone, and a mark that decides against what follows.
  EXPECT_EQ(DetectEncoding("\xEF\xBB\xBF").encoding, Encoding::kUtf8);
  EXPECT_EQ(DetectEncoding("\xEF\xBB\xBF").mark_length, 3u);
  EXPECT_EQ(DetectEncoding("\xFF\xFE").mark_length, 2u);
  EXPECT_EQ(detect("\xFE\xFF"), Encoding::kUtf16Be);
  EXPECT_EQ(detect("\xEF\xBB\xBF\xB5\xDA"), Encoding::kUtf8);
  // GBK that is valid UTF-8 for its first bytes: 涓 is E4 B8, € after it in UTF-8 would be valid.
  std::string gbk = "\xE4\xB8\x80\xD5\xC2";  // E4 B8 80 is UTF-8 "一", D5 C2 is not
  EXPECT_EQ(detect(gbk), Encoding::kGbk);
  EXPECT_EQ(detect(std::string(200, 'a') + "\xE7\xAC\xAC" + "\xB5\xDA"), Encoding::kGbk);
  // UTF-8 with one byte that begins no character is UTF-8 (a text this short is allowed one);
  // a character broken by a byte put in its place leaves three such bytes: GBK. Cut short in its
  // last character it is UTF-8.
  std::string utf8 = "\xE7\xAC\xAC\xE4\xB8\x80\xE7\xAB\xA0\r\n";
  for (int k = 0; k < 8; ++k) utf8 += utf8;
  EXPECT_EQ(detect(utf8), Encoding::kUtf8);
  for (size_t at : {size_t{0}, size_t{5}, utf8.size() / 2 + 1}) {
    std::string broken = utf8;
    broken[at] = '\xFF';
    EXPECT_EQ(detect(broken), Encoding::kGbk) << at;
  }
  std::string stray = utf8;
  stray.back() = '\xFF';
  EXPECT_EQ(detect(stray), Encoding::kUtf8);
  EXPECT_EQ(DetectEncoding(stray).invalid, 1u);
  EXPECT_EQ(DetectEncoding(stray).first_invalid, utf8.size() - 1);
  EXPECT_EQ(detect(utf8 + "\xE7\xAC"), Encoding::kUtf8);
  EXPECT_EQ(DetectEncoding(utf8 + "\xE7\xAC").invalid, 0u);
  EXPECT_EQ(detect(utf8 + "\xE7\x41"), Encoding::kUtf8);
  EXPECT_EQ(detect(utf8 + "\xE7\x41\xE7\x41"), Encoding::kGbk);
  // UTF-16 without a mark, from ASCII and from Chinese with line breaks; with it too.
  std::string le, be;
  for (char c : std::string("Chapter one\r\n")) {
    le += std::string(1, c) + '\0';
    be += std::string(1, '\0') + c;
  }
  EXPECT_EQ(detect(le), Encoding::kUtf16Le);
  EXPECT_EQ(detect(be), Encoding::kUtf16Be);
  EXPECT_EQ(detect("\xFF\xFE" + le), Encoding::kUtf16Le);
  std::string chinese_le;
  for (int k = 0; k < 30; ++k)
    chinese_le += std::string("\x2C\x7B\x00\x4E\xE0\x7A\x0D\x00\x0A\x00", 10);
  EXPECT_EQ(detect(chinese_le), Encoding::kUtf16Le);
  // Chinese UTF-16LE with LF line ends and paragraphs indented by ideographic spaces (00 30)
  // has more zeros at even positions than at odd ones; it is little-endian all the same.
  std::string indented_le;
  for (int k = 0; k < 30; ++k) {
    indented_le += std::string("\x00\x30\x00\x30\x2C\x7B\x00\x4E\xE0\x7A\x0A\x00", 12);
  }
  EXPECT_EQ(detect(indented_le), Encoding::kUtf16Le);
  std::string indented_be;
  for (size_t i = 0; i < indented_le.size(); i += 2) {
    indented_be += std::string{indented_le[i + 1], indented_le[i]};
  }
  EXPECT_EQ(detect(indented_be), Encoding::kUtf16Be);
  // A GBK novel padded with zero bytes to the end of its last block is GBK, not UTF-16.
  std::string gbk_novel;
  for (int k = 0; k < 100; ++k) gbk_novel += "\xB5\xDA\xD2\xBB\xD5\xC2 abc\r\n";
  EXPECT_EQ(detect(gbk_novel + std::string(4097, '\0')), Encoding::kGbk);
  EXPECT_EQ(detect(gbk_novel + std::string(4097, '\0') + "\x1A"), Encoding::kGbk);
  // A stray zero byte in a long GBK text is no UTF-16.
  EXPECT_EQ(detect(std::string(400, '\xB5') + '\0' + "ab" + '\0'), Encoding::kGbk);
  // GB18030: a four-byte character, but not when the digits are the trail of a GBK pair.
  EXPECT_EQ(detect("\xB5\xDA\x95\x32\x82\x36\xD5\xC2"), Encoding::kGb18030);
  EXPECT_EQ(detect("\xB5\xDA\x81\x40\x30\x81\x30"), Encoding::kGbk);
  EXPECT_EQ(detect(std::string(100, 'x') + "\x81\x30\x81\x30"), Encoding::kGb18030);
  // Hiragana in UTF-16LE looks like four-byte sequences; the zeros decide first.
  EXPECT_EQ(detect(std::string("\x81\x30\x82\x30\x0A\x00\x0A\x00", 8)), Encoding::kUtf16Le);
  for (Encoding e : {Encoding::kGbk, Encoding::kGb18030, Encoding::kUtf8, Encoding::kUtf16Le,
                     Encoding::kUtf16Be}) {
    EXPECT_STRNE(EncodingName(e), "");
  }
  EXPECT_STREQ(EncodingName(Encoding::kUtf8), "UTF-8");
}

// Mostly well-formed UTF-8 from every kind of character, the edges of each range among them,
// with a fault now and then: a stray or missing continuation byte, an overlong form, a
// surrogate, a value above U+10FFFF, a byte that never occurs.
std::string RandomUtf8(std::mt19937& rng, size_t length, int fault_one_in) {
  static const char* const kGood[] = {
      "a", "\r\n", "0", "\x7F", "\xC2\x80", "\xDF\xBF", "\xC3\xA9", "\xE0\xA0\x80", "\xE4\xB8\x80",
      "\xE7\xAC\xAC", "\xED\x9F\xBF", "\xEE\x80\x80", "\xEF\xBF\xBF", "\xF0\x90\x80\x80",
      "\xF0\xA0\x80\x80", "\xF0\x9F\x98\x80", "\xF3\xBF\xBF\xBF", "\xF4\x80\x80\x80",
      "\xF4\x8F\xBF\xBF"};
  static const char* const kBad[] = {
      "\x80", "\xBF", "\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xE0\x9F\xBF", "\xED\xA0\x80",
      "\xED\xBF\xBF", "\xF0\x80\x80\x80", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80",
      "\xF8\x88\x80\x80", "\xFF", "\xFE", "\xE4\xB8", "\xE4", "\xF0\x9F\x98", "\xC3",
      "\xE4\xB8\x80\x80"};
  std::string s;
  while (s.size() < length) {
    if (fault_one_in > 0 && rng() % fault_one_in == 0) {
      s += kBad[rng() % std::size(kBad)];
    } else {
      const size_t k = rng() % 8 == 0 ? 0 : rng() % std::size(kGood);
      s += kGood[k];
    }
  }
  return s;
}

// The detector fed block by block, as a reader feeds it, answers what the model answers; it never
// reads a byte that is not in place yet (those are garbage here until they arrive).
TEST(DetectEncoding, FedBlockByBlockReadsOnlyWhatHasArrivedAndAgreesWithTheModel) {
  std::mt19937 rng(1616);
  for (int round = 0; round < 1500; ++round) {
    std::string s;
    switch (round % 3) {
      case 0:
        s = RandomBytes(rng, 3000);
        break;
      case 1:
        s = RandomUtf8(rng, rng() % 3000, round % 2 ? 0 : 900);
        break;
      default:  // GBK-like text with a four-byte sequence somewhere, or not
        s = RandomBytes(rng, 400) + std::string(rng() % 2000, 'x') + RandomBytes(rng, 200);
        break;
    }
    std::string garbage(s.size(), '\0');
    for (char& c : garbage) c = static_cast<char>(rng() % 256);
    std::string buffer = garbage;
    EncodingDetector detector(buffer);
    size_t arrived = 0;
    while (arrived < s.size()) {
      const size_t next = std::min(s.size(), arrived + rng() % 700);
      std::copy(s.begin() + arrived, s.begin() + next, buffer.begin() + arrived);
      arrived = next;
      detector.Advance(arrived);
    }
    const DetectedEncoding got = detector.Finish();
    const DetectedEncoding want = ModelDetect(s);
    ASSERT_EQ(got.encoding, want.encoding)
        << "seed 1616 round " << round << ": " << testing::HexBytes(s);
    ASSERT_EQ(got.mark_length, want.mark_length) << "seed 1616 round " << round;
    ASSERT_EQ(got.invalid, want.invalid) << "seed 1616 round " << round;
    ASSERT_EQ(got.first_invalid, want.first_invalid) << "seed 1616 round " << round;
    ASSERT_EQ(DetectEncoding(s).encoding, want.encoding) << "seed 1616 round " << round;
  }
}

// The detector fed through a window, as the reader of a mapped file feeds it: the window holds
// the newest block and some bytes before it, in a buffer reused for every block, with other bytes
// around it that are not the text's. Wherever UTF-8 breaks (early, or long after its characters
// made the text look like UTF-8) and wherever a four-byte sequence stands, the answer is the one
// DetectEncoding gives on the whole text.
TEST(DetectEncoding, FedThroughAWindowAnswersAsOnTheWholeText) {
  std::mt19937 rng(4096);
  for (int round = 0; round < 900; ++round) {
    std::string s;
    switch (round % 5) {
      case 0:
        s = RandomBytes(rng, 3000);
        break;
      case 1:  // well-formed UTF-8 that breaks late, or never
        s = RandomUtf8(rng, 2000 + rng() % 20000, 0);
        if (round % 2) s[s.size() - 1 - rng() % std::min<size_t>(s.size(), 900)] = '\xFF';
        break;
      case 2:  // UTF-8 cut inside its last character
        s = RandomUtf8(rng, 1000 + rng() % 9000, 0) + std::string("\xF0\x9F\x98", 1 + rng() % 3);
        break;
      case 3: {  // GBK pairs with a four-byte sequence somewhere, or none
        s.assign(1000 + rng() % 20000, 'x');
        for (size_t k = 0; k + 1 < s.size(); k += 2 + rng() % 5) s[k] = '\xB5', s[k + 1] = '\xDA';
        if (round % 2) s.replace(rng() % (s.size() - 4), 4, "\x81\x30\x81\x30");
        break;
      }
      default:  // zeros: UTF-16 without a mark, or not
        s = std::string(rng() % 5000, 'a');
        for (size_t k = rng() % 2; k < s.size(); k += 2 + rng() % 2) s[k] = '\0';
        break;
    }
    const DetectedEncoding want = DetectEncoding(s);
    ASSERT_EQ(want.encoding, ModelDetect(s).encoding) << "seed 4096 round " << round;
    // The window's buffer: the block and what is kept of the one before, with junk around them.
    std::string buffer;
    EncodingDetector detector(s);
    size_t arrived = 0;
    const size_t block = 1 + rng() % 3000;
    const size_t overlap = rng() % 2 ? 4096 : rng() % 300;
    while (arrived < s.size()) {
      const size_t next = std::min(s.size(), arrived + block);
      const size_t begin = arrived - std::min(arrived, overlap);
      buffer.assign(rng() % 70, '\x9F');
      const size_t offset = buffer.size();
      buffer += s.substr(begin, next - begin);
      buffer.append(rng() % 70, '\x30');
      arrived = next;
      detector.Advance(arrived, std::string_view(buffer).substr(offset, next - begin), begin);
    }
    const DetectedEncoding got = detector.Finish();
    ASSERT_EQ(got.encoding, want.encoding)
        << "seed 4096 round " << round << " block " << block << " overlap " << overlap;
    ASSERT_EQ(got.mark_length, want.mark_length) << "seed 4096 round " << round;
  }
}

// Long texts cross the chunks DetectEncoding takes at a time: a fault, a four-byte sequence or a
// character cut by a chunk's end is seen wherever it stands.
TEST(DetectEncoding, LongTextsAcrossChunks) {
  std::mt19937 rng(6464);
  const std::string utf8 = RandomUtf8(rng, 300000, 0);
  ASSERT_EQ(ModelDetect(utf8).encoding, Encoding::kUtf8);
  EXPECT_EQ(DetectEncoding(utf8).encoding, Encoding::kUtf8);
  // A byte put in a character's place leaves up to four that begin none, fewer than the five
  // a text this long may hold: UTF-8, told where; six such faults are too many.
  std::string all_broken = utf8;
  for (size_t at : {size_t{0}, size_t{65535}, size_t{65536}, size_t{131071}, size_t{200001},
                    utf8.size() - 5}) {
    std::string broken = utf8;
    broken[at] = '\xFF';
    all_broken[at] = '\xFF';
    const DetectedEncoding want = ModelDetect(broken);
    const DetectedEncoding got = DetectEncoding(broken);
    EXPECT_EQ(want.encoding, Encoding::kUtf8) << "0xFF at " << at;
    EXPECT_EQ(got.encoding, want.encoding) << "0xFF at " << at;
    EXPECT_EQ(got.invalid, want.invalid) << "0xFF at " << at;
    EXPECT_EQ(got.first_invalid, want.first_invalid) << "0xFF at " << at;
    EXPECT_LE(got.first_invalid, at);
  }
  EXPECT_EQ(ModelDetect(all_broken).encoding, Encoding::kGbk);
  EXPECT_EQ(DetectEncoding(all_broken).encoding, Encoding::kGbk);
  // Cut short in its last character: still UTF-8; cut inside a chunk's margin: the same.
  std::string cut = utf8 + "\xF0\x9F\x98";
  EXPECT_EQ(DetectEncoding(cut).encoding, Encoding::kUtf8);
  std::string gbk(300000, 'x');
  for (size_t k = 0; k < gbk.size(); k += 7) gbk[k] = '\xB5', gbk[k + 1] = '\xDA';
  EXPECT_EQ(DetectEncoding(gbk).encoding, Encoding::kGbk);
  for (size_t at : {size_t{65534}, size_t{65536 - 4}, size_t{131070}, gbk.size() - 4}) {
    std::string four = gbk;
    four.replace(at, 4, "\x81\x30\x81\x30");
    EXPECT_EQ(DetectEncoding(four).encoding, ModelDetect(four).encoding) << "at " << at;
    EXPECT_EQ(DetectEncoding(four).encoding, Encoding::kGb18030) << "at " << at;
  }
  // Zeros only far into the text still count.
  std::string le;
  for (char c : RandomUtf8(rng, 100000, 0)) le += std::string(1, c & 0x7F) + '\0';
  EXPECT_EQ(DetectEncoding(le).encoding, Encoding::kUtf16Le);
  EXPECT_EQ(DetectEncoding(std::string(150000, 'a') + le).encoding, Encoding::kUtf16Le);
}

TEST(Utf8WellFormedPrefix, StopsOnABoundaryNoLaterThanTheFirstFault) {
  const bool vector = __builtin_cpu_supports("avx2");
  std::mt19937 rng(8080);
  for (int round = 0; round < 3000; ++round) {
    const std::string s = RandomUtf8(rng, rng() % 1200, round % 4 == 0 ? 0 : 300);
    const size_t p = Utf8WellFormedPrefix(s);
    // The first byte that belongs to no well-formed character, by the system's converter.
    size_t fault = 0;
    while (fault < s.size() && (ModelUtf8Length(s, fault) > 1 ||
                                static_cast<unsigned char>(s[fault]) < 0x80)) {
      fault += ModelUtf8Length(s, fault);
    }
    ASSERT_LE(p, fault) << "seed 8080 round " << round << ": " << testing::HexBytes(s);
    ASSERT_EQ(ModelBoundaries(Encoding::kUtf8, s, 0).count(p), 1u)
        << "seed 8080 round " << round << " prefix " << p << ": " << testing::HexBytes(s);
    // With the vector unit it passes every whole 64-byte block before the fault's, backing up
    // at most over the 4 bytes of a character such a block ends in.
    if (vector) {
      ASSERT_GE(p + 4, fault - fault % 64)
          << "seed 8080 round " << round << " prefix " << p << " fault " << fault;
    }
  }
  EXPECT_EQ(Utf8WellFormedPrefix(""), 0u);
  EXPECT_EQ(Utf8WellFormedPrefix(std::string(63, 'a')), 0u);  // no whole block
  if (vector) {
    EXPECT_EQ(Utf8WellFormedPrefix(std::string(128, 'a')), 128u);
  }
}

TEST(CharStepping, FollowsTheModelInEveryEncoding) {
  std::mt19937 rng(4242);
  for (Encoding e : {Encoding::kGbk, Encoding::kGb18030, Encoding::kUtf8}) {
    for (int round = 0; round < 2500; ++round) {
      const std::string s = RandomBytes(rng, round % 10 == 0 ? 300 : 40);
      const char* end = s.data() + s.size();
      for (size_t i = 0; i < s.size(); ++i) {
        ASSERT_EQ(CharLength(e, s.data() + i, end), ModelLength(e, s, i))
            << EncodingName(e) << " seed 4242 round " << round << " byte " << i << ": "
            << testing::HexBytes(s);
      }
      const size_t origin = s.empty() || round % 3 ? 0 : rng() % s.size();
      const std::set<size_t> bounds = ModelBoundaries(e, s, origin);
      // Non-decreasing queries, some repeated, some skipping far ahead.
      CharCursor starts(s, e, origin), next(s, e, origin);
      for (size_t x = origin; x <= s.size() + 1; x += rng() % 4 == 0 ? rng() % 9 : 0) {
        const auto it = bounds.lower_bound(x);
        const size_t want = it == bounds.end() ? s.size() : *it;
        ASSERT_EQ(next.NextBoundary(x), want)
            << EncodingName(e) << " seed 4242 round " << round << " x " << x << ": "
            << testing::HexBytes(s);
        ASSERT_EQ(starts.IsCharStart(x), bounds.count(x) == 1)
            << EncodingName(e) << " seed 4242 round " << round << " x " << x << ": "
            << testing::HexBytes(s);
        if (rng() % 3 == 0) ++x;
      }
    }
  }
  CharCursor before("abc", Encoding::kUtf8, 2);
  EXPECT_FALSE(before.IsCharStart(1));
  EXPECT_TRUE(before.IsCharStart(3));
  EXPECT_FALSE(before.IsCharStart(4));
}

TEST(CheckText, TellsValidCutShortAndInvalid) {
  auto check = [](std::string_view s, Encoding e) { return CheckText(s, e); };
  EXPECT_EQ(check("", Encoding::kUtf8).check, TextCheck::kValid);
  EXPECT_EQ(check("\xE7\xAC\xAC"
                  "a",
                  Encoding::kUtf8)
                .check,
            TextCheck::kValid);
  TextCheckResult r = check("a\xE7\xAC\xAC\xE7\xAC", Encoding::kUtf8);
  EXPECT_EQ(r.check, TextCheck::kCutShort);
  EXPECT_EQ(r.offset, 4u);
  r = check("a\xE7\xAC\xAC\xE7\x41", Encoding::kUtf8);
  EXPECT_EQ(r.check, TextCheck::kInvalid);
  EXPECT_EQ(r.offset, 4u);
  EXPECT_EQ(check("\xED\xA0\x80", Encoding::kUtf8).check, TextCheck::kInvalid);  // a surrogate
  EXPECT_EQ(check("\xC0\xAF", Encoding::kUtf8).check, TextCheck::kInvalid);      // overlong
  EXPECT_EQ(check("\xF4\x90\x80\x80", Encoding::kUtf8).check, TextCheck::kInvalid);
  EXPECT_EQ(check("\xB5\xDA\x95\x32\x82\x36", Encoding::kGb18030).check, TextCheck::kValid);
  EXPECT_EQ(check("\xB5\xDA\x95\x32\x82", Encoding::kGb18030).check, TextCheck::kCutShort);
  EXPECT_EQ(check("\xB5\xDA\x95\x32\x41", Encoding::kGb18030).check, TextCheck::kInvalid);
  EXPECT_EQ(check("\x80", Encoding::kGb18030).check, TextCheck::kInvalid);
  // GBK keeps its one rule: only a lead byte at the very end cuts it short.
  EXPECT_EQ(check("\x81\x7F\xFF\x30", Encoding::kGbk).check, TextCheck::kValid);
  r = check("ab\xB5", Encoding::kGbk);
  EXPECT_EQ(r.check, TextCheck::kCutShort);
  EXPECT_EQ(r.offset, 2u);
  EXPECT_EQ(check("ab", Encoding::kUtf16Le).check, TextCheck::kInvalid);
  EXPECT_EQ(ByteOrderMarkLength("\xEF\xBB\xBF"
                                "a",
                                Encoding::kUtf8),
            3u);
  EXPECT_EQ(ByteOrderMarkLength("\xEF\xBB\xBF"
                                "a",
                                Encoding::kGbk),
            0u);
  EXPECT_EQ(ByteOrderMarkLength("\xFE\xFF", Encoding::kUtf16Le), 0u);
}

}  // namespace
}  // namespace travik
