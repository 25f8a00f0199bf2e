// STL reader (see model_stl.h).
#include "model/model_stl.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "core/byte_cursor.h"
#include "model/model_text.h"

namespace model {

namespace {

constexpr size_t kHeaderSize = 80;
constexpr size_t kRecordSize = 50;

// Position of text inside the header's first kHeaderSize bytes, up to its first zero byte.
const uint8_t* FindInHeader(const uint8_t* header, const char* text) {
  size_t length = 0;
  while (length < kHeaderSize && header[length] != 0) ++length;
  size_t n = std::strlen(text);
  for (size_t i = 0; i + n <= length; ++i)
    if (std::memcmp(header + i, text, n) == 0) return header + i;
  return nullptr;
}

void ColourFromBytes(const uint8_t* bytes, float out[4]) {
  for (int i = 0; i < 4; ++i) out[i] = float(bytes[i]) / 255.0f;
}

// The normal a facet is drawn with, from its corners a, b, c in file order. STL facets run
// counter-clockwise seen from outside, so (b - a) x (c - a) points out. Many exporters write zero
// normals, and some write every normal pointing inwards (the facet lit from behind draws black):
// a stored normal that is zero, not finite or against the corners' one is replaced by the unit
// normal of the corners; any other stored normal is kept as it is. A facet whose corners make no
// area keeps what the file says.
inline void FacetNormal(const float* a, const float* b, const float* c, const float* stored,
                        float out[3]) {
  const float e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  const float e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
  const float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                      e1[0] * e2[1] - e1[1] * e2[0]};
  const float storedLength2 = stored[0] * stored[0] + stored[1] * stored[1] + stored[2] * stored[2];
  const float along = stored[0] * n[0] + stored[1] * n[1] + stored[2] * n[2];
  out[0] = stored[0], out[1] = stored[1], out[2] = stored[2];
  // The common case, a sound stored normal, costs no square root.
  if (storedLength2 > 0 && storedLength2 <= FLT_MAX && !(along < 0)) return;
  const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (!(length > 0) || !(length <= FLT_MAX)) return;
  for (int i = 0; i < 3; ++i) out[i] = n[i] / length;
}

// STL is right-handed: each corner is mirrored in z on the way in (and each triangle taken in
// reverse order by the callers, so the winding stays front-facing).
sVertexNormalTex Corner(const float* p, const float* normal) {
  return sVertexNormalTex{p[0], p[1], -p[2], normal[0], normal[1], -normal[2], 0, 0};
}

}  // namespace

bool cModelSTL::IsAscii(const uint8_t* data, size_t size) {
  if (size < 5 || std::memcmp(data, "solid", 5) != 0) return false;
  if (size >= kHeaderSize + 4) {
    ByteCursor cursor(data + kHeaderSize, 4);
    uint64_t count = cursor.u32le();
    if (kHeaderSize + 4 + kRecordSize * count == size) return false;
  }
  return true;
}

