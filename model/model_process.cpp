// Post-processing shared by the readers: bounds, baking node matrices, mirroring between left-
// and right-handed coordinates, winding and v flips, polygon area vectors and triangulation.
#include "model/model_process.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "model/model_math.h"

namespace model {

namespace {

sVector3 PositionOf(const sVertexNormalTex& v) { return sVector3{v.x, v.y, v.z}; }

// S x M x S with S = diag(1, 1, -1, 1): row 2 and column 2 change sign, (2, 2) twice.
void MirrorMatrixZ(sMatrix4* m) {
  for (int i = 0; i < 4; ++i) {
    m->m[2][i] = -m->m[2][i];
    m->m[i][2] = -m->m[i][2];
  }
}

void MirrorVerticesZ(std::vector<sVertexNormalTex>* vertices) {
  for (sVertexNormalTex& v : *vertices) {
    v.z = -v.z;
    v.nz = -v.nz;
  }
}

}  // namespace

void cModel::ComputeNodeBounds(sNode* node) {
  if (!node) return;
  if (!node->vertices.empty()) {
    for (const sVertexNormalTex& v : node->vertices) node->bounds.Extend(PositionOf(v));
    if (node->bones.empty() && animations.empty()) {
      bounds.Extend(node->bounds);
    } else {
      sVector3 lo = node->bounds.min, hi = node->bounds.max;
      if (!MatrixIsIdentity(&node->current)) {
        Vec3TransformCoord(&lo, &lo, &node->current);
        Vec3TransformCoord(&hi, &hi, &node->current);
      }
      bounds.Extend(lo);
      bounds.Extend(hi);
    }
  }
  for (auto& child : node->children) ComputeNodeBounds(child.get());
}

void cModel::BakeNodeTransforms(sNode* node) {
  if (!node) return;
  if (!MatrixIsIdentity(&node->current)) {
    const sMatrix4& m = node->current;
    sMatrix4 inverse = m;
    MatrixInverse(&inverse, &m);  // a singular matrix leaves the copy as it was
    sMatrix4 normalMatrix;
    MatrixTranspose(&normalMatrix, &inverse);
    for (sVertexNormalTex& v : node->vertices) {
      sVector3 p = PositionOf(v);
      Vec3TransformCoord(&p, &p, &m);
      sVector4 n{v.nx, v.ny, v.nz, 0};
      sVector4 out;
      Vec4Transform(&out, &normalMatrix, &n);
      sVector3 normal{out.x, out.y, out.z};
      Vec3NormalizeInPlace(&normal);
      v.x = p.x, v.y = p.y, v.z = p.z;
      v.nx = normal.x, v.ny = normal.y, v.nz = normal.z;
    }
  }
  for (auto& child : node->children) BakeNodeTransforms(child.get());
}

void sNode::FlipHandedness() {
  MirrorMatrixZ(&current);
  MirrorMatrixZ(&base);
  MirrorVerticesZ(&vertices);
  for (auto& bone : bones) {
    MirrorMatrixZ(&bone->skin);
    MirrorMatrixZ(&bone->bind);
  }
  for (auto& child : children) child->FlipHandedness();
}

void cModel::FlipHandedness() {
  if (root) root->FlipHandedness();
  for (auto& animation : animations) {
    if (!animation) continue;
    for (auto& track : animation->tracks) {
      if (!track) continue;
      for (sAnimationKey& key : track->positionKeys) key.value[2] = -key.value[2];
      for (sAnimationKey& key : track->rotationKeys) {
        key.value[0] = -key.value[0];
        key.value[1] = -key.value[1];
      }
    }
  }
}

void sNode::FlipWinding() {
  for (auto& mesh : meshes) {
    for (size_t i = 0; i + 2 < mesh->triangles.size(); i += 3)
      std::swap(mesh->triangles[i], mesh->triangles[i + 2]);
    for (scene::sPolygon& polygon : mesh->polygons)
      std::reverse(polygon.indices.begin(), polygon.indices.end());
  }
  for (auto& child : children) child->FlipWinding();
}

void sNode::FlipTextureV() {
  for (sVertexNormalTex& v : vertices) v.v = 1.0f - v.v;
  for (auto& child : children) child->FlipTextureV();
}

sVector3 PolygonAreaVector(const scene::sPolygon& polygon, const sVertexNormalTex* vertices,
                           uint32_t vertexCount) {
  const std::vector<uint32_t>& idx = polygon.indices;
  size_t n = idx.size();
  sVector3 a{0, 0, 0};
  auto at = [&](size_t k) {
    uint32_t i = idx[k % n];
    return i < vertexCount ? PositionOf(vertices[i]) : sVector3{0, 0, 0};
  };
  for (size_t k = 0; k < n; ++k) {
    sVector3 p = at(k), next = at(k + 1), prev = at(k + n - 1);
    a.x += p.y * (next.z - prev.z);
    a.y += p.z * (next.x - prev.x);
    a.z += p.x * (next.y - prev.y);
  }
  return a;
}

namespace {

// Ear clipping of one polygon of n > 3 corners, projected to 2D with a counter-clockwise turn.
// Polygons beyond this many corners are cut as fans: ear clipping is quadratic and a hostile
// file could otherwise stall the load.
constexpr size_t kEarClippingLimit = 4096;

void ClipEars(const sVertexNormalTex* vertices, const std::vector<uint32_t>& idx,
              const sVector3& area, std::vector<float>* coords, std::vector<uint32_t>* links,
              std::vector<uint32_t>* out) {
  size_t n = idx.size();
  if (n > kEarClippingLimit) {
    for (size_t k = 1; k + 1 < n; ++k) out->insert(out->end(), {idx[0], idx[k], idx[k + 1]});
    return;
  }
  float ax = std::fabs(area.x), ay = std::fabs(area.y), az = std::fabs(area.z);
  int u, v;  // kept axes
  bool swap;
  if (az >= ax && az >= ay) {
    u = 0, v = 1, swap = area.z < 0;
  } else if (ax >= ay) {
    u = 1, v = 2, swap = area.x < 0;
  } else {
    u = 2, v = 0, swap = area.y < 0;
  }
  if (swap) std::swap(u, v);
  coords->resize(2 * n);
  for (size_t k = 0; k < n; ++k) {
    const sVertexNormalTex& vertex = vertices[idx[k]];
    const float p[3] = {vertex.x, vertex.y, vertex.z};
    (*coords)[2 * k] = p[u];
    (*coords)[2 * k + 1] = p[v];
  }
  links->resize(2 * n);  // previous and next remaining corner
  uint32_t* prev = links->data();
  uint32_t* next = links->data() + n;
  for (size_t k = 0; k < n; ++k) {
    prev[k] = uint32_t((k + n - 1) % n);
    next[k] = uint32_t((k + 1) % n);
  }
  const float* c = coords->data();
  auto same = [&](uint32_t a, uint32_t b) { return c[2 * a] == c[2 * b] && c[2 * a + 1] == c[2 * b + 1]; };
  size_t remaining = n;
  uint32_t corner = 0;
  size_t misses = 0;
  while (remaining > 3) {
    if (misses >= 2 * remaining) return;  // no ear twice round: give up on the rest
    uint32_t a = prev[corner], b = corner, d = next[corner];
    const float* pa = c + 2 * a;
    const float* pb = c + 2 * b;
    const float* pd = c + 2 * d;
    float turn = (pb[0] - pa[0]) * (pd[1] - pa[1]) - (pb[1] - pa[1]) * (pd[0] - pa[0]);
    bool ear = turn >= 0;
    for (uint32_t k = next[d]; ear && k != a; k = next[k]) {
      if (same(k, a) || same(k, b) || same(k, d)) continue;
      // The ear runs counter-clockwise; the inside test wants the clockwise order.
      if (PointInTriangle2D(c + 2 * k, pd, pb, pa)) ear = false;
    }
    if (!ear) {
      corner = next[corner];
      ++misses;
      continue;
    }
    out->insert(out->end(), {idx[a], idx[b], idx[d]});
    next[a] = d;
    prev[d] = a;
    --remaining;
    misses = 0;
    corner = d;
  }
  uint32_t a = prev[corner], d = next[corner];
  out->insert(out->end(), {idx[a], idx[corner], idx[d]});
}

}  // namespace

bool TriangulatePolygons(sVertexNormalTex* vertices, uint32_t vertexCount,
                         const scene::sPolygon* polygons, uint32_t polygonCount,
                         std::vector<uint32_t>* triangles, uint32_t* triangleCount,
                         bool accumulateNormals) {
  triangles->clear();
  *triangleCount = 0;
  size_t budget = 0;
  for (uint32_t p = 0; p < polygonCount; ++p) {
    size_t n = polygons[p].indices.size();
    if (n >= 3) budget += n - 2;
  }
  try {
    triangles->reserve(budget * 3);
  } catch (const std::bad_alloc&) {
    return false;
  }
  std::vector<float> coords;
  std::vector<uint32_t> links;
  for (uint32_t p = 0; p < polygonCount; ++p) {
    const std::vector<uint32_t>& idx = polygons[p].indices;
    if (idx.size() < 3) continue;
    bool inside = true;
    for (uint32_t i : idx) inside = inside && i < vertexCount;
    if (!inside) continue;
    sVector3 area = PolygonAreaVector(polygons[p], vertices, vertexCount);
    if (accumulateNormals) {
      for (uint32_t i : idx) {
        vertices[i].nx += area.x;
        vertices[i].ny += area.y;
        vertices[i].nz += area.z;
      }
    }
    if (idx.size() == 3)
      triangles->insert(triangles->end(), {idx[0], idx[1], idx[2]});
    else
      ClipEars(vertices, idx, area, &coords, &links, triangles);
  }
  if (accumulateNormals) {
    for (uint32_t p = 0; p < polygonCount; ++p) {
      const std::vector<uint32_t>& idx = polygons[p].indices;
      if (idx.size() < 3) continue;
      for (uint32_t i : idx) {
        if (i >= vertexCount) continue;
        sVector3 n{vertices[i].nx, vertices[i].ny, vertices[i].nz};
        Vec3NormalizeInPlace(&n);
        vertices[i].nx = n.x, vertices[i].ny = n.y, vertices[i].nz = n.z;
      }
    }
  }
  *triangleCount = uint32_t(triangles->size() / 3);
  return true;
}

}  // namespace model
