// cTexture and cTextureManager on the GL device stand-in: loading every kind of picture (own
// decoders and D3DX), sizes and alpha, failed loads, the animated GIF step under a fake clock,
// and the cache's ids, names, counts, sweeps and default-pool purge.

#include <string>
#include <vector>

#include "graphics/gif_image.h"
#include "graphics/gl_2d_support.h"
#include "graphics/texture.h"
#include "graphics/texture_manager.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

DWORD g_now = 100000;
DWORD FakeNow() { return g_now; }

std::string Corpus(const char* file) { return ToProgramPath(CorpusPath(file)); }

class TextureTest : public gl2d::GraphicsTest {
 protected:
  void SetUp() override {
    gl2d::GraphicsTest::SetUp();
    g_now = 100000;
    SetTimeSourceForTesting(&FakeNow);
    ResetAnimationClockForTesting();
  }
  void TearDown() override {
    SetTimeSourceForTesting(nullptr);
    gl2d::GraphicsTest::TearDown();
  }
  // Level 0's texel (x, y).
  static uint32_t Texel(cTexture& t, uint32_t x, uint32_t y) {
    void* bits = nullptr;
    int pitch = 0;
    if (!t.Lock(D3DLOCK_READONLY, &bits, &pitch)) return 0xDEADBEEF;
    uint32_t v = reinterpret_cast<const uint32_t*>(static_cast<uint8_t*>(bits) + y * pitch)[x];
    t.Unlock();
    return v;
  }
  static uint32_t TextureWidth(cTexture& t) {
    D3DSURFACE_DESC desc{};
    t.d3dTexture->GetLevelDesc(0, &desc);
    return desc.Width;
  }
};

TEST(TextureNames, TypeFromExtension) {
  struct Case {
    const char* name;
    uint32_t type;
  } cases[] = {
      {"photo.JPG", kImageJpg}, {"photo.jpeg", kImageUnknown}, {"archive.tar.gz", kImageUnknown},
      {"ends.", kImageUnknown}, {"noext", kImageUnknown},      {"a.b\\c.TIFF", kImageTif},
      {"x.tif", kImageTif},     {"y.wbmp", kImageWbmp},        {"z.cur", kImageCur},
      {"p.pfm", kImagePfm},     {"q.ppm", kImagePpm},          {"dir.gif\\file", kImageUnknown},
      {"", kImageUnknown},      {nullptr, kImageUnknown},
  };
  for (const Case& c : cases) EXPECT_EQ(GetImageTypeFromName(c.name), c.type) << (c.name ? c.name : "null");
}

TEST_F(TextureTest, OwnDecodersGiveExactSizes) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  struct Case {
    const char* file;
    uint32_t type, width, height;
  } cases[] = {
      {"gif/hopper.gif", kImageGif, 128, 128},      {"wbmp/sample_640x426.wbmp", kImageWbmp, 640, 426},
      {"pcx/pil184.pcx", kImagePcx, 447, 144},      {"ico/python.ico", kImageIco, 48, 48},  // the largest entry
      {"cur/deerstalker.cur", kImageIco, 32, 32},   {"tiff/hopper.tif", kImageTif, 128, 128},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    cTexture t;
    ASSERT_TRUE(t.LoadFromFile(Corpus(c.file).c_str(), graphics_, D3DFMT_UNKNOWN, true));
    EXPECT_EQ(t.imageType, c.type);
    EXPECT_EQ(t.width, c.width);
    EXPECT_EQ(t.height, c.height);
    EXPECT_EQ(TextureWidth(t), c.width);  // no power-of-two rounding
    EXPECT_EQ(t.name, Corpus(c.file));
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(GetImageSize(Corpus(c.file).c_str(), &w, &h));
    EXPECT_EQ(w, c.width);
    EXPECT_EQ(h, c.height);
  }
}

