// Resources of the Direct3D stand-in: textures (one level, exact size, CPU copy + GL texture),
// surfaces (texture levels, the back buffer, depth, plain system-memory surfaces), vertex and
// index buffers (kept in CPU memory and drawn from client arrays).

#include <cstring>
#include <limits>

#include "platform/d3d9_gl_internal.h"

namespace d3d9gl {

namespace {

// Colour formats the stand-in keeps: everything is 32-bit BGRA in memory.
D3DFORMAT StoredFormat(D3DFORMAT asked) {
  switch (asked) {
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_X8B8G8R8:
    case D3DFMT_L8:
    case D3DFMT_DXT1:
      return D3DFMT_X8R8G8B8;
    default:
      return D3DFMT_A8R8G8B8;
  }
}

bool IsDepthFormat(D3DFORMAT f) {
  return f == D3DFMT_D24S8 || f == D3DFMT_D24X4S4 || f == D3DFMT_D15S1 || f == D3DFMT_D32 ||
         f == D3DFMT_D24X8 || f == D3DFMT_D16 || f == D3DFMT_D16_LOCKABLE;
}

// A lock rectangle inside a width x height surface; false when it does not fit.
bool LockArea(const RECT* rect, UINT width, UINT height, RECT* out) {
  if (!rect) {
    *out = RECT{0, 0, LONG(width), LONG(height)};
    return true;
  }
  if (rect->left < 0 || rect->top < 0 || rect->right <= rect->left ||
      rect->bottom <= rect->top || rect->right > LONG(width) || rect->bottom > LONG(height))
    return false;
  *out = *rect;
  return true;
}

void ReadTarget(ColorTarget* target, uint32_t* pixels, bool opaque) {
  GLint previous = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
  glBindFramebuffer(GL_FRAMEBUFFER, target->fbo);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  // Row 0 of the storage is the top row already (see d3d9_gl_internal.h).
  glReadPixels(0, 0, target->width, target->height, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
  glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previous));
  if (opaque) {
    size_t n = size_t(target->width) * size_t(target->height);
    for (size_t i = 0; i < n; ++i) pixels[i] |= 0xFF000000u;
  }
}

void WriteTarget(ColorTarget* target, const uint32_t* pixels) {
  glBindTexture(GL_TEXTURE_2D, target->texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, target->width, target->height, GL_BGRA,
                  GL_UNSIGNED_BYTE, pixels);
  glBindTexture(GL_TEXTURE_2D, 0);
}

}

// Textures ------------------------------------------------------------------------------------
Texture::Texture(Device* device, UINT width, UINT height, DWORD usage, D3DFORMAT format,
                 D3DPOOL pool)
    : device_(device) {
  HoldOwner(device_);
  std::memset(&desc_, 0, sizeof desc_);
  desc_.Format = StoredFormat(format);
  desc_.Type = D3DRTYPE_SURFACE;
  desc_.Usage = usage;
  desc_.Pool = pool;
  desc_.Width = width;
  desc_.Height = height;
  if (pool == D3DPOOL_DEFAULT) ++liveDefaultPoolObjects;
}

bool Texture::Create() {
  device_->MakeCurrent();
  texels_.assign(size_t(desc_.Width) * desc_.Height,
                 desc_.Format == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0u);
  target_.width = int(desc_.Width);
  target_.height = int(desc_.Height);
  glGenTextures(1, &target_.texture);
  glBindTexture(GL_TEXTURE_2D, target_.texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  // X8R8G8B8 samples with alpha 1 whatever the fourth byte holds.
  GLint internal = desc_.Format == D3DFMT_X8R8G8B8 ? GL_RGB8 : GL_RGBA8;
  while (glGetError() != GL_NO_ERROR) {
  }
  glTexImage2D(GL_TEXTURE_2D, 0, internal, target_.width, target_.height, 0, GL_BGRA,
               GL_UNSIGNED_BYTE, texels_.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  if (glGetError() != GL_NO_ERROR) return false;
  if (isRenderTarget()) {
    GLint previous = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
    bool complete = target_.MakeFramebuffer();
    glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previous));
    if (!complete) return false;
  }
  return true;
}

Texture::~Texture() {
  device_->MakeCurrent();
  target_.Destroy();
  if (desc_.Pool == D3DPOOL_DEFAULT) --liveDefaultPoolObjects;
}

