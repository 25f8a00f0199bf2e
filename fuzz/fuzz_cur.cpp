// libFuzzer target: CUR files (the same decoder; seeded from cursors) through the memory entry point, the size probe and the converter.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/ico_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t w = 0, h = 0;
  GetIconSizeFromMemory(data, size, &w, &h);
  sIconImage image;
  if (DecodeIcon(data, size, image)) {
    std::vector<uint32_t> argb(size_t(image.width) * image.height);
    bool alpha = false;
    ConvertIconToArgb(image, reinterpret_cast<uint8_t*>(argb.data()), size_t(image.width) * 4, &alpha);
  }
  return 0;
}
