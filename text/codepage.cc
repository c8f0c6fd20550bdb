#include "text/codepage.h"

#include "text/big5.h"
#include "text/gb18030.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

namespace travik {

#ifdef _WIN32

namespace {
constexpr UINT kGbk = 936;
}

namespace {

bool GbkToWideStrict(std::string_view gbk, std::wstring* out) {
  if (gbk.empty()) {
    out->clear();
    return true;
  }
  int n = MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, gbk.data(), static_cast<int>(gbk.size()),
                              nullptr, 0);
  if (n <= 0) return false;
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, gbk.data(), static_cast<int>(gbk.size()),
                      w.data(), n);
  *out = std::move(w);
  return true;
}

bool WideToGbkStrict(std::wstring_view wide, std::string* out) {
  if (wide.empty()) {
    out->clear();
    return true;
  }
  BOOL used_default = FALSE;
  int n = WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                              nullptr, 0, nullptr, &used_default);
  if (n <= 0 || used_default) return false;
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                      s.data(), n, nullptr, &used_default);
  if (used_default) return false;
  *out = std::move(s);
  return true;
}

bool WideToUtf8Strict(std::wstring_view wide, std::string* out) {
  if (wide.empty()) {
    out->clear();
    return true;
  }
  int n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(),
                              static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), static_cast<int>(wide.size()),
                      s.data(), n, nullptr, nullptr);
  *out = std::move(s);
  return true;
}
}  // namespace

bool GbkToUtf8(std::string_view gbk, std::string* out) {
  std::wstring w;
  return GbkToWideStrict(gbk, &w) && WideToUtf8Strict(w, out);
}

bool Utf8ToGbk(std::string_view utf8, std::string* out) {
  if (utf8.empty()) {
    out->clear();
    return true;
  }
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                              static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return false;
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                      w.data(), n);
  return WideToGbkStrict(w, out);
}

void DecodeGbkPairs(unsigned char lead, uint32_t out[256]) {
  for (int trail = 0; trail < 256; ++trail) {
    const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    wchar_t w[2];
    int n = MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, pair, 2, w, 2);
    out[trail] = n == 1 ? static_cast<uint32_t>(w[0]) : 0;
  }
}


namespace {

UINT CodePageOf(Encoding encoding) {
  switch (encoding) {
    case Encoding::kGbk:
      return kGbk;
    case Encoding::kUtf8:
      return CP_UTF8;
    default:
      return 0;
  }
}

bool DecodeToWide(std::string_view text, UINT code_page, std::wstring* out) {
  if (text.empty()) {
    out->clear();
    return true;
  }
  const int size = static_cast<int>(text.size());
  int n = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (n <= 0) return false;
  std::wstring w(static_cast<size_t>(n), L'\0');
  if (MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), size, w.data(), n) != n) {
    return false;
  }
  *out = std::move(w);
  return true;
}

bool EncodeFromWide(std::wstring_view wide, UINT code_page, std::string* out) {
  if (code_page == kGbk) return WideToGbkStrict(wide, out);
  if (wide.empty()) {
    out->clear();
    return true;
  }
  const int size = static_cast<int>(wide.size());
  // UTF-8 and GB18030 hold every character; the flag refuses unpaired surrogates.
  int n = WideCharToMultiByte(code_page, WC_ERR_INVALID_CHARS, wide.data(), size, nullptr, 0,
                              nullptr, nullptr);
  if (n <= 0) return false;
  std::string s(static_cast<size_t>(n), '\0');
  if (WideCharToMultiByte(code_page, WC_ERR_INVALID_CHARS, wide.data(), size, s.data(), n, nullptr,
                          nullptr) != n) {
    return false;
  }
  *out = std::move(s);
  return true;
}

}  // namespace

