// The saver window's procedure on a real window with real messages: what ends the saver,
// what does not, the close handling, the cursor and the Preview mode that intercepts nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "host/win32/saver_rules.h"
#include "host/win32/win32_host.h"

namespace {

static_assert(msg::kCreate == WM_CREATE && msg::kDestroy == WM_DESTROY &&
                  msg::kActivate == WM_ACTIVATE && msg::kClose == WM_CLOSE &&
                  msg::kActivateApp == WM_ACTIVATEAPP && msg::kSetCursor == WM_SETCURSOR &&
                  msg::kNcActivate == WM_NCACTIVATE && msg::kKeyDown == WM_KEYDOWN &&
                  msg::kSysCommand == WM_SYSCOMMAND && msg::kMouseMove == WM_MOUSEMOVE &&
                  msg::kLButtonDown == WM_LBUTTONDOWN && msg::kRButtonDown == WM_RBUTTONDOWN &&
                  msg::kMButtonDown == WM_MBUTTONDOWN && msg::kScScreenSave == SC_SCREENSAVE &&
                  msg::kScClose == SC_CLOSE,
              "message numbers of the pure rules are the system's");
static_assert(kPreviewStyle == (WS_CHILD | WS_VISIBLE) && kSaverStyle == (WS_POPUP | WS_VISIBLE),
              "window styles are the system's");

// Every message sent to a window of this thread, as the procedure sees it.
struct Seen {
  HWND window;
  UINT message;
  WPARAM wParam;
};
std::vector<Seen> seen;

LRESULT CALLBACK recordSent(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    seen.push_back({call->hwnd, call->message, call->wParam});
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

class SaverWindowProcTest : public ::testing::Test {
 protected:
  SaverSettings settings{};
  HWND window = nullptr;
  HWND parent = nullptr;
  HHOOK hook = nullptr;

  void SetUp() override {
    hostInstance = GetModuleHandleA(nullptr);
    settings = SaverSettings{};
    settings.PasswordDelay = 15;
    settings.MouseThreshold = 50;
    settings.UseMirrors = 1;
    saverSettings = &settings;
    seen.clear();
    hook = SetWindowsHookExA(WH_CALLWNDPROC, recordSent, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    ASSERT_TRUE(SetCursorPos(400, 300));
  }

  void TearDown() override {
    saverMode = SaverMode::None;  // lets any window go without a close decision
    if (window && IsWindow(window)) DestroyWindow(window);
    if (parent && IsWindow(parent)) DestroyWindow(parent);
    drain();
    UnhookWindowsHookEx(hook);
    UnregisterClassA("OpenGL", hostInstance);
    saverSettings = nullptr;
  }

  void make(SaverMode mode) {
    saverMode = mode;
    ASSERT_TRUE(RegisterSaverClass());
    if (mode == SaverMode::Preview) {
      parent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 60, 200,
                               150, nullptr, nullptr, hostInstance, nullptr);
      ASSERT_NE(parent, nullptr);
    }
    int32_t width = 0, height = 0;
    window = CreateSaverWindow(parent, &width, &height);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(settings.Window, window);
    drain();
    settings.CloseRequested = 0;  // creation may have moved activation around
    seen.clear();
  }

  // Handles every waiting message; true when the quit message was among them.
  bool drain() {
    bool quit = false;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) {
        quit = true;
        continue;
      }
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    return quit;
  }

  bool closeWaiting() {
    MSG m;
    return PeekMessageA(&m, window, WM_CLOSE, WM_CLOSE, PM_NOREMOVE) != 0;
  }

  int countSeen(UINT message) {
    int n = 0;
    for (const Seen& s : seen)
      if (s.window == window && s.message == message) ++n;
    return n;
  }
};

TEST_F(SaverWindowProcTest, CreationRecordsWindowCursorAndTick) {
  const DWORD before = GetTickCount();
  make(SaverMode::Saver);
  EXPECT_EQ(settings.StartCursor.x, 400);
  EXPECT_EQ(settings.StartCursor.y, 300);
  // Unsigned: a tick taken before `before` wraps to a huge difference and fails too.
  EXPECT_LE(settings.StartTick - before, 5000u);
  RECT r{};
  GetWindowRect(window, &r);
  EXPECT_EQ(r.right - r.left, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(r.bottom - r.top, GetSystemMetrics(SM_CYSCREEN));
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & (WS_POPUP | WS_VISIBLE),
            static_cast<DWORD>(WS_POPUP | WS_VISIBLE));
  char title[32] = {};
  GetWindowTextA(window, title, sizeof(title));
  EXPECT_STREQ(title, "SaverWindow");
  EXPECT_EQ(GetClassLongA(window, GCL_STYLE), 35u);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)) & WS_EX_TOPMOST, 0u);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
}

