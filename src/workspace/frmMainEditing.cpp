// Adding, editing, saving, cancelling and deleting citations: the window's
// mode changes, the layout change while adding, and the steps around the
// record write. The checks themselves live in Validation; the record and the
// file in the store.
#include "workspace/frmMain.h"

#include "session/ProcessState.h"
#include "platform/Clock.h"
#include "platform/Messages.h"
#include "platform/Progress.h"
#include "platform/Screen.h"
#include "store/AnsiText.h"
#include "store/DateValue.h"
#include "storage/AuditEvents.h"
#include "storage/AuditStore.h"
#include "storage/Storage.h"
#include "users/frmAuditLog.h"
#include "widgets/BusyGuard.h"
#include "widgets/VellButton.h"
#include "widgets/WindowPlacement.h"
#include "widgets/modFadeInOut.h"
#include "workspace/CitationList.h"
#include "workspace/Validation.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

namespace {
// The fields a plain add fills from the default values, by default box.
constexpr int DefaultTargets[6] = {0, 1, 9, 37, 38, 43};
constexpr int MandatoryFields[] = {2, 3, 32, 39};
constexpr int AddingHeightTwips = 7000;

// The key an added citation will have, for its audit entry: the data folder
// puts it after the last one; a server gives it when the row is written.
CitationKey nextKey(CitationStore& citations)
{
    if (!citations.keysShiftOnDelete())
        return 0;
    FileError ignored;
    const int count = citations.count(ignored);
    return count < 0 ? 0 : count + 1;
}

// The citation as stored, for the audit entry of its change. A write that
// names the version shown changes nothing unless the stored citation is
// still that version, so when it cannot be read (another desk deleted it,
// say) the one shown stands in: the write then tells what happened.
bool readForWrite(CitationStore& citations, CitationKey key, qint64 shownVersion, const CitationRecord& shown,
                  CitationRecord& stored, FileError& error)
{
    if (citations.read(key, stored, error))
        return true;
    if (shownVersion <= 0)
        return false;
    error.clear();
    stored = shown;
    return true;
}
} // namespace

void frmMain::fadeAndWait(int startAlpha, int endAlpha, int step)
{
    if (!FadeFlag())
        return;
    fader->StartFade(startAlpha, endAlpha, step, false);
    fader->WaitForFade();
}

void frmMain::colourMandatoryLabels(bool mandatory)
{
    const QColor colour = mandatory ? MandatoryLabelColour() : QColor(0, 0, 0);
    for (int i : MandatoryFields) {
        QPalette p = lblField[i]->palette();
        p.setColor(QPalette::WindowText, colour);
        lblField[i]->setPalette(p);
    }
}

void frmMain::cmdAddEntry_Click() { StartAdd(); }

void frmMain::cmdAddEntry_MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers, int, int)
{
    if (Button != Qt::RightButton || !cmdAddEntry->isEnabled())
        return;
    if (!Ansi::trimSpaces(txtField[2]->text()).isEmpty())
        TemplateMode = FlagOn;
    StartAdd();
}

