#include "props/prop_atlas.h"

#include <cstring>
#include <mutex>
#include <string>
#include <utility>

#include "common/random.h"
#include "props/prop_image.h"

namespace {

std::vector<std::string>& candidates() {
  static std::vector<std::string> paths{kPropFirstPath, kPropSecondPath};
  return paths;
}

// The two paths whose file, once it opens, ends the search.
std::vector<std::string>& fixedPaths() {
  static std::vector<std::string> paths{kPropFirstPath, kPropSecondPath};
  return paths;
}

bool isFixedPath(const std::string& path) {
  for (const std::string& fixed : fixedPaths())
    if (fixed == path) return true;
  return false;
}

// Paints up to 529 props of the current file at random, in one front-to-back scan; the number painted.
int32_t paintProps(uint8_t* buffer) {
  const int32_t count = ResCountOfType(kPropResourceType);
  int32_t loaded = 0;
  int32_t free = kPropSlots;
  int32_t remaining = count;
  for (int32_t j = 0; j < count; ++j, --remaining) {
    // k never exceeds remaining - 1, so the last free + 1 candidates are always taken.
    const int32_t k = int32_t(orvane::randomFraction() * remaining);
    if (k > free) continue;
    Handle h = ResGetIndexed(kPropResourceType, j);
    // A resource that cannot be loaded takes no cell; the scan goes on. (The library
    // refuses maps whose type counts run past the reference list, so the count is bounded
    // by the file's own size.)
    if (!h) continue;
    uint32_t type = 0;
    uint32_t id = kPropInvertedIdLimit;
    uint8_t name[256];
    ResGetInfo(h, &type, &id, name);
    decodePropImage(buffer, kPropAtlasSize, kPropAtlasSize, *h, HandleGetSize(h),
                    kPropCellSize * (loaded % kPropCellsPerRow), kPropCellSize * (loaded / kPropCellsPerRow),
                    id < kPropInvertedIdLimit);
    ++loaded;
    if (--free == 0) break;  // the last prop stays loaded until the file is closed
    ResRelease(h);
  }
  return loaded;
}

}  // namespace

void setPropFileCandidates(std::vector<std::string> paths) {
  candidates() = std::move(paths);
  fixedPaths() = {kPropFirstPath, kPropSecondPath};
}

const std::vector<std::string>& propFileCandidates() { return candidates(); }

void setPropFilePaths(const char* first, const char* second) {
  setPropFileCandidates({first ? first : kPropFirstPath, second ? second : kPropSecondPath});
  fixedPaths() = candidates();
}

int32_t buildPropAtlasPixels(uint8_t* buffer) {
  if (buffer) std::memset(buffer, 0, kPropAtlasBytes);
  // The resource library has one current file per process: one build reads at a time,
  // whichever thread sets up its scene.
  static std::mutex resourceLibrary;
  const std::lock_guard<std::mutex> hold(resourceLibrary);
  for (const std::string& path : candidates()) {
    FileRef fileRef = 0;
    ResOpenFile(path.c_str(), &fileRef);
    if (fileRef == 0) continue;
    // Nowhere to paint: the file is still closed.
    const int32_t loaded = buffer ? paintProps(buffer) : 0;
    ResCloseFile(fileRef);
    if (loaded > 0 || !buffer || isFixedPath(path)) return loaded;
    // Nothing painted, so the buffer is still all zero for the next file.
  }
  return 0;
}
