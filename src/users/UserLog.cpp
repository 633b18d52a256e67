#include "users/UserLog.h"

#include "session/ProcessState.h"
#include "platform/Clock.h"
#include "store/AnsiText.h"
#include "store/DateValue.h"

#include <QFile>

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

bool WriteUserLogLine(qint16 flag)
{
    QFile log(UserLogFileName);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray bytes =
        Ansi::encode(UserLogLine(flag, Now(), CurrentUserName, CurrentAccessLevel) + QStringLiteral("\r\n"));
    return log.write(bytes) == bytes.size() && log.flush();
}
