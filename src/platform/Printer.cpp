#include "platform/Printer.h"

#include "platform/Messages.h"
#include "platform/Progress.h"
#include "platform/SaveFileDialog.h"
#include "store/ReplacingFile.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>
#include <optional>

void Printer::tabToColumn(int column)
{
    const double target = (column - 1) * averageCharWidth();
    if (currentX() < target)
        setCurrentX(target);
    else
        setCurrentX(currentX() + textWidth(QStringLiteral(" ")));
}

namespace {

// The printouts ask for Arial. Where it is not installed, Liberation Sans has
// the same character widths, so the layout measured in inches holds.
void ensureArialSubstitute()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const QStringList families = QFontDatabase::families();
    if (!families.contains(QStringLiteral("Arial"), Qt::CaseInsensitive)
        && families.contains(QStringLiteral("Liberation Sans"), Qt::CaseInsensitive))
        QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
}

QFont qfontOf(const PrintFont& f)
{
    QFont font(f.name);
    font.setPointSizeF(f.size);
    font.setBold(f.bold);
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    font.setKerning(false); // texts printed piece by piece must measure as they print
    return font;
}

// A file name made of the document title, for the PDF the user is offered.
QString suggestedPdfName(const QString& title)
{
    QString base = title.simplified();
    for (QChar& c : base)
        if (!c.isLetterOrNumber() && c != u'-' && c != u'_')
            c = u' ';
    base = base.simplified().replace(u' ', u'_');
    if (base.isEmpty())
        base = QStringLiteral("Printout");
    return QDir(SaveFolder()).filePath(base + QStringLiteral(".pdf"));
}

// A PDF file has no printer to take its paper from: it gets the paper of the
// regional settings, Letter where measures are in US units and A4 elsewhere.
QPageSize localPaper()
{
    return QPageSize(QLocale().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                                 : QPageSize::A4);
}

