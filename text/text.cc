#include "text/text.h"

#include "text/encoding.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace travik {

namespace {

// The next occurrence of `needle` in text at or after `from`, byte-wise; npos when none.
size_t FindBytes(std::string_view text, std::string_view needle, size_t from) {
  if (from > text.size() || needle.size() > text.size() - from) return std::string_view::npos;
#ifdef __GLIBC__
  const void* hit = memmem(text.data() + from, text.size() - from, needle.data(), needle.size());
  if (hit == nullptr) return std::string_view::npos;
  return static_cast<const char*>(hit) - text.data();
#else
  return text.find(needle, from);
#endif
}


}  // namespace

bool BoundaryCursor::IsCharStart(size_t offset) {
  if (offset < known_) return false;  // only a trail byte is left behind a known start
  size_t p = offset;
  while (p > known_ && IsLeadByte(static_cast<unsigned char>(text_[p - 1]))) --p;
  // Every byte below 0x80 ends a character, so p is a character start; an even run of high
  // bytes from there ends on a boundary.
  bool start = ((offset - p) % 2) == 0;
  known_ = start ? offset : offset + 1;
  return start;
}

int TextLength(std::string_view text) { return static_cast<int>(text.size()); }

std::string JoinText(std::initializer_list<std::string_view> parts) {
  size_t total = 0;
  for (std::string_view p : parts) total += p.size();
  std::string out;
  out.reserve(total);
  for (std::string_view p : parts) out.append(p);
  return out;
}

int CompareText(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  int c = n ? memcmp(a.data(), b.data(), n) : 0;
  if (c != 0) return c < 0 ? -1 : 1;
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string LeftText(std::string_view text, int n) {
  if (n <= 0) return {};
  return std::string(text.substr(0, static_cast<size_t>(n)));
}

std::string RightText(std::string_view text, int n) {
  if (n <= 0) return {};
  size_t k = std::min(text.size(), static_cast<size_t>(n));
  return std::string(text.substr(text.size() - k));
}

std::string MidText(std::string_view text, int start, int n) {
  if (start < 1 || static_cast<size_t>(start) > text.size() || n <= 0) return {};
  return std::string(text.substr(static_cast<size_t>(start) - 1, static_cast<size_t>(n)));
}

int CharCodeAt(std::string_view text, int pos) {
  if (pos < 1 || static_cast<size_t>(pos) > text.size()) return 0;
  return static_cast<signed char>(text[static_cast<size_t>(pos) - 1]);
}

int FindText(std::string_view text, std::string_view sought, int start) {
  size_t s = start > 1 ? static_cast<size_t>(start) - 1 : 0;
  if (s >= text.size()) return -1;
  if (sought.empty()) return 1;
  BoundaryCursor cursor(text, s);
  for (size_t at = FindBytes(text, sought, s); at != std::string_view::npos;
       at = FindBytes(text, sought, at + 1)) {
    if (cursor.IsCharStart(at)) return static_cast<int>(at) + 1;
  }
  return -1;
}

int FindTextReverse(std::string_view text, std::string_view sought, int start) {
  size_t region = text.size();
  if (start != kWholeText) {
    size_t b = start > 1 ? static_cast<size_t>(start) - 1 : 0;
    region = std::min(b, text.size());
  }
  if (region == 0) return -1;
  if (sought.empty()) return 1;
  std::string_view limited = text.substr(0, region);
  // Search backwards for byte matches; the first one that is a character start (judged by
  // stepping from byte 0) is the answer. Boundaries are found by walking back over high bytes
  // to the nearest byte below 0x80, which always ends a character.
  size_t at = limited.size() >= sought.size() ? limited.size() - sought.size() : 0;
  if (limited.size() < sought.size()) return -1;
  // The character start found by the last walk: every candidate between it and that walk's
  // starting point is judged by parity alone, so each byte is walked over at most once.
  size_t run_start = std::string_view::npos;
  while (true) {
    size_t hit = limited.rfind(sought, at);
    if (hit == std::string_view::npos) return -1;
    size_t p = hit;
    if (run_start != std::string_view::npos && hit >= run_start) {
      p = run_start;
    } else {
      while (p > 0 && IsLeadByte(static_cast<unsigned char>(text[p - 1]))) --p;
      run_start = p;
    }
    if ((hit - p) % 2 == 0) return static_cast<int>(hit) + 1;
    if (hit == 0) return -1;
    at = hit - 1;
  }
}

std::string TrimSpaces(std::string_view text) {
  static constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
  for (;;) {
    if (!text.empty() && text.front() == ' ') {
      text.remove_prefix(1);
    } else if (text.substr(0, 3) == kIdeographicSpace) {
      text.remove_prefix(3);
    } else {
      break;
    }
  }
  for (;;) {
    if (!text.empty() && text.back() == ' ') {
      text.remove_suffix(1);
    } else if (text.size() >= 3 && text.substr(text.size() - 3) == kIdeographicSpace) {
      text.remove_suffix(3);
    } else {
      break;
    }
  }
  return std::string(text);
}

std::string SpaceText(int n) { return n < 1 ? std::string() : std::string(n, ' '); }

std::string FoldFullWidth(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const size_t n = c < 0x80 ? 1 : Utf8SequenceLength(text.data() + i, text.data() + text.size());
    if (n != 3) {
      out += text.substr(i, n ? n : 1);
      i += n ? n : 1;
      continue;
    }
    const char32_t value = (c & 0x0F) << 12 | (text[i + 1] & 0x3F) << 6 | (text[i + 2] & 0x3F);
    if (value >= 0xFF01 && value <= 0xFF5E) {
      out.push_back(static_cast<char>(value - 0xFF01 + 0x21));
    } else if (value == 0x3000) {
      out.push_back(' ');
    } else if (value == 0xFFE5) {  // the full-width yen sign stands where "$" does
      out.push_back('$');
    } else if (value == 0xFFE3) {  // the full-width macron stands where "~" does
      out.push_back('~');
    } else if (value == 0x2605 || value == 0x2606) {
      out.push_back('*');
    } else {
      out += text.substr(i, 3);
    }
    i += 3;
  }
  return out;
}

