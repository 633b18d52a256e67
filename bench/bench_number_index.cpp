// Times the citation number index behind the duplicate warning: the one
// reading of the whole file, then a look-up plus the update after a save,
// which must not grow with the file.
//
//   bench_number_index [count...]     (default: 10000 100000 1000000)
#include "CitationGenerator.h"

#include "store/CitationNumberIndex.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QList<int> counts;
    for (int i = 1; i < argc; ++i)
        counts << QByteArray(argv[i]).toInt();
    if (counts.isEmpty())
        counts = {10000, 100000, 1000000};
    for (int count : counts) {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Sennet.Data"));
        bench::writeCitations(file, count);
        CitationNumberIndex index(file);
        QList<int> found;
        FileError error;
        QElapsedTimer t;
        t.start();
        index.find(QStringLiteral("no such number"), 0, found, error);
        const double build = t.nsecsElapsed() / 1e6;
        constexpr int Saves = 1000;
        t.restart();
        for (int i = 0; i < Saves; ++i) {
            const QString number = QStringLiteral("N%1").arg(i);
            index.find(number, 0, found, error);
            index.recordWritten(count + 1 + i, QString(), number, index.isCurrent());
        }
        std::printf("%8d citations: first look-up (reads the file) %8.1f ms, look-up + update %6.3f ms, %d builds\n",
                    count, build, t.nsecsElapsed() / 1e6 / Saves, index.builds());
    }
    return 0;
}
