// cGraphics: device creation with its fall-backs, default states, frames, device loss and
// reset with the two listener lists, and the small device services. The 2D drawing lives in
// graphics_2d.cpp.
//
// [MATERIAL]  sMaterial's packed colours
// [SETUP]     construction, Init, ReleaseAll, default states
// [FRAMES]    BeginFrame, EndFrame, loss and reset
// [LISTENERS] the two device-listener lists
// [SERVICES]  projection, cull, fill, material, textures, points, targets, screenshots, light

#include "graphics/graphics.h"

#include <cmath>
#include <cstring>

#include "app/shell_display.h"
#include "graphics/texture.h"
#include "graphics/texture_manager.h"
#include "platform/gl_window.h"

cGraphics* Graphics = nullptr;

namespace {

void (*sleepFunction)(DWORD) = nullptr;

void FrameSleep(DWORD ms) {
  if (sleepFunction)
    sleepFunction(ms);
  else
    Sleep(ms);
}

DWORD PackColor(const D3DCOLORVALUE& c) {
  auto byte = [](float f) { return DWORD(int32_t(std::lround(f * 255.0f)) & 0xFF); };
  return byte(c.a) << 24 | byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b);
}

DWORD FloatBits(float f) {
  DWORD d;
  std::memcpy(&d, &f, 4);
  return d;
}

}

void SetGraphicsSleepForTesting(void (*sleep)(DWORD)) { sleepFunction = sleep; }

// [MATERIAL] ----------------------------------------------------------------------------------
DWORD sMaterial::GetDiffuseARGB() const { return PackColor(material.Diffuse); }
DWORD sMaterial::GetAmbientARGB() const { return PackColor(material.Ambient); }
DWORD sMaterial::GetSpecularARGB() const { return PackColor(material.Specular); }
DWORD sMaterial::GetEmissiveARGB() const { return PackColor(material.Emissive); }

void sMaterial::SetPower(sMaterial* m, float power) {
  if (!m) return;
  m->material.Power = power < 0.0f ? 0.0f : power > 128.0f ? 128.0f : power;
}

// [SETUP] -------------------------------------------------------------------------------------
cGraphics::cGraphics() {
  InitializeCriticalSection(&lostLock);
  InitializeCriticalSection(&resetLock);
  MatrixIdentity(&transform2D);
  for (sScreenVertexTex& v : quad) v = sScreenVertexTex{0, 0, 0, 1, 0, 0, 0};
}

cGraphics::~cGraphics() {
  UnbindStages();
  FreeList(&lostListeners);
  FreeList(&resetListeners);
  ReleaseAll();
  DeleteCriticalSection(&lostLock);
  DeleteCriticalSection(&resetLock);
}

