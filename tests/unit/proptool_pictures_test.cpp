// proptool on pictures: scaling, palette mapping, the four formats, and the user's own prop
// file that dropped pictures are added to. Every picture is drawn here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include <pwd.h>
#include <unistd.h>

#include <stb/stb_image_write.h>

#include "props/prop_atlas.h"
#include "proptool/commands.h"
#include "proptool/file_access.h"
#include "proptool/picture_io.h"
#include "proptool/picture_to_prop.h"
#include "support/prop_files.h"
#include "support/proptool_run.h"
#include "support/resfile_builder.h"

namespace {

using proptool::RgbaImage;

using proptest::lines;
using proptest::proptoolRun;
using proptest::readBytes;
using proptest::ToolRun;

struct Rgba {
  uint8_t r, g, b, a;
};

RgbaImage draw(int32_t width, int32_t height, const std::function<Rgba(int32_t, int32_t)>& paint) {
  RgbaImage image;
  image.width = width;
  image.height = height;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const Rgba p = paint(x, y);
      image.pixels.insert(image.pixels.end(), {p.r, p.g, p.b, p.a});
    }
  return image;
}

void appendTo(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

std::vector<uint8_t> asPng(const RgbaImage& i) { return proptool::encodePng(i.width, i.height, i.pixels.data()); }
std::vector<uint8_t> asJpeg(const RgbaImage& i) {
  std::vector<uint8_t> out;
  stbi_write_jpg_to_func(appendTo, &out, i.width, i.height, 4, i.pixels.data(), 95);
  return out;
}
std::vector<uint8_t> asBmp(const RgbaImage& i) {
  std::vector<uint8_t> out;
  stbi_write_bmp_to_func(appendTo, &out, i.width, i.height, 4, i.pixels.data());
  return out;
}

// A GIF of frames of indices into a palette of at most four colours. Each pixel's code
// follows a clear code, so every code is 3 bits wide and no compression table is built.
std::vector<uint8_t> asGif(int32_t width, int32_t height, const std::vector<Rgba>& colours,
                           const std::vector<std::vector<uint8_t>>& frames) {
  std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a', uint8_t(width), uint8_t(width >> 8), uint8_t(height),
                              uint8_t(height >> 8), 0xF1, 0, 0};
  for (size_t i = 0; i < 4; ++i) {
    const Rgba c = i < colours.size() ? colours[i] : Rgba{0, 0, 0, 0};
    out.insert(out.end(), {c.r, c.g, c.b});
  }
  for (const auto& frame : frames) {
    out.insert(out.end(), {0x2C, 0, 0, 0, 0, uint8_t(width), uint8_t(width >> 8), uint8_t(height),
                           uint8_t(height >> 8), 0, 2});
    std::vector<uint8_t> packed;
    uint32_t bits = 0, count = 0;
    auto put = [&](uint32_t code) {
      bits |= code << count;
      count += 3;
      while (count >= 8) {
        packed.push_back(uint8_t(bits));
        bits >>= 8;
        count -= 8;
      }
    };
    for (uint8_t index : frame) {
      put(4);  // clear
      put(index);
    }
    put(5);  // end
    if (count) packed.push_back(uint8_t(bits));
    for (size_t at = 0; at < packed.size(); at += 255) {
      const size_t n = std::min<size_t>(255, packed.size() - at);
      out.push_back(uint8_t(n));
      out.insert(out.end(), packed.begin() + long(at), packed.begin() + long(at + n));
    }
    out.push_back(0);
  }
  out.push_back(0x3B);
  return out;
}

