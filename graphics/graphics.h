#pragma once
// cGraphics: the one Direct3D 9 device object of the program (reached through `Graphics`). It
// creates the device with its chain of fall-backs, sets the default states, survives device
// loss by telling two lists of device listeners (lost before the reset, reset after it),
// resets for a new window size, and offers material, texture, render-target and screenshot
// services. The two-dimensional drawing operations are implemented in graphics_2d.cpp.
//
// [RECORDS]   sMaterial, the screen vertices, sLineSegment2D
// [GRAPHICS]  cGraphics
// [GLOBALS]   Graphics, SetGraphicsSleepForTesting

#include <cstdint>

#include "core/listener.h"
#include "core/math3d.h"
#include "platform/d3d9.h"
#include "platform/d3dx9.h"

class cTexture;
class cTextureManager;

// [RECORDS] -----------------------------------------------------------------------------------
// A shade mode (1 flat, 2 Gouraud, 3 and 4 Phong) and the Direct3D material beside it.
struct sMaterial {
  int32_t shadeMode = 2;
  D3DMATERIAL9 material{};

  // Each component x 255 rounded, packed A << 24 | R << 16 | G << 8 | B.
  DWORD GetDiffuseARGB() const;
  DWORD GetAmbientARGB() const;
  DWORD GetSpecularARGB() const;
  DWORD GetEmissiveARGB() const;
  // Specular power clamped to 0..128.
  static void SetPower(sMaterial* material, float power);
};

// Pre-transformed vertices of the 2D drawing (FVF 0x44, 20 bytes; 0x144, 28 bytes).
struct sScreenVertex {
  float x, y, z, rhw;
  D3DCOLOR color;
};
struct sScreenVertexTex {
  float x, y, z, rhw;
  D3DCOLOR color;
  float u, v;
};
static_assert(sizeof(sScreenVertex) == 20, "FVF 0x44 layout");
static_assert(sizeof(sScreenVertexTex) == 28, "FVF 0x144 layout");

struct sLineSegment2D {
  int32_t x1, y1, x2, y2;
};

// [GRAPHICS] ----------------------------------------------------------------------------------
class cGraphics {
 public:
  cGraphics();
  // Unbinds stages 0..7, frees both listener lists (not the listeners), releases everything.
  virtual ~cGraphics();
  cGraphics(const cGraphics&) = delete;
  cGraphics& operator=(const cGraphics&) = delete;

  // Creates the device for MainWindow (ClientWidth x ClientHeight when at least 1, else its
  // client size) with the fall-backs HAL -> REF, 2 samples -> 1 -> none, stencil depth formats
  // -> plain depth formats, hardware -> mixed -> software vertex processing. False at the first
  // failure, leaving no device.
  bool Init();
  // Ends an open sprite batch and releases states, surfaces, sprite, device, Direct3D; true.
  bool ReleaseAll();
  // Z on, lighting on, blending SRCALPHA/INVSRCALPHA on, alpha test off, the cached material,
  // stage 0 MODULATE, linear filters on sampler 0, ambient (52, 52, 52); true.
  bool ApplyDefaultStates();

  // Tests a lost device first: frames are refused (after a 50 ms sleep) until the device can be
  // reset, then lost listeners, reset, reset listeners. Clears target, depth and (with a
  // stencil format) stencil, then BeginScene. True when the frame may be drawn.
  bool BeginFrame(D3DCOLOR clearColor);
  // EndScene, Present when asked (device loss sets deviceLost), unbinds stages 0..7, lets the
  // texture cache sweep. False without a device.
  bool EndFrame(bool present);
  void Present();
  // After the main window changed size: lost listeners, Reset to the client size, defaults,
  // reset listeners. False at the first failure.
  bool Resize();
  // Reset for the desktop work area (the window moved over it); false at the first failure.
  bool ResetDevice();
  bool NotifyLost();
  bool NotifyReset();

  // lostList true: the lost list, false: the reset list. False for null or a listener already
  // in that list.
  bool AddDeviceListener(bool lostList, cEventListener* listener);
  bool RemoveLostListener(cEventListener* listener);
  bool RemoveResetListener(cEventListener* listener);

