// On an agency's server several desks work at once: the list follows what
// the other desks add, change and delete, and a notice over the list tells
// while the server cannot be reached. Nothing here runs on a data folder,
// which has no other desks.
#include "workspace/frmMain.h"

#include "platform/Messages.h"
#include "session/ProcessState.h"
#include "store/AnsiText.h"
#include "store/SearchMatch.h"
#include "store/SearchSettings.h"
#include "widgets/VellButton.h"
#include "workspace/CitationList.h"
#include "workspace/DeskLockBox.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QTableView>
#include <QTimer>
#include <optional>

namespace {

const QString ServerLostText = QStringLiteral(
    " The server cannot be reached. This desk keeps trying to reach it by itself;"
    " what is on the screen is kept. ");

} // namespace

frmMain::ChangeHold::~ChangeHold()
{
    if (--window->m_holdChanges == 0 && (!window->m_pendingChanges.isEmpty() || window->m_reloadPending)
        && window->m_changesTimer)
        window->m_changesTimer->start(0);
}

CitationKey frmMain::keptKey() const { return Editing ? m_editKey : SelectedRecordNumber(); }

void frmMain::FollowOtherDesks()
{
    if (m_feed || !storage().isServer())
        return;
    if (!m_changesTimer) {
        m_changesTimer = new QTimer(this);
        m_changesTimer->setSingleShot(true);
        connect(m_changesTimer, &QTimer::timeout, this, &frmMain::takePendingChanges);
    }
    if (!lblServerLost) {
        lblServerLost = new QLabel(ServerLostText, this);
        lblServerLost->setObjectName(QStringLiteral("lblServerLost"));
        lblServerLost->setAccessibleName(QStringLiteral("Server not reached"));
        lblServerLost->setWordWrap(true);
        lblServerLost->setAlignment(Qt::AlignCenter);
        lblServerLost->setAutoFillBackground(true);
        QPalette p = lblServerLost->palette();
        p.setColor(QPalette::Window, QColor(255, 224, 96));
        p.setColor(QPalette::WindowText, QColor(128, 0, 0));
        lblServerLost->setPalette(p);
        QFont bold = lblServerLost->font();
        bold.setBold(true);
        lblServerLost->setFont(bold);
        lblServerLost->hide();
    }
    m_feed = storage().followChanges([this](const QList<CitationChange>& changes) { OtherDesksChanged(changes); },
                                     [this](ServerLink link) { ServerLinkChanged(link); });
}

void frmMain::OtherDesksChanged(const QList<CitationChange>& changes)
{
    m_pendingChanges += changes;
    takePendingChanges();
}

void frmMain::ServerLinkChanged(ServerLink link)
{
    if (!lblServerLost)
        return;
    if (link == ServerLink::Lost) {
        // One notice, however often the feed tries again; no box, so that
        // an add or edit under way goes on undisturbed.
        placeServerNotice();
        lblServerLost->show();
        lblServerLost->raise();
        if (m_lockBox)
            m_lockBox->raise();
        return;
    }
    lblServerLost->hide();
    // This desk's own connection went with the server too and is found
    // broken by the first call that uses it, which then fails: a call of
    // no consequence takes that, so the user's next action works.
    FileError ignored;
    if (storage().citations().count(ignored) < 0)
        storage().citations().count(ignored);
    // What changed meanwhile was not heard: the list is read again, once
    // the window can take it.
    m_pendingChanges.clear();
    m_reloadPending = true;
    takePendingChanges();
}

void frmMain::placeServerNotice()
{
    if (!lblServerLost)
        return;
    // Along the foot of the list, so the caption with its count stays in
    // sight; over the editor's top while an add hides the list.
    const int height = lblServerLost->fontMetrics().height() * 2 + 8;
    if (frame[1]->isVisible())
        lblServerLost->setGeometry(frame[1]->x(), frame[1]->y() + frame[1]->height() - height, frame[1]->width(),
                                   height);
    else
        lblServerLost->setGeometry(frame[2]->x(), frame[2]->y(), frame[2]->width(), height);
}