bool cGraphics::Init() {
  if (!MainWindow) return false;
  d3d = Direct3DCreate9(D3D_SDK_VERSION);
  if (!d3d) return false;
  window = MainWindow;
  textureManager = TextureManager;
  auto fail = [this]() {
    ReleaseAll();
    return false;
  };

  D3DDISPLAYMODE mode{};
  if (FAILED(d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode))) return fail();
  RECT client{};
  ::GetClientRect(window, &client);
  targetWidth = ClientWidth >= 1 ? ClientWidth : client.right - client.left;
  targetHeight = ClientHeight >= 1 ? ClientHeight : client.bottom - client.top;

  std::memset(&presentParameters, 0, sizeof presentParameters);
  presentParameters.BackBufferFormat = mode.Format;
  presentParameters.BackBufferCount = 1;
  presentParameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
  presentParameters.Windowed = TRUE;
  presentParameters.EnableAutoDepthStencil = TRUE;
  presentParameters.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
  hardwareDevice = false;

  if (SUCCEEDED(d3d->CheckDeviceType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, mode.Format, mode.Format,
                                     TRUE))) {
    hardwareDevice = true;
    deviceType = D3DDEVTYPE_HAL;
  } else if (SUCCEEDED(d3d->CheckDeviceType(D3DADAPTER_DEFAULT, D3DDEVTYPE_REF, mode.Format,
                                            mode.Format, TRUE))) {
    deviceType = D3DDEVTYPE_REF;
  } else {
    return fail();
  }
  if (FAILED(d3d->GetDeviceCaps(D3DADAPTER_DEFAULT, deviceType, &caps))) return fail();

  multisampleType = D3DMULTISAMPLE_NONE;
  for (int samples = 2; samples > 0; --samples) {
    DWORD levels = 0;
    auto type = D3DMULTISAMPLE_TYPE(samples);
    if (SUCCEEDED(d3d->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, deviceType, mode.Format,
                                                  TRUE, type, &levels))) {
      presentParameters.MultiSampleType = type;
      presentParameters.MultiSampleQuality = levels > 0 ? levels - 1 : 0;
      multisampleType = type;
      break;
    }
  }
  if (!ChooseDepthFormat()) return fail();

  const DWORD kVertexProcessing[3] = {D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                      D3DCREATE_MIXED_VERTEXPROCESSING,
                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING};
  for (DWORD flags : kVertexProcessing) {
    if (SUCCEEDED(d3d->CreateDevice(D3DADAPTER_DEFAULT, deviceType, window, flags,
                                    &presentParameters, &device)))
      break;
    device = nullptr;
  }
  if (!device) return fail();
  device->GetDeviceCaps(&caps);
  if (FAILED(D3DXCreateSprite(device, &sprite))) return fail();
  ApplyDefaultStates();
  SetProjection(3.14159265f / 4.0f, float(targetWidth) / float(targetHeight > 0 ? targetHeight : 1),
                1.0f, 10000.0f);
  return true;
}

// Stencil formats first (they make hasStencil true), then depth-only formats.
bool cGraphics::ChooseDepthFormat() {
  if (!d3d) return false;
  D3DFORMAT display = presentParameters.BackBufferFormat;
  for (D3DFORMAT f : {D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D15S1}) {
    if (SUCCEEDED(d3d->CheckDeviceFormat(D3DADAPTER_DEFAULT, deviceType, display,
                                         D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, f)) &&
        SUCCEEDED(d3d->CheckDepthStencilMatch(D3DADAPTER_DEFAULT, deviceType, display, display, f))) {
      hasStencil = true;
      presentParameters.AutoDepthStencilFormat = f;
      return true;
    }
  }
  hasStencil = false;
  for (D3DFORMAT f : {D3DFMT_D32, D3DFMT_D24X8, D3DFMT_D16}) {
    if (SUCCEEDED(d3d->CheckDeviceFormat(D3DADAPTER_DEFAULT, deviceType, display,
                                         D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, f))) {
      presentParameters.AutoDepthStencilFormat = f;
      return true;
    }
  }
  return false;
}

bool cGraphics::ReleaseAll() {
  if (spriteDepth > 0 && sprite) sprite->End();
  spriteDepth = 0;
  transformActive = false;
  auto release = [](auto*& p) {
    if (p) p->Release();
    p = nullptr;
  };
  release(savedStates);
  release(savedBackBuffer);
  release(targetSurface);
  release(sprite);
  release(device);
  release(d3d);
  return true;
}

bool cGraphics::ApplyDefaultStates() {
  if (!device) return true;
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  if (SUCCEEDED(device->SetRenderState(D3DRS_LIGHTING, TRUE))) lightingOn = true;
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetMaterial(&material);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  SetAmbientColor(52, 52, 52);
  return true;
}

