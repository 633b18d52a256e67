// Adding, editing, saving, cancelling and deleting citations through the main
// window, with the default values and the checks before a save.
#include "FaultInjection.h"
#include "MainWindowFixture.h"
#include "session/AppSettings.h"
#include "widgets/VellButton.h"
#include "workspace/Validation.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

namespace {

QWidget* focused() { return QApplication::focusWidget(); }

// Types into a field the way a user does: the focus enters it first.
void enter(frmMain& w, int index, const QString& text = QString())
{
    w.MainTab->setCurrentIndex(PageOfField(index));
    w.txtField[size_t(index)].widget()->setFocus();
    if (!text.isNull())
        w.txtField[size_t(index)]->setText(text);
}

void fillMandatory(frmMain& w, const QString& number, const QString& date)
{
    enter(w, 2, number);
    enter(w, 3, date);
    enter(w, 32, QStringLiteral("46.2-862"));
    enter(w, 39, QStringLiteral("Rt 1 NB"));
}

QByteArray storedText(int record, const char* field)
{
    return CitationBytes3000::readText(ReadCitations(CitationFileName).at(record - 1), field).trimmed();
}

} // namespace

class tst_Editing : public QObject {
    Q_OBJECT
private slots:
    void plainAddWithDefaults();
    void templateAddCopiesFieldByField();
    void rightClickWithoutCitationStartsPlainAdd();
    void secondAddPrefillsFromTheFirst();
    void cancelledAddRestoresTheWindow();
    void editRewritesTheSameRecord();
    void cancelledEditShowsTheStoredValues();
    void refusedSaveFocusesTheField();
    void acceptedTextsAreNormalised();
    void failedWriteKeepsTheEntries();
    void deleteAsksAndCompacts();
    void deletingTheLastCitation();
    void lowLevelsCannotChangeAnything();
    void defaultValuesFillAPlainAdd();
    void accessKeysPressButtonsBeforePages();
};