HRESULT Texture::GetDevice(IDirect3DDevice9** device) { return HandOutDevice(device_, device); }

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
  if (level != 0 || !desc) return D3DERR_INVALIDCALL;
  *desc = desc_;
  return D3D_OK;
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
  if (level != 0 || !surface) return D3DERR_INVALIDCALL;
  // A new surface each time: it holds a reference to this texture while it lives.
  *surface = new Surface(device_, Surface::Kind::TextureLevel, this, desc_);
  return D3D_OK;
}

void Texture::ReadBack() {
  device_->MakeCurrent();
  ReadTarget(&target_, texels_.data(), desc_.Format == D3DFMT_X8R8G8B8);
}

void Texture::Upload() {
  device_->MakeCurrent();
  WriteTarget(&target_, texels_.data());
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  RECT area;
  if (level != 0 || !locked || locked_ || !LockArea(rect, desc_.Width, desc_.Height, &area))
    return D3DERR_INVALIDCALL;
  if (isRenderTarget()) ReadBack();
  locked_ = true;
  lockFlags_ = flags;
  locked->Pitch = INT(desc_.Width * 4);
  locked->pBits = texels_.data() + size_t(area.top) * desc_.Width + size_t(area.left);
  return D3D_OK;
}

HRESULT Texture::UnlockRect(UINT level) {
  if (level != 0 || !locked_) return D3DERR_INVALIDCALL;
  locked_ = false;
  if (!(lockFlags_ & D3DLOCK_READONLY)) Upload();
  return D3D_OK;
}

// Surfaces ------------------------------------------------------------------------------------
Surface::Surface(Device* device, Kind kind, Texture* texture, const D3DSURFACE_DESC& desc)
    : device_(device), kind_(kind), texture_(texture), desc_(desc) {
  // A back-buffer or depth surface belongs to the device and must not keep it alive.
  if (kind_ == Kind::TextureLevel || kind_ == Kind::Plain) HoldOwner(device_);
  if (kind_ == Kind::TextureLevel) texture_->Bind();
  if (kind_ == Kind::Plain) pixels_.assign(size_t(desc.Width) * desc.Height, 0xFF000000u);
}

Surface::~Surface() {
  if (kind_ == Kind::TextureLevel) UnbindObject(texture_);
}

ColorTarget* Surface::Target() {
  if (kind_ == Kind::BackBuffer) return &device_->backBuffer();
  if (kind_ == Kind::TextureLevel && texture_) return texture_->Target();
  return nullptr;
}

HRESULT Surface::GetDevice(IDirect3DDevice9** device) { return HandOutDevice(device_, device); }

HRESULT Surface::GetDesc(D3DSURFACE_DESC* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  *desc = desc_;
  if (kind_ == Kind::BackBuffer) {
    desc->Width = UINT(device_->backBuffer().width);
    desc->Height = UINT(device_->backBuffer().height);
  }
  return D3D_OK;
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  if (!locked) return D3DERR_INVALIDCALL;
  if (kind_ == Kind::TextureLevel) {
    if (!texture_) return D3DERR_INVALIDCALL;
    return texture_->LockRect(0, locked, rect, flags);
  }
  if (kind_ == Kind::DepthStencil || locked_) return D3DERR_INVALIDCALL;
  D3DSURFACE_DESC d;
  GetDesc(&d);
  RECT area;
  if (!LockArea(rect, d.Width, d.Height, &area)) return D3DERR_INVALIDCALL;
  if (kind_ == Kind::BackBuffer) {
    device_->MakeCurrent();
    pixels_.resize(size_t(d.Width) * d.Height);
    ReadTarget(&device_->backBuffer(), pixels_.data(), d.Format == D3DFMT_X8R8G8B8);
  }
  locked_ = true;
  lockFlags_ = flags;
  locked->Pitch = INT(d.Width * 4);
  locked->pBits = pixels_.data() + size_t(area.top) * d.Width + size_t(area.left);
  return D3D_OK;
}

