// The table of open file streams: a FileRef is a slot number counted from 1.
#include <cstdio>

#include <string>

#include "common/utf8.h"
#include "resfile/handles.h"

namespace {

std::FILE* fileTable[kFileTableSlots] = {};
int32_t fileTableCount = 0;

// The stream of a valid FileRef, or null.
std::FILE* streamOf(FileRef ref) {
  if (ref < 1 || ref > fileTableCount) return nullptr;
  return fileTable[ref - 1];
}

// 64-bit stream positions, so files beyond 2 GiB still report their true size.
int seekTo(std::FILE* f, int64_t offset, int whence) {
#ifdef _WIN32
  return _fseeki64(f, offset, whence);
#else
  return fseeko(f, static_cast<off_t>(offset), whence);
#endif
}

int64_t tellOf(std::FILE* f) {
#ifdef _WIN32
  return _ftelli64(f);
#else
  return static_cast<int64_t>(ftello(f));
#endif
}

// Opens a file named in UTF-8 for reading. On Windows the name goes to the system as
// UTF-16, so a folder or file name outside the user's code page opens too; a name that is
// not UTF-8 opens nothing there.
std::FILE* openForReading(const char* path) {
#ifdef _WIN32
  std::u16string wide;
  if (!orvane::utf8ToUtf16(path, &wide)) return nullptr;
  return FileOpenShared(reinterpret_cast<const wchar_t*>(wide.c_str()));
#else
  return std::fopen(path, "rb");
#endif
}

// Puts an open stream in the next slot.
FileRef keep(std::FILE* f) {
  fileTable[fileTableCount] = f;
  ++fileTableCount;
  return static_cast<FileRef>(fileTableCount);
}

}  // namespace

ResCode FileOpen(const char* path, int16_t mode, FileRef* ref) {
  // Only reading is offered; a full table refuses rather than write past its last slot.
  if (path == nullptr || ref == nullptr || mode != kFileModeRead) return kFileFailed;
  if (fileTableCount >= kFileTableSlots) return kFileFailed;
  std::FILE* f = openForReading(path);
  if (f == nullptr) return kFileFailed;
  *ref = keep(f);
  return kResOK;
}

ResCode FileAdopt(std::FILE* stream, FileRef* ref) {
  if (stream == nullptr) return kFileFailed;
  if (ref == nullptr || fileTableCount >= kFileTableSlots) {
    std::fclose(stream);
    return kFileFailed;
  }
  *ref = keep(stream);
  return kResOK;
}

ResCode FileClose(FileRef ref) {
  std::FILE* f = streamOf(ref);
  if (f == nullptr) return kFileFailed;
  std::fclose(f);
  fileTable[ref - 1] = nullptr;
  // Only the top slot gives its place back, and only itself: lower empty slots stay counted.
  if (ref == fileTableCount) --fileTableCount;
  return kResOK;
}

ResCode FileSeek(FileRef ref, int16_t mode, int32_t offset) {
  std::FILE* f = streamOf(ref);
  if (f == nullptr || mode != kFileSeekFromStart) return kFileFailed;
  seekTo(f, offset, SEEK_SET);  // a failed positioning is not reported
  return kResOK;
}

ResCode FileRead(FileRef ref, int32_t* count, void* buffer) {
  std::FILE* f = streamOf(ref);
  if (f == nullptr || count == nullptr) return kFileFailed;
  if (*count <= 0 || buffer == nullptr) {
    *count = 0;
    return kResOK;
  }
  *count = static_cast<int32_t>(std::fread(buffer, 1, static_cast<size_t>(*count), f));
  return kResOK;
}

ResCode FileGetSize(FileRef ref, int64_t* size) {
  std::FILE* f = streamOf(ref);
  if (f == nullptr || size == nullptr) return kFileFailed;
  const int64_t here = tellOf(f);
  if (here < 0 || seekTo(f, 0, SEEK_END) != 0) return kFileFailed;
  const int64_t end = tellOf(f);
  seekTo(f, here, SEEK_SET);
  if (end < 0) return kFileFailed;
  *size = end;
  return kResOK;
}

int32_t FileTableCount() { return fileTableCount; }
