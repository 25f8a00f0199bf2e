// cGraphics' 2D drawing on the GL device: outlines, fills, circles and textured rectangles land
// on exact pixels; the 2D transform moves them; the shared sprite batch nests; state blocks
// restore; and a test scene matches its golden picture.
#include <cmath>
#include <cstdlib>
#include <string>

#include "graphics/font.h"
#include "support/gl_test_support.h"
#include "support/test_support.h"
#include "gl_2d_support.h"

namespace {

using gl2d::GraphicsTest;
using gl2d::InkBox;
constexpr uint32_t kBlack = 0xFF000000;

class Graphics2DTest : public GraphicsTest {
 protected:
  template <typename Draw>
  std::vector<uint32_t> Frame(D3DCOLOR clear, Draw draw) {
    EXPECT_TRUE(graphics_->BeginFrame(clear));
    draw();
    EXPECT_TRUE(graphics_->EndFrame(false));
    return ReadBackBuffer();
  }
};

TEST_F(Graphics2DTest, RectOutlineCoversItsEdgesInclusively) {
  const auto pixels = Frame(kBlack, [&] { graphics_->DrawRectOutline(0xFFFF0000, 10, 10, 20, 15); });
  for (int x = 10; x <= 20; ++x) {
    EXPECT_EQ(Rgb(pixels, x, 10), 0xFF0000u) << x;
    EXPECT_EQ(Rgb(pixels, x, 15), 0xFF0000u) << x;
  }
  for (int y = 10; y <= 15; ++y) {
    EXPECT_EQ(Rgb(pixels, 10, y), 0xFF0000u) << y;
    EXPECT_EQ(Rgb(pixels, 20, y), 0xFF0000u) << y;
  }
  const InkBox ink = FindInk(pixels, kBlack);
  EXPECT_EQ(ink.left, 10);
  EXPECT_EQ(ink.top, 10);
  EXPECT_EQ(ink.right, 20);
  EXPECT_EQ(ink.bottom, 15);
  EXPECT_EQ(Rgb(pixels, 15, 12), 0u);
  // Corners in any order give the same rectangle.
  const auto swapped = Frame(kBlack, [&] { graphics_->DrawRectOutline(0xFFFF0000, 20, 15, 10, 10); });
  EXPECT_EQ(swapped, pixels);
}

TEST_F(Graphics2DTest, FillRectCoversBothCornersColumns) {
  const auto pixels = Frame(kBlack, [&] { graphics_->FillRect(0xFF00FF00, 40, 20, 30, 10); });
  for (int y = 10; y <= 20; ++y) {
    for (int x = 30; x <= 40; ++x) EXPECT_EQ(Rgb(pixels, x, y), 0x00FF00u) << x << "," << y;
  }
  const InkBox ink = FindInk(pixels, kBlack);
  EXPECT_EQ(ink.left, 30);
  EXPECT_EQ(ink.top, 10);
  EXPECT_EQ(ink.right, 40);
  EXPECT_EQ(ink.bottom, 20);
  // A degenerate rectangle is one pixel; lines are drawn as lists of segments.
  const auto dot = Frame(kBlack, [&] { graphics_->FillRect(0xFF00FF00, 5, 5, 5, 5); });
  const InkBox one = FindInk(dot, kBlack);
  EXPECT_EQ(one.left, 5);
  EXPECT_EQ(one.right, 5);
  EXPECT_EQ(one.top, 5);
  EXPECT_EQ(one.bottom, 5);
  const sLineSegment2D lines[2] = {{0, 30, 9, 30}, {50, 0, 50, 9}};
  const auto drawn = Frame(kBlack, [&] { graphics_->DrawLines(0xFFFFFFFF, lines, 2); });
  EXPECT_EQ(Rgb(drawn, 0, 30), 0xFFFFFFu);
  EXPECT_EQ(Rgb(drawn, 9, 30), 0xFFFFFFu);
  EXPECT_EQ(Rgb(drawn, 10, 30), 0u);
  EXPECT_EQ(Rgb(drawn, 50, 9), 0xFFFFFFu);
  graphics_->DrawLines(0xFFFFFFFF, nullptr, 3);  // nothing, no crash
}

TEST_F(Graphics2DTest, CircleErasesARingOfPoints) {
  // Circles plot transparent black: they show with blending off, as where they erase.
  const auto pixels = Frame(0xFFFFFFFF, [&] {
    graphics_->device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    graphics_->DrawCircle(10, 100, 50);
  });
  int ringPixels = 0;
  for (int y = 30; y < 70; ++y) {
    for (int x = 80; x < 120; ++x) {
      if (Rgb(pixels, x, y) != 0u) continue;
      ++ringPixels;
      const double distance = std::hypot(x - 100.0, y - 50.0);
      EXPECT_NEAR(distance, 10.0, 0.75) << x << "," << y;
    }
  }
  EXPECT_GT(ringPixels, 50);
  for (auto [x, y] : {std::pair{110, 50}, {90, 50}, {100, 40}, {100, 60}}) {
    EXPECT_EQ(Rgb(pixels, x, y), 0u) << x << "," << y;
  }
  EXPECT_EQ(Rgb(pixels, 100, 50), 0xFFFFFFu);

  // Radius 0 is the centre alone; a negative radius draws nothing.
  const auto dot = Frame(0xFFFFFFFF, [&] {
    graphics_->device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    graphics_->DrawCircle(0, 7, 9);
    graphics_->DrawCircle(-3, 50, 50);
  });
  const InkBox one = FindInk(dot, 0xFFFFFFFF);
  EXPECT_EQ(one.left, 7);
  EXPECT_EQ(one.right, 7);
  EXPECT_EQ(one.top, 9);
  EXPECT_EQ(one.bottom, 9);

  // A large circle needs more than one list of 500 points.
  d3d9gl::ResetCallCounts();
  Frame(0xFFFFFFFF, [&] { graphics_->DrawCircle(200, 160, 120); });
  EXPECT_GT(d3d9gl::GetCallCounts().draw, 1);
}

TEST_F(Graphics2DTest, TexturedRectanglesMapTexelsToPixels) {
  // 4 x 4 texels: red, green / blue, white quadrants of 2 x 2.
  std::vector<uint32_t> texels(16);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      texels[y * 4 + x] = y < 2 ? (x < 2 ? 0xFFFF0000 : 0xFF00FF00) : (x < 2 ? 0xFF0000FF : 0xFFFFFFFF);
    }
  }
  cTexture texture;
  FillTexture(&texture, 4, 4, texels);
  const auto pixels = Frame(kBlack, [&] {
    graphics_->DrawTexturedRect(&texture, 0xFFFFFFFF, 50, 100, 54, 104);   // texel exact
    graphics_->DrawTexturedRect(&texture, 0xFFFFFFFF, 60, 100, 68, 108);   // doubled
    const RECT dest{80, 100, 84, 104};
    const RECT source{2, 0, 4, 2};  // the green quadrant, stretched
    graphics_->DrawTexturedRectPart(&dest, &source, &texture, 0xFFFFFFFF);
    graphics_->DrawTexturedRectPart(&texture, 90.f, 100.f, 92.f, 102.f, 0.f, 2.f, 2.f, 4.f,
                                    0xFF808080);  // blue quadrant, half intensity
    graphics_->DrawTexturedRect(nullptr, 0xFFFFFFFF, 0, 0, 10, 10);  // nothing
  });
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(Rgb(pixels, 50 + x, 100 + y), texels[y * 4 + x] & 0xFFFFFF) << x << "," << y;
    }
  }
  EXPECT_EQ(Rgb(pixels, 49, 100), 0u);
  EXPECT_EQ(Rgb(pixels, 54, 100), 0u);
  EXPECT_EQ(Rgb(pixels, 50, 104), 0u);
  // Inside the doubled copy's corner quadrants (its edges blend with the wrapped texels).
  EXPECT_EQ(Rgb(pixels, 61, 101), 0xFF0000u);
  EXPECT_EQ(Rgb(pixels, 66, 106), 0xFFFFFFu);
  EXPECT_EQ(Rgb(pixels, 68, 100), 0u);
  EXPECT_EQ(Rgb(pixels, 81, 101), 0x00FF00u);
  EXPECT_EQ(Rgb(pixels, 84, 101), 0u);
  const uint32_t halfBlue = Rgb(pixels, 90, 100);
  EXPECT_NEAR(static_cast<int>(halfBlue & 0xFF), 128, 2);
  EXPECT_EQ(halfBlue & 0xFFFF00, 0u);
  EXPECT_TRUE(FindInk(pixels, kBlack).left >= 50);

  // A texture without texels is refused.
  cTexture empty;
  empty.d3dTexture = texture.d3dTexture;
  empty.d3dTexture->AddRef();
  const auto nothing = Frame(kBlack, [&] {
    graphics_->DrawTexturedRectPart(&empty, 0.f, 0.f, 10.f, 10.f, 0.f, 0.f, 1.f, 1.f, 0xFFFFFFFF);
  });
  EXPECT_TRUE(FindInk(nothing, kBlack).empty());
}

