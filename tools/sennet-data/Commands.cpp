#include "Commands.h"

#include "workspace/CitationImport.h"

#include "app/SingleInstance.h"
#include "session/ProcessState.h"
#include "storage/AuditEvents.h"
#include "storage/AuditStore.h"
#include "storage/Storage.h"
#include "store/CitationCheck.h"
#include "store/CitationCsv.h"
#include "store/CitationFile.h"
#include "store/CitationRecord.h"
#include "store/CitationStatistics.h"
#include "store/DataFileNames.h"
#include "store/DateValue.h"
#include "store/EditorValues.h"
#include "store/FileIo.h"
#include "store/LegacyConversion.h"
#include "store/UserRecord.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtEndian>
#include <cstdio>
#include <numeric>

namespace SennetData {
namespace {

// Dates from this range are what a citation can plausibly carry; anything
// outside is reported by verify.
const QDate EarliestDate(1900, 1, 1);
const QDate LatestDate(2199, 12, 31);

QString jsonString(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QStringLiteral("\\\""); break;
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += u'"';
    return out;
}

// A date-time value as ISO text: "hh:mm:ss" for a time of day alone,
// "yyyy-mm-dd" for a date at midnight, else both; null for 0 (empty) and the
// bare number for a value no calendar holds (a damaged field).
QString jsonDate(DateValue v)
{
    if (v == 0.0)
        return QStringLiteral("null");
    if (!IsInDateRange(v))
        return std::isfinite(v) ? QString::number(v, 'g', 17) : QStringLiteral("null");
    const QTime time = TimePart(v);
    if (v > 0.0 && v < 1.0)
        return jsonString(time.toString(QStringLiteral("HH:mm:ss")));
    const QDate date = DatePart(v);
    if (time == QTime(0, 0))
        return jsonString(date.toString(QStringLiteral("yyyy-MM-dd")));
    return jsonString(date.toString(QStringLiteral("yyyy-MM-dd")) + u'T' + time.toString(QStringLiteral("HH:mm:ss")));
}

bool isRegularOrMissing(const QString& file, QTextStream& err)
{
    const QFileInfo info(file);
    if (!info.exists() && !info.isSymLink())
        return true;
    if (!info.isFile()) {
        err << file << ": not a regular file\n";
        return false;
    }
    return true;
}

// Reads a whole small file (the user list, the log) without changing it.
bool readWhole(const QString& file, QByteArray& bytes, QString& reason)
{
    FileIo::File f;
    if (!f.open(file, FileIo::File::ReadOnly, reason))
        return false;
    const qint64 size = f.size();
    if (size < 0 || size > (qint64(1) << 30)) {
        reason = size < 0 ? f.reason() : QStringLiteral("too large to check");
        return false;
    }
    bytes.resize(size);
    if (f.readAt(0, bytes.data(), size) != size) {
        reason = f.reason();
        return false;
    }
    return true;
}

// A whole small data file (the user list, the log): missing, read, or not
// readable (reason says why, a folder or pipe standing in its place too).
enum class WholeFile { Missing, Read, Failed };
WholeFile readDataFile(const QString& file, QByteArray& bytes, QString& reason)
{
    const QFileInfo info(file);
    if (!info.exists() && !info.isSymLink())
        return WholeFile::Missing;
    if (!info.isFile()) {
        reason = QStringLiteral("not a regular file");
        return WholeFile::Failed;
    }
    return readWhole(file, bytes, reason) ? WholeFile::Read : WholeFile::Failed;
}

qint16 int16At(const QByteArray& bytes, qsizetype at) { return qFromLittleEndian<qint16>(bytes.constData() + at); }

// Problems of the citation file; adds to `problems`.
void verifyCitations(QTextStream& out, int& problems)
{
    const QString file = CitationFileName;
    const QFileInfo info(file);
    if (!info.exists() && !info.isSymLink()) {
        out << file << ": missing (no citations)\n";
        return;
    }
    if (!info.isFile()) {
        out << file << ": PROBLEM: not a regular file\n";
        ++problems;
        return;
    }
    CitationFileView reader(file);
    if (!reader.open()) {
        out << file << ": PROBLEM: " << reader.lastError().message() << '\n';
        ++problems;
        return;
    }
    out << file << ": " << reader.size() << " bytes, " << reader.count() << " citation(s)\n";
    if (reader.size() == 0)
        return;
    if (reader.size() % CitationLayout::RecordLength != 0) {
        out << file << ": PROBLEM: the length is not a whole number of " << CitationLayout::RecordLength
            << "-byte records (" << reader.size() % CitationLayout::RecordLength << " bytes left over)\n";
        ++problems;
    }
    // An older file is recognised by its first record, as at start-up.
    QByteArray first(2, '\0');
    {
        FileIo::File f;
        QString ignored;
        if (f.open(file, FileIo::File::ReadOnly, ignored))
            f.readAt(0, first.data(), 2);
    }
    const qint16 firstVersion = int16At(first, 0);
    if (reader.size() < CitationLayout::RecordLength || !CitationCheck::IsCurrentFormatVersion(firstVersion)) {
        out << file << ": PROBLEM: older format (first record's format version " << firstVersion
            << "); run \"sennet-data convert\"\n";
        ++problems;
        return;
    }

    QMap<int, int> versions;
    int killed = 0, badDates = 0, badChoices = 0, badTexts = 0;
    constexpr int Reported = 10; // of each kind; the totals say the rest
    for (int n = 1; n <= reader.count(); ++n) {
        const char* record = reader.record(n);
        if (!record) {
            out << file << ": PROBLEM: " << reader.lastError().message() << '\n';
            ++problems;
            break;
        }
        ++versions[CitationBytes::int16(record, CitationField::FormatVersion)];
        for (const CitationCheck::Finding& f : CitationCheck::findings(record)) {
            int* counter = nullptr;
            switch (f.kind) {
            case CitationCheck::Kind::Version: // counted by version below
            case CitationCheck::Kind::Incomplete: // the length is reported above
                continue;
            case CitationCheck::Kind::Killed:
                if (++killed <= Reported)
                    out << file << ": PROBLEM: record " << n << ' ' << f.text
                        << " (a deletion that did not finish)\n";
                continue;
            case CitationCheck::Kind::Date:
            case CitationCheck::Kind::UnlikelyDate: counter = &badDates; break;
            case CitationCheck::Kind::Choice: counter = &badChoices; break;
            case CitationCheck::Kind::Text: counter = &badTexts; break;
            }
            if (++*counter <= Reported)
                out << file << ": PROBLEM: record " << n << ": " << f.text << '\n';
        }
    }
    for (auto it = versions.cbegin(); it != versions.cend(); ++it) {
        out << file << ": " << it.value() << " record(s) of format version " << it.key() << '\n';
        if (!CitationCheck::IsCurrentFormatVersion(qint16(it.key()))) {
            out << file << ": PROBLEM: format version " << it.key() << " is not one this program writes\n";
            ++problems;
        }
    }
    if (killed)
        out << file << ": " << killed << " record(s) marked \"$Killed$\"\n";
    if (badDates)
        out << file << ": " << badDates << " implausible date or time value(s)\n";
    if (badChoices)
        out << file << ": " << badChoices << " check box or option value(s) out of range\n";
    if (badTexts)
        out << file << ": " << badTexts << " text(s) holding NUL bytes\n";
    problems += killed + badDates + badChoices + badTexts;
}

void verifyUsers(QTextStream& out, int& problems)
{
    const QString file = UserListFileName;
    QByteArray bytes;
    QString reason;
    switch (readDataFile(file, bytes, reason)) {
    case WholeFile::Missing:
        out << file << ": missing (no users; the program asks for the first one)\n";
        return;
    case WholeFile::Failed:
        out << file << ": PROBLEM: " << reason << '\n';
        ++problems;
        return;
    case WholeFile::Read:
        break;
    }
    const qsizetype count = bytes.size() / UserLayout::RecordLength;
    out << file << ": " << bytes.size() << " bytes, " << count << " user(s)\n";
    if (bytes.size() % UserLayout::RecordLength) {
        out << file << ": PROBLEM: the length is not a whole number of " << UserLayout::RecordLength
            << "-byte records\n";
        ++problems;
    }
    QSet<QString> names;
    int administrators = 0;
    for (qsizetype n = 1; n <= count; ++n) {
        const UserRecord user = UserRecord::fromBytes(bytes.constData() + (n - 1) * UserLayout::RecordLength,
                                                      UserLayout::RecordLength);
        const QString name = DisplayName(user);
        if (user.FirstName() == CitationLayout::KilledMarker) {
            out << file << ": PROBLEM: user " << n << " is marked \"$Killed$\" (a removal that did not finish)\n";
            ++problems;
            continue;
        }
        if (user.FirstName().isEmpty() && user.LastName().isEmpty()) {
            out << file << ": PROBLEM: user " << n << " has no name\n";
            ++problems;
        }
        if (user.AccessLevel() < 1 || user.AccessLevel() > 4) {
            out << file << ": PROBLEM: user " << n << " (" << name << ") has access level " << user.AccessLevel()
                << '\n';
            ++problems;
        }
        if (user.AccessLevel() == 4)
            ++administrators;
        if (user.Password().isEmpty()) {
            out << file << ": PROBLEM: user " << n << " (" << name << ") has no password\n";
            ++problems;
        }
        const DateValue created = user.DateCreated();
        if (created != 0.0 && (!IsInDateRange(created) || DatePart(created) < EarliestDate
                               || DatePart(created) > LatestDate)) {
            out << file << ": PROBLEM: user " << n << " (" << name << ") has an implausible creation date\n";
            ++problems;
        }
        const QString key = NameSortKey(user).toUpper();
        if (names.contains(key)) {
            out << file << ": PROBLEM: user " << n << " (" << name << ") is listed twice\n";
            ++problems;
        }
        names.insert(key);
    }
    if (count > 0 && administrators == 0) {
        out << file << ": PROBLEM: no user has full access (level 4)\n";
        ++problems;
    }
}

void verifyLog(QTextStream& out, int& problems)
{
    const QString file = UserLogFileName;
    QByteArray bytes;
    QString reason;
    switch (readDataFile(file, bytes, reason)) {
    case WholeFile::Missing:
        out << file << ": missing (nobody has logged in yet)\n";
        return;
    case WholeFile::Failed:
        out << file << ": PROBLEM: " << reason << '\n';
        ++problems;
        return;
    case WholeFile::Read:
        break;
    }
    static const QRegularExpression line(QStringLiteral(
        R"(^\d\d/\d\d/\d{4} at \d\d:\d\d:\d\d - .+ (logged in w/ .+ privileges\.|logged out\.)$)"));
    const QList<QByteArray> lines = bytes.split('\n');
    int count = 0, bad = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray l = lines[i];
        if (i == lines.size() - 1 && l.isEmpty())
            break; // after the last line break
        if (!l.endsWith('\r')) {
            if (++bad <= 10)
                out << file << ": PROBLEM: line " << i + 1 << " does not end with CR LF\n";
            continue;
        }
        l.chop(1);
        ++count;
        if (!line.match(QString::fromLatin1(l)).hasMatch() && ++bad <= 10)
            out << file << ": PROBLEM: line " << i + 1 << " is not a log-in or log-out line\n";
    }
    out << file << ": " << bytes.size() << " bytes, " << count << " line(s)\n";
    problems += bad;
}

// The citation file opened for one of the reading commands: refused (false,
// err says why) when it is no regular file, cannot be read, or is of an older
// format, whose records read as the current layout would be garbage.
bool openForReading(CitationFileView& reader, QTextStream& err)
{
    if (!isRegularOrMissing(CitationFileName, err))
        return false;
    if (!reader.open()) {
        err << reader.lastError().message() << '\n';
        return false;
    }
    if (reader.size() == 0)
        return true;
    const char* first = reader.count() > 0 ? reader.record(1) : nullptr;
    if (reader.count() > 0 && !first) {
        err << reader.lastError().message() << '\n';
        return false;
    }
    const qint16 version = first ? CitationBytes::int16(first, CitationField::FormatVersion) : 0;
    if (!first || reader.size() < CitationLayout::RecordLength || !CitationCheck::IsCurrentFormatVersion(version)) {
        err << CitationFileName << ": older format (first record's format version " << version
            << "); run \"sennet-data convert\"\n";
        return false;
    }
    return true;
}

// Where the citations come from, as the reading commands name it: the data
// file, or the server and database.
QString citationsSource() { return storage().isServer() ? storage().description() : CitationFileName; }

// How many of record n's bytes its source holds: a server holds them all.
qint64 bytesHeld(const CitationFileView* reader, int n)
{
    return reader ? CitationCheck::BytesOnFile(reader->size(), n) : qint64(CitationLayout::RecordLength);
}

// Names a damaged record on err; returns whether record n is damaged.
// `reader` is the data file's view, null on a server.
bool reportDamage(const CitationFileView* reader, const char* record, int n, QTextStream& err)
{
    const QString damage = CitationCheck::damage(record, bytesHeld(reader, n));
    if (damage.isEmpty())
        return false;
    err << citationsSource() << ": record " << n << " is damaged: " << damage << '\n';
    return true;
}

// The data file opened for a reading command, in `reader`; on a server
// there is none, and `view` is null.
bool openSource(CitationFileView& reader, const CitationFileView*& view, QTextStream& err)
{
    view = nullptr;
    if (storage().isServer())
        return true;
    if (!openForReading(reader, err))
        return false;
    view = &reader;
    return true;
}

// Names the bytes after the last record that are too few to count as one
// (a record needs more than half its length); returns whether there are any.
bool reportLooseTail(const CitationFileView& reader, QTextStream& err)
{
    const qint64 loose = reader.size() - qint64(reader.count()) * CitationLayout::RecordLength;
    if (loose <= 0)
        return false;
    err << CitationFileName << ": the last " << loose << " bytes are too few for a citation (" << CitationLayout::RecordLength
        << " bytes) and are left out\n";
    return true;
}

void reportDamagedTotal(int damaged, bool included, const char* leftOutOf, QTextStream& err)
{
    if (damaged == 0)
        return;
    err << citationsSource() << ": " << damaged << " damaged record(s) ";
    if (included)
        err << "included\n";
    else
        err << "left out" << leftOutOf << " (--include-damaged takes them in)\n";
}

// The record numbers of the file's sound citations, or of all with
// includeDamaged; each damaged record named on err. False when the file
// could not be read to its end (err says why).
bool readableRecords(const CitationFileView* reader, bool includeDamaged, QList<int>& records, int& damaged,
                     QTextStream& err)
{
    records.clear();
    if (reader)
        records.reserve(reader->count());
    damaged = 0;
    FileError error;
    const bool read = storage().citations().forEach(
        [&](CitationKey n, const char* record) {
            const bool bad = reportDamage(reader, record, n, err);
            damaged += bad;
            if (!bad || includeDamaged)
                records << n;
            return true;
        },
        error);
    if (!read)
        err << error.message() << '\n';
    return read;
}

} // namespace

