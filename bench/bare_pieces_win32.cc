// The floor a split into many pieces is measured against on Windows: the same pieces as
// `split --keyword` cuts (a piece begins at each line that begins with the keyword's bytes, the
// text before the first such line is a piece of its own), written by nothing but CreateFileW,
// WriteFile and CloseHandle, one after the other, as "<n>.txt" in an empty folder.
// Usage: bare_pieces_win32 <source> <folder> <keyword bytes, UTF-8 for the command line>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: bare_pieces_win32 source folder keyword\n");
    return 2;
  }
  // The keyword as the text's bytes: the bench's text is GBK (code page 936).
  const wchar_t* keyword_wide = argv[3];
  char keyword[64];
  const int keyword_length = WideCharToMultiByte(936, 0, keyword_wide, -1, keyword,
                                                 sizeof keyword, nullptr, nullptr) - 1;
  if (keyword_length <= 0) return 2;
  HANDLE in = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                          nullptr);
  if (in == INVALID_HANDLE_VALUE) return 1;
  LARGE_INTEGER size;
  GetFileSizeEx(in, &size);
  std::string text(static_cast<size_t>(size.QuadPart), '\0');
  DWORD got = 0;
  if (!ReadFile(in, text.data(), static_cast<DWORD>(text.size()), &got, nullptr) ||
      got != text.size()) {
    return 1;
  }
  CloseHandle(in);
  std::vector<size_t> starts{0};
  for (size_t at = 0; at < text.size();) {
    if (at > 0 && text.compare(at, keyword_length, keyword, keyword_length) == 0) {
      starts.push_back(at);
    }
    const size_t end = text.find('\n', at);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  starts.push_back(text.size());
  const std::wstring folder = std::wstring(argv[2]) + L"\\";
  for (size_t i = 0; i + 1 < starts.size(); ++i) {
    const std::wstring path = folder + std::to_wstring(i + 1) + L".txt";
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    const DWORD n = static_cast<DWORD>(starts[i + 1] - starts[i]);
    if (n > 0 && (!WriteFile(h, text.data() + starts[i], n, &written, nullptr) || written != n)) {
      return 1;
    }
    CloseHandle(h);
  }
  std::printf("%zu pieces\n", starts.size() - 1);
  return 0;
}
