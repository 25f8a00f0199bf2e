// BMP and headerless DIB: OS/2 core (12-byte) and Windows info headers (40 to 124 bytes);
// 1, 4, 8-bit palettes, 16 and 32-bit with or without bitfields, 24-bit; RLE8 and RLE4.
// Not supported: embedded JPEG/PNG (BI_JPEG, BI_PNG), Huffman-1D and 64-bit bitmaps.
// 32-bit BI_RGB bitmaps are opaque: their fourth byte is padding (the clipboard leaves junk
// there). RLE pixels that a delta or an early end-of-line skips stay palette entry 0.

#include <cstring>

#include "core/byte_cursor.h"
#include "platform/image_codecs.h"

namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kAlphaBitfields = 6;

struct BmpHeader {
  uint32_t width = 0, height = 0;
  bool topDown = false;
  uint32_t bpp = 0, compression = 0;
  uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  uint32_t paletteCount = 0, paletteEntrySize = 4;
  size_t paletteOffset = 0;
  size_t pixelOffset = 0;
};

bool ParseHeader(const uint8_t* data, size_t size, bool headerless, BmpHeader* h) {
  ByteCursor in(data, size);
  size_t base = 0;
  size_t declaredOffset = 0;
  if (!headerless) {
    if (in.u8() != 'B' || in.u8() != 'M') return false;
    in.skip(8);
    declaredOffset = in.u32le();
    base = 14;
  }
  uint32_t headerSize = in.u32le();
  if (headerSize == 12) {
    h->width = in.u16le();
    h->height = in.u16le();
    in.u16le();
    h->bpp = in.u16le();
    h->paletteEntrySize = 3;
  } else if (headerSize >= 40 && headerSize <= 124) {
    int32_t w = in.i32le();
    int32_t ht = in.i32le();
    in.u16le();
    h->bpp = in.u16le();
    h->compression = in.u32le();
    in.skip(12);
    uint32_t used = in.u32le();
    in.u32le();
    if (w <= 0 || ht == 0 || ht == INT32_MIN) return false;
    h->width = uint32_t(w);
    h->topDown = ht < 0;
    h->height = uint32_t(ht < 0 ? -ht : ht);
    h->paletteCount = used;
    bool bitfields = h->compression == kBitfields || h->compression == kAlphaBitfields;
    if (headerSize >= 52) {
      for (int i = 0; i < 3; ++i) h->masks[i] = in.u32le();
      if (headerSize >= 56) h->masks[3] = in.u32le();
      in.seek(base + headerSize);
    } else if (bitfields) {
      for (int i = 0; i < 3; ++i) h->masks[i] = in.u32le();
      if (h->compression == kAlphaBitfields) h->masks[3] = in.u32le();
    }
    if (!bitfields) std::memset(h->masks, 0, sizeof h->masks);
  } else {
    return false;
  }
  if (in.failed()) return false;
  switch (h->bpp) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return false;
  }
  switch (h->compression) {
    case kRgb: break;
    case kRle8: if (h->bpp != 8) return false; break;
    case kRle4: if (h->bpp != 4) return false; break;
    case kBitfields: case kAlphaBitfields: if (h->bpp != 16 && h->bpp != 32) return false; break;
    default: return false;
  }
  if (h->bpp <= 8) {
    uint32_t full = 1u << h->bpp;
    if (h->paletteCount == 0 || h->paletteCount > full) h->paletteCount = full;
  } else {
    h->paletteCount = 0;  // a palette of a true-colour bitmap is only a hint
  }
  if (h->compression != kRgb && h->topDown && h->bpp <= 8) return false;  // RLE is bottom-up
  h->paletteOffset = in.position();
  size_t paletteBytes = size_t(h->paletteCount) * h->paletteEntrySize;
  h->pixelOffset = headerless || declaredOffset == 0 ? h->paletteOffset + paletteBytes
                                                      : declaredOffset;
  return ImageSizeAcceptable(h->width, h->height);
}

