// travik: the command line front end. Parses the command name and hands the rest to it.
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "text/codepage.h"
#include "travik_version.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

constexpr char kUsage[] =
    "用法: travik split|merge|insert|chapters [选项] 文件...\n"
    "  travik split  --help   分割文本\n"
    "  travik merge  --help   合并文本\n"
    "  travik insert --help   插入文本\n"
    "  travik chapters --help 列出章节标题（不写文件）\n"
    "  travik --version\n"
    "输出到控制台时显示为字符；重定向到文件或管道时为 UTF-8 文本。";

// The arguments after the program's name. Windows: from the wide command line, as UTF-8 (a lone
// surrogate kept in its WTF-8 form, so that a name holding one still names its file). Elsewhere:
// the bytes as given; a path need not be UTF-8, and typed texts are checked by each command.
bool Arguments(int argc, char** argv, std::vector<std::string>* out) {
#ifdef _WIN32
  (void)argc;
  (void)argv;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return false;
  for (int i = 1; i < count; ++i) out->push_back(travik::WideToUtf8(wide[i]));
  LocalFree(wide);
#else
  for (int i = 1; i < argc; ++i) out->push_back(argv[i]);
#endif
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace travik::cli;
#ifdef __GLIBC__
  // A job reads source after source into buffers of up to some megabytes and lets each go once it
  // is written. Kept by the allocator for the next one, their pages are not given back to the
  // system and faulted in (and zeroed) again for every source.
  mallopt(M_MMAP_THRESHOLD, 8 << 20);
  mallopt(M_TRIM_THRESHOLD, 32 << 20);
#endif
  InstallStopHandlers();
  std::vector<std::string> args;
  if (!Arguments(argc, argv, &args)) {
    PrintError("无法读取命令行");
    return kExitUsage;
  }
  if (args.empty()) {
    PrintError(kUsage);
    return kExitUsage;
  }
  std::string command = args.front();
  std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "split") return RunSplit(rest);
  if (command == "merge") return RunMerge(rest);
  if (command == "insert") return RunInsert(rest);
  if (command == "chapters") return RunChapters(rest);
  if (command == "-h" || command == "--help") {
    PrintOut(kUsage);
    return kExitOk;
  }
  if (command == "--version") {
    PrintOut("travik " TRAVIK_VERSION_TEXT);
    return kExitOk;
  }
  PrintError("未知命令: " + command);
  PrintError(kUsage);
  return kExitUsage;
}
