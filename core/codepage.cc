#include "core/codepage.h"

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

bool GbkToWide(std::string_view gbk, std::wstring* out) {
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

bool WideToGbk(std::wstring_view wide, std::string* out) {
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

std::wstring GbkToWideLossy(std::string_view gbk) {
  if (gbk.empty()) return {};
  int n = MultiByteToWideChar(kGbk, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(kGbk, 0, gbk.data(), static_cast<int>(gbk.size()), w.data(), n);
  return w;
}

std::string WideToGbkLossy(std::wstring_view wide) {
  if (wide.empty()) return {};
  int n = WideCharToMultiByte(kGbk, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string s(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    WideCharToMultiByte(kGbk, 0, wide.data(), static_cast<int>(wide.size()), s.data(), n, nullptr,
                        nullptr);
  }
  return s;
}

namespace {
bool WideToUtf8(std::wstring_view wide, std::string* out) {
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
  return GbkToWide(gbk, &w) && WideToUtf8(w, out);
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
  return WideToGbk(w, out);
}

std::string GbkToUtf8Lossy(std::string_view gbk) {
  std::string out;
  std::wstring w = GbkToWideLossy(gbk);
  if (!WideToUtf8(w, &out)) return std::string(gbk);
  return out;
}

void DecodeGbkPairs(unsigned char lead, uint32_t out[256]) {
  for (int trail = 0; trail < 256; ++trail) {
    const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    wchar_t w[2];
    int n = MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, pair, 2, w, 2);
    out[trail] = n == 1 ? static_cast<uint32_t>(w[0]) : 0;
  }
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

std::string GbkToUtf8Lossy(std::string_view gbk) {
  std::string out;
  if (GbkToUtf8(gbk, &out)) return out;
  // Convert character by character, replacing what does not convert.
  out.clear();
  for (size_t i = 0; i < gbk.size();) {
    size_t n = (static_cast<unsigned char>(gbk[i]) >= 0x80 && i + 1 < gbk.size()) ? 2 : 1;
    std::string piece;
    if (GbkToUtf8(gbk.substr(i, n), &piece)) {
      out += piece;
    } else {
      out += '?';
    }
    i += n;
  }
  return out;
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

}  // namespace travik
