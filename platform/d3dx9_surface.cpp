// d3dx9_surface: saving a surface to a picture file and copying between surfaces, on the CPU
// through LockRect. Encoding is d3dx9_image's EncodeImageToMemory.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/d3dx9.h"

namespace {

struct Pixels {
  uint32_t width = 0, height = 0;
  std::vector<uint32_t> argb;  // rows top first
};

bool RectInside(const RECT& r, const D3DSURFACE_DESC& desc) {
  return r.left >= 0 && r.top >= 0 && r.right > r.left && r.bottom > r.top &&
         static_cast<UINT>(r.right) <= desc.Width && static_cast<UINT>(r.bottom) <= desc.Height;
}

// The whole surface or a rectangle of it, as A8R8G8B8 (opaque for X8R8G8B8). False for a
// rectangle outside the surface, an unsupported format or a failed lock.
bool ReadSurface(IDirect3DSurface9* surface, const RECT* area, Pixels* out) {
  D3DSURFACE_DESC desc{};
  if (FAILED(surface->GetDesc(&desc))) return false;
  if (desc.Format != D3DFMT_A8R8G8B8 && desc.Format != D3DFMT_X8R8G8B8) return false;
  const RECT whole{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
  const RECT r = area != nullptr ? *area : whole;
  if (!RectInside(r, desc)) return false;
  D3DLOCKED_RECT locked{};
  if (FAILED(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) return false;
  out->width = static_cast<uint32_t>(r.right - r.left);
  out->height = static_cast<uint32_t>(r.bottom - r.top);
  out->argb.resize(static_cast<size_t>(out->width) * out->height);
  const uint32_t alphaOr = desc.Format == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0u;
  for (uint32_t y = 0; y < out->height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(
        static_cast<const uint8_t*>(locked.pBits) + static_cast<ptrdiff_t>(r.top + y) * locked.Pitch);
    for (uint32_t x = 0; x < out->width; ++x) {
      out->argb[static_cast<size_t>(y) * out->width + x] = row[r.left + x] | alphaOr;
    }
  }
  surface->UnlockRect();
  return true;
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = crt::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  return written && closed;
}

void ScaleNearest(const Pixels& src, uint32_t width, uint32_t height, std::vector<uint32_t>* dst) {
  dst->resize(static_cast<size_t>(width) * height);
  for (uint32_t y = 0; y < height; ++y) {
    const uint32_t sy = static_cast<uint32_t>((static_cast<uint64_t>(y) * 2 + 1) * src.height / (2 * height));
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t sx = static_cast<uint32_t>((static_cast<uint64_t>(x) * 2 + 1) * src.width / (2 * width));
      (*dst)[static_cast<size_t>(y) * width + x] = src.argb[static_cast<size_t>(sy) * src.width + sx];
    }
  }
}

}  // namespace

HRESULT D3DXSaveSurfaceToFileA(const char* path, D3DXIMAGE_FILEFORMAT format,
                               IDirect3DSurface9* surface, const PALETTEENTRY* palette,
                               const RECT* sourceRect) {
  if (path == nullptr || path[0] == '\0' || surface == nullptr || palette != nullptr) {
    return D3DERR_INVALIDCALL;
  }
  Pixels pixels;
  if (!ReadSurface(surface, sourceRect, &pixels)) return D3DERR_INVALIDCALL;
  std::vector<uint8_t> bytes;
  if (!EncodeImageToMemory(format, pixels.width, pixels.height, pixels.argb.data(),
                           pixels.width * 4u, &bytes)) {
    return E_FAIL;
  }
  // Written beside the target first: a full disk or a failed write must not destroy an
  // existing file of that name.
  const std::string temporary = std::string(path) + ".saving";
  if (!WriteWholeFile(temporary, bytes) || crt::rename(temporary.c_str(), path) != 0) {
    crt::remove(temporary.c_str());
    return E_FAIL;
  }
  return D3D_OK;
}

HRESULT D3DXLoadSurfaceFromSurface(IDirect3DSurface9* dest, const PALETTEENTRY* destPalette,
                                   const RECT* destRect, IDirect3DSurface9* source,
                                   const PALETTEENTRY* sourcePalette, const RECT* sourceRect,
                                   DWORD filter, D3DCOLOR colorKey) {
  if (dest == nullptr || source == nullptr || destPalette != nullptr || sourcePalette != nullptr) {
    return D3DERR_INVALIDCALL;
  }
  Pixels src;
  if (!ReadSurface(source, sourceRect, &src)) return D3DERR_INVALIDCALL;

  D3DSURFACE_DESC desc{};
  if (FAILED(dest->GetDesc(&desc))) return D3DERR_INVALIDCALL;
  if (desc.Format != D3DFMT_A8R8G8B8 && desc.Format != D3DFMT_X8R8G8B8) return D3DERR_INVALIDCALL;
  const RECT whole{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
  const RECT r = destRect != nullptr ? *destRect : whole;
  if (!RectInside(r, desc)) return D3DERR_INVALIDCALL;
  const uint32_t width = static_cast<uint32_t>(r.right - r.left);
  const uint32_t height = static_cast<uint32_t>(r.bottom - r.top);

  std::vector<uint32_t> scaled;
  if (width == src.width && height == src.height) {
    scaled.swap(src.argb);
  } else if ((filter & 0xFF) == D3DX_FILTER_NONE || (filter & 0xFF) == D3DX_FILTER_POINT) {
    ScaleNearest(src, width, height, &scaled);
  } else {
    scaled.resize(static_cast<size_t>(width) * height);
    ResampleImageTriangle(src.argb.data(), src.width, src.height, scaled.data(), width, height);
  }
  if (colorKey != 0) {
    for (uint32_t& texel : scaled) {
      if (texel == colorKey) texel = 0;
    }
  }

  D3DLOCKED_RECT locked{};
  if (FAILED(dest->LockRect(&locked, nullptr, 0))) return D3DERR_INVALIDCALL;
  for (uint32_t y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) +
                                            static_cast<ptrdiff_t>(r.top + y) * locked.Pitch);
    std::copy(&scaled[static_cast<size_t>(y) * width], &scaled[static_cast<size_t>(y) * width] + width,
              row + r.left);
  }
  dest->UnlockRect();
  return D3D_OK;
}
