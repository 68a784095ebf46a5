#pragma once
// The one settings and host-state record of the process, and the process-wide
// host state that window and dialog procedures reach.
#include <windows.h>

#include <cstdint>

struct SaverSettings {
  HWND Window;               // the saver window; target of close and password messages
  uint32_t PasswordDelay;    // seconds after creation within which input closes without a password
  int32_t MouseThreshold;    // largest cursor displacement (x and y separately) that does not close
  POINT StartCursor;         // where cursor displacement is measured from
  uint32_t StartTick;        // system tick count at the window's creation
  int32_t CheckingPassword;  // 1 while a password check runs
  int32_t CloseRequested;    // 1 once the saver itself asked to close
  int32_t UseMirrors;        // nonzero: kaleidoscope mirrored; zero: a single wedge
  int32_t Speed;             // how fast the kaleidoscope moves, percent (25 to 200)
  int32_t Monitors;          // 0: a kaleidoscope on every monitor; 1: the primary's only, the others black
  int32_t SavePower;         // 1: fewer frames while on battery or with the battery saver on; 0: never
};

static_assert(sizeof(POINT) == 8 && sizeof(DWORD) == 4,
              "cursor coordinates, tick counts and registry numbers are 32-bit on every target");

extern HINSTANCE hostInstance;
extern SaverSettings* saverSettings;
