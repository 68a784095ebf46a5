#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "common/random.h"
#include "pictures/picture_read.h"
#include "props/prop_atlas.h"
#include "props/prop_image.h"
#include "proptool/commands.h"
#include "proptool/png_writer.h"
#include "proptool/sample_props.h"
#include "support/prop_files.h"
#include "support/proptool_run.h"

namespace {

using proptest::lines;
using proptest::proptoolRun;
using proptest::readBytes;
using proptest::ToolRun;

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

TEST(SampleProps, DeterministicDistinctAndVaried) {
  const auto a = proptool::makeSampleProps(200);
  const auto b = proptool::makeSampleProps(200);
  ASSERT_EQ(a.size(), 200u);
  std::set<std::vector<uint8_t>> data;
  std::set<uint32_t> ids;
  int low = 0, translucent = 0, bigEndian = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].data, b[i].data) << i;
    data.insert(a[i].data);
    ids.insert(a[i].id);
    low += a[i].id < kPropInvertedIdLimit;
    translucent += (a[i].data[10] & 4) != 0;
    const int16_t heightLE = int16_t(a[i].data[2] | (a[i].data[3] << 8));
    bigEndian += heightLE < 1 || heightLE > 64;
    const PropSize size = propImageSize(a[i].data.data(), uint32_t(a[i].data.size()));
    EXPECT_TRUE(size.width >= 1 && size.width <= 44 && size.height >= 1 && size.height <= 44) << i;
    EXPECT_TRUE(a[i].hasName && !a[i].name.empty() && a[i].name.size() <= 31) << i;
  }
  EXPECT_EQ(data.size(), a.size()) << "every prop differs";
  EXPECT_EQ(ids.size(), a.size()) << "every id differs";
  EXPECT_GT(low, 0);
  EXPECT_LT(low, 40);
  EXPECT_GT(translucent, 0);
  EXPECT_GT(bigEndian, 0);
}

class ProptoolTest : public ::testing::Test {
 protected:
  void SetUp() override { dir = proptest::makeTempDir(); }
  std::string path(const std::string& name) const { return dir + "/" + name; }
  // Writes an RGBA PNG of the given pixels.
  std::string png(const std::string& name, int32_t w, int32_t h, const std::vector<uint8_t>& rgba) {
    std::string error;
    EXPECT_TRUE(proptool::writePng(path(name), w, h, rgba.data(), &error)) << error;
    return path(name);
  }
  std::string dir;
};

TEST_F(ProptoolTest, SampleThenListRoundTrip) {
  ToolRun made = proptoolRun({"sample", path("s.prp"), "--count", "40"});
  ASSERT_EQ(made.code, 0) << made.err;
  ToolRun listed = proptoolRun({"list", path("s.prp")});
  ASSERT_EQ(listed.code, 0) << listed.err;
  const auto entries = proptool::makeSampleProps(40);
  const auto rows = lines(listed.out);
  ASSERT_EQ(rows.size(), 41u);
  for (size_t i = 0; i < entries.size(); ++i) {
    const PropSize size = propImageSize(entries[i].data.data(), uint32_t(entries[i].data.size()));
    EXPECT_EQ(rows[i], std::to_string(i) + " " + std::to_string(entries[i].id) + " " + std::to_string(size.width) +
                           "x" + std::to_string(size.height) + " " + entries[i].name);
  }
  EXPECT_EQ(rows.back(), "40 props");
  EXPECT_EQ(readBytes(path("s.prp")), ResBuildFile(entries));
  EXPECT_EQ(proptoolRun({"sample", path("d.prp")}).code, 0);
  EXPECT_EQ(lines(proptoolRun({"list", path("d.prp")}).out).back(), "64 props");
}

