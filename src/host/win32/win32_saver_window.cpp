// The saver's windows: class, windows, OpenGL contexts, scenes, frame loop and tear-down.
#include <new>

#include "host/frame_loop.h"
#include "host/win32/win32_call_checks.h"
#include "host/win32/win32_host.h"
#include "host/win32/win32_prop_search.h"
#include "props/prop_atlas_gl.h"
#include "scene/mirror_scene.h"

namespace {

void showError(const char* text) { MessageBoxA(nullptr, text, "Error", MB_OK); }

void setSaverRunning(UINT on) {
  UINT previous = 0;  // receives the previous state, which is not used
  saverSystemParametersInfo(SPI_SETSCREENSAVERRUNNING, on, &previous, 0);
}

// Destroys the saver window and takes the quit message of its WM_DESTROY out of the queue
// again, so that nothing shown or run afterwards on this thread is ended by it.
void destroyWithoutQuit(HWND window) {
  DestroyWindow(window);
  MSG quit;
  while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

// A pixel-format failure is reported while the saver window would still be up. In Saver
// mode the message box would take activation, the window procedure would take that as input
// and close the window, and the quit message of WM_DESTROY would end the box's modal loop:
// the report would vanish at once. So the window goes first, its quit message is taken out
// of the queue, and only then the box is shown; it stays until the user dismisses it.
void reportPixelFormatFailure(HWND window, const char* text) {
  if (saverMode == SaverMode::Saver) {
    destroyWithoutQuit(window);
    saverWindow = nullptr;
  }
  showError(text);
  if (saverMode == SaverMode::Saver) setSaverRunning(0);
}

// Sets the pixel format the saver draws with on the window's device context; false when the
// system has none to offer or refuses it (reported when `report` is set).
bool setSaverPixelFormat(HWND window, HDC deviceContext, bool report) {
  PIXELFORMATDESCRIPTOR request{};
  static_assert(sizeof(request) == 40, "the pixel-format request is 40 bytes");
  request.nSize = sizeof(request);
  request.nVersion = 1;
  request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  request.iPixelType = PFD_TYPE_RGBA;
  request.cColorBits = 32;
  const int format = saverChoosePixelFormat(deviceContext, &request);
  if (format == 0) {
    if (report) reportPixelFormatFailure(window, "ChoosePixelFormat() failed:  Cannot find a suitable pixel format.");
    return false;
  }
  if (!saverSetPixelFormat(deviceContext, format, &request)) {
    if (report) reportPixelFormatFailure(window, "SetPixelFormat() failed:  Cannot set format specified.");
    return false;
  }
  return true;
}

// The console display's power state, reported to the primary's window as it changes (and
// once at registration). The calls are looked up: systems before Vista lack them.
using RegisterPowerSettingCall = HANDLE(WINAPI*)(HANDLE, const GUID*, DWORD);
using UnregisterPowerSettingCall = BOOL(WINAPI*)(HANDLE);

HANDLE watchDisplayState(HWND window) {
  const auto watch = orvane::lookUpSystemCall<RegisterPowerSettingCall>(
      GetModuleHandleA("user32.dll"), "RegisterPowerSettingNotification");
  return watch ? watch(window, &saverConsoleDisplayState, DEVICE_NOTIFY_WINDOW_HANDLE) : nullptr;
}

void stopWatchingDisplayState(HANDLE registration) {
  const auto stop = orvane::lookUpSystemCall<UnregisterPowerSettingCall>(
      GetModuleHandleA("user32.dll"), "UnregisterPowerSettingNotification");
  if (registration && stop) stop(registration);
}

// The saver's turn of the frame loop: the thread's messages (and, between them, a new
// layout of the windows or a wait while the display is off), one frame of each window's
// scene with its context made current, the buffer swaps and the ten-millisecond sleep, each
// through its seam.
class SaverLoop : public FrameLoopHost {
 public:
  EventStep takeEvent() override {
    MSG message;
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return EventStep::Stop;
      TranslateMessage(&message);
      DispatchMessageA(&message);
      return EventStep::Handled;
    }
    if (saverLayoutChanged) {
      saverLayoutChanged = false;
      RelayoutSaverWindows();
      return EventStep::Handled;
    }
    if (saverDisplayOff) {
      // Nobody sees a frame: sleep until a message comes (the display coming back is one).
      saverWaitMessage();
      return EventStep::Handled;
    }
    return EventStep::Idle;
  }
  int32_t sceneCount() override {
    drawnCount_ = 0;
    for (int32_t i = 0; i < saverSurfaceCount; ++i) {
      if (saverSurfaces[i].scene != nullptr) drawn_[drawnCount_++] = saverSurfaces[i];
    }
    return drawnCount_;
  }
  bool renderFrame(int32_t index) override {
    const SaverSurface& surface = drawn_[index];
    if (wglGetCurrentContext() != surface.renderContext)
      wglMakeCurrent(surface.deviceContext, surface.renderContext);
    return saverRenderFrame(surface.scene, frameWordFor(saverSettings ? saverSettings->UseMirrors : 1));
  }
  void swapBuffers(int32_t index) override { saverSwapBuffers(drawn_[index].deviceContext); }
  int64_t nowMicros() override { return static_cast<int64_t>(GetTickCount64()) * 1000; }
  void waitUntil(int64_t) override { saverSleep(10); }

 private:
  // The surfaces drawn in this turn.
  SaverSurface drawn_[kMaxSaverWindows] = {};
  int32_t drawnCount_ = 0;
};

// Releases what a surface holds: its scene destroyed with its context current, no context
// current, the device context released, the context deleted. The window is left as it is.
void releaseSurface(SaverSurface* surface) {
  if (surface->scene != nullptr) {
    if (surface->renderContext != nullptr && wglGetCurrentContext() != surface->renderContext)
      wglMakeCurrent(surface->deviceContext, surface->renderContext);
    surface->scene->destroy();
    delete surface->scene;
  }
  if (surface->renderContext != nullptr) wglMakeCurrent(nullptr, nullptr);
  if (surface->deviceContext != nullptr) ReleaseDC(surface->window, surface->deviceContext);
  if (surface->renderContext != nullptr) wglDeleteContext(surface->renderContext);
  *surface = SaverSurface{};
}

// Windows for the monitors of `areas` that have none yet (the first saverSurfaceCount have
// theirs), set up and drawn unless the user asked for the primary monitor only; a monitor
// whose window cannot draw stays black.
void addMonitorWindows(const ScreenRect* areas, int32_t count) {
  const bool draw = saverSettings == nullptr || saverSettings->Monitors == 0;
  for (int32_t i = saverSurfaceCount; i < count && saverSurfaceCount < kMaxSaverWindows; ++i) {
    // Window i covers areas[i]: a window that cannot be made ends the adding (the layout
    // check tries again).
    HWND window = CreateExtraSaverWindow(areas[i]);
    if (window == nullptr) break;
    SaverSurface* surface = &saverSurfaces[saverSurfaceCount++];
    *surface = SaverSurface{window, areas[i], nullptr, nullptr, nullptr};
    if (draw) SetUpSaverSurface(surface, rectWidth(areas[i]), rectHeight(areas[i]), false);
  }
}

// Destroys every saver window, the further ones first, leaving no quit message behind.
void destroyAllWindows() {
  for (int32_t left = saverSurfaceCount; left > 0 && saverSurfaceCount > 0; --left) {
    HWND window = saverSurfaces[saverSurfaceCount - 1].window;
    destroyWithoutQuit(window);
    if (FindSaverSurface(window) != nullptr) ForgetSaverWindow(window);
  }
}

}  // namespace

