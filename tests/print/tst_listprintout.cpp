// The printed list through the recording printer: the question with its page
// estimate, header and column headings on every page, the columns, the cut
// location, the page breaks; and the list button of the main window.
#include "../workspace/MainWindowFixture.h"
#include "print/ListPrintout.h"
#include "widgets/VellButton.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QTest>

namespace {

const QDateTime PrintedOn(QDate(2006, 7, 4), QTime(14, 5, 30));
const QString Caption = " All Entries (3 citations in this list) ";
constexpr double Column = 1.0 / 12.0; // one print column of the recording printer

QList<ListPrintRow> rows(int count)
{
    QList<ListPrintRow> out;
    for (int i = 1; i <= count; ++i)
        out.append({QStringLiteral("07/%1/2006").arg(i % 28 + 1, 2, 10, QChar(u'0')), QStringLiteral("C-%1").arg(i),
                    QStringLiteral("46.2-862"), QStringLiteral("Rt %1 NB / MM 12").arg(i)});
    return out;
}

QString question(const QString& estimate)
{
    return "This printjob will take\r\n" + estimate + "\r\n\r\nAre you ready to print?";
}

// The header line of a page, under US settings.
QString header(int page)
{
    return QStringLiteral("Sennet List -- %1 -- Page %2, 07/04/2006 2:05:30\u0020PM").arg(Caption).arg(page);
}

// A printed row as the recording printer reads it back: the cells at 1 inch
// and print columns 31, 48 and 73 (18, 35 and 60 columns right of 1 inch).
QString row(const QString& date, const QString& number, const QString& code, const QString& location)
{
    return date.leftJustified(18) + number.leftJustified(17) + code.leftJustified(25) + location;
}
const QString Headings = row("Date", "Citation#", "Offense Code", "Location");

} // namespace

class tst_ListPrintout : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void pageEstimate();
    void headerDateTimeByLocale();
    void onePageColumnsAndCut();
    void locationStopsAtTheRightMargin();
    void pagesRepeatTheHeaderAndEndWithoutAnEmptyPage();
    void listButtonFromTheWindow();
};

void tst_ListPrintout::pageEstimate()
{
    // The grid's heading row counts: 50 rows (49 citations) fit one page.
    QCOMPARE(ListPrintQuestion(1), question("about one page to print."));
    QCOMPARE(ListPrintQuestion(50), question("about one page to print."));
    QCOMPARE(ListPrintQuestion(51), question("about 2 pages."));
    QCOMPARE(ListPrintQuestion(100), question("about 2 pages."));
    QCOMPARE(ListPrintQuestion(101), question("about 3 pages."));
}

void tst_ListPrintout::headerDateTimeByLocale()
{
    // The date as the citation sheet prints it (four-digit year, in the
    // order of the regional settings), the long time without a time zone.
    const QList<QPair<QLocale, QString>> cases{
        {QLocale(QLocale::English, QLocale::UnitedStates), QStringLiteral("07/04/2006 2:05:30\u0020PM")},
        {QLocale(QLocale::English, QLocale::UnitedKingdom), QStringLiteral("04/07/2006 14:05:30")},
        {QLocale(QLocale::German, QLocale::Germany), QStringLiteral("04/07/2006 14:05:30")}};
    for (const auto& [locale, expected] : cases) {
        QLocale::setDefault(locale);
        QCOMPARE(ListHeaderDateTime(PrintedOn), expected);
        RecordingPrinter p;
        p.beginDocument(QString());
        PrintListPages(p, rows(1), Caption, PrintedOn);
        QVERIFY2(p.lines().value(0).endsWith(", " + expected), qPrintable(p.lines().value(0)));
    }
}

void tst_ListPrintout::onePageColumnsAndCut()
{
    QList<ListPrintRow> list = rows(2);
    const QString location53 = QString(50, u'L') + "END";
    list[1][3] = location53 + "-cut off";
    RecordingPrinter p;
    p.paperWidth = 14; // room for all 53 characters
    p.beginDocument(QString());
    PrintListPages(p, list, Caption, PrintedOn);

    QCOMPARE(p.pages, 1);
    QCOMPARE(p.lines(), QStringList({header(1), Headings, row(list[0][0], "C-1", "46.2-862", "Rt 1 NB / MM 12"),
                                     row(list[1][0], "C-2", "46.2-862", location53)}));
    // The header at 1 inch from the top and left, a blank line under it, the
    // headings underlined, the columns at 1 inch and print columns 31, 48, 73.
    const RecordingPrinter::Item& head = p.items[0];
    QCOMPARE(head.x, 1.0);
    QCOMPARE(head.y, 1.0);
    const QList<double> starts = {1.0, 30 * Column, 47 * Column, 72 * Column};
    for (int line = 0; line < 3; ++line)
        for (int c = 0; c < 4; ++c) {
            const RecordingPrinter::Item& item = p.items[1 + line * 4 + c];
            QVERIFY(qAbs(item.x - starts[c]) < 1e-9);
            QVERIFY(qAbs(item.y - (1.0 + (line + 2) / 6.0)) < 1e-9);
            QCOMPARE(item.font.underline, line == 0);
        }
}

