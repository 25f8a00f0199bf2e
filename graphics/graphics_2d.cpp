// cGraphics' two-dimensional drawing: lines, rectangles, fills, circles and textured rectangles
// as pre-transformed vertices through DrawPrimitiveUP, the optional 2D transform, the state
// block around foreign drawing, and the shared sprite batch.
#include <algorithm>
#include <vector>

#include "graphics/graphics.h"
#include "graphics/texture.h"
#include "platform/d3dx9.h"

namespace {

constexpr DWORD kScreenVertexFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;
constexpr DWORD kScreenVertexTexFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr size_t kCirclePointBatch = 500;

sScreenVertex MakeVertex(float x, float y, D3DCOLOR color) {
  sScreenVertex v;
  v.x = x;
  v.y = y;
  v.z = 0.0f;
  v.rhw = 1.0f;
  v.color = color;
  return v;
}

void TransformVertex2D(const cGraphics& g, float* x, float* y) {
  if (!g.transformActive) return;
  D3DXVECTOR2 point(*x, *y);
  D3DXVec2TransformCoord(&point, &point, reinterpret_cast<const D3DXMATRIX*>(&g.transform2D));
  *x = point.x;
  *y = point.y;
}

// Untextured pre-transformed vertices (moved by the 2D transform first).
void DrawScreenVertices(cGraphics& g, D3DPRIMITIVETYPE type, UINT primitives,
                        sScreenVertex* vertices, size_t count) {
  if (g.device == nullptr || primitives == 0) return;
  for (size_t i = 0; i < count; ++i) TransformVertex2D(g, &vertices[i].x, &vertices[i].y);
  g.device->SetTexture(0, nullptr);
  g.device->SetFVF(kScreenVertexFvf);
  g.device->DrawPrimitiveUP(type, primitives, vertices, sizeof(sScreenVertex));
}

// The whole-texture and part-texture rectangles: the quad's corners in the order (left,
// bottom), (left, top), (right, bottom), (right, top) as a two-triangle strip.
void DrawTexturedQuad(cGraphics& g, cTexture* texture, D3DCOLOR color, float left, float top,
                      float right, float bottom, float u0, float v0, float u1, float v1) {
  IDirect3DDevice9* device = g.device;
  if (device == nullptr || texture->d3dTexture == nullptr) return;
  // Earlier sprite drawing (text) must land beneath this rectangle.
  if (g.spriteDepth > 0 && g.sprite != nullptr) g.sprite->Flush();
  const float xs[4] = {left, left, right, right};
  const float ys[4] = {bottom, top, bottom, top};
  const float us[4] = {u0, u0, u1, u1};
  const float vs[4] = {v1, v0, v1, v0};
  for (int i = 0; i < 4; ++i) {
    // Direct3D 9 puts pixel centres on integers: the half-pixel shift maps texels to pixels.
    sScreenVertexTex& v = g.quad[i];
    v.x = xs[i] - 0.5f;
    v.y = ys[i] - 0.5f;
    TransformVertex2D(g, &v.x, &v.y);
    v.z = 0.0f;
    v.rhw = 1.0f;
    v.color = color;
    v.u = us[i];
    v.v = vs[i];
  }
  g.SetModulateStage();
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
  device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
  device->SetTexture(0, texture->d3dTexture);
  device->SetFVF(kScreenVertexTexFvf);
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, g.quad, sizeof(sScreenVertexTex));
}

}  // namespace

void cGraphics::DrawLines(D3DCOLOR color, const sLineSegment2D* lines, int count) {
  if (lines == nullptr || count <= 0) return;
  std::vector<sScreenVertex> vertices;
  vertices.reserve(static_cast<size_t>(count) * 2);
  for (int i = 0; i < count; ++i) {
    vertices.push_back(MakeVertex(static_cast<float>(lines[i].x1), static_cast<float>(lines[i].y1), color));
    vertices.push_back(MakeVertex(static_cast<float>(lines[i].x2), static_cast<float>(lines[i].y2), color));
  }
  DrawScreenVertices(*this, D3DPT_LINELIST, static_cast<UINT>(count), vertices.data(), vertices.size());
}

void cGraphics::DrawRectOutline(D3DCOLOR color, int x1, int y1, int x2, int y2) {
  const float left = static_cast<float>(std::min(x1, x2));
  const float right = static_cast<float>(std::max(x1, x2));
  const float top = static_cast<float>(std::min(y1, y2));
  const float bottom = static_cast<float>(std::max(y1, y2));
  sScreenVertex vertices[8] = {
      MakeVertex(left, top, color),     MakeVertex(right, top, color),
      MakeVertex(right, top, color),    MakeVertex(right, bottom, color),
      MakeVertex(right, bottom, color), MakeVertex(left, bottom, color),
      MakeVertex(left, bottom, color),  MakeVertex(left, top, color),
  };
  DrawScreenVertices(*this, D3DPT_LINELIST, 4, vertices, 8);
}

