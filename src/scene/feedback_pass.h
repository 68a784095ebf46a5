#pragma once
// The optional feedback trail pass: a small grey copy of the kaleidoscope laid over
// the frame as a zooming trail, on drivers that offer it.

// Size of the feedback texture and of the corner it is captured from.
constexpr int kFeedbackSize = 128;

// True when the extension string names both extensions the pass is probed by, each
// found as a plain substring. A missing string offers nothing.
bool extensionsOfferFeedback(const char* extensions);

// A 640 x 480 overlay projection, origin top left, y downwards, over the viewport.
void beginOverlay();
// Restores both matrices; the modelview matrix is left current.
void endOverlay();
