// Searching from the main window, quitting, and what the window does when it
// closes: the close box asks like the quit button; a close by the program
// offers to keep changed default values; the end of the desktop session
// logs the user out and asks nothing but that.
#include "workspace/frmMain.h"

#include "session/AppSettings.h"
#include "session/AuditNotice.h"
#include "storage/AuditEvents.h"
#include "storage/AuditStore.h"
#include "session/ProcessState.h"
#include "session/ShutDown.h"
#include "platform/Messages.h"
#include "store/AnsiText.h"
#include "storage/UserLog.h"
#include "users/UserMessages.h"
#include "widgets/VellButton.h"
#include "widgets/modFadeInOut.h"
#include "store/SearchSettings.h"
#include "workspace/frmFind.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSessionManager>
#include <QTabWidget>

void frmMain::cmdFindEntries_Click()
{
    fadeAndWait(255, 204, 2);
    bool confirmed = false;
    {
        frmFind dialog(this);
        confirmed = dialog.exec() == QDialog::Accepted;
    }
    fadeAndWait(204, 255, 2);
    // Only a confirmed search runs; closing the dialog any other way is a cancel.
    if (!confirmed || searchSettings().phrase.isEmpty())
        return;

    FullListMode = FlagOff;
    SubListMode = FlagOn;
    fadeAndWait(255, 0, 40);
    LoadCitationList();
    if (!FullListMode) {
        ShowSelectedCitation();
        UpdateButtons();
    }
    fadeAndWait(0, 255, 40);
}

QString frmMain::QuitQuestionText()
{
    return QStringLiteral("This will close ") + ApplicationTitle() + u'.' + CRLF + CRLF
        + QStringLiteral("Is this what you want to do?");
}

void frmMain::cmdQuit_Click()
{
    fadeAndWait(255, 217, 2);
    const int answer = MsgBox(QuitQuestionText(), Msg::YesNo | Msg::Question,
                              QStringLiteral("Exit ") + ApplicationTitle() + u'?');
    if (answer != Msg::Yes) {
        fadeAndWait(217, 255, 2);
        return;
    }
    writeLogOutLine();
    if (FadeFlag())
        fader->StartFade(217, 0, 20, true); // the fade's end shuts the program down
    else
        ShutDown();
}

void frmMain::writeLogOutLine()
{
    if (m_loggedOut)
        return;
    m_loggedOut = true;
    // The user still leaves: a log that cannot be written must not keep him in.
    if (!WriteUserLogLine(2))
        ShowFileError(UserLogWriteFailure(QStringLiteral("so this log-out is not recorded")));
    RecordOrTell(AuditEvents::logOut(), QStringLiteral("this log-out"));
    // No one is logged in from here on: what the admin window records is
    // not this user's doing.
    CurrentUserName.clear();
    CurrentAccessLevel = 0;
}

void frmMain::closeEvent(QCloseEvent* event)
{
    if (isDeskLocked() && !m_closingByProgram && !IsShuttingDown() && !IsSessionEnding()) {
        // A locked desk is not closed by whoever walks up to it.
        event->ignore();
        return;
    }
    if (!m_closingByProgram && !IsShuttingDown() && !IsSessionEnding()) {
        // The close box or the system menu: the window stays, and the quit
        // runs once this close is over. Run from inside the close, the quit's
        // own close of this window would be refused as a close within a
        // close, and the defaults question would never come.
        event->ignore();
        QuitAfterThisClose(this, [this] { cmdQuit_Click(); });
        return;
    }
    Form_QueryUnload();
    event->accept();
}

void frmMain::connectSessionEnd()
{
    // The session manager asks running programs to save their work before
    // it ends the session; whatever it closes or ends afterwards must not ask
    // the quit question.
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager& manager) { Form_SessionEnd(manager.allowsInteraction()); });
}

void frmMain::Form_SessionEnd(bool mayAsk)
{
    SetSessionEnding();
    // The user leaves with the session, so the log shows him leaving; a box
    // about a failed line would be a second question, so none is shown.
    if (!m_loggedOut) {
        m_loggedOut = true;
        WriteUserLogLine(2);
        FileError ignored;
        recordAudit(AuditEvents::logOut(), ignored);
    }
    if (mayAsk)
        Form_QueryUnload();
    else
        DefaultsChanged = FlagOff; // no one can answer: the stored defaults stay
}

void frmMain::Form_QueryUnload()
{
    QCoreApplication::processEvents();
    if (!DefaultsChanged)
        return;
    lblDefaultInstructions->hide();
    MainTab->setTabEnabled(DefaultsPage, true);
    MainTab->setCurrentIndex(DefaultsPage);
    const int answer = MsgBox(QStringLiteral("Your default data fields") + CRLF + QStringLiteral("have been updated.")
                                  + CRLF + CRLF + QStringLiteral("Do you want to keep the") + CRLF
                                  + QStringLiteral("updated default data fields?"),
                              Msg::YesNo | Msg::Question, QStringLiteral("Save Current Defaults?"));
    if (answer == Msg::Yes)
        for (int i = 1; i <= 5; ++i)
            SaveDefaultsSetting(DefaultValueKey(i), Ansi::trimSpaces(txtDefault[i]->text()));
    // Asked once: a second close of the same window does not ask again.
    DefaultsChanged = FlagOff;
}
