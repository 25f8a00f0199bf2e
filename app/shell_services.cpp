#include "app/shell_services.h"

#include <cmath>

int32_t CurrentScreen = 0;

float SquareRoot(float x) { return std::sqrt(x); }
