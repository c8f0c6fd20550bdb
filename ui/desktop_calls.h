// The calls of the main window that wait for a person or leave the program: file and folder
// dialogs, message boxes, pop-up menus, Explorer and the notice's pause. The program uses the
// real ones; window tests put a scripted fake in their place. Every text and path given and taken
// is UTF-8.
#ifndef TRAVIK_UI_DESKTOP_CALLS_H_
#define TRAVIK_UI_DESKTOP_CALLS_H_

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

// The open dialog's settings (OPENFILENAMEW of <commdlg.h>, which is kept out of this header: its
// FindText macro would rename the text operation of the same name).
struct tagOFNW;

namespace travik::ui {

class DesktopCalls {
 public:
  virtual ~DesktopCalls() = default;

  // Open-file dialog for "*.txt" files, owned by `owner`. Returns the chosen full paths (UTF-8,
  // every name whatever its characters) in the dialog's order; empty when cancelled. `title`
  // empty means the system's default title.
  virtual std::vector<std::string> PickTextFiles(HWND owner, const std::string& title,
                                                 bool multiple) = 0;
  // Folder browser rooted at the desktop. The chosen folder (UTF-8, a drive root without its
  // trailing "\"), or empty when cancelled or when the choice is not a file-system folder.
  virtual std::string BrowseForFolder(HWND owner, const std::string& title) = 0;
  // Task-modal message box with an OK button.
  virtual void ShowMessageBox(HWND owner, const std::string& text, const std::string& caption) = 0;
  // Shows a pop-up menu at screen point (x, y) with TrackPopupMenu `flags` and returns the
  // command chosen, 0 when none.
  virtual int TrackPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner) = 0;
  // Opens the folder in the file manager (ShellExecute "open").
  virtual void ExploreFolder(const std::string& folder) = 0;
  // Waits (on the thread of the job that shows its notice).
  virtual void Pause(int milliseconds) = 0;
  // Task-modal question with Yes and No buttons; true for Yes.
  virtual bool AskYesNo(HWND owner, const std::string& text, const std::string& caption) = 0;
  // Moves a file to the Recycle Bin, where it can be restored from; true when it is gone from
  // its folder.
  virtual bool RecycleFile(const std::string& path) = 0;

  // The folder each open-file dialog (by its title) opens in: where its last choice was.
  std::map<std::string, std::string> file_dialog_folders;
};

// The real calls.
class SystemDesktopCalls : public DesktopCalls {
 public:
  std::vector<std::string> PickTextFiles(HWND owner, const std::string& title,
                                         bool multiple) override;
  std::string BrowseForFolder(HWND owner, const std::string& title) override;
  void ShowMessageBox(HWND owner, const std::string& text, const std::string& caption) override;
  int TrackPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner) override;
  void ExploreFolder(const std::string& folder) override;
  void Pause(int milliseconds) override;
  bool AskYesNo(HWND owner, const std::string& text, const std::string& caption) override;
  bool RecycleFile(const std::string& path) override;
};

// Shows an open-file dialog through `show` (GetOpenFileNameW in the program; it returns false
// and sets *error to CommDlgExtendedError() when the dialog fails or is cancelled) until the
// chosen names fit the buffer: a dialog that reports FNERR_BUFFERTOOSMALL is shown again with a
// buffer at least twice as large and at least as large as it asked for, so that no chosen file
// is dropped. `dialog` holds every setting but the buffer. Returns the chosen full paths, in the
// dialog's order; empty when cancelled or failed.
using OpenDialogFunction = std::function<bool(tagOFNW& dialog, DWORD* error)>;
std::vector<std::wstring> AskForFiles(const tagOFNW& settings, const OpenDialogFunction& show);

// Splits what a multiple-selection open dialog wrote into its buffer ("folder\0name\0name\0\0",
// or "path\0\0" for a single file) into full paths, joined with "\" (a root folder such as
// "C:\" already ends in one).
std::vector<std::wstring> SplitDialogSelection(const wchar_t* buffer, size_t size);

}  // namespace travik::ui

#endif  // TRAVIK_UI_DESKTOP_CALLS_H_
