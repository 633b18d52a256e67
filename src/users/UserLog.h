#pragma once
// The user log "User.Log": one line per log-in and log-out, only ever appended.
#include <QDateTime>
#include <QString>

// The line for the current user: flag 1 is a log-in, any other a log-out.
// "03/07/2026 at 14:05:09 - Jane Doe logged in w/ Read/Edit/Add privileges."
QString UserLogLine(qint16 flag, const QDateTime& moment, const QString& userName, int accessLevel);

// Appends the line of CurrentUserName/CurrentAccessLevel, ended by CR LF, at
// the present moment, and flushes it to the disk. Returns false when the log
// could not be written; the log then holds no part of the line.
bool WriteUserLogLine(qint16 flag);
// Why the last WriteUserLogLine failed, as the system words it.
QString UserLogFailureReason();
