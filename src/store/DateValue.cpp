#include "store/DateValue.h"

#include "platform/Clock.h"

#include <QStringList>
#include <cmath>

namespace {

const QDate Epoch(1899, 12, 30);
constexpr double SecondsPerDay = 86400.0;

// Splits a value into whole days from the epoch and seconds into the day.
// Negative values keep their time as a positive fraction (-1.25 is
// 29 December 1899, 6:00).
void split(DateValue value, qint64& days, int& seconds)
{
    // A damaged value (NaN, infinite, far out) must not reach the integer
    // conversions below, where it would be undefined.
    if (!IsInDateRange(value)) {
        days = 0;
        seconds = 0;
        return;
    }
    double whole = std::trunc(value);
    double fraction = std::fabs(value - whole);
    qint64 secs = std::llround(fraction * SecondsPerDay);
    if (secs >= 86400) {
        // The time rounded up to midnight: the next day, which for a value
        // before the epoch is one nearer to it (-1.9999999 is 30 December).
        secs -= 86400;
        whole += 1;
    }
    days = qint64(whole);
    seconds = int(secs);
}

QString twoDigits(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

} // namespace

bool IsInDateRange(DateValue value) { return std::isfinite(value) && value > -657435.0 && value < 2958466.0; }

DateValue ToDateValue(const QDate& date, const QTime& time)
{
    const double days = double(Epoch.daysTo(date));
    const double fraction = time.isValid() ? time.msecsSinceStartOfDay() / (SecondsPerDay * 1000.0) : 0.0;
    return days >= 0 ? days + fraction : days - fraction;
}

DateValue ToDateValue(const QDateTime& moment) { return ToDateValue(moment.date(), moment.time()); }

QDate DatePart(DateValue value)
{
    qint64 days;
    int seconds;
    if (!IsInDateRange(value))
        return QDate();
    split(value, days, seconds);
    return Epoch.addDays(days);
}

quint32 DayNumber(DateValue value)
{
    qint64 days;
    int seconds;
    if (!IsInDateRange(value))
        return 0;
    split(value, days, seconds);
    // Days from 1 March of year 0 of the proleptic Gregorian calendar (the
    // one QDate counts in), taken apart by 400-year eras.
    const qint64 z = days - 25569 + 719468; // the epoch is 25,569 days before 1 January 1970
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 dayOfEra = z - era * 146097;
    const qint64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 m = (5 * dayOfYear + 2) / 153;
    const qint64 day = dayOfYear - (153 * m + 2) / 5 + 1;
    const qint64 month = m < 10 ? m + 3 : m - 9;
    const qint64 year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return quint32(year * 10000 + month * 100 + day);
}

QTime TimePart(DateValue value)
{
    qint64 days;
    int seconds;
    if (!IsInDateRange(value))
        return QTime();
    split(value, days, seconds);
    return QTime(0, 0).addSecs(seconds);
}

QDateTime ToDateTime(DateValue value) { return QDateTime(DatePart(value), TimePart(value)); }

QString FormatDateValue(DateValue value, const QString& pattern)
{
    if (!IsInDateRange(value))
        return QString();
    const QDate d = DatePart(value);
    const QTime t = TimePart(value);
    const bool twelveHour = pattern.contains(QLatin1String("am/pm"), Qt::CaseInsensitive);
    QString out;
    bool lastWasHour = false;
    qsizetype i = 0;
    auto runOf = [&](QChar c) {
        qsizetype j = i;
        while (j < pattern.size() && pattern[j].toLower() == c)
            ++j;
        return j - i;
    };
    while (i < pattern.size()) {
        const QChar c = pattern[i].toLower();
        if (pattern.mid(i, 5).compare(QLatin1String("am/pm"), Qt::CaseInsensitive) == 0) {
            const bool upper = pattern[i].isUpper();
            const QString marker = t.hour() < 12 ? QStringLiteral("am") : QStringLiteral("pm");
            out += upper ? marker.toUpper() : marker;
            i += 5;
            continue;
        }
        if (c == u'y') {
            const qsizetype n = runOf(c);
            out += n >= 3 ? QStringLiteral("%1").arg(d.year(), 4, 10, QLatin1Char('0')) : twoDigits(d.year() % 100);
            i += n;
            lastWasHour = false;
        } else if (c == u'm') {
            const qsizetype n = runOf(c);
            if (lastWasHour)
                out += n >= 2 ? twoDigits(t.minute()) : QString::number(t.minute());
            else if (n >= 4)
                out += QLocale().monthName(d.month(), QLocale::LongFormat);
            else if (n == 3)
                out += QLocale().monthName(d.month(), QLocale::ShortFormat);
            else
                out += n == 2 ? twoDigits(d.month()) : QString::number(d.month());
            i += n;
            lastWasHour = false;
        } else if (c == u'd') {
            const qsizetype n = runOf(c);
            if (n >= 4)
                out += QLocale().dayName(d.dayOfWeek(), QLocale::LongFormat);
            else if (n == 3)
                out += QLocale().dayName(d.dayOfWeek(), QLocale::ShortFormat);
            else
                out += n == 2 ? twoDigits(d.day()) : QString::number(d.day());
            i += n;
            lastWasHour = false;
        } else if (c == u'h') {
            const qsizetype n = runOf(c);
            int hour = t.hour();
            if (twelveHour) {
                hour %= 12;
                if (hour == 0)
                    hour = 12;
            }
            out += n >= 2 ? twoDigits(hour) : QString::number(hour);
            i += n;
            lastWasHour = true;
        } else if (c == u'n') {
            const qsizetype n = runOf(c);
            out += n >= 2 ? twoDigits(t.minute()) : QString::number(t.minute());
            i += n;
            lastWasHour = false;
        } else if (c == u's') {
            const qsizetype n = runOf(c);
            out += n >= 2 ? twoDigits(t.second()) : QString::number(t.second());
            i += n;
            lastWasHour = false;
        } else {
            out += pattern[i];
            // A separator between the hour and a following "mm" keeps it minutes.
            if (pattern[i] != u':')
                lastWasHour = false;
            ++i;
        }
    }
    return out;
}

namespace {

// The order of a locale's numeric dates, read from its short date format.
DateOrder orderOf(const QLocale& locale)
{
    // A machine with no regional settings (the C locale) reads dates the
    // American way, month first, as the program always has.
    if (locale.language() == QLocale::C)
        return DateOrder::MonthFirst;
    const QString f = locale.dateFormat(QLocale::ShortFormat);
    const qsizetype d = f.indexOf(u'd');
    const qsizetype m = f.indexOf(u'M');
    const qsizetype y = f.indexOf(u'y');
    if (d < 0 || m < 0)
        return DateOrder::MonthFirst;
    if (y >= 0 && y < m && y < d)
        return DateOrder::YearFirst;
    return d < m ? DateOrder::DayFirst : DateOrder::MonthFirst;
}

struct Token {
    enum Kind { Number, Word, Separator } kind;
    QString text;
};

QList<Token> tokenize(const QString& text)
{
    QList<Token> tokens;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c.isDigit()) {
            qsizetype j = i;
            while (j < text.size() && text[j].isDigit())
                ++j;
            tokens.append({Token::Number, text.mid(i, j - i)});
            i = j;
        } else if (c.isLetter()) {
            qsizetype j = i;
            while (j < text.size() && text[j].isLetter())
                ++j;
            tokens.append({Token::Word, text.mid(i, j - i).toLower()});
            i = j;
        } else if (c.isSpace()) {
            ++i; // blanks only separate; they carry no meaning of their own
            if (!tokens.isEmpty() && tokens.last().kind != Token::Separator)
                tokens.append({Token::Separator, QStringLiteral(" ")});
        } else {
            if (!tokens.isEmpty() && tokens.last().kind == Token::Separator && tokens.last().text == u" ")
                tokens.removeLast();
            tokens.append({Token::Separator, QString(c)});
            ++i;
        }
    }
    return tokens;
}

