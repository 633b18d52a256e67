// What a careless or hostile user can type or paste, and where he may keep
// his files: pastes longer than a field, control characters, characters the
// data file cannot hold, the deletion marker as ordinary text, and data,
// backup and restore folders whose names hold spaces and non-ASCII letters.
#include "UserFiles.h"
#include "workspace/MainWindowFixture.h"
#include "backup/modBackupRestore.h"
#include "store/CitationRecord.h"
#include "store/DataFileNames.h"
#include "store/EditorValues.h"
#include "store/UserList.h"
#include "storage/UserLog.h"
#include "workspace/Validation.h"

#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

class tst_HostileInput : public QObject {
    Q_OBJECT
private slots:
    void pastesLongerThanAFieldAreCut();
    void controlCharactersAreRefusedOrKept_data();
    void controlCharactersAreRefusedOrKept();
    void charactersOutsideTheCharacterSetAreRefused();
    void killedMarkerIsOrdinaryText();
    void foldersWithSpacesAndNonAsciiNames();
};

namespace {

void fillMandatory(frmMain& w, const QString& number)
{
    w.txtField[2]->setText(number);
    w.txtField[3]->setText(QStringLiteral("3/3/2006"));
    w.txtField[32]->setText(QStringLiteral("46.2-862"));
    w.txtField[39]->setText(QStringLiteral("Rt 1 NB"));
}

QByteArray storedField(int record, const char* field)
{
    return CitationBytes3000::readText(ReadCitations(CitationFileName).value(record - 1), field);
}

// The values the editor would show for a saved text in box `index`, after
// validation accepted it; empty optional when validation refused it.
std::optional<QString> saveAndShow(int index, const QString& typed)
{
    EditorValues values;
    values[2] = QStringLiteral("A-1");
    values[3] = QStringLiteral("3/3/2006");
    values[32] = QStringLiteral("46.2-862");
    values[39] = QStringLiteral("Rt 1 NB");
    values[index] = typed;
    const ValidationResult result = ValidateCitationValues(values);
    if (result.invalidField)
        return std::nullopt;
    CitationRecord record;
    if (FillCitationRecord(values, QDateTime(QDate(2006, 3, 3), QTime(9, 0)), record) != 0)
        return QStringLiteral("<not storable>");
    return EditorValuesFromRecord(record)[index];
}

} // namespace

void tst_HostileInput::pastesLongerThanAFieldAreCut()
{
    MainWindowFixture f;
    f.msgs.expect("There are currently\r\nno citations on file...", "Sennet", Msg::Information, Msg::OK);
    frmMain& w = f.open();
    w.StartAdd();
    fillMandatory(w, QStringLiteral("P-1"));
    const QString huge = QStringLiteral("0123456789").repeated(2000);
    for (int index : {1, 2, 39, frmMain::NotesField}) {
        TextBox& box = w.txtField[size_t(index)];
        box.widget()->setFocus();
        if (box.lineEdit())
            box.lineEdit()->clear();
        else
            box.multiLine()->clear();
        QGuiApplication::clipboard()->setText(huge);
        if (box.lineEdit())
            box.lineEdit()->paste();
        else
            box.multiLine()->paste();
        QVERIFY2(box.length() <= box.inputLimit(), qPrintable(QString::number(index)));
        QCOMPARE(box.text(), huge.left(box.inputLimit()));
    }
    QVERIFY2(w.SaveCitation(), qPrintable(f.msgs.report()));
    QCOMPARE(storedField(1, "CitationNumber"), huge.left(w.txtField[2]->inputLimit()).toLatin1());
    const QByteArray notes = storedField(1, "Notes");
    QVERIFY(notes.startsWith(huge.left(w.txtField[frmMain::NotesField]->inputLimit()).toLatin1()));
    QVERIFY(w.isEnabled());
}

void tst_HostileInput::controlCharactersAreRefusedOrKept_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("tab") << QStringLiteral("Rt\t1");
    QTest::newRow("bell and escape") << QStringLiteral("Rt\a1\x1b");
    QTest::newRow("NUL inside") << QString(QStringLiteral("Rt") + QChar(0) + QStringLiteral("1"));
    QTest::newRow("CR LF") << QStringLiteral("Rt 1\r\nNB");
    QTest::newRow("DEL and C1") << QString(QStringLiteral("Rt") + QChar(0x7f) + QChar(0x81) + QChar(0x9d));
}

