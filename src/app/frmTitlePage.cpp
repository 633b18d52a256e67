#include "app/frmTitlePage.h"

#include "session/AppSettings.h"
#include "session/ProcessState.h"
#include "session/ShutDown.h"
#include "app/StartupHooks.h"
#include "platform/Messages.h"
#include "platform/Screen.h"
#include "storage/Storage.h"
#include "widgets/VellButton.h"
#include "widgets/WindowPlacement.h"
#include "widgets/modFadeInOut.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QtMath>

namespace {

// The title page's artwork: a deep blue field with a faint badge star.
QPixmap titleArtwork(const QSize& size)
{
    QPixmap pix(size);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, QColor(12, 32, 78));
    g.setColorAt(1, QColor(28, 88, 140));
    p.fillRect(pix.rect(), g);
    QPainterPath star;
    const QPointF c(size.width() * 0.82, size.height() * 0.45);
    const double outer = size.height() * 0.38;
    const double inner = outer * 0.45;
    for (int i = 0; i < 12; ++i) {
        const double r = (i % 2 == 0) ? outer : inner;
        const double a = -M_PI / 2 + i * M_PI / 6;
        const QPointF pt(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
        i == 0 ? star.moveTo(pt) : star.lineTo(pt);
    }
    star.closeSubpath();
    p.setPen(QPen(QColor(255, 255, 255, 60), 3));
    p.setBrush(QColor(255, 215, 90, 40));
    p.drawPath(star);
    p.setPen(QPen(QColor(255, 215, 90, 160), 2));
    p.drawLine(QPointF(24, size.height() * 0.62), QPointF(size.width() * 0.6, size.height() * 0.62));
    return pix;
}

QString hashes(int n) { return n == 0 ? QString() : QString::number(n); }

} // namespace

frmTitlePage::frmTitlePage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmTitlePage"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Title Window"));
    fader = new Fader(this);
    SetFadeFlag(PrepareFade(this, 0, false));

    const int w = TwipsToPixels(8745);
    const int h = TwipsToPixels(4815);
    setFixedSize(w, h);

    imgBackground = new QLabel(this);
    imgBackground->setObjectName(QStringLiteral("imgBackground"));
    const int overhang = TwipsToPixels(10);
    imgBackground->setGeometry(-overhang, -overhang, w + 2 * overhang, h + 2 * overhang);
    imgBackground->setPixmap(titleArtwork(imgBackground->size()));

    labelAppTitle = new QLabel(this);
    labelAppTitle->setObjectName(QStringLiteral("labelAppTitle"));
    labelAppTitle->setGeometry(24, int(h * 0.18), int(w * 0.65), int(h * 0.3));
    labelAppTitle->setStyleSheet(QStringLiteral("color: white; font-size: 44pt; font-weight: bold;"));

    labelAppDescription = new QLabel(this);
    labelAppDescription->setObjectName(QStringLiteral("labelAppDescription"));
    labelAppDescription->setGeometry(26, int(h * 0.48), int(w * 0.7), int(h * 0.12));
    labelAppDescription->setStyleSheet(QStringLiteral("color: #ffe9a8; font-size: 13pt;"));

    labelVersion = new QLabel(this);
    labelVersion->setObjectName(QStringLiteral("labelVersion"));
    labelVersion->setGeometry(26, int(h * 0.66), int(w * 0.5), int(h * 0.08));
    labelVersion->setStyleSheet(QStringLiteral("color: #d0dcf0; font-size: 9pt;"));

    cmdContinue = new VellButton(QStringLiteral("cmdContinue"), this);
    cmdContinue->setGeometry(w - 150, h - 62, 130, 44);
    cmdContinue->setBackColor(QColor(230, 236, 246));
    cmdContinue->setBackOver(QColor(255, 240, 190));
    cmdContinue->setDefault(true);
    connect(cmdContinue, &VellButton::Click, this, &frmTitlePage::cmdContinue_Click);

    // Where the data are is shown here, so that a user who started from the
    // menu can find (and back up) the data files, or tell which server he
    // works on.
    setToolTip(storage().isServer() ? ServerToolTip(storage().description())
                                    : DataFolderToolTip(QDir::currentPath()));

    fader->closeAction = [this] { handOver(); };
    CenterOnScreen(this);
    RememberWindowPlacement(this);
}

QString frmTitlePage::VersionText(int major, int minor, int revision)
{
    return QStringLiteral("Version w") + hashes(major) + u'.' + hashes(minor) + u'.' + hashes(revision);
}

QString frmTitlePage::DataFolderToolTip(const QString& folder)
{
    return QStringLiteral("Data folder: ") + QDir::toNativeSeparators(folder);
}

QString frmTitlePage::ServerToolTip(const QString& place)
{
    return QStringLiteral("Data on the ") + place;
}

QString frmTitlePage::ScreenWarningText(int width, int height)
{
    const QString t = ApplicationTitle();
    const QStringList lines = {
        t + QStringLiteral(" is designed for use on a"),
        QStringLiteral("screen resolution of at least 800x600. "),
        QString(),
        t + QStringLiteral(" will not display correctly on"),
        QStringLiteral("your current screen resolution (%1x%2).").arg(width).arg(height),
        QString(),
        QStringLiteral("You can adjust your screen resolution by"),
        QStringLiteral("right-clicking anywhere on your desktop,"),
        QStringLiteral("select <Properties>, then <Settings>,"),
        QStringLiteral("and then select and accept at least"),
        QStringLiteral("800x600 as your 'Screen Area'."),
    };
    return lines.join(CRLF);
}

void frmTitlePage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_activated) {
        m_activated = true;
        Form_Activate();
    }
}

void frmTitlePage::Form_Activate()
{
    cmdContinue->setCaption(QStringLiteral("&Continue"));
    labelAppTitle->setText(ApplicationTitle());
    labelAppDescription->setText(ApplicationDescription());
    labelVersion->setText(VersionText(VersionMajor, VersionMinor, VersionRevision));
    if (FadeFlag())
        fader->StartFade(0, 255, 20, false);
    cmdContinue->setFocus();
}

void frmTitlePage::cmdContinue_Click()
{
    // 1. First-use overview, unless the user asked not to see it again.
    if (ShouldShowNewUserOverview() && startupHooks().showNewUserOverview) {
        if (FadeFlag()) {
            fader->StartFade(255, 204, 2, false);
            fader->WaitForFade();
        }
        startupHooks().showNewUserOverview(this);
        if (FadeFlag()) {
            fader->StartFade(204, 255, 2, false);
            fader->WaitForFade();
        }
    }

    // 2. Screen check: only the width matters.
    const QSize screen = screenMetrics().sizeInPixels();
    if (screen.width() < 800)
        MsgBox(ScreenWarningText(screen.width(), screen.height()), Msg::OKOnly,
               QStringLiteral("Screen Resolution Issue"));
    QCoreApplication::processEvents();

    // 3. Data file check, with conversion where needed.
    if (startupHooks().checkDataFileFormat && !startupHooks().checkDataFileFormat(this)) {
        ShutDown();
        return;
    }
    QCoreApplication::processEvents();

    // 4. Hand-over to the first window.
    if (FadeFlag())
        fader->StartFade(255, 0, 20, true);
    else
        handOver();
}

void frmTitlePage::handOver()
{
    close();
    if (startupHooks().showFirstWindow)
        startupHooks().showFirstWindow();
}
