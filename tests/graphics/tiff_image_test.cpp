// TIFF directory and decoding rules on small files built in memory: byte order, tag defaults,
// photometric defaults, alpha, colour maps, LZW styles, PackBits, orientation and refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "graphics/tiff_image.h"
#include "support/test_support.h"

namespace {

// A TIFF written in memory: header, pixel data at offset 8, then one directory and the values
// that do not fit in their entries.
class TiffBuilder {
 public:
  explicit TiffBuilder(bool bigEndian = false) : be_(bigEndian) {}
  TiffBuilder& Data(std::vector<uint8_t> bytes) {
    data_ = std::move(bytes);
    return *this;
  }
  TiffBuilder& Short(uint16_t tag, std::vector<uint32_t> values) { return Tag(tag, 3, values); }
  TiffBuilder& Long(uint16_t tag, std::vector<uint32_t> values) { return Tag(tag, 4, values); }
  TiffBuilder& Remove(uint16_t tag) {
    tags_.erase(tag);
    return *this;
  }
  // A one-strip image of w x h with the given samples and depth, photometric `photo`.
  static TiffBuilder Strip(uint32_t w, uint32_t h, uint32_t photo, uint32_t bits,
                           uint32_t samples, std::vector<uint8_t> data, bool bigEndian = false) {
    TiffBuilder b(bigEndian);
    b.Long(256, {w}).Long(257, {h}).Short(258, {bits}).Short(259, {1}).Short(262, {photo});
    b.Short(277, {samples}).Long(273, {8}).Long(279, {uint32_t(data.size())});
    b.Data(std::move(data));
    return b;
  }
  std::vector<uint8_t> Build() const {
    std::vector<uint8_t> f = {uint8_t(be_ ? 'M' : 'I'), uint8_t(be_ ? 'M' : 'I')};
    Put16(f, 42);
    size_t dirOffset = 8 + data_.size() + (data_.size() & 1);
    Put32(f, uint32_t(dirOffset));
    f.insert(f.end(), data_.begin(), data_.end());
    f.resize(dirOffset);
    size_t extra = dirOffset + 2 + tags_.size() * 12 + 4;
    std::vector<uint8_t> tail;
    Put16(f, uint16_t(tags_.size()));
    for (const auto& [tag, t] : tags_) {
      Put16(f, tag);
      Put16(f, t.type);
      Put32(f, uint32_t(t.values.size()));
      size_t size = t.type == 3 ? 2 : 4;
      std::vector<uint8_t> bytes;
      for (uint32_t v : t.values) size == 2 ? Put16(bytes, v) : Put32(bytes, v);
      if (bytes.size() <= 4) {
        bytes.resize(4, 0);
        f.insert(f.end(), bytes.begin(), bytes.end());
      } else {
        Put32(f, uint32_t(extra + tail.size()));
        tail.insert(tail.end(), bytes.begin(), bytes.end());
      }
    }
    Put32(f, 0);
    f.insert(f.end(), tail.begin(), tail.end());
    return f;
  }

 private:
  struct TagValues {
    uint16_t type;
    std::vector<uint32_t> values;
  };
  TiffBuilder& Tag(uint16_t tag, uint16_t type, std::vector<uint32_t> values) {
    tags_[tag] = {type, std::move(values)};
    return *this;
  }
  void Put16(std::vector<uint8_t>& f, uint32_t v) const {
    if (be_) {
      f.push_back(uint8_t(v >> 8));
      f.push_back(uint8_t(v));
    } else {
      f.push_back(uint8_t(v));
      f.push_back(uint8_t(v >> 8));
    }
  }
  void Put32(std::vector<uint8_t>& f, uint32_t v) const {
    if (be_) {
      Put16(f, v >> 16);
      Put16(f, v & 0xFFFF);
    } else {
      Put16(f, v & 0xFFFF);
      Put16(f, v >> 16);
    }
  }
  bool be_;
  std::vector<uint8_t> data_;
  std::map<uint16_t, TagValues> tags_;
};

bool Decode(const std::vector<uint8_t>& file, cTiffImage& image) {
  return image.LoadFromMemory(file.data(), file.size());
}

TEST(TiffDirectory, OnlyMMIsBigEndian) {
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
  };
  std::vector<uint8_t> other = TiffBuilder::Strip(2, 1, 1, 8, 1, {10, 200}).Build();
  other[0] = 'X';
  other[1] = 'Y';
  const Case cases[] = {
      {"II", TiffBuilder::Strip(2, 1, 1, 8, 1, {10, 200}).Build()},
      {"MM", TiffBuilder::Strip(2, 1, 1, 8, 1, {10, 200}, true).Build()},
      {"XY read as little-endian", other},
  };
  for (const Case& c : cases) {
    cTiffImage image;
    ASSERT_TRUE(Decode(c.file, image)) << c.name << ": " << image.error();
    EXPECT_EQ(image.raster[0], 0xFF0A0A0Au) << c.name;
    EXPECT_EQ(image.raster[1], 0xFFC8C8C8u) << c.name;
  }
}

