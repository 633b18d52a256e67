// The main window at one desk while another desk works on the same server
// (the run's own PostgreSQL): the list follows the other desk's changes,
// a save or deletion that would overwrite the other desk's change is
// refused with who made it, a citation deleted under an edit, the number
// two desks type at once, a restore while another desk works, and the
// server going away and coming back.
#include "PgCluster.h"
#include "workspace/MainWindowFixture.h"

#include "backup/modBackupRestore.h"
#include "server/ServerStorage.h"
#include "store/AnsiText.h"
#include "store/SearchSettings.h"
#include "widgets/VellButton.h"
#include "workspace/Validation.h"

#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>

namespace {

// The bound a change must show within. The feed tells within
// milliseconds; the bound leaves room for a busy shared machine, and the
// time taken is printed.
constexpr int HeardWithinMs = 3000;

CitationRecord recordOf(const CitationBytes3000& bytes)
{
    const QByteArray b = bytes.bytes();
    return CitationRecord::fromBytes(b.constData(), b.size());
}

// Capitals to the field's width and accents, as an agency's data hold.
CitationBytes3000 agencyCitation(const QByteArray& number, int day, const QByteArray& place = "ROUTE 1 NB AT MAIN")
{
    CitationBytes3000 c = citation(number, QDate(2006, 1, 1).addDays(day), QTime(8 + day % 12, 15));
    c.text("DefendantName", day % 2 ? QByteArray("REN\xc9" "E BRONT\xcb-OYELARAN") : QByteArray(40, 'W'))
        .text("OccurredOn", place);
    return c;
}

QString changedText(const QString& number, const QString& byPattern)
{
    return QStringLiteral("^Citation Number ") + QRegularExpression::escape(number)
        + QStringLiteral(" was changed at another desk\r\n") + byPattern
        + QStringLiteral("\r\nwhile you were editing it\\. Your entries were not saved;\r\nthey are still on the "
                         "screen\\.\r\n\r\nClick 'Yes' to save your entries over that change,\r\n'No' to drop your "
                         "entries and see the stored citation,\r\n'Cancel' to go on editing\\.$");
}

QString deletedWhileEditing(const QString& number, const QString& question)
{
    return QStringLiteral("Citation Number ") + number
        + QStringLiteral("\r\nhas been deleted at another desk\r\nwhile you were editing it.\r\n\r\n") + question;
}

} // namespace

class tst_Desks : public QObject {
    Q_OBJECT

    std::unique_ptr<PgCluster> m_cluster;
    QString m_url;
    std::unique_ptr<Storage> m_b; // desk B: a second connection, its own store

    CitationStore& b() { return m_b->citations(); }

    // A server holding `count` citations, the window's storage (desk A),
    // and desk B beside it.
    bool serverWith(int count)
    {
        std::unique_ptr<Storage> a = makeServerStorage(*m_cluster, &m_url);
        if (!a)
            return false;
        a->setActor({QStringLiteral("JANE DOE"), 4, QStringLiteral("DESK-A")});
        setStorage(std::move(a));
        FileError error;
        m_b = OpenServerStorage(m_url, QString(), error);
        if (!m_b)
            return false;
        m_b->setActor({QStringLiteral("BOB \u00d1U\u00d1EZ"), 4, QStringLiteral("DESK-B")});
        std::vector<CitationRecord> records;
        for (int n = 1; n <= count; ++n)
            records.push_back(recordOf(agencyCitation("VA" + QByteArray::number(1000 + n * 7 % 97), n)));
        CitationKey first = 0;
        return count == 0 || b().addAll(records, first, error);
    }

    CitationKey bAdds(const CitationBytes3000& c)
    {
        CitationKey key = 0;
        FileError error;
        if (!b().add(recordOf(c), key, error))
            qWarning("%s", qPrintable(error.message()));
        return key;
    }
    // One text field rewritten in the record's bytes, by the test's own layout table.
    void bEdits(CitationKey key, const char* field, const QByteArray& text)
    {
        CitationRecord r;
        FileError error;
        QVERIFY(b().read(key, r, error));
        QByteArray bytes = r.bytes();
        const RecordField& f = CitationBytes3000::find(field);
        bytes.replace(f.offset, f.width, text.leftJustified(f.width, ' ', true));
        QVERIFY2(b().save(key, CitationRecord::fromBytes(bytes.constData(), bytes.size()), error),
                 qPrintable(error.message()));
    }
    void bDeletes(CitationKey key)
    {
        FileError error;
        QVERIFY2(b().remove(key, error), qPrintable(error.message()));
    }

