// cGraphics and cRenderer on the GL stand-in: creation fall-backs, the device-loss sequence end
// to end through the test seam, the material cache, render to texture, screenshots.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/shell_display.h"
#include "graphics/graphics.h"
#include "graphics/renderer.h"
#include "graphics/texture.h"
#include "platform/d3dx9_image.h"
#include "platform/gl_window.h"
#include "support/gl_test_support.h"
#include "support/test_support.h"

namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 64;

std::vector<DWORD> sleeps;
void RecordSleep(DWORD ms) { sleeps.push_back(ms); }

std::vector<std::string> events;

class RecordingListener : public cEventListener {
 public:
  explicit RecordingListener(std::string name) : name_(std::move(name)) {}
  bool OnLostDevice() override {
    events.push_back(name_ + " lost");
    return true;
  }
  bool OnResetDevice() override {
    events.push_back(name_ + " reset");
    return true;
  }

 private:
  std::string name_;
};

class GraphicsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    d3d9gl::SetTestOptions(d3d9gl::TestOptions());
    d3d9gl::ResetCallCounts();
    sleeps.clear();
    events.clear();
    SetGraphicsSleepForTesting(RecordSleep);
    graphics = testing_support::CreateTestGraphics(kWidth, kHeight);
    ASSERT_NE(graphics, nullptr);
  }
  void TearDown() override {
    testing_support::DestroyTestGraphics(graphics);
    SetGraphicsSleepForTesting(nullptr);
    d3d9gl::SetTestOptions(d3d9gl::TestOptions());
  }

  cGraphics* graphics = nullptr;
};

using testing_support::BackBufferPixel;
using RgbaPixel = testing_support::Rgb;

TEST_F(GraphicsTest, InitMakesTheDeviceWithTheDefaultStates) {
  ASSERT_TRUE(graphics->Init());
  ASSERT_NE(graphics->device, nullptr);
  EXPECT_NE(graphics->sprite, nullptr);
  EXPECT_TRUE(graphics->hardwareDevice);
  EXPECT_TRUE(graphics->hasStencil);
  EXPECT_EQ(graphics->multisampleType, D3DMULTISAMPLE_2_SAMPLES);
  EXPECT_EQ(graphics->targetWidth, kWidth);
  EXPECT_EQ(graphics->targetHeight, kHeight);
  EXPECT_GT(graphics->caps.MaxVertexIndex, 0xFFFFu);
  DWORD v = 0;
  graphics->device->GetRenderState(D3DRS_ALPHABLENDENABLE, &v);
  EXPECT_EQ(v, DWORD(TRUE));
  graphics->device->GetRenderState(D3DRS_AMBIENT, &v);
  EXPECT_EQ(v, 0xFF343434u);
  graphics->device->GetSamplerState(0, D3DSAMP_MINFILTER, &v);
  EXPECT_EQ(v, DWORD(D3DTEXF_LINEAR));
  D3DMATRIX projection{};
  graphics->device->GetTransform(D3DTS_PROJECTION, &projection);
  EXPECT_NEAR(projection._22, 1.0f / std::tan(3.14159265f / 8), 1e-4);
  EXPECT_NEAR(projection._11, projection._22 * kHeight / kWidth, 1e-4);
  EXPECT_EQ(graphics->GetCullMode(), 3);
}

