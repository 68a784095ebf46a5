// Reading resource files: open, count by type, fetch by index, describe, release,
// and the choice of the current file.
//
// Every file is treated as hostile. The map is checked before it is used: its header
// and its three lists must lie inside it, counts must not be negative, and every type
// entry's references must lie inside the reference list. A map or a resource longer
// than the file itself is refused before anything is allocated for it. A file that
// fails these checks is reported with kResFailed and stays open with empty lists, so it
// can still be made current and closed like any other.
#include <cstring>

#include "resfile/resfile_internal.h"

int16_t resLastError = kResOK;
ResFile* resFileList = nullptr;
ResFile* resCurrentFile = nullptr;

namespace {

constexpr int64_t kMaxStreamPosition = 0x7FFFFFFF;  // FileSeek and FileRead take 32-bit values

const uint8_t* typeEntry(const ResFile* f, int32_t i) {
  return *f->types + uint32_t(i) * kResTypeEntrySize;
}

uint8_t* refEntry(const ResFile* f, int32_t i) { return *f->refs + uint32_t(i) * kResRefEntrySize; }

int32_t typeField(const ResFile* f, int32_t i, uint32_t field) {
  return int32_t(resReadLE32(typeEntry(f, i) + field));
}

uint32_t refField(const ResFile* f, int32_t i, uint32_t field) {
  return resReadLE32(refEntry(f, i) + field);
}

bool refIsLoaded(const ResFile* f, int32_t i) {
  return (refField(f, i, kRefFieldFlags) & kRefLoaded) != 0;
}

// Empties the three lists (and the per-reference Handles) of a record whose map is unusable.
void clearLists(ResFile* f) {
  HandleSetSize(f->types, 0);
  HandleSetSize(f->refs, 0);
  HandleSetSize(f->names, 0);
  MemFree(f->loaded);
  f->loaded = nullptr;
  std::memset(&f->mapHeader, 0, sizeof f->mapHeader);
}

// True when a list of `length` bytes at `offset` lies inside a map of `mapLength` bytes.
// An empty list lies anywhere.
bool listInsideMap(uint32_t offset, uint64_t length, uint32_t mapLength) {
  return length == 0 || uint64_t(offset) + length <= mapLength;
}

// Checks the map header in `map` (mapLength bytes) and every type entry it lists.
bool mapIsSound(const uint8_t* map, uint32_t mapLength, ResMapHeader* out) {
  ResMapHeader h;
  h.typeCount = int32_t(resReadLE32(map + kMapFieldTypeCount));
  h.refCount = int32_t(resReadLE32(map + kMapFieldRefCount));
  h.nameListLength = resReadLE32(map + kMapFieldNameListLength);
  h.typeListOffset = resReadLE32(map + kMapFieldTypeListOffset);
  h.refListOffset = resReadLE32(map + kMapFieldRefListOffset);
  h.nameListOffset = resReadLE32(map + kMapFieldNameListOffset);
  if (h.typeCount < 0 || h.refCount < 0) return false;
  if (!listInsideMap(h.typeListOffset, uint64_t(h.typeCount) * kResTypeEntrySize, mapLength) ||
      !listInsideMap(h.refListOffset, uint64_t(h.refCount) * kResRefEntrySize, mapLength) ||
      !listInsideMap(h.nameListOffset, h.nameListLength, mapLength)) {
    return false;
  }
  for (int32_t i = 0; i < h.typeCount; ++i) {
    const uint8_t* e = map + h.typeListOffset + uint32_t(i) * kResTypeEntrySize;
    const int32_t count = int32_t(resReadLE32(e + kTypeFieldCount));
    const int32_t firstRef = int32_t(resReadLE32(e + kTypeFieldFirstRef));
    if (count < 0 || firstRef < 0 || int64_t(firstRef) + count > h.refCount) return false;
  }
  *out = h;
  return true;
}

// Resizes a list Handle and reports whether it really holds `size` bytes now.
bool resizeList(Handle h, uint32_t size) {
  return HandleSetSize(h, size) == kResOK && MemLastError() == kResOK && HandleGetSize(h) == size;
}

ResFile* findOpenFile(FileRef ref) {
  for (ResFile* f = resFileList; f != nullptr; f = f->next) {
    if (f->fileRef == ref) return f;
  }
  return nullptr;
}

}  // namespace