void frmMain::StartAdd()
{
    if (Adding || Editing)
        return;
    Adding = FlagOn;
    fadeAndWait(255, 0, 40);

    for (int i = 3; i <= 14; ++i)
        frame[i]->setEnabled(true);
    // Texts are set while the boxes are still locked, so the recall values
    // change only where the template fills them.
    for (int i = 1; i <= CitationLayout::EditorFieldCount; ++i) {
        TextBox& box = txtField[i];
        if (TemplateMode) {
            box.Tag = box->text();
            box->setText(QString());
        } else {
            QString value;
            for (int d = 1; d <= 5; ++d)
                if (DefaultTargets[d] == i)
                    value = Ansi::trimSpaces(txtDefault[d]->text());
            box->setText(value);
        }
        box->setLocked(false);
    }
    // "Date Entered" and "Time Entered" are always the moment of this add:
    // they recall nothing of an earlier add or of the template.
    txtField[7].Tag.clear();
    txtField[8].Tag.clear();
    for (CheckBox c : {CheckBox::DUI, CheckBox::Accident, CheckBox::HazMatViolation, CheckBox::CommercialVehicle,
                       CheckBox::CommercialViolation, CheckBox::Speeding})
        checkBoxControl(c)->setChecked(false);
    // The option groups keep the shown citation's choices; a group that shows
    // none (a damaged record) starts at its usual choice, so a new citation
    // never stores "no choice".
    for (const OptionGroupSpec& g : EditorLayout::optionGroups())
        if (optionChoice(g.id) == 0)
            setOptionChoice(g.id, g.initialChoice);

    MainTab->setVisible(true);
    MainTab->setCurrentIndex(0);

    // The list goes away and the window shrinks to the editor while adding;
    // a maximised window keeps its size, the editor at its top.
    frame[1]->hide();
    m_addLayout = {pos().y(), height(), frame[2]->y(), false};
    layOutFrames(size());
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        const int editorBottom = frame[2]->y() + frame[2]->height() + frame[1]->y();
        // The height is an outer height; the window is centred in the available area.
        const QSize addingInside = FittedClientSize(this, QSize(width(), TwipsToPixels(AddingHeightTwips)));
        setFixedHeight(qMax(addingInside.height(), editorBottom));
        const QRect area = screenMetrics().availableGeometry();
        const QMargins edge = WindowFrameMargins(this);
        // Left now, the window is remembered as it stood before the add.
        setProperty(RestingGeometryProperty, QRect(x(), m_addLayout.top, width(), m_addLayout.height));
        move(x(), area.top() + qMax(0, (area.height() - height() - edge.top() - edge.bottom()) / 2));
        m_addLayout.shrunk = true;
    }

    placeServerNotice();

    if (cmdBackupRestore->isVisible())
        cmdBackupRestore->setEnabled(false);
    cmdAdminWindow->setEnabled(false);
    cmdAddEntry->hide();
    cmdAddSave->show();
    cmdAddCancel->show();
    setCancelButton(cmdAddCancel);
    cmdEditEntry->hide();
    cmdPrintEntry->hide();
    cmdDeleteEntry->hide();
    cmdCitationHistory->hide();
    lblInstructions->show();
    colourMandatoryLabels(true);
    MainTab->setTabEnabled(DefaultsPage, false);

    fadeAndWait(0, 255, 40);
    moveFocusTo(txtField[1]->text().isEmpty() ? txtField[1].widget() : txtField[2].widget());
}

void frmMain::ValidateCitation()
{
    EditorValues values = EditorValuesFromWindow();
    const ValidationResult result = ValidateCitationValues(values);
    // The trimmed and upper-cased texts stay in the boxes, also when refused.
    for (int i = 1; i <= CitationLayout::EditorFieldCount; ++i)
        if (txtField[i]->text() != values[i])
            txtField[i]->setText(values[i]);
    for (const ValidationMessage& m : result.messages)
        MsgBox(m.text, m.flags, m.caption);
    InvalidField = result.invalidField;
}

