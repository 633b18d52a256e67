#include "platform/Messages.h"

#include "platform/ApplicationTitle.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QInputDialog>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <QStyle>

namespace {

// CR LF line breaks show as plain line breaks on this platform.
QString displayText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

// The window a box belongs over: the modal dialog in front, else the active
// window, else the window on screen that is not yet active (a window that
// asks while it is being shown is not active yet). A box without an owner
// stands alone on the desktop, away from what it is about.
QWidget* ownerWindow()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        const Qt::WindowType type = w->windowType();
        if (w->isVisible() && (type == Qt::Window || type == Qt::Dialog))
            return w;
    }
    return nullptr;
}

// The width a window needs so that its title bar shows the whole caption:
// the caption in the (often bold) title font, the window icon and the
// minimise, maximise and close buttons. A message box sizes itself to its
// text only, so a short text under a longer caption cuts the caption.
// Title-bar buttons are wide on some desktops (46 pixels at 96 dpi beside a
// 16-pixel font), so each is taken as three text lines high.
int widthForTitle(const QString& title, const QWidget* window)
{
    QFont font = window->font();
    font.setBold(true);
    const QFontMetrics metrics(font);
    const int titleBarButton = qMax(window->style()->pixelMetric(QStyle::PM_TitleBarHeight), 3 * metrics.height());
    return metrics.horizontalAdvance(title) + 4 * titleBarButton + 2 * metrics.averageCharWidth();
}

class QtMessageService final : public MessageService {
public:
    int msgBox(const QString& text, int flags, const QString& caption) override
    {
        QMessageBox box(ownerWindow());
        box.setWindowTitle(caption);
        box.setText(displayText(text));
        switch (Msg::iconOf(flags)) {
        case Msg::Critical: box.setIcon(QMessageBox::Critical); break;
        case Msg::Question: box.setIcon(QMessageBox::Question); break;
        case Msg::Exclamation: box.setIcon(QMessageBox::Warning); break;
        case Msg::Information: box.setIcon(QMessageBox::Information); break;
        default: box.setIcon(QMessageBox::NoIcon); break;
        }
        struct Choice { QMessageBox::StandardButton button; int answer; };
        QList<Choice> choices;
        switch (Msg::buttonsOf(flags)) {
        case Msg::OKCancel: choices = {{QMessageBox::Ok, Msg::OK}, {QMessageBox::Cancel, Msg::Cancel}}; break;
        case Msg::YesNoCancel:
            choices = {{QMessageBox::Yes, Msg::Yes}, {QMessageBox::No, Msg::No}, {QMessageBox::Cancel, Msg::Cancel}};
            break;
        case Msg::YesNo: choices = {{QMessageBox::Yes, Msg::Yes}, {QMessageBox::No, Msg::No}}; break;
        default: choices = {{QMessageBox::Ok, Msg::OK}}; break;
        }
        for (const Choice& c : choices)
            box.addButton(c.button);
        const int defaultIndex = Msg::defaultOf(flags) / 256;
        if (defaultIndex < choices.size())
            box.setDefaultButton(choices[defaultIndex].button);
        // Esc answers Cancel or No where the box has one, OK on a single OK box.
        if (Msg::buttonsOf(flags) == Msg::YesNo)
            box.setEscapeButton(QMessageBox::No);
        // The box fixes its own size from its layout when shown, so the room
        // for the caption goes into the layout as a spacer across the box.
        if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
            grid->addItem(new QSpacerItem(widthForTitle(caption, &box), 0, QSizePolicy::Minimum),
                          grid->rowCount(), 0, 1, grid->columnCount());
        const auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
        for (const Choice& c : choices)
            if (c.button == pressed)
                return c.answer;
        return Msg::buttonsOf(flags) == Msg::OKOnly ? int(Msg::OK) : int(Msg::Cancel);
    }

    QString inputBox(const QString& prompt, const QString& title, const QString& preset) override
    {
        return ask(prompt, title, preset, QLineEdit::Normal);
    }

    QString passwordBox(const QString& prompt, const QString& title) override
    {
        return ask(prompt, title, QString(), QLineEdit::Password);
    }

private:
    static QString ask(const QString& prompt, const QString& title, const QString& preset, QLineEdit::EchoMode echo)
    {
        QInputDialog dialog(ownerWindow());
        dialog.setInputMode(QInputDialog::TextInput);
        dialog.setTextEchoMode(echo);
        dialog.setWindowTitle(title);
        dialog.setLabelText(displayText(prompt));
        dialog.setTextValue(preset);
        // The dialog sizes itself from its layout (made when first measured),
        // so the room goes in there.
        (void)dialog.minimumSizeHint();
        if (QLayout* layout = dialog.layout())
            layout->addItem(new QSpacerItem(widthForTitle(title, &dialog), 0, QSizePolicy::Minimum));
        return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
    }
};

QtMessageService g_realMessages;
MessageService* g_messages = nullptr;

} // namespace

void setMessageService(MessageService* service) { g_messages = service; }

MessageService& messageService() { return g_messages ? *g_messages : g_realMessages; }

int MsgBox(const QString& text, int flags, const QString& caption)
{
    return messageService().msgBox(text, flags, caption.isEmpty() ? ApplicationTitle() : caption);
}

QString InputBox(const QString& prompt, const QString& title, const QString& preset)
{
    return messageService().inputBox(prompt, title.isEmpty() ? ApplicationTitle() : title, preset);
}

QString PasswordBox(const QString& prompt, const QString& title)
{
    return messageService().passwordBox(prompt, title.isEmpty() ? ApplicationTitle() : title);
}
