// ShadowTextureKey: everything the shadow texture pass draws from, so that a texture drawn
// from the same can be kept instead of drawn again.
#pragma once

#include <GL/gl.h>

#include <vector>

#include "math/Point3D.h"

class CTavoplexCtrl;

// Compared whole: any difference, or a key never filled, means the texture is drawn anew.
struct ShadowTextureKey {
    struct Placed {
        const void* instance = nullptr;
        const void* part = nullptr;
        int displayList = -1;
        float transparency = 0.0f;
        float placement[16] = {};
        bool operator==(const Placed&) const = default;
    };

    bool filled = false;
    const void* context = nullptr;
    GLuint texture = 0;
    int size = 0;
    int quality = 0;
    int displayMode = 0;
    float introFade = 0.0f;
    bool modelLeftOut = false;
    double rotation[16] = {};
    Point3D sceneMin;
    Point3D sceneMax;
    const void* parts = nullptr;
    std::vector<Placed> placed;

    bool operator==(const ShadowTextureKey&) const = default;

    // What the control's next shadow texture pass would draw from.
    static ShadowTextureKey of(const CTavoplexCtrl& control);
};
