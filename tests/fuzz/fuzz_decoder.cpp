// Fuzz target for the prop image decoder. The first five bytes choose the call:
//   byte 0: bit 0 inverted; bits 1-2 the destination (1024x1024, 44x44, 7x3 or 1x1
//           pixels); bit 3 pushes the position towards the ends of the 32-bit range
//   bytes 1-2, 3-4: x and y, little-endian signed 16-bit
// and the rest is the PropImage, in a heap block of exactly its length so a read past
// it is caught. The destination is a heap block of exactly its size for the same reason.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "props/prop_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  struct Size {
    int32_t width, height;
  };
  static const Size sizes[] = {{1024, 1024}, {44, 44}, {7, 3}, {1, 1}};
  const uint8_t control = data[0];
  const bool inverted = (control & 1) != 0;
  const Size dest = sizes[(control >> 1) & 3];
  int32_t x = int16_t(uint16_t(data[1] | (data[2] << 8)));
  int32_t y = int16_t(uint16_t(data[3] | (data[4] << 8)));
  if ((control & 8) != 0) {
    // Positions whose sums with a width or height would overflow 32 bits.
    x = x < 0 ? INT32_MIN - x - 1 + 64 : INT32_MAX - x;
    y = y < 0 ? INT32_MIN - y - 1 + 64 : INT32_MAX - y;
  }

  static std::vector<uint8_t> big(size_t(1024) * 1024 * 4);
  std::vector<uint8_t> small;
  uint8_t* buffer = nullptr;
  if (dest.width == 1024) {
    std::memset(big.data(), 0, big.size());
    buffer = big.data();
  } else {
    small.assign(size_t(dest.width) * size_t(dest.height) * 4, 0);
    buffer = small.data();
  }

  const uint32_t imageLength = uint32_t(size - 5);
  uint8_t* image = new uint8_t[imageLength == 0 ? 1 : imageLength];
  if (imageLength > 0) std::memcpy(image, data + 5, imageLength);
  decodePropImage(buffer, dest.width, dest.height, image, imageLength, x, y, inverted);
  delete[] image;
  return 0;
}
