// D3DX on the GL device: text lands where it is measured, formats align it, clipping holds,
// fonts survive a device reset; sprites nest states and scale; surfaces save and copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/d3dx9.h"
#include "platform/gl_window.h"
#include "support/gl_test_support.h"
#include "support/test_support.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

struct InkBox {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // right, bottom inclusive
  bool empty() const { return right < 0; }
};

class D3DXDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = CreateGLTestWindow(kWidth, kHeight);
    ASSERT_NE(window_, nullptr);
    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
    params_ = D3DPRESENT_PARAMETERS{};
    params_.BackBufferFormat = D3DFMT_X8R8G8B8;
    params_.BackBufferCount = 1;
    params_.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params_.Windowed = TRUE;
    params_.EnableAutoDepthStencil = TRUE;
    params_.AutoDepthStencilFormat = D3DFMT_D24S8;
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_,
                                 D3DCREATE_HARDWARE_VERTEXPROCESSING, &params_, &device_),
              D3D_OK);
  }

  void TearDown() override {
    if (device_ != nullptr) device_->Release();
    if (d3d_ != nullptr) d3d_->Release();
    if (window_ != nullptr) DestroyGLTestWindow(window_);
  }

  void Clear(D3DCOLOR color) {
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, color, 1.0f, 0);
  }

  ID3DXFont* MakeFont(const char* faceUtf8, int height, bool bold) {
    ID3DXFont* font = nullptr;
    const std::string face = Utf8ToCp936(faceUtf8);
    EXPECT_EQ(D3DXCreateFontA(device_, height, 0, bold ? FW_BOLD : 0, D3DX_DEFAULT, FALSE,
                              DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, ANTIALIASED_QUALITY, 0,
                              face.c_str(), &font),
              D3D_OK);
    return font;
  }

  std::vector<uint32_t> ReadBackBuffer() { return testing_support::ReadBackBuffer(device_); }

  // Bounding box of the pixels whose RGB differs from the background.
  static InkBox FindInk(const std::vector<uint32_t>& pixels, uint32_t background) {
    InkBox box;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        if ((pixels[y * kWidth + x] & 0xFFFFFF) != (background & 0xFFFFFF)) {
          box.left = std::min(box.left, x);
          box.top = std::min(box.top, y);
          box.right = std::max(box.right, x);
          box.bottom = std::max(box.bottom, y);
        }
      }
    }
    return box;
  }

  HWND window_ = nullptr;
  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;
  D3DPRESENT_PARAMETERS params_{};
};

// [FONT] --------------------------------------------------------------------------------------
TEST_F(D3DXDeviceTest, TextIsDrawnWhereItIsMeasured) {
  struct Case {
    const char* face;
    int height;
    bool bold;
    const char* textUtf8;
  } cases[] = {
      {"宋体", 14, false, "欢迎使用看图"},
      {"宋体", 14, false, "AbCd 中文 xyz"},
      {"Arial", 14, false, "Hello, Viewer!"},
      {"宋体", 30, true, "图片W"},
      {"宋体", 12, false, "专题/收藏"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.textUtf8);
    ID3DXFont* font = MakeFont(c.face, c.height, c.bold);
    ASSERT_NE(font, nullptr);
    const std::string text = Utf8ToCp936(c.textUtf8);
    SIZE size{};
    ASSERT_TRUE(GetTextExtentPoint32A(font->GetDC(), text.c_str(), static_cast<int>(text.size()), &size));
    EXPECT_EQ(size.cy, c.height);

    // DT_CALCRECT gives the same extent.
    RECT calc{10, 20, 10, 20};
    EXPECT_EQ(font->DrawTextA(nullptr, text.c_str(), -1, &calc, DT_CALCRECT | DT_SINGLELINE, 0xFFFFFFFF),
              c.height);
    EXPECT_EQ(calc.right - calc.left, size.cx);
    EXPECT_EQ(calc.bottom - calc.top, size.cy);

    // Left-aligned at (x, y): ink inside the measured box, reaching close to its right edge.
    for (DWORD format : {DWORD(DT_LEFT), DWORD(DT_CENTER | DT_VCENTER | DT_SINGLELINE),
                         DWORD(DT_RIGHT | DT_BOTTOM | DT_SINGLELINE)}) {
      SCOPED_TRACE(format);
      Clear(0xFF000000);
      device_->BeginScene();
      RECT rect{20, 30, 300, 210};
      EXPECT_EQ(font->DrawTextA(nullptr, text.c_str(), -1, &rect, format, 0xFFFFFFFF), c.height);
      device_->EndScene();
      int boxLeft = rect.left, boxTop = rect.top;
      if (format & DT_CENTER) boxLeft = rect.left + (rect.right - rect.left - size.cx) / 2;
      if (format & DT_VCENTER) boxTop = rect.top + (rect.bottom - rect.top - size.cy) / 2;
      if (format & DT_RIGHT) boxLeft = rect.right - size.cx;
      if (format & DT_BOTTOM) boxTop = rect.bottom - size.cy;
      const InkBox ink = FindInk(ReadBackBuffer(), 0xFF000000);
      ASSERT_FALSE(ink.empty());
      EXPECT_GE(ink.left, boxLeft);
      EXPECT_LE(ink.left, boxLeft + 3);
      EXPECT_LE(ink.right, boxLeft + size.cx - 1);
      EXPECT_GE(ink.right, boxLeft + size.cx - 1 - c.height / 4);
      EXPECT_GE(ink.top, boxTop);
      EXPECT_LE(ink.bottom, boxTop + size.cy);  // a Latin descender may touch the cell's edge
    }
    font->Release();
  }
}

