#pragma once
// Shared inside the Direct3D 9 stand-in (d3d9_gl*.cpp) only.
//
// Storage orientation: every colour target (back buffer and render-target textures) keeps row 0
// of the Direct3D surface at GL row 0, so Direct3D screen coordinates equal GL window
// coordinates. Projections are flipped in y to get there, which also swaps the GL winding;
// Present flips once more when it stretches the back buffer into the window. Reading a target
// back therefore needs no row flip, and a texture's CPU copy uploads as it is.

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <atomic>
#include <vector>

#include "platform/d3d9.h"

struct SDL_Window;

namespace d3d9gl {

class Device;
class Texture;

// Reference counting shared by every interface of the stand-in.
//
// Two kinds of reference keep an object: the program's (AddRef/Release) and the device's own
// bindings (Bind/Unbind: bound textures and buffers, the render target, a state block's
// captures, a texture level's container). An object made by a device holds one reference to
// that device while the program holds it, and drops it with the program's last Release even
// when a binding keeps the object itself: otherwise a texture left bound would keep the device
// alive and the device would keep the texture, and neither would ever go.
template <class Base>
class RefCounted : public Base {
 public:
  ULONG AddRef() override {
    if (refs_++ == 0 && owner_) owner_->AddRef();
    return refs_;
  }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) {
      // Deleted before the device may go, so a destructor still finds its GL context.
      IUnknown* owner = owner_;
      if (binds_ == 0) delete this;
      if (owner) owner->Release();
    }
    return left;
  }
  void Bind() { ++binds_; }
  void Unbind() {
    if (--binds_ == 0 && refs_ == 0) delete this;
  }

 protected:
  ~RefCounted() override = default;
  // Takes the reference to the device (or Direct3D object) held while the program holds this.
  void HoldOwner(IUnknown* owner) {
    owner_ = owner;
    owner_->AddRef();
  }

 private:
  ULONG refs_ = 1;
  ULONG binds_ = 0;
  IUnknown* owner_ = nullptr;
};

// Bind/Unbind for a pointer that may be null.
template <class T>
void BindObject(T* object) {
  if (object) object->Bind();
}
template <class T>
void UnbindObject(T* object) {
  if (object) object->Unbind();
}

// A colour target: a GL texture with a framebuffer object and a depth-stencil renderbuffer.
struct ColorTarget {
  GLuint texture = 0;
  GLuint fbo = 0;
  GLuint depthStencil = 0;
  int width = 0;
  int height = 0;
  bool MakeFramebuffer();  // attaches a depth-stencil buffer of the same size; false if incomplete
  void Destroy();
};

// Counts the DEFAULT-pool objects alive; Reset refuses while any exists.
extern int liveDefaultPoolObjects;

class Surface final : public RefCounted<IDirect3DSurface9> {
 public:
  enum class Kind { TextureLevel, BackBuffer, DepthStencil, Plain };
  Surface(Device* device, Kind kind, Texture* texture, const D3DSURFACE_DESC& desc);

  HRESULT GetDevice(IDirect3DDevice9** device) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
  HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
  HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect() override;
  HRESULT GetContainerTexture(IDirect3DTexture9** texture) override;

  Kind kind() const { return kind_; }
  Texture* texture() const { return texture_; }
  // The colour target this surface draws into; null for depth and plain surfaces.
  ColorTarget* Target();

 private:
  ~Surface() override;
  Device* device_;
  Kind kind_;
  Texture* texture_;  // bound for TextureLevel
  D3DSURFACE_DESC desc_;
  std::vector<uint32_t> pixels_;  // back-buffer and plain surfaces: the locked copy
  bool locked_ = false;
  DWORD lockFlags_ = 0;
};

class Texture final : public RefCounted<IDirect3DTexture9> {
 public:
  Texture(Device* device, UINT width, UINT height, DWORD usage, D3DFORMAT format, D3DPOOL pool);
  bool Create();  // the GL objects; false when GL refuses

  HRESULT GetDevice(IDirect3DDevice9** device) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
  DWORD GetLevelCount() override { return 1; }
  HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
  HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
  HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect(UINT level) override;

