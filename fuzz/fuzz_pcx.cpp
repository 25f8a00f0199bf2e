// libFuzzer target: PCX files through the memory entry point and the texel converter.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/pcx_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t w = 0, h = 0;
  if (GetPcxSizeFromMemory(data, size, &w, &h) && uint64_t(w) * h > (uint64_t(1) << 22)) return 0;
  sPcxImage image;
  DecodePcx(data, size, image);
  if (image.ok) {
    std::vector<uint32_t> argb(size_t(image.width) * image.height);
    ConvertPcxToArgb(image, reinterpret_cast<uint8_t*>(argb.data()), size_t(image.width) * 4);
  }
  return 0;
}
