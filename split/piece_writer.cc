#include "split/piece_writer.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "files/file_entry.h"
#include "files/files.h"
#include "text/codepage.h"
#include "text/text.h"

namespace travik {

namespace {

// The text with every "%" doubled, so that cmd takes it literally in a batch file. The text is
// UTF-8: no byte of a multi-byte character is a "%".
std::string BatchEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '%') out.push_back('%');
    out.push_back(c);
  }
  return out;
}

}  // namespace

// A file that could not be written whole (a full disk) would pass for a piece under its real
// name, and a later merge of the folder would make a book with a hole: it goes. Remove takes no
// folder, read-only file or open file, so nothing that stood in the piece's way is lost.
bool DiskOutput::WriteFile(const std::string& path, std::string_view bytes) {
  if (WriteWholeFile(path, bytes)) return true;
  RemoveFile(path);
  return false;
}

bool DiskOutput::WriteFileParts(const std::string& path, std::string_view first,
                                std::string_view second) {
  if (WriteWholeFile(path, first, second)) return true;
  RemoveFile(path);
  return false;
}

namespace {

// A name as the script spells it: in GBK, as cmd reads a batch file on a Chinese system (and as
// Wine's cmd reads every batch file, whatever chcp says), each character GBK lacks written as "?",
// one for each of its UTF-16 units (two for 😀 or 𠀀), which a file name pattern matches; true in
// *wild when there is such a "?". A byte that begins no UTF-8 character counts as one unit.
struct ScriptName {
  std::string gbk;
  bool wild = false;
};

ScriptName SpellForScript(std::string_view utf8) {
  ScriptName out;
  const char* const end = utf8.data() + utf8.size();
  std::string one;
  for (const char* p = utf8.data(); p < end;) {
    const size_t n = static_cast<unsigned char>(*p) < 0x80 ? 1 : Utf8SequenceLength(p, end);
    if (n == 0) {
      out.gbk += '?';
      out.wild = true;
      ++p;
      continue;
    }
    if (Utf8ToGbk(std::string_view(p, n), &one)) {
      out.gbk += one;
    } else {
      out.gbk += n == 4 ? "??" : "?";
      out.wild = true;
    }
    p += n;
  }
  return out;
}

// The UTF-16 units of a name as Windows compares them (FileNameKey), with kAny for each unit a
// "?" of its script spelling stands for when `as_pattern`.
constexpr uint32_t kAny = 0xFFFFFFFF;

std::vector<uint32_t> NameUnits(std::string_view utf8, bool as_pattern) {
  std::vector<uint32_t> units;
  const char* const end = utf8.data() + utf8.size();
  std::string one;
  for (const char* p = utf8.data(); p < end;) {
    size_t n = static_cast<unsigned char>(*p) < 0x80 ? 1 : Utf8SequenceLength(p, end);
    if (n == 0) {  // not UTF-8: a unit of its own, matched only by "?"
      units.push_back(as_pattern ? kAny : 0xDC00u + static_cast<unsigned char>(*p));
      ++p;
      continue;
    }
    const std::string_view c(p, n);
    p += n;
    const size_t count = n == 4 ? 2 : 1;
    if (as_pattern && !Utf8ToGbk(c, &one)) {
      units.insert(units.end(), count, kAny);
      continue;
    }
    const std::string key = FileNameKey(c);
    const char32_t value = DecodeChar(Encoding::kUtf8, key.data(), key.data() + key.size());
    if (value > 0xFFFF) {
      units.push_back(0xD800u + ((value - 0x10000) >> 10));
      units.push_back(0xDC00u + ((value - 0x10000) & 0x3FF));
    } else {
      units.push_back(value);
    }
  }
  return units;
}

// True when a name pattern may match the name. A run of "?" matches as many units as it holds,
// or fewer (Windows lets it match fewer before a dot or at the end: taken everywhere, so that
// the answer errs towards a match).
bool MayMatch(const std::vector<uint32_t>& pattern, const std::vector<uint32_t>& name) {
  // reach[j]: the pattern so far can match name[0, j).
  std::vector<char> reach(name.size() + 1, 0), next(name.size() + 1);
  reach[0] = 1;
  for (size_t i = 0; i < pattern.size();) {
    std::fill(next.begin(), next.end(), 0);
    if (pattern[i] == kAny) {
      size_t run = 0;
      while (i + run < pattern.size() && pattern[i + run] == kAny) ++run;
      for (size_t j = 0; j <= name.size(); ++j) {
        if (!reach[j]) continue;
        for (size_t t = 0; t <= run && j + t <= name.size(); ++t) next[j + t] = 1;
      }
      i += run;
    } else {
      for (size_t j = 0; j < name.size(); ++j) {
        if (reach[j] && name[j] == pattern[i]) next[j + 1] = 1;
      }
      ++i;
    }
    reach.swap(next);
  }
  return reach[name.size()] != 0;
}

constexpr char kTakenFromFolder[] = "%travik_name%";

// The pattern a name is written as in the script, in UTF-8 for a message.
std::string PatternInUtf8(std::string_view name) {
  std::string utf8;
  GbkToUtf8(SpellForScript(name).gbk, &utf8);
  return utf8;
}

}  // namespace

