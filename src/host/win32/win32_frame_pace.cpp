// The saver's pace: each monitor's refresh, the swap interval, the power source, the clock
// and the wait between turns.
#include <cwchar>
#include <vector>

#include "host/frame_loop.h"
#include "host/win32/win32_call_checks.h"
#include "host/win32/win32_frame_pace.h"
#include "host/win32/win32_host.h"

namespace {

// The calling thread's timer: a high-resolution waitable timer where the system has one
// (Windows 10 1803 and later), else a plain one; null where neither can be made (the wait
// then rounds to milliseconds). Each thread waits on its own, so that one monitor's wait
// never moves another's.
thread_local HANDLE threadTimer = nullptr;
thread_local bool threadTimerTried = false;

HANDLE frameTimer() {
  if (threadTimerTried) return threadTimer;
  threadTimerTried = true;
  using CreateTimerExCall = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD);
  constexpr DWORD kHighResolution = 0x00000002;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
  const auto createEx = orvane::lookUpSystemCall<CreateTimerExCall>(GetModuleHandleA("kernel32.dll"),
                                                                    "CreateWaitableTimerExW");
  threadTimer = createEx ? createEx(nullptr, nullptr, kHighResolution, TIMER_ALL_ACCESS) : nullptr;
  if (threadTimer == nullptr) threadTimer = CreateWaitableTimerW(nullptr, FALSE, nullptr);
  return threadTimer;
}

// The refresh of the active display path whose source is `device`; false where the system
// lacks the calls (before Windows 7) or lists no such path.
bool pathRefresh(const wchar_t* device, uint32_t* numerator, uint32_t* denominator) {
  using BufferSizesCall = LONG(WINAPI*)(UINT32, UINT32*, UINT32*);
  using QueryCall = LONG(WINAPI*)(UINT32, UINT32*, DISPLAYCONFIG_PATH_INFO*, UINT32*, DISPLAYCONFIG_MODE_INFO*,
                                  DISPLAYCONFIG_TOPOLOGY_ID*);
  using DeviceInfoCall = LONG(WINAPI*)(DISPLAYCONFIG_DEVICE_INFO_HEADER*);
  const HMODULE user32 = GetModuleHandleA("user32.dll");
  const auto sizes = orvane::lookUpSystemCall<BufferSizesCall>(user32, "GetDisplayConfigBufferSizes");
  const auto query = orvane::lookUpSystemCall<QueryCall>(user32, "QueryDisplayConfig");
  const auto info = orvane::lookUpSystemCall<DeviceInfoCall>(user32, "DisplayConfigGetDeviceInfo");
  if (sizes == nullptr || query == nullptr || info == nullptr) return false;
  UINT32 pathCount = 0;
  UINT32 modeCount = 0;
  if (sizes(QDC_ONLY_ACTIVE_PATHS, &pathCount, &modeCount) != ERROR_SUCCESS || pathCount == 0) return false;
  std::vector<DISPLAYCONFIG_PATH_INFO> paths(pathCount);
  std::vector<DISPLAYCONFIG_MODE_INFO> modes(modeCount + 1);
  if (query(QDC_ONLY_ACTIVE_PATHS, &pathCount, paths.data(), &modeCount, modes.data(), nullptr) != ERROR_SUCCESS)
    return false;
  for (UINT32 i = 0; i < pathCount && i < paths.size(); ++i) {
    DISPLAYCONFIG_SOURCE_DEVICE_NAME source{};
    source.header.type = DISPLAYCONFIG_DEVICE_INFO_GET_SOURCE_NAME;
    source.header.size = sizeof source;
    source.header.adapterId = paths[i].sourceInfo.adapterId;
    source.header.id = paths[i].sourceInfo.id;
    if (info(&source.header) != ERROR_SUCCESS) continue;
    source.viewGdiDeviceName[CCHDEVICENAME - 1] = L'\0';
    if (std::wcscmp(source.viewGdiDeviceName, device) != 0) continue;
    const DISPLAYCONFIG_RATIONAL& rate = paths[i].targetInfo.refreshRate;
    if (rate.Numerator == 0 || rate.Denominator == 0) continue;
    *numerator = rate.Numerator;
    *denominator = rate.Denominator;
    return true;
  }
  return false;
}

}  // namespace

