#include "ui/keyword_box.h"

namespace travik::ui {

namespace {

using namespace chapters;

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
    if (box_text == entry.text) return {true, entry.presets, {}};
  }
  return {false, 0, std::string(box_text)};
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
