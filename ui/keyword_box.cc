#include "ui/keyword_box.h"

#include "text/text.h"

namespace travik::ui {

namespace {

using namespace chapters;

constexpr char kFormPrefix[] = "格式：";
constexpr char kFormCountEnd[] = " 个）";

constexpr KeywordEntry kEntries[] = {
    {"自动识别章节", "自动识别", 0},
    {"章节：第X章/回/节/话", "章节", kPresetChapter},
    {"卷：第X卷/部/集/篇", "卷", kPresetVolume},
    {"英文：Chapter N", "英文", kPresetEnglish},
    {"编号：001 标题", "编号", kPresetNumbered},
    {"番外/序章/尾声…", "番外", kPresetExtra},
    {"标题：空行之间的短行", "标题", kPresetTitles},
};

}  // namespace

Table<KeywordEntry> KeywordEntries() { return kEntries; }

KeywordChoice KeywordChoiceOf(std::string_view box_text) {
  for (const KeywordEntry& entry : kEntries) {
    if (box_text == entry.text) return {true, entry.presets, {}, {}};
  }
  if (IsFormEntry(box_text)) {
    // The shape lies between the prefix and the count's "（" (a shape may hold one of its own:
    // "…（#）").
    std::string_view rest = box_text.substr(sizeof(kFormPrefix) - 1);
    rest = rest.substr(0, rest.rfind("（"));
    return {true, 0, {}, std::string(rest)};
  }
  return {false, 0, std::string(box_text), {}};
}

std::string FormEntryText(const FoundForm& form) {
  return JoinText(kFormPrefix, form.shape, "（", NumberToText(static_cast<int>(form.count)),
                  kFormCountEnd);
}

bool IsFormEntry(std::string_view text) {
  const std::string_view prefix = kFormPrefix, end = kFormCountEnd;
  if (text.size() <= prefix.size() + end.size() || text.substr(0, prefix.size()) != prefix ||
      text.substr(text.size() - end.size()) != end) {
    return false;
  }
  const size_t open = text.rfind("（");
  if (open == std::string_view::npos || open <= prefix.size()) return false;
  const std::string_view count =
      text.substr(open + 3, text.size() - end.size() - open - 3);  // "（" is 3 bytes
  return !count.empty() && count.find_first_not_of("0123456789,") == std::string_view::npos;
}

std::string FormLineText(const FoundForm& form) {
  return JoinText(form.shape, "　", NumberToText(static_cast<int>(form.count)), " 个标题，编号连续 ",
                  NumberToText(static_cast<int>(form.in_step)), "/",
                  NumberToText(static_cast<int>(form.count)));
}

std::string PresetSetLabel(PresetSet presets) {
  std::string label;
  for (const KeywordEntry& entry : kEntries) {
    if (entry.presets == 0 || (presets & entry.presets) == 0) continue;
    if (!label.empty()) label += "＋";
    label += entry.short_name;
  }
  return label;
}

}  // namespace travik::ui
