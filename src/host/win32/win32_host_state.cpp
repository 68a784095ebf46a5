// The process-wide host state that the window and dialog procedures reach.
#include "host/win32/win32_call_checks.h"
#include "host/win32/win32_frame_pace.h"
#include "host/win32/win32_host.h"
#include "scene/gl_headers.h"
#include "scene/mirror_scene.h"

HINSTANCE hostInstance = nullptr;
SaverSettings* saverSettings = nullptr;
SaverMode saverMode = SaverMode::None;
HWND saverWindow = nullptr;
MirrorScene* saverScene = nullptr;
SaverSurfaceSet saverSurfaces;
bool saverLayoutChanged = false;
bool saverCursorSettling = false;
std::atomic<bool> saverDisplayOff{false};
std::atomic<bool> saverDrawingPaused{false};
PowerState saverPowerState;
std::atomic<bool> saverSavingPower{false};
const GUID saverConsoleDisplayState = {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
// GUID_ACDC_POWER_SOURCE, GUID_POWER_SAVING_STATUS and GUID_ENERGY_SAVER_STATUS, spelt out:
// not every MinGW header has them.
const GUID saverPowerSource = {0x5d3e9a59, 0xe9d5, 0x4b00, {0xa6, 0xbd, 0xff, 0x34, 0xff, 0x51, 0x65, 0x48}};
const GUID saverPowerSavingStatus = {0xe00958c0, 0xc213, 0x4ace, {0xac, 0x77, 0xfe, 0xcc, 0xed, 0x2e, 0xee, 0xa5}};
const GUID saverEnergySaverStatus = {0x550e8400, 0xe29b, 0x41d4, {0xa7, 0x16, 0x44, 0x66, 0x55, 0x44, 0x00, 0x00}};

namespace {
bool renderSceneFrame(MirrorScene* scene, uint32_t frameWord) {
  return scene->renderFrame(frameWord);
}
const char* currentRendererName() { return reinterpret_cast<const char*>(glGetString(GL_RENDERER)); }
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
RendererNameCall saverRendererName = currentRendererName;
// Windows 10 1607 and later; earlier systems make the preview as before.
GetWindowDpiAwarenessContextCall saverGetWindowDpiAwarenessContext =
    orvane::lookUpSystemCall<GetWindowDpiAwarenessContextCall>(GetModuleHandleA("user32.dll"),
                                                               "GetWindowDpiAwarenessContext");
SetThreadDpiAwarenessContextCall saverSetThreadDpiAwarenessContext =
    orvane::lookUpSystemCall<SetThreadDpiAwarenessContextCall>(GetModuleHandleA("user32.dll"),
                                                               "SetThreadDpiAwarenessContext");
