// SceneState: OpenGL state that several passes of the scene share: the surface material, the
// metallic look and the depth range that holds the scene box.
#pragma once

#include <GL/gl.h>

#include "math/Point3D.h"

// The material of every lit surface, front and back: grey ambient, diffuse and specular,
// shininess 37.
void SetSceneMaterial();

// Sphere-mapped texture coordinates for s and t and the texture blended over the surface
// colour (environment colour white, alpha 0); texturing on.
void BeginMetallicLook(GLuint texture);

// One triangle without area: it draws nothing, but the renderer takes up the state in force
// for it. Mesa's software renderer otherwise draws the next pass of a frame with some state
// of the frame before (a smooth gradient came out flat), when no drawing came in between.
void DrawEmptyTriangle();

// Half the depth range that holds the scene box however it turns: the largest absolute
// coordinate of the two corners, times 1.2, as the half diagonal of a cube.
double SceneDepthRange(const Point3D& min, const Point3D& max);