void frmMain::takePendingChanges()
{
    if (m_takingChanges || (m_pendingChanges.isEmpty() && !m_reloadPending))
        return;
    // Not while this window's own work or a box is under way, nor behind the
    // idle lock (a deleted citation's message would show its number there).
    if (m_holdChanges > 0 || m_loadingList || isDeskLocked() || QApplication::activeModalWidget()
        || QApplication::activePopupWidget()) {
        if (m_changesTimer)
            m_changesTimer->start(250);
        return;
    }
    m_takingChanges = true;
    while (isVisible()) {
        if (m_reloadPending && !Adding && !Editing) {
            m_reloadPending = false;
            m_pendingChanges.clear();
            reloadFollowingOthers();
        }
        if (m_pendingChanges.isEmpty())
            break;
        const QList<CitationChange> batch = std::exchange(m_pendingChanges, {});
        applyChanges(batch);
    }
    m_takingChanges = false;
}

void frmMain::applyChanges(const QList<CitationChange>& changes)
{
    for (const CitationChange& c : changes)
        if (c.kind == CitationChange::Kind::Many) {
            m_reloadPending = true;
            return;
        }

    const CitationKey keep = keptKey();
    const int nearRow = SelectedRow();
    // The number on screen: the citation viewed or edited, before it goes.
    const QString numberOnScreen = Ansi::trimSpaces(txtField[2]->text());
    std::optional<RecordMatcher> matcher;
    if (SubListMode) {
        const SearchSettings& s = searchSettings();
        matcher.emplace(s.phrase, s.scope, s.ignoreCase != 0, s.wholeWord != 0);
    }
    bool shownChanged = false, shownDeleted = false, editedDeleted = false;
    const bool wasLoading = m_loadingList;
    m_loadingList = true;
    for (const CitationChange& c : changes) {
        const int row = listModel->rowOfRecord(c.key);
        if (c.kind == CitationChange::Kind::Deleted) {
            if (row >= 0)
                listModel->removeRecord(c.key, false);
            if (Editing && c.key == m_editKey && !m_editedDeleted)
                editedDeleted = true;
            else if (!Adding && !Editing && c.key == m_shownKey)
                shownDeleted = true;
            continue;
        }
        CitationRecord record;
        RowStamp stamp;
        FileError error;
        // A row that cannot be read now was deleted since (its deletion is
        // told next) or the server went (its return reloads the list).
        if (!storage().citations().readStamped(c.key, record, stamp, error))
            continue;
        const QByteArray bytes = record.bytes();
        if (matcher && !matcher->matches(bytes.constData())) {
            // A sub-list keeps only what its search finds.
            if (row >= 0)
                listModel->removeRecord(c.key, false);
            continue;
        }
        if (row >= 0)
            listModel->updateRecord(row, bytes.constData(), SubListMode != 0);
        else
            listModel->insertRecord(bytes.constData(), c.key, SubListMode != 0);
        if (!Adding && !Editing && c.key == m_shownKey)
            shownChanged = true;
    }
    m_loadingList = wasLoading;

    presentFollowedList(keep, nearRow);
    if (!Adding && !Editing && (shownChanged || SelectedRecordNumber() != m_shownKey || CitationsInList() == 0)) {
        ShowSelectedCitation();
        UpdateButtons();
    }

    if (shownDeleted)
        MsgBox(QStringLiteral("Citation Number ") + numberOnScreen + CRLF
                   + QStringLiteral("has been deleted at another desk."),
               Msg::OKOnly | Msg::Information, QStringLiteral("Citation Deleted"));
    if (editedDeleted && Editing) {
        const int answer = MsgBox(QStringLiteral("Citation Number ") + numberOnScreen + CRLF
                                      + QStringLiteral("has been deleted at another desk") + CRLF
                                      + QStringLiteral("while you were editing it.") + CRLF + CRLF
                                      + QStringLiteral("Do you want to keep your entries") + CRLF
                                      + QStringLiteral("and save them as a new citation?"),
                                  Msg::YesNo | Msg::Question, QStringLiteral("Citation Deleted"));
        if (answer == Msg::Yes) {
            m_editedDeleted = true;
        } else {
            cmdEditSave->Tag.clear();
            EndEdit();
        }
    }
}

void frmMain::reloadFollowingOthers()
{
    if (Adding || Editing) {
        m_reloadPending = true;
        return;
    }
    const CitationKey keep = keptKey();
    const int nearRow = SelectedRow();
    FileError error;
    CitationRows rows = storage().citations().listRows(SubListMode ? &searchSettings() : nullptr, error);
    // The list on screen stays as it is; the server's next return reads it.
    if (error.isError())
        return;
    const bool wasLoading = m_loadingList;
    m_loadingList = true;
    listModel->setRows(std::move(rows));
    m_loadingList = wasLoading;
    presentFollowedList(keep, nearRow);
    ShowSelectedCitation();
    UpdateButtons();
}
