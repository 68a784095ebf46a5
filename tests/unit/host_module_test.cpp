// The Linux module's pure logic: its command line, the window ids it reads, where it looks
// for a prop file, and its frame-rate report.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "common/random.h"

#include "host/wayland/output_frames.h"
#include "host/linux/frame_meter.h"
#include "host/linux/module_options.h"
#include "host/linux/power_state.h"
#include "host/prop_places.h"
#include "props/prop_atlas.h"
#include "resfile/resfile_writer.h"
#include "support/prop_files.h"

namespace {

struct OptionCase {
  std::vector<const char*> args;
  ModuleAction action;
  ModuleWindow window;
  uint32_t windowId;
  int64_t delay;
  bool mirrors;
  const char* props;
  const char* geometry;  // "WxH" or "WxH+X+Y" as the options hold it
};

std::string geometryOf(const ModuleOptions& o) {
  std::string g = std::to_string(o.width) + "x" + std::to_string(o.height);
  if (o.positionGiven) g += "+" + std::to_string(o.x) + "+" + std::to_string(o.y);
  return g;
}

TEST(ModuleOptions, ReadAsTheDaemonAndPeopleWriteThem) {
  const ModuleAction run = ModuleAction::Run, error = ModuleAction::Error;
  const ModuleWindow own = ModuleWindow::Own, root = ModuleWindow::Root, id = ModuleWindow::Id;
  const OptionCase cases[] = {
      {{}, run, own, 0, 10000, true, "", "960x540"},
      {{"--root"}, run, root, 0, 10000, true, "", "960x540"},
      {{"-root", "-delay", "20000", "-no-mirrors"}, run, root, 0, 20000, false, "", "960x540"},
      {{"--window-id", "0x2a00007"}, run, id, 0x2a00007, 10000, true, "", "960x540"},
      {{"--window-id=44040199"}, run, id, 44040199, 10000, true, "", "960x540"},
      {{"--root", "--window"}, run, own, 0, 10000, true, "", "960x540"},  // the last choice holds
      {{"--no-mirrors", "--mirrors", "--props", "a b.prp"}, run, own, 0, 10000, true, "a b.prp", "960x540"},
      {{"--delay", "0", "--delay=10000000"}, run, own, 0, 10000000, true, "", "960x540"},
      {{"--geometry", "1280x720"}, run, own, 0, 10000, true, "", "1280x720"},
      {{"-geometry", "640x480+-10+20"}, run, own, 0, 10000, true, "", "640x480+-10+20"},
      {{"--help", "--bogus"}, ModuleAction::Help, own, 0, 10000, true, "", "960x540"},
      {{"-version"}, ModuleAction::Version, own, 0, 10000, true, "", "960x540"},
      // Faults: the first one ends the reading.
      {{"--bogus", "--help"}, error, own, 0, 10000, true, "", "960x540"},
      {{"root"}, error, own, 0, 10000, true, "", "960x540"},
      {{"-"}, error, own, 0, 10000, true, "", "960x540"},
      {{"--delay"}, error, own, 0, 10000, true, "", "960x540"},
      {{"--delay", "-1"}, error, own, 0, 10000, true, "", "960x540"},
      {{"--delay", "10000001"}, error, own, 0, 10000, true, "", "960x540"},
      {{"--delay", "99999999999999999999999"}, error, own, 0, 10000, true, "", "960x540"},
      {{"--window-id", "0"}, error, own, 0, 10000, true, "", "960x540"},
      {{"--fps=1"}, error, own, 0, 10000, true, "", "960x540"},
      {{"--props", ""}, error, own, 0, 10000, true, "", "960x540"},
      {{"--geometry", "0x10"}, error, own, 0, 10000, true, "", "960x540"},
      {{"--geometry", "10x"}, error, own, 0, 10000, true, "", "960x540"},
      {{"--geometry", "20000x10"}, error, own, 0, 10000, true, "", "960x540"},
      {{"--geometry", "10x10+5"}, error, own, 0, 10000, true, "", "960x540"},
      {{"--seed", "4294967296"}, error, own, 0, 10000, true, "", "960x540"},
  };
  for (const OptionCase& c : cases) {
    std::string line;
    for (const char* a : c.args) line += std::string(a) + " ";
    const ModuleOptions o = parseModuleOptions(int(c.args.size()), c.args.data());
    EXPECT_EQ(o.action, c.action) << line;
    EXPECT_EQ(o.error.empty(), c.action != error) << line << ": " << o.error;
    if (c.action != run) continue;
    EXPECT_EQ(o.window, c.window) << line;
    EXPECT_EQ(o.windowId, c.windowId) << line;
    EXPECT_EQ(o.delayMicroseconds, c.delay) << line;
    EXPECT_EQ(o.mirrors, c.mirrors) << line;
    EXPECT_EQ(o.props, c.props) << line;
    EXPECT_EQ(geometryOf(o), c.geometry) << line;
  }
}

// --wayland takes every option but the window ones; --background only with it; on Wayland
// only a --delay given counts (the compositor paces the frames).
TEST(ModuleOptions, WaylandTakesNoWindowOption) {
  struct Case {
    std::vector<const char*> args;
    bool valid, wayland = false, background = false, delayGiven = false, savePower = true;
  };
  const Case cases[] = {
      {{"--wayland"}, true, true, false, false},
      {{"-background", "--wayland", "--delay=0"}, true, true, true, true},
      {{"--wayland", "--no-save-power"}, true, true, false, false, false},
      {{"--no-save-power", "--save-power"}, true, false, false, false, true},
      {{"--wayland", "--no-mirrors", "--fps", "--speed", "50", "--seed", "3", "--max-fps", "30", "--props", "p"},
       true, true, false, false},
      {{"--background"}, false},
      {{"--wayland", "--root"}, false},
      {{"--window-id", "5", "--wayland"}, false},
      {{"--geometry", "10x10", "--wayland", "--background"}, false},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const char* a : c.args) line += std::string(a) + " ";
    const ModuleOptions o = parseModuleOptions(int(c.args.size()), c.args.data());
    EXPECT_EQ(o.action, c.valid ? ModuleAction::Run : ModuleAction::Error) << line << o.error;
    if (!c.valid) continue;
    EXPECT_EQ(o.wayland, c.wayland) << line;
    EXPECT_EQ(o.background, c.background) << line;
    EXPECT_EQ(o.delayGiven, c.delayGiven) << line;
    EXPECT_EQ(o.savePower, c.savePower) << line;
  }
}

