#pragma once
// Keeps a second copy of the program from running over the same data folder:
// a lock file held there for as long as the program runs. A lock left behind
// by a copy that crashed is recognised as stale and taken over. On an
// agency's server any number of desks work at once, so there the lock is the
// desk's: one copy per server and desk name (DeskLockName), held in this
// computer's temporary folder.
#include <QLockFile>
#include <QString>

class SingleInstanceGuard {
public:
    enum class Outcome {
        Acquired, // this copy now holds the lock
        AlreadyRunning, // another copy holds it
        Failed, // the lock file could not be made (failureText() says why)
    };

    explicit SingleInstanceGuard(const QString& folder = QStringLiteral("."));
    // The lock `lockName` in `folder`, which is not a data folder.
    SingleInstanceGuard(const QString& folder, const QString& lockName);
    Outcome acquire();
    // True when this copy now holds the lock.
    bool tryAcquire() { return acquire() == Outcome::Acquired; }
    void release() { m_lock.unlock(); }
    // After Outcome::Failed: what failed, naming the data folder and the
    // system's reason.
    QString failureText() const { return m_failure; }

private:
    QString m_folder;
    QString m_lockPath;
    QLockFile m_lock;
    QString m_failure;
    bool m_dataFolder = true;
};

// The name of the lock of desk `desk` working on the server `server` (its
// host and database), the same for every copy that names both alike.
QString DeskLockName(const QString& server, const QString& desk);

// The text and caption of the box shown to a second copy before it ends.
QString AlreadyRunningText();
inline const QString AlreadyRunningCaption = QStringLiteral("Terminating...");
