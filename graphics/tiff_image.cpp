// TIFF container: header, first image file directory, tag values, and the choice of decoding
// routine. Pixel decoding lives in tiff_decode.cpp.
//
// [VALUES]     reading tag values of either byte order from the file
// [DIRECTORY]  header, entries, tags, and the checks of every declared offset and count
// [DECODE]     CanDecode, BeginDecode, Load
// [PROBE]      size without decoding

#include "graphics/tiff_image.h"

#include <algorithm>

#include "core/byte_cursor.h"
#include "graphics/tiff_decode.h"
#include "platform/win_base.h"

namespace {

// A raster above this many pixels (1 GiB of words) is refused before allocation.
constexpr uint64_t kMaxPixels = uint64_t(1) << 28;

// [VALUES] ------------------------------------------------------------------------------------
uint32_t TypeSize(uint16_t type) {
  switch (type) {
    case 1: case 2: case 6: case 7: return 1;  // BYTE, ASCII, SBYTE, UNDEFINED
    case 3: case 8: return 2;                  // SHORT, SSHORT
    default: return 4;                         // LONG and everything else
  }
}

class TagReader {
 public:
  TagReader(const uint8_t* data, size_t size, bool littleEndian)
      : file_(data, size), le_(littleEndian) {}

  // Where the entry's values start, or false when they do not all lie in the file.
  bool Locate(const sTiffEntry& e, size_t* pos) const {
    uint64_t bytes = uint64_t(e.count) * TypeSize(e.type);
    uint64_t start = bytes <= 4 ? e.valuePos : e.value;
    if (start > file_.size() || bytes > file_.size() - start) return false;
    *pos = size_t(start);
    return true;
  }
  uint32_t At(const sTiffEntry& e, size_t pos, uint32_t index) const {
    ByteCursor c = file_.at(pos + size_t(index) * TypeSize(e.type), TypeSize(e.type));
    switch (TypeSize(e.type)) {
      case 1: return c.u8();
      case 2: return le_ ? c.u16le() : c.u16be();
      default: return le_ ? c.u32le() : c.u32be();
    }
  }
  // First value (0 when the entry has none or it lies outside the file).
  uint32_t First(const sTiffEntry& e) const {
    size_t pos;
    if (e.count == 0 || !Locate(e, &pos)) return 0;
    return At(e, pos, 0);
  }
  bool Array(const sTiffEntry& e, std::vector<uint32_t>& out) const {
    size_t pos;
    if (!Locate(e, &pos)) return false;
    out.resize(e.count);
    for (uint32_t i = 0; i < e.count; ++i) out[i] = At(e, pos, i);
    return true;
  }

 private:
  ByteCursor file_;
  bool le_;
};

struct Header {
  bool littleEndian = true;
  uint32_t directory = 0;
};

bool ReadHeader(const uint8_t* data, size_t size, Header& h) {
  ByteCursor in(data, size);
  if (size < 10) return false;
  // Only "MM" means big-endian; any other pair is read as little-endian.
  h.littleEndian = !(data[0] == 'M' && data[1] == 'M');
  in.skip(2);
  uint16_t magic = h.littleEndian ? in.u16le() : in.u16be();
  h.directory = h.littleEndian ? in.u32le() : in.u32be();
  return !in.failed() && magic == 42 && h.directory < size;
}

bool ReadEntries(const uint8_t* data, size_t size, const Header& h,
                 std::vector<sTiffEntry>& entries) {
  ByteCursor in(data, size);
  in.seek(h.directory);
  uint16_t count = h.littleEndian ? in.u16le() : in.u16be();
  if (in.failed() || count == 0 || size_t(count) * 12 > in.remaining()) return false;
  entries.resize(count);
  for (sTiffEntry& e : entries) {
    e.tag = h.littleEndian ? in.u16le() : in.u16be();
    e.type = h.littleEndian ? in.u16le() : in.u16be();
    e.count = h.littleEndian ? in.u32le() : in.u32be();
    e.valuePos = in.position();
    e.value = h.littleEndian ? in.u32le() : in.u32be();
  }
  return !in.failed();
}

}  // namespace

