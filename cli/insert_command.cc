// travik insert: the insert job over files named on the command line.
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "text/encoding.h"
#include "files/file_entry.h"
#include "files/files.h"
#include "text/text.h"
#include "insert/insert_job.h"

namespace travik::cli {

namespace {

constexpr char kInsertHelp[] =
    "用法: travik insert [选项] 文件...\n"
    "把同一段文字插入每个文本文件（GBK、GB18030、UTF-8 或 Big5，按文件自己的编码写入）。\n"
    "按长度或随机插入时，插入点若落在字符中间或回车与换行之间，会后移到该字符或换行\n"
    "之后，不会把字符或换行切成两半；也不会插在 UTF-8 文件开头的字节顺序标记之前。\n"
    "长度按文件自己的字节计算。\n"
    "文件中间的 0x1A 控制字符是文本的一部分，原样保留并给出警告（第 N 字节，从 1 数起）；\n"
    "含 0x00 字节的文件不是文本，整个不处理；文件末尾的 0x00/0x1A 填充字节略去并给出警告\n"
    "（--in-place 时这样的文件不修改）。\n"
    "完成后逐个文件列出插入的处数。\n"
    "\n"
    "  -t, --text 文字        欲插入的文字（必须给出）\n"
    "插入位置（只能选一种）:\n"
    "  -k, --keyword 正则     插在每个匹配之后（-k \"^\" 插在每行开头）；\n"
    "                         没有匹配的文件算作失败，保留原文件时仍写出副本\n"
    "  -e, --every N          每 N 字节之后插入一次（N 大于文件长度时不插入）\n"
    "  -r, --random           在随机位置插入，次数由文件长度决定\n"
    "其他选项:\n"
    "      --in-place         直接修改原文件: 先在同一目录完整写出新文件并写入磁盘，再替换；\n"
    "                         权限（Windows 上为属性）保持不变，符号链接保持为链接、替换的是\n"
    "                         它指向的文件；硬链接则不同: 改后的文件是新文件，其他硬链接\n"
    "                         仍是原来的内容；只读的文件不会修改\n"
    "                         默认保留原文件，把插入后的副本存为 文件名.txt（同名的\n"
    "                         第二个文件存为 文件名(2).txt）\n"
    "  -o, --out 目录         副本的保存目录（不存在时创建一层）；\n"
    "                         不给出时为当前目录下的 \"处理后的文件\"\n"
    "      --encoding 编码    文件的编码: auto（默认，逐个文件识别）、gbk、gb18030、utf-8、big5；\n"
    "                         UTF-16 文件、在给出的编码下无效的文件不处理（逐个列出）；\n"
    "                         文件的编码无法表示欲插入的文字时（只有 GBK、Big5 会这样），\n"
    "                         该文件不处理，不会写出问号\n"
    "      --seed N           随机插入使用可重现的位置（同一文件、同一 N，在各平台上相同）；\n"
    "                         不给出时由系统随机源取种子\n"
    "  -h, --help             显示本帮助\n"
    "\n"
    "示例:\n"
    "  travik insert -k 章 -t \"##\" 小说.txt\n"
    "  travik insert -e 1000 -t \"【广告】\" --in-place 第*.txt\n"
    "  travik insert -r --seed 1 -t \"（完）\" -o 输出 小说.txt\n"
    "\n"
    "关键字是按字符匹配的正则表达式（Perl 语法，区分大小写）: . 匹配任意一个字符（含换行，\n"
    "除非写 (?-s)），[...] 里是字符，数量词重复整个字符；匹配总在字符之间开始和结束。\n"
    "\n"
    "同一个文件列出多次（含链接、重叠的通配符）只处理一次，并给出提示。\n--in-place 时，处理中被其他程序修改过的文件不写回（保留其修改），并列为失败；\n管道和设备不能原地修改，可以写出副本。\n"
    "退出码: 0 成功；1 检查未通过（已显示提示）；2 用法错误；3 有文件失败（已逐个列出）；"
    "130 被 Ctrl+C 停止（143 被 SIGTERM、129 被 SIGHUP 停止，做法相同；只留下完整写入的文件，\n"
    "不留临时文件）";


}  // namespace

int RunInsert(const std::vector<std::string>& args) {
  Options options({{{"-t", "--text"}, true},
                   {{"-k", "--keyword"}, true},
                   {{"-e", "--every"}, true},
                   {{"-r", "--random"}, false},
                   {{"--in-place"}, false},
                   {{"-o", "--out"}, true},
                   {{"--seed"}, true},
                   {{"--encoding"}, true},
                   {{"-h", "--help"}, false}});
  std::string error;
  if (!options.Parse(args, &error)) return UsageError("insert", error);
  if (options.Has("--help")) {
    PrintOut(kInsertHelp);
    return kExitOk;
  }

  const std::string typed = TypedTextProblem(options, {"--text", "--keyword"});
  if (!typed.empty()) return UsageError("insert", typed);

  InsertForm form;
  form.text_to_insert = options.Value("--text");
  form.keyword_text = options.Value("--keyword");
  form.every_text = options.Value("--every");
  form.random = options.Has("--random");
  int modes =
      (options.Has("--keyword") ? 1 : 0) + (options.Has("--every") ? 1 : 0) + (form.random ? 1 : 0);
  if (modes > 1) return UsageError("insert", "-k、-e、-r 只能给出一个");
  if (options.Has("--every")) {
    const std::string problem = PositiveNumberProblem("-e", form.every_text);
    if (!problem.empty()) return UsageError("insert", problem);
  }

  EncodingChoice encoding = EncodingChoice::kAuto;
  if (options.Has("--encoding") && !ParseEncodingChoice(options.Value("--encoding"), &encoding)) {
    return UsageError("insert",
                      "--encoding 只能是 auto、gbk、gb18030、utf-8 或 big5: " + options.Value("--encoding"));
  }

  RandomGenerator seeded(0);
  InsertContext context;
  if (options.Has("--seed")) {
    const std::string seed = options.Value("--seed");
    errno = 0;
    char* end = nullptr;
    unsigned long long value = std::strtoull(seed.c_str(), &end, 10);
    if (seed.empty() || *end != '\0' || errno != 0 || seed[0] == '-') {
      return UsageError("insert", "--seed 需要一个非负整数: " + seed);
    }
    seeded = RandomGenerator(value);
    context.random = &seeded;
  }

  form.keep_original = !options.Has("--in-place");
  if (form.keep_original && !options.Has("--out")) {
    if (!CurrentFolderForOutput("insert", &form.program_folder)) return kExitUsage;
  } else {
    form.program_folder = CurrentDirectory();
  }
  if (!form.keep_original) {
    // No copies: no results folder is made or named.
    form.use_program_folder = false;
    form.output_folder = form.program_folder;
  } else if (options.Has("--out")) {
    form.use_program_folder = false;
    const std::string typed = options.Value("--out");
    if (!typed.empty()) {
      form.output_folder = FolderArgument(typed);  // checked and made by the job
    }
  }
  if (options.operands().empty()) return UsageError("insert", "没有给出要插入文字的文件");
  for (const std::string& path : FileOperands(options.operands())) {
    form.rows.push_back(MakeInsertEntry(path));
    form.rows.back().encoding = encoding;
  }

  ConsoleHost host;
  InsertJob(form, context, host);
  for (const std::string& copy : context.renamed_copies) {
    PrintError("注意: 同名文件的副本存为 " + copy);
  }
  if (form.keep_original && host.StatusPane(0) == "当前状态: 已完成") {
    PrintOut(host.StatusPane(1));
  }
  return host.ExitCode();
}

}  // namespace travik::cli
