// font_engine: FreeType faces chosen through fontconfig, with Windows face aliases and a CJK
// fallback face. See font_engine.h for the metrics contract.
//
// [ENGINE]  the FreeType library and the fontconfig configuration with our aliases
// [MATCH]   Windows face name -> font file and collection index
// [FACE]    sizes, advances, rendering
// [TEXT]    CP936 decoding
#include "platform/font_engine.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <unordered_map>

#include "platform/win_base.h"

namespace font_engine {
namespace {

// [ENGINE] ------------------------------------------------------------------------------------
// Out of the box fontconfig maps "宋体" and "SimSun" to DejaVu fonts without a single Chinese
// glyph, and "Arial" to DejaVu Sans where Liberation Sans (metric-compatible) is not preferred.
constexpr const char kAliases[] = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <alias binding="same"><family>SimSun</family><prefer><family>WenQuanYi Micro Hei</family></prefer></alias>
  <alias binding="same"><family>宋体</family><prefer><family>WenQuanYi Micro Hei</family></prefer></alias>
  <alias binding="same"><family>新宋体</family><prefer><family>WenQuanYi Micro Hei</family></prefer></alias>
  <alias binding="same"><family>NSimSun</family><prefer><family>WenQuanYi Micro Hei</family></prefer></alias>
  <alias binding="same"><family>黑体</family><prefer><family>WenQuanYi Micro Hei</family></prefer></alias>
  <alias binding="same"><family>SimHei</family><prefer><family>WenQuanYi Micro Hei</family></prefer></alias>
  <alias binding="same"><family>楷体_GB2312</family><prefer><family>WenQuanYi Micro Hei</family></prefer></alias>
  <alias binding="same"><family>微软雅黑</family><prefer><family>WenQuanYi Micro Hei</family></prefer></alias>
  <alias binding="same"><family>Microsoft YaHei</family><prefer><family>WenQuanYi Micro Hei</family></prefer></alias>
  <alias binding="same"><family>Arial</family><prefer><family>Liberation Sans</family><family>DejaVu Sans</family></prefer></alias>
  <alias binding="same"><family>Tahoma</family><prefer><family>Liberation Sans</family><family>DejaVu Sans</family></prefer></alias>
  <alias binding="same"><family>Verdana</family><prefer><family>Liberation Sans</family><family>DejaVu Sans</family></prefer></alias>
  <alias binding="same"><family>Times New Roman</family><prefer><family>Liberation Serif</family><family>DejaVu Serif</family></prefer></alias>
  <alias binding="same"><family>Courier New</family><prefer><family>Liberation Mono</family><family>DejaVu Sans Mono</family></prefer></alias>
</fontconfig>
)";

struct Engine {
  FT_Library library = nullptr;
  FcConfig* config = nullptr;
};

// Created once and kept for the whole run: faces held by global fonts may outlive any static
// destructor order we could pick.
Engine& GetEngine() {
  static Engine* engine = [] {
    Engine* e = new Engine;
    if (FT_Init_FreeType(&e->library) != 0) e->library = nullptr;
    e->config = FcInitLoadConfigAndFonts();
    if (e->config != nullptr) {
      FcConfigParseAndLoadFromMemory(e->config, reinterpret_cast<const FcChar8*>(kAliases),
                                     FcFalse);
    }
    return e;
  }();
  return *engine;
}

// [MATCH] -------------------------------------------------------------------------------------
struct FontFile {
  std::string path;
  int index = 0;
};

// Empty path when fontconfig finds nothing. `family` is UTF-8; `lang` may be null.
FontFile MatchFont(const std::string& family, bool bold, const char* lang) {
  Engine& engine = GetEngine();
  FontFile result;
  if (engine.config == nullptr) return result;
  FcPattern* pattern = FcPatternCreate();
  if (!family.empty()) {
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  }
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  if (lang != nullptr) {
    FcLangSet* langs = FcLangSetCreate();
    FcLangSetAdd(langs, reinterpret_cast<const FcChar8*>(lang));
    FcPatternAddLangSet(pattern, FC_LANG, langs);
    FcLangSetDestroy(langs);
  }
  FcConfigSubstitute(engine.config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult matchResult = FcResultNoMatch;
  FcPattern* match = FcFontMatch(engine.config, pattern, &matchResult);
  if (match != nullptr) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
      result.path = reinterpret_cast<const char*>(file);
      int index = 0;
      if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) result.index = index;
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return result;
}

FT_Face LoadFace(const FontFile& file) {
  if (file.path.empty() || GetEngine().library == nullptr) return nullptr;
  FT_Face face = nullptr;
  if (FT_New_Face(GetEngine().library, file.path.c_str(), file.index, &face) != 0) return nullptr;
  if (!FT_IS_SCALABLE(face)) {
    FT_Done_Face(face);
    return nullptr;
  }
  FT_Select_Charmap(face, FT_ENCODING_UNICODE);
  return face;
}

// SimSun's ascent is 220 of its 256 units per em, and its cell is exactly one em.
constexpr double kCjkAscentPerEm = 220.0 / 256.0;
constexpr char32_t kProbeIdeograph = 0x4E2D;  // 中

}  // namespace

