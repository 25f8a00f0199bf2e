// PCX decoding: corpus files against the manifest's pixels, hand-made headers and runs for the
// refusals, and every cut of every corpus file.
#include <gtest/gtest.h>

#include <cstring>

#include "graphics/image_md5.h"
#include "graphics/pcx_image.h"
#include "support/test_support.h"

namespace {

using testing_support::CorpusPath;
using testing_support::HaveCorpus;
using testing_support::ReadHostFile;

std::vector<uint32_t> ToArgb(const sPcxImage& image) {
  std::vector<uint32_t> argb(size_t(image.width) * image.height);
  EXPECT_TRUE(ConvertPcxToArgb(image, reinterpret_cast<uint8_t*>(argb.data()), image.width * 4));
  return argb;
}

struct CorpusCase {
  const char* file;
  const char* error;  // "" when it decodes
  uint32_t width, height;
  const char* md5;
};

const CorpusCase kCorpus[] = {
    {"pcx/1plane8bppCompressed.pcx", "", 10, 10, "186a7986e17ee3e6b03de39cbafe5c80"},
    {"pcx/3plane8bppCompressed.pcx", "", 10, 10, "186a7986e17ee3e6b03de39cbafe5c80"},
    {"pcx/odd_stride.pcx", "", 371, 150, "690e8b5cb247ed03f053ed680777d26f"},
    // 1-bit: entry 0 black, entry 1 white, as Pillow shows it (ImageMagick swaps the two).
    {"pcx/pil184.pcx", "", 447, 144, "6fb55005a5ac08ec891afc96249ed011"},
    {"pcx/ossfuzz-4836216264589312.pcx", "not pcx", 0, 0, nullptr},
};

class PcxCorpus : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(PcxCorpus, DecodesToReferencePixels) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  const CorpusCase& c = GetParam();
  std::vector<uint8_t> bytes = ReadHostFile(CorpusPath(c.file));
  ASSERT_FALSE(bytes.empty());
  sPcxImage image;
  DecodePcx(bytes.data(), bytes.size(), image);
  EXPECT_STREQ(image.error, c.error) << c.file;
  ASSERT_EQ(image.ok, !*c.error);
  if (!image.ok) {
    EXPECT_TRUE(image.pixels.empty());
    return;
  }
  EXPECT_EQ(image.width, c.width);
  EXPECT_EQ(image.height, c.height);
  uint32_t w = 0, h = 0;
  EXPECT_TRUE(GetPcxSizeFromMemory(bytes.data(), bytes.size(), &w, &h));
  EXPECT_EQ(w, c.width);
  EXPECT_EQ(h, c.height);
  EXPECT_EQ(image_test::ArgbMd5(ToArgb(image)), c.md5) << c.file;
}

TEST_P(PcxCorpus, EveryCutDecodesOrFailsCleanly) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  std::vector<uint8_t> bytes = ReadHostFile(CorpusPath(GetParam().file));
  for (size_t len = 0; len < bytes.size(); len += bytes.size() / 97 + 1) {
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + len);
    sPcxImage image;
    DecodePcx(cut.data(), cut.size(), image);
    if (image.ok) {
      EXPECT_EQ(image.pixels.size(), image.dataSize);
      std::vector<uint32_t> argb = ToArgb(image);
    } else {
      EXPECT_TRUE(image.pixels.empty());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, PcxCorpus, ::testing::ValuesIn(kCorpus),
                         [](const ::testing::TestParamInfo<CorpusCase>& info) {
                           return testing_support::TestNameFromPath(info.param.file);
                         });

// A PCX file built in memory: header fields, then the run-length data, then optional bytes.
std::vector<uint8_t> MakePcx(uint8_t bits, uint8_t planes, uint16_t w, uint16_t h,
                             uint16_t bytesPerLine, const std::vector<uint8_t>& data,
                             uint16_t paletteInfo = 1, uint8_t version = 5) {
  std::vector<uint8_t> f(128, 0);
  f[0] = 10;
  f[1] = version;
  f[2] = 1;
  f[3] = bits;
  f[8] = uint8_t(w - 1);
  f[9] = uint8_t((w - 1) >> 8);
  f[10] = uint8_t(h - 1);
  f[11] = uint8_t((h - 1) >> 8);
  for (int i = 0; i < 48; ++i) f[16 + i] = uint8_t(i * 5);  // header palette
  f[65] = planes;
  f[66] = uint8_t(bytesPerLine);
  f[67] = uint8_t(bytesPerLine >> 8);
  f[68] = uint8_t(paletteInfo);
  f.insert(f.end(), data.begin(), data.end());
  return f;
}