// Each refusal of the adapter leads to the next choice of the chain, or to a clean failure.
TEST_F(GraphicsTest, CreationFallBacks) {
  struct Case {
    const char* what;
    d3d9gl::TestOptions options;
    bool initOk;
    bool hardware;
    bool stencil;
    D3DMULTISAMPLE_TYPE samples;
  };
  auto options = [](auto change) {
    d3d9gl::TestOptions o;
    change(o);
    return o;
  };
  const Case cases[] = {
      {"no HAL: reference device", options([](auto& o) { o.refuseHal = true; }), true, false,
       true, D3DMULTISAMPLE_2_SAMPLES},
      {"no 2 samples: 1", options([](auto& o) { o.refuseMultisample2 = true; }), true, true, true,
       D3DMULTISAMPLE_NONMASKABLE},
      {"no stencil format", options([](auto& o) { o.noStencilFormats = true; }), true, true,
       false, D3DMULTISAMPLE_2_SAMPLES},
      {"no hardware vertex processing",
       options([](auto& o) { o.refuseCreateFlags = D3DCREATE_HARDWARE_VERTEXPROCESSING; }), true,
       true, true, D3DMULTISAMPLE_2_SAMPLES},
      {"no vertex processing at all",
       options([](auto& o) {
         o.refuseCreateFlags = D3DCREATE_HARDWARE_VERTEXPROCESSING |
                               D3DCREATE_MIXED_VERTEXPROCESSING |
                               D3DCREATE_SOFTWARE_VERTEXPROCESSING;
       }),
       false, false, false, D3DMULTISAMPLE_NONE},
      {"neither HAL nor REF", options([](auto& o) { o.refuseHal = o.refuseRef = true; }), false,
       false, false, D3DMULTISAMPLE_NONE},
      {"no Direct3D", options([](auto& o) { o.failDirect3DCreate = true; }), false, false, false,
       D3DMULTISAMPLE_NONE},
  };
  for (const Case& c : cases) {
    d3d9gl::SetTestOptions(c.options);
    d3d9gl::ResetCallCounts();
    cGraphics g;
    ASSERT_EQ(g.Init(), c.initOk) << c.what;
    if (!c.initOk) {
      EXPECT_EQ(g.device, nullptr) << c.what;
      EXPECT_EQ(g.d3d, nullptr) << c.what;
      EXPECT_FALSE(g.BeginFrame(0)) << c.what;
      continue;
    }
    EXPECT_EQ(g.hardwareDevice, c.hardware) << c.what;
    EXPECT_EQ(g.hasStencil, c.stencil) << c.what;
    EXPECT_EQ(g.multisampleType, c.samples) << c.what;
    if (c.options.refuseCreateFlags) {
      EXPECT_EQ(d3d9gl::GetCallCounts().createDevice, 2) << c.what;
    }
    // Frames still clear and draw without a stencil buffer.
    EXPECT_TRUE(g.BeginFrame(D3DCOLOR_XRGB(9, 8, 7))) << c.what;
    EXPECT_TRUE(g.EndFrame(false)) << c.what;
    RgbaPixel p = BackBufferPixel(g.device, 3, 3);
    EXPECT_EQ(p.r, 9) << c.what;
  }
}

TEST_F(GraphicsTest, InitWithoutMainWindowFails) {
  HWND saved = MainWindow;
  MainWindow = nullptr;
  EXPECT_FALSE(graphics->Init());
  MainWindow = saved;
}

TEST_F(GraphicsTest, SetMaterialTwiceMakesNoSecondDeviceCall) {
  ASSERT_TRUE(graphics->Init());
  sMaterial m;
  m.material.Diffuse = {0.5f, 0.25f, 1.0f, 1.0f};
  m.material.Power = 10.0f;
  d3d9gl::ResetCallCounts();
  ASSERT_TRUE(graphics->SetMaterial(&m));
  EXPECT_EQ(d3d9gl::GetCallCounts().setMaterial, 1);
  int statesAfterFirst = d3d9gl::GetCallCounts().setRenderState +
                         d3d9gl::GetCallCounts().setTextureStageState;
  ASSERT_TRUE(graphics->SetMaterial(&m));
  EXPECT_EQ(d3d9gl::GetCallCounts().setMaterial, 1);
  EXPECT_EQ(d3d9gl::GetCallCounts().setRenderState + d3d9gl::GetCallCounts().setTextureStageState,
            statesAfterFirst);
  // Only the shade mode changed: one render state, no material.
  m.shadeMode = 1;
  ASSERT_TRUE(graphics->SetMaterial(&m));
  EXPECT_EQ(d3d9gl::GetCallCounts().setMaterial, 1);
  DWORD shade = 0;
  graphics->device->GetRenderState(D3DRS_SHADEMODE, &shade);
  EXPECT_EQ(shade, DWORD(D3DSHADE_FLAT));
  DWORD alphaOp = 0;
  graphics->device->GetTextureStageState(0, D3DTSS_ALPHAOP, &alphaOp);
  EXPECT_EQ(alphaOp, DWORD(D3DTOP_MODULATE));  // specular and ambient alphas are 0, not 1
}

