// The record editor of the main window: showing the selected citation, the
// buttons' states, choosing a page, and how the text fields behave.
#include "workspace/frmMain.h"

#include "session/ProcessState.h"
#include "platform/Clock.h"
#include "platform/Messages.h"
#include "store/AnsiText.h"
#include "storage/Storage.h"
#include "store/DateValue.h"
#include "widgets/VellButton.h"
#include "workspace/CitationList.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>

namespace {

const QString TimeFormat = QStringLiteral("h:nnam/pm");
const QString PrinterReady = QStringLiteral(" Be sure your printer is ready! ");

QString twoLines(const char* upper, const char* lower)
{
    return QLatin1String(upper) + CRLF + QLatin1String(lower);
}

// Sets a button's caption and tooltip and whether it shows; redraws it.
void setButton(VellButton* b, const QString& caption, const QString& tip, bool visible)
{
    if (!caption.isNull())
        b->setCaption(caption);
    b->setToolTipText(tip);
    b->setVisible(visible);
}

} // namespace

void frmMain::ShowSelectedCitation()
{
    for (int f = 3; f <= 14; ++f)
        frame[size_t(f)]->setEnabled(false);
    for (int i = 1; i <= CitationLayout::EditorFieldCount; ++i) {
        TextBox& box = txtField[size_t(i)];
        box.setLocked(true);
        box.widget()->setFocusPolicy(Qt::StrongFocus);
        box.setBackColor(ViewingColour());
    }
    // Each box is set once, to the citation's text or empty: emptied first
    // and then filled, every text would be laid out twice.
    const auto emptyBoxes = [this] {
        for (int i = 1; i <= CitationLayout::EditorFieldCount; ++i)
            txtField[size_t(i)].setText(QString());
    };
    if (!ActivatedOnce)
        MainTab->setCurrentIndex(0);
    MainTab->setTabEnabled(DefaultsPage, FullListMode != 0);

    m_shownKey = 0;
    m_shownStamp = {};
    if (CitationsInList() == 0) {
        emptyBoxes();
        MainTab->hide();
        return;
    }
    const int n = SelectedRecordNumber();
    CitationRecord record;
    FileError error;
    // The stamp says which version the user sees: a save or deletion
    // names it, so another desk's change since is never overwritten.
    if (n > 0 && storage().citations().readStamped(n, record, m_shownStamp, error)) {
        m_shownKey = n;
        m_shownRecord = record;
        ShowEditorValues(EditorValuesFromRecord(record));
    } else {
        emptyBoxes();
        if (n > 0)
            MsgBox(error.message(), Msg::OKOnly | Msg::Critical);
    }
    MainTab->show();
}

void frmMain::ShowEditorValues(const EditorValues& values)
{
    for (int i = 1; i <= CitationLayout::EditorFieldCount; ++i)
        txtField[size_t(i)].setText(values[i]);
    for (const CheckBoxSpec& c : EditorLayout::checkBoxes())
        checkBoxControl(c.id)->setChecked(values[c.id]);
    for (const OptionGroupSpec& g : EditorLayout::optionGroups())
        setOptionChoice(g.id, values[g.id]);
}

EditorValues frmMain::EditorValuesFromWindow() const
{
    EditorValues values;
    for (int i = 1; i <= CitationLayout::EditorFieldCount; ++i)
        values[i] = txtField[size_t(i)].text();
    for (const CheckBoxSpec& c : EditorLayout::checkBoxes())
        values[c.id] = checkBoxControl(c.id)->isChecked();
    for (const OptionGroupSpec& g : EditorLayout::optionGroups())
        values[g.id] = optionChoice(g.id);
    return values;
}

void frmMain::setOptionChoice(OptionGroup g, int choice)
{
    QButtonGroup* group = m_optionGroups[size_t(g)];
    if (QAbstractButton* b = group->button(choice)) {
        b->setChecked(true);
        return;
    }
    // A stored value that names no choice (a damaged or foreign record) shows
    // no choice at all rather than another citation's.
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons())
        b->setChecked(false);
    group->setExclusive(true);
}

