// The saver's windows: class, windows, OpenGL contexts, scenes, frame loop and tear-down.
#include <new>

#include "host/frame_loop.h"
#include "host/win32/win32_call_checks.h"
#include "host/win32/win32_frame_pace.h"
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

// A pixel-format failure is reported while the saver window would still be up. In Saver
// mode the message box would take activation, the window procedure would take that as input
// and close the window, and the quit message of WM_DESTROY would end the box's modal loop:
// the report would vanish at once. So the window goes first, its quit message is taken out
// of the queue, and only then the box is shown; it stays until the user dismisses it.
void reportPixelFormatFailure(HWND window, const char* text) {
  if (saverMode == SaverMode::Saver) {
    // Its quit message is taken out of the queue again, so that the box is not ended by it.
    saverSurfaces.destroyWindow(window, false);
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
// layout of the windows, a new pace after a change of the layout or the power source, or a
// wait while the display is off), one frame of each window's scene with its context made current, the
// buffer swaps, and a wait for the next turn that wakes for messages, each through its seam.
class SaverLoop : public FrameLoopHost {
 public:
  explicit SaverLoop(FramePacer* pacer) : pacer_(pacer) { takePace(); }

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
      takePace();  // the primary display may have a new refresh
      return EventStep::Handled;
    }
    if (saverPowerChanged) {
      saverPowerChanged = false;
      takePace();
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
    for (int32_t i = 0; i < saverSurfaces.count(); ++i) {
      if (saverSurfaces[i].scene != nullptr) drawn_[drawnCount_++] = saverSurfaces[i];
    }
    return drawnCount_;
  }
  // The preview draws only while the window it is shown in can be seen.
  bool sceneReady(int32_t index) override {
    if (saverMode != SaverMode::Preview) return true;
    HWND top = GetAncestor(drawn_[index].window, GA_ROOT);
    return top == nullptr || (IsWindowVisible(top) && !IsIconic(top));
  }
  bool renderFrame(int32_t index) override {
    SaverSurface& surface = drawn_[index];
    if (wglGetCurrentContext() != surface.renderContext)
      wglMakeCurrent(surface.deviceContext, surface.renderContext);
    // A further monitor's presents do not wait for a refresh, so that the presents of several
    // monitors in one turn do not wait one each. It is set at the window's first frame, not
    // as the window is made: a change of layout may make a window and take it away again at
    // once, and under Wine setting the interval on such a window has taken the whole
    // session's windows with it.
    if (!surface.swapIntervalSet) {
      SetCurrentSwapInterval(0);
      surface.swapIntervalSet = true;
      if (SaverSurface* kept = saverSurfaces.find(surface.window)) kept->swapIntervalSet = true;
    }
    return saverRenderFrame(surface.scene, frameWordFor(saverSettings ? saverSettings->UseMirrors : 1));
  }
  void swapBuffers(int32_t index) override { saverSwapBuffers(drawn_[index].deviceContext); }
  int64_t nowMicros() override { return saverClockMicros(); }
  // A hidden preview gets no message when it is shown again: it looks four times a second.
  void waitUntil(int64_t deadline) override {
    if (deadline == kNoDeadline && saverMode == SaverMode::Preview) deadline = saverClockMicros() + 250000;
    saverWaitUntil(deadline);
  }

 private:
  // The pace from the primary display's refresh, whether its presents wait for it, and the
  // power source.
  void takePace() {
    FramePace pace;
    pace.refreshHz = PrimaryRefreshHz();
    pace.presentsWaitForRefresh = saverPresentsWait;
    pace.savePower = SystemSavingPower();
    pacer_->setPeriod(framePeriodMicros(pace));
  }

  FramePacer* pacer_;
  // The surfaces drawn in this turn.
  SaverSurface drawn_[kMaxSaverWindows] = {};
  int32_t drawnCount_ = 0;
};

// Windows for the monitors of `areas` that have none yet (the first saverSurfaces.count()
// have theirs), set up and drawn unless the user asked for the primary monitor only; a
// monitor whose window cannot draw stays black.
void addMonitorWindows(const ScreenRect* areas, int32_t count) {
  const bool draw = saverSettings == nullptr || saverSettings->Monitors == 0;
  for (int32_t i = saverSurfaces.count(); i < count && saverSurfaces.count() < kMaxSaverWindows; ++i) {
    // Window i covers areas[i]: a window that cannot be made ends the adding (the layout
    // check tries again).
    HWND window = CreateExtraSaverWindow(areas[i], saverSurfaces[0].window);
    if (window == nullptr) break;
    SaverSurface* surface = saverSurfaces.add(window, areas[i]);
    if (draw) SetUpSaverSurface(surface, rectWidth(areas[i]), rectHeight(areas[i]), false);
  }
}

}  // namespace