bool SystemConvert(std::string_view text, Encoding from, Encoding to, std::string* out) {
  const UINT in = CodePageOf(from), target = CodePageOf(to);
  if (in == 0 || target == 0) return false;
  if (from == to) {
    out->assign(text);
    return true;
  }
  std::wstring wide;
  return DecodeToWide(text, in, &wide) && EncodeFromWide(wide, target, out);
}

bool SystemDecode(std::string_view text, Encoding encoding, std::u32string* out) {
  const UINT in = CodePageOf(encoding);
  std::wstring wide;
  if (in == 0 || !DecodeToWide(text, in, &wide)) return false;
  std::u32string result;
  result.reserve(wide.size());
  for (size_t i = 0; i < wide.size(); ++i) {
    const char32_t c = static_cast<unsigned short>(wide[i]);
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size()) {
      const char32_t low = static_cast<unsigned short>(wide[i + 1]);
      if (low >= 0xDC00 && low < 0xE000) {
        result += 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
        continue;
      }
    }
    result += c;
  }
  *out = std::move(result);
  return true;
}

#else  // POSIX: iconv

namespace {

// Converts with iconv; false on any invalid or unconvertible byte sequence.
bool Convert(const char* to, const char* from, std::string_view in, std::string* out) {
  if (in.empty()) {
    out->clear();
    return true;
  }
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string result(in.size() * 2 + 16, '\0');
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  size_t used = 0;
  bool ok = true;
  while (true) {
    char* dst = result.data() + used;
    size_t dst_left = result.size() - used;
    size_t r = iconv(cd, src_left ? &src : nullptr, src_left ? &src_left : nullptr, &dst, &dst_left);
    used = result.size() - dst_left;
    if (r != static_cast<size_t>(-1)) {
      if (src_left == 0) {
        // Flush the shift state (none for these encodings, but harmless).
        dst = result.data() + used;
        dst_left = result.size() - used;
        iconv(cd, nullptr, nullptr, &dst, &dst_left);
        used = result.size() - dst_left;
        break;
      }
      continue;
    }
    if (errno == E2BIG) {
      result.resize(result.size() * 2);
      continue;
    }
    ok = false;  // EILSEQ or EINVAL: invalid or incomplete input
    break;
  }
  iconv_close(cd);
  if (!ok) return false;
  result.resize(used);
  *out = std::move(result);
  return true;
}

}  // namespace

bool GbkToUtf8(std::string_view gbk, std::string* out) {
  return Convert("UTF-8", "CP936", gbk, out);
}

bool Utf8ToGbk(std::string_view utf8, std::string* out) {
  return Convert("CP936", "UTF-8", utf8, out);
}

namespace {

const char* IconvName(Encoding encoding) {
  switch (encoding) {
    case Encoding::kGbk:
      return "CP936";
    case Encoding::kUtf8:
      return "UTF-8";
    default:
      return nullptr;
  }
}

}  // namespace

bool SystemConvert(std::string_view text, Encoding from, Encoding to, std::string* out) {
  const char* in = IconvName(from);
  const char* target = IconvName(to);
  if (!in || !target) return false;
  if (from == to) {
    out->assign(text);
    return true;
  }
  return Convert(target, in, text, out);
}

bool SystemDecode(std::string_view text, Encoding encoding, std::u32string* out) {
  const char* in = IconvName(encoding);
  std::string wide;
  if (!in || !Convert("UTF-32LE", in, text, &wide)) return false;
  std::u32string result(wide.size() / 4, U'\0');
  const unsigned char* b = reinterpret_cast<const unsigned char*>(wide.data());
  for (size_t i = 0; i < result.size(); ++i) {
    result[i] = b[4 * i] | (b[4 * i + 1] << 8) | (b[4 * i + 2] << 16) |
                (static_cast<char32_t>(b[4 * i + 3]) << 24);
  }
  *out = std::move(result);
  return true;
}

