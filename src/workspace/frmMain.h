#pragma once
// The main window: the citation list above (all citations or a searched
// sub-list) and the tabbed record editor below, with the record buttons and
// the window buttons.
//
// The window's code is split by role:
//   frmMain.cpp            load, first activation, keys, help, admin hand-over, defaults page
//   frmMainLayout.cpp      creating and placing the controls
//   frmMainList.cpp        the list: loading, sorting, row changes, See All, flashing
//   frmMainRecordView.cpp  the editor: showing a citation, buttons, pages, field behaviour
//   frmMainPrint.cpp       the print buttons
//   frmMainBackup.cpp      the backup and restore menu
//   frmMainExport.cpp      exporting the list as CSV, importing a CSV file, the statistics window
//   frmMainDuplicate.cpp   the warning about a citation number already on file
//   frmMainDesks.cpp       on a server: following the other desks' changes, the lost server
#include "storage/Storage.h"
#include "store/CitationNumberIndex.h"
#include "store/EditorValues.h"
#include "widgets/TextBox.h"

#include <QHash>
#include <QKeyCombination>
#include <QList>
#include <QWidget>
#include <array>

class CitationListModel;
class DeskLockBox;
class UserRecord;
class IdleLock;
class CitationRows;
class QButtonGroup;
class Fader;
class QCheckBox;
class QGridLayout;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QRadioButton;
class QTabWidget;
class QTableView;
class QTimer;
class VellButton;

class frmMain : public QWidget {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // --- 16-bit state flags (on = -1, off = 0) ---------------------------------
    static constexpr qint16 FlagOn = -1;
    static constexpr qint16 FlagOff = 0;
    qint16 ActivatedOnce = FlagOff;
    qint16 FullListMode = FlagOn;
    qint16 SubListMode = FlagOff;
    qint16 Adding = FlagOff;
    qint16 Editing = FlagOff;
    qint16 TemplateMode = FlagOff;
    qint16 InvalidField = 0; // index of the text field that failed validation, 0 when none
    qint16 DefaultsChanged = FlagOff;
    qint16 InitialSort = FlagOff;

    // --- Controls ---------------------------------------------------------------
    // frame[1] the list, frame[2] the editor, frame[3..14] inside the pages,
    // frame[15] the default values. Index 0 is unused.
    std::array<QGroupBox*, 16> frame{};

    // The list.
    QTableView* grid = nullptr;
    CitationListModel* listModel = nullptr;
    QLabel* lblSort = nullptr;
    std::array<QRadioButton*, 3> optSort{}; // 0 "Date", 1 "Citation#", 2 "Offense"
    QLabel* lblStandBy = nullptr;

    // The editor: text fields 1..48 with their labels (index 0 unused).
    QTabWidget* MainTab = nullptr;
    std::array<TextBox, 49> txtField{};
    std::array<QLabel*, 49> lblField{};
    QCheckBox* chkCommercialVehicle = nullptr;
    QCheckBox* chkCommercialViolation = nullptr;
    QCheckBox* chkHazMatViolation = nullptr;
    QCheckBox* chkAccident = nullptr;
    QCheckBox* chkSpeeding = nullptr;
    QCheckBox* chkDUI = nullptr;
    // Option groups, indexed by choice from 1 (index 0 unused).
    std::array<QRadioButton*, 3> optStateLocal{};
    std::array<QRadioButton*, 4> optSpeeding{};
    std::array<QRadioButton*, 5> optTest{};
    std::array<QRadioButton*, 5> optWeather{};
    std::array<QRadioButton*, 4> optTraffic{};
    std::array<QRadioButton*, 5> optRoadDry{};
    std::array<QRadioButton*, 5> optRoadType{};
    std::array<QRadioButton*, 4> optLighting{};
    std::array<QRadioButton*, 4> optSceneDisposition{};
    QLabel* lblInstructions = nullptr;
    QLabel* lblSpaceFull = nullptr;
    QLabel* lblUserInfo = nullptr;

    // The "De&faults" page: boxes 1..5 and their labels (index 0 unused).
    std::array<QLineEdit*, 6> txtDefault{};
    std::array<QLabel*, 6> lblDefault{};
    QLabel* lblDefaultInstructions = nullptr;

