// travik merge: the merge job over files named on the command line.
#include <algorithm>

#include "cli/cli_common.h"
#include "files/file_entry.h"
#include "files/files.h"
#include "files/natural_order.h"
#include "text/text.h"
#include "merge/merge_job.h"

namespace travik::cli {

namespace {

constexpr char kHelp[] =
    "用法: travik merge [选项] 文件或文件夹...\n"
    "按给出的顺序把文件合并为一个 .txt 文件，文件之间不加任何内容。\n"
    "给出的文件夹代表其中所有的 .txt 文件（按文件名的自然顺序）。\n"
    "每个文件按自己的编码读取（GBK、GB18030、UTF-8、Big5）；合并后的文件取第一个含非 ASCII 字符的\n"
    "文件的编码（纯 ASCII 的文件在各编码中相同），其他编码的文件转换为该编码；GBK 与 GB18030\n"
    "的文件原样相接（GBK 文本也是 GB18030 文本，有 GB18030 文件加入后合并后的文件即为 GB18030）。\n"
    "有字符无法转换、或有 UTF-16 文件、或有按 --encoding 读取无效的文件时，不写合并后的文件，\n"
    "并列出这些文件。\n"
    "字节顺序标记只保留在合并后文件的开头。\n"
    "前一个文件末尾是被切开的字符的前几个字节时，与下一个文件的开头合为一个字符。\n"
    "文件中间的 0x1A 控制字符是文本的一部分，原样保留并给出警告（第 N 字节，从 1 数起）；\n"
    "含 0x00 字节的文件不是文本，整个不处理；文件末尾的 0x00/0x1A 填充字节略去并给出警告\n"
    "（--delete-sources 时这样的文件不删除）。\n"
    "  -n, --name NAME        合并后的文件名（不含 .txt，总会加上 .txt）；\n"
    "                         默认取第一个文件名中的汉字等非 ASCII 字符\n"
    "  -o, --out DIR          保存目录（不存在时创建一层）；\n"
    "                         不指定时保存到当前目录下的 合并后的文件\n"
    "  -N, --natural          按文件名的自然顺序合并: 数字按数值比较（含全角数字），\n"
    "                         “第”后的中文数字也按数值（第二章 < 第十章 < 第一百一十一章），\n"
    "                         头文本 排在最前，其次是只叫 序、序章、楔子、引子、前言 的文件；\n"
    "                         上 < 中 < 下，前 < 后；以 尾声、后记、番外、完本感言 开头的排在最后\n"
    "      --encoding ENC     文件的编码: auto（默认，按内容识别）、gbk、gb18030、utf-8、big5\n"
    "      --delete-sources   合并后的文件完整写入磁盘后删除原文件；读取不完整或无法读取的\n"
    "                         文件、读取后被其他程序修改过的文件（大小、修改时间或文件本身\n"
    "                         不同了）以及管道和设备不会删除；删除中途按 Ctrl+C 时停在两个\n"
    "                         文件之间，已删除的文件列在标准输出上，未删除的列在标准错误上\n"
    "      --repeat           同一个文件列出几次就合并几次；不加时，重复列出的文件（含指向\n"
    "                         同一文件的链接、重叠的通配符）只在第一次出现处合并一次，并给出提示\n"
    "  -h, --help             显示本帮助\n"
    "一个文件也没有读到时不写合并后的文件，已有的同名文件保持原样。\n"
    "合并后的文件不能是要合并的文件之一（同一文件的另一个名字或链接也算）：这时什么也不写。\n"
    "管道和设备（/dev/stdin、<(...)、FIFO）读到结束为止，按读到的内容合并。\n"
    "例: travik merge -n 全书 -o 输出 --natural 第*.txt\n"
    "退出码: 0 成功, 1 检查未通过, 2 用法错误, 3 有文件失败（失败的文件列在标准错误上）, "
    "130 被 Ctrl+C 停止（143 被 SIGTERM、129 被 SIGHUP 停止，做法相同；只留下完整写入的文件，\n"
    "不留临时文件）";

// True when the UTF-8 name holds a number that natural order reads: digits, full-width digits
// (U+FF10..U+FF19: EF BC 90..99), 第. UTF-8 is searched byte by byte: no character's bytes are
// found inside another's.
bool HasNumber(std::string_view name) {
  if (name.find_first_of("0123456789") != std::string_view::npos) return true;
  if (name.find("第") != std::string_view::npos) return true;
  for (size_t at = name.find("\xEF\xBC"); at != std::string_view::npos;
       at = name.find("\xEF\xBC", at + 1)) {
    if (at + 2 < name.size()) {
      const unsigned char last = static_cast<unsigned char>(name[at + 2]);
      if (last >= 0x90 && last <= 0x99) return true;
    }
  }
  return false;
}

// The .txt files of a folder, in natural order of their names.
std::vector<std::string> TextFilesIn(const std::string& folder) {
  std::vector<std::string> paths;
  for (const std::string& name : FileNamesIn(folder)) {
    std::string ext = name.size() >= 4 ? name.substr(name.size() - 4) : std::string();
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (ext == ".txt") paths.push_back(JoinText(folder, kPathSeparator, name));
  }
  SortPathsNaturally(paths, kPathSeparator[0]);
  return paths;
}

}  // namespace

int RunMerge(const std::vector<std::string>& args) {
  Options options({{{"-n", "--name"}, true},
                   {{"-o", "--out"}, true},
                   {{"-N", "--natural"}, false},
                   {{"--encoding"}, true},
                   {{"--delete-sources"}, false},
                   {{"--repeat"}, false},
                   {{"-h", "--help"}, false}});
  std::string error;
  if (!options.Parse(args, &error)) return UsageError("merge", error);
  if (options.Has("--help")) {
    PrintOut(kHelp);
    return kExitOk;
  }
  const std::string typed = TypedTextProblem(options, {"--name"});
  if (!typed.empty()) return UsageError("merge", typed);
  EncodingChoice encoding = EncodingChoice::kAuto;
  if (options.Has("--encoding") && !ParseEncodingChoice(options.Value("--encoding"), &encoding)) {
    return UsageError("merge", "--encoding 只能是 auto、gbk、gb18030、utf-8 或 big5");
  }
  if (options.operands().empty()) return UsageError("merge", "没有给出要合并的文件");

  std::vector<std::string> paths;
  bool given_order = true;  // the files were named one by one, in an order of the user's
  for (const std::string& path : FileOperands(options.operands())) {
    if (FolderExists(path)) {
      for (std::string& file : TextFilesIn(FolderArgument(path))) paths.push_back(std::move(file));
      given_order = false;
    } else {
      paths.push_back(path);
    }
  }
  if (options.Has("--natural")) {
    SortPathsNaturally(paths, kPathSeparator[0]);
  } else if (given_order) {
    for (size_t i = 0; i + 1 < paths.size(); ++i) {
      const std::string a = FileNamePart(paths[i]), b = FileNamePart(paths[i + 1]);
      if (HasNumber(a) && HasNumber(b) && NaturalLess(b, a)) {
        PrintError(JoinText("注意: ", a, " 排在 ", b,
                            " 之前，不是文件名的自然顺序；按给出的顺序合并（用 --natural "
                            "按自然顺序）"));
        break;
      }
    }
  }

  MergeForm form;
  for (const std::string& path : paths) {
    form.rows.push_back(MakeMergeEntry(path));
    form.rows.back().encoding = encoding;
  }
  const bool name_given = options.Has("--name");
  if (name_given) {
    form.merged_name = options.Value("--name");
  } else if (!form.rows.empty()) {
    form.merged_name = DefaultMergedName(form.rows.front().name);
  }
  if (options.Has("--out")) {
    std::string typed = options.Value("--out");
    if (!typed.empty()) {
      form.chosen_folder = FolderArgument(typed);  // checked and made by the job
    }
    form.program_folder = CurrentDirectory();
  } else {
    form.save_in_program_folder = true;
    if (!CurrentFolderForOutput("merge", &form.program_folder)) return kExitUsage;
  }
  form.delete_sources = options.Has("--delete-sources");
  form.repeats_allowed = options.Has("--repeat");

  ConsoleHost host;
  MergeResult result;
  MergeJob(form, host, &result);
  if (!result.checks_passed) {
    if (!form.rows.empty() && form.merged_name.empty()) {
      PrintError("第一个文件名中没有汉字等非 ASCII 字符，请用 -n 指定合并后的文件名");
    }
    return host.ExitCode();
  }
  if (result.written) PrintOut(result.merged_path);
  if (host.StopRequested()) return host.ExitCode();
  return result.failures > 0 ? kExitFilesFailed : kExitOk;
}

}  // namespace travik::cli
