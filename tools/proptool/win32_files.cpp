// File access on Windows: UTF-8 names go to the system as UTF-16.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>

#include "host/prop_search.h"
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

std::string utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

}  // namespace

std::filesystem::path nativePath(const std::string& path) { return std::filesystem::path(wide(path)); }

std::FILE* openFile(const std::string& path, const char* mode) {
  return _wfopen(wide(path).c_str(), wide(mode).c_str());
}

bool replaceFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
  const std::wstring target = wide(path);
  const std::wstring temporary = target + L".new-" + std::to_wstring(GetCurrentProcessId());
  std::FILE* f = _wfopen(temporary.c_str(), L"wb");
  if (!f) {
    if (error) *error = "cannot create a file beside " + path;
    return false;
  }
  const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed ||
      !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    if (error) *error = "cannot write " + path + " (Windows error " + std::to_string(GetLastError()) + ")";
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

// The resource library takes UTF-8 names on every system.
std::string resourceLibraryPath(const std::string& path) { return path; }

std::string userPropFilePath() {
  wchar_t folder[MAX_PATH];
  if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK) return "";
  return windowsOwnPropFile(utf8(folder));
}

}  // namespace proptool
