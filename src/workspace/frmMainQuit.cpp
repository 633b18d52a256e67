// Searching from the main window, quitting, and what the window does when it
// closes: the close box asks like the quit button; a close by the program
// offers to keep changed default values.
#include "workspace/frmMain.h"

#include "session/AppSettings.h"
#include "session/ProcessState.h"
#include "session/ShutDown.h"
#include "platform/Messages.h"
#include "store/AnsiText.h"
#include "users/UserLog.h"
#include "widgets/VellButton.h"
#include "widgets/modFadeInOut.h"
#include "workspace/SearchSettings.h"
#include "workspace/frmFind.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
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
    WriteUserLogLine(2);
    if (FadeFlag())
        fader->StartFade(217, 0, 20, true); // the fade's end shuts the program down
    else
        ShutDown();
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // The close box or the system menu: ask as the quit button does, and stay.
    if (!m_closingByProgram && !IsShuttingDown()) {
        event->ignore();
        cmdQuit_Click();
        return;
    }
    Form_QueryUnload();
    event->accept();
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
