// Date-time values: conversions, the program's formats, and the recognition
// of typed dates and times under different regional settings.
#include "Doubles.h"
#include "store/DateValue.h"

#include <QTest>

class tst_DateValue : public QObject {
    Q_OBJECT
private slots:
    void conversions();
    void formats();
    void recognisesUnderMonthFirstSettings();
    void recognisesUnderDayFirstSettings();
    void recognisesTimes();
    void refusesWhatIsNotADateOrTime();
    void yearsNeedFourDigitsOrTheWindow();
    void numericOrderIsTheDefaultLocales();
    void clockMomentsAreCutToTheSecond();
};

void tst_DateValue::conversions()
{
    QCOMPARE(ToDateValue(QDate(1899, 12, 30)), 0.0);
    QCOMPARE(ToDateValue(QDate(2006, 7, 4)), 38902.0);
    QCOMPARE(ToDateValue(QDate(2006, 7, 4), QTime(18, 0)), 38902.75);
    QCOMPARE(DatePart(38902.75), QDate(2006, 7, 4));
    QCOMPARE(TimePart(38902.75), QTime(18, 0));
    // Before the epoch the fraction is still the time of day.
    QCOMPARE(ToDateValue(QDate(1899, 12, 29), QTime(6, 0)), -1.25);
    QCOMPARE(DatePart(-1.25), QDate(1899, 12, 29));
    QCOMPARE(TimePart(-1.25), QTime(6, 0));
    // Rounding to the second never produces 24:00.
    QCOMPARE(TimePart(0.9999999), QTime(0, 0));
    QCOMPARE(DatePart(0.9999999), QDate(1899, 12, 31));
    // Before the epoch a time rounded up to midnight is the next day too.
    QCOMPARE(DatePart(-1.9999999), QDate(1899, 12, 30));
    QCOMPARE(DatePart(-0.9999999), QDate(1899, 12, 31));
    QCOMPARE(DatePart(-2.9999999), QDate(1899, 12, 29));
    QCOMPARE(TimePart(-2.9999999), QTime(0, 0));
    const DateValue longAgo = ToDateValue(QDate(1850, 6, 1), QTime(23, 59, 59));
    QCOMPARE(FormatDateValue(longAgo, "mm/dd/yyyy hh:nn:ss"), QStringLiteral("06/01/1850 23:59:59"));

    // The list's day numbers are DatePart's days over the whole range, leap
    // days and centuries included, with times and the rounding at midnight.
    const auto dayOf = [](DateValue v) {
        const QDate d = DatePart(v);
        return d.isValid() ? quint32(d.year() * 10000 + d.month() * 100 + d.day()) : 0u;
    };
    for (double v = -657434.0; v < 2958466.0; v += 13.0)
        for (double time : {0.0, 0.5, 0.9999999})
            for (double value : {v + time, v - time})
                if (DayNumber(value) != dayOf(value))
                    QFAIL(qPrintable(QString::number(value, 'f', 7)));
    for (double value : {-657435.0, 2958466.0, qQNaN(), qInf(), -657434.5, 2958465.9999999, 59.0, 60.0, 61.0})
        QCOMPARE(DayNumber(value), dayOf(value));
}