TEST_F(TextureTest, D3DXPathRoundsToPowersOfTwoAndScansAlpha) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  cTexture t;
  ASSERT_TRUE(t.LoadFromFile(Corpus("png/pil123rgba.png").c_str(), graphics_, D3DFMT_UNKNOWN, true));
  EXPECT_EQ(t.imageType, kImagePng);
  EXPECT_EQ(t.width, 162u);
  EXPECT_EQ(t.height, 150u);
  EXPECT_EQ(TextureWidth(t), 256u);
  EXPECT_EQ(t.format, D3DFMT_A8R8G8B8);
  EXPECT_TRUE(t.hasAlpha);
  cTexture skin;  // skins: A8R8G8B8, own size
  ASSERT_TRUE(skin.LoadFromFile(Corpus("jpeg/hopper.jpg").c_str(), graphics_, D3DFMT_A8R8G8B8, false));
  EXPECT_EQ(TextureWidth(skin), 128u);
  EXPECT_EQ(skin.imageType, kImageJpg);
  EXPECT_FALSE(skin.hasAlpha);
  // A format the device refuses is retried with the file's own.
  cTexture retried;
  ASSERT_TRUE(retried.LoadFromFile(Corpus("jpeg/hopper.jpg").c_str(), graphics_, D3DFMT_DXT1, true));
  EXPECT_EQ(retried.format, D3DFMT_X8R8G8B8);
  uint32_t w = 0, h = 0;
  EXPECT_TRUE(GetImageSize(Corpus("png/pil123rgba.png").c_str(), &w, &h));
  EXPECT_EQ(w, 162u);
}

TEST_F(TextureTest, FailedLoadsLeaveTheTextureEmpty) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  const char* files[] = {"\\no\\such.png", "\\no\\such.gif", "png/truncated_image.png",
                         "cur/no_cursors.cur", "pcx/ossfuzz-4836216264589312.pcx"};
  for (const char* file : files) {
    std::string path = file[0] == '\\' ? file : Corpus(file);
    cTexture t;
    ASSERT_TRUE(t.LoadFromFile(Corpus("gif/hopper.gif").c_str(), graphics_, D3DFMT_UNKNOWN, true));
    EXPECT_FALSE(t.LoadFromFile(path.c_str(), graphics_, D3DFMT_UNKNOWN, true)) << file;
    EXPECT_EQ(t.d3dTexture, nullptr) << file;
    EXPECT_EQ(t.gif, nullptr) << file;
    EXPECT_EQ(t.width, 0u);
    EXPECT_EQ(t.name, path);  // the name is kept even so
  }
  cTexture t;
  EXPECT_FALSE(t.LoadFromFile(nullptr, graphics_, D3DFMT_UNKNOWN, true));
  EXPECT_FALSE(t.LoadFromFile(Corpus("gif/hopper.gif").c_str(), nullptr, D3DFMT_UNKNOWN, true));
}

// An icon whose bitmap has a bit depth no converter handles (3 bits) is refused: its texels
// would otherwise be uploaded uninitialised.
TEST_F(TextureTest, IconOfUnhandledDepthIsRefused) {
  std::vector<uint8_t> ico = {0, 0, 1, 0, 1, 0,                       // icon, one entry
                              2, 2, 0, 0, 1, 0, 3, 0, 64, 0, 0, 0, 22, 0, 0, 0};  // 2x2, 3 bits
  uint8_t header[40] = {40, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 1, 0, 3, 0};
  ico.insert(ico.end(), header, header + 40);
  ico.resize(ico.size() + 24, 0x55);
  std::string host = MakeTempFolder("texture_icon") + "/three_bits.ico";
  FILE* f = std::fopen(host.c_str(), "wb");
  std::fwrite(ico.data(), 1, ico.size(), f);
  std::fclose(f);
  cTexture t;
  EXPECT_FALSE(t.LoadFromFile(ToProgramPath(host).c_str(), graphics_, D3DFMT_UNKNOWN, true));
  EXPECT_EQ(t.d3dTexture, nullptr);
}

TEST_F(TextureTest, DrawTextureRefusesEmptyRectangles) {
  cTexture empty;
  RECT dest{0, 0, 10, 10};
  EXPECT_FALSE(DrawTexture(empty, &dest, nullptr, 0xFFFFFFFF));
  cTexture t;
  ASSERT_TRUE(t.CreateEmpty(graphics_, 8, 8, D3DFMT_A8R8G8B8, 0, D3DPOOL_MANAGED));
  RECT flat{5, 5, 5, 20};
  EXPECT_FALSE(DrawTexture(t, &flat, nullptr, 0xFFFFFFFF));
  EXPECT_FALSE(DrawTexture(t, nullptr, nullptr, 0xFFFFFFFF));
  RECT source{0, 0, 0, 4};
  EXPECT_FALSE(DrawTexture(t, &dest, &source, 0xFFFFFFFF));
  EXPECT_TRUE(DrawTexture(t, &dest, nullptr, 0xFFFFFFFF));
}

