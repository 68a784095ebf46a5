#pragma once
// Reading and writing 8-bit RGBA PNG images (libpng).
#include <cstdint>
#include <string>
#include <vector>

namespace proptool {

struct RgbaImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;  // width * height * 4, bytes R, G, B, A, top row first
};

// Reads a PNG converted to 8-bit RGBA. Images with more than maxWidth columns or maxHeight
// rows are refused before their pixels are read. False with a message in `error` on failure.
bool readPng(const std::string& path, int32_t maxWidth, int32_t maxHeight, RgbaImage* image, std::string* error);

// Writes `pixels` (width * height * 4 bytes) as an RGBA PNG, every byte as given.
bool writePng(const std::string& path, int32_t width, int32_t height, const uint8_t* pixels, std::string* error);

// The size of a PNG without reading its pixels; false when it is not a readable PNG.
bool pngSize(const std::string& path, int32_t* width, int32_t* height, std::string* error);

}  // namespace proptool
