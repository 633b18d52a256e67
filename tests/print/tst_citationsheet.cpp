// The sheet of one citation through the recording printer, line by line, and
// the print button of the main window: its questions, the window's state
// while printing, and what the user sees when printing fails.
#include "../workspace/MainWindowFixture.h"
#include "print/CitationSheet.h"
#include "widgets/VellButton.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QTest>

namespace {

const QDateTime PrintedOn(QDate(2006, 7, 4), QTime(14, 5, 30));
constexpr double Line = 1.0 / 6.0; // the recording printer's line height at 10 point

// Every field 1..47 filled with "F<n>", every check box ticked.
EditorValues filled()
{
    EditorValues v;
    for (int n = 1; n <= 47; ++n)
        v[n] = QStringLiteral("F%1").arg(n);
    for (int c = 0; c < int(CheckBox::Count); ++c)
        v[CheckBox(c)] = true;
    return v;
}

// Only the citation number: the least the sheet is printed with.
EditorValues numberOnly()
{
    EditorValues v;
    v[2] = QStringLiteral("C-77");
    return v;
}

// The lines of page 1 after the header (the first two lines).
QStringList body(const RecordingPrinter& p) { return p.lines().mid(2); }

QStringList print(const EditorValues& v, bool withNotes = false, RecordingPrinter* keep = nullptr)
{
    RecordingPrinter local;
    RecordingPrinter& p = keep ? *keep : local;
    p.beginDocument(QString());
    PrintCitationSheet(p, v, withNotes, PrintedOn);
    return body(p);
}

const QStringList ConditionsAndDisposition = {
    QStringLiteral(" Weather : Clear    Traffic : Light    Road : Dry    Type : Concrete    Lighting : Daylight"),
    QStringLiteral("On-scene disposition: Released on Recognizance"),
};

} // namespace

class tst_CitationSheet : public QObject {
    Q_OBJECT
private slots:
    void fullCitationInBodyOrder();
    void headerUnderEveryLocale();
    void sharedLinesWithEmptyFields();
    void additionalLinesWithoutTheirFields();
    void checkBoxesAndOptionFallbacks();
    void notesWrapAndLineBreaks();
    void longNotesGoOntoANewPage();
    void printButtonAsksThenPrints();
    void printButtonStopsAtCancelOrNo();
    void printFailureIsToldAndWindowRecovers();
};

void tst_CitationSheet::fullCitationInBodyOrder()
{
    RecordingPrinter p;
    const QStringList lines = print(filled(), false, &p);
    const QStringList expected = {
        "NCIC Number: F1   Citation Number: F2   ",
        "Offense Date: F3   Offense Time: F4   ",
        "Issuing Officer: F5   Officer ID Number: F6   ",
        "Date Entered: F7   Time Entered: F8   ",
        "Entered by: F9   Reviewed by: F10   ",
        "Defendant Name (L, F M): F11",
        "Address: F12",
        "City/State/Zip: F13",
        "DOB: F14   R/S: F15   Ht.: F16   Wt.: F17   Hair: F18   Eyes: F19   ",
        "Operator License #: F20   State: F21   Class/Type: F22   Expiration Date: F23   ",
        "Commercial Vehicle: Yes",
        "Year: F24   Make: F25   Model: F26   Style: F27   Color: F28   ",
        "License Tag #: F29   State: F30   Type: F31   ",
        "Code Section: F32   Description: F33   (Local Vio.)",
        "Accident Involved: Yes   Commercial Veh. Violation: Yes   HAZMAT Violation: Yes",
        "Speeding: Yes, measured by Other means",
        "Measured Speed: F34   Posted Speed: F35   ",
        "Impaired Driving: Yes, tested using Other",
        "Test Results: F36",
        "County / Parish / Territory / District: F37",
        "City / Township / Village: F38",
        "Occurred on: F39 / F40",
        ConditionsAndDisposition[0],
        ConditionsAndDisposition[1],
        "Court Date: F41   Court Time: F42   Name of Court: F43   ",
        "Plead: F44   Found: F45   ",
        "Sentence: F46",
        "Court Comments: F47",
    };
    QCOMPARE(lines, expected);

    // Every line at 1 inch, one printer line apart, the body after one blank
    // line under the two header lines; Arial 10 without underline throughout.
    QCOMPARE(p.items.size(), expected.size() + 2);
    for (int i = 0; i < p.items.size(); ++i) {
        const RecordingPrinter::Item& item = p.items[i];
        QCOMPARE(item.x, 1.0);
        const double y = 1.0 + (i < 2 ? i : i + 1) * Line;
        QVERIFY2(qAbs(item.y - y) < 1e-9, qPrintable(item.text));
        QCOMPARE(item.font.name, QStringLiteral("Arial"));
        QCOMPARE(item.font.size, 10.0);
        QVERIFY(!item.font.underline && !item.font.bold && !item.font.italic);
    }
    QCOMPARE(p.pages, 1);
    // The sheet ends with two blank lines and nothing more without notes.
    QVERIFY(qAbs(p.currentY() - (p.items.last().y + 3 * Line)) < 1e-9);
}

