#include "core/files.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <future>
#include <map>
#include <memory>
#include <system_error>

#include "core/files_platform.h"
#include "core/text.h"
#include "core/write_behind.h"

#ifdef __linux__
#include <sys/mman.h>
#endif
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace travik {

namespace {

struct OpenEntry {
  std::unique_ptr<platform::File> file;
  int64_t position = 0;
};

// The process-wide table of open files. All calls come from one thread.
struct FileTable {
  std::map<FileNumber, OpenEntry> entries;
  FileNumber next = 1;
};

FileTable& Table() {
  static FileTable table;
  return table;
}

OpenEntry* Lookup(FileNumber number) {
  auto it = Table().entries.find(number);
  return it == Table().entries.end() ? nullptr : &it->second;
}

constexpr size_t kMoveBlock = 4096;

// Where a text read from `p` ends: its length, the offset the position moves to, and whether
// bytes were left behind.
struct TextEnd {
  size_t length;
  size_t position;
  bool cut_short;
};

// The text ends at the first 0x00 or 0x1A that begins a character, or before a lead byte whose
// second byte is 0x00 or missing. Stepping through every character is slow on large texts;
// instead the terminators are found with memchr and only they are placed: a byte that follows a
// byte below 0x80 always begins a character (a single byte or a second byte ends one), so a byte
// begins a character when the run of bytes >= 0x80 just before it has even length. Runs before
// different terminators never overlap (a terminator is below 0x80): linear overall. The first
// `clean` bytes are known to hold neither terminator.
TextEnd FindTextEnd(const unsigned char* p, size_t n, size_t clean = 0) {
  const void* nul = memchr(p + clean, 0x00, n - clean);
  const size_t first_nul =
      nul ? static_cast<size_t>(static_cast<const unsigned char*>(nul) - p) : n;
  auto begins_character = [p](size_t at) {
    size_t run_start = at;
    while (run_start > 0 && p[run_start - 1] >= 0x80) --run_start;
    return (at - run_start) % 2 == 0;
  };
  size_t from = clean;
  for (;;) {
    const void* eof = memchr(p + from, 0x1A, first_nul - from);
    size_t at = eof ? static_cast<size_t>(static_cast<const unsigned char*>(eof) - p) : first_nul;
    if (at == n) {
      if (begins_character(n)) return {n, n, false};
      return {n - 1, n, true};  // a lone lead byte at the end
    }
    if (begins_character(at)) return {at, at, true};
    // `at` is the second byte of the character that starts at at - 1.
    if (p[at] == 0x00) return {at - 1, at, true};
    from = at + 1;
  }
}

}  // namespace

FileNumber OpenFile(std::string_view path) {
  if (path.empty()) return 0;
  std::unique_ptr<platform::File> file = platform::OpenExisting(path);
  if (!file) return 0;
  FileTable& table = Table();
  FileNumber number = table.next++;
  if (table.next <= 0) table.next = 1;
  table.entries[number] = OpenEntry{std::move(file), 0};
  return number;
}

void CloseFile(FileNumber number) { Table().entries.erase(number); }

void CloseAllFiles() { Table().entries.clear(); }

int OpenFileCount() { return static_cast<int>(Table().entries.size()); }

bool SeekFile(FileNumber number, int64_t offset) {
  OpenEntry* entry = Lookup(number);
  if (entry == nullptr || offset < 0) return false;
  entry->position = offset;
  return true;
}

int64_t FilePosition(FileNumber number) {
  OpenEntry* entry = Lookup(number);
  return entry == nullptr ? -1 : entry->position;
}

namespace {

// An empty buffer with room for n bytes of a whole text. On Linux a large one asks for huge pages
// first: reading a 100 MB text then costs a few dozen page faults instead of some 25,000 (twice
// as fast).
std::string EmptyTextBuffer(size_t n) {
  std::string bytes;
  bytes.reserve(n);
#ifdef __linux__
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  if (n >= 4 * kHugePage) {
    uintptr_t begin = (reinterpret_cast<uintptr_t>(bytes.data()) + kHugePage - 1) & ~(kHugePage - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(bytes.data()) + n) & ~(kHugePage - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
  }
#endif
  return bytes;
}

// Blocks of this size are read into a source's buffer one at a time, each zeroed, read and
// looked at while it is in the cache.
constexpr size_t kReadBlock = size_t{256} << 10;
// Sources from this size on are mapped; smaller ones cost less to read than to map and unmap.
constexpr size_t kMapFrom = size_t{1} << 20;
// How much of the block before stays in front of the next one when a mapped file is looked at.
constexpr size_t kOverlap = 4096;

// A buffer of n bytes for a whole text.
std::string TextBuffer(size_t n) {
  std::string bytes = EmptyTextBuffer(n);
  bytes.resize(n);
  return bytes;
}

}  // namespace

std::string ReadTextFromFile(FileNumber number, ReadInfo* info) {
  ReadInfo local;
  ReadInfo& result = info ? *info : local;
  result = ReadInfo();
  OpenEntry* entry = Lookup(number);
  if (entry == nullptr) return {};
  int64_t size = entry->file->Size();
  if (size < 0) return {};
  int64_t start = entry->position;
  if (start >= size) {
    result.ok = true;
    return {};
  }
  std::string bytes = TextBuffer(static_cast<size_t>(size - start));
  size_t got = 0;
  if (!entry->file->ReadAt(start, bytes.data(), bytes.size(), &got)) return {};
  bytes.resize(got);
  result.ok = true;
  result.bytes_read = static_cast<int64_t>(got);

  TextEnd end = FindTextEnd(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  bytes.resize(end.length);
  entry->position = start + static_cast<int64_t>(end.position);
  result.cut_short = end.cut_short;
  result.half_character = end.position != end.length;
  return bytes;
}

bool InsertTextIntoFile(FileNumber number, std::string_view text) {
  OpenEntry* entry = Lookup(number);
  if (entry == nullptr) return false;
  const int64_t p = entry->position;
  const int64_t n = static_cast<int64_t>(text.size());
  if (n == 0) return true;
  int64_t e = entry->file->Size();
  if (e < 0) return false;
  char buffer[kMoveBlock];
  // Move the tail forward block by block, last block first, so nothing is overwritten before it
  // has been moved.
  while (p < e) {
    size_t k = static_cast<size_t>(std::min<int64_t>(e - p, kMoveBlock));
    e -= static_cast<int64_t>(k);
    size_t got = 0;
    if (!entry->file->ReadAt(e, buffer, k, &got) || got != k ||
        !entry->file->WriteAt(e + n, buffer, k)) {
      entry->position = p;
      return false;
    }
  }
  if (!entry->file->WriteAt(p, text.data(), text.size())) {
    entry->position = p;
    return false;
  }
  entry->position = p + n;
  return true;
}

bool WriteWholeFile(std::string_view path, std::initializer_list<std::string_view> parts) {
  if (path.empty()) return false;
  return platform::WriteNew(path, parts);
}

struct ReplacementFile::Impl {
  std::string path;
  std::string temp;
  std::unique_ptr<platform::File> file;
  std::unique_ptr<WriteBehind> behind;  // made by the first AppendLater
  bool failed = false;
  bool committed = false;

  // Waits for the bytes being written behind; false (and the file is spoiled) when one failed.
  bool Settle() {
    if (behind != nullptr && !behind->Drain()) failed = true;
    return !failed;
  }
};

ReplacementFile::ReplacementFile(std::string_view path) : impl_(new Impl) {
  if (path.empty()) {
    impl_->failed = true;
    return;
  }
  impl_->path = platform::ResolveLink(path);
  if (impl_->path.empty()) {  // a link to a file that cannot be named: the link is not replaced
    impl_->failed = true;
    return;
  }
  impl_->file = platform::CreateTemporaryBeside(impl_->path, &impl_->temp);
  if (!impl_->file) {
    impl_->temp.clear();
    impl_->failed = true;
  }
}

ReplacementFile::~ReplacementFile() {
  impl_->behind.reset();  // bytes not yet written are dropped with the temporary file
  impl_->file.reset();
  if (!impl_->committed && !impl_->temp.empty()) platform::Remove(impl_->temp);
  delete impl_;
}

bool ReplacementFile::ok() const { return !impl_->failed; }

bool ReplacementFile::Append(std::string_view bytes) {
  if (impl_->failed || impl_->committed || !impl_->Settle()) return false;
  if (!bytes.empty() && !impl_->file->WriteAt(size_, bytes.data(), bytes.size())) {
    impl_->failed = true;
    return false;
  }
  size_ += static_cast<int64_t>(bytes.size());
  return true;
}

bool ReplacementFile::AppendLater(SourceBytes bytes) {
  // Bytes waiting are held in memory while the caller reads on: a text larger than the room is
  // written at once, so that a job never holds two such texts.
  if (!bytes.Fixed() || bytes.size() > WriteBehind::kDefaultCapacity) return Append(bytes);
  if (impl_->failed || impl_->committed) return false;
  if (bytes.empty()) return true;
  if (impl_->behind == nullptr) {
    platform::File* file = impl_->file.get();
    impl_->behind = std::make_unique<WriteBehind>(
        [file](int64_t offset, std::string_view run) {
          return file->WriteAt(offset, run.data(), run.size());
        });
  }
  const int64_t at = size_;
  size_ += static_cast<int64_t>(bytes.size());
  if (!impl_->behind->Queue(at, std::move(bytes))) {
    impl_->failed = true;
    return false;
  }
  return true;
}

bool ReplacementFile::Commit() {
  if (impl_->failed || impl_->committed || !impl_->Settle()) return false;
  // On the disk before it replaces anything: a crash leaves the old file or the whole new one.
  if (!impl_->file->Flush()) {
    impl_->failed = true;
    return false;
  }
  impl_->file.reset();  // closed before the rename: Windows cannot rename an open file
  if (!platform::RenameReplace(impl_->temp, impl_->path)) {
    impl_->failed = true;
    return false;
  }
  impl_->committed = true;
  return true;
}

bool ReplaceWholeFile(std::string_view path, std::initializer_list<std::string_view> parts) {
  ReplacementFile file(path);
  for (std::string_view part : parts) {
    if (!file.Append(part)) return false;
  }
  return file.Commit();
}

int64_t FileSizeOf(std::string_view path) {
  if (path.empty()) return -1;
  return platform::EntrySize(path);
}

bool RemoveFile(std::string_view path) { return !path.empty() && platform::Remove(path); }

bool MakeDirectory(std::string_view path) { return !path.empty() && platform::MakeDir(path); }

bool RemoveEmptyFolder(std::string_view path) { return !path.empty() && platform::RemoveDir(path); }

bool FolderExists(std::string_view path) { return !path.empty() && platform::IsDir(path); }

bool SameFile(std::string_view a, std::string_view b) {
  if (a.empty() || b.empty()) return false;
  std::string ia = platform::Identity(a);
  return !ia.empty() && ia == platform::Identity(b);
}

std::string FileIdentity(std::string_view path) {
  return path.empty() ? std::string() : platform::Identity(path);
}

std::vector<std::string> FileNamesIn(std::string_view folder) {
  return folder.empty() ? std::vector<std::string>() : platform::FileNames(folder);
}

bool PathIsRepresentable(std::string_view path) { return platform::Representable(path); }

std::string ProgramDirectory() { return platform::ProgramDir(); }

std::string TempDirectory() { return platform::TempDir(); }

namespace {

std::string ProblemText(platform::OpenProblem problem) {
  switch (problem) {
    case platform::OpenProblem::kMissing:
      return "不存在";
    case platform::OpenProblem::kDenied:
      return "没有权限";
    case platform::OpenProblem::kReadOnly:
      return "只读";
    case platform::OpenProblem::kBusy:
      return "被其他程序占用";
    case platform::OpenProblem::kFolder:
      return "是文件夹";
    case platform::OpenProblem::kNone:
      return {};
    case platform::OpenProblem::kOther:
      break;
  }
  return "原因不明";
}

}  // namespace

std::string WriteAccessProblem(std::string_view path) {
  if (path.empty()) return ProblemText(platform::OpenProblem::kMissing);
  return ProblemText(platform::WriteProblem(path));
}

bool ReadFileInBlocks(std::string_view path, size_t block,
                      const std::function<bool(std::string_view)>& take, std::string* error) {
  if (!PathIsRepresentable(path)) {
    *error = "文件名无法转换";
    return false;
  }
  platform::OpenProblem problem = platform::OpenProblem::kOther;
  std::unique_ptr<platform::File> file =
      path.empty() ? nullptr : platform::OpenForReading(path, &problem);
  if (!file) {
    *error = "无法打开文件: " + ProblemText(problem);
    return false;
  }
  const int64_t size = file->Size();
  if (size < 0 || size > kMaxFileSize) {
    *error = size < 0 ? "读取文件失败" : "文件超过 2 GB，无法处理";
    return false;
  }
  constexpr size_t kReadAheadFrom = size_t{64} << 10;
  // Two buffers: while `take` looks at one block, a thread of its own reads the next into the
  // other (where the system gives no thread, the reads are made here).
  struct Read {
    bool ok = false;
    size_t got = 0;
  };
  std::string buffers[2] = {std::string(std::max<size_t>(block, 1), '\0'), std::string()};
  buffers[1].resize(buffers[0].size());
  auto read = [&file](int64_t at, std::string* into) {
    Read r;
    r.ok = file->ReadAt(at, into->data(), into->size(), &r.got);
    return r;
  };
  // A thread per block pays only for blocks of some size (starting a thread costs far more under
  // Wine than reading a few kilobytes).
  const bool ahead = buffers[0].size() >= kReadAheadFrom;
  auto start = [&read, ahead](int64_t at, std::string* into) {
    try {
      if (ahead) return std::async(std::launch::async, read, at, into);
    } catch (const std::system_error&) {
    }
    return std::async(std::launch::deferred, read, at, into);
  };
  std::future<Read> next = start(0, &buffers[0]);
  for (int64_t at = 0, k = 0;; ++k) {
    const Read r = next.get();
    if (!r.ok) {
      *error = "读取文件失败";
      return false;
    }
    if (r.got == 0) return true;
    at += static_cast<int64_t>(r.got);
    if (at > kMaxFileSize) {
      *error = "文件超过 2 GB，无法处理";
      return false;
    }
    // A short read is the file's end: a read after it finds nothing.
    next = start(at, &buffers[(k + 1) % 2]);
    if (!take(std::string_view(buffers[k % 2].data(), r.got))) return true;  // waits for `next`
  }
}

std::string Utf16RefusalMessage(Encoding encoding) {
  return std::string("文件是 ") + EncodingName(encoding) +
         " 编码，无法处理：请先将它另存为 UTF-8 或 GBK 编码";
}

namespace {

// The end of a UTF-8 or GB18030 text: its first 0x00 or 0x1A byte (neither is ever a later byte
// of a character in these encodings), else its size. The first `clean` bytes hold neither.
size_t FindEncodedTextEnd(const char* p, size_t n, size_t clean) {
  const void* nul = memchr(p + clean, 0x00, n - clean);
  const size_t first_nul = nul ? static_cast<size_t>(static_cast<const char*>(nul) - p) : n;
  const void* eof = memchr(p + clean, 0x1A, first_nul - clean);
  return eof ? static_cast<size_t>(static_cast<const char*>(eof) - p) : first_nul;
}

// True when the bytes hold a 0x00 or a 0x1A.
bool HasTerminator(const char* p, size_t n) {
  size_t i = 0;
#ifdef __SSE2__
  // One pass for both bytes, 64 at a time, instead of a memchr for each.
  const __m128i nul = _mm_setzero_si128();
  const __m128i eof = _mm_set1_epi8(0x1A);
  auto either = [&](size_t at) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
    return _mm_or_si128(_mm_cmpeq_epi8(v, nul), _mm_cmpeq_epi8(v, eof));
  };
  for (; i + 64 <= n; i += 64) {
    const __m128i any = _mm_or_si128(_mm_or_si128(either(i), either(i + 16)),
                                     _mm_or_si128(either(i + 32), either(i + 48)));
    if (_mm_movemask_epi8(any) != 0) return true;
  }
#endif
  return i < n && (memchr(p + i, 0x00, n - i) != nullptr || memchr(p + i, 0x1A, n - i) != nullptr);
}

// Applies the GBK reader's rules to `bytes`, whose first `clean` bytes hold no 0x00 or 0x1A, and
// fills the text fields of `source`.
void EndGbkText(SourceBytes bytes, size_t clean, SourceText* source) {
  TextEnd end =
      FindTextEnd(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), clean);
  source->cut_short = end.cut_short;
  source->ends_in_lead_byte = end.cut_short && end.position == bytes.size() &&
                              end.length + 1 == bytes.size() && !bytes.empty();
  if (source->ends_in_lead_byte) source->trailing_lead = bytes[bytes.size() - 1];
  bytes.resize(end.length);
  source->text = std::move(bytes);
  if (source->cut_short) {
    source->error = end.position != end.length
                        ? "文件中有不完整的双字节字符，其后的内容未被读取"
                        : "文件中含有 0x00 或 0x1A 字节，其后的内容未被读取";
  }
}

// Where the last character of a UTF-8 text begins, when every character before it is known to be
// well formed.
size_t LastUtf8CharStart(std::string_view text) {
  size_t k = text.size();
  while (k > 0 && text.size() - k < 3 && (static_cast<unsigned char>(text[k - 1]) & 0xC0) == 0x80) {
    --k;
  }
  if (k > 0 && static_cast<unsigned char>(text[k - 1]) >= 0xC0) --k;
  return k;
}

// The same for a UTF-8 or GB18030 text, whose first `clean` bytes hold no 0x00 or 0x1A; false
// (source refused) when `checked` asks that every character be valid and one is not.
// `recognised_utf8`: detection found the text to be UTF-8 without a mark, so it is well formed
// but perhaps for its last character.
bool EndEncodedText(SourceBytes bytes, size_t clean, bool checked, bool recognised_utf8,
                    SourceText* source) {
  const size_t mark = source->mark_length;
  const size_t end = mark + FindEncodedTextEnd(bytes.data() + mark, bytes.size() - mark,
                                               clean > mark ? clean - mark : 0);
  const std::string_view text = bytes.substr(mark, end - mark);
  // A 0x00 or 0x1A begins a character of a well-formed text: only the last one needs a look. In
  // other UTF-8 texts whole blocks of well-formed UTF-8 are passed over 64 bytes at a time.
  const size_t well_formed = recognised_utf8 ? LastUtf8CharStart(text)
                             : source->encoding == Encoding::kUtf8 ? Utf8WellFormedPrefix(text)
                                                                   : 0;
  TextCheckResult check = CheckText(text.substr(well_formed), source->encoding);
  check.offset += well_formed;
  if (checked && check.check == TextCheck::kInvalid) {
    source->refused = true;
    source->error = std::string("按 ") + EncodingName(source->encoding) + " 编码读取时，第 " +
                    std::to_string(mark + check.offset + 1) +
                    " 字节起不是有效的字符，文件未处理";
    return false;
  }
  size_t length = end;
  if (check.check == TextCheck::kCutShort) {
    length = mark + check.offset;
    source->unfinished = std::string(bytes.substr(length, end - length));
  }
  source->cut_short = length < bytes.size();
  if (source->cut_short) {
    source->error = length < end ? "文件末尾有不完整的字符，未被读取"
                                 : "文件中含有 0x00 或 0x1A 字节，其后的内容未被读取";
  }
  bytes.resize(length);
  source->text = std::move(bytes);
  return true;
}

// True when `bytes` (the carried bytes, then the file's) begin with one whole character of the
// encoding that reaches past the `carried` bytes. GBK: a lead byte with any byte after it.
bool CompletesCarried(std::string_view bytes, size_t carried, Encoding encoding) {
  const char* p = bytes.data();
  const char* end = p + bytes.size();
  if (bytes.size() <= carried) return false;
  switch (encoding) {
    case Encoding::kUtf8:
      return Utf8SequenceLength(p, end) > carried;
    case Encoding::kGb18030:
      return Gb18030SequenceLength(p, end) > carried;
    default:
      return carried == 1 && IsLeadByte(static_cast<unsigned char>(*p));
  }
}

// The encoding a file continuing a character of `carried_encoding` is read in with those bytes
// in front (`bytes` holds them, then the file's own), or false when they are not taken. GBK and
// GB18030 texts continue each other: a GBK lead byte followed by a GB18030 text that does not
// complete it as GB18030 is read as GBK, which takes any byte after a lead byte.
bool ContinuedEncoding(std::string_view bytes, size_t carried, Encoding carried_encoding,
                       EncodingChoice choice, const DetectedEncoding& own, Encoding* encoding) {
  if (carried == 0 || bytes.size() == carried || own.mark_length > 0) return false;
  const bool automatic = choice == EncodingChoice::kAuto;
  Encoding found = own.encoding;
  if (carried_encoding != Encoding::kGbk) {
    found = automatic ? DetectEncoding(bytes).encoding : ChosenEncoding(choice);
  }
  if (found == Encoding::kUtf8 || carried_encoding == Encoding::kUtf8) {
    if (found != carried_encoding || !CompletesCarried(bytes, carried, found)) return false;
  } else if (found == Encoding::kGb18030 && !CompletesCarried(bytes, carried, found)) {
    if (!automatic || carried_encoding != Encoding::kGbk) return false;
    found = Encoding::kGbk;
  } else if (!IsWorkingEncoding(found)) {
    return false;
  }
  *encoding = found;
  return true;
}

}  // namespace

SourceText LoadSourceText(std::string_view path, std::string_view carried, EncodingChoice choice,
                          Encoding carried_encoding,
                          const std::function<bool(const SourceBlock&)>& on_block) {
  SourceText source;
  if (!PathIsRepresentable(path)) {
    source.error = "文件名无法转换";
    return source;
  }
  platform::OpenProblem problem = platform::OpenProblem::kOther;
  int64_t size = -1;
  std::unique_ptr<platform::File> file =
      path.empty() ? nullptr : platform::OpenForReading(path, &problem, &size);
  if (!file) {
    source.file_size = FileSizeOf(path);
    source.error = "无法打开文件: " + ProblemText(problem);
    return source;
  }
  source.file_size = size;
  if (size < 0 || size > kMaxFileSize) {
    source.error = size < 0 ? "读取文件失败" : "文件超过 2 GB，无法处理";
    source.too_large = size > kMaxFileSize;
    return source;
  }
  const size_t expected = static_cast<size_t>(size);
  const bool detect = choice == EncodingChoice::kAuto;
  SourceBytes bytes;
  size_t clean = 0;  // of the file's bytes, how many from the start hold no 0x00 or 0x1A
  DetectedEncoding found;
  // Without carried bytes to put in front, a large file is mapped rather than read into memory:
  // the jobs write their outputs from it, mostly by having the system copy the file's bytes.
  // Recognising the encoding and finding a 0x00 or 0x1A still pass over every byte: they look at
  // copies of the file's blocks, read one at a time into a small buffer that stays in the cache,
  // so that the mapping's pages do not all come into memory (nor cost a page fault each).
  std::shared_ptr<const ByteStorage> mapped =
      carried.empty() && expected >= kMapFrom ? file->MapForReading(expected) : nullptr;
  if (mapped != nullptr) {
    const std::string_view all = mapped->Bytes();
    EncodingDetector detector(all);
    // The buffer begins with the last kOverlap bytes of the block before: detection looks back
    // a little at each block's start.
    std::string buffer(kOverlap + kReadBlock, '\0');
    bool watching = static_cast<bool>(on_block);
    // Given as GBK, a text with a UTF-16 mark is refused all the same (below): never GBK so far.
    const bool no_utf16_mark = ByteOrderMarkLength(all, Encoding::kUtf16Le) == 0 &&
                               ByteOrderMarkLength(all, Encoding::kUtf16Be) == 0;
    const bool given_gbk = choice == EncodingChoice::kGbk && no_utf16_mark;
    const bool given_utf8 = choice == EncodingChoice::kUtf8 && no_utf16_mark &&
                            ByteOrderMarkLength(all, Encoding::kUtf8) == 0;
    size_t at = 0;
    while (at < expected && mapped != nullptr) {
      const size_t want = std::min(kReadBlock, expected - at);
      const size_t kept = std::min(at, kOverlap);
      if (at > 0) {
        memmove(buffer.data() + kOverlap - kept, buffer.data() + kOverlap + kReadBlock - kept,
                kept);
      }
      size_t got = 0;
      if (!file->ReadAt(static_cast<int64_t>(at), buffer.data() + kOverlap, want, &got) ||
          got < want) {
        mapped.reset();  // shorter than it was, or unreadable: read it again the other way
        break;
      }
      if (clean == at && !HasTerminator(buffer.data() + kOverlap, want)) clean += want;
      at += want;
      const std::string_view window(buffer.data() + kOverlap - kept, kept + want);
      if (detect) detector.Advance(at, window, at - want - kept);
      if (watching) {
        const bool gbk = detect ? detector.GbkSoFar() : given_gbk;
        const bool utf8 = detect ? detector.Utf8SoFar() : given_utf8;
        watching = on_block({all, at, window, at - want - kept, clean == at, gbk, utf8});
      }
    }
    if (mapped != nullptr && detect) found = detector.Finish();
    // Looking back into the mapping is rare; whatever it brought into memory goes again.
    if (mapped != nullptr) mapped->Release(all.data(), all.data() + all.size());
    // Shortened while it was looked at: read it again, as it now is.
    if (mapped != nullptr && mapped->Changed()) mapped.reset();
  }
  if (mapped != nullptr) {
    file.reset();
    bytes = SourceBytes(std::move(mapped));
  } else {
    // Read block by block into a buffer: each block is zeroed (by resize), read, looked at by
    // detection and searched for 0x00 and 0x1A while it is in the cache, instead of the whole
    // text being zeroed, read and scanned again from memory.
    clean = 0;
    std::string buffer = EmptyTextBuffer(carried.size() + expected);
    buffer.append(carried);
    // The view reaches over room the buffer has reserved; the detector reads only what has
    // arrived.
    EncodingDetector detector(std::string_view(buffer.data() + carried.size(), expected));
    size_t got = 0;
    while (got < expected) {
      const size_t want = std::min(kReadBlock, expected - got);
      buffer.resize(carried.size() + got + want);
      size_t block = 0;
      if (!file->ReadAt(static_cast<int64_t>(got), buffer.data() + carried.size() + got, want,
                        &block)) {
        source.error = "读取文件失败";
        return source;
      }
      if (clean == got && !HasTerminator(buffer.data() + carried.size() + got, block)) {
        clean += block;
      }
      got += block;
      if (block < want) break;  // the file is shorter than it was
      if (detect) detector.Advance(got);
    }
    file.reset();
    buffer.resize(carried.size() + got);
    if (detect) {
      found = got == expected ? detector.Finish()
                              : DetectEncoding(std::string_view(buffer).substr(carried.size()));
    }
    bytes = SourceBytes(std::move(buffer));
  }
  source.file_size = static_cast<int64_t>(bytes.size() - carried.size());
  const std::string_view own = bytes.substr(carried.size());
  if (detect) {
    source.encoding = found.encoding;
    source.mark_length = found.mark_length;
  } else {
    // An encoding given does not make a text that begins with a UTF-16 mark readable (FF FE and
    // FE FF begin no text of GBK, GB18030 or UTF-8): it is refused as UTF-16 all the same.
    source.encoding = ChosenEncoding(choice);
    for (Encoding utf16 : {Encoding::kUtf16Le, Encoding::kUtf16Be}) {
      if (ByteOrderMarkLength(own, utf16) > 0) source.encoding = utf16;
    }
    source.mark_length = ByteOrderMarkLength(own, source.encoding);
  }
  if (!IsWorkingEncoding(source.encoding)) {
    source.refused = true;
    source.error = Utf16RefusalMessage(source.encoding);
    return source;
  }
  source.carried_taken =
      ContinuedEncoding(bytes, carried.size(), carried_encoding, choice,
                        {source.encoding, source.mark_length}, &source.encoding);
  // Carried bytes not taken belong to the text before this one: they are not part of this text.
  if (!source.carried_taken && !carried.empty()) bytes.remove_prefix(carried.size());
  // The bytes now begin with the carried ones only when they were taken.
  const size_t lead = source.carried_taken ? carried.size() : 0;
  const size_t clean_bytes =
      HasTerminator(bytes.data(), lead) ? 0 : lead + clean;
  if (source.encoding == Encoding::kGbk) {
    EndGbkText(std::move(bytes), clean_bytes, &source);
  } else {
    // Detection saw the file's own bytes: with carried bytes in front, every character is checked.
    const bool recognised_utf8 = detect && lead == 0 && source.encoding == Encoding::kUtf8 &&
                                 source.mark_length == 0;
    if (!EndEncodedText(std::move(bytes), clean_bytes, !detect, recognised_utf8, &source)) {
      return source;
    }
    // Checking the characters may have passed through the whole text again: its pages go too.
    SourceBytes(source.text).Release(source.text.size());
  }
  source.ok = true;
  return source;
}

}  // namespace travik
