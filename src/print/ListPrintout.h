#pragma once
// The printed citation list: one line per row of the list on display (date,
// citation number, offense code, location) in four columns, under a header
// line that names the list and numbers the pages.
#include <QDateTime>
#include <QList>
#include <QString>
#include <array>

#include "platform/Progress.h"

class Printer;
class QWidget;

using ListPrintRow = std::array<QString, 4>; // the four visible cells of a list row

// The question asked before printing a grid of `gridRows` rows, its heading
// row included: "about one page to print." up to 50 rows, else "about N
// pages." with N the rows divided by 50, rounded up.
QString ListPrintQuestion(int gridRows);

// Prints the list on an open document. The date and time of the header line
// follow the regional settings (numeric date with a four-digit year, long
// time). The location is cut at 53 characters or at the right margin.
// `progress` is told the rows printed; when it answers false the printing
// stops there.
void PrintListPages(Printer& p, const QList<ListPrintRow>& rows, const QString& listCaption, const QDateTime& printedOn,
                    const ProgressFn& progress = {});

// The header's date and time: the date as the citation sheet prints it and
// the locale's long time.
QString ListHeaderDateTime(const QDateTime& moment);

// The list print command: asks the question and prints after Yes. True
// when the list was delivered.
bool PrintCitationList(QWidget* owner, const QList<ListPrintRow>& rows, const QString& listCaption);
