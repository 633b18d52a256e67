#include "store/FileCopy.h"

#include "store/FileIo.h"

#include <QByteArray>

namespace FileCopy {

QString PartialName(const QString& target) { return target + QStringLiteral(".$$$"); }

namespace {

// A replaced copy keeps the permissions and owner of the file it replaces.
void keepModeOf(const QString& target, FileIo::File& out)
{
    FileIo::File old;
    QString ignored;
    if (old.open(target, FileIo::File::ReadOnly, ignored)) {
        out.setPermissions(old.permissions());
        FileIo::copyOwnership(old, out);
    }
}

} // namespace

bool WriteFile(const QByteArray& bytes, const QString& target, FileError& error)
{
    error.clear();
    const QString partial = PartialName(target);
    FileIo::File out;
    QString what;
    if (!out.open(partial, FileIo::File::CreateNew, what)) {
        error = {target, what};
        return false;
    }
    keepModeOf(target, out);
    FileError renamed;
    if (!out.writeAt(0, bytes.constData(), bytes.size()) || !out.sync()) {
        error = {target, QStringLiteral("could not be written: %1").arg(out.reason())};
    } else {
        out.close();
        if (FileIo::replaceFile(partial, target, renamed))
            return true;
        error = renamed;
    }
    out.close();
    QString ignored;
    FileIo::removeFile(partial, ignored);
    return false;
}

bool CopyFile(const QString& source, const QString& target, FileError& error, const ProgressFn& progress)
{
    error.clear();
    QString what;
    FileIo::File in;
    if (!in.open(source, FileIo::File::ReadOnly, what)) {
        error = {source, what};
        return false;
    }

    const QString partial = PartialName(target);
    FileIo::File out;
    if (!out.open(partial, FileIo::File::CreateNew, what)) {
        error = {target, what};
        return false;
    }
    auto fail = [&](const FileError& failure) {
        error = failure;
        out.close();
        QString ignored;
        FileIo::removeFile(partial, ignored);
        return false;
    };

    keepModeOf(target, out);

    const qint64 total = progress ? in.size() : 0;
    constexpr qint64 Block = 1 << 20;
    QByteArray buffer(Block, Qt::Uninitialized);
    for (qint64 offset = 0;;) {
        const qint64 got = in.readAt(offset, buffer.data(), Block);
        if (got < 0)
            return fail({source, QStringLiteral("could not be read: %1").arg(in.reason())});
        if (got == 0)
            break;
        if (!out.writeAt(offset, buffer.constData(), got))
            return fail({target, QStringLiteral("could not be written: %1").arg(out.reason())});
        offset += got;
        if (progress)
            progress(offset, qMax(total, offset));
    }
    if (!out.sync())
        return fail({target, QStringLiteral("could not be written: %1").arg(out.reason())});
    out.close();
    in.close();
    FileError renamed;
    if (!FileIo::replaceFile(partial, target, renamed))
        return fail(renamed);
    return true;
}

} // namespace FileCopy
