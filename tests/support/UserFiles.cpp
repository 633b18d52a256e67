#include "UserFiles.h"

#include "DataFiles.h"

#include <QtEndian>
#include <cstring>
#include <stdexcept>

const QList<UserBytes500::Field>& UserBytes500::layout()
{
    static const QList<Field> table = {
        {"DateCreated", 0, 8, 'd'}, {"FirstName", 8, 15, 't'},   {"LastName", 23, 20, 't'},
        {"Password", 43, 16, 't'},  {"AccessLevel", 59, 2, 'i'}, {"Comments", 61, 439, 't'},
    };
    return table;
}

const UserBytes500::Field& UserBytes500::find(const char* name)
{
    for (const Field& f : layout())
        if (std::strcmp(f.name, name) == 0)
            return f;
    throw std::invalid_argument(name);
}

UserBytes500::UserBytes500() : m_bytes(500, '\0')
{
    for (const Field& f : layout())
        if (f.type == 't')
            std::memset(m_bytes.data() + f.offset, ' ', size_t(f.width));
}

UserBytes500& UserBytes500::text(const char* field, const QByteArray& bytes)
{
    const Field& f = find(field);
    std::memset(m_bytes.data() + f.offset, ' ', size_t(f.width));
    std::memcpy(m_bytes.data() + f.offset, bytes.constData(), size_t(qMin<qsizetype>(bytes.size(), f.width)));
    return *this;
}

UserBytes500& UserBytes500::level(qint16 value)
{
    qToLittleEndian<qint16>(value, m_bytes.data() + find("AccessLevel").offset);
    return *this;
}

UserBytes500& UserBytes500::created(double value)
{
    qToLittleEndian<double>(value, m_bytes.data() + find("DateCreated").offset);
    return *this;
}

UserBytes500& UserBytes500::created(const QDate& d, const QTime& t) { return created(OleDate(d, t)); }

UserBytes500 UserBytes500::user(const QByteArray& first, const QByteArray& last, const QByteArray& password,
                                qint16 accessLevel, const QDate& createdOn, char filler)
{
    QByteArray stored;
    for (char c : password)
        stored += QByteArray(1, filler) + c;
    UserBytes500 r;
    r.text("FirstName", first).text("LastName", last).text("Password", stored).level(accessLevel).created(createdOn,
                                                                                                        QTime(9, 30));
    return r;
}

QByteArray UserBytes500::readText(const QByteArray& record, const char* field)
{
    const Field& f = find(field);
    return record.mid(f.offset, f.width);
}

qint16 UserBytes500::readLevel(const QByteArray& record)
{
    return qFromLittleEndian<qint16>(record.constData() + find("AccessLevel").offset);
}

double UserBytes500::readCreated(const QByteArray& record)
{
    return qFromLittleEndian<double>(record.constData() + find("DateCreated").offset);
}

void WriteUsers(const QString& path, const QList<UserBytes500>& records)
{
    QByteArray all;
    for (const UserBytes500& r : records)
        all += r.bytes();
    WriteFile(path, all);
}

QList<QByteArray> ReadUsers(const QString& path)
{
    const QByteArray all = ReadFile(path);
    QList<QByteArray> out;
    for (qsizetype at = 0; at + 500 <= all.size(); at += 500)
        out << all.mid(at, 500);
    return out;
}
