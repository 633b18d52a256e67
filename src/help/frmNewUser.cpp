#include "help/frmNewUser.h"

#include "help/HelpTopics.h"
#include "platform/ApplicationTitle.h"
#include "platform/Messages.h"
#include "platform/Screen.h"
#include "session/AppSettings.h"
#include "session/Utilities.h"
#include "widgets/VellButton.h"
#include "widgets/WindowPlacement.h"
#include "widgets/modFadeInOut.h"

#include <QCheckBox>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>

namespace {
// The window's background tile: warm paper with a faint ruled line, so the
// text reads as a welcome note.
QPixmap backgroundTile()
{
    QPixmap tile(32, 32);
    QPainter p(&tile);
    QLinearGradient shade(0, 0, 32, 32);
    shade.setColorAt(0, QColor(250, 246, 234));
    shade.setColorAt(1, QColor(244, 238, 222));
    p.fillRect(tile.rect(), shade);
    p.setPen(QColor(240, 233, 216));
    p.drawLine(0, 31, 31, 31);
    p.setPen(QColor(238, 231, 214));
    p.drawPoint(8, 12);
    p.drawPoint(24, 22);
    return tile;
}
} // namespace

QString frmNewUser::Caption() { return u' ' + ApplicationTitle() + QStringLiteral(" - New User Overview"); }

QString frmNewUser::OverviewText()
{
    return QStringLiteral("Are you a new user? ") + QStringLiteral("If so, then let's take a moment for a quick overview.")
        + CRLF + CRLF + HelpTopicText(100);
}

frmNewUser::frmNewUser(QWidget* parent) : QDialog(parent)
{
    // Form_Load
    setObjectName(QStringLiteral("frmNewUser"));
    fader = new Fader(this);
    fader->closeAction = [this] { unload(); };
    SetFadeFlag(PrepareFade(this, 0, false));
    const QSize size(TwipsToPixels(6915), TwipsToPixels(5500));
    setFixedSize(size);
    RememberWindowPlacement(this);
    setWindowTitle(Caption());

    imgBackground = new QLabel(this);
    imgBackground->setObjectName(QStringLiteral("imgBackground"));
    imgBackground->setGeometry(QRect(QPoint(0, 0), size));
    QPixmap background(size);
    {
        QPainter p(&background);
        TileBackground(p, backgroundTile(), size.width(), size.height());
    }
    imgBackground->setPixmap(background);

    lbl = new QLabel(this);
    lbl->setObjectName(QStringLiteral("lbl"));
    lbl->setGeometry(TwipsRect(300, 150, 6300, 4150));
    lbl->setWordWrap(true);
    lbl->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lbl->setTextFormat(Qt::PlainText);

    chk = new QCheckBox(QStringLiteral("&Don't show this screen again"), this);
    chk->setObjectName(QStringLiteral("chk"));
    chk->setGeometry(TwipsRect(300, 4550, 3900, 360));

    cmdContinue = new VellButton(QStringLiteral("cmdContinue"), this);
    cmdContinue->setGeometry(TwipsRect(4500, 4400, 2100, 660));
    cmdContinue->setBackColor(QColor(236, 228, 206));
    cmdContinue->setBackOver(QColor(255, 240, 190));
    cmdContinue->setCaption(QStringLiteral("&Continue"));
    cmdContinue->setDefault(true);
    connect(cmdContinue, &VellButton::Click, this, &frmNewUser::cmdContinue_Click);

    setTabOrder(cmdContinue, chk);
}

void frmNewUser::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_activated) {
        m_activated = true;
        Form_Activate();
    }
}

void frmNewUser::Form_Activate()
{
    // The label shows line breaks as the text has them.
    QString text = OverviewText();
    text.replace(CRLF, QStringLiteral("\n"));
    lbl->setText(text);
    cmdContinue->Refresh();
    cmdContinue->setFocus();
    if (FadeFlag())
        fader->StartFade(0, 255, 20, false);
}

void frmNewUser::cmdContinue_Click()
{
    if (chk->isChecked())
        SaveDefaultsSetting(SettingKey::NewUser, QStringLiteral("NoShow"));
    if (FadeFlag())
        fader->StartFade(255, 0, 20, true);
    else
        unload();
}

void frmNewUser::unload() { done(QDialog::Accepted); }

void ShowNewUserOverview(QWidget* over)
{
    frmNewUser overview(over);
    overview.exec();
}
