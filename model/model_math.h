#pragma once
// The matrix and vector operations the model library adds to core/math3d.h.

#include "core/math3d.h"

// a = a x b.
sMatrix4* MatrixMultiplyInPlace(sMatrix4* a, const sMatrix4* b);
sMatrix4* MatrixTranspose(sMatrix4* out, const sMatrix4* m);
// Exactly identity: the diagonal 1.0 and every other element 0.0, with no tolerance.
bool MatrixIsIdentity(const sMatrix4* m);
// v = v / s; v is left as it is when abs(s) < 1e-6.
sVector3* Vec3DivideScalar(sVector3* v, float s);
// True when p lies strictly inside the 2D triangle a, b, c (corners clockwise in the x-right,
// y-up sense: every edge cross product below 0).
bool PointInTriangle2D(const float p[2], const float a[2], const float b[2], const float c[2]);

namespace model {

// p as a row vector (w = 1) times m, divided by the resulting w when it is not exactly 1.0 (and
// not 0, which would only make infinities).
sVector3 TransformPoint(const sMatrix4& m, const sVector3& p);
// n times the upper 3x3 of m, scaled to unit length (left as it is when its length is 0).
sVector3 TransformNormal(const sMatrix4& m, const sVector3& n);

}

// Spherical interpolation from a (t <= 0) to b (t >= 1) along the shorter arc; not normalised.
sQuaternion* QuaternionSlerp(sQuaternion* out, const sQuaternion* a, const sQuaternion* b, float t);
