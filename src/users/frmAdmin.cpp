#include "users/frmAdmin.h"

#include "session/AppSettings.h"
#include "session/ProcessState.h"
#include "session/ShutDown.h"
#include "session/Utilities.h"
#include "session/WindowHandOver.h"
#include "platform/Messages.h"
#include "platform/Screen.h"
#include "platform/Settings.h"
#include "store/AnsiText.h"
#include "store/DateValue.h"
#include "storage/AccessCode.h"
#include "session/AuditNotice.h"
#include "storage/AuditEvents.h"
#include "storage/AuditStore.h"
#include "users/PasswordCheck.h"
#include "users/Passwords.h"
#include "users/frmAuditLog.h"
#include "users/UserGridModel.h"
#include "storage/Storage.h"
#include "storage/UserLog.h"
#include "users/UserLogView.h"
#include "users/UserMessages.h"
#include "users/UserWindowArt.h"
#include "users/frmAddEditUser.h"
#include "widgets/StrayAltKeys.h"
#include "widgets/VellButton.h"
#include "widgets/WindowPlacement.h"
#include "widgets/modFadeInOut.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTableView>
#include <QTimer>
#include <QWindow>
#include <QDeadlineTimer>
#include <QThread>
#include <QToolTip>

namespace {

int tw(double twips) { return TwipsToPixels(twips); }

// Colours given as Windows colour numbers (blue in the high byte).
QColor windowsColour(unsigned value) { return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF); }

const QColor ButtonFace(232, 238, 247);
const QColor ButtonHover(255, 241, 196);

VellButton* makeButton(const QString& name, QWidget* parent)
{
    auto* b = new VellButton(name, parent);
    b->setBackColor(ButtonFace);
    b->setBackOver(ButtonHover);
    b->setForeColor(Qt::black);
    b->setForeOver(QColor(0, 0, 128));
    return b;
}

} // namespace

