#include "resfile/resfile_entries.h"

#include <algorithm>
#include <new>
#include <utility>

#include "resfile/resfile_layout.h"

namespace {

// A span of `length` bytes at `offset` lies inside `limit` bytes.
bool inside(uint64_t offset, uint64_t length, uint64_t limit) { return offset <= limit && length <= limit - offset; }

struct Span {
  uint64_t offset, length;
};

// Reads the references of [first, first + count) into `out`; the caller has checked the map.
ResEntriesResult readRefs(const uint8_t* bytes, size_t size, uint32_t type, uint64_t refList, uint64_t names,
                          uint32_t namesLength, uint64_t data, uint64_t dataLength, uint32_t first, uint32_t count,
                          std::vector<ResEntry>* out) {
  std::vector<Span> spans;
  spans.reserve(count);
  uint64_t total = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* ref = bytes + refList + uint64_t(first + i) * kResRefEntrySize;
    const Span s{resReadLE32(ref + kRefFieldOffset), resReadLE32(ref + kRefFieldLength)};
    if (!inside(s.offset, s.length, dataLength)) return ResEntriesResult::kDamaged;
    total += s.length;
    if (total > size) return ResEntriesResult::kDamaged;
    if (s.length > 0) spans.push_back(s);
  }
  // Overlapping references would make one block count many times over: sorted by start,
  // each must end where or before the next one starts.
  std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.offset < b.offset; });
  for (size_t i = 1; i < spans.size(); ++i)
    if (spans[i - 1].offset + spans[i - 1].length > spans[i].offset) return ResEntriesResult::kDamaged;

  std::vector<ResEntry> read(count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* ref = bytes + refList + uint64_t(first + i) * kResRefEntrySize;
    ResEntry& e = read[i];
    e.type = type;
    e.id = resReadLE32(ref + kRefFieldId);
    const int32_t nameOffset = int32_t(resReadLE32(ref + kRefFieldNameOffset));
    if (nameOffset >= 0 && uint32_t(nameOffset) < namesLength) {
      const uint8_t* at = bytes + names + uint32_t(nameOffset);
      const uint32_t length = at[0];
      if (length >= 1 && length <= 31 && uint64_t(nameOffset) + 1 + length <= namesLength) {
        e.hasName = true;
        e.name.assign(reinterpret_cast<const char*>(at + 1), length);
      }
    }
    const uint8_t* from = bytes + data + resReadLE32(ref + kRefFieldOffset);
    e.data.assign(from, from + resReadLE32(ref + kRefFieldLength));
  }
  out->insert(out->end(), std::make_move_iterator(read.begin()), std::make_move_iterator(read.end()));
  return ResEntriesResult::kOK;
}

}  // namespace

ResEntriesResult ResReadEntries(const uint8_t* bytes, size_t size, uint32_t type, std::vector<ResEntry>* out) {
  if (size < kResFileHeaderSize) return ResEntriesResult::kDamaged;
  const uint64_t data = resReadLE32(bytes + kHeaderFieldDataOffset);
  const uint64_t dataLength = resReadLE32(bytes + kHeaderFieldDataLength);
  const uint64_t map = resReadLE32(bytes + kHeaderFieldMapOffset);
  const uint64_t mapLength = resReadLE32(bytes + kHeaderFieldMapLength);
  if (!inside(data, dataLength, size) || !inside(map, mapLength, size) || mapLength < kResMapHeaderSize)
    return ResEntriesResult::kDamaged;
  const uint8_t* m = bytes + map;
  const int32_t typeCount = int32_t(resReadLE32(m + kMapFieldTypeCount));
  const int32_t refCount = int32_t(resReadLE32(m + kMapFieldRefCount));
  const uint32_t namesLength = resReadLE32(m + kMapFieldNameListLength);
  const uint32_t typeList = resReadLE32(m + kMapFieldTypeListOffset);
  const uint32_t refList = resReadLE32(m + kMapFieldRefListOffset);
  const uint32_t names = resReadLE32(m + kMapFieldNameListOffset);
  if (typeCount < 0 || refCount < 0 || !inside(typeList, uint64_t(typeCount) * kResTypeEntrySize, mapLength) ||
      !inside(refList, uint64_t(refCount) * kResRefEntrySize, mapLength) || !inside(names, namesLength, mapLength))
    return ResEntriesResult::kDamaged;
  for (int32_t t = 0; t < typeCount; ++t) {
    const uint8_t* e = m + typeList + uint32_t(t) * kResTypeEntrySize;
    const int32_t count = int32_t(resReadLE32(e + kTypeFieldCount));
    const int32_t firstRef = int32_t(resReadLE32(e + kTypeFieldFirstRef));
    if (count < 0 || firstRef < 0 || int64_t(firstRef) + count > refCount) return ResEntriesResult::kDamaged;
    if (resReadLE32(e + kTypeFieldType) != type) continue;
    // Only the first entry of a type is read, as the reader of resfile.h does.
    try {
      return readRefs(bytes, size, type, map + refList, map + names, namesLength, data, dataLength,
                      uint32_t(firstRef), uint32_t(count), out);
    } catch (const std::bad_alloc&) {
      return ResEntriesResult::kTooLarge;
    }
  }
  return ResEntriesResult::kOK;
}
