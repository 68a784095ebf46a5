#include "proptool/resource_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "proptool/file_access.h"

namespace proptool {

namespace {

void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

void set32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i));
}

}  // namespace

std::vector<uint8_t> buildResourceFile(const std::vector<ResourceEntry>& entries) {
  // Types in order of first appearance; each type's references follow one another.
  std::vector<uint32_t> types;
  for (const ResourceEntry& e : entries) {
    bool seen = false;
    for (uint32_t t : types) seen = seen || t == e.type;
    if (!seen) types.push_back(e.type);
  }
  std::vector<const ResourceEntry*> ordered;
  for (uint32_t t : types)
    for (const ResourceEntry& e : entries)
      if (e.type == t) ordered.push_back(&e);

  std::vector<uint8_t> out(16, 0);
  std::vector<uint32_t> dataOffsets;
  for (const ResourceEntry* e : ordered) {
    dataOffsets.push_back(uint32_t(out.size() - 16));
    out.insert(out.end(), e->data.begin(), e->data.end());
  }
  const uint32_t dataLength = uint32_t(out.size() - 16);

  std::vector<uint8_t> names;
  std::vector<int32_t> nameOffsets;
  for (const ResourceEntry* e : ordered) {
    if (!e->hasName) {
      nameOffsets.push_back(-1);
      continue;
    }
    nameOffsets.push_back(int32_t(names.size()));
    const size_t length = e->name.size() > 255 ? 255 : e->name.size();
    names.push_back(uint8_t(length));
    names.insert(names.end(), e->name.begin(), e->name.begin() + length);
  }

  const uint32_t typeListOffset = 24;
  const uint32_t refListOffset = typeListOffset + 12 * uint32_t(types.size());
  const uint32_t nameListOffset = refListOffset + 32 * uint32_t(ordered.size());
  std::vector<uint8_t> map;
  put32(map, uint32_t(types.size()));
  put32(map, uint32_t(ordered.size()));
  put32(map, uint32_t(names.size()));
  put32(map, typeListOffset);
  put32(map, refListOffset);
  put32(map, nameListOffset);
  uint32_t first = 0;
  for (uint32_t t : types) {
    uint32_t count = 0;
    for (const ResourceEntry* e : ordered) count += e->type == t ? 1 : 0;
    put32(map, t);
    put32(map, count);
    put32(map, first);
    first += count;
  }
  for (size_t i = 0; i < ordered.size(); ++i) {
    put32(map, ordered[i]->id);
    put32(map, 0);  // data handle: meaningless in the file
    put32(map, dataOffsets[i]);
    put32(map, uint32_t(ordered[i]->data.size()));
    put32(map, 0);
    put32(map, uint32_t(nameOffsets[i]));
    put32(map, 0);  // flags
    put32(map, 0);
  }
  map.insert(map.end(), names.begin(), names.end());

  set32(out, 0, 16);
  set32(out, 4, dataLength);
  set32(out, 8, uint32_t(out.size()));
  set32(out, 12, uint32_t(map.size()));
  out.insert(out.end(), map.begin(), map.end());
  return out;
}

bool writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
  std::FILE* f = openFile(path, "wb");
  if (!f) {
    if (error) *error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) {
    if (error) *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace proptool
