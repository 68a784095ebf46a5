// Pictures to props: reading the four formats (Exif orientation, damaged files refused with
// the reason), the prop encoder, scaling to the cell in linear light, and error diffusion to
// the palette, from a picture file to the bytes the saver decodes. Every picture is drawn here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <set>

#include "common/random.h"
#include "pictures/picture_prop.h"
#include "props/palette.h"
#include "props/prop_image.h"
#include "support/pictures.h"
#include "support/prop_files.h"

namespace {

using pictures::IndexedImage;
using pictures::kTransparent;
using pictures::PictureFailure;
using pictures::PictureProblem;
using pictures::RgbaImage;
using proptest::draw;
using proptest::Rgba;

// PNG, JPEG, BMP and GIF (its first frame) each read once, to the same small picture.
TEST(PictureReading, ReadsEveryFormat) {
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
  } files[] = {{"PNG", proptest::asPng(picture), 0},
               {"JPEG", proptest::asJpeg(picture), 12},
               {"BMP", proptest::asBmp(picture), 0},
               {"GIF", proptest::asGif(16, 16, colours, {first, second}), 0}};
  for (const auto& f : files) {
    RgbaImage read;
    PictureProblem problem;
    ASSERT_TRUE(pictures::decodePicture(f.bytes, &read, &problem)) << f.name << ": " << problem.detail;
    EXPECT_EQ(problem.format, f.name);
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
      proptest::asJpeg(draw(24, 16, [&](int32_t x, int32_t y) { return grid[size_t((y / 8) * 3 + x / 8)]; }));
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
      PictureProblem problem;
      ASSERT_TRUE(pictures::decodePicture(bytes, &read, &problem)) << problem.detail;
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

// No damaged picture crashes the reader: every cut of a good file reads whole or is refused
// as damaged (a header that claims no pixels too) or as no picture, and the guards in front of the image library refuse what it
// would mishandle, each with its reason.
TEST(PictureReading, DamagedPicturesAreRefusedWithTheReason) {
  const RgbaImage picture = draw(60, 50, [](int32_t x, int32_t y) {
    return Rgba{uint8_t(x * 4), uint8_t(y * 5), uint8_t(x ^ y), uint8_t(x < 5 ? 0 : 255)};
  });
  const std::vector<std::vector<uint8_t>> good = {
      proptest::asPng(picture), proptest::asJpeg(picture), proptest::asBmp(picture),
      proptest::asGif(4, 2, {{1, 2, 3, 255}, {4, 5, 6, 255}}, {{0, 1, 1, 0, 1, 0, 0, 1}})};
  for (const auto& bytes : good) {
    for (size_t length = 0; length < bytes.size(); length += 1 + length / 16) {
      std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(length));
      RgbaImage read;
      PictureProblem problem;
      if (!pictures::decodePicture(cut, &read, &problem)) {
        EXPECT_TRUE(problem.failure == PictureFailure::kDamaged || problem.failure == PictureFailure::kNotAPicture)
            << int(problem.failure);
      } else {
        EXPECT_EQ(read.pixels.size(), size_t(read.width) * size_t(read.height) * 4);
      }
    }
  }
  // A JPEG whose first Huffman table lists 512 codes (the image library would write past
  // its tables).
  std::vector<uint8_t> tables = good[1];
  const uint8_t dht[] = {0xFF, 0xC4};
  auto found = std::search(tables.begin(), tables.end(), std::begin(dht), std::end(dht));
  ASSERT_NE(found, tables.end());
  std::fill(found + 5, found + 21, uint8_t(0x20));
  // A PNG data chunk that claims 2 GB (the library would take the memory first).
  std::vector<uint8_t> claims = good[0];
  const uint8_t idat[] = {'I', 'D', 'A', 'T'};
  const auto chunk = std::search(claims.begin(), claims.end(), std::begin(idat), std::end(idat)) - 4;
  chunk[0] = 0x7F, chunk[1] = 0xFF, chunk[2] = 0xFF, chunk[3] = 0xF0;  // its length, high byte first
  const struct {
    std::vector<uint8_t> bytes;
    int64_t maxPixels;
    PictureFailure failure;
    const char* format;
    const char* detail;
  } cases[] = {
      {tables, pictures::kPictureMaxPixels, PictureFailure::kDamaged, "JPEG",
       "a Huffman table with more than 256 codes"},
      {claims, pictures::kPictureMaxPixels, PictureFailure::kDamaged, "PNG", "a chunk runs past the end of the file"},
      {good[2], 2999, PictureFailure::kTooLarge, "BMP", ""},
  };
  for (const auto& c : cases) {
    RgbaImage refused;
    PictureProblem problem;
    EXPECT_FALSE(pictures::decodePicture(c.bytes, &refused, &problem, c.maxPixels)) << c.format;
    EXPECT_EQ(problem.failure, c.failure) << c.format;
    EXPECT_EQ(problem.format, c.format);
    EXPECT_EQ(problem.detail, c.detail);
  }
}

// Decodes encoded bytes into a picture of indices (alpha 0 = transparent) via the palette.
IndexedImage decodeToIndices(std::vector<uint8_t> bytes, int32_t width, int32_t height) {
  std::vector<uint8_t> rgba(size_t(width) * size_t(height) * 4, 0);
  decodePropImage(rgba.data(), width, height, bytes.data(), uint32_t(bytes.size()), 0, 0, true);
  IndexedImage image(width, height);
  for (size_t i = 0; i < image.pixels.size(); ++i)
    if (rgba[i * 4 + 3]) image.pixels[i] = int16_t(255 - rgba[i * 4]);  // inverted: grey 255 - c
  return image;
}

TEST(PropEncoder, RoundTripsThroughTheDecoderInBothByteOrders) {
  orvane::srand(99);
  for (int trial = 0; trial < 200; ++trial) {
    const int32_t width = 1 + orvane::rand() % 100, height = 1 + orvane::rand() % 64;
    IndexedImage image(width, height);
    const int density = orvane::rand() % 4;  // from sparse to solid
    for (int16_t& px : image.pixels) px = orvane::rand() % 4 < density ? int16_t(orvane::rand() % 256) : kTransparent;
    for (bool bigEndian : {false, true}) {
      const std::vector<uint8_t> bytes = pictures::encodePropImage(image, trial % 2 == 0, bigEndian);
      ASSERT_FALSE(bytes.empty());
      const PropSize size = propImageSize(bytes.data(), uint32_t(bytes.size()));
      EXPECT_EQ(size.width, width);
      EXPECT_EQ(size.height, height);
      EXPECT_EQ((bytes[10] & 4) != 0, trial % 2 == 0);
      EXPECT_EQ(decodeToIndices(bytes, width, height).pixels, image.pixels) << "trial " << trial;
    }
  }
}

TEST(PropEncoder, RunsAreCompactAndSizesAreChecked) {
  IndexedImage blank(44, 1);  // 44 transparent pixels: skips of 15, 15 and 14
  EXPECT_EQ(pictures::encodePropImage(blank, false, false),
            (std::vector<uint8_t>{44, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0xF0, 0xE0}));
  IndexedImage solid(16, 1);
  for (int16_t& px : solid.pixels) px = 7;
  std::vector<uint8_t> bytes = pictures::encodePropImage(solid, false, false);
  ASSERT_EQ(bytes.size(), 12u + 1 + 15 + 1 + 1);
  EXPECT_EQ(bytes[12], 0x0F);
  EXPECT_EQ(bytes[28], 0x01);
  EXPECT_TRUE(pictures::encodePropImage(IndexedImage(4, 65), false, false).empty());
  EXPECT_TRUE(pictures::encodePropImage(IndexedImage(0, 4), false, false).empty());
  EXPECT_FALSE(pictures::encodePropImage(IndexedImage(4, 64), false, true).empty());
}

TEST(PropEncoder, NearestPaletteIndex) {
  for (int i = 0; i < 256; ++i) {
    const uint32_t e = propPalette[size_t(i)];
    const uint8_t found = pictures::nearestPaletteIndex(paletteRed(e), paletteGreen(e), paletteBlue(e));
    EXPECT_EQ(propPalette[found], e) << i;
    EXPECT_LE(found, i) << "the lowest index of a colour";
  }
  EXPECT_EQ(pictures::nearestPaletteIndex(0xFE, 0xFE, 0xFD), 0);
  EXPECT_EQ(pictures::nearestPaletteIndex(0x01, 0x02, 0x00), 229);
}

double linearOf(uint8_t v) { return pictures::srgbToLinear(v); }

TEST(PictureScaling, FitsTheCellKeepingItsShape) {
  struct Case {
    int32_t w, h, fw, fh;
  } cases[] = {{512, 256, 44, 22}, {256, 256, 44, 44}, {44, 44, 44, 44}, {30, 10, 30, 10}, {45, 44, 44, 43},
               {1000, 1, 44, 1},   {1, 1000, 1, 44},   {3000, 4000, 33, 44}, {2, 65, 1, 44}};
  for (const Case& c : cases) {
    const pictures::PictureSize s = pictures::fitToCell(c.w, c.h, 44);
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
  const pictures::LinearImage grey = pictures::scaleAreaAverage(stripes, 44, 22);
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
  const pictures::LinearImage scaled = pictures::scaleAreaAverage(half, 44, 44);
  for (int32_t x : {0, 21}) {
    const float* px = &scaled.pixels[size_t(10 * 44 + x) * 4];
    EXPECT_FLOAT_EQ(px[0], 1.0f) << x;
    EXPECT_FLOAT_EQ(px[1], 0.0f) << x;
    EXPECT_NEAR(px[3], x == 21 ? 0.5 : 1.0, 1e-6) << x;
  }
  EXPECT_FLOAT_EQ(scaled.pixels[size_t(10 * 44 + 22) * 4 + 3], 0.0f);
}

// From picture files: a large picture comes out scaled to the cell; a smooth ramp keeps its
// order of brightness and a flat colour that the palette lacks keeps its mean colour (error
// diffusion, where the nearest colour alone would be off); a hole stays a hole; a small
// picture keeps its size, its pixels less than half opaque transparent.
TEST(PictureProps, ScaledDitheredAndHolesKept) {
  const std::string dir = proptest::makeTempDir();
  auto made = [&](const char* name, const RgbaImage& picture) {
    const std::string path = dir + "/" + name;
    EXPECT_TRUE(proptest::writeFile(path, proptest::asPng(picture)));
    const pictures::PictureProp prop = pictures::propFromPicture(path, true);
    EXPECT_TRUE(prop.made()) << name << ": " << int(prop.problem.failure);
    RgbaImage decoded = draw(prop.size.width, prop.size.height, [](int32_t, int32_t) { return Rgba{0, 0, 0, 0}; });
    std::vector<uint8_t> data = prop.data;
    decodePropImage(decoded.pixels.data(), decoded.width, decoded.height, data.data(), uint32_t(data.size()), 0, 0,
                    false);
    return decoded;
  };
  const RgbaImage wide =
      made("wide.png", draw(512, 256, [](int32_t x, int32_t y) { return Rgba{uint8_t(x / 2), uint8_t(y), 90, 255}; }));
  EXPECT_EQ(wide.width, 44);
  EXPECT_EQ(wide.height, 22);
  const RgbaImage r = made("ramp.png", draw(440, 88, [](int32_t x, int32_t) {
    const uint8_t v = uint8_t(x * 255 / 439);
    return Rgba{v, v, v, 255};
  }));
  ASSERT_EQ(r.width, 44);
  ASSERT_EQ(r.height, 9);
  double previous = -1;
  for (int32_t x = 0; x < 44; ++x) {
    double sum = 0;
    for (int32_t y = 0; y < 9; ++y) sum += linearOf(r.pixels[size_t(y * 44 + x) * 4]);
    const double mean = sum / 9, wanted = linearOf(uint8_t(((x * 10 + 5) * 255 / 439)));
    EXPECT_GE(mean, previous) << "column " << x;
    EXPECT_NEAR(mean, wanted, 0.05) << "column " << x;
    previous = mean;
  }

  const RgbaImage f = made("flat.png", draw(44, 44, [](int32_t, int32_t) { return Rgba{200, 120, 60, 255}; }));
  ASSERT_EQ(f.pixels.size(), 44u * 44 * 4);
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

  const RgbaImage h = made("holed.png", draw(200, 200, [](int32_t x, int32_t y) {
    const bool inHole = (x - 100) * (x - 100) + (y - 100) * (y - 100) < 50 * 50;
    return Rgba{uint8_t(x), 150, uint8_t(y), uint8_t(inHole ? 0 : 255)};
  }));
  ASSERT_EQ(h.pixels.size(), 44u * 44 * 4);
  auto alphaAt = [&](int32_t x, int32_t y) { return h.pixels[size_t(y * 44 + x) * 4 + 3]; };
  for (auto [x, y] : {std::pair{22, 22}, {15, 22}, {22, 29}}) EXPECT_EQ(alphaAt(x, y), 0) << x << "," << y;
  for (auto [x, y] : {std::pair{0, 0}, {43, 43}, {5, 22}, {22, 38}}) EXPECT_EQ(alphaAt(x, y), 255) << x << "," << y;

  // Small enough to stay unscaled: alpha 127 in the top row, 128 in the bottom one.
  const RgbaImage edge = made("edge.png", draw(8, 2, [](int32_t, int32_t y) { return Rgba{9, 9, 9, uint8_t(127 + y)}; }));
  ASSERT_EQ(edge.pixels.size(), 8u * 2 * 4);
  for (size_t x = 0; x < 8; ++x) {
    EXPECT_EQ(edge.pixels[x * 4 + 3], 0) << x;
    EXPECT_EQ(edge.pixels[(8 + x) * 4 + 3], 255) << x;
  }
}

// A prop is named after its picture's file, without folder and extension, in at most 31
// bytes cut between whole UTF-8 characters.
TEST(PictureProps, NamedAfterTheFile) {
  const std::string x30(30, 'x');
  const std::pair<std::string, std::string> cases[] = {
      {"/a/b.c/sun.png", "sun"}, {"a.b.png", "a.b"},        {".hidden", ".hidden"},
      {"noext", "noext"},         {std::string(40, 'n') + ".gif", std::string(31, 'n')},
      {x30 + "\xC3\xA9.png", x30}, {"x\xE5\xA4\x95.png", "x\xE5\xA4\x95"}};
  for (const auto& [path, name] : cases) EXPECT_EQ(pictures::propNameFromPath(path), name) << path;
}

}  // namespace
