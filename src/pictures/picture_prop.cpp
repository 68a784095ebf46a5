#include "pictures/picture_prop.h"

#include <new>

#include "pictures/picture_files.h"
#include "props/prop_atlas.h"
#include "props/prop_image.h"

namespace pictures {

// Every picture read is narrow enough for a prop's 16-bit width.
static_assert(kPictureMaxSide <= 32767, "a prop is at most 32767 pixels wide");

namespace {

PictureProp propFromPictureOrThrow(const Path& picture, bool scale) {
  PictureProp r;
  RgbaImage image;
  if (!readPicture(picture, &image, &r.problem)) return r;
  r.pictureSize = {image.width, image.height};
  IndexedImage indexed;
  if (scale) {
    r.size = fitToCell(image.width, image.height, kPropCellSize);
    indexed = ditherToPalette(scaleAreaAverage(image, r.size.width, r.size.height));
  } else {
    if (image.height > kPropMaxLittleEndianHeight) {
      r.problem.failure = PictureFailure::kTooManyRows;
      return r;
    }
    r.spillsOverCell = image.width > kPropCellSize || image.height > kPropCellSize;
    r.size = r.pictureSize;
    indexed = nearestToPalette(image);
  }
  r.data = encodePropImage(indexed, false, false);
  if (r.data.empty()) r.problem.failure = PictureFailure::kCannotEncode;
  return r;
}

}  // namespace

PictureProp propFromPicture(const Path& picture, bool scale) {
  try {
    return propFromPictureOrThrow(picture, scale);
  } catch (const std::bad_alloc&) {
    // A large picture in a small address space (a 32-bit program): refused, and the next
    // one is read as if nothing had happened; every block taken for this one is freed.
    PictureProp r;
    r.problem.failure = PictureFailure::kOutOfMemory;
    return r;
  }
}

std::string propNameFromPath(const Path& picture) {
  std::string base = pathText(picture.filename());
  const size_t dot = base.find_last_of('.');
  if (dot != std::string::npos && dot > 0) base.resize(dot);
  if (base.size() > kPropNameMaxBytes) {
    size_t cut = kPropNameMaxBytes;
    while (cut > 0 && (uint8_t(base[cut]) & 0xC0) == 0x80) --cut;
    base.resize(cut);
  }
  return base;
}

ResEntry propEntry(uint32_t id, const Path& picture, std::vector<uint8_t> data) {
  ResEntry e;
  e.type = kPropResourceType;
  e.id = id;
  e.name = propNameFromPath(picture);
  e.hasName = !e.name.empty();
  e.data = std::move(data);
  return e;
}

}  // namespace pictures