SaverSurface* FindSaverSurface(HWND window) {
  if (window == nullptr) return nullptr;
  for (int32_t i = 0; i < saverSurfaceCount; ++i) {
    if (saverSurfaces[i].window == window) return &saverSurfaces[i];
  }
  return nullptr;
}

bool SetUpSaverSurface(SaverSurface* surface, int32_t width, int32_t height, bool reportFailures) {
  HWND window = surface->window;
  surface->deviceContext = GetDC(window);
  // A reported failure may destroy the window, and with it the surface: it is not touched again.
  if (!setSaverPixelFormat(window, surface->deviceContext, reportFailures)) return false;
  surface->renderContext = wglCreateContext(surface->deviceContext);
  wglMakeCurrent(surface->deviceContext, surface->renderContext);
  // A further window without a context has nothing to draw with and stays black; the
  // primary's goes on regardless, as it always has.
  if (!reportFailures && surface->renderContext == nullptr) return true;
  surface->scene = new (std::nothrow) MirrorScene();
  if (surface->scene != nullptr) {
    surface->scene->setUp(width, height);
    if (saverSettings) surface->scene->speedPercent = saverSettings->Speed;
  }
  return true;
}

bool ForgetSaverWindow(HWND window) {
  for (int32_t i = 0; i < saverSurfaceCount; ++i) {
    if (saverSurfaces[i].window != window) continue;
    if (saverSurfaces[i].scene == saverScene) saverScene = nullptr;
    releaseSurface(&saverSurfaces[i]);
    for (int32_t j = i + 1; j < saverSurfaceCount; ++j) saverSurfaces[j - 1] = saverSurfaces[j];
    saverSurfaces[--saverSurfaceCount] = SaverSurface{};
    break;
  }
  return saverSurfaceCount == 0;
}

void DestroySaverWindows(HWND primary) {
  for (int32_t left = saverSurfaceCount; left > 0; --left) {
    HWND further = nullptr;
    for (int32_t i = saverSurfaceCount - 1; i >= 0 && further == nullptr; --i) {
      if (saverSurfaces[i].window != primary) further = saverSurfaces[i].window;
    }
    if (further == nullptr) break;
    DestroyWindow(further);
    if (FindSaverSurface(further) != nullptr) ForgetSaverWindow(further);
  }
  DestroyWindow(primary);
}

