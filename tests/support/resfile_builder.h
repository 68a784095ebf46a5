#pragma once
// Assembles resource-file bytes for tests: header, data area and map with its type,
// reference and name lists. Every stored field can be overridden to make corrupt files,
// and the layout of the result is reported so a test can patch bytes afterwards.
//
// Usual layout: 16-byte header | data area (resources in reference order) | map (24-byte
// map header, type list, reference list, name list). An Arrangement puts the parts
// elsewhere and in another order, as the format allows. All fields little-endian.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace restest {

inline void putLE32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
  if (bytes.size() < at + 4) bytes.resize(at + 4);
  for (int i = 0; i < 4; ++i) bytes[at + i] = uint8_t(v >> (8 * i));
}

inline uint32_t getLE32(const std::vector<uint8_t>& bytes, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t(bytes[at + i]) << (8 * i);
  return v;
}

// One resource. Unset overrides take the values the layout gives.
struct Resource {
  uint32_t id = 0;
  std::vector<uint8_t> data;
  std::optional<std::string> name;  // none: nameOffset -1
  uint32_t flags = 0;
  uint32_t dataHandle = 0;
  std::optional<uint32_t> offset;      // from the start of the data area
  std::optional<uint32_t> length;
  std::optional<int32_t> nameOffset;
};

// One type entry with its resources (consecutive in the reference list).
struct Type {
  uint32_t type = 0;
  std::vector<Resource> resources;
  std::optional<int32_t> count;
  std::optional<int32_t> firstRef;

  Resource& add(uint32_t id, std::vector<uint8_t> data, std::optional<std::string> name = std::nullopt) {
    resources.push_back(Resource{});
    Resource& r = resources.back();
    r.id = id;
    r.data = std::move(data);
    r.name = std::move(name);
    return r;
  }
};

// Where the parts of a built file lie (file offsets).
struct Layout {
  uint32_t dataOffset = 0;
  uint32_t mapOffset = 0;
  uint32_t typeListAt = 0;
  uint32_t refListAt = 0;
  uint32_t nameListAt = 0;
  size_t size = 0;

  uint32_t typeEntryAt(int i) const { return typeListAt + 12u * uint32_t(i); }
  uint32_t refEntryAt(int i) const { return refListAt + 32u * uint32_t(i); }
};

// Where the parts of a file go. The default is the usual layout.
struct Arrangement {
  bool mapFirst = false;                     // the map before the data area
  std::array<int, 3> listOrder = {0, 1, 2};  // order of the type (0), reference (1), name (2) lists
  uint32_t gap = 0;                          // filler bytes before every part and every resource
  bool dataReversed = false;                 // resources' data in reverse reference order
};

// Filler of the gaps (and of the reserved fields) of an arranged file.
constexpr uint8_t kFiller = 0xA5;

struct Builder {
  std::vector<Type> types;
  Arrangement arrangement;
  // Replaces the generated name list when set.
  std::optional<std::vector<uint8_t>> nameList;
  // Extra reference entries after those of the types (owned by no type entry).
  std::vector<Resource> extraRefs;

  // Header overrides.
  std::optional<uint32_t> dataOffset, dataLength, mapOffset, mapLength;
  // Map header overrides.
  std::optional<int32_t> typeCount, refCount;
  std::optional<uint32_t> nameListLength, typeListOffset, refListOffset, nameListOffset;

  Type& addType(uint32_t type) {
    types.push_back(Type{});
    types.back().type = type;
    return types.back();
  }

