#include "proptool/sample_props.h"

#include <cmath>
#include <string>
#include <unordered_set>

#include "props/prop_atlas.h"

namespace proptool {

using pictures::encodePropImage;
using pictures::IndexedImage;
using pictures::kTransparent;
using pictures::nearestPaletteIndex;

namespace {

constexpr double kPi = 3.14159265358979323846;  // M_PI is not in strict ISO C++

// A small generator of its own, so sample files do not depend on the saver's random state.
struct Dice {
  uint32_t state;
  explicit Dice(uint32_t seed) : state(seed * 2654435761u + 0x9E3779B9u) { next(); }
  uint32_t next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  int32_t range(int32_t lo, int32_t hi) { return lo + int32_t(next() % uint32_t(hi - lo + 1)); }
  double unit() { return double(next() % 1000000u) / 1000000.0; }
};

struct Colour {
  const char* name;
  uint8_t light[3];
  uint8_t fill[3];
  uint8_t dark[3];
};

// Light, fill and shadow tones; each maps to its nearest palette entry.
const Colour kColours[] = {
    {"Red", {0xFF, 0x99, 0x99}, {0xFF, 0x33, 0x33}, {0x99, 0x00, 0x00}},
    {"Orange", {0xFF, 0xDF, 0x99}, {0xFF, 0x9F, 0x00}, {0xCC, 0x5F, 0x00}},
    {"Yellow", {0xFF, 0xFF, 0xAA}, {0xFF, 0xDF, 0x00}, {0xCC, 0x9F, 0x00}},
    {"Lime", {0xCC, 0xFF, 0xAA}, {0x66, 0xDF, 0x00}, {0x33, 0x7F, 0x00}},
    {"Green", {0x99, 0xDF, 0x99}, {0x00, 0x9F, 0x55}, {0x00, 0x5F, 0x00}},
    {"Teal", {0x99, 0xFF, 0xFF}, {0x00, 0xBF, 0xAA}, {0x00, 0x5F, 0x55}},
    {"Sky", {0xCC, 0xFF, 0xFF}, {0x33, 0xBF, 0xFF}, {0x00, 0x5F, 0xAA}},
    {"Blue", {0x99, 0xBF, 0xFF}, {0x33, 0x5F, 0xFF}, {0x00, 0x1F, 0x99}},
    {"Violet", {0xCC, 0x9F, 0xFF}, {0x99, 0x3F, 0xFF}, {0x55, 0x00, 0x99}},
    {"Pink", {0xFF, 0xDF, 0xFF}, {0xFF, 0x7F, 0xCC}, {0xCC, 0x1F, 0x66}},
    {"Silver", {0xFF, 0xFF, 0xFF}, {0xBB, 0xBB, 0xBB}, {0x66, 0x66, 0x66}},
    {"Gold", {0xFF, 0xFF, 0x99}, {0xFF, 0xBF, 0x00}, {0x99, 0x5F, 0x00}},
};
constexpr int kColourCount = int(sizeof kColours / sizeof kColours[0]);

struct Tones {
  int16_t light, fill, dark, outline, white, black;
};

int16_t nearest(const uint8_t* c) { return nearestPaletteIndex(c[0], c[1], c[2]); }

Tones tonesOf(const Colour& c) {
  const uint8_t outline[3] = {0x22, 0x22, 0x22};
  return {nearest(c.light), nearest(c.fill), nearest(c.dark), nearest(outline), 0, 229};
}

// 5 by 7 capitals, one byte per row, bit 4 the leftmost column.
const uint8_t kGlyphs[26][7] = {
    {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}, {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E},
    {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}, {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E},
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}, {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10},
    {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}, {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11},
    {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}, {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C},
    {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}, {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F},
    {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}, {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11},
    {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}, {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10},
    {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}, {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11},
    {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}, {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04},
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}, {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04},
    {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}, {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11},
    {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F},
};

struct Point {
  double x, y;
};

bool insidePolygon(const std::vector<Point>& poly, double x, double y) {
  bool inside = false;
  for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
    if ((poly[i].y > y) != (poly[j].y > y) &&
        x < (poly[j].x - poly[i].x) * (y - poly[i].y) / (poly[j].y - poly[i].y) + poly[i].x)
      inside = !inside;
  }
  return inside;
}

