// The settings store (registry of the current user) and the configuration dialog.
#include "host/win32/win32_settings.h"

#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/utf8.h"
#include "host/win32/dialog_rules.h"
#include "host/win32/settings_value.h"
#include "host/win32/win32_own_pictures.h"
#include "resources/resource_ids.h"

namespace {

const char kHostKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers";
const char kSaverKey[] = "Software\\Tov\\Ostrel";
const char kPasswordDelayValue[] = "Password Delay";
const char kMouseThresholdValue[] = "Mouse Threshold";
const char kUseMirrorsValue[] = "UseMirrors";
const char kSpeedValue[] = "Speed";
const char kMonitorsValue[] = "Monitors";
const char kSavePowerValue[] = "SavePower";

static_assert(REG_SZ == orvane::kRegSz && REG_EXPAND_SZ == orvane::kRegExpandSz &&
                  REG_BINARY == orvane::kRegBinary && REG_DWORD == orvane::kRegDword,
              "registry types of the pure decoder are the system's");

// Opens one of the current user's keys for reading values only, so a key the user may read
// but not change still gives its settings.
HKEY openKey(const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

// Reads one value with its type; data that carries no number in `range` keeps `fallback`.
uint32_t readValue(HKEY key, const char* name, orvane::SettingRange range, uint32_t fallback) {
  uint8_t data[orvane::kSettingReadSize] = {};
  DWORD type = REG_NONE;
  DWORD size = sizeof data;
  const LONG result = RegQueryValueExA(key, name, nullptr, &type, data, &size);
  return orvane::decodeSettingValue(result == ERROR_SUCCESS, type, data, size, range, fallback);
}

}  // namespace

void LoadHostSettings(SaverSettings* settings) {
  if (settings == nullptr) return;
  settings->PasswordDelay = 15;
  settings->MouseThreshold = 50;
  settings->CheckingPassword = 0;
  HKEY key = openKey(kHostKey);
  if (key == nullptr) return;
  settings->PasswordDelay =
      readValue(key, kPasswordDelayValue, orvane::SettingRange::Unsigned, settings->PasswordDelay);
  settings->MouseThreshold = static_cast<int32_t>(readValue(
      key, kMouseThresholdValue, orvane::SettingRange::Signed,
      static_cast<uint32_t>(settings->MouseThreshold)));
  RegCloseKey(key);
}

void LoadSaverSettings(SaverSettings* settings) {
  if (settings == nullptr) return;
  settings->UseMirrors = 1;
  settings->Speed = 100;
  settings->Monitors = 0;
  settings->SavePower = 1;
  HKEY key = openKey(kSaverKey);
  if (key == nullptr) return;
  settings->UseMirrors = static_cast<int32_t>(readValue(key, kUseMirrorsValue,
                                                       orvane::SettingRange::Signed,
                                                       static_cast<uint32_t>(settings->UseMirrors)));
  settings->Speed = orvane::speedFromSetting(
      readValue(key, kSpeedValue, orvane::SettingRange::Signed, static_cast<uint32_t>(settings->Speed)));
  // Only 0 and 1 mean something; any other number keeps the default.
  const uint32_t monitors = readValue(key, kMonitorsValue, orvane::SettingRange::Unsigned, 0);
  settings->Monitors = monitors <= 1 ? static_cast<int32_t>(monitors) : 0;
  const uint32_t savePower = readValue(key, kSavePowerValue, orvane::SettingRange::Unsigned, 1);
  settings->SavePower = savePower <= 1 ? static_cast<int32_t>(savePower) : 1;
  RegCloseKey(key);
}

void SaveSaverSettings(SaverSettings* settings) {
  if (settings == nullptr) return;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kSaverKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return;  // the choice is lost without a message
  }
  const DWORD mirrors = static_cast<DWORD>(settings->UseMirrors);
  RegSetValueExA(key, kUseMirrorsValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mirrors),
                 sizeof mirrors);
  const DWORD speed = static_cast<DWORD>(orvane::speedFromSetting(static_cast<uint32_t>(settings->Speed)));
  RegSetValueExA(key, kSpeedValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&speed), sizeof speed);
  const DWORD monitors = settings->Monitors == 1 ? 1 : 0;
  RegSetValueExA(key, kMonitorsValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&monitors),
                 sizeof monitors);
  const DWORD savePower = settings->SavePower == 0 ? 0 : 1;
  RegSetValueExA(key, kSavePowerValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&savePower),
                 sizeof savePower);
  RegCloseKey(key);
}

