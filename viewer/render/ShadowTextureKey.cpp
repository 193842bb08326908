// ShadowTextureKey: the shadow texture pass's inputs, read from the control.
#include "viewer/render/ShadowTextureKey.h"

#include "geometry/display/FEDisplayPartC.h"
#include "geometry/display/FEDisplayPartListC.h"
#include "geometry/display/FEDisplayPartRefC.h"
#include "viewer/control/CTavoplexCtrl.h"

ShadowTextureKey ShadowTextureKey::of(const CTavoplexCtrl& c)
{
    ShadowTextureKey key;
    key.filled = true;
    key.context = c.GLContext;
    key.texture = c.ShadowTexture;
    key.size = c.ShadowTextureSize;
    key.quality = c.ShadowQuality;
    key.displayMode = c.DisplayMode;
    key.introFade = c.IntroFade;
    key.modelLeftOut = c.ModelLeftOut;
    for (int k = 0; k < 16; ++k)
        key.rotation[k] = c.Rotation.getData()[k];
    key.sceneMin = c.SceneMin;
    key.sceneMax = c.SceneMax;
    key.parts = c.Parts.get();
    if (c.Parts != nullptr) {
        const RWTValOrderedVector<FEDisplayPartRefC*>& instances = c.Parts->getInstances();
        key.placed.resize(instances.entries());
        for (size_t i = 0; i < key.placed.size(); ++i) {
            Placed& p = key.placed[i];
            const FEDisplayPartRefC* instance = instances[i];
            p.instance = instance;
            if (instance == nullptr)
                continue;
            const FEDisplayPartC* part = instance->GetPart();
            p.part = part;
            p.displayList = part != nullptr ? part->getDisplayList() : -1;
            p.transparency = instance->GetTransparency();
            instance->GetGLMatrix(p.placement);
        }
    }
    return key;
}
