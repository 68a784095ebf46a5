#include "resfile/resfile_writer.h"

#include "resfile/resfile_layout.h"

namespace {

// Appends `size` zero bytes and returns where they start.
size_t grow(std::vector<uint8_t>& out, uint32_t size) {
  const size_t at = out.size();
  out.resize(at + size, 0);
  return at;
}

void put32(std::vector<uint8_t>& out, size_t at, uint32_t v) { resWriteLE32(&out[at], v); }

}  // namespace

std::vector<uint8_t> ResBuildFile(const std::vector<ResEntry>& entries) {
  // Types in order of first appearance; each type's references follow one another.
  std::vector<uint32_t> types;
  for (const ResEntry& e : entries) {
    bool seen = false;
    for (uint32_t t : types) seen = seen || t == e.type;
    if (!seen) types.push_back(e.type);
  }
  std::vector<const ResEntry*> ordered;
  for (uint32_t t : types)
    for (const ResEntry& e : entries)
      if (e.type == t) ordered.push_back(&e);

  std::vector<uint8_t> out(kResFileHeaderSize, 0);
  std::vector<uint32_t> dataOffsets;
  for (const ResEntry* e : ordered) {
    dataOffsets.push_back(uint32_t(out.size() - kResFileHeaderSize));
    out.insert(out.end(), e->data.begin(), e->data.end());
  }
  const uint32_t dataLength = uint32_t(out.size() - kResFileHeaderSize);

  std::vector<uint8_t> names;
  std::vector<int32_t> nameOffsets;
  for (const ResEntry* e : ordered) {
    if (!e->hasName) {
      nameOffsets.push_back(-1);
      continue;
    }
    nameOffsets.push_back(int32_t(names.size()));
    const size_t length = e->name.size() > 255 ? 255 : e->name.size();
    names.push_back(uint8_t(length));
    names.insert(names.end(), e->name.begin(), e->name.begin() + long(length));
  }

  const uint32_t typeListOffset = kResMapHeaderSize;
  const uint32_t refListOffset = typeListOffset + kResTypeEntrySize * uint32_t(types.size());
  const uint32_t nameListOffset = refListOffset + kResRefEntrySize * uint32_t(ordered.size());
  std::vector<uint8_t> map(kResMapHeaderSize, 0);
  put32(map, kMapFieldTypeCount, uint32_t(types.size()));
  put32(map, kMapFieldRefCount, uint32_t(ordered.size()));
  put32(map, kMapFieldNameListLength, uint32_t(names.size()));
  put32(map, kMapFieldTypeListOffset, typeListOffset);
  put32(map, kMapFieldRefListOffset, refListOffset);
  put32(map, kMapFieldNameListOffset, nameListOffset);
  uint32_t first = 0;
  for (uint32_t t : types) {
    uint32_t count = 0;
    for (const ResEntry* e : ordered) count += e->type == t ? 1 : 0;
    const size_t at = grow(map, kResTypeEntrySize);
    put32(map, at + kTypeFieldType, t);
    put32(map, at + kTypeFieldCount, count);
    put32(map, at + kTypeFieldFirstRef, first);
    first += count;
  }
  // The data handle and the flags stay zero: they mean nothing in a file.
  for (size_t i = 0; i < ordered.size(); ++i) {
    const size_t at = grow(map, kResRefEntrySize);
    put32(map, at + kRefFieldId, ordered[i]->id);
    put32(map, at + kRefFieldOffset, dataOffsets[i]);
    put32(map, at + kRefFieldLength, uint32_t(ordered[i]->data.size()));
    put32(map, at + kRefFieldNameOffset, uint32_t(nameOffsets[i]));
  }
  map.insert(map.end(), names.begin(), names.end());

  put32(out, kHeaderFieldDataOffset, kResFileHeaderSize);
  put32(out, kHeaderFieldDataLength, dataLength);
  put32(out, kHeaderFieldMapOffset, uint32_t(out.size()));
  put32(out, kHeaderFieldMapLength, uint32_t(map.size()));
  out.insert(out.end(), map.begin(), map.end());
  return out;
}
