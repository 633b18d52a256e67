// Times the main window's list work at growing file sizes: reading every
// citation's row from the mapped file, sorting by each key, and reading the
// rows of a sub-list search in several scopes.
//
//   bench_citation_list [count...]     (default: 10000 100000)
#include "CitationGenerator.h"

#include "session/ProcessState.h"
#include "store/CitationFile.h"
#include "workspace/CitationList.h"
#include "workspace/SearchSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {

template <typename Work>
double bestOf(int runs, Work work)
{
    double best = 1e100;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        best = qMin(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

void measure(int count)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Sennet.Data"));
    QElapsedTimer made;
    made.start();
    bench::writeCitations(file, count);
    std::printf("\n%d citations (%.1f MB, generated in %.0f ms)\n", count, count * 3000 / 1e6,
                made.nsecsElapsed() / 1e6);

    QList<CitationRow> rows;
    const double load = bestOf(3, [&] {
        CitationFileView view(file);
        view.open();
        rows = ReadCitationRows(view, nullptr);
    });
    std::printf("  full list rows        %8.1f ms\n", load);

    CitationListModel model;
    const char* const keyNames[] = {"date", "citation#", "offense"};
    const int keys[] = {ListColumn::DateSort, ListColumn::CitationNumber, ListColumn::Offense};
    for (int k = 0; k < 3; ++k) {
        const double sort = bestOf(3, [&] {
            model.setRows(rows);
            model.sortByColumn(keys[k]);
        });
        std::printf("  fill + sort by %-9s %6.1f ms\n", keyNames[k], sort);
    }

    struct Case {
        const char* label;
        QString phrase;
        qint16 scope;
        qint16 wholeWord;
    };
    const Case cases[] = {
        {"scope 1 'radar'", QStringLiteral("radar"), 1, 0},
        {"scope 1 'cat' whole", QStringLiteral("cat"), 1, 1},
        {"scope 2 '2006/09'", QStringLiteral("2006/09"), 2, 0},
        {"scope 3 '1899'", QStringLiteral("1899"), 3, 0},
        {"scope 8 'warning'", QStringLiteral("warning"), 8, 0},
    };
    for (const Case& c : cases) {
        SearchSettings settings;
        settings.phrase = c.phrase;
        settings.scope = c.scope;
        settings.wholeWord = c.wholeWord;
        qsizetype found = 0;
        const double search = bestOf(2, [&] {
            CitationFileView view(file);
            view.open();
            found = ReadCitationRows(view, &settings).size();
        });
        std::printf("  search %-20s %7.1f ms  (%lld found)\n", c.label, search, static_cast<long long>(found));
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    InitialiseProcessState();
    QList<int> counts;
    for (int i = 1; i < argc; ++i)
        counts << QString::fromLocal8Bit(argv[i]).toInt();
    if (counts.isEmpty())
        counts = {10000, 100000};
    for (int n : counts)
        measure(n);
    return 0;
}
