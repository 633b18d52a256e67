// A saved add, a saved edit and a delete change the list by the one row
// instead of reading the file again: the rows, their order, the caption and
// the selection must come out as a reload would make them, in every sort and
// in a sub-list. Also the list loader that splits the file between threads
// against the plain one.
#include "MainWindowFixture.h"
#include "FaultInjection.h"
#include "store/AnsiText.h"
#include "store/CitationNumberIndex.h"
#include "store/SearchSettings.h"

#include <QGroupBox>
#include <QRandomGenerator>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <atomic>

namespace {

// Citations with repeated days, citation numbers differing only in case or
// accent, and shared code sections, so that ties and folding both count.
QList<CitationBytes3000> mixedCitations()
{
    static const QByteArray numbers[] = {"a10", "A10", "b2", "\xC9" "7", "\xE9" "7", "10", "9", "Z1", "z1", "c-3"};
    static const QByteArray codes[] = {"46.2-862", "18.2-266", "46.2-862", "M\xDC" "LLER", "m\xFC" "ller"};
    QList<CitationBytes3000> out;
    for (int i = 0; i < 24; ++i) {
        CitationBytes3000 r = CitationBytes3000::sample(numbers[i % 10] + (i >= 10 ? QByteArray::number(i % 3) : ""),
                                                        QDate(2006, 1 + i % 4, 1 + i % 3), codes[i % 5],
                                                        i % 2 ? "Rt 1 NB" : "Elm Ave", "MM " + QByteArray::number(i));
        r.date("OffenseTime", OleDate(QDate(1899, 12, 30), QTime(9 + i % 5, 5)));
        r.text("Notes", i % 3 ? "radar" : "lidar");
        // Texts at full width, with a long run of blanks inside, and none.
        if (i == 5)
            r.text("OccurredOn", QByteArray(50, 'W'));
        else if (i == 7)
            r.text("OccurredOn", "A" + QByteArray(20, ' ') + "B" + QByteArray(17, ' ') + "C");
        else if (i == 11)
            r.text("OccurredOn", "");
        out << r;
    }
    return out;
}

struct ListState {
    QList<CitationRow> rows;
    int selectedRecord = 0;
    QString caption;
};

ListState stateOf(frmMain& w)
{
    ListState s;
    for (int r = 0; r < w.CitationsInList(); ++r)
        s.rows << w.listModel->row(r);
    s.selectedRecord = w.SelectedRecordNumber();
    s.caption = w.frame[1]->title();
    return s;
}

void chooseSort(frmMain& w, int index)
{
    w.optSort[size_t(index)]->setChecked(true);
    w.optSort_Click(index);
}

void enterSubList(frmMain& w, const QString& phrase)
{
    searchSettings().phrase = phrase;
    searchSettings().scope = 1;
    w.FullListMode = frmMain::FlagOff;
    w.SubListMode = frmMain::FlagOn;
    w.LoadCitationList();
}

} // namespace

class tst_ListChanges : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void addEditDeleteEqualAReload_data();
    void addEditDeleteEqualAReload();
    void sortEqualsASortOfTheFoldedTexts();
    void splitLoadEqualsThePlainRead_data();
    void splitLoadEqualsThePlainRead();
    void failedReadInAStretchKeepsTheRowsBeforeIt();
    void dateSortAndNumbersEqualThePlainWay();
    void manyChangesInALargeListEqualAReload();
};

void tst_ListChanges::addEditDeleteEqualAReload_data()
{
    QTest::addColumn<int>("sort");
    QTest::addColumn<bool>("subList");
    for (int sort = 0; sort < 3; ++sort) {
        QTest::addRow("sort %d, full list", sort) << sort << false;
        QTest::addRow("sort %d, sub-list", sort) << sort << true;
    }
}

