// The process-wide host state that the window and dialog procedures reach.
#include "host/win32_host.h"

HINSTANCE hostInstance = nullptr;
SaverSettings* saverSettings = nullptr;
SaverMode saverMode = SaverMode::None;
HWND saverWindow = nullptr;
MirrorScene* saverScene = nullptr;

ChoosePixelFormatCall saverChoosePixelFormat = ::ChoosePixelFormat;
SetPixelFormatCall saverSetPixelFormat = ::SetPixelFormat;