// --no-scale: pixel for pixel, each colour to its nearest palette colour.
TEST_F(ProptoolTest, BuildUnscaledFromPngsThenListAndExtract) {
  // Exact palette colours, a near colour, and alpha on both sides of 128.
  const std::vector<uint8_t> small = {
      0xCC, 0xFF, 0xFF, 0xFF, /**/ 0x00, 0x00, 0xFF, 0x80, /**/ 0x12, 0x34, 0x56, 0x7F,
      0xFE, 0x01, 0x02, 0xFF, /**/ 0x10, 0x20, 0x30, 0x00, /**/ 0x70, 0x70, 0x70, 0xC0,
  };
  std::vector<uint8_t> wide(100 * 3 * 4, 0);  // sparse dots across 100 columns
  for (int i = 0; i < 100 * 3; i += 7) {
    wide[size_t(i) * 4] = 0xFF;
    wide[size_t(i) * 4 + 3] = 0xFF;
  }
  const std::string longName(40, 'n');
  const std::string a = png("alpha.png", 3, 2, small);
  const std::string b = png(longName + ".png", 100, 3, wide);
  ToolRun built = proptoolRun({"build", path("b.prp"), "--no-scale", a, b});
  ASSERT_EQ(built.code, 0) << built.err;
  EXPECT_NE(built.err.find("warning"), std::string::npos) << "100 columns are wider than a cell";
  EXPECT_EQ(lines(built.err).size(), 1u);

  ToolRun listed = proptoolRun({"list", path("b.prp")});
  ASSERT_EQ(listed.code, 0);
  EXPECT_EQ(lines(listed.out),
            (std::vector<std::string>{"0 516 3x2 alpha", "1 517 100x3 " + longName.substr(0, 31), "2 props"}));

  ToolRun extracted = proptoolRun({"extract", path("b.prp"), path("out")});
  ASSERT_EQ(extracted.code, 0) << extracted.err;
  pictures::RgbaImage back;
  pictures::PictureProblem problem;
  ASSERT_TRUE(pictures::readPicture(path("out/516.png"), &back, &problem));
  ASSERT_EQ(back.width, 3);
  ASSERT_EQ(back.height, 2);
  const std::vector<uint8_t> expected = {
      0xCC, 0xFF, 0xFF, 0xFF, /**/ 0x00, 0x00, 0xFF, 0xFF, /**/ 0, 0, 0, 0,
      0xFF, 0x00, 0x00, 0xFF, /**/ 0, 0, 0, 0,             /**/ 0x70, 0x70, 0x70, 0xFF,
  };
  EXPECT_EQ(back.pixels, expected);
  ASSERT_TRUE(pictures::readPicture(path("out/517.png"), &back, &problem));
  for (size_t i = 0; i < 300; ++i) EXPECT_EQ(back.pixels[i * 4 + 3], i % 7 == 0 ? 255 : 0) << i;

  ToolRun low = proptoolRun({"build", path("low.prp"), "--first-id", "7", a});
  ASSERT_EQ(low.code, 0);
  EXPECT_EQ(lines(proptoolRun({"list", path("low.prp")}).out)[0], "0 7 3x2 alpha");
}

TEST_F(ProptoolTest, BuildUnscaledRefusesTallPictures) {
  const std::string tall = png("tall.png", 2, 65, std::vector<uint8_t>(2 * 65 * 4, 0xFF));
  ToolRun refused = proptoolRun({"build", path("t.prp"), tall, "--no-scale"});
  EXPECT_EQ(refused.code, 1);
  EXPECT_NE(refused.err.find("64 rows"), std::string::npos) << refused.err;
  EXPECT_FALSE(exists(path("t.prp")));
  ToolRun scaled = proptoolRun({"build", path("t.prp"), tall});
  EXPECT_EQ(scaled.code, 0) << scaled.err;
  EXPECT_EQ(lines(proptoolRun({"list", path("t.prp")}).out)[0], "0 516 1x44 tall");
}

