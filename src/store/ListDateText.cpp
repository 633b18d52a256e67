#include "store/ListDateText.h"

namespace ListDateText {
namespace {

void put2(QChar*& out, int n)
{
    *out++ = QChar(u'0' + n / 10);
    *out++ = QChar(u'0' + n % 10);
}

void put4(QChar*& out, int n)
{
    *out++ = QChar(u'0' + n / 1000);
    *out++ = QChar(u'0' + n / 100 % 10);
    *out++ = QChar(u'0' + n / 10 % 10);
    *out++ = QChar(u'0' + n % 10);
}

// Years outside 0..9999 (only a damaged value holds one) take the general way.
bool plainYear(const QDate& d) { return d.isValid() && d.year() >= 0 && d.year() <= 9999; }

} // namespace

QString date(DateValue v)
{
    const QDate d = DatePart(v);
    if (!plainYear(d))
        return FormatNumericDate(v);
    QString s(10, Qt::Uninitialized);
    QChar* out = s.data();
    switch (NumericDateOrder()) {
    case DateOrder::MonthFirst:
        put2(out, d.month());
        *out++ = u'/';
        put2(out, d.day());
        *out++ = u'/';
        put4(out, d.year());
        break;
    case DateOrder::DayFirst:
        put2(out, d.day());
        *out++ = u'/';
        put2(out, d.month());
        *out++ = u'/';
        put4(out, d.year());
        break;
    case DateOrder::YearFirst:
        put4(out, d.year());
        *out++ = u'/';
        put2(out, d.month());
        *out++ = u'/';
        put2(out, d.day());
        break;
    }
    return s;
}

QString time(DateValue v)
{
    if (!IsInDateRange(v))
        return QString();
    const QTime t = TimePart(v);
    int hour = t.hour() % 12;
    if (hour == 0)
        hour = 12;
    QString s(hour >= 10 ? 7 : 6, Qt::Uninitialized);
    QChar* out = s.data();
    if (hour >= 10)
        *out++ = u'1';
    *out++ = QChar(u'0' + hour % 10);
    *out++ = u':';
    put2(out, t.minute());
    *out++ = t.hour() < 12 ? u'a' : u'p';
    *out++ = u'm';
    return s;
}

QString yearMonth(DateValue v)
{
    const QDate d = DatePart(v);
    if (!plainYear(d))
        return FormatDateValue(v, QStringLiteral("yyyy/mm"));
    QString s(7, Qt::Uninitialized);
    QChar* out = s.data();
    put4(out, d.year());
    *out++ = u'/';
    put2(out, d.month());
    return s;
}

QString dateKey(DateValue v)
{
    const QDate d = DatePart(v);
    if (!plainYear(d))
        return FormatDateValue(v, QStringLiteral("yyyymmdd"));
    QString s(8, Qt::Uninitialized);
    QChar* out = s.data();
    put4(out, d.year());
    put2(out, d.month());
    put2(out, d.day());
    return s;
}

QString timeKey(DateValue v)
{
    if (!IsInDateRange(v))
        return QString();
    const QTime t = TimePart(v);
    QString s(4, Qt::Uninitialized);
    QChar* out = s.data();
    put2(out, t.hour());
    put2(out, t.minute());
    return s;
}

} // namespace ListDateText
