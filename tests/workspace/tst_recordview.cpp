// The main window's record editor: showing a citation, the button states by
// mode and access level, field behaviour while adding and editing, the notes
// indicator, keys, the default values page and the way back to the admin window.
#include "MainWindowFixture.h"
#include "widgets/VellButton.h"
#include "store/SearchSettings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

namespace {

CitationBytes3000 detailed()
{
    CitationBytes3000 r = citation("C-77", QDate(2006, 7, 4), QTime(9, 5));
    r.text("NCICNumber", "  VA043  ").text("DefendantName", "DOE, JOHN").text("Hair", "BRN")
        .date("DateEntered", QDate(2006, 7, 5), QTime(8, 0)).date("TimeEntered", QDate(2006, 7, 5), QTime(16, 45))
        .int16("MeasuredSpeed", 0).int16("PostedSpeed", 55).int16("Speeding", 1).int16("Accident", 1)
        .int16("Weather", 3).int16("SceneDisposition", 2).int16("Lighting", 0)
        .text("Notes", "first line\r\nsecond line");
    return r;
}

// Puts the editor in the state an add or an edit leaves it in.
void unlockForChanges(frmMain& w, bool adding)
{
    (adding ? w.Adding : w.Editing) = frmMain::FlagOn;
    for (int i = 1; i <= 48; ++i)
        w.txtField[size_t(i)]->setLocked(false);
    for (int fr = 3; fr <= 14; ++fr)
        w.frame[size_t(fr)]->setEnabled(true);
}

} // namespace

class tst_RecordView : public QObject {
    Q_OBJECT
private slots:
    void displayRules();
    void valuesReadBackFromTheWindow();
    void pagesCaptionsAndLimits();
    void buttonsByLevelCountAndMode_data();
    void buttonsByLevelCountAndMode();
    void lockedFieldsSendTheFocusBack();
    void recallValuesWhileEditingAndAdding();
    void automaticDateAndTimeWhileAdding();
    void notesIndicatorAndLimit();
    void dateFieldTooltips();
    void pageChoiceMovesTheFocus();
    void defaultValuesPage();
    void helpTopicFollowsTheState();
    void escapePressesTheCancelButton();
    void flashingSeeAllButton();
    void adminWindowButtonLogsOutAndHandsOver();
};

void tst_RecordView::displayRules()
{
    MainWindowFixture f;
    f.write({detailed()});
    frmMain& w = f.open();
    QCOMPARE(w.txtField[1]->text(), QStringLiteral("VA043"));
    QCOMPARE(w.txtField[3]->text(), QStringLiteral("07/04/2006"));
    QCOMPARE(w.txtField[4]->text(), QStringLiteral("9:05am"));
    QCOMPARE(w.txtField[7]->text(), QStringLiteral("07/05/2006"));
    QCOMPARE(w.txtField[8]->text(), QStringLiteral("4:45pm"));
    QCOMPARE(w.txtField[14]->text(), QString()); // no date of birth: empty, not 12/30/1899
    QCOMPARE(w.txtField[23]->text(), QString());
    QCOMPARE(w.txtField[41]->text(), QString());
    QCOMPARE(w.txtField[42]->text(), QString()); // no court time: empty, not midnight
    QCOMPARE(w.txtField[34]->text(), QString()); // measured speed 0
    QCOMPARE(w.txtField[35]->text(), QStringLiteral("55"));
    QCOMPARE(w.txtField[48]->text(), QStringLiteral("first line\r\nsecond line"));
    QVERIFY(w.chkSpeeding->isChecked() && w.chkAccident->isChecked() && !w.chkDUI->isChecked());
    QVERIFY(w.optWeather[3]->isChecked() && !w.optWeather[1]->isChecked());
    QVERIFY(w.optSceneDisposition[2]->isChecked());
    // A value that names no choice shows none, rather than another citation's.
    for (int c = 1; c <= 3; ++c)
        QVERIFY(!w.optLighting[size_t(c)]->isChecked());
    // Viewing: every field locked and cyan, the frames of choices disabled.
    for (int i = 1; i <= 48; ++i) {
        QVERIFY(w.txtField[size_t(i)]->isLocked());
        QCOMPARE(w.txtField[size_t(i)]->backColor(), QColor(0, 255, 255));
    }
    for (int fr = 3; fr <= 14; ++fr)
        QVERIFY(!w.frame[size_t(fr)]->isEnabled());
    // A stored value longer than its box accepts is shown whole.
    CitationBytes3000 fast = detailed();
    fast.int16("MeasuredSpeed", 1234);
    f.write({fast});
    w.ShowSelectedCitation();
    QCOMPARE(w.txtField[34]->text(), QStringLiteral("1234"));
}

