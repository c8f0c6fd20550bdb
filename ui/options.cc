// The option controls of the split and insert pages: the radio rules, the value boxes that
// select their split mode when pressed, the numeric boxes, and the balloon hints.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "text/text.h"
#include "ui/handlers.h"
#include "ui/main_window.h"

namespace travik::ui {

namespace {

constexpr ControlId kSplitModeRadios[] = {单选框1, 单选框2, 单选框3};

// Checks `radio` and unchecks the other split-mode radios.
void SelectSplitMode(MainWindow& window, ControlId radio) {
  for (ControlId other : kSplitModeRadios) window.SetChecked(other, other == radio);
  window.SetEnabled(单选框5, radio == 单选框3);
}

const char* HintFor(ControlId edit) {
  switch (edit) {
    case 编辑框1:
      return "如果输入的数值小于软件自身，则不进行分割";
    case 编辑框3:
    case 编辑框8:
      return "支持正则表达式匹配，具体参考正则表达式";
    case 编辑框9:
      return "如果输入的数值大于文件实际长度，则不执行";
    default:
      return nullptr;
  }
}

}  // namespace

void SelectInsertPlace(MainWindow& window, ControlId edit) {
  window.SetChecked(标签10, edit == 编辑框8);
  window.SetChecked(标签11, edit == 编辑框9);
}

void OnSplitModeClicked(MainWindow& window, ControlId radio) {
  if (radio == 单选框3) {
    window.SetEnabled(单选框5, window.Checked(单选框3));
  } else if (window.Checked(radio)) {
    window.SetEnabled(单选框5, false);
  }
}

void OnCustomNamingClicked(MainWindow& window) {
  window.SetEnabled(编辑框6, true);
  SetFocus(window.Control(编辑框6));
}

void KeepRadioGroup(MainWindow& window, ControlId radio) {
  RadioGroup group = LayoutOf(radio).radio_group;
  if (group == kNoRadioGroup || !window.Checked(radio)) return;
  // Auto radio buttons leave a disabled member of the group checked; the group must not.
  for (const ControlLayout& row : Controls()) {
    if (row.radio_group == group && row.id != radio) window.SetChecked(row.id, false);
  }
}

void OnEditMouseDown(MainWindow& window, ControlId edit) {
  window.HideHint();
  switch (edit) {
    case 编辑框1:
      SelectSplitMode(window, 单选框1);
      break;
    case 编辑框2:
      SelectSplitMode(window, 单选框2);
      break;
    case 编辑框3:
      SelectSplitMode(window, 单选框3);
      break;
    case 编辑框8:
    case 编辑框9:
      SelectInsertPlace(window, edit);
      break;
    case 编辑框6:
      if (window.Text(编辑框6) == "自定义内容") window.SetText(编辑框6, "");
      break;
    default:
      break;
  }
  if (const char* hint = HintFor(edit)) window.ShowHint(hint);
}

void OnKeywordListUsed(MainWindow& window) {
  window.HideHint();
  SelectSplitMode(window, 单选框3);
}

bool AcceptsNumberChar(wchar_t c) { return c < 32 || c == L'-' || (c >= L'0' && c <= L'9'); }

std::string NormalisedNumberText(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  while (i < text.size() && text[i] == '0') ++i;
  const size_t first = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  // The digits as typed, however many: a number out of range stays visible for the job's check
  // to name the range, rather than turning into the largest number the box could hold.
  if (i == first) return {};
  return JoinText(negative ? "-" : "", text.substr(first, i - first));
}

void NormaliseNumberBox(MainWindow& window, ControlId edit) {
  std::string text = window.Text(edit);
  std::string normal = NormalisedNumberText(text);
  if (normal == text) return;
  HWND box = window.Control(edit);
  DWORD start = 0, end = 0;
  SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  window.SetText(edit, normal);
  SendMessageW(box, EM_SETSEL, start, end);  // the edit clamps a caret past the new end
}

}  // namespace travik::ui