// [FACE] --------------------------------------------------------------------------------------
struct Face::Impl {
  struct Source {
    FT_Face face = nullptr;
    bool synthesiseBold = false;
  };
  Source sources[2];  // primary, CJK fallback (may be null)
  struct Entry {
    int advance = 0;
    int source = -1;  // -1: a control character without glyph
    FT_UInt glyph = 0;
  };
  std::unordered_map<char32_t, Entry> entries;

  ~Impl() {
    for (Source& s : sources) {
      if (s.face != nullptr) FT_Done_Face(s.face);
    }
  }

  const Entry& Lookup(char32_t ch) {
    auto found = entries.find(ch);
    if (found != entries.end()) return found->second;
    Entry entry;
    if (ch >= 0x20) {
      entry.source = 0;
      FT_UInt glyph = FT_Get_Char_Index(sources[0].face, ch);
      if (glyph == 0 && sources[1].face != nullptr) {
        FT_UInt fallbackGlyph = FT_Get_Char_Index(sources[1].face, ch);
        if (fallbackGlyph != 0) {
          entry.source = 1;
          glyph = fallbackGlyph;
        }
      }
      entry.glyph = glyph;  // 0 is the missing-glyph box of the primary face
      const Source& source = sources[entry.source];
      if (FT_Load_Glyph(source.face, glyph, FT_LOAD_DEFAULT) == 0) {
        entry.advance = static_cast<int>((source.face->glyph->advance.x + 32) >> 6);
        if (source.synthesiseBold) entry.advance += 1;
      }
    }
    return entries.emplace(ch, entry).first->second;
  }
};

