#pragma once
// A small PNG writer for the renderer's frames.
#include <cstdint>

// Writes width x height RGBA pixels (top row first) to path as an 8-bit RGB PNG (alpha
// dropped, as on screen).
// False when the file cannot be written.
bool writePngRgba(const char* path, int32_t width, int32_t height, const uint8_t* rgba);
