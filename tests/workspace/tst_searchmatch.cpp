// The search: which text of a record each scope looks at, how a phrase is
// matched in it, and the fixed date forms the list and the search build.
#include "DataFiles.h"
#include "store/AnsiText.h"
#include "store/DateValue.h"
#include "store/ListDateText.h"
#include "store/SearchMatch.h"

#include <QRandomGenerator>
#include <QTest>
#include <cmath>

class tst_SearchMatch : public QObject {
    Q_OBJECT
private slots:
    void matcher_data();
    void matcher();
    void basicsTextIsExact();
    void scopesHoldTheirFieldsAndNoOthers();
    void emptyDatesReadAsTheEpoch();
    void yearMonthFindsAMonth();
    void fixedDateFormsMatchTheGeneralFormatter();
    void byteSearchEqualsTheSearchedText_data();
    void byteSearchEqualsTheSearchedText();
};

void tst_SearchMatch::matcher_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<bool>("ignoreCase");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<bool>("found");

    QTest::newRow("absent") << " speeding ticket " << "radar" << true << false << false;
    QTest::newRow("ignore case") << " Speeding Ticket " << "TICKET" << true << false << true;
    QTest::newRow("exact case refuses") << " Speeding Ticket " << "ticket" << false << false << false;
    QTest::newRow("exact case finds") << " Speeding Ticket " << "Ticket" << false << false << true;
    QTest::newRow("part of a word") << " concat " << "cat" << true << false << true;
    QTest::newRow("whole: inside a word") << " concat " << "cat" << true << true << false;
    QTest::newRow("whole: standing alone") << " the cat sat " << "cat" << true << true << true;
    QTest::newRow("whole: second occurrence alone") << " concat cat " << "cat" << true << true << true;
    QTest::newRow("whole: only inside words") << " concat cats " << "cat" << true << true << false;
    QTest::newRow("whole: followed by 0") << " 100 mph " << "10" << true << true << false;
    QTest::newRow("whole: preceded by 0") << " 010 " << "10" << true << true << false;
    QTest::newRow("whole: number alone") << " 100 / 10 " << "10" << true << true << true;
    QTest::newRow("whole: accented letter after") << " café " << "caf" << true << true << false;
    QTest::newRow("whole: accented letter before") << " éclair " << "clair" << true << true << false;
    QTest::newRow("whole: accented word alone") << " Müller, Jörg " << "jörg" << true << true << true;
    QTest::newRow("whole: punctuation around") << " (cat), " << "cat" << true << true << true;
    QTest::newRow("whole: at the very edges") << "cat" << "cat" << true << true << true;
    QTest::newRow("whole: case differs, exact") << " Cat cat " << "Cat" << false << true << true;
    QTest::newRow("whole: year prefix") << " 09/14/2006 2006/09 " << "2006/" << true << true << true;
    QTest::newRow("whole: year prefix inside") << " x2006/09 " << "2006/" << true << true << false;
}

void tst_SearchMatch::matcher()
{
    QFETCH(QString, text);
    QFETCH(QString, phrase);
    QFETCH(bool, ignoreCase);
    QFETCH(bool, wholeWord);
    QFETCH(bool, found);
    QCOMPARE(MatchesSearch(text, phrase, ignoreCase, wholeWord), found);
}

namespace {

// One value in every field, each easy to tell apart.
CitationBytes3000 fullCitation()
{
    CitationBytes3000 r;
    r.text("NCICNumber", "VA0430000").text("CitationNumber", " 12345 ")
        .date("OffenseDate", QDate(2006, 9, 14)).date("OffenseTime", OleDate(QDate(1899, 12, 30), QTime(21, 5)))
        .text("IssuingOfficer", "Ofc. Brown").text("OfficerID", "B77")
        .date("DateEntered", QDate(2006, 9, 15), QTime(8, 0)).date("TimeEntered", QDate(2006, 9, 15), QTime(8, 30))
        .text("EnteredBy", "Clerk").text("ReviewedBy", "Sgt. Gray")
        .text("DefendantName", "DOE, JOHN").text("Address", "1 Oak St").text("CityStateZip", "Richmond VA")
        .date("DOB", QDate(1970, 1, 2)).text("RaceSex", "WM").text("Height", "5-10").text("Weight", "180")
        .text("Hair", "BRN").text("Eyes", "BLU").text("LicenseNumber", "T123").text("LicenseState", "VA")
        .text("LicenseClass", "C").date("LicenseExpiration", QDate(2010, 1, 2))
        .text("VehicleYear", "1987").text("Make", "Ford").text("Model", "Taurus").text("Style", "4D")
        .text("Color", "Blue").text("TagNumber", "ABC1").text("TagState", "QX").text("TagType", "PAS")
        .text("CodeSection", "46.2-862").text("Description", "Reckless").text("TestResults", ".08")
        .int16("MeasuredSpeed", 913).int16("PostedSpeed", 27)
        .text("County", "Henrico").text("City", "Glen Allen").text("OccurredOn", "Rt 1").text("OccurredAt", "MM 12")
        .date("CourtDate", QDate(2006, 10, 3)).date("CourtTime", OleDate(QDate(1899, 12, 30), QTime(17, 47)))
        .text("CourtName", "GDC").text("Plead", "Guilty").text("Found", "Guilty").text("Sentence", "Fine")
        .text("CourtComments", "Paid").text("Notes", "Line one\r\nLine two");
    return r;
}

QString searched(const CitationBytes3000& r, int scope) { return SearchedText(r.bytes().constData(), scope); }

} // namespace

