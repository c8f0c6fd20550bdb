// travik chapters: the headings the chapter finder sees in each file, and its warnings. Writes no
// file: a person checks here what `travik split --chapters` will cut.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "chapters/chapter_finder.h"
#include "cli/cli_common.h"
#include "files/files.h"
#include "text/encoding.h"

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
    "      --encoding 编码    文件的编码: auto（默认，自动识别）、gbk、gb18030、utf-8、big5\n"
    "      --json             每个文件输出一行 JSON（UTF-8）\n"
    "文件中间的 0x1A 控制字符是文本的一部分，原样保留并给出警告（第 N 字节，从 1 数起）；\n"
    "含 0x00 字节的文件不是文本，整个不处理；文件末尾的 0x00/0x1A 填充字节略去并给出警告。\n"
    "  -h, --help             显示本帮助\n"
    "\n"
    "标题形式（整行是标题；行首可有空格或全角空格；句子不是标题）:\n"
    "  chapter   第X章 第X回 第X节 第X话，可带标题      例: 第一百零三章 风起\n"
    "  volume    第X卷 第X部 第X集 第X篇（卷标题后章节号可重新从 1 开始）  例: 第二卷 江湖\n"
    "  english   Chapter N / CHAPTER N，可带标题       例: Chapter 12: The Storm\n"
    "  numbered  编号行                                例: 001 标题、12、标题、12. 标题\n"
    "  extra     序章 序言 楔子 引子 正文 尾声 后记 终章 番外N 完本感言（含繁体）  例: 番外三 重逢\n"
    "  titles    空行之间不带编号的短标题（只在指定时使用，不自动识别）\n"
    "  X 可以是阿拉伯数字、全角数字或中文数字（一百零三、两百、壹佰零伍、一百十、廿一）。\n"
    "自动识别时还认得: 第X章后带 、 . —— 或直接接标题，【第X章】 〖第X章〗 # 第X章 ☆、第X章，\n"
    "chapter.001，186：标题，一、标题，01章 标题，单独一行的数字、（一）或 12.，标题（12），\n"
    "卷一 标题，以及因丢失换行而接在上一段句末的 第X章。每种形式按编号是否连贯来取舍，\n"
    "编号不连贯的行（正文、比分、章节内的编号列表）不算。\n"
    "\n"
    "警告: gap 章节号跳过、repeat 重复、back 无卷标题时倒退、short/long 章节小于中位数的\n"
    "1/20 或大于 20 倍、none 没有找到标题（可改为按大小分割）。\n"
    "\n"
    "示例:\n"
    "  travik chapters 小说.txt\n"
    "  travik chapters --preset chapter+volume --json 小说.txt > 目录.json\n"
    "  travik chapters -k \"^第.{1,9}章\" 小说.txt\n"
    "\n"
    "输出到控制台时显示为字符；重定向到文件或管道时为 UTF-8 文本。\n"
    "\n"
    "退出码: 0 每个文件都找到了标题；1 有文件没有找到标题；2 用法错误；3 有文件无法读取";

// A JSON string literal of UTF-8 text. A byte that begins no well-formed character (a POSIX path
// is any bytes) becomes U+FFFD: the line stays valid JSON.
std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  const char* const end = utf8.data() + utf8.size();
  for (const char* p = utf8.data(); p < end;) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c >= 0x80) {
      const size_t n = Utf8SequenceLength(p, end);
      if (n == 0) {
        out += "\uFFFD";  // the character itself, as UTF-8
        ++p;
      } else {
        out.append(p, n);
        p += n;
      }
      continue;
    }
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
    ++p;
  }
  return out + "\"";
}

std::string Json(const std::string& path, const chapters::FileChapters& file) {
  using chapters::Heading;
  using chapters::Warning;
  const chapters::ChapterList& list = file.list;
  std::string out = "{\"file\":" + JsonString(path) + ",\"encoding\":\"" +
                    EncodingName(file.encoding) + "\",\"pattern\":" + JsonString(list.pattern) +
                    ",\"chapters\":[";
  for (size_t i = 0; i < list.headings.size(); ++i) {
    const Heading& h = list.headings[i];
    if (i > 0) out += ',';
    // A cut at the text's start is made before its byte-order mark; the heading begins after it.
    const int64_t offset = h.offset == 0 ? list.mark : h.offset;
    out += "{\"line\":" + std::to_string(h.line) + ",\"offset\":" + std::to_string(offset) +
           ",\"title\":" + JsonString(h.title) + ",\"number\":" +
           (h.number ? std::to_string(*h.number) : std::string("null")) + ",\"kind\":\"" +
           chapters::HeadingKindName(h.kind) + "\",\"bytes\":" + std::to_string(h.bytes) + "}";
  }
  out += "],\"warnings\":[";
  for (size_t i = 0; i < list.warnings.size(); ++i) {
    const Warning& w = list.warnings[i];
    if (i > 0) out += ',';
    out += "{\"kind\":\"" + std::string(chapters::WarningKindName(w.kind)) +
           "\",\"line\":" + std::to_string(w.line) + ",\"text\":" + JsonString(w.text) + "}";
  }
  return out + "]}";
}

