// The main window's load, first activation, keys, help and hand-over to the
// admin window, and the default values page.
#include "workspace/frmMain.h"

#include "session/AppSettings.h"
#include "session/IdleLock.h"
#include "session/ProcessState.h"
#include "session/ShutDown.h"
#include "session/WindowHandOver.h"
#include "platform/Messages.h"
#include "storage/Storage.h"
#include "storage/UserLog.h"
#include "widgets/StrayAltKeys.h"
#include "widgets/VellButton.h"
#include "widgets/modFadeInOut.h"
#include "workspace/CitationList.h"
#include "store/SearchSettings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

namespace {

// Help topics, by their place in the help window's topic menu.
namespace HelpTopic {
constexpr int Overview = 1;
constexpr int MainWindow = 4;
constexpr int AddingAnEntry = 5;
constexpr int EditingAnEntry = 6;
constexpr int FindingEntries = 8;
} // namespace HelpTopic

constexpr int KeyF1 = 112;

// The text before " - " and the application title in the window's caption.
const QString InstallationCaption = QStringLiteral("Traffic Citations");

const QStringList InstructionLines = {
    QStringLiteral("Use the <Tab> key"),  QStringLiteral("to move from"),      QStringLiteral("one data field"),
    QStringLiteral("to the next."),       QString(),                           QStringLiteral("Use the <Alt>-letter"),
    QStringLiteral("keys to move from"),  QStringLiteral("one tab to another."), QString(),
    QStringLiteral("The data fields"),    QStringLiteral("with red labels are"), QStringLiteral("mandatory entries."),
};

const QStringList DefaultInstructionLines = {
    QStringLiteral("You can use 'default text' in certain"),
    QStringLiteral("data fields when entering a record."),
    QString(),
    QStringLiteral("Whatever you put in the text boxes"),
    QStringLiteral("at right will appear automatically"),
    QStringLiteral("when you make a new entry."),
    QString(),
    QStringLiteral("You can also save and update these"),
    QStringLiteral("defaults for use from now on."),
};

} // namespace

frmMain::frmMain(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setAttribute(Qt::WA_DeleteOnClose);
    fader = new Fader(this);
    buildControls();
    connectControls();
    connectSessionEnd();
    idleLock = new IdleLock(this);
    connect(idleLock, &IdleLock::lockNow, this, &frmMain::LockDesk);
    Form_Load();
}

frmMain::~frmMain() = default;

QString frmMain::WindowCaption() { return InstallationCaption + QStringLiteral(" - ") + ApplicationTitle(); }

void frmMain::Form_Load()
{
    SetFadeFlag(PrepareFade(this, 0, false));
    setWindowTitle(WindowCaption());
    searchSettings() = SearchSettings{};

    lblInstructions->setText(InstructionLines.join(CRLF));
    lblInstructions->hide();
    lblDefaultInstructions->setText(DefaultInstructionLines.join(CRLF));
    loadDefaultValues();
    frame[15]->setEnabled(false); // the default values open with their page

    setCancelButton(cmdQuit);
    fader->closeAction = [this] {
        // A closing fade started by the admin-window button leaves the caption
        // in that button's Tag; any other closing fade ends the program.
        if (!cmdAdminWindow->Tag.isEmpty() && cmdAdminWindow->Tag == windowTitle())
            returnToAdminWindow();
        else
            ShutDown();
    };
    UpdateButtons();
    MainTab->hide();
}

