// The saver's windows: class, windows, OpenGL contexts, scenes, the main thread's message
// loop and tear-down. Each window's scene is drawn by a thread of its own.
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

// The power settings watched on the primary's window: the console display's state, the
// power source, the battery saver and the energy saver, each reported as it changes (and
// once at registration). The calls are looked up: systems before Vista lack them; a
// setting the system does not know is simply not registered.
using RegisterPowerSettingCall = HANDLE(WINAPI*)(HANDLE, const GUID*, DWORD);
using UnregisterPowerSettingCall = BOOL(WINAPI*)(HANDLE);
constexpr int32_t kWatchedSettings = 4;

void watchPowerSettings(HWND window, HANDLE* registrations) {
  const auto watch = orvane::lookUpSystemCall<RegisterPowerSettingCall>(
      GetModuleHandleA("user32.dll"), "RegisterPowerSettingNotification");
  const GUID* settings[kWatchedSettings] = {&saverConsoleDisplayState, &saverPowerSource, &saverPowerSavingStatus,
                                            &saverEnergySaverStatus};
  for (int32_t i = 0; i < kWatchedSettings; ++i)
    registrations[i] = watch ? watch(window, settings[i], DEVICE_NOTIFY_WINDOW_HANDLE) : nullptr;
}

void stopWatchingPowerSettings(HANDLE* registrations) {
  const auto stop = orvane::lookUpSystemCall<UnregisterPowerSettingCall>(
      GetModuleHandleA("user32.dll"), "UnregisterPowerSettingNotification");
  for (int32_t i = 0; i < kWatchedSettings; ++i) {
    if (registrations[i] && stop) stop(registrations[i]);
  }
}

// The session's changes (locked, disconnected, taken over remotely) reported to the window.
using SessionNotificationCall = BOOL(WINAPI*)(HWND, DWORD);
using SessionUnregisterCall = BOOL(WINAPI*)(HWND);
HMODULE sessionLibrary() {
  static const HMODULE library = LoadLibraryA("wtsapi32.dll");
  return library;
}
void watchSession(HWND window) {
  const auto watch = orvane::lookUpSystemCall<SessionNotificationCall>(sessionLibrary(),
                                                                      "WTSRegisterSessionNotification");
  constexpr DWORD kThisSession = 0;  // NOTIFY_FOR_THIS_SESSION
  if (watch) watch(window, kThisSession);
}
void stopWatchingSession(HWND window) {
  const auto stop = orvane::lookUpSystemCall<SessionUnregisterCall>(sessionLibrary(),
                                                                   "WTSUnRegisterSessionNotification");
  if (stop && IsWindow(window)) stop(window);
}

// The main thread's loop: the windows' messages and, between them, a new layout of the
// windows; the drawing threads draw meanwhile. Ends with the quit message.
void runMessageLoop() {
  for (;;) {
    MSG message;
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return;
      TranslateMessage(&message);
      DispatchMessageA(&message);
      continue;
    }
    if (saverLayoutChanged) {
      saverLayoutChanged = false;
      RelayoutSaverWindows();
      continue;
    }
    MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

// Starts the drawing threads of the surfaces from `first` on; the contexts they take
// must be current nowhere.
void startDrawing(int32_t first) {
  wglMakeCurrent(nullptr, nullptr);
  for (int32_t i = first; i < saverSurfaces.count(); ++i) StartSurfaceThread(&saverSurfaces[i]);
}

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
    // Its thread reshapes the scene and takes the monitor's refresh, which may be new.
    ResizeSurfaceThread(&surface, width, height);
    RetakeSurfaceRefresh(&surface);
  }
  const int32_t first = saverSurfaces.count();
  keepPropAtlasPixels();
  addMonitorWindows(areas, count);
  releasePropAtlasPixels();
  for (int32_t i = first; i < saverSurfaces.count(); ++i) ShowWindow(saverSurfaces[i].window, SW_SHOWNA);
  startDrawing(first);
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
  saverCursorSettling = false;
  saverDisplayOff = false;
  saverDrawingPaused = false;
  saverPowerState = PowerState{};
  ReadSystemPowerState();
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
    HANDLE powerWatch[kWatchedSettings] = {};
    if (saver) {
      watchPowerSettings(window, powerWatch);
      watchSession(window);
      SetTimer(window, kLayoutTimer, 1000, nullptr);
    }
    ShowWindow(window, showCommand);
    for (int32_t i = 1; i < saverSurfaces.count(); ++i) ShowWindow(saverSurfaces[i].window, SW_SHOWNA);
    startDrawing(0);
    runMessageLoop();
    if (saver) {
      stopWatchingSession(window);
      stopWatchingPowerSettings(powerWatch);
    }
  }
  // Each window was released as it was destroyed; a loop ended otherwise leaves its
  // windows to the process's end, their contexts released here.
  saverSurfaces.releaseAll();
  saverScene = nullptr;
  if (saver) setSaverRunning(0);
  saverWindow = nullptr;
}
