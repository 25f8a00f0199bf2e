#pragma once
// d3dx9: our declarations of the D3DX 9 (d3dx9_24) names the system uses, implemented over the
// Direct3D stand-in of d3d9.h and the font engine.
//
// [CONSTANTS]  D3DX_DEFAULT, filters, sprite flags
// [MATH]       D3DXVECTOR2/3, D3DXMATRIX and the helpers the device object and 2D drawing call
// [SPRITE]     ID3DXSprite: batched screen-space quads (text and Draw)
// [FONT]       ID3DXFont: CP936 text drawn from a glyph atlas, DrawTextA formats, GetDC
// [SURFACES]   D3DXSaveSurfaceToFileA, D3DXLoadSurfaceFromSurface
//
// The picture-file calls (textures from files, image info) are in d3dx9_image.h. Not supported:
// 3-D sprites (OBJECTSPACE, BILLBOARD, depth sorting), italic or underlined fonts, palettes.

#include "platform/d3d9.h"
#include "platform/d3dx9_image.h"
#include "platform/win_gdi_text.h"

// [CONSTANTS] ---------------------------------------------------------------------------------
#ifndef D3DX_DEFAULT
#define D3DX_DEFAULT ((UINT)-1)
#define D3DX_DEFAULT_NONPOW2 ((UINT)-2)
#define D3DX_FILTER_NONE (1u << 0)
#define D3DX_FILTER_POINT (2u << 0)
#define D3DX_FILTER_LINEAR (3u << 0)
#define D3DX_FILTER_TRIANGLE (4u << 0)
#define D3DX_FILTER_BOX (5u << 0)
#endif

#define D3DXSPRITE_DONOTSAVESTATE (1u << 0)
#define D3DXSPRITE_DONOTMODIFY_RENDERSTATE (1u << 1)
#define D3DXSPRITE_OBJECTSPACE (1u << 2)
#define D3DXSPRITE_BILLBOARD (1u << 3)
#define D3DXSPRITE_ALPHABLEND (1u << 4)
#define D3DXSPRITE_SORT_TEXTURE (1u << 5)

// [MATH] --------------------------------------------------------------------------------------
struct D3DXVECTOR2 {
  float x, y;
  D3DXVECTOR2() = default;
  D3DXVECTOR2(float px, float py) : x(px), y(py) {}
};

struct D3DXVECTOR3 : D3DVECTOR {
  D3DXVECTOR3() = default;
  D3DXVECTOR3(float px, float py, float pz) : D3DVECTOR{px, py, pz} {}
};

// Row-vector convention as D3DMATRIX: v' = v * M, translation in _41.._43.
struct D3DXMATRIX : D3DMATRIX {
  D3DXMATRIX() = default;
  D3DXMATRIX(const D3DMATRIX& m) : D3DMATRIX(m) {}  // NOLINT: converts as D3DX does
  float& operator()(int row, int column) { return m[row][column]; }
  float operator()(int row, int column) const { return m[row][column]; }
  D3DXMATRIX operator*(const D3DXMATRIX& other) const;
};

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out);
bool D3DXMatrixIsIdentity(const D3DXMATRIX* m);
// out = a * b (a's transform first); out may alias a or b.
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b);
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z);
D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz);
// Rotation by `angle` radians about Z (clockwise on screen, y pointing down).
D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, float angle);
// Left-handed perspective: depth 0 at zNear, 1 at zFar; fovY in radians, aspect = width/height.
D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovY, float aspect, float zNear,
                                       float zFar);
// (x, y, 0, 1) * m, divided by the resulting w.
D3DXVECTOR2* D3DXVec2TransformCoord(D3DXVECTOR2* out, const D3DXVECTOR2* v, const D3DXMATRIX* m);

// [SPRITE] ------------------------------------------------------------------------------------
// A batch of screen-space textured quads, drawn when the batch is flushed or ended.
//
// Begin saves the whole device state (unless D3DXSPRITE_DONOTSAVESTATE) and turns LIGHTING off;
// End flushes and puts the saved state back. A flush draws blended, colour-modulated quads
// (both with and without D3DXSPRITE_ALPHABLEND: the system relies on blended text in its
// Begin(0) batch) and leaves the states as the caller had them. Quads are drawn in the order
// they were queued, grouped by texture with D3DXSPRITE_SORT_TEXTURE. A queued texture is kept
// alive (AddRef) until it is drawn. Begin inside a batch and End, Flush or Draw outside one
// fail with D3DERR_INVALIDCALL.
class ID3DXSprite : public IUnknown {
 public:
  virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
  virtual HRESULT GetTransform(D3DXMATRIX* transform) = 0;
  // Applied to every quad queued afterwards (the back-buffer/client scale of the views).
  virtual HRESULT SetTransform(const D3DXMATRIX* transform) = 0;
  virtual HRESULT Begin(DWORD flags) = 0;
  // The source rectangle of the texture (null: all of it), its `center` point placed at
  // `position` (null: the origin), at the source's size in pixels, modulated by the colour.
  virtual HRESULT Draw(IDirect3DTexture9* texture, const RECT* source, const D3DXVECTOR3* center,
                       const D3DXVECTOR3* position, D3DCOLOR color) = 0;
  virtual HRESULT Flush() = 0;
  virtual HRESULT End() = 0;
  virtual HRESULT OnLostDevice() = 0;
  virtual HRESULT OnResetDevice() = 0;
};

