// Radiance HDR (RGBE): text header up to a blank line, a "-Y h +X w" resolution line (the
// "+Y" bottom-up variant too), then scanlines flat, in old-style RLE (1,1,1,n repeats the
// previous pixel) or in new-style per-channel RLE. XYZE files are refused. Values are shown
// clamped to 0..1, linear (no gamma), the way D3DX converts a float surface to 8 bits.
// Every run is clipped against the row; a run that does not fit fails the file.

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/byte_cursor.h"
#include "platform/image_codecs.h"

namespace {

struct HdrHeader {
  uint32_t width = 0, height = 0;
  bool bottomUp = false;
  size_t dataOffset = 0;
};

// One text line without its end; false when no newline comes within 4096 bytes.
bool ReadLine(ByteCursor* in, std::string* line) {
  line->clear();
  for (size_t n = 0; n < 4096; ++n) {
    const uint8_t* c = in->take(1);
    if (!c) return false;
    if (*c == '\n') return true;
    line->push_back(char(*c));
  }
  return false;
}

bool ParseHeader(const uint8_t* data, size_t size, HdrHeader* h) {
  ByteCursor in(data, size);
  std::string line;
  if (!ReadLine(&in, &line) || (line.rfind("#?RADIANCE", 0) != 0 && line.rfind("#?RGBE", 0) != 0)) {
    return false;
  }
  for (;;) {
    if (!ReadLine(&in, &line)) return false;
    if (line.empty()) break;
    if (line.rfind("FORMAT=", 0) == 0 && line != "FORMAT=32-bit_rle_rgbe") return false;
  }
  if (!ReadLine(&in, &line)) return false;
  char ySign = 0, xSign = 0;
  long hh = 0, ww = 0;
  char yAxis = 0, xAxis = 0;
  char tail = 0;
  if (std::sscanf(line.c_str(), "%c%c %ld %c%c %ld %c", &ySign, &yAxis, &hh, &xSign, &xAxis, &ww,
                  &tail) != 6 ||
      yAxis != 'Y' || xAxis != 'X' || xSign != '+' || (ySign != '-' && ySign != '+') ||
      hh <= 0 || ww <= 0 || hh > 0x7FFFFFFF || ww > 0x7FFFFFFF) {
    return false;
  }
  h->width = uint32_t(ww);
  h->height = uint32_t(hh);
  h->bottomUp = ySign == '+';
  h->dataOffset = in.position();
  return ImageSizeAcceptable(h->width, h->height);
}

// One scanline of RGBE quads into row (width * 4 bytes).
bool ReadScanline(ByteCursor* in, uint32_t width, uint8_t* row) {
  const uint8_t* p = in->peek(4);
  if (!p) return false;
  if (width >= 8 && width < 32768 && p[0] == 2 && p[1] == 2 && (p[2] << 8 | p[3]) == int(width)) {
    in->skip(4);
    for (int c = 0; c < 4; ++c) {
      uint32_t x = 0;
      while (x < width) {
        uint32_t count = in->u8();
        if (in->failed() || count == 0) return false;
        if (count > 128) {
          count -= 128;
          uint8_t v = in->u8();
          if (in->failed() || count > width - x) return false;
          for (uint32_t i = 0; i < count; ++i) row[(x + i) * 4 + c] = v;
        } else {
          if (count > width - x) return false;
          const uint8_t* lit = in->take(count);
          if (!lit) return false;
          for (uint32_t i = 0; i < count; ++i) row[(x + i) * 4 + c] = lit[i];
        }
        x += count;
      }
    }
    return true;
  }
  // Flat pixels, possibly with old-style repeat markers.
  uint32_t x = 0;
  int shift = 0;
  while (x < width) {
    const uint8_t* q = in->take(4);
    if (!q) return false;
    if (q[0] == 1 && q[1] == 1 && q[2] == 1) {
      if (x == 0 || shift > 24) return false;
      uint64_t count = uint64_t(q[3]) << shift;
      if (count > width - x) return false;
      for (uint64_t i = 0; i < count; ++i, ++x) std::memcpy(row + x * 4, row + (x - 1) * 4, 4);
      shift += 8;
    } else {
      std::memcpy(row + x * 4, q, 4);
      ++x;
      shift = 0;
    }
  }
  return true;
}

uint8_t RgbeToByte(uint8_t mantissa, uint8_t exponent) {
  if (exponent == 0) return 0;
  return FloatToByte(std::ldexp(float(mantissa), int(exponent) - (128 + 8)));
}

}  // namespace

bool InfoHdr(const uint8_t* data, size_t size, ImageInfo* info) {
  HdrHeader h;
  if (!ParseHeader(data, size, &h)) return false;
  info->width = h.width;
  info->height = h.height;
  info->hasAlpha = false;
  return true;
}

bool DecodeHdr(const uint8_t* data, size_t size, DecodedImage* out) {
  HdrHeader h;
  if (!ParseHeader(data, size, &h)) return false;
  // Even the best RLE needs about 8 bytes per 128 pixels: refuse sizes the data cannot hold
  // before allocating.
  if (uint64_t(h.width) * h.height / 128 > uint64_t(size) * 4) return false;
  ByteCursor in(data, size);
  in.seek(h.dataOffset);
  DecodedImage image;
  PrepareDecodedImage(&image, h.width, h.height, false, D3DXIFF_HDR);
  std::vector<uint8_t> row(size_t(h.width) * 4);
  for (uint32_t y = 0; y < h.height; ++y) {
    if (!ReadScanline(&in, h.width, row.data())) return false;
    uint32_t* dst = image.argb.data() + size_t(h.bottomUp ? h.height - 1 - y : y) * h.width;
    for (uint32_t x = 0; x < h.width; ++x) {
      const uint8_t* q = &row[x * 4];
      dst[x] = PackArgb(RgbeToByte(q[0], q[3]), RgbeToByte(q[1], q[3]), RgbeToByte(q[2], q[3]), 255);
    }
  }
  *out = std::move(image);
  return true;
}