TEST_F(Graphics2DTest, TransformMovesEverythingDrawnAfterIt) {
  sMatrix4 move{};
  move.m00 = move.m11 = move.m22 = move.m33 = 1.0f;
  move.m30 = 100.0f;
  move.m31 = 50.0f;
  graphics_->SetTransform2D(&move);
  EXPECT_TRUE(graphics_->transformActive);
  const auto pixels = Frame(kBlack, [&] { graphics_->FillRect(0xFFFFFFFF, 0, 0, 4, 4); });
  const InkBox ink = FindInk(pixels, kBlack);
  EXPECT_EQ(ink.left, 100);
  EXPECT_EQ(ink.top, 50);
  EXPECT_EQ(ink.right, 104);
  EXPECT_EQ(ink.bottom, 54);

  sMatrix4 identity{};
  identity.m00 = identity.m11 = identity.m22 = identity.m33 = 1.0f;
  graphics_->SetTransform2D(&identity);
  EXPECT_FALSE(graphics_->transformActive);
  const InkBox back = FindInk(Frame(kBlack, [&] { graphics_->FillRect(0xFFFFFFFF, 0, 0, 4, 4); }), kBlack);
  EXPECT_EQ(back.left, 0);
  EXPECT_EQ(back.top, 0);
}

TEST_F(Graphics2DTest, SpriteBatchNestsAndReadsLightingBack) {
  ASSERT_TRUE(graphics_->BeginFrame(kBlack));
  EXPECT_TRUE(graphics_->BeginSprite());
  EXPECT_FALSE(graphics_->lightingOn);  // the sprite turns lighting off while it is open
  EXPECT_TRUE(graphics_->BeginSprite());
  EXPECT_TRUE(graphics_->BeginSprite());
  EXPECT_EQ(graphics_->spriteDepth, 3);
  EXPECT_EQ(graphics_->sprite->Begin(0), D3DERR_INVALIDCALL);  // begun once only
  EXPECT_TRUE(graphics_->EndSprite());
  EXPECT_TRUE(graphics_->EndSprite());
  EXPECT_EQ(graphics_->sprite->Flush(), D3D_OK);  // still open
  EXPECT_TRUE(graphics_->EndSprite());
  EXPECT_EQ(graphics_->spriteDepth, 0);
  EXPECT_TRUE(graphics_->lightingOn);
  EXPECT_EQ(graphics_->sprite->Flush(), D3DERR_INVALIDCALL);  // ended
  // An extra EndSprite ends the sprite again (which fails) and keeps the depth at 0.
  EXPECT_FALSE(graphics_->EndSprite());
  EXPECT_EQ(graphics_->spriteDepth, 0);
  EXPECT_TRUE(graphics_->EndFrame(false));
}

