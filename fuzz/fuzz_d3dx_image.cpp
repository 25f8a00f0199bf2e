// libFuzzer target: the D3DX picture loader (every format, recognised by content) through its
// memory entry points, then a power-of-two resample as a texture load does.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/d3dx9_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t w = 0, h = 0;
  bool alpha = false;
  D3DXIMAGE_FILEFORMAT format;
  if (ReadImageInfoFromMemory(data, size, &w, &h, &alpha, &format) &&
      uint64_t(w) * h > (uint64_t(1) << 22)) {
    return 0;
  }
  DecodedImage image;
  if (!DecodeImageFromMemory(data, size, &image)) return 0;
  if (image.width <= 256 && image.height <= 256) {
    uint32_t pw = NextPowerOfTwo(image.width), ph = NextPowerOfTwo(image.height);
    std::vector<uint32_t> scaled(size_t(pw) * ph);
    ResampleImageTriangle(image.argb.data(), image.width, image.height, scaled.data(), pw, ph);
  }
  return 0;
}