    static QString caption(frmMain& w) { return w.frame[1]->title(); }
    static int captionCount(frmMain& w)
    {
        return QRegularExpression(QStringLiteral("\\((\\d+) ")).match(caption(w)).captured(1).toInt();
    }
    // The list's rows stand in the order of the chosen sort's column.
    static bool sortHolds(frmMain& w, int column)
    {
        for (int r = 1; r < w.CitationsInList(); ++r)
            if (w.listModel->cellText(r - 1, column).compare(w.listModel->cellText(r, column), Qt::CaseInsensitive) > 0)
                return false;
        return true;
    }
    static QStringList entries(frmMain& w)
    {
        QStringList texts;
        for (int i = 1; i <= CitationLayout::EditorFieldCount; ++i)
            texts << w.txtField[size_t(i)]->text();
        return texts;
    }
    static void select(frmMain& w, CitationKey key) { w.SelectRow(w.listModel->rowOfRecord(key), false); }
    static void type(frmMain& w, int index, const QString& text)
    {
        w.MainTab->setCurrentIndex(PageOfField(index));
        w.txtField[size_t(index)]->setText(text);
    }

private slots:
    void initTestCase()
    {
        m_cluster = std::make_unique<PgCluster>();
        if (!m_cluster->available())
            QSKIP(qPrintable(m_cluster->problem()));
    }
    void cleanup()
    {
        m_b.reset();
        setStorage(nullptr);
        QLocale::setDefault(QLocale::c());
    }

    void listFollowsTheOtherDesk_data();
    void listFollowsTheOtherDesk();
    void editInProgressIsLeftAlone();
    void saveOverAnotherDesksChange_data();
    void saveOverAnotherDesksChange();
    void citationDeletedUnderTheEdit_data();
    void citationDeletedUnderTheEdit();
    void deletionsMeetingTheOtherDesk();
    void numberTypedAtTwoDesks();
    void restoreRefusedWhileAnotherDeskWorks_data();
    void restoreRefusedWhileAnotherDeskWorks();
    void serverLostAndBack_data();
    void serverLostAndBack();
};

void tst_Desks::listFollowsTheOtherDesk_data()
{
    QTest::addColumn<QString>("phrase"); // empty: the full list
    QTest::addColumn<QString>("change"); // what desk B does
    QTest::addColumn<bool>("shown");     // whether A's list shows the citation after it
    QTest::newRow("full list, added") << "" << "add" << true;
    QTest::newRow("full list, edited") << "" << "edit" << true;
    QTest::newRow("full list, deleted") << "" << "delete" << false;
    QTest::newRow("full list, an import") << "" << "import" << true;
    QTest::newRow("sub-list, added and matching") << "ELM" << "add" << true;
    QTest::newRow("sub-list, added elsewhere") << "ELM" << "add elsewhere" << false;
    QTest::newRow("sub-list, edited into it") << "ELM" << "edit" << true;
    QTest::newRow("sub-list, edited out of it") << "ELM" << "edit out" << false;
    QTest::newRow("sub-list, deleted") << "ELM" << "delete" << false;
    QTest::newRow("sub-list, an import") << "ELM" << "import" << true;
}