// --speed takes a percentage from 25 to 200 and --max-fps a rate from 0 to 1000; -1 stands
// for a refused value.
TEST(ModuleOptions, SpeedAndMaxFpsAreInTheirRanges) {
  struct Case {
    std::vector<const char*> args;
    int32_t speed, maxFps;
  };
  const Case cases[] = {{{}, 100, 0},
                        {{"--speed", "25"}, 25, 0},
                        {{"-speed=200"}, 200, 0},
                        {{"--speed", "50", "--max-fps", "30"}, 50, 30},
                        {{"--speed", "24"}, -1, 0},
                        {{"--speed=201"}, -1, 0},
                        {{"--speed", "x"}, -1, 0},
                        {{"--speed"}, -1, 0},
                        {{"--max-fps=0"}, 100, 0},
                        {{"--max-fps", "1000"}, 100, 1000},
                        {{"--max-fps", "1001"}, 100, -1},
                        {{"--max-fps", "-5"}, 100, -1}};
  for (const Case& c : cases) {
    const ModuleOptions o = parseModuleOptions(int(c.args.size()), c.args.data());
    const bool refused = c.speed < 0 || c.maxFps < 0;
    EXPECT_EQ(o.action, refused ? ModuleAction::Error : ModuleAction::Run) << c.speed << " " << c.maxFps;
    if (!refused) {
      EXPECT_EQ(o.speedPercent, c.speed);
      EXPECT_EQ(o.maxFps, c.maxFps);
    }
  }
}

