#pragma once
// TIFF 6.0 reader: the first image file directory of a baseline TIFF turned into a raster of
// 0xAARRGGBB words. Reads strips and tiles, contiguous and separate planes, compressions none,
// CCITT RLE / Group 3 / Group 4, LZW (new and old style), PackBits and Deflate, horizontal
// prediction, bilevel, grey, palette, RGB and CMYK pictures with associated or unassociated
// alpha. Not read: JPEG compression, YCbCr, CIE Lab, floating-point samples, later directories.
// Orientation: top-left kinds are shown as stored, bottom-left kinds upside down; no mirroring.

#include <cstddef>
#include <cstdint>
#include <vector>

// One directory entry; `valuePos` is where its 4-byte value or offset field sits in the file.
struct sTiffEntry {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint32_t count = 0;
  uint32_t value = 0;
  size_t valuePos = 0;
};

struct sTiffColor {
  uint16_t red, green, blue;
};

class cTiffImage {
 public:
  // Tags whose presence changes decoding.
  enum Present : uint32_t {
    kHasWidth = 1u << 0,
    kHasHeight = 1u << 1,
    kHasPhotometric = 1u << 2,
    kHasStripOffsets = 1u << 3,
    kHasStripByteCounts = 1u << 4,
    kHasTileOffsets = 1u << 5,
    kHasTileByteCounts = 1u << 6,
    kHasTileWidth = 1u << 7,
    kHasTileLength = 1u << 8,
    kHasRowsPerStrip = 1u << 9,
    kHasColorMap = 1u << 10,
  };

  cTiffImage() = default;

  // Reads a file (program path) and decodes it; false with the object reset on failure.
  bool Load(const char* programPath);
  // The same from a whole file held in memory (the bytes need not outlive the call).
  bool LoadFromMemory(const uint8_t* data, size_t size);
  // Frees every buffer and restores the defaults.
  void Reset();
  // Whether the directory describes a picture that can be turned into 32-bit colour.
  bool CanDecode() const;
  // Settles alpha kind, photometric, layout, routine and converter; false when no converter.
  bool BeginDecode();
  // Short stable reason of the last failure ("" after success).
  const char* error() const { return error_; }
  // Samples per pixel that are not extra samples (alpha and the like).
  uint32_t ColourChannels() const;

  std::vector<sTiffEntry> entries;
  uint32_t present = 0;
  uint32_t width = 1, height = 1;
  uint16_t bitsPerSample = 1;
  uint16_t samplesPerPixel = 1;
  uint16_t bitsPerPixel = 1;
  std::vector<sTiffColor> colorMap;
  uint32_t rowOffset = 0, colOffset = 0;
  uint32_t alphaKind = 0;  // 0 none, 1 associated, 2 unassociated
  uint32_t rowsPerStrip = 0xFFFFFFFFu;
  uint16_t photometric = 0;
  uint16_t planarConfig = 1;
  uint16_t compression = 1;
  uint16_t orientation = 1;
  uint16_t fillOrder = 1;
  uint16_t inkSet = 1;
  uint16_t predictor = 1;
  uint16_t sampleFormat = 1;
  std::vector<uint16_t> extraSamples;
  uint32_t stripCount = 0;  // strips or tiles
  uint32_t tileLength = 0, tileWidth = 0;
  uint32_t faxOptions = 0;
  bool contiguous = true;
  bool tiled = false;
  std::vector<uint32_t> raster;  // width x height words, row 0 at the top
  std::vector<uint32_t> stripByteCounts, stripOffsets;
  uint32_t routine = 0;    // 1 tiles contiguous, 2 tiles separate, 3 strips contiguous, 4 separate
  uint32_t converter = 0;  // pixel converter kind
  bool littleEndian = true;
  bool ok = false;

 private:
  bool ReadDirectory(const uint8_t* data, size_t size);
  bool ReadTag(const uint8_t* data, size_t size, const sTiffEntry& e);
  bool Fail(const char* why);

  const char* error_ = "";
};

// Size from the first directory without decoding. Both outs are 0 on failure.
bool GetTiffSize(const char* programPath, uint32_t* width, uint32_t* height);
bool GetTiffSizeFromMemory(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height);
