#include "props/prop_image.h"

#include <cstddef>

#include "props/palette.h"

namespace {

int16_t readLittle16(const uint8_t* p) { return int16_t(uint16_t(p[0] | (p[1] << 8))); }

bool isLittleEndianHeight(int16_t height) { return height >= 1 && height <= kPropMaxLittleEndianHeight; }

}  // namespace

PropSize propImageSize(const uint8_t* image, uint32_t imageLength) {
  if (!image || imageLength < 4) return {0, 0};
  const uint8_t* head = image;
  int16_t width = readLittle16(head);
  int16_t height = readLittle16(head + 2);
  if (!isLittleEndianHeight(height)) {
    width = int16_t(uint16_t(head[1] | (head[0] << 8)));
    height = int16_t(uint16_t(head[3] | (head[2] << 8)));
  }
  return {width, height};
}

void decodePropImage(uint8_t* buffer, int32_t bufferWidth, int32_t bufferHeight, uint8_t* image,
                     uint32_t imageLength, int32_t x, int32_t y, bool inverted) {
  if (!image || imageLength < 4) return;

  // Byte order: each of the four 16-bit fields that the data holds is swapped once.
  if (!isLittleEndianHeight(readLittle16(image + 2))) {
    for (uint32_t offset = 0; offset <= 6 && offset + 2 <= imageLength; offset += 2) {
      uint8_t t = image[offset];
      image[offset] = image[offset + 1];
      image[offset + 1] = t;
    }
  }
  if (imageLength < kPropHeaderBytes) return;

  const int32_t width = readLittle16(image);
  const int32_t height = readLittle16(image + 2);
  const uint8_t alpha = (image[10] & kPropTranslucent) ? 127 : 255;
  const bool canPaint = buffer && bufferWidth > 0 && bufferHeight > 0;
  if (width <= 0) return;  // rows of no pixels read nothing

  uint32_t pos = kPropHeaderBytes;
  for (int32_t row = 0; row < height; ++row) {
    // 64-bit positions: x + column and y + row cannot overflow for any 16-bit size.
    const int64_t py = int64_t(y) + row;
    const bool rowInside = canPaint && py >= 0 && py < bufferHeight;
    uint8_t* rowPixels = rowInside ? buffer + (size_t(py) * size_t(bufferWidth)) * 4 : nullptr;
    int64_t px = x;
    int32_t remaining = width;
    while (remaining > 0) {
      if (pos >= imageLength) return;  // the stream ended early
      const uint8_t run = image[pos++];
      const int32_t skip = run >> 4;
      const int32_t count = run & 0x0F;
      remaining -= skip + count;
      if (remaining < 0) return;  // a run past the row's end ends the whole decode
      px += skip;
      for (int32_t i = 0; i < count; ++i, ++px) {
        if (pos >= imageLength) return;
        const uint8_t c = image[pos++];
        if (!rowInside || px < 0 || px >= bufferWidth) continue;  // dropped, never wrapped
        uint8_t* p = rowPixels + size_t(px) * 4;
        if (inverted) {
          p[0] = p[1] = p[2] = uint8_t(255 - c);
        } else {
          const uint32_t entry = propPalette[c];
          p[0] = paletteRed(entry);
          p[1] = paletteGreen(entry);
          p[2] = paletteBlue(entry);
        }
        p[3] = alpha;
      }
    }
  }
}
