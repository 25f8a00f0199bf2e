// D3DX's picture-file calls over the device stand-in: decode on the CPU (d3dx9_image), size
// the texture by D3DX's rules, resample, and write level 0 through LockRect.

#include <cstdio>
#include <vector>

#include "platform/d3dx9.h"
#include "platform/d3dx9_image.h"
#include "platform/win_base.h"

namespace {

void FillInfo(uint32_t w, uint32_t h, bool alpha, D3DXIMAGE_FILEFORMAT format,
              D3DXIMAGE_INFO* info) {
  info->Width = w;
  info->Height = h;
  info->Depth = 1;
  info->MipLevels = 1;
  info->Format = alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
  info->ResourceType = D3DRTYPE_TEXTURE;
  info->ImageFileFormat = format;
}

uint32_t ChooseSize(UINT asked, uint32_t fileSize, uint32_t maxSize) {
  uint32_t size = asked == D3DX_DEFAULT_NONPOW2 ? fileSize
                  : (asked == D3DX_DEFAULT || asked == 0) ? NextPowerOfTwo(fileSize)
                                                          : asked;
  if (maxSize && size > maxSize) {
    size = maxSize;
    if (asked == D3DX_DEFAULT || asked == 0) {  // stay a power of two
      uint32_t p = 1;
      while (p * 2 <= maxSize) p *= 2;
      size = p;
    }
  }
  return size;
}

void ResampleNearest(const DecodedImage& src, uint32_t w, uint32_t h, std::vector<uint32_t>* dst) {
  for (uint32_t y = 0; y < h; ++y) {
    uint32_t sy = uint32_t((uint64_t(y) * 2 + 1) * src.height / (2 * uint64_t(h)));
    for (uint32_t x = 0; x < w; ++x) {
      uint32_t sx = uint32_t((uint64_t(x) * 2 + 1) * src.width / (2 * uint64_t(w)));
      (*dst)[size_t(y) * w + x] = src.argb[size_t(sy) * src.width + sx];
    }
  }
}

}  // namespace

HRESULT D3DXGetImageInfoFromFileInMemory(const void* data, UINT size, D3DXIMAGE_INFO* info) {
  if (!data || !info) return D3DERR_INVALIDCALL;
  uint32_t w, h;
  bool alpha;
  D3DXIMAGE_FILEFORMAT format;
  if (!ReadImageInfoFromMemory(static_cast<const uint8_t*>(data), size, &w, &h, &alpha, &format)) {
    return D3DXERR_INVALIDDATA;
  }
  FillInfo(w, h, alpha, format, info);
  return D3D_OK;
}

HRESULT D3DXGetImageInfoFromFileA(const char* file, D3DXIMAGE_INFO* info) {
  if (!file || !*file || !info) return D3DERR_INVALIDCALL;
  // Headers sit at the start; a JPEG's frame header may follow large metadata blocks, so a
  // failed probe of a partial read tries the whole file.
  std::vector<uint8_t> bytes;
  bool whole = false;
  if (!ReadFileHead(file, 1 << 20, &bytes, &whole)) return D3DERR_NOTFOUND;
  HRESULT hr = D3DXGetImageInfoFromFileInMemory(bytes.data(), UINT(bytes.size()), info);
  if (FAILED(hr) && !whole) {
    if (!ReadWholeFile(file, &bytes)) return D3DERR_NOTFOUND;
    if (bytes.size() > 0xFFFFFFFFu) return D3DXERR_INVALIDDATA;
    hr = D3DXGetImageInfoFromFileInMemory(bytes.data(), UINT(bytes.size()), info);
  }
  return hr;
}

HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* data, UINT size,
                                            UINT width, UINT height, UINT mipLevels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                            DWORD /*mipFilter*/, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                            IDirect3DTexture9** texture) {
  if (texture) *texture = nullptr;
  if (!device || !data || !texture || palette) return D3DERR_INVALIDCALL;
  if (mipLevels != 1 && mipLevels != D3DX_DEFAULT && mipLevels != 0) return D3DERR_INVALIDCALL;
  DecodedImage image;
  if (!DecodeImageFromMemory(static_cast<const uint8_t*>(data), size, &image)) {
    return D3DXERR_INVALIDDATA;
  }
  D3DXIMAGE_INFO info;
  FillInfo(image.width, image.height, image.hasAlpha, image.fileFormat, &info);
  if (format == D3DFMT_UNKNOWN) format = info.Format;
  if (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8) return D3DERR_INVALIDCALL;
  D3DCAPS9 caps{};
  uint32_t maxW = 0, maxH = 0;
  if (SUCCEEDED(device->GetDeviceCaps(&caps))) maxW = caps.MaxTextureWidth, maxH = caps.MaxTextureHeight;
  uint32_t w = ChooseSize(width, image.width, maxW), h = ChooseSize(height, image.height, maxH);
  if (w == 0 || h == 0 || uint64_t(w) * h > kMaxImageTexels) return D3DERR_INVALIDCALL;

  std::vector<uint32_t> scaled;
  const std::vector<uint32_t>* texels = &image.argb;
  if (w != image.width || h != image.height) {
    scaled.resize(size_t(w) * h);
    DWORD kind = filter & 0xFF;
    if (kind == D3DX_FILTER_NONE || kind == D3DX_FILTER_POINT) {
      ResampleNearest(image, w, h, &scaled);
    } else {
      ResampleImageTriangle(image.argb.data(), image.width, image.height, scaled.data(), w, h);
    }
    texels = &scaled;
  }
  IDirect3DTexture9* created = nullptr;
  HRESULT hr = device->CreateTexture(w, h, 1, usage, format, pool, &created, nullptr);
  if (FAILED(hr) || !created) return FAILED(hr) ? hr : E_FAIL;
  D3DLOCKED_RECT locked{};
  if (FAILED(created->LockRect(0, &locked, nullptr, 0))) {
    created->Release();
    return E_FAIL;
  }
  uint32_t opaque = format == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0;
  for (uint32_t y = 0; y < h; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) +
                                                ptrdiff_t(y) * locked.Pitch);
    const uint32_t* src = texels->data() + size_t(y) * w;
    for (uint32_t x = 0; x < w; ++x) {
      uint32_t t = src[x] | opaque;
      row[x] = colorKey && t == colorKey ? 0 : t;
    }
  }
  created->UnlockRect(0);
  if (srcInfo) *srcInfo = info;
  *texture = created;
  return D3D_OK;
}

HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, const char* file, UINT width,
                                     UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                     D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                     D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo,
                                     PALETTEENTRY* palette, IDirect3DTexture9** texture) {
  if (texture) *texture = nullptr;
  if (!device || !file || !*file || !texture) return D3DERR_INVALIDCALL;
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(file, &bytes)) return D3DERR_NOTFOUND;
  if (bytes.size() > 0xFFFFFFFFu) return D3DXERR_INVALIDDATA;
  return D3DXCreateTextureFromFileInMemoryEx(device, bytes.data(), UINT(bytes.size()), width,
                                             height, mipLevels, usage, format, pool, filter,
                                             mipFilter, colorKey, srcInfo, palette, texture);
}

HRESULT D3DXSaveTextureToFileA(const char* path, D3DXIMAGE_FILEFORMAT format,
                               IDirect3DBaseTexture9* texture, const PALETTEENTRY* palette) {
  auto* texture2d = dynamic_cast<IDirect3DTexture9*>(texture);
  if (!path || !texture2d) return D3DERR_INVALIDCALL;
  IDirect3DSurface9* level = nullptr;
  if (FAILED(texture2d->GetSurfaceLevel(0, &level)) || !level) return D3DERR_INVALIDCALL;
  HRESULT hr = D3DXSaveSurfaceToFileA(path, format, level, palette, nullptr);
  level->Release();
  return hr;
}
