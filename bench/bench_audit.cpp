// Times the audit trail viewer on a large trail: opening it (the first page
// of the newest entries, the count, the index brought up to date) and
// filtering by a citation number, as the viewer does them. The trail is
// generated when the folder holds none: a realistic mix of log-ins and
// log-outs, edits of two or three fields, printouts, additions with their
// fields and a few deletions with the whole citation, over ten years.
//   build-bench/bench/bench_audit /tmp/audit 1000000 [shot.png]
// (offscreen, or under xvfb-run for the picture).
#include "CitationGenerator.h"

#include "audit/AuditTrail.h"
#include "session/ProcessState.h"
#include "storage/AuditEvents.h"
#include "storage/FolderAuditStore.h"
#include "users/frmAuditLog.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTableView>
#include <cstdio>

namespace {

void generate(int count)
{
    QRandomGenerator random(20260307);
    const QStringList users{"Jane Doe", "Robert Roe", QString::fromUtf8("\u00c9lodie Br\u00fcckner"), "Sam Okafor",
                            "Maria Gonz\u00e1lez", "Lee Chen"};
    QFile trail(AuditFiles::trail());
    trail.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QByteArray previous = AuditLine::genesisHash(), buffer;
    const QDateTime start(QDate(2016, 1, 4), QTime(8, 0));
    QRandomGenerator citations(7);
    const CitationRecord base = bench::makeCitation(1, citations);
    for (int i = 1; i <= count; ++i) {
        const int kind = int(random.bounded(100));
        const QString number = QStringLiteral("T%1").arg(random.bounded(count / 4 + 1), 7, 10, QLatin1Char('0'));
        CitationRecord c = base;
        c.setText(CitationField::CitationNumber, number);
        AuditEntry e;
        if (kind < 40) {
            e = kind % 2 ? AuditEvents::logIn() : AuditEvents::logOut();
        } else if (kind < 70) {
            CitationRecord after = c;
            after.setText(CitationField::Notes, QStringLiteral("Reviewed, court date moved."));
            after.setText(CitationField::ReviewedBy, users[i % users.size()].toUpper());
            e = AuditEvents::citationEdited(c, after, i % 9000 + 1);
        } else if (kind < 85) {
            e = AuditEvents::citationPrinted(c, i % 9000 + 1, kind % 2);
        } else if (kind < 95) {
            e = AuditEvents::citationAdded(c, i % 9000 + 1);
        } else if (kind < 96) {
            e = AuditEvents::citationDeleted(c, i % 9000 + 1);
        } else if (kind < 98) {
            e = AuditEvents::listPrinted(int(random.bounded(5000)), QStringLiteral("all citations"));
        } else {
            e = AuditEvents::failedLogIn(users[i % users.size()], QStringLiteral("wrong password"));
        }
        e.number = i;
        e.time = start.addSecs(qint64(i) * 300 + random.bounded(200));
        e.time = e.time.toOffsetFromUtc(e.time.offsetFromUtc());
        if (e.user.isEmpty())
            e.user = users[i % users.size()];
        e.level = 1 + i % 4;
        e.desk = QStringLiteral("desk-%1").arg(i % 7);
        const QByteArray line = AuditLine::encode(e, previous);
        previous = line.mid(line.size() - 66, 64);
        buffer += line + "\r\n";
        if (buffer.size() > (8 << 20)) {
            trail.write(buffer);
            buffer.clear();
        }
    }
    trail.write(buffer);
    QFile countFile(AuditFiles::count());
    countFile.open(QIODevice::WriteOnly | QIODevice::Truncate);
    countFile.write(QByteArray::number(count).rightJustified(20, '0') + ' ' + previous + "  \r\n");
}

double ms(QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_audit FOLDER ENTRIES [SHOT.png]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int count = QString::fromLocal8Bit(argv[2]).toInt();
    const QString shot = argc > 3 ? QFileInfo(QString::fromLocal8Bit(argv[3])).absoluteFilePath() : QString();
    QDir().mkpath(folder);
    QDir::setCurrent(folder);
    InitialiseProcessState();
    QElapsedTimer t;
    if (!QFileInfo::exists(AuditFiles::trail())) {
        t.start();
        generate(count);
        std::printf("generated %d entries (%.0f MB) in %.1f s\n", count,
                    double(QFileInfo(AuditFiles::trail()).size()) / 1e6, ms(t) / 1000);
        QFile::remove(AuditFiles::index());
    }
    if (!QFileInfo::exists(AuditFiles::index())) {
        FolderAuditStore first;
        QList<AuditEntry> page;
        qint64 total = 0;
        FileError error;
        t.start();
        first.read({}, 0, 1, page, total, error);
        std::printf("index built for %lld entries in %.0f ms (once; kept in %s)\n", total, ms(t),
                    qPrintable(AuditFiles::index()));
    }
    for (int run = 1; run <= 5; ++run) {
        FolderAuditStore store;
        t.start();
        frmAuditLog viewer(store);
        viewer.show();
        QCoreApplication::processEvents();
        const double open = ms(t);
        const qint64 all = viewer.model().total();
        viewer.txtCitation->setText(QStringLiteral("T%1").arg(count / 8, 7, 10, QLatin1Char('0')));
        t.start();
        viewer.cmdFilter_Click();
        QCoreApplication::processEvents();
        const double filter = ms(t);
        std::printf("run %d: viewer open %.0f ms (%d entries), filter by citation number %.1f ms (%d found)\n", run,
                    open, int(all), filter,
                    viewer.grid->model()->rowCount());
        if (run == 5 && !shot.isEmpty())
            viewer.grab().save(shot);
    }
    return 0;
}
