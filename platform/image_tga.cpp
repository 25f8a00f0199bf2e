// Truevision TGA: colour-mapped (8 or 16-bit indices into 15/16/24/32-bit entries), true-colour
// (15/16, 24, 32 bits) and grey (8 bits, or 16 as grey + alpha), raw or run-length encoded,
// either vertical and horizontal origin. 32-bit pixels keep their alpha; 15/16-bit ones are
// opaque. Data that ends before the last pixel fails the file (runs may cross rows, and are
// clipped to the picture).

#include <algorithm>
#include <cstring>

#include "core/byte_cursor.h"
#include "platform/image_codecs.h"

namespace {

struct TgaHeader {
  uint32_t width = 0, height = 0;
  uint8_t type = 0, bpp = 0, descriptor = 0;
  uint32_t mapFirst = 0, mapLength = 0, mapBits = 0;
  size_t mapOffset = 0, dataOffset = 0;
  bool hasAlpha = false;
};

bool ParseHeader(const uint8_t* data, size_t size, TgaHeader* h) {
  ByteCursor in(data, size);
  uint8_t idLength = in.u8();
  uint8_t mapType = in.u8();
  h->type = in.u8();
  h->mapFirst = in.u16le();
  h->mapLength = in.u16le();
  h->mapBits = in.u8();
  in.skip(4);
  h->width = in.u16le();
  h->height = in.u16le();
  h->bpp = in.u8();
  h->descriptor = in.u8();
  if (in.failed() || h->width == 0 || h->height == 0 || mapType > 1) return false;
  uint8_t kind = h->type & 7;  // 1 mapped, 2 true colour, 3 grey; +8 RLE
  if ((h->type & ~8) == 0 || kind > 3 || (h->type & 0xF0)) return false;
  bool mapped = kind == 1;
  if (mapped && mapType != 1) return false;
  switch (kind) {
    case 1:
      if ((h->bpp != 8 && h->bpp != 16) || h->mapLength == 0) return false;
      if (h->mapBits != 15 && h->mapBits != 16 && h->mapBits != 24 && h->mapBits != 32) {
        return false;
      }
      h->hasAlpha = h->mapBits == 32;
      break;
    case 2:
      if (h->bpp != 15 && h->bpp != 16 && h->bpp != 24 && h->bpp != 32) return false;
      h->hasAlpha = h->bpp == 32;
      break;
    default:
      if (h->bpp != 8 && h->bpp != 16) return false;
      h->hasAlpha = h->bpp == 16;
      break;
  }
  in.skip(idLength);
  h->mapOffset = in.position();
  // A colour map may be present (and must be skipped) even in a true-colour file.
  size_t mapBytes = mapType == 1 ? size_t(h->mapLength) * ((h->mapBits + 7) / 8) : 0;
  if (!in.skip(mapBytes)) return false;
  h->dataOffset = in.position();
  return !in.failed();
}

uint32_t Widen5(uint32_t v) { return v * 255 / 31; }

// One stored value (colour entry or pixel) of `bits` bits as ARGB.
uint32_t ColourOf(const uint8_t* p, uint32_t bits) {
  switch (bits) {
    case 15:
    case 16: {
      uint32_t v = uint32_t(p[0] | p[1] << 8);
      return PackArgb(Widen5((v >> 10) & 31), Widen5((v >> 5) & 31), Widen5(v & 31), 255);
    }
    case 24: return PackArgb(p[2], p[1], p[0], 255);
    default: return PackArgb(p[2], p[1], p[0], p[3]);
  }
}

}  // namespace

bool LooksLikeTga(const uint8_t* data, size_t size) {
  TgaHeader h;
  return ParseHeader(data, size, &h);
}

bool InfoTga(const uint8_t* data, size_t size, ImageInfo* info) {
  TgaHeader h;
  if (!ParseHeader(data, size, &h)) return false;
  info->width = h.width;
  info->height = h.height;
  info->hasAlpha = h.hasAlpha;
  return true;
}

bool DecodeTga(const uint8_t* data, size_t size, DecodedImage* out) {
  TgaHeader h;
  if (!ParseHeader(data, size, &h)) return false;
  uint8_t kind = h.type & 7;
  std::vector<uint32_t> palette;
  if (kind == 1) {
    size_t entryBytes = (h.mapBits + 7) / 8;
    const uint8_t* map = data + h.mapOffset;
    palette.resize(h.mapLength);
    for (uint32_t i = 0; i < h.mapLength; ++i) {
      palette[i] = ColourOf(map + i * entryBytes, h.mapBits);
    }
  }
  size_t bytesPer = (h.bpp + 7) / 8;
  ByteCursor in(data + h.dataOffset, size - h.dataOffset);
  // A raw pixel takes bytesPer bytes; an RLE packet of 1 + bytesPer bytes gives 128 pixels.
  uint64_t pixels = uint64_t(h.width) * h.height;
  bool rle = (h.type & 8) != 0;
  if (!DataCanHold(rle ? pixels : pixels * bytesPer, in.remaining(), rle ? 128 : 1)) return false;
  DecodedImage image;
  PrepareDecodedImage(&image, h.width, h.height, h.hasAlpha, D3DXIFF_TGA);
  size_t count = image.argb.size();
  // Pixels in file order first; the origin is applied afterwards.
  auto convert = [&](const uint8_t* p) -> uint32_t {
    if (kind == 1) {
      uint32_t index = bytesPer == 2 ? uint32_t(p[0] | p[1] << 8) : p[0];
      bool inMap = index >= h.mapFirst && index - h.mapFirst < palette.size();
      return inMap ? palette[index - h.mapFirst] : 0xFF000000u;
    }
    if (kind == 3) return PackArgb(p[0], p[0], p[0], bytesPer == 2 ? p[1] : 255);
    return ColourOf(p, h.bpp);
  };
  uint32_t* px = image.argb.data();
  if (h.type & 8) {
    size_t i = 0;
    while (i < count) {
      uint8_t packet = in.u8();
      size_t n = std::min<size_t>((packet & 0x7F) + 1u, count - i);
      if (packet & 0x80) {
        const uint8_t* p = in.take(bytesPer);
        if (!p) return false;
        uint32_t v = convert(p);
        for (size_t k = 0; k < n; ++k) px[i++] = v;
      } else {
        const uint8_t* p = in.take(n * bytesPer);
        if (!p) return false;
        for (size_t k = 0; k < n; ++k, p += bytesPer) px[i++] = convert(p);
      }
    }
  } else {
    size_t needed;
    if (!CheckedMul(count, bytesPer, &needed)) return false;
    const uint8_t* p = in.take(needed);
    if (!p) return false;
    for (size_t i = 0; i < count; ++i, p += bytesPer) px[i] = convert(p);
  }
  bool topDown = (h.descriptor & 0x20) != 0, rightToLeft = (h.descriptor & 0x10) != 0;
  if (!topDown) {
    for (uint32_t y = 0; y < h.height / 2; ++y) {
      std::swap_ranges(px + size_t(y) * h.width, px + size_t(y + 1) * h.width,
                       px + size_t(h.height - 1 - y) * h.width);
    }
  }
  if (rightToLeft) {
    for (uint32_t y = 0; y < h.height; ++y) {
      std::reverse(px + size_t(y) * h.width, px + size_t(y + 1) * h.width);
    }
  }
  *out = std::move(image);
  return true;
}
