#include "app/SingleInstance.h"

#include "session/ProcessState.h"
#include "platform/Messages.h"
#include "store/FileIo.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// QLockFile tells only that it could not make its file, not why: try the
// same once by hand and keep the system's answer.
QString whyNoLockFile(const QString& lockPath)
{
    const QByteArray name = QFile::encodeName(lockPath + QStringLiteral(".probe"));
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return FileIo::errorText(errno);
    int error = 0;
    const char pid[] = "0\n";
    if (::write(fd, pid, sizeof pid - 1) != ssize_t(sizeof pid - 1) || ::fsync(fd) != 0)
        error = errno ? errno : ENOSPC;
    ::close(fd);
    ::unlink(name.constData());
    return FileIo::errorText(error);
}

} // namespace

SingleInstanceGuard::SingleInstanceGuard(const QString& folder)
    : m_folder(QDir(folder).absolutePath())
    , m_lockPath(QDir(folder).filePath(ApplicationTitle() + QStringLiteral(".lock")))
    , m_lock(m_lockPath)
{
    m_lock.setStaleLockTime(0); // only a lock whose process is gone is stale
}

SingleInstanceGuard::Outcome SingleInstanceGuard::acquire()
{
    m_failure.clear();
    if (m_lock.tryLock(0))
        return Outcome::Acquired;
    if (m_lock.error() == QLockFile::LockFailedError)
        return Outcome::AlreadyRunning;
    m_failure = ApplicationTitle() + QStringLiteral(" cannot start: its lock file could not be created") + CRLF
        + QStringLiteral("in the data folder ") + QDir::toNativeSeparators(m_folder) + CRLF + QStringLiteral("(")
        + whyNoLockFile(m_lockPath) + QStringLiteral(").");
    return Outcome::Failed;
}

QString AlreadyRunningText()
{
    return ApplicationTitle() + QStringLiteral(" is already loaded") + CRLF + QStringLiteral("and running on your computer!");
}
