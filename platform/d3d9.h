#pragma once
// d3d9: our declarations of the Direct3D 9 names the system uses, with Windows' numbers, and
// their implementation on SDL2 + OpenGL 2.1 (fixed function) in d3d9_gl*.cpp.
//
// [TYPES]      results, colours, vectors, matrices
// [ENUMS]      formats, pools, usages, render / stage / sampler states and their values
// [FVF]        flexible vertex format bits
// [RECORDS]    present parameters, caps, material, light, viewport, descriptions
// [INTERFACES] IDirect3D9, the device, resources (COM-style AddRef/Release)
// [SEAM]       test hooks: forced device loss, refused device types and formats, call counts
//
// Conventions kept exactly as Direct3D 9 has them: row-vector matrices, left-handed, depth 0..1,
// clockwise front faces, row 0 of every surface is the top row, texels are A8R8G8B8 words
// (bytes B, G, R, A). Not supported: cube and volume textures, shaders, mipmap chains (a
// texture has one level whatever was asked), multisampling (accepted, never applied).

#include <cstdint>

#include "platform/win_base.h"

// [TYPES] -------------------------------------------------------------------------------------
typedef int32_t INT;
typedef float FLOAT;
typedef DWORD D3DCOLOR;

#ifndef S_OK
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_FAIL ((HRESULT)0x80004005u)
#define E_NOTIMPL ((HRESULT)0x80004001u)
#define E_NOINTERFACE ((HRESULT)0x80004002u)
#define E_OUTOFMEMORY ((HRESULT)0x8007000Eu)
#define E_INVALIDARG ((HRESULT)0x80070057u)
#endif
#ifndef SUCCEEDED
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#endif

#define D3D_OK S_OK
#define D3DERR_WRONGTEXTUREFORMAT ((HRESULT)0x88760818u)
#define D3DERR_UNSUPPORTEDCOLOROPERATION ((HRESULT)0x88760819u)
#define D3DERR_DRIVERINTERNALERROR ((HRESULT)0x88760827u)
#define D3DERR_NOTFOUND ((HRESULT)0x88760866u)
#define D3DERR_MOREDATA ((HRESULT)0x88760867u)
#define D3DERR_DEVICELOST ((HRESULT)0x88760868u)
#define D3DERR_DEVICENOTRESET ((HRESULT)0x88760869u)
#define D3DERR_NOTAVAILABLE ((HRESULT)0x8876086Au)
#define D3DERR_INVALIDCALL ((HRESULT)0x8876086Cu)
#define D3DERR_OUTOFVIDEOMEMORY ((HRESULT)0x8876017Cu)
#define D3DERR_WASSTILLDRAWING ((HRESULT)0x8876021Cu)

#define D3D_SDK_VERSION 32
#define D3DADAPTER_DEFAULT 0

#define D3DCOLOR_ARGB(a, r, g, b)                                                   \
  ((D3DCOLOR)((((DWORD)(a)&0xffu) << 24) | (((DWORD)(r)&0xffu) << 16) |             \
              (((DWORD)(g)&0xffu) << 8) | ((DWORD)(b)&0xffu)))
#define D3DCOLOR_XRGB(r, g, b) D3DCOLOR_ARGB(0xff, r, g, b)

struct D3DCOLORVALUE {
  float r, g, b, a;
};
struct D3DVECTOR {
  float x, y, z;
};
// Row by row; v' = v * M (translation in _41.._43).
struct D3DMATRIX {
  union {
    struct {
      float _11, _12, _13, _14;
      float _21, _22, _23, _24;
      float _31, _32, _33, _34;
      float _41, _42, _43, _44;
    };
    float m[4][4];
  };
};
struct D3DRECT {
  LONG x1, y1, x2, y2;
};

// [ENUMS] -------------------------------------------------------------------------------------
enum D3DFORMAT : uint32_t {
  D3DFMT_UNKNOWN = 0,
  D3DFMT_R8G8B8 = 20,
  D3DFMT_A8R8G8B8 = 21,
  D3DFMT_X8R8G8B8 = 22,
  D3DFMT_R5G6B5 = 23,
  D3DFMT_X1R5G5B5 = 24,
  D3DFMT_A1R5G5B5 = 25,
  D3DFMT_A4R4G4B4 = 26,
  D3DFMT_A8 = 28,
  D3DFMT_A8B8G8R8 = 32,
  D3DFMT_X8B8G8R8 = 33,
  D3DFMT_P8 = 41,
  D3DFMT_L8 = 50,
  D3DFMT_A8L8 = 51,
  D3DFMT_D16_LOCKABLE = 70,
  D3DFMT_D32 = 71,
  D3DFMT_D15S1 = 73,
  D3DFMT_D24S8 = 75,
  D3DFMT_D24X8 = 77,
  D3DFMT_D24X4S4 = 79,
  D3DFMT_D16 = 80,
  D3DFMT_VERTEXDATA = 100,
  D3DFMT_INDEX16 = 101,
  D3DFMT_INDEX32 = 102,
  D3DFMT_R16F = 111,
  D3DFMT_A16B16G16R16F = 113,
  D3DFMT_R32F = 114,
  D3DFMT_A32B32G32R32F = 116,
  D3DFMT_DXT1 = 0x31545844u,  // 'DXT1'
  D3DFMT_DXT2 = 0x32545844u,
  D3DFMT_DXT3 = 0x33545844u,
  D3DFMT_DXT4 = 0x34545844u,
  D3DFMT_DXT5 = 0x35545844u,
  D3DFMT_FORCE_DWORD = 0x7fffffffu
};

