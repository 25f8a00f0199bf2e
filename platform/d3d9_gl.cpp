// Direct3D 9 on OpenGL 2.1: the Direct3D object, device creation, frames, render targets,
// Present, Reset and the test seam. States live in d3d9_gl_states.cpp, resources in
// d3d9_gl_resources.cpp, draw calls in d3d9_gl_draw.cpp.
//
// [SEAM]     test options, forced loss, call counts
// [D3D]      IDirect3D9: display mode, checks, caps, CreateDevice
// [DEVICE]   creation, back buffer, targets, Clear, Present, Reset

#include <SDL.h>

#include <cstdlib>
#include <cstring>

#include "platform/d3d9_gl_internal.h"
#include "platform/gl_window.h"

namespace d3d9gl {

// [SEAM] --------------------------------------------------------------------------------------
namespace {
TestOptions testOptions;
CallCounts callCounts;
LossState lossState = LossState::None;
int lostChecksLeft = 0;
}

void SetTestOptions(const TestOptions& options) { testOptions = options; }
const TestOptions& GetTestOptions() { return testOptions; }
void ForceDeviceLoss(int lostChecks) {
  lossState = LossState::Lost;
  lostChecksLeft = lostChecks < 0 ? 0 : lostChecks;
}
CallCounts& GetCallCounts() { return callCounts; }
void ResetCallCounts() { callCounts = CallCounts(); }
LossState CurrentLossState() { return lossState; }
bool DeviceIsLost() { return lossState != LossState::None; }
void ClearDeviceLoss() { lossState = LossState::None; }

int liveDefaultPoolObjects = 0;

HRESULT HandOutDevice(IDirect3DDevice9* device, IDirect3DDevice9** out) {
  if (!out) return D3DERR_INVALIDCALL;
  device->AddRef();
  *out = device;
  return D3D_OK;
}

D3DMATRIX IdentityMatrix() {
  D3DMATRIX m;
  std::memset(&m, 0, sizeof m);
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}

// [D3D] ---------------------------------------------------------------------------------------
namespace {

bool IsStencilFormat(D3DFORMAT f) {
  return f == D3DFMT_D24S8 || f == D3DFMT_D24X4S4 || f == D3DFMT_D15S1;
}
bool IsDepthFormat(D3DFORMAT f) {
  return IsStencilFormat(f) || f == D3DFMT_D32 || f == D3DFMT_D24X8 || f == D3DFMT_D16 ||
         f == D3DFMT_D16_LOCKABLE;
}
bool DeviceTypeRefused(D3DDEVTYPE type) {
  if (type == D3DDEVTYPE_HAL) return testOptions.refuseHal;
  if (type == D3DDEVTYPE_REF) return testOptions.refuseRef;
  return true;
}

void FillCaps(D3DDEVTYPE type, D3DCAPS9* caps) {
  std::memset(caps, 0, sizeof *caps);
  caps->DeviceType = type;
  caps->PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
  caps->TextureCaps = D3DPTEXTURECAPS_ALPHA;  // any size, no power-of-two rule
  caps->MaxTextureWidth = caps->MaxTextureHeight = 8192;
  caps->MaxTextureRepeat = 8192;
  caps->MaxTextureAspectRatio = 8192;
  caps->MaxAnisotropy = 16;
  caps->MaxVertexW = 1e10f;
  caps->FVFCaps = D3DFVFCAPS_PSIZE | 8;
  caps->MaxTextureBlendStages = kD3DStageCount;
  caps->MaxSimultaneousTextures = kD3DStageCount;
  caps->MaxActiveLights = 8;
  caps->MaxPointSize = 255.0f;
  caps->MaxPrimitiveCount = 0x00FFFFFF;
  caps->MaxVertexIndex = testOptions.maxVertexIndex;
  caps->MaxStreams = 1;
  caps->MaxStreamStride = 255;
  caps->NumSimultaneousRTs = 1;
}

class Direct3D final : public RefCounted<IDirect3D9> {
 public:
  UINT GetAdapterCount() override { return 1; }

  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
    if (adapter != 0 || !mode) return D3DERR_INVALIDCALL;
    SDL_DisplayMode sdl{};
    if (SDL_GetDesktopDisplayMode(0, &sdl) != 0) sdl = SDL_DisplayMode{0, 1280, 1024, 60, nullptr};
    *mode = D3DDISPLAYMODE{UINT(sdl.w), UINT(sdl.h), UINT(sdl.refresh_rate), D3DFMT_X8R8G8B8};
    return D3D_OK;
  }

  HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT displayFormat,
                          D3DFORMAT backBufferFormat, BOOL) override {
    if (adapter != 0 || DeviceTypeRefused(type)) return D3DERR_NOTAVAILABLE;
    if (displayFormat != D3DFMT_X8R8G8B8) return D3DERR_NOTAVAILABLE;
    if (backBufferFormat != D3DFMT_X8R8G8B8 && backBufferFormat != D3DFMT_A8R8G8B8)
      return D3DERR_NOTAVAILABLE;
    return D3D_OK;
  }

  HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT, DWORD usage,
                            D3DRESOURCETYPE resourceType, D3DFORMAT format) override {
    if (adapter != 0 || DeviceTypeRefused(type)) return D3DERR_NOTAVAILABLE;
    if (usage & D3DUSAGE_DEPTHSTENCIL) {
      if (resourceType != D3DRTYPE_SURFACE || !IsDepthFormat(format)) return D3DERR_NOTAVAILABLE;
      if (IsStencilFormat(format) && testOptions.noStencilFormats) return D3DERR_NOTAVAILABLE;
      return D3D_OK;
    }
    return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8 ? D3D_OK : D3DERR_NOTAVAILABLE;
  }

  HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT, BOOL,
                                     D3DMULTISAMPLE_TYPE samples, DWORD* quality) override {
    if (adapter != 0 || DeviceTypeRefused(type)) return D3DERR_NOTAVAILABLE;
    // Multisampling is accepted and never applied; the system draws the same either way.
    if (samples == D3DMULTISAMPLE_2_SAMPLES && testOptions.refuseMultisample2)
      return D3DERR_NOTAVAILABLE;
    if (samples > D3DMULTISAMPLE_4_SAMPLES) return D3DERR_NOTAVAILABLE;
    if (quality) *quality = 1;
    return D3D_OK;
  }

  HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT, D3DFORMAT,
                                 D3DFORMAT depth) override {
    if (adapter != 0 || DeviceTypeRefused(type) || !IsDepthFormat(depth))
      return D3DERR_NOTAVAILABLE;
    if (IsStencilFormat(depth) && testOptions.noStencilFormats) return D3DERR_NOTAVAILABLE;
    return D3D_OK;
  }

  HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
    if (adapter != 0 || !caps || DeviceTypeRefused(type)) return D3DERR_INVALIDCALL;
    FillCaps(type, caps);
    return D3D_OK;
  }

  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND window, DWORD flags,
                       D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) override;
};

