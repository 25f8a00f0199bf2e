#include "core/math3d.h"

#include <cmath>
#include <cstring>

#include "app/shell_services.h"
#include "graphics/renderer.h"

sMatrix4 PickProjection = {};

// [QUATERNIONS] -------------------------------------------------------------------------------
sQuaternion* QuaternionMultiply(sQuaternion* out, const sQuaternion* a, const sQuaternion* b) {
  sQuaternion r;
  r.x = b->x * a->w + a->x * b->w + b->y * a->z - b->z * a->y;
  r.y = a->y * b->w + b->y * a->w + b->z * a->x - a->z * b->x;
  r.z = b->z * a->w + a->z * b->w + a->y * b->x - b->y * a->x;
  r.w = b->w * a->w - b->x * a->x - a->y * b->y - b->z * a->z;
  *out = r;
  return out;
}

sMatrix4* QuaternionToMatrix(sMatrix4* out, const sQuaternion* q) {
  const float x = q->x, y = q->y, z = q->z, w = q->w;
  sMatrix4 r = {};
  r.m00 = 1 - 2 * (y * y + z * z);
  r.m01 = 2 * (x * y + w * z);
  r.m02 = 2 * (x * z - w * y);
  r.m10 = 2 * (x * y - w * z);
  r.m11 = 1 - 2 * (x * x + z * z);
  r.m12 = 2 * (y * z + w * x);
  r.m20 = 2 * (x * z + w * y);
  r.m21 = 2 * (y * z - w * x);
  r.m22 = 1 - 2 * (x * x + y * y);
  r.m33 = 1;
  *out = r;
  return out;
}

sQuaternion* QuaternionFromMatrix(sQuaternion* out, const sMatrix4* m) {
  const float t[4] = {
      1 + m->m00 + m->m11 + m->m22,  // w
      1 + m->m00 - m->m11 - m->m22,  // x
      1 - m->m00 + m->m11 - m->m22,  // y
      1 - m->m00 - m->m11 + m->m22,  // z
  };
  int best = 0;
  for (int i = 1; i < 4; ++i) {
    if (t[i] > t[best]) best = i;
  }
  sQuaternion r;
  switch (best) {
    case 0:
      r = {m->m12 - m->m21, m->m20 - m->m02, m->m01 - m->m10, t[0]};
      break;
    case 1:
      r = {t[1], m->m01 + m->m10, m->m20 + m->m02, m->m12 - m->m21};
      break;
    case 2:
      r = {m->m01 + m->m10, t[2], m->m21 + m->m12, m->m20 - m->m02};
      break;
    default:
      r = {m->m20 + m->m02, m->m21 + m->m12, t[3], m->m01 - m->m10};
      break;
  }
  const float s = SquareRoot(0.25f / t[best]);
  *out = sQuaternion{r.x * s, r.y * s, r.z * s, r.w * s};
  return out;
}

// [VECTORS] -----------------------------------------------------------------------------------
sVector3* Vec3Cross(sVector3* out, const sVector3* a, const sVector3* b) {
  *out = sVector3{a->y * b->z - a->z * b->y, a->z * b->x - a->x * b->z,
                  a->x * b->y - a->y * b->x};
  return out;
}

float Vec3Length(const sVector3* v) { return SquareRoot(v->x * v->x + v->y * v->y + v->z * v->z); }

sVector3* Vec3NormalizeInPlace(sVector3* v) {
  const float length = Vec3Length(v);
  if (length > 0) {
    v->x /= length;
    v->y /= length;
    v->z /= length;
  }
  return v;
}

sVector3* Vec3Normalize(sVector3* out, const sVector3* v) {
  if (out != v) *out = *v;
  return Vec3NormalizeInPlace(out);
}

sVector3* Vec3Minimize(sVector3* out, const sVector3* a, const sVector3* b) {
  *out = sVector3{a->x < b->x ? a->x : b->x, a->y < b->y ? a->y : b->y,
                  a->z < b->z ? a->z : b->z};
  return out;
}

sVector3* Vec3Maximize(sVector3* out, const sVector3* a, const sVector3* b) {
  *out = sVector3{a->x > b->x ? a->x : b->x, a->y > b->y ? a->y : b->y,
                  a->z > b->z ? a->z : b->z};
  return out;
}

sVector4* Vec4Transform(sVector4* out, const sMatrix4* m, const sVector4* v) {
  const float in[4] = {v->x, v->y, v->z, v->w};
  float r[4];
  for (int c = 0; c < 4; ++c) {
    r[c] = in[0] * m->m[0][c] + in[1] * m->m[1][c] + in[2] * m->m[2][c] + in[3] * m->m[3][c];
  }
  *out = sVector4{r[0], r[1], r[2], r[3]};
  return out;
}

