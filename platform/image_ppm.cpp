// Netpbm: P1/P4 bitmaps (1 is black), P2/P5 grey maps and P3/P6 pixel maps, ASCII and binary,
// any maxval up to 65535 (two-byte samples big-endian above 255), scaled to 0..255.
// Only the first image of a multi-image file is read. Saving writes binary P6 with maxval 255.

#include <cstdio>
#include <cstring>

#include "core/byte_cursor.h"
#include "platform/image_codecs.h"

namespace {

bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

struct PpmHeader {
  char kind = 0;  // '1'..'6'
  uint32_t width = 0, height = 0, maxval = 1;
  size_t dataOffset = 0;
};

bool ParseHeader(const uint8_t* data, size_t size, PpmHeader* h) {
  ByteCursor in(data, size);
  if (in.u8() != 'P') return false;
  h->kind = char(in.u8());
  if (h->kind < '1' || h->kind > '6') return false;
  if (!ReadHeaderNumber(&in, 0x7FFFFFFF, &h->width) ||
      !ReadHeaderNumber(&in, 0x7FFFFFFF, &h->height)) {
    return false;
  }
  if (h->kind != '1' && h->kind != '4' && !ReadHeaderNumber(&in, 65535, &h->maxval)) return false;
  // Exactly one whitespace byte separates the header from binary samples.
  if (!IsSpace(in.u8())) return false;
  h->dataOffset = in.position();
  return ImageSizeAcceptable(h->width, h->height);
}

uint32_t Scale(uint32_t v, uint32_t maxval) {
  return maxval == 255 ? v : (v * 255 + maxval / 2) / maxval;
}

}  // namespace

bool ReadHeaderWord(ByteCursor* in, char word[32]) {
  for (;;) {
    const uint8_t* c = in->peek(1);
    if (!c) return false;
    if (*c == '#') {
      while (const uint8_t* d = in->peek(1)) {
        in->skip(1);
        if (*d == '\n' || *d == '\r') break;
      }
    } else if (IsSpace(*c)) {
      in->skip(1);
    } else {
      break;
    }
  }
  size_t n = 0;
  while (const uint8_t* c = in->peek(1)) {
    if (IsSpace(*c) || *c == '#') break;
    if (n == 31) return false;
    word[n++] = char(*c);
    in->skip(1);
  }
  word[n] = 0;
  return n > 0;
}

bool ReadHeaderNumber(ByteCursor* in, uint32_t limit, uint32_t* value) {
  char word[32];
  if (!ReadHeaderWord(in, word)) return false;
  uint64_t v = 0;
  for (const char* p = word; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    v = v * 10 + uint64_t(*p - '0');
    if (v > limit) return false;
  }
  if (v == 0) return false;
  *value = uint32_t(v);
  return true;
}

bool InfoPpm(const uint8_t* data, size_t size, ImageInfo* info) {
  PpmHeader h;
  if (!ParseHeader(data, size, &h)) return false;
  info->width = h.width;
  info->height = h.height;
  info->hasAlpha = false;
  return true;
}

bool DecodePpm(const uint8_t* data, size_t size, DecodedImage* out) {
  PpmHeader h;
  if (!ParseHeader(data, size, &h)) return false;
  ByteCursor in(data, size);
  in.seek(h.dataOffset);
  // Binary samples take 1 or 2 bytes (bitmaps 1/8 byte a pixel); ASCII samples at least one
  // digit and a separator (bitmap digits may run together).
  uint64_t samples = uint64_t(h.width) * h.height * (h.kind == '3' || h.kind == '6' ? 3 : 1);
  uint64_t perByte = h.kind == '4' ? 8 : 1;
  if (h.kind == '2' || h.kind == '3') samples = (samples + 1) / 2;
  if (!DataCanHold(samples, in.remaining(), perByte)) return false;
  DecodedImage image;
  PrepareDecodedImage(&image, h.width, h.height, false, D3DXIFF_PPM);
  uint32_t* px = image.argb.data();
  size_t count = image.argb.size();
  bool ascii = h.kind <= '3';
  int channels = h.kind == '3' || h.kind == '6' ? 3 : 1;
  if (h.kind == '4') {
    size_t rowBytes = (size_t(h.width) + 7) / 8;
    const uint8_t* p = in.take(rowBytes * h.height);
    if (!p) return false;
    for (uint32_t y = 0; y < h.height; ++y, p += rowBytes) {
      for (uint32_t x = 0; x < h.width; ++x) {
        *px++ = (p[x / 8] >> (7 - x % 8)) & 1 ? 0xFF000000u : 0xFFFFFFFFu;
      }
    }
  } else if (ascii) {
    // Samples: decimal words, except that P1 digits may run together ("0110").
    for (size_t i = 0; i < count; ++i) {
      uint32_t s[3];
      for (int c = 0; c < channels; ++c) {
        if (h.kind == '1') {
          const uint8_t* d;
          bool comment = false;
          while ((d = in.peek(1)) && (comment || IsSpace(*d) || *d == '#')) {
            if (*d == '#') comment = true;
            if (*d == '\n' || *d == '\r') comment = false;
            in.skip(1);
          }
          d = in.take(1);
          if (!d || (*d != '0' && *d != '1')) return false;
          s[c] = *d == '1' ? 0 : 255;
          continue;
        }
        char word[32];
        if (!ReadHeaderWord(&in, word)) return false;
        uint32_t v = 0;
        for (const char* p = word; *p; ++p) {
          if (*p < '0' || *p > '9') return false;
          v = v * 10 + uint32_t(*p - '0');
          if (v > h.maxval) return false;
        }
        s[c] = Scale(v, h.maxval);
      }
      px[i] = channels == 3 ? PackArgb(s[0], s[1], s[2], 255) : PackArgb(s[0], s[0], s[0], 255);
    }
  } else {
    size_t sampleBytes = h.maxval > 255 ? 2 : 1;
    size_t needed;
    if (!CheckedMul(count, channels * sampleBytes, &needed)) return false;
    const uint8_t* p = in.take(needed);
    if (!p) return false;
    for (size_t i = 0; i < count; ++i) {
      uint32_t s[3];
      for (int c = 0; c < channels; ++c) {
        uint32_t v = sampleBytes == 2 ? uint32_t(p[0] << 8 | p[1]) : p[0];
        p += sampleBytes;
        s[c] = Scale(v > h.maxval ? h.maxval : v, h.maxval);
      }
      px[i] = channels == 3 ? PackArgb(s[0], s[1], s[2], 255) : PackArgb(s[0], s[0], s[0], 255);
    }
  }
  *out = std::move(image);
  return true;
}

bool EncodePpm(uint32_t width, uint32_t height, const uint32_t* argb, size_t pitchBytes,
               std::vector<uint8_t>* out) {
  char header[64];
  int n = std::snprintf(header, sizeof header, "P6\n%u %u\n255\n", width, height);
  out->assign(header, header + n);
  out->reserve(out->size() + size_t(width) * height * 3);
  const uint8_t* base = reinterpret_cast<const uint8_t*>(argb);
  for (uint32_t y = 0; y < height; ++y) {
    const uint32_t* src = reinterpret_cast<const uint32_t*>(base + y * pitchBytes);
    for (uint32_t x = 0; x < width; ++x) {
      out->push_back(uint8_t(src[x] >> 16));
      out->push_back(uint8_t(src[x] >> 8));
      out->push_back(uint8_t(src[x]));
    }
  }
  return true;
}