bool DecodeRle(ByteCursor in, const BmpHeader& h, std::vector<uint8_t>* indices) {
  uint32_t w = h.width, x = 0, y = 0;  // y counts rows from the bottom
  bool four = h.compression == kRle4;
  auto put = [&](uint8_t v) {
    if (x < w && y < h.height) (*indices)[size_t(y) * w + x] = v;
    ++x;
  };
  while (y < h.height && !in.atEnd()) {
    uint8_t count = in.u8();
    uint8_t value = in.u8();
    if (in.failed()) break;
    if (count) {
      for (uint32_t i = 0; i < count && x < w; ++i) {
        put(four ? uint8_t(i & 1 ? value & 15 : value >> 4) : value);
      }
      continue;
    }
    if (value == 0) {
      x = 0, ++y;
    } else if (value == 1) {
      return true;
    } else if (value == 2) {
      x += in.u8();
      y += in.u8();
    } else {
      size_t bytes = four ? (size_t(value) + 1) / 2 : value;
      const uint8_t* run = in.take((bytes + 1) & ~size_t(1));
      if (!run) run = in.take(bytes);  // last run without its padding byte
      if (!run) return false;
      for (uint32_t i = 0; i < value; ++i) {
        put(four ? uint8_t(i & 1 ? run[i / 2] & 15 : run[i / 2] >> 4) : run[i]);
      }
    }
  }
  return true;
}

}  // namespace

bool InfoBmp(const uint8_t* data, size_t size, bool headerless, ImageInfo* info) {
  BmpHeader h;
  if (!ParseHeader(data, size, headerless, &h)) return false;
  info->width = h.width;
  info->height = h.height;
  info->hasAlpha = h.masks[3] != 0;
  return true;
}

