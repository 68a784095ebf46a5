#pragma once
// Memory blocks reached through Handles, and the table of open file streams.
#include <cstdint>
#include <cstdio>

// Result codes shared by the whole resource library.
using ResCode = int16_t;
constexpr ResCode kResOK = 0;
constexpr ResCode kResFailed = -1;
constexpr ResCode kResNotFound = -10;
constexpr ResCode kFileFailed = -20;

// The block behind a Handle. A Handle is the address of its `data` field, so
// dereferencing a Handle gives the current data pointer.
struct HandleBlock {
  uint32_t size;      // logical size of the data in bytes
  uint32_t capacity;  // bytes allocated for the data; never less than size
  uint8_t* data;
};
using Handle = uint8_t**;

// Returns n zeroed bytes, or null when the allocation fails.
void* MemAllocZeroed(uint32_t n);
void MemFree(void* p);
// Copies count bytes from source to destination (source first).
void MemCopy(const void* source, void* destination, uint32_t count);
// Always kResOK: the only sign of a failed allocation is a null Handle.
ResCode MemLastError();

// A new Handle of `size` zero bytes (size 0 allowed), or null with nothing kept.
Handle HandleNew(uint32_t size);
// Frees the data block and the HandleBlock; h must not be null.
void HandleDispose(Handle h);
// Shrinks in place, or grows to exactly newSize (zero-filled beyond the old size).
ResCode HandleSetSize(Handle h, uint32_t newSize);
void HandleLock(Handle h);
void HandleUnlock(Handle h);
// The logical size of the Handle's data.
uint32_t HandleGetSize(Handle h);
uint32_t HandleGetCapacity(Handle h);

// File table: 16 slots; a FileRef is the slot number counted from 1, 0 means no file.
using FileRef = int16_t;
constexpr int kFileTableSlots = 16;
constexpr int16_t kFileModeRead = 2;
constexpr int16_t kFileSeekFromStart = 0;

ResCode FileOpen(const char* path, int16_t mode, FileRef* ref);
#ifdef _WIN32
// A file opened for reading (binary) by its wide name, shared for reading, writing and
// deleting, so that a writer may replace it while it is open; null, errno set, otherwise
// (ENOENT when there is no such file or folder).
std::FILE* FileOpenShared(const wchar_t* path);
#endif
// Takes a stream the caller opened for reading (binary) into the table, for names that the
// narrow fopen of FileOpen cannot reach (wide names on Windows). The table owns it from then
// on: FileClose closes it, and so does a refusal (a null stream, or no free slot).
ResCode FileAdopt(std::FILE* stream, FileRef* ref);
ResCode FileClose(FileRef ref);
ResCode FileSeek(FileRef ref, int16_t mode, int32_t offset);
ResCode FileRead(FileRef ref, int32_t* count, void* buffer);
// The length of the file in bytes; the stream's position is kept.
ResCode FileGetSize(FileRef ref, int64_t* size);
// The number of slots counted as in use (for tests and diagnostics).
int32_t FileTableCount();
