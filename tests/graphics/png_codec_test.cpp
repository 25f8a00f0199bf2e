// PNG reading and writing through libpng: corpus PNGs to reference pixels, the 16-bit and
// tRNS rules, saving 24/32-bit DIB pixels and reading them back, and cut files.

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

#include "graphics/image_md5.h"
#include "graphics/png_codec.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

std::vector<uint32_t> RgbaToArgb(const sPngImage& img) {
  std::vector<uint32_t> px(size_t(img.width) * img.height);
  for (size_t i = 0; i < px.size(); ++i) {
    const uint8_t* p = &img.pixels[i * 4];
    px[i] = uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
  }
  return px;
}

struct CorpusPng {
  const char* file;
  uint32_t width, height;
  const char* md5;
};
const CorpusPng kCorpus[] = {
    {"png/hopper.png", 128, 128, "ace91edc4ebe378d1d0dc41e193d151c"},
    {"png/pil123rgba.png", 162, 150, "dff6b4780b0762443f6b49d0ee4888f3"},
    {"png/pil123p.png", 162, 150, "82237421f1caf8e619ea26dfcad32f1c"},
    {"png/tbbn3p08.png", 32, 32, "c231570f38680adafa987f10fde2d302"},
    {"png/l_trns.png", 64, 64, "6c91e1604e32072fbbab08de0a9d6a7a"},
    {"png/basi2c08.png", 32, 32, "512c3874e30061e623739e2f9adc4eba"},
    {"png/rgb_trns.png", 64, 64, "df8cd20496ef532743a00613bebb1dd9"},
    // 16-bit grey: high bytes here, so not the reference's v / 257.
    {"png/basi0g16.png", 32, 32, nullptr},
};

TEST(PngCorpus, DecodesToReferencePixels) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  for (const CorpusPng& c : kCorpus) {
    SCOPED_TRACE(c.file);
    std::vector<uint8_t> bytes = ReadHostFile(CorpusPath(c.file));
    sPngImage img;
    ASSERT_TRUE(ReadPngFromMemory(img, bytes.data(), bytes.size()));
    EXPECT_EQ(img.width, c.width);
    EXPECT_EQ(img.height, c.height);
    EXPECT_EQ(img.bitsPerPixel, 32u);
    EXPECT_EQ(img.dataSize, c.width * c.height * 4);
    if (c.md5) {
      EXPECT_EQ(image_test::ArgbMd5(RgbaToArgb(img)), c.md5);
    }
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(GetPngSize(ToProgramPath(CorpusPath(c.file)).c_str(), &w, &h));
    EXPECT_EQ(w, c.width);
  }
  std::vector<uint8_t> truncated = ReadHostFile(CorpusPath("png/truncated_image.png"));
  sPngImage img;
  EXPECT_FALSE(ReadPngFromMemory(img, truncated.data(), truncated.size()));
}

TEST(PngCorpus, EveryCutFailsCleanly) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  for (const CorpusPng& c : kCorpus) {
    std::vector<uint8_t> bytes = ReadHostFile(CorpusPath(c.file));
    size_t step = bytes.size() / 100 + 1;
    for (size_t len = 0; len < bytes.size(); len += (len < 64 ? 1 : step)) {
      sPngImage img;
      // IEND and the end of IDAT are what is lost: every cut must fail.
      ASSERT_FALSE(ReadPngFromMemory(img, bytes.data(), len)) << c.file << " " << len;
      EXPECT_TRUE(img.pixels.empty());
    }
  }
}

TEST(PngCorpus, ReadsFromAnOpenFile) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  FILE* f = crt::fopen(ToProgramPath(CorpusPath("png/hopper.png")).c_str(), "rb");
  ASSERT_NE(f, nullptr);
  sPngImage img;
  EXPECT_TRUE(ReadPngFromFile(img, f));
  std::fclose(f);
  EXPECT_EQ(img.width, 128u);
}

