#pragma once
// Reading CSV files as spreadsheets and other programs write them: RFC 4180
// (cells separated by commas, quoted cells with doubled quotes and line
// breaks inside), rows ended by CR LF, LF or CR, in UTF-8 (with or without a
// byte-order mark) or, when the bytes are not UTF-8, Windows-1252.
//
// Whatever the file holds, reading ends in a table or a message, without
// hanging and without taking more memory than a citation list needs: a row
// longer than MaxRowBytes or a file larger than MaxFileBytes is refused as
// soon as it is seen, and so is a NUL byte (no text file holds one).
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace CsvTable {

// Far above any row of citations (every field at full width, quoted, in
// UTF-8, with columns of other programs beside them).
inline constexpr qint64 MaxRowBytes = 1 << 20;
inline constexpr qint64 MaxFileBytes = qint64(2) << 30;

// The rows of a file (the header first; empty lines left out). The cells are
// kept as the file's bytes in one block and turned into text a row at a time,
// so a large file costs little more memory than its size.
struct Table {
    qsizetype rowCount() const { return rowEnds.size(); }
    QStringList row(qsizetype i) const;
    // The line of the file row i starts on, from 1.
    qint64 line(qsizetype i) const { return lines.value(i); }
    bool utf8 = true; // false: read as Windows-1252

    QByteArray text;            // every cell's bytes, back to back
    QList<qsizetype> cellEnds;  // where each cell ends in text
    QList<qsizetype> rowEnds;   // how many cells there are up to the end of each row
    QList<qint64> lines;
};

// Reports how far reading has come (bytes of `total`); returning false stops
// the reading, which then fails with an empty message.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// Parses the bytes of a whole file. False with `error` (a sentence naming
// the line) when they are not CSV.
bool parse(QByteArrayView bytes, Table& table, QString& error);

// Reads and parses a file in blocks. False with `error` naming the file
// and the reason.
bool read(const QString& path, Table& table, QString& error, const Progress& progress = {});

} // namespace CsvTable
