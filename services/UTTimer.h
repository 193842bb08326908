// UTTimer: a timer counting whole seconds of the wall clock.
#pragma once

#include <ctime>

// A timer counting whole seconds of the wall clock.
class UTTimer {
public:
    UTTimer();
    void start();
    bool isElapsed(int milliseconds);

    time_t startTime;
    time_t lastTime;
};
