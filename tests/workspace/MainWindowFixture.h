#pragma once
// A main window over a temporary data folder, with scripted message boxes,
// settings in memory, a fixed clock and screen, and the hand-overs recorded.
#include "DataFiles.h"
#include "Doubles.h"
#include "session/ProcessState.h"
#include "session/WindowHandOver.h"
#include "widgets/modFadeInOut.h"
#include "store/CitationFile.h"
#include "workspace/CitationList.h"
#include "workspace/frmMain.h"

#include <QApplication>
#include <QPointer>

struct MainWindowFixture {
    TempDataFolder folder;
    MemorySettings settings;
    ScriptedMessages msgs;
    FakeScreen screen{1280, 1024};
    FixedClock clock{QDateTime(QDate(2006, 7, 4), QTime(14, 5, 30))};
    QList<int> helpTopics;
    int adminWindows = 0;
    QPointer<frmMain> window;

    explicit MainWindowFixture(int accessLevel = 4)
    {
        CurrentUserName = QStringLiteral("Jane Doe");
        CurrentAccessLevel = qint16(accessLevel);
        windowHandOver().showHelp = [this](int topic, QWidget*) { helpTopics << topic; };
        windowHandOver().showAdminWindow = [this] { ++adminWindows; };
    }
    ~MainWindowFixture()
    {
        delete window;
        windowHandOver() = WindowHandOver();
    }

    void write(const QList<CitationBytes3000>& records) { WriteCitations(CitationFileName, records); }

    // Loads, shows and activates the window; its first activation has run.
    frmMain& open()
    {
        window = new frmMain;
        window->show();
        QCoreApplication::processEvents();
        QApplication::setActiveWindow(window);
        return *window;
    }

    // The record numbers of the list, top to bottom.
    QList<int> listedRecords() const
    {
        QList<int> out;
        for (int r = 0; r < window->CitationsInList(); ++r)
            out << window->listModel->row(r).recNum;
        return out;
    }
};

// A citation with its number, date and optional time of day.
inline CitationBytes3000 citation(const QByteArray& number, const QDate& date, const QTime& time = QTime())
{
    CitationBytes3000 r = CitationBytes3000::sample(number, date);
    if (time.isValid())
        r.date("OffenseTime", OleDate(QDate(1899, 12, 30), time));
    return r;
}