TEST_F(Graphics2DTest, SaveAndRestoreStates) {
  EXPECT_FALSE(graphics_->RestoreStates());
  ASSERT_TRUE(graphics_->SaveStates());
  graphics_->SetCullMode(1);
  EXPECT_EQ(graphics_->GetCullMode(), 1);
  EXPECT_TRUE(graphics_->RestoreStates());
  EXPECT_EQ(graphics_->GetCullMode(), 3);
  EXPECT_FALSE(graphics_->RestoreStates());
}

// [SCENE] -------------------------------------------------------------------------------------
// A few pixels of glyph edges may differ more between FreeType builds.
constexpr testing_support::GoldenTolerance kGoldenTolerance{3, 40};

TEST_F(Graphics2DTest, TestSceneMatchesItsGoldenPicture) {
  cFont song;
  cFont arial;
  cFont bold;
  ASSERT_TRUE(song.Create(14, false, Utf8ToCp936("宋体").c_str()));
  ASSERT_TRUE(arial.Create(14, false, "Arial"));
  ASSERT_TRUE(bold.Create(30, true, Utf8ToCp936("宋体").c_str()));
  std::vector<uint32_t> checker(64);
  for (int i = 0; i < 64; ++i) checker[i] = ((i / 8 + i % 8) % 2) ? 0xFFFFC040 : 0xFF4060C0;
  cTexture texture;
  FillTexture(&texture, 8, 8, checker);

  ASSERT_TRUE(graphics_->BeginFrame(0xFF202830));
  graphics_->FillRect(0xFF305070, 10, 10, 150, 60);
  graphics_->DrawRectOutline(0xFFFFFFFF, 10, 10, 150, 60);
  graphics_->DrawCircle(25, 220, 50);  // transparent black: nothing shows with blending on
  graphics_->device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  graphics_->DrawCircle(25, 220, 50);
  graphics_->device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  graphics_->DrawTexturedRect(&texture, 0xFFFFFFFF, 260, 20, 308, 68);
  const sLineSegment2D lines[3] = {{10, 80, 310, 80}, {10, 85, 310, 95}, {160, 10, 160, 70}};
  graphics_->DrawLines(0xFFFFC000, lines, 3);
  graphics_->BeginSprite();
  song.DrawTextAt(Utf8ToCp936("欢迎使用看图软件").c_str(), 14, 16, 132, 40,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE, 0xFFFFFFFF);
  arial.DrawTextAt("Image Viewer 1.0 - AbCd", 10, 100, 0, 0, DT_LEFT, 0xFFE0E0E0);
  bold.DrawTextAt(Utf8ToCp936("专题 收藏 历史").c_str(), 10, 130, 300, 40, DT_LEFT, 0xFFFF8040);
  song.DrawTextAt(Utf8ToCp936("右对齐").c_str(), 10, 180, 300, 20, DT_RIGHT, 0xFF80FF80);
  graphics_->EndSprite();
  ASSERT_TRUE(graphics_->EndFrame(false));

  // Written where a person can look at it.
  ASSERT_TRUE(graphics_->SaveScreenshot("gl_2d_scene.png", D3DXIFF_PNG));
  const std::vector<uint8_t> written = testing_support::ReadHostFile("gl_2d_scene.png");
  DecodedImage scene;
  ASSERT_TRUE(DecodeImageFromMemory(written.data(), written.size(), &scene));

  testing_support::ExpectMatchesGolden("gl_2d_scene.png", scene.argb, int(scene.width),
                                       int(scene.height), kGoldenTolerance);
}

}  // namespace
