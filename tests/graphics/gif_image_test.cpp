// cGifImage on the corpus GIFs (frame 0 against the reference pixels, every cut of every file)
// and on small hand-built files for the decoder's edge cases and the damaged-file rules.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "graphics/gif_image.h"
#include "graphics/image_md5.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

// ---- building GIFs in memory ----------------------------------------------------------------

// LZW data that uses only literal codes, with a clear code often enough that the code width
// never grows; then the end code. Packed LSB first into data sub-blocks.
std::vector<uint8_t> LzwBlocks(const std::vector<uint8_t>& indices, int minCodeSize,
                               const std::vector<uint32_t>& extraCodes = {}) {
  const uint32_t clear = 1u << minCodeSize, width = minCodeSize + 1;
  std::vector<uint32_t> codes{clear};
  uint32_t sinceClear = 0;
  for (uint8_t v : indices) {
    if (sinceClear == (1u << width) - clear - 2) codes.push_back(clear), sinceClear = 0;
    codes.push_back(v);
    ++sinceClear;
  }
  codes.insert(codes.end(), extraCodes.begin(), extraCodes.end());
  codes.push_back(clear + 1);
  std::vector<uint8_t> packed;
  uint32_t bits = 0, count = 0;
  for (uint32_t c : codes) {
    bits |= c << count;
    count += width;
    while (count >= 8) packed.push_back(uint8_t(bits)), bits >>= 8, count -= 8;
  }
  if (count) packed.push_back(uint8_t(bits));
  std::vector<uint8_t> out{uint8_t(minCodeSize)};
  for (size_t i = 0; i < packed.size(); i += 255) {
    size_t n = std::min<size_t>(255, packed.size() - i);
    out.push_back(uint8_t(n));
    out.insert(out.end(), packed.begin() + i, packed.begin() + i + n);
  }
  out.push_back(0);
  return out;
}

void Put16(std::vector<uint8_t>* v, uint32_t x) {
  v->push_back(uint8_t(x));
  v->push_back(uint8_t(x >> 8));
}

struct GifBuilder {
  std::vector<uint8_t> bytes;
  GifBuilder(uint32_t w, uint32_t h, bool globalTable = true, const char* version = "89a") {
    bytes = {'G', 'I', 'F'};
    bytes.insert(bytes.end(), version, version + 3);
    Put16(&bytes, w);
    Put16(&bytes, h);
    bytes.push_back(globalTable ? 0x81 : 0x00);  // 4-entry table
    bytes.push_back(1);                          // background index
    bytes.push_back(0);
    if (globalTable) {
      const uint8_t table[12] = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
      bytes.insert(bytes.end(), table, table + 12);
    }
  }
  GifBuilder& Control(std::vector<uint8_t> block) {
    bytes.push_back(0x21);
    bytes.push_back(0xF9);
    bytes.push_back(uint8_t(block.size()));
    bytes.insert(bytes.end(), block.begin(), block.end());
    bytes.push_back(0);
    return *this;
  }
  GifBuilder& Image(uint32_t left, uint32_t top, uint32_t w, uint32_t h,
                    const std::vector<uint8_t>& lzw, uint8_t flags = 0) {
    bytes.push_back(0x2C);
    Put16(&bytes, left);
    Put16(&bytes, top);
    Put16(&bytes, w);
    Put16(&bytes, h);
    bytes.push_back(flags);
    bytes.insert(bytes.end(), lzw.begin(), lzw.end());
    return *this;
  }
  GifBuilder& Trailer() {
    bytes.push_back(0x3B);
    return *this;
  }
  bool LoadInto(cGifImage* gif) const { return gif->LoadFromMemory(bytes.data(), bytes.size()); }
};

// Frame 0 on the logical screen as the reference tools show it: outside the frame the frame's
// transparent colour (when it has one) or the background, transparent indices fully clear.
std::vector<uint32_t> ReferenceFrame0(const cGifImage& gif) {
  std::vector<uint32_t> px(size_t(gif.width) * gif.height,
                           gif.frames[0]->hasTransparency ? 0u : gif.backgroundColor);
  gif.PaintCurrentFrame(px.data(), gif.width * 4, false);
  return px;
}

