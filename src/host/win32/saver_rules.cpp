// The saver window's pure decisions.
#include "host/win32/saver_rules.h"

#include <cstdint>
#include <cstring>

MessageDecision decideMessage(SaverMode mode, bool checking, uint32_t message, uint64_t wParam) {
  const bool saver = (mode == SaverMode::Saver);
  const bool watching = saver && !checking;  // input may end the saver
  switch (message) {
    case msg::kCreate:
      return {MessageAction::RecordStart, true};
    case msg::kDestroy:
      return {MessageAction::PostQuit, true};
    case msg::kActivate:
    case msg::kActivateApp:
    case msg::kNcActivate:
      // Low word 0: the window or the application is losing activation.
      if (watching && (wParam & 0xFFFFu) == 0) return {MessageAction::RequestClose, true};
      return {MessageAction::Nothing, true};
    case msg::kClose:
      if (saver) return {MessageAction::CloseHandling, false};
      return {MessageAction::Nothing, true};
    case msg::kSetCursor:
      // Hiding is final: the default handling of a cursor request outside the client area
      // (the saver's own requests carry hit-test 0) would put the arrow back at once.
      if (watching) return {MessageAction::HideCursor, false};
      return {MessageAction::ShowArrow, true};
    case msg::kKeyDown:
    case msg::kLButtonDown:
    case msg::kRButtonDown:
    case msg::kMButtonDown:
      if (watching) return {MessageAction::RequestClose, true};
      return {MessageAction::Nothing, true};
    case msg::kSysCommand:
      if (saver && (wParam == msg::kScScreenSave || wParam == msg::kScClose))
        return {MessageAction::Nothing, false};
      return {MessageAction::Nothing, true};
    case msg::kMouseMove:
      if (watching) return {MessageAction::MouseTest, true};
      return {MessageAction::Nothing, true};
    case msg::kWtsSessionChange:
      if (watching && (wParam == 2 || wParam == 3 || wParam == 4 || wParam == 7))
        return {MessageAction::RequestClose, true};
      return {MessageAction::Nothing, true};
    default:
      return {MessageAction::Nothing, true};
  }
}

bool cursorMovedTooFar(ScreenPoint start, ScreenPoint now, int32_t threshold) {
  int64_t dx = static_cast<int64_t>(now.x) - start.x;
  int64_t dy = static_cast<int64_t>(now.y) - start.y;
  if (dx < 0) dx = -dx;
  if (dy < 0) dy = -dy;
  return dx > threshold || dy > threshold;
}

CloseDecision decideClose(bool closeRequested, bool checking, uint32_t nowTick,
                          uint32_t startTick, uint32_t passwordDelaySeconds) {
  if (!closeRequested || checking) return CloseDecision::Ignore;
  const uint32_t elapsed = nowTick - startTick;  // wraps on purpose
  // A delay of more than 4294967 s is longer than any elapsed time can be: it saturates,
  // never wraps round to a short one.
  const uint32_t limit = passwordDelaySeconds > UINT32_MAX / 1000u ? UINT32_MAX
                                                                   : passwordDelaySeconds * 1000u;
  return elapsed <= limit ? CloseDecision::Destroy : CloseDecision::AskPassword;
}

WindowPlan planWindow(SaverMode mode, int32_t left, int32_t top, int32_t right, int32_t bottom,
                      int32_t screenWidth, int32_t screenHeight) {
  if (mode == SaverMode::Preview) {
    const auto width = static_cast<int32_t>(static_cast<uint32_t>(right) - static_cast<uint32_t>(left));
    const auto height = static_cast<int32_t>(static_cast<uint32_t>(bottom) - static_cast<uint32_t>(top));
    return {kPreviewStyle, width, height, true};
  }
  return {kSaverStyle, screenWidth, screenHeight, false};
}

namespace {

bool hasArea(const ScreenRect& r) {
  return static_cast<int64_t>(r.right) > r.left && static_cast<int64_t>(r.bottom) > r.top;
}

bool sameRect(const ScreenRect& a, const ScreenRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

int32_t planMonitorWindows(const MonitorArea* monitors, int32_t count, ScreenRect fallback,
                           ScreenRect* windows, int32_t capacity) {
  if (capacity <= 0) return 0;
  int32_t primary = -1;
  for (int32_t i = 0; i < count; ++i) {
    if (!hasArea(monitors[i].rect)) continue;
    if (monitors[i].primary) {
      primary = i;
      break;
    }
    if (primary < 0) primary = i;
  }
  if (primary < 0) {
    windows[0] = fallback;
    return 1;
  }
  int32_t placed = 0;
  windows[placed++] = monitors[primary].rect;
  for (int32_t i = 0; i < count && placed < capacity; ++i) {
    if (i == primary || !hasArea(monitors[i].rect)) continue;
    bool covered = false;
    for (int32_t j = 0; j < placed && !covered; ++j) covered = sameRect(windows[j], monitors[i].rect);
    if (!covered) windows[placed++] = monitors[i].rect;
  }
  return placed;
}

DisplayPower readDisplayPower(bool displayState, uint32_t dataLength, const uint8_t* data) {
  if (!displayState || dataLength != 4 || data == nullptr) return DisplayPower::Unchanged;
  const uint32_t state = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                         static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
  switch (state) {
    case 0:
      return DisplayPower::Off;
    case 1:
    case 2:
      return DisplayPower::On;
    default:
      return DisplayPower::Unchanged;
  }
}

bool savingPower(int32_t savePower, uint8_t acLineStatus, uint8_t systemStatusFlag) {
  return savePower != 0 && (acLineStatus == 0 || systemStatusFlag == 1);
}

bool applyPowerSetting(PowerState* state, PowerSetting setting, uint32_t dataLength, const uint8_t* data) {
  if (setting == PowerSetting::Other || dataLength != 4 || data == nullptr) return false;
  const uint32_t value = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                         static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
  // The highest value each setting knows; anything above says nothing.
  const uint32_t highest = setting == PowerSetting::PowerSavingStatus ? 1 : 2;
  if (value > highest) return false;
  bool* fact = setting == PowerSetting::PowerSource         ? &state->onBattery
               : setting == PowerSetting::PowerSavingStatus ? &state->batterySaver
                                                            : &state->energySaver;
  const bool changed = *fact != (value != 0);
  *fact = value != 0;
  return changed;
}

bool savingPower(int32_t savePower, const PowerState& state) {
  return savePower != 0 && (state.onBattery || state.batterySaver || state.energySaver);
}

int32_t frameCapForRenderer(const char* renderer) {
  return renderer != nullptr && std::strcmp(renderer, "GDI Generic") == 0 ? 30 : 0;
}

bool previewCanBeSeen(bool windowVisible, bool rootIconic, uint32_t cloaked) {
  return windowVisible && !rootIconic && cloaked == 0;
}
