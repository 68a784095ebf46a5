#pragma once
// Reading pictures (PNG, JPEG, BMP, GIF) and writing PNG images, on every platform alike.
#include <cstdint>
#include <string>
#include <vector>

namespace proptool {

struct RgbaImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;  // width * height * 4, bytes R, G, B, A, top row first
};

// The largest picture read: a side of at most this many pixels ...
constexpr int32_t kPictureMaxSide = 30000;
// ... at most this many pixels in all (400 MB as RGBA) ...
constexpr int64_t kPictureMaxPixels = 100000000;
// ... from a file of at most this many bytes.
constexpr size_t kPictureMaxFileBytes = size_t(256) << 20;

// Reads a PNG, JPEG, BMP or GIF (its first frame) from memory as 8-bit RGBA, a JPEG turned
// the right way up as its Exif orientation tells (as cameras and phones store it). `name` is only
// used in the message that `error` receives on failure, one line: the picture is not in a
// format read here, is damaged, or is larger than the limits above (or than maxPixels).
bool decodePicture(const std::string& name, const std::vector<uint8_t>& bytes, RgbaImage* image, std::string* error,
                   int64_t maxPixels = kPictureMaxPixels);

// Reads a picture file (a UTF-8 path) as decodePicture does.
bool readPicture(const std::string& path, RgbaImage* image, std::string* error);

// Writes `pixels` (width * height * 4 bytes) as an RGBA PNG, every byte as given.
bool writePng(const std::string& path, int32_t width, int32_t height, const uint8_t* pixels, std::string* error);

// The PNG file bytes of such pixels; empty when they cannot be encoded.
std::vector<uint8_t> encodePng(int32_t width, int32_t height, const uint8_t* pixels);

}  // namespace proptool
