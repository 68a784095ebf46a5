#include "props/prop_atlas_gl.h"

#include <chrono>
#include <cstdlib>

#include "scene/gl_headers.h"

namespace {

// Every GL implementation holds 64 x 64 textures; the transparent stand-in is 8 x 8.
constexpr int32_t kFallbackSize = 8;
const uint8_t kTransparentPixels[kFallbackSize * kFallbackSize * 4] = {};

bool proxyHolds(int32_t size) {
  glTexImage2D(GL_PROXY_TEXTURE_2D, 0, GL_RGBA, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  GLint width = 0;
  glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  return width == size;
}

AtlasSizeProbe sizeProbe = proxyHolds;

// The pixels kept for later scenes, while a host keeps them: none until a build has read
// the prop file into a full-size buffer.
bool keeping = false;
uint8_t* keptPixels = nullptr;
int32_t keptCount = 0;

// Makes the record's texture and uploads size x size pixels into it.
void upload(PropAtlas* atlas, int32_t size, const uint8_t* pixels) {
  atlas->width = size;
  atlas->height = size;
  GLuint name = 0;
  glGenTextures(1, &name);
  atlas->texture = name;
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
}

// Builds and uploads; returns the number of props loaded.
int32_t buildAtlas(PropAtlas* atlas) {
  // A driver that cannot hold the atlas would leave the texture incomplete, and every
  // sprite an opaque white square; a buffer that cannot be had leaves nothing to paint.
  // Both degrade as a missing prop file does, before the file is read at all.
  const bool holds = sizeProbe(kPropAtlasSize);
  if (holds && keptPixels != nullptr) {
    upload(atlas, kPropAtlasSize, keptPixels);
    return keptCount;
  }
  uint8_t* buffer = nullptr;
  if (holds) buffer = static_cast<uint8_t*>(std::malloc(kPropAtlasBytes));
  if (buffer == nullptr) {
    upload(atlas, kFallbackSize, kTransparentPixels);
    return 0;
  }
  int32_t loaded = buildPropAtlasPixels(buffer);
  if (loaded < 0) loaded = 0;
  if (loaded > kPropSlots) loaded = kPropSlots;
  upload(atlas, kPropAtlasSize, buffer);
  if (keeping) {
    keptPixels = buffer;
    keptCount = loaded;
  } else {
    std::free(buffer);
  }
  return loaded;
}

}  // namespace

void keepPropAtlasPixels() { keeping = true; }

void releasePropAtlasPixels() {
  keeping = false;
  std::free(keptPixels);
  keptPixels = nullptr;
  keptCount = 0;
}

void setAtlasSizeProbe(AtlasSizeProbe probe) { sizeProbe = probe ? probe : proxyHolds; }

PropAtlasBuild buildPropAtlas(PropAtlas* atlas) {
  PropAtlasBuild built;
  if (atlas == nullptr) return built;
  const auto start = std::chrono::steady_clock::now();
  built.cellCount = buildAtlas(atlas);
  built.buildMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return built;
}
