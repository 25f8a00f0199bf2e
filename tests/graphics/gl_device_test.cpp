// The Direct3D 9 stand-in on a real GL context (SDL offscreen driver): pixels read back from
// the back buffer and from render targets.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/d3d9.h"
#include "platform/d3dx9.h"
#include "platform/d3dx9_image.h"
#include "platform/gl_window.h"
#include "support/gl_test_support.h"
#include "support/test_support.h"

namespace {

constexpr int kSize = 64;

struct ScreenVertex {  // FVF 0x44
  float x, y, z, rhw;
  D3DCOLOR color;
};
struct ScreenVertexTex {  // FVF 0x144
  float x, y, z, rhw;
  D3DCOLOR color;
  float u, v;
};
struct LitVertex {  // FVF 0x112
  float x, y, z, nx, ny, nz, u, v;
};

struct Rgba {
  int r, g, b, a;
};

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    d3d9gl::SetTestOptions(d3d9gl::TestOptions());
    window = CreateGLTestWindow(kSize, kSize);
    ASSERT_NE(window, nullptr);
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                &pp, &device),
              D3D_OK);
    EXPECT_EQ(pp.BackBufferWidth, UINT(kSize));
  }
  void TearDown() override {
    if (device) device->Release();
    if (d3d) d3d->Release();
    DestroyGLTestWindow(window);
  }

  // Pixel (x, y) of a surface, row 0 at the top.
  static Rgba PixelOf(IDirect3DSurface9* surface, int x, int y) {
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    uint32_t p = static_cast<const uint32_t*>(locked.pBits)[y * (locked.Pitch / 4) + x];
    surface->UnlockRect();
    return Rgba{int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF), int(p >> 24)};
  }
  Rgba BackPixel(int x, int y) {
    IDirect3DSurface9* back = nullptr;
    EXPECT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    Rgba p = PixelOf(back, x, y);
    back->Release();
    return p;
  }

  // A texture whose texels are given row by row, top first.
  IDirect3DTexture9* MakeTexture(UINT w, UINT h, const std::vector<uint32_t>& texels) {
    IDirect3DTexture9* t = nullptr;
    EXPECT_EQ(device->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr),
              D3D_OK);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(t->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < h; ++y)
      std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, &texels[y * w], w * 4);
    t->UnlockRect(0);
    return t;
  }

  // Pixels [0, size) square in one colour: four pre-transformed vertices (FVF 0x44) and six
  // indices of the given format.
  bool MakeQuadBuffers(float size, D3DCOLOR color, D3DFORMAT indexFormat, D3DPOOL pool,
                       IDirect3DVertexBuffer9** vb, IDirect3DIndexBuffer9** ib) {
    const UINT indexSize = indexFormat == D3DFMT_INDEX32 ? 4 : 2;
    if (FAILED(device->CreateVertexBuffer(4 * sizeof(ScreenVertex), D3DUSAGE_DYNAMIC, 0x44, pool,
                                          vb, nullptr)) ||
        FAILED(device->CreateIndexBuffer(6 * indexSize, D3DUSAGE_DYNAMIC, indexFormat, pool, ib,
                                         nullptr)))
      return false;
    const float e = size - 0.5f;
    ScreenVertex quad[4] = {{-0.5f, -0.5f, 0, 1, color}, {e, -0.5f, 0, 1, color},
                            {-0.5f, e, 0, 1, color}, {e, e, 0, 1, color}};
    void* p = nullptr;
    if (FAILED((*vb)->Lock(0, 0, &p, 0))) return false;
    std::memcpy(p, quad, sizeof quad);
    (*vb)->Unlock();
    if (FAILED((*ib)->Lock(0, 0, &p, 0))) return false;
    const uint32_t idx[6] = {0, 1, 2, 1, 3, 2};
    for (int i = 0; i < 6; ++i) {
      if (indexSize == 4)
        static_cast<uint32_t*>(p)[i] = idx[i];
      else
        static_cast<uint16_t*>(p)[i] = uint16_t(idx[i]);
    }
    (*ib)->Unlock();
    return true;
  }

  void FillRectRhw(float x1, float y1, float x2, float y2, D3DCOLOR color) {
    // Texel-exact: Direct3D's pixel centres are at integers, so edges sit at -0.5.
    ScreenVertex v[4] = {{x1 - 0.5f, y2 - 0.5f, 0, 1, color},
                         {x1 - 0.5f, y1 - 0.5f, 0, 1, color},
                         {x2 - 0.5f, y2 - 0.5f, 0, 1, color},
                         {x2 - 0.5f, y1 - 0.5f, 0, 1, color}};
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex)), D3D_OK);
  }

  void SetCamera() {
    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovLH(&projection, 3.14159265f / 4, 1.0f, 1.0f, 100.0f);
    D3DMATRIX identity{};
    identity._11 = identity._22 = identity._33 = identity._44 = 1;
    device->SetTransform(D3DTS_PROJECTION, &projection);
    device->SetTransform(D3DTS_VIEW, &identity);
    device->SetTransform(D3DTS_WORLD, &identity);
  }

  HWND window = nullptr;
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* device = nullptr;
};

