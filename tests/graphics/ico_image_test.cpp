// ICO/CUR decoding: corpus files against reference pixels, the choice of entry, hand-made
// entries for the mask, the palette and the refusals, and every cut of every corpus file.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "graphics/ico_image.h"
#include "graphics/image_md5.h"
#include "support/test_support.h"

namespace {

using testing_support::CorpusPath;
using testing_support::HaveCorpus;
using testing_support::ReadHostFile;

std::vector<uint32_t> ToArgb(const sIconImage& image, bool* hasAlpha = nullptr) {
  std::vector<uint32_t> argb(size_t(image.width) * image.height);
  bool alpha = false;
  EXPECT_TRUE(ConvertIconToArgb(image, reinterpret_cast<uint8_t*>(argb.data()), image.width * 4,
                                &alpha));
  if (hasAlpha) *hasAlpha = alpha;
  return argb;
}

struct CorpusCase {
  const char* file;
  int entry;          // -1: the entry the viewer chooses
  const char* error;  // "" when it decodes
  uint32_t width, height;
  const char* md5;
};

const CorpusCase kCorpus[] = {
    // The viewer shows the 48-pixel entry (reference: ImageMagick's decoding of entry 2); the
    // manifest's md5 is of the first entry.
    {"ico/python.ico", -1, "", 48, 48, "cc83ce4811546183b34aba47c2fd47f5"},
    {"ico/python.ico", 0, "", 16, 16, "d5ebfcd830afa2de1eb12f1dfc76734a"},
    {"ico/bmp-24bpp-mask.ico", -1, "", 32, 32, "a6dc8c2e89079442a1924bba2de9ca35"},
    {"ico/bmp-32bpp-alpha.ico", -1, "", 32, 32, "a6dc8c2e89079442a1924bba2de9ca35"},
    // A 256-pixel bitmap entry (size bytes 0) is a bitmap, not PNG.
    {"ico/hopper_256x256.ico", -1, "", 256, 256, "bcee9d820fa65dc39575e3f719176d92"},
    {"ico/png-32bpp-alpha.ico", -1, "", 32, 32, "a6dc8c2e89079442a1924bba2de9ca35"},
    {"ico/png_rgb8.ico", -1, "", 32, 32, "f24019254e23ecbdbb91448149dfeebc"},
    // Its bitmap needs 744 bytes; the entry says 372 and the file holds 750.
    {"ico/Bad_smile-incorrect-image-length.ico", -1, "", 32, 32, nullptr},
    {"cur/deerstalker.cur", -1, "", 32, 32, "4f9f5efa098fb53545b4115f477541b3"},
    // The AND mask hides two of the four pixels (ImageMagick's reading; Pillow 9.4 ignores it).
    {"cur/mask_L.cur", -1, "", 1, 4, "5966b3391b34df4cd261cad879ccaf27"},
    {"cur/no_cursors.cur", -1, "no entries", 0, 0, nullptr},
};

class IconCorpus : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(IconCorpus, DecodesToReferencePixels) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  const CorpusCase& c = GetParam();
  std::vector<uint8_t> bytes = ReadHostFile(CorpusPath(c.file));
  ASSERT_FALSE(bytes.empty());
  sIconImage image;
  bool ok = c.entry < 0 ? DecodeIcon(bytes.data(), bytes.size(), image)
                        : DecodeIconEntry(bytes.data(), bytes.size(), uint32_t(c.entry), image);
  EXPECT_STREQ(image.error, c.error) << c.file;
  ASSERT_EQ(ok, !*c.error) << c.file;
  if (!ok) {
    EXPECT_TRUE(image.buffer.empty());
    return;
  }
  EXPECT_EQ(image.width, c.width);
  EXPECT_EQ(image.height, c.height);
  if (c.entry < 0) {
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(GetIconSizeFromMemory(bytes.data(), bytes.size(), &w, &h));
    EXPECT_EQ(w, c.width);
    EXPECT_EQ(h, c.height);
  }
  if (c.md5) {
    EXPECT_EQ(image_test::ArgbMd5(ToArgb(image)), c.md5) << c.file;
  }
}

