// ICO/CUR: a 6-byte directory header, 16-byte entries, then each entry's bitmap or PNG stream.
//
// [DIRECTORY]  header, entries and the choice of entry
// [BITMAP]     BITMAPINFOHEADER entries: palette, XOR rows, AND mask
// [PNG]        PNG-compressed entries
// [CONVERT]    A8R8G8B8 texels for the texture loader

#include "graphics/ico_image.h"

#include <algorithm>
#include <cstring>

#include "core/byte_cursor.h"
#include "graphics/png_codec.h"
#include "platform/win_base.h"

namespace {

constexpr uint32_t kMaxEntryBytes = 0x10000000u;
constexpr size_t kInfoHeaderSize = 40;
const uint8_t kPngSignature[4] = {0x89, 'P', 'N', 'G'};

// [DIRECTORY] ---------------------------------------------------------------------------------
struct IconEntry {
  uint8_t width, height;
  uint16_t bitCount;
  uint32_t bytes, offset;
};

struct IconDirectory {
  uint16_t type = 0;
  std::vector<IconEntry> entries;
};

bool ReadDirectory(const uint8_t* data, size_t size, IconDirectory& dir, const char** error) {
  ByteCursor in(data, size);
  uint16_t reserved = in.u16le();
  dir.type = in.u16le();
  uint16_t count = in.u16le();
  if (in.failed() || reserved != 0 || (dir.type != 1 && dir.type != 2)) {
    *error = "not icon";
    return false;
  }
  if (count == 0 || size_t(count) * 16 > in.remaining()) {
    *error = count == 0 ? "no entries" : "short directory";
    return false;
  }
  dir.entries.resize(count);
  for (IconEntry& e : dir.entries) {
    e.width = in.u8();
    e.height = in.u8();
    in.skip(4);  // colour count, reserved, planes (hot-spot x for cursors)
    e.bitCount = in.u16le();  // hot-spot y for cursors
    e.bytes = in.u32le();
    e.offset = in.u32le();
  }
  return true;
}

// Icons: the deepest entry, then the widest; a 256-pixel entry (size bytes 0) is kept only
// when it comes first and nothing replaces it. Cursors use their first entry.
size_t ChooseEntry(const IconDirectory& dir) {
  size_t chosen = 0;
  if (dir.type != 1) return chosen;
  for (size_t i = 1; i < dir.entries.size(); ++i) {
    const IconEntry& e = dir.entries[i];
    const IconEntry& c = dir.entries[chosen];
    if (e.width == 0 || e.height == 0) continue;
    if (c.bitCount < e.bitCount || c.width == 0 || c.height == 0 ||
        (c.bitCount == e.bitCount && c.width < e.width))
      chosen = i;
  }
  return chosen;
}

// The entry's bytes. Real cursors understate their size, so a bitmap may run on to the end of
// the file; an entry that says it is longer than the file is cut short and refused.
bool EntryBytes(const uint8_t* data, size_t size, const IconEntry& e, ByteCursor* out,
                const char** error) {
  if (e.bytes > kMaxEntryBytes) {
    *error = "too large";
    return false;
  }
  if (e.offset > size || e.bytes > size - e.offset || e.bytes == 0) {
    *error = "truncated entry";
    return false;
  }
  *out = ByteCursor(data + e.offset, size - e.offset);
  return true;
}

bool IsPng(const ByteCursor& entry) {
  const uint8_t* p = entry.peek(4);
  return p && std::memcmp(p, kPngSignature, 4) == 0;
}

void Fail(sIconImage& image, const char* why) {
  FreeIconImage(image);
  image.error = why;
}

// [BITMAP] ------------------------------------------------------------------------------------
struct BitmapLayout {
  uint32_t headerSize, width, height, bitCount, paletteCount, xorStride, maskStride;
  size_t paletteOffset, pixelsOffset, maskOffset, end;
};

bool SupportedDepth(uint32_t bits) {
  return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
         bits == 32;
}

// Reads the info header and places palette, XOR rows and mask; every part must lie in `entry`.
bool ReadBitmapLayout(ByteCursor entry, BitmapLayout& b, const char** error) {
  b.headerSize = entry.u32le();
  int32_t width = entry.i32le();
  int32_t doubleHeight = entry.i32le();  // XOR rows plus mask rows
  entry.u16le();                         // planes
  b.bitCount = entry.u16le();
  uint32_t compression = entry.u32le();
  entry.skip(12);
  uint32_t coloursUsed = entry.u32le() & 0xFFFF;
  if (entry.failed() || b.headerSize < kInfoHeaderSize) {
    *error = "bad header";
    return false;
  }
  if (width <= 0 || doubleHeight < 2 || width > 65536 || doubleHeight > 131072) {
    *error = "bad size";
    return false;
  }
  if (!SupportedDepth(b.bitCount) || compression != 0) {
    *error = "unsupported depth";
    return false;
  }
  b.width = uint32_t(width);
  b.height = uint32_t(doubleHeight) / 2;
  if (coloursUsed == 0 && b.bitCount <= 8) coloursUsed = 1u << b.bitCount;
  b.paletteCount = b.bitCount <= 8 ? coloursUsed : 0;
  b.xorStride = uint32_t((uint64_t(b.width) * b.bitCount + 31) / 32 * 4);
  b.maskStride = (b.width + 31) / 32 * 4;
  b.paletteOffset = b.headerSize;
  b.pixelsOffset = b.paletteOffset + size_t(b.paletteCount) * 4;
  b.maskOffset = b.pixelsOffset + size_t(b.height) * b.xorStride;
  b.end = b.maskOffset + size_t(b.height) * b.maskStride;
  if (b.end > entry.size()) {
    *error = "truncated entry";
    return false;
  }
  return true;
}

// Row k swapped with row count - 1 - k: the file stores rows bottom first.
void FlipRows(uint8_t* rows, uint32_t count, uint32_t stride) {
  std::vector<uint8_t> temp(stride);
  for (uint32_t k = 0; k < count / 2; ++k) {
    uint8_t* a = rows + size_t(k) * stride;
    uint8_t* b = rows + size_t(count - 1 - k) * stride;
    std::memcpy(temp.data(), a, stride);
    std::memcpy(a, b, stride);
    std::memcpy(b, temp.data(), stride);
  }
}

bool DecodeBitmapEntry(const ByteCursor& entry, sIconImage& image) {
  BitmapLayout b;
  const char* error = "";
  if (!ReadBitmapLayout(entry, b, &error)) {
    Fail(image, error);
    return false;
  }
  image.buffer.assign(entry.data(), entry.data() + b.end);
  image.bufferSize = uint32_t(b.end);
  image.width = b.width;
  image.height = b.height;
  image.bitsPerPixel = b.bitCount;
  image.xorStride = b.xorStride;
  image.maskStride = b.maskStride;
  image.paletteCount = b.paletteCount;
  image.paletteOffset = b.paletteOffset;
  image.pixelsOffset = b.pixelsOffset;
  image.maskOffset = b.maskOffset;
  FlipRows(image.buffer.data() + b.pixelsOffset, b.height, b.xorStride);
  FlipRows(image.buffer.data() + b.maskOffset, b.height, b.maskStride);
  image.ok = true;
  return true;
}

// [PNG] ---------------------------------------------------------------------------------------
bool DecodePngEntry(const ByteCursor& entry, sIconImage& image) {
  sPngImage png;
  if (!ReadPngFromMemory(png, entry.data(), entry.size())) {
    Fail(image, "bad png");
    return false;
  }
  image.width = png.width;
  image.height = png.height;
  image.bitsPerPixel = 32;
  image.buffer = std::move(png.pixels);
  image.bufferSize = uint32_t(image.buffer.size());
  image.isPng = true;
  image.ok = true;
  return true;
}

// Width and height stored in a PNG's IHDR chunk (big-endian, right after the signature).
bool PngHeaderSize(ByteCursor entry, uint32_t* width, uint32_t* height) {
  entry.skip(16);
  *width = entry.u32be();
  *height = entry.u32be();
  return !entry.failed();
}

bool DecodeEntry(const uint8_t* data, size_t size, const IconDirectory& dir, size_t index,
                 sIconImage& image) {
  ByteCursor entry;
  const char* error = "";
  if (!EntryBytes(data, size, dir.entries[index], &entry, &error)) {
    Fail(image, error);
    return false;
  }
  return IsPng(entry) ? DecodePngEntry(entry, image) : DecodeBitmapEntry(entry, image);
}

}  // namespace

