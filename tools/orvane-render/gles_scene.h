#pragma once
// The scene compiled against the fixed-function layer over OpenGL ES 3, in its own shared
// library (liborvane_scene_gles.so) beside the OpenGL 1.1 scene of the same process. Every
// symbol of that library is hidden but these: it holds its own copy of the scene, the
// process clock, the generator and the resource library, all driven through here.
#include <cstdint>

#if defined(ORVANE_GLES_SCENE_BUILD)
#define ORVANE_GLES_SCENE_API extern "C" __attribute__((visibility("default")))
#else
#define ORVANE_GLES_SCENE_API extern "C"
#endif

struct GlesSceneFrame {
  int32_t backBuffer;  // the frame went into the back buffer (swap it)
  int32_t eased;       // it drew the transitional set of a switch
  int32_t copyCount;   // copies of the set drawn
};

// Sets up a scene on the current ES context, its clock at count 0 of a 1 MHz counter, the
// generator seeded with `seed` and the props read from `props` (nullptr: the fixed places);
// speed in percent. Null when it cannot be had.
ORVANE_GLES_SCENE_API void* glesSceneSetUp(int32_t width, int32_t height, const char* props, const uint32_t* seed,
                                           int32_t speed);
// Draws the frame at `counts` of the counter.
ORVANE_GLES_SCENE_API GlesSceneFrame glesSceneRender(void* scene, uint32_t frameWord, int64_t counts);
// The number of props its atlas holds.
ORVANE_GLES_SCENE_API int32_t glesScenePropCount(void* scene);
// Ends and frees it (the context still current).
ORVANE_GLES_SCENE_API void glesSceneDestroy(void* scene);
// Starts an eased switch to a set picked at random, as the effect asks for one.
ORVANE_GLES_SCENE_API void glesSceneSwitch(void* scene);
