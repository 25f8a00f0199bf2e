// The one home of stb_image_write's implementation for the whole program (other code includes
// its header without the implementation macro): it writes PNG, TGA and HDR. Decoding is ours or
// libjpeg/libpng's: stb_image neither detects truncated data nor survives some broken HDR
// files, so it is not used. stb_image_write keeps its stdio part because this version puts its
// HDR writer inside it.

#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

#include "platform/image_codecs.h"

namespace {

void AppendToVector(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  const uint8_t* p = static_cast<const uint8_t*>(data);
  out->insert(out->end(), p, p + size);
}

// Rows of A8R8G8B8 to tightly packed R, G, B(, A) bytes for stb_image_write.
std::vector<uint8_t> ToBytes(uint32_t width, uint32_t height, const uint32_t* argb,
                             size_t pitchBytes, int comps) {
  std::vector<uint8_t> bytes(size_t(width) * height * comps);
  const uint8_t* base = reinterpret_cast<const uint8_t*>(argb);
  uint8_t* dst = bytes.data();
  for (uint32_t y = 0; y < height; ++y) {
    const uint32_t* src = reinterpret_cast<const uint32_t*>(base + y * pitchBytes);
    for (uint32_t x = 0; x < width; ++x) {
      uint32_t p = src[x];
      *dst++ = uint8_t(p >> 16);
      *dst++ = uint8_t(p >> 8);
      *dst++ = uint8_t(p);
      if (comps == 4) *dst++ = uint8_t(p >> 24);
    }
  }
  return bytes;
}

}  // namespace

bool EncodePngStb(uint32_t width, uint32_t height, const uint32_t* argb, size_t pitchBytes,
                  std::vector<uint8_t>* out) {
  std::vector<uint8_t> bytes = ToBytes(width, height, argb, pitchBytes, 4);
  return stbi_write_png_to_func(AppendToVector, out, int(width), int(height), 4, bytes.data(),
                                int(width) * 4) != 0;
}

bool EncodeTga(uint32_t width, uint32_t height, const uint32_t* argb, size_t pitchBytes,
               std::vector<uint8_t>* out) {
  std::vector<uint8_t> bytes = ToBytes(width, height, argb, pitchBytes, 4);
  return stbi_write_tga_to_func(AppendToVector, out, int(width), int(height), 4, bytes.data()) !=
         0;
}

bool EncodeHdr(uint32_t width, uint32_t height, const uint32_t* argb, size_t pitchBytes,
               std::vector<uint8_t>* out) {
  std::vector<uint8_t> bytes = ToBytes(width, height, argb, pitchBytes, 3);
  std::vector<float> floats(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) floats[i] = bytes[i] / 255.0f;
  return stbi_write_hdr_to_func(AppendToVector, out, int(width), int(height), 3,
                                floats.data()) != 0;
}
