// d3dx9_font: ID3DXFont over the font engine. Glyphs are rasterised once into atlas pages
// (MANAGED A8R8G8B8 textures: white texels, coverage in alpha) and drawn as sprite quads.
//
// [ATLAS]   shelf-packed pages with a CPU copy, uploaded once per DrawTextA
// [LAYOUT]  lines, word breaks, alignment; the same advances GetTextExtentPoint32A sums
// [FONT]    the ID3DXFont object
#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/d3dx9.h"
#include "platform/d3dx9_device_child.h"
#include "platform/font_engine.h"

namespace {

// [ATLAS] -------------------------------------------------------------------------------------
constexpr int kPageSize = 512;
constexpr int kGlyphGap = 1;  // keeps linear filtering (scaled sprites) from bleeding

struct AtlasGlyph {
  int page = -1;  // -1: nothing to draw (space, control character)
  RECT source{};
  int left = 0;
  int top = 0;
};

struct AtlasPage {
  IDirect3DTexture9* texture = nullptr;
  std::vector<uint32_t> texels;  // kPageSize * kPageSize, rows top first
  bool dirty = false;
};

class GlyphAtlas {
 public:
  GlyphAtlas(IDirect3DDevice9* device, std::shared_ptr<font_engine::Face> face)
      : device_(device), face_(std::move(face)) {}
  ~GlyphAtlas() {
    for (AtlasPage& page : pages_) {
      if (page.texture != nullptr) page.texture->Release();
    }
  }

  // The atlas entry of a character, rasterised on first use; page -1 when it cannot be placed.
  const AtlasGlyph& Find(char32_t ch) {
    auto found = glyphs_.find(ch);
    if (found != glyphs_.end()) return found->second;
    AtlasGlyph glyph;
    font_engine::GlyphImage image = face_->Render(ch);
    if (image.width > 0 && image.height > 0 && image.width + kGlyphGap <= kPageSize &&
        image.height + kGlyphGap <= kPageSize) {
      int x = 0, y = 0;
      if (Place(image.width, image.height, &x, &y)) {
        AtlasPage& page = pages_.back();
        for (int row = 0; row < image.height; ++row) {
          uint32_t* dst = &page.texels[static_cast<size_t>(y + row) * kPageSize + x];
          const uint8_t* src = &image.coverage[static_cast<size_t>(row) * image.width];
          for (int col = 0; col < image.width; ++col) {
            dst[col] = (static_cast<uint32_t>(src[col]) << 24) | 0x00FFFFFFu;
          }
        }
        page.dirty = true;
        glyph.page = static_cast<int>(pages_.size()) - 1;
        glyph.source = RECT{x, y, x + image.width, y + image.height};
        glyph.left = image.left;
        glyph.top = image.top;
      }
    }
    return glyphs_.emplace(ch, glyph).first->second;
  }

  // Sends changed pages to their textures; false when a texture cannot be written.
  bool Upload() {
    bool ok = true;
    for (AtlasPage& page : pages_) {
      if (!page.dirty) continue;
      D3DLOCKED_RECT locked{};
      if (page.texture == nullptr || FAILED(page.texture->LockRect(0, &locked, nullptr, 0))) {
        ok = false;
        continue;
      }
      for (int row = 0; row < kPageSize; ++row) {
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + static_cast<ptrdiff_t>(row) * locked.Pitch,
                    &page.texels[static_cast<size_t>(row) * kPageSize], kPageSize * 4);
      }
      page.texture->UnlockRect(0);
      page.dirty = false;
    }
    return ok;
  }

  IDirect3DTexture9* PageTexture(int page) const { return pages_[page].texture; }

 private:
  // Shelf packing: glyphs fill a row left to right; a full row opens a new shelf below, a full
  // page a new page.
  bool Place(int width, int height, int* x, int* y) {
    if (pages_.empty() || !FitsOnPage(width, height)) {
      if (!AddPage()) return false;
    }
    if (shelfX_ + width + kGlyphGap > kPageSize) {
      shelfY_ += shelfHeight_ + kGlyphGap;
      shelfX_ = 0;
      shelfHeight_ = 0;
    }
    *x = shelfX_;
    *y = shelfY_;
    shelfX_ += width + kGlyphGap;
    shelfHeight_ = std::max(shelfHeight_, height);
    return true;
  }

  bool FitsOnPage(int width, int height) const {
    if (shelfX_ + width + kGlyphGap <= kPageSize) {
      return shelfY_ + std::max(shelfHeight_, height) + kGlyphGap <= kPageSize;
    }
    return shelfY_ + shelfHeight_ + kGlyphGap + height + kGlyphGap <= kPageSize;
  }

