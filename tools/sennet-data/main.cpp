// sennet-data: checks, dumps, exports, converts and counts the data files of
// a Sennet data folder from the command line, for administrators and scripts.
// It reads the files with the program's own store code and changes nothing,
// except that "convert" converts a data file of an older version. A write the
// program left unfinished is reported, never finished here: only the program
// (and convert, which holds the program's lock) may carry it out.
#include "AuditCommands.h"
#include "Commands.h"
#include "ServerCommands.h"

#include "platform/ApplicationTitle.h"
#include "server/ServerStorage.h"
#include "storage/Storage.h"
#include "app/CommandLine.h"
#include "session/ProcessState.h"
#include "store/DataFileNames.h"
#include "store/FileIo.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <QSysInfo>
#include <cstdio>

namespace {

const char* const Help = R"(NAME
    sennet-data - check and read the data files of a Sennet data folder

SYNOPSIS
    sennet-data [--data-folder PATH] verify
    sennet-data [--data-folder PATH] dump [--include-damaged] [citations | users]
    sennet-data [--data-folder PATH] export-csv [--every-field] [--include-damaged]
                [--output FILE]
    sennet-data [--data-folder PATH] convert
    sennet-data [--data-folder PATH] import-csv FILE
    sennet-data [--data-folder PATH] stats [--include-damaged] [--from YYYY-MM-DD]
                [--to YYYY-MM-DD]
    sennet-data --server URL dump | export-csv | stats | import-csv ...
    sennet-data server init URL | server upgrade URL
    sennet-data copy --from FOLDER|URL --to FOLDER|URL [--replace]
    sennet-data [--data-folder PATH | --server URL] audit verify
    sennet-data [--data-folder PATH | --server URL] audit dump | export-csv
                [--output FILE] [--from YYYY-MM-DD] [--to YYYY-MM-DD]
                [--citation NUMBER] [--user NAME] [--action ACTION]
    sennet-data --help | --version

DESCRIPTION
    sennet-data works on the data files of one Sennet installation: the
    citation data file "Sennet.Data", the user list "User.List" and the user
    log "User.Log". It reads them with the program's own code and never
    changes them, except that "convert" converts a data file written by an
    older version and "import-csv" adds citations; those two refuse while
    the program runs over the folder, the others can run beside it. A
    write the program was cut off in (a crash, a power cut) is reported on
    standard error, "an interrupted write is waiting; start Sennet to finish
    it", and left for the program to finish.

COMMANDS
    verify
        Checks every file: lengths in whole records, the number of records,
        the format version of each citation (an older-format file is reported
        with the advice to convert it), dates and times in a plausible range,
        check boxes and option choices in range, texts free of NUL bytes,
        records left marked "$Killed$" by a deletion that did not finish, the
        user list (names, access levels, passwords set, no user twice, at
        least one user with full access) and the form of every log line.
        Prints what it found; the exit status is 0 only when everything is
        clean.

    dump [--include-damaged] [citations | users]
        Prints the citations (the default) or the users as JSON lines, one
        object per record, with its record number and every field under its
        layout name. Texts are UTF-8; dates are "yyyy-mm-dd", times of day
        "hh:mm:ss", moments "yyyy-mm-ddThh:mm:ss", and empty dates null.
        Passwords are never shown. With --include-damaged a damaged record
        is printed too, with a "damaged" member saying what is wrong.

    export-csv [--every-field] [--include-damaged] [--output FILE]
        Writes the citations, in file order, as CSV (RFC 4180, UTF-8 with a
        byte-order mark, one header row): the four columns of the program's
        list, or with --every-field every field of each citation. Without
        --output (or with "-") the CSV goes to standard output. A file is
        written whole and then put in place, so an earlier file of that name
        stays as it was when the export fails.

    convert
        Converts a data file of an older version to the current format, as
        the program offers at start-up, without asking: the older file is
        kept as "Sennet.Old". Refused while the program runs over the folder.
        Finishes an interrupted write to the data file first, as the program
        does.
        A file already current, empty or missing is left as it is.

