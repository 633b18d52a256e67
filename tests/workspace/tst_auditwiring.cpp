// The audit trail as the main window writes it: each action records exactly
// one entry with its fields (an edit only the fields changed, a deletion the
// whole citation, rebuilt byte for byte); a change the data file refuses
// leaves no entry; a trail that cannot be written refuses the change with its
// reason and the entries stay on screen; the idle lock covers the citations
// and keeps an edit in progress for its user, or ends the session for another.
#include "DataFiles.h"
#include "Doubles.h"
#include "FaultInjection.h"
#include "UserFiles.h"
#include "workspace/MainWindowFixture.h"
#include "print/ListPrintout.h"
#include "session/IdleLock.h"
#include "storage/AuditEvents.h"
#include "storage/AuditStore.h"
#include "widgets/VellButton.h"
#include "workspace/DeskLockBox.h"
#include "workspace/Validation.h"
#include "workspace/frmStatistics.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The trail's entries, read as the JSON lines they are.
QList<QJsonObject> trail()
{
    QList<QJsonObject> out;
    for (const QByteArray& line : ReadFile(QStringLiteral("Sennet.Audit")).split('\n'))
        if (!line.trimmed().isEmpty())
            out << QJsonDocument::fromJson(line.trimmed()).object();
    return out;
}

void enter(frmMain& w, int index, const QString& text)
{
    w.MainTab->setCurrentIndex(PageOfField(index));
    w.txtField[size_t(index)].widget()->setFocus();
    w.txtField[size_t(index)]->setText(text);
}

const QString PrintCaption = QStringLiteral("Citation Number B-2");

using Action = std::function<void(MainWindowFixture& f, frmMain& w, const QString& elsewhere)>;

} // namespace

class tst_AuditWiring : public QObject {
    Q_OBJECT
private slots:
    void init() { setAuditStore(nullptr); }
    void eachActionWritesOneEntry_data();
    void eachActionWritesOneEntry();
    void refusedChangeWritesNoEntry();
    void failingTrailRefusesTheChange_data();
    void failingTrailRefusesTheChange();
    void idleLockKeepsTheEditForItsUser();
    void idleLockAnotherUserEndsTheSession();
};