void tst_ListChanges::addEditDeleteEqualAReload()
{
    QFETCH(int, sort);
    QFETCH(bool, subList);
    MainWindowFixture f;
    f.write(mixedCitations());
    frmMain& w = f.open();
    // Sorted first by another key, so the rows' order is not the reload's
    // until the chosen sort puts it so.
    chooseSort(w, (sort + 1) % 3);
    chooseSort(w, sort);
    if (subList)
        enterSubList(w, QStringLiteral("radar"));

    const auto reloaded = [&] {
        w.LoadCitationList();
        return stateOf(w);
    };

    // An edit that moves the citation in every sort; it stays selected.
    w.SelectRow(w.listModel->rowOfRecord(5), false);
    w.StartEdit();
    w.txtField[2]->setText(QStringLiteral("AA0"));
    w.txtField[3]->setText(QStringLiteral("12/31/2005"));
    w.txtField[32]->setText(QStringLiteral("0.1-1"));
    QVERIFY(w.SaveCitation());
    ListState changed = stateOf(w);
    QCOMPARE(changed.selectedRecord, 5);
    QCOMPARE(w.listModel->sortColumn() >= 0, true);
    ListState full = reloaded();
    QCOMPARE(changed.rows, full.rows);
    QCOMPARE(changed.caption, full.caption);

    // A delete near the start: later records move up by one.
    w.SelectRow(w.listModel->rowOfRecord(2), false);
    f.msgs.expect(QStringLiteral("Are you SURE you wish to delete\r\n\r\nCitation Number ") + w.txtField[2]->text()
                      + QStringLiteral(",\r\n\r\ndated ") + w.txtField[3]->text() + u'?',
                  "Confirm", Msg::YesNo | Msg::Question | Msg::DefaultButton2, Msg::Yes);
    w.cmdDeleteEntry_Click();
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    changed = stateOf(w);
    full = reloaded();
    QCOMPARE(changed.rows, full.rows);
    QCOMPARE(changed.selectedRecord, full.selectedRecord);
    QCOMPARE(changed.caption, full.caption);
    QVERIFY(w.CitationsInList() > 2);

    // An add: a sub-list gives way to the full list, as always after an add.
    w.StartAdd();
    w.txtField[2]->setText(QStringLiteral("a10"));
    w.txtField[3]->setText(QStringLiteral("2/1/2006"));
    w.txtField[32]->setText(QStringLiteral("18.2-266"));
    w.txtField[39]->setText(QStringLiteral("Rt 1 NB"));
    // "a10" ties with record 1 in the number sort, so it is on file already.
    f.msgs.expect(QStringLiteral("Citation Number a10 is already on file,\r\ndated 01/01/2006.\r\n\r\n"
                                 "Do you want to save this citation anyway?"),
                  "Duplicate Citation Number", Msg::YesNo | Msg::Question | Msg::DefaultButton2, Msg::Yes);
    QVERIFY(w.SaveCitation());
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    changed = stateOf(w);
    QVERIFY(w.FullListMode && !w.SubListMode);
    full = reloaded();
    QCOMPARE(changed.rows, full.rows);
    QCOMPARE(changed.selectedRecord, full.selectedRecord);
    QCOMPARE(changed.caption, full.caption);
    QCOMPARE(w.listModel->rowOfRecord(24), w.listModel->rowOfRecord(24)); // the new record is listed
    QVERIFY(w.listModel->rowOfRecord(24) >= 0);
}

// The sort keys are built from the file's bytes; the order must be the one
// of the case-folded cell texts, ties in record order, also for long texts
// that agree on their first 8 or 16 characters and differ only in case.
void tst_ListChanges::sortEqualsASortOfTheFoldedTexts()
{
    TempDataFolder folder;
    static const QByteArray stems[] = {"46.2-862", "46.2-8620", "46.2-862 SUBSECTION (A)(1)", "46.2-862 subsection (a)(1)",
                                       "46.2-862 SUBSECTION (A)(2)", "\xC9TAT 46.2-862 SUBSECTION", "\xE9tat 46.2-862 subsection",
                                       "\x8A", "\x9A", "\xB5", "", "1", "10", "9", "ZZZZZZZZZZZZZZZZ", "zzzzzzzzzzzzzzzzZ"};
    QList<CitationBytes3000> records;
    for (int i = 0; i < 64; ++i)
        records << CitationBytes3000::sample(stems[(i * 7) % 16], QDate(2006, 1 + i % 12, 1 + i % 5), stems[i % 16]);
    WriteCitations(CitationFileName, records);
    FileError error;
    CitationListModel model;
    model.setRows(LoadCitationRows(QString(), nullptr, error));
    for (int column : {ListColumn::CitationNumber, ListColumn::Offense, ListColumn::DateSort, ListColumn::Location}) {
        model.sortByColumn(column);
        for (int r = 1; r < model.rowCount(); ++r) {
            const QString before = model.cellText(r - 1, column).toCaseFolded();
            const QString after = model.cellText(r, column).toCaseFolded();
            QVERIFY2(before < after || (before == after && model.recNumAt(r - 1) < model.recNumAt(r)),
                     qPrintable(QStringLiteral("column %1, rows %2 and %3: \"%4\" then \"%5\"")
                                    .arg(column).arg(r - 1).arg(r).arg(before, after)));
        }
    }
}

