// The add/edit user dialog: its two modes, the Save rule, the password hint
// and rule, focus colours, the level options, the comments indicator, saving
// with scrambling, and text the user list cannot hold.
#include "DataFiles.h"
#include "Doubles.h"
#include "UserFiles.h"
#include "session/ProcessState.h"
#include "users/Passwords.h"
#include "store/UserRecord.h"
#include "users/frmAddEditUser.h"
#include "widgets/VellButton.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStyle>
#include <QTest>
#include <QTextCursor>
#include <memory>

namespace {
const QColor Cyan(0, 255, 255), Yellow(255, 255, 0), LightPink(255, 192, 255);
QColor baseOf(QWidget* w) { return w->palette().color(QPalette::Base); }
} // namespace

class tst_UserDialog : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void addModeEnablesSaveOnlyWithTheMandatoryEntries();
    void passwordHintIsSelectedAndRefusedOnSave();
    void addingStoresTrimmedEntriesAndTheMoment();
    void viewingShowsTheUserAndChangingTheLevelOffersSave();
    void savingAnExistingUserKeepsItsDateAndRescrambles();
    void textTheListCannotHoldIsRefused();
    void commentsIndicatorCountsLineBreaksAsTwo();
    void fullCommentsRefuseWhatIsTyped();
    void levelOptionsShowTheirWholeCaptions();
    void tabWalksTheColumnsAndEntersTheLevelAtItsChoice();
    void passwordIsMaskedUntilShown();

private:
    frmAddEditUser* open(const QString& tag, int record = 0);

    std::unique_ptr<TempDataFolder> m_folder;
    std::unique_ptr<ScriptedMessages> m_msgs;
    std::unique_ptr<FixedClock> m_clock;
    std::unique_ptr<frmAddEditUser> m_dialog;
    std::unique_ptr<VellButton> m_updateTarget;
};

void tst_UserDialog::init()
{
    m_folder = std::make_unique<TempDataFolder>();
    m_msgs = std::make_unique<ScriptedMessages>();
    m_clock = std::make_unique<FixedClock>(QDateTime(QDate(2026, 3, 7), QTime(14, 5, 9)));
    m_updateTarget = std::make_unique<VellButton>();
}

void tst_UserDialog::cleanup()
{
    m_dialog.reset();
    QVERIFY2(m_msgs->allMet(), qPrintable(m_msgs->report()));
    m_msgs.reset();
    m_clock.reset();
    m_updateTarget.reset();
    m_folder.reset();
}

frmAddEditUser* tst_UserDialog::open(const QString& tag, int record)
{
    m_dialog = std::make_unique<frmAddEditUser>();
    m_dialog->Tag = tag;
    m_dialog->SelectedRecordNumber = record;
    m_dialog->UpdateTagButton = m_updateTarget.get();
    m_dialog->show();
    QApplication::setActiveWindow(m_dialog.get());
    if (!QTest::qWaitForWindowActive(m_dialog.get()))
        qWarning("the dialog did not become active");
    return m_dialog.get();
}

void tst_UserDialog::addModeEnablesSaveOnlyWithTheMandatoryEntries()
{
    // Users after the first start with the least level.
    WriteUsers("User.List", {UserBytes500::user("Zed", "Young", "zzzz", 4)});
    frmAddEditUser* d = open("Add a User");
    QCOMPARE(d->windowTitle(), QString("Sennet - Add a User"));
    QVERIFY(d->optAccessLevel[1]->isChecked() && d->optAccessLevel[1]->font().bold());
    // The box with the focus is yellow while adding, the others cyan.
    QCOMPARE(baseOf(d->txtField[1]), Yellow);
    d->txtField[2]->setFocus();
    QCOMPARE(baseOf(d->txtField[1]), Cyan);
    QCOMPARE(baseOf(d->txtField[2]), Yellow);

    QVERIFY(d->cmdSave->isVisible() && !d->cmdSave->isEnabled());
    d->txtField[1]->setText("Jane");
    d->txtField[2]->setText("Doe");
    QVERIFY(!d->cmdSave->isEnabled());
    d->txtField[3]->setText("abcd");
    QVERIFY(d->cmdSave->isEnabled());
    d->txtField[1]->setText("   "); // blanks are no entry
    QVERIFY(!d->cmdSave->isEnabled());

    d->optAccessLevel[3]->click();
    QCOMPARE(d->SelectedLevel(), 3);
    QVERIFY(d->optAccessLevel[3]->font().bold() && !d->optAccessLevel[1]->font().bold());
}

