// cTexture loading, locking and drawing, and the animated-GIF step.

#include "graphics/texture.h"

#include <algorithm>
#include <cstring>

#include "graphics/gif_image.h"
#include "graphics/graphics.h"
#include "graphics/ico_image.h"
#include "graphics/pcx_image.h"
#include "graphics/tiff_image.h"
#include "graphics/wbmp_image.h"
#include "platform/d3dx9.h"
#include "platform/win_base.h"

namespace {

constexpr size_t kMaxNameLength = 520;

uint32_t* RowOf(const D3DLOCKED_RECT& locked, uint32_t y) {
  return reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) +
                                     ptrdiff_t(y) * locked.Pitch);
}

// The animation step clock, one for the whole system.
DWORD g_stepClock = 0;
bool g_stepClockSet = false;

}  // namespace

cTexture::cTexture() = default;

cTexture::~cTexture() { Free(); }

void cTexture::Free() {
  if (d3dTexture) d3dTexture->Release();
  d3dTexture = nullptr;
  gif.reset();
  name.clear();
  graphics = nullptr;
  id = 0;
  imageType = kImageUnknown;
  width = height = 0;
  lastUse = 0;
  hasAlpha = false;
}

void cTexture::SetName(const char* text) {
  name.clear();
  if (text) name.assign(text, strnlen(text, kMaxNameLength));
}

uint32_t GetImageTypeFromName(const char* fileName) {
  if (!fileName || !*fileName) return kImageUnknown;
  const char* dot = std::strrchr(fileName, '.');
  if (!dot) return kImageUnknown;
  char ext[10] = {};
  size_t n = 0;
  for (const char* p = dot + 1; *p && n < 9; ++p, ++n) {
    char c = *p;
    ext[n] = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
  }
  static const struct {
    const char* ext;
    uint32_t type;
  } kTable[] = {{"jpg", kImageJpg},  {"png", kImagePng},  {"gif", kImageGif},  {"bmp", kImageBmp},
                {"tif", kImageTif},  {"tga", kImageTga},  {"dds", kImageDds},  {"dib", kImageDib},
                {"hdr", kImageHdr},  {"pfm", kImagePfm},  {"ppm", kImagePpm},  {"pcx", kImagePcx},
                {"ico", kImageIco},  {"cur", kImageCur},  {"tiff", kImageTif}, {"wbmp", kImageWbmp}};
  for (const auto& entry : kTable) {
    if (std::strcmp(ext, entry.ext) == 0) return entry.type;
  }
  return kImageUnknown;
}

bool cTexture::LoadFromFile(const char* fileName, cGraphics* g, D3DFORMAT fmt, bool powerOfTwo) {
  if (!fileName) return false;
  bool ok;
  switch (GetImageTypeFromName(fileName)) {
    case kImageGif: ok = LoadGif(fileName, g); break;
    case kImageTif: ok = LoadTiff(fileName, g); break;
    case kImagePcx: ok = LoadPcx(fileName, g); break;
    case kImageIco: ok = LoadIcon(fileName, g, false); break;
    case kImageCur: ok = LoadIcon(fileName, g, true); break;
    case kImageWbmp: ok = LoadWbmp(fileName, g); break;
    default: ok = LoadWithD3DX(fileName, g, fmt, powerOfTwo); break;
  }
  SetName(fileName);
  return ok;
}

bool cTexture::CreateAndLock(cGraphics* g, uint32_t w, uint32_t h, D3DLOCKED_RECT* locked) {
  if (!g || !g->device || w == 0 || h == 0) return false;
  IDirect3DTexture9* created = nullptr;
  D3DFORMAT fmt = D3DFMT_A8R8G8B8;
  if (FAILED(g->device->CreateTexture(w, h, 1, 0, fmt, D3DPOOL_MANAGED, &created, nullptr))) {
    fmt = D3DFMT_X8R8G8B8;
    created = nullptr;
    if (FAILED(g->device->CreateTexture(w, h, 1, 0, fmt, D3DPOOL_MANAGED, &created, nullptr))) {
      return false;
    }
  }
  if (!created) return false;
  if (FAILED(created->LockRect(0, locked, nullptr, 0))) {
    created->Release();
    return false;
  }
  d3dTexture = created;
  format = fmt;
  graphics = g;
  width = w;
  height = h;
  return true;
}

bool cTexture::LoadGif(const char* fileName, cGraphics* g) {
  Free();
  if (!fileName || !g) return false;
  auto decoded = std::make_unique<cGifImage>();
  if (!decoded->Load(fileName)) return false;
  D3DLOCKED_RECT locked{};
  if (!CreateAndLock(g, decoded->width, decoded->height, &locked)) {
    Free();
    return false;
  }
  decoded->PaintCurrentFrame(static_cast<uint32_t*>(locked.pBits), size_t(locked.Pitch), true);
  d3dTexture->UnlockRect(0);
  gif = std::move(decoded);
  imageType = kImageGif;
  lastUse = timeGetTime();
  return true;
}