int frmMain::optionChoice(OptionGroup g) const
{
    const int id = m_optionGroups[size_t(g)]->checkedId();
    return id < 0 ? 0 : id;
}

void frmMain::UpdateButtons()
{
    const int citations = CitationsInList();
    const bool fullList = FullListMode != 0;
    const bool subList = SubListMode != 0;
    const QString noTip;

    const bool backup = (storage().isServer() || QFileInfo::exists(CitationFileName)) && fullList;
    setButton(cmdBackupRestore, QString(),
              QStringLiteral(" Backup and Restore Options (Full access level privileges required) "), backup);
    if (backup)
        cmdBackupRestore->setEnabled(true);

    setButton(cmdAdminWindow, QString(), QStringLiteral(" Return to the Admin Window "), true);
    cmdAdminWindow->setEnabled(true);

    cmdHelp->setToolTipText(QStringLiteral(" Click here for information "));

    setButton(cmdQuit, QString(), QStringLiteral(" Click here to exit ") + ApplicationTitle() + u' ' + ShortcutHint(cmdQuit),
              true);
    setCancelButton(cmdQuit);

    setButton(cmdFindEntries, twoLines("&Find", "Citation(s)"),
              QStringLiteral(" Search for one or more record(s) according to... ") + ShortcutHint(cmdFindEntries),
              citations >= 2 && fullList);
    setButton(cmdSeeAllEntries, twoLines("See &All", "Citations"),
              QStringLiteral(" See a list of all evidence currently in the database "), subList);
    setButton(cmdPrintList, twoLines("Print", "&List"), PrinterReady + ShortcutHint(cmdPrintList), citations >= 2);
    setButton(cmdExportList, twoLines("E&xport", "List"),
              QStringLiteral(" Save this list as a CSV file for a spreadsheet "), citations >= 2);
    // Usable on an empty list too: that is where a first import goes.
    setButton(cmdImportList, twoLines("I&mport", "CSV File"),
              QStringLiteral(" Add citations from a CSV file (the form Export List writes) "), fullList);
    if (fullList)
        cmdImportList->setEnabled(CurrentAccessLevel > 2);
    setButton(cmdStatistics, twoLines("Stat&istics", "of List"),
              QStringLiteral(" Count the citations of this list by month, offense, officer and place "),
              citations >= 1);

    setButton(cmdAddEntry, twoLines("&Add a", "Citation"),
              QStringLiteral(" Add a new citation to your database (right-click to use 'template' option) ")
                  + ShortcutHint(cmdAddEntry),
              fullList);
    if (fullList)
        cmdAddEntry->setEnabled(CurrentAccessLevel > 2);
    setButton(cmdAddSave, twoLines("&Save", "New Entry"), u' ' + ShortcutHint(cmdAddSave), Adding != 0);
    setButton(cmdAddCancel, twoLines("&Cancel", "New Entry"), noTip, Adding != 0);

    setButton(cmdEditEntry, twoLines("&Edit this", "Citation"), u' ' + ShortcutHint(cmdEditEntry), citations >= 1);
    if (citations >= 1)
        cmdEditEntry->setEnabled(CurrentAccessLevel > 1);
    setButton(cmdEditSave, twoLines("&Save", "Changes"), u' ' + ShortcutHint(cmdEditSave), Editing != 0);
    setButton(cmdEditCancel, twoLines("&Cancel", "Changes"), noTip, Editing != 0);

    setButton(cmdPrintEntry, twoLines("&Print this", "Citation"), PrinterReady + ShortcutHint(cmdPrintEntry),
              citations >= 1);
    const bool deletable = SelectedRow() >= 0 && fullList;
    setButton(cmdDeleteEntry, twoLines("&Delete this", "Citation"),
              QStringLiteral(" Permanently remove this citation entry from the database "), deletable);
    if (deletable)
        cmdDeleteEntry->setEnabled(CurrentAccessLevel == 4);
    // Who did what to a citation is for those who may delete it.
    setButton(cmdCitationHistory, twoLines("Citation", "Histor&y"),
              QStringLiteral(" Who added, changed, printed or exported this citation, and when "),
              citations >= 1 && SelectedRow() >= 0 && CurrentAccessLevel == 4);

    for (VellButton* b : {cmdBackupRestore, cmdAdminWindow, cmdHelp, cmdQuit, cmdFindEntries, cmdSeeAllEntries,
                          cmdPrintList, cmdExportList, cmdImportList, cmdStatistics, cmdAddEntry, cmdAddSave, cmdAddCancel,
                          cmdEditEntry, cmdEditSave,
                          cmdEditCancel, cmdPrintEntry, cmdDeleteEntry, cmdCitationHistory})
        b->Refresh();
}

