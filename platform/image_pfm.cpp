// PFM (portable float map): "PF" colour or "Pf" grey, width, height, then a scale whose sign
// gives the byte order (negative: little-endian), then 32-bit floats with the rows bottom to
// top. Values are shown clamped to 0..1 (no tone mapping), as D3DX converts a float surface.
// Saving writes little-endian colour floats of the 8-bit values divided by 255.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/byte_cursor.h"
#include "platform/image_codecs.h"

namespace {

struct PfmHeader {
  bool colour = false;
  uint32_t width = 0, height = 0;
  bool littleEndian = true;
  size_t dataOffset = 0;
};

bool ParseHeader(const uint8_t* data, size_t size, PfmHeader* h) {
  ByteCursor in(data, size);
  if (in.u8() != 'P') return false;
  uint8_t kind = in.u8();
  if (kind != 'F' && kind != 'f') return false;
  h->colour = kind == 'F';
  if (!ReadHeaderNumber(&in, 0x7FFFFFFF, &h->width) ||
      !ReadHeaderNumber(&in, 0x7FFFFFFF, &h->height)) {
    return false;
  }
  char word[32];
  if (!ReadHeaderWord(&in, word)) return false;
  char* end = nullptr;
  double scale = std::strtod(word, &end);
  if (end == word || *end || scale == 0 || !std::isfinite(scale)) return false;
  h->littleEndian = scale < 0;
  uint8_t sep = in.u8();
  if (in.failed() || (sep != '\n' && sep != ' ' && sep != '\r' && sep != '\t')) return false;
  // Windows writers end the header with "\r\n".
  if (sep == '\r' && in.peek(1) && *in.peek(1) == '\n') in.skip(1);
  h->dataOffset = in.position();
  return ImageSizeAcceptable(h->width, h->height);
}

}  // namespace

bool InfoPfm(const uint8_t* data, size_t size, ImageInfo* info) {
  PfmHeader h;
  if (!ParseHeader(data, size, &h)) return false;
  info->width = h.width;
  info->height = h.height;
  info->hasAlpha = false;
  return true;
}

bool DecodePfm(const uint8_t* data, size_t size, DecodedImage* out) {
  PfmHeader h;
  if (!ParseHeader(data, size, &h)) return false;
  size_t channels = h.colour ? 3 : 1;
  size_t needed;
  if (!CheckedMul(size_t(h.width) * h.height, channels * 4, &needed)) return false;
  ByteCursor in = ByteCursor(data, size).at(h.dataOffset, needed);
  if (in.failed()) return false;
  DecodedImage image;
  PrepareDecodedImage(&image, h.width, h.height, false, D3DXIFF_PFM);
  for (uint32_t y = 0; y < h.height; ++y) {
    uint32_t* row = image.argb.data() + size_t(h.height - 1 - y) * h.width;
    for (uint32_t x = 0; x < h.width; ++x) {
      uint8_t s[3];
      for (size_t c = 0; c < channels; ++c) {
        s[c] = FloatToByte(h.littleEndian ? in.f32le() : in.f32be());
      }
      row[x] = channels == 3 ? PackArgb(s[0], s[1], s[2], 255) : PackArgb(s[0], s[0], s[0], 255);
    }
  }
  *out = std::move(image);
  return true;
}

bool EncodePfm(uint32_t width, uint32_t height, const uint32_t* argb, size_t pitchBytes,
               std::vector<uint8_t>* out) {
  char header[64];
  int n = std::snprintf(header, sizeof header, "PF\n%u %u\n-1.0\n", width, height);
  out->assign(header, header + n);
  size_t start = out->size();
  out->resize(start + size_t(width) * height * 12);
  uint8_t* dst = out->data() + start;
  const uint8_t* base = reinterpret_cast<const uint8_t*>(argb);
  for (uint32_t y = 0; y < height; ++y) {
    const uint32_t* src =
        reinterpret_cast<const uint32_t*>(base + size_t(height - 1 - y) * pitchBytes);
    for (uint32_t x = 0; x < width; ++x) {
      for (int shift : {16, 8, 0}) {
        float f = float((src[x] >> shift) & 0xFF) / 255.0f;
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        for (int i = 0; i < 4; ++i) *dst++ = uint8_t(bits >> (8 * i));
      }
    }
  }
  return true;
}