void tst_CitationSheet::headerUnderEveryLocale()
{
    // The moment of printing shows its date in the order the screen shows
    // dates (the regional settings'), its time in 24 hours.
    const QList<QPair<QLocale, QString>> cases{
        {QLocale(QLocale::English, QLocale::UnitedStates), "printed on 07/04/2006 14:05"},
        {QLocale(QLocale::English, QLocale::UnitedKingdom), "printed on 04/07/2006 14:05"},
        {QLocale(QLocale::German, QLocale::Germany), "printed on 04/07/2006 14:05"}};
    for (const auto& [locale, printedOn] : cases) {
        QLocale::setDefault(locale);
        RecordingPrinter p;
        p.beginDocument(QString());
        PrintCitationSheet(p, numberOnly(), false, PrintedOn);
        QCOMPARE(p.lines().mid(0, 2),
                 QStringList({"Printout of  Citation Number C-77", printedOn}));
        QCOMPARE(p.items[0].y, 1.0);
        QCOMPARE(p.items[0].x, 1.0);
    }
    QLocale::setDefault(QLocale::c());
}

void tst_CitationSheet::sharedLinesWithEmptyFields()
{
    // A shared line whose first field is empty falls apart into lines of
    // their own for the filled fields, without trailing blanks; a shared line
    // whose first field is filled prints its empty items too.
    EditorValues v;
    v[2] = "C-77";
    v[20] = "D123";
    v[22] = "A";
    v[40] = "MM 12";
    v[45] = "Guilty";
    QStringList lines = print(v);
    QCOMPARE(lines.mid(0, 3), QStringList({"Citation Number: C-77", "Operator License #: D123   State:    Class/Type: A   Expiration Date:    ",
                                           "Commercial Vehicle: No"}));
    QVERIFY(lines.contains("at (Intersection) or (Distance/direction from MM or other reference point): MM 12"));
    QVERIFY(lines.contains("Found: Guilty"));

    // Field 20 empty: 21, 22 and 23 each on their own line, then the
    // commercial-vehicle line.
    v[20].clear();
    v[21] = "VA";
    v[23] = "01/31/2009";
    lines = print(v);
    QCOMPARE(lines.mid(0, 5), QStringList({"Citation Number: C-77", "State: VA", "Class/Type: A",
                                           "Expiration Date: 01/31/2009", "Commercial Vehicle: No"}));
}

void tst_CitationSheet::additionalLinesWithoutTheirFields()
{
    // Fields 20-23, 32-33, 34-35 and 39-40 all empty: the lines that follow
    // them still print, in their places.
    const QStringList lines = print(numberOnly());
    QCOMPARE(lines, QStringList({"Citation Number: C-77", "Commercial Vehicle: No",
                                 "Accident Involved: No   Commercial Veh. Violation: No   HAZMAT Violation: No",
                                 "Speeding: No", "Impaired Driving: No", ConditionsAndDisposition[0],
                                 ConditionsAndDisposition[1]}));
}