namespace {

std::wstring wideText(const std::string& utf8) {
  std::u16string wide;
  orvane::utf8ToUtf16(utf8, &wide);
  return std::wstring(wide.begin(), wide.end());
}

// The pictures being added, while they are; one dialog is open at a time.
std::unique_ptr<OwnPicturesAdding> adding;
// The button (IDOK, IDCANCEL) that closes the dialog once the adding has stopped, or 0.
int closeWhenAdded = 0;

// What was last read of the user's own pictures, and which reading it came from: a reading
// still under way when a later one starts is not shown.
OwnPicturesState ownState;
WPARAM ownStateTurn = 0;

// Starts reading the user's own pictures on a thread: the line says so until they are read
// (showOwnPictures), and "Remove my pictures" waits for it.
void readOwnPictures(HWND dialog) {
  SetDlgItemTextW(dialog, ORVANE_CONTROL_PICTURES_LINE, L"Reading your pictures...");
  HWND remove = GetDlgItem(dialog, ORVANE_CONTROL_REMOVE_PICTURES);
  if (GetFocus() == remove)
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, ORVANE_CONTROL_ADD_PICTURES)), TRUE);
  EnableWindow(remove, FALSE);
  ReadOwnPicturesStateFor(dialog, ++ownStateTurn);
}

// The line about the user's own pictures, and "Remove my pictures" only while there is a
// file to remove.
void showOwnPictures(HWND dialog, const OwnPicturesState& state) {
  ownState = state;
  SetDlgItemTextW(dialog, ORVANE_CONTROL_PICTURES_LINE, wideText(ownPicturesLine(state.count, state.failure)).c_str());
  HWND remove = GetDlgItem(dialog, ORVANE_CONTROL_REMOVE_PICTURES);
  // A button disabled while it has the focus would leave the keyboard nowhere: the focus
  // moves on to "Add pictures..." first.
  if (!state.exists && GetFocus() == remove)
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, ORVANE_CONTROL_ADD_PICTURES)), TRUE);
  EnableWindow(remove, state.exists);
}

// While pictures are added: the progress bar and "Stop adding" shown, the focus on it, and
// the two buttons that change the file off; afterwards the other way round.
void showAdding(HWND dialog, bool on) {
  HWND stop = GetDlgItem(dialog, ORVANE_CONTROL_STOP_ADDING);
  HWND add = GetDlgItem(dialog, ORVANE_CONTROL_ADD_PICTURES);
  EnableWindow(stop, on);
  if (on) ShowWindow(stop, SW_SHOW);
  SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(on ? stop : add), TRUE);
  if (!on) ShowWindow(stop, SW_HIDE);
  ShowWindow(GetDlgItem(dialog, ORVANE_CONTROL_ADDING_PROGRESS), on ? SW_SHOW : SW_HIDE);
  EnableWindow(add, !on);
  if (on) EnableWindow(GetDlgItem(dialog, ORVANE_CONTROL_REMOVE_PICTURES), FALSE);
}

void addPictures(HWND dialog) {
  std::vector<pictures::Path> chosen = ChoosePictures(dialog);
  if (chosen.empty()) return;
  SendDlgItemMessageA(dialog, ORVANE_CONTROL_ADDING_PROGRESS, PBM_SETRANGE32, 0, static_cast<LPARAM>(chosen.size()));
  SendDlgItemMessageA(dialog, ORVANE_CONTROL_ADDING_PROGRESS, PBM_SETPOS, 0, 0);
  showAdding(dialog, true);
  adding = std::make_unique<OwnPicturesAdding>(dialog, std::move(chosen));
}

// The adding thread has reached picture `index`.
void showAddingPicture(HWND dialog, size_t index) {
  if (!adding || index >= adding->pictureFiles().size()) return;
  const std::string name = pictures::pathText(adding->pictureFiles()[index].filename());
  SetDlgItemTextW(dialog, ORVANE_CONTROL_PICTURES_LINE,
                  wideText(addingPicturesLine(index, adding->pictureFiles().size(), name)).c_str());
  SendDlgItemMessageA(dialog, ORVANE_CONTROL_ADDING_PROGRESS, PBM_SETPOS, index, 0);
}

// The adding has ended: the dialog as it was, the report, or the dialog closed when OK or
// Cancel was pressed meanwhile.
void finishAdding(HWND dialog) {
  if (!adding) return;
  const std::string report = adding->finish();
  adding.reset();
  showAdding(dialog, false);
  if (closeWhenAdded != 0) {
    EndDialog(dialog, closeWhenAdded);
    closeWhenAdded = 0;
    return;
  }
  readOwnPictures(dialog);
  MessageBoxW(dialog, wideText(report).c_str(), L"Your pictures", MB_OK | MB_ICONINFORMATION);
}

// What OK stores: the boxes and the speed as they stand, saved even when nothing changed, so
// OK always leaves a stored 0 or 1. A speed between two marks stays as it is unless the
// track bar was moved.
void storeSettings(HWND dialog) {
  if (saverSettings == nullptr) return;
  saverSettings->UseMirrors = IsDlgButtonChecked(dialog, ORVANE_CONTROL_USE_MIRRORS) == BST_CHECKED ? 1 : 0;
  saverSettings->Monitors = IsDlgButtonChecked(dialog, ORVANE_CONTROL_MAIN_MONITOR_ONLY) == BST_CHECKED ? 1 : 0;
  saverSettings->SavePower = IsDlgButtonChecked(dialog, ORVANE_CONTROL_SAVE_POWER) == BST_CHECKED ? 1 : 0;
  const auto position = static_cast<int32_t>(SendDlgItemMessageA(dialog, ORVANE_CONTROL_SPEED, TBM_GETPOS, 0, 0));
  if (position != trackPositionFromSpeed(saverSettings->Speed)) saverSettings->Speed = speedFromTrackPosition(position);
  SaveSaverSettings(saverSettings);
}