void tst_ListPrintout::locationStopsAtTheRightMargin()
{
    // The location starts at 6 inches; it may reach the paper's width less
    // half an inch: 24 characters of 1/12 inch on Letter, 21 on A4. The 53
    // characters of the field bound it on wider paper.
    const QString location = QString(50, u'L') + "END-cut off";
    const QList<QPair<double, int>> cases{{8.5, 24}, {8.27, 21}, {14.0, 53}};
    for (const auto& [paper, kept] : cases) {
        RecordingPrinter p;
        p.paperWidth = paper;
        p.beginDocument(QString());
        PrintListPages(p, {{"07/04/2006", "C-1", "46.2-862", location}}, Caption, PrintedOn);
        QCOMPARE(p.lines().value(2), row("07/04/2006", "C-1", "46.2-862", location.left(kept)));
        for (const RecordingPrinter::Item& item : p.items)
            QVERIFY2(item.x + p.textWidth(item.text) <= paper - 0.5 + 1e-9 || item.y < 1.4, qPrintable(item.text));
    }
}

void tst_ListPrintout::pagesRepeatTheHeaderAndEndWithoutAnEmptyPage()
{
    // A page holds the rows whose line ends above 9 inches: from 1.5 inches
    // (under the header, its blank line and the headings) at 1/6 inch a line,
    // rows 1..45 end at 9 inches or above, and row 46 ends below: a page
    // takes 46 rows.
    RecordingPrinter p;
    p.beginDocument(QString());
    PrintListPages(p, rows(92), Caption, PrintedOn);
    QCOMPARE(p.pages, 2); // row 92 ends page 2 without opening a third one
    for (int page = 1; page <= 2; ++page) {
        const QStringList lines = p.lines(page);
        QCOMPARE(lines.size(), 48);
        QCOMPARE(lines[0], header(page));
        QCOMPARE(lines[1], Headings);
        QVERIFY(lines[2].contains(QStringLiteral("C-%1").arg(46 * (page - 1) + 1)));
    }

    RecordingPrinter q;
    q.beginDocument(QString());
    PrintListPages(q, rows(93), Caption, PrintedOn);
    QCOMPARE(q.pages, 3);
    QCOMPARE(q.lines(3), QStringList({header(3), Headings, row(rows(93)[92][0], "C-93", "46.2-862", "Rt 93 NB / MM 12")}));

    // An empty list prints nothing, not even a header.
    RecordingPrinter e;
    e.beginDocument(QString());
    PrintListPages(e, {}, Caption, PrintedOn);
    QVERIFY(e.items.isEmpty());
    QCOMPARE(e.pages, 1);
}

void tst_ListPrintout::listButtonFromTheWindow()
{
    MainWindowFixture f;
    f.write({citation("C-2", QDate(2006, 3, 5)), citation("C-1", QDate(2005, 12, 1)),
             citation("C-3", QDate(2006, 7, 4))});
    frmMain& w = f.open();
    RecordingPrinter p;
    p.duringPrint = [&] {
        QTest::mouseClick(w.cmdAddEntry, Qt::LeftButton); // taken by no one while it prints
        QVERIFY(!w.Adding && !w.isEnabled());
    };

    // No and Cancel print nothing.
    f.msgs.expect(question("about one page to print."), "Print List", Msg::YesNoCancel | Msg::Question, Msg::No)
        .expect(question("about one page to print."), "Print List", Msg::YesNoCancel | Msg::Question, Msg::Cancel);
    QTest::mouseClick(w.cmdPrintList, Qt::LeftButton);
    QTest::mouseClick(w.cmdPrintList, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(p.documents, 0);

    // Yes prints the grid as shown: its caption, its order.
    f.msgs.expect(question("about one page to print."), "Print List", Msg::YesNoCancel | Msg::Question, Msg::Yes);
    QTest::mouseClick(w.cmdPrintList, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(p.ended);
    const QStringList lines = p.lines();
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[0], header(1));
    QCOMPARE(lines[2], row("12/01/2005", "C-1", "46.2-862", "Rt 1 NB / MM 12"));
    QCOMPARE(lines[4], row("07/04/2006", "C-3", "46.2-862", "Rt 1 NB / MM 12"));
    QVERIFY(w.isEnabled());
    QVERIFY(!QGuiApplication::overrideCursor());
}

QTEST_MAIN(tst_ListPrintout)
#include "tst_listprintout.moc"