void tst_RecordView::valuesReadBackFromTheWindow()
{
    MainWindowFixture f;
    CitationBytes3000 stored = detailed();
    stored.int16("Lighting", 2).text("Notes", "a\r\nb\r\nc");
    f.write({stored});
    frmMain& w = f.open();
    CitationRecord record = CitationRecord::fromBytes(stored.bytes().constData(), stored.bytes().size());
    const EditorValues expected = EditorValuesFromRecord(record);
    const EditorValues shown = w.EditorValuesFromWindow();
    QCOMPARE(shown.text, expected.text);
    QCOMPARE(shown.checked, expected.checked);
    QCOMPARE(shown.choice, expected.choice);
    // What is saved from the window is what was stored.
    CitationRecord saved;
    QCOMPARE(FillCitationRecord(shown, f.clock.moment, saved), 0);
    QCOMPARE(saved.text(CitationField::Notes), QStringLiteral("a\r\nb\r\nc"));
    QCOMPARE(saved.int16(CitationField::Lighting), qint16(2));
    QCOMPARE(saved.date(CitationField::OffenseTime), record.date(CitationField::OffenseTime));
}

void tst_RecordView::pagesCaptionsAndLimits()
{
    MainWindowFixture f;
    f.write({detailed()});
    frmMain& w = f.open();
    QStringList captions;
    for (int p = 0; p < w.MainTab->count(); ++p)
        captions << w.MainTab->tabText(p);
    QCOMPARE(captions, QStringList({"&Basics", "&Defendant", "&Vehicle", "&Offense", "&Location", "Cour&t", "&Notes",
                                    "De&faults"}));
    QCOMPARE(w.findChild<QLabel*>("lblField(40)")->text(),
             QStringLiteral("at (Intersection) or (Distance/direction from MM or other reference point)"));
    QCOMPARE(w.findChild<QLineEdit*>("txtField(3)")->maxLength(), 10);
    QCOMPARE(w.findChild<QLineEdit*>("txtField(42)")->maxLength(), 7);
    QCOMPARE(w.findChild<QLineEdit*>("txtField(35)")->maxLength(), 2);
    QCOMPARE(w.findChild<QLineEdit*>("txtField(47)")->maxLength(), 70);
    QVERIFY(w.findChild<QPlainTextEdit*>("txtField(48)"));
    QCOMPARE(w.frame[9]->title(), QStringLiteral(" Weather "));
    QCOMPARE(w.lblInstructions->text(),
             QStringLiteral("Use the <Tab> key\r\nto move from\r\none data field\r\nto the next.\r\n\r\n"
                            "Use the <Alt>-letter\r\nkeys to move from\r\none tab to another.\r\n\r\n"
                            "The data fields\r\nwith red labels are\r\nmandatory entries."));
    QVERIFY(w.lblInstructions->isHidden());
    // Each option group keeps its own choice: setting one leaves the others.
    w.optTest[1]->setChecked(true);
    QVERIFY(w.optWeather[3]->isChecked() && w.optTest[1]->isChecked() && w.optSpeeding[3]->isChecked());
}