// Pixel centres relative to the picture's centre, in units of its half size.
template <typename Inside>
void fill(IndexedImage& img, int16_t colour, Inside inside) {
  const double cx = img.width / 2.0, cy = img.height / 2.0, half = std::min(img.width, img.height) / 2.0;
  for (int32_t y = 0; y < img.height; ++y)
    for (int32_t x = 0; x < img.width; ++x)
      if (inside((x + 0.5 - cx) / half, (y + 0.5 - cy) / half)) img.set(x, y, colour);
}

// Shades the painted pixels like a ball lit from the top left.
void shade(IndexedImage& img, const Tones& t, double lightX, double lightY) {
  const double cx = img.width / 2.0, cy = img.height / 2.0, half = std::min(img.width, img.height) / 2.0;
  for (int32_t y = 0; y < img.height; ++y)
    for (int32_t x = 0; x < img.width; ++x) {
      if (img.at(x, y) == kTransparent) continue;
      const double dx = (x + 0.5 - cx) / half - lightX, dy = (y + 0.5 - cy) / half - lightY;
      const double d = std::sqrt(dx * dx + dy * dy);
      img.set(x, y, d < 0.35 ? t.light : d < 1.15 ? t.fill : t.dark);
    }
}

// Every painted pixel with a transparent neighbour (or on the border) becomes the outline.
void outline(IndexedImage& img, int16_t colour) {
  IndexedImage copy = img;
  auto clear = [&](int32_t x, int32_t y) {
    return x < 0 || y < 0 || x >= copy.width || y >= copy.height || copy.at(x, y) == kTransparent;
  };
  for (int32_t y = 0; y < img.height; ++y)
    for (int32_t x = 0; x < img.width; ++x)
      if (!clear(x, y) && (clear(x - 1, y) || clear(x + 1, y) || clear(x, y - 1) || clear(x, y + 1)))
        img.set(x, y, colour);
}

std::vector<Point> starPolygon(int points, double inner, double turn) {
  std::vector<Point> poly;
  for (int i = 0; i < 2 * points; ++i) {
    const double a = turn + kPi * i / points - kPi / 2;
    const double r = (i % 2 == 0) ? 0.97 : inner;
    poly.push_back({r * std::cos(a), r * std::sin(a)});
  }
  return poly;
}

void drawBall(IndexedImage& img, const Tones& t) {
  fill(img, t.fill, [](double x, double y) { return x * x + y * y < 0.95; });
  shade(img, t, -0.35, -0.35);
  outline(img, t.outline);
}

void drawStar(IndexedImage& img, const Tones& t, Dice& dice) {
  const int points = dice.range(5, 7);
  const auto poly = starPolygon(points, 0.38 + 0.12 * dice.unit(), dice.unit() * 0.3);
  fill(img, t.fill, [&](double x, double y) { return insidePolygon(poly, x, y); });
  shade(img, t, -0.25, -0.3);
  outline(img, t.outline);
}

void drawFace(IndexedImage& img, const Tones& t, Dice& dice, const char** mood) {
  static const char* kMoods[] = {"Smile", "Grin", "Wink", "Oh", "Frown", "Cool"};
  const int m = dice.range(0, 5);
  *mood = kMoods[m];
  fill(img, t.fill, [](double x, double y) { return x * x + y * y < 0.95; });
  shade(img, t, -0.4, -0.45);
  outline(img, t.outline);
  const int16_t ink = t.outline;
  auto eye = [&](double ex) {
    if (m == 5) {  // sunglasses
      fill(img, t.black, [&](double x, double y) {
        return std::fabs(y + 0.2) < 0.16 && std::fabs(x - ex) < 0.28;
      });
    } else if (m == 2 && ex > 0) {  // the winking eye
      fill(img, ink, [&](double x, double y) { return std::fabs(y + 0.22) < 0.06 && std::fabs(x - ex) < 0.16; });
    } else {
      fill(img, ink, [&](double x, double y) {
        const double dx = (x - ex) / 0.11, dy = (y + 0.25) / 0.18;
        return dx * dx + dy * dy < 1.0;
      });
    }
  };
  eye(-0.33);
  eye(0.33);
  if (m == 5) fill(img, t.black, [](double x, double y) { return std::fabs(y + 0.24) < 0.04 && std::fabs(x) < 0.3; });
  if (m == 3) {
    fill(img, ink, [](double x, double y) {
      const double r = x * x / 0.04 + (y - 0.4) * (y - 0.4) / 0.06;
      return r < 1.0;
    });
  } else if (m == 4) {
    fill(img, ink, [](double x, double y) {
      const double d = std::sqrt(x * x + (y - 0.85) * (y - 0.85));
      return d > 0.42 && d < 0.52 && y < 0.55;
    });
  } else {
    const double width = (m == 1) ? 0.16 : 0.09;
    fill(img, ink, [&](double x, double y) {
      const double d = std::sqrt(x * x + (y + 0.05) * (y + 0.05));
      return d > 0.55 - width && d < 0.6 && y > 0.2;
    });
  }
}

