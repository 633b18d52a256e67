#pragma once
// The user log "User.Log": one line per log-in and log-out, only ever appended.
#include "store/FileError.h"

#include <QDateTime>
#include <QString>

// The line for the current user: flag 1 is a log-in, any other a log-out.
// "03/07/2026 at 14:05:09 - Jane Doe logged in w/ Read/Edit/Add privileges."
QString UserLogLine(qint16 flag, const QDateTime& moment, const QString& userName, int accessLevel);

// Appends the line of CurrentUserName/CurrentAccessLevel at the present
// moment to the user log of the storage in use (in the data folder ended by
// CR LF and flushed to the disk). Returns false when the log could not be
// written; the log then holds no part of the line.
bool WriteUserLogLine(qint16 flag);

// The log as the log view shows it: line breaks as plain line breaks, spaces
// trimmed at both ends. The file grows without limit, but a text box takes
// about a second per hundred thousand lines, so a log longer than
// `limitLines` lines or `limitBytes` bytes shows only its latest whole lines
// within both limits, after a note that the earlier part is left out.
struct UserLogView {
    QString text;
    bool partial = false;
    bool empty = false; // the log holds nothing at all
    FileError error; // set when the log could not be read; text is then empty
};
constexpr int UserLogViewLines = 20000;
constexpr qint64 UserLogViewBytes = 4 * 1024 * 1024;
UserLogView ReadUserLogForView(int limitLines = UserLogViewLines, qint64 limitBytes = UserLogViewBytes);
// The first line of a log view that shows only the log's last part.
QString UserLogPartialNote();
// Why the last WriteUserLogLine failed, as the system words it (a server's
// whole sentence).
QString UserLogFailureReason();
// The failure of the last WriteUserLogLine as the user is shown it, with
// what it means (e.g. "so this log-in is not recorded"): the log file named
// with the reason, or a server's sentence.
FileError UserLogWriteFailure(const QString& consequence);