    // Window buttons.
    VellButton* cmdBackupRestore = nullptr;
    VellButton* cmdAdminWindow = nullptr;
    VellButton* cmdHelp = nullptr;
    VellButton* cmdQuit = nullptr;
    // List buttons.
    VellButton* cmdFindEntries = nullptr;
    VellButton* cmdSeeAllEntries = nullptr;
    VellButton* cmdPrintList = nullptr;
    VellButton* cmdExportList = nullptr;
    VellButton* cmdImportList = nullptr;
    VellButton* cmdStatistics = nullptr;
    // Record buttons.
    VellButton* cmdAddEntry = nullptr;
    VellButton* cmdAddSave = nullptr;
    VellButton* cmdAddCancel = nullptr;
    VellButton* cmdEditEntry = nullptr;
    VellButton* cmdEditSave = nullptr;
    VellButton* cmdEditCancel = nullptr;
    VellButton* cmdPrintEntry = nullptr;
    VellButton* cmdDeleteEntry = nullptr;
    VellButton* cmdCitationHistory = nullptr; // level 4: the citation's audit trail

    QTimer* timerFlash = nullptr;
    Fader* fader = nullptr;

    // The button Esc presses (cmdQuit while viewing, the cancel button of an
    // add or an edit while that lasts).
    VellButton* CancelButton() const { return m_cancelButton; }
    void setCancelButton(VellButton* button) { m_cancelButton = button; }

    // Option group g's buttons, choice 1..n at index 1..n.
    QRadioButton* optionButton(OptionGroup g, int choice) const;
    int optionChoiceCount(OptionGroup g) const;
    QCheckBox* checkBoxControl(CheckBox c) const;

    // --- The list (frmMainList.cpp) ---------------------------------------------
    void LoadCitationList();
    void optSort_Click(int Index);
    void grid_RowColChange();
    void cmdSeeAllEntries_Click();
    void timerFlash_Timer();
    // The record number of the selected row (column 4), 0 when none.
    int SelectedRecordNumber() const;
    int SelectedRow() const; // -1 when none
    int CitationsInList() const;
    void SelectRow(int row, bool toTop);

    // --- The record view (frmMainRecordView.cpp) --------------------------------
    void ShowSelectedCitation();
    void UpdateButtons();
    void MainTab_Click(int PreviousTab);
    void txtField_GotFocus(int Index);
    void txtField_Change(int Index);
    void txtField_LostFocus(int Index);
    void txtField_MouseMove(int Index);
    // Puts values into the editor: texts, check boxes and option choices.
    void ShowEditorValues(const EditorValues& values);
    // The editor's present values, as the save step stores them. An option
    // group showing no choice gives 0.
    EditorValues EditorValuesFromWindow() const;

    // --- Adding, editing, saving, deleting (frmMainEditing.cpp) ------------------
    void cmdAddEntry_Click();
    // A right-button release starts an add, from the shown citation as a template.
    void cmdAddEntry_MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void StartAdd();
    void StartEdit();
    // Checks, then writes the citation; false when nothing was written.
    bool SaveCitation();
    void EndAdd();
    void EndEdit();
    void cmdDeleteEntry_Click();
    // The audit trail's entries of the citation on display.
    void cmdCitationHistory_Click();
    // Trims and checks the editor's texts, shows what is wrong and sets InvalidField.
    void ValidateCitation();

    // --- Search and quit (frmMainQuit.cpp) ---------------------------------------
    void cmdFindEntries_Click();
    void cmdQuit_Click();
    // The steps when the window closes by the program: the defaults question.
    void Form_QueryUnload();
    // The desktop session ends (log-off or system shut-down) while this window
    // is open: the user is logged out and only the defaults question is asked,
    // when the session lets the program ask at all.
    void Form_SessionEnd(bool mayAsk);
    static QString QuitQuestionText();

    // --- Printing (frmMainPrint.cpp) ---------------------------------------------
    void cmdPrintEntry_Click();
    void cmdPrintList_Click();

    // --- Export and statistics (frmMainExport.cpp) ------------------------------
    // Saves the list on display, in its order, as a CSV file.
    void cmdExportList_Click();
    // Adds the citations of a CSV file, after a preview of every row.
    void cmdImportList_Click();
    // Counts of the list on display, in a window of their own.
    void cmdStatistics_Click();
    // The record numbers of the list, top to bottom.
    QList<int> ListedRecordNumbers() const;

    // --- Duplicate citation numbers (frmMainDuplicate.cpp) ----------------------
    // Before a save: when the citation number of a new citation, or the
    // changed number of an edited one, is already on file, asks whether to
    // save anyway. False when the user chose not to (the focus is then back
    // on the number) or the file could not be checked (the user was told).
    // `toldAbout`, when given, gets the keys of the citations found with
    // the number (those the user was told about), and `numberLookedUp`
    // whether the number was looked up at all, for a save that must make
    // sure no other desk took the number since.
    bool ConfirmCitationNumber(QList<CitationKey>* toldAbout = nullptr, bool* numberLookedUp = nullptr);