TEST_F(D3DXDeviceTest, TextIsClippedToItsRectangleUnlessNoClip) {
  ID3DXFont* font = MakeFont("宋体", 14, false);
  ASSERT_NE(font, nullptr);
  const std::string text = Utf8ToCp936("欢迎使用欢迎使用欢迎使用");
  Clear(0xFF000000);
  device_->BeginScene();
  RECT rect{50, 50, 90, 58};  // narrower and lower than the text
  EXPECT_NE(font->DrawTextA(nullptr, text.c_str(), -1, &rect, DT_LEFT, 0xFFFFFFFF), 0);
  device_->EndScene();
  InkBox ink = FindInk(ReadBackBuffer(), 0xFF000000);
  ASSERT_FALSE(ink.empty());
  EXPECT_GE(ink.left, 50);
  EXPECT_LE(ink.right, 89);
  EXPECT_GE(ink.top, 50);
  EXPECT_LE(ink.bottom, 57);

  Clear(0xFF000000);
  device_->BeginScene();
  font->DrawTextA(nullptr, text.c_str(), -1, &rect, DT_LEFT | DT_NOCLIP, 0xFFFFFFFF);
  device_->EndScene();
  ink = FindInk(ReadBackBuffer(), 0xFF000000);
  EXPECT_GT(ink.right, 150);
  EXPECT_GT(ink.bottom, 58);
  font->Release();
}

TEST_F(D3DXDeviceTest, LinesBreakAtNewlinesAndWords) {
  ID3DXFont* font = MakeFont("Arial", 14, false);
  ASSERT_NE(font, nullptr);
  RECT calc{0, 0, 0, 0};
  EXPECT_EQ(font->DrawTextA(nullptr, "one\ntwo\nthree", -1, &calc, DT_CALCRECT, 0xFFFFFFFF), 42);
  SIZE three{};
  GetTextExtentPoint32A(font->GetDC(), "three", 5, &three);
  EXPECT_EQ(calc.right, three.cx);
  // One line when single-line, newline or not.
  RECT single{0, 0, 0, 0};
  EXPECT_EQ(font->DrawTextA(nullptr, "one\ntwo", -1, &single, DT_CALCRECT | DT_SINGLELINE, 0xFFFFFFFF), 14);
  // Word breaks keep whole words on a line.
  SIZE word{};
  GetTextExtentPoint32A(font->GetDC(), "alpha beta", 10, &word);
  RECT wrap{0, 0, word.cx, 0};
  EXPECT_EQ(font->DrawTextA(nullptr, "alpha beta gamma", -1, &wrap, DT_CALCRECT | DT_WORDBREAK, 0xFFFFFFFF), 28);
  EXPECT_LE(wrap.right, word.cx);
  // Nothing to draw: 0.
  RECT any{0, 0, 100, 100};
  EXPECT_EQ(font->DrawTextA(nullptr, "", -1, &any, DT_LEFT, 0xFFFFFFFF), 0);
  EXPECT_EQ(font->DrawTextA(nullptr, nullptr, -1, &any, DT_LEFT, 0xFFFFFFFF), 0);
  EXPECT_EQ(font->DrawTextA(nullptr, "abc", -1, nullptr, DT_LEFT, 0xFFFFFFFF), 0);
  font->Release();
}