  GLuint glTexture() const { return target_.texture; }
  ColorTarget* Target() { return isRenderTarget() ? &target_ : nullptr; }
  bool isRenderTarget() const { return (desc_.Usage & D3DUSAGE_RENDERTARGET) != 0; }
  const D3DSURFACE_DESC& desc() const { return desc_; }
  // Copies the GL texels of a render target into the CPU copy.
  void ReadBack();
  // Sends the CPU copy to GL.
  void Upload();
  std::vector<uint32_t>& texels() { return texels_; }

  // Sampler values last given to the GL texture object, to skip repeating them.
  DWORD appliedSampler[kD3DSamplerStateCount] = {};
  bool samplerApplied = false;

 private:
  ~Texture() override;
  Device* device_;
  D3DSURFACE_DESC desc_;
  ColorTarget target_;
  std::vector<uint32_t> texels_;  // A8R8G8B8, rows top first, pitch width * 4
  bool locked_ = false;
  DWORD lockFlags_ = 0;
};

// A vertex or index buffer kept in CPU memory (drawn from client arrays).
template <class Interface, class Desc>
class MemoryBuffer final : public RefCounted<Interface> {
 public:
  MemoryBuffer(Device* device, const Desc& desc);
  HRESULT GetDevice(IDirect3DDevice9** device) override;
  D3DRESOURCETYPE GetType() override { return desc_.Type; }
  // offset and size 0: the whole buffer; a range outside it is refused.
  HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
  HRESULT Unlock() override { return D3D_OK; }
  HRESULT GetDesc(Desc* desc) override;
  const uint8_t* data() const { return bytes_.data(); }
  UINT size() const { return desc_.Size; }
  const Desc& desc() const { return desc_; }

 private:
  ~MemoryBuffer() override;
  Device* device_;
  Desc desc_;
  std::vector<uint8_t> bytes_;
};
using VertexBuffer = MemoryBuffer<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC>;
using IndexBuffer = MemoryBuffer<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC>;

// Everything a D3DSBT_ALL state block captures. Binds what it refers to.
struct DeviceState {
  DWORD renderStates[kD3DRenderStateCount];
  DWORD stageStates[kD3DStageCount][kD3DTextureStageStateCount];
  DWORD samplerStates[kD3DStageCount][kD3DSamplerStateCount];
  D3DMATRIX world, view, projection;
  D3DMATRIX textureTransforms[kD3DStageCount];
  D3DMATERIAL9 material;
  D3DLIGHT9 lights[8];
  bool lightSet[8];
  BOOL lightEnabled[8];
  D3DVIEWPORT9 viewport;
  Texture* textures[kD3DStageCount];
  DWORD fvf;
  VertexBuffer* stream;
  UINT streamOffset, streamStride;
  IndexBuffer* indices;

  DeviceState();
  DeviceState(const DeviceState& other);
  DeviceState& operator=(const DeviceState& other);
  ~DeviceState();
  void SetDefaults(const D3DVIEWPORT9& fullTarget, bool autoDepth);
  void ReleaseBindings();
};

class StateBlock final : public RefCounted<IDirect3DStateBlock9> {
 public:
  explicit StateBlock(Device* device);
  HRESULT GetDevice(IDirect3DDevice9** device) override;
  HRESULT Capture() override;
  HRESULT Apply() override;

 private:
  ~StateBlock() override;
  Device* device_;
  DeviceState state_;
};

class Device final : public RefCounted<IDirect3DDevice9> {
 public:
  Device(IDirect3D9* d3d, HWND window, SDL_Window* sdlWindow, void* context,
         const D3DPRESENT_PARAMETERS& params, DWORD createFlags, D3DDEVTYPE type);
  bool CreateBackBuffer();