// A 16-bit RGB PNG with chosen samples, written with libpng.
std::vector<uint8_t> SixteenBitPng(const std::vector<uint16_t>& samples, uint32_t w) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep d, png_size_t n) {
        auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
        v->insert(v->end(), d, d + n);
      },
      [](png_structp) {});
  png_set_IHDR(png, info, w, 1, 16, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<uint8_t> row;
  for (uint16_t s : samples) row.push_back(uint8_t(s >> 8)), row.push_back(uint8_t(s));
  png_write_row(png, row.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

TEST(PngReading, SixteenBitSamplesKeepTheirHighByte) {
  std::vector<uint8_t> file = SixteenBitPng({0x0100, 0xFFFF, 0x80FF, 0x00FF, 0x1234, 0xABCD}, 2);
  sPngImage img;
  ASSERT_TRUE(ReadPngFromMemory(img, file.data(), file.size()));
  std::vector<uint8_t> expect{0x01, 0xFF, 0x80, 0xFF, 0x00, 0x12, 0xAB, 0xFF};
  EXPECT_EQ(img.pixels, expect);
}

TEST(PngWriting, DibPixelsRoundTrip) {
  const uint32_t w = 5, h = 3;
  for (int bits : {24, 32}) {
    SCOPED_TRACE(bits);
    int channels = bits / 8;
    size_t pitch = w * channels + 3;  // rows wider than the pixels
    std::vector<uint8_t> dib(pitch * h, 0xEE);
    for (uint32_t y = 0; y < h; ++y) {
      for (uint32_t x = 0; x < w; ++x) {
        uint8_t* p = &dib[y * pitch + x * channels];
        p[0] = uint8_t(x * 40), p[1] = uint8_t(y * 80), p[2] = uint8_t(x + y);  // B, G, R
        if (channels == 4) p[3] = uint8_t(x * 60);
      }
    }
    BITMAPINFOHEADER header{};
    header.biSize = 40;
    header.biWidth = w;
    header.biHeight = h;
    header.biBitCount = uint16_t(bits);
    std::vector<uint8_t> png;
    ASSERT_TRUE(EncodePngFromDib(&header, dib.data(), pitch, &png));
    EXPECT_EQ(png[25], channels == 4 ? 6 : 2);  // IHDR colour type
    sPngImage img;
    ASSERT_TRUE(ReadPngFromMemory(img, png.data(), png.size()));
    for (uint32_t y = 0; y < h; ++y) {
      for (uint32_t x = 0; x < w; ++x) {
        const uint8_t* q = &img.pixels[(y * w + x) * 4];
        const uint8_t* p = &dib[y * pitch + x * channels];
        EXPECT_EQ(q[0], p[2]);
        EXPECT_EQ(q[1], p[1]);
        EXPECT_EQ(q[2], p[0]);
        EXPECT_EQ(q[3], channels == 4 ? p[3] : 255);
      }
    }
  }
}

TEST(PngWriting, SavesToAFileAndRefusesBadInput) {
  std::string folder = MakeTempFolder("png_codec");
  std::string path = ToProgramPath(folder + "/out.png");
  std::vector<uint8_t> dib(4 * 4 * 3, 0x7F);
  BITMAPINFOHEADER header{};
  header.biWidth = 4;
  header.biHeight = 4;
  header.biBitCount = 24;
  ASSERT_TRUE(SavePngFromDib(path.c_str(), &header, dib.data(), 12));
  uint32_t w = 0, h = 0;
  EXPECT_TRUE(GetPngSize(path.c_str(), &w, &h));
  EXPECT_EQ(w, 4u);
  header.biBitCount = 16;
  std::string refused = ToProgramPath(folder + "/refused.png");
  EXPECT_FALSE(SavePngFromDib(refused.c_str(), &header, dib.data(), 12));
  FILE* f = crt::fopen(refused.c_str(), "rb");
  EXPECT_EQ(f, nullptr);
  if (f) std::fclose(f);
  header.biBitCount = 24;
  EXPECT_FALSE(SavePngFromDib(path.c_str(), nullptr, dib.data(), 12));
  EXPECT_FALSE(SavePngFromDib(path.c_str(), &header, nullptr, 12));
  EXPECT_FALSE(SavePngFromDib(path.c_str(), &header, dib.data(), 11));  // pitch < row
}

}  // namespace
