#pragma once
// Vector, quaternion and matrix math for node transforms, key frames, skinning, cameras and
// picking. The records have the memory layout of the Direct3D 9 math types (a matrix row by row,
// row-vector convention: a point p is transformed as p * M, the translation is the fourth row),
// so they can be handed to D3DX and the device unchanged. All arithmetic is in 32-bit floats.
//
// Functions write through an output pointer and return it; the output may be one of the inputs.
// Failure is a null result with the output untouched.

#include <cstdint>

#include "platform/win_base.h"

struct sVector3 {
  float x, y, z;
};

struct sVector4 {
  float x, y, z, w;
};

// w is the scalar part.
struct sQuaternion {
  float x, y, z, w;
};

struct sMatrix4 {
  union {
    struct {
      float m00, m01, m02, m03;
      float m10, m11, m12, m13;
      float m20, m21, m22, m23;
      float m30, m31, m32, m33;
    };
    float m[4][4];
  };
};

struct sRay {
  sVector3 origin;
  sVector3 direction;
};

// The model vertex (position first, 32 bytes), graphics/renderer.h.
struct sVertexNormalTex;

static_assert(sizeof(sVector3) == 12, "D3DXVECTOR3 layout");
static_assert(sizeof(sQuaternion) == 16, "D3DXQUATERNION layout");
static_assert(sizeof(sMatrix4) == 64, "D3DMATRIX layout");

// The projection that picking uses: filled by BuildPerspectiveMatrix, read by ComputePickRay.
extern sMatrix4 PickProjection;

// [QUATERNIONS] -------------------------------------------------------------------------------
// Rotation a followed by rotation b (the Hamilton product b * a).
sQuaternion* QuaternionMultiply(sQuaternion* out, const sQuaternion* a, const sQuaternion* b);
// Rotation matrix of q, without normalising q.
sMatrix4* QuaternionToMatrix(sMatrix4* out, const sQuaternion* q);
// From the upper 3x3 block of m, through the largest of the four diagonal candidates.
sQuaternion* QuaternionFromMatrix(sQuaternion* out, const sMatrix4* m);

// [VECTORS] -----------------------------------------------------------------------------------
inline float Vec3Dot(const sVector3* a, const sVector3* b) {
  return a->x * b->x + a->y * b->y + a->z * b->z;
}
inline sVector3* Vec3Add(sVector3* out, const sVector3* a, const sVector3* b) {
  *out = sVector3{a->x + b->x, a->y + b->y, a->z + b->z};
  return out;
}
inline sVector3* Vec3Subtract(sVector3* out, const sVector3* a, const sVector3* b) {
  *out = sVector3{a->x - b->x, a->y - b->y, a->z - b->z};
  return out;
}
inline sVector3* Vec3Scale(sVector3* out, const sVector3* v, float s) {
  *out = sVector3{v->x * s, v->y * s, v->z * s};
  return out;
}
sVector3* Vec3Cross(sVector3* out, const sVector3* a, const sVector3* b);
float Vec3Length(const sVector3* v);
// A vector of length not above 0 is left as it is.
sVector3* Vec3NormalizeInPlace(sVector3* v);
sVector3* Vec3Normalize(sVector3* out, const sVector3* v);
sVector3* Vec3Minimize(sVector3* out, const sVector3* a, const sVector3* b);
sVector3* Vec3Maximize(sVector3* out, const sVector3* a, const sVector3* b);
// The row vector v times m (w = 0: a direction, w = 1: a point).
sVector4* Vec4Transform(sVector4* out, const sMatrix4* m, const sVector4* v);
// (x, y, z, 1) times m, divided by the resulting w unless it is exactly 1.
sVector3* Vec3TransformCoord(sVector3* out, const sVector3* v, const sMatrix4* m);

// [MATRICES] ----------------------------------------------------------------------------------
sMatrix4* MatrixIdentity(sMatrix4* out);
// a then b: out = a * b.
sMatrix4* MatrixMultiply(sMatrix4* out, const sMatrix4* a, const sMatrix4* b);
sMatrix4* MatrixRotationY(sMatrix4* out, float angle);
// Left-handed view matrix.
sMatrix4* MatrixLookAtLH(sMatrix4* out, const sVector3* eye, const sVector3* target,
                         const sVector3* up);
float MatrixDeterminant(const sMatrix4* m);
// Null (out untouched) when m is singular relative to its own scale, so that models in small
// units (a uniform scale of 0.001) still invert.
sMatrix4* MatrixInverse(sMatrix4* out, const sMatrix4* m);
sMatrix4* CopyMatrix(sMatrix4* out, const sMatrix4* m);

// [BOUNDS AND PICKING] ------------------------------------------------------------------------
// Box of the positions of count vertices. False (outputs untouched) for a null pointer or a
// count of 0.
bool ComputeBoundingBox(uint32_t count, const sVertexNormalTex* vertices, sVector3* outMin,
                        sVector3* outMax);
// Left-handed perspective projection into PickProjection; returns &PickProjection.
sMatrix4* BuildPerspectiveMatrix(float fieldOfView, float aspect, float nearPlane,
                                 float farPlane);
// The ray under screen point (x, y) of the viewport, in world space, or in the model's own space
// when a world matrix is given; the direction is normalised. Null (out untouched) for an empty
// viewport or a view or world matrix that cannot be inverted.
sRay* ComputePickRay(const RECT* viewport, sRay* out, int x, int y, const sMatrix4* view,
                     const sMatrix4* world);
// One-sided hit test (triangles facing away miss). On a hit: distance along the direction and
// the barycentric u, v of the hit point.
bool IntersectRayTriangle(const sVector3* origin, const sVector3* direction, const sVector3* p0,
                          const sVector3* p1, const sVector3* p2, float* distance, float* u,
                          float* v);