frmAdmin::frmAdmin(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmAdmin"));
    setAttribute(Qt::WA_DeleteOnClose);

    gridModel = new UserGridModel(this);
    grid = new QTableView(this);
    grid->setObjectName(QStringLiteral("grid"));
    grid->setAccessibleName(QStringLiteral("User list"));
    grid->setModel(gridModel);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setWordWrap(false);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->verticalHeader()->hide();
    const int rowHeight = tw(285);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(rowHeight);
    grid->horizontalHeader()->setFixedHeight(rowHeight);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->horizontalHeader()->setSectionsClickable(false);
    // Column 0 takes every pixel the other visible columns leave, so the
    // key columns can never come into view.
    grid->horizontalHeader()->setSectionResizeMode(UserGridModel::ColName, QHeaderView::Stretch);
    // At least the widths the layout was drawn for, wider where this
    // screen's font needs it to show the longest level name and a date.
    const QFontMetrics metrics = grid->fontMetrics();
    const int padding = 3 * metrics.averageCharWidth();
    grid->setColumnWidth(UserGridModel::ColLevel,
                         qMax(tw(1900), metrics.horizontalAdvance(AccessLevelName(4)) + padding));
    grid->setColumnWidth(UserGridModel::ColCreated,
                         qMax(tw(1250), metrics.horizontalAdvance(QStringLiteral("00/00/0000")) + padding));
    grid->setColumnHidden(UserGridModel::ColNameSort, true);
    grid->setColumnHidden(UserGridModel::ColRecNum, true);
    grid->setGeometry(tw(180), tw(150), tw(7500), 8 * rowHeight + 2 * grid->frameWidth());
    grid->hide();
    grid->viewport()->installEventFilter(this);
    grid->installEventFilter(this);
    connect(grid, &QTableView::doubleClicked, this, [this] { grid_DblClick(); });

    txtUserLog = new QPlainTextEdit(this);
    txtUserLog->setObjectName(QStringLiteral("txtUserLog"));
    txtUserLog->setAccessibleName(QStringLiteral("User log"));
    txtUserLog->setReadOnly(true);
    txtUserLog->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    txtUserLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtUserLog->setFont(QFont(QStringLiteral("MS Sans Serif"), 9));
    txtUserLog->setStyleSheet(
        QStringLiteral("QPlainTextEdit { background-color: rgb(255, 224, 192); color: rgb(0, 0, 128); }"));
    txtUserLog->setGeometry(grid->x(), grid->y() + tw(300), grid->width(), tw(1200));
    txtUserLog->hide();

    lblFirstStart = new QLabel(FirstStartText(), this);
    lblFirstStart->setObjectName(QStringLiteral("lblFirstStart"));
    lblFirstStart->setWordWrap(true);
    lblFirstStart->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblFirstStart->setMargin(tw(120));
    lblFirstStart->setStyleSheet(QStringLiteral("QLabel { background-color: rgb(255, 255, 240); color: rgb(0, 0, 64);"
                                                " border: 1px solid rgb(0, 0, 128); }"));
    lblFirstStart->setGeometry(grid->geometry());
    lblFirstStart->hide();

    const int row2 = tw(2580);
    const int row2Height = tw(540);
    cmdUserSelected = makeButton(QStringLiteral("cmdUserSelected"), this);
    cmdUserSelected->setGeometry(tw(180), row2, tw(3300), row2Height);
    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setAccessibleName(QStringLiteral("Password"));
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    txtPassword->setMaxLength(8);
    txtPassword->setGeometry(tw(3570), row2, tw(2160), row2Height);
    txtPassword->hide();
    txtPassword->installEventFilter(this);
    cmdContinue = makeButton(QStringLiteral("cmdContinue"), this);
    cmdContinue->setGeometry(tw(5820), row2, tw(1140), row2Height);
    cmdContinue->setAccessibleName(QStringLiteral("Continue"));
    cmdContinue->hide();
    cmdCancel = makeButton(QStringLiteral("cmdCancel"), this);
    cmdCancel->setGeometry(tw(7050), row2, tw(1050), row2Height);
    cmdCancel->setAccessibleName(QStringLiteral("Cancel"));
    cmdCancel->hide();

    cmdAddUser = makeButton(QStringLiteral("cmdAddUser"), this);
    cmdAddUser->setGeometry(tw(180), row2, tw(1440), row2Height);
    cmdEditUser = makeButton(QStringLiteral("cmdEditUser"), this);
    cmdEditUser->setGeometry(tw(1680), row2, tw(1440), row2Height);
    cmdDeleteUser = makeButton(QStringLiteral("cmdDeleteUser"), this);
    cmdDeleteUser->setGeometry(tw(3180), row2, tw(1440), row2Height);
    cmdReviewUserLog = makeButton(QStringLiteral("cmdReviewUserLog"), this);
    cmdReviewUserLog->setGeometry(tw(4680), row2, tw(1890), row2Height);
    cmdAuditLog = makeButton(QStringLiteral("cmdAuditLog"), this);
    cmdAuditLog->setGeometry(tw(6630), row2, tw(1470), row2Height);
    for (VellButton* b : {cmdAddUser, cmdEditUser, cmdDeleteUser, cmdReviewUserLog, cmdAuditLog})
        b->hide();

    cmdAdmin = makeButton(QStringLiteral("cmdAdmin"), this);
    cmdAdmin->setGeometry(tw(180), tw(3240), tw(3900), tw(600));

    shpFadeStatus = new QFrame(this);
    shpFadeStatus->setObjectName(QStringLiteral("shpFadeStatus"));
    shpFadeStatus->setFrameShape(QFrame::Box);
    shpFadeStatus->setStyleSheet(QStringLiteral("QFrame#shpFadeStatus { border: 1px solid rgb(90, 110, 140); }"));
    shpFadeStatus->setGeometry(tw(4260), tw(3300), tw(3840), tw(480));
    chkFadeStatus = new QCheckBox(QStringLiteral("Enable form fade effects"), this);
    chkFadeStatus->setObjectName(QStringLiteral("chkFadeStatus"));
    chkFadeStatus->setToolTip(QStringLiteral(" Check this option if your forms fade in and out too slowly "));
    chkFadeStatus->setGeometry(shpFadeStatus->geometry().adjusted(tw(120), tw(30), -tw(60), -tw(30)));
    connect(chkFadeStatus, &QCheckBox::clicked, this, [this] { chkFadeStatus_Click(); });

    const int pictureSize = tw(420);
    cmdHelp = makeButton(QStringLiteral("cmdHelp"), this);
    cmdHelp->setGeometry(tw(7770), tw(150), pictureSize, pictureSize);
    SetButtonPicture(cmdHelp, HelpButtonPicture(pictureSize - 8), QStringLiteral("Help"));
    cmdQuit = makeButton(QStringLiteral("cmdQuit"), this);
    cmdQuit->setGeometry(tw(7770), tw(660), pictureSize, pictureSize);
    SetButtonPicture(cmdQuit, QuitButtonPicture(pictureSize - 8), QStringLiteral("Quit"));

    timerFlashButton = new QTimer(this);
    timerFlashButton->setObjectName(QStringLiteral("timerFlashButton"));
    timerFlashButton->setInterval(2);
    connect(timerFlashButton, &QTimer::timeout, this, &frmAdmin::timerFlashButton_Timer);

    fader = new Fader(this);
    fader->closeAction = [this] { FadeClosed(); };

    connect(cmdUserSelected, &VellButton::Click, this, &frmAdmin::cmdUserSelected_Click);
    connect(txtPassword, &QLineEdit::textChanged, this, &frmAdmin::txtPassword_Change);
    connect(txtPassword, &QLineEdit::returnPressed, this, [this] {
        if (cmdContinue->isDefault() && cmdContinue->isEnabled())
            cmdContinue_Click();
        else if (cmdCancel->isDefault())
            cmdCancel_Click();
    });
    connect(cmdContinue, &VellButton::Click, this, &frmAdmin::cmdContinue_Click);
    connect(cmdCancel, &VellButton::Click, this, &frmAdmin::cmdCancel_Click);
    connect(cmdAdmin, &VellButton::Click, this, &frmAdmin::cmdAdmin_Click);
    connect(cmdAddUser, &VellButton::Click, this, &frmAdmin::cmdAddUser_Click);
    connect(cmdEditUser, &VellButton::Click, this, &frmAdmin::cmdEditUser_Click);
    connect(cmdDeleteUser, &VellButton::Click, this, &frmAdmin::cmdDeleteUser_Click);
    connect(cmdReviewUserLog, &VellButton::Click, this, &frmAdmin::cmdReviewUserLog_Click);
    connect(cmdAuditLog, &VellButton::Click, this, &frmAdmin::cmdAuditLog_Click);
    connect(cmdHelp, &VellButton::Click, this, &frmAdmin::cmdHelp_Click);
    connect(cmdQuit, &VellButton::Click, this, &frmAdmin::cmdQuit_Click);

    // The window sees these keys before any of its controls.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &frmAdmin::cmdHelp_Click);
    for (const QKeyCombination keys : {Qt::SHIFT | Qt::ALT | Qt::Key_A, Qt::CTRL | Qt::SHIFT | Qt::ALT | Qt::Key_A}) {
        auto* code = new QShortcut(QKeySequence(keys), this);
        connect(code, &QShortcut::activated, this, &frmAdmin::ShowAccessCode);
    }

    KeepAltKeysOutOfText(this);
    Form_Load();
}

