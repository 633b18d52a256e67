// Renders every page of the main window's record editor to PNG files, over a
// few made-up citations, the shown one filling every field to its width.
// Run it on the screen size to look at, e.g.
//   xvfb-run -a -s '-screen 0 1024x768x24' build/bench/render_main_window out/1024
#include "CitationGenerator.h"

#include "session/ProcessState.h"
#include "store/CitationFile.h"
#include "workspace/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>

namespace {

// A citation whose every text fills its field with wide letters.
CitationRecord widestCitation()
{
    QRandomGenerator rng(7);
    CitationRecord r = bench::makeCitation(1, rng);
    for (const FieldSpec& f : CitationLayout::fields()) {
        if (f.type == FieldType::Text && f.id != CitationField::Notes)
            r.setText(f.id, QString(f.width, u'W'));
    }
    r.setDate(CitationField::OffenseDate, ToDateValue(QDate(2012, 12, 28)));
    r.setDate(CitationField::OffenseTime, ToDateValue(QDate(1899, 12, 30), QTime(12, 58)));
    r.setDate(CitationField::CourtTime, ToDateValue(QDate(1899, 12, 30), QTime(10, 45)));
    r.setDate(CitationField::CourtDate, ToDateValue(QDate(2013, 2, 28)));
    r.setInt16(CitationField::MeasuredSpeed, 105);
    r.setInt16(CitationField::PostedSpeed, 65);
    return r;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shots");
    const QString mode = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const bool editing = mode == QLatin1String("--editing");
    const bool adding = mode == QLatin1String("--adding");
    // After an edit is saved: the window as it shows the saved citation.
    const bool saved = mode == QLatin1String("--saved");
    QDir().mkpath(out);
    const QString outDir = QDir(out).absolutePath();

    QTemporaryDir data;
    QDir::setCurrent(data.path());
    InitialiseProcessState();
    bench::writeCitations(CitationFileName, 30);
    CitationFile file;
    file.OpenCitationFile();
    file.WriteCitation(file.CitationCount() + 1, widestCitation());
    file.CloseCitationFile();

    CurrentUserName = QStringLiteral("Margaret Whitfield-Santos");
    CurrentAccessLevel = 4;

    auto* w = new frmMain;
    w->show();
    QCoreApplication::processEvents();
    if (editing)
        w->StartEdit();
    if (adding)
        w->StartAdd();
    if (saved) {
        w->StartEdit();
        w->txtField[40]->setText(QStringLiteral("MM 12 NB"));
        w->SaveCitation();
    }
    for (int page = 0; page < w->MainTab->count(); ++page) {
        w->MainTab->setCurrentIndex(page);
        QCoreApplication::processEvents();
        const QString name = QStringLiteral("%1/main_page%2.png").arg(outDir).arg(page);
        w->grab().save(name);
        std::printf("%s\n", qPrintable(name));
    }
    std::printf("window %dx%d, list frame %d high, editor frame %d high\n", w->width(), w->height(),
                w->frame[1]->height(), w->frame[2]->height());
    delete w;
    return 0;
}
