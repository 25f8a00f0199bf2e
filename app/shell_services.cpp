#include "app/shell_services.h"

#include <cmath>

#include "core/listener.h"

int32_t CurrentScreen = kScreenHome;

// The six screens exist from static initialisation to exit.
cScreen Screens[kScreenCount];

float SquareRoot(float x) { return std::sqrt(x); }