    import-csv FILE
        Adds the citations of a CSV file to the data file: RFC 4180, UTF-8
        (with or without a byte-order mark) or Windows-1252, with a header
        row whose headings are those export-csv --every-field writes
        (missing columns stay empty, others are named and ignored). Every
        row is checked as a citation typed into the program; a row that is
        refused, or whose citation number is on file or on an earlier row,
        is named on standard error and left out (exit status 1). The other
        rows are added in one step: all of them, or, when anything fails,
        none. Date and Time Entered are the moment of the import; Entered
        by is the login name where the file leaves it empty. Refused while
        the program runs over the folder.

    stats [--include-damaged] [--from YYYY-MM-DD] [--to YYYY-MM-DD]
        Counts the citations by month, by code section, by issuing officer
        and by county / city, within the range of offense dates given.

    server init URL
        Creates Sennet's tables in the PostgreSQL database URL names (a
        libpq URI such as postgresql://clerk@db.example/sennet?sslmode=
        verify-full, or "host=... dbname=..."). Refused unless the database
        is empty and keeps its texts in UTF-8. The password comes from
        ~/.pgpass or PGPASSWORD, never from the command line.

    server upgrade URL
        Brings Sennet's tables in the database up to this version's schema.
        Refused for a database that holds anything but Sennet's tables.

    copy --from FOLDER|URL --to FOLDER|URL [--replace]
        Copies every citation, user and log line from a data folder or a
        server to a data folder or a server, in one step, then reads both
        sides again and compares them field by field. A target that
        already holds citations, users or log lines is refused unless
        --replace is given. A folder target is refused while the program
        runs over it; its three files are written whole and renamed into
        place.
    audit verify
        Checks the audit trail "Sennet.Audit": every entry must carry the
        hash of its own content and of the entry before it, and the trail
        must end with the entry its count "Sennet.AuditCount" names. The
        first entry changed, removed or inserted, an entry cut off and last
        entries dropped are named, with exit status 1. With --server URL
        the trail is the server's audit table, checked the same way against
        the last entry its head names. Every audit command takes --server.

    audit dump [--from --to --citation --user --action]
        Prints the entries of the audit trail, oldest first, as JSON lines
        exactly as stored: entry number, "utc" and "local" time, user,
        access level, desk, action, citation number and record key where
        one applies, details, and the hashes. --from and --to take local
        dates (YYYY-MM-DD), --citation a citation number and --user a name
        (case ignored), --action one of citation-added, citation-edited,
        citation-deleted, citation-printed, list-printed, list-exported,
        statistics-printed, user-added, user-changed, user-removed,
        log-in, log-out, failed-log-in, user-locked-out, access-code-used,
        backup, restore, conversion, import.

    audit export-csv [--output FILE] [--from --to --citation --user --action]
        The same entries as CSV (UTF-8 with a byte-order mark, one header
        row), the details as JSON in one cell; written whole, as export-csv.

DAMAGED CITATIONS
    dump, export-csv and stats check every citation record as they read
    it. A record is damaged when its bytes are not a citation the program
    writes: a format version other than 300 to 399, a date or time that
    no calendar holds (not a number, or outside the years 100 to 9999),
    a check box other than 0 or 1, an option choice outside its group, a
    NUL byte in a text, or a last record the file cuts short. Each damaged
    record is named on standard error with what is wrong with it, and is
    left out of the output unless --include-damaged is given; bytes after
    the last record too few to count as one are named too. The exit
    status is then 1, with or without --include-damaged, so that a script
    notices. A data file of an older version is refused with the advice to
    convert it.

OPTIONS
    --data-folder PATH
        The data folder to work in; the current folder when not given.
    --server URL
        dump, export-csv, stats and import-csv: work on an agency's server
        (a libpq URI or key=value string, as for "server init") instead of
        a data folder. The citations are named by their keys on the
        server. verify and convert look at a folder's files and are refused
        with --server.
    --every-field
        export-csv: every field of each citation, not only the list's columns.
    --include-damaged
        dump, export-csv, stats: take damaged citation records in as well
        (they are still named on standard error, and the exit status is 1).
    -o FILE, --output FILE
        export-csv: the file to write.
    --from YYYY-MM-DD, --to YYYY-MM-DD
        stats: the first and the last offense date to count.
    -h, --help
        Shows this text.
    --version
        Shows the version of Sennet the tool belongs to.

