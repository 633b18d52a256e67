#include "session/IdleLock.h"

#include "platform/Clock.h"
#include "session/LoginLockout.h"

#include <QCoreApplication>
#include <QEvent>

IdleLock::IdleLock(QObject* parent)
    : QObject(parent), m_minutes(SecurityMinutesOrCount(SecurityKey::IdleLockMinutes))
{
    // A lock may come up to this late; the clock decides, not the timer.
    m_timer.setInterval(15 * 1000);
    connect(&m_timer, &QTimer::timeout, this, &IdleLock::poll);
}

IdleLock::~IdleLock() { stop(); }

void IdleLock::start()
{
    if (!enabled())
        return;
    m_lastInput = Now();
    if (!m_watching && QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
    m_watching = true;
    m_timer.start();
}

void IdleLock::stop()
{
    if (m_watching && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    m_watching = false;
    m_timer.stop();
}

void IdleLock::poll()
{
    if (!m_watching || m_lastInput.secsTo(Now()) < qint64(m_minutes) * 60)
        return;
    stop();
    emit lockNow();
}

bool IdleLock::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
        m_lastInput = Now();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