// [FRAMES] ------------------------------------------------------------------------------------
bool cGraphics::BeginFrame(D3DCOLOR clearColor) {
  if (!device) return false;
  if (deviceLost) {
    HRESULT level = device->TestCooperativeLevel();
    if (level == D3DERR_DEVICENOTRESET) {
      if (NotifyLost() && ResetDevice() && NotifyReset())
        deviceLost = false;
    } else if (level == D3D_OK) {
      // The device came back by itself: nothing to recover, the frame goes on.
      deviceLost = false;
    }
    if (deviceLost) {
      FrameSleep(50);
      return false;
    }
  }
  DWORD flags = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | (hasStencil ? D3DCLEAR_STENCIL : 0);
  device->Clear(0, nullptr, flags, clearColor, 1.0f, 0);
  return SUCCEEDED(device->BeginScene());
}

bool cGraphics::EndFrame(bool present) {
  if (!device) return false;
  device->EndScene();
  if (present) Present();
  UnbindStages();
  if (textureManager) textureManager->Sweep();
  return true;
}

void cGraphics::Present() {
  if (!device) return;
  if (device->Present(nullptr, nullptr, window, nullptr) == D3DERR_DEVICELOST) deviceLost = true;
}

void cGraphics::UnbindStages() {
  if (!device) return;
  for (DWORD stage = 0; stage < 8; ++stage) device->SetTexture(stage, nullptr);
}

bool cGraphics::ResetWithSize(int width, int height) {
  D3DDISPLAYMODE mode{};
  if (!d3d || !device || FAILED(d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode)))
    return false;
  targetWidth = width;
  targetHeight = height;
  presentParameters.BackBufferWidth = UINT(width > 0 ? width : 0);
  presentParameters.BackBufferHeight = UINT(height > 0 ? height : 0);
  presentParameters.BackBufferCount = 1;
  presentParameters.Windowed = TRUE;
  presentParameters.BackBufferFormat = mode.Format;
  if (!ChooseDepthFormat()) return false;
  if (FAILED(device->Reset(&presentParameters))) return false;
  ApplyDefaultStates();
  return true;
}

bool cGraphics::ResetDevice() {
  RECT area{};
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) return false;
  int frameX = GetSystemMetrics(SM_CXSIZEFRAME);
  int frameY = GetSystemMetrics(SM_CYSIZEFRAME);
  area.left -= frameX;
  area.right += frameX;
  area.top -= frameY;
  area.bottom += frameY;
  int width = area.right - area.left;
  int height = area.bottom - area.top;
  MoveWindow(window, area.left, area.top, width, height, TRUE);
  return ResetWithSize(width, height);
}

bool cGraphics::Resize() {
  if (!device) return false;
  if (!NotifyLost()) return false;
  RECT client{};
  if (!::GetClientRect(window, &client)) return false;
  if (!ResetWithSize(client.right - client.left, client.bottom - client.top)) return false;
  return NotifyReset();
}

bool cGraphics::NotifyLost() {
  if (sprite && FAILED(sprite->OnLostDevice())) return false;
  bool ok = true;
  EnterCriticalSection(&lostLock);
  for (ListenerNode* n = lostListeners; n; n = n->next) {
    if (!n->listener->OnLostDevice()) {
      ok = false;
      break;
    }
  }
  LeaveCriticalSection(&lostLock);
  SetRenderTargetTexture(nullptr);
  // A state block may hold default-pool objects; it is of no use after a reset anyway.
  if (savedStates) {
    savedStates->Release();
    savedStates = nullptr;
  }
  if (textureManager) textureManager->PurgeDefaultPool();
  if (onDeviceLost) onDeviceLost();
  return ok;
}

bool cGraphics::NotifyReset() {
  if (sprite && FAILED(sprite->OnResetDevice())) return false;
  bool ok = true;
  EnterCriticalSection(&resetLock);
  for (ListenerNode* n = resetListeners; n; n = n->next) {
    if (!n->listener->OnResetDevice()) {
      ok = false;
      break;
    }
  }
  LeaveCriticalSection(&resetLock);
  if (onDeviceReset) onDeviceReset();
  return ok;
}