class PicturesTest : public ::testing::Test {
 protected:
  void SetUp() override { dir = proptest::makeTempDir(); }
  std::string path(const std::string& name) const { return dir + "/" + name; }
  std::string file(const std::string& name, const std::vector<uint8_t>& bytes) {
    EXPECT_TRUE(proptest::writeFile(path(name), bytes));
    return path(name);
  }
  // The props of a prop file as pictures, by id, through `extract`.
  std::map<uint32_t, RgbaImage> props(const std::string& prp) {
    const std::string out = proptest::makeTempDir();
    EXPECT_EQ(proptoolRun({"extract", prp, out}).code, 0);
    std::map<uint32_t, RgbaImage> result;
    for (const std::string& row : lines(proptoolRun({"list", prp}).out)) {
      std::istringstream fields(row);
      uint32_t index = 0, id = 0;
      if (!(fields >> index >> id)) continue;
      std::string error;
      EXPECT_TRUE(proptool::readPicture(out + "/" + std::to_string(id) + ".png", &result[id], &error)) << error;
    }
    return result;
  }
  std::string dir;
};

double linearOf(uint8_t v) { return proptool::srgbToLinear(v); }

TEST(PictureScaling, FitsTheCellKeepingItsShape) {
  struct Case {
    int32_t w, h, fw, fh;
  } cases[] = {{512, 256, 44, 22}, {256, 256, 44, 44}, {44, 44, 44, 44}, {30, 10, 30, 10}, {45, 44, 44, 43},
               {1000, 1, 44, 1},   {1, 1000, 1, 44},   {3000, 4000, 33, 44}, {2, 65, 1, 44}};
  for (const Case& c : cases) {
    const proptool::PictureSize s = proptool::fitToCell(c.w, c.h, 44);
    EXPECT_EQ(s.width, c.fw) << c.w << "x" << c.h;
    EXPECT_EQ(s.height, c.fh) << c.w << "x" << c.h;
  }
}

// Fine black and white stripes become an even grey of half the light (not the grey of half
// the sRGB value, not black or white as picking one pixel would); colour under transparent
// pixels does not bleed into the opaque ones beside them.
TEST(PictureScaling, AveragesAreasInLinearLightWeightedByAlpha) {
  const RgbaImage stripes = draw(512, 256, [](int32_t x, int32_t) {
    const uint8_t v = x % 2 ? 255 : 0;
    return Rgba{v, v, v, 255};
  });
  const proptool::LinearImage grey = proptool::scaleAreaAverage(stripes, 44, 22);
  ASSERT_EQ(grey.pixels.size(), 44u * 22 * 4);
  for (size_t i = 0; i < grey.pixels.size(); i += 4) {
    EXPECT_NEAR(grey.pixels[i], 0.5, 0.03) << i / 4;
    EXPECT_FLOAT_EQ(grey.pixels[i + 3], 1.0f);
  }
  // Opaque red on the left, transparent green on the right: the column on the border is
  // half covered and still pure red.
  const RgbaImage half = draw(88, 88, [](int32_t x, int32_t) {
    return x < 43 ? Rgba{255, 0, 0, 255} : Rgba{0, 255, 0, 0};
  });
  const proptool::LinearImage scaled = proptool::scaleAreaAverage(half, 44, 44);
  for (int32_t x : {0, 21}) {
    const float* px = &scaled.pixels[size_t(10 * 44 + x) * 4];
    EXPECT_FLOAT_EQ(px[0], 1.0f) << x;
    EXPECT_FLOAT_EQ(px[1], 0.0f) << x;
    EXPECT_NEAR(px[3], x == 21 ? 0.5 : 1.0, 1e-6) << x;
  }
  EXPECT_FLOAT_EQ(scaled.pixels[size_t(10 * 44 + 22) * 4 + 3], 0.0f);
}

