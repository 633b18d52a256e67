// The benchmark: generates a data file of N realistic citations and times the
// main window's list work on it next to two yardsticks, each the best its kind
// can do: the floor (the least work the operation could possibly take: the
// file read in large blocks by two threads, a vectorised scan of the searched
// fields' bytes on both cores, a copy + flush + rename) and SQLite holding the
// same citations, tuned (WAL, mmap, a large cache, covering indexes, prepared
// statements), with an FTS5 trigram index beside its LIKE search. Every figure
// is the min and the median of several runs, warm cache; the table gives each
// median's ratio to both.
//
//   bench_sennet N [runs]            the data folder (run by scripts/bench)
//   bench_sennet N [runs] --server   the same citations on a PostgreSQL server
//   bench_sennet N [runs] --quick    the folder's list open and saves only,
//                                    with their floors (no SQLite: minutes less)
//
// The work folder is the current folder: the data file and the SQLite
// database are made there and left for the caller to remove. The folder's
// medians are kept there too (folder-figures.tsv), so that the server's run
// after it in the same folder sets its own beside them. The server run
// starts a PostgreSQL 15 of its own in a temporary folder, with every commit
// flushed to disk as a real server's, and stops it at the end.
#include "CitationGenerator.h"
#include "PgCluster.h"

#include "platform/Messages.h"
#include "server/PgConnection.h"
#include "server/ServerStorage.h"
#include "session/ProcessState.h"
#include "store/AnsiText.h"
#include "store/CitationListFile.h"
#include "store/CitationNumberIndex.h"
#include "store/CitationRecord.h"
#include "store/FileIo.h"
#include "widgets/modFadeInOut.h"
#include "workspace/CitationList.h"
#include "store/ListDateText.h"
#include "store/SearchSettings.h"
#include "storage/Storage.h"
#include "workspace/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMap>
#include <QRadioButton>
#include <QTextStream>
#include <QTableView>
#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <functional>
#include <sqlite3.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

int Runs = 5;

struct Stat {
    double min = 0;
    double median = 0;
};

Stat timeRuns(const std::function<void()>& work, const std::function<void()>& before = {})
{
    std::vector<double> ms;
    for (int i = 0; i < Runs; ++i) {
        if (before)
            before();
        QElapsedTimer t;
        t.start();
        work();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    const size_t n = ms.size();
    return {ms.front(), n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2};
}

// Times several ways of doing one thing in turns, so that the machine's
// changing load (the disk writing back, another program) falls on all of
// them alike. Work left running in the background (the number index a list
// load hands to a thread of its own) is waited for, untimed, so that it does
// not slow the next.
std::vector<Stat> timeInTurns(const std::vector<std::function<void()>>& ways, const std::function<void()>& before = {})
{
    std::vector<std::vector<double>> ms(ways.size());
    for (int i = 0; i < Runs; ++i) {
        for (size_t w = 0; w < ways.size(); ++w) {
            if (before && w == 0)
                before();
            QElapsedTimer t;
            t.start();
            ways[w]();
            ms[w].push_back(t.nsecsElapsed() / 1e6);
            citationNumberIndex().waitForFill();
            CitationListFile::waitForWrite();
        }
    }
    std::vector<Stat> stats;
    for (std::vector<double>& m : ms) {
        std::sort(m.begin(), m.end());
        const size_t n = m.size();
        stats.push_back({m.front(), n % 2 ? m[n / 2] : (m[n / 2 - 1] + m[n / 2]) / 2});
    }
    return stats;
}

std::pair<Stat, Stat> timePaired(const std::function<void()>& work, const std::function<void()>& floor,
                                 const std::function<void()>& before = {})
{
    const std::vector<Stat> s = timeInTurns({work, floor}, before);
    return {s[0], s[1]};
}

// As after a change to the data file: its list file gone, so the next list
// opens from the data file (and makes the list file again).
void forgetListFile()
{
    CitationListFile::waitForWrite();
    ::unlink(QFile::encodeName(FileIo::derivedFileName(CitationFileName)).constData());
}

// Every message box answers Yes (or OK) and is counted, so a path that
// complained shows in the output instead of waiting for a click.
class AnsweringMessages final : public MessageService {
public:
    int shown = 0;
    int msgBox(const QString& text, int flags, const QString&) override
    {
        if (Msg::buttonsOf(flags) != Msg::YesNo) {
            ++shown;
            std::fprintf(stderr, "message: %s\n", qPrintable(text));
        }
        return Msg::buttonsOf(flags) == Msg::YesNo ? Msg::Yes : Msg::OK;
    }
    QString inputBox(const QString&, const QString&, const QString&) override { return QString(); }
};

long kibFromStatus(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(std::strlen(key))).trimmed().split(' ').first().toLong();
    return -1;
}

void resetPeakMemory()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

// ---- The floor

constexpr qint64 Block = 1 << 20;

// Reads [from, to) of the file in blocks; a sum keeps the reads from being left out.
qint64 readBlocks(const QByteArray& name, qint64 from, qint64 to)
{
    const int fd = ::open(name.constData(), O_RDONLY);
    std::vector<char> buffer(Block);
    qint64 sum = 0;
    for (qint64 at = from; at < to;) {
        const ssize_t got = ::pread(fd, buffer.data(), size_t(qMin(Block, to - at)), at);
        if (got <= 0)
            break;
        sum += buffer[0];
        at += got;
    }
    ::close(fd);
    return sum;
}

// The file read once in 1 MiB blocks, its two halves by two threads.
double readFloorOnce(const QString& fileName)
{
    const QByteArray name = QFile::encodeName(fileName);
    const qint64 length = QFileInfo(fileName).size();
    const qint64 half = length / 2 / CitationLayout::RecordLength * CitationLayout::RecordLength;
    qint64 tail = 0;
    std::thread second([&] { tail = readBlocks(name, half, length); });
    const qint64 head = readBlocks(name, 0, half);
    second.join();
    return double(head + tail);
}

