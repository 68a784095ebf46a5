// RunSaverWindow through the host's seams. A pixel-format failure: the error box must stay
// until the user dismisses it, the saver window must be gone, no quit message may be left
// behind, and the screen-saver-running flag must be cleared. The frame loop (on the window's
// drawing thread): a swap only when the frame asks for it, a wait for the next turn after
// every frame, the running flag around an ordinary full-screen run only; then the pace, the
// power, the session, a failing context and the preview's visibility.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "host/frame_loop.h"

#include "host/win32/win32_host.h"
#include "scene/mirror_scene.h"

namespace {

int WINAPI chooseNothing(HDC, const PIXELFORMATDESCRIPTOR*) { return 0; }
BOOL WINAPI refuseFormat(HDC, int, const PIXELFORMATDESCRIPTOR*) { return FALSE; }

// What the saver handed to the two pixel-format calls.
PIXELFORMATDESCRIPTOR chooseRequest, setRequest;
int chosenFormat = 0, setFormat = 0;
int WINAPI chooseAndRecord(HDC dc, const PIXELFORMATDESCRIPTOR* request) {
  chooseRequest = *request;
  chosenFormat = ::ChoosePixelFormat(dc, request);
  return chosenFormat;
}
BOOL WINAPI refuseAndRecord(HDC, int format, const PIXELFORMATDESCRIPTOR* request) {
  setRequest = *request;
  setFormat = format;
  return FALSE;
}

// Watches for the error box from a second thread, as a user looking at the screen would.
struct BoxWatcher {
  std::string text;
  std::string caption;
  bool appeared = false;
  bool stayed = false;
  bool saverWindowGone = false;
  bool runningWhileShown = false;

  // Looks for the box for up to ten seconds, or until `done` is set.
  void watch(DWORD holdMs, const std::atomic<bool>* done = nullptr) {
    HWND box = nullptr;
    for (int i = 0; i < 500 && !box && !(done && *done); ++i) {
      box = FindWindowA("#32770", "Error");
      if (!box) Sleep(20);
    }
    if (!box) box = FindWindowA("#32770", "Error");
    if (!box) return;
    appeared = true;
    char buffer[256] = {};
    GetDlgItemTextA(box, 0xFFFF, buffer, sizeof(buffer));
    text = buffer;
    GetWindowTextA(box, buffer, sizeof(buffer));
    caption = buffer;
    saverWindowGone = FindWindowA("OpenGL", "SaverWindow") == nullptr;
    BOOL running = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
    runningWhileShown = running != FALSE;
    Sleep(holdMs);
    stayed = IsWindow(box) && IsWindowVisible(box);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  }
};

const RenderFrameCall defaultRenderFrame = saverRenderFrame;
const FrameWaitCall realWait = saverWaitUntil;
const ClockCall realClock = saverClockMicros;
const RendererNameCall realRendererName = saverRendererName;

class SaverWindowTest : public ::testing::Test {
 protected:
  SaverSettings settings{};