  bool SetProjection(float fieldOfView, float aspect, float zNear, float zFar);
  // 1 none, 2 clockwise, 3 counter-clockwise (anything else: clockwise).
  bool SetCullMode(int mode);
  // The same numbers back; 0 for another state, 3 without a device.
  int GetCullMode();
  // 2 wireframe, 3 solid, else point.
  bool SetFillMode(int mode);
  bool SetAmbientColor(BYTE red, BYTE green, BYTE blue);
  // Skips the device when the packed colours and power equal the cached ones.
  bool SetMaterial(const sMaterial* material);
  // Binds a texture on stage 0..7 (null unbinds) with its sampler settings, each written only
  // where the device's current value differs.
  bool SetTexture(int stage, cTexture* texture);
  void SetModulateStage();
  void SetPointSize(float size, float minimum, float maximum);
  void SetPointParams(float size, float minimum, float maximum, float a, float b, float c);
  void BeginPointSprites();
  void EndPointSprites();
  void GetClientRect(int* left, int* top, int* right, int* bottom);
  // Level 0 of the texture becomes the render target (the back buffer is kept for the way
  // back); null returns to the back buffer.
  bool SetRenderTargetTexture(cTexture* texture);
  // Back buffer 0 written to a file (CP936 program path) in the format.
  bool SaveScreenshot(const char* path, D3DXIMAGE_FILEFORMAT format);
  bool CopyBackBufferToTexture(cTexture* texture);

  // The scene light (SceneLight) takes the colour settings with the given alpha.
  static void SetLightDiffuse(float alpha);
  static void SetLightSpecular(float alpha);
  static void SetLightAmbient(float alpha);
  // SceneLight as device light 0 (enabled): true without a call when SceneLight is null.
  bool ApplyLight();

  // Two-dimensional drawing (graphics_2d.cpp).
  void DrawLines(D3DCOLOR color, const sLineSegment2D* lines, int count);
  void DrawRectOutline(D3DCOLOR color, int x1, int y1, int x2, int y2);
  void FillRect(D3DCOLOR color, int x1, int y1, int x2, int y2);
  void DrawCircle(int radius, int centerX, int centerY);
  void SetTransform2D(const sMatrix4* matrix);
  void DrawTexturedRect(cTexture* texture, D3DCOLOR color, float left, float top, float right,
                        float bottom);
  void DrawTexturedRectPart(cTexture* texture, float left, float top, float right, float bottom,
                            float sourceLeft, float sourceTop, float sourceRight,
                            float sourceBottom, D3DCOLOR color);
  void DrawTexturedRectPart(const RECT* dest, const RECT* source, cTexture* texture,
                            D3DCOLOR color);
  bool SaveStates();
  bool RestoreStates();
  bool BeginSprite();
  bool EndSprite();

  void (*onDeviceLost)() = nullptr;
  void (*onDeviceReset)() = nullptr;
  HWND window = nullptr;
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* device = nullptr;
  ID3DXSprite* sprite = nullptr;
  IDirect3DStateBlock9* savedStates = nullptr;
  cTextureManager* textureManager = nullptr;
  IDirect3DSurface9* savedBackBuffer = nullptr;
  IDirect3DSurface9* targetSurface = nullptr;
  D3DPRESENT_PARAMETERS presentParameters{};
  D3DCAPS9 caps{};
  int32_t shadeMode = 2;
  D3DMATERIAL9 material{};
  bool lightingOn = true;
  bool hasStencil = false;
  bool hardwareDevice = false;
  bool deviceLost = false;
  int32_t targetWidth = 0;
  int32_t targetHeight = 0;
  D3DMULTISAMPLE_TYPE multisampleType = D3DMULTISAMPLE_NONE;
  int32_t spriteDepth = 0;
  D3DCOLOR ambientColor = 0;

  bool transformActive = false;
  sMatrix4 transform2D;
  sScreenVertexTex quad[4];

 private:
  struct ListenerNode {
    cEventListener* listener;
    ListenerNode* next;
  };
  static bool Append(ListenerNode** head, cEventListener* listener);
  static bool Unlink(ListenerNode** head, cEventListener* listener);
  static void FreeList(ListenerNode** head);
  bool ChooseDepthFormat();
  bool ResetWithSize(int width, int height);
  void UnbindStages();

  ListenerNode* lostListeners = nullptr;
  ListenerNode* resetListeners = nullptr;
  CRITICAL_SECTION lostLock;
  CRITICAL_SECTION resetLock;
  D3DDEVTYPE deviceType = D3DDEVTYPE_HAL;
};

// [GLOBALS] -----------------------------------------------------------------------------------
extern cGraphics* Graphics;

// Test seam: the sleep of a refused frame goes to this function instead of Sleep (null
// restores Sleep).
void SetGraphicsSleepForTesting(void (*sleep)(DWORD milliseconds));
