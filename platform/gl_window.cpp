// The built-in GL window host: hidden SDL windows for tests and for running before the window
// layer exists. Handles are the SDL window ids, so they are never null and never reused.

#include "platform/gl_window.h"

#include <SDL.h>

#include <map>

namespace {

class TestWindowHost final : public GLWindowHost {
 public:
  SDL_Window* SdlWindowOf(HWND window) override {
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second;
  }
  bool ClientSize(HWND window, int* width, int* height) override {
    SDL_Window* sdl = SdlWindowOf(window);
    if (!sdl) return false;
    SDL_GetWindowSize(sdl, width, height);
    return true;
  }
  RECT WorkArea() override {
    SDL_Rect r{0, 0, 1280, 1024};
    if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDisplayUsableBounds(0, &r) != 0) r = {0, 0, 1280, 1024};
    return RECT{r.x, r.y, r.x + r.w, r.y + r.h};
  }
  void SizeFrame(int* cx, int* cy) override {
    // A test window has no frame.
    *cx = 0;
    *cy = 0;
  }
  bool Move(HWND window, int x, int y, int width, int height) override {
    SDL_Window* sdl = SdlWindowOf(window);
    if (!sdl || width < 1 || height < 1) return false;
    SDL_SetWindowPosition(sdl, x, y);
    SDL_SetWindowSize(sdl, width, height);
    return true;
  }

  HWND Add(SDL_Window* sdl) {
    HWND handle = reinterpret_cast<HWND>(static_cast<uintptr_t>(SDL_GetWindowID(sdl)));
    windows_[handle] = sdl;
    return handle;
  }
  void Remove(HWND window) {
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    SDL_DestroyWindow(it->second);
    windows_.erase(it);
  }

 private:
  std::map<HWND, SDL_Window*> windows_;
};

TestWindowHost& BuiltInHost() {
  static TestWindowHost host;
  return host;
}

GLWindowHost* installedHost = nullptr;

}

void SetGLWindowHost(GLWindowHost* host) { installedHost = host; }

GLWindowHost* GetGLWindowHost() { return installedHost ? installedHost : &BuiltInHost(); }

HWND CreateGLTestWindow(int width, int height) {
  if (width < 1 || height < 1) return nullptr;
  if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
  SDL_Window* sdl = SDL_CreateWindow("viewer", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                     width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!sdl) return nullptr;
  return BuiltInHost().Add(sdl);
}

void DestroyGLTestWindow(HWND window) { BuiltInHost().Remove(window); }

bool ResizeGLTestWindow(HWND window, int width, int height) {
  SDL_Window* sdl = BuiltInHost().SdlWindowOf(window);
  if (!sdl || width < 1 || height < 1) return false;
  SDL_SetWindowSize(sdl, width, height);
  return true;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  int w = 0, h = 0;
  if (!rect || !GetGLWindowHost()->ClientSize(window, &w, &h)) return FALSE;
  *rect = RECT{0, 0, w, h};
  return TRUE;
}

BOOL SystemParametersInfoA(UINT action, UINT, void* param, UINT) {
  if (action != SPI_GETWORKAREA || !param) return FALSE;
  *static_cast<RECT*>(param) = GetGLWindowHost()->WorkArea();
  return TRUE;
}

int GetSystemMetrics(int index) {
  int cx = 0, cy = 0;
  GetGLWindowHost()->SizeFrame(&cx, &cy);
  if (index == SM_CXSIZEFRAME) return cx;
  if (index == SM_CYSIZEFRAME) return cy;
  return 0;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL) {
  return GetGLWindowHost()->Move(window, x, y, width, height) ? TRUE : FALSE;
}
