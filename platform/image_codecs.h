#pragma once
// The per-format halves of d3dx9_image: one decoder (and header probe) and one encoder per file
// format, each in its own image_<format>.cpp. Only d3dx9_image.cpp calls these; it has already
// matched the format's signature. Decoders fill *out only on success.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/d3dx9_image.h"

struct ImageInfo {
  uint32_t width = 0, height = 0;
  bool hasAlpha = false;
};

// Rejects a zero or oversized declared size (more than kMaxImageTexels).
inline bool ImageSizeAcceptable(uint64_t width, uint64_t height) {
  return width > 0 && height > 0 && width <= kMaxImageTexels && height <= kMaxImageTexels &&
         width * height <= kMaxImageTexels;
}

// Whether `bytes` of data can describe `pixels` pixels when each byte yields at most
// pixelsPerByte of them: checked before allocating, so a tiny file cannot claim a huge picture.
inline bool DataCanHold(uint64_t pixels, size_t bytes, uint64_t pixelsPerByte) {
  return pixels <= (uint64_t(bytes) + 1) * pixelsPerByte;
}

// Sets out's size and allocates its pixels (all 0xFF000000).
void PrepareDecodedImage(DecodedImage* out, uint32_t width, uint32_t height, bool hasAlpha,
                         D3DXIMAGE_FILEFORMAT format);

inline uint32_t PackArgb(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  return a << 24 | r << 16 | g << 8 | b;
}
// One colour channel of a pixel packed under a bit mask (BMP bitfields, DDS pixel formats):
// where the mask starts and its largest value. Each format widens to 8 bits its own way: BMP
// rounds down, DDS to nearest. An absent channel (mask 0) reads as 0.
struct MaskedChannel {
  uint32_t mask = 0, shift = 0, max = 0;
  explicit MaskedChannel(uint32_t m) : mask(m) {
    if (!m) return;
    while (!((m >> shift) & 1)) ++shift;
    max = m >> shift;
  }
  bool present() const { return max != 0; }
  uint32_t ToByteTruncated(uint32_t pixel) const { return Widen(pixel, 0); }
  uint32_t ToByteRounded(uint32_t pixel) const { return Widen(pixel, max / 2); }

 private:
  // In 64 bits: a hostile mask may be up to 32 bits wide.
  uint32_t Widen(uint32_t pixel, uint32_t half) const {
    if (!max) return 0;
    uint32_t v = (pixel & mask) >> shift;
    return max == 255 ? v : uint32_t((uint64_t(v) * 255 + half) / max);
  }
};

// A linear float sample (0..1 shown) as a byte: clamped, then truncated (the 8-bit value that
// other viewers show for the same HDR/PFM file).
inline uint8_t FloatToByte(float v) {
  if (!(v > 0.0f)) return 0;  // also NaN
  if (v >= 1.0f) return 255;
  return uint8_t(v * 255.0f);
}

bool DecodeJpeg(const uint8_t* data, size_t size, DecodedImage* out);
bool InfoJpeg(const uint8_t* data, size_t size, ImageInfo* info);
bool EncodeJpeg(uint32_t width, uint32_t height, const uint32_t* argb, size_t pitchBytes,
                std::vector<uint8_t>* out);

bool DecodePngImage(const uint8_t* data, size_t size, DecodedImage* out);
bool InfoPng(const uint8_t* data, size_t size, ImageInfo* info);

bool DecodeBmp(const uint8_t* data, size_t size, bool headerless, DecodedImage* out);
bool InfoBmp(const uint8_t* data, size_t size, bool headerless, ImageInfo* info);
bool EncodeBmp(uint32_t width, uint32_t height, const uint32_t* argb, size_t pitchBytes,
               std::vector<uint8_t>* out);

bool DecodeTga(const uint8_t* data, size_t size, DecodedImage* out);
bool InfoTga(const uint8_t* data, size_t size, ImageInfo* info);
bool LooksLikeTga(const uint8_t* data, size_t size);

bool DecodeDds(const uint8_t* data, size_t size, DecodedImage* out);
bool InfoDds(const uint8_t* data, size_t size, ImageInfo* info);
bool EncodeDds(uint32_t width, uint32_t height, const uint32_t* argb, size_t pitchBytes,
               std::vector<uint8_t>* out);

bool DecodeHdr(const uint8_t* data, size_t size, DecodedImage* out);
bool InfoHdr(const uint8_t* data, size_t size, ImageInfo* info);

bool DecodePfm(const uint8_t* data, size_t size, DecodedImage* out);
bool InfoPfm(const uint8_t* data, size_t size, ImageInfo* info);
bool EncodePfm(uint32_t width, uint32_t height, const uint32_t* argb, size_t pitchBytes,
               std::vector<uint8_t>* out);

bool DecodePpm(const uint8_t* data, size_t size, DecodedImage* out);
bool InfoPpm(const uint8_t* data, size_t size, ImageInfo* info);
bool EncodePpm(uint32_t width, uint32_t height, const uint32_t* argb, size_t pitchBytes,
               std::vector<uint8_t>* out);

// Through stb_image_write (image_stb.cpp): PNG (RGBA), TGA (RGBA, RLE), HDR (RGB floats).
bool EncodePngStb(uint32_t width, uint32_t height, const uint32_t* argb, size_t pitchBytes,
                  std::vector<uint8_t>* out);
bool EncodeTga(uint32_t width, uint32_t height, const uint32_t* argb, size_t pitchBytes,
               std::vector<uint8_t>* out);
bool EncodeHdr(uint32_t width, uint32_t height, const uint32_t* argb, size_t pitchBytes,
               std::vector<uint8_t>* out);

// PNG through libpng (image_png.cpp), shared with the application's own PNG reading: palettes
// and low-bit grey are expanded, tRNS becomes alpha, grey is spread to RGB. 16-bit samples keep
// their high byte (highByte, the application's rule) or become floor(v / 257) (D3DX's).
// rgba gets width * height * 4 bytes (R, G, B, A), rows top first.
// hasAlpha: the file has an alpha channel or a tRNS chunk. False on any libpng error,
// truncation or an oversized image (outputs then unspecified).
bool DecodePngRgba(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                   bool* hasAlpha, std::vector<uint8_t>* rgba, bool highByte);

class ByteCursor;
// Netpbm/PFM header words: skips whitespace and '#' comments, then reads up to 31 non-space
// bytes into word. False at the end of the data or for an over-long word.
bool ReadHeaderWord(ByteCursor* in, char word[32]);
// A header word as a positive decimal up to limit; false otherwise.
bool ReadHeaderNumber(ByteCursor* in, uint32_t limit, uint32_t* value);
