#pragma once
// The application shell's display globals that the graphics object reads: the main window,
// its client size, and the scene light with its colour settings.

#include <cstdint>

#include "platform/d3d9.h"

// The main window, set when it is created; read by cGraphics::Init.
extern HWND MainWindow;
// The main window's client size, set when the window is created and resized.
extern int32_t ClientWidth;
extern int32_t ClientHeight;

// The model view's light, owned by the shell (null until the shell makes it).
extern D3DLIGHT9* SceneLight;

// The light colour settings, 0..1, written together by every settings path.
extern float LightDiffuseRed, LightDiffuseGreen, LightDiffuseBlue;
extern float LightSpecularRed, LightSpecularGreen, LightSpecularBlue;
extern float LightAmbientRed, LightAmbientGreen, LightAmbientBlue;
