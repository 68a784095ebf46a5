#pragma once
// The Windows host: process-wide state, the saver window and its procedure, the close
// operations on SaverSettings and the system password services.
#include <windows.h>

#include <atomic>

#include "host/win32/command_line.h"
#include "host/win32/saver_rules.h"
#include "host/win32/win32_saver_settings.h"

struct MirrorScene;

extern SaverMode saverMode;        // set once when the command line is read
extern HWND saverWindow;           // the saver window (in Saver mode, the primary monitor's) while it exists
extern MirrorScene* saverScene;    // its scene while the loop runs

struct SurfaceThread;

// One window of the saver and what draws in it. Saver mode has one per monitor, the
// primary monitor's first; Preview has one. A window without a scene shows black. The
// window and its messages belong to the main thread; its scene is drawn by a thread of its
// own, on which its context is current from the thread's start to its end.
struct SaverSurface {
  HWND window;
  ScreenRect area;  // where the window was laid out, in virtual-screen coordinates
  HDC deviceContext;
  HGLRC renderContext;
  MirrorScene* scene;
  SurfaceThread* thread;  // the thread drawing the scene, once started
};

// Starts the thread that draws the surface's scene at its monitor's refresh (its context
// must be current on no thread). False when it cannot be started: the scene then stays
// still and is destroyed with the surface, as without a thread.
bool StartSurfaceThread(SaverSurface* surface);
// Ends the surface's thread, if it has one: it finishes its frame, destroys the scene with
// its context current and makes no context current. Messages sent to this thread's
// windows meanwhile are handled. The scene is then gone (`scene` null).
void StopSurfaceThread(SaverSurface* surface);
// Tells the thread the size its scene is to draw at (the window was resized).
void ResizeSurfaceThread(SaverSurface* surface, int32_t width, int32_t height);
// Tells the thread its monitor's refresh (the window's monitor, asked of the system).
void RetakeSurfaceRefresh(SaverSurface* surface);
// Wakes every drawing thread to look at the power and display state again.
void WakeSurfaceThreads();

// The one owner of the saver's windows and what draws in them: a surface is added for a
// window, and taken away in one way only (its scene destroyed with its context current,
// then the context, the device context, and the window forgotten). `saverWindow` and
// `saverScene` are cleared when the surface they name goes.
class SaverSurfaceSet {
 public:
  int32_t count() const { return count_; }
  SaverSurface& operator[](int32_t index) { return surfaces_[index]; }
  // The surface of one of the saver's windows; null for any other window.
  SaverSurface* find(HWND window);
  // A surface for `window` over `area`, with nothing set up yet; null when there is no room.
  SaverSurface* add(HWND window, const ScreenRect& area);
  // Takes the window's surface away (the window itself is being destroyed, or left to the
  // process's end). True when no surface is left.
  bool forget(HWND window);
  // Destroys one window, which takes its surface away (WM_DESTROY), leaving no quit
  // message behind when `keepQuit` is false.
  void destroyWindow(HWND window, bool keepQuit);
  // Destroys every further window, then `primary`; the quit message of the last stays, to
  // end the loop.
  void destroyAll(HWND primary);
  // Takes every surface away without destroying the windows (the loop has ended).
  void releaseAll();

 private:
  SaverSurface surfaces_[kMaxSaverWindows] = {};
  int32_t count_ = 0;
};
extern SaverSurfaceSet saverSurfaces;
// Set when the display layout changed (a monitor came, went or changed its size); the frame
// loop then lays the windows out again. Besides the system's WM_DISPLAYCHANGE, a timer on the
// primary's window compares the monitors with the windows once a second (not every system
// reports a change made outside it).
extern bool saverLayoutChanged;
constexpr UINT_PTR kLayoutTimer = 1;
// A cursor that moved too far while the saver has windows is taken as input only if the
// layout is still the same a moment later: a change of the monitors moves the cursor, and
// the system may tell of the new layout only after the move (Wine does, by tens of ms).
constexpr UINT_PTR kCursorTimer = 2;
constexpr UINT kCursorSettleMs = 250;
extern bool saverCursorSettling;  // the timer runs (further moves do not restart it)
// The console display is off: the drawing threads wait instead of drawing.
extern std::atomic<bool> saverDisplayOff;
// A password check is under way: the picture stands still until it ends.
extern std::atomic<bool> saverDrawingPaused;
// The power facts as the system last announced them (main thread), and whether they, with
// the "SavePower" setting, ask the drawing threads for the power-saving pace.
extern PowerState saverPowerState;
extern std::atomic<bool> saverSavingPower;
// Takes the power source and battery saver from the system's power status into
// saverPowerState (the energy saver is only announced), then updates the pace.
void ReadSystemPowerState();
// Sets saverSavingPower from saverPowerState and wakes the drawing threads.
void UpdateSaverPower();
// Posted to the primary's window by a drawing thread whose context keeps failing (a driver
// reset, an adapter switched): the saver closes as if asked to.
constexpr UINT kContextLostMessage = WM_APP + 0x28;
// The power settings the saver follows besides the display state: the power source, the
// battery saver, the energy saver (not every system has the last).
extern const GUID saverPowerSource;
extern const GUID saverPowerSavingStatus;
extern const GUID saverEnergySaverStatus;

