// LZW, PackBits and Deflate for TIFF strips and tiles (CCITT is in tiff_fax.cpp).

#include "graphics/tiff_codecs.h"

#include <zlib.h>

#include <cstring>

namespace {

constexpr uint32_t kClearCode = 256;
constexpr uint32_t kEndCode = 257;
constexpr uint32_t kFirstFreeCode = 258;
constexpr uint32_t kTableSize = 4096;

// Strings of the table live in the output already written: a code is where its string was
// last produced and how long it is, so nothing is copied twice.
struct LzwString {
  uint32_t start;
  uint32_t length;
};

class LzwBits {
 public:
  LzwBits(const uint8_t* in, size_t size, bool msbFirst) : in_(in), size_(size), msb_(msbFirst) {}
  // Next code of `width` bits; false when the input is used up.
  bool Next(uint32_t width, uint32_t* code) {
    while (count_ < width) {
      if (pos_ >= size_) return false;
      uint64_t byte = in_[pos_++];
      buffer_ = msb_ ? (buffer_ << 8) | byte : buffer_ | byte << count_;
      count_ += 8;
    }
    if (msb_) {
      *code = uint32_t(buffer_ >> (count_ - width)) & ((1u << width) - 1);
    } else {
      *code = uint32_t(buffer_) & ((1u << width) - 1);
      buffer_ >>= width;
    }
    count_ -= width;
    return true;
  }

 private:
  const uint8_t* in_;
  size_t size_, pos_ = 0;
  bool msb_;
  uint64_t buffer_ = 0;
  uint32_t count_ = 0;
};

}  // namespace

size_t DecodeTiffLzw(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) {
  // Old-style streams (before TIFF 6.0) start with a clear code written least significant first.
  bool oldStyle = inSize >= 2 && in[0] == 0 && (in[1] & 1);
  LzwBits bits(in, inSize, !oldStyle);
  static thread_local LzwString table[kTableSize];
  uint32_t width = 9, next = kFirstFreeCode;
  uint32_t early = oldStyle ? 0 : 1;
  bool havePrev = false;
  LzwString prev = {0, 0};
  size_t written = 0;
  uint32_t code;
  while (written < outSize && bits.Next(width, &code)) {
    if (code == kEndCode) break;
    if (code == kClearCode) {
      width = 9;
      next = kFirstFreeCode;
      havePrev = false;
      continue;
    }
    if (!havePrev) {
      if (code > 255) break;
      prev = {uint32_t(written), 1};
      out[written++] = uint8_t(code);
      havePrev = true;
      continue;
    }
    if (code > next || (code == next && next >= kTableSize) || code == kClearCode) break;
    if (next < kTableSize) {
      table[next] = {prev.start, prev.length + 1};
      ++next;
      if (next + early >= (1u << width) && width < 12) ++width;
    }
    LzwString s = code < 256 ? LzwString{0, 1} : table[code];
    size_t start = written;
    if (code < 256) {
      out[written++] = uint8_t(code);
    } else {
      size_t n = s.length <= outSize - written ? s.length : outSize - written;
      const uint8_t* src = out + s.start;
      uint8_t* dst = out + written;
      // The newest code overlaps the bytes it is producing (the KwKwK case).
      if (s.start + n <= written) {
        std::memcpy(dst, src, n);
      } else {
        for (size_t i = 0; i < n; ++i) dst[i] = src[i];
      }
      written += n;
    }
    prev = {uint32_t(start), s.length};
  }
  return written;
}

size_t DecodePackBits(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) {
  size_t i = 0, written = 0;
  while (i < inSize && written < outSize) {
    int n = int8_t(in[i++]);
    if (n >= 0) {
      size_t count = size_t(n) + 1;
      if (count > inSize - i) count = inSize - i;
      if (count > outSize - written) count = outSize - written;
      std::memcpy(out + written, in + i, count);
      i += size_t(n) + 1;
      written += count;
    } else if (n != -128) {
      if (i >= inSize) break;
      size_t count = size_t(1 - n);
      if (count > outSize - written) count = outSize - written;
      std::memset(out + written, in[i++], count);
      written += count;
    }
  }
  return written;
}

size_t DecodeZlib(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) {
  z_stream z;
  std::memset(&z, 0, sizeof z);
  if (inflateInit(&z) != Z_OK) return 0;
  size_t written = 0;
  while (written < outSize) {
    uInt inChunk = uInt(inSize - z.total_in > 0x40000000u ? 0x40000000u : inSize - z.total_in);
    uInt outChunk = uInt(outSize - written > 0x40000000u ? 0x40000000u : outSize - written);
    z.next_in = const_cast<Bytef*>(in + z.total_in);
    z.avail_in = inChunk;
    z.next_out = out + written;
    z.avail_out = outChunk;
    int rc = inflate(&z, Z_NO_FLUSH);
    written = z.total_out;
    if (rc != Z_OK) break;
    if (z.avail_in == inChunk && z.avail_out == outChunk) break;  // no progress
  }
  inflateEnd(&z);
  return written;
}
