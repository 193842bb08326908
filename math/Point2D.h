// Point2D, the planar point; it lives with the other geometry value types.
#pragma once

#include "math/Point3D.h"
