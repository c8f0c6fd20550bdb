#include "ui/desktop_calls.h"

#include <cderr.h>
#include <commdlg.h>
#undef FindText  // the text operation, not the find dialog
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <memory>

#include "ui/win_text.h"

namespace travik::ui {

namespace {

// The dialog's first buffer: 61,440 bytes of names.
constexpr size_t kFirstBufferChars = 61440 / sizeof(wchar_t);

// Browser flags: file-system folders only, not below the domain, status text, edit box,
// validate the typed name, new dialog style.
constexpr UINT kBrowseFlags = 0x77;

struct PidlDeleter {
  void operator()(ITEMIDLIST* pidl) const { CoTaskMemFree(pidl); }
};

}  // namespace

std::vector<std::wstring> SplitDialogSelection(const wchar_t* buffer, size_t size) {
  std::vector<std::wstring> parts;
  size_t i = 0;
  while (i < size && buffer[i] != L'\0') {
    size_t end = i;
    while (end < size && buffer[end] != L'\0') ++end;
    parts.emplace_back(buffer + i, end - i);
    i = end + 1;
  }
  if (parts.size() <= 1) return parts;
  std::wstring folder = parts.front();
  if (folder.back() != L'\\') folder += L'\\';
  std::vector<std::wstring> paths;
  for (size_t k = 1; k < parts.size(); ++k) paths.push_back(folder + parts[k]);
  return paths;
}

std::vector<std::wstring> AskForFiles(const OPENFILENAMEW& settings,
                                      const OpenDialogFunction& show) {
  OPENFILENAMEW dialog = settings;
  size_t capacity = kFirstBufferChars;
  for (;;) {
    std::vector<wchar_t> buffer(capacity, L'\0');
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(capacity);
    DWORD error = 0;
    if (show(dialog, &error)) return SplitDialogSelection(buffer.data(), buffer.size());
    if (error != FNERR_BUFFERTOOSMALL) return {};
    // The dialog leaves the size it needed in the buffer's first WORD, which is itself too small
    // for a huge selection: grow at least twofold, then ask again.
    size_t needed = *reinterpret_cast<const WORD*>(buffer.data());
    capacity = std::max(needed + 2, capacity * 2);
  }
}

std::vector<std::string> SystemDesktopCalls::PickTextFiles(HWND owner, const std::string& title,
                                                           bool multiple) {
  static const wchar_t kFilter[] = L"*.txt\0*.txt\0";  // one (description, pattern) pair
  std::wstring wide_title = Wide(title);
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = kFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrTitle = title.empty() ? nullptr : wide_title.c_str();
  std::string& folder = file_dialog_folders[title];
  const std::wstring wide_folder = Wide(folder);
  if (!folder.empty()) dialog.lpstrInitialDir = wide_folder.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (multiple) dialog.Flags |= OFN_ALLOWMULTISELECT;
  std::vector<std::wstring> chosen = AskForFiles(dialog, [](OPENFILENAMEW& d, DWORD* error) {
    if (GetOpenFileNameW(&d)) return true;
    *error = CommDlgExtendedError();
    return false;
  });

  // Every chosen file, whatever characters its name holds.
  std::vector<std::string> paths;
  for (const std::wstring& wide : chosen) paths.push_back(Utf8(wide));
  if (!chosen.empty()) {
    const size_t cut = chosen.front().find_last_of(L'\\');
    if (cut != std::wstring::npos) folder = Utf8(chosen.front().substr(0, cut));
  }
  return paths;
}

std::string SystemDesktopCalls::BrowseForFolder(HWND owner, const std::string& title) {
  ITEMIDLIST* root_raw = nullptr;
  SHGetFolderLocation(nullptr, CSIDL_DESKTOP, nullptr, 0, &root_raw);
  std::unique_ptr<ITEMIDLIST, PidlDeleter> root(root_raw);

  std::wstring wide_title = Wide(title.empty() ? std::string("请选择文件夹路径") : title);
  wchar_t display_name[MAX_PATH] = {};
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.pidlRoot = root.get();
  info.pszDisplayName = display_name;
  info.lpszTitle = wide_title.c_str();
  info.ulFlags = kBrowseFlags;
  std::unique_ptr<ITEMIDLIST, PidlDeleter> item(SHBrowseForFolderW(&info));
  if (!item) return {};

  wchar_t path[MAX_PATH] = {};
  if (!SHGetPathFromIDListW(item.get(), path)) return {};
  std::string folder = Utf8(path);
  // "C:\" becomes "C:": callers append "\" + name.
  if (folder.size() == 3 && folder[1] == ':' && folder[2] == '\\') folder.pop_back();
  return folder;
}

void SystemDesktopCalls::ShowMessageBox(HWND owner, const std::string& text,
                                        const std::string& caption) {
  MessageBoxW(owner, Wide(text).c_str(), Wide(caption).c_str(), MB_OK | MB_TASKMODAL);
}

int SystemDesktopCalls::TrackPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner) {
  return static_cast<int>(::TrackPopupMenu(menu, flags | TPM_RETURNCMD, x, y, 0, owner, nullptr));
}

void SystemDesktopCalls::ExploreFolder(const std::string& folder) {
  ShellExecuteW(nullptr, L"open", Wide(folder).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

bool SystemDesktopCalls::AskYesNo(HWND owner, const std::string& text,
                                  const std::string& caption) {
  return MessageBoxW(owner, Wide(text).c_str(), Wide(caption).c_str(),
                     MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL) == IDYES;
}

bool SystemDesktopCalls::RecycleFile(const std::string& path) {
  // The list of names ends with an empty name: two terminating zeros.
  std::wstring from = Wide(path);
  from.push_back(L'\0');
  SHFILEOPSTRUCTW operation = {};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  const int failed = SHFileOperationW(&operation);
  return failed == 0 && !operation.fAnyOperationsAborted &&
         GetFileAttributesW(Wide(path).c_str()) == INVALID_FILE_ATTRIBUTES;
}

void SystemDesktopCalls::Pause(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

}  // namespace travik::ui
