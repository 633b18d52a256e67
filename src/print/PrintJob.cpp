#include "print/PrintJob.h"

#include "platform/Messages.h"
#include "platform/Printer.h"
#include "widgets/BusyGuard.h"

QString PrintFailureText(const QString& reason)
{
    QString text = QStringLiteral("The printout could not be finished.");
    if (!reason.isEmpty())
        text += CRLF + CRLF + reason;
    return text;
}

bool RunPrintJob(QWidget* owner, const QString& title, const std::function<void(Printer&)>& body)
{
    Printer& p = printer();
    QString failure;
    {
        BusyGuard busy(owner);
        if (!p.beginDocument(title)) {
            failure = p.lastError();
            if (failure.isEmpty())
                return false; // the user cancelled: nothing to tell
        } else {
            body(p);
            if (p.endDocument())
                return true;
            failure = p.lastError();
            if (failure.isEmpty())
                failure = QStringLiteral("The printer reported an error.");
        }
    }
    // Told after the window is enabled again, so the message box is not
    // shown over a window that still shows the wait pointer.
    MsgBox(PrintFailureText(failure), Msg::OKOnly | Msg::Critical);
    return false;
}
