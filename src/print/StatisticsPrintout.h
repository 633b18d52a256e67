#pragma once
// The statistics of a list on paper: for each group a table of names and
// counts with a bar beside every count, under a heading naming the list, the
// range of dates and the moment of printing.
#include "store/CitationStatistics.h"

#include <QDateTime>
#include <QString>

class Printer;
class QWidget;

// Where each group's heading, rows and bars go: usable without a window.
void PrintStatisticsPages(Printer& p, const CitationStatistics& stats, const QString& listCaption,
                          const QDateTime& printedOn);
// Prints through the printer seam (printer, preview or PDF file, the user's
// choice); false when cancelled or failed (the user was told).
bool PrintStatistics(QWidget* owner, const CitationStatistics& stats, const QString& listCaption);
// "offense dates from 01/02/2006 to 12/30/2007" (either end may be open), or
// "all offense dates".
QString StatisticsRangeText(const QDate& from, const QDate& to);
