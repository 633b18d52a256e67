// The admin window: the empty list, the access code, log-in and hand-over to
// the main window, user maintenance with reselection, the log view, the
// flashing button, the fade switch, help and quit.
#include "DataFiles.h"
#include "Doubles.h"
#include "UserFiles.h"
#include "session/ProcessState.h"
#include "session/ShutDown.h"
#include "session/WindowHandOver.h"
#include "users/UserGridModel.h"
#include "storage/UserLog.h"
#include "users/frmAddEditUser.h"
#include "users/frmAdmin.h"
#include "widgets/VellButton.h"
#include "widgets/modFadeInOut.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>

namespace {

const QString Code = QStringLiteral("246810");
const QString CodePrompt =
    QStringLiteral("\r\nPlease enter the access code\r\nneeded to add/edit/delete\r\nusers in this 'User List'");
const QString EmptyText = QStringLiteral("There are currently no 'Users'\r\nentered in the 'User List'");
const int Info = Msg::OKOnly | Msg::Information;

// Acts on the modal dialog the window is about to open.
void onDialog(std::function<void(frmAddEditUser*)> act)
{
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<frmAddEditUser*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        act(dialog);
        if (dialog->isVisible()) // a failed check inside act must not leave it open
            dialog->reject();
    });
}

void deleteLaterNow() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