int64_t PerformanceCounterMicros() {
  static const int64_t frequency = [] {
    LARGE_INTEGER f{};
    return QueryPerformanceFrequency(&f) && f.QuadPart > 0 ? f.QuadPart : 0;
  }();
  if (frequency == 0) return static_cast<int64_t>(GetTickCount64()) * 1000;
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  // Whole seconds and the rest apart, so the product cannot overflow.
  return now.QuadPart / frequency * 1000000 + now.QuadPart % frequency * 1000000 / frequency;
}

void WaitForFrameOrMessage(int64_t deadlineMicros) {
  DWORD timeoutMs = INFINITE;
  HANDLE timer = nullptr;
  if (deadlineMicros != kNoDeadline) {
    const int64_t left = deadlineMicros - saverClockMicros();
    if (left <= 0) return;
    timer = frameTimer();
    LARGE_INTEGER due{};
    due.QuadPart = -left * 10;  // relative, in units of 100 ns
    if (timer == nullptr || !SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
      timer = nullptr;
      timeoutMs = static_cast<DWORD>((left + 999) / 1000);
    }
  }
  // Input already in the queue but looked at ends the wait too, so a message is never
  // left waiting for the deadline.
  MsgWaitForMultipleObjectsEx(timer ? 1 : 0, timer ? &timer : nullptr, timer ? INFINITE : timeoutMs, QS_ALLINPUT,
                              MWMO_INPUTAVAILABLE);
  if (timer != nullptr) CancelWaitableTimer(timer);
}

void ReleaseFrameTimer() {
  if (threadTimer != nullptr) CloseHandle(threadTimer);
  threadTimer = nullptr;
  threadTimerTried = false;
}

DisplayRefresh MonitorRefresh(HMONITOR monitor) {
  DisplayRefresh refresh{0, 0, 0};
  MONITORINFOEXW info{};
  info.cbSize = sizeof info;
  const bool named = monitor != nullptr && GetMonitorInfoW(monitor, &info);
  if (named) pathRefresh(info.szDevice, &refresh.numerator, &refresh.denominator);
  DEVMODEW mode{};
  mode.dmSize = sizeof mode;
  // Without a monitor, the primary display's.
  if (EnumDisplaySettingsW(named ? info.szDevice : nullptr, ENUM_CURRENT_SETTINGS, &mode))
    refresh.hz = static_cast<int32_t>(mode.dmDisplayFrequency);
  return refresh;
}

bool SetCurrentSwapInterval(int interval) {
  using SwapIntervalCall = BOOL(WINAPI*)(int);
  const auto call = reinterpret_cast<SwapIntervalCall>(
      reinterpret_cast<void*>(wglGetProcAddress("wglSwapIntervalEXT")));
  return call != nullptr && call(interval) != FALSE;
}

bool SystemSavingPower() {
  if (saverSettings == nullptr) return false;
  SYSTEM_POWER_STATUS status{};
  if (!saverGetSystemPowerStatus(&status)) return false;
  // Reserved1 is the battery-saver flag (SystemStatusFlag in newer headers).
  return savingPower(saverSettings->SavePower, status.ACLineStatus, status.Reserved1);
}

void ReadSystemPowerState() {
  SYSTEM_POWER_STATUS status{};
  if (saverGetSystemPowerStatus(&status)) {
    saverPowerState.onBattery = status.ACLineStatus == 0;
    saverPowerState.batterySaver = status.Reserved1 == 1;
  }
  UpdateSaverPower();
}

void UpdateSaverPower() {
  saverSavingPower = saverSettings != nullptr && savingPower(saverSettings->SavePower, saverPowerState);
  WakeSurfaceThreads();
}
