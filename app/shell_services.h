#pragma once
// What the application shell offers the lower subsystems: the current screen and the square
// root used by the vector math. The shell's start-up, main loop and window procedure live beside
// this and use the same globals.

#include <cstdint>

// Square root of a 32-bit float as a 32-bit float. Callers pass sums of squares; a negative
// argument gives NaN.
float SquareRoot(float x);

// Index into Screens (core/listener.h) of the screen that receives input and frame calls: 0 home
// (album manager), 1 viewer, 2 browser window, 3 configuration, 4 help.
extern int32_t CurrentScreen;