void doubleClickRow(QTableView* grid, int row)
{
    const QPoint at = grid->visualRect(grid->model()->index(row, 0)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

class tst_Admin : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void emptyListLeavesOnlyAdminModeAndQuit();
    void accessCodeIsAskedUntilRightOrEmpty();
    void rightCodeWithoutUsersOpensTheAddDialogAtOnce();
    void logInChecksThePasswordAndHandsOver();
    void deletingReselectsTheRowAboveAndKeepsTheShading();
    void deletingTheLastUserEmptiesTheList();
    void newUserIsHighlightedAtTheTop();
    void userLogViewReplacesTheGridAndComesBack();
    void emptyListBoxStandsOverItsWindow();
    void millionLineLogShowsQuickly();
    void logOverTwoGigabytesShowsItsLatestEntries();
    void fadeSwitchIsSavedAndHiddenWithoutFades();
    void helpAndQuit();

private:
    frmAdmin* openWindow();
    void enterAdminMode(frmAdmin* w);

    QList<QPointer<frmAdmin>> m_windows;
    MemorySettings* m_settings = nullptr;
    ScriptedMessages* m_msgs = nullptr;
    TempDataFolder* m_folder = nullptr;
    int m_mainShown = 0;
    QList<int> m_helpTopics;
};

void tst_Admin::init()
{
    m_folder = new TempDataFolder;
    m_settings = new MemorySettings;
    m_settings->values["Installation/AccessCode"] = Code;
    m_msgs = new ScriptedMessages;
    m_mainShown = 0;
    m_helpTopics.clear();
    windowHandOver().showMainWindow = [this] { ++m_mainShown; };
    windowHandOver().showAdminWindow = [this] {
        auto* w = new frmAdmin;
        m_windows << w;
        w->show();
    };
    windowHandOver().showHelp = [this](int topic, QWidget*) { m_helpTopics << topic; };
    ResetShutDownState();
    SetFadeFlag(false);
}

void tst_Admin::cleanup()
{
    for (const QPointer<frmAdmin>& w : m_windows)
        delete w.data();
    m_windows.clear();
    deleteLaterNow();
    QVERIFY2(m_msgs->allMet(), qPrintable(m_msgs->report()));
    delete m_msgs;
    delete m_settings;
    delete m_folder;
    windowHandOver() = WindowHandOver();
    ResetShutDownState();
    SetFadeFlag(false);
}

frmAdmin* tst_Admin::openWindow()
{
    auto* w = new frmAdmin;
    m_windows << w;
    w->show();
    QCoreApplication::processEvents();
    return w;
}

void tst_Admin::enterAdminMode(frmAdmin* w)
{
    m_msgs->expectInput(CodePrompt, "Access Code Required", "<Enter Access Code Here>", Code);
    w->cmdAdmin->click();
    QVERIFY(w->isAdminMode());
}

void tst_Admin::emptyListLeavesOnlyAdminModeAndQuit()
{
    m_msgs->expect(EmptyText, "'User List' Empty", Info, Msg::OK);
    frmAdmin* w = openWindow();
    QCOMPARE(w->windowTitle(), QString("Sennet - Admin Window"));
    QVERIFY(!w->grid->isVisible() && !w->cmdUserSelected->isVisible());
    QVERIFY(w->cmdAdmin->isVisible() && w->cmdQuit->isVisible());

    // A list of length 0 (left by a run killed during the first add) is the
    // same empty list, with the same message.
    WriteFile("User.List", QByteArray());
    m_msgs->expect(EmptyText, "'User List' Empty", Info, Msg::OK);
    frmAdmin* second = openWindow();
    QVERIFY2(m_msgs->allMet(), qPrintable(m_msgs->report()));
    QVERIFY(!second->grid->isVisible() && !second->cmdUserSelected->isVisible());
}

void tst_Admin::accessCodeIsAskedUntilRightOrEmpty()
{
    WriteUsers("User.List", {UserBytes500::user("Jane", "Doe", "abcd", 3)});
    frmAdmin* w = openWindow();
    const QString wrong = "Sorry, but you have not entered\r\nthe correct Access Code.";
    m_msgs->expectInput(CodePrompt, "Access Code Required", "<Enter Access Code Here>", "<Enter Access Code Here>")
        .expect(wrong, "Incorrect Access Code", Msg::OKOnly | Msg::Critical, Msg::OK)
        .expectInput(CodePrompt, "Access Code Required", "<Enter Access Code Here>", Code + "0")
        .expect(wrong, "Incorrect Access Code", Msg::OKOnly | Msg::Critical, Msg::OK)
        .expectInput(CodePrompt, "Access Code Required", "<Enter Access Code Here>", "");
    w->cmdAdmin->click();
    QVERIFY(!w->isAdminMode() && w->cmdUserSelected->isVisible() && !w->cmdAddUser->isVisible());

    enterAdminMode(w);
    QVERIFY(w->cmdEditUser->isVisible() && !w->cmdUserSelected->isVisible());
    // The admin button pulses between dark olive and bright yellow, text in the opposite shade.
    w->timerFlashButton->stop(); // the test drives the ticks
    for (int i = 1; i <= 63; ++i)
        w->timerFlashButton_Timer();
    QCOMPARE(w->cmdAdmin->ForeColor(), QColor(252, 252, 0));
    w->timerFlashButton_Timer(); // and turns back
    QCOMPARE(w->cmdAdmin->ForeColor(), QColor(248, 248, 0));
    QCOMPARE(w->cmdAdmin->BackColor(), QColor(6, 6, 0));

    w->cmdAdmin->click(); // leaving asks nothing
    QVERIFY(!w->isAdminMode() && !w->cmdAddUser->isVisible());
    QCOMPARE(w->cmdAdmin->BackColor(), QColor(0, 128, 128));

    // Shift+Alt+A tells the code, whatever has the focus.
    m_msgs->expect("The 'Access Code' for this\r\nversion of Sennet is \r\n\r\n" + Code, "Access Code", Info, Msg::OK);
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
    QTest::keyClick(w->grid, Qt::Key_A, Qt::ShiftModifier | Qt::AltModifier);
}

void tst_Admin::rightCodeWithoutUsersOpensTheAddDialogAtOnce()
{
    m_msgs->expect(EmptyText, "'User List' Empty", Info, Msg::OK);
    frmAdmin* w = openWindow();
    // A fresh installation says, in the list's place, how to reach the code.
    QVERIFY(w->lblFirstStart->isVisible());
    for (const char* part : {"Edit the 'User List'", "[Installation]", "AccessCode", "Shift+Alt+A", "level 4"})
        QVERIFY2(w->lblFirstStart->text().contains(QLatin1String(part)), part);
    QString dialogTag;
    int firstLevel = 0;
    onDialog([&](frmAddEditUser* d) {
        dialogTag = d->Tag;
        firstLevel = d->SelectedLevel();
        d->txtField[1]->setText("Jane");
        d->txtField[2]->setText("Doe");
        d->txtField[3]->setText("AbCd");
        d->cmdSave->click();
    });
    enterAdminMode(w);
    QCOMPARE(dialogTag, QString("Add a User"));
    QCOMPARE(firstLevel, 4); // the first user can do everything, adding the others included
    QCOMPARE(ReadUsers("User.List").size(), 1);
    QCOMPARE(UserBytes500::readLevel(ReadUsers("User.List").at(0)), 4);
    QVERIFY(w->grid->isVisible() && w->cmdEditUser->isVisible() && !w->lblFirstStart->isVisible());
    QCOMPARE(w->gridModel->cell(0, UserGridModel::ColName), QString("Jane Doe"));
}

void tst_Admin::logInChecksThePasswordAndHandsOver()
{
    FixedClock clock(QDateTime(QDate(2026, 3, 7), QTime(14, 5, 9)));
    WriteUsers("User.List", {UserBytes500::user("Zed", "Young", "zzzz", 1), UserBytes500::user("Jane", "Doe", "AbCd", 3)});
    QPointer<frmAdmin> w = openWindow();
    QCOMPARE(w->SelectedRow(), 1);
    QCOMPARE(w->gridModel->cell(0, UserGridModel::ColName), QString("Jane Doe")); // sorted by last name

    // A double-click on a user row starts the log-in; Cancel puts everything back.
    doubleClickRow(w->grid, 0);
    QVERIFY(w->txtPassword->isVisible() && !w->cmdAdmin->isVisible() && !w->grid->isEnabled());
    QVERIFY(!w->cmdContinue->isEnabled() && w->cmdCancel->isDefault());
    QTest::keyClicks(w->txtPassword, "Ab");
    QVERIFY(w->cmdContinue->isEnabled() && w->cmdContinue->isDefault() && !w->cmdCancel->isDefault());
    w->cmdCancel->click();
    QVERIFY(!w->txtPassword->isVisible() && w->cmdAdmin->isVisible() && w->grid->isEnabled());
    QCOMPARE(w->cmdUserSelected->Caption(), QString("&Select the Highlighted User"));

    w->cmdUserSelected->click();
    QVERIFY(w->txtPassword->text().isEmpty());
    QTest::keyClicks(w->txtPassword, "abcd");
    m_msgs->expect("That is not the correct password\r\nassociated with this name", "Incorrect Password",
                   Msg::OKOnly | Msg::Critical, Msg::OK);
    w->cmdContinue->click();
    QVERIFY(w && w->txtPassword->text().isEmpty());
    QCOMPARE(m_mainShown, 0);

    QTest::keyClicks(w->txtPassword, "AbCd");
    QTest::keyClick(w->txtPassword, Qt::Key_Return); // Enter presses Continue
    QCOMPARE(m_mainShown, 1);
    QCOMPARE(CurrentUserName, QString("Jane Doe"));
    QCOMPARE(CurrentAccessLevel, qint16(3));
    deleteLaterNow();
    QVERIFY(!w); // the admin window is gone

    // The main window's return button: the log-out line, then a fresh admin window.
    clock.moment = clock.moment.addSecs(3600);
    WriteUserLogLine(2);
    ShowAdminWindow();
    QVERIFY(m_windows.last()->isVisible() && !m_windows.last()->isAdminMode());
    QCOMPARE(ReadFile("User.Log"),
             QByteArray("03/07/2026 at 14:05:09 - Jane Doe logged in w/ Read/Edit/Add privileges.\r\n"
                        "03/07/2026 at 15:05:09 - Jane Doe logged out.\r\n"));
}

void tst_Admin::deletingReselectsTheRowAboveAndKeepsTheShading()
{
    const QList<QByteArray> last = {"Adams", "Baker", "Clark", "Davis", "Evans", "Ford"};
    QList<UserBytes500> users;
    for (int i = last.size() - 1; i >= 0; --i) // stored in reverse, shown sorted
        users << UserBytes500::user("U" + QByteArray::number(i), last[i], "abcd", 2);
    WriteUsers("User.List", users);
    frmAdmin* w = openWindow();
    enterAdminMode(w);
    auto expectRemoval = [this](const QString& name, int answer) {
        m_msgs->expect("Are you sure you want to remove\r\n\r\n" + name + "\r\n\r\nfrom the 'User List'?",
                       "Confirm Deletion", Msg::YesNoCancel | Msg::Question | Msg::DefaultButton2, answer);
        if (answer == Msg::Yes)
            m_msgs->expect("The name has been removed\r\nfrom the 'User List'.", "Name removed", Info, Msg::OK);
    };

    expectRemoval("U0 Adams", Msg::No); // No keeps everyone
    w->cmdDeleteUser->click();
    QCOMPARE(ReadUsers("User.List").size(), 6);
    expectRemoval("U0 Adams", Msg::Yes);
    w->cmdDeleteUser->click();
    QCOMPARE(w->SelectedRow(), 1);
    QCOMPARE(w->gridModel->cell(0, UserGridModel::ColName), QString("U1 Baker"));
    w->grid->selectRow(3);
    expectRemoval("U4 Evans", Msg::Yes);
    w->cmdDeleteUser->click();
    QCOMPARE(w->SelectedRow(), 3);

    // Rows 2 and 4 are shaded, rows 1 and 3 are not, in the visible columns.
    QStringList names;
    for (int r = 0; r < w->gridModel->rowCount(); ++r) {
        names << w->gridModel->cell(r, UserGridModel::ColName);
        for (int c = 0; c <= 2; ++c)
            QCOMPARE(w->gridModel->index(r, c).data(Qt::BackgroundRole).value<QColor>(),
                     r % 2 == 1 ? QColor(240, 240, 240) : QColor());
    }
    QCOMPARE(names, QStringList({"U1 Baker", "U2 Clark", "U3 Davis", "U5 Ford"}));
    QStringList stored; // the file holds exactly these, in the order they were added
    for (const QByteArray& r : ReadUsers("User.List"))
        stored << QString::fromLatin1(UserBytes500::readText(r, "LastName").trimmed());
    QCOMPARE(stored, QStringList({"Ford", "Davis", "Clark", "Baker"}));
}

void tst_Admin::deletingTheLastUserEmptiesTheList()
{
    WriteUsers("User.List", {UserBytes500::user("Jane", "Doe", "abcd", 3)});
    frmAdmin* w = openWindow();
    enterAdminMode(w);
    m_msgs->expect("Are you sure you want to remove\r\n\r\nJane Doe\r\n\r\nfrom the 'User List'?", "Confirm Deletion",
                   Msg::YesNoCancel | Msg::Question | Msg::DefaultButton2, Msg::Yes)
        .expect(EmptyText, "'User List' Empty", Info, Msg::OK)
        .expect("The name has been removed\r\nfrom the 'User List'.", "Name removed", Info, Msg::OK);
    w->cmdDeleteUser->click();
    QVERIFY(!QFile::exists("User.List"));
    QVERIFY(!w->grid->isVisible() && !w->cmdEditUser->isVisible() && !w->cmdDeleteUser->isVisible());
}

void tst_Admin::newUserIsHighlightedAtTheTop()
{
    QList<UserBytes500> users;
    for (const char* name : {"Adams", "Baker", "Clark", "Davis", "Evans", "Ford", "Green", "Hill", "Irwin", "Jones", "King"})
        users << UserBytes500::user("Pat", name, "abcd", 2);
    WriteUsers("User.List", users);
    frmAdmin* w = openWindow();
    QCOMPARE(w->TopRow(), 1);
    enterAdminMode(w);

    onDialog([](frmAddEditUser* d) {
        d->txtField[1]->setText("zoe");
        d->txtField[2]->setText("Carter");
        d->txtField[3]->setText("Zoe123");
        d->optAccessLevel[4]->click();
        d->cmdSave->click();
    });
    w->cmdAddUser->click();
    QCOMPARE(w->gridModel->rowCount(), 12);
    QCOMPARE(w->SelectedRow(), 3); // "Carter zoe" sorts between Baker and Clark, case ignored
    QCOMPARE(w->gridModel->cell(2, UserGridModel::ColName), QString("zoe Carter"));
    QCOMPARE(w->gridModel->cell(2, UserGridModel::ColRecNum), QString("12"));
    QCOMPARE(w->TopRow(), 3);
    QVERIFY(w->cmdAddUser->Tag.isEmpty());
    // The key columns stay out of view: the visible ones fill the grid exactly.
    QVERIFY(w->grid->isColumnHidden(UserGridModel::ColNameSort) && w->grid->isColumnHidden(UserGridModel::ColRecNum));
    QCOMPARE(w->grid->columnWidth(0) + w->grid->columnWidth(1) + w->grid->columnWidth(2), w->grid->viewport()->width());

    // A double-click views the row's own user.
    QString shown;
    onDialog([&](frmAddEditUser* d) {
        shown = d->Tag + ": " + d->txtField[2]->text();
        d->cmdCancel->click();
    });
    doubleClickRow(w->grid, 5);
    QCOMPARE(shown, QString("View/Edit this User: Evans"));
}

void tst_Admin::userLogViewReplacesTheGridAndComesBack()
{
    WriteUsers("User.List", {UserBytes500::user("Jane", "Doe", "abcd", 3)});
    frmAdmin* w = openWindow();
    enterAdminMode(w);
    QVERIFY(!w->cmdReviewUserLog->isVisible()); // no log yet

    WriteFile("User.Log", QByteArray());
    w->SetButtons();
    m_msgs->expect("There is currently no data\r\nin the 'User Log'.", "Nothing to View", Info, Msg::OK);
    w->cmdReviewUserLog->click();
    QVERIFY(!w->isLogViewMode() && w->grid->isVisible());

    WriteFile("User.Log", "  03/07/2026 at 14:05:09 - Jane Doe logged out.\r\n  ");
    w->cmdReviewUserLog->click();
    QCOMPARE(w->windowTitle(), QString("Sennet - User Log"));
    QCOMPARE(w->cmdReviewUserLog->Caption(), QString("Finished Viewing"));
    QVERIFY(!w->grid->isVisible() && !w->cmdAddUser->isVisible() && !w->cmdAdmin->isVisible());
    QCOMPARE(w->txtUserLog->geometry(), w->grid->geometry());
    QCOMPARE(w->txtUserLog->toPlainText(), QString("03/07/2026 at 14:05:09 - Jane Doe logged out.\n"));

    // While the log shows, the review button flashes instead of the admin button.
    const QColor adminBack = w->cmdAdmin->BackColor();
    w->timerFlashButton_Timer();
    QCOMPARE(w->cmdReviewUserLog->BackColor(), QColor(244, 244, 0));
    QCOMPARE(w->cmdAdmin->BackColor(), adminBack);

    w->cmdReviewUserLog->click();
    QCOMPARE(w->windowTitle(), QString("Sennet - Admin Window"));
    QVERIFY(w->grid->isVisible() && !w->txtUserLog->isVisible());
    QCOMPARE(w->cmdReviewUserLog->Caption(), QString("&Review User Log"));
    QCOMPARE(w->cmdReviewUserLog->BackColor(), w->cmdReviewUserLog->BackOver()); // no flash colour stays
    for (VellButton* b : {w->cmdAdmin, w->cmdAddUser, w->cmdEditUser, w->cmdDeleteUser})
        QVERIFY2(b->isVisible(), qPrintable(b->objectName()));
}

void tst_Admin::emptyListBoxStandsOverItsWindow()
{
    // The real box, to see where it stands: over the admin window on screen,
    // not alone on the desktop before the window is drawn.
    setMessageService(nullptr);
    QPointer<QWidget> owner;
    QString caption;
    bool windowShown = false;
    std::function<void()> answer;
    answer = [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            QTimer::singleShot(10, answer);
            return;
        }
        owner = box->parentWidget();
        caption = box->windowTitle();
        windowShown = owner && owner->isVisible() && owner->windowHandle() && owner->windowHandle()->isExposed();
        box->button(QMessageBox::Ok)->click();
    };
    QTimer::singleShot(0, answer);
    frmAdmin* w = openWindow();
    setMessageService(m_msgs);
    QCOMPARE(caption, QString("'User List' Empty"));
    QCOMPARE(owner.data(), static_cast<QWidget*>(w));
    QVERIFY(windowShown);
    QVERIFY(!w->grid->isVisible() && w->cmdAdmin->isVisible());
}

