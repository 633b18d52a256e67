#include "server/ServerStorage.h"

#include "server/PgConnection.h"
#include "storage/AuditStore.h"
#include "server/ServerSchema.h"
#include "session/Utilities.h"
#include "store/AnsiText.h"
#include "store/CitationNumberIndex.h"
#include "store/SearchMatch.h"

#include <QCryptographicHash>
#include <QLocale>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

namespace {

using ServerSchema::Columns;
using F = CitationField;

constexpr int FetchRows = 5000;
// Rows sent by one COPY statement: each statement ends well within the
// statement timeout, however many rows a transaction adds.
constexpr int CopyRows = 5000;
const char* const ReadSnapshot = "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY";
// A search's indexes mark the rows found in a bitmap of the table's pages.
// In the server's default 4 MB a bitmap of more than some 200,000 citations
// forgets which rows of a page were found and the texts of every row of
// those pages are matched again (three times as long at 100,000); a search
// may take enough memory for the rows of some five million citations, as
// it needs.
const char* const SearchMemory = "SET LOCAL work_mem TO '128MB'";

bool& toolConnections()
{
    static bool tool = false;
    return tool;
}

// The connection and who acts, shared by the stores of one storage.
class Session {
public:
    PgConnection pg;
    StoreActor actor;

    // Runs `work` on a connection that is up; on failure `error` gets the
    // sentence "<what> (server "h", database "d"): <reason>." and an open
    // transaction is rolled back.
    template <typename Work>
    bool run(const char* what, FileError& error, Work&& work)
    {
        const StoreWait waiting;
        QString reason;
        if (!pg.ready(reason)) {
            error.text = QStringLiteral("%1 (%2): the server could not be reached: %3.")
                             .arg(QLatin1String(what), pg.place(), reason);
            return false;
        }
        if (work(reason))
            return true;
        pg.rollback();
        error.text = QStringLiteral("%1 (%2): %3.").arg(QLatin1String(what), pg.place(), reason);
        return false;
    }

    // Runs `sql` through a cursor inside the open transaction and hands
    // its rows to `batch` a few thousand at a time, until it returns false.
    template <typename Batch>
    bool fetch(const QByteArray& sql, const std::vector<PgValue>& values, QString& reason, Batch&& batch)
    {
        PgResult r;
        if (!pg.exec("DECLARE sennet_rows NO SCROLL CURSOR FOR " + sql, values, r, reason))
            return false;
        // The next rows are asked for before these are taken, so that the
        // server and this desk work at the same time.
        const QByteArray next = "FETCH FORWARD " + QByteArray::number(FetchRows) + " FROM sennet_rows";
        return pg.execAhead(next.constData(), 2, batch, reason) && pg.exec("CLOSE sennet_rows", reason);
    }

    PgValue actorName() const { return PgValue::text(actor.userName); }
    PgValue desk() const { return PgValue::text(actor.desk); }

    // The audit entry of the change about to be made, recorded by
    // recordAudit() before the change: the change takes it and writes it in
    // its own transaction, so that neither is kept without the other.
    std::optional<AuditEntry> pending;

    // The pending entry when it records `action` (a change consumes only its
    // own kind), taken out; none otherwise.
    std::optional<AuditEntry> takePending(AuditAction action)
    {
        if (!pending || pending->action != action)
            return std::nullopt;
        std::optional<AuditEntry> entry = std::move(pending);
        pending.reset();
        return entry;
    }

    // Adds `entry` at the end of the trail inside the open transaction: the
    // chain's head is read under a row lock, so a second desk writing at the
    // same moment waits and then chains onto this entry.
    bool insertAudit(AuditEntry& entry, QString& reason)
    {
        PgResult r;
        if (!pg.execPrepared("audit_head", "SELECT entries, last_hash FROM audit_chain FOR UPDATE", {}, r, reason))
            return false;
        if (r.rows() != 1) {
            reason = QStringLiteral("the audit trail's head is missing");
            return false;
        }
        entry.number = r.int8(0, 0) + 1;
        entry.previousHash = r.bytes(0, 1);
        const QByteArray line = AuditLine::encode(entry, entry.previousHash);
        entry.hash = AuditLine::parse(line).entry.hash;
        const QDateTime utc = entry.time.toUTC();
        const qint64 micros = QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC).msecsTo(utc) * 1000;
        return pg.execPrepared("audit_add",
                               "INSERT INTO audit (entry, utc, local_day, user_key, action, citation_key, line, hash) "
                               "VALUES ($1, $2, $3, $4, $5, $6, $7, $8)",
                               {PgValue::int8(entry.number), PgValue::timestamp(micros),
                                PgValue::int4(qint32(entry.time.date().toJulianDay())),
                                PgValue::text(AuditLine::foldKey(entry.user)),
                                PgValue::text(auditActionName(entry.action)),
                                PgValue::text(AuditLine::foldKey(entry.citation)),
                                PgValue::text(QString::fromUtf8(line)),
                                PgValue::text(QString::fromLatin1(entry.hash))},
                               r, reason)
            && pg.execPrepared("audit_move_head", "UPDATE audit_chain SET entries = $1, last_hash = $2",
                               {PgValue::int8(entry.number), PgValue::text(QString::fromLatin1(entry.hash))}, r,
                               reason);
    }

    // Runs `change` with its audit entry, when there is one, in one
    // transaction: the entry first, then the change, then the commit.
    template <typename Change>
    bool audited(std::optional<AuditEntry>& entry, QString& reason, Change&& change)
    {
        if (!entry)
            return change(reason);
        return pg.exec("BEGIN", reason) && insertAudit(*entry, reason) && change(reason)
            && pg.exec("COMMIT", reason);
    }
};

QByteArray placeholders(int from, int count)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += (i ? ", $" : "$") + QByteArray::number(from + i);
    return out;
}

// Adds the list row of result row `row`, whose list columns follow its id,
// as ReadRecord and CitationRows::append(record) together would, without a
// record between: a raw twin wins, and a text of plain ASCII is already
// its Windows-1252 bytes.
void appendListRow(CitationRows& rows, const PgResult& r, int row, bool withTime)
{
    const Columns& columns = ServerSchema::ListColumns();
    QByteArrayView texts[4];
    QByteArray encoded[4];
    double dates[2] = {0, 0};
    int t = 0, d = 0, at = 1;
    for (const ServerSchema::Column& c : columns) {
        const int typed = at++;
        const int raw = at++;
        const bool useRaw = !r.isNull(row, raw) && r.length(row, raw) == c.width;
        if (c.type == FieldType::Text) {
            QByteArrayView text;
            if (useRaw) {
                text = QByteArrayView(r.data(row, raw), c.width);
            } else if (!r.isNull(row, typed)) {
                text = QByteArrayView(r.data(row, typed), r.length(row, typed));
                if (std::any_of(text.begin(), text.end(), [](char b) { return b & 0x80; })) {
                    encoded[t] = Ansi::encode(QString::fromUtf8(text)).left(c.width);
                    text = encoded[t];
                }
            }
            texts[t++] = text;
        } else {
            dates[d++] = useRaw             ? qFromLittleEndian<double>(r.data(row, raw))
                : r.isNull(row, typed) ? 0.0
                                       : ServerSchema::DateValueOf(r.int8(row, typed));
        }
    }
    rows.append(texts, dates[0], dates[1], r.int4(row, 0), withTime);
}

QString numberKey(const char* record)
{
    return CitationNumberIndex::normalised(CitationBytes::text(record, F::CitationNumber));
}

// What a citation row says of its version, read beside its fields.
const QByteArray StampColumns = "row_version, coalesce(changed_by, created_by), desk, coalesce(changed_at, created_at)";

RowStamp stampOf(const PgResult& r, int row, int first)
{
    RowStamp s;
    s.version = r.int4(row, first);
    s.user = r.isNull(row, first + 1) ? QString() : r.text(row, first + 1);
    s.desk = r.isNull(row, first + 2) ? QString() : r.text(row, first + 2);
    if (!r.isNull(row, first + 3))
        s.when = QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC)
                     .addMSecs(r.int8(row, first + 3) / 1000)
                     .toLocalTime();
    return s;
}

// "Jane Doe at desk "DESK-2" on 12/8/26 9:15 PM" as far as the stamp knows.
QString whoAndWhen(const RowStamp& stamp)
{
    QString out = stamp.user.isEmpty() ? QStringLiteral("another desk") : stamp.user;
    if (!stamp.desk.isEmpty())
        out += QStringLiteral(" at desk \"%1\"").arg(stamp.desk);
    if (stamp.when.isValid())
        out += QStringLiteral(" on %1").arg(QLocale().toString(stamp.when, QLocale::ShortFormat));
    return out;
}

