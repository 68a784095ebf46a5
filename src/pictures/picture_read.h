#pragma once
// Reading pictures (PNG, JPEG, BMP, GIF), on every platform alike, within limits that keep
// a hostile file from taking unbounded memory or time.
#include <cstdint>
#include <string>
#include <vector>

#include "pictures/picture_result.h"

namespace pictures {

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
// the right way up as its Exif orientation tells (as cameras and phones store it). False, with
// the problem, when the bytes are not in a format read here (kNotAPicture), are damaged
// (kDamaged), or hold a picture larger than the limits above or than maxPixels (kTooLarge);
// within them, one for which the memory cannot be had is kOutOfMemory (std::bad_alloc from
// the copies made here is the caller's: propFromPicture catches it);
// more bytes than kPictureMaxFileBytes are a kFile problem (kTooLarge, no path).
bool decodePicture(const std::vector<uint8_t>& bytes, RgbaImage* image, PictureProblem* problem,
                   int64_t maxPixels = kPictureMaxPixels);

// Whether an allocation of the image reader failed on this thread since the last call.
bool pictureReaderAllocationFailed();

// Reads a picture file as decodePicture does; a file that cannot be read is a kFile problem.
bool readPicture(const Path& path, RgbaImage* image, PictureProblem* problem);

}  // namespace pictures