enum D3DDEVTYPE : uint32_t { D3DDEVTYPE_HAL = 1, D3DDEVTYPE_REF = 2, D3DDEVTYPE_SW = 3, D3DDEVTYPE_NULLREF = 4 };

#define D3DCREATE_FPU_PRESERVE 0x00000002u
#define D3DCREATE_MULTITHREADED 0x00000004u
#define D3DCREATE_PUREDEVICE 0x00000010u
#define D3DCREATE_SOFTWARE_VERTEXPROCESSING 0x00000020u
#define D3DCREATE_HARDWARE_VERTEXPROCESSING 0x00000040u
#define D3DCREATE_MIXED_VERTEXPROCESSING 0x00000080u

enum D3DMULTISAMPLE_TYPE : uint32_t {
  D3DMULTISAMPLE_NONE = 0,
  D3DMULTISAMPLE_NONMASKABLE = 1,
  D3DMULTISAMPLE_2_SAMPLES = 2,
  D3DMULTISAMPLE_3_SAMPLES = 3,
  D3DMULTISAMPLE_4_SAMPLES = 4,
  D3DMULTISAMPLE_8_SAMPLES = 8,
  D3DMULTISAMPLE_16_SAMPLES = 16
};

enum D3DSWAPEFFECT : uint32_t { D3DSWAPEFFECT_DISCARD = 1, D3DSWAPEFFECT_FLIP = 2, D3DSWAPEFFECT_COPY = 3 };

#define D3DPRESENT_INTERVAL_DEFAULT 0x00000000u
#define D3DPRESENT_INTERVAL_ONE 0x00000001u
#define D3DPRESENT_INTERVAL_IMMEDIATE 0x80000000u

enum D3DRESOURCETYPE : uint32_t {
  D3DRTYPE_SURFACE = 1,
  D3DRTYPE_VOLUME = 2,
  D3DRTYPE_TEXTURE = 3,
  D3DRTYPE_VOLUMETEXTURE = 4,
  D3DRTYPE_CUBETEXTURE = 5,
  D3DRTYPE_VERTEXBUFFER = 6,
  D3DRTYPE_INDEXBUFFER = 7
};

#define D3DUSAGE_RENDERTARGET 0x00000001u
#define D3DUSAGE_DEPTHSTENCIL 0x00000002u
#define D3DUSAGE_WRITEONLY 0x00000008u
#define D3DUSAGE_SOFTWAREPROCESSING 0x00000010u
#define D3DUSAGE_DONOTCLIP 0x00000020u
#define D3DUSAGE_POINTS 0x00000040u
#define D3DUSAGE_DYNAMIC 0x00000200u
#define D3DUSAGE_AUTOGENMIPMAP 0x00000400u

enum D3DPOOL : uint32_t { D3DPOOL_DEFAULT = 0, D3DPOOL_MANAGED = 1, D3DPOOL_SYSTEMMEM = 2, D3DPOOL_SCRATCH = 3 };

#define D3DLOCK_READONLY 0x00000010u
#define D3DLOCK_NOSYSLOCK 0x00000800u
#define D3DLOCK_NOOVERWRITE 0x00001000u
#define D3DLOCK_DISCARD 0x00002000u
#define D3DLOCK_DONOTWAIT 0x00004000u
#define D3DLOCK_NO_DIRTY_UPDATE 0x00008000u

#define D3DCLEAR_TARGET 0x00000001u
#define D3DCLEAR_ZBUFFER 0x00000002u
#define D3DCLEAR_STENCIL 0x00000004u

enum D3DBACKBUFFER_TYPE : uint32_t { D3DBACKBUFFER_TYPE_MONO = 0, D3DBACKBUFFER_TYPE_LEFT = 1, D3DBACKBUFFER_TYPE_RIGHT = 2 };

enum D3DTRANSFORMSTATETYPE : uint32_t {
  D3DTS_VIEW = 2,
  D3DTS_PROJECTION = 3,
  D3DTS_TEXTURE0 = 16,
  D3DTS_TEXTURE7 = 23,
  D3DTS_WORLD = 256
};
#define D3DTS_WORLDMATRIX(index) (D3DTRANSFORMSTATETYPE)((index) + 256)

enum D3DPRIMITIVETYPE : uint32_t {
  D3DPT_POINTLIST = 1,
  D3DPT_LINELIST = 2,
  D3DPT_LINESTRIP = 3,
  D3DPT_TRIANGLELIST = 4,
  D3DPT_TRIANGLESTRIP = 5,
  D3DPT_TRIANGLEFAN = 6
};

