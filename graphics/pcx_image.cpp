// PCX: 128-byte header, one run-length stream for all lines, optional 769-byte trailing palette.
//
// [HEADER]   reading and checking the 128-byte header
// [DECODE]   run-length stream, plane merging, palettes
// [CONVERT]  A8R8G8B8 texels for the texture loader

#include "graphics/pcx_image.h"

#include <cstring>

#include "core/byte_cursor.h"
#include "platform/win_base.h"

namespace {

constexpr size_t kHeaderSize = 128;
constexpr size_t kTrailingPaletteSize = 769;
constexpr uint32_t kMaxDataSize = 0x80000000u;

// [HEADER] ------------------------------------------------------------------------------------
struct PcxHeader {
  uint8_t manufacturer, version, encoding, bitsPerPlane;
  uint16_t xmin, ymin, xmax, ymax;
  uint8_t headerPalette[48];
  uint8_t planes;
  uint16_t bytesPerLine, paletteInfo;
};

bool ReadHeader(const uint8_t* data, size_t size, PcxHeader& h) {
  ByteCursor in(data, size);
  h.manufacturer = in.u8();
  h.version = in.u8();
  h.encoding = in.u8();
  h.bitsPerPlane = in.u8();
  h.xmin = in.u16le();
  h.ymin = in.u16le();
  h.xmax = in.u16le();
  h.ymax = in.u16le();
  in.skip(4);  // resolution
  in.bytes(h.headerPalette, sizeof h.headerPalette);
  in.skip(1);
  h.planes = in.u8();
  h.bytesPerLine = in.u16le();
  h.paletteInfo = in.u16le();
  in.skip(kHeaderSize - 70);
  return !in.failed() && h.manufacturer == 10 && h.encoding == 1 && h.planes >= 1 &&
         h.planes <= 4 && h.xmax >= h.xmin && h.ymax >= h.ymin;
}

// True for the plane/depth layouts this decoder turns into packed indices or BGR pixels.
bool SupportedLayout(const PcxHeader& h) {
  uint32_t bits = h.bitsPerPlane, total = bits * h.planes;
  if (bits == 8 && h.planes >= 3) return true;
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8) return false;
  return total == 1 || total == 2 || total == 4 || total == 8;
}

// [DECODE] ------------------------------------------------------------------------------------
// One stream for all lines; a run never writes past the buffer (an over-long run fails).
bool DecodeRuns(ByteCursor& in, uint8_t* out, size_t outSize) {
  size_t written = 0;
  while (written < outSize && !in.atEnd()) {
    uint8_t b = in.u8();
    if ((b & 0xC0) != 0xC0) {
      out[written++] = b;
      continue;
    }
    size_t count = b & 0x3F;
    if (in.atEnd()) break;
    uint8_t value = in.u8();
    if (count > outSize - written) return false;
    std::memset(out + written, value, count);
    written += count;
  }
  return true;
}

// Sample x of a plane line of `bits` bits a sample, most significant first.
inline uint32_t PlaneSample(const uint8_t* line, uint32_t x, uint32_t bits) {
  if (bits == 8) return line[x];
  uint32_t bit = x * bits;
  uint32_t shift = 8 - bits - (bit & 7);
  return (line[bit >> 3] >> shift) & ((1u << bits) - 1);
}

// Rewrites every line in place: planar indices merged into packed indices (plane 0 lowest),
// or 8-bit colour planes interleaved as blue, green, red(, fourth plane).
void MergePlanes(const PcxHeader& h, sPcxImage& image) {
  uint32_t planes = h.planes, bits = h.bitsPerPlane, stride = h.bytesPerLine;
  if (planes == 1) return;
  std::vector<uint8_t> line(image.lineSize);
  for (uint32_t y = 0; y < image.height; ++y) {
    uint8_t* row = image.pixels.data() + size_t(y) * image.lineSize;
    std::memcpy(line.data(), row, image.lineSize);
    if (bits == 8 && planes >= 3) {
      const uint8_t* r = line.data();
      const uint8_t* g = r + stride;
      const uint8_t* b = g + stride;
      const uint8_t* a = planes == 4 ? b + stride : nullptr;
      for (uint32_t x = 0; x < image.width; ++x) {
        uint8_t* px = row + size_t(x) * planes;
        px[0] = b[x];
        px[1] = g[x];
        px[2] = r[x];
        if (a) px[3] = a[x];
      }
      continue;
    }
    std::memset(row, 0, image.lineSize);
    uint32_t outBits = image.bitsPerPixel;
    for (uint32_t x = 0; x < image.width; ++x) {
      uint32_t index = 0;
      for (uint32_t p = 0; p < planes; ++p)
        index |= PlaneSample(line.data() + size_t(p) * stride, x, bits) << (p * bits);
      uint32_t bit = x * outBits;
      row[bit >> 3] |= uint8_t(index << (8 - outBits - (bit & 7)));
    }
  }
}

