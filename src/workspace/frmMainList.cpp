// The citation list of the main window: loading, sorting, selecting, the
// See All button and its flashing.
#include "workspace/frmMain.h"

#include "session/ProcessState.h"
#include "platform/Messages.h"
#include "storage/Storage.h"
#include "widgets/BusyGuard.h"
#include "widgets/VellButton.h"
#include "widgets/modFadeInOut.h"
#include "workspace/CitationList.h"
#include "store/SearchSettings.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QRadioButton>
#include <QTableView>
#include <QTimer>
#include <optional>

namespace {

QString plural(int n, const QString& word) { return QString::number(n) + u' ' + word + (n >= 2 ? QStringLiteral("s") : QString()); }

QString fullListCaption(int n) { return QStringLiteral(" All Entries (") + plural(n, QStringLiteral("citation")) + QStringLiteral(" in this list) "); }

QString subListCaption(const QString& phrase, int n)
{
    return QStringLiteral(" Sub-list of entries containing '") + phrase + QStringLiteral("' (")
        + plural(n, QStringLiteral("Citation")) + QStringLiteral(" in this list) ");
}

// The key column of each sort choice.
constexpr int SortKeyColumns[3] = {ListColumn::DateSort, ListColumn::CitationNumber, ListColumn::Offense};
// From this many rows a sort draws "Sorting-- Please stand by..." before it works.
constexpr int StandByNoticeFrom = 50000;

} // namespace

int frmMain::CitationsInList() const { return listModel->rowCount(); }