TEST_P(IconCorpus, EveryCutDecodesOrFailsCleanly) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  std::vector<uint8_t> bytes = ReadHostFile(CorpusPath(GetParam().file));
  for (size_t len = 0; len < bytes.size(); len += bytes.size() / 97 + 1) {
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + len);
    sIconImage image;
    if (DecodeIcon(cut.data(), cut.size(), image)) {
      std::vector<uint32_t> argb = ToArgb(image);
    } else {
      EXPECT_TRUE(image.buffer.empty());
      EXPECT_STRNE(image.error, "");
    }
    uint32_t w = 1, h = 1;
    if (!GetIconSizeFromMemory(cut.data(), cut.size(), &w, &h)) {
      EXPECT_EQ(w + h, 0u);
    }
  }
}

// The same file may stand twice, once per entry.
INSTANTIATE_TEST_SUITE_P(Corpus, IconCorpus, ::testing::ValuesIn(kCorpus),
                         [](const ::testing::TestParamInfo<CorpusCase>& info) {
                           std::string name = testing_support::TestNameFromPath(info.param.file);
                           if (info.param.entry >= 0)
                             name += "_entry" + std::to_string(info.param.entry);
                           return name;
                         });

// [FIXTURES] An icon built in memory: directory entries, then each entry's bitmap.
struct BitmapSpec {
  uint8_t dirWidth, dirHeight;
  uint16_t bitCount;
  int32_t width, height;  // bitmap size without the doubling for the mask
  std::vector<uint8_t> palette;  // BGRA quads
  std::vector<uint8_t> xorRows;  // bottom row first, padded
  std::vector<uint8_t> maskRows;
  int32_t declaredBytes = -1;    // -1: the real size
};

void Put16(std::vector<uint8_t>& f, uint32_t v) {
  f.push_back(uint8_t(v));
  f.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& f, uint32_t v) {
  Put16(f, v & 0xFFFF);
  Put16(f, v >> 16);
}

std::vector<uint8_t> BitmapBytes(const BitmapSpec& s) {
  std::vector<uint8_t> b;
  Put32(b, 40);
  Put32(b, uint32_t(s.width));
  Put32(b, uint32_t(s.height * 2));
  Put16(b, 1);
  Put16(b, s.bitCount);
  Put32(b, 0);
  for (int i = 0; i < 3; ++i) Put32(b, 0);
  Put32(b, uint32_t(s.palette.size() / 4));
  Put32(b, 0);
  b.insert(b.end(), s.palette.begin(), s.palette.end());
  b.insert(b.end(), s.xorRows.begin(), s.xorRows.end());
  b.insert(b.end(), s.maskRows.begin(), s.maskRows.end());
  return b;
}

std::vector<uint8_t> MakeIcon(uint16_t type, const std::vector<BitmapSpec>& entries) {
  std::vector<uint8_t> f;
  Put16(f, 0);
  Put16(f, type);
  Put16(f, uint16_t(entries.size()));
  std::vector<std::vector<uint8_t>> bodies;
  for (const BitmapSpec& s : entries) bodies.push_back(BitmapBytes(s));
  uint32_t offset = 6 + 16 * uint32_t(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    const BitmapSpec& s = entries[i];
    f.push_back(s.dirWidth);
    f.push_back(s.dirHeight);
    f.push_back(0);
    f.push_back(0);
    Put16(f, 1);
    Put16(f, s.bitCount);
    Put32(f, s.declaredBytes < 0 ? uint32_t(bodies[i].size()) : uint32_t(s.declaredBytes));
    Put32(f, offset);
    offset += uint32_t(bodies[i].size());
  }
  for (const auto& b : bodies) f.insert(f.end(), b.begin(), b.end());
  return f;
}

