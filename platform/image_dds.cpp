// DDS: DXT1/DXT3/DXT5 (and the premultiplied DXT2/DXT4, shown as stored), uncompressed RGB,
// RGBA, luminance and alpha layouts described by bit masks (8 to 32 bits a pixel), and the
// DX10 extension header for the common 8-bit RGBA/BGRA and BC1-BC3 formats. Only the top mip
// level of the first face is read. Saving writes uncompressed A8R8G8B8 without mip levels.

#include <cstring>

#include "core/byte_cursor.h"
#include "platform/image_codecs.h"

namespace {

constexpr uint32_t kAlphaPixels = 0x1, kAlphaOnly = 0x2, kFourCc = 0x4, kRgbFlag = 0x40,
                   kLuminance = 0x20000;

constexpr uint32_t FourCc(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
         uint32_t(uint8_t(d)) << 24;
}

enum class DdsKind { Dxt1, Dxt3, Dxt5, Masks };

struct DdsHeader {
  uint32_t width = 0, height = 0;
  DdsKind kind = DdsKind::Masks;
  uint32_t bitCount = 0;
  uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  bool luminance = false;
  bool hasAlpha = false;
  size_t dataOffset = 0;
};

bool ParseHeader(const uint8_t* data, size_t size, DdsHeader* h) {
  ByteCursor in(data, size);
  if (in.u32le() != FourCc('D', 'D', 'S', ' ')) return false;
  if (in.u32le() != 124) return false;
  in.u32le();
  h->height = in.u32le();
  h->width = in.u32le();
  in.skip(12 + 44);
  in.u32le();  // pixel format size: some writers put 0 here, so it is not checked
  uint32_t flags = in.u32le();
  uint32_t fourCc = in.u32le();
  h->bitCount = in.u32le();
  for (uint32_t& m : h->masks) m = in.u32le();
  in.skip(20);
  if (in.failed()) return false;
  h->dataOffset = 128;
  if (flags & kFourCc) {
    if (fourCc == FourCc('D', 'X', '1', '0')) {
      uint32_t dxgi = in.u32le();
      in.skip(16);
      if (in.failed()) return false;
      h->dataOffset = 148;
      switch (dxgi) {
        case 71: case 72: h->kind = DdsKind::Dxt1; break;
        case 74: case 75: h->kind = DdsKind::Dxt3; h->hasAlpha = true; break;
        case 77: case 78: h->kind = DdsKind::Dxt5; h->hasAlpha = true; break;
        case 28: case 29:  // R8G8B8A8
          h->bitCount = 32;
          h->masks[0] = 0xFF, h->masks[1] = 0xFF00, h->masks[2] = 0xFF0000;
          h->masks[3] = 0xFF000000u;
          h->hasAlpha = true;
          break;
        case 87: case 91: case 88: case 93:  // B8G8R8A8 / B8G8R8X8
          h->bitCount = 32;
          h->masks[0] = 0xFF0000, h->masks[1] = 0xFF00, h->masks[2] = 0xFF;
          h->hasAlpha = dxgi == 87 || dxgi == 91;
          h->masks[3] = h->hasAlpha ? 0xFF000000u : 0;
          break;
        default: return false;
      }
    } else if (fourCc == FourCc('D', 'X', 'T', '1')) {
      h->kind = DdsKind::Dxt1;
    } else if (fourCc == FourCc('D', 'X', 'T', '2') || fourCc == FourCc('D', 'X', 'T', '3')) {
      h->kind = DdsKind::Dxt3;
      h->hasAlpha = true;
    } else if (fourCc == FourCc('D', 'X', 'T', '4') || fourCc == FourCc('D', 'X', 'T', '5')) {
      h->kind = DdsKind::Dxt5;
      h->hasAlpha = true;
    } else {
      return false;
    }
  } else {
    if (h->bitCount != 8 && h->bitCount != 16 && h->bitCount != 24 && h->bitCount != 32) {
      return false;
    }
    if (!(flags & kAlphaPixels) && !(flags & kAlphaOnly)) h->masks[3] = 0;
    // Masks beyond the pixel's bits are junk (some writers put 0xFF000000 in every mask of an
    // 8-bit luminance file); such a luminance mask means all the pixel's bits.
    if (h->bitCount < 32) {
      uint32_t bits = (1u << h->bitCount) - 1;
      for (uint32_t& m : h->masks) m &= bits;
      if ((flags & kLuminance) && h->masks[0] == 0) h->masks[0] = bits;
    }
    h->luminance = (flags & kLuminance) != 0;
    if (!(flags & (kRgbFlag | kLuminance | kAlphaOnly))) return false;
    if (!(flags & kAlphaOnly) && (h->masks[0] | h->masks[1] | h->masks[2]) == 0) return false;
    h->hasAlpha = h->masks[3] != 0;
  }
  return ImageSizeAcceptable(h->width, h->height);
}

void Expand565(uint16_t c, uint32_t rgb[3]) {
  uint32_t r = c >> 11, g = (c >> 5) & 63, b = c & 31;
  rgb[0] = r << 3 | r >> 2;
  rgb[1] = g << 2 | g >> 4;
  rgb[2] = b << 3 | b >> 2;
}

// One 4x4 colour block into 16 ARGB words (alpha 255, or 0 for DXT1's transparent entry).
void DecodeColorBlock(const uint8_t* block, bool allowTransparent, uint32_t out[16]) {
  uint16_t c0 = uint16_t(block[0] | block[1] << 8), c1 = uint16_t(block[2] | block[3] << 8);
  uint32_t a[3], b[3];
  Expand565(c0, a);
  Expand565(c1, b);
  uint32_t table[4];
  table[0] = PackArgb(a[0], a[1], a[2], 255);
  table[1] = PackArgb(b[0], b[1], b[2], 255);
  if (c0 > c1 || !allowTransparent) {
    table[2] = PackArgb((2 * a[0] + b[0]) / 3, (2 * a[1] + b[1]) / 3, (2 * a[2] + b[2]) / 3, 255);
    table[3] = PackArgb((a[0] + 2 * b[0]) / 3, (a[1] + 2 * b[1]) / 3, (a[2] + 2 * b[2]) / 3, 255);
  } else {
    table[2] = PackArgb((a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2, 255);
    table[3] = 0;
  }
  uint32_t bits = uint32_t(block[4]) | uint32_t(block[5]) << 8 | uint32_t(block[6]) << 16 |
                  uint32_t(block[7]) << 24;
  for (int i = 0; i < 16; ++i) out[i] = table[(bits >> (2 * i)) & 3];
}

void ApplyAlpha(uint32_t texels[16], const uint8_t alpha[16]) {
  for (int i = 0; i < 16; ++i) texels[i] = (texels[i] & 0xFFFFFF) | uint32_t(alpha[i]) << 24;
}

void DecodeDxt3Alpha(const uint8_t* block, uint8_t alpha[16]) {
  for (int i = 0; i < 16; ++i) {
    uint32_t nibble = (block[i / 2] >> (4 * (i & 1))) & 15;
    alpha[i] = uint8_t(nibble * 17);
  }
}

void DecodeDxt5Alpha(const uint8_t* block, uint8_t alpha[16]) {
  uint32_t a0 = block[0], a1 = block[1];
  uint32_t table[8] = {a0, a1};
  if (a0 > a1) {
    for (int i = 1; i < 7; ++i) table[i + 1] = ((7 - i) * a0 + i * a1) / 7;
  } else {
    for (int i = 1; i < 5; ++i) table[i + 1] = ((5 - i) * a0 + i * a1) / 5;
    table[6] = 0;
    table[7] = 255;
  }
  uint64_t bits = 0;
  for (int i = 0; i < 6; ++i) bits |= uint64_t(block[2 + i]) << (8 * i);
  for (int i = 0; i < 16; ++i) alpha[i] = uint8_t(table[(bits >> (3 * i)) & 7]);
}

bool DecodeBlocks(const DdsHeader& h, ByteCursor in, DecodedImage* image) {
  size_t blockBytes = h.kind == DdsKind::Dxt1 ? 8 : 16;
  size_t bw = (size_t(h.width) + 3) / 4, bh = (size_t(h.height) + 3) / 4;
  size_t needed;
  if (!CheckedMul(bw * bh, blockBytes, &needed) || needed > in.remaining()) return false;
  const uint8_t* p = in.take(needed);
  uint32_t texels[16];
  uint8_t alpha[16];
  for (size_t by = 0; by < bh; ++by) {
    for (size_t bx = 0; bx < bw; ++bx, p += blockBytes) {
      const uint8_t* colour = h.kind == DdsKind::Dxt1 ? p : p + 8;
      DecodeColorBlock(colour, h.kind == DdsKind::Dxt1, texels);
      if (h.kind == DdsKind::Dxt3) DecodeDxt3Alpha(p, alpha), ApplyAlpha(texels, alpha);
      if (h.kind == DdsKind::Dxt5) DecodeDxt5Alpha(p, alpha), ApplyAlpha(texels, alpha);
      for (size_t y = 0; y < 4 && by * 4 + y < h.height; ++y) {
        uint32_t* row = image->argb.data() + (by * 4 + y) * h.width;
        for (size_t x = 0; x < 4 && bx * 4 + x < h.width; ++x) row[bx * 4 + x] = texels[y * 4 + x];
      }
    }
  }
  return true;
}

bool DecodeMasked(const DdsHeader& h, ByteCursor in, DecodedImage* image) {
  size_t bytesPer = h.bitCount / 8;
  size_t needed;
  if (!CheckedMul(size_t(h.width) * h.height, bytesPer, &needed) || needed > in.remaining()) {
    return false;
  }
  const uint8_t* p = in.take(needed);
  MaskedChannel r(h.masks[0]), g(h.masks[1]), b(h.masks[2]), a(h.masks[3]);
  for (uint32_t& px : image->argb) {
    uint32_t v = 0;
    for (size_t i = 0; i < bytesPer; ++i) v |= uint32_t(p[i]) << (8 * i);
    p += bytesPer;
    uint32_t red = r.ToByteRounded(v);
    uint32_t green = h.luminance ? red : g.ToByteRounded(v);
    uint32_t blue = h.luminance ? red : b.ToByteRounded(v);
    px = PackArgb(red, green, blue, a.present() ? a.ToByteRounded(v) : 255);
  }
  return true;
}

}  // namespace

bool InfoDds(const uint8_t* data, size_t size, ImageInfo* info) {
  DdsHeader h;
  if (!ParseHeader(data, size, &h)) return false;
  info->width = h.width;
  info->height = h.height;
  info->hasAlpha = h.hasAlpha;
  return true;
}

bool DecodeDds(const uint8_t* data, size_t size, DecodedImage* out) {
  DdsHeader h;
  if (!ParseHeader(data, size, &h) || h.dataOffset > size) return false;
  ByteCursor in(data + h.dataOffset, size - h.dataOffset);
  // Blocks hold 16 pixels in 8 or 16 bytes; uncompressed pixels take bitCount / 8 bytes.
  uint64_t perByte = h.kind == DdsKind::Dxt1 ? 2 : 1;
  uint64_t pixels = uint64_t(h.width) * h.height;
  if (h.kind == DdsKind::Masks) pixels *= h.bitCount / 8;
  if (!DataCanHold(pixels, in.remaining(), perByte)) return false;
  DecodedImage image;
  PrepareDecodedImage(&image, h.width, h.height, h.hasAlpha, D3DXIFF_DDS);
  bool ok = h.kind == DdsKind::Masks ? DecodeMasked(h, in, &image) : DecodeBlocks(h, in, &image);
  if (!ok) return false;
  *out = std::move(image);
  return true;
}

bool EncodeDds(uint32_t width, uint32_t height, const uint32_t* argb, size_t pitchBytes,
               std::vector<uint8_t>* out) {
  out->assign(128 + size_t(width) * height * 4, 0);
  uint8_t* p = out->data();
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[at + i] = uint8_t(v >> (8 * i));
  };
  put32(0, FourCc('D', 'D', 'S', ' '));
  put32(4, 124);
  put32(8, 0x100F);  // caps, height, width, pitch, pixel format
  put32(12, height);
  put32(16, width);
  put32(20, width * 4);
  put32(76, 32);
  put32(80, kRgbFlag | kAlphaPixels);
  put32(88, 32);
  put32(92, 0xFF0000);
  put32(96, 0xFF00);
  put32(100, 0xFF);
  put32(104, 0xFF000000u);
  put32(108, 0x1000);  // a texture
  const uint8_t* base = reinterpret_cast<const uint8_t*>(argb);
  uint8_t* dst = p + 128;
  for (uint32_t y = 0; y < height; ++y) {
    const uint32_t* src = reinterpret_cast<const uint32_t*>(base + y * pitchBytes);
    for (uint32_t x = 0; x < width; ++x, dst += 4) {
      uint32_t v = src[x];
      dst[0] = uint8_t(v), dst[1] = uint8_t(v >> 8), dst[2] = uint8_t(v >> 16);
      dst[3] = uint8_t(v >> 24);
    }
  }
  return true;
}