void AppendPalette(std::vector<uint8_t>& f) {
  f.push_back(12);
  for (int i = 0; i < 256; ++i) {
    f.push_back(uint8_t(i));
    f.push_back(uint8_t(255 - i));
    f.push_back(uint8_t(i / 2));
  }
}

TEST(PcxDecode, RunsRepeatAndZeroRunsWriteNothing) {
  // 0xC5 0x7F writes five 0x7F; 0xC0 0x33 writes nothing; then two literal bytes; one line of 8.
  std::vector<uint8_t> f = MakePcx(8, 1, 8, 1, 8, {0xC5, 0x7F, 0xC0, 0x33, 0x01, 0x02, 0x03});
  AppendPalette(f);
  sPcxImage image;
  DecodePcx(f.data(), f.size(), image);
  ASSERT_TRUE(image.ok) << image.error;
  std::vector<uint8_t> expected = {0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x01, 0x02, 0x03};
  EXPECT_EQ(image.pixels, expected);
  std::vector<uint32_t> argb = ToArgb(image);
  EXPECT_EQ(argb[0], 0xFF7F8000u | 0x3F);  // palette entry 0x7F = (127, 128, 63)
}

TEST(PcxDecode, Refusals) {
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    const char* error;
  };
  std::vector<uint8_t> overlong = MakePcx(8, 1, 4, 1, 4, {0xC5, 0x11});
  AppendPalette(overlong);
  std::vector<uint8_t> zeroBits = MakePcx(0, 1, 4, 1, 4, {0, 0, 0, 0});
  std::vector<uint8_t> zeroPlanes = MakePcx(8, 0, 4, 1, 4, {0, 0, 0, 0});
  std::vector<uint8_t> noPalette = MakePcx(8, 1, 4, 1, 4, {1, 2, 3, 4});
  std::vector<uint8_t> shortLine = MakePcx(8, 1, 8, 1, 4, {1, 2, 3, 4});
  std::vector<uint8_t> backwards = MakePcx(8, 1, 4, 1, 4, {1, 2, 3, 4});
  backwards[4] = 9;  // xmin 9 > xmax 3
  std::vector<uint8_t> notPcx = MakePcx(8, 1, 4, 1, 4, {1, 2, 3, 4});
  notPcx[0] = 'B';
  std::vector<uint8_t> threeOneBitPlanes = MakePcx(1, 3, 8, 1, 1, {1, 2, 3});
  std::vector<uint8_t> huge = MakePcx(8, 4, 65535, 65535, 65535, {0xC1, 0});
  const Case cases[] = {
      {"run past the buffer", overlong, "bad run"},
      {"0 bits per pixel", zeroBits, "unsupported layout"},
      {"0 planes", zeroPlanes, "not pcx"},
      {"missing 256-colour palette", noPalette, "no palette"},
      {"line shorter than its pixels", shortLine, "short line"},
      {"xmax below xmin", backwards, "not pcx"},
      {"wrong manufacturer", notPcx, "not pcx"},
      {"three 1-bit planes", threeOneBitPlanes, "unsupported layout"},
      {"over 2 GiB of lines", huge, "too large"},
  };
  for (const Case& c : cases) {
    sPcxImage image;
    DecodePcx(c.file.data(), c.file.size(), image);
    EXPECT_FALSE(image.ok) << c.name;
    EXPECT_STREQ(image.error, c.error) << c.name;
    EXPECT_TRUE(image.pixels.empty() && image.palette.empty()) << c.name;
  }
}

TEST(PcxDecode, SizeProbeAnswersFalseForOtherFiles) {
  std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0};
  gif.resize(128);
  uint32_t w = 7, h = 7;
  EXPECT_FALSE(GetPcxSizeFromMemory(gif.data(), gif.size(), &w, &h));
  std::vector<uint8_t> f = MakePcx(8, 1, 300, 20, 300, {});
  EXPECT_TRUE(GetPcxSizeFromMemory(f.data(), f.size(), &w, &h));
  EXPECT_EQ(w, 300u);
  EXPECT_EQ(h, 20u);
}

