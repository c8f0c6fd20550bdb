// travik-job-shots.exe: shows the main window at work for tools/screenshots.sh. It splits a
// generated text of about 60 MB at every chapter and, once the progress bar is a third of the way,
// writes "<out>\running" and waits for "<out>\running.taken"; then it stops that job, splits a
// small text to its end and writes "<out>\finished", waiting for "<out>\finished.taken" before it
// closes. Usage: travik-job-shots.exe <folder for the texts and markers>
#include <windows.h>
// The headers below need the types of windows.h.
#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>

#include <string>

#include "files/file_entry.h"
#include "files/files.h"
#include "text/codepage.h"
#include "text/text.h"
#include "ui/desktop_calls.h"
#include "ui/handlers.h"
#include "ui/main_window.h"
#include "ui/win_text.h"
#ifdef TRAVIK_HAVE_WIDGETS
#include "ui/icon_button.h"
#endif

namespace {

using travik::JoinText;
using travik::NumberToText;
using namespace travik::ui;

constexpr UINT_PTR kStepTimer = 1;

// A GBK novel of about `bytes` bytes.
std::string Chapters(size_t bytes) {
  std::string line, heading, end;
  travik::Utf8ToGbk("山高水长，云深不知处。风起于青萍之末，浪成于微澜之间。\r\n", &line);
  travik::Utf8ToGbk("第", &heading);
  travik::Utf8ToGbk("章 风起\r\n", &end);
  std::string text;
  for (int chapter = 1; text.size() < bytes; ++chapter) {
    text += JoinText(heading, NumberToText(chapter), end);
    for (int i = 0; i < 400; ++i) text += line;
  }
  return text;
}

bool Exists(const std::string& path) { return travik::FileSizeOf(path) >= 0; }

struct Shots {
  MainWindow* window = nullptr;
  std::string folder;
  int step = 0;
};
Shots shots;

void Click(ControlId id) { SendMessageW(shots.window->Control(id), BM_CLICK, 0, 0); }

// Starts a keyword split of `source` into `out`.
void StartSplit(const std::string& source, const std::string& out) {
  MainWindow& window = *shots.window;
  window.DeleteAllRows(超级列表框1);
  window.AppendRow(超级列表框1, travik::MakeSplitEntry(source));
  travik::MakeDirectory(out);
  window.SetText(编辑框10, out);
  RefreshStatusBar(window);
  Click(按钮5);
}

void CALLBACK Step(HWND, UINT, UINT_PTR, DWORD) {
  MainWindow& window = *shots.window;
  const std::string running = JoinText(shots.folder, "\\running");
  const std::string finished = JoinText(shots.folder, "\\finished");
  switch (shots.step) {
    case 0:  // the large job, a third of the way
      if (window.runner().progress() < 330) return;
      travik::WriteWholeFile(running, "");
      shots.step = 1;
      return;
    case 1:
      if (!Exists(running + ".taken")) return;
      window.runner().RequestStop();
      shots.step = 2;
      return;
    case 2:  // stopped: a small job to its end
      if (window.runner().running()) return;
      StartSplit(JoinText(shots.folder, "\\第一卷.txt"), JoinText(shots.folder, "\\分割后的文件"));
      shots.step = 3;
      return;
    case 3:
      if (window.runner().running()) return;
      travik::WriteWholeFile(finished, "");
      shots.step = 4;
      return;
    default:
      if (Exists(finished + ".taken")) DestroyWindow(window.hwnd());
      return;
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc < 2) return 2;
  shots.folder = Utf8(argv[1]);
  LocalFree(argv);

  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_TAB_CLASSES |
                                                         ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  OleInitialize(nullptr);
#ifdef TRAVIK_HAVE_WIDGETS
  ButtonFont();
#endif
  const std::string big = JoinText(shots.folder, "\\长篇小说全集.txt");
  travik::WriteWholeFile(big, Chapters(60u << 20));
  travik::WriteWholeFile(JoinText(shots.folder, "\\第一卷.txt"), Chapters(3u << 20));

  SystemDesktopCalls desktop;
  MainWindow window(desktop);
  if (!window.Create(instance, /*quit_on_destroy=*/true)) return 1;
  shots.window = &window;
  ShowWindow(window.hwnd(), show_command);
  UpdateWindow(window.hwnd());
  SendMessageW(window.Control(单选框3), BM_CLICK, 0, 0);
  window.SetText(编辑框3, "第[0-9]+章");
  StartSplit(big, JoinText(shots.folder, "\\分割后的文件"));
  SetTimer(nullptr, kStepTimer, 50, Step);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (window.hwnd() != nullptr && IsDialogMessageW(window.hwnd(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  OleUninitialize();
  return 0;
}
