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

}  // namespace

std::filesystem::path nativePath(const std::string& path) { return std::filesystem::path(wide(path)); }

std::string userPropFilePath() {
  wchar_t folder[MAX_PATH];
  if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK) return "";
  return windowsOwnPropFile(pictures::pathText(std::filesystem::path(folder)));
}

}  // namespace proptool
