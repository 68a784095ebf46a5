#pragma once
// Writes resource files: a 16-byte header, the data area, then the map (map header, type
// list, reference list, name list), every field a little-endian 32-bit word.
#include <cstdint>
#include <string>
#include <vector>

namespace proptool {

struct ResourceEntry {
  uint32_t type = 0;
  uint32_t id = 0;
  bool hasName = false;     // without a name the reference's name offset is -1
  std::string name;         // at most 255 bytes are kept
  std::vector<uint8_t> data;
};

// The bytes of a resource file holding `entries`. Resources of one type are listed
// together, types in the order of their first resource, resources in their given order.
std::vector<uint8_t> buildResourceFile(const std::vector<ResourceEntry>& entries);

// Writes bytes to a file; false (and an explanation in `error`) when it cannot.
bool writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);

}  // namespace proptool