void FreeIconImage(sIconImage& image) { image = sIconImage(); }

namespace {

constexpr uint32_t kChosenEntry = 0xFFFFFFFFu;

bool DecodeDirectoryEntry(const uint8_t* data, size_t size, uint32_t index, sIconImage& image) {
  FreeIconImage(image);
  IconDirectory dir;
  const char* error = "";
  if (!ReadDirectory(data, size, dir, &error)) {
    Fail(image, error);
    return false;
  }
  if (index == kChosenEntry) index = uint32_t(ChooseEntry(dir));
  if (index >= dir.entries.size()) {
    Fail(image, "bad index");
    return false;
  }
  return DecodeEntry(data, size, dir, index, image);
}

}  // namespace

bool DecodeIcon(const uint8_t* data, size_t size, sIconImage& image) {
  return DecodeDirectoryEntry(data, size, kChosenEntry, image);
}

bool DecodeIconEntry(const uint8_t* data, size_t size, uint32_t index, sIconImage& image) {
  return DecodeDirectoryEntry(data, size, index, image);
}

bool LoadIconFile(const char* programPath, sIconImage& image) {
  FreeIconImage(image);
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(programPath, &bytes)) {
    Fail(image, "unreadable");
    return false;
  }
  return DecodeIcon(bytes.data(), bytes.size(), image);
}