sVector3* Vec3TransformCoord(sVector3* out, const sVector3* v, const sMatrix4* m) {
  const sVector4 point = {v->x, v->y, v->z, 1};
  sVector4 r;
  Vec4Transform(&r, m, &point);
  if (r.w != 1) {
    r.x /= r.w;
    r.y /= r.w;
    r.z /= r.w;
  }
  *out = sVector3{r.x, r.y, r.z};
  return out;
}

// [MATRICES] ----------------------------------------------------------------------------------
sMatrix4* MatrixIdentity(sMatrix4* out) {
  *out = sMatrix4{};
  out->m00 = out->m11 = out->m22 = out->m33 = 1;
  return out;
}

sMatrix4* MatrixMultiply(sMatrix4* out, const sMatrix4* a, const sMatrix4* b) {
  sMatrix4 r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      r.m[i][j] = a->m[i][0] * b->m[0][j] + a->m[i][1] * b->m[1][j] + a->m[i][2] * b->m[2][j] +
                  a->m[i][3] * b->m[3][j];
    }
  }
  *out = r;
  return out;
}

sMatrix4* MatrixRotationY(sMatrix4* out, float angle) {
  MatrixIdentity(out);
  const float c = std::cos(angle), s = std::sin(angle);
  out->m00 = c;
  out->m02 = -s;
  out->m20 = s;
  out->m22 = c;
  return out;
}

sMatrix4* MatrixLookAtLH(sMatrix4* out, const sVector3* eye, const sVector3* target,
                         const sVector3* up) {
  sVector3 x, y, z;
  Vec3NormalizeInPlace(Vec3Subtract(&z, target, eye));
  Vec3NormalizeInPlace(Vec3Cross(&x, up, &z));
  Vec3Cross(&y, &z, &x);
  sMatrix4 r = {};
  r.m00 = x.x, r.m01 = y.x, r.m02 = z.x;
  r.m10 = x.y, r.m11 = y.y, r.m12 = z.y;
  r.m20 = x.z, r.m21 = y.z, r.m22 = z.z;
  r.m30 = -Vec3Dot(&x, eye);
  r.m31 = -Vec3Dot(&y, eye);
  r.m32 = -Vec3Dot(&z, eye);
  r.m33 = 1;
  *out = r;
  return out;
}

namespace {

// Determinant of the 3x3 minor of m without row `row` and column `col`.
float Minor(const sMatrix4* m, int row, int col) {
  int r[3], c[3];
  for (int i = 0, n = 0; i < 4; ++i) {
    if (i != row) r[n++] = i;
  }
  for (int j = 0, n = 0; j < 4; ++j) {
    if (j != col) c[n++] = j;
  }
  auto e = [&](int i, int j) { return m->m[r[i]][c[j]]; };
  return e(0, 0) * (e(1, 1) * e(2, 2) - e(1, 2) * e(2, 1)) -
         e(0, 1) * (e(1, 0) * e(2, 2) - e(1, 2) * e(2, 0)) +
         e(0, 2) * (e(1, 0) * e(2, 1) - e(1, 1) * e(2, 0));
}

double RowLength(const sMatrix4* m, int row, int columns) {
  double sum = 0;
  for (int j = 0; j < columns; ++j) sum += double(m->m[row][j]) * m->m[row][j];
  return std::sqrt(sum);
}

double ColumnLength(const sMatrix4* m, int col) {
  double sum = 0;
  for (int i = 0; i < 4; ++i) sum += double(m->m[i][col]) * m->m[i][col];
  return std::sqrt(sum);
}

// The largest determinant a matrix with these rows could have (Hadamard's bound), the scale
// against which "nearly singular" is judged. For an affine matrix (last column 0, 0, 0, 1) the
// translation row does not change the determinant, so only the upper 3x3 block counts; else the
// tighter of the row and the column bound.
double DeterminantScale(const sMatrix4* m) {
  if (m->m03 == 0 && m->m13 == 0 && m->m23 == 0 && m->m33 == 1) {
    return RowLength(m, 0, 3) * RowLength(m, 1, 3) * RowLength(m, 2, 3);
  }
  double rows = 1, cols = 1;
  for (int i = 0; i < 4; ++i) {
    rows *= RowLength(m, i, 4);
    cols *= ColumnLength(m, i);
  }
  return rows < cols ? rows : cols;
}

}  // namespace

float MatrixDeterminant(const sMatrix4* m) {
  return m->m00 * Minor(m, 0, 0) - m->m01 * Minor(m, 0, 1) + m->m02 * Minor(m, 0, 2) -
         m->m03 * Minor(m, 0, 3);
}