// The byte ranges of a record's text fields (adjacent ones joined): what a
// search in all text looks at, dates aside.
std::vector<std::pair<int, int>> textSpans()
{
    std::vector<std::pair<int, int>> spans;
    for (int f = 0; f < int(CitationField::Count); ++f) {
        const FieldSpec& field = CitationLayout::field(CitationField(f));
        if (field.type != FieldType::Text)
            continue;
        if (!spans.empty() && spans.back().second == field.offset)
            spans.back().second += field.width;
        else
            spans.push_back({field.offset, field.offset + field.width});
    }
    return spans;
}

// Counts the records of [first, last) holding the folded phrase in their text
// fields: sixteen places at a time, those whose first and last bytes fold to
// the phrase's compared in full.
int scanRecords(const QByteArray& name, qint64 first, qint64 last, const QByteArray& folded)
{
    constexpr int Length = CitationLayout::RecordLength;
    constexpr qint64 BlockRecords = 350;
    const unsigned char* fold = AnsiFold::foldTable();
    const auto spans = textSpans();
    const auto* phrase = reinterpret_cast<const unsigned char*>(folded.constData());
    const int n = int(folded.size());
    std::vector<unsigned char> firstBytes, lastBytes;
    for (int b = 0; b < 256; ++b) {
        if (fold[b] == phrase[0])
            firstBytes.push_back(static_cast<unsigned char>(b));
        if (fold[b] == phrase[n - 1])
            lastBytes.push_back(static_cast<unsigned char>(b));
    }
    const auto same = [&](const unsigned char* at) {
        for (int k = 0; k < n; ++k)
            if (fold[at[k]] != phrase[k])
                return false;
        return true;
    };
    const int fd = ::open(name.constData(), O_RDONLY);
    std::vector<char> buffer(BlockRecords * Length);
    int found = 0;
    for (qint64 r = first; r < last; r += BlockRecords) {
        const qint64 records = qMin(BlockRecords, last - r);
        const ssize_t got = ::pread(fd, buffer.data(), size_t(records * Length), r * Length);
        if (got <= 0)
            break;
        for (ssize_t at = 0; at + Length <= got; at += Length) {
            const auto* record = reinterpret_cast<const unsigned char*>(buffer.data() + at);
            bool hit = false;
            for (const auto& [begin, end] : spans) {
                const unsigned char* bytes = record + begin;
                const int span = end - begin;
                int i = 0;
#if defined(__SSE2__)
                const __m128i f0 = _mm_set1_epi8(char(firstBytes[0])), f1 = _mm_set1_epi8(char(firstBytes.back()));
                const __m128i l0 = _mm_set1_epi8(char(lastBytes[0])), l1 = _mm_set1_epi8(char(lastBytes.back()));
                for (; !hit && i + n - 1 + 16 <= span; i += 16) {
                    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
                    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i + n - 1));
                    unsigned mask = unsigned(_mm_movemask_epi8(
                        _mm_and_si128(_mm_or_si128(_mm_cmpeq_epi8(a, f0), _mm_cmpeq_epi8(a, f1)),
                                      _mm_or_si128(_mm_cmpeq_epi8(b, l0), _mm_cmpeq_epi8(b, l1)))));
                    for (; mask && !hit; mask &= mask - 1)
                        hit = same(bytes + i + __builtin_ctz(mask));
                }
#endif
                for (; !hit && i + n <= span; ++i)
                    hit = same(bytes + i);
                if (hit)
                    break;
            }
            found += hit ? 1 : 0;
        }
    }
    ::close(fd);
    return found;
}

// The search floor: the scan above over the two halves of the file at once.
int searchFloorOnce(const QString& fileName, const QByteArray& phrase)
{
    QByteArray folded;
    for (QChar c : QString::fromLatin1(phrase))
        folded.append(char(AnsiFold::foldedByteOf(c)));
    const QByteArray name = QFile::encodeName(fileName);
    const qint64 count = QFileInfo(fileName).size() / CitationLayout::RecordLength;
    int tail = 0;
    std::thread second([&] { tail = scanRecords(name, count / 2, count, folded); });
    const int head = scanRecords(name, 0, count / 2, folded);
    second.join();
    return head + tail;
}