  void SetUp() override {
    hostInstance = GetModuleHandleA(nullptr);
    settings = SaverSettings{};
    settings.PasswordDelay = 15;  // within the delay any input closes at once
    settings.MouseThreshold = 50;
    settings.UseMirrors = 1;
    saverSettings = &settings;
    saverWindow = nullptr;
  }
  void TearDown() override {
    saverChoosePixelFormat = ::ChoosePixelFormat;
    saverSetPixelFormat = ::SetPixelFormat;
    saverSwapBuffers = ::SwapBuffers;
    saverWaitUntil = realWait;
    saverClockMicros = realClock;
    saverGetSystemPowerStatus = ::GetSystemPowerStatus;
    saverSystemParametersInfo = ::SystemParametersInfoA;
    saverRenderFrame = defaultRenderFrame;
    saverRendererName = realRendererName;
    saverMode = SaverMode::None;
    if (saverWindow && IsWindow(saverWindow)) DestroyWindow(saverWindow);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    UnregisterClassA("OpenGL", hostInstance);
    saverSettings = nullptr;
    saverWindow = nullptr;
  }
};

TEST_F(SaverWindowTest, SaverModeReportStaysUntilDismissed) {
  struct {
    const char* what;
    bool failChoose;
    const char* text;
  } cases[] = {
      {"choose", true, "ChoosePixelFormat() failed:  Cannot find a suitable pixel format."},
      {"set", false, "SetPixelFormat() failed:  Cannot set format specified."},
  };
  for (const auto& c : cases) {
    saverMode = SaverMode::Saver;
    if (c.failChoose)
      saverChoosePixelFormat = chooseNothing;
    else
      saverSetPixelFormat = refuseFormat;

    BoxWatcher watcher;
    std::thread eyes([&] { watcher.watch(1500); });
    RunSaverWindow(nullptr, SW_SHOWNORMAL);
    eyes.join();

    EXPECT_TRUE(watcher.appeared) << c.what;
    EXPECT_TRUE(watcher.stayed) << c.what << ": the report vanished before it was dismissed";
    EXPECT_TRUE(watcher.saverWindowGone) << c.what;
    // The flag is cleared after the report, not before.
    EXPECT_TRUE(watcher.runningWhileShown) << c.what;
    EXPECT_EQ(watcher.text, c.text) << c.what;
    EXPECT_EQ(watcher.caption, "Error") << c.what;
    EXPECT_EQ(saverWindow, nullptr) << c.what;
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << c.what;
    BOOL running = TRUE;
    EXPECT_TRUE(SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0));
    EXPECT_FALSE(running) << c.what;
    saverChoosePixelFormat = ::ChoosePixelFormat;
    saverSetPixelFormat = ::SetPixelFormat;
    UnregisterClassA("OpenGL", hostInstance);
  }
}

TEST_F(SaverWindowTest, RequestIsDoubleBufferedRgbaOf32BitsAndNothingMore) {
  std::memset(&chooseRequest, 0xAB, sizeof chooseRequest);
  std::memset(&setRequest, 0xAB, sizeof setRequest);
  saverMode = SaverMode::Saver;
  saverChoosePixelFormat = chooseAndRecord;
  saverSetPixelFormat = refuseAndRecord;
  BoxWatcher watcher;
  std::thread eyes([&] { watcher.watch(100); });
  RunSaverWindow(nullptr, SW_SHOWNORMAL);
  eyes.join();
  EXPECT_TRUE(watcher.appeared);

  // Every byte zero but the five fields asked for: no depth, stencil, alpha or
  // accumulation bits, the main plane.
  PIXELFORMATDESCRIPTOR expected;
  std::memset(&expected, 0, sizeof expected);
  expected.nSize = 40;
  expected.nVersion = 1;
  expected.dwFlags = 37;  // draw to window, OpenGL, double buffer
  expected.iPixelType = PFD_TYPE_RGBA;
  expected.cColorBits = 32;
  static_assert(sizeof expected == 40, "the request is 40 bytes");
  EXPECT_EQ(chooseRequest.nSize, 40);
  EXPECT_EQ(chooseRequest.dwFlags, 37u);
  EXPECT_EQ(chooseRequest.cColorBits, 32);
  EXPECT_EQ(std::memcmp(&chooseRequest, &expected, sizeof expected), 0);
  // SetPixelFormat gets the format chosen and the same request.
  EXPECT_NE(chosenFormat, 0);
  EXPECT_EQ(setFormat, chosenFormat);
  EXPECT_EQ(std::memcmp(&setRequest, &expected, sizeof expected), 0);
}

TEST_F(SaverWindowTest, PreviewModeReportsWithTheChildLeftInPlace) {
  HWND parent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 160,
                                120, nullptr, nullptr, hostInstance, nullptr);
  ASSERT_NE(parent, nullptr);
  saverMode = SaverMode::Preview;
  saverChoosePixelFormat = chooseNothing;
  BoxWatcher watcher;
  std::thread eyes([&] { watcher.watch(300); });
  RunSaverWindow(parent, SW_SHOWNORMAL);
  eyes.join();
  EXPECT_TRUE(watcher.appeared);
  EXPECT_TRUE(watcher.stayed);
  EXPECT_FALSE(watcher.runningWhileShown);  // Preview never flags a running saver
  EXPECT_EQ(watcher.text, "ChoosePixelFormat() failed:  Cannot find a suitable pixel format.");
  // The child is left to the end of the process.
  EXPECT_NE(FindWindowExA(parent, nullptr, "OpenGL", "SaverWindow"), nullptr);
  DestroyWindow(parent);
}

