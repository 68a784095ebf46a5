// proptool's file names on Windows: UTF-8 names go to the system as UTF-16.
#include <windows.h>
#include <shlobj.h>

#include "host/prop_search.h"
#include "pictures/picture_files.h"
#include "proptool/file_access.h"

namespace proptool {

namespace {

std::wstring wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring out(size_t(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &out[0], n);
  return out;
}

// The ANSI form of a name, or empty when some character has none.
std::string ansi(const std::wstring& text) {
  BOOL lossy = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), int(text.size()), nullptr, 0, nullptr,
                                    &lossy);
  if (n <= 0 || lossy) return std::string();
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), int(text.size()), &out[0], n, nullptr, &lossy);
  return lossy ? std::string() : out;
}

}  // namespace

std::filesystem::path nativePath(const std::string& path) { return std::filesystem::path(wide(path)); }

std::string resourceLibraryPath(const std::string& path) {
  const std::wstring name = wide(path);
  std::string narrow = ansi(name);
  if (!narrow.empty()) return narrow;
  // A name outside the ANSI code page: its short form, where the volume keeps one.
  wchar_t shortName[MAX_PATH];
  const DWORD n = GetShortPathNameW(name.c_str(), shortName, MAX_PATH);
  if (n > 0 && n < MAX_PATH) narrow = ansi(std::wstring(shortName, n));
  return narrow.empty() ? path : narrow;
}

std::string userPropFilePath() {
  wchar_t folder[MAX_PATH];
  if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK) return "";
  return windowsOwnPropFile(pictures::pathText(std::filesystem::path(folder)));
}

}  // namespace proptool
