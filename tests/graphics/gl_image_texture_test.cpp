// D3DX's picture-file calls on the GL device stand-in: sizing rules (powers of two by
// resampling, or the file's size), the image info, alpha formats, failed loads leaving no
// texture, and saving a texture in every format.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/d3dx9.h"
#include "platform/gl_window.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

class D3DXTextureFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = CreateGLTestWindow(64, 64);
    ASSERT_NE(window_, nullptr);
    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.BackBufferCount = 1;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.Windowed = TRUE;
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_,
                                 D3DCREATE_HARDWARE_VERTEXPROCESSING, &params, &device_),
              D3D_OK);
    folder_ = MakeTempFolder("d3dx_texture_file");
  }
  void TearDown() override {
    if (device_) device_->Release();
    if (d3d_) d3d_->Release();
    if (window_) DestroyGLTestWindow(window_);
  }

  // Writes a w x h picture in the format and returns its program path.
  std::string WritePicture(const std::string& name, D3DXIMAGE_FILEFORMAT format, uint32_t w,
                           uint32_t h, uint32_t argb) {
    std::vector<uint32_t> px(size_t(w) * h, argb);
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(EncodeImageToMemory(format, w, h, px.data(), w * 4, &bytes));
    std::string host = folder_ + "/" + name;
    FILE* f = std::fopen(host.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return ToProgramPath(host);
  }

  IDirect3DTexture9* Load(const std::string& path, UINT size, D3DXIMAGE_INFO* info,
                          HRESULT* hr = nullptr) {
    IDirect3DTexture9* tex = reinterpret_cast<IDirect3DTexture9*>(uintptr_t(1));
    HRESULT r = D3DXCreateTextureFromFileExA(device_, path.c_str(), size, size, 1, 0,
                                             D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                             D3DX_FILTER_TRIANGLE, D3DX_DEFAULT, 0, info,
                                             nullptr, &tex);
    if (hr) *hr = r;
    return tex;
  }

  HWND window_ = nullptr;
  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;
  std::string folder_;
};

TEST_F(D3DXTextureFileTest, PowerOfTwoResamplesAndInfoKeepsFileSize) {
  std::string path = WritePicture("photo.png", D3DXIFF_PNG, 300, 200, 0xFF336699u);
  D3DXIMAGE_INFO info{};
  IDirect3DTexture9* tex = Load(path, D3DX_DEFAULT, &info);
  ASSERT_NE(tex, nullptr);
  D3DSURFACE_DESC desc{};
  tex->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Width, 512u);
  EXPECT_EQ(desc.Height, 256u);
  EXPECT_EQ(info.Width, 300u);
  EXPECT_EQ(info.Height, 200u);
  EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(tex->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  const uint32_t* row = static_cast<const uint32_t*>(locked.pBits);
  EXPECT_EQ(row[0] & 0xFFFFFF, 0x336699u);
  EXPECT_EQ(row[511] & 0xFFFFFF, 0x336699u);  // stretched, not padded
  tex->UnlockRect(0);
  tex->Release();

  tex = Load(path, D3DX_DEFAULT_NONPOW2, &info);
  ASSERT_NE(tex, nullptr);
  tex->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Width, 300u);
  EXPECT_EQ(desc.Height, 200u);
  tex->Release();
}

TEST_F(D3DXTextureFileTest, AlphaFilesReportAlphaFormat) {
  struct Case {
    D3DXIMAGE_FILEFORMAT format;
    const char* name;
    uint32_t argb;
    D3DFORMAT expected;
  } cases[] = {
      {D3DXIFF_PNG, "a.png", 0x80FF0000u, D3DFMT_A8R8G8B8},
      {D3DXIFF_TGA, "a.tga", 0x80FF0000u, D3DFMT_A8R8G8B8},
      {D3DXIFF_DDS, "a.dds", 0x80FF0000u, D3DFMT_A8R8G8B8},
      {D3DXIFF_JPG, "a.jpg", 0xFFFF0000u, D3DFMT_X8R8G8B8},
      {D3DXIFF_BMP, "a.bmp", 0xFFFF0000u, D3DFMT_X8R8G8B8},
  };
  for (const Case& c : cases) {
    std::string path = WritePicture(c.name, c.format, 8, 8, c.argb);
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3DXGetImageInfoFromFileA(path.c_str(), &info), D3D_OK) << c.name;
    EXPECT_EQ(info.Format, c.expected) << c.name;
    EXPECT_EQ(info.ImageFileFormat, c.format) << c.name;
    EXPECT_EQ(info.Width, 8u);
  }
}