TEST_F(D3DXDeviceTest, FontDrawsAgainAfterDeviceReset) {
  ID3DXFont* font = MakeFont("宋体", 14, false);
  ASSERT_NE(font, nullptr);
  const std::string text = Utf8ToCp936("重置");
  RECT rect{10, 10, 200, 40};
  Clear(0xFF000000);
  device_->BeginScene();
  font->DrawTextA(nullptr, text.c_str(), -1, &rect, DT_LEFT, 0xFFFFFFFF);
  device_->EndScene();
  const InkBox before = FindInk(ReadBackBuffer(), 0xFF000000);
  ASSERT_FALSE(before.empty());

  EXPECT_EQ(font->OnLostDevice(), D3D_OK);
  D3DPRESENT_PARAMETERS params = params_;
  ASSERT_EQ(device_->Reset(&params), D3D_OK);  // the font holds nothing that blocks a reset
  EXPECT_EQ(font->OnResetDevice(), D3D_OK);

  Clear(0xFF000000);
  device_->BeginScene();
  EXPECT_EQ(font->DrawTextA(nullptr, text.c_str(), -1, &rect, DT_LEFT, 0xFFFFFFFF), 14);
  device_->EndScene();
  const InkBox after = FindInk(ReadBackBuffer(), 0xFF000000);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  EXPECT_EQ(after.right, before.right);
  EXPECT_EQ(after.bottom, before.bottom);
  font->Release();
}

TEST_F(D3DXDeviceTest, FontDescriptionAndBadArguments) {
  ID3DXFont* font = nullptr;
  EXPECT_EQ(D3DXCreateFontIndirectA(nullptr, nullptr, &font), D3DERR_INVALIDCALL);
  D3DXFONT_DESCA desc{};
  desc.Height = 18;
  desc.Weight = FW_BOLD;
  std::memset(desc.FaceName, 'A', sizeof(desc.FaceName));  // not terminated
  ASSERT_EQ(D3DXCreateFontIndirectA(device_, &desc, &font), D3D_OK);
  D3DXFONT_DESCA back{};
  ASSERT_EQ(font->GetDescA(&back), D3D_OK);
  EXPECT_EQ(back.Height, 18);
  EXPECT_EQ(std::string(back.FaceName), std::string(31, 'A'));
  font->Release();
}

// [SPRITE] ------------------------------------------------------------------------------------
IDirect3DTexture9* MakeSolidTexture(IDirect3DDevice9* device, UINT size, uint32_t argb) {
  IDirect3DTexture9* texture = nullptr;
  if (FAILED(device->CreateTexture(size, size, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr))) {
    return nullptr;
  }
  D3DLOCKED_RECT locked{};
  texture->LockRect(0, &locked, nullptr, 0);
  for (UINT y = 0; y < size; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch);
    std::fill(row, row + size, argb);
  }
  texture->UnlockRect(0);
  return texture;
}

TEST_F(D3DXDeviceTest, SpriteDrawsTexelExactAndScalesWithItsTransform) {
  ID3DXSprite* sprite = nullptr;
  ASSERT_EQ(D3DXCreateSprite(device_, &sprite), D3D_OK);
  IDirect3DTexture9* red = MakeSolidTexture(device_, 4, 0xFFFF0000);
  ASSERT_NE(red, nullptr);
  Clear(0xFF000000);
  device_->BeginScene();
  ASSERT_EQ(sprite->Begin(D3DXSPRITE_ALPHABLEND), D3D_OK);
  D3DXVECTOR3 at(10, 10, 0);
  EXPECT_EQ(sprite->Draw(red, nullptr, nullptr, &at, 0xFFFFFFFF), D3D_OK);
  D3DXMATRIX scale;
  D3DXMatrixScaling(&scale, 2, 2, 1);
  sprite->SetTransform(&scale);
  D3DXVECTOR3 at2(50, 10, 0);  // lands at (100, 20), 8 x 8
  EXPECT_EQ(sprite->Draw(red, nullptr, nullptr, &at2, 0xFF00FF00), D3D_OK);  // modulated: black
  RECT half{0, 0, 2, 2};
  D3DXVECTOR3 at3(60, 10, 0);  // (120, 20), 4 x 4
  EXPECT_EQ(sprite->Draw(red, &half, nullptr, &at3, 0xFFFFFFFF), D3D_OK);
  red->Release();  // the queued quads keep it alive until drawn
  ASSERT_EQ(sprite->End(), D3D_OK);
  device_->EndScene();
  const std::vector<uint32_t> pixels = ReadBackBuffer();
  auto at_ = [&](int x, int y) { return pixels[y * kWidth + x] & 0xFFFFFF; };
  EXPECT_EQ(at_(10, 10), 0xFF0000u);
  EXPECT_EQ(at_(13, 13), 0xFF0000u);
  EXPECT_EQ(at_(14, 13), 0u);
  EXPECT_EQ(at_(9, 10), 0u);
  EXPECT_EQ(at_(120, 20), 0xFF0000u);
  EXPECT_EQ(at_(123, 23), 0xFF0000u);
  EXPECT_EQ(at_(124, 20), 0u);
  EXPECT_EQ(at_(120, 24), 0u);
  sprite->Release();
}

