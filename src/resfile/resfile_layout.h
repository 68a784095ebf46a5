#pragma once
// The resource file layout, shared by the reader and the writer: a 16-byte file header, the
// data area, and the map (a 24-byte map header, then the type list, the reference list and
// the name list). Every field is a little-endian 32-bit word at any alignment.
#include <cstdint>

// Sizes of the fixed parts.
constexpr uint32_t kResFileHeaderSize = 16;
constexpr uint32_t kResMapHeaderSize = 24;
constexpr uint32_t kResTypeEntrySize = 12;
constexpr uint32_t kResRefEntrySize = 32;

// Byte offsets of the fields of the file header; the data area's offset is counted from
// the start of the file, the map's too.
constexpr uint32_t kHeaderFieldDataOffset = 0;
constexpr uint32_t kHeaderFieldDataLength = 4;
constexpr uint32_t kHeaderFieldMapOffset = 8;
constexpr uint32_t kHeaderFieldMapLength = 12;

// Byte offsets of the fields of the map header; the three list offsets are counted from the
// start of the map.
constexpr uint32_t kMapFieldTypeCount = 0;
constexpr uint32_t kMapFieldRefCount = 4;
constexpr uint32_t kMapFieldNameListLength = 8;
constexpr uint32_t kMapFieldTypeListOffset = 12;
constexpr uint32_t kMapFieldRefListOffset = 16;
constexpr uint32_t kMapFieldNameListOffset = 20;

// Byte offsets of the fields inside a type entry and a reference entry. A reference's data
// offset is counted from the start of the data area, its name offset (-1: no name) from the
// start of the name list; words 16 and 28 of a reference are unused.
constexpr uint32_t kTypeFieldType = 0;
constexpr uint32_t kTypeFieldCount = 4;
constexpr uint32_t kTypeFieldFirstRef = 8;
constexpr uint32_t kRefFieldId = 0;
constexpr uint32_t kRefFieldDataHandle = 4;
constexpr uint32_t kRefFieldOffset = 8;
constexpr uint32_t kRefFieldLength = 12;
constexpr uint32_t kRefFieldNameOffset = 20;
constexpr uint32_t kRefFieldFlags = 24;

inline uint32_t resReadLE32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void resWriteLE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}