TEST_F(D3DXTextureFileTest, ContentNotExtensionDecides) {
  // A JPEG named .png and a PNG with no extension both load.
  std::string jpeg = WritePicture("really_a_jpeg.png", D3DXIFF_JPG, 16, 16, 0xFF808080u);
  std::string png = WritePicture("noext", D3DXIFF_PNG, 16, 16, 0xFF808080u);
  D3DXIMAGE_INFO info{};
  IDirect3DTexture9* tex = Load(jpeg, D3DX_DEFAULT_NONPOW2, &info);
  ASSERT_NE(tex, nullptr);
  EXPECT_EQ(info.ImageFileFormat, D3DXIFF_JPG);
  tex->Release();
  tex = Load(png, D3DX_DEFAULT_NONPOW2, &info);
  ASSERT_NE(tex, nullptr);
  tex->Release();
}

TEST_F(D3DXTextureFileTest, FailedLoadLeavesNoTexture) {
  std::string host = folder_ + "/broken.png";
  FILE* f = std::fopen(host.c_str(), "wb");
  std::fputs("\x89PNG\r\n\x1a\nthis is not a png", f);
  std::fclose(f);
  D3DXIMAGE_INFO info{};
  HRESULT hr = D3D_OK;
  EXPECT_EQ(Load(ToProgramPath(host), D3DX_DEFAULT, &info, &hr), nullptr);
  EXPECT_TRUE(FAILED(hr));
  EXPECT_EQ(Load("\\no\\such\\file.jpg", D3DX_DEFAULT, &info, &hr), nullptr);
  EXPECT_TRUE(FAILED(hr));
  EXPECT_TRUE(FAILED(D3DXGetImageInfoFromFileA(ToProgramPath(host).c_str(), &info)));
}

TEST_F(D3DXTextureFileTest, SavesTextureInEveryFormat) {
  std::string path = WritePicture("src.png", D3DXIFF_PNG, 20, 10, 0xFF2080C0u);
  D3DXIMAGE_INFO info{};
  IDirect3DTexture9* tex = Load(path, D3DX_DEFAULT_NONPOW2, &info);
  ASSERT_NE(tex, nullptr);
  const D3DXIMAGE_FILEFORMAT formats[] = {D3DXIFF_BMP, D3DXIFF_JPG, D3DXIFF_TGA,
                                          D3DXIFF_PNG, D3DXIFF_DDS, D3DXIFF_PPM,
                                          D3DXIFF_DIB, D3DXIFF_HDR, D3DXIFF_PFM};
  for (D3DXIMAGE_FILEFORMAT format : formats) {
    std::string out = ToProgramPath(folder_ + "/saved_" + std::to_string(int(format)));
    ASSERT_EQ(D3DXSaveTextureToFileA(out.c_str(), format, tex, nullptr), D3D_OK) << format;
    D3DXIMAGE_INFO back{};
    ASSERT_EQ(D3DXGetImageInfoFromFileA(out.c_str(), &back), D3D_OK) << format;
    EXPECT_EQ(back.ImageFileFormat, format);
    EXPECT_EQ(back.Width, 20u);
    EXPECT_EQ(back.Height, 10u);
  }
  tex->Release();
}

TEST_F(D3DXTextureFileTest, CorpusPicturesLoad) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  const char* files[] = {"jpeg/hopper.jpg", "png/pil123p.png", "bmp/pal8rle.bmp",
                         "tga/200x32_rgba_tl_rle.tga", "dds/dxt5-argb-8bbp-interpolatedalpha_MipMaps-1.dds",
                         "dib/clipboard.dib", "hdr/image1.hdr", "pfm/hopper.pfm", "ppm/hopper.ppm"};
  for (const char* file : files) {
    D3DXIMAGE_INFO info{};
    IDirect3DTexture9* tex = Load(ToProgramPath(CorpusPath(file)), D3DX_DEFAULT, &info);
    ASSERT_NE(tex, nullptr) << file;
    D3DSURFACE_DESC desc{};
    tex->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, NextPowerOfTwo(info.Width)) << file;
    tex->Release();
  }
}

}  // namespace
