#include "print/PrintJob.h"

#include "platform/Messages.h"
#include "platform/Printer.h"
#include "widgets/BusyGuard.h"

#include <QDir>

QString PrintFailureText(const QString& reason)
{
    QString text = QStringLiteral("The printout could not be finished.");
    if (!reason.isEmpty())
        text += CRLF + CRLF + reason;
    return text;
}

bool RunPrintJob(QWidget* owner, const QString& title, const std::function<void(Printer&)>& body,
                 const std::function<bool()>& stopped)
{
    Printer& p = printer();
    QString failure;
    QString saved;
    {
        BusyGuard busy(owner);
        if (!p.beginDocument(title)) {
            failure = p.lastError();
            if (failure.isEmpty())
                return false; // the user cancelled: nothing to tell
        } else {
            body(p);
            if (stopped && stopped()) {
                p.abortDocument();
                return false;
            }
            if (p.endDocument()) {
                saved = p.savedFile();
            } else {
                failure = p.lastError();
                if (failure.isEmpty())
                    failure = QStringLiteral("The printer reported an error.");
            }
        }
    }
    // Told after the window is enabled again, so the message box is not
    // shown over a window that still shows the wait pointer.
    if (failure.isEmpty()) {
        if (!saved.isEmpty())
            MsgBox(QStringLiteral("The printout was saved as") + CRLF + CRLF + QDir::toNativeSeparators(saved),
                   Msg::OKOnly | Msg::Information, title);
        return true;
    }
    MsgBox(PrintFailureText(failure), Msg::OKOnly | Msg::Critical);
    return false;
}
