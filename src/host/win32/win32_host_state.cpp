// The process-wide host state that the window and dialog procedures reach.
#include "host/win32/win32_call_checks.h"
#include "host/win32/win32_frame_pace.h"
#include "host/win32/win32_host.h"
#include "scene/mirror_scene.h"

HINSTANCE hostInstance = nullptr;
SaverSettings* saverSettings = nullptr;
SaverMode saverMode = SaverMode::None;
HWND saverWindow = nullptr;
MirrorScene* saverScene = nullptr;
SaverSurfaceSet saverSurfaces;
bool saverLayoutChanged = false;
bool saverDisplayOff = false;
bool saverPowerChanged = false;
bool saverPresentsWait = false;
const GUID saverConsoleDisplayState = {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};

namespace {
bool renderSceneFrame(MirrorScene* scene, uint32_t frameWord) {
  return scene->renderFrame(frameWord);
}
}  // namespace

static_assert(orvane::isSystemCall<ChoosePixelFormatCall>() &&
                  orvane::isSystemCall<SetPixelFormatCall>() &&
                  orvane::isSystemCall<SwapBuffersCall>() && orvane::isSystemCall<GetSystemPowerStatusCall>() &&
                  orvane::isSystemCall<SystemParametersInfoCall>(),
              "the saver window's seams are called as the system's own functions are");
static_assert(orvane::isSystemCall<WaitMessageCall>() &&
                  orvane::isSystemCall<GetWindowDpiAwarenessContextCall>() &&
                  orvane::isSystemCall<SetThreadDpiAwarenessContextCall>(),
              "the loop's and the preview's seams are called as the system's own functions are");

ChoosePixelFormatCall saverChoosePixelFormat = ::ChoosePixelFormat;
SetPixelFormatCall saverSetPixelFormat = ::SetPixelFormat;
SwapBuffersCall saverSwapBuffers = ::SwapBuffers;
GetSystemPowerStatusCall saverGetSystemPowerStatus = ::GetSystemPowerStatus;
ClockCall saverClockMicros = PerformanceCounterMicros;
FrameWaitCall saverWaitUntil = WaitForFrameOrMessage;
SystemParametersInfoCall saverSystemParametersInfo = ::SystemParametersInfoA;
RenderFrameCall saverRenderFrame = renderSceneFrame;
WaitMessageCall saverWaitMessage = ::WaitMessage;
// Windows 10 1607 and later; earlier systems make the preview as before.
GetWindowDpiAwarenessContextCall saverGetWindowDpiAwarenessContext =
    orvane::lookUpSystemCall<GetWindowDpiAwarenessContextCall>(GetModuleHandleA("user32.dll"),
                                                               "GetWindowDpiAwarenessContext");
SetThreadDpiAwarenessContextCall saverSetThreadDpiAwarenessContext =
    orvane::lookUpSystemCall<SetThreadDpiAwarenessContextCall>(GetModuleHandleA("user32.dll"),
                                                               "SetThreadDpiAwarenessContext");
