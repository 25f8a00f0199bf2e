#pragma once
// cFont: a text font that draws and measures CP936 text through one ID3DXFont and follows
// device loss as a listener of the graphics object.
//
// Drawing joins the graphics object's open sprite batch, or brackets the single call in a batch
// of its own. Measuring uses GetTextExtentPoint32A on the font's device context, which sums the
// same advances that drawing uses.

#include "core/listener.h"
#include "platform/d3dx9.h"

class cGraphics;

class cFont : public cEventListener {
 public:
  cFont() = default;
  // Unregisters from both device-listener lists of its graphics object; releases the font.
  ~cFont() override;
  cFont(const cFont&) = delete;
  cFont& operator=(const cFont&) = delete;

  // Forwarded to the Direct3D font; true without one.
  bool OnLostDevice() override;
  bool OnResetDevice() override;

  // Makes (or remakes) the font on the global Graphics' device: cell height in pixels, bold,
  // face name (CP936, cut to 31 bytes). False without Graphics or face name, or when the
  // Direct3D font cannot be made (the font then has none).
  bool Create(int height, bool bold, const char* faceName);

  // Draws text into (x, y, x + width, y + height); a width or height of 0 reaches the right or
  // bottom edge of the current render target. True when the text was drawn with a non-zero
  // height; false without a font, graphics or device.
  bool DrawTextAt(const char* text, int x, int y, int width, int height, DWORD format,
                  D3DCOLOR color);
  bool DrawTextInRect(const char* text, const RECT* rect, DWORD format, D3DCOLOR color);
  // printf-style text, at most 511 bytes (longer output is cut), then as DrawTextInRect.
  bool DrawTextFormatted(const RECT* rect, DWORD drawFormat, D3DCOLOR color,
                         const char* printfFormat, ...) __attribute__((format(printf, 5, 6)));

  // Width and height of the first `count` bytes of text. No font or null text: 0 x 0, false.
  // Count 0: 0 x 0, true. A measuring failure (negative count) returns false and leaves the
  // outputs as they were.
  bool MeasureText(const char* text, int count, int* width, int* height);

  cGraphics* graphics = nullptr;  // set by a successful Create
  ID3DXFont* font = nullptr;      // owned
};
