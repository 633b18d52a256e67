#include "AuditCommands.h"

#include "Commands.h"

#include "audit/AuditTrail.h"
#include "server/ServerStorage.h"
#include "storage/FolderAuditStore.h"
#include "platform/ApplicationTitle.h"
#include "session/ProcessState.h"
#include "store/CitationCsv.h"
#include "store/FileIo.h"
#include "store/ReplacingFile.h"

#include <QDir>
#include <QJsonDocument>
#include <cstdio>

namespace SennetData {
namespace {

int usage(QTextStream& err, const QString& problem)
{
    err << "sennet-data: " << problem << "\nTry \"sennet-data --help\".\n";
    return Usage;
}

// The trail a command reads: the data folder's, or a server's table.
struct Trail {
    AuditStore& store;
    QString name; // "Sennet.Audit", or the server and database
};

int verifyTrail(const Trail& trail, QTextStream& out)
{
    const AuditVerdict v = trail.store.verify();
    for (const QString& note : v.notes)
        out << trail.name << ": " << note << '\n';
    if (!v.clean) {
        out << trail.name << ": PROBLEM: " << v.problem << '\n';
        return Problems;
    }
    out << trail.name << ": " << v.entries << " entries, the chain is whole\n";
    return Clean;
}

// Visits the entries that pass `filter`, oldest first, with their stored
// line. An unreadable line is named on `err` and makes the status Problems.
int eachEntry(const Trail& trail, const AuditFilter& filter, QTextStream& err,
              const std::function<bool(const AuditEntry& entry, const QByteArray& line)>& visit)
{
    int status = Clean;
    FileError error;
    const bool ok = trail.store.forEachLine(
        [&](qint64 line, const QByteArray& bytes, const AuditLine::Parsed& parsed) {
            if (!parsed.readable) {
                err << trail.name << ": line " << line << " is not an entry of the trail\n";
                status = Problems;
                return true;
            }
            if (!filter.matches(parsed.entry))
                return true;
            return visit(parsed.entry, bytes);
        },
        error);
    if (!ok) {
        err << error.message() << '\n';
        return Problems;
    }
    return status;
}

int dump(const Trail& trail, const AuditFilter& filter)
{
    QTextStream err(stderr);
    // Each entry as stored, so that a dump can be hashed again.
    return eachEntry(trail, filter, err, [](const AuditEntry&, const QByteArray& stored) {
        const QByteArray line = stored + '\n';
        return std::fwrite(line.constData(), 1, size_t(line.size()), stdout) == size_t(line.size());
    });
}

QStringList csvHeader()
{
    return {QStringLiteral("Entry"), QStringLiteral("UTC"), QStringLiteral("Local Time"), QStringLiteral("User"),
            QStringLiteral("Access Level"), QStringLiteral("Desk"), QStringLiteral("Action"),
            QStringLiteral("Citation Number"), QStringLiteral("Record Key"), QStringLiteral("Details"),
            QStringLiteral("Hash")};
}

QStringList csvCells(const AuditEntry& e)
{
    QStringList cells{QString::number(e.number),
                      e.time.toUTC().toString(Qt::ISODate),
                      e.time.toString(Qt::ISODate),
                      e.user,
                      QString::number(e.level),
                      e.desk,
                      auditActionName(e.action),
                      e.citation,
                      e.key > 0 ? QString::number(e.key) : QString(),
                      QString::fromUtf8(QJsonDocument(e.details).toJson(QJsonDocument::Compact)),
                      QString::fromLatin1(e.hash)};
    for (QString& c : cells)
        c = CitationCsv::cell(c);
    return cells;
}

int exportCsv(const Trail& trail, const AuditFilter& filter, const QString& output, QTextStream& err)
{
    const bool toFile = !output.isEmpty() && output != QLatin1String("-");
    ReplacingFile file(output);
    if (toFile && !file.begin()) {
        err << file.error().message() << '\n';
        return Problems;
    }
    auto write = [&](const QByteArray& bytes) {
        return toFile ? file.write(bytes) == bytes.size()
                      : std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
    };
    qint64 written = 0;
    bool ok = write(CitationCsv::byteOrderMark() + CitationCsv::row(csvHeader()));
    const int status = ok ? eachEntry(trail, filter, err, [&](const AuditEntry& e, const QByteArray&) {
        ++written;
        return ok = write(CitationCsv::row(csvCells(e)));
    })
                          : Problems;
    if (toFile) {
        if (!ok || !file.commit()) {
            err << (file.error().isError() ? file.error().message() : QStringLiteral("The output could not be written."))
                << '\n';
            return Problems;
        }
        err << written << " entr" << (written == 1 ? "y" : "ies") << " written to " << output << '\n';
    } else if (std::fflush(stdout) != 0 || !ok) {
        err << "The output could not be written.\n";
        return Problems;
    }
    return status;
}

} // namespace

std::optional<int> runAuditCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    for (const QString& arg : args)
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help") || arg == QLatin1String("--version"))
            return std::nullopt; // the tool's own help and version
    // The command is the first argument that is neither an option nor the
    // data folder given to one.
    qsizetype at = -1;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--data-folder") || args[i] == QLatin1String("--output")
            || args[i] == QLatin1String("-o") || args[i] == QLatin1String("--server")) {
            ++i;
            continue;
        }
        if (!args[i].startsWith(u'-')) {
            at = i;
            break;
        }
    }
    if (at < 0 || args[at] != QLatin1String("audit"))
        return std::nullopt;

    QString folder, output, sub, server;
    AuditFilter filter;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (i == at)
            continue;
        const QString& arg = args[i];
        QString name = arg, value;
        const qsizetype eq = arg.indexOf(u'=');
        const bool takesValue = arg.startsWith(QLatin1String("--")) && eq > 0;
        if (takesValue) {
            name = arg.left(eq);
            value = arg.mid(eq + 1);
        }
        auto next = [&](QString& into) {
            if (takesValue) {
                into = value;
                return !into.isEmpty();
            }
            if (i + 1 >= args.size())
                return false;
            into = args[++i];
            return !into.isEmpty();
        };
        if (name == QLatin1String("--data-folder")) {
            if (!next(folder))
                return usage(err, QStringLiteral("--data-folder needs a folder"));
        } else if (name == QLatin1String("--server")) {
            if (!next(server))
                return usage(err, QStringLiteral("--server needs the server's URL"));
        } else if (name == QLatin1String("--output") || name == QLatin1String("-o")) {
            if (!next(output))
                return usage(err, QStringLiteral("--output needs a file name"));
        } else if (name == QLatin1String("--from") || name == QLatin1String("--to")) {
            QString text;
            if (!next(text))
                return usage(err, QStringLiteral("%1 needs a date").arg(name));
            const QDate date = QDate::fromString(text, Qt::ISODate);
            if (!date.isValid())
                return usage(err, QStringLiteral("\"%1\" is not a date of the form YYYY-MM-DD").arg(text));
            (name == QLatin1String("--from") ? filter.from : filter.to) = date;
        } else if (name == QLatin1String("--citation")) {
            if (!next(filter.citation))
                return usage(err, QStringLiteral("--citation needs a citation number"));
        } else if (name == QLatin1String("--user")) {
            if (!next(filter.user))
                return usage(err, QStringLiteral("--user needs a user name"));
        } else if (name == QLatin1String("--action")) {
            QString text;
            if (!next(text) || !(filter.action = auditActionFromName(text)))
                return usage(err, QStringLiteral("\"%1\" is not an action of the audit trail").arg(text));
        } else if (arg.startsWith(u'-')) {
            return usage(err, QStringLiteral("unknown option \"%1\"").arg(arg));
        } else if (sub.isEmpty()) {
            sub = arg;
        } else {
            return usage(err, QStringLiteral("unexpected \"%1\"").arg(arg));
        }
    }
    static const QStringList subs{QStringLiteral("verify"), QStringLiteral("dump"), QStringLiteral("export-csv")};
    if (!subs.contains(sub))
        return usage(err, sub.isEmpty() ? QStringLiteral("audit needs verify, dump or export-csv")
                                        : QStringLiteral("unknown audit command \"%1\"").arg(sub));
    if (sub == QLatin1String("verify") && !filter.isEmpty())
        return usage(err, QStringLiteral("audit verify checks the whole trail and takes no filter"));
    if (!output.isEmpty() && sub != QLatin1String("export-csv"))
        return usage(err, QStringLiteral("--output belongs to audit export-csv"));
    if (filter.from.isValid() && filter.to.isValid() && filter.from > filter.to)
        return usage(err, QStringLiteral("--from comes after --to"));
    if (!output.isEmpty() && output != QLatin1String("-"))
        output = QDir::current().absoluteFilePath(output);
    if (!folder.isEmpty() && !server.isEmpty())
        return usage(err, QStringLiteral("--data-folder and --server name two different trails"));
    if (!folder.isEmpty() && !QDir::setCurrent(folder))
        return usage(err, QStringLiteral("the data folder \"%1\" cannot be opened").arg(folder));
    InitialiseProcessState();
    FileIo::setFinishInterruptedWrites(false);

    // The folder's trail is read without writing a byte, its index kept in
    // memory only; a server's is read in one snapshot.
    FolderAuditStore folderTrail;
    folderTrail.trail().setWriteIndex(false);
    std::unique_ptr<Storage> serverStorage;
    if (!server.isEmpty()) {
        FileError error;
        serverStorage = OpenServerStorage(server, QString(), error);
        if (!serverStorage) {
            err << error.message() << '\n';
            return Problems;
        }
    } else if (FileIo::hasInterruptedWrite(AuditFiles::trail())) {
        err << AuditFiles::trail() << ": an interrupted write is waiting; start " << ApplicationTitle()
            << " to finish it\n";
    }
    const Trail trail = serverStorage ? Trail{serverStorage->audit(), serverStorage->description()}
                                      : Trail{folderTrail, AuditFiles::trail()};

    out.flush();
    int status;
    if (sub == QLatin1String("verify"))
        status = verifyTrail(trail, out);
    else if (sub == QLatin1String("dump"))
        status = dump(trail, filter);
    else
        status = exportCsv(trail, filter, output, err);
    out.flush();
    err.flush();
    return status;
}

} // namespace SennetData