void tst_UserDialog::passwordHintIsSelectedAndRefusedOnSave()
{
    frmAddEditUser* d = open("Add a User");
    d->txtField[1]->setText("Jane");
    d->txtField[2]->setText("Doe");
    d->txtField[3]->setFocus();
    QCOMPARE(d->txtField[3]->selectedText(), QString("<4 to 8 chars only>"));
    QVERIFY(d->cmdSave->isEnabled()); // the hint counts as an entry...

    d->txtField[1]->setFocus();
    m_msgs->expect("The password must be\r\n4 to 8 characters, using\r\nletters and numbers only.",
                   "Invalid Password Entry", Msg::OKOnly | Msg::Exclamation, Msg::OK);
    d->cmdSave->click(); // ...but is no password
    QVERIFY(d->isVisible() && d->txtField[3]->hasFocus());
    QCOMPARE(d->txtField[1]->text(), QString("Jane"));
    QVERIFY(ReadUsers("User.List").isEmpty());
    QVERIFY(m_updateTarget->Tag.isEmpty());
}

void tst_UserDialog::addingStoresTrimmedEntriesAndTheMoment()
{
    WriteUsers("User.List", {UserBytes500::user("Jane", "Doe", "abcd", 3)});
    frmAddEditUser* d = open("Add a User");
    QCOMPARE(d->RecordNumber(), 2);
    d->txtField[1]->setText("  Ann ");
    d->txtField[2]->setText(" O'Neil  ");
    d->txtField[3]->setText(" Ab12 ");
    d->txtComments->setPlainText("  Night shift\nDesk 4  ");
    d->optAccessLevel[2]->click();
    d->cmdSave->click();
    QVERIFY(!d->isVisible());
    QCOMPARE(d->result(), int(QDialog::Accepted));
    QCOMPARE(m_updateTarget->Tag, QString("Update"));

    const QList<QByteArray> records = ReadUsers("User.List");
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[0], UserBytes500::user("Jane", "Doe", "abcd", 3).bytes());
    const QByteArray& r = records[1];
    QCOMPARE(UserBytes500::readText(r, "FirstName"), QByteArray("Ann").leftJustified(15, ' '));
    QCOMPARE(UserBytes500::readText(r, "LastName"), QByteArray("O'Neil").leftJustified(20, ' '));
    QCOMPARE(UserBytes500::readLevel(r), qint16(2));
    QCOMPARE(UserBytes500::readCreated(r), OleDate(QDate(2026, 3, 7), QTime(14, 5, 9)));
    QCOMPARE(UserBytes500::readText(r, "Comments"), QByteArray("Night shift\r\nDesk 4").leftJustified(439, ' '));
    const QByteArray stored = UserBytes500::readText(r, "Password");
    QCOMPARE(stored.mid(8), QByteArray(8, ' '));
    QCOMPARE(UnscramblePassword(QString::fromLatin1(stored)), QString("Ab12"));
}

void tst_UserDialog::viewingShowsTheUserAndChangingTheLevelOffersSave()
{
    WriteUsers("User.List", {UserBytes500::user("Zed", "Young", "zzzz", 1),
                             UserBytes500::user("Jane", "Doe", "AbCd", 3).text("Comments", "Keys\r\nBadge 7")});
    const QByteArray before = ReadFile("User.List");
    frmAddEditUser* d = open("View/Edit this User", 2);
    QCOMPARE(d->windowTitle(), QString("Sennet - View/Edit this User"));
    QCOMPARE(d->txtField[1]->text() + "|" + d->txtField[2]->text() + "|" + d->txtField[3]->text() + "|" + d->fieldText(4),
             QString("Jane|Doe|AbCd|Keys\r\nBadge 7"));
    QCOMPARE(d->lblDateCreated->text(), QString(" Record Created 05/17/2024 09:30am "));
    QVERIFY(d->optAccessLevel[3]->isChecked());
    QVERIFY(d->lblSpaceFull->isVisible()); // follows the filled comments
    // Filling the boxes is no change.
    QVERIFY(!d->cmdSave->isVisible());
    QCOMPARE(d->cmdCancel->Caption(), QString("&Finished\r\nViewing"));
    QCOMPARE(baseOf(d->txtField[1]), LightPink);

    d->optAccessLevel[4]->click();
    QVERIFY(d->cmdSave->isVisible() && d->cmdSave->isEnabled());
    QCOMPARE(d->cmdSave->Caption(), QString("&Save\r\nChanges"));
    QCOMPARE(d->cmdCancel->Caption(), QString("&Cancel\r\nChanges"));
    d->txtField[2]->clear(); // once shown, Save follows the mandatory entries
    QVERIFY(d->cmdSave->isVisible() && !d->cmdSave->isEnabled());

    d->cmdCancel->click(); // nothing is saved
    QVERIFY(!d->isVisible());
    QCOMPARE(ReadFile("User.List"), before);
    QVERIFY(m_updateTarget->Tag.isEmpty());
}

