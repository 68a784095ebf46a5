#pragma once
// Encodes pictures of palette indices as prop images.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pictures {

constexpr int16_t kTransparent = -1;

// A picture of palette indices (0..255) or kTransparent, rows top to bottom.
struct IndexedImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<int16_t> pixels;  // width * height

  IndexedImage() = default;
  IndexedImage(int32_t w, int32_t h) : width(w), height(h), pixels(size_t(w) * size_t(h), kTransparent) {}
  int16_t at(int32_t x, int32_t y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
  void set(int32_t x, int32_t y, int16_t v) {
    if (x >= 0 && y >= 0 && x < width && y < height) pixels[size_t(y) * size_t(width) + size_t(x)] = v;
  }
};

// The palette entry nearest to a colour (squared RGB distance; the lowest index on ties).
uint8_t nearestPaletteIndex(uint8_t r, uint8_t g, uint8_t b);

// The prop image bytes of a picture: 12-byte header, then each row as runs of up to 15
// transparent pixels followed by up to 15 literal indices. Heights 1 to 64 only, since the
// byte order is told by the height; big-endian stores the four 16-bit header fields
// high byte first. Returns an empty vector for a size that cannot be stored.
std::vector<uint8_t> encodePropImage(const IndexedImage& image, bool translucent, bool bigEndian);

}  // namespace pictures
