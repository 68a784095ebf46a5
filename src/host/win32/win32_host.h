#pragma once
// The Windows host: process-wide state, the saver window and its procedure, the close
// operations on SaverSettings and the system password services.
#include <windows.h>

#include "host/win32/command_line.h"
#include "host/win32/win32_saver_settings.h"

struct MirrorScene;

extern SaverMode saverMode;        // set once when the command line is read
extern HWND saverWindow;           // the saver window while it exists
extern MirrorScene* saverScene;    // the scene while the loop runs

// System calls of the saver window. They are the system's own functions; a test may point
// them elsewhere to force a failure or to watch the frame loop.
using ChoosePixelFormatCall = int(WINAPI*)(HDC, const PIXELFORMATDESCRIPTOR*);
using SetPixelFormatCall = BOOL(WINAPI*)(HDC, int, const PIXELFORMATDESCRIPTOR*);
using SwapBuffersCall = BOOL(WINAPI*)(HDC);
using SleepCall = void(WINAPI*)(DWORD);
using SystemParametersInfoCall = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT);
extern ChoosePixelFormatCall saverChoosePixelFormat;
extern SetPixelFormatCall saverSetPixelFormat;
extern SwapBuffersCall saverSwapBuffers;
extern SleepCall saverSleep;
extern SystemParametersInfoCall saverSystemParametersInfo;
// One frame of the scene (MirrorScene::renderFrame unless a test watches the loop); true when
// the frame is in the back buffer and the buffers are to be swapped.
using RenderFrameCall = bool (*)(MirrorScene* scene, uint32_t frameWord);
extern RenderFrameCall saverRenderFrame;

// The system's password services, as the libraries export them.
using VerifyScreenSavePwdCall = BOOL(WINAPI*)(HWND);
using PwdChangePasswordCall = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, DWORD);

// The whole program after the instance handle is stored: reads the command line, makes and
// loads the settings, runs one mode, frees the settings. Always returns 0.
int RunSaverProgram(const char* commandLine, int showCommand);

// Creates the saver window (full screen, or a child of `parent` in Preview mode), runs the
// frame loop until the window is destroyed and releases everything.
void RunSaverWindow(HWND parent, int showCommand);

// Registers the window class "OpenGL". Returns false when registration fails, the class
// being registered already included.
bool RegisterSaverClass();

// Creates the saver window for the current mode (Preview: a child of `parent`); null when it
// can't be made. `width`/`height` receive the window's size.
HWND CreateSaverWindow(HWND parent, int32_t* width, int32_t* height);

// The saver window's procedure.
LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Marks the close as the saver's own and posts WM_CLOSE to the saver window.
void RequestClose(SaverSettings* settings);
// Starts a password check: input no longer ends the saver and the cursor shows.
void BeginPasswordCheck(SaverSettings* settings);
// Ends a password check: the cursor hides again and the mouse reference point moves to the
// cursor's present position.
void EndPasswordCheck(SaverSettings* settings);

// True when the saver may close: the NT family, a missing password library or function, or a
// password the system accepted.
bool VerifySaverPassword(HWND window);
// Hands the saver password to the system's password-change service, if it has one.
void ChangeSaverPassword(HWND parent);
