// WBMP decoding: the corpus file against its reference pixels, header edge cases, and the
// damaged-file rules (short rows, long or cut integers, oversized declared sizes).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/image_md5.h"
#include "graphics/wbmp_image.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

std::vector<uint32_t> ToArgb(const sWbmpImage& img) {
  std::vector<uint32_t> px;
  for (uint32_t y = 0; y < img.height; ++y) {
    for (uint32_t x = 0; x < img.width; ++x) {
      bool white = (img.pixels[size_t(y) * img.rowBytes + x / 8] >> (7 - x % 8)) & 1;
      px.push_back(white ? 0xFFFFFFFFu : 0xFF000000u);
    }
  }
  return px;
}

TEST(WbmpCorpus, DecodesToReferencePixels) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  std::string path = CorpusPath("wbmp/sample_640x426.wbmp");
  sWbmpImage img;
  ASSERT_TRUE(LoadWbmpFile(ToProgramPath(path).c_str(), img));
  EXPECT_EQ(img.width, 640u);
  EXPECT_EQ(img.height, 426u);
  EXPECT_EQ(img.rowBytes, 80u);
  EXPECT_EQ(img.dataSize, 80u * 426u);
  EXPECT_EQ(image_test::ArgbMd5(ToArgb(img)), "dcf212008475b29b6c439783c4805597");
  uint32_t w = 0, h = 0;
  EXPECT_TRUE(GetWbmpSize(ToProgramPath(path).c_str(), &w, &h));
  EXPECT_EQ(w, 640u);
  EXPECT_EQ(h, 426u);
  FreeWbmpImage(img);
  EXPECT_TRUE(img.pixels.empty());
}

TEST(WbmpCorpus, EveryCutFailsCleanly) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  std::vector<uint8_t> bytes = ReadHostFile(CorpusPath("wbmp/sample_640x426.wbmp"));
  for (size_t len = 0; len < bytes.size(); len += (len < 32 ? 1 : 97)) {
    sWbmpImage img;
    EXPECT_FALSE(LoadWbmpFromMemory(bytes.data(), len, img)) << len;
    EXPECT_TRUE(img.pixels.empty());
  }
}

TEST(WbmpDecoder, HeaderAndPalette) {
  // 00 00 81 00 40: 128 x 64, 16 bytes a row.
  std::vector<uint8_t> file{0x00, 0x00, 0x81, 0x00, 0x40};
  file.resize(5 + 16 * 64, 0xAA);
  sWbmpImage img;
  ASSERT_TRUE(LoadWbmpFromMemory(file.data(), file.size(), img));
  EXPECT_EQ(img.width, 128u);
  EXPECT_EQ(img.height, 64u);
  EXPECT_EQ(img.rowBytes, 16u);
  std::vector<uint8_t> palette{0, 0, 0, 0, 255, 255, 255, 0};
  EXPECT_EQ(img.palette, palette);
  // Width 9: two bytes a row.
  std::vector<uint8_t> nine{0x00, 0x00, 0x09, 0x02, 0xFF, 0x80, 0x00, 0x00};
  ASSERT_TRUE(LoadWbmpFromMemory(nine.data(), nine.size(), img));
  EXPECT_EQ(img.rowBytes, 2u);
  EXPECT_EQ(img.dataSize, 4u);
}

TEST(WbmpDecoder, DamagedFilesFail) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"type 1", {0x01, 0x00, 0x01, 0x01, 0xFF}},
      {"zero width", {0x00, 0x00, 0x00, 0x01, 0xFF}},
      {"short rows", {0x00, 0x00, 0x10, 0x02, 0xFF, 0xFF, 0xFF}},
      {"integer cut short", {0x00, 0x00, 0x81}},
      {"six groups", {0x00, 0x00, 0x81, 0x80, 0x80, 0x80, 0x80, 0x01, 0x01, 0xFF}},
      {"above 32 bits", {0x00, 0x00, 0x9F, 0xFF, 0xFF, 0xFF, 0x7F, 0x01, 0xFF}},
      // 0xFFFFFFFF x 0xFFFFFFFF: the product overflows 32 bits and must not wrap to a small size.
      {"huge", {0x00, 0x00, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF}},
      // 65536 x 65537: 2^32 + 65536 pixels, wraps to 65536 in 32 bits.
      {"wrapping", {0x00, 0x00, 0x84, 0x80, 0x00, 0x84, 0x80, 0x01, 0xFF}},
  };
  for (const Case& c : cases) {
    sWbmpImage img;
    EXPECT_FALSE(LoadWbmpFromMemory(c.bytes.data(), c.bytes.size(), img)) << c.what;
    EXPECT_FALSE(img.ok) << c.what;
    EXPECT_TRUE(img.pixels.empty()) << c.what;
  }
  uint32_t w = 5, h = 5;
  std::vector<uint8_t> six{0x00, 0x00, 0x81, 0x80, 0x80, 0x80, 0x80, 0x01, 0x01};
  EXPECT_FALSE(GetWbmpSizeFromMemory(six.data(), six.size(), &w, &h));
  EXPECT_EQ(w, 0u);
  EXPECT_FALSE(GetWbmpSize("\\no\\such.wbmp", &w, &h));
}

}  // namespace