  std::vector<uint8_t> build(Layout* layoutOut = nullptr) const {
    std::vector<const Resource*> refs;
    for (const Type& t : types)
      for (const Resource& r : t.resources) refs.push_back(&r);
    for (const Resource& r : extraRefs) refs.push_back(&r);

    const Arrangement& a = arrangement;
    const uint8_t filler = a.gap > 0 ? kFiller : 0;
    std::vector<uint8_t> data;
    std::vector<uint32_t> offsets(refs.size());
    for (size_t n = 0; n < refs.size(); ++n) {
      const size_t i = a.dataReversed ? refs.size() - 1 - n : n;
      data.insert(data.end(), a.gap, filler);
      offsets[i] = uint32_t(data.size());
      data.insert(data.end(), refs[i]->data.begin(), refs[i]->data.end());
    }
    std::vector<uint8_t> names;
    std::vector<int32_t> nameOffsets;
    for (const Resource* r : refs) {
      if (!r->name) {
        nameOffsets.push_back(-1);
        continue;
      }
      nameOffsets.push_back(int32_t(names.size()));
      names.push_back(uint8_t(r->name->size()));
      names.insert(names.end(), r->name->begin(), r->name->end());
    }
    if (nameList) names = *nameList;

    // The map: its header, then the lists in the arranged order, each after a gap.
    const uint32_t listSizes[3] = {12u * uint32_t(types.size()), 32u * uint32_t(refs.size()),
                                   uint32_t(names.size())};
    uint32_t listOffsets[3] = {};
    uint32_t mapLen = 24;
    for (int list : a.listOrder) {
      mapLen += a.gap;
      listOffsets[list] = mapLen;
      mapLen += listSizes[list];
    }
    const uint32_t typeListOff = listOffsets[0], refListOff = listOffsets[1], nameListOff = listOffsets[2];

    // The file: the header, then the data area and the map in the arranged order.
    Layout l;
    uint32_t end = 16;
    for (bool mapPart : {a.mapFirst, !a.mapFirst}) {
      end += a.gap;
      (mapPart ? l.mapOffset : l.dataOffset) = end;
      end += mapPart ? mapLen : uint32_t(data.size());
    }
    l.typeListAt = l.mapOffset + typeListOff;
    l.refListAt = l.mapOffset + refListOff;
    l.nameListAt = l.mapOffset + nameListOff;

    std::vector<uint8_t> out(end, filler);
    putLE32(out, 0, dataOffset.value_or(l.dataOffset));
    putLE32(out, 4, dataLength.value_or(uint32_t(data.size())));
    putLE32(out, 8, mapOffset.value_or(l.mapOffset));
    putLE32(out, 12, mapLength.value_or(mapLen));
    std::copy(data.begin(), data.end(), out.begin() + l.dataOffset);

    const uint32_t m = l.mapOffset;
    putLE32(out, m + 0, uint32_t(typeCount.value_or(int32_t(types.size()))));
    putLE32(out, m + 4, uint32_t(refCount.value_or(int32_t(refs.size()))));
    putLE32(out, m + 8, nameListLength.value_or(uint32_t(names.size())));
    putLE32(out, m + 12, typeListOffset.value_or(typeListOff));
    putLE32(out, m + 16, refListOffset.value_or(refListOff));
    putLE32(out, m + 20, nameListOffset.value_or(nameListOff));

    int32_t first = 0;
    for (size_t i = 0; i < types.size(); ++i) {
      const Type& t = types[i];
      const uint32_t at = l.typeEntryAt(int(i));
      putLE32(out, at + 0, t.type);
      putLE32(out, at + 4, uint32_t(t.count.value_or(int32_t(t.resources.size()))));
      putLE32(out, at + 8, uint32_t(t.firstRef.value_or(first)));
      first += int32_t(t.resources.size());
    }
    for (size_t i = 0; i < refs.size(); ++i) {
      const Resource& r = *refs[i];
      const uint32_t at = l.refEntryAt(int(i));
      putLE32(out, at + 0, r.id);
      putLE32(out, at + 4, r.dataHandle);
      putLE32(out, at + 8, r.offset.value_or(offsets[i]));
      putLE32(out, at + 12, r.length.value_or(uint32_t(r.data.size())));
      putLE32(out, at + 20, uint32_t(r.nameOffset.value_or(nameOffsets[i])));
      putLE32(out, at + 24, r.flags);
    }
    std::copy(names.begin(), names.end(), out.begin() + l.nameListAt);
    l.size = out.size();
    if (layoutOut) *layoutOut = l;
    return out;
  }
};

// The directory for test files: $ORVANE_TEST_TMP, else one under the system's temp dir.
inline std::filesystem::path tempDir() {
  std::filesystem::path dir;
  if (const char* env = std::getenv("ORVANE_TEST_TMP"); env != nullptr && *env != 0) {
    dir = env;
  } else {
    dir = std::filesystem::temp_directory_path() / "orvane-tests";
  }
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}

// Writes bytes to a new file whose name is unique to this process; returns its path.
inline std::string writeTempFile(const std::vector<uint8_t>& bytes, const std::string& stem = "res") {
  static int serial = 0;
#ifdef _WIN32
  const long pid = long(_getpid());
#else
  const long pid = long(getpid());
#endif
  const std::filesystem::path path =
      tempDir() / (stem + "-" + std::to_string(pid) + "-" + std::to_string(serial++) + ".bin");
  std::FILE* f = std::fopen(path.string().c_str(), "wb");
  if (f == nullptr) return {};
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return path.string();
}

inline std::vector<uint8_t> readFileBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return bytes;
  uint8_t chunk[4096];
  size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  std::fclose(f);
  return bytes;
}

}  // namespace restest
