// The benchmark of several desks on one server: how long a save at one desk
// takes to be shown at another (the change heard and the row read), and how
// many saves eight desks make together. The desks are processes of their
// own (the tests' desk driver); the server a PostgreSQL 15 started for the
// run in a temporary folder, every commit flushed to disk as a real
// server's.
//
//   bench_desks [saves] [adds per desk]      (1000 and 500 unless given)
#include "PgCluster.h"

#include "server/ServerStorage.h"
#include "store/CitationRecord.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// One desk process and what it said.
struct Desk {
    QProcess process;
    QList<QByteArray> lines;
    const QList<QByteArray>& read()
    {
        while (process.canReadLine())
            lines << process.readLine().trimmed();
        return lines;
    }
    qsizetype countOf(const QByteArray& word)
    {
        read();
        return std::count_if(lines.begin(), lines.end(), [&](const QByteArray& l) { return l.startsWith(word); });
    }
};

std::unique_ptr<Desk> startDesk(const QString& url, int n, int adds, const QString& mode)
{
    auto d = std::make_unique<Desk>();
    const QString name = QStringLiteral("DESK-%1").arg(n);
    d->process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    d->process.start(QStringLiteral(DESK_DRIVER_EXE),
                     {url, name, QStringLiteral("Clerk %1").arg(n), QString::number(adds), name, mode});
    return d;
}

bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::usleep(200);
    }
    return true;
}

CitationRecord sample(int n)
{
    CitationRecord r;
    r.setText(CitationField::CitationNumber, QStringLiteral("B-%1").arg(n));
    r.setText(CitationField::CodeSection, QStringLiteral("46.2-862"));
    r.setText(CitationField::DefendantName, QStringLiteral("M\u00DCLLER, JOS\u00C9"));
    return r;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int saves = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    const int adds = argc > 2 ? std::max(1, atoi(argv[2])) : 500;
    PgCluster cluster(PgCluster::Durability::Durable, QStringLiteral("max_connections = 40\n"));
    if (!cluster.available()) {
        std::fprintf(stderr, "%s\n", qPrintable(cluster.problem()));
        return 1;
    }
    QString url, problem;
    std::unique_ptr<Storage> writer = makeServerStorage(cluster, &url, &problem);
    if (!writer) {
        std::fprintf(stderr, "server: %s\n", qPrintable(problem));
        return 1;
    }
    writer->setActor({QStringLiteral("Bench"), 4, QStringLiteral("DESK-0")});

    // A save here, shown at the other desk: each save waits for the one
    // before to be shown, so no two are told together.
    auto viewer = startDesk(url, 1, 0, QStringLiteral("shown"));
    if (!waitFor([&] { return viewer->countOf("ready") > 0; }, 30000))
        return 1;
    QThread::msleep(300);
    FileError error;
    CitationKey key = 0;
    if (!writer->citations().add(sample(0), key, error))
        return std::fprintf(stderr, "%s\n", qPrintable(error.message())), 1;
    waitFor([&] { return viewer->countOf("heard") >= 1; }, 5000);
    std::vector<double> latencies;
    int lost = 0;
    for (int i = 1; i <= saves; ++i) {
        const qsizetype before = viewer->countOf("heard");
        const qint64 at = QDateTime::currentMSecsSinceEpoch();
        QElapsedTimer t;
        t.start();
        if (!writer->citations().save(key, sample(i), error))
            return std::fprintf(stderr, "%s\n", qPrintable(error.message())), 1;
        if (!waitFor([&] { return viewer->countOf("heard") > before; }, 5000)) {
            ++lost;
            continue;
        }
        const QList<QByteArray> parts = viewer->lines.last().split(' ');
        latencies.push_back(double(parts.value(4).toLongLong() - at));
    }
    viewer->process.closeWriteChannel();
    viewer->process.waitForFinished(5000);

    // Eight desks adding at once.
    constexpr int Desks = 8;
    std::vector<std::unique_ptr<Desk>> desks;
    for (int i = 1; i <= Desks; ++i)
        desks.push_back(startDesk(url, i + 1, adds, QString()));
    waitFor([&] { return std::all_of(desks.begin(), desks.end(), [](auto& d) { return d->countOf("ready") > 0; }); },
            30000);
    QElapsedTimer together;
    together.start();
    for (auto& d : desks)
        d->process.write("go\n");
    const bool finished = waitFor(
        [&] { return std::all_of(desks.begin(), desks.end(), [](auto& d) { return d->countOf("done") > 0; }); },
        600000);
    const double seconds = double(together.nsecsElapsed()) / 1e9;
    qsizetype saved = 0, failed = 0;
    for (auto& d : desks) {
        saved += d->countOf("saved");
        failed += d->countOf("failed");
        d->process.closeWriteChannel();
        d->process.waitForFinished(10000);
    }

    std::printf("\n### Several desks on a local PostgreSQL server\n\n");
    std::printf("| figure | value |\n|---|---|\n");
    std::printf("| a save at one desk shown at another, median | %.1f ms |\n", percentile(latencies, 0.5));
    std::printf("| the same, 99th percentile | %.1f ms |\n", percentile(latencies, 0.99));
    std::printf("| the same, slowest | %.1f ms |\n", percentile(latencies, 1.0));
    std::printf("| saves measured (not shown within 5 s) | %zu (%d) |\n", latencies.size(), lost);
    std::printf("| %d desks adding %d citations each at once | %.1f s%s |\n", Desks, adds, seconds,
                finished ? "" : " (unfinished)");
    std::printf("| saves per second, all desks together | %.0f |\n", double(saved) / seconds);
    std::printf("| saves refused or failed | %lld |\n", qlonglong(failed));
    std::printf("\nEach save is one transaction (the number's check and the row), committed and flushed to "
                "disk; a desk shows a change once it has heard it and read the row again.\n");
    return latencies.empty() || failed > 0 || !finished ? 1 : 0;
}
