#pragma once
// win_gdi_text: GDI's text measurement, GetTextExtentPoint32A, over the shared font engine.
//
// A device context measures with the face selected into it. ID3DXFont hands out a context of
// its own (ID3DXFont::GetDC) with its face bound here; the mini GDI binds the faces it selects
// into window and memory contexts the same way. Only measuring lives here: drawing belongs to
// whoever owns the context's pixels.

#include <memory>

#include "platform/font_engine.h"
#include "platform/win_base.h"

// Makes `dc` measure with `face` (replacing an earlier binding); a null face unbinds.
void BindFontToDC(HDC dc, std::shared_ptr<font_engine::Face> face);
void UnbindFontFromDC(HDC dc);
// The face bound to the context, null when none.
std::shared_ptr<font_engine::Face> FontOfDC(HDC dc);

// Size of the first `count` bytes of CP936 text drawn on one line in the context's font:
// cx = the sum of the advances that drawing uses, cy = the font's cell height. A lone lead byte
// at the end of the count is half a character and adds nothing; a NUL ends the text early. FALSE (size untouched) for a
// context without a font, a null text or size, or a negative count; count 0 gives 0 x height.
BOOL GetTextExtentPoint32A(HDC dc, const char* text, int count, SIZE* size);
