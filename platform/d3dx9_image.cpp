// d3dx9_image: recognises a picture by its first bytes and hands it to the decoder of that
// format; chooses the encoder for a save; resamples for power-of-two textures.
//
// TGA has no signature, so it is tried last, and only when its header is self-consistent.
// A DIB is a BMP without the 14-byte file header: it starts with the info header's size.

#include "platform/d3dx9_image.h"

#include <cstring>

#include "core/byte_cursor.h"
#include "platform/image_codecs.h"

void PrepareDecodedImage(DecodedImage* out, uint32_t width, uint32_t height, bool hasAlpha,
                         D3DXIMAGE_FILEFORMAT format) {
  out->width = width;
  out->height = height;
  out->hasAlpha = hasAlpha;
  out->fileFormat = format;
  out->argb.assign(size_t(width) * height, 0xFF000000u);
}

namespace {

bool StartsWith(const uint8_t* data, size_t size, const char* magic) {
  size_t n = std::strlen(magic);
  return size >= n && std::memcmp(data, magic, n) == 0;
}

bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool LooksLikeDib(const uint8_t* data, size_t size) {
  ByteCursor in(data, size);
  uint32_t headerSize = in.u32le();
  if (in.failed()) return false;
  switch (headerSize) {
    case 12: case 40: case 52: case 56: case 64: case 108: case 124: break;
    default: return false;
  }
  ImageInfo info;
  return InfoBmp(data, size, true, &info);
}

}  // namespace

bool DetectImageFormat(const uint8_t* data, size_t size, D3DXIMAGE_FILEFORMAT* format) {
  if (!data || size < 2) return false;
  D3DXIMAGE_FILEFORMAT f;
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
    f = D3DXIFF_JPG;
  } else if (StartsWith(data, size, "\x89PNG\r\n\x1a\n")) {
    f = D3DXIFF_PNG;
  } else if (StartsWith(data, size, "DDS ")) {
    f = D3DXIFF_DDS;
  } else if (StartsWith(data, size, "#?RADIANCE") || StartsWith(data, size, "#?RGBE")) {
    f = D3DXIFF_HDR;
  } else if (size >= 3 && data[0] == 'P' && (data[1] == 'F' || data[1] == 'f') &&
             IsSpace(data[2])) {
    f = D3DXIFF_PFM;
  } else if (size >= 3 && data[0] == 'P' && data[1] >= '1' && data[1] <= '6' &&
             IsSpace(data[2])) {
    f = D3DXIFF_PPM;
  } else if (StartsWith(data, size, "BM")) {
    f = D3DXIFF_BMP;
  } else if (LooksLikeDib(data, size)) {
    f = D3DXIFF_DIB;
  } else if (LooksLikeTga(data, size)) {
    f = D3DXIFF_TGA;
  } else {
    return false;
  }
  *format = f;
  return true;
}

bool ReadImageInfoFromMemory(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                             bool* hasAlpha, D3DXIMAGE_FILEFORMAT* format) {
  D3DXIMAGE_FILEFORMAT f;
  if (!DetectImageFormat(data, size, &f)) return false;
  ImageInfo info;
  bool ok = false;
  switch (f) {
    case D3DXIFF_JPG: ok = InfoJpeg(data, size, &info); break;
    case D3DXIFF_PNG: ok = InfoPng(data, size, &info); break;
    case D3DXIFF_BMP: ok = InfoBmp(data, size, false, &info); break;
    case D3DXIFF_DIB: ok = InfoBmp(data, size, true, &info); break;
    case D3DXIFF_TGA: ok = InfoTga(data, size, &info); break;
    case D3DXIFF_DDS: ok = InfoDds(data, size, &info); break;
    case D3DXIFF_HDR: ok = InfoHdr(data, size, &info); break;
    case D3DXIFF_PFM: ok = InfoPfm(data, size, &info); break;
    case D3DXIFF_PPM: ok = InfoPpm(data, size, &info); break;
    default: break;
  }
  if (!ok || !ImageSizeAcceptable(info.width, info.height)) return false;
  if (width) *width = info.width;
  if (height) *height = info.height;
  if (hasAlpha) *hasAlpha = info.hasAlpha;
  if (format) *format = f;
  return true;
}

bool DecodeImageFromMemory(const uint8_t* data, size_t size, DecodedImage* out) {
  D3DXIMAGE_FILEFORMAT f;
  if (!out || !DetectImageFormat(data, size, &f)) return false;
  DecodedImage image;
  bool ok = false;
  switch (f) {
    case D3DXIFF_JPG: ok = DecodeJpeg(data, size, &image); break;
    case D3DXIFF_PNG: ok = DecodePngImage(data, size, &image); break;
    case D3DXIFF_BMP: ok = DecodeBmp(data, size, false, &image); break;
    case D3DXIFF_DIB: ok = DecodeBmp(data, size, true, &image); break;
    case D3DXIFF_TGA: ok = DecodeTga(data, size, &image); break;
    case D3DXIFF_DDS: ok = DecodeDds(data, size, &image); break;
    case D3DXIFF_HDR: ok = DecodeHdr(data, size, &image); break;
    case D3DXIFF_PFM: ok = DecodePfm(data, size, &image); break;
    case D3DXIFF_PPM: ok = DecodePpm(data, size, &image); break;
    default: break;
  }
  if (!ok) return false;
  image.fileFormat = f;
  *out = std::move(image);
  return true;
}

bool EncodeImageToMemory(D3DXIMAGE_FILEFORMAT format, uint32_t width, uint32_t height,
                         const uint32_t* argb, size_t pitchBytes, std::vector<uint8_t>* out) {
  if (!out) return false;
  out->clear();
  if (!argb || !ImageSizeAcceptable(width, height) || pitchBytes < size_t(width) * 4) {
    return false;
  }
  bool ok = false;
  switch (format) {
    case D3DXIFF_BMP:
    case D3DXIFF_DIB: {
      ok = EncodeBmp(width, height, argb, pitchBytes, out);
      // A DIB file is the same bitmap without its 14-byte file header.
      if (ok && format == D3DXIFF_DIB) out->erase(out->begin(), out->begin() + 14);
      break;
    }
    case D3DXIFF_JPG: ok = EncodeJpeg(width, height, argb, pitchBytes, out); break;
    case D3DXIFF_TGA: ok = EncodeTga(width, height, argb, pitchBytes, out); break;
    case D3DXIFF_PNG: ok = EncodePngStb(width, height, argb, pitchBytes, out); break;
    case D3DXIFF_DDS: ok = EncodeDds(width, height, argb, pitchBytes, out); break;
    case D3DXIFF_PPM: ok = EncodePpm(width, height, argb, pitchBytes, out); break;
    case D3DXIFF_HDR: ok = EncodeHdr(width, height, argb, pitchBytes, out); break;
    case D3DXIFF_PFM: ok = EncodePfm(width, height, argb, pitchBytes, out); break;
    default: break;
  }
  if (!ok) out->clear();
  return ok;
}

uint32_t NextPowerOfTwo(uint32_t n) {
  uint32_t p = 1;
  while (p < n && p < 0x80000000u) p <<= 1;
  return p;
}