TEST_F(SaverWindowTest, ClassThatCannotBeRegisteredIsReported) {
  // The class name is taken already, so registering it fails.
  ASSERT_TRUE(RegisterSaverClass());
  saverMode = SaverMode::Saver;
  BoxWatcher watcher;
  std::thread eyes([&] { watcher.watch(300); });
  RunSaverWindow(nullptr, SW_SHOWNORMAL);
  eyes.join();
  EXPECT_TRUE(watcher.appeared);
  EXPECT_EQ(watcher.text, "RegisterClass() failed:  Cannot register window class.");
  EXPECT_EQ(watcher.caption, "Error");
  EXPECT_EQ(saverWindow, nullptr);
  EXPECT_EQ(FindWindowA("OpenGL", "SaverWindow"), nullptr);
}

TEST_F(SaverWindowTest, PreviewWithoutAParentEndsSilently) {
  saverMode = SaverMode::Preview;
  saverChoosePixelFormat = chooseNothing;
  // A box would hold the call until dismissed: the watcher looks while the call runs.
  std::atomic<bool> returned{false};
  BoxWatcher watcher;
  std::thread eyes([&] { watcher.watch(0, &returned); });
  RunSaverWindow(nullptr, SW_SHOWNORMAL);
  returned = true;
  eyes.join();
  EXPECT_FALSE(watcher.appeared) << watcher.text;
  EXPECT_EQ(saverWindow, nullptr);
}

// ---------------------------------------------------------------- the frame loop

// What the loop did, in order: 'F' a frame ready to be swapped, 'f' one that is not, 'S' a
// swap, 'Z' a wait until the next frame is
// due, 'z' a wait with no deadline, '+' / '-' the running flag set / cleared for this session
// only, '!' a change of the flag that would update the user profile. The loop's clock is
// made up: a wait ends at its deadline, and `steps` keeps how far each moved it. The drawing
// thread may draw a few frames more before a close reaches it: tests look up to the close.
std::string loopEvents;
std::vector<int64_t> steps;
int frameCount = 0;
int64_t madeUpNow = 1000000;
int64_t madeUpClock() { return madeUpNow; }
void watchWait(int64_t deadline) {
  loopEvents += deadline == kNoDeadline ? 'z' : 'Z';
  if (deadline == kNoDeadline) return;
  steps.push_back(deadline - madeUpNow);
  madeUpNow = deadline;
}
BOOL WINAPI watchSwap(HDC);
// The loop's swaps, waits and clock watched from here on, with nothing recorded yet.
void watchTheLoop() {
  saverSwapBuffers = watchSwap;
  saverWaitUntil = watchWait;
  saverClockMicros = madeUpClock;
  loopEvents.clear();
  steps.clear();
  frameCount = 0;
}

bool watchFrame(MirrorScene*, uint32_t) {
  ++frameCount;
  const bool ready = frameCount % 3 != 0;
  loopEvents += ready ? 'F' : 'f';
  if (frameCount == 8) RequestClose(saverSettings);
  return ready;
}
BOOL WINAPI watchSwap(HDC) {
  loopEvents += 'S';
  return TRUE;
}
BOOL WINAPI watchFlag(UINT action, UINT value, PVOID previous, UINT profile) {
  if (action == SPI_SETSCREENSAVERRUNNING) loopEvents += profile != 0 ? '!' : value ? '+' : '-';
  return SystemParametersInfoA(action, value, previous, profile);
}

// The system's own software renderer, even on this 60 Hz display, draws 30 frames a second.
const char* gdiGeneric() { return "GDI Generic"; }

