#pragma once
// Crash safety by experiment: an operation runs in a forked child that is
// killed (SIGKILL) at a chosen point of the store's file layer, either before
// its k-th system call or once it has written k bytes. After every kill the
// parent checks that each watched file is byte for byte as before the
// operation or as after it, and that the folder opens normally again (a
// leftover work file ignored or removed): a restarted program must find it
// usable. The points are deterministic, so a failure names one to replay.
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

// The regular files of some folders, by full path.
using FileSet = QMap<QString, QByteArray>;
FileSet ReadFileSet(const QStringList& folders);

struct KillCase {
    QString name;
    // Watched folders: every file in them is checked; their content is wiped
    // and `setUp` runs before every kill.
    QStringList folders;
    std::function<void()> setUp;
    // The operation; runs in a child. True when it reports success.
    std::function<bool()> operation;
    // The next start on what a kill left: empty when the folder opens
    // normally, else what went wrong. Runs in the parent, before the files
    // are compared (an open may finish an interrupted write).
    std::function<QString()> reopen;
    // Names of work files that may be left behind and must then do no harm.
    QStringList workFiles;
};

struct KillTally {
    int points = 0;
    int old = 0;     // every file as before
    int fresh = 0;   // every file as after
    int between = 0; // each file whole, some old and some new (several files)
    int leftovers = 0; // a work file left behind (harmless: checked)
    QStringList faults; // what a kill left that it must not, one line per point
    KillTally& operator+=(const KillTally& other);
    QString summary(const QString& operation) const;
};

// Kills `kase` at up to `quota` distinct points (every system call of the
// layer, then bytes inside each write, spread evenly). After a kill that left
// the old state, the operation runs again in a child and must reach the new
// state despite any leftover work file. For the files named in
// `emptyIsMissing` an empty file and no file are the same state (a list or
// log with nothing in it, which opening it may create).
KillTally RunKillPoints(const KillCase& kase, int quota, const QStringList& emptyIsMissing = {});