// Through `build`: a large picture comes out scaled to the cell; a smooth ramp keeps its
// order of brightness and a flat colour that the palette lacks keeps its mean colour
// (error diffusion, where the nearest colour alone would be off); a hole stays a hole.
TEST_F(PicturesTest, BuildScalesDithersAndKeepsHoles) {
  const RgbaImage wide = draw(512, 256, [](int32_t x, int32_t y) { return Rgba{uint8_t(x / 2), uint8_t(y), 90, 255}; });
  const RgbaImage ramp = draw(440, 88, [](int32_t x, int32_t) {
    const uint8_t v = uint8_t(x * 255 / 439);
    return Rgba{v, v, v, 255};
  });
  const RgbaImage flat = draw(44, 44, [](int32_t, int32_t) { return Rgba{200, 120, 60, 255}; });
  const RgbaImage holed = draw(200, 200, [](int32_t x, int32_t y) {
    const bool inHole = (x - 100) * (x - 100) + (y - 100) * (y - 100) < 50 * 50;
    return Rgba{uint8_t(x), 150, uint8_t(y), uint8_t(inHole ? 0 : 255)};
  });
  // Small enough to stay unscaled: alpha 127 in the top row, 128 in the bottom one.
  const RgbaImage edge = draw(8, 2, [](int32_t, int32_t y) { return Rgba{9, 9, 9, uint8_t(127 + y)}; });
  ToolRun built = proptoolRun({"build", path("p.prp"), file("wide.png", asPng(wide)), file("ramp.png", asPng(ramp)),
                               file("flat.png", asPng(flat)), file("holed.png", asPng(holed)),
                               file("edge.png", asPng(edge))});
  ASSERT_EQ(built.code, 0) << built.err;
  EXPECT_EQ(built.err, "");
  EXPECT_EQ(lines(proptoolRun({"list", path("p.prp")}).out),
            (std::vector<std::string>{"0 516 44x22 wide", "1 517 44x9 ramp", "2 518 44x44 flat", "3 519 44x44 holed",
                                      "4 520 8x2 edge", "5 props"}));
  auto got = props(path("p.prp"));
  ASSERT_EQ(got.size(), 5u);
  for (size_t x = 0; x < 8; ++x) {
    EXPECT_EQ(got[520].pixels[x * 4 + 3], 0) << x;
    EXPECT_EQ(got[520].pixels[(8 + x) * 4 + 3], 255) << x;
  }

  const RgbaImage& r = got[517];
  double previous = -1;
  for (int32_t x = 0; x < 44; ++x) {
    double sum = 0;
    for (int32_t y = 0; y < 9; ++y) sum += linearOf(r.pixels[size_t(y * 44 + x) * 4]);
    const double mean = sum / 9, wanted = linearOf(uint8_t(((x * 10 + 5) * 255 / 439)));
    EXPECT_GE(mean, previous) << "column " << x;
    EXPECT_NEAR(mean, wanted, 0.05) << "column " << x;
    previous = mean;
  }

  const RgbaImage& f = got[518];
  std::set<uint32_t> colours;
  double mean[3] = {0, 0, 0};
  for (size_t i = 0; i < 44 * 44; ++i) {
    colours.insert(f.pixels[i * 4] | f.pixels[i * 4 + 1] << 8 | f.pixels[i * 4 + 2] << 16);
    for (int c = 0; c < 3; ++c) mean[c] += linearOf(f.pixels[i * 4 + size_t(c)]) / (44 * 44);
  }
  EXPECT_GT(colours.size(), 1u);
  EXPECT_NEAR(mean[0], linearOf(200), 0.01);
  EXPECT_NEAR(mean[1], linearOf(120), 0.01);
  EXPECT_NEAR(mean[2], linearOf(60), 0.01);

  const RgbaImage& h = got[519];
  auto alphaAt = [&](int32_t x, int32_t y) { return h.pixels[size_t(y * 44 + x) * 4 + 3]; };
  for (auto [x, y] : {std::pair{22, 22}, {15, 22}, {22, 29}}) EXPECT_EQ(alphaAt(x, y), 0) << x << "," << y;
  for (auto [x, y] : {std::pair{0, 0}, {43, 43}, {5, 22}, {22, 38}}) EXPECT_EQ(alphaAt(x, y), 255) << x << "," << y;
}