  // [d3d9_gl.cpp] frame, targets, reset
  HRESULT TestCooperativeLevel() override;
  HRESULT GetDirect3D(IDirect3D9** d3d) override;
  HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
  HRESULT GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) override;
  HRESULT GetCreationParameters(D3DPRESENT_PARAMETERS* current) override;
  UINT GetAvailableTextureMem() override { return 512u << 20; }
  HRESULT Reset(D3DPRESENT_PARAMETERS* params) override;
  HRESULT Present(const RECT* source, const RECT* dest, HWND window, const void* dirty) override;
  HRESULT GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type,
                        IDirect3DSurface9** surface) override;
  HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) override;
  HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) override;
  HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) override;
  HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                DWORD stencil) override;

  // [d3d9_gl_resources.cpp]
  HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* shared) override;
  HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                             IDirect3DVertexBuffer9** buffer, HANDLE* shared) override;
  HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                            IDirect3DIndexBuffer9** buffer, HANDLE* shared) override;
  HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DSurface9** surface, HANDLE* shared) override;
  HRESULT CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** block) override;

  // [d3d9_gl_states.cpp]
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
  HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
  HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
  HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
  HRESULT SetMaterial(const D3DMATERIAL9* material) override;
  HRESULT GetMaterial(D3DMATERIAL9* material) override;
  HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override;
  HRESULT GetLight(DWORD index, D3DLIGHT9* light) override;
  HRESULT LightEnable(DWORD index, BOOL enable) override;
  HRESULT GetLightEnable(DWORD index, BOOL* enable) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
  HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
  HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
  HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
  HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
  HRESULT SetFVF(DWORD fvf) override;
  HRESULT GetFVF(DWORD* fvf) override;
  HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                          UINT stride) override;
  HRESULT GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset,
                          UINT* stride) override;
  HRESULT SetIndices(IDirect3DIndexBuffer9* buffer) override;
  HRESULT GetIndices(IDirect3DIndexBuffer9** buffer) override;

  // [d3d9_gl_draw.cpp]
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex,
                               UINT numVertices, UINT startIndex, UINT primitiveCount) override;
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                          UINT stride) override;
  HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices,
                                 UINT primitiveCount, const void* indexData,
                                 D3DFORMAT indexFormat, const void* vertexData,
                                 UINT stride) override;

  // Internal.
  void MakeCurrent();
  DeviceState& state() { return state_; }
  void MarkDirty() { dirty_ = true; }
  // Binds the current render target's framebuffer.
  void BindCurrentTarget();
  ColorTarget* CurrentTarget();
  Surface* backBufferSurface() { return backBufferSurface_; }
  ColorTarget& backBuffer() { return backBuffer_; }
  D3DVIEWPORT9 FullViewport() const;
  bool hasMirrorOnce = false;
  bool hasAnisotropic = false;

 private:
  ~Device() override;
  // Applies the mirrored state to GL before a draw; rhw: pre-transformed vertices.
  void ApplyState(DWORD fvf);
  void ApplyRenderStates();
  void ApplyTransformsAndLights(bool rhw);
  void ApplyStages();
  HRESULT Draw(D3DPRIMITIVETYPE type, UINT primitiveCount, const uint8_t* vertices,
               UINT vertexCount, UINT stride, const void* indices, bool index32,
               UINT indexCount);

  IDirect3D9* d3d_;
  HWND window_;
  SDL_Window* sdlWindow_;
  void* context_;
  D3DPRESENT_PARAMETERS params_;
  DWORD createFlags_;
  D3DDEVTYPE type_;
  ColorTarget backBuffer_;
  Surface* backBufferSurface_ = nullptr;
  Surface* depthSurface_ = nullptr;
  Surface* renderTarget_ = nullptr;  // bound; the back buffer surface by default
  DeviceState state_;
  bool dirty_ = true;
  DWORD appliedFvfKind_ = 0xFFFFFFFF;
  bool inScene_ = false;
  std::vector<float> scratch_;  // pre-transformed positions for one draw
};

// The seam's device-loss state.
enum class LossState { None, Lost, NotReset };
LossState CurrentLossState();
// Present's view of the seam: true when the device counts as lost.
bool DeviceIsLost();
void ClearDeviceLoss();

// D3DRS_POINTSIZE_MIN..MAX applied to a size, at least one pixel.
float PointSizeClamped(const DeviceState& state, float size);

// GetDevice of every resource: the device with a reference for the caller.
HRESULT HandOutDevice(IDirect3DDevice9* device, IDirect3DDevice9** out);

// The identity matrix.
D3DMATRIX IdentityMatrix();

}
