// The D3DX picture codec on hand-made data: saving in all nine formats and reading back,
// detection by content, hostile headers, and the triangle resampler.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/d3dx9_image.h"

namespace {

std::vector<uint32_t> TestPattern(uint32_t w, uint32_t h) {
  std::vector<uint32_t> p(size_t(w) * h);
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      uint32_t a = (x + y) % 3 == 0 ? 0x80 : 0xFF;
      // Smooth ramps, so that JPEG's error stays small.
      p[size_t(y) * w + x] = a << 24 | (x * 6) << 16 | (y * 10) << 8 | (x + y) * 4;
    }
  }
  return p;
}

struct RoundTrip {
  D3DXIMAGE_FILEFORMAT format;
  D3DXIMAGE_FILEFORMAT readBackAs;
  bool keepsAlpha;
  int tolerance;  // per channel
};

const RoundTrip kRoundTrips[] = {
    {D3DXIFF_BMP, D3DXIFF_BMP, false, 0}, {D3DXIFF_JPG, D3DXIFF_JPG, false, 12},
    {D3DXIFF_TGA, D3DXIFF_TGA, true, 0},  {D3DXIFF_PNG, D3DXIFF_PNG, true, 0},
    {D3DXIFF_DDS, D3DXIFF_DDS, true, 0},  {D3DXIFF_PPM, D3DXIFF_PPM, false, 0},
    {D3DXIFF_DIB, D3DXIFF_DIB, false, 0}, {D3DXIFF_HDR, D3DXIFF_HDR, false, 2},
    {D3DXIFF_PFM, D3DXIFF_PFM, false, 1},
};

int ChannelDiff(uint32_t a, uint32_t b, int shift) {
  return std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
}

TEST(ImageCodec, EveryFormatSavesAndReadsBack) {
  const uint32_t w = 37, h = 23;
  std::vector<uint32_t> src = TestPattern(w, h);
  // A pitch wider than the row, as a locked surface has.
  size_t pitch = (w + 5) * 4;
  std::vector<uint32_t> surface((w + 5) * h, 0xDEADBEEF);
  for (uint32_t y = 0; y < h; ++y) std::memcpy(&surface[y * (w + 5)], &src[y * w], w * 4);
  for (const RoundTrip& rt : kRoundTrips) {
    SCOPED_TRACE(int(rt.format));
    std::vector<uint8_t> file;
    ASSERT_TRUE(EncodeImageToMemory(rt.format, w, h, surface.data(), pitch, &file));
    D3DXIMAGE_FILEFORMAT detected;
    ASSERT_TRUE(DetectImageFormat(file.data(), file.size(), &detected));
    EXPECT_EQ(detected, rt.readBackAs);
    DecodedImage back;
    ASSERT_TRUE(DecodeImageFromMemory(file.data(), file.size(), &back));
    ASSERT_EQ(back.width, w);
    ASSERT_EQ(back.height, h);
    int worst = 0;
    for (size_t i = 0; i < src.size(); ++i) {
      for (int shift : {0, 8, 16}) worst = std::max(worst, ChannelDiff(src[i], back.argb[i], shift));
      uint32_t alpha = back.argb[i] >> 24;
      EXPECT_EQ(alpha, rt.keepsAlpha ? src[i] >> 24 : 0xFFu) << i;
    }
    EXPECT_LE(worst, rt.tolerance);
  }
}

