// AnimationManagerC: runs the control's animations: turns each timer tick into every listed
// animation's progress and deletes those that have finished.
#pragma once

#include <cstdint>

#include "foundation/RWTValDlist.h"
#include "viewer/ui/AnimationC.h"

class AnimationManagerC {
public:
    AnimationManagerC() = default;
    // Animations still listed are deleted without being applied.
    ~AnimationManagerC();
    AnimationManagerC(const AnimationManagerC&) = delete;
    AnimationManagerC& operator=(const AnimationManagerC&) = delete;

    // Takes ownership of a (a null pointer is ignored) and appends it; it starts at the next
    // Update. When the manager is disabled the duration becomes 0, so the animation lands on
    // its end value at once. Eased animations get gain 10 and scale 0.5.
    void Add(AnimationC* a, uint32_t duration, uint32_t delay, bool reverse, bool eased);

    // Advances every listed animation to the tick now (milliseconds; the tick may wrap).
    // True when at least one animation was applied.
    bool Update(uint32_t now);

    // Deletes, without applying them, the animations that point into the loaded model.
    void RemoveModelAnimations();

    // Affects only later Add calls.
    void SetEnabled(bool enabled) { Enabled = enabled; }
    bool IsEnabled() const { return Enabled; }

    size_t Count() const { return List.entries(); }
    bool IsEmpty() const { return List.isEmpty(); }

    // The eased progress of p with the given gain and scale (p of exactly 0 or 1 unchanged).
    static float Ease(float p, float gain, float scale);

private:
    RWTValDlist<AnimationC*> List;
    bool Enabled = true;
};
