#pragma once
// Any picture to palette indices: scaled down to fit the atlas cell with an area-averaging filter in
// linear light, then mapped to the palette with error diffusion.
#include <cstdint>
#include <vector>

#include "pictures/picture_read.h"
#include "pictures/prop_encoder.h"

namespace pictures {

struct PictureSize {
  int32_t width;
  int32_t height;
};

// The size a picture is scaled to: unchanged when it fits a `cell` by `cell` square, else
// the largest size that fits with the aspect ratio kept (each side at least 1 pixel).
PictureSize fitToCell(int32_t width, int32_t height, int32_t cell);

// A picture in linear light: per pixel red, green, blue (not premultiplied) and alpha, 0 to 1.
struct LinearImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<float> pixels;  // width * height * 4
};

// Scales a picture to width x height (each no larger than the picture's; the same size gives
// the picture itself in linear light) by averaging every source pixel over the area it
// covers, in linear light and weighted by alpha, so that transparent pixels lend no colour
// to their neighbours.
LinearImage scaleAreaAverage(const RgbaImage& picture, int32_t width, int32_t height);

// Maps to palette indices with Floyd-Steinberg error diffusion in linear light (serpentine
// rows; the colour chosen is the palette's nearest to the wanted one in sRGB). Pixels with
// alpha below 128/255 stay transparent and neither take nor pass on error.
IndexedImage ditherToPalette(const LinearImage& image);

// Maps each pixel to its nearest palette colour on its own (alpha below 128 transparent).
IndexedImage nearestToPalette(const RgbaImage& picture);

float srgbToLinear(uint8_t value);
uint8_t linearToSrgb(float value);

}  // namespace pictures
