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
QTime TimePart(DateValue value); // to the nearest second
QDateTime ToDateTime(DateValue value);

// Formats a value with the patterns the program uses: "mm/dd/yyyy",
// "h:nnam/pm", "hh:nn:ss", "yyyymmdd", "yyyy/mm", "dddd", and their mixtures
// such as "mm/dd/yyyy hh:mmam/pm ". Letters mean: yyyy/yy year, mm/m month
// (minutes right after an hour), dd/d day, dddd/ddd weekday name, hh/h hour
// (12-hour with am/pm), nn/n minutes, ss/s seconds, am/pm or AM/PM.
// Anything else is copied as it stands.
QString FormatDateValue(DateValue value, const QString& pattern);

// Recognises a typed date, time, or date and time the way the regional
// settings (the locale) decide: numeric dates in the locale's day/month order
// with "/", "-" or "." between the parts, month names and abbreviations
// ("Feb 3, 2006", "3 February 2006"), years first when written with four
// digits ("2006-02-03"), two-digit years 00-29 as 20xx and 30-99 as 19xx, a
// missing year as the current one, and times such as "9:05am", "9:05 PM",
// "21:05", "9:05:30" or "9pm". Impossible dates ("2/30/2006") are refused.
// A time alone gives a value below 1 (no date part).
std::optional<DateValue> ParseDateValue(const QString& text, const QLocale& locale = QLocale());
inline bool IsDate(const QString& text) { return ParseDateValue(text).has_value(); }