// OK and Cancel while pictures are added: the adding stops after the picture in hand, and
// the dialog closes when it has. OK stores the settings at once, as it always does.
bool closeAfterAdding(HWND dialog, int button) {
  if (!adding) return false;
  if (button == IDOK && closeWhenAdded == 0) storeSettings(dialog);
  closeWhenAdded = button;
  adding->stop();
  EnableWindow(GetDlgItem(dialog, ORVANE_CONTROL_STOP_ADDING), FALSE);
  SetDlgItemTextW(dialog, ORVANE_CONTROL_PICTURES_LINE, L"Stopping after the picture in hand...");
  return true;
}

void removePictures(HWND dialog) {
  const OwnPicturesState state = ownState;
  const bool toRecycleBin = OwnPicturesGoToRecycleBin();
  const std::string question = removePicturesQuestion(state.count, toRecycleBin);
  if (MessageBoxW(dialog, wideText(question).c_str(), L"Your pictures", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
    return;
  const bool removed = RemoveOwnPictures(toRecycleBin);
  readOwnPictures(dialog);
  if (!removed) MessageBoxW(dialog, L"Your pictures file could not be removed.", L"Your pictures", MB_OK | MB_ICONWARNING);
}

}  // namespace

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      // Any nonzero setting counts as on, so it shows ticked; passing 7 through would
      // leave the box's look to the control's own handling of an unknown state.
      if (saverSettings != nullptr) {
        CheckDlgButton(dialog, ORVANE_CONTROL_USE_MIRRORS,
                       saverSettings->UseMirrors != 0 ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog, ORVANE_CONTROL_MAIN_MONITOR_ONLY,
                       saverSettings->Monitors == 1 ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog, ORVANE_CONTROL_SAVE_POWER,
                       saverSettings->SavePower != 0 ? BST_CHECKED : BST_UNCHECKED);
      }
      SendDlgItemMessageA(dialog, ORVANE_CONTROL_SPEED, TBM_SETRANGE, FALSE, MAKELPARAM(0, 2 * kSpeedTrackMiddle));
      SendDlgItemMessageA(dialog, ORVANE_CONTROL_SPEED, TBM_SETTICFREQ, 5, 0);
      SendDlgItemMessageA(dialog, ORVANE_CONTROL_SPEED, TBM_SETPOS, TRUE,
                          trackPositionFromSpeed(saverSettings ? saverSettings->Speed : 100));
      readOwnPictures(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          if (closeAfterAdding(dialog, IDOK)) return FALSE;
          storeSettings(dialog);
          EndDialog(dialog, IDOK);
          return FALSE;
        case IDCANCEL:
          if (closeAfterAdding(dialog, IDCANCEL)) return FALSE;
          EndDialog(dialog, IDCANCEL);
          return FALSE;
        case ORVANE_CONTROL_ADD_PICTURES:
          if (HIWORD(wParam) == BN_CLICKED && !adding) addPictures(dialog);
          return FALSE;
        case ORVANE_CONTROL_REMOVE_PICTURES:
          if (HIWORD(wParam) == BN_CLICKED && !adding) removePictures(dialog);
          return FALSE;
        case ORVANE_CONTROL_STOP_ADDING:
          if (HIWORD(wParam) == BN_CLICKED && adding) {
            adding->stop();
            EnableWindow(GetDlgItem(dialog, ORVANE_CONTROL_STOP_ADDING), FALSE);
          }
          return FALSE;
        default:
          return FALSE;
      }
    case kAddingPictureMessage:
      showAddingPicture(dialog, static_cast<size_t>(wParam));
      return TRUE;
    case kAddingWaitingMessage:
      SetDlgItemTextW(dialog, ORVANE_CONTROL_PICTURES_LINE,
                      L"Waiting: another program is adding pictures to your file...");
      return TRUE;
    case kAddingDoneMessage:
      finishAdding(dialog);
      return TRUE;
    case kOwnPicturesStateMessage: {
      const OwnPicturesState state = TakeOwnPicturesState(lParam);
      // A later reading is under way, or pictures are being added: this one is out of date.
      if (wParam == ownStateTurn && !adding) showOwnPictures(dialog, state);
      return TRUE;
    }
    case WM_DESTROY:
      adding.reset();  // never left running after its window (it waits for the thread)
      closeWhenAdded = 0;
      return FALSE;
    default:
      return FALSE;
  }
}

void RegisterDialogControls() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_BAR_CLASSES | ICC_PROGRESS_CLASS;
  InitCommonControlsEx(&controls);
}

void ShowConfigDialog(HWND parent) {
  RegisterDialogControls();
  DialogBoxParamA(hostInstance, MAKEINTRESOURCEA(ORVANE_DIALOG_CONFIG), parent, ConfigDialogProc, 0);
}
