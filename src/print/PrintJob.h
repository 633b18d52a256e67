#pragma once
// One document on the printer seam, from a window: the user picks where it
// goes, the window is disabled with the wait pointer while the pages are
// made, and whatever went wrong is told in a message box. The window ends
// enabled with the normal pointer on every path.
#include <QString>
#include <functional>

class Printer;
class QWidget;

// Runs `body` between the beginning and the end of a document titled
// `title`. Returns true only when the document was delivered; false when
// the user cancelled the choice of output or an error was reported. When
// `stopped` answers true after the body ran, the document is dropped
// without a word (the user stopped it).
bool RunPrintJob(QWidget* owner, const QString& title, const std::function<void(Printer&)>& body,
                 const std::function<bool()>& stopped = {});

// The message shown when a printout failed: what happened and why.
QString PrintFailureText(const QString& reason);
