// The real printer seam writing PDF files: a citation sheet with notes and a
// three-page list, read back with pdftotext (skipped when poppler-utils is
// missing), each named in a message once saved; a PDF file that cannot be
// written, told as a failure; and a disk that fails under a PDF, which
// leaves an earlier file of that name as it was.
// With SENNET_PDF_DIR set the PDFs are kept there for a look.
#include "Doubles.h"
#include "FaultInjection.h"
#include "platform/SaveFileDialog.h"
#include "print/CitationSheet.h"
#include "print/ListPrintout.h"

#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Word {
    double xMin, yMin, xMax;
    QString text;
};

// The words of one page with their boxes in points, from pdftotext -bbox.
QList<Word> wordsOf(const QString& pdf, int page)
{
    QProcess run;
    run.start("pdftotext", {"-bbox", "-f", QString::number(page), "-l", QString::number(page), pdf, "-"});
    run.waitForFinished(30000);
    const QString html = QString::fromUtf8(run.readAllStandardOutput());
    static const QRegularExpression word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>)re");
    QList<Word> out;
    for (auto m = word.globalMatch(html); m.hasNext();) {
        const auto w = m.next();
        out.append({w.captured(1).toDouble(), w.captured(2).toDouble(), w.captured(3).toDouble(), w.captured(4)});
    }
    return out;
}

QString pdfInfo(const QString& pdf)
{
    QProcess run;
    run.start("pdfinfo", {pdf});
    run.waitForFinished(30000);
    return QString::fromUtf8(run.readAllStandardOutput());
}

// The paper's width in points.
double paperWidth(const QString& pdf)
{
    const auto m = QRegularExpression(R"(Page size:\s+([\d.]+) x)").match(pdfInfo(pdf));
    return m.hasMatch() ? m.captured(1).toDouble() : 0;
}

int pageCount(const QString& pdf)
{
    const auto m = QRegularExpression(R"(Pages:\s+(\d+))").match(pdfInfo(pdf));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

const Word* find(const QList<Word>& words, const QString& text)
{
    for (const Word& w : words)
        if (w.text == text)
            return &w;
    return nullptr;
}

} // namespace

class tst_PdfOutput : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void citationSheetWithNotes();
    void threePageList();
    void notesCarriedOntoPage2KeepTheirPlace();
    void capitalLocationsStayOnThePaper();
    void unwritableFileIsAFailure();
    void failingDiskKeepsEarlierFile_data();
    void failingDiskKeepsEarlierFile();

private:
    QString outputFile(const QString& name) const
    {
        const QString keep = qEnvironmentVariable("SENNET_PDF_DIR");
        return QDir(keep.isEmpty() ? m_dir.path() : keep).filePath(name);
    }
    QTemporaryDir m_dir;
    bool m_tools = false;
};

void tst_PdfOutput::initTestCase()
{
    m_tools = !QStandardPaths::findExecutable("pdftotext").isEmpty()
              && !QStandardPaths::findExecutable("pdfinfo").isEmpty();
}

