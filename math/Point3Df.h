// Point3Df, the single-precision point; it lives with the other geometry value types.
#pragma once

#include "math/Point3D.h"
