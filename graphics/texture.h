#pragma once
// cTexture: a reference-counted Direct3D texture of one level, plus what the rest of the system
// needs about it: the source image's size and type, whether it has transparent texels, the
// sampler settings the graphics object applies when binding it, the last use and the name.
//
// Pictures come in two ways: GIF, TIFF, PCX, ICO/CUR and WBMP through the system's own decoders
// into a texture of exactly the image's size; everything else through D3DX, by content. An
// animated GIF keeps its decoded frames, and AdvanceAnimatedGif paints the next one in place.
// Every loader leaves the texture empty on failure.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/d3d9.h"

class cGraphics;
class cGifImage;

class cRefCounter {
 public:
  cRefCounter() { InitializeCriticalSection(&lock); }
  virtual ~cRefCounter() { DeleteCriticalSection(&lock); }
  cRefCounter(const cRefCounter&) = delete;
  cRefCounter& operator=(const cRefCounter&) = delete;

  int32_t refCount = 1;
  CRITICAL_SECTION lock;  // guards refCount (the cache changes it only while holding this)
};

// Type of the source image, from the file name's extension (10 to 15 are not used).
enum eImageType : uint32_t {
  kImageUnknown = 0,
  kImageJpg = 1,
  kImagePng = 2,
  kImageGif = 3,
  kImageBmp = 4,
  kImageTif = 5,
  kImageTga = 6,
  kImageDds = 7,
  kImageDib = 8,
  kImageHdr = 9,
  kImagePfm = 16,
  kImagePpm = 17,
  kImagePcx = 18,
  kImageIco = 19,
  kImageCur = 20,
  kImageWbmp = 21,
};

class cTexture : public cRefCounter {
 public:
  cTexture();
  ~cTexture() override;

  // Releases the D3D texture, the GIF and the name; graphics, id, imageType, size and lastUse
  // to 0, hasAlpha false. Sampler settings and format stay.
  void Free();
  // Copies the name (cut to 520 characters); null clears it.
  void SetName(const char* text);
  // Loads a picture file (program path), choosing the loader by the name's extension; format
  // and powerOfTwo reach only the D3DX path. The name is set whether or not the load worked.
  bool LoadFromFile(const char* fileName, cGraphics* graphics, D3DFORMAT format, bool powerOfTwo);
  // A blank one-level texture; size and format from the level as created.
  bool CreateEmpty(cGraphics* graphics, UINT width, UINT height, D3DFORMAT format, DWORD usage,
                   D3DPOOL pool);
  // LockRect / UnlockRect of level 0 over the whole level.
  bool Lock(DWORD flags, void** bits, int* pitch);
  bool Unlock();

  IDirect3DTexture9* d3dTexture = nullptr;  // owned
  cGraphics* graphics = nullptr;            // not owned
  std::unique_ptr<cGifImage> gif;           // kept for animation
  DWORD addressU = 1, addressV = 1;         // D3DTEXTUREADDRESS
  DWORD minFilter = 2, magFilter = 2;       // D3DTEXTUREFILTERTYPE
  D3DCOLOR borderColor = 0;
  D3DFORMAT format = D3DFMT_UNKNOWN;
  uint32_t id = 0;
  uint32_t imageType = kImageUnknown;
  uint32_t width = 0, height = 0;  // the source image's size
  DWORD lastUse = 0;
  std::string name;
  bool hasAlpha = false;  // some texel has alpha below 255

 private:
  bool LoadGif(const char* fileName, cGraphics* graphics);
  bool LoadTiff(const char* fileName, cGraphics* graphics);
  bool LoadPcx(const char* fileName, cGraphics* graphics);
  bool LoadIcon(const char* fileName, cGraphics* graphics, bool cursor);
  bool LoadWbmp(const char* fileName, cGraphics* graphics);
  bool LoadWithD3DX(const char* fileName, cGraphics* graphics, D3DFORMAT format, bool powerOfTwo);
  // Creates a w x h managed A8R8G8B8 (or, failing that, X8R8G8B8) texture and locks it.
  bool CreateAndLock(cGraphics* graphics, uint32_t w, uint32_t h, D3DLOCKED_RECT* locked);
};

// The image type from the extension after the last '.': "photo.JPG" 1, "a.jpeg" 0 (D3DX reads it
// by content), "x.tiff" 5, "y.wbmp" 21; null, empty or no '.' give 0.
uint32_t GetImageTypeFromName(const char* fileName);
// Draws the texture over dest (left, top, right, bottom), or the source rectangle of it.
// False when there is nothing to draw or a rectangle is empty.
bool DrawTexture(cTexture& texture, const RECT* dest, const RECT* source, D3DCOLOR color);
// The picture's size without loading it; both outs 0 on failure.
bool GetImageSize(const char* fileName, uint32_t* width, uint32_t* height);
// Once per drawn frame for the open image: paints the next frame of an animated GIF when its
// delay (+100 ms) has passed.
void AdvanceAnimatedGif(cTexture& texture);
// Test seam: forgets the animation step clock (the next step starts a new clock).
void ResetAnimationClockForTesting();
