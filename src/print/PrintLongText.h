#pragma once
// A long text printed with word wrap: an optional heading (underlined and
// centred when asked, on the first or on every page), lines broken after a
// blank past 6.5 inches or inside a word at 8 inches, the text's own CR LF
// breaks kept, and "(page N)" at the foot of every page after the first.
// The printer's font is used as the caller set it.
#include <QString>

class Printer;
class QWidget;

// One step of that wrap, for any text printed character by character: prints
// the character at i, or ends the line at a CR LF pair (leaving i on its LF),
// then ends the line after a blank past 6.5 inches or anything past 8 inches.
void PrintWrappedCharacter(Printer& p, const QString& text, qsizetype& i);

// Prints on an open document.
void PrintLongTextPages(Printer& p, const QString& text, const QString& heading, bool underlineHeading,
                        bool centerHeading, bool headingOnEveryPage);

// The whole job, with `owner` disabled and the wait pointer while it prints.
void PrintLongText(QWidget* owner, const QString& text, const QString& heading, bool underlineHeading,
                   bool centerHeading, bool headingOnEveryPage);
