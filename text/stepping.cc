// Character stepping in each encoding the jobs work in.
#include "text/encoding.h"

#include "text/big5.h"

namespace travik {

namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The range the second byte of a UTF-8 sequence may take after `lead`, which excludes overlong
// forms, surrogates and values above U+10FFFF.
void SecondByteRange(unsigned char lead, unsigned char* lo, unsigned char* hi) {
  *lo = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
  *hi = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
}

size_t Utf8ExpectedLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead < 0xC2) return 0;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  if (lead < 0xF5) return 4;
  return 0;
}

// True when p .. end (fewer bytes than the sequence needs) could still become a well-formed
// UTF-8 character.
bool IsUtf8Prefix(const unsigned char* p, const unsigned char* end) {
  const size_t need = Utf8ExpectedLength(*p);
  const size_t have = static_cast<size_t>(end - p);
  if (need < 2 || have >= need) return false;
  unsigned char lo, hi;
  SecondByteRange(*p, &lo, &hi);
  if (have >= 2 && (p[1] < lo || p[1] > hi)) return false;
  return have < 3 || IsContinuation(p[2]);
}

bool IsGb18030Lead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool IsDigitByte(unsigned char c) { return c >= 0x30 && c <= 0x39; }

// True when p .. end (fewer bytes than the sequence needs) could still become a GB18030
// character.
bool IsGb18030Prefix(const unsigned char* p, const unsigned char* end) {
  const size_t have = static_cast<size_t>(end - p);
  if (!IsGb18030Lead(p[0])) return false;
  if (have == 1) return true;
  if (have >= 4 || !IsDigitByte(p[1])) return false;
  return have == 2 || IsGb18030Lead(p[2]);
}

// A byte that is never the second, third or fourth byte of a GB18030 character: the byte after
// it always begins one.
bool EndsGb18030Character(unsigned char c) { return c < 0x30 || c == 0x7F || c == 0xFF; }

}  // namespace

const char* EncodingName(Encoding encoding) {
  switch (encoding) {
    case Encoding::kGb18030:
      return "GB18030";
    case Encoding::kUtf8:
      return "UTF-8";
    case Encoding::kUtf16Le:
      return "UTF-16LE";
    case Encoding::kUtf16Be:
      return "UTF-16BE";
    case Encoding::kBig5:
      return "Big5";
    default:
      return "GBK";
  }
}

Encoding ChosenEncoding(EncodingChoice choice) {
  switch (choice) {
    case EncodingChoice::kGb18030:
      return Encoding::kGb18030;
    case EncodingChoice::kUtf8:
      return Encoding::kUtf8;
    case EncodingChoice::kBig5:
      return Encoding::kBig5;
    default:
      return Encoding::kGbk;
  }
}

const char* EncodingChoiceName(EncodingChoice choice) {
  return choice == EncodingChoice::kAuto ? "自动" : EncodingName(ChosenEncoding(choice));
}

bool ParseEncodingChoice(std::string_view text, EncodingChoice* choice) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (lower == "auto") {
    *choice = EncodingChoice::kAuto;
  } else if (lower == "gbk") {
    *choice = EncodingChoice::kGbk;
  } else if (lower == "gb18030") {
    *choice = EncodingChoice::kGb18030;
  } else if (lower == "utf-8" || lower == "utf8") {
    *choice = EncodingChoice::kUtf8;
  } else if (lower == "big5") {
    *choice = EncodingChoice::kBig5;
  } else {
    return false;
  }
  return true;
}

size_t ByteOrderMarkLength(std::string_view text, Encoding encoding) {
  switch (encoding) {
    case Encoding::kUtf8:
      return text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    case Encoding::kUtf16Le:
      return text.substr(0, 2) == "\xFF\xFE" ? 2 : 0;
    case Encoding::kUtf16Be:
      return text.substr(0, 2) == "\xFE\xFF" ? 2 : 0;
    default:
      return 0;
  }
}

