// File access on Windows: every name goes to the system as UTF-16.
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "pictures/picture_files.h"

namespace pictures {

std::FILE* openFile(const Path& path, const char* mode) {
  const std::wstring wideMode(mode, mode + std::strlen(mode));  // "rb", "wb": ASCII
  return _wfopen(path.c_str(), wideMode.c_str());
}

std::string pathText(const Path& path) {
  // A lone surrogate, which a Windows name may hold, becomes U+FFFD.
  const std::wstring& text = path.native();
  if (text.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

bool replaceFile(const Path& path, const std::vector<uint8_t>& bytes, FileProblem* problem) {
  const std::wstring temporary = path.native() + L".new-" + std::to_wstring(GetCurrentProcessId());
  std::FILE* f = _wfopen(temporary.c_str(), L"wb");
  if (!f) {
    if (problem) *problem = FileProblem{FileFailure::kCannotCreate, temporary, std::strerror(errno), 0};
    return false;
  }
  const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed ||
      !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    if (problem)
      *problem = FileProblem{FileFailure::kCannotWrite, path, "Windows error " + std::to_string(GetLastError()), 0};
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace pictures
