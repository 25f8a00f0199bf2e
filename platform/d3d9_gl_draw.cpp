// The draw calls: flexible vertex formats decoded into GL client arrays, pre-transformed
// vertices moved to GL's pixel centres, Direct3D's last pixel of lines, per-vertex point sizes.
// Every index is checked against the vertices available: a bad index fails the call instead
// of reading out of bounds.

#include <cstring>

#include "platform/d3d9_gl_internal.h"

namespace d3d9gl {

namespace {

struct FvfLayout {
  bool valid = false;
  bool rhw = false;
  UINT normal = 0, psize = 0, diffuse = 0, specular = 0;  // byte offsets; 0 = absent
  bool hasNormal = false, hasPsize = false, hasDiffuse = false;
  UINT texCount = 0;
  UINT texOffset[8] = {};
  GLint texSize[8] = {};
  UINT size = 0;
};

FvfLayout Decode(DWORD fvf) {
  FvfLayout l;
  UINT offset = 0;
  switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: offset = 12; break;
    case D3DFVF_XYZRHW: offset = 16; l.rhw = true; break;
    case D3DFVF_XYZB1: offset = 16; break;
    case D3DFVF_XYZB2: offset = 20; break;
    case D3DFVF_XYZB3: offset = 24; break;
    case D3DFVF_XYZB4: offset = 28; break;
    case D3DFVF_XYZB5: offset = 32; break;
    default: return l;
  }
  if (fvf & D3DFVF_NORMAL) {
    l.hasNormal = true;
    l.normal = offset;
    offset += 12;
  }
  if (fvf & D3DFVF_PSIZE) {
    l.hasPsize = true;
    l.psize = offset;
    offset += 4;
  }
  if (fvf & D3DFVF_DIFFUSE) {
    l.hasDiffuse = true;
    l.diffuse = offset;
    offset += 4;
  }
  if (fvf & D3DFVF_SPECULAR) {
    l.specular = offset;
    offset += 4;
  }
  l.texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  if (l.texCount > 8) return l;
  for (UINT i = 0; i < l.texCount; ++i) {
    static const GLint kComponents[4] = {2, 3, 4, 1};
    l.texOffset[i] = offset;
    l.texSize[i] = kComponents[(fvf >> (16 + 2 * i)) & 3];
    offset += 4 * UINT(l.texSize[i]);
  }
  l.size = offset;
  l.valid = true;
  return l;
}

// Vertices a primitive count needs; 0 for an unknown type.
uint64_t VerticesFor(D3DPRIMITIVETYPE type, UINT count) {
  switch (type) {
    case D3DPT_POINTLIST: return count;
    case D3DPT_LINELIST: return 2ull * count;
    case D3DPT_LINESTRIP: return uint64_t(count) + 1;
    case D3DPT_TRIANGLELIST: return 3ull * count;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return uint64_t(count) + 2;
    default: return 0;
  }
}

GLenum GlMode(D3DPRIMITIVETYPE type) {
  switch (type) {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLELIST: return GL_TRIANGLES;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    default: return GL_TRIANGLE_FAN;
  }
}

float ReadFloat(const uint8_t* p) {
  float f;
  std::memcpy(&f, p, 4);
  return f;
}

UINT IndexAt(const void* indices, bool index32, size_t i) {
  if (index32) {
    uint32_t v;
    std::memcpy(&v, static_cast<const uint8_t*>(indices) + 4 * i, 4);
    return v;
  }
  uint16_t v;
  std::memcpy(&v, static_cast<const uint8_t*>(indices) + 2 * i, 2);
  return v;
}

}

