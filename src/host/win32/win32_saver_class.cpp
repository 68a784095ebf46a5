// The saver window's class and the window itself, for the two window-making modes.
#include "host/win32/saver_rules.h"
#include "host/win32/win32_host.h"

namespace {
const char kClassName[] = "OpenGL";
const char kWindowTitle[] = "SaverWindow";
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
  if (saverMode == SaverMode::Preview && !GetWindowRect(parent, &parentRect)) return nullptr;
  const WindowPlan plan =
      planWindow(saverMode, parentRect.left, parentRect.top, parentRect.right, parentRect.bottom,
                 GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  *width = plan.width;
  *height = plan.height;
  return CreateWindowExA(0, kClassName, kWindowTitle, plan.style, 0, 0, plan.width, plan.height,
                         plan.child ? parent : nullptr, nullptr, hostInstance, nullptr);
}