void tst_ListChanges::splitLoadEqualsThePlainRead_data()
{
    QTest::addColumn<QString>("phrase"); // empty: the full list
    QTest::newRow("full list") << QString();
    QTest::newRow("search") << QStringLiteral("Rt 1");
    QTest::newRow("search, no match") << QStringLiteral("nowhere");
}

void tst_ListChanges::splitLoadEqualsThePlainRead()
{
    QFETCH(QString, phrase);
    TempDataFolder folder;
    const QList<CitationBytes3000> records = mixedCitations();
    WriteCitations(CitationFileName, records);
    SearchSettings search;
    search.phrase = phrase;
    const SearchSettings* settings = phrase.isEmpty() ? nullptr : &search;

    CitationFileView view;
    QVERIFY(view.open());
    const QList<CitationRow> plain = ReadCitationRows(view, settings);
    // Split or not, in stretches of one record, a few, or the whole file.
    const std::pair<int, int> loads[] = {{1, 1}, {2, 3}, {5, 7}, {1, 4096}, {1000, 4096}};
    for (const auto& [splitFrom, stretch] : loads) {
        FileError error;
        CitationListModel model;
        model.setRows(LoadCitationRows(QString(), settings, error, splitFrom, nullptr, nullptr, stretch));
        QVERIFY(!error.isError());
        QList<CitationRow> fast;
        for (int r = 0; r < model.rowCount(); ++r)
            fast << model.row(r);
        QCOMPARE(fast, plain);
    }
}

// A read failing in a stretch in the middle of the file, whichever thread
// meets it: the rows before it stand, in record order, none after it, and
// the error is the read's.
void tst_ListChanges::failedReadInAStretchKeepsTheRowsBeforeIt()
{
    TempDataFolder folder;
    QList<CitationBytes3000> records;
    for (int i = 1; i <= 3000; ++i)
        records << CitationBytes3000::sample("N" + QByteArray::number(i), QDate(2006, 1, 1).addDays(i % 300));
    WriteCitations(CitationFileName, records);
    for (int failing : {2, 5, 9}) {
        InjectedFaults faults;
        std::atomic<int> reads{0};
        FileIo::setInterceptor([&](FileIo::Call call, const QString&, qint64) {
            return FileIo::Verdict{call == FileIo::Call::Read && ++reads == failing ? EIO : 0, -1};
        });
        FileError error;
        CitationNumberIndex numbers;
        const CitationRows rows = LoadCitationRows(QString(), nullptr, error, 1, nullptr, &numbers, 100);
        FileIo::setInterceptor({});
        QCOMPARE(error.message(), QStringLiteral("The file \"Sennet.Data\" could not be read: ") + FileIo::errorText(EIO));
        QVERIFY(rows.size() < 3000);
        for (int r = 0; r < rows.size(); ++r)
            QCOMPARE(rows.at(r).recNum, r + 1);
        QVERIFY(!numbers.isCurrent()); // built again at its next look-up
    }
}