TEST_F(D3DXDeviceTest, SpriteBeginSavesAndEndRestoresStates) {
  ID3DXSprite* sprite = nullptr;
  ASSERT_EQ(D3DXCreateSprite(device_, &sprite), D3D_OK);
  device_->SetRenderState(D3DRS_LIGHTING, TRUE);
  device_->SetRenderState(D3DRS_ZENABLE, TRUE);
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
  EXPECT_EQ(sprite->End(), D3DERR_INVALIDCALL);
  EXPECT_EQ(sprite->Flush(), D3DERR_INVALIDCALL);
  ASSERT_EQ(sprite->Begin(0), D3D_OK);
  EXPECT_EQ(sprite->Begin(0), D3DERR_INVALIDCALL);
  DWORD value = 0;
  device_->GetRenderState(D3DRS_LIGHTING, &value);
  EXPECT_EQ(value, 0u);
  IDirect3DTexture9* white = MakeSolidTexture(device_, 2, 0xFFFFFFFF);
  D3DXVECTOR3 at(0, 0, 0);
  sprite->Draw(white, nullptr, nullptr, &at, 0xFFFFFFFF);
  white->Release();
  // A flush leaves the caller's states as they were.
  ASSERT_EQ(sprite->Flush(), D3D_OK);
  device_->GetRenderState(D3DRS_CULLMODE, &value);
  EXPECT_EQ(value, DWORD(D3DCULL_CW));
  device_->GetRenderState(D3DRS_LIGHTING, &value);
  EXPECT_EQ(value, 0u);
  ASSERT_EQ(sprite->End(), D3D_OK);
  device_->GetRenderState(D3DRS_LIGHTING, &value);
  EXPECT_EQ(value, 1u);
  device_->GetRenderState(D3DRS_ZENABLE, &value);
  EXPECT_EQ(value, 1u);
  sprite->Release();
}

// [SURFACES] ----------------------------------------------------------------------------------
TEST_F(D3DXDeviceTest, SavedScreenshotReadsBackAsTheBackBuffer) {
  Clear(0xFF203040);
  D3DRECT band{0, 0, 40, 30};
  device_->Clear(1, &band, D3DCLEAR_TARGET, 0xFFFF8000, 1.0f, 0);
  const std::vector<uint32_t> expected = ReadBackBuffer();
  IDirect3DSurface9* back = nullptr;
  ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
  const std::string folder = testing_support::MakeTempFolder("d3dx_save");
  for (D3DXIMAGE_FILEFORMAT format : {D3DXIFF_PNG, D3DXIFF_BMP}) {
    SCOPED_TRACE(format);
    const std::string host = folder + (format == D3DXIFF_PNG ? "/shot.png" : "/shot.bmp");
    const std::string path = testing_support::ToProgramPath(host);
    ASSERT_EQ(D3DXSaveSurfaceToFileA(path.c_str(), format, back, nullptr, nullptr), D3D_OK);
    const std::vector<uint8_t> bytes = testing_support::ReadHostFile(host);
    DecodedImage image;
    ASSERT_TRUE(DecodeImageFromMemory(bytes.data(), bytes.size(), &image));
    ASSERT_EQ(image.width, uint32_t(kWidth));
    ASSERT_EQ(image.height, uint32_t(kHeight));
    EXPECT_EQ(image.argb, expected);  // opaque, top row first
  }
  // Bad arguments fail; a failed save leaves an existing file untouched.
  const std::string host = folder + "/shot.png";
  const std::string path = testing_support::ToProgramPath(host);
  const std::vector<uint8_t> before = testing_support::ReadHostFile(host);
  RECT outside{0, 0, kWidth + 1, 10};
  EXPECT_EQ(D3DXSaveSurfaceToFileA(path.c_str(), D3DXIFF_PNG, back, nullptr, &outside), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXSaveSurfaceToFileA(path.c_str(), D3DXIMAGE_FILEFORMAT(77), back, nullptr, nullptr), E_FAIL);
  EXPECT_EQ(testing_support::ReadHostFile(host), before);
  EXPECT_EQ(D3DXSaveSurfaceToFileA(nullptr, D3DXIFF_PNG, back, nullptr, nullptr), D3DERR_INVALIDCALL);
  const std::string missingFolder = testing_support::ToProgramPath(folder + "/no/such/a.png");
  EXPECT_EQ(D3DXSaveSurfaceToFileA(missingFolder.c_str(), D3DXIFF_PNG, back, nullptr, nullptr), E_FAIL);
  back->Release();
}

