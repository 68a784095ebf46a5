// A stand-in MPR.DLL: records the arguments of each PwdChangePasswordA call as one line
//   change <key name> <window as a number> <param1> <param2> from=<path of this library>
// in the file ORVANE_STANDIN_LOG.
#include <windows.h>

#include <cstdio>
#include <type_traits>

#include "host/win32/win32_host.h"

extern "C" __declspec(dllexport) DWORD WINAPI PwdChangePasswordA(LPCSTR keyName, HWND window,
                                                                 DWORD param1, DWORD param2);
static_assert(std::is_same<decltype(&PwdChangePasswordA), PwdChangePasswordCall>::value,
              "the stand-in is called as the saver calls the service");

extern "C" __declspec(dllexport) DWORD WINAPI PwdChangePasswordA(LPCSTR keyName, HWND window,
                                                                 DWORD param1, DWORD param2) {
  HMODULE self = nullptr;
  char from[MAX_PATH] = {};
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&PwdChangePasswordA), &self);
  GetModuleFileNameA(self, from, sizeof(from));
  char log[MAX_PATH] = {};
  if (GetEnvironmentVariableA("ORVANE_STANDIN_LOG", log, sizeof(log)) > 0) {
    if (FILE* f = std::fopen(log, "a")) {
      std::fprintf(f, "change %s %lld %lu %lu from=%s\n", keyName ? keyName : "(null)",
                   static_cast<long long>(reinterpret_cast<intptr_t>(window)),
                   static_cast<unsigned long>(param1), static_cast<unsigned long>(param2), from);
      std::fclose(f);
    }
  }
  return 0;
}