int verify(QTextStream& out, QTextStream&)
{
    int problems = 0;
    verifyCitations(out, problems);
    verifyUsers(out, problems);
    verifyLog(out, problems);
    if (QFileInfo::exists(WorkFileName))
        out << WorkFileName << ": a work file was left behind by an operation that did not finish\n";
    out << (problems ? QStringLiteral("%1 problem(s) found\n").arg(problems) : QStringLiteral("clean\n"));
    return problems ? Problems : Clean;
}

int dumpCitations(bool includeDamaged, QTextStream& out, QTextStream& err)
{
    CitationFileView file;
    const CitationFileView* reader = nullptr;
    if (!openSource(file, reader, err))
        return Problems;
    int damaged = 0;
    FileError error;
    const bool read = storage().citations().forEach([&](CitationKey n, const char* record) {
        const bool bad = reportDamage(reader, record, n, err);
        damaged += bad;
        if (bad && !includeDamaged)
            return true;
        QString line = QStringLiteral("{\"record\":%1").arg(n);
        if (bad)
            line += QStringLiteral(",\"damaged\":") + jsonString(CitationCheck::damage(record, bytesHeld(reader, n)));
        for (const FieldSpec& f : CitationLayout::fields()) {
            line += QStringLiteral(",\"%1\":").arg(QLatin1String(f.name));
            switch (f.type) {
            case FieldType::Text: line += jsonString(CitationBytes::text(record, f.id)); break;
            case FieldType::Int16: line += QString::number(CitationBytes::int16(record, f.id)); break;
            case FieldType::Date: line += jsonDate(CitationBytes::date(record, f.id)); break;
            }
        }
        out << line << "}\n";
        return true;
    }, error);
    if (!read) {
        err << error.message() << '\n';
        return Problems;
    }
    const bool loose = reader && reportLooseTail(*reader, err);
    reportDamagedTotal(damaged, includeDamaged, "", err);
    return damaged || loose ? Problems : Clean;
}