namespace {
// Lines as the log holds them, numbered so that each is told from the others.
QByteArray logLine(int n)
{
    return QStringLiteral("03/07/2026 at 14:05:09 - User %1 logged in w/ Read/Edit/Add privileges.\r\n")
        .arg(n, 7, 10, QChar(u'0'))
        .toLatin1();
}
} // namespace

void tst_Admin::millionLineLogShowsQuickly()
{
    WriteUsers("User.List", {UserBytes500::user("Jane", "Doe", "abcd", 3)});
    constexpr int Lines = 1000000;
    {
        QFile log("User.Log");
        QVERIFY(log.open(QIODevice::WriteOnly));
        QByteArray block;
        for (int n = 1; n <= Lines; ++n) {
            block += logLine(n);
            if (block.size() > (1 << 20) || n == Lines) {
                QCOMPARE(log.write(block), block.size());
                block.clear();
            }
        }
    }
    frmAdmin* w = openWindow();
    enterAdminMode(w);
    QElapsedTimer clock;
    clock.start();
    w->cmdReviewUserLog->click();
    QCoreApplication::processEvents(); // the view is drawn
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed < 3000, qPrintable(QString("the log took %1 ms to show").arg(elapsed)));
    qInfo("a log of %d lines showed in %lld ms", Lines, elapsed);

    QVERIFY(w->isLogViewMode() && w->txtUserLog->isVisible());
    const QString text = w->txtUserLog->toPlainText();
    QVERIFY(!text.contains(u'\r'));
    QVERIFY(text.endsWith(QString::fromLatin1(logLine(Lines)).replace("\r\n", "\n")));
    QVERIFY(text.contains(QString::fromLatin1(logLine(Lines - 1)).replace("\r\n", "\n")));
    if (text.startsWith(UserLogPartialNote())) {
        // Only the latest part is shown, from a whole line on.
        const QString firstEntry = text.section(u'\n', 1, 1);
        QVERIFY2(firstEntry.startsWith("03/07/2026 at 14:05:09 - User "), qPrintable(firstEntry));
    } else {
        QVERIFY(text.startsWith(QString::fromLatin1(logLine(1)).trimmed()));
    }
}

