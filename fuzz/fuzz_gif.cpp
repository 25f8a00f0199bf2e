// libFuzzer target: GIF files through cGifImage's memory entry point, then every frame painted.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/gif_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t w = 0, h = 0;
  if (GetGifSizeFromMemory(data, size, &w, &h) && uint64_t(w) * h > (uint64_t(1) << 22)) return 0;
  cGifImage gif;
  if (!gif.LoadFromMemory(data, size)) return 0;
  std::vector<uint32_t> texels(size_t(gif.width) * gif.height);
  for (uint32_t i = 0; i < gif.frameCount; ++i) {
    gif.currentFrame = i;
    gif.PaintCurrentFrame(texels.data(), size_t(gif.width) * 4, i == 0);
    for (uint32_t c = 0; c < 256; ++c) gif.GetColor(uint8_t(c));
  }
  return 0;
}