// The advisory lock a number check takes, the same at every desk for the
// same number key: one desk at a time looks a number up and saves it.
constexpr qint32 NumberLockClass = 0x53654e6e;
qint32 numberLockOf(const QString& key)
{
    const QByteArray digest = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1);
    return qFromBigEndian<qint32>(digest.constData());
}

// The values of a citation row after its fields: the number key and whether
// a text keeps raw bytes.
void bindCitation(const char* record, std::vector<PgValue>& values)
{
    bool rawText = false;
    ServerSchema::BindRecord(ServerSchema::CitationColumns(), record, values, &rawText);
    const QString key = numberKey(record);
    values.push_back(key.contains(QChar(0)) ? PgValue::nullOf(PgType::Text) : PgValue::text(key));
    values.push_back(PgValue::boolean(rawText));
}

// What the server narrows a search down to, chosen as the program's own
// matcher chooses its prefilter (store/SearchMatch): the phrase as the
// matcher's bytes (folded when case does not count), and its longest
// space-free run that no date or time text can hold, the piece. Rows whose
// texts match the piece's regular expression (each byte as the set of
// Windows-1252 characters the matcher takes for it), together with the rows
// whose texts keep raw bytes, hold every citation the search finds.
struct Candidates {
    bool none = false;    // no stored text can hold the phrase
    bool every = false;   // the texts cannot tell (the phrase could lie in a date or time text)
    bool rawOnly = false; // only a text with raw bytes can hold it (a NUL)
    // The piece is the whole phrase: a row without raw texts is found
    // exactly when the pattern matches one of the scope's texts, as the
    // matcher then decides on the piece alone.
    bool decides = false;
    QString pattern;
    // The phrase as the one word of the stored word lists it is (folded),
    // when it is one: letters and digits only. Empty otherwise.
    QString word;
};

// Scopes other than the numbered parts search all text, as the matcher does.
bool searchesAllText(int scope)
{
    return scope < SearchScope::AllExceptNotes || scope > SearchScope::Basics;
}

// The characters of the bytes that stand for phrase byte `b`.
QString membersOf(unsigned char b, bool ignoreCase)
{
    const unsigned char* fold = AnsiFold::foldTable();
    QString members;
    for (int m = 1; m < 256; ++m)
        if (ignoreCase ? fold[m] == b : m == b) {
            const char byte = char(m);
            members += Ansi::decode(&byte, 1);
        }
    return members;
}

QString regexSet(const QString& members, bool negated = false)
{
    QString set;
    for (const QChar m : members)
        set += QStringLiteral("\\u%1").arg(m.unicode(), 4, 16, QLatin1Char('0'));
    return negated || members.size() != 1 ? (negated ? QStringLiteral("[^") : QStringLiteral("[")) + set + u']' : set;
}

Candidates candidatesOf(const SearchSettings& search)
{
    Candidates out;
    const bool ignoreCase = search.ignoreCase == 1;
    if (search.phrase.contains(QChar(0))) {
        out.rawOnly = true;
        return out;
    }
    QByteArray phrase;
    for (const QChar c : search.phrase) {
        const int b = SearchPhraseByte(c, ignoreCase);
        if (b < 0) {
            out.none = true;
            return out;
        }
        phrase += char(b);
    }
    const unsigned char* fold = AnsiFold::foldTable();
    const auto byteOf = [&](char c) { return char(ignoreCase ? fold[static_cast<unsigned char>(c)] : c); };
    const char a = byteOf('a'), p = byteOf('p'), m = byteOf('m');
    QByteArray piece;
    for (const QByteArray& run : phrase.split(' ')) {
        const bool couldBeDate = std::all_of(run.begin(), run.end(), [&](char c) {
            return (c >= '0' && c <= '9') || c == '/' || c == ':' || c == a || c == p || c == m;
        });
        if (run.size() > piece.size() && !couldBeDate)
            piece = run;
    }
    if (piece.isEmpty()) {
        out.every = true;
        return out;
    }
    for (const char b : piece) {
        const QString members = membersOf(static_cast<unsigned char>(b), ignoreCase);
        if (members.isEmpty()) {
            out.none = true;
            return out;
        }
        out.pattern += regexSet(members);
    }
    out.decides = piece.size() == phrase.size();
    const bool* word = AnsiFold::wordTable();
    const auto isWord = [](QChar c) { return c.isLetter() || c.isDigit(); };
    // A phrase of letters and digits alone stands as a whole word exactly
    // where it is one of a text's words.
    if (out.decides && std::all_of(piece.begin(), piece.end(), [&](char c) { return word[fold[uchar(c)]]; })
        && isWord(search.phrase.front()) && isWord(search.phrase.back()))
        out.word = ServerSchema::FoldedText(piece);
    if (out.decides && search.wholeWord == 1) {
        // Not run on into a neighbouring word where the phrase begins or
        // ends with a letter or digit; the texts of the scope are joined by
        // blanks, so a field's edge is a blank or the text's end here.
        QString other;
        for (int b = 1; b < 256; ++b)
            if (!word[fold[b]]) {
                const char byte = char(b);
                other += Ansi::decode(&byte, 1);
            }
        if (isWord(search.phrase.front()))
            out.pattern = QStringLiteral("(?:^|%1)").arg(regexSet(other)) + out.pattern;
        if (isWord(search.phrase.back()))
            out.pattern += QStringLiteral("(?:%1|$)").arg(regexSet(other));
    }
    return out;
}

// What a search runs: the candidates the matcher confirms (every column of
// them) and, when the server's pattern decides, the rows it finds (the
// list's columns only).
struct SearchStatements {
    Candidates candidates;
    ServerStatement confirmed;
    ServerStatement decided;
    // A phrase of letters and digits searched for in all text, ignoring
    // case and not as a whole word: the words that contain it, looked up
    // first (at most MostWordsLookedUp + 1 of them). Then `byWords` finds
    // the rows holding any of them (its one value: the words, separated by
    // blanks), in place of `decided`; when there are more words than that,
    // `decided` is run as it stands. Empty sql: not such a phrase.
    ServerStatement containingWords;
    ServerStatement byWords;
};

// More words than this containing a phrase (a digit or two, say): the rows
// are found by their texts instead, as a long list of words would take the
// index longer to look up than the texts take to match.
constexpr int MostWordsLookedUp = 1000;

SearchStatements searchStatements(const SearchSettings& search)
{
    SearchStatements out;
    out.candidates = candidatesOf(search);
    const Candidates& candidates = out.candidates;
    if (candidates.none)
        return out;
    QByteArray texts;
    for (const QByteArray& text : ServerSchema::SearchTexts(search.scope))
        texts += (texts.isEmpty() ? "" : " OR ") + text + " ~ $1";
    QByteArray& sql = out.confirmed.sql;
    sql = "SELECT id, " + ServerSchema::ColumnList(ServerSchema::CitationColumns()) + " FROM citations";
    if (candidates.rawOnly || candidates.decides) {
        sql += " WHERE raw_texts";
    } else if (!candidates.every) {
        sql += " WHERE raw_texts OR " + texts;
        out.confirmed.values.push_back(PgValue::text(candidates.pattern));
    }
    sql += " ORDER BY id";
    if (!candidates.decides)
        return out;
    // The rows without raw texts that hold the phrase. In all text a word
    // is looked up in the rows' word lists: a whole word, without regard
    // to case, is found there alone; a part of a word is found there in
    // the rows where it is a word, without their texts being matched, and
    // by the pattern in the others (where it lies inside a longer word); a
    // whole word where case counts is looked for in the rows holding it.
    QByteArray where = "(" + texts + ")";
    out.decided.values.push_back(PgValue::text(candidates.pattern));
    if (searchesAllText(search.scope) && !candidates.word.isEmpty()) {
        const QByteArray words = QByteArray(ServerSchema::AllWordsColumn) + " @> ARRAY[$2]";
        out.decided.values.push_back(PgValue::text(candidates.word));
        if (search.ignoreCase == 1 && search.wholeWord == 1) {
            where = QByteArray(ServerSchema::AllWordsColumn) + " @> ARRAY[$1]";
            out.decided.values = {PgValue::text(candidates.word)};
        } else if (search.ignoreCase == 1) {
            where = "(" + words + " OR " + texts + ")";
            // The words never hold LIKE's wildcards: letters and digits only.
            out.containingWords.sql = "SELECT word FROM " + QByteArray(ServerSchema::WordListTable)
                + " WHERE word LIKE $1 LIMIT " + QByteArray::number(MostWordsLookedUp + 1);
            out.containingWords.values = {PgValue::text(u'%' + candidates.word + u'%')};
        } else if (search.wholeWord == 1) {
            where = words + " AND " + where;
        } else {
            out.decided.values.pop_back();
        }
    }
    // In the table's order (the rows are put in key order on the desk),
    // read in one pass from the rows the indexes find: a plan that reads
    // the whole table would match the texts of every row, and compiling the
    // statement costs more than it saves.
    out.decided.sql = "SELECT id, " + ServerSchema::ColumnList(ServerSchema::ListColumns())
        + " FROM citations WHERE NOT raw_texts AND " + where;
    out.decided.settings = {"SET LOCAL enable_seqscan TO off", "SET LOCAL jit TO off"};
    if (!out.containingWords.sql.isEmpty()) {
        out.byWords.sql = "SELECT id, " + ServerSchema::ColumnList(ServerSchema::ListColumns())
            + " FROM citations WHERE NOT raw_texts AND " + ServerSchema::AllWordsColumn
            + " && string_to_array($1, ' ')";
        out.byWords.settings = out.decided.settings;
    }
    return out;
}