HRESULT Direct3D::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND window, DWORD flags,
                               D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) {
  ++callCounts.createDevice;
  if (!device) return D3DERR_INVALIDCALL;
  *device = nullptr;
  if (adapter != 0 || !params || DeviceTypeRefused(type)) return D3DERR_INVALIDCALL;
  if (flags & testOptions.refuseCreateFlags) return D3DERR_NOTAVAILABLE;
  HWND target = params->hDeviceWindow ? params->hDeviceWindow : window;
  SDL_Window* sdl = GetGLWindowHost()->SdlWindowOf(target);
  if (!sdl) return D3DERR_INVALIDCALL;
  int clientW = 0, clientH = 0;
  GetGLWindowHost()->ClientSize(target, &clientW, &clientH);
  if (params->BackBufferWidth == 0) params->BackBufferWidth = UINT(clientW > 0 ? clientW : 1);
  if (params->BackBufferHeight == 0) params->BackBufferHeight = UINT(clientH > 0 ? clientH : 1);
  if (params->BackBufferFormat == D3DFMT_UNKNOWN) params->BackBufferFormat = D3DFMT_X8R8G8B8;
  if (params->BackBufferCount == 0) params->BackBufferCount = 1;

  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GLContext context = SDL_GL_CreateContext(sdl);
  if (!context) return D3DERR_NOTAVAILABLE;
  SDL_GL_MakeCurrent(sdl, context);
  // Vertical sync where offered; tests run as fast as they can.
  bool wantVsync = params->PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE &&
                   std::getenv("VIEWER_TEST") == nullptr;
  SDL_GL_SetSwapInterval(wantVsync ? 1 : 0);

  Device* made = new Device(this, target, sdl, context, *params, flags, type);
  if (!made->CreateBackBuffer()) {
    made->Release();
    return D3DERR_NOTAVAILABLE;
  }
  *device = made;
  return D3D_OK;
}

}

}  // namespace d3d9gl

IDirect3D9* Direct3DCreate9(UINT sdkVersion) {
  if (sdkVersion != D3D_SDK_VERSION || d3d9gl::GetTestOptions().failDirect3DCreate) return nullptr;
  if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
  return new d3d9gl::Direct3D();
}

UINT D3DGetFVFVertexSize(DWORD fvf) {
  UINT size = 0;
  switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: size = 12; break;
    case D3DFVF_XYZRHW: case D3DFVF_XYZW: size = 16; break;
    case D3DFVF_XYZB1: size = 16; break;
    case D3DFVF_XYZB2: size = 20; break;
    case D3DFVF_XYZB3: size = 24; break;
    case D3DFVF_XYZB4: size = 28; break;
    case D3DFVF_XYZB5: size = 32; break;
    default: return 0;
  }
  if (fvf & D3DFVF_NORMAL) size += 12;
  if (fvf & D3DFVF_PSIZE) size += 4;
  if (fvf & D3DFVF_DIFFUSE) size += 4;
  if (fvf & D3DFVF_SPECULAR) size += 4;
  UINT texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  for (UINT i = 0; i < texCount && i < 8; ++i) {
    static const UINT kComponents[4] = {2, 3, 4, 1};
    size += 4 * kComponents[(fvf >> (16 + 2 * i)) & 3];
  }
  return size;
}

