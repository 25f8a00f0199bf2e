#pragma once
// gl_window: how the Direct3D stand-in finds the SDL window behind a window handle, and the few
// window calls the graphics device object makes (client size, work area, frame metrics, moving
// the window). The window layer (win_user) installs its own host; until then, and in tests,
// CreateGLTestWindow makes a hidden SDL window with a handle of its own.
//
// Only platform/ includes this file's users' SDL and GL headers; this header itself needs none.

#include "platform/win_base.h"

struct SDL_Window;

class GLWindowHost {
 public:
  virtual ~GLWindowHost() = default;
  // The SDL window (created with SDL_WINDOW_OPENGL) behind a handle; null when unknown.
  virtual SDL_Window* SdlWindowOf(HWND window) = 0;
  // The client area in pixels; false for an unknown handle.
  virtual bool ClientSize(HWND window, int* width, int* height) = 0;
  // The desktop area not covered by task bars.
  virtual RECT WorkArea() = 0;
  // Width and height of a sizing frame (SM_CXSIZEFRAME, SM_CYSIZEFRAME).
  virtual void SizeFrame(int* cx, int* cy) = 0;
  // Places the window's outer rectangle; false for an unknown handle.
  virtual bool Move(HWND window, int x, int y, int width, int height) = 0;
};

// Null restores the built-in host that serves CreateGLTestWindow's windows.
void SetGLWindowHost(GLWindowHost* host);
GLWindowHost* GetGLWindowHost();

// A hidden OpenGL-capable SDL window of the given client size (SDL video is initialised on
// first use; tests run it on the offscreen driver). Null when SDL cannot make one.
HWND CreateGLTestWindow(int width, int height);
// Destroys a window made by CreateGLTestWindow; other handles are ignored.
void DestroyGLTestWindow(HWND window);
// Changes the client size of a test window (as a user resizing it would).
bool ResizeGLTestWindow(HWND window, int width, int height);

// [WINDOW CALLS] The Windows names the device object calls, answered through the host. They
// move to the window layer's header when it exists.
#define SPI_GETWORKAREA 0x0030
#define SM_CXSIZEFRAME 32
#define SM_CYSIZEFRAME 33
BOOL GetClientRect(HWND window, RECT* rect);
// SPI_GETWORKAREA only: param points to a RECT.
BOOL SystemParametersInfoA(UINT action, UINT uiParam, void* param, UINT winIni);
// SM_CXSIZEFRAME and SM_CYSIZEFRAME only; 0 for the others.
int GetSystemMetrics(int index);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
