#include "storage/UserLog.h"

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
    if (!log.open(UserLogFileName, FileIo::File::Update, what, FileIo::WriteShape::lineAtEnd())) {
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
    FileIo::File log;
    QString what;
    auto unreadable = [&] {
        view.error = {UserLogFileName, QStringLiteral("could not be read: %1").arg(log.reason())};
        return view;
    };
    if (!log.open(UserLogFileName, FileIo::File::ReadOnly, what, FileIo::WriteShape::lineAtEnd())) {
        if (log.lastErrno() != 0)
            return unreadable();
        // Refused without a system error: a folder, pipe or device.
        view.error = {UserLogFileName, QStringLiteral("is not a regular file, so it cannot be shown")};
        return view;
    }
    const qint64 size = log.size();
    if (size < 0)
        return unreadable();
    qint64 from = 0;
    if (size > limitBytes) {
        from = size - limitBytes;
        view.partial = true;
    }
    // Read up to the size seen at the start; a log that grows meanwhile
    // shows its newer lines next time.
    QByteArray bytes(qsizetype(size - from), Qt::Uninitialized);
    const qint64 got = log.readAt(from, bytes.data(), bytes.size());
    if (got < 0)
        return unreadable();
    bytes.truncate(qsizetype(got)); // the file shrank meanwhile
    log.close();

    if (view.partial) {
        // Start at a whole line: drop the part of the line the cut fell in.
        const qsizetype lineEnd = bytes.indexOf('\n');
        bytes.remove(0, lineEnd < 0 ? bytes.size() : lineEnd + 1);
    }
    // Keep the last limitLines lines; the break that ends the last line
    // starts no line of its own.
    qsizetype pos = bytes.size();
    if (pos > 0 && bytes.at(pos - 1) == '\n')
        --pos;
    for (int breaks = 0; pos > 0;) {
        pos = bytes.lastIndexOf('\n', pos - 1);
        if (pos < 0)
            break;
        if (++breaks == limitLines) {
            bytes.remove(0, pos + 1);
            view.partial = true;
            break;
        }
    }
    const QString text = Ansi::trimSpaces(withPlainLineBreaks(Ansi::decode(bytes)));
    view.text = view.partial ? UserLogPartialNote() + u'\n' + text : text;
    return view;
}
QString UserLogFailureReason() { return failureReason(); }