TEST_F(SaverWindowTest, FrameLoopAndRunningFlag) {
  const char* const frames = "FSZ" "FSZ" "fZ" "FSZ" "FSZ" "fZ" "FSZ" "FS";
  struct {
    SaverMode mode;
    std::string events;
    RendererNameCall renderer;
    int64_t shortest, longest;  // each turn's period
  } cases[] = {
      {SaverMode::Saver, std::string("+") + frames, realRendererName, 16001, 16667},
      {SaverMode::Preview, frames, realRendererName, 16001, 16667},
      {SaverMode::Saver, std::string("+") + frames, gdiGeneric, 33334, 33334},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode == SaverMode::Saver ? "Saver" : "Preview");
    HWND parent = nullptr;
    if (c.mode == SaverMode::Preview) {
      parent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 160,
                               120, nullptr, nullptr, hostInstance, nullptr);
      ASSERT_NE(parent, nullptr);
    }
    saverMode = c.mode;
    saverRenderFrame = watchFrame;
    watchTheLoop();
    saverSystemParametersInfo = watchFlag;
    saverRendererName = c.renderer;
    RunSaverWindow(parent, SW_SHOWNORMAL);
    EXPECT_EQ(loopEvents.substr(0, c.events.size()), c.events);
    // The flag is cleared once the drawing has ended.
    if (c.mode == SaverMode::Saver) {
      EXPECT_EQ(loopEvents.back(), '-') << loopEvents;
    }
    // Each turn is due one refresh of this display (60 Hz here) after the last.
    ASSERT_GE(steps.size(), 7u);
    for (size_t i = 0; i < 7; ++i) EXPECT_TRUE(steps[i] >= c.shortest && steps[i] <= c.longest) << steps[i];
    BOOL running = TRUE;
    EXPECT_TRUE(SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0));
    EXPECT_FALSE(running);
    if (parent) DestroyWindow(parent);
    UnregisterClassA("OpenGL", hostInstance);
  }
}

// ---------------------------------------------------------------- the power source

// The power source as the test makes it up.
bool onBattery = false;
BOOL WINAPI madeUpPower(LPSYSTEM_POWER_STATUS status) {
  *status = SYSTEM_POWER_STATUS{};
  status->ACLineStatus = onBattery ? 0 : 1;
  return TRUE;
}
// The mains come back in the third frame, as the system tells its windows; the turn after
// it is still due at the old pace.
bool frameOnTheMains(MirrorScene*, uint32_t) {
  if (++frameCount == 3) {
    onBattery = false;
    SendMessageA(saverWindow, WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0);
  }
  if (frameCount == 5) RequestClose(saverSettings);
  return true;
}

// On battery with SavePower on, a 60 Hz display's pace halves to 30 frames a second until
// the system tells the saver that the mains are back.
TEST_F(SaverWindowTest, PaceFollowsThePowerSource) {
  saverMode = SaverMode::Saver;
  settings.SavePower = 1;
  onBattery = true;
  saverGetSystemPowerStatus = madeUpPower;
  saverRenderFrame = frameOnTheMains;
  watchTheLoop();
  RunSaverWindow(nullptr, SW_SHOWNORMAL);
  // Two refreshes (a little less where the presents wait for them), then one.
  ASSERT_GE(steps.size(), 4u);
  for (size_t i = 0; i < 4; ++i)
    EXPECT_TRUE(i < 3 ? steps[i] >= 32600 && steps[i] <= 33333 : steps[i] > 16000 && steps[i] <= 16667)
        << "step " << i << ": " << steps[i];
}

// ---------------------------------------------------------------- the hidden preview

// The preview draws nothing while it cannot be seen (the settings window minimised, or a
// window between them hidden), and looks again four times a second until it can.
HWND hiddenWindow = nullptr;
int shownAgainWith = SW_SHOW;
int hiddenWaits = 0;
void waitWhileHidden(int64_t deadline) {
  watchWait(deadline);
  if (++hiddenWaits == 3) ShowWindow(hiddenWindow, shownAgainWith);
}
bool frameThenClose(MirrorScene*, uint32_t) {
  loopEvents += 'F';
  PostMessageA(saverWindow, WM_CLOSE, 0, 0);
  return true;
}

