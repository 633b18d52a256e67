#pragma once
// The subcommands of sennet-data. Each runs in the current folder (the data
// folder), writes its result to `out` and its complaints to `err`, and
// returns the exit status: 0 clean or done, 1 problems found or failed.
#include <QDate>
#include <QTextStream>

namespace SennetData {

enum Status { Clean = 0, Problems = 1, Usage = 2 };

int verify(QTextStream& out, QTextStream& err);
// The reading commands name each damaged citation record on `err` and return
// Problems when there is one; dump, export-csv and stats leave damaged records
// out of their output unless includeDamaged.
int dumpCitations(bool includeDamaged, QTextStream& out, QTextStream& err);
int dumpUsers(QTextStream& out, QTextStream& err);
// `output` empty or "-": standard output.
int exportCsv(bool everyField, bool includeDamaged, const QString& output, QTextStream& out, QTextStream& err);
int convert(QTextStream& out, QTextStream& err);
// Adds the ready rows of a CSV file (the form Export List writes with every
// field) to the data file in one step; rows refused or of a number already
// on file are named on `err` and left out (status Problems).
int importCsv(const QString& file, QTextStream& out, QTextStream& err);
int stats(const QDate& from, const QDate& to, bool includeDamaged, QTextStream& out, QTextStream& err);

} // namespace SennetData
