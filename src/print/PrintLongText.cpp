#include "print/PrintLongText.h"

#include "platform/ApplicationTitle.h"
#include "platform/Messages.h"
#include "platform/Printer.h"
#include "print/PrintJob.h"

namespace {

constexpr double Margin = 1.0;           // left and top of the text
constexpr double TextTopUnderHeading = 1.5;
constexpr double LastLineDepth = 8.8;    // below this the page is closed
constexpr double PageNumberDepth = 9.2;
constexpr double PageNumberLeft = 6.0;

} // namespace

void PrintWrappedCharacter(Printer& p, const QString& text, qsizetype& i)
{
    if (text.mid(i, 2) == CRLF) {
        p.endLine();
        ++i;
    } else {
        p.print(text.mid(i, 1), false);
    }
    if (p.currentX() > 6.5 && (text.at(i) == u' ' || p.currentX() > 8.0))
        p.endLine();
}

void PrintLongTextPages(Printer& p, const QString& text, const QString& heading, bool underlineHeading,
                        bool centerHeading, bool headingOnEveryPage)
{
    qint16 page = 0;
    bool newPageDue = true;
    const qsizetype length = text.size();
    for (qsizetype i = 0; i < length; ++i) {
        if (p.currentY() < Margin)
            p.setCurrentY(Margin);
        if (p.currentX() < Margin)
            p.setCurrentX(Margin);
        if (newPageDue) {
            newPageDue = false;
            ++page;
            if (!heading.isEmpty() && (headingOnEveryPage || page == 1)) {
                PrintFont font = p.font();
                if (underlineHeading) {
                    font.underline = true;
                    p.setFont(font);
                }
                if (centerHeading)
                    p.setCurrentX(p.pageWidth() / 2 - p.textWidth(heading) / 2);
                p.print(heading, true);
                if (font.underline) {
                    font.underline = false;
                    p.setFont(font);
                }
                p.setCurrentY(TextTopUnderHeading);
                p.setCurrentX(Margin);
            }
        }
        PrintWrappedCharacter(p, text, i);

        const bool more = i + 1 < length;
        if (!more || (p.currentY() > LastLineDepth && more)) {
            if (page > 1) {
                p.endLine();
                p.setCurrentY(PageNumberDepth);
                p.setCurrentX(PageNumberLeft);
                p.print(QStringLiteral("(page %1)").arg(page), true);
            }
            if (more) {
                p.newPage();
                newPageDue = true;
            }
        }
    }
}

void PrintLongText(QWidget* owner, const QString& text, const QString& heading, bool underlineHeading,
                   bool centerHeading, bool headingOnEveryPage)
{
    const QString title = heading.isEmpty() ? ApplicationTitle() : heading;
    RunPrintJob(owner, title, [&](Printer& p) {
        PrintLongTextPages(p, text, heading, underlineHeading, centerHeading, headingOnEveryPage);
    });
}