class ServerCitations : public CitationStore {
public:
    explicit ServerCitations(Session& s) : m_s(s) {}

    bool keysShiftOnDelete() const override { return false; }

    CitationRows listRows(const SearchSettings* search, FileError& error) override
    {
        CitationRows rows;
        if (search)
            listFound(*search, rows, error);
        else
            listAll(rows, error);
        return rows;
    }

    int count(FileError& error) override
    {
        int n = -1;
        m_s.run("The citations could not be counted", error, [&](QString& reason) {
            PgResult r;
            if (!m_s.pg.exec("SELECT count(*) FROM citations", {}, r, reason))
                return false;
            n = int(r.int8(0, 0));
            return true;
        });
        return n;
    }

    bool read(CitationKey key, CitationRecord& record, FileError& error) override
    {
        RowStamp unused;
        return readStamped(key, record, unused, error);
    }

    bool readStamped(CitationKey key, CitationRecord& record, RowStamp& stamp, FileError& error) override
    {
        stamp = {};
        return m_s.run("The citation could not be read", error, [&](QString& reason) {
            const Columns& columns = ServerSchema::CitationColumns();
            PgResult r;
            if (!m_s.pg.execPrepared("read_stamped_citation",
                                     "SELECT " + ServerSchema::ColumnList(columns) + ", " + StampColumns
                                         + " FROM citations WHERE id = $1",
                                     {PgValue::int4(key)}, r, reason))
                return false;
            if (r.rows() == 0) {
                reason = QStringLiteral("it is no longer on the server");
                return false;
            }
            QByteArray bytes = CitationRecord().bytes();
            ServerSchema::ReadRecord(columns, r, 0, 0, bytes.data());
            record = CitationRecord::fromBytes(bytes.constData(), bytes.size());
            stamp = stampOf(r, 0, ServerSchema::ValueCount(columns));
            return true;
        });
    }

    // A checked write is one transaction: the number's lock and look-up
    // first, then the audit entry (which the chain's lock orders), then the
    // row, whose version the UPDATE or DELETE names. A refusal rolls all of
    // it back, the entry too.
    bool addChecked(const CitationRecord& record, CitationKey& key, WriteCheck& check, FileError& error) override
    {
        check.conflict = RowConflict::None;
        check.current = {};
        if (!check.checkNumber)
            return add(record, key, error);
        std::optional<AuditEntry> entry = m_s.takePending(AuditAction::CitationAdded);
        return m_s.run("The citation was not saved", error, [&](QString& reason) {
            if (!m_s.pg.exec("BEGIN", reason) || !numberIsFree(record, 0, check, reason))
                return false;
            CitationKey id = 0;
            if (entry) {
                PgResult r;
                if (!m_s.pg.execPrepared("next_citation_id",
                                         "SELECT nextval(pg_get_serial_sequence('citations', 'id'))", {}, r, reason))
                    return false;
                id = CitationKey(r.int8(0, 0));
                entry->key = id;
                if (!m_s.insertAudit(*entry, reason))
                    return false;
            }
            return insert(record.bytes().constData(), key, reason, id) && m_s.pg.exec("COMMIT", reason);
        });
    }

    bool saveChecked(CitationKey key, const CitationRecord& record, WriteCheck& check, FileError& error) override
    {
        check.conflict = RowConflict::None;
        check.current = {};
        std::optional<AuditEntry> entry = m_s.takePending(AuditAction::CitationEdited);
        return m_s.run("The citation was not saved", error, [&](QString& reason) {
            return m_s.pg.exec("BEGIN", reason) && (!check.checkNumber || numberIsFree(record, key, check, reason))
                && (!entry || m_s.insertAudit(*entry, reason))
                && update(key, record, reason, check.shownVersion, &check) && m_s.pg.exec("COMMIT", reason);
        });
    }

    bool removeChecked(CitationKey key, WriteCheck& check, FileError& error, const ProgressFn&) override
    {
        check.conflict = RowConflict::None;
        check.current = {};
        std::optional<AuditEntry> entry = m_s.takePending(AuditAction::CitationDeleted);
        return m_s.run("The citation was not deleted", error, [&](QString& reason) {
            return m_s.pg.exec("BEGIN", reason) && (!entry || m_s.insertAudit(*entry, reason))
                && erase(key, reason, check.shownVersion, &check) && m_s.pg.exec("COMMIT", reason);
        });
    }

    // Why a write naming `key` at `shown` touched no row: the row changed
    // since (its stamp now in check.current) or is gone.
    bool refuse(CitationKey key, WriteCheck& check, QString& reason)
    {
        PgResult r;
        if (!m_s.pg.execPrepared("citation_stamp", "SELECT " + StampColumns + " FROM citations WHERE id = $1",
                                 {PgValue::int4(key)}, r, reason))
            return false;
        if (r.rows() == 0) {
            check.conflict = RowConflict::Deleted;
            reason = QStringLiteral("another desk deleted it meanwhile");
        } else {
            check.conflict = RowConflict::Changed;
            check.current = stampOf(r, 0, 0);
            reason = QStringLiteral("%1 changed it since it was shown here").arg(whoAndWhen(check.current));
        }
        return false;
    }

    // Inside the caller's transaction: takes the number's lock (held to the
    // commit) and refuses when a citation other than `except` and those the
    // user was told about has the record's number by now.
    bool numberIsFree(const CitationRecord& record, CitationKey except, WriteCheck& check, QString& reason)
    {
        const QString wanted = numberKey(record.bytes().constData());
        PgResult r;
        QList<CitationKey> keys;
        if (!m_s.pg.execPrepared("lock_number", "SELECT pg_advisory_xact_lock($1, $2)",
                                 {PgValue::int4(NumberLockClass), PgValue::int4(numberLockOf(wanted))}, r, reason)
            || !lookUpNumber(wanted, except, keys, reason))
            return false;
        for (const CitationKey k : std::as_const(keys)) {
            if (check.knownDuplicates.contains(k))
                continue;
            check.conflict = RowConflict::NumberTaken;
            if (m_s.pg.execPrepared("citation_stamp", "SELECT " + StampColumns + " FROM citations WHERE id = $1",
                                    {PgValue::int4(k)}, r, reason)
                && r.rows() == 1)
                check.current = stampOf(r, 0, 0);
            reason = QStringLiteral("%1 saved a citation with the number \"%2\" meanwhile")
                         .arg(whoAndWhen(check.current),
                              Ansi::trimSpaces(record.text(CitationField::CitationNumber)));
            return false;
        }
        return true;
    }

    bool add(const CitationRecord& record, CitationKey& key, FileError& error) override
    {
        std::optional<AuditEntry> entry = m_s.takePending(AuditAction::CitationAdded);
        return m_s.run("The citation was not saved", error, [&](QString& reason) {
            if (!entry)
                return insert(record.bytes().constData(), key, reason);
            // The entry names the key the row is given, so the key is
            // drawn first.
            PgResult r;
            if (!m_s.pg.exec("BEGIN", reason)
                || !m_s.pg.execPrepared("next_citation_id",
                                        "SELECT nextval(pg_get_serial_sequence('citations', 'id'))", {}, r, reason))
                return false;
            const CitationKey id = CitationKey(r.int8(0, 0));
            entry->key = id;
            return m_s.insertAudit(*entry, reason) && insert(record.bytes().constData(), key, reason, id)
                && m_s.pg.exec("COMMIT", reason);
        });
    }

    bool save(CitationKey key, const CitationRecord& record, FileError& error) override
    {
        std::optional<AuditEntry> entry = m_s.takePending(AuditAction::CitationEdited);
        return m_s.run("The citation was not saved", error, [&](QString& reason) {
            return m_s.audited(entry, reason, [&](QString& reason) { return update(key, record, reason); });
        });
    }

