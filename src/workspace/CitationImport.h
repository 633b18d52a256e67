#pragma once
// Citations brought in from a CSV file: the file Export List writes (every
// field), or one a spreadsheet or a handheld device makes with the same
// column headings. Each row is converted and checked exactly as a citation
// typed into the editor; nothing is written until the user has seen every
// row's state and confirms, and then all chosen rows reach the store in one
// step, or none do.
#include "store/CsvTable.h"
#include "store/FileError.h"

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

class CitationStore;

// Where imported citations go. The data folder is one such store; another
// (a shared server) offers the same two calls.
class CitationImportStore {
public:
    virtual ~CitationImportStore() = default;
    // The citation numbers on file, as CitationNumberIndex::normalised gives
    // them. False with `error` when they could not be read.
    virtual bool citationNumbers(QSet<QString>& numbers, FileError& error) = 0;
    // Adds the `count` records (recordAt(i), 3000 bytes each) after the
    // citations on file: all of them, or, on failure, none.
    virtual bool appendAll(qint64 count, const std::function<const char*(qint64 i)>& recordAt, FileError& error) = 0;
};

// The citation data file of the data folder.
class DataFolderImportStore final : public CitationImportStore {
public:
    explicit DataFolderImportStore(QString fileName = QString());
    bool citationNumbers(QSet<QString>& numbers, FileError& error) override;
    bool appendAll(qint64 count, const std::function<const char*(qint64 i)>& recordAt, FileError& error) override;

private:
    QString m_fileName;
};

// The citations of the storage in use: the data folder's or a server's.
class StorageImportStore final : public CitationImportStore {
public:
    explicit StorageImportStore(CitationStore& store)
        : m_store(store)
    {
    }
    bool citationNumbers(QSet<QString>& numbers, FileError& error) override;
    // All through the store's addAll, so a server takes them in one transaction.
    bool appendAll(qint64 count, const std::function<const char*(qint64 i)>& recordAt, FileError& error) override;

private:
    CitationStore& m_store;
};

enum class ImportState {
    Ready,
    DuplicateOnFile, // its citation number is on file already
    DuplicateInFile, // an earlier row of the file has its citation number
    Refused,
};

struct ImportRow {
    qint64 line = 0; // where the row begins in the file (the header is line 1)
    ImportState state = ImportState::Ready;
    QString citationNumber;
    QString offenseDate; // as the file gives it
    QString codeSection;
    QString field;   // refused: the column at fault
    QString message; // refused: why; a duplicate: what it duplicates
    qint64 record = -1; // its record among the preview's records, -1 when refused
};

struct ImportPreview {
    QString fileName; // the file's name, without its folder
    QString path;     // the whole path of the file read (empty for a table given)
    QStringList ignoredColumns; // headings no field has (or a heading's repetition)
    bool utf8 = true;
    QList<ImportRow> rows;
    QByteArray records; // the records of the rows not refused, 3000 bytes each
    int count(ImportState state) const;
};

struct ImportContext {
    QDateTime now;    // Date and Time Entered of every imported citation
    QString enteredBy; // Entered by, where the file leaves it empty
};

namespace CitationImport {
// How far a preview has come, 0 to 100; returning false stops it.
using Progress = std::function<bool(int percent)>;
// Reads and checks every row of `path`. False with `error` (empty when the
// progress callback stopped it) when the file cannot be imported at all.
bool preview(const QString& path, CitationImportStore& store, const ImportContext& context, ImportPreview& out,
             QString& error, const Progress& progress = {});
// The same for a table already read (the file's name given for messages).
bool previewTable(const CsvTable::Table& table, const QString& fileName, const QSet<QString>& numbersOnFile,
                  const ImportContext& context, ImportPreview& out, QString& error,
                  const Progress& progress = {});
// Adds the ready rows, and the duplicates of `alsoRows` (indexes into
// preview.rows), to the store in one step, with Date and Time Entered the
// moment `now`, recorded in the audit trail. Returns the number of
// citations added, or -1 with `error` (the trail's when it refused the entry).
qint64 commit(CitationImportStore& store, const ImportPreview& preview, const QSet<int>& alsoRows,
              const QDateTime& now, FileError& error);
} // namespace CitationImport
