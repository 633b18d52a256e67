// Renders the statistics window over a few hundred made-up citations, one
// PNG per tab, to look at the tables and the bar charts, and prints the
// counts to out/statistics.pdf through the real printer. Run e.g.
//   xvfb-run -a -s '-screen 0 1280x1024x24' build/bench/render_statistics_window out
#include "CitationGenerator.h"

#include "platform/Printer.h"
#include "session/ProcessState.h"
#include "store/CitationFile.h"
#include "workspace/frmStatistics.h"

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <numeric>

namespace {
// Sends the printout straight to a PDF file.
class PdfOutput final : public PrintOutputChooser {
public:
    explicit PdfOutput(QString file) : m_file(std::move(file)) {}
    PrintDestination chooseDestination(const QString&, bool) override { return PrintDestination::PdfFile; }
    QString pdfFileName(const QString&) override { return m_file; }

private:
    QString m_file;
};
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shots")).absolutePath();
    QDir().mkpath(out);
    QTemporaryDir data;
    QDir::setCurrent(data.path());
    InitialiseProcessState();
    bench::writeCitations(CitationFileName, 400);
    CitationFileView reader;
    reader.open();
    QList<int> records(reader.count());
    std::iota(records.begin(), records.end(), 1);

    frmStatistics window(records, QStringLiteral(" All Entries (400 citations in this list) "));
    window.show();
    for (int tab = 0; tab < window.tabGroups->count(); ++tab) {
        window.tabGroups->setCurrentIndex(tab);
        QCoreApplication::processEvents();
        const QString name = QStringLiteral("%1/statistics_tab%2.png").arg(out).arg(tab);
        window.grab().save(name);
        std::printf("%s\n", qPrintable(name));
    }
    PdfOutput pdf(out + QStringLiteral("/statistics.pdf"));
    setPrintOutputChooser(&pdf);
    window.cmdPrint_Click();
    setPrintOutputChooser(nullptr);
    std::printf("%s\n", qPrintable(out + QStringLiteral("/statistics.pdf")));
    return 0;
}
