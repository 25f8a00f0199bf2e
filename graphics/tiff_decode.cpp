// TIFF pixel decoding: strips and tiles are decompressed one at a time into a block buffer
// (one per plane for separate planes), put into host byte order, un-predicted, and converted
// row by row into the raster.
//
// [CHECKS]      what the decoder supports
// [TABLES]      sample scaling, grey and palette colours
// [CONVERTERS]  rows of samples to 0xAARRGGBB words
// [BLOCKS]      decompression of one strip or tile
// [ROUTINES]    walking strips and tiles over the raster

#include "graphics/tiff_decode.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "graphics/tiff_codecs.h"
#include "graphics/tiff_image.h"

namespace {

// [CHECKS] ------------------------------------------------------------------------------------
bool KnownCompression(uint16_t c) {
  return c == 1 || c == 2 || c == 3 || c == 4 || c == 5 || c == 8 || c == 32773 || c == 32946;
}

bool IsFax(uint16_t c) { return c >= 2 && c <= 4; }

}  // namespace

const char* CheckTiffSupported(const cTiffImage& t) {
  if (!KnownCompression(t.compression)) return "unsupported compression";
  if (t.bitsPerSample == 0 || t.bitsPerSample > 16) return "unsupported depth";
  // Colour, alpha and a few extra samples; thousands of samples a pixel are not a picture.
  if (t.samplesPerPixel == 0 || t.samplesPerPixel > 16) return "bad samples";
  if (t.sampleFormat != 1) return "unsupported sample format";
  if (IsFax(t.compression) && (t.bitsPerSample != 1 || t.samplesPerPixel != 1))
    return "bad fax layout";
  if (t.predictor != 1 && !(t.predictor == 2 && (t.bitsPerSample == 8 || t.bitsPerSample == 16)))
    return "unsupported predictor";
  return "";
}

namespace {

enum Kind : uint32_t {
  kPalette1 = 1, kPalette2, kPalette4, kPalette8, kPalette16,
  kGrey1 = 6, kGrey2, kGrey4, kGrey8, kGrey16,
  kGreyOther = 11,  // grey of another depth (3, 5, 12 bits...)
  kRgb2 = 12, kRgb4 = 14, kRgb8 = 15, kRgbAssoc8 = 17, kRgbUnassoc8 = 18, kRgb16 = 19,
  kRgbOther = 22, kCmyk8 = 23, kCmyk16 = 26,
  kSepRgb8 = 27, kSepRgbAssoc8 = 29, kSepRgbUnassoc8 = 30, kSepRgb16 = 31, kSepRgbOther = 34,
  kSepCmyk = 35,
  kSepGreyOrPalette = 36,  // grey or palette with its extra samples in planes of their own
};

uint32_t DepthIndex(uint16_t bits) {
  switch (bits) {
    case 1: return 0;
    case 2: return 1;
    case 4: return 2;
    case 8: return 3;
    case 16: return 4;
    default: return 5;
  }
}

}  // namespace

uint32_t ChooseTiffConverter(const cTiffImage& t) {
  uint32_t d = DepthIndex(t.bitsPerSample);
  uint16_t bits = t.bitsPerSample;
  switch (t.photometric) {
    case 0: case 1:
      if (!t.contiguous) return kSepGreyOrPalette;
      return d < 5 ? kGrey1 + d : kGreyOther;
    case 3:
      if (!t.contiguous) return bits <= 8 || bits == 16 ? uint32_t(kSepGreyOrPalette) : 0u;
      return d < 5 ? kPalette1 + d : 0;
    case 2:
      if (!t.contiguous) {
        if (bits == 8)
          return t.alphaKind == 1 ? kSepRgbAssoc8 : t.alphaKind == 2 ? kSepRgbUnassoc8 : kSepRgb8;
        return bits == 16 ? kSepRgb16 : kSepRgbOther;
      }
      if (bits == 2) return kRgb2;
      if (bits == 4) return kRgb4;
      if (bits == 8)
        return t.alphaKind == 1 ? kRgbAssoc8 : t.alphaKind == 2 ? kRgbUnassoc8 : kRgb8;
      return bits == 16 ? kRgb16 : kRgbOther;
    case 5:
      if (!t.contiguous) return kSepCmyk;
      return bits == 8 ? uint32_t(kCmyk8) : bits == 16 ? uint32_t(kCmyk16) : 0u;
    default:
      return 0;  // YCbCr and the rest have no converter
  }
}