int TextToInt(std::string_view text) {
  std::string folded = FoldFullWidth(text);
  const char* p = folded.c_str();
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  long long value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > 1LL << 32) value = 1LL << 32;  // saturate; clamped below
  }
  if (negative) value = -value;
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

int TextToInt(double value) {
  if (std::isnan(value)) return 0;
  double t = std::trunc(value);
  if (t >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (t <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(t);
}

double TextToNumber(std::string_view text) {
  std::string folded = FoldFullWidth(text);
  // atof would also accept "inf", "nan" and hexadecimal forms; only plain decimal numbers count.
  const char* p = folded.c_str();
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  const char* q = p;
  if (*q == '+' || *q == '-') ++q;
  if (!((*q >= '0' && *q <= '9') || (*q == '.' && q[1] >= '0' && q[1] <= '9'))) return 0;
  if (*q == '0' && (q[1] == 'x' || q[1] == 'X')) return 0;
  return std::strtod(p, nullptr);
}

std::string NumberToText(int value) { return std::to_string(value); }

std::string NumberToText(double value) {
  char buf[64];
  snprintf(buf, sizeof buf, "%.13g", value);
  return buf;
}

ByteArray ToByteArray(std::string_view text) { return ByteArray(text); }

float ToSingle(double value) { return static_cast<float>(value); }

int IntegerPart(double x) {
  double w = std::floor(x);
  double f = x - w;
  if (f > 0.999999999999) w += 1;
  return TextToInt(w);
}

double RoundTo(double x, int digits) {
  if (x == 0) return 0;
  double a = std::fabs(x);
  double scale = std::pow(10.0, std::abs(digits));
  double y = digits > 0 ? a * scale : digits < 0 ? a / scale : a;
  y += 0.000000000001;
  double w = std::floor(y);
  double r = (y - w >= 0.5) ? w + 1 : w;
  double back = digits > 0 ? r / scale : digits < 0 ? r * scale : r;
  return x < 0 ? -back : back;
}

double Remainder(double x, double d) { return std::fmod(x, d); }

void SortIntegers(std::vector<int>& values, bool ascending) {
  if (ascending) {
    std::sort(values.begin(), values.end());
  } else {
    std::sort(values.begin(), values.end(), std::greater<int>());
  }
}

}  // namespace travik
