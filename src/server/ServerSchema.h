#pragma once
// The server's tables, and the conversion between a table row and the
// folder's fixed-layout record.
//
// Every field of a record has a typed column: texts as varchar of the
// field's width holding only what Windows-1252 holds, dates and times as
// timestamps, numbers, check boxes and option groups as smallint. A record
// the folder can hold but a typed column cannot hold exactly (a NUL byte in
// a text, a date no calendar holds, a date-time finer than a microsecond)
// keeps the field's own bytes in the column "<name>_raw" beside it, which
// then wins. So a record goes to the server and back byte for byte, and a
// server can always be written back to a folder.
#include "server/PgConnection.h"
#include "store/CitationRecord.h"
#include "store/UserRecord.h"

#include <QByteArray>
#include <QStringList>
#include <optional>
#include <vector>

namespace ServerSchema {

// The schema this program works with; sennet-data server upgrade brings an
// older one up to it.
// Version 2 added the audit trail, version 3 the list's covering index and
// the index of the rows whose texts keep raw bytes, version 4 the
// notifications of every change to the citations, version 5 the words of
// all searched fields with their index, version 6 the list of every word
// those hold (WordListTable).
constexpr int CurrentVersion = 6;

// What the server tells the desks listening on Channel after each change to
// the citations: one payload per row, "<kind> <key> <version>" with kind
// "added", "changed" or "deleted", or "many" alone when a statement touched
// more than ManyRows rows or emptied the table. Anyone may notify on a
// channel: parse() takes nothing else.
namespace ChangeNotice {
inline const QByteArray Channel = "sennet_citations";
constexpr int ManyRows = 100;
struct Parsed {
    enum class Kind { Added, Changed, Deleted, Many } kind = Kind::Many;
    qint32 key = 0;
    qint64 version = 0;
};
std::optional<Parsed> parse(const QByteArray& payload);
} // namespace ChangeNotice

struct Column {
    QByteArray name; // the typed column
    QByteArray raw;  // its raw twin; empty for smallints, which hold every value
    int offset = 0;
    int width = 0;
    FieldType type = FieldType::Text;
};
using Columns = std::vector<Column>;

// "NCICNumber" -> "ncic_number", "OfficerID" -> "officer_id".
QByteArray ColumnName(const char* layoutName);
const Columns& CitationColumns();
const Columns& UserColumns();
// The columns of some fields only, in the order given.
Columns CitationColumnsOf(std::initializer_list<CitationField> fields);
// The fields a citation's list row is made of; an index holds them beside
// the key, so the list is read from it alone.
const Columns& ListColumns();

// "a, a_raw, b, ..." : what a SELECT or INSERT names, in column order.
QByteArray ColumnList(const Columns& columns);
// How many result or bound values the columns take.
int ValueCount(const Columns& columns);
// The record's fields as bound values, in ColumnList order. rawText, when
// given, is set when some text field needed its raw bytes.
void BindRecord(const Columns& columns, const char* record, std::vector<PgValue>& values, bool* rawText = nullptr);
// Writes the fields of result row `row`, whose columns start at `first` in
// ColumnList order, into `record`.
void ReadRecord(const Columns& columns, const PgResult& result, int row, int first, char* record);

// A date value as the server's microseconds since 2000-01-01, when it
// stands for a moment in the years 100 to 9999 (0, the empty date, does
// not); exact says whether the microseconds give back the same 8 bytes.
std::optional<qint64> TimestampOf(double value, bool* exact = nullptr);
double DateValueOf(qint64 micros);

// The SQL text the searched fields of a search scope are looked for in:
// each of the scope's parts joined with blanks, one per part. A trigram
// index lies over each part.
QList<QByteArray> SearchTexts(int scope);

// The stored column a search of all text looks in: the words (runs of
// letters and digits) of every searched text field, case folded as the
// program folds them (AnsiFold), each once. An index lies over it. Rows
// whose texts keep raw bytes hold no meaning there.
extern const char* const AllWordsColumn;
// Every word of the citations' word lists, each once, kept by the server as
// rows are added and changed (a word whose last citation has gone stays
// and finds nothing), with an index of the words' trigrams.
extern const char* const WordListTable;
// Windows-1252 bytes as the column holds them: folded, then decoded.
QString FoldedText(const QByteArray& bytes);

// What a database holds, for init, upgrade and opening.
struct Inspection {
    int version = 0;          // the Sennet schema version; 0 when none
    QStringList otherTables;  // tables that are not Sennet's
    QString encoding;         // the database's character set
    bool empty() const { return version == 0 && otherTables.isEmpty(); }
};
bool Inspect(PgConnection& pg, Inspection& inspection, QString& reason);

// Creates the schema in an empty database (one transaction per version).
// Refuses any other database, with `message` saying why; otherwise
// `message` says what was done. `upTo` stops at an earlier version (for
// showing an upgrade).
bool Init(PgConnection& pg, QString& message, int upTo = CurrentVersion);
// Brings a Sennet schema of an older version up to CurrentVersion, one
// transaction per version. Refuses a database that holds something else.
bool Upgrade(PgConnection& pg, QString& message);
// Whether the database holds the current Sennet schema; else `problem` says
// what to do ("run sennet-data server init").
bool ReadyForUse(PgConnection& pg, QString& problem);

} // namespace ServerSchema