bool SetUpSaverSurface(SaverSurface* surface, int32_t width, int32_t height, bool reportFailures) {
  HWND window = surface->window;
  surface->deviceContext = GetDC(window);
  // A reported failure may destroy the window, and with it the surface: it is not touched again.
  if (!setSaverPixelFormat(window, surface->deviceContext, reportFailures)) return false;
  surface->renderContext = wglCreateContext(surface->deviceContext);
  wglMakeCurrent(surface->deviceContext, surface->renderContext);
  // The primary's presents wait for its refresh (the pace is taken from whether they do);
  // the others' are set not to at their first frame.
  if (surface->renderContext != nullptr && reportFailures) {
    saverPresentsWait = SetCurrentSwapInterval(1);
    surface->swapIntervalSet = true;
  }
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

bool SaverLayoutIsStale() {
  ScreenRect areas[kMaxSaverWindows];
  const int32_t count = PlanSaverMonitorWindows(areas, kMaxSaverWindows);
  if (count != saverSurfaces.count()) return true;
  for (int32_t i = 0; i < count; ++i) {
    const ScreenRect& a = areas[i];
    const ScreenRect& b = saverSurfaces[i].area;
    if (a.left != b.left || a.top != b.top || a.right != b.right || a.bottom != b.bottom) return true;
  }
  return false;
}

void RelayoutSaverWindows() {
  if (saverSurfaces.count() == 0) return;
  ScreenRect areas[kMaxSaverWindows];
  const int32_t count = PlanSaverMonitorWindows(areas, kMaxSaverWindows);
  // Windows for removed monitors go first, the primary's never.
  while (saverSurfaces.count() > count && saverSurfaces.count() > 1)
    saverSurfaces.destroyWindow(saverSurfaces[saverSurfaces.count() - 1].window, true);
  for (int32_t i = 0; i < saverSurfaces.count(); ++i) {
    SaverSurface& surface = saverSurfaces[i];
    surface.area = areas[i];
    const int32_t width = rectWidth(areas[i]);
    const int32_t height = rectHeight(areas[i]);
    // The primary's window owns the others: moving it must not move them in the z-order
    // (under Wine that left every window's picture unshown after a change of layout).
    SetWindowPos(surface.window, nullptr, areas[i].left, areas[i].top, width, height,
                 SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOACTIVATE);
    if (surface.scene == nullptr) {
      InvalidateRect(surface.window, nullptr, TRUE);  // black over its new area
      continue;
    }
    if (wglGetCurrentContext() != surface.renderContext)
      wglMakeCurrent(surface.deviceContext, surface.renderContext);
    surface.scene->reshape(width, height);
  }
  const int32_t first = saverSurfaces.count();
  keepPropAtlasPixels();
  addMonitorWindows(areas, count);
  releasePropAtlasPixels();
  for (int32_t i = first; i < saverSurfaces.count(); ++i) ShowWindow(saverSurfaces[i].window, SW_SHOWNA);
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
  saverSurfaces.releaseAll();
  SaverSurface* primary = saverSurfaces.add(window, {0, 0, width, height});
  saverLayoutChanged = false;
  saverDisplayOff = false;
  saverPowerChanged = false;
  saverPresentsWait = false;
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
  const bool formatSet = SetUpSaverSurface(primary, width, height, true);
  if (formatSet && primary->scene != nullptr && saver) {
    ScreenRect areas[kMaxSaverWindows];
    addMonitorWindows(areas, PlanSaverMonitorWindows(areas, kMaxSaverWindows));
  }
  releasePropAtlasPixels();
  if (!formatSet) {
    // Reported; the surface (and in Saver mode the window) is gone or left to the process's end.
    saverSurfaces.releaseAll();
    return;
  }
  saverScene = saverSurfaces[0].scene;
  if (saverScene == nullptr) {
    // Without a scene there is nothing to draw: the saver ends as if it had been closed,
    // leaving no quit message behind.
    while (saverSurfaces.count() > 0) saverSurfaces.destroyWindow(saverSurfaces[saverSurfaces.count() - 1].window, false);
  } else {
    HANDLE displayWatch = saver ? watchDisplayState(window) : nullptr;
    if (saver) SetTimer(window, kLayoutTimer, 1000, nullptr);
    ShowWindow(window, showCommand);
    for (int32_t i = 1; i < saverSurfaces.count(); ++i) ShowWindow(saverSurfaces[i].window, SW_SHOWNA);
    FramePacer pacer;
    SaverLoop loop(&pacer);
    runFrameLoop(loop, pacer);
    stopWatchingDisplayState(displayWatch);
  }
  // Each window was released as it was destroyed; a loop ended otherwise leaves its
  // windows to the process's end, their contexts released here.
  saverSurfaces.releaseAll();
  saverScene = nullptr;
  if (saver) setSaverRunning(0);
  saverWindow = nullptr;
}
