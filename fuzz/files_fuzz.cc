// The file layer on real files in a temporary folder: reading from any position agrees with a
// step-by-step model (text, position, flags), a whole source reads the same, and an in-place
// insertion at any position leaves exactly the old bytes with the new ones between them.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "files/files.h"
#include "text/encoding.h"
#include "fuzz/fuzz_util.h"

namespace travik::fuzz {
namespace {

bool WriteRaw(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::string ReadRaw(const std::string& path) {
  std::string bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  FUZZ_CHECK(f != nullptr, "cannot read %s back", path.c_str());
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  std::fclose(f);
  return bytes;
}

// One file in a folder of this process's own, removed when the run ends.
struct Scratch {
  Scratch() {
    folder = TempDirectory() + "travik_fuzz_files_" + std::to_string(getpid());
    MakeDirectory(folder);
    // A name GBK cannot hold: the file layer takes it as it is (and fopen does too, here).
    path = folder + kPathSeparator + "文本 😀 한국.txt";
  }
  ~Scratch() {
    CloseAllFiles();
    RemoveFile(path);
    rmdir(folder.c_str());
  }
  std::string folder;
  std::string path;
};

}  // namespace

void FuzzOne(Input& input) {
  static Scratch scratch;
  const std::string& path = scratch.path;
  const unsigned start_raw = input.Byte() << 8 | input.Byte();
  const unsigned at_raw = input.Byte() << 8 | input.Byte();
  const std::string insert(input.Bytes(input.Byte() % 64));
  std::string bytes(input.rest());
  FUZZ_CHECK(WriteRaw(path, bytes), "cannot write %s", path.c_str());

  // A whole source, as the jobs load it when it is GBK (given, or recognised).
  const SourceText source = LoadSourceText(path, {}, EncodingChoice::kGbk);
  const ModelSource whole = ModelLoad(bytes);
  const SourceText recognised = LoadSourceText(path);
  FUZZ_CHECK(recognised.ok != recognised.refused, "refused but read, or neither");
  if (recognised.encoding == Encoding::kGbk) {
    FUZZ_CHECK(recognised.ok != whole.refused && (whole.refused || recognised.text == whole.text),
               "recognised GBK read otherwise");
  }
  // A UTF-16 mark begins no GBK text: such a file is refused as UTF-16 even when given as GBK.
  const bool utf16_mark = bytes.rfind("\xFF\xFE", 0) == 0 || bytes.rfind("\xFE\xFF", 0) == 0;
  // Given as GBK, a text that is not GBK (a pair GBK lacks) is refused as a whole.
  const bool not_gbk = !utf16_mark && !whole.refused &&
                       FirstInvalidGbkChar(whole.text) != whole.text.size();
  FUZZ_CHECK(source.refused == (utf16_mark || whole.refused || not_gbk), "refused %d",
             source.refused);

  if (utf16_mark) {
    FUZZ_CHECK(!source.ok && source.text.empty() &&
                   source.error == Utf16RefusalMessage(recognised.encoding),
               "a UTF-16 mark given as GBK: %s", source.error.c_str());
    return;
  }
  if (whole.refused || not_gbk) {
    FUZZ_CHECK(!source.ok && source.text.empty(), "a 0x00 inside or not GBK: read all the same");
  } else {
    FUZZ_CHECK(source.ok && source.file_size == static_cast<int64_t>(bytes.size()), "load: %s",
               source.error.c_str());
    FUZZ_CHECK(source.text == whole.text, "loaded text");
    FUZZ_CHECK(source.cut_short == whole.cut_short, "cut_short %d", source.cut_short);
    FUZZ_CHECK(source.cut_short == !source.error.empty(), "the error names the cut");
  }

  // Reading from any position, up to a little past the end.
  const FileNumber f = OpenFile(path);
  FUZZ_CHECK(f != 0, "open");
  const size_t start = start_raw % (bytes.size() + 4);
  FUZZ_CHECK(SeekFile(f, static_cast<int64_t>(start)), "seek");
  ReadInfo info;
  const std::string text = ReadTextFromFile(f, &info);
  const ModelReading want = ModelRead(bytes, start);
  FUZZ_CHECK(info.ok, "read");
  FUZZ_CHECK(text == want.text, "text read from %zu", start);
  FUZZ_CHECK(FilePosition(f) == static_cast<int64_t>(want.position), "position %lld, not %zu",
             static_cast<long long>(FilePosition(f)), want.position);
  FUZZ_CHECK(info.cut_short == want.cut_short && info.half_character == want.half_character,
             "flags %d %d from %zu", info.cut_short, info.half_character, start);
  const int64_t after_start = static_cast<int64_t>(bytes.size()) - static_cast<int64_t>(start);
  FUZZ_CHECK(info.bytes_read == std::max<int64_t>(after_start, 0), "bytes_read %lld",
             static_cast<long long>(info.bytes_read));

  // Inserting in place, also past the end (the gap becomes zero bytes).
  const size_t at = at_raw % (bytes.size() + 8);
  FUZZ_CHECK(SeekFile(f, static_cast<int64_t>(at)), "seek");
  FUZZ_CHECK(InsertTextIntoFile(f, insert), "insert");
  FUZZ_CHECK(FilePosition(f) == static_cast<int64_t>(at + insert.size()), "position after");
  CloseFile(f);
  if (!insert.empty()) {
    if (at > bytes.size()) bytes.resize(at, '\0');
    bytes.insert(at, insert);
  }
  FUZZ_CHECK(ReadRaw(path) == bytes, "the file after inserting %zu bytes at %zu", insert.size(),
             at);
}

}  // namespace travik::fuzz