    // Replaces the row under `key` when it is still at version `shown` (0:
    // whatever its version); with `check`, a row changed or gone is refused
    // as a conflict.
    bool update(CitationKey key, const CitationRecord& record, QString& reason, qint64 shown = 0,
                WriteCheck* check = nullptr)
    {
        const Columns& columns = ServerSchema::CitationColumns();
        const int n = ServerSchema::ValueCount(columns) + 2;
        static const QByteArray sql = "UPDATE citations SET (" + ServerSchema::ColumnList(columns)
            + ", number_key, raw_texts) = ROW(" + placeholders(1, n) + "), row_version = row_version + 1, "
            + "changed_by = $" + QByteArray::number(n + 1) + ", changed_at = now(), desk = $"
            + QByteArray::number(n + 2) + " WHERE id = $" + QByteArray::number(n + 3) + " AND ($"
            + QByteArray::number(n + 4) + " = 0 OR row_version = $" + QByteArray::number(n + 4) + ")";
        std::vector<PgValue> values;
        bindCitation(record.bytes().constData(), values);
        values.push_back(m_s.actorName());
        values.push_back(m_s.desk());
        values.push_back(PgValue::int4(key));
        values.push_back(PgValue::int8(shown));
        PgResult r;
        if (!m_s.pg.execPrepared("save_citation", sql.constData(), values, r, reason))
            return false;
        if (r.affected() == 0) {
            if (check)
                return refuse(key, *check, reason);
            reason = QStringLiteral("it is no longer on the server (another desk may have deleted it)");
            return false;
        }
        return true;
    }

    bool remove(CitationKey key, FileError& error, const ProgressFn&) override
    {
        std::optional<AuditEntry> entry = m_s.takePending(AuditAction::CitationDeleted);
        return m_s.run("The citation was not deleted", error, [&](QString& reason) {
            return m_s.audited(entry, reason, [&](QString& reason) { return erase(key, reason); });
        });
    }

    // Removes the row under `key` as update() replaces it.
    bool erase(CitationKey key, QString& reason, qint64 shown = 0, WriteCheck* check = nullptr)
    {
        PgResult r;
        if (!m_s.pg.execPrepared("remove_citation",
                                 "DELETE FROM citations WHERE id = $1 AND ($2 = 0 OR row_version = $2)",
                                 {PgValue::int4(key), PgValue::int8(shown)}, r, reason))
            return false;
        if (r.affected() == 0) {
            if (check)
                return refuse(key, *check, reason);
            reason = QStringLiteral("it is no longer on the server (another desk may have deleted it)");
            return false;
        }
        return true;
    }

    bool addAll(const std::vector<CitationRecord>& records, CitationKey& firstKey, FileError& error) override
    {
        std::optional<AuditEntry> entry = m_s.takePending(AuditAction::Import);
        return m_s.run("The citations were not saved", error, [&](QString& reason) {
            return m_s.pg.exec("BEGIN", reason) && (!entry || m_s.insertAudit(*entry, reason))
                && insertAll(records, firstKey, reason) && m_s.pg.exec("COMMIT", reason);
        });
    }

    bool findNumber(const QString& number, CitationKey except, QList<CitationKey>& keys, FileError& error) override
    {
        keys.clear();
        const QString wanted = CitationNumberIndex::normalised(number);
        return m_s.run("The citation numbers could not be read", error,
                       [&](QString& reason) { return lookUpNumber(wanted, except, keys, reason); });
    }

    // The keys of the citations other than `except` whose number key is
    // `wanted`. Rows whose number keeps raw bytes have no key: they are
    // compared here, as every candidate is.
    bool lookUpNumber(const QString& wanted, CitationKey except, QList<CitationKey>& keys, QString& reason)
    {
        keys.clear();
        const Columns columns = ServerSchema::CitationColumnsOf({F::CitationNumber});
        PgResult r;
        if (!m_s.pg.execPrepared("find_number",
                                 "SELECT id, " + ServerSchema::ColumnList(columns)
                                     + " FROM citations WHERE (number_key = $1 OR number_key IS NULL) "
                                       "AND id <> $2 ORDER BY id",
                                 {wanted.contains(QChar(0)) ? PgValue::nullOf(PgType::Text) : PgValue::text(wanted),
                                  PgValue::int4(except)},
                                 r, reason))
            return false;
        QByteArray bytes = CitationRecord().bytes();
        // A key holding a NUL is never stored (its row keeps none): only the
        // rows without a key can hold that number.
        for (int i = 0; i < r.rows(); ++i) {
            ServerSchema::ReadRecord(columns, r, i, 1, bytes.data());
            if (numberKey(bytes.constData()) == wanted)
                keys << r.int4(i, 0);
        }
        return true;
    }

    bool forEach(const std::function<bool(CitationKey key, const char* record)>& visit, FileError& error) override
    {
        return m_s.run("The citations could not be read", error, [&](QString& reason) {
            const Columns& columns = ServerSchema::CitationColumns();
            QByteArray bytes = CitationRecord().bytes();
            return m_s.pg.exec(ReadSnapshot, reason)
                && m_s.fetch("SELECT id, " + ServerSchema::ColumnList(columns) + " FROM citations ORDER BY id", {},
                             reason,
                             [&](const PgResult& r) {
                                 for (int i = 0; i < r.rows(); ++i) {
                                     ServerSchema::ReadRecord(columns, r, i, 1, bytes.data());
                                     if (!visit(r.int4(i, 0), bytes.constData()))
                                         return false;
                                 }
                                 return true;
                             })
                && m_s.pg.exec("COMMIT", reason);
        });
    }

    // Adds the citations, in their order, inside the caller's transaction,
    // by COPY: their keys are taken from the key sequence first, so that
    // firstKey is known and the keys ascend as the records do.
    bool insertAll(const std::vector<CitationRecord>& records, CitationKey& firstKey, QString& reason)
    {
        if (records.empty())
            return true;
        PgResult r;
        if (!m_s.pg.exec("SELECT nextval(pg_get_serial_sequence('citations', 'id')) FROM generate_series(1, $1)",
                         {PgValue::int4(qint32(records.size()))}, r, reason))
            return false;
        std::vector<qint64> keys(size_t(r.rows()));
        for (int i = 0; i < r.rows(); ++i)
            keys[size_t(i)] = r.int8(i, 0);
        std::sort(keys.begin(), keys.end());
        if (keys.size() != records.size() || keys.back() > std::numeric_limits<qint32>::max()) {
            reason = QStringLiteral("no more citation keys are free");
            return false;
        }
        firstKey = CitationKey(keys.front());
        static const QByteArray sql = "COPY citations (id, " + ServerSchema::ColumnList(ServerSchema::CitationColumns())
            + ", number_key, raw_texts, created_by, desk) FROM STDIN (FORMAT binary)";
        QByteArray rows;
        std::vector<PgValue> values;
        for (size_t i = 0; i < records.size(); ++i) {
            values.clear();
            values.push_back(PgValue::int4(CitationKey(keys[i])));
            bindCitation(records[i].bytes().constData(), values);
            values.push_back(m_s.actorName());
            values.push_back(m_s.desk());
            PgConnection::appendCopyRow(rows, values);
            if ((i + 1) % CopyRows == 0 || i + 1 == records.size()) {
                if (!m_s.pg.copyIn(sql.constData(), rows, reason))
                    return false;
                rows.clear();
            }
        }
        return true;
    }

    // Adds one citation inside the caller's statement or transaction, under
    // the key `id` when one was drawn for it.
    bool insert(const char* record, CitationKey& key, QString& reason, CitationKey id = 0)
    {
        const Columns& columns = ServerSchema::CitationColumns();
        const int n = ServerSchema::ValueCount(columns) + 2;
        static const QByteArray sql = "INSERT INTO citations (" + ServerSchema::ColumnList(columns)
            + ", number_key, raw_texts, created_by, desk) VALUES (" + placeholders(1, n + 2) + ") RETURNING id";
        static const QByteArray withId = "INSERT INTO citations (" + ServerSchema::ColumnList(columns)
            + ", number_key, raw_texts, created_by, desk, id) VALUES (" + placeholders(1, n + 3) + ") RETURNING id";
        std::vector<PgValue> values;
        bindCitation(record, values);
        values.push_back(m_s.actorName());
        values.push_back(m_s.desk());
        if (id > 0)
            values.push_back(PgValue::int4(id));
        PgResult r;
        if (!m_s.pg.execPrepared(id > 0 ? "add_citation_with_id" : "add_citation",
                                 (id > 0 ? withId : sql).constData(), values, r, reason))
            return false;
        key = r.int4(0, 0);
        return true;
    }

private:
    void listAll(CitationRows& rows, FileError& error)
    {
        m_s.run("The citations could not be read", error, [&](QString& reason) {
            return m_s.pg.exec(ReadSnapshot, reason)
                && m_s.fetch("SELECT id, " + ServerSchema::ColumnList(ServerSchema::ListColumns())
                                 + " FROM citations ORDER BY id",
                             {}, reason,
                             [&](const PgResult& r) {
                                 for (int i = 0; i < r.rows(); ++i)
                                     appendListRow(rows, r, i, false);
                                 return true;
                             })
                && m_s.pg.exec("COMMIT", reason);
        });
    }

