#pragma once
// The model vertex, sVertexNormalTex (position, normal, u, v: 32 bytes, FVF 0x112), is declared
// with the dynamic buffers in graphics/renderer.h. Until that header is in the tree the same
// record is declared here so the model library builds on its own.
#if __has_include("graphics/renderer.h")
#include "graphics/renderer.h"
#else
struct sVertexNormalTex {
  float x, y, z;
  float nx, ny, nz;
  float u, v;
};
#endif
static_assert(sizeof(sVertexNormalTex) == 32, "32-byte model vertices");
