#pragma once
// An intent file written from its layout alone, for tests and fuzzing: the
// eight bytes "SNINTNT1", then where the write goes, the file's length before
// it and the length of the write (8 bytes each, little-endian), the bytes of
// the write, and an FNV-1a style check sum of everything before it (8 bytes;
// its starting value is 1469598103934665603, not the usual FNV offset).
#include <QByteArray>
#include <QtEndian>

inline QByteArray IntentBytes(quint64 at, quint64 oldSize, const QByteArray& bytes)
{
    QByteArray out("SNINTNT1");
    for (quint64 v : {at, oldSize, quint64(bytes.size())}) {
        char number[8];
        qToLittleEndian<quint64>(v, number);
        out.append(number, 8);
    }
    out += bytes;
    quint64 sum = 1469598103934665603ull;
    for (char c : out)
        sum = (sum ^ quint8(c)) * 1099511628211ull;
    char number[8];
    qToLittleEndian<quint64>(sum, number);
    return out.append(number, 8);
}
