#pragma once
// cTexture: a reference-counted Direct3D texture of one level with the sampler settings the
// graphics object applies when binding it.
//
// Only the fields the device object reads are declared so far; loading from files and the
// rest of the texture operations come with the texture cache.

#include <cstdint>

#include "platform/d3d9.h"

class cGraphics;

class cRefCounter {
 public:
  cRefCounter() { InitializeCriticalSection(&lock); }
  virtual ~cRefCounter() { DeleteCriticalSection(&lock); }
  cRefCounter(const cRefCounter&) = delete;
  cRefCounter& operator=(const cRefCounter&) = delete;

  int32_t refCount = 1;
  CRITICAL_SECTION lock;
};

class cTexture : public cRefCounter {
 public:
  cTexture() = default;
  ~cTexture() override {
    if (d3dTexture) d3dTexture->Release();
  }

  IDirect3DTexture9* d3dTexture = nullptr;  // owned
  cGraphics* graphics = nullptr;
  DWORD addressU = 1, addressV = 1;  // D3DTEXTUREADDRESS
  DWORD minFilter = 2, magFilter = 2;  // D3DTEXTUREFILTERTYPE
  D3DCOLOR borderColor = 0;
  D3DFORMAT format = D3DFMT_UNKNOWN;
  uint32_t id = 0;
  uint32_t width = 0, height = 0;
  DWORD lastUse = 0;
  bool hasAlpha = false;
};