// A plain entry of w x h pixels at a depth, every byte of its pixels `fill`.
BitmapSpec Plain(uint8_t size, uint16_t bits, uint8_t fill = 0x11) {
  BitmapSpec s;
  s.dirWidth = s.dirHeight = size;
  s.bitCount = bits;
  s.width = s.height = size ? size : 256;
  if (bits <= 8) s.palette.assign(size_t(4) << bits, 0x40);
  size_t stride = (size_t(s.width) * bits + 31) / 32 * 4;
  s.xorRows.assign(stride * s.height, fill);
  s.maskRows.assign(size_t((s.width + 31) / 32 * 4) * s.height, 0);
  return s;
}

TEST(IconChoice, DeepestThenWidestEntryForIconsFirstForCursors) {
  struct Case {
    const char* name;
    uint16_t type;
    std::vector<BitmapSpec> entries;
    uint32_t width;
    uint32_t bits;
  };
  const Case cases[] = {
      {"32-bit beats 4-bit", 1, {Plain(16, 4), Plain(32, 32)}, 32, 32},
      {"32-bit beats 4-bit, either order", 1, {Plain(32, 32), Plain(16, 4)}, 32, 32},
      {"same depth: the wider", 1, {Plain(16, 32), Plain(48, 32)}, 48, 32},
      {"a later 256-pixel entry does not replace", 1, {Plain(16, 8), Plain(0, 32)}, 16, 8},
      {"a first 256-pixel entry is replaced", 1, {Plain(0, 32), Plain(16, 8)}, 16, 8},
      {"cursors use the first entry", 2, {Plain(16, 4), Plain(32, 32)}, 16, 4},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> f = MakeIcon(c.type, c.entries);
    sIconImage image;
    ASSERT_TRUE(DecodeIcon(f.data(), f.size(), image)) << c.name << ": " << image.error;
    EXPECT_EQ(image.width, c.width) << c.name;
    EXPECT_EQ(image.bitsPerPixel, c.bits) << c.name;
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(GetIconSizeFromMemory(f.data(), f.size(), &w, &h)) << c.name;
    EXPECT_EQ(w, c.width) << c.name;
  }
}

TEST(IconBitmap, OneBitRowsFlipAndMaskClearsAlpha) {
  BitmapSpec s = Plain(16, 1, 0);
  s.palette = {0, 0, 0, 0, 0x30, 0x20, 0x10, 0};  // entry 1: red 0x10, green 0x20, blue 0x30
  s.xorRows[15 * 4] = 0x80;  // the file's last row is the top row: its pixel 0 is index 1
  s.maskRows[0] = 0x40;      // bottom row, pixel 1 is transparent
  std::vector<uint8_t> f = MakeIcon(1, {s});
  sIconImage image;
  ASSERT_TRUE(DecodeIcon(f.data(), f.size(), image)) << image.error;
  EXPECT_EQ(image.xorStride, 4u);
  EXPECT_EQ(image.maskStride, 4u);
  bool hasAlpha = false;
  std::vector<uint32_t> argb = ToArgb(image, &hasAlpha);
  EXPECT_EQ(argb[0], 0xFF102030u);
  EXPECT_EQ(argb[1], 0xFF000000u);
  EXPECT_EQ(argb[15 * 16 + 1], 0x00000000u);
  EXPECT_TRUE(hasAlpha);
}

TEST(IconBitmap, AlphaComesFromTheMaskOnly) {
  BitmapSpec s = Plain(2, 32, 0x80);  // every alpha byte 0x80, mask all zero
  std::vector<uint8_t> f = MakeIcon(1, {s});
  sIconImage image;
  ASSERT_TRUE(DecodeIcon(f.data(), f.size(), image)) << image.error;
  bool hasAlpha = true;
  std::vector<uint32_t> argb = ToArgb(image, &hasAlpha);
  EXPECT_FALSE(hasAlpha);
  EXPECT_EQ(argb[0], 0x80808080u);
}

TEST(IconBitmap, SixteenBitsAreFiveFiveFive) {
  BitmapSpec s = Plain(2, 16, 0);
  s.xorRows[4] = 0x1F;  // top row (stored second), pixel 0: blue 31
  s.xorRows[5] = 0x7C;  // red 31
  std::vector<uint8_t> f = MakeIcon(1, {s});
  sIconImage image;
  ASSERT_TRUE(DecodeIcon(f.data(), f.size(), image)) << image.error;
  std::vector<uint32_t> argb = ToArgb(image);
  EXPECT_EQ(argb[0], 0xFFFF00FFu);
}

