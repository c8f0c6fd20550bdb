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

namespace {

constexpr char kUsage[] =
    "用法: travik split|merge|insert|chapters [选项] 文件...\n"
    "  travik split  --help   分割文本\n"
    "  travik merge  --help   合并文本\n"
    "  travik insert --help   插入文本\n"
    "  travik chapters --help 列出章节标题（不写文件）\n"
    "  travik --version";

// The arguments in GBK: from the wide command line on Windows, from UTF-8 elsewhere.
bool GbkArguments(int argc, char** argv, std::vector<std::string>* out, std::string* bad) {
#ifdef _WIN32
  (void)argc;
  (void)argv;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return false;
  bool ok = true;
  for (int i = 1; i < count; ++i) {
    std::string gbk;
    if (!travik::WideToGbk(wide[i], &gbk)) {
      // A character GBK lacks: the GB18030 form, for texts meant for UTF-8 and GB18030 files.
      const int n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide[i], -1, nullptr, 0,
                                        nullptr, nullptr);
      std::string utf8(n > 0 ? static_cast<size_t>(n) : 0, '\0');
      if (n <= 0 ||
          WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide[i], -1, utf8.data(), n, nullptr,
                              nullptr) != n ||
          !travik::Utf8ToTypedText(utf8.substr(0, static_cast<size_t>(n) - 1), &gbk)) {
        *bad = travik::WideToGbkLossy(wide[i]);
        ok = false;
        break;
      }
    }
    out->push_back(gbk);
  }
  LocalFree(wide);
  return ok;
#else
  for (int i = 1; i < argc; ++i) {
    std::string gbk;
    if (!travik::Utf8ToTypedText(argv[i], &gbk)) {
      *bad = argv[i];
      return false;
    }
    out->push_back(gbk);
  }
  return true;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  using namespace travik::cli;
  std::vector<std::string> args;
  std::string bad;
  if (!GbkArguments(argc, argv, &args, &bad)) {
    PrintError("参数无法转换: " + bad);
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