  bool AddPage() {
    AtlasPage page;
    if (FAILED(device_->CreateTexture(kPageSize, kPageSize, 1, 0, D3DFMT_A8R8G8B8,
                                      D3DPOOL_MANAGED, &page.texture, nullptr))) {
      return false;
    }
    page.texels.assign(static_cast<size_t>(kPageSize) * kPageSize, 0x00FFFFFFu);
    pages_.push_back(std::move(page));
    shelfX_ = shelfY_ = shelfHeight_ = 0;
    return true;
  }

  IDirect3DDevice9* device_;
  std::shared_ptr<font_engine::Face> face_;
  std::unordered_map<char32_t, AtlasGlyph> glyphs_;
  std::vector<AtlasPage> pages_;
  int shelfX_ = 0, shelfY_ = 0, shelfHeight_ = 0;
};

// [LAYOUT] ------------------------------------------------------------------------------------
struct TextLine {
  size_t begin = 0, end = 0;  // code point range
  int width = 0;
};

bool IsBreakableSpace(char32_t ch) { return ch == U' ' || ch == U'\t'; }

// Splits text into lines: at "\n" (unless single-line) and, with DT_WORDBREAK, before the
// character that would cross maxWidth, preferring the last space of the line. A character
// wider than the box still gets a line of its own.
std::vector<TextLine> LayOutLines(font_engine::Face& face, const std::u32string& text,
                                  DWORD format, int maxWidth) {
  std::vector<TextLine> lines;
  const bool singleLine = (format & DT_SINGLELINE) != 0;
  const bool wordBreak = !singleLine && (format & DT_WORDBREAK) != 0;
  TextLine line;
  size_t lastSpace = std::string::npos;
  int widthAtSpace = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char32_t ch = text[i];
    if (ch == U'\n' && !singleLine) {
      line.end = i;
      lines.push_back(line);
      line = TextLine{i + 1, i + 1, 0};
      lastSpace = std::string::npos;
      continue;
    }
    const int advance = face.Advance(ch);
    if (wordBreak && line.width + advance > maxWidth && i > line.begin) {
      if (lastSpace != std::string::npos && !IsBreakableSpace(ch)) {
        // Break after the last space: the word in progress moves down.
        lines.push_back(TextLine{line.begin, lastSpace, widthAtSpace});
        line.begin = lastSpace + 1;
        line.width = face.MeasureWidth(text.substr(line.begin, i - line.begin));
      } else {
        line.end = i;
        lines.push_back(line);
        line = TextLine{i, i, 0};
      }
      lastSpace = std::string::npos;
    }
    if (IsBreakableSpace(ch)) {
      lastSpace = i;
      widthAtSpace = line.width;
    }
    line.width += advance;
  }
  line.end = text.size();
  lines.push_back(line);
  return lines;
}

// [FONT] --------------------------------------------------------------------------------------
class Font final : public D3DXDeviceChild<ID3DXFont> {
 public:
  Font(IDirect3DDevice9* device, const D3DXFONT_DESCA& desc,
       std::shared_ptr<font_engine::Face> face)
      : D3DXDeviceChild(device), desc_(desc), face_(face), atlas_(device, face) {
    BindFontToDC(GetDC(), face_);
  }

  HRESULT GetDescA(D3DXFONT_DESCA* desc) override {
    if (desc == nullptr) return D3DERR_INVALIDCALL;
    *desc = desc_;
    return D3D_OK;
  }

  HDC GetDC() override { return reinterpret_cast<HDC>(&dcToken_); }

  INT DrawTextA(ID3DXSprite* sprite, const char* text, INT count, RECT* rect, DWORD format,
                D3DCOLOR color) override {
    if (text == nullptr || rect == nullptr) return 0;
    const size_t bytes = count < 0 ? std::strlen(text) : strnlen(text, static_cast<size_t>(count));
    const std::u32string chars = font_engine::DecodeCp936(text, bytes);
    if (chars.empty()) return 0;

    const std::vector<TextLine> lines =
        LayOutLines(*face_, chars, format, rect->right - rect->left);
    const int lineHeight = face_->height();
    const int textHeight = lineHeight * static_cast<int>(lines.size());
    if ((format & DT_CALCRECT) != 0) {
      int widest = 0;
      for (const TextLine& line : lines) widest = std::max(widest, line.width);
      rect->right = rect->left + widest;
      rect->bottom = rect->top + textHeight;
      return textHeight;
    }

    int top = rect->top;
    if ((format & DT_VCENTER) != 0) {
      top = rect->top + (rect->bottom - rect->top - textHeight) / 2;
    } else if ((format & DT_BOTTOM) != 0) {
      top = rect->bottom - textHeight;
    }

    ID3DXSprite* target = sprite;
    if (target == nullptr) {
      if (ownSprite_ == nullptr && FAILED(D3DXCreateSprite(device_, &ownSprite_))) return 0;
      if (FAILED(ownSprite_->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_SORT_TEXTURE))) return 0;
      target = ownSprite_;
    }