sMatrix4* MatrixInverse(sMatrix4* out, const sMatrix4* m) {
  const float det = MatrixDeterminant(m);
  // Relative test: a uniform scale s gives det = s^3 and a scale bound of s^3 too, so a model in
  // millimetres inverts as well as one in metres; rows that are nearly dependent do not.
  const double scale = DeterminantScale(m);
  if (!(std::fabs(double(det)) > 1e-6 * scale) || !std::isfinite(det)) return nullptr;
  sMatrix4 r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      const float sign = ((i + j) & 1) ? -1.0f : 1.0f;
      r.m[i][j] = sign * Minor(m, j, i) / det;
    }
  }
  *out = r;
  return out;
}

sMatrix4* CopyMatrix(sMatrix4* out, const sMatrix4* m) {
  std::memcpy(out->m, m->m, sizeof(out->m));
  return out;
}

// [BOUNDS AND PICKING] ------------------------------------------------------------------------
bool ComputeBoundingBox(uint32_t count, const sVertexNormalTex* vertices, sVector3* outMin,
                        sVector3* outMax) {
  if (!vertices || !outMin || !outMax || count == 0) return false;
  sVector3 lo = {vertices[0].x, vertices[0].y, vertices[0].z};
  sVector3 hi = lo;
  for (uint32_t i = 1; i < count; ++i) {
    const sVector3 p = {vertices[i].x, vertices[i].y, vertices[i].z};
    Vec3Minimize(&lo, &lo, &p);
    Vec3Maximize(&hi, &hi, &p);
  }
  *outMin = lo;
  *outMax = hi;
  return true;
}

sMatrix4* BuildPerspectiveMatrix(float fieldOfView, float aspect, float nearPlane,
                                 float farPlane) {
  if (std::fabs(aspect) < 1e-6f) aspect = 1;
  if (std::fabs(farPlane - nearPlane) < 1e-6f) farPlane = nearPlane + 1;
  const float h = 1 / std::tan(fieldOfView / 2);
  sMatrix4 r = {};
  r.m00 = h / aspect;
  r.m11 = h;
  r.m22 = farPlane / (farPlane - nearPlane);
  r.m23 = 1;
  r.m32 = -nearPlane * farPlane / (farPlane - nearPlane);
  PickProjection = r;
  return &PickProjection;
}

namespace {

bool TransformRay(sRay* ray, const sMatrix4* m) {
  sMatrix4 inverse;
  if (!MatrixInverse(&inverse, m)) return false;
  Vec3TransformCoord(&ray->origin, &ray->origin, &inverse);
  const sVector4 d = {ray->direction.x, ray->direction.y, ray->direction.z, 0};
  sVector4 r;
  Vec4Transform(&r, &inverse, &d);
  ray->direction = sVector3{r.x, r.y, r.z};
  return true;
}

}  // namespace

sRay* ComputePickRay(const RECT* viewport, sRay* out, int x, int y, const sMatrix4* view,
                     const sMatrix4* world) {
  const float width = float(viewport->right - viewport->left);
  const float height = float(viewport->bottom - viewport->top);
  // An empty viewport (a minimised window) has no rays; dividing by it would give NaN.
  if (width == 0 || height == 0 || PickProjection.m00 == 0 || PickProjection.m11 == 0) {
    return nullptr;
  }
  const float px =
      ((2.0f * x - 2.0f * viewport->left - width) / width) / PickProjection.m00;
  const float py =
      ((2.0f * viewport->top - 2.0f * y + height) / height) / PickProjection.m11;
  sRay ray = {{0, 0, 0}, {px, py, 1}};
  if (!TransformRay(&ray, view)) return nullptr;
  if (world && !TransformRay(&ray, world)) return nullptr;
  Vec3NormalizeInPlace(&ray.direction);
  *out = ray;
  return out;
}

bool IntersectRayTriangle(const sVector3* origin, const sVector3* direction, const sVector3* p0,
                          const sVector3* p1, const sVector3* p2, float* distance, float* u,
                          float* v) {
  sVector3 e1, e2, pvec, tvec, qvec;
  Vec3Subtract(&e1, p1, p0);
  Vec3Subtract(&e2, p2, p0);
  Vec3Cross(&pvec, direction, &e2);
  const float det = Vec3Dot(&e1, &pvec);
  if (det < 1e-4f) return false;
  Vec3Subtract(&tvec, origin, p0);
  const float uu = Vec3Dot(&tvec, &pvec);
  if (uu < 0 || uu > det) return false;
  Vec3Cross(&qvec, &tvec, &e1);
  const float vv = Vec3Dot(direction, &qvec);
  if (vv < 0 || uu + vv > det) return false;
  *distance = Vec3Dot(&e2, &qvec) / det;
  *u = uu / det;
  *v = vv / det;
  return true;
}