void DecodeGbkPairs(unsigned char lead, uint32_t out[256]) {
  iconv_t cd = iconv_open("UTF-32LE", "CP936");
  for (int trail = 0; trail < 256; ++trail) {
    out[trail] = 0;
    if (cd == reinterpret_cast<iconv_t>(-1)) continue;
    char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    unsigned char wide[8];
    char* src = pair;
    size_t src_left = 2;
    char* dst = reinterpret_cast<char*>(wide);
    size_t dst_left = sizeof wide;
    size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    if (r == static_cast<size_t>(-1) || src_left != 0 || sizeof wide - dst_left != 4) continue;
    out[trail] = wide[0] | (wide[1] << 8) | (wide[2] << 16) | (static_cast<uint32_t>(wide[3]) << 24);
  }
  if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
}

#endif

// GB18030 and Big5 go through our own codecs: some systems have no converter for them, and the
// others would differ from them in a few codes.
namespace {

bool DecodeUtf8(std::string_view text, std::u32string* out) {
  std::u32string result;
  const char* end = text.data() + text.size();
  for (const char* p = text.data(); p < end;) {
    const size_t n = Utf8SequenceLength(p, end);
    if (n == 0) return false;
    result += DecodeChar(Encoding::kUtf8, p, end);
    p += n;
  }
  *out = std::move(result);
  return true;
}

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | c >> 6);
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | c >> 12);
    *out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | c >> 18);
    *out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    *out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void EncodeUtf8(std::u32string_view code_points, std::string* out) {
  out->clear();
  for (char32_t c : code_points) AppendUtf8(c, out);
}

}  // namespace

namespace {

// GB18030 and Big5 are converted by our own codecs, GBK by the system's.
bool HasOwnCodec(Encoding encoding) {
  return encoding == Encoding::kGb18030 || encoding == Encoding::kBig5;
}

bool DecodeAny(std::string_view text, Encoding from, std::u32string* out) {
  switch (from) {
    case Encoding::kGb18030:
      return DecodeGb18030(text, out);
    case Encoding::kBig5:
      return DecodeBig5(text, out);
    case Encoding::kUtf8:
      return DecodeUtf8(text, out);
    default: {
      std::string utf8;
      return SystemConvert(text, from, Encoding::kUtf8, &utf8) && DecodeUtf8(utf8, out);
    }
  }
}

bool EncodeAny(std::u32string_view code_points, Encoding to, std::string* out) {
  switch (to) {
    case Encoding::kGb18030:
      return EncodeGb18030(code_points, out);
    case Encoding::kBig5:
      return EncodeBig5(code_points, out);
    case Encoding::kUtf8:
      EncodeUtf8(code_points, out);
      return true;
    default: {
      std::string utf8;
      EncodeUtf8(code_points, &utf8);
      return SystemConvert(utf8, Encoding::kUtf8, to, out);
    }
  }
}

}  // namespace

bool ConvertText(std::string_view text, Encoding from, Encoding to, std::string* out) {
  if (!IsWorkingEncoding(from) || !IsWorkingEncoding(to)) return false;
  if (from == to) {
    out->assign(text);
    return true;
  }
  if (!HasOwnCodec(from) && !HasOwnCodec(to)) return SystemConvert(text, from, to, out);
  // Through code points, and through UTF-8 to and from GBK.
  std::u32string code_points;
  std::string result;
  if (!DecodeAny(text, from, &code_points) || !EncodeAny(code_points, to, &result)) return false;
  *out = std::move(result);
  return true;
}

bool ConvertTypedText(std::string_view typed, Encoding to, std::string* out) {
  // UTF-8 to itself would be copied unchecked: a pasted lone surrogate must not reach a file.
  if (to == Encoding::kUtf8 && !IsValidUtf8(typed)) return false;
  return ConvertText(typed, Encoding::kUtf8, to, out);
}