TEST_F(SaverWindowTest, PreviewDrawsNothingWhileItCannotBeSeen) {
  for (bool minimised : {true, false}) {
    SCOPED_TRACE(minimised ? "minimised" : "inside a hidden window");
    HWND top = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 170, 130, nullptr,
                               nullptr, hostInstance, nullptr);
    hiddenWindow = minimised ? top : CreateWindowExA(0, "STATIC", "box", WS_CHILD, 0, 0, 150, 100, top, nullptr,
                                                     hostInstance, nullptr);
    shownAgainWith = minimised ? SW_RESTORE : SW_SHOW;
    if (minimised) ShowWindow(top, SW_MINIMIZE);
    ASSERT_EQ(IsIconic(top) != FALSE, minimised);
    saverMode = SaverMode::Preview;
    saverRenderFrame = frameThenClose;
    watchTheLoop();
    saverWaitUntil = waitWhileHidden;
    hiddenWaits = 0;
    RunSaverWindow(hiddenWindow, SW_SHOWNORMAL);
    EXPECT_EQ(loopEvents.substr(0, 5), "ZZZFS");
    ASSERT_GE(steps.size(), 3u);
    EXPECT_EQ(steps[0], 250000);
    DestroyWindow(top);
    UnregisterClassA("OpenGL", hostInstance);
  }
}

// ---------------------------------------------------------------- display power, preview DPI

// Sends the saver window a change of one power setting, as the system does.
void sendPowerSetting(const GUID& setting, DWORD value) {
  struct {
    POWERBROADCAST_SETTING setting;
    BYTE more[3];
  } message{{setting, sizeof value, {}}, {}};
  std::memcpy(message.setting.Data, &value, sizeof value);
  SendMessageA(saverWindow, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, reinterpret_cast<LPARAM>(&message));
}
// The console display's state (0 off, 1 on, 2 dimmed).
void sendDisplayState(DWORD state) { sendPowerSetting(saverConsoleDisplayState, state); }

// 'w' a wait for messages. The display goes off in the second frame: the loop waits instead
// of drawing until it comes back, dimmed, at the third wait.
int waits = 0;
bool frameTurningTheDisplayOff(MirrorScene*, uint32_t) {
  loopEvents += 'F';
  if (++frameCount == 2) sendDisplayState(0);
  if (frameCount == 4) RequestClose(saverSettings);
  return true;
}
BOOL WINAPI watchWaitMessage() {
  loopEvents += 'w';
  if (++waits == 3) sendDisplayState(2);
  if (waits == 50) RequestClose(saverSettings);  // never back: end the run
  return TRUE;
}

TEST_F(SaverWindowTest, NothingIsDrawnWhileTheDisplayIsOff) {
  saverMode = SaverMode::Saver;
  saverRenderFrame = frameTurningTheDisplayOff;
  watchTheLoop();
  const WaitMessageCall realWaitMessage = saverWaitMessage;
  saverWaitMessage = watchWaitMessage;
  waits = 0;
  RunSaverWindow(nullptr, SW_SHOWNORMAL);
  saverWaitMessage = realWaitMessage;
  const std::string expected = "FSZ" "FS" "www" "ZFSZ" "FS";
  EXPECT_EQ(loopEvents.substr(0, expected.size()), expected);
}

// The preview's child is made in its parent's DPI awareness, taken for the thread before the
// child exists, and draws at the child's own size.
HWND previewParent = nullptr, awarenessAskedOf = nullptr;
DPI_AWARENESS_CONTEXT awarenessTaken = nullptr;
bool childExistedWhenTaken = true;
RECT childClient{}, sceneSize{};
DPI_AWARENESS_CONTEXT WINAPI parentAwareness(HWND window) {
  awarenessAskedOf = window;
  return DPI_AWARENESS_CONTEXT_UNAWARE;
}
DPI_AWARENESS_CONTEXT WINAPI takeAwareness(DPI_AWARENESS_CONTEXT context) {
  awarenessTaken = context;
  childExistedWhenTaken = FindWindowExA(previewParent, nullptr, "OpenGL", nullptr) != nullptr;
  return nullptr;
}
bool frameOfThePreview(MirrorScene* scene, uint32_t) {
  sceneSize = {0, 0, scene->width, scene->height};
  GetClientRect(saverWindow, &childClient);
  PostMessageA(saverWindow, WM_CLOSE, 0, 0);
  return false;
}