void tst_RecordView::buttonsByLevelCountAndMode_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("citations");
    QTest::addColumn<bool>("subList");
    // Visible buttons, "-" marking a visible but disabled one.
    QTest::addColumn<QStringList>("expected");

    const QStringList fixed = {"cmdAdminWindow", "cmdHelp", "cmdQuit"};
    QTest::newRow("level 3, none") << 3 << 0 << false << fixed + QStringList{"cmdBackupRestore", "cmdAddEntry", "cmdImportList"};
    QTest::newRow("level 2, none") << 2 << 0 << false << fixed + QStringList{"cmdBackupRestore", "-cmdAddEntry", "-cmdImportList"};
    QTest::newRow("level 4, one") << 4 << 1 << false
                                  << fixed + QStringList{"cmdBackupRestore", "cmdAddEntry", "cmdEditEntry",
                                                         "cmdPrintEntry", "cmdDeleteEntry", "cmdCitationHistory",
                                                         "cmdStatistics", "cmdImportList"};
    QTest::newRow("level 1, one") << 1 << 1 << false
                                  << fixed + QStringList{"cmdBackupRestore", "-cmdAddEntry", "-cmdEditEntry",
                                                         "cmdPrintEntry", "-cmdDeleteEntry", "cmdStatistics",
                                                         "-cmdImportList"};
    QTest::newRow("level 2, two") << 2 << 2 << false
                                  << fixed + QStringList{"cmdBackupRestore", "cmdFindEntries", "cmdPrintList",
                                                         "cmdExportList", "cmdStatistics", "-cmdAddEntry", "cmdEditEntry", "cmdPrintEntry",
                                                         "-cmdDeleteEntry", "-cmdImportList"};
    QTest::newRow("level 3, two") << 3 << 2 << false
                                  << fixed + QStringList{"cmdBackupRestore", "cmdFindEntries", "cmdPrintList",
                                                         "cmdExportList", "cmdStatistics", "cmdAddEntry", "cmdEditEntry", "cmdPrintEntry",
                                                         "-cmdDeleteEntry", "cmdImportList"};
    QTest::newRow("level 4, sub-list") << 4 << 2 << true
                                       << fixed + QStringList{"cmdSeeAllEntries", "cmdPrintList", "cmdExportList",
                                                              "cmdStatistics", "cmdEditEntry", "cmdPrintEntry",
                                                              "cmdCitationHistory"};
    QTest::newRow("level 1, sub-list") << 1 << 2 << true
                                       << fixed + QStringList{"cmdSeeAllEntries", "cmdPrintList", "cmdExportList",
                                                              "cmdStatistics", "-cmdEditEntry", "cmdPrintEntry"};
}

void tst_RecordView::buttonsByLevelCountAndMode()
{
    QFETCH(int, level);
    QFETCH(int, citations);
    QFETCH(bool, subList);
    QFETCH(QStringList, expected);

    MainWindowFixture f(level);
    QList<CitationBytes3000> records;
    for (int i = 0; i < citations; ++i)
        records << citation(QByteArray::number(i), QDate(2006, 1, 1 + i)).text("Notes", "radar");
    f.write(records);
    if (citations == 0)
        f.msgs.expect("There are currently\r\nno citations on file...", "Sennet", Msg::Information, Msg::OK);
    frmMain& w = f.open();
    if (subList) {
        searchSettings().phrase = QStringLiteral("radar");
        w.FullListMode = frmMain::FlagOff;
        w.SubListMode = frmMain::FlagOn;
        w.LoadCitationList();
        w.ShowSelectedCitation();
        w.UpdateButtons();
    }
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));

    QStringList shown;
    for (VellButton* b : w.findChildren<VellButton*>())
        if (!b->isHidden())
            shown << (b->isEnabled() ? QString() : QStringLiteral("-")) + b->objectName();
    shown.sort();
    expected.sort();
    QCOMPARE(shown, expected);
    QCOMPARE(w.MainTab->isTabEnabled(frmMain::DefaultsPage), !subList);
    QCOMPARE(w.CancelButton(), w.cmdQuit);
}

void tst_RecordView::lockedFieldsSendTheFocusBack()
{
    MainWindowFixture f;
    f.write({detailed(), detailed()});
    frmMain& w = f.open();
    w.MainTab->setCurrentIndex(1);
    w.txtField[11]->widget()->setFocus();
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.grid));
    QCOMPARE(w.txtField[11]->backColor(), QColor(0, 255, 255));
}