void frmMain::MainTab_Click(int PreviousTab)
{
    (void)PreviousTab;
    const int page = MainTab->currentIndex();
    if (Adding || Editing) {
        // The first field of the page in screen order; the defaults page moves nothing.
        if (page != DefaultsPage)
            moveFocusTo(firstTabStop(page));
        return;
    }
    frame[15]->setEnabled(page == DefaultsPage);
}

bool frmMain::moveFocusTo(QWidget* target)
{
    if (!target || !target->isVisible() || !target->isEnabled() || target->focusPolicy() == Qt::NoFocus)
        return false;
    target->setFocus(Qt::OtherFocusReason);
    return true;
}

void frmMain::txtField_GotFocus(int Index)
{
    TextBox& box = txtField[size_t(Index)];
    if (box.isLocked()) {
        // Nothing can be typed while viewing: the focus goes back to the list.
        if (!moveFocusTo(grid))
            moveFocusTo(cmdAddEntry);
        return;
    }
    box.setBackColor(Adding ? AddingFocusColour() : EditingFocusColour());
    if (Adding && box.text().isEmpty())
        box.setText(box.Tag);

    switch (Index) {
    case 7:
        if (box.text().isEmpty())
            box.setText(FormatNumericDate(ToDateValue(Now())));
        break;
    case 8:
        if (box.text().isEmpty())
            box.setText(FormatDateValue(ToDateValue(Now()), TimeFormat));
        break;
    case 1: case 2: case 4: case 9: case 10:
    case 32: case 33: case 34: case 35: case 36: case 37: case 38:
    case 43: case 44: case 45: case 46: case 47:
        break;
    default:
        // Entering an empty field brings back what it last held, also while editing.
        if (Ansi::trimSpaces(box.text()).isEmpty() && !box.Tag.isEmpty())
            box.setText(box.Tag);
        break;
    }
    box.selectAll();
}

void frmMain::txtField_Change(int Index)
{
    TextBox& box = txtField[size_t(Index)];
    if (!box.isLocked())
        box.Tag = box.text();
    if (Index == NotesField)
        updateNotesIndicator();
}

void frmMain::updateNotesIndicator()
{
    const TextBox& notes = txtField[NotesField];
    const QString text = notes.text();
    if (text.isEmpty()) {
        lblSpaceFull->hide();
        return;
    }
    const double full = qMax(0.01, double(TextBox::StoredLength(text)) / notes.inputLimit());
    lblSpaceFull->setText(u' ' + QString::number(qRound(full * 100)) + QStringLiteral("% full "));
    lblSpaceFull->show();
}

void frmMain::txtField_LostFocus(int Index)
{
    if (!Adding && !Editing)
        return;
    TextBox& box = txtField[size_t(Index)];
    const QString trimmed = Ansi::trimSpaces(box.text());
    if (trimmed != box.text())
        box.setText(trimmed);
    box.setBackColor(ViewingColour());
}

void frmMain::txtField_MouseMove(int Index)
{
    if (Index != 3 && Index != 7 && Index != 14 && Index != 41)
        return;
    TextBox& box = txtField[size_t(Index)];
    if (const auto value = ParseDateValue(box.text()))
        box.setToolTip(FormatDateValue(*value, QStringLiteral(" DDDD ")));
}