TEST(ImageCodec, EncodeRefusesBadArguments) {
  std::vector<uint32_t> px(4, 0xFF000000u);
  std::vector<uint8_t> out{1, 2, 3};
  EXPECT_FALSE(EncodeImageToMemory(D3DXIFF_PNG, 0, 2, px.data(), 8, &out));
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(EncodeImageToMemory(D3DXIFF_PNG, 2, 2, nullptr, 8, &out));
  EXPECT_FALSE(EncodeImageToMemory(D3DXIFF_PNG, 2, 2, px.data(), 4, &out));  // pitch < row
  EXPECT_FALSE(EncodeImageToMemory(D3DXIMAGE_FILEFORMAT(42), 2, 2, px.data(), 8, &out));
}

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// Headers that declare more than the data holds, absurd sizes and garbage: each fails before
// allocating and leaves the output alone.
TEST(ImageCodec, HostileHeadersFailCleanly) {
  std::vector<std::vector<uint8_t>> cases = {
      Bytes("P6\n100000 100000\n255\n"),           // 10^10 texels
      Bytes("P6\n4 4\n255\n\x01\x02"),               // short binary data
      Bytes("P3\n2 1\n255\n1 2 3 4 5 300\n"),        // sample above maxval
      Bytes("P3\n2 1\n255\n1 2 3\n"),                 // missing samples
      Bytes("P5\n-3 4\n255\n"),                       // negative size
      Bytes("PF\n2 2\n0.0\n"),                        // scale 0
      Bytes("Pf\n3 3\n-1.0\n\x00\x00\x80\x3f"),        // short float data
      Bytes("#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 30000 +X 30000\n\x02\x02\x75\x30"),
      Bytes("#?RADIANCE\nFORMAT=32-bit_rle_xyze\n\n-Y 1 +X 1\n\x80\x80\x80\x80"),
      Bytes("BM"),
      Bytes("DDS \x7c"),
  };
  // A DDS declaring 65536 x 65536 DXT1 with no blocks.
  std::vector<uint8_t> dds(128, 0);
  std::memcpy(dds.data(), "DDS \x7c\0\0\0", 8);
  dds[12 + 2] = 1, dds[16 + 2] = 1;  // height, width 65536
  dds[80] = 4;                        // FOURCC
  std::memcpy(&dds[84], "DXT1", 4);
  cases.push_back(dds);
  // A bitmap whose pixel data is cut short.
  std::vector<uint8_t> bmp;
  std::vector<uint32_t> px(64 * 64, 0xFF336699u);
  ASSERT_TRUE(EncodeImageToMemory(D3DXIFF_BMP, 64, 64, px.data(), 256, &bmp));
  bmp.resize(bmp.size() / 2);
  cases.push_back(bmp);
  for (size_t i = 0; i < cases.size(); ++i) {
    DecodedImage image;
    image.width = 99;
    EXPECT_FALSE(DecodeImageFromMemory(cases[i].data(), cases[i].size(), &image)) << i;
    EXPECT_EQ(image.width, 99u) << i;
  }
}

// A hostile mask may span all 32 bits: its full value must still widen to 255, not wrap.
TEST(ImageCodec, FullWidthBitfieldMaskWidensWithoutOverflow) {
  std::vector<uint8_t> bmp(70, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bmp[at + i] = uint8_t(v >> (8 * i));
  };
  bmp[0] = 'B', bmp[1] = 'M';
  put32(2, 70);
  put32(10, 66);  // pixels after the 40-byte header and three masks
  put32(14, 40);
  put32(18, 1);   // width
  put32(22, 1);   // height
  bmp[26] = 1;    // planes
  bmp[28] = 32;   // bits per pixel
  put32(30, 3);   // BI_BITFIELDS
  put32(54, 0xFFFFFFFFu);  // red
  put32(58, 0x0000FF00u);  // green
  put32(62, 0x000000FFu);  // blue
  put32(66, 0xFFFFFFFFu);
  DecodedImage image;
  ASSERT_TRUE(DecodeImageFromMemory(bmp.data(), bmp.size(), &image));
  ASSERT_EQ(image.argb.size(), 1u);
  EXPECT_EQ(image.argb[0], 0xFFFFFFFFu);
}

TEST(ImageCodec, AsciiPortableMapsAndBitmaps) {
  struct Case {
    std::string text;
    std::vector<uint32_t> pixels;
  } cases[] = {
      {"P1\n# comment\n3 1\n010", {0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF}},
      {"P2\n2 1\n15\n0 15\n", {0xFF000000, 0xFFFFFFFF}},
      {"P3 1 1 65535 65535 0 32768\n", {0xFFFF0080}},
      {std::string("P4\n9 1\n\x80\x80", 9), {0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
                                           0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
                                           0xFF000000}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = Bytes(c.text);
    DecodedImage image;
    ASSERT_TRUE(DecodeImageFromMemory(bytes.data(), bytes.size(), &image)) << c.text;
    EXPECT_EQ(image.fileFormat, D3DXIFF_PPM);
    EXPECT_EQ(image.argb, c.pixels) << c.text;
  }
}

TEST(ImageCodec, PfmRowsRunBottomUpAndClamp) {
  std::string text = "Pf\n1 2\n-1.0\n";
  float values[2] = {0.5f, 7.0f};  // bottom row first
  std::vector<uint8_t> bytes = Bytes(text);
  const uint8_t* p = reinterpret_cast<const uint8_t*>(values);
  bytes.insert(bytes.end(), p, p + 8);
  DecodedImage image;
  ASSERT_TRUE(DecodeImageFromMemory(bytes.data(), bytes.size(), &image));
  ASSERT_EQ(image.argb.size(), 2u);
  EXPECT_EQ(image.argb[0], 0xFFFFFFFFu);
  EXPECT_EQ(image.argb[1], 0xFF7F7F7Fu);
}

TEST(ImageCodec, TriangleResampleKeepsFlatColourAndCorners) {
  std::vector<uint32_t> flat(300 * 200, 0xFF204080u);
  std::vector<uint32_t> out(512 * 256);
  ResampleImageTriangle(flat.data(), 300, 200, out.data(), 512, 256);
  for (uint32_t p : out) ASSERT_EQ(p, 0xFF204080u);
  // Shrinking a 2-column black/white image to one column averages it.
  std::vector<uint32_t> two = {0xFF000000u, 0xFFFFFFFFu};
  uint32_t one = 0;
  ResampleImageTriangle(two.data(), 2, 1, &one, 1, 1);
  EXPECT_NEAR(int(one & 0xFF), 128, 1);
  EXPECT_EQ(NextPowerOfTwo(300), 512u);
  EXPECT_EQ(NextPowerOfTwo(256), 256u);
  EXPECT_EQ(NextPowerOfTwo(1), 1u);
}

}  // namespace