QString frmAdmin::FirstStartText()
{
    const QString file = settingsStore().location();
    return QStringLiteral("No one can log in yet. To add the first user, click \"Edit the 'User List'\" and give "
                          "this installation's access code; the first user starts with every function (level 4).")
        + QStringLiteral("\n\n")
        + QStringLiteral("The access code is kept in the settings file %1, section [%2], key %3. "
                         "Shift+Alt+A shows it while this window is in front.")
              .arg(file.isEmpty() ? QStringLiteral("of %1").arg(ApplicationTitle()) : file, AccessCodeSection,
                   AccessCodeKey);
}

void frmAdmin::Form_Load()
{
    FadeStartUpCheck();
    setFixedSize(tw(8280), tw(4335));
    setWindowTitle(ApplicationTitle() + QStringLiteral(" - Admin Window"));
    CenterOnScreen(this);
    RememberWindowPlacement(this);
    m_background = UserWindowsBackgroundTile();
    m_accessCode = storage().shared().accessCode();
}

void frmAdmin::FadeStartUpCheck()
{
    // Forcing the preparation tells whether this platform can fade at all.
    const bool canFade = PrepareFade(this, 0, true);
    SetFadeFlag(canFade);
    if (canFade && !FadeStatusOn()) {
        PrepareFade(this, 255, true);
        SetFadeFlag(false);
    }
    if (!canFade) {
        SaveDefaultsSetting(SettingKey::FadeStatus, QStringLiteral("0"));
        chkFadeStatus->hide();
        shpFadeStatus->hide();
    }
}