TEST(ModuleOptions, WindowIdsInDecimalOrHexadecimal) {
  struct Case {
    const char* text;
    bool valid;
    uint32_t id;
  };
  const Case cases[] = {
      {"0x2a00007", true, 0x2a00007}, {"0X2A00007", true, 0x2a00007}, {"44040199", true, 44040199},
      {" 0x10\n", true, 16},          {"010", true, 10},                {"0xffffffff", true, 0xffffffffu},
      {"4294967295", true, 4294967295u},
      {"", false, 0},                 {"0", false, 0},                  {"0x", false, 0},
      {"0x0", false, 0},              {"4294967296", false, 0},         {"0x100000000", false, 0},
      {"0x2a00007z", false, 0},       {"-5", false, 0},                 {"+5", false, 0},
      {"5 6", false, 0},              {"0x 5", false, 0},               {nullptr, false, 0},
  };
  for (const Case& c : cases) {
    uint32_t id = 77;
    EXPECT_EQ(parseWindowId(c.text, &id), c.valid) << (c.text ? c.text : "(null)");
    EXPECT_EQ(id, c.valid ? c.id : 77u) << (c.text ? c.text : "(null)");
  }
}

// Processes started in one second (one per monitor) each draw their own picture: their seeds
// differ, and so do the first draws of the scene's set-up (the first mirror set among seven);
// a process of another second differs too; --seed fixes the seed whatever the rest.
TEST(ModuleSeed, EachProcessOfOneSecondStartsItsOwnSequence) {
  ModuleOptions options;
  const uint32_t second = 1700000000u;
  std::set<uint32_t> seeds, firstSets;
  for (uint32_t pid = 4000; pid < 4064; ++pid) {
    const uint32_t seed = moduleSeed(options, second, pid);
    seeds.insert(seed);
    EXPECT_EQ(seed, moduleSeed(options, second, pid));
    EXPECT_NE(seed, moduleSeed(options, second + 1, pid)) << pid;
    orvane::srand(seed);
    firstSets.insert(static_cast<uint32_t>(orvane::randomFraction() * 7));
  }
  EXPECT_EQ(seeds.size(), 64u);
  // Neighbouring pids do not start on neighbouring states, whose first draws would be nearly equal.
  EXPECT_GE(firstSets.size(), 6u);

  options.seedGiven = true;
  for (uint32_t fixed : {0u, 7u, 0xFFFFFFFFu}) {
    options.seed = fixed;
    EXPECT_EQ(moduleSeed(options, second, 4000), fixed);
    EXPECT_EQ(moduleSeed(options, second + 99, 1), fixed);
  }
}

