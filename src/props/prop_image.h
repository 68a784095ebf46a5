#pragma once
// The prop image format: a 12-byte header (width, height and two further 16-bit fields in
// either byte order, a flags byte at offset 10) followed by run-length coded rows of
// 8-bit palette indices.
#include <cstdint>

constexpr uint32_t kPropHeaderBytes = 12;
constexpr int32_t kPropMaxLittleEndianHeight = 64;
constexpr uint8_t kPropTranslucent = 0x04;  // flags bit: painted pixels get alpha 127

// Paints one prop with its top-left corner at (x, y) into `buffer`, bufferWidth by
// bufferHeight RGBA pixels. A big-endian image (little-endian height outside 1..64) has
// its four 16-bit header fields byte-swapped in place first. Colour indices are painted
// through propPalette, or as the grey 255 - c when `inverted`.
// Never reads past imageLength and never writes outside the buffer: pixels that fall
// outside the buffer or past the right edge of a row are dropped, and a stream that
// overruns its row or ends early stops the decode, keeping what was painted.
void decodePropImage(uint8_t* buffer, int32_t bufferWidth, int32_t bufferHeight, uint8_t* image,
                     uint32_t imageLength, int32_t x, int32_t y, bool inverted);

// The width and height of a prop as the decoder sees them (after byte-order detection),
// without changing the data; 0 by 0 when the data is shorter than 4 bytes.
struct PropSize {
  int32_t width;
  int32_t height;
};
PropSize propImageSize(const uint8_t* image, uint32_t imageLength);