HRESULT Surface::UnlockRect() {
  if (kind_ == Kind::TextureLevel) return texture_ ? texture_->UnlockRect(0) : D3DERR_INVALIDCALL;
  if (!locked_) return D3DERR_INVALIDCALL;
  locked_ = false;
  if (kind_ == Kind::BackBuffer) {
    if (!(lockFlags_ & D3DLOCK_READONLY)) {
      device_->MakeCurrent();
      WriteTarget(&device_->backBuffer(), pixels_.data());
    }
    std::vector<uint32_t>().swap(pixels_);
  }
  return D3D_OK;
}

HRESULT Surface::GetContainerTexture(IDirect3DTexture9** texture) {
  if (!texture || kind_ != Kind::TextureLevel || !texture_) return D3DERR_INVALIDCALL;
  texture_->AddRef();
  *texture = texture_;
  return D3D_OK;
}

// Buffers -------------------------------------------------------------------------------------
template <class Interface, class Desc>
MemoryBuffer<Interface, Desc>::MemoryBuffer(Device* device, const Desc& desc)
    : device_(device), desc_(desc), bytes_(desc.Size, 0) {
  this->HoldOwner(device_);
  if (desc_.Pool == D3DPOOL_DEFAULT) ++liveDefaultPoolObjects;
}

template <class Interface, class Desc>
MemoryBuffer<Interface, Desc>::~MemoryBuffer() {
  if (desc_.Pool == D3DPOOL_DEFAULT) --liveDefaultPoolObjects;
}

template <class Interface, class Desc>
HRESULT MemoryBuffer<Interface, Desc>::GetDevice(IDirect3DDevice9** device) {
  return HandOutDevice(device_, device);
}

template <class Interface, class Desc>
HRESULT MemoryBuffer<Interface, Desc>::Lock(UINT offset, UINT size, void** data, DWORD) {
  if (!data || offset > desc_.Size) return D3DERR_INVALIDCALL;
  if (size != 0 && size > desc_.Size - offset) return D3DERR_INVALIDCALL;
  *data = bytes_.data() + offset;
  return D3D_OK;
}

template <class Interface, class Desc>
HRESULT MemoryBuffer<Interface, Desc>::GetDesc(Desc* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  *desc = desc_;
  return D3D_OK;
}

template class MemoryBuffer<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC>;
template class MemoryBuffer<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC>;

// Creation ------------------------------------------------------------------------------------
HRESULT Device::CreateTexture(UINT width, UINT height, UINT, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DTexture9** texture, HANDLE*) {
  if (!texture) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  if (width == 0 || height == 0 || width > 8192 || height > 8192 || IsDepthFormat(format) ||
      format == D3DFMT_INDEX16 || format == D3DFMT_INDEX32)
    return D3DERR_INVALIDCALL;
  if ((usage & D3DUSAGE_RENDERTARGET) && pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
  Texture* made = new Texture(this, width, height, usage, format, pool);
  if (!made->Create()) {
    made->Release();
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  *texture = made;
  return D3D_OK;
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                   IDirect3DVertexBuffer9** buffer, HANDLE*) {
  if (!buffer) return D3DERR_INVALIDCALL;
  *buffer = nullptr;
  if (length == 0 || length > (1u << 30)) return D3DERR_INVALIDCALL;
  D3DVERTEXBUFFER_DESC desc{D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage, pool, length, fvf};
  *buffer = new VertexBuffer(this, desc);
  return D3D_OK;
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer9** buffer, HANDLE*) {
  if (!buffer) return D3DERR_INVALIDCALL;
  *buffer = nullptr;
  if (length == 0 || length > (1u << 30) ||
      (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
    return D3DERR_INVALIDCALL;
  D3DINDEXBUFFER_DESC desc{format, D3DRTYPE_INDEXBUFFER, usage, pool, length};
  *buffer = new IndexBuffer(this, desc);
  return D3D_OK;
}

HRESULT Device::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format,
                                            D3DPOOL pool, IDirect3DSurface9** surface,
                                            HANDLE*) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  if (width == 0 || height == 0 || width > 16384 || height > 16384 || IsDepthFormat(format))
    return D3DERR_INVALIDCALL;
  D3DSURFACE_DESC desc{};
  desc.Format = StoredFormat(format);
  desc.Type = D3DRTYPE_SURFACE;
  desc.Pool = pool;
  desc.Width = width;
  desc.Height = height;
  *surface = new Surface(this, Surface::Kind::Plain, nullptr, desc);
  return D3D_OK;
}

}