void tst_Desks::listFollowsTheOtherDesk()
{
    QFETCH(QString, phrase);
    QFETCH(QString, change);
    QFETCH(bool, shown);
    MainWindowFixture f;
    QVERIFY(serverWith(40));
    // Three citations on Elm Street, among them the one to edit out and
    // the one to delete in the sub-list.
    const CitationKey elm1 = bAdds(agencyCitation("ELM-1", 3, "ELM STREET"));
    const CitationKey elm2 = bAdds(agencyCitation("ELM-2", 9, "ELM STREET"));
    bAdds(agencyCitation("ELM-3", 5, "ELM STREET"));
    frmMain& w = f.open();
    QTest::mouseClick(w.optSort[1], Qt::LeftButton); // by citation number
    // A citation off Elm Street ("VA..." sorts after "ELM-...").
    const CitationKey plain = w.listModel->recNumAt(w.CitationsInList() - 1);
    if (!phrase.isEmpty()) {
        searchSettings() = SearchSettings{phrase, 1, 1, 0};
        w.FullListMode = frmMain::FlagOff;
        w.SubListMode = frmMain::FlagOn;
        w.LoadCitationList();
        QCOMPARE(w.CitationsInList(), 3);
    }
    select(w, elm2);
    const int before = w.CitationsInList();

    CitationKey key = 0;
    if (change == QLatin1String("add")) {
        key = bAdds(agencyCitation("AAA-ELM", 30, "ELM STREET"));
    } else if (change == QLatin1String("add elsewhere")) {
        key = bAdds(agencyCitation("AAA-OAK", 30, "OAK AVENUE"));
    } else if (change == QLatin1String("edit")) {
        // Into the sub-list when there is one; to the top of the sort either way.
        key = phrase.isEmpty() ? elm1 : plain;
        bEdits(key, "OccurredOn", "ELM STREET");
        bEdits(key, "CitationNumber", "AAA-1");
    } else if (change == QLatin1String("import")) {
        // Too many to be told one by one: the list is read again.
        std::vector<CitationRecord> records;
        for (int n = 0; n < 120; ++n)
            records.push_back(recordOf(agencyCitation("IMP-" + QByteArray::number(n), n, n % 2 ? "OAK AVENUE" : "ELM STREET")));
        FileError error;
        QVERIFY2(b().addAll(records, key, error), qPrintable(error.message()));
    } else if (change == QLatin1String("edit out")) {
        key = elm1;
        bEdits(key, "OccurredOn", "OAK AVENUE");
        bEdits(key, "CitationNumber", "OAK-1");
    } else {
        key = elm1;
        bDeletes(key);
    }
    QVERIFY(key > 0);
    QElapsedTimer heard;
    heard.start();
    const int expected = before + (change.startsWith(QLatin1String("add")) ? int(shown) : 0)
        - (change == QLatin1String("delete") || change == QLatin1String("edit out") ? 1 : 0)
        + (change == QLatin1String("edit") && !phrase.isEmpty() ? 1 : 0)
        + (change == QLatin1String("import") ? (phrase.isEmpty() ? 120 : 60) : 0);
    const auto settled = [&] {
        const int row = w.listModel->rowOfRecord(key);
        return (row >= 0) == shown && w.CitationsInList() == expected
            && (change != QLatin1String("edit") || w.listModel->cellText(row, ListColumn::CitationNumber) == "AAA-1");
    };
    QTRY_VERIFY_WITH_TIMEOUT(settled(), HeardWithinMs);
    qInfo("shown at the other desk after %lld ms", heard.elapsed());
    // What the list must not take stays out once the change was heard.
    QTest::qWait(300);
    QVERIFY(settled());
    QCOMPARE(captionCount(w), w.CitationsInList());
    QVERIFY(caption(w).startsWith(phrase.isEmpty() ? QStringLiteral(" All Entries (")
                                                   : QStringLiteral(" Sub-list of entries containing 'ELM' (")));
    QCOMPARE(w.SelectedRecordNumber(), elm2);
    QCOMPARE(w.txtField[2]->text(), QStringLiteral("ELM-2"));
    QVERIFY(w.optSort[1]->isChecked());
    QVERIFY(sortHolds(w, ListColumn::CitationNumber));
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
}

