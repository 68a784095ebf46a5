// The Wayland host's pure decisions.
#include "host/wayland/output_frames.h"

#include <algorithm>
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

BufferSize bufferSizeFor(int32_t logicalWidth, int32_t logicalHeight, int32_t outputScale, int32_t scale120) {
  BufferSize b;
  const int64_t w = std::max<int32_t>(logicalWidth, 0), h = std::max<int32_t>(logicalHeight, 0);
  const int64_t longest = std::max<int64_t>(std::max(w, h), 1);
  if (scale120 > 0) {
    // Rounded to the nearest pixel, halves up; at least one pixel of a side there is.
    const int64_t scale = std::min<int64_t>(scale120, kMaxBufferSide * int64_t(120) / longest);
    b.width = static_cast<int32_t>(w == 0 ? 0 : std::max<int64_t>((w * scale + 60) / 120, 1));
    b.height = static_cast<int32_t>(h == 0 ? 0 : std::max<int64_t>((h * scale + 60) / 120, 1));
    b.viewport = true;
    return b;
  }
  const int64_t scale = std::max<int64_t>(1, std::min<int64_t>(outputScale, kMaxBufferSide / longest));
  b.width = static_cast<int32_t>(w * scale);
  b.height = static_cast<int32_t>(h * scale);
  b.bufferScale = static_cast<int32_t>(scale);
  return b;
}

SceneChange OutputFrames::configure(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return SceneChange::None;
  logicalWidth_ = width;
  logicalHeight_ = height;
  return resize();
}

SceneChange OutputFrames::setScale(int32_t outputScale, int32_t scale120) {
  outputScale_ = outputScale;
  scale120_ = scale120;
  if (!configured_ && logicalWidth_ == 0) return SceneChange::None;
  return resize();
}

SceneChange OutputFrames::resize() {
  const BufferSize b = bufferSizeFor(logicalWidth_, logicalHeight_, outputScale_, scale120_);
  const bool sameSize = b.width == buffer_.width && b.height == buffer_.height;
  buffer_ = b;
  if (configured_ && sameSize) return SceneChange::None;
  const SceneChange change = configured_ ? SceneChange::Reshape : SceneChange::SetUp;
  configured_ = true;
  waiting_ = false;
  return change;
}

void SurfaceRetry::closed(int64_t now) {
  const bool steady = delay_ == 0 || now - madeAt_ >= kSteadyMicros;
  delay_ = steady ? kFirstRetryMicros : std::min(delay_ * 2, kLastRetryMicros);
  earliest_ = now + delay_;
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
