// What the commands of the travik command line share: arguments and messages in UTF-8, a
// console job host, and the exit codes.
#ifndef TRAVIK_CLI_CLI_COMMON_H_
#define TRAVIK_CLI_CLI_COMMON_H_

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "core/job_host.h"

namespace travik::cli {

enum ExitCode {
  kExitOk = 0,           // all went well
  kExitCheckFailed = 1,  // the job refused its inputs (its message was printed)
  kExitUsage = 2,        // the command line was wrong
  kExitFilesFailed = 3,  // some files failed (each named on stderr)
  kExitStopped = 130,    // stopped by Ctrl+C at a safe point (only complete files were left);
                         // by SIGTERM 143, by SIGHUP 129, in the same way
};

// Makes Ctrl+C, SIGTERM and SIGHUP (Windows: every console control event, the window's closing
// and logging off among them) ask the running job to stop at its next safe point, as
// ConsoleHost::StopRequested reports. Called first thing, so that no signal ends the program
// while it lists its files (reading a pipe among them).
void InstallStopHandlers();

// Prints UTF-8 text to stdout / stderr with a line break: to a Windows console as UTF-16, else
// (a POSIX terminal, a file, a pipe) as the UTF-8 bytes. On POSIX a path in the text that is not
// valid UTF-8 goes out as its own bytes.
void PrintOut(std::string_view utf8);
void PrintError(std::string_view utf8);

// The current folder (no trailing separator); empty when the system cannot say.
std::string CurrentDirectory();
// A path made absolute against the current folder.
std::string AbsolutePath(std::string_view path);
// A folder as typed, made absolute, without trailing separators (the jobs add one).
std::string FolderArgument(std::string_view typed);
// Prints "travik COMMAND: MESSAGE" and where to find the usage; returns kExitUsage.
int UsageError(std::string_view command, std::string_view message);
// True when `text` is a whole number from 1 to 2147483647 written in ASCII digits only ("1e3",
// "100abc", "0", "-5", "+5" and " 5" are not).
bool IsPositiveWholeNumber(std::string_view text);
// Checks the value of option `name` with IsPositiveWholeNumber: "" when it is one, else the
// usage error's message.
std::string PositiveNumberProblem(std::string_view name, std::string_view value);
// The folder that receives output when no -o is given: the current folder. False, with the
// usage error printed, when the system cannot name it (never the root folder instead).
bool CurrentFolderForOutput(std::string_view command, std::string* folder);
// The file operands as the job gets them, made absolute. On Windows an operand with "*" or "?"
// in its last part stands for every file that matches it, in name order (as other Windows programs
// expand wildcards); one that matches nothing stays as it is, to be reported.
std::vector<std::string> FileOperands(const std::vector<std::string>& operands);

// The job host of the command line: messages and failures to stderr, a progress line when stderr
// is a terminal, and the exit code the job earned.
class ConsoleHost : public JobHost {
 public:
  ConsoleHost();
  // The job is over: a console that is being closed may now end the program.
  ~ConsoleHost() override;
  void ShowMessage(const std::string& text) override;
  // On stderr; the exit code does not change.
  void ShowNote(const std::string& text) override;
  void SetStatusPane(int index, const std::string& text) override;
  std::string StatusPane(int index) const override;
  void ShowCompletionNotice() override;
  void ReportFailures(const std::vector<FileFailure>& failures) override;
  // One "PATH: SUMMARY" line per file on stdout.
  void ReportResults(const std::vector<FileResult>& results) override;
  void Progress(int64_t done, int64_t total) override;
  void FileStarted(int index, int count, const std::string& path) override;
  // Counted for the report of a stop.
  void OutputWritten(const std::string& path) override;
  void CheckWarning(const std::string& path, const std::string& text) override;
  // True once Ctrl+C was pressed (the host catches it while it lives).
  bool StopRequested() const override;

  // kExitStopped after Ctrl+C (128 + the signal's number after another), kExitCheckFailed after a message, kExitFilesFailed after
  // failures, else kExitOk.
  int ExitCode() const;
  bool completed() const { return completed_; }

  // What each source of the job made, in the job's order: the files written while it was the
  // file being worked on, and the folder of the last of them.
  struct SourceOutputs {
    std::string source;
    int written = 0;
    std::string folder;
  };
  const std::vector<SourceOutputs>& outputs() const { return outputs_; }

 private:
  void ClearProgressLine();

  std::string panes_[2];
  bool message_shown_ = false;
  bool failures_ = false;
  bool completed_ = false;
  bool progress_to_terminal_ = false;
  bool progress_line_open_ = false;
  int last_percent_ = -1;
  int file_index_ = 0, file_count_ = 1;
  int written_ = 0;           // complete files made or replaced
  std::string last_written_;  // the last of them
  std::vector<SourceOutputs> outputs_;
};

// A small option parser for "-x VALUE", "--long VALUE", "--long=VALUE" and flags; arguments that
// are not options are collected as operands. Values and operands are kept as given: a path may be
// any bytes the system takes, a typed text is checked with TypedTextProblem.
class Options {
 public:
  // `with_value` and `flags` list the accepted spellings, e.g. {"-s", "--size"}.
  struct Rule {
    std::vector<std::string> names;
    bool takes_value;
  };
  explicit Options(std::vector<Rule> rules) : rules_(std::move(rules)) {}

  // False with *error set on an unknown option or a missing value.
  bool Parse(const std::vector<std::string>& args, std::string* error);

  // True when any spelling of the option was given; value of its last occurrence.
  bool Has(std::string_view name) const;
  std::string Value(std::string_view name) const;
  // The spelling of the option's last occurrence as typed ("-k", "--keyword"); `name` when the
  // option was not given.
  std::string GivenName(std::string_view name) const;
  const std::vector<std::string>& operands() const { return operands_; }

 private:
  const Rule* Find(std::string_view name) const;
  std::vector<Rule> rules_;
  struct Given {
    const Rule* rule;
    std::string spelling;
    std::string value;
  };
  std::vector<Given> given_;
  std::vector<std::string> operands_;
};

// A typed text (a keyword, a text to insert, a name) must be UTF-8: "" when the value of each of
// the options named that was given is valid UTF-8, else the usage error's message naming the
// option as it was typed.
std::string TypedTextProblem(const Options& options, std::initializer_list<const char*> names);

// Commands: `args` are the arguments after the command name (UTF-8 on Windows; on POSIX the
// bytes as given).
int RunSplit(const std::vector<std::string>& args);
int RunMerge(const std::vector<std::string>& args);
int RunInsert(const std::vector<std::string>& args);
int RunChapters(const std::vector<std::string>& args);

}  // namespace travik::cli

#endif  // TRAVIK_CLI_CLI_COMMON_H_
