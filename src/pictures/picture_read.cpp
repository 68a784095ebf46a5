#include "pictures/picture_read.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include <stb/stb_image.h>

#include "pictures/picture_files.h"

namespace pictures {

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

// True unless a PNG chunk before the end chunk claims more bytes than the file has left: the
// image library would first take memory for all it claims (up to 2 GB for a few bytes) and
// only then find the data missing.
bool pngChunksFit(const std::vector<uint8_t>& b) {
  size_t at = 8;
  while (at + 8 <= b.size()) {
    const uint64_t length = uint64_t(b[at]) << 24 | uint64_t(b[at + 1]) << 16 | uint64_t(b[at + 2]) << 8 | b[at + 3];
    if (length + 12 > b.size() - at) return false;
    if (std::memcmp(&b[at + 4], "IEND", 4) == 0) break;
    at += size_t(length) + 12;
  }
  return true;
}

// The orientation a JPEG's Exif block gives (1 to 8, as cameras write it: 6 is a picture
// to be turned a quarter clockwise), 1 when there is none. Every read stays inside the
// segment that holds the block.
int jpegExifOrientation(const std::vector<uint8_t>& b) {
  size_t at = 2;
  while (at + 4 <= b.size() && b[at] == 0xFF) {
    const uint8_t marker = b[at + 1];
    if (marker == 0xFF) {
      ++at;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) break;  // image data: the Exif block comes before it
    const size_t length = size_t(b[at + 2]) << 8 | b[at + 3];
    const size_t begin = at + 4, end = std::min(b.size(), at + 2 + length);
    if (length < 2) break;
    if (marker == 0xE1 && end >= begin + 14 && std::memcmp(&b[begin], "Exif\0\0", 6) == 0) {
      const size_t tiff = begin + 6;
      const bool little = b[tiff] == 'I' && b[tiff + 1] == 'I';
      if (!little && !(b[tiff] == 'M' && b[tiff + 1] == 'M')) return 1;
      auto u16 = [&](size_t p) -> uint32_t { return little ? b[p] | b[p + 1] << 8 : b[p] << 8 | b[p + 1]; };
      auto u32 = [&](size_t p) -> uint64_t { return little ? u16(p) | uint64_t(u16(p + 2)) << 16 : uint64_t(u16(p)) << 16 | u16(p + 2); };
      const uint64_t ifd = tiff + u32(tiff + 4);
      if (ifd + 2 > end) return 1;
      const uint32_t entries = u16(size_t(ifd));
      for (uint32_t i = 0; i < entries && ifd + 2 + 12 * (uint64_t(i) + 1) <= end; ++i) {
        const size_t entry = size_t(ifd + 2 + 12 * uint64_t(i));
        if (u16(entry) == 0x0112 && u16(entry + 2) == 3) {
          const uint32_t value = u16(entry + 8);
          return value >= 1 && value <= 8 ? int(value) : 1;
        }
      }
      return 1;
    }
    at = at + 2 + length;
  }
  return 1;
}

// The picture turned and mirrored as an Exif orientation asks, so it shows the right way up.
void orient(RgbaImage* image, int orientation) {
  if (orientation <= 1 || orientation > 8) return;
  const int32_t w = image->width, h = image->height;
  const bool swap = orientation >= 5;
  RgbaImage out;
  out.width = swap ? h : w;
  out.height = swap ? w : h;
  out.pixels.resize(image->pixels.size());
  for (int32_t y = 0; y < out.height; ++y)
    for (int32_t x = 0; x < out.width; ++x) {
      int32_t sx = x, sy = y;
      switch (orientation) {
        case 2: sx = w - 1 - x; break;
        case 3: sx = w - 1 - x; sy = h - 1 - y; break;
        case 4: sy = h - 1 - y; break;
        case 5: sx = y; sy = x; break;
        case 6: sx = y; sy = h - 1 - x; break;
        case 7: sx = w - 1 - y; sy = h - 1 - x; break;
        case 8: sx = w - 1 - y; sy = x; break;
      }
      std::memcpy(&out.pixels[(size_t(y) * size_t(out.width) + size_t(x)) * 4],
                  &image->pixels[(size_t(sy) * size_t(w) + size_t(sx)) * 4], 4);
    }
  *image = std::move(out);
}

bool refuse(PictureProblem* problem, PictureFailure failure, const char* format = "", std::string detail = "") {
  problem->failure = failure;
  problem->format = format;
  problem->detail = std::move(detail);
  return false;
}

}  // namespace

bool decodePicture(const std::vector<uint8_t>& bytes, RgbaImage* image, PictureProblem* problem,
                   int64_t maxPixels) {
  *problem = PictureProblem{};
  const char* format = formatOf(bytes);
  if (!format) return refuse(problem, PictureFailure::kNotAPicture);
  if (bytes.size() > kPictureMaxFileBytes || bytes.size() > size_t(INT32_MAX)) {
    problem->file = FileProblem{FileFailure::kTooLarge, Path(), "", kPictureMaxFileBytes};
    return refuse(problem, PictureFailure::kFile);
  }
  if (format == std::string("PNG") && !pngChunksFit(bytes))
    return refuse(problem, PictureFailure::kDamaged, format, "a chunk runs past the end of the file");
  if (format == std::string("JPEG") && !jpegHuffmanTablesFit(bytes))
    return refuse(problem, PictureFailure::kDamaged, format, "a Huffman table with more than 256 codes");
  const int length = int(bytes.size());
  int width = 0, height = 0, channels = 0;
  if (!stbi_info_from_memory(bytes.data(), length, &width, &height, &channels))
    return refuse(problem, PictureFailure::kDamaged, format, stbi_failure_reason());
  // Refused before any pixel memory is taken. A header that claims no pixels (as a cut GIF
  // may) is damaged, not too large.
  problem->width = width;
  problem->height = height;
  problem->limitPixels = std::min(maxPixels, kPictureMaxPixels);
  if (width < 1 || height < 1)
    return refuse(problem, PictureFailure::kDamaged, format,
                  std::to_string(width) + "x" + std::to_string(height) + " pixels");
  if (width > kPictureMaxSide || height > kPictureMaxSide || int64_t(width) * height > problem->limitPixels)
    return refuse(problem, PictureFailure::kTooLarge, format);
  pictureReaderAllocationFailed();
  stbi_uc* pixels = stbi_load_from_memory(bytes.data(), length, &width, &height, &channels, 4);
  if (!pixels && pictureReaderAllocationFailed()) return refuse(problem, PictureFailure::kOutOfMemory, format);
  if (!pixels) return refuse(problem, PictureFailure::kDamaged, format, stbi_failure_reason());
  // The reader's block is freed however the copy ends (it may find no memory).
  std::unique_ptr<stbi_uc, void (*)(void*)> owned(pixels, stbi_image_free);
  image->width = width;
  image->height = height;
  image->pixels.assign(pixels, pixels + size_t(width) * size_t(height) * 4);
  owned.reset();
  if (format == std::string("JPEG")) orient(image, jpegExifOrientation(bytes));
  problem->format = format;
  return true;
}

bool readPicture(const Path& path, RgbaImage* image, PictureProblem* problem) {
  std::vector<uint8_t> bytes;
  *problem = PictureProblem{};
  if (!readWholeFile(path, kPictureMaxFileBytes, &bytes, &problem->file))
    return refuse(problem, PictureFailure::kFile);
  if (decodePicture(bytes, image, problem)) return true;
  if (problem->file.failure != FileFailure::kNone) problem->file.path = path;
  return false;
}

}  // namespace pictures
