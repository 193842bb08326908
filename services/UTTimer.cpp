// UTTimer: whole seconds of the wall clock.
#include "services/UTTimer.h"

#include <ctime>

UTTimer::UTTimer() : startTime(std::time(nullptr)), lastTime(0) {}

void UTTimer::start() { startTime = std::time(nullptr); }

bool UTTimer::isElapsed(int milliseconds)
{
    lastTime = std::time(nullptr);
    long elapsed = static_cast<long>(std::difftime(lastTime, startTime));
    return elapsed >= milliseconds / 1000;
}