void tst_CitationSheet::checkBoxesAndOptionFallbacks()
{
    EditorValues v = numberOnly();
    v[32] = "46.2-862";
    v[CheckBox::Speeding] = true;
    v[CheckBox::DUI] = true;
    // No choice at all in any group: every group but the test prints its last
    // choice; the test prints nothing after ", tested using ".
    for (int g = 0; g < int(OptionGroup::Count); ++g)
        v[OptionGroup(g)] = 0;
    QStringList lines = print(v);
    QVERIFY(lines.contains("Code Section: 46.2-862   Description:    (Local Vio.)"));
    QVERIFY(lines.contains("Speeding: Yes, measured by Other means"));
    QVERIFY(lines.contains("Impaired Driving: Yes, tested using "));
    QVERIFY(lines.contains(" Weather : Other    Traffic : Heavy    Road : Other    Type : Other    Lighting : Dark"));
    QVERIFY(lines.contains("On-scene disposition: Detained for Hearing"));

    // Earlier choices print as selected; " means" belongs to "Other" only.
    v[OptionGroup::StateLocal] = 1;
    v[OptionGroup::Speeding] = 2;
    v[OptionGroup::Test] = 2;
    v[OptionGroup::Weather] = 3;
    v[OptionGroup::Traffic] = 2;
    v[OptionGroup::RoadDry] = 2;
    v[OptionGroup::RoadType] = 3;
    v[OptionGroup::Lighting] = 2;
    v[OptionGroup::SceneDisposition] = 2;
    lines = print(v);
    QVERIFY(lines.contains("Code Section: 46.2-862   Description:    (State Vio.)"));
    QVERIFY(lines.contains("Speeding: Yes, measured by Laser"));
    QVERIFY(lines.contains("Impaired Driving: Yes, tested using Breath"));
    QVERIFY(lines.contains(" Weather : Rain    Traffic : Med.    Road : Wet    Type : Rock/Dirt    Lighting : Dawn/Dusk"));
    QVERIFY(lines.contains("On-scene disposition: Released, License Held"));
}

void tst_CitationSheet::notesWrapAndLineBreaks()
{
    // At 1/12 inch a character, a line from 1 inch passes 6.5 inches with its
    // 67th character and 8 inches with its 85th.
    EditorValues v = numberOnly();
    const QString word60 = QString(60, u'a');
    v[48] = word60 + " bbbbbb cc" + CRLF + CRLF + "short" + CRLF + QString(100, u'x');
    RecordingPrinter p;
    print(v, true, &p);
    const QStringList lines = p.lines();
    const int heading = int(lines.indexOf("Notes on this citation..."));
    QVERIFY(heading > 0);
    const RecordingPrinter::Item headingItem = p.itemsStartingWith("Notes on this").first();
    QVERIFY(headingItem.font.underline);
    QCOMPARE(headingItem.x, 1.0);
    // Two blank lines before the heading, one after it.
    const auto at = [&](const QString& line) { return p.lineY(line); };
    QVERIFY(qAbs(headingItem.y - (at(ConditionsAndDisposition[1]) + 3 * Line)) < 1e-3);
    QVERIFY(qAbs(at(word60 + " bbbbbb ") - (headingItem.y + 2 * Line)) < 1e-3);

    QCOMPARE(lines.mid(heading + 1),
             QStringList({word60 + " bbbbbb ", "cc", "short", QString(85, u'x'), QString(15, u'x')}));
    // The empty line of the doubled CR LF is kept as a gap; notes characters
    // print without underline, from 1 inch.
    QVERIFY(qAbs(at("short") - (at("cc") + 2 * Line)) < 1e-3);
    for (const RecordingPrinter::Item& item : p.items)
        if (item.y > headingItem.y) {
            QVERIFY(!item.font.underline);
            QVERIFY(item.x >= 1.0 && item.x < 8.0 + 1e-9);
        }
}

void tst_CitationSheet::longNotesGoOntoANewPage()
{
    // Notes of many short lines run past the foot of the page. The sheet
    // never starts a page itself: it asks for every line at 1 inch, in order,
    // and the printer carries what falls below its printable area (checked on
    // a real PDF in tst_pdfoutput).
    EditorValues v = numberOnly();
    QStringList noteLines;
    for (int i = 1; i <= 60; ++i)
        noteLines << QStringLiteral("line %1").arg(i);
    v[48] = noteLines.join(CRLF);
    RecordingPrinter p;
    print(v, true, &p);
    QVERIFY(!p.operationNames().contains("newPage"));
    QStringList printed;
    for (const QString& line : p.lines())
        if (line.contains("line "))
            printed << line;
    QCOMPARE(printed, noteLines); // each read from 1 inch, nothing out of place
    QVERIFY(p.lineY("line 60") > 11.0); // asked below the paper: the printer's to carry
}

