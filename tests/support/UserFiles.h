#pragma once
// Writes and reads "User.List" files byte by byte for tests, with its own
// copy of the record layout, so the program's layout code is checked against
// an independent table.
#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QTime>

// One 500-byte user record.
class UserBytes500 {
public:
    UserBytes500(); // texts blank, level and date 0

    // Field names as in the layout table ("FirstName", "Comments"...).
    UserBytes500& text(const char* field, const QByteArray& bytes);
    UserBytes500& level(qint16 value);
    UserBytes500& created(double value);
    UserBytes500& created(const QDate& d, const QTime& t = QTime(0, 0));

    // A user whose stored password puts `filler` before each character of
    // `password`, as the program's scrambling does with random characters.
    static UserBytes500 user(const QByteArray& first, const QByteArray& last, const QByteArray& password,
                             qint16 level, const QDate& created = QDate(2024, 5, 17), char filler = 'q');

    const QByteArray& bytes() const { return m_bytes; }

    struct Field {
        const char* name;
        int offset;
        int width;
        char type; // 't' text, 'i' int16, 'd' date
    };
    static const QList<Field>& layout();
    static const Field& find(const char* name);

    static QByteArray readText(const QByteArray& record, const char* field); // raw, untrimmed
    static qint16 readLevel(const QByteArray& record);
    static double readCreated(const QByteArray& record);

private:
    QByteArray m_bytes;
};

void WriteUsers(const QString& path, const QList<UserBytes500>& records);
// The records of a user list (500 bytes each; a short tail is dropped).
QList<QByteArray> ReadUsers(const QString& path);
