// The process-wide host state that the window and dialog procedures reach.
#include "host/win32/win32_call_checks.h"
#include "host/win32/win32_host.h"
#include "scene/mirror_scene.h"

HINSTANCE hostInstance = nullptr;
SaverSettings* saverSettings = nullptr;
SaverMode saverMode = SaverMode::None;
HWND saverWindow = nullptr;
MirrorScene* saverScene = nullptr;

namespace {
bool renderSceneFrame(MirrorScene* scene, uint32_t frameWord) {
  return scene->renderFrame(frameWord);
}
}  // namespace

static_assert(orvane::isSystemCall<ChoosePixelFormatCall>() &&
                  orvane::isSystemCall<SetPixelFormatCall>() &&
                  orvane::isSystemCall<SwapBuffersCall>() && orvane::isSystemCall<SleepCall>() &&
                  orvane::isSystemCall<SystemParametersInfoCall>(),
              "the saver window's seams are called as the system's own functions are");

ChoosePixelFormatCall saverChoosePixelFormat = ::ChoosePixelFormat;
SetPixelFormatCall saverSetPixelFormat = ::SetPixelFormat;
SwapBuffersCall saverSwapBuffers = ::SwapBuffers;
SleepCall saverSleep = ::Sleep;
SystemParametersInfoCall saverSystemParametersInfo = ::SystemParametersInfoA;
RenderFrameCall saverRenderFrame = renderSceneFrame;
