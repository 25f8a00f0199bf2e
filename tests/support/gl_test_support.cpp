#include "support/gl_test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace testing_support {

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

}  // namespace testing_support