void tst_RecordView::recallValuesWhileEditingAndAdding()
{
    MainWindowFixture f;
    CitationBytes3000 bald = detailed();
    bald.text("Hair", "").text("Eyes", "");
    f.write({bald, detailed()});
    frmMain& w = f.open(); // the second citation (hair "BRN", eyes empty) is shown first
    QCOMPARE(w.txtField[18]->text(), QStringLiteral("BRN"));
    QVERIFY(w.txtField[18]->Tag.isEmpty()); // shown while locked: nothing remembered

    // Typing into an editable field remembers the text.
    unlockForChanges(w, false);
    w.txtField[18]->widget()->setFocus();
    QCOMPARE(w.txtField[18]->backColor(), QColor(255, 192, 192));
    QCOMPARE(w.txtField[18]->lineEdit()->selectedText(), QStringLiteral("BRN"));
    QTest::keyClicks(w.txtField[18]->widget(), "  RED ");
    QCOMPARE(w.txtField[18]->Tag, QStringLiteral("  RED "));
    w.txtField[19]->widget()->setFocus();
    QCOMPARE(w.txtField[18]->text(), QStringLiteral("RED")); // trimmed on the way out
    QCOMPARE(w.txtField[18]->Tag, QStringLiteral("RED"));
    QCOMPARE(w.txtField[18]->backColor(), QColor(0, 255, 255));
    QCOMPARE(w.txtField[19]->text(), QString()); // nothing typed there yet

    // Another citation, edited: its empty hair takes what was typed before.
    w.Editing = frmMain::FlagOff;
    w.SelectRow(w.listModel->rowOfRecord(1), false);
    QCOMPARE(w.txtField[18]->text(), QString());
    QCOMPARE(w.txtField[18]->Tag, QStringLiteral("RED"));
    unlockForChanges(w, false);
    w.txtField[18]->widget()->setFocus();
    QCOMPARE(w.txtField[18]->text(), QStringLiteral("RED"));
    // Fields such as the citation number never fill while editing.
    w.txtField[2]->Tag = QStringLiteral("12345");
    w.txtField[2]->setText(QString());
    w.txtField[2]->Tag = QStringLiteral("12345");
    w.txtField[2]->widget()->setFocus();
    QCOMPARE(w.txtField[2]->text(), QString());

    // While adding every empty field takes its recall value, the citation number too.
    w.Editing = frmMain::FlagOff;
    w.grid->setFocus();
    w.ShowSelectedCitation();
    w.txtField[2]->setText(QString()); // an add empties the fields while they are locked
    unlockForChanges(w, true);
    w.txtField[2]->widget()->setFocus();
    QCOMPARE(w.txtField[2]->text(), QStringLiteral("12345"));
    QCOMPARE(w.txtField[2]->backColor(), QColor(255, 255, 0));
}

void tst_RecordView::automaticDateAndTimeWhileAdding()
{
    MainWindowFixture f;
    f.write({detailed()});
    frmMain& w = f.open();
    w.ShowSelectedCitation();
    unlockForChanges(w, true);
    w.txtField[7]->setText(QString()); // an add starts with them empty
    w.txtField[8]->setText(QString());
    w.txtField[4]->setText(QString());
    w.txtField[7]->widget()->setFocus();
    QCOMPARE(w.txtField[7]->text(), QStringLiteral("07/04/2006"));
    w.txtField[8]->widget()->setFocus();
    QCOMPARE(w.txtField[8]->text(), QStringLiteral("2:05pm"));
    w.txtField[4]->widget()->setFocus(); // the offense time is never filled in for the user
    QCOMPARE(w.txtField[4]->text(), QString());
}

