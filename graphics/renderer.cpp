// cRenderer: the dynamic vertex and index buffers of one drawing client.

#include "graphics/renderer.h"

#include "graphics/graphics.h"

namespace {
constexpr DWORD kIndexUsage = D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC;

// The device keeps binding what was last drawn from: a buffer let go here is unbound there too,
// or its memory would stay until some other client draws.
void UnbindFromDevice(cGraphics* graphics, IDirect3DVertexBuffer9* vertices,
                      IDirect3DIndexBuffer9* indices) {
  IDirect3DDevice9* device = graphics ? graphics->device : nullptr;
  if (!device) return;
  IDirect3DVertexBuffer9* stream = nullptr;
  UINT offset = 0, stride = 0;
  if (vertices && SUCCEEDED(device->GetStreamSource(0, &stream, &offset, &stride)) && stream) {
    if (stream == vertices) device->SetStreamSource(0, nullptr, 0, 0);
    stream->Release();
  }
  IDirect3DIndexBuffer9* bound = nullptr;
  if (indices && SUCCEEDED(device->GetIndices(&bound)) && bound) {
    if (bound == indices) device->SetIndices(nullptr);
    bound->Release();
  }
}
}

cRenderer::~cRenderer() {
  if (graphics) {
    graphics->RemoveLostListener(this);
    graphics->RemoveResetListener(this);
    ReleaseBuffers();
  }
}

bool cRenderer::Attach(cGraphics* g) {
  if (!g) return false;
  graphics = g;
  g->AddDeviceListener(true, this);
  g->AddDeviceListener(false, this);
  return true;
}

bool cRenderer::MakeVertexBuffer() {
  IDirect3DDevice9* device = graphics ? graphics->device : nullptr;
  if (!device) return false;
  return SUCCEEDED(device->CreateVertexBuffer(vertexLength, vertexUsage, vertexFVF,
                                              D3DPOOL_DEFAULT, &vertexBuffer, nullptr));
}

bool cRenderer::MakeIndexBuffer() {
  IDirect3DDevice9* device = graphics ? graphics->device : nullptr;
  if (!device) return false;
  return SUCCEEDED(device->CreateIndexBuffer(indexLength, kIndexUsage, D3DFMT_INDEX32,
                                             D3DPOOL_DEFAULT, &indexBuffer, nullptr));
}

bool cRenderer::CreateVertexBuffer(uint32_t length, DWORD usage, DWORD fvf) {
  if (!graphics) return false;
  if (vertexBuffer) vertexBuffer->Release();
  vertexBuffer = nullptr;
  vertexCreated = false;
  DWORD oldFvf = vertexFVF;
  uint32_t oldLength = vertexLength;
  DWORD oldUsage = vertexUsage;
  vertexLength = length;
  vertexUsage = usage;
  vertexFVF = fvf;
  if (!MakeVertexBuffer()) {
    vertexBuffer = nullptr;
    vertexFVF = oldFvf;
    vertexLength = oldLength;
    vertexUsage = oldUsage;
    return false;
  }
  vertexPool = D3DPOOL_DEFAULT;
  vertexCreated = true;
  return true;
}

bool cRenderer::CreateIndexBuffer(uint32_t length) {
  if (!graphics) return false;
  if (indexBuffer) indexBuffer->Release();
  indexBuffer = nullptr;
  indexCreated = false;
  uint32_t oldLength = indexLength;
  indexLength = length;
  if (!MakeIndexBuffer()) {
    indexBuffer = nullptr;
    indexLength = oldLength;
    return false;
  }
  indexUsage = kIndexUsage;
  indexPool = D3DPOOL_DEFAULT;
  indexFormat = D3DFMT_INDEX32;
  indexCreated = true;
  return true;
}

bool cRenderer::LockVertexBuffer(void** data) {
  if (!vertexBuffer || !data) return false;
  return SUCCEEDED(vertexBuffer->Lock(0, 0, data, 0));
}

bool cRenderer::UnlockVertexBuffer() {
  if (!vertexBuffer) return false;
  return SUCCEEDED(vertexBuffer->Unlock());
}

bool cRenderer::SupportsIndex32() {
  if (!graphics || !graphics->device) return false;
  return graphics->caps.MaxVertexIndex > 0xFFFF;
}

bool cRenderer::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
  if (!graphics || !graphics->device) return false;
  return SUCCEEDED(graphics->device->DrawPrimitive(type, startVertex, primitiveCount));
}

bool cRenderer::DrawIndexedTriangles(const void* vertices, UINT vertexCount, UINT triangleCount,
                                     const void* indices, D3DFORMAT format) {
  if (!graphics || !graphics->device) return false;
  return SUCCEEDED(graphics->device->DrawIndexedPrimitiveUP(
      D3DPT_TRIANGLELIST, 0, vertexCount, triangleCount, indices, format, vertices,
      sizeof(sVertexNormalTex)));
}

void cRenderer::ReleaseBuffers() {
  UnbindFromDevice(graphics, vertexBuffer, indexBuffer);
  if (vertexBuffer) vertexBuffer->Release();
  if (indexBuffer) indexBuffer->Release();
  vertexBuffer = nullptr;
  indexBuffer = nullptr;
  vertexCreated = indexCreated = false;
  vertexLength = indexLength = 0;
}

bool cRenderer::OnLostDevice() {
  if (vertexBuffer && vertexPool == D3DPOOL_DEFAULT) {
    vertexBuffer->Release();
    vertexBuffer = nullptr;
  }
  if (indexBuffer && indexPool == D3DPOOL_DEFAULT) {
    indexBuffer->Release();
    indexBuffer = nullptr;
  }
  return true;
}

bool cRenderer::OnResetDevice() {
  bool ok = true;
  if (vertexCreated && vertexPool == D3DPOOL_DEFAULT && !vertexBuffer && !MakeVertexBuffer()) {
    vertexBuffer = nullptr;
    ok = false;
  }
  if (indexCreated && indexPool == D3DPOOL_DEFAULT && !indexBuffer && !MakeIndexBuffer()) {
    indexBuffer = nullptr;
    ok = false;
  }
  return ok;
}
