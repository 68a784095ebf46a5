#include <gtest/gtest.h>

#include <cstring>

#include "props/palette.h"

namespace {

uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

TEST(PropPalette, SampleEntries) {
  struct Case {
    int index;
    uint32_t r, g, b;
  } cases[] = {
      {0, 0xFF, 0xFF, 0xFF},   {1, 0xCC, 0xFF, 0xFF},   {5, 0x00, 0xFF, 0xFF},   {6, 0xFF, 0xDF, 0xFF},
      {53, 0x00, 0x00, 0xFF},  {54, 0xEE, 0xEE, 0xEE},  {57, 0xBB, 0xBB, 0xBB},  {58, 0xFF, 0xFF, 0xAA},
      {75, 0x00, 0xBF, 0xAA},  {76, 0xAA, 0xAA, 0xAA},  {77, 0xFF, 0x9F, 0xAA},  {112, 0x00, 0x00, 0xAA},
      {113, 0x99, 0x99, 0x99}, {116, 0x66, 0x66, 0x66}, {117, 0xFF, 0xFF, 0x55}, {152, 0x00, 0x5F, 0x55},
      {153, 0x55, 0x55, 0x55}, {154, 0xFF, 0x3F, 0x55}, {171, 0x00, 0x00, 0x55}, {172, 0x44, 0x44, 0x44},
      {175, 0x11, 0x11, 0x11}, {176, 0xFF, 0xFF, 0x00}, {229, 0x00, 0x00, 0x00}, {230, 0x00, 0x00, 0x00},
      {239, 0x00, 0x00, 0x00}, {240, 0xF0, 0xF0, 0xF0}, {246, 0x80, 0x80, 0x80}, {247, 0x70, 0x70, 0x70},
      {254, 0x08, 0x08, 0x08}, {255, 0x00, 0x00, 0x00},
  };
  for (const Case& c : cases) EXPECT_EQ(propPalette[size_t(c.index)], rgb(c.r, c.g, c.b)) << "entry " << c.index;
}

TEST(PropPalette, MemoryBytesAreRedGreenBlueZero) {
  uint8_t bytes[4];
  std::memcpy(bytes, &propPalette[6], 4);  // (FF, DF, FF) on a little-endian machine
  const uint8_t expected[4] = {0xFF, 0xDF, 0xFF, 0x00};
  EXPECT_EQ(0, std::memcmp(bytes, expected, 4));
  for (uint32_t e : propPalette) EXPECT_EQ(e >> 24, 0u);
}

// Every colour block entry j has red R[j mod 6], green G[j div 6]; the greys sit between.
TEST(PropPalette, BlocksAndGreys) {
  const uint32_t greens[9] = {0xFF, 0xDF, 0xBF, 0x9F, 0x7F, 0x5F, 0x3F, 0x1F, 0x00};
  const uint32_t reds[6] = {0xFF, 0xCC, 0x99, 0x66, 0x33, 0x00};
  struct Span {
    int firstIndex, firstEntry, lastEntry;
    uint32_t blue;
  } spans[] = {{0, 0, 53, 0xFF}, {58, 0, 17, 0xAA}, {77, 18, 53, 0xAA},
               {117, 0, 35, 0x55}, {154, 36, 53, 0x55}, {176, 0, 53, 0x00}};
  int covered = 0;
  for (const Span& s : spans)
    for (int j = s.firstEntry; j <= s.lastEntry; ++j, ++covered)
      EXPECT_EQ(propPalette[size_t(s.firstIndex + j - s.firstEntry)], rgb(reds[j % 6], greens[j / 6], s.blue))
          << "block " << s.blue << " entry " << j;
  EXPECT_EQ(covered, 4 * 54);
  const struct {
    int index;
    uint32_t v;
  } greys[] = {{54, 0xEE},  {55, 0xDD},  {56, 0xCC},  {57, 0xBB},  {76, 0xAA},  {113, 0x99}, {114, 0x88},
               {115, 0x77}, {116, 0x66}, {153, 0x55}, {172, 0x44}, {173, 0x33}, {174, 0x22}, {175, 0x11}};
  for (const auto& g : greys) EXPECT_EQ(propPalette[size_t(g.index)], rgb(g.v, g.v, g.v)) << g.index;
  for (int i = 230; i < 240; ++i) EXPECT_EQ(propPalette[size_t(i)], 0u) << i;
  const uint32_t tail[16] = {0xF0, 0xE0, 0xD0, 0xC0, 0xB0, 0xA0, 0x80, 0x70,
                             0x60, 0x50, 0x40, 0x30, 0x20, 0x10, 0x08, 0x00};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(propPalette[size_t(240 + i)], rgb(tail[i], tail[i], tail[i])) << 240 + i;
}

}  // namespace