void ExpectNear(Rgba got, Rgba want, int tolerance, const char* what) {
  EXPECT_NEAR(got.r, want.r, tolerance) << what;
  EXPECT_NEAR(got.g, want.g, tolerance) << what;
  EXPECT_NEAR(got.b, want.b, tolerance) << what;
}

TEST_F(DeviceTest, ClearFillsTheViewportWithTheColour) {
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL,
                          D3DCOLOR_XRGB(10, 20, 30), 1.0f, 0),
            D3D_OK);
  ExpectNear(BackPixel(0, 0), {10, 20, 30, 255}, 0, "top left");
  ExpectNear(BackPixel(63, 63), {10, 20, 30, 255}, 0, "bottom right");
  EXPECT_EQ(BackPixel(5, 5).a, 255);  // X8R8G8B8 reads opaque
}

TEST_F(DeviceTest, PreTransformedRectanglesLandOnExactPixels) {
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  FillRectRhw(10, 5, 20, 9, D3DCOLOR_XRGB(255, 0, 0));
  ExpectNear(BackPixel(10, 5), {255, 0, 0, 0}, 0, "first pixel");
  ExpectNear(BackPixel(19, 8), {255, 0, 0, 0}, 0, "last pixel");
  ExpectNear(BackPixel(9, 5), {0, 0, 0, 0}, 0, "left of it");
  ExpectNear(BackPixel(20, 5), {0, 0, 0, 0}, 0, "right of it");
  ExpectNear(BackPixel(10, 4), {0, 0, 0, 0}, 0, "above");
  ExpectNear(BackPixel(10, 9), {0, 0, 0, 0}, 0, "below");
}

TEST_F(DeviceTest, LinesIncludeTheirLastPixel) {
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  ScreenVertex line[2] = {{2, 3, 0, 1, 0xFFFFFFFF}, {6, 3, 0, 1, 0xFFFFFFFF}};
  device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(ScreenVertex)), D3D_OK);
  for (int x = 2; x <= 6; ++x) ExpectNear(BackPixel(x, 3), {255, 255, 255, 0}, 0, "on the line");
  ExpectNear(BackPixel(1, 3), {0, 0, 0, 0}, 0, "before");
  ExpectNear(BackPixel(7, 3), {0, 0, 0, 0}, 0, "after");
}

