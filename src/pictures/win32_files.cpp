// File access on Windows: every name goes to the system as UTF-16.
#include <windows.h>

#include <io.h>

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

namespace {

std::string windowsError(DWORD code) { return "Windows error " + std::to_string(code); }

// Renames over the old file. A reader that has the old file open (the saver starting, the
// settings dialog counting pictures) keeps it from being replaced for a moment: the rename is
// tried again for up to about two seconds.
bool moveOver(const std::wstring& from, const std::wstring& to, DWORD* error) {
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    *error = GetLastError();
    if ((*error != ERROR_SHARING_VIOLATION && *error != ERROR_ACCESS_DENIED) || attempt >= 40) return false;
    Sleep(50);
  }
}

}  // namespace

bool replaceFile(const Path& path, const std::vector<uint8_t>& bytes, FileProblem* problem) {
  const std::wstring temporary = path.native() + L".new";
  std::FILE* f = _wfopen(temporary.c_str(), L"wb");
  if (!f) {
    if (problem) *problem = FileProblem{FileFailure::kCannotCreate, temporary, std::strerror(errno), 0};
    return false;
  }
  const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  // The bytes reach the disk before the name does: renamed first, a power cut could leave the
  // new name over data never written.
  DWORD error = 0;
  const bool flushed = std::fflush(f) == 0 &&
                       (FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)))) || (error = GetLastError(), false));
  const bool closed = std::fclose(f) == 0;
  if (!written || !flushed || !closed || !moveOver(temporary, path.native(), &error)) {
    if (problem) *problem = FileProblem{FileFailure::kCannotWrite, path, error ? windowsError(error) : "", 0};
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

namespace lockfile {

intptr_t open(const Path& path, std::string* reason) {
  const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *reason = windowsError(GetLastError());
    return -1;
  }
  return reinterpret_cast<intptr_t>(h);
}

// The lock belongs to the handle: two threads with a handle each exclude one another as two
// processes do, and the system lets it go when the process ends.
bool tryLock(intptr_t handle) {
  OVERLAPPED at{};
  return LockFileEx(reinterpret_cast<HANDLE>(handle), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}

void close(intptr_t handle) {
  OVERLAPPED at{};
  UnlockFileEx(reinterpret_cast<HANDLE>(handle), 0, 1, 0, &at);
  CloseHandle(reinterpret_cast<HANDLE>(handle));
}

}  // namespace lockfile

}  // namespace pictures
