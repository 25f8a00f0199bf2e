// The font engine: Windows faces map to fonts with the glyphs the interface needs, metrics
// follow GDI, and GetTextExtentPoint32A measures what drawing advances.
#include "platform/font_engine.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/win_base.h"
#include "platform/win_gdi_text.h"

namespace {

using font_engine::DecodeCp936;
using font_engine::Face;

std::string Cp936(const char* utf8) { return Utf8ToCp936(utf8); }

TEST(FontEngineTest, WindowsFacesFindChineseAndLatinGlyphs) {
  struct Case {
    const char* faceUtf8;
    const char* expectedFile;  // part of the font file's name
  } cases[] = {
      {"宋体", "wqy-microhei"},
      {"SimSun", "wqy-microhei"},
      {"Microsoft YaHei", "wqy-microhei"},
      {"Arial", "LiberationSans"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.faceUtf8);
    auto face = Face::Open(Cp936(c.faceUtf8).c_str(), 14, false);
    ASSERT_TRUE(face);
    EXPECT_NE(face->fileName().find(c.expectedFile), std::string::npos) << face->fileName();
    // Chinese always finds glyphs, through the fallback face when the font has none.
    for (char32_t ch : DecodeCp936(Cp936("欢迎使用").c_str(), 8)) {
      EXPECT_TRUE(face->HasGlyph(ch));
      const font_engine::GlyphImage glyph = face->Render(ch);
      EXPECT_GT(glyph.width, 0);
      EXPECT_GT(glyph.height, 0);
      // Ideographs stay inside the cell.
      EXPECT_GE(glyph.top, 0);
      EXPECT_LE(glyph.top + glyph.height, face->height());
    }
    EXPECT_TRUE(face->HasGlyph(U'A'));
  }
}

TEST(FontEngineTest, AnUnknownFaceStillDraws) {
  auto face = Face::Open("NoSuchFaceAnywhere", 12, false);
  ASSERT_TRUE(face);
  EXPECT_GT(face->Advance(U'W'), 0);
  EXPECT_TRUE(face->HasGlyph(U'\u4E2D'));
}

TEST(FontEngineTest, MetricsFollowTheCellHeight) {
  // SimSun's metrics for CJK faces: ideographs one em wide, ascent 220/256 of the cell.
  auto song14 = Face::Open(Cp936("宋体").c_str(), 14, false);
  ASSERT_TRUE(song14);
  EXPECT_EQ(song14->height(), 14);
  EXPECT_EQ(song14->ascent(), 12);
  EXPECT_EQ(song14->Advance(U'\u4E2D'), 14);
  // Arial's (Liberation Sans') winAscent/winDescent 1854/434 make an ascent of 11 in 14 pixels.
  auto arial14 = Face::Open("Arial", 14, false);
  ASSERT_TRUE(arial14);
  EXPECT_EQ(arial14->height(), 14);
  EXPECT_EQ(arial14->ascent(), 11);
  // Negative LOGFONT heights are read as their magnitude.
  EXPECT_EQ(Face::Open("Arial", -14, false)->height(), 14);
}

TEST(FontEngineTest, SyntheticBoldIsOnePixelWiderPerGlyph) {
  auto regular = Face::Open(Cp936("宋体").c_str(), 14, false);
  auto bold = Face::Open(Cp936("宋体").c_str(), 14, true);
  ASSERT_TRUE(regular && bold);
  EXPECT_EQ(bold->Advance(U'\u4E2D'), regular->Advance(U'\u4E2D') + 1);
  EXPECT_EQ(bold->Advance(U'A'), regular->Advance(U'A') + 1);
}

TEST(FontEngineTest, ControlCharactersHaveNoAdvance) {
  auto face = Face::Open("Arial", 14, false);
  ASSERT_TRUE(face);
  EXPECT_EQ(face->Advance(U'\n'), 0);
  EXPECT_EQ(face->Advance(U'\r'), 0);
  EXPECT_EQ(face->Render(U'\n').coverage.size(), 0u);
  EXPECT_GT(face->Advance(U' '), 0);
}

TEST(FontEngineTest, DecodeCp936CountsBytes) {
  const std::string text = Cp936("中A文");  // 5 bytes
  ASSERT_EQ(text.size(), 5u);
  struct Case {
    size_t bytes;
    std::u32string expected;
  } cases[] = {
      {0, U""},
      {1, U""},  // half of 中
      {2, U"中"},
      {3, U"中A"},
      {4, U"中A"},  // half of 文
      {5, U"中A文"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeCp936(text.data(), c.bytes), c.expected) << c.bytes;
  }
  EXPECT_EQ(DecodeCp936(nullptr, 4), U"");
}

TEST(GetTextExtentPoint32ATest, MeasuresBytesOfCp936Text) {
  auto face = Face::Open(Cp936("宋体").c_str(), 12, false);
  ASSERT_TRUE(face);
  int dcToken = 0;
  HDC dc = reinterpret_cast<HDC>(&dcToken);
  BindFontToDC(dc, face);

  const std::string text = Cp936("AbCd中文");
  SIZE size{-1, -1};
  ASSERT_TRUE(GetTextExtentPoint32A(dc, text.c_str(), 4, &size));
  EXPECT_EQ(size.cx, face->Advance(U'A') + face->Advance(U'b') + face->Advance(U'C') +
                         face->Advance(U'd'));
  EXPECT_EQ(size.cy, 12);
  ASSERT_TRUE(GetTextExtentPoint32A(dc, text.c_str(), 8, &size));
  EXPECT_EQ(size.cx, face->MeasureWidth(U"AbCd中文"));
  // A lone lead byte adds nothing; a count past the NUL stops at the NUL.
  SIZE half{};
  ASSERT_TRUE(GetTextExtentPoint32A(dc, text.c_str(), 7, &half));
  EXPECT_EQ(half.cx, face->MeasureWidth(U"AbCd中"));
  SIZE past{};
  ASSERT_TRUE(GetTextExtentPoint32A(dc, "Ab", 50, &past));
  EXPECT_EQ(past.cx, face->MeasureWidth(U"Ab"));
  ASSERT_TRUE(GetTextExtentPoint32A(dc, text.c_str(), 0, &size));
  EXPECT_EQ(size.cx, 0);
  EXPECT_EQ(size.cy, 12);

  // Failures leave the size as it was.
  SIZE untouched{7, 9};
  EXPECT_FALSE(GetTextExtentPoint32A(dc, nullptr, 3, &untouched));
  EXPECT_FALSE(GetTextExtentPoint32A(dc, "abc", -1, &untouched));
  UnbindFontFromDC(dc);
  EXPECT_FALSE(GetTextExtentPoint32A(dc, "abc", 3, &untouched));
  EXPECT_EQ(untouched.cx, 7);
  EXPECT_EQ(untouched.cy, 9);
}

}  // namespace
