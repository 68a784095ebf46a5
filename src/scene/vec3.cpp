#include "scene/vec3.h"

#include <cmath>

void Vec3::set(float newX, float newY, float newZ) {
  x = newX;
  y = newY;
  z = newZ;
}

void Vec3::subtract(Vec3* destination, const Vec3& a, const Vec3& b) {
  destination->x = a.x - b.x;
  destination->y = a.y - b.y;
  destination->z = a.z - b.z;
}

double Vec3::length(const Vec3& v) {
  const double x = v.x, y = v.y, z = v.z;
  return std::sqrt(x * x + y * y + z * z);
}