bool GetIconSizeFromMemory(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height) {
  uint32_t w = 0, h = 0;
  if (width) *width = 0;
  if (height) *height = 0;
  IconDirectory dir;
  const char* error = "";
  if (!ReadDirectory(data, size, dir, &error)) return false;
  ByteCursor entry;
  if (!EntryBytes(data, size, dir.entries[ChooseEntry(dir)], &entry, &error)) return false;
  if (IsPng(entry)) {
    if (!PngHeaderSize(entry, &w, &h)) return false;
  } else {
    BitmapLayout b;
    if (!ReadBitmapLayout(entry, b, &error)) return false;
    w = b.width;
    h = b.height;
  }
  if (width) *width = w;
  if (height) *height = h;
  return w != 0 && h != 0;
}

bool GetIconSize(const char* programPath, uint32_t* width, uint32_t* height) {
  if (width) *width = 0;
  if (height) *height = 0;
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(programPath, &bytes)) return false;
  return GetIconSizeFromMemory(bytes.data(), bytes.size(), width, height);
}

// [CONVERT] -----------------------------------------------------------------------------------
namespace {

inline uint32_t Expand5(uint32_t v) { return (v << 3) | (v >> 2); }

void ConvertBitmapRow(const sIconImage& image, const uint8_t* row, const uint32_t* colours,
                      uint32_t* out) {
  uint32_t bits = image.bitsPerPixel;
  uint32_t w = image.width;
  switch (bits) {
    case 32:
      for (uint32_t x = 0; x < w; ++x, row += 4)
        out[x] = uint32_t(row[3]) << 24 | uint32_t(row[2]) << 16 | uint32_t(row[1]) << 8 | row[0];
      return;
    case 24:
      for (uint32_t x = 0; x < w; ++x, row += 3)
        out[x] = 0xFF000000u | uint32_t(row[2]) << 16 | uint32_t(row[1]) << 8 | row[0];
      return;
    case 16:  // X1R5G5B5
      for (uint32_t x = 0; x < w; ++x, row += 2) {
        uint32_t v = uint32_t(row[0]) | uint32_t(row[1]) << 8;
        out[x] = 0xFF000000u | Expand5((v >> 10) & 31) << 16 | Expand5((v >> 5) & 31) << 8 |
                 Expand5(v & 31);
      }
      return;
    default:
      for (uint32_t x = 0; x < w; ++x) {
        uint32_t bit = x * bits;
        out[x] = colours[(row[bit >> 3] >> (8 - bits - (bit & 7))) & ((1u << bits) - 1)];
      }
  }
}

}  // namespace

bool ConvertIconToArgb(const sIconImage& image, uint8_t* bits, size_t pitch, bool* hasAlpha) {
  if (hasAlpha) *hasAlpha = false;
  if (!image.ok || !bits) return false;
  bool anyAlpha = false;
  if (image.isPng) {
    for (uint32_t y = 0; y < image.height; ++y) {
      const uint8_t* px = image.buffer.data() + size_t(y) * image.width * 4;
      uint32_t* out = reinterpret_cast<uint32_t*>(bits + size_t(y) * pitch);
      for (uint32_t x = 0; x < image.width; ++x, px += 4) {
        out[x] = uint32_t(px[3]) << 24 | uint32_t(px[0]) << 16 | uint32_t(px[1]) << 8 | px[2];
        anyAlpha |= px[3] != 255;
      }
    }
    if (hasAlpha) *hasAlpha = anyAlpha;
    return true;
  }
  // Indices past a short palette show opaque black.
  uint32_t colours[256];
  std::fill(colours, colours + 256, 0xFF000000u);
  for (uint32_t i = 0; i < image.paletteCount && i < 256; ++i) {
    const uint8_t* q = image.palette() + size_t(i) * 4;
    colours[i] = 0xFF000000u | uint32_t(q[2]) << 16 | uint32_t(q[1]) << 8 | q[0];
  }
  for (uint32_t y = 0; y < image.height; ++y) {
    uint32_t* out = reinterpret_cast<uint32_t*>(bits + size_t(y) * pitch);
    ConvertBitmapRow(image, image.pixels() + size_t(y) * image.xorStride, colours, out);
    const uint8_t* mask = image.mask() + size_t(y) * image.maskStride;
    for (uint32_t x = 0; x < image.width; ++x) {
      if (mask[x >> 3] & (0x80 >> (x & 7))) {
        out[x] &= 0x00FFFFFFu;
        anyAlpha = true;
      }
    }
  }
  if (hasAlpha) *hasAlpha = anyAlpha;
  return true;
}