// PNG, JPEG, BMP and GIF (its first frame) each read once, to the same small picture.
TEST_F(PicturesTest, ReadsEveryFormat) {
  const std::vector<Rgba> colours = {{255, 0, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}, {0, 0, 0, 255}};
  // Four 8x8 blocks, so that the JPEG's blocks are flat.
  auto block = [](int32_t x, int32_t y) { return uint8_t((y / 8) * 2 + x / 8); };
  const RgbaImage picture = draw(16, 16, [&](int32_t x, int32_t y) { return colours[block(x, y)]; });
  std::vector<uint8_t> first, second;
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x) {
      first.push_back(block(x, y));
      second.push_back(3);
    }
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    int tolerance;
  } files[] = {{"png", asPng(picture), 0},
               {"jpeg", asJpeg(picture), 12},
               {"bmp", asBmp(picture), 0},
               {"gif", asGif(16, 16, colours, {first, second}), 0}};
  for (const auto& f : files) {
    RgbaImage read;
    std::string error;
    ASSERT_TRUE(proptool::decodePicture(f.name, f.bytes, &read, &error)) << f.name << ": " << error;
    ASSERT_EQ(read.width, 16) << f.name;
    ASSERT_EQ(read.height, 16) << f.name;
    int worst = 0;
    for (size_t i = 0; i < read.pixels.size(); ++i) worst = std::max(worst, std::abs(read.pixels[i] - picture.pixels[i]));
    EXPECT_LE(worst, f.tolerance) << f.name;
  }
}

