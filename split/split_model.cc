#include "split/split_model.h"

#include "text/codepage.h"
#include "files/files.h"
#include "text/pattern.h"
#include "text/text.h"

namespace travik::model {

namespace {

bool IsSingle(int signed_byte) { return signed_byte > 0; }

// The double-byte letters that have a small and a capital form, in the same order.
constexpr char kSmallLetters[] =
    "ⅰⅱⅲⅳⅴⅵⅶⅷⅸⅹａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚαβγδεζηθικλμνξοπρστυφχψω"
    "абвгдеёжзийклмнопрстуфхцчшщъыьэюя";
constexpr char kCapitalLetters[] =
    "ⅠⅡⅢⅣⅤⅥⅦⅧⅨⅩＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ"
    "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ";

// A double-byte character as its capital, when it is a small letter.
std::string Capital(const std::string& character) {
  int p = FindText(kSmallLetters, character);
  return p == -1 ? character : MidText(kCapitalLetters, p, 2);
}

// Two names that Windows takes for the same file: equal, but for the case of letters.
bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 0x80) {  // a double-byte character: the same, or the same letter in the other case
      if (y < 0x80 || i + 1 >= a.size()) return false;
      if (Capital(a.substr(i, 2)) != Capital(b.substr(i, 2))) return false;
      ++i;
      continue;
    }
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

class Namer {
 public:
  explicit Namer(const Naming& naming) : naming_(naming) {}

  std::string Name(int n, const std::string* matched, bool head) {
    std::string number = NumberToText(n);
    std::string stem;
    if (naming_.mode == PieceNaming::kCustom) {
      stem = SafeStem(naming_.custom_text, number);
    } else if (naming_.mode == PieceNaming::kKeyword) {
      if (head) {
        stem = "头文本";
      } else if (matched != nullptr) {
        stem = SafeStem(*matched, "");
      }
    }
    if (stem.empty()) stem = number;
    std::string name = stem + ".txt";
    for (int k = 2; Taken(name); ++k) name = stem + "(" + NumberToText(k) + ").txt";
    written_.push_back(name);
    return name;
  }

 private:
  bool Taken(const std::string& name) const {
    for (const std::string& w : written_) {
      if (SameName(w, name)) return true;
    }
    return false;
  }

  Naming naming_;
  std::vector<std::string> written_;
};

}  // namespace

