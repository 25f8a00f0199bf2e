#pragma once
// A cGraphics on a hidden GL window for the 2D drawing and font tests, with back-buffer
// read-back and ink boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/shell_display.h"
#include "graphics/graphics.h"
#include "graphics/texture.h"
#include "platform/gl_window.h"
#include "support/gl_test_support.h"

namespace gl2d {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

struct InkBox {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // right, bottom inclusive
  bool empty() const { return right < 0; }
};

inline void NoSleep(DWORD) {}

class GraphicsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    d3d9gl::SetTestOptions(d3d9gl::TestOptions());
    SetGraphicsSleepForTesting(&NoSleep);
    window_ = CreateGLTestWindow(kWidth, kHeight);
    ASSERT_NE(window_, nullptr);
    MainWindow = window_;
    ClientWidth = kWidth;
    ClientHeight = kHeight;
    Graphics = new cGraphics;
    ASSERT_TRUE(Graphics->Init());
    graphics_ = Graphics;
  }

  void TearDown() override {
    delete Graphics;
    Graphics = nullptr;
    MainWindow = nullptr;
    SetGraphicsSleepForTesting(nullptr);
    if (window_ != nullptr) DestroyGLTestWindow(window_);
  }

  // The back buffer as A8R8G8B8 words, rows top first.
  std::vector<uint32_t> ReadBackBuffer() {
    return testing_support::ReadBackBuffer(graphics_->device, &width_);
  }

  uint32_t Rgb(const std::vector<uint32_t>& pixels, int x, int y) const {
    return pixels[static_cast<size_t>(y) * width_ + x] & 0xFFFFFF;
  }

  // Bounding box of the pixels whose colour differs from the background.
  InkBox FindInk(const std::vector<uint32_t>& pixels, uint32_t background) const {
    InkBox box;
    const int height = static_cast<int>(pixels.size()) / width_;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width_; ++x) {
        if (Rgb(pixels, x, y) != (background & 0xFFFFFF)) {
          box.left = std::min(box.left, x);
          box.top = std::min(box.top, y);
          box.right = std::max(box.right, x);
          box.bottom = std::max(box.bottom, y);
        }
      }
    }
    return box;
  }

  // A cTexture over a MANAGED A8R8G8B8 texture with the given texels (rows top first).
  void FillTexture(cTexture* texture, UINT w, UINT h, const std::vector<uint32_t>& texels) {
    ASSERT_EQ(graphics_->device->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                               &texture->d3dTexture, nullptr),
              D3D_OK);
    texture->width = w;
    texture->height = h;
    texture->graphics = graphics_;
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->d3dTexture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < h; ++y) {
      std::copy(&texels[y * w], &texels[y * w] + w,
                reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch));
    }
    texture->d3dTexture->UnlockRect(0);
  }

  HWND window_ = nullptr;
  cGraphics* graphics_ = nullptr;
  int width_ = kWidth;
};

}  // namespace gl2d