enum D3DRENDERSTATETYPE : uint32_t {
  D3DRS_ZENABLE = 7,
  D3DRS_FILLMODE = 8,
  D3DRS_SHADEMODE = 9,
  D3DRS_ZWRITEENABLE = 14,
  D3DRS_ALPHATESTENABLE = 15,
  D3DRS_LASTPIXEL = 16,
  D3DRS_SRCBLEND = 19,
  D3DRS_DESTBLEND = 20,
  D3DRS_CULLMODE = 22,
  D3DRS_ZFUNC = 23,
  D3DRS_ALPHAREF = 24,
  D3DRS_ALPHAFUNC = 25,
  D3DRS_DITHERENABLE = 26,
  D3DRS_ALPHABLENDENABLE = 27,
  D3DRS_FOGENABLE = 28,
  D3DRS_SPECULARENABLE = 29,
  D3DRS_FOGCOLOR = 34,
  D3DRS_FOGTABLEMODE = 35,
  D3DRS_FOGSTART = 36,
  D3DRS_FOGEND = 37,
  D3DRS_FOGDENSITY = 38,
  D3DRS_RANGEFOGENABLE = 48,
  D3DRS_STENCILENABLE = 52,
  D3DRS_STENCILFAIL = 53,
  D3DRS_STENCILZFAIL = 54,
  D3DRS_STENCILPASS = 55,
  D3DRS_STENCILFUNC = 56,
  D3DRS_STENCILREF = 57,
  D3DRS_STENCILMASK = 58,
  D3DRS_STENCILWRITEMASK = 59,
  D3DRS_TEXTUREFACTOR = 60,
  D3DRS_WRAP0 = 128,
  D3DRS_WRAP7 = 135,
  D3DRS_CLIPPING = 136,
  D3DRS_LIGHTING = 137,
  D3DRS_AMBIENT = 139,
  D3DRS_FOGVERTEXMODE = 140,
  D3DRS_COLORVERTEX = 141,
  D3DRS_LOCALVIEWER = 142,
  D3DRS_NORMALIZENORMALS = 143,
  D3DRS_DIFFUSEMATERIALSOURCE = 145,
  D3DRS_SPECULARMATERIALSOURCE = 146,
  D3DRS_AMBIENTMATERIALSOURCE = 147,
  D3DRS_EMISSIVEMATERIALSOURCE = 148,
  D3DRS_VERTEXBLEND = 151,
  D3DRS_CLIPPLANEENABLE = 152,
  D3DRS_POINTSIZE = 154,
  D3DRS_POINTSIZE_MIN = 155,
  D3DRS_POINTSPRITEENABLE = 156,
  D3DRS_POINTSCALEENABLE = 157,
  D3DRS_POINTSCALE_A = 158,
  D3DRS_POINTSCALE_B = 159,
  D3DRS_POINTSCALE_C = 160,
  D3DRS_MULTISAMPLEANTIALIAS = 161,
  D3DRS_MULTISAMPLEMASK = 162,
  D3DRS_PATCHEDGESTYLE = 163,
  D3DRS_DEBUGMONITORTOKEN = 165,
  D3DRS_POINTSIZE_MAX = 166,
  D3DRS_INDEXEDVERTEXBLENDENABLE = 167,
  D3DRS_COLORWRITEENABLE = 168,
  D3DRS_TWEENFACTOR = 170,
  D3DRS_BLENDOP = 171,
  D3DRS_POSITIONDEGREE = 172,
  D3DRS_NORMALDEGREE = 173,
  D3DRS_SCISSORTESTENABLE = 174,
  D3DRS_SLOPESCALEDEPTHBIAS = 175,
  D3DRS_ANTIALIASEDLINEENABLE = 176,
  D3DRS_MINTESSELLATIONLEVEL = 178,
  D3DRS_MAXTESSELLATIONLEVEL = 179,
  D3DRS_ADAPTIVETESS_X = 180,
  D3DRS_ADAPTIVETESS_Y = 181,
  D3DRS_ADAPTIVETESS_Z = 182,
  D3DRS_ADAPTIVETESS_W = 183,
  D3DRS_ENABLEADAPTIVETESSELLATION = 184,
  D3DRS_TWOSIDEDSTENCILMODE = 185,
  D3DRS_CCW_STENCILFAIL = 186,
  D3DRS_CCW_STENCILZFAIL = 187,
  D3DRS_CCW_STENCILPASS = 188,
  D3DRS_CCW_STENCILFUNC = 189,
  D3DRS_COLORWRITEENABLE1 = 190,
  D3DRS_COLORWRITEENABLE2 = 191,
  D3DRS_COLORWRITEENABLE3 = 192,
  D3DRS_BLENDFACTOR = 193,
  D3DRS_SRGBWRITEENABLE = 194,
  D3DRS_DEPTHBIAS = 195,
  D3DRS_WRAP8 = 198,
  D3DRS_WRAP15 = 205,
  D3DRS_SEPARATEALPHABLENDENABLE = 206,
  D3DRS_SRCBLENDALPHA = 207,
  D3DRS_DESTBLENDALPHA = 208,
  D3DRS_BLENDOPALPHA = 209
};
// Render states are kept in a table indexed by the state number.
constexpr uint32_t kD3DRenderStateCount = 210;

