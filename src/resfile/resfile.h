#pragma once
// Read-only resource files: open, count resources by type, fetch by index,
// describe, release, switch the current file, close.
#include <cstdint>

#include "resfile/handles.h"

// Four characters, the first in the most significant byte.
constexpr uint32_t resTypeCode(char a, char b, char c, char d) {
  return (uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) | (uint32_t(uint8_t(c)) << 8) |
         uint32_t(uint8_t(d));
}
constexpr uint32_t kPropType = resTypeCode('P', 'r', 'o', 'p');  // 0x50726F70

constexpr uint32_t kRefLoaded = 0x02;
constexpr uint32_t kRefClearedOnRead = 0x13;

// The last result of a public operation (0 on success).
extern int16_t resLastError;

ResCode ResOpenFile(const char* path, FileRef* ref);
// As ResOpenFile, for a stream the caller opened for reading (FileAdopt): the library owns
// it from then on and closes it with the file, or at once when it cannot take it.
ResCode ResOpenStream(std::FILE* stream, FileRef* ref);
int32_t ResCountOfType(uint32_t type);
Handle ResGetIndexed(uint32_t type, int32_t index);
// name: at least 32 bytes; receives a length-prefixed name (no terminating zero).
ResCode ResGetInfo(Handle h, uint32_t* type, uint32_t* id, uint8_t* name);
ResCode ResRelease(Handle h);
FileRef ResCurrentFile();
ResCode ResUseFile(FileRef ref);
ResCode ResCloseFile(FileRef ref);