HRESULT Device::Draw(D3DPRIMITIVETYPE type, UINT primitiveCount, const uint8_t* vertices,
                     UINT vertexCount, UINT stride, const void* indices, bool index32,
                     UINT indexCount) {
  ++GetCallCounts().draw;
  DWORD fvf = state_.fvf;
  FvfLayout layout = Decode(fvf);
  if (!layout.valid || !vertices || stride < layout.size) return D3DERR_INVALIDCALL;
  if (primitiveCount == 0) return D3D_OK;
  UINT drawn = indices ? indexCount : vertexCount;
  if (indices) {
    for (size_t i = 0; i < indexCount; ++i)
      if (IndexAt(indices, index32, i) >= vertexCount) return D3DERR_INVALIDCALL;
  }
  MakeCurrent();
  ApplyState(fvf);

  // Positions.
  if (layout.rhw) {
    // Direct3D puts integer pixel coordinates on pixel centres; GL's centres are at +0.5.
    // (x, y, z, 1) / rhw keeps the interpolation perspective-correct.
    scratch_.resize(size_t(vertexCount) * 4);
    for (UINT v = 0; v < vertexCount; ++v) {
      const uint8_t* p = vertices + size_t(v) * stride;
      float rhw = ReadFloat(p + 12);
      float w = rhw != 0.0f ? 1.0f / rhw : 1.0f;
      float* out = &scratch_[size_t(v) * 4];
      out[0] = (ReadFloat(p) + 0.5f) * w;
      out[1] = (ReadFloat(p + 4) + 0.5f) * w;
      out[2] = ReadFloat(p + 8) * w;
      out[3] = w;
    }
    glVertexPointer(4, GL_FLOAT, 0, scratch_.data());
  } else {
    glVertexPointer(3, GL_FLOAT, GLsizei(stride), vertices);
  }
  glEnableClientState(GL_VERTEX_ARRAY);

  if (layout.hasNormal) {
    glNormalPointer(GL_FLOAT, GLsizei(stride), vertices + layout.normal);
    glEnableClientState(GL_NORMAL_ARRAY);
  } else {
    glDisableClientState(GL_NORMAL_ARRAY);
    glNormal3f(0.0f, 0.0f, 0.0f);
  }
  if (layout.hasDiffuse) {
    glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, GLsizei(stride), vertices + layout.diffuse);
    glEnableClientState(GL_COLOR_ARRAY);
  } else {
    // Without a diffuse colour a vertex is opaque white.
    glDisableClientState(GL_COLOR_ARRAY);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  }
  for (DWORD s = 0; s < kD3DStageCount; ++s) {
    glClientActiveTexture(GLenum(GL_TEXTURE0 + s));
    UINT set = state_.stageStates[s][D3DTSS_TEXCOORDINDEX] & 0xFFFF;
    if (set < layout.texCount) {
      glTexCoordPointer(layout.texSize[set], GL_FLOAT, GLsizei(stride),
                        vertices + layout.texOffset[set]);
      glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    } else {
      glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
  }
  glClientActiveTexture(GL_TEXTURE0);

  GLenum mode = GlMode(type);
  GLenum indexType = index32 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
  if (type == D3DPT_POINTLIST && layout.hasPsize) {
    // No fixed-function per-vertex size: draw runs of equal size.
    UINT start = 0;
    while (start < drawn) {
      auto vertexOf = [&](UINT i) { return indices ? IndexAt(indices, index32, i) : i; };
      float size = PointSizeClamped(state_, ReadFloat(vertices + size_t(vertexOf(start)) * stride + layout.psize));
      UINT end = start + 1;
      while (end < drawn &&
             PointSizeClamped(state_, ReadFloat(vertices + size_t(vertexOf(end)) * stride +
                                                layout.psize)) == size)
        ++end;
      glPointSize(size);
      if (indices)
        glDrawElements(GL_POINTS, GLsizei(end - start), indexType,
                       static_cast<const uint8_t*>(indices) + size_t(start) * (index32 ? 4 : 2));
      else
        glDrawArrays(GL_POINTS, GLint(start), GLsizei(end - start));
      start = end;
    }
    dirty_ = true;  // the point size
  } else if (indices) {
    glDrawElements(mode, GLsizei(drawn), indexType, indices);
  } else {
    glDrawArrays(mode, 0, GLsizei(drawn));
  }

  // Direct3D's LASTPIXEL (default TRUE) draws a line's last pixel; GL leaves it out.
  bool lines = type == D3DPT_LINELIST || type == D3DPT_LINESTRIP;
  if (lines && state_.renderStates[D3DRS_LASTPIXEL] &&
      state_.renderStates[D3DRS_FILLMODE] != D3DFILL_POINT) {
    std::vector<GLuint> ends;
    if (type == D3DPT_LINELIST) {
      ends.reserve(primitiveCount);
      for (UINT i = 0; i < primitiveCount; ++i)
        ends.push_back(indices ? IndexAt(indices, index32, 2 * i + 1) : 2 * i + 1);
    } else {
      ends.push_back(indices ? IndexAt(indices, index32, primitiveCount) : primitiveCount);
    }
    glPointSize(1.0f);
    glDisable(GL_POINT_SPRITE);
    glDrawElements(GL_POINTS, GLsizei(ends.size()), GL_UNSIGNED_INT, ends.data());
    dirty_ = true;
  }
  return D3D_OK;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount,
                                const void* vertexData, UINT stride) {
  uint64_t count = VerticesFor(type, primitiveCount);
  if (count == 0 || count > 0x7FFFFFFF) return D3DERR_INVALIDCALL;
  // Direct3D unbinds stream 0 after a UP draw.
  SetStreamSource(0, nullptr, 0, 0);
  return Draw(type, primitiveCount, static_cast<const uint8_t*>(vertexData), UINT(count),
              stride, nullptr, false, 0);
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex,
                                       UINT numVertices, UINT primitiveCount,
                                       const void* indexData, D3DFORMAT indexFormat,
                                       const void* vertexData, UINT stride) {
  uint64_t count = VerticesFor(type, primitiveCount);
  if (count == 0 || count > 0x7FFFFFFF || !indexData) return D3DERR_INVALIDCALL;
  if (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
  uint64_t vertexCount = uint64_t(minVertexIndex) + numVertices;
  if (vertexCount > 0x7FFFFFFF) return D3DERR_INVALIDCALL;
  SetStreamSource(0, nullptr, 0, 0);
  SetIndices(nullptr);
  return Draw(type, primitiveCount, static_cast<const uint8_t*>(vertexData), UINT(vertexCount),
              stride, indexData, indexFormat == D3DFMT_INDEX32, UINT(count));
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
  uint64_t count = VerticesFor(type, primitiveCount);
  VertexBuffer* vb = state_.stream;
  UINT stride = state_.streamStride;
  if (count == 0 || !vb || stride == 0) return D3DERR_INVALIDCALL;
  uint64_t first = uint64_t(state_.streamOffset) + uint64_t(startVertex) * stride;
  if (first + count * stride > vb->size()) return D3DERR_INVALIDCALL;
  return Draw(type, primitiveCount, vb->data() + first, UINT(count), stride, nullptr, false, 0);
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT,
                                     UINT, UINT startIndex, UINT primitiveCount) {
  uint64_t count = VerticesFor(type, primitiveCount);
  VertexBuffer* vb = state_.stream;
  IndexBuffer* ib = state_.indices;
  UINT stride = state_.streamStride;
  if (count == 0 || !vb || !ib || stride == 0) return D3DERR_INVALIDCALL;
  bool index32 = ib->desc().Format == D3DFMT_INDEX32;
  uint64_t indexBytes = index32 ? 4 : 2;
  if ((uint64_t(startIndex) + count) * indexBytes > ib->size()) return D3DERR_INVALIDCALL;
  int64_t first = int64_t(state_.streamOffset) + int64_t(baseVertexIndex) * int64_t(stride);
  if (first < 0 || uint64_t(first) >= vb->size()) return D3DERR_INVALIDCALL;
  uint64_t available = (vb->size() - uint64_t(first)) / stride;
  return Draw(type, primitiveCount, vb->data() + first, UINT(available > 0x7FFFFFFF ? 0x7FFFFFFF : available),
              stride, ib->data() + startIndex * indexBytes, index32, UINT(count));
}

}
