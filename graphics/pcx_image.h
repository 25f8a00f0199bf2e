#pragma once
// ZSoft PCX decoder: run-length-decoded scan lines plus an RGB palette for images of at most
// 8 bits per pixel. Reads 1, 2, 4 and 8-bit single-plane images, planar images whose planes
// together make 2, 4 or 8 bits (the 16-colour EGA form among them), and 24-bit images as 3 or
// 4 planes of 8 bits. Other layouts (e.g. 3 one-bit planes) are refused.

#include <cstddef>
#include <cstdint>
#include <vector>

struct sPcxImage {
  std::vector<uint8_t> pixels;   // `height` lines of `lineSize` bytes, see below
  std::vector<uint8_t> palette;  // `paletteCount` RGB triplets; empty above 8 bits
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t lineSize = 0;      // bytes per line x planes
  uint32_t bitsPerPixel = 0;  // bits per plane x planes
  uint32_t dataSize = 0;      // lineSize x height
  uint32_t paletteCount = 0;  // 1 << bitsPerPixel up to 8 bits, else 0
  uint32_t planes = 0;        // above 8 bits: bytes per pixel in a line
  bool ok = false;
  const char* error = "";     // short reason when ok is false
};
// Lines handed on: up to 8 bits, packed palette indices, most significant bits first (planar
// files are already merged); above 8 bits, pixel x at bytes x * planes as blue, green, red
// (then the fourth plane's byte).

// Decodes a whole PCX file held in memory; the result is image.ok (image.error says why not).
// A failure leaves the record empty.
void DecodePcx(const uint8_t* data, size_t size, sPcxImage& image);
// Reads and decodes a file (program path); the result is image.ok.
void LoadPcxFile(const char* programPath, sPcxImage& image);
// Size from the header only. False for a file that is not a PCX this decoder reads.
bool GetPcxSize(const char* programPath, uint32_t* width, uint32_t* height);
bool GetPcxSizeFromMemory(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height);
void FreePcxImage(sPcxImage& image);

// Writes the decoded image as A8R8G8B8 words (blue lowest, alpha 255) into `bits`, row r at
// r x pitch bytes. False when the record holds no image.
bool ConvertPcxToArgb(const sPcxImage& image, uint8_t* bits, size_t pitch);