TEST_F(GraphicsTest, PackedMaterialColoursAndPower) {
  sMaterial m;
  m.material.Diffuse = {1.0f, 0.5f, 0.0f, 1.0f};
  EXPECT_EQ(m.GetDiffuseARGB(), 0xFFFF8000u);
  sMaterial::SetPower(&m, 300.0f);
  EXPECT_EQ(m.material.Power, 128.0f);
  sMaterial::SetPower(&m, -1.0f);
  EXPECT_EQ(m.material.Power, 0.0f);
}

TEST_F(GraphicsTest, ListenerListsRefuseNullsDuplicatesAndUnknowns) {
  RecordingListener a("a");
  EXPECT_FALSE(graphics->RemoveLostListener(&a));  // both lists empty
  EXPECT_FALSE(graphics->AddDeviceListener(true, nullptr));
  EXPECT_TRUE(graphics->AddDeviceListener(true, &a));
  EXPECT_FALSE(graphics->AddDeviceListener(true, &a));
  EXPECT_TRUE(graphics->AddDeviceListener(false, &a));
  EXPECT_TRUE(graphics->RemoveLostListener(&a));
  EXPECT_FALSE(graphics->RemoveLostListener(&a));
  EXPECT_TRUE(graphics->RemoveResetListener(&a));
}

// Present reports loss; frames are refused with a 50 ms sleep each while the device stays lost;
// then the lost listeners, the reset and the reset listeners run in order and drawing resumes.
TEST_F(GraphicsTest, DeviceLossSequenceEndToEnd) {
  ASSERT_TRUE(graphics->Init());
  RecordingListener first("first"), second("second");
  cRenderer renderer;
  ASSERT_TRUE(renderer.Attach(graphics));
  ASSERT_TRUE(renderer.CreateVertexBuffer(384, 0, 0x112));
  graphics->AddDeviceListener(true, &first);
  graphics->AddDeviceListener(true, &second);
  graphics->AddDeviceListener(false, &first);
  graphics->AddDeviceListener(false, &second);
  static int layouts = 0;
  layouts = 0;
  graphics->onDeviceReset = [] {
    ++layouts;
    events.push_back("layout");
  };
  // A frame presents and finds the device lost.
  d3d9gl::ForceDeviceLoss(3);
  ASSERT_TRUE(graphics->BeginFrame(0));
  ASSERT_TRUE(graphics->EndFrame(true));
  EXPECT_TRUE(graphics->deviceLost);

  for (int frame = 0; frame < 3; ++frame) EXPECT_FALSE(graphics->BeginFrame(0)) << frame;
  EXPECT_EQ(sleeps, (std::vector<DWORD>{50, 50, 50}));
  EXPECT_TRUE(events.empty());

  // The device can be reset now.
  ASSERT_TRUE(graphics->BeginFrame(D3DCOLOR_XRGB(0, 0, 80)));
  EXPECT_FALSE(graphics->deviceLost);
  EXPECT_EQ(sleeps.size(), 3u);
  EXPECT_EQ(events, (std::vector<std::string>{"first lost", "second lost", "first reset",
                                               "second reset", "layout"}));
  EXPECT_EQ(layouts, 1);
  ASSERT_NE(renderer.vertexBuffer, nullptr);  // remade with the same length
  D3DVERTEXBUFFER_DESC desc{};
  renderer.vertexBuffer->GetDesc(&desc);
  EXPECT_EQ(desc.Size, 384u);
  EXPECT_EQ(renderer.indexBuffer, nullptr);  // never made, so not remade

  // Defaults are back and drawing works.
  DWORD v = 0;
  graphics->device->GetRenderState(D3DRS_AMBIENT, &v);
  EXPECT_EQ(v, 0xFF343434u);
  sScreenVertex quad[4] = {{-0.5f, 9.5f, 0, 1, 0xFFFF0000}, {-0.5f, -0.5f, 0, 1, 0xFFFF0000},
                           {9.5f, 9.5f, 0, 1, 0xFFFF0000}, {9.5f, -0.5f, 0, 1, 0xFFFF0000}};
  graphics->device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  EXPECT_EQ(graphics->device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(sScreenVertex)),
            D3D_OK);
  ASSERT_TRUE(graphics->EndFrame(true));
  RgbaPixel inside = BackBufferPixel(graphics->device, 4, 4);
  RgbaPixel outside = BackBufferPixel(graphics->device, 40, 40);
  EXPECT_EQ(inside.r, 255);
  EXPECT_EQ(outside.b, 80);
  graphics->RemoveLostListener(&first);
  graphics->RemoveLostListener(&second);
  graphics->RemoveResetListener(&first);
  graphics->RemoveResetListener(&second);
}