void tst_RecordView::notesIndicatorAndLimit()
{
    MainWindowFixture f;
    f.write({detailed()});
    frmMain& w = f.open();
    TextBox& notes = w.txtField[48];
    const auto shows = [&](const QString& text) {
        notes->setText(text);
        return w.lblSpaceFull->isHidden() ? QStringLiteral("hidden") : w.lblSpaceFull->text();
    };
    QCOMPARE(shows(QString()), QStringLiteral("hidden"));
    QCOMPARE(shows("x"), QStringLiteral(" 1% full "));
    QCOMPARE(shows(QString(21, u'x')), QStringLiteral(" 1% full "));
    QCOMPARE(shows(QString(103, u'x')), QStringLiteral(" 5% full "));
    QCOMPARE(shows(QString(1028, u'x') + "\r\n"), QStringLiteral(" 50% full ")); // a line break counts two
    QCOMPARE(shows(QString(2057, u'x')), QStringLiteral(" 100% full "));

    // Typing stops at the limit; a line break takes two of it.
    unlockForChanges(w, false);
    notes->setText(QString(2054, u'x'));
    notes.widget()->setFocus();
    notes.multiLine()->moveCursor(QTextCursor::End);
    QTest::keyClicks(notes.widget(), "abcd");
    QCOMPARE(notes->text(), QString(2054, u'x') + "abc");
    notes->setText(QString(2055, u'x'));
    notes.multiLine()->moveCursor(QTextCursor::End);
    QTest::keyClick(notes.widget(), Qt::Key_Return);
    QTest::keyClick(notes.widget(), Qt::Key_A);
    QCOMPARE(notes->text(), QString(2055, u'x') + "\r\n");
    QCOMPARE(w.lblSpaceFull->text(), QStringLiteral(" 100% full "));
}

void tst_RecordView::dateFieldTooltips()
{
    MainWindowFixture f;
    f.write({detailed()});
    frmMain& w = f.open();
    w.txtField_MouseMove(3);
    QCOMPARE(w.txtField[3]->toolTip(), QStringLiteral(" Tuesday "));
    w.txtField_MouseMove(7);
    QCOMPARE(w.txtField[7]->toolTip(), QStringLiteral(" Wednesday "));
    w.txtField_MouseMove(14); // empty: the tooltip stays as it was
    QCOMPARE(w.txtField[14]->toolTip(), QString());
    w.txtField[5]->setText("07/04/2006");
    w.txtField_MouseMove(5); // not a date field
    QCOMPARE(w.txtField[5]->toolTip(), QString());
}

void tst_RecordView::pageChoiceMovesTheFocus()
{
    MainWindowFixture f;
    f.write({detailed()});
    frmMain& w = f.open();
    unlockForChanges(w, false);
    // The first field on screen, also where the page holds choices below its boxes.
    w.MainTab->setCurrentIndex(5);
    QCOMPARE(QApplication::focusWidget(), w.txtField[41].widget());
    w.MainTab->setCurrentIndex(2);
    QCOMPARE(QApplication::focusWidget(), w.txtField[24].widget());
    w.MainTab->setCurrentIndex(4);
    QCOMPARE(QApplication::focusWidget(), w.txtField[37].widget());
    w.MainTab->setCurrentIndex(0);
    QCOMPARE(QApplication::focusWidget(), w.txtField[1].widget());
}

void tst_RecordView::defaultValuesPage()
{
    MainWindowFixture f;
    f.settings.values.insert("Defaults/DefaultCounty", "Henrico");
    f.settings.values.insert("Defaults/DefaultCourtName", "General District Court");
    f.write({detailed()});
    frmMain& w = f.open();
    QCOMPARE(w.txtDefault[3]->text(), QStringLiteral("Henrico"));
    QCOMPARE(w.txtDefault[5]->text(), QStringLiteral("General District Court"));
    QCOMPARE(w.txtDefault[1]->text(), QString());
    QCOMPARE(w.txtDefault[1]->maxLength(), 16);
    QCOMPARE(w.txtDefault[5]->maxLength(), 40);
    QCOMPARE(w.lblDefault[5]->text(), QStringLiteral("  Default 'Name of Court' (in the <Court> Tab)"));
    QVERIFY(w.lblDefaultInstructions->text().startsWith("You can use 'default text' in certain\r\ndata fields"));
    QVERIFY(!w.DefaultsChanged);

    QVERIFY(!w.frame[15]->isEnabled());
    w.MainTab->setCurrentIndex(frmMain::DefaultsPage);
    QVERIFY(w.frame[15]->isEnabled());
    QTest::keyClicks(w.txtDefault[4], "X");
    QTest::keyClick(w.txtDefault[4], Qt::Key_Backspace);
    QCOMPARE(w.txtDefault[4]->text(), QString());
    QCOMPARE(w.DefaultsChanged, frmMain::FlagOn); // typed and removed still counts
    w.MainTab->setCurrentIndex(6);
    QVERIFY(!w.frame[15]->isEnabled());
    QVERIFY(!f.settings.has("Defaults", "DefaultCity")); // nothing stored before quitting
}

