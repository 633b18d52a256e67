// One desk working on a server, as a process of its own, for the tests and
// the benchmark of several desks at once. It follows the other desks'
// changes and, told to, adds citations; everything it does or hears is one
// line on stdout, flushed at once, so a desk killed mid-way has reported
// exactly what it was told.
//
//   desk_driver URL DESK USER ADDS PREFIX [heard|shown]
//
// ADDS > 0: on "go" (stdin) adds that many citations numbered
// "PREFIX-<n>" as fast as it can, each checked for its number, then says
// "done <saved> <failed>". ADDS < 0: on "go" adds one every 20 ms until
// told to ("stop"). "heard" prints every change heard; "shown" reads each
// citation added or changed first, as a list showing it would. "count" says
// "heard-total <citations added elsewhere>"; "quit" or the end of stdin
// says it too and ends the desk.
//
// A user's edits, one stdin line each: "edit KEY" shows the citation
// ("shown KEY VERSION"); "save KEY NUMBER" saves it with that number over the
// version shown, "delete KEY" deletes it: "saved KEY NUMBER" or "deleted
// KEY", else "refused changed|deleted|number USER|DESK|WHEN(ISO) MESSAGE".
//
// Lines: "ready", "saved <key> <number>", "failed <message>", "done <saved>
// <failed>", "heard <added|changed|deleted|many> <key> <version> <ms>",
// "link <lost|back> <ms>", "heard-total <n>" (ms: milliseconds since the
// epoch, the same clock as the test's).
#include "DataFiles.h"
#include "server/ServerStorage.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace {

void say(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QByteArray now() { return QByteArray::number(QDateTime::currentMSecsSinceEpoch()); }

const char* kindName(CitationChange::Kind kind)
{
    switch (kind) {
    case CitationChange::Kind::Added: return "added";
    case CitationChange::Kind::Changed: return "changed";
    case CitationChange::Kind::Deleted: return "deleted";
    case CitationChange::Kind::Many: return "many";
    }
    return "?";
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 6) {
        std::fprintf(stderr, "usage: desk_driver URL DESK USER ADDS PREFIX [heard|shown]\n");
        return 2;
    }
    const int adds = args[4].toInt();
    const QString prefix = args[5];
    const bool readsRow = args.size() > 6 && args[6] == QLatin1String("shown");
    const bool printHeard = readsRow || (args.size() > 6 && args[6] == QLatin1String("heard"));

    FileError error;
    std::unique_ptr<Storage> storage = OpenServerStorage(args[1], QString(), error);
    if (!storage) {
        say("failed " + error.message().toUtf8());
        return 1;
    }
    storage->setActor({args[3], 4, args[2]});

    QSet<CitationKey> heardAdded;
    auto feed = storage->followChanges(
        [&](const QList<CitationChange>& changes) {
            for (const CitationChange& c : changes) {
                if (c.kind == CitationChange::Kind::Added)
                    heardAdded.insert(c.key);
                if (readsRow && (c.kind == CitationChange::Kind::Added || c.kind == CitationChange::Kind::Changed)) {
                    CitationRecord record;
                    RowStamp stamp;
                    FileError failure;
                    storage->citations().readStamped(c.key, record, stamp, failure);
                }
                if (printHeard)
                    say(QByteArray("heard ") + kindName(c.kind) + ' ' + QByteArray::number(c.key) + ' '
                        + QByteArray::number(c.version) + ' ' + now());
            }
        },
        [&](ServerLink link) { say(QByteArray("link ") + (link == ServerLink::Lost ? "lost " : "back ") + now()); });

    int saved = 0, failed = 0, next = 0;
    QTimer work;
    work.setInterval(adds < 0 ? 20 : 0);
    QObject::connect(&work, &QTimer::timeout, [&] {
        const QByteArray number = prefix.toUtf8() + '-' + QByteArray::number(++next);
        const QByteArray bytes = CitationBytes3000::sample(number, QDate(2024, 1, 1).addDays(next % 700)).bytes();
        WriteCheck check;
        check.checkNumber = true;
        CitationKey key = 0;
        FileError failure;
        if (storage->citations().addChecked(CitationRecord::fromBytes(bytes.constData(), bytes.size()), key, check,
                                            failure)) {
            ++saved;
            say("saved " + QByteArray::number(key) + ' ' + number);
        } else {
            ++failed;
            say("failed " + failure.message().toUtf8());
        }
        if (adds > 0 && next >= adds) {
            work.stop();
            say("done " + QByteArray::number(saved) + ' ' + QByteArray::number(failed));
        }
    });

    QHash<CitationKey, qint64> shown;
    const auto edit = [&](const QList<QByteArray>& words) {
        const CitationKey key = words.value(1).toInt();
        CitationRecord record;
        RowStamp stamp;
        FileError failure;
        if (words[0] == "edit") {
            if (storage->citations().readStamped(key, record, stamp, failure)) {
                shown[key] = stamp.version;
                say("shown " + QByteArray::number(key) + ' ' + QByteArray::number(stamp.version));
            } else {
                say("failed " + failure.message().toUtf8());
            }
            return;
        }
        WriteCheck check;
        check.shownVersion = shown.value(key);
        const bool saving = words[0] == "save";
        const QByteArray number = words.value(2);
        const QByteArray bytes = CitationBytes3000::sample(number, QDate(2024, 2, 2)).bytes();
        const bool done = saving ? storage->citations().saveChecked(
                                       key, CitationRecord::fromBytes(bytes.constData(), bytes.size()), check, failure)
                                 : storage->citations().removeChecked(key, check, failure);
        if (done) {
            say((saving ? "saved " : "deleted ") + QByteArray::number(key) + (saving ? ' ' + number : QByteArray()));
            return;
        }
        const char* why = check.conflict == RowConflict::Changed ? "changed"
            : check.conflict == RowConflict::Deleted            ? "deleted"
            : check.conflict == RowConflict::NumberTaken        ? "number"
                                                                : "none";
        say(QByteArray("refused ") + why + ' '
            + (check.current.user + u'|' + check.current.desk + u'|' + check.current.when.toString(Qt::ISODate))
                  .toUtf8()
            + ' ' + failure.message().toUtf8());
    };

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            pending += "\nquit\n";
        } else {
            pending += QByteArray(buffer, int(n));
        }
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(end).trimmed();
            pending.remove(0, end + 1);
            if (line == "go" && adds != 0)
                work.start();
            else if (line == "stop")
                work.stop();
            else if (line.startsWith("edit ") || line.startsWith("save ") || line.startsWith("delete "))
                edit(line.split(' '));
            else if (line == "count")
                say("heard-total " + QByteArray::number(heardAdded.size()));
            else if (line == "quit") {
                work.stop();
                feed.reset();
                say("heard-total " + QByteArray::number(heardAdded.size()));
                app.quit();
                return;
            }
        }
    });

    say("ready");
    return app.exec();
}