void tst_DateValue::formats()
{
    const DateValue v = ToDateValue(QDate(2026, 3, 7), QTime(14, 5, 9));
    QCOMPARE(FormatDateValue(v, "mm/dd/yyyy"), QStringLiteral("03/07/2026"));
    QCOMPARE(FormatDateValue(v, "h:nnam/pm"), QStringLiteral("2:05pm"));
    QCOMPARE(FormatDateValue(v, "hh:nn:ss"), QStringLiteral("14:05:09"));
    QCOMPARE(FormatDateValue(v, "yyyymmdd"), QStringLiteral("20260307"));
    QCOMPARE(FormatDateValue(v, "yyyy/mm"), QStringLiteral("2026/03"));
    QCOMPARE(FormatDateValue(v, "mm/dd/yyyy hh:mmam/pm "), QStringLiteral("03/07/2026 02:05pm "));
    QCOMPARE(FormatDateValue(ToDateValue(QDate(2006, 7, 4)), " dddd "), QStringLiteral(" Tuesday "));
    QCOMPARE(FormatDateValue(ToDateValue(QDate(2006, 7, 4)), " DDDD "), QStringLiteral(" Tuesday "));
    QCOMPARE(FormatDateValue(ToDateValue(QDate(1899, 12, 30), QTime(9, 5)), "h:nnam/pm"), QStringLiteral("9:05am"));
    QCOMPARE(FormatDateValue(0.0, "h:nnam/pm"), QStringLiteral("12:00am"));
    QCOMPARE(FormatDateValue(ToDateValue(QDate(1899, 12, 30), QTime(12, 30)), "h:nnam/pm"), QStringLiteral("12:30pm"));
}

namespace {
QDate dateOf(const QString& text, const QLocale& locale)
{
    const auto v = ParseDateValue(text, locale);
    return v ? DatePart(*v) : QDate();
}
} // namespace

void tst_DateValue::recognisesUnderMonthFirstSettings()
{
    FixedClock clock(QDateTime(QDate(2026, 12, 7), QTime(10, 0)));
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    QCOMPARE(dateOf("2/3/2006", us), QDate(2006, 2, 3));
    QCOMPARE(dateOf("2-3-06", us), QDate(2006, 2, 3));
    QCOMPARE(dateOf("2.3.2006", us), QDate(2006, 2, 3));
    QCOMPARE(dateOf("Feb 3, 2006", us), QDate(2006, 2, 3));
    QCOMPARE(dateOf("February 3 2006", us), QDate(2006, 2, 3));
    QCOMPARE(dateOf("3 Feb 2006", us), QDate(2006, 2, 3));
    QCOMPARE(dateOf("Tuesday, July 4, 2006", us), QDate(2006, 7, 4));
    QCOMPARE(dateOf("2006-02-03", us), QDate(2006, 2, 3));
    QCOMPARE(dateOf("2/3", us), QDate(2026, 2, 3)); // the current year
    QCOMPARE(dateOf("1/1/29", us), QDate(2029, 1, 1));
    QCOMPARE(dateOf("1/1/30", us), QDate(1930, 1, 1));
    QCOMPARE(dateOf("12/31/99", us), QDate(1999, 12, 31));
    QCOMPARE(dateOf("1/1/00", us), QDate(2000, 1, 1));
    const auto withTime = ParseDateValue("7/4/2006 6:00 PM", us);
    QVERIFY(withTime);
    QCOMPARE(*withTime, 38902.75);
    // The C locale (no regional settings) reads month first too.
    QCOMPARE(dateOf("2/3/2006", QLocale::c()), QDate(2006, 2, 3));
}

void tst_DateValue::recognisesUnderDayFirstSettings()
{
    const QLocale gb(QLocale::English, QLocale::UnitedKingdom);
    const QLocale de(QLocale::German, QLocale::Germany);
    QCOMPARE(dateOf("3/2/2006", gb), QDate(2006, 2, 3));
    QCOMPARE(dateOf("3-2-06", gb), QDate(2006, 2, 3));
    QCOMPARE(dateOf("3.2.2006", de), QDate(2006, 2, 3));
    QCOMPARE(dateOf("Feb 3, 2006", gb), QDate(2006, 2, 3));
    QCOMPARE(dateOf("3. Februar 2006", de), QDate(2006, 2, 3));
    QVERIFY(!ParseDateValue("2/30/2006", gb)); // month 30
    QVERIFY(!ParseDateValue("30/2/2006", gb)); // 30 February
}

