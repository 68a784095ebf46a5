#pragma once
// The settings store (registry of the current user) and the configuration dialog.
#include <windows.h>

#include "host/win32/win32_saver_settings.h"

// Sets PasswordDelay 15, MouseThreshold 50, CheckingPassword 0, then reads the system's
// screen-saver settings over them.
void LoadHostSettings(SaverSettings* settings);
// Sets UseMirrors 1 and Monitors 0, then reads the saver's own settings over them.
void LoadSaverSettings(SaverSettings* settings);
// Writes UseMirrors and Monitors as REG_DWORDs; silent on failure.
void SaveSaverSettings(SaverSettings* settings);
// The dialog procedure of dialog 104.
INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