// A small dialog: print, preview, save as PDF or cancel. Every choice has an
// access key; Enter takes the suggested one and Esc cancels.
class DialogChooser final : public PrintOutputChooser {
public:
    PrintDestination chooseDestination(const QString& title, bool printerInstalled) override
    {
        QDialog dialog(QApplication::activeWindow());
        dialog.setWindowTitle(title);
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(new QLabel(printerInstalled
                                         ? QStringLiteral("Send the printout to the printer, look at it first, "
                                                          "or save it as a PDF file.")
                                         : QStringLiteral("No printer is installed. Look at the printout in a "
                                                          "preview, or save it as a PDF file."),
                                     &dialog));
        auto* buttons = new QHBoxLayout;
        layout->addLayout(buttons);
        PrintDestination chosen = PrintDestination::Cancel;
        auto add = [&](const QString& caption, PrintDestination d) {
            auto* b = new QPushButton(caption, &dialog);
            b->setObjectName(caption);
            buttons->addWidget(b);
            QObject::connect(b, &QPushButton::clicked, &dialog, [&dialog, &chosen, d] {
                chosen = d;
                dialog.accept();
            });
            return b;
        };
        QPushButton* print = add(QStringLiteral("&Print"), PrintDestination::Printer);
        QPushButton* preview = add(QStringLiteral("Pre&view"), PrintDestination::Preview);
        add(QStringLiteral("Save as P&DF..."), PrintDestination::PdfFile);
        QPushButton* cancel = add(QStringLiteral("Cancel"), PrintDestination::Cancel);
        print->setEnabled(printerInstalled);
        QPushButton* suggested = printerInstalled ? print : preview;
        suggested->setDefault(true);
        suggested->setFocus();
        QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
        // The caller's window shows the wait pointer while it prints; the
        // choice is the user's turn, so the normal pointer shows here.
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        const int result = dialog.exec();
        QApplication::restoreOverrideCursor();
        return result == QDialog::Accepted ? chosen : PrintDestination::Cancel;
    }
    QString pdfFileName(const QString& suggested) override
    {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        const QString name = QFileDialog::getSaveFileName(QApplication::activeWindow(), QStringLiteral("Save as PDF"),
                                                          suggested, QStringLiteral("PDF files (*.pdf)"));
        QApplication::restoreOverrideCursor();
        if (name.isEmpty() || name.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
            return name;
        return name + QStringLiteral(".pdf");
    }
};

// A PDF file painted page by page into a work file beside it and put in
// place only when every byte reached the disk, so a failed PDF never stands
// where an earlier good one stood.
class PdfOutput {
public:
    PdfOutput(const QString& file, const QString& title, const QPageLayout& layout, int resolution)
        : m_file(file)
        , m_writer(&m_file)
    {
        QPageLayout full = layout;
        full.setMode(QPageLayout::FullPageMode); // positions count from the corner of the paper
        m_writer.setPageLayout(full);
        m_writer.setResolution(resolution);
        m_writer.setTitle(title);
        m_writer.setCreator(QCoreApplication::applicationName());
    }
    // Opens the work file; false with `error` set when it cannot be.
    bool begin(QString& error)
    {
        if (m_file.begin())
            return true;
        error = QStringLiteral("The PDF file \"%1\" could not be written.").arg(QDir::toNativeSeparators(m_file.target()));
        return false;
    }
    QPagedPaintDevice* device() { return &m_writer; }
    // Puts the written file in place; false with `error` set when any write,
    // the flush or the rename failed.
    bool commit(QString& error)
    {
        if (m_file.commit())
            return true;
        error = QStringLiteral("The PDF file \"%1\" %2.")
                    .arg(QDir::toNativeSeparators(m_file.target()), m_file.error().what);
        return false;
    }
    QString fileName() const { return m_file.target(); }

private:
    ReplacingFile m_file;
    QPdfWriter m_writer;
};

// Paints on a QPrinter. A printout for the printer or a PDF file is painted
// as it is printed, so a long list holds no more than the page in hand. A
// preview paints its pages again as often as it needs, so for a preview the
// printout is kept as pages of placed texts and painted when it ends.
class QtPrinter final : public Printer {
public:
    bool beginDocument(const QString& title) override
    {
        m_error.clear();
        m_pages.clear();
        m_open = false;
        if (m_painter.isActive())
            m_painter.end(); // a document that was never ended
        m_printer.reset();
        m_pdf.reset();
        m_saved.clear();
        m_measures.reset();
        ensureArialSubstitute();

        const QList<QPrinterInfo> installed = QPrinterInfo::availablePrinters();
        m_destination = printOutputChooser().chooseDestination(title, !installed.isEmpty());
        if (m_destination == PrintDestination::Cancel)
            return false;

        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setFullPage(true); // positions count from the corner of the paper
        printer->setDocName(title);
        if (m_destination == PrintDestination::Printer) {
            QPrinterInfo info = QPrinterInfo::defaultPrinter();
            if (info.isNull() && !installed.isEmpty())
                info = installed.first();
            printer->setPrinterName(info.printerName());
            if (info.isNull() || !printer->isValid()) {
                m_error = QStringLiteral("The printer \"%1\" cannot be used.").arg(info.printerName());
                return false;
            }
        } else if (m_destination == PrintDestination::PdfFile) {
            const QString file = printOutputChooser().pdfFileName(suggestedPdfName(title));
            if (file.isEmpty())
                return false;
            RememberSaveFolder(file);
            // The printer only measures; the pages are painted on the PDF.
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setPageSize(localPaper());
            auto pdf = std::make_unique<PdfOutput>(file, title, printer->pageLayout(), printer->resolution());
            if (!pdf->begin(m_error))
                return false;
            m_pdf = std::move(pdf);
        } else if (installed.isEmpty()) {
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setPageSize(localPaper());
        }
        if (m_destination != PrintDestination::Preview
            && !beginPainting(m_painter, m_pdf ? m_pdf->device() : static_cast<QPagedPaintDevice*>(printer.get()))) {
            m_pdf.reset();
            return false;
        }
        m_printer = std::move(printer);
        m_measures.reset(); // measured on this printer from now on
        m_title = title;
        m_pages.append(Page{});
        m_open = true;
        m_x = m_y = 0;
        return true;
    }
    void setFont(const PrintFont& font) override { m_font = font; }
    PrintFont font() const override { return m_font; }
    double currentX() const override { return m_x; }
    double currentY() const override { return m_y; }
    void setCurrentX(double inches) override { m_x = inches; }
    void setCurrentY(double inches) override { m_y = inches; }
    void print(const QString& text, bool endLine) override
    {
        if (!text.isEmpty() && m_open) {
            if (m_y + textHeight() > bottomLimit() && m_y > PrintTopMargin) {
                // The text goes on the next page where it was going to print
                // across; only its depth moves up to the top margin.
                const double x = m_x;
                newPage();
                m_x = x;
                m_y = PrintTopMargin;
            }
            const Placed item{m_x, m_y, text, m_font};
            if (m_painter.isActive())
                paintItem(m_painter, m_painter.device(), item);
            else
                m_pages.last().append(item);
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
        return measures().metrics->horizontalAdvance(text) / measuringDevice()->logicalDpiX();
    }
    double textHeight() const override { return measures().metrics->height() / measuringDevice()->logicalDpiY(); }
    double averageCharWidth() const override { return measures().averageCharWidth; }
    double pageWidth() const override { return paper().width(); }
    double pageHeight() const override { return paper().height(); }
    double printableRight() const override
    {
        return paper().width() - std::max(PrintRightMargin, deviceMargins().right());
    }
    void newPage() override
    {
        if (m_painter.isActive()) {
            if (!paintTarget()->newPage() && m_error.isEmpty())
                m_error = QStringLiteral("The printer did not start a new page; the printout is incomplete.");
        } else if (m_open) {
            m_pages.append(Page{});
        }
        m_x = m_y = 0;
    }
    bool endDocument() override
    {
        bool ok = true;
        if (m_painter.isActive())
            ok = endPainting(m_painter, m_printer.get());
        else if (m_printer)
            ok = preview();
        if (m_pdf) {
            if (ok && m_pdf->commit(m_error))
                m_saved = m_pdf->fileName();
            else
                ok = false;
        }
        m_pdf.reset(); // an uncommitted work file goes with it
        m_printer.reset();
        m_measures.reset();
        m_pages.clear();
        m_open = false;
        return ok;
    }
    void abortDocument() override
    {
        if (m_painter.isActive()) {
            if (!m_pdf)
                m_printer->abort();
            m_painter.end();
        }
        m_pdf.reset(); // the work file goes, the target is not touched
        m_printer.reset();
        m_measures.reset();
        m_pages.clear();
        m_open = false;
    }
    QString lastError() const override { return m_error; }
    QString savedFile() const override { return m_saved; }

private:
    struct Placed {
        double x, y;
        QString text;
        PrintFont font;
    };
    using Page = QList<Placed>;

    // The metrics of the current font on the measuring device, made when the
    // font or the device changes: a printout measures every text it prints
    // and every column it tabs to.
    struct Measures {
        PrintFont font;
        std::optional<QFontMetricsF> metrics;
        double averageCharWidth = 0;
    };
    const Measures& measures() const
    {
        if (m_measures && m_measures->font == m_font)
            return *m_measures;
        QPaintDevice* device = measuringDevice();
        Measures m{m_font, QFontMetricsF(qfontOf(m_font), device)};
        // The classic "average character": the lowercase letters and the blank
        // weighted by how often they occur in English text. Fonts of today
        // report the mean of all their glyphs instead, a third wider, which
        // would push the list's last column off the paper.
        static constexpr int Weights[27] = {64, 14, 27, 35, 100, 20, 14, 42, 63, 3, 6, 35, 20, 56,
                                            56, 17, 4,  49, 56,  71, 31, 10, 18, 3,  18, 2, 166};
        double sum = 0;
        for (int i = 0; i < 27; ++i)
            sum += Weights[i] * m.metrics->horizontalAdvance(i < 26 ? QChar(u'a' + i) : QChar(u' '));
        m.averageCharWidth = sum / 1000.0 / device->logicalDpiX();
        m_measures = std::move(m);
        return *m_measures;
    }

    // Measures on the printer of the document, or on a default one between
    // documents (so a printout may measure before it begins).
    QPaintDevice* measuringDevice() const
    {
        if (m_printer)
            return m_printer.get();
        if (!m_idlePrinter)
            m_idlePrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
        return m_idlePrinter.get();
    }
    QRectF paper() const
    {
        const QPrinter* p = m_printer ? m_printer.get() : static_cast<QPrinter*>(measuringDevice());
        return p->pageLayout().fullRect(QPageLayout::Inch);
    }
    // The margins the device cannot print in, in inches.
    QMarginsF deviceMargins() const
    {
        const QPrinter* p = m_printer ? m_printer.get() : static_cast<QPrinter*>(measuringDevice());
        QPageLayout layout = p->pageLayout();
        layout.setUnits(QPageLayout::Inch);
        return layout.minimumMargins();
    }
    double bottomLimit() const
    {
        return paper().height() - std::max(PrintBottomMargin, deviceMargins().bottom());
    }

    QPagedPaintDevice* paintTarget() const
    {
        return m_pdf ? m_pdf->device() : static_cast<QPagedPaintDevice*>(m_printer.get());
    }
    bool beginPainting(QPainter& painter, QPagedPaintDevice* target)
    {
        if (painter.begin(target))
            return true;
        if (auto* printer = dynamic_cast<QPrinter*>(target))
            m_error = QStringLiteral("The printer \"%1\" did not accept the printout.").arg(printer->printerName());
        else
            m_error = QStringLiteral("The PDF file could not be started.");
        return false;
    }
    // Ends the painting and tells whether all of it reached the target,
    // including any page the printout could not start.
    bool endPainting(QPainter& painter, QPrinter* target)
    {
        const bool ended = painter.end();
        if (!m_error.isEmpty())
            return false;
        if (!ended || (target && target->printerState() == QPrinter::Error)) {
            m_error = QStringLiteral("The printer reported an error; the printout may be incomplete.");
            return false;
        }
        return true;
    }
    static void paintItem(QPainter& painter, QPaintDevice* target, const Placed& item)
    {
        const QFont font = qfontOf(item.font);
        painter.setFont(font);
        const QFontMetricsF fm(font, target);
        painter.drawText(QPointF(item.x * target->logicalDpiX(), item.y * target->logicalDpiY() + fm.ascent()),
                         item.text);
    }

    // Paints the kept pages of a preview onto `target`.
    bool paintOn(QPagedPaintDevice* target)
    {
        QPainter painter;
        if (!beginPainting(painter, target))
            return false;
        Progress progress(m_title, QStringLiteral("Preparing the pages..."));
        for (qsizetype p = 0; p < m_pages.size(); ++p) {
            progress.report(p, m_pages.size());
            if (p > 0 && !target->newPage()) {
                m_error = QStringLiteral("The printer did not start a new page; the printout is incomplete.");
                break;
            }
            for (const Placed& item : m_pages[p])
                paintItem(painter, target, item);
        }
        return endPainting(painter, dynamic_cast<QPrinter*>(target));
    }

    bool preview()
    {
        QPrintPreviewDialog dialog(m_printer.get(), QApplication::activeWindow());
        dialog.setWindowTitle(m_title);
        bool ok = true;
        QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                         [this, &ok](QPrinter* target) { ok = paintOn(target) && ok; });
        // Besides the preview's own print button (whose dialog can also print
        // to a file), a button saves the pages straight to a PDF file.
        if (auto* bar = dialog.findChild<QToolBar*>()) {
            bar->addSeparator();
            QAction* pdf = bar->addAction(QStringLiteral("Save as PDF..."));
            pdf->setObjectName(QStringLiteral("savePdf"));
            pdf->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
            QObject::connect(pdf, &QAction::triggered, &dialog, [this, &dialog, &ok] {
                const QString file = printOutputChooser().pdfFileName(suggestedPdfName(m_title));
                if (file.isEmpty())
                    return;
                RememberSaveFolder(file);
                PdfOutput pdf(file, m_title, m_printer->pageLayout(), m_printer->resolution());
                if (pdf.begin(m_error) && paintOn(pdf.device()) && pdf.commit(m_error)) {
                    m_saved = pdf.fileName();
                    dialog.accept();
                } else {
                    ok = false;
                    dialog.reject();
                }
            });
        }
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        dialog.exec();
        QApplication::restoreOverrideCursor();
        return ok;
    }

    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<PdfOutput> m_pdf; // the file a PDF document is painted into
    QString m_saved; // the PDF file the last document went to
    QPainter m_painter; // painting a printout straight onto m_printer
    bool m_open = false; // a document has begun and not yet ended
    mutable std::unique_ptr<QPrinter> m_idlePrinter;
    mutable std::optional<Measures> m_measures; // of m_font on measuringDevice()
    PrintDestination m_destination = PrintDestination::Cancel;
    QString m_title;
    QString m_error;
    QList<Page> m_pages;
    PrintFont m_font;
    double m_x = 0;
    double m_y = 0;
};

QtPrinter* g_realPrinter = nullptr;
Printer* g_printer = nullptr;
DialogChooser g_realChooser;
PrintOutputChooser* g_chooser = nullptr;

} // namespace

Printer& printer()
{
    if (g_printer)
        return *g_printer;
    // Made on first use: a QPrinter needs the application object.
    if (!g_realPrinter)
        g_realPrinter = new QtPrinter;
    return *g_realPrinter;
}
void setPrinter(Printer* p) { g_printer = p; }

PrintOutputChooser& printOutputChooser() { return g_chooser ? *g_chooser : g_realChooser; }
void setPrintOutputChooser(PrintOutputChooser* chooser) { g_chooser = chooser; }

void SetPrinterUnitToInches() {}