void copyFlushRenameOnce(const QString& fileName)
{
    const QByteArray from = QFile::encodeName(fileName);
    const QByteArray work = from + ".floor", renamed = from + ".floor2";
    const int in = ::open(from.constData(), O_RDONLY);
    const int out = ::open(work.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char> buffer(Block);
    qint64 at = 0;
    for (;;) {
        const ssize_t got = ::pread(in, buffer.data(), Block, at);
        if (got <= 0 || ::write(out, buffer.data(), size_t(got)) != got)
            break;
        at += got;
    }
    ::fsync(out);
    ::close(out);
    ::close(in);
    ::rename(work.constData(), renamed.constData());
}

// The floor's copy goes outside the timing: removing 3 GB is no part of a
// compaction, which replaces the old file by the rename.
void removeFloorCopy(const QString& fileName)
{
    ::unlink((QFile::encodeName(fileName) + ".floor2").constData());
}

void appendFlushOnce(const QByteArray& record)
{
    const int fd = ::open("append.floor", O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (::write(fd, record.constData(), size_t(record.size())) == record.size())
        ::fsync(fd);
    ::close(fd);
}

// ---- SQLite: the same citations, the 44 searched items as text columns.

using F = CitationField;
enum class Form { Text, Date, Time, YearMonth };
struct Column {
    F field;
    Form form;
    const char* name;
};
const Column Columns[] = {
    {F::NCICNumber, Form::Text, "ncic"}, {F::CitationNumber, Form::Text, "citation"},
    {F::OffenseDate, Form::Date, "offense_date"}, {F::OffenseTime, Form::Time, "offense_time"},
    {F::OffenseDate, Form::YearMonth, "offense_month"}, {F::IssuingOfficer, Form::Text, "officer"},
    {F::OfficerID, Form::Text, "officer_id"}, {F::DateEntered, Form::Date, "date_entered"},
    {F::TimeEntered, Form::Time, "time_entered"}, {F::EnteredBy, Form::Text, "entered_by"},
    {F::ReviewedBy, Form::Text, "reviewed_by"}, {F::DefendantName, Form::Text, "defendant"},
    {F::Address, Form::Text, "address"}, {F::CityStateZip, Form::Text, "city_state_zip"},
    {F::DOB, Form::Date, "dob"}, {F::RaceSex, Form::Text, "race_sex"}, {F::Height, Form::Text, "height"},
    {F::Weight, Form::Text, "weight"}, {F::Hair, Form::Text, "hair"}, {F::Eyes, Form::Text, "eyes"},
    {F::LicenseNumber, Form::Text, "license"}, {F::LicenseState, Form::Text, "license_state"},
    {F::LicenseClass, Form::Text, "license_class"}, {F::LicenseExpiration, Form::Date, "license_expiration"},
    {F::Make, Form::Text, "make"}, {F::Model, Form::Text, "model"}, {F::Style, Form::Text, "style"},
    {F::TagNumber, Form::Text, "tag"}, {F::Color, Form::Text, "color"}, {F::TagType, Form::Text, "tag_type"},
    {F::CodeSection, Form::Text, "code_section"}, {F::Description, Form::Text, "description"},
    {F::TestResults, Form::Text, "test_results"}, {F::County, Form::Text, "county"}, {F::City, Form::Text, "city"},
    {F::OccurredOn, Form::Text, "occurred_on"}, {F::OccurredAt, Form::Text, "occurred_at"},
    {F::CourtDate, Form::Date, "court_date"}, {F::CourtName, Form::Text, "court"}, {F::Plead, Form::Text, "plead"},
    {F::Found, Form::Text, "found"}, {F::Sentence, Form::Text, "sentence"},
    {F::CourtComments, Form::Text, "court_comments"}, {F::Notes, Form::Text, "notes"},
};
constexpr int ColumnCount = int(sizeof Columns / sizeof Columns[0]);
static_assert(ColumnCount == 44);

QString columnText(const char* record, const Column& c)
{
    switch (c.form) {
    case Form::Text: return CitationBytes::text(record, c.field);
    case Form::Date: return ListDateText::date(CitationBytes::date(record, c.field));
    case Form::Time: return ListDateText::time(CitationBytes::date(record, c.field));
    case Form::YearMonth: return ListDateText::yearMonth(CitationBytes::date(record, c.field));
    }
    return QString();
}

void exec(sqlite3* db, const QString& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "sqlite: %s\n", error);
        sqlite3_free(error);
    }
}

sqlite3_stmt* prepare(sqlite3* db, const QString& sql)
{
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &s, nullptr) != SQLITE_OK)
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    return s;
}