// A lit, textured, depth-tested quad: N.L = cos 60 gives half the texel colour; the texture's
// quarters keep their places; a nearer unlit quad drawn first stays in front.
TEST_F(DeviceTest, LitTexturedDepthTestedQuad) {
  IDirect3DTexture9* texture = MakeTexture(
      2, 2, {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu});  // red green / blue white
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  SetCamera();

  // Nearer quad over the bottom-right corner, unlit, vertex colour yellow.
  struct ColorVertex {
    float x, y, z;
    D3DCOLOR c;
  };
  const D3DCOLOR yellow = D3DCOLOR_XRGB(255, 255, 0);
  ColorVertex near[4] = {{0.5f, -2, 4, yellow}, {0.5f, -0.5f, 4, yellow},
                         {2, -2, 4, yellow}, {2, -0.5f, 4, yellow}};
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, near, sizeof(ColorVertex)), D3D_OK);

  device->SetRenderState(D3DRS_LIGHTING, TRUE);
  D3DMATERIAL9 material{};
  material.Diffuse = {1, 1, 1, 1};
  device->SetMaterial(&material);
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1, 1, 1, 1};
  light.Direction = {0, -0.8660254f, 0.5f};  // travel; towards the light is 60 degrees off -z
  device->SetLight(0, &light);
  device->LightEnable(0, TRUE);
  device->SetTexture(0, texture);
  // Quad at z = 5 facing the camera (normal -z), corners at +-1.5: top-left has v = 0.
  const float e = 1.5f;
  LitVertex quad[6] = {{-e, e, 5, 0, 0, -1, 0, 0}, {e, e, 5, 0, 0, -1, 1, 0},
                       {-e, -e, 5, 0, 0, -1, 0, 1}, {e, e, 5, 0, 0, -1, 1, 0},
                       {e, -e, 5, 0, 0, -1, 1, 1},  {-e, -e, 5, 0, 0, -1, 0, 1}};
  device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
  ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad, sizeof(LitVertex)), D3D_OK);

  ExpectNear(BackPixel(20, 20), {128, 0, 0, 0}, 2, "top left: red x 0.5");
  ExpectNear(BackPixel(44, 20), {0, 128, 0, 0}, 2, "top right: green x 0.5");
  ExpectNear(BackPixel(20, 28), {128, 0, 0, 0}, 2, "still red above the middle");
  ExpectNear(BackPixel(20, 44), {0, 0, 128, 0}, 2, "bottom left: blue x 0.5");
  ExpectNear(BackPixel(50, 50), {255, 255, 0, 0}, 0, "the nearer quad stays in front");
  ExpectNear(BackPixel(2, 2), {0, 0, 0, 0}, 0, "outside");
  texture->Release();
}

TEST_F(DeviceTest, CullingFollowsDirect3DWinding) {
  SetCamera();
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  struct ColorVertex {
    float x, y, z;
    D3DCOLOR c;
  };
  const D3DCOLOR white = 0xFFFFFFFF;
  ColorVertex clockwise[3] = {{-2, 2, 5, white}, {2, 2, 5, white}, {-2, -2, 5, white}};
  ColorVertex counter[3] = {{-2, 2, 5, white}, {-2, -2, 5, white}, {2, 2, 5, white}};
  device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  struct Case {
    DWORD cull;
    const ColorVertex* triangle;
    bool drawn;
  } cases[] = {{D3DCULL_CCW, clockwise, true}, {D3DCULL_CCW, counter, false},
               {D3DCULL_CW, clockwise, false}, {D3DCULL_CW, counter, true},
               {D3DCULL_NONE, clockwise, true}, {D3DCULL_NONE, counter, true}};
  for (const Case& c : cases) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    device->SetRenderState(D3DRS_CULLMODE, c.cull);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, c.triangle, sizeof(ColorVertex));
    EXPECT_EQ(BackPixel(24, 24).r, c.drawn ? 255 : 0) << "cull " << c.cull;
  }
}

TEST_F(DeviceTest, AlphaBlendingMixesSourceOverDestination) {
  device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 255, 0), 1.0f, 0);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  FillRectRhw(0, 0, 32, 32, D3DCOLOR_ARGB(128, 255, 255, 255));
  ExpectNear(BackPixel(10, 10), {128, 255, 128, 0}, 1, "blended");
  ExpectNear(BackPixel(40, 40), {0, 255, 0, 0}, 0, "untouched");
}

