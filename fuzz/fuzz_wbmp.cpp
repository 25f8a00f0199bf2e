// libFuzzer target: WBMP files through the memory entry point.
#include <cstddef>
#include <cstdint>

#include "graphics/wbmp_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t w = 0, h = 0;
  GetWbmpSizeFromMemory(data, size, &w, &h);
  sWbmpImage image;
  if (LoadWbmpFromMemory(data, size, image)) {
    volatile uint32_t sum = 0;
    for (uint8_t b : image.pixels) sum = sum + b;
  }
  FreeWbmpImage(image);
  return 0;
}
