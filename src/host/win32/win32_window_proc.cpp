// The saver window's procedure and the close operations on SaverSettings.
#include "host/win32/saver_rules.h"
#include "host/win32/win32_host.h"

void RequestClose(SaverSettings* settings) {
  settings->CloseRequested = 1;
  PostMessageA(settings->Window, WM_CLOSE, 0, 0);
}

void BeginPasswordCheck(SaverSettings* settings) {
  settings->CheckingPassword = 1;
  SendMessageA(settings->Window, WM_SETCURSOR, 0, 0);
}

void EndPasswordCheck(SaverSettings* settings) {
  settings->CheckingPassword = 0;
  SendMessageA(settings->Window, WM_SETCURSOR, 0, 0);
  GetCursorPos(&settings->StartCursor);
}

namespace {

void handleClose(SaverSettings* settings) {
  const CloseDecision decision =
      decideClose(settings->CloseRequested != 0, settings->CheckingPassword != 0, GetTickCount(),
                  settings->StartTick, settings->PasswordDelay);
  if (decision == CloseDecision::Destroy) {
    DestroyWindow(settings->Window);
  } else if (decision == CloseDecision::AskPassword) {
    BeginPasswordCheck(settings);
    const bool ok = VerifySaverPassword(settings->Window);
    EndPasswordCheck(settings);
    if (ok) DestroyWindow(settings->Window);
  }
}

}  // namespace

LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  SaverSettings* settings = saverSettings;
  const bool checking = settings != nullptr && settings->CheckingPassword != 0;
  const MessageDecision decision =
      decideMessage(saverMode, checking, message, static_cast<uint64_t>(wParam));

  // Without a settings record there is nothing to record or to close through: only the
  // window's own life (quit on destroy) and the default handling remain.
  switch (decision.action) {
    case MessageAction::RecordStart:
      if (settings) {
        settings->Window = window;
        GetCursorPos(&settings->StartCursor);
        settings->StartTick = GetTickCount();
      }
      break;
    case MessageAction::PostQuit:
      PostQuitMessage(0);
      break;
    case MessageAction::RequestClose:
      if (settings) RequestClose(settings);
      break;
    case MessageAction::MouseTest:
      if (settings) {
        POINT now{};
        GetCursorPos(&now);
        if (cursorMovedTooFar({settings->StartCursor.x, settings->StartCursor.y}, {now.x, now.y},
                              settings->MouseThreshold))
          RequestClose(settings);
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