TEST_F(SaverWindowProcTest, PressesAndActivationLossRequestTheClose) {
  struct {
    const char* what;
    UINT message;
    WPARAM wParam;
  } inputs[] = {
      {"key down", WM_KEYDOWN, VK_SPACE},
      {"left button down", WM_LBUTTONDOWN, MK_LBUTTON},
      {"right button down", WM_RBUTTONDOWN, MK_RBUTTON},
      {"middle button down", WM_MBUTTONDOWN, MK_MBUTTON},
      {"activation lost", WM_ACTIVATE, WA_INACTIVE},
      {"application deactivated", WM_ACTIVATEAPP, FALSE},
      {"caption deactivated", WM_NCACTIVATE, FALSE},
  };
  make(SaverMode::Saver);
  for (const auto& in : inputs) {
    settings.CloseRequested = 0;
    SendMessageA(window, in.message, in.wParam, 0);
    EXPECT_EQ(settings.CloseRequested, 1) << in.what;
    EXPECT_TRUE(closeWaiting()) << in.what;
    MSG m;
    while (PeekMessageA(&m, window, WM_CLOSE, WM_CLOSE, PM_REMOVE)) {
    }
  }
}

TEST_F(SaverWindowProcTest, OtherInputDoesNotRequestTheClose) {
  struct {
    const char* what;
    UINT message;
    WPARAM wParam;
  } inputs[] = {
      {"system key (Alt held)", WM_SYSKEYDOWN, 'X'},
      {"key up", WM_KEYUP, VK_SPACE},
      {"system key up", WM_SYSKEYUP, 'X'},
      {"wheel", WM_MOUSEWHEEL, static_cast<WPARAM>(120 << 16)},
      {"left button up", WM_LBUTTONUP, 0},
      {"right button up", WM_RBUTTONUP, 0},
      {"middle button up", WM_MBUTTONUP, 0},
      {"activation gained", WM_ACTIVATE, WA_ACTIVE},
      {"application activated", WM_ACTIVATEAPP, TRUE},
      {"mouse move within the threshold", WM_MOUSEMOVE, 0},
  };
  make(SaverMode::Saver);
  for (const auto& in : inputs) {
    SendMessageA(window, in.message, in.wParam, 0);
    EXPECT_EQ(settings.CloseRequested, 0) << in.what;
    EXPECT_FALSE(closeWaiting()) << in.what;
  }
}

TEST_F(SaverWindowProcTest, LosingActivationToAnotherWindowRequestsTheClose) {
  make(SaverMode::Saver);
  SetForegroundWindow(window);
  SetActiveWindow(window);
  drain();
  settings.CloseRequested = 0;
  HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                               nullptr, hostInstance, nullptr);
  ASSERT_NE(other, nullptr);
  SetForegroundWindow(other);
  SetActiveWindow(other);
  EXPECT_EQ(settings.CloseRequested, 1);
  EXPECT_TRUE(closeWaiting());
  DestroyWindow(other);
}

