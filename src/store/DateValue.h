#pragma once
// The date-time value of the data files: a count of days since 30 December
// 1899, the fraction being the time of day. 0 stands for "empty" in the
// optional date and time fields.
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>

using DateValue = double;

// Whether a value stands for a day from 1 January 100 to 31 December 9999.
// Others (only a damaged file holds them) have no date or time: their parts
// are invalid and they format as empty text.
bool IsInDateRange(DateValue value);
DateValue ToDateValue(const QDate& date, const QTime& time = QTime(0, 0));
DateValue ToDateValue(const QDateTime& moment);
QDate DatePart(DateValue value);
// DatePart's day as yyyymmdd, 0 for a value out of range: the same day,
// worked out without a calendar object, for a list of a million rows.
quint32 DayNumber(DateValue value);
QTime TimePart(DateValue value); // to the nearest second (stored values carry rounding noise)
QDateTime ToDateTime(DateValue value);

// Formats a value with the patterns the program uses: "mm/dd/yyyy",
// "h:nnam/pm", "hh:nn:ss", "yyyymmdd", "yyyy/mm", "dddd", and their mixtures
// such as "mm/dd/yyyy hh:mmam/pm ". Letters mean: yyyy/yy year, mm/m month
// (minutes right after an hour), dd/d day, dddd/ddd weekday name, hh/h hour
// (12-hour with am/pm), nn/n minutes, ss/s seconds, am/pm or AM/PM.
// Anything else is copied as it stands.
QString FormatDateValue(DateValue value, const QString& pattern);

// The order in which numeric dates are shown and read: the locale's, month
// first under US settings or none (the C locale). Every place that shows a
// date as numbers (list, editor, search text, user list, log view) and the
// reading of typed dates follow it, so what is shown reads back the same.
// The locale is always the program's default QLocale() (QLocale::setDefault,
// else the system's), unless a caller passes one.
enum class DateOrder { MonthFirst, DayFirst, YearFirst };
DateOrder NumericDateOrder(const QLocale& locale = QLocale());
// "mm/dd/yyyy", "dd/mm/yyyy" or "yyyy/mm/dd" for FormatDateValue.
QString NumericDatePattern(const QLocale& locale = QLocale());
// A value's date in the numeric order, always 10 characters for years 1000-9999.
QString FormatNumericDate(DateValue value);

// Recognises a typed date, time, or date and time the way the regional
// settings (the locale) decide: numeric dates in the numeric order above
// with "/", "-" or "." between the parts, month names and abbreviations
// ("Feb 3 2006", "3 February 2006"), years first when written with four
// digits ("2006-02-03"), one- and two-digit years 00-29 as 20xx and 30-99 as
// 19xx, a missing year as the current one, and times such as "9:05am",
// "9:05 PM", "21:05", "9:05:30" or "9pm". Impossible dates ("2/30/2006"),
// three-digit years and years before 100 are refused.
// A time alone gives a value below 1 (no date part).
struct ParsedDateTime {
    DateValue value;
    bool hasDate; // a date was typed (else the value is a time of day alone)
};
std::optional<ParsedDateTime> ParseDateTime(const QString& text, const QLocale& locale = QLocale());
std::optional<DateValue> ParseDateValue(const QString& text, const QLocale& locale = QLocale());
inline bool IsDate(const QString& text) { return ParseDateValue(text).has_value(); }
