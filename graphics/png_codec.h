#pragma once
// PNG reading and writing through libpng (the installed 1.6, its structures created with its
// own version string). Reading turns every PNG into 8-bit RGBA (palettes and low-bit grey
// expanded, tRNS as alpha, 16-bit samples cut to their high byte); it serves PNG-compressed
// icon entries. Writing turns the pixels of a 24 or 32-bit DIB (rows in the order given) into an
// 8-bit RGB or RGBA PNG, for saving the shown image.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/win_base.h"

struct sPngImage {
  uint32_t width = 0, height = 0;
  uint32_t bitsPerPixel = 0;  // 32 after a successful read
  uint32_t dataSize = 0;      // width * height * 4
  std::vector<uint8_t> pixels;  // rows top first, R, G, B, A
  uint8_t flag = 0;
};

// Decodes a whole PNG held in memory. False (record cleared) on a bad signature, a libpng
// error, truncated data or more than 2^28 pixels.
bool ReadPngFromMemory(sPngImage& image, const uint8_t* data, size_t size);
// The same from an open file positioned at the PNG signature: the rest of the file is read
// (the file is left open, at its end).
bool ReadPngFromFile(sPngImage& image, FILE* file);
// Size probe of a PNG file (program path); both outs 0 on failure; true when both non-zero.
bool GetPngSize(const char* fileName, uint32_t* width, uint32_t* height);
// Encodes width x |height| pixels, rows pitch bytes apart, bytes B, G, R (, A) per pixel, as an
// RGB (24-bit) or RGBA (32-bit) PNG into out. False for a null argument, a bit count other than
// 24 or 32, an empty size or a pitch shorter than a row.
bool EncodePngFromDib(const BITMAPINFOHEADER* header, const uint8_t* pixels, size_t pitch,
                      std::vector<uint8_t>* out);
// Encodes as above and writes the file (program path). A failure leaves no partial file.
bool SavePngFromDib(const char* fileName, const BITMAPINFOHEADER* header, const uint8_t* pixels,
                    size_t pitch);
// Frees the pixels and zeroes the record.
void ClearImageBuffer(sPngImage& image);