int frmMain::SelectedRow() const
{
    const QModelIndex current = grid->selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

int frmMain::SelectedRecordNumber() const
{
    const int r = SelectedRow();
    return r >= 0 ? listModel->recNumAt(r) : 0;
}

void frmMain::SelectRow(int row, bool toTop)
{
    if (row < 0 || row >= listModel->rowCount())
        return;
    // Bring the grid's geometry up to date first, so the scrolling is exact.
    if (frame[1]->layout())
        frame[1]->layout()->activate();
    grid->doItemsLayout();
    const QModelIndex index = listModel->index(row, 0);
    grid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    grid->scrollTo(index, toTop ? QAbstractItemView::PositionAtTop : QAbstractItemView::EnsureVisible);
}

void frmMain::setSortControlsVisible(bool visible)
{
    lblSort->setVisible(visible);
    for (QRadioButton* o : optSort)
        o->setVisible(visible);
}

int frmMain::selectedSortIndex() const
{
    for (int i = 0; i < 3; ++i)
        if (optSort[size_t(i)]->isChecked())
            return i;
    return 0;
}

void frmMain::LoadCitationList()
{
    QString failure;
    int count = 0;
    qint64 warningToken = 0;
    QString warning;
    {
        BusyGuard busy(this);
        m_loadingList = true;
        frame[1]->setTitle(QString());
        grid->hide();
        grid->setUpdatesEnabled(false);
        listModel->clear();

        {
            FileError error;
            CitationStore& citations = storage().citations();
            listModel->setRows(citations.listRows(SubListMode ? &searchSettings() : nullptr, error));
            // A file that failed part way still shows the citations read before.
            if (error.isError())
                failure = error.message();
            else
                warning = citations.listWarning(warningToken);
        }
        count = listModel->rowCount();

        setSortControlsVisible(count >= 2);
        if (count >= 2) {
            InitialSort = FlagOn;
            optSort_Click(selectedSortIndex());
            InitialSort = FlagOff;
        }
        if (count >= 1) {
            grid->show();
            grid->setUpdatesEnabled(true);
            showListColumns();
        }
        // An empty full list keeps its frame usable for the import button,
        // the only thing it then shows.
        frame[1]->setEnabled(count >= 1 || FullListMode);

        if (count >= 1 && FullListMode) {
            frame[1]->setTitle(fullListCaption(count));
            SelectRow(count - 1, true);
        } else if (count >= 1) {
            frame[1]->setTitle(subListCaption(searchSettings().phrase, count));
            SelectRow(0, true);
            timerFlash->start();
        }
        m_loadingList = false;
    }

    // Messages come once the window takes input again.
    if (!warning.isEmpty() && warningToken != m_damagedLengthTold) {
        m_damagedLengthTold = warningToken;
        MsgBox(warning, Msg::OKOnly | Msg::Exclamation, QStringLiteral("Damaged Data File"));
    }
    if (!failure.isEmpty()) {
        MsgBox(failure, Msg::OKOnly | Msg::Critical);
        if (SubListMode) {
            // Nothing could be searched: back to the (empty) full list.
            SubListMode = FlagOff;
            FullListMode = FlagOn;
            ShowSelectedCitation();
            UpdateButtons();
        }
        return;
    }
    if (count > 0)
        return;
    if (FullListMode) {
        MsgBox(QStringLiteral("There are currently") + CRLF + QStringLiteral("no citations on file..."),
               Msg::OKOnly | Msg::Information);
    } else {
        frame[1]->hide();
        frame[2]->hide();
        MsgBox(QStringLiteral("There were no matches") + CRLF + QStringLiteral("searching for") + CRLF + CRLF
                   + searchSettings().phrase,
               Msg::OKOnly | Msg::Critical, QStringLiteral("No matches"));
        frame[1]->show();
        frame[2]->show();
        cmdSeeAllEntries_Click();
    }
}

void frmMain::presentChangedList(int selectRow)
{
    const int count = listModel->rowCount();
    if (count < 2) {
        LoadCitationList();
        return;
    }
    BusyGuard busy(this);
    const bool wasLoading = m_loadingList;
    m_loadingList = true;
    const int key = SortKeyColumns[selectedSortIndex()];
    if (listModel->sortColumn() != key) {
        const int recNum = selectRow >= 0 ? listModel->recNumAt(selectRow) : 0;
        listModel->sortByColumn(key);
        if (recNum)
            selectRow = listModel->rowOfRecord(recNum);
    }
    setSortControlsVisible(true);
    frame[1]->setEnabled(true);
    if (grid->isHidden()) {
        grid->show();
        grid->setUpdatesEnabled(true);
        showListColumns();
    }
    if (FullListMode)
        frame[1]->setTitle(fullListCaption(count));
    else
        frame[1]->setTitle(subListCaption(searchSettings().phrase, count));
    if (selectRow >= 0) {
        SelectRow(selectRow, false);
    } else if (FullListMode) {
        SelectRow(count - 1, true);
    } else {
        SelectRow(0, true);
        timerFlash->start();
    }
    m_loadingList = wasLoading;
}

void frmMain::presentFollowedList(CitationKey keep, int nearRow)
{
    const int count = listModel->rowCount();
    const bool wasLoading = m_loadingList;
    m_loadingList = true;
    if (count >= 2) {
        const int key = SortKeyColumns[selectedSortIndex()];
        if (listModel->sortColumn() != key)
            listModel->sortByColumn(key);
    }
    setSortControlsVisible(count >= 2);
    if (count >= 1 && grid->isHidden()) {
        grid->show();
        grid->setUpdatesEnabled(true);
        showListColumns();
    } else if (count == 0) {
        grid->hide();
    }
    frame[1]->setEnabled(!Editing && (count >= 1 || FullListMode));
    if (count == 0)
        frame[1]->setTitle(QString());
    else if (FullListMode)
        frame[1]->setTitle(fullListCaption(count));
    else
        frame[1]->setTitle(subListCaption(searchSettings().phrase, count));

    int row = keep > 0 ? listModel->rowOfRecord(keep) : -1;
    if (row < 0 && count > 0)
        row = nearRow >= 0 ? qMin(nearRow, count - 1) : (FullListMode ? count - 1 : 0);
    if (row >= 0 && row != SelectedRow())
        SelectRow(row, false);
    m_loadingList = wasLoading;
}

void frmMain::optSort_Click(int Index)
{
    const int key = SortKeyColumns[qBound(0, Index, 2)];
    const bool initial = InitialSort != 0;
    const int remembered = initial ? 0 : SelectedRecordNumber();

    std::optional<BusyGuard> busy;
    const bool wasLoading = m_loadingList;
    // The notice is drawn at once only where the sort takes long enough to
    // be seen; a shorter one would cost more to draw than the sort itself.
    lblStandBy->show();
    if (listModel->rowCount() >= StandByNoticeFrom)
        lblStandBy->repaint();
    if (!initial) {
        busy.emplace(this);
        m_loadingList = true;
        grid->hide();
        grid->setUpdatesEnabled(false);
    }

    listModel->sortByColumn(key);
    const int noted = remembered ? listModel->rowOfRecord(remembered) : -1;

    if (!initial) {
        grid->show();
        grid->setUpdatesEnabled(true);
        // The citation selected before the sort stays selected.
        if (noted >= 0)
            SelectRow(noted, false);
        m_loadingList = wasLoading;
    }
    lblStandBy->hide();
}

void frmMain::grid_RowColChange()
{
    // While the list is being rebuilt or sorted, row changes show nothing.
    if (m_loadingList || grid->isHidden())
        return;
    // An add or edit under way keeps its entries, whatever the list does.
    if (Adding || Editing)
        return;
    ShowSelectedCitation();
    UpdateButtons();
}

void frmMain::cmdSeeAllEntries_Click()
{
    timerFlash->stop();
    QCoreApplication::processEvents();
    if (SubListMode) {
        SubListMode = FlagOff;
        if (FadeFlag()) {
            cmdSeeAllEntries->Tag = windowTitle();
            fader->StartFade(255, 0, 30, false);
            fader->WaitForFade();
        }
    }
    FullListMode = FlagOn;
    LoadCitationList();
    ShowSelectedCitation();
    UpdateButtons();
    if (!cmdSeeAllEntries->Tag.isEmpty() && cmdSeeAllEntries->Tag == windowTitle()) {
        cmdSeeAllEntries->Tag.clear();
        if (FadeFlag()) {
            fader->StartFade(0, 255, 30, false);
            fader->WaitForFade();
        }
    }
}

void frmMain::timerFlash_Timer()
{
    if (m_flashText < 8) {
        m_flashBack = 248;
        m_flashStep = 4;
    } else if (m_flashText > 248) {
        m_flashBack = 2;
        m_flashStep = -4;
    }
    m_flashText = qint16(m_flashText + m_flashStep);
    m_flashBack = qint16(m_flashBack - m_flashStep);
    const auto level = [](int v) { return qBound(0, v, 255); };
    cmdSeeAllEntries->setBackColor(QColor(level(m_flashBack), level(m_flashBack), 0));
    cmdSeeAllEntries->setForeColor(QColor(level(m_flashText), level(m_flashText), 0));
}