void drawHeart(IndexedImage& img, const Tones& t) {
  fill(img, t.fill, [](double x, double y) {
    const double hx = x * 1.15, hy = -(y * 1.15) + 0.25;
    const double a = hx * hx + hy * hy - 0.55;
    return a * a * a - hx * hx * hy * hy * hy < 0;
  });
  shade(img, t, -0.35, -0.4);
  outline(img, t.outline);
}

void drawGem(IndexedImage& img, const Tones& t) {
  const std::vector<Point> poly = {{-0.95, -0.3}, {-0.5, -0.85}, {0.5, -0.85}, {0.95, -0.3}, {0, 0.95}};
  fill(img, t.fill, [&](double x, double y) { return insidePolygon(poly, x, y); });
  fill(img, t.light, [&](double x, double y) { return insidePolygon(poly, x, y) && y < -0.3 && x < 0.1; });
  fill(img, t.dark, [&](double x, double y) { return insidePolygon(poly, x, y) && y > -0.3 && x > 0.15; });
  fill(img, t.white, [](double x, double y) { return std::fabs(x + 0.45) < 0.1 && std::fabs(y + 0.55) < 0.1; });
  outline(img, t.outline);
}

void drawRing(IndexedImage& img, const Tones& t) {
  fill(img, t.fill, [](double x, double y) {
    const double r = x * x + y * y;
    return r < 0.95 && r > 0.28;
  });
  shade(img, t, -0.45, -0.45);
  outline(img, t.outline);
}

void drawFlower(IndexedImage& img, const Tones& t, const Tones& centre, Dice& dice) {
  const int petals = dice.range(5, 8);
  const double turn = dice.unit();
  fill(img, t.fill, [&](double x, double y) {
    for (int i = 0; i < petals; ++i) {
      const double a = turn + 2 * kPi * i / petals;
      const double px = 0.55 * std::cos(a), py = 0.55 * std::sin(a);
      if ((x - px) * (x - px) + (y - py) * (y - py) < 0.17) return true;
    }
    return false;
  });
  shade(img, t, -0.3, -0.3);
  fill(img, centre.fill, [](double x, double y) { return x * x + y * y < 0.12; });
  outline(img, t.outline);
}

void drawMoon(IndexedImage& img, const Tones& t) {
  fill(img, t.fill, [](double x, double y) {
    return x * x + y * y < 0.92 && (x - 0.42) * (x - 0.42) + (y + 0.2) * (y + 0.2) > 0.5;
  });
  shade(img, t, -0.6, -0.2);
  outline(img, t.outline);
}