void frmMain::connectControls()
{
    connect(cmdSeeAllEntries, &VellButton::Click, this, &frmMain::cmdSeeAllEntries_Click);
    connect(cmdHelp, &VellButton::Click, this, &frmMain::cmdHelp_Click);
    connect(cmdAdminWindow, &VellButton::Click, this, &frmMain::cmdAdminWindow_Click);
    connect(cmdAddEntry, &VellButton::Click, this, &frmMain::cmdAddEntry_Click);
    connect(cmdAddEntry, &VellButton::MouseUp, this, &frmMain::cmdAddEntry_MouseUp);
    connect(cmdAddSave, &VellButton::Click, this, &frmMain::SaveCitation);
    connect(cmdAddCancel, &VellButton::Click, this, &frmMain::EndAdd);
    connect(cmdEditEntry, &VellButton::Click, this, &frmMain::StartEdit);
    connect(cmdEditSave, &VellButton::Click, this, &frmMain::SaveCitation);
    connect(cmdEditCancel, &VellButton::Click, this, &frmMain::EndEdit);
    connect(cmdDeleteEntry, &VellButton::Click, this, &frmMain::cmdDeleteEntry_Click);
    connect(cmdCitationHistory, &VellButton::Click, this, &frmMain::cmdCitationHistory_Click);
    connect(cmdFindEntries, &VellButton::Click, this, &frmMain::cmdFindEntries_Click);
    connect(cmdQuit, &VellButton::Click, this, &frmMain::cmdQuit_Click);
    connect(cmdPrintEntry, &VellButton::Click, this, &frmMain::cmdPrintEntry_Click);
    connect(cmdPrintList, &VellButton::Click, this, &frmMain::cmdPrintList_Click);
    connect(cmdExportList, &VellButton::Click, this, &frmMain::cmdExportList_Click);
    connect(cmdImportList, &VellButton::Click, this, &frmMain::cmdImportList_Click);
    connect(cmdStatistics, &VellButton::Click, this, &frmMain::cmdStatistics_Click);
    connect(cmdBackupRestore, &VellButton::Click, this, &frmMain::cmdBackupRestore_Click);
    connect(timerFlash, &QTimer::timeout, this, &frmMain::timerFlash_Timer);

    for (int i = 0; i < 3; ++i)
        connect(optSort[size_t(i)], &QRadioButton::clicked, this, [this, i] { optSort_Click(i); });
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { grid_RowColChange(); });
    connect(MainTab, &QTabWidget::currentChanged, this, [this](int page) {
        const int previous = m_currentTab;
        m_currentTab = page;
        MainTab_Click(previous);
    });

    for (int i = 1; i <= CitationLayout::EditorFieldCount; ++i) {
        TextBox& box = txtField[size_t(i)];
        if (box.lineEdit()) {
            connect(box.lineEdit(), &QLineEdit::textChanged, this, [this, i] { txtField_Change(i); });
            box.lineEdit()->setMouseTracking(true);
        } else {
            connect(box.multiLine(), &QPlainTextEdit::textChanged, this, [this, i] { txtField_Change(i); });
        }
        m_fieldIndex.insert(box.widget(), i);
    }
    for (int i = 1; i <= 5; ++i)
        connect(txtDefault[size_t(i)], &QLineEdit::textChanged, this, [this, i] { txtDefault_Change(i); });

    // The window sees keys before its controls.
    installEventFilter(this);
    const QList<QWidget*> children = findChildren<QWidget*>();
    for (QWidget* w : children)
        w->installEventFilter(this);
}

void frmMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!ActivatedOnce && !m_activationPending) {
        // The first activation runs once the window is on screen, so that its
        // messages stand in front of it.
        m_activationPending = true;
        QMetaObject::invokeMethod(this, &frmMain::Form_Activate, Qt::QueuedConnection);
    }
}

void frmMain::Form_Activate()
{
    if (ActivatedOnce)
        return;
    ActivatedOnce = FlagOn;
    m_activationPending = false;

    lblUserInfo->setText(QStringLiteral("User: ") + CurrentUserName + CRLF + QStringLiteral("Access: ")
                         + AccessLevelName(CurrentAccessLevel));
    // A name too long for the label is cut at its edge; the tooltip shows it whole.
    const bool nameFits = lblUserInfo->fontMetrics().horizontalAdvance(QStringLiteral("User: ") + CurrentUserName)
        <= lblUserInfo->contentsRect().width() - 2 * lblUserInfo->margin();
    lblUserInfo->setToolTip(nameFits ? QString() : QStringLiteral("User: ") + CurrentUserName);
    MainTab->setCurrentIndex(0);
    // Heard from before the list is read, so no change falls between.
    FollowOtherDesks();
    cmdSeeAllEntries_Click();
    if (CitationsInList() > 0) {
        moveFocusTo(grid);
    } else {
        cmdHelp_Click();
        moveFocusTo(cmdAddEntry);
    }
    if (FadeFlag())
        fader->StartFade(0, 255, 20, false);
    idleLock->start();
}

