#pragma once
// Locking an idle desk. Off unless the settings file turns it on:
//
//     [Security]
//     IdleLockMinutes=10
//
// While it watches, every key press, mouse button, wheel turn and mouse move
// anywhere in the program counts as input (an application-wide event
// filter); once the clock seam says that many minutes have passed without
// any, lockNow() is emitted, once, and the watch stops until start() is
// called again (after the user is back). What locking shows is the window's
// business.
#include <QDateTime>
#include <QObject>
#include <QTimer>

class IdleLock : public QObject {
    Q_OBJECT
public:
    // Reads [Security] IdleLockMinutes now.
    explicit IdleLock(QObject* parent = nullptr);
    ~IdleLock() override;

    bool enabled() const { return m_minutes > 0; }
    int minutes() const { return m_minutes; }
    bool watching() const { return m_watching; }

    // Starts (or starts again) the watch from this moment; nothing when off.
    void start();
    void stop();
    // Looks at the clock: the timer calls it, tests call it directly.
    void poll();

signals:
    void lockNow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int m_minutes = 0;
    bool m_watching = false;
    QDateTime m_lastInput;
    QTimer m_timer;
};
