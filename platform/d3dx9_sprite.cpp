// d3dx9_sprite: ID3DXSprite as a queue of pre-transformed textured quads drawn through the
// device with DrawPrimitiveUP. See d3dx9.h for the contract.
#include <algorithm>
#include <vector>

#include "platform/d3dx9.h"
#include "platform/d3dx9_device_child.h"

namespace {

struct SpriteVertex {
  float x, y, z, rhw;
  D3DCOLOR color;
  float u, v;
};
constexpr DWORD kSpriteFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
static_assert(sizeof(SpriteVertex) == 28, "XYZRHW|DIFFUSE|TEX1 vertices are 28 bytes");

struct QueuedQuad {
  IDirect3DTexture9* texture;  // one reference held per quad
  SpriteVertex corners[4];     // top left, top right, bottom left, bottom right
};

class Sprite final : public D3DXDeviceChild<ID3DXSprite> {
 public:
  explicit Sprite(IDirect3DDevice9* device) : D3DXDeviceChild(device) {
    D3DXMatrixIdentity(&transform_);
  }

  HRESULT GetTransform(D3DXMATRIX* transform) override {
    if (transform == nullptr) return D3DERR_INVALIDCALL;
    *transform = transform_;
    return D3D_OK;
  }

  HRESULT SetTransform(const D3DXMATRIX* transform) override {
    if (transform == nullptr) return D3DERR_INVALIDCALL;
    transform_ = *transform;
    return D3D_OK;
  }

  HRESULT Begin(DWORD flags) override {
    if (begun_) return D3DERR_INVALIDCALL;
    flags_ = flags;
    if ((flags & D3DXSPRITE_DONOTSAVESTATE) == 0) {
      if (FAILED(device_->CreateStateBlock(D3DSBT_ALL, &stateAtBegin_))) return E_FAIL;
    }
    if ((flags & D3DXSPRITE_DONOTMODIFY_RENDERSTATE) == 0) {
      device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    }
    begun_ = true;
    return D3D_OK;
  }

  HRESULT Draw(IDirect3DTexture9* texture, const RECT* source, const D3DXVECTOR3* center,
               const D3DXVECTOR3* position, D3DCOLOR color) override {
    if (!begun_ || texture == nullptr) return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc{};
    if (FAILED(texture->GetLevelDesc(0, &desc)) || desc.Width == 0 || desc.Height == 0) {
      return D3DERR_INVALIDCALL;
    }
    RECT part = source != nullptr ? *source
                                  : RECT{0, 0, static_cast<LONG>(desc.Width),
                                         static_cast<LONG>(desc.Height)};
    const float left = (position ? position->x : 0.0f) - (center ? center->x : 0.0f);
    const float top = (position ? position->y : 0.0f) - (center ? center->y : 0.0f);
    const float width = static_cast<float>(part.right - part.left);
    const float height = static_cast<float>(part.bottom - part.top);
    const float u0 = part.left / static_cast<float>(desc.Width);
    const float v0 = part.top / static_cast<float>(desc.Height);
    const float u1 = part.right / static_cast<float>(desc.Width);
    const float v1 = part.bottom / static_cast<float>(desc.Height);

    QueuedQuad quad;
    quad.texture = texture;
    const float xs[4] = {left, left + width, left, left + width};
    const float ys[4] = {top, top, top + height, top + height};
    const float us[4] = {u0, u1, u0, u1};
    const float vs[4] = {v0, v0, v1, v1};
    for (int i = 0; i < 4; ++i) {
      D3DXVECTOR2 corner(xs[i], ys[i]);
      D3DXVec2TransformCoord(&corner, &corner, &transform_);
      // Texel-exact quads: Direct3D 9 places a pre-transformed vertex on a pixel centre.
      quad.corners[i] = SpriteVertex{corner.x - 0.5f, corner.y - 0.5f, 0.0f, 1.0f, color,
                                     us[i], vs[i]};
    }
    texture->AddRef();
    queue_.push_back(quad);
    return D3D_OK;
  }

