#include "print/CitationSheet.h"

#include "platform/Clock.h"
#include "platform/Messages.h"
#include "platform/Printer.h"
#include "print/PrintJob.h"
#include "print/PrintLongText.h"
#include "store/DateValue.h"

namespace {

constexpr double LeftEdge = 1.0; // every line starts 1 inch from the left
constexpr double TopEdge = 1.0;
constexpr int NotesField = 48;
const QString Gap = QStringLiteral("   ");

QString label(int n) { return EditorLayout::fieldLabel(n); }

// A field item: the label, ": " and the field's text.
QString item(const EditorValues& v, int n) { return label(n) + QStringLiteral(": ") + v[n]; }

// The items of fields first..last, each followed by three blanks.
QString sharedLine(const EditorValues& v, int first, int last)
{
    QString line;
    for (int n = first; n <= last; ++n)
        line += item(v, n) + Gap;
    return line;
}

QString yesNo(const EditorValues& v, CheckBox c) { return v[c] ? QStringLiteral("Yes") : QStringLiteral("No"); }

QString checkItem(const EditorValues& v, CheckBox c)
{
    return QString::fromLatin1(EditorLayout::checkBox(c).caption) + QStringLiteral(": ") + yesNo(v, c);
}

// The caption a group prints: the first of the earlier choices that is
// selected, else the last choice (which is never tested itself).
int printedChoice(const EditorValues& v, OptionGroup g)
{
    const int count = EditorLayout::optionGroup(g).choiceCount;
    for (int choice = 1; choice < count; ++choice)
        if (v[g] == choice)
            return choice;
    return count;
}

QString choiceCaption(OptionGroup g, int choice)
{
    return QString::fromLatin1(EditorLayout::optionGroup(g).captions[size_t(choice - 1)]);
}

QString printedCaption(const EditorValues& v, OptionGroup g) { return choiceCaption(g, printedChoice(v, g)); }

// The impaired-driving test is the one group printed only when a choice is
// selected; with none the line ends after ", tested using ".
QString testCaption(const EditorValues& v)
{
    const int count = EditorLayout::optionGroup(OptionGroup::Test).choiceCount;
    const int choice = v[OptionGroup::Test];
    return choice >= 1 && choice <= count ? choiceCaption(OptionGroup::Test, choice) : QString();
}

void printLine(Printer& p, const QString& text)
{
    p.setCurrentX(LeftEdge);
    p.print(text, true);
}

// The road conditions, each under the caption of its frame on the record
// view (blanks included), in the order the sheet lists them.
struct Condition {
    const char* heading;
    OptionGroup group;
};
constexpr Condition Conditions[] = {
    {" Weather ", OptionGroup::Weather}, {" Traffic ", OptionGroup::Traffic},
    {" Road ", OptionGroup::RoadDry},    {" Type ", OptionGroup::RoadType},
    {" Lighting ", OptionGroup::Lighting},
};

// The lines that follow the last field of a group of the record view
// whether or not any field of that group was printed.
void printAdditionalLines(Printer& p, const EditorValues& v, int cursor)
{
    switch (cursor) {
    case 23:
        printLine(p, checkItem(v, CheckBox::CommercialVehicle));
        break;
    case 33: {
        printLine(p, checkItem(v, CheckBox::Accident) + Gap + checkItem(v, CheckBox::CommercialViolation) + Gap
                         + checkItem(v, CheckBox::HazMatViolation));
        QString speeding = QString::fromLatin1(EditorLayout::checkBox(CheckBox::Speeding).caption) + QStringLiteral(": ");
        if (v[CheckBox::Speeding]) {
            const int method = printedChoice(v, OptionGroup::Speeding);
            speeding += QStringLiteral("Yes, measured by ") + choiceCaption(OptionGroup::Speeding, method);
            if (method == 3)
                speeding += QStringLiteral(" means");
        } else {
            speeding += QStringLiteral("No");
        }
        printLine(p, speeding);
        break;
    }
    case 35: {
        QString dui = QString::fromLatin1(EditorLayout::checkBox(CheckBox::DUI).caption) + QStringLiteral(": ");
        dui += v[CheckBox::DUI] ? QStringLiteral("Yes, tested using ") + testCaption(v) : QStringLiteral("No");
        printLine(p, dui);
        break;
    }
    case 40: {
        QStringList conditions;
        for (const Condition& c : Conditions)
            conditions << QString::fromLatin1(c.heading) + QStringLiteral(": ") + printedCaption(v, c.group);
        printLine(p, conditions.join(Gap));
        printLine(p, QStringLiteral("On-scene disposition: ") + printedCaption(v, OptionGroup::SceneDisposition));
        break;
    }
    default:
        break;
    }
}

void printBody(Printer& p, const EditorValues& v)
{
    for (int n = 1; n <= 47; ++n) {
        if (!v[n].trimmed().isEmpty()) {
            QString line;
            switch (n) {
            case 1: case 3: case 5: case 7: case 9: case 34: case 44:
                line = sharedLine(v, n, n + 1);
                n += 1;
                break;
            case 14:
                line = sharedLine(v, 14, 19);
                n = 19;
                break;
            case 20:
                line = sharedLine(v, 20, 23);
                n = 23;
                break;
            case 24:
                line = sharedLine(v, 24, 28);
                n = 28;
                break;
            case 29: case 41:
                line = sharedLine(v, n, n + 2);
                n += 2;
                break;
            case 32:
                line = item(v, 32) + Gap + item(v, 33) + QStringLiteral("   (")
                       + printedCaption(v, OptionGroup::StateLocal) + QStringLiteral(" Vio.)");
                n = 33;
                break;
            case 39:
                line = label(39).left(11) + QStringLiteral(": ") + v[39] + QStringLiteral(" / ") + v[40];
                n = 40;
                break;
            default:
                line = item(v, n);
                break;
            }
            printLine(p, line);
        }
        printAdditionalLines(p, v, n);
    }
}

// The notes, character by character: a line breaks after the first blank
// printed past 6.5 inches, a word still running at 8 inches is broken there,
// and the notes' own line breaks (CR LF) are kept.
void printNotes(Printer& p, const QString& notes)
{
    const qsizetype length = notes.size();
    for (qsizetype i = 0; i < length; ++i) {
        if (p.currentX() < LeftEdge)
            p.setCurrentX(LeftEdge);
        PrintWrappedCharacter(p, notes, i);
    }
}

} // namespace

