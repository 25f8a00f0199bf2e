#pragma once
// cRenderer: one dynamic vertex buffer and one 32-bit index buffer on the graphics device for a
// drawing client. It remembers how each buffer was made, releases them on device loss and
// makes them again (empty) after the reset; clients refill them when they next draw.

#include <cstdint>

#include "core/listener.h"
#include "platform/d3d9.h"

class cGraphics;

// FVF 0x112, 32 bytes: the vertices of models and of the image slab.
struct sVertexNormalTex {
  float x, y, z;
  float nx, ny, nz;
  float u, v;
};
// FVF 0x102, 20 bytes.
struct sVertexTex {
  float x, y, z;
  float u, v;
};
static_assert(sizeof(sVertexNormalTex) == 32, "FVF 0x112 layout");
static_assert(sizeof(sVertexTex) == 20, "FVF 0x102 layout");

class cRenderer : public cEventListener {
 public:
  cRenderer() = default;
  // Unregisters from the graphics' lists and releases both buffers.
  ~cRenderer() override;
  cRenderer(const cRenderer&) = delete;
  cRenderer& operator=(const cRenderer&) = delete;

  // Releases default-pool buffers; the created flags stay so the reset remakes them. True.
  bool OnLostDevice() override;
  // Remakes the buffers that were made; false when either fails (both are tried).
  bool OnResetDevice() override;

  // False for null; else registers in the lost list, then the reset list.
  bool Attach(cGraphics* graphics);
  // Replaces the vertex buffer; false when not attached or when the device refuses (the
  // renderer is then without vertex buffer).
  bool CreateVertexBuffer(uint32_t length, DWORD usage, DWORD fvf);
  // Replaces the index buffer (dynamic, write-only, 32-bit indices).
  bool CreateIndexBuffer(uint32_t length);
  bool LockVertexBuffer(void** data);
  bool UnlockVertexBuffer();
  // True when the device can draw with 32-bit indices (MaxVertexIndex above 65535).
  bool SupportsIndex32();
  bool DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount);
  // A triangle list of sVertexNormalTex from system memory.
  bool DrawIndexedTriangles(const void* vertices, UINT vertexCount, UINT triangleCount,
                            const void* indices, D3DFORMAT indexFormat);
  void ReleaseBuffers();

  DWORD vertexFVF = 0;
  uint32_t vertexLength = 0;
  DWORD vertexUsage = 0;
  D3DPOOL vertexPool = D3DPOOL_DEFAULT;
  uint32_t indexLength = 0;
  DWORD indexUsage = 0;
  D3DPOOL indexPool = D3DPOOL_DEFAULT;
  D3DFORMAT indexFormat = D3DFMT_UNKNOWN;
  bool vertexCreated = false;
  bool indexCreated = false;
  IDirect3DVertexBuffer9* vertexBuffer = nullptr;
  IDirect3DIndexBuffer9* indexBuffer = nullptr;
  cGraphics* graphics = nullptr;

 private:
  bool MakeVertexBuffer();
  bool MakeIndexBuffer();
};
