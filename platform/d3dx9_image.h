#pragma once
// d3dx9_image: the picture-file half of D3DX 9 on the CPU. Files are recognised by content, never
// by extension: JPEG, PNG, BMP (and DIB, a BMP under another name), TGA, DDS (DXT1/3/5 and the
// uncompressed 16/24/32-bit layouts), Radiance HDR, PFM, and PPM/PGM (binary and ASCII).
// Saving covers all nine D3DXIMAGE_FILEFORMAT values.
//
// [DECODE]   DecodeImageFromMemory / ReadImageInfoFromMemory: bytes in, A8R8G8B8 rows out
// [ENCODE]   EncodeImageToMemory: A8R8G8B8 rows in, file bytes out
// [TEXTURE]  the D3DX file calls over a device texture (d3dx9_texture_file.cpp)
//
// Every entry point takes untrusted bytes: a bad or truncated file fails (false) and leaves the
// outputs untouched; it never reads outside the span.

#include <cstddef>
#include <cstdint>
#include <vector>

enum D3DXIMAGE_FILEFORMAT {
  D3DXIFF_BMP = 0,
  D3DXIFF_JPG = 1,
  D3DXIFF_TGA = 2,
  D3DXIFF_PNG = 3,
  D3DXIFF_DDS = 4,
  D3DXIFF_PPM = 5,
  D3DXIFF_DIB = 6,
  D3DXIFF_HDR = 7,
  D3DXIFF_PFM = 8,
  D3DXIFF_FORCE_DWORD = 0x7fffffff
};

// The largest picture we decode: 2^28 texels (1 GiB of A8R8G8B8). Larger declared sizes fail
// before anything is allocated.
constexpr uint64_t kMaxImageTexels = uint64_t(1) << 28;

// [DECODE] ------------------------------------------------------------------------------------
struct DecodedImage {
  uint32_t width = 0, height = 0;
  std::vector<uint32_t> argb;  // A8R8G8B8 words, rows top first, width * height of them
  bool hasAlpha = false;       // the file carries an alpha channel (TGA/PNG/DDS/BMP with alpha)
  D3DXIMAGE_FILEFORMAT fileFormat = D3DXIFF_BMP;
};

// Decodes frame 0 of a picture recognised by content. False (out untouched) for an unknown,
// damaged or oversized file. HDR and PFM are tone-mapped linearly (clamped to 0..1, no gamma).
bool DecodeImageFromMemory(const uint8_t* data, size_t size, DecodedImage* out);

// The file's own size, whether it carries alpha, and its format, from the header alone.
// False (outs untouched) when the content is not a picture we read.
bool ReadImageInfoFromMemory(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                             bool* hasAlpha, D3DXIMAGE_FILEFORMAT* format);

// Which format the bytes are, by their signature; false when none matches.
bool DetectImageFormat(const uint8_t* data, size_t size, D3DXIMAGE_FILEFORMAT* format);

// [ENCODE] ------------------------------------------------------------------------------------
// Writes width x height A8R8G8B8 pixels (rows top first, pitchBytes apart) as a file of the given
// format into *out (replaced). JPG, BMP, DIB, PPM and HDR drop alpha; PNG, TGA, DDS keep it
// (DDS is uncompressed A8R8G8B8); PFM stores linear RGB floats. False on a zero size, a null
// pointer, a pitch smaller than a row, or an encoder failure (*out is then empty).
bool EncodeImageToMemory(D3DXIMAGE_FILEFORMAT format, uint32_t width, uint32_t height,
                         const uint32_t* argb, size_t pitchBytes, std::vector<uint8_t>* out);

// Resamples src (w x h) to dstW x dstH with a triangle (tent) filter, as D3DX_FILTER_TRIANGLE
// does when a picture is stretched to a power-of-two texture. Linear in the output size.
void ResampleImageTriangle(const uint32_t* src, uint32_t w, uint32_t h, uint32_t* dst,
                           uint32_t dstW, uint32_t dstH);

// Smallest power of two >= n (n >= 1); 1 for 0.
uint32_t NextPowerOfTwo(uint32_t n);
