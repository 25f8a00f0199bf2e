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

// DrawText formats (GDI's and ID3DXFont's).
#ifndef DT_TOP
#define DT_TOP 0x00000000u
#define DT_LEFT 0x00000000u
#define DT_CENTER 0x00000001u
#define DT_RIGHT 0x00000002u
#define DT_VCENTER 0x00000004u
#define DT_BOTTOM 0x00000008u
#define DT_WORDBREAK 0x00000010u
#define DT_SINGLELINE 0x00000020u
#define DT_EXPANDTABS 0x00000040u
#define DT_NOCLIP 0x00000100u
#define DT_CALCRECT 0x00000400u
#define DT_NOPREFIX 0x00000800u
#define DT_END_ELLIPSIS 0x00008000u
#define DT_WORD_ELLIPSIS 0x00040000u
#endif

// LOGFONT values.
#ifndef FW_BOLD
#define FW_DONTCARE 0
#define FW_NORMAL 400
#define FW_BOLD 700
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define GB2312_CHARSET 134
#define OUT_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define ANTIALIASED_QUALITY 4
#define DEFAULT_PITCH 0
#define FF_DONTCARE 0
#endif

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
