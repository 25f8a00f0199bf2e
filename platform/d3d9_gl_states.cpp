// The device's state mirror: Direct3D 9's defaults, the Set/Get calls (Get returns exactly what
// was set), state blocks, and the translation of the whole mirror into GL before a draw.
//
// [DEFAULTS]   Direct3D 9's documented initial values
// [SETGET]     the Set/Get calls of the device
// [BLOCKS]     state blocks
// [APPLY]      mirror -> GL: render states, transforms and lights, texture stages

#include <cmath>
#include <cstring>

#include "platform/d3d9_gl_internal.h"

namespace d3d9gl {

namespace {
DWORD FloatBits(float f) {
  DWORD d;
  std::memcpy(&d, &f, 4);
  return d;
}
float BitsFloat(DWORD d) {
  float f;
  std::memcpy(&f, &d, 4);
  return f;
}
}

// [DEFAULTS] ----------------------------------------------------------------------------------
DeviceState::DeviceState() {
  std::memset(textures, 0, sizeof textures);
  stream = nullptr;
  indices = nullptr;
  SetDefaults(D3DVIEWPORT9{0, 0, 1, 1, 0.0f, 1.0f}, true);
}

DeviceState::DeviceState(const DeviceState& other) {
  std::memset(textures, 0, sizeof textures);
  stream = nullptr;
  indices = nullptr;
  *this = other;
}

DeviceState& DeviceState::operator=(const DeviceState& other) {
  if (this == &other) return *this;
  for (Texture* t : other.textures) BindObject(t);
  BindObject(other.stream);
  BindObject(other.indices);
  ReleaseBindings();
  std::memcpy(renderStates, other.renderStates, sizeof renderStates);
  std::memcpy(stageStates, other.stageStates, sizeof stageStates);
  std::memcpy(samplerStates, other.samplerStates, sizeof samplerStates);
  world = other.world;
  view = other.view;
  projection = other.projection;
  std::memcpy(textureTransforms, other.textureTransforms, sizeof textureTransforms);
  material = other.material;
  std::memcpy(lights, other.lights, sizeof lights);
  std::memcpy(lightSet, other.lightSet, sizeof lightSet);
  std::memcpy(lightEnabled, other.lightEnabled, sizeof lightEnabled);
  viewport = other.viewport;
  std::memcpy(textures, other.textures, sizeof textures);
  fvf = other.fvf;
  stream = other.stream;
  streamOffset = other.streamOffset;
  streamStride = other.streamStride;
  indices = other.indices;
  return *this;
}

DeviceState::~DeviceState() { ReleaseBindings(); }

void DeviceState::ReleaseBindings() {
  for (Texture*& t : textures) {
    UnbindObject(t);
    t = nullptr;
  }
  UnbindObject(stream);
  UnbindObject(indices);
  stream = nullptr;
  indices = nullptr;
}

void DeviceState::SetDefaults(const D3DVIEWPORT9& fullTarget, bool autoDepth) {
  ReleaseBindings();
  std::memset(renderStates, 0, sizeof renderStates);
  DWORD* rs = renderStates;
  rs[D3DRS_ZENABLE] = autoDepth ? D3DZB_TRUE : D3DZB_FALSE;
  rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
  rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  rs[D3DRS_ZWRITEENABLE] = TRUE;
  rs[D3DRS_LASTPIXEL] = TRUE;
  rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_FOGEND] = FloatBits(1.0f);
  rs[D3DRS_FOGDENSITY] = FloatBits(1.0f);
  rs[D3DRS_STENCILFAIL] = rs[D3DRS_STENCILZFAIL] = rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
  rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_STENCILMASK] = rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFFu;
  rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
  rs[D3DRS_CLIPPING] = TRUE;
  rs[D3DRS_LIGHTING] = TRUE;
  rs[D3DRS_COLORVERTEX] = TRUE;
  rs[D3DRS_LOCALVIEWER] = TRUE;
  rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
  rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
  rs[D3DRS_POINTSIZE] = FloatBits(1.0f);
  rs[D3DRS_POINTSIZE_MIN] = FloatBits(1.0f);
  rs[D3DRS_POINTSCALE_A] = FloatBits(1.0f);
  rs[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
  rs[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFFu;
  rs[D3DRS_POINTSIZE_MAX] = FloatBits(64.0f);
  rs[D3DRS_COLORWRITEENABLE] = rs[D3DRS_COLORWRITEENABLE1] = 0xF;
  rs[D3DRS_COLORWRITEENABLE2] = rs[D3DRS_COLORWRITEENABLE3] = 0xF;
  rs[D3DRS_BLENDOP] = rs[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
  rs[D3DRS_POSITIONDEGREE] = 3;
  rs[D3DRS_NORMALDEGREE] = 1;
  rs[D3DRS_MINTESSELLATIONLEVEL] = rs[D3DRS_MAXTESSELLATIONLEVEL] = FloatBits(1.0f);
  rs[D3DRS_ADAPTIVETESS_Z] = FloatBits(1.0f);
  rs[D3DRS_CCW_STENCILFAIL] = rs[D3DRS_CCW_STENCILZFAIL] = D3DSTENCILOP_KEEP;
  rs[D3DRS_CCW_STENCILPASS] = D3DSTENCILOP_KEEP;
  rs[D3DRS_CCW_STENCILFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_BLENDFACTOR] = 0xFFFFFFFFu;
  rs[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;

  for (DWORD s = 0; s < kD3DStageCount; ++s) {
    DWORD* ts = stageStates[s];
    std::memset(ts, 0, sizeof stageStates[s]);
    ts[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    ts[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    ts[D3DTSS_TEXCOORDINDEX] = s;
    ts[D3DTSS_COLORARG0] = ts[D3DTSS_ALPHAARG0] = ts[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    DWORD* ss = samplerStates[s];
    std::memset(ss, 0, sizeof samplerStates[s]);
    ss[D3DSAMP_ADDRESSU] = ss[D3DSAMP_ADDRESSV] = ss[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    ss[D3DSAMP_MAGFILTER] = ss[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    ss[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    ss[D3DSAMP_MAXANISOTROPY] = 1;
    textureTransforms[s] = IdentityMatrix();
  }
  world = view = projection = IdentityMatrix();
  std::memset(&material, 0, sizeof material);
  std::memset(lights, 0, sizeof lights);
  std::memset(lightSet, 0, sizeof lightSet);
  std::memset(lightEnabled, 0, sizeof lightEnabled);
  viewport = fullTarget;
  fvf = 0;
  streamOffset = streamStride = 0;
}

// [SETGET] ------------------------------------------------------------------------------------
namespace {
D3DMATRIX* TransformSlot(DeviceState& s, D3DTRANSFORMSTATETYPE t) {
  if (t == D3DTS_WORLD) return &s.world;
  if (t == D3DTS_VIEW) return &s.view;
  if (t == D3DTS_PROJECTION) return &s.projection;
  if (t >= D3DTS_TEXTURE0 && t <= D3DTS_TEXTURE7) return &s.textureTransforms[t - D3DTS_TEXTURE0];
  return nullptr;
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
  D3DMATRIX r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                  a.m[i][3] * b.m[3][j];
  return r;
}
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX* matrix) {
  D3DMATRIX* slot = TransformSlot(state_, type);
  if (!slot || !matrix) return D3DERR_INVALIDCALL;
  *slot = *matrix;
  dirty_ = true;
  return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE type, D3DMATRIX* matrix) {
  D3DMATRIX* slot = TransformSlot(state_, type);
  if (!slot || !matrix) return D3DERR_INVALIDCALL;
  *matrix = *slot;
  return D3D_OK;
}

HRESULT Device::MultiplyTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX* matrix) {
  D3DMATRIX* slot = TransformSlot(state_, type);
  if (!slot || !matrix) return D3DERR_INVALIDCALL;
  *slot = Multiply(*matrix, *slot);
  dirty_ = true;
  return D3D_OK;
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* viewport) {
  if (!viewport) return D3DERR_INVALIDCALL;
  ColorTarget* target = CurrentTarget();
  if (viewport->Width == 0 || viewport->Height == 0 ||
      uint64_t(viewport->X) + viewport->Width > uint64_t(target->width) ||
      uint64_t(viewport->Y) + viewport->Height > uint64_t(target->height))
    return D3DERR_INVALIDCALL;
  state_.viewport = *viewport;
  dirty_ = true;
  return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* viewport) {
  if (!viewport) return D3DERR_INVALIDCALL;
  *viewport = state_.viewport;
  return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL9* material) {
  ++GetCallCounts().setMaterial;
  if (!material) return D3DERR_INVALIDCALL;
  state_.material = *material;
  dirty_ = true;
  return D3D_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL9* material) {
  if (!material) return D3DERR_INVALIDCALL;
  *material = state_.material;
  return D3D_OK;
}

HRESULT Device::SetLight(DWORD index, const D3DLIGHT9* light) {
  if (index >= 8 || !light) return D3DERR_INVALIDCALL;
  if (light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL) return D3DERR_INVALIDCALL;
  state_.lights[index] = *light;
  state_.lightSet[index] = true;
  dirty_ = true;
  return D3D_OK;
}

HRESULT Device::GetLight(DWORD index, D3DLIGHT9* light) {
  if (index >= 8 || !light || !state_.lightSet[index]) return D3DERR_INVALIDCALL;
  *light = state_.lights[index];
  return D3D_OK;
}

HRESULT Device::LightEnable(DWORD index, BOOL enable) {
  if (index >= 8) return D3DERR_INVALIDCALL;
  if (!state_.lightSet[index]) {
    // Direct3D's default light: white directional along +z.
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = D3DCOLORVALUE{1, 1, 1, 0};
    light.Direction = D3DVECTOR{0, 0, 1};
    state_.lights[index] = light;
    state_.lightSet[index] = true;
  }
  state_.lightEnabled[index] = enable ? TRUE : FALSE;
  dirty_ = true;
  return D3D_OK;
}

HRESULT Device::GetLightEnable(DWORD index, BOOL* enable) {
  if (index >= 8 || !enable || !state_.lightSet[index]) return D3DERR_INVALIDCALL;
  *enable = state_.lightEnabled[index];
  return D3D_OK;
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE type, DWORD value) {
  ++GetCallCounts().setRenderState;
  if (type >= kD3DRenderStateCount) return D3DERR_INVALIDCALL;
  state_.renderStates[type] = value;
  dirty_ = true;
  return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE type, DWORD* value) {
  if (type >= kD3DRenderStateCount || !value) return D3DERR_INVALIDCALL;
  *value = state_.renderStates[type];
  return D3D_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) {
  if (stage >= kD3DStageCount || !texture) return D3DERR_INVALIDCALL;
  *texture = state_.textures[stage];
  if (*texture) (*texture)->AddRef();
  return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
  ++GetCallCounts().setTexture;
  if (stage >= kD3DStageCount) return D3DERR_INVALIDCALL;
  // Every texture handed out by this stand-in is a Texture.
  Texture* next = static_cast<Texture*>(static_cast<IDirect3DTexture9*>(texture));
  BindObject(next);
  UnbindObject(state_.textures[stage]);
  state_.textures[stage] = next;
  dirty_ = true;
  return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
  if (stage >= kD3DStageCount || type >= kD3DTextureStageStateCount || !value)
    return D3DERR_INVALIDCALL;
  *value = state_.stageStates[stage][type];
  return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  ++GetCallCounts().setTextureStageState;
  if (stage >= kD3DStageCount || type >= kD3DTextureStageStateCount) return D3DERR_INVALIDCALL;
  state_.stageStates[stage][type] = value;
  dirty_ = true;
  return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
  if (sampler >= kD3DStageCount || type >= kD3DSamplerStateCount || !value)
    return D3DERR_INVALIDCALL;
  *value = state_.samplerStates[sampler][type];
  return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
  ++GetCallCounts().setSamplerState;
  if (sampler >= kD3DStageCount || type >= kD3DSamplerStateCount) return D3DERR_INVALIDCALL;
  state_.samplerStates[sampler][type] = value;
  dirty_ = true;
  return D3D_OK;
}

HRESULT Device::SetFVF(DWORD fvf) {
  state_.fvf = fvf;
  return D3D_OK;
}

HRESULT Device::GetFVF(DWORD* fvf) {
  if (!fvf) return D3DERR_INVALIDCALL;
  *fvf = state_.fvf;
  return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                                UINT stride) {
  if (stream != 0) return D3DERR_INVALIDCALL;
  VertexBuffer* next = static_cast<VertexBuffer*>(buffer);
  BindObject(next);
  UnbindObject(state_.stream);
  state_.stream = next;
  state_.streamOffset = offset;
  state_.streamStride = stride;
  return D3D_OK;
}

HRESULT Device::GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset,
                                UINT* stride) {
  if (stream != 0 || !buffer || !offset || !stride) return D3DERR_INVALIDCALL;
  *buffer = state_.stream;
  if (*buffer) (*buffer)->AddRef();
  *offset = state_.streamOffset;
  *stride = state_.streamStride;
  return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* buffer) {
  IndexBuffer* next = static_cast<IndexBuffer*>(buffer);
  BindObject(next);
  UnbindObject(state_.indices);
  state_.indices = next;
  return D3D_OK;
}

HRESULT Device::GetIndices(IDirect3DIndexBuffer9** buffer) {
  if (!buffer) return D3DERR_INVALIDCALL;
  *buffer = state_.indices;
  if (*buffer) (*buffer)->AddRef();
  return D3D_OK;
}

// [BLOCKS] ------------------------------------------------------------------------------------
StateBlock::StateBlock(Device* device) : device_(device) {
  HoldOwner(device_);
  state_ = device_->state();
}

StateBlock::~StateBlock() { state_.ReleaseBindings(); }

HRESULT StateBlock::GetDevice(IDirect3DDevice9** device) { return HandOutDevice(device_, device); }

HRESULT StateBlock::Capture() {
  state_ = device_->state();
  return D3D_OK;
}

HRESULT StateBlock::Apply() {
  device_->state() = state_;
  // A viewport captured on another target may not fit this one.
  D3DVIEWPORT9 full = device_->FullViewport();
  D3DVIEWPORT9& vp = device_->state().viewport;
  if (uint64_t(vp.X) + vp.Width > full.Width || uint64_t(vp.Y) + vp.Height > full.Height) vp = full;
  device_->MarkDirty();
  return D3D_OK;
}

HRESULT Device::CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** block) {
  if (!block) return D3DERR_INVALIDCALL;
  *block = nullptr;
  if (type < D3DSBT_ALL || type > D3DSBT_VERTEXSTATE) return D3DERR_INVALIDCALL;
  // Pixel and vertex blocks capture everything too: applying them restores a superset.
  *block = new StateBlock(this);
  return D3D_OK;
}

// [APPLY] -------------------------------------------------------------------------------------
namespace {

GLenum BlendFactor(DWORD b) {
  switch (b) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR: return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR: return GL_ONE_MINUS_CONSTANT_COLOR;
    default: return GL_ONE;
  }
}

GLenum CompareFunc(DWORD f) {
  switch (f) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

GLenum StencilOp(DWORD op) {
  switch (op) {
    case D3DSTENCILOP_ZERO: return GL_ZERO;
    case D3DSTENCILOP_REPLACE: return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT: return GL_INCR;
    case D3DSTENCILOP_DECRSAT: return GL_DECR;
    case D3DSTENCILOP_INVERT: return GL_INVERT;
    case D3DSTENCILOP_INCR: return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR: return GL_DECR_WRAP;
    default: return GL_KEEP;
  }
}

GLenum BlendEquation(DWORD op) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
  }
}

void SetCap(GLenum cap, bool on) {
  if (on)
    glEnable(cap);
  else
    glDisable(cap);
}

void ColorOf(D3DCOLOR c, float out[4]) {
  out[0] = float((c >> 16) & 0xFF) / 255.0f;
  out[1] = float((c >> 8) & 0xFF) / 255.0f;
  out[2] = float(c & 0xFF) / 255.0f;
  out[3] = float(c >> 24) / 255.0f;
}

}

void Device::ApplyRenderStates() {
  const DWORD* rs = state_.renderStates;
  const D3DVIEWPORT9& vp = state_.viewport;
  glViewport(GLint(vp.X), GLint(vp.Y), GLsizei(vp.Width), GLsizei(vp.Height));
  glDepthRange(vp.MinZ, vp.MaxZ);
  glDisable(GL_SCISSOR_TEST);

  SetCap(GL_DEPTH_TEST, rs[D3DRS_ZENABLE] != D3DZB_FALSE);
  glDepthFunc(CompareFunc(rs[D3DRS_ZFUNC]));
  glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);

  SetCap(GL_BLEND, rs[D3DRS_ALPHABLENDENABLE] != 0);
  glBlendFunc(BlendFactor(rs[D3DRS_SRCBLEND]), BlendFactor(rs[D3DRS_DESTBLEND]));
  glBlendEquation(BlendEquation(rs[D3DRS_BLENDOP]));
  float factor[4];
  ColorOf(rs[D3DRS_BLENDFACTOR], factor);
  glBlendColor(factor[0], factor[1], factor[2], factor[3]);

  SetCap(GL_ALPHA_TEST, rs[D3DRS_ALPHATESTENABLE] != 0);
  glAlphaFunc(CompareFunc(rs[D3DRS_ALPHAFUNC]), float(rs[D3DRS_ALPHAREF] & 0xFF) / 255.0f);

  SetCap(GL_STENCIL_TEST, rs[D3DRS_STENCILENABLE] != 0);
  glStencilFunc(CompareFunc(rs[D3DRS_STENCILFUNC]), GLint(rs[D3DRS_STENCILREF]),
                rs[D3DRS_STENCILMASK]);
  glStencilOp(StencilOp(rs[D3DRS_STENCILFAIL]), StencilOp(rs[D3DRS_STENCILZFAIL]),
              StencilOp(rs[D3DRS_STENCILPASS]));
  glStencilMask(rs[D3DRS_STENCILWRITEMASK]);

  // Storage is y-flipped (see d3d9_gl_internal.h): Direct3D's clockwise is GL's
  // counter-clockwise, so culling counter-clockwise faces keeps GL_CCW as the front.
  DWORD cull = rs[D3DRS_CULLMODE];
  SetCap(GL_CULL_FACE, cull == D3DCULL_CW || cull == D3DCULL_CCW);
  glCullFace(GL_BACK);
  glFrontFace(cull == D3DCULL_CW ? GL_CW : GL_CCW);

  DWORD fill = rs[D3DRS_FILLMODE];
  glPolygonMode(GL_FRONT_AND_BACK,
                fill == D3DFILL_POINT ? GL_POINT : fill == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL);
  glShadeModel(rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT ? GL_FLAT : GL_SMOOTH);

  DWORD mask = rs[D3DRS_COLORWRITEENABLE];
  glColorMask(mask & 1 ? GL_TRUE : GL_FALSE, mask & 2 ? GL_TRUE : GL_FALSE,
              mask & 4 ? GL_TRUE : GL_FALSE, mask & 8 ? GL_TRUE : GL_FALSE);
  glDisable(GL_FOG);
  glDisable(GL_DITHER);
}

void Device::ApplyTransformsAndLights(bool rhw) {
  const DWORD* rs = state_.renderStates;
  const D3DVIEWPORT9& vp = state_.viewport;
  if (rhw) {
    // Pixel coordinates straight through; far -1 makes window depth equal Direct3D's z.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(double(vp.X), double(vp.X + vp.Width), double(vp.Y), double(vp.Y + vp.Height), 0.0,
            -1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_NORMALIZE);
    return;
  }
  // Direct3D's clip z runs 0..w, GL's -w..w; and storage is y-flipped.
  D3DMATRIX p = state_.projection;
  for (int r = 0; r < 4; ++r) {
    p.m[r][2] = 2.0f * p.m[r][2] - p.m[r][3];
    p.m[r][1] = -p.m[r][1];
  }
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixf(&p._11);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixf(&state_.view._11);

  bool lighting = rs[D3DRS_LIGHTING] != 0;
  SetCap(GL_LIGHTING, lighting);
  if (lighting) {
    // Lights are given in world space: place them while only the view is loaded.
    for (int i = 0; i < 8; ++i) {
      GLenum light = GLenum(GL_LIGHT0 + i);
      if (!state_.lightEnabled[i]) {
        glDisable(light);
        continue;
      }
      const D3DLIGHT9& l = state_.lights[i];
      glEnable(light);
      glLightfv(light, GL_DIFFUSE, &l.Diffuse.r);
      glLightfv(light, GL_SPECULAR, &l.Specular.r);
      glLightfv(light, GL_AMBIENT, &l.Ambient.r);
      if (l.Type == D3DLIGHT_DIRECTIONAL) {
        float dir[4] = {-l.Direction.x, -l.Direction.y, -l.Direction.z, 0.0f};
        glLightfv(light, GL_POSITION, dir);
        glLightf(light, GL_SPOT_CUTOFF, 180.0f);
        glLightf(light, GL_CONSTANT_ATTENUATION, 1.0f);
        glLightf(light, GL_LINEAR_ATTENUATION, 0.0f);
        glLightf(light, GL_QUADRATIC_ATTENUATION, 0.0f);
      } else {
        float pos[4] = {l.Position.x, l.Position.y, l.Position.z, 1.0f};
        glLightfv(light, GL_POSITION, pos);
        glLightf(light, GL_CONSTANT_ATTENUATION, l.Attenuation0);
        glLightf(light, GL_LINEAR_ATTENUATION, l.Attenuation1);
        glLightf(light, GL_QUADRATIC_ATTENUATION, l.Attenuation2);
        if (l.Type == D3DLIGHT_SPOT) {
          glLightfv(light, GL_SPOT_DIRECTION, &l.Direction.x);
          float cutoff = l.Phi * 0.5f * 57.29578f;
          glLightf(light, GL_SPOT_CUTOFF, cutoff > 90.0f ? 90.0f : cutoff);
          glLightf(light, GL_SPOT_EXPONENT, l.Falloff > 128.0f ? 128.0f : l.Falloff);
        } else {
          glLightf(light, GL_SPOT_CUTOFF, 180.0f);
        }
      }
    }
    const D3DMATERIAL9& m = state_.material;
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, &m.Diffuse.r);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, &m.Ambient.r);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, &m.Emissive.r);
    // GL always adds specular; Direct3D only with SPECULARENABLE.
    static const float kNoSpecular[4] = {0, 0, 0, 0};
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR,
                 rs[D3DRS_SPECULARENABLE] ? &m.Specular.r : kNoSpecular);
    float power = m.Power < 0.0f ? 0.0f : m.Power > 128.0f ? 128.0f : m.Power;
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, power);
    float ambient[4];
    ColorOf(rs[D3DRS_AMBIENT], ambient);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, rs[D3DRS_LOCALVIEWER] ? GL_TRUE : GL_FALSE);
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
    SetCap(GL_NORMALIZE, rs[D3DRS_NORMALIZENORMALS] != 0);
  }
  glMultMatrixf(&state_.world._11);
}

