#pragma once
// Prop files for tests: temporary paths, small prop images, and files written with the
// resource-file writer.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "props/prop_atlas.h"
#include "pictures/picture_files.h"
#include "resfile/resfile_writer.h"

namespace proptest {

// A fresh directory under ORVANE_TEST_TMP (or the system's temporary directory).
inline std::string makeTempDir() {
  const char* base = std::getenv("ORVANE_TEST_TMP");
  std::string root = base && *base ? base : "/tmp";
  std::error_code ignored;
  std::filesystem::create_directories(root, ignored);
  std::string pattern = root + "/props-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const char* made = mkdtemp(buffer.data());
  return made ? std::string(made) : root;
}

// A little-endian prop image of one row whose pixels are the given palette indices.
inline std::vector<uint8_t> rowProp(const std::vector<uint8_t>& indices, uint8_t flags = 0) {
  std::vector<uint8_t> out = {uint8_t(indices.size()), 0, 1, 0, 0, 0, 0, 0, 0, 0, flags, 0};
  out.push_back(uint8_t(indices.size()));  // one run of literals (at most 15)
  out.insert(out.end(), indices.begin(), indices.end());
  return out;
}

inline ResEntry propEntry(uint32_t id, std::vector<uint8_t> data, const std::string& name = "") {
  ResEntry e;
  e.type = kPropType;
  e.id = id;
  e.hasName = !name.empty();
  e.name = name;
  e.data = std::move(data);
  return e;
}

inline bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  return pictures::writeWholeFile(path, bytes, nullptr);
}

}  // namespace proptest
