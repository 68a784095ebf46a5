#pragma once
// Three single-precision components; the vector of the mirror sets and the sprites.

struct Vec3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;

  // Stores the three components.
  void set(float newX, float newY, float newZ);
  // destination = a - b, each difference rounded to float.
  static void subtract(Vec3* destination, const Vec3& a, const Vec3& b);
  // sqrt(x*x + y*y + z*z) in double precision from the float components.
  static double length(const Vec3& v);
};