void Device::ApplyStages() {
  bool disabledFromHere = false;
  for (DWORD s = 0; s < kD3DStageCount; ++s) {
    const DWORD* ts = state_.stageStates[s];
    glActiveTexture(GLenum(GL_TEXTURE0 + s));
    Texture* texture = state_.textures[s];
    if (ts[D3DTSS_COLOROP] == D3DTOP_DISABLE) disabledFromHere = true;
    // An unbound stage acts as white: with its unit off the colour passes through unchanged.
    if (disabledFromHere || !texture) {
      glDisable(GL_TEXTURE_2D);
      continue;
    }
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture->glTexture());

    const DWORD* ss = state_.samplerStates[s];
    if (!texture->samplerApplied ||
        std::memcmp(texture->appliedSampler, ss, sizeof texture->appliedSampler) != 0) {
      auto wrap = [this](DWORD mode) -> GLint {
        switch (mode) {
          case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
          case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
          case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
          case D3DTADDRESS_MIRRORONCE:
            return hasMirrorOnce ? GLint(GL_MIRROR_CLAMP_TO_EDGE) : GLint(GL_MIRRORED_REPEAT);
          default: return GL_REPEAT;
        }
      };
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap(ss[D3DSAMP_ADDRESSU]));
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap(ss[D3DSAMP_ADDRESSV]));
      float border[4];
      ColorOf(ss[D3DSAMP_BORDERCOLOR], border);
      glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
      // One level only: GL's mipmapped default minification would leave it incomplete.
      auto filter = [](DWORD f) -> GLint { return f >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST; };
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter(ss[D3DSAMP_MINFILTER]));
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter(ss[D3DSAMP_MAGFILTER]));
      if (hasAnisotropic) {
        bool aniso = ss[D3DSAMP_MINFILTER] == D3DTEXF_ANISOTROPIC;
        float level = aniso ? float(ss[D3DSAMP_MAXANISOTROPY] < 1 ? 1 : ss[D3DSAMP_MAXANISOTROPY]) : 1.0f;
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, level);
      }
      std::memcpy(texture->appliedSampler, ss, sizeof texture->appliedSampler);
      texture->samplerApplied = true;
    }

    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    float tfactor[4];
    ColorOf(state_.renderStates[D3DRS_TEXTUREFACTOR], tfactor);
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, tfactor);
    auto source = [s](DWORD arg) -> GLint {
      switch (arg & D3DTA_SELECTMASK) {
        case D3DTA_DIFFUSE: return GL_PRIMARY_COLOR;
        case D3DTA_TEXTURE: return GL_TEXTURE;
        case D3DTA_TFACTOR: return GL_CONSTANT;
        default: return s == 0 ? GL_PRIMARY_COLOR : GL_PREVIOUS;
      }
    };
    auto setup = [&](bool alpha, DWORD op, DWORD arg1, DWORD arg2) {
      GLenum combine = alpha ? GL_COMBINE_ALPHA : GL_COMBINE_RGB;
      GLenum src0 = alpha ? GL_SRC0_ALPHA : GL_SRC0_RGB;
      GLenum src1 = alpha ? GL_SRC1_ALPHA : GL_SRC1_RGB;
      GLenum opnd0 = alpha ? GL_OPERAND0_ALPHA : GL_OPERAND0_RGB;
      GLenum opnd1 = alpha ? GL_OPERAND1_ALPHA : GL_OPERAND1_RGB;
      auto operand = [alpha](DWORD arg) -> GLint {
        bool complement = (arg & D3DTA_COMPLEMENT) != 0;
        if (alpha || (arg & D3DTA_ALPHAREPLICATE))
          return complement ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
        return complement ? GL_ONE_MINUS_SRC_COLOR : GL_SRC_COLOR;
      };
      GLint mode = GL_MODULATE;
      float scale = 1.0f;
      DWORD first = arg1, second = arg2;
      switch (op) {
        case D3DTOP_DISABLE:  // alpha only: pass the previous alpha through
          mode = GL_REPLACE;
          first = D3DTA_CURRENT;
          break;
        case D3DTOP_SELECTARG1: mode = GL_REPLACE; break;
        case D3DTOP_SELECTARG2: mode = GL_REPLACE; first = arg2; break;
        case D3DTOP_MODULATE2X: scale = 2.0f; break;
        case D3DTOP_MODULATE4X: scale = 4.0f; break;
        case D3DTOP_ADD: mode = GL_ADD; break;
        case D3DTOP_ADDSIGNED: mode = GL_ADD_SIGNED; break;
        case D3DTOP_SUBTRACT: mode = GL_SUBTRACT; break;
        default: break;  // MODULATE and the rest
      }
      glTexEnvi(GL_TEXTURE_ENV, combine, mode);
      glTexEnvi(GL_TEXTURE_ENV, src0, source(first));
      glTexEnvi(GL_TEXTURE_ENV, opnd0, operand(first));
      glTexEnvi(GL_TEXTURE_ENV, src1, source(second));
      glTexEnvi(GL_TEXTURE_ENV, opnd1, operand(second));
      glTexEnvf(GL_TEXTURE_ENV, alpha ? GL_ALPHA_SCALE : GL_RGB_SCALE, scale);
    };
    setup(false, ts[D3DTSS_COLOROP], ts[D3DTSS_COLORARG1], ts[D3DTSS_COLORARG2]);
    setup(true, ts[D3DTSS_ALPHAOP], ts[D3DTSS_ALPHAARG1], ts[D3DTSS_ALPHAARG2]);
  }
  glActiveTexture(GL_TEXTURE0);
  glClientActiveTexture(GL_TEXTURE0);
}

