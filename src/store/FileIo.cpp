#include "store/FileIo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileIo {
namespace {

Interceptor& interceptor()
{
    static Interceptor i;
    return i;
}

Verdict ask(Call call, const QString& path, qint64 bytes = 0)
{
    const Interceptor& i = interceptor();
    return i ? i(call, path, bytes) : Verdict{};
}

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    return QStringLiteral("not an ordinary file");
}

QString notRegular(mode_t mode)
{
    return QStringLiteral("could not be opened: it is %1, not a data file").arg(kindOf(mode));
}

// The intent file of a write in place: the bytes about to be written, where,
// and the length the file had, flushed to the disk before the file itself is
// touched. A write cut off half way (a kill, a power cut) leaves the intent
// file behind, and the next open of the data file finishes the write from it,
// so a record is never left half old and half new. A cut-off intent file
// fails its check sum and is dropped: the data file was not touched yet.
constexpr char IntentMagic[8] = {'S', 'N', 'I', 'N', 'T', 'N', 'T', '1'};
constexpr int IntentHeader = 8 + 3 * 8; // magic, at, old size, length
constexpr int IntentTrailer = 8; // check sum

quint64 checkSum(const char* data, qint64 length)
{
    quint64 h = 1469598103934665603ull; // FNV-1a
    for (qint64 i = 0; i < length; ++i)
        h = (h ^ quint8(data[i])) * 1099511628211ull;
    return h;
}

void putNumber(QByteArray& out, quint64 v)
{
    for (int i = 0; i < 8; ++i)
        out.append(char((v >> (8 * i)) & 0xff));
}

quint64 getNumber(const char* in)
{
    quint64 v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | quint8(in[i]);
    return v;
}

// Finishes the write an intent file describes, if it is whole and fits the
// file as it is, and removes the intent file. Plain system calls: this runs
// inside File::open, and nothing here is a write the program asked for.
void finishIntent(const QString& path)
{
    const QByteArray intentName = QFile::encodeName(intentFileName(path));
    const int in = ::open(intentName.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (in < 0)
        return;
    struct stat st;
    QByteArray intent;
    if (::fstat(in, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= IntentHeader + IntentTrailer
        && st.st_size < (qint64(1) << 30)) {
        intent.resize(qsizetype(st.st_size));
        if (::pread(in, intent.data(), size_t(intent.size()), 0) != ssize_t(intent.size()))
            intent.clear();
    }
    ::close(in);
    bool whole = !intent.isEmpty() && std::memcmp(intent.constData(), IntentMagic, 8) == 0;
    qint64 at = 0, oldSize = 0, length = 0;
    if (whole) {
        at = qint64(getNumber(intent.constData() + 8));
        oldSize = qint64(getNumber(intent.constData() + 16));
        length = qint64(getNumber(intent.constData() + 24));
        whole = at >= 0 && oldSize >= 0 && at <= oldSize && length == intent.size() - IntentHeader - IntentTrailer
            && checkSum(intent.constData(), intent.size() - IntentTrailer)
                == getNumber(intent.constData() + intent.size() - IntentTrailer);
    }
    bool keep = false; // an intent that could not be carried out stays for the next open
    if (whole) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd >= 0) {
            // Only the file the intent was written for: in place, the length
            // is unchanged; appending, it grew by part of the new bytes at most.
            const qint64 end = at + length;
            if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)
                && (end <= oldSize ? st.st_size == oldSize : st.st_size >= oldSize && st.st_size <= end)) {
                const bool done = ::pwrite(fd, intent.constData() + IntentHeader, size_t(length), off_t(at))
                        == ssize_t(length)
                    && ::fdatasync(fd) == 0;
                keep = !done;
            }
            ::close(fd);
        } else {
            keep = errno != ENOENT;
        }
    }
    if (!keep && ::unlink(intentName.constData()) == 0) {
        QString ignored;
        syncFolderOf(path, ignored);
    }
}

} // namespace

QString intentFileName(const QString& path) { return path + QStringLiteral(".$$j"); }

void setInterceptor(Interceptor i) { interceptor() = std::move(i); }

QString errorText(int error)
{
    if (error == 0)
        return QStringLiteral("the reason is not known");
    return QString::fromLocal8Bit(std::strerror(error));
}

bool File::failWith(int error)
{
    m_errno = error;
    return false;
}