bool frmMain::SaveCitation()
{
    if (!Adding && !Editing)
        return false;
    ChangeHold hold(this);
    ValidateCitation();
    if (InvalidField) {
        MainTab->setCurrentIndex(PageOfField(InvalidField));
        moveFocusTo(txtField[InvalidField].widget());
        return false;
    }
    WriteCheck check;
    if (!ConfirmCitationNumber(&check.knownDuplicates, &check.checkNumber))
        return false;
    // An edit whose citation another desk deleted is saved as a new one.
    const bool asNew = Adding || m_editedDeleted;
    check.shownVersion = asNew ? 0 : m_editVersion;

    CitationRecord record;
    FillCitationRecord(EditorValuesFromWindow(), Now(), record);
    FileError error;
    CitationKey written = 0;
    // One attempt at the write, under the wait pointer.
    const auto writeOnce = [&] {
        BusyGuard busy(this);
        CitationStore& citations = storage().citations();
        const CitationKey n = asNew ? 0 : m_editKey;
        CitationRecord stored;
        written = n;
        m_appendedRecNum = 0;
        m_appendedRecord.clear();
        error.clear();
        check.conflict = RowConflict::None;
        // Each save is recorded in the audit trail first; a save the trail
        // cannot record is refused, and a refused save takes its entry back.
        if (n > 0 && readForWrite(citations, n, check.shownVersion, m_editRecord, stored, error)) {
            // The boxes show only the date of the one and the time of the
            // other; an edit keeps the full moments as they were saved.
            record.setDate(CitationField::DateEntered, stored.date(CitationField::DateEntered));
            record.setDate(CitationField::TimeEntered, stored.date(CitationField::TimeEntered));
            RunAuditedChange(AuditEvents::citationEdited(stored, record, n), error,
                             [&](FileError& e) { return citations.saveChecked(n, record, check, e); });
        } else if (n == 0
                   && RunAuditedChange(AuditEvents::citationAdded(record, nextKey(citations)), error,
                                       [&](FileError& e) { return citations.addChecked(record, written, check, e); })) {
            // The full list holding every citation but the new one can take
            // it as one more row; any other list is read again.
            FileError ignored;
            const bool listIsFile = Adding && FullListMode && CitationsInList() == citations.count(ignored) - 1;
            m_appendedRecNum = listIsFile ? written : 0;
            m_appendedRecord = m_appendedRecNum ? record.bytes() : QByteArray();
        }
    };
    for (;;) {
        writeOnce();
        if (check.conflict != RowConflict::NumberTaken)
            break;
        // Another desk saved this number since the user was asked (or was
        // told nothing): the question again, with what is on file now.
        check.knownDuplicates.clear();
        check.checkNumber = false;
        if (!ConfirmCitationNumber(&check.knownDuplicates, &check.checkNumber))
            return false;
    }
    if (check.conflict == RowConflict::Changed || check.conflict == RowConflict::Deleted)
        return resolveSaveConflict(check);
    if (error.isError()) {
        // Nothing was written: the user stays where he was, with every entry.
        MsgBox(error.message() + CRLF + CRLF + QStringLiteral("The citation was not saved; your entries") + CRLF
                   + QStringLiteral("are still on the screen."),
               Msg::Critical | Msg::OKOnly, QStringLiteral("Citation Not Saved"));
        return false;
    }

    for (int i = 1; i <= CitationLayout::EditorFieldCount; ++i)
        txtField[i].Tag = Ansi::trimSpaces(txtField[i]->text());
    if (Adding) {
        cmdAddSave->Tag = QStringLiteral("Save");
        EndAdd();
    } else {
        if (asNew) {
            m_editKey = written;
            m_editedDeleted = false;
        }
        cmdEditSave->Tag = QStringLiteral("Save");
        EndEdit();
    }
    return true;
}

QString frmMain::changedByText(const RowStamp& stamp)
{
    QString text = QStringLiteral("by ") + (stamp.user.isEmpty() ? QStringLiteral("another user") : stamp.user);
    if (!stamp.desk.isEmpty())
        text += QStringLiteral(" at desk ") + stamp.desk;
    if (stamp.when.isValid()) {
        const DateValue when = ToDateValue(stamp.when);
        text += QStringLiteral(" on ") + FormatNumericDate(when) + QStringLiteral(" at ")
            + FormatDateValue(when, QStringLiteral("h:nnam/pm"));
    }
    return text;
}

