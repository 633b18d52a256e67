#include "app/DataFileCheck.h"

#include "platform/ApplicationTitle.h"
#include "platform/Messages.h"
#include "platform/Progress.h"
#include "session/AuditNotice.h"
#include "storage/AuditEvents.h"
#include "store/DataFileNames.h"
#include "store/LegacyConversion.h"
#include "widgets/BusyGuard.h"

#include <QCoreApplication>
#include <QStringList>
#include <QWidget>

namespace {
void showFileError(const FileError& error)
{
    MsgBox(error.message() + u'.', Msg::OKOnly | Msg::Exclamation, QStringLiteral("File Error"));
}
} // namespace

QString ConvertQuestionText(ConvertAskedBy askedBy, const QString& note)
{
    const QString title = ApplicationTitle();
    const QString backup = LegacyBackupFileName();
    QStringList lines{
        QStringLiteral("You have an older version data file"),
        QStringLiteral("that needs to be converted to a format"),
        QStringLiteral("that this version of ") + title + QStringLiteral(" can read."),
        QString(),
        QStringLiteral("Would you like to convert"),
        QStringLiteral("your older data file now?"),
    };
    if (askedBy == ConvertAskedBy::ServerRestore)
        lines << QString() << QStringLiteral("If you click 'Yes', its citations are converted")
              << QStringLiteral("as they are restored; the backed up file itself")
              << QStringLiteral("is left as it is.") << QString()
              << QStringLiteral("If you click 'No', the other files are restored")
              << QStringLiteral("and the server starts fresh with no citations.");
    else
        lines << QString() << QStringLiteral("If you click 'Yes', a copy of your")
              << QStringLiteral("older data file will be kept as '") + backup + QStringLiteral("'")
              << QStringLiteral("just in case you want to re-install your older")
              << QStringLiteral("previous version of ") + title + QStringLiteral(" at some later time.") << QString()
              << QStringLiteral("If you click 'No', your older version data file")
              << QStringLiteral("will be re-named to '") + backup + QStringLiteral("' and you")
              << QStringLiteral("will start fresh with an empty data file.");
    if (!note.isEmpty())
        lines << QString() << note;
    lines << QString();
    if (askedBy == ConvertAskedBy::Start)
        lines << QStringLiteral("If you answer 'Cancel', this program will terminate")
              << QStringLiteral("to give you some time to decide what you want to do")
              << QStringLiteral("with the existing data file.");
    else
        lines << QStringLiteral("If you answer 'Cancel', nothing will be restored")
              << QStringLiteral("and your current data files stay as they are.");
    return lines.join(CRLF);
}

bool CarryOutConversionAnswer(QWidget* window, int answer, FileError& error)
{
    bool done = false;
    qint64 converted = 0;
    if (answer == Msg::Yes) {
        BusyGuard busy(window);
        Progress progress(QStringLiteral("Update existing data file?"), QStringLiteral("Converting the data file..."));
        converted = ConvertLegacyDataFile(error, QString(), progress.fn());
        done = converted >= 0;
    } else {
        done = KeepDataFileAsBackup(error);
    }
    const QString result = !done ? error.message()
        : answer == Msg::Yes     ? QStringLiteral("done")
                                 : QStringLiteral("not converted: kept as ") + LegacyBackupFileName();
    RecordOrTell(AuditEvents::conversion(CitationFileName, qMax<qint64>(converted, 0), result),
                 QStringLiteral("this conversion"));
    QCoreApplication::processEvents();
    if (!done)
        return false;

    QString text;
    if (answer == Msg::Yes)
        text = QStringLiteral("Your data file has been") + CRLF + QStringLiteral("successfully converted!") + CRLF + CRLF;
    text += QStringLiteral("Your older data file") + CRLF + QStringLiteral("has been renamed to") + CRLF
        + LegacyBackupFileName();
    MsgBox(text, Msg::OKOnly | Msg::Information, QStringLiteral("Finished Updating!"));
    return true;
}

bool CheckDataFileAtStart(QWidget* titlePage)
{
    FileError error;
    if (CheckDataFileFormat(error) != DataFileFormat::NeedsConversion) {
        if (error.isError())
            showFileError(error);
        return true;
    }

    const int answer = MsgBox(ConvertQuestionText(), Msg::YesNoCancel | Msg::Question | Msg::DefaultButton3,
                              QStringLiteral("Update existing data file?"));
    if (answer != Msg::Yes && answer != Msg::No)
        return false;

    if (!CarryOutConversionAnswer(titlePage, answer, error)) {
        // The old file is still the data file, whole. Going on would read
        // its records in the new layout, and saves would mix the layouts, so
        // the program ends and the user can mend the cause and start again.
        MsgBox(error.message() + u'.' + CRLF + CRLF + QStringLiteral("Your data file has been left as it was.") + CRLF
                   + ApplicationTitle() + QStringLiteral(" will now close; please correct the problem") + CRLF
                   + QStringLiteral("and start it again."),
               Msg::OKOnly | Msg::Exclamation, QStringLiteral("File Error"));
        return false;
    }
    return true;
}
