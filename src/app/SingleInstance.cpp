#include "app/SingleInstance.h"

#include "session/ProcessState.h"
#include "platform/Messages.h"
#include "store/FileIo.h"

#include <QCryptographicHash>
#include <QDir>

namespace {

// QLockFile tells only that it could not make its file, not why: try the
// same once through the file layer and keep the system's answer.
QString whyNoLockFile(const QString& lockPath)
{
    const QString probe = lockPath + QStringLiteral(".probe");
    FileIo::File file;
    QString what;
    if (!file.open(probe, FileIo::File::CreateNew, what))
        return file.reason();
    const QByteArray pid("0\n");
    const bool written = file.writeAt(0, pid.constData(), pid.size()) && file.sync();
    const QString reason = written ? FileIo::errorText(0) : file.reason();
    file.close();
    QString ignored;
    FileIo::removeFile(probe, ignored);
    return reason;
}

} // namespace

SingleInstanceGuard::SingleInstanceGuard(const QString& folder)
    : m_folder(QDir(folder).absolutePath())
    , m_lockPath(QDir(folder).filePath(ApplicationTitle() + QStringLiteral(".lock")))
    , m_lock(m_lockPath)
{
    m_lock.setStaleLockTime(0); // only a lock whose process is gone is stale
}

SingleInstanceGuard::SingleInstanceGuard(const QString& folder, const QString& lockName)
    : m_folder(QDir(folder).absolutePath())
    , m_lockPath(QDir(folder).filePath(lockName))
    , m_lock(m_lockPath)
    , m_dataFolder(false)
{
    m_lock.setStaleLockTime(0);
}

QString DeskLockName(const QString& server, const QString& desk)
{
    // Hashed: a server's name and a desk's may hold anything a file name cannot.
    const QByteArray key = server.toUtf8() + '\n' + desk.toUtf8();
    return ApplicationTitle() + QStringLiteral("-desk-")
        + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(24))
        + QStringLiteral(".lock");
}

SingleInstanceGuard::Outcome SingleInstanceGuard::acquire()
{
    m_failure.clear();
    if (m_lock.tryLock(0))
        return Outcome::Acquired;
    if (m_lock.error() == QLockFile::LockFailedError)
        return Outcome::AlreadyRunning;
    m_failure = ApplicationTitle() + QStringLiteral(" cannot start: its lock file could not be created") + CRLF
        + (m_dataFolder ? QStringLiteral("in the data folder ") : QStringLiteral("in the folder ")) + QDir::toNativeSeparators(m_folder) + CRLF + QStringLiteral("(")
        + whyNoLockFile(m_lockPath) + QStringLiteral(").");
    return Outcome::Failed;
}

QString AlreadyRunningText()
{
    return ApplicationTitle() + QStringLiteral(" is already loaded") + CRLF + QStringLiteral("and running on your computer!");
}