void tst_UserDialog::savingAnExistingUserKeepsItsDateAndRescrambles()
{
    const UserBytes500 zed = UserBytes500::user("Zed", "Young", "zzzz", 1);
    const UserBytes500 jane = UserBytes500::user("Jane", "Doe", "AbCd", 3, QDate(2020, 1, 2));
    WriteUsers("User.List", {zed, jane});
    frmAddEditUser* d = open("View/Edit this User", 2);
    d->txtField[1]->setText("Janet ");
    d->cmdSave->click();
    QCOMPARE(m_updateTarget->Tag, QString("Update"));

    const QList<QByteArray> records = ReadUsers("User.List");
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[0], zed.bytes());
    QCOMPARE(UserBytes500::readText(records[1], "FirstName").trimmed(), QByteArray("Janet"));
    QCOMPARE(UserBytes500::readCreated(records[1]), UserBytes500::readCreated(jane.bytes()));
    QCOMPARE(UserBytes500::readLevel(records[1]), qint16(3));
    const QByteArray before = UserBytes500::readText(jane.bytes(), "Password");
    const QByteArray after = UserBytes500::readText(records[1], "Password");
    QVERIFY(after != before); // fresh random characters...
    QCOMPARE(UnscramblePassword(QString::fromLatin1(after)), QString("AbCd")); // ...around the same password
}

void tst_UserDialog::textTheListCannotHoldIsRefused()
{
    frmAddEditUser* d = open("Add a User");
    d->txtField[1]->setText(QString::fromUtf8("Zoë")); // Windows-1252 holds this one
    d->txtField[2]->setText(QString::fromUtf8("Łukasiewicz"));
    d->txtField[3]->setText("abcd");
    m_msgs->expect(QString::fromUtf8("The 'Last Name' entry holds the character \"Ł\",\r\nwhich cannot be stored.\r\n\r\n"
                                     "Please replace it."),
                   "Invalid Character", Msg::OKOnly | Msg::Exclamation, Msg::OK);
    d->cmdSave->click();
    QVERIFY(d->isVisible() && d->txtField[2]->hasFocus());
    QCOMPARE(d->txtField[2]->text(), QString::fromUtf8("Łukasiewicz"));
    QVERIFY(ReadUsers("User.List").isEmpty());

    d->txtField[2]->setText("Lukasiewicz");
    d->cmdSave->click();
    const QList<QByteArray> records = ReadUsers("User.List");
    QCOMPARE(records.size(), 1);
    QCOMPARE(UserBytes500::readText(records[0], "FirstName").trimmed(), QByteArray("Zo\xEB"));
}

void tst_UserDialog::commentsIndicatorCountsLineBreaksAsTwo()
{
    frmAddEditUser* d = open("Add a User");
    d->txtComments->setPlainText("x");
    QCOMPARE(d->lblSpaceFull->text(), QString(" 1% full "));
    d->txtComments->setPlainText(QString(220, 'x'));
    QCOMPARE(d->lblSpaceFull->text(), QString(" 50% full "));
    d->txtComments->setPlainText(QString(218, 'x') + "\n" + QString(220, 'y')); // cut to 437 + CR LF
    QCOMPARE(d->fieldText(4), QString(218, 'x') + "\r\n" + QString(219, 'y'));
    QCOMPARE(d->lblSpaceFull->text(), QString(" 100% full "));
    d->txtComments->clear();
    QVERIFY(!d->lblSpaceFull->isVisible());
}