int32_t ResTypeEntryCount(const ResFile* file) {
  return int32_t(HandleGetSize(file->types) / kResTypeEntrySize);
}

int32_t ResRefEntryCount(const ResFile* file) {
  return int32_t(HandleGetSize(file->refs) / kResRefEntrySize);
}

Handle ResRefLoadedHandle(const ResFile* file, int32_t refIndex) {
  if constexpr (kHandleFitsInRefEntry) {
    Handle h = nullptr;
    std::memcpy(&h, refEntry(file, refIndex) + kRefFieldDataHandle, sizeof h);
    return h;
  } else {
    return file->loaded == nullptr ? nullptr : file->loaded[refIndex];
  }
}

void ResRefSetLoadedHandle(ResFile* file, int32_t refIndex, Handle h) {
  if constexpr (kHandleFitsInRefEntry) {
    std::memcpy(refEntry(file, refIndex) + kRefFieldDataHandle, &h, sizeof h);
  } else {
    file->loaded[refIndex] = h;
  }
}

ResCode ResCreateFileRecord(FileRef ref) {
  resLastError = kResOK;
  auto* f = static_cast<ResFile*>(MemAllocZeroed(sizeof(ResFile)));
  if (f == nullptr) return kResFailed;
  f->fileRef = ref;
  f->header = ResFileHeader{kResFileHeaderSize, 0, kResFileHeaderSize, kResMapHeaderSize};
  f->types = HandleNew(0);
  f->refs = HandleNew(0);
  f->names = HandleNew(0);
  if (f->types == nullptr || f->refs == nullptr || f->names == nullptr) {
    if (f->types != nullptr) HandleDispose(f->types);
    if (f->refs != nullptr) HandleDispose(f->refs);
    if (f->names != nullptr) HandleDispose(f->names);
    MemFree(f);
    return kResFailed;
  }
  f->next = resFileList;
  resFileList = f;
  resCurrentFile = f;
  return kResOK;
}

