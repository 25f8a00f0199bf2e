// cFont: text through ID3DXFont, in the graphics object's shared sprite batch or a batch of its
// own; measuring through GetTextExtentPoint32A on the font's context.
#include "graphics/font.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "graphics/graphics.h"

cFont::~cFont() {
  if (graphics != nullptr) {
    graphics->RemoveLostListener(this);
    graphics->RemoveResetListener(this);
  }
  if (font != nullptr) font->Release();
}

bool cFont::OnLostDevice() { return font == nullptr || SUCCEEDED(font->OnLostDevice()); }

bool cFont::OnResetDevice() { return font == nullptr || SUCCEEDED(font->OnResetDevice()); }

bool cFont::Create(int height, bool bold, const char* faceName) {
  if (Graphics == nullptr || faceName == nullptr) return false;
  if (font != nullptr) {
    font->Release();
    font = nullptr;
  }
  D3DXFONT_DESCA desc{};
  desc.Height = height;
  desc.Width = 0;
  desc.Weight = bold ? FW_BOLD : 0;
  desc.MipLevels = D3DX_DEFAULT;
  desc.Italic = FALSE;
  desc.CharSet = DEFAULT_CHARSET;
  desc.OutputPrecision = OUT_DEFAULT_PRECIS;
  desc.Quality = ANTIALIASED_QUALITY;
  std::strncpy(desc.FaceName, faceName, sizeof(desc.FaceName) - 1);
  desc.FaceName[sizeof(desc.FaceName) - 1] = '\0';
  if (FAILED(D3DXCreateFontIndirectA(Graphics->device, &desc, &font))) {
    font = nullptr;
    return false;
  }
  graphics = Graphics;
  // A second Create finds itself registered already; AddDeviceListener refuses the duplicate.
  graphics->AddDeviceListener(true, this);
  graphics->AddDeviceListener(false, this);
  return true;
}

bool cFont::DrawTextAt(const char* text, int x, int y, int width, int height, DWORD format,
                       D3DCOLOR color) {
  if (graphics == nullptr) return false;
  if (width == 0) width = graphics->targetWidth - x;
  if (height == 0) height = graphics->targetHeight - y;
  const RECT rect{x, y, x + width, y + height};
  return DrawTextInRect(text, &rect, format, color);
}

bool cFont::DrawTextInRect(const char* text, const RECT* rect, DWORD format, D3DCOLOR color) {
  // A font whose re-creation failed has no Direct3D font left to draw with.
  if (graphics == nullptr || font == nullptr || rect == nullptr || text == nullptr) return false;
  RECT box = *rect;
  ID3DXSprite* sprite = graphics->sprite;
  if (sprite == nullptr) return false;
  INT drawn = 0;
  if (graphics->spriteDepth > 0 && graphics->device != nullptr) {
    graphics->device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    graphics->device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    graphics->device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    drawn = font->DrawTextA(sprite, text, -1, &box, format, color);
  } else if (graphics->device != nullptr) {
    if (SUCCEEDED(sprite->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_SORT_TEXTURE))) {
      drawn = font->DrawTextA(sprite, text, -1, &box, format, color);
      sprite->End();
    }
  }
  return drawn != 0;
}

bool cFont::DrawTextFormatted(const RECT* rect, DWORD drawFormat, D3DCOLOR color,
                              const char* printfFormat, ...) {
  if (printfFormat == nullptr) return false;
  char buffer[512];
  va_list args;
  va_start(args, printfFormat);
  std::vsnprintf(buffer, sizeof(buffer), printfFormat, args);  // cuts at 511 bytes
  va_end(args);
  return DrawTextInRect(buffer, rect, drawFormat, color);
}

bool cFont::MeasureText(const char* text, int count, int* width, int* height) {
  if (width == nullptr || height == nullptr) return false;
  if (font == nullptr || text == nullptr) {
    *width = 0;
    *height = 0;
    return false;
  }
  if (count == 0) {
    *width = 0;
    *height = 0;
    return true;
  }
  SIZE size{};
  if (!GetTextExtentPoint32A(font->GetDC(), text, count, &size)) return false;
  *width = size.cx;
  *height = size.cy;
  return true;
}