// Row 0 of a render target is its top row, in the texels and when drawn back.
TEST_F(DeviceTest, RenderToTextureKeepsTheTopRowOnTop) {
  IDirect3DTexture9* target = nullptr;
  ASSERT_EQ(device->CreateTexture(kSize, kSize, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                  D3DPOOL_DEFAULT, &target, nullptr),
            D3D_OK);
  IDirect3DSurface9* back = nullptr;
  IDirect3DSurface9* surface = nullptr;
  device->GetRenderTarget(0, &back);
  target->GetSurfaceLevel(0, &surface);
  ASSERT_EQ(device->SetRenderTarget(0, surface), D3D_OK);
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(0, 0, 255), 1, 0);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  FillRectRhw(0, 0, 32, 16, D3DCOLOR_XRGB(255, 0, 0));
  ExpectNear(PixelOf(surface, 5, 5), {255, 0, 0, 0}, 0, "texel row 5 is near the top");
  ExpectNear(PixelOf(surface, 5, 60), {0, 0, 255, 0}, 0, "bottom rows are the clear colour");

  // The same through a perspective draw: world +y is up on the target too.
  SetCamera();
  struct ColorVertex {
    float x, y, z;
    D3DCOLOR c;
  };
  const D3DCOLOR green = D3DCOLOR_XRGB(0, 255, 0);
  ColorVertex upper[4] = {{-1, 1, 5, green}, {-1, 2, 5, green}, {1, 1, 5, green}, {1, 2, 5, green}};
  device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, upper, sizeof(ColorVertex));
  ExpectNear(PixelOf(surface, 32, 10), {0, 255, 0, 0}, 0, "upper quad in the upper half");

  ASSERT_EQ(device->SetRenderTarget(0, back), D3D_OK);
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1, 0);
  ScreenVertexTex full[4] = {{-0.5f, kSize - 0.5f, 0, 1, 0xFFFFFFFF, 0, 1},
                             {-0.5f, -0.5f, 0, 1, 0xFFFFFFFF, 0, 0},
                             {kSize - 0.5f, kSize - 0.5f, 0, 1, 0xFFFFFFFF, 1, 1},
                             {kSize - 0.5f, -0.5f, 0, 1, 0xFFFFFFFF, 1, 0}};
  device->SetTexture(0, target);
  device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, full, sizeof(ScreenVertexTex));
  device->SetTexture(0, nullptr);
  ExpectNear(BackPixel(5, 5), {255, 0, 0, 0}, 0, "drawn back: red on top");
  ExpectNear(BackPixel(5, 60), {0, 0, 255, 0}, 0, "drawn back: blue below");
  ExpectNear(BackPixel(32, 10), {0, 255, 0, 0}, 0, "drawn back: green quad");
  surface->Release();
  back->Release();
  target->Release();
}

TEST_F(DeviceTest, DepthIsDirect3DsZOverW) {
  // A pre-transformed vertex's z goes straight to the depth test: z 0.5 passes under a clear
  // of 0.6 and fails under 0.4.
  struct Case {
    float clearDepth;
    bool drawn;
  } cases[] = {{0.6f, true}, {0.4f, false}};
  for (const Case& c : cases) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, c.clearDepth, 0);
    ScreenVertex v[4] = {{-0.5f, 9.5f, 0.5f, 1, 0xFFFFFFFF}, {-0.5f, -0.5f, 0.5f, 1, 0xFFFFFFFF},
                         {9.5f, 9.5f, 0.5f, 1, 0xFFFFFFFF}, {9.5f, -0.5f, 0.5f, 1, 0xFFFFFFFF}};
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex));
    EXPECT_EQ(BackPixel(4, 4).r, c.drawn ? 255 : 0) << c.clearDepth;
  }
  // A perspective draw at the far plane's middle: stored depth follows D3D's 0..1 range, so a
  // quad at z = 50 (depth ~0.9899) is hidden by a clear to 0.98 and shown under 0.995.
  SetCamera();
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  struct ColorVertex {
    float x, y, z;
    D3DCOLOR c;
  };
  ColorVertex quad[4] = {{-40, 40, 50, 0xFFFFFFFF}, {-40, -40, 50, 0xFFFFFFFF},
                         {40, 40, 50, 0xFFFFFFFF}, {40, -40, 50, 0xFFFFFFFF}};
  device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  for (const Case& c : {Case{0.995f, true}, Case{0.98f, false}}) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, c.clearDepth, 0);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ColorVertex));
    EXPECT_EQ(BackPixel(32, 32).r, c.drawn ? 255 : 0) << c.clearDepth;
  }
}

