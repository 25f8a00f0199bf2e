// Matrix and vector helpers of the model library.
#include "model/model_math.h"

#include <cmath>

sMatrix4* MatrixMultiplyInPlace(sMatrix4* a, const sMatrix4* b) {
  sMatrix4 product;
  MatrixMultiply(&product, a, b);
  *a = product;
  return a;
}

sMatrix4* MatrixTranspose(sMatrix4* out, const sMatrix4* m) {
  sMatrix4 t;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) t.m[i][j] = m->m[j][i];
  *out = t;
  return out;
}

bool MatrixIsIdentity(const sMatrix4* m) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      if (m->m[i][j] != (i == j ? 1.0f : 0.0f)) return false;
  return true;
}

sVector3* Vec3DivideScalar(sVector3* v, float s) {
  if (std::fabs(s) < 1e-6f) return v;
  float inverse = 1.0f / s;
  v->x *= inverse;
  v->y *= inverse;
  v->z *= inverse;
  return v;
}

bool PointInTriangle2D(const float p[2], const float a[2], const float b[2], const float c[2]) {
  auto cross = [](const float* from, const float* to, const float* q) {
    return (to[0] - from[0]) * (q[1] - from[1]) - (to[1] - from[1]) * (q[0] - from[0]);
  };
  return cross(a, b, p) < 0 && cross(b, c, p) < 0 && cross(c, a, p) < 0;
}

namespace model {

sVector3 TransformPoint(const sMatrix4& m, const sVector3& p) {
  sVector3 r{p.x * m.m00 + p.y * m.m10 + p.z * m.m20 + m.m30,
             p.x * m.m01 + p.y * m.m11 + p.z * m.m21 + m.m31,
             p.x * m.m02 + p.y * m.m12 + p.z * m.m22 + m.m32};
  float w = p.x * m.m03 + p.y * m.m13 + p.z * m.m23 + m.m33;
  if (w != 1.0f && w != 0.0f) {
    r.x /= w;
    r.y /= w;
    r.z /= w;
  }
  return r;
}

sVector3 TransformNormal(const sMatrix4& m, const sVector3& n) {
  sVector3 r{n.x * m.m00 + n.y * m.m10 + n.z * m.m20, n.x * m.m01 + n.y * m.m11 + n.z * m.m21,
             n.x * m.m02 + n.y * m.m12 + n.z * m.m22};
  Vec3NormalizeInPlace(&r);
  return r;
}

}
