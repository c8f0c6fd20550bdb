// The option controls of the split and insert pages: radio rules, value boxes that select their
// mode when pressed, the hints, and the numeric boxes.
#include <windows.h>
// The headers below need the types of windows.h.
#include <commctrl.h>
#include <imm.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>
#include <regex>
#include <string>

#include "ui/handlers.h"
#include "ui/win_text.h"
#include "ui/window_test_fixture.h"

namespace travik::ui::testing {
namespace {

using OptionsTest = WindowTest;

// The balloon's text, or "" while it is not showing.
std::string HintShown(MainWindow& window) {
  if (!IsWindowVisible(window.hint_window())) return "";
  wchar_t text[256] = {};
  TTTOOLINFOW tool = {};
  tool.cbSize = sizeof(tool);
  tool.hwnd = window.hwnd();
  tool.uId = kHintToolId;
  tool.lpszText = text;
  SendMessageW(window.hint_window(), TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
  return Utf8(text);
}

TEST_F(OptionsTest, KeywordNamingIsChoosableExactlyInKeywordMode) {
  EXPECT_FALSE(window().Enabled(单选框5));
  Click(单选框5);  // disabled: the click goes nowhere
  EXPECT_FALSE(window().Checked(单选框5));

  Click(单选框3);
  EXPECT_TRUE(window().Checked(单选框3));
  EXPECT_FALSE(window().Checked(单选框1));
  EXPECT_TRUE(window().Enabled(单选框5));
  Click(单选框1);
  EXPECT_FALSE(window().Enabled(单选框5));
  Click(单选框3);
  EXPECT_TRUE(window().Enabled(单选框5));
  Click(单选框2);
  EXPECT_TRUE(window().Checked(单选框2));
  EXPECT_FALSE(window().Enabled(单选框5));
  EXPECT_FALSE(window().Checked(单选框1) || window().Checked(单选框3));
}

TEST_F(OptionsTest, PressingAValueBoxSelectsItsModeAndShowsItsHint) {
  Click(单选框3);
  Click(单选框5);
  EXPECT_TRUE(window().Checked(单选框5));
  EXPECT_FALSE(window().Checked(单选框4));

  MouseDown(编辑框1);
  EXPECT_TRUE(window().Checked(单选框1));
  EXPECT_FALSE(window().Checked(单选框2) || window().Checked(单选框3));
  EXPECT_TRUE(window().Checked(单选框5)) << "a checked 单选框5 stays checked while disabled";
  EXPECT_FALSE(window().Enabled(单选框5));
  EXPECT_EQ(HintShown(window()), "如果输入的数值小于软件自身，则不进行分割");
  EXPECT_EQ(GetFocus(), Hwnd(编辑框1)) << "the box's own click handling still runs";

  MouseDown(编辑框2);
  EXPECT_TRUE(window().Checked(单选框2));
  EXPECT_FALSE(window().Checked(单选框1) || window().Checked(单选框3));
  EXPECT_FALSE(window().Enabled(单选框5));
  EXPECT_EQ(HintShown(window()), "") << "the part count box has no hint";

  MouseDown(编辑框3);
  EXPECT_TRUE(window().Checked(单选框3));
  EXPECT_FALSE(window().Checked(单选框1) || window().Checked(单选框2));
  EXPECT_TRUE(window().Enabled(单选框5));
  EXPECT_EQ(HintShown(window()), "支持正则表达式匹配，具体参考正则表达式");

  // The balloon closes by itself.
  SendMessageW(window().hwnd(), WM_TIMER, kHintTimer, 0);
  EXPECT_EQ(HintShown(window()), "");

  ClickTab(2);
  MouseDown(编辑框8);
  EXPECT_EQ(HintShown(window()), "支持正则表达式匹配，具体参考正则表达式");
  MouseDown(编辑框9);
  EXPECT_EQ(HintShown(window()), "如果输入的数值大于文件实际长度，则不执行");
  MouseDown(编辑框7);
  EXPECT_EQ(HintShown(window()), "") << "the text to insert shows nothing";
  // The insert page's boxes do not touch the split modes.
  EXPECT_TRUE(window().Checked(单选框3));
}

TEST_F(OptionsTest, NamingGroupKeepsExactlyOneChecked) {
  // A disabled but checked 单选框5 is unchecked when another naming radio is chosen.
  Click(单选框3);
  Click(单选框5);
  MouseDown(编辑框1);
  ASSERT_TRUE(window().Checked(单选框5));
  Click(单选框4);
  EXPECT_TRUE(window().Checked(单选框4));
  EXPECT_FALSE(window().Checked(单选框5));
  EXPECT_FALSE(window().Checked(单选框6));
  Click(单选框6);
  EXPECT_FALSE(window().Checked(单选框4));
  EXPECT_TRUE(window().Checked(单选框6));
  // The naming group leaves the split modes alone.
  EXPECT_TRUE(window().Checked(单选框1));
}

TEST_F(OptionsTest, CustomTextBoxEmptiesOnlyTheDefaultText) {
  EXPECT_FALSE(window().Enabled(编辑框6));
  MouseDown(编辑框6);  // disabled: nothing happens
  EXPECT_EQ(window().Text(编辑框6), "自定义内容");

  Click(单选框6);
  EXPECT_TRUE(window().Enabled(编辑框6));
  EXPECT_EQ(GetFocus(), Hwnd(编辑框6));
  MouseDown(编辑框6);
  EXPECT_EQ(window().Text(编辑框6), "");
  Type(编辑框6, L"第");
  MouseDown(编辑框6);
  EXPECT_EQ(window().Text(编辑框6), "第");
  window().SetText(编辑框6, "");
  Type(编辑框6, L"自定义内容");
  MouseDown(编辑框6);
  EXPECT_EQ(window().Text(编辑框6), "");
  window().SetText(编辑框6, "自定义内容x");
  MouseDown(编辑框6);
  EXPECT_EQ(window().Text(编辑框6), "自定义内容x");
  // Choosing another naming radio leaves the box as it is.
  Click(单选框4);
  EXPECT_TRUE(window().Enabled(编辑框6));
}

TEST_F(OptionsTest, NumericBoxesTakeDigitsAndMinusAndNormaliseOnFocusLoss) {
  for (ControlId box : {编辑框1, 编辑框2}) {
    SCOPED_TRACE(box);
    MouseDown(box);
    Type(box, L"a1b-2 c3\x00BD\x4E00.");
    EXPECT_EQ(window().Text(box), "1-23");
    Type(box, L"\b");  // control characters pass
    EXPECT_EQ(window().Text(box), "1-2");
    Focus(编辑框3);
    EXPECT_EQ(window().Text(box), "1");
  }
  ClickTab(2);
  MouseDown(编辑框9);
  Type(编辑框9, L"x007");
  EXPECT_EQ(window().Text(编辑框9), "007");
  Focus(编辑框8);
  EXPECT_EQ(window().Text(编辑框9), "7");
  // Other boxes take any text.
  Type(编辑框8, L"a+b");
  EXPECT_EQ(window().Text(编辑框8), "a+b");
  // Characters from an input method are typed characters too: the numeric boxes take no
  // composition at all (the edit would insert its result itself), and a character that an input
  // method sends on arrives as a key and is filtered like one.
  for (ControlId box : {编辑框1, 编辑框2, 编辑框9}) {
    SCOPED_TRACE(box);
    if (window().CurrentPage() != PageOf(box)) ClickTab(PageOf(box));
    window().SetText(box, "5");
    MouseDown(box);
    SendMessageW(Hwnd(box), WM_IME_CHAR, L'\x4E2D', 1);
    SendMessageW(Hwnd(box), WM_IME_CHAR, L'a', 1);
    SendMessageW(Hwnd(box), WM_IME_CHAR, L'6', 1);
    Pump();
    EXPECT_NE(window().Text(box).find('6'), std::string::npos);
    EXPECT_EQ(window().Text(box).find('a'), std::string::npos) << window().Text(box);
    EXPECT_EQ(window().Text(box).size(), 2u) << window().Text(box);
    HIMC context = ImmGetContext(Hwnd(box));
    EXPECT_EQ(context, nullptr);
    if (context != nullptr) ImmReleaseContext(Hwnd(box), context);
  }
  // The text boxes keep their input method.
  HIMC context = ImmGetContext(Hwnd(编辑框8));
  EXPECT_NE(context, nullptr);
  if (context != nullptr) ImmReleaseContext(Hwnd(编辑框8), context);
  SendMessageW(Hwnd(编辑框8), WM_IME_CHAR, L'\x4E2D', 1);
  Pump();
  EXPECT_EQ(window().Text(编辑框8), "a+b中");
  window().SetText(编辑框8, "a+b");

  // Typed text, then focus elsewhere on the same page.
  struct Case {
    ControlId box;
    ControlId elsewhere;
    const char* typed;
    const char* normal;
  };
  const Case cases[] = {
      {编辑框9, 编辑框8, "007", "7"},
      {编辑框9, 编辑框8, "-", ""},
      {编辑框9, 编辑框8, "0", ""},
      {编辑框9, 编辑框8, "-0", ""},
      {编辑框9, 编辑框8, "12-3", "12"},
      {编辑框9, 编辑框8, "--5", ""},
      {编辑框9, 编辑框8, "-42", "-42"},
      {编辑框9, 编辑框8, "99999999999", "99999999999"},
      // Out of range stays as typed: the job names the range instead of using another number.
      {编辑框9, 编辑框8, "99999999999999999999", "99999999999999999999"},
      {编辑框9, 编辑框8, "-99999999999999999999", "-99999999999999999999"},
      {编辑框2, 编辑框3, "99999999999", "99999999999"},
      {编辑框2, 编辑框3, "-99999999999", "-99999999999"},
      {编辑框2, 编辑框3, "002147483648", "2147483648"},
      {编辑框1, 编辑框3, "99999999999", "99999999999"},
      {编辑框1, 编辑框3, "0100", "100"},
  };
  for (const Case& c : cases) {
    if (window().CurrentPage() != PageOf(c.box)) ClickTab(PageOf(c.box));
    window().SetText(c.box, c.typed);
    Focus(c.box);
    Focus(c.elsewhere);
    EXPECT_EQ(window().Text(c.box), c.normal) << c.typed;
  }

  // The caret stays where it was.
  window().SetText(编辑框1, "12-3");
  Focus(编辑框1);
  SendMessageW(Hwnd(编辑框1), EM_SETSEL, 1, 1);
  Focus(编辑框3);
  DWORD start = 0, end = 0;
  SendMessageW(Hwnd(编辑框1), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(window().Text(编辑框1), "12");
  EXPECT_EQ(start, 1u);
  EXPECT_EQ(end, 1u);
}

// The literal reading: strtoll's saturation, then the 32-bit clamp, 0 written as nothing.
// The leading integer as std::regex reads it, leading zeros dropped.
std::string ModelNumberText(const std::string& text) {
  std::smatch match;
  static const std::regex kLeading(R"(^[ \t\n\v\f\r]*([+-]?)0*([0-9]*))");
  std::regex_search(text, match, kLeading);
  if (match[2].length() == 0) return {};
  return (match[1] == "-" ? "-" : "") + match[2].str();
}

TEST(NormalisedNumberText, KeepsEveryDigitOfTheLeadingIntegerOnRandomTexts) {
  const std::string alphabet = " \t\n+-0123456789x.";
  for (unsigned seed = 1; seed <= 4; ++seed) {
    std::mt19937 rng(seed);
    for (int i = 0; i < 5000; ++i) {
      std::string text;
      size_t length = rng() % 24;
      for (size_t k = 0; k < length; ++k) text += alphabet[rng() % alphabet.size()];
      // Long runs of digits go past the 64-bit limits.
      if (rng() % 4 == 0) text += std::string(rng() % 25, static_cast<char>('0' + rng() % 10));
      ASSERT_EQ(NormalisedNumberText(text), ModelNumberText(text))
          << "seed " << seed << " case " << i << " text '" << text << "'";
    }
  }
  // Never the largest 64-bit number in place of what was typed (the box would show its tail).
  EXPECT_EQ(NormalisedNumberText("99999999999999999999"), "99999999999999999999");
  EXPECT_EQ(NormalisedNumberText("-9223372036854775809"), "-9223372036854775809");
  EXPECT_EQ(NormalisedNumberText("  +0012abc"), "12");
  EXPECT_EQ(NormalisedNumberText("000"), "");
}

}  // namespace
}  // namespace travik::ui::testing
