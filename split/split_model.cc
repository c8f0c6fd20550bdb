#include "split/split_model.h"

#include "text/codepage.h"
#include "files/files.h"
#include "text/pattern.h"
#include "text/text.h"

namespace travik::model {

namespace {

bool IsSingle(int signed_byte) { return signed_byte > 0; }

size_t CharacterLength(const std::string& t, size_t i, Encoding encoding);

// The characters of a UTF-8 name, each well-formed sequence one, each other byte one.
std::vector<std::string> Characters(const std::string& name) {
  std::vector<std::string> characters;
  for (size_t i = 0; i < name.size();) {
    const size_t n = CharacterLength(name, i, Encoding::kUtf8);
    characters.push_back(name.substr(i, n));
    i += n;
  }
  return characters;
}

// The letters that have a small and a capital form as Windows compares names, in the same order.
constexpr char kSmallLetters[] =
    "àáâãäåæçèéêëìíîïðñòóôõöøùúûüýþ"
    "āăąćĉċčďđēĕėęěĝğġģĥħĩīĭįĳĵķĺļľŀłńņňŋōŏőœŕŗřśŝşšţťŧũūŭůűųŵŷźżž"
    "αβγδεζηθικλμνξοπρστυφχψω"
    "абвгдежзийклмнопрстуфхцчшщъыьэюяѐёђѓєѕіїјљњћќѝўџ"
    "ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚⅰⅱⅲⅳⅴⅵⅶⅷⅸⅹⅺⅻⅼⅽⅾⅿ";
constexpr char kCapitalLetters[] =
    "ÀÁÂÃÄÅÆÇÈÉÊËÌÍÎÏÐÑÒÓÔÕÖØÙÚÛÜÝÞ"
    "ĀĂĄĆĈĊČĎĐĒĔĖĘĚĜĞĠĢĤĦĨĪĬĮĲĴĶĹĻĽĿŁŃŅŇŊŌŎŐŒŔŖŘŚŜŞŠŢŤŦŨŪŬŮŰŲŴŶŹŻŽ"
    "ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ"
    "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯЀЁЂЃЄЅІЇЈЉЊЋЌЍЎЏ"
    "ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺⅠⅡⅢⅣⅤⅥⅦⅧⅨⅩⅪⅫⅬⅭⅮⅯ";

// A character as its capital, when it is a small letter; an ASCII letter as its small form.
std::string Folded(const std::string& character) {
  if (character.size() == 1) {
    char c = character[0];
    return std::string(1, (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c);
  }
  static const std::vector<std::string> small = Characters(kSmallLetters);
  static const std::vector<std::string> capital = Characters(kCapitalLetters);
  for (size_t k = 0; k < small.size(); ++k) {
    if (small[k] == character) return capital[k];
  }
  return character;
}

// The name with every character folded: two names that Windows takes for the same file (equal
// but for the case of letters) have the same folded name.
std::string FoldedName(const std::string& name) {
  std::string folded;
  for (const std::string& ch : Characters(name)) folded += Folded(ch);
  return folded;
}

class Namer {
 public:
  explicit Namer(const Naming& naming) : naming_(naming) {}

  // `matched`: the name taken from the text, in UTF-8.
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
    written_.push_back(FoldedName(name));
    return name;
  }

 private:
  bool Taken(const std::string& name) const {
    const std::string folded = FoldedName(name);
    for (const std::string& w : written_) {
      if (w == folded) return true;
    }
    return false;
  }

  Naming naming_;
  std::vector<std::string> written_;  // folded
};

// How wide a character of a name is: 1 for ASCII, 2 for two or three UTF-8 bytes, 4 for four.
int Width(const std::string& character) {
  return character.size() == 3 ? 2 : static_cast<int>(character.size());
}

}  // namespace

std::string SafeStem(const std::string& text, const std::string& suffix) {
  std::vector<std::string> characters;
  for (const std::string& ch : Characters(text)) {
    const unsigned char c = static_cast<unsigned char>(ch[0]);
    if (c >= 0x80) {
      // A byte that begins no UTF-8 character is a character of its own here.
      characters.push_back(ch.size() > 1 ? ch : "_");
    } else {
      bool bad = c < 0x20 || std::string("\\/:*?\"<>|").find(ch) != std::string::npos;
      characters.push_back(bad ? "_" : ch);
    }
  }
  int limit = 100;
  for (const std::string& ch : Characters(suffix)) limit -= Width(ch);
  int used = 0;
  std::string stem;
  for (const std::string& ch : characters) {
    if (used + Width(ch) > limit) break;
    used += Width(ch);
    stem += ch;
  }
  stem += suffix;
  while (!stem.empty() && (stem.back() == ' ' || stem.back() == '.')) stem.pop_back();
  if (stem.empty()) return stem;
  size_t dot = stem.find('.');
  std::string head = dot == std::string::npos ? stem : stem.substr(0, dot);
  while (!head.empty() && head.back() == ' ') head.pop_back();
  std::string upper;
  for (char ch : head) upper += (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 32) : ch;
  const char* devices[] = {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4",
                           "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3",
                           "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
  for (const char* device : devices) {
    if (upper == device) {
      stem = head + "_" + stem.substr(head.size());
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
    std::string t = NameInUtf8(MatchText(matches[i - 1], source), Encoding::kGbk);
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

std::string NameInUtf8(const std::string& matched, Encoding encoding) {
  std::string name;
  if (encoding == Encoding::kGbk) {
    // A lead byte and a second byte from 40 to FE but 7F are a pair; any other byte is alone.
    int len = TextLength(matched);
    int i = 1;
    while (i <= len) {
      int c = CharCodeAt(matched, i);
      int trail = CharCodeAt(matched, i + 1) & 0xFF;
      bool pair = c < 0 && i + 1 <= len && c + 256 >= 0x81 && c + 256 <= 0xFE && trail >= 0x40 &&
                  trail <= 0xFE && trail != 0x7F;
      std::string ch = MidText(matched, i, pair ? 2 : 1);
      std::string utf8;
      name += c >= 0 ? ch : GbkToUtf8(ch, &utf8) ? utf8 : "_";
      i += pair ? 2 : 1;
    }
    return name;
  }
  for (size_t i = 0; i < matched.size();) {
    const size_t n = CharacterLength(matched, i, encoding);
    const std::string ch = matched.substr(i, n);
    std::string utf8;
    if (static_cast<unsigned char>(ch[0]) < 0x80) {
      name += ch;
    } else if (encoding == Encoding::kUtf8) {
      name += n > 1 ? ch : "_";  // a byte that begins no well-formed sequence
    } else {
      name += ConvertText(ch, encoding, Encoding::kUtf8, &utf8) ? utf8 : "_";
    }
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
    names.push_back(NameInUtf8(MatchText(matches[i], text), encoding));
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
