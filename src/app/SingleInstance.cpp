#include "app/SingleInstance.h"

#include "session/ProcessState.h"
#include "platform/Messages.h"

#include <QDir>

SingleInstanceGuard::SingleInstanceGuard(const QString& folder)
    : m_lock(QDir(folder).filePath(ApplicationTitle() + QStringLiteral(".lock")))
{
    m_lock.setStaleLockTime(0); // only a lock whose process is gone is stale
}

bool SingleInstanceGuard::tryAcquire() { return m_lock.tryLock(0); }

QString AlreadyRunningText()
{
    return ApplicationTitle() + QStringLiteral(" is already loaded") + CRLF + QStringLiteral("and running on your computer!");
}