// Month number for an English or locale month name or abbreviation, else 0.
int monthFromWord(const QString& word, const QLocale& locale)
{
    static const char* const english[] = {"january", "february", "march",     "april",   "may",      "june",
                                          "july",    "august",   "september", "october", "november", "december"};
    if (word.size() < 3)
        return 0;
    for (int m = 1; m <= 12; ++m) {
        const QString full = QString::fromLatin1(english[m - 1]);
        const QString localFull = locale.monthName(m, QLocale::LongFormat).toLower();
        const QString localShort = locale.monthName(m, QLocale::ShortFormat).toLower().remove(u'.');
        if (full.startsWith(word) || word == localFull || word == localShort
            || (word.size() >= 3 && localFull.startsWith(word)))
            return m;
    }
    if (word == u"sept")
        return 9;
    return 0;
}

bool isWeekdayWord(const QString& word, const QLocale& locale)
{
    for (int d = 1; d <= 7; ++d) {
        const QString full = QLocale::c().dayName(d, QLocale::LongFormat).toLower();
        const QString localFull = locale.dayName(d, QLocale::LongFormat).toLower();
        if ((word.size() >= 3 && full.startsWith(word)) || word == localFull
            || word == locale.dayName(d, QLocale::ShortFormat).toLower().remove(u'.'))
            return true;
    }
    return false;
}

