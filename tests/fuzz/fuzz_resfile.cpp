// Fuzz target for the resource-file reader: the input is the whole file. It is opened
// twice, every listed type is counted and fetched at and around its bounds, described
// and partly released, both files are closed, and the library must be empty again.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "resfile/resfile.h"
#include "resfile/resfile_internal.h"

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fuzz_resfile: %s\n", what);
    std::abort();
  }
}

// A path whose contents are the input. On Linux an in-memory file, reached through
// /proc/self/fd, so no disk is touched; elsewhere a file in the temp directory.
std::string pathWith(const uint8_t* data, size_t size) {
#ifdef __linux__
  static int fd = memfd_create("fuzz_resfile", 0);
  if (fd >= 0) {
    require(ftruncate(fd, 0) == 0, "ftruncate");
    size_t done = 0;
    while (done < size) {
      const ssize_t n = pwrite(fd, data + done, size - done, off_t(done));
      require(n > 0, "pwrite");
      done += size_t(n);
    }
    return "/proc/self/fd/" + std::to_string(fd);
  }
#endif
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir != nullptr ? dir : "/tmp") + "/fuzz_resfile_input.bin";
  }();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  require(f != nullptr, "temp file");
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
  return path;
}

// The type codes to try: 'Prop', a type never listed, and the first listed ones.
int typesToTry(uint32_t* types, int room) {
  int n = 0;
  types[n++] = kPropType;
  types[n++] = 0x706F7250u;
  const ResFile* f = resCurrentFile;
  const int32_t listed = ResTypeEntryCount(f);
  for (int32_t i = 0; i < listed && n < room; ++i) types[n++] = resReadLE32(*f->types + 12u * uint32_t(i));
  return n;
}

void exercise(bool releaseEveryOther) {
  uint32_t types[10];
  const int typeCount = typesToTry(types, 10);
  for (int t = 0; t < typeCount; ++t) {
    const int32_t count = ResCountOfType(types[t]);
    require(count >= 0 && resLastError == kResOK, "count of a current file");
    const int32_t last = count < 48 ? count : 48;
    const int32_t indexes[] = {-1, count, count + 1, INT32_MIN, INT32_MAX};
    for (int32_t index : indexes) {
      if (index >= 0 && index < count) continue;
      require(ResGetIndexed(types[t], index) == nullptr && resLastError == kResNotFound, "index out of range");
    }
    for (int32_t i = 0; i <= last; ++i) {
      Handle h = ResGetIndexed(types[t], i);
      if (i == count) {
        require(h == nullptr, "index equal to count");
        continue;
      }
      if (h == nullptr) continue;  // a resource longer than the file is refused
      require(ResGetIndexed(types[t], i) == h, "a second fetch gives the same Handle");
      // Touch every byte, so a Handle shorter than its size would show.
      volatile uint8_t sum = 0;
      for (uint32_t k = 0; k < HandleGetSize(h); ++k) sum = uint8_t(sum + (*h)[k]);
      uint32_t type = 0, id = 0;
      uint8_t name[32];
      require(ResGetInfo(h, &type, &id, name) == kResOK, "info on a loaded Handle");
      require(name[0] <= 31, "name length");
      if (!releaseEveryOther || (i % 2) == 0) {
        require(ResRelease(h) == kResOK, "release");
        require(ResRelease(h) == kResNotFound, "second release");
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = pathWith(data, size);

  FileRef first = 0;
  const ResCode opened = ResOpenFile(path.c_str(), &first);
  require(opened == kResOK || opened == kResFailed, "open result");
  require(first != 0 && ResCurrentFile() == first, "an opened file is current");
  exercise(false);

  FileRef second = 0;
  require(ResOpenFile(path.c_str(), &second) == opened, "the same bytes open the same way");
  require(second == first + 1, "the next slot");
  exercise(true);  // leaves some Handles loaded for the close to dispose of

  require(ResUseFile(first) == kResOK && ResCurrentFile() == first, "use the first file");
  exercise(true);
  require(ResUseFile(FileRef(second + 1)) == kResFailed && ResCurrentFile() == first, "use an unknown file");
  require(ResCloseFile(0) == kResFailed, "close FileRef 0");
  require(ResCloseFile(second) == kResOK && ResCurrentFile() == first, "close a file that is not current");
  require(ResCloseFile(first) == kResOK, "close the current file");

  require(ResCurrentFile() == 0, "no file current");
  require(resFileList == nullptr, "no file listed");
  require(FileTableCount() == 0, "every stream closed");
  require(ResCountOfType(kPropType) == -1 && resLastError == kResFailed, "count without a file");
  return 0;
}