bool frmMain::resolveSaveConflict(const WriteCheck& check)
{
    const QString number = Ansi::trimSpaces(txtField[2]->text());
    if (check.conflict == RowConflict::Deleted) {
        const int answer = MsgBox(QStringLiteral("Citation Number ") + number + CRLF
                                      + QStringLiteral("has been deleted at another desk") + CRLF
                                      + QStringLiteral("while you were editing it.") + CRLF + CRLF
                                      + QStringLiteral("Do you want to save your entries") + CRLF
                                      + QStringLiteral("as a new citation?"),
                                  Msg::YesNo | Msg::Question, QStringLiteral("Citation Deleted"));
        if (answer == Msg::Yes) {
            m_editedDeleted = true;
            return SaveCitation();
        }
        // Dropped: the list no longer holds it.
        if (listModel->rowOfRecord(m_editKey, SelectedRow()) >= 0) {
            m_loadingList = true;
            listModel->removeRecord(m_editKey, false);
            m_loadingList = false;
        }
        m_editKey = 0;
        presentFollowedList(0, SelectedRow());
        cmdEditSave->Tag.clear();
        EndEdit();
        return false;
    }
    const int answer = MsgBox(QStringLiteral("Citation Number ") + number + QStringLiteral(" was changed at another desk")
                                  + CRLF + changedByText(check.current) + CRLF
                                  + QStringLiteral("while you were editing it. Your entries were not saved;") + CRLF
                                  + QStringLiteral("they are still on the screen.") + CRLF + CRLF
                                  + QStringLiteral("Click 'Yes' to save your entries over that change,") + CRLF
                                  + QStringLiteral("'No' to drop your entries and see the stored citation,") + CRLF
                                  + QStringLiteral("'Cancel' to go on editing."),
                              Msg::YesNoCancel | Msg::Exclamation | Msg::DefaultButton3,
                              QStringLiteral("Citation Changed at Another Desk"));
    if (answer == Msg::Yes) {
        // The user has seen who changed it and chose his entries over it.
        m_editVersion = check.current.version;
        return SaveCitation();
    }
    if (answer == Msg::No) {
        // The stored version on screen, and in the list's row.
        refreshSelectedRow();
        cmdEditSave->Tag.clear();
        EndEdit();
    }
    return false;
}

void frmMain::EndAdd()
{
    if (!Adding)
        return;
    fadeAndWait(255, 0, 40);
    Adding = FlagOff;
    FullListMode = FlagOn;
    SubListMode = FlagOff;
    TemplateMode = FlagOff;
    lblInstructions->hide();
    colourMandatoryLabels(false);

    if (m_addLayout.shrunk) {
        setMinimumHeight(m_smallest.height());
        setMaximumHeight(QWIDGETSIZE_MAX);
        resize(width(), m_addLayout.height);
        move(x(), m_addLayout.top);
        setProperty(RestingGeometryProperty, QVariant());
    }
    layOutFrames(size());
    frame[1]->show();
    placeServerNotice();

    if (cmdAddSave->Tag == QLatin1String("Save")) {
        if (m_appendedRecNum > 0) {
            m_loadingList = true;
            listModel->insertRecord(m_appendedRecord.constData(), m_appendedRecNum, false);
            m_loadingList = false;
            presentChangedList(-1);
        } else {
            LoadCitationList();
        }
        m_appendedRecNum = 0;
        m_appendedRecord.clear();
        cmdAddSave->Tag.clear();
    }
    ShowSelectedCitation();
    UpdateButtons();
    MainTab->setCurrentIndex(0);
    fadeAndWait(0, 255, 40);
    if (CitationsInList() > 0)
        moveFocusTo(grid);
    else
        moveFocusTo(cmdAddEntry);
    // What the other desks changed meanwhile, now that the add is over.
    if ((m_reloadPending || !m_pendingChanges.isEmpty()) && m_changesTimer)
        m_changesTimer->start(0);
}