bool SaverLayoutIsStale() {
  ScreenRect areas[kMaxSaverWindows];
  const int32_t count = PlanSaverMonitorWindows(areas, kMaxSaverWindows);
  if (count != saverSurfaceCount) return true;
  for (int32_t i = 0; i < count; ++i) {
    const ScreenRect& a = areas[i];
    const ScreenRect& b = saverSurfaces[i].area;
    if (a.left != b.left || a.top != b.top || a.right != b.right || a.bottom != b.bottom) return true;
  }
  return false;
}

void RelayoutSaverWindows() {
  if (saverSurfaceCount == 0) return;
  ScreenRect areas[kMaxSaverWindows];
  const int32_t count = PlanSaverMonitorWindows(areas, kMaxSaverWindows);
  // Windows for removed monitors go first, the primary's never.
  while (saverSurfaceCount > count && saverSurfaceCount > 1) {
    const int32_t before = saverSurfaceCount;
    HWND window = saverSurfaces[before - 1].window;
    DestroyWindow(window);
    if (saverSurfaceCount == before) ForgetSaverWindow(window);  // already gone elsewhere
  }
  for (int32_t i = 0; i < saverSurfaceCount; ++i) {
    SaverSurface& surface = saverSurfaces[i];
    surface.area = areas[i];
    const int32_t width = rectWidth(areas[i]);
    const int32_t height = rectHeight(areas[i]);
    SetWindowPos(surface.window, nullptr, areas[i].left, areas[i].top, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (surface.scene == nullptr) {
      InvalidateRect(surface.window, nullptr, TRUE);  // black over its new area
      continue;
    }
    if (wglGetCurrentContext() != surface.renderContext)
      wglMakeCurrent(surface.deviceContext, surface.renderContext);
    surface.scene->reshape(width, height);
  }
  const int32_t first = saverSurfaceCount;
  keepPropAtlasPixels();
  addMonitorWindows(areas, count);
  releasePropAtlasPixels();
  for (int32_t i = first; i < saverSurfaceCount; ++i) ShowWindow(saverSurfaces[i].window, SW_SHOWNA);
  // The system may have moved the cursor with the monitors; the user did not.
  if (saverSettings != nullptr) GetCursorPos(&saverSettings->StartCursor);
}

void RunSaverWindow(HWND parent, int showCommand) {
  if (!RegisterSaverClass()) {
    showError("RegisterClass() failed:  Cannot register window class.");
    return;
  }
  int32_t width = 0;
  int32_t height = 0;
  HWND window = CreateSaverWindow(parent, &width, &height);
  if (!window) return;
  saverWindow = window;
  saverSurfaces[0] = SaverSurface{window, {0, 0, width, height}, nullptr, nullptr, nullptr};
  saverSurfaceCount = 1;
  saverLayoutChanged = false;
  saverDisplayOff = false;
  const bool saver = (saverMode == SaverMode::Saver);
  if (saver) setSaverRunning(1);
  if (!saver) {
    // The child draws at its own size, in the awareness it was made in.
    RECT client{};
    if (GetClientRect(window, &client)) {
      width = client.right - client.left;
      height = client.bottom - client.top;
    }
  }

  // The atlas, built while the first scene is set up, takes the first prop file of the
  // places this system has; the scenes of the other monitors get the same pixels.
  UseSystemPropSearch();
  keepPropAtlasPixels();
  const bool formatSet = SetUpSaverSurface(&saverSurfaces[0], width, height, true);
  if (formatSet && saverSurfaces[0].scene != nullptr && saver) {
    ScreenRect areas[kMaxSaverWindows];
    addMonitorWindows(areas, PlanSaverMonitorWindows(areas, kMaxSaverWindows));
  }
  releasePropAtlasPixels();
  if (!formatSet) {
    // Reported; the surface (and in Saver mode the window) is gone or left to the process's end.
    saverSurfaceCount = 0;
    saverSurfaces[0] = SaverSurface{};
    return;
  }
  saverScene = saverSurfaces[0].scene;
  if (saverScene == nullptr) {
    // Without a scene there is nothing to draw: the saver ends as if it had been closed.
    destroyAllWindows();
  } else {
    HANDLE displayWatch = saver ? watchDisplayState(window) : nullptr;
    if (saver) SetTimer(window, kLayoutTimer, 1000, nullptr);
    ShowWindow(window, showCommand);
    for (int32_t i = 1; i < saverSurfaceCount; ++i) ShowWindow(saverSurfaces[i].window, SW_SHOWNA);
    SaverLoop loop;
    FramePacer pacer;
    runFrameLoop(loop, pacer);
    stopWatchingDisplayState(displayWatch);
  }
  // Each window was released as it was destroyed; a loop ended otherwise leaves its
  // windows to the process's end, their contexts released here.
  while (saverSurfaceCount > 0) releaseSurface(&saverSurfaces[--saverSurfaceCount]);
  saverScene = nullptr;
  if (saver) setSaverRunning(0);
  saverWindow = nullptr;
}
