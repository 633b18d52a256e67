// Dates through the main window end to end, under US, British and German
// settings: what the editor and the list show, what a save stores, and what
// reads back; the dates an add enters by itself.
#include "MainWindowFixture.h"
#include "widgets/VellButton.h"
#include "store/SearchMatch.h"
#include "workspace/Validation.h"

#include <QLineEdit>
#include <QLocale>
#include <QTabWidget>
#include <QTest>

namespace {

// Every date and time field of the editor, by its field name in the file.
struct DateBox {
    int index;
    const char* field;
};
constexpr DateBox DateBoxes[] = {{3, "OffenseDate"}, {14, "DOB"}, {23, "LicenseExpiration"}, {41, "CourtDate"}};

const QDate Offense(2026, 3, 7);
const QDate Birth(1980, 12, 25);
const QDate Expiry(2030, 1, 13);
const QDate Court(2026, 8, 31);
const QDate Entered(2026, 3, 8);
const QTime EnteredAt(9, 30, 15);

// A citation with every date and time field filled; days above 12 in most
// of them, so that a swapped day and month cannot pass unseen.
CitationBytes3000 fullyDated()
{
    CitationBytes3000 r = citation("A-1", Offense, QTime(14, 5));
    r.date("DateEntered", Entered, EnteredAt)
        .date("TimeEntered", Entered, EnteredAt)
        .date("DOB", Birth)
        .date("LicenseExpiration", Expiry)
        .date("CourtDate", Court)
        .date("CourtTime", QDate(1899, 12, 30), QTime(9, 0));
    return r;
}

double storedDate(const char* field, int record = 1)
{
    return CitationBytes3000::readDate(ReadCitations(CitationFileName).at(record - 1), field);
}

void setLocale(const QString& name) { QLocale::setDefault(QLocale(name)); }

void enter(frmMain& w, int index)
{
    w.MainTab->setCurrentIndex(PageOfField(index));
    w.txtField[size_t(index)].widget()->setFocus();
}

// Types into a box key by key, so that its input limit applies.
void type(frmMain& w, int index, const QString& text)
{
    enter(w, index);
    w.txtField[size_t(index)]->setText(QString());
    QTest::keyClicks(w.txtField[size_t(index)].widget(), text);
}

QString dateText(const QDate& d, bool dayFirst)
{
    return d.toString(dayFirst ? QStringLiteral("dd/MM/yyyy") : QStringLiteral("MM/dd/yyyy"));
}

void addLocaleRows()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("dayFirst");
    QTest::newRow("US") << QStringLiteral("en_US") << false;
    QTest::newRow("British") << QStringLiteral("en_GB") << true;
    QTest::newRow("German") << QStringLiteral("de_DE") << true;
}

} // namespace

class tst_DateRoundTrip : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void shownDatesSaveBackUnchanged_data() { addLocaleRows(); }
    void shownDatesSaveBackUnchanged();
    void everyAcceptedFormStoresTheDate_data() { addLocaleRows(); }
    void everyAcceptedFormStoresTheDate();
    void cutOffYearIsRefusedAndShortYearsWindowed_data() { addLocaleRows(); }
    void cutOffYearIsRefusedAndShortYearsWindowed();
    void emptyDateOfAnOlderRecordSavesUntouched();
    void addEntersItsOwnMomentNotARecalledOne();
};