void tst_AuditWiring::eachActionWritesOneEntry_data()
{
    QTest::addColumn<Action>("act");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("citation"); // empty: none applies
    QTest::addColumn<std::function<void(const QJsonObject& details)>>("check");

    QTest::newRow("add") << Action([](MainWindowFixture&, frmMain& w, const QString&) {
        QTest::mouseClick(w.cmdAddEntry, Qt::LeftButton);
        enter(w, 2, "D-4");
        enter(w, 3, "07/01/2006");
        enter(w, 32, "46.2-862");
        enter(w, 39, "Rt 1 NB");
        QTest::mouseClick(w.cmdAddSave, Qt::LeftButton);
    }) << "citation-added" << "D-4" << std::function<void(const QJsonObject&)>([](const QJsonObject& d) {
        QCOMPARE(d["fields"].toObject()["CodeSection"].toString(), QStringLiteral("46.2-862"));
        QVERIFY(!d.contains("record")); // the bytes only where a citation is gone
    });
    QTest::newRow("edit") << Action([](MainWindowFixture&, frmMain& w, const QString&) {
        QTest::mouseClick(w.cmdEditEntry, Qt::LeftButton);
        w.txtField[40]->setText(QStringLiteral("MM 99"));
        QTest::mouseClick(w.cmdEditSave, Qt::LeftButton);
    }) << "citation-edited" << "B-2" << std::function<void(const QJsonObject&)>([](const QJsonObject& d) {
        const QJsonObject change = d["changes"].toArray().at(0).toObject();
        QCOMPARE(d["changes"].toArray().size(), 1);
        QCOMPARE(change["field"].toString(), QStringLiteral("OccurredAt"));
        QCOMPARE(change["old"].toString(), QStringLiteral("MM 12"));
        QCOMPARE(change["new"].toString(), QStringLiteral("MM 99"));
    });
    QTest::newRow("delete") << Action([](MainWindowFixture& f, frmMain& w, const QString&) {
        f.msgs.expect("Are you SURE you wish to delete\r\n\r\nCitation Number B-2,\r\n\r\ndated 02/02/2006?", "Confirm",
                      Msg::YesNo | Msg::Question | Msg::DefaultButton2, Msg::Yes);
        QTest::mouseClick(w.cmdDeleteEntry, Qt::LeftButton);
    }) << "citation-deleted" << "B-2" << std::function<void(const QJsonObject&)>([](const QJsonObject& d) {
        const std::optional<CitationRecord> rebuilt = AuditEvents::citationFromDetails(d);
        QVERIFY(rebuilt);
        QCOMPARE(rebuilt->bytes(), citation("B-2", QDate(2006, 2, 2)).bytes());
    });
    QTest::newRow("print sheet") << Action([](MainWindowFixture& f, frmMain& w, const QString&) {
        f.msgs.expect("Ready to Print.\r\n\r\nProceed?", PrintCaption, Msg::YesNo | Msg::Question, Msg::Yes);
        QTest::mouseClick(w.cmdPrintEntry, Qt::LeftButton);
    }) << "citation-printed" << "B-2" << std::function<void(const QJsonObject&)>([](const QJsonObject& d) {
        QCOMPARE(d["notes"].toBool(true), false);
    });
    QTest::newRow("print list") << Action([](MainWindowFixture& f, frmMain& w, const QString&) {
        f.msgs.expect(ListPrintQuestion(4), "Print List", Msg::YesNoCancel | Msg::Question, Msg::Yes);
        QTest::mouseClick(w.cmdPrintList, Qt::LeftButton);
    }) << "list-printed" << "" << std::function<void(const QJsonObject&)>([](const QJsonObject& d) {
        QCOMPARE(d["count"].toInt(), 3);
        QCOMPARE(d["scope"].toString(), QStringLiteral("all citations"));
    });
    QTest::newRow("export") << Action([](MainWindowFixture& f, frmMain& w, const QString& elsewhere) {
        FakeSaveDialog dialog;
        const QString target = QDir(elsewhere).filePath("out.csv");
        dialog.answers << FakeSaveDialog::Answer{target, 1};
        f.msgs.expect("3 citations were exported to\r\n\r\n" + QDir::toNativeSeparators(target), "Export List",
                      Msg::Information | Msg::OKOnly, Msg::OK);
        w.cmdExportList_Click();
    }) << "list-exported" << "" << std::function<void(const QJsonObject&)>([](const QJsonObject& d) {
        QVERIFY(d["file"].toString().endsWith("out.csv"));
        QCOMPARE(d["count"].toInt(), 3);
        QCOMPARE(d["columns"].toString(), QStringLiteral("every field"));
    });
    QTest::newRow("statistics") << Action([](MainWindowFixture&, frmMain& w, const QString&) {
        frmStatistics window(w.ListedRecordNumbers(), QStringLiteral("All"), &w);
        window.cmdPrint_Click();
    }) << "statistics-printed" << "" << std::function<void(const QJsonObject&)>([](const QJsonObject& d) {
        QCOMPARE(d["count"].toInt(), 3);
    });
    QTest::newRow("log-out") << Action([](MainWindowFixture&, frmMain& w, const QString&) {
        QTest::mouseClick(w.cmdAdminWindow, Qt::LeftButton);
    }) << "log-out" << "" << std::function<void(const QJsonObject&)>([](const QJsonObject&) {});
    QTest::newRow("backup") << Action([](MainWindowFixture& f, frmMain& w, const QString& elsewhere) {
        FakeFolderPicker picker;
        picker.answers << elsewhere;
        f.msgs.expect(QStringLiteral("You have selected\r\n\r\n'") + elsewhere
                          + "/'\r\n\r\nas your data backup location.\r\nPlease click <OK> to continue.",
                      "Backup Procedure", Msg::Information | Msg::OKCancel, Msg::OK);
        f.msgs.expect("Your current Sennet data files\r\nhave been successfully backed up!", "Sennet", Msg::OKOnly,
                      Msg::OK);
        w.menuBackupRestore_Click(1);
    }) << "backup" << "" << std::function<void(const QJsonObject&)>([](const QJsonObject& d) {
        QCOMPARE(d["result"].toString(), QStringLiteral("done"));
        QCOMPARE(d["files"].toArray().at(0).toString(), QStringLiteral("Sennet.Data"));
    });
    QTest::newRow("restore") << Action([](MainWindowFixture& f, frmMain& w, const QString& elsewhere) {
        WriteCitations(QDir(elsewhere).filePath("Sennet.Data"), {citation("R-1", QDate(2006, 5, 5))});
        FakeFolderPicker picker;
        picker.answers << elsewhere;
        f.msgs.expect("Note:\r\n\r\nYou are about to replace your current data files\r\nwith previously made backup "
                      "data files.\r\n\r\nOnce completed, this action can not be undone.\r\n\r\nAre you sure you're "
                      "ready to continue?",
                      "Important! Please read carefully...", Msg::Exclamation | Msg::YesNo | Msg::DefaultButton2,
                      Msg::Yes);
        f.msgs.expect("Your previously backed up \r\nSennet data files\r\nhas been successfully restored!\r\n\r\n"
                      "The backup did not hold these files,\r\nso they were left as they were:\r\nUser.List\r\nUser.Log",
                      "Sennet", Msg::OKOnly, Msg::OK);
        w.menuBackupRestore_Click(2);
    }) << "restore" << "" << std::function<void(const QJsonObject&)>([](const QJsonObject& d) {
        QCOMPARE(d["result"].toString(), QStringLiteral("done"));
        QCOMPARE(d["files"].toArray().size(), 1);
    });
}

