// The system's password services, loaded from the system folder each time they are used.
#include <cstring>
#include <string>

#include "host/win32/win32_call_checks.h"
#include "host/win32/win32_host.h"

namespace {

// The services' own types are fixed.
template <typename Call>
Call lookUp(HMODULE library, const char* name) {
  return orvane::lookUpSystemCall<Call>(library, name);
}

// Loads `name` from the system folder by its full path, never from the program's folder, the
// working folder or the search path, where a planted file of that name would be loaded and
// its answer trusted. Null when the folder is unknown or the library can't be loaded there.
HMODULE loadSystemLibrary(const char* name) {
  char folder[MAX_PATH];
  const UINT length = GetSystemDirectoryA(folder, sizeof folder);
  if (length == 0 || length >= sizeof folder) return nullptr;
  std::string path(folder, length);
  if (path.back() != '\\') path += '\\';
  path += name;
  return LoadLibraryA(path.c_str());
}

}  // namespace

bool VerifySaverPassword(HWND window) {
  OSVERSIONINFOA version{};
  static_assert(sizeof(version) == 148, "the version record the system expects is 148 bytes");
  version.dwOSVersionInfoSize = sizeof(version);
  GetVersionExA(&version);
  if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) return true;

  HMODULE library = loadSystemLibrary("PASSWORD.CPL");
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
  HMODULE library = loadSystemLibrary("MPR.DLL");
  if (!library) return;
  auto change = lookUp<PwdChangePasswordCall>(library, "PwdChangePasswordA");
  if (change) change("SCRSAVE", parent, 0, 0);
  FreeLibrary(library);
}