TEST_F(ProptoolTest, AtlasWritesTheBuiltPixelsExactly) {
  ASSERT_EQ(proptoolRun({"sample", path("s.prp"), "--count", "30"}).code, 0);
  ToolRun atlas = proptoolRun({"atlas", path("s.prp"), path("atlas.png"), "--seed", "42"});
  ASSERT_EQ(atlas.code, 0) << atlas.err;
  EXPECT_EQ(atlas.out, "cellCount 30\n");
  pictures::RgbaImage image;
  pictures::PictureProblem problem;
  ASSERT_TRUE(pictures::readPicture(path("atlas.png"), &image, &problem));
  std::vector<uint8_t> expected(kPropAtlasBytes);
  setPropFilePaths(path("s.prp").c_str(), nullptr);
  orvane::srand(42);
  EXPECT_EQ(buildPropAtlasPixels(expected.data()), 30);
  setPropFilePaths(nullptr, nullptr);
  EXPECT_TRUE(image.pixels == expected);
  EXPECT_EQ(propFileCandidates().at(0), kPropFirstPath) << "the setting is restored";
}

TEST_F(ProptoolTest, BadArgumentsAreUsageErrors) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate"},
      {"sample"},
      {"sample", "a.prp", "--count", "0"},
      {"sample", "a.prp", "--count", "12x"},
      {"sample", "a.prp", "--count"},
      {"sample", "a.prp", "--colour", "red"},
      {"build", "a.prp"},
      {"build", "a.prp", "x.png", "--first-id", "-1"},
      {"build", "a.prp", "x.png", "y.png", "--first-id", "4294967295"},
      {"list"},
      {"list", "a.prp", "b.prp"},
      {"extract", "a.prp"},
      {"atlas", "a.prp"},
      {"atlas", "a.prp", "o.png", "--seed", "4294967296"},
  };
  for (const auto& args : cases) {
    ToolRun r = proptoolRun(args);
    EXPECT_EQ(r.code, 2) << (args.empty() ? "" : args[0]);
    EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_NE(r.err.find("usage"), std::string::npos);
  }
  ToolRun help = proptoolRun({"--help"});
  EXPECT_EQ(help.code, 0);
  for (const char* command : {"PICTURE...", "build", "sample", "list", "extract", "atlas", "--no-scale", "529"})
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
}

// Every truncation of a real file, damaged maps and garbage: exit 0 with clean output or
// exit 1 with one line of error, never a crash.
TEST_F(ProptoolTest, HostileFilesGiveCleanResults) {
  ASSERT_EQ(proptoolRun({"sample", path("s.prp"), "--count", "5"}).code, 0);
  const std::vector<uint8_t> good = readBytes(path("s.prp"));
  std::vector<std::vector<uint8_t>> files;
  for (size_t length = 0; length < good.size(); length += 1 + length / 8)
    files.emplace_back(good.begin(), good.begin() + length);
  orvane::srand(3);
  for (int i = 0; i < 40; ++i) {  // single bytes of the map and header damaged
    std::vector<uint8_t> damaged = good;
    const size_t at = i < 16 ? size_t(i) : good.size() - 1 - size_t(orvane::rand()) % 300;
    damaged[at] = uint8_t(orvane::rand());
    files.push_back(damaged);
  }
  files.push_back(std::vector<uint8_t>(5000, 0xFF));
  for (size_t i = 0; i < files.size(); ++i) {
    ASSERT_TRUE(proptest::writeFile(path("h.prp"), files[i]));
    for (const std::string command : {"list", "extract", "atlas"}) {
      std::vector<std::string> args = {command, path("h.prp")};
      if (command == "extract") args.push_back(path("hx"));
      if (command == "atlas") args.insert(args.end(), {path("h.png"), "--seed", "1"});
      ToolRun r = proptoolRun(args);
      EXPECT_TRUE(r.code == 0 || r.code == 1) << command << " file " << i;
      if (r.code == 1) {
        EXPECT_EQ(lines(r.err).size(), 1u) << command << " file " << i << ": " << r.err;
      } else if (command == "list") {
        EXPECT_NE(r.out.rfind(" props\n"), std::string::npos);
      }
    }
  }
  for (const std::string& file : {path("missing.prp"), dir}) {
    EXPECT_EQ(proptoolRun({"list", file}).code, 1) << file;
    EXPECT_EQ(proptoolRun({"extract", file, path("x")}).code, 1) << file;
    EXPECT_EQ(proptoolRun({"atlas", file, path("o.png")}).code, 1) << file;
  }
  EXPECT_EQ(ResCurrentFile(), 0) << "every file was closed";
}

}  // namespace
