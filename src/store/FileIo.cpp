#include "store/FileIo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
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

bool& finishingWrites()
{
    static bool finish = true;
    return finish;
}

std::function<void(const QString&)>& noticeReceiver()
{
    static std::function<void(const QString&)> receiver;
    return receiver;
}

void notice(const QString& text)
{
    if (noticeReceiver())
        noticeReceiver()(text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

QString baseName(const QString& path) { return QFileInfo(path).fileName(); }

// A file's identity and state as stat gives them: the same file, length and
// change time mean it has not been written since.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec changed = {};
    bool operator==(const FileStamp& o) const
    {
        return device == o.device && inode == o.inode && size == o.size && changed.tv_sec == o.changed.tv_sec
            && changed.tv_nsec == o.changed.tv_nsec;
    }
};
FileStamp stampOf(const struct stat& st) { return {st.st_dev, st.st_ino, st.st_size, st.st_ctim}; }

// What this process knows of the intent beside each data file.
//  - stale: the intent was marked as carried out (or removed) after its
//    write reached the disk, and that is not flushed yet. After a power cut
//    such an intent may be back; carrying it out again writes the bytes the
//    file already holds, so that is harmless as long as the file has not
//    been changed another way since. A change that does not go through an
//    intent of its own (cutting the file shorter, replacing it) settles it
//    first.
//  - marked: the intent file as it was when this process marked it: found
//    unchanged, it need not be read again to know it is carried out, which
//    spares every open of a data file a read.
enum class Stale { Retired, Removed };
struct KnownIntent {
    std::optional<Stale> stale;
    std::optional<FileStamp> marked;
};

struct KnownIntents {
    std::mutex lock;
    QHash<QString, KnownIntent> files; // by data file
};

KnownIntents& knownIntents()
{
    static KnownIntents k;
    return k;
}

// Changes (or, with a const `f`, reads) what is known of the intent beside `path`.
template <typename F>
auto withKnownIntent(const QString& path, F&& f)
{
    KnownIntents& k = knownIntents();
    const std::lock_guard<std::mutex> hold(k.lock);
    return f(k.files[path]);
}

void noteStale(const QString& path, std::optional<Stale> how)
{
    withKnownIntent(path, [&](KnownIntent& k) { k.stale = how; });
}

void forgetStale(const QString& path) { noteStale(path, std::nullopt); }

std::optional<Stale> staleIntent(const QString& path)
{
    return withKnownIntent(path, [](const KnownIntent& k) { return k.stale; });
}

// Removes `path` (a missing file is no error); 0, or why it is still there.
int unlinkFile(const QString& path)
{
    int failure = ask(Call::Remove, path).error;
    if (!failure && ::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        failure = errno;
    return failure;
}

// Work files have no derived file of their own.
bool isWorkFile(const QString& path)
{
    return path.endsWith(QLatin1String(".$$j")) || path.endsWith(QLatin1String(".$$l"))
        || path.endsWith(QLatin1String(".$$$"));
}

struct DerivedFiles {
    std::mutex lock;               // held while a derived file is written or removed
    std::atomic<quint64> changes{0}; // changes begun on any data file so far
};

DerivedFiles& derivedFiles()
{
    static DerivedFiles d;
    return d;
}

// Removes the file derived from `path` for good, before `path` is changed:
// a copy written meanwhile is abandoned (see derivedFilesChanged) or waited
// for and removed. A removal that cannot be made to last fails the change:
// after a power cut, a copy coming back over a changed file could be taken
// for the file's own contents.
bool dropDerivedFile(const QString& path, QString& reason)
{
    if (isWorkFile(path))
        return true;
    DerivedFiles& d = derivedFiles();
    ++d.changes;
    const std::lock_guard<std::mutex> hold(d.lock);
    const QString derived = derivedFileName(path);
    struct stat st;
    if (::lstat(QFile::encodeName(derived).constData(), &st) != 0 && errno == ENOENT)
        return true;
    if (const int failure = unlinkFile(derived)) {
        reason = QStringLiteral("its list file \"%1\" could not be removed: %2").arg(baseName(derived), errorText(failure));
        return false;
    }
    QString why;
    if (!syncFolderOf(derived, why)) {
        reason = QStringLiteral("the removal of its list file \"%1\" could not be flushed: %2").arg(baseName(derived), why);
        return false;
    }
    return true;
}

// An intent file whose first eight bytes are zero has been carried out and
// is kept for the next write beside the same file, which then needs no new
// name in the folder (making one costs a flush of the folder each time).
constexpr char RetiredMagic[8] = {0, 0, 0, 0, 0, 0, 0, 0};

// Marks the intent of a write that is on the disk as carried out, through
// `intent` open on it. Neither is flushed: the next intent beside the file,
// or settleStaleIntent, makes it last. When the mark cannot be written the
// intent is removed instead.
void retireIntent(File& intent, const QString& path)
{
    if (intent.writeAt(0, RetiredMagic, 8)) {
        struct stat st;
        const bool seen = ::lstat(QFile::encodeName(intentFileName(path)).constData(), &st) == 0;
        withKnownIntent(path, [&](KnownIntent& k) {
            k.stale = Stale::Retired;
            k.marked = seen ? std::optional<FileStamp>(stampOf(st)) : std::nullopt;
        });
        return;
    }
    intent.close();
    if (unlinkFile(intentFileName(path)) == 0)
        noteStale(path, Stale::Removed);
    // still there and unmarked: carrying it out again changes nothing
}

void folderFlushed(const QString& folder)
{
    KnownIntents& k = knownIntents();
    const std::lock_guard<std::mutex> hold(k.lock);
    for (auto i = k.files.begin(); i != k.files.end(); ++i)
        if (i->stale == Stale::Removed && QFileInfo(i.key()).absolutePath() == folder)
            i->stale.reset();
}

// Whether the plain file beside `path` named `intentName` (whose lstat is
// `st`) is an intent marked as carried out.
bool isRetired(const QString& path, const QString& intentName, const struct stat& st)
{
    if (withKnownIntent(path, [&](const KnownIntent& k) { return k.marked == stampOf(st); }))
        return true;
    File intent;
    QString what;
    char magic[8];
    return intent.open(intentName, File::ReadOnly, what) && intent.readAt(0, magic, 8) == 8
        && std::memcmp(magic, RetiredMagic, 8) == 0;
}

// Makes the retirement or removal of the last intent beside `path` last on
// the disk, before the file is changed without an intent of its own.
bool settleStaleIntent(const QString& path)
{
    const std::optional<Stale> how = staleIntent(path);
    if (!how)
        return true;
    QString ignored;
    if (*how == Stale::Retired) {
        File intent;
        if (intent.open(intentFileName(path), File::ReadWrite, ignored) && intent.sync()) {
            forgetStale(path);
            return true;
        }
        if (intent.lastErrno() != ENOENT)
            return false;
    }
    if (!syncFolderOf(path, ignored))
        return false;
    forgetStale(path);
    return true;
}

// Why the write an intent describes is not one the program makes to a file
// of `shape` whose old length was `oldSize`; empty when it is. The numbers
// are as read from the file, so nothing here may overflow.
QString misfit(const WriteShape& shape, quint64 at, quint64 oldSize, const QByteArray& bytes)
{
    constexpr quint64 Largest = quint64(std::numeric_limits<qint64>::max());
    const quint64 length = quint64(bytes.size());
    if (at > Largest || oldSize > Largest || at > Largest - length)
        return QStringLiteral("it points beyond any file");
    if (at > oldSize)
        return QStringLiteral("it starts past the end of the file");
    if (shape.recordLength > 0) {
        const quint64 r = quint64(shape.recordLength);
        const bool oneRecord = at % r == 0 && length == r;
        // Appending after a record cut short: its missing bytes, then the record.
        const bool completedTail = oldSize % r != 0 && at == oldSize && length == 2 * r - oldSize % r;
        if (!oneRecord && !completedTail)
            return QStringLiteral("it does not cover one whole record of %1 bytes").arg(r);
        return {};
    }
    const qsizetype firstBreak = bytes.indexOf('\n');
    if (at != oldSize || length < 2 || !bytes.endsWith("\r\n") || firstBreak != bytes.size() - 1)
        return QStringLiteral("it is not one whole line added at the end");
    return {};
}

// Renames an intent file that must not be carried out out of the way (where
// it can be looked at) and says so; the data file is not touched.
void setAside(const QString& path, const QString& why)
{
    const QString intent = intentFileName(path);
    const QString rejected = rejectedIntentFileName(path);
    int failure = ask(Call::Rename, rejected).error;
    if (!failure && std::rename(QFile::encodeName(intent).constData(), QFile::encodeName(rejected).constData()) != 0)
        failure = errno;
    if (!failure) {
        QString ignored;
        syncFolderOf(path, ignored);
    }
    notice(failure ? QStringLiteral("The interrupted write waiting in \"%1\" was not carried out: %2. It could not be "
                                    "set aside (%3); \"%4\" has been left as it was.")
                         .arg(baseName(intent), why, errorText(failure), baseName(path))
                   : QStringLiteral("The interrupted write waiting in \"%1\" was not carried out: %2. It has been set "
                                    "aside as \"%3\"; \"%4\" has been left as it was.")
                         .arg(baseName(intent), why, baseName(rejected), baseName(path)));
}

} // namespace

void setFinishInterruptedWrites(bool finish) { finishingWrites() = finish; }

bool hasInterruptedWrite(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(intentFileName(path)).constData(), &st) == 0 && S_ISREG(st.st_mode)
        && !isRetired(path, intentFileName(path), st);
}

