// travik merge: the merge job over files named on the command line.
#include <algorithm>

#include "cli/cli_common.h"
#include "core/file_entry.h"
#include "core/files.h"
#include "core/text.h"
#include "merge/merge_job.h"

namespace travik::cli {

namespace {

constexpr char kHelp[] =
    "用法: travik merge [选项] 文件...\n"
    "按给出的顺序把文件合并为一个 .txt 文件，文件之间不加任何内容。\n"
    "  -n, --name NAME        合并后的文件名（不含 .txt，总会加上 .txt）；\n"
    "                         默认取第一个文件名中的汉字（双字节字符）\n"
    "  -o, --out DIR          保存目录；不指定时保存到当前目录下的 合并后的文件\n"
    "      --delete-sources   合并后的文件完整写入后删除原文件；读取不完整或无法读取的\n"
    "                         文件以及合并后的文件本身不会删除\n"
    "  -h, --help             显示本帮助\n"
    "例: travik merge -n 全书 -o 输出 第1章.txt 第2章.txt 第3章.txt\n"
    "退出码: 0 成功, 1 检查未通过, 2 用法错误, 3 有文件失败（失败的文件列在标准错误上）, "
    "130 被 Ctrl+C 停止（只留下完整写入的文件）";


}  // namespace

int RunMerge(const std::vector<std::string>& args) {
  Options options({{{"-n", "--name"}, true},
                   {{"-o", "--out"}, true},
                   {{"--delete-sources"}, false},
                   {{"-h", "--help"}, false}});
  std::string error;
  if (!options.Parse(args, &error)) {
    PrintError(error);
    PrintError(
        "用法: travik merge [-n 文件名] [-o 目录] [--delete-sources] 文件...（详见 --help）");
    return kExitUsage;
  }
  if (options.Has("--help")) {
    PrintOut(kHelp);
    return kExitOk;
  }

  MergeForm form;
  for (const std::string& operand : options.operands()) {
    form.rows.push_back(MakeMergeEntry(AbsolutePath(operand)));
  }
  const bool name_given = options.Has("--name");
  if (name_given) {
    form.merged_name = options.Value("--name");
  } else if (!form.rows.empty()) {
    form.merged_name = DefaultMergedName(form.rows.front().name);
  }
  if (options.Has("--out")) {
    std::string typed = options.Value("--out");
    if (!typed.empty()) form.chosen_folder = FolderArgument(typed);
  } else {
    form.save_in_program_folder = true;
  }
  form.delete_sources = options.Has("--delete-sources");
  form.program_folder = CurrentDirectory();

  ConsoleHost host;
  MergeResult result;
  MergeJob(form, host, &result);
  if (!result.checks_passed) {
    if (!form.rows.empty() && !name_given) {
      PrintError("第一个文件名中没有汉字，请用 -n 指定合并后的文件名");
    }
    return host.ExitCode();
  }
  if (result.written) PrintOut(result.merged_path);
  if (host.StopRequested()) return host.ExitCode();
  return result.failures > 0 ? kExitFilesFailed : kExitOk;
}

}  // namespace travik::cli