void tst_AuditWiring::eachActionWritesOneEntry()
{
    QFETCH(Action, act);
    QFETCH(QString, action);
    QFETCH(QString, citation);
    QFETCH(std::function<void(const QJsonObject&)>, check);

    MainWindowFixture f;
    RecordingPrinter printer;
    ScriptedProgress progress;
    QTemporaryDir elsewhere;
    f.write({::citation("A-1", QDate(2006, 1, 1)), ::citation("B-2", QDate(2006, 2, 2)),
             ::citation("C-3", QDate(2006, 3, 3))});
    frmMain& w = f.open();
    w.SelectRow(1, false);
    act(f, w, elsewhere.path());
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));

    const QList<QJsonObject> entries = trail();
    QCOMPARE(entries.size(), 1);
    const QJsonObject e = entries.first();
    QCOMPARE(e["action"].toString(), action);
    QCOMPARE(e["user"].toString(), QStringLiteral("Jane Doe"));
    QCOMPARE(e["level"].toInt(), 4);
    QCOMPARE(QDateTime::fromString(e["utc"].toString(), Qt::ISODate), f.clock.moment.toUTC());
    QVERIFY(e["local"].toString().startsWith(QStringLiteral("2006-07-04T14:05:30")));
    QCOMPARE(e["citation"].toString(), citation);
    if (!citation.isEmpty())
        QVERIFY(e["key"].toInt() > 0);
    check(e["details"].toObject());
    QVERIFY(auditStore().verify().clean);
}

void tst_AuditWiring::refusedChangeWritesNoEntry()
{
    // The data file refuses the save after its entry was written: the entry
    // is taken back, and the trail stays whole.
    MainWindowFixture f;
    f.write({citation("A-1", QDate(2006, 1, 1))});
    frmMain& w = f.open();
    QTest::mouseClick(w.cmdEditEntry, Qt::LeftButton);
    w.txtField[40]->setText(QStringLiteral("MM 77"));
    {
        InjectedFaults faults;
        faults.onlyFile(CitationFileName).diskFullAfter(0);
        f.msgs.expect(QStringLiteral("The file \"Sennet.Data\" could not be written: No space left on device\r\n\r\n"
                                     "The citation was not saved; your entries\r\nare still on the screen."),
                      "Citation Not Saved", Msg::Critical | Msg::OKOnly, Msg::OK);
        QTest::mouseClick(w.cmdEditSave, Qt::LeftButton);
    }
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(w.Editing);
    QCOMPARE(trail().size(), 0);
    const AuditVerdict v = auditStore().verify();
    QVERIFY2(v.clean, qPrintable(v.problem));

    QTest::mouseClick(w.cmdEditSave, Qt::LeftButton);
    QCOMPARE(trail().size(), 1);
    QVERIFY(auditStore().verify().clean);
}

