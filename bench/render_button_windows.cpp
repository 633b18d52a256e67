// Renders every window with its push buttons in four states to PNG files:
// as it opens, one button hovered, one pressed, and every button disabled.
//   QT_QPA_PLATFORM=offscreen build/bench/render_button_windows /tmp/buttons
#include "CitationGenerator.h"

#include "app/frmTitlePage.h"
#include "platform/Messages.h"
#include "session/ProcessState.h"
#include "store/CitationFile.h"
#include "users/frmAddEditUser.h"
#include "users/frmAdmin.h"
#include "widgets/VellButton.h"
#include "workspace/frmFind.h"
#include "workspace/frmMain.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <cstdio>

namespace {

// Answers every question at once so that no window waits for a person.
class QuietMessages : public MessageService {
public:
    int msgBox(const QString&, int flags, const QString&) override
    {
        return Msg::buttonsOf(flags) == Msg::YesNo ? Msg::No : Msg::OK;
    }
    QString inputBox(const QString&, const QString&, const QString&) override { return {}; }
};

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

VellButton* firstShownButton(QWidget* window)
{
    const QList<VellButton*> buttons = window->findChildren<VellButton*>();
    for (VellButton* b : buttons)
        if (b->isVisibleTo(window) && b->isEnabled() && !b->Caption().isEmpty())
            return b;
    return buttons.isEmpty() ? nullptr : buttons.first();
}

void shoot(QWidget* window, const QString& outDir, const QString& name)
{
    window->setWindowOpacity(1.0);
    window->show();
    settle();
    const auto save = [&](const QString& state) {
        settle();
        const QString file = QStringLiteral("%1/%2_%3.png").arg(outDir, name, state);
        window->grab().save(file);
        std::printf("%s\n", qPrintable(file));
    };
    save(QStringLiteral("normal"));

    const QList<VellButton*> all = window->findChildren<VellButton*>();
    for (VellButton* b : all) {
        // The picture buttons, hovered one by one.
        if (!b->PictureNormal().isNull() && b->isVisibleTo(window)) {
            const QPoint centre = b->mapToGlobal(b->rect().center());
            QCursor::setPos(centre);
            QMouseEvent move(QEvent::MouseMove, b->rect().center(), centre, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(b, &move);
            save(QStringLiteral("hover_") + b->objectName());
            QCursor::setPos(-100, -100);
            b->OverTimer_Timer();
        }
    }
    if (VellButton* b = firstShownButton(window)) {
        const QPoint centre = b->mapToGlobal(b->rect().center());
        QCursor::setPos(centre);
        QMouseEvent move(QEvent::MouseMove, b->rect().center(), centre, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(b, &move);
        save(QStringLiteral("hover"));
        QMouseEvent press(QEvent::MouseButtonPress, b->rect().center(), centre, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(b, &press);
        save(QStringLiteral("pressed"));
        b->setDown(false);
        QCursor::setPos(-100, -100);
        b->OverTimer_Timer();
    }
    for (VellButton* b : all)
        b->setEnabled(false);
    save(QStringLiteral("disabled"));
    window->hide();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shots");
    QDir().mkpath(out);
    const QString outDir = QDir(out).absolutePath();

    QuietMessages quiet;
    setMessageService(&quiet);
    QTemporaryDir data;
    QDir::setCurrent(data.path());
    InitialiseProcessState();
    bench::writeCitations(CitationFileName, 12);
    CurrentUserName = QStringLiteral("Margaret Whitfield-Santos");
    CurrentAccessLevel = 4;

    {
        frmTitlePage w;
        shoot(&w, outDir, QStringLiteral("frmTitlePage"));
    }
    {
        auto* w = new frmAdmin;
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        shoot(w, outDir, QStringLiteral("frmAdmin"));
        delete w;
    }
    {
        frmAddEditUser w;
        shoot(&w, outDir, QStringLiteral("frmAddEditUser"));
    }
    {
        frmFind w;
        shoot(&w, outDir, QStringLiteral("frmFind"));
    }
    {
        auto* w = new frmMain;
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        shoot(w, outDir, QStringLiteral("frmMain"));
        delete w;
    }
    return 0;
}
