#include "cli/cli_common.h"

#include <algorithm>
#include <csignal>
#include <cstdio>

#include "text/codepage.h"
#include "files/file_entry.h"
#include "files/files.h"
#include "text/text.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace travik::cli {

namespace {

void Print(FILE* stream, std::string_view gbk) {
#ifdef _WIN32
  HANDLE h = GetStdHandle(stream == stdout ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode)) {
    std::wstring wide = GbkToWideLossy(std::string(gbk) + "\n");
    DWORD written = 0;
    WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
#endif
  std::string utf8 = GbkToUtf8Lossy(gbk);
  fwrite(utf8.data(), 1, utf8.size(), stream);
  fputc('\n', stream);
  fflush(stream);
}

bool IsTerminal(FILE* stream) {
#ifdef _WIN32
  return _isatty(_fileno(stream)) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

#ifdef _WIN32
// Names of the files in `folder` (ending in a separator) that match the wildcard `pattern`.
std::vector<std::string> MatchingFileNames(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  std::wstring wide;
  if (!GbkToWide(folder + pattern, &wide)) return names;
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(wide.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    std::string gbk;
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && WideToGbk(data.cFileName, &gbk)) {
      names.push_back(std::move(gbk));
    }
  } while (FindNextFileW(h, &data));
  FindClose(h);
  return names;
}
#endif

bool IsAbsolute(std::string_view path) {
#ifdef _WIN32
  return (path.size() >= 2 && path[1] == ':') || (!path.empty() && (path[0] == '\\' || path[0] == '/'));
#else
  return !path.empty() && path[0] == '/';
#endif
}

// Set by Ctrl+C; the job asks for it between units of work and stops at a safe point.
volatile std::sig_atomic_t stop_requested = 0;

extern "C" void OnInterrupt(int) { stop_requested = 1; }

}  // namespace

void PrintOut(std::string_view gbk) { Print(stdout, gbk); }
void PrintError(std::string_view gbk) { Print(stderr, gbk); }

std::string CurrentDirectory() {
#ifdef _WIN32
  DWORD n = GetCurrentDirectoryW(0, nullptr);
  std::wstring wide(n, L'\0');
  n = GetCurrentDirectoryW(n, wide.data());
  wide.resize(n);
  std::string gbk;
  if (!WideToGbk(wide, &gbk)) return {};
#else
  std::string native(4096, '\0');
  while (getcwd(native.data(), native.size()) == nullptr) {
    if (native.size() > (1u << 20)) return {};
    native.resize(native.size() * 2);
  }
  native.resize(native.find('\0'));
  std::string gbk;
  if (!Utf8ToGbk(native, &gbk)) return {};
#endif
  while (gbk.size() > 1 && gbk.back() == kPathSeparator[0] && gbk[gbk.size() - 2] != ':') {
    gbk.pop_back();
  }
  return gbk;
}

namespace {

// The path made absolute against the folder `cwd` (left as it is when `cwd` is empty).
std::string AbsolutePathIn(const std::string& cwd, std::string_view gbk_path) {
  if (gbk_path.empty() || IsAbsolute(gbk_path)) return std::string(gbk_path);
  if (cwd.empty()) return std::string(gbk_path);
  if (cwd.back() == kPathSeparator[0]) return cwd + std::string(gbk_path);
  return JoinText(cwd, kPathSeparator, gbk_path);
}

}  // namespace

std::string AbsolutePath(std::string_view gbk_path) {
  if (gbk_path.empty() || IsAbsolute(gbk_path)) return std::string(gbk_path);
  return AbsolutePathIn(CurrentDirectory(), gbk_path);
}

std::string FolderArgument(std::string_view typed) {
  std::string folder = typed == "." ? CurrentDirectory() : AbsolutePath(typed);
  while (folder.size() > 1 && folder[folder.size() - 2] != ':') {
    int last = FindTextReverse(folder, kPathSeparator);
#ifdef _WIN32
    last = std::max(last, FindTextReverse(folder, "/"));
#endif
    if (last != TextLength(folder)) break;
    folder.pop_back();
  }
  return folder;
}

bool IsPositiveWholeNumber(std::string_view text) {
  if (text.empty() || text.size() > 10) return false;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value >= 1 && value <= INT32_MAX;
}

std::string PositiveNumberProblem(std::string_view name, std::string_view value) {
  if (IsPositiveWholeNumber(value)) return {};
  return JoinText(name, " 需要一个正整数（1 到 2147483647，只含数字）: ", value);
}

bool CurrentFolderForOutput(std::string_view command, std::string* folder) {
  *folder = CurrentDirectory();
  if (!folder->empty()) return true;
  UsageError(command, "当前目录的名称无法用 GBK 表示，请用 -o 指定保存目录");
  return false;
}

std::vector<std::string> FileOperands(const std::vector<std::string>& operands) {
  std::vector<std::string> paths;
  const std::string cwd = CurrentDirectory();  // asked once: a merge may name thousands of files
  for (const std::string& operand : operands) {
    const std::string path = AbsolutePathIn(cwd, operand);
#ifdef _WIN32
    // "*" and "?" are never the second byte of a GBK character (those are 0x40 and above).
    const std::string name = FileNamePart(path);
    if (name.find_first_of("*?") != std::string::npos) {
      const std::string folder = path.substr(0, path.size() - name.size());
      std::vector<std::string> matches = MatchingFileNames(folder, name);
      std::sort(matches.begin(), matches.end());
      for (const std::string& match : matches) paths.push_back(folder + match);
      if (!matches.empty()) continue;
    }
#endif
    paths.push_back(path);
  }
  return paths;
}

