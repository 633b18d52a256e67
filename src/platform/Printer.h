#pragma once
// The "current position" printer the printouts are written against. Every
// measure is in inches from the top-left corner of the page.
#include <QString>

struct PrintFont {
    QString name = QStringLiteral("Arial");
    double size = 10.0; // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

class Printer {
public:
    virtual ~Printer() = default;
    // Starts a document; false when there is nothing to print on (the user
    // cancelled, or no printer and no file could be opened).
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
    virtual double pageWidth() const = 0;
    virtual double pageHeight() const = 0;
    virtual void newPage() = 0;
    virtual void endDocument() = 0;
};

Printer& printer();
void setPrinter(Printer* p); // tests; nullptr restores the real printer

// Start-up prepares the printer's measuring unit; this printer always works in
// inches, so there is nothing that can fail.
void SetPrinterUnitToInches();