void tst_SearchMatch::basicsTextIsExact()
{
    QCOMPARE(searched(fullCitation(), SearchScope::Basics),
             QStringLiteral(" VA0430000 12345 09/14/2006 9:05pm 2006/09 Ofc. Brown B77 09/15/2006 8:30am Clerk Sgt. Gray "));
    QCOMPARE(searched(fullCitation(), SearchScope::Court), QStringLiteral(" 10/03/2006 GDC Guilty Guilty Fine Paid "));
    // An empty field still takes its place between single spaces.
    CitationBytes3000 sparse = fullCitation();
    sparse.text("City", "");
    QCOMPARE(searched(sparse, SearchScope::Location), QStringLiteral(" Henrico  Rt 1 MM 12 "));
}

void tst_SearchMatch::scopesHoldTheirFieldsAndNoOthers()
{
    const CitationBytes3000 r = fullCitation();
    struct Probe {
        const char* text;
        QList<int> scopes; // the scopes 1..8 whose searched text holds it
    };
    const QList<Probe> probes = {
        {"VA0430000", {1, 2}},       {"DOE, JOHN", {1, 2, 3}}, {"01/02/2010", {1, 2, 3}}, {"Taurus", {1, 2, 4}},
        {"Reckless", {1, 2, 5}},     {"Glen Allen", {1, 2, 6}}, {"10/03/2006", {1, 2, 7}},
        {"Line one\r\nLine two", {1, 8}},
        // Never searched: vehicle year, tag state, speeds, court time.
        {"1987", {}},                {"QX", {}},                {"913", {}},              {"27", {}},
        {"5:47pm", {}},
    };
    for (const Probe& p : probes)
        for (int scope = 1; scope <= 8; ++scope)
            QVERIFY2(searched(r, scope).contains(QLatin1String(p.text)) == p.scopes.contains(scope),
                     qPrintable(QStringLiteral("%1 in scope %2").arg(QLatin1String(p.text)).arg(scope)));
    QCOMPARE(searched(r, SearchScope::AllText),
             searched(r, SearchScope::AllExceptNotes).chopped(1) + QStringLiteral(" Line one\r\nLine two "));
}

void tst_SearchMatch::emptyDatesReadAsTheEpoch()
{
    CitationBytes3000 r = fullCitation();
    QVERIFY(!MatchesSearch(searched(r, SearchScope::Defendant), "1899", true, false));
    r.date("DOB", 0.0);
    QVERIFY(MatchesSearch(searched(r, SearchScope::Defendant), "1899", true, false));
    QVERIFY(searched(r, SearchScope::Defendant).contains(" 12/30/1899 "));
    r.date("OffenseTime", 0.0);
    QVERIFY(searched(r, SearchScope::Basics).contains(" 09/14/2006 12:00am 2006/09 "));
}

void tst_SearchMatch::yearMonthFindsAMonth()
{
    const QString text = searched(fullCitation(), SearchScope::AllText);
    QVERIFY(MatchesSearch(text, "2006/09", true, false));
    QVERIFY(MatchesSearch(text, "2006/", true, false));
    QVERIFY(!MatchesSearch(text, "2006/10", true, false)); // court date in October is not the offense month
}

void tst_SearchMatch::fixedDateFormsMatchTheGeneralFormatter()
{
    const QList<double> values = {0.0, 1.0, 0.5, 0.999999999, 0.0417, 38717.5, 38901.3784722, 2958465.99998,
                                  -1.25, 36526.000001, 45000.75, 29221.0416667};
    for (double v : values) {
        QCOMPARE(ListDateText::date(v), FormatDateValue(v, "mm/dd/yyyy"));
        QCOMPARE(ListDateText::time(v), FormatDateValue(v, "h:nnam/pm"));
        QCOMPARE(ListDateText::yearMonth(v), FormatDateValue(v, "yyyy/mm"));
        QCOMPARE(ListDateText::dateKey(v), FormatDateValue(v, "yyyymmdd"));
        QCOMPARE(ListDateText::timeKey(v), FormatDateValue(v, "hhnn"));
    }
    QCOMPARE(ListDateText::timeKey(OleDate(QDate(2006, 1, 1), QTime(13, 7))), QStringLiteral("1307"));
}

void tst_SearchMatch::byteSearchEqualsTheSearchedText_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("US") << QLocale(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("British") << QLocale(QLocale::English, QLocale::UnitedKingdom);
    QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany);
}