void tst_AuditWiring::failingTrailRefusesTheChange_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("add") << "add";
    QTest::newRow("edit") << "edit";
    QTest::newRow("delete") << "delete";
}

void tst_AuditWiring::failingTrailRefusesTheChange()
{
    QFETCH(QString, operation);
    MainWindowFixture f;
    f.write({citation("A-1", QDate(2006, 1, 1))});
    const QByteArray before = ReadFile(CitationFileName);
    frmMain& w = f.open();
    const QString reason = QStringLiteral("The file \"Sennet.Audit\" could not be written: No space left on device");
    InjectedFaults faults;
    faults.onlyFile(QStringLiteral("Sennet.Audit")).diskFullAfter(0);
    if (operation == QLatin1String("delete")) {
        f.msgs.expect("Are you SURE you wish to delete\r\n\r\nCitation Number A-1,\r\n\r\ndated 01/01/2006?", "Confirm",
                      Msg::YesNo | Msg::Question | Msg::DefaultButton2, Msg::Yes);
        f.msgs.expect(reason + "\r\n\r\nThe citation was not deleted.", "Citation Not Deleted",
                      Msg::Critical | Msg::OKOnly, Msg::OK);
        QTest::mouseClick(w.cmdDeleteEntry, Qt::LeftButton);
    } else {
        if (operation == QLatin1String("add")) {
            QTest::mouseClick(w.cmdAddEntry, Qt::LeftButton);
            enter(w, 2, "N-9");
            enter(w, 3, "07/01/2006");
            enter(w, 32, "46.2-862");
            enter(w, 39, "Rt 1 NB");
        } else {
            QTest::mouseClick(w.cmdEditEntry, Qt::LeftButton);
            w.txtField[40]->setText(QStringLiteral("MM 55"));
        }
        f.msgs.expect(reason + "\r\n\r\nThe citation was not saved; your entries\r\nare still on the screen.",
                      "Citation Not Saved", Msg::Critical | Msg::OKOnly, Msg::OK);
        QTest::mouseClick(operation == QLatin1String("add") ? w.cmdAddSave : w.cmdEditSave, Qt::LeftButton);
        QVERIFY(w.Adding || w.Editing);
        QCOMPARE(w.txtField[operation == QLatin1String("add") ? 2 : 40]->text(),
                 operation == QLatin1String("add") ? QStringLiteral("N-9") : QStringLiteral("MM 55"));
    }
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(ReadFile(CitationFileName), before);
}