void tst_HostileInput::controlCharactersAreRefusedOrKept()
{
    QFETCH(QString, typed);
    // Either validation refuses the text (with its message), or what is saved
    // is shown again exactly: the next save must not change the record.
    for (int index : {1, 39, frmMain::NotesField}) {
        const std::optional<QString> shown = saveAndShow(index, typed);
        if (shown)
            QCOMPARE(*shown, typed);
    }
}

void tst_HostileInput::charactersOutsideTheCharacterSetAreRefused()
{
    MainWindowFixture f;
    f.write({citation("A-1", QDate(2006, 1, 1))});
    const QByteArray before = ReadFile(CitationFileName);
    frmMain& w = f.open();
    w.StartAdd();
    fillMandatory(w, QStringLiteral("P-2"));
    // Euro sign and accents are in the data file's character set; the snowman,
    // a Polish L and a face (two UTF-16 units) are not.
    w.txtField[39]->setText(QStringLiteral("€ Zoë ☃ Ł 😀"));
    f.msgs.expect(ValidationText::UnstorableText(EditorLayout::fieldLabel(39), w.txtField[39]->text()),
                  ValidationText::UnstorableCaption, Msg::Critical | Msg::OKOnly, Msg::OK);
    QVERIFY(!w.SaveCitation());
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(f.msgs.shown.value(0).contains(QStringLiteral("☃")));
    QVERIFY(!f.msgs.shown.value(0).contains(QStringLiteral("€")));
    QCOMPARE(ReadFile(CitationFileName), before);
    QVERIFY(w.Adding);
    QVERIFY(w.isEnabled());

    // A user name outside the set is refused by the record, not stored as '?'
    // silently.
    UserRecord user;
    QVERIFY(!user.setFirstName(QStringLiteral("Łukasz")));
    QVERIFY(user.setFirstName(QStringLiteral("Zoë")));
    QCOMPARE(user.FirstName(), QStringLiteral("Zoë"));
}

void tst_HostileInput::killedMarkerIsOrdinaryText()
{
    MainWindowFixture f;
    f.write({citation("A-1", QDate(2006, 1, 1)), citation("B-2", QDate(2006, 2, 2))});
    frmMain& w = f.open();
    w.StartAdd();
    fillMandatory(w, QStringLiteral("$Killed$"));
    w.txtField[1]->setText(QStringLiteral("$Killed$"));
    QVERIFY2(w.SaveCitation(), qPrintable(f.msgs.report()));
    QCOMPARE(ReadCitations(CitationFileName).size(), 3);

    // Deleting another citation keeps the one whose NCIC number reads like the marker.
    for (int row = 0; row < w.CitationsInList(); ++row) {
        w.SelectRow(row, false);
        if (w.txtField[2]->text() == QStringLiteral("A-1"))
            break;
    }
    QCOMPARE(w.txtField[2]->text(), QStringLiteral("A-1"));
    f.msgs.expect("Are you SURE you wish to delete\r\n\r\nCitation Number A-1,\r\n\r\ndated 01/01/2006?", "Confirm",
                  Msg::YesNo | Msg::Question | Msg::DefaultButton2, Msg::Yes);
    w.cmdDeleteEntry_Click();
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    const QList<QByteArray> left = ReadCitations(CitationFileName);
    QCOMPARE(left.size(), 2);
    QCOMPARE(CitationBytes3000::readText(left[1], "NCICNumber").trimmed(), QByteArray("$Killed$"));
    QCOMPARE(CitationBytes3000::readText(left[1], "CitationNumber").trimmed(), QByteArray("$Killed$"));
    QCOMPARE(w.CitationsInList(), 2);

    // The same for a user whose first name is the marker.
    WriteUsers(UserListFileName, {UserBytes500::user("$Killed$", "Doe", "pw", 2), UserBytes500::user("Ann", "Roe", "pw", 3),
                                  UserBytes500::user("$Killed$", "Poe", "pw", 1)});
    QVERIFY(RemoveUser(2));
    const QList<QByteArray> users = ReadUsers(UserListFileName);
    QCOMPARE(users.size(), 2);
    QCOMPARE(UserBytes500::readText(users[0], "LastName").trimmed(), QByteArray("Doe"));
    QCOMPARE(UserBytes500::readText(users[1], "LastName").trimmed(), QByteArray("Poe"));
}