// ---- the corpus ---------------------------------------------------------------------------

struct CorpusGif {
  const char* file;
  uint32_t width, height, frames;
  const char* md5;
};
const CorpusGif kCorpus[] = {
    {"gif/hopper.gif", 128, 128, 1, "f95a7c52ba2f88ab4ca639a68386c57c"},
    {"gif/dispose_bgnd.gif", 100, 100, 5, "e6a3a8c7b4459e75cf00585fe92207a0"},
    {"gif/iss634.gif", 245, 245, 42, "31077af0ab2cff32b2afb1529b02c6c0"},
    {"gif/transparent.gif", 200, 150, 1, "2188bd281a3266c3412ca7200620970e"},
    {"gif/first_frame_transparency.gif", 75, 50, 1, "9f418a379b84d84de66bf512e46fe32a"},
    {"gif/mixed-disposal.gif", 32, 32, 5, "5f5f240f3a2c78e5e4281af34bafd2f5"},
};

TEST(GifCorpus, Frame0MatchesReferencePixels) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  for (const CorpusGif& c : kCorpus) {
    SCOPED_TRACE(c.file);
    std::vector<uint8_t> bytes = ReadHostFile(CorpusPath(c.file));
    cGifImage gif;
    ASSERT_TRUE(gif.LoadFromMemory(bytes.data(), bytes.size()));
    EXPECT_EQ(gif.width, c.width);
    EXPECT_EQ(gif.height, c.height);
    EXPECT_EQ(gif.frameCount, c.frames);
    EXPECT_EQ(gif.currentFrame, 0u);
    EXPECT_EQ(image_test::ArgbMd5(ReferenceFrame0(gif)), c.md5);
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(GetGifSizeFromMemory(bytes.data(), bytes.size(), &w, &h));
    EXPECT_EQ(w, c.width);
  }
}

TEST(GifCorpus, LoadsFromAProgramPath) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  std::string path = ToProgramPath(CorpusPath("gif/hopper.gif"));
  cGifImage gif;
  ASSERT_TRUE(gif.Load(path.c_str()));
  EXPECT_EQ(gif.frameCount, 1u);
  uint32_t w = 0, h = 0;
  EXPECT_TRUE(GetGifSize(path.c_str(), &w, &h));
  EXPECT_EQ(w, 128u);
  EXPECT_FALSE(gif.Load("\\no\\such\\file.gif"));
  EXPECT_FALSE(gif.Load(nullptr));
  EXPECT_FALSE(GetGifSize("\\no\\such\\file.gif", &w, &h));
  EXPECT_EQ(w, 0u);
}

// Every cut loses the trailer, so each must fail, without reading past the cut.
TEST(GifCorpus, EveryCutFailsCleanly) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  for (const CorpusGif& c : kCorpus) {
    std::vector<uint8_t> bytes = ReadHostFile(CorpusPath(c.file));
    size_t step = bytes.size() / 150 + 1;
    for (size_t len = 0; len < bytes.size(); len += (len < 64 ? 1 : step)) {
      std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + len);
      cGifImage gif;
      ASSERT_FALSE(gif.LoadFromMemory(cut.data(), cut.size())) << c.file << " " << len;
      EXPECT_EQ(gif.GetPixels(), nullptr);
    }
  }
}

// ---- decoder rules on hand-built files ----------------------------------------------------

TEST(GifDecoder, DecodesIndicesAndColours) {
  GifBuilder b(4, 2);
  b.Image(0, 0, 4, 2, LzwBlocks({0, 1, 2, 3, 3, 2, 1, 0}, 2)).Trailer();
  cGifImage gif;
  ASSERT_TRUE(b.LoadInto(&gif));
  ASSERT_EQ(gif.frameCount, 1u);
  std::vector<uint8_t> expect{0, 1, 2, 3, 3, 2, 1, 0};
  EXPECT_EQ(std::vector<uint8_t>(gif.GetPixels(), gif.GetPixels() + 8), expect);
  EXPECT_EQ(gif.GetColor(1), 0xFFFF0000u);
  EXPECT_EQ(gif.GetColor(3), 0xFF0000FFu);
  EXPECT_EQ(gif.backgroundColor, 0xFFFF0000u);
}