// A listener that cannot release stops the recovery: the frame is refused and retried later.
TEST_F(GraphicsTest, FailingLostListenerKeepsTheDeviceLost) {
  ASSERT_TRUE(graphics->Init());
  class Refusing : public cEventListener {
   public:
    bool OnLostDevice() override { return !refuse; }
    bool refuse = true;
  } refusing;
  graphics->AddDeviceListener(true, &refusing);
  d3d9gl::ForceDeviceLoss(0);
  graphics->Present();
  EXPECT_TRUE(graphics->deviceLost);
  EXPECT_FALSE(graphics->BeginFrame(0));
  EXPECT_EQ(sleeps.size(), 1u);
  refusing.refuse = false;
  EXPECT_TRUE(graphics->BeginFrame(0));
  graphics->EndFrame(false);
  graphics->RemoveLostListener(&refusing);
}

TEST_F(GraphicsTest, RenderTargetTextureAndBack) {
  ASSERT_TRUE(graphics->Init());
  cTexture target;
  ASSERT_EQ(graphics->device->CreateTexture(32, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                            D3DPOOL_DEFAULT, &target.d3dTexture, nullptr),
            D3D_OK);
  ASSERT_TRUE(graphics->SetRenderTargetTexture(&target));
  EXPECT_EQ(graphics->targetWidth, 32);
  EXPECT_EQ(graphics->targetHeight, 16);
  EXPECT_NE(graphics->savedBackBuffer, nullptr);
  graphics->device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 1, 0);  // transparent black
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(target.d3dTexture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(static_cast<uint32_t*>(locked.pBits)[0], 0u);  // real alpha in the target
  target.d3dTexture->UnlockRect(0);
  ASSERT_TRUE(graphics->SetRenderTargetTexture(nullptr));
  EXPECT_EQ(graphics->targetWidth, kWidth);
  EXPECT_EQ(graphics->savedBackBuffer, nullptr);
  EXPECT_EQ(graphics->targetSurface, nullptr);
}

TEST_F(GraphicsTest, SetTextureWritesOnlyDifferingSamplerStates) {
  ASSERT_TRUE(graphics->Init());
  cTexture texture;
  ASSERT_EQ(graphics->device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                            &texture.d3dTexture, nullptr),
            D3D_OK);
  texture.addressU = 4;  // border
  texture.borderColor = 0xFF112233u;
  d3d9gl::ResetCallCounts();
  ASSERT_TRUE(graphics->SetTexture(0, &texture));
  EXPECT_EQ(d3d9gl::GetCallCounts().setSamplerState, 2);  // address U and border colour
  DWORD v = 0;
  graphics->device->GetSamplerState(0, D3DSAMP_BORDERCOLOR, &v);
  EXPECT_EQ(v, 0xFF112233u);
  EXPECT_FALSE(graphics->SetTexture(8, &texture));
  graphics->SetTexture(0, nullptr);
}