namespace d3d9gl {

// [DEVICE] ------------------------------------------------------------------------------------
bool ColorTarget::MakeFramebuffer() {
  glGenFramebuffers(1, &fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
  glGenRenderbuffers(1, &depthStencil);
  glBindRenderbuffer(GL_RENDERBUFFER, depthStencil);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthStencil);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthStencil);
  return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

void ColorTarget::Destroy() {
  if (fbo) glDeleteFramebuffers(1, &fbo);
  if (depthStencil) glDeleteRenderbuffers(1, &depthStencil);
  if (texture) glDeleteTextures(1, &texture);
  fbo = depthStencil = texture = 0;
}

Device::Device(IDirect3D9* d3d, HWND window, SDL_Window* sdlWindow, void* context,
               const D3DPRESENT_PARAMETERS& params, DWORD createFlags, D3DDEVTYPE type)
    : d3d_(d3d), window_(window), sdlWindow_(sdlWindow), context_(context), params_(params),
      createFlags_(createFlags), type_(type) {
  d3d_->AddRef();
  const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  if (extensions) {
    hasMirrorOnce = std::strstr(extensions, "GL_ATI_texture_mirror_once") ||
                    std::strstr(extensions, "GL_ARB_texture_mirror_clamp_to_edge") ||
                    std::strstr(extensions, "GL_EXT_texture_mirror_clamp");
    hasAnisotropic = std::strstr(extensions, "GL_EXT_texture_filter_anisotropic") != nullptr;
  }
}

bool Device::CreateBackBuffer() {
  MakeCurrent();
  backBuffer_.width = int(params_.BackBufferWidth);
  backBuffer_.height = int(params_.BackBufferHeight);
  glGenTextures(1, &backBuffer_.texture);
  glBindTexture(GL_TEXTURE_2D, backBuffer_.texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, backBuffer_.width, backBuffer_.height, 0, GL_BGRA,
               GL_UNSIGNED_BYTE, nullptr);
  glBindTexture(GL_TEXTURE_2D, 0);
  if (!backBuffer_.MakeFramebuffer()) return false;

  D3DSURFACE_DESC desc{};
  desc.Format = params_.BackBufferFormat;
  desc.Type = D3DRTYPE_SURFACE;
  desc.Usage = D3DUSAGE_RENDERTARGET;
  desc.Pool = D3DPOOL_DEFAULT;
  desc.Width = params_.BackBufferWidth;
  desc.Height = params_.BackBufferHeight;
  if (!backBufferSurface_) backBufferSurface_ = new Surface(this, Surface::Kind::BackBuffer, nullptr, desc);
  if (!depthSurface_) {
    D3DSURFACE_DESC depth = desc;
    depth.Format = params_.AutoDepthStencilFormat;
    depth.Usage = D3DUSAGE_DEPTHSTENCIL;
    depthSurface_ = new Surface(this, Surface::Kind::DepthStencil, nullptr, depth);
  }
  UnbindObject(renderTarget_);
  renderTarget_ = backBufferSurface_;
  renderTarget_->Bind();
  state_.ReleaseBindings();
  state_.SetDefaults(FullViewport(), params_.EnableAutoDepthStencil != FALSE);
  BindCurrentTarget();
  dirty_ = true;
  appliedFvfKind_ = 0xFFFFFFFF;
  return true;
}

Device::~Device() {
  MakeCurrent();
  state_.ReleaseBindings();
  UnbindObject(renderTarget_);
  if (backBufferSurface_) backBufferSurface_->Release();
  if (depthSurface_) depthSurface_->Release();
  backBuffer_.Destroy();
  SDL_GL_MakeCurrent(sdlWindow_, nullptr);
  SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
  d3d_->Release();
}

void Device::MakeCurrent() {
  if (SDL_GL_GetCurrentContext() != context_) SDL_GL_MakeCurrent(sdlWindow_, context_);
}

ColorTarget* Device::CurrentTarget() {
  ColorTarget* target = renderTarget_ ? renderTarget_->Target() : nullptr;
  return target ? target : &backBuffer_;
}

void Device::BindCurrentTarget() {
  ColorTarget* target = CurrentTarget();
  if (!target->fbo) target->MakeFramebuffer();
  glBindFramebuffer(GL_FRAMEBUFFER, target->fbo);
}

D3DVIEWPORT9 Device::FullViewport() const {
  const ColorTarget* target = const_cast<Device*>(this)->CurrentTarget();
  return D3DVIEWPORT9{0, 0, DWORD(target->width), DWORD(target->height), 0.0f, 1.0f};
}

HRESULT Device::TestCooperativeLevel() {
  if (lossState == LossState::Lost) {
    if (lostChecksLeft > 0) {
      --lostChecksLeft;
      return D3DERR_DEVICELOST;
    }
    lossState = LossState::NotReset;
  }
  return lossState == LossState::NotReset ? D3DERR_DEVICENOTRESET : D3D_OK;
}

HRESULT Device::GetDirect3D(IDirect3D9** d3d) {
  if (!d3d) return D3DERR_INVALIDCALL;
  d3d_->AddRef();
  *d3d = d3d_;
  return D3D_OK;
}

HRESULT Device::GetDeviceCaps(D3DCAPS9* caps) {
  if (!caps) return D3DERR_INVALIDCALL;
  FillCaps(type_, caps);
  return D3D_OK;
}

HRESULT Device::GetDisplayMode(UINT, D3DDISPLAYMODE* mode) {
  return d3d_->GetAdapterDisplayMode(0, mode);
}

HRESULT Device::GetCreationParameters(D3DPRESENT_PARAMETERS* current) {
  if (!current) return D3DERR_INVALIDCALL;
  *current = params_;
  return D3D_OK;
}

HRESULT Device::Reset(D3DPRESENT_PARAMETERS* params) {
  ++callCounts.reset;
  if (!params) return D3DERR_INVALIDCALL;
  if (lossState == LossState::Lost) return D3DERR_DEVICELOST;
  MakeCurrent();
  // What the device itself binds does not keep a DEFAULT-pool object alive.
  state_.ReleaseBindings();
  if (renderTarget_ != backBufferSurface_) {
    renderTarget_->Unbind();
    renderTarget_ = backBufferSurface_;
    renderTarget_->Bind();
  }
  if (liveDefaultPoolObjects > 0) return D3DERR_INVALIDCALL;
  int clientW = 0, clientH = 0;
  GetGLWindowHost()->ClientSize(window_, &clientW, &clientH);
  D3DPRESENT_PARAMETERS next = *params;
  if (next.BackBufferWidth == 0) next.BackBufferWidth = UINT(clientW > 0 ? clientW : 1);
  if (next.BackBufferHeight == 0) next.BackBufferHeight = UINT(clientH > 0 ? clientH : 1);
  if (next.BackBufferFormat == D3DFMT_UNKNOWN) next.BackBufferFormat = D3DFMT_X8R8G8B8;
  if (next.BackBufferCount == 0) next.BackBufferCount = 1;
  if (!next.hDeviceWindow) next.hDeviceWindow = window_;
  *params = next;
  params_ = next;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  backBuffer_.Destroy();
  // The surface objects are the same ones with new sizes (nobody may hold them across Reset).
  if (backBufferSurface_) {
    backBufferSurface_->Release();
    backBufferSurface_ = nullptr;
  }
  if (depthSurface_) {
    depthSurface_->Release();
    depthSurface_ = nullptr;
  }
  UnbindObject(renderTarget_);
  renderTarget_ = nullptr;
  if (!CreateBackBuffer()) return D3DERR_NOTAVAILABLE;
  lossState = LossState::None;
  inScene_ = false;
  return D3D_OK;
}

HRESULT Device::Present(const RECT*, const RECT*, HWND window, const void*) {
  ++callCounts.present;
  if (lossState != LossState::None) return D3DERR_DEVICELOST;
  if (inScene_) return D3DERR_INVALIDCALL;
  MakeCurrent();
  HWND target = window ? window : window_;
  int clientW = 0, clientH = 0;
  if (!GetGLWindowHost()->ClientSize(target, &clientW, &clientH)) {
    clientW = backBuffer_.width;
    clientH = backBuffer_.height;
  }
  // Windowed Direct3D stretches the back buffer over the client area; rows flip to GL's.
  glBindFramebuffer(GL_READ_FRAMEBUFFER, backBuffer_.fbo);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glDisable(GL_SCISSOR_TEST);
  bool sameSize = clientW == backBuffer_.width && clientH == backBuffer_.height;
  glBlitFramebuffer(0, 0, backBuffer_.width, backBuffer_.height, 0, clientH, clientW, 0,
                    GL_COLOR_BUFFER_BIT, sameSize ? GL_NEAREST : GL_LINEAR);
  SDL_GL_SwapWindow(sdlWindow_);
  BindCurrentTarget();
  dirty_ = true;  // the scissor test was touched
  return D3D_OK;
}

HRESULT Device::GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE,
                              IDirect3DSurface9** surface) {
  if (!surface || swapChain != 0 || index != 0) return D3DERR_INVALIDCALL;
  backBufferSurface_->AddRef();
  *surface = backBufferSurface_;
  return D3D_OK;
}