    // The server narrows the citations down by the texts, over its trigram
    // indexes. A candidate is decided by the program's own matcher, unless
    // the server's pattern decides by itself: then only the list's columns
    // of the rows found travel. Either way the rows are exactly those the
    // data folder's search finds.
    void listFound(const SearchSettings& search, CitationRows& rows, FileError& error)
    {
        const SearchStatements statements = searchStatements(search);
        if (statements.candidates.none)
            return;
        const Candidates& candidates = statements.candidates;
        RecordMatcher matcher(search.phrase, search.scope, search.ignoreCase == 1, search.wholeWord == 1);
        m_s.run("The citations could not be searched", error, [&](QString& reason) {
            QByteArray bytes = CitationRecord().bytes();
            if (!m_s.pg.exec(ReadSnapshot, reason) || !m_s.pg.exec(SearchMemory, reason)
                || !m_s.fetch(statements.confirmed.sql, statements.confirmed.values, reason, [&](const PgResult& r) {
                       for (int i = 0; i < r.rows(); ++i) {
                           ServerSchema::ReadRecord(ServerSchema::CitationColumns(), r, i, 1, bytes.data());
                           if (matcher.matches(bytes.constData()))
                               rows.append(bytes.constData(), r.int4(i, 0), true);
                       }
                       return true;
                   }))
                return false;
            if (candidates.decides) {
                ServerStatement decided = statements.decided;
                if (!statements.containingWords.sql.isEmpty()) {
                    PgResult words;
                    if (!m_s.pg.exec(statements.containingWords.sql.constData(), statements.containingWords.values,
                                     words, reason))
                        return false;
                    if (words.rows() == 0)
                        return m_s.pg.exec("COMMIT", reason); // no citation holds the phrase
                    if (words.rows() <= MostWordsLookedUp) {
                        QStringList list;
                        for (int i = 0; i < words.rows(); ++i)
                            list << words.text(i, 0);
                        decided = statements.byWords;
                        decided.values = {PgValue::text(list.join(u' '))};
                    }
                }
                for (const QByteArray& setting : decided.settings)
                    if (!m_s.pg.exec(setting.constData(), reason))
                        return false;
                if (!m_s.fetch(decided.sql, decided.values, reason, [&](const PgResult& r) {
                           for (int i = 0; i < r.rows(); ++i)
                               appendListRow(rows, r, i, true);
                           return true;
                       }))
                    return false;
                rows.sortByKey();
            }
            return m_s.pg.exec("COMMIT", reason);
        });
    }

    Session& m_s;
};

class ServerUsers : public UserStore {
public:
    explicit ServerUsers(Session& s) : m_s(s) {}

    bool list(QList<StoredUser>& users, FileError& error) override
    {
        return m_s.run("The user list could not be read", error,
                       [&](QString& reason) { return select(users, reason); });
    }

    bool select(QList<StoredUser>& users, QString& reason)
    {
        users.clear();
        const Columns& columns = ServerSchema::UserColumns();
        PgResult r;
        if (!m_s.pg.exec("SELECT id, " + ServerSchema::ColumnList(columns) + " FROM users ORDER BY id", {}, r, reason))
            return false;
        QByteArray bytes = UserRecord().bytes();
        for (int i = 0; i < r.rows(); ++i) {
            ServerSchema::ReadRecord(columns, r, i, 1, bytes.data());
            users << StoredUser{r.int4(i, 0), UserRecord::fromBytes(bytes.constData(), bytes.size())};
        }
        return true;
    }

    bool add(const UserRecord& user, UserKey& key, FileError& error) override
    {
        std::optional<AuditEntry> entry = m_s.takePending(AuditAction::UserAdded);
        return m_s.run("The user was not saved", error, [&](QString& reason) {
            return m_s.audited(entry, reason, [&](QString& reason) { return insert(user, key, reason); });
        });
    }

    bool save(UserKey key, const UserRecord& user, FileError& error) override
    {
        std::optional<AuditEntry> entry = m_s.takePending(AuditAction::UserChanged);
        return m_s.run("The user was not saved", error, [&](QString& reason) {
            return m_s.audited(entry, reason, [&](QString& reason) { return update(key, user, reason); });
        });
    }

    bool update(UserKey key, const UserRecord& user, QString& reason)
    {
        {
            const Columns& columns = ServerSchema::UserColumns();
            const int n = ServerSchema::ValueCount(columns);
            static const QByteArray sql = "UPDATE users SET (" + ServerSchema::ColumnList(columns) + ") = ROW("
                + placeholders(1, n) + "), row_version = row_version + 1, changed_by = $" + QByteArray::number(n + 1)
                + ", changed_at = now(), desk = $" + QByteArray::number(n + 2) + " WHERE id = $"
                + QByteArray::number(n + 3);
            std::vector<PgValue> values;
            ServerSchema::BindRecord(columns, user.bytes().constData(), values);
            values.push_back(m_s.actorName());
            values.push_back(m_s.desk());
            values.push_back(PgValue::int4(key));
            PgResult r;
            if (!m_s.pg.execPrepared("save_user", sql.constData(), values, r, reason))
                return false;
            if (r.affected() == 0) {
                reason = QStringLiteral("the user is no longer on the server (another desk may have removed them)");
                return false;
            }
            return true;
        }
    }

    bool remove(UserKey key, FileError& error) override
    {
        std::optional<AuditEntry> entry = m_s.takePending(AuditAction::UserRemoved);
        return m_s.run("The user was not removed", error, [&](QString& reason) {
            return m_s.audited(entry, reason, [&](QString& reason) { return erase(key, reason); });
        });
    }

    bool erase(UserKey key, QString& reason)
    {
        {
            PgResult r;
            if (!m_s.pg.execPrepared("remove_user", "DELETE FROM users WHERE id = $1", {PgValue::int4(key)}, r, reason))
                return false;
            if (r.affected() == 0) {
                reason = QStringLiteral("the user is no longer on the server (another desk may have removed them)");
                return false;
            }
            return true;
        }
    }

    bool insert(const UserRecord& user, UserKey& key, QString& reason)
    {
        const Columns& columns = ServerSchema::UserColumns();
        const int n = ServerSchema::ValueCount(columns);
        static const QByteArray sql = "INSERT INTO users (" + ServerSchema::ColumnList(columns)
            + ", created_by, desk) VALUES (" + placeholders(1, n + 2) + ") RETURNING id";
        std::vector<PgValue> values;
        ServerSchema::BindRecord(columns, user.bytes().constData(), values);
        values.push_back(m_s.actorName());
        values.push_back(m_s.desk());
        PgResult r;
        if (!m_s.pg.execPrepared("add_user", sql.constData(), values, r, reason))
            return false;
        key = r.int4(0, 0);
        return true;
    }

private:
    Session& m_s;
};

class ServerUserLog : public UserLogStore {
public:
    explicit ServerUserLog(Session& s) : m_s(s) {}

    bool append(const QString& line, FileError& error) override
    {
        // Stored as the folder's log would hold it: a character Windows-1252
        // cannot hold becomes '?'.
        const QByteArray bytes = Ansi::encode(line);
        return m_s.run("The log line was not saved", error,
                       [&](QString& reason) { return insert(bytes, true, reason); });
    }

    bool readAll(QByteArray& log, FileError& error) override
    {
        return m_s.run("The user log could not be read", error, [&](QString& reason) { return select(log, reason); });
    }

    bool select(QByteArray& log, QString& reason)
    {
        log.clear();
        PgResult r;
        if (!m_s.pg.exec("SELECT line, line_raw, ends_line FROM user_log ORDER BY id", {}, r, reason))
            return false;
        for (int i = 0; i < r.rows(); ++i)
            log += lineOf(r, i);
        return true;
    }

    bool readLatest(int limitLines, qint64 limitBytes, QByteArray& log, bool& partial, FileError& error) override
    {
        log.clear();
        partial = false;
        return m_s.run("The user log could not be read", error, [&](QString& reason) {
            PgResult r;
            if (!m_s.pg.exec("SELECT line, line_raw, ends_line, desk FROM user_log ORDER BY id DESC LIMIT $1",
                             {PgValue::int8(qint64(qMax(limitLines, 0)) + 1)}, r, reason))
                return false;
            QList<QByteArray> lines;
            qint64 bytes = 0;
            for (int i = 0; i < r.rows(); ++i) {
                // For the view, each line names the desk that wrote it.
                QByteArray line = lineOf(r, i);
                const QString desk = r.isNull(i, 3) ? QString() : r.text(i, 3).trimmed();
                if (!desk.isEmpty())
                    line.insert(r.boolean(i, 2) ? line.size() - 2 : line.size(),
                                " (desk " + Ansi::encode(desk) + ')');
                if (lines.size() >= limitLines || bytes + line.size() > limitBytes) {
                    partial = true;
                    break;
                }
                bytes += line.size();
                lines.prepend(line);
            }
            for (const QByteArray& line : lines)
                log += line;
            return true;
        });
    }

