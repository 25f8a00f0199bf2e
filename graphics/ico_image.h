#pragma once
// Windows icon (.ico) and cursor (.cur) decoder. One entry of the file is chosen and read:
// a device-independent bitmap (1, 2, 4, 8, 16, 24 or 32 bits, plus its 1-bit AND mask) or a
// PNG-compressed entry (decoded to RGBA through the PNG codec). Compressed bitmaps (RLE,
// JPEG) are not read.

#include <cstddef>
#include <cstdint>
#include <vector>

struct sIconImage {
  uint32_t width = 0;         // bitmap width (PNG entry: the PNG's)
  uint32_t height = 0;        // bitmap height without the mask (PNG entry: the PNG's)
  uint32_t bitsPerPixel = 0;  // bitmap bit count (PNG entry: 32)
  uint32_t xorStride = 0;     // bytes per XOR row, a multiple of 4
  uint32_t maskStride = 0;    // bytes per AND-mask row: ((width + 31) / 32) x 4
  uint32_t bufferSize = 0;
  uint32_t paletteCount = 0;  // BGRA quads at palette()
  std::vector<uint8_t> buffer;  // the entry's bytes, rows flipped to top first (PNG: RGBA pixels)
  size_t pixelsOffset = 0;    // first XOR row in buffer
  size_t maskOffset = 0;      // first mask row in buffer
  size_t paletteOffset = 0;   // first palette quad in buffer
  bool isPng = false;
  bool ok = false;
  const char* error = "";     // short reason when ok is false

  const uint8_t* pixels() const { return buffer.data() + pixelsOffset; }
  const uint8_t* mask() const { return buffer.data() + maskOffset; }
  const uint8_t* palette() const { return buffer.data() + paletteOffset; }
};

// Decodes the entry the viewer shows (icons: the deepest, then largest; cursors: the first).
// The result is image.ok; a failure leaves the record empty with image.error set.
bool DecodeIcon(const uint8_t* data, size_t size, sIconImage& image);
// Decodes entry `index` of the directory (0 is the first).
bool DecodeIconEntry(const uint8_t* data, size_t size, uint32_t index, sIconImage& image);
bool LoadIconFile(const char* programPath, sIconImage& image);
// Size of the entry DecodeIcon would read, without decoding pixels. Both outs are 0 on failure.
bool GetIconSize(const char* programPath, uint32_t* width, uint32_t* height);
bool GetIconSizeFromMemory(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height);
void FreeIconImage(sIconImage& image);

// Writes the image as A8R8G8B8 words (blue lowest) into `bits`, row r at r x pitch bytes.
// Bitmap entries: colours from the palette or the pixel bytes, then alpha 0 wherever the AND
// mask has a 1 bit; *hasAlpha tells whether any did. PNG entries: RGBA as decoded; *hasAlpha
// tells whether an alpha is below 255. False when the record holds no image.
bool ConvertIconToArgb(const sIconImage& image, uint8_t* bits, size_t pitch, bool* hasAlpha);
