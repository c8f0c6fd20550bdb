#include "files/source_text.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "files/files.h"
#include "files/files_internal.h"
#include "files/files_platform.h"
#include "text/big5.h"
#include "text/evidence.h"
#include "text/text.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace travik {

using detail::EmptyTextBuffer;
using detail::FindTextEnd;
using detail::ProblemText;
using detail::TextBuffer;
using detail::TextEnd;

namespace {

// Blocks of this size are read into a source's buffer one at a time, each zeroed, read and
// looked at while it is in the cache.
constexpr size_t kReadBlock = size_t{256} << 10;
// Sources from this size on are mapped; smaller ones cost less to read than to map and unmap.
constexpr size_t kMapFrom = size_t{1} << 20;
// How much of the block before stays in front of the next one when a mapped file is looked at.
constexpr size_t kOverlap = 4096;

}  // namespace

std::string Utf16RefusalMessage(Encoding encoding) {
  return std::string("文件是 ") + EncodingName(encoding) +
         " 编码，无法处理：请先将它另存为 UTF-8 或 GBK 编码";
}

namespace {

// The bytes of a file besides its characters, by the reader's rules. A run of 0x00 and 0x1A bytes
// at the very end pads the file (old editors and converters leave such marks there) and is no
// part of the text. Before it, a 0x00 means the file is no text at all (a binary file, or UTF-16
// that was not recognised), while a 0x1A, a DOS end-of-file mark left in the middle by an old
// converter, is a byte of the text like any other: a text is never read only in part.
struct ControlBytes {
  size_t text_end = 0;                     // where the padding begins (the size without one)
  size_t first_nul = std::string::npos;    // the first 0x00 before text_end
  size_t first_eof = std::string::npos;    // the first 0x1A before text_end
  size_t eof_count = 0;                    // how many 0x1A bytes stand before text_end
};

// Finds them in `bytes`, whose first `clean` bytes hold neither 0x00 nor 0x1A. In GBK a 0x1A
// right after a lead byte is that character's second byte, not padding.
ControlBytes FindControlBytes(std::string_view bytes, size_t clean, bool gbk) {
  ControlBytes found;
  size_t end = bytes.size();
  while (end > clean && (bytes[end - 1] == '\0' || bytes[end - 1] == '\x1A')) --end;
  if (gbk && end < bytes.size() && bytes[end] == '\x1A') {
    size_t run = end;
    while (run > 0 && static_cast<unsigned char>(bytes[run - 1]) >= 0x80) --run;
    if ((end - run) % 2 == 1) ++end;
  }
  found.text_end = end;
  const size_t from = std::min(clean, end);
  if (const void* nul = memchr(bytes.data() + from, 0x00, end - from)) {
    found.first_nul = static_cast<size_t>(static_cast<const char*>(nul) - bytes.data());
  }
  for (size_t at = from; at < end;) {
    const void* eof = memchr(bytes.data() + at, 0x1A, end - at);
    if (eof == nullptr) break;
    at = static_cast<size_t>(static_cast<const char*>(eof) - bytes.data());
    if (found.eof_count++ == 0) found.first_eof = at;
    ++at;
  }
  return found;
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

// Applies the GBK reader's rules to `bytes`, the text without padding (`padded`: the file had
// some), and fills the text fields of `source`: a lead byte at the end has no second byte.
void EndGbkText(SourceBytes bytes, bool padded, SourceText* source) {
  TextEnd end = FindTextEnd(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                            bytes.size());
  source->cut_short = end.cut_short;
  source->ends_in_lead_byte = end.cut_short && !padded && !bytes.empty();
  if (source->ends_in_lead_byte) source->trailing_lead = bytes[bytes.size() - 1];
  bytes.resize(end.length);
  source->text = std::move(bytes);
  if (source->cut_short) source->error = "文件末尾有不完整的双字节字符，未被读取";
}

// True when every character of a GBK or Big5 text read by the GBK reader's rules is a
// character of the encoding the person named; else the source is refused, naming the first
// byte that is not (counted in the file, as for the other encodings).
bool HoldsNamedEncoding(SourceText* source) {
  const std::string_view text = source->text;
  const size_t bad = source->encoding == Encoding::kBig5 ? FirstInvalidBig5Char(text)
                                                          : FirstInvalidGbkChar(text);
  if (bad == text.size()) return true;
  source->refused = true;
  source->cut_short = false;
  source->ends_in_lead_byte = false;
  source->text = SourceBytes();
  source->error = std::string("按 ") + EncodingName(source->encoding) + " 编码读取时，第 " +
                  std::to_string(bad + 1) + " 字节起不是有效的字符，文件未处理";
  return false;
}

// The runs of bytes of a UTF-8 or GB18030 text, from `from` on, that begin no character, as
// (offset, length), up to *tail: where an incomplete last character begins, else the text's end.
std::vector<std::pair<size_t, size_t>> InvalidRuns(std::string_view text, Encoding encoding,
                                                   size_t from, size_t* tail) {
  std::vector<std::pair<size_t, size_t>> runs;
  *tail = text.size();
  const char* p = text.data();
  const char* end = p + text.size();
  for (size_t at = from; at < text.size();) {
    if (encoding == Encoding::kUtf8) at += Utf8WellFormedPrefix(text.substr(at));
    if (at >= text.size()) break;
    const size_t n = static_cast<unsigned char>(p[at]) < 0x80 ? 1
                     : encoding == Encoding::kUtf8          ? Utf8SequenceLength(p + at, end)
                                                            : Gb18030SequenceLength(p + at, end);
    if (n > 0) {
      at += n;
      continue;
    }
    if (text.size() - at < 4) {
      const TextCheckResult rest = CheckText(text.substr(at), encoding);
      if (rest.check == TextCheck::kCutShort && rest.offset == 0) {
        *tail = at;
        break;
      }
    }
    if (!runs.empty() && runs.back().first + runs.back().second == at) {
      ++runs.back().second;
    } else {
      runs.push_back({at, 1});
    }
    ++at;
  }
  return runs;
}

// At most this many places with invalid bytes are told one by one; the rest in one more note.
constexpr size_t kToldRuns = 10;

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

// The same for a UTF-8 or GB18030 text without its padding, whose first `lead` bytes are carried
// ones; false (source refused) when `checked` asks that every character be valid and one is not.
// `recognised_utf8`: detection found the text to be UTF-8 without a mark, so it is well formed
// but perhaps for its last character.
bool EndEncodedText(SourceBytes bytes, bool checked, bool recognised_utf8, size_t lead,
                    SourceText* source) {
  const size_t mark = source->mark_length;
  const size_t end = bytes.size();
  const std::string_view text = bytes.substr(mark, end - mark);
  // Only the last character of a well-formed text needs a look. In other UTF-8 texts whole
  // blocks of well-formed UTF-8 are passed over 64 bytes at a time.
  const size_t well_formed = recognised_utf8 ? LastUtf8CharStart(text)
                             : source->encoding == Encoding::kUtf8 ? Utf8WellFormedPrefix(text)
                                                                   : 0;
  TextCheckResult check = CheckText(text.substr(well_formed), source->encoding);
  check.offset += well_formed;
  if (checked && check.check == TextCheck::kInvalid) {
    // The person named the encoding: a text not in it is refused, not tolerated.
    source->refused = true;
    source->error = std::string("按 ") + EncodingName(source->encoding) + " 编码读取时，第 " +
                    std::to_string(mark + check.offset + 1) +
                    " 字节起不是有效的字符，文件未处理";
    return false;
  }
  if (check.check == TextCheck::kInvalid) {
    // Recognised though a few bytes begin no character (at most InvalidByteAllowance for
    // UTF-8): they are kept as they are, each a unit of its own, and told. An incomplete last
    // character is no invalid byte: it is left out below.
    size_t tail = text.size();
    const std::vector<std::pair<size_t, size_t>> runs =
        InvalidRuns(text, source->encoding, check.offset, &tail);
    size_t total = 0;
    for (const auto& run : runs) total += run.second;
    source->invalid_bytes = total;
    // The note on the padding, when there is one, stays the last (a merge tells it otherwise).
    std::vector<std::string> told_runs;
    size_t told = 0;
    for (size_t r = 0; r < runs.size() && r < kToldRuns; ++r) {
      told += runs[r].second;
      told_runs.push_back("第 " + std::to_string(mark + runs[r].first - lead + 1) + " 字节起有 " +
                          std::to_string(runs[r].second) + " 个无效字节，已原样保留");
    }
    if (told < total) {
      told_runs.push_back("另有 " + std::to_string(total - told) + " 个无效字节，已原样保留");
    }
    source->notes.insert(source->notes.end() - (source->padding.empty() ? 0 : 1),
                         told_runs.begin(), told_runs.end());
    check = tail < text.size() ? TextCheckResult{TextCheck::kCutShort, tail}
                               : TextCheckResult{TextCheck::kValid, text.size()};
  }
  size_t length = end;
  if (check.check == TextCheck::kCutShort) {
    length = mark + check.offset;
    source->unfinished = std::string(bytes.substr(length, end - length));
  }
  source->cut_short = length < bytes.size();
  if (source->cut_short) source->error = "文件末尾有不完整的字符，未被读取";
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
  } else if (automatic && found != carried_encoding &&
             (found == Encoding::kBig5 || carried_encoding == Encoding::kBig5) &&
             (found == Encoding::kGbk || carried_encoding == Encoding::kGbk) &&
             WeighGbkAgainstBig5(bytes.substr(0, kEvidenceBytes)).weak &&
             (carried_encoding == Encoding::kGbk || FirstInvalidBig5Char(bytes) + 1 >= bytes.size())) {
    // GBK and Big5 step alike: a text whose readings are close continues the text before in
    // its encoding.
    found = carried_encoding;
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
    source.weak_evidence = found.weak;
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
  const ControlBytes control =
      FindControlBytes(bytes, clean_bytes,
                       source.encoding == Encoding::kGbk || source.encoding == Encoding::kBig5);
  // Positions are told counted from 1, in the file's own bytes (carried bytes not counted).
  auto file_position = [lead](size_t at) { return std::to_string(at - std::min(at, lead) + 1); };
  if (control.first_nul != std::string::npos) {
    source.refused = true;
    source.error = "第 " + file_position(control.first_nul) +
                   " 字节是 0x00，文件不是文本（二进制文件，或未能识别的 UTF-16 文本），未处理";
    return source;
  }
  if (control.eof_count > 0) {
    std::string note = "第 " + file_position(control.first_eof) + " 字节有 0x1A 控制字符，已原样保留";
    if (control.eof_count > 1) note += "（共 " + std::to_string(control.eof_count) + " 个）";
    source.notes.push_back(std::move(note));
  }
  const bool padded = control.text_end < bytes.size();
  if (padded) {
    source.padding = std::string(bytes.substr(control.text_end));
    source.notes.push_back("文件末尾的 " + std::to_string(source.padding.size()) +
                           " 个 0x00/0x1A 填充字节不属于文本，已略去");
    bytes.resize(control.text_end);
  }
  if (source.encoding == Encoding::kGbk || source.encoding == Encoding::kBig5) {
    // Big5 is read by GBK's rules: the same lead bytes, neither 0x00 nor 0x1A a trail byte.
    EndGbkText(std::move(bytes), padded, &source);
    if (!detect && !HoldsNamedEncoding(&source)) return source;
  } else {
    // Detection saw the file's own bytes: with carried bytes in front, every character is checked.
    const bool recognised_utf8 = detect && lead == 0 && source.encoding == Encoding::kUtf8 &&
                                 source.mark_length == 0 && found.invalid == 0;
    if (!EndEncodedText(std::move(bytes), !detect, recognised_utf8, lead, &source)) {
      return source;
    }
    // Checking the characters may have passed through the whole text again: its pages go too.
    SourceBytes(source.text).Release(source.text.size());
  }
  source.ok = true;
  return source;
}

}  // namespace travik
