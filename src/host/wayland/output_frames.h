#pragma once
// The Wayland host's decisions that need no connection: when an output's surface takes a
// frame, what a configure asks of its scene, and when the pointer has moved too far. Pure
// logic, tested natively; the wayland_*.cpp files feed it the compositor's events.
#include <cstdint>

// How far the pointer may move from where it first entered before the saver ends, in
// pixels, in x or in y (the Windows saver's threshold).
constexpr int32_t kPointerThreshold = 50;

// What a configure asks of an output's scene.
enum class SceneChange {
  None,     // the size it has (compositors repeat configures)
  SetUp,    // the first usable size: make the drawing surface and the scene
  Reshape,  // a new size for the scene it has
};

// One output's layer surface as the frame loop sees it.
class OutputFrames {
 public:
  // The compositor gave the surface this size. A size with a zero side is no size to draw
  // at: it changes nothing, and a surface never configured so stays unready.
  SceneChange configure(int32_t width, int32_t height);
  // A frame may be drawn: the surface has its size, its first frame is still to come or
  // the callback asked with the last one has come, and the compositor has not closed it.
  bool ready() const { return configured_ && !waiting_ && !closed_; }
  // A frame was drawn (its callback asked before the swap).
  void frameDrawn() { waiting_ = true; }
  // The callback of the last frame came: the compositor wants the next one.
  void callbackCame() { waiting_ = false; }
  // The compositor closed the surface: it takes no more frames.
  void close() { closed_ = true; }
  bool closed() const { return closed_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }

 private:
  bool configured_ = false;
  bool waiting_ = false;
  bool closed_ = false;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

// The pointer test: the first place the pointer is seen on any of the saver's surfaces is
// the start; a move more than the threshold from it, or onto another output's surface
// (surface coordinates are each output's own, and the pointer got there by moving), ends
// the saver.
class PointerWatch {
 public:
  // The pointer entered surface `surface` (any id that tells the surfaces apart) at x, y;
  // true when that is too far from the start.
  bool enter(uintptr_t surface, double x, double y);
  // The pointer moved to x, y on the surface it is on; true when that is too far.
  bool motion(double x, double y);

 private:
  bool started_ = false;
  uintptr_t startSurface_ = 0;
  uintptr_t surface_ = 0;
  int32_t startX_ = 0;
  int32_t startY_ = 0;
};