void tst_CitationSheet::printButtonAsksThenPrints()
{
    MainWindowFixture f;
    CitationBytes3000 r = citation("C-77", QDate(2006, 7, 4));
    r.text("Notes", "seen at the scene").int16("Speeding", 1);
    f.write({r});
    frmMain& w = f.open();
    // A grey check box prints "No"; the sheet shows the window, not the file.
    w.chkSpeeding->setCheckState(Qt::PartiallyChecked);

    RecordingPrinter p;
    int checks = 0;
    p.duringPrint = [&] {
        ++checks;
        // The window takes no click while it prints.
        QTest::mouseClick(w.cmdAddEntry, Qt::LeftButton);
        QVERIFY(!w.Adding && !w.isEnabled());
        QVERIFY(QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor);
    };
    const QString title = "Citation Number C-77";
    f.msgs.expect("Print the 'Notes' section also?", title, Msg::YesNoCancel | Msg::Question, Msg::Yes)
        .expect("Ready to Print.\r\n\r\nProceed?", title, Msg::YesNo | Msg::Question, Msg::Yes);
    QTest::mouseClick(w.cmdPrintEntry, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(p.begun && p.ended && checks > 2);
    QCOMPARE(p.lines().first(), "Printout of  " + title);
    QVERIFY(p.lines().contains("Speeding: No"));
    QCOMPARE(p.lines().last(), "seen at the scene");
    QVERIFY(w.isEnabled());
    QVERIFY(!QGuiApplication::overrideCursor());

    // No notes: no notes question, and the sheet ends before the notes.
    p.items.clear();
    w.txtField[48].setText(QString());
    f.msgs.expect("Ready to Print.\r\n\r\nProceed?", title, Msg::YesNo | Msg::Question, Msg::Yes);
    QTest::mouseClick(w.cmdPrintEntry, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(p.documents, 2);
    QVERIFY(!p.lines().contains("Notes on this citation..."));
}

void tst_CitationSheet::printButtonStopsAtCancelOrNo()
{
    MainWindowFixture f;
    CitationBytes3000 r = citation("C-77", QDate(2006, 7, 4));
    r.text("Notes", "n");
    f.write({r});
    frmMain& w = f.open();
    RecordingPrinter p;
    const QString title = "Citation Number C-77";
    f.msgs.expect("Print the 'Notes' section also?", title, Msg::YesNoCancel | Msg::Question, Msg::Cancel);
    QTest::mouseClick(w.cmdPrintEntry, Qt::LeftButton);
    f.msgs.expect("Print the 'Notes' section also?", title, Msg::YesNoCancel | Msg::Question, Msg::No)
        .expect("Ready to Print.\r\n\r\nProceed?", title, Msg::YesNo | Msg::Question, Msg::No);
    QTest::mouseClick(w.cmdPrintEntry, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(p.documents, 0);
    QVERIFY(w.isEnabled());
    QVERIFY(!QGuiApplication::overrideCursor());
}

void tst_CitationSheet::printFailureIsToldAndWindowRecovers()
{
    MainWindowFixture f;
    f.write({citation("C-77", QDate(2006, 7, 4))});
    frmMain& w = f.open();
    RecordingPrinter p;
    const QString title = "Citation Number C-77";
    const QString ready = "Ready to Print.\r\n\r\nProceed?";

    // The printer fails at the end of the job.
    p.failure = "The printer reported an error; the printout may be incomplete.";
    f.msgs.expect(ready, title, Msg::YesNo | Msg::Question, Msg::Yes)
        .expect("The printout could not be finished.\r\n\r\n" + p.failure, "Sennet", Msg::OKOnly | Msg::Critical,
                Msg::OK, [&] {
                    QVERIFY(w.isEnabled());
                    QVERIFY(!QGuiApplication::overrideCursor());
                });
    QTest::mouseClick(w.cmdPrintEntry, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));

    // The output cannot be prepared (a PDF file that cannot be written).
    p.refuseToBegin = true;
    p.failure = "The PDF file \"/x.pdf\" could not be written.";
    f.msgs.expect(ready, title, Msg::YesNo | Msg::Question, Msg::Yes)
        .expect("The printout could not be finished.\r\n\r\n" + p.failure, "Sennet", Msg::OKOnly | Msg::Critical,
                Msg::OK);
    QTest::mouseClick(w.cmdPrintEntry, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));

    // The user cancels the choice of output: nothing to tell.
    p.failure.clear();
    f.msgs.expect(ready, title, Msg::YesNo | Msg::Question, Msg::Yes);
    QTest::mouseClick(w.cmdPrintEntry, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(w.isEnabled());
    QVERIFY(!QGuiApplication::overrideCursor());
}

QTEST_MAIN(tst_CitationSheet)
#include "tst_citationsheet.moc"