enum D3DZBUFFERTYPE : uint32_t { D3DZB_FALSE = 0, D3DZB_TRUE = 1, D3DZB_USEW = 2 };
enum D3DFILLMODE : uint32_t { D3DFILL_POINT = 1, D3DFILL_WIREFRAME = 2, D3DFILL_SOLID = 3 };
enum D3DSHADEMODE : uint32_t { D3DSHADE_FLAT = 1, D3DSHADE_GOURAUD = 2, D3DSHADE_PHONG = 3 };
enum D3DCULL : uint32_t { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };
enum D3DBLEND : uint32_t {
  D3DBLEND_ZERO = 1,
  D3DBLEND_ONE = 2,
  D3DBLEND_SRCCOLOR = 3,
  D3DBLEND_INVSRCCOLOR = 4,
  D3DBLEND_SRCALPHA = 5,
  D3DBLEND_INVSRCALPHA = 6,
  D3DBLEND_DESTALPHA = 7,
  D3DBLEND_INVDESTALPHA = 8,
  D3DBLEND_DESTCOLOR = 9,
  D3DBLEND_INVDESTCOLOR = 10,
  D3DBLEND_SRCALPHASAT = 11,
  D3DBLEND_BOTHSRCALPHA = 12,
  D3DBLEND_BOTHINVSRCALPHA = 13,
  D3DBLEND_BLENDFACTOR = 14,
  D3DBLEND_INVBLENDFACTOR = 15
};
enum D3DBLENDOP : uint32_t {
  D3DBLENDOP_ADD = 1,
  D3DBLENDOP_SUBTRACT = 2,
  D3DBLENDOP_REVSUBTRACT = 3,
  D3DBLENDOP_MIN = 4,
  D3DBLENDOP_MAX = 5
};
enum D3DCMPFUNC : uint32_t {
  D3DCMP_NEVER = 1,
  D3DCMP_LESS = 2,
  D3DCMP_EQUAL = 3,
  D3DCMP_LESSEQUAL = 4,
  D3DCMP_GREATER = 5,
  D3DCMP_NOTEQUAL = 6,
  D3DCMP_GREATEREQUAL = 7,
  D3DCMP_ALWAYS = 8
};
enum D3DSTENCILOP : uint32_t {
  D3DSTENCILOP_KEEP = 1,
  D3DSTENCILOP_ZERO = 2,
  D3DSTENCILOP_REPLACE = 3,
  D3DSTENCILOP_INCRSAT = 4,
  D3DSTENCILOP_DECRSAT = 5,
  D3DSTENCILOP_INVERT = 6,
  D3DSTENCILOP_INCR = 7,
  D3DSTENCILOP_DECR = 8
};
enum D3DMATERIALCOLORSOURCE : uint32_t { D3DMCS_MATERIAL = 0, D3DMCS_COLOR1 = 1, D3DMCS_COLOR2 = 2 };
enum D3DFOGMODE : uint32_t { D3DFOG_NONE = 0, D3DFOG_EXP = 1, D3DFOG_EXP2 = 2, D3DFOG_LINEAR = 3 };
enum D3DLIGHTTYPE : uint32_t { D3DLIGHT_POINT = 1, D3DLIGHT_SPOT = 2, D3DLIGHT_DIRECTIONAL = 3 };

enum D3DTEXTURESTAGESTATETYPE : uint32_t {
  D3DTSS_COLOROP = 1,
  D3DTSS_COLORARG1 = 2,
  D3DTSS_COLORARG2 = 3,
  D3DTSS_ALPHAOP = 4,
  D3DTSS_ALPHAARG1 = 5,
  D3DTSS_ALPHAARG2 = 6,
  D3DTSS_BUMPENVMAT00 = 7,
  D3DTSS_BUMPENVMAT01 = 8,
  D3DTSS_BUMPENVMAT10 = 9,
  D3DTSS_BUMPENVMAT11 = 10,
  D3DTSS_TEXCOORDINDEX = 11,
  D3DTSS_BUMPENVLSCALE = 22,
  D3DTSS_BUMPENVLOFFSET = 23,
  D3DTSS_TEXTURETRANSFORMFLAGS = 24,
  D3DTSS_COLORARG0 = 26,
  D3DTSS_ALPHAARG0 = 27,
  D3DTSS_RESULTARG = 28,
  D3DTSS_CONSTANT = 32
};
constexpr uint32_t kD3DTextureStageStateCount = 33;
constexpr uint32_t kD3DStageCount = 8;

enum D3DTEXTUREOP : uint32_t {
  D3DTOP_DISABLE = 1,
  D3DTOP_SELECTARG1 = 2,
  D3DTOP_SELECTARG2 = 3,
  D3DTOP_MODULATE = 4,
  D3DTOP_MODULATE2X = 5,
  D3DTOP_MODULATE4X = 6,
  D3DTOP_ADD = 7,
  D3DTOP_ADDSIGNED = 8,
  D3DTOP_ADDSIGNED2X = 9,
  D3DTOP_SUBTRACT = 10,
  D3DTOP_ADDSMOOTH = 11,
  D3DTOP_BLENDDIFFUSEALPHA = 12,
  D3DTOP_BLENDTEXTUREALPHA = 13,
  D3DTOP_BLENDFACTORALPHA = 14,
  D3DTOP_BLENDTEXTUREALPHAPM = 15,
  D3DTOP_BLENDCURRENTALPHA = 16,
  D3DTOP_PREMODULATE = 17,
  D3DTOP_DOTPRODUCT3 = 24,
  D3DTOP_MULTIPLYADD = 25,
  D3DTOP_LERP = 26
};