TEST(PcxDecode, Palettes) {
  // 1 bit: black and white whatever the header palette says.
  std::vector<uint8_t> mono = MakePcx(1, 1, 8, 1, 2, {0xA0, 0x00});
  sPcxImage image;
  DecodePcx(mono.data(), mono.size(), image);
  ASSERT_TRUE(image.ok) << image.error;
  std::vector<uint32_t> argb = ToArgb(image);
  EXPECT_EQ(argb[0], 0xFFFFFFFFu);
  EXPECT_EQ(argb[1], 0xFF000000u);
  EXPECT_EQ(argb[2], 0xFFFFFFFFu);
  // 4 bits in one plane: the header palette (entry i = 15i, 15i + 5, 15i + 10).
  std::vector<uint8_t> nibbles = MakePcx(4, 1, 2, 1, 2, {0x21, 0x00});
  DecodePcx(nibbles.data(), nibbles.size(), image);
  ASSERT_TRUE(image.ok) << image.error;
  argb = ToArgb(image);
  EXPECT_EQ(argb[0], 0xFF1E2328u);
  EXPECT_EQ(argb[1], 0xFF0F1419u);
  // Palette information 2: a grey ramp.
  std::vector<uint8_t> grey = MakePcx(8, 1, 2, 1, 2, {0x00, 0x80}, 2);
  DecodePcx(grey.data(), grey.size(), image);
  ASSERT_TRUE(image.ok) << image.error;
  argb = ToArgb(image);
  EXPECT_EQ(argb[1], 0xFF808080u);
}

TEST(PcxDecode, PlanarSixteenColoursMergeIntoIndices) {
  // Four 1-bit planes of 8 pixels: pixel 0 has bits in planes 0 and 2 (index 5), pixel 7 in
  // plane 3 only (index 8).
  std::vector<uint8_t> f = MakePcx(1, 4, 8, 1, 1, {0x80, 0x00, 0x80, 0x01});
  sPcxImage image;
  DecodePcx(f.data(), f.size(), image);
  ASSERT_TRUE(image.ok) << image.error;
  EXPECT_EQ(image.bitsPerPixel, 4u);
  std::vector<uint32_t> argb = ToArgb(image);
  EXPECT_EQ(argb[0], 0xFF4B5055u);  // header entry 5
  EXPECT_EQ(argb[7], 0xFF787D82u);  // header entry 8
  EXPECT_EQ(argb[1], 0xFF00050Au);  // header entry 0
}

TEST(PcxDecode, ColourPlanesBecomeBgrPixels) {
  // Three planes of 2 pixels, line padded to 4 bytes per plane.
  std::vector<uint8_t> f = MakePcx(8, 3, 2, 1, 4, {1, 2, 0, 0, 3, 4, 0, 0, 5, 6, 0, 0});
  sPcxImage image;
  DecodePcx(f.data(), f.size(), image);
  ASSERT_TRUE(image.ok) << image.error;
  std::vector<uint32_t> argb = ToArgb(image);
  EXPECT_EQ(argb[0], 0xFF010305u);
  EXPECT_EQ(argb[1], 0xFF020406u);
}

}  // namespace

namespace {

TEST(PcxFiles, LoadAndProbeByProgramPath) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  std::string path = testing_support::ToProgramPath(CorpusPath("pcx/odd_stride.pcx"));
  sPcxImage image;
  LoadPcxFile(path.c_str(), image);
  ASSERT_TRUE(image.ok) << image.error;
  EXPECT_EQ(image_test::ArgbMd5(ToArgb(image)), "690e8b5cb247ed03f053ed680777d26f");
  uint32_t w = 0, h = 0;
  EXPECT_TRUE(GetPcxSize(path.c_str(), &w, &h));
  EXPECT_EQ(w, 371u);
  EXPECT_EQ(h, 150u);
  LoadPcxFile(nullptr, image);
  EXPECT_FALSE(image.ok);
  EXPECT_FALSE(GetPcxSize("\\no\\such\\file.pcx", &w, &h));
}

}  // namespace
