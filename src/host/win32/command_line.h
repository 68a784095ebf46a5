#pragma once
// Reading the saver's command line into a run mode and a window number.
// Pure logic: no windows.h, so it is tested natively.
#include <cstdint>

// The run mode, set once while the command line is read. Values are fixed.
enum class SaverMode : int32_t {
  None = 0,            // unrecognised switch: nothing runs
  Config = 1,          // configuration dialog
  ChangePassword = 2,  // the system's password-change service
  Preview = 3,         // saver window as a child of the host's preview window
  Saver = 4,           // full-screen saver window
};

struct CommandLine {
  SaverMode mode;
  // The window number that follows the switch letter (0: no window). Meaning depends on mode.
  int32_t parent;
  // Config mode with nothing after the letter: the owner is the current foreground window.
  bool parentIsForeground;
};

// Reads a whole command line, program name included. Only the space separates words.
// A null pointer reads as an empty string. Never reads past the terminating zero.
CommandLine parseCommandLine(const char* line);

// Reads a decimal number the way atoi does: an optional sign, then digits up to the first
// non-digit; no digits gives 0. Digits beyond the range of 32 bits wrap modulo 2^32
// instead of being undefined.
int32_t readWindowNumber(const char* text);
