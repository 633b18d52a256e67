// The question before a citation is saved under a citation number already on
// file: for a new citation and for an edit that changes the number, No
// keeping the user in the editor at the number, Yes saving; and the number
// index that answers it kept in step with saves, deletions and replaced files.
#include "DataFiles.h"
#include "MainWindowFixture.h"
#include "store/CitationFile.h"
#include "store/CitationNumberIndex.h"
#include "store/CitationRecord.h"
#include "widgets/VellButton.h"
#include "workspace/Validation.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

namespace {

const QString Caption = QStringLiteral("Duplicate Citation Number");
constexpr int Flags = Msg::YesNo | Msg::Question | Msg::DefaultButton2;

QString question(const QString& number, const QString& dated)
{
    return QStringLiteral("Citation Number %1 is already on file,\r\ndated %2.\r\n\r\n"
                          "Do you want to save this citation anyway?")
        .arg(number, dated);
}

void startAdd(frmMain& w, const QString& number)
{
    QTest::mouseClick(w.cmdAddEntry, Qt::LeftButton);
    QVERIFY(w.Adding);
    w.txtField[2]->setText(number);
    w.txtField[3]->setText(QStringLiteral("2006-07-04")); // year first reads the same in every locale
    w.txtField[32]->setText(QStringLiteral("46.2-862"));
    w.txtField[39]->setText(QStringLiteral("Rt 1 NB"));
    w.MainTab->setCurrentIndex(PageOfField(39));
}

qint64 fileSize() { return QFileInfo(CitationFileName).size(); }

} // namespace