namespace {

// Reads the file header into the record. Bytes a short file does not deliver keep the
// header values the record had.
ResCode readFileHeader(FileRef ref, ResFile* f) {
  uint8_t raw[kResFileHeaderSize];
  resWriteLE32(raw + kHeaderFieldDataOffset, f->header.dataOffset);
  resWriteLE32(raw + kHeaderFieldDataLength, f->header.dataLength);
  resWriteLE32(raw + kHeaderFieldMapOffset, f->header.mapOffset);
  resWriteLE32(raw + kHeaderFieldMapLength, f->header.mapLength);
  ResCode code = FileSeek(ref, kFileSeekFromStart, 0);
  if (code != kResOK) return code;
  int32_t count = kResFileHeaderSize;
  code = FileRead(ref, &count, raw);
  if (code != kResOK) return code;
  f->header = ResFileHeader{resReadLE32(raw + kHeaderFieldDataOffset), resReadLE32(raw + kHeaderFieldDataLength),
                            resReadLE32(raw + kHeaderFieldMapOffset), resReadLE32(raw + kHeaderFieldMapLength)};
  return kResOK;
}

// Reads the map the header names into a new Handle (in `*buffer`). The map must hold its own
// header and cannot be longer than the file (a bare header is always allowed: it is what an
// empty file reads as); one that starts beyond the end of the file reads as zeros, as a short
// read would.
ResCode readMapBytes(FileRef ref, const ResFile& f, Handle* buffer) {
  const uint32_t mapLength = f.header.mapLength;
  const int64_t mapLimit = f.fileSize > kResMapHeaderSize ? f.fileSize : kResMapHeaderSize;
  if (mapLength < kResMapHeaderSize || int64_t(mapLength) > mapLimit || int64_t(mapLength) > kMaxStreamPosition) {
    return kResFailed;
  }
  Handle bytes = HandleNew(mapLength);
  if (bytes == nullptr) return MemLastError() != kResOK ? MemLastError() : kResFailed;
  if (int64_t(f.header.mapOffset) < f.fileSize && int64_t(f.header.mapOffset) <= kMaxStreamPosition) {
    ResCode code = FileSeek(ref, kFileSeekFromStart, int32_t(f.header.mapOffset));
    if (code == kResOK) {
      int32_t count = int32_t(mapLength);
      HandleLock(bytes);
      code = FileRead(ref, &count, *bytes);
      HandleUnlock(bytes);
    }
    if (code != kResOK) {
      HandleDispose(bytes);
      return code;
    }
  }
  *buffer = bytes;
  return kResOK;
}

// Copies the three lists of a sound map into the record (and makes room for the loaded
// Handles where they do not fit in the reference entries); false, with nothing kept, when
// the memory cannot be had.
bool takeLists(ResFile* f, const uint8_t* mapBytes, const ResMapHeader& map) {
  const uint32_t typesSize = uint32_t(map.typeCount) * kResTypeEntrySize;
  const uint32_t refsSize = uint32_t(map.refCount) * kResRefEntrySize;
  bool ok = resizeList(f->types, typesSize) && resizeList(f->refs, refsSize) && resizeList(f->names, map.nameListLength);
  if (ok && !kHandleFitsInRefEntry && map.refCount > 0) {
    // refCount x 32 bytes fit in the map, so refCount x sizeof(Handle) fits in 32 bits.
    f->loaded = static_cast<Handle*>(MemAllocZeroed(uint32_t(map.refCount) * uint32_t(sizeof(Handle))));
    ok = f->loaded != nullptr;
  }
  if (!ok) {
    clearLists(f);
    return false;
  }
  f->mapHeader = map;
  MemCopy(mapBytes + map.typeListOffset, *f->types, typesSize);
  MemCopy(mapBytes + map.refListOffset, *f->refs, refsSize);
  MemCopy(mapBytes + map.nameListOffset, *f->names, map.nameListLength);
  for (int32_t i = 0; i < map.refCount; ++i) {
    uint8_t* flags = refEntry(f, i) + kRefFieldFlags;
    resWriteLE32(flags, resReadLE32(flags) & ~kRefClearedOnRead);
  }
  return true;
}

}  // namespace

ResCode ResReadMap(FileRef ref) {
  resLastError = kResOK;
  ResFile* f = resCurrentFile;
  if (f == nullptr) return kResFailed;

  // A file whose length cannot be learnt is trusted with nothing beyond a bare map header.
  int64_t fileSize = 0;
  if (FileGetSize(ref, &fileSize) != kResOK) fileSize = 0;
  f->fileSize = fileSize;

  ResCode code = readFileHeader(ref, f);
  if (code != kResOK) return code;
  Handle buffer = nullptr;
  code = readMapBytes(ref, *f, &buffer);
  if (code != kResOK) return code;

  ResMapHeader map;
  HandleLock(buffer);
  const bool taken = mapIsSound(*buffer, f->header.mapLength, &map) && takeLists(f, *buffer, map);
  HandleUnlock(buffer);
  HandleDispose(buffer);
  return taken ? kResOK : kResFailed;
}

namespace {
// The shared end of ResOpenFile and ResOpenStream: a record for the stream just put in the
// table, and its map.
ResCode openRecord(FileRef opened, FileRef* ref) {
  if (ResCreateFileRecord(opened) != kResOK) {
    // Without a record the stream would be unreachable: give it back, report no file.
    FileClose(opened);
    resLastError = kResFailed;
    return kResFailed;
  }
  if (ref != nullptr) *ref = opened;
  resLastError = ResReadMap(opened);
  return resLastError;
}
}  // namespace

