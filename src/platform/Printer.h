#pragma once
// The "current position" printer the printouts are written against. Every
// measure is in inches from the top-left corner of the paper.
//
// A printout opens a document, moves the position and prints texts that
// either stay on the line or end it, and ends the document. A line that would
// reach below the printable area is carried onto a new page, where printing
// goes on at the top margin (1 inch), so no printout loses text at the foot of
// a page even where it never starts a page itself.
#include <QString>

struct PrintFont {
    QString name = QStringLiteral("Arial");
    double size = 10.0; // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    friend bool operator==(const PrintFont&, const PrintFont&) = default;
};

class Printer {
public:
    virtual ~Printer() = default;
    // Starts a document. The user picks where it goes (the printer, a preview
    // or a PDF file). False when nothing is to be printed: the user cancelled
    // (lastError() empty) or the output could not be prepared (lastError()
    // says why).
    virtual bool beginDocument(const QString& title) = 0;
    virtual void setFont(const PrintFont& font) = 0;
    virtual PrintFont font() const = 0;
    virtual double currentX() const = 0;
    virtual double currentY() const = 0;
    virtual void setCurrentX(double inches) = 0;
    virtual void setCurrentY(double inches) = 0;
    // Prints text at the current position. With endLine the position moves to
    // the start of the next line (x = 0), otherwise it stays after the text.
    virtual void print(const QString& text, bool endLine = true) = 0;
    virtual double textWidth(const QString& text) const = 0;
    virtual double textHeight() const = 0;
    // The width of an average character of the current font: one print column.
    virtual double averageCharWidth() const = 0;
    virtual double pageWidth() const = 0;
    virtual double pageHeight() const = 0;
    // How far from the left edge a line may reach: the paper's width less the
    // right margin (or the device's own, where that is wider).
    virtual double printableRight() const = 0;
    virtual void newPage() = 0;
    // Ends the document and delivers it. False when the printer, the preview
    // or the file reported an error; lastError() then says what went wrong.
    virtual bool endDocument() = 0;
    // Drops the document begun: nothing more reaches the printer and a PDF
    // file is not written (an earlier file of its name stays). A printer
    // that cannot take pages back ends the document as it stands.
    virtual void abortDocument() { endDocument(); }
    virtual QString lastError() const = 0;
    // The PDF file the last delivered document was saved to; empty when it
    // went to the printer or was only looked at.
    virtual QString savedFile() const { return QString(); }

    // Ends the line without text.
    void endLine() { print(QString(), true); }
    // Moves to print column `column` of the current font (column 1 is the left
    // edge of the paper). Where the text already reaches past that column,
    // the position moves on by one blank so that columns never run together.
    void tabToColumn(int column);
};

// A line whose foot would come below this distance from the bottom edge of
// the paper goes onto the next page (unless the device needs a wider margin).
constexpr double PrintBottomMargin = 0.5;
// Text that reaches closer than this to the right edge of the paper runs
// off the printable area (unless the device needs a wider margin).
constexpr double PrintRightMargin = 0.5;
// Where printing goes on after a line was carried onto a new page.
constexpr double PrintTopMargin = 1.0;

Printer& printer();
void setPrinter(Printer* p); // tests; nullptr restores the real printer

// Where a document goes; the user's choice when it starts.
enum class PrintDestination { Cancel, Printer, Preview, PdfFile };

// The window-level choices of a print job, behind a seam so that tests can
// script them.
class PrintOutputChooser {
public:
    virtual ~PrintOutputChooser() = default;
    // Asks where the document `title` goes. Without an installed printer the
    // printer is not offered and the preview is the suggested choice.
    virtual PrintDestination chooseDestination(const QString& title, bool printerInstalled) = 0;
    // Asks for the PDF file to write; empty when the user cancelled.
    virtual QString pdfFileName(const QString& suggested) = 0;
};

PrintOutputChooser& printOutputChooser();
void setPrintOutputChooser(PrintOutputChooser* chooser); // tests; nullptr restores the dialogs

// Start-up prepares the printer's measuring unit; this printer always works in
// inches, so there is nothing that can fail.
void SetPrinterUnitToInches();