// The date order of a load, in the full list and a sub-list (day and time),
// after another sort and from record order, against the rows read the plain
// way ordered by their key texts, ties in record number order; and the
// number index the reading threads fill against one built by reading the file.
void tst_ListChanges::dateSortAndNumbersEqualThePlainWay()
{
    TempDataFolder folder;
    QRandomGenerator rng(7);
    static const QByteArray numbers[] = {"A10", "a10", "  B2", "\xC9" "7", "\xE9" "7", "", "9", "ZZZZZZZZZZZ\xDC"}; // the last at full width
    QList<CitationBytes3000> records;
    for (int i = 0; i < 600; ++i) {
        // Days from a few, with none and dates out of range among them; times likewise.
        const double days[] = {0.0, -5.0, 2958466.5, 38717.0 + rng.bounded(40), 25569.0 + rng.bounded(3)};
        const double times[] = {0.0, 0.375, 0.999, 0.4236 + rng.bounded(5) / 24.0, -0.5};
        CitationBytes3000 r = CitationBytes3000::sample(numbers[rng.bounded(8)], QDate(2006, 1, 1), "46.2-862");
        r.date("OffenseDate", days[rng.bounded(5)]);
        r.date("OffenseTime", times[rng.bounded(5)]);
        records << r;
    }
    WriteCitations(CitationFileName, records);
    SearchSettings all;
    all.phrase = QStringLiteral(" "); // every searched text holds a space: a sub-list of every record
    const SearchSettings* const searches[] = {nullptr, &all};
    for (const SearchSettings* search : searches) {
        CitationFileView view;
        QVERIFY(view.open());
        QList<CitationRow> expected = ReadCitationRows(view, search);
        QCOMPARE(expected.size(), records.size());
        std::stable_sort(expected.begin(), expected.end(),
                         [](const CitationRow& a, const CitationRow& b) { return a.dateSort < b.dateSort; });
        for (const auto& [splitFrom, stretch] : {std::pair{1, 7}, std::pair{1, 4096}, std::pair{1000, 4096}}) {
            FileError error;
            CitationNumberIndex filled;
            CitationListModel model;
            model.setRows(LoadCitationRows(QString(), search, error, splitFrom, nullptr, &filled, stretch));
            for (int before : {-1, ListColumn::CitationNumber}) {
                if (before >= 0)
                    model.sortByColumn(before);
                model.sortByColumn(ListColumn::DateSort);
                QList<CitationRow> rows;
                for (int r = 0; r < model.rowCount(); ++r)
                    rows << model.row(r);
                QCOMPARE(rows, expected);
            }
            QCOMPARE(filled.isCurrent(), search == nullptr);
            if (search)
                continue;
            CitationNumberIndex read;
            for (const QByteArray& number : numbers) {
                QList<int> fromFill, fromRead;
                FileError e1, e2;
                QVERIFY(filled.find(Ansi::decode(number), 0, fromFill, e1));
                QVERIFY(read.find(Ansi::decode(number), 0, fromRead, e2));
                QCOMPARE(fromFill, fromRead);
                QVERIFY(number.isEmpty() || !fromFill.isEmpty());
            }
            QCOMPARE(filled.builds(), 0);
            QCOMPARE(read.builds(), 1);
        }
    }
}

// Thousands of rows added on one day, so that they crowd into one stretch of
// the list, among edits that move rows far and deletions: the model's rows
// after each kind of sort must be those of the file read again and sorted.
void tst_ListChanges::manyChangesInALargeListEqualAReload()
{
    TempDataFolder folder;
    QRandomGenerator rng(11);
    const auto citation = [&](int i, int day) {
        return CitationBytes3000::sample("N" + QByteArray::number(rng.bounded(900)), QDate(2006, 1, 1).addDays(day),
                                         "46.2-" + QByteArray::number(i % 97))
            .bytes();
    };
    const auto write = [](const QList<QByteArray>& records) {
        QFile file(CitationFileName);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        for (const QByteArray& r : records)
            file.write(r);
    };
    for (int column : {ListColumn::DateSort, ListColumn::Offense}) {
        QList<QByteArray> records;
        for (int i = 0; i < 6000; ++i)
            records << citation(i, int(rng.bounded(300)));
        write(records);
        FileError error;
        CitationListModel model;
        model.setRows(LoadCitationRows(QString(), nullptr, error));
        model.sortByColumn(column);
        for (int step = 0; step < 5000; ++step) {
            const int n = 1 + int(rng.bounded(records.size()));
            if (step % 20 == 7) {
                records[n - 1] = citation(step, int(rng.bounded(300)));
                // Looked up near a row picked at random: a wrong guess must not mislead.
                const int near = int(rng.bounded(model.rowCount()));
                model.updateRecord(model.rowOfRecord(n, near), records[n - 1].constData(), false);
            } else if (step % 20 == 13) {
                records.removeAt(n - 1);
                model.removeRecord(n);
            } else {
                records << citation(7, 150);
                model.insertRecord(records.last().constData(), int(records.size()), false);
            }
        }
        write(records);
        CitationListModel reloaded;
        reloaded.setRows(LoadCitationRows(QString(), nullptr, error));
        reloaded.sortByColumn(column);
        QCOMPARE(model.rowCount(), reloaded.rowCount());
        for (int r = 0; r < model.rowCount(); ++r)
            if (!(model.row(r) == reloaded.row(r)))
                QFAIL(qPrintable(QStringLiteral("column %1: row %2 differs").arg(column).arg(r)));
    }
}

QTEST_MAIN(tst_ListChanges)
#include "tst_listchanges.moc"
