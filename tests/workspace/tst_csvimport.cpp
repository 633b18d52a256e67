// Importing citations from CSV: an exported list comes back unchanged, a
// spreadsheet's file is read under every regional setting, each refusal names
// its field, duplicates are told, hostile files end in a message, and a
// failed import leaves the data file byte for byte as it was. The window's
// Import button is shown to levels 3 and 4 and adds what the user confirms.
#include "../../bench/CitationGenerator.h"
#include "FaultInjection.h"
#include "MainWindowFixture.h"
#include "audit/AuditTrail.h"
#include "platform/OpenFileDialog.h"
#include "store/CitationCsv.h"
#include "widgets/VellButton.h"
#include "workspace/CitationImport.h"
#include "workspace/frmImport.h"

#include <QTest>
#include <QTimer>

namespace {

const QDateTime ImportMoment(QDate(2026, 12, 8), QTime(10, 30));

struct Imported {
    bool ok = false;
    QString error;
    ImportPreview preview;
};

Imported previewFile(const QString& path, const QString& enteredBy = QStringLiteral("Jane Doe"))
{
    Imported r;
    DataFolderImportStore store;
    r.ok = CitationImport::preview(path, store, {ImportMoment, enteredBy}, r.preview, r.error);
    return r;
}

// A header line and rows, joined as a spreadsheet writes them (LF, no mark).
QByteArray csv(const QByteArray& header, const QList<QByteArray>& rows, const QByteArray& end = "\n")
{
    QByteArray out = header + end;
    for (const QByteArray& r : rows)
        out += r + end;
    return out;
}

const QByteArray MinimalHeader = "Citation Number,Offense Date,Code Section,"
                                 "Occurred on (Hwy / Street / Route) (Direction)";

// The export's rows with the columns of the moment of entry left out.
QList<QStringList> withoutEntryMoment(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    CsvTable::Table table;
    QString error;
    if (!CsvTable::parse(f.readAll(), table, error))
        return {{error}};
    const qsizetype date = table.row(0).indexOf(QStringLiteral("Date Entered"));
    const qsizetype time = table.row(0).indexOf(QStringLiteral("Time Entered"));
    QList<QStringList> rows;
    for (qsizetype r = 0; r < table.rowCount(); ++r) {
        rows << table.row(r);
        rows.last()[date].clear();
        rows.last()[time].clear();
    }
    return rows;
}

class ScriptedOpenDialog final : public OpenFileDialog {
public:
    ScriptedOpenDialog() { setOpenFileDialog(this); }
    ~ScriptedOpenDialog() override { setOpenFileDialog(nullptr); }
    QString openFileName(const QString& title, const QString&, const QStringList&) override
    {
        titles << title;
        return path;
    }
    QString path;
    QStringList titles;
};

} // namespace

class tst_CsvImport : public QObject {
    Q_OBJECT
private slots:
    void exportedListComesBackUnchanged_data();
    void exportedListComesBackUnchanged();
    void spreadsheetFileUnderEveryRegionalSetting_data();
    void spreadsheetFileUnderEveryRegionalSetting();
    void rowsRefusedWithFieldAndReason_data();
    void rowsRefusedWithFieldAndReason();
    void duplicateNumbersAreToldAndTickedOnesImported();
    void hostileFilesEndInAMessage_data();
    void hostileFilesEndInAMessage();
    void failedImportLeavesTheDataFileAsItWas_data();
    void failedImportLeavesTheDataFileAsItWas();
    void importButtonOfTheMainWindow();
};

void tst_CsvImport::exportedListComesBackUnchanged_data()
{
    QTest::addColumn<QString>("locale");
    QTest::newRow("US") << "en_US";
    QTest::newRow("British") << "en_GB";
    QTest::newRow("German") << "de_DE";
}