HRESULT Device::SetRenderTarget(DWORD index, IDirect3DSurface9* surface) {
  if (index != 0 || !surface) return D3DERR_INVALIDCALL;
  Surface* next = static_cast<Surface*>(surface);
  if (!next->Target()) return D3DERR_INVALIDCALL;  // only the back buffer and RT textures
  next->Bind();
  UnbindObject(renderTarget_);
  renderTarget_ = next;
  MakeCurrent();
  BindCurrentTarget();
  // Direct3D resets the viewport to the whole new target.
  state_.viewport = FullViewport();
  dirty_ = true;
  return D3D_OK;
}

HRESULT Device::GetRenderTarget(DWORD index, IDirect3DSurface9** surface) {
  if (index != 0 || !surface) return D3DERR_INVALIDCALL;
  renderTarget_->AddRef();
  *surface = renderTarget_;
  return D3D_OK;
}

HRESULT Device::GetDepthStencilSurface(IDirect3DSurface9** surface) {
  if (!surface) return D3DERR_INVALIDCALL;
  if (!params_.EnableAutoDepthStencil) {
    *surface = nullptr;
    return D3DERR_NOTFOUND;
  }
  depthSurface_->AddRef();
  *surface = depthSurface_;
  return D3D_OK;
}

// Every colour target carries its own depth-stencil buffer of its size, which is what the
// system needs (each target is cleared and drawn with depth); explicit depth surfaces are
// therefore accepted and ignored.
HRESULT Device::SetDepthStencilSurface(IDirect3DSurface9*) { return D3D_OK; }