#define D3DTA_SELECTMASK 0x0000000fu
#define D3DTA_DIFFUSE 0x00000000u
#define D3DTA_CURRENT 0x00000001u
#define D3DTA_TEXTURE 0x00000002u
#define D3DTA_TFACTOR 0x00000003u
#define D3DTA_SPECULAR 0x00000004u
#define D3DTA_TEMP 0x00000005u
#define D3DTA_CONSTANT 0x00000006u
#define D3DTA_COMPLEMENT 0x00000010u
#define D3DTA_ALPHAREPLICATE 0x00000020u

enum D3DSAMPLERSTATETYPE : uint32_t {
  D3DSAMP_ADDRESSU = 1,
  D3DSAMP_ADDRESSV = 2,
  D3DSAMP_ADDRESSW = 3,
  D3DSAMP_BORDERCOLOR = 4,
  D3DSAMP_MAGFILTER = 5,
  D3DSAMP_MINFILTER = 6,
  D3DSAMP_MIPFILTER = 7,
  D3DSAMP_MIPMAPLODBIAS = 8,
  D3DSAMP_MAXMIPLEVEL = 9,
  D3DSAMP_MAXANISOTROPY = 10,
  D3DSAMP_SRGBTEXTURE = 11,
  D3DSAMP_ELEMENTINDEX = 12,
  D3DSAMP_DMAPOFFSET = 13
};
constexpr uint32_t kD3DSamplerStateCount = 14;

enum D3DTEXTUREADDRESS : uint32_t {
  D3DTADDRESS_WRAP = 1,
  D3DTADDRESS_MIRROR = 2,
  D3DTADDRESS_CLAMP = 3,
  D3DTADDRESS_BORDER = 4,
  D3DTADDRESS_MIRRORONCE = 5
};
enum D3DTEXTUREFILTERTYPE : uint32_t {
  D3DTEXF_NONE = 0,
  D3DTEXF_POINT = 1,
  D3DTEXF_LINEAR = 2,
  D3DTEXF_ANISOTROPIC = 3,
  D3DTEXF_PYRAMIDALQUAD = 6,
  D3DTEXF_GAUSSIANQUAD = 7
};

enum D3DSTATEBLOCKTYPE : uint32_t { D3DSBT_ALL = 1, D3DSBT_PIXELSTATE = 2, D3DSBT_VERTEXSTATE = 3 };

// [FVF] ---------------------------------------------------------------------------------------
#define D3DFVF_RESERVED0 0x0001u
#define D3DFVF_POSITION_MASK 0x400Eu
#define D3DFVF_XYZ 0x0002u
#define D3DFVF_XYZRHW 0x0004u
#define D3DFVF_XYZB1 0x0006u
#define D3DFVF_XYZB2 0x0008u
#define D3DFVF_XYZB3 0x000au
#define D3DFVF_XYZB4 0x000cu
#define D3DFVF_XYZB5 0x000eu
#define D3DFVF_XYZW 0x4002u
#define D3DFVF_NORMAL 0x0010u
#define D3DFVF_PSIZE 0x0020u
#define D3DFVF_DIFFUSE 0x0040u
#define D3DFVF_SPECULAR 0x0080u
#define D3DFVF_TEXCOUNT_MASK 0x0f00u
#define D3DFVF_TEXCOUNT_SHIFT 8
#define D3DFVF_TEX0 0x0000u
#define D3DFVF_TEX1 0x0100u
#define D3DFVF_TEX2 0x0200u
#define D3DFVF_TEX3 0x0300u
#define D3DFVF_TEX4 0x0400u
#define D3DFVF_TEX5 0x0500u
#define D3DFVF_TEX6 0x0600u
#define D3DFVF_TEX7 0x0700u
#define D3DFVF_TEX8 0x0800u
#define D3DFVF_LASTBETA_UBYTE4 0x1000u
#define D3DFVF_LASTBETA_D3DCOLOR 0x8000u
#define D3DFVF_TEXTUREFORMAT1 3u
#define D3DFVF_TEXTUREFORMAT2 0u
#define D3DFVF_TEXTUREFORMAT3 1u
#define D3DFVF_TEXTUREFORMAT4 2u
#define D3DFVF_TEXCOORDSIZE1(i) (D3DFVF_TEXTUREFORMAT1 << ((i)*2 + 16))
#define D3DFVF_TEXCOORDSIZE2(i) (D3DFVF_TEXTUREFORMAT2)
#define D3DFVF_TEXCOORDSIZE3(i) (D3DFVF_TEXTUREFORMAT3 << ((i)*2 + 16))
#define D3DFVF_TEXCOORDSIZE4(i) (D3DFVF_TEXTUREFORMAT4 << ((i)*2 + 16))

