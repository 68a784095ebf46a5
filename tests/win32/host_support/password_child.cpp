// The program the password test starts in a folder of its choosing, so that the system's
// version and the libraries beside it are what the case needs.
//   orvane_password_child verify <result file>
//     a saver window whose password delay has passed; one key press; the result file gets
//     closed=<0|1> requested=<0|1> checking=<0|1> cursor=<x>,<y> platform=<id>
//   orvane_password_child change <result file>
//     the whole program run with "/a 5678"; the result file gets done=1
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "host/win32_host.h"

namespace {

int verifyCase(FILE* out) {
  SaverSettings settings{};
  settings.PasswordDelay = 0;
  settings.MouseThreshold = 50;
  settings.UseMirrors = 1;
  saverSettings = &settings;
  saverMode = SaverMode::Saver;
  hostInstance = GetModuleHandleA(nullptr);
  if (!RegisterSaverClass()) return 2;
  int32_t width = 0, height = 0;
  HWND window = CreateSaverWindow(nullptr, &width, &height);
  if (!window) return 3;

  // Settle the activation changes of creation, then start the run afresh.
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  settings.CloseRequested = 0;
  settings.StartTick = GetTickCount() - 5000;
  settings.StartCursor = {-5000, -5000};
  SetCursorPos(300, 200);

  PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
  bool quit = false;
  for (int round = 0; round < 20 && !quit; ++round) {
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) {
        quit = true;
        break;
      }
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    Sleep(10);
  }

  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(version);
  GetVersionExA(&version);
  std::fprintf(out, "closed=%d requested=%d checking=%d cursor=%ld,%ld platform=%lu\n",
               IsWindow(window) ? 0 : 1, settings.CloseRequested, settings.CheckingPassword,
               static_cast<long>(settings.StartCursor.x), static_cast<long>(settings.StartCursor.y),
               static_cast<unsigned long>(version.dwPlatformId));
  saverMode = SaverMode::None;
  if (IsWindow(window)) DestroyWindow(window);
  saverSettings = nullptr;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 1;
  FILE* out = std::fopen(argv[2], "w");
  if (!out) return 1;
  int rc = 1;
  if (std::strcmp(argv[1], "verify") == 0) {
    rc = verifyCase(out);
  } else if (std::strcmp(argv[1], "change") == 0) {
    hostInstance = GetModuleHandleA(nullptr);
    rc = RunSaverProgram("orvane_password_child.exe /a 5678", SW_SHOWNORMAL);
    std::fprintf(out, "done=1\n");
  }
  std::fclose(out);
  return rc;
}
