#pragma once
// The GL half of the prop atlas: the upload of the built pixels as a texture.
#include <cstdint>

#include "props/prop_atlas.h"

// What one build of the atlas made: the number of props painted, and its wall time.
struct PropAtlasBuild {
  int32_t cellCount = 0;
  double buildMs = 0.0;
};

// Builds the atlas pixels and uploads them as a new linear-filtered RGBA texture named in
// the record (1024 x 1024); returns the number of props loaded. When the pixel buffer
// cannot be allocated, or the driver cannot hold a 1024 x 1024 RGBA texture, the atlas
// degrades as without a prop file: 0 props and a small, fully transparent texture the
// driver can hold. Needs a current GL context; a null record builds nothing.
PropAtlasBuild buildPropAtlas(PropAtlas* atlas);

// A host that sets up several scenes at once (one per monitor) keeps the atlas while it
// does: the first build after keepPropAtlasPixels reads the prop file as ever and keeps its
// pixels; every later build until releasePropAtlasPixels uploads those into its own context
// instead, without opening the file or drawing from the random generator, so every scene
// shows the same props. Releasing frees the pixels; the next build reads the file again.
void keepPropAtlasPixels();
void releasePropAtlasPixels();

// Whether the driver can hold an RGBA texture of size x size; by default the proxy
// texture answers. Tests install their own to play a small driver; nullptr restores it.
using AtlasSizeProbe = bool (*)(int32_t size);
void setAtlasSizeProbe(AtlasSizeProbe probe);
