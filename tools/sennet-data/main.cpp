// sennet-data: checks, dumps, exports, converts and counts the data files of
// a Sennet data folder from the command line, for administrators and scripts.
// It reads the files with the program's own store code and changes nothing,
// except that "convert" converts a data file of an older version.
#include "Commands.h"

#include "app/CommandLine.h"
#include "session/ProcessState.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <cstdio>

namespace {

const char* const Help = R"(NAME
    sennet-data - check and read the data files of a Sennet data folder

SYNOPSIS
    sennet-data [--data-folder PATH] verify
    sennet-data [--data-folder PATH] dump [citations | users]
    sennet-data [--data-folder PATH] export-csv [--every-field] [--output FILE]
    sennet-data [--data-folder PATH] convert
    sennet-data [--data-folder PATH] stats [--from YYYY-MM-DD] [--to YYYY-MM-DD]
    sennet-data --help | --version

DESCRIPTION
    sennet-data works on the data files of one Sennet installation: the
    citation data file "Sennet.Data", the user list "User.List" and the user
    log "User.Log". It reads them with the program's own code and never
    changes them, except that "convert" converts a data file written by an
    older version. It can run while the program runs.

COMMANDS
    verify
        Checks every file: lengths in whole records, the number of records,
        the format version of each citation (an older-format file is reported
        with the advice to convert it), dates and times in a plausible range,
        check boxes and option choices in range, records left marked
        "$Killed$" by a deletion that did not finish, the user list (names,
        access levels, passwords set, no user twice, at least one user with
        full access) and the form of every log line. Prints what it found;
        the exit status is 0 only when everything is clean.

    dump [citations | users]
        Prints the citations (the default) or the users as JSON lines, one
        object per record, with its record number and every field under its
        layout name. Texts are UTF-8; dates are "yyyy-mm-dd", times of day
        "hh:mm:ss", moments "yyyy-mm-ddThh:mm:ss", and empty dates null.
        Passwords are never shown.

    export-csv [--every-field] [--output FILE]
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
        A file already current, empty or missing is left as it is.

    stats [--from YYYY-MM-DD] [--to YYYY-MM-DD]
        Counts the citations by month, by code section, by issuing officer
        and by county / city, within the range of offense dates given.

OPTIONS
    --data-folder PATH
        The data folder to work in; the current folder when not given.
    --every-field
        export-csv: every field of each citation, not only the list's columns.
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
    1   problems found (verify), or the command failed
    2   the command line was wrong, or the data folder cannot be used

EXAMPLES
    sennet-data --data-folder /srv/sennet verify
    sennet-data dump users
    sennet-data export-csv --every-field --output citations.csv
    sennet-data stats --from 2024-01-01 --to 2024-12-31
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
    QTextStream out(stdout);
    QTextStream err(stderr);

    QStringList args = QCoreApplication::arguments().mid(1);
    QString folder, command, output;
    QStringList operands;
    bool everyField = false;
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
        } else if (isOption(arg, "--output") || arg == QLatin1String("-o")) {
            if (!takeValue(i, arg == QLatin1String("-o") ? QStringLiteral("-o") : QStringLiteral("--output"), output)
                || output.isEmpty())
                return usage(err, QStringLiteral("--output needs a file name"));
        } else if (arg == QLatin1String("--every-field")) {
            everyField = true;
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
                                      QStringLiteral("convert"), QStringLiteral("stats")};
    if (command.isEmpty())
        return usage(err, QStringLiteral("no command given"));
    if (!commands.contains(command))
        return usage(err, QStringLiteral("unknown command \"%1\"").arg(command));
    const bool dumpUsers = command == QLatin1String("dump") && operands == QStringList{QStringLiteral("users")};
    const bool operandsFit = operands.isEmpty()
        || (command == QLatin1String("dump") && operands.size() == 1
            && (dumpUsers || operands[0] == QLatin1String("citations")));
    if (!operandsFit)
        return usage(err, QStringLiteral("unexpected \"%1\"").arg(operands.join(u' ')));
    if ((everyField || !output.isEmpty()) && command != QLatin1String("export-csv"))
        return usage(err, QStringLiteral("--every-field and --output belong to export-csv"));
    if ((from.isValid() || to.isValid()) && command != QLatin1String("stats"))
        return usage(err, QStringLiteral("--from and --to belong to stats"));
    if (from.isValid() && to.isValid() && from > to)
        return usage(err, QStringLiteral("--from comes after --to"));

    // An output file named relative to where the tool was started.
    if (!output.isEmpty() && output != QLatin1String("-"))
        output = QDir::current().absoluteFilePath(output);
    if (!folder.isEmpty() && !QDir::setCurrent(folder))
        return usage(err, QStringLiteral("the data folder \"%1\" cannot be opened").arg(folder));
    InitialiseProcessState();

    int status = SennetData::Usage;
    if (command == QLatin1String("verify"))
        status = SennetData::verify(out, err);
    else if (command == QLatin1String("dump"))
        status = dumpUsers ? SennetData::dumpUsers(out, err) : SennetData::dumpCitations(out, err);
    else if (command == QLatin1String("export-csv")) {
        out.flush();
        status = SennetData::exportCsv(everyField, output, out, err);
    } else if (command == QLatin1String("convert"))
        status = SennetData::convert(out, err);
    else if (command == QLatin1String("stats"))
        status = SennetData::stats(from, to, out, err);
    out.flush();
    err.flush();
    return status;
}