void frmAdmin::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_activated && !m_activationPending) {
        // The first activation runs once the window is on screen, so that a
        // message of the first grid load stands in front of it.
        m_activationPending = true;
        QMetaObject::invokeMethod(this, &frmAdmin::Form_Activate, Qt::QueuedConnection);
    }
}

void frmAdmin::Form_Activate()
{
    if (m_activated)
        return;
    // Shown is not yet on screen: on a busy desktop the window system may put
    // the window up a little later. Wait for it (a second at most), so the
    // first load's message never stands over an empty screen.
    if (QWindow* handle = windowHandle(); handle && isVisible()) {
        const QDeadlineTimer deadline(1000);
        while (!handle->isExposed() && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
            if (!handle->isExposed())
                QThread::msleep(5);
        }
    }
    m_activationPending = false;
    activateWindow();
    LoadGrid();
    SetButtons();
    if (cmdUserSelected->isVisibleTo(this))
        cmdUserSelected->setFocus();
    chkFadeStatus->setChecked(FadeStatusOn());
    if (FadeFlag())
        fader->StartFade(0, 255, 20, false);
    m_activated = true;
}

void frmAdmin::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    TileBackground(painter, m_background, width(), height());
}

void frmAdmin::closeEvent(QCloseEvent* event)
{
    if (m_handingOver || IsShuttingDown() || IsSessionEnding()) {
        event->accept();
        return;
    }
    // The close box asks like the quit button does, once this close is over:
    // the quit closes this window itself, which it cannot do from within
    // this close.
    event->ignore();
    QuitAfterThisClose(this, [this] { cmdQuit_Click(); });
}

