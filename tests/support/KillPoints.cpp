#include "KillPoints.h"

#include "FaultInjection.h"
#include "RecordBytes.h"

#include <QDir>
#include <QFileInfo>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

FileSet ReadFileSet(const QStringList& folders)
{
    FileSet set;
    for (const QString& folder : folders) {
        const QDir dir(folder);
        for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
            set.insert(dir.absoluteFilePath(name), ReadFile(dir.absoluteFilePath(name)));
    }
    return set;
}

KillTally& KillTally::operator+=(const KillTally& o)
{
    points += o.points, old += o.old, fresh += o.fresh, between += o.between, leftovers += o.leftovers;
    faults += o.faults;
    return *this;
}

QString KillTally::summary(const QString& operation) const
{
    return QStringLiteral("%1: %2 kill points: %3 old, %4 new, %5 each file old or new; %6 left a work file; %7 faults")
        .arg(operation)
        .arg(points)
        .arg(old)
        .arg(fresh)
        .arg(between)
        .arg(leftovers)
        .arg(faults.size());
}

namespace {

void reset(const KillCase& kase)
{
    for (const QString& folder : kase.folders) {
        QDir dir(folder);
        for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
            dir.remove(name);
    }
    kase.setUp();
}

struct ChildRun {
    bool killed = false;
    int exitCode = -1;
    int calls = 0;
    QList<qint64> writes;
};

// Runs the operation in a child with `arm` applied to its faults. The child
// reports how many calls it made and what each write moved through a pipe.
ChildRun runChild(const KillCase& kase, const std::function<void(InjectedFaults&)>& arm)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        int code;
        QByteArray report;
        {
            InjectedFaults faults;
            arm(faults);
            code = kase.operation() ? 0 : 1;
            report = QByteArray::number(faults.calls());
            for (qint64 w : faults.writes())
                report += ' ' + QByteArray::number(w);
        }
        qsizetype done = 0;
        while (done < report.size()) {
            const ssize_t n = ::write(fds[1], report.constData() + done, size_t(report.size() - done));
            if (n <= 0)
                break;
            done += n;
        }
        ::_exit(code);
    }
    ::close(fds[1]);
    QByteArray report;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
        report.append(buffer, n);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ChildRun run;
    run.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const QList<QByteArray> parts = report.split(' ');
    run.calls = parts.value(0).toInt();
    for (int i = 1; i < parts.size(); ++i)
        run.writes << parts[i].toLongLong();
    return run;
}

struct Point {
    bool byBytes;
    qint64 k;
    QString name() const
    {
        return byBytes ? QStringLiteral("after byte %1").arg(k) : QStringLiteral("before call %1").arg(k);
    }
};

QList<Point> choosePoints(const ChildRun& dry, int quota)
{
    QList<Point> points;
    for (int k = 1; k <= dry.calls; ++k)
        points << Point{false, k};
    // Inside each write: its first and last byte, then evenly spread.
    QList<qint64> inside;
    qint64 start = 0;
    for (qint64 w : dry.writes) {
        for (qint64 b = 1; b < w; ++b)
            inside << start + b;
        start += w;
    }
    QList<qint64> chosen;
    start = 0;
    for (qint64 w : dry.writes) {
        if (w > 1)
            chosen << start + 1 << start + w - 1;
        start += w;
    }
    const qsizetype room = qMax<qsizetype>(0, quota - points.size() - chosen.size());
    if (!inside.isEmpty() && room > 0) {
        const double step = double(inside.size()) / double(qMin(room, inside.size()));
        for (double at = step / 2; at < inside.size(); at += step)
            chosen << inside[qsizetype(at)];
    }
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    for (qint64 b : chosen)
        points << Point{true, b};
    return points;
}

bool isWorkFile(const KillCase& kase, const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    for (const QString& w : kase.workFiles)
        if (name == w || (w.startsWith(u'*') && name.endsWith(w.mid(1))))
            return true;
    return false;
}

} // namespace

