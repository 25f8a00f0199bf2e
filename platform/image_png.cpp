// PNG through libpng 1.6 (the structures are created with the installed library's own version
// string). Every colour type, bit depth and interlacing is turned into 8-bit RGBA.
// libpng reports errors by longjmp: the jump point's frame holds only the state struct, which
// the decoding function fills through a pointer.

#include <png.h>

#include <cstring>

#include "core/byte_cursor.h"
#include "platform/image_codecs.h"

namespace {

struct PngReadState {
  ByteCursor in;
  std::vector<png_bytep> rows;
  std::vector<uint8_t> wide;  // 16-bit samples before their reduction
  bool highByte = true;
};

void ReadFromCursor(png_structp png, png_bytep out, png_size_t length) {
  PngReadState* state = static_cast<PngReadState*>(png_get_io_ptr(png));
  if (!state->in.bytes(out, length)) png_error(png, "truncated");
}
void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnPngWarning(png_structp, png_const_charp) {}

// After the header: transforms to RGBA, then the rows. Needs the jump point already set.
bool ReadBody(png_structp png, png_infop info, PngReadState* state, uint32_t* width,
              uint32_t* height, bool* hasAlpha, std::vector<uint8_t>* rgba) {
  png_read_info(png, info);
  png_uint_32 w = png_get_image_width(png, info);
  png_uint_32 h = png_get_image_height(png, info);
  if (!ImageSizeAcceptable(w, h)) return false;
  int colorType = png_get_color_type(png, info);
  bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  *width = w;
  *height = h;
  *hasAlpha = trns || (colorType & PNG_COLOR_MASK_ALPHA) != 0;
  if (!rgba) return true;
  bool wide = png_get_bit_depth(png, info) == 16 && !state->highByte;
  png_set_expand(png);
  if (!wide) png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_filler(png, wide ? 0xFFFF : 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  size_t pixelBytes = wide ? 8 : 4;
  if (png_get_rowbytes(png, info) != size_t(w) * pixelBytes) png_error(png, "unexpected row size");
  rgba->assign(size_t(w) * h * 4, 0);
  if (wide) state->wide.assign(size_t(w) * h * 8, 0);
  uint8_t* base = wide ? state->wide.data() : rgba->data();
  state->rows.resize(h);
  for (png_uint_32 y = 0; y < h; ++y) state->rows[y] = base + size_t(y) * w * pixelBytes;
  png_read_image(png, state->rows.data());
  if (wide) {
    const uint8_t* src = state->wide.data();
    for (uint8_t& b : *rgba) {
      b = uint8_t((uint32_t(src[0]) << 8 | src[1]) / 257);
      src += 2;
    }
  }
  png_read_end(png, nullptr);
  return true;
}

}  // namespace

bool DecodePngRgba(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                   bool* hasAlpha, std::vector<uint8_t>* rgba, bool highByte) {
  if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) return false;
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  PngReadState state;
  state.in = ByteCursor(data, size);
  state.highByte = highByte;
  png_set_read_fn(png, &state, ReadFromCursor);
  // Our limits, not libpng's default 1,000,000 per side.
  png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
  volatile bool ok = false;
  if (setjmp(png_jmpbuf(png)) == 0) {
    ok = ReadBody(png, info, &state, width, height, hasAlpha, rgba);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return ok;
}

bool DecodePngImage(const uint8_t* data, size_t size, DecodedImage* out) {
  uint32_t w = 0, h = 0;
  bool alpha = false;
  std::vector<uint8_t> rgba;
  if (!DecodePngRgba(data, size, &w, &h, &alpha, &rgba, false)) return false;
  DecodedImage image;
  PrepareDecodedImage(&image, w, h, alpha, D3DXIFF_PNG);
  const uint8_t* p = rgba.data();
  for (uint32_t& px : image.argb) {
    px = PackArgb(p[0], p[1], p[2], p[3]);
    p += 4;
  }
  *out = std::move(image);
  return true;
}

bool InfoPng(const uint8_t* data, size_t size, ImageInfo* info) {
  return DecodePngRgba(data, size, &info->width, &info->height, &info->hasAlpha, nullptr, false);
}
