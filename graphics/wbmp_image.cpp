// WBMP reading from memory; the file-name entry points read the whole file first.

#include "graphics/wbmp_image.h"

#include "core/byte_cursor.h"
#include "platform/win_base.h"

namespace {

constexpr uint64_t kMaxPixels = uint64_t(1) << 28;

// A multi-byte integer: 7-bit groups, most significant first, bit 7 set on all but the last.
// Five groups at most (35 bits cover a 32-bit value); more, a value above 32 bits, or the
// data ending inside one, fail.
bool ReadMultiByte(ByteCursor* in, uint32_t* value) {
  uint64_t v = 0;
  for (int groups = 0; groups < 5; ++groups) {
    uint8_t b = in->u8();
    if (in->failed()) return false;
    v = (v << 7) | (b & 0x7F);
    if (!(b & 0x80)) {
      if (v > 0xFFFFFFFFu) return false;
      *value = uint32_t(v);
      return true;
    }
  }
  return false;
}

struct WbmpHeader {
  uint32_t type = 1, fixed = 0, width = 0, height = 0;
};

bool ReadHeader(ByteCursor* in, WbmpHeader* h) {
  return ReadMultiByte(in, &h->type) && ReadMultiByte(in, &h->fixed) &&
         ReadMultiByte(in, &h->width) && ReadMultiByte(in, &h->height) && h->type == 0 &&
         h->width != 0 && h->height != 0;
}

}  // namespace

void FreeWbmpImage(sWbmpImage& image) {
  image.pixels = std::vector<uint8_t>();
  image.palette = std::vector<uint8_t>();
}

bool LoadWbmpFromMemory(const uint8_t* data, size_t size, sWbmpImage& image) {
  FreeWbmpImage(image);
  image = sWbmpImage();
  ByteCursor in(data, size);
  WbmpHeader h;
  if (!ReadHeader(&in, &h)) return false;
  uint64_t rowBytes = (uint64_t(h.width) + 7) / 8;
  uint64_t dataSize = rowBytes * h.height;
  if (uint64_t(h.width) * h.height > kMaxPixels || dataSize > in.remaining()) return false;
  const uint8_t* rows = in.take(size_t(dataSize));
  if (!rows) return false;
  image.width = h.width;
  image.height = h.height;
  image.rowBytes = uint32_t(rowBytes);
  image.dataSize = uint32_t(dataSize);
  image.palette.assign(image.colorCount * 4, 0);
  for (uint32_t i = 0; i < image.colorCount; ++i) {
    uint8_t level = uint8_t(255 / (image.colorCount - 1) * i);
    image.palette[i * 4] = image.palette[i * 4 + 1] = image.palette[i * 4 + 2] = level;
  }
  image.pixels.assign(rows, rows + dataSize);
  image.ok = true;
  return true;
}

bool LoadWbmpFile(const char* fileName, sWbmpImage& image) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(fileName, &bytes)) {
    FreeWbmpImage(image);
    image = sWbmpImage();
    return false;
  }
  return LoadWbmpFromMemory(bytes.data(), bytes.size(), image);
}

bool GetWbmpSizeFromMemory(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height) {
  *width = *height = 0;
  ByteCursor in(data, size);
  WbmpHeader h;
  if (!ReadHeader(&in, &h)) return false;
  *width = h.width;
  *height = h.height;
  return true;
}

bool GetWbmpSize(const char* fileName, uint32_t* width, uint32_t* height) {
  *width = *height = 0;
  std::vector<uint8_t> head;
  // The four integers take at most 20 bytes.
  if (!ReadFileHead(fileName, 20, &head)) return false;
  return GetWbmpSizeFromMemory(head.data(), head.size(), width, height);
}