bool IsValidUtf8(std::string_view text) {
  const char* end = text.data() + text.size();
  for (const char* p = text.data() + Utf8WellFormedPrefix(text); p < end;) {
    if (static_cast<unsigned char>(*p) < 0x80) {
      ++p;
      continue;
    }
    const size_t n = Utf8SequenceLength(p, end);
    if (n == 0) return false;
    p += n;
  }
  return true;
}

std::string ToUtf8Lossy(std::string_view text, Encoding encoding) {
  std::string out;
  if (!IsWorkingEncoding(encoding)) encoding = Encoding::kGbk;
  if (encoding == Encoding::kUtf8 ? IsValidUtf8(text)
                                  : ConvertText(text, encoding, Encoding::kUtf8, &out)) {
    return encoding == Encoding::kUtf8 ? std::string(text) : out;
  }
  out.clear();
  std::string one;
  const char* end = text.data() + text.size();
  for (const char* p = text.data(); p < end;) {
    const size_t n = CharLength(encoding, p, end);
    const bool whole = encoding != Encoding::kUtf8 || static_cast<unsigned char>(*p) < 0x80 ||
                       Utf8SequenceLength(p, end) == n;
    if (whole && ConvertText({p, n}, encoding, Encoding::kUtf8, &one)) {
      out += one;
    } else {
      out += "\xEF\xBF\xBD";  // U+FFFD
    }
    p += n;
  }
  return out;
}

namespace {

// A lone surrogate written the way UTF-8 would write its value (ED A0 80 ... ED BF BF): not
// UTF-8, but it lets a Windows name holding one come back unchanged.
char32_t LoneSurrogateAt(const char* p, const char* end) {
  if (end - p < 3 || static_cast<unsigned char>(p[0]) != 0xED) return 0;
  const unsigned char b1 = static_cast<unsigned char>(p[1]), b2 = static_cast<unsigned char>(p[2]);
  if (b1 < 0xA0 || b1 > 0xBF || (b2 & 0xC0) != 0x80) return 0;
  return 0xD000 | (b1 & 0x3F) << 6 | (b2 & 0x3F);
}

}  // namespace

std::wstring Utf8ToWide(std::string_view utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  const char* end = utf8.data() + utf8.size();
  for (const char* p = utf8.data(); p < end;) {
    const unsigned char c = static_cast<unsigned char>(*p);
    char32_t value;
    size_t n;
    if (c < 0x80) {
      value = c;
      n = 1;
    } else if ((n = Utf8SequenceLength(p, end)) != 0) {
      value = DecodeChar(Encoding::kUtf8, p, end);
    } else if ((value = LoneSurrogateAt(p, end)) != 0) {
      n = 3;
    } else {
      value = 0xFFFD;
      n = 1;
    }
    p += n;
    if (sizeof(wchar_t) == 2 && value >= 0x10000) {
      out += static_cast<wchar_t>(0xD800 + ((value - 0x10000) >> 10));
      out += static_cast<wchar_t>(0xDC00 + ((value - 0x10000) & 0x3FF));
    } else {
      out += static_cast<wchar_t>(value);
    }
  }
  return out;
}

std::string WideToUtf8(std::wstring_view wide) {
  std::string out;
  out.reserve(wide.size() * 3);
  for (size_t i = 0; i < wide.size(); ++i) {
    char32_t c = static_cast<char32_t>(wide[i]);
    if (sizeof(wchar_t) == 2) c &= 0xFFFF;
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size()) {
      const char32_t low = static_cast<char32_t>(wide[i + 1]) & 0xFFFF;
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (c > 0x10FFFF) c = 0xFFFD;
    AppendUtf8(c, &out);  // a lone surrogate keeps its three-byte form
  }
  return out;
}

bool DecodeText(std::string_view text, Encoding encoding, std::u32string* out) {
  if (encoding == Encoding::kGb18030) return DecodeGb18030(text, out);
  if (encoding == Encoding::kBig5) return DecodeBig5(text, out);
  return SystemDecode(text, encoding, out);
}

}  // namespace travik
