#include "store/FileError.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

QString FileError::message() const
{
    return QStringLiteral("The file \"%1\" %2").arg(QDir::toNativeSeparators(fileName), what);
}

namespace FileOps {

bool replaceFile(const QString& source, const QString& target, FileError& error)
{
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(target);
    if (std::rename(from.constData(), to.constData()) != 0) {
        error = {target, QStringLiteral("could not be replaced: %1").arg(QString::fromLocal8Bit(std::strerror(errno)))};
        return false;
    }
    return true;
}

bool syncToDisk(int fileHandle) { return fileHandle < 0 || ::fsync(fileHandle) == 0; }

} // namespace FileOps
