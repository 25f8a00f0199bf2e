// libFuzzer target: TIFF files through the memory entry point.
#include <cstddef>
#include <cstdint>

#include "graphics/tiff_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t w = 0, h = 0;
  // Rasters above 4 megapixels are legal but only slow the fuzzer down.
  if (GetTiffSizeFromMemory(data, size, &w, &h) && uint64_t(w) * h > (uint64_t(1) << 22)) return 0;
  cTiffImage image;
  image.LoadFromMemory(data, size);
  return 0;
}
