// Piece names: the naming modes, and names that every file system accepts.
#include <string>

#include "text/codepage.h"
#include "files/files.h"
#include "text/text.h"
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

// The characters of `text`, each forbidden one as "_", cut so that at most `limit` bytes remain.
// Every byte of 0x80 and above in the result is part of a GBK byte pair.
std::string ReplaceForbidden(std::string_view text, size_t limit) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    std::string_view ch = "_";
    size_t step = 1;
    if (c >= 0x80) {
      if (i + 1 < text.size() && IsGbkPair(c, static_cast<unsigned char>(text[i + 1]))) {
        ch = text.substr(i, 2);
        step = 2;
      }
    } else if (!IsForbiddenByte(c)) {
      ch = text.substr(i, 1);
    }
    if (out.size() + ch.size() > limit) break;
    out.append(ch);
    i += step;
  }
  return out;
}

// The name with every byte pair that the system cannot convert (an unassigned code) as "_".
std::string ReplaceUnrepresentable(std::string_view name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    if (static_cast<unsigned char>(name[i]) < 0x80) {
      out.push_back(name[i]);
      continue;
    }
    std::string_view pair = name.substr(i, 2);
    out.append(PathIsRepresentable(pair) ? pair : "_");
    ++i;
  }
  return out;
}

bool IsDeviceName(std::string_view head) {
  std::string upper;
  for (char c : head) upper.push_back((c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c);
  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") return true;
  return upper.size() == 4 &&
         (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) && upper[3] >= '1' &&
         upper[3] <= '9';
}

}  // namespace

std::string SafeFileStem(std::string_view text, std::string_view suffix) {
  size_t limit = kMaxPieceNameBytes > suffix.size() ? kMaxPieceNameBytes - suffix.size() : 0;
  std::string stem = ReplaceForbidden(text, limit);
  // One conversion for the whole name; character by character only when it fails.
  if (!PathIsRepresentable(stem)) stem = ReplaceUnrepresentable(stem);
  stem.append(suffix);
  // No trail byte is a space or a dot (trail bytes are 0x40 and above).
  while (!stem.empty() && (stem.back() == ' ' || stem.back() == '.')) stem.pop_back();
  if (stem.empty()) return stem;
  size_t head_end = stem.find('.');
  if (head_end == std::string::npos) head_end = stem.size();
  while (head_end > 0 && stem[head_end - 1] == ' ') --head_end;
  if (IsDeviceName(std::string_view(stem).substr(0, head_end))) stem.insert(head_end, "_");
  return stem;
}

std::string MatchedTextInGbk(std::string_view matched, Encoding encoding) {
  if (encoding == Encoding::kGbk) return std::string(matched);
  // A character gives one GBK byte at least for every four of its own, so this front of the match
  // gives more than a name can hold; it ends between two characters.
  const char* p = matched.data();
  const char* end = p + matched.size();
  const char* front_end = p;
  while (front_end < end && static_cast<size_t>(front_end - p) <= 4 * kMaxPieceNameBytes) {
    front_end += CharLength(encoding, front_end, end);
  }
  const std::string_view front(p, static_cast<size_t>(front_end - p));
  std::string gbk;
  if (ConvertText(front, encoding, Encoding::kGbk, &gbk)) return gbk;
  // Character by character: only those that GBK lacks (or that are invalid) become "_".
  std::string one;
  while (p < front_end) {
    const size_t n = CharLength(encoding, p, front_end);
    if (ConvertText(std::string_view(p, n), encoding, Encoding::kGbk, &one)) {
      gbk += one;
    } else {
      gbk += '_';
    }
    p += n;
  }
  return gbk;
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
