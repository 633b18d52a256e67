// Long texts (help topics) through the recording printer: the heading and its
// options, the word wrap, the page breaks and the page numbers from page 2.
#include "Doubles.h"
#include "print/PrintLongText.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QTest>
#include <QWidget>

namespace {

// n numbered lines joined by CR LF.
QString numberedLines(int n)
{
    QStringList lines;
    for (int i = 1; i <= n; ++i)
        lines << QStringLiteral("text line %1").arg(i);
    return lines.join(QStringLiteral("\r\n"));
}

QStringList textLines(const RecordingPrinter& p, int page)
{
    QStringList out;
    for (const QString& line : p.lines(page))
        if (line.startsWith("text line"))
            out << line;
    return out;
}

} // namespace

class tst_LongText : public QObject {
    Q_OBJECT
private slots:
    void onePageHeadingWithoutPageNumber();
    void pagesNumberedFromTheSecond();
    void headingOnEveryPageAndCentred();
    void wrapsAtTheRightEdge();
    void ownerWindowDuringAndAfter();
};

void tst_LongText::onePageHeadingWithoutPageNumber()
{
    RecordingPrinter p;
    p.beginDocument(QString());
    PrintLongTextPages(p, numberedLines(3), "Sennet, Help Section: Overview", true, false, false);
    QCOMPARE(p.pages, 1);
    QCOMPARE(p.lines(), QStringList({"Sennet, Help Section: Overview", "text line 1", "text line 2", "text line 3"}));
    const RecordingPrinter::Item& heading = p.items.first();
    QCOMPARE(heading.x, 1.0);
    QCOMPARE(heading.y, 1.0);
    QVERIFY(heading.font.underline);
    // The text starts at 1.5 inches, not underlined.
    const RecordingPrinter::Item first = p.itemsStartingWith("t").first(); // a copy: the list is a temporary
    QCOMPARE(first.y, 1.5);
    QCOMPARE(first.x, 1.0);
    QVERIFY(!first.font.underline);
    QVERIFY(!p.font().underline);
}

void tst_LongText::pagesNumberedFromTheSecond()
{
    // From 1.5 inches at 1/6 inch a line, line 44 ends its page (it leaves the
    // position past 8.8 inches); later pages start at 1 inch and take 47.
    RecordingPrinter p;
    p.beginDocument(QString());
    PrintLongTextPages(p, numberedLines(100), "Heading", false, false, false);
    QCOMPARE(p.pages, 3);
    QCOMPARE(textLines(p, 1).size(), 44);
    QCOMPARE(textLines(p, 2).first(), "text line 45");
    QCOMPARE(textLines(p, 1).size() + textLines(p, 2).size() + textLines(p, 3).size(), 100);
    QVERIFY(!p.lines(1).contains("(page 1)"));
    QCOMPARE(p.lines(1).first(), "Heading");
    QVERIFY(!p.lines(2).contains("Heading"));
    for (int page = 2; page <= 3; ++page) {
        const QList<RecordingPrinter::Item> numbers = p.itemsStartingWith(QStringLiteral("(page %1)").arg(page));
        QCOMPARE(numbers.size(), 1);
        QCOMPARE(numbers.first().page, page);
        QCOMPARE(numbers.first().x, 6.0);
        QCOMPARE(numbers.first().y, 9.2);
    }
    QCOMPARE(p.itemsStartingWith("(page").size(), 2);
    // Page 2 starts at 1 inch.
    for (const RecordingPrinter::Item& i : p.items)
        if (i.page == 2) {
            QCOMPARE(i.y, 1.0);
            break;
        }
}

void tst_LongText::headingOnEveryPageAndCentred()
{
    RecordingPrinter p;
    p.beginDocument(QString());
    const QString heading = "Centred"; // 7 characters: 7/12 inch wide
    PrintLongTextPages(p, numberedLines(60), heading, false, true, true);
    QCOMPARE(p.pages, 2);
    const QList<RecordingPrinter::Item> headings = p.itemsStartingWith(heading);
    QCOMPARE(headings.size(), 2);
    for (const RecordingPrinter::Item& h : headings) {
        QVERIFY(qAbs(h.x - (4.25 - 7.0 / 24.0)) < 1e-9);
        QCOMPARE(h.y, 1.0);
        QVERIFY(!h.font.underline);
    }
    QCOMPARE(p.lineY("text line 45", 2), 1.5);

    // An empty heading prints nothing and the text starts at 1 inch.
    RecordingPrinter q;
    q.beginDocument(QString());
    PrintLongTextPages(q, "abc", QString(), true, true, true);
    QCOMPARE(q.lines(), QStringList({"abc"}));
    QCOMPARE(q.items.first().y, 1.0);
}

void tst_LongText::wrapsAtTheRightEdge()
{
    RecordingPrinter p;
    p.beginDocument(QString());
    PrintLongTextPages(p, QString(70, u'a') + " tail " + QString(100, u'b'), QString(), false, false, false);
    QCOMPARE(p.lines(), QStringList({QString(70, u'a') + " ", "tail " + QString(85 - 5, u'b'), QString(20, u'b')}));
}

void tst_LongText::ownerWindowDuringAndAfter()
{
    QWidget owner;
    QPushButton button(QStringLiteral("Other"), &owner);
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&clicks] { ++clicks; });
    owner.show();
    RecordingPrinter p;
    ScriptedMessages msgs;
    p.duringPrint = [&] {
        QTest::mouseClick(&button, Qt::LeftButton); // the owner takes no click while it prints
        QVERIFY(clicks == 0 && !owner.isEnabled());
        QVERIFY(QGuiApplication::overrideCursor());
    };
    PrintLongText(&owner, "topic", "Heading", true, false, false);
    QVERIFY(p.ended);
    QCOMPARE(p.title, "Heading");
    QVERIFY(owner.isEnabled());
    QVERIFY(!QGuiApplication::overrideCursor());

    p.failure = "The printer reported an error.";
    msgs.expect("The printout could not be finished.\r\n\r\nThe printer reported an error.", "Sennet",
                Msg::OKOnly | Msg::Critical, Msg::OK);
    PrintLongText(&owner, "topic", "Heading", true, false, false);
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QVERIFY(owner.isEnabled());
    QVERIFY(!QGuiApplication::overrideCursor());
}

QTEST_MAIN(tst_LongText)
#include "tst_longtext.moc"