// The keys that press the record and list buttons, beside their access keys.
// Each works only while its button could be pressed; Ctrl+S saves whichever
// of an add or an edit is under way.
QList<frmMain::ButtonShortcut> frmMain::ButtonShortcuts() const
{
    return {
        {cmdAddEntry, QKeyCombination(Qt::ControlModifier, Qt::Key_N)},
        {cmdEditEntry, QKeyCombination(Qt::ControlModifier, Qt::Key_E)},
        {cmdAddSave, QKeyCombination(Qt::ControlModifier, Qt::Key_S)},
        {cmdEditSave, QKeyCombination(Qt::ControlModifier, Qt::Key_S)},
        {cmdFindEntries, QKeyCombination(Qt::ControlModifier, Qt::Key_F)},
        {cmdPrintEntry, QKeyCombination(Qt::ControlModifier, Qt::Key_P)},
        {cmdPrintList, QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_P)},
        {cmdQuit, QKeyCombination(Qt::ControlModifier, Qt::Key_Q)},
    };
}

QString frmMain::ShortcutHint(const VellButton* button) const
{
    for (const ButtonShortcut& s : ButtonShortcuts())
        if (s.button == button)
            return u'<' + QKeySequence(s.keys).toString(QKeySequence::NativeText) + QStringLiteral("> ");
    return {};
}

VellButton* frmMain::buttonForShortcut(const QKeyEvent* key) const
{
    if (!(key->modifiers() & Qt::ControlModifier) || !isEnabled())
        return nullptr;
    const QKeyCombination pressed(key->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier),
                                  Qt::Key(key->key()));
    for (const ButtonShortcut& s : ButtonShortcuts())
        if (s.keys == pressed && s.button->isVisibleTo(this) && s.button->isEnabled())
            return s.button;
    return nullptr;
}

// Some access keys of the window's buttons are also those of editor pages
// ("&Find" and "De&faults", "&Delete this" and "&Defendant", "Print &List"
// and "&Location"). A button that can be pressed takes its key; the page
// takes it only while the button is hidden or disabled (adding, editing).
VellButton* frmMain::buttonForAccessKey(const QKeyEvent* key) const
{
    if ((key->modifiers() & ~Qt::ShiftModifier) != Qt::AltModifier || key->text().isEmpty())
        return nullptr;
    QChar letter = key->text().at(0).toLower();
    if (key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z)
        letter = QChar(u'a' + (key->key() - Qt::Key_A));
    const QList<VellButton*> buttons = findChildren<VellButton*>();
    for (VellButton* b : buttons)
        if (b->AccessKey() == letter && b->isVisibleTo(this) && b->isEnabled() && b->window() == this)
            return b;
    return nullptr;
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Claim the key so that it reaches the KeyPress below instead of
        // being shared out as an ambiguous shortcut.
        if (buttonForAccessKey(static_cast<QKeyEvent*>(event)) || buttonForShortcut(static_cast<QKeyEvent*>(event))) {
            event->accept();
            return true;
        }
        break;
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (VellButton* button = buttonForAccessKey(key)) {
            button->setFocus(Qt::ShortcutFocusReason);
            button->click();
            return true;
        }
        if (VellButton* button = buttonForShortcut(key)) {
            button->click();
            return true;
        }
        // An Alt+letter that no button, page or label took (its button is
        // hidden or disabled) is not text: it must not land in the box.
        if (IsStrayAltKey(key))
            return true;
        if (Form_KeyDown(key->key() == Qt::Key_F1 ? KeyF1 : key->key(), key->modifiers()))
            return true;
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier && m_cancelButton
            && m_cancelButton->isVisible() && m_cancelButton->isEnabled()) {
            m_cancelButton->click();
            return true;
        }
        break;
    }
    case QEvent::Shortcut:
        // A page's access key while adding or editing puts the focus on the
        // page's first field, also when that page is already shown.
        if (watched == MainTab->tabBar() && (Adding || Editing)) {
            const bool used = watched->event(event);
            if (MainTab->currentIndex() != DefaultsPage)
                moveFocusTo(firstTabStop(MainTab->currentIndex()));
            return used;
        }
        break;
    case QEvent::FocusIn:
        if (const int i = m_fieldIndex.value(watched))
            txtField_GotFocus(i);
        break;
    case QEvent::FocusOut:
        if (const int i = m_fieldIndex.value(watched))
            txtField_LostFocus(i);
        break;
    case QEvent::MouseMove:
        if (const int i = m_fieldIndex.value(watched))
            txtField_MouseMove(i);
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