void tst_Admin::logOverTwoGigabytesShowsItsLatestEntries()
{
    WriteUsers("User.List", {UserBytes500::user("Jane", "Doe", "abcd", 3)});
    // A sparse file: a long stretch of old log the disk need not hold, then
    // the latest entries. Its size does not fit a 32-bit count.
    constexpr qint64 Gap = 3LL * 1024 * 1024 * 1024;
    {
        QFile log("User.Log");
        QVERIFY(log.open(QIODevice::WriteOnly));
        QByteArray tail = "\r\n";
        for (int n = 1; n <= 100; ++n)
            tail += logLine(n);
        if (!log.resize(Gap) || !log.seek(Gap))
            QSKIP("this file system cannot hold a sparse file of 3 GB");
        QCOMPARE(log.write(tail), tail.size());
    }
    frmAdmin* w = openWindow();
    enterAdminMode(w);
    w->cmdReviewUserLog->click();
    QVERIFY(w->isLogViewMode());
    const QString text = w->txtUserLog->toPlainText();
    QVERIFY2(text.startsWith(UserLogPartialNote() + "\n"), qPrintable(text.left(200)));
    QVERIFY(text.endsWith(QString::fromLatin1(logLine(100)).replace("\r\n", "\n")));
    QVERIFY(text.contains(QString::fromLatin1(logLine(1)).replace("\r\n", "\n")));
    QVERIFY(!text.contains(QChar(0))); // nothing of the line the cut fell in
    w->cmdReviewUserLog->click();
    QVERIFY(!w->isLogViewMode() && w->txtUserLog->toPlainText().isEmpty());

    // What cannot be shown is refused with a message, and the grid stays.
    QVERIFY(QFile::remove("User.Log") && QDir().mkdir("User.Log"));
    m_msgs->expect("The file \"User.Log\" is not a regular file, so it cannot be shown.", "File Error",
                   Msg::OKOnly | Msg::Exclamation, Msg::OK);
    w->cmdReviewUserLog->click();
    QVERIFY(!w->isLogViewMode() && w->grid->isVisible());
}