ResCode ResOpenFile(const char* path, FileRef* ref) {
  FileRef opened = 0;
  resLastError = FileOpen(path, kFileModeRead, &opened);
  if (resLastError != kResOK) return kFileFailed;
  return openRecord(opened, ref);
}

ResCode ResOpenStream(std::FILE* stream, FileRef* ref) {
  FileRef opened = 0;
  resLastError = FileAdopt(stream, &opened);
  if (resLastError != kResOK) return kFileFailed;
  return openRecord(opened, ref);
}

int32_t ResCountOfType(uint32_t type) {
  resLastError = kResOK;
  const ResFile* f = resCurrentFile;
  if (f == nullptr) {
    resLastError = kResFailed;
    return -1;
  }
  const int32_t types = ResTypeEntryCount(f);
  for (int32_t i = 0; i < types; ++i) {
    if (uint32_t(typeField(f, i, kTypeFieldType)) == type) return typeField(f, i, kTypeFieldCount);
  }
  return 0;
}

int32_t ResFindIndexed(uint32_t type, int32_t index) {
  const ResFile* f = resCurrentFile;
  if (f == nullptr) return -1;
  const int32_t types = ResTypeEntryCount(f);
  for (int32_t i = 0; i < types; ++i) {
    if (uint32_t(typeField(f, i, kTypeFieldType)) != type) continue;
    // Only the first entry of a type is looked at.
    const int32_t count = typeField(f, i, kTypeFieldCount);
    if (index < 0 || index >= count) return -1;
    const int64_t refIndex = int64_t(typeField(f, i, kTypeFieldFirstRef)) + index;
    return refIndex < ResRefEntryCount(f) ? int32_t(refIndex) : -1;
  }
  return -1;
}

Handle ResLoadData(int32_t refIndex) {
  resLastError = kResOK;
  ResFile* f = resCurrentFile;
  if (f == nullptr) {
    resLastError = kResFailed;
    return nullptr;
  }
  if (refIsLoaded(f, refIndex)) return ResRefLoadedHandle(f, refIndex);

  // A resource cannot be longer than the file that holds it.
  const uint32_t length = refField(f, refIndex, kRefFieldLength);
  if (int64_t(length) > f->fileSize || int64_t(length) > kMaxStreamPosition) {
    resLastError = kResFailed;
    return nullptr;
  }
  Handle h = HandleNew(length);
  if (h == nullptr) {
    resLastError = MemLastError();
    return nullptr;
  }
  // Data that starts at or beyond the end of the file stays zero, as a short read leaves it.
  const int64_t position = int64_t(f->header.dataOffset) + refField(f, refIndex, kRefFieldOffset);
  if (length > 0 && position < f->fileSize && position <= kMaxStreamPosition) {
    FileSeek(f->fileRef, kFileSeekFromStart, int32_t(position));
    int32_t count = int32_t(length);
    HandleLock(h);
    FileRead(f->fileRef, &count, *h);
    HandleUnlock(h);
  }
  ResRefSetLoadedHandle(f, refIndex, h);
  uint8_t* flags = refEntry(f, refIndex) + kRefFieldFlags;
  resWriteLE32(flags, resReadLE32(flags) | kRefLoaded);
  f->lastLoaded = refIndex + 1;
  return h;
}

Handle ResGetIndexed(uint32_t type, int32_t index) {
  resLastError = kResOK;
  if (resCurrentFile == nullptr) {
    resLastError = kResFailed;
    return nullptr;
  }
  const int32_t refIndex = ResFindIndexed(type, index);
  if (refIndex < 0) {
    resLastError = kResNotFound;
    return nullptr;
  }
  return ResLoadData(refIndex);
}

namespace {

// The type entry that owns reference `ref`, as a walk over the references in order assigns
// owners: each type entry with references (in list order) takes over at its first reference,
// if the walk has not passed it yet; one whose first reference was passed, and every entry
// after it, never owns. Linear in the number of type entries, not of references.
int32_t ownerOf(const ResFile* f, int32_t ref) {
  const int32_t types = ResTypeEntryCount(f);
  int32_t owner = 0;
  int64_t next = 0;  // the first reference the walk has not passed
  for (int32_t t = 0; t < types; ++t) {
    if (typeField(f, t, kTypeFieldCount) == 0) continue;
    const int32_t first = typeField(f, t, kTypeFieldFirstRef);
    if (first < next || first > ref) break;
    owner = t;
    next = int64_t(first) + 1;
  }
  return owner;
}

}  // namespace