    // Adds one line of the log's own bytes inside the caller's statement or
    // transaction.
    bool insert(const QByteArray& bytes, bool endsLine, QString& reason)
    {
        std::vector<PgValue> values;
        bindLine(bytes, endsLine, m_s.desk(), values);
        PgResult r;
        return m_s.pg.execPrepared(
            "add_log_line", "INSERT INTO user_log (line, line_raw, ends_line, desk) VALUES ($1, $2, $3, $4)", values,
            r, reason);
    }

    // A line's values for (line, line_raw, ends_line, desk): its text, or
    // its bytes when they hold a NUL.
    static void bindLine(const QByteArray& bytes, bool endsLine, const PgValue& desk, std::vector<PgValue>& values)
    {
        const bool raw = bytes.contains('\0');
        values.push_back(raw ? PgValue::nullOf(PgType::Text) : PgValue::text(Ansi::decode(bytes)));
        values.push_back(raw ? PgValue::bytea(bytes) : PgValue::nullOf(PgType::Bytea));
        values.push_back(PgValue::boolean(endsLine));
        values.push_back(desk);
    }

    static QByteArray lineOf(const PgResult& r, int row)
    {
        QByteArray line = !r.isNull(row, 1) ? r.bytes(row, 1)
            : r.isNull(row, 0)              ? QByteArray()
                                            : Ansi::encode(r.text(row, 0));
        if (r.boolean(row, 2))
            line += "\r\n";
        return line;
    }

private:
    Session& m_s;
};

class ServerShared : public SharedSettings {
public:
    explicit ServerShared(Session& s) : m_s(s) {}

    QString accessCode() override
    {
        static const char* const read = "SELECT value FROM shared_settings WHERE name = 'AccessCode'";
        FileError error;
        QString code;
        const bool ok = m_s.run("The access code could not be read", error, [&](QString& reason) {
            PgResult r;
            if (!m_s.pg.exec(read, {}, r, reason))
                return false;
            if (r.rows() == 0) {
                // Drawn once for the installation; of two desks drawing at
                // the same moment, the first one's code stands.
                const QString drawn = QString::number(RandomInteger(100, 999))
                    + QStringLiteral("%1").arg(RandomInteger(0, 999), 3, 10, QLatin1Char('0'));
                if (!m_s.pg.exec("INSERT INTO shared_settings (name, value) VALUES ('AccessCode', $1) "
                                 "ON CONFLICT (name) DO NOTHING",
                                 {PgValue::text(drawn)}, r, reason)
                    || !m_s.pg.exec(read, {}, r, reason))
                    return false;
            }
            code = r.rows() ? r.text(0, 0).trimmed() : QString();
            return !code.isEmpty();
        });
        // Without the server the code of this run stays the same, so the
        // code shown and the code asked for agree.
        if (ok)
            m_unsaved.clear();
        else if (m_unsaved.isEmpty())
            m_unsaved = QString::number(RandomInteger(100, 999))
                + QStringLiteral("%1").arg(RandomInteger(0, 999), 3, 10, QLatin1Char('0'));
        return ok ? code : m_unsaved;
    }

    QString value(const QString& section, const QString& key) override
    {
        FileError error;
        QString value;
        m_s.run("The shared settings could not be read", error, [&](QString& reason) {
            PgResult r;
            if (!m_s.pg.execPrepared("shared_value", "SELECT value FROM shared_settings WHERE name = $1",
                                     {PgValue::text(nameOf(section, key))}, r, reason))
                return false;
            value = r.rows() ? r.text(0, 0) : QString();
            return true;
        });
        return value;
    }

    bool setValue(const QString& section, const QString& key, const QString& value) override
    {
        FileError error;
        return m_s.run("The shared settings were not saved", error, [&](QString& reason) {
            PgResult r;
            if (value.isEmpty())
                return m_s.pg.execPrepared("shared_remove", "DELETE FROM shared_settings WHERE name = $1",
                                           {PgValue::text(nameOf(section, key))}, r, reason);
            return m_s.pg.execPrepared("shared_save",
                                       "INSERT INTO shared_settings (name, value) VALUES ($1, $2) "
                                       "ON CONFLICT (name) DO UPDATE SET value = EXCLUDED.value",
                                       {PgValue::text(nameOf(section, key)), PgValue::text(value)}, r, reason);
        });
    }

private:
    static QString nameOf(const QString& section, const QString& key) { return section + u'/' + key; }

    Session& m_s;
    QString m_unsaved;
};

// The server's audit trail: the entries of changes wait for their change
// and are written in its transaction; every other entry (a printout, a
// log-in) is written at once. Reading filters in the server, newest first.
class ServerAudit : public AuditStore {
public:
    explicit ServerAudit(Session& s) : m_s(s) {}

    static bool recordsAChange(AuditAction action)
    {
        switch (action) {
        case AuditAction::CitationAdded:
        case AuditAction::CitationEdited:
        case AuditAction::CitationDeleted:
        case AuditAction::UserAdded:
        case AuditAction::UserChanged:
        case AuditAction::UserRemoved:
        case AuditAction::Import:
            return true;
        default:
            return false;
        }
    }

    bool append(AuditEntry& entry, FileError& error) override
    {
        if (recordsAChange(entry.action)) {
            // Numbered and chained when its change is written.
            entry.number = 0;
            m_s.pending = entry;
            return true;
        }
        return m_s.run("The audit entry was not saved", error, [&](QString& reason) {
            return m_s.pg.exec("BEGIN", reason) && m_s.insertAudit(entry, reason) && m_s.pg.exec("COMMIT", reason);
        });
    }

    // A refused change took its entry with it (its transaction was rolled
    // back); one never written is dropped.
    bool withdraw(qint64, FileError& error) override
    {
        error.clear();
        m_s.pending.reset();
        return true;
    }

    bool read(const AuditFilter& filter, qint64 first, int count, QList<AuditEntry>& entries, qint64& total,
              FileError& error) override
    {
        entries.clear();
        total = 0;
        QByteArray where = " WHERE true";
        std::vector<PgValue> values;
        auto condition = [&](const char* sql, PgValue value) {
            values.push_back(std::move(value));
            where += QByteArray(" AND ") + sql + " $" + QByteArray::number(qsizetype(values.size()));
        };
        if (filter.from.isValid())
            condition("local_day >=", PgValue::int4(qint32(filter.from.toJulianDay())));
        if (filter.to.isValid())
            condition("local_day <=", PgValue::int4(qint32(filter.to.toJulianDay())));
        if (!filter.user.trimmed().isEmpty())
            condition("user_key =", PgValue::text(AuditLine::foldKey(filter.user)));
        if (filter.action)
            condition("action =", PgValue::text(auditActionName(*filter.action)));
        if (!filter.citation.trimmed().isEmpty())
            condition("citation_key =", PgValue::text(AuditLine::foldKey(filter.citation)));
        return m_s.run("The audit trail could not be read", error, [&](QString& reason) {
            PgResult r;
            if (!m_s.pg.exec(ReadSnapshot, reason) || !m_s.pg.exec("SELECT count(*) FROM audit" + where, values, r, reason))
                return false;
            total = r.int8(0, 0);
            if (first >= 0 && first < total && count > 0) {
                std::vector<PgValue> page = values;
                page.push_back(PgValue::int8(first));
                page.push_back(PgValue::int8(count));
                const QByteArray sql = "SELECT line FROM audit" + where + " ORDER BY entry DESC OFFSET $"
                    + QByteArray::number(qsizetype(page.size() - 1)) + " LIMIT $"
                    + QByteArray::number(qsizetype(page.size()));
                if (!m_s.pg.exec(sql.constData(), page, r, reason))
                    return false;
                for (int i = 0; i < r.rows(); ++i) {
                    AuditLine::Parsed parsed = AuditLine::parse(r.bytes(i, 0));
                    if (!parsed.readable) {
                        parsed.entry = {};
                        parsed.entry.details.insert(QStringLiteral("unreadable line"), r.text(i, 0));
                    }
                    entries << parsed.entry;
                }
            }
            return m_s.pg.exec("COMMIT", reason);
        });
    }

    bool forEachLine(const LineVisit& visit, FileError& error) override
    {
        return m_s.run("The audit trail could not be read", error, [&](QString& reason) {
            qint64 n = 0;
            return m_s.pg.exec(ReadSnapshot, reason)
                && m_s.fetch("SELECT line FROM audit ORDER BY entry", {}, reason,
                             [&](const PgResult& r) {
                                 for (int i = 0; i < r.rows(); ++i) {
                                     const QByteArray line = r.bytes(i, 0);
                                     if (!visit(++n, line, AuditLine::parse(line)))
                                         return false;
                                 }
                                 return true;
                             })
                && m_s.pg.exec("COMMIT", reason);
        });
    }