void bindRecord(sqlite3_stmt* s, const char* record)
{
    for (int c = 0; c < ColumnCount; ++c)
        sqlite3_bind_text(s, c + 1, columnText(record, Columns[c]).toUtf8().constData(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(s, ColumnCount + 1,
                      ListDateText::dateKey(CitationBytes::date(record, F::OffenseDate)).toUtf8().constData(), -1,
                      SQLITE_TRANSIENT);
}

QString insertSql()
{
    QStringList names, marks;
    for (const Column& c : Columns) {
        names << QString::fromLatin1(c.name);
        marks << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO citations(%1, date_sort) VALUES(%2, ?)")
        .arg(names.join(u','), marks.join(u','));
}

// The database tuned as well as SQLite allows: write-ahead log with full
// syncs, the file mapped, a 128 MB cache, and covering indexes, so the list
// in each order is read from an index alone.
void tune(sqlite3* db)
{
    exec(db, QStringLiteral("PRAGMA journal_mode=WAL"));
    exec(db, QStringLiteral("PRAGMA synchronous=FULL"));
    exec(db, QStringLiteral("PRAGMA mmap_size=17179869184"));
    exec(db, QStringLiteral("PRAGMA cache_size=-131072"));
}

qint64 databaseBytes() { return QFileInfo(QStringLiteral("bench.sqlite")).size() + QFileInfo(QStringLiteral("bench.sqlite-wal")).size(); }

// The list's cells in one order, for a covering index.
const char* const ListColumns = "offense_date, citation, code_section, occurred_on, occurred_at";

struct FtsIndex {
    double buildSeconds = 0;
    qint64 bytes = 0;
};

sqlite3* buildDatabase(const QString& dataFile, FtsIndex& fts)
{
    QFile::remove(QStringLiteral("bench.sqlite"));
    sqlite3* db = nullptr;
    sqlite3_open("bench.sqlite", &db);
    tune(db);
    QStringList columns;
    for (const Column& c : Columns)
        columns << QString::fromLatin1(c.name) + QStringLiteral(" TEXT");
    exec(db, QStringLiteral("CREATE TABLE citations(id INTEGER PRIMARY KEY, %1, date_sort TEXT)").arg(columns.join(u',')));
    exec(db, QStringLiteral("BEGIN"));
    sqlite3_stmt* insert = prepare(db, insertSql());
    CitationFileView view(dataFile);
    view.open();
    for (int n = 1; n <= view.count(); ++n) {
        bindRecord(insert, view.record(n));
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    exec(db, QStringLiteral("COMMIT"));
    const QString list = QString::fromLatin1(ListColumns);
    exec(db, QStringLiteral("CREATE INDEX by_date ON citations(date_sort, id, %1)").arg(list));
    exec(db, QStringLiteral("CREATE INDEX by_citation ON citations(citation COLLATE NOCASE, id, %1)").arg(list));
    exec(db, QStringLiteral("CREATE INDEX by_code ON citations(code_section COLLATE NOCASE, id, %1)").arg(list));
    exec(db, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));

    // SQLite's own search: a trigram index over the same 44 columns.
    const qint64 before = databaseBytes();
    QElapsedTimer t;
    t.start();
    QStringList names;
    for (const Column& c : Columns)
        names << QString::fromLatin1(c.name);
    exec(db, QStringLiteral("CREATE VIRTUAL TABLE fts USING fts5(%1, content='citations', content_rowid='id', "
                            "tokenize='trigram')")
                 .arg(names.join(u',')));
    exec(db, QStringLiteral("INSERT INTO fts(fts) VALUES('rebuild')"));
    exec(db, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    fts.buildSeconds = t.nsecsElapsed() / 1e9;
    fts.bytes = databaseBytes() - before;
    exec(db, QStringLiteral("ANALYZE"));
    return db;
}

int stepAll(sqlite3_stmt* s)
{
    int rows = 0;
    while (sqlite3_step(s) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(s); ++c)
            sqlite3_column_text(s, c);
        ++rows;
    }
    sqlite3_reset(s);
    return rows;
}

// ---- The table

struct Line {
    QString operation;
    Stat sennet;
    double floor = -1; // median, ms; -1: none
    double sqlite = -1;
    double fts = -1; // SQLite's trigram index, searches only
};

QString ms(double v)
{
    if (v < 0)
        return QStringLiteral("–");
    if (v < 1)
        return QString::number(v, 'f', 2) + QStringLiteral(" ms");
    if (v < 1000)
        return QString::number(v, 'f', 1) + QStringLiteral(" ms");
    return QString::number(v / 1000, 'f', 2) + QStringLiteral(" s");
}

QString ratio(double a, double b) { return b > 0 ? QString::number(a / b, 'f', 2) + QStringLiteral(" ×") : QStringLiteral("–"); }

void selectRecord(frmMain& w, int recNum)
{
    w.SelectRow(w.listModel->rowOfRecord(recNum), false);
}

// ---- The folder's medians, for the server's table beside them

const QString FiguresFile = QStringLiteral("folder-figures.tsv");

void writeFolderFigures(const QList<QPair<QString, double>>& figures)
{
    QFile f(FiguresFile);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    QTextStream out(&f);
    for (const auto& [key, value] : figures)
        out << key << '\t' << QString::number(value, 'g', 10) << '\n';
}

QMap<QString, double> readFolderFigures()
{
    QMap<QString, double> figures;
    QFile f(FiguresFile);
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray& line : f.readAll().split('\n'))
            if (const QList<QByteArray> parts = line.split('\t'); parts.size() == 2)
                figures.insert(QString::fromUtf8(parts[0]), parts[1].toDouble());
    return figures;
}

// ---- The server: the same citations in PostgreSQL

struct ServerLine {
    QString operation;
    Stat server;
    QString folderKey;
};

// The size of a database's files, as the server counts them.
double databaseMegabytes(const QString& url)
{
    PgConnection pg;
    QString reason;
    PgResult r;
    if (!pg.open(url, QString(), reason) || !pg.exec("SELECT pg_database_size(current_database())", {}, r, reason))
        return -1;
    return double(r.int8(0, 0)) / 1e6;
}

// The indexes the server's plans for a search take, as EXPLAIN names them.
QString indexesOfPlans(const QString& url, const SearchSettings& search)
{
    PgConnection pg;
    QString reason;
    if (!pg.open(url, QString(), reason))
        return reason;
    QStringList out;
    for (const ServerStatement& statement : ServerSearchStatements(search)) {
        PgResult r;
        bool ok = pg.exec("BEGIN", reason);
        for (const QByteArray& setting : statement.settings)
            ok = ok && pg.exec(setting.constData(), reason);
        ok = ok && pg.exec("EXPLAIN " + statement.sql, statement.values, r, reason);
        pg.rollback();
        if (!ok)
            return reason;
        QStringList scans;
        for (int i = 0; i < r.rows(); ++i) {
            const QString line = r.text(i, 0);
            if (line.contains(QLatin1String("Seq Scan")))
                scans << QStringLiteral("the whole table");
            // "Index Scan using <index> on citations", "Bitmap Index Scan on <index>"
            for (const QLatin1String marker : {QLatin1String(" using "), QLatin1String("Bitmap Index Scan on ")})
                if (const qsizetype at = line.indexOf(marker); at >= 0)
                    scans << line.mid(at + marker.size()).section(u' ', 0, 0);
        }
        out << scans.join(QStringLiteral(", "));
    }
    return out.join(QStringLiteral("; then "));
}

int serverBench(int n)
{
    // Durable, as an agency's server runs, and its cache a quarter of the
    // machine's memory, as PostgreSQL's own tuning advice has it (4 GB of
    // the benchmark machine's 23 GB): a million citations' table, list
    // columns and search indexes then stay in it.
    PgCluster cluster(PgCluster::Durability::Durable,
                      QStringLiteral("shared_buffers = 4GB\nwork_mem = 64MB\nmaintenance_work_mem = 512MB\n"
                                     "max_wal_size = 8GB\n"));
    if (!cluster.available()) {
        std::fprintf(stderr, "no PostgreSQL for the benchmark: %s\n", qPrintable(cluster.problem()));
        return 1;
    }
    QString url, problem;
    std::unique_ptr<Storage> storage = makeServerStorage(cluster, &url, &problem);
    if (!storage) {
        std::fprintf(stderr, "the benchmark's database could not be made: %s\n", qPrintable(problem));
        return 1;
    }
    CitationStore& citations = storage->citations();
    const auto check = [](const FileError& error) {
        if (error.isError())
            std::fprintf(stderr, "server: %s\n", qPrintable(error.message()));
    };

    // The folder's citations, made again from the same seed, added in
    // batches so that the client never holds them all.
    QElapsedTimer made;
    made.start();
    {
        QRandomGenerator rng(1);
        constexpr int Batch = 20000;
        for (int first = 1; first <= n; first += Batch) {
            std::vector<CitationRecord> batch;
            for (int i = first; i < first + Batch && i <= n; ++i)
                batch.push_back(bench::makeCitation(i, rng));
            FileError error;
            CitationKey key = 0;
            if (!citations.addAll(batch, key, error)) {
                check(error);
                return 1;
            }
        }
    }
    const double loadSeconds = made.nsecsElapsed() / 1e9;
    made.restart();
    {
        // What autovacuum does after a large load, at once.
        PgConnection pg;
        QString reason;
        if (!pg.open(url, QString(), reason) || !pg.exec("VACUUM ANALYZE citations", reason))
            std::fprintf(stderr, "server: VACUUM: %s\n", qPrintable(reason));
    }
    const double vacuumSeconds = made.nsecsElapsed() / 1e9;
    std::fprintf(stderr, "%d citations added to the server in %.1f s, vacuumed in %.1f s\n", n, loadSeconds,
                 vacuumSeconds);

    QList<ServerLine> lines;
    CitationListModel model;
    FileError error;
    const auto open = [&](const SearchSettings* search) {
        model.setRows(citations.listRows(search, error));
        model.sortByColumn(ListColumn::DateSort);
    };
    open(nullptr); // warm the server's cache
    check(error);

    // The load's buffers go back to the system first: the peak is the list's.
    malloc_trim(0);
    resetPeakMemory();
    const Stat load = timeRuns([&] { open(nullptr); });
    check(error);
    const long peakKib = kibFromStatus("VmHWM:");
    lines.append({QStringLiteral("open the list (listRows, fill, date sort; %1 rows)").arg(model.rowCount()), load,
                  QStringLiteral("open")});

    const char* const sortNames[3] = {"Date", "Citation#", "Offense"};
    const int sortColumns[3] = {ListColumn::DateSort, ListColumn::CitationNumber, ListColumn::Offense};
    for (int i : {1, 2, 0})
        lines.append({QStringLiteral("re-sort by %1").arg(QLatin1String(sortNames[i])),
                      timeRuns([&] { model.sortByColumn(sortColumns[i]); }),
                      QStringLiteral("sort %1").arg(QLatin1String(sortNames[i]))});

    struct Search {
        const char* label;
        const char* phrase;
        bool wholeWord;
    };
    const Search searches[] = {{"rare", "RADAR Stopped", false}, {"common", "Hanover", false}, {"whole-word", "cat", true}};
    QStringList plans;
    for (const Search& s : searches) {
        const SearchSettings settings{QString::fromLatin1(s.phrase), 1, 1, qint16(s.wholeWord ? 1 : 0)};
        plans << QStringLiteral("\"%1\" %2").arg(QLatin1String(s.phrase), indexesOfPlans(url, settings));
        const Stat t = timeRuns([&] { open(&settings); });
        check(error);
        lines.append({QStringLiteral("search \"%1\" (%2%3; %4 found)")
                          .arg(QLatin1String(s.phrase), QLatin1String(s.label),
                               s.wholeWord ? QStringLiteral(", whole words") : QString())
                          .arg(model.rowCount()),
                      t, QStringLiteral("search %1").arg(QLatin1String(s.label))});
    }
    open(nullptr);

    // Saves as the window makes them: the store's add or save, then the
    // list's one-row change.
    int added = 0;
    CitationRecord record;
    QRandomGenerator rng(2);
    const Stat saveNew = timeRuns(
        [&] {
            CitationKey key = 0;
            if (citations.add(record, key, error))
                model.insertRecord(record.bytes().constData(), key, false);
        },
        [&] {
            record = bench::makeCitation(n + ++added, rng);
            record.setText(CitationField::CitationNumber, QStringLiteral("B%1").arg(added));
        });
    check(error);
    lines.append({QStringLiteral("save a new citation"), saveNew, QStringLiteral("save new")});

    // The window knows the row it edits (its selection), as the folder's
    // run selects it before the timing.
    int edits = 0, editRow = -1;
    const Stat saveEdit = timeRuns(
        [&] {
            if (citations.save(3, record, error))
                model.updateRecord(editRow, record.bytes().constData(), false);
        },
        [&] {
            editRow = model.rowOfRecord(3);
            citations.read(3, record, error);
            record.setText(CitationField::OccurredAt, QStringLiteral("MM %1").arg(++edits));
        });
    check(error);
    lines.append({QStringLiteral("save an edited citation"), saveEdit, QStringLiteral("save edit")});

    // Deletes near the start: the row goes, no other row moves.
    int victim = 1;
    const Stat del = timeRuns([&] { citations.remove(++victim, error); });
    check(error);
    lines.append({QStringLiteral("delete a citation near the start"), del, QStringLiteral("delete")});
    const long peakAllKib = kibFromStatus("VmHWM:");

    const QMap<QString, double> folder = readFolderFigures();
    std::printf("\n### %d citations on a local PostgreSQL server, %d runs each, warm cache\n\n", n, Runs);
    std::printf("| operation | server min | server median | folder median | × folder |\n");
    std::printf("|---|---|---|---|---|\n");
    for (const ServerLine& l : lines) {
        const double f = folder.value(l.folderKey, -1);
        std::printf("| %s | %s | %s | %s | %s |\n", qPrintable(l.operation), qPrintable(ms(l.server.min)),
                    qPrintable(ms(l.server.median)), qPrintable(ms(f)), qPrintable(ratio(l.server.median, f)));
    }
    const double folderPeak = folder.value(QStringLiteral("peak"), -1);
    std::printf("| peak client memory with the list loaded | %.0f MB | (after every operation: %.0f MB) | %s | – |\n",
                peakKib / 1024.0, peakAllKib / 1024.0,
                folderPeak < 0 ? "–" : qPrintable(QStringLiteral("%1 MB").arg(folderPeak, 0, 'f', 0)));
    PgConnection pg;
    QString reason;
    PgResult version;
    pg.open(url, QString(), reason);
    pg.exec("SHOW server_version", {}, version, reason);
    std::printf("\nServer: PostgreSQL %s in a cluster of its own, reached over its Unix socket; fsync, "
                "full_page_writes and synchronous_commit on, shared_buffers 4 GB. The citations were added in "
                "batches of 20,000 through the store's bulk add in %.1f s and vacuumed (as autovacuum would) in "
                "%.1f s; the database takes %.0f MB. Each figure is the program's own path through the storage: "
                "the list is listRows, the list model's fill and its date sort; a search is listRows with the "
                "search in the broadest scope, then the same; a save is the store's add or save and the list's "
                "one-row change; a delete is the store's delete (a server does not compact). The folder's medians "
                "are from the run above. The searches' plans (EXPLAIN) take these indexes: %s.\n",
                version.rows() ? version.data(0, 0) : "?", loadSeconds, vacuumSeconds, databaseMegabytes(url),
                qPrintable(plans.join(QStringLiteral("; "))));
    std::fflush(stdout);
    return 0;
}

} // namespace

// The figures that change most with the list's code, without the SQLite
// database that takes minutes to build at a million citations.
int quickBench(frmMain& w, long peakKib)
{
    const std::vector<Stat> open = timeInTurns(
        {[&] { w.LoadCitationList(); }, [&] { w.LoadCitationList(); }, [&] { readFloorOnce(CitationFileName); }},
        forgetListFile);
    const Stat& afterChange = open[0];
    const Stat& load = open[1];
    const Stat& readFloor = open[2];
    std::printf("open the list: min %s, median %s; floor %s (%s)\n", qPrintable(ms(load.min)), qPrintable(ms(load.median)),
                qPrintable(ms(readFloor.median)), qPrintable(ratio(load.median, readFloor.median)));
    std::printf("open the list after a change: min %s, median %s (%s)\n", qPrintable(ms(afterChange.min)),
                qPrintable(ms(afterChange.median)), qPrintable(ratio(afterChange.median, readFloor.median)));
    int added = 0;
    const Stat saveNew = timeRuns([&] { w.SaveCitation(); }, [&] {
        w.StartAdd();
        w.txtField[2]->setText(QStringLiteral("B%1").arg(++added));
        w.txtField[3]->setText(QStringLiteral("3/5/2015"));
        w.txtField[32]->setText(QStringLiteral("46.2-862"));
        w.txtField[39]->setText(QStringLiteral("Rt 1 NB"));
    });
    int edits = 0;
    const Stat saveEdit = timeRuns([&] { w.SaveCitation(); }, [&] {
        selectRecord(w, 3);
        w.StartEdit();
        w.txtField[40]->setText(QStringLiteral("MM %1").arg(++edits));
    });
    const QByteArray oneRecord = bench::makeCitation(1, *QRandomGenerator::global()).bytes();
    QFile::remove(QStringLiteral("append.floor"));
    const Stat appendFloor = timeRuns([&] { appendFlushOnce(oneRecord); });
    QFile::remove(QStringLiteral("append.floor"));
    std::printf("save new: min %s, median %s; edit: min %s, median %s; append + fsync %s\n", qPrintable(ms(saveNew.min)),
                qPrintable(ms(saveNew.median)), qPrintable(ms(saveEdit.min)), qPrintable(ms(saveEdit.median)),
                qPrintable(ms(appendFloor.median)));
    std::printf("peak memory with the list loaded: %.0f MB\n", peakKib / 1024.0);
    return 0;
}

int main(int argc, char** argv)
{
    CitationListFile::setWriting(true); // as the program does
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int n = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    if (argc > 2)
        Runs = qMax(5, QString::fromLocal8Bit(argv[2]).toInt());
    if (argc > 3 && qstrcmp(argv[3], "--server") == 0)
        return serverBench(n);
    InitialiseProcessState();
    SetFadeFlag(false);
    AnsweringMessages messages;
    setMessageService(&messages);
    CurrentUserName = QStringLiteral("Bench User");
    CurrentAccessLevel = 4;

    QElapsedTimer made;
    made.start();
    // A quick run may time again the file an earlier quick run left.
    const bool quick = argc > 3 && qstrcmp(argv[3], "--quick") == 0;
    if (!quick || !QFileInfo::exists(CitationFileName))
        bench::writeCitations(CitationFileName, n);
    std::fprintf(stderr, "%d citations written in %.1f s\n", n, made.nsecsElapsed() / 1e9);
    readFloorOnce(CitationFileName); // warm the cache

    QList<Line> lines;

    // Opening the window loads the list once; its peak memory is noted.
    resetPeakMemory();
    auto* w = new frmMain;
    w->show();
    QCoreApplication::processEvents();
    const long peakKib = kibFromStatus("VmHWM:");
    const long rssKib = kibFromStatus("VmRSS:");

    if (quick)
        return quickBench(*w, peakKib);

    // The database only now, so that its cache and mapped pages are not
    // counted in the list's memory.
    made.restart();
    FtsIndex fts;
    sqlite3* db = buildDatabase(CitationFileName, fts);
    std::fprintf(stderr, "SQLite database built in %.1f s (of which the FTS5 index %.1f s)\n", made.nsecsElapsed() / 1e9,
                 fts.buildSeconds);
    // The gigabytes just written for the database go out to the disk before
    // anything is timed, so that neither side pays for them.
    ::sync();
    readFloorOnce(CitationFileName);

    sqlite3_stmt* byDate = prepare(db, QStringLiteral("SELECT offense_date, citation, code_section, occurred_on || ' / ' "
                                                      "|| occurred_at, id FROM citations INDEXED BY by_date "
                                                      "ORDER BY date_sort, id"));
    // The list after a change (its list file gone: the data file read and
    // the list file made again), the list from its list file, the floor and
    // SQLite's list query in turns.
    const std::vector<Stat> open = timeInTurns({[&] { w->LoadCitationList(); }, [&] { w->LoadCitationList(); },
                                                [&] { readFloorOnce(CitationFileName); }, [&] { stepAll(byDate); }},
                                               forgetListFile);
    lines.append({QStringLiteral("open the list (from the list file: read, check, fill, date sort)"), open[1],
                  open[2].median, open[3].median});
    lines.append({QStringLiteral("open the list after a change (from the data file: read, decode, fill, date sort; "
                                 "list file made)"),
                  open[0], open[2].median, open[3].median});

    const char* const sortNames[3] = {"Date", "Citation#", "Offense"};
    const char* const sortSql[3] = {"date_sort, id", "citation COLLATE NOCASE, id", "code_section COLLATE NOCASE, id"};
    const char* const sortIndex[3] = {"by_date", "by_citation", "by_code"};
    for (int i : {1, 2, 0}) {
        sqlite3_stmt* sorted = prepare(db, QStringLiteral("SELECT offense_date, citation, code_section, occurred_on "
                                                          "|| ' / ' || occurred_at, id FROM citations INDEXED BY %2 "
                                                          "ORDER BY %1")
                                               .arg(QLatin1String(sortSql[i]), QLatin1String(sortIndex[i])));
        const Stat s = timeRuns([&] { w->optSort_Click(i); }, [&] { w->optSort[size_t(i)]->setChecked(true); });
        lines.append({QStringLiteral("re-sort by %1").arg(QLatin1String(sortNames[i])), s, -1,
                      timeRuns([&] { stepAll(sorted); }).median});
        sqlite3_finalize(sorted);
    }
    w->optSort[0]->setChecked(true);

    struct Search {
        const char* label;
        const char* phrase;
        bool wholeWord;
    };
    const Search searches[] = {{"rare", "RADAR Stopped", false}, {"common", "Hanover", false}, {"whole-word", "cat", true}};
    QStringList likes;
    for (const Column& c : Columns)
        likes << QString::fromLatin1(c.name) + QStringLiteral(" LIKE ?1");
    sqlite3_stmt* match = prepare(db, QStringLiteral("SELECT c.id FROM fts JOIN citations c ON c.id = fts.rowid "
                                                     "WHERE fts MATCH ?1 ORDER BY c.date_sort, c.id"));
    sqlite3_stmt* like = prepare(db, QStringLiteral("SELECT id FROM citations WHERE %1 ORDER BY date_sort, id").arg(likes.join(QStringLiteral(" OR "))));
    for (const Search& s : searches) {
        SearchSettings& settings = searchSettings();
        settings.phrase = QString::fromLatin1(s.phrase);
        settings.scope = 1;
        settings.ignoreCase = 1;
        settings.wholeWord = s.wholeWord ? 1 : 0;
        int floorFound = 0;
        const auto [t, floor] = timePaired([&] { w->LoadCitationList(); },
                                           [&] { floorFound = searchFloorOnce(CitationFileName, s.phrase); },
                                           [&] {
                                               w->FullListMode = frmMain::FlagOff;
                                               w->SubListMode = frmMain::FlagOn;
                                           });
        const int found = w->CitationsInList();
        const QByteArray pattern = QByteArray("%") + s.phrase + "%";
        sqlite3_bind_text(like, 1, pattern.constData(), -1, SQLITE_TRANSIENT);
        int sqlFound = 0;
        const Stat sql = timeRuns([&] { sqlFound = stepAll(like); });
        const QByteArray quoted = QByteArray("\"") + s.phrase + "\"";
        sqlite3_bind_text(match, 1, quoted.constData(), -1, SQLITE_TRANSIENT);
        int ftsFound = 0;
        const Stat ftsTime = timeRuns([&] { ftsFound = stepAll(match); });
        lines.append({QStringLiteral("search \"%1\" (%2%3; %4 found, floor %5, SQLite LIKE %6, FTS5 %7)")
                          .arg(QLatin1String(s.phrase), QLatin1String(s.label),
                               s.wholeWord ? QStringLiteral(", whole words") : QString())
                          .arg(found)
                          .arg(floorFound)
                          .arg(sqlFound)
                          .arg(ftsFound),
                      t, floor.median, sql.median, ftsTime.median});
    }
    sqlite3_finalize(like);
    sqlite3_finalize(match);
    w->SubListMode = frmMain::FlagOff;
    w->FullListMode = frmMain::FlagOn;
    w->LoadCitationList();

    // Saves through the window: a new citation, then an edit of an early one.
    // The disk settles again first: on this file system a flush waits for
    // the data written before it.
    ::sync();
    int added = 0;
    const auto fill = [&] {
        w->StartAdd();
        w->txtField[2]->setText(QStringLiteral("B%1").arg(++added));
        w->txtField[3]->setText(QStringLiteral("3/5/2015"));
        w->txtField[32]->setText(QStringLiteral("46.2-862"));
        w->txtField[39]->setText(QStringLiteral("Rt 1 NB"));
    };
    const QByteArray oneRecord = bench::makeCitation(1, *QRandomGenerator::global()).bytes();
    const Stat saveNew = timeRuns([&] { w->SaveCitation(); }, fill);
    QFile::remove(QStringLiteral("append.floor"));
    const Stat appendFloor = timeRuns([&] { appendFlushOnce(oneRecord); });
    QFile::remove(QStringLiteral("append.floor"));
    sqlite3_stmt* insert = prepare(db, insertSql());
    const Stat sqlInsert = timeRuns([&] {
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }, [&] { bindRecord(insert, oneRecord.constData()); });
    sqlite3_finalize(insert);
    lines.append({QStringLiteral("save a new citation"), saveNew, appendFloor.median, sqlInsert.median});

    int edits = 0;
    const Stat saveEdit = timeRuns([&] { w->SaveCitation(); }, [&] {
        selectRecord(*w, 3);
        w->StartEdit();
        w->txtField[40]->setText(QStringLiteral("MM %1").arg(++edits));
    });
    sqlite3_stmt* update = prepare(db, QStringLiteral("UPDATE citations SET occurred_at = ?1 WHERE id = 3"));
    const Stat sqlUpdate = timeRuns([&] {
        sqlite3_step(update);
        sqlite3_reset(update);
    }, [&] { sqlite3_bind_text(update, 1, QByteArray("MM ").append(QByteArray::number(++edits)).constData(), -1, SQLITE_TRANSIENT); });
    sqlite3_finalize(update);
    lines.append({QStringLiteral("save an edited citation"), saveEdit, appendFloor.median, sqlUpdate.median});

    // Deletes of a citation near the start.
    const auto [del, delFloor] = timePaired([&] { w->cmdDeleteEntry_Click(); },
                                            [&] { copyFlushRenameOnce(CitationFileName); }, [&] {
                                                removeFloorCopy(CitationFileName);
                                                selectRecord(*w, 2);
                                            });
    int victim = 1;
    sqlite3_stmt* remove = prepare(db, QStringLiteral("DELETE FROM citations WHERE id = ?1"));
    const Stat sqlDelete = timeRuns([&] {
        sqlite3_step(remove);
        sqlite3_reset(remove);
    }, [&] { sqlite3_bind_int(remove, 1, ++victim); });
    sqlite3_finalize(remove);
    lines.append({QStringLiteral("delete a citation near the start"), del, delFloor.median, sqlDelete.median});
    // The same compaction through the store alone, without the window's part.
    const auto [compact, compactFloor] = timePaired([&] { CitationFile().DeleteCitation(2); },
                                                    [&] { copyFlushRenameOnce(CitationFileName); },
                                                    [&] { removeFloorCopy(CitationFileName); });
    removeFloorCopy(CitationFileName);
    lines.append({QStringLiteral("(of which the store's compaction)"), compact, compactFloor.median, -1});

    // The server's tables set these beside their own, by name.
    const auto median = [&](const char* operation) {
        for (const Line& l : lines)
            if (l.operation.startsWith(QLatin1String(operation)))
                return l.sennet.median;
        return -1.0;
    };
    writeFolderFigures({{QStringLiteral("open"), median("open the list (from the list file")},
                        {QStringLiteral("sort Citation#"), median("re-sort by Citation#")},
                        {QStringLiteral("sort Offense"), median("re-sort by Offense")},
                        {QStringLiteral("sort Date"), median("re-sort by Date")},
                        {QStringLiteral("search rare"), median("search \"RADAR")},
                        {QStringLiteral("search common"), median("search \"Hanover")},
                        {QStringLiteral("search whole-word"), median("search \"cat")},
                        {QStringLiteral("save new"), median("save a new")},
                        {QStringLiteral("save edit"), median("save an edited")},
                        {QStringLiteral("delete"), median("delete a citation")},
                        {QStringLiteral("peak"), peakKib / 1024.0}});
    std::printf("\n### %d citations (%.0f MB data file), %d runs each, warm cache\n\n", n, n * 3000.0 / 1e6, Runs);
    std::printf("| operation | Sennet min | Sennet median | floor | × floor | SQLite | × SQLite | SQLite FTS5 |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    for (const Line& l : lines)
        std::printf("| %s | %s | %s | %s | %s | %s | %s | %s |\n", qPrintable(l.operation), qPrintable(ms(l.sennet.min)),
                    qPrintable(ms(l.sennet.median)), qPrintable(ms(l.floor)), qPrintable(ratio(l.sennet.median, l.floor)),
                    qPrintable(ms(l.sqlite)), qPrintable(ratio(l.sennet.median, l.sqlite)), qPrintable(ms(l.fts)));
    std::printf("| peak memory with the list loaded | %.0f MB | (resident after: %.0f MB) | – | – | – | – | – |\n",
                peakKib / 1024.0, rssKib / 1024.0);
    std::printf("\nFloor: the file read once in 1 MiB blocks by two threads, a half each (list); an SSE2 scan of every "
                "record's text fields for the case-folded phrase on two threads (search); appending one record + "
                "fsync (save); copy + fsync + rename of the file, its removal not timed (delete). SQLite: the same "
                "citations as 44 text columns in WAL mode, synchronous=FULL, mmap, a 128 MB cache, a covering index "
                "for each list order, prepared statements; the ordered list query, LIKE over the 44 columns (no "
                "whole-word form), a one-row insert, update and delete. FTS5: a trigram index over the same columns "
                "(built in %.1f s, %.0f MB), the phrase as a substring query joined back for the date order.\n",
                fts.buildSeconds, fts.bytes / 1e6);
    if (messages.shown)
        std::printf("\n%d unexpected message boxes (see the error output).\n", messages.shown);
    delete w;
    sqlite3_close(db);
    std::fflush(stdout);
    return 0;
}