void frmMain::StartEdit()
{
    if (Adding || Editing || SelectedRecordNumber() <= 0)
        return;
    Editing = FlagOn;
    // The edited citation is kept by its key: the list's selection may move
    // while other desks change the list.
    m_editKey = SelectedRecordNumber();
    m_editVersion = m_shownKey == m_editKey ? m_shownStamp.version : 0;
    m_editRecord = m_shownRecord;
    m_editedDeleted = false;
    fadeAndWait(255, 0, 40);
    frame[1]->setEnabled(false);
    // "Date Entered" and "Time Entered" (frame 3) stay as they were saved.
    for (int i = 4; i <= 14; ++i)
        frame[i]->setEnabled(true);

    if (cmdBackupRestore->isVisible())
        cmdBackupRestore->setEnabled(false);
    cmdAdminWindow->setEnabled(false);
    cmdAddEntry->hide();
    cmdEditEntry->hide();
    cmdEditSave->show();
    cmdEditCancel->show();
    setCancelButton(cmdEditCancel);
    cmdDeleteEntry->hide();
    cmdPrintEntry->hide();
    cmdCitationHistory->hide();
    lblInstructions->show();
    colourMandatoryLabels(true);
    if (MainTab->currentIndex() == DefaultsPage)
        MainTab->setCurrentIndex(0);
    MainTab->setTabEnabled(DefaultsPage, false);
    for (int i = 1; i <= CitationLayout::EditorFieldCount; ++i)
        txtField[i]->setLocked(false);
    fadeAndWait(0, 255, 40);
    // The edit button that had the focus is gone: the focus goes to the
    // first field of the page shown.
    moveFocusTo(firstTabStop(MainTab->currentIndex()));
}

void frmMain::EndEdit()
{
    if (!Editing)
        return;
    Editing = FlagOff;
    fadeAndWait(255, 0, 40);
    lblInstructions->hide();
    colourMandatoryLabels(false);
    if (cmdEditSave->Tag == QLatin1String("Save")) {
        refreshSelectedRow();
        cmdEditSave->Tag.clear();
    }
    m_editKey = 0;
    m_editVersion = 0;
    m_editedDeleted = false;
    ShowSelectedCitation();
    UpdateButtons();
    frame[1]->setEnabled(CitationsInList() >= 1 || FullListMode);
    fadeAndWait(0, 255, 40);
    moveFocusTo(CitationsInList() > 0 ? static_cast<QWidget*>(grid) : cmdAddEntry);
    if ((m_reloadPending || !m_pendingChanges.isEmpty()) && m_changesTimer)
        m_changesTimer->start(0);
}

// The edited row shows what a reload would show, keys included, so a later
// sort places the citation by its new date.
void frmMain::refreshSelectedRow()
{
    const int recNum = m_editKey > 0 ? m_editKey : SelectedRecordNumber();
    if (recNum <= 0)
        return;
    const int row = listModel->rowOfRecord(recNum, SelectedRow());
    CitationRecord record;
    FileError error;
    if (!storage().citations().read(recNum, record, error))
        return;
    // The row moves to where a reload would place it and stays selected.
    const bool wasLoading = m_loadingList;
    m_loadingList = true;
    if (row >= 0) {
        const int now = listModel->updateRecord(row, record.bytes().constData(), SubListMode != 0);
        if (now != SelectedRow())
            SelectRow(now, false);
        m_loadingList = wasLoading;
        return;
    }
    // An edit saved as a new citation (the old one deleted at another
    // desk): its row joins the list, and a sub-list's count.
    listModel->insertRecord(record.bytes().constData(), recNum, SubListMode != 0);
    presentFollowedList(recNum, -1);
    m_loadingList = wasLoading;
}