void tst_CsvImport::exportedListComesBackUnchanged()
{
    QFETCH(QString, locale);
    QLocale::setDefault(QLocale(locale));
    TempDataFolder from;
    QVERIFY(bench::writeCitations(CitationFileName, 2000, 11));
    QList<int> all;
    for (int n = 1; n <= 2000; ++n)
        all << n;
    FileError error;
    const QString first = from.file("first.csv"), second = from.file("second.csv");
    QCOMPARE(ExportCitationCsvFile(first, all, CsvColumns::Every, error), 2000);

    TempDataFolder into;
    const Imported r = previewFile(first);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.preview.count(ImportState::Ready), 2000);
    QVERIFY(r.preview.ignoredColumns.isEmpty());
    DataFolderImportStore store;
    QCOMPARE(CitationImport::commit(store, r.preview, {}, ImportMoment, error), 2000);
    QCOMPARE(ExportCitationCsvFile(second, all, CsvColumns::Every, error), 2000);
    QCOMPARE(withoutEntryMoment(second), withoutEntryMoment(first));
    // The moment of entry is the import's.
    const QByteArray record = ReadCitations(CitationFileName).value(1999);
    QCOMPARE(CitationBytes3000::readDate(record, "DateEntered"), OleDate(QDate(2026, 12, 8), QTime(10, 30)));
    QLocale::setDefault(QLocale::c());
}

void tst_CsvImport::spreadsheetFileUnderEveryRegionalSetting_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QByteArray>("date");
    QTest::newRow("US") << "en_US" << QByteArray("02/03/2006");
    QTest::newRow("British") << "en_GB" << QByteArray("03/02/2006");
    QTest::newRow("German") << "de_DE" << QByteArray("03.02.2006");
}

void tst_CsvImport::spreadsheetFileUnderEveryRegionalSetting()
{
    QFETCH(QString, locale);
    QFETCH(QByteArray, date);
    QLocale::setDefault(QLocale(locale));
    TempDataFolder folder;
    // Windows-1252, no byte-order mark, headings in another case, columns
    // of the spreadsheet's own, a note over two lines, CR LF row ends.
    const QByteArray file = csv("Officer Badge Colour,CITATION NUMBER,offense date,Offense Time,Code Section,"
                                "Occurred on (Hwy / Street / Route) (Direction),\"Defendant Name (L, F M)\",Notes,Weather,"
                                "Speeding,Measured Speed,Posted Speed",
                                {"Blue,VA-0001," + date + ",9:05 PM,46.2-862,RT 1 NB,\"M\xdcLLER, J\xd6RG\",\"first\nsecond\","
                                 "rain,Yes,72,55"},
                                "\r\n");
    WriteFile(folder.file("handheld.csv"), file);
    const Imported r = previewFile(folder.file("handheld.csv"));
    QVERIFY2(r.ok, qPrintable(r.error));
    QVERIFY(!r.preview.utf8);
    QCOMPARE(r.preview.ignoredColumns, QStringList{"\"Officer Badge Colour\""});
    QCOMPARE(r.preview.count(ImportState::Ready), 1);
    FileError error;
    DataFolderImportStore store;
    QCOMPARE(CitationImport::commit(store, r.preview, {}, ImportMoment, error), 1);
    const QByteArray rec = ReadCitations(CitationFileName).value(0);
    QCOMPARE(CitationBytes3000::readDate(rec, "OffenseDate"), OleDate(QDate(2006, 2, 3)));
    QCOMPARE(CitationBytes3000::readDate(rec, "OffenseTime"), OleDate(QDate(1899, 12, 30), QTime(21, 5)));
    QCOMPARE(CitationBytes3000::readText(rec, "DefendantName").trimmed(), QByteArray("M\xdcLLER, J\xd6RG"));
    QCOMPARE(CitationBytes3000::readText(rec, "Notes").trimmed(), QByteArray("first\r\nsecond"));
    QCOMPARE(CitationBytes3000::readText(rec, "EnteredBy").trimmed(), QByteArray("Jane Doe"));
    QCOMPARE(CitationBytes3000::readInt16(rec, "Weather"), qint16(3));
    QCOMPARE(CitationBytes3000::readInt16(rec, "Speeding"), qint16(1));
    QCOMPARE(CitationBytes3000::readInt16(rec, "MeasuredSpeed"), qint16(72));
    QCOMPARE(CitationBytes3000::readInt16(rec, "StateOrLocal"), qint16(2)); // missing: as a new citation starts
    QLocale::setDefault(QLocale::c());
}