void tst_PdfOutput::citationSheetWithNotes()
{
    ScriptedMessages msgs;
    ScriptedPrintOutput output;
    output.pdfFile = outputFile("citation.pdf");
    EditorValues v;
    v[2] = "C-77";
    v[3] = "07/04/2006";
    v[11] = "DOE, JOHN";
    v[39] = "Rt 1 NB";
    v[40] = "MM 12";
    v[48] = QString("The driver was stopped after a long pursuit along the county road and asked to step out "
                    "of the vehicle. ")
                .repeated(3)
            + "\r\nSecond paragraph: Supercalifragilisticexpialidociousandmorewordswithoutanyblankatallhere end";
    msgs.expect("Print the 'Notes' section also?", "Citation Number C-77", Msg::YesNoCancel | Msg::Question, Msg::Yes)
        .expect("Ready to Print.\r\n\r\nProceed?", "Citation Number C-77", Msg::YesNo | Msg::Question, Msg::Yes)
        .expect("The printout was saved as\r\n\r\n" + QDir::toNativeSeparators(output.pdfFile),
                "Citation Number C-77", Msg::OKOnly | Msg::Information, Msg::OK);
    PrintCitation(nullptr, v);
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QVERIFY(QFile::exists(output.pdfFile));
    QVERIFY(!QGuiApplication::overrideCursor());
    if (!m_tools)
        QSKIP("pdftotext and pdfinfo (poppler-utils) are not installed");

    QCOMPARE(pageCount(output.pdfFile), 1);
    const QList<Word> words = wordsOf(output.pdfFile, 1);
    const Word* printout = find(words, "Printout");
    QVERIFY(printout);
    // 1 inch from the left; the first line's top close under 1 inch.
    QVERIFY2(qAbs(printout->xMin - 72) < 2, qPrintable(QString::number(printout->xMin)));
    QVERIFY(printout->yMin > 72 - 4 && printout->yMin < 72 + 6);
    QVERIFY(find(words, "DOE,"));
    QVERIFY(find(words, "Notes"));
    // Nothing runs past the 8-inch wrap limit (plus one character).
    for (const Word& w : words)
        QVERIFY2(w.xMax < 8 * 72 + 10, qPrintable(w.text));
    // The long word was broken, the paragraph break kept: "Second" starts a line at 1 inch.
    const Word* second = find(words, "Second");
    QVERIFY(second);
    QVERIFY(qAbs(second->xMin - 72) < 2);
}

void tst_PdfOutput::threePageList()
{
    ScriptedMessages msgs;
    ScriptedPrintOutput output;
    output.pdfFile = outputFile("list.pdf");
    QList<ListPrintRow> rows;
    for (int i = 1; i <= 100; ++i)
        rows.append({QStringLiteral("07/04/2006"), QStringLiteral("C-%1").arg(i), QStringLiteral("46.2-862"),
                     QStringLiteral("Route %1 northbound / at the intersection with the old mill road, 2 miles north").arg(i)});
    msgs.expect("This printjob will take\r\nabout 3 pages.\r\n\r\nAre you ready to print?", "Print List",
                Msg::YesNoCancel | Msg::Question, Msg::Yes)
        .expect("The printout was saved as\r\n\r\n" + QDir::toNativeSeparators(output.pdfFile), "Sennet List",
                Msg::OKOnly | Msg::Information, Msg::OK);
    PrintCitationList(nullptr, rows, " All Entries (100 citations in this list) ");
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QVERIFY(QFile::exists(output.pdfFile));
    QVERIFY(!QFile::exists(output.pdfFile + ".part"));
    // The next save dialog starts where this file went.
    QCOMPARE(SaveFolder(), QFileInfo(output.pdfFile).absolutePath());
    if (!m_tools)
        QSKIP("pdftotext and pdfinfo (poppler-utils) are not installed");

    QCOMPARE(pageCount(output.pdfFile), 3);
    for (int page = 1; page <= 3; ++page) {
        const QList<Word> words = wordsOf(output.pdfFile, page);
        const Word* number = nullptr;
        for (qsizetype i = 0; i + 1 < words.size(); ++i)
            if (words[i].text == "Page" && words[i + 1].text == QStringLiteral("%1,").arg(page))
                number = &words[i];
        QVERIFY2(number, qPrintable(QString::number(page)));
        const Word* date = find(words, "Date");
        const Word* citation = find(words, "Citation#");
        const Word* location = find(words, "Location");
        QVERIFY(date && citation && location);
        QVERIFY(qAbs(date->xMin - 72) < 2);
        QVERIFY(citation->xMin > date->xMax && location->xMin > citation->xMax);
        // Rows stay on the paper: nothing below 9.5 inches, nothing within a
        // quarter inch of the right edge (A4 or Letter, as the locale has it).
        const double right = paperWidth(output.pdfFile) - 18;
        QVERIFY(right > 500);
        for (const Word& w : words) {
            QVERIFY2(w.yMin < 9.5 * 72, qPrintable(w.text));
            QVERIFY2(w.xMax < right, qPrintable(w.text));
        }
    }
    // The location is cut at 53 characters: row 1 ends with "... the old".
    const QList<Word> first = wordsOf(output.pdfFile, 1);
    QVERIFY(find(first, "old"));
    QVERIFY(!find(first, "mill"));
}