void cGraphics::FillRect(D3DCOLOR color, int x1, int y1, int x2, int y2) {
  const int left = std::min(x1, x2);
  const int right = std::max(x1, x2);
  const float top = static_cast<float>(std::min(y1, y2));
  const float bottom = static_cast<float>(std::max(y1, y2));
  for (int x = left; x <= right; ++x) {
    sScreenVertex column[2] = {MakeVertex(static_cast<float>(x), top, color),
                               MakeVertex(static_cast<float>(x), bottom, color)};
    DrawScreenVertices(*this, D3DPT_LINELIST, 1, column, 2);
  }
}

void cGraphics::DrawCircle(int radius, int centerX, int centerY) {
  if (radius < 0) return;
  std::vector<sScreenVertex> points;
  points.reserve(kCirclePointBatch);
  auto plot = [&](int px, int py) {
    points.push_back(MakeVertex(static_cast<float>(px), static_cast<float>(py), 0x00000000u));
    if (points.size() == kCirclePointBatch) {
      DrawScreenVertices(*this, D3DPT_POINTLIST, static_cast<UINT>(points.size()), points.data(), points.size());
      points.clear();
    }
  };
  int x = 0;
  int y = radius;
  int error = 2 - 2 * radius;
  while (y >= 0) {
    plot(centerX + x, centerY + y);
    plot(centerX - x, centerY + y);
    plot(centerX + x, centerY - y);
    plot(centerX - x, centerY - y);
    if (error < 0 && 2 * (error + y) - 1 <= 0) {
      ++x;
      error += 2 * x + 1;
    } else if (error > 0 && 2 * (error - x) - 1 > 0) {
      --y;
      error += 1 - 2 * y;
    } else {
      ++x;
      --y;
      error += 2 * x - 2 * y + 2;
    }
  }
  if (!points.empty()) {
    DrawScreenVertices(*this, D3DPT_POINTLIST, static_cast<UINT>(points.size()), points.data(), points.size());
  }
}

void cGraphics::SetTransform2D(const sMatrix4* matrix) {
  if (matrix == nullptr) {
    transformActive = false;
    return;
  }
  transform2D = *matrix;
  transformActive = !D3DXMatrixIsIdentity(reinterpret_cast<const D3DXMATRIX*>(&transform2D));
}

void cGraphics::DrawTexturedRect(cTexture* texture, D3DCOLOR color, float left, float top,
                                 float right, float bottom) {
  if (texture == nullptr) return;
  DrawTexturedQuad(*this, texture, color, left, top, right, bottom, 0.0f, 0.0f, 1.0f, 1.0f);
}

void cGraphics::DrawTexturedRectPart(cTexture* texture, float left, float top, float right,
                                     float bottom, float sourceLeft, float sourceTop,
                                     float sourceRight, float sourceBottom, D3DCOLOR color) {
  if (texture == nullptr || texture->width < 1 || texture->height < 1) return;
  const float w = static_cast<float>(texture->width);
  const float h = static_cast<float>(texture->height);
  DrawTexturedQuad(*this, texture, color, left, top, right, bottom, sourceLeft / w, sourceTop / h,
                   sourceRight / w, sourceBottom / h);
}

void cGraphics::DrawTexturedRectPart(const RECT* dest, const RECT* source, cTexture* texture,
                                     D3DCOLOR color) {
  if (dest == nullptr || source == nullptr) return;
  DrawTexturedRectPart(texture, static_cast<float>(dest->left), static_cast<float>(dest->top),
                       static_cast<float>(dest->right), static_cast<float>(dest->bottom),
                       static_cast<float>(source->left), static_cast<float>(source->top),
                       static_cast<float>(source->right), static_cast<float>(source->bottom),
                       color);
}

bool cGraphics::SaveStates() {
  if (device == nullptr) return false;
  if (savedStates != nullptr) {
    savedStates->Release();
    savedStates = nullptr;
  }
  if (FAILED(device->CreateStateBlock(D3DSBT_ALL, &savedStates))) {
    savedStates = nullptr;
    return false;
  }
  return true;
}

bool cGraphics::RestoreStates() {
  if (savedStates == nullptr) return false;
  const bool applied = SUCCEEDED(savedStates->Apply());
  savedStates->Release();
  savedStates = nullptr;
  return applied;
}

bool cGraphics::BeginSprite() {
  if (device == nullptr || sprite == nullptr) return false;
  if (spriteDepth++ == 0) {
    if (FAILED(sprite->Begin(0))) {
      --spriteDepth;
      return false;
    }
    DWORD lighting = 0;
    device->GetRenderState(D3DRS_LIGHTING, &lighting);
    lightingOn = lighting != 0;
  }
  return true;
}

bool cGraphics::EndSprite() {
  if (device == nullptr || sprite == nullptr) return false;
  bool ok = true;
  if (--spriteDepth <= 0) {
    ok = SUCCEEDED(sprite->End());
    DWORD lighting = 0;
    device->GetRenderState(D3DRS_LIGHTING, &lighting);
    lightingOn = lighting != 0;
    spriteDepth = 0;
  }
  return ok;
}