void tst_Desks::editInProgressIsLeftAlone()
{
    MainWindowFixture f;
    QVERIFY(serverWith(30));
    frmMain& w = f.open();
    const CitationKey edited = w.SelectedRecordNumber();
    QTest::mouseClick(w.cmdEditEntry, Qt::LeftButton);
    QVERIFY(w.Editing);
    type(w, 39, QStringLiteral("TYPED AT DESK A"));
    const QStringList typed = entries(w);

    // Desk B adds before it, edits the row next to it and deletes another:
    // the selection would move, the entries must not.
    bAdds(agencyCitation("AAAA-1", 1));
    const int neighbour = w.listModel->recNumAt(qMax(0, w.listModel->rowOfRecord(edited) - 1));
    bEdits(neighbour, "CitationNumber", "ZZZZ-9");
    bDeletes(neighbour == 1 ? 2 : 1);
    QTRY_COMPARE_WITH_TIMEOUT(w.CitationsInList(), 30, HeardWithinMs);
    QTRY_VERIFY_WITH_TIMEOUT(w.listModel->rowOfRecord(neighbour) >= 0
                                 && w.listModel->cellText(w.listModel->rowOfRecord(neighbour), 1) == "ZZZZ-9",
                             HeardWithinMs);
    QVERIFY(w.Editing);
    QCOMPARE(w.EditedKey(), edited);
    QCOMPARE(entries(w), typed);

    // The save goes to the citation being edited, wherever the list moved.
    QTest::mouseClick(w.cmdEditSave, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(!w.Editing);
    CitationRecord stored;
    FileError error;
    QVERIFY(b().read(edited, stored, error));
    QCOMPARE(Ansi::trimSpaces(stored.text(CitationField::OccurredOn)), QStringLiteral("TYPED AT DESK A"));
    QCOMPARE(w.SelectedRecordNumber(), edited);
    QCOMPARE(captionCount(w), 30);
}

void tst_Desks::saveOverAnotherDesksChange_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("answer");
    QTest::newRow("US, save over it") << "en_US" << int(Msg::Yes);
    QTest::newRow("British, show the stored one") << "en_GB" << int(Msg::No);
    QTest::newRow("German, go on editing") << "de_DE" << int(Msg::Cancel);
}

void tst_Desks::saveOverAnotherDesksChange()
{
    QFETCH(QString, locale);
    QFETCH(int, answer);
    QLocale::setDefault(QLocale(locale));
    MainWindowFixture f;
    QVERIFY(serverWith(5));
    frmMain& w = f.open();
    const CitationKey key = w.SelectedRecordNumber();
    const QString number = w.txtField[2]->text();
    QTest::mouseClick(w.cmdEditEntry, Qt::LeftButton);
    type(w, 39, QStringLiteral("DESK A'S PLACE"));
    bEdits(key, "OccurredOn", "DESK B'S PLACE");
    RowStamp stamp;
    CitationRecord record;
    FileError error;
    QVERIFY(b().readStamped(key, record, stamp, error));
    // The other desk's change heard: the entries stay.
    QTRY_COMPARE_WITH_TIMEOUT(w.listModel->cellText(w.listModel->rowOfRecord(key), ListColumn::Location)
                                  .startsWith(QLatin1String("DESK B'S")),
                              true, HeardWithinMs);
    QCOMPARE(w.txtField[39]->text(), QStringLiteral("DESK A'S PLACE"));

    // Who, at which desk, on the day in the regional order, at what time.
    const QString day = stamp.when.date().toString(locale == QLatin1String("en_US") ? QStringLiteral("MM/dd/yyyy")
                                                                                     : QStringLiteral("dd/MM/yyyy"));
    f.msgs.expectMatching(changedText(number, QStringLiteral("by BOB \u00d1U\u00d1EZ at desk DESK-B on ") + day
                                                  + QStringLiteral(" at \\d{1,2}:\\d\\d[ap]m")),
                          QStringLiteral("Citation Changed at Another Desk"),
                          Msg::YesNoCancel | Msg::Exclamation | Msg::DefaultButton3, answer);
    QTest::mouseClick(w.cmdEditSave, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));

    QVERIFY(b().read(key, record, error));
    const QString stored = Ansi::trimSpaces(record.text(CitationField::OccurredOn));
    QCOMPARE(stored, answer == Msg::Yes ? QStringLiteral("DESK A'S PLACE") : QStringLiteral("DESK B'S PLACE"));
    QCOMPARE(bool(w.Editing), answer == Msg::Cancel);
    QCOMPARE(w.txtField[39]->text(), answer == Msg::No ? QStringLiteral("DESK B'S PLACE") : QStringLiteral("DESK A'S PLACE"));
    QCOMPARE(w.listModel->cellText(w.listModel->rowOfRecord(key), ListColumn::Location).startsWith(stored), true);
    if (answer == Msg::Cancel) {
        // Still refused at the next save: nothing is overwritten unasked.
        f.msgs.expectMatching(changedText(number, QStringLiteral("by BOB .+")),
                              QStringLiteral("Citation Changed at Another Desk"),
                              Msg::YesNoCancel | Msg::Exclamation | Msg::DefaultButton3, Msg::Cancel);
        QTest::mouseClick(w.cmdEditSave, Qt::LeftButton);
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        QVERIFY(b().read(key, record, error));
        QCOMPARE(Ansi::trimSpaces(record.text(CitationField::OccurredOn)), QStringLiteral("DESK B'S PLACE"));
    }
}

