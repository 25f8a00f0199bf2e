#pragma once
// cGifImage: a whole GIF87a/GIF89a file decoded into memory: the logical screen, the global
// colour table and every image as a frame of colour indices (one byte a pixel, rows top first
// after de-interlacing), for the texture loader and its animation step.
// Not kept: plain-text extensions, comments, application blocks (the loop count), and per-frame
// delays (only the last graphic-control delay is kept, as the animation step uses one delay).
//
// Damaged files: a frame reaching past the logical screen is clipped to it; a frame of width or
// height 0 is kept as an empty frame; LZW data with a code beyond the next free code ends the
// frame (pixels not reached stay index 0); a file without its trailer fails as a whole.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct sGifFrame {
  // Position and size on the logical screen, after clipping to it.
  uint16_t left = 0, top = 0, width = 1, height = 1;
  uint16_t colorCount = 0;  // 256 when the global table is used, else the local table's size
  uint8_t disposal = 0;
  uint8_t transparentIndex = 0;
  bool hasTransparency = false;
  bool usesGlobalTable = true;
  std::vector<uint8_t> localTable;  // colorCount * 3 bytes, empty with the global table
  std::vector<uint8_t> pixels;      // width * height colour indices
};

class cGifImage {
 public:
  cGifImage();
  ~cGifImage();
  cGifImage(const cGifImage&) = delete;
  cGifImage& operator=(const cGifImage&) = delete;

  // Frees every frame; size, counts and delay 0; backgroundColor 0xFFFFFFFF; flags false.
  void Clear();
  // Reads the file (a program path) and decodes it. True when the trailer was reached.
  bool Load(const char* fileName);
  // The same from bytes in memory. False for a null/empty span, a bad signature, a screen of
  // more than 2^26 pixels, a short colour table, a bad first LZW byte, or no trailer.
  bool LoadFromMemory(const uint8_t* data, size_t size);

  const uint8_t* GetPixels() const;        // current frame's indices; null when not loaded
  uint8_t GetTransparentIndex() const;     // 0 when not loaded
  bool HasTransparency() const;            // false when not loaded
  uint32_t GetColor(uint8_t index) const;  // 0xFF000000 | rgb; 0 past the table or not loaded
  uint8_t GetDisposal(uint32_t frame) const;
  void GetFrameOffset(uint32_t* left, uint32_t* top) const;
  void GetFrameSize(uint32_t* width, uint32_t* height) const;

  // Paints the current frame at its offset into width x height A8R8G8B8 texels (pitchBytes
  // apart), first filling every texel with backgroundColor when clearFirst. Transparent
  // indices leave the texel as it is; an index past the colour count paints 0.
  void PaintCurrentFrame(uint32_t* texels, size_t pitchBytes, bool clearFirst) const;

  uint32_t width = 0, height = 0;  // logical screen
  uint32_t frameCount = 0;
  uint32_t currentFrame = 0;
  uint32_t delay = 0;  // ms, of the last graphic control extension
  uint32_t backgroundColor = 0xFFFFFFFFu;
  uint8_t pendingTransparentIndex = 0;
  uint8_t pendingDisposal = 0;
  bool is87a = false;
  bool pendingHasTransparency = false;
  bool hasGlobalTable = false;
  bool loaded = false;
  uint8_t globalTable[256 * 3] = {};
  std::vector<std::unique_ptr<sGifFrame>> frames;

 private:
  const sGifFrame* Current() const;
};

// Size probe: the logical screen of a GIF file (program path) or of bytes in memory. Both outs
// are 0 unless the header is a GIF's; true when both are non-zero.
bool GetGifSize(const char* fileName, uint32_t* width, uint32_t* height);
bool GetGifSizeFromMemory(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height);