TEST_F(SaverWindowTest, PreviewTakesTheParentsDpiAwarenessAndDrawsAtTheChildsSize) {
  previewParent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 170,
                                  130, nullptr, nullptr, hostInstance, nullptr);
  const GetWindowDpiAwarenessContextCall realGet = saverGetWindowDpiAwarenessContext;
  const SetThreadDpiAwarenessContextCall realSet = saverSetThreadDpiAwarenessContext;
  saverGetWindowDpiAwarenessContext = parentAwareness;
  saverSetThreadDpiAwarenessContext = takeAwareness;
  saverMode = SaverMode::Preview;
  saverRenderFrame = frameOfThePreview;
  RunSaverWindow(previewParent, SW_SHOWNORMAL);
  saverGetWindowDpiAwarenessContext = realGet;
  saverSetThreadDpiAwarenessContext = realSet;
  EXPECT_EQ(awarenessAskedOf, previewParent);
  EXPECT_EQ(awarenessTaken, DPI_AWARENESS_CONTEXT_UNAWARE);
  EXPECT_FALSE(childExistedWhenTaken);
  // The parent's client area, inside its frame.
  RECT parentClient{};
  GetClientRect(previewParent, &parentClient);
  EXPECT_LT(parentClient.right, 170);
  EXPECT_TRUE(EqualRect(&sceneSize, &parentClient) && EqualRect(&sceneSize, &childClient));
  DestroyWindow(previewParent);
}

// ---------------------------------------------------------------- power settings, session, context, renderer

// Each announced power setting in turn, one a frame, from the mains with every saver off:
// the pace slows from the next turn while any of them asks to save power.
const struct {
  const GUID* setting;
  DWORD value;
  bool slow;
} powerSteps[] = {
    {&saverPowerSource, 1, true},       {&saverPowerSource, 0, false},       {&saverPowerSavingStatus, 1, true},
    {&saverPowerSavingStatus, 0, false}, {&saverEnergySaverStatus, 2, true}, {&saverEnergySaverStatus, 0, false},
};
bool frameAnnouncingPower(MirrorScene*, uint32_t) {
  const int frame = frameCount++;
  if (frame < 6) sendPowerSetting(*powerSteps[frame].setting, powerSteps[frame].value);
  if (frame == 7) RequestClose(saverSettings);
  return true;
}

TEST_F(SaverWindowTest, AnnouncedPowerSettingsChangeThePace) {
  saverMode = SaverMode::Saver;
  settings.SavePower = 1;
  onBattery = false;
  saverGetSystemPowerStatus = madeUpPower;
  saverRenderFrame = frameAnnouncingPower;
  watchTheLoop();
  RunSaverWindow(nullptr, SW_SHOWNORMAL);
  ASSERT_GE(steps.size(), 7u);
  for (size_t i = 0; i < 7; ++i)
    EXPECT_TRUE(i > 0 && powerSteps[i - 1].slow ? steps[i] >= 32600 && steps[i] <= 33333
                                                : steps[i] > 16000 && steps[i] <= 16667) << i << ": " << steps[i];
}

// The saver ends by itself when the session is locked (as input would end it) and when its
// presents keep failing (after about a second of them): no close is asked for otherwise
// before the 300th frame.
bool lockSession = false;
BOOL WINAPI failingSwap(HDC) { return FALSE; }
bool frameUntilTheEnd(MirrorScene*, uint32_t) {
  if (++frameCount == 2 && lockSession) SendMessageA(saverWindow, WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0);
  if (frameCount > 2 && lockSession) Sleep(1);
  if (frameCount == 300) RequestClose(saverSettings);
  return true;
}

TEST_F(SaverWindowTest, ALockedSessionOrAFailingContextEndsTheSaver) {
  for (bool lock : {true, false}) {
    saverMode = SaverMode::Saver;
    saverRenderFrame = frameUntilTheEnd;
    watchTheLoop();
    lockSession = lock;
    if (!lock) saverSwapBuffers = failingSwap;
    RunSaverWindow(nullptr, SW_SHOWNORMAL);
    EXPECT_TRUE(frameCount < 300 && (lock || frameCount >= 30)) << lock << ": " << frameCount;
    EXPECT_EQ(FindWindowA("OpenGL", "SaverWindow"), nullptr);
    UnregisterClassA("OpenGL", hostInstance);
  }
}

}  // namespace