// Further windows of Saver mode record nothing at their creation; they are topmost tool
// windows owned by the primary's (no taskbar covers them, none has a taskbar button); one
// without a scene paints itself black (its class has no background); activation really
// moving to one of them (shown and activated, as a click does) is not activation lost, while
// a foreign window's still is; a further window that goes (its monitor removed) leaves the
// loop running; the close destroys every window and ends the loop after the last.
TEST_F(SaverWindowProcTest, TheSaversOwnWindowsAreOneSaver) {
  make(SaverMode::Saver);
  SetCursorPos(420, 310);  // within the threshold
  HWND own[2] = {CreateExtraSaverWindow({-200, 0, 0, 100}, window), CreateExtraSaverWindow({1024, 0, 1224, 100}, window)};
  ASSERT_TRUE(own[0] && own[1]);
  EXPECT_EQ(settings.Window, window);
  EXPECT_EQ(settings.StartCursor.x, 400);
  for (HWND w : own) {
    EXPECT_EQ(GetWindowLongA(w, GWL_EXSTYLE) & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW), WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
    EXPECT_EQ(GetWindow(w, GW_OWNER), window);
  }
  EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
  saverSurfaces.add(window, {0, 0, 0, 0});
  for (HWND w : own) saverSurfaces.add(w, {0, 0, 0, 0});
  HDC screen = GetDC(nullptr);
  HDC paper = CreateCompatibleDC(screen);
  HBITMAP sheet = CreateCompatibleBitmap(screen, 200, 100);
  ReleaseDC(nullptr, screen);
  SelectObject(paper, sheet);
  SetPixel(paper, 150, 50, RGB(255, 255, 255));
  EXPECT_EQ(SendMessageA(own[0], WM_ERASEBKGND, reinterpret_cast<WPARAM>(paper), 0), TRUE);
  EXPECT_EQ(GetPixel(paper, 150, 50), RGB(0, 0, 0));
  DeleteDC(paper);
  DeleteObject(sheet);
  SetForegroundWindow(window);
  drain();
  settings.CloseRequested = 0;
  seen.clear();
  ShowWindow(own[0], SW_SHOW);
  SetForegroundWindow(own[0]);
  drain();
  ASSERT_EQ(GetForegroundWindow(), own[0]);
  ASSERT_GT(countSeen(WM_NCACTIVATE), 0) << "the primary's window saw no loss of activation";
  EXPECT_EQ(settings.CloseRequested, 0);
  DestroyWindow(own[1]);
  EXPECT_FALSE(drain()) << "the loop ended with windows left";
  EXPECT_EQ(saverSurfaces.count(), 2);
  HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                               hostInstance, nullptr);
  SetForegroundWindow(other);
  EXPECT_EQ(settings.CloseRequested, 1);
  EXPECT_TRUE(drain());
  EXPECT_FALSE(IsWindow(own[0]));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(saverSurfaces.count(), 0);
  DestroyWindow(other);
}

TEST_F(SaverWindowProcTest, MouseMovesCloseOnlyBeyondTheThresholdFromTheStartPoint) {
  struct {
    int x, y;
    int32_t threshold;
    bool close;
  } moves[] = {
      {450, 300, 50, false}, {400, 250, 50, false}, {450, 350, 50, false},
      {451, 300, 50, true},  {400, 249, 50, true},  {400, 300, 0, false},
      {401, 300, 0, true},   {400, 300, -1, true},
  };
  make(SaverMode::Saver);
  for (const auto& mv : moves) {
    settings.CloseRequested = 0;
    settings.MouseThreshold = mv.threshold;
    ASSERT_TRUE(SetCursorPos(mv.x, mv.y));
    // The coordinates the message carries are not used: only the cursor position counts.
    SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(0, 0));
    EXPECT_EQ(settings.CloseRequested, mv.close ? 1 : 0)
        << mv.x << "," << mv.y << " threshold " << mv.threshold;
    MSG m;
    while (PeekMessageA(&m, window, WM_CLOSE, WM_CLOSE, PM_REMOVE)) {
    }
  }
}

