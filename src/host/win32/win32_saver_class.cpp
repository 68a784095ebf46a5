// The saver window's class and the window itself, for the two window-making modes.
#include "host/win32/saver_rules.h"
#include "host/win32/win32_host.h"

namespace {
const char kClassName[] = "OpenGL";
const char kWindowTitle[] = "SaverWindow";
// The creation data of the further Saver-mode windows, by which their WM_CREATE knows them.
char extraWindowMark;

// The preview's child takes the DPI awareness of the parent it is made in: Windows 10 and 11
// refuse (by default) a child whose awareness differs from its parent's, and the settings
// dialog that hosts the preview need not share this program's. Where the system has no such
// calls, every window has the one awareness there is.
void takeParentDpiAwareness(HWND parent) {
  if (saverGetWindowDpiAwarenessContext == nullptr || saverSetThreadDpiAwarenessContext == nullptr)
    return;
  DPI_AWARENESS_CONTEXT parentAwareness = saverGetWindowDpiAwarenessContext(parent);
  if (parentAwareness != nullptr) saverSetThreadDpiAwarenessContext(parentAwareness);
}
}  // namespace

bool RegisterSaverClass() {
  WNDCLASSA windowClass{};
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
  windowClass.lpfnWndProc = SaverWindowProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = hostInstance;
  windowClass.lpszClassName = kClassName;
  return RegisterClassA(&windowClass) != 0;
}

HWND CreateSaverWindow(HWND parent, int32_t* width, int32_t* height) {
  RECT parentRect{};
  if (saverMode == SaverMode::Preview) {
    if (!IsWindow(parent)) return nullptr;
    takeParentDpiAwareness(parent);
    // The child fills the parent's client area: a parent with a frame has less room inside
    // than its window rectangle.
    if (!GetClientRect(parent, &parentRect)) return nullptr;
  }
  const WindowPlan plan =
      planWindow(saverMode, parentRect.left, parentRect.top, parentRect.right, parentRect.bottom,
                 GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  *width = plan.width;
  *height = plan.height;
  return CreateWindowExA(0, kClassName, kWindowTitle, plan.style, 0, 0, plan.width, plan.height,
                         plan.child ? parent : nullptr, nullptr, hostInstance, nullptr);
}

HWND CreateExtraSaverWindow(const ScreenRect& area, HWND owner) {
  // Hidden at first: a window made visible is activated, and activation would leave the
  // primary's window, which watches for exactly that. The system hides a monitor's taskbar
  // only under the foreground window; topmost, the further windows cover it (and any
  // always-on-top window) on their monitors too, and as owned tool windows they get no
  // taskbar button of their own.
  return CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, kWindowTitle,
                         kSaverStyle & ~static_cast<uint32_t>(WS_VISIBLE), area.left, area.top, rectWidth(area),
                         rectHeight(area), owner, nullptr, hostInstance, &extraWindowMark);
}

bool IsExtraSaverWindowCreation(LPARAM createParameter) {
  const auto* creation = reinterpret_cast<const CREATESTRUCTA*>(createParameter);
  return creation != nullptr && creation->lpCreateParams == &extraWindowMark;
}

namespace {

// The monitors as the system lists them, up to the room there is.
struct MonitorList {
  MonitorArea areas[kMaxSaverWindows];
  int32_t count;
};

BOOL CALLBACK addMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  auto* list = reinterpret_cast<MonitorList*>(data);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(monitor, &info)) return TRUE;
  const RECT& r = info.rcMonitor;
  list->areas[list->count++] = {{r.left, r.top, r.right, r.bottom}, (info.dwFlags & MONITORINFOF_PRIMARY) != 0};
  return list->count < kMaxSaverWindows;
}

}  // namespace

int32_t PlanSaverMonitorWindows(ScreenRect* windows, int32_t capacity) {
  MonitorList list{};
  EnumDisplayMonitors(nullptr, nullptr, addMonitor, reinterpret_cast<LPARAM>(&list));
  const ScreenRect primaryScreen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  return planMonitorWindows(list.areas, list.count, primaryScreen, windows, capacity);
}