std::string SafeStem(const std::string& text, const std::string& suffix) {
  std::vector<std::string> characters;
  int len = TextLength(text);
  int i = 1;
  while (i <= len) {
    int c = CharCodeAt(text, i);
    if (c < 0) {
      int lead = c + 256;
      int trail = CharCodeAt(text, i + 1) & 0xFF;
      bool pair = i + 1 <= len && lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE &&
                  trail != 0x7F;
      characters.push_back(pair ? MidText(text, i, 2) : "_");
      i += pair ? 2 : 1;
    } else {
      std::string ch = MidText(text, i, 1);
      bool bad = c < 0x20 || FindText("\\/:*?\"<>|", ch) != -1;
      characters.push_back(bad ? "_" : ch);
      i += 1;
    }
  }
  int limit = 100 - TextLength(suffix);
  int used = 0;
  std::vector<std::string> kept;
  for (const std::string& ch : characters) {
    if (used + TextLength(ch) > limit) break;
    used += TextLength(ch);
    kept.push_back(ch);
  }
  // After the cut, a pair that the system cannot convert (an unassigned code) becomes "_".
  std::string stem;
  for (const std::string& ch : kept) {
    stem += (TextLength(ch) == 2 && !PathIsRepresentable(ch)) ? "_" : ch;
  }
  stem += suffix;
  while (!stem.empty() && (RightText(stem, 1) == " " || RightText(stem, 1) == ".")) {
    stem = LeftText(stem, TextLength(stem) - 1);
  }
  if (stem.empty()) return stem;
  int dot = FindText(stem, ".");
  std::string head = dot == -1 ? stem : LeftText(stem, dot - 1);
  while (RightText(head, 1) == " ") head = LeftText(head, TextLength(head) - 1);
  std::string upper;
  for (char ch : head) upper += (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 32) : ch;
  const char* devices[] = {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4",
                           "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3",
                           "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
  for (const char* device : devices) {
    if (upper == device) {
      stem = head + "_" + RightText(stem, TextLength(stem) - TextLength(head));
      break;
    }
  }
  return stem;
}

int LastSingleBytePosition(const std::string& t, int s) {
  int a = FindTextReverse(t, "\r\n", s);
  int b = FindText(t, "\r\n", s);
  // With both found the line a ... b-1 bounds the scan; otherwise it runs back to the start.
  int lowest = (a != -1 && b != -1) ? a : 1;
  for (int p = s - 1; p >= lowest; --p) {
    if (IsSingle(CharCodeAt(t, p))) return p;
  }
  return 0;
}

int ExtraByteAtCut(const std::string& t, int x) {
  if (x < 1) return 0;
  int ls = FindTextReverse(t, "\r\n", x);
  ls = ls == -1 ? 1 : ls + 2;
  int p = ls;  // step character by character from the start of the cut's line
  while (p < x) p += CharCodeAt(t, p) < 0 ? 2 : 1;
  return (p == x && CharCodeAt(t, x) < 0) ? 1 : 0;
}

std::vector<Piece> SplitBySize(std::string source, int size_kb, double piece_count,
                               const Naming& naming) {
  std::vector<Piece> pieces;
  Namer namer(naming);
  for (int i = 1; i <= piece_count || !source.empty(); ++i) {
    std::string t = source;
    int len = TextLength(t);
    int s = size_kb * 1024;
    std::string piece = len < s ? t : LeftText(t, s);
    int l = TextLength(piece);
    int q = LastSingleBytePosition(t, s);
    // One byte more when byte s begins a character, unless byte s is a single byte before a
    // lead byte.
    bool keep = IsSingle(CharCodeAt(t, s)) && CharCodeAt(t, s + 1) < 0;
    if (q % 2 == 1 && !keep) piece = LeftText(t, l + 1);
    std::string rest = RightText(t, len - TextLength(piece));
    pieces.push_back({namer.Name(i, nullptr, false), piece});
    source = rest;
    if (source.empty()) break;
  }
  return pieces;
}

std::vector<Piece> SplitByCount(std::string source, int parts, const Naming& naming) {
  std::vector<Piece> pieces;
  Namer namer(naming);
  int cut = static_cast<int>(static_cast<double>(TextLength(source)) / parts);
  for (int i = 1; i <= parts; ++i) {
    std::string t = source;
    std::string piece = LeftText(t, cut);
    std::string rest;
    if (ExtraByteAtCut(t, cut) == 0) {
      rest = RightText(t, TextLength(t) - cut);
    } else {
      rest = RightText(t, TextLength(t) - cut - 1);
      piece = LeftText(t, cut + 1);
    }
    pieces.push_back({namer.Name(i, nullptr, false), piece});
    source = rest;
    if (i == parts - 1 && TextLength(rest) > cut) cut = TextLength(rest);
  }
  return pieces;
}

std::vector<Piece> SplitByKeyword(const std::string& source, const std::string& keyword,
                                  const Naming& naming, bool* compiled) {
  std::vector<Piece> pieces;
  Namer namer(naming);
  Pattern pattern;
  *compiled = RegexCompile(&pattern, keyword);
  if (!*compiled) return pieces;
  RegexSearchResult matches = RegexSearchAll(pattern, source);
  int m = static_cast<int>(matches.size());
  int length = TextLength(source);
  int previous_start = 1;
  std::string previous_text;
  for (int i = 1; i <= m; ++i) {
    std::string t = MatchText(matches[i - 1], source);
    int b = static_cast<int>(MatchPosition(matches[i - 1]));
    std::string section;
    if (i == 1) {
      section = MidText(source, 1, b);
      if (!section.empty()) pieces.push_back({namer.Name(0, nullptr, true), section});
    } else {
      section = MidText(source, previous_start, b + 1 - previous_start);
      if (!section.empty()) pieces.push_back({namer.Name(i - 1, &previous_text, false), section});
    }
    previous_start = b + 1;
    previous_text = t;
    if (i == m) {
      std::string last = RightText(source, length - b);
      if (!last.empty()) pieces.push_back({namer.Name(m, &t, false), last});
    }
  }
  return pieces;
}

namespace {

bool In(unsigned char c, int low, int high) { return c >= low && c <= high; }

// The length of the character at byte i: the well-formed sequence that begins there, else 1.
size_t CharacterLength(const std::string& t, size_t i, Encoding encoding) {
  auto at = [&](size_t k) -> int {
    return i + k < t.size() ? static_cast<unsigned char>(t[i + k]) : -1;
  };
  auto cont = [&](size_t k, int low = 0x80, int high = 0xBF) {
    return at(k) >= 0 && In(static_cast<unsigned char>(at(k)), low, high);
  };
  const int c = at(0);
  if (c < 0x80) return 1;
  if (encoding == Encoding::kGb18030) {
    if (!In(c, 0x81, 0xFE)) return 1;
    if (cont(1, 0x40, 0x7E) || cont(1, 0x80, 0xFE)) return 2;
    if (cont(1, 0x30, 0x39) && cont(2, 0x81, 0xFE) && cont(3, 0x30, 0x39)) return 4;
    return 1;
  }
  // UTF-8, as the table of well-formed byte sequences lists them.
  if (In(c, 0xC2, 0xDF) && cont(1)) return 2;
  if (c == 0xE0 && cont(1, 0xA0, 0xBF) && cont(2)) return 3;
  if ((In(c, 0xE1, 0xEC) || In(c, 0xEE, 0xEF)) && cont(1) && cont(2)) return 3;
  if (c == 0xED && cont(1, 0x80, 0x9F) && cont(2)) return 3;
  if (c == 0xF0 && cont(1, 0x90, 0xBF) && cont(2) && cont(3)) return 4;
  if (In(c, 0xF1, 0xF3) && cont(1) && cont(2) && cont(3)) return 4;
  if (c == 0xF4 && cont(1, 0x80, 0x8F) && cont(2) && cont(3)) return 4;
  return 1;
}

// The first character boundary at or after `offset` (the size when past the end).
size_t BoundaryAtOrAfter(const std::vector<size_t>& starts, size_t offset) {
  for (size_t b : starts) {
    if (b >= offset) return b;
  }
  return starts.back();
}

}  // namespace

std::vector<size_t> CharacterStarts(const std::string& text, Encoding encoding,
                                    size_t mark_length) {
  std::vector<size_t> starts;
  size_t i = mark_length;
  while (i < text.size()) {
    starts.push_back(i);
    i += CharacterLength(text, i, encoding);
  }
  starts.push_back(text.size());
  return starts;
}

std::string NameInGbk(const std::string& matched, Encoding encoding) {
  std::string name;
  for (size_t i = 0; i < matched.size();) {
    const size_t n = CharacterLength(matched, i, encoding);
    std::string gbk;
    name += ConvertText(matched.substr(i, n), encoding, Encoding::kGbk, &gbk) ? gbk : "_";
    i += n;
  }
  return name;
}

std::vector<Piece> SplitBySize(const std::string& source, int size_kb, double piece_count,
                               const Naming& naming, Encoding encoding, size_t mark_length) {
  const std::vector<size_t> starts = CharacterStarts(source, encoding, mark_length);
  std::vector<Piece> pieces;
  Namer namer(naming);
  size_t pos = 0;
  for (int i = 1; i <= piece_count || pos < source.size(); ++i) {
    const size_t end = BoundaryAtOrAfter(starts, pos + static_cast<size_t>(size_kb) * 1024);
    pieces.push_back({namer.Name(i, nullptr, false), source.substr(pos, end - pos)});
    pos = end;
    if (pos == source.size()) break;
  }
  return pieces;
}

std::vector<Piece> SplitByCount(const std::string& source, int parts, const Naming& naming,
                                Encoding encoding, size_t mark_length) {
  const std::vector<size_t> starts = CharacterStarts(source, encoding, mark_length);
  std::vector<Piece> pieces;
  Namer namer(naming);
  size_t cut = source.size() / static_cast<size_t>(parts);
  size_t pos = 0;
  for (int i = 1; i <= parts; ++i) {
    const size_t end = BoundaryAtOrAfter(starts, pos + cut);
    pieces.push_back({namer.Name(i, nullptr, false), source.substr(pos, end - pos)});
    pos = end;
    if (i == parts - 1 && source.size() - pos > cut) cut = source.size() - pos;
  }
  return pieces;
}

std::vector<Piece> SplitByKeyword(const std::string& source, const std::string& keyword,
                                  const Naming& naming, bool* compiled, Encoding encoding,
                                  size_t mark_length) {
  std::vector<Piece> pieces;
  Namer namer(naming);
  Pattern pattern;
  *compiled = RegexCompile(&pattern, keyword);
  if (!*compiled) return pieces;
  const std::string text = source.substr(mark_length);
  RegexSearchResult matches = RegexSearchAll(pattern, text, encoding);
  // Starts of the sections in the whole text (a match right after the mark starts at 0), with
  // the names of their matches.
  std::vector<size_t> starts;
  std::vector<std::string> names;
  for (size_t i = 0; i < matches.size(); ++i) {
    size_t b = static_cast<size_t>(MatchPosition(matches[i])) + mark_length;
    if (i == 0 && b <= mark_length) b = 0;
    if (!starts.empty() && b <= starts.back()) continue;  // an empty section
    starts.push_back(b);
    names.push_back(NameInGbk(MatchText(matches[i], text), encoding));
  }
  if (starts.empty()) return pieces;
  if (starts[0] > 0) pieces.push_back({namer.Name(0, nullptr, true), source.substr(0, starts[0])});
  for (size_t i = 0; i < starts.size(); ++i) {
    const size_t end = i + 1 < starts.size() ? starts[i + 1] : source.size();
    if (end > starts[i]) {
      pieces.push_back({namer.Name(static_cast<int>(i) + 1, &names[i], false),
                        source.substr(starts[i], end - starts[i])});
    }
  }
  return pieces;
}

}  // namespace travik::model
