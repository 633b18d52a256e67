#include "store/FileCopy.h"

#include <QFile>
#include <QFileInfo>

namespace FileCopy {

QString PartialName(const QString& target) { return target + QStringLiteral(".$$$"); }

bool CopyFile(const QString& source, const QString& target, FileError& error)
{
    error.clear();
    QFile in(source);
    if (!QFileInfo(source).isFile()) {
        error = {source, QStringLiteral("is not a regular file")};
        return false;
    }
    if (!in.open(QIODevice::ReadOnly)) {
        error = {source, QStringLiteral("could not be opened: %1").arg(in.errorString())};
        return false;
    }

    const QString partial = PartialName(target);
    QFile::remove(partial);
    QFile out(partial);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error = {target, QStringLiteral("could not be written: %1").arg(out.errorString())};
        return false;
    }
    const QFileInfo old(target);
    if (old.isFile())
        out.setPermissions(old.permissions());

    bool ok = true;
    constexpr qint64 Block = 1 << 20;
    while (ok && !in.atEnd()) {
        const QByteArray block = in.read(Block);
        if (in.error() != QFileDevice::NoError) {
            error = {source, QStringLiteral("could not be read: %1").arg(in.errorString())};
            ok = false;
        } else if (out.write(block) != block.size()) {
            error = {target, QStringLiteral("could not be written: %1").arg(out.errorString())};
            ok = false;
        }
    }
    if (ok && !(out.flush() && FileOps::syncToDisk(out.handle()))) {
        error = {target, QStringLiteral("could not be written: %1").arg(out.errorString())};
        ok = false;
    }
    out.close();
    if (ok && !FileOps::replaceFile(partial, target, error))
        ok = false;
    if (!ok)
        QFile::remove(partial);
    return ok;
}

} // namespace FileCopy