void tst_Desks::citationDeletedUnderTheEdit_data()
{
    QTest::addColumn<bool>("heardFirst"); // the feed told it before the save
    QTest::addColumn<int>("answer");      // keep the entries as a new citation?
    QTest::newRow("heard, kept as new") << true << int(Msg::Yes);
    QTest::newRow("heard, dropped") << true << int(Msg::No);
    QTest::newRow("found at the save, kept as new") << false << int(Msg::Yes);
    QTest::newRow("found at the save, dropped") << false << int(Msg::No);
}

void tst_Desks::citationDeletedUnderTheEdit()
{
    QFETCH(bool, heardFirst);
    QFETCH(int, answer);
    MainWindowFixture f;
    QVERIFY(serverWith(6));
    frmMain& w = f.open();
    const CitationKey key = w.SelectedRecordNumber();
    const QString number = w.txtField[2]->text();
    QTest::mouseClick(w.cmdEditEntry, Qt::LeftButton);
    type(w, 39, QStringLiteral("KEPT ENTRIES"));
    bDeletes(key);
    const QString title = QStringLiteral("Citation Deleted");
    if (heardFirst) {
        f.msgs.expect(deletedWhileEditing(number, QStringLiteral("Do you want to keep your entries\r\nand save them as a "
                                                                 "new citation?")),
                      title, Msg::YesNo | Msg::Question, answer);
        QTRY_COMPARE_WITH_TIMEOUT(w.CitationsInList(), 5, HeardWithinMs);
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        QCOMPARE(bool(w.Editing), answer == Msg::Yes);
        if (answer == Msg::Yes)
            QTest::mouseClick(w.cmdEditSave, Qt::LeftButton);
    } else {
        // Saved before the feed could tell: the save finds it gone.
        f.msgs.expect(deletedWhileEditing(number, QStringLiteral("Do you want to save your entries\r\nas a new citation?")),
                      title, Msg::YesNo | Msg::Question, answer);
        QTest::mouseClick(w.cmdEditSave, Qt::LeftButton);
    }
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(!w.Editing);
    QList<CitationKey> keys;
    FileError error;
    QVERIFY(b().findNumber(number, 0, keys, error));
    QCOMPARE(keys.size(), answer == Msg::Yes ? 1 : 0);
    QTest::qWait(200); // the feed's late word of the deletion changes nothing more
    QCOMPARE(w.CitationsInList(), answer == Msg::Yes ? 6 : 5);
    QCOMPARE(captionCount(w), w.CitationsInList());
    QCOMPARE(w.listModel->rowOfRecord(key), -1);
    if (answer == Msg::Yes) {
        QCOMPARE(w.SelectedRecordNumber(), keys.value(0));
        QCOMPARE(w.txtField[39]->text(), QStringLiteral("KEPT ENTRIES"));
    }
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
}

