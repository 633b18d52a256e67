#include "users/UserLogView.h"

#include "store/DateValue.h"

namespace {

constexpr qsizetype LoggedDateLength = 10; // "mm/dd/yyyy"

int digitsAt(const QString& text, qsizetype at, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const QChar c = text.at(at + i);
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

// The date of a log line starting at `at`, or an invalid date.
QDate loggedDateAt(const QString& text, qsizetype at)
{
    if (at + LoggedDateLength > text.size() || text.at(at + 2) != u'/' || text.at(at + 5) != u'/')
        return {};
    if (at + LoggedDateLength < text.size() && text.at(at + LoggedDateLength) != u' ')
        return {};
    const int month = digitsAt(text, at, 2);
    const int day = digitsAt(text, at + 3, 2);
    const int year = digitsAt(text, at + 6, 4);
    if (month < 0 || day < 0 || year < 0)
        return {};
    return QDate(year, month, day);
}

} // namespace

QString UserLogViewText(const QString& logText)
{
    if (NumericDateOrder() == DateOrder::MonthFirst)
        return logText;
    QString out = logText;
    qsizetype lineStart = 0;
    while (lineStart < out.size()) {
        const QDate date = loggedDateAt(out, lineStart);
        if (date.isValid())
            out.replace(lineStart, LoggedDateLength, FormatNumericDate(ToDateValue(date)));
        const qsizetype end = out.indexOf(u'\n', lineStart);
        if (end < 0)
            break;
        lineStart = end + 1;
    }
    return out;
}
