// libFuzzer target: PNG streams through the PNG codec's memory entry point (icon entries).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/png_codec.h"
#include "platform/image_codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t w = 0, h = 0;
  bool alpha = false;
  if (DecodePngRgba(data, size, &w, &h, &alpha, nullptr, true) &&
      uint64_t(w) * h > (uint64_t(1) << 22)) {
    return 0;
  }
  sPngImage image;
  ReadPngFromMemory(image, data, size);
  return 0;
}