void frmMain::cmdDeleteEntry_Click()
{
    const int recNum = SelectedRecordNumber();
    if (Adding || Editing || recNum <= 0)
        return;
    ChangeHold hold(this);
    if (FadeFlag())
        fadeAndWait(255, 217, 2);
    else
        QCoreApplication::processEvents();
    const int answer = MsgBox(QStringLiteral("Are you SURE you wish to delete") + CRLF + CRLF
                                  + QStringLiteral("Citation Number ") + txtField[2]->text() + u',' + CRLF + CRLF
                                  + QStringLiteral("dated ") + txtField[3]->text() + u'?',
                              Msg::YesNo | Msg::Question | Msg::DefaultButton2, QStringLiteral("Confirm"));
    fadeAndWait(217, 255, 2);
    if (answer != Msg::Yes)
        return;

    FileError error;
    // The version the user was shown: another desk's change since then is
    // shown first, and the question asked again.
    WriteCheck check;
    check.shownVersion = m_shownKey == recNum ? m_shownStamp.version : 0;
    const QString number = Ansi::trimSpaces(txtField[2]->text());
    {
        BusyGuard busy(this);
        CitationStore& citations = storage().citations();
        Progress progress(QStringLiteral("Delete Citation"), QStringLiteral("Rewriting the data file without the citation..."));
        // The trail keeps the whole citation as it was on file.
        CitationRecord stored;
        if (readForWrite(citations, recNum, check.shownVersion, m_shownRecord, stored, error)
            && RunAuditedChange(AuditEvents::citationDeleted(stored, recNum), error, [&](FileError& e) {
                   return citations.removeChecked(recNum, check, e, progress.fn());
               })) {
            // A list that held every citation (or a sub-list) loses the one
            // row; in the data file the records after it move up by one.
            FileError ignored;
            if (SubListMode || CitationsInList() == citations.count(ignored) + 1) {
                m_loadingList = true; // the selection settles in presentChangedList
                listModel->removeRecord(recNum, citations.keysShiftOnDelete());
                m_loadingList = false;
                presentChangedList(-1);
            } else {
                LoadCitationList();
            }
            ShowSelectedCitation();
            UpdateButtons();
        }
    }
    if (check.conflict == RowConflict::Changed) {
        MsgBox(QStringLiteral("Citation Number ") + number + QStringLiteral(" was changed at another desk") + CRLF
                   + changedByText(check.current) + CRLF + QStringLiteral("since it was shown, and was not deleted.")
                   + CRLF + CRLF + QStringLiteral("The citation as it is stored now is on the screen."),
               Msg::OKOnly | Msg::Exclamation, QStringLiteral("Citation Changed at Another Desk"));
        refreshSelectedRow();
        ShowSelectedCitation();
        UpdateButtons();
        cmdDeleteEntry_Click();
        return;
    }
    if (check.conflict == RowConflict::Deleted) {
        if (listModel->rowOfRecord(recNum, SelectedRow()) >= 0) {
            const int near = SelectedRow();
            m_loadingList = true;
            listModel->removeRecord(recNum, false);
            m_loadingList = false;
            presentFollowedList(0, near);
        }
        ShowSelectedCitation();
        UpdateButtons();
        MsgBox(QStringLiteral("Citation Number ") + number + CRLF
                   + QStringLiteral("had already been deleted at another desk."),
               Msg::OKOnly | Msg::Information, QStringLiteral("Citation Deleted"));
        return;
    }
    if (error.isError()) {
        MsgBox(error.message() + CRLF + CRLF + QStringLiteral("The citation was not deleted."),
               Msg::Critical | Msg::OKOnly, QStringLiteral("Citation Not Deleted"));
        return;
    }
    if (CitationsInList() > 0)
        moveFocusTo(grid);
    else
        moveFocusTo(cmdAddEntry);
}

void frmMain::cmdCitationHistory_Click()
{
    if (Adding || Editing || CurrentAccessLevel != 4 || SelectedRecordNumber() <= 0)
        return;
    frmAuditLog viewer(auditStore(), Ansi::trimSpaces(txtField[2]->text()), this);
    viewer.exec();
}