  HRESULT Flush() override {
    if (!begun_) return D3DERR_INVALIDCALL;
    if (queue_.empty()) return D3D_OK;
    IDirect3DStateBlock9* callerState = nullptr;
    if ((flags_ & D3DXSPRITE_DONOTSAVESTATE) == 0) {
      device_->CreateStateBlock(D3DSBT_ALL, &callerState);
    }
    if ((flags_ & D3DXSPRITE_DONOTMODIFY_RENDERSTATE) == 0) SetDrawingStates();
    HRESULT result = DrawQueue();
    if (callerState != nullptr) {
      callerState->Apply();
      callerState->Release();
    }
    return result;
  }

  HRESULT End() override {
    if (!begun_) return D3DERR_INVALIDCALL;
    HRESULT result = Flush();
    if (stateAtBegin_ != nullptr) {
      stateAtBegin_->Apply();
      stateAtBegin_->Release();
      stateAtBegin_ = nullptr;
    }
    begun_ = false;
    return result;
  }

  // The sprite holds no default-pool resources; a batch open across a reset is dropped.
  HRESULT OnLostDevice() override {
    ReleaseQueue();
    if (stateAtBegin_ != nullptr) {
      stateAtBegin_->Release();
      stateAtBegin_ = nullptr;
    }
    begun_ = false;
    return D3D_OK;
  }
  HRESULT OnResetDevice() override { return D3D_OK; }

 private:
  ~Sprite() override {
    ReleaseQueue();
    if (stateAtBegin_ != nullptr) stateAtBegin_->Release();
  }

  void SetDrawingStates() {
    IDirect3DDevice9* d = device_;
    d->SetRenderState(D3DRS_LIGHTING, FALSE);
    d->SetRenderState(D3DRS_ZENABLE, FALSE);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    d->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    d->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    d->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    d->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    d->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    d->SetFVF(kSpriteFvf);
  }

  HRESULT DrawQueue() {
    if ((flags_ & D3DXSPRITE_SORT_TEXTURE) != 0) {
      std::stable_sort(queue_.begin(), queue_.end(),
                       [](const QueuedQuad& a, const QueuedQuad& b) { return a.texture < b.texture; });
    }
    HRESULT result = D3D_OK;
    size_t start = 0;
    while (start < queue_.size()) {
      size_t end = start;
      vertices_.clear();
      while (end < queue_.size() && queue_[end].texture == queue_[start].texture) {
        const SpriteVertex* c = queue_[end].corners;
        // Two triangles per quad: (tl, tr, bl) and (bl, tr, br).
        const SpriteVertex triangles[6] = {c[0], c[1], c[2], c[2], c[1], c[3]};
        vertices_.insert(vertices_.end(), triangles, triangles + 6);
        ++end;
      }
      device_->SetTexture(0, queue_[start].texture);
      const HRESULT drawn = device_->DrawPrimitiveUP(
          D3DPT_TRIANGLELIST, static_cast<UINT>(vertices_.size() / 3), vertices_.data(),
          sizeof(SpriteVertex));
      if (FAILED(drawn)) result = drawn;
      start = end;
    }
    device_->SetTexture(0, nullptr);
    ReleaseQueue();
    return result;
  }

  void ReleaseQueue() {
    for (QueuedQuad& quad : queue_) quad.texture->Release();
    queue_.clear();
  }

  D3DXMATRIX transform_;
  DWORD flags_ = 0;
  bool begun_ = false;
  IDirect3DStateBlock9* stateAtBegin_ = nullptr;
  std::vector<QueuedQuad> queue_;
  std::vector<SpriteVertex> vertices_;
};

}  // namespace

HRESULT D3DXCreateSprite(IDirect3DDevice9* device, ID3DXSprite** sprite) {
  if (device == nullptr || sprite == nullptr) return D3DERR_INVALIDCALL;
  *sprite = new Sprite(device);
  return D3D_OK;
}
