// Fuzz target for pictures as proptool takes them: the bytes are read as a PNG, JPEG, BMP
// or GIF, and a picture that reads is scaled to the cell, mapped to the palette and encoded
// as a prop, as `proptool build` does.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "props/prop_atlas.h"
#include "proptool/picture_io.h"
#include "proptool/picture_to_prop.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  proptool::RgbaImage picture;
  std::string error;
  // Small pictures only: a large one takes the same path, only longer, and a few bytes can
  // claim a picture that takes a second to decode under the sanitizers.
  if (!proptool::decodePicture("fuzz", bytes, &picture, &error, int64_t(1) << 20)) return 0;
  if (picture.pixels.size() != size_t(picture.width) * size_t(picture.height) * 4) __builtin_trap();
  const proptool::PictureSize fitted = proptool::fitToCell(picture.width, picture.height, kPropCellSize);
  const proptool::IndexedImage indexed =
      proptool::ditherToPalette(proptool::scaleAreaAverage(picture, fitted.width, fitted.height));
  if (proptool::encodePropImage(indexed, false, false).empty()) __builtin_trap();
  return 0;
}