class tst_DuplicateNumber : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void newCitation_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("dated");
        QTest::newRow("US") << "en_US" << "08/26/2007";
        QTest::newRow("UK") << "en_GB" << "26/08/2007";
        QTest::newRow("German") << "de_DE" << "26/08/2007";
    }
    void newCitation()
    {
        QFETCH(QString, locale);
        QFETCH(QString, dated);
        QLocale::setDefault(QLocale(locale));
        MainWindowFixture f;
        f.write({citation("100024", QDate(2007, 8, 26)), citation("100025", QDate(2007, 8, 27))});
        frmMain& w = f.open();

        // Typed in lower case with blanks: the same number once trimmed and
        // upper-cased, as the save stores it.
        startAdd(w, QStringLiteral(" 100024 "));
        bool stillAdding = false;
        f.msgs.expect(question("100024", dated), Caption, Flags, Msg::No, [&] { stillAdding = w.Adding != 0; });
        QTest::mouseClick(w.cmdAddSave, Qt::LeftButton);
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        QVERIFY(stillAdding && w.Adding);
        QCOMPARE(fileSize(), 6000);
        QCOMPARE(w.MainTab->currentIndex(), 0);
        QCOMPARE(QApplication::focusWidget(), w.txtField[2].widget());
        QCOMPARE(w.txtField[39]->text(), QStringLiteral("Rt 1 NB")); // the entries stay

        f.msgs.expect(question("100024", dated), Caption, Flags, Msg::Yes);
        QTest::mouseClick(w.cmdAddSave, Qt::LeftButton);
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        QVERIFY(!w.Adding);
        QCOMPARE(fileSize(), 9000);
        QCOMPARE(CitationBytes3000::readText(ReadCitations(CitationFileName).at(2), "CitationNumber").trimmed(),
                 QByteArray("100024"));

        // A number not on file asks nothing.
        startAdd(w, QStringLiteral("200001"));
        QTest::mouseClick(w.cmdAddSave, Qt::LeftButton);
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        QCOMPARE(fileSize(), 12000);
    }

    void editChangingTheNumber()
    {
        MainWindowFixture f;
        f.write({citation("A-1", QDate(2006, 1, 1)), citation("B-2", QDate(2006, 6, 1)),
                 citation("C-3", QDate(2006, 9, 1)), citation("C-3", QDate(2006, 9, 2))});
        frmMain& w = f.open();
        const QByteArray before = ReadCitations(CitationFileName).at(0);
        w.SelectRow(f.listedRecords().indexOf(1), false);
        QTest::mouseClick(w.cmdEditEntry, Qt::LeftButton);
        QVERIFY(w.Editing);
        w.txtField[2]->setText(QStringLiteral("b-2"));
        w.MainTab->setCurrentIndex(3);
        // Numbers match without regard to case.
        f.msgs.expect(question("b-2", "06/01/2006"), Caption, Flags, Msg::No);
        QTest::mouseClick(w.cmdEditSave, Qt::LeftButton);
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        QVERIFY(w.Editing);
        QCOMPARE(ReadCitations(CitationFileName).at(0), before);
        QCOMPARE(w.MainTab->currentIndex(), 0);
        QCOMPARE(QApplication::focusWidget(), w.txtField[2].widget());

        f.msgs.expect(question("b-2", "06/01/2006"), Caption, Flags, Msg::Yes);
        QTest::mouseClick(w.cmdEditSave, Qt::LeftButton);
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        QVERIFY(!w.Editing);
        QCOMPARE(CitationBytes3000::readText(ReadCitations(CitationFileName).at(0), "CitationNumber").trimmed(),
                 QByteArray("b-2"));

        // An edit that keeps its number asks nothing, though another
        // citation carries it too.
        w.SelectRow(f.listedRecords().indexOf(3), false);
        QTest::mouseClick(w.cmdEditEntry, Qt::LeftButton);
        w.txtField[40]->setText(QStringLiteral("MM 7"));
        QTest::mouseClick(w.cmdEditSave, Qt::LeftButton);
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        QVERIFY(!w.Editing);

        // Several citations with the number: the first one's date is named.
        startAdd(w, QStringLiteral("C-3"));
        f.msgs.expect(QStringLiteral("Citation Number C-3 is already on file for 2 citations,\r\nthe first dated "
                                     "09/01/2006.\r\n\r\nDo you want to save this citation anyway?"),
                      Caption, Flags, Msg::No);
        QTest::mouseClick(w.cmdAddSave, Qt::LeftButton);
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    }

    // The index picks candidates by a hash of the file's bytes; every
    // number equal under the comparison (blanks at the ends, case, the sharp
    // s that upper-cases to "SS", letters past ASCII) must be among them,
    // whether the index was read from the file or taken from a list.
    void numbersEqualAsComparedAreFound()
    {
        TempDataFolder folder;
        const QList<QByteArray> stored = {"  stra\xDF" "e 1", "\xE9t\xE9-7\t", "x1", "\xFF" "9", "A-1"};
        QList<CitationBytes3000> records;
        for (const QByteArray& number : stored)
            records << CitationBytes3000::sample(number, QDate(2006, 1, 1));
        WriteCitations(QStringLiteral("Sennet.Data"), records);

        const QList<std::pair<QString, QList<int>>> lookups = {
            {QStringLiteral("STRASSE 1"), {1}},        {QStringLiteral("\u00C9T\u00C9-7"), {2}},
            {QStringLiteral(" X1  "), {3}},            {QStringLiteral("\u0178" "9"), {4}},
            {QStringLiteral("a-1"), {5}},              {QStringLiteral("A-2"), {}},
            {QStringLiteral("\u00C8T\u00C9-7"), {}},  {QStringLiteral("x 1"), {}}};
        for (bool fromList : {false, true}) {
            CitationNumberIndex index(QStringLiteral("Sennet.Data"));
            if (fromList) {
                index.adopt(index.stampNow(), int(stored.size()),
                            [&](int n) { return QByteArrayView(stored[n - 1]); });
                QVERIFY(index.isCurrent());
            }
            for (const auto& [number, expected] : lookups) {
                QList<int> found;
                FileError error;
                QVERIFY(index.find(number, 0, found, error));
                QVERIFY2(found == expected, qPrintable(number));
            }
            QCOMPARE(index.builds(), fromList ? 0 : 1);
        }
    }

    // Many saves and deletions in a row, each reported to the index as the
    // window does: the index keeps answering as a reading of the file would,
    // without reading it whole again.
    void indexKeepsStepThroughManyChanges()
    {
        TempDataFolder folder;
        const QString file = QStringLiteral("Sennet.Data");
        const auto numberText = [](int i) { return QStringLiteral("N-%1").arg(i % 37); };
        QList<CitationBytes3000> records;
        QList<QByteArray> numbers;
        for (int i = 0; i < 200; ++i) {
            numbers << numberText(i * 7).toLatin1();
            records << CitationBytes3000::sample(numbers.last(), QDate(2006, 1, 1));
        }
        WriteCitations(file, records);
        CitationNumberIndex index(file);
        index.adopt(index.stampNow(), int(numbers.size()), [&](int n) { return QByteArrayView(numbers[n - 1]); });

        quint32 seed = 12345;
        const auto next = [&seed](int below) {
            seed = seed * 1103515245u + 12345u;
            return int((seed >> 8) % quint32(below));
        };
        for (int step = 0; step < 400; ++step) {
            CitationFile data(file);
            const bool wasCurrent = index.isCurrent();
            const int choice = next(3);
            if (choice == 2 && numbers.size() > 1) {
                const int n = next(int(numbers.size())) + 1;
                QVERIFY(data.DeleteCitation(n));
                numbers.removeAt(n - 1);
                index.recordRemoved(n, wasCurrent);
            } else {
                const int n = choice == 0 ? int(numbers.size()) + 1 : next(int(numbers.size())) + 1;
                const QString number = numberText(next(1000));
                CitationRecord record;
                record.setText(CitationField::CitationNumber, number);
                QVERIFY(data.OpenCitationFile());
                QVERIFY(data.WriteCitation(n, record));
                data.CloseCitationFile();
                const QString old = n <= numbers.size() ? QString::fromLatin1(numbers[n - 1]) : QString();
                if (n <= numbers.size())
                    numbers[n - 1] = number.toLatin1();
                else
                    numbers << number.toLatin1();
                index.recordWritten(n, old, number, wasCurrent);
            }
            const QString wanted = numberText(next(1000));
            QList<int> expected;
            for (int n = 1; n <= numbers.size(); ++n)
                if (numbers[n - 1] == wanted.toLatin1())
                    expected << n;
            QList<int> found;
            FileError error;
            QVERIFY(index.find(wanted, 0, found, error));
            QCOMPARE(found, expected);
        }
        QCOMPARE(index.builds(), 0);
    }

    void indexFollowsTheFile()
    {
        MainWindowFixture f;
        f.write({citation("A-1", QDate(2006, 1, 1)), citation("B-2", QDate(2006, 6, 1))});
        frmMain& w = f.open();
        CitationNumberIndex& index = citationNumberIndex();

        // The index comes with the full list: no save reads the whole file.
        QVERIFY(index.isCurrent());
        const int builds = index.builds();
        startAdd(w, QStringLiteral("N-1"));
        QTest::mouseClick(w.cmdAddSave, Qt::LeftButton);
        // Saves keep the index in step.
        startAdd(w, QStringLiteral("N-1"));
        f.msgs.expect(question("N-1", "07/04/2006"), Caption, Flags, Msg::Yes);
        QTest::mouseClick(w.cmdAddSave, Qt::LeftButton);
        w.SelectRow(f.listedRecords().indexOf(1), false);
        QTest::mouseClick(w.cmdEditEntry, Qt::LeftButton);
        w.txtField[2]->setText(QStringLiteral("E-5"));
        QTest::mouseClick(w.cmdEditSave, Qt::LeftButton);
        startAdd(w, QStringLiteral("A-1")); // no longer on file after the edit
        QTest::mouseClick(w.cmdAddSave, Qt::LeftButton);
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        QCOMPARE(index.builds(), builds);
        QCOMPARE(fileSize(), 15000);

        // A deletion renumbers the records after it, and the index with them.
        w.SelectRow(f.listedRecords().indexOf(1), false); // E-5
        f.msgs.expect(QStringLiteral("Are you SURE you wish to delete\r\n\r\nCitation Number E-5,\r\n\r\n"
                                     "dated 01/01/2006?"),
                      QStringLiteral("Confirm"), Msg::YesNo | Msg::Question | Msg::DefaultButton2, Msg::Yes);
        QTest::mouseClick(w.cmdDeleteEntry, Qt::LeftButton);
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        startAdd(w, QStringLiteral("E-5"));
        QTest::mouseClick(w.cmdAddSave, Qt::LeftButton);
        startAdd(w, QStringLiteral("A-1")); // on file as record 4 now, moved up from 5
        f.msgs.expect(question("A-1", "07/04/2006"), Caption, Flags, Msg::Yes);
        QTest::mouseClick(w.cmdAddSave, Qt::LeftButton);
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        QCOMPARE(index.builds(), builds);
        QCOMPARE(fileSize(), 18000);

        // A file replaced and its list read again (a restore): the index
        // comes with the new list.
        f.write({citation("R-1", QDate(2005, 3, 3))});
        w.LoadCitationList();
        startAdd(w, QStringLiteral("R-1"));
        f.msgs.expect(question("R-1", "03/03/2005"), Caption, Flags, Msg::No);
        QTest::mouseClick(w.cmdAddSave, Qt::LeftButton);
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        QCOMPARE(index.builds(), builds);

        // A file changed behind the program's back is read at the next save.
        f.write({citation("R-1", QDate(2005, 3, 3)), citation("S-2", QDate(2005, 4, 4))});
        f.msgs.expect(question("S-2", "04/04/2005"), Caption, Flags, Msg::No);
        w.txtField[2]->setText(QStringLiteral("S-2"));
        QTest::mouseClick(w.cmdAddSave, Qt::LeftButton);
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        QCOMPARE(index.builds(), builds + 1);
    }
};

QTEST_MAIN(tst_DuplicateNumber)
#include "tst_duplicatenumber.moc"
