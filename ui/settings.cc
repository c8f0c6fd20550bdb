#include "ui/settings.h"

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "files/files.h"
#include "files/save_folder.h"
#include "text/text.h"
#include "ui/handlers.h"
#include "ui/main_window.h"
#include "ui/win_text.h"

namespace travik::ui {

namespace {

// A settings file larger than this is not one of ours.
constexpr size_t kMaxSettingsBytes = 1 << 20;
constexpr int kRecentKeywords = 8;

// Values are kept as they are, one line each, so that a person can read and edit the file (a
// path's backslashes stay backslashes). The boxes are single-line: a value with a line break
// cannot come from them and is not kept.
bool FitsOneLine(std::string_view value) {
  return value.find_first_of("\r\n") == std::string_view::npos;
}

// The file's text as UTF-8: a UTF-16 LE file (with its mark) is converted, a UTF-8 mark dropped.
std::string AsUtf8(std::string bytes) {
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    std::wstring wide((bytes.size() - 2) / 2, L'\0');
    for (size_t i = 0; i < wide.size(); ++i) {
      wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                     static_cast<unsigned char>(bytes[3 + 2 * i]) << 8);
    }
    return Utf8(wide);
  }
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  return bytes;
}

// Controls kept as they were left, by key.
struct KeptControl {
  const char* key;
  ControlId id;
  bool text;  // its text, else its check mark
};
constexpr KeptControl kKeptControls[] = {
    {"split.folder", 编辑框10, true},      {"split.program_folder", 选择框3, false},
    {"split.by_size", 单选框1, false},     {"split.size", 编辑框1, true},
    {"split.by_parts", 单选框2, false},    {"split.parts", 编辑框2, true},
    {"split.by_keyword", 单选框3, false},  {"split.keyword", 编辑框3, true},
    {"split.name_number", 单选框4, false}, {"split.name_keyword", 单选框5, false},
    {"split.name_custom", 单选框6, false}, {"split.custom_text", 编辑框6, true},
    {"split.merge_script", 选择框4, false},
    {"merge.folder", 编辑框4, true},       {"merge.program_folder", 选择框6, false},
    {"merge.delete_sources", 选择框2, false},
    {"insert.text", 编辑框7, true},        {"insert.by_keyword", 标签10, false},
    {"insert.keyword", 编辑框8, true},     {"insert.by_length", 标签11, false},
    {"insert.length", 编辑框9, true},      {"insert.random", 选择框1, false},
    {"insert.keep_original", 选择框5, false}, {"insert.program_folder", 选择框7, false},
};

// The radio groups whose settings are taken only when exactly one member is checked in them.
bool OneChecked(const Settings& settings, std::initializer_list<const char*> keys) {
  int checked = 0;
  for (const char* key : keys) checked += settings.Get(key) == "1" ? 1 : 0;
  return checked == 1;
}

bool IsRadio(const char* key) {
  const std::string k = key;
  return k.find(".by_") != std::string::npos || k.find(".name_") != std::string::npos;
}

}  // namespace

Settings Settings::Load(std::string_view path) {
  Settings settings;
  std::string bytes;
  std::string error;
  const bool read = ReadFileInBlocks(path, 1 << 16, [&bytes](std::string_view block) {
    bytes.append(block);
    return bytes.size() <= kMaxSettingsBytes;
  }, &error);
  if (!read || bytes.size() > kMaxSettingsBytes) return settings;
  const std::string text = AsUtf8(std::move(bytes));
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t equals = line.find('=');
    if (equals == 0 || equals == std::string_view::npos || line[0] == ';' || line[0] == '[') {
      continue;
    }
    settings.values_[std::string(line.substr(0, equals))] = std::string(line.substr(equals + 1));
  }
  return settings;
}

bool Settings::Save(std::string_view path) const {
  const size_t cut = path.find_last_of(kPathSeparator[0]);
  if (cut != std::string_view::npos && !PrepareSaveFolder(path.substr(0, cut)).empty()) {
    return false;
  }
  std::string text = "\xEF\xBB\xBF; Travik\r\n";
  for (const auto& [key, value] : values_) {
    if (FitsOneLine(key) && key.find('=') == std::string::npos && FitsOneLine(value)) {
      text += JoinText(key, "=", value, "\r\n");
    }
  }
  ReplacementFile file(path);
  return file.ok() && file.Append(text) && file.Commit();
}

std::string Settings::Get(std::string_view key, std::string_view fallback) const {
  auto found = values_.find(std::string(key));
  return found == values_.end() ? std::string(fallback) : found->second;
}

void Settings::Set(std::string_view key, std::string_view value) {
  values_[std::string(key)] = std::string(value);
}

std::string SettingsPath() {
  const std::string program = ProgramDirectory();
  if (!program.empty()) {
    const std::string beside = JoinText(program, kPathSeparator, "travik.ini");
    if (FileSizeOf(beside) >= 0) return beside;
  }
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
    return {};
  }
  return JoinText(Utf8(folder), "\\Travik\\travik.ini");
}