// System calls of the saver window. They are the system's own functions; a test may point
// them elsewhere to force a failure or to watch the frame loop.
using ChoosePixelFormatCall = int(WINAPI*)(HDC, const PIXELFORMATDESCRIPTOR*);
using SetPixelFormatCall = BOOL(WINAPI*)(HDC, int, const PIXELFORMATDESCRIPTOR*);
using SwapBuffersCall = BOOL(WINAPI*)(HDC);
using GetSystemPowerStatusCall = BOOL(WINAPI*)(LPSYSTEM_POWER_STATUS);
using SystemParametersInfoCall = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT);
extern ChoosePixelFormatCall saverChoosePixelFormat;
extern SetPixelFormatCall saverSetPixelFormat;
extern SwapBuffersCall saverSwapBuffers;
extern GetSystemPowerStatusCall saverGetSystemPowerStatus;
// The frame loop's clock (the performance counter, in microseconds) and its wait until a
// deadline on that clock or until a message comes (kNoDeadline: until a message); a test
// may point them elsewhere to watch the pace.
using ClockCall = int64_t (*)();
using FrameWaitCall = void (*)(int64_t deadlineMicros);
extern ClockCall saverClockMicros;
extern FrameWaitCall saverWaitUntil;
extern SystemParametersInfoCall saverSystemParametersInfo;
// The GL_RENDERER of the current context (glGetString unless a test plays another driver).
using RendererNameCall = const char* (*)();
extern RendererNameCall saverRendererName;
// One frame of the scene (MirrorScene::renderFrame unless a test watches the loop); true when
// the frame is in the back buffer and the buffers are to be swapped.
using RenderFrameCall = bool (*)(MirrorScene* scene, uint32_t frameWord);
extern RenderFrameCall saverRenderFrame;
// Waiting for the next message while the display is off (WaitMessage).
using WaitMessageCall = BOOL(WINAPI*)();
extern WaitMessageCall saverWaitMessage;
// The thread's DPI awareness taken from the preview's parent before the child is made; null
// where the system lacks the calls (looked up when the program starts).
using GetWindowDpiAwarenessContextCall = DPI_AWARENESS_CONTEXT(WINAPI*)(HWND);
using SetThreadDpiAwarenessContextCall = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
extern GetWindowDpiAwarenessContextCall saverGetWindowDpiAwarenessContext;
extern SetThreadDpiAwarenessContextCall saverSetThreadDpiAwarenessContext;

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
// Creates a further Saver-mode window over `area`, hidden until shown without activation;
// its creation records nothing in SaverSettings. It is topmost and a tool window owned by
// `owner` (the primary's window): nothing of the desktop covers it, and it has no taskbar
// button. Null when it can't be made.
HWND CreateExtraSaverWindow(const ScreenRect& area, HWND owner);
// True for a window that CreateExtraSaverWindow is making (read in its WM_CREATE).
bool IsExtraSaverWindowCreation(LPARAM createParameter);

// The saver's windows for the monitors there are now, primary first (see planMonitorWindows).
int32_t PlanSaverMonitorWindows(ScreenRect* windows, int32_t capacity);
// Gives the window a pixel format, a rendering context and a scene of `width` x `height`,
// left current. `reportFailures`: the pixel-format failures are reported (the primary's);
// else a window whose format fails stays black, silently. False when the pixel format failed.
bool SetUpSaverSurface(SaverSurface* surface, int32_t width, int32_t height, bool reportFailures);
// The power setting of the console display's state (on, off, dimmed).
extern const GUID saverConsoleDisplayState;
// True when the monitors there are now differ from the areas the windows were laid out on.
bool SaverLayoutIsStale();
// Lays the Saver-mode windows out again over the monitors there are now: windows moved and
// resized with their scenes reshaped, windows made for added monitors, windows destroyed
// for removed ones. The primary's window is never destroyed.
void RelayoutSaverWindows();

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