void tst_RecordView::helpTopicFollowsTheState()
{
    MainWindowFixture f;
    f.write({detailed(), detailed()});
    frmMain& w = f.open();
    QTest::keyClick(w.grid, Qt::Key_F1);
    w.SubListMode = frmMain::FlagOn;
    w.cmdHelp->click();
    w.Editing = frmMain::FlagOn;
    QTest::keyClick(&w, Qt::Key_F1);
    w.Editing = frmMain::FlagOff;
    w.Adding = frmMain::FlagOn;
    w.cmdHelp_Click();
    QFile::resize("Sennet.Data", 0);
    w.cmdHelp_Click();
    QCOMPARE(f.helpTopics, (QList<int>{4, 8, 6, 5, 1}));
}

void tst_RecordView::escapePressesTheCancelButton()
{
    MainWindowFixture f;
    f.write({detailed()});
    frmMain& w = f.open();
    QSignalSpy quit(w.cmdQuit, &VellButton::Click);
    QTest::keyClick(w.grid, Qt::Key_Escape);
    QCOMPARE(quit.count(), 1);
    QSignalSpy cancel(w.cmdEditCancel, &VellButton::Click);
    w.cmdEditCancel->show();
    w.setCancelButton(w.cmdEditCancel);
    QTest::keyClick(w.txtField[3].widget(), Qt::Key_Escape);
    QCOMPARE(cancel.count(), 1);
    QCOMPARE(quit.count(), 1);
}

void tst_RecordView::flashingSeeAllButton()
{
    MainWindowFixture f;
    f.write({detailed()});
    frmMain& w = f.open();
    w.timerFlash_Timer();
    QCOMPARE(w.cmdSeeAllEntries->BackColor(), QColor(244, 244, 0));
    QCOMPARE(w.cmdSeeAllEntries->ForeColor(), QColor(4, 4, 0));
    int brightest = 0;
    int darkest = 255;
    for (int tick = 0; tick < 400; ++tick) {
        w.timerFlash_Timer();
        const int a = w.cmdSeeAllEntries->ForeColor().red();
        const int b = w.cmdSeeAllEntries->BackColor().red();
        QVERIFY(a >= 0 && a <= 255 && b >= 0 && b <= 255);
        QCOMPARE(w.cmdSeeAllEntries->BackColor().green(), b);
        QCOMPARE(w.cmdSeeAllEntries->BackColor().blue(), 0);
        brightest = qMax(brightest, a);
        darkest = qMin(darkest, a);
    }
    QCOMPARE(brightest, 252); // the text swings from dark to bright and back
    QCOMPARE(darkest, 4);
}

void tst_RecordView::adminWindowButtonLogsOutAndHandsOver()
{
    MainWindowFixture f;
    f.write({detailed()});
    frmMain& w = f.open();
    QCOMPARE(w.cmdAdminWindow->ToolTipText(), QStringLiteral(" Return to the Admin Window "));
    QTest::mouseClick(w.cmdAdminWindow, Qt::LeftButton);
    QCOMPARE(f.adminWindows, 1);
    QVERIFY(!w.isVisible());
    QCOMPARE(ReadFile("User.Log"), QByteArray("07/04/2006 at 14:05:30 - Jane Doe logged out.\r\n"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(f.window.isNull()); // the window is gone for good
}

QTEST_MAIN(tst_RecordView)
#include "tst_recordview.moc"