void tst_CsvImport::rowsRefusedWithFieldAndReason_data()
{
    QTest::addColumn<QByteArray>("extraHeading");
    QTest::addColumn<QByteArray>("row"); // number, date, code, place, extra
    QTest::addColumn<QString>("field");  // empty: the row is ready
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("stored"); // ready: the Description stored

    QTest::newRow("mandatory") << QByteArray("Description") << QByteArray(",2006-02-03,46.2-862,RT 1,x")
                               << "Citation Number" << "The data fields that are indicated by a red label are mandatory entries." << QByteArray();
    QTest::newRow("impossible date") << QByteArray("Description") << QByteArray("A1,2/30/2006,46.2-862,RT 1,x")
                                     << "Offense Date" << "I don't recognize 2/30/2006 as a valid date or time." << QByteArray();
    QTest::newRow("time as a date") << QByteArray("Court Date") << QByteArray("A1,2006-02-03,46.2-862,RT 1,9:05am")
                                    << "Court Date" << "I don't recognize 9:05am as a valid date or time." << QByteArray();
    QTest::newRow("speeding without speed") << QByteArray("Speeding") << QByteArray("A1,2006-02-03,46.2-862,RT 1,Yes")
                                            << "Measured Speed" << "You indicate a Speeding Violation, but you didn't enter a Measured Speed!" << QByteArray();
    QTest::newRow("not storable") << QByteArray("Description") << QByteArray("A1,2006-02-03,46.2-862,RT 1,\xe4\xb8\xad")
                                  << "Description" << "The 'Description' field holds characters that cannot be stored: \xe4\xb8\xad" << QByteArray();
    QTest::newRow("too long") << QByteArray("Citation Number") << QByteArray("A1,2006-02-03,46.2-862,RT 1,x")
                              << "Citation Number (a second time)" << "" << QByteArray();
    QTest::newRow("longer than the field") << QByteArray("Description")
                                           << QByteArray("A1,2006-02-03,46.2-862,RT 1,") + QByteArray(41, 'D')
                                           << "Description" << "The field holds at most 40 characters; the cell has 41." << QByteArray();
    QTest::newRow("line break") << QByteArray("Description") << QByteArray("A1,2006-02-03,46.2-862,RT 1,\"a\nb\"")
                                << "Description" << "The field has one line; the cell holds a line break." << QByteArray();
    QTest::newRow("check box") << QByteArray("Accident Involved") << QByteArray("A1,2006-02-03,46.2-862,RT 1,maybe")
                               << "Accident Involved" << "'maybe' is not Yes or No." << QByteArray();
    QTest::newRow("option") << QByteArray("Weather") << QByteArray("A1,2006-02-03,46.2-862,RT 1,Sunny")
                            << "Weather" << "'Sunny' is not one of Clear, Cloudy, Rain, Other." << QByteArray();
    QTest::newRow("formula stays text") << QByteArray("Description")
                                        << QByteArray("A1,2006-02-03,46.2-862,RT 1,=1+2") << "" << "" << QByteArray("=1+2");
    QTest::newRow("export's apostrophe goes") << QByteArray("Description")
                                              << QByteArray("A1,2006-02-03,46.2-862,RT 1,'=HYPERLINK(\"x\")")
                                              << "" << "" << QByteArray("=HYPERLINK(\"x\")");
}

void tst_CsvImport::rowsRefusedWithFieldAndReason()
{
    QFETCH(QByteArray, extraHeading);
    QFETCH(QByteArray, row);
    QFETCH(QString, field);
    QFETCH(QString, message);
    QFETCH(QByteArray, stored);
    TempDataFolder folder;
    WriteFile(folder.file("in.csv"), csv(MinimalHeader + ',' + extraHeading, {row}));
    const Imported r = previewFile(folder.file("in.csv"));
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.preview.rows.size(), 1);
    const ImportRow& got = r.preview.rows.first();
    QCOMPARE(got.line, 2);
    if (field.endsWith(QStringLiteral("(a second time)"))) {
        QCOMPARE(r.preview.ignoredColumns, QStringList{"\"" + field.replace(" (a second time)", "\" (a second time)")});
        QCOMPARE(got.state, ImportState::Ready);
        return;
    }
    if (!field.isEmpty()) {
        QCOMPARE(got.state, ImportState::Refused);
        QCOMPARE(got.field, field);
        QCOMPARE(got.message, message);
        return;
    }
    QCOMPARE(got.state, ImportState::Ready);
    FileError error;
    DataFolderImportStore store;
    QCOMPARE(CitationImport::commit(store, r.preview, {}, ImportMoment, error), 1);
    QCOMPARE(CitationBytes3000::readText(ReadCitations(CitationFileName).value(0), "Description").trimmed(), stored);
}