bool frmMain::Form_KeyDown(int KeyCode, Qt::KeyboardModifiers Shift)
{
    (void)Shift;
    if (KeyCode == KeyF1 && !isDeskLocked()) {
        cmdHelp_Click();
        return true;
    }
    return false;
}

int frmMain::HelpTopicForState() const
{
    FileError ignored;
    if (storage().citations().count(ignored) == 0)
        return HelpTopic::Overview;
    if (Adding)
        return HelpTopic::AddingAnEntry;
    if (Editing)
        return HelpTopic::EditingAnEntry;
    if (SubListMode)
        return HelpTopic::FindingEntries;
    return HelpTopic::MainWindow;
}

void frmMain::cmdHelp_Click()
{
    const int topic = HelpTopicForState();
    if (FadeFlag()) {
        fader->StartFade(255, 204, 2, false);
        fader->WaitForFade();
    }
    ShowHelpTopic(topic, this);
    if (FadeFlag()) {
        fader->StartFade(204, 255, 2, false);
        fader->WaitForFade();
    }
}

void frmMain::cmdAdminWindow_Click()
{
    writeLogOutLine();
    if (FadeFlag()) {
        cmdAdminWindow->Tag = windowTitle();
        fader->StartFade(255, 0, 20, true);
    } else {
        returnToAdminWindow();
    }
}

void frmMain::returnToAdminWindow()
{
    cmdAdminWindow->Tag.clear();
    // The admin window comes up before this one goes, so that the program
    // never stands without a window.
    ShowAdminWindow();
    m_closingByProgram = true;
    close();
}

void frmMain::loadDefaultValues()
{
    for (int i = 1; i <= 5; ++i) {
        QLineEdit* box = txtDefault[size_t(i)];
        const QString value = ReadDefaultsSetting(DefaultValueKey(i));
        // A stored value is shown whole even when it is longer than the box accepts.
        box->setMaxLength(qMax(box->maxLength(), int(value.size())));
        box->setText(value);
    }
    DefaultsChanged = FlagOff;
}

void frmMain::txtDefault_Change(int Index)
{
    (void)Index;
    DefaultsChanged = FlagOn;
}

QRadioButton** frmMain::optionButtons(OptionGroup g)
{
    switch (g) {
    case OptionGroup::StateLocal: return optStateLocal.data();
    case OptionGroup::Speeding: return optSpeeding.data();
    case OptionGroup::Test: return optTest.data();
    case OptionGroup::Weather: return optWeather.data();
    case OptionGroup::RoadDry: return optRoadDry.data();
    case OptionGroup::RoadType: return optRoadType.data();
    case OptionGroup::Traffic: return optTraffic.data();
    case OptionGroup::Lighting: return optLighting.data();
    case OptionGroup::SceneDisposition: return optSceneDisposition.data();
    case OptionGroup::Count: break;
    }
    return nullptr;
}

QRadioButton* frmMain::optionButton(OptionGroup g, int choice) const
{
    if (choice < 1 || choice > optionChoiceCount(g))
        return nullptr;
    return const_cast<frmMain*>(this)->optionButtons(g)[choice];
}

int frmMain::optionChoiceCount(OptionGroup g) const { return EditorLayout::optionGroup(g).choiceCount; }

QCheckBox* frmMain::checkBoxControl(CheckBox c) const
{
    switch (c) {
    case CheckBox::CommercialVehicle: return chkCommercialVehicle;
    case CheckBox::Accident: return chkAccident;
    case CheckBox::CommercialViolation: return chkCommercialViolation;
    case CheckBox::HazMatViolation: return chkHazMatViolation;
    case CheckBox::Speeding: return chkSpeeding;
    case CheckBox::DUI: return chkDUI;
    case CheckBox::Count: break;
    }
    return nullptr;
}
