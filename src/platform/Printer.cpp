#include "platform/Printer.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <memory>

namespace {

// Paints on the default printer; with no printer installed the document goes
// to a PDF file in the data folder instead of failing.
class QtPrinter final : public Printer {
public:
    bool beginDocument(const QString& title) override
    {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_printer->setDocName(title);
        if (QPrinterInfo::defaultPrinter().isNull()) {
            m_printer->setOutputFormat(QPrinter::PdfFormat);
            m_printer->setOutputFileName(QStringLiteral("Printout.pdf"));
        }
        m_painter = std::make_unique<QPainter>();
        if (!m_painter->begin(m_printer.get())) {
            m_painter.reset();
            return false;
        }
        m_x = m_y = 0;
        applyFont();
        return true;
    }
    void setFont(const PrintFont& font) override
    {
        m_font = font;
        applyFont();
    }
    PrintFont font() const override { return m_font; }
    double currentX() const override { return m_x; }
    double currentY() const override { return m_y; }
    void setCurrentX(double inches) override { m_x = inches; }
    void setCurrentY(double inches) override { m_y = inches; }
    void print(const QString& text, bool endLine) override
    {
        if (m_painter) {
            const QFontMetricsF fm(m_painter->font(), m_printer.get());
            const double dpi = m_printer->resolution();
            const QRectF page = m_printer->pageRect(QPrinter::DevicePixel);
            m_painter->drawText(QPointF(m_x * dpi - page.left(), m_y * dpi - page.top() + fm.ascent()), text);
        }
        if (endLine) {
            m_x = 0;
            m_y += textHeight();
        } else {
            m_x += textWidth(text);
        }
    }
    double textWidth(const QString& text) const override
    {
        if (!m_printer)
            return 0;
        const QFontMetricsF fm(qfont(), m_printer.get());
        return fm.horizontalAdvance(text) / m_printer->resolution();
    }
    double textHeight() const override
    {
        if (!m_printer)
            return m_font.size / 72.0 * 1.15;
        const QFontMetricsF fm(qfont(), m_printer.get());
        return fm.height() / m_printer->resolution();
    }
    double pageWidth() const override
    {
        return m_printer ? m_printer->paperRect(QPrinter::Inch).width() : 8.5;
    }
    double pageHeight() const override
    {
        return m_printer ? m_printer->paperRect(QPrinter::Inch).height() : 11.0;
    }
    void newPage() override
    {
        if (m_printer)
            m_printer->newPage();
        m_x = m_y = 0;
    }
    void endDocument() override
    {
        if (m_painter)
            m_painter->end();
        m_painter.reset();
        m_printer.reset();
    }

private:
    QFont qfont() const
    {
        QFont f(m_font.name);
        f.setPointSizeF(m_font.size);
        f.setBold(m_font.bold);
        f.setItalic(m_font.italic);
        f.setUnderline(m_font.underline);
        return f;
    }
    void applyFont()
    {
        if (m_painter)
            m_painter->setFont(qfont());
    }

    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<QPainter> m_painter;
    PrintFont m_font;
    double m_x = 0;
    double m_y = 0;
};

QtPrinter g_realPrinter;
Printer* g_printer = nullptr;

} // namespace

Printer& printer() { return g_printer ? *g_printer : g_realPrinter; }
void setPrinter(Printer* p) { g_printer = p; }
void SetPrinterUnitToInches() {}
