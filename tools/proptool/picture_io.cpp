#include "proptool/picture_io.h"

#include <cstring>

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include "proptool/file_access.h"
#include "proptool/resource_writer.h"

namespace proptool {

namespace {

// The format a file's first bytes announce, or null.
const char* formatOf(const std::vector<uint8_t>& b) {
  auto starts = [&](const char* magic, size_t n) { return b.size() >= n && std::memcmp(b.data(), magic, n) == 0; };
  if (starts("\x89PNG\r\n\x1a\n", 8)) return "PNG";
  if (starts("\xFF\xD8\xFF", 3)) return "JPEG";
  if (starts("BM", 2)) return "BMP";
  if (starts("GIF87a", 6) || starts("GIF89a", 6)) return "GIF";
  return nullptr;
}

void appendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  const uint8_t* p = static_cast<const uint8_t*>(data);
  out->insert(out->end(), p, p + size);
}

}  // namespace

bool decodePicture(const std::string& name, const std::vector<uint8_t>& bytes, RgbaImage* image, std::string* error) {
  const char* format = formatOf(bytes);
  if (!format) {
    *error = name + ": not a picture proptool reads (PNG, JPEG, BMP or GIF)";
    return false;
  }
  if (bytes.size() > kPictureMaxFileBytes || bytes.size() > size_t(INT32_MAX)) {
    *error = name + ": larger than " + std::to_string(kPictureMaxFileBytes >> 20) + " MB";
    return false;
  }
  const int length = int(bytes.size());
  int width = 0, height = 0, channels = 0;
  if (!stbi_info_from_memory(bytes.data(), length, &width, &height, &channels)) {
    *error = name + ": damaged " + format + " (" + stbi_failure_reason() + ")";
    return false;
  }
  // Refused before any pixel memory is taken.
  if (width < 1 || height < 1 || width > kPictureMaxSide || height > kPictureMaxSide ||
      int64_t(width) * height > kPictureMaxPixels) {
    *error = name + ": " + std::to_string(width) + "x" + std::to_string(height) + " is larger than proptool reads (" +
             std::to_string(kPictureMaxPixels / 1000000) + " megapixels, " + std::to_string(kPictureMaxSide) +
             " pixels a side)";
    return false;
  }
  stbi_uc* pixels = stbi_load_from_memory(bytes.data(), length, &width, &height, &channels, 4);
  if (!pixels) {
    *error = name + ": damaged " + format + " (" + stbi_failure_reason() + ")";
    return false;
  }
  image->width = width;
  image->height = height;
  image->pixels.assign(pixels, pixels + size_t(width) * size_t(height) * 4);
  stbi_image_free(pixels);
  return true;
}

bool readPicture(const std::string& path, RgbaImage* image, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!readWholeFile(path, kPictureMaxFileBytes, &bytes, error)) return false;
  return decodePicture(path, bytes, image, error);
}

std::vector<uint8_t> encodePng(int32_t width, int32_t height, const uint8_t* pixels) {
  std::vector<uint8_t> out;
  if (width < 1 || height < 1 || int64_t(width) * 4 > INT32_MAX) return out;
  if (!stbi_write_png_to_func(appendBytes, &out, width, height, 4, pixels, width * 4)) out.clear();
  return out;
}

bool writePng(const std::string& path, int32_t width, int32_t height, const uint8_t* pixels, std::string* error) {
  const std::vector<uint8_t> png = encodePng(width, height, pixels);
  if (png.empty()) {
    if (error) *error = "cannot write " + path + " (cannot encode " + std::to_string(width) + "x" +
                        std::to_string(height) + " pixels)";
    return false;
  }
  return writeWholeFile(path, png, error);
}

}  // namespace proptool
