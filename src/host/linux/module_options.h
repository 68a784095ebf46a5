#pragma once
// The Linux program's command line: which window it draws into and how, or the outputs of a
// Wayland compositor. Pure logic (no X or Wayland headers), tested natively; x11_main.cpp
// and the Wayland host act on the result.
#include <cstdint>
#include <string>

enum class ModuleWindow {
  Own,   // a window of its own, for trying the module out (the default)
  Root,  // the daemon's window from XSCREENSAVER_WINDOW, else the root window
  Id,    // the window named on the command line
};

enum class ModuleAction { Run, Help, Version, Error };

struct ModuleOptions {
  ModuleAction action = ModuleAction::Run;
  std::string error;  // one line, for ModuleAction::Error

  ModuleWindow window = ModuleWindow::Own;
  uint32_t windowId = 0;                    // ModuleWindow::Id
  int64_t delayMicroseconds = 10000;        // at least this long between frames
  bool delayGiven = false;                  // --delay was on the command line
  int32_t maxFps = 0;                       // a cap on frames per second; 0: the display's rate
  bool mirrors = true;
  std::string props;                        // empty: search the usual places
  bool fps = false;
  int32_t width = 960, height = 540;        // the own window's size
  bool positionGiven = false;
  int32_t x = 0, y = 0;
  bool seedGiven = false;
  uint32_t seed = 0;
  int32_t speedPercent = 100;               // how fast the scene runs, 25 to 200
  bool wayland = false;                     // every output of a Wayland compositor (layer shell)
  bool background = false;                  // with wayland: the background layer, no input
  bool savePower = true;                    // at most 30 frames a second on battery
};

constexpr int64_t kModuleMaxDelayMicroseconds = 10000000;  // 10 s
constexpr int32_t kModuleMaxWindowSide = 16384;
constexpr int32_t kModuleMaxFps = 1000;

// Reads the arguments after the program name. Options take one or two leading dashes, and
// a value either as the next argument or after '='. Later window choices replace earlier
// ones. The first fault ends the reading with ModuleAction::Error; --help and --version end
// it at once. The window options (--root, --window-id, --window, --geometry) are refused
// with --wayland, which covers every output, and --background without --wayland.
ModuleOptions parseModuleOptions(int argc, const char* const* argv);

// A window id as X clients write it: decimal, or hexadecimal after 0x or 0X, with nothing
// else but surrounding blanks. 0 (no window) and values beyond 32 bits are refused.
bool parseWindowId(const char* text, uint32_t* id);

// The seed of a run: the one --seed names, else the time of day (seconds) mixed with the
// process id, so that the processes the daemon starts in one second, one per monitor, each
// draw their own picture. The mix spreads a change of either over all 32 bits: neighbouring
// process ids do not start the generator on neighbouring states.
uint32_t moduleSeed(const ModuleOptions& options, uint32_t timeOfDay, uint32_t processId);

// The usage text that --help prints.
const char* moduleUsage();