void tst_HostileInput::foldersWithSpacesAndNonAsciiNames()
{
    QTemporaryDir root;
    const QString dataPath = root.filePath(QStringLiteral("Dätä Ördner ü"));
    const QString backupPath = root.filePath(QStringLiteral("Back up ☃ 1"));
    QVERIFY(QDir().mkpath(dataPath));
    QVERIFY(QDir().mkpath(backupPath));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dataPath));
    InitialiseDataFileNames();
    struct Back {
        QString path;
        ~Back() { QDir::setCurrent(path); }
    } back{previous};

    // Every write operation in the data folder.
    WriteCitations(CitationFileName, {CitationBytes3000::sample("A-1", QDate(2006, 1, 1))});
    CitationFile file;
    QVERIFY(file.OpenCitationFile());
    const CitationBytes3000 second = CitationBytes3000::sample("B-2", QDate(2006, 2, 2));
    QVERIFY(file.WriteCitation(2, CitationRecord::fromBytes(second.bytes().constData(), second.bytes().size())));
    file.CloseCitationFile();
    QVERIFY(CitationFile().DeleteCitation(1));
    WriteUsers(UserListFileName, {UserBytes500::user("Jane", "Doe", "pw", 4)});
    CurrentUserName = QStringLiteral("Jane Doe");
    CurrentAccessLevel = 4;
    FixedClock clock(QDateTime(QDate(2026, 3, 7), QTime(14, 5, 9)));
    QVERIFY(WriteUserLogLine(1));
    const QByteArray data = ReadFile(CitationFileName);
    QCOMPARE(ReadCitations(CitationFileName).size(), 1);
    QCOMPARE(CitationBytes3000::readText(ReadCitations(CitationFileName)[0], "CitationNumber").trimmed(), QByteArray("B-2"));

    // Backup there, spoil the data, restore from there.
    FakeFolderPicker picker;
    ScriptedMessages msgs;
    picker.answers << backupPath << backupPath;
    msgs.expect(QStringLiteral("You have selected\r\n\r\n'") + backupPath
                    + QStringLiteral("/'\r\n\r\nas your data backup location.\r\nPlease click <OK> to continue."),
                QStringLiteral("Backup Procedure"), Msg::Information | Msg::OKCancel, Msg::OK);
    msgs.expect(QStringLiteral("Your current Sennet data files\r\nhave been successfully backed up!"), QStringLiteral("Sennet"),
                Msg::OKOnly, Msg::OK);
    modBackupRestore::Backup(nullptr);
    QCOMPARE(ReadFile(QDir(backupPath).filePath(CitationFileName)), data);
    WriteFile(CitationFileName, "spoilt");
    msgs.expect(QStringLiteral("Note:\r\n\r\nYou are about to replace your current data files\r\nwith previously made backup "
                               "data files.\r\n\r\nOnce completed, this action can not be undone.\r\n\r\nAre you sure you're "
                               "ready to continue?"),
                QStringLiteral("Important! Please read carefully..."), Msg::Exclamation | Msg::YesNo | Msg::DefaultButton2,
                Msg::Yes);
    msgs.expect(QStringLiteral("Your previously backed up \r\nSennet data files\r\nhas been successfully restored!"),
                QStringLiteral("Sennet"), Msg::OKOnly, Msg::OK);
    modBackupRestore::Restore(nullptr);
    modBackupRestore::ClearRestoreDone();
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QCOMPARE(ReadFile(CitationFileName), data);
    QVERIFY(ReadFile(UserLogFileName).contains("Jane Doe logged in"));
}

QTEST_MAIN(tst_HostileInput)
#include "tst_hostileinput.moc"