TEST_F(TextureTest, AnimatedGifStepsAfterItsDelay) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  cTexture t;
  ASSERT_TRUE(t.LoadFromFile(Corpus("gif/dispose_bgnd.gif").c_str(), graphics_, D3DFMT_UNKNOWN, true));
  ASSERT_NE(t.gif, nullptr);
  ASSERT_EQ(t.gif->frameCount, 5u);
  DWORD wait = t.gif->delay + 100;
  AdvanceAnimatedGif(t);  // starts the clock
  EXPECT_EQ(t.gif->currentFrame, 0u);
  g_now += wait - 1;
  AdvanceAnimatedGif(t);
  EXPECT_EQ(t.gif->currentFrame, 0u);
  g_now += 1;
  AdvanceAnimatedGif(t);
  EXPECT_EQ(t.gif->currentFrame, 1u);
  for (int i = 0; i < 4; ++i) g_now += wait, AdvanceAnimatedGif(t);
  EXPECT_EQ(t.gif->currentFrame, 0u);  // wrapped after the last frame
  // The texture shows frame 0 again, painted over the background.
  std::vector<uint32_t> expect(size_t(t.gif->width) * t.gif->height);
  t.gif->PaintCurrentFrame(expect.data(), t.gif->width * 4, true);
  EXPECT_EQ(Texel(t, 50, 50), expect[50 * t.gif->width + 50]);
  // A single-frame GIF never steps.
  cTexture still;
  ASSERT_TRUE(still.LoadFromFile(Corpus("gif/hopper.gif").c_str(), graphics_, D3DFMT_UNKNOWN, true));
  g_now += 100000;
  AdvanceAnimatedGif(still);
  EXPECT_EQ(still.gif->currentFrame, 0u);
}

class TextureCacheTest : public TextureTest {
 protected:
  cTextureManager cache;
};

TEST_F(TextureCacheTest, SameFileSameIdAndCounts) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  std::string file = Corpus("gif/hopper.gif");
  uint32_t a = cache.LoadTexture(graphics_, file.c_str(), D3DFMT_UNKNOWN, true);
  uint32_t b = cache.LoadTexture(graphics_, file.c_str(), D3DFMT_UNKNOWN, true);
  EXPECT_EQ(a, 2000u);
  EXPECT_EQ(a, b);
  EXPECT_EQ(cache.GetTexture(a)->refCount, 2);
  EXPECT_EQ(cache.bytesInUse, 4 * 128 * 128 + 96);
  EXPECT_EQ(cache.AddRef(a), a);
  EXPECT_EQ(cache.AddRef(9999), 9999u);
  cache.Release(a);
  cache.Release(a);
  cache.Release(a);
  cache.Release(a);
  EXPECT_EQ(cache.GetTexture(a)->refCount, -1);
  EXPECT_EQ(cache.LoadTexture(graphics_, "\\no\\such.png", D3DFMT_UNKNOWN, true), 0u);
  EXPECT_EQ(cache.LoadTexture(graphics_, "", D3DFMT_UNKNOWN, true), 0u);
  EXPECT_EQ(cache.textures.size(), 1u);
  EXPECT_EQ(cache.GetTexture(0), nullptr);
  cache.RemoveTexture(a);
  EXPECT_EQ(cache.bytesInUse, 0);
  EXPECT_TRUE(cache.names.empty());
  EXPECT_EQ(cache.GetTexture(a), nullptr);
}

