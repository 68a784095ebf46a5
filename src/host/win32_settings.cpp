// Settings defaults. Reading the registry and the dialog come with the settings store.
#include "host/win32_settings.h"

void LoadHostSettings(SaverSettings* settings) {
  settings->PasswordDelay = 15;
  settings->MouseThreshold = 50;
  settings->CheckingPassword = 0;
}

void LoadSaverSettings(SaverSettings* settings) { settings->UseMirrors = 1; }

void SaveSaverSettings(SaverSettings*) {}

INT_PTR CALLBACK ConfigDialogProc(HWND, UINT, WPARAM, LPARAM) { return 0; }
