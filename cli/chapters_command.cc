// travik chapters: the headings the chapter finder sees in each file, and its warnings. Writes no
// file: a person checks here what `travik split --chapters` will cut.
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "chapters/chapter_finder.h"
#include "cli/cli_common.h"
#include "text/codepage.h"
#include "files/files.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace travik::cli {

namespace {

constexpr char kChaptersHelp[] =
    "用法: travik chapters [选项] 文件...\n"
    "列出每个文件的章节标题和它们开始的分割文件大小，并检查章节号与大小，不写任何文件。\n"
    "travik split --chapters 正好在这里列出的标题处分割。\n"
    "\n"
    "  -k, --keyword 正则     只按这个正则表达式找标题（检查照样进行）\n"
    "      --preset 名称      只用这些标题形式，可用 + 连接，如 chapter+volume；\n"
    "                         不给出时自动选择章节号最连贯的形式\n"
    "      --encoding 编码    文件的编码: auto（默认，自动识别）、gbk、gb18030、utf-8\n"
    "      --json             每个文件输出一行 JSON（UTF-8）\n"
    "  -h, --help             显示本帮助\n"
    "\n"
    "标题形式（整行是标题；行首可有空格或全角空格；句子不是标题）:\n"
    "  chapter   第X章 第X回 第X节 第X话，可带标题      例: 第一百零三章 风起\n"
    "  volume    第X卷 第X部 第X集 第X篇（卷标题后章节号可重新从 1 开始）  例: 第二卷 江湖\n"
    "  english   Chapter N / CHAPTER N，可带标题       例: Chapter 12: The Storm\n"
    "  numbered  编号行                                例: 001 标题、12、标题、12. 标题\n"
    "  extra     序章 序言 楔子 引子 正文 尾声 后记 终章 番外N 完本感言（含繁体）  例: 番外三 重逢\n"
    "  X 可以是阿拉伯数字、全角数字或中文数字（一百零三、两百、壹佰零伍）。\n"
    "\n"
    "警告: gap 章节号跳过、repeat 重复、back 无卷标题时倒退、short/long 章节小于中位数的\n"
    "1/20 或大于 20 倍、none 没有找到标题（可改为按大小分割）。\n"
    "\n"
    "示例:\n"
    "  travik chapters 小说.txt\n"
    "  travik chapters --preset chapter+volume --json 小说.txt > 目录.json\n"
    "  travik chapters -k \"^第.{1,9}章\" 小说.txt\n"
    "\n"
    "退出码: 0 每个文件都找到了标题；1 有文件没有找到标题；2 用法错误；3 有文件无法读取";

// Writes UTF-8 text and a line break to stdout (a Windows console gets it as UTF-16).
void PrintUtf8Line(const std::string& utf8) {
#ifdef _WIN32
  HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode)) {
    std::string line = utf8 + "\n";
    int n = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) {
      MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(), n);
    }
    DWORD written = 0;
    WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
#endif
  fwrite(utf8.data(), 1, utf8.size(), stdout);
  fputc('\n', stdout);
  fflush(stdout);
}

// Typed text (GBK, with the four-byte GB18030 form of a character GBK lacks) as UTF-8. The text of
// a GBK file converts as it always has.
std::string TypedToUtf8(std::string_view typed, Encoding file_encoding) {
  std::string utf8;
  if (file_encoding != Encoding::kGbk && ConvertTypedText(typed, Encoding::kUtf8, &utf8)) return utf8;
  return GbkToUtf8Lossy(typed);
}

// A JSON string literal of UTF-8 text.
std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buffer[8];
          snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string Json(const std::string& path, const chapters::FileChapters& file) {
  using chapters::Heading;
  using chapters::Warning;
  const chapters::ChapterList& list = file.list;
  std::string out = "{\"file\":" + JsonString(GbkToUtf8Lossy(path)) + ",\"encoding\":\"" +
                    EncodingName(file.encoding) + "\",\"pattern\":" +
                    JsonString(TypedToUtf8(list.pattern, file.encoding)) + ",\"chapters\":[";
  for (size_t i = 0; i < list.headings.size(); ++i) {
    const Heading& h = list.headings[i];
    if (i > 0) out += ',';
    out += "{\"line\":" + std::to_string(h.line) + ",\"offset\":" + std::to_string(h.offset) +
           ",\"title\":" + JsonString(TypedToUtf8(h.title, file.encoding)) + ",\"number\":" +
           (h.number ? std::to_string(*h.number) : std::string("null")) + ",\"kind\":\"" +
           chapters::HeadingKindName(h.kind) + "\",\"bytes\":" + std::to_string(h.bytes) + "}";
  }
  out += "],\"warnings\":[";
  for (size_t i = 0; i < list.warnings.size(); ++i) {
    const Warning& w = list.warnings[i];
    if (i > 0) out += ',';
    out += "{\"kind\":\"" + std::string(chapters::WarningKindName(w.kind)) +
           "\",\"line\":" + std::to_string(w.line) + ",\"text\":" +
           JsonString(GbkToUtf8Lossy(w.text)) + "}";
  }
  return out + "]}";
}

