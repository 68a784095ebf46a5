#pragma once
// The Wayland host's decisions that need no connection: when an output's surface takes a
// frame, what a configure asks of its scene, and when the pointer has moved too far. Pure
// logic, tested natively; the wayland_*.cpp files feed it the compositor's events.
#include <cstdint>

// How far the pointer may move from where it first entered before the saver ends, in
// logical pixels (surface coordinates, whatever the output's scale), in x or in y (the
// Windows saver's threshold).
constexpr int32_t kPointerThreshold = 50;

// What a configure asks of an output's scene.
enum class SceneChange {
  None,     // the size it has (compositors repeat configures)
  SetUp,    // the first usable size: make the drawing surface and the scene
  Reshape,  // a new size for the scene it has
};

// A surface's buffer for its logical size. The buffer has the output's physical pixels:
// with a fractional scale (`scale120`, in 120ths, from the fractional-scale protocol, 0 when
// none came) each side is round(logical x scale / 120), the buffer scale 1 and a viewport
// shows it at the logical size; else each side is the logical one times the output's integer
// scale, which is the buffer scale.
struct BufferSize {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bufferScale = 1;  // for wl_surface.set_buffer_scale
  bool viewport = false;    // the viewport's destination is the logical size
};
// `outputScale` below 1 counts as 1; scales are capped so that no side passes
// kMaxBufferSide. A zero logical side gives a zero buffer side.
BufferSize bufferSizeFor(int32_t logicalWidth, int32_t logicalHeight, int32_t outputScale, int32_t scale120);
constexpr int32_t kMaxBufferSide = 32768;

// One output's layer surface as the frame loop sees it.
class OutputFrames {
 public:
  // The compositor gave the surface this logical size. A size with a zero side is no size
  // to draw at: it changes nothing, and a surface never configured so stays unready. A new
  // size is drawn at once: the callback of the frame before is no longer waited for.
  SceneChange configure(int32_t width, int32_t height);
  // The output's integer scale and the surface's fractional one (120ths, 0: none) as they
  // are now; a buffer of another size reshapes the scene (and is drawn at once, as above).
  SceneChange setScale(int32_t outputScale, int32_t scale120);
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
  // The buffer's size in pixels (what the scene is set up in and --fps names).
  int32_t width() const { return buffer_.width; }
  int32_t height() const { return buffer_.height; }
  int32_t logicalWidth() const { return logicalWidth_; }
  int32_t logicalHeight() const { return logicalHeight_; }
  const BufferSize& buffer() const { return buffer_; }

 private:
  SceneChange resize();

  bool configured_ = false;
  bool waiting_ = false;
  bool closed_ = false;
  int32_t logicalWidth_ = 0;
  int32_t logicalHeight_ = 0;
  int32_t outputScale_ = 1;
  int32_t scale120_ = 0;
  BufferSize buffer_;
};

// When a surface the compositor closed may be made again: at its output's next
// announcement, but no sooner than a backoff after the close, which doubles (from
// kFirstRetryMicros up to kLastRetryMicros) while each new surface is closed again within
// kSteadyMicros of being made, so that a compositor that keeps closing it is not flooded.
class SurfaceRetry {
 public:
  static constexpr int64_t kFirstRetryMicros = 1000000;
  static constexpr int64_t kLastRetryMicros = 64000000;
  static constexpr int64_t kSteadyMicros = 30000000;
  // A surface was made at `now`.
  void made(int64_t now) { madeAt_ = now; }
  // The compositor closed it at `now`.
  void closed(int64_t now);
  // Whether one may be made at `now`.
  bool mayMake(int64_t now) const { return now >= earliest_; }
  // The time from which one may be made.
  int64_t earliest() const { return earliest_; }

 private:
  int64_t madeAt_ = 0;
  int64_t delay_ = 0;
  int64_t earliest_ = INT64_MIN;
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