bool cTexture::LoadTiff(const char* fileName, cGraphics* g) {
  Free();
  if (!fileName || !g) return false;
  cTiffImage tiff;
  if (!tiff.Load(fileName) ||
      tiff.raster.size() != size_t(tiff.width) * tiff.height) {
    return false;
  }
  D3DLOCKED_RECT locked{};
  if (!CreateAndLock(g, tiff.width, tiff.height, &locked)) {
    Free();
    return false;
  }
  bool alpha = false;
  for (uint32_t y = 0; y < tiff.height; ++y) {
    const uint32_t* src = &tiff.raster[size_t(y) * tiff.width];
    uint32_t* dst = RowOf(locked, y);
    for (uint32_t x = 0; x < tiff.width; ++x) {
      dst[x] = src[x];
      if ((src[x] >> 24) < 255) alpha = true;
    }
  }
  d3dTexture->UnlockRect(0);
  hasAlpha = alpha;
  imageType = kImageTif;
  lastUse = timeGetTime();
  return true;
}

bool cTexture::LoadPcx(const char* fileName, cGraphics* g) {
  Free();
  if (!fileName || !g) return false;
  sPcxImage pcx;
  LoadPcxFile(fileName, pcx);
  if (!pcx.ok) return false;
  D3DLOCKED_RECT locked{};
  if (!CreateAndLock(g, pcx.width, pcx.height, &locked)) {
    Free();
    return false;
  }
  bool ok = ConvertPcxToArgb(pcx, static_cast<uint8_t*>(locked.pBits), size_t(locked.Pitch));
  d3dTexture->UnlockRect(0);
  if (!ok) {
    Free();
    return false;
  }
  imageType = kImagePcx;
  lastUse = timeGetTime();
  return true;
}

bool cTexture::LoadIcon(const char* fileName, cGraphics* g, bool /*cursor*/) {
  Free();
  if (!fileName || !g) return false;
  sIconImage icon;
  if (!LoadIconFile(fileName, icon) || !icon.ok) return false;
  D3DLOCKED_RECT locked{};
  if (!CreateAndLock(g, icon.width, icon.height, &locked)) {
    Free();
    return false;
  }
  // A bit depth the converter does not handle fails the load: the texels would be undefined.
  bool alpha = false;
  bool ok = ConvertIconToArgb(icon, static_cast<uint8_t*>(locked.pBits), size_t(locked.Pitch),
                              &alpha);
  d3dTexture->UnlockRect(0);
  if (!ok) {
    Free();
    return false;
  }
  hasAlpha = alpha;
  imageType = kImageIco;  // cursors are recorded as icons
  lastUse = timeGetTime();
  return true;
}

bool cTexture::LoadWbmp(const char* fileName, cGraphics* g) {
  Free();
  if (!fileName || !g) return false;
  sWbmpImage wbmp;
  if (!LoadWbmpFile(fileName, wbmp)) return false;
  D3DLOCKED_RECT locked{};
  if (!CreateAndLock(g, wbmp.width, wbmp.height, &locked)) {
    Free();
    return false;
  }
  for (uint32_t y = 0; y < wbmp.height; ++y) {
    const uint8_t* src = &wbmp.pixels[size_t(y) * wbmp.rowBytes];
    uint32_t* dst = RowOf(locked, y);
    for (uint32_t x = 0; x < wbmp.width; ++x) {
      dst[x] = (src[x / 8] >> (7 - x % 8)) & 1 ? 0xFFFFFFFFu : 0xFF000000u;
    }
  }
  d3dTexture->UnlockRect(0);
  imageType = kImageWbmp;
  lastUse = timeGetTime();
  return true;
}