bool frmAdmin::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == grid->viewport() && event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = grid->indexAt(help->pos());
        const QString tip = index.isValid() ? GridToolTip(index.row() + 1) : QString();
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, grid->viewport());
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (watched == grid && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            grid_DblClick();
            return true;
        }
        if (watched == txtPassword && key == Qt::Key_Escape && cmdCancel->isVisibleTo(this)) {
            cmdCancel_Click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmAdmin::LoadGrid()
{
    grid->hide();
    grid->setUpdatesEnabled(false);
    gridModel->setRows({});
    lblFirstStart->hide();

    auto showEmpty = [this] {
        grid->setUpdatesEnabled(true);
        MsgBox(QStringLiteral("There are currently no 'Users'") + CRLF + QStringLiteral("entered in the 'User List'"),
               Msg::OKOnly | Msg::Information, QStringLiteral("'User List' Empty"));
        lblFirstStart->setVisible(!m_logView);
    };
    QList<StoredUser> users;
    FileError error;
    if (!storage().users().list(users, error)) {
        grid->setUpdatesEnabled(true);
        ShowFileError(error);
        return;
    }
    // A list without a record (one of length 0 is what a run killed during
    // the first add leaves) is empty all the same.
    if (users.isEmpty()) {
        showEmpty();
        return;
    }
    QList<UserGridRow> rows;
    rows.reserve(users.size());
    for (const StoredUser& stored : users) {
        const UserRecord& user = stored.record;
        rows.append({Ansi::trimSpaces(DisplayName(user)), AccessLevelName(user.AccessLevel()),
                     FormatNumericDate(user.DateCreated()),
                     Ansi::trimSpaces(NameSortKey(user)), stored.key});
    }

    gridModel->setRows(std::move(rows));
    if (gridModel->rowCount() >= 2)
        gridModel->sortByNameKey();
    grid->setUpdatesEnabled(true);
    if (gridModel->rowCount() >= 1) {
        grid->show();
        // A user row is always highlighted, so the buttons that act on "the
        // highlighted user" have one; later steps may choose another.
        SelectGridRow(1);
    }
    lblFirstStart->setVisible(gridModel->rowCount() == 0 && !m_logView);
    m_firstLoad = false;
}

void frmAdmin::SelectGridRow(int row)
{
    if (row < 1 || row > gridModel->rowCount())
        return;
    const QModelIndex index = gridModel->index(row - 1, UserGridModel::ColName);
    grid->setCurrentIndex(index);
    grid->selectRow(row - 1);
    grid->scrollTo(index, QAbstractItemView::PositionAtTop);
}

int frmAdmin::SelectedRow() const
{
    const QModelIndexList rows = grid->selectionModel()->selectedRows();
    return rows.isEmpty() ? 0 : rows.first().row() + 1;
}

int frmAdmin::TopRow() const
{
    const int r = grid->rowAt(0);
    return r < 0 ? 0 : r + 1;
}

int frmAdmin::SelectedRecordNumber() const
{
    const int row = SelectedRow();
    return row == 0 ? 0 : gridModel->row(row - 1).recordNumber;
}

void frmAdmin::SetButtons()
{
    const bool rows = gridModel->rowCount() >= 1;
    const bool adminButtons = m_adminMode && !m_logView;
    const QString title = ApplicationTitle();

    if (m_adminMode) {
        cmdAdmin->setCaption(QStringLiteral("Finished w/ '&User List' Admin"));
        cmdAdmin->setToolTipText(QStringLiteral(" Click here when finished with the Admin functions "));
    } else {
        cmdAdmin->setCaption(QStringLiteral("&Edit the 'User List'"));
        cmdAdmin->setToolTipText(QStringLiteral(" Click here to Add, Edit/View, and/or Delete Users "));
    }
    cmdAdmin->setVisible(!m_logView && cmdUserSelected->Tag.isEmpty());
    cmdHelp->setToolTipText(QStringLiteral("Click here for more information about the 'Admin Window'... "));
    cmdQuit->setToolTipText(QStringLiteral(" Click here to exit ") + title + u' ');

    cmdAddUser->setCaption(QStringLiteral("&Add User"));
    cmdAddUser->setToolTipText(QStringLiteral(" Add a User to the 'User Name' list "));
    cmdAddUser->setVisible(adminButtons);
    cmdEditUser->setCaption(QStringLiteral("&Edit User"));
    cmdEditUser->setToolTipText(QStringLiteral(" Edit the highlighted User "));
    cmdEditUser->setVisible(adminButtons && rows);
    cmdDeleteUser->setCaption(QStringLiteral("&Delete User"));
    cmdDeleteUser->setToolTipText(QStringLiteral(" Delete the highlighted User "));
    cmdDeleteUser->setVisible(adminButtons && rows);
    if (cmdUserSelected->Tag.isEmpty())
        cmdUserSelected->setCaption(QStringLiteral("&Select the Highlighted User"));
    cmdUserSelected->setToolTipText(QStringLiteral(" Proceed to the Program with this User "));
    cmdUserSelected->setVisible(!m_adminMode && rows);
    cmdReviewUserLog->setCaption(m_logView ? QStringLiteral("Finished Viewing") : QStringLiteral("&Review User Log"));
    cmdReviewUserLog->setToolTipText(QStringLiteral(" Review the logged history of Users "));
    // A server's log is always there to look at; the folder's only once its file is.
    cmdReviewUserLog->setVisible(m_adminMode && (storage().isServer() || QFileInfo::exists(UserLogFileName)));
    cmdAuditLog->setCaption(QStringLiteral("Audi&t Trail"));
    cmdAuditLog->setToolTipText(QStringLiteral(" Review who added, changed, printed or deleted what, and when "));
    cmdAuditLog->setVisible(adminButtons);

    if (m_adminMode) {
        timerFlashButton->start();
    } else {
        timerFlashButton->stop();
        // A teal button with black text that turns light yellow under the mouse.
        cmdAdmin->setForeColor(windowsColour(0x000000));
        cmdAdmin->setForeOver(windowsColour(0x80FFFF));
        cmdAdmin->setBackColor(windowsColour(0x808000));
        cmdAdmin->setBackOver(windowsColour(0x808000));
    }
    for (VellButton* b : {cmdAdmin, cmdHelp, cmdQuit, cmdAddUser, cmdEditUser, cmdDeleteUser, cmdUserSelected,
                          cmdReviewUserLog, cmdAuditLog})
        b->Refresh();
}

QString frmAdmin::GridToolTip(int row) const
{
    if (row < 1 || row > gridModel->rowCount())
        return QString();
    if (cmdEditUser->isVisibleTo(this))
        return QStringLiteral(" Double-click to view/edit this User ");
    if (cmdUserSelected->isVisibleTo(this))
        return QStringLiteral(" Double-click to select this User ");
    return QString();
}

void frmAdmin::grid_DblClick()
{
    if (m_adminMode) {
        if (cmdEditUser->isVisibleTo(this))
            cmdEditUser_Click();
    } else if (cmdUserSelected->isVisibleTo(this) && cmdUserSelected->Tag.isEmpty()) {
        cmdUserSelected_Click();
    }
}

void frmAdmin::cmdUserSelected_Click()
{
    if (!cmdUserSelected->Tag.isEmpty() || SelectedRow() == 0)
        return;
    cmdAdmin->hide();
    grid->setEnabled(false);

    cmdUserSelected->Tag = cmdUserSelected->Caption();
    QFont bold = cmdUserSelected->font();
    bold.setBold(true);
    cmdUserSelected->setFont(bold);
    cmdUserSelected->setCaption(QStringLiteral("Enter Password at right"));
    cmdUserSelected->setEnabled(false);

    QFont large = txtPassword->font();
    large.setPointSize(20);
    txtPassword->setFont(large);
    txtPassword->clear();
    txtPassword->show();
    txtPassword->setFocus();

    cmdContinue->setCaption(QStringLiteral("Continue"));
    cmdContinue->show();
    cmdContinue->setEnabled(false);
    cmdCancel->setCaption(QStringLiteral("Cancel"));
    cmdCancel->show();
    txtPassword_Change();
}

void frmAdmin::txtPassword_Change()
{
    const bool typed = !txtPassword->text().isEmpty();
    cmdContinue->setEnabled(typed);
    cmdContinue->setDefault(typed);
    cmdCancel->setEnabled(true);
    cmdCancel->setDefault(!typed);
}

void frmAdmin::cmdCancel_Click()
{
    txtPassword->hide();
    cmdContinue->hide();
    cmdCancel->hide();
    cmdAdmin->show();
    grid->setEnabled(true);
    QFont normal = cmdUserSelected->font();
    normal.setBold(false);
    cmdUserSelected->setFont(normal);
    cmdUserSelected->setCaption(cmdUserSelected->Tag);
    cmdUserSelected->Tag.clear();
    cmdUserSelected->setEnabled(true);
    cmdUserSelected->Refresh();
    grid->setFocus();
}

void frmAdmin::cmdContinue_Click()
{
    const int row = SelectedRow();
    if (row == 0 || txtPassword->text().isEmpty())
        return;
    UserRecord user;
    FileError error;
    if (!storage().users().read(gridModel->row(row - 1).recordNumber, user, error)) {
        ShowFileError(error);
        return;
    }
    const QString name = gridModel->cell(row - 1, UserGridModel::ColName);
    if (!CheckLogInPassword(name, user, txtPassword->text(), m_accessCode)) {
        txtPassword->clear();
        txtPassword->setFocus();
        return;
    }

    CurrentUserName = name;
    CurrentAccessLevel = user.AccessLevel();
    if (!WriteUserLogLine(1))
        ShowFileError(UserLogWriteFailure(QStringLiteral("so this log-in is not recorded")));
    RecordOrTell(AuditEvents::logIn(), QStringLiteral("this log-in"));

    if (FadeFlag()) {
        // The fade's end tells a log-in from a quit by this Tag.
        cmdContinue->Tag = windowTitle();
        fader->StartFade(255, 0, 20, true);
    } else {
        HandOverToMainWindow();
    }
}

void frmAdmin::FadeClosed()
{
    if (windowTitle() == cmdContinue->Tag)
        HandOverToMainWindow();
    else
        ShutDown();
}

void frmAdmin::HandOverToMainWindow()
{
    m_handingOver = true;
    // The main window is up before this one goes, so the program never
    // stands without a window.
    ShowMainWindow();
    close();
}

void frmAdmin::cmdAdmin_Click()
{
    if (m_adminMode) {
        m_adminMode = false;
        timerFlashButton->stop();
    } else {
        const QString prompt = CRLF + QStringLiteral("Please enter the access code") + CRLF
            + QStringLiteral("needed to add/edit/delete") + CRLF + QStringLiteral("users in this 'User List'");
        for (;;) {
            const QString answer =
                InputBox(prompt, QStringLiteral("Access Code Required"), QStringLiteral("<Enter Access Code Here>"));
            if (answer.isEmpty())
                break;
            FileError ignored;
            recordAudit(AuditEvents::accessCodeUsed(QStringLiteral("user administration"), answer == m_accessCode),
                        ignored);
            if (answer == m_accessCode) {
                m_adminMode = true;
                break;
            }
            MsgBox(QStringLiteral("Sorry, but you have not entered") + CRLF + QStringLiteral("the correct Access Code."),
                   Msg::OKOnly | Msg::Critical, QStringLiteral("Incorrect Access Code"));
        }
        if (m_adminMode && gridModel->rowCount() == 0)
            AddOrEditUser(true);
    }
    SetButtons();
}

void frmAdmin::ShowAccessCode()
{
    MsgBox(QStringLiteral("The 'Access Code' for this") + CRLF + QStringLiteral("version of ") + ApplicationTitle()
               + QStringLiteral(" is ") + CRLF + CRLF + m_accessCode,
           Msg::OKOnly | Msg::Information, QStringLiteral("Access Code"));
}

void frmAdmin::timerFlashButton_Timer()
{
    if (m_foreLevel < 8) {
        m_backLevel = 248;
        m_step = 4;
    } else if (m_foreLevel > 248) {
        m_backLevel = 2;
        m_step = -4;
    }
    AddTo(m_foreLevel, m_step);
    AddTo(m_backLevel, -m_step);
    VellButton* flashing = m_logView ? cmdReviewUserLog : cmdAdmin;
    flashing->setBackColor(QColor(m_backLevel, m_backLevel, 0));
    flashing->setForeColor(QColor(m_foreLevel, m_foreLevel, 0));
}

void frmAdmin::cmdAddUser_Click() { AddOrEditUser(true); }

void frmAdmin::cmdEditUser_Click() { AddOrEditUser(false); }

void frmAdmin::AddOrEditUser(bool add)
{
    VellButton* button = add ? cmdAddUser : cmdEditUser;
    const int recordNumber = add ? 0 : SelectedRecordNumber();
    if (!add && recordNumber == 0)
        return;

    if (FadeFlag()) {
        fader->StartFade(255, 204, 2, false);
        fader->WaitForFade();
    }
    QString key;
    {
        frmAddEditUser dialog(this);
        dialog.Tag = add ? QStringLiteral("Add a User") : QStringLiteral("View/Edit this User");
        dialog.SelectedRecordNumber = recordNumber;
        dialog.UpdateTagButton = button;
        dialog.exec();
        key = Ansi::trimSpaces(NameSortKey(dialog.SavedUser));
    }
    if (FadeFlag())
        fader->StartFade(204, 255, 2, false);

    if (button->Tag == QLatin1String("Update")) {
        LoadGrid();
        QCoreApplication::processEvents();
        if (gridModel->rowCount() >= 2) {
            for (int row = 1; row <= gridModel->rowCount(); ++row) {
                if (gridModel->cell(row - 1, UserGridModel::ColNameSort) == key) {
                    SelectGridRow(row);
                    break;
                }
            }
        }
        SetButtons();
        button->Tag.clear();
    }
}

void frmAdmin::cmdDeleteUser_Click()
{
    const int row = SelectedRow();
    if (row == 0)
        return;
    const QString name = gridModel->cell(row - 1, UserGridModel::ColName);
    const int answer = MsgBox(QStringLiteral("Are you sure you want to remove") + CRLF + CRLF + name + CRLF + CRLF
                                  + QStringLiteral("from the 'User List'?"),
                              Msg::YesNoCancel | Msg::Question | Msg::DefaultButton2, QStringLiteral("Confirm Deletion"));
    if (answer != Msg::Yes)
        return;

    FileError error;
    const UserKey key = gridModel->row(row - 1).recordNumber;
    UserRecord user;
    if (!storage().users().read(key, user, error)
        || !RunAuditedChange(AuditEvents::userRemoved(user), error,
                             [&](FileError& e) { return storage().users().remove(key, e); })) {
        ShowFileError(error);
        return;
    }
    // Someone is left to select.
    if (gridModel->rowCount() > 1)
        m_reselectRow = qMax(1, row - 1);
    LoadGrid();
    QCoreApplication::processEvents();
    if (grid->isVisibleTo(this))
        SelectGridRow(qMin(m_reselectRow, gridModel->rowCount()));
    SetButtons();
    MsgBox(QStringLiteral("The name has been removed") + CRLF + QStringLiteral("from the 'User List'."),
           Msg::OKOnly | Msg::Information, QStringLiteral("Name removed"));
}

void frmAdmin::cmdReviewUserLog_Click()
{
    if (m_logView)
        HideUserLog();
    else
        ShowUserLog();
}

void frmAdmin::cmdAuditLog_Click()
{
    if (!m_adminMode)
        return;
    frmAuditLog viewer(auditStore(), QString(), this);
    viewer.exec();
}

void frmAdmin::ShowUserLog()
{
    const UserLogView log = ReadUserLogForView();
    if (log.empty) {
        MsgBox(QStringLiteral("There is currently no data") + CRLF + QStringLiteral("in the 'User Log'."),
               Msg::OKOnly | Msg::Information, QStringLiteral("Nothing to View"));
        return;
    }
    if (log.error.isError()) {
        ShowFileError(log.error);
        return;
    }

    m_logView = true;
    for (VellButton* b : {cmdAdmin, cmdAddUser, cmdEditUser, cmdDeleteUser, cmdAuditLog})
        b->hide();
    Tag = windowTitle();
    cmdReviewUserLog->setCaption(QStringLiteral("Finished Viewing"));
    setWindowTitle(ApplicationTitle() + QStringLiteral(" - User Log"));

    grid->hide();
    lblFirstStart->hide();
    m_userLogTop = txtUserLog->y();
    txtUserLog->setGeometry(txtUserLog->x(), grid->y(), txtUserLog->width(), grid->height());
    txtUserLog->setPlainText(UserLogViewText(log.text));
    txtUserLog->show();
}

void frmAdmin::HideUserLog()
{
    m_logView = false;
    txtUserLog->hide();
    txtUserLog->move(txtUserLog->x(), m_userLogTop);
    txtUserLog->clear();
    // The last flash colours must not stay on the button.
    cmdReviewUserLog->setForeColor(windowsColour(0x000000));
    cmdReviewUserLog->setBackColor(cmdReviewUserLog->BackOver());
    setWindowTitle(Tag);
    if (gridModel->rowCount() >= 1)
        grid->show();
    lblFirstStart->setVisible(gridModel->rowCount() == 0);
    SetButtons();
}

void frmAdmin::cmdHelp_Click()
{
    if (FadeFlag()) {
        fader->StartFade(255, 204, 2, false);
        fader->WaitForFade();
    }
    ShowHelpTopic(3, this);
    if (FadeFlag())
        fader->StartFade(204, 255, 2, false);
}

void frmAdmin::cmdQuit_Click()
{
    const QString title = ApplicationTitle();
    const int answer = MsgBox(QStringLiteral("This will close ") + title + u'.' + CRLF + CRLF
                                  + QStringLiteral("Is this what you want to do?"),
                              Msg::YesNo | Msg::Question, QStringLiteral("Exit ") + title + u'?');
    if (answer != Msg::Yes)
        return;
    if (FadeFlag())
        fader->StartFade(255, 0, 20, true);
    else
        ShutDown();
}

void frmAdmin::chkFadeStatus_Click()
{
    const int value = chkFadeStatus->isChecked() ? 1 : 0;
    SaveDefaultsSetting(SettingKey::FadeStatus, QString::number(value));
    SetFadeFlag(value == 1);
}
