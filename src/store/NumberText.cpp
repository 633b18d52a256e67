#include "store/NumberText.h"

#include <cmath>
#include <limits>

double LeadingNumber(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    bool digits = false;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
        ++i;
        digits = true;
    }
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    return text.mid(start, i - start).toDouble();
}

qint64 RoundHalfEven(double value)
{
    // Converting a double outside the 64-bit range (or NaN) is undefined:
    // hold it at the nearest end first.
    constexpr double Limit = 9223372036854775808.0; // 2^63, exact in a double
    if (std::isnan(value))
        return 0;
    const double r = std::nearbyint(value);
    if (r >= Limit)
        return std::numeric_limits<qint64>::max();
    if (r < -Limit)
        return std::numeric_limits<qint64>::min();
    return qint64(r);
}

qint16 LeadingNumberAsInt16(const QString& text)
{
    const qint64 v = RoundHalfEven(LeadingNumber(text));
    return qint16(qBound(qint64(std::numeric_limits<qint16>::min()), v, qint64(std::numeric_limits<qint16>::max())));
}
