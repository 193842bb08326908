// AnimationC: a timed change driven by the animation manager, and ValueAnimationC, which
// writes its progress into a float.
#pragma once

#include <cstdint>

class AnimationManagerC;

// Subclasses override Apply, which receives the progress from 0 to 1 (after reversing and
// easing). An animation belongs to its manager from Add until it finishes; the manager then
// deletes it through this class, so subclasses may own resources.
class AnimationC {
public:
    AnimationC() = default;
    virtual ~AnimationC() = default;
    AnimationC(const AnimationC&) = delete;
    AnimationC& operator=(const AnimationC&) = delete;

    virtual void Apply(float t) = 0;
    // True for animations that point into the loaded model (its instances); a new load drops
    // them before the model goes.
    virtual bool RefersToModel() const { return false; }

    AnimationManagerC* GetOwner() const { return Owner; }
    void SetOwner(AnimationManagerC* owner) { Owner = owner; }

    // The tick of the first update. A flag of its own marks "not started", so that every
    // tick value, 0xFFFFFFFF included, can be a start time.
    bool IsStarted() const { return Started; }
    uint32_t GetStartTime() const { return StartTime; }
    void SetStartTime(uint32_t tick)
    {
        StartTime = tick;
        Started = true;
    }
    void ClearStartTime()
    {
        StartTime = 0;
        Started = false;
    }

    uint32_t GetDuration() const { return Duration; }
    void SetDuration(uint32_t ms) { Duration = ms; }
    uint32_t GetDelay() const { return Delay; }
    void SetDelay(uint32_t ms) { Delay = ms; }
    bool GetReverse() const { return Reverse; }
    void SetReverse(bool reverse) { Reverse = reverse; }

    void SetEase(bool eased, float gain, float scale)
    {
        Eased = eased;
        EaseGain = gain;
        EaseScale = scale;
    }
    bool GetEased() const { return Eased; }
    float GetEaseGain() const { return EaseGain; }
    float GetEaseScale() const { return EaseScale; }

private:
    AnimationManagerC* Owner = nullptr;
    uint32_t StartTime = 0;
    bool Started = false;
    uint32_t Duration = 0;
    uint32_t Delay = 0;
    bool Reverse = false;
    bool Eased = false;
    float EaseGain = 10.0f;
    float EaseScale = 0.5f;
};

// Stores the progress into a float it does not own (fade values).
class ValueAnimationC : public AnimationC {
public:
    explicit ValueAnimationC(float* target) : Target(target) {}
    void Apply(float t) override
    {
        if (Target != nullptr)
            *Target = t;
    }
    float* GetTarget() const { return Target; }

private:
    float* Target;
};
