#pragma once
// font_engine: the one text engine behind ID3DXFont and GetTextExtentPoint32A, on FreeType and
// fontconfig.
//
// Windows face names ("宋体", "SimSun", "Microsoft YaHei", "Arial") are mapped through fontconfig
// aliases to fonts Debian ships (WenQuanYi Micro Hei, Liberation Sans). A character the chosen
// font lacks is taken from a CJK fallback face, so Chinese text always finds glyphs.
//
// Metrics follow GDI's positive LOGFONT height: the requested height is the cell height
// (ascent + descent), so a line of text is exactly `height()` pixels tall. Advances are whole
// pixels; measuring and drawing both sum the same advances, so measured text and drawn text
// agree to the pixel. Bold is synthesised (one pixel wider per glyph, as GDI does) when the
// matched font has no bold style.
//
// Not supported: italics, underline, kerning, right-to-left scripts, combining sequences.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace font_engine {

// A rendered glyph: 8-bit coverage rows, top first. `left` is the offset of the bitmap from the
// pen, `top` the distance from the cell's top edge down to the bitmap's first row.
struct GlyphImage {
  int width = 0;
  int height = 0;
  int left = 0;
  int top = 0;
  int advance = 0;
  std::vector<uint8_t> coverage;  // width * height bytes
};

class Face {
 public:
  // Opens the face that stands for a Windows face name (CP936 bytes) at a cell height in pixels
  // (at least 1; a negative height means the same as its magnitude, as LOGFONT's em height is
  // close enough for our six fonts). Null only when no font at all can be loaded.
  static std::shared_ptr<Face> Open(const char* faceNameCp936, int height, bool bold);

  ~Face();
  Face(const Face&) = delete;
  Face& operator=(const Face&) = delete;

  int height() const { return height_; }
  int ascent() const { return ascent_; }
  bool bold() const { return bold_; }
  // The file that serves the requested face (for tests and the log).
  const std::string& fileName() const { return fileName_; }

  // Advance of one character in whole pixels (control characters have none).
  int Advance(char32_t ch);
  // True when the primary face or the fallback has a glyph for the character.
  bool HasGlyph(char32_t ch);
  // Renders a character's coverage; a character without a glyph gives an empty image with the
  // advance of the fallback's missing-glyph box.
  GlyphImage Render(char32_t ch);
  // Width of a run of characters: the sum of their advances.
  int MeasureWidth(const std::u32string& text);

 private:
  struct Impl;
  explicit Face(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
  int height_ = 0;
  int ascent_ = 0;
  bool bold_ = false;
  std::string fileName_;
};

// CP936 bytes -> code points. `byteCount` bytes are decoded (a lone lead byte at the end is
// dropped, as it is half a character); an invalid pair becomes U+FFFD.
std::u32string DecodeCp936(const char* text, size_t byteCount);

}  // namespace font_engine