void tst_CsvImport::duplicateNumbersAreToldAndTickedOnesImported()
{
    TempDataFolder folder;
    WriteCitations(CitationFileName, {CitationBytes3000::sample("ON-FILE", QDate(2006, 1, 1))});
    WriteFile(folder.file("in.csv"), csv(MinimalHeader, {"on-file ,2006-02-03,46.2-862,RT 1",
                                                         "NEW-1,2006-02-03,46.2-862,RT 1",
                                                         "new-1,2006-02-04,46.2-862,RT 2",
                                                         "NEW-2,2006-02-05,46.2-862,RT 3"}));
    const Imported r = previewFile(folder.file("in.csv"));
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.preview.rows[0].state, ImportState::DuplicateOnFile);
    QCOMPARE(r.preview.rows[1].state, ImportState::Ready);
    QCOMPARE(r.preview.rows[2].state, ImportState::DuplicateInFile);
    QCOMPARE(r.preview.rows[2].message, QStringLiteral("The row on line 3 has this number too."));
    FileError error;
    DataFolderImportStore store;
    QCOMPARE(CitationImport::commit(store, r.preview, {2}, ImportMoment, error), 3);
    const QList<QByteArray> records = ReadCitations(CitationFileName);
    QCOMPARE(records.size(), 4);
    QCOMPARE(CitationBytes3000::readText(records[3], "CitationNumber").trimmed(), QByteArray("NEW-2"));
    QCOMPARE(CitationBytes3000::readText(records[2], "CitationNumber").trimmed(), QByteArray("new-1"));
}

void tst_CsvImport::hostileFilesEndInAMessage_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("sparseSize"); // > 0: a file of that size, all holes
    QTest::addColumn<QString>("error");
    QByteArray junk;
    QRandomGenerator rng(5);
    for (int i = 0; i < 5000; ++i)
        junk += char(1 + rng.bounded(255));
    QTest::newRow("binary junk") << junk << qint64(0) << "None of the column headings";
    QTest::newRow("NUL byte") << csv(MinimalHeader, {QByteArray("A1,2006-02-03,4\0,RT", 19)}) << qint64(0)
                              << "line 2 holds a NUL byte";
    QTest::newRow("unbalanced quote") << csv(MinimalHeader, {"A1,\"2006-02-03,46.2-862,RT 1", "A2,x,y,z"}) << qint64(0)
                                      << "the quoted cell that begins on line 2 is never closed";
    QTest::newRow("text after a quote") << csv(MinimalHeader, {"A1,\"2006\"-02-03,46.2-862,RT 1"}) << qint64(0)
                                        << "on line 2 a quoted cell is followed by other text";
    QTest::newRow("endless line") << csv(MinimalHeader, {"A1," + QByteArray(3 << 20, 'x')}) << qint64(0)
                                  << "the row that begins on line 2 is longer than 1 MB";
    QTest::newRow("endless quoted cell") << csv(MinimalHeader, {"A1,\"" + QByteArray(3 << 20, 'x')}) << qint64(0)
                                         << "its closing quote is missing";
    QTest::newRow("2 GB and more") << QByteArray() << (qint64(2) << 30) + 1 << "it is larger than 2 GB";
    QTest::newRow("empty") << QByteArray() << qint64(0) << "holds no rows";
}

void tst_CsvImport::hostileFilesEndInAMessage()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, sparseSize);
    QFETCH(QString, error);
    TempDataFolder folder;
    WriteCitations(CitationFileName, {CitationBytes3000::sample("A0", QDate(2006, 1, 1))});
    const QByteArray before = ReadFile(CitationFileName);
    WriteFile(folder.file("in.csv"), bytes);
    if (sparseSize > 0)
        QVERIFY(QFile::resize(folder.file("in.csv"), sparseSize));
    const Imported r = previewFile(folder.file("in.csv"));
    QVERIFY(!r.ok);
    QVERIFY2(r.error.contains(error), qPrintable(r.error));
    QCOMPARE(ReadFile(CitationFileName), before);
}

void tst_CsvImport::failedImportLeavesTheDataFileAsItWas_data()
{
    QTest::addColumn<int>("fault"); // 0..n: disk full after that many KiB; -1 failed flush; -2 failed rename
    for (int k : {0, 2, 5, 40})
        QTest::addRow("disk full after %d KiB", k) << k;
    QTest::newRow("flush fails") << -1;
    QTest::newRow("rename fails") << -2;
}