QString CitationTitle(const EditorValues& values) { return label(2) + u' ' + values[2]; }

void PrintCitationSheet(Printer& p, const EditorValues& v, bool withNotes, const QDateTime& printedOn)
{
    p.setFont(PrintFont{});

    p.setCurrentX(LeftEdge);
    p.setCurrentY(TopEdge);
    p.print(QStringLiteral("Printout of  ") + CitationTitle(v), true);
    // The date in the numeric order the screen shows, so the paper reads as the screen does.
    const DateValue moment = ToDateValue(printedOn);
    printLine(p, QStringLiteral("printed on ") + FormatNumericDate(moment) + FormatDateValue(moment, QStringLiteral(" hh:mm")));
    p.endLine();

    printBody(p, v);

    p.endLine();
    p.endLine();
    if (withNotes) {
        p.setCurrentX(LeftEdge);
        PrintFont underlined;
        underlined.underline = true;
        p.setFont(underlined);
        p.print(QStringLiteral("Notes on this citation..."), true);
        p.setFont(PrintFont{});
        p.endLine();
        printNotes(p, v[NotesField]);
    }
}

bool PrintCitation(QWidget* owner, const EditorValues& values, bool* notesPrinted)
{
    const QString title = CitationTitle(values);
    bool withNotes = false;
    if (!values[NotesField].trimmed().isEmpty()) {
        const int answer = MsgBox(QStringLiteral("Print the 'Notes' section also?"),
                                  Msg::YesNoCancel | Msg::Question, title);
        if (answer != Msg::Yes && answer != Msg::No)
            return false; // Cancel, or the box closed

        withNotes = answer == Msg::Yes;
    }
    if (MsgBox(QStringLiteral("Ready to Print.") + CRLF + CRLF + QStringLiteral("Proceed?"), Msg::YesNo | Msg::Question,
               title)
        != Msg::Yes)
        return false;
    if (notesPrinted)
        *notesPrinted = withNotes;
    return RunPrintJob(owner, title, [&](Printer& p) { PrintCitationSheet(p, values, withNotes, Now()); });
}
