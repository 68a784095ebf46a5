// Mirror switching: the random pick of a set and the two-second eased switch.
#include "common/random.h"
#include "scene/mirror_scene.h"

double easeFactor(double d) { return d * d * (3.0 - 2.0 * d); }

namespace {
// The angle the ease has reached at progress d, rounded to float.
float easedAngle(const MirrorTransition& t, double d) {
  const double from = t.fromAngle;
  const double to = t.toAngle;
  return static_cast<float>(from + easeFactor(d) * (to - from));
}
}  // namespace

void MirrorScene::chooseMirrorSet(bool animate) {
  const MirrorSet* oldSet = currentSet;
  int32_t index = static_cast<int32_t>(orvane::randomFraction() * kMirrorSetCount);
  if (index < 0) index = 0;
  if (index >= kMirrorSetCount) index = kMirrorSetCount - 1;
  currentSet = &mirrorSets[index];
  if (!animate) return;

  MirrorTransition& t = mirrorTransition;
  if (t.active) {
    // Restart from the angle on screen now, so the picture does not jump.
    double d = (static_cast<double>(sceneTime) - t.startTime) / t.duration;
    if (d > 1.0) d = 1.0;
    t.fromAngle = easedAngle(t, d);
  } else {
    t.fromAngle = oldSet ? oldSet->wedgeAngle : currentSet->wedgeAngle;
    t.active = true;
  }
  t.startTime = sceneTime;
  t.duration = 2.0f;
  t.toAngle = currentSet->wedgeAngle;
}

const MirrorSet& MirrorScene::pickSetToDraw() {
  MirrorTransition& t = mirrorTransition;
  if (!t.active) {
    drawnEased = false;
    drawnSet = currentSet;
    return *currentSet;
  }
  double d = (static_cast<double>(sceneTime) - t.startTime) / t.duration;
  if (d >= 1.0) {
    d = 1.0;  // the frame that ends the ease draws exactly toAngle
    t.active = false;
  }
  t.transitionalSet.build(easedAngle(t, d));
  drawnEased = true;
  drawnSet = &t.transitionalSet;
  return t.transitionalSet;
}