int dumpUsers(QTextStream& out, QTextStream& err)
{
    QList<StoredUser> users;
    FileError error;
    if (!storage().users().list(users, error)) {
        err << error.message() << '\n';
        return Problems;
    }
    for (const StoredUser& stored : users) {
        const UserRecord& user = stored.record;
        // The password is left out on purpose: its scrambling is no protection.
        out << QStringLiteral("{\"record\":%1,\"FirstName\":%2,\"LastName\":%3,\"AccessLevel\":%4,"
                              "\"AccessLevelName\":%5,\"DateCreated\":%6,\"Comments\":%7}\n")
                   .arg(stored.key)
                   .arg(jsonString(user.FirstName()), jsonString(user.LastName()))
                   .arg(user.AccessLevel())
                   .arg(jsonString(AccessLevelName(user.AccessLevel())), jsonDate(user.DateCreated()),
                        jsonString(user.Comments()));
    }
    return Clean;
}

int exportCsv(bool everyField, bool includeDamaged, const QString& output, QTextStream&, QTextStream& err)
{
    CitationFileView file;
    const CitationFileView* reader = nullptr;
    if (!openSource(file, reader, err))
        return Problems;
    QList<int> records;
    int damaged = 0;
    if (!readableRecords(reader, includeDamaged, records, damaged, err))
        return Problems;
    const bool loose = reader && reportLooseTail(*reader, err);
    const int found = damaged || loose ? Problems : Clean;
    const CsvColumns columns = everyField ? CsvColumns::Every : CsvColumns::Listed;
    if (!output.isEmpty() && output != QLatin1String("-")) {
        FileError error;
        const int written = ExportCitationCsvFile(output, records, columns, SourceOf(storage().citations()), error);
        if (written < 0) {
            err << error.message() << '\n';
            return Problems;
        }
        err << written << " citation(s) written to " << output << '\n';
        reportDamagedTotal(damaged, includeDamaged, "", err);
        return found;
    }
    FileError error;
    int written = 0;
    const bool ok = WriteCitationCsv(
        SourceOf(storage().citations()), records, columns,
        [](const QByteArray& bytes) {
            return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
        },
        error, written);
    if (std::fflush(stdout) != 0 || !ok) {
        err << (error.isError() ? error.message() : QStringLiteral("The output could not be written.")) << '\n';
        return Problems;
    }
    reportDamagedTotal(damaged, includeDamaged, "", err);
    return found;
}