TEST(IconBitmap, ShortPaletteIndicesShowBlack) {
  BitmapSpec s = Plain(8, 8, 0x05);
  s.palette.assign(8, 0xFF);  // two colours; every pixel indexes colour 5
  std::vector<uint8_t> f = MakeIcon(1, {s});
  sIconImage image;
  ASSERT_TRUE(DecodeIcon(f.data(), f.size(), image)) << image.error;
  EXPECT_EQ(ToArgb(image)[0], 0xFF000000u);
}

TEST(IconDecode, Refusals) {
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    const char* error;
  };
  std::vector<uint8_t> wrongType = MakeIcon(3, {Plain(16, 8)});
  std::vector<uint8_t> shortDir = MakeIcon(1, {Plain(2, 1)});
  shortDir[4] = 9;  // nine entries declared, one present
  BitmapSpec longer = Plain(16, 8);
  longer.declaredBytes = 100000;
  std::vector<uint8_t> pastEnd = MakeIcon(1, {longer});
  std::vector<uint8_t> noMask = MakeIcon(1, {Plain(16, 8)});
  noMask.resize(noMask.size() - 40);
  BitmapSpec deep = Plain(4, 12);
  BitmapSpec huge = Plain(16, 8);
  huge.declaredBytes = 0x10000001;
  const Case cases[] = {
      {"type 3", wrongType, "not icon"},
      {"directory longer than the file", shortDir, "short directory"},
      {"entry past the end of the file", pastEnd, "truncated entry"},
      {"mask rows cut off", noMask, "truncated entry"},
      {"12 bits per pixel", MakeIcon(1, {deep}), "unsupported depth"},
      {"entry over 256 MiB", MakeIcon(1, {huge}), "too large"},
  };
  for (const Case& c : cases) {
    sIconImage image;
    EXPECT_FALSE(DecodeIcon(c.file.data(), c.file.size(), image)) << c.name;
    EXPECT_STREQ(image.error, c.error) << c.name;
    EXPECT_TRUE(image.buffer.empty()) << c.name;
  }
}

}  // namespace

namespace {

TEST(IconFiles, LoadAndProbeByProgramPath) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  std::string path = testing_support::ToProgramPath(CorpusPath("cur/deerstalker.cur"));
  sIconImage image;
  ASSERT_TRUE(LoadIconFile(path.c_str(), image)) << image.error;
  EXPECT_EQ(image_test::ArgbMd5(ToArgb(image)), "4f9f5efa098fb53545b4115f477541b3");
  uint32_t w = 0, h = 0;
  EXPECT_TRUE(GetIconSize(path.c_str(), &w, &h));
  EXPECT_EQ(w, 32u);
  EXPECT_EQ(h, 32u);
  EXPECT_FALSE(LoadIconFile(nullptr, image));
  EXPECT_FALSE(GetIconSize("\\no\\such\\file.ico", &w, &h));
  EXPECT_EQ(w + h, 0u);
}

}  // namespace

namespace {

// PNG entries are found by their signature whatever the directory's size bytes say, and their
// alpha decides hasAlpha.
TEST(IconPng, SignatureDecidesAndAlphaIsReported) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  struct Case {
    const char* file;
    bool hasAlpha;
  };
  for (const Case& c : {Case{"ico/png-32bpp-alpha.ico", true}, Case{"ico/png_rgb8.ico", false}}) {
    std::vector<uint8_t> bytes = ReadHostFile(CorpusPath(c.file));
    sIconImage image;
    ASSERT_TRUE(DecodeIcon(bytes.data(), bytes.size(), image)) << c.file << ": " << image.error;
    EXPECT_TRUE(image.isPng) << c.file;
    bool hasAlpha = !c.hasAlpha;
    ToArgb(image, &hasAlpha);
    EXPECT_EQ(hasAlpha, c.hasAlpha) << c.file;
  }
}

}  // namespace