bool cTexture::LoadWithD3DX(const char* fileName, cGraphics* g, D3DFORMAT fmt, bool powerOfTwo) {
  Free();
  if (!fileName || !g || !g->device) return false;
  graphics = g;
  UINT size = powerOfTwo ? D3DX_DEFAULT : D3DX_DEFAULT_NONPOW2;
  D3DXIMAGE_INFO info{};
  IDirect3DTexture9* created = nullptr;
  HRESULT hr = D3DXCreateTextureFromFileExA(g->device, fileName, size, size, 1, 0, fmt,
                                            D3DPOOL_MANAGED, D3DX_FILTER_TRIANGLE, D3DX_DEFAULT,
                                            0, &info, nullptr, &created);
  if (FAILED(hr) && fmt != D3DFMT_UNKNOWN) {
    hr = D3DXCreateTextureFromFileExA(g->device, fileName, size, size, 1, 0, D3DFMT_UNKNOWN,
                                      D3DPOOL_MANAGED, D3DX_FILTER_TRIANGLE, D3DX_DEFAULT, 0,
                                      &info, nullptr, &created);
  }
  if (FAILED(hr) || !created) {
    Free();
    return false;
  }
  d3dTexture = created;
  switch (info.ImageFileFormat) {
    case D3DXIFF_BMP: imageType = kImageBmp; break;
    case D3DXIFF_JPG: imageType = kImageJpg; break;
    case D3DXIFF_TGA: imageType = kImageTga; break;
    case D3DXIFF_PNG: imageType = kImagePng; break;
    case D3DXIFF_DDS: imageType = kImageDds; break;
    case D3DXIFF_PPM: imageType = kImagePpm; break;
    case D3DXIFF_DIB: imageType = kImageDib; break;
    case D3DXIFF_HDR: imageType = kImageHdr; break;
    default: imageType = kImageUnknown; break;
  }
  width = info.Width;
  height = info.Height;
  format = info.Format;
  bool scan = (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8) &&
              (imageType == kImageTga || imageType == kImagePng || imageType == kImageDds);
  D3DLOCKED_RECT locked{};
  if (scan && SUCCEEDED(d3dTexture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) {
    // The file's size, which a power-of-two texture exceeds: only that corner is scanned.
    D3DSURFACE_DESC desc{};
    d3dTexture->GetLevelDesc(0, &desc);
    uint32_t w = std::min<uint32_t>(width, desc.Width), h = std::min<uint32_t>(height, desc.Height);
    for (uint32_t y = 0; y < h && !hasAlpha; ++y) {
      const uint32_t* row = RowOf(locked, y);
      for (uint32_t x = 0; x < w; ++x) {
        if ((row[x] >> 24) < 255) {
          hasAlpha = true;
          break;
        }
      }
    }
    d3dTexture->UnlockRect(0);
  }
  lastUse = timeGetTime();
  return true;
}

bool cTexture::CreateEmpty(cGraphics* g, UINT w, UINT h, D3DFORMAT fmt, DWORD usage, D3DPOOL pool) {
  Free();
  if (!g || !g->device) return false;
  IDirect3DTexture9* created = nullptr;
  if (FAILED(g->device->CreateTexture(w, h, 1, usage, fmt, pool, &created, nullptr)) || !created) {
    return false;
  }
  D3DSURFACE_DESC desc{};
  if (FAILED(created->GetLevelDesc(0, &desc))) {
    created->Release();
    return false;
  }
  d3dTexture = created;
  graphics = g;
  width = desc.Width;
  height = desc.Height;
  format = desc.Format;
  lastUse = timeGetTime();
  return true;
}

bool cTexture::Lock(DWORD flags, void** bits, int* pitch) {
  if (!d3dTexture) return false;
  D3DLOCKED_RECT locked{};
  if (FAILED(d3dTexture->LockRect(0, &locked, nullptr, flags))) return false;
  if (bits) *bits = locked.pBits;
  if (pitch) *pitch = locked.Pitch;
  return true;
}

bool cTexture::Unlock() { return d3dTexture && SUCCEEDED(d3dTexture->UnlockRect(0)); }

bool DrawTexture(cTexture& texture, const RECT* dest, const RECT* source, D3DCOLOR color) {
  if (!texture.d3dTexture || !texture.graphics || !dest) return false;
  if (dest->right - dest->left == 0 || dest->bottom - dest->top == 0) return false;
  if (source && (source->right - source->left == 0 || source->bottom - source->top == 0)) {
    return false;
  }
  if (!source) {
    texture.graphics->DrawTexturedRect(&texture, color, float(dest->left), float(dest->top),
                                       float(dest->right), float(dest->bottom));
  } else {
    texture.graphics->DrawTexturedRectPart(dest, source, &texture, color);
  }
  return true;
}

bool GetImageSize(const char* fileName, uint32_t* width, uint32_t* height) {
  *width = *height = 0;
  switch (GetImageTypeFromName(fileName)) {
    case kImageGif: return GetGifSize(fileName, width, height);
    case kImageTif: return GetTiffSize(fileName, width, height);
    case kImagePcx: return GetPcxSize(fileName, width, height);
    case kImageIco:
    case kImageCur: return GetIconSize(fileName, width, height);
    case kImageWbmp: return GetWbmpSize(fileName, width, height);
    default: break;
  }
  D3DXIMAGE_INFO info{};
  if (!fileName || FAILED(D3DXGetImageInfoFromFileA(fileName, &info))) return false;
  *width = info.Width;
  *height = info.Height;
  return true;
}

void AdvanceAnimatedGif(cTexture& texture) {
  cGifImage* gif = texture.gif.get();
  if (!gif || gif->frameCount < 2 || !texture.d3dTexture) return;
  DWORD now = timeGetTime();
  if (!g_stepClockSet) {
    g_stepClock = now;
    g_stepClockSet = true;
  }
  if (now - g_stepClock < gif->delay + 100) return;
  if (gif->loaded) {
    gif->currentFrame = gif->currentFrame < gif->frameCount - 1 ? gif->currentFrame + 1 : 0;
  }
  D3DLOCKED_RECT locked{};
  if (FAILED(texture.d3dTexture->LockRect(0, &locked, nullptr, 0))) return;
  uint32_t current = gif->currentFrame;
  bool clear = gif->is87a || current == 0 || gif->GetDisposal(current - 1) == 2;
  // The texture may be larger than the screen only if made elsewhere; paint within the GIF.
  gif->PaintCurrentFrame(static_cast<uint32_t*>(locked.pBits), size_t(locked.Pitch), clear);
  texture.d3dTexture->UnlockRect(0);
  g_stepClock = timeGetTime();
}

void ResetAnimationClockForTesting() { g_stepClockSet = false; }