TEST_F(DeviceTest, StatesStartAtDirect3DDefaultsAndResetReturnsThem) {
  struct Case {
    D3DRENDERSTATETYPE state;
    DWORD value;
  } defaults[] = {{D3DRS_ZENABLE, D3DZB_TRUE},        {D3DRS_LIGHTING, TRUE},
                  {D3DRS_CULLMODE, D3DCULL_CCW},      {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
                  {D3DRS_SRCBLEND, D3DBLEND_ONE},     {D3DRS_DESTBLEND, D3DBLEND_ZERO},
                  {D3DRS_ALPHABLENDENABLE, FALSE},    {D3DRS_AMBIENT, 0},
                  {D3DRS_COLORVERTEX, TRUE},          {D3DRS_LOCALVIEWER, TRUE},
                  {D3DRS_LASTPIXEL, TRUE},            {D3DRS_STENCILMASK, 0xFFFFFFFFu},
                  {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1}};
  auto check = [&](const char* when) {
    for (const Case& c : defaults) {
      DWORD value = 12345;
      device->GetRenderState(c.state, &value);
      EXPECT_EQ(value, c.value) << when << " state " << c.state;
    }
    DWORD v = 0;
    device->GetTextureStageState(0, D3DTSS_ALPHAOP, &v);
    EXPECT_EQ(v, DWORD(D3DTOP_SELECTARG1)) << when;
    device->GetTextureStageState(1, D3DTSS_COLOROP, &v);
    EXPECT_EQ(v, DWORD(D3DTOP_DISABLE)) << when;
    device->GetSamplerState(0, D3DSAMP_MINFILTER, &v);
    EXPECT_EQ(v, DWORD(D3DTEXF_POINT)) << when;
    device->GetSamplerState(3, D3DSAMP_ADDRESSU, &v);
    EXPECT_EQ(v, DWORD(D3DTADDRESS_WRAP)) << when;
  };
  check("at creation");
  for (const Case& c : defaults) device->SetRenderState(c.state, c.value + 7);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(3, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = 32;
  pp.BackBufferHeight = 16;
  pp.Windowed = TRUE;
  pp.EnableAutoDepthStencil = TRUE;
  pp.AutoDepthStencilFormat = D3DFMT_D24S8;
  ASSERT_EQ(device->Reset(&pp), D3D_OK);
  check("after Reset");
  D3DVIEWPORT9 vp{};
  device->GetViewport(&vp);
  EXPECT_EQ(vp.Width, 32u);
  EXPECT_EQ(vp.Height, 16u);
}

TEST_F(DeviceTest, ResetIsRefusedWhileADefaultPoolObjectLives) {
  IDirect3DVertexBuffer9* vb = nullptr;
  ASSERT_EQ(device->CreateVertexBuffer(64, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0x112,
                                       D3DPOOL_DEFAULT, &vb, nullptr),
            D3D_OK);
  device->SetStreamSource(0, vb, 0, 32);  // what the device binds does not count
  D3DPRESENT_PARAMETERS pp{};
  pp.Windowed = TRUE;
  pp.EnableAutoDepthStencil = TRUE;
  EXPECT_EQ(device->Reset(&pp), D3DERR_INVALIDCALL);
  vb->Release();
  EXPECT_EQ(device->Reset(&pp), D3D_OK);
  EXPECT_EQ(pp.BackBufferWidth, UINT(kSize));  // 0 means the client size
}

TEST_F(DeviceTest, ForcedLossReportsLostThenNotReset) {
  EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
  d3d9gl::ForceDeviceLoss(2);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
  EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
  EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  D3DPRESENT_PARAMETERS pp{};
  pp.Windowed = TRUE;
  pp.EnableAutoDepthStencil = TRUE;
  ASSERT_EQ(device->Reset(&pp), D3D_OK);
  EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

TEST_F(DeviceTest, StateBlockCapturesAndRestoresEverything) {
  IDirect3DTexture9* texture = MakeTexture(1, 1, {0xFFFFFFFFu});
  D3DMATRIX world{};
  world._11 = 2;
  world._22 = world._33 = world._44 = 1;
  device->SetTransform(D3DTS_WORLD, &world);
  device->SetTexture(2, texture);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetFVF(0x112);
  IDirect3DStateBlock9* block = nullptr;
  ASSERT_EQ(device->CreateStateBlock(D3DSBT_ALL, &block), D3D_OK);

  D3DMATRIX other{};
  device->SetTransform(D3DTS_WORLD, &other);
  device->SetTexture(2, nullptr);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
  device->SetFVF(0x44);
  ASSERT_EQ(block->Apply(), D3D_OK);
  block->Release();

  D3DMATRIX got{};
  device->GetTransform(D3DTS_WORLD, &got);
  EXPECT_EQ(got._11, 2.0f);
  IDirect3DBaseTexture9* bound = nullptr;
  device->GetTexture(2, &bound);
  EXPECT_EQ(bound, texture);
  if (bound) bound->Release();
  DWORD value = 0;
  device->GetRenderState(D3DRS_CULLMODE, &value);
  EXPECT_EQ(value, DWORD(D3DCULL_NONE));
  device->GetFVF(&value);
  EXPECT_EQ(value, 0x112u);
  device->SetTexture(2, nullptr);
  texture->Release();
}

TEST_F(DeviceTest, DrawCallsRefuseIndicesOutsideTheVertices) {
  ScreenVertex v[3] = {};
  uint32_t bad32[3] = {0, 1, 99};
  uint16_t bad16[3] = {0, 3, 1};
  device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  EXPECT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, bad32, D3DFMT_INDEX32, v,
                                           sizeof(ScreenVertex)),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, bad16, D3DFMT_INDEX16, v,
                                           sizeof(ScreenVertex)),
            D3DERR_INVALIDCALL);
  // A vertex buffer too short for the draw is refused too.
  IDirect3DVertexBuffer9* vb = nullptr;
  device->CreateVertexBuffer(40, 0, 0x44, D3DPOOL_MANAGED, &vb, nullptr);
  device->SetStreamSource(0, vb, 0, 20);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_LINELIST, 0, 1), D3D_OK);
  device->SetStreamSource(0, nullptr, 0, 0);
  vb->Release();
}