// Size in bytes of one vertex of an FVF (0 for an FVF without a position).
UINT D3DGetFVFVertexSize(DWORD fvf);

// [RECORDS] -----------------------------------------------------------------------------------
struct D3DDISPLAYMODE {
  UINT Width;
  UINT Height;
  UINT RefreshRate;
  D3DFORMAT Format;
};

struct D3DPRESENT_PARAMETERS {
  UINT BackBufferWidth;   // 0: the window's client width
  UINT BackBufferHeight;  // 0: the window's client height
  D3DFORMAT BackBufferFormat;
  UINT BackBufferCount;
  D3DMULTISAMPLE_TYPE MultiSampleType;
  DWORD MultiSampleQuality;
  D3DSWAPEFFECT SwapEffect;
  HWND hDeviceWindow;
  BOOL Windowed;
  BOOL EnableAutoDepthStencil;
  D3DFORMAT AutoDepthStencilFormat;
  DWORD Flags;
  UINT FullScreen_RefreshRateInHz;
  UINT PresentationInterval;
};

struct D3DVSHADERCAPS2_0 {
  DWORD Caps;
  INT DynamicFlowControlDepth;
  INT NumTemps;
  INT StaticFlowControlDepth;
};
struct D3DPSHADERCAPS2_0 {
  DWORD Caps;
  INT DynamicFlowControlDepth;
  INT NumTemps;
  INT StaticFlowControlDepth;
  INT NumInstructionSlots;
};

#define D3DFVFCAPS_TEXCOORDCOUNTMASK 0x0000ffffu
#define D3DFVFCAPS_DONOTSTRIPELEMENTS 0x00080000u
#define D3DFVFCAPS_PSIZE 0x00100000u
#define D3DPTEXTURECAPS_POW2 0x00000002u
#define D3DPTEXTURECAPS_ALPHA 0x00000004u
#define D3DPTEXTURECAPS_NONPOW2CONDITIONAL 0x00000100u

struct D3DCAPS9 {
  D3DDEVTYPE DeviceType;
  UINT AdapterOrdinal;
  DWORD Caps, Caps2, Caps3;
  DWORD PresentationIntervals;
  DWORD CursorCaps;
  DWORD DevCaps;
  DWORD PrimitiveMiscCaps, RasterCaps, ZCmpCaps, SrcBlendCaps, DestBlendCaps, AlphaCmpCaps;
  DWORD ShadeCaps, TextureCaps, TextureFilterCaps, CubeTextureFilterCaps;
  DWORD VolumeTextureFilterCaps, TextureAddressCaps, VolumeTextureAddressCaps, LineCaps;
  DWORD MaxTextureWidth, MaxTextureHeight, MaxVolumeExtent;
  DWORD MaxTextureRepeat, MaxTextureAspectRatio, MaxAnisotropy;
  float MaxVertexW;
  float GuardBandLeft, GuardBandTop, GuardBandRight, GuardBandBottom;
  float ExtentsAdjust;
  DWORD StencilCaps;
  DWORD FVFCaps;
  DWORD TextureOpCaps;
  DWORD MaxTextureBlendStages;
  DWORD MaxSimultaneousTextures;
  DWORD VertexProcessingCaps;
  DWORD MaxActiveLights;
  DWORD MaxUserClipPlanes;
  DWORD MaxVertexBlendMatrices;
  DWORD MaxVertexBlendMatrixIndex;
  float MaxPointSize;
  DWORD MaxPrimitiveCount;
  DWORD MaxVertexIndex;
  DWORD MaxStreams;
  DWORD MaxStreamStride;
  DWORD VertexShaderVersion;
  DWORD MaxVertexShaderConst;
  DWORD PixelShaderVersion;
  float PixelShader1xMaxValue;
  DWORD DevCaps2;
  float MaxNpatchTessellationLevel;
  DWORD Reserved5;
  UINT MasterAdapterOrdinal;
  UINT AdapterOrdinalInGroup;
  UINT NumberOfAdaptersInGroup;
  DWORD DeclTypes;
  DWORD NumSimultaneousRTs;
  DWORD StretchRectFilterCaps;
  D3DVSHADERCAPS2_0 VS20Caps;
  D3DPSHADERCAPS2_0 PS20Caps;
  DWORD VertexTextureFilterCaps;
  DWORD MaxVShaderInstructionsExecuted;
  DWORD MaxPShaderInstructionsExecuted;
  DWORD MaxVertexShader30InstructionSlots;
  DWORD MaxPixelShader30InstructionSlots;
};

struct D3DMATERIAL9 {
  D3DCOLORVALUE Diffuse;
  D3DCOLORVALUE Ambient;
  D3DCOLORVALUE Specular;
  D3DCOLORVALUE Emissive;
  float Power;
};

struct D3DLIGHT9 {
  D3DLIGHTTYPE Type;
  D3DCOLORVALUE Diffuse;
  D3DCOLORVALUE Specular;
  D3DCOLORVALUE Ambient;
  D3DVECTOR Position;
  D3DVECTOR Direction;  // direction of travel of the light, world space
  float Range;
  float Falloff;
  float Attenuation0;
  float Attenuation1;
  float Attenuation2;
  float Theta;
  float Phi;
};

