// PNG reading (shared with D3DX's PNG path, platform/image_png.cpp) and writing over libpng's
// write callbacks into memory, so a file is only written once the whole PNG exists.

#include "graphics/png_codec.h"

#include <png.h>

#include <cstdlib>
#include <cstring>

#include "platform/image_codecs.h"
#include "platform/win_base.h"

void ClearImageBuffer(sPngImage& image) { image = sPngImage(); }

bool ReadPngFromMemory(sPngImage& image, const uint8_t* data, size_t size) {
  ClearImageBuffer(image);
  uint32_t w = 0, h = 0;
  bool alpha = false;
  std::vector<uint8_t> rgba;
  if (!DecodePngRgba(data, size, &w, &h, &alpha, &rgba, true)) return false;
  image.width = w;
  image.height = h;
  image.bitsPerPixel = 32;
  image.dataSize = w * h * 4;
  image.pixels = std::move(rgba);
  return true;
}

bool ReadPngFromFile(sPngImage& image, FILE* file) {
  ClearImageBuffer(image);
  if (!file) return false;
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  return ReadPngFromMemory(image, bytes.data(), bytes.size());
}

bool GetPngSize(const char* fileName, uint32_t* width, uint32_t* height) {
  *width = *height = 0;
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(fileName, &bytes)) return false;
  uint32_t w = 0, h = 0;
  bool alpha = false;
  if (!DecodePngRgba(bytes.data(), bytes.size(), &w, &h, &alpha, nullptr, true)) return false;
  *width = w;
  *height = h;
  return w != 0 && h != 0;
}

namespace {

void WriteToVector(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
void FlushNothing(png_structp) {}
void OnWriteError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWriteWarning(png_structp, png_const_charp) {}

// Runs inside the jump point: builds the rows and writes. rows is owned by the caller.
void WriteRows(png_structp png, png_infop info, uint32_t w, uint32_t h, int channels,
               const uint8_t* pixels, size_t pitch, std::vector<uint8_t>* rowData,
               std::vector<png_bytep>* rows) {
  png_set_IHDR(png, info, w, h, 8, channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  size_t rowBytes = size_t(w) * channels;
  rowData->resize(rowBytes * h);
  rows->resize(h);
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t* src = pixels + y * pitch;
    uint8_t* dst = rowData->data() + y * rowBytes;
    (*rows)[y] = dst;
    for (uint32_t x = 0; x < w; ++x, src += channels, dst += channels) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
      if (channels == 4) dst[3] = src[3];
    }
  }
  png_set_rows(png, info, rows->data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
}

}  // namespace

bool EncodePngFromDib(const BITMAPINFOHEADER* header, const uint8_t* pixels, size_t pitch,
                      std::vector<uint8_t>* out) {
  if (!out) return false;
  out->clear();
  if (!header || !pixels || (header->biBitCount != 24 && header->biBitCount != 32)) return false;
  int channels = header->biBitCount / 8;
  int64_t w = header->biWidth, h = header->biHeight < 0 ? -int64_t(header->biHeight)
                                                         : int64_t(header->biHeight);
  if (w <= 0 || h <= 0 || uint64_t(w) * uint64_t(h) > (uint64_t(1) << 28) ||
      pitch < size_t(w) * channels) {
    return false;
  }
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnWriteError, OnWriteWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  std::vector<uint8_t> rowData;
  std::vector<png_bytep> rows;
  png_set_write_fn(png, out, WriteToVector, FlushNothing);
  volatile bool ok = false;
  if (setjmp(png_jmpbuf(png)) == 0) {
    WriteRows(png, info, uint32_t(w), uint32_t(h), channels, pixels, pitch, &rowData, &rows);
    ok = true;
  }
  png_destroy_write_struct(&png, &info);
  if (!ok) out->clear();
  return ok;
}

bool SavePngFromDib(const char* fileName, const BITMAPINFOHEADER* header, const uint8_t* pixels,
                    size_t pitch) {
  if (!fileName || !*fileName) return false;
  std::vector<uint8_t> bytes;
  if (!EncodePngFromDib(header, pixels, pitch, &bytes)) return false;
  FILE* file = crt::fopen(fileName, "wb");
  if (!file) return false;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  bool closed = std::fclose(file) == 0;
  if (!(written && closed)) crt::remove(fileName);
  return written && closed;
}
