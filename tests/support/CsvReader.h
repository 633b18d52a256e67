#pragma once
// A small, strict RFC 4180 reader for checking exported files: fields
// separated by commas, rows ended by CR LF, quoted fields with doubled
// quotes inside and line breaks kept. The byte-order mark is required.
#include <QByteArray>
#include <QList>
#include <QStringList>

struct CsvParse {
    bool ok = false;
    QString error;
    QList<QStringList> rows; // the header first
};

CsvParse ParseCsv(const QByteArray& bytes);
