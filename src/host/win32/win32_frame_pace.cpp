// The saver's pace: the primary display's refresh, the swap interval, the power source, the
// clock and the wait between turns.
#include "host/frame_loop.h"
#include "host/win32/win32_call_checks.h"
#include "host/win32/win32_frame_pace.h"
#include "host/win32/win32_host.h"

namespace {

// A high-resolution waitable timer where the system has one (Windows 10 1803 and later),
// else a plain one; null where neither can be made (the wait then rounds to milliseconds).
HANDLE frameTimer() {
  static HANDLE timer = [] {
    using CreateTimerExCall = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD);
    constexpr DWORD kHighResolution = 0x00000002;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
    const auto createEx = orvane::lookUpSystemCall<CreateTimerExCall>(GetModuleHandleA("kernel32.dll"),
                                                                      "CreateWaitableTimerExW");
    HANDLE made = createEx ? createEx(nullptr, nullptr, kHighResolution, TIMER_ALL_ACCESS) : nullptr;
    if (made == nullptr) made = CreateWaitableTimerW(nullptr, FALSE, nullptr);
    return made;
  }();
  return timer;
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

int32_t PrimaryRefreshHz() {
  DEVMODEW mode{};
  mode.dmSize = sizeof mode;
  if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return 0;
  return static_cast<int32_t>(mode.dmDisplayFrequency);
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