size_t Utf8SequenceLength(const char* p, const char* end) {
  const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
  const size_t need = Utf8ExpectedLength(u[0]);
  if (need <= 1 || static_cast<size_t>(end - p) < need) return need == 1 ? 1 : 0;
  unsigned char lo, hi;
  SecondByteRange(u[0], &lo, &hi);
  if (u[1] < lo || u[1] > hi) return 0;
  for (size_t k = 2; k < need; ++k) {
    if (!IsContinuation(u[k])) return 0;
  }
  return need;
}

size_t Gb18030SequenceLength(const char* p, const char* end) {
  const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
  if (u[0] < 0x80) return 1;
  if (!IsGb18030Lead(u[0]) || end - p < 2) return 0;
  if ((u[1] >= 0x40 && u[1] <= 0x7E) || (u[1] >= 0x80 && u[1] <= 0xFE)) return 2;
  if (IsDigitByte(u[1]) && end - p >= 4 && IsGb18030Lead(u[2]) && IsDigitByte(u[3])) return 4;
  return 0;
}

bool CharCursor::IsCharStart(size_t offset) {
  if (offset < origin_ || offset > text_.size()) return false;
  return NextBoundary(offset) == offset;
}

size_t CharCursor::NextBoundary(size_t offset) {
  if (offset <= known_) return known_;
  const size_t size = text_.size();
  if (offset >= size) return known_ = size;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text_.data());
  size_t result = offset;
  switch (encoding_) {
    case Encoding::kUtf8: {
      // Every byte that is no continuation byte begins a character; a continuation byte does
      // unless the well-formed sequence of the nearest such byte up to 3 before covers it.
      if (!IsContinuation(bytes[offset])) break;
      const size_t floor = offset - known_ > 3 ? offset - 3 : known_;
      for (size_t q = offset; q-- > floor;) {
        if (IsContinuation(bytes[q])) {
          if (q == known_) break;  // a boundary on a stray continuation byte
          continue;
        }
        const size_t n = Utf8SequenceLength(text_.data() + q, text_.data() + size);
        if (q + n > offset) result = q + n;
        break;
      }
      break;
    }
    case Encoding::kGb18030: {
      size_t p = offset;
      while (p > known_ && !EndsGb18030Character(bytes[p - 1])) --p;
      const char* end = text_.data() + size;
      while (p < offset) p += CharLength(encoding_, text_.data() + p, end);
      result = p;
      break;
    }
    default: {
      // A byte below 0x80 ends a character, so a run of high bytes starts on one.
      size_t p = offset;
      while (p > known_ && IsLeadByte(bytes[p - 1])) --p;
      if ((offset - p) % 2) result = offset + 1;
      break;
    }
  }
  return known_ = result;
}

TextCheckResult CheckText(std::string_view text, Encoding encoding) {
  const unsigned char* begin = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* end = begin + text.size();
  const char* cend = text.data() + text.size();
  TextCheckResult result;
  result.offset = text.size();
  if (!IsWorkingEncoding(encoding)) return {TextCheck::kInvalid, 0};
  const unsigned char* p = begin;
  while (p < end) {
    if (*p < 0x80) {
      ++p;
      continue;
    }
    const char* at = reinterpret_cast<const char*>(p);
    size_t n = encoding == Encoding::kUtf8      ? Utf8SequenceLength(at, cend)
               : encoding == Encoding::kGb18030 ? Gb18030SequenceLength(at, cend)
                                                : GbkCharLength(at, cend);
    if (p + 1 == end && encoding != Encoding::kUtf8 && encoding != Encoding::kGb18030) n = 0;
    if (encoding == Encoding::kBig5 && n == 2 && Big5PairValue(p[0], p[1]) == 0) {
      return {TextCheck::kInvalid, static_cast<size_t>(p - begin)};
    }
    if (n == 0) {
      const bool prefix = encoding == Encoding::kUtf8      ? IsUtf8Prefix(p, end)
                          : encoding == Encoding::kGb18030 ? IsGb18030Prefix(p, end)
                          : encoding == Encoding::kBig5    ? *p >= 0x81 && *p <= 0xFE
                                                           : true;
      return {prefix ? TextCheck::kCutShort : TextCheck::kInvalid, static_cast<size_t>(p - begin)};
    }
    p += n;
  }
  return result;
}

}  // namespace travik
