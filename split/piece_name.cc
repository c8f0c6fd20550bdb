// Piece names: the naming modes, and names that every file system accepts. Names are UTF-8; a
// name taken from a text is converted from the text's encoding first.
#include <string>

#include "files/file_entry.h"
#include "text/codepage.h"
#include "text/encoding.h"
#include "split/piece_writer.h"

namespace travik {

namespace {

bool IsGbkPair(unsigned char lead, unsigned char trail) {
  return lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
}

bool IsForbiddenByte(unsigned char c) {
  if (c < 0x20) return true;
  switch (c) {
    case '\\':
    case '/':
    case ':':
    case '*':
    case '?':
    case '"':
    case '<':
    case '>':
    case '|':
      return true;
    default:
      return false;
  }
}

// The width of a UTF-8 character of `length` bytes (see kMaxPieceNameWidth).
size_t CharWidth(size_t length) { return length == 3 ? 2 : length; }

// The characters of `text` (UTF-8), each forbidden one and each byte that begins no character
// as "_", cut so that their widths add up to at most `limit`.
std::string ReplaceForbidden(std::string_view text, size_t limit) {
  std::string out;
  size_t width = 0;
  const char* end = text.data() + text.size();
  for (const char* p = text.data(); p < end;) {
    const unsigned char c = static_cast<unsigned char>(*p);
    std::string_view ch = "_";
    size_t step = 1;
    if (c >= 0x80) {
      if (const size_t n = Utf8SequenceLength(p, end); n > 0) {
        ch = std::string_view(p, n);
        step = n;
      }
    } else if (!IsForbiddenByte(c)) {
      ch = std::string_view(p, 1);
    }
    const size_t w = CharWidth(ch.size());
    if (width + w > limit) break;
    out.append(ch);
    width += w;
    p += step;
  }
  return out;
}

size_t NameWidth(std::string_view name) {
  size_t width = 0;
  const char* end = name.data() + name.size();
  for (const char* p = name.data(); p < end;) {
    const size_t n = CharLength(Encoding::kUtf8, p, end);
    width += CharWidth(n);
    p += n;
  }
  return width;
}

// The length of the character of a matched text at p as a name takes it: in GBK a lead byte
// and a trail byte (40-7E, 80-FE), else the byte alone; in the other encodings CharLength.
size_t NameCharLength(Encoding encoding, const char* p, const char* end) {
  if (encoding != Encoding::kGbk) return CharLength(encoding, p, end);
  return p + 1 < end && IsGbkPair(static_cast<unsigned char>(p[0]), static_cast<unsigned char>(p[1]))
             ? 2
             : 1;
}

}  // namespace

std::string SafeFileStem(std::string_view text, std::string_view suffix) {
  const size_t suffix_width = NameWidth(suffix);
  const size_t limit = kMaxPieceNameWidth > suffix_width ? kMaxPieceNameWidth - suffix_width : 0;
  std::string stem = ReplaceForbidden(text, limit);
  stem.append(suffix);
  // No byte of a multi-byte UTF-8 character is a space or a dot (they are all 0x80 and above).
  while (!stem.empty() && (stem.back() == ' ' || stem.back() == '.')) stem.pop_back();
  if (stem.empty()) return stem;
  size_t head_end = stem.find('.');
  if (head_end == std::string::npos) head_end = stem.size();
  while (head_end > 0 && stem[head_end - 1] == ' ') --head_end;
  if (IsDeviceName(stem)) stem.insert(head_end, "_");
  return stem;
}

std::string MatchedTextInUtf8(std::string_view matched, Encoding encoding) {
  // A character gives a name one unit of width at least for every two of its bytes, so this
  // front of the match gives more than a name can hold; it ends between two characters.
  const char* p = matched.data();
  const char* end = p + matched.size();
  const char* front_end = p;
  while (front_end < end && static_cast<size_t>(front_end - p) <= 4 * kMaxPieceNameWidth) {
    front_end += NameCharLength(encoding, front_end, end);
  }
  const std::string_view front(p, static_cast<size_t>(front_end - p));
  std::string utf8;
  // ConvertText copies UTF-8 to UTF-8 unchecked: that text is checked here.
  if (encoding == Encoding::kUtf8 ? IsValidUtf8(front)
                                  : ConvertText(front, encoding, Encoding::kUtf8, &utf8)) {
    return encoding == Encoding::kUtf8 ? std::string(front) : utf8;
  }
  // Character by character: only those that are no valid character become "_".
  utf8.clear();
  std::string one;
  while (p < front_end) {
    const size_t n = NameCharLength(encoding, p, front_end);
    const std::string_view ch(p, n);
    if (encoding == Encoding::kUtf8) {
      utf8 += Utf8SequenceLength(p, front_end) == n ? ch : std::string_view("_");
    } else if (ConvertText(ch, encoding, Encoding::kUtf8, &one)) {
      utf8 += one;
    } else {
      utf8 += '_';
    }
    p += n;
  }
  return utf8;
}

std::string PieceFileName(PieceNaming naming, int64_t number, std::string_view matched, bool head,
                          std::string_view custom_text) {
  std::string digits = std::to_string(number);
  std::string stem;
  if (naming == PieceNaming::kCustom) {
    stem = SafeFileStem(custom_text, digits);
  } else if (naming == PieceNaming::kKeyword) {
    stem = head ? std::string(kHeadPieceName) : SafeFileStem(matched);
  }
  if (stem.empty()) stem = digits;
  return stem + ".txt";
}

}  // namespace travik
