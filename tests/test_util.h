// Helpers shared by the test programs of every folder.
#ifndef TRAVIK_TESTS_TEST_UTIL_H_
#define TRAVIK_TESTS_TEST_UTIL_H_

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>

namespace travik::testing {

// The system path for a path as the program holds it (UTF-8; UTF-16 on Windows).
std::filesystem::path NativePath(std::string_view path);

// The GBK bytes of a UTF-8 test literal, for texts that stand for a GBK file's contents. Aborts
// the test program when GBK lacks a character (a mistake in the test, not a result).
std::string Gbk(std::string_view utf8);
// The GB18030 bytes of a UTF-8 test literal.
std::string Gb18030(std::string_view utf8);
// "第一章\r\n"_gbk is Gbk("第一章\r\n"), embedded NULs included.
std::string operator""_gbk(const char* utf8, size_t size);

// A fresh folder under the system's temporary folder, removed with all it holds when the object
// goes out of scope, even after a failed assertion. Paths are UTF-8 and use the platform separator.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + separator + name.
  std::string Join(std::string_view name) const;

 private:
  std::string path_;
};

// Path of the sample corpus file (novel_gbk.txt); empty when it cannot be found.
std::string CorpusFile();

// Raw bytes of a file, without any of the program's reading rules; false when unreadable.
bool ReadFileBytes(std::string_view path, std::string* bytes);
// Creates or replaces a file with the bytes, bypassing the program's file layer.
bool WriteFileBytes(std::string_view path, std::string_view bytes);
// Sets or clears the read-only state (all write permission bits on POSIX).
bool SetReadOnly(std::string_view path, bool read_only);

// The bytes as hexadecimal pairs ("B5 DA 0D 0A "), for failure messages.
std::string HexBytes(std::string_view bytes);

// Random GBK-like text: ASCII, CR LF, lone LF, double-byte characters (trail bytes from
// 0x40 to 0xFE, so many below 0x80), the given extra snippets, and optionally 0x1A bytes.
std::string RandomGbkText(std::mt19937& rng, size_t max_length, bool allow_eof_bytes = false,
                          std::string_view extra = {});
// The text with each pair code page 936 does not hold (FirstInvalidGbkChar) made 啊 (B0 A1), so
// that GBK given reads it; a lone lead byte at the end stays.
std::string ValidGbkText(std::string text);

}  // namespace travik::testing

#endif  // TRAVIK_TESTS_TEST_UTIL_H_
