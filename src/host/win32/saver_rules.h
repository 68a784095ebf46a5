#pragma once
// The saver window's decisions that need no window: which message does what, the mouse
// test, the close/password-delay decision, the window geometry, the windows for the
// monitors and what the display's power state means. Pure logic, tested natively;
// the window procedure gathers the inputs and acts on the answers.
#include <cstdint>

#include "host/win32/command_line.h"

// Message numbers and command words the saver window reacts to (the Win32 values).
namespace msg {
constexpr uint32_t kCreate = 0x0001;
constexpr uint32_t kDestroy = 0x0002;
constexpr uint32_t kActivate = 0x0006;
constexpr uint32_t kClose = 0x0010;
constexpr uint32_t kActivateApp = 0x001C;
constexpr uint32_t kSetCursor = 0x0020;
constexpr uint32_t kNcActivate = 0x0086;
constexpr uint32_t kKeyDown = 0x0100;
constexpr uint32_t kSysCommand = 0x0112;
constexpr uint32_t kMouseMove = 0x0200;
constexpr uint32_t kLButtonDown = 0x0201;
constexpr uint32_t kRButtonDown = 0x0204;
constexpr uint32_t kMButtonDown = 0x0207;
constexpr uint32_t kWtsSessionChange = 0x02B1;
constexpr uint64_t kScScreenSave = 0xF140;
constexpr uint64_t kScClose = 0xF060;
}  // namespace msg

enum class MessageAction {
  Nothing,
  RecordStart,   // remember window, cursor position and tick count
  PostQuit,      // end the frame loop
  RequestClose,  // the saver asks itself to close
  MouseTest,     // compare the cursor with the reference point
  CloseHandling, // a close message in Saver mode: delay or password decides
  HideCursor,
  ShowArrow,
};

struct MessageDecision {
  MessageAction action;
  // true: the result is whatever the default window procedure returns; false: the message is
  // handled here (result 0, or TRUE for a cursor request, which says the cursor is set).
  bool passOn;
};

// What the saver window does with one message. `checking` is CheckingPassword != 0.
// A change of the session that leaves the desktop unseen (locked: 7, the console
// disconnected: 2, a remote session connected or disconnected: 3, 4) ends Saver mode as
// input does.
// The word parameter is compared whole: a system command with its low four bits set is not
// a screen-save or close command.
MessageDecision decideMessage(SaverMode mode, bool checking, uint32_t message, uint64_t wParam);

struct ScreenPoint {
  int32_t x;
  int32_t y;
};

// True when the cursor is more than `threshold` pixels from `start` in x or in y (strict,
// signed). Differences are formed in 64 bits, so coordinates far apart cannot overflow; a
// negative threshold makes every position count as too far.
bool cursorMovedTooFar(ScreenPoint start, ScreenPoint now, int32_t threshold);

enum class CloseDecision {
  Ignore,         // not asked for by the saver, or a password check is under way
  Destroy,        // within the password delay: close without asking
  AskPassword,    // the delay has passed: the password must be verified first
};

// The close handling's decision. Elapsed time and the delay in milliseconds are unsigned
// 32-bit quantities: a tick count that wrapped between the two readings still gives the
// right difference, and the delay in milliseconds saturates at 2^32 - 1.
CloseDecision decideClose(bool closeRequested, bool checking, uint32_t nowTick,
                          uint32_t startTick, uint32_t passwordDelaySeconds);

// Window geometry for the two window-making modes.
struct WindowPlan {
  uint32_t style;
  int32_t width;
  int32_t height;
  bool child;  // made as a child of the parent window
};

constexpr uint32_t kPreviewStyle = 0x50000000u;  // WS_CHILD | WS_VISIBLE
constexpr uint32_t kSaverStyle = 0x90000000u;    // WS_POPUP | WS_VISIBLE

// Preview: the parent's window rectangle gives the size; Saver: the screen size.
// The sizes are differences of 32-bit coordinates, wrapped as 32-bit values.
WindowPlan planWindow(SaverMode mode, int32_t left, int32_t top, int32_t right, int32_t bottom,
                      int32_t screenWidth, int32_t screenHeight);

