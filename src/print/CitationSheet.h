#pragma once
// The printed sheet of one citation: a header naming the citation and the
// moment of printing, then every filled field of the record view with related
// fields sharing a line, the check boxes and option groups in words, and at
// the end, when asked for, the notes word-wrapped.
#include "store/EditorValues.h"

#include <QDateTime>
#include <QString>

class Printer;
class QWidget;

// "Citation Number" (the caption of the citation number's label), a blank and
// the citation number: the caption of the prompts and the first printed line.
QString CitationTitle(const EditorValues& values);

// Prints the sheet of `values` on an open document, beginning at the top of
// the page; the notes follow only with `withNotes`.
void PrintCitationSheet(Printer& p, const EditorValues& values, bool withNotes, const QDateTime& printedOn);

// The print command of the record view: asks whether to print the notes (only
// when there are any) and whether to go ahead, then prints the sheet with
// `owner` disabled. Nothing is printed after Cancel or No. True when the
// sheet was delivered, `withNotes` (when given) then saying whether the
// notes were printed.
bool PrintCitation(QWidget* owner, const EditorValues& values, bool* withNotes = nullptr);
