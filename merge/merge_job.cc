#include "merge/merge_job.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <unordered_set>

#include "text/codepage.h"
#include "text/encoding.h"
#include "text/evidence.h"
#include "files/files.h"
#include "files/save_folder.h"
#include "text/text.h"

namespace travik {

namespace {

constexpr char kNoTask[] = "当前没有可执行的任务！";
constexpr char kNoName[] = "请输入合并后的文件名！";
constexpr char kMerging[] = "当前状态: 正在合并文件...";
constexpr char kFinished[] = "当前状态: 已完成";
constexpr char kSaveFolder[] = "保存目录: ";

constexpr char kNoProgramFolder[] = "无法确定保存目录（软件所在目录未知），未合并";
constexpr char kSourcesKept[] = "，原文件均未删除";

std::string CutShortReason(const SourceText& source, size_t carried, bool deleting) {
  // Bytes of this file itself: bytes carried in from the file before are not counted.
  const int64_t kept =
      static_cast<int64_t>(source.text.size() - std::min(carried, source.text.size()));
  std::string reason = JoinText("只读取了前 ", std::to_string(kept), " 字节（末尾有不完整的",
                                source.encoding == Encoding::kGbk ? "双字节" : "",
                                "字符），其后的 ", std::to_string(source.file_size - kept),
                                " 字节未被合并");
  if (deleting) reason += "，原文件未删除";
  return reason;
}

// True when the text holds a byte outside ASCII: only then does its encoding matter.
bool HasNonAscii(std::string_view text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return true;
  }
  return false;
}

// True when a character of the GBK text begins with 0x80, code page 936's euro sign, which is
// one byte there and no character of GB18030.
bool HasGbkEuro(std::string_view gbk) {
  const char* end = gbk.data() + gbk.size();
  for (const char* p = gbk.data(); p < end; p += GbkCharLength(p, end)) {
    if (*p == '\x80') return true;
  }
  return false;
}

// The GBK text with each euro sign (0x80 where a character begins) written as GB18030 writes it,
// A2 E3; the byte after it begins the next character, as code page 936 reads it.
std::string GbkEuroAsGb18030(std::string_view gbk) {
  std::string out;
  out.reserve(gbk.size() + 16);
  const char* end = gbk.data() + gbk.size();
  for (const char* p = gbk.data(); p < end;) {
    if (*p == '\x80') {
      out += "\xA2\xE3";
      ++p;
      continue;
    }
    const size_t n = GbkCharLength(p, end);
    out.append(p, n);
    p += n;
  }
  return out;
}

// The merged text's encoding: that of the first source read whose text (with its byte-order
// mark) is more than ASCII. Sources before it are ASCII, the same bytes in every encoding.
// GBK turns GB18030 when a GB18030 source joins it.
struct MergedEncoding {
  bool decided = false;
  Encoding encoding = Encoding::kGbk;
};

// Why `body` (a source's text in `from`, starting `offset` bytes into the file) cannot be
// converted to `to`: the first character that is not valid in `from` or has no form in `to`.
std::string ConversionProblem(std::string_view body, int64_t offset, Encoding from, Encoding to) {
  const char* begin = body.data();
  const char* end = begin + body.size();
  std::string out;
  std::u32string values;
  for (const char* p = begin; p < end;) {
    const size_t n = CharLength(from, p, end);
    const std::string_view one(p, n);
    if (!ConvertText(one, from, to, &out)) {
      // A character begun by bytes carried in from the file before is named at this file's start.
      const std::string at = std::to_string(std::max<int64_t>(offset + (p - begin), 0) + 1);
      if (!DecodeText(one, from, &values)) {
        return JoinText("第 ", at, " 字节起不是有效的 ", EncodingName(from), " 字符，无法转换为 ",
                        EncodingName(to), " 编码，未合并");
      }
      return JoinText("第 ", at, " 字节起的字符无法用 ", EncodingName(to),
                      " 编码表示（合并后的文件取第一个文件的编码），未合并");
    }
    p += n;
  }
  return JoinText("无法转换为 ", EncodingName(to), " 编码，未合并");
}

// The bytes a source adds to the merged text: its text in the merged text's encoding, without its
// byte-order mark unless it begins the merged text (`at_start`): a view of the source's own bytes,
// or the converted text when it had to be converted. False, with *problem saying why, when it cannot be converted.
bool MergedBytes(const SourceText& source, size_t carried, bool at_start, MergedEncoding* merged,
                 SourceBytes* bytes, std::string* problem) {
  SourceBytes body = source.text;
  if (!at_start) body.remove_prefix(std::min(source.mark_length, body.size()));
  if (!merged->decided && HasNonAscii(body)) {
    merged->decided = true;
    merged->encoding = source.encoding;
  }
  // GBK text is GB18030 text: neither is converted into the other (the pieces of a GB18030 text
  // without four-byte characters are recognised as GBK), and a merged GBK text that a GB18030
  // text joins is GB18030 from there on.
  auto gb = [](Encoding e) { return e == Encoding::kGbk || e == Encoding::kGb18030; };
  const bool gb_family = gb(source.encoding) && gb(merged->encoding);
  if (merged->decided && gb_family && source.encoding == Encoding::kGb18030) {
    merged->encoding = Encoding::kGb18030;
  }
  if (merged->decided && merged->encoding == Encoding::kGb18030 &&
      source.encoding == Encoding::kGbk && HasGbkEuro(body)) {
    *bytes = GbkEuroAsGb18030(body);
    return true;
  }
  if (!merged->decided || gb_family || source.encoding == merged->encoding) {
    *bytes = std::move(body);
    return true;
  }
  std::string converted;
  if (!ConvertText(body, source.encoding, merged->encoding, &converted)) {
    const int64_t offset = static_cast<int64_t>(source.text.size() - body.size()) -
                           static_cast<int64_t>(carried);
    *problem = ConversionProblem(body, offset, source.encoding, merged->encoding);
    return false;
  }
  *bytes = std::move(converted);
  return true;
}

// A recognised GBK text that is ASCII but for its last one to three bytes, when those begin a
// UTF-8 character: a byte-wise cut of a UTF-8 text can leave such a piece (no whole UTF-8
// character in it to tell it from GBK). Returns those bytes, GBK's lone lead byte included;
// empty for any other text.
std::string Utf8TailAfterAscii(const SourceText& source, EncodingChoice choice) {
  if (choice != EncodingChoice::kAuto || source.encoding != Encoding::kGbk ||
      (source.cut_short && !source.ends_in_lead_byte)) {
    return {};
  }
  // The last bytes first (they rule out almost every text), then the ASCII before them.
  const std::string_view text = source.text;
  size_t start = text.size();
  while (start > 0 && text.size() - start < 3 &&
         static_cast<unsigned char>(text[start - 1]) >= 0x80) {
    --start;
  }
  std::string tail(text.substr(start));
  if (source.ends_in_lead_byte) tail += source.trailing_lead;
  if (tail.empty() || tail.size() > 3) return {};
  const TextCheckResult check = CheckText(tail, Encoding::kUtf8);
  if (check.check != TextCheck::kCutShort || check.offset != 0) return {};
  return HasNonAscii(text.substr(0, start)) ? std::string() : tail;
}

// True when the next file the merge reads after row `from` - 1 (rows that read nothing, as
// empty or missing files, pass the bytes on) takes `tail` as the start of a UTF-8 character it
// completes.
bool NextContinuesUtf8(const MergeForm& form, size_t from, const std::string& tail) {
  for (size_t i = from; i < form.rows.size(); ++i) {
    const FileEntry& next = form.rows[i];
    const SourceText source = LoadSourceText(next.path, tail, next.encoding, Encoding::kUtf8);
    if (!source.ok || source.file_size == 0) continue;
    return source.carried_taken;
  }
  return false;
}

// Reads `source`, whose last bytes are `tail` (see Utf8TailAfterAscii), as the UTF-8 text it is:
// ASCII, then the start of a character the next file completes.
void ReadAsCutUtf8(const std::string& tail, SourceText* source) {
  const size_t length = source->text.size() + (source->ends_in_lead_byte ? 1 : 0) - tail.size();
  source->encoding = Encoding::kUtf8;
  source->text.resize(length);
  source->unfinished = tail;
  source->ends_in_lead_byte = false;
  source->cut_short = true;
  source->error = "文件末尾有不完整的字符，未被读取";
}

// What each source was just before it was read (the first row of a file listed again keeps its
// stamp): a source is deleted only when it is still so.
using SourceStamps = std::unordered_map<std::string, FileStamp>;

// What CopySources found besides the rows it lists.
struct CopyOutcome {
  int read = 0;               // sources read
  bool out_of_range = false;  // the merged text would leave the program's range
  bool blocked = false;       // a source cannot be merged (refused, or cannot be converted)
};

// Reads every row in order, each in its own encoding, and appends its text to the merged file, in
// the merged text's encoding, one source in memory at a time (with no merged file, the rows are
// still read so that their problems are reported). Rows read completely are listed in `complete`;
// the others are reported. A source that cannot be merged (a refused text, or one that cannot be
// converted) is reported and stops the writing: the rows after it are still read, for their
// reports. A file that ends inside a character (a byte-wise split cut it) hands those bytes to
// the next file read, so the character is whole in the merged text when that file completes it;
// bytes that nothing completes are reported. False when the merged text would leave the
// program's range or a write failed.
bool CopySources(const MergeForm& form, JobHost& host, ReplacementFile* merged,
                 std::vector<const std::string*>* complete, SourceStamps* stamps,
                 FailureList* failures, CopyOutcome* outcome) {
  const int64_t total_rows = static_cast<int64_t>(form.rows.size());
  int64_t done = 0;
  std::string carried;                    // the start of a character waiting for its rest
  Encoding carried_encoding = Encoding::kGbk;
  const std::string* carried_from = nullptr;
  SourceText carried_source;  // the file it came from, for its report
  MergedEncoding encoding;
  int64_t merged_size = 0;
  for (const FileEntry& row : form.rows) {
    if (host.StopRequested()) return false;
    host.FileStarted(static_cast<int>(done), static_cast<int>(total_rows), row.path);
    const bool last = ++done == total_rows;
    // Taken before the file is opened: whatever is written to it from now on shows.
    if (form.delete_sources) stamps->emplace(row.path, StampOf(row.path));
    SourceText source = LoadSourceText(row.path, carried, row.encoding, carried_encoding);
    if (!source.ok) {
      failures->Add(row.path, source.refused ? source.error + "，未合并" : source.error);
      outcome->blocked = outcome->blocked || source.refused;
      continue;
    }
    ++outcome->read;
    // 0x1A bytes at the end of a source that another follows stand inside the merged text: they
    // are text like a 0x1A anywhere inside (a split may end a piece just after one). Zero bytes
    // are never text, and the end of the last source is the end of the book.
    const bool padding_kept =
        !last && !source.padding.empty() && source.padding.find('\0') == std::string::npos;
    for (size_t i = 0; i < source.notes.size(); ++i) {
      if (padding_kept && i + 1 == source.notes.size()) {
        host.FileWarning(row.path, JoinText("末尾的 ", std::to_string(source.padding.size()),
                                            " 个 0x1A 控制字符在合并后的文件中间，已原样保留"));
      } else {
        host.FileWarning(row.path, source.notes[i]);
      }
    }
    const size_t carried_in = source.carried_taken ? carried.size() : 0;
    if (carried_in == 0 && !last) {
      const std::string tail = Utf8TailAfterAscii(source, row.encoding);
      if (!tail.empty() && NextContinuesUtf8(form, static_cast<size_t>(done), tail)) {
        ReadAsCutUtf8(tail, &source);
      }
    }
    // A short piece whose bytes read as text in more than one encoding, with little to choose
    // between the readings, is in the encoding the merged text has settled on when it is valid
    // in it: a head piece 目录 of a GBK book is not the UTF-8 Ŀ¼, nor the other way round. GBK
    // and Big5 pieces whose two readings are close are so too, whichever reads a little better:
    // a few characters of a Big5 book may well read as GBK.
    if (encoding.decided && source.encoding != encoding.encoding && source.mark_length == 0 &&
        carried_in == 0) {
      const bool gbk_and_big5 =
          (source.encoding == Encoding::kGbk || source.encoding == Encoding::kBig5) &&
          (encoding.encoding == Encoding::kGbk || encoding.encoding == Encoding::kBig5);
      const bool in_doubt =
          gbk_and_big5 ? WeighGbkAgainstBig5(source.text).weak
                       : source.weak_evidence && ScoreReading(source.text, encoding.encoding).sum >=
                                                     ScoreReading(source.text, source.encoding).sum;
      if (in_doubt && CheckText(source.text, encoding.encoding).check == TextCheck::kValid &&
          (encoding.encoding != Encoding::kGbk ||
           FirstInvalidGbkChar(source.text) == source.text.size())) {
        source.encoding = encoding.encoding;
      }
    }
    SourceBytes bytes;
    std::string problem;
    if (!MergedBytes(source, carried_in, merged_size == 0, &encoding, &bytes, &problem)) {
      failures->Add(row.path, problem);
      outcome->blocked = true;
    }
    if (outcome->blocked) merged = nullptr;  // nothing more is written; the rows are still read
    merged_size += static_cast<int64_t>(bytes.size());
    if (merged != nullptr) {
      if (merged_size > kMaxFileSize) {
        outcome->out_of_range = true;
        return false;
      }
      // Written while the next source is read. A mapped source is written at once, so that the
      // check below covers its bytes.
      if (!merged->AppendLater(std::move(bytes))) return false;
      if (padding_kept) {
        merged_size += static_cast<int64_t>(source.padding.size());
        if (merged_size > kMaxFileSize) {
          outcome->out_of_range = true;
          return false;
        }
        if (!merged->AppendLater(SourceBytes(std::string(source.padding)))) return false;
      }
    }
    // Another program shortened the file while it was read: 0x00 bytes stand where its text was.
    if (source.text.Changed()) {
      failures->Add(row.path, "读取时文件被其他程序改短，未合并");
      outcome->blocked = true;
      continue;
    }
    if (!carried.empty() && source.file_size == 0) {
      // An empty file between the parts: the bytes pass on to the file after it.
      complete->push_back(&row.path);
      continue;
    }
    if (carried_from != nullptr) {
      if (carried_in == 0 || source.text.size() < carried_in) {
        // Not continued, or a 0x00 right after the bytes: they could not be kept.
        failures->Add(*carried_from, CutShortReason(carried_source, 0, form.delete_sources));
      } else {
        complete->push_back(carried_from);
      }
    }
    carried.clear();
    carried_from = nullptr;
    // The bytes of a character the file's very end cuts off: GBK's lone lead byte, or the
    // unfinished character of a UTF-8 or GB18030 text.
    const bool ends_in_character =
        source.ends_in_lead_byte ||
        (!source.unfinished.empty() &&
         source.text.size() + source.unfinished.size() ==
             carried_in + static_cast<size_t>(source.file_size));
    if (ends_in_character && !last) {
      carried = source.ends_in_lead_byte ? std::string(1, source.trailing_lead)
                                         : source.unfinished;
      carried_encoding = source.encoding;
      carried_from = &row.path;
      carried_source = std::move(source);
      carried_source.text.resize(carried_source.text.size() -
                                 std::min(carried_source.text.size(), carried_in));
    } else if (source.cut_short) {
      failures->Add(row.path, CutShortReason(source, carried_in, form.delete_sources));
    } else if (!source.padding.empty() && !padding_kept && form.delete_sources) {
      // The padding is in no file once the source goes: it stays.
      host.FileWarning(row.path, "末尾的填充字节不在合并后的文件中，原文件未删除");
    } else {
      complete->push_back(&row.path);
    }
  }
  if (carried_from != nullptr) {
    failures->Add(*carried_from, CutShortReason(carried_source, 0, form.delete_sources));
  }
  return true;
}

// Creates the program's merged-files folder when it is missing. False when it cannot be made.
bool EnsureFolder(const std::string& folder) {
  return FolderExists(folder) || MakeDirectory(folder) || FolderExists(folder);
}

// Deletes the sources that were read completely, except the merged file itself and a file that
// changed after it was read (another program wrote to it: what it added is in no file), stopping
// between deletions when asked. A source already gone (the same file listed twice) is not a
// failure. Returns the paths deleted.
std::vector<std::string> DeleteSources(const std::vector<const std::string*>& complete,
                                       const SourceStamps& stamps, const std::string& merged_path,
                                       const std::function<bool(const std::string&)>& remove,
                                       JobHost& host, FailureList* failures, bool* stopped) {
  std::vector<std::string> deleted;
  std::unordered_set<std::string> handled;
  for (const std::string* source : complete) {
    const std::string& path = *source;
    if (!handled.insert(path).second) continue;
    if (*stopped || host.StopRequested()) {
      *stopped = true;
      failures->Add(path, "已停止，原文件未删除");
      continue;
    }
    const auto stamp = stamps.find(path);
    if (SameFile(path, merged_path)) {
      failures->Add(path, "是合并后的文件本身，未删除");
    } else if (stamp != stamps.end() && !stamp->second.regular && FileSizeOf(path) >= 0) {
      failures->Add(path, "不是普通文件（是管道或设备），未删除");
    } else if (stamp == stamps.end() || !UnchangedSince(stamp->second, path)) {
      if (FileSizeOf(path) >= 0) {
        failures->Add(path, "读取后文件被其他程序修改，合并后的文件不含修改的部分，原文件未删除");
      }
    } else if (remove ? remove(path) : RemoveFile(path)) {
      deleted.push_back(path);
    } else if (FileSizeOf(path) >= 0) {
      failures->Add(path, "无法删除原文件");
    }
  }
  return deleted;
}

// The rows to merge: each file once, at its first row, unless repeats are allowed; a note names
// every file listed again. Rows that name nothing stay (they are reported as they are read).
std::vector<FileEntry> RowsToMerge(const MergeForm& form, JobHost& host) {
  if (form.repeats_allowed) return form.rows;
  std::vector<FileEntry> rows;
  std::unordered_set<std::string> seen;
  for (const FileEntry& row : form.rows) {
    const std::string identity = FileIdentity(row.path);
    if (!identity.empty() && !seen.insert(identity).second) {
      host.ShowNote(JoinText("注意: ", row.path, " 与前面列出的文件是同一个文件，只合并一次"));
      continue;
    }
    rows.push_back(row);
  }
  return rows;
}

// The source the merged file would replace, when it is one of them; empty when none is.
std::string SourceAtMergedPath(const std::vector<FileEntry>& rows, const std::string& merged) {
  const std::string target = FileIdentity(merged);
  if (target.empty()) return {};
  for (const FileEntry& row : rows) {
    if (FileIdentity(row.path) == target) return row.path;
  }
  return {};
}

}  // namespace

