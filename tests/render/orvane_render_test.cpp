// orvane-render as a user runs it: arguments, frames on disk, statistics, reproducibility.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "render_fixture.h"
#include "support/prop_files.h"

namespace {

struct ToolRun {
  int exitCode = -1;
  std::string out;
};

ToolRun run(const std::string& arguments) {
  ToolRun r;
  const std::string command = std::string(ORVANE_RENDER_PATH) + " " + arguments + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return r;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) r.out.append(buffer, n);
  const int status = pclose(pipe);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// The value after "key": in a one-line JSON object.
std::string field(const std::string& line, const std::string& key) {
  const std::string tag = "\"" + key + "\":";
  const size_t at = line.find(tag);
  if (at == std::string::npos) return "";
  const size_t start = at + tag.size();
  const size_t end = line.find_first_of(",}", start);
  return line.substr(start, end - start);
}

bool readPng(const std::string& path, int32_t* width, int32_t* height, std::vector<uint8_t>* rgba) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGBA;
  rgba->resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgba->data(), 0, nullptr)) return false;
  *width = static_cast<int32_t>(image.width);
  *height = static_cast<int32_t>(image.height);
  return true;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(OrvaneRender, BadArgumentsAreAUsageError) {
  const char* bad[] = {"--size 0x10",  "--size 64",      "--size 64x",   "--frames -1", "--frames x",
                       "--fps 0",      "--fps abc",      "--seed -3",    "--seed 1x",   "--bogus",
                       "--props",      "--out",          "extra",        "--start-time", "--start-time -1",
                       "--start-time 1e10", "--start-time 5s"};
  for (const char* arguments : bad) {
    const ToolRun r = run(arguments);
    EXPECT_EQ(r.exitCode, 2) << arguments;
    EXPECT_EQ(r.out, "") << arguments;
  }
}

TEST(OrvaneRender, WritesFramesAndStatistics) {
  const std::string dir = proptest::makeTempDir();
  const std::string props = writeSamplePropFile(40);
  const std::string arguments = "--props " + props + " --size 80x60 --frames 25 --fps 4 --seed 9 --stats --out " + dir;
  const ToolRun first = run(arguments + "/a");
  ASSERT_EQ(first.exitCode, 0);
  const auto out = lines(first.out);
  ASSERT_EQ(out.size(), 26u);
  int checked = 0;
  for (int k = 0; k < 25; ++k) {
    SCOPED_TRACE(k);
    const std::string& line = out[k];
    EXPECT_EQ(field(line, "frame"), std::to_string(k));
    // Frame k at k / 4 seconds, in whole milliseconds.
    EXPECT_EQ(std::stof(field(line, "sceneTime")), static_cast<float>(k * 250 * static_cast<double>(0.001f)));
    const int copies = std::stoi(field(line, "copyCount"));
    EXPECT_GE(copies, 10);
    EXPECT_LE(copies, 23);
    EXPECT_GT(std::stof(field(line, "wedgeAngle")), 16.0f);
    EXPECT_FALSE(field(line, "frame_ms").empty());
    char name[32];
    std::snprintf(name, sizeof name, "/a/frame-%04d.png", k);
    int32_t w = 0, h = 0;
    std::vector<uint8_t> rgba;
    ASSERT_TRUE(readPng(dir + name, &w, &h, &rgba));
    EXPECT_EQ(w, 80);
    EXPECT_EQ(h, 60);
    if (field(line, "easing") == "false" && copies % 2 == 0) {
      ++checked;
      EXPECT_LT(asymmetry(rgba, w, h, 40), 0.01);
    }
    if (k > 4) {
      EXPECT_GT(litPixels(rgba), 80 * 60 / 100);
    }
  }
  EXPECT_GT(checked, 5);
  const std::string& last = out.back();
  for (const char* key : {"setup_ms", "atlas_ms", "median_frame_ms", "peak_rss_kb"}) EXPECT_NE(field(last, key), "") << key;
  EXPECT_EQ(field(last, "frames"), "25");

  // The same seed gives the same frames.
  ASSERT_EQ(run(arguments + "/b").exitCode, 0);
  for (int k : {0, 12, 24}) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%04d.png", k);
    EXPECT_EQ(slurp(dir + "/a" + name), slurp(dir + "/b" + name)) << k;
  }
}

TEST(OrvaneRender, MissingOrCorruptPropFileStillRenders) {
  const std::string dir = proptest::makeTempDir();
  {
    std::ofstream junk(dir + "/junk.prp", std::ios::binary);
    junk << "this is no resource file at all, just some bytes";
  }
  for (const std::string& props : {dir + "/absent.prp", dir + "/junk.prp"}) {
    SCOPED_TRACE(props);
    const ToolRun r = run("--props " + props + " --size 48x36 --frames 2 --no-mirrors --seed 1 --out " + dir + "/f");
    ASSERT_EQ(r.exitCode, 0);
    int32_t w = 0, h = 0;
    std::vector<uint8_t> rgba;
    ASSERT_TRUE(readPng(dir + "/f/frame-0001.png", &w, &h, &rgba));
    // Only the scene's own red outline shows.
    EXPECT_GT(redPixels(rgba), 10);
    EXPECT_EQ(litPixels(rgba), redPixels(rgba));
  }
}

// Half a year after the clock started, frames at 100 per second are still 10 ms apart
// in scene time (a move of the clock's origin, if one falls in the run, takes whole
// 2^23 ms scaled like the clock).
TEST(OrvaneRender, StartTimeRunsTheClockFromLongBefore) {
  const ToolRun r = run("--size 16x16 --frames 100 --fps 100 --seed 4 --stats --start-time 17280000");
  ASSERT_EQ(r.exitCode, 0);
  const auto out = lines(r.out);
  ASSERT_EQ(out.size(), 101u);
  double before = std::stod(field(out[0], "sceneTime"));
  EXPECT_LE(before, 16384.0);
  for (int k = 1; k < 100; ++k) {
    const double now = std::stod(field(out[k], "sceneTime"));
    const double step = now - before < -1.0 ? now - before + 8388.6083984375 : now - before;
    EXPECT_NEAR(step, 0.010, 0.001) << k;
    before = now;
  }
}

}  // namespace