namespace {

// A command that changes the data is recorded in the audit trail under the
// login name of whoever ran it, without an access level.
void actAsLoginUser()
{
    CurrentUserName = qEnvironmentVariable("USER");
    CurrentAccessLevel = 0;
}

// Takes the program's one-copy lock for a command that writes as the program
// does; with it held the program cannot be writing, so what it left
// unfinished is finished as the program would. False, told on `err`, while
// the program runs over the folder or when the lock cannot be had.
bool takeTheProgramsPlace(SingleInstanceGuard& guard, const char* command, QTextStream& err)
{
    switch (guard.acquire()) {
    case SingleInstanceGuard::Outcome::Acquired:
        FileIo::setFinishInterruptedWrites(true);
        return true;
    case SingleInstanceGuard::Outcome::AlreadyRunning:
        err << ApplicationTitle() << " is running over this folder; close it and " << command << " again.\n";
        return false;
    case SingleInstanceGuard::Outcome::Failed:
        err << guard.failureText() << '\n';
        return false;
    }
    return false;
}

} // namespace

int convert(QTextStream& out, QTextStream& err)
{
    // The program converts only at start-up, before it shows any citation;
    // while it runs over this folder the file is left alone.
    SingleInstanceGuard guard;
    if (!takeTheProgramsPlace(guard, "convert", err))
        return Problems;
    const QFileInfo info(CitationFileName);
    if (!info.exists() && !info.isSymLink()) {
        out << CitationFileName << ": missing; nothing to convert\n";
        return Clean;
    }
    if (!info.isFile()) {
        err << CitationFileName << ": not a regular file\n";
        return Problems;
    }
    if (info.size() == 0) {
        out << CitationFileName << ": empty; nothing to convert\n";
        return Clean;
    }
    FileError error;
    const DataFileFormat format = CheckDataFileFormat(error);
    if (error.isError()) {
        err << error.message() << '\n';
        return Problems;
    }
    if (format != DataFileFormat::NeedsConversion) {
        out << CitationFileName << ": already in the current format; nothing to convert\n";
        return Clean;
    }
    actAsLoginUser();
    const qint64 converted = ConvertLegacyDataFile(error);
    FileError auditError;
    const bool recorded = recordAudit(
        AuditEvents::conversion(CitationFileName, qMax<qint64>(converted, 0),
                                converted < 0 ? error.message() : QStringLiteral("done")),
        auditError);
    if (!recorded)
        err << auditError.message() << "\nThe audit trail does not record this conversion.\n";
    if (converted < 0) {
        err << error.message() << "\nThe data file has been left as it was.\n";
        return Problems;
    }
    out << CitationFileName << ": " << converted << " citation(s) converted; the older file is kept as "
        << LegacyBackupFileName() << '\n';
    return recorded ? Clean : Problems;
}

