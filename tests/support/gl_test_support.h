#pragma once
// Read-back helpers for the tests that draw on the GL stand-in of the Direct3D device.
#include <cstdint>
#include <vector>

#include "platform/d3d9.h"

namespace testing_support {

struct Rgb {
  int r, g, b;
};

// The device's back buffer as A8R8G8B8 words, rows top first; its size goes to width and
// height when given. Empty, with a test failure, when it cannot be read.
std::vector<uint32_t> ReadBackBuffer(IDirect3DDevice9* device, int* width = nullptr,
                                     int* height = nullptr);
// Pixel (x, y) of the back buffer, row 0 at the top. Black, with a test failure, when it
// cannot be read or lies outside.
Rgb BackBufferPixel(IDirect3DDevice9* device, int x, int y);

}  // namespace testing_support