namespace {

// [TABLES] ------------------------------------------------------------------------------------
struct Converter {
  uint32_t kind = 0;
  uint16_t photometric = 0;
  uint32_t bits = 0;
  uint32_t step = 1;       // samples from one pixel to the next in a plane row
  uint32_t channels = 0;   // colour samples per pixel
  uint32_t alphaKind = 0;
  bool separate = false;
  std::vector<uint8_t> scale;    // raw sample -> 8 bits (inverted for white-is-zero grey)
  std::vector<uint32_t> colours;  // palette index -> word
};

void BuildTables(const cTiffImage& t, Converter& c) {
  c.kind = t.converter;
  c.photometric = t.photometric;
  c.bits = t.bitsPerSample;
  c.separate = !t.contiguous;
  c.step = t.contiguous ? t.samplesPerPixel : 1;
  c.channels = t.ColourChannels();
  c.alphaKind = t.alphaKind;
  uint32_t values = 1u << c.bits;
  c.scale.resize(values);
  for (uint32_t v = 0; v < values; ++v) {
    uint32_t s = c.bits <= 8 ? v * 255 / (values - 1) : v >> (c.bits - 8);
    c.scale[v] = uint8_t(t.photometric == 0 ? 255 - s : s);
  }
  if (c.bits < 8 && t.photometric == 0) {
    // (range - v) x 255 / range, not 255 minus the rounded value.
    for (uint32_t v = 0; v < values; ++v) c.scale[v] = uint8_t((values - 1 - v) * 255 / (values - 1));
  }
  if (t.photometric != 3) return;
  // Colour maps are 16-bit by the standard; some writers store 8-bit values in them.
  bool wide = false;
  for (const sTiffColor& m : t.colorMap) wide |= m.red >= 256 || m.green >= 256 || m.blue >= 256;
  uint32_t shift = wide ? 8 : 0;
  c.colours.assign(std::max<size_t>(t.colorMap.size(), 1), 0xFF000000u);
  for (size_t i = 0; i < t.colorMap.size(); ++i) {
    const sTiffColor& m = t.colorMap[i];
    c.colours[i] = 0xFF000000u | uint32_t(m.red >> shift) << 16 | uint32_t(m.green >> shift) << 8 |
                   uint32_t(m.blue >> shift);
  }
}

// [CONVERTERS] --------------------------------------------------------------------------------
// Raw sample `index` of a row of `bits`-bit samples, most significant bits first.
inline uint32_t RawSample(const uint8_t* row, size_t index, uint32_t bits) {
  if (bits == 8) return row[index];
  if (bits == 16) {
    uint16_t v;
    std::memcpy(&v, row + index * 2, 2);
    return v;
  }
  size_t bit = index * bits;
  const uint8_t* p = row + (bit >> 3);
  uint32_t shift = uint32_t(bit & 7);
  uint32_t need = (shift + bits + 7) >> 3;
  uint32_t v = 0;
  for (uint32_t k = 0; k < need; ++k) v = v << 8 | p[k];
  return (v >> (need * 8 - shift - bits)) & ((1u << bits) - 1);
}

inline uint32_t Word(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return a << 24 | r << 16 | g << 8 | b;
}

// Unassociated alpha is multiplied into the colours.
inline uint32_t WithAlpha(uint32_t kind, uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  if (kind == 2) {
    r = r * a / 255;
    g = g * a / 255;
    b = b * a / 255;
  }
  return Word(a, r, g, b);
}

void ConvertRgb8(const uint8_t* row, uint32_t step, uint32_t count, uint32_t* out) {
  for (uint32_t x = 0; x < count; ++x, row += step) out[x] = Word(255, row[0], row[1], row[2]);
}

void ConvertRgba8(const uint8_t* row, uint32_t step, uint32_t alphaKind, uint32_t count,
                  uint32_t* out) {
  for (uint32_t x = 0; x < count; ++x, row += step)
    out[x] = WithAlpha(alphaKind, row[3], row[0], row[1], row[2]);
}

// Every other kind: samples fetched one by one (plane c of a separate image is rows[c]).
void ConvertGeneric(const Converter& c, const uint8_t* const* rows, uint32_t count,
                    uint32_t* out) {
  uint32_t n = c.channels + (c.alphaKind ? 1 : 0);
  uint32_t s[5] = {0, 0, 0, 0, 0};
  uint32_t bits = c.bits;
  for (uint32_t x = 0; x < count; ++x) {
    for (uint32_t k = 0; k < n && k < 5; ++k) {
      s[k] = c.separate ? RawSample(rows[k], x, bits) : RawSample(rows[0], size_t(x) * c.step + k, bits);
    }
    uint32_t a = c.alphaKind ? c.scale[s[c.channels]] : 255;
    if (c.photometric == 0 && c.alphaKind) a = 255 - a;  // the scale table is inverted there
    switch (c.photometric) {
      case 0: case 1: {
        uint32_t v = c.scale[s[0]];
        out[x] = WithAlpha(c.alphaKind, a, v, v, v);
        break;
      }
      case 3:
        out[x] = s[0] < c.colours.size() ? c.colours[s[0]] : 0xFF000000u;
        break;
      case 2:
        out[x] = WithAlpha(c.alphaKind, a, c.scale[s[0]], c.scale[s[1]], c.scale[s[2]]);
        break;
      case 5: {
        if (bits == 16) {
          uint64_t k = 65535 - s[3];
          out[x] = Word(255, uint32_t((65535 - s[0]) * k / 0xFFFF00),
                        uint32_t((65535 - s[1]) * k / 0xFFFF00), uint32_t((65535 - s[2]) * k / 0xFFFF00));
        } else {
          uint32_t k = 255 - c.scale[s[3]];
          out[x] = Word(255, k * (255 - c.scale[s[0]]) / 255, k * (255 - c.scale[s[1]]) / 255,
                        k * (255 - c.scale[s[2]]) / 255);
        }
        break;
      }
      default: out[x] = 0xFF000000u;
    }
  }
}

void ConvertRow(const Converter& c, const uint8_t* const* rows, uint32_t count, uint32_t* out) {
  switch (c.kind) {
    case kRgb8: return ConvertRgb8(rows[0], c.step, count, out);
    case kRgbAssoc8: case kRgbUnassoc8:
      if (c.channels != 3) break;
      return ConvertRgba8(rows[0], c.step, c.alphaKind, count, out);
    case kGrey8:
      for (uint32_t x = 0; x < count; ++x) {
        uint32_t v = c.scale[rows[0][size_t(x) * c.step]];
        out[x] = Word(255, v, v, v);
      }
      return;
    case kPalette8:
      for (uint32_t x = 0; x < count; ++x) out[x] = c.colours[rows[0][size_t(x) * c.step]];
      return;
    case kCmyk8:
      for (uint32_t x = 0; x < count; ++x) {
        const uint8_t* p = rows[0] + size_t(x) * c.step;
        uint32_t k = 255 - p[3];
        out[x] = Word(255, k * (255 - p[0]) / 255, k * (255 - p[1]) / 255, k * (255 - p[2]) / 255);
      }
      return;
    default: break;
  }
  ConvertGeneric(c, rows, count, out);
}

// [BLOCKS] ------------------------------------------------------------------------------------
struct Blocks {
  uint32_t width, length;       // pixels of one strip or tile
  uint32_t across, down;        // blocks in a plane
  uint32_t planes;              // buffers to fill per block position
  size_t rowBytes, size;        // one row and the whole block, in one plane
};

bool PlanBlocks(const cTiffImage& t, Blocks& b) {
  b.width = t.tiled ? t.tileWidth : t.width;
  b.length = t.tiled ? t.tileLength : t.rowsPerStrip;
  if (b.width == 0 || b.length == 0) return false;
  b.across = uint32_t((uint64_t(t.width) + b.width - 1) / b.width);
  b.down = uint32_t((uint64_t(t.height) + b.length - 1) / b.length);
  uint32_t perPixel = t.contiguous ? t.samplesPerPixel : 1;
  b.planes = t.contiguous ? 1 : std::min<uint32_t>(t.samplesPerPixel, 5);
  uint64_t rowBits = uint64_t(t.bitsPerSample) * b.width * perPixel;
  b.rowBytes = size_t((rowBits + 7) / 8);
  uint64_t size = uint64_t(b.rowBytes) * b.length;
  // A block larger than its plane of the whole image (and than 4 MiB) is not believed.
  uint64_t plane = (uint64_t(t.bitsPerSample) * t.width * perPixel + 7) / 8 * t.height;
  if (size > std::max<uint64_t>(plane, uint64_t(1) << 22)) return false;
  b.size = size_t(size);
  return true;
}

void SwapBytes(uint8_t* p, size_t n, uint32_t bits) {
  if (bits == 16)
    for (size_t i = 0; i + 1 < n; i += 2) std::swap(p[i], p[i + 1]);
}

// Horizontal differencing: each sample was stored as the difference from the one before it.
void UndoPredictor(uint8_t* block, const Blocks& b, uint32_t rows, uint32_t bits, uint32_t step) {
  for (uint32_t r = 0; r < rows; ++r) {
    uint8_t* row = block + size_t(r) * b.rowBytes;
    size_t samples = size_t(b.width) * step;
    if (bits == 8) {
      for (size_t i = step; i < samples; ++i) row[i] = uint8_t(row[i] + row[i - step]);
    } else {
      for (size_t i = step; i < samples; ++i) {
        uint16_t prev, cur;
        std::memcpy(&prev, row + (i - step) * 2, 2);
        std::memcpy(&cur, row + i * 2, 2);
        cur = uint16_t(cur + prev);
        std::memcpy(row + i * 2, &cur, 2);
      }
    }
  }
}

// Decompresses block `index` (rows: the rows of it inside the image) into out.
void DecodeBlock(const cTiffImage& t, const uint8_t* data, uint32_t index, const Blocks& b,
                 uint32_t rows, uint8_t* out) {
  const uint8_t* in = data + t.stripOffsets[index];
  size_t inSize = t.stripByteCounts[index];
  size_t want = size_t(rows) * b.rowBytes;
  bool msbFirst = t.fillOrder != 2;
  switch (t.compression) {
    case 1: std::memcpy(out, in, std::min(inSize, want)); break;
    case 5: DecodeTiffLzw(in, inSize, out, want); break;
    case 32773: DecodePackBits(in, inSize, out, want); break;
    case 8: case 32946: DecodeZlib(in, inSize, out, want); break;
    case 2: DecodeFax(in, inSize, eFaxMode::kRle, msbFirst, b.width, rows, out, b.rowBytes); break;
    case 3:
      DecodeFax(in, inSize, (t.faxOptions & 1) ? eFaxMode::kGroup3TwoD : eFaxMode::kGroup3OneD,
                msbFirst, b.width, rows, out, b.rowBytes);
      break;
    case 4: DecodeFax(in, inSize, eFaxMode::kGroup4, msbFirst, b.width, rows, out, b.rowBytes); break;
    default: break;
  }
  if (!t.littleEndian) SwapBytes(out, want, t.bitsPerSample);
  if (t.predictor == 2) UndoPredictor(out, b, rows, t.bitsPerSample, t.contiguous ? t.samplesPerPixel : 1);
}

// [ROUTINES] ----------------------------------------------------------------------------------
}  // namespace

