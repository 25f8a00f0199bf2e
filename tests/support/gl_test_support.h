#pragma once
// Read-back and golden-picture helpers for the tests that draw on the GL stand-in of the
// Direct3D device.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d9.h"

class cGraphics;

namespace testing_support {

// A hidden test window of the given client size as the program's main window (MainWindow,
// ClientWidth, ClientHeight) and a new, not yet initialised cGraphics for it, also set as the
// global Graphics. Null, with a test failure, when no window can be made.
cGraphics* CreateTestGraphics(int width, int height);
// Deletes the graphics object and its window and clears the globals.
void DestroyTestGraphics(cGraphics* graphics);

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

// How far a drawn picture may stray from its golden: a pixel differs when any of its colour
// channels (alpha is not compared) is more than channelLevels away; up to differentPixels such
// pixels pass (glyph and triangle edges vary a little between FreeType builds and rasterisers).
struct GoldenTolerance {
  int channelLevels = 3;
  size_t differentPixels = 0;
};

// Compares a picture (A8R8G8B8 words, rows top first) with tests/data/golden/<goldenName>.
// A missing or unreadable golden, a size mismatch or too many differing pixels is a test
// failure; on any mismatch the picture is also written to <build>/tests/golden-review/
// <goldenName> for a person to compare. With VIEWER_WRITE_GOLDEN=1 in the environment the
// golden is rewritten from the picture instead (a deliberate step after a reviewed change;
// never set in CI). True when the picture matched (or the golden was rewritten).
bool ExpectMatchesGolden(const std::string& goldenName, const std::vector<uint32_t>& argb,
                         int width, int height, GoldenTolerance tolerance);

}  // namespace testing_support
