#pragma once
// The message box and input box of the program. Every window asks through
// MsgBox/InputBox so that tests can script the answers and check each text
// character for character.
#include <QString>

namespace Msg {
// Flags mirror the classic message box: buttons | icon | default button.
enum Flags : int {
    OKOnly = 0,
    OKCancel = 1,
    YesNoCancel = 3,
    YesNo = 4,
    Critical = 16,
    Question = 32,
    Exclamation = 48,
    Information = 64,
    DefaultButton1 = 0,
    DefaultButton2 = 256,
    DefaultButton3 = 512,
};
enum Answer : int { OK = 1, Cancel = 2, Yes = 6, No = 7 };

constexpr int buttonsOf(int flags) { return flags & 0x0F; }
constexpr int iconOf(int flags) { return flags & 0xF0; }
constexpr int defaultOf(int flags) { return flags & 0xF00; }
} // namespace Msg

class MessageService {
public:
    virtual ~MessageService() = default;
    // caption is already resolved (never empty).
    virtual int msgBox(const QString& text, int flags, const QString& caption) = 0;
    // Returns the typed answer; an empty text when cancelled.
    virtual QString inputBox(const QString& prompt, const QString& title, const QString& preset) = 0;
    // As inputBox, but what is typed shows as dots (a password). A service
    // that does not tell the two apart answers it as an input box.
    virtual QString passwordBox(const QString& prompt, const QString& title) { return inputBox(prompt, title, QString()); }
};

// Text lines in messages are joined by CR LF, as the program's texts are written.
inline const QString CRLF = QStringLiteral("\r\n");

// An empty caption means the application title.
int MsgBox(const QString& text, int flags = Msg::OKOnly, const QString& caption = QString());
QString InputBox(const QString& prompt, const QString& title = QString(), const QString& preset = QString());
QString PasswordBox(const QString& prompt, const QString& title = QString());

// Replaces the service (tests); nullptr restores the real dialogs.
void setMessageService(MessageService* service);
MessageService& messageService();