// A GBK text padded with spaces to `width` columns (a double-byte character takes two, as its
// bytes do), or cut between characters with "…" when longer. In `typed` text a character's
// four-byte form is one character, two columns wide.
std::string Column(std::string_view gbk, size_t width, bool typed) {
  auto step_at = [&gbk, typed](size_t at) -> size_t {
    if (static_cast<unsigned char>(gbk[at]) < 0x80 || at + 1 == gbk.size()) return 1;
    return typed && gbk.size() - at >= 4 &&
                   CharLength(Encoding::kGb18030, gbk.data() + at, gbk.data() + gbk.size()) == 4
               ? 4
               : 2;
  };
  size_t columns = 0;
  for (size_t at = 0; at < gbk.size();) {
    const size_t step = step_at(at);
    at += step;
    columns += step == 4 ? 2 : step;
  }
  if (columns > width) {
    size_t cut = 0, used = 0;
    while (cut < gbk.size()) {
      const size_t step = step_at(cut);
      const size_t wide = step == 4 ? 2 : step;
      if (used + wide > width - 2) break;
      cut += step;
      used += wide;
    }
    std::string out(gbk.substr(0, cut));
    out += "…";
    return out + std::string(width - used - 2, ' ');
  }
  return std::string(gbk) + std::string(width - columns, ' ');
}

std::string Right(const std::string& text, size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

// `named`: the forms were named with --preset rather than chosen by the finder.
void PrintTable(const std::string& path, const chapters::FileChapters& file, bool named) {
  const chapters::ChapterList& list = file.list;
  // The warnings of each heading line, found once (a list can have thousands of both).
  std::unordered_map<int64_t, std::string> marks;
  for (const chapters::Warning& w : list.warnings) {
    if (w.line == 0) continue;
    std::string& mark = marks[w.line];
    mark += (mark.empty() ? "! " : "；") + w.text;
  }
  // The whole table goes out at once: one conversion and one write, not one per row.
  std::string table = path + "\n  序号    章节号  标题                                          大小(字节)  提示";
  for (size_t i = 0; i < list.headings.size(); ++i) {
    const chapters::Heading& h = list.headings[i];
    std::string number = h.number ? std::to_string(*h.number) : "-";
    if (h.kind == chapters::HeadingKind::kVolume) number = "卷" + number;
    const auto mark = marks.find(h.line);
    table += "\n" + Right(std::to_string(i + 1), 6) + "  " + Right(number, 8) + "  " +
             Column(h.title, 44, file.encoding != Encoding::kGbk) + Right(std::to_string(h.bytes), 12) + "  " +
             (mark == marks.end() ? std::string() : mark->second);
  }
  for (const chapters::Warning& w : list.warnings) {
    if (w.line == 0) table += "\n  ! " + w.text;
  }
  table += "\n  共 " + std::to_string(list.headings.size()) + " 个标题，" +
           std::to_string(list.warnings.size()) + " 个警告（" +
           (!list.presets ? "关键字: " : named ? "标题形式: " : "自动识别: ") + list.pattern + "）";
  if (list.cut_short) table += "；正则表达式过于复杂，只找到了一部分";
  if (file.encoding == Encoding::kGbk) {
    PrintOut(table);
  } else {
    PrintUtf8Line(TypedToUtf8(table, file.encoding));
  }
}

}  // namespace

int RunChapters(const std::vector<std::string>& args) {
  Options options({{{"-k", "--keyword"}, true},
                   {{"--preset"}, true},
                   {{"--json"}, false},
                   {{"--encoding"}, true},
                   {{"-h", "--help"}, false}});
  std::string error;
  if (!options.Parse(args, &error)) return UsageError("chapters", error);
  if (options.Has("--help")) {
    PrintOut(kChaptersHelp);
    return kExitOk;
  }
  chapters::FinderOptions finder;
  if (options.Has("--keyword")) {
    finder.pattern = options.Value("--keyword");
    if (finder.pattern.empty()) return UsageError("chapters", "关键字不能为空");
  }
  if (options.Has("--preset")) {
    if (options.Has("--keyword")) return UsageError("chapters", "-k 与 --preset 只能给出一个");
    std::optional<chapters::PresetSet> presets = chapters::ParsePresetSet(options.Value("--preset"));
    if (!presets) return UsageError("chapters", chapters::kPresetNamesHint + options.Value("--preset"));
    finder.presets = *presets;
  }
  if (options.Has("--encoding") &&
      !ParseEncodingChoice(options.Value("--encoding"), &finder.choice)) {
    return UsageError("chapters",
                      "--encoding 只能是 auto、gbk、gb18030 或 utf-8: " + options.Value("--encoding"));
  }
  if (options.operands().empty()) return UsageError("chapters", "没有给出文件");
  const bool json = options.Has("--json");

  int exit_code = kExitOk;
  for (const std::string& operand : options.operands()) {
    chapters::FileChapters file = chapters::FindChaptersInFile(AbsolutePath(operand), finder);
    if (!file.ok) {
      PrintError(operand + ": " + file.error);
      exit_code = kExitFilesFailed;
      continue;
    }
    const chapters::ChapterList& list = file.list;
    if (!list.pattern_valid) {
      PrintError("关键字不是有效的正则表达式：" + list.pattern_error);
      return kExitUsage;
    }
    if (json) {
      PrintUtf8Line(Json(operand, file));
    } else {
      PrintTable(operand, file, finder.presets != 0);
    }
    if (file.cut_short) PrintError(operand + ": " + file.error);
    if (list.headings.empty() && exit_code == kExitOk) exit_code = kExitCheckFailed;
  }
  return exit_code;
}

}  // namespace travik::cli