void tst_DateValue::recognisesTimes()
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const auto time = [&](const char* text) {
        const auto v = ParseDateValue(QString::fromLatin1(text), us);
        return v ? TimePart(*v) : QTime();
    };
    QCOMPARE(time("9:05am"), QTime(9, 5));
    QCOMPARE(time("9:05 PM"), QTime(21, 5));
    QCOMPARE(time("21:05"), QTime(21, 5));
    QCOMPARE(time("9:05:30"), QTime(9, 5, 30));
    QCOMPARE(time("9pm"), QTime(21, 0));
    QCOMPARE(time("12:00am"), QTime(0, 0));
    QCOMPARE(time("12:15p"), QTime(12, 15));
    // A time alone carries no date.
    QVERIFY(*ParseDateValue("9:05am", us) < 1.0);
    QCOMPARE(*ParseDateValue("12:00am", us), 0.0);
}

void tst_DateValue::refusesWhatIsNotADateOrTime()
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    for (const char* bad : {"2/30/2006", "13/1/2006", "0/1/2006", "abc", "2006", "25:00", "9:60", "13pm", "1/2/3/4",
                            "Feb 30, 2006", "soon", "12:5:1:2", "1/1/2006 x"})
        QVERIFY2(!ParseDateValue(QString::fromLatin1(bad), us), bad);
    QVERIFY(!ParseDateValue(QString(), us));
    QVERIFY(!ParseDateValue("   ", us));
}

void tst_DateValue::yearsNeedFourDigitsOrTheWindow()
{
    FixedClock clock(QDateTime(QDate(2026, 12, 7), QTime(10, 0)));
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    // What the 10-character box leaves of "Feb 3, 2006", and its kin.
    for (const char* cut : {"Feb 3, 200", "2/3/200", "200-2-3", "Feb 200", "3 Feb 200", "9/200", "200/9", "2/3/0099",
                            "2/3/20066"})
        QVERIFY2(!ParseDateValue(QString::fromLatin1(cut), us), cut);
    QCOMPARE(dateOf("2/3/06", us), QDate(2006, 2, 3));
    QCOMPARE(dateOf("2/3/6", us), QDate(2006, 2, 3));
    QCOMPARE(dateOf("Feb 3 06", us), QDate(2006, 2, 3));
    QCOMPARE(dateOf("2/3/1006", us), QDate(1006, 2, 3));
}

void tst_DateValue::numericOrderIsTheDefaultLocales()
{
    const DateValue v = ToDateValue(QDate(2026, 3, 7));
    const struct {
        QLocale locale;
        const char* shown;
    } cases[] = {{QLocale::c(), "03/07/2026"},
                 {QLocale(QLocale::English, QLocale::UnitedStates), "03/07/2026"},
                 {QLocale(QLocale::English, QLocale::UnitedKingdom), "07/03/2026"},
                 {QLocale(QLocale::German, QLocale::Germany), "07/03/2026"},
                 {QLocale(QLocale::Swedish, QLocale::Sweden), "2026/03/07"}};
    for (const auto& c : cases) {
        // Nothing passed: the program's default locale decides, both ways.
        QLocale::setDefault(c.locale);
        QCOMPARE(FormatNumericDate(v), QString::fromLatin1(c.shown));
        QCOMPARE(ParseDateValue(QString::fromLatin1(c.shown)), std::optional<DateValue>(v));
        QCOMPARE(ParseDateValue(QStringLiteral("25/12/1980")).has_value(),
                 NumericDateOrder() == DateOrder::DayFirst);
    }
    QLocale::setDefault(QLocale::c());
}

void tst_DateValue::clockMomentsAreCutToTheSecond()
{
    FixedClock clock(QDateTime(QDate(2026, 3, 7), QTime(23, 59, 59, 700)));
    QCOMPARE(Now(), QDateTime(QDate(2026, 3, 7), QTime(23, 59, 59)));
    QCOMPARE(FormatDateValue(ToDateValue(Now()), "mm/dd/yyyy hh:nn:ss"), QStringLiteral("03/07/2026 23:59:59"));
}

QTEST_GUILESS_MAIN(tst_DateValue)
#include "tst_datevalue.moc"
