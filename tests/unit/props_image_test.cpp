#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "props/prop_image.h"

namespace {

constexpr uint8_t kSentinel = 0xAB;

// A prop image: header with the given width, height and flags, then the pixel data.
std::vector<uint8_t> makeImage(int16_t width, int16_t height, uint8_t flags, std::vector<uint8_t> data,
                               bool bigEndian = false) {
  std::vector<uint8_t> out(12, 0);
  auto put = [&](size_t at, uint16_t v) {
    out[at + (bigEndian ? 1 : 0)] = uint8_t(v);
    out[at + (bigEndian ? 0 : 1)] = uint8_t(v >> 8);
  };
  put(0, uint16_t(width));
  put(2, uint16_t(height));
  put(4, 0x1234);
  put(6, 0x5678);
  out[8] = 0x9A;
  out[9] = 0xBC;
  out[10] = flags;
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

// A buffer of w by h pixels filled with the sentinel, with guard pixels before and after.
struct Canvas {
  int32_t width, height;
  std::vector<uint8_t> bytes;
  static constexpr size_t kGuard = 64;
  Canvas(int32_t w, int32_t h) : width(w), height(h), bytes(size_t(w) * size_t(h) * 4 + 2 * kGuard, kSentinel) {}
  uint8_t* pixels() { return bytes.data() + kGuard; }
  std::vector<uint8_t> at(int32_t x, int32_t y) {
    const uint8_t* p = pixels() + (size_t(y) * size_t(width) + size_t(x)) * 4;
    return {p[0], p[1], p[2], p[3]};
  }
  bool untouched(int32_t x, int32_t y) { return at(x, y) == std::vector<uint8_t>(4, kSentinel); }
  bool guardsIntact() const {
    for (size_t i = 0; i < kGuard; ++i)
      if (bytes[i] != kSentinel || bytes[bytes.size() - 1 - i] != kSentinel) return false;
    return true;
  }
  int paintedCount() {
    int n = 0;
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) n += untouched(x, y) ? 0 : 1;
    return n;
  }
  void decode(std::vector<uint8_t>& image, int32_t x, int32_t y, bool inverted = false) {
    decodePropImage(pixels(), width, height, image.data(), uint32_t(image.size()), x, y, inverted);
  }
};

using Px = std::vector<uint8_t>;

TEST(DecodePropImage, ExampleImageInEveryVariant) {
  struct Case {
    const char* what;
    bool inverted;
    uint8_t flags;
    bool bigEndian;
    Px pixel1, pixel2;
  } cases[] = {
      {"palette", false, 0, false, {0xCC, 0xFF, 0xFF, 0xFF}, {0x00, 0xFF, 0xFF, 0xFF}},
      {"inverted", true, 0, false, {0xFE, 0xFE, 0xFE, 0xFF}, {0xFA, 0xFA, 0xFA, 0xFF}},
      {"translucent", false, 4, false, {0xCC, 0xFF, 0xFF, 0x7F}, {0x00, 0xFF, 0xFF, 0x7F}},
      {"other flag bits ignored", false, 0xFB, false, {0xCC, 0xFF, 0xFF, 0xFF}, {0x00, 0xFF, 0xFF, 0xFF}},
      {"big-endian", false, 0, true, {0xCC, 0xFF, 0xFF, 0xFF}, {0x00, 0xFF, 0xFF, 0xFF}},
      {"big-endian inverted translucent", true, 4, true, {0xFE, 0xFE, 0xFE, 0x7F}, {0xFA, 0xFA, 0xFA, 0x7F}},
  };
  for (const Case& c : cases) {
    Canvas canvas(8, 2);
    std::vector<uint8_t> image = makeImage(4, 1, c.flags, {0x12, 0x01, 0x05, 0x10}, c.bigEndian);
    canvas.decode(image, 0, 0, c.inverted);
    EXPECT_TRUE(canvas.untouched(0, 0)) << c.what;
    EXPECT_EQ(canvas.at(1, 0), c.pixel1) << c.what;
    EXPECT_EQ(canvas.at(2, 0), c.pixel2) << c.what;
    EXPECT_TRUE(canvas.untouched(3, 0)) << c.what;
    EXPECT_EQ(canvas.paintedCount(), 2) << c.what;
  }
}

TEST(DecodePropImage, ByteOrderDetectionSwapsTheFourFieldsInPlace) {
  struct Case {
    uint8_t heightLow, heightHigh;
    bool swapped;
  } cases[] = {
      {64, 0, false}, {1, 0, false}, {65, 0, true}, {0, 0, true}, {0xFF, 0xFF, true}, {0x00, 0x01, true},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> image = {0x04, 0x00, c.heightLow, c.heightHigh, 0x11, 0x22, 0x33, 0x44,
                                  0x55, 0x66, 0x77, 0x88};
    const std::vector<uint8_t> before = image;
    Canvas canvas(4, 4);
    canvas.decode(image, 0, 0);
    std::vector<uint8_t> expected = before;
    if (c.swapped)
      for (size_t at = 0; at < 8; at += 2) std::swap(expected[at], expected[at + 1]);
    EXPECT_EQ(image, expected) << "height bytes " << int(c.heightLow) << " " << int(c.heightHigh);
    EXPECT_TRUE(canvas.guardsIntact());
  }
}

// Two rows of four pixels each: what ends up painted for various streams.
TEST(DecodePropImage, RunsOverrunsAndEarlyEnds) {
  struct Case {
    const char* what;
    int16_t width, height;
    std::vector<uint8_t> data;
    int painted;           // painted pixels in all
    bool rowOneFull;       // the first row is complete
    bool secondRowPainted; // pixel (0, 1) painted
  } cases[] = {
      {"two full rows", 4, 2, {0x04, 1, 2, 3, 4, 0x04, 5, 6, 7, 8}, 8, true, true},
      {"zero run bytes pass over", 4, 2, {0x00, 0x02, 1, 2, 0x00, 0x02, 3, 4, 0x04, 5, 6, 7, 8}, 8, true, true},
      {"row overrun stops, earlier row stays", 4, 3, {0x04, 1, 2, 3, 4, 0x05, 5, 6, 7, 8, 9, 0x04, 1, 2, 3, 4}, 4,
       true, false},
      {"overrun by skip plus count", 4, 2, {0x23, 1, 2, 3}, 0, false, false},
      {"overrun after part of a row", 4, 2, {0x02, 1, 2, 0x13, 3, 4, 5}, 2, false, false},
      {"stream ends mid-run", 4, 2, {0x04, 1, 2, 3, 4, 0x04, 5, 6}, 6, true, true},
      {"stream ends before a run byte", 4, 2, {0x04, 1, 2, 3, 4}, 4, true, false},
      {"no pixel data", 4, 2, {}, 0, false, false},
      {"width 0", 0, 2, {0x04, 1, 2, 3, 4}, 0, false, false},
      {"negative width", -4, 2, {0x04, 1, 2, 3, 4}, 0, false, false},
      {"skip-only rows", 4, 2, {0x40, 0x31, 9}, 1, false, true},
  };
  for (const Case& c : cases) {
    Canvas canvas(4, 4);
    std::vector<uint8_t> image = makeImage(c.width, c.height, 0, c.data);
    canvas.decode(image, 0, 0);
    EXPECT_EQ(canvas.paintedCount(), c.painted) << c.what;
    bool full = true;
    for (int32_t x = 0; x < 4; ++x) full = full && !canvas.untouched(x, 0);
    EXPECT_EQ(full, c.rowOneFull) << c.what;
    EXPECT_EQ(!canvas.untouched(0, 1) || !canvas.untouched(3, 1), c.secondRowPainted) << c.what;
    EXPECT_TRUE(canvas.guardsIntact()) << c.what;
  }
}

TEST(DecodePropImage, HeightZeroOrNegativeBigEndianPaintsNothing) {
  // Stored big-endian, these heights decode to 0 and -1 after the swap.
  for (int16_t height : {int16_t(0), int16_t(-1)}) {
    Canvas canvas(4, 4);
    std::vector<uint8_t> image = makeImage(4, height, 0, {0x04, 1, 2, 3, 4}, true);
    canvas.decode(image, 0, 0);
    EXPECT_EQ(canvas.paintedCount(), 0) << height;
  }
}

TEST(DecodePropImage, ShortHeadersReadNothingBeyondTheData) {
  // A 4-byte big-endian header is swapped as far as it goes; nothing is painted.
  for (uint32_t length = 0; length < 12; ++length) {
    std::vector<uint8_t> full = makeImage(4, 1, 0, {0x04, 1, 2, 3, 4}, true);
    std::vector<uint8_t> image(full.begin(), full.begin() + length);
    Canvas canvas(4, 4);
    decodePropImage(canvas.pixels(), 4, 4, image.data(), length, 0, 0, false);
    EXPECT_EQ(canvas.paintedCount(), 0) << length;
    if (length >= 4) {
      for (uint32_t at = 0; at + 1 < length && at < 8; at += 2)
        EXPECT_EQ(image[at], full[at + 1]) << length << " swapped at " << at;
    }
  }
  decodePropImage(nullptr, 4, 4, nullptr, 100, 0, 0, false);  // no image, no buffer: nothing happens
}

// A 3 by 2 image with every pixel painted (indices 0..5) placed around a 4 by 3 buffer.
TEST(DecodePropImage, ClipsAtEveryEdgeWithoutWrapping) {
  struct Case {
    const char* what;
    int32_t x, y;
    std::vector<std::pair<int32_t, int32_t>> painted;
  } cases[] = {
      {"inside", 1, 1, {{1, 1}, {2, 1}, {3, 1}, {1, 2}, {2, 2}, {3, 2}}},
      {"past the right edge", 2, 0, {{2, 0}, {3, 0}, {2, 1}, {3, 1}}},
      {"left of the buffer", -2, 0, {{0, 0}, {0, 1}}},
      {"above the buffer", 0, -1, {{0, 0}, {1, 0}, {2, 0}}},
      {"below the buffer", 0, 2, {{0, 2}, {1, 2}, {2, 2}}},
      {"far outside", INT32_MAX, INT32_MAX, {}},
      {"far outside negative", INT32_MIN, INT32_MIN, {}},
      {"beyond the right edge entirely", 4, 0, {}},
  };
  for (const Case& c : cases) {
    Canvas canvas(4, 3);
    std::vector<uint8_t> image = makeImage(3, 2, 0, {0x03, 0, 1, 2, 0x03, 3, 4, 5});
    canvas.decode(image, c.x, c.y);
    for (auto [px, py] : c.painted) EXPECT_FALSE(canvas.untouched(px, py)) << c.what << " " << px << "," << py;
    EXPECT_EQ(canvas.paintedCount(), int(c.painted.size())) << c.what;
    EXPECT_TRUE(canvas.guardsIntact()) << c.what;
  }
}

TEST(DecodePropImage, LargePropAtTheAtlasCornerStaysInside) {
  Canvas canvas(1024, 1024);
  std::vector<uint8_t> data;
  for (int row = 0; row < 64; ++row) {
    for (int run = 0; run < 4; ++run) {
      data.push_back(0x0F);
      for (int i = 0; i < 15; ++i) data.push_back(uint8_t(row + i));
    }
  }
  std::vector<uint8_t> image = makeImage(60, 64, 0, data);
  canvas.decode(image, 1000, 1000);
  EXPECT_EQ(canvas.paintedCount(), 24 * 24);
  EXPECT_FALSE(canvas.untouched(1023, 1023));
  EXPECT_TRUE(canvas.untouched(999, 1000));
  EXPECT_TRUE(canvas.guardsIntact());
}

TEST(PropImageSize, ReadsEitherByteOrderWithoutChangingTheData) {
  struct Case {
    std::vector<uint8_t> bytes;
    int32_t width, height;
  } cases[] = {
      {{0x04, 0x00, 0x01, 0x00}, 4, 1},
      {{0x00, 0x04, 0x00, 0x01}, 4, 1},
      {{0x2C, 0x00, 0x40, 0x00}, 44, 64},
      {{0x00, 0x2C, 0x00, 0x41}, 44, 65},
      {{0x05}, 0, 0},
      {{}, 0, 0},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> before = c.bytes;
    const PropSize size = propImageSize(c.bytes.data(), uint32_t(c.bytes.size()));
    EXPECT_EQ(size.width, c.width);
    EXPECT_EQ(size.height, c.height);
    EXPECT_EQ(c.bytes, before);
  }
}

}  // namespace