void tst_Desks::deletionsMeetingTheOtherDesk()
{
    MainWindowFixture f;
    QVERIFY(serverWith(8));
    frmMain& w = f.open();
    const QString confirmCaption = QStringLiteral("Confirm");
    const int confirmFlags = Msg::YesNo | Msg::Question | Msg::DefaultButton2;
    auto confirmText = [&] {
        return QStringLiteral("Are you SURE you wish to delete\r\n\r\nCitation Number ") + w.txtField[2]->text()
            + QStringLiteral(",\r\n\r\ndated ") + w.txtField[3]->text() + u'?';
    };

    // Changed at B after A showed it, before A heard: shown again, asked again.
    CitationKey key = w.SelectedRecordNumber();
    QString number = w.txtField[2]->text();
    bEdits(key, "OccurredOn", "CHANGED AT B");
    f.msgs.expect(confirmText(), confirmCaption, confirmFlags, Msg::Yes);
    f.msgs.expectMatching(QStringLiteral("^Citation Number ") + number
                              + QStringLiteral(" was changed at another desk\r\nby BOB \u00d1U\u00d1EZ at desk DESK-B "
                                               "on .+\r\nsince it was shown, and was not deleted\\.\r\n\r\nThe citation "
                                               "as it is stored now is on the screen\\.$"),
                          QStringLiteral("Citation Changed at Another Desk"), Msg::OKOnly | Msg::Exclamation, Msg::OK);
    f.msgs.expect(confirmText(), confirmCaption, confirmFlags, Msg::No);
    QTest::mouseClick(w.cmdDeleteEntry, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(w.txtField[39]->text(), QStringLiteral("CHANGED AT B"));
    QCOMPARE(w.CitationsInList(), 8);

    // Deleted at B before A heard: A's deletion says so; the list follows.
    bDeletes(key);
    f.msgs.expect(confirmText(), confirmCaption, confirmFlags, Msg::Yes);
    f.msgs.expect(QStringLiteral("Citation Number ") + number
                      + QStringLiteral("\r\nhad already been deleted at another desk."),
                  QStringLiteral("Citation Deleted"), Msg::OKOnly | Msg::Information, Msg::OK);
    QTest::mouseClick(w.cmdDeleteEntry, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(w.CitationsInList(), 7);
    QCOMPARE(captionCount(w), 7);
    QCOMPARE(w.listModel->rowOfRecord(key), -1);

    // Deleted at B while A only looks at it: told, and the list follows;
    // not behind the idle lock, where the number would show to anyone.
    key = w.SelectedRecordNumber();
    number = w.txtField[2]->text();
    f.msgs.expect(QStringLiteral("Citation Number ") + number + QStringLiteral("\r\nhas been deleted at another desk."),
                  QStringLiteral("Citation Deleted"), Msg::OKOnly | Msg::Information, Msg::OK);
    w.LockDesk();
    bDeletes(key);
    QTest::qWait(600);
    QCOMPARE(f.msgs.pending(), 1);
    QCOMPARE(w.CitationsInList(), 7);
    UserRecord jane;
    jane.setAccessLevel(4);
    w.UnlockDesk(CurrentUserName, jane);
    QTRY_COMPARE_WITH_TIMEOUT(w.CitationsInList(), 6, HeardWithinMs);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(w.SelectedRecordNumber() > 0 && w.SelectedRecordNumber() != key);
    QCOMPARE(w.txtField[2]->text(), w.listModel->cellText(w.SelectedRow(), ListColumn::CitationNumber));
    QCOMPARE(captionCount(w), 6);

    // Changed at B while A looks at it: shown as it is now, no box.
    key = w.SelectedRecordNumber();
    bEdits(key, "OccurredOn", "SEEN AT A");
    QTRY_COMPARE_WITH_TIMEOUT(w.txtField[39]->text(), QStringLiteral("SEEN AT A"), HeardWithinMs);
    QCOMPARE(w.SelectedRecordNumber(), key);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
}

void tst_Desks::numberTypedAtTwoDesks()
{
    MainWindowFixture f;
    QVERIFY(serverWith(3));
    bAdds(agencyCitation("TWICE-1", 2));
    frmMain& w = f.open();
    QTest::mouseClick(w.cmdAddEntry, Qt::LeftButton);
    const std::pair<int, const char*> entries[] = {{2, "twice-1 "}, {3, "2/1/2006"}, {32, "46.2-862"}, {39, "RT 1 NB"}};
    for (const auto& [index, text] : entries)
        type(w, index, QString::fromLatin1(text));
    const QString caption = QStringLiteral("Duplicate Citation Number");
    const int flags = Msg::YesNo | Msg::Question | Msg::DefaultButton2;
    // While A's user reads the question, B saves the same number.
    f.msgs.expectMatching(QStringLiteral("^Citation Number twice-1 is already on file,\r\ndated .+\\.\r\n\r\nDo you want "
                                         "to save this citation anyway\\?$"),
                          caption, flags, Msg::Yes);
    f.msgs.expectMatching(QStringLiteral("^Citation Number twice-1 is already on file for 2 citations,\r\nthe first "
                                         "dated .+\\.\r\n\r\nDo you want to save this citation anyway\\?$"),
                          caption, flags, Msg::Yes);
    // B saves the same number just before A's store call number `at`
    // (counted from the click; B's own calls count too, after it).
    bool bSaved = false;
    int calls = 0;
    const auto bSavesBeforeCall = [&](int at, const QByteArray& number) {
        calls = 0;
        bSaved = false;
        setStoreWaitIndicator([&, at, number](bool waiting) {
            if (waiting && ++calls == at && !bSaved) {
                bSaved = true;
                bAdds(agencyCitation(number, 4));
            }
        });
    };
    // The look-up, the date of the one found, then (after the question) the save.
    bSavesBeforeCall(3, "TWICE-1");
    QTest::mouseClick(w.cmdAddSave, Qt::LeftButton);
    setStoreWaitIndicator({});
    QVERIFY(bSaved);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(!w.Adding);
    QList<CitationKey> keys;
    FileError error;
    QVERIFY(b().findNumber(QStringLiteral("TWICE-1"), 0, keys, error));
    QCOMPARE(keys.size(), 3);
    QTRY_COMPARE_WITH_TIMEOUT(w.CitationsInList(), 6, HeardWithinMs);
    QCOMPARE(captionCount(w), 6);

    // Said No the second time: nothing saved, back at the number.
    QTest::mouseClick(w.cmdAddEntry, Qt::LeftButton);
    for (const auto& [index, text] : entries)
        type(w, index, QString::fromLatin1(index == 2 ? "TWICE-2" : text));
    f.msgs.expectMatching(QStringLiteral("^Citation Number TWICE-2 is already on file,\r\ndated .+\\.\r\n\r\nDo you want to save this "
                                         "citation anyway\\?$"), caption, flags,
                          Msg::No);
    // No question at first (the number is free); B takes it before the save.
    bSavesBeforeCall(2, "TWICE-2");
    QTest::mouseClick(w.cmdAddSave, Qt::LeftButton);
    setStoreWaitIndicator({});
    QVERIFY(bSaved);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(w.Adding);
    QVERIFY(b().findNumber(QStringLiteral("TWICE-2"), 0, keys, error));
    QCOMPARE(keys.size(), 1);
}

void tst_Desks::restoreRefusedWhileAnotherDeskWorks_data()
{
    QTest::addColumn<bool>("lateComer"); // B logs in while the user answers the last question
    QTest::newRow("working from the start") << false;
    QTest::newRow("logged in during the question") << true;
}

void tst_Desks::restoreRefusedWhileAnotherDeskWorks()
{
    QFETCH(bool, lateComer);
    MainWindowFixture f;
    QVERIFY(serverWith(4));
    QWidget window;
    FakeFolderPicker picker;
    // The server names a desk's connection in ASCII only.
    const StoreActor bob{QStringLiteral("BOB NUNEZ"), 4, QStringLiteral("DESK-B")};
    QTemporaryDir backup;
    if (lateComer) {
        FileError error;
        // The server lets a closed connection go a moment after the client
        // closed it: B's first one must be gone before B comes back.
        m_b.reset();
        QTRY_VERIFY_WITH_TIMEOUT([] {
            QStringList desks;
            FileError ignored;
            return storage().otherDesks(desks, ignored) && desks.isEmpty();
        }(), 10000);
        m_b = OpenServerStorage(m_url, QString(), error); // connected, nobody logged in yet
        QVERIFY(m_b);
        WriteCitations(backup.filePath(QStringLiteral("Sennet.Data")), {agencyCitation("OLD-1", 1)});
        picker.answers << backup.path();
        f.msgs.expect(QStringLiteral("Note:\r\n\r\nYou are about to replace your current data files\r\nwith previously "
                                     "made backup data files.\r\n\r\nOnce completed, this action can not be undone."
                                     "\r\n\r\nAre you sure you're ready to continue?"),
                      QStringLiteral("Important! Please read carefully..."),
                      Msg::Exclamation | Msg::YesNo | Msg::DefaultButton2, Msg::Yes, [&] { m_b->setActor(bob); });
    } else {
        m_b->setActor(bob);
    }
    f.msgs.expect(QStringLiteral("The data cannot be restored while other desks\r\nare working on the server:\r\n\r\n"
                                 "DESK-B (BOB NUNEZ)\r\n\r\nPlease have them log out first,\r\nthen restore again."),
                  QStringLiteral("Other Desks Are Working"), Msg::Exclamation | Msg::OKOnly, Msg::OK);
    f.msgs.expect(modBackupRestore::RestoreCancelledText, QStringLiteral("Sennet"), Msg::OKOnly, Msg::OK);
    modBackupRestore::Restore(&window);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(picker.titles.isEmpty(), !lateComer); // refused before a folder is asked for
    QVERIFY(!modBackupRestore::RestoreDone());
    FileError error;
    QCOMPARE(b().count(error), 4);
}

void tst_Desks::serverLostAndBack_data()
{
    QTest::addColumn<bool>("editing");
    QTest::newRow("viewing") << false;
    QTest::newRow("editing") << true;
}

void tst_Desks::serverLostAndBack()
{
    QFETCH(bool, editing);
    MainWindowFixture f;
    QVERIFY(serverWith(10));
    frmMain& w = f.open();
    const CitationKey selected = w.listModel->recNumAt(3);
    select(w, selected);
    if (editing) {
        QTest::mouseClick(w.cmdEditEntry, Qt::LeftButton);
        type(w, 39, QStringLiteral("KEPT THROUGH IT"));
    }
    m_b.reset(); // desk B goes with the server; it comes back after it
    QVERIFY(m_cluster->stopImmediately());
    QTRY_VERIFY_WITH_TIMEOUT(w.lblServerLost && w.lblServerLost->isVisible(), 15000);
    QTest::qWait(2500); // the feed tries again meanwhile: still the one notice, no box
    QCOMPARE(w.findChildren<QLabel*>(QStringLiteral("lblServerLost")).size(), 1);
    QVERIFY(w.lblServerLost->isVisible());
    QCOMPARE(w.CitationsInList(), 10);
    QVERIFY(m_cluster->start());
    FileError error;
    m_b = OpenServerStorage(m_url, QString(), error);
    QVERIFY2(m_b, qPrintable(error.message()));
    const CitationKey added = bAdds(agencyCitation("MEANWHILE", 1));
    QTRY_VERIFY_WITH_TIMEOUT(!w.lblServerLost->isVisible(), 20000);
    QCOMPARE(bool(w.Editing), editing);
    if (editing) {
        QCOMPARE(w.txtField[39]->text(), QStringLiteral("KEPT THROUGH IT"));
        QTest::mouseClick(w.cmdEditCancel, Qt::LeftButton);
    }
    QTRY_VERIFY_WITH_TIMEOUT(w.listModel->rowOfRecord(added) >= 0, HeardWithinMs);
    QCOMPARE(w.CitationsInList(), 11);
    QCOMPARE(captionCount(w), 11);
    QCOMPARE(w.SelectedRecordNumber(), selected);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
}

QTEST_MAIN(tst_Desks)
#include "tst_desks.moc"
