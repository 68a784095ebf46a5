// Fuzz target for pictures as the picture library takes them: the bytes are read as a PNG,
// JPEG, BMP or GIF, and a picture that reads is scaled to the cell, mapped to the palette
// and encoded as a prop, as propFromPicture does.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pictures/picture_read.h"
#include "pictures/picture_to_palette.h"
#include "props/prop_atlas.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  pictures::RgbaImage picture;
  pictures::PictureProblem problem;
  // Small pictures only: a large one takes the same path, only longer, and a few bytes can
  // claim a picture that takes a second to decode under the sanitizers.
  if (!pictures::decodePicture(bytes, &picture, &problem, int64_t(1) << 20)) return 0;
  if (picture.pixels.size() != size_t(picture.width) * size_t(picture.height) * 4) __builtin_trap();
  const pictures::PictureSize fitted = pictures::fitToCell(picture.width, picture.height, kPropCellSize);
  const pictures::IndexedImage indexed =
      pictures::ditherToPalette(pictures::scaleAreaAverage(picture, fitted.width, fitted.height));
  if (pictures::encodePropImage(indexed, false, false).empty()) __builtin_trap();
  return 0;
}
