// Vector, quaternion and matrix math against hand-computed values in the row-vector,
// left-handed convention of Direct3D.
#include "core/math3d.h"

#include "graphics/renderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kEps = 1e-5f;

sMatrix4 Rows(std::initializer_list<float> values) {
  sMatrix4 m = {};
  int i = 0;
  for (float v : values) m.m[i / 4][i % 4] = v, ++i;
  return m;
}

void ExpectMatrixNear(const sMatrix4& a, const sMatrix4& b, float eps = kEps) {
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(a.m[i][j], b.m[i][j], eps) << "element " << i << j;
  }
}

void ExpectVectorNear(const sVector3& a, const sVector3& b, float eps = kEps) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}

sQuaternion AxisAngle(float x, float y, float z, float angle) {
  const float s = std::sin(angle / 2);
  return {x * s, y * s, z * s, std::cos(angle / 2)};
}

TEST(Quaternion, MultiplyIsFirstRotationThenSecond) {
  const sQuaternion a = AxisAngle(1, 0, 0, kPi / 2), b = AxisAngle(0, 1, 0, kPi / 2);
  sQuaternion ab;
  QuaternionMultiply(&ab, &a, &b);
  // b * a by hand: (0.5, 0.5, -0.5, 0.5).
  EXPECT_NEAR(ab.x, 0.5f, kEps);
  EXPECT_NEAR(ab.y, 0.5f, kEps);
  EXPECT_NEAR(ab.z, -0.5f, kEps);
  EXPECT_NEAR(ab.w, 0.5f, kEps);

  // Turning +Y a quarter about X gives +Z; then a quarter about Y gives +X.
  sMatrix4 m;
  QuaternionToMatrix(&m, &ab);
  sVector3 p = {0, 1, 0};
  Vec3TransformCoord(&p, &p, &m);
  ExpectVectorNear(p, {1, 0, 0});

  sMatrix4 ma, mb, product;
  QuaternionToMatrix(&ma, &a);
  QuaternionToMatrix(&mb, &b);
  ExpectMatrixNear(m, *MatrixMultiply(&product, &ma, &mb));

  // The output may be an input.
  sQuaternion inPlace = a;
  QuaternionMultiply(&inPlace, &inPlace, &b);
  EXPECT_NEAR(inPlace.z, -0.5f, kEps);
}

TEST(Quaternion, ToMatrixMatchesRotationY) {
  for (float angle : {0.3f, 1.2f, -2.5f}) {
    const sQuaternion q = AxisAngle(0, 1, 0, angle);
    sMatrix4 fromQ, rotY;
    QuaternionToMatrix(&fromQ, &q);
    MatrixRotationY(&rotY, angle);
    ExpectMatrixNear(fromQ, rotY);
  }
  // Turning +X a quarter about Y (left-handed) gives -Z.
  sMatrix4 rotY;
  MatrixRotationY(&rotY, kPi / 2);
  sVector3 p = {1, 0, 0};
  ExpectVectorNear(*Vec3TransformCoord(&p, &p, &rotY), {0, 0, -1});
}

TEST(Quaternion, FromMatrixCases) {
  sMatrix4 identity;
  MatrixIdentity(&identity);
  sQuaternion q;
  QuaternionFromMatrix(&q, &identity);
  EXPECT_NEAR(q.x, 0, kEps);
  EXPECT_NEAR(q.y, 0, kEps);
  EXPECT_NEAR(q.z, 0, kEps);
  EXPECT_NEAR(q.w, 1, kEps);

  // Half a turn about X: the w candidate is 0, the x case is taken.
  const sMatrix4 halfX = Rows({1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1});
  QuaternionFromMatrix(&q, &halfX);
  EXPECT_NEAR(std::fabs(q.x), 1, kEps);
  EXPECT_NEAR(q.y, 0, kEps);
  EXPECT_NEAR(q.z, 0, kEps);
  EXPECT_NEAR(q.w, 0, kEps);

  // Round trips through every case (up to the sign of the whole quaternion).
  const sQuaternion samples[] = {AxisAngle(0, 1, 0, 3.0f), AxisAngle(0, 0, 1, 3.0f),
                                 AxisAngle(0.6f, 0.8f, 0, 1.0f), AxisAngle(0.48f, 0.6f, 0.64f, 2.2f)};
  for (const sQuaternion& s : samples) {
    sMatrix4 m;
    QuaternionToMatrix(&m, &s);
    QuaternionFromMatrix(&q, &m);
    const float sign = (q.x * s.x + q.y * s.y + q.z * s.z + q.w * s.w) < 0 ? -1.0f : 1.0f;
    EXPECT_NEAR(q.x * sign, s.x, 1e-4f);
    EXPECT_NEAR(q.y * sign, s.y, 1e-4f);
    EXPECT_NEAR(q.z * sign, s.z, 1e-4f);
    EXPECT_NEAR(q.w * sign, s.w, 1e-4f);
  }
}