KillTally RunKillPoints(const KillCase& kase, int quota, const QStringList& emptyIsMissing)
{
    auto normalise = [&](FileSet& set) {
        for (auto it = set.begin(); it != set.end();)
            it = it.value().isEmpty() && emptyIsMissing.contains(QFileInfo(it.key()).fileName()) ? set.erase(it)
                                                                                                : std::next(it);
    };
    KillTally tally;
    reset(kase);
    FileSet before = ReadFileSet(kase.folders);
    normalise(before);
    const ChildRun dry = runChild(kase, [](InjectedFaults&) {});
    if (dry.killed || dry.exitCode != 0) {
        tally.faults << kase.name + QStringLiteral(": the operation does not succeed without a kill");
        return tally;
    }
    FileSet after = ReadFileSet(kase.folders);
    normalise(after);
    // Work files (intents kept from earlier writes among them) are no part of
    // either state.
    for (FileSet* set : {&before, &after})
        for (auto it = set->begin(); it != set->end();)
            it = isWorkFile(kase, it.key()) ? set->erase(it) : std::next(it);

    QStringList paths = before.keys() + after.keys();
    paths.removeDuplicates();

    for (const Point& point : choosePoints(dry, quota)) {
        reset(kase);
        const ChildRun run = runChild(kase, [&](InjectedFaults& f) {
            if (point.byBytes)
                f.stopAfterBytes(point.k);
            else
                f.stopBeforeCall(int(point.k));
        });
        ++tally.points;
        const QString where = kase.name + u' ' + point.name() + QStringLiteral(": ");
        if (!run.killed) {
            tally.faults << where + QStringLiteral("the child was not killed (exit %1)").arg(run.exitCode);
            continue;
        }
        if (kase.reopen) {
            const QString problem = kase.reopen();
            if (!problem.isEmpty())
                tally.faults << where + QStringLiteral("the folder does not open: ") + problem;
        }
        FileSet now = ReadFileSet(kase.folders);
        int olds = 0, news = 0;
        bool bad = false;
        const FileSet seen = now; // every file, for the work files left
        normalise(now);
        for (const QString& path : paths) {
            const bool isOld = before.value(path) == now.value(path) && before.contains(path) == now.contains(path);
            const bool isNew = after.value(path) == now.value(path) && after.contains(path) == now.contains(path);
            if (!isOld && !isNew) {
                tally.faults << where + QFileInfo(path).fileName()
                        + (now.contains(path) ? QStringLiteral(" is neither old nor new (%1 bytes)").arg(now.value(path).size())
                                              : QStringLiteral(" is missing"));
                bad = true;
            }
            olds += isOld && !isNew;
            news += isNew && !isOld;
        }
        bool leftover = false;
        for (auto it = seen.begin(); it != seen.end(); ++it) {
            if (paths.contains(it.key()) || !now.contains(it.key()))
                continue;
            if (isWorkFile(kase, it.key())) {
                leftover = true;
            } else {
                tally.faults << where + QStringLiteral("an unknown file is left: ") + QFileInfo(it.key()).fileName();
                bad = true;
            }
        }
        tally.leftovers += leftover;
        if (bad)
            continue;
        if (news == 0)
            ++tally.old;
        else if (olds == 0)
            ++tally.fresh;
        else
            ++tally.between;

        // A kill before anything changed must not stand in the way of doing
        // the operation again, whatever work file it left.
        if (news == 0) {
            const ChildRun again = runChild(kase, [](InjectedFaults&) {});
            FileSet redone = ReadFileSet(kase.folders);
            normalise(redone);
            for (auto it = redone.begin(); it != redone.end();)
                it = isWorkFile(kase, it.key()) ? redone.erase(it) : std::next(it);
            if (again.exitCode != 0 || redone != after)
                tally.faults << where + QStringLiteral("the operation run again after the kill does not reach the new state");
        }
    }
    return tally;
}
