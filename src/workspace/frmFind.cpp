#include "workspace/frmFind.h"

#include "session/ProcessState.h"
#include "session/Utilities.h"
#include "platform/Messages.h"
#include "platform/Screen.h"
#include "store/AnsiText.h"
#include "widgets/StrayAltKeys.h"
#include "widgets/VellButton.h"
#include "widgets/WindowPlacement.h"
#include "widgets/modFadeInOut.h"
#include "store/SearchSettings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>

namespace {

const char* const ScopeCaptions[9] = {
    "",
    "Search all text",
    "Search all text except 'Notes'",
    "Search 'Defendant' tab only",
    "Search 'Vehicle' tab only",
    "Search 'Offense' tab only",
    "Search 'Location' tab only",
    "Search 'Court' tab only",
    "Search 'Notes' tab only",
};

// The dialog's background tile: pale blue paper with a faint diagonal weave.
QPixmap backgroundTile()
{
    QPixmap tile(24, 24);
    tile.fill(QColor(236, 241, 248));
    QPainter p(&tile);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(222, 230, 242), 1.2));
    p.drawLine(QPointF(0, 24), QPointF(24, 0));
    p.setPen(QPen(QColor(229, 235, 245), 1.0));
    p.drawLine(QPointF(0, 12), QPointF(12, 0));
    p.drawLine(QPointF(12, 24), QPointF(24, 12));
    return tile;
}

} // namespace

frmFind::frmFind(QWidget* parent) : QDialog(parent)
{
    // Form_Load
    setObjectName(QStringLiteral("frmFind"));
    fader = new Fader(this);
    fader->closeAction = [this] { unload(); };
    SetFadeFlag(PrepareFade(this, 0, false));

    const int side = TwipsToPixels(5900);
    setFixedSize(side, side);
    RememberWindowPlacement(this);
    setWindowTitle(QStringLiteral(" ") + ApplicationTitle() + QStringLiteral(" - ") + QStringLiteral(" Find Citation(s)"));

    imgBackground = new QLabel(this);
    imgBackground->setObjectName(QStringLiteral("imgBackground"));
    imgBackground->setGeometry(0, 0, side, side);
    {
        QPixmap background(side, side);
        QPainter p(&background);
        TileBackground(p, backgroundTile(), side, side);
        p.end();
        imgBackground->setPixmap(background);
    }

    lblFind = new QLabel(this);
    lblFind->setObjectName(QStringLiteral("lblFind"));
    lblFind->setGeometry(TwipsRect(360, 60, 5180, 1080));
    lblFind->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    QFont heading = lblFind->font();
    heading.setBold(true);
    lblFind->setFont(heading);

    txtSearchPhrase = new QLineEdit(this);
    txtSearchPhrase->setObjectName(QStringLiteral("txtSearchPhrase"));
    txtSearchPhrase->setGeometry(TwipsRect(360, 1200, 5180, 360));
    lblFind->setBuddy(txtSearchPhrase);
    connect(txtSearchPhrase, &QLineEdit::textChanged, this, &frmFind::txtSearchPhrase_Change);

    m_scopes = new QButtonGroup(this);
    m_scopes->setExclusive(true);
    for (int i = 1; i <= 8; ++i) {
        QRadioButton* option = new QRadioButton(QString::fromLatin1(ScopeCaptions[i]), this);
        option->setObjectName(QStringLiteral("optFind(%1)").arg(i));
        option->setGeometry(TwipsRect(840, 1680 + (i - 1) * 300, 4500, 300));
        m_scopes->addButton(option, i);
        optFind[size_t(i)] = option;
    }

    chkCapStatus = new QCheckBox(QStringLiteral("Ignore capitalization"), this);
    chkCapStatus->setObjectName(QStringLiteral("chkCapStatus"));
    chkCapStatus->setGeometry(TwipsRect(840, 4180, 4500, 300));

    chkWholeWordStatus = new QCheckBox(QStringLiteral("&Whole word only"), this);
    chkWholeWordStatus->setObjectName(QStringLiteral("chkWholeWordStatus"));
    chkWholeWordStatus->setGeometry(TwipsRect(840, 4480, 4500, 300));

    cmdFind = new VellButton(QStringLiteral("cmdFind"), this);
    cmdFind->setGeometry(TwipsRect(600, 4980, 2100, 660));
    cmdFind->setBackColor(QColor(226, 234, 246));
    cmdFind->setBackOver(QColor(255, 240, 190));
    cmdFind->setDefault(true); // Enter
    connect(cmdFind, &VellButton::Click, this, &frmFind::cmdFind_Click);

    cmdCancel = new VellButton(QStringLiteral("cmdCancel"), this);
    cmdCancel->setGeometry(TwipsRect(3200, 4980, 2100, 660));
    cmdCancel->setBackColor(QColor(226, 234, 246));
    cmdCancel->setBackOver(QColor(255, 240, 190));
    connect(cmdCancel, &VellButton::Click, this, &frmFind::cmdCancel_Click);

    setTabOrder(txtSearchPhrase, optFind[1]);
    for (int i = 1; i < 8; ++i)
        setTabOrder(optFind[size_t(i)], optFind[size_t(i + 1)]);
    setTabOrder(optFind[8], chkCapStatus);
    setTabOrder(chkCapStatus, chkWholeWordStatus);
    setTabOrder(chkWholeWordStatus, cmdFind);
    setTabOrder(cmdFind, cmdCancel);
    KeepAltKeysOutOfText(this);
}

