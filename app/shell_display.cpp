#include "app/shell_display.h"

HWND MainWindow = nullptr;
int32_t ClientWidth = 0;
int32_t ClientHeight = 0;
D3DLIGHT9* SceneLight = nullptr;
float LightDiffuseRed = 1.0f, LightDiffuseGreen = 1.0f, LightDiffuseBlue = 1.0f;
float LightSpecularRed = 1.0f, LightSpecularGreen = 1.0f, LightSpecularBlue = 1.0f;
float LightAmbientRed = 0.0f, LightAmbientGreen = 0.0f, LightAmbientBlue = 0.0f;
