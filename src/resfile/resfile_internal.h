#pragma once
// The in-memory record of an open resource file and the library's internal steps.
// Shared by the reading and closing code and by the tests; not for other users.
#include <cstdint>

#include "resfile/resfile.h"
#include "resfile/resfile_layout.h"

// A loaded Handle lives in the entry's 4-byte `dataHandle` field when it fits there;
// otherwise (64-bit builds) in `ResFile::loaded`, one per reference.
constexpr bool kHandleFitsInRefEntry = sizeof(Handle) <= 4;

struct ResFileHeader {
  uint32_t dataOffset;
  uint32_t dataLength;
  uint32_t mapOffset;
  uint32_t mapLength;
};

struct ResMapHeader {
  int32_t typeCount;
  int32_t refCount;
  uint32_t nameListLength;
  uint32_t typeListOffset;
  uint32_t refListOffset;
  uint32_t nameListOffset;
};

struct ResFile {
  ResFile* next;          // the file opened before this one and still open
  FileRef fileRef;
  ResFileHeader header;
  ResMapHeader mapHeader;  // all zero until a map has been read and found sound
  Handle types;            // typeCount x 12 bytes, raw file layout
  Handle refs;             // refCount x 32 bytes, raw file layout
  Handle names;            // nameListLength bytes
  Handle* loaded;          // per-reference loaded Handles when they do not fit in an entry
  int64_t fileSize;        // the real length of the file, the bound for every allocation
  int32_t lastLoaded;      // 1 + the reference loaded last (0: none), which a caller most often
                           // describes or releases next: found without a scan
};

extern ResFile* resFileList;
extern ResFile* resCurrentFile;

// Makes a record for an open file, pushes it at the head of the list and makes it
// current. Returns kResOK, or kResFailed (nothing kept) when memory runs out.
ResCode ResCreateFileRecord(FileRef ref);
// Reads the header and the map of the current file into its record. A corrupt file
// answers kResFailed and leaves the record with empty lists.
ResCode ResReadMap(FileRef ref);
// The reference index of resource `index` of the first type entry with this type, or -1.
int32_t ResFindIndexed(uint32_t type, int32_t index);
// The loaded data of reference `refIndex` of the current file, or null.
Handle ResLoadData(int32_t refIndex);
// The owning type entry and the reference of a loaded Handle of the current file.
bool ResFindByHandle(Handle h, int32_t* ownerIndex, int32_t* refIndex);

// The loaded Handle of a reference of `file` (null when none is stored) and its setter.
Handle ResRefLoadedHandle(const ResFile* file, int32_t refIndex);
void ResRefSetLoadedHandle(ResFile* file, int32_t refIndex, Handle h);
// The number of entries actually held in the record's lists.
int32_t ResTypeEntryCount(const ResFile* file);
int32_t ResRefEntryCount(const ResFile* file);