TEST_F(TextureCacheTest, SweepRemovesIdleUnreferencedTextures) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  uint32_t idle = cache.LoadTexture(graphics_, Corpus("gif/hopper.gif").c_str(), D3DFMT_UNKNOWN, true);
  uint32_t drawn = cache.LoadTexture(graphics_, Corpus("jpeg/hopper.jpg").c_str(), D3DFMT_UNKNOWN, true);
  uint32_t held = cache.LoadTexture(graphics_, Corpus("png/hopper.png").c_str(), D3DFMT_UNKNOWN, true);
  cache.Release(idle);
  cache.Release(drawn);
  cache.lastSweep = g_now;
  g_now += 5001;
  cache.GetTexture(drawn);  // drawn again: its idle time starts over
  g_now += 5000;            // 10001 ms since the last sweep: due
  cache.Sweep();
  EXPECT_EQ(cache.GetTexture(idle), nullptr);   // idle 10001 ms
  EXPECT_NE(cache.GetTexture(drawn), nullptr);  // idle 5000 ms only
  EXPECT_NE(cache.GetTexture(held), nullptr);   // still referenced
  g_now += 6000;  // not due again yet
  cache.Sweep();
  EXPECT_NE(cache.GetTexture(drawn), nullptr);
}

TEST_F(TextureCacheTest, NamedTexturesAndDeviceLoss) {
  if (!HaveCorpus()) GTEST_SKIP() << "no corpus";
  uint32_t target = cache.CreateNamedTexture("OffScreenImage", 64, 32, D3DFMT_UNKNOWN, D3DUSAGE_RENDERTARGET);
  ASSERT_NE(target, 0u);
  cTexture* t = cache.GetTexture(target);
  EXPECT_EQ(t->format, D3DFMT_A8R8G8B8);
  EXPECT_EQ(t->name, "OffScreenImage");
  // The cached name wins over the new size.
  EXPECT_EQ(cache.CreateNamedTexture("OffScreenImage", 128, 128, D3DFMT_UNKNOWN, 1), target);
  EXPECT_EQ(cache.GetTexture(target)->width, 64u);
  uint32_t managed = cache.CreateNamedTexture("OffScreen", 16, 16, D3DFMT_X8R8G8B8, 0);
  uint32_t picture = cache.LoadTexture(graphics_, Corpus("gif/hopper.gif").c_str(), D3DFMT_UNKNOWN, true);
  cache.PurgeDefaultPool();
  EXPECT_EQ(cache.GetTexture(target), nullptr);
  EXPECT_NE(cache.GetTexture(managed), nullptr);
  EXPECT_NE(cache.GetTexture(picture), nullptr);
  EXPECT_EQ(cache.FindByName("OffScreenImage"), 0u);
  cache.RemoveTexture(managed);
  cache.RemoveTexture(picture);
  EXPECT_EQ(cache.bytesInUse, 0);
  EXPECT_EQ(cache.CreateNamedTexture(nullptr, 1, 1, D3DFMT_UNKNOWN, 0), 0u);
}

TEST_F(TextureCacheTest, IdsWrapBackTo2000SkippingUsedOnes) {
  uint32_t a = cache.CreateNamedTexture("a", 4, 4, D3DFMT_UNKNOWN, 0);
  EXPECT_EQ(a, 2000u);
  cache.nextId = 0xFFFFFFFFu;
  EXPECT_EQ(cache.CreateNamedTexture("b", 4, 4, D3DFMT_UNKNOWN, 0), 0xFFFFFFFFu);
  EXPECT_EQ(cache.CreateNamedTexture("c", 4, 4, D3DFMT_UNKNOWN, 0), 2001u);  // 2000 is in use
}

TEST_F(TextureCacheTest, LimitModeSweepsBySize) {
  uint32_t ids[4];
  for (int i = 0; i < 4; ++i) {
    ids[i] = cache.CreateNamedTexture(std::string(1, char('a' + i)).c_str(), 16, 16, D3DFMT_UNKNOWN, 0);
  }
  int32_t share = 4 * 16 * 16 + 96;
  cache.Release(ids[0]);
  cache.Release(ids[1]);
  cache.Release(ids[2]);
  cache.limitMode = 1;
  cache.byteLimit = 4 * share;
  cache.Sweep();  // removes unreferenced ones until at most half the limit
  EXPECT_EQ(cache.GetTexture(ids[0]), nullptr);
  EXPECT_EQ(cache.GetTexture(ids[1]), nullptr);
  EXPECT_NE(cache.GetTexture(ids[2]), nullptr);
  EXPECT_NE(cache.GetTexture(ids[3]), nullptr);
  EXPECT_EQ(cache.bytesInUse, 2 * share);
}

}  // namespace