TEST_F(DeviceTest, IndexedDrawsFromBuffersWith16And32BitIndices) {
  for (D3DFORMAT format : {D3DFMT_INDEX16, D3DFMT_INDEX32}) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1, 0);
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_TRUE(MakeQuadBuffers(16, 0xFFFF00FF, format, D3DPOOL_MANAGED, &vb, &ib));
    device->SetFVF(0x44);
    device->SetStreamSource(0, vb, 0, sizeof(ScreenVertex));
    device->SetIndices(ib);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    ExpectNear(BackPixel(8, 8), {255, 0, 255, 0}, 0, "indexed quad");
    ExpectNear(BackPixel(16, 8), {0, 0, 0, 0}, 0, "outside");
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
    vb->Release();
    ib->Release();
  }
}

// What the device still binds stays usable after the program let go of it, but neither it nor
// the device keeps the other alive: releasing the device last frees everything.
TEST_F(DeviceTest, ObjectsLeftBoundNeitherVanishNorKeepTheDeviceAlive) {
  IDirect3DTexture9* texture = MakeTexture(1, 1, {0xFFFFFFFFu});
  IDirect3DTexture9* target = nullptr;
  ASSERT_EQ(device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                  D3DPOOL_DEFAULT, &target, nullptr),
            D3D_OK);
  IDirect3DSurface9* surface = nullptr;
  ASSERT_EQ(target->GetSurfaceLevel(0, &surface), D3D_OK);
  IDirect3DVertexBuffer9* vb = nullptr;
  IDirect3DIndexBuffer9* ib = nullptr;
  ASSERT_TRUE(MakeQuadBuffers(8, 0xFF00FF00, D3DFMT_INDEX32, D3DPOOL_DEFAULT, &vb, &ib));

  device->SetTexture(0, texture);
  device->SetStreamSource(0, vb, 0, sizeof(ScreenVertex));
  device->SetIndices(ib);
  device->SetFVF(0x44);
  ASSERT_EQ(device->SetRenderTarget(0, surface), D3D_OK);
  IDirect3DStateBlock9* block = nullptr;
  ASSERT_EQ(device->CreateStateBlock(D3DSBT_ALL, &block), D3D_OK);
  EXPECT_EQ(block->Release(), 0u);
  EXPECT_EQ(texture->Release(), 0u);
  EXPECT_EQ(surface->Release(), 0u);
  EXPECT_EQ(target->Release(), 0u);
  EXPECT_EQ(vb->Release(), 0u);
  EXPECT_EQ(ib->Release(), 0u);

  // The bound buffers and target still draw.
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1, 0);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
  IDirect3DSurface9* current = nullptr;
  ASSERT_EQ(device->GetRenderTarget(0, &current), D3D_OK);
  ExpectNear(PixelOf(current, 4, 4), {0, 255, 0, 0}, 0, "drawn into the released target");
  // A reference handed out again holds the device again.
  EXPECT_EQ(device->AddRef(), 3u);
  EXPECT_EQ(device->Release(), 2u);
  EXPECT_EQ(current->Release(), 0u);

  EXPECT_EQ(device->Release(), 0u);
  device = nullptr;
}

