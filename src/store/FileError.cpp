#include "store/FileError.h"

#include <QDir>

QString FileError::message() const
{
    if (!text.isEmpty())
        return text;
    return QStringLiteral("The file \"%1\" %2").arg(QDir::toNativeSeparators(fileName), what);
}
