#include "support/gl_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "app/shell_display.h"
#include "graphics/graphics.h"
#include "platform/d3dx9_image.h"
#include "platform/gl_window.h"
#include "support/test_support.h"

namespace testing_support {

cGraphics* CreateTestGraphics(int width, int height) {
  MainWindow = CreateGLTestWindow(width, height);
  EXPECT_NE(MainWindow, nullptr) << "no test window";
  if (!MainWindow) return nullptr;
  ClientWidth = width;
  ClientHeight = height;
  Graphics = new cGraphics();
  return Graphics;
}

void DestroyTestGraphics(cGraphics* graphics) {
  delete graphics;
  if (Graphics == graphics) Graphics = nullptr;
  DestroyGLTestWindow(MainWindow);
  MainWindow = nullptr;
}

namespace {

bool WritePng(const std::string& hostPath, const std::vector<uint32_t>& argb, int width,
              int height) {
  std::vector<uint8_t> png;
  if (!EncodeImageToMemory(D3DXIFF_PNG, uint32_t(width), uint32_t(height), argb.data(),
                           size_t(width) * 4, &png))
    return false;
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(hostPath).parent_path(), ignored);
  FILE* f = std::fopen(hostPath.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
  return std::fclose(f) == 0 && ok;
}

int ChannelDistance(uint32_t a, uint32_t b) {
  int worst = 0;
  for (int shift : {0, 8, 16}) {
    int d = std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
    if (d > worst) worst = d;
  }
  return worst;
}

}  // namespace

std::vector<uint32_t> ReadBackBuffer(IDirect3DDevice9* device, int* width, int* height) {
  std::vector<uint32_t> pixels;
  IDirect3DSurface9* back = nullptr;
  if (!device || FAILED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back)) || !back) {
    ADD_FAILURE() << "no back buffer";
    return pixels;
  }
  D3DSURFACE_DESC desc{};
  back->GetDesc(&desc);
  D3DLOCKED_RECT locked{};
  if (SUCCEEDED(back->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
    pixels.resize(size_t(desc.Width) * desc.Height);
    for (UINT y = 0; y < desc.Height; ++y)
      std::memcpy(&pixels[size_t(y) * desc.Width],
                  static_cast<const uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch,
                  size_t(desc.Width) * 4);
    back->UnlockRect();
  } else {
    ADD_FAILURE() << "the back buffer does not lock";
  }
  back->Release();
  if (width) *width = int(desc.Width);
  if (height) *height = int(desc.Height);
  return pixels;
}

Rgb BackBufferPixel(IDirect3DDevice9* device, int x, int y) {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels = ReadBackBuffer(device, &width, &height);
  if (x < 0 || y < 0 || x >= width || y >= height || pixels.empty()) {
    ADD_FAILURE() << "pixel (" << x << ", " << y << ") outside the back buffer";
    return Rgb{0, 0, 0};
  }
  uint32_t p = pixels[size_t(y) * size_t(width) + size_t(x)];
  return Rgb{int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF)};
}

bool ExpectMatchesGolden(const std::string& goldenName, const std::vector<uint32_t>& argb,
                         int width, int height, GoldenTolerance tolerance) {
  const std::string goldenPath = DataPath("golden/" + goldenName);
  if (width <= 0 || height <= 0 || argb.size() != size_t(width) * size_t(height)) {
    ADD_FAILURE() << "no picture to compare with " << goldenPath;
    return false;
  }
  const char* write = std::getenv("VIEWER_WRITE_GOLDEN");
  if (write && std::strcmp(write, "1") == 0) {
    bool written = WritePng(goldenPath, argb, width, height);
    EXPECT_TRUE(written) << "cannot rewrite " << goldenPath;
    return written;
  }
  if (write) ADD_FAILURE() << "VIEWER_WRITE_GOLDEN is " << write << "; only 1 rewrites goldens";

  std::string problem;
  const std::vector<uint8_t> bytes = ReadHostFile(goldenPath);
  DecodedImage golden;
  if (bytes.empty() || !DecodeImageFromMemory(bytes.data(), bytes.size(), &golden)) {
    problem = "missing or unreadable golden picture";
  } else if (golden.width != uint32_t(width) || golden.height != uint32_t(height)) {
    problem = "golden is " + std::to_string(golden.width) + "x" + std::to_string(golden.height) +
              ", the picture " + std::to_string(width) + "x" + std::to_string(height);
  } else {
    size_t different = 0;
    int worst = 0;
    for (size_t i = 0; i < argb.size(); ++i) {
      int d = ChannelDistance(argb[i], golden.argb[i]);
      if (d > worst) worst = d;
      if (d > tolerance.channelLevels) ++different;
    }
    if (different > tolerance.differentPixels)
      problem = std::to_string(different) + " pixels beyond +-" +
                std::to_string(tolerance.channelLevels) + " (" +
                std::to_string(tolerance.differentPixels) + " allowed, worst channel off by " +
                std::to_string(worst) + ")";
  }
  if (problem.empty()) return true;
  const std::string review = std::string(VIEWER_TEST_BUILD_DIR) + "/golden-review/" + goldenName;
  const bool saved = WritePng(review, argb, width, height);
  ADD_FAILURE() << goldenPath << ": " << problem << "; "
                << (saved ? "the drawn picture is in " + review
                          : "the drawn picture could not be written to " + review);
  return false;
}

}  // namespace testing_support
