#include "users/UserLog.h"

#include "session/ProcessState.h"
#include "platform/Clock.h"
#include "store/AnsiText.h"
#include "store/DateValue.h"
#include "store/FileIo.h"


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
QString& failureReason()
{
    static QString reason;
    return reason;
}
} // namespace

bool WriteUserLogLine(qint16 flag)
{
    failureReason().clear();
    FileIo::File log;
    QString what;
    if (!log.open(UserLogFileName, FileIo::File::Update, what)) {
        failureReason() = what.mid(what.indexOf(QLatin1String(": ")) + 2); // the reason alone
        return false;
    }
    const qint64 end = log.size();
    if (!log.isWritable() || end < 0) {
        failureReason() = log.reason();
        return false;
    }
    const QByteArray bytes =
        Ansi::encode(UserLogLine(flag, Now(), CurrentUserName, CurrentAccessLevel) + QStringLiteral("\r\n"));
    // The whole line or nothing: a cut line would join the next one.
    return FileIo::writeOrRestore(log, end, bytes, failureReason());
}

QString UserLogFailureReason() { return failureReason(); }
