// travik split: the split job from the command line.
#include <string>
#include <vector>

#include "chapters/heading_forms.h"
#include "cli/cli_common.h"
#include "text/encoding.h"
#include "files/file_entry.h"
#include "files/files.h"
#include "split/split_job.h"
#include "text/text.h"
#include "travik_version.h"

namespace travik::cli {

namespace {

constexpr char kSplitHelp[] =
    "用法: travik split [选项] 文件...\n"
    "把每个文本文件（GBK、GB18030、UTF-8 或 Big5）分割成若干个文件，放进保存目录下以该文件名\n"
    "命名的子目录。分割文件保持原文的编码，不会把一个字符切成两半；按顺序连接起来就是原文\n"
    "（UTF-8 的 BOM 只在第一个文件开头）。UTF-16 文本不处理，请先另存为 UTF-8 或 GBK。\n"
    "\n"
    "分割方式（必须且只能选一种）:\n"
    "  -s, --size KB          按大小分割: 每个文件 KB 千字节（GBK 可能多 1 字节，\n"
    "                         GB18030、UTF-8 可能多到 3 字节，止于字符之间）\n"
    "  -p, --parts N          按份数分割: 分成 N 个文件\n"
    "  -k, --keyword 正则     按关键字分割: 每个匹配处开始一个新文件，\n"
    "                         第一个匹配之前的文本单独成为头文件；\n"
    "                         没有匹配的文件算作失败，不建子目录\n"
    "      --chapters         按章节分割: 正好在 travik chapters 列出的标题处分割\n"
    "                         （自动识别标题形式；可加 --preset 名称 或 -k 正则），\n"
    "                         文件默认以标题命名；找不到标题的文件算作失败\n"
    "选项:\n"
    "      --preset 名称      --chapters 的标题形式: chapter volume english numbered extra，\n"
    "                         可用 + 连接（详见 travik chapters --help）\n"
    "      --name 方式        文件命名: number 自动编号（默认）、keyword 按关键字（仅 -k）、\n"
    "                         custom 自定义文字＋编号\n"
    "      --custom-text 文字 --name custom 时编号前的文字（默认 \"自定义内容\"）\n"
    "      --merge-script     另外生成合并文件 \"点我合并.bat\"\n"
    "      --encoding 编码    文件的编码: auto 自动识别（默认）、gbk、gb18030、utf-8、big5；\n"
    "                         给出编码时，在该编码下不是有效文本的文件不处理（逐个报告）\n"
    "  -o, --out 目录         保存目录（不存在时创建一层）；\n"
    "                         不给出时为当前目录下的 \"分割后的文件\"\n"
    "同名的文件（如 a/小说.txt 与 b/小说.txt）依次放进 小说、小说(2) ...；子目录中\n"
    "原有的、不是这次分割写出的文件不会删除，会在结束时报告其个数。\n"
    "文件中间的 0x1A 控制字符是文本的一部分，原样保留并给出警告（第 N 字节，从 1 数起）；\n"
    "含 0x00 字节的文件不是文本，整个不处理；文件末尾的 0x00/0x1A 填充字节略去并给出警告。\n"
    "  -h, --help             显示本帮助\n"
    "      --version          显示版本\n"
    "\n"
    "示例:\n"
    "  travik split -s 100 小说.txt\n"
    "  travik split -p 10 -o 输出 小说.txt\n"
    "  travik split -k \"^第.{1,8}章\" --name keyword --merge-script 小说.txt\n"
    "      (每章一个文件，以章标题命名；标题前的文本在 头文本.txt)\n"
    "  travik split --chapters --merge-script 小说.txt\n"
    "      (先用 travik chapters 小说.txt 看一看会在哪里分割)\n"
    "\n"
    "关键字是按字符匹配的正则表达式（Perl 语法，区分大小写），在每种编码的文本中找的都是\n"
    "同样的字符: . 匹配任意一个字符（含换行，除非写 (?-s)），[...] 里是字符，数量词重复\n"
    "整个字符；匹配总在字符之间开始和结束。\n"
    "^ 和 $ 匹配每行的开头和结尾（CR LF 算一个换行）。\n"
    "\n"
    "同一个文件列出多次（含链接、重叠的通配符）只分割一次，并给出提示。\n管道和设备（/dev/stdin、<(...)、FIFO）读到结束为止，按读到的内容分割。\n"
    "退出码: 0 成功；1 检查未通过（已显示提示）；2 用法错误；3 有文件失败（已逐个列出）；"
    "130 被 Ctrl+C 停止（143 被 SIGTERM、129 被 SIGHUP 停止，做法相同；只留下完整写入的文件，\n"
    "不留临时文件）";


}  // namespace

int RunSplit(const std::vector<std::string>& args) {
  Options options({{{"-s", "--size"}, true},
                   {{"-p", "--parts"}, true},
                   {{"-k", "--keyword"}, true},
                   {{"--chapters"}, false},
                   {{"--preset"}, true},
                   {{"--name"}, true},
                   {{"--custom-text"}, true},
                   {{"--merge-script"}, false},
                   {{"--encoding"}, true},
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
    PrintOut("travik " TRAVIK_VERSION_TEXT);
    return kExitOk;
  }

  const std::string typed = TypedTextProblem(options, {"--keyword", "--custom-text"});
  if (!typed.empty()) return UsageError("split", typed);

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
    if (!options.Has("--chapters")) ++modes;
  }
  if (options.Has("--chapters")) {
    form.mode = SplitMode::kByKeyword;
    form.find_chapters = true;
    ++modes;
    if (options.Has("--preset")) {
      if (options.Has("--keyword")) return UsageError("split", "-k 与 --preset 只能给出一个");
      std::optional<chapters::PresetSet> presets =
          chapters::ParsePresetSet(options.Value("--preset"));
      if (!presets) {
        return UsageError("split", chapters::kPresetNamesHint + options.Value("--preset"));
      }
      form.chapter_presets = *presets;
    }
  } else if (options.Has("--preset")) {
    return UsageError("split", "--preset 只能与 --chapters 一起使用");
  }
  if (modes != 1) return UsageError("split", "必须且只能给出 -s、-p、-k、--chapters 中的一个");
  for (const char* number_option : {"--size", "--parts"}) {
    if (!options.Has(number_option)) continue;
    const std::string problem = PositiveNumberProblem(
        number_option[2] == 's' ? "-s" : "-p", options.Value(number_option));
    if (!problem.empty()) return UsageError("split", problem);
  }

  const std::string naming = options.Has("--name")       ? options.Value("--name")
                             : options.Has("--chapters") ? "keyword"
                                                         : "number";
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
    if (!CurrentFolderForOutput("split", &form.program_folder)) return kExitUsage;
  }
  EncodingChoice encoding = EncodingChoice::kAuto;
  if (options.Has("--encoding") && !ParseEncodingChoice(options.Value("--encoding"), &encoding)) {
    return UsageError("split", "--encoding 只能是 auto、gbk、gb18030、utf-8 或 big5: " +
                                   options.Value("--encoding"));
  }
  if (options.operands().empty()) return UsageError("split", "没有给出要分割的文件");
  for (const std::string& path : FileOperands(options.operands())) {
    FileEntry entry = MakeSplitEntry(path);
    // A name without an extension still gets a sub-folder of its own.
    if (entry.name.empty()) entry.name = FileNamePart(path);
    entry.encoding = encoding;
    form.rows.push_back(std::move(entry));
  }

  ConsoleHost host;
  SplitContext context;
  SplitJob(form, context, host);
  // One line per source that has pieces: how many, and where.
  for (const ConsoleHost::SourceOutputs& made : host.outputs()) {
    if (made.written == 0) continue;
    PrintOut(JoinText(made.source, ": ", NumberToText(made.written), " 个分割文件，保存在 ",
                      made.folder));
  }
  for (const std::string& folder : context.renamed_folders) {
    PrintError("注意: 同名文件的分割文件保存在 " + folder);
  }
  for (const std::string& folder : context.device_folders) {
    PrintError("注意: 文件名是 Windows 的设备名，分割文件保存在 " + folder);
  }
  return host.ExitCode();
}

}  // namespace travik::cli
