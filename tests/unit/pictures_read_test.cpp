// Reading pictures: the four formats, Exif orientation, and damaged files refused with the
// reason. Every picture is drawn here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "pictures/picture_read.h"
#include "support/pictures.h"

namespace {

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
      {tables, pictures::kPictureMaxPixels, PictureFailure::kDamaged, "JPEG", "a Huffman table with more than 256 codes"},
      {claims, pictures::kPictureMaxPixels, PictureFailure::kDamaged, "PNG", "a chunk runs past the end of the file"},
      {{'h', 'i', '\n'}, pictures::kPictureMaxPixels, PictureFailure::kNotAPicture, "", ""},
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
  RgbaImage large;
  PictureProblem problem;
  ASSERT_FALSE(pictures::decodePicture(good[2], &large, &problem, 2999));
  EXPECT_EQ(problem.width, 60);
  EXPECT_EQ(problem.height, 50);
  EXPECT_EQ(problem.limitPixels, 2999);
  EXPECT_TRUE(large.pixels.empty()) << "refused before any pixel is read";
}

}  // namespace