TEST_F(D3DXDeviceTest, LoadSurfaceFromSurfaceCopiesAndStretches) {
  Clear(0xFF000000);
  D3DRECT topLeft{0, 0, kWidth / 2, kHeight / 2};
  device_->Clear(1, &topLeft, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
  IDirect3DSurface9* back = nullptr;
  ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(device_->CreateTexture(kWidth / 4, kHeight / 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
            D3D_OK);
  IDirect3DSurface9* level = nullptr;
  ASSERT_EQ(texture->GetSurfaceLevel(0, &level), D3D_OK);
  ASSERT_EQ(D3DXLoadSurfaceFromSurface(level, nullptr, nullptr, back, nullptr, nullptr, D3DX_DEFAULT, 0), D3D_OK);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  auto texel = [&](int x, int y) {
    return reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch)[x];
  };
  EXPECT_EQ(texel(5, 5), 0xFF00FF00u);  // top left stays top left, opaque
  EXPECT_EQ(texel(kWidth / 4 - 5, kHeight / 4 - 5), 0xFF000000u);
  EXPECT_EQ(texel(kWidth / 4 - 5, 5), 0xFF000000u);
  texture->UnlockRect(0);
  // A colour key clears matching texels to transparent black.
  ASSERT_EQ(D3DXLoadSurfaceFromSurface(level, nullptr, nullptr, back, nullptr, nullptr, D3DX_FILTER_POINT,
                                       0xFF00FF00),
            D3D_OK);
  ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(texel(5, 5), 0u);
  EXPECT_EQ(texel(kWidth / 4 - 5, 5), 0xFF000000u);
  texture->UnlockRect(0);
  RECT outside{0, 0, 1000, 10};
  EXPECT_EQ(D3DXLoadSurfaceFromSurface(level, nullptr, &outside, back, nullptr, nullptr, D3DX_DEFAULT, 0),
            D3DERR_INVALIDCALL);
  level->Release();
  texture->Release();
  back->Release();
}

// [MATH] --------------------------------------------------------------------------------------
TEST(D3DXMathTest, PerspectiveAndTransforms) {
  D3DXMATRIX p;
  D3DXMatrixPerspectiveFovLH(&p, 3.14159265f / 2, 2.0f, 1.0f, 101.0f);
  EXPECT_FLOAT_EQ(p._11, 0.5f);
  EXPECT_FLOAT_EQ(p._22, 1.0f);
  EXPECT_FLOAT_EQ(p._33, 101.0f / 100.0f);
  EXPECT_FLOAT_EQ(p._34, 1.0f);
  EXPECT_FLOAT_EQ(p._43, -101.0f / 100.0f);
  EXPECT_FLOAT_EQ(p._44, 0.0f);

  D3DXMATRIX t, s, ts;
  D3DXMatrixTranslation(&t, 10, 20, 0);
  D3DXMatrixScaling(&s, 2, 3, 1);
  D3DXMatrixMultiply(&ts, &s, &t);  // scale first, then move
  D3DXVECTOR2 v(1, 1);
  D3DXVec2TransformCoord(&v, &v, &ts);
  EXPECT_FLOAT_EQ(v.x, 12.0f);
  EXPECT_FLOAT_EQ(v.y, 23.0f);
  EXPECT_FALSE(D3DXMatrixIsIdentity(&ts));
  D3DXMATRIX i;
  D3DXMatrixIdentity(&i);
  EXPECT_TRUE(D3DXMatrixIsIdentity(&i));
  // Homogeneous divide.
  D3DXMATRIX w;
  D3DXMatrixIdentity(&w);
  w._44 = 2.0f;
  D3DXVECTOR2 h(4, 6);
  D3DXVec2TransformCoord(&h, &h, &w);
  EXPECT_FLOAT_EQ(h.x, 2.0f);
  EXPECT_FLOAT_EQ(h.y, 3.0f);
  D3DXMATRIX r;
  D3DXMatrixRotationZ(&r, 3.14159265f / 2);
  D3DXVECTOR2 x(1, 0);
  D3DXVec2TransformCoord(&x, &x, &r);
  EXPECT_NEAR(x.x, 0.0f, 1e-6);
  EXPECT_NEAR(x.y, 1.0f, 1e-6);
}

}  // namespace
