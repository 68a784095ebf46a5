// The saver window's procedure and the close operations on SaverSettings.
#include "host/win32/saver_rules.h"
#include "host/win32/win32_host.h"

void RequestClose(SaverSettings* settings) {
  settings->CloseRequested = 1;
  PostMessageA(settings->Window, WM_CLOSE, 0, 0);
}

void BeginPasswordCheck(SaverSettings* settings) {
  settings->CheckingPassword = 1;
  saverDrawingPaused = true;
  WakeSurfaceThreads();
  SendMessageA(settings->Window, WM_SETCURSOR, 0, 0);
}

void EndPasswordCheck(SaverSettings* settings) {
  settings->CheckingPassword = 0;
  saverDrawingPaused = false;
  WakeSurfaceThreads();
  SendMessageA(settings->Window, WM_SETCURSOR, 0, 0);
  GetCursorPos(&settings->StartCursor);
}

namespace {

void handleClose(SaverSettings* settings) {
  const CloseDecision decision =
      decideClose(settings->CloseRequested != 0, settings->CheckingPassword != 0, GetTickCount(),
                  settings->StartTick, settings->PasswordDelay);
  if (decision == CloseDecision::Destroy) {
    saverSurfaces.destroyAll(settings->Window);
  } else if (decision == CloseDecision::AskPassword) {
    BeginPasswordCheck(settings);
    const bool ok = VerifySaverPassword(settings->Window);
    EndPasswordCheck(settings);
    if (ok) saverSurfaces.destroyAll(settings->Window);
  }
}

// Whether a loss of activation stays among the saver's own windows, so that it is no input.
// WM_ACTIVATE names the window that gains activation (null when it belongs to another
// thread), and WM_ACTIVATEAPP says that another program gained it. WM_NCACTIVATE names
// nothing: with one window it says what WM_ACTIVATE says too; with several it comes as well
// when the activation moves to another of the saver's windows, so there it decides nothing.
bool activationStaysWithSaver(UINT message, HWND window, LPARAM lParam) {
  if (message == WM_NCACTIVATE) return saverSurfaces.count() > 1;
  if (message != WM_ACTIVATE) return false;
  const HWND gaining = reinterpret_cast<HWND>(lParam);
  return gaining != window && saverSurfaces.find(gaining) != nullptr;
}

// The moment after a cursor moved too far: the monitors changed and moved the cursor with
// them (the windows are laid out again and the reference point moves with the cursor), or
// the cursor is still too far from the reference point (input), or neither (a new layout
// has been taken meanwhile).
void settleCursor() {
  SaverSettings* settings = saverSettings;
  if (settings == nullptr || settings->CheckingPassword != 0) return;
  POINT now{};
  GetCursorPos(&now);
  if (SaverLayoutIsStale()) {
    saverLayoutChanged = true;
    settings->StartCursor = now;
  } else if (cursorMovedTooFar({settings->StartCursor.x, settings->StartCursor.y}, {now.x, now.y},
                               settings->MouseThreshold)) {
    RequestClose(settings);
  }
}

// Saver mode's messages beyond the table: a window that does not draw is painted black, a
// change of the display layout lays the windows out again, and the console display's power
// state starts and stops the drawing. True when the message is handled (`result` set).
bool handleDisplayMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case WM_ERASEBKGND: {
      const SaverSurface* surface = saverSurfaces.find(window);
      if (surface == nullptr || surface->scene != nullptr) return false;
      RECT area{};
      GetClientRect(window, &area);
      FillRect(reinterpret_cast<HDC>(wParam), &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      *result = TRUE;
      return true;
    }
    case WM_DISPLAYCHANGE:
      saverLayoutChanged = true;
      return false;
    case WM_TIMER:
      if (wParam == kCursorTimer) {
        KillTimer(window, kCursorTimer);
        saverCursorSettling = false;
        settleCursor();
      } else if (wParam == kLayoutTimer) {
        if (SaverLayoutIsStale()) saverLayoutChanged = true;
      } else {
        return false;
      }
      *result = 0;
      return true;
    case WM_POWERBROADCAST: {
      // Each change reaches the drawing threads before this returns.
      if (wParam == PBT_APMPOWERSTATUSCHANGE) {
        ReadSystemPowerState();
        *result = TRUE;
        return true;
      }
      if (wParam != PBT_POWERSETTINGCHANGE || lParam == 0) return false;
      const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam);
      const DisplayPower power = readDisplayPower(IsEqualGUID(setting->PowerSetting, saverConsoleDisplayState),
                                                  setting->DataLength, setting->Data);
      if (power != DisplayPower::Unchanged) {
        saverDisplayOff = power == DisplayPower::Off;
        WakeSurfaceThreads();
      }
      const PowerSetting which = IsEqualGUID(setting->PowerSetting, saverPowerSource)         ? PowerSetting::PowerSource
                                 : IsEqualGUID(setting->PowerSetting, saverPowerSavingStatus) ? PowerSetting::PowerSavingStatus
                                 : IsEqualGUID(setting->PowerSetting, saverEnergySaverStatus) ? PowerSetting::EnergySaverStatus
                                                                                              : PowerSetting::Other;
      if (applyPowerSetting(&saverPowerState, which, setting->DataLength, setting->Data)) UpdateSaverPower();
      *result = TRUE;
      return true;
    }
    case kContextLostMessage:
      // A monitor's context keeps failing: the saver ends as if asked to.
      if (saverSettings != nullptr) RequestClose(saverSettings);
      *result = 0;
      return true;
    default:
      return false;
  }
}

}  // namespace

LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  SaverSettings* settings = saverSettings;
  const bool checking = settings != nullptr && settings->CheckingPassword != 0;
  MessageDecision decision = decideMessage(saverMode, checking, message, static_cast<uint64_t>(wParam));
  if (saverMode == SaverMode::Saver) {
    LRESULT result = 0;
    if (handleDisplayMessage(window, message, wParam, lParam, &result)) return result;
    if (decision.action == MessageAction::RequestClose && activationStaysWithSaver(message, window, lParam))
      decision.action = MessageAction::Nothing;
  }

  // Without a settings record there is nothing to record or to close through: only the
  // window's own life (quit on destroy) and the default handling remain.
  switch (decision.action) {
    case MessageAction::RecordStart:
      // The further windows of Saver mode keep the start the primary's recorded.
      if (settings && !IsExtraSaverWindowCreation(lParam)) {
        settings->Window = window;
        GetCursorPos(&settings->StartCursor);
        settings->StartTick = GetTickCount();
      }
      break;
    case MessageAction::PostQuit:
      // The loop ends with the last of the saver's windows.
      if (saverSurfaces.forget(window)) PostQuitMessage(0);
      break;
    case MessageAction::RequestClose:
      if (settings) RequestClose(settings);
      break;
    case MessageAction::MouseTest:
      if (settings) {
        POINT now{};
        GetCursorPos(&now);
        if (!cursorMovedTooFar({settings->StartCursor.x, settings->StartCursor.y}, {now.x, now.y},
                               settings->MouseThreshold)) {
          break;
        }
        if (saverSurfaces.count() > 0) {
          // Decided a moment later, when the system has told of any new layout.
          if (!saverCursorSettling) saverCursorSettling = SetTimer(settings->Window, kCursorTimer, kCursorSettleMs, nullptr) != 0;
        } else {
          RequestClose(settings);
        }
      }
      break;
    case MessageAction::CloseHandling:
      if (settings) handleClose(settings);
      break;
    case MessageAction::HideCursor:
      SetCursor(nullptr);
      break;
    case MessageAction::ShowArrow:
      SetCursor(LoadCursorA(nullptr, IDC_ARROW));
      break;
    case MessageAction::Nothing:
      break;
  }
  if (!decision.passOn) return message == WM_SETCURSOR ? TRUE : 0;
  return DefWindowProcA(window, message, wParam, lParam);
}
