#include "tests/test_util.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "text/codepage.h"
#include "files/files.h"

namespace travik::testing {

namespace fs = std::filesystem;

fs::path NativePath(std::string_view path) {
#ifdef _WIN32
  return fs::path(Utf8ToWide(path));
#else
  return fs::path(std::string(path));
#endif
}

namespace {
std::string FromNative(const fs::path& path) {
#ifdef _WIN32
  return WideToUtf8(path.wstring());
#else
  return path.string();
#endif
}
}  // namespace

std::string Gbk(std::string_view utf8) {
  std::string gbk;
  if (!Utf8ToGbk(utf8, &gbk)) {
    std::fprintf(stderr, "test literal has no GBK form: %.*s\n", static_cast<int>(utf8.size()),
                 utf8.data());
    std::abort();
  }
  return gbk;
}

std::string Gb18030(std::string_view utf8) {
  std::string out;
  if (!ConvertText(utf8, Encoding::kUtf8, Encoding::kGb18030, &out)) {
    std::fprintf(stderr, "test literal is not UTF-8: %.*s\n", static_cast<int>(utf8.size()),
                 utf8.data());
    std::abort();
  }
  return out;
}

std::string operator""_gbk(const char* utf8, size_t size) { return Gbk({utf8, size}); }

ScopedTempDir::ScopedTempDir() {
  static unsigned counter = 0;
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  std::string base = TempDirectory();
  if (base.empty()) base = FromNative(fs::temp_directory_path()) + kPathSeparator;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = base + "travik-test-" + std::to_string(stamp) + "-" +
                            std::to_string(++counter);
    std::error_code ec;
    if (fs::create_directory(NativePath(candidate), ec) && !ec) {
      path_ = candidate;
      return;
    }
  }
  std::abort();
}

ScopedTempDir::~ScopedTempDir() {
  CloseAllFiles();  // the file table must not keep anything open inside the folder
  std::error_code ec;
  // Read-only files left by a test would stop the removal on Windows.
  for (auto it = fs::recursive_directory_iterator(NativePath(path_), ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
  }
  fs::remove_all(NativePath(path_), ec);
}

std::string ScopedTempDir::Join(std::string_view name) const {
  return path_ + kPathSeparator + std::string(name);
}

std::string CorpusFile() {
  const char* env = std::getenv("TRAVIK_CORPUS_DIR");
  std::string dir = (env && *env) ? env : TRAVIK_CORPUS_DIR;
#ifdef _WIN32
  // Under Wine the Linux root is drive Z:.
  if (!dir.empty() && dir[0] == '/') {
    for (char& c : dir) {
      if (c == '/') c = '\\';
    }
    dir = "Z:" + dir;
  }
#endif
  std::string path = dir + kPathSeparator + "novel_gbk.txt";
  std::error_code ec;
  return fs::exists(NativePath(path), ec) ? path : std::string();
}

bool ReadFileBytes(std::string_view path, std::string* bytes) {
  std::ifstream in(NativePath(path), std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteFileBytes(std::string_view path, std::string_view bytes) {
  std::ofstream out(NativePath(path), std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool SetReadOnly(std::string_view path, bool read_only) {
  std::error_code ec;
  const fs::perms writable = fs::perms::owner_write | fs::perms::group_write |
                             fs::perms::others_write;
  fs::permissions(NativePath(path), writable,
                  read_only ? fs::perm_options::remove : fs::perm_options::add, ec);
  return !ec;
}

std::string RandomGbkText(std::mt19937& rng, size_t max_length, bool allow_eof_bytes,
                          std::string_view extra) {
  std::uniform_int_distribution<size_t> length_dist(0, max_length);
  size_t length = length_dist(rng);
  std::string text;
  text.reserve(length + 8);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  while (text.size() < length) {
    int kind = pick(allow_eof_bytes ? 11 : 10);
    switch (kind) {
      case 0:
      case 1:
      case 2:
      case 3: {  // a double-byte character; trail bytes often below 0x80
        text.push_back(static_cast<char>(0x81 + pick(0x7E)));
        text.push_back(static_cast<char>(0x40 + pick(0xBF)));
        break;
      }
      case 4:
        text += "\r\n";
        break;
      case 5:
        text += (pick(2) ? "\n" : " ");
        break;
      case 6:
      case 7:
        text.push_back(static_cast<char>("ab\\|^x. 1"[pick(9)]));
        break;
      case 8:
        if (!extra.empty()) {
          // Snippets separated by '\0' in `extra`.
          size_t count = 1;
          for (char c : extra) count += (c == '\0');
          size_t which = static_cast<size_t>(pick(static_cast<int>(count)));
          size_t begin = 0;
          for (size_t k = 0; k < which; ++k) begin = extra.find('\0', begin) + 1;
          size_t end = extra.find('\0', begin);
          text.append(extra.substr(begin, end == std::string_view::npos ? end : end - begin));
        } else {
          text += "\xD5\xC2";  // 章
        }
        break;
      case 9:
        text += "\xA1\xA1";  // full-width space
        break;
      default:
        text.push_back('\x1A');
        break;
    }
  }
  return text;
}

std::string HexBytes(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
    out += ' ';
  }
  return out;
}

std::string ValidGbkText(std::string text) {
  for (size_t at = 0; at + 1 < text.size();) {
    const size_t bad = at + FirstInvalidGbkChar(std::string_view(text).substr(at));
    if (bad + 1 >= text.size()) break;
    text[bad] = '\xB0';
    text[bad + 1] = '\xA1';
    at = bad + 2;
  }
  return text;
}

}  // namespace travik::testing