void tst_AuditWiring::idleLockKeepsTheEditForItsUser()
{
    MainWindowFixture f;
    f.settings.values["Security/IdleLockMinutes"] = "10";
    WriteUsers(UserListFileName, {UserBytes500::user("Jane", "Doe", "AbCd", 4)});
    f.write({citation("A-1", QDate(2006, 1, 1))});
    frmMain& w = f.open();
    QVERIFY(w.idleLock->watching());
    QTest::mouseClick(w.cmdEditEntry, Qt::LeftButton);
    w.txtField[40]->setText(QStringLiteral("MM 42"));

    f.clock.moment = f.clock.moment.addSecs(9 * 60);
    w.idleLock->poll();
    QVERIFY(!w.isDeskLocked());
    f.clock.moment = f.clock.moment.addSecs(60);
    w.idleLock->poll();
    QVERIFY(w.isDeskLocked());
    DeskLockBox* box = w.lockBox();
    // The citations are covered, and nothing behind the box can be used.
    QCOMPARE(box->geometry(), w.rect());
    QVERIFY(box->isVisible() && !w.frame[2]->isEnabled() && !w.cmdEditSave->isEnabled());
    QCOMPARE(box->cboUser->currentText(), QStringLiteral("Jane Doe"));
    QTest::keyClick(w.txtField[40].widget(), Qt::Key_S, Qt::ControlModifier); // no save behind the box
    QVERIFY(w.Editing);

    f.msgs.expect("That is not the correct password\r\nassociated with this name", "Incorrect Password",
                  Msg::OKOnly | Msg::Critical, Msg::OK);
    box->txtPassword->setText(QStringLiteral("nope"));
    box->cmdUnlock_Click();
    QVERIFY(w.isDeskLocked());
    box->txtPassword->setText(QStringLiteral("AbCd"));
    box->cmdUnlock_Click();
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(!w.isDeskLocked());
    QVERIFY(w.Editing && w.frame[2]->isEnabled() && !w.frame[1]->isEnabled());
    QCOMPARE(w.txtField[40]->text(), QStringLiteral("MM 42"));
    QVERIFY(w.idleLock->watching());
    QTest::mouseClick(w.cmdEditSave, Qt::LeftButton);
    QCOMPARE(CitationBytes3000::readText(ReadCitations(CitationFileName).at(0), "OccurredAt").trimmed(),
             QByteArray("MM 42"));
    QStringList actions;
    for (const QJsonObject& e : trail())
        actions << e["action"].toString();
    QCOMPARE(actions, (QStringList{"failed-log-in", "citation-edited"}));
    QVERIFY(!ReadFile("Sennet.Audit").contains("nope") && !ReadFile("Sennet.Audit").contains("AbCd"));
}

void tst_AuditWiring::idleLockAnotherUserEndsTheSession()
{
    MainWindowFixture f;
    int mainWindows = 0;
    windowHandOver().showMainWindow = [&] { ++mainWindows; };
    f.settings.values["Security/IdleLockMinutes"] = "5";
    WriteUsers(UserListFileName,
               {UserBytes500::user("Jane", "Doe", "AbCd", 4), UserBytes500::user("Joe", "Roe", "WxYz", 2)});
    f.write({citation("A-1", QDate(2006, 1, 1))});
    frmMain& w = f.open();
    QTest::mouseClick(w.cmdEditEntry, Qt::LeftButton);
    w.txtField[40]->setText(QStringLiteral("never saved"));
    f.clock.moment = f.clock.moment.addSecs(5 * 60);
    w.idleLock->poll();
    DeskLockBox* box = w.lockBox();
    QVERIFY(box);
    box->cboUser->setCurrentText(QStringLiteral("Joe Roe"));
    box->txtPassword->setText(QStringLiteral("WxYz"));
    box->cmdUnlock_Click();
    QCoreApplication::processEvents();
    QTRY_VERIFY(!f.window);
    QCOMPARE(mainWindows, 1);
    QCOMPARE(CurrentUserName, QStringLiteral("Joe Roe"));
    QCOMPARE(CurrentAccessLevel, qint16(2));
    QCOMPARE(ReadFile(UserLogFileName),
             QByteArray("07/04/2006 at 14:10:30 - Jane Doe logged out.\r\n"
                        "07/04/2006 at 14:10:30 - Joe Roe logged in w/ Read/Edit privileges.\r\n"));
    QList<QPair<QString, QString>> entries;
    for (const QJsonObject& e : trail())
        entries << qMakePair(e["action"].toString(), e["user"].toString());
    QCOMPARE(entries, (QList<QPair<QString, QString>>{{"log-out", "Jane Doe"}, {"log-in", "Joe Roe"}}));
    QCOMPARE(CitationBytes3000::readText(ReadCitations(CitationFileName).at(0), "OccurredAt").trimmed(),
             QByteArray("MM 12"));
}

QTEST_MAIN(tst_AuditWiring)
#include "tst_auditwiring.moc"