void tst_UserDialog::fullCommentsRefuseWhatIsTyped()
{
    frmAddEditUser* d = open("Add a User");
    const QString full = "first line\n" + QString(424, 'x') + "end"; // 439 as stored
    d->txtComments->setPlainText(full);
    QCOMPARE(d->fieldText(4).size(), 439);
    d->txtComments->setFocus();
    QCoreApplication::processEvents(); // the focus has selected the whole text
    QTextCursor at = d->txtComments->textCursor();
    at.setPosition(0);
    d->txtComments->setTextCursor(at);
    QTest::keyClicks(d->txtComments, "new ");
    QTest::keyClick(d->txtComments, Qt::Key_Return);
    QCOMPARE(d->txtComments->toPlainText(), full); // nothing typed, nothing lost at the end
    QCOMPARE(d->lblSpaceFull->text(), QString(" 100% full "));

    // With one place left a character goes in, a line break (two when stored) does not.
    at.setPosition(int(full.size()));
    d->txtComments->setTextCursor(at);
    QTest::keyClick(d->txtComments, Qt::Key_Backspace);
    QTest::keyClick(d->txtComments, Qt::Key_Return);
    QCOMPARE(d->fieldText(4), "first line\r\n" + QString(424, 'x') + "en");
    QTest::keyClicks(d->txtComments, "dZ");
    QCOMPARE(d->fieldText(4), "first line\r\n" + QString(424, 'x') + "end");
}

void tst_UserDialog::levelOptionsShowTheirWholeCaptions()
{
    frmAddEditUser* d = open("Add a User");
    for (int k = 1; k <= 4; ++k) {
        QRadioButton* option = d->optAccessLevel[k];
        option->click(); // the chosen level is bold, its widest form
        QVERIFY(option->font().bold());
        QVERIFY2(option->width() >= option->sizeHint().width(),
                 qPrintable(QString("%1: %2 < %3").arg(option->text()).arg(option->width()).arg(option->sizeHint().width())));
        QVERIFY(option->geometry().right() < d->width());
        // Clear of the text boxes on the left.
        QVERIFY(option->x() > d->txtField[1]->geometry().right());
    }
    QCOMPARE(d->optAccessLevel[4]->text(), QString("Read/Edit/Add/Delete"));
}

void tst_UserDialog::tabWalksTheColumnsAndEntersTheLevelAtItsChoice()
{
    WriteUsers("User.List", {UserBytes500::user("Jane", "Doe", "AbCd", 4)});
    const QByteArray before = ReadFile("User.List");
    frmAddEditUser* d = open("View/Edit this User", 1);
    d->txtField[1]->setFocus();
    QList<QWidget*> walked;
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked << QApplication::focusWidget();
    }
    // The names, the password's "Show", the user's own level (not the first), then the comments.
    QCOMPARE(walked, (QList<QWidget*>{d->txtField[2], d->txtField[3], d->chkShowPassword, d->optAccessLevel[4],
                                      d->txtComments}));
    // A Space on the level Tab reached keeps it: nothing to save.
    QTest::keyClick(d->optAccessLevel[4], Qt::Key_Space);
    QVERIFY(d->optAccessLevel[4]->isChecked());
    QVERIFY(!d->cmdSave->isVisible());
    d->cmdCancel->click();
    QCOMPARE(ReadFile("User.List"), before);
}

void tst_UserDialog::passwordIsMaskedUntilShown()
{
    WriteUsers("User.List", {UserBytes500::user("Jane", "Doe", "AbCd12", 3)});
    frmAddEditUser* d = open("View/Edit this User", 1);
    QLineEdit* password = d->txtField[3];
    QCOMPARE(password->text(), QString("AbCd12"));
    const auto shown = [&] { return password->displayText(); };
    const QChar mask(char16_t(password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, password)));
    QCOMPARE(shown(), QString(6, mask));
    QVERIFY(!d->chkShowPassword->isChecked());
    d->chkShowPassword->click();
    QCOMPARE(shown(), QString("AbCd12"));
    d->chkShowPassword->click();
    QVERIFY(shown() != QString("AbCd12"));
    // The hint of an empty box reads in clear, and what is typed is masked again.
    password->clear();
    password->setFocus();
    QCOMPARE(shown(), QString("<4 to 8 chars only>"));
    QTest::keyClicks(password, "xyz9");
    QCOMPARE(password->text(), QString("xyz9"));
    QVERIFY(!shown().contains(QLatin1String("xyz")));
    // Masking changes nothing that is saved.
    d->cmdSave->click();
    const QByteArray stored = UserBytes500::readText(ReadUsers("User.List").at(0), "Password");
    QCOMPARE(UnscramblePassword(QString::fromLatin1(stored)), QString("xyz9"));
}

QTEST_MAIN(tst_UserDialog)
#include "tst_userdialog.moc"
