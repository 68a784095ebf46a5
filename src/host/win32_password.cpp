// The system's password services, loaded by name each time they are used.
#include <cstring>

#include "host/win32_host.h"

namespace {
using VerifyScreenSavePwdCall = BOOL(WINAPI*)(HWND);
using PwdChangePasswordCall = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, DWORD);

// GetProcAddress returns a generic function pointer; the services' own types are fixed.
template <typename Call>
Call lookUp(HMODULE library, const char* name) {
  FARPROC found = GetProcAddress(library, name);
  Call call;
  static_assert(sizeof(call) == sizeof(found), "function pointer sizes differ");
  memcpy(&call, &found, sizeof(call));
  return call;
}
}  // namespace

bool VerifySaverPassword(HWND window) {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(version);  // 148 bytes
  GetVersionExA(&version);
  if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) return true;

  HMODULE library = LoadLibraryA("PASSWORD.CPL");
  if (!library) return true;
  auto verify = lookUp<VerifyScreenSavePwdCall>(library, "VerifyScreenSavePwd");
  if (!verify) {
    FreeLibrary(library);
    return true;
  }
  const BOOL accepted = verify(window);
  FreeLibrary(library);
  return accepted != 0;
}

void ChangeSaverPassword(HWND parent) {
  HMODULE library = LoadLibraryA("MPR.DLL");
  if (!library) return;
  auto change = lookUp<PwdChangePasswordCall>(library, "PwdChangePasswordA");
  if (change) change("SCRSAVE", parent, 0, 0);
  FreeLibrary(library);
}
