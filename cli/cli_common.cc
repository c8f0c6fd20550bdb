#include "cli/cli_common.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>

#include "files/file_entry.h"
#include "files/files.h"
#include "text/codepage.h"
#include "text/encoding.h"
#include "text/text.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace travik::cli {

namespace {

// Writes UTF-8 text as it is, without a line break: to a Windows console as UTF-16 (the console's
// code page plays no part), to anything else (a terminal, a file, a pipe) as the bytes.
void Write(FILE* stream, std::string_view utf8) {
#ifdef _WIN32
  HANDLE h = GetStdHandle(stream == stdout ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (h != INVALID_HANDLE_VALUE && h != nullptr && GetConsoleMode(h, &mode)) {
    fflush(stream);
    const std::wstring wide = Utf8ToWide(utf8);
    // In parts: older consoles refuse a single write much over 64 KB. A part never ends between
    // the two halves of a surrogate pair.
    constexpr size_t kPart = 8192;
    for (size_t at = 0; at < wide.size();) {
      size_t n = std::min(kPart, wide.size() - at);
      if (at + n < wide.size() && wide[at + n - 1] >= 0xD800 && wide[at + n - 1] <= 0xDBFF) --n;
      DWORD written = 0;
      if (!WriteConsoleW(h, wide.data() + at, static_cast<DWORD>(n), &written, nullptr) ||
          written == 0) {
        break;
      }
      at += written;
    }
    return;
  }
#endif
  fwrite(utf8.data(), 1, utf8.size(), stream);
  fflush(stream);
}

void Print(FILE* stream, std::string_view utf8) {
  std::string line(utf8);
  line += '\n';
  Write(stream, line);
}

bool IsTerminal(FILE* stream) {
#ifdef _WIN32
  return _isatty(_fileno(stream)) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

#ifdef _WIN32
// Names of the files in `folder` (ending in a separator) that match the wildcard `pattern`: every
// one, whatever characters it holds.
std::vector<std::string> MatchingFileNames(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(Utf8ToWide(folder + pattern).c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      names.push_back(WideToUtf8(data.cFileName));
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

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

// Set by Ctrl+C, SIGTERM or SIGHUP (Windows: any console control event) to the signal's number;
// the job asks for it between units of work and stops at a safe point, removing its temporary
// files, so that stopping it by any of them leaves the same.
volatile std::sig_atomic_t stop_requested = 0;
// Set once the job's host is gone (the job is over, its temporary files removed).
volatile std::sig_atomic_t job_finished = 0;

#ifdef _WIN32
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (stop_requested == 0) stop_requested = SIGINT;
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
  // Closing the console window, logging off, shutting down: the system ends the process once
  // this returns (or some seconds after the event), so wait here for the job to stop cleanly.
  for (int waited = 0; job_finished == 0 && waited < 4500; waited += 50) Sleep(50);
  return TRUE;
}
#else
extern "C" void OnStopSignal(int signal_number) {
  if (stop_requested == 0) stop_requested = signal_number;
  StopStreamReads();  // a pipe that never waits is not interrupted by the signal itself
}
#endif

}  // namespace

void PrintOut(std::string_view utf8) { Print(stdout, utf8); }
void PrintError(std::string_view utf8) { Print(stderr, utf8); }

std::string CurrentDirectory() {
#ifdef _WIN32
  DWORD n = GetCurrentDirectoryW(0, nullptr);
  if (n == 0) return {};
  std::wstring wide(n, L'\0');
  n = GetCurrentDirectoryW(n, wide.data());
  if (n == 0 || n >= wide.size()) return {};
  wide.resize(n);
  std::string folder = WideToUtf8(wide);
#else
  // The bytes as the system gives them, whatever they are: they name the folder.
  std::string folder(4096, '\0');
  while (getcwd(folder.data(), folder.size()) == nullptr) {
    if (errno != ERANGE || folder.size() > (1u << 20)) return {};
    folder.resize(folder.size() * 2);
  }
  folder.resize(folder.find('\0'));
#endif
  while (folder.size() > 1 && folder.back() == kPathSeparator[0] &&
         folder[folder.size() - 2] != ':') {
    folder.pop_back();
  }
  return folder;
}

namespace {

// The path made absolute against the folder `cwd` (left as it is when `cwd` is empty).
std::string AbsolutePathIn(const std::string& cwd, std::string_view path) {
  if (path.empty() || IsAbsolute(path)) return std::string(path);
  if (cwd.empty()) return std::string(path);
  if (cwd.back() == kPathSeparator[0]) return cwd + std::string(path);
  return JoinText(cwd, kPathSeparator, path);
}

}  // namespace

std::string AbsolutePath(std::string_view path) {
  if (path.empty() || IsAbsolute(path)) return std::string(path);
  return AbsolutePathIn(CurrentDirectory(), path);
}

std::string FolderArgument(std::string_view typed) {
  std::string folder = typed == "." ? CurrentDirectory() : AbsolutePath(typed);
  // No byte of a multi-byte UTF-8 character is "/" or "\\": a separator at the end is one.
  while (folder.size() > 1 && IsSeparator(folder.back())) {
#ifdef _WIN32
    if (folder[folder.size() - 2] == ':') break;  // "C:\\" is the drive's root folder
#endif
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
  return JoinText(name, " 需要一个正整数（1 到 2147483647，只含数字）: ",
                  ToUtf8Lossy(value, Encoding::kUtf8));
}

std::string TypedTextProblem(const Options& options, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (!options.Has(name)) continue;
    const std::string value = options.Value(name);
    if (IsValidUtf8(value)) continue;
    return JoinText(options.GivenName(name), " 的文字不是有效的 UTF-8: ",
                    ToUtf8Lossy(value, Encoding::kUtf8));
  }
  return {};
}

bool CurrentFolderForOutput(std::string_view command, std::string* folder) {
  *folder = CurrentDirectory();
  if (!folder->empty()) return true;
  UsageError(command, "无法取得当前目录，请用 -o 指定保存目录");
  return false;
}

std::vector<std::string> FileOperands(const std::vector<std::string>& operands) {
  std::vector<std::string> paths;
  const std::string cwd = CurrentDirectory();  // asked once: a merge may name thousands of files
  for (const std::string& operand : operands) {
    const std::string path = AbsolutePathIn(cwd, operand);
#ifdef _WIN32
    // No byte of a multi-byte UTF-8 character is ASCII: a "*" or "?" is a wildcard.
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

void InstallStopHandlers() {
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
  // Without SA_RESTART: a wait on a pipe with no writer (opening a FIFO, reading a terminal)
  // is interrupted, so that the stop reaches the job.
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal_number, &action, nullptr);
  // A reader that went away (travik ... | head) must not end the program at its next message,
  // between the pieces of a text and their merge script: the job runs to its end, its messages
  // are lost and its exit code still says how it went.
  signal(SIGPIPE, SIG_IGN);
#endif
}

ConsoleHost::ConsoleHost() : progress_to_terminal_(IsTerminal(stderr)) { InstallStopHandlers(); }

ConsoleHost::~ConsoleHost() { job_finished = 1; }

bool ConsoleHost::StopRequested() const { return stop_requested != 0; }

void ConsoleHost::OutputWritten(const std::string& path) {
  ++written_;
  last_written_ = path;
  if (outputs_.empty()) return;
  ++outputs_.back().written;
  const size_t cut = path.find_last_of(kPathSeparator[0]);
  outputs_.back().folder = cut == std::string::npos ? std::string(".") : path.substr(0, cut);
}

void ConsoleHost::CheckWarning(const std::string& path, const std::string& text) {
  ClearProgressLine();
  PrintError("警告: " + path + ": " + text);
}

void ConsoleHost::FileStarted(int index, int count, const std::string& path) {
  outputs_.push_back({path, 0, {}});
  file_index_ = index;
  file_count_ = count > 0 ? count : 1;
  Progress(0, 1);
}

void ConsoleHost::ClearProgressLine() {
  if (progress_line_open_) {
    Write(stderr, "\r                                                  \r");
    progress_line_open_ = false;
    last_percent_ = -1;
  }
}

void ConsoleHost::ShowMessage(const std::string& text) {
  ClearProgressLine();
  message_shown_ = true;
  PrintError("提示: " + text);
}

void ConsoleHost::ShowNote(const std::string& text) {
  ClearProgressLine();
  PrintError(text);
}

void ConsoleHost::SetStatusPane(int index, const std::string& text) {
  if (index < 0 || index > 1) return;
  panes_[index] = text;
  if (index == 0 && progress_to_terminal_) {
    ClearProgressLine();
    Write(stderr, "\r" + text);
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
  char share[8];
  snprintf(share, sizeof share, " %3d%%", percent);
  Write(stderr, "\r" + panes_[0] + share);
  progress_line_open_ = true;
}

int ConsoleHost::ExitCode() const {
  if (stop_requested != 0) {
    // Only complete files are left; the report says how many and which was the last.
    PrintError(written_ == 0 ? std::string("已停止：没有写入文件")
                             : JoinText("已停止：已完整写入 ", NumberToText(written_),
                                        " 个文件，最后一个是 ", last_written_));
    // 128 + the signal's number, as a shell reports a program the signal ended.
    return stop_requested == SIGINT ? kExitStopped : 128 + static_cast<int>(stop_requested);
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
    given_.push_back({rule, name, value});
  }
  return true;
}

bool Options::Has(std::string_view name) const {
  const Rule* rule = Find(name);
  for (const Given& g : given_) {
    if (g.rule == rule) return true;
  }
  return false;
}

std::string Options::Value(std::string_view name) const {
  const Rule* rule = Find(name);
  std::string value;
  for (const Given& g : given_) {
    if (g.rule == rule) value = g.value;
  }
  return value;
}

std::string Options::GivenName(std::string_view name) const {
  const Rule* rule = Find(name);
  std::string spelling(name);
  for (const Given& g : given_) {
    if (g.rule == rule) spelling = g.spelling;
  }
  return spelling;
}

}  // namespace travik::cli
