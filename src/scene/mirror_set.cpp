#include "scene/mirror_set.h"

#include <cmath>

void MirrorSet::build(float angle) {
  wedgeAngle = angle;

  // The quotient stays in double: rounded to float, 360 / float(360/14) would come out
  // as exactly 14, while the set is specified with 15 copies (one pass more, landing
  // on the first wedge again at exactly 360 degrees).
  const double copies = std::ceil(360.0 / static_cast<double>(wedgeAngle));
  if (!(copies >= 1.0)) {
    copyCount = 1;  // also NaN and negative angles
  } else if (copies > 360.0) {
    copyCount = 360;
  } else {
    copyCount = static_cast<int32_t>(copies);
  }

  centre.set(0.0f, 0.0f, 0.0f);
  const double r = kStartRadians;
  edgeStart.set(static_cast<float>(4.0 * std::cos(r)), static_cast<float>(4.0 * std::sin(r)), 0.0f);

  const double theta = (static_cast<double>(wedgeAngle) + 270.0) * static_cast<double>(kDegreesToRadians);
  edgeEnd.set(static_cast<float>(4.0 * std::cos(theta)), static_cast<float>(4.0 * std::sin(theta)), 0.0f);

  Vec3 edge;
  Vec3::subtract(&edge, edgeStart, edgeEnd);
  edgeLength = static_cast<float>(Vec3::length(edge));

  clipPlane0[0] = 1.0;
  clipPlane0[1] = 0.0;
  clipPlane0[2] = 0.0;
  clipPlane0[3] = 0.0;

  const double phi = ((static_cast<double>(wedgeAngle) + 270.0) - 90.0) * static_cast<double>(kDegreesToRadians);
  clipPlane1[0] = std::cos(phi);
  clipPlane1[1] = std::sin(phi);
  clipPlane1[2] = 0.0;
  clipPlane1[3] = 0.0;
}

float mirrorSetAngle(int32_t n) {
  const int32_t i = 10 + 2 * n;
  return static_cast<float>(360.0 / static_cast<double>(i));
}