bool cModelSTL::ReadBinary(const uint8_t* data, size_t size) {
  if (size <= 83) return Fail("truncated", "binary STL shorter than its 84-byte header");
  sModelMaterial& material = materials[0];
  // The colour bytes must lie inside the 80 header bytes.
  if (const uint8_t* p = FindInHeader(data, "MATERIAL=")) {
    if (p + 9 + 12 <= data + kHeaderSize) {
      ColourFromBytes(p + 9, material.diffuse);
      ColourFromBytes(p + 13, material.specular);
      ColourFromBytes(p + 17, material.ambient);
    }
  } else if (const uint8_t* q = FindInHeader(data, "COLOR=")) {
    if (q + 6 + 4 <= data + kHeaderSize) {
      ColourFromBytes(q + 6, material.diffuse);
      ColourFromBytes(q + 6, material.specular);
    }
  }
  root->name = "[Model(Binary)]";
  ByteCursor cursor(data, size);
  cursor.skip(kHeaderSize);
  uint32_t count = cursor.u32le();
  if (count > (size - 84) / kRecordSize)
    return Fail("truncated", "triangle count " + std::to_string(count) + " does not fit " +
                                 std::to_string(size) + " bytes");
  // One pass: the vertices are appended in place (reserved once, never zero-filled first) and
  // the box grows with them.
  std::vector<sVertexNormalTex>& out = root->vertices;
  ReserveLarge(&out, size_t(count) * 3);
  sVector3 lo = root->bounds.min, hi = root->bounds.max;
  const uint8_t* record = cursor.take(size_t(count) * kRecordSize);
  for (uint32_t i = 0; record && i < count; ++i, record += kRecordSize) {
    // The record is inside the data (taken above) and little-endian, as the host is.
    float f[12];
    std::memcpy(f, record, sizeof f);
    float normal[3];
    FacetNormal(f + 3, f + 6, f + 9, f, normal);
    for (int corner = 9; corner >= 3; corner -= 3) {
      out.push_back(Corner(f + corner, normal));
      const sVertexNormalTex& v = out.back();
      // std::min/max keep the bound when the coordinate is NaN, as cAABB::Extend does.
      lo = sVector3{std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z)};
      hi = sVector3{std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z)};
    }
  }
  root->bounds.min = lo;
  root->bounds.max = hi;
  bounds.Extend(root->bounds);
  faceCount = count;
  return true;
}

bool cModelSTL::ReadAscii(const uint8_t* data, size_t size) {
  root->name = "[Model(Ascii)]";
  cTextLines lines(reinterpret_cast<const char*>(data), size);
  std::vector<sVertexNormalTex>& out = root->vertices;
  float normal[3] = {0, 0, 0};
  float slots[3][3] = {};
  int corners = 0;
  const char* b;
  const char* e;
  while (lines.Next(&b, &e)) {
    if (StartsWith(b, e, "facet")) {
      corners = 0;
      const char* p = SkipTokenAndBlanks(SkipBlanks(b + 5, e), e);  // the word "normal"
      for (float& c : normal) {
        c = float(ParseDouble(p, e, &p));
        p = SkipTokenAndBlanks(p, e);
      }
      sVector3 n{normal[0], normal[1], normal[2]};
      Vec3NormalizeInPlace(&n);
      normal[0] = n.x, normal[1] = n.y, normal[2] = n.z;
    } else if (StartsWith(b, e, "vertex")) {
      float corner[3];
      const char* p = SkipBlanks(b + 6, e);
      for (float& c : corner) {
        c = float(ParseDouble(p, e, &p));
        p = SkipTokenAndBlanks(p, e);
      }
      // A facet of more than three corners is a fan around the first.
      int slot = corners < 3 ? corners : 2;
      if (corners >= 3) std::memcpy(slots[1], slots[2], sizeof slots[1]);
      std::memcpy(slots[slot], corner, sizeof corner);
      ++corners;
      if (corners >= 3) {
        float facet[3];
        FacetNormal(slots[0], slots[1], slots[2], normal, facet);
        out.push_back(Corner(slots[2], facet));
        out.push_back(Corner(slots[1], facet));
        out.push_back(Corner(slots[0], facet));
      }
    }
  }
  faceCount = uint32_t(out.size() / 3);
  ComputeNodeBounds(root.get());
  return true;
}

bool cModelSTL::LoadFromMemory(const uint8_t* data, size_t size) {
  if (loaded) return false;
  ClearError();
  if (!data) return Fail("truncated", "no data");
  root = std::make_unique<sNode>();
  materials.assign(1, sModelMaterial{});
  sModelMaterial& material = materials[0];
  const float white[4] = {1, 1, 1, 1}, ambient[4] = {0.05f, 0.05f, 0.05f, 1};
  std::memcpy(material.diffuse, white, sizeof white);
  std::memcpy(material.ambient, ambient, sizeof ambient);
  bool ok = IsAscii(data, size) ? ReadAscii(data, size) : ReadBinary(data, size);
  if (!ok) return false;
  vertexCount = faceCount * 3;
  vertexFormat = 0x12;
  // The corners were mirrored as they were read; the root's matrices are identity and mirror to
  // themselves, and there is nothing else to mirror.

  loaded = 1;
  return true;
}

}  // namespace model