std::string MergeScriptProblem(std::string_view folder_name, std::string_view merged_name,
                               const std::vector<std::string>& names) {
  if (SpellForScript(merged_name).wild && folder_name != merged_name) {
    return JoinText("合并后的文件名“", merged_name,
                    "”中有 GBK 没有的字符，合并文件（批处理）写不出这个名字");
  }
  // A pattern that another piece's name may match would join that piece in its place. Names are
  // compared with the patterns of the same length or one unit longer only where that can match.
  std::vector<std::vector<uint32_t>> units;
  units.reserve(names.size());
  for (const std::string& name : names) units.push_back(NameUnits(name, false));
  for (size_t i = 0; i < names.size(); ++i) {
    if (!SpellForScript(names[i]).wild) continue;
    const std::vector<uint32_t> pattern = NameUnits(names[i], true);
    const size_t wild = static_cast<size_t>(std::count(pattern.begin(), pattern.end(), kAny));
    for (size_t j = 0; j < names.size(); ++j) {
      if (j == i || units[j].size() > pattern.size() || units[j].size() + wild < pattern.size()) {
        continue;
      }
      if (MayMatch(pattern, units[j])) {
        return JoinText("分割文件名“", names[i], "”中有 GBK 没有的字符，合并文件（批处理）只能写作“",
                        PatternInUtf8(names[i]), "”，而“", names[j],
                        "”也与之相配");
      }
    }
  }
  return {};
}

std::string MergeScriptText(std::string_view merged_name, const std::vector<std::string>& names) {
  // cmd reads a batch file line by line in the console's code page: on a Chinese system GBK, and
  // under Wine always its ANSI code page (chcp 65001 changes nothing there), so the script is GBK.
  // A merged name GBK lacks is the name of the script's folder (MergeScriptProblem sees to it),
  // which cmd gives in full from %~dp0.
  const ScriptName merged = SpellForScript(merged_name);
  std::string gbk_folder;
  Utf8ToGbk(kMergedFolderInScript, &gbk_folder);
  const std::string target =
      JoinText("\"", gbk_folder, "\\", merged.wild ? kTakenFromFolder : BatchEscape(merged.gbk),
               ".txt\"");
  std::string checks;
  std::string stop_echo, stop_echo_end;
  Utf8ToGbk("echo 没有合并：与 ", &stop_echo);
  Utf8ToGbk(" 相配的文件有 %travik_n% 个，应当恰好 1 个（? 代表 GBK 没有的字符）", &stop_echo_end);
  // The lines are measured before cmd puts the folder's name (up to 255 UTF-16 units) in them.
  const size_t max_line = merged.wild ? kMaxScriptLineBytes - 3 * 256 : kMaxScriptLineBytes;
  // copy /y /b "1.txt"+"2.txt" "<target>" >nul, then copy /y /b "<target>"+"3.txt" ... appends.
  const std::string line_end = JoinText(" ", target, " >nul");
  std::string copies;
  std::string line;
  bool first_line = true;
  for (const std::string& name : names) {
    const ScriptName spelled = SpellForScript(name);
    const std::string quoted = JoinText("\"", BatchEscape(spelled.gbk), "\"");
    if (spelled.wild) {
      // The pattern must find its piece and nothing else, or the book would lack it or hold
      // another file in its place: counted first, and the script stops unless exactly one. The
      // lines dir lists are counted (eol=: as no name holds a ":"): Wine's for finds no files
      // for a quoted pattern, and its cmd reads a "%" again in a variable's value, so the
      // pattern is written out each time.
      checks += JoinText("set travik_n=0\r\nfor /f \"eol=: delims=\" %%f in ('dir /b /a-d ",
                         quoted, " 2^>nul') do set /a travik_n+=1\r\nif not \"%travik_n%\"==\"1\" ",
                         stop_echo, quoted, stop_echo_end, " & goto travik_stop\r\n");
    }
    if (!line.empty() && line.size() + 1 + quoted.size() + line_end.size() > max_line) {
      copies += JoinText(line, line_end, "\r\n");
      line.clear();
      first_line = false;
    }
    if (line.empty()) {
      line = first_line ? JoinText("copy /y /b ", quoted)
                        : JoinText("copy /y /b ", target, "+", quoted);
    } else {
      line += JoinText("+", quoted);
    }
  }
  if (!line.empty()) copies += JoinText(line, line_end, "\r\n");
  if (names.empty()) copies = JoinText("type nul >", target, "\r\n");
  std::string done;
  Utf8ToGbk("popd\r\nmshta vbscript:msgbox(\"合并文件完成!\",64,\"提示\")(window.close)", &done);
  if (!merged.wild && checks.empty()) {
    // Every path is relative to the script's own folder (pushd "%~dp0"), so the script works
    // wherever the folder is moved or copied, and from any current folder.
    return JoinText("@echo off\r\npushd \"%~dp0\"\r\nmd \"", gbk_folder, "\" 2>nul\r\n", copies,
                    done);
  }
  return JoinText(
      "@echo off\r\nsetlocal\r\npushd \"%~dp0\"\r\n",
      merged.wild ? "for %%d in (\"%~dp0.\") do set \"travik_name=%%~nxd\"\r\n" : "", checks,
      "md \"", gbk_folder, "\" 2>nul\r\n", copies, done,
      "\r\ngoto :eof\r\n:travik_stop\r\npopd\r\npause\r\nexit /b 1\r\n");
}