TEST(GifDecoder, LongRunsUseTheStringTable) {
  // What an encoder writes for a run: literal 1, then each code the string just added
  // (KwKwK every time: "11", "111", ...), so 1+2+...+7 = 28 ones; the width grows 3 -> 4.
  GifBuilder b(30, 1);
  std::vector<uint32_t> codes{4, 1, 6, 7, 8, 9, 10, 11, 5};
  std::vector<uint8_t> packed;
  uint32_t bits = 0, count = 0, width = 3, next = 6;
  for (size_t i = 0; i < codes.size(); ++i) {
    bits |= codes[i] << count;
    count += width;
    while (count >= 8) packed.push_back(uint8_t(bits)), bits >>= 8, count -= 8;
    if (i >= 2 && codes[i] != 5 && ++next == (1u << width)) ++width;
  }
  if (count) packed.push_back(uint8_t(bits));
  std::vector<uint8_t> lzw{2, uint8_t(packed.size())};
  lzw.insert(lzw.end(), packed.begin(), packed.end());
  lzw.push_back(0);
  b.Image(0, 0, 40, 1, lzw).Trailer();
  cGifImage gif;
  ASSERT_TRUE(b.LoadInto(&gif));
  const uint8_t* p = gif.GetPixels();
  for (int i = 0; i < 28; ++i) EXPECT_EQ(p[i], 1) << i;
  EXPECT_EQ(p[28], 0);
}

TEST(GifDecoder, InterlacedRowsAreReordered) {
  // 1 x 10, row r holds index r % 4 in file order of the four passes.
  const int order[10] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
  std::vector<uint8_t> fileRows;
  for (int r : order) fileRows.push_back(uint8_t(r % 4));
  GifBuilder b(1, 10);
  b.Image(0, 0, 1, 10, LzwBlocks(fileRows, 2), 0x40).Trailer();
  cGifImage gif;
  ASSERT_TRUE(b.LoadInto(&gif));
  for (int y = 0; y < 10; ++y) EXPECT_EQ(gif.GetPixels()[y], y % 4) << y;
  // An interlaced single row fills row 0 and ends.
  GifBuilder one(3, 1);
  one.Image(0, 0, 3, 1, LzwBlocks({1, 2, 3}, 2), 0x40).Trailer();
  ASSERT_TRUE(one.LoadInto(&gif));
  EXPECT_EQ(gif.GetPixels()[2], 3);
}

TEST(GifDecoder, NoGlobalTableGivesGreyRamp) {
  GifBuilder b(2, 1, false);
  b.Image(0, 0, 2, 1, LzwBlocks({0, 200}, 8)).Trailer();
  cGifImage gif;
  ASSERT_TRUE(b.LoadInto(&gif));
  EXPECT_EQ(gif.GetColor(200), 0xFFC8C8C8u);
  EXPECT_FALSE(gif.hasGlobalTable);
  EXPECT_EQ(gif.backgroundColor, 0xFFFFFFFFu);
}

TEST(GifDecoder, MinimumCodeSizeAboveEightDecodesAsEight) {
  std::vector<uint8_t> lzw = LzwBlocks({5, 6, 7}, 8);
  lzw[0] = 11;
  GifBuilder b(3, 1, false);
  b.Image(0, 0, 3, 1, lzw).Trailer();
  cGifImage gif;
  ASSERT_TRUE(b.LoadInto(&gif));
  EXPECT_EQ(gif.GetPixels()[2], 7);
}

TEST(GifDecoder, ScreenSizeLimit) {
  cGifImage gif;
  GifBuilder big(8193, 8193);
  big.Image(0, 0, 1, 1, LzwBlocks({1}, 2)).Trailer();
  EXPECT_FALSE(big.LoadInto(&gif));
  GifBuilder limit(8192, 8192);
  limit.Image(0, 0, 1, 1, LzwBlocks({1}, 2)).Trailer();
  EXPECT_TRUE(limit.LoadInto(&gif));
}

