// The program the password test starts in a folder of its choosing, so that the system's
// version, the libraries in the system folder and the ones planted beside it are what the
// case needs.
//   orvane_password_child verify <keys> <result file>
//     a saver window whose 60 s password delay passed a second ago; <keys> key presses, each
//     handled before the next; the result file gets
//     closed=<0|1> requested=<0|1> checking=<0|1> cursor=<x>,<y> platform=<id> loaded=<0|1>
//   orvane_password_child change <result file>
//     the whole program run with "/a 5678"; the result file gets done=1 loaded=<0|1>
// loaded=1: the service's library is still loaded afterwards.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/win32/win32_host.h"

namespace {

// Handles messages for a while; true once the quit message came.
bool pump() {
  MSG m;
  for (int round = 0; round < 20; ++round) {
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) return true;
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    Sleep(10);
  }
  return false;
}

int verifyCase(FILE* out, int keys) {
  SaverSettings settings{};
  settings.PasswordDelay = 60;
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
  settings.StartTick = GetTickCount() - 61000;
  settings.StartCursor = {-5000, -5000};
  SetCursorPos(300, 200);

  bool quit = false;
  for (int k = 0; k < keys && !quit; ++k) {
    PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
    quit = pump();
  }

  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(version);
  GetVersionExA(&version);
  std::fprintf(out, "closed=%d requested=%d checking=%d cursor=%ld,%ld platform=%lu loaded=%d\n",
               IsWindow(window) ? 0 : 1, settings.CloseRequested, settings.CheckingPassword,
               static_cast<long>(settings.StartCursor.x), static_cast<long>(settings.StartCursor.y),
               static_cast<unsigned long>(version.dwPlatformId),
               GetModuleHandleA("PASSWORD.CPL") != nullptr ? 1 : 0);
  saverMode = SaverMode::None;
  if (IsWindow(window)) DestroyWindow(window);
  saverSettings = nullptr;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 1;
  FILE* out = std::fopen(argv[argc - 1], "w");
  if (!out) return 1;
  int rc = 1;
  if (std::strcmp(argv[1], "verify") == 0) {
    rc = verifyCase(out, argc > 3 ? std::atoi(argv[2]) : 1);
  } else if (std::strcmp(argv[1], "change") == 0) {
    hostInstance = GetModuleHandleA(nullptr);
    rc = RunSaverProgram("orvane_password_child.exe /a 5678", SW_SHOWNORMAL);
    std::fprintf(out, "done=1 loaded=%d\n", GetModuleHandleA("MPR.DLL") != nullptr ? 1 : 0);
  }
  std::fclose(out);
  return rc;
}
