// The one home of stb_image and stb_image_write's implementations for the whole program (other
// code includes their headers without the implementation macros). Here they decode TGA
// (colour-mapped, true-colour, grey, RLE, either origin) and write PNG, TGA and HDR.
// stb_image's stdio is compiled out; stb_image_write keeps its own because this version puts
// its HDR writer inside the stdio section.

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#include <stb_image.h>
#include <stb_image_write.h>
#pragma GCC diagnostic pop

#include <climits>
#include <cstdlib>
#include <memory>

#include "core/byte_cursor.h"
#include "platform/image_codecs.h"

namespace {

struct StbFree {
  void operator()(void* p) const { stbi_image_free(p); }
};

int ClampLength(size_t size) { return size > size_t(INT_MAX) ? INT_MAX : int(size); }

bool StbInfo(const uint8_t* data, size_t size, ImageInfo* info, int* comp) {
  int w = 0, h = 0, c = 0;
  if (!stbi_info_from_memory(data, ClampLength(size), &w, &h, &c)) return false;
  if (!ImageSizeAcceptable(uint64_t(w > 0 ? w : 0), uint64_t(h > 0 ? h : 0))) return false;
  info->width = uint32_t(w);
  info->height = uint32_t(h);
  *comp = c;
  return true;
}

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

bool LooksLikeTga(const uint8_t* data, size_t size) {
  ByteCursor in(data, size);
  in.u8();
  uint8_t mapType = in.u8(), type = in.u8();
  in.u16le();
  uint16_t mapLength = in.u16le();
  uint8_t mapBits = in.u8();
  in.skip(4);
  uint16_t w = in.u16le(), h = in.u16le();
  uint8_t bpp = in.u8();
  if (in.failed() || w == 0 || h == 0 || mapType > 1) return false;
  bool mapped = type == 1 || type == 9;
  if (mapped != (mapType == 1)) return false;
  if (mapped && (mapLength == 0 || bpp != 8 ||
                 (mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32))) {
    return false;
  }
  if (type != 1 && type != 2 && type != 3 && type != 9 && type != 10 && type != 11) return false;
  if (bpp != 8 && bpp != 15 && bpp != 16 && bpp != 24 && bpp != 32) return false;
  ImageInfo info;
  int comp = 0;
  return StbInfo(data, size, &info, &comp);
}

bool InfoTga(const uint8_t* data, size_t size, ImageInfo* info) {
  int comp = 0;
  if (!StbInfo(data, size, info, &comp)) return false;
  info->hasAlpha = comp == 4 || comp == 2;
  return true;
}

bool DecodeTga(const uint8_t* data, size_t size, DecodedImage* out) {
  ImageInfo info;
  if (!InfoTga(data, size, &info)) return false;
  int w = 0, h = 0, comp = 0;
  std::unique_ptr<uint8_t, StbFree> pixels(
      stbi_load_from_memory(data, ClampLength(size), &w, &h, &comp, 4));
  if (!pixels || uint32_t(w) != info.width || uint32_t(h) != info.height) return false;
  DecodedImage image;
  PrepareDecodedImage(&image, info.width, info.height, info.hasAlpha, D3DXIFF_TGA);
  const uint8_t* p = pixels.get();
  for (uint32_t& px : image.argb) {
    px = PackArgb(p[0], p[1], p[2], p[3]);
    p += 4;
  }
  *out = std::move(image);
  return true;
}

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