// A JPEG comes the right way up whatever Exif orientation its camera wrote: a 3 x 2 grid of
// colours lands, turned or mirrored, where each of the eight orientations puts it.
TEST(PictureReading, JpegsAreTurnedAsTheirExifOrientationSays) {
  const std::vector<Rgba> grid = {{255, 0, 0, 255},   {0, 255, 0, 255}, {0, 0, 255, 255},
                                  {255, 255, 255, 255}, {0, 0, 0, 255}, {255, 255, 0, 255}};
  const std::vector<uint8_t> jpeg =
      asJpeg(draw(24, 16, [&](int32_t x, int32_t y) { return grid[size_t((y / 8) * 3 + x / 8)]; }));
  // Each orientation: the grid cells, row by row, as they must show.
  const struct {
    int orientation;
    int32_t columns, rows;
    std::vector<int> cells;
  } cases[] = {{1, 3, 2, {0, 1, 2, 3, 4, 5}}, {2, 3, 2, {2, 1, 0, 5, 4, 3}}, {3, 3, 2, {5, 4, 3, 2, 1, 0}},
               {4, 3, 2, {3, 4, 5, 0, 1, 2}}, {5, 2, 3, {0, 3, 1, 4, 2, 5}}, {6, 2, 3, {3, 0, 4, 1, 5, 2}},
               {7, 2, 3, {5, 2, 4, 1, 3, 0}}, {8, 2, 3, {2, 5, 1, 4, 0, 3}}, {9, 3, 2, {0, 1, 2, 3, 4, 5}}};
  for (const auto& c : cases) {
    for (bool bigEndian : {false, true}) {
      // An APP1 block right after the start of the image: Exif header, TIFF header, one
      // directory entry (tag 0x0112, type SHORT, count 1).
      const uint8_t o = uint8_t(c.orientation);
      std::vector<uint8_t> app1 = {0xFF, 0xE1, 0, 34, 'E', 'x', 'i', 'f', 0, 0};
      const std::vector<uint8_t> tiff =
          bigEndian ? std::vector<uint8_t>{'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, o, 0, 0, 0, 0, 0, 0}
                    : std::vector<uint8_t>{'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, o, 0, 0, 0, 0, 0, 0, 0};
      app1.insert(app1.end(), tiff.begin(), tiff.end());
      std::vector<uint8_t> bytes = jpeg;
      bytes.insert(bytes.begin() + 2, app1.begin(), app1.end());
      RgbaImage read;
      std::string error;
      ASSERT_TRUE(proptool::decodePicture("o.jpg", bytes, &read, &error)) << error;
      ASSERT_EQ(read.width, c.columns * 8) << c.orientation;
      ASSERT_EQ(read.height, c.rows * 8) << c.orientation;
      for (int32_t cell = 0; cell < c.columns * c.rows; ++cell) {
        const int32_t x = (cell % c.columns) * 8 + 4, y = (cell / c.columns) * 8 + 4;
        const uint8_t* px = &read.pixels[size_t(y * read.width + x) * 4];
        const Rgba want = grid[size_t(c.cells[size_t(cell)])];
        EXPECT_NEAR(px[0], want.r, 16) << "orientation " << c.orientation << " cell " << cell;
        EXPECT_NEAR(px[1], want.g, 16) << "orientation " << c.orientation << " cell " << cell;
        EXPECT_NEAR(px[2], want.b, 16) << "orientation " << c.orientation << " cell " << cell;
      }
    }
  }
}

// A picture that cannot be read costs one line and its own prop; the others are built and
// the exit code tells that something was left out. No damaged picture crashes the reader.
TEST_F(PicturesTest, BadPicturesAreReportedAndTheOthersBuilt) {
  const RgbaImage picture = draw(60, 50, [](int32_t x, int32_t y) {
    return Rgba{uint8_t(x * 4), uint8_t(y * 5), uint8_t(x ^ y), uint8_t(x < 5 ? 0 : 255)};
  });
  const std::vector<std::vector<uint8_t>> good = {asPng(picture), asJpeg(picture), asBmp(picture),
                                                  asGif(4, 2, {{1, 2, 3, 255}, {4, 5, 6, 255}}, {{0, 1, 1, 0, 1, 0, 0, 1}})};
  for (const auto& bytes : good) {
    for (size_t length = 0; length < bytes.size(); length += 1 + length / 16) {
      std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(length));
      RgbaImage read;
      std::string error;
      if (!proptool::decodePicture("cut", cut, &read, &error)) {
        EXPECT_EQ(lines(error).size(), 1u) << error;
      } else {
        EXPECT_EQ(read.pixels.size(), size_t(read.width) * size_t(read.height) * 4);
      }
    }
  }
  // A JPEG whose first Huffman table lists 512 codes (the image library would write past
  // its tables) is refused before the library reads it.
  std::vector<uint8_t> tables = good[1];
  const uint8_t dht[] = {0xFF, 0xC4};
  auto found = std::search(tables.begin(), tables.end(), std::begin(dht), std::end(dht));
  ASSERT_NE(found, tables.end());
  std::fill(found + 5, found + 21, uint8_t(0x20));
  RgbaImage refused;
  std::string why;
  EXPECT_FALSE(proptool::decodePicture("t.jpg", tables, &refused, &why));
  EXPECT_EQ(why, "t.jpg: damaged JPEG (a Huffman table with more than 256 codes)");

  // A PNG data chunk that claims 2 GB is refused before any memory is taken for it.
  std::vector<uint8_t> claims = good[0];
  const uint8_t idat[] = {'I', 'D', 'A', 'T'};
  const auto chunk = std::search(claims.begin(), claims.end(), std::begin(idat), std::end(idat)) - 4;
  chunk[0] = 0x7F, chunk[1] = 0xFF, chunk[2] = 0xFF, chunk[3] = 0xF0;  // its length, high byte first
  EXPECT_FALSE(proptool::decodePicture("c.png", claims, &refused, &why));
  EXPECT_EQ(why, "c.png: damaged PNG (a chunk runs past the end of the file)");

  std::vector<uint8_t> damaged = asPng(picture);
  damaged.resize(damaged.size() / 2);
  ToolRun built = proptoolRun({"build", path("b.prp"), file("a.png", good[0]), file("notes.txt", {'h', 'i', '\n'}),
                               path("missing.gif"), file("half.png", damaged), file("b.jpg", good[1]), dir});
  EXPECT_EQ(built.code, 1);
  EXPECT_EQ(built.out, "2 props written to " + path("b.prp") + " (4 pictures left out)\n");
  const auto errors = lines(built.err);
  ASSERT_EQ(errors.size(), 4u) << built.err;
  EXPECT_NE(errors[0].find("notes.txt: not a picture proptool reads"), std::string::npos) << errors[0];
  EXPECT_NE(errors[1].find("missing.gif"), std::string::npos) << errors[1];
  EXPECT_NE(errors[2].find("half.png: damaged PNG"), std::string::npos) << errors[2];
  EXPECT_NE(errors[3].find(dir), std::string::npos) << errors[3];
  EXPECT_EQ(lines(proptoolRun({"list", path("b.prp")}).out).back(), "2 props");
  ToolRun none = proptoolRun({"build", path("n.prp"), path("notes.txt")});
  EXPECT_EQ(none.code, 1);
  EXPECT_FALSE(std::filesystem::exists(path("n.prp"))) << "no prop file written without a prop";
}

// The user's own prop file: pictures alone as arguments are appended with ids after the
// highest one, up to 529 props; a file that cannot be kept whole is not touched.
class OwnPropFileTest : public PicturesTest {
 protected:
  void SetUp() override {
    PicturesTest::SetUp();
    const char* old = std::getenv("XDG_DATA_HOME");
    saved = old ? old : "";
    hadOld = old != nullptr;
    setenv("XDG_DATA_HOME", dir.c_str(), 1);
    own = dir + "/orvane/props.prp";
    a = file("sun.png", asPng(draw(300, 200, [](int32_t x, int32_t) { return Rgba{255, uint8_t(x), 0, 255}; })));
    b = file("sea.bmp", asBmp(draw(20, 30, [](int32_t, int32_t y) { return Rgba{0, uint8_t(y * 8), 255, 255}; })));
  }
  void TearDown() override {
    if (hadOld) setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else unsetenv("XDG_DATA_HOME");
  }
  std::vector<std::string> listed() { return lines(proptoolRun({"list", own}).out); }
  std::string saved, own, a, b;
  bool hadOld = false;
};

TEST_F(OwnPropFileTest, DroppedPicturesAreAppended) {
  ToolRun first = proptoolRun({a, b});
  ASSERT_EQ(first.code, 0) << first.out << first.err;
  EXPECT_EQ(lines(first.out), (std::vector<std::string>{"Adding 2 pictures to " + own,
                                                        "  sun.png: prop 516, 44x29 (scaled from 300x200)",
                                                        "  sea.bmp: prop 517, 20x30", "2 props added; " + own +
                                                        " holds 2 props."}));
  const std::vector<uint8_t> before = readBytes(own);
  ToolRun again = proptoolRun({b, a});
  ASSERT_EQ(again.code, 0) << again.err;
  EXPECT_EQ(listed(), (std::vector<std::string>{"0 516 44x29 sun", "1 517 20x30 sea", "2 518 20x30 sea",
                                                "3 519 44x29 sun", "4 props"}));
  const auto got = props(own);
  EXPECT_EQ(got.at(516).pixels, got.at(519).pixels);
  EXPECT_EQ(got.at(517).pixels, got.at(518).pixels);
  const std::vector<uint8_t> after = readBytes(own);
  const size_t data = 16 + restest::getLE32(before, 4);  // the end of the two props' data
  ASSERT_GT(after.size(), data);
  EXPECT_TRUE(std::equal(before.begin() + 16, before.begin() + long(data), after.begin() + 16))
      << "the props already there are kept byte for byte";

  // Ids follow the highest one; a picture that cannot be read is named and skipped.
  ASSERT_TRUE(proptest::writeFile(own, proptool::buildResourceFile(
                                           {proptest::propEntry(900, proptest::rowProp({1, 2}), "x"),
                                            proptest::propEntry(12, proptest::rowProp({3}))})));
  ToolRun mixed = proptoolRun({a, file("readme.txt", {'n', 'o'}), b});
  EXPECT_EQ(mixed.code, 1);
  EXPECT_EQ(lines(mixed.out)[2],
            "  readme.txt: not added, not a picture proptool reads (PNG, JPEG, BMP or GIF)");
  EXPECT_EQ(listed(), (std::vector<std::string>{"0 900 2x1 x", "1 12 1x1 -", "2 901 44x29 sun", "3 902 20x30 sea",
                                                "4 props"}));
}

TEST_F(OwnPropFileTest, AFullOrForeignFileIsLeftAsItIs) {
  // 528 props: one more fits, the next is refused with the reason.
  std::vector<proptool::ResourceEntry> many;
  for (uint32_t i = 0; i < 528; ++i) many.push_back(proptest::propEntry(1000 + i, proptest::rowProp({7})));
  ASSERT_TRUE(std::filesystem::create_directories(dir + "/orvane"));
  ASSERT_TRUE(proptest::writeFile(own, proptool::buildResourceFile(many)));
  ToolRun full = proptoolRun({a, b});
  EXPECT_EQ(full.code, 1);
  EXPECT_EQ(lines(full.out)[2], "  sea.bmp: not added, the file is full (529 props, as many as the saver shows at once)");
  EXPECT_EQ(listed().at(528), "528 1528 44x29 sun");

  // Damaged, holding more than props, or with props under a second 'Prop' type entry, which
  // the saver never reads: not rewritten, nothing added.
  std::vector<proptool::ResourceEntry> other = {proptest::propEntry(600, proptest::rowProp({7}))};
  other.push_back(other[0]);
  other[1].type = resTypeCode('I', 'c', 'o', 'n');
  std::vector<uint8_t> twoPropTypes = proptool::buildResourceFile(other);
  restest::putLE32(twoPropTypes, restest::getLE32(twoPropTypes, 8) + 24 + 12, kPropResourceType);
  const std::vector<uint8_t> good = proptool::buildResourceFile({proptest::propEntry(600, proptest::rowProp({7}))});
  const std::vector<uint8_t> cut(good.begin(), good.begin() + long(good.size() / 2));
  for (const auto& bytes :
       {proptool::buildResourceFile(other), twoPropTypes, cut, std::vector<uint8_t>(100, 0xFF)}) {
    ASSERT_TRUE(proptest::writeFile(own, bytes));
    ToolRun refused = proptoolRun({a});
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(lines(refused.err).size(), 1u);
    EXPECT_NE(refused.err.find("left as it is"), std::string::npos) << refused.err;
    EXPECT_EQ(readBytes(own), bytes);
  }
}

// The user's own prop file is where the module looks first: $XDG_DATA_HOME when absolute,
// else the home folder, from $HOME when absolute or else from the user database, as the
// module finds it.
TEST(OwnPropFilePlace, FollowsTheEnvironmentAsTheModuleDoes) {
  const passwd* user = getpwuid(getuid());
  ASSERT_TRUE(user && user->pw_dir && user->pw_dir[0] == '/');
  const std::string fromDatabase = std::string(user->pw_dir) + "/.local/share/orvane";
  struct Case {
    const char* xdgDataHome;  // nullptr: unset
    const char* home;
    std::string folder;
  };
  const Case cases[] = {
      {"/x/data", "/h", "/x/data/orvane"}, {"rel", "/h/", "/h/.local/share/orvane"},
      {nullptr, nullptr, fromDatabase},     {"", "", fromDatabase},
      {nullptr, "rel/home", fromDatabase},
  };
  std::map<std::string, std::pair<bool, std::string>> saved;
  for (const char* name : {"XDG_DATA_HOME", "HOME"}) {
    const char* value = std::getenv(name);
    saved[name] = {value != nullptr, value ? value : ""};
  }
  auto set = [](const char* name, const char* value) { value ? setenv(name, value, 1) : unsetenv(name); };
  for (const Case& c : cases) {
    set("XDG_DATA_HOME", c.xdgDataHome);
    set("HOME", c.home);
    const std::string what = std::string(c.xdgDataHome ? c.xdgDataHome : "(unset)") + " | " + (c.home ? c.home : "(unset)");
    EXPECT_EQ(proptool::userPropFolder(), c.folder) << what;
    EXPECT_EQ(proptool::userPropFilePath(), c.folder + "/props.prp") << what;
  }
  for (const auto& [name, value] : saved) set(name.c_str(), value.first ? value.second.c_str() : nullptr);
}

}  // namespace