// The year a typed year stands for, or 0 (refused). One or two digits take
// the two-digit window (00-29 as 20xx, 30-99 as 19xx); four digits stand as
// written. Three digits are refused: they are what is left of a four-digit
// year cut off by the 10-character date box ("Feb 3, 2006" keeps "Feb 3, 200").
int expandYear(const QString& digits)
{
    const int y = digits.toInt();
    if (digits.size() <= 2)
        return y < 30 ? 2000 + y : 1900 + y;
    if (digits.size() == 4)
        return y;
    return 0;
}

// Takes the time out of the tokens (H:MM[:SS] [am|pm], or H am|pm).
// Returns false when a time is present but not valid.
bool extractTime(QList<Token>& tokens, std::optional<QTime>& time)
{
    auto isMarker = [](const Token& t) {
        return t.kind == Token::Word && (t.text == u"am" || t.text == u"pm" || t.text == u"a" || t.text == u"p");
    };
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        if (tokens[i].kind != Token::Number)
            continue;
        qsizetype j = i;
        QList<int> parts{tokens[i].text.toInt()};
        QList<qsizetype> widths{tokens[i].text.size()};
        while (j + 2 < tokens.size() && tokens[j + 1].kind == Token::Separator && tokens[j + 1].text == u":"
               && tokens[j + 2].kind == Token::Number && parts.size() < 3) {
            parts.append(tokens[j + 2].text.toInt());
            widths.append(tokens[j + 2].text.size());
            j += 2;
        }
        qsizetype end = j + 1;
        if (end < tokens.size() && tokens[end].kind == Token::Separator && tokens[end].text == u" "
            && end + 1 < tokens.size() && isMarker(tokens[end + 1]))
            ++end;
        const bool marked = end < tokens.size() && isMarker(tokens[end]);
        if (parts.size() == 1 && !marked)
            continue; // a lone number is part of a date
        int hour = parts[0];
        const int minute = parts.size() > 1 ? parts[1] : 0;
        const int second = parts.size() > 2 ? parts[2] : 0;
        if (widths.size() > 1 && (widths[1] > 2 || (widths.size() > 2 && widths[2] > 2)))
            return false;
        if (marked) {
            if (hour < 1 || hour > 12)
                return false;
            const bool pm = tokens[end].text.startsWith(u'p');
            hour = hour % 12 + (pm ? 12 : 0);
            ++end;
        }
        if (hour > 23 || minute > 59 || second > 59)
            return false;
        time = QTime(hour, minute, second);
        tokens.remove(i, end - i);
        return true;
    }
    return true;
}

