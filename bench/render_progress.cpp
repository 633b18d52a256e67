// Deletes one citation from a large data file in the main window and saves
// pictures of the screen 2 and 5 seconds into the rewrite, to look at the
// progress bar. The data folder is made with the citations when it holds no
// data file yet (a million take 3 GB; keep them in /tmp), e.g.
//   xvfb-run -a -s '-screen 0 1280x1024x24' build/bench/render_progress /tmp/big 1000000 shot.png
#include "CitationGenerator.h"

#include "platform/Messages.h"
#include "session/ProcessState.h"
#include "workspace/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>
#include <cstdio>

namespace {

// Answers Yes to the question before the deletion and prints every box.
class YesToAll final : public MessageService {
public:
    int msgBox(const QString& text, int flags, const QString& caption) override
    {
        std::printf("[%s] %s\n", qPrintable(caption), qPrintable(QString(text).replace(CRLF, QStringLiteral(" / "))));
        return Msg::buttonsOf(flags) == Msg::OKOnly ? Msg::OK : Msg::Yes;
    }
    QString inputBox(const QString&, const QString&, const QString&) override { return QString(); }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: render_progress DATA_FOLDER CITATIONS OUT.png\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int count = QString::fromLocal8Bit(argv[2]).toInt();
    const QString out = QFileInfo(QString::fromLocal8Bit(argv[3])).absoluteFilePath();
    QDir().mkpath(folder);
    QDir::setCurrent(folder);
    InitialiseProcessState();
    if (!QFileInfo::exists(CitationFileName)) {
        std::printf("writing %d citations...\n", count);
        bench::writeCitations(CitationFileName, count);
    }
    YesToAll answers;
    setMessageService(&answers);
    CurrentUserName = QStringLiteral("Jane Doe");
    CurrentAccessLevel = 4;

    auto* w = new frmMain;
    w->show();
    QCoreApplication::processEvents();
    w->SelectRow(0, false);
    // Runs from the events the progress bar lets through while the file is
    // rewritten.
    for (int seconds : {2, 5}) {
        QTimer::singleShot(seconds * 1000, [out, seconds] {
            const QString name = QString(out).replace(QStringLiteral(".png"), QStringLiteral("-%1s.png").arg(seconds));
            QGuiApplication::primaryScreen()->grabWindow(0).save(name);
            std::printf("%s\n", qPrintable(name));
        });
    }
    QElapsedTimer clock;
    clock.start();
    w->cmdDeleteEntry_Click();
    std::printf("deleted in %.1f s\n", clock.elapsed() / 1000.0);
    delete w;
    return 0;
}