TEST(TiffDirectory, DefaultsAndDepthOfMixedSamples) {
  // BitsPerSample 8, 8, 16 is read as 8; without RowsPerStrip the strip holds every row.
  TiffBuilder b = TiffBuilder::Strip(1, 2, 2, 8, 3, {1, 2, 3, 4, 5, 6});
  b.Short(258, {8, 8, 16});
  cTiffImage image;
  ASSERT_TRUE(Decode(b.Build(), image)) << image.error();
  EXPECT_EQ(image.bitsPerSample, 8u);
  EXPECT_EQ(image.rowsPerStrip, 2u);
  EXPECT_EQ(image.raster[1], 0xFF040506u);
}

TEST(TiffDirectory, FaxWithoutPhotometricIsWhiteIsZero) {
  // One CCITT RLE row of 8 pixels: white run 2 (0111), black run 6 (0010).
  TiffBuilder b = TiffBuilder::Strip(8, 1, 0, 1, 1, {0x72});
  b.Short(259, {2}).Remove(262);
  cTiffImage image;
  ASSERT_TRUE(Decode(b.Build(), image)) << image.error();
  EXPECT_EQ(image.photometric, 0u);
  EXPECT_EQ(image.raster[1], 0xFFFFFFFFu);
  EXPECT_EQ(image.raster[2], 0xFF000000u);
  EXPECT_EQ(image.raster[7], 0xFF000000u);
}

TEST(TiffDecode, AlphaKinds) {
  struct Case {
    uint32_t extra;
    uint32_t expected;
  };
  // Associated alpha keeps the colours; unassociated alpha is multiplied in (255 x 128 / 255).
  const Case cases[] = {{1, 0x80FF4020u}, {2, 0x80802010u}, {0, 0xFFFF4020u}};
  for (const Case& c : cases) {
    TiffBuilder b = TiffBuilder::Strip(1, 1, 2, 8, 4, {255, 64, 32, 128});
    b.Short(338, {c.extra});
    cTiffImage image;
    ASSERT_TRUE(Decode(b.Build(), image)) << image.error();
    EXPECT_EQ(image.alphaKind, c.extra == 0 ? 0u : c.extra);
    EXPECT_EQ(image.raster[0], c.expected) << "extra sample " << c.extra;
  }
}

std::vector<uint32_t> ColourMap(uint32_t count, uint32_t red1) {
  std::vector<uint32_t> map(count * 3, 0);
  map[1] = red1;             // red of entry 1
  map[count + 1] = 0x40;     // green of entry 1
  return map;
}

TEST(TiffDecode, ColourMapWidthIsDecidedBy256) {
  struct Case {
    uint32_t red1;
    uint32_t expected;
  };
  // Values up to 255 are 8-bit; a value of 256 or more makes every value 16-bit (high byte).
  const Case cases[] = {{200, 0xFFC84000u}, {255, 0xFFFF4000u}, {0x1234, 0xFF120000u}};
  for (const Case& c : cases) {
    TiffBuilder b = TiffBuilder::Strip(2, 1, 3, 8, 1, {0, 1});
    b.Short(320, ColourMap(256, c.red1));
    cTiffImage image;
    ASSERT_TRUE(Decode(b.Build(), image)) << image.error();
    EXPECT_EQ(image.raster[1], c.expected) << c.red1;
  }
}

