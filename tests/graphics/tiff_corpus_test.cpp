// Every TIFF of the sample corpus decodes to the manifest's reference pixels, and every cut of
// it decodes or fails cleanly.
#include <gtest/gtest.h>

#include <algorithm>

#include "graphics/image_md5.h"
#include "graphics/tiff_image.h"
#include "support/test_support.h"

namespace {

using testing_support::CorpusPath;
using testing_support::HaveCorpus;
using testing_support::ReadHostFile;

struct CorpusCase {
  const char* file;
  bool decodes;
  uint32_t width, height;
  const char* md5;  // manifest rgba_md5 (both tools agree on every valid file here)
  bool straightAlpha = false;  // the tools divide associated alpha out of the colours
};

// The raster keeps associated alpha premultiplied; the reference tools give straight colours
// (c x 255 / a, rounded down).
std::vector<uint32_t> Unpremultiply(std::vector<uint32_t> argb) {
  for (uint32_t& p : argb) {
    uint32_t a = p >> 24;
    if (a == 0 || a == 255) continue;
    auto channel = [&](int shift) { return std::min<uint32_t>(((p >> shift) & 255) * 255 / a, 255); };
    p = a << 24 | channel(16) << 16 | channel(8) << 8 | channel(0);
  }
  return argb;
}

const CorpusCase kCases[] = {
    {"tiff/hopper.tif", true, 128, 128, "ace91edc4ebe378d1d0dc41e193d151c"},
    {"tiff/hopper_lzw.tif", true, 128, 128, "ace91edc4ebe378d1d0dc41e193d151c"},
    {"tiff/hpredict_packbits.tiff", true, 32, 32, "bcb3f05a6c2305f5e74864bf0a0167ca", true},
    {"tiff/IndexColorPalette.tif", true, 252, 265, "db55ed43328c41f4e15d864d9d138c06"},
    {"tiff/hopper4.tif", true, 128, 128, "db261d4875daa23d22fcbddc5d1f81f9"},
    {"tiff/16bit.cropped.tif", true, 64, 64, "af040f0a3351feaf95338003c2f3193d"},
    {"tiff/multipage.tiff", true, 10, 10, "849e61aeb3c0d75b4d6677ca5862cd05"},
    {"tiff/copyleft.tiff", true, 220, 220, "091958d1698a6b54a59dc5677129d1ae"},
    {"tiff/hopper2.tif", true, 128, 128, "e19baf1c378b6852bff0f8e911c8378c"},
    {"tiff/l1.tiff", true, 100, 100, "3900ef16bed2eb304990437bb3d97379"},
    // A fuzzer's file: Group 4 whose second BitsPerSample entry says 2 bits.
    {"tiff/crash-0da013a13571cc8eb457a39fee8db18f8a3c7127.tif", false, 218, 84, nullptr},
};

class TiffCorpus : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(TiffCorpus, DecodesToReferencePixels) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  const CorpusCase& c = GetParam();
  std::vector<uint8_t> bytes = ReadHostFile(CorpusPath(c.file));
  ASSERT_FALSE(bytes.empty()) << c.file;
  cTiffImage image;
  bool ok = image.LoadFromMemory(bytes.data(), bytes.size());
  ASSERT_EQ(ok, c.decodes) << c.file << ": " << image.error();
  uint32_t w = 0, h = 0;
  EXPECT_TRUE(GetTiffSizeFromMemory(bytes.data(), bytes.size(), &w, &h));
  EXPECT_EQ(w, c.width);
  EXPECT_EQ(h, c.height);
  if (!ok) return;
  EXPECT_EQ(image.width, c.width);
  EXPECT_EQ(image.height, c.height);
  if (c.md5) {
    std::vector<uint32_t> pixels = c.straightAlpha ? Unpremultiply(image.raster) : image.raster;
    EXPECT_EQ(image_test::ArgbMd5(pixels), c.md5) << c.file;
  }
}

TEST_P(TiffCorpus, EveryCutDecodesOrFailsCleanly) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  std::vector<uint8_t> bytes = ReadHostFile(CorpusPath(GetParam().file));
  size_t step = bytes.size() / 97 + 1;
  for (size_t len = 0; len < bytes.size(); len += step) {
    // A copy of exactly len bytes, so a read past the cut is a heap overflow under ASan.
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + len);
    cTiffImage image;
    if (image.LoadFromMemory(cut.data(), cut.size())) {
      EXPECT_EQ(image.raster.size(), size_t(image.width) * image.height);
    } else {
      EXPECT_TRUE(image.raster.empty());
      EXPECT_STRNE(image.error(), "");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, TiffCorpus, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<CorpusCase>& info) {
                           return testing_support::TestNameFromPath(info.param.file);
                         });

}  // namespace

namespace {

// The file-name entry points read through the program's paths and agree with the memory ones.
TEST(TiffFiles, LoadAndProbeByProgramPath) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  std::string path = testing_support::ToProgramPath(CorpusPath("tiff/hopper_lzw.tif"));
  cTiffImage image;
  ASSERT_TRUE(image.Load(path.c_str())) << image.error();
  EXPECT_EQ(image_test::ArgbMd5(image.raster), "ace91edc4ebe378d1d0dc41e193d151c");
  uint32_t w = 0, h = 0;
  EXPECT_TRUE(GetTiffSize(path.c_str(), &w, &h));
  EXPECT_EQ(w, 128u);
  EXPECT_EQ(h, 128u);
  EXPECT_FALSE(image.Load(nullptr));
  EXPECT_FALSE(image.Load(""));
  EXPECT_FALSE(image.Load("\\no\\such\\file.tif"));
  EXPECT_TRUE(image.raster.empty());
  EXPECT_FALSE(GetTiffSize("\\no\\such\\file.tif", &w, &h));
  EXPECT_EQ(w + h, 0u);
}

}  // namespace