    // --- Other desks on a server (frmMainDesks.cpp) --------------------------
    // Starts hearing the other desks' changes (on a server; the folder has
    // no other desks), once the list is loaded.
    void FollowOtherDesks();
    // Another desk added, changed or deleted citations: the list follows,
    // keeping the selected citation, the sort and an add or edit under way.
    void OtherDesksChanged(const QList<CitationChange>& changes);
    // The server went away or came back: a notice over the list, no box.
    void ServerLinkChanged(ServerLink link);
    // The notice shown while the server cannot be reached.
    QLabel* lblServerLost = nullptr;
    // The stamp of the citation on display (who changed it last, its
    // version), and the key it was read under.
    const RowStamp& ShownStamp() const { return m_shownStamp; }
    // The citation an edit under way changes (0 when none).
    CitationKey EditedKey() const { return m_editKey; }

    // --- Backup and restore (frmMainBackup.cpp) ---------------------------------
    // Level 4 gets the pop-up menu, any other level a message.
    void cmdBackupRestore_Click();
    void menuBackupRestore_Click(int Index);
    QMenu* menuBackupRestoremenu = nullptr;
    std::array<QAction*, 5> menuBackupRestore{}; // items 1..4, index 0 unused

    // --- Window (frmMain.cpp) ---------------------------------------------------
    void Form_Load();
    void Form_Activate();
    // Keys the window sees before its controls; true when the key was used.
    bool Form_KeyDown(int KeyCode, Qt::KeyboardModifiers Shift);
    void cmdHelp_Click();
    void cmdAdminWindow_Click();

    // --- The idle lock (frmMainLock.cpp) ----------------------------------------
    // Watches for input once the window is up ([Security] IdleLockMinutes).
    IdleLock* idleLock = nullptr;
    // While the desk is locked: the log-in box over the whole window.
    DeskLockBox* lockBox() const { return m_lockBox; }
    bool isDeskLocked() const { return m_lockBox != nullptr; }
    // Covers the window with the log-in box; everything behind it stays.
    void LockDesk();
    // Someone logged in at the box: the same user goes on where he was;
    // another user ends the first one's session and gets a window of his own.
    void UnlockDesk(const QString& name, const UserRecord& user);
    void txtDefault_Change(int Index);
    // The help topic that fits what the user is doing.
    int HelpTopicForState() const;
    // The keys that press buttons (Ctrl+N add, Ctrl+S save, ...).
    struct ButtonShortcut {
        VellButton* button;
        QKeyCombination keys;
    };
    QList<ButtonShortcut> ButtonShortcuts() const;
    // The shortcut of a button as its tool tip ends with it ("<Ctrl+F> "),
    // empty for a button without one.
    QString ShortcutHint(const VellButton* button) const;
    // The caption of the window: "<installation> - " + application title.
    static QString WindowCaption();

    // Colours of the text fields.
    static QColor ViewingColour() { return {0, 255, 255}; }
    static QColor AddingFocusColour() { return {255, 255, 0}; }
    static QColor EditingFocusColour() { return {255, 192, 192}; }
    static QColor MandatoryLabelColour() { return {192, 0, 0}; }

    static constexpr int DefaultsPage = 7;
    static constexpr int NotesField = 48;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // frmMainLayout.cpp
    void buildControls();
    void buildChoiceControls();
    QRadioButton** optionButtons(OptionGroup g);
    void buildListFrame();
    void buildEditorFrame();
    QWidget* buildBasicsPage();
    QWidget* buildDefendantPage();
    QWidget* buildVehiclePage();
    QWidget* buildOffensePage();
    QWidget* buildLocationPage();
    QWidget* buildCourtPage();
    QWidget* buildNotesPage();
    QWidget* buildDefaultsPage();
    QWidget* fieldCell(int index);
    QGroupBox* optionFrame(int frameIndex, const QString& caption, OptionGroup g, bool across);
    void placeFrames();
    void orderTabStops();
    void keepOptionTabStops();
    void layOutFrames(QSize inside);
    void connectControls();

    // frmMainList.cpp
    void showListColumns();
    void setSortControlsVisible(bool visible);
    int selectedSortIndex() const;
    // After the list model changed by one row: sorts, captions and selects as
    // a reload would (selectRow -1), or keeps selectRow selected. A list of
    // fewer than two rows is reloaded instead, for its messages and controls.
    void presentChangedList(int selectRow);

    // frmMainRecordView.cpp
    void setOptionChoice(OptionGroup g, int choice);
    int optionChoice(OptionGroup g) const;
    bool moveFocusTo(QWidget* target);
    // The first control of a page the Tab key can reach, nullptr when none.
    QWidget* firstTabStop(int page) const;
    void updateNotesIndicator();