HRESULT Device::BeginScene() {
  if (inScene_) return D3DERR_INVALIDCALL;
  inScene_ = true;
  return D3D_OK;
}

HRESULT Device::EndScene() {
  if (!inScene_) return D3DERR_INVALIDCALL;
  inScene_ = false;
  glFlush();
  return D3D_OK;
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                      DWORD stencil) {
  ++callCounts.clear;
  if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !params_.EnableAutoDepthStencil &&
      renderTarget_ == backBufferSurface_)
    return D3DERR_INVALIDCALL;
  MakeCurrent();
  BindCurrentTarget();
  GLbitfield mask = 0;
  if (flags & D3DCLEAR_TARGET) {
    mask |= GL_COLOR_BUFFER_BIT;
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(float((color >> 16) & 0xFF) / 255.0f, float((color >> 8) & 0xFF) / 255.0f,
                 float(color & 0xFF) / 255.0f, float(color >> 24) / 255.0f);
  }
  if (flags & D3DCLEAR_ZBUFFER) {
    mask |= GL_DEPTH_BUFFER_BIT;
    glDepthMask(GL_TRUE);
    glClearDepth(z);
  }
  if (flags & D3DCLEAR_STENCIL) {
    mask |= GL_STENCIL_BUFFER_BIT;
    glStencilMask(0xFFFFFFFFu);
    glClearStencil(GLint(stencil));
  }
  // Direct3D clears the viewport, or the given rectangles inside it.
  const D3DVIEWPORT9& vp = state_.viewport;
  glEnable(GL_SCISSOR_TEST);
  if (count == 0 || !rects) {
    glScissor(GLint(vp.X), GLint(vp.Y), GLsizei(vp.Width), GLsizei(vp.Height));
    glClear(mask);
  } else {
    for (DWORD i = 0; i < count; ++i) {
      LONG x1 = rects[i].x1 > LONG(vp.X) ? rects[i].x1 : LONG(vp.X);
      LONG y1 = rects[i].y1 > LONG(vp.Y) ? rects[i].y1 : LONG(vp.Y);
      LONG x2 = rects[i].x2 < LONG(vp.X + vp.Width) ? rects[i].x2 : LONG(vp.X + vp.Width);
      LONG y2 = rects[i].y2 < LONG(vp.Y + vp.Height) ? rects[i].y2 : LONG(vp.Y + vp.Height);
      if (x2 <= x1 || y2 <= y1) continue;
      glScissor(x1, y1, x2 - x1, y2 - y1);
      glClear(mask);
    }
  }
  glDisable(GL_SCISSOR_TEST);
  dirty_ = true;  // masks were changed for the clear
  return D3D_OK;
}

}