void ApplySettings(MainWindow& window, const Settings& settings) {
  const bool split_mode = OneChecked(settings, {"split.by_size", "split.by_parts", "split.by_keyword"});
  const bool naming =
      OneChecked(settings, {"split.name_number", "split.name_keyword", "split.name_custom"}) &&
      !(settings.Get("split.name_keyword") == "1" && settings.Get("split.by_keyword") != "1");
  const bool place = OneChecked(settings, {"insert.by_keyword", "insert.by_length"});
  for (const KeptControl& kept : kKeptControls) {
    if (!settings.Has(kept.key)) continue;
    const std::string value = settings.Get(kept.key);
    if (kept.text) {
      window.SetText(kept.id, value);
      continue;
    }
    if (IsRadio(kept.key)) {
      const std::string key = kept.key;
      const bool group_ok = key.rfind("split.by_", 0) == 0     ? split_mode
                            : key.rfind("split.name_", 0) == 0 ? naming
                                                               : place;
      if (!group_ok) continue;
    }
    window.SetChecked(kept.id, value == "1");
  }
  window.SetEnabled(单选框5, window.Checked(单选框3));
  window.SetEnabled(编辑框6, window.Checked(单选框6));
  window.jobs().insert.output_folder = settings.Get("insert.output_folder");
  // Keywords typed before, after the box's own entries.
  HWND keyword_box = window.Control(编辑框3);
  for (int i = 0; i < kRecentKeywords; ++i) {
    const std::string keyword = settings.Get(JoinText("split.recent_keyword.", NumberToText(i)));
    if (keyword.empty()) continue;
    SendMessageW(keyword_box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(keyword).c_str()));
  }
  for (const char* title : {"选择欲分割的文件", "选择欲合并的文件", "选择欲插入文字的文件"}) {
    const std::string folder = settings.Get(JoinText("dialog.", title));
    if (!folder.empty()) window.desktop().file_dialog_folders[title] = folder;
  }
  // The window where it was, when that is still on a screen.
  const std::string place_text = settings.Get("window.place");
  RECT rect = {};
  if (sscanf(place_text.c_str(), "%ld,%ld,%ld,%ld", &rect.left, &rect.top, &rect.right,
             &rect.bottom) == 4 &&
      rect.right > rect.left && rect.bottom > rect.top &&
      MonitorFromRect(&rect, MONITOR_DEFAULTTONULL) != nullptr) {
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    GetWindowPlacement(window.hwnd(), &placement);
    placement.rcNormalPosition = rect;
    placement.showCmd = IsWindowVisible(window.hwnd()) ? SW_SHOWNORMAL : SW_HIDE;
    SetWindowPlacement(window.hwnd(), &placement);
  }
  RefreshStatusBar(window);
}

Settings CollectSettings(MainWindow& window) {
  Settings settings;
  for (const KeptControl& kept : kKeptControls) {
    settings.Set(kept.key, kept.text ? window.Text(kept.id) : window.Checked(kept.id) ? "1" : "0");
  }
  // A form entry names a form found in the text previewed last; another text read by it next
  // time would have none of its headings, so the next start finds each text's own again.
  if (IsFormEntry(window.Text(编辑框3))) settings.Set("split.keyword", KeywordEntries()[0].text);
  settings.Set("insert.output_folder", window.jobs().insert.output_folder);
  // The keywords typed into the box (not its own entries), latest first.
  HWND keyword_box = window.Control(编辑框3);
  const int count = static_cast<int>(SendMessageW(keyword_box, CB_GETCOUNT, 0, 0));
  std::vector<std::string> recent;
  const std::string typed = window.Text(编辑框3);
  const size_t own = KeywordEntries().size();
  if (!typed.empty() && KeywordChoiceOf(typed).keyword == typed && !KeywordChoiceOf(typed).find_chapters) {
    recent.push_back(typed);
  }
  for (int i = static_cast<int>(own); i < count; ++i) {
    const int length = static_cast<int>(SendMessageW(keyword_box, CB_GETLBTEXTLEN, i, 0));
    if (length <= 0) continue;
    std::wstring entry(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(keyword_box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry.data()));
    entry.resize(static_cast<size_t>(length));
    std::string utf8 = Utf8(entry);
    if (IsFormEntry(utf8)) continue;  // a form of the text last previewed, not a keyword
    if (std::find(recent.begin(), recent.end(), utf8) == recent.end()) recent.push_back(utf8);
  }
  for (int i = 0; i < kRecentKeywords && i < static_cast<int>(recent.size()); ++i) {
    settings.Set(JoinText("split.recent_keyword.", NumberToText(i)), recent[i]);
  }
  for (const auto& [title, folder] : window.desktop().file_dialog_folders) {
    if (!title.empty() && !folder.empty()) settings.Set(JoinText("dialog.", title), folder);
  }
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof(placement);
  if (GetWindowPlacement(window.hwnd(), &placement)) {
    const RECT& r = placement.rcNormalPosition;
    settings.Set("window.place", JoinText(NumberToText(static_cast<int>(r.left)), ",",
                                          NumberToText(static_cast<int>(r.top)), ",",
                                          NumberToText(static_cast<int>(r.right)), ",",
                                          NumberToText(static_cast<int>(r.bottom))));
    settings.Set("window.maximized", placement.showCmd == SW_SHOWMAXIMIZED ? "1" : "0");
  }
  return settings;
}

}  // namespace travik::ui