void tst_Admin::fadeSwitchIsSavedAndHiddenWithoutFades()
{
    WriteUsers("User.List", {UserBytes500::user("Jane", "Doe", "abcd", 3)});
    m_settings->values["Defaults/FadeStatus"] = "1";
    frmAdmin* w = openWindow();
    // This platform cannot fade: the setting is switched off and the box hidden.
    QCOMPARE(m_settings->values.value("Defaults/FadeStatus"), QString("0"));
    QVERIFY(!w->chkFadeStatus->isVisible() && !w->shpFadeStatus->isVisible() && !FadeFlag());

    w->chkFadeStatus->click();
    QCOMPARE(m_settings->values.value("Defaults/FadeStatus"), QString("1"));
    QVERIFY(FadeFlag());
    w->chkFadeStatus->click();
    QCOMPARE(m_settings->values.value("Defaults/FadeStatus"), QString("0"));
    QVERIFY(!FadeFlag());
}

void tst_Admin::helpAndQuit()
{
    WriteUsers("User.List", {UserBytes500::user("Jane", "Doe", "abcd", 3)});
    frmAdmin* w = openWindow();
    QCOMPARE(w->GridToolTip(1), QString(" Double-click to select this User "));
    w->cmdHelp->click();
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
    QTest::keyClick(w->grid, Qt::Key_F1);
    QCOMPARE(m_helpTopics, QList<int>({3, 3}));

    const QString question = "This will close Sennet.\r\n\r\nIs this what you want to do?";
    m_msgs->expect(question, "Exit Sennet?", Msg::YesNo | Msg::Question, Msg::No);
    w->cmdQuit->click();
    QVERIFY(!IsShuttingDown() && w->isVisible());
    m_msgs->expect(question, "Exit Sennet?", Msg::YesNo | Msg::Question, Msg::Yes);
    w->close(); // the close box asks the same, once the close is over
    QCoreApplication::processEvents();
    QVERIFY(IsShuttingDown());
    QVERIFY(!QFile::exists("User.Log")); // quitting here logs nothing
}

QTEST_MAIN(tst_Admin)
#include "tst_admin.moc"