struct D3DVIEWPORT9 {
  DWORD X, Y;
  DWORD Width, Height;
  float MinZ, MaxZ;
};

struct D3DSURFACE_DESC {
  D3DFORMAT Format;
  D3DRESOURCETYPE Type;
  DWORD Usage;
  D3DPOOL Pool;
  D3DMULTISAMPLE_TYPE MultiSampleType;
  DWORD MultiSampleQuality;
  UINT Width;
  UINT Height;
};

struct D3DLOCKED_RECT {
  INT Pitch;  // bytes from one row to the next; rows top first
  void* pBits;
};

struct D3DVERTEXBUFFER_DESC {
  D3DFORMAT Format;
  D3DRESOURCETYPE Type;
  DWORD Usage;
  D3DPOOL Pool;
  UINT Size;
  DWORD FVF;
};

struct D3DINDEXBUFFER_DESC {
  D3DFORMAT Format;
  D3DRESOURCETYPE Type;
  DWORD Usage;
  D3DPOOL Pool;
  UINT Size;
};

// [INTERFACES] --------------------------------------------------------------------------------
// Every interface is reference-counted: created with a count of 1, AddRef/Release return the
// new count, the object is destroyed when it reaches 0. Getters that return an interface
// (GetBackBuffer, GetRenderTarget, GetSurfaceLevel, GetTexture, GetDevice...) add a reference
// the caller must release, as on Windows.
class IDirect3DDevice9;

typedef uint32_t ULONG;

class IUnknown {
 public:
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IUnknown() = default;
};

class IDirect3DResource9 : public IUnknown {
 public:
  virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
  virtual D3DRESOURCETYPE GetType() = 0;
};

// A surface: the back buffer, a level of a texture, or a depth-stencil buffer.
// LockRect works on every colour surface, also the back buffer and render targets (the stand-in
// reads them back from GL; rows top first, A8R8G8B8, X8R8G8B8 surfaces read with alpha 255), and
// UnlockRect writes a non-READONLY lock back. rect null = the whole surface.
class IDirect3DSurface9 : public IDirect3DResource9 {
 public:
  virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
  virtual HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
  virtual HRESULT UnlockRect() = 0;
  // The texture this surface is a level of (with a reference), or D3DERR_INVALIDCALL.
  virtual HRESULT GetContainerTexture(class IDirect3DTexture9** texture) = 0;
};

class IDirect3DBaseTexture9 : public IDirect3DResource9 {
 public:
  virtual DWORD GetLevelCount() = 0;
};

// A 2D texture with exactly one level of exactly the size asked (non-power-of-two sizes are
// kept). Texels live in a CPU copy (A8R8G8B8 words, rows top first) and in a GL texture;
// writes through LockRect show after UnlockRect. Render-target textures read their texels back
// from GL when locked.
class IDirect3DTexture9 : public IDirect3DBaseTexture9 {
 public:
  virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
  virtual HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) = 0;
  virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
  virtual HRESULT UnlockRect(UINT level) = 0;
};

class IDirect3DVertexBuffer9 : public IDirect3DResource9 {
 public:
  // offset and size 0: the whole buffer.
  virtual HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) = 0;
  virtual HRESULT Unlock() = 0;
  virtual HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) = 0;
};

class IDirect3DIndexBuffer9 : public IDirect3DResource9 {
 public:
  virtual HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) = 0;
  virtual HRESULT Unlock() = 0;
  virtual HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) = 0;
};

// D3DSBT_ALL captures render, stage and sampler states, transforms, light 0..7 and their
// enables, material, viewport, bound textures, FVF, stream 0 and indices.
class IDirect3DStateBlock9 : public IUnknown {
 public:
  virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
  virtual HRESULT Capture() = 0;
  virtual HRESULT Apply() = 0;
};