std::optional<QDate> dateFromTokens(const QList<Token>& tokens, const QLocale& locale)
{
    QList<QString> numbers;
    int month = 0;
    int monthPosition = -1;
    QString separator;
    for (const Token& t : tokens) {
        switch (t.kind) {
        case Token::Number:
            numbers.append(t.text);
            break;
        case Token::Word:
            if (const int m = monthFromWord(t.text, locale); m && !month) {
                month = m;
                monthPosition = int(numbers.size());
            } else if (!isWeekdayWord(t.text, locale)) {
                return std::nullopt;
            }
            break;
        case Token::Separator:
            if (t.text != u" " && t.text != u"/" && t.text != u"-" && t.text != u"." && t.text != u",")
                return std::nullopt;
            break;
        }
    }
    // Asked only for a date without its year: the clock reads the time zone
    // each time, which a list of thousands of dates would feel.
    const auto currentYear = [] { return DatePart(ToDateValue(Now())).year(); };
    int year = 0;
    int day = 0;
    if (month) {
        // "Feb 3, 2006", "3 Feb 2006", "2006 Feb 3", "Feb 2006", "Feb 3".
        if (numbers.isEmpty() || numbers.size() > 2)
            return std::nullopt;
        if (numbers.size() == 1) {
            const QString& n = numbers[0];
            if (n.size() >= 3 || n.toInt() > 31) {
                year = expandYear(n);
                day = 1;
            } else {
                day = n.toInt();
                year = currentYear();
            }
        } else if (numbers[0].size() >= 3 || (monthPosition == 1 && numbers[0].toInt() > 31)) {
            year = expandYear(numbers[0]);
            day = numbers[1].toInt();
        } else {
            day = numbers[0].toInt();
            year = expandYear(numbers[1]);
        }
    } else if (numbers.size() == 3) {
        const DateOrder order = numbers[0].size() >= 3 ? DateOrder::YearFirst : NumericDateOrder(locale);
        if (order == DateOrder::YearFirst) {
            year = expandYear(numbers[0]);
            month = numbers[1].toInt();
            day = numbers[2].toInt();
        } else {
            const int first = numbers[0].toInt();
            const int second = numbers[1].toInt();
            month = order == DateOrder::MonthFirst ? first : second;
            day = order == DateOrder::MonthFirst ? second : first;
            year = expandYear(numbers[2]);
        }
    } else if (numbers.size() == 2) {
        const int first = numbers[0].toInt();
        const int second = numbers[1].toInt();
        if (numbers[1].size() >= 3 || second > 31) { // month and year: "9/2006"
            month = first;
            year = expandYear(numbers[1]);
            day = 1;
        } else if (numbers[0].size() >= 3) { // year and month: "2006/9"
            year = expandYear(numbers[0]);
            month = second;
            day = 1;
        } else {
            const bool dayFirst = NumericDateOrder(locale) == DateOrder::DayFirst;
            month = dayFirst ? second : first;
            day = dayFirst ? first : second;
            year = currentYear();
        }
    } else {
        return std::nullopt;
    }
    const QDate date(year, month, day);
    if (!date.isValid() || year < 100 || year > 9999)
        return std::nullopt;
    return date;
}

} // namespace

DateOrder NumericDateOrder(const QLocale& locale)
{
    // Every list row and search text asks this: remember the answer for the
    // locale asked last (comparing locales is cheap, reading their formats is not).
    thread_local QLocale lastLocale = QLocale::c();
    thread_local DateOrder lastOrder = DateOrder::MonthFirst;
    if (!(locale == lastLocale)) {
        lastOrder = orderOf(locale);
        lastLocale = locale;
    }
    return lastOrder;
}

QString NumericDatePattern(const QLocale& locale)
{
    switch (NumericDateOrder(locale)) {
    case DateOrder::DayFirst: return QStringLiteral("dd/mm/yyyy");
    case DateOrder::YearFirst: return QStringLiteral("yyyy/mm/dd");
    case DateOrder::MonthFirst: break;
    }
    return QStringLiteral("mm/dd/yyyy");
}

QString FormatNumericDate(DateValue value) { return FormatDateValue(value, NumericDatePattern()); }

std::optional<ParsedDateTime> ParseDateTime(const QString& text, const QLocale& locale)
{
    QList<Token> tokens = tokenize(text.trimmed());
    if (tokens.isEmpty())
        return std::nullopt;
    std::optional<QTime> time;
    if (!extractTime(tokens, time))
        return std::nullopt;
    while (!tokens.isEmpty() && tokens.last().kind == Token::Separator)
        tokens.removeLast();
    while (!tokens.isEmpty() && tokens.first().kind == Token::Separator)
        tokens.removeFirst();
    if (tokens.isEmpty()) {
        if (!time)
            return std::nullopt;
        return ParsedDateTime{ToDateValue(QDate(1899, 12, 30), *time), false};
    }
    const std::optional<QDate> date = dateFromTokens(tokens, locale);
    if (!date)
        return std::nullopt;
    return ParsedDateTime{ToDateValue(*date, time.value_or(QTime(0, 0))), true};
}

std::optional<DateValue> ParseDateValue(const QString& text, const QLocale& locale)
{
    const std::optional<ParsedDateTime> parsed = ParseDateTime(text, locale);
    return parsed ? std::optional<DateValue>(parsed->value) : std::nullopt;
}
