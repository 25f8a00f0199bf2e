// JPEG through libjpeg-turbo: baseline and progressive, grey, YCbCr and CMYK/YCCK (Adobe
// files store CMYK inverted). A truncated file fails instead of showing a grey lower half.
// libjpeg reports errors by longjmp; nothing with a destructor lives between setjmp and the
// calls that may jump, so the jump leaks nothing.

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "platform/image_codecs.h"

namespace {

struct JpegError {
  jpeg_error_mgr base;
  jmp_buf jump;
  bool warned;  // the data ended before the image did
};

void OnError(j_common_ptr info) {
  JpegError* err = reinterpret_cast<JpegError*>(info->err);
  longjmp(err->jump, 1);
}
// Only running out of data counts: real files often carry harmless "extraneous bytes" warnings.
void OnMessage(j_common_ptr info, int level) {
  if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) {
    reinterpret_cast<JpegError*>(info->err)->warned = true;
  }
}
void OnOutput(j_common_ptr) {}

// 255 * a * b / 255^2 rounded as the usual 8-bit "multiply and divide by 255".
inline uint32_t MulDiv255(uint32_t a, uint32_t b) {
  uint32_t t = a * b + 128;
  return ((t >> 8) + t) >> 8;
}

// Header and decode in one place; header-only when out is null. Runs inside setjmp, so it holds
// only trivially destructible locals; rows go straight into out's buffer.
bool Run(const uint8_t* data, size_t size, ImageInfo* info, DecodedImage* out) {
  jpeg_decompress_struct cinfo;
  JpegError err;
  std::memset(&cinfo, 0, sizeof cinfo);
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = OnError;
  err.base.emit_message = OnMessage;
  err.base.output_message = OnOutput;
  err.warned = false;
  // Volatile: read after a longjmp back into this frame.
  uint8_t* volatile row = nullptr;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    std::free(row);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  if (!ImageSizeAcceptable(cinfo.image_width, cinfo.image_height)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  if (info) {
    info->width = cinfo.image_width;
    info->height = cinfo.image_height;
    info->hasAlpha = false;
  }
  if (!out) {
    jpeg_destroy_decompress(&cinfo);
    return true;
  }
  bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  bool inverted = cmyk && cinfo.saw_Adobe_marker;
  if (cmyk) {
    cinfo.out_color_space = JCS_CMYK;
  } else if (cinfo.num_components == 1) {
    cinfo.out_color_space = JCS_GRAYSCALE;
  } else {
    cinfo.out_color_space = JCS_EXT_BGRX;  // A8R8G8B8 words on a little-endian host
  }
  jpeg_start_decompress(&cinfo);
  uint32_t w = cinfo.output_width;
  int comps = cinfo.output_components;
  PrepareDecodedImage(out, w, cinfo.output_height, false, D3DXIFF_JPG);
  if (comps != 4 || cmyk) {
    row = static_cast<uint8_t*>(std::malloc(size_t(w) * comps));
    if (!row) longjmp(err.jump, 1);
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    uint32_t y = cinfo.output_scanline;
    uint32_t* dst = out->argb.data() + size_t(y) * w;
    JSAMPROW target = row ? row : reinterpret_cast<JSAMPROW>(dst);
    if (jpeg_read_scanlines(&cinfo, &target, 1) != 1) break;
    if (comps == 1) {
      for (uint32_t x = 0; x < w; ++x) dst[x] = PackArgb(row[x], row[x], row[x], 255);
    } else if (cmyk) {
      for (uint32_t x = 0; x < w; ++x) {
        const uint8_t* p = row + size_t(x) * 4;
        uint32_t c = p[0], m = p[1], yy = p[2], k = p[3];
        if (inverted) c = 255 - c, m = 255 - m, yy = 255 - yy, k = 255 - k;
        uint32_t nk = 255 - k;
        dst[x] = PackArgb(nk - MulDiv255(c, nk), nk - MulDiv255(m, nk), nk - MulDiv255(yy, nk),
                          255);
      }
    } else if (comps != 4) {
      longjmp(err.jump, 1);
    } else {
      for (uint32_t x = 0; x < w; ++x) dst[x] |= 0xFF000000u;
    }
  }
  bool complete = cinfo.output_scanline == cinfo.output_height && !err.warned;
  if (complete) jpeg_finish_decompress(&cinfo);
  complete = complete && !err.warned;
  jpeg_destroy_decompress(&cinfo);
  std::free(row);
  return complete;
}

}  // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, DecodedImage* out) {
  DecodedImage image;
  if (!Run(data, size, nullptr, &image)) return false;
  *out = std::move(image);
  return true;
}

bool InfoJpeg(const uint8_t* data, size_t size, ImageInfo* info) {
  return Run(data, size, info, nullptr);
}

bool EncodeJpeg(uint32_t width, uint32_t height, const uint32_t* argb, size_t pitchBytes,
                std::vector<uint8_t>* out) {
  std::vector<uint8_t> row(size_t(width) * 3);
  jpeg_compress_struct cinfo;
  JpegError err;
  std::memset(&cinfo, 0, sizeof cinfo);
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = OnError;
  err.base.output_message = OnOutput;
  unsigned char* volatile buffer = nullptr;
  unsigned long bufferSize = 0;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return false;
  }
  jpeg_create_compress(&cinfo);
  unsigned char* mem = nullptr;
  jpeg_mem_dest(&cinfo, &mem, &bufferSize);
  cinfo.image_width = width;
  cinfo.image_height = height;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  const uint8_t* base = reinterpret_cast<const uint8_t*>(argb);
  while (cinfo.next_scanline < height) {
    const uint32_t* src = reinterpret_cast<const uint32_t*>(base + cinfo.next_scanline * pitchBytes);
    for (uint32_t x = 0; x < width; ++x) {
      row[x * 3] = uint8_t(src[x] >> 16);
      row[x * 3 + 1] = uint8_t(src[x] >> 8);
      row[x * 3 + 2] = uint8_t(src[x]);
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_compress(&cinfo);
  buffer = mem;
  out->assign(mem, mem + bufferSize);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return true;
}
