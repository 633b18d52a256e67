#pragma once
// "Now" for the program: the moment of saving, log lines, today's date.
#include <QDateTime>

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() = 0;
};

// The present local date and time, to the whole second.
QDateTime Now();

// Replaces the clock (tests); nullptr restores the real one.
void setClock(Clock* clock);