TEST_F(DeviceTest, TexturesKeepExactNonPowerOfTwoSizesAndBgraTexels) {
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(device->CreateTexture(640, 320, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr),
            D3D_OK);
  D3DSURFACE_DESC desc{};
  t->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Width, 640u);
  EXPECT_EQ(desc.Height, 320u);
  EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(t->LockRect(0, &locked, nullptr, 0), D3D_OK);
  EXPECT_GE(locked.Pitch, 640 * 4);
  uint8_t* row = static_cast<uint8_t*>(locked.pBits);
  uint32_t word = 0x80102030u;
  std::memcpy(row, &word, 4);
  EXPECT_EQ(row[0], 0x30);  // B
  EXPECT_EQ(row[1], 0x20);  // G
  EXPECT_EQ(row[2], 0x10);  // R
  EXPECT_EQ(row[3], 0x80);  // A
  t->UnlockRect(0);
  t->Release();
}

TEST_F(DeviceTest, UnboundTextureActsAsWhiteAndVertexColourFeedsLitDiffuse) {
  SetCamera();
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1, 0);
  D3DMATERIAL9 material{};
  material.Diffuse = {0, 0, 0, 1};  // replaced by the vertex colour
  device->SetMaterial(&material);
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1, 1, 1, 1};
  light.Direction = {0, 0, 1};
  device->SetLight(0, &light);
  device->LightEnable(0, TRUE);
  struct NormalColorVertex {  // FVF 0x52
    float x, y, z, nx, ny, nz;
    D3DCOLOR c;
  };
  const D3DCOLOR c = D3DCOLOR_XRGB(200, 100, 50);
  NormalColorVertex quad[4] = {{-2, 2, 5, 0, 0, -1, c}, {2, 2, 5, 0, 0, -1, c},
                               {-2, -2, 5, 0, 0, -1, c}, {2, -2, 5, 0, 0, -1, c}};
  device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE);
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(NormalColorVertex));
  ExpectNear(BackPixel(32, 32), {200, 100, 50, 0}, 2, "vertex colour, fully lit");
}

TEST_F(DeviceTest, PresentStretchesTheBackBufferWithoutFailing) {
  device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(1, 2, 3), 1, 0);
  ASSERT_TRUE(ResizeGLTestWindow(window, 128, 96));
  EXPECT_EQ(device->Present(nullptr, nullptr, window, nullptr), D3D_OK);
  // The back buffer keeps its size until Reset.
  IDirect3DSurface9* back = nullptr;
  device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
  D3DSURFACE_DESC desc{};
  back->GetDesc(&desc);
  EXPECT_EQ(desc.Width, UINT(kSize));
  back->Release();
}

