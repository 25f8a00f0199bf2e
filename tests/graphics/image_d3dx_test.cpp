// The D3DX picture codec against the real sample files: every corpus picture of the formats
// D3DX reads decodes to the manifest's reference pixels (either tool's md5 where the two
// disagree), broken ones fail or decode without harm, and every cut of every file is safe.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/image_md5.h"
#include "platform/d3dx9_image.h"
#include "support/test_support.h"

using testing_support::CorpusPath;
using testing_support::HaveCorpus;
using testing_support::ReadHostFile;

namespace {

struct CorpusImage {
  const char* file;
  D3DXIMAGE_FILEFORMAT format;
  uint32_t width, height;
  bool hasAlpha;
  const char* md5;     // reference pixels
  const char* altMd5;  // the other tool's md5 where they disagree, else null
};

const CorpusImage kImages[] = {
    {"jpeg/hopper.jpg", D3DXIFF_JPG, 128, 128, false, "9ca2b7184ee38acac9046206e42ce0ab", nullptr},
    {"jpeg/hopper_gray.jpg", D3DXIFF_JPG, 128, 128, false, "7870f0dc4019c0548c2237a26c8fd921", nullptr},
    {"jpeg/pil_sample_cmyk.jpg", D3DXIFF_JPG, 100, 100, false, "5aa0376b7f2beb310bda1a0e8dfac1ad", "70ea9fe4abda2c3c0f2622fd63602358"},
    {"jpeg/app13-multiple.jpg", D3DXIFF_JPG, 256, 160, false, "da01ef52ca2d590b9ca38e30bb54c071", nullptr},
    {"jpeg/hopper_orientation_6.jpg", D3DXIFF_JPG, 128, 128, false, "e4eaf8d07aa2e21087aad79c7ca9140c", nullptr},
    {"jpeg/exif-72dpi-int.jpg", D3DXIFF_JPG, 500, 450, false, "69a0c8cefb603dbf1ad0362fe282c8aa", nullptr},
    {"jpeg/hopper_16bit_qtables.jpg", D3DXIFF_JPG, 128, 128, false, "b5bbf3120d9fca8db8cc4a6e0be470cb", nullptr},
    {"png/hopper.png", D3DXIFF_PNG, 128, 128, false, "ace91edc4ebe378d1d0dc41e193d151c", nullptr},
    {"png/pil123rgba.png", D3DXIFF_PNG, 162, 150, true, "dff6b4780b0762443f6b49d0ee4888f3", nullptr},
    {"png/pil123p.png", D3DXIFF_PNG, 162, 150, true, "82237421f1caf8e619ea26dfcad32f1c", nullptr},
    {"png/basi0g16.png", D3DXIFF_PNG, 32, 32, false, "426f6a938b2d681ebe4e32896890c6df", nullptr},
    {"png/tbbn3p08.png", D3DXIFF_PNG, 32, 32, true, "c231570f38680adafa987f10fde2d302", nullptr},
    {"png/l_trns.png", D3DXIFF_PNG, 64, 64, true, "6c91e1604e32072fbbab08de0a9d6a7a", nullptr},
    {"png/basi2c08.png", D3DXIFF_PNG, 32, 32, false, "512c3874e30061e623739e2f9adc4eba", nullptr},
    {"png/rgb_trns.png", D3DXIFF_PNG, 64, 64, true, "df8cd20496ef532743a00613bebb1dd9", nullptr},
    {"bmp/pal1.bmp", D3DXIFF_BMP, 127, 64, false, "7bc3eb66af0141bc671fbbe21e811fa8", nullptr},
    {"bmp/pal4rle.bmp", D3DXIFF_BMP, 127, 64, false, "b567b5fe6c07111cba00797e4c386c4b", "979103388c0a4e8fabdee7e7c4f448c4"},
    {"bmp/pal8.bmp", D3DXIFF_BMP, 127, 64, false, "7d819e50463328e460ffdb06b2b33193", nullptr},
    {"bmp/rgb16-565.bmp", D3DXIFF_BMP, 127, 64, false, "684f137b13d56e51534e112ea0ae6ce4", "ad802ad1c2367f2af00f798e355bb07f"},
    {"bmp/rgb24.bmp", D3DXIFF_BMP, 127, 64, false, "a235eb02732408e29e8d46dea97572a3", nullptr},
    {"bmp/rgb32bf.bmp", D3DXIFF_BMP, 127, 64, false, "a235eb02732408e29e8d46dea97572a3", nullptr},
    {"bmp/rgba32.bmp", D3DXIFF_BMP, 127, 64, true, "b0421780a597b9ced9956f7675d88d20", nullptr},
    // Broken RLE: every decoder fills the undecodable pixels its own way.
    {"bmp/badrle.bmp", D3DXIFF_BMP, 127, 64, false, nullptr, nullptr},
    {"bmp/pal8rle.bmp", D3DXIFF_BMP, 127, 64, false, "7d819e50463328e460ffdb06b2b33193", nullptr},
    {"bmp/rgb16.bmp", D3DXIFF_BMP, 127, 64, false, "686e42650e044e8562bec772b68ad077", "23212c39cef34cc7795bf44840da9e03"},
    {"tga/200x32_rgb_bl_raw.tga", D3DXIFF_TGA, 200, 32, false, "b0920bff8ec0c2519547753a506d67bd", nullptr},
    {"tga/200x32_rgba_tl_rle.tga", D3DXIFF_TGA, 200, 32, true, "cff5d441c009c2a60cfeab30ea3d82b6", nullptr},
    {"tga/200x32_p_bl_rle.tga", D3DXIFF_TGA, 200, 32, false, "d1750fc336e9920cd194dd341008cf7d", nullptr},
    {"tga/200x32_l_bl_raw.tga", D3DXIFF_TGA, 200, 32, false, "58b3321ef8bab9b8eb72f3698989282a", nullptr},
    {"tga/200x32_p_tl_raw.tga", D3DXIFF_TGA, 200, 32, false, "d1750fc336e9920cd194dd341008cf7d", nullptr},
    {"tga/tga_id_field.tga", D3DXIFF_TGA, 100, 100, false, "9b17ef6ceae6d0c1b6a023c1895a034c", nullptr},
    {"dds/dxt1-rgb-4bbp-noalpha_MipMaps-1.dds", D3DXIFF_DDS, 256, 256, false, "3d92100f021a8bfddf21817ad4f17318", nullptr},
    {"dds/dxt3-argb-8bbp-explicitalpha_MipMaps-1.dds", D3DXIFF_DDS, 256, 256, true, "8ede17ce45310c4e7eb4c9a49a6fb7d7", nullptr},
    {"dds/dxt5-argb-8bbp-interpolatedalpha_MipMaps-1.dds", D3DXIFF_DDS, 256, 256, true, "822e9a3f208ea89436ce6c9bb731cbec", nullptr},
    {"dds/uncompressed_l.dds", D3DXIFF_DDS, 128, 128, false, "6d6cd99d9c18785edec83fe9bb5f9a98", nullptr},
    {"dds/hopper.dds", D3DXIFF_DDS, 128, 128, false, "ace91edc4ebe378d1d0dc41e193d151c", nullptr},
    {"dds/argb-32bpp_MipMaps-1.dds", D3DXIFF_DDS, 256, 256, true, "2899365c236bbd3f723746d226cf8137", nullptr},
    {"dds/DXGI_FORMAT_R8G8B8A8_UNORM_SRGB.dds", D3DXIFF_DDS, 16, 16, true, "6e7b2de4f3b07530f64353d09af5012d", nullptr},
    {"dib/clipboard.dib", D3DXIFF_DIB, 296, 176, false, "e8d4df0a6c8497135f72c83e2eaf11f9", "ff897ff8cfc270d8b2e3c905e4c8fd68"},
    {"hdr/image1.hdr", D3DXIFF_HDR, 128, 85, false, "d83eeb1793a0b4470671e31936384c20", nullptr},
    {"hdr/rgbr4x4.hdr", D3DXIFF_HDR, 4, 4, false, "971d43824fb78ab52b362e159eaa585c", nullptr},
    {"hdr/old-rle.hdr", D3DXIFF_HDR, 551, 276, false, nullptr, nullptr},
    // Float values 1..255, so every pixel clamps to white (the ImageMagick reference).
    {"pfm/hopper.pfm", D3DXIFF_PFM, 128, 128, false, "ecb99e6ffea7be1e5419350f725da86b", nullptr},
    {"ppm/hopper.ppm", D3DXIFF_PPM, 128, 128, false, "6096cf73362e9c49b1706a8f228a5102", nullptr},
    {"ppm/hopper_8bit_plain.ppm", D3DXIFF_PPM, 128, 128, false, "ace91edc4ebe378d1d0dc41e193d151c", nullptr},
};

// Broken files: each must fail, or, where noted, may decode (the data is still a picture).
struct BrokenImage {
  const char* file;
  bool mayDecode;
};
const BrokenImage kBroken[] = {
    {"jpeg/truncated_jpeg.jpg", false},
    {"png/truncated_image.png", false},
    {"tga/cross_scan_line_truncated.tga", false},
    {"dds/timeout-c60a3d7314213624607bfb3e38d551a8b24a7435.dds", false},
    {"hdr/timeout-9713502c9c371f1654b493650c16ab17c0444369.hdr", true},
    {"ppm/negative_size.ppm", false},
};

class CorpusImageTest : public ::testing::TestWithParam<CorpusImage> {};

TEST_P(CorpusImageTest, DecodesToReferencePixels) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  const CorpusImage& c = GetParam();
  std::vector<uint8_t> bytes = ReadHostFile(CorpusPath(c.file));
  ASSERT_FALSE(bytes.empty()) << c.file;