TEST(Vector, CrossLengthNormalize) {
  const sVector3 x = {1, 0, 0}, y = {0, 1, 0};
  sVector3 c;
  ExpectVectorNear(*Vec3Cross(&c, &x, &y), {0, 0, 1});
  const sVector3 v = {3, 4, 12};
  EXPECT_FLOAT_EQ(Vec3Length(&v), 13);
  sVector3 n;
  ExpectVectorNear(*Vec3Normalize(&n, &v), {3 / 13.f, 4 / 13.f, 12 / 13.f});
  sVector3 zero = {0, 0, 0};
  Vec3NormalizeInPlace(&zero);
  ExpectVectorNear(zero, {0, 0, 0}, 0);
  sVector3 lo, hi;
  const sVector3 a = {1, 5, -2}, b = {3, -1, -4};
  ExpectVectorNear(*Vec3Minimize(&lo, &a, &b), {1, -1, -4});
  ExpectVectorNear(*Vec3Maximize(&hi, &a, &b), {3, 5, -2});
}

TEST(Vector, TransformPointAndDirection) {
  const sMatrix4 m = Rows({2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 10, 20, 30, 1});
  const sVector4 dir = {1, 1, 1, 0}, point = {1, 1, 1, 1}, half = {1, 1, 1, 0.5f};
  sVector4 r;
  Vec4Transform(&r, &m, &dir);
  EXPECT_FLOAT_EQ(r.x, 2);
  EXPECT_FLOAT_EQ(r.w, 0);
  Vec4Transform(&r, &m, &point);
  EXPECT_FLOAT_EQ(r.x, 12);
  EXPECT_FLOAT_EQ(r.z, 32);
  Vec4Transform(&r, &m, &half);
  EXPECT_FLOAT_EQ(r.y, 12);  // 2 + 20 * 0.5

  // A projection divides by the resulting w.
  const sMatrix4 projection = BuildPerspectiveMatrix(kPi / 2, 1, 1, 11)[0];
  sVector3 p = {2, 4, 10};
  Vec3TransformCoord(&p, &p, &projection);
  EXPECT_NEAR(p.x, 0.2f, kEps);
  EXPECT_NEAR(p.y, 0.4f, kEps);
  EXPECT_NEAR(p.z, (1.1f * 10 - 1.1f) / 10, kEps);
}

TEST(Matrix, LookAtLeftHanded) {
  const sVector3 eye = {0, 0, -5}, target = {0, 0, 0}, up = {0, 1, 0};
  sMatrix4 view;
  MatrixLookAtLH(&view, &eye, &target, &up);
  ExpectMatrixNear(view, Rows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 5, 1}));

  // Looking down +X from the origin: world +X is straight ahead (+Z), world +Z is to the left.
  const sVector3 eye2 = {0, 0, 0}, target2 = {1, 0, 0};
  MatrixLookAtLH(&view, &eye2, &target2, &up);
  sVector3 ahead = {1, 0, 0}, side = {0, 0, 1};
  ExpectVectorNear(*Vec3TransformCoord(&ahead, &ahead, &view), {0, 0, 1});
  ExpectVectorNear(*Vec3TransformCoord(&side, &side, &view), {-1, 0, 0});
}

