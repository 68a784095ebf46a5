// A stand-in MPR.DLL: records the arguments of each PwdChangePasswordA call as one line
//   change <key name> <window as a number> <param1> <param2>
// in the file ORVANE_STANDIN_LOG.
#include <windows.h>

#include <cstdio>

extern "C" __declspec(dllexport) DWORD WINAPI PwdChangePasswordA(LPCSTR keyName, HWND window,
                                                                 DWORD param1, DWORD param2) {
  char log[MAX_PATH] = {};
  if (GetEnvironmentVariableA("ORVANE_STANDIN_LOG", log, sizeof(log)) > 0) {
    if (FILE* f = std::fopen(log, "a")) {
      std::fprintf(f, "change %s %lld %lu %lu\n", keyName ? keyName : "(null)",
                   static_cast<long long>(reinterpret_cast<intptr_t>(window)),
                   static_cast<unsigned long>(param1), static_cast<unsigned long>(param2));
      std::fclose(f);
    }
  }
  return 0;
}