// Golden image: a lit textured quad, a nearer unlit quad, a blended rectangle, a line and
// point sprites, against tests/data/golden/device_scene.png with +-3 per channel and no pixel
// beyond it.
TEST_F(DeviceTest, GoldenSceneMatchesTheReference) {
  IDirect3DTexture9* texture = MakeTexture(
      4, 4, {0xFFFF0000u, 0xFFFF0000u, 0xFF00FF00u, 0xFF00FF00u, 0xFFFF0000u, 0xFFFF0000u,
             0xFF00FF00u, 0xFF00FF00u, 0xFF0000FFu, 0xFF0000FFu, 0xFFFFFFFFu, 0xFFFFFFFFu,
             0xFF0000FFu, 0xFF0000FFu, 0xFFFFFFFFu, 0xFFFFFFFFu});
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(30, 30, 40), 1, 0);
  SetCamera();
  D3DXMATRIX world;
  D3DXMatrixRotationZ(&world, 0.3f);
  device->SetTransform(D3DTS_WORLD, &world);
  D3DMATERIAL9 material{};
  material.Diffuse = {1, 1, 1, 1};
  material.Ambient = {1, 1, 1, 1};
  device->SetMaterial(&material);
  device->SetRenderState(D3DRS_AMBIENT, D3DCOLOR_XRGB(40, 40, 40));
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1, 1, 1, 1};
  light.Direction = {0.3f, -0.5f, 0.8f};
  device->SetLight(0, &light);
  device->LightEnable(0, TRUE);
  device->SetTexture(0, texture);
  device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  LitVertex quad[4] = {{-1.5f, -1.5f, 6, 0, 0, -1, 0, 1}, {-1.5f, 1.5f, 6, 0, 0, -1, 0, 0},
                       {1.5f, -1.5f, 6, 0, 0, -1, 1, 1}, {1.5f, 1.5f, 6, 0, 0, -1, 1, 0}};
  device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(LitVertex));
  device->SetTexture(0, nullptr);
  D3DXMatrixIdentity(&world);
  device->SetTransform(D3DTS_WORLD, &world);

  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  struct ColorVertex {
    float x, y, z;
    D3DCOLOR c;
  };
  ColorVertex near[4] = {{0.2f, -1.8f, 5, 0xFFFFFF00u}, {0.2f, -0.2f, 5, 0xFFFF8000u},
                         {1.8f, -1.8f, 5, 0xFF00FFFFu}, {1.8f, -0.2f, 5, 0xFFFF00FFu}};
  device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, near, sizeof(ColorVertex));

  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  FillRectRhw(4, 40, 30, 60, D3DCOLOR_ARGB(128, 255, 255, 255));
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  ScreenVertex line[2] = {{2, 2, 0, 1, 0xFF00FF00u}, {40, 12, 0, 1, 0xFF00FF00u}};
  device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  device->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(ScreenVertex));
  struct SpriteVertex {  // FVF 0x64
    float x, y, z, rhw, size;
    D3DCOLOR c;
  };
  SpriteVertex sprites[2] = {{50, 8, 0, 1, 6, 0xFFFFFFFFu}, {56, 20, 0, 1, 10, 0xFFFF0000u}};
  device->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
  device->SetRenderState(D3DRS_ZENABLE, FALSE);
  device->SetFVF(D3DFVF_XYZRHW | D3DFVF_PSIZE | D3DFVF_DIFFUSE);
  device->DrawPrimitiveUP(D3DPT_POINTLIST, 2, sprites, sizeof(SpriteVertex));
  device->SetRenderState(D3DRS_POINTSPRITEENABLE, FALSE);
  device->SetRenderState(D3DRS_ZENABLE, TRUE);
  texture->Release();

  int width = 0, height = 0;
  std::vector<uint32_t> pixels = testing_support::ReadBackBuffer(device, &width, &height);
  ASSERT_EQ(width, kSize);
  ASSERT_EQ(height, kSize);
  testing_support::ExpectMatchesGolden("device_scene.png", pixels, width, height, {3, 0});
}

TEST(Direct3DObject, CapsAndTheTestSeamRefusals) {
  d3d9gl::TestOptions options;
  options.refuseHal = true;
  options.refuseMultisample2 = true;
  options.noStencilFormats = true;
  d3d9gl::SetTestOptions(options);
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(d3d, nullptr);
  EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, TRUE),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, TRUE),
            D3D_OK);
  EXPECT_NE(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, TRUE,
                                            D3DMULTISAMPLE_2_SAMPLES, nullptr),
            D3D_OK);
  EXPECT_NE(d3d->CheckDeviceFormat(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL,
                                   D3DRTYPE_SURFACE, D3DFMT_D24S8),
            D3D_OK);
  EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL,
                                   D3DRTYPE_SURFACE, D3DFMT_D24X8),
            D3D_OK);
  D3DCAPS9 caps{};
  ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_REF, &caps), D3D_OK);
  EXPECT_GT(caps.MaxVertexIndex, 0xFFFFu);
  EXPECT_TRUE(caps.FVFCaps & D3DFVFCAPS_PSIZE);
  d3d->Release();
  d3d9gl::SetTestOptions(d3d9gl::TestOptions());
  EXPECT_EQ(D3DGetFVFVertexSize(0x112), 32u);
  EXPECT_EQ(D3DGetFVFVertexSize(0x144), 28u);
  EXPECT_EQ(D3DGetFVFVertexSize(0x64), 24u);
  EXPECT_EQ(D3DGetFVFVertexSize(0x52), 28u);
}

}  // namespace
