#include "app/DataFolder.h"

#include "platform/ApplicationTitle.h"
#include "platform/Messages.h"
#include "store/FileIo.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

DataFolderChoice ChooseDataFolder(const QString& option, const QString& environment, bool fromMenu,
                                  const QString& workingFolder, const QString& userDataHome)
{
    const QDir base(workingFolder);
    auto absolute = [&base](const QString& path) { return QDir::cleanPath(base.absoluteFilePath(path)); };
    if (!option.isEmpty())
        return { absolute(option), DataFolderChoice::Source::Option };
    if (!environment.isEmpty())
        return { absolute(environment), DataFolderChoice::Source::Environment };
    if (fromMenu)
        return { absolute(QDir(userDataHome).filePath(ApplicationTitle())), DataFolderChoice::Source::UserData };
    return { absolute(QStringLiteral(".")), DataFolderChoice::Source::WorkingFolder };
}

bool IsFolderNameText(const QByteArray& bytes) { return QFile::encodeName(QFile::decodeName(bytes)) == bytes; }

QString UserDataHome()
{
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::homePath() + QStringLiteral("/.local/share");
}

bool MakeDataFolderCurrent(const QString& path, QString& reason)
{
    // Made one level at a time with mkdir(2), so that a failure tells why
    // (QDir::mkpath only says that it failed).
    const QString clean = QDir::cleanPath(QDir(path).absolutePath());
    const QStringList parts = clean.split(u'/', Qt::SkipEmptyParts);
    QString sofar;
    for (const QString& part : parts) {
        sofar += u'/' + part;
        const QByteArray native = QFile::encodeName(sofar);
        struct stat st {};
        if (::stat(native.constData(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                reason = FileIo::errorText(ENOTDIR);
                return false;
            }
            continue;
        }
        if (::mkdir(native.constData(), 0777) != 0 && errno != EEXIST) {
            reason = FileIo::errorText(errno);
            return false;
        }
    }
    if (::chdir(QFile::encodeName(clean).constData()) != 0) {
        reason = FileIo::errorText(errno);
        return false;
    }
    return true;
}

QString DataFolderUnusableText(const QString& path, const QString& reason)
{
    return ApplicationTitle() + QStringLiteral(" cannot use its data folder") + CRLF + QDir::toNativeSeparators(path)
        + CRLF + QStringLiteral("(") + reason + QStringLiteral(").");
}
