#include "help/frmManual.h"

#include "help/HelpTopics.h"
#include "platform/ApplicationTitle.h"
#include "platform/Printer.h"
#include "platform/Screen.h"
#include "print/PrintLongText.h"
#include "widgets/VellButton.h"
#include "widgets/WindowPlacement.h"
#include "widgets/modFadeInOut.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QResizeEvent>

namespace {
VellButton* makeButton(const QString& name, const QString& caption, int left, QWidget* parent)
{
    // The buttons stand along the window's foot.
    auto* b = new VellButton(name, parent);
    const QRect shape = TwipsRect(left, 0, 2250, 660);
    b->setGeometry(shape.x(), parent->height() - shape.height() - TwipsToPixels(180), shape.width(), shape.height());
    b->setBackColor(QColor(226, 234, 246));
    b->setBackOver(QColor(255, 240, 190));
    b->setCaption(caption);
    return b;
}
} // namespace

QString frmManual::Caption() { return ApplicationTitle() + QStringLiteral(" - ") + QStringLiteral(" Help Screen"); }

frmManual::frmManual(QWidget* parent) : QDialog(parent)
{
    // Form_Load
    setObjectName(QStringLiteral("frmManual"));
    fader = new Fader(this);
    fader->closeAction = [this] { unload(); };
    SetFadeFlag(PrepareFade(this, 0, false));
    // The designed size is the smallest; a larger window gives the text the room.
    const QSize designed(TwipsToPixels(7650), TwipsToPixels(6525));
    setMinimumSize(designed);
    resize(designed);
    setWindowTitle(Caption());

    labelHelpTopic = new QLabel(this);
    labelHelpTopic->setObjectName(QStringLiteral("labelHelpTopic"));
    labelHelpTopic->setGeometry(TwipsRect(240, 120, 7050, 420));
    QFont heading = labelHelpTopic->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.25);
    labelHelpTopic->setFont(heading);

    txtManual = new QPlainTextEdit(this);
    txtManual->setObjectName(QStringLiteral("txtManual"));
    const QRect text = TwipsRect(240, 600, 7050, 0);
    txtManual->setGeometry(text.x(), text.y(), text.width(), height() - text.y() - TwipsToPixels(180 + 660 + 180));
    txtManual->setReadOnly(true);
    txtManual->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    txtManual->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtManual->setFont(QFont(QStringLiteral("Arial"), 10));

    cmdHelpTopic = makeButton(QStringLiteral("cmdHelpTopic"), QStringLiteral("Help &Topics\r\n<F1>"), 240, this);
    cmdPrintHelp = makeButton(QStringLiteral("cmdPrintHelp"), QStringLiteral("&Print this\r\nTopic"), 2640, this);
    cmdReturn = makeButton(QStringLiteral("cmdReturn"), QStringLiteral("&Close\r\n<Esc>"), 5040, this);
    connect(cmdHelpTopic, &VellButton::Click, this, &frmManual::cmdHelpTopic_Click);
    connect(cmdPrintHelp, &VellButton::Click, this, &frmManual::cmdPrintHelp_Click);
    connect(cmdReturn, &VellButton::Click, this, &frmManual::cmdReturn_Click);

    menuHelpMenu = new QMenu(QStringLiteral("Help Topics"), this);
    menuHelpMenu->setObjectName(QStringLiteral("menuHelpMenu"));
    for (int i = 1; i <= HelpMenuItemCount; ++i) {
        const HelpMenuItem& item = HelpMenuItemAt(i);
        QAction* action = *item.caption ? menuHelpMenu->addAction(QString::fromLatin1(item.caption))
                                        : menuHelpMenu->addSeparator();
        action->setObjectName(QStringLiteral("menuHelpTopic(%1)").arg(i));
        if (item.topicNumber > 0)
            action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, i] { ShowTopic(i); });
        menuHelpTopic[size_t(i)] = action;
    }

    setTabOrder(cmdHelpTopic, cmdPrintHelp);
    setTabOrder(cmdPrintHelp, cmdReturn);
    setTabOrder(cmdReturn, txtManual);
    txtManual->setAccessibleName(QStringLiteral("Help text"));
    RememberWindowPlacement(this);
}

void frmManual::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (!cmdReturn)
        return;
    // The title and the text take the width; the buttons stay along the foot.
    const int side = TwipsToPixels(240);
    const int foot = height() - TwipsToPixels(180) - cmdReturn->height();
    labelHelpTopic->setGeometry(side, labelHelpTopic->y(), width() - 2 * side, labelHelpTopic->height());
    txtManual->setGeometry(side, txtManual->y(), width() - 2 * side, foot - TwipsToPixels(180) - txtManual->y());
    for (VellButton* b : {cmdHelpTopic, cmdPrintHelp, cmdReturn})
        b->move(b->x(), foot);
}

void frmManual::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_activated) {
        m_activated = true;
        Form_Activate();
    }
}

void frmManual::Form_Activate()
{
    cmdPrintHelp->setToolTipText(QStringLiteral(" Print this Help Topic "));
    cmdHelpTopic->setToolTipText(QStringLiteral(" Show all Help Topics <F1> "));
    cmdReturn->setToolTipText(QStringLiteral(" Close this Help window <Esc> "));
    if (FadeFlag())
        fader->StartFade(0, 255, 20, false);
    ShowTopic(RequestedHelpTopic);
}

void frmManual::ShowTopic(int index)
{
    // Separators and "Exit this Menu" have no topic and change nothing.
    const HelpMenuItem& item = HelpMenuItemAt(index);
    if (index >= 1 && index < HelpMenuItemCount && item.topicNumber > 0 && index != CurrentTopic) {
        CurrentTopic = qint16(index);
        labelHelpTopic->setText(QString::fromLatin1(item.caption).trimmed());
        txtManual->setPlainText(HelpTopicText(item.topicNumber));
    }
    // Choosing a checked item unticks it: the marks always follow the topic.
    for (int i = 1; i <= HelpMenuItemCount; ++i)
        menuHelpTopic[size_t(i)]->setChecked(i == CurrentTopic);
    cmdHelpTopic->setFocus();
}

void frmManual::cmdHelpTopic_Click()
{
    menuHelpMenu->popup(cmdHelpTopic->mapToGlobal(QPoint(0, 0)));
}

void frmManual::cmdPrintHelp_Click()
{
    if (CurrentTopic < 1)
        return;
    printer().setFont(PrintFont{}); // Arial 10, plain
    // The printout ends its lines at CR LF, as the program's texts are written.
    QString text = txtManual->toPlainText();
    text.replace(u'\n', QStringLiteral("\r\n"));
    PrintLongText(this, text,
                  ApplicationTitle() + QStringLiteral(", Help Section: ")
                      + QString::fromLatin1(HelpMenuItemAt(CurrentTopic).caption),
                  true, false, false);
}

void frmManual::cmdReturn_Click()
{
    if (FadeFlag())
        fader->StartFade(255, 0, 20, true);
    else
        unload();
}

void frmManual::unload() { done(QDialog::Accepted); }

void frmManual::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() == Qt::NoModifier && event->key() == Qt::Key_F1) {
        cmdHelpTopic_Click();
        return;
    }
    // Esc presses the close button, which may fade the window out first.
    if (event->modifiers() == Qt::NoModifier && event->key() == Qt::Key_Escape) {
        if (cmdReturn->isEnabled())
            cmdReturn->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ShowHelpWindow(int topic, QWidget* over)
{
    RequestedHelpTopic = qint16(topic);
    QPointer<frmManual> window = new frmManual(over);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->exec();
}