    // Walks the entries in order as the folder's check does: each must hash
    // to its own hash, chain onto the one before and follow it by number,
    // and the last must be the one the chain's head names.
    AuditVerdict verify() override
    {
        AuditVerdict v;
        auto fail = [&](qint64 at, const QString& problem) {
            if (v.clean) {
                v.clean = false;
                v.firstBad = at;
                v.problem = problem;
            }
            return false;
        };
        FileError error;
        qint64 lines = 0, headEntries = 0;
        QByteArray expectedPrev = AuditLine::genesisHash(), headHash;
        const bool read = m_s.run("The audit trail could not be read", error, [&](QString& reason) {
            PgResult r;
            if (!m_s.pg.exec(ReadSnapshot, reason)
                || !m_s.pg.exec("SELECT entries, last_hash FROM audit_chain", {}, r, reason))
                return false;
            if (r.rows() == 1) {
                headEntries = r.int8(0, 0);
                headHash = r.bytes(0, 1);
            }
            return m_s.fetch("SELECT entry, line, hash FROM audit ORDER BY entry", {}, reason,
                             [&](const PgResult& rows) {
                                 for (int i = 0; i < rows.rows(); ++i) {
                                     const qint64 n = ++lines;
                                     const qint64 stored = rows.int8(i, 0);
                                     const AuditLine::Parsed p = AuditLine::parse(rows.bytes(i, 1));
                                     if (stored != n || (p.readable && p.entry.number != n)) {
                                         const qint64 number = p.readable ? p.entry.number : stored;
                                         if (number > n)
                                             return fail(n, number == n + 1
                                                                ? QStringLiteral("Entry %1 was removed: entry %2 "
                                                                                 "follows entry %3.")
                                                                      .arg(n).arg(n + 1).arg(n - 1)
                                                                : QStringLiteral("Entries %1 to %2 were removed: "
                                                                                 "entry %3 follows entry %4.")
                                                                      .arg(n).arg(number - 1).arg(number).arg(n - 1));
                                         return fail(n, QStringLiteral("Entry %1 was inserted: it is not an entry "
                                                                       "of the trail.").arg(n));
                                     }
                                     if (!p.readable || !p.hashMatches || p.entry.hash != rows.bytes(i, 2))
                                         return fail(n, QStringLiteral("Entry %1 was changed: its content no longer "
                                                                       "matches its hash.").arg(n));
                                     if (p.entry.previousHash != expectedPrev)
                                         return fail(n, QStringLiteral("Entry %1 does not follow the entry before "
                                                                       "it.").arg(n));
                                     expectedPrev = p.entry.hash;
                                 }
                                 return true;
                             })
                && m_s.pg.exec("COMMIT", reason);
        });
        v.entries = lines;
        if (!read) {
            fail(0, error.message());
            return v;
        }
        if (!v.clean)
            return v;
        if (headEntries > lines)
            fail(lines + 1, headEntries == lines + 1
                                ? QStringLiteral("Entry %1, the last one, was removed: the trail's head counts %1 "
                                                 "entries.").arg(lines + 1)
                                : QStringLiteral("Entries %1 to %2, the last ones, were removed: the trail's head "
                                                 "counts %2 entries.").arg(lines + 1).arg(headEntries));
        else if (headEntries < lines)
            fail(headEntries + 1, QStringLiteral("Entries %1 to %2 were added after the last entry the trail's head "
                                                 "counts.").arg(headEntries + 1).arg(lines));
        else if (lines > 0 && headHash != expectedPrev)
            fail(lines, QStringLiteral("Entry %1, the last one, was replaced: its hash is not the one the trail's "
                                       "head keeps.").arg(lines));
        return v;
    }

private:
    Session& m_s;
};

// Hears the other desks' changes on a connection of its own that does
// nothing but LISTEN, read whenever its socket has something: nothing here
// ever waits on the server but a new connection's making, which is kept
// short. Changes are told a few milliseconds after the first of them
// arrives, one entry per citation. A connection found broken, or a server
// that leaves a trivial question unanswered for some seconds, is told as
// lost once; the feed then tries again, waiting longer each time, and tells
// when the server is back.
class ServerFeed : public ChangeFeed {
public:
    static constexpr int BatchMs = 5;
    static constexpr int CheckMs = 2000;
    static constexpr int UnansweredChecks = 3;
    static constexpr int FirstRetryMs = 500;
    static constexpr int LongestRetryMs = 8000;
    static constexpr int ConnectSeconds = 2;

    ServerFeed(Session& s, std::function<void(const QList<CitationChange>&)> changed,
               std::function<void(ServerLink)> link)
        : m_s(s), m_changed(std::move(changed)), m_link(std::move(link))
    {
        m_listener.setConnectTimeout(ConnectSeconds);
        m_batch.setSingleShot(true);
        m_batch.setInterval(BatchMs);
        QObject::connect(&m_batch, &QTimer::timeout, &m_batch, [this] { deliver(); });
        m_retry.setSingleShot(true);
        QObject::connect(&m_retry, &QTimer::timeout, &m_retry, [this] { reconnect(); });
        m_check.setInterval(CheckMs);
        QObject::connect(&m_check, &QTimer::timeout, &m_check, [this] { check(); });
        m_check.start();
        if (!listen()) {
            // Told from the event loop, as every call is.
            m_lost = true;
            QTimer::singleShot(0, &m_retry, [this] {
                if (tell(ServerLink::Lost))
                    retryLater(FirstRetryMs);
            });
        }
    }

    ~ServerFeed() override
    {
        *m_alive = false;
        stopListening();
    }

private:
    bool listen()
    {
        QString reason;
        m_listener.setApplicationName(ServerListenerName(m_s.actor), reason);
        if (!m_listener.openLike(m_s.pg, reason)
            || !m_listener.exec("LISTEN " + ServerSchema::ChangeNotice::Channel, reason)) {
            m_listener.close();
            return false;
        }
        m_unanswered = 0;
        m_notifier = std::make_unique<QSocketNotifier>(qintptr(m_listener.socket()), QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { readable(); });
        return true;
    }

    void stopListening()
    {
        if (m_notifier) {
            // It may be the one whose signal is being handled.
            m_notifier->setEnabled(false);
            m_notifier.release()->deleteLater();
        }
        m_listener.close();
    }

    void readable()
    {
        QList<PgConnection::Notification> heard;
        bool answered = false;
        if (!m_listener.readInput(heard, answered)) {
            lose();
            return;
        }
        if (answered)
            m_unanswered = 0;
        for (const PgConnection::Notification& n : std::as_const(heard)) {
            if (n.channel != ServerSchema::ChangeNotice::Channel || m_s.pg.servedBy(n.senderPid))
                continue;
            const std::optional<ServerSchema::ChangeNotice::Parsed> p = ServerSchema::ChangeNotice::parse(n.payload);
            if (!p)
                continue; // someone else's words on the channel
            using K = ServerSchema::ChangeNotice::Parsed::Kind;
            const CitationChange::Kind kind = p->kind == K::Added ? CitationChange::Kind::Added
                : p->kind == K::Changed                          ? CitationChange::Kind::Changed
                : p->kind == K::Deleted                          ? CitationChange::Kind::Deleted
                                                                 : CitationChange::Kind::Many;
            MergeChange(m_pending, {kind, p->key, p->version});
        }
        if (!m_pending.isEmpty() && !m_batch.isActive())
            m_batch.start();
    }

    void deliver()
    {
        QList<CitationChange> batch;
        batch.swap(m_pending);
        if (!batch.isEmpty() && m_changed) {
            const std::shared_ptr<bool> alive = m_alive;
            m_changed(batch);
            (void)alive;
        }
    }

    void check()
    {
        if (m_lost)
            return;
        if (m_unanswered >= UnansweredChecks || (m_unanswered == 0 && !m_listener.sendPing())) {
            lose();
            return;
        }
        // One question at a time: the next goes out once this is answered.
        ++m_unanswered;
    }

    void lose()
    {
        if (m_lost)
            return;
        m_lost = true;
        stopListening();
        m_batch.stop();
        // What was heard before the loss is still told.
        const std::shared_ptr<bool> alive = m_alive;
        deliver();
        if (*alive && tell(ServerLink::Lost))
            retryLater(FirstRetryMs);
    }

    void retryLater(int ms)
    {
        m_wait = ms;
        m_retry.start(ms);
    }

    void reconnect()
    {
        if (!listen()) {
            retryLater(qMin(m_wait * 2, LongestRetryMs));
            return;
        }
        m_lost = false;
        tell(ServerLink::Back);
    }

