#include "storage/UserLog.h"

#include "session/ProcessState.h"
#include "audit/AuditEntry.h"
#include "platform/Clock.h"
#include "store/AnsiText.h"
#include "store/DateValue.h"
#include "storage/Storage.h"


QString UserLogLine(qint16 flag, const QDateTime& moment, const QString& userName, int accessLevel)
{
    const DateValue v = ToDateValue(moment);
    QString line = FormatDateValue(v, QStringLiteral("mm/dd/yyyy")) + QStringLiteral(" at ")
        + FormatDateValue(v, QStringLiteral("hh:nn:ss")) + QStringLiteral(" - ") + userName;
    if (flag == 1)
        line += QStringLiteral(" logged in w/ ") + AccessLevelName(accessLevel) + QStringLiteral(" privileges.");
    else
        line += QStringLiteral(" logged out.");
    return line;
}

namespace {
FileError& lastFailure()
{
    static FileError failure;
    return failure;
}
} // namespace

bool WriteUserLogLine(qint16 flag)
{
    lastFailure().clear();
    // A log-in line is written as soon as the user is known: from here on
    // the store keeps this user (and this desk) as who changes what.
    storage().setActor({CurrentUserName, CurrentAccessLevel, DeskName()});
    FileError error;
    if (storage().userLog().append(UserLogLine(flag, Now(), CurrentUserName, CurrentAccessLevel), error))
        return true;
    lastFailure() = error;
    return false;
}

QString UserLogPartialNote()
{
    return QStringLiteral("(The 'User Log' is too long to show whole: only its latest entries are shown.)");
}

namespace {

// CR LF to LF in one pass; a lone CR stays as it is.
QString withPlainLineBreaks(const QString& text)
{
    QString out(text.size(), Qt::Uninitialized);
    QChar* to = out.data();
    const QChar* from = text.constData();
    const QChar* const end = from + text.size();
    for (; from < end; ++from) {
        if (*from == u'\r' && from + 1 < end && from[1] == u'\n')
            continue;
        *to++ = *from;
    }
    out.truncate(to - out.constData());
    return out;
}

} // namespace

UserLogView ReadUserLogForView(int limitLines, qint64 limitBytes)
{
    UserLogView view;
    QByteArray bytes;
    if (!storage().userLog().readLatest(limitLines, limitBytes, bytes, view.partial, view.error))
        return view;
    view.empty = bytes.isEmpty() && !view.partial;
    const QString text = Ansi::trimSpaces(withPlainLineBreaks(Ansi::decode(bytes)));
    view.text = view.partial ? UserLogPartialNote() + u'\n' + text : text;
    return view;
}

QString UserLogFailureReason()
{
    const FileError& failure = lastFailure();
    return failure.text.isEmpty() ? failure.what.mid(failure.what.indexOf(QLatin1String(": ")) + 2) : failure.text;
}

FileError UserLogWriteFailure(const QString& consequence)
{
    const FileError& failure = lastFailure();
    if (!failure.text.isEmpty())
        return {QString(), QString(), failure.text + u' ' + consequence + u'.'};
    return {UserLogFileName, QStringLiteral("could not be written, %1: %2").arg(consequence, UserLogFailureReason())};
}
