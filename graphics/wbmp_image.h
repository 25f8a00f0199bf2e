#pragma once
// WBMP (wireless bitmap) type 0: one bit a pixel, most significant bit first, 1 white and
// 0 black, rows padded to whole bytes. Other types (and extension headers) are not supported.
// Damaged files fail: a header integer of more than five 7-bit groups or cut short, a size
// whose pixel count exceeds 2^28 or the data present, or pixel rows cut short.

#include <cstddef>
#include <cstdint>
#include <vector>

struct sWbmpImage {
  uint32_t width = 0, height = 0;
  uint32_t rowBytes = 0;     // (width + 7) / 8
  uint32_t colorCount = 2;
  uint32_t dataSize = 0;     // rowBytes * height
  std::vector<uint8_t> pixels;   // the rows as stored, top row first
  std::vector<uint8_t> palette;  // colorCount BGRA quads: black, white (fourth byte 0)
  bool ok = false;
};

// Decodes a file (a program path) or bytes in memory into image; false (and an empty record)
// on any failure.
bool LoadWbmpFile(const char* fileName, sWbmpImage& image);
bool LoadWbmpFromMemory(const uint8_t* data, size_t size, sWbmpImage& image);
// Size probe: both outs 0 on failure; true for type 0 with a non-zero size.
bool GetWbmpSize(const char* fileName, uint32_t* width, uint32_t* height);
bool GetWbmpSizeFromMemory(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height);
// Frees both buffers.
void FreeWbmpImage(sWbmpImage& image);