// A rectangle in virtual-screen coordinates (the primary monitor's top left is 0, 0; other
// monitors may lie at negative coordinates): left and top inside, right and bottom outside.
struct ScreenRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

// A rectangle's size, the differences of its coordinates wrapped as 32-bit values (as the
// window sizes are).
inline int32_t rectWidth(const ScreenRect& r) {
  return static_cast<int32_t>(static_cast<uint32_t>(r.right) - static_cast<uint32_t>(r.left));
}
inline int32_t rectHeight(const ScreenRect& r) {
  return static_cast<int32_t>(static_cast<uint32_t>(r.bottom) - static_cast<uint32_t>(r.top));
}

// One monitor as the system lists it.
struct MonitorArea {
  ScreenRect rect;
  bool primary;
};

// The most windows the saver makes in Saver mode; monitors beyond them stay uncovered.
constexpr int32_t kMaxSaverWindows = 32;

// The saver's windows in Saver mode, one per monitor, into `windows` (room for `capacity`);
// returns how many. The primary monitor's window comes first, then the others in the
// system's order. Monitors with no area, and a monitor whose rectangle repeats one already
// covered (a display shown on two outputs), get no window of their own. The primary is the
// first monitor flagged so, else the first with an area. With no monitor that has an area
// (the system lists none), the one window is `fallback` (the primary screen).
int32_t planMonitorWindows(const MonitorArea* monitors, int32_t count, ScreenRect fallback,
                           ScreenRect* windows, int32_t capacity);

// What a change of the console display's power state says about drawing.
enum class DisplayPower {
  Unchanged,  // not the display-state setting, or data that carries no state
  Off,        // the display is off: nothing is drawn until it comes back
  On,         // on, or dimmed (still showing the picture): draw
};

// The display state in a power-setting change: `displayState` is whether the setting is the
// console display state; its data is 4 bytes, 0 off, 1 on, 2 dimmed. Data of another length
// or an unknown value leaves the state as it was.
DisplayPower readDisplayPower(bool displayState, uint32_t dataLength, const uint8_t* data);

// Whether the saver draws at the power-saving pace: the "SavePower" setting is on (any
// nonzero value) and the system runs on battery (`acLineStatus` 0; 1 is mains, 255 unknown)
// or its battery saver is on (`systemStatusFlag` 1).
bool savingPower(int32_t savePower, uint8_t acLineStatus, uint8_t systemStatusFlag);

// The power facts the saver's pace follows, as the system announces them.
struct PowerState {
  bool onBattery = false;     // the power source is a battery (or a short-term one: a UPS)
  bool batterySaver = false;  // the battery saver is on
  bool energySaver = false;   // the energy saver is on (it may be on the mains too)
};

// The power settings announced by their identifiers.
enum class PowerSetting { Other, PowerSource, PowerSavingStatus, EnergySaverStatus };

// A change of one power setting: its data is 4 bytes (power source: 0 mains, 1 battery, 2
// a short-term source; saving status: 0 off, 1 on; energy saver: 0 off, 1 standard, 2 high
// savings). Data of another length or an unknown value, or another setting, leaves the
// state as it was. True when the state changed.
bool applyPowerSetting(PowerState* state, PowerSetting setting, uint32_t dataLength, const uint8_t* data);

// Whether the saver draws at the power-saving pace: "SavePower" on and any of the state's
// facts.
bool savingPower(int32_t savePower, const PowerState& state);

// The most frames a second a monitor draws with a context whose GL_RENDERER is
// `renderer`: 30 for the system's own software renderer, whose frames would otherwise take
// a whole core; 0 (no cap) for any other or none.
int32_t frameCapForRenderer(const char* renderer);

// Whether the preview draws now: its own window visible (which counts every ancestor), the
// root not minimised, and not cloaked (a settings window on another virtual desktop:
// `cloaked` is DWMWA_CLOAKED's value, 0 when not cloaked or where it cannot be read).
bool previewCanBeSeen(bool windowVisible, bool rootIconic, uint32_t cloaked);
