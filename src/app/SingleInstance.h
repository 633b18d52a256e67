#pragma once
// Keeps a second copy of the program from running over the same data folder:
// a lock file held there for as long as the program runs. A lock left behind
// by a copy that crashed is recognised as stale and taken over.
#include <QLockFile>
#include <QString>

class SingleInstanceGuard {
public:
    explicit SingleInstanceGuard(const QString& folder = QStringLiteral("."));
    // True when this copy now holds the lock; false when another copy runs.
    bool tryAcquire();
    void release() { m_lock.unlock(); }

private:
    QLockFile m_lock;
};

// The text and caption of the box shown to a second copy before it ends.
QString AlreadyRunningText();
inline const QString AlreadyRunningCaption = QStringLiteral("Terminating...");