void setNoticeReceiver(std::function<void(const QString&)> receiver) { noticeReceiver() = std::move(receiver); }

// Finishes the write an intent file describes, if it is whole, shaped like
// the program's own writes and fits the file as it is, and removes the intent
// file. A cut-short intent (its write never began) is dropped; one that does
// not fit is set aside. Every call goes through the interceptor like any
// other, so a kill in the middle of this is tested too: the intent stays
// until the write is on the disk, and the next open does it again.
void File::finishInterruptedWrite(const QString& path, const WriteShape& shape)
{
    if (!shape.known() || !finishingWrites())
        return;
    const QString intentName = intentFileName(path);
    struct stat st;
    // Only a file of the program's making: a link, folder or pipe under that
    // name is left alone (a save names it).
    if (::lstat(QFile::encodeName(intentName).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return;
    const qint64 body = shape.recordLength > 0 ? 2 * qint64(shape.recordLength) - 1 : qint64(shape.maxLineLength);
    if (st.st_size > IntentHeader + body + IntentTrailer) {
        setAside(path, QStringLiteral("at %1 bytes it is larger than any write of the program").arg(st.st_size));
        return;
    }
    if (isRetired(path, intentName, st))
        return; // carried out already, kept for the next write

    QByteArray intent;
    {
        File in;
        QString what;
        if (!in.openPlain(intentName, ReadOnly, what))
            return;
        const qint64 size = in.size();
        if (size < 0 || size > IntentHeader + body + IntentTrailer)
            return;
        intent.resize(qsizetype(size));
        if (in.readAt(0, intent.data(), size) != size)
            return; // unreadable now: it stays for the next open
    }
    const bool whole = intent.size() >= IntentHeader + IntentTrailer
        && std::memcmp(intent.constData(), IntentMagic, 8) == 0
        && getNumber(intent.constData() + 24) == quint64(intent.size() - IntentHeader - IntentTrailer)
        && checkSum(intent.constData(), intent.size() - IntentTrailer)
            == getNumber(intent.constData() + intent.size() - IntentTrailer);
    QString ignored;
    if (!whole) {
        // Cut short while it was written: the data file was not touched yet.
        removeFile(intentName, ignored);
        return;
    }
    const quint64 at = getNumber(intent.constData() + 8);
    const quint64 oldSize = getNumber(intent.constData() + 16);
    const QByteArray bytes = intent.mid(IntentHeader, intent.size() - IntentHeader - IntentTrailer);
    if (const QString why = misfit(shape, at, oldSize, bytes); !why.isEmpty()) {
        setAside(path, why);
        return;
    }

    File out;
    QString what;
    if (!out.openPlain(path, ReadWrite, what)) {
        if (out.lastErrno() == ENOENT)
            setAside(path, QStringLiteral("the file it belongs to is missing"));
        return; // not writable now: it stays for an open that can
    }
    // Only the file the intent was written for: a write in place leaves the
    // length as it was; one that adds to the file may have added part of its
    // bytes before it was cut off.
    const qint64 size = out.size();
    const qint64 end = qint64(at) + bytes.size();
    if (size < 0)
        return;
    const bool fits = end <= qint64(oldSize) ? size == qint64(oldSize) : size >= qint64(oldSize) && size <= end;
    if (!fits) {
        setAside(path, QStringLiteral("it was made for a file of %1 bytes, and \"%2\" holds %3")
                           .arg(oldSize)
                           .arg(baseName(path))
                           .arg(size));
        return;
    }
    if (!dropDerivedFile(path, ignored) || !out.writeAt(qint64(at), bytes.constData(), bytes.size()) || !out.sync())
        return; // stays for the next open
    out.close();
    removeFile(intentName, ignored);
}

QString intentFileName(const QString& path) { return path + QStringLiteral(".$$j"); }

QString derivedFileName(const QString& path) { return path + QStringLiteral(".$$l"); }

quint64 derivedFilesChanged() { return derivedFiles().changes.load(); }

bool writeDerivedFile(const QString& path, const QByteArray& bytes, quint64 changesBefore,
                      const std::function<bool()>& stillFits)
{
    DerivedFiles& d = derivedFiles();
    const auto untouched = [&] { return d.changes.load() == changesBefore; };
    const QString target = derivedFileName(path);
    const QString work = target + QStringLiteral(".$$$");
    // The work file is no derived file yet: it is written and flushed without
    // the lock, giving up as soon as a change begins, so that a change never
    // waits for a flush of it. Only the rename into place is made under the
    // lock, after a last look.
    File out;
    QString what;
    if (!untouched() || !out.open(work, File::CreateNew, what))
        return false;
    // Open to those the data file is open to, as it holds part of it.
    struct stat st;
    out.setPermissions(::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 0666) | 0600 : 0600);
    constexpr qint64 Piece = 4 << 20;
    bool ok = true;
    for (qint64 at = 0; ok && at < bytes.size(); at += Piece)
        ok = untouched() && out.writeAt(at, bytes.constData() + at, qMin(Piece, bytes.size() - at));
    ok = ok && out.sync();
    out.close();
    {
        const std::lock_guard<std::mutex> hold(d.lock);
        ok = ok && untouched() && stillFits() && ask(Call::Rename, target).error == 0
            && std::rename(QFile::encodeName(work).constData(), QFile::encodeName(target).constData()) == 0;
    }
    if (!ok)
        unlinkFile(work);
    return ok;
}

QString rejectedIntentFileName(const QString& path) { return intentFileName(path) + QStringLiteral(".rejected"); }

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

bool File::open(const QString& path, Mode mode, QString& what, const WriteShape& shape)
{
    finishInterruptedWrite(path, shape);
    return openPlain(path, mode, what);
}

bool File::openPlain(const QString& path, Mode mode, QString& what)
{
    close();
    m_path = path;
    m_errno = 0;
    const QByteArray name = QFile::encodeName(path);

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
    else if (mode == Kept)
        flags |= O_NOFOLLOW;

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
    // A cut back to a shorter length is no write of an intent: an earlier
    // intent coming back after a power cut could put the bytes cut off back.
    if (!settleStaleIntent(m_path))
        return failWith(EIO);
    if (QString ignored; !dropDerivedFile(m_path, ignored))
        return failWith(EIO);
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

namespace {
// What every write in place does first: the file's length taken, its
// derived file removed for good, and the bytes the write of `length` at `at`
// will cover read, to put back if it fails half way.
bool beginWrite(File& file, qint64 at, qint64 length, qint64& oldSize, QByteArray& old, QString& reason)
{
    oldSize = file.size();
    if (oldSize < 0) {
        reason = file.reason();
        return false;
    }
    Q_ASSERT(at <= oldSize);
    if (!dropDerivedFile(file.path(), reason))
        return false;
    old = QByteArray(qsizetype(qMin<qint64>(oldSize - at, length)), Qt::Uninitialized);
    if (!old.isEmpty() && file.readAt(at, old.data(), old.size()) != old.size()) {
        reason = file.reason();
        return false;
    }
    return true;
}

// Undoes a failed write: the covered bytes back, the file cut to its old
// length, flushed. `reason` already says why the write failed.
bool putBack(File& file, qint64 at, const QByteArray& old, qint64 oldSize, QString& reason)
{
    reason = file.reason();
    const bool undone = (old.isEmpty() || file.writeAt(at, old.constData(), old.size()))
        && (file.size() == oldSize || file.truncate(oldSize)) && file.sync();
    if (!undone)
        reason += QStringLiteral(", and the file could not be put back as it was: %1").arg(file.reason());
    return undone;
}
} // namespace

bool writeOrRestore(File& file, qint64 at, const QByteArray& bytes, QString& reason)
{
    qint64 oldSize = 0;
    QByteArray old;
    if (!beginWrite(file, at, bytes.size(), oldSize, old, reason))
        return false;

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
    File intentFile;
    {
        // The intent file of the last write beside this file is written
        // over when it is a plain file of ours; otherwise a new one is made
        // (a link of that name is replaced, never written through), and the
        // folder is flushed so that its name lasts too.
        QString what;
        const bool kept = intentFile.open(intentName, File::Kept, what);
        if (kept || intentFile.open(intentName, File::CreateNew, what)) {
            // It keeps the last bytes written, so it is no more open to others
            // than the file itself.
            if (!kept)
                intentFile.setPermissions((file.permissions() & 0666) | 0600);
            haveIntent = intentFile.writeAt(0, intent.constData(), intent.size())
                && (intentFile.size() == intent.size() || intentFile.truncate(intent.size())) && intentFile.sync();
            if (!haveIntent)
                reason = intentFile.reason();
            haveIntent = haveIntent && (kept || syncFolderOf(intentName, reason));
            if (!haveIntent) {
                intentFile.close();
                QString ignored;
                removeFile(intentName, ignored);
                return false;
            }
            // An earlier intent is written over, on the disk.
            withKnownIntent(file.path(), [](KnownIntent& k) { k = KnownIntent(); });
        } else if (intentFile.lastErrno() != EACCES && intentFile.lastErrno() != EPERM) {
            // Name the intent file: the data file itself is fine, and the user
            // must know what stands in the way (a folder of that name, say).
            struct stat st;
            if (intentFile.lastErrno() == 0 && ::lstat(QFile::encodeName(intentName).constData(), &st) == 0)
                reason = QStringLiteral("its intent file \"%1\" is %2, not a file")
                             .arg(QFileInfo(intentName).fileName(), kindOf(st.st_mode));
            else
                reason = QStringLiteral("its intent file \"%1\" could not be made: %2")
                             .arg(QFileInfo(intentName).fileName(), what.mid(what.indexOf(QLatin1String(": ")) + 2));
            return false;
        }
    }

    bool ok = file.writeAt(at, bytes.constData(), bytes.size()) && file.sync();
    if (!ok && !putBack(file, at, old, oldSize, reason))
        return false; // the intent stays: the next open completes the write,
                      // which leaves the file whole (new) rather than in pieces
    // Done either way; the intent must not be carried out again. If it
    // cannot be marked, carrying it out again writes the same bytes. After
    // a write put back, its removal is flushed at once: carried out after a
    // power cut it would make a write reported as failed.
    if (haveIntent) {
        if (ok) {
            retireIntent(intentFile, file.path());
        } else {
            intentFile.close();
            QString ignored;
            removeFile(intentName, ignored);
        }
    }
    return ok;
}

bool writeWithoutIntent(File& file, qint64 at, const QByteArray& bytes, QString& reason)
{
    qint64 oldSize = 0;
    QByteArray old;
    if (!beginWrite(file, at, bytes.size(), oldSize, old, reason))
        return false;
    // An intent of an earlier write (by writeOrRestore, or by an earlier
    // version of the program) goes first, for good: carried out after this
    // write, say once a power cut had taken its mark away, it would put
    // older bytes back over these.
    const QString intentName = intentFileName(file.path());
    struct stat st;
    if (::lstat(QFile::encodeName(intentName).constData(), &st) == 0 && S_ISREG(st.st_mode)) {
        QString why;
        if (const int failure = unlinkFile(intentName))
            why = errorText(failure);
        else
            syncFolderOf(intentName, why);
        if (!why.isEmpty()) {
            reason = QStringLiteral("its intent file \"%1\" could not be removed: %2").arg(baseName(intentName), why);
            return false;
        }
        forgetStale(file.path());
    }
    if (file.writeAt(at, bytes.constData(), bytes.size()) && file.sync())
        return true;
    putBack(file, at, old, oldSize, reason);
    return false;
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
    if (ok || error == EINVAL)
        folderFlushed(folder);
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
    // An intent carried out for the old file must not come back over the new one.
    int failure = settleStaleIntent(target) ? 0 : EIO;
    QString derivedKept;
    if (!failure && !dropDerivedFile(target, derivedKept)) {
        error = {target, QStringLiteral("could not be replaced: %1").arg(derivedKept)};
        return false;
    }
    if (!failure)
        failure = ask(Call::Rename, target).error;
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
    forgetStale(target);
    return true;
}

bool linkFile(const QString& existing, const QString& name, QString& reason)
{
    if (!dropDerivedFile(name, reason))
        return false;
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
    if (!dropDerivedFile(path, reason))
        return false;
    if (const int failure = unlinkFile(path)) {
        reason = errorText(failure);
        return false;
    }
    // A data file's kept intent goes with it.
    if (!path.endsWith(QLatin1String(".$$j")))
        unlinkFile(intentFileName(path));
    flushFolderAfterChange(path);
    forgetStale(path);
    return true;
}

} // namespace FileIo