void tst_Editing::plainAddWithDefaults()
{
    MainWindowFixture f;
    f.settings.values["Defaults/DefaultNCICNumber"] = "VA0290000";
    f.write({citation("100", QDate(2006, 1, 5)), citation("101", QDate(2006, 3, 1))});
    frmMain& w = f.open();
    QTest::mouseClick(w.cmdAddEntry, Qt::LeftButton);
    QVERIFY(w.Adding);
    QCOMPARE(w.txtField[1]->text(), QStringLiteral("VA0290000"));
    QCOMPARE(focused(), w.txtField[2].widget());
    QVERIFY(!w.frame[1]->isVisible());
    QVERIFY(w.cmdAddSave->isVisible() && w.cmdAddCancel->isVisible());
    QVERIFY(!w.cmdAddEntry->isVisible() && !w.cmdEditEntry->isVisible() && !w.cmdDeleteEntry->isVisible());
    QVERIFY(!w.cmdAdminWindow->isEnabled());
    QVERIFY(!w.MainTab->isTabEnabled(frmMain::DefaultsPage));
    QCOMPARE(w.lblField[2]->palette().color(QPalette::WindowText), QColor(192, 0, 0));
    QVERIFY(w.lblInstructions->isVisible());

    fillMandatory(w, QStringLiteral("102"), QStringLiteral("2/1/2006"));
    QTest::mouseClick(w.cmdAddSave, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(!w.Adding);
    QCOMPARE(QFileInfo(CitationFileName).size(), 9000);
    QCOMPARE(storedText(3, "CitationNumber"), QByteArray("102"));
    QCOMPARE(storedText(3, "NCICNumber"), QByteArray("VA0290000"));
    // Saved with empty "Date Entered"/"Time Entered": the moment of saving.
    QCOMPARE(CitationBytes3000::readDate(ReadCitations(CitationFileName).at(2), "DateEntered"),
             OleDate(QDate(2006, 7, 4), QTime(14, 5, 30)));
    QCOMPARE(f.listedRecords(), QList<int>({1, 3, 2})); // reloaded, in date order
    QVERIFY(w.frame[1]->isVisible());
    QCOMPARE(w.lblField[2]->palette().color(QPalette::WindowText), QColor(0, 0, 0));
    QVERIFY(w.cmdAddEntry->isVisible() && !w.cmdAddSave->isVisible());
}

void tst_Editing::templateAddCopiesFieldByField()
{
    MainWindowFixture f;
    f.settings.values["Defaults/DefaultCounty"] = "Fairfax";
    CitationBytes3000 shown = citation("12345", QDate(2006, 9, 14));
    shown.text("NCICNumber", "VA043").text("Hair", "BRN").text("County", "Arlington");
    f.write({shown});
    frmMain& w = f.open();
    QTest::mouseClick(w.cmdAddEntry, Qt::RightButton);
    QVERIFY(w.Adding);
    QVERIFY(w.TemplateMode);
    QCOMPARE(w.txtField[37]->text(), QString()); // no default values in a template add
    // The focus starts in "NCIC Number", which at once takes the shown value.
    QCOMPARE(focused(), w.txtField[1].widget());
    QCOMPARE(w.txtField[1]->text(), QStringLiteral("VA043"));
    QCOMPARE(w.txtField[2]->text(), QString());
    enter(w, 2);
    QCOMPARE(w.txtField[2]->text(), QStringLiteral("12345"));
    enter(w, 18);
    QCOMPARE(w.txtField[18]->text(), QStringLiteral("BRN"));
    QCOMPARE(w.txtField[37]->text(), QString()); // not entered yet: still empty
    QTest::mouseClick(w.cmdAddCancel, Qt::LeftButton);
    QVERIFY(!w.Adding && !w.TemplateMode);
    QCOMPARE(QFileInfo(CitationFileName).size(), 3000);
}

void tst_Editing::rightClickWithoutCitationStartsPlainAdd()
{
    MainWindowFixture f;
    f.msgs.expect("There are currently\r\nno citations on file...", "Sennet", Msg::Information, Msg::OK);
    frmMain& w = f.open();
    QTest::mouseClick(w.cmdAddEntry, Qt::RightButton);
    QVERIFY(w.Adding);
    QVERIFY(!w.TemplateMode);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
}

void tst_Editing::secondAddPrefillsFromTheFirst()
{
    MainWindowFixture f;
    CitationBytes3000 shown = citation("50", QDate(2006, 1, 1));
    shown.int16("Weather", 3).int16("Accident", 1).int16("Lighting", 0); // 0: no choice, as in a damaged record
    f.write({shown});
    frmMain& w = f.open();
    w.StartAdd();
    QVERIFY(w.optWeather[3]->isChecked()); // the shown citation's choices stay
    QVERIFY(!w.chkAccident->isChecked());  // check boxes start cleared
    QVERIFY(w.optLighting[1]->isChecked()); // a group showing no choice starts at its usual one
    fillMandatory(w, QStringLiteral("51"), QStringLiteral("1/2/2006"));
    enter(w, 18, QStringLiteral("RED"));
    QVERIFY(w.SaveCitation());

    w.StartAdd();
    QCOMPARE(w.txtField[2]->text(), QString());
    enter(w, 18);
    QCOMPARE(w.txtField[18]->text(), QStringLiteral("RED"));
    enter(w, 39);
    QCOMPARE(w.txtField[39]->text(), QStringLiteral("Rt 1 NB"));
    // Fields that take no recall value on entry while adding stay as they are.
    enter(w, 2);
    QCOMPARE(w.txtField[2]->text(), QStringLiteral("51"));
}

void tst_Editing::cancelledAddRestoresTheWindow()
{
    MainWindowFixture f;
    f.write({citation("7", QDate(2006, 1, 1)), citation("8", QDate(2006, 2, 1))});
    frmMain& w = f.open();
    const QRect before = w.geometry();
    const int editorTop = w.frame[2]->y();
    const int shown = w.SelectedRecordNumber();
    w.StartAdd();
    QVERIFY(w.height() < before.height());
    QCOMPARE(w.frame[2]->y(), w.frame[1]->y());
    QTest::keyClick(w.txtField[5].widget(), Qt::Key_Escape); // Esc cancels the add
    QVERIFY(!w.Adding);
    QCOMPARE(w.geometry(), before);
    QCOMPARE(w.frame[2]->y(), editorTop);
    QCOMPARE(w.SelectedRecordNumber(), shown);
    QCOMPARE(w.txtField[2]->text(), QStringLiteral("8"));
    QCOMPARE(w.CancelButton(), w.cmdQuit);
}

void tst_Editing::editRewritesTheSameRecord()
{
    MainWindowFixture f;
    CitationBytes3000 a = citation("A-1", QDate(2006, 1, 1));
    a.date("DateEntered", QDate(2006, 1, 2), QTime(8, 0)).date("TimeEntered", QDate(2006, 1, 2), QTime(8, 0));
    f.write({a, citation("B-2", QDate(2006, 6, 1)), citation("C-3", QDate(2006, 9, 1))});
    frmMain& w = f.open();
    w.SelectRow(0, false);
    QCOMPARE(w.SelectedRecordNumber(), 1);
    QTest::mouseClick(w.cmdEditEntry, Qt::LeftButton);
    QVERIFY(w.Editing);
    QVERIFY(!w.frame[1]->isEnabled());
    QVERIFY(!w.frame[3]->isEnabled()); // "Date Entered" and "Time Entered" stay
    QVERIFY(w.frame[4]->isEnabled());
    QCOMPARE(w.CancelButton(), w.cmdEditCancel);
    w.txtField[3]->setText(QStringLiteral("12/24/2006"));
    w.txtField[2]->setText(QStringLiteral("A-1X"));
    w.txtField[40]->setText(QStringLiteral("MM 99"));
    QTest::mouseClick(w.cmdEditSave, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(!w.Editing && w.frame[1]->isEnabled());
    QCOMPARE(QFileInfo(CitationFileName).size(), 9000);
    QCOMPARE(storedText(1, "CitationNumber"), QByteArray("A-1X"));
    QCOMPARE(CitationBytes3000::readDate(ReadCitations(CitationFileName).at(0), "DateEntered"),
             OleDate(QDate(2006, 1, 2), QTime(8, 0)));
    // The row shows what a reload would, and its date key moves with the date.
    const CitationRow& row = w.listModel->row(w.SelectedRow());
    QCOMPARE(row.date, QStringLiteral("12/24/2006"));
    QCOMPARE(row.citationNumber, QStringLiteral("A-1X"));
    QCOMPARE(row.location, QStringLiteral("Rt 1 NB / MM 99"));
    QCOMPARE(row.dateSort, QStringLiteral("20061224"));
    w.optSort_Click(1);
    w.optSort_Click(0);
    QCOMPARE(f.listedRecords(), QList<int>({2, 3, 1}));
}

void tst_Editing::cancelledEditShowsTheStoredValues()
{
    MainWindowFixture f;
    f.write({citation("A-1", QDate(2006, 1, 1))});
    frmMain& w = f.open();
    w.StartEdit();
    w.txtField[2]->setText(QStringLiteral("changed"));
    QTest::mouseClick(w.cmdEditCancel, Qt::LeftButton);
    QVERIFY(!w.Editing);
    QCOMPARE(w.txtField[2]->text(), QStringLiteral("A-1"));
    QVERIFY(w.txtField[2]->isLocked());
    QCOMPARE(storedText(1, "CitationNumber"), QByteArray("A-1"));
}

void tst_Editing::refusedSaveFocusesTheField()
{
    MainWindowFixture f;
    f.write({citation("A-1", QDate(2006, 1, 1))});
    frmMain& w = f.open();
    w.StartAdd();
    fillMandatory(w, QStringLiteral("   "), QStringLiteral("1/1/2006"));
    f.msgs.expect(ValidationText::MandatoryText(), "Data entry required", Msg::Critical, Msg::OK);
    QVERIFY(!w.SaveCitation());
    QCOMPARE(w.MainTab->currentIndex(), 0);
    QCOMPARE(focused(), w.txtField[2].widget());

    w.txtField[2]->setText(QStringLiteral("A-2"));
    w.txtField[3]->setText(QStringLiteral("2/30/2006"));
    f.msgs.expect("I don't recognize\r\n\r\n   2/30/2006\r\n\r\nas a valid date or time.",
                  "Unrecognizable Date or Time", Msg::Critical, Msg::OK);
    QVERIFY(!w.SaveCitation());
    QCOMPARE(focused(), w.txtField[3].widget());

    w.txtField[3]->setText(QStringLiteral("2/3/2006"));
    w.chkSpeeding->setChecked(true);
    f.msgs.expect("You indicate a Speeding Violation,\r\nbut you didn't enter a Measured Speed!", "Missing Information",
                  Msg::Critical, Msg::OK);
    QVERIFY(!w.SaveCitation());
    QCOMPARE(w.MainTab->currentIndex(), 3);
    QCOMPARE(focused(), w.txtField[34].widget());
    QVERIFY(w.Adding);
    QCOMPARE(QFileInfo(CitationFileName).size(), 3000); // nothing written
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
}

void tst_Editing::acceptedTextsAreNormalised()
{
    MainWindowFixture f;
    frmMain& w = [&]() -> frmMain& {
        f.msgs.expect("There are currently\r\nno citations on file...", "Sennet", Msg::Information, Msg::OK);
        return f.open();
    }();
    w.StartAdd();
    fillMandatory(w, QStringLiteral("  9  "), QStringLiteral("Feb 3, 2006"));
    w.txtField[15]->setText(QStringLiteral("wm"));
    QVERIFY(w.SaveCitation());
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(storedText(1, "RaceSex"), QByteArray("WM"));
    QCOMPARE(CitationBytes3000::readText(ReadCitations(CitationFileName).at(0), "CitationNumber"),
             QByteArray("9           "));
    QCOMPARE(w.txtField[3]->text(), QStringLiteral("02/03/2006"));
    QCOMPARE(w.txtField[15]->text(), QStringLiteral("WM"));
}

void tst_Editing::failedWriteKeepsTheEntries()
{
    MainWindowFixture f;
    f.msgs.expect("There are currently\r\nno citations on file...", "Sennet", Msg::Information, Msg::OK);
    frmMain& w = f.open();
    w.StartAdd();
    fillMandatory(w, QStringLiteral("77"), QStringLiteral("3/3/2006"));
    // The disk is full when the citation is written.
    InjectedFaults faults;
    faults.onlyFile(CitationFileName).diskFullAfter(0);
    const QString reason = "The file \"Sennet.Data\" could not be written: " + FileIo::errorText(ENOSPC);
    f.msgs.expect(reason + "\r\n\r\nThe citation was not saved; your entries\r\nare still on the screen.",
                  "Citation Not Saved", Msg::Critical, Msg::OK);
    QVERIFY(!w.SaveCitation());
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(w.Adding);
    QCOMPARE(w.txtField[2]->text(), QStringLiteral("77"));
    QCOMPARE(w.txtField[39]->text(), QStringLiteral("Rt 1 NB"));
    QVERIFY(w.isEnabled());
}

void tst_Editing::deleteAsksAndCompacts()
{
    MainWindowFixture f;
    f.write({citation("A-1", QDate(2006, 1, 1)), citation("B-2", QDate(2006, 2, 2)), citation("C-3", QDate(2006, 3, 3))});
    frmMain& w = f.open();
    w.SelectRow(1, false);
    QCOMPARE(w.SelectedRecordNumber(), 2);
    const QString question = "Are you SURE you wish to delete\r\n\r\nCitation Number B-2,\r\n\r\ndated 02/02/2006?";
    const int flags = Msg::YesNo | Msg::Question | Msg::DefaultButton2;
    f.msgs.expect(question, "Confirm", flags, Msg::No);
    QTest::mouseClick(w.cmdDeleteEntry, Qt::LeftButton);
    QCOMPARE(QFileInfo(CitationFileName).size(), 9000);
    QCOMPARE(w.SelectedRecordNumber(), 2);

    f.msgs.expect(question, "Confirm", flags, Msg::Yes);
    QTest::mouseClick(w.cmdDeleteEntry, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(QFileInfo(CitationFileName).size(), 6000);
    QCOMPARE(storedText(2, "CitationNumber"), QByteArray("C-3"));
    QCOMPARE(w.CitationsInList(), 2);
    QCOMPARE(focused(), static_cast<QWidget*>(w.grid));
    QVERIFY(w.isEnabled());
}

void tst_Editing::deletingTheLastCitation()
{
    MainWindowFixture f;
    f.write({citation("A-1", QDate(2006, 1, 1))});
    frmMain& w = f.open();
    f.msgs.expect("Are you SURE you wish to delete\r\n\r\nCitation Number A-1,\r\n\r\ndated 01/01/2006?", "Confirm",
                  Msg::YesNo | Msg::Question | Msg::DefaultButton2, Msg::Yes);
    f.msgs.expect("There are currently\r\nno citations on file...", "Sennet", Msg::Information, Msg::OK);
    w.cmdDeleteEntry_Click();
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(!QFile::exists(CitationFileName) || QFileInfo(CitationFileName).size() == 0);
    QVERIFY(!w.MainTab->isVisible());
    QCOMPARE(focused(), static_cast<QWidget*>(w.cmdAddEntry));
}

void tst_Editing::lowLevelsCannotChangeAnything()
{
    for (int level = 1; level <= 4; ++level) {
        MainWindowFixture f(level);
        f.write({citation("A-1", QDate(2006, 1, 1)), citation("B-2", QDate(2006, 2, 2))});
        frmMain& w = f.open();
        QCOMPARE(w.cmdAddEntry->isEnabled(), level >= 3);
        QCOMPARE(w.cmdEditEntry->isEnabled(), level >= 2);
        QCOMPARE(w.cmdDeleteEntry->isEnabled(), level == 4);
        QTest::mouseClick(w.cmdAddEntry, Qt::LeftButton);
        QTest::mouseClick(w.cmdAddEntry, Qt::RightButton);
        QCOMPARE(bool(w.Adding), level >= 3);
        if (w.Adding)
            w.EndAdd();
        QTest::mouseClick(w.cmdEditEntry, Qt::LeftButton);
        QCOMPARE(bool(w.Editing), level >= 2);
        if (w.Editing)
            w.EndEdit();
        if (level < 4) {
            QTest::mouseClick(w.cmdDeleteEntry, Qt::LeftButton); // disabled: no question
            QCOMPARE(QFileInfo(CitationFileName).size(), 6000);
        }
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    }
}

void tst_Editing::defaultValuesFillAPlainAdd()
{
    MainWindowFixture f;
    f.write({citation("A-1", QDate(2006, 1, 1))});
    frmMain& w = f.open();
    QVERIFY(!w.DefaultsChanged);
    w.MainTab->setCurrentIndex(frmMain::DefaultsPage);
    QVERIFY(w.frame[15]->isEnabled());
    w.txtDefault[3]->setText(QStringLiteral("  Fairfax"));
    w.txtDefault[5]->setText(QStringLiteral("x"));
    w.txtDefault[5]->setText(QString());
    QVERIFY(w.DefaultsChanged);
    w.StartAdd();
    QCOMPARE(w.txtField[37]->text(), QStringLiteral("Fairfax"));
    QCOMPARE(w.txtField[43]->text(), QString());
    QCOMPARE(w.txtField[1]->text(), QString());
    QCOMPARE(focused(), w.txtField[1].widget());
    QVERIFY(!f.settings.has("Defaults", "DefaultCounty")); // nothing stored
    w.EndAdd();
    // Not reachable while a sub-list is shown.
    w.FullListMode = frmMain::FlagOff;
    w.SubListMode = frmMain::FlagOn;
    w.ShowSelectedCitation();
    QVERIFY(!w.MainTab->isTabEnabled(frmMain::DefaultsPage));
}

void tst_Editing::accessKeysPressButtonsBeforePages()
{
    MainWindowFixture f;
    f.write({citation("A-1", QDate(2006, 1, 1)), citation("B-2", QDate(2006, 2, 2))});
    frmMain& w = f.open();
    // "&Delete this" and "&Defendant" share their key: the button wins while it can be pressed.
    f.msgs.expect("Are you SURE you wish to delete\r\n\r\nCitation Number B-2,\r\n\r\ndated 02/02/2006?", "Confirm",
                  Msg::YesNo | Msg::Question | Msg::DefaultButton2, Msg::No);
    QTest::keyClick(w.grid, Qt::Key_D, Qt::AltModifier);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(w.MainTab->currentIndex(), 0);
    // While editing the delete button is hidden, and the key goes to the page.
    w.StartEdit();
    QTest::keyClick(w.txtField[1].widget(), Qt::Key_D, Qt::AltModifier);
    QCOMPARE(w.MainTab->currentIndex(), 1);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(VellButton::AccessKeyOf(QStringLiteral("&Save\r\nNew Entry")), QChar(u's'));
    QCOMPARE(VellButton::AccessKeyOf(QStringLiteral("Print\r\n&List")), QChar(u'l'));
    QCOMPARE(VellButton::AccessKeyOf(QStringLiteral("A && B")), QChar());
    QCOMPARE(VellButton::AccessKeyOf(QStringLiteral("&")), QChar());
}

QTEST_MAIN(tst_Editing)
#include "tst_editing.moc"
