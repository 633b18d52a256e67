#pragma once
// The test side's byte-by-byte view of a fixed-length record: texts padded
// with spaces, 16-bit integers and 8-byte dates little-endian, each field
// found by name in the record type's own layout table (kept apart from the
// program's tables, so those are checked against an independent copy).
#include <QByteArray>
#include <QDate>
#include <QList>
#include <QTime>
#include <QtEndian>
#include <cstring>
#include <stdexcept>

struct RecordField {
    const char* name;
    int offset;
    int width;
    char type; // 't' text, 'i' int16, 'd' date
};

double OleDate(const QDate& d, const QTime& t = QTime(0, 0));

// Derived provides `static const QList<RecordField>& layout()`.
template <typename Derived>
class RecordBytes {
public:
    using Field = RecordField;

    Derived& text(const char* field, const QByteArray& latin1)
    {
        const Field& f = find(field);
        std::memset(m_bytes.data() + f.offset, ' ', size_t(f.width));
        std::memcpy(m_bytes.data() + f.offset, latin1.constData(), size_t(qMin<qsizetype>(latin1.size(), f.width)));
        return self();
    }
    Derived& int16(const char* field, qint16 value)
    {
        qToLittleEndian<qint16>(value, m_bytes.data() + find(field).offset);
        return self();
    }
    Derived& date(const char* field, double value)
    {
        qToLittleEndian<double>(value, m_bytes.data() + find(field).offset);
        return self();
    }
    Derived& date(const char* field, const QDate& d, const QTime& t = QTime(0, 0))
    {
        return date(field, OleDate(d, t));
    }

    const QByteArray& bytes() const { return m_bytes; }

    static const Field& find(const char* name)
    {
        for (const Field& f : Derived::layout())
            if (std::strcmp(f.name, name) == 0)
                return f;
        throw std::invalid_argument(name);
    }
    static QByteArray readText(const QByteArray& record, const char* field) // raw, untrimmed
    {
        const Field& f = find(field);
        return record.mid(f.offset, f.width);
    }
    static qint16 readInt16(const QByteArray& record, const char* field)
    {
        return qFromLittleEndian<qint16>(record.constData() + find(field).offset);
    }
    static double readDate(const QByteArray& record, const char* field)
    {
        return qFromLittleEndian<double>(record.constData() + find(field).offset);
    }

protected:
    // A blank record: texts all spaces, numbers and dates 0.
    explicit RecordBytes(int length) : m_bytes(length, '\0')
    {
        for (const Field& f : Derived::layout())
            if (f.type == 't')
                std::memset(m_bytes.data() + f.offset, ' ', size_t(f.width));
    }

    QByteArray m_bytes;

private:
    Derived& self() { return static_cast<Derived&>(*this); }
};

void WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);

// Writes records back to back; reads a file's whole records (a short tail is dropped).
template <typename Record>
void WriteRecords(const QString& path, const QList<Record>& records)
{
    QByteArray all;
    for (const Record& r : records)
        all += r.bytes();
    WriteFile(path, all);
}
QList<QByteArray> ReadRecords(const QString& path, int recordLength);