TEST(GifDecoder, MissingTrailerFails) {
  GifBuilder b(2, 1);
  b.Image(0, 0, 2, 1, LzwBlocks({1, 2}, 2));
  cGifImage gif;
  EXPECT_FALSE(b.LoadInto(&gif));
  EXPECT_EQ(gif.frameCount, 1u);  // frames read so far stay until Clear
  gif.Clear();
  EXPECT_TRUE(gif.frames.empty());
  EXPECT_EQ(gif.backgroundColor, 0xFFFFFFFFu);
}

TEST(GifDecoder, GraphicControlFields) {
  cGifImage gif;
  // Transparent index 2, disposal 2, delay 7 (70 ms); the next image has no control block.
  GifBuilder b(2, 1);
  b.Control({0x09, 7, 0, 2}).Image(0, 0, 2, 1, LzwBlocks({2, 1}, 2));
  b.Image(0, 0, 2, 1, LzwBlocks({1, 1}, 2)).Trailer();
  ASSERT_TRUE(b.LoadInto(&gif));
  EXPECT_EQ(gif.delay, 70u);
  EXPECT_TRUE(gif.HasTransparency());
  EXPECT_EQ(gif.GetTransparentIndex(), 2);
  EXPECT_EQ(gif.GetDisposal(0), 2);
  EXPECT_EQ(gif.GetDisposal(1), 0);
  EXPECT_FALSE(gif.frames[1]->hasTransparency);
  // First frame transparent: the background is its transparent colour.
  EXPECT_EQ(gif.backgroundColor, 0xFF00FF00u);
  // The transparency bit clear: the index stays pending, without transparency.
  GifBuilder c(2, 1);
  c.Control({0x01, 0, 0, 3}).Image(0, 0, 2, 1, LzwBlocks({0, 0}, 2));
  c.Control({0x00, 0, 0, 1}).Image(0, 0, 2, 1, LzwBlocks({0, 0}, 2)).Trailer();
  ASSERT_TRUE(c.LoadInto(&gif));
  EXPECT_FALSE(gif.frames[1]->hasTransparency);
  EXPECT_EQ(gif.frames[1]->transparentIndex, 3);
}

// ---- damaged files ------------------------------------------------------------------------

TEST(GifDamaged, ShortGraphicControlReadsOnlyWhatItHolds) {
  // A one-byte control block with the transparency bit set: no delay, no transparency (there
  // is no index byte to take), and nothing of the following bytes is taken for one.
  GifBuilder b(2, 1);
  b.Control({0x09}).Image(0, 0, 2, 1, LzwBlocks({1, 2}, 2)).Trailer();
  cGifImage gif;
  ASSERT_TRUE(b.LoadInto(&gif));
  EXPECT_EQ(gif.delay, 0u);
  EXPECT_FALSE(gif.HasTransparency());
  EXPECT_EQ(gif.GetDisposal(0), 2);
  EXPECT_EQ(gif.GetPixels()[1], 2);
}

TEST(GifDamaged, CodeBeyondNextFreeEndsTheFrame) {
  // After literals 1, 2 the next free code is 7; code 7 is KwKwK, 8+ is bad data. Width is 3.
  GifBuilder b(4, 1);
  b.Image(0, 0, 4, 1, LzwBlocks({1, 2}, 2, {7}));  // a valid KwKwK
  cGifImage ok;
  GifBuilder good = b;
  good.Trailer();
  ASSERT_TRUE(good.LoadInto(&ok));
  EXPECT_EQ(ok.GetPixels()[2], 2);  // KwKwK of "2" gives 2, 2
  GifBuilder bad(4, 1);
  bad.Image(0, 0, 4, 1, LzwBlocks({1, 2}, 2, {7 + 1, 3, 3})).Trailer();
  cGifImage gif;
  ASSERT_TRUE(bad.LoadInto(&gif));
  std::vector<uint8_t> expect{1, 2, 0, 0};  // nothing decoded after the bad code
  EXPECT_EQ(std::vector<uint8_t>(gif.GetPixels(), gif.GetPixels() + 4), expect);
}

