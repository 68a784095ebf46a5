// A small stand-in for the system's screen-saver host, for the end-to-end tests.
//   e2e_test_host preview <saver> <space|colon> <report file> <hold ms>
//     makes a 320x240 window at (100, 100), starts "<saver> /p <window>" (or "/p:<window>"),
//     lets it draw for <hold ms>, looks for the saver's child window, destroys its own
//     window and waits for the saver to end. The report file gets one line:
//       child=<0|1> size=<w>x<h> ended=<0|1> exit=<code>
//   e2e_test_host baseline <seconds>
//     the cheapest possible saver: a full-screen OpenGL window that clears, swaps and sleeps
//     10 ms per turn; prints frames, frames per second and its own CPU time.
#include <windows.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kClass[] = "OrvaneTestHost";

void pump() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

HWND makeWindow(DWORD style, int x, int y, int w, int h) {
  WNDCLASSA wc{};
  wc.style = CS_OWNDC;
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kClass;
  RegisterClassA(&wc);
  return CreateWindowExA(0, kClass, "Test host", style, x, y, w, h, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

int preview(const char* saver, bool colon, const char* reportPath, DWORD holdMs) {
  FILE* report = std::fopen(reportPath, "w");
  if (!report) return 1;
  HWND host = makeWindow(WS_POPUP | WS_VISIBLE, 100, 100, 320, 240);
  if (!host) return 1;
  pump();
  char line[1024];
  std::snprintf(line, sizeof(line), "\"%s\" /p%s%lld", saver, colon ? ":" : " ",
                static_cast<long long>(reinterpret_cast<intptr_t>(host)));
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(report, "start failed\n");
    std::fclose(report);
    return 1;
  }
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < holdMs) {
    pump();
    Sleep(10);
  }
  HWND child = FindWindowExA(host, nullptr, "OpenGL", "SaverWindow");
  RECT r{};
  if (child) GetWindowRect(child, &r);
  DestroyWindow(host);
  bool ended = false;
  const DWORD waitStart = GetTickCount();
  while (!ended && GetTickCount() - waitStart < 20000) {
    pump();
    ended = WaitForSingleObject(process.hProcess, 10) == WAIT_OBJECT_0;
  }
  DWORD code = 999;
  if (ended) {
    GetExitCodeProcess(process.hProcess, &code);
  } else {
    TerminateProcess(process.hProcess, 99);
  }
  std::fprintf(report, "child=%d size=%ldx%ld ended=%d exit=%lu\n", child ? 1 : 0,
               static_cast<long>(r.right - r.left), static_cast<long>(r.bottom - r.top),
               ended ? 1 : 0, static_cast<unsigned long>(code));
  std::fclose(report);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}

int baseline(int seconds) {
  HWND window = makeWindow(WS_POPUP | WS_VISIBLE, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                           GetSystemMetrics(SM_CYSCREEN));
  if (!window) return 1;
  HDC dc = GetDC(window);
  PIXELFORMATDESCRIPTOR pfd{};
  pfd.nSize = sizeof(pfd);
  pfd.nVersion = 1;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  pfd.iPixelType = PFD_TYPE_RGBA;
  pfd.cColorBits = 32;
  const int format = ChoosePixelFormat(dc, &pfd);
  if (!format || !SetPixelFormat(dc, format, &pfd)) return 1;
  HGLRC rc = wglCreateContext(dc);
  wglMakeCurrent(dc, rc);
  LARGE_INTEGER frequency, begin, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&begin);
  long frames = 0;
  for (;;) {
    MSG m;
    if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
      continue;
    }
    QueryPerformanceCounter(&now);
    if (now.QuadPart - begin.QuadPart >= frequency.QuadPart * seconds) break;
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    SwapBuffers(dc);
    ++frames;
    Sleep(10);
  }
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](FILETIME t) {
    return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000ull;
  };
  std::printf("frames=%ld fps=%.1f cpu_ms=%llu\n", frames, frames / static_cast<double>(seconds),
              ms(kernel) + ms(user));
  wglMakeCurrent(nullptr, nullptr);
  wglDeleteContext(rc);
  ReleaseDC(window, dc);
  DestroyWindow(window);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 6 && std::strcmp(argv[1], "preview") == 0)
    return preview(argv[2], std::strcmp(argv[3], "colon") == 0, argv[4],
                   static_cast<DWORD>(std::atoi(argv[5])));
  if (argc >= 3 && std::strcmp(argv[1], "baseline") == 0) return baseline(std::atoi(argv[2]));
  std::fprintf(stderr, "usage: e2e_test_host preview|baseline ...\n");
  return 2;
}
