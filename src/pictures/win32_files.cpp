// File access on Windows: every name goes to the system as UTF-16.
#include <windows.h>

#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "pictures/picture_files.h"
#include "resfile/handles.h"

namespace pictures {

std::FILE* openFile(const Path& path, const char* mode) {
  // Readers share the file for deleting too, so that a save can rename over it meanwhile.
  if (std::strcmp(mode, "rb") == 0) return FileOpenShared(path.c_str());
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

// FILE_RENAME_INFO with the flags field of Windows 10 1709 and later, declared here: the
// headers give it only to programs that need that version, and this one runs on older ones.
struct RenameInfoEx {
  DWORD flags;
  HANDLE rootDirectory;
  DWORD fileNameLength;
  WCHAR fileName[1];
};
constexpr int kFileRenameInfoEx = 22;  // FILE_INFO_BY_HANDLE_CLASS
constexpr DWORD kRenameReplaceIfExists = 0x1, kRenamePosixSemantics = 0x2;
using SetInformationByHandle = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);

// Renames the open file `h` over `to` with POSIX semantics: readers that have the old file
// open (sharing delete, as every reader here does) keep reading it, and the name changes at
// once. False, with the error, where the system or the file system has no such rename.
bool renamePosix(HANDLE h, const std::wstring& to, DWORD* error) {
  static const auto set = reinterpret_cast<SetInformationByHandle>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetFileInformationByHandle")));
  if (!set) {
    *error = ERROR_CALL_NOT_IMPLEMENTED;
    return false;
  }
  std::vector<uint8_t> buffer(sizeof(RenameInfoEx) + to.size() * sizeof(WCHAR));
  auto* info = reinterpret_cast<RenameInfoEx*>(buffer.data());
  info->flags = kRenameReplaceIfExists | kRenamePosixSemantics;
  info->rootDirectory = nullptr;
  info->fileNameLength = DWORD(to.size() * sizeof(WCHAR));
  std::memcpy(info->fileName, to.c_str(), (to.size() + 1) * sizeof(WCHAR));
  if (set(h, kFileRenameInfoEx, info, DWORD(buffer.size()))) return true;
  *error = GetLastError();
  return false;
}

// Replaces the old file by the system's file replacement (Windows 2000 and later), which
// readers that share the file for deleting do not hold up, where the POSIX rename is not
// to be had (older systems, file systems without it). Not atomic: a reader starting just
// then may find no file for a moment.
bool replaceOld(const std::wstring& path, const std::wstring& from, DWORD* error) {
  using ReplaceFileFunction = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, LPVOID, LPVOID);
  static const auto replace = reinterpret_cast<ReplaceFileFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "ReplaceFileW")));
  if (replace && replace(path.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
    return true;
  *error = replace ? GetLastError() : ERROR_CALL_NOT_IMPLEMENTED;
  return false;
}

// Renames over the old file where the system can do neither. A reader that has
// the old file open without sharing delete (another program) keeps it from being replaced
// for a moment: the rename is tried again for up to about two seconds. Without `replace`, a
// file at `to` makes it fail at once.
bool moveOver(const std::wstring& from, const std::wstring& to, bool replace, DWORD* error) {
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExW(from.c_str(), to.c_str(), (replace ? MOVEFILE_REPLACE_EXISTING : 0) | MOVEFILE_WRITE_THROUGH))
      return true;
    *error = GetLastError();
    if ((*error != ERROR_SHARING_VIOLATION && *error != ERROR_ACCESS_DENIED) || attempt >= 40) return false;
    Sleep(50);
  }
}

}  // namespace

bool replaceFile(const Path& path, const std::vector<uint8_t>& bytes, FileProblem* problem, Replacing replacing) {
  const std::wstring temporary = path.native() + L".new";
  const HANDLE h = CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (problem) *problem = FileProblem{FileFailure::kCannotCreate, temporary, windowsError(GetLastError()), 0};
    return false;
  }
  DWORD error = 0;
  bool written = true;
  for (size_t at = 0; written && at < bytes.size();) {
    DWORD done = 0;
    const DWORD chunk = DWORD(std::min<size_t>(bytes.size() - at, size_t(1) << 20));
    written = WriteFile(h, bytes.data() + at, chunk, &done, nullptr) && done == chunk;
    at += done;
  }
  if (!written) error = GetLastError();
  // The bytes reach the disk before the name does: renamed first, a power cut could leave the
  // new name over data never written.
  const bool flushed = written && (FlushFileBuffers(h) || (error = GetLastError(), false));
  bool renamed = false;
  if (flushed && replacing == Replacing::kReplace) renamed = renamePosix(h, path.native(), &error);
  CloseHandle(h);
  if (flushed && !renamed && replacing == Replacing::kReplace) renamed = replaceOld(path.native(), temporary, &error);
  if (flushed && !renamed)
    renamed = moveOver(temporary, path.native(), replacing == Replacing::kReplace, &error);
  if (!renamed) {
    const bool there = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
    if (problem)
      *problem = FileProblem{FileFailure::kCannotWrite, path,
                             there ? "a file is there that was not read; it was left as it is"
                                   : error ? windowsError(error) : "",
                             0};
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

namespace lockfile {

intptr_t open(const Path& path, std::string* reason) {
  // Not shared for deleting: while a writer has it open, it cannot be removed or replaced.
  const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
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

bool isFileAt(intptr_t handle, const Path& path) {
  BY_HANDLE_FILE_INFORMATION held{}, named{};
  if (!GetFileInformationByHandle(reinterpret_cast<HANDLE>(handle), &held)) return false;
  const HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool read = GetFileInformationByHandle(h, &named) != 0;
  CloseHandle(h);
  return read && held.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
         held.nFileIndexHigh == named.nFileIndexHigh && held.nFileIndexLow == named.nFileIndexLow;
}

void close(intptr_t handle) {
  OVERLAPPED at{};
  UnlockFileEx(reinterpret_cast<HANDLE>(handle), 0, 1, 0, &at);
  CloseHandle(reinterpret_cast<HANDLE>(handle));
}

}  // namespace lockfile

}  // namespace pictures
