#pragma once
// The settings store (registry of the current user) and the configuration dialog.
#include <windows.h>

#include "host/win32/win32_saver_settings.h"

// Sets PasswordDelay 15, MouseThreshold 50, CheckingPassword 0, then reads the system's
// screen-saver settings over them.
void LoadHostSettings(SaverSettings* settings);
// Sets UseMirrors 1, Speed 100 and Monitors 0, then reads the saver's own settings over them
// (a speed outside 25 to 200 keeps 100).
void LoadSaverSettings(SaverSettings* settings);
// Writes UseMirrors, Speed and Monitors as REG_DWORDs; silent on failure.
void SaveSaverSettings(SaverSettings* settings);
// The dialog procedure of dialog 104.
INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Registers the common controls dialog 104 uses (its track bar); before the dialog is made.
void RegisterDialogControls();
// Shows dialog 104 over `parent` until it is closed.
void ShowConfigDialog(HWND parent);
