// The saver window's pure decisions: messages, mouse test, close/password delay, frame word.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/frame_loop.h"
#include "host/win32/saver_rules.h"

namespace {

using A = MessageAction;

struct MessageCase {
  const char* what;
  SaverMode mode;
  bool checking;
  uint32_t message;
  uint64_t wParam;
  MessageAction action;
  bool passOn;
};

TEST(HostMessages, EachMessageInEachModeDoesWhatTheSaverPromises) {
  const SaverMode S = SaverMode::Saver, P = SaverMode::Preview;
  const MessageCase cases[] = {
      {"create records the start in every mode", S, false, msg::kCreate, 0, A::RecordStart, true},
      {"create in preview", P, false, msg::kCreate, 0, A::RecordStart, true},
      {"destroy ends the loop", S, false, msg::kDestroy, 0, A::PostQuit, true},
      {"destroy in preview", P, false, msg::kDestroy, 0, A::PostQuit, true},
      // Losing activation (low word 0) is input; gaining it is not; the high word is ignored.
      {"activate lost", S, false, msg::kActivate, 0, A::RequestClose, true},
      {"activate lost, minimised", S, false, msg::kActivate, 0x10000, A::RequestClose, true},
      {"activate gained", S, false, msg::kActivate, 1, A::Nothing, true},
      {"activate by click", S, false, msg::kActivate, 2, A::Nothing, true},
      {"app deactivated", S, false, msg::kActivateApp, 0, A::RequestClose, true},
      {"nc deactivated", S, false, msg::kNcActivate, 0, A::RequestClose, true},
      {"activation lost while checking", S, true, msg::kActivate, 0, A::Nothing, true},
      {"activation lost in preview", P, false, msg::kActivateApp, 0, A::Nothing, true},
      // Close: Saver mode decides and never passes it on; other modes let it destroy.
      {"close in saver", S, false, msg::kClose, 0, A::CloseHandling, false},
      {"close while checking", S, true, msg::kClose, 0, A::CloseHandling, false},
      {"close in preview", P, false, msg::kClose, 0, A::Nothing, true},
      // Cursor: hidden only in Saver mode outside a check.
      {"cursor in saver", S, false, msg::kSetCursor, 0, A::HideCursor, false},
      {"cursor while checking", S, true, msg::kSetCursor, 0, A::ShowArrow, true},
      {"cursor in preview", P, false, msg::kSetCursor, 0, A::ShowArrow, true},
      // Presses close; releases, system keys and the wheel do not.
      {"key down", S, false, msg::kKeyDown, 'A', A::RequestClose, true},
      {"left down", S, false, msg::kLButtonDown, 1, A::RequestClose, true},
      {"right down", S, false, msg::kRButtonDown, 2, A::RequestClose, true},
      {"middle down", S, false, msg::kMButtonDown, 16, A::RequestClose, true},
      {"key down while checking", S, true, msg::kKeyDown, 'A', A::Nothing, true},
      {"key down in preview", P, false, msg::kKeyDown, 'A', A::Nothing, true},
      {"key up", S, false, 0x0101, 'A', A::Nothing, true},
      {"system key down", S, false, 0x0104, 'A', A::Nothing, true},
      {"left up", S, false, 0x0202, 0, A::Nothing, true},
      {"right up", S, false, 0x0205, 0, A::Nothing, true},
      {"middle up", S, false, 0x0208, 0, A::Nothing, true},
      {"wheel", S, false, 0x020A, 0x00780000, A::Nothing, true},
      {"double click", S, false, 0x0203, 0, A::Nothing, true},
      // Mouse moves are tested against the reference point only when watching.
      {"mouse move", S, false, msg::kMouseMove, 0, A::MouseTest, true},
      {"mouse move while checking", S, true, msg::kMouseMove, 0, A::Nothing, true},
      {"mouse move in preview", P, false, msg::kMouseMove, 0, A::Nothing, true},
      // System commands: the two exact words are swallowed in Saver mode, even while checking.
      {"screen save", S, false, msg::kSysCommand, 0xF140, A::Nothing, false},
      {"close command", S, false, msg::kSysCommand, 0xF060, A::Nothing, false},
      {"close command while checking", S, true, msg::kSysCommand, 0xF060, A::Nothing, false},
      {"close command, low bits set", S, false, msg::kSysCommand, 0xF061, A::Nothing, true},
      {"screen save, low bits set", S, false, msg::kSysCommand, 0xF142, A::Nothing, true},
      {"close command, high bits set", S, false, msg::kSysCommand, 0x1F060, A::Nothing, true},
      {"minimise", S, false, msg::kSysCommand, 0xF020, A::Nothing, true},
      {"screen save in preview", P, false, msg::kSysCommand, 0xF140, A::Nothing, true},
      {"close command in preview", P, false, msg::kSysCommand, 0xF060, A::Nothing, true},
      {"paint", S, false, 0x000F, 0, A::Nothing, true},
      // The session leaves the desktop unseen: locked, console disconnected, remote in or out.
      {"session locked", S, false, msg::kWtsSessionChange, 7, A::RequestClose, true},
      {"console disconnected", S, false, msg::kWtsSessionChange, 2, A::RequestClose, true},
      {"remote connected", S, false, msg::kWtsSessionChange, 3, A::RequestClose, true},
      {"remote disconnected", S, false, msg::kWtsSessionChange, 4, A::RequestClose, true},
      {"session unlocked", S, false, msg::kWtsSessionChange, 8, A::Nothing, true},
      {"session locked while checking", S, true, msg::kWtsSessionChange, 7, A::Nothing, true},
  };
  for (const auto& c : cases) {
    const MessageDecision d = decideMessage(c.mode, c.checking, c.message, c.wParam);
    EXPECT_EQ(d.action, c.action) << c.what;
    EXPECT_EQ(d.passOn, c.passOn) << c.what;
  }
}

TEST(HostMessages, ModesThatMakeNoWindowInterceptNothing) {
  const uint32_t inputs[] = {msg::kKeyDown, msg::kLButtonDown, msg::kMouseMove, msg::kActivate,
                             msg::kClose, msg::kSysCommand};
  for (SaverMode mode : {SaverMode::None, SaverMode::Config, SaverMode::ChangePassword}) {
    for (uint32_t m : inputs) {
      const MessageDecision d = decideMessage(mode, false, m, m == msg::kSysCommand ? 0xF060 : 0);
      EXPECT_EQ(d.action, A::Nothing) << static_cast<int>(mode) << " " << m;
      EXPECT_TRUE(d.passOn);
    }
  }
}

TEST(HostMouse, ThresholdIsTheLargestDisplacementThatDoesNotClose) {
  struct {
    ScreenPoint start, now;
    int32_t threshold;
    bool close;
  } cases[] = {
      {{100, 100}, {150, 100}, 50, false},   // exactly the threshold in x
      {{100, 100}, {100, 50}, 50, false},    // exactly the threshold in y, other side
      {{100, 100}, {150, 150}, 50, false},   // exactly the threshold in both
      {{100, 100}, {151, 100}, 50, true},    // one more in x
      {{100, 100}, {100, 49}, 50, true},     // one more in y
      {{100, 100}, {49, 151}, 50, true},     // both
      {{100, 100}, {100, 100}, 0, false},    // no movement, threshold 0
      {{100, 100}, {101, 100}, 0, true},     // one pixel, threshold 0
      {{100, 100}, {100, 100}, -1, true},    // negative threshold: the first move closes
      {{100, 100}, {100, 100}, INT32_MIN, true},
      {{-10, -10}, {40, 40}, 50, false},     // across the origin
      {{-10, -10}, {41, -10}, 50, true},
      {{-700, -300}, {-650, -250}, 50, false},  // on a monitor left of and above the primary
      {{300, 300}, {-300, 300}, 50, true},      // onto it
      // Far-apart coordinates do not overflow into a small difference.
      {{INT32_MIN, 0}, {INT32_MAX, 0}, INT32_MAX, true},
      {{INT32_MAX, 0}, {INT32_MIN, 0}, 50, true},
      {{0, INT32_MIN}, {0, INT32_MAX}, 50, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(cursorMovedTooFar(c.start, c.now, c.threshold), c.close)
        << "(" << c.start.x << "," << c.start.y << ") -> (" << c.now.x << "," << c.now.y
        << ") threshold " << c.threshold;
}

TEST(HostMouse, CreepingAddsUpFromTheReferencePoint) {
  const ScreenPoint start{500, 300};
  int closedAt = -1;
  for (int step = 1; step <= 60 && closedAt < 0; ++step)
    if (cursorMovedTooFar(start, {500 + step, 300}, 50)) closedAt = step;
  EXPECT_EQ(closedAt, 51);
}

TEST(HostClose, DelayAndRequestDecideTheClose) {
  using D = CloseDecision;
  struct {
    const char* what;
    bool requested, checking;
    uint32_t now, start, delay;
    CloseDecision decision;
  } cases[] = {
      {"not asked for by the saver", false, false, 1000, 1000, 15, D::Ignore},
      {"during a check", true, true, 1000, 1000, 15, D::Ignore},
      {"not asked and checking", false, true, 99999, 0, 0, D::Ignore},
      {"at once", true, false, 1000, 1000, 15, D::Destroy},
      {"exactly the delay", true, false, 16000, 1000, 15, D::Destroy},
      {"one millisecond later", true, false, 16001, 1000, 15, D::AskPassword},
      {"delay 0, same millisecond", true, false, 5000, 5000, 0, D::Destroy},
      {"delay 0, one millisecond later", true, false, 5001, 5000, 0, D::AskPassword},
      // The tick count wrapped between the readings: 0x200 ms have passed.
      {"wrap, short", true, false, 0x100, 0xFFFFFF00u, 15, D::Destroy},
      {"wrap, long", true, false, 0x100, 0xFFFFFF00u, 0, D::AskPassword},
      {"wrap, exactly 512 ms", true, false, 0x100, 0xFFFFFF00u, 1, D::Destroy},
      // A clock that went backwards reads as a very long time.
      {"backwards", true, false, 999, 1000, 15, D::AskPassword},
      // The delay in milliseconds saturates: 4294968 s is longer than any elapsed time,
      // where a 32-bit product would wrap to 704 ms.
      {"saturated delay, long after", true, false, 0xFFFFFFFFu, 0, 4294968u, D::Destroy},
      {"largest delay, long after", true, false, 0xFFFFFFFFu, 0, 0xFFFFFFFFu, D::Destroy},
      {"largest exact delay, beyond", true, false, 0xFFFFFFFFu, 0, 4294967u, D::AskPassword},
      {"largest exact delay, within", true, false, 4294967000u, 0, 4294967u, D::Destroy},
  };
  for (const auto& c : cases)
    EXPECT_EQ(decideClose(c.requested, c.checking, c.now, c.start, c.delay), c.decision) << c.what;
}

TEST(HostFrameWord, OnlyBitSixteenCarriesTheMirrors) {
  EXPECT_EQ(frameWordFor(1), 0x10000u);
  EXPECT_EQ(frameWordFor(7), 0x10000u);
  EXPECT_EQ(frameWordFor(-1), 0x10000u);
  EXPECT_EQ(frameWordFor(0), 0u);
}

TEST(HostWindowPlan, PreviewTakesTheParentRectangleAndSaverTheScreen) {
  const WindowPlan preview = planWindow(SaverMode::Preview, 10, 20, 162, 132, 1024, 768);
  EXPECT_EQ(preview.style, 0x50000000u);
  EXPECT_EQ(preview.width, 152);
  EXPECT_EQ(preview.height, 112);
  EXPECT_TRUE(preview.child);

  const WindowPlan saver = planWindow(SaverMode::Saver, 10, 20, 162, 132, 1024, 768);
  EXPECT_EQ(saver.style, 0x90000000u);
  EXPECT_EQ(saver.width, 1024);
  EXPECT_EQ(saver.height, 768);
  EXPECT_FALSE(saver.child);

  // Extreme rectangles wrap as 32-bit differences instead of overflowing.
  const WindowPlan wide = planWindow(SaverMode::Preview, INT32_MIN, 0, INT32_MAX, 0, 0, 0);
  EXPECT_EQ(wide.width, -1);
}

// Rectangles as left, top, right, bottom; "P" marks the primary.
TEST(HostMonitorWindows, OneWindowPerMonitorThePrimaryFirst) {
  const ScreenRect screen{0, 0, 1024, 768};  // the fallback: the primary screen
  const ScreenRect a{0, 0, 800, 600}, left{-640, 0, 0, 480}, right{800, -100, 1440, 380};
  struct Case {
    const char* what;
    std::vector<MonitorArea> monitors;
    std::vector<ScreenRect> windows;
  } cases[] = {
      {"one monitor", {{a, true}}, {a}},
      {"none listed", {}, {screen}},
      {"none with an area", {{{0, 0, 0, 768}, true}, {{5, 5, 5, 9}, false}}, {screen}},
      {"P listed last, not at the left", {{left, false}, {right, false}, {a, true}}, {a, left, right}},
      {"a display on two outputs", {{a, true}, {a, false}, {right, false}, {right, false}}, {a, right}},
      {"no P: the first with an area", {{{0, 0, 0, 0}, true}, {left, false}, {a, false}}, {left, a}},
      {"sizes past 2^31 are no area", {{{INT32_MAX, 0, INT32_MIN, 9}, true}, {a, false}}, {a}},
  };
  for (const Case& c : cases) {
    ScreenRect out[kMaxSaverWindows];
    const int32_t n = planMonitorWindows(c.monitors.data(), static_cast<int32_t>(c.monitors.size()),
                                         screen, out, kMaxSaverWindows);
    ASSERT_EQ(n, static_cast<int32_t>(c.windows.size())) << c.what;
    for (int32_t i = 0; i < n; ++i) {
      const ScreenRect &o = out[i], &e = c.windows[i];
      EXPECT_TRUE(o.left == e.left && o.top == e.top && o.right == e.right && o.bottom == e.bottom)
          << c.what << ", window " << i;
    }
  }
  // More monitors than room: the primary and the first others.
  std::vector<MonitorArea> many;
  for (int32_t i = 0; i < 40; ++i) many.push_back({{i * 100, 0, i * 100 + 100, 100}, i == 39});
  ScreenRect out[3];
  ASSERT_EQ(planMonitorWindows(many.data(), 40, screen, out, 3), 3);
  EXPECT_TRUE(out[0].left == 3900 && out[1].left == 0 && out[2].left == 100);
}

TEST(HostDisplayPower, OffStopsTheDrawingDimmedAndOnDraw) {
  using P = DisplayPower;
  struct {
    bool displayState;
    std::vector<uint8_t> data;
    DisplayPower power;
  } cases[] = {
      {true, {0, 0, 0, 0}, P::Off},        {true, {1, 0, 0, 0}, P::On},
      {true, {2, 0, 0, 0}, P::On},         {true, {3, 0, 0, 0}, P::Unchanged},
      {true, {0, 1, 0, 0}, P::Unchanged},  {true, {0, 0}, P::Unchanged},
      {false, {0, 0, 0, 0}, P::Unchanged},
  };
  for (const auto& c : cases) {
    const uint8_t* data = c.data.data();
    EXPECT_EQ(readDisplayPower(c.displayState, static_cast<uint32_t>(c.data.size()), data), c.power)
        << c.displayState << " " << c.data.size() << " " << int{data[0]} << int{data[1]};
  }
}

TEST(HostPower, BatteryOrBatterySaverSlowTheSaverOnlyWhenItMaySavePower) {
  struct {
    int32_t savePower;
    uint8_t acLine, flag;
    bool saving;
  } cases[] = {{1, 0, 0, true},  {1, 1, 1, true},  {1, 1, 0, false}, {1, 255, 0, false},
               {0, 0, 1, false}, {7, 0, 0, true}};
  for (const auto& c : cases)
    EXPECT_EQ(savingPower(c.savePower, c.acLine, c.flag), c.saving) << c.savePower << " " << int{c.acLine} << " " << int{c.flag};
}

// Each announced setting moves its own fact (battery, battery saver, energy saver), in turn
// from the mains with every saver off; any one of them slows a saver that may save power.
TEST(HostPower, AnnouncedSettingsMoveTheirOwnFact) {
  using S = PowerSetting;
  struct {
    S setting;
    std::vector<uint8_t> data;
    bool changed;
    const char* facts;
  } steps[] = {
      {S::PowerSource, {1, 0, 0, 0}, true, "100"},        {S::PowerSource, {2, 0, 0, 0}, false, "100"},  // a UPS
      {S::PowerSource, {0, 0, 0, 0}, true, "000"},        {S::PowerSavingStatus, {1, 0, 0, 0}, true, "010"},
      {S::PowerSavingStatus, {2, 0, 0, 0}, false, "010"}, {S::EnergySaverStatus, {2, 0, 0, 0}, true, "011"},
      {S::EnergySaverStatus, {0, 1, 0, 0}, false, "011"}, {S::EnergySaverStatus, {0, 0}, false, "011"},
      {S::Other, {0, 0, 0, 0}, false, "011"},             {S::PowerSavingStatus, {0, 0, 0, 0}, true, "001"},
  };
  PowerState state;
  for (const auto& s : steps) {
    EXPECT_EQ(applyPowerSetting(&state, s.setting, static_cast<uint32_t>(s.data.size()), s.data.data()), s.changed);
    const std::string facts{"01"[state.onBattery], "01"[state.batterySaver], "01"[state.energySaver]};
    EXPECT_EQ(facts, s.facts) << static_cast<int>(s.setting) << " " << int{s.data[0]} << int{s.data[1]};
    EXPECT_TRUE(savingPower(1, state) == (facts != "000") && !savingPower(0, state));
  }
}

// Only the system's own software renderer is held to 30 frames a second; the preview draws
// only while its window is visible, its root not minimised and not cloaked.
TEST(HostSoftwareRendererAndPreview, CapAndVisibility) {
  for (const char* other : {"llvmpipe (LLVM 15.0.6, 256 bits)", "GDI Generic (x)", "gdi generic", "", static_cast<const char*>(nullptr)})
    EXPECT_EQ(frameCapForRenderer(other), 0) << (other ? other : "null");
  EXPECT_EQ(frameCapForRenderer("GDI Generic"), 30);
  EXPECT_TRUE(previewCanBeSeen(true, false, 0));
  EXPECT_FALSE(previewCanBeSeen(false, false, 0) || previewCanBeSeen(true, true, 0) || previewCanBeSeen(true, false, 1) ||
               previewCanBeSeen(true, false, 2));
}

}  // namespace