// The search on the record bytes against the plain way (the searched text
// as a string, then MatchesSearch) on generated records full of accented
// letters in both cases, for every scope, case choice and whole-word choice.
// Every fourth record has its text fields full to the last byte, so words
// meet across field ends, where the scan of the raw bytes must not see them.
void tst_SearchMatch::byteSearchEqualsTheSearchedText()
{
    QFETCH(QLocale, locale);
    QLocale::setDefault(locale);
    // Windows-1252 words: accents in both cases, the letters outside Latin-1
    // (S and Z with caron, OE, Y with diaeresis), micro sign, sharp s, the
    // euro sign, a byte the code page leaves unused, digits, punctuation.
    static const QByteArray words[] = {"caf\xE9", "CAF\xC9", "M\xDCLLER", "m\xFCller", "\x8Akoda", "\x9Akoda",
                                       "\x8C" "uvre", "\x9C" "uvre", "\x9F", "\xFF", "\xB5g", "stra\xDF" "e",
                                       "\x80" "5", "\x81", "cat", "concat", "10", "100", "2006/", "Rt 1", "na\xEFve",
                                       "(x)", "\r\n", "K", "k", "MM", "", "  "};
    QRandomGenerator rng(42);
    const auto phraseOf = [&](int count) {
        QByteArray out;
        for (int i = 0; i < count; ++i)
            out += (i ? " " : "") + words[rng.bounded(int(std::size(words)))];
        return out;
    };
    QList<QByteArray> records;
    for (int n = 0; n < 120; ++n) {
        CitationBytes3000 r;
        for (const RecordField& field : CitationBytes3000::layout()) {
            if (field.type != 't')
                continue;
            if (n % 4 == 0) {
                // Full width, no spaces: a word runs on into the next field.
                QByteArray full;
                while (full.size() < field.width)
                    full += words[rng.bounded(int(std::size(words)))].trimmed();
                r.text(field.name, full.left(field.width));
            } else {
                r.text(field.name, phraseOf(int(rng.bounded(4))));
            }
        }
        // Dates: none, ordinary ones with times, and values out of range.
        const double dates[] = {0.0, 38974.875, 2958466.0, NAN, -1.5, 25569.0 + rng.bounded(20000) + 0.37};
        for (const char* name :
             {"OffenseDate", "OffenseTime", "DateEntered", "TimeEntered", "DOB", "LicenseExpiration", "CourtDate"})
            r.date(name, dates[rng.bounded(int(std::size(dates)))]);
        records << r.bytes();
    }
    QStringList phrases = {QStringLiteral("café"), QStringLiteral("CAFÉ"), QStringLiteral("müller"),
                           QStringLiteral("ŠKODA"), QStringLiteral("škoda"), QStringLiteral("Œuvre"),
                           QStringLiteral("Ÿ"), QStringLiteral("ÿ"), QStringLiteral("µg"), QStringLiteral("Μg"),
                           QStringLiteral("STRASSE"), QStringLiteral("straße"), QStringLiteral("€5"),
                           QStringLiteral("cat"), QStringLiteral("10"), QStringLiteral("2006/"), QStringLiteral("09/"),
                           QStringLiteral("/2006"), QStringLiteral(":05am"), QStringLiteral("K"),
                           QStringLiteral("\u212A"), QStringLiteral("Rt 1 MM"), QStringLiteral(" "),
                           QStringLiteral("\r\n"), QStringLiteral("x) c"), QStringLiteral("ſ"), QStringLiteral("漢"),
                           QStringLiteral("cat concat"), QStringLiteral("PM"), QStringLiteral("am"),
                           QStringLiteral("2006 cat"), QStringLiteral("K 10"), QStringLiteral("kcat"),
                           QStringLiteral("Tcat"), QStringLiteral("éCAF")};
    for (int i = 0; i < 20; ++i)
        phrases << Ansi::decode(phraseOf(1 + int(rng.bounded(2)))).trimmed();

    int found = 0, compared = 0;
    for (int scope = 0; scope <= SearchScope::Basics; ++scope)
        for (const QString& phrase : phrases)
            for (bool ignoreCase : {true, false})
                for (bool wholeWord : {false, true}) {
                    RecordMatcher matcher(phrase, scope, ignoreCase, wholeWord);
                    for (const QByteArray& record : records) {
                        const QString text = SearchedText(record.constData(), scope);
                        const bool plain = MatchesSearch(text, phrase, ignoreCase, wholeWord);
                        if (matcher.matches(record.constData()) != plain)
                            QFAIL(qPrintable(QStringLiteral("scope %1, phrase \"%2\", ignore case %3, whole words %4: "
                                                            "the byte search differs for \"%5\"")
                                                 .arg(scope)
                                                 .arg(phrase)
                                                 .arg(ignoreCase)
                                                 .arg(wholeWord)
                                                 .arg(text)));
                        found += plain ? 1 : 0;
                        ++compared;
                    }
                }
    // No trivial set: many searches find something, many do not.
    QVERIFY(found > compared / 50 && found < compared - compared / 50);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

QTEST_GUILESS_MAIN(tst_SearchMatch)
#include "tst_searchmatch.moc"
