#pragma once
// The GL half of the prop atlas: the upload of the built pixels as a texture.
#include <cstdint>

#include "props/prop_atlas.h"

// Builds the atlas pixels, stores the number of props into the live effect's
// cellCount, and uploads them as a new linear-filtered RGBA texture named in the record
// (1024 x 1024). When the pixel buffer cannot be allocated, or the driver cannot hold a
// 1024 x 1024 RGBA texture, the atlas degrades as without a prop file: cellCount 0 and a
// small, fully transparent texture the driver can hold. Needs a current GL context.
void buildPropAtlas(PropAtlas* atlas);

// Whether the driver can hold an RGBA texture of size x size; by default the proxy
// texture answers. Tests install their own to play a small driver; nullptr restores it.
using AtlasSizeProbe = bool (*)(int32_t size);
void setAtlasSizeProbe(AtlasSizeProbe probe);

// Wall time of the last buildPropAtlas, in milliseconds (for the renderer's statistics).
double propAtlasLastBuildMs();