bool cTiffImage::Fail(const char* why) {
  Reset();
  error_ = why;
  return false;
}

void cTiffImage::Reset() { *this = cTiffImage(); }

// [DIRECTORY] ---------------------------------------------------------------------------------
bool cTiffImage::ReadTag(const uint8_t* data, size_t size, const sTiffEntry& e) {
  TagReader tags(data, size, littleEndian);
  std::vector<uint32_t> values;
  switch (e.tag) {
    case 256: width = tags.First(e); present |= kHasWidth; break;
    case 257: height = tags.First(e); present |= kHasHeight; break;
    case 258:
      // Some writers give each sample its own depth; the smallest of the first three is used.
      if (e.count < 3) {
        bitsPerSample = uint16_t(tags.First(e));
      } else {
        if (!tags.Array(e, values)) return false;
        bitsPerSample = uint16_t(*std::min_element(values.begin(), values.begin() + 3));
      }
      break;
    case 259: compression = uint16_t(tags.First(e)); break;
    case 262: photometric = uint16_t(tags.First(e)); present |= kHasPhotometric; break;
    case 266: fillOrder = uint16_t(tags.First(e)); break;
    case 274: orientation = uint16_t(tags.First(e)); break;
    case 277: samplesPerPixel = uint16_t(tags.First(e)); break;
    case 278: rowsPerStrip = tags.First(e); present |= kHasRowsPerStrip; break;
    case 284: planarConfig = uint16_t(tags.First(e)); break;
    case 292: case 293: faxOptions = tags.First(e); break;
    case 317: predictor = uint16_t(tags.First(e)); break;
    case 322: tileWidth = tags.First(e); present |= kHasTileWidth; break;
    case 323: tileLength = tags.First(e); present |= kHasTileLength; break;
    case 332: inkSet = uint16_t(tags.First(e)); break;
    case 339: sampleFormat = uint16_t(tags.First(e)); break;
    case 273: case 324:
      if (!tags.Array(e, stripOffsets)) return false;
      stripCount = e.count;
      present |= e.tag == 273 ? kHasStripOffsets : kHasTileOffsets;
      break;
    case 279: case 325:
      if (!tags.Array(e, stripByteCounts)) return false;
      present |= e.tag == 279 ? kHasStripByteCounts : kHasTileByteCounts;
      break;
    case 320: {
      // All reds, then all greens, then all blues.
      if (!tags.Array(e, values)) return false;
      size_t n = e.count / 3;
      colorMap.resize(n);
      for (size_t i = 0; i < n; ++i)
        colorMap[i] = {uint16_t(values[i]), uint16_t(values[n + i]), uint16_t(values[2 * n + i])};
      present |= kHasColorMap;
      break;
    }
    case 338:
      if (!tags.Array(e, values)) return false;
      extraSamples.assign(values.begin(), values.end());
      break;
    default: break;
  }
  return true;
}

bool cTiffImage::ReadDirectory(const uint8_t* data, size_t size) {
  for (const sTiffEntry& e : entries)
    if (!ReadTag(data, size, e)) return Fail("tag outside file");
  if (!(present & kHasRowsPerStrip) || rowsPerStrip > height) rowsPerStrip = height;
  if (rowsPerStrip == 0) return Fail("bad rows per strip");
  if (stripByteCounts.size() < stripCount) return Fail("bad strips");
  for (uint32_t i = 0; i < stripCount; ++i) {
    if (stripOffsets[i] > size || stripByteCounts[i] > size - stripOffsets[i])
      return Fail("strip outside file");
  }
  return true;
}

// [DECODE] ------------------------------------------------------------------------------------
uint32_t cTiffImage::ColourChannels() const {
  return samplesPerPixel > extraSamples.size() ? samplesPerPixel - uint32_t(extraSamples.size())
                                               : 0;
}