    // frmMainEditing.cpp
    void fadeAndWait(int startAlpha, int endAlpha, int step);
    void colourMandatoryLabels(bool mandatory);
    void refreshSelectedRow();
    // The record an add has just appended, for placing it in the list
    // without a reload; m_appendedRecNum is 0 when the list must be reloaded.
    int m_appendedRecNum = 0;
    QByteArray m_appendedRecord;
    // Where the window and the editor stood before an add shrank the window.
    struct AddLayout {
        int top = 0;
        int height = 0;
        int editorTop = 0;
        bool shrunk = false; // the window's height was changed for the add
    } m_addLayout;

    void returnToAdminWindow();
    // A save refused because another desk changed or deleted the citation:
    // what the user chooses next. True when the entries ended up saved.
    bool resolveSaveConflict(const WriteCheck& check);
    // "by <user> at <desk> on <date> at <time>" of a stamp.
    static QString changedByText(const RowStamp& stamp);

    // frmMainDesks.cpp
    // Changes heard while the window could not take them (a box open, a
    // save under way) wait here and are taken as soon as it can.
    void takePendingChanges();
    void applyChanges(const QList<CitationChange>& changes);
    // After rows changed under the feed: the sort, the caption and the
    // selection (the citation `keep`, else the row nearest `nearRow`),
    // without any message box.
    void presentFollowedList(CitationKey keep, int nearRow);
    // Reads the list again, keeping the selected citation, without a box;
    // a failure leaves the list as it is.
    void reloadFollowingOthers();
    void placeServerNotice();
    // The citation on display, or the one an edit changes.
    CitationKey keptKey() const;
    std::unique_ptr<ChangeFeed> m_feed;
    QList<CitationChange> m_pendingChanges;
    bool m_reloadPending = false;   // a reload waits for the add or edit to end
    int m_holdChanges = 0;          // > 0 while an operation of this window runs
    bool m_takingChanges = false;
    QTimer* m_changesTimer = nullptr;
    RowStamp m_shownStamp;
    CitationKey m_shownKey = 0;
    // The citation as shown (and as the edit began): what a save or a
    // deletion naming its version replaces, when the store cannot be read
    // just then (a row another desk deleted is then refused as such).
    CitationRecord m_shownRecord;
    CitationRecord m_editRecord;
    CitationKey m_editKey = 0;
    qint64 m_editVersion = 0;       // the version of it the user was shown
    bool m_editedDeleted = false;   // the edited citation was deleted at another desk
    struct ChangeHold {
        explicit ChangeHold(frmMain* w) : window(w) { ++window->m_holdChanges; }
        ~ChangeHold();
        frmMain* window;
    };
    // frmMainLock.cpp
    DeskLockBox* m_lockBox = nullptr;
    QList<QPair<QWidget*, bool>> m_lockedChildren; // each child and whether it was enabled
    QWidget* m_focusBeforeLock = nullptr;
    // frmMainQuit.cpp
    void connectSessionEnd();
    void writeLogOutLine();
    VellButton* buttonForAccessKey(const QKeyEvent* key) const;
    VellButton* buttonForShortcut(const QKeyEvent* key) const;
    void loadDefaultValues();

    std::array<QButtonGroup*, size_t(OptionGroup::Count)> m_optionGroups{};
    VellButton* m_cancelButton = nullptr;
    QHash<QObject*, int> m_fieldIndex; // txtField widget -> its index
    // Each page's controls in the order they stand on screen.
    std::array<QList<QWidget*>, 8> m_pageTabStops;
    bool m_activationPending = false;
    bool m_closingByProgram = false; // a close that is not the user's close box
    bool m_loggedOut = false; // the log-out line of this window's user is written
    bool m_loadingList = false; // row changes show nothing while the list is rebuilt
    // The length of a data file cut inside a record that the list load has
    // told about, so that each such length is told once; -1 before any.
    qint64 m_damagedLengthTold = -1;
    int m_currentTab = 0;
    int m_editorHeight = 0; // the editor frame's height, pages included
    QSize m_smallest;       // the designed size, the least the window may have
    // The list's side column: its buttons, and the sort choice under or beside them.
    void placeSortChoice(bool beside);
    void orderListButtons();
    QGridLayout* m_listSide = nullptr;
    QWidget* m_sortBox = nullptr;
    bool m_sortBeside = false;
    // The flashing of the See All button: text level, background level, step.
    qint16 m_flashText = 0;
    qint16 m_flashBack = 0;
    qint16 m_flashStep = 0;
};
