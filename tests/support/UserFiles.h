#pragma once
// Writes and reads "User.List" files byte by byte for tests, with its own
// copy of the record layout, so the program's layout code is checked against
// an independent table.
#include "RecordBytes.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QTime>

// One 500-byte user record.
class UserBytes500 : public RecordBytes<UserBytes500> {
public:
    UserBytes500() : RecordBytes(500) {} // texts blank, level and date 0

    UserBytes500& level(qint16 value) { return int16("AccessLevel", value); }
    UserBytes500& created(double value) { return date("DateCreated", value); }
    UserBytes500& created(const QDate& d, const QTime& t = QTime(0, 0)) { return date("DateCreated", d, t); }

    // A user whose stored password puts `filler` before each character of
    // `password`, as the program's scrambling does with random characters.
    static UserBytes500 user(const QByteArray& first, const QByteArray& last, const QByteArray& password,
                             qint16 level, const QDate& created = QDate(2024, 5, 17), char filler = 'q');

    // Field names as in the layout table ("FirstName", "Comments"...).
    static const QList<RecordField>& layout();

    static qint16 readLevel(const QByteArray& record) { return readInt16(record, "AccessLevel"); }
    static double readCreated(const QByteArray& record) { return readDate(record, "DateCreated"); }
};

inline void WriteUsers(const QString& path, const QList<UserBytes500>& records) { WriteRecords(path, records); }
// The records of a user list (500 bytes each; a short tail is dropped).
inline QList<QByteArray> ReadUsers(const QString& path) { return ReadRecords(path, 500); }