    // Tells the link's state; false when the feed went with the call.
    bool tell(ServerLink state)
    {
        const std::shared_ptr<bool> alive = m_alive;
        if (m_link)
            m_link(state);
        return *alive;
    }

    Session& m_s;
    std::function<void(const QList<CitationChange>&)> m_changed;
    std::function<void(ServerLink)> m_link;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    PgConnection m_listener;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_batch, m_check, m_retry;
    QList<CitationChange> m_pending;
    bool m_lost = false;
    int m_unanswered = 0;
    int m_wait = FirstRetryMs;
};

class ServerStorage : public Storage {
public:
    ServerStorage() : m_citations(m_s), m_users(m_s), m_log(m_s), m_shared(m_s), m_audit(m_s) {}

    Session& session() { return m_s; }

    bool isServer() const override { return true; }
    QString description() const override { return m_s.pg.place(); }
    CitationStore& citations() override { return m_citations; }
    UserStore& users() override { return m_users; }
    UserLogStore& userLog() override { return m_log; }
    SharedSettings& shared() override { return m_shared; }
    AuditStore& audit() override { return m_audit; }
    void setActor(const StoreActor& actor) override
    {
        m_s.actor = actor;
        // Shown to the other desks; a name the server will not take is no
        // reason to refuse the log-in.
        QString reason;
        m_s.pg.setApplicationName(toolConnections() ? QByteArray("sennet-data") : ServerDeskName(actor), reason);
    }

    std::unique_ptr<ChangeFeed> followChanges(std::function<void(const QList<CitationChange>&)> changed,
                                              std::function<void(ServerLink)> link) override
    {
        return std::make_unique<ServerFeed>(m_s, std::move(changed), std::move(link));
    }

    bool otherDesks(QStringList& desks, FileError& error) override
    {
        desks.clear();
        return m_s.run("The desks working on the server could not be found out", error, [&](QString& reason) {
            PgResult r;
            if (!m_s.pg.exec("SELECT DISTINCT application_name FROM pg_stat_activity "
                             "WHERE datname = current_database() AND pid <> pg_backend_pid() "
                             "AND application_name LIKE 'Sennet desk %' ORDER BY 1",
                             {}, r, reason))
                return false;
            for (int i = 0; i < r.rows(); ++i) {
                const QString desk = ServerDeskOf(r.text(i, 0));
                if (!desk.isEmpty() && !desks.contains(desk))
                    desks << desk;
            }
            return true;
        });
    }

    bool readContents(StoreContents& contents, FileError& error) override
    {
        contents = StoreContents();
        return m_s.run("The server's data could not be read", error, [&](QString& reason) {
            const Columns& columns = ServerSchema::CitationColumns();
            QByteArray bytes = CitationRecord().bytes();
            if (!m_s.pg.exec(ReadSnapshot, reason)
                || !m_s.fetch("SELECT " + ServerSchema::ColumnList(columns) + " FROM citations ORDER BY id", {},
                              reason, [&](const PgResult& r) {
                                  for (int i = 0; i < r.rows(); ++i) {
                                      ServerSchema::ReadRecord(columns, r, i, 0, bytes.data());
                                      contents.citations.push_back(
                                          CitationRecord::fromBytes(bytes.constData(), bytes.size()));
                                  }
                                  return true;
                              }))
                return false;
            QList<StoredUser> users;
            if (!m_users.select(users, reason) || !m_log.select(contents.userLog, reason))
                return false;
            for (const StoredUser& u : users)
                contents.users << u.record;
            return m_s.pg.exec("COMMIT", reason);
        });
    }

    bool replaceContents(const StoreContents& contents, FileError& error) override
    {
        return m_s.run("The server's data was not replaced", error, [&](QString& reason) {
            if (!m_s.pg.exec("BEGIN", reason)
                || !m_s.pg.exec("TRUNCATE citations, users, user_log RESTART IDENTITY", reason))
                return false;
            CitationKey first = 0;
            if (!m_citations.insertAll(contents.citations, first, reason))
                return false;
            for (const UserRecord& u : contents.users) {
                UserKey key = 0;
                if (!m_users.insert(u, key, reason))
                    return false;
            }
            // The log's lines as the folder's file holds them, each with its
            // CR LF; a last line without one keeps that too.
            const QByteArray& log = contents.userLog;
            QByteArray rows;
            int pending = 0;
            std::vector<PgValue> values;
            qsizetype at = 0;
            while (at < log.size()) {
                const qsizetype end = log.indexOf("\r\n", at);
                const bool ends = end >= 0;
                values.clear();
                // Written at desks unknown: the restoring desk is not theirs.
                ServerUserLog::bindLine(log.mid(at, (ends ? end : log.size()) - at), ends,
                                        PgValue::nullOf(PgType::Text), values);
                PgConnection::appendCopyRow(rows, values);
                at = ends ? end + 2 : log.size();
                if (++pending == CopyRows || at >= log.size()) {
                    if (!m_s.pg.copyIn("COPY user_log (line, line_raw, ends_line, desk) FROM STDIN (FORMAT binary)",
                                       rows, reason))
                        return false;
                    rows.clear();
                    pending = 0;
                }
            }
            return m_s.pg.exec("COMMIT", reason);
        });
    }

private:
    Session m_s;
    ServerCitations m_citations;
    ServerUsers m_users;
    ServerUserLog m_log;
    ServerShared m_shared;
    ServerAudit m_audit;
};

} // namespace

std::unique_ptr<Storage> OpenServerStorage(const QString& url, const QString& password, FileError& error,
                                           bool* passwordWanted)
{
    auto storage = std::make_unique<ServerStorage>();
    PgConnection& pg = storage->session().pg;
    QString reason;
    if (passwordWanted)
        *passwordWanted = false;
    if (!pg.open(url, password, reason)) {
        if (passwordWanted)
            *passwordWanted = pg.wantedPassword();
        error.text = QStringLiteral("The %1 could not be reached: %2.").arg(pg.place(), reason);
        return nullptr;
    }
    if (!ServerSchema::ReadyForUse(pg, reason)) {
        error.text = reason;
        return nullptr;
    }
    return storage;
}

bool ServerNeedsPassword(const QString& url) { return PgConnection::needsPassword(url); }

void MarkServerConnectionsAsTool() { toolConnections() = true; }

namespace {
QString deskAndUser(const StoreActor& actor)
{
    QString desk = actor.desk.trimmed();
    desk.replace(u' ', u'_');
    return (desk.isEmpty() ? QStringLiteral("?") : desk) + u' ' + actor.userName.trimmed();
}
} // namespace

QByteArray ServerDeskName(const StoreActor& actor)
{
    return PgConnection::applicationNameOf(QStringLiteral("Sennet desk ") + deskAndUser(actor));
}

QByteArray ServerListenerName(const StoreActor& actor)
{
    return PgConnection::applicationNameOf(QStringLiteral("Sennet listener ") + deskAndUser(actor));
}

QString ServerDeskOf(const QString& applicationName)
{
    static const QString prefix = QStringLiteral("Sennet desk ");
    if (!applicationName.startsWith(prefix))
        return QString();
    const QString rest = applicationName.mid(prefix.size());
    const qsizetype blank = rest.indexOf(u' ');
    const QString desk = blank < 0 ? rest : rest.left(blank);
    const QString user = blank < 0 ? QString() : rest.mid(blank + 1).trimmed();
    if (desk.isEmpty())
        return QString();
    return user.isEmpty() ? desk : QStringLiteral("%1 (%2)").arg(desk, user);
}

void MergeChange(QList<CitationChange>& batch, const CitationChange& change)
{
    using K = CitationChange::Kind;
    if (!batch.isEmpty() && batch.front().kind == K::Many)
        return;
    if (change.kind == K::Many) {
        batch = {change};
        return;
    }
    for (CitationChange& earlier : batch) {
        if (earlier.key != change.key)
            continue;
        // An addition not yet told stays one; a deletion ends the story.
        if (earlier.kind == K::Deleted || change.kind == K::Deleted)
            earlier.kind = K::Deleted;
        else if (earlier.kind != K::Added)
            earlier.kind = change.kind;
        earlier.version = qMax(earlier.version, change.version);
        return;
    }
    batch.append(change);
}

std::vector<ServerStatement> ServerSearchStatements(const SearchSettings& search)
{
    const SearchStatements statements = searchStatements(search);
    std::vector<ServerStatement> out;
    if (!statements.candidates.none)
        out.push_back(statements.confirmed);
    if (statements.candidates.decides)
        out.push_back(statements.decided);
    if (!statements.containingWords.sql.isEmpty()) {
        // The rows of the phrase's own word, as when it stands only alone.
        ServerStatement byWords = statements.byWords;
        byWords.values = {PgValue::text(statements.candidates.word)};
        out.push_back(statements.containingWords);
        out.push_back(byWords);
    }
    return out;
}