    const bool clip = (format & DT_NOCLIP) == 0;
    bool drawOk = true;
    for (size_t n = 0; n < lines.size() && drawOk; ++n) {
      const TextLine& line = lines[n];
      int penX = rect->left;
      if ((format & DT_CENTER) != 0) {
        penX = rect->left + (rect->right - rect->left - line.width) / 2;
      } else if ((format & DT_RIGHT) != 0) {
        penX = rect->right - line.width;
      }
      const int lineTop = top + static_cast<int>(n) * lineHeight;
      for (size_t i = line.begin; i < line.end && drawOk; ++i) {
        const AtlasGlyph& glyph = atlas_.Find(chars[i]);
        if (glyph.page >= 0) {
          drawOk = DrawGlyph(target, glyph, penX + glyph.left, lineTop + glyph.top, clip, *rect,
                             color);
        }
        penX += face_->Advance(chars[i]);
      }
    }
    atlas_.Upload();
    if (sprite == nullptr) ownSprite_->End();
    return drawOk ? textHeight : 0;
  }

  HRESULT OnLostDevice() override {
    return ownSprite_ != nullptr ? ownSprite_->OnLostDevice() : D3D_OK;
  }
  HRESULT OnResetDevice() override {
    return ownSprite_ != nullptr ? ownSprite_->OnResetDevice() : D3D_OK;
  }

 private:
  ~Font() override {
    UnbindFontFromDC(GetDC());
    if (ownSprite_ != nullptr) ownSprite_->Release();
  }

  // Queues one glyph at (x, y), cut to the clip rectangle; true when nothing failed.
  bool DrawGlyph(ID3DXSprite* sprite, const AtlasGlyph& glyph, int x, int y, bool clip,
                 const RECT& clipRect, D3DCOLOR color) {
    RECT source = glyph.source;
    if (clip) {
      const int cutLeft = std::max(0, static_cast<int>(clipRect.left) - x);
      const int cutTop = std::max(0, static_cast<int>(clipRect.top) - y);
      const int cutRight =
          std::max(0, x + static_cast<int>(source.right - source.left) - static_cast<int>(clipRect.right));
      const int cutBottom =
          std::max(0, y + static_cast<int>(source.bottom - source.top) - static_cast<int>(clipRect.bottom));
      source.left += cutLeft;
      source.top += cutTop;
      source.right -= cutRight;
      source.bottom -= cutBottom;
      if (source.right <= source.left || source.bottom <= source.top) return true;
      x += cutLeft;
      y += cutTop;
    }
    const D3DXVECTOR3 position(static_cast<float>(x), static_cast<float>(y), 0.0f);
    return SUCCEEDED(sprite->Draw(atlas_.PageTexture(glyph.page), &source, nullptr, &position,
                                  color));
  }

  D3DXFONT_DESCA desc_;
  std::shared_ptr<font_engine::Face> face_;
  GlyphAtlas atlas_;
  ID3DXSprite* ownSprite_ = nullptr;
  char dcToken_ = 0;  // its address is the font's device context
};

}  // namespace

HRESULT D3DXCreateFontIndirectA(IDirect3DDevice9* device, const D3DXFONT_DESCA* desc,
                                ID3DXFont** font) {
  if (device == nullptr || desc == nullptr || font == nullptr) return D3DERR_INVALIDCALL;
  D3DXFONT_DESCA copy = *desc;
  copy.FaceName[sizeof(copy.FaceName) - 1] = '\0';
  // GDI's default height for 0 is the system font's cell.
  const int height = copy.Height != 0 ? copy.Height : 16;
  auto face = font_engine::Face::Open(copy.FaceName, height, copy.Weight >= FW_BOLD - 100);
  if (!face) return E_FAIL;
  *font = new Font(device, copy, std::move(face));
  return D3D_OK;
}

HRESULT D3DXCreateFontA(IDirect3DDevice9* device, INT height, UINT width, UINT weight,
                        UINT mipLevels, BOOL italic, DWORD charSet, DWORD outputPrecision,
                        DWORD quality, DWORD pitchAndFamily, const char* faceName,
                        ID3DXFont** font) {
  D3DXFONT_DESCA desc{};
  desc.Height = height;
  desc.Width = width;
  desc.Weight = weight;
  desc.MipLevels = mipLevels;
  desc.Italic = italic;
  desc.CharSet = static_cast<BYTE>(charSet);
  desc.OutputPrecision = static_cast<BYTE>(outputPrecision);
  desc.Quality = static_cast<BYTE>(quality);
  desc.PitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  if (faceName != nullptr) {
    std::strncpy(desc.FaceName, faceName, sizeof(desc.FaceName) - 1);
  }
  return D3DXCreateFontIndirectA(device, &desc, font);
}
