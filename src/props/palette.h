#pragma once
// The fixed 256-colour palette of prop images.
#include <array>
#include <cstdint>

// Each entry is a little-endian word whose bytes in memory are R, G, B, 0:
// value = R | G << 8 | B << 16. A painted pixel is the entry with its alpha in the top byte.
extern const std::array<uint32_t, 256> propPalette;

// The red, green and blue of a palette word.
constexpr uint8_t paletteRed(uint32_t entry) { return uint8_t(entry); }
constexpr uint8_t paletteGreen(uint32_t entry) { return uint8_t(entry >> 8); }
constexpr uint8_t paletteBlue(uint32_t entry) { return uint8_t(entry >> 16); }
