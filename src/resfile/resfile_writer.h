#pragma once
// Writing resource files: the bytes of a file in the layout the reader takes
// (resfile_layout.h), with the data area after the header and the map at the end.
#include <cstdint>
#include <string>
#include <vector>

// One resource to write.
struct ResEntry {
  uint32_t type = 0;
  uint32_t id = 0;
  bool hasName = false;  // without a name the reference's name offset is -1
  std::string name;      // at most 255 bytes are kept
  std::vector<uint8_t> data;
};

// The bytes of a resource file holding `entries`. Resources of one type are listed
// together, types in the order of their first resource, resources in their given order.
std::vector<uint8_t> ResBuildFile(const std::vector<ResEntry>& entries);
