#include "platform/Messages.h"

#include "platform/ApplicationTitle.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

// CR LF line breaks show as plain line breaks on this platform.
QString displayText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

class QtMessageService final : public MessageService {
public:
    int msgBox(const QString& text, int flags, const QString& caption) override
    {
        QMessageBox box(QApplication::activeWindow());
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
        const auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
        for (const Choice& c : choices)
            if (c.button == pressed)
                return c.answer;
        return Msg::buttonsOf(flags) == Msg::OKOnly ? int(Msg::OK) : int(Msg::Cancel);
    }

    QString inputBox(const QString& prompt, const QString& title, const QString& preset) override
    {
        bool ok = false;
        const QString answer = QInputDialog::getText(QApplication::activeWindow(), title, displayText(prompt),
                                                     QLineEdit::Normal, preset, &ok);
        return ok ? answer : QString();
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
