// Times the citation number index behind the duplicate warning: taking it
// from the numbers of a list just read, the one reading of the whole file
// when there is no list, then a look-up plus the update after a save, which
// must not grow with the file, and the renumbering after a deletion.
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
        QList<QByteArray> numbers;
        for (int n = 1; n <= count; ++n)
            numbers << QByteArray("CN") + QByteArray::number(n * 7919 % 1000003);
        QElapsedTimer t;
        t.start();
        index.adopt(index.stampNow(), count, [&](int n) { return QByteArrayView(numbers[n - 1]); });
        const double adopt = t.nsecsElapsed() / 1e6;
        t.restart();
        index.recordRemoved(count, index.isCurrent());
        const double removed = t.nsecsElapsed() / 1e6;
        index.invalidate();
        t.restart();
        index.find(QStringLiteral("no such number"), 0, found, error);
        const double build = t.nsecsElapsed() / 1e6;
        constexpr int Saves = 1000;
        t.restart();
        for (int i = 0; i < Saves; ++i) {
            const QString number = QStringLiteral("N%1").arg(i);
            index.find(number, 0, found, error);
            index.recordWritten(count + 1 + i, QString(), number, index.isCurrent());
        }
        std::printf("%8d citations: from a list %7.1f ms, first look-up (reads the file) %8.1f ms, "
                    "look-up + update %6.3f ms, a deletion %6.1f ms, %d builds\n",
                    count, adopt, build, t.nsecsElapsed() / 1e6 / Saves, removed, index.builds());
    }
    return 0;
}