bool File::open(const QString& path, Mode mode, QString& what)
{
    close();
    m_path = path;
    m_errno = 0;
    const QByteArray name = QFile::encodeName(path);

    if (!path.endsWith(QStringLiteral(".$$j")))
        finishIntent(path);

    // Look before opening: opening a pipe or a device can block or act on it.
    struct stat st;
    const bool exists = ::stat(name.constData(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        what = notRegular(st.st_mode);
        return false;
    }
    if (const Verdict v = ask(Call::Open, path); v.error) {
        m_errno = v.error;
        what = QStringLiteral("could not be opened: %1").arg(reason());
        return false;
    }
    // A leftover work file is removed, not truncated: truncating would write
    // through a link of that name into the file it points to.
    if (mode == CreateNew && ::unlink(name.constData()) != 0 && errno != ENOENT) {
        m_errno = errno;
        what = QStringLiteral("could not be opened: %1").arg(reason());
        return false;
    }

    // O_NONBLOCK keeps a file swapped for a pipe since the look above from
    // blocking the open; it is cleared again once the file is known regular.
    const int common = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int flags = O_RDWR | common;
    if (mode == Update)
        flags |= O_CREAT;
    else if (mode == CreateNew)
        flags |= O_CREAT | O_EXCL;
    else if (mode == ReadOnly)
        flags = O_RDONLY | common;

    int fd;
    do
        fd = ::open(name.constData(), flags, 0666);
    while (fd < 0 && errno == EINTR);
    m_writable = mode != ReadOnly;
    int refused = 0; // why a file was opened read-only: a later write reports it
    if (fd < 0 && mode == Update && exists && (errno == EACCES || errno == EPERM || errno == EROFS)) {
        refused = errno;
        do
            fd = ::open(name.constData(), O_RDONLY | common);
        while (fd < 0 && errno == EINTR);
        m_writable = false;
    }
    if (fd < 0) {
        m_errno = errno;
        what = QStringLiteral("could not be opened: %1").arg(reason());
        return false;
    }
    m_fd = fd;
    if (::fstat(fd, &st) != 0) {
        m_errno = errno;
        what = QStringLiteral("could not be opened: %1").arg(reason());
        close();
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        what = notRegular(st.st_mode);
        close();
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_permissions = st.st_mode & 07777;
    m_owner = st.st_uid;
    m_group = st.st_gid;
    m_errno = refused;
    return true;
}

void File::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_writable = false;
}

qint64 File::size()
{
    struct stat st;
    if (m_fd < 0)
        return failWith(EBADF), -1;
    if (::fstat(m_fd, &st) != 0)
        return failWith(errno), -1;
    return qint64(st.st_size);
}

qint64 File::readAt(qint64 offset, char* data, qint64 length)
{
    qint64 done = 0;
    while (done < length) {
        const Verdict v = ask(Call::Read, m_path, length - done);
        if (v.error)
            return failWith(v.error), -1;
        qint64 chunk = length - done;
        if (v.limit >= 0 && v.limit < chunk)
            chunk = v.limit;
        if (chunk == 0)
            break;
        const ssize_t r = ::pread(m_fd, data + done, size_t(chunk), off_t(offset + done));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return failWith(errno), -1;
        }
        if (r == 0)
            break; // end of the file
        done += r;
    }
    return done;
}

bool File::writeAt(qint64 offset, const char* data, qint64 length)
{
    if (!m_writable)
        return failWith(m_errno ? m_errno : EBADF);
    qint64 done = 0;
    while (done < length) {
        const Verdict v = ask(Call::Write, m_path, length - done);
        if (v.error)
            return failWith(v.error);
        qint64 chunk = length - done;
        if (v.limit >= 0 && v.limit < chunk)
            chunk = v.limit;
        if (chunk == 0)
            return failWith(ENOSPC);
        const ssize_t w = ::pwrite(m_fd, data + done, size_t(chunk), off_t(offset + done));
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return failWith(errno);
        }
        if (w == 0)
            return failWith(ENOSPC);
        done += w;
    }
    return true;
}

bool File::truncate(qint64 length)
{
    if (const Verdict v = ask(Call::Truncate, m_path); v.error)
        return failWith(v.error);
    int r;
    do
        r = ::ftruncate(m_fd, off_t(length));
    while (r != 0 && errno == EINTR);
    return r == 0 || failWith(errno);
}

bool File::sync()
{
    if (const Verdict v = ask(Call::Sync, m_path); v.error)
        return failWith(v.error);
    return ::fdatasync(m_fd) == 0 || failWith(errno);
}

bool File::setPermissions(unsigned permissions)
{
    if (const Verdict v = ask(Call::SetMode, m_path); v.error)
        return failWith(v.error);
    return ::fchmod(m_fd, mode_t(permissions)) == 0 || failWith(errno);
}

bool copyOwnership(const File& from, File& to)
{
    if (::geteuid() != 0)
        return true; // only root may give a file away; others keep their own
    return ::fchown(to.m_fd, uid_t(from.m_owner), gid_t(from.m_group)) == 0;
}