// [LISTENERS] ---------------------------------------------------------------------------------
bool cGraphics::Append(ListenerNode** head, cEventListener* listener) {
  ListenerNode** tail = head;
  for (; *tail; tail = &(*tail)->next)
    if ((*tail)->listener == listener) return false;
  *tail = new ListenerNode{listener, nullptr};
  return true;
}

bool cGraphics::Unlink(ListenerNode** head, cEventListener* listener) {
  for (ListenerNode** link = head; *link; link = &(*link)->next) {
    if ((*link)->listener == listener) {
      ListenerNode* gone = *link;
      *link = gone->next;
      delete gone;
      return true;
    }
  }
  return false;
}

void cGraphics::FreeList(ListenerNode** head) {
  while (*head) {
    ListenerNode* next = (*head)->next;
    delete *head;
    *head = next;
  }
}

bool cGraphics::AddDeviceListener(bool lostList, cEventListener* listener) {
  if (!listener) return false;
  CRITICAL_SECTION* lock = lostList ? &lostLock : &resetLock;
  EnterCriticalSection(lock);
  bool added = Append(lostList ? &lostListeners : &resetListeners, listener);
  LeaveCriticalSection(lock);
  return added;
}

bool cGraphics::RemoveLostListener(cEventListener* listener) {
  if (!listener || (!lostListeners && !resetListeners)) return false;
  EnterCriticalSection(&lostLock);
  bool removed = Unlink(&lostListeners, listener);
  LeaveCriticalSection(&lostLock);
  return removed;
}

bool cGraphics::RemoveResetListener(cEventListener* listener) {
  if (!listener || (!lostListeners && !resetListeners)) return false;
  EnterCriticalSection(&resetLock);
  bool removed = Unlink(&resetListeners, listener);
  LeaveCriticalSection(&resetLock);
  return removed;
}

// [SERVICES] ----------------------------------------------------------------------------------
bool cGraphics::SetProjection(float fieldOfView, float aspect, float zNear, float zFar) {
  if (!device) return false;
  D3DXMATRIX projection;
  D3DXMatrixPerspectiveFovLH(&projection, fieldOfView, aspect, zNear, zFar);
  return SUCCEEDED(device->SetTransform(D3DTS_PROJECTION, &projection));
}

bool cGraphics::SetCullMode(int mode) {
  if (!device) return false;
  DWORD cull = mode == 1 ? D3DCULL_NONE : mode == 3 ? D3DCULL_CCW : D3DCULL_CW;
  return SUCCEEDED(device->SetRenderState(D3DRS_CULLMODE, cull));
}

int cGraphics::GetCullMode() {
  if (!device) return 3;
  DWORD cull = 0;
  device->GetRenderState(D3DRS_CULLMODE, &cull);
  if (cull == D3DCULL_NONE) return 1;
  if (cull == D3DCULL_CW) return 2;
  if (cull == D3DCULL_CCW) return 3;
  return 0;
}

bool cGraphics::SetFillMode(int mode) {
  if (!device) return false;
  DWORD fill = mode == 2 ? D3DFILL_WIREFRAME : mode == 3 ? D3DFILL_SOLID : D3DFILL_POINT;
  return SUCCEEDED(device->SetRenderState(D3DRS_FILLMODE, fill));
}

bool cGraphics::SetAmbientColor(BYTE red, BYTE green, BYTE blue) {
  if (!device) return false;
  ambientColor = 0xFF000000u | DWORD(red) << 16 | DWORD(green) << 8 | DWORD(blue);
  return SUCCEEDED(device->SetRenderState(D3DRS_AMBIENT, ambientColor));
}