TEST_F(GraphicsTest, ScreenshotIsWrittenAndReadsBackTopDown) {
  ASSERT_TRUE(graphics->Init());
  ASSERT_TRUE(graphics->BeginFrame(D3DCOLOR_XRGB(0, 0, 255)));
  sScreenVertex top[4] = {{-0.5f, 9.5f, 0, 1, 0xFFFF0000}, {-0.5f, -0.5f, 0, 1, 0xFFFF0000},
                          {kWidth - 0.5f, 9.5f, 0, 1, 0xFFFF0000},
                          {kWidth - 0.5f, -0.5f, 0, 1, 0xFFFF0000}};
  graphics->device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  graphics->device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, top, sizeof(sScreenVertex));
  ASSERT_TRUE(graphics->EndFrame(false));
  std::string folder = testing_support::MakeTempFolder("screenshot");
  std::string path = testing_support::ToProgramPath(folder + "/shot.png");
  ASSERT_TRUE(graphics->SaveScreenshot(path.c_str(), D3DXIFF_PNG));
  std::vector<uint8_t> bytes = testing_support::ReadHostFile(folder + "/shot.png");
  DecodedImage image;
  ASSERT_TRUE(DecodeImageFromMemory(bytes.data(), bytes.size(), &image));
  ASSERT_EQ(image.width, uint32_t(kWidth));
  ASSERT_EQ(image.height, uint32_t(kHeight));
  EXPECT_EQ(image.argb[5 * kWidth + 5], 0xFFFF0000u);                   // top band red
  EXPECT_EQ(image.argb[(kHeight - 5) * kWidth + 5], 0xFF0000FFu);       // the rest blue
  EXPECT_FALSE(graphics->SaveScreenshot(nullptr, D3DXIFF_PNG));
}

TEST(Renderer, RefusesEverythingUntilAttached) {
  cRenderer renderer;
  EXPECT_FALSE(renderer.CreateVertexBuffer(64, 0, 0x112));
  EXPECT_FALSE(renderer.CreateIndexBuffer(64));
  EXPECT_FALSE(renderer.SupportsIndex32());
  EXPECT_FALSE(renderer.DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1));
  void* data = nullptr;
  EXPECT_FALSE(renderer.LockVertexBuffer(&data));
  EXPECT_FALSE(renderer.Attach(nullptr));
}

TEST_F(GraphicsTest, RendererIndex32SupportFollowsMaxVertexIndex) {
  struct Case {
    UINT maxIndex;
    bool supported;
  } cases[] = {{0xFFFF, false}, {0x10000, true}, {0xFFFFFF, true}};
  for (const Case& c : cases) {
    d3d9gl::TestOptions options;
    options.maxVertexIndex = c.maxIndex;
    d3d9gl::SetTestOptions(options);
    cGraphics g;
    ASSERT_TRUE(g.Init());
    cRenderer renderer;
    renderer.Attach(&g);
    EXPECT_EQ(renderer.SupportsIndex32(), c.supported) << c.maxIndex;
  }
}

TEST_F(GraphicsTest, RendererDrawsIndexedTrianglesAndRemakesBothBuffers) {
  ASSERT_TRUE(graphics->Init());
  cRenderer renderer;
  ASSERT_TRUE(renderer.Attach(graphics));
  ASSERT_TRUE(renderer.CreateVertexBuffer(240, 0, 0x102));
  ASSERT_TRUE(renderer.CreateIndexBuffer(600));
  void* data = nullptr;
  ASSERT_TRUE(renderer.LockVertexBuffer(&data));
  EXPECT_TRUE(renderer.UnlockVertexBuffer());
  EXPECT_TRUE(graphics->Resize());  // loss and reset around a Reset
  ASSERT_NE(renderer.indexBuffer, nullptr);
  D3DINDEXBUFFER_DESC desc{};
  renderer.indexBuffer->GetDesc(&desc);
  EXPECT_EQ(desc.Size, 600u);
  EXPECT_EQ(desc.Format, D3DFMT_INDEX32);

  graphics->device->SetRenderState(D3DRS_LIGHTING, FALSE);
  graphics->device->SetFVF(0x112);
  sVertexNormalTex tri[3] = {{-1, 1, 5, 0, 0, -1, 0, 0}, {1, 1, 5, 0, 0, -1, 0, 0},
                             {-1, -1, 5, 0, 0, -1, 0, 0}};
  uint32_t indices[3] = {0, 1, 2};
  uint32_t bad[3] = {0, 1, 3};
  EXPECT_TRUE(renderer.DrawIndexedTriangles(tri, 3, 1, indices, D3DFMT_INDEX32));
  EXPECT_FALSE(renderer.DrawIndexedTriangles(tri, 3, 1, bad, D3DFMT_INDEX32));
}

}  // namespace
