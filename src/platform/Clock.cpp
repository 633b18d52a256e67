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
QDateTime Now()
{
    // Cut to the whole second, never rounded: at 23:59:59.7 it is still the
    // same day, in the editor, in the data file and in the user log.
    QDateTime moment = (g_clock ? g_clock : &g_systemClock)->now();
    const QTime t = moment.time();
    if (t.isValid() && t.msec() != 0)
        moment.setTime(QTime(t.hour(), t.minute(), t.second()));
    return moment;
}