void MergeJob(const MergeForm& listed, JobHost& host, MergeResult* result_out) {
  MergeResult local;
  MergeResult& result = result_out != nullptr ? *result_out : local;
  result = MergeResult();
  result.save_in_program_folder = listed.save_in_program_folder;
  MergeForm form = listed;

  if (listed.rows.empty()) {
    host.ShowMessage(kNoTask);
    return;
  }
  if (listed.merged_name.empty()) {
    host.ShowMessage(kNoName);
    return;
  }
  // The merged text would go to the device (NUL: nowhere) instead of a file.
  if (IsDeviceName(form.merged_name)) {
    host.ShowMessage(DeviceNameProblem(form.merged_name));
    return;
  }
#ifdef _WIN32
  // A source of that name is the device: it would add nothing, or wait on a port.
  for (const FileEntry& row : form.rows) {
    if (const std::string file = FileNamePart(row.path); IsDeviceName(file)) {
      host.ShowMessage(DeviceNameProblem(file));
      return;
    }
  }
#endif
  if (!form.save_in_program_folder && form.chosen_folder.empty()) {
    host.ShowMessage(kNoFolderNotice);
    result.save_in_program_folder = true;
  }
  if (result.save_in_program_folder && form.program_folder.empty()) {
    // An empty folder would put the merged file at the root of the drive.
    host.ShowMessage(kNoProgramFolder);
    return;
  }
  const bool in_program_folder = result.save_in_program_folder;
  const std::string folder = in_program_folder
                                 ? JoinText(form.program_folder, kPathSeparator, kMergedFolderName)
                                 : form.chosen_folder;
  const std::string merged_path = JoinText(folder, kPathSeparator, form.merged_name, ".txt");
  // Replacing a source with the book would lose that source's text for good (and with it the
  // book's start when it is read again): refused before anything is written.
  const std::string overwritten = SourceAtMergedPath(form.rows, merged_path);
  if (!overwritten.empty()) {
    host.ShowMessage(JoinText("合并后的文件 ", merged_path, " 就是要合并的文件 ", overwritten,
                              "，合并会覆盖它：请换一个文件名或保存目录，未合并"));
    return;
  }
  if (const std::string problem = PrepareSaveFolder(folder); !problem.empty()) {
    host.ShowMessage(problem);
    return;
  }
  form.rows = RowsToMerge(listed, host);
  result.checks_passed = true;
  host.SetStatusPane(0, kMerging);
  result.merged_path = merged_path;

  FailureList failures;
  std::vector<const std::string*> complete;  // rows read to their end: may be deleted
  SourceStamps stamps;

  // The merged text goes to a temporary file beside the merged file, renamed into place only
  // when complete; the sources stay untouched unless that happened.
  const char* kept = form.delete_sources ? kSourcesKept : "";
  const char* cannot_write = "无法写入合并后的文件";
  if (in_program_folder && !EnsureFolder(folder)) {
    failures.Add(folder, JoinText("无法创建文件夹，合并后的文件未写入", kept));
  } else {
    ReplacementFile merged(result.merged_path);
    CopyOutcome outcome;
    if (!merged.ok()) {
      CopySources(form, host, nullptr, &complete, &stamps, &failures, &outcome);
      failures.Add(result.merged_path,
                   JoinText(FolderExists(folder) ? cannot_write
                                                 : "保存目录不存在，合并后的文件未写入",
                            kept));
    } else if (!CopySources(form, host, &merged, &complete, &stamps, &failures, &outcome)) {
      // Stopped: the temporary file goes, nothing is replaced and no source is deleted.
      if (!host.StopRequested()) {
        failures.Add(result.merged_path,
                     JoinText(outcome.out_of_range ? "合并后的文件将超过 2 GB，未写入"
                                                   : cannot_write,
                              kept));
      }
    } else if (host.StopRequested()) {
      // Stopped before the merged file replaced anything: nothing written, nothing deleted.
    } else if (outcome.blocked) {
      // The temporary file goes: an existing file of that name stays as it was.
      failures.Add(result.merged_path,
                   JoinText("有文件无法合并（见上），合并后的文件未写入", kept));
    } else if (outcome.read == 0) {
      // Nothing to merge: an existing file of that name stays as it was.
      failures.Add(result.merged_path, "没有读取到任何文件，合并后的文件未写入");
    } else if (!merged.Commit()) {
      failures.Add(result.merged_path, JoinText(cannot_write, kept));
    } else {
      result.written = true;
      host.OutputWritten(result.merged_path);
      if (form.delete_sources) {
        const std::vector<std::string> deleted =
            DeleteSources(complete, stamps, result.merged_path, form.remove_source, host,
                          &failures, &result.stopped_while_deleting);
        result.sources_deleted = static_cast<int>(deleted.size());
        if (result.stopped_while_deleting) {
          // Which sources are gone, exactly: the failures list the ones kept.
          std::vector<FileResult> gone;
          for (const std::string& path : deleted) gone.push_back({path, "已删除原文件"});
          host.ReportResults(gone);
        }
      }
    }
  }

  result.failures = static_cast<int>(failures.items().size());
  host.SetStatusPane(0, failures.FinishedStatus(kFinished));
  host.SetStatusPane(
      1, JoinText(kSaveFolder, in_program_folder ? form.program_folder : form.chosen_folder));
  if (failures.ReportTo(host)) host.ShowCompletionNotice();
}

std::string DefaultMergedName(std::string_view first_row_name) {
  std::string name;
  const char* const end = first_row_name.data() + first_row_name.size();
  for (const char* p = first_row_name.data(); p < end;) {
    if (static_cast<unsigned char>(*p) < 0x80) {
      ++p;
      continue;
    }
    // A character cut off at the end, or a byte that begins none, has nothing to propose.
    const size_t n = Utf8SequenceLength(p, end);
    if (n == 0) {
      ++p;
      continue;
    }
    name.append(p, n);
    p += n;
  }
  return name;
}

}  // namespace travik
