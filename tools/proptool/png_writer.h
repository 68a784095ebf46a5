#pragma once
// PNG images from RGBA pixels, for extracted props and atlas pictures.
#include <cstdint>
#include <string>
#include <vector>

namespace proptool {

// The PNG file bytes of width * height * 4 bytes of RGBA, every byte as given; empty when
// they cannot be encoded.
std::vector<uint8_t> encodePng(int32_t width, int32_t height, const uint8_t* pixels);

// Writes them to a file (a UTF-8 path); false, with a one-line message, when it cannot.
bool writePng(const std::string& path, int32_t width, int32_t height, const uint8_t* pixels, std::string* error);

}  // namespace proptool
