// Times the main window's whole list load (read, model, sort, view, select)
// and a sort chosen by the user, over a generated data file.
//
//   bench_main_window [count...]     (default: 10000 100000; runs offscreen)
#include "CitationGenerator.h"

#include "session/ProcessState.h"
#include "workspace/SearchSettings.h"
#include "workspace/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QList<int> counts;
    for (int i = 1; i < argc; ++i)
        counts << QString::fromLocal8Bit(argv[i]).toInt();
    if (counts.isEmpty())
        counts = {10000, 100000};

    for (int n : counts) {
        QTemporaryDir data;
        QDir::setCurrent(data.path());
        InitialiseProcessState();
        bench::writeCitations(CitationFileName, n);
        CurrentUserName = QStringLiteral("Bench User");
        CurrentAccessLevel = 4;

        auto* w = new frmMain;
        w->show();
        QElapsedTimer t;
        t.start();
        QCoreApplication::processEvents(); // first activation: the full list
        const double first = t.nsecsElapsed() / 1e6;

        t.restart();
        w->LoadCitationList();
        const double reload = t.nsecsElapsed() / 1e6;

        t.restart();
        w->optSort_Click(1);
        const double sort = t.nsecsElapsed() / 1e6;

        searchSettings().phrase = QStringLiteral("radar");
        w->FullListMode = frmMain::FlagOff;
        w->SubListMode = frmMain::FlagOn;
        t.restart();
        w->LoadCitationList();
        const double sub = t.nsecsElapsed() / 1e6;

        std::printf("%7d citations: first showing %7.1f ms, reload %7.1f ms, sort by citation# %6.1f ms, "
                    "sub-list 'radar' %7.1f ms (%d rows)\n",
                    n, first, reload, sort, sub, w->CitationsInList());
        delete w;
        QDir::setCurrent(QDir::tempPath());
    }
    return 0;
}
