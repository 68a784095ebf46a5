#include "proptool/png_io.h"

#include <png.h>

#include <cstring>

namespace proptool {

namespace {

bool beginRead(const std::string& path, png_image* image, std::string* error) {
  std::memset(image, 0, sizeof *image);
  image->version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(image, path.c_str())) {
    if (error) *error = path + ": not a readable PNG (" + image->message + ")";
    png_image_free(image);
    return false;
  }
  return true;
}

}  // namespace

bool pngSize(const std::string& path, int32_t* width, int32_t* height, std::string* error) {
  png_image image;
  if (!beginRead(path, &image, error)) return false;
  *width = int32_t(image.width);
  *height = int32_t(image.height);
  png_image_free(&image);
  return true;
}

bool readPng(const std::string& path, int32_t maxWidth, int32_t maxHeight, RgbaImage* out, std::string* error) {
  png_image image;
  if (!beginRead(path, &image, error)) return false;
  if (image.width > uint32_t(maxWidth) || image.height > uint32_t(maxHeight)) {
    if (error)
      *error = path + ": " + std::to_string(image.width) + "x" + std::to_string(image.height) +
               " is larger than " + std::to_string(maxWidth) + "x" + std::to_string(maxHeight);
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    if (error) *error = path + ": damaged PNG (" + image.message + ")";
    png_image_free(&image);
    return false;
  }
  out->width = int32_t(image.width);
  out->height = int32_t(image.height);
  out->pixels.swap(pixels);
  return true;
}

bool writePng(const std::string& path, int32_t width, int32_t height, const uint8_t* pixels, std::string* error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(width);
  image.height = png_uint_32(height);
  image.format = PNG_FORMAT_RGBA;
  if (!png_image_write_to_file(&image, path.c_str(), 0, pixels, 0, nullptr)) {
    if (error) *error = "cannot write " + path + " (" + image.message + ")";
    png_image_free(&image);
    return false;
  }
  return true;
}

}  // namespace proptool