void frmFind::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_activated) {
        m_activated = true;
        Form_Activate();
    }
}

void frmFind::Form_Activate()
{
    lblFind->setText(CRLF + QStringLiteral("Enter a word or phrase") + CRLF + QStringLiteral("(whole or partial)") + CRLF
                     + QStringLiteral("to search for--"));

    cmdFind->setCaption(QStringLiteral("&Find") + CRLF + QStringLiteral("<Enter>"));
    cmdFind->setEnabled(false);
    cmdCancel->setCaption(QStringLiteral("&Cancel") + CRLF + QStringLiteral("<Esc>"));
    cmdCancel->setToolTipText(QStringLiteral(" Cancel searching for now "));

    const SearchSettings& settings = searchSettings();
    const int scope = (settings.scope >= 1 && settings.scope <= 8) ? settings.scope : 1;
    optFind[size_t(scope)]->setChecked(true);
    chkCapStatus->setChecked(settings.ignoreCase == 1);
    chkWholeWordStatus->setChecked(settings.wholeWord == 1);

    if (FadeFlag())
        fader->StartFade(0, 255, 20, false);

    txtSearchPhrase->setText(settings.phrase);
    if (!txtSearchPhrase->text().isEmpty())
        txtSearchPhrase->selectAll();
    txtSearchPhrase->setFocus();
}

void frmFind::txtSearchPhrase_Change()
{
    const QString phrase = Ansi::trimSpaces(txtSearchPhrase->text());
    if (!phrase.isEmpty()) {
        cmdFind->setEnabled(true);
        cmdFind->setToolTipText(QStringLiteral(" Start Searching for '") + phrase + QStringLiteral("' "));
    } else {
        cmdFind->setToolTipText(QString());
        cmdFind->setEnabled(false);
    }
}

int frmFind::selectedScope() const
{
    const int id = m_scopes->checkedId();
    return id >= 1 ? id : 1;
}

void frmFind::cmdFind_Click()
{
    m_confirmed = true;
    cmdCancel_Click();
}

void frmFind::cmdCancel_Click()
{
    SearchSettings& settings = searchSettings();
    settings.phrase = m_confirmed ? Ansi::trimSpaces(txtSearchPhrase->text()) : QString();
    settings.scope = qint16(selectedScope());
    settings.ignoreCase = chkCapStatus->isChecked() ? 1 : 0;
    settings.wholeWord = chkWholeWordStatus->isChecked() ? 1 : 0;

    if (FadeFlag()) {
        setEnabled(false); // no second click while the dialog fades away
        fader->StartFade(255, 0, 20, true);
    } else {
        unload();
    }
}

void frmFind::unload()
{
    done(m_confirmed ? QDialog::Accepted : QDialog::Rejected);
}

void frmFind::keyPressEvent(QKeyEvent* event)
{
    // Esc does what the Cancel button says (the options are kept); closing
    // the window any other way leaves the settings as they were.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (cmdCancel->isEnabled() && cmdCancel->isVisible())
            cmdCancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