bool writeOrRestore(File& file, qint64 at, const QByteArray& bytes, QString& reason)
{
    const qint64 oldSize = file.size();
    if (oldSize < 0) {
        reason = file.reason();
        return false;
    }
    Q_ASSERT(at <= oldSize);
    // The bytes this write will cover, to put back if it fails half way.
    QByteArray old(qMin<qint64>(oldSize - at, bytes.size()), Qt::Uninitialized);
    if (!old.isEmpty() && file.readAt(at, old.data(), old.size()) != old.size()) {
        reason = file.reason();
        return false;
    }

    // The intent goes to the disk first, so that a write cut off below is
    // finished at the next open instead of leaving mixed bytes. A folder
    // closed to new files (the file itself may be written) takes the write
    // without an intent, guarded by the undo below alone; any other failure
    // to keep the intent (a full disk, an I/O error) fails the write.
    const QString intentName = intentFileName(file.path());
    QByteArray intent(IntentMagic, 8);
    putNumber(intent, quint64(at));
    putNumber(intent, quint64(oldSize));
    putNumber(intent, quint64(bytes.size()));
    intent += bytes;
    putNumber(intent, checkSum(intent.constData(), intent.size()));
    bool haveIntent = false;
    {
        File intentFile;
        QString what;
        if (intentFile.open(intentName, File::CreateNew, what)) {
            haveIntent = intentFile.writeAt(0, intent.constData(), intent.size()) && intentFile.sync();
            if (!haveIntent)
                reason = intentFile.reason();
            intentFile.close();
            haveIntent = haveIntent && syncFolderOf(intentName, reason);
            if (!haveIntent) {
                QString ignored;
                removeFile(intentName, ignored);
                return false;
            }
        } else if (intentFile.lastErrno() != EACCES && intentFile.lastErrno() != EPERM) {
            reason = what.mid(what.indexOf(QLatin1String(": ")) + 2);
            return false;
        }
    }

    bool ok = file.writeAt(at, bytes.constData(), bytes.size()) && file.sync();
    if (!ok) {
        reason = file.reason();
        const bool undone = (old.isEmpty() || file.writeAt(at, old.constData(), old.size()))
            && (file.size() == oldSize || file.truncate(oldSize)) && file.sync();
        if (!undone) {
            // The intent stays: the next open completes the write, which
            // leaves the file whole (new) rather than in pieces.
            reason += QStringLiteral(", and the file could not be put back as it was: %1").arg(file.reason());
            return false;
        }
    }
    // Done either way; the intent must not be carried out again. If it
    // cannot be removed, carrying it out again writes the same bytes.
    if (haveIntent) {
        QString ignored;
        removeFile(intentName, ignored);
    }
    return ok;
}

bool syncFolderOf(const QString& path, QString& reason)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (const Verdict v = ask(Call::SyncFolder, folder); v.error) {
        reason = errorText(v.error);
        return false;
    }
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        reason = errorText(errno);
        return false;
    }
    const bool ok = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (!ok && error != EINVAL) // some file systems cannot flush a folder at all
        reason = errorText(error);
    return ok || error == EINVAL;
}

namespace {
// The rename or removal is the moment a change takes effect, and what it
// points at was flushed before it, so a crash after it leaves either the old
// state or the new one, each whole. A folder that then cannot be flushed
// cannot undo the change: reporting it as failed would make the caller act
// as if the old file were still in place (a list out of step with its file,
// a conversion believed undone). So the flush is asked for, and the change
// stands.
void flushFolderAfterChange(const QString& path)
{
    QString ignored;
    syncFolderOf(path, ignored);
}
} // namespace

bool replaceFile(const QString& source, const QString& target, FileError& error)
{
    int failure = ask(Call::Rename, target).error;
    if (!failure
        && std::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) != 0)
        failure = errno;
    if (failure) {
        error = {target, QStringLiteral("could not be replaced: %1").arg(errorText(failure))};
        return false;
    }
    // An intent left for the old file no longer fits the new one.
    ::unlink(QFile::encodeName(intentFileName(target)).constData());
    flushFolderAfterChange(target);
    return true;
}

bool linkFile(const QString& existing, const QString& name, QString& reason)
{
    int failure = ask(Call::Link, name).error;
    if (!failure && ::link(QFile::encodeName(existing).constData(), QFile::encodeName(name).constData()) != 0)
        failure = errno;
    if (failure) {
        reason = errorText(failure);
        return false;
    }
    flushFolderAfterChange(name);
    return true;
}

bool removeFile(const QString& path, QString& reason)
{
    int failure = ask(Call::Remove, path).error;
    if (!failure && ::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        failure = errno;
    if (failure) {
        reason = errorText(failure);
        return false;
    }
    flushFolderAfterChange(path);
    return true;
}

} // namespace FileIo