TEST(Matrix, DeterminantAndInverse) {
  const sMatrix4 m = Rows({2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 1, 2, 3, 1});
  EXPECT_FLOAT_EQ(MatrixDeterminant(&m), 8);
  sMatrix4 inv;
  ASSERT_NE(MatrixInverse(&inv, &m), nullptr);
  ExpectMatrixNear(inv, Rows({0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 0.5f, 0, -0.5f, -1, -1.5f, 1}));

  // A general matrix: M * M^-1 is the identity.
  const sMatrix4 g = Rows({1, 2, 0, 1, 0, 1, 3, 0, 2, 0, 1, 1, 1, 1, 1, 2});
  EXPECT_FLOAT_EQ(MatrixDeterminant(&g), 17);
  ASSERT_NE(MatrixInverse(&inv, &g), nullptr);
  sMatrix4 product, identity;
  ExpectMatrixNear(*MatrixMultiply(&product, &g, &inv), *MatrixIdentity(&identity));

  // In place.
  sMatrix4 same = g;
  ASSERT_EQ(MatrixInverse(&same, &same), &same);
  ExpectMatrixNear(same, inv);
}

TEST(Matrix, InverseSingularTestIsRelativeToScale) {
  sMatrix4 out = Rows({7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7});
  const sMatrix4 before = out;

  // A model in small units: a uniform scale of 0.001 (det 1e-9) still inverts.
  const sMatrix4 small = Rows({1e-3f, 0, 0, 0, 0, 1e-3f, 0, 0, 0, 0, 1e-3f, 0, 5, 6, 7, 1});
  ASSERT_NE(MatrixInverse(&out, &small), nullptr);
  EXPECT_NEAR(out.m00, 1000, 1e-2f);
  EXPECT_NEAR(out.m30, -5000, 1e-1f);

  // A large translation does not make a unit matrix look singular.
  const sMatrix4 far = Rows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1e7f, -1e7f, 1e7f, 1});
  ASSERT_NE(MatrixInverse(&out, &far), nullptr);
  EXPECT_NEAR(out.m30, -1e7f, 1);

  // Nearly dependent rows (det 1e-7 against a scale of 1) and truly singular ones are refused,
  // and the output is left as it was.
  const sMatrix4 nearly = Rows({1, 0, 0, 0, 1, 1e-7f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  const sMatrix4 zero = {};
  const sMatrix4 flat = Rows({1, 2, 3, 0, 2, 4, 6, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  const sMatrix4 projectionLike = Rows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 1, 1});
  for (const sMatrix4* m : {&nearly, &zero, &flat, &projectionLike}) {
    out = before;
    EXPECT_EQ(MatrixInverse(&out, m), nullptr);
    ExpectMatrixNear(out, before, 0);
  }
}

TEST(Matrix, PerspectiveAndItsFallbacks) {
  const sMatrix4* p = BuildPerspectiveMatrix(kPi / 2, 2, 1, 11);
  EXPECT_EQ(p, &PickProjection);
  ExpectMatrixNear(*p, Rows({0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1.1f, 1, 0, 0, -1.1f, 0}));
  // Aspect 0 acts as 1; far equal to near uses far = near + 1.
  p = BuildPerspectiveMatrix(kPi / 2, 0, 1, 1);
  ExpectMatrixNear(*p, Rows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2, 1, 0, 0, -2, 0}));
}

TEST(Bounds, BoxOfPositions) {
  const sVertexNormalTex vertices[] = {{1, 2, 3, 9, 9, 9, 9, 9},
                                     {-1, 5, 0, -9, -9, -9, -9, -9},
                                     {0, -4, 7, 0, 0, 0, 0, 0}};
  const sVertexNormalTex* v = vertices;
  sVector3 lo, hi;
  ASSERT_TRUE(ComputeBoundingBox(3, v, &lo, &hi));
  ExpectVectorNear(lo, {-1, -4, 0}, 0);
  ExpectVectorNear(hi, {1, 5, 7}, 0);
  ASSERT_TRUE(ComputeBoundingBox(1, v, &lo, &hi));
  ExpectVectorNear(lo, {1, 2, 3}, 0);
  ExpectVectorNear(hi, {1, 2, 3}, 0);

  EXPECT_FALSE(ComputeBoundingBox(3, nullptr, &lo, &hi));
  EXPECT_FALSE(ComputeBoundingBox(3, v, nullptr, &hi));
  EXPECT_FALSE(ComputeBoundingBox(3, v, &lo, nullptr));
}

