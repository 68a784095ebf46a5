#pragma once
// One kaleidoscope arrangement: a wedge of the plane z = 0 with its apex at the
// origin, bounded by two mirror planes, and the number of copies that fill the circle.
#include <cstdint>

#include "scene/vec3.h"

// Degrees to radians through the single-precision constant the whole renderer uses
// (slightly below pi/180); every angle goes through it except the fixed 270 degrees.
constexpr float kDegreesToRadians = 0.01745328f;
// The radius-4 outline point at 270 degrees uses this float, a little below 3*pi/2.
constexpr float kStartRadians = 4.712385f;

struct MirrorSet {
  float wedgeAngle = 0.0f;  // degrees between the mirrors
  int32_t copyCount = 0;    // ceil(360 / wedgeAngle)
  Vec3 centre;              // apex, always (0, 0, 0)
  Vec3 edgeStart;           // outline point at 270 degrees, radius 4
  Vec3 edgeEnd;             // outline point at wedgeAngle + 270 degrees, radius 4
  float edgeLength = 0.0f;  // |edgeStart - edgeEnd|
  double clipPlane0[4] = {0, 0, 0, 0};  // keeps x >= 0
  double clipPlane1[4] = {0, 0, 0, 0};  // keeps the side at or below the wedgeAngle direction

  // Fills every field from the wedge angle; building twice with one angle gives
  // identical sets. Angles outside (0, 180) are not used by the scene; they still
  // give a finite set (copyCount is clamped to 1 .. 360) so nothing downstream loops
  // without end.
  void build(float angle);
};

// The angle of scene set n (0..6): 360 / (10 + 2n), taken in double, rounded to float.
float mirrorSetAngle(int32_t n);
