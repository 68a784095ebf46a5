// The Wayland host's pure decisions.
#include "host/wayland/output_frames.h"

#include <cmath>

#include "host/win32/saver_rules.h"

namespace {

// Surface coordinates are fixed-point; whole pixels, clamped far beyond any output, are
// what the threshold is measured in.
int32_t wholePixels(double v) {
  if (!(v > -1e6)) return -1000000;  // NaN included
  if (v > 1e6) return 1000000;
  return static_cast<int32_t>(std::floor(v));
}

}  // namespace

SceneChange OutputFrames::configure(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return SceneChange::None;
  if (configured_ && width == width_ && height == height_) return SceneChange::None;
  const SceneChange change = configured_ ? SceneChange::Reshape : SceneChange::SetUp;
  configured_ = true;
  width_ = width;
  height_ = height;
  return change;
}

bool PointerWatch::enter(uintptr_t surface, double x, double y) {
  surface_ = surface;
  if (!started_) {
    started_ = true;
    startSurface_ = surface;
    startX_ = wholePixels(x);
    startY_ = wholePixels(y);
    return false;
  }
  if (surface != startSurface_) return true;
  return motion(x, y);
}

bool PointerWatch::motion(double x, double y) {
  if (!started_ || surface_ != startSurface_) return started_;
  return cursorMovedTooFar(ScreenPoint{startX_, startY_}, ScreenPoint{wholePixels(x), wholePixels(y)},
                           kPointerThreshold);
}