PieceWriter::PieceWriter(std::string folder, PieceNaming naming, std::string custom_text,
                         std::string merged_name, PieceOutput& output)
    : folder_(std::move(folder)),
      naming_(naming),
      custom_text_(std::move(custom_text)),
      merged_name_(std::move(merged_name)),
      output_(output) {}

void PieceWriter::SetProgress(JobHost* host, int64_t total_bytes) {
  progress_host_ = host;
  total_bytes_ = total_bytes;
}

void PieceWriter::WritePiece(std::string_view piece, int64_t number, std::string_view matched,
                             bool head) {
  WriteNamed(piece, {}, number, matched, head);
}

void PieceWriter::WritePieceParts(std::string_view first, std::string_view second,
                                  int64_t number) {
  WriteNamed(first, second, number, {}, false);
}

void PieceWriter::Reset() {
  names_.clear();
  failed_.clear();
  taken_.clear();
  next_copy_number_.clear();
  written_bytes_ = 0;
  holding_reports_ = false;
}

void PieceWriter::ReportHeld() {
  if (holding_reports_ && progress_host_ != nullptr) {
    for (const std::string& name : names_) {
      progress_host_->OutputWritten(JoinText(folder_, kPathSeparator, name));
    }
  }
  holding_reports_ = false;
}

void PieceWriter::WriteNamed(std::string_view first, std::string_view second, int64_t number,
                             std::string_view matched, bool head) {
  // A stop is honoured between pieces: each piece is written whole or not at all.
  if (stopped_ || (progress_host_ != nullptr && progress_host_->StopRequested())) {
    stopped_ = true;
    return;
  }
  // The matched text is in the source's encoding; names are UTF-8.
  std::string matched_in_utf8;
  if (naming_ == PieceNaming::kKeyword && !head) {
    matched_in_utf8 = MatchedTextInUtf8(matched, encoding_);
    matched = matched_in_utf8;
  }
  std::string name = PieceFileName(naming_, number, matched, head, custom_text_);
  if (!taken_.insert(FileNameKey(name)).second) {
    // The next number to try is kept per name, so that many equal names cost linear time.
    const std::string stem = name.substr(0, name.size() - 4);  // without ".txt"
    int& k = next_copy_number_[FileNameKey(stem)];
    if (k < 2) k = 2;
    for (;; ++k) {
      name = JoinText(stem, "(", NumberToText(k), ").txt");
      if (taken_.insert(FileNameKey(name)).second) break;
    }
  }
  const std::string path = JoinText(folder_, kPathSeparator, name);
  if (second.empty() ? output_.WriteFile(path, first)
                     : output_.WriteFileParts(path, first, second)) {
    names_.push_back(std::move(name));
    if (progress_host_ != nullptr && !holding_reports_) progress_host_->OutputWritten(path);
  } else {
    failed_.push_back(std::move(name));
  }
  written_bytes_ += static_cast<int64_t>(first.size() + second.size());
  if (progress_host_ != nullptr) progress_host_->Progress(written_bytes_, total_bytes_);
}

void PieceWriter::ReserveName(std::string_view name) { taken_.insert(FileNameKey(name)); }

std::string PieceWriter::MergeScriptProblem() const {
  return travik::MergeScriptProblem(FileNamePart(folder_), merged_name_, names_);
}

bool PieceWriter::WriteMergeScript() {
  // A script that joins what is there would give a book with a hole under the whole's name.
  if (!failed_.empty() || stopped_ || !MergeScriptProblem().empty()) return false;
  return output_.WriteFile(JoinText(folder_, kPathSeparator, kMergeScriptName),
                           MergeScriptText(merged_name_, names_));
}

}  // namespace travik
