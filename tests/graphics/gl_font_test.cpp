// cFont through the graphics object: creation, measuring, drawing in and out of the shared
// sprite batch, the target-size defaults, and device loss and reset.
#include "graphics/font.h"

#include <string>

#include "gl_2d_support.h"

namespace {

using gl2d::GraphicsTest;
using gl2d::InkBox;
constexpr uint32_t kBlack = 0xFF000000;

using FontTest = GraphicsTest;

TEST_F(FontTest, CreateNeedsGraphicsAndAFaceName) {
  cFont font;
  EXPECT_FALSE(font.Create(14, false, nullptr));
  cGraphics* saved = Graphics;
  Graphics = nullptr;
  EXPECT_FALSE(font.Create(14, false, "Arial"));
  Graphics = saved;
  ASSERT_TRUE(font.Create(14, false, "Arial"));
  EXPECT_EQ(font.graphics, graphics_);
  // A second Create replaces the font and stays registered once.
  ASSERT_TRUE(font.Create(18, true, "Arial"));
  EXPECT_FALSE(graphics_->AddDeviceListener(true, &font));
  EXPECT_FALSE(graphics_->AddDeviceListener(false, &font));
  D3DXFONT_DESCA desc{};
  font.font->GetDescA(&desc);
  EXPECT_EQ(desc.Height, 18);
  EXPECT_EQ(desc.Weight, UINT(FW_BOLD));
  EXPECT_EQ(desc.Quality, BYTE(ANTIALIASED_QUALITY));

  cFont longName;
  const std::string forty(40, 'x');
  ASSERT_TRUE(longName.Create(12, false, forty.c_str()));
  longName.font->GetDescA(&desc);
  EXPECT_EQ(std::string(desc.FaceName), forty.substr(0, 31));
}

TEST_F(FontTest, MeasureTextCountsBytes) {
  cFont font;
  int width = -1, height = -1;
  EXPECT_FALSE(font.MeasureText("abc", 3, &width, &height));  // no font yet
  EXPECT_EQ(width, 0);
  EXPECT_EQ(height, 0);
  ASSERT_TRUE(font.Create(12, false, Utf8ToCp936("宋体").c_str()));
  width = height = -1;
  EXPECT_FALSE(font.MeasureText(nullptr, 3, &width, &height));
  EXPECT_EQ(width, 0);
  EXPECT_EQ(height, 0);
  EXPECT_TRUE(font.MeasureText("abc", 0, &width, &height));
  EXPECT_EQ(width, 0);
  EXPECT_EQ(height, 0);

  const std::string text = Utf8ToCp936("AbCd中文");
  ASSERT_TRUE(font.MeasureText(text.c_str(), 4, &width, &height));
  SIZE size{};
  ASSERT_TRUE(GetTextExtentPoint32A(font.font->GetDC(), "AbCd", 4, &size));
  EXPECT_EQ(width, size.cx);
  EXPECT_EQ(height, 12);
  int whole = 0;
  ASSERT_TRUE(font.MeasureText(text.c_str(), static_cast<int>(text.size()), &whole, &height));
  EXPECT_EQ(whole, width + 24);  // two ideographs of one em each
  // A failed measurement leaves the outputs as they were.
  width = height = 77;
  EXPECT_FALSE(font.MeasureText("abc", -1, &width, &height));
  EXPECT_EQ(width, 77);
  EXPECT_EQ(height, 77);
}

TEST_F(FontTest, ZeroSizeReachesTheTargetEdges) {
  cFont font;
  ASSERT_TRUE(font.Create(14, false, "Arial"));
  ASSERT_TRUE(graphics_->BeginFrame(kBlack));
  EXPECT_TRUE(font.DrawTextAt("Edge", 10, 20, 0, 0, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE, 0xFFFFFFFF));
  ASSERT_TRUE(graphics_->EndFrame(false));
  int width = 0, height = 0;
  font.MeasureText("Edge", 4, &width, &height);
  const InkBox ink = FindInk(ReadBackBuffer(), kBlack);
  ASSERT_FALSE(ink.empty());
  // The box is (10, 20, 320, 240): the text ends at the target's right and bottom edges.
  EXPECT_LE(ink.right, gl2d::kWidth - 1);
  EXPECT_GE(ink.right, gl2d::kWidth - 4);
  EXPECT_LE(ink.bottom, gl2d::kHeight - 1);
  EXPECT_GE(ink.top, gl2d::kHeight - height);
  EXPECT_GE(ink.left, gl2d::kWidth - width);
}

TEST_F(FontTest, DrawingJoinsAnOpenBatchWithoutEndingIt) {
  cFont font;
  ASSERT_TRUE(font.Create(14, false, Utf8ToCp936("宋体").c_str()));
  ASSERT_TRUE(graphics_->BeginFrame(kBlack));
  ASSERT_TRUE(graphics_->BeginSprite());
  EXPECT_TRUE(font.DrawTextAt(Utf8ToCp936("批量").c_str(), 20, 20, 100, 20, DT_LEFT, 0xFFFFFFFF));
  EXPECT_EQ(graphics_->spriteDepth, 1);
  EXPECT_EQ(graphics_->sprite->Flush(), D3D_OK);  // still begun
  EXPECT_FALSE(FindInk(ReadBackBuffer(), kBlack).empty());  // flushed text is on the target

  // Text queued before a textured rectangle lands beneath it.
  cTexture red;
  FillTexture(&red, 1, 1, {0xFFFF0000});
  EXPECT_TRUE(font.DrawTextAt(Utf8ToCp936("下面").c_str(), 20, 60, 100, 20, DT_LEFT, 0xFFFFFFFF));
  graphics_->DrawTexturedRect(&red, 0xFFFFFFFF, 10, 55, 150, 85);
  ASSERT_TRUE(graphics_->EndSprite());
  ASSERT_TRUE(graphics_->EndFrame(false));
  const auto pixels = ReadBackBuffer();
  for (int y = 55; y < 85; ++y) {
    for (int x = 10; x < 150; ++x) ASSERT_EQ(Rgb(pixels, x, y), 0xFF0000u) << x << "," << y;
  }

  // Outside a batch the font opens and closes one of its own.
  ASSERT_TRUE(graphics_->BeginFrame(kBlack));
  EXPECT_TRUE(font.DrawTextAt(Utf8ToCp936("单独").c_str(), 20, 20, 100, 20, DT_LEFT, 0xFFFFFFFF));
  EXPECT_EQ(graphics_->spriteDepth, 0);
  EXPECT_EQ(graphics_->sprite->Flush(), D3DERR_INVALIDCALL);
  ASSERT_TRUE(graphics_->EndFrame(false));
  EXPECT_FALSE(FindInk(ReadBackBuffer(), kBlack).empty());

  // Nothing to draw, or nothing to draw with: false.
  EXPECT_FALSE(font.DrawTextAt("", 0, 0, 10, 10, DT_LEFT, 0xFFFFFFFF));
  EXPECT_FALSE(font.DrawTextInRect("abc", nullptr, DT_LEFT, 0xFFFFFFFF));
  cFont none;
  EXPECT_FALSE(none.DrawTextAt("abc", 0, 0, 10, 10, DT_LEFT, 0xFFFFFFFF));
}

TEST_F(FontTest, FormattedTextIsCutAt511Bytes) {
  cFont font;
  ASSERT_TRUE(font.Create(12, false, "Arial"));
  const std::string longText(600, 'i');
  ASSERT_TRUE(graphics_->BeginFrame(kBlack));
  const RECT rect{0, 0, 100000, 20};
  // The cut keeps the draw working; the text itself ends at byte 511.
  EXPECT_TRUE(font.DrawTextFormatted(&rect, DT_LEFT | DT_NOCLIP, 0xFFFFFFFF, "%s", longText.c_str()));
  EXPECT_TRUE(font.DrawTextFormatted(&rect, DT_LEFT, 0xFFFFFFFF, "%d/%d", 3, 7));
  ASSERT_TRUE(graphics_->EndFrame(false));
  EXPECT_FALSE(font.DrawTextFormatted(nullptr, DT_LEFT, 0xFFFFFFFF, "%d", 1));
}

TEST_F(FontTest, FollowsDeviceLossAndReset) {
  cFont font;
  ASSERT_TRUE(font.Create(14, false, Utf8ToCp936("宋体").c_str()));
  const std::string text = Utf8ToCp936("设备丢失");
  auto draw = [&] {
    EXPECT_TRUE(font.DrawTextAt(text.c_str(), 20, 20, 200, 20, DT_LEFT, 0xFFFFFFFF));
  };
  ASSERT_TRUE(graphics_->BeginFrame(kBlack));
  draw();
  ASSERT_TRUE(graphics_->EndFrame(false));
  const InkBox before = FindInk(ReadBackBuffer(), kBlack);
  ASSERT_FALSE(before.empty());

  // Lost for one check, then resettable: the graphics object tells the font on both sides.
  d3d9gl::ForceDeviceLoss(1);
  graphics_->Present();
  EXPECT_TRUE(graphics_->deviceLost);
  EXPECT_FALSE(graphics_->BeginFrame(kBlack));
  ASSERT_TRUE(graphics_->BeginFrame(kBlack));
  EXPECT_FALSE(graphics_->deviceLost);
  draw();
  ASSERT_TRUE(graphics_->EndFrame(false));
  const InkBox after = FindInk(ReadBackBuffer(), kBlack);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  EXPECT_EQ(after.right, before.right);
  EXPECT_EQ(after.bottom, before.bottom);

  // Resize takes the same path.
  EXPECT_TRUE(graphics_->Resize());
  EXPECT_TRUE(font.OnLostDevice());
  EXPECT_TRUE(font.OnResetDevice());
}

TEST_F(FontTest, DestroyedFontLeavesBothListenerLists) {
  auto* font = new cFont;
  ASSERT_TRUE(font->Create(14, false, "Arial"));
  delete font;
  // A font made after it registers anew; the lists hold nothing stale.
  cFont other;
  ASSERT_TRUE(other.Create(14, false, "Arial"));
  EXPECT_TRUE(graphics_->NotifyLost());
  EXPECT_TRUE(graphics_->NotifyReset());
  EXPECT_TRUE(graphics_->RemoveLostListener(&other));
  EXPECT_TRUE(graphics_->RemoveResetListener(&other));
  EXPECT_FALSE(graphics_->RemoveLostListener(&other));
  ASSERT_TRUE(graphics_->AddDeviceListener(true, &other));  // the destructor unregisters again
  ASSERT_TRUE(graphics_->AddDeviceListener(false, &other));
}

}  // namespace
