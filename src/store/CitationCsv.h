#pragma once
// Citations as CSV for spreadsheets, courts and state reports: RFC 4180
// (fields quoted where needed, rows ended by CR LF), UTF-8 with a byte-order
// mark so that spreadsheets take it for UTF-8, and one header row.
//
// Dates are written yyyy-mm-dd and times hh:mm whatever the regional
// settings, so every spreadsheet reads them as dates; option groups show the
// caption of their choice and check boxes "Yes" or "No". A cell a spreadsheet
// would run as a formula gets a leading apostrophe, so it shows as text.
#include "platform/Progress.h"
#include "store/CitationSource.h"
#include "store/FileError.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class CitationFileView;

enum class CsvColumns {
    Listed, // the four columns of the list: date, citation number, offense, location
    Every,  // every field of the citation, in the order of the record
};

namespace CitationCsv {
// The UTF-8 byte-order mark that starts every file.
QByteArray byteOrderMark();
QStringList header(CsvColumns columns);
QStringList cells(const char* record, CsvColumns columns);
// One cell as it goes into the file: made inert when it would start a
// formula, quoted when it holds a quote, a comma or a line break.
QString cell(const QString& value);
// A row of cells, ended by CR LF, in UTF-8.
QByteArray row(const QStringList& cells);
} // namespace CitationCsv

// Writes the CSV of the given records, in the given order, to `sink` in
// pieces of moderate size. Stops at the first record that cannot be read
// (error names the data file) or the first piece the sink refuses (false
// from the sink; error is then left for the caller). `written` counts the
// citations written.
// `progress` is told the citations written; when it answers false the
// writing stops and false is returned with `error` empty.
bool WriteCitationCsv(CitationFileView& reader, const QList<int>& recNums, CsvColumns columns,
                      const std::function<bool(const QByteArray&)>& sink, FileError& error, int& written,
                      const ProgressFn& progress = {});
// The same with the records taken from `source`.
bool WriteCitationCsv(const CitationSource& source, const QList<int>& recNums, CsvColumns columns,
                      const std::function<bool(const QByteArray&)>& sink, FileError& error, int& written,
                      const ProgressFn& progress = {});

// Writes the CSV file `target` as a whole: a work file beside it is written,
// flushed and renamed over the target, so an earlier file of that name stays
// as it was when anything fails. Returns the number of citations written, or
// -1 with `error` naming the file at fault and the system's reason, or -1
// with `error` empty when `progress` asked to stop (the target untouched).
int ExportCitationCsvFile(const QString& target, const QList<int>& recNums, CsvColumns columns, FileError& error,
                          const QString& dataFile = QString(), const ProgressFn& progress = {});
// The same with the records taken from `source` rather than a data file.
int ExportCitationCsvFile(const QString& target, const QList<int>& recNums, CsvColumns columns,
                          const CitationSource& source, FileError& error, const ProgressFn& progress = {});
