// A stand-in PASSWORD.CPL. ORVANE_STANDIN_ANSWER lists its answers, one per call in order
// ("refuse,accept": the first call refuses, the second accepts; the last one holds for any
// further call). Each call appends one line to the file ORVANE_STANDIN_LOG:
//   verify <window> cursor=<1 if the arrow shows> window=<1 if the window exists> from=<path>
// Like a real service it handles the saver window's messages while it runs: it sends a key,
// a loss of activation and a close, which must all be harmless during the check.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

#include "host/win32/win32_host.h"

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND window);
static_assert(std::is_same<decltype(&VerifyScreenSavePwd), VerifyScreenSavePwdCall>::value,
              "the stand-in is called as the saver calls the service");

namespace {
// The number of calls already made: the lines of the log (the library is loaded afresh for
// every call, so it keeps no count of its own).
int callsSoFar(const char* log) {
  int n = 0;
  if (FILE* f = std::fopen(log, "r")) {
    for (int c = std::fgetc(f); c != EOF; c = std::fgetc(f)) n += (c == '\n');
    std::fclose(f);
  }
  return n;
}
}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND window) {
  const bool arrow = GetCursor() == LoadCursorA(nullptr, IDC_ARROW);
  SendMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
  SendMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
  SendMessageA(window, WM_CLOSE, 0, 0);

  char log[MAX_PATH] = {};
  GetEnvironmentVariableA("ORVANE_STANDIN_LOG", log, sizeof(log));
  char answers[64] = {};
  GetEnvironmentVariableA("ORVANE_STANDIN_ANSWER", answers, sizeof(answers));
  std::string answer;
  int call = callsSoFar(log);
  for (const char* p = answers; *p;) {
    const char* end = std::strchr(p, ',');
    answer.assign(p, end ? end : p + std::strlen(p));
    if (!end || call-- == 0) break;
    p = end + 1;
  }
  HMODULE self = nullptr;
  char from[MAX_PATH] = {};
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&VerifyScreenSavePwd), &self);
  GetModuleFileNameA(self, from, sizeof(from));
  if (FILE* f = std::fopen(log, "a")) {
    std::fprintf(f, "verify %p cursor=%d window=%d from=%s\n", static_cast<void*>(window),
                 arrow ? 1 : 0, IsWindow(window) ? 1 : 0, from);
    std::fclose(f);
  }
  return answer == "accept" ? TRUE : FALSE;
}
