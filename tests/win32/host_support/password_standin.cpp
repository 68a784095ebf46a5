// A stand-in PASSWORD.CPL: accepts or refuses as ORVANE_STANDIN_ANSWER says ("accept" or
// anything else), and appends one line per call to the file ORVANE_STANDIN_LOG:
//   verify <window> cursor=<1 if the arrow shows> window=<1 if the window exists>
// Like a real service it handles the saver window's messages while it runs: it sends a key,
// a loss of activation and a close, which must all be harmless during the check.
#include <windows.h>

#include <cstdio>
#include <cstring>

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND window) {
  const bool arrow = GetCursor() == LoadCursorA(nullptr, IDC_ARROW);
  SendMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
  SendMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
  SendMessageA(window, WM_CLOSE, 0, 0);

  char answer[32] = {};
  GetEnvironmentVariableA("ORVANE_STANDIN_ANSWER", answer, sizeof(answer));
  char log[MAX_PATH] = {};
  if (GetEnvironmentVariableA("ORVANE_STANDIN_LOG", log, sizeof(log)) > 0) {
    if (FILE* f = std::fopen(log, "a")) {
      std::fprintf(f, "verify %p cursor=%d window=%d\n", static_cast<void*>(window), arrow ? 1 : 0,
                   IsWindow(window) ? 1 : 0);
      std::fclose(f);
    }
  }
  return std::strcmp(answer, "accept") == 0 ? TRUE : FALSE;
}
