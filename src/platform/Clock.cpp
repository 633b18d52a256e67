#include "platform/Clock.h"

namespace {
class SystemClock final : public Clock {
public:
    QDateTime now() override { return QDateTime::currentDateTime(); }
};
SystemClock g_systemClock;
Clock* g_clock = nullptr;
} // namespace

void setClock(Clock* clock) { g_clock = clock; }
QDateTime Now() { return (g_clock ? g_clock : &g_systemClock)->now(); }