TEST(Bounds, EmptyMeshReadsNothing) {
  // A zero-sized block: reading even its first position would be out of bounds (ASan sees it).
  std::unique_ptr<sVertexNormalTex[]> none(new sVertexNormalTex[0]);
  sVector3 lo = {7, 7, 7}, hi = {8, 8, 8};
  EXPECT_FALSE(
      ComputeBoundingBox(0, none.get(), &lo, &hi));
  ExpectVectorNear(lo, {7, 7, 7}, 0);
  ExpectVectorNear(hi, {8, 8, 8}, 0);
}

TEST(Picking, RayThroughViewportCentreAndCorner) {
  BuildPerspectiveMatrix(kPi / 2, 800.0f / 600.0f, 1, 100);
  const RECT viewport = {0, 0, 800, 600};
  const sVector3 eye = {0, 0, -5}, target = {0, 0, 0}, up = {0, 1, 0};
  sMatrix4 view;
  MatrixLookAtLH(&view, &eye, &target, &up);

  sRay ray;
  ASSERT_NE(ComputePickRay(&viewport, &ray, 400, 300, &view, nullptr), nullptr);
  ExpectVectorNear(ray.origin, {0, 0, -5});
  ExpectVectorNear(ray.direction, {0, 0, 1});

  // Top-left corner: (-aspect, 1, 1) before normalising.
  ASSERT_NE(ComputePickRay(&viewport, &ray, 0, 0, &view, nullptr), nullptr);
  const float len = std::sqrt(34.0f) / 3;
  ExpectVectorNear(ray.direction, {-4.0f / 3 / len, 1 / len, 1 / len});

  // With a world matrix the ray comes into the model's own space.
  const sMatrix4 world = Rows({2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 10, 0, 0, 1});
  ASSERT_NE(ComputePickRay(&viewport, &ray, 400, 300, &view, &world), nullptr);
  ExpectVectorNear(ray.origin, {-5, 0, -2.5f});
  ExpectVectorNear(ray.direction, {0, 0, 1});
}

TEST(Picking, NoRayForEmptyViewportOrSingularView) {
  BuildPerspectiveMatrix(kPi / 2, 1, 1, 100);
  sMatrix4 view;
  MatrixIdentity(&view);
  sRay ray = {{9, 9, 9}, {9, 9, 9}};
  const RECT empty = {0, 0, 0, 0};
  EXPECT_EQ(ComputePickRay(&empty, &ray, 0, 0, &view, nullptr), nullptr);
  const RECT viewport = {0, 0, 100, 100};
  const sMatrix4 zero = {};
  EXPECT_EQ(ComputePickRay(&viewport, &ray, 50, 50, &zero, nullptr), nullptr);
  EXPECT_EQ(ComputePickRay(&viewport, &ray, 50, 50, &view, &zero), nullptr);
  ExpectVectorNear(ray.origin, {9, 9, 9}, 0);
}

TEST(Picking, RayTriangleIsOneSided) {
  const sVector3 origin = {0.25f, 0.25f, -5}, direction = {0, 0, 1};
  // Clockwise as the viewer at -Z sees it: the front face.
  const sVector3 p0 = {0, 0, 0}, p1 = {0, 1, 0}, p2 = {1, 0, 0};
  float t = 0, u = 0, v = 0;
  ASSERT_TRUE(IntersectRayTriangle(&origin, &direction, &p0, &p1, &p2, &t, &u, &v));
  EXPECT_NEAR(t, 5, kEps);
  EXPECT_NEAR(u, 0.25f, kEps);
  EXPECT_NEAR(v, 0.25f, kEps);
  // The same triangle seen from its back, a ray beside it, and an edge-on ray.
  EXPECT_FALSE(IntersectRayTriangle(&origin, &direction, &p0, &p2, &p1, &t, &u, &v));
  const sVector3 beside = {1, 1, -5};
  EXPECT_FALSE(IntersectRayTriangle(&beside, &direction, &p0, &p1, &p2, &t, &u, &v));
  const sVector3 edgeOn = {1, 0, 0};
  EXPECT_FALSE(IntersectRayTriangle(&origin, &edgeOn, &p0, &p1, &p2, &t, &u, &v));
}

}  // namespace