void Device::ApplyState(DWORD fvf) {
  bool rhw = (fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
  DWORD kind = (rhw ? 1u : 0u) | (fvf & D3DFVF_DIFFUSE);
  if (!dirty_ && kind == appliedFvfKind_) return;
  MakeCurrent();
  ApplyRenderStates();
  ApplyTransformsAndLights(rhw);
  ApplyStages();
  const DWORD* rs = state_.renderStates;
  // Vertex colour feeds the lit diffuse (COLORVERTEX with DIFFUSEMATERIALSOURCE COLOR1).
  bool colorMaterial = !rhw && rs[D3DRS_LIGHTING] && rs[D3DRS_COLORVERTEX] &&
                       (fvf & D3DFVF_DIFFUSE) && rs[D3DRS_DIFFUSEMATERIALSOURCE] == D3DMCS_COLOR1;
  if (colorMaterial) {
    bool ambientToo = rs[D3DRS_AMBIENTMATERIALSOURCE] == D3DMCS_COLOR1;
    glColorMaterial(GL_FRONT_AND_BACK, ambientToo ? GL_AMBIENT_AND_DIFFUSE : GL_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
  } else {
    glDisable(GL_COLOR_MATERIAL);
    // Re-send the material: a colour-material pass may have overwritten the diffuse.
    if (!rhw && rs[D3DRS_LIGHTING]) {
      glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, &state_.material.Diffuse.r);
      glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, &state_.material.Ambient.r);
    }
  }
  // Point sprites: texture coordinates run 0..1 over each sprite, (0, 0) at the top left of
  // the Direct3D target, which is GL's lower left in our flipped storage.
  bool sprites = rs[D3DRS_POINTSPRITEENABLE] != 0;
  SetCap(GL_POINT_SPRITE, sprites);
  glPointParameteri(GL_POINT_SPRITE_COORD_ORIGIN, GL_LOWER_LEFT);
  for (DWORD s = 0; s < kD3DStageCount; ++s) {
    glActiveTexture(GLenum(GL_TEXTURE0 + s));
    glTexEnvi(GL_POINT_SPRITE, GL_COORD_REPLACE, sprites ? GL_TRUE : GL_FALSE);
  }
  glActiveTexture(GL_TEXTURE0);
  float minSize = BitsFloat(rs[D3DRS_POINTSIZE_MIN]);
  float maxSize = BitsFloat(rs[D3DRS_POINTSIZE_MAX]);
  glPointParameterf(GL_POINT_SIZE_MIN, minSize < 1.0f ? 1.0f : minSize);
  glPointParameterf(GL_POINT_SIZE_MAX, maxSize);
  if (rs[D3DRS_POINTSCALEENABLE] && !rhw) {
    float h = float(state_.viewport.Height);
    float abc[3] = {BitsFloat(rs[D3DRS_POINTSCALE_A]) / (h * h),
                    BitsFloat(rs[D3DRS_POINTSCALE_B]) / (h * h),
                    BitsFloat(rs[D3DRS_POINTSCALE_C]) / (h * h)};
    glPointParameterfv(GL_POINT_DISTANCE_ATTENUATION, abc);
  } else {
    static const float kNone[3] = {1, 0, 0};
    glPointParameterfv(GL_POINT_DISTANCE_ATTENUATION, kNone);
  }
  glPointSize(BitsFloat(rs[D3DRS_POINTSIZE]));
  dirty_ = false;
  appliedFvfKind_ = kind;
}

float PointSizeClamped(const DeviceState& s, float size) {
  float minSize = BitsFloat(s.renderStates[D3DRS_POINTSIZE_MIN]);
  float maxSize = BitsFloat(s.renderStates[D3DRS_POINTSIZE_MAX]);
  if (size > maxSize) size = maxSize;
  if (size < minSize) size = minSize;
  return size < 1.0f ? 1.0f : size;
}

}
