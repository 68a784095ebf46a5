#pragma once
// A headless OpenGL context for the native tools and tests: EGL on Mesa's surfaceless
// platform with a pbuffer surface and a compatibility-profile context, so the real
// scene can draw without a window or an X server.
//
// The pbuffer has a single colour buffer: GL_FRONT and GL_BACK name the same pixels,
// and a swap leaves them in place. A frame drawn "over the previous frame" therefore
// lands on the picture last drawn, as on a screen after a swap.
#include <cstdint>
#include <vector>

struct HeadlessGl {
  void* display = nullptr;
  void* surface = nullptr;
  void* context = nullptr;
  void* config = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  bool es = false;  // an OpenGL ES 3 context (headlessGlesCreate)
};

// Creates the context and makes it current; false (with everything released) when the
// platform offers none.
bool headlessGlCreate(HeadlessGl* gl, int32_t width, int32_t height);
// The same for an OpenGL ES 3 context (for the fixed-function layer), on the same display as
// any desktop context of the process, so both can draw and be compared in one process.
bool headlessGlesCreate(HeadlessGl* gl, int32_t width, int32_t height);
// Makes the context current again (after another was).
bool headlessGlMakeCurrent(const HeadlessGl& gl);
// Gives the context a new pbuffer of the given size (its contents undefined); false, with
// the old one kept, when none can be made.
bool headlessGlResize(HeadlessGl* gl, int32_t width, int32_t height);
// Releases the context, the surface and the display connection.
void headlessGlDestroy(HeadlessGl* gl);
// Presents the frame (what a host's buffer swap is to a window).
void headlessGlSwap(HeadlessGl* gl);
// Reads the whole colour buffer as RGBA, top row first as seen on screen.
void headlessGlRead(const HeadlessGl& gl, bool frontBuffer, std::vector<uint8_t>* rgba);