int importCsv(const QString& file, QTextStream& out, QTextStream& err)
{
    // Written into a folder as the program writes: never beside it. A
    // server takes the rows in one transaction beside any desk.
    const bool server = storage().isServer();
    SingleInstanceGuard guard;
    if (!server) {
        if (!takeTheProgramsPlace(guard, "import", err))
            return Problems;
        if (!isRegularOrMissing(CitationFileName, err))
            return Problems;
        FileError formatError;
        if (CheckDataFileFormat(formatError) == DataFileFormat::NeedsConversion) {
            err << CitationFileName << ": written by an older version; convert it first (sennet-data convert)\n";
            return Problems;
        }
    }
    StorageImportStore store(storage().citations());
    ImportPreview preview;
    QString error;
    const QDateTime now = QDateTime::currentDateTime();
    if (!CitationImport::preview(file, store, {now, qEnvironmentVariable("USER")}, preview, error)) {
        err << error << '\n';
        return Problems;
    }
    for (const QString& column : preview.ignoredColumns)
        err << preview.fileName << ": column " << column << " is not a field; ignored\n";
    int left = 0;
    for (const ImportRow& row : preview.rows) {
        if (row.state == ImportState::Ready)
            continue;
        ++left;
        err << preview.fileName << ": line " << row.line << ": not imported: "
            << (row.state == ImportState::Refused ? row.field + QStringLiteral(": ") : QString()) << row.message
            << '\n';
    }
    FileError writeError;
    actAsLoginUser();
    const qint64 added = CitationImport::commit(store, preview, {}, now, writeError);
    if (added < 0) {
        err << writeError.message() << "\nNothing has been imported; "
            << (server ? "the server's citations are as they were.\n" : "the data file is as it was.\n");
        return Problems;
    }
    out << preview.fileName << ": " << added << " citation(s) imported, " << left << " row(s) left out\n";
    return left > 0 ? Problems : Clean;
}

