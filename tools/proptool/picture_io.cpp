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

// stb_image 2.27 (Debian 12's) writes past its Huffman tables when a JPEG table lists more
// than 256 codes, so such a file is refused before the library sees it. The walk reads
// markers as the library does (junk up to a 0xFF, fill bytes, the marker; a segment's
// length; entropy-coded data passed over byte by byte), so every table the library would
// build, in its header reading or between scans, is checked here first.
bool jpegHuffmanTablesFit(const std::vector<uint8_t>& b) {
  size_t at = 0;
  auto get8 = [&]() -> uint32_t { return at < b.size() ? b[at++] : (++at, 0u); };
  while (at < b.size()) {
    if (get8() != 0xFF) continue;
    uint32_t marker = 0xFF;
    while (marker == 0xFF && at < b.size()) marker = get8();
    if (marker == 0xD9) return true;  // end of image: nothing after it is read
    if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue;  // no segment
    const size_t start = at;
    const uint32_t high = get8();
    const int64_t length = int64_t((high << 8) | get8());
    if (marker != 0xC4) {
      at = start + size_t(length);
      continue;
    }
    for (int64_t left = length - 2; left > 0;) {
      const uint32_t classAndSlot = get8();
      if ((classAndSlot >> 4) > 1 || (classAndSlot & 15) > 3) return true;  // refused by the library
      uint32_t codes = 0;
      for (int i = 0; i < 16; ++i) codes += get8();
      if (codes > 256) return false;
      at += codes;
      left -= 17 + int64_t(codes);
      if (left < 0) return true;  // refused by the library
    }
  }
  return true;
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
  if (format == std::string("JPEG") && !jpegHuffmanTablesFit(bytes)) {
    *error = name + ": damaged JPEG (a Huffman table with more than 256 codes)";
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
