#include "props/palette.h"

namespace {

constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

constexpr uint8_t kGreens[9] = {0xFF, 0xDF, 0xBF, 0x9F, 0x7F, 0x5F, 0x3F, 0x1F, 0x00};
constexpr uint8_t kReds[6] = {0xFF, 0xCC, 0x99, 0x66, 0x33, 0x00};

// Entry j (0..53) of the colour block for one blue level: the six reds for each green in turn.
constexpr uint32_t blockEntry(int j, uint32_t blue) { return rgb(kReds[j % 6], kGreens[j / 6], blue); }

struct Builder {
  std::array<uint32_t, 256> table{};
  int next = 0;
  constexpr void block(uint32_t blue, int first, int last) {
    for (int j = first; j <= last; ++j) table[next++] = blockEntry(j, blue);
  }
  constexpr void grey(uint32_t v) { table[next++] = rgb(v, v, v); }
};

// The palette is four colour blocks (blue FF, AA, 55, 00) with greys between and
// after them; the two middle blocks are split around one grey each.
constexpr std::array<uint32_t, 256> makePropPalette() {
  Builder b;
  b.block(0xFF, 0, 53);  // 0..53
  for (uint32_t v : {0xEE, 0xDD, 0xCC, 0xBB}) b.grey(v);  // 54..57
  b.block(0xAA, 0, 17);  // 58..75
  b.grey(0xAA);          // 76
  b.block(0xAA, 18, 53);  // 77..112
  for (uint32_t v : {0x99, 0x88, 0x77, 0x66}) b.grey(v);  // 113..116
  b.block(0x55, 0, 35);  // 117..152
  b.grey(0x55);          // 153
  b.block(0x55, 36, 53);  // 154..171
  for (uint32_t v : {0x44, 0x33, 0x22, 0x11}) b.grey(v);  // 172..175
  b.block(0x00, 0, 53);  // 176..229
  for (int i = 0; i < 10; ++i) b.grey(0x00);  // 230..239
  for (uint32_t v : {0xF0, 0xE0, 0xD0, 0xC0, 0xB0, 0xA0, 0x80, 0x70, 0x60, 0x50, 0x40, 0x30, 0x20, 0x10, 0x08,
                     0x00})
    b.grey(v);  // 240..255
  return b.table;
}

constexpr std::array<uint32_t, 256> kPalette = makePropPalette();
static_assert(kPalette[1] == rgb(0xCC, 0xFF, 0xFF) && kPalette[76] == rgb(0xAA, 0xAA, 0xAA) &&
                  kPalette[254] == rgb(0x08, 0x08, 0x08),
              "palette layout");

}  // namespace

const std::array<uint32_t, 256> propPalette = kPalette;