namespace {

std::vector<uint8_t> TgaFile(uint8_t type, uint8_t bpp, uint8_t descriptor, uint16_t w, uint16_t h,
                             std::vector<uint8_t> body, std::vector<uint8_t> map = {},
                             uint8_t mapBits = 0) {
  uint16_t mapLength = mapBits ? uint16_t(map.size() / ((mapBits + 7) / 8)) : 0;
  std::vector<uint8_t> f = {0, uint8_t(mapBits ? 1 : 0), type, 0, 0, uint8_t(mapLength),
                            uint8_t(mapLength >> 8), mapBits, 0, 0, 0, 0, uint8_t(w),
                            uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8), bpp, descriptor};
  f.insert(f.end(), map.begin(), map.end());
  f.insert(f.end(), body.begin(), body.end());
  return f;
}

TEST(ImageCodec, TgaLayouts) {
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    std::vector<uint32_t> pixels;  // rows top first
  } cases[] = {
      // 2 x 2 bottom-up BGR: the first stored row is the bottom one.
      {"bottom-up", TgaFile(2, 24, 0, 2, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}),
       {0xFF090807, 0xFF0C0B0A, 0xFF030201, 0xFF060504}},
      {"right-to-left top-down", TgaFile(2, 24, 0x30, 2, 1, {1, 2, 3, 4, 5, 6}),
       {0xFF060504, 0xFF030201}},
      {"16-bit 5-5-5", TgaFile(2, 16, 0x20, 2, 1, {0x00, 0x7C, 0x1F, 0x00}),
       {0xFFFF0000, 0xFF0000FF}},
      {"grey + alpha", TgaFile(3, 16, 0x28, 1, 1, {0x40, 0x80}), {0x80404040}},
      // RLE run of 3 crossing from row 0 into row 1, then one raw pixel.
      {"RLE across rows", TgaFile(10, 24, 0x20, 2, 2, {0x82, 1, 2, 3, 0x00, 9, 9, 9}),
       {0xFF030201, 0xFF030201, 0xFF030201, 0xFF090909}},
      {"colour map", TgaFile(1, 8, 0x20, 2, 1, {1, 0}, {0, 0, 255, 0, 255, 0}, 24),
       {0xFF00FF00, 0xFFFF0000}},
  };
  for (const Case& c : cases) {
    DecodedImage image;
    ASSERT_TRUE(DecodeImageFromMemory(c.file.data(), c.file.size(), &image)) << c.what;
    EXPECT_EQ(image.fileFormat, D3DXIFF_TGA) << c.what;
    EXPECT_EQ(image.argb, c.pixels) << c.what;
  }
  // Truncated data fails, in raw and RLE files alike.
  std::vector<uint8_t> raw = TgaFile(2, 24, 0, 2, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
  std::vector<uint8_t> rle = TgaFile(10, 24, 0x20, 2, 2, {0x82, 1, 2, 3, 0x00, 9, 9});
  DecodedImage image;
  EXPECT_FALSE(DecodeImageFromMemory(raw.data(), raw.size(), &image));
  EXPECT_FALSE(DecodeImageFromMemory(rle.data(), rle.size(), &image));
}

}  // namespace