void tst_DateRoundTrip::shownDatesSaveBackUnchanged()
{
    QFETCH(QString, locale);
    QFETCH(bool, dayFirst);
    setLocale(locale);
    MainWindowFixture f;
    const CitationBytes3000 original = fullyDated();
    f.write({original});
    frmMain& w = f.open();

    // One order everywhere the date shows as numbers.
    for (const auto& [index, field] : DateBoxes) {
        const QDate d = DatePart(CitationBytes3000::readDate(original.bytes(), field));
        QCOMPARE(w.txtField[size_t(index)]->text(), dateText(d, dayFirst));
        QVERIFY2(SearchedText(original.bytes().constData(), SearchScope::AllText).contains(u' ' + dateText(d, dayFirst) + u' '),
                 field);
    }
    QCOMPARE(w.txtField[7]->text(), dateText(Entered, dayFirst));
    QCOMPARE(w.listModel->row(0).date, dateText(Offense, dayFirst));

    // Saved untouched, the record comes back byte for byte.
    QTest::mouseClick(w.cmdEditEntry, Qt::LeftButton);
    QTest::mouseClick(w.cmdEditSave, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(!w.Editing);
    QCOMPARE(ReadCitations(CitationFileName).at(0), original.bytes());
    QCOMPARE(w.listModel->row(0).date, dateText(Offense, dayFirst));
}

void tst_DateRoundTrip::everyAcceptedFormStoresTheDate()
{
    QFETCH(QString, locale);
    QFETCH(bool, dayFirst);
    setLocale(locale);
    MainWindowFixture f;
    f.write({fullyDated()});
    frmMain& w = f.open();

    // Each box in turn takes 21 October 2027 in every form a user may type.
    const QDate target(2027, 10, 21);
    const QStringList forms{dateText(target, dayFirst),
                            dayFirst ? QStringLiteral("21-10-27") : QStringLiteral("10-21-27"),
                            dayFirst ? QStringLiteral("21.10.2027") : QStringLiteral("10.21.2027"),
                            QStringLiteral("2027-10-21"), QStringLiteral("Oct 21 27"),
                            QStringLiteral("21 Oct 27"), QStringLiteral("21-Oct-27")};
    for (const auto& [index, field] : DateBoxes) {
        for (const QString& form : forms) {
            QTest::mouseClick(w.cmdEditEntry, Qt::LeftButton);
            type(w, index, form);
            QCOMPARE(w.txtField[size_t(index)]->text(), form);
            QTest::mouseClick(w.cmdEditSave, Qt::LeftButton);
            QVERIFY2(f.msgs.allMet(), qPrintable(form + u' ' + f.msgs.report()));
            QVERIFY2(!w.Editing, qPrintable(form));
            QCOMPARE(storedDate(field), ToDateValue(target));
            QCOMPARE(w.txtField[size_t(index)]->text(), dateText(target, dayFirst));
        }
    }

    // "Date Entered" is typed only while adding.
    QTest::mouseClick(w.cmdAddEntry, Qt::LeftButton);
    type(w, 2, QStringLiteral("B-2"));
    type(w, 3, dateText(Offense, dayFirst));
    type(w, 32, QStringLiteral("46.2-862"));
    type(w, 39, QStringLiteral("Rt 1 NB"));
    type(w, 7, dateText(target, dayFirst));
    QTest::mouseClick(w.cmdAddSave, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(storedDate("DateEntered", 2), ToDateValue(target));
    QCOMPARE(storedDate("OffenseDate", 2), ToDateValue(Offense));
}

void tst_DateRoundTrip::cutOffYearIsRefusedAndShortYearsWindowed()
{
    QFETCH(QString, locale);
    QFETCH(bool, dayFirst);
    setLocale(locale);
    MainWindowFixture f;
    f.write({fullyDated()});
    frmMain& w = f.open();

    // The box keeps 10 characters of "Feb 3, 2006": the year is cut to 200.
    QTest::mouseClick(w.cmdEditEntry, Qt::LeftButton);
    type(w, 3, QStringLiteral("Feb 3, 2006"));
    QCOMPARE(w.txtField[3]->text(), QStringLiteral("Feb 3, 200"));
    f.msgs.expect(ValidationText::DateText(QStringLiteral("Feb 3, 200")), ValidationText::DateCaption,
                  Msg::Critical | Msg::OKOnly, Msg::OK);
    QTest::mouseClick(w.cmdEditSave, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(w.Editing);
    QCOMPARE(w.InvalidField, qint16(3));
    QCOMPARE(storedDate("OffenseDate"), ToDateValue(Offense));

    type(w, 3, dayFirst ? QStringLiteral("3/2/06") : QStringLiteral("2/3/06"));
    QTest::mouseClick(w.cmdEditSave, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(storedDate("OffenseDate"), ToDateValue(QDate(2006, 2, 3)));
}

void tst_DateRoundTrip::emptyDateOfAnOlderRecordSavesUntouched()
{
    MainWindowFixture f;
    CitationBytes3000 older = citation("OLD-1", QDate(1899, 12, 30));
    f.write({older});
    frmMain& w = f.open();
    QCOMPARE(w.txtField[3]->text(), QStringLiteral("12/30/1899"));
    QTest::mouseClick(w.cmdEditEntry, Qt::LeftButton);
    QTest::mouseClick(w.cmdEditSave, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(!w.Editing);
    QCOMPARE(ReadCitations(CitationFileName).at(0), older.bytes());
}

void tst_DateRoundTrip::addEntersItsOwnMomentNotARecalledOne()
{
    MainWindowFixture f;
    f.clock.moment = QDateTime(QDate(2006, 7, 4), QTime(14, 5, 30));
    f.write({citation("A-1", QDate(2006, 1, 5))});
    frmMain& w = f.open();

    const auto addOne = [&](const QString& number) {
        QTest::mouseClick(w.cmdAddEntry, Qt::LeftButton);
        type(w, 2, number);
        type(w, 3, QStringLiteral("7/1/2006"));
        type(w, 32, QStringLiteral("46.2-862"));
        type(w, 39, QStringLiteral("Rt 1 NB"));
        enter(w, 7);
        enter(w, 8);
    };
    addOne(QStringLiteral("B-2"));
    QCOMPARE(w.txtField[7]->text(), QStringLiteral("07/04/2006"));
    QCOMPARE(w.txtField[8]->text(), QStringLiteral("2:05pm"));
    QTest::mouseClick(w.cmdAddSave, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));

    // The next add, a day later: its own date and time, not the first add's.
    f.clock.moment = QDateTime(QDate(2006, 7, 5), QTime(9, 15, 0));
    addOne(QStringLiteral("C-3"));
    QCOMPARE(w.txtField[7]->text(), QStringLiteral("07/05/2006"));
    QCOMPARE(w.txtField[8]->text(), QStringLiteral("9:15am"));
    QTest::mouseClick(w.cmdAddSave, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(DatePart(storedDate("DateEntered", 3)), QDate(2006, 7, 5));
    QCOMPARE(TimePart(storedDate("TimeEntered", 3)), QTime(9, 15));

    // A template add copies the shown citation, but not when it was entered.
    f.clock.moment = QDateTime(QDate(2006, 7, 7), QTime(11, 30, 0));
    w.SelectRow(w.listModel->rowOfRecord(2), false);
    QCOMPARE(w.txtField[7]->text(), QStringLiteral("07/04/2006"));
    QTest::mouseClick(w.cmdAddEntry, Qt::RightButton);
    QVERIFY(w.TemplateMode);
    enter(w, 7);
    enter(w, 8);
    QCOMPARE(w.txtField[7]->text(), QStringLiteral("07/07/2006"));
    QCOMPARE(w.txtField[8]->text(), QStringLiteral("11:30am"));
    QTest::mouseClick(w.cmdAddCancel, Qt::LeftButton);
}

QTEST_MAIN(tst_DateRoundTrip)
#include "tst_dateroundtrip.moc"