void tst_PdfOutput::notesCarriedOntoPage2KeepTheirPlace()
{
    // Notes that run past page 1 go on at the top of page 2, at 1 inch from
    // the left like the lines above them, their words whole.
    ScriptedMessages msgs;
    ScriptedPrintOutput output;
    output.pdfFile = outputFile("carried-notes.pdf");
    EditorValues v;
    v[2] = "C-78";
    QStringList notes;
    for (int i = 1; i <= 70; ++i)
        notes << QStringLiteral("Extra line %1").arg(i);
    v[48] = notes.join("\r\n");
    msgs.expect("Print the 'Notes' section also?", "Citation Number C-78", Msg::YesNoCancel | Msg::Question, Msg::Yes)
        .expect("Ready to Print.\r\n\r\nProceed?", "Citation Number C-78", Msg::YesNo | Msg::Question, Msg::Yes)
        .expect("The printout was saved as\r\n\r\n" + QDir::toNativeSeparators(output.pdfFile),
                "Citation Number C-78", Msg::OKOnly | Msg::Information, Msg::OK);
    PrintCitation(nullptr, v);
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    if (!m_tools)
        QSKIP("pdftotext and pdfinfo (poppler-utils) are not installed");

    QCOMPARE(pageCount(output.pdfFile), 2);
    const QList<Word> words = wordsOf(output.pdfFile, 2);
    QVERIFY(!words.isEmpty());
    int extras = 0;
    for (const Word& w : words) {
        QVERIFY2(w.xMin > 72 - 1, qPrintable(QStringLiteral("%1 at %2 pt").arg(w.text).arg(w.xMin)));
        QVERIFY2(w.text == "Extra" || w.text == "line" || w.text.toInt() > 0, qPrintable(w.text));
        extras += w.text == "Extra";
    }
    QVERIFY(extras > 0);
    QVERIFY(find(words, "70"));
    QVERIFY(find(words, "Extra")->yMin < 72 + 6); // from the top margin
}

void tst_PdfOutput::capitalLocationsStayOnThePaper()
{
    // Locations of capitals at the field's full width, on Letter (US
    // settings) and on A4 (British): cut where the paper's margin begins,
    // not half a word past its edge.
    const QString location = "US ROUTE 460 BUSINESS EASTBOUND AT INTERSECTION WITH MAIN STREET";
    const QList<QPair<QLocale, double>> cases{{QLocale(QLocale::English, QLocale::UnitedStates), 612},
                                              {QLocale(QLocale::English, QLocale::UnitedKingdom), 595}};
    for (const auto& [locale, width] : cases) {
        QLocale::setDefault(locale);
        ScriptedMessages msgs;
        ScriptedPrintOutput output;
        output.pdfFile = outputFile(QStringLiteral("capitals-%1.pdf").arg(locale.name()));
        QList<ListPrintRow> rows;
        for (int i = 1; i <= 5; ++i)
            rows.append({QStringLiteral("12/31/2026"), QStringLiteral("WX-%1").arg(99990 + i), QStringLiteral("46.2-852.B"),
                         location});
        msgs.expect("This printjob will take\r\nabout one page to print.\r\n\r\nAre you ready to print?", "Print List",
                    Msg::YesNoCancel | Msg::Question, Msg::Yes)
            .expect("The printout was saved as\r\n\r\n" + QDir::toNativeSeparators(output.pdfFile), "Sennet List",
                    Msg::OKOnly | Msg::Information, Msg::OK);
        PrintCitationList(nullptr, rows, " All Entries (5 citations in this list) ");
        QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
        if (!m_tools)
            QSKIP("pdftotext and pdfinfo (poppler-utils) are not installed");
        QVERIFY2(qAbs(paperWidth(output.pdfFile) - width) < 1, qPrintable(locale.name()));
        const QList<Word> words = wordsOf(output.pdfFile, 1);
        for (const Word& w : words)
            QVERIFY2(w.xMax <= width - 36 + 0.5, qPrintable(QStringLiteral("%1 ends at %2 pt").arg(w.text).arg(w.xMax)));
        QVERIFY(find(words, "EASTBOUND")); // cut, yet most of it kept
    }
}