bool ResFindByHandle(Handle h, int32_t* ownerIndex, int32_t* refIndex) {
  const ResFile* f = resCurrentFile;
  if (f == nullptr || h == nullptr) return false;
  const int32_t types = ResTypeEntryCount(f);
  const int32_t refs = ResRefEntryCount(f);
  // A loaded Handle belongs to one reference only: the one loaded last, most often.
  int32_t found = -1;
  const int32_t hint = f->lastLoaded - 1;
  if (hint >= 0 && hint < refs && refIsLoaded(f, hint) && ResRefLoadedHandle(f, hint) == h) found = hint;
  for (int32_t i = 0; found < 0 && i < refs; ++i)
    if (refIsLoaded(f, i) && ResRefLoadedHandle(f, i) == h) found = i;
  // A reference with no type list to own it cannot have been fetched; stay safe anyway.
  if (found < 0 || types == 0) return false;
  *ownerIndex = ownerOf(f, found);
  *refIndex = found;
  return true;
}

namespace {
// The shared start of ResGetInfo and ResRelease: a current file, and h the data of one of
// its loaded resources. Sets resLastError and answers its code.
ResCode findLoadedResource(Handle h, int32_t* owner, int32_t* ref) {
  resLastError = kResOK;
  if (resCurrentFile == nullptr) {
    resLastError = kResFailed;
  } else if (!ResFindByHandle(h, owner, ref)) {
    resLastError = kResNotFound;
  }
  return resLastError;
}
}  // namespace

ResCode ResGetInfo(Handle h, uint32_t* type, uint32_t* id, uint8_t* name) {
  int32_t owner = 0, ref = 0;
  if (const ResCode code = findLoadedResource(h, &owner, &ref); code != kResOK) return code;
  const ResFile* f = resCurrentFile;
  if (type != nullptr) *type = uint32_t(typeField(f, owner, kTypeFieldType));
  if (id != nullptr) *id = refField(f, ref, kRefFieldId);
  if (name != nullptr) {
    // Only a name of 1 to 31 characters lying wholly inside the name list is copied.
    name[0] = 0;
    const int32_t nameOffset = int32_t(refField(f, ref, kRefFieldNameOffset));
    const uint32_t listLength = HandleGetSize(f->names);
    if (nameOffset >= 0 && uint32_t(nameOffset) < listLength) {
      const uint8_t* at = *f->names + nameOffset;
      const uint32_t length = at[0];
      if (length >= 1 && length <= 31 && uint64_t(nameOffset) + 1 + length <= listLength) {
        MemCopy(at, name, length + 1);
      }
    }
  }
  return kResOK;
}

ResCode ResRelease(Handle h) {
  int32_t owner = 0, ref = 0;
  if (const ResCode code = findLoadedResource(h, &owner, &ref); code != kResOK) return code;
  ResFile* f = resCurrentFile;
  HandleDispose(h);
  ResRefSetLoadedHandle(f, ref, nullptr);
  uint8_t* flags = refEntry(f, ref) + kRefFieldFlags;
  resWriteLE32(flags, resReadLE32(flags) & ~kRefLoaded);
  return kResOK;
}

FileRef ResCurrentFile() {
  resLastError = kResOK;
  return resCurrentFile == nullptr ? FileRef(0) : resCurrentFile->fileRef;
}

ResCode ResUseFile(FileRef ref) {
  resLastError = kResOK;
  ResFile* f = findOpenFile(ref);
  if (f == nullptr) {
    resLastError = kResFailed;
    return kResFailed;
  }
  resCurrentFile = f;
  return kResOK;
}
