#pragma once
// Pictures for tests, drawn here: RGBA images from a paint function, and their PNG, JPEG,
// BMP and GIF files.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include <stb/stb_image_write.h>

#include "pictures/picture_read.h"

namespace proptest {

struct Rgba {
  uint8_t r, g, b, a;
};

inline pictures::RgbaImage draw(int32_t width, int32_t height, const std::function<Rgba(int32_t, int32_t)>& paint) {
  pictures::RgbaImage image;
  image.width = width;
  image.height = height;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const Rgba p = paint(x, y);
      image.pixels.insert(image.pixels.end(), {p.r, p.g, p.b, p.a});
    }
  return image;
}

inline void appendTo(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

inline std::vector<uint8_t> asPng(const pictures::RgbaImage& i) {
  std::vector<uint8_t> out;
  stbi_write_png_to_func(appendTo, &out, i.width, i.height, 4, i.pixels.data(), i.width * 4);
  return out;
}
inline std::vector<uint8_t> asJpeg(const pictures::RgbaImage& i) {
  std::vector<uint8_t> out;
  stbi_write_jpg_to_func(appendTo, &out, i.width, i.height, 4, i.pixels.data(), 95);
  return out;
}
inline std::vector<uint8_t> asBmp(const pictures::RgbaImage& i) {
  std::vector<uint8_t> out;
  stbi_write_bmp_to_func(appendTo, &out, i.width, i.height, 4, i.pixels.data());
  return out;
}

// A GIF of frames of indices into a palette of at most four colours. Each pixel's code
// follows a clear code, so every code is 3 bits wide and no compression table is built.
inline std::vector<uint8_t> asGif(int32_t width, int32_t height, const std::vector<Rgba>& colours,
                                  const std::vector<std::vector<uint8_t>>& frames) {
  std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a', uint8_t(width), uint8_t(width >> 8), uint8_t(height),
                              uint8_t(height >> 8), 0xF1, 0, 0};
  for (size_t i = 0; i < 4; ++i) {
    const Rgba c = i < colours.size() ? colours[i] : Rgba{0, 0, 0, 0};
    out.insert(out.end(), {c.r, c.g, c.b});
  }
  for (const auto& frame : frames) {
    out.insert(out.end(), {0x2C, 0, 0, 0, 0, uint8_t(width), uint8_t(width >> 8), uint8_t(height),
                           uint8_t(height >> 8), 0, 2});
    std::vector<uint8_t> packed;
    uint32_t bits = 0, count = 0;
    auto put = [&](uint32_t code) {
      bits |= code << count;
      count += 3;
      while (count >= 8) {
        packed.push_back(uint8_t(bits));
        bits >>= 8;
        count -= 8;
      }
    };
    for (uint8_t index : frame) {
      put(4);  // clear
      put(index);
    }
    put(5);  // end
    if (count) packed.push_back(uint8_t(bits));
    for (size_t at = 0; at < packed.size(); at += 255) {
      const size_t n = std::min<size_t>(255, packed.size() - at);
      out.push_back(uint8_t(n));
      out.insert(out.end(), packed.begin() + long(at), packed.begin() + long(at + n));
    }
    out.push_back(0);
  }
  out.push_back(0x3B);
  return out;
}

}  // namespace proptest