  uint32_t w = 0, h = 0;
  bool alpha = false;
  D3DXIMAGE_FILEFORMAT format = D3DXIFF_FORCE_DWORD;
  ASSERT_TRUE(ReadImageInfoFromMemory(bytes.data(), bytes.size(), &w, &h, &alpha, &format));
  EXPECT_EQ(format, c.format);
  EXPECT_EQ(w, c.width);
  EXPECT_EQ(h, c.height);
  EXPECT_EQ(alpha, c.hasAlpha);

  DecodedImage image;
  ASSERT_TRUE(DecodeImageFromMemory(bytes.data(), bytes.size(), &image));
  EXPECT_EQ(image.fileFormat, c.format);
  EXPECT_EQ(image.width, c.width);
  EXPECT_EQ(image.height, c.height);
  ASSERT_EQ(image.argb.size(), size_t(c.width) * c.height);
  EXPECT_EQ(image.hasAlpha, c.hasAlpha);
  if (c.md5) {
    std::string md5 = image_test::ArgbMd5(image.argb);
    if (c.altMd5 && md5 == c.altMd5) return;
    EXPECT_EQ(md5, c.md5) << c.file;
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusImageTest, ::testing::ValuesIn(kImages),
                         [](const ::testing::TestParamInfo<CorpusImage>& info) {
                           return testing_support::TestNameFromPath(info.param.file, true);
                         });

TEST(CorpusBrokenImages, FailOrDecodeSafely) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  for (const BrokenImage& b : kBroken) {
    std::vector<uint8_t> bytes = ReadHostFile(CorpusPath(b.file));
    DecodedImage image;
    bool ok = DecodeImageFromMemory(bytes.data(), bytes.size(), &image);
    if (!b.mayDecode) {
      EXPECT_FALSE(ok) << b.file;
    }
    if (ok) {
      EXPECT_EQ(image.argb.size(), size_t(image.width) * image.height) << b.file;
    } else {
      EXPECT_TRUE(image.argb.empty()) << b.file;
    }
  }
}

// Every file cut at many lengths: each prefix decodes to a consistent picture or fails, and a
// failure leaves the output untouched.
TEST(CorpusTruncatedImages, EveryCutDecodesOrFailsCleanly) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  for (const CorpusImage& c : kImages) {
    std::vector<uint8_t> bytes = ReadHostFile(CorpusPath(c.file));
    size_t step = bytes.size() / 97 + 1;
    for (size_t len = 0; len < bytes.size(); len += (len < 64 ? 1 : step)) {
      std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + len);
      DecodedImage image;
      image.width = 7;
      bool ok = DecodeImageFromMemory(cut.data(), cut.size(), &image);
      if (ok) {
        ASSERT_EQ(image.argb.size(), size_t(image.width) * image.height) << c.file << " " << len;
      } else {
        ASSERT_EQ(image.width, 7u) << c.file << " " << len;
      }
      uint32_t w, h;
      bool alpha;
      D3DXIMAGE_FILEFORMAT format;
      ReadImageInfoFromMemory(cut.data(), cut.size(), &w, &h, &alpha, &format);
    }
  }
}

}  // namespace
