// travik split: the split job from the command line.
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "core/file_entry.h"
#include "core/files.h"
#include "split/split_job.h"

namespace travik::cli {

namespace {

constexpr char kSplitHelp[] =
    "用法: travik split [选项] 文件...\n"
    "把每个 GBK 文本文件分割成若干个文件，放进保存目录下以该文件名命名的子目录。\n"
    "不会把一个双字节字符切成两半；分割文件按顺序连接起来就是原文。\n"
    "\n"
    "分割方式（必须且只能选一种）:\n"
    "  -s, --size KB          按大小分割: 每个文件 KB 千字节（可能多 1 字节）\n"
    "  -p, --parts N          按份数分割: 分成 N 个文件\n"
    "  -k, --keyword 正则     按关键字分割: 每个匹配处开始一个新文件，\n"
    "                         第一个匹配之前的文本单独成为头文件\n"
    "选项:\n"
    "      --name 方式        文件命名: number 自动编号（默认）、keyword 按关键字（仅 -k）、\n"
    "                         custom 自定义文字＋编号\n"
    "      --custom-text 文字 --name custom 时编号前的文字（默认 \"自定义内容\"）\n"
    "      --merge-script     另外生成合并文件 \"点我合并.bat\"\n"
    "  -o, --out 目录         保存目录（不存在时创建一层）；\n"
    "                         不给出时为当前目录下的 \"分割后的文件\"\n"
    "  -h, --help             显示本帮助\n"
    "      --version          显示版本\n"
    "\n"
    "示例:\n"
    "  travik split -s 100 小说.txt\n"
    "  travik split -p 10 -o 输出 小说.txt\n"
    "  travik split -k \"^第.{2,16}章\" --name keyword --merge-script 小说.txt\n"
    "      (每章一个文件，以章标题命名；标题前的文本在 头文本.txt)\n"
    "\n"
    "退出码: 0 成功；1 检查未通过（已显示提示）；2 用法错误；3 有文件失败（已逐个列出）；"
    "130 被 Ctrl+C 停止（只留下完整写入的文件）";


}  // namespace

int RunSplit(const std::vector<std::string>& args) {
  Options options({{{"-s", "--size"}, true},
                   {{"-p", "--parts"}, true},
                   {{"-k", "--keyword"}, true},
                   {{"--name"}, true},
                   {{"--custom-text"}, true},
                   {{"--merge-script"}, false},
                   {{"-o", "--out"}, true},
                   {{"-h", "--help"}, false},
                   {{"--version"}, false}});
  std::string error;
  if (!options.Parse(args, &error)) return UsageError("split", error);
  if (options.Has("--help")) {
    PrintOut(kSplitHelp);
    return kExitOk;
  }
  if (options.Has("--version")) {
    PrintOut("travik " TRAVIK_VERSION);
    return kExitOk;
  }

  SplitForm form;
  int modes = 0;
  if (options.Has("--size")) {
    form.mode = SplitMode::kBySize;
    form.size_text = options.Value("--size");
    ++modes;
  }
  if (options.Has("--parts")) {
    form.mode = SplitMode::kByCount;
    form.parts_text = options.Value("--parts");
    ++modes;
  }
  if (options.Has("--keyword")) {
    form.mode = SplitMode::kByKeyword;
    form.keyword_text = options.Value("--keyword");
    ++modes;
  }
  if (modes != 1) return UsageError("split", "必须且只能给出 -s、-p、-k 中的一个");

  const std::string naming = options.Has("--name") ? options.Value("--name") : "number";
  if (naming == "number") {
    form.naming = PieceNaming::kNumber;
  } else if (naming == "keyword") {
    form.naming = PieceNaming::kKeyword;
  } else if (naming == "custom") {
    form.naming = PieceNaming::kCustom;
  } else {
    return UsageError("split", "--name 只能是 number、keyword 或 custom: " + naming);
  }
  if (options.Has("--custom-text")) form.custom_text = options.Value("--custom-text");
  form.write_merge_script = options.Has("--merge-script");

  if (options.Has("--out")) {
    const std::string out = options.Value("--out");
    form.chosen_folder = out.empty() ? out : FolderArgument(out);
  } else {
    form.save_in_program_folder = true;  // under the current folder, as the window does
    form.program_folder = CurrentDirectory();
  }
  if (options.operands().empty()) return UsageError("split", "没有给出要分割的文件");
  for (const std::string& operand : options.operands()) {
    const std::string path = AbsolutePath(operand);
    FileEntry entry = MakeSplitEntry(path);
    // A name without an extension still gets a sub-folder of its own.
    if (entry.name.empty()) entry.name = FileNamePart(path);
    form.rows.push_back(std::move(entry));
  }

  ConsoleHost host;
  SplitJob(form, host);
  return host.ExitCode();
}

}  // namespace travik::cli