class IDirect3DDevice9 : public IUnknown {
 public:
  virtual HRESULT TestCooperativeLevel() = 0;
  virtual HRESULT GetDirect3D(class IDirect3D9** d3d) = 0;
  virtual HRESULT GetDeviceCaps(D3DCAPS9* caps) = 0;
  virtual HRESULT GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) = 0;
  virtual HRESULT GetCreationParameters(D3DPRESENT_PARAMETERS* current) = 0;  // our own
  virtual UINT GetAvailableTextureMem() = 0;
  // Returns every state to Direct3D 9's defaults; fails while any DEFAULT-pool resource other
  // than the back buffer is alive (D3DERR_INVALIDCALL), as on Windows.
  virtual HRESULT Reset(D3DPRESENT_PARAMETERS* params) = 0;
  // Stretches the back buffer over the window's client area; waits for vsync where offered.
  virtual HRESULT Present(const RECT* source, const RECT* dest, HWND window, const void* dirty) = 0;
  virtual HRESULT GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type,
                                IDirect3DSurface9** surface) = 0;

  virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture,
                                HANDLE* shared) = 0;
  virtual HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                     IDirect3DVertexBuffer9** buffer, HANDLE* shared) = 0;
  virtual HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                    IDirect3DIndexBuffer9** buffer, HANDLE* shared) = 0;
  virtual HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format,
                                              D3DPOOL pool, IDirect3DSurface9** surface,
                                              HANDLE* shared) = 0;

  virtual HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) = 0;
  virtual HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) = 0;
  virtual HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) = 0;
  virtual HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) = 0;

  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                        DWORD stencil) = 0;

  virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
  virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
  virtual HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
  virtual HRESULT SetViewport(const D3DVIEWPORT9* viewport) = 0;
  virtual HRESULT GetViewport(D3DVIEWPORT9* viewport) = 0;
  virtual HRESULT SetMaterial(const D3DMATERIAL9* material) = 0;
  virtual HRESULT GetMaterial(D3DMATERIAL9* material) = 0;
  virtual HRESULT SetLight(DWORD index, const D3DLIGHT9* light) = 0;
  virtual HRESULT GetLight(DWORD index, D3DLIGHT9* light) = 0;
  virtual HRESULT LightEnable(DWORD index, BOOL enable) = 0;
  virtual HRESULT GetLightEnable(DWORD index, BOOL* enable) = 0;

  virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
  virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
  virtual HRESULT CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** block) = 0;

  virtual HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) = 0;
  virtual HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) = 0;
  virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                       DWORD* value) = 0;
  virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                       DWORD value) = 0;
  virtual HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) = 0;
  virtual HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) = 0;

  virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) = 0;
  virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex,
                                       UINT minVertexIndex, UINT numVertices, UINT startIndex,
                                       UINT primitiveCount) = 0;
  virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount,
                                  const void* vertexData, UINT stride) = 0;
  virtual HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex,
                                         UINT numVertices, UINT primitiveCount,
                                         const void* indexData, D3DFORMAT indexFormat,
                                         const void* vertexData, UINT stride) = 0;

  virtual HRESULT SetFVF(DWORD fvf) = 0;
  virtual HRESULT GetFVF(DWORD* fvf) = 0;
  virtual HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                                  UINT stride) = 0;
  virtual HRESULT GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset,
                                  UINT* stride) = 0;
  virtual HRESULT SetIndices(IDirect3DIndexBuffer9* buffer) = 0;
  virtual HRESULT GetIndices(IDirect3DIndexBuffer9** buffer) = 0;
};

class IDirect3D9 : public IUnknown {
 public:
  virtual UINT GetAdapterCount() = 0;
  virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
  virtual HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT displayFormat,
                                  D3DFORMAT backBufferFormat, BOOL windowed) = 0;
  virtual HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                    DWORD usage, D3DRESOURCETYPE resourceType,
                                    D3DFORMAT checkFormat) = 0;
  virtual HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type,
                                             D3DFORMAT surfaceFormat, BOOL windowed,
                                             D3DMULTISAMPLE_TYPE multiSample,
                                             DWORD* qualityLevels) = 0;
  virtual HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                         D3DFORMAT renderTargetFormat,
                                         D3DFORMAT depthStencilFormat) = 0;
  virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) = 0;
  // The window must be one the GL window host knows (platform/gl_window.h). BackBufferWidth
  // and BackBufferHeight 0 are replaced by the client size in *params.
  virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD flags,
                               D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) = 0;
};

// Null when no GL context can be made (no display, no driver) or for another SDK version.
IDirect3D9* Direct3DCreate9(UINT sdkVersion);

// [SEAM] --------------------------------------------------------------------------------------
// Test hooks. GL never loses its device: these make the recovery and fall-back paths of the
// device object run for real.
namespace d3d9gl {

struct TestOptions {
  bool refuseHal = false;            // CheckDeviceType(HAL) and CreateDevice(HAL) fail
  bool refuseRef = false;            // the same for the reference device
  bool refuseMultisample2 = false;   // CheckDeviceMultiSampleType(2 samples) fails
  bool noStencilFormats = false;     // D24S8, D24X4S4, D15S1 are refused
  DWORD refuseCreateFlags = 0;       // CreateDevice fails when its flags contain any of these
  bool failDirect3DCreate = false;   // Direct3DCreate9 returns null
  UINT maxVertexIndex = 0x00FFFFFF;  // reported in D3DCAPS9::MaxVertexIndex
};
void SetTestOptions(const TestOptions& options);
const TestOptions& GetTestOptions();

// Makes every device report loss: Present and TestCooperativeLevel return D3DERR_DEVICELOST
// for the next `lostChecks` TestCooperativeLevel calls, then D3DERR_DEVICENOTRESET until the
// next successful Reset.
void ForceDeviceLoss(int lostChecks);

// Counts of device calls, for tests that check a call was or was not made.
struct CallCounts {
  int setMaterial = 0;
  int setRenderState = 0;
  int setTextureStageState = 0;
  int setSamplerState = 0;
  int setTexture = 0;
  int draw = 0;  // any of the four draw calls
  int clear = 0;
  int present = 0;
  int reset = 0;
  int createDevice = 0;
};
CallCounts& GetCallCounts();
void ResetCallCounts();

}
