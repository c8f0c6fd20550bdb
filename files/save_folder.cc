#include "files/save_folder.h"

#include <vector>

#include "files/file_entry.h"
#include "files/files.h"
#include "text/text.h"

namespace travik {

namespace {

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

// The path without trailing separators, keeping a root ("/", "C:\") whole.
std::string WithoutTrailingSeparators(std::string_view path) {
  std::string trimmed(path);
  while (trimmed.size() > 1 && IsSeparator(trimmed.back())) {
#ifdef _WIN32
    if (trimmed.size() == 3 && trimmed[1] == ':') break;
#endif
    trimmed.pop_back();
  }
  return trimmed;
}

// The folder that holds `path`, or empty when it names no parent (a root or a bare name).
std::string ParentOf(const std::string& path) {
  size_t end = path.size();
  while (end > 0 && !IsSeparator(path[end - 1])) --end;
  if (end == 0) return {};
  size_t cut = end;
  while (cut > 0 && IsSeparator(path[cut - 1])) --cut;
  if (cut == 0) return path.substr(0, end);  // "/name": the root
#ifdef _WIN32
  if (cut == 2 && path[1] == ':') return path.substr(0, 3);  // "C:\name"
#endif
  return path.substr(0, cut);
}

}  // namespace

std::string PrepareSaveFolder(std::string_view folder) {
  const std::string path = WithoutTrailingSeparators(folder);
  if (path.empty()) return "未指定保存目录";
  if (!PathIsRepresentable(path)) return JoinText("保存目录的名称无法使用：", path);
  // The missing levels, deepest first, up to the first that is there.
  std::vector<std::string> missing;
  for (std::string level = path; !level.empty() && !FolderExists(level);
       level = ParentOf(level)) {
#ifdef _WIN32
    // Windows takes such a level for the device: the pieces would go to NUL or a port.
    if (const std::string name = FileNamePart(level); IsDeviceName(name)) {
      return JoinText("保存目录无法使用：", DeviceNameProblem(name));
    }
#endif
    if (FileSizeOf(level) >= 0) {
      return JoinText("保存目录无法使用：", level, " 是文件，不是文件夹");
    }
    missing.push_back(level);
    if (ParentOf(level) == level) break;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (MakeDirectory(*it) || FolderExists(*it)) continue;
    const std::string parent = ParentOf(*it);
    return JoinText("无法创建保存目录 ", *it, "（",
                    parent.empty() || FolderExists(parent) ? "没有权限，或磁盘不可写"
                                                           : "所在的驱动器或上级目录不存在",
                    "）");
  }
  return {};
}

}  // namespace travik