const char* DecodeTiffRaster(cTiffImage& t, const uint8_t* data, size_t) {
  Blocks b;
  if (!PlanBlocks(t, b)) return "bad block size";
  Converter conv;
  BuildTables(t, conv);
  std::vector<std::vector<uint8_t>> buffers(b.planes, std::vector<uint8_t>(b.size, 0));
  // Bottom-left orientations store the bottom row first.
  bool upward = t.orientation == 3 || t.orientation == 4 || t.orientation == 7 || t.orientation == 8;
  uint32_t perPlane = b.across * b.down;
  const uint8_t* rows[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};
  uint32_t usedPlanes = std::min<uint32_t>(b.planes, conv.channels + (conv.alphaKind ? 1 : 0));
  for (uint32_t by = 0; by < b.down; ++by) {
    uint32_t y0 = by * b.length;
    uint32_t blockRows = std::min(b.length, t.height - y0);
    for (uint32_t bx = 0; bx < b.across; ++bx) {
      uint32_t x0 = bx * b.width;
      uint32_t cols = std::min(b.width, t.width - x0);
      bool complete = true;
      for (uint32_t p = 0; p < std::max<uint32_t>(usedPlanes, 1); ++p) {
        uint64_t index = uint64_t(p) * perPlane + uint64_t(by) * b.across + bx;
        if (index >= t.stripCount) {
          complete = false;  // a missing strip or tile leaves its part of the raster black
          break;
        }
        DecodeBlock(t, data, uint32_t(index), b, blockRows, buffers[p].data());
      }
      if (!complete) continue;
      for (uint32_t r = 0; r < blockRows; ++r) {
        for (uint32_t p = 0; p < b.planes; ++p) rows[p] = buffers[p].data() + size_t(r) * b.rowBytes;
        uint32_t y = y0 + r;
        uint32_t outRow = upward ? t.height - 1 - y : y;
        ConvertRow(conv, rows, cols, t.raster.data() + size_t(outRow) * t.width + x0);
      }
    }
  }
  return "";
}