TEST(TiffDecode, SixteenBitIndicesPastTheMapShowBlack) {
  TiffBuilder b = TiffBuilder::Strip(2, 1, 3, 16, 1, {1, 0, 9, 0});
  b.Short(320, ColourMap(4, 0xFFFF));
  cTiffImage image;
  ASSERT_TRUE(Decode(b.Build(), image)) << image.error();
  EXPECT_EQ(image.raster[0], 0xFFFF0000u);
  EXPECT_EQ(image.raster[1], 0xFF000000u);
}

// Codes of `width` bits packed most or least significant bit first.
std::vector<uint8_t> PackCodes(const std::vector<uint32_t>& codes, uint32_t width, bool msbFirst) {
  std::vector<uint8_t> out;
  uint64_t buffer = 0;
  uint32_t count = 0;
  for (uint32_t c : codes) {
    if (msbFirst) {
      buffer = buffer << width | c;
      count += width;
      while (count >= 8) out.push_back(uint8_t(buffer >> (count -= 8)));
    } else {
      buffer |= uint64_t(c) << count;
      count += width;
      for (; count >= 8; count -= 8, buffer >>= 8) out.push_back(uint8_t(buffer));
    }
  }
  if (count) out.push_back(uint8_t(msbFirst ? buffer << (8 - count) : buffer));
  return out;
}

TEST(TiffDecode, LzwStyles) {
  struct Case {
    const char* name;
    std::vector<uint8_t> strip;
    std::vector<uint8_t> expected;
  };
  // Old style: clear, 'A', 'B', 258 ("AB"), end, least significant bit first (starts 00 01).
  std::vector<uint8_t> old = PackCodes({256, 65, 66, 258, 257}, 9, false);
  // New style with a code that is being defined ("AA" from 'A', 258).
  std::vector<uint8_t> kwkwk = PackCodes({256, 65, 258, 257}, 9, true);
  const Case cases[] = {
      {"old style", old, {65, 66, 65, 66}},
      {"new style, code defined by its own use", kwkwk, {65, 65, 65, 0}},
  };
  EXPECT_EQ(old[0], 0);
  EXPECT_EQ(old[1] & 1, 1);
  for (const Case& c : cases) {
    TiffBuilder b = TiffBuilder::Strip(4, 1, 1, 8, 1, c.strip);
    b.Short(259, {5});
    cTiffImage image;
    ASSERT_TRUE(Decode(b.Build(), image)) << c.name << ": " << image.error();
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(image.raster[i] & 0xFF, c.expected[i]) << c.name;
  }
}

TEST(TiffDecode, PackBitsEndingEarlyKeepsWhatWasDecoded) {
  // 0x01: copy 2 bytes; 0xFE: repeat the next byte 3 times but the byte is missing.
  TiffBuilder b = TiffBuilder::Strip(6, 1, 1, 8, 1, {0x01, 7, 9, 0xFE});
  b.Short(259, {32773});
  cTiffImage image;
  ASSERT_TRUE(Decode(b.Build(), image)) << image.error();
  EXPECT_EQ(image.raster[0], 0xFF070707u);
  EXPECT_EQ(image.raster[1], 0xFF090909u);
}

TEST(TiffDecode, BottomLeftOrientationIsShownUpright) {
  for (uint32_t orientation : {3u, 4u, 7u, 8u}) {
    TiffBuilder b = TiffBuilder::Strip(1, 2, 1, 8, 1, {10, 20});
    b.Short(274, {orientation});
    cTiffImage image;
    ASSERT_TRUE(Decode(b.Build(), image)) << image.error();
    EXPECT_EQ(image.raster[0], 0xFF141414u) << orientation;
    EXPECT_EQ(image.raster[1], 0xFF0A0A0Au) << orientation;
  }
}

TEST(TiffDecode, MoreThan65535StripsAreAllRead) {
  const uint32_t rows = 70000;
  std::vector<uint8_t> data(rows);
  std::vector<uint32_t> offsets(rows), counts(rows, 1);
  for (uint32_t r = 0; r < rows; ++r) {
    data[r] = uint8_t(r % 251);
    offsets[r] = 8 + r;
  }
  TiffBuilder b = TiffBuilder::Strip(1, rows, 1, 8, 1, data);
  b.Long(278, {1}).Long(273, offsets).Long(279, counts);
  cTiffImage image;
  ASSERT_TRUE(Decode(b.Build(), image)) << image.error();
  EXPECT_EQ(image.stripCount, rows);
  EXPECT_EQ(image.raster[rows - 1] & 0xFF, (rows - 1) % 251);
}