HRESULT D3DXCreateSprite(IDirect3DDevice9* device, ID3DXSprite** sprite);

// [FONT] --------------------------------------------------------------------------------------
struct D3DXFONT_DESCA {
  INT Height;  // cell height in pixels (a negative value: the same magnitude)
  UINT Width;  // ignored: the face's own widths are used
  UINT Weight;  // 600 (semibold) and above: bold
  UINT MipLevels;
  BOOL Italic;  // ignored
  BYTE CharSet;
  BYTE OutputPrecision;
  BYTE Quality;
  BYTE PitchAndFamily;
  char FaceName[32];  // CP936
};

// Text in CP936 bytes, drawn from glyph atlases (MANAGED textures, so they survive a device
// reset). Measuring (GetTextExtentPoint32A on GetDC's context) and drawing use the same
// whole-pixel advances: a single line of text covers exactly the width it measures.
class ID3DXFont : public IUnknown {
 public:
  virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
  virtual HRESULT GetDescA(D3DXFONT_DESCA* desc) = 0;
  // A context bound to this font for GetTextExtentPoint32A; valid while the font lives.
  virtual HDC GetDC() = 0;
  // Draws `count` bytes (-1: up to the NUL) into `rect` with the DT_ formats DT_LEFT, DT_CENTER,
  // DT_RIGHT, DT_TOP, DT_VCENTER (centres also without DT_SINGLELINE), DT_BOTTOM, DT_SINGLELINE,
  // DT_WORDBREAK, DT_NOCLIP and DT_CALCRECT. Lines end at "\n" unless DT_SINGLELINE. Glyphs are
  // clipped to the rectangle unless DT_NOCLIP. With a sprite the glyphs join its open batch;
  // with null the font draws in a batch of its own. DT_CALCRECT draws nothing and sets the
  // rectangle's right and bottom to the text's extent. Result: the height of the text in
  // pixels; 0 for an empty or null text, a null rectangle, or a sprite that is not begun.
  virtual INT DrawTextA(ID3DXSprite* sprite, const char* text, INT count, RECT* rect,
                        DWORD format, D3DCOLOR color) = 0;
  virtual HRESULT OnLostDevice() = 0;
  virtual HRESULT OnResetDevice() = 0;
};

// D3DERR_INVALIDCALL for a null device, description or output; E_FAIL when no font loads.
HRESULT D3DXCreateFontIndirectA(IDirect3DDevice9* device, const D3DXFONT_DESCA* desc,
                                ID3DXFont** font);
HRESULT D3DXCreateFontA(IDirect3DDevice9* device, INT height, UINT width, UINT weight,
                        UINT mipLevels, BOOL italic, DWORD charSet, DWORD outputPrecision,
                        DWORD quality, DWORD pitchAndFamily, const char* faceName,
                        ID3DXFont** font);

// [SURFACES] ----------------------------------------------------------------------------------
// Writes the surface (or `sourceRect` of it) to a file (a CP936 program path) in the format.
// X8R8G8B8 surfaces are written opaque. The file is written beside the target and renamed over
// it at the end, so a failed save leaves an existing file as it was. D3DERR_INVALIDCALL for bad
// arguments, E_FAIL when encoding or writing fails. Palettes are not supported (must be null).
HRESULT D3DXSaveSurfaceToFileA(const char* path, D3DXIMAGE_FILEFORMAT format,
                               IDirect3DSurface9* surface, const PALETTEENTRY* palette,
                               const RECT* sourceRect);

// Copies (a rectangle of) one surface into (a rectangle of) another, stretching when the sizes
// differ: D3DX_FILTER_NONE and D3DX_FILTER_POINT take the nearest texel, any other filter
// (D3DX_DEFAULT included) the triangle filter. A non-zero colour key turns matching texels
// (compared as A8R8G8B8) into transparent black. Source and destination may be the same surface.
HRESULT D3DXLoadSurfaceFromSurface(IDirect3DSurface9* dest, const PALETTEENTRY* destPalette,
                                   const RECT* destRect, IDirect3DSurface9* source,
                                   const PALETTEENTRY* sourcePalette, const RECT* sourceRect,
                                   DWORD filter, D3DCOLOR colorKey);