TEST_F(SaverWindowProcTest, CloseFromElsewhereIsIgnoredUntilTheSaverAsked) {
  make(SaverMode::Saver);
  EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(drain());
  EXPECT_TRUE(IsWindow(window));

  // The saver's own request, within the password delay: the window goes and the loop ends.
  SendMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_TRUE(drain());
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(SaverWindowProcTest, CloseDuringACheckIsIgnored) {
  make(SaverMode::Saver);
  settings.CloseRequested = 1;
  settings.CheckingPassword = 1;
  EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
  EXPECT_TRUE(IsWindow(window));
  // Input during a check makes no request either.
  settings.CloseRequested = 0;
  SendMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
  SendMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
  ASSERT_TRUE(SetCursorPos(700, 700));
  SendMessageA(window, WM_MOUSEMOVE, 0, 0);
  EXPECT_EQ(settings.CloseRequested, 0);
  EXPECT_FALSE(closeWaiting());
}

TEST_F(SaverWindowProcTest, AfterTheDelayTheVerificationRunsWithTheCursorShown) {
  make(SaverMode::Saver);
  // This system is of the NT family: the verification accepts at once.
  settings.StartTick = GetTickCount() - 16000;
  settings.StartCursor = {-1, -1};
  ASSERT_TRUE(SetCursorPos(123, 234));
  settings.CloseRequested = 1;
  seen.clear();
  EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(countSeen(WM_SETCURSOR), 2);  // shown, then hidden again
  EXPECT_EQ(settings.CheckingPassword, 0);
  EXPECT_EQ(settings.StartCursor.x, 123);
  EXPECT_EQ(settings.StartCursor.y, 234);
  EXPECT_TRUE(drain());
}

TEST_F(SaverWindowProcTest, SystemCommandsToSaveOrCloseAreSwallowed) {
  make(SaverMode::Saver);
  EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
  EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0), 0);
  EXPECT_EQ(countSeen(WM_CLOSE), 0);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(settings.CloseRequested, 0);

  // The word is compared whole: SC_CLOSE with a low bit set goes to the default handling,
  // which turns it into a close message (ignored here, as the saver did not ask).
  SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE | 1, 0);
  EXPECT_EQ(countSeen(WM_CLOSE), 1);
  EXPECT_TRUE(IsWindow(window));

  // Other commands are passed on.
  SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(IsIconic(window));
}

TEST_F(SaverWindowProcTest, CursorIsShownOnlyDuringACheck) {
  make(SaverMode::Saver);
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  SetCursor(arrow);
  SendMessageA(window, WM_SETCURSOR, 0, 0);
  EXPECT_EQ(GetCursor(), nullptr);

  BeginPasswordCheck(&settings);
  EXPECT_EQ(settings.CheckingPassword, 1);
  EXPECT_EQ(GetCursor(), arrow);

  ASSERT_TRUE(SetCursorPos(222, 111));
  EndPasswordCheck(&settings);
  EXPECT_EQ(settings.CheckingPassword, 0);
  EXPECT_EQ(GetCursor(), nullptr);
  // The mouse reference point is where the cursor was when the check ended.
  EXPECT_EQ(settings.StartCursor.x, 222);
  EXPECT_EQ(settings.StartCursor.y, 111);
}

TEST_F(SaverWindowProcTest, PreviewInterceptsNothing) {
  make(SaverMode::Preview);
  RECT parentRect{}, childRect{};
  GetClientRect(parent, &parentRect);  // the child fills the client area, inside any frame
  GetWindowRect(window, &childRect);
  EXPECT_EQ(GetParent(window), parent);
  EXPECT_EQ(childRect.right - childRect.left, parentRect.right - parentRect.left);
  EXPECT_EQ(childRect.bottom - childRect.top, parentRect.bottom - parentRect.top);
  // At (0, 0) of the parent's client area, with no border or caption.
  POINT origin{0, 0};
  ClientToScreen(parent, &origin);
  EXPECT_EQ(childRect.left, origin.x);
  EXPECT_EQ(childRect.top, origin.y);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)),
            static_cast<DWORD>(WS_CHILD | WS_VISIBLE));

  const UINT inputs[] = {WM_KEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_ACTIVATE};
  for (UINT m : inputs) SendMessageA(window, m, 0, 0);
  ASSERT_TRUE(SetCursorPos(1000, 700));
  SendMessageA(window, WM_MOUSEMOVE, 0, 0);
  EXPECT_EQ(settings.CloseRequested, 0);
  EXPECT_FALSE(closeWaiting());

  SetCursor(nullptr);
  SendMessageA(window, WM_SETCURSOR, 0, 0);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));

  // A close command goes to the default handling, and the close message destroys the window.
  SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(drain());
}

TEST_F(SaverWindowProcTest, PreviewWithoutAParentMakesNoWindow) {
  saverMode = SaverMode::Preview;
  ASSERT_TRUE(RegisterSaverClass());
  int32_t width = -1, height = -1;
  EXPECT_EQ(CreateSaverWindow(nullptr, &width, &height), nullptr);
  EXPECT_EQ(CreateSaverWindow(reinterpret_cast<HWND>(static_cast<intptr_t>(0x7ff0)), &width,
                              &height),
            nullptr);
}

}  // namespace
