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

#include "platform/d3d9.h"

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

// [TEXTURE] -----------------------------------------------------------------------------------
// The D3DX_DEFAULT / D3DX_DEFAULT_NONPOW2 sizes and the D3DX_FILTER_ values are in d3dx9.h.

struct D3DXIMAGE_INFO {
  UINT Width;   // the file's own size
  UINT Height;
  UINT Depth;      // 1
  UINT MipLevels;  // 1: only the top level is read
  D3DFORMAT Format;  // A8R8G8B8 when the file carries alpha, else X8R8G8B8
  D3DRESOURCETYPE ResourceType;  // D3DRTYPE_TEXTURE
  D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

// The file's size, pixel format and file format, from its header (program path, CP936).
// D3DXERR_INVALIDDATA for a file that is not a picture we read, D3DERR_NOTFOUND when it does not
// open, D3DERR_INVALIDCALL for null arguments.
HRESULT D3DXGetImageInfoFromFileA(const char* file, D3DXIMAGE_INFO* info);
HRESULT D3DXGetImageInfoFromFileInMemory(const void* data, UINT size, D3DXIMAGE_INFO* info);

// Loads a picture (recognised by content) into a new one-level texture. width/height:
// D3DX_DEFAULT (or 0) rounds the file's size up to powers of two and resamples with the filter
// (the picture covers the whole texture, no padding); D3DX_DEFAULT_NONPOW2 keeps the file's
// size; other values are taken as given. Sizes are capped at the device's maximum. format
// D3DFMT_UNKNOWN takes the file's (see D3DXIMAGE_INFO); the stand-in device holds A8R8G8B8 and
// X8R8G8B8 texels only. A non-zero colourKey turns texels of that A8R8G8B8 value into 0.
// srcInfo (may be null) receives the file's info. On any failure *texture is null and nothing
// is left allocated. mipLevels other than 1 (or D3DX_DEFAULT) and palettes are not supported.
HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, const char* file, UINT width,
                                     UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                     D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                     D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo,
                                     PALETTEENTRY* palette, IDirect3DTexture9** texture);
HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* data, UINT size,
                                            UINT width, UINT height, UINT mipLevels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                            DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                            IDirect3DTexture9** texture);

// Writes level 0 of the texture to a file in the format (through D3DXSaveSurfaceToFileA).
HRESULT D3DXSaveTextureToFileA(const char* path, D3DXIMAGE_FILEFORMAT format,
                               IDirect3DBaseTexture9* texture, const PALETTEENTRY* palette);

#ifndef D3DXERR_INVALIDDATA
#define D3DXERR_INVALIDDATA ((HRESULT)0x88760B59u)
#endif
