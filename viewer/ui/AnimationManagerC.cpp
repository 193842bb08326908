// AnimationManagerC: progress, reversing, easing and the end of animations.
#include "viewer/ui/AnimationManagerC.h"

#include <cmath>

AnimationManagerC::~AnimationManagerC()
{
    while (!List.isEmpty())
        delete List.removeFirst();
}

void AnimationManagerC::Add(AnimationC* a, uint32_t duration, uint32_t delay, bool reverse, bool eased)
{
    if (a == nullptr)
        return;
    if (!Enabled)
        duration = 0;
    a->SetOwner(this);
    a->SetReverse(reverse);
    a->SetDelay(delay);
    a->SetDuration(duration);
    a->SetEase(eased, 10.0f, 0.5f);
    List.append(a);
}

float AnimationManagerC::Ease(float p, float gain, float scale)
{
    if (p == 0.0f || p == 1.0f)
        return p;
    return 1.0f / (1.0f + std::exp(-scale * (2.0f * gain * p - gain)));
}

bool AnimationManagerC::Update(uint32_t now)
{
    bool applied = false;
    RWTValDlistIterator<AnimationC*> it(List);
    while (++it) {
        AnimationC* a = it.key();
        if (!a->IsStarted())
            a->SetStartTime(now);
        // The run so far as a wrapping difference of ticks; the delay taken off as a signed
        // quantity, so that a delay still running gives a negative progress.
        const uint32_t sinceStart = now - a->GetStartTime();
        const int64_t elapsed = int64_t(sinceStart) - int64_t(a->GetDelay());
        float p = a->GetDuration() == 0 ? 1.0f : float(elapsed) / float(a->GetDuration());
        if (p < 0.0f)
            continue;
        bool finished = false;
        if (p >= 1.0f) {
            p = 1.0f;
            finished = true;
        }
        if (a->GetReverse())
            p = 1.0f - p;
        if (a->GetEased())
            p = Ease(p, a->GetEaseGain(), a->GetEaseScale());
        a->Apply(p);
        applied = true;
        if (finished) {
            it.remove();
            delete a;
        }
    }
    return applied;
}

void AnimationManagerC::RemoveModelAnimations()
{
    RWTValDlistIterator<AnimationC*> it(List);
    while (++it) {
        AnimationC* a = it.key();
        if (a->RefersToModel()) {
            it.remove();
            delete a;
        }
    }
}