int stats(const QDate& from, const QDate& to, bool includeDamaged, QTextStream& out, QTextStream& err)
{
    CitationFileView file;
    const CitationFileView* reader = nullptr;
    if (!openSource(file, reader, err))
        return Problems;
    QList<int> records;
    int damaged = 0;
    if (!readableRecords(reader, includeDamaged, records, damaged, err))
        return Problems;
    const bool loose = reader && reportLooseTail(*reader, err);
    CitationStatistics result;
    FileError error;
    if (!CountCitations(SourceOf(storage().citations()), records, from, to, result, error)) {
        err << error.message() << '\n';
        return Problems;
    }
    out << "Citations: " << result.total;
    if (from.isValid() || to.isValid())
        out << " (from " << (from.isValid() ? from.toString(Qt::ISODate) : QStringLiteral("the first"))
            << " to " << (to.isValid() ? to.toString(Qt::ISODate) : QStringLiteral("the last")) << "; "
            << result.outside << " outside)";
    out << '\n';
    for (size_t g = 0; g < size_t(StatisticsGroup::Count); ++g) {
        out << '\n' << StatisticsGroupTitle(StatisticsGroup(g)) << '\n';
        for (const StatisticsCount& c : result.groups[g])
            out << QStringLiteral("%1  %2\n").arg(c.count, 8).arg(c.key);
    }
    reportDamagedTotal(damaged, includeDamaged, " of the counts", err);
    return damaged || loose ? Problems : Clean;
}

} // namespace SennetData