Face::Face(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Face::~Face() = default;

std::shared_ptr<Face> Face::Open(const char* faceNameCp936, int height, bool bold) {
  if (height < 0) height = -height;
  if (height < 1) height = 1;
  const std::string family = faceNameCp936 != nullptr ? Cp936ToUtf8(faceNameCp936) : "";

  auto impl = std::make_unique<Impl>();
  FontFile primaryFile = MatchFont(family, bold, nullptr);
  FontFile fallbackFile = MatchFont("WenQuanYi Micro Hei", bold, "zh-cn");
  impl->sources[0].face = LoadFace(primaryFile);
  if (impl->sources[0].face == nullptr) {
    primaryFile = fallbackFile;
    impl->sources[0].face = LoadFace(primaryFile);
    if (impl->sources[0].face == nullptr) return nullptr;
  }
  FT_Face primary = impl->sources[0].face;

  // A CJK face gets SimSun's metrics (one em per cell), so that the interface, laid out for
  // SimSun, keeps its ideographs at full size; any other face gets GDI's cell height.
  int ascent = 0;
  const bool cjk = FT_Get_Char_Index(primary, kProbeIdeograph) != 0;
  if (cjk) {
    FT_Set_Pixel_Sizes(primary, 0, static_cast<FT_UInt>(height));
    ascent = static_cast<int>(std::lround(height * kCjkAscentPerEm));
  } else {
    long winAscent = primary->ascender;
    long winDescent = -primary->descender;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(primary, FT_SFNT_OS2))) {
      if (os2->usWinAscent + os2->usWinDescent > 0) {
        winAscent = os2->usWinAscent;
        winDescent = os2->usWinDescent;
      }
    }
    const long cell = winAscent + winDescent > 0 ? winAscent + winDescent : primary->units_per_EM;
    const FT_F26Dot6 em = static_cast<FT_F26Dot6>(
        std::lround(64.0 * height * primary->units_per_EM / static_cast<double>(cell)));
    FT_Set_Char_Size(primary, 0, em, 72, 72);
    ascent = static_cast<int>(std::lround(height * winAscent / static_cast<double>(cell)));
    // The fallback draws Chinese inside this face's cell, its ideographs standing on the baseline.
    if (fallbackFile.path != primaryFile.path || fallbackFile.index != primaryFile.index) {
      impl->sources[1].face = LoadFace(fallbackFile);
    }
    if (impl->sources[1].face != nullptr) {
      const long fallbackEm = std::max(1L, std::lround(ascent / kCjkAscentPerEm));
      FT_Set_Pixel_Sizes(impl->sources[1].face, 0, static_cast<FT_UInt>(fallbackEm));
    }
  }
  for (Impl::Source& source : impl->sources) {
    if (source.face != nullptr) {
      source.synthesiseBold = bold && (source.face->style_flags & FT_STYLE_FLAG_BOLD) == 0;
    }
  }

  std::shared_ptr<Face> face(new Face(std::move(impl)));
  face->height_ = height;
  face->ascent_ = ascent;
  face->bold_ = bold;
  face->fileName_ = primaryFile.path;
  return face;
}

int Face::Advance(char32_t ch) { return impl_->Lookup(ch).advance; }

bool Face::HasGlyph(char32_t ch) {
  const Impl::Entry& entry = impl_->Lookup(ch);
  return entry.source >= 0 && entry.glyph != 0;
}

int Face::MeasureWidth(const std::u32string& text) {
  int width = 0;
  for (char32_t ch : text) width += impl_->Lookup(ch).advance;
  return width;
}

GlyphImage Face::Render(char32_t ch) {
  const Impl::Entry entry = impl_->Lookup(ch);
  GlyphImage image;
  image.advance = entry.advance;
  if (entry.source < 0) return image;
  const Impl::Source& source = impl_->sources[entry.source];
  FT_GlyphSlot slot = source.face->glyph;
  if (FT_Load_Glyph(source.face, entry.glyph, FT_LOAD_DEFAULT) != 0) return image;
  if (source.synthesiseBold && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    FT_Outline_EmboldenXY(&slot->outline, 64, 0);  // one pixel wider, as GDI's fake bold
  }
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return image;
  const FT_Bitmap& bitmap = slot->bitmap;
  if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.width == 0 || bitmap.rows == 0) {
    return image;
  }
  image.width = static_cast<int>(bitmap.width);
  image.height = static_cast<int>(bitmap.rows);
  image.left = slot->bitmap_left;
  image.top = ascent_ - slot->bitmap_top;
  image.coverage.resize(static_cast<size_t>(image.width) * image.height);
  for (int row = 0; row < image.height; ++row) {
    const unsigned char* src = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
    std::copy(src, src + image.width, image.coverage.begin() + static_cast<ptrdiff_t>(row) * image.width);
  }
  return image;
}

// [TEXT] --------------------------------------------------------------------------------------
std::u32string DecodeCp936(const char* text, size_t byteCount) {
  std::u32string result;
  if (text == nullptr || byteCount == 0) return result;
  size_t whole = 0;
  while (whole < byteCount) {
    if (IsDBCSLeadByte(static_cast<BYTE>(text[whole]))) {
      if (whole + 1 >= byteCount) break;
      whole += 2;
    } else {
      whole += 1;
    }
  }
  const std::u16string utf16 = Cp936ToUtf16(std::string(text, whole));
  result.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    char32_t unit = utf16[i];
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] < 0xE000) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    }
    result.push_back(unit);
  }
  return result;
}

}  // namespace font_engine