void tst_CsvImport::failedImportLeavesTheDataFileAsItWas()
{
    QFETCH(int, fault);
    TempDataFolder folder;
    QVERIFY(bench::writeCitations(CitationFileName, 3, 4));
    const QByteArray before = ReadFile(CitationFileName);
    QList<QByteArray> rows;
    for (int i = 1; i <= 20; ++i)
        rows << "N" + QByteArray::number(i) + ",2006-02-03,46.2-862,RT 1";
    WriteFile(folder.file("in.csv"), csv(MinimalHeader, rows));
    const Imported r = previewFile(folder.file("in.csv"));
    QVERIFY2(r.ok, qPrintable(r.error));

    InjectedFaults faults;
    if (fault >= 0)
        faults.diskFullAfter(qint64(fault) * 1024);
    else if (fault == -1)
        faults.failNextSync();
    else
        faults.failNextRename();
    FileError error;
    DataFolderImportStore store;
    QCOMPARE(CitationImport::commit(store, r.preview, {}, ImportMoment, error), -1);
    QVERIFY(faults.fired());
    // The disk fails the audit trail's entry (written first) or the data file.
    QVERIFY2(error.fileName == CitationFileName || error.fileName == AuditFiles::trail(), qPrintable(error.message()));
    QCOMPARE(ReadFile(CitationFileName), before);
    QVERIFY(!QFile::exists(WorkFileName));
    QVERIFY(!QFile::exists(AuditFiles::trail())); // no entry of an import refused
}

void tst_CsvImport::importButtonOfTheMainWindow()
{
    {
        MainWindowFixture f(2);
        f.write({citation("A-1", QDate(2006, 3, 5))});
        frmMain& w = f.open();
        QVERIFY(w.cmdImportList->isVisible() && !w.cmdImportList->isEnabled());
    }
    MainWindowFixture f(3);
    f.msgs.expect(QStringLiteral("There are currently\r\nno citations on file..."), "Sennet",
                  Msg::OKOnly | Msg::Information, Msg::OK);
    frmMain& w = f.open();
    // An empty list: the first import goes here.
    QVERIFY(w.cmdImportList->isVisible() && w.cmdImportList->isEnabled());
    ScriptedOpenDialog dialog;
    dialog.path = f.folder.file("in.csv");
    WriteFile(dialog.path, csv(MinimalHeader, {"N1,2006-02-03,46.2-862,RT 1", "N2,2006-02-04,46.2-862,RT 2",
                                               ",2006-02-04,46.2-862,RT 2"}));

    // Cancel in the preview saves nothing.
    int shown = 0;
    auto answer = [&](bool import) {
        QTimer::singleShot(0, [&, import] {
            auto* preview = qobject_cast<frmImport*>(QApplication::activeModalWidget());
            QVERIFY(preview);
            ++shown;
            QCOMPARE(preview->citationsToImport(), 2);
            QTest::mouseClick(import ? preview->cmdImport : preview->cmdCancel, Qt::LeftButton);
        });
    };
    answer(false);
    w.cmdImportList_Click();
    QCOMPARE(shown, 1);
    QCOMPARE(QFileInfo(CitationFileName).size(), 0);

    answer(true);
    f.msgs.expect(QStringLiteral("2 citations were imported from\r\n\r\n") + QDir::toNativeSeparators(dialog.path),
                  "Import Citations", Msg::OKOnly | Msg::Information, Msg::OK);
    w.cmdImportList_Click();
    QCOMPARE(shown, 2);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(w.CitationsInList(), 2);
    QCOMPARE(CitationBytes3000::readText(ReadCitations(CitationFileName).value(1), "EnteredBy").trimmed(),
             QByteArray("Jane Doe"));
    // The audit trail records the import (not the one cancelled), with its file and count.
    const QByteArray trail = ReadFile(AuditFiles::trail());
    QCOMPARE(trail.count("\r\n"), 1);
    QVERIFY(trail.contains("\"action\":\"import\"") && trail.contains("\"file\":\"in.csv\"")
            && trail.contains("\"count\":2"));
}

QTEST_MAIN(tst_CsvImport)
#include "tst_csvimport.moc"