// The columns a code point takes in a terminal: 2 for the wide characters of East Asian scripts,
// full-width forms and emoji, 1 for the rest (Latin, Greek, Cyrillic, half-width forms). Close
// enough to line up a table of titles; a terminal may differ on a rare character.
size_t CodePointColumns(uint32_t c) {
  if (c < 0x1100) return 1;
  if (c <= 0x115F) return 2;                    // Hangul leading consonants
  if (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) return 2;  // CJK, kana, Yi
  if (c >= 0xAC00 && c <= 0xD7A3) return 2;     // Hangul syllables
  if (c >= 0xF900 && c <= 0xFAFF) return 2;     // compatibility ideographs
  if (c >= 0xFE30 && c <= 0xFE4F) return 2;     // CJK compatibility forms
  if (c >= 0xFF00 && c <= 0xFF60) return 2;     // full-width forms
  if (c >= 0xFFE0 && c <= 0xFFE6) return 2;
  if (c >= 0x1F300 && c <= 0x1FAFF) return 2;   // emoji and pictographs
  if (c >= 0x20000 && c <= 0x3FFFD) return 2;   // ideographs beyond the first plane
  if (c == 0x2026 || c == 0x2014 || c == 0x201C || c == 0x201D || c == 0x2018 || c == 0x2019 ||
      c == 0x00B7) {
    return 2;  // … — “ ” ‘ ’ as Chinese text sets them
  }
  return 1;
}

// The byte length and columns of the UTF-8 character at p (p < end); a byte that begins no
// well-formed character is one byte and one column.
void NextCharacter(const char* p, const char* end, size_t* bytes, size_t* columns) {
  const unsigned char c = static_cast<unsigned char>(*p);
  *bytes = c < 0x80 ? 1 : Utf8SequenceLength(p, end);
  if (*bytes <= 1) {
    *bytes = 1;
    *columns = 1;
    return;
  }
  uint32_t code = c & (0xFF >> (*bytes + 1));
  for (size_t k = 1; k < *bytes; ++k) code = code << 6 | (static_cast<unsigned char>(p[k]) & 0x3F);
  *columns = CodePointColumns(code);
}

// The columns a UTF-8 text takes.
size_t Columns(std::string_view utf8) {
  const char* const end = utf8.data() + utf8.size();
  size_t columns = 0;
  for (const char* p = utf8.data(); p < end;) {
    size_t bytes, wide;
    NextCharacter(p, end, &bytes, &wide);
    p += bytes;
    columns += wide;
  }
  return columns;
}

// A UTF-8 text padded with spaces to `width` columns, or cut between characters with "…" (two
// columns) when longer.
std::string Column(std::string_view utf8, size_t width) {
  const size_t columns = Columns(utf8);
  if (columns <= width) return std::string(utf8) + std::string(width - columns, ' ');
  const char* const end = utf8.data() + utf8.size();
  size_t cut = 0, used = 0;
  while (utf8.data() + cut < end) {
    size_t bytes, wide;
    NextCharacter(utf8.data() + cut, end, &bytes, &wide);
    if (used + wide > width - 2) break;
    cut += bytes;
    used += wide;
  }
  std::string out(utf8.substr(0, cut));
  out += "…";
  return out + std::string(width - used - 2, ' ');
}

// A UTF-8 text after spaces that fill `width` columns.
std::string Right(const std::string& text, size_t width) {
  const size_t columns = Columns(text);
  return columns >= width ? text : std::string(width - columns, ' ') + text;
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
             Column(h.title, 44) + Right(std::to_string(h.bytes), 12) + "  " +
             (mark == marks.end() ? std::string() : mark->second);
  }
  for (const chapters::Warning& w : list.warnings) {
    if (w.line == 0) table += "\n  ! " + w.text;
  }
  if (list.headings.empty()) {
    // The warning says it already, and no form was used.
  } else {
    table += "\n  共 " + std::to_string(list.headings.size()) + " 个标题，" +
             std::to_string(list.warnings.size()) + " 个警告（" +
             (!list.presets && !list.pattern.empty() && list.form.empty() ? "关键字: " + list.pattern
              : named ? "标题形式: " + list.pattern
                      : "自动识别: " + list.form) +
             "）";
  }
  if (list.cut_short) table += "；正则表达式过于复杂，只找到了一部分";
  PrintOut(table);
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
  const std::string typed = TypedTextProblem(options, {"--keyword"});
  if (!typed.empty()) return UsageError("chapters", typed);
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
                      "--encoding 只能是 auto、gbk、gb18030、utf-8 或 big5: " + options.Value("--encoding"));
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
      PrintOut(Json(operand, file));
    } else {
      PrintTable(operand, file, finder.presets != 0);
    }
    if (file.cut_short) PrintError(operand + ": " + file.error);
    for (const std::string& note : file.notes) PrintError("警告: " + operand + ": " + note);
    if (list.headings.empty() && exit_code == kExitOk) exit_code = kExitCheckFailed;
  }
  return exit_code;
}

}  // namespace travik::cli
