// Terragen terrain reader (see model_terragen.h).
#include "model/model_terragen.h"

#include <cstring>

#include "core/byte_cursor.h"

namespace model {

namespace {

bool TagIs(const uint8_t* tag, const char* name) { return std::memcmp(tag, name, 4) == 0; }

// Chunks start on multiples of 4 counted from the file start.
void AlignToFour(ByteCursor* cursor) {
  size_t rest = cursor->position() % 4;
  if (rest) cursor->skip(4 - rest < cursor->remaining() ? 4 - rest : cursor->remaining());
}

}  // namespace

bool cTerragen::BuildGrid(uint32_t xpts, uint32_t ypts, float heightScale, float baseHeight,
                          const uint8_t* elevations) {
  size_t count = size_t(xpts) * ypts;
  std::vector<sVertexNormalTex>& v = root->vertices;
  v.resize(count);
  for (uint32_t y = 0; y < ypts; ++y) {
    for (uint32_t x = 0; x < xpts; ++x) {
      size_t k = size_t(y) * xpts + x;
      int16_t e = int16_t(uint16_t(elevations[2 * k] | elevations[2 * k + 1] << 8));
      v[k] = sVertexNormalTex{float(x), float(y), heightScale * float(e) + baseHeight, 0, 0, 0,
                              float(x) / float(xpts), float(y) / float(ypts)};
    }
  }
  sMesh& mesh = *root->meshes[0];
  size_t cells = size_t(xpts - 1) * (ypts - 1);
  mesh.triangles.resize(cells * 6);
  uint32_t* t = mesh.triangles.data();
  auto addNormal = [&v](uint32_t a, uint32_t b, uint32_t c) {
    sVector3 e1{v[b].x - v[a].x, v[b].y - v[a].y, v[b].z - v[a].z};
    sVector3 e2{v[c].x - v[a].x, v[c].y - v[a].y, v[c].z - v[a].z};
    sVector3 n;
    Vec3Cross(&n, &e1, &e2);
    for (uint32_t i : {a, b, c}) {
      v[i].nx += n.x;
      v[i].ny += n.y;
      v[i].nz += n.z;
    }
  };
  for (uint32_t y = 0; y + 1 < ypts; ++y) {
    for (uint32_t x = 0; x + 1 < xpts; ++x) {
      uint32_t k = y * xpts + x;
      uint32_t tri[6] = {k, k + xpts, k + xpts + 1, k, k + xpts + 1, k + 1};
      std::memcpy(t, tri, sizeof tri);
      t += 6;
      addNormal(tri[0], tri[1], tri[2]);
      addNormal(tri[3], tri[4], tri[5]);
    }
  }
  for (sVertexNormalTex& vertex : v) {
    sVector3 n{vertex.nx, vertex.ny, vertex.nz};
    Vec3NormalizeInPlace(&n);
    vertex.nx = n.x, vertex.ny = n.y, vertex.nz = n.z;
  }
  mesh.triangleCount = uint32_t(cells * 2);
  vertexCount = uint32_t(count);
  faceCount = uint32_t(cells * 2);
  return true;
}

bool cTerragen::LoadFromMemory(const uint8_t* data, size_t size) {
  if (loaded) return false;
  ClearError();
  if (!data || size < 17) return Fail("truncated", "shorter than 17 bytes");
  if (std::memcmp(data, "TERRAGEN", 8) != 0 || std::memcmp(data + 8, "TERRAIN ", 8) != 0)
    return Fail("bad header", "no TERRAGEN TERRAIN signature");
  root = std::make_unique<sNode>(nullptr, "[Model]");
  root->meshes.push_back(std::make_unique<sMesh>());
  uint32_t xpts = 0, ypts = 0;
  float scale[3] = {30, 30, 30};
  ByteCursor cursor(data, size);
  cursor.skip(16);
  bool haveHeights = false;
  // Each chunk is read only when its tag and payload are inside the file; a short one ends the
  // scan like an unknown tag.
  while (cursor.remaining() >= 4) {
    const uint8_t* tag = cursor.take(4);
    if (TagIs(tag, "XPTS") || TagIs(tag, "YPTS") || TagIs(tag, "SIZE")) {
      if (cursor.remaining() < 2) break;
      uint32_t value = cursor.u16le();
      if (TagIs(tag, "XPTS")) xpts = value;
      if (TagIs(tag, "YPTS")) ypts = value;
      if (TagIs(tag, "SIZE")) xpts = ypts = value + 1;
    } else if (TagIs(tag, "SCAL")) {
      if (cursor.remaining() < 12) break;
      for (float& s : scale) s = cursor.f32le();
    } else if (TagIs(tag, "CRAD") || TagIs(tag, "CRVM")) {
      if (cursor.remaining() < 4) break;
      cursor.skip(4);
    } else if (TagIs(tag, "ALTW")) {
      if (cursor.remaining() < 4) return Fail("truncated", "ALTW without its two values");
      int16_t heightScale = cursor.i16le();
      int16_t baseHeight = cursor.i16le();
      uint64_t need = uint64_t(xpts) * uint64_t(ypts) * 2;
      if (xpts < 2 || ypts < 2)
        return Fail("bad size", std::to_string(xpts) + " x " + std::to_string(ypts) + " points");
      if (need > cursor.remaining())
        return Fail("truncated", std::to_string(need) + " elevation bytes needed, " +
                                     std::to_string(cursor.remaining()) + " present");
      float height = heightScale == 0 ? 1.0f : float(heightScale) / 65536.0f;
      BuildGrid(xpts, ypts, height, float(baseHeight), cursor.take(size_t(need)));
      haveHeights = true;
      break;
    } else {
      break;  // "EOF " or a tag this reader does not know
    }
    AlignToFour(&cursor);
  }
  MatrixIdentity(&root->base);
  root->base.m00 = scale[0];
  root->base.m11 = scale[1];
  root->base.m22 = scale[2];
  root->current = root->base;
  if (haveHeights) ComputeNodeBounds(root.get());
  loaded = 1;
  return true;
}

}  // namespace model