TEST(GifDamaged, ZeroSizedFrameWritesNothing) {
  GifBuilder b(2, 2);
  b.Image(0, 0, 0, 5, LzwBlocks({1, 1, 1}, 2)).Image(0, 0, 2, 2, LzwBlocks({3, 3, 3, 3}, 2));
  b.Trailer();
  cGifImage gif;
  ASSERT_TRUE(b.LoadInto(&gif));
  ASSERT_EQ(gif.frameCount, 2u);
  uint32_t w = 9, h = 9;
  gif.GetFrameSize(&w, &h);
  EXPECT_EQ(w * h, 0u);
  EXPECT_TRUE(gif.frames[0]->pixels.empty());
  std::vector<uint32_t> texels(4, 0x12345678u);
  gif.PaintCurrentFrame(texels.data(), 8, false);
  for (uint32_t t : texels) EXPECT_EQ(t, 0x12345678u);
}

TEST(GifDamaged, FramePastTheScreenIsClipped) {
  // A 3 x 2 frame at (2, 1) on a 4 x 2 screen keeps its top-left 2 x 1 part.
  GifBuilder b(4, 2);
  b.Image(2, 1, 3, 2, LzwBlocks({1, 2, 3, 3, 3, 3}, 2)).Image(9, 9, 2, 2, LzwBlocks({1, 1, 1, 1}, 2));
  b.Trailer();
  cGifImage gif;
  ASSERT_TRUE(b.LoadInto(&gif));
  ASSERT_EQ(gif.frameCount, 2u);
  uint32_t left, top, w, h;
  gif.GetFrameOffset(&left, &top);
  gif.GetFrameSize(&w, &h);
  EXPECT_EQ(left, 2u);
  EXPECT_EQ(top, 1u);
  EXPECT_EQ(w, 2u);
  EXPECT_EQ(h, 1u);
  EXPECT_EQ(gif.GetPixels()[0], 1);
  EXPECT_EQ(gif.GetPixels()[1], 2);
  std::vector<uint32_t> texels(8, 0);
  gif.PaintCurrentFrame(texels.data(), 16, true);
  EXPECT_EQ(texels[6], 0xFFFF0000u);
  EXPECT_EQ(texels[7], 0xFF00FF00u);
  gif.currentFrame = 1;  // entirely off the screen: nothing left
  gif.GetFrameSize(&w, &h);
  EXPECT_EQ(w * h, 0u);
}

TEST(GifDamaged, GarbageLzwNeverWritesOutside) {
  for (int seed = 0; seed < 200; ++seed) {
    std::vector<uint8_t> lzw{uint8_t(seed % 9), 40};
    uint32_t x = seed * 2654435761u + 1;
    for (int i = 0; i < 40; ++i) x = x * 1103515245 + 12345, lzw.push_back(uint8_t(x >> 16));
    lzw.push_back(0);
    GifBuilder b(7, 5);
    b.Image(1, 1, 9, 9, lzw, uint8_t(seed & 0x40)).Trailer();
    cGifImage gif;
    ASSERT_TRUE(b.LoadInto(&gif));
    EXPECT_EQ(gif.frames[0]->pixels.size(), 6u * 4u);
  }
}

}  // namespace

namespace {

// Inputs the fuzzer once crashed on, decoded and painted frame by frame (run under the
// sanitizers to be meaningful).
TEST(GifDamaged, FuzzFindingsStaySafe) {
  const char* files[] = {"fuzz/gif/crash-empty-frame-paint.gif"};
  for (const char* file : files) {
    std::vector<uint8_t> bytes = ReadHostFile(DataPath(file));
    ASSERT_FALSE(bytes.empty()) << file;
    cGifImage gif;
    if (!gif.LoadFromMemory(bytes.data(), bytes.size())) continue;
    std::vector<uint32_t> texels(size_t(gif.width) * gif.height);
    for (uint32_t i = 0; i < gif.frameCount; ++i) {
      gif.currentFrame = i;
      gif.PaintCurrentFrame(texels.data(), size_t(gif.width) * 4, true);
    }
  }
}

}  // namespace