TEST(PropPlaces, InTheOrderTheyAreTried) {
  const std::string wine = "/h/.wine/drive_c/Program Files";
  const std::string prefix = "/p/drive_c/Program Files";
  struct Case {
    PropPlaceInputs in;
    std::vector<std::string> places;
  };
  const Case cases[] = {
      {{"", "/h", "", "/usr/share/orvane/props.prp"},
       {"/h/.local/share/orvane/props.prp", wine + "/TheKorrin/korrin.prp", wine + "/Sabrel/TheKorrin/korrin.prp",
        wine + " (x86)/TheKorrin/korrin.prp", wine + " (x86)/Sabrel/TheKorrin/korrin.prp",
        "/usr/share/orvane/props.prp"}},
      {{"/x/data/", "/h/", "/p", "/s.prp"},
       {"/x/data/orvane/props.prp", prefix + "/TheKorrin/korrin.prp", prefix + "/Sabrel/TheKorrin/korrin.prp",
        prefix + " (x86)/TheKorrin/korrin.prp", prefix + " (x86)/Sabrel/TheKorrin/korrin.prp", "/s.prp"}},
      // A relative data folder is ignored; without a home only the absolute places remain.
      {{"rel/data", "/h", "/p/", ""},
       {"/h/.local/share/orvane/props.prp", prefix + "/TheKorrin/korrin.prp", prefix + "/Sabrel/TheKorrin/korrin.prp",
        prefix + " (x86)/TheKorrin/korrin.prp", prefix + " (x86)/Sabrel/TheKorrin/korrin.prp"}},
      {{"", "", "", "/s.prp"}, {"/s.prp"}},
      {{"", "rel/home", "", "/s.prp"}, {"/s.prp"}},  // a relative home folder is none
      {{"/", "/", "", ""},
       {"/orvane/props.prp", "/.wine/drive_c/Program Files/TheKorrin/korrin.prp",
        "/.wine/drive_c/Program Files/Sabrel/TheKorrin/korrin.prp",
        "/.wine/drive_c/Program Files (x86)/TheKorrin/korrin.prp",
        "/.wine/drive_c/Program Files (x86)/Sabrel/TheKorrin/korrin.prp"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(linuxPropPlaces(c.in), c.places) << c.in.xdgDataHome << " | " << c.in.home << " | " << c.in.winePrefix;
  }
}

// Every place holds a prop file, each with a different number of props; taking them away
// from the front, the atlas comes from each place in turn.
TEST(PropPlaces, EachPlaceInTurnIsTheOneUsed) {
  const std::string dir = proptest::makeTempDir();
  PropPlaceInputs in;
  in.home = dir + "/home";
  in.samples = dir + "/usr/share/orvane/props.prp";
  const std::vector<std::string> places = linuxPropPlaces(in);
  ASSERT_EQ(places.size(), 6u);
  for (size_t k = 0; k < places.size(); ++k) {
    std::vector<ResEntry> props;
    for (size_t n = 0; n <= k; ++n) props.push_back(proptest::propEntry(600 + uint32_t(n), proptest::rowProp({1})));
    std::filesystem::create_directories(std::filesystem::path(places[k]).parent_path());
    ASSERT_TRUE(proptest::writeFile(places[k], ResBuildFile(props)));
  }
  std::vector<uint8_t> buffer(kPropAtlasBytes);
  setPropFileCandidates(places);
  for (size_t k = 0; k < places.size(); ++k) {
    EXPECT_EQ(buildPropAtlasPixels(buffer.data()), int32_t(k + 1)) << places[k];
    std::filesystem::remove(places[k]);
  }
  EXPECT_EQ(buildPropAtlasPixels(buffer.data()), 0);
  setPropFilePaths(nullptr, nullptr);
}

// An output's surface through its life: configures (repeated, resized, empty), frames and
// their callbacks, the compositor's close. Each step: the event, then what the host sees.
TEST(OutputFrames, DrawsOnlyWhenConfiguredAndTheCompositorAsks) {
  enum Event { Configure, Scale, Drawn, Callback, Close };
  struct Step {
    Event event;
    int32_t width, height;  // for Scale: the output's scale and the fractional one
    SceneChange change;  // what a configure asks of the scene
    bool ready;
    int32_t sizeW, sizeH;
  };
  const SceneChange none = SceneChange::None;
  const Step steps[] = {
      {Configure, 0, 0, none, false, 0, 0},  // no size yet: nothing to draw at
      {Configure, 640, 360, SceneChange::SetUp, true, 640, 360},
      {Configure, 640, 360, none, true, 640, 360},  // the compositor repeats itself
      {Drawn, 0, 0, none, false, 640, 360},
      {Configure, 640, 360, none, false, 640, 360},  // a configure is no callback
      {Callback, 0, 0, none, true, 640, 360},
      {Drawn, 0, 0, none, false, 640, 360},
      {Configure, 800, 600, SceneChange::Reshape, true, 800, 600},  // a new size is drawn at once
      {Drawn, 0, 0, none, false, 800, 600},
      {Callback, 0, 0, none, true, 800, 600},
      {Drawn, 0, 0, none, false, 800, 600},
      {Scale, 2, 0, SceneChange::Reshape, true, 1600, 1200},  // the output's physical pixels
      {Drawn, 0, 0, none, false, 1600, 1200},
      {Scale, 2, 0, none, false, 1600, 1200},
      {Scale, 2, 180, SceneChange::Reshape, true, 1200, 900},  // the fractional scale wins
      {Configure, 400, 300, SceneChange::Reshape, true, 600, 450},
      {Scale, 1, 0, SceneChange::Reshape, true, 400, 300},
      {Configure, 800, 600, SceneChange::Reshape, true, 800, 600},
      {Close, 0, 0, none, false, 800, 600},
      {Configure, 1024, 768, SceneChange::Reshape, false, 1024, 768},
  };
  OutputFrames frames;
  for (size_t n = 0; n < sizeof steps / sizeof steps[0]; ++n) {
    const Step& s = steps[n];
    SceneChange change = none;
    switch (s.event) {
      case Configure: change = frames.configure(s.width, s.height); break;
      case Scale: change = frames.setScale(s.width, s.height); break;
      case Drawn: frames.frameDrawn(); break;
      case Callback: frames.callbackCame(); break;
      case Close: frames.close(); break;
    }
    EXPECT_EQ(change, s.change) << "step " << n;
    EXPECT_EQ(frames.ready(), s.ready) << "step " << n;
    EXPECT_EQ(frames.width(), s.sizeW) << "step " << n;
    EXPECT_EQ(frames.height(), s.sizeH) << "step " << n;
  }
}

// The buffer has the output's physical pixels: the logical size times the integer scale, or
// rounded from the fractional one (120ths) with a viewport; no side beyond the cap.
TEST(BufferSize, PhysicalPixelsAtEveryScale) {
  struct Case {
    int32_t logicalW, logicalH, scale, scale120;
    int32_t width, height, bufferScale;
    bool viewport;
  };
  const Case cases[] = {
      {800, 600, 1, 0, 800, 600, 1, false},
      {800, 600, 2, 0, 1600, 1200, 2, false},
      {1280, 720, 1, 180, 1920, 1080, 1, true},
      {1366, 768, 1, 150, 1708, 960, 1, true},  // 1707.5 rounds up
      {683, 384, 2, 150, 854, 480, 1, true},    // 853.75; the integer scale is no longer used
      {1, 1, 1, 1, 1, 1, 1, true},              // never below one pixel
      {20000, 10, 4, 0, 20000, 10, 1, false},   // the cap holds the scale down
      {20000, 10, 1, 240, 32667, 16, 1, true},
  };
  for (const Case& c : cases) {
    const BufferSize b = bufferSizeFor(c.logicalW, c.logicalH, c.scale, c.scale120);
    const std::string what = std::to_string(c.logicalW) + "x" + std::to_string(c.logicalH) + " at " +
                             std::to_string(c.scale) + "/" + std::to_string(c.scale120);
    EXPECT_EQ(b.width, c.width) << what;
    EXPECT_EQ(b.height, c.height) << what;
    EXPECT_EQ(b.bufferScale, c.bufferScale) << what;
    EXPECT_EQ(b.viewport, c.viewport) << what;
  }
}

// A closed surface may be made again a second after its close; each surface closed again
// soon after it was made doubles the wait, up to 64 s; one that lasted 30 s starts over.
TEST(SurfaceRetry, BacksOffWhileTheCompositorKeepsClosing) {
  const int64_t s = 1000000;
  SurfaceRetry retry;
  EXPECT_TRUE(retry.mayMake(0));
  int64_t now = 10 * s;
  retry.made(now);
  const int64_t waits[] = {1, 2, 4, 8, 16, 32, 64, 64};
  for (int64_t wait : waits) {
    now += s / 10;  // closed a tenth of a second after it was made
    retry.closed(now);
    EXPECT_FALSE(retry.mayMake(now + wait * s - 1)) << wait;
    EXPECT_TRUE(retry.mayMake(now + wait * s)) << wait;
    now = retry.earliest();
    retry.made(now);
  }
  retry.closed(now + 30 * s);
  EXPECT_EQ(retry.earliest(), now + 31 * s);
}

// On battery: no mains or USB supply online and a battery discharging; what cannot be read
// or says anything else is the mains. Each case is a power-supply class of its own.
TEST(PowerState, BatteryOnlyWhenDischargingWithNoSupplyOnline) {
  struct Supply {
    const char* name;
    const char* type;
    const char* online;  // nullptr: no such file
    const char* status;
  };
  struct Case {
    std::vector<Supply> supplies;
    bool battery;
  };
  const std::string huge(1 << 20, 'M');
  const Case cases[] = {
      {{}, false},
      {{{"BAT0", "Battery\n", nullptr, "Discharging\n"}}, true},
      {{{"BAT0", "Battery\n", nullptr, "Discharging\n"}, {"AC", "Mains\n", "1\n", nullptr}}, false},
      {{{"BAT0", "Battery\n", nullptr, "Discharging\n"}, {"AC", "Mains\n", "0\n", nullptr}}, true},
      {{{"BAT0", "Battery\n", nullptr, "Discharging\n"}, {"usb", "USB\n", "1\n", nullptr}}, false},
      {{{"BAT0", "Battery\n", nullptr, "Discharging\n"}, {"ucsi", "USB_C\n", "1\n", nullptr}}, false},
      {{{"BAT0", "Battery\n", nullptr, "Charging\n"}, {"AC", "Mains\n", "0\n", nullptr}}, false},
      {{{"BAT0", "Battery\n", nullptr, "Full\n"}, {"BAT1", "Battery\n", nullptr, "Discharging\n"}}, true},
      {{{"BAT0", "Battery\n", nullptr, "Discharging\n"}, {"junk", huge.c_str(), huge.c_str(), huge.c_str()}}, true},
      {{{"hid", "Battery\n", nullptr, ""}, {"AC", "", "1\n", nullptr}}, false},
  };
  for (size_t n = 0; n < sizeof cases / sizeof cases[0]; ++n) {
    const std::string dir = proptest::makeTempDir();
    for (const Supply& supply : cases[n].supplies) {
      const std::string folder = dir + "/" + supply.name;
      std::filesystem::create_directory(folder);
      const std::pair<const char*, const char*> files[] = {
          {"type", supply.type}, {"online", supply.online}, {"status", supply.status}};
      for (const auto& file : files) {
        if (file.second != nullptr) std::ofstream(folder + "/" + file.first) << file.second;
      }
    }
    EXPECT_EQ(onBatteryPower(dir), cases[n].battery) << "case " << n;
  }
  EXPECT_FALSE(onBatteryPower("/nonexistent/power_supply"));
}

// The pointer's first place on the saver's surfaces is the start; 50 pixels in x or y from
// it is still in, 51 ends; another output's surface ends at once.
TEST(PointerWatch, EndsBeyondTheThresholdOrOnAnotherOutput) {
  struct Move {
    bool enter;
    uintptr_t surface;
    double x, y;
    bool ends;
  };
  const std::vector<std::vector<Move>> runs = {
      {{false, 0, 900, 900, false}, {true, 1, 100.5, 100, false}, {false, 0, 150.9, 50, false},
       {false, 0, 100, 151, true}},
      {{true, 1, 10, 10, false}, {false, 0, -40.5, 10, true}},  // 51 to the left once whole
      {{true, 1, 10, 10, false}, {true, 1, 60, 60, false}, {true, 2, 10, 10, true}},
      {{true, 1, 0, 0, false}, {false, 0, 1e300, 0, true}},
  };
  for (size_t r = 0; r < runs.size(); ++r) {
    PointerWatch watch;
    for (size_t m = 0; m < runs[r].size(); ++m) {
      const Move& move = runs[r][m];
      EXPECT_EQ(move.enter ? watch.enter(move.surface, move.x, move.y) : watch.motion(move.x, move.y), move.ends)
          << "run " << r << " move " << m;
    }
  }
}

TEST(FrameMeter, ReportsOnceASecondWithoutTheFirstFrame) {
  FrameMeter meter;
  char line[128] = "";
  // The first frame took a second of set-up; then 50 frames at 20 ms, 4 ms of CPU each.
  EXPECT_FALSE(meter.frame(10.0, 1.0, line, sizeof line));
  int reports = 0;
  for (int i = 1; i <= 100; ++i) {
    if (meter.frame(10.0 + 0.02 * i, 1.0 + 0.004 * i, line, sizeof line)) {
      ++reports;
      EXPECT_STREQ(line, "orvane: 50.0 frames/s, 4.00 ms CPU per frame");
    }
  }
  EXPECT_EQ(reports, 2);
}

}  // namespace