void drawLetter(IndexedImage& img, const Tones& tile, const Tones& ink, int letter) {
  fill(img, tile.fill, [](double x, double y) {
    const double ax = std::max(std::fabs(x) - 0.7, 0.0), ay = std::max(std::fabs(y) - 0.7, 0.0);
    return ax * ax + ay * ay < 0.25 * 0.25 * 0.95;
  });
  shade(img, tile, -0.7, -0.7);
  outline(img, tile.outline);
  const int32_t scale = std::max(1, int32_t(std::min(img.width, img.height) * 0.62 / 7));
  const int32_t left = (img.width - 5 * scale) / 2, top = (img.height - 7 * scale) / 2;
  IndexedImage glyph(img.width, img.height);
  for (int row = 0; row < 7; ++row)
    for (int col = 0; col < 5; ++col)
      if (kGlyphs[letter][row] & (0x10 >> col))
        for (int32_t dy = 0; dy < scale; ++dy)
          for (int32_t dx = 0; dx < scale; ++dx) glyph.set(left + col * scale + dx, top + row * scale + dy, ink.light);
  // The letter in the ink's light tone with a dark rim, so it reads on any tile.
  for (int32_t y = 0; y < img.height; ++y)
    for (int32_t x = 0; x < img.width; ++x) {
      if (glyph.at(x, y) != kTransparent) {
        img.set(x, y, glyph.at(x, y));
        continue;
      }
      bool rim = false;
      for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx) {
          const int32_t nx = x + dx, ny = y + dy;
          rim = rim || (nx >= 0 && ny >= 0 && nx < img.width && ny < img.height && glyph.at(nx, ny) != kTransparent);
        }
      if (rim) img.set(x, y, ink.dark);
    }
}

}  // namespace

SampleProp drawSampleProp(uint32_t index, uint32_t variant) {
  Dice dice(index * 7919u + variant * 104729u + 1u);
  const int colourIndex = dice.range(0, kColourCount - 1);
  const Colour& colour = kColours[colourIndex];
  const Tones tones = tonesOf(colour);
  const Tones other = tonesOf(kColours[(colourIndex + dice.range(3, kColourCount - 3)) % kColourCount]);
  const int32_t size = dice.range(26, 44);
  SampleProp prop;
  prop.image = IndexedImage(size, size);
  std::string name;
  // Kinds cycle so that any run of sample props mixes them.
  switch (index % 9) {
    case 0: {
      const char* mood = "";
      drawFace(prop.image, tonesOf(kColours[(index / 9) % 2 == 0 ? 2 : colourIndex]), dice, &mood);
      name = std::string(mood) + " Face";
      break;
    }
    case 1: drawStar(prop.image, tones, dice); name = std::string(colour.name) + " Star"; break;
    case 2: {
      const int letter = dice.range(0, 25);
      drawLetter(prop.image, tones, other, letter);
      name = std::string("Letter ") + char('A' + letter);
      break;
    }
    case 3: drawBall(prop.image, tones); name = std::string(colour.name) + " Ball"; break;
    case 4: drawHeart(prop.image, tones); name = std::string(colour.name) + " Heart"; break;
    case 5: drawGem(prop.image, tones); name = std::string(colour.name) + " Gem"; break;
    case 6: drawFlower(prop.image, tones, other, dice); name = std::string(colour.name) + " Flower"; break;
    case 7: drawRing(prop.image, tones); name = std::string(colour.name) + " Ring"; break;
    default: drawMoon(prop.image, tones); name = std::string(colour.name) + " Moon"; break;
  }
  prop.name = name + " " + std::to_string(index + 1);
  if (prop.name.size() > 31) prop.name.resize(31);
  return prop;
}

std::vector<ResEntry> makeSampleProps(int32_t count) {
  std::vector<ResEntry> entries;
  if (count <= 0) return entries;
  std::unordered_set<std::string> seen;
  uint32_t lowIds = 0;
  for (int32_t i = 0; i < count; ++i) {
    const bool translucent = i % 5 == 3;
    const bool bigEndian = i % 4 == 1;
    // Redraw a picture that came out the same as an earlier one.
    SampleProp prop = drawSampleProp(uint32_t(i), 0);
    for (uint32_t variant = 1; variant < 16; ++variant) {
      std::string key = std::to_string(prop.image.width) + ":";
      for (int16_t px : prop.image.pixels) {
        key.push_back(char(px & 0xFF));
        key.push_back(char(px >> 8));
      }
      if (seen.insert(key).second) break;
      prop = drawSampleProp(uint32_t(i), variant);
    }
    ResEntry e;
    e.type = kPropResourceType;
    const uint32_t lowSpan = kPropInvertedIdLimit - 100;
    if (i % 16 == 7 && lowIds < lowSpan) {
      e.id = 100 + lowIds++;
    } else {
      e.id = kPropInvertedIdLimit + uint32_t(i);
    }
    e.hasName = true;
    e.name = prop.name;
    e.data = encodePropImage(prop.image, translucent, bigEndian);
    entries.push_back(std::move(e));
  }
  return entries;
}

}  // namespace proptool