bool cGraphics::SetMaterial(const sMaterial* m) {
  if (!device || !m) return false;
  sMaterial cached;
  cached.shadeMode = shadeMode;
  cached.material = material;
  bool same = m->GetDiffuseARGB() == cached.GetDiffuseARGB() &&
              m->GetAmbientARGB() == cached.GetAmbientARGB() &&
              m->GetSpecularARGB() == cached.GetSpecularARGB() &&
              m->GetEmissiveARGB() == cached.GetEmissiveARGB() &&
              m->material.Power == material.Power;
  if (!same) {
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    const D3DMATERIAL9& d = m->material;
    if (d.Diffuse.a == 1.0f && d.Specular.a == 1.0f && d.Ambient.a == 1.0f) {
      device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
      device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    } else {
      device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
      device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
      device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    }
    if (d.Power == 0.0f) {
      device->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
      device->SetRenderState(D3DRS_SPECULARMATERIALSOURCE, D3DMCS_COLOR2);
    } else {
      device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
      device->SetRenderState(D3DRS_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL);
    }
    if (FAILED(device->SetMaterial(&d))) return false;
  }
  if (m->shadeMode != shadeMode) {
    DWORD shade = m->shadeMode == 1 ? D3DSHADE_FLAT
                  : (m->shadeMode == 3 || m->shadeMode == 4) ? D3DSHADE_PHONG
                                                             : D3DSHADE_GOURAUD;
    device->SetRenderState(D3DRS_SHADEMODE, shade);
  }
  shadeMode = m->shadeMode;
  material = m->material;
  return true;
}

bool cGraphics::SetTexture(int stage, cTexture* texture) {
  if (!device || stage < 0 || stage > 7) return false;
  if (!texture) {
    device->SetTexture(DWORD(stage), nullptr);
    return true;
  }
  if (FAILED(device->SetTexture(DWORD(stage), texture->d3dTexture))) return false;
  auto setIfDifferent = [this, stage](D3DSAMPLERSTATETYPE type, DWORD value) {
    DWORD current = 0;
    if (FAILED(device->GetSamplerState(DWORD(stage), type, &current)) || current != value)
      device->SetSamplerState(DWORD(stage), type, value);
  };
  auto address = [](DWORD mode) -> DWORD { return mode >= 1 && mode <= 5 ? mode : D3DTADDRESS_WRAP; };
  auto filter = [](DWORD f) -> DWORD { return f >= 1 && f <= 3 ? f : D3DTEXF_NONE; };
  DWORD u = address(texture->addressU);
  DWORD v = address(texture->addressV);
  setIfDifferent(D3DSAMP_ADDRESSU, u);
  setIfDifferent(D3DSAMP_ADDRESSV, v);
  if (u == D3DTADDRESS_BORDER || v == D3DTADDRESS_BORDER)
    setIfDifferent(D3DSAMP_BORDERCOLOR, texture->borderColor);
  setIfDifferent(D3DSAMP_MINFILTER, filter(texture->minFilter));
  setIfDifferent(D3DSAMP_MAGFILTER, filter(texture->magFilter));
  return true;
}

void cGraphics::SetModulateStage() {
  if (!device) return;
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
}

void cGraphics::SetPointSize(float size, float minimum, float maximum) {
  if (!device) return;
  device->SetRenderState(D3DRS_POINTSIZE, FloatBits(size));
  device->SetRenderState(D3DRS_POINTSIZE_MIN, FloatBits(minimum));
  device->SetRenderState(D3DRS_POINTSIZE_MAX, FloatBits(maximum));
}

void cGraphics::SetPointParams(float size, float minimum, float maximum, float a, float b,
                               float c) {
  if (!device) return;
  SetPointSize(size, minimum, maximum);
  device->SetRenderState(D3DRS_POINTSCALE_A, FloatBits(a));
  device->SetRenderState(D3DRS_POINTSCALE_B, FloatBits(b));
  device->SetRenderState(D3DRS_POINTSCALE_C, FloatBits(c));
}

void cGraphics::BeginPointSprites() {
  if (!device) return;
  device->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
  device->SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
}