bool cTiffImage::CanDecode() const {
  if (!(present & kHasWidth) || !(present & kHasHeight)) return false;
  if (present & (kHasTileWidth | kHasTileLength)) {
    if (!(present & (kHasTileOffsets | kHasStripOffsets))) return false;
    if (!(present & (kHasTileByteCounts | kHasStripByteCounts))) return false;
  } else if (!(present & kHasStripOffsets) || !(present & kHasStripByteCounts)) {
    return false;
  }
  uint32_t channels = ColourChannels();
  uint32_t photo = photometric;
  if (!(present & kHasPhotometric)) {
    if (channels == 1) photo = 1;
    else if (channels == 3) photo = 2;
    else return false;
  }
  switch (photo) {
    case 0: case 1: case 3:
      if (planarConfig == 1 && samplesPerPixel > 1 && bitsPerSample < 8) return false;
      if (photo != 3) return channels >= 1;
      // A palette image needs its colour map, with a colour for every index of its depth.
      if (!(present & kHasColorMap)) return false;
      return bitsPerSample > 8 || colorMap.size() >= (size_t(1) << bitsPerSample);
    case 2: return channels >= 3;
    case 5: return inkSet == 1 && channels >= 4;
    case 6: return planarConfig == 1;
    default: return false;
  }
}

bool cTiffImage::BeginDecode() {
  uint32_t channels = ColourChannels();
  if (extraSamples.size() == 1 && (extraSamples[0] == 1 || extraSamples[0] == 2))
    alphaKind = extraSamples[0];
  if (!(present & kHasPhotometric)) {
    if (channels == 1) photometric = (compression >= 2 && compression <= 4) ? 0 : 1;
    else if (channels == 3) photometric = 2;
    else return false;
  }
  // Separate planes of a single channel read like interleaved ones, a plane at a time.
  contiguous = !(planarConfig == 2 && samplesPerPixel > 1);
  tiled = (present & (kHasTileWidth | kHasTileLength)) != 0;
  if (!CanDecode()) return false;
  routine = tiled ? (contiguous ? 1 : 2) : (contiguous ? 3 : 4);
  converter = ChooseTiffConverter(*this);
  return converter != 0;
}

bool cTiffImage::LoadFromMemory(const uint8_t* data, size_t size) {
  Reset();
  Header h;
  if (!ReadHeader(data, size, h)) return Fail("not tiff");
  littleEndian = h.littleEndian;
  if (!ReadEntries(data, size, h, entries)) return Fail("bad directory");
  if (!ReadDirectory(data, size)) return false;
  if (width == 0 || height == 0) return Fail("bad size");
  if (uint64_t(width) * height > kMaxPixels) return Fail("too large");
  const char* why = CheckTiffSupported(*this);
  if (*why) return Fail(why);
  bitsPerPixel = uint16_t(samplesPerPixel * bitsPerSample);
  if (!BeginDecode()) return Fail("unsupported layout");
  raster.assign(size_t(width) * height, 0xFF000000u);
  why = DecodeTiffRaster(*this, data, size);
  if (*why) return Fail(why);
  ok = true;
  error_ = "";
  return true;
}

bool cTiffImage::Load(const char* programPath) {
  Reset();
  if (!programPath || !*programPath) return Fail("no name");
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(programPath, &bytes)) return Fail("unreadable");
  return LoadFromMemory(bytes.data(), bytes.size());
}

// [PROBE] -------------------------------------------------------------------------------------
bool GetTiffSizeFromMemory(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height) {
  uint32_t w = 0, h = 0;
  if (width) *width = 0;
  if (height) *height = 0;
  Header header;
  std::vector<sTiffEntry> entries;
  if (!ReadHeader(data, size, header) || !ReadEntries(data, size, header, entries)) return false;
  TagReader tags(data, size, header.littleEndian);
  for (const sTiffEntry& e : entries) {
    if (e.tag == 256 && w == 0) w = tags.First(e);
    if (e.tag == 257 && h == 0) h = tags.First(e);
    if (w && h) break;
  }
  if (!w || !h) return false;
  if (width) *width = w;
  if (height) *height = h;
  return true;
}

bool GetTiffSize(const char* programPath, uint32_t* width, uint32_t* height) {
  if (width) *width = 0;
  if (height) *height = 0;
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(programPath, &bytes)) return false;
  return GetTiffSizeFromMemory(bytes.data(), bytes.size(), width, height);
}
