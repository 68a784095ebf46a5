#include "pictures/picture_to_palette.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>

#include "props/palette.h"

namespace pictures {

namespace {

// How one source pixel along an axis spreads over the (at most two) output pixels its span
// touches when `from` pixels become `to` (to <= from): weights in output-pixel units, so the
// weights that reach one output pixel add up to exactly 1.
struct Spread {
  int32_t first;
  double weightFirst;
  double weightNext;  // of first + 1; 0 when the span ends inside `first`
};

std::vector<Spread> spreadsAlong(int32_t from, int32_t to) {
  // Measured in 1/from of an output pixel, source pixel s covers [s * to, (s + 1) * to) and
  // output pixel o covers [o * from, (o + 1) * from): integers, so no rounding drifts.
  std::vector<Spread> spreads(static_cast<size_t>(from));
  for (int32_t s = 0; s < from; ++s) {
    const int64_t begin = int64_t(s) * to, end = begin + to;
    const int32_t o = int32_t(begin / from);
    const int64_t boundary = int64_t(o + 1) * from;
    const int64_t inFirst = std::min(end, boundary) - begin;
    spreads[size_t(s)] = {o, double(inFirst) / from, double(end - begin - inFirst) / from};
  }
  return spreads;
}

const std::array<float, 256>& linearTable() {
  static const std::array<float, 256> table = [] {
    std::array<float, 256> t{};
    for (int i = 0; i < 256; ++i) {
      const double c = i / 255.0;
      t[size_t(i)] = float(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return t;
  }();
  return table;
}

bool isOpaque(float alpha) { return std::lround(alpha * 255.0f) >= 128; }

}  // namespace

float srgbToLinear(uint8_t value) { return linearTable()[value]; }

uint8_t linearToSrgb(float value) {
  const double v = std::clamp(double(value), 0.0, 1.0);
  const double c = v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
  return uint8_t(std::lround(c * 255.0));
}

PictureSize fitToCell(int32_t width, int32_t height, int32_t cell) {
  if (width <= cell && height <= cell) return {width, height};
  // The longer side becomes `cell`; the shorter one is rounded to the nearest pixel.
  const int64_t longer = std::max(width, height), shorter = std::min(width, height);
  const int32_t scaled = int32_t(std::clamp<int64_t>((2 * shorter * cell + longer) / (2 * longer), 1, cell));
  return width >= height ? PictureSize{cell, scaled} : PictureSize{scaled, cell};
}

LinearImage scaleAreaAverage(const RgbaImage& picture, int32_t width, int32_t height) {
  LinearImage out;
  if (width < 1 || height < 1 || width > picture.width || height > picture.height) return out;
  const std::vector<Spread> across = spreadsAlong(picture.width, width);
  const std::vector<Spread> down = spreadsAlong(picture.height, height);
  const std::array<float, 256>& linear = linearTable();
  // Sums of alpha-weighted linear colour and of alpha, one source row at a time.
  std::vector<double> sums(size_t(width) * size_t(height) * 4, 0.0);
  std::vector<double> row(size_t(width) * 4);
  for (int32_t y = 0; y < picture.height; ++y) {
    std::fill(row.begin(), row.end(), 0.0);
    const uint8_t* px = &picture.pixels[size_t(y) * size_t(picture.width) * 4];
    for (int32_t x = 0; x < picture.width; ++x, px += 4) {
      if (px[3] == 0) continue;
      const double a = px[3] / 255.0;
      const double v[4] = {linear[px[0]] * a, linear[px[1]] * a, linear[px[2]] * a, a};
      const Spread& s = across[size_t(x)];
      double* first = &row[size_t(s.first) * 4];
      for (int c = 0; c < 4; ++c) first[c] += s.weightFirst * v[c];
      if (s.weightNext > 0)
        for (int c = 0; c < 4; ++c) first[4 + c] += s.weightNext * v[c];
    }
    const Spread& s = down[size_t(y)];
    double* target = &sums[size_t(s.first) * size_t(width) * 4];
    for (size_t i = 0; i < row.size(); ++i) target[i] += s.weightFirst * row[i];
    if (s.weightNext > 0)
      for (size_t i = 0; i < row.size(); ++i) target[row.size() + i] += s.weightNext * row[i];
  }
  out.width = width;
  out.height = height;
  out.pixels.resize(sums.size());
  for (size_t i = 0; i < sums.size(); i += 4) {
    const double a = sums[i + 3];
    for (int c = 0; c < 3; ++c) out.pixels[i + size_t(c)] = a > 1e-9 ? float(std::min(1.0, sums[i + size_t(c)] / a)) : 0.0f;
    out.pixels[i + 3] = float(std::min(1.0, a));
  }
  return out;
}

IndexedImage ditherToPalette(const LinearImage& image) {
  IndexedImage out(image.width, image.height);
  if (image.width < 1 || image.height < 1) return out;
  std::array<std::array<float, 3>, 256> paletteLinear{};
  for (size_t i = 0; i < 256; ++i)
    paletteLinear[i] = {srgbToLinear(paletteRed(propPalette[i])), srgbToLinear(paletteGreen(propPalette[i])),
                        srgbToLinear(paletteBlue(propPalette[i]))};
  std::unordered_map<uint32_t, uint8_t> nearestOf;
  auto opaque = [&](int32_t x, int32_t y) {
    return x >= 0 && x < image.width && y < image.height &&
           isOpaque(image.pixels[(size_t(y) * size_t(image.width) + size_t(x)) * 4 + 3]);
  };
  // The error still owed to each pixel of this row and the next, with one pixel of margin.
  const size_t stride = size_t(image.width) + 2;
  std::vector<float> owed(stride * 2 * 3, 0.0f);
  for (int32_t y = 0; y < image.height; ++y) {
    float* here = &owed[(size_t(y) % 2) * stride * 3];
    float* below = &owed[(size_t(y + 1) % 2) * stride * 3];
    std::fill(below, below + stride * 3, 0.0f);
    const int32_t step = y % 2 == 0 ? 1 : -1;  // serpentine: no drift to one side
    for (int32_t i = 0; i < image.width; ++i) {
      const int32_t x = step > 0 ? i : image.width - 1 - i;
      if (!opaque(x, y)) continue;
      const float* px = &image.pixels[(size_t(y) * size_t(image.width) + size_t(x)) * 4];
      float want[3];
      uint8_t srgb[3];
      for (int c = 0; c < 3; ++c) {
        want[c] = std::clamp(px[c] + here[(size_t(x) + 1) * 3 + size_t(c)], 0.0f, 1.0f);
        srgb[c] = linearToSrgb(want[c]);
      }
      const uint32_t key = srgb[0] | (srgb[1] << 8) | (srgb[2] << 16);
      auto found = nearestOf.find(key);
      if (found == nearestOf.end()) found = nearestOf.emplace(key, nearestPaletteIndex(srgb[0], srgb[1], srgb[2])).first;
      const uint8_t index = found->second;
      out.set(x, y, index);
      // The error goes to the opaque neighbours not yet mapped, in the usual 7/3/5/1 shares,
      // scaled up when some of them are transparent so that none of it is lost.
      struct Share {
        int32_t dx, dy;
        float weight;
      };
      const Share shares[4] = {{step, 0, 7.0f}, {-step, 1, 3.0f}, {0, 1, 5.0f}, {step, 1, 1.0f}};
      float total = 0.0f;
      for (const Share& s : shares) total += opaque(x + s.dx, y + s.dy) ? s.weight : 0.0f;
      if (total == 0.0f) continue;
      for (const Share& s : shares) {
        if (!opaque(x + s.dx, y + s.dy)) continue;
        float* target = (s.dy == 0 ? here : below) + (size_t(x + s.dx) + 1) * 3;
        for (int c = 0; c < 3; ++c) target[c] += (want[c] - paletteLinear[index][size_t(c)]) * s.weight / total;
      }
    }
  }
  return out;
}

IndexedImage nearestToPalette(const RgbaImage& picture) {
  IndexedImage out(picture.width, picture.height);
  std::unordered_map<uint32_t, uint8_t> nearestOf;
  for (size_t k = 0; k < out.pixels.size(); ++k) {
    const uint8_t* px = &picture.pixels[k * 4];
    if (px[3] < 128) continue;  // stays transparent
    const uint32_t key = px[0] | (px[1] << 8) | (px[2] << 16);
    auto found = nearestOf.find(key);
    if (found == nearestOf.end()) found = nearestOf.emplace(key, nearestPaletteIndex(px[0], px[1], px[2])).first;
    out.pixels[k] = found->second;
  }
  return out;
}

}  // namespace pictures
