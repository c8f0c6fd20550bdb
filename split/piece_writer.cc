#include "split/piece_writer.h"

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

bool DiskOutput::WriteFile(const std::string& path, std::string_view bytes) {
  return WriteWholeFile(path, bytes);
}

bool DiskOutput::WriteFileParts(const std::string& path, std::string_view first,
                                std::string_view second) {
  return WriteWholeFile(path, first, second);
}

std::string MergeScriptText(std::string_view merged_name, const std::vector<std::string>& names) {
  // Every path is relative to the script's own folder (pushd "%~dp0"), so the script works
  // wherever the folder is moved or copied, and from any current folder.
  const std::string target =
      JoinText("\"", kMergedFolderInScript, "\\", BatchEscape(merged_name), ".txt\"");
  std::string body = JoinText("pushd \"%~dp0\"\r\nmd \"", kMergedFolderInScript, "\" 2>nul\r\n");
  if (names.empty()) body += JoinText("type nul >", target, "\r\n");
  // copy /y /b "1.txt"+"2.txt" "<target>" >nul, then copy /y /b "<target>"+"3.txt" ... appends.
  const std::string line_end = JoinText(" ", target, " >nul");
  std::string line;
  bool first_line = true;
  for (const std::string& name : names) {
    const std::string item = JoinText("\"", BatchEscape(name), "\"");
    if (!line.empty() && line.size() + 1 + item.size() + line_end.size() > kMaxScriptLineBytes) {
      body += JoinText(line, line_end, "\r\n");
      line.clear();
      first_line = false;
    }
    if (line.empty()) {
      line =
          first_line ? JoinText("copy /y /b ", item) : JoinText("copy /y /b ", target, "+", item);
    } else {
      line += JoinText("+", item);
    }
  }
  if (!line.empty()) body += JoinText(line, line_end, "\r\n");
  body += "popd\r\nmshta vbscript:msgbox(\"合并文件完成!\",64,\"提示\")(window.close)";
  // cmd reads a batch file line by line in the console's code page: on a Chinese system GBK.
  // Lines are measured in UTF-8 above; in GBK none is longer.
  std::string gbk;
  if (Utf8ToGbk(JoinText("@echo off\r\n", body), &gbk)) return gbk;
  // A name GBK cannot hold: the script is UTF-8, and cmd is told so before it reads a line that
  // is not ASCII. Each line is decoded as it is read, after the line before has run, so the
  // lines up to "chcp 65001" are read in the old code page, which is why they are ASCII. The
  // console's own code page is noted first ("Active code page: 936", "Aktive Codepage: 850.")
  // and set again by the last line; setlocal keeps the note out of the console's variables.
  return JoinText("@echo off\r\nsetlocal\r\n"
                  "for /f \"tokens=2 delims=:.\" %%c in ('chcp') do set \"travik_cp=%%c\"\r\n"
                  "chcp 65001 >nul\r\n",
                  body, "\r\nchcp %travik_cp% >nul 2>nul\r\n");
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

bool PieceWriter::WriteMergeScript() {
  return output_.WriteFile(JoinText(folder_, kPathSeparator, kMergeScriptName),
                           MergeScriptText(merged_name_, names_));
}

}  // namespace travik