void cGraphics::EndPointSprites() {
  if (!device) return;
  device->SetRenderState(D3DRS_POINTSPRITEENABLE, FALSE);
  device->SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
  device->SetRenderState(D3DRS_LIGHTING, lightingOn ? TRUE : FALSE);
}

void cGraphics::GetClientRect(int* left, int* top, int* right, int* bottom) {
  RECT r{};
  ::GetClientRect(window, &r);
  if (left) *left = r.left;
  if (top) *top = r.top;
  if (right) *right = r.right;
  if (bottom) *bottom = r.bottom;
}

bool cGraphics::SetRenderTargetTexture(cTexture* texture) {
  if (!device) return false;
  if (texture) {
    if (!texture->d3dTexture) return false;
    if (!savedBackBuffer && FAILED(device->GetRenderTarget(0, &savedBackBuffer))) return false;
    if (targetSurface) {
      targetSurface->Release();
      targetSurface = nullptr;
    }
    if (FAILED(texture->d3dTexture->GetSurfaceLevel(0, &targetSurface))) return false;
    D3DSURFACE_DESC desc{};
    targetSurface->GetDesc(&desc);
    targetWidth = int32_t(desc.Width);
    targetHeight = int32_t(desc.Height);
    return SUCCEEDED(device->SetRenderTarget(0, targetSurface));
  }
  bool ok = true;
  if (savedBackBuffer) {
    D3DSURFACE_DESC desc{};
    savedBackBuffer->GetDesc(&desc);
    targetWidth = int32_t(desc.Width);
    targetHeight = int32_t(desc.Height);
    ok = SUCCEEDED(device->SetRenderTarget(0, savedBackBuffer));
    savedBackBuffer->Release();
    savedBackBuffer = nullptr;
  }
  if (targetSurface) {
    targetSurface->Release();
    targetSurface = nullptr;
  }
  return ok;
}

bool cGraphics::SaveScreenshot(const char* path, D3DXIMAGE_FILEFORMAT format) {
  if (!device || !path) return false;
  IDirect3DSurface9* back = nullptr;
  if (FAILED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back))) return false;
  bool ok = SUCCEEDED(D3DXSaveSurfaceToFileA(path, format, back, nullptr, nullptr));
  back->Release();
  return ok;
}

bool cGraphics::CopyBackBufferToTexture(cTexture* texture) {
  if (!device || !texture || !texture->d3dTexture) return false;
  IDirect3DSurface9* back = nullptr;
  IDirect3DSurface9* level = nullptr;
  bool ok = SUCCEEDED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back)) &&
            SUCCEEDED(texture->d3dTexture->GetSurfaceLevel(0, &level)) &&
            SUCCEEDED(D3DXLoadSurfaceFromSurface(level, nullptr, nullptr, back, nullptr, nullptr,
                                                 D3DX_DEFAULT, 0));
  if (level) level->Release();
  if (back) back->Release();
  return ok;
}

void cGraphics::SetLightDiffuse(float alpha) {
  if (SceneLight)
    SceneLight->Diffuse = D3DCOLORVALUE{LightDiffuseRed, LightDiffuseGreen, LightDiffuseBlue, alpha};
}

void cGraphics::SetLightSpecular(float alpha) {
  if (SceneLight)
    SceneLight->Specular =
        D3DCOLORVALUE{LightSpecularRed, LightSpecularGreen, LightSpecularBlue, alpha};
}

void cGraphics::SetLightAmbient(float alpha) {
  if (SceneLight)
    SceneLight->Ambient = D3DCOLORVALUE{LightAmbientRed, LightAmbientGreen, LightAmbientBlue, alpha};
}

bool cGraphics::ApplyLight() {
  if (!SceneLight) return true;
  if (!device) return false;
  return SUCCEEDED(device->SetLight(0, SceneLight)) && SUCCEEDED(device->LightEnable(0, TRUE));
}