EXIT STATUS
    0   clean (verify) or done
    1   problems found (verify), a damaged citation record read (dump,
        export-csv, stats), or the command failed
    2   the command line was wrong, or the data folder cannot be used

EXAMPLES
    sennet-data --data-folder /srv/sennet verify
    sennet-data dump users
    sennet-data export-csv --every-field --output citations.csv
    sennet-data stats --from 2024-01-01 --to 2024-12-31
    sennet-data import-csv handheld.csv
    sennet-data --server postgresql://clerk@db.example/sennet stats
)";

int usage(QTextStream& err, const QString& problem)
{
    err << "sennet-data: " << problem << "\nTry \"sennet-data --help\".\n";
    return SennetData::Usage;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The tool's connections are no desk's: a restore at a desk does not
    // wait for them.
    MarkServerConnectionsAsTool();
    QTextStream out(stdout);
    QTextStream err(stderr);

    QStringList args = QCoreApplication::arguments().mid(1);
    if (SennetData::isServerCommand(args))
        return SennetData::serverCommand(args, out, err);
    if (const std::optional<int> status = SennetData::runAuditCommand(args, out, err))
        return *status;
    QString folder, server, command, output;
    QStringList operands;
    bool everyField = false;
    bool includeDamaged = false;
    QDate from, to;
    auto takeValue = [&](qsizetype& i, const QString& name, QString& value) {
        const QString arg = args[i];
        if (arg.startsWith(name + u'=')) {
            value = arg.mid(name.size() + 1);
            return true;
        }
        if (i + 1 >= args.size())
            return false;
        value = args[++i];
        return true;
    };
    auto isOption = [](const QString& arg, const char* name) {
        return arg == QLatin1String(name) || arg.startsWith(QLatin1String(name) + u'=');
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        QString value;
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            out << Help;
            return SennetData::Clean;
        } else if (arg == QLatin1String("--version")) {
            out << "sennet-data (" << VersionLine() << ")\n";
            return SennetData::Clean;
        } else if (isOption(arg, "--data-folder")) {
            if (!takeValue(i, QStringLiteral("--data-folder"), folder) || folder.isEmpty())
                return usage(err, QStringLiteral("--data-folder needs a folder"));
        } else if (isOption(arg, "--server")) {
            if (!takeValue(i, QStringLiteral("--server"), server) || server.trimmed().isEmpty())
                return usage(err, QStringLiteral("--server needs the server's URL"));
        } else if (isOption(arg, "--output") || arg == QLatin1String("-o")) {
            if (!takeValue(i, arg == QLatin1String("-o") ? QStringLiteral("-o") : QStringLiteral("--output"), output)
                || output.isEmpty())
                return usage(err, QStringLiteral("--output needs a file name"));
        } else if (arg == QLatin1String("--every-field")) {
            everyField = true;
        } else if (arg == QLatin1String("--include-damaged")) {
            includeDamaged = true;
        } else if (isOption(arg, "--from") || isOption(arg, "--to")) {
            const bool isFrom = isOption(arg, "--from");
            if (!takeValue(i, isFrom ? QStringLiteral("--from") : QStringLiteral("--to"), value))
                return usage(err, QStringLiteral("%1 needs a date").arg(isFrom ? "--from" : "--to"));
            const QDate date = QDate::fromString(value, Qt::ISODate);
            if (!date.isValid())
                return usage(err, QStringLiteral("\"%1\" is not a date of the form YYYY-MM-DD").arg(value));
            (isFrom ? from : to) = date;
        } else if (arg.startsWith(u'-') && arg != QLatin1String("-")) {
            return usage(err, QStringLiteral("unknown option \"%1\"").arg(arg));
        } else if (command.isEmpty()) {
            command = arg;
        } else {
            operands << arg;
        }
    }

    static const QStringList commands{QStringLiteral("verify"), QStringLiteral("dump"), QStringLiteral("export-csv"),
                                      QStringLiteral("convert"), QStringLiteral("stats"),
                                      QStringLiteral("import-csv")};
    if (command.isEmpty())
        return usage(err, QStringLiteral("no command given"));
    if (!commands.contains(command))
        return usage(err, QStringLiteral("unknown command \"%1\"").arg(command));
    const bool dumpUsers = command == QLatin1String("dump") && operands == QStringList{QStringLiteral("users")};
    const bool importing = command == QLatin1String("import-csv");
    if (importing && operands.size() != 1)
        return usage(err, QStringLiteral("import-csv needs one file"));
    const bool operandsFit = operands.isEmpty() || importing
        || (command == QLatin1String("dump") && operands.size() == 1
            && (dumpUsers || operands[0] == QLatin1String("citations")));
    if (!operandsFit)
        return usage(err, QStringLiteral("unexpected \"%1\"").arg(operands.join(u' ')));
    if ((everyField || !output.isEmpty()) && command != QLatin1String("export-csv"))
        return usage(err, QStringLiteral("--every-field and --output belong to export-csv"));
    if (includeDamaged
        && !((command == QLatin1String("dump") && !dumpUsers) || command == QLatin1String("export-csv")
             || command == QLatin1String("stats")))
        return usage(err, QStringLiteral("--include-damaged belongs to dump, export-csv and stats"));
    if ((from.isValid() || to.isValid()) && command != QLatin1String("stats"))
        return usage(err, QStringLiteral("--from and --to belong to stats"));
    if (from.isValid() && to.isValid() && from > to)
        return usage(err, QStringLiteral("--from comes after --to"));

    if (!server.isEmpty() && !folder.isEmpty())
        return usage(err, QStringLiteral("--server and --data-folder cannot be used together"));
    if (!server.isEmpty() && (command == QLatin1String("verify") || command == QLatin1String("convert")))
        return usage(err, QStringLiteral("%1 works on a data folder's files only, not with --server").arg(command));

    // An output file named relative to where the tool was started.
    if (!output.isEmpty() && output != QLatin1String("-"))
        output = QDir::current().absoluteFilePath(output);
    if (importing)
        operands[0] = QDir::current().absoluteFilePath(operands[0]);
    if (!folder.isEmpty() && !QDir::setCurrent(folder))
        return usage(err, QStringLiteral("the data folder \"%1\" cannot be opened").arg(folder));
    InitialiseProcessState();
    if (!server.isEmpty()) {
        // The password comes from ~/.pgpass or PGPASSWORD, never from here.
        FileError error;
        std::unique_ptr<Storage> opened = OpenServerStorage(server, QString(), error);
        if (!opened) {
            err << error.message() << '\n';
            return SennetData::Problems;
        }
        const QString user = qEnvironmentVariable("USER");
        opened->setActor({QStringLiteral("sennet-data") + (user.isEmpty() ? QString() : u' ' + user), 4,
                          QSysInfo::machineHostName()});
        setStorage(std::move(opened));
    }
    // Reading must leave every byte as it is, and an intent replayed beside
    // a running program could put an older write over a newer save.
    FileIo::setFinishInterruptedWrites(false);
    if (server.isEmpty() && command != QLatin1String("convert") && !importing)
        for (const QString& file : DataFileNames)
            if (FileIo::hasInterruptedWrite(file))
                err << file << ": an interrupted write is waiting; start " << ApplicationTitle()
                    << " to finish it\n";

    int status = SennetData::Usage;
    if (command == QLatin1String("verify"))
        status = SennetData::verify(out, err);
    else if (command == QLatin1String("dump"))
        status = dumpUsers ? SennetData::dumpUsers(out, err) : SennetData::dumpCitations(includeDamaged, out, err);
    else if (command == QLatin1String("export-csv")) {
        out.flush();
        status = SennetData::exportCsv(everyField, includeDamaged, output, out, err);
    } else if (command == QLatin1String("convert"))
        status = SennetData::convert(out, err);
    else if (importing)
        status = SennetData::importCsv(operands[0], out, err);
    else if (command == QLatin1String("stats"))
        status = SennetData::stats(from, to, includeDamaged, out, err);
    out.flush();
    err.flush();
    return status;
}