TEST(TiffDecode, Refusals) {
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    const char* error;
  };
  auto grey = [] { return TiffBuilder::Strip(2, 1, 1, 8, 1, {1, 2}); };
  std::vector<uint8_t> badMagic = grey().Build();
  badMagic[2] = 43;
  std::vector<uint8_t> dirOutside = grey().Build();
  dirOutside[4] = 0xF0;
  std::vector<uint8_t> emptyDir = grey().Build();
  size_t dir = emptyDir[4];
  emptyDir[dir] = emptyDir[dir + 1] = 0;
  // The colour map is the only value stored after the directory: cut into it.
  std::vector<uint8_t> mapCut = TiffBuilder::Strip(2, 1, 3, 1, 1, {0}).Short(320, ColourMap(2, 1)).Build();
  mapCut.resize(mapCut.size() - 4);
  const Case cases[] = {
      {"palette without a colour map", TiffBuilder::Strip(2, 1, 3, 8, 1, {0, 1}).Build(),
       "unsupported layout"},
      {"colour map shorter than 2^bits",
       TiffBuilder::Strip(2, 1, 3, 8, 1, {0, 1}).Short(320, ColourMap(16, 1)).Build(),
       "unsupported layout"},
      {"JPEG compression", grey().Short(259, {7}).Build(), "unsupported compression"},
      {"unknown compression", grey().Short(259, {99}).Build(), "unsupported compression"},
      {"strip outside the file", grey().Long(273, {4000}).Build(), "strip outside file"},
      {"strip longer than the file", grey().Long(279, {4000}).Build(), "strip outside file"},
      {"fewer byte counts than strips", grey().Long(273, {8, 9}).Build(), "bad strips"},
      {"rows per strip 0", grey().Long(278, {0}).Build(), "bad rows per strip"},
      {"width 0", grey().Long(256, {0}).Build(), "bad size"},
      {"over 2^28 pixels", grey().Long(256, {70000}).Long(257, {70000}).Build(), "too large"},
      {"YCbCr", TiffBuilder::Strip(1, 1, 6, 8, 3, {1, 2, 3}).Build(), "unsupported layout"},
      {"floating-point samples", grey().Short(339, {3}).Build(), "unsupported sample format"},
      {"colour map values outside the file", mapCut, "tag outside file"},
      {"magic 43", badMagic, "not tiff"},
      {"directory outside the file", dirOutside, "not tiff"},
      {"empty directory", emptyDir, "bad directory"},
      {"too short", std::vector<uint8_t>{'I', 'I', 42, 0, 8}, "not tiff"},
  };
  for (const Case& c : cases) {
    cTiffImage image;
    EXPECT_FALSE(Decode(c.file, image)) << c.name;
    EXPECT_STREQ(image.error(), c.error) << c.name;
    EXPECT_TRUE(image.raster.empty()) << c.name;
  }
}

TEST(TiffProbe, SizeFromTheFirstDirectory) {
  std::vector<uint8_t> f = TiffBuilder::Strip(300, 20, 1, 8, 1, {1}).Build();
  uint32_t w = 0, h = 0;
  EXPECT_TRUE(GetTiffSizeFromMemory(f.data(), f.size(), &w, &h));
  EXPECT_EQ(w, 300u);
  EXPECT_EQ(h, 20u);
  f[2] = 0;
  EXPECT_FALSE(GetTiffSizeFromMemory(f.data(), f.size(), &w, &h));
  EXPECT_EQ(w + h, 0u);
}

}  // namespace

namespace {

// Inputs the fuzzer found; each must fail cleanly with its reason.
TEST(TiffFuzzFinds, FailCleanly) {
  struct Case {
    const char* file;
    const char* error;
  };
  const Case cases[] = {
      // 65,535 samples a pixel asked for a 2.8 GB strip buffer.
      {"fuzz/tiff/oom-many-samples.tif", "bad samples"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = testing_support::ReadHostFile(testing_support::DataPath(c.file));
    ASSERT_FALSE(bytes.empty()) << c.file;
    cTiffImage image;
    EXPECT_FALSE(image.LoadFromMemory(bytes.data(), bytes.size())) << c.file;
    EXPECT_STREQ(image.error(), c.error) << c.file;
  }
}

}  // namespace
