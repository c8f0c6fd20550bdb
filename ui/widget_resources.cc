#include "ui/widget_resources.h"

#include "ui/resources/resource_ids.h"
#include "ui/widgets.h"

namespace travik::ui {
namespace {

HICON LoadIconResource(int id, int size) {
  // Without LR_SHARED the caller owns the icon, and the best of the stored sizes is scaled.
  return static_cast<HICON>(LoadImageW(WidgetResourceModule(), MAKEINTRESOURCEW(id), IMAGE_ICON,
                                       size, size, LR_DEFAULTCOLOR));
}

}  // namespace

HMODULE WidgetResourceModule() {
  static HMODULE module = [] {
    HMODULE m = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&WidgetResourceModule), &m);
    return m;
  }();
  return module;
}

std::string_view WidgetResourceBytes(int id) {
  HMODULE module = WidgetResourceModule();
  HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));  // RT_RCDATA
  if (!info) return {};
  HGLOBAL loaded = LoadResource(module, info);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return {};
  return std::string_view(static_cast<const char*>(data), SizeofResource(module, info));
}

HICON LoadTravikIcon(int size) {
  if (HICON icon = LoadIconResource(IDI_TRAVIK, size)) return icon;
  return CopyIcon(LoadIconW(nullptr, MAKEINTRESOURCEW(32512)));  // IDI_APPLICATION
}

HICON LoadButtonIcon(int button_number, int size) {
  // 按钮1, 按钮7 and 按钮8 add files; 按钮3 and 按钮6 browse for a folder.
  static constexpr int kIconOfButton[] = {IDI_ADD_FILE,         IDI_MERGE,       IDI_BROWSE,
                                          IDI_START_PROCESSING, IDI_START_SPLIT, IDI_BROWSE,
                                          IDI_ADD_FILE,         IDI_ADD_FILE};
  if (button_number < 1 || button_number > 8) return nullptr;
  return LoadIconResource(kIconOfButton[button_number - 1], size);
}

}  // namespace travik::ui