int UsageError(std::string_view command, std::string_view message) {
  PrintError(JoinText("travik ", command, ": ", message));
  PrintError(JoinText("用 travik ", command, " --help 查看用法"));
  return kExitUsage;
}

ConsoleHost::ConsoleHost() : progress_to_terminal_(IsTerminal(stderr)) {
  std::signal(SIGINT, OnInterrupt);
}

bool ConsoleHost::StopRequested() const { return stop_requested != 0; }

void ConsoleHost::OutputWritten(const std::string& path) {
  ++written_;
  last_written_ = path;
}

void ConsoleHost::FileStarted(int index, int count, const std::string& path) {
  (void)path;
  file_index_ = index;
  file_count_ = count > 0 ? count : 1;
  Progress(0, 1);
}

void ConsoleHost::ClearProgressLine() {
  if (progress_line_open_) {
    fputs("\r                                                  \r", stderr);
    progress_line_open_ = false;
    last_percent_ = -1;
  }
}

void ConsoleHost::ShowMessage(const std::string& text) {
  ClearProgressLine();
  message_shown_ = true;
  PrintError("提示: " + text);
}

void ConsoleHost::SetStatusPane(int index, const std::string& text) {
  if (index < 0 || index > 1) return;
  panes_[index] = text;
  if (index == 0 && progress_to_terminal_) {
    ClearProgressLine();
    std::string utf8 = GbkToUtf8Lossy(text);
    fprintf(stderr, "\r%s", utf8.c_str());
    fflush(stderr);
    progress_line_open_ = true;
  }
}

std::string ConsoleHost::StatusPane(int index) const {
  return (index < 0 || index > 1) ? std::string() : panes_[index];
}

void ConsoleHost::ShowCompletionNotice() {
  completed_ = true;
  ClearProgressLine();
}

void ConsoleHost::ReportFailures(const std::vector<FileFailure>& failures) {
  ClearProgressLine();
  failures_ = failures_ || !failures.empty();
  for (const FileFailure& f : failures) PrintError("失败: " + f.path + ": " + f.reason);
}

void ConsoleHost::ReportResults(const std::vector<FileResult>& results) {
  ClearProgressLine();
  for (const FileResult& r : results) PrintOut(r.path + ": " + r.summary);
}

void ConsoleHost::Progress(int64_t done, int64_t total) {
  if (!progress_to_terminal_ || total <= 0) return;
  // The whole job: files done, and the share of the current file.
  int percent = static_cast<int>((file_index_ * total + done) * 100 / (total * file_count_));
  if (percent == last_percent_) return;
  last_percent_ = percent;
  std::string utf8 = GbkToUtf8Lossy(panes_[0]);
  fprintf(stderr, "\r%s %3d%%", utf8.c_str(), percent);
  fflush(stderr);
  progress_line_open_ = true;
}

int ConsoleHost::ExitCode() const {
  if (stop_requested != 0) {
    // Only complete files are left; the report says how many and which was the last.
    PrintError(written_ == 0 ? std::string("已停止：没有写入文件")
                             : JoinText("已停止：已完整写入 ", NumberToText(written_),
                                        " 个文件，最后一个是 ", last_written_));
    return kExitStopped;
  }
  if (message_shown_) return kExitCheckFailed;
  if (failures_) return kExitFilesFailed;
  return kExitOk;
}

const Options::Rule* Options::Find(std::string_view name) const {
  for (const Rule& rule : rules_) {
    for (const std::string& n : rule.names) {
      if (n == name) return &rule;
    }
  }
  return nullptr;
}

bool Options::Parse(const std::vector<std::string>& args, std::string* error) {
  bool only_operands = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (only_operands || arg.size() < 2 || arg[0] != '-') {
      operands_.push_back(arg);
      continue;
    }
    if (arg == "--") {
      only_operands = true;
      continue;
    }
    std::string name = arg;
    std::string value;
    bool inline_value = false;
    size_t eq = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      inline_value = true;
    }
    const Rule* rule = Find(name);
    if (rule == nullptr) {
      *error = "未知选项: " + arg;
      return false;
    }
    if (rule->takes_value && !inline_value) {
      if (i + 1 >= args.size()) {
        *error = "选项缺少参数: " + arg;
        return false;
      }
      value = args[++i];
    } else if (!rule->takes_value && inline_value) {
      *error = "选项不带参数: " + name;
      return false;
    }
    given_.push_back({rule, value});
  }
  return true;
}

bool Options::Has(std::string_view name) const {
  const Rule* rule = Find(name);
  for (const auto& g : given_) {
    if (g.first == rule) return true;
  }
  return false;
}

std::string Options::Value(std::string_view name) const {
  const Rule* rule = Find(name);
  std::string value;
  for (const auto& g : given_) {
    if (g.first == rule) value = g.second;
  }
  return value;
}

}  // namespace travik::cli