bool FillPalette(const PcxHeader& h, const uint8_t* data, size_t size, sPcxImage& image) {
  uint32_t count = image.paletteCount;
  image.palette.assign(size_t(count) * 3, 0);
  uint8_t* pal = image.palette.data();
  if (image.bitsPerPixel == 1) {
    std::memset(pal + 3, 255, 3);
    return true;
  }
  if (h.paletteInfo >= 2) {
    for (uint32_t i = 0; i < count; ++i) std::memset(pal + i * 3, uint8_t((255 / (count - 1)) * i), 3);
    return true;
  }
  if (h.version == 3) {
    PALETTEENTRY system[256];
    UINT got = GetSystemPaletteEntries(GetDC(nullptr), 0, count, system);
    for (uint32_t i = 0; i < got && i < count; ++i) {
      pal[i * 3] = system[i].peRed;
      pal[i * 3 + 1] = system[i].peGreen;
      pal[i * 3 + 2] = system[i].peBlue;
    }
    return true;
  }
  if (image.bitsPerPixel <= 4) {
    std::memcpy(pal, h.headerPalette, size_t(count) * 3);
    return true;
  }
  // 256-colour files keep their palette after the image data, behind the marker byte 12.
  if (size < kHeaderSize + kTrailingPaletteSize || data[size - kTrailingPaletteSize] != 12)
    return false;
  std::memcpy(pal, data + size - kTrailingPaletteSize + 1, size_t(count) * 3);
  return true;
}

void Fail(sPcxImage& image, const char* why) {
  FreePcxImage(image);
  image.error = why;
}

}  // namespace

void FreePcxImage(sPcxImage& image) { image = sPcxImage(); }

void DecodePcx(const uint8_t* data, size_t size, sPcxImage& image) {
  FreePcxImage(image);
  PcxHeader h;
  if (!ReadHeader(data, size, h)) return Fail(image, "not pcx");
  if (!SupportedLayout(h)) return Fail(image, "unsupported layout");
  image.width = uint32_t(h.xmax - h.xmin) + 1;
  image.height = uint32_t(h.ymax - h.ymin) + 1;
  image.planes = h.planes;
  image.bitsPerPixel = uint32_t(h.bitsPerPlane) * h.planes;
  // A line must hold its pixels; the header's count may add padding but never fall short.
  if (uint64_t(h.bytesPerLine) * 8 < uint64_t(image.width) * h.bitsPerPlane)
    return Fail(image, "short line");
  image.lineSize = uint32_t(h.bytesPerLine) * h.planes;
  uint64_t dataSize = uint64_t(image.lineSize) * image.height;
  if (dataSize > kMaxDataSize) return Fail(image, "too large");
  // A run pair yields at most 63 bytes: a file far too short for its size is not a picture.
  if (dataSize > uint64_t(size - kHeaderSize) * 32 + 64) return Fail(image, "truncated");
  image.dataSize = uint32_t(dataSize);
  image.pixels.assign(image.dataSize, 0);
  ByteCursor in(data, size);
  in.skip(kHeaderSize);
  if (!DecodeRuns(in, image.pixels.data(), image.dataSize)) return Fail(image, "bad run");
  MergePlanes(h, image);
  if (image.bitsPerPixel <= 8) {
    image.paletteCount = 1u << image.bitsPerPixel;
    if (!FillPalette(h, data, size, image)) return Fail(image, "no palette");
  }
  image.ok = true;
}

void LoadPcxFile(const char* programPath, sPcxImage& image) {
  FreePcxImage(image);
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(programPath, &bytes)) return Fail(image, "unreadable");
  DecodePcx(bytes.data(), bytes.size(), image);
}

bool GetPcxSizeFromMemory(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height) {
  PcxHeader h;
  if (!ReadHeader(data, size, h)) return false;
  if (width) *width = uint32_t(h.xmax - h.xmin) + 1;
  if (height) *height = uint32_t(h.ymax - h.ymin) + 1;
  return true;
}

bool GetPcxSize(const char* programPath, uint32_t* width, uint32_t* height) {
  std::vector<uint8_t> head;
  if (!ReadFileHead(programPath, kHeaderSize, &head)) return false;
  return GetPcxSizeFromMemory(head.data(), head.size(), width, height);
}

// [CONVERT] -----------------------------------------------------------------------------------
bool ConvertPcxToArgb(const sPcxImage& image, uint8_t* bits, size_t pitch) {
  if (!image.ok || !bits) return false;
  uint32_t bpp = image.bitsPerPixel;
  uint32_t argb[256];
  if (bpp <= 8) {
    for (uint32_t i = 0; i < image.paletteCount; ++i) {
      const uint8_t* c = &image.palette[size_t(i) * 3];
      argb[i] = 0xFF000000u | uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | c[2];
    }
  }
  for (uint32_t y = 0; y < image.height; ++y) {
    const uint8_t* line = image.pixels.data() + size_t(y) * image.lineSize;
    uint32_t* out = reinterpret_cast<uint32_t*>(bits + size_t(y) * pitch);
    if (bpp > 8) {
      for (uint32_t x = 0; x < image.width; ++x) {
        const uint8_t* px = line + size_t(x) * image.planes;
        out[x] = 0xFF000000u | uint32_t(px[2]) << 16 | uint32_t(px[1]) << 8 | px[0];
      }
    } else if (bpp == 8) {
      for (uint32_t x = 0; x < image.width; ++x) out[x] = argb[line[x]];
    } else {
      for (uint32_t x = 0; x < image.width; ++x) out[x] = argb[PlaneSample(line, x, bpp)];
    }
  }
  return true;
}
