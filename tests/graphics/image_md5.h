#pragma once
// MD5 of decoded pixels in the corpus manifest's form: 8-bit R, G, B, A per pixel, rows top
// first, with every fully transparent pixel written as 0, 0, 0, 0.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace image_test {

class Md5 {
 public:
  void Update(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) {
      buffer_[length_++ % 64] = p[i];
      if (length_ % 64 == 0) Block(buffer_);
    }
  }
  std::string Hex() {
    uint64_t bits = length_ * 8;
    uint8_t pad = 0x80;
    Update(&pad, 1);
    uint8_t zero = 0;
    while (length_ % 64 != 56) Update(&zero, 1);
    for (int i = 0; i < 8; ++i) {
      uint8_t b = uint8_t(bits >> (8 * i));
      Update(&b, 1);
    }
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (uint32_t v : h_) {
      for (int i = 0; i < 4; ++i) {
        uint8_t b = uint8_t(v >> (8 * i));
        out += digits[b >> 4];
        out += digits[b & 15];
      }
    }
    return out;
  }

 private:
  static uint32_t Rot(uint32_t x, int c) { return (x << c) | (x >> (32 - c)); }
  void Block(const uint8_t* p) {
    static const uint32_t k[64] = {
        0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
        0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
        0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
        0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
        0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
        0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
        0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
        0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
        0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
        0xeb86d391};
    static const int r[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                              5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                              4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                              6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
    uint32_t w[16];
    for (int i = 0; i < 16; ++i) {
      w[i] = uint32_t(p[i * 4]) | uint32_t(p[i * 4 + 1]) << 8 | uint32_t(p[i * 4 + 2]) << 16 |
             uint32_t(p[i * 4 + 3]) << 24;
    }
    uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3];
    for (int i = 0; i < 64; ++i) {
      uint32_t f;
      int g;
      if (i < 16) f = (b & c) | (~b & d), g = i;
      else if (i < 32) f = (d & b) | (~d & c), g = (5 * i + 1) % 16;
      else if (i < 48) f = b ^ c ^ d, g = (3 * i + 5) % 16;
      else f = c ^ (b | ~d), g = (7 * i) % 16;
      uint32_t t = d;
      d = c;
      c = b;
      b = b + Rot(a + f + k[i] + w[g], r[i]);
      a = t;
    }
    h_[0] += a, h_[1] += b, h_[2] += c, h_[3] += d;
  }
  uint8_t buffer_[64];
  uint64_t length_ = 0;
  uint32_t h_[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
};

// A8R8G8B8 words -> the manifest's RGBA md5.
inline std::string ArgbMd5(const std::vector<uint32_t>& argb) {
  Md5 md5;
  std::vector<uint8_t> rgba;
  rgba.reserve(argb.size() * 4);
  for (uint32_t p : argb) {
    uint8_t a = uint8_t(p >> 24);
    rgba.push_back(a ? uint8_t(p >> 16) : 0);
    rgba.push_back(a ? uint8_t(p >> 8) : 0);
    rgba.push_back(a ? uint8_t(p) : 0);
    rgba.push_back(a);
  }
  md5.Update(rgba.data(), rgba.size());
  return md5.Hex();
}

}  // namespace image_test
