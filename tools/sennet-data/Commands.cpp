#include "Commands.h"

#include "app/SingleInstance.h"
#include "session/ProcessState.h"
#include "store/CitationCsv.h"
#include "store/CitationFile.h"
#include "store/CitationRecord.h"
#include "store/CitationStatistics.h"
#include "store/DataFileNames.h"
#include "store/DateValue.h"
#include "store/EditorValues.h"
#include "store/FileIo.h"
#include "store/LegacyConversion.h"
#include "users/UserRecord.h"

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
    if (reader.size() < CitationLayout::RecordLength || firstVersion < 300 || firstVersion > 399) {
        out << file << ": PROBLEM: older format (first record's format version " << firstVersion
            << "); run \"sennet-data convert\"\n";
        ++problems;
        return;
    }

    QMap<int, int> versions;
    int killed = 0, badDates = 0, badChoices = 0;
    constexpr int Reported = 10; // of each kind; the totals say the rest
    for (int n = 1; n <= reader.count(); ++n) {
        const char* record = reader.record(n);
        if (!record) {
            out << file << ": PROBLEM: " << reader.lastError().message() << '\n';
            ++problems;
            break;
        }
        const qint16 version = CitationBytes::int16(record, CitationField::FormatVersion);
        ++versions[version];
        if (CitationBytes::text(record, CitationField::NCICNumber) == CitationLayout::KilledMarker) {
            if (++killed <= Reported)
                out << file << ": PROBLEM: record " << n << " is marked \"$Killed$\" (a deletion that did not finish)\n";
        }
        for (const FieldSpec& f : CitationLayout::fields()) {
            if (f.type != FieldType::Date)
                continue;
            const DateValue v = CitationBytes::date(record, f.id);
            const bool timeOnly = f.id == CitationField::OffenseTime || f.id == CitationField::CourtTime;
            bool bad = false;
            if (v == 0.0)
                bad = f.id == CitationField::OffenseDate;
            else if (!IsInDateRange(v))
                bad = true;
            else if (timeOnly)
                bad = v < 0.0 || v >= 1.0;
            else if (f.id != CitationField::TimeEntered) {
                const QDate d = DatePart(v);
                bad = d < EarliestDate || d > LatestDate;
            }
            if (bad && ++badDates <= Reported)
                out << file << ": PROBLEM: record " << n << ": " << f.name << " holds no plausible "
                    << (timeOnly ? "time" : "date") << " (" << QString::number(v, 'g', 17) << ")\n";
        }
        for (const CheckBoxSpec& c : EditorLayout::checkBoxes()) {
            const qint16 v = CitationBytes::int16(record, c.field);
            if (v != 0 && v != 1 && ++badChoices <= Reported)
                out << file << ": PROBLEM: record " << n << ": " << CitationLayout::field(c.field).name << " holds "
                    << v << '\n';
        }
        for (const OptionGroupSpec& g : EditorLayout::optionGroups()) {
            const qint16 v = CitationBytes::int16(record, g.field);
            if ((v < 1 || v > g.choiceCount) && ++badChoices <= Reported)
                out << file << ": PROBLEM: record " << n << ": " << CitationLayout::field(g.field).name << " holds "
                    << v << '\n';
        }
    }
    for (auto it = versions.cbegin(); it != versions.cend(); ++it) {
        out << file << ": " << it.value() << " record(s) of format version " << it.key() << '\n';
        if (it.key() < 300 || it.key() > 399) {
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
    problems += killed + badDates + badChoices;
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

int dumpCitations(QTextStream& out, QTextStream& err)
{
    if (!isRegularOrMissing(CitationFileName, err))
        return Problems;
    CitationFileView reader;
    if (!reader.open()) {
        err << reader.lastError().message() << '\n';
        return Problems;
    }
    for (int n = 1; n <= reader.count(); ++n) {
        const char* record = reader.record(n);
        if (!record) {
            err << reader.lastError().message() << '\n';
            return Problems;
        }
        QString line = QStringLiteral("{\"record\":%1").arg(n);
        for (const FieldSpec& f : CitationLayout::fields()) {
            line += QStringLiteral(",\"%1\":").arg(QLatin1String(f.name));
            switch (f.type) {
            case FieldType::Text: line += jsonString(CitationBytes::text(record, f.id)); break;
            case FieldType::Int16: line += QString::number(CitationBytes::int16(record, f.id)); break;
            case FieldType::Date: line += jsonDate(CitationBytes::date(record, f.id)); break;
            }
        }
        out << line << "}\n";
    }
    return Clean;
}

int dumpUsers(QTextStream& out, QTextStream& err)
{
    QByteArray bytes;
    QString reason;
    switch (readDataFile(UserListFileName, bytes, reason)) {
    case WholeFile::Missing:
        return Clean;
    case WholeFile::Failed:
        err << UserListFileName << ": " << reason << '\n';
        return Problems;
    case WholeFile::Read:
        break;
    }
    const qsizetype count = bytes.size() / UserLayout::RecordLength;
    for (qsizetype n = 1; n <= count; ++n) {
        const UserRecord user = UserRecord::fromBytes(bytes.constData() + (n - 1) * UserLayout::RecordLength,
                                                      UserLayout::RecordLength);
        // The password is left out on purpose: its scrambling is no protection.
        out << QStringLiteral("{\"record\":%1,\"FirstName\":%2,\"LastName\":%3,\"AccessLevel\":%4,"
                              "\"AccessLevelName\":%5,\"DateCreated\":%6,\"Comments\":%7}\n")
                   .arg(n)
                   .arg(jsonString(user.FirstName()), jsonString(user.LastName()))
                   .arg(user.AccessLevel())
                   .arg(jsonString(AccessLevelName(user.AccessLevel())), jsonDate(user.DateCreated()),
                        jsonString(user.Comments()));
    }
    return Clean;
}

int exportCsv(bool everyField, const QString& output, QTextStream&, QTextStream& err)
{
    if (!isRegularOrMissing(CitationFileName, err))
        return Problems;
    CitationFileView reader;
    if (!reader.open()) {
        err << reader.lastError().message() << '\n';
        return Problems;
    }
    QList<int> records(reader.count());
    std::iota(records.begin(), records.end(), 1);
    const CsvColumns columns = everyField ? CsvColumns::Every : CsvColumns::Listed;
    if (!output.isEmpty() && output != QLatin1String("-")) {
        FileError error;
        const int written = ExportCitationCsvFile(output, records, columns, error);
        if (written < 0) {
            err << error.message() << '\n';
            return Problems;
        }
        err << written << " citation(s) written to " << output << '\n';
        return Clean;
    }
    FileError error;
    int written = 0;
    const bool ok = WriteCitationCsv(
        reader, records, columns,
        [](const QByteArray& bytes) {
            return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
        },
        error, written);
    if (std::fflush(stdout) != 0 || !ok) {
        err << (error.isError() ? error.message() : QStringLiteral("The output could not be written.")) << '\n';
        return Problems;
    }
    return Clean;
}

int convert(QTextStream& out, QTextStream& err)
{
    // The program converts only at start-up, before it shows any citation;
    // while it runs over this folder the file is left alone.
    SingleInstanceGuard guard;
    switch (guard.acquire()) {
    case SingleInstanceGuard::Outcome::Acquired:
        // The program cannot be writing now: finish what it left, as it would.
        FileIo::setFinishInterruptedWrites(true);
        break;
    case SingleInstanceGuard::Outcome::AlreadyRunning:
        err << ApplicationTitle() << " is running over this folder; close it and convert again.\n";
        return Problems;
    case SingleInstanceGuard::Outcome::Failed:
        err << guard.failureText() << '\n';
        return Problems;
    }
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
    const qint64 converted = ConvertLegacyDataFile(error);
    if (converted < 0) {
        err << error.message() << "\nThe data file has been left as it was.\n";
        return Problems;
    }
    out << CitationFileName << ": " << converted << " citation(s) converted; the older file is kept as "
        << LegacyBackupFileName() << '\n';
    return Clean;
}

int stats(const QDate& from, const QDate& to, QTextStream& out, QTextStream& err)
{
    if (!isRegularOrMissing(CitationFileName, err))
        return Problems;
    CitationFileView reader;
    if (!reader.open()) {
        err << reader.lastError().message() << '\n';
        return Problems;
    }
    QList<int> records(reader.count());
    std::iota(records.begin(), records.end(), 1);
    CitationStatistics result;
    FileError error;
    if (!CountCitations(reader, records, from, to, result, error)) {
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
    return Clean;
}

} // namespace SennetData
