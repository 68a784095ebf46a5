#include "pictures/prop_encoder.h"

#include "props/palette.h"
#include "props/prop_image.h"

namespace pictures {

uint8_t nearestPaletteIndex(uint8_t r, uint8_t g, uint8_t b) {
  int best = 0;
  int bestDistance = 1 << 30;
  for (int i = 0; i < 256; ++i) {
    const uint32_t e = propPalette[size_t(i)];
    const int dr = int(paletteRed(e)) - r;
    const int dg = int(paletteGreen(e)) - g;
    const int db = int(paletteBlue(e)) - b;
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return uint8_t(best);
}

std::vector<uint8_t> encodePropImage(const IndexedImage& image, bool translucent, bool bigEndian) {
  if (image.width < 1 || image.width > 32767 || image.height < 1 || image.height > kPropMaxLittleEndianHeight ||
      image.pixels.size() != size_t(image.width) * size_t(image.height))
    return {};
  std::vector<uint8_t> out(kPropHeaderBytes, 0);
  auto put16 = [&](size_t at, uint16_t v) {
    out[at + (bigEndian ? 1 : 0)] = uint8_t(v);
    out[at + (bigEndian ? 0 : 1)] = uint8_t(v >> 8);
  };
  put16(0, uint16_t(image.width));
  put16(2, uint16_t(image.height));
  out[10] = translucent ? kPropTranslucent : 0;

  for (int32_t y = 0; y < image.height; ++y) {
    int32_t x = 0;
    while (x < image.width) {
      int32_t skip = 0;
      while (skip < 15 && x + skip < image.width && image.at(x + skip, y) == kTransparent) ++skip;
      int32_t count = 0;
      while (count < 15 && x + skip + count < image.width && image.at(x + skip + count, y) != kTransparent) ++count;
      out.push_back(uint8_t((skip << 4) | count));
      for (int32_t i = 0; i < count; ++i) out.push_back(uint8_t(image.at(x + skip + i, y)));
      x += skip + count;
    }
  }
  return out;
}

}  // namespace pictures
