#include "widgets/StrayAltKeys.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {
class StrayAltKeyFilter final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        return event->type() == QEvent::KeyPress && IsStrayAltKey(static_cast<QKeyEvent*>(event));
    }
};
} // namespace

bool IsStrayAltKey(const QKeyEvent* key)
{
    const Qt::KeyboardModifiers mods = key->modifiers();
    return (mods & Qt::AltModifier) && !(mods & Qt::ControlModifier) && !key->text().isEmpty()
        && key->text().at(0).isPrint();
}

void KeepAltKeysOutOfText(QWidget* window)
{
    auto* filter = new StrayAltKeyFilter(window);
    const QList<QWidget*> children = window->findChildren<QWidget*>();
    for (QWidget* w : children)
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QTextEdit*>(w))
            w->installEventFilter(filter);
}