void tst_PdfOutput::unwritableFileIsAFailure()
{
    ScriptedMessages msgs;
    ScriptedPrintOutput output;
    output.pdfFile = m_dir.filePath("no-such-folder/list.pdf");
    msgs.expect("This printjob will take\r\nabout one page to print.\r\n\r\nAre you ready to print?", "Print List",
                Msg::YesNoCancel | Msg::Question, Msg::Yes)
        .expect("The printout could not be finished.\r\n\r\nThe PDF file \"" + QDir::toNativeSeparators(output.pdfFile)
                    + "\" could not be written.",
                "Sennet", Msg::OKOnly | Msg::Critical, Msg::OK);
    PrintCitationList(nullptr, {{"07/04/2006", "C-1", "46.2-862", "Rt 1"}}, " All Entries (1 citation in this list) ");
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QVERIFY(!QGuiApplication::overrideCursor());

    // Cancelling the choice of file prints nothing and tells nothing.
    output.pdfFile.clear();
    msgs.expect("This printjob will take\r\nabout one page to print.\r\n\r\nAre you ready to print?", "Print List",
                Msg::YesNoCancel | Msg::Question, Msg::Yes);
    PrintCitationList(nullptr, {{"07/04/2006", "C-1", "46.2-862", "Rt 1"}}, " All Entries (1 citation in this list) ");
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
}

void tst_PdfOutput::failingDiskKeepsEarlierFile_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("reason");
    QTest::newRow("disk full part way") << 0 << "No space left on device";
    QTest::newRow("disk full at once") << 1 << "No space left on device";
    QTest::newRow("flush fails") << 2 << "Input/output error";
    QTest::newRow("rename fails") << 3 << "Input/output error";
}

void tst_PdfOutput::failingDiskKeepsEarlierFile()
{
    QFETCH(int, fault);
    QFETCH(QString, reason);
    ScriptedMessages msgs;
    ScriptedPrintOutput output;
    output.pdfFile = m_dir.filePath("kept.pdf");
    QByteArray earlier = "%PDF-1.4 an earlier good printout\n";
    earlier += QByteArray(5000, 'x');
    {
        QFile f(output.pdfFile);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(earlier);
    }
    QList<ListPrintRow> rows;
    for (int i = 1; i <= 200; ++i)
        rows.append({"07/04/2006", QStringLiteral("C-%1").arg(i), "46.2-862", "Rt 1"});

    InjectedFaults faults;
    faults.onlyFile("kept.pdf.part");
    switch (fault) {
    case 0: faults.diskFullAfter(3000); break;
    case 1: faults.diskFullAfter(0); break;
    case 2: faults.failNextSync(); break;
    case 3: faults.onlyFile("kept.pdf").failNextRename(); break;
    }
    msgs.expect("This printjob will take\r\nabout 5 pages.\r\n\r\nAre you ready to print?", "Print List",
                Msg::YesNoCancel | Msg::Question, Msg::Yes);
    PrintCitationList(nullptr, rows, " All Entries (200 citations in this list) ");
    QVERIFY(faults.fired());
    QCOMPARE(msgs.shown.size(), 2);
    const QString told = msgs.shown.last();
    QVERIFY2(told.startsWith("Sennet: The printout could not be finished."), qPrintable(told));
    QVERIFY2(told.contains(QDir::toNativeSeparators(output.pdfFile)) && told.contains(reason), qPrintable(told));
    QFile kept(output.pdfFile);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), earlier);
    QVERIFY(!QFile::exists(output.pdfFile + ".part"));
}

QTEST_MAIN(tst_PdfOutput)
#include "tst_pdfoutput.moc"