bool DecodeBmp(const uint8_t* data, size_t size, bool headerless, DecodedImage* out) {
  BmpHeader h;
  if (!ParseHeader(data, size, headerless, &h)) return false;
  uint32_t palette[256];
  ByteCursor pal = ByteCursor(data, size).at(h.paletteOffset,
                                              size_t(h.paletteCount) * h.paletteEntrySize);
  for (uint32_t i = 0; i < 256; ++i) palette[i] = 0xFF000000u;
  for (uint32_t i = 0; i < h.paletteCount; ++i) {
    uint8_t b = pal.u8(), g = pal.u8(), r = pal.u8();
    if (h.paletteEntrySize == 4) pal.u8();
    palette[i] = PackArgb(r, g, b, 255);
  }
  if (pal.failed()) return false;
  if (h.pixelOffset > size) return false;
  ByteCursor pixels(data + h.pixelOffset, size - h.pixelOffset);
  bool rle = h.compression == kRle8 || h.compression == kRle4;
  size_t stride = (size_t(h.width) * h.bpp + 31) / 32 * 4;
  if (rle) {
    // Runs give at most 255 pixels per 2 bytes; deltas skip more, but only degenerate files
    // consist of little else.
    if (!DataCanHold(uint64_t(h.width) * h.height, pixels.remaining(), 4096)) return false;
  } else {
    size_t needed;
    if (!CheckedMul(stride, h.height, &needed) || needed > pixels.remaining()) {
      // Writers often leave out the last row's padding.
      size_t last = (size_t(h.width) * h.bpp + 7) / 8;
      if ((h.height - 1) * stride + last > pixels.remaining()) return false;
    }
  }
  DecodedImage image;
  PrepareDecodedImage(&image, h.width, h.height, h.masks[3] != 0, D3DXIFF_BMP);
  uint32_t w = h.width;
  auto rowOf = [&](uint32_t fileRow) {  // file rows run bottom-up unless the height was negative
    return image.argb.data() + size_t(h.topDown ? fileRow : h.height - 1 - fileRow) * w;
  };
  if (rle) {
    std::vector<uint8_t> indices(size_t(w) * h.height, 0);
    if (!DecodeRle(pixels, h, &indices)) return false;
    for (uint32_t y = 0; y < h.height; ++y) {
      uint32_t* dst = rowOf(y);
      for (uint32_t x = 0; x < w; ++x) dst[x] = palette[indices[size_t(y) * w + x]];
    }
    *out = std::move(image);
    return true;
  }
  uint32_t defaults[4] = {0, 0, 0, 0};
  if (h.bpp == 16) defaults[0] = 0x7C00, defaults[1] = 0x03E0, defaults[2] = 0x001F;
  if (h.bpp == 32) defaults[0] = 0xFF0000, defaults[1] = 0xFF00, defaults[2] = 0xFF;
  const uint32_t* masks = h.masks[0] | h.masks[1] | h.masks[2] ? h.masks : defaults;
  MaskedChannel r(masks[0]), g(masks[1]), b(masks[2]), a(masks[3]);
  for (uint32_t y = 0; y < h.height; ++y) {
    const uint8_t* src = pixels.data() + size_t(y) * stride;
    uint32_t* dst = rowOf(y);
    switch (h.bpp) {
      case 1: case 4: case 8: {
        uint32_t perByte = 8 / h.bpp, maskBits = (1u << h.bpp) - 1;
        for (uint32_t x = 0; x < w; ++x) {
          uint32_t shift = (perByte - 1 - x % perByte) * h.bpp;
          dst[x] = palette[(src[x / perByte] >> shift) & maskBits];
        }
        break;
      }
      case 24:
        for (uint32_t x = 0; x < w; ++x, src += 3) dst[x] = PackArgb(src[2], src[1], src[0], 255);
        break;
      default:
        for (uint32_t x = 0; x < w; ++x) {
          uint32_t p = h.bpp == 16 ? uint32_t(src[0] | src[1] << 8)
                                   : uint32_t(src[0] | src[1] << 8 | src[2] << 16) |
                                         uint32_t(src[3]) << 24;
          src += h.bpp / 8;
          dst[x] = PackArgb(r.ToByteTruncated(p), g.ToByteTruncated(p), b.ToByteTruncated(p),
                            a.present() ? a.ToByteTruncated(p) : 255);
        }
        break;
    }
  }
  *out = std::move(image);
  return true;
}

bool EncodeBmp(uint32_t width, uint32_t height, const uint32_t* argb, size_t pitchBytes,
               std::vector<uint8_t>* out) {
  size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
  size_t total = 54 + stride * height;
  if (total > 0xFFFFFFFFu) return false;
  out->assign(total, 0);
  uint8_t* p = out->data();
  auto put16 = [&](size_t at, uint32_t v) { p[at] = uint8_t(v), p[at + 1] = uint8_t(v >> 8); };
  auto put32 = [&](size_t at, uint32_t v) { put16(at, v), put16(at + 2, v >> 16); };
  p[0] = 'B', p[1] = 'M';
  put32(2, uint32_t(total));
  put32(10, 54);
  put32(14, 40);
  put32(18, width);
  put32(22, height);
  put16(26, 1);
  put16(28, 24);
  put32(34, uint32_t(stride * height));
  put32(38, 2835);  // 72 dpi
  put32(42, 2835);
  const uint8_t* base = reinterpret_cast<const uint8_t*>(argb);
  for (uint32_t y = 0; y < height; ++y) {
    const uint32_t* src = reinterpret_cast<const uint32_t*>(base + (height - 1 - y) * pitchBytes);
    uint8_t* dst = p + 54 + y * stride;
    for (uint32_t x = 0; x < width; ++x) {
      dst[x * 3] = uint8_t(src[x]);
      dst[x * 3 + 1] = uint8_t(src[x] >> 8);
      dst[x * 3 + 2] = uint8_t(src[x] >> 16);
    }
  }
  return true;
}
