#include "print/ListPrintout.h"

#include "platform/ApplicationTitle.h"
#include "platform/Clock.h"
#include "platform/Messages.h"
#include "platform/Printer.h"
#include "print/PrintJob.h"
#include "store/DateValue.h"

#include <QLocale>
#include <QRegularExpression>

namespace {

constexpr double LeftEdge = 1.0;
constexpr double TopEdge = 1.0;
constexpr double LastLineDepth = 9.0; // a row ending below this closes the page
constexpr int RowsPerPage = 50;       // for the estimate only
constexpr int LocationWidth = 53;
constexpr std::array<int, 3> Columns = {31, 48, 73}; // print columns of cells 1..3

// The longest start of `text` that ends before the right margin when
// printed at the current position.
QString fittingStart(const Printer& p, QString text)
{
    const double room = p.printableRight() - p.currentX();
    while (!text.isEmpty() && p.textWidth(text) > room)
        text.chop(1);
    return text;
}

// The location, the last column, is cut at its field width or where the
// paper ends, whichever comes first: a long location of capitals at print
// column 73 runs past the edge of the paper well before its 53rd character.
void printColumns(Printer& p, const ListPrintRow& cells)
{
    p.setCurrentX(LeftEdge);
    p.print(cells[0], false);
    for (size_t c = 1; c < cells.size(); ++c) {
        p.tabToColumn(Columns[c - 1]);
        p.print(c == 3 ? fittingStart(p, cells[c].left(LocationWidth)) : cells[c], false);
    }
    p.endLine();
}

} // namespace

QString ListPrintQuestion(int gridRows)
{
    const QString estimate = gridRows <= RowsPerPage
                                 ? QStringLiteral("about one page to print.")
                                 : QStringLiteral("about %1 pages.").arg((gridRows + RowsPerPage - 1) / RowsPerPage);
    return QStringLiteral("This printjob will take") + CRLF + estimate + CRLF + CRLF
           + QStringLiteral("Are you ready to print?");
}

QString ListHeaderDateTime(const QDateTime& moment)
{
    const QLocale locale;
    // The long time format names the time zone; the header shows the time only.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b\\s*"))).squeeze();
    // The date as the citation sheet and the screen show it: four-digit year,
    // in the order of the regional settings.
    return FormatNumericDate(ToDateValue(moment)) + u' ' + locale.toString(moment.time(), timeFormat.trimmed());
}

void PrintListPages(Printer& p, const QList<ListPrintRow>& rows, const QString& listCaption, const QDateTime& printedOn,
                    const ProgressFn& progress)
{
    p.setFont(PrintFont{});
    qint16 page = 0;
    bool headerDue = true;
    const QString dateTime = ListHeaderDateTime(printedOn);
    for (qsizetype r = 0; r < rows.size(); ++r) {
        if (progress && !progress(r, rows.size()))
            return;
        if (headerDue) {
            headerDue = false;
            ++page;
            p.setCurrentX(LeftEdge);
            p.setCurrentY(TopEdge);
            p.print(ApplicationTitle() + QStringLiteral(" List -- ") + listCaption + QStringLiteral(" -- Page ")
                        + QString::number(page) + QStringLiteral(", ") + dateTime,
                    true);
            p.endLine();
            PrintFont underlined;
            underlined.underline = true;
            p.setFont(underlined);
            printColumns(p, {QStringLiteral("Date"), QStringLiteral("Citation#"), QStringLiteral("Offense Code"),
                             QStringLiteral("Location")});
            p.setFont(PrintFont{});
        }
        printColumns(p, rows[r]);
        if (p.currentY() > LastLineDepth + 1e-9 && r < rows.size() - 1) { // past it, not merely at it
            p.newPage();
            headerDue = true;
        }
    }
}

bool PrintCitationList(QWidget* owner, const QList<ListPrintRow>& rows, const QString& listCaption)
{
    // The grid counts its heading row too.
    const int gridRows = int(rows.size()) + 1;
    if (MsgBox(ListPrintQuestion(gridRows), Msg::YesNoCancel | Msg::Question, QStringLiteral("Print List")) != Msg::Yes)
        return false;
    bool stopped = false;
    return RunPrintJob(
        owner, ApplicationTitle() + QStringLiteral(" List"),
        [&](Printer& p) {
            Progress progress(QStringLiteral("Print List"), QStringLiteral("Printing the list..."), true);
            PrintListPages(p, rows, listCaption, Now(), progress.fn());
            stopped = progress.cancelled();
        },
        [&] { return stopped; });
}
